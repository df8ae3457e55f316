// The drawing's view without a display: camera maths, world/screen mapping, zoom, drags, picking,
// overlay, rebuilding and the grid, seen through a recording viewer.
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVScene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {
// An object whose hit test answers fixed values inside its box; it counts the tests it got and
// puts one line strip into the view's target group when built.
class TPickProbe : public TObject2D {
public:
    TPickProbe(int32_t Code, double Dist, TRect2D B) : TObject2D(-1), Code(Code), Dist(Dist) { SetBox(B); }
    int32_t HitTest(const TPoint2D&, double& dist, double) override
    {
        ++Tests;
        dist = Dist;
        return Code;
    }
    void BuildGL() override
    {
        DrawingView->TargetGroup = DrawingView->DrawingGroup;
        GLObject = DrawingView->TargetGroup->Add<TLineStrip>()->Handle();
        ++Builds;
    }
    void DrawOverlay(TCanvas2D& Canvas, bool ShowCP) override { Canvas.Line(0, 0, ShowCP ? 1 : 2, 0); }
    int32_t Code;
    double Dist;
    int Tests = 0, Builds = 0;
};

TRect2D Around(double X, double Y, double R = 1)
{
    return {{X - R, Y - R, 1}, {X + R, Y + R, 1}};
}

struct TViewFixture : ::testing::Test {
    TRecordingViewer Viewer{1000, 500};
    TQV_01Cmp2D Drawing;
    TQVScene View;

    void SetUp() override
    {
        DrawingView = &View;
        View.AttachViewer(&Viewer);
        View.AttachDrawing(&Drawing);
    }

    TPickProbe* Probe(int32_t Code, double Dist, TRect2D B = Around(0, 0))
    {
        return Drawing.AddObject(-1, std::make_unique<TPickProbe>(Code, Dist, B));
    }

    TViewerMouseEvent Mouse(int X, int Y, bool Left = true)
    {
        TViewerMouseEvent e;
        e.X = X;
        e.Y = Y;
        e.LeftDown = Left;
        e.Button = Left ? TViewerButton::Left : TViewerButton::Right;
        return e;
    }

    void Drag(TViewerMouseEvent From, int ToX, int ToY)
    {
        View.ViewerMouseDown(From);
        TViewerMouseEvent to = From;
        to.X = ToX;
        to.Y = ToY;
        View.ViewerMouseMove(to);
        View.ViewerMouseUp(to);
    }
};
} // namespace

TEST_F(TViewFixture, SceneRootHoldsTheGroupsInDrawingOrder)
{
    std::vector<std::string> names;
    for (int i = 0; i < View.Scene->Root().Count(); ++i)
        names.push_back(View.Scene->Root().Child(i)->Name);
    EXPECT_EQ(names, (std::vector<std::string>{"CameraPivot", "HighlightGroup", "ChainMarksGroup", "ChainGroup",
                                               "DrawingGroup", "Group3D", "Overlay", "Light", "StatusText",
                                               "ScaleText", "LimitsBox", "AxesGroup", "GridGroup"}));
    EXPECT_EQ(View.TargetGroup, View.DrawingGroup);
    EXPECT_EQ(View.OverlayMode, OverlayIdle);
    EXPECT_FALSE(View.GridRebuildEnabled);
}

TEST_F(TViewFixture, PixelSizeAndScreenMapping)
{
    struct TCase {
        const char* Name;
        int W, H;
        TVector3f World;
        TPoint Screen;
    };
    // Scene scale 0.3: the width shows 10 / 0.3 units, so 1000 pixels make 30 pixels a unit.
    const std::vector<TCase> cases = {
        {"centre", 1000, 500, {0, 0, 0}, {500, 250}},
        {"one unit right and up", 1000, 500, {1, 1, 0}, {530, 220}},
        {"half pixel rounds down to even", 1001, 500, {0, 0, 0}, {500, 250}},
        {"half pixel rounds up to even", 1003, 500, {0, 0, 0}, {502, 250}},
        {"far off screen is clamped", 1000, 500, {3e37f, 0, 0}, {INT32_MAX, 250}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Viewer.Resize(c.W, c.H);
        const TPoint s = View.VectorToScreen(c.World);
        EXPECT_EQ(s.X, c.Screen.X);
        EXPECT_EQ(s.Y, c.Screen.Y);
    }
    Viewer.Resize(1000, 500);
    EXPECT_DOUBLE_EQ(View.PixelSize(), 1.0 / 30);
    const TPoint3D w = View.ScreenToWorld(530, 220);
    EXPECT_NEAR(w.X, 1, 1e-4);
    EXPECT_NEAR(w.Y, 1, 1e-4);
    EXPECT_NEAR(w.Z, 0, 1e-9);
}

TEST_F(TViewFixture, ZeroWidthViewerKeepsFiniteNumbers)
{
    Viewer.Resize(0, 0);
    EXPECT_DOUBLE_EQ(View.PixelSize(), 10 / 0.3);
    View.ZoomToBox({{0, 0, 0, 1}, {100, 50, 0, 1}});
    EXPECT_TRUE(std::isfinite(View.Camera->SceneScale));
    const TPoint3D w = View.ScreenToWorld(0, 0);
    EXPECT_TRUE(std::isfinite(w.X) && std::isfinite(w.Y));
}

TEST_F(TViewFixture, ZoomToBoxShowsTheDiagonalAcrossTheWidth)
{
    View.ZoomToBox({{0, 0, 0, 1}, {100, 0, 0, 1}});
    EXPECT_NEAR(View.CameraRig->Position().X, 50, 1e-9);
    EXPECT_NEAR(View.Camera->SceneScale, 0.1, 1e-12);
    EXPECT_NEAR(View.Camera->DepthOfView, 1000, 1e-9);
    EXPECT_NEAR(VectorLength3D(View.Camera->Position()), 500, 1e-6);
}

// Fitting the half-diagonal to the width alone cut tall drawings off in wide viewers.
TEST_F(TViewFixture, ZoomToBoxFitsBothAxes)
{
    struct TCase {
        const char* Name;
        int W, H;
        TRect3D Box;
    };
    const std::vector<TCase> cases = {
        {"tall box, wide viewer", 1000, 300, {{0, 0, 0, 1}, {10, 100, 0, 1}}},
        {"wide box, tall viewer", 300, 1000, {{-500, 0, 0, 1}, {500, 10, 0, 1}}},
        {"square box, square viewer", 400, 400, {{-1, -1, 0, 1}, {1, 1, 0, 1}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Viewer.Resize(c.W, c.H);
        View.ZoomToBox(c.Box);
        for (const TPoint2D& corner : {TPoint2D{c.Box.First.X, c.Box.First.Y, 1}, TPoint2D{c.Box.Second.X, c.Box.Second.Y, 1}}) {
            const TPoint s = View.WorldToScreen(corner);
            EXPECT_GE(s.X, 0);
            EXPECT_LE(s.X, c.W);
            EXPECT_GE(s.Y, 0);
            EXPECT_LE(s.Y, c.H);
        }
    }
}

// A one-point drawing zoomed to 2e-9 units across; now it is centred at the scale it had.
TEST_F(TViewFixture, ZoomToAPointOnlyCentres)
{
    const double scale = View.Camera->SceneScale;
    View.ZoomToBox({{7, 8, 0, 1}, {7, 8, 0, 1}});
    EXPECT_DOUBLE_EQ(View.Camera->SceneScale, scale);
    EXPECT_NEAR(View.CameraRig->Position().X, 7, 1e-9);
    EXPECT_NEAR(View.CameraRig->Position().Y, 8, 1e-9);
    const TPoint s = View.WorldToScreen({7, 8, 1});
    EXPECT_EQ(s.X, 500);
    EXPECT_EQ(s.Y, 250);
}

TEST_F(TViewFixture, ZoomToExtentsCoversTheVisibleObjectsOrTheGrid)
{
    View.ZoomToExtents(); // empty drawing: the grid area, 100 x 100 about the origin
    EXPECT_NEAR(View.CameraRig->Position().X, 0, 1e-9);
    EXPECT_LE(View.WorldToScreen({-50, -50, 1}).Y, 500);
    Probe(-1, 0, {{0, 0, 1}, {10, 200, 1}});
    Probe(-1, 0, {{-30, -5, 1}, {0, 0, 1}});
    View.ZoomToExtents();
    for (const TPoint2D& p : {TPoint2D{-30, -5, 1}, TPoint2D{10, 200, 1}}) {
        const TPoint s = View.WorldToScreen(p);
        EXPECT_TRUE(s.X >= 0 && s.X <= 1000 && s.Y >= 0 && s.Y <= 500) << s.X << "," << s.Y;
    }
}

TEST_F(TViewFixture, ZoomToScreenRectOrdersTheCorners)
{
    const TPoint3D a = View.ScreenToWorld(100, 50), b = View.ScreenToWorld(300, 250);
    View.ZoomToScreenRect({300, 50, 100, 250});
    EXPECT_NEAR(View.CameraRig->Position().X, (a.X + b.X) / 2, 1e-4);
    EXPECT_NEAR(View.CameraRig->Position().Y, (a.Y + b.Y) / 2, 1e-4);
}

TEST_F(TViewFixture, DragsPanZoomOrNothing)
{
    auto ctrl = Mouse(100, 100);
    ctrl.Ctrl = true;
    const double scale = View.Camera->SceneScale, depth = View.Camera->DepthOfView;
    const double dist = VectorLength3D(View.Camera->Position());
    Drag(ctrl, 100, 90); // ten pixels up
    const double f = std::pow(1.1, 10);
    EXPECT_NEAR(View.Camera->SceneScale, scale * f, 1e-9);
    EXPECT_NEAR(View.Camera->DepthOfView, depth / f, 1e-9);
    EXPECT_NEAR(VectorLength3D(View.Camera->Position()), dist / f, 1e-6);
    Drag(ctrl, 100, 110); // and back down
    EXPECT_NEAR(View.Camera->SceneScale, scale, 1e-9);

    // Shift wins over Ctrl: the world point under the mouse follows it.
    auto pan = Mouse(500, 250);
    pan.Shift = pan.Ctrl = true;
    const TPoint3D grabbed = View.ScreenToWorld(500, 250);
    Drag(pan, 530, 220);
    const TPoint3D under = View.ScreenToWorld(530, 220);
    EXPECT_NEAR(under.X, grabbed.X, 1e-4);
    EXPECT_NEAR(under.Y, grabbed.Y, 1e-4);
    EXPECT_NEAR(View.Camera->SceneScale, scale, 1e-9);

    const TVector3D rig = View.CameraRig->Position();
    auto right = Mouse(10, 10, false);
    right.RightDown = right.Shift = true;
    Drag(right, 50, 50);
    Drag(Mouse(10, 10), 50, 50); // no modifier
    EXPECT_EQ(View.CameraRig->Position().X, rig.X);
    EXPECT_EQ(View.CameraRig->Position().Y, rig.Y);
    EXPECT_NEAR(View.Camera->SceneScale, scale, 1e-9);
}

TEST_F(TViewFixture, ZoomAtKeepsThePointUnderTheCursor)
{
    const TPoint3D before = View.ScreenToWorld(800, 100);
    View.ZoomAt(2, 800, 100);
    const TPoint3D after = View.ScreenToWorld(800, 100);
    EXPECT_NEAR(after.X, before.X, 1e-4);
    EXPECT_NEAR(after.Y, before.Y, 1e-4);
    EXPECT_NEAR(View.Camera->SceneScale, 0.6, 1e-12);
}

TEST_F(TViewFixture, PickRanksCodesAndDistances)
{
    struct TCase {
        const char* Name;
        std::vector<std::pair<int32_t, double>> Objects; // code, distance, in drawing order
        bool FirstHit;
        int Expected; // index of the object picked, -1 none
        int32_t Code;
    };
    // Aperture 3 pixels at 1/30 unit a pixel: 0.1 units.
    const std::vector<TCase> cases = {
        {"miss", {{HitMiss, 0}}, false, -1, HitMiss},
        {"equal code and distance: the later wins", {{-1, 0.05}, {-1, 0.05}}, false, 1, -1},
        {"first hit stops at the first candidate", {{-1, 0.05}, {-1, 0.01}}, true, 0, -1},
        {"nearer outline wins", {{-1, 0.02}, {-1, 0.05}}, false, 0, -1},
        {"outline beats box", {{-1, 0.09}, {HitInsideBox, 0.1}}, false, 0, -1},
        {"beyond the aperture", {{-1, 0.2}}, false, -1, HitMiss},
        // A child ID or a point index is a name, not a better hit.
        {"a nearer child with a lower ID wins", {{57, 0.05}, {0, 0.01}}, false, 1, 0},
        {"the nearest of several point indices wins", {{5, 0.05}, {2, 0.01}, {9, 0.03}}, false, 1, 2},
        {"a point at the same distance beats an outline", {{-1, 0.02}, {3, 0.02}}, false, 1, 3},
        {"a farther point does not beat a nearer outline", {{-1, 0.01}, {3, 0.02}}, false, 0, -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        std::vector<TPickProbe*> probes;
        for (auto [code, dist] : c.Objects)
            probes.push_back(Probe(code, dist));
        int32_t hit = 12345;
        TObject2D* got = View.PickObject({0, 0, 1}, 3, c.FirstHit, hit);
        EXPECT_EQ(got, c.Expected < 0 ? nullptr : probes[size_t(c.Expected)]);
        EXPECT_EQ(hit, c.Code);
    }
}

TEST_F(TViewFixture, PickSkipsWhatCannotBePicked)
{
    TPickProbe* far = Probe(-1, 0, Around(50, 50));
    TPickProbe* locked = Probe(-1, 0);
    locked->Layer = 3;
    Drawing.Layers.GetLayer(3).Active = false;
    TPickProbe* own = Probe(-1, 0);
    own->UseLayerStyle = false;
    TPickProbe* off = Probe(-1, 0);
    off->Enabled = false;
    int32_t hit = 0;
    EXPECT_EQ(View.PickObject({0, 0, 1}, 3, false, hit), nullptr);
    EXPECT_EQ(hit, HitMiss);
    // The box test spares the far object its hit test.
    EXPECT_EQ(far->Tests, 0);
    EXPECT_EQ(locked->Tests + own->Tests + off->Tests, 0);
}

TEST_F(TViewFixture, PickOnABlockedDrawingLeavesTheCode)
{
    Probe(-1, 0);
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    int32_t hit = 77;
    EXPECT_EQ(View.PickObject({0, 0, 1}, 3, false, hit), nullptr);
    EXPECT_EQ(hit, 77);
}

TEST_F(TViewFixture, PickPointOrArcFiltersByClass)
{
    auto* point = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{0, 0, 1}));
    auto* circle = Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0.05, 0, 1}));
    int32_t hit = 0;
    EXPECT_EQ(View.PickPointOrArc({0, 0, 1}, 3, false, hit, true), point);
    EXPECT_EQ(View.PickPointOrArc({0.05, 0, 1}, 3, false, hit, false), circle);
}

TEST_F(TViewFixture, OverlayModesAndWhatAFrameDraws)
{
    View.SetAxesVisible(false);
    TPickProbe probe(-1, 0, Around(0, 0));
    View.OverlayObjects.push_back(&probe);
    View.ResetOverlay(); // idle already: the list stays
    EXPECT_EQ(View.OverlayObjects.size(), 1u);
    Viewer.RenderFrame(*View.Scene, *View.Camera);
    EXPECT_TRUE(Viewer.CanvasCalls.empty());

    View.ShowOverlayObjects(true);
    EXPECT_EQ(View.OverlayMode, OverlayIdle | OverlayObjectsAndAperture);
    EXPECT_TRUE(View.ApertureBoxShown);
    View.SetSelectionRectStart({0, 0, 1});
    View.SetSelectionRectEnd({1, 1, 1});
    View.OverlayMode |= OverlaySelectionRect;
    Viewer.RenderFrame(*View.Scene, *View.Camera);
    ASSERT_EQ(Viewer.CanvasCalls.size(), 3u);
    EXPECT_EQ(Viewer.CanvasCalls[0].Points[1].X, 1); // the probe, with control points
    EXPECT_EQ(Viewer.CanvasCalls[0].Color, 0x0000FFu);
    EXPECT_EQ(Viewer.CanvasCalls[0].Width, 2);
    const std::vector<TPoint> rect = Viewer.CanvasCalls[2].Points;
    ASSERT_EQ(rect.size(), 5u);
    EXPECT_EQ(rect[0].X, 500);
    EXPECT_EQ(rect[0].Y, 250);
    EXPECT_EQ(rect[1].X, 530);
    EXPECT_EQ(rect[1].Y, 250);
    EXPECT_EQ(rect[2].Y, 220);
    EXPECT_EQ(rect[3].X, 500);

    View.ShowOverlayObjectsOnly();
    EXPECT_EQ(View.OverlayMode, OverlayObjectsOnly);
    View.ResetOverlay();
    EXPECT_EQ(View.OverlayMode, OverlayIdle);
    EXPECT_TRUE(View.OverlayObjects.empty());
}

TEST_F(TViewFixture, AxesKeepTheirScreenSizeAndTheScaleBarItsLength)
{
    View.SetAxesVisible(true);
    Viewer.RenderFrame(*View.Scene, *View.Camera);
    // 25 pixels each side of the origin, however far the view is zoomed.
    EXPECT_FLOAT_EQ(View.AxisX->Nodes()[1].X, float(25 * View.PixelSize()));
    // Three tripod lines with their letters (2 + 3 + 3 strokes), then the bar and its two ticks.
    ASSERT_EQ(Viewer.CanvasCalls.size(), 3u + 8u + 3u);
    const TCanvasCall& bar = Viewer.CanvasCalls[11];
    EXPECT_EQ(bar.Points[0].X, 940);
    EXPECT_EQ(bar.Points[1].X, 990);
    EXPECT_EQ(bar.Points[0].Y, 480);
    EXPECT_EQ(bar.Width, 1);
    const TCanvasCall& xAxis = Viewer.CanvasCalls[0];
    EXPECT_EQ(xAxis.Points[0].X, 40);
    EXPECT_EQ(xAxis.Points[1].X, 70);
    EXPECT_EQ(xAxis.Points[1].Y, 460);
    EXPECT_EQ(View.ScaleText->Text(), "1.667\n\rmm");
    EXPECT_EQ(View.ScaleText->X(), 965);
}

TEST_F(TViewFixture, RebuildAllBuildsObjectsOnVisibleLayers)
{
    TPickProbe* shown = Probe(-1, 0);
    TPickProbe* hidden = Probe(-1, 0);
    hidden->Layer = 2;
    Drawing.Layers.GetLayer(2).Visible = false;
    View.HighlightGroup->Add<TLineStrip>();
    View.Group3D->Add<TLineStrip>();
    View.ShowOverlayObjects(false);
    int paths = 0, freed = 0, made = 0;
    View.HideAllPaths = [&] { ++paths; };
    View.FreeStock = [&] { ++freed; };
    View.CreateStock = [&] { ++made; };
    shown->Builds = hidden->Builds = 0; // adding built them once
    ASSERT_EQ(View.DrawingGroup->Count(), 2);

    Drawing.RepaintViews();
    EXPECT_EQ(View.DrawingGroup->Count(), 1);
    EXPECT_EQ(View.HighlightGroup->Count(), 0);
    EXPECT_EQ(View.Group3D->Count(), 1); // the stock stays
    EXPECT_EQ(View.OverlayMode, OverlayIdle);
    EXPECT_EQ(shown->Builds, 1);
    EXPECT_EQ(hidden->Builds, 0);
    EXPECT_EQ(paths, 1);

    View.RebuildAll(true);
    EXPECT_EQ(View.Group3D->Count(), 0);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(made, 1);
    EXPECT_EQ(View.DrawingGroup->Count(), 1);
}

TEST_F(TViewFixture, StatusTextSitsAboveTheBottom)
{
    View.ShowStatusText("busy");
    EXPECT_EQ(View.StatusText->Text(), "busy");
    EXPECT_EQ(View.StatusText->Y(), 480);
    View.ClearGroup(*View.DrawingGroup);
    EXPECT_EQ(View.StatusText->Text(), "");
}

// ---- the grid

namespace {
std::vector<float> Across(const std::vector<TVector3f>& Strip, bool Vertical)
{
    std::vector<float> r;
    for (size_t i = 0; i < Strip.size(); i += 2)
        r.push_back(Vertical ? Strip[i].X : Strip[i].Y);
    return r;
}

struct TGridFixture : TViewFixture {
    int Asked = 0;
    bool Answer = true;

    void SetUp() override
    {
        TViewFixture::SetUp();
        View.AskDenseGrid = [this] {
            ++Asked;
            return Answer;
        };
    }

    void Set(int32_t Origin, double Size, double Step, int32_t SubX = 0, int32_t SubY = 0)
    {
        View.GridRebuildEnabled = false;
        View.SetGridOrigin(Origin);
        View.SetGridSizeX(Size);
        View.SetGridSizeY(Size);
        View.SetGridSubdivX(SubX);
        View.SetGridSubdivY(SubY);
        View.SetGridStepX(Step);
        View.GridStepY = 0; // forces the rebuild of the last setter
        View.GridRebuildEnabled = true;
        View.SetGridStepY(Step);
    }
};
} // namespace

TEST_F(TGridFixture, CentredGridHasElevenLinesEachWay)
{
    Set(4, 100, 10);
    EXPECT_EQ(Asked, 0);
    ASSERT_EQ(View.GridGroup->Count(), 2);
    const auto* v = static_cast<TLineStrip*>(View.GridGroup->Child(0));
    const std::vector<float> xs = Across(v->Nodes(), true);
    EXPECT_EQ(xs.size(), 11u);
    EXPECT_FLOAT_EQ(xs.front(), -50);
    EXPECT_FLOAT_EQ(xs.back(), 50);
    // Up, then down: the joins run along the edges.
    EXPECT_FLOAT_EQ(v->Nodes()[0].Y, -50);
    EXPECT_FLOAT_EQ(v->Nodes()[1].Y, 50);
    EXPECT_FLOAT_EQ(v->Nodes()[2].Y, 50);
    EXPECT_FLOAT_EQ(v->Color().A, 0.2f);
    const auto* h = static_cast<TLineStrip*>(View.GridGroup->Child(1));
    EXPECT_EQ(Across(h->Nodes(), false).size(), 11u);
    EXPECT_FLOAT_EQ(h->Nodes()[0].X, -50);
}

TEST_F(TGridFixture, MinorLinesBetweenMajorOnesOnly)
{
    Set(0, 100, 10, 5, 5);
    EXPECT_EQ(Asked, 0);
    ASSERT_EQ(View.GridGroup->Count(), 4);
    const TGridLines lines = View.GridLines();
    const std::vector<float> minor = Across(lines.MinorX, true);
    EXPECT_EQ(minor.size(), 40u);
    EXPECT_FLOAT_EQ(minor.front(), 2);
    EXPECT_FLOAT_EQ(minor.back(), 98);
    EXPECT_FLOAT_EQ(static_cast<TLineStrip*>(View.GridGroup->Child(1))->Color().A, 0.1f);
}

TEST_F(TGridFixture, SubdivisionOnOneAxisCountsButDrawsNoMinorLines)
{
    Set(0, 100, 1, 5, 0); // 500 + 100 counted
    EXPECT_EQ(Asked, 1);
    EXPECT_EQ(View.GridGroup->Count(), 2);
}

TEST_F(TGridFixture, DenseGridAsksAndNoLeavesItEmpty)
{
    Answer = false;
    Set(0, 1000, 1);
    EXPECT_EQ(Asked, 1);
    EXPECT_EQ(View.GridGroup->Count(), 0);
    Answer = true;
    View.GridStepX = 0;
    View.SetGridStepX(1);
    ASSERT_EQ(View.GridGroup->Count(), 2);
    EXPECT_EQ(static_cast<TLineStrip*>(View.GridGroup->Child(0))->NodeCount(), 2002);
}

// A tiny step asked for billions of lines; past the cap none are built and nobody is asked.
TEST_F(TGridFixture, TinyStepIsCapped)
{
    Set(0, 1000, 1e-6);
    EXPECT_EQ(Asked, 0);
    EXPECT_EQ(View.GridGroup->Count(), 0);
    EXPECT_TRUE(View.ConfirmDenseGrid());
}

// Positions by repeated addition drifted and lost the last line of steps like 0.1.
TEST_F(TGridFixture, NoDriftWithDecimalSteps)
{
    Set(0, 1, 0.1);
    const std::vector<float> xs = Across(View.GridLines().MajorX, true);
    EXPECT_EQ(xs.size(), 11u);
    EXPECT_FLOAT_EQ(xs.back(), 1);
}

TEST_F(TGridFixture, SettersAndWhenTheyRebuild)
{
    Set(0, 100, 10);
    auto* first = View.GridGroup->Child(0);
    View.SetGridStepX(10); // unchanged
    EXPECT_EQ(View.GridGroup->Child(0), first);
    View.SetGridStepX(-1); // not positive: the old lines stay
    EXPECT_EQ(View.GridGroup->Child(0), first);
    View.SetGridOrigin(2);
    EXPECT_DOUBLE_EQ(View.GridMin.X, -100);
    EXPECT_DOUBLE_EQ(View.GridMax.X, 0);
    EXPECT_DOUBLE_EQ(View.GridMin.Y, -100);
    EXPECT_DOUBLE_EQ(View.GetGridSizeX(), 100);
    EXPECT_EQ(View.GridGroup->Child(0), first);
    View.SetGridVisible(false);
    EXPECT_FALSE(View.GridGroup->Visible());
}
