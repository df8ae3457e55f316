// The drawing reader: a drawing stream loaded into an empty drawing, merged into one that
// already holds objects and block definitions, or read as a block library. Any input either
// loads or ends in one of the reader's errors, leaving a drawing that can be walked, saved,
// read back and freed.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "QuietWindow.h"
#include "QVServices.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

void Prefill(TQV_01Cmp2D& d)
{
    std::vector<std::unique_ptr<TGraphicObject>> children;
    children.push_back(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}));
    TSourceBlock2D* def =
        d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName("BOLT"), std::move(children)));
    d.AddObject(-1, std::make_unique<TBlock2D>(-1, def));
    d.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{2, 2, 1}));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TQuietWindow window;
    static const bool registered = [] {
        RegisterDrawingClasses();
        SetMainWindowServices(&window);
        return true;
    }();
    static_cast<void>(registered);
    if (size == 0)
        return 0;

    const uint8_t mode = data[0] % 3;
    TStreamReader r(data + 1, size - 1);
    TQV_01Cmp2D d;
    if (mode != 0)
        Prefill(d);
    try {
        if (mode == 2)
            d.LoadLibrary(r);
        else
            d.LoadFromStream(r, mode == 1);
    } catch (const ECADCoreException&) {
    }

    // Whatever was read is whole: it saves and reads back. IDs are handed out afresh on every
    // load, so the saved form settles after one round; from then on it repeats byte for byte,
    // unless the reader dropped something (a reference to a definition that was not saved).
    TStreamWriter w;
    d.SaveToStream(w);
    TQV_01Cmp2D back;
    TStreamReader again(w.Bytes());
    back.LoadFromStream(again, false);
    TStreamWriter settled;
    back.SaveToStream(settled);
    window.Boxes = 0;
    TQV_01Cmp2D third;
    TStreamReader once(settled.Bytes());
    third.LoadFromStream(once, false);
    TStreamWriter repeated;
    third.SaveToStream(repeated);
    Require(window.Boxes > 0 || repeated.Bytes() == settled.Bytes());
    return 0;
}
