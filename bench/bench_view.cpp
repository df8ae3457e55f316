// The drawing's view with a traced-size drawing: 100,000 polylines with 5,000,000 vertices in all
// plus 100,000 lines, held by a real drawing and shown by the view in the GL viewer. Measures
// RebuildAll, one frame after a pan, a pick, and memory, and the raw single-buffer draw of the same
// segments in the same run. Needs a display: run it through bench/scene.sh bench_view.
// The view is rebuilt through the objects' own display builders (BuildGL).
#include "BenchGL.h"
#include "QVEntity.h"
#include "QVSceneWidget.h"

#include <QApplication>
#include <QWidget>

#include <cstdio>
#include <random>

int main(int argc, char** argv)
{
    if (!HaveDisplay("bench_view"))
        return 0;
    QApplication app(argc, argv);
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

    TQVScene view; // outlives the window that owns the viewer
    DrawingView = &view;
    view.AttachDrawing(&drawing);
    QWidget window;
    window.resize(1000, 800);
    TSceneWidget* viewer = CreateViewWidget(view, &window);
    view.SetAxesVisible(true);
    window.show();
    QApplication::processEvents();
    viewer->RenderNow(); // context and programs ready
    const double rssEmpty = RssMiB();

    auto t = std::chrono::steady_clock::now();
    view.RebuildAll(false);
    const double rebuildTime = Seconds(t);
    const double rssRebuilt = RssMiB();
    view.ZoomToExtents();
    t = std::chrono::steady_clock::now();
    viewer->RenderNow(); // the group buffers are made and uploaded here
    const double firstFrame = Seconds(t);
    const size_t bufferBytes = viewer->Stats().BufferBytes;
    const double rssShown = RssMiB();

    std::vector<double> frames;
    int rebuilds = 0;
    for (int i = 0; i < Frames; ++i) {
        view.Pan(500, 400, 500 + 3 * (i + 1), 400 - 2 * (i + 1));
        t = std::chrono::steady_clock::now();
        viewer->RenderNow();
        frames.push_back(Seconds(t));
        rebuilds += viewer->Stats().GroupRebuilds;
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
    std::printf("RebuildAll (scene nodes)           %8.3f s   RSS +%.0f MiB   (goal: below 1 s)\n", rebuildTime,
                rssRebuilt - rssEmpty);
    std::printf("first frame (buffers uploaded)     %8.3f s   RSS +%.0f MiB, GL buffers %.0f MiB\n", firstFrame,
                rssShown - rssRebuilt, double(bufferBytes) / (1 << 20));
    std::printf("frame after a pan (median of %d)    %8.3f s   rebuilds during pans: %d\n", Frames, frameTime,
                rebuilds);
    std::printf("pick over all objects (median)     %8.4f s   %d of %d picks hit\n", Median(picks), found, Frames);
    std::printf("raw buffer, one draw call          %8.3f s\n", rawTime);
    std::printf("frame / raw                        %8.2f   (goal: within 2)\n", frameTime / rawTime);
    std::printf("RSS at the end                     %8.0f MiB\n", RssMiB());
    return 0;
}
