// Primitive records (point, line, polyline, polygon) read by class index under a current or an
// old version tag: any input either reads whole or ends in one of the reader's errors. What reads
// whole writes the current record, which reads back and writes again to the same bytes; what
// reads whole can be picked, boxed and copied whole.
#include "CADExceptions.h"
#include "QVEntity.h"
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
    const int16_t index = r.ReadInt16();
    const std::unique_ptr<TGraphicObject> obj = QV_00FindClassByIndex(index).CreateFromStream(r, tag);
    const size_t end = r.Position();
    obj->UpdateBox();

    const std::vector<uint8_t> first = Saved(*obj);
    // Old tags store a 3x3 placement, 56 bytes shorter than the current 4x4 one.
    Require(end - start + (IsOldTransformTag(tag) ? 56 : 0) == first.size());
    TStreamReader again(first);
    const std::unique_ptr<TGraphicObject> back =
        QV_00FindClassByIndex(again.ReadInt16()).CreateFromStream(again, "QV-3.6");
    Require(again.AtEnd());
    Require(Saved(*back) == first);

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
        QV_00ClearClassRegistry();
        QV_00RegisterClass(3, GraphicClassOf<TLine2D>("TLine2D"));
        QV_00RegisterClass(4, GraphicClassOf<TPolyline2D>("TPolyline2D"));
        QV_00RegisterClass(5, GraphicClassOf<TPolygon2D>("TPolygon2D"));
        QV_00RegisterClass(15, GraphicClassOf<TPunto2D>("TPunto2D"));
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
