// Objects read by class index through the registry, and stream strings: any input either reads
// whole or ends in one of the reader's errors. What reads whole writes back to the same bytes.
#include "CADExceptions.h"
#include "QVList.h"
#include "QVSys.h"
#include "StreamEx.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

void ReadObject(TStreamReader& r, TGraphicObjList& list)
{
    const size_t start = r.Position();
    const int16_t index = r.ReadInt16();
    TGraphicObject* obj = list.Add(QV_00FindClassByIndex(index).CreateFromStream(r, "QV-003"));
    const size_t end = r.Position();

    TStreamWriter w;
    w.WriteInt16(QV_00FindClassIndex(obj->ClassName()));
    obj->SaveToStream(w);
    // Unused flag bits are dropped, so compare what a second read gives.
    TStreamReader again(w.Bytes());
    const std::unique_ptr<TGraphicObject> copy =
        QV_00FindClassByIndex(again.ReadInt16()).CreateFromStream(again, "QV-003");
    Require(again.AtEnd() && copy->ID == obj->ID && copy->Layer == obj->Layer &&
            copy->Visible == obj->Visible && copy->Enabled == obj->Enabled &&
            copy->ToBeSaved == obj->ToBeSaved);
    Require(end - start == w.Size());
}

void ReadString(TStreamReader& r)
{
    const std::string s = TStreamEx::ReadString(r);
    TStreamWriter w;
    TStreamEx::WriteString(w, s);
    TStreamReader again(w.Bytes());
    Require(TStreamEx::ReadString(again) == s && again.AtEnd());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const bool registered = [] {
        QV_00ClearClassRegistry();
        QV_00RegisterClass(0, GraphicClassOf<TGraphicObject>("TGraphicObject"));
        return true;
    }();
    static_cast<void>(registered);

    TStreamReader r(data, size);
    TGraphicObjList list;
    try {
        while (!r.AtEnd()) {
            if (r.ReadByte() & 1)
                ReadObject(r, list);
            else
                ReadString(r);
        }
    } catch (const ECADFileNotValid&) {
    } catch (const ECADObjClassNotFound&) {
    } catch (const ECADOutOfBound&) {
    }
    // Whatever was read can be found by its ID and walked in order.
    auto it = list.GetIterator();
    int32_t n = 0;
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        ++n;
    Require(n == list.Count());
    return 0;
}
