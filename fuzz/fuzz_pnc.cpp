// The drawing reader: a drawing stream loaded into an empty drawing, merged into one that
// already holds objects and block definitions, or read as a block library. Any input either
// loads or ends in one of the reader's errors, leaving a drawing that can be shown (every
// object builds its display in a view on a recording viewer, and the overlay draws them all),
// picked, walked, saved, read back and freed.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QuietWindow.h"
#include "SceneViewer.h"

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

// Every object of the drawing is hit-tested at the centre and a corner of its box and beside
// it, and picked through the view there.
void PickEverything(TQV_01Cmp2D& d, TQVScene& view)
{
    std::vector<TPoint2D> probes;
    {
        auto it = d.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            auto* o = static_cast<TObject2D*>(obj);
            const TRect2D b = o->Box;
            for (const TPoint2D& p : {TPoint2D{(b.First.X + b.Second.X) / 2, (b.First.Y + b.Second.Y) / 2, 1},
                                      b.First, TPoint2D{b.Second.X + 1, b.Second.Y + 1, 1}}) {
                double dist = 0;
                o->HitTest(p, dist, 0.5);
                if (probes.size() < 64)
                    probes.push_back(p);
            }
        }
    }
    for (const TPoint2D& p : probes) {
        int32_t code = 0;
        view.PickObject(p, 3, false, code);
    }
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
    // The view the objects build their display in while they are read, and again after.
    TRecordingViewer viewer(320, 240);
    TQVScene view;
    DrawingView = &view;
    view.AttachViewer(&viewer);
    view.AttachDrawing(&d);
    if (mode != 0)
        Prefill(d);
    try {
        if (mode == 2)
            d.LoadLibrary(r);
        else
            d.LoadFromStream(r, mode == 1);
    } catch (const ECADCoreException&) {
    }
    view.ZoomToExtents();
    view.RebuildAll(false);
    {
        auto it = d.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            view.OverlayObjects.push_back(obj);
    }
    view.ShowOverlayObjects(true);
    viewer.RenderFrame(*view.Scene, *view.Camera);
    view.ResetOverlay();
    PickEverything(d, view);
    view.AttachViewer(nullptr);
    DrawingView = nullptr;

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
