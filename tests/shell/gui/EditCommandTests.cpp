// The editing commands in the program's window: each started by its action, its entities and
// points picked with real mouse events on the view, what it leaves in the drawing, and the undo
// button giving back the drawing as it was.
#include "ShellFixture.h"

#include "EditTools.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SavedBytes.h"
#include "SceneWidget.h"
#include "UndoRedo.h"

#include <QToolBar>

#include <functional>
#include <numbers>
#include <string>
#include <vector>

namespace {

TPoint2D P(double X, double Y)
{
    return {X, Y, 1};
}

struct TEditCommands : TShellFixture {
    void SetUp() override
    {
        TShellFixture::SetUp();
        Start();
    }

    void Line(double X1, double Y1, double X2, double Y2)
    {
        ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, P(X1, Y1), P(X2, Y2)));
    }
    void Circle(double CX, double CY, double R)
    {
        ::Drawing->AddObject(-1, std::make_unique<TCerchio2D>(-1, P(CX, CY), P(CX + R, CY)));
    }
    void Arc(double CX, double CY, double R, double FromDeg, double ToDeg)
    {
        const double d = std::numbers::pi / 180;
        ::Drawing->AddObject(-1,
                             std::make_unique<TArco2D>(-1, P(CX, CY), P(CX + R, CY), FromDeg * d, ToDeg * d));
    }
    // The view shows the world from (-50, -50) to (50, 50).
    void Show()
    {
        DrawingView->RebuildAll(false);
        DrawingView->ZoomToBox({{-50, -50, 0, 1}, {50, 50, 0, 1}});
        QApplication::processEvents();
    }
    // A left click on the view at the world point, after the mouse moved there.
    void Pick(double X, double Y)
    {
        TSceneWidget* viewer = Main().Viewer();
        const TPoint s = DrawingView->WorldToScreen(P(X, Y));
        const QPoint at(s.X, s.Y);
        QTest::mouseMove(viewer, at);
        QMouseEvent move(QEvent::MouseMove, at, viewer->mapToGlobal(at), Qt::NoButton, Qt::NoButton,
                         Qt::NoModifier);
        QApplication::sendEvent(viewer, &move);
        QTest::mouseClick(viewer, Qt::LeftButton, Qt::NoModifier, at);
    }
    std::string Classes()
    {
        std::string s;
        auto it = ::Drawing->ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            s += std::string(obj->ClassName()) + " ";
        return s;
    }
    void ClickUndo()
    {
        for (QToolBar* bar : Main().findChildren<QToolBar*>())
            if (QWidget* b = bar->widgetForAction(Form().sbtUndo)) {
                QTest::mouseClick(b, Qt::LeftButton);
                return;
            }
        FAIL() << "no undo button";
    }
};

struct TCommandCase {
    const char* Command;
    TPanelMode Mode;
    std::vector<double> Values; // the panel's values before the command
    std::function<void(TEditCommands&)> Fill;
    std::vector<TPoint2D> Picks;
    const char* After;
};

TEST_F(TEditCommands, EachToolThroughItsCommandAndTheViewThenUndo)
{
    const TCommandCase cases[] = {
        {"mnuFillet",
         TPanelMode::Fillet,
         {5},
         [](TEditCommands& T) {
             T.Line(-40, 0, 40, 0);
             T.Line(0, -40, 0, 40);
         },
         {P(-20, 0), P(0, 20)},
         "TLine2D TLine2D TArco2D "},
        {"mnuTrim",
         TPanelMode::Trim,
         {},
         [](TEditCommands& T) {
             T.Line(-40, 0, 40, 0);
             T.Line(0, -40, 0, 40);
         },
         {P(-20, 0), P(0, 20)},
         "TLine2D TLine2D "},
        {"mnuBreak",
         TPanelMode::Break,
         {},
         [](TEditCommands& T) {
             T.Line(-40, 0, 40, 0);
             T.Circle(0, 0, 20);
         },
         {P(-30, 0), P(0, 20)},
         "TLine2D TLine2D TLine2D TArco2D TArco2D "},
        {"mnuDivide",
         TPanelMode::Divide,
         {},
         [](TEditCommands& T) { T.Line(-40, 10, 40, 10); },
         {P(-30, 10)},
         "TLine2D TLine2D "},
        {"mnuJoin",
         TPanelMode::Join,
         {},
         [](TEditCommands& T) {
             T.Line(-40, 10, -10, 10);
             T.Line(10, 10, 40, 10);
         },
         {P(-20, 10), P(20, 10)},
         "TLine2D "},
        {"mnuExtend",
         TPanelMode::Extend,
         {5},
         [](TEditCommands& T) { T.Arc(0, 0, 20, 0, 90); },
         {P(0, 20)},
         "TArco2D "},
        {"mnuLinePerp",
         TPanelMode::None,
         {},
         [](TEditCommands& T) { T.Line(-40, 0, 40, 0); },
         {P(-30, 0), P(10, 30)},
         "TLine2D TLine2D "},
        {"mnuLineTangent2Arc",
         TPanelMode::LineTangent2Arc,
         {},
         [](TEditCommands& T) {
             T.Circle(-20, 0, 10);
             T.Circle(20, 0, 10);
         },
         {P(-20, 10), P(20, 10)},
         "TCerchio2D TCerchio2D TLine2D "},
        {"mnuLineTangentAngle",
         TPanelMode::LineTangentAngle,
         {30, 45},
         [](TEditCommands& T) { T.Circle(0, 0, 10); },
         {P(0, 10)},
         "TCerchio2D TLine2D "},
        {"mnuArcTangent1",
         TPanelMode::ArcTangent1,
         {},
         [](TEditCommands& T) { T.Line(-40, 0, 40, 0); },
         {P(-30, 0), P(10, 25)},
         "TLine2D TArco2D "},
        {"mnuArcTangent2",
         TPanelMode::ArcTangent2,
         {8},
         [](TEditCommands& T) {
             T.Line(-40, 0, 40, 0);
             T.Line(0, -40, 0, 40);
         },
         {P(-20, 0), P(0, 20)},
         "TLine2D TLine2D TArco2D "},
    };
    for (const TCommandCase& c : cases) {
        SCOPED_TRACE(c.Command);
        ::Drawing->DeleteAllObjects();
        c.Fill(*this);
        Show();
        if (!c.Values.empty()) {
            InfoEdit->SetMode(c.Mode);
            for (size_t i = 0; i < c.Values.size(); ++i) {
                std::string text = std::to_string(c.Values[i]);
                InfoEdit->SetValue(int32_t(i), text);
            }
        }
        const std::vector<uint8_t> before = Saved(*::Drawing);
        const int32_t records = UndoRedo->RecordCount();
        Main().Command(c.Command)->trigger();
        ASSERT_TRUE(CADProgram->OperationRunning);
        for (const TPoint2D& p : c.Picks)
            Pick(p.X, p.Y);
        EXPECT_FALSE(CADProgram->OperationRunning);
        EXPECT_EQ(Classes(), c.After);
        ASSERT_EQ(UndoRedo->RecordCount(), records + 1);
        ClickUndo();
        EXPECT_EQ(Saved(*::Drawing), before);
    }
}

TEST_F(TEditCommands, SelectOneObjectShowsItInThePanel)
{
    Line(-40, 0, 40, 0);
    Show();
    Main().Command("mnuSelect")->trigger();
    Pick(10, 0);
    EXPECT_FALSE(CADProgram->OperationRunning);
    ASSERT_NE(InfoEdit->Entity, nullptr);
    EXPECT_EQ(InfoEdit->Entity->ClassName(), "TLine2D");
}

TEST_F(TEditCommands, AFilletThatCannotBeMadeSaysWhyAndChangesNothing)
{
    Line(-40, 0, 40, 0);
    Line(-40, 10, 40, 10);
    Show();
    InfoEdit->SetMode(TPanelMode::Fillet);
    std::string radius = "2";
    InfoEdit->SetValue(0, radius);
    const std::vector<uint8_t> before = Saved(*::Drawing);
    Main().Command("mnuFillet")->trigger();
    Pick(-20, 0);
    Pick(20, 10);
    EXPECT_EQ(Saved(*::Drawing), before);
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_EQ(Boxes[0].Text, GetLangString("EditParallel"));
}

} // namespace
