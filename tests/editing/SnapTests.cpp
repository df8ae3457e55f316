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
        Drawing.AddObjectToLayer(-1, 5,
                                 std::make_unique<TLine2D>(-1, TPoint2D{0, -20, 1}, TPoint2D{10, -20, 1}));
    }
};

TEST_F(TSnap, GridOrthoAndObjectSnap)
{
    constexpr double No = 1e8; // LastSnappedPoint untouched
    const double r45 = 5 * std::cos(std::numbers::pi / 4);
    // What a row switches on: grid snap, object snap allowed (a task wants it), the orthogonal
    // constraint from the origin, and no grid step along X.
    enum : int { Grid = 1, Snap = 2, Ortho = 4, NoXStep = 8 };
    struct TCase {
        const char* Name;
        int Setup;
        int32_t Mode;
        TPoint2D Cursor, Expected;
        int32_t Shown; // the cursor shown; crPan: left as it was
        bool Last;     // LastSnappedPoint becomes the result
    };
    const std::vector<TCase> cases = {
        {"grid rounds to the nearer step", Grid, smNone, {14.9, 14.9}, {10, 10}, crPan, false},
        {"grid halves go to the even step", Grid, smNone, {15, 25}, {20, 20}, crPan, false},
        {"grid halves below zero", Grid, smNone, {-15, -25}, {-20, -20}, crPan, false},
        {"a zero step leaves X alone", Grid | NoXStep, smNone, {14.9, 14.9}, {14.9, 10}, crPan, false},
        {"ortho keeps the larger offset", Ortho, smNone, {10, 3}, {10, 0}, crPan, false},
        {"ortho on a tie goes vertical", Ortho, smNone, {5, 5}, {0, 5}, crPan, false},
        {"ortho after the grid", Grid | Ortho, smNone, {24, 8}, {20, 0}, crPan, false},
        {"object snap waits for a task that wants it", 0, smEndPoint, {21, 0.5}, {21, 0.5}, crPan, false},
        {"end point: the nearer end of a line", Snap, smEndPoint, {21, 0.5}, {20, 0}, crCropf, true},
        {"end point: halfway takes the second end", Snap, smEndPoint, {25, 0}, {30, 0}, crCropf, true},
        {"mid point of a line", Snap, smMidPoint, {22, 0.3}, {25, 0}, crCromp, true},
        {"centre over a line keeps point and cursor", Snap, smCenter, {22, 0.2}, {22, 0.2}, crPan, true},
        {"auto on a line: nearest of ends and middle", Snap, smAuto, {24.2, 0}, {25, 0}, crCromp, true},
        {"a point object", Snap, smPoint, {10.3, 10.2}, {10, 10}, crCropt, true},
        {"auto on a point object", Snap, smAuto, {9.8, 10.2}, {10, 10}, crCropt, true},
        {"end point on a point object: nothing", Snap, smEndPoint, {10.3, 10.2}, {10.3, 10.2}, crPan, true},
        {"a polyline vertex", Snap, smEndPoint, {45.2, 4.7}, {45, 5}, crCropf, true},
        {"a polyline segment gives nothing", Snap, smEndPoint, {42.5, 2.5}, {42.5, 2.5}, crCroce, true},
        {"end point of a circle: its rightmost", Snap, smEndPoint, {60, 4}, {64, 0}, crCropf, true},
        {"mid point of a circle: its leftmost", Snap, smMidPoint, {60, -4}, {56, 0}, crCromp, true},
        {"centre of a circle", Snap, smCenter, {60.2, 4}, {60, 0}, crCroct, true},
        {"auto on a circle prefers the centre", Snap, smAuto, {60, 4}, {60, 0}, crCroct, true},
        {"auto on a circle: a rim point nearer", Snap, smAuto, {63.6, 0.2}, {64, 0}, crCropf, true},
        {"end point of an arc", Snap, smEndPoint, {84.9, 0.3}, {85, 0}, crCropf, true},
        {"mid point of an arc", Snap, smMidPoint, {84.9, 0.5}, {80 + r45, r45}, crCromp, true},
        {"centre of an arc caught inside its box", Snap, smCenter, {82, 2}, {80, 0}, crCroct, true},
        {"auto on an arc", Snap, smAuto, {80.5, 4.9}, {80, 5}, crCropf, true},
        {"a corner of another curve", Snap, smEndPoint, {90.3, 10.2}, {90, 10}, crCropf, true},
        {"an edge of another curve: nothing", Snap, smEndPoint, {93, 10}, {93, 10}, crCroce, true},
        {"object snap on the grid point", Grid | Snap, smMidPoint, {21, 0.4}, {25, 0}, crCromp, true},
        {"nothing under the cursor", Snap, smAuto, {50, 30}, {50, 30}, crCroce, false},
        {"a hidden object is never caught", Snap, smEndPoint, {9.5, 20}, {9.5, 20}, crCroce, false},
        {"nor one on a hidden layer", Snap, smEndPoint, {9.5, -20}, {9.5, -20}, crCroce, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Prog.Snap2Grid = c.Setup & Grid;
        Prog.UsaSnap = c.Setup & Snap;
        Prog.UseOrto = c.Setup & Ortho;
        Prog.XSnap = c.Setup & NoXStep ? 0 : 10;
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
        EXPECT_EQ(Prog.ViewerCursor(), c.Shown);
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
    View.OnMouseMove2D = [&](TQVScene&, const TViewerMouseEvent&, double X, double Y) {
        heard.push_back({X, Y});
    };
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
    Prog.StartOperation(StateClass<TQV_50SelectObjects>(),
                        std::make_unique<TQV_50SelectObjectsParam>(5, nullptr));
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
    Prog.StartOperation(StateClass<TQV_50SelectObjects>(),
                        std::make_unique<TQV_50SelectObjectsParam>(5, nullptr));
    Down(31, 42);
    Prog.StopOperation();
    EXPECT_EQ(panel.Origins.size(), 1u);
    EXPECT_TRUE(panel.PickArmed);
    DlgOpenGeo = nullptr;
}

} // namespace
