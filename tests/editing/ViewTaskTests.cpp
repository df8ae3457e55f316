// Zoom window, real-time pan and the rubber band, alone and nested in a selection task.
#include "EditingFixture.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVServices.h"
#include "QVTasks.h"

#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TViewTasks : TEditingFixture {
    std::vector<std::string> Ends;
    TLine2D* Line = nullptr;

    void SetUp() override
    {
        TEditingFixture::SetUp();
        Line = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{20, 0, 1}, TPoint2D{30, 0, 1}));
        Prog.OnEndOperation = [this](TQV_00CADProg&, TCADStateClass Op, TQV_00CADPrgParam*) {
            Ends.push_back(Op == StateClass<TQV_50SelectObjects>() ? "select" : "other");
        };
    }

    TPoint2D WorldAt(int X, int Y) const
    {
        const TPoint3D p = View.ScreenToWorld(X, Y);
        return {p.X, p.Y, 1};
    }
    TQV_52WinPrgSelectParam* Band() const
    {
        return Prog.CurrentState() ? dynamic_cast<TQV_52WinPrgSelectParam*>(Prog.CurrentState()->Param)
                                   : nullptr;
    }
    // A selection task with the line picked.
    TQV_50SelectObjectsParam* SelectLine()
    {
        auto param = std::make_unique<TQV_50SelectObjectsParam>(5, nullptr);
        TQV_50SelectObjectsParam* p = param.get();
        Prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::move(param));
        Click(25, 0);
        EXPECT_EQ(p->SelectedObjects.Count(), 1);
        return p;
    }
};

TEST_F(TViewTasks, ZoomWindowShowsTheWindowAndEnds)
{
    EXPECT_FALSE(
        Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>())); // nothing runs: an ordinary start
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 0");
    Click(10, 10);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 1");
    EXPECT_TRUE(View.OverlayMode & OverlaySelectionRect);
    Move(30, 20);
    Frame();
    ASSERT_NE(Band(), nullptr);
    EXPECT_EQ(View.RubberBandObject, static_cast<TGraphicObject*>(Band()->Frame.get()));
    EXPECT_EQ(Band()->ScreenRect[0], At(10, 10).X);
    EXPECT_EQ(Band()->ScreenRect[3], At(30, 20).Y);
    Click(30, 20);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(Ends, std::vector<std::string>{"other"});
    EXPECT_EQ(View.RubberBandObject, nullptr);
    EXPECT_FALSE(View.OverlayMode & (OverlaySelectionRect | OverlayRubberBand));
    // The window is shown centred, its diagonal across the view's width.
    const TPoint2D centre = WorldAt(500, 300);
    EXPECT_NEAR(centre.X, 20, 0.1);
    EXPECT_NEAR(centre.Y, 15, 0.1);
    EXPECT_NEAR(WorldAt(1000, 300).X - WorldAt(0, 300).X, std::hypot(20.0, 10.0), 0.1);
}

TEST_F(TViewTasks, TwoClicksOnOneSpotDoNotZoom)
{
    const TPoint2D before = WorldAt(500, 300);
    const double pixel = View.PixelSize();
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    Click(40, 5);
    ASSERT_NE(Band(), nullptr);
    EXPECT_EQ(Band()->ScreenRect, (std::array<int32_t, 4>{0, 0, 0, 0}));
    Down(40, 5);
    Up(40, 5);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(View.PixelSize(), pixel);
    EXPECT_EQ(WorldAt(500, 300).X, before.X);
}

TEST_F(TViewTasks, ANestedZoomGivesTheSelectionTaskBack)
{
    TQV_50SelectObjectsParam* p = SelectLine();
    EXPECT_TRUE(Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>()));
    EXPECT_TRUE(Prog.IsSuspended);
    Click(15, -5);
    Move(35, 5);
    Click(35, 5);
    // The selection task is back with its prompt and its selection; it has not ended.
    EXPECT_FALSE(Prog.IsSuspended);
    EXPECT_EQ(Prog.CurrentState()->Param, p);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 16");
    EXPECT_EQ(p->SelectedObjects.Count(), 1);
    EXPECT_TRUE(Ends.empty());
    EXPECT_NEAR(WorldAt(500, 300).X, 25, 0.1);
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Ends, std::vector<std::string>{"select"});
}

TEST_F(TViewTasks, CancellingTheSecondCornerResumesTheTask)
{
    TQV_50SelectObjectsParam* p = SelectLine();
    const double pixel = View.PixelSize();
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    Click(15, -5);
    Move(35, 5);
    Frame();
    Prog.SendUserEvent(ueCancel);
    EXPECT_FALSE(Prog.IsSuspended);
    EXPECT_EQ(Prog.CurrentState()->Param, p);
    EXPECT_EQ(View.RubberBandObject, nullptr);
    EXPECT_FALSE(View.OverlayMode & OverlaySelectionRect);
    EXPECT_EQ(View.PixelSize(), pixel);
    // Stopping a nested zoom resumes the task too, and the task's parameter lives on.
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    Click(15, -5);
    Prog.StopOperation();
    EXPECT_EQ(Prog.CurrentState()->Param, p);
    EXPECT_EQ(p->SelectedObjects.Count(), 1);
    EXPECT_TRUE(Ends.empty());
}

TEST_F(TViewTasks, PanKeepsTheGrabbedPointUnderTheCursor)
{
    Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>());
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 2");
    Input(TViewPortInput::MouseMove, {500, 300});
    EXPECT_EQ(Prog.ViewerCursor(), crPan);
    const TPoint2D grabbed = WorldAt(500, 300);
    Input(TViewPortInput::MouseDown, {500, 300}, mbLeft, ssLeft);
    for (int x = 520; x <= 600; x += 20)
        Input(TViewPortInput::MouseMove, {x, 300}, mbLeft, ssLeft);
    Input(TViewPortInput::MouseUp, {600, 300});
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(Prog.ViewerCursor(), crCroce);
    EXPECT_NEAR(WorldAt(600, 300).X, grabbed.X, 1e-3);
    EXPECT_NEAR(WorldAt(600, 300).Y, grabbed.Y, 1e-3);
    EXPECT_NEAR(WorldAt(500, 300).X, grabbed.X - 100 * View.PixelSize(), 1e-3);
}

TEST_F(TViewTasks, CancellingAPanPutsTheCameraBack)
{
    TQV_50SelectObjectsParam* p = SelectLine();
    const TPoint2D before = WorldAt(500, 300);
    const bool usaSnap = Prog.UsaSnap;
    EXPECT_TRUE(Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>()));
    EXPECT_TRUE(Prog.UsaSnap);
    Input(TViewPortInput::MouseDown, {500, 300}, mbLeft, ssLeft);
    Input(TViewPortInput::MouseMove, {560, 250}, mbLeft, ssLeft);
    EXPECT_NE(WorldAt(500, 300).X, before.X);
    Prog.SendUserEvent(ueCancel);
    EXPECT_NEAR(WorldAt(500, 300).X, before.X, 1e-4);
    EXPECT_NEAR(WorldAt(500, 300).Y, before.Y, 1e-4);
    // The task is back as it was, its parameter not freed by the pan.
    EXPECT_EQ(Prog.CurrentState()->Param, p);
    EXPECT_EQ(Prog.UsaSnap, usaSnap);
    EXPECT_TRUE(Ends.empty());
}

TEST_F(TViewTasks, NoZoomOrPanInsideAnother)
{
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    EXPECT_FALSE(Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>()));
    Click(10, 10);
    EXPECT_FALSE(Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>()));
    Prog.StopOperation();
    SelectLine();
    EXPECT_TRUE(Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>()));
    EXPECT_FALSE(Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>()));
    EXPECT_FALSE(Prog.StartOperation(StateClass<TQV_20PrgZoomArea>(), nullptr));
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Prog.CurrentOperation, StateClass<TQV_50SelectObjects>());
}

TEST_F(TViewTasks, TheReleaseOfAFinishingClickIsConsumedWhole)
{
    // The window's last corner is a press; its release over the line must not pick the line in
    // the task that comes back (zoom window), nor in the tool after a window selection.
    TQV_50SelectObjectsParam* p = SelectLine();
    Click(25, 0); // the line is picked off again
    ASSERT_EQ(p->SelectedObjects.Count(), 0);
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    Click(10, 10);
    Move(25, 0);
    Down(25, 0);
    ASSERT_FALSE(Prog.IsSuspended);
    Up(25, 0);
    EXPECT_EQ(p->SelectedObjects.Count(), 0);
    // The next click is a click again.
    Click(25, 0);
    EXPECT_EQ(p->SelectedObjects.Count(), 1);
}

} // namespace
