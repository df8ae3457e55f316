// Object snap, picking and window selection on drawings of 100,000 and 1,000,000 lines and arcs
// (half each), through the drawing's box index, beside a plain scan of every object's box in the
// same run.
//
// A mouse move is what a drawing task costs per move: the cursor point from the pixel, then the
// snapped point with automatic object snap; a pick is the selection tasks' pick under the cursor.
// Each is timed move by move along a path over the view, at a working zoom (10 pixels a unit, the
// objects 10 to 30 pixels long) and with the whole drawing in view; the figures are the 50th and
// 99th percentiles. Window selection takes the left half of the view with the whole drawing in it,
// about half the objects; "walk" is the selection that maps every object to the screen, as it was
// before the index. The index is built on the first question after the load; its time and memory
// are given apart.
#include "BenchMemory.h"
#include "LinesAndArcs.h"
#include "QVBoxIndex.h"
#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVPrg2D.h"
#include "QVScene.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Millis(TClock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

double Percentile(std::vector<double> V, double P)
{
    std::sort(V.begin(), V.end());
    return V[std::min(V.size() - 1, size_t(P * double(V.size())))];
}

// Every object's box against the rectangle: the least a walk over the drawing costs.
size_t PlainScan(TQV_01Cmp2D& Drawing, const TRect2D& R, bool Inside)
{
    size_t hits = 0;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        const TRect2D& b = static_cast<TObject2D*>(o)->Box;
        const double x0 = std::min(b.First.X, b.Second.X), x1 = std::max(b.First.X, b.Second.X);
        const double y0 = std::min(b.First.Y, b.Second.Y), y1 = std::max(b.First.Y, b.Second.Y);
        hits += Inside ? (x0 >= R.First.X && x1 <= R.Second.X && y0 >= R.First.Y && y1 <= R.Second.Y)
                       : (x0 <= R.Second.X && x1 >= R.First.X && y0 <= R.Second.Y && y1 >= R.First.Y);
    }
    return hits;
}

double MedianOf(int Runs, const std::function<void()>& Work)
{
    std::vector<double> t;
    for (int i = 0; i < Runs; ++i) {
        const auto start = TClock::now();
        Work();
        t.push_back(Millis(start));
    }
    return Percentile(t, 0.5);
}

// The view's mapping without the way back to the world, so window selection maps every object.
class TWalkView : public TDrawingView {
public:
    explicit TWalkView(TQVScene& V) : V(V) {}
    void RebuildAll(bool) override {}
    void ZoomToBox(const TRect3D&) override {}
    TRect3D GridBox() const override { return {}; }
    TPoint WorldToScreen(const TPoint2D& P) const override { return V.WorldToScreen(P); }
    void ShowBusy(bool) override {}

private:
    TQVScene& V;
};

struct TMoves {
    double SnapP50, SnapP99, SnapMax, PickP50, PickP99;
};

// A path of moves over the view: snap and pick timed at each.
TMoves TimeMoves(TQV_00Prog& Prog, TQVScene& View, int Moves)
{
    std::mt19937 rnd(11);
    std::uniform_int_distribution<int> px(0, 999), py(0, 599);
    std::vector<double> snap, pick;
    int x = 500, y = 300;
    for (int i = 0; i < Moves; ++i) {
        // A wandering path, with a jump now and then.
        if (i % 50 == 0) {
            x = px(rnd);
            y = py(rnd);
        } else {
            x = std::clamp(x + int(rnd() % 7) - 3, 0, 999);
            y = std::clamp(y + int(rnd() % 7) - 3, 0, 599);
        }
        auto start = TClock::now();
        Prog.ViewPortMouseMove(0, x, y);
        TPoint2D p;
        Prog.GetSnappedPoint(p);
        snap.push_back(Millis(start));
        start = TClock::now();
        int32_t code = 0;
        View.PickObject(Prog.CursorPoint, 5, false, code);
        pick.push_back(Millis(start));
    }
    return {Percentile(snap, 0.5), Percentile(snap, 0.99), Percentile(snap, 1), Percentile(pick, 0.5),
            Percentile(pick, 0.99)};
}

void Run(int N)
{
    const double side = 2 * std::sqrt(double(N));
    const double rss0 = RssMiB();
    TQV_01Cmp2D drawing;
    auto t = TClock::now();
    FillLinesAndArcs(drawing, N, side);
    const double fillMs = Millis(t);
    const double rssDrawing = RssMiB();

    TRecordingViewer viewer(1000, 600);
    TQVScene view;
    DrawingView = &view;
    view.AttachViewer(&viewer);
    view.AttachDrawing(&drawing);
    TQV_00Prog prog;
    prog.SetViewPort(&view);
    prog.UsaSnap = true;
    prog.SnapMode = smAuto;

    // The index is built on the first question.
    t = TClock::now();
    std::vector<TObject2D*> near;
    drawing.BoxIndex().ObjectsAt({side / 2, side / 2, 1}, 1, near);
    const double buildMs = Millis(t);
    const double indexMiB = RssMiB() - rssDrawing;

    // Working zoom: 100 units across 1000 pixels, in the middle of the drawing.
    view.ZoomToBox({{side / 2 - 50, side / 2, 0, 1}, {side / 2 + 50, side / 2, 0, 1}});
    const TPoint3D a = view.ScreenToWorld(0, 0);
    const double aperture = view.PixelSize() * SnapAperture;
    const TRect2D probe{{a.X - aperture, a.Y - aperture, 1}, {a.X + aperture, a.Y + aperture, 1}};
    const double scanMs = MedianOf(15, [&] { PlainScan(drawing, probe, false); });
    const TMoves work = TimeMoves(prog, view, 4000);

    // The whole drawing in view.
    view.ZoomToExtents();
    const TMoves whole = TimeMoves(prog, view, 2000);

    // Window selection of the left half of the view.
    const TRect window{0, 0, 500, 600};
    size_t selected = 0;
    const double selectMs = MedianOf(7, [&] {
        TGraphicObjList list(false);
        SelectObjectsInScreenRect(drawing, list, window, 0, false);
        selected = size_t(list.Count());
    });
    const TPoint3D w0 = view.ScreenToWorld(0, 600), w1 = view.ScreenToWorld(500, 0);
    const TRect2D half{{w0.X, w0.Y, 1}, {w1.X, w1.Y, 1}};
    size_t scanned = 0;
    const double halfScanMs = MedianOf(7, [&] { scanned = PlainScan(drawing, half, true); });
    TWalkView walk(view);
    drawing.View = &walk;
    const double walkMs = MedianOf(3, [&] {
        TGraphicObjList list(false);
        SelectObjectsInScreenRect(drawing, list, window, 0, false);
    });
    drawing.View = &view;

    std::printf("\n%d objects (half lines, half arcs) over %.0f x %.0f units; made in %.0f ms, %.0f MiB\n", N,
                side, side, fillMs, rssDrawing - rss0);
    std::printf("  box index: built in %.1f ms on the first question, %.1f MiB, cell %.2f units\n", buildMs,
                indexMiB, drawing.BoxIndex().CellSize());
    std::printf("  plain scan of every box:        %8.3f ms\n", scanMs);
    std::printf("  mouse move with object snap, working zoom:   p50 %.4f ms  p99 %.4f ms  max %.4f ms  "
                "(p99 = 1/%.0f of the scan)\n",
                work.SnapP50, work.SnapP99, work.SnapMax, scanMs / work.SnapP99);
    std::printf("  pick under the cursor, working zoom:         p50 %.4f ms  p99 %.4f ms\n", work.PickP50,
                work.PickP99);
    std::printf("  mouse move with object snap, whole drawing:  p50 %.4f ms  p99 %.4f ms  max %.4f ms\n",
                whole.SnapP50, whole.SnapP99, whole.SnapMax);
    std::printf("  pick under the cursor, whole drawing:        p50 %.4f ms  p99 %.4f ms\n", whole.PickP50,
                whole.PickP99);
    std::printf(
        "  window selection of %zu objects (%.0f%%): %.1f ms; plain scan %.1f ms (%zu inside) -> %.2fx; "
        "walk %.1f ms\n",
        selected, 100.0 * double(selected) / N, selectMs, halfScanMs, scanned, selectMs / halfScanMs, walkMs);
    prog.SetViewPort(nullptr);
    DrawingView = nullptr;
}

} // namespace

int main()
{
    std::printf("bench_snap: per mouse move and per window selection, box index vs a plain scan\n");
    Run(100000);
    Run(1000000);
    return 0;
}
