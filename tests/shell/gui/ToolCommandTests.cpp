// The offset, points-along, small-objects, report and end-point commands used as a user does: the
// command's action, clicks on the view and on the tool window's pages, typed values; the objects
// that result and their undo.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "UndoRedo.h"
#include "UnitCatena.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QTreeWidget>

#include <cmath>
#include <string>

namespace {

struct ToolCommands : TShellFixture {
    void SetUp() override
    {
        TShellFixture::SetUp();
        Start();
        DrawingView->ZoomToBox({{0, -50, 0, 1}, {100, 50, 0, 1}});
    }

    QPoint ViewPoint(double X, double Y) const
    {
        const TPoint p = DrawingView->WorldToScreen({X, Y, 1});
        return {p.X, p.Y};
    }
    void ViewClick(double X, double Y)
    {
        TSceneWidget* viewer = Main().Viewer();
        const QPoint at = viewer->mapTo(&Main(), ViewPoint(X, Y));
        QTest::mouseEvent(QTest::MouseMove, Main().windowHandle(), Qt::NoButton, Qt::NoModifier, at);
        QTest::mouseEvent(QTest::MouseClick, Main().windowHandle(), Qt::LeftButton, Qt::NoModifier, at);
        QTest::qWait(QApplication::doubleClickInterval() / 2 + 10);
    }
    template <class T> T* Control(const char* Name)
    {
        T* c = ToolWin().findChild<T*>(Name);
        EXPECT_NE(c, nullptr) << Name;
        return c;
    }
    void Type(const char* Name, const char* Text)
    {
        auto* edit = Control<QLineEdit>(Name);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, Text);
    }
    void Press(const char* Name) { QTest::mouseClick(Control<QAbstractButton>(Name), Qt::LeftButton); }
    void Run(const char* Command) { Main().Command(Command)->trigger(); }
    TLine2D* AddLine(double X1, double Y1, double X2, double Y2)
    {
        TLine2D* l =
            ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{X1, Y1, 1}, TPoint2D{X2, Y2, 1}));
        DrawingView->RebuildAll(false);
        return l;
    }
    int Count() const { return ::Drawing->ObjectsCount(); }
};

TEST_F(ToolCommands, OffsetMovesAPickedLineAndOneUndoBringsItBack)
{
    AddLine(20, 0, 80, 0);
    Run("mnuOffset");
    ASSERT_TRUE(ToolWin().isVisible());
    Press("rbtOffsetMove");
    ViewClick(50, 0);
    Type("txtOffsetDist", "5");
    Press("sbtFlipOffset");
    Press("sbtOffsetOk");
    EXPECT_FALSE(ToolWin().isVisible());
    ASSERT_EQ(Count(), 1);
    const auto firstY = [] {
        TGraphicObjIterator it = ::Drawing->ObjectsIterator();
        auto* line = dynamic_cast<TLine2D*>(it.First());
        return line ? line->Points().Get(0).Y : -1.0;
    };
    EXPECT_NEAR(std::abs(firstY()), 5, 1e-9);
    Main().Command("sbtUndo")->trigger();
    ASSERT_EQ(Count(), 1);
    EXPECT_NEAR(firstY(), 0, 1e-9);
}

TEST_F(ToolCommands, PointsAlongAPickedChain)
{
    AddLine(10, 0, 70, 0);
    Run("mnuPtAlong");
    ASSERT_TRUE(ToolWin().isVisible());
    Type("txtNumPtAlong", "4");
    Press("sbtPtAlongChain");
    ViewClick(40, 0);
    EXPECT_EQ(PtAlongChains.Count(), 1);
    EXPECT_EQ(Control<QLineEdit>("txtLength")->text(), "60");
    EXPECT_EQ(Control<QLineEdit>("txtBtPoints")->text(), "20");
    Press("chkAlPoints");
    Press("sbtPtAlongOk");
    EXPECT_FALSE(ToolWin().isVisible());
    // Four holes and four points.
    EXPECT_EQ(Count(), 9);
    Main().Command("sbtUndo")->trigger();
    EXPECT_EQ(Count(), 1);
}

TEST_F(ToolCommands, SmallObjectsFoundThenDeleted)
{
    AddLine(10, 0, 10.01, 0.01);
    AddLine(20, 0, 60, 0);
    Run("mnuDeleteSmall");
    ASSERT_TRUE(ToolWin().isVisible());
    Press("sbtIdentSmallEnt");
    EXPECT_EQ(Count(), 2);
    EXPECT_EQ(Control<QLabel>("stxReportSmall")->text().left(2), "1 ");
    Press("sbtDelSmall");
    EXPECT_EQ(Count(), 1);
}

TEST_F(ToolCommands, TheReportReplacesItsTreeAndEndPointsAreMarked)
{
    AddLine(20, 0, 60, 0);
    Run("mnuInfoEntities");
    ASSERT_TRUE(ToolWin().isVisible());
    ToolWin().hide();
    Run("mnuInfoEntities");
    const auto trees = ToolWin().findChildren<QTreeWidget*>("tvwInfoEnt");
    ASSERT_EQ(trees.size(), 1);
    EXPECT_GE(trees[0]->topLevelItem(0)->childCount(), 8);
    ToolWin().hide();

    const int before = DrawingView->HighlightGroup->Count();
    Run("mnuShowEndpoints");
    EXPECT_EQ(DrawingView->HighlightGroup->Count(), before + 2);
}

} // namespace
