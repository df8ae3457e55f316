// The cursor point a task uses: grid snap, the orthogonal constraint and every object-snap kind
// on a small drawing; and the placement panel's origin pick.
#include "EditingFixture.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVServices.h"
#include "QVTasks.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

namespace {

struct TSnap : TEditingFixture {
    void SetUp() override
    {
        TEditingFixture::SetUp();
        const auto add = [this](auto Obj) { return Drawing.AddObject(-1, std::move(Obj)); };
        add(std::make_unique<TPunto2D>(-1, TPoint2D{10, 10, 1}));
        add(std::make_unique<TLine2D>(-1, TPoint2D{20, 0, 1}, TPoint2D{30, 0, 1}));
        const std::vector<TPoint2D> zigzag = {{40, 0, 1}, {45, 5, 1}, {50, 0, 1}};
        add(std::make_unique<TPolyline2D>(-1, zigzag));
        add(std::make_unique<TCerchio2D>(-1, TPoint2D{60, 0, 1}, TPoint2D{64, 0, 1}));
        add(std::make_unique<TArco2D>(-1, TPoint2D{80, 0, 1}, TPoint2D{85, 0, 1}, 0.0, std::numbers::pi / 2));
        add(std::make_unique<TFrame2D>(-1, TPoint2D{90, 10, 1}, TPoint2D{96, 16, 1}));
        // Never caught: a hidden line, and a line on a hidden layer.
        add(std::make_unique<TLine2D>(-1, TPoint2D{0, 20, 1}, TPoint2D{10, 20, 1}))->Visible = false;
        Drawing.Layers.GetLayer(5).Visible = false;
        Drawing.AddObjectToLayer(-1, 5, std::make_unique<TLine2D>(-1, TPoint2D{0, -20, 1}, TPoint2D{10, -20, 1}));
    }
};

TEST_F(TSnap, GridOrthoAndObjectSnap)
{
    constexpr double No = 1e8;  // LastSnappedPoint untouched
    const double r45 = 5 * std::cos(std::numbers::pi / 4);
    struct TCase {
        const char* Name;
        bool Grid, UsaSnap, Ortho;
        double XSnap;
        int32_t Mode;
        TPoint2D Cursor, Expected;
        int32_t ExpectedCursor;  // crPan: left as it was
        bool Last;               // LastSnappedPoint becomes the result
    };
    const std::vector<TCase> cases = {
        {"grid rounds to the nearer step", true, false, false, 10, smNone, {14.9, 14.9}, {10, 10}, crPan, false},
        {"grid halves go to the even step", true, false, false, 10, smNone, {15, 25}, {20, 20}, crPan, false},
        {"grid halves below zero", true, false, false, 10, smNone, {-15, -25}, {-20, -20}, crPan, false},
        {"a zero step leaves that coordinate", true, false, false, 0, smNone, {14.9, 14.9}, {14.9, 10}, crPan, false},
        {"ortho keeps the larger offset", false, false, true, 10, smNone, {10, 3}, {10, 0}, crPan, false},
        {"ortho on a tie goes vertical", false, false, true, 10, smNone, {5, 5}, {0, 5}, crPan, false},
        {"ortho after the grid", true, false, true, 10, smNone, {24, 8}, {20, 0}, crPan, false},
        {"object snap waits until a task allows it", false, false, false, 10, smEndPoint, {21, 0.5}, {21, 0.5},
         crPan, false},
        {"end point: the nearer end of a line", false, true, false, 10, smEndPoint, {21, 0.5}, {20, 0}, crCropf, true},
        {"end point: halfway along a line takes its second end", false, true, false, 10, smEndPoint, {25, 0}, {30, 0},
         crCropf, true},
        {"mid point of a line", false, true, false, 10, smMidPoint, {22, 0.3}, {25, 0}, crCromp, true},
        {"centre over a line keeps point and cursor", false, true, false, 10, smCenter, {22, 0.2}, {22, 0.2}, crPan,
         true},
        {"auto on a line: the nearest of ends and middle", false, true, false, 10, smAuto, {24.2, 0}, {25, 0},
         crCromp, true},
        {"a point object", false, true, false, 10, smPoint, {10.3, 10.2}, {10, 10}, crCropt, true},
        {"auto on a point object", false, true, false, 10, smAuto, {9.8, 10.2}, {10, 10}, crCropt, true},
        {"end point on a point object gives nothing", false, true, false, 10, smEndPoint, {10.3, 10.2}, {10.3, 10.2},
         crPan, true},
        {"a polyline vertex", false, true, false, 10, smEndPoint, {45.2, 4.7}, {45, 5}, crCropf, true},
        {"a polyline segment gives nothing", false, true, false, 10, smEndPoint, {42.5, 2.5}, {42.5, 2.5}, crCroce,
         true},
        {"end point of a circle: its rightmost point", false, true, false, 10, smEndPoint, {60, 4}, {64, 0}, crCropf,
         true},
        {"mid point of a circle: its leftmost point", false, true, false, 10, smMidPoint, {60, -4}, {56, 0}, crCromp,
         true},
        {"centre of a circle", false, true, false, 10, smCenter, {60.2, 4}, {60, 0}, crCroct, true},
        {"auto on a circle prefers the centre", false, true, false, 10, smAuto, {60, 4}, {60, 0}, crCroct, true},
        {"auto on a circle takes a rim point strictly nearer", false, true, false, 10, smAuto, {63.6, 0.2}, {64, 0},
         crCropf, true},
        {"end point of an arc", false, true, false, 10, smEndPoint, {84.9, 0.3}, {85, 0}, crCropf, true},
        {"mid point of an arc", false, true, false, 10, smMidPoint, {84.9, 0.5}, {80 + r45, r45}, crCromp, true},
        {"centre of an arc caught inside its box", false, true, false, 10, smCenter, {82, 2}, {80, 0}, crCroct,
         true},
        {"auto on an arc", false, true, false, 10, smAuto, {80.5, 4.9}, {80, 5}, crCropf, true},
        {"a corner of another curve", false, true, false, 10, smEndPoint, {90.3, 10.2}, {90, 10}, crCropf, true},
        {"an edge of another curve gives nothing", false, true, false, 10, smEndPoint, {93, 10}, {93, 10}, crCroce,
         true},
        {"the object snap works on the grid point", true, true, false, 10, smMidPoint, {21, 0.4}, {25, 0}, crCromp,
         true},
        {"nothing under the cursor", false, true, false, 10, smAuto, {50, 30}, {50, 30}, crCroce, false},
        {"a hidden object is never caught", false, true, false, 10, smEndPoint, {9.5, 20}, {9.5, 20}, crCroce, false},
        {"an object on a hidden layer is never caught", false, true, false, 10, smEndPoint, {9.5, -20}, {9.5, -20},
         crCroce, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Prog.Snap2Grid = c.Grid;
        Prog.UsaSnap = c.UsaSnap;
        Prog.UseOrto = c.Ortho;
        Prog.XSnap = c.XSnap;
        Prog.YSnap = 10;
        Prog.SnapMode = c.Mode;
        Prog.LastSnappedPoint = {No, No, 1};
        Prog.SetViewerCursor(crPan);
        Prog.SetCursorPoint(c.Cursor);
        TPoint2D p;
        Prog.GetSnappedPoint(p);
        Prog.ApplyOrtho({0, 0, 1}, p);
        EXPECT_NEAR(p.X, c.Expected.X, 1e-9);
        EXPECT_NEAR(p.Y, c.Expected.Y, 1e-9);
        EXPECT_EQ(p.W, 1);
        EXPECT_EQ(Prog.ViewerCursor(), c.ExpectedCursor);
        if (c.Last) {
            EXPECT_NEAR(Prog.LastSnappedPoint.X, p.X, 1e-9);
            EXPECT_NEAR(Prog.LastSnappedPoint.Y, p.Y, 1e-9);
        } else {
            EXPECT_EQ(Prog.LastSnappedPoint.X, No);
        }
    }
}

TEST_F(TSnap, TheCursorPointFollowsTheMouse)
{
    std::vector<std::pair<double, double>> heard;
    View.OnMouseMove2D = [&](TQVScene&, const TViewerMouseEvent&, double X, double Y) { heard.push_back({X, Y}); };
    Move(12.5, -3);
    TPoint2D p;
    Prog.GetCursorPoint(p);
    EXPECT_NEAR(p.X, 12.5, 0.05);
    EXPECT_NEAR(p.Y, -3, 0.05);
    ASSERT_EQ(heard.size(), 1u);
    EXPECT_EQ(heard[0].first, p.X);
    Prog.SetCursorPoint({4, 6, 2});
    Prog.GetCursorPoint(p);
    EXPECT_EQ(p.X, 2);
    EXPECT_EQ(p.Y, 3);
    EXPECT_EQ(p.W, 1);
}

// A placement panel that records what the view asked of it.
struct TRecordingPanel : TVecRasInfo {
    std::vector<TPoint2D> Origins;
    int Applied = 0;
    void SetOriginPoint(const TPoint2D& P) override { Origins.push_back(P); }
    void ApplyClick() override { ++Applied; }
};

TEST_F(TSnap, AnOriginPickIsALeftClickInTheIdleState)
{
    TRecordingPanel panel;
    DlgOpenGeo = &panel;
    Prog.Snap2Grid = true;
    panel.ArmOriginPick();
    // A right click and a click during a task leave the panel waiting.
    Click(31, 42);
    Input(TViewPortInput::MouseDown, At(31, 42), mbRight);
    Prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::make_unique<TQV_50SelectObjectsParam>(5, nullptr));
    Input(TViewPortInput::MouseDown, At(31, 42), mbLeft);
    Prog.StopOperation();
    ASSERT_EQ(panel.Origins.size(), 1u);
    EXPECT_EQ(panel.Applied, 1);
    EXPECT_FALSE(panel.PickArmed);
    // The grid-snapped point.
    EXPECT_EQ(panel.Origins[0].X, 30);
    EXPECT_EQ(panel.Origins[0].Y, 40);
    panel.ArmOriginPick();
    Input(TViewPortInput::MouseDown, At(31, 42), mbRight);
    Prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::make_unique<TQV_50SelectObjectsParam>(5, nullptr));
    Down(31, 42);
    Prog.StopOperation();
    EXPECT_EQ(panel.Origins.size(), 1u);
    EXPECT_TRUE(panel.PickArmed);
    DlgOpenGeo = nullptr;
}

} // namespace
