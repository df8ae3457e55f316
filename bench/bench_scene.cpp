// The scene of a traced drawing: 100,000 polylines with 5,000,000 vertices in all plus 100,000
// lines in one group. Measures building the group's buffers, one frame after a pan, and memory,
// and draws the same vertices as one raw vertex buffer with one draw call in the same run, the
// practical limit of the GL implementation. Needs a display: run it through bench/scene.sh.
#include "BenchGL.h"

#include <QApplication>

#include <cstdio>
#include <random>

int main(int argc, char** argv)
{
    if (!HaveDisplay("bench_scene"))
        return 0;
    QApplication app(argc, argv);

    TScene scene;
    auto* rig = scene.Root().Add<TSceneGroup>();
    auto* camera = rig->Add<TCameraNode>();
    camera->Target = rig;
    camera->SetPosition(0, -0.0001, 100);
    camera->SceneScale = 10.0 / 1100;
    camera->DepthOfView = 300;
    rig->SetPosition(500, 500, 0);
    auto* drawing = scene.Root().Add<TSceneGroup>();

    TSceneWidget viewer;
    viewer.SetScene(&scene);
    viewer.SetCamera(camera);
    viewer.resize(1000, 800);
    viewer.show();
    QApplication::processEvents();
    viewer.RenderNow(); // context and programs ready

    const double rss0 = RssMiB();
    auto t = std::chrono::steady_clock::now();
    std::mt19937 rnd(7);
    std::uniform_real_distribution<float> pos(0, 1000), step(-2, 2);
    for (int i = 0; i < Polylines; ++i) {
        // Node by node, as an entity builds its display, with the viewer listening.
        auto* s = drawing->Add<TLineStrip>();
        s->Reserve(PolylineNodes);
        float x = pos(rnd), y = pos(rnd);
        for (int k = 0; k < PolylineNodes; ++k) {
            s->AddNode(x, y, 0);
            x += step(rnd);
            y += step(rnd);
        }
    }
    for (int i = 0; i < Lines; ++i) {
        auto* s = drawing->Add<TLineStrip>();
        const float x = pos(rnd), y = pos(rnd), x2 = x + step(rnd) * 5, y2 = y + step(rnd) * 5;
        s->AddNode(x, y, 0);
        s->AddNode(x2, y2, 0);
    }
    const double nodesTime = Seconds(t);
    const double rssNodes = RssMiB();

    t = std::chrono::steady_clock::now();
    viewer.UpdateBuffers();
    const double buildTime = Seconds(t);
    const double rssBuilt = RssMiB();
    const size_t bufferBytes = [&] {
        viewer.RenderNow();
        return viewer.Stats().BufferBytes;
    }();

    std::vector<double> frames;
    int rebuilds = 0;
    for (int i = 0; i < Frames; ++i) {
        rig->SetPosition(500 + i, 500 - i, 0); // a pan
        t = std::chrono::steady_clock::now();
        viewer.RenderNow();
        frames.push_back(Seconds(t));
        rebuilds += viewer.Stats().GroupRebuilds;
    }
    const double frameTime = Median(frames);

    // The raw limit: the same segments, each as its own pair of vertices, in one buffer drawn
    // with one call into the same framebuffer.
    const double rawTime = RawFrameTime(viewer, *camera, RawSegments(*drawing), Frames);

    std::printf("scene: %d polylines, %d vertices, %d lines, viewer %d x %d\n", Polylines,
                Polylines * PolylineNodes, Lines, viewer.width(), viewer.height());
    std::printf("nodes built (the entities' side)   %8.3f s   RSS +%.0f MiB\n", nodesTime, rssNodes - rss0);
    std::printf("group buffers built and uploaded   %8.3f s   RSS +%.0f MiB, GL buffers %.0f MiB\n",
                buildTime, rssBuilt - rssNodes, double(bufferBytes) / (1 << 20));
    std::printf("frame after a pan (median of %d)    %8.3f s   rebuilds during pans: %d\n", Frames, frameTime,
                rebuilds);
    std::printf("raw buffer, one draw call          %8.3f s\n", rawTime);
    std::printf("frame / raw                        %8.2f   (goal: within 2)\n", frameTime / rawTime);
    std::printf("RSS at the end                     %8.0f MiB\n", RssMiB());
    return 0;
}
