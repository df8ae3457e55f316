// The drawing and editing commands used as a user does: toolbar buttons, shortcuts, clicks on the
// view and the Enter and Esc keys, all real events; the objects that result and their undo.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVDrawTasks.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "UndoRedo.h"

#include <QRadioButton>
#include <QToolButton>

#include <string>
#include <vector>

namespace {

// The program-wide objects, as the program publishes them.
struct TPublished {
    TQV_00Prog* Prog = CADProgram;
    TQV_01Cmp2D* Drawing = ::Drawing;
    TUndoRedo* UndoLog = UndoRedo;
};

struct DrawCommands : TShellFixture {
    TPublished O() { return {}; }

    QPoint ViewPoint(double X, double Y) const
    {
        const TPoint p = DrawingView->WorldToScreen({X, Y, 1});
        return {p.X, p.Y};
    }
    // The system's events through the main window, at a world point of the view.
    void ViewMouse(QTest::MouseAction Action, double X, double Y)
    {
        TSceneWidget* viewer = Main().Viewer();
        QTest::mouseEvent(Action, Main().windowHandle(),
                          Action == QTest::MouseMove ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier,
                          viewer->mapTo(&Main(), ViewPoint(X, Y)));
    }
    void ViewClick(double X, double Y)
    {
        ViewMouse(QTest::MouseMove, X, Y);
        ViewMouse(QTest::MouseClick, X, Y);
        // Clicks far apart in time: no double clicks.
        QTest::qWait(QApplication::doubleClickInterval() / 2 + 10);
    }
    void Key(Qt::Key K)
    {
        QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &Main(), K);
    }
    void Button(QToolBar* Bar, const char* Name)
    {
        auto* b = qobject_cast<QToolButton*>(Bar->widgetForAction(Main().Command(Name)));
        ASSERT_NE(b, nullptr) << Name;
        // The button's own part, not its drop-down arrow.
        QTest::mouseClick(b, Qt::LeftButton, Qt::NoModifier, QPoint(4, b->height() / 2));
    }
    std::vector<TObject2D*> Objects()
    {
        std::vector<TObject2D*> out;
        TGraphicObjIterator it = O().Drawing->ObjectsIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            out.push_back(static_cast<TObject2D*>(o));
        return out;
    }
    std::vector<std::string> RecentNames()
    {
        std::vector<std::string> out;
        for (QAction* a : Form().tbrMRU->actions())
            out.push_back(a->objectName().toStdString());
        return out;
    }
    // Within a pixel of where it was clicked.
    void ExpectAt(const TPoint2D& P, double X, double Y)
    {
        const double pixel = DrawingView->PixelSize();
        EXPECT_NEAR(P.X, X, pixel);
        EXPECT_NEAR(P.Y, Y, pixel);
    }
};

TEST_F(DrawCommands, ALineByItsShortcutThenEnterRepeatsItAndEscCancels)
{
    Start();
    QTest::keyClick(&Main(), Qt::Key_F4);
    ASSERT_TRUE(O().Prog->OperationRunning);
    ViewClick(10, 10);
    ViewMouse(QTest::MouseMove, 30, 20);
    ViewClick(30, 20);
    EXPECT_FALSE(O().Prog->OperationRunning);
    ASSERT_EQ(Objects().size(), 1u);
    auto* line = dynamic_cast<TLine2D*>(Objects()[0]);
    ASSERT_NE(line, nullptr);
    ExpectAt(line->Points().Get(0), 10, 10);
    ExpectAt(line->Points().Get(1), 30, 20);
    EXPECT_EQ(O().UndoLog->RecordCount(), 1);
    // The recorded command's end is told once.
    EXPECT_EQ(Form().StatusBarMess->text().toStdString(), GetLangString(486));
    EXPECT_EQ(RecentNames(), std::vector<std::string>{"mnuLineEndPt"});
    // Enter with nothing running draws another line; its prompt replaces the message.
    Key(Qt::Key_Return);
    ASSERT_TRUE(O().Prog->OperationRunning);
    EXPECT_NE(Form().StatusBarMess->text().toStdString(), GetLangString(486));
    ViewClick(40, 0);
    Key(Qt::Key_Escape);
    EXPECT_FALSE(O().Prog->OperationRunning);
    EXPECT_EQ(Objects().size(), 1u);
    EXPECT_EQ(DrawingView->RubberBandObject, nullptr);
    EXPECT_EQ(O().UndoLog->RecordCount(), 1);
    Button(Form().tbrEdit, "sbtUndo");
    EXPECT_EQ(O().UndoLog->RecordCount(), 0);
    EXPECT_TRUE(Objects().empty());
}

TEST_F(DrawCommands, APolylineIsDeletedAndUndoBringsItBack)
{
    Start();
    Button(Form().tbrCreate, "sbtPoly");
    ViewClick(0, 0);
    ViewClick(20, 0);
    ViewClick(20, 20);
    Key(Qt::Key_Return);
    ASSERT_EQ(Objects().size(), 1u);
    auto* poly = dynamic_cast<TPolyline2D*>(Objects()[0]);
    ASSERT_NE(poly, nullptr);
    EXPECT_EQ(poly->Points().Count(), 3);
    const int32_t id = poly->ID;
    // Delete by its drop-down button: pick the polyline, then Enter.
    Button(Form().tbrEdit, "sbtDelete");
    ViewClick(10, 0);
    Key(Qt::Key_Return);
    EXPECT_TRUE(Objects().empty());
    EXPECT_EQ(RecentNames(), (std::vector<std::string>{"mnuDelete", "sbtPoly"}));
    Button(Form().tbrEdit, "sbtUndo");
    ASSERT_EQ(Objects().size(), 1u);
    EXPECT_EQ(Objects()[0]->ID, id);
}

TEST_F(DrawCommands, AToolWindowTaskEndsOnce)
{
    // A task whose end hides the tool window: the hide cancels whatever runs, and that must not
    // reach the task that has just ended.
    Start();
    Main().ToolWinTasks.push_back(StateClass<TQV_40DrawSizedPrimitive>());
    int ends = 0;
    auto handler = O().Prog->OnEndOperation;
    O().Prog->OnEndOperation = [&](TQV_00CADProg& P, TCADStateClass Op, TQV_00CADPrgParam* Param) {
        ++ends;
        handler(P, Op, Param);
    };
    QTest::keyClick(&Main(), Qt::Key_F4);
    ToolWin().ShowPages({"tabTranslate"}, "twTrans", 250, 214);
    ASSERT_TRUE(ToolWin().isVisible());
    ViewClick(10, 10);
    ViewClick(30, 20);
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(Objects().size(), 1u);
    EXPECT_FALSE(O().Prog->OperationRunning);
    O().Prog->OnEndOperation = handler;
}

TEST_F(DrawCommands, ADropDownRepeatsItsLastChoice)
{
    Start();
    Main().Command("mnuCircle3Pt")->trigger();
    Key(Qt::Key_Escape);
    // The Arc button now shows and runs the three-point circle.
    EXPECT_EQ(Main().Command("sbtArc")->toolTip(), Main().Command("mnuCircle3Pt")->toolTip());
    Button(Form().tbrCreate, "sbtArc");
    ViewClick(0, 0);
    ViewClick(10, 0);
    ViewClick(5, 5);
    ASSERT_EQ(Objects().size(), 1u);
    auto* arc = dynamic_cast<TArco2D*>(Objects()[0]);
    ASSERT_NE(arc, nullptr);
    ExpectAt(arc->Points().Get(0), 5, 0);
}

TEST_F(DrawCommands, ALineIsDrawnMovedDeletedAndBothUndone)
{
    Start();
    QTest::keyClick(&Main(), Qt::Key_F4);
    ViewClick(10, 10);
    ViewClick(30, 10);
    ASSERT_EQ(Objects().size(), 1u);
    const int32_t id = Objects()[0]->ID;
    // Transform: pick the line, Enter; the page shows; move (not copy) by (0, 20).
    Button(Form().tbrEdit, "sbtXform");
    ViewClick(20, 10);
    Key(Qt::Key_Return);
    ASSERT_TRUE(ToolWin().isVisible());
    auto* move = ToolWin().findChild<QRadioButton*>("rbtTransMove");
    ASSERT_NE(move, nullptr);
    QTest::mouseClick(move, Qt::LeftButton, Qt::NoModifier, QPoint(5, move->height() / 2));
    ViewClick(10, 10);
    ViewMouse(QTest::MouseMove, 10, 30);
    ViewClick(10, 30);
    EXPECT_FALSE(ToolWin().isVisible());
    ASSERT_EQ(Objects().size(), 1u);
    auto* line = static_cast<TLine2D*>(Objects()[0]);
    ExpectAt(line->GetModelTransform().TransformPoint2D(line->Points().Get(0)), 10, 30);
    // Delete it.
    Button(Form().tbrEdit, "sbtDelete");
    ViewClick(20, 30);
    Key(Qt::Key_Return);
    EXPECT_TRUE(Objects().empty());
    // Two undos: back, and back where it was drawn.
    Button(Form().tbrEdit, "sbtUndo");
    ASSERT_EQ(Objects().size(), 1u);
    Button(Form().tbrEdit, "sbtUndo");
    ASSERT_EQ(Objects().size(), 1u);
    line = static_cast<TLine2D*>(Objects()[0]);
    EXPECT_EQ(line->ID, id);
    ExpectAt(line->GetModelTransform().TransformPoint2D(line->Points().Get(0)), 10, 10);
}

TEST_F(DrawCommands, AToolThatRefusesWhatWasPickedSaysSoAndTheProgramIsIdle)
{
    // Control points are for primitives: a container picked is refused with a message, and the
    // program is idle again.
    Start();
    std::vector<std::unique_ptr<TGraphicObject>> children;
    children.push_back(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{20, 0, 1}));
    ::Drawing->AddObject(-1, std::make_unique<TContainer2D>(-1, std::move(children)));
    DrawingView->RebuildAll(false);
    Main().Command("mnuMoveNode")->trigger();
    ASSERT_TRUE(O().Prog->OperationRunning);
    ViewClick(10, 0);
    QApplication::processEvents();
    EXPECT_FALSE(O().Prog->OperationRunning);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, "TQV_51EditSelectedPrimitive: Invalid param");
}

} // namespace
