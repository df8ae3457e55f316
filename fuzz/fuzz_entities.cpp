// Primitive, curve and spline records read by class index under a current or an old version tag
// (spline knots and weights as files may hold them, unclamped or garbage): any input either reads whole or ends in one of the reader's errors. What reads
// whole writes the current record, which reads back and writes again to the same bytes; what
// reads whole can be picked, boxed and copied whole.
#include "CADExceptions.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "QVSys.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

const char* const Tags[] = {"QV-3.6", "QV-003", "QV-002", "CAD422"};

std::vector<uint8_t> Saved(TGraphicObject& obj)
{
    TStreamWriter w;
    w.WriteInt16(QV_00FindClassIndex(obj.ClassName()));
    obj.SaveToStream(w);
    return w.TakeBytes();
}

void ReadObject(TStreamReader& r, const char* tag)
{
    const size_t start = r.Position();
    const TGraphicClass& cls = QV_00FindClassByIndex(r.ReadInt16());
    // Containers and blocks have a target of their own, with the drawing around them.
    if (!dynamic_cast<TPrimitive2D*>(cls.Create(-1).get()))
        throw ECADObjClassNotFound("not an entity class");
    const std::unique_ptr<TGraphicObject> obj = cls.CreateFromStream(r, tag);
    const size_t end = r.Position();

    // Written before anything is computed: evaluating a spline may add its missing weights and
    // raise its precision, which the next record written then holds.
    const std::vector<uint8_t> first = Saved(*obj);
    // Old tags store a 3x3 placement, 56 bytes shorter than the current 4x4 one.
    Require(end - start + (IsOldTransformTag(tag) ? 56 : 0) == first.size());
    TStreamReader again(first);
    const std::unique_ptr<TGraphicObject> back =
        QV_00FindClassByIndex(again.ReadInt16()).CreateFromStream(again, "QV-3.6");
    Require(again.AtEnd());
    Require(Saved(*back) == first);
    obj->UpdateBox();

    double dist = 0;
    const int32_t code = obj->HitTest({0, 0, 1}, dist, 1);
    Require(code >= HitMiss);
    const std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*obj);
    const auto& source = dynamic_cast<const TPrimitive2D&>(*obj);
    const auto& copied = dynamic_cast<const TPrimitive2D&>(*copy);
    Require(copied.Points().Count() == source.Points().Count());
    // Bit for bit: a file may hold NaN, which no comparison of values finds equal.
    Require(std::memcmp(copied.GetModelTransform().M.data(), source.GetModelTransform().M.data(),
                        sizeof(double) * 16) == 0);
    obj->BeginUseProfilePoints();
    static_cast<void>(obj->IsClosed());
    obj->EndUseProfilePoints();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = [] {
        RegisterDrawingClasses();
        return true;
    }();
    static_cast<void>(registered);

    TStreamReader r(data, size);
    try {
        while (!r.AtEnd())
            ReadObject(r, Tags[r.ReadByte() & 3]);
    } catch (const ECADFileNotValid&) {
    } catch (const ECADObjClassNotFound&) {
    } catch (const ECADOutOfBound&) {
    }
    return 0;
}
