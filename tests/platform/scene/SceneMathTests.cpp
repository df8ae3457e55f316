// World/screen mapping, zoom, pan and orbit of the orthographic camera, without a display.
#include "SceneCamera.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {
// The view's camera: on a rig, (0, -0.0001, 100) above it, up along Z, focal length 10.
struct TViewFixture : ::testing::Test {
    TScene Scene;
    TSceneGroup* Rig = Scene.Root().Add<TSceneGroup>();
    TCameraNode* Camera = Rig->Add<TCameraNode>();

    void SetUp() override
    {
        Rig->Name = "CameraPivot";
        Camera->Target = Rig;
        Camera->SetPosition(0, -0.0001, 100);
        Camera->FocalLength = 10;
        Camera->SceneScale = 0.3;
        Camera->DepthOfView = 300;
    }
};
} // namespace

TEST_F(TViewFixture, PixelSizeIsTheVisibleWidthOverTheViewerWidth)
{
    EXPECT_DOUBLE_EQ(TSceneView(*Camera, 1000, 600).PixelSize(), 1.0 / 30);
    // A viewer of no width counts as one pixel wide instead of dividing by zero.
    EXPECT_DOUBLE_EQ(TSceneView(*Camera, 0, 600).PixelSize(), 10 / 0.3);
}

TEST_F(TViewFixture, WorldToScreenRoundsHalvesToEven)
{
    // 1024 world units across 1024 pixels: X = 512 + x exactly.
    Camera->SceneScale = 10.0 / 1024;
    const TSceneView view(*Camera, 1024, 768);
    struct TCase {
        const char* Name;
        float X;
        int Pixel;
    };
    const TCase cases[] = {{"centre", 0, 512},
                           {"half below even", 0.5f, 512},
                           {"half above odd", 1.5f, 514},
                           {"negative half", -0.5f, 512},
                           {"quarter", 10.25f, 522},
                           {"left edge", -512, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(view.VectorToScreen({c.X, 0, 0}).X, c.Pixel);
    }
    // World +Y points up the screen.
    EXPECT_EQ(view.VectorToScreen({0, 100, 0}).Y, 384 - 100);
}

TEST_F(TViewFixture, ScreenToWorldInvertsWorldToScreenAndFollowsTheRig)
{
    Rig->SetPosition(250, -40, 0);
    const TSceneView view(*Camera, 1000, 800);
    const TPoint3D centre = view.ScreenToWorld(500, 400);
    EXPECT_NEAR(centre.X, 250, 1e-3);
    EXPECT_NEAR(centre.Y, -40, 1e-3);
    EXPECT_NEAR(centre.Z, 0, 1e-6);
    for (const TPoint px : {TPoint{0, 0}, TPoint{999, 0}, TPoint{17, 793}, TPoint{640, 333}}) {
        const TPoint3D w = view.ScreenToWorld(px.X, px.Y);
        const TPoint back = view.VectorToScreen({float(w.X), float(w.Y), 0});
        EXPECT_EQ(back.X, px.X);
        EXPECT_EQ(back.Y, px.Y);
    }
    // One pixel right is one pixel size further along X.
    EXPECT_NEAR(view.ScreenToWorld(501, 400).X - centre.X, view.PixelSize(), 1e-4);
}

TEST_F(TViewFixture, FarPointsAreClampedNotOverflowed)
{
    const TSceneView view(*Camera, 1000, 800);
    EXPECT_EQ(view.VectorToScreen({1e30f, 0, 0}).X, std::numeric_limits<int32_t>::max());
    EXPECT_EQ(view.VectorToScreen({-1e30f, 0, 0}).X, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundPixel(std::nan("")), 0);
}

TEST_F(TViewFixture, ZoomScalesAndBringsTheCameraCloser)
{
    const double f = std::pow(1.1, 10);
    Camera->Zoom(f);
    EXPECT_NEAR(Camera->SceneScale, 0.3 * 2.5937424601, 1e-9);
    EXPECT_NEAR(Camera->Position().Z, 100 / f, 1e-9);
    EXPECT_NEAR(Camera->DepthOfView, 300 / f, 1e-9);
    // The point under the centre stays; the picture grows around it.
    const TSceneView view(*Camera, 1000, 800);
    EXPECT_NEAR(view.ScreenToWorld(500, 400).X, 0, 1e-3);
    EXPECT_NEAR(view.PixelSize(), 1.0 / 30 / f, 1e-9);
}

TEST_F(TViewFixture, PanMovesOnlyTheRigAndRebuildsNothing)
{
    TSceneGroup* drawing = Scene.Root().Add<TSceneGroup>();
    drawing->Add<TLineStrip>()->AddNode(0, 0, 0);
    drawing->ClearDirty();
    Scene.Root().ClearDirty();
    Rig->ClearDirty();
    int notified = 0;
    Scene.OnChange = [&] { ++notified; };
    Scene.FrameDrawn();
    Rig->SetPosition(10, 20, 0);
    Camera->Zoom(2);
    EXPECT_FALSE(drawing->Dirty());
    EXPECT_FALSE(Scene.Root().Dirty());
    EXPECT_FALSE(Rig->Dirty());
    EXPECT_EQ(notified, 1);  // changes before the next frame ask for one repaint
    Scene.FrameDrawn();
    Rig->SetPosition(11, 20, 0);
    EXPECT_EQ(notified, 2);
    const TSceneView view(*Camera, 1000, 800);
    EXPECT_NEAR(view.ScreenToWorld(500, 400).X, 11, 1e-3);
}

TEST_F(TViewFixture, OrbitKeepsTheDistanceAndNeverPassesThePole)
{
    Camera->SetPosition(100, 0, 0);
    Camera->Orbit(0, 90);
    EXPECT_NEAR(Camera->Position().X, 0, 1e-9);
    EXPECT_NEAR(Camera->Position().Y, 100, 1e-9);
    Camera->Orbit(30, 0);
    EXPECT_NEAR(Camera->Position().Z, 50, 1e-9);
    EXPECT_NEAR(VectorLength3D(Camera->Position()), 100, 1e-9);
    Camera->Orbit(500, 0); // far past the top
    EXPECT_GT(Camera->Position().Z, 99.999);
    EXPECT_GT(Camera->Position().Y, 0); // still on the same side
}

TEST_F(TViewFixture, EdgeOnViewGivesAPointInsteadOfGarbage)
{
    Camera->SetPosition(0, -100, 0); // looking along the plane Z = 0
    const TSceneView view(*Camera, 1000, 800);
    const TPoint3D p = view.ScreenToWorld(500, 400);
    EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
    EXPECT_EQ(p.Z, 0);
}
