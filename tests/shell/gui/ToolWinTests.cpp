// The tool window frame: the pages a command shows, the tab bar, the main window's input while it
// shows, and what hiding it ends.
#include "ShellFixture.h"

#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVTasks.h"
#include "QVVariabili.h"

#include <QLabel>
#include <QLineEdit>
#include <QTabBar>
#include <QTabWidget>

namespace {
// The tab items visible in the tab control.
std::vector<std::string> VisiblePages(TfrmToolWin& W)
{
    std::vector<std::string> pages;
    QTabWidget* t = W.Pages();
    for (int i = 0; i < t->count(); ++i)
        if (t->isTabVisible(i))
            pages.push_back(t->widget(i)->objectName().toStdString());
    return pages;
}
// A task that is done as soon as it starts, as a transform ends after its last input.
class TDoneAtOnce : public TQV_00State {
public:
    TDoneAtOnce(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
        : TQV_00State(CADPrg, StateParam, NextState)
    {
        NextState = CADPrg.DefaultState;
    }
};
} // namespace

using ToolWinFrame = TShellFixture;

TEST_F(ToolWinFrame, EveryPageHasItsSheetAndTheEmptySheetsForTheCommands)
{
    Start();
    EXPECT_EQ(ToolWin().Pages()->count(), 36);
    for (const auto& [tab, sheet] : TfrmToolWin::TabSheets()) {
        QWidget* w = ToolWin().Sheet(tab);
        ASSERT_NE(w, nullptr) << tab;
        EXPECT_EQ(w->objectName().toStdString(), sheet);
    }
    EXPECT_EQ(ToolWin().Sheet("tabVectorize")->objectName(), "sheetVectorize");
    EXPECT_EQ(ToolWin().Sheet("tabOpenR")->objectName(), "sheetOpenR");
    EXPECT_EQ(ToolWin().Sheet("tabNothing"), nullptr);
    EXPECT_FALSE(ToolWin().isVisible());
}

TEST_F(ToolWinFrame, ShowPagesShowsExactlyThePagesGiven)
{
    Start();
    int clicked = 0;
    QWidget* clickedSheet = nullptr;
    ToolWin().TabClick["tabTool"] = [&](QWidget* Sheet) {
        ++clicked;
        clickedSheet = Sheet;
    };
    ToolWin().ShowPages({"tabTool", "tabChain", "tabContour"}, "twTrans", 494, 428);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ToolWin()));
    EXPECT_EQ(VisiblePages(ToolWin()), (std::vector<std::string>{"sheetTool", "sheetChain", "sheetContour"}));
    EXPECT_EQ(ToolWin().Pages()->currentWidget()->objectName(), "sheetTool");
    EXPECT_TRUE(ToolWin().Pages()->tabBar()->isVisible());
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twTrans"));
    EXPECT_EQ(clicked, 1);
    EXPECT_EQ(clickedSheet, ToolWin().Sheet("tabTool"));

    // While it shows, another command's pages, caption and size are not taken.
    const QSize size = ToolWin().size();
    ToolWin().ShowPages({"tabScale"}, "twScale", 250, 258);
    EXPECT_EQ(VisiblePages(ToolWin()).size(), 3U);
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twTrans"));
    EXPECT_EQ(ToolWin().size(), size);
    EXPECT_EQ(clicked, 1);

    ToolWin().close();
    EXPECT_FALSE(ToolWin().isVisible());
    // One page: no tab bar.
    ToolWin().ShowPages({"tabScale"}, "twScale", 250, 258);
    EXPECT_EQ(VisiblePages(ToolWin()), std::vector<std::string>{"sheetScale"});
    EXPECT_FALSE(ToolWin().Pages()->tabBar()->isVisible());
    EXPECT_EQ(ToolWin().windowTitle().toStdString(), GetLangToolWin("twScale"));
}

TEST_F(ToolWinFrame, WhileShownTheMainInputIsOffAndHidingCancelsTheTask)
{
    Start();
    ASSERT_TRUE(CADProgram->StartOperation(StateClass<TQV_20PrgZoomArea>(), nullptr));
    ASSERT_TRUE(CADProgram->OperationRunning);
    int freed = 0;
    ToolWin().AddHideHandler([&] { ++freed; });
    ToolWin().ShowPages({"tabTranslate"}, "twTrans", 250, 214);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ToolWin()));
    for (QWidget* w : std::initializer_list<QWidget*>{Form().tbrFile, Form().tbrCreate, Form().tbrEdit,
                                                      Form().tbrMRU, Form().pgCtrGeoCnc})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    // The view and its toolbar go on working for the running task.
    EXPECT_TRUE(Form().tbrView->isEnabled());

    // The close box: the window hides, the task is cancelled, the input comes back.
    ToolWin().close();
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_FALSE(CADProgram->OperationRunning);
    EXPECT_EQ(freed, 1);
    for (QWidget* w : std::initializer_list<QWidget*>{Form().tbrFile, Form().tbrCreate, Form().tbrEdit,
                                                      Form().tbrMRU, Form().pgCtrGeoCnc})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    // The hide handlers ran once and are gone.
    ToolWin().ShowPages({"tabTranslate"}, "twTrans", 250, 214);
    ToolWin().close();
    EXPECT_EQ(freed, 1);
}

TEST_F(ToolWinFrame, EscSetsTheUserBreakAndControlsAreFoundByName)
{
    Start();
    UserBreak = false;
    ToolWin().ShowPages({"tabOpenR"}, "twOpDxf", 424, 420);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ToolWin()));
    QTest::keyClick(&ToolWin(), Qt::Key_Escape);
    EXPECT_TRUE(UserBreak);
    EXPECT_TRUE(ToolWin().isVisible());
    UserBreak = false;

    // A page's controls, as the commands put them on the sheets.
    auto* edit = new QLineEdit(ToolWin().Sheet("tabOpenR"));
    edit->setObjectName("txtScaleX");
    ToolWin().SetControlText("txtScaleX", "2.5");
    EXPECT_EQ(ToolWin().ControlText("txtScaleX"), "2.5");
    EXPECT_EQ(ToolWin().ControlText("txtNothing"), "");
    EXPECT_FALSE(ToolWin().ControlChecked("txtNothing"));
    EXPECT_EQ(ToolWin().ControlItemIndex("txtNothing"), -1);
    ToolWin().hide();
}

TEST_F(ToolWinFrame, TheMainWindowIsCaptionedAndTheMachiningTabIsOff)
{
    Start();
    EXPECT_EQ(Main().windowTitle(), "Rastrel");
    EXPECT_EQ(AppTitle, "Rastrel");
    EXPECT_TRUE(Form().pgCtrGeoCnc->tabText(1).endsWith(" (Off)"));
    EXPECT_FALSE(Form().SheetCnc->isEnabled());
    EXPECT_FALSE(Form().sbtCnc->isVisible());
    for (QAction* a : Main().findChildren<QAction*>())
        if (a->objectName().startsWith("mnuCnc") || a->objectName() == "mnuSimulate") {
            EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
        }
    EXPECT_EQ(Form().pgCtrGeoCnc->currentIndex(), 0);
}

TEST_F(ToolWinFrame, TheEndOfATransformHidesTheWindowAndOrthoComesBack)
{
    Start();
    Main().ToolWinTasks.push_back(StateClass<TDoneAtOnce>());
    ToolWin().ShowPages({"tabTranslate"}, "twTrans", 250, 214);
    ASSERT_TRUE(ToolWin().isVisible());
    // The rectangle command's saved orthogonal mode.
    Main().OrtoSaved = true;
    Main().SavedUseOrto = true;
    CADProgram->UseOrto = false;
    LayerOpPending = true;
    CADProgram->StartOperation(StateClass<TDoneAtOnce>(), nullptr);
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_TRUE(CADProgram->UseOrto);
    EXPECT_FALSE(Main().OrtoSaved);
    EXPECT_FALSE(CADProgram->UsaSnap);
    // A recorded command's end: the next prompt change (the idle state's, as the program
    // returns to it) tells the layer operation once.
    const std::string prompt = "Pick a point";
    if (LayerOpDone)
        Main().QV_PrgDescriptionChanged(&prompt);
    EXPECT_FALSE(LayerOpDone);
    EXPECT_EQ(Form().StatusBarMess->text().toStdString(), GetLangString(486));
    Main().QV_PrgDescriptionChanged(&prompt);
    EXPECT_EQ(Form().StatusBarMess->text().toStdString(), prompt);
}
