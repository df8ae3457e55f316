// The interaction program on the real view widget: QTest's mouse and key events drive a zoom
// window, a pan and a window selection; the widget still gets every event; an exception of a task
// is shown through the main window and the program is idle again.
#include "QVCADPrgAdapter.h"
#include "QVCursors.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVSceneWidget.h"
#include "QVTasks.h"

#include "FakeServices.h"

#include <QApplication>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Heard;

// A task that tells what reaches it and fails on demand.
class TListening : public TQV_00State {
public:
    TListening(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
        : TQV_00State(CADPrg, StateParam, NextState)
    {
    }
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton Button, TShiftState, int32_t Key,
                 TCADStateClass&) override
    {
        if (Event == cePaint || Event == ceMouseMove)
            return false;
        // Appended piece by piece: g++ 12 warns falsely about a chain of + at -O2.
        Heard.push_back(std::string("e")
                            .append(std::to_string(Event))
                            .append(" b")
                            .append(std::to_string(Button))
                            .append(" k")
                            .append(std::to_string(Key)));
        if (Event == ceMouseDown && Button == cmbRight)
            throw std::runtime_error("The task failed.");
        return false;
    }
};

// The tool after a window selection: it keeps the IDs selected.
std::vector<int32_t> Selected;
class TKeepSelection : public TQV_00State {
public:
    TKeepSelection(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
        : TQV_00State(CADPrg, StateParam, NextState)
    {
        auto* p = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
        TGraphicObjIterator it = p->SelectedObjects.GetIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            Selected.push_back(o->ID);
        NextState = CADPrg.DefaultState;
    }
};

// Sees what the widget gets after the program's adapter has seen it.
class TRecorder : public QObject {
public:
    std::vector<QEvent::Type> Types;

protected:
    bool eventFilter(QObject*, QEvent* E) override
    {
        if (E->type() == QEvent::Wheel || E->type() == QEvent::MouseButtonPress ||
            E->type() == QEvent::MouseButtonRelease)
            Types.push_back(E->type());
        return false;
    }
};

struct TOnTheWidget : ::testing::Test {
    TQV_01Cmp2D Drawing;
    TQVScene View; // outlives the window that owns the widget
    TQV_00Prog Prog;
    std::unique_ptr<QWidget> Window;
    TSceneWidget* Widget = nullptr;
    TRecorder Recorder;
    std::unique_ptr<TCADPrgViewAdapter> Adapter;
    TFakeMainWindow Main;
    TInstalledServices Installed{&Main};
    TLine2D *A = nullptr, *B = nullptr;

    void SetUp() override
    {
        Heard.clear();
        Selected.clear();
        DrawingView = &View;
        View.AttachDrawing(&Drawing);
        A = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 0, 1}, TPoint2D{20, 0, 1}));
        B = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{30, 0, 1}, TPoint2D{40, 0, 1}));
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{50, 0, 1}, TPoint2D{60, 10, 1}));
        Window = std::make_unique<QWidget>();
        Window->resize(800, 500);
        Widget = CreateViewWidget(View, Window.get());
        Widget->installEventFilter(&Recorder);
        Prog.SetViewPort(&View);
        Adapter = std::make_unique<TCADPrgViewAdapter>(Prog, *Widget);
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window.get()));
        View.ZoomToBox({{0, 0, 0, 1}, {80, 0, 0, 1}});
        QApplication::processEvents();
    }

    void TearDown() override
    {
        Adapter.reset();
        Prog.SetViewPort(nullptr);
        Window.reset();
        DrawingView = nullptr;
    }

    QPoint At(double X, double Y) const
    {
        const TPoint p = View.WorldToScreen({X, Y, 1});
        return {p.X, p.Y};
    }
    TPoint2D WorldAt(QPoint P) const
    {
        const TPoint3D w = View.ScreenToWorld(P.x(), P.y());
        return {w.X, w.Y, 1};
    }
    // QTest's events through the window, as the system delivers them (the widget overloads move
    // the system's pointer instead, which arrives late or not at all).
    void Mouse(QTest::MouseAction Action, QPoint P, Qt::MouseButton Button = Qt::LeftButton,
               Qt::KeyboardModifiers Keys = Qt::NoModifier)
    {
        QTest::mouseEvent(Action, Window->windowHandle(), Action == QTest::MouseMove ? Qt::NoButton : Button,
                          Keys, Widget->mapTo(Window.get(), P));
    }
    void Click(QPoint P)
    {
        Mouse(QTest::MouseMove, P);
        Mouse(QTest::MouseClick, P);
    }
};

TEST_F(TOnTheWidget, ZoomWindow)
{
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    Click(At(20, 10));
    Mouse(QTest::MouseMove, At(30, 5));
    Mouse(QTest::MouseMove, At(40, -10));
    Widget->RenderNow();
    EXPECT_TRUE(View.OverlayMode & OverlaySelectionRect);
    EXPECT_NE(View.RubberBandObject, nullptr);
    Click(At(40, -10));
    EXPECT_FALSE(Prog.OperationRunning);
    const TPoint2D centre = WorldAt({Widget->width() / 2, Widget->height() / 2});
    EXPECT_NEAR(centre.X, 30, 0.2);
    EXPECT_NEAR(centre.Y, 0, 0.2);
    const double width = WorldAt({Widget->width(), 0}).X - WorldAt({0, 0}).X;
    // The 20 x 20 window is shown whole: its diagonal across the width, or its height when the
    // widget is wider than that.
    const double aspect = double(Widget->width()) / Widget->height();
    EXPECT_NEAR(width, std::max(std::hypot(20.0, 20.0), 20 * aspect), 0.2);
    EXPECT_EQ(View.RubberBandObject, nullptr);
}

TEST_F(TOnTheWidget, Pan)
{
    Prog.StartNestedOperation(StateClass<TQV_21RealTimePan>());
    const QPoint from(300, 250), to(420, 200);
    Mouse(QTest::MouseMove, from);
    EXPECT_EQ(Prog.ViewerCursor(), crPan);
    EXPECT_EQ(Widget->cursor().hotSpot(), QPoint(15, 15));
    const TPoint2D grabbed = WorldAt(from);
    Mouse(QTest::MousePress, from);
    Mouse(QTest::MouseMove, QPoint(360, 230));
    Mouse(QTest::MouseMove, to);
    Mouse(QTest::MouseRelease, to);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(Prog.ViewerCursor(), crCroce);
    EXPECT_NEAR(WorldAt(to).X, grabbed.X, 0.01);
    EXPECT_NEAR(WorldAt(to).Y, grabbed.Y, 0.01);
}

TEST_F(TOnTheWidget, WindowSelection)
{
    Prog.StartOperation(StateClass<TQV_51WinSelectObjects>(),
                        std::make_unique<TQV_51WinSelectObjectsParam>(false, StateClass<TKeepSelection>()));
    // Dragged from the lower right to the upper left: the window holds A and B whole.
    Click(At(45, -5));
    Mouse(QTest::MouseMove, At(20, 2));
    Click(At(5, 5));
    EXPECT_EQ(Selected, (std::vector<int32_t>{A->ID, B->ID}));
    EXPECT_FALSE(Prog.OperationRunning);
}

TEST_F(TOnTheWidget, KeysAndButtonsReachTheTask)
{
    Prog.StartOperation(StateClass<TListening>(), nullptr);
    Widget->setFocus();
    QTest::keyPress(Widget, Qt::Key_A);
    Mouse(QTest::MouseClick, QPoint(100, 100));
    QTest::keyRelease(Widget, Qt::Key_A);
    Mouse(QTest::MouseDClick, QPoint(100, 100));
    const std::string a = std::to_string(Qt::Key_A);
    // The double click: press, release, then the double click and its press, and a release.
    EXPECT_EQ(Heard, (std::vector<std::string>{"e4 b0 k" + a, "e1 b1 k" + a, "e2 b1 k" + a, "e5 b0 k" + a,
                                               "e1 b1 k0", "e2 b1 k0", "e3 b0 k0", "e1 b1 k0", "e2 b1 k0"}));
}

TEST_F(TOnTheWidget, TheWidgetStillGetsEveryEvent)
{
    Prog.StartOperation(StateClass<TListening>(), nullptr);
    const QPoint p(400, 250);
    QWheelEvent wheel(QPointF(p), QPointF(Widget->mapToGlobal(p)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Widget, &wheel);
    Mouse(QTest::MousePress, p, Qt::MiddleButton);
    Mouse(QTest::MouseRelease, p, Qt::MiddleButton);
    EXPECT_EQ(Recorder.Types, (std::vector<QEvent::Type>{QEvent::Wheel, QEvent::MouseButtonPress,
                                                         QEvent::MouseButtonRelease}));
    // The view's own Shift+drag pan still works under a running task.
    const TPoint2D before = WorldAt(p);
    Mouse(QTest::MousePress, p, Qt::LeftButton, Qt::ShiftModifier);
    Mouse(QTest::MouseMove, QPoint(450, 250), Qt::LeftButton, Qt::ShiftModifier);
    Mouse(QTest::MouseRelease, QPoint(450, 250), Qt::LeftButton, Qt::ShiftModifier);
    EXPECT_NEAR(WorldAt({450, 250}).X, before.X, 0.01);
    // The middle button made no event of the task.
    EXPECT_EQ(Heard, (std::vector<std::string>{"e1 b1 k0", "e2 b1 k0"}));
}

TEST_F(TOnTheWidget, AFailingTaskIsReportedAndTheProgramIsIdleAgain)
{
    int ends = 0;
    Prog.OnEndOperation = [&](TQV_00CADProg&, TCADStateClass, TQV_00CADPrgParam*) { ++ends; };
    LanguageIni.reset();
    Prog.StartOperation(StateClass<TListening>(), nullptr);
    Mouse(QTest::MouseClick, QPoint(100, 100), Qt::RightButton);
    ASSERT_EQ(Main.Boxes.size(), 1u);
    EXPECT_EQ(Main.Boxes[0].Text, "The task failed.");
    EXPECT_EQ(Main.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_FALSE(Prog.OperationRunning);
    EXPECT_EQ(ends, 1);
}

TEST_F(TOnTheWidget, TheLastCornerOfAZoomWindowPicksNothingInTheTaskItResumes)
{
    // A pick selection waits; a zoom window runs inside it, and its last corner is clicked on
    // line A. The click's release must not reach the resumed selection.
    auto param = std::make_unique<TQV_50SelectObjectsParam>(5, nullptr);
    TQV_50SelectObjectsParam* selection = param.get();
    Prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::move(param));
    Prog.StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    // A wide, flat window: A stays well inside the view after the zoom.
    Click(At(0, 1));
    Mouse(QTest::MouseMove, At(15, 0));
    Click(At(15, 0));
    ASSERT_FALSE(Prog.IsSuspended);
    EXPECT_EQ(selection->SelectedObjects.Count(), 0);
    // The next click on A is a pick again.
    Click(At(15, 0));
    EXPECT_EQ(selection->SelectedObjects.Count(), 1);
    Prog.StopOperation();
}

} // namespace
