// Draws known scenes through the GL viewer, reads the framebuffer back and checks the pixels.
#include "Bitmap32.h"
#include "SceneWidget.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <GL/gl.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {
// A 200 x 150 viewer on which world (x, y) is pixel (x, 150 - y).
struct TRenderFixture : ::testing::Test {
    TScene Scene;
    TSceneGroup* Rig = Scene.Root().Add<TSceneGroup>();
    TCameraNode* Camera = Rig->Add<TCameraNode>();
    TSceneGroup* Drawing = Scene.Root().Add<TSceneGroup>();
    TSceneWidget Viewer;

    void SetUp() override
    {
        Camera->Target = Rig;
        Camera->SetPosition(0, -0.0001, 100);
        Camera->FocalLength = 10;
        Camera->SceneScale = 10.0 / 200;
        Camera->DepthOfView = 300;
        Rig->SetPosition(100, 75, 0);
        Viewer.SetScene(&Scene);
        Viewer.SetCamera(Camera);
        Viewer.resize(200, 150);
        Viewer.show();
        QApplication::processEvents();
    }

    QImage Frame()
    {
        QImage img = Viewer.grabFramebuffer().convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(img.width(), 200);
        return img;
    }
};

::testing::AssertionResult Near(const QImage& Img, int X, int Y, QRgb Expected, int Tol = 40)
{
    const QRgb got = Img.pixel(X, Y);
    if (std::abs(qRed(got) - qRed(Expected)) <= Tol && std::abs(qGreen(got) - qGreen(Expected)) <= Tol &&
        std::abs(qBlue(got) - qBlue(Expected)) <= Tol)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "pixel (" << X << ", " << Y << ") is " << std::hex
                                         << (got & 0xFFFFFF) << ", expected " << (Expected & 0xFFFFFF);
}

std::shared_ptr<TMemoryBitmap32> TwoColourPicture(int W, int H, uint32_t Left, uint32_t Right)
{
    auto b = std::make_shared<TMemoryBitmap32>(W, H);
    std::vector<uint32_t> row(static_cast<size_t>(W));
    for (int x = 0; x < W; ++x)
        row[size_t(x)] = x < W / 2 ? Left : Right;
    for (int y = 0; y < H; ++y)
        std::memcpy(b->ScanLine(y), row.data(), row.size() * 4);
    return b;
}
} // namespace

TEST_F(TRenderFixture, KnownSceneLightsTheExpectedPixels)
{
    auto* line = Drawing->Add<TLineStrip>();
    line->AddNode(10, 10, 0);
    line->AddNode(190, 10, 0);
    line->SetColor({1, 0, 0, 1});
    auto* poly = Drawing->Add<TPolygonNode>();
    for (auto [x, y] : {std::pair{20, 30}, {60, 30}, {60, 70}, {40, 50}, {20, 70}}) // concave
        poly->AddNode(x, y, 0);
    poly->SetColor({0, 1, 0, 1});
    // The picture is split into 16-pixel tiles: left half blue, right half white.
    Viewer.SetMaxTextureSize(16);
    auto* plane = Drawing->Add<TTexturedPlane>();
    plane->SetTexture(TwoColourPicture(64, 32, 0xFF0000FF, 0x00FFFFFF));
    plane->SetRect(130, 50, 0, 64, 32);
    plane->SetColor({0, 0, 0, 1});
    auto* points = Drawing->Add<TPointCloud>();
    points->AddPoint(180, 120, 0);
    points->SetPointSize(5);
    points->SetSmooth(true);
    points->SetColor({1, 1, 0, 1});
    auto* overlay = Scene.Root().Add<TRenderCallback>();
    overlay->OnRender = [](TRenderContext& ctx) {
        TCanvas2D& c = ctx.OpenCanvas();
        c.SetPenColor(0xFF00FF); // magenta as a Windows colour
        c.Line(100, 5, 190, 5);
    };
    auto* hud = Scene.Root().Add<THudText>();
    hud->SetText("HUD");
    hud->SetPlace(5, 100);
    hud->FontPixelSize = 16;

    const QImage img = Frame();
    EXPECT_TRUE(Near(img, 100, 140, qRgb(255, 0, 0))) << "line";
    EXPECT_TRUE(Near(img, 30, 100, qRgb(0, 255, 0))) << "polygon";
    EXPECT_TRUE(Near(img, 40, 90, qRgb(0, 0, 0))) << "the polygon's notch stays empty";
    EXPECT_TRUE(Near(img, 110, 100, qRgb(0, 0, 255))) << "left of the picture";
    EXPECT_TRUE(Near(img, 150, 100, qRgb(255, 255, 255))) << "right of the picture";
    EXPECT_TRUE(Near(img, 180, 30, qRgb(255, 255, 0))) << "point";
    EXPECT_TRUE(Near(img, 150, 5, qRgb(255, 0, 255))) << "canvas line, origin top-left";
    EXPECT_TRUE(Near(img, 5, 50, qRgb(0, 0, 0))) << "background";
    int lit = 0;
    for (int y = 100; y < 120; ++y)
        for (int x = 5; x < 45; ++x)
            lit += qGray(img.pixel(x, y)) > 128;
    EXPECT_GT(lit, 10) << "HUD text";
}

TEST_F(TRenderFixture, APanDrawsFromTheSameBuffers)
{
    auto* line = Drawing->Add<TLineStrip>();
    line->AddNode(0, 50, 0);
    line->AddNode(200, 50, 0);
    line->SetColor({1, 1, 1, 1});
    Frame();
    const int built = Drawing->RebuildCount;
    Rig->SetPosition(100, 65, 0); // the view looks 10 units lower: the line rises 10 pixels
    const QImage img = Frame();
    EXPECT_EQ(Drawing->RebuildCount, built);
    EXPECT_TRUE(Near(img, 100, 90, qRgb(255, 255, 255)));
    EXPECT_TRUE(Near(img, 100, 100, qRgb(0, 0, 0)));
    line->SetNode(1, 200, 60, 0);
    Frame();
    EXPECT_EQ(Drawing->RebuildCount, built + 1);
}

// Shapes written into a batch node are drawn from the node's own buffers, in the tree order; a
// pan uploads nothing, and a shape added later uploads the batch again without rebuilding the
// group around it.
TEST_F(TRenderFixture, ABatchNodeIsDrawnFromItsOwnBuffers)
{
    TFlatBatch& batch = BatchAtEnd(*Drawing);
    batch.BeginStrip({1, 0, 0, 1}, 3);
    batch.AddStripPoint(10, 10, 0);
    batch.AddStripPoint(190, 10, 0);
    batch.EndStrip();
    const std::vector<TVector3f> concave{{20, 30, 0}, {60, 30, 0}, {60, 70, 0}, {40, 50, 0}, {20, 70, 0}};
    batch.AddPolygon(concave, {0, 1, 0, 1}, false);
    batch.AddPoint(180, 120, 0, {1, 1, 0, 1}, 5, true);
    auto* over = Drawing->Add<TLineStrip>(); // a node after the batch is drawn over it
    over->AddNode(100.5, 0, 0);              // on pixel column 100, not on a pixel boundary
    over->AddNode(100.5, 150, 0);
    over->SetColor({0, 0, 1, 1});

    QImage img = Frame();
    EXPECT_TRUE(Near(img, 50, 140, qRgb(255, 0, 0))) << "strip";
    EXPECT_TRUE(Near(img, 30, 100, qRgb(0, 255, 0))) << "polygon";
    EXPECT_TRUE(Near(img, 40, 90, qRgb(0, 0, 0))) << "the polygon's notch stays empty";
    EXPECT_TRUE(Near(img, 180, 30, qRgb(255, 255, 0))) << "point";
    EXPECT_TRUE(Near(img, 100, 140, qRgb(0, 0, 255))) << "the node drawn after the batch";
    EXPECT_EQ(Viewer.Stats().BatchUploads, 1);

    const int built = Drawing->RebuildCount;
    Rig->SetPosition(100, 65, 0);
    img = Frame();
    EXPECT_EQ(Viewer.Stats().BatchUploads, 0);
    EXPECT_EQ(Drawing->RebuildCount, built);
    EXPECT_TRUE(Near(img, 50, 130, qRgb(255, 0, 0))) << "strip after the pan";

    batch.BeginStrip({1, 1, 1, 1}, 1);
    batch.AddStripPoint(0, 100, 0);
    batch.AddStripPoint(200, 100, 0);
    batch.EndStrip();
    img = Frame();
    EXPECT_EQ(Viewer.Stats().BatchUploads, 1);
    EXPECT_EQ(Drawing->RebuildCount, built);
    EXPECT_TRUE(Near(img, 150, 40, qRgb(255, 255, 255))) << "the strip added";
}

// The heap as a process starts: memory freed at its top goes back to the system beyond 128 KiB.
struct TFreshHeapFixture : TRenderFixture {
    void SetUp() override
    {
        mallopt(M_TRIM_THRESHOLD, 128 << 10);
        TRenderFixture::SetUp();
    }
};

double FaultedInMiB()
{
    rusage r{};
    getrusage(RUSAGE_SELF, &r);
    return double(r.ru_minflt) * double(sysconf(_SC_PAGESIZE)) / (1 << 20);
}

// The software renderer sorts a large drawing into screen tiles through tens of megabytes of heap,
// freed after each batch of primitives. A frame after a pan keeps that memory instead of taking
// it from the system again page by page.
TEST_F(TFreshHeapFixture, AFrameAfterAPanTakesNoNewMemory)
{
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the sanitizer's allocator holds freed memory back on its own terms";
#endif
    TFlatBatch& batch = BatchAtEnd(*Drawing);
    for (int strip = 0; strip < 2000; ++strip) {
        batch.BeginStrip({1, 1, 1, 1}, 1);
        for (int k = 0; k <= 100; ++k)
            batch.AddStripPoint(2 * k, strip * 0.075 + (k % 2) * 3, 0);
        batch.EndStrip();
    }
    double before = FaultedInMiB();
    Viewer.RenderNow();
    const double first = FaultedInMiB() - before;
    Rig->SetPosition(100, 70, 0);
    before = FaultedInMiB();
    Viewer.RenderNow();
    const double afterPan = FaultedInMiB() - before;
    EXPECT_EQ(Viewer.Stats().BatchUploads, 0);
    EXPECT_GT(first, 8) << "the drawing is large enough to show it";
    EXPECT_LT(afterPan, 1) << "MiB taken from the system by the frame after the pan (the first took " << first
                           << ")";
}

TEST_F(TRenderFixture, BlendedPolygonsAndTheBackgroundColour)
{
    Scene.SetBackgroundColor({0, 0, 1, 1});
    auto* poly = Drawing->Add<TPolygonNode>();
    for (auto [x, y] : {std::pair{0, 0}, {100, 0}, {100, 150}, {0, 150}})
        poly->AddNode(x, y, 0);
    poly->SetColor({1, 0, 0, 0.5f});
    poly->SetBlended(true);
    const QImage img = Frame();
    EXPECT_TRUE(Near(img, 50, 75, qRgb(128, 0, 128)));
    EXPECT_TRUE(Near(img, 150, 75, qRgb(0, 0, 255)));
}

TEST_F(TRenderFixture, AHugeScanIsShown)
{
    // 10,000 x 10,000 pixels: above many GPUs' texture limit, so it goes up in tiles.
    Viewer.SetMaxTextureSize(4096);
    auto* plane = Drawing->Add<TTexturedPlane>();
    plane->SetTexture(TwoColourPicture(10000, 10000, 0xFFFF0000, 0xFF00FF00));
    plane->SetRect(100, 75, 0, 200, 150);
    plane->SetColor({0, 0, 0, 1});
    const QImage img = Frame();
    EXPECT_TRUE(Near(img, 20, 75, qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(img, 180, 75, qRgb(0, 255, 0)));
    EXPECT_TRUE(Near(img, 60, 10, qRgb(255, 0, 0)));
}

TEST_F(TRenderFixture, CallbacksMayResizeNodesDrawnAfterThem)
{
    // The view keeps its axes a constant size by moving their nodes inside the overlay callback.
    auto* overlay = Scene.Root().Add<TRenderCallback>();
    auto* axes = Scene.Root().Add<TSceneGroup>();
    auto* axis = axes->Add<TLineStrip>();
    axis->AddNode(-1, 75, 0);
    axis->AddNode(1, 75, 0);
    axis->SetColor({0, 1, 0, 1});
    overlay->OnRender = [axis](TRenderContext&) {
        axis->SetNode(0, 50, 75, 0);
        axis->SetNode(1, 150, 75, 0);
    };
    int repaints = 0;
    Scene.OnChange = [&] { ++repaints; }; // what the viewer installed is replaced for counting
    const QImage img = Frame();
    EXPECT_TRUE(Near(img, 140, 75, qRgb(0, 255, 0)));
}

TEST_F(TRenderFixture, SolidsAreLitAndCallbacksMayDrawWithDirectGL)
{
    Scene.SetDepthTest(true);
    auto* solids = Scene.Root().Add<TSceneGroup>();
    auto* light = Scene.Root().Add<TLightNode>();
    light->SetPosition(0, -100, 60);
    auto* box = solids->Add<TBoxNode>();
    box->SetSize(40, 40, 10);
    box->SetPosition(40, 40, 0);
    box->SetColor({0.1f, 0.1f, 0.74f, 1});
    auto* stock = solids->Add<TExtrusionNode>();
    stock->SetContour({{120, 20}, {180, 20}, {180, 60}, {120, 60}});
    stock->SetHeight(5);
    stock->SetColor({0, 1, 0, 0.4f});
    stock->SetBlended(true);
    stock->SetDepthTest(false);
    // The material-removal display draws in immediate mode with the view's matrices loaded.
    auto* direct = Scene.Root().Add<TRenderCallback>();
    direct->OnRender = [](TRenderContext&) {
        glColor3f(1, 0, 0);
        glBegin(GL_TRIANGLES);
        glVertex3f(100, 100, 0);
        glVertex3f(140, 100, 0);
        glVertex3f(100, 140, 0);
        glEnd();
    };
    const QImage img = Frame();
    const QRgb boxPixel = img.pixel(40, 110);
    EXPECT_GT(qBlue(boxPixel), 60) << "lit box";
    EXPECT_LT(qRed(boxPixel), 60);
    EXPECT_TRUE(Near(img, 150, 110, qRgb(0, 102, 0), 50)) << "blended stock box";
    EXPECT_TRUE(Near(img, 105, 45, qRgb(255, 0, 0))) << "direct GL in the callback";
    EXPECT_TRUE(Near(img, 90, 10, qRgb(0, 0, 0)));
}

// paintGL rethrew what a render callback raised and the mouse handlers called their callbacks
// unguarded: an exception crossed into Qt. Both now go through the host's guard.
TEST_F(TRenderFixture, ExceptionsStopAtTheGuardAndAFailingFrameIsToldOnce)
{
    std::vector<std::string> told;
    int recovered = 0;
    const auto guard = [&](const std::function<void()>& Work, const std::function<void()>& Recover) {
        try {
            Work();
            return true;
        } catch (const std::exception& e) {
            told.push_back(e.what());
            if (Recover) {
                Recover();
                ++recovered;
            }
            return false;
        }
    };
    Viewer.PaintGuard = guard;
    Viewer.EventGuard = guard;
    bool fail = true;
    auto* callback = Scene.Root().Add<TRenderCallback>();
    callback->OnRender = [&](TRenderContext&) {
        if (fail)
            throw std::runtime_error("overlay failed");
    };
    EXPECT_NO_THROW(Viewer.RenderNow());
    EXPECT_NO_THROW(Viewer.RenderNow()); // the same failure again: not told twice
    EXPECT_EQ(told, (std::vector<std::string>{"overlay failed"}));
    EXPECT_EQ(recovered, 1);
    fail = false;
    Viewer.RenderNow();
    fail = true;
    Viewer.RenderNow(); // a new failure after a good frame is told again
    EXPECT_EQ(told.size(), 2u);
    fail = false;

    Viewer.OnMouseDown = [](const TViewerMouseEvent&) { throw std::runtime_error("press failed"); };
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    EXPECT_NO_THROW(QApplication::sendEvent(&Viewer, &press));
    EXPECT_EQ(told.back(), "press failed");
}
