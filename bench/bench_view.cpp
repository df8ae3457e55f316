// The drawing's view with a traced-size drawing: 100,000 polylines with 5,000,000 vertices in all
// plus 100,000 lines, held by a real drawing and shown by the view in the GL viewer. Measures
// RebuildAll, one frame after a pan, a pick, and memory, and the raw single-buffer draw of the same
// segments in the same run. A frame should take no new memory from the system: the renderer's
// own is kept from frame to frame. Needs a display: run it through bench/scene.sh bench_view.
// The view is rebuilt through the objects' own display builders (BuildGL). The rebuild is the
// first in the process, so it takes all its memory new, as on opening a drawing; beside it, the
// time to fill one new vertex array of the drawing's vertex count, and to touch as much new memory
// as the rebuild took.
#include "BenchGL.h"
#include "FreshProcess.h"
#include "QVEntity.h"
#include "QVSceneWidget.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <memory>
#include <random>

namespace {

// Seconds to fill a new array of N flat vertices, as a rebuild would fill its arrays if building
// them cost nothing but the writing.
double FillFreshVertexArray(size_t N)
{
    const auto t = std::chrono::steady_clock::now();
    auto vertices = std::make_unique_for_overwrite<TFlatVertex[]>(N);
    for (size_t i = 0; i < N; ++i)
        vertices[i] = {float(i % 1000), float(i / 1000 % 1000), 0, 255, 0, 0, 255};
    const double s = Seconds(t);
    std::printf("(reference array: %zu vertices, last %.0f)\n", N, double(vertices[N - 1].X));
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    if (!HaveDisplay("bench_view"))
        return 0;
    QApplication app(argc, argv);

    TQVScene view; // outlives the window that owns the viewer
    QWidget window;
    window.resize(1000, 800);
    TSceneWidget* viewer = CreateViewWidget(view, &window);
    view.SetAxesVisible(true);
    window.show();
    QApplication::processEvents();
    viewer->RenderNow(); // context and programs ready
    // Qt may start helper processes as the window comes up; a drawing built before that would
    // share its pages with them for a moment, and its first writes after would count as new.
    const double rss0 = RssMiB();
    TQV_01Cmp2D drawing;
    std::mt19937 rnd(7);
    std::uniform_real_distribution<double> pos(0, 1000), step(-2, 2);
    std::vector<TPoint2D> pts(PolylineNodes);
    for (int i = 0; i < Polylines; ++i) {
        double x = pos(rnd), y = pos(rnd);
        for (TPoint2D& p : pts) {
            p = {x, y, 1};
            x += step(rnd);
            y += step(rnd);
        }
        drawing.AddObject(-1, std::make_unique<TPolyline2D>(-1, pts));
    }
    for (int i = 0; i < Lines; ++i) {
        const double x = pos(rnd), y = pos(rnd);
        drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{x, y, 1},
                                                        TPoint2D{x + step(rnd) * 5, y + step(rnd) * 5, 1}));
    }
    const double rssDrawing = RssMiB();
    // Only now: with a view, adding an object builds its display.
    DrawingView = &view;
    view.AttachDrawing(&drawing);

    const double rssEmpty = RssMiB();

    const TFirstUse rebuild = MeasureFirstUse([&] { view.RebuildAll(false); });
    const double rebuildTime = rebuild.Seconds;
    const double rssRebuilt = RssMiB();
    view.ZoomToExtents();
    auto t = std::chrono::steady_clock::now();
    viewer->UpdateBuffers(); // the buffers are made and uploaded here
    const double uploadTime = Seconds(t);
    t = std::chrono::steady_clock::now();
    viewer->RenderNow();
    const double firstFrame = uploadTime + Seconds(t);
    const size_t vertices = size_t(Polylines) * PolylineNodes + 2 * size_t(Lines);
    const double fillTime = FillFreshVertexArray(vertices);
    const double freshTime = FreshMemorySeconds(size_t(rebuild.NewBytes()));
    const size_t bufferBytes = viewer->Stats().BufferBytes;
    const double rssShown = RssMiB();

    std::vector<double> frames, faulted;
    int rebuilds = 0, uploads = 0;
    for (int i = 0; i < Frames; ++i) {
        view.Pan(500, 400, 500 + 3 * (i + 1), 400 - 2 * (i + 1));
        const double faultedBefore = FaultedInMiB();
        t = std::chrono::steady_clock::now();
        viewer->RenderNow();
        frames.push_back(Seconds(t));
        faulted.push_back(FaultedInMiB() - faultedBefore);
        rebuilds += viewer->Stats().GroupRebuilds;
        uploads += viewer->Stats().BatchUploads;
    }
    const double frameTime = Median(frames);

    std::vector<double> picks;
    int found = 0;
    for (int i = 0; i < Frames; ++i) {
        const TPoint3D p = view.ScreenToWorld(100 + 100 * i, 300);
        int32_t code = 0;
        t = std::chrono::steady_clock::now();
        found += view.PickObject({p.X, p.Y, 1}, 5, false, code) != nullptr;
        picks.push_back(Seconds(t));
    }

    const double rawTime = RawFrameTime(*viewer, *view.Camera, RawSegments(*view.DrawingGroup), Frames);

    std::printf("drawing: %d polylines, %d vertices, %d lines, viewer %d x %d\n", Polylines,
                Polylines * PolylineNodes, Lines, viewer->width(), viewer->height());
    std::printf("drawing built                      RSS +%.0f MiB\n", rssDrawing - rss0);
    std::printf("RebuildAll                         %8.3f s   RSS +%.0f MiB, new memory %.0f MiB\n",
                rebuildTime, rssRebuilt - rssEmpty, rebuild.NewBytes() / (1 << 20));
    std::printf("filling one new array of %zu vertices %6.3f s   RebuildAll / that %.2f (goal: within 3)\n",
                vertices, fillTime, rebuildTime / fillTime);
    std::printf("touching as much new memory as RebuildAll took %.3f s\n", freshTime);
    std::printf("first frame                        %8.3f s   RSS +%.0f MiB, GL buffers %.0f MiB\n",
                firstFrame, rssShown - rssRebuilt, double(bufferBytes) / (1 << 20));
    std::printf("  of which buffers made and uploaded %6.3f s\n", uploadTime);
    std::printf("RebuildAll and first frame         %8.3f s\n", rebuildTime + firstFrame);
    std::printf("frame after a pan (median of %d)    %8.3f s   rebuilds and uploads during pans: %d\n",
                Frames, frameTime, rebuilds + uploads);
    std::printf("  memory faulted in by a frame (median) %5.0f MiB\n", Median(faulted));
    std::printf("pick over all objects (median)     %8.4f s   %d of %d picks hit\n", Median(picks), found, Frames);
    std::printf("raw buffer, one draw call          %8.3f s\n", rawTime);
    std::printf("frame / raw                        %8.2f   (goal: within 1.5)\n", frameTime / rawTime);
    std::printf("RSS at the end                     %8.0f MiB\n", RssMiB());
    return 0;
}
