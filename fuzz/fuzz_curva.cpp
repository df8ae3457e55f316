// Curves read from a stream as the operations reader meets them, old and current form: any input
// either reads or ends in ECADFileNotValid. What reads writes back to bytes that read the same,
// and the geometry of a curve read from any bytes (NaN, infinities, huge values included) stays
// within defined behaviour: the integer conversion refuses what it cannot represent.
#include "CADExceptions.h"
#include "QVStream.h"
#include "UnitCurva.h"
#include "UnitIntPath.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

// Written, read again and written again: the same bytes.
void CheckRoundTrip(TACurva& C)
{
    TStreamWriter w;
    C.SaveToStream(w);
    w.WriteByte(0);
    TStreamReader r(w.Bytes());
    TACurva again;
    again.LoadFromStream(r, "QV-3.6");
    TStreamWriter w2;
    again.SaveToStream(w2);
    w2.WriteByte(0);
    Require(r.Remaining() == 1 && w.Bytes() == w2.Bytes());
}

void Exercise(TACurva& C)
{
    C.SignedArea();
    C.IsClockwise();
    TCurveHit hit;
    C.NearestPoint({1, 2}, hit);
    TABox box;
    for (int32_t i = 1; i < C.Count(); ++i)
        TSpan::AddToBox(C.Vertices[i - 1].Point, C.Vertices[i], box);
    try {
        ClipperLib::Path path;
        CurveToPath(C, false, path);
        TACurva back;
        PathToClosedCurve(back, path, true, true);
    } catch (const ECADOutOfBound&) {
    }
    C.Reverse();
    C.SetStartIndex(C.Count() / 2);
    C.FitArcs(1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte picks the form: bit 0 the old tag, bit 1 the legacy toolpath curve.
    const uint8_t form = data[0];
    const char* tag = (form & 1) ? "CAD422" : "QV-3.6";
    TStreamReader r(data + 1, size - 1);
    try {
        while (!r.AtEnd()) {
            std::unique_ptr<TACurva> c = (form & 2) ? std::make_unique<TCurvaNci>() : std::make_unique<TACurva>();
            c->LoadFromStream(r, tag);
            Require(static_cast<size_t>(c->Count()) * TAVertice::StreamSize <= size);
            CheckRoundTrip(*c);
            Exercise(*c);
        }
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
