#pragma once
// The program's windows as the program makes them, over a data folder of the test's own. Every
// message box is answered by the test (Answers, else OK / No / Cancel) and recorded in Boxes.
#include "QVVariabili.h"
#include "ShellMessages.h"
#include "ShellProgram.h"
#include "TempFolder.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// The main window's controls that the tests use, found by their names as the program's own code
// finds them: a command's action, the status bar's buttons, the bars and panels.
struct TMainControls {
    explicit TMainControls(QWidget& Main) : Main(Main) {}
    template <class T> T* Find(const char* Name) const
    {
        if (T* found = Main.findChild<T*>(Name))
            return found;
        throw std::runtime_error(std::string("the main window has no control ") + Name);
    }
    QWidget& Main;
    QAction* sbtNew = Find<QAction>("sbtNew");
    QAction* sbtOpen = Find<QAction>("sbtOpen");
    QAction* mnuMerge = Find<QAction>("mnuMerge");
    QAction* sbtVect = Find<QAction>("sbtVect");
    QAction* sbtSave = Find<QAction>("sbtSave");
    QAction* mnuSaveAs = Find<QAction>("mnuSaveAs");
    QAction* sbtCnc = Find<QAction>("sbtCnc");
    QAction* sbtZoomIn = Find<QAction>("sbtZoomIn");
    QAction* sbtZoomWin = Find<QAction>("sbtZoomWin");
    QAction* sbtPan = Find<QAction>("sbtPan");
    QAction* sbtTopView = Find<QAction>("sbtTopView");
    QAction* sbtFrontView = Find<QAction>("sbtFrontView");
    QAction* sbtIsoView = Find<QAction>("sbtIsoView");
    QAction* sbtUndo = Find<QAction>("sbtUndo");
    QToolButton* sbtAxisOnOff = Find<QToolButton>("sbtAxisOnOff");
    QToolButton* sbtGridOnOff = Find<QToolButton>("sbtGridOnOff");
    QToolButton* sbtCancel = Find<QToolButton>("sbtCancel");
    QToolButton* sbtLayer = Find<QToolButton>("sbtLayer");
    QToolBar* tbrFile = Find<QToolBar>("tbrFile");
    QToolBar* tbrCreate = Find<QToolBar>("tbrCreate");
    QToolBar* tbrView = Find<QToolBar>("tbrView");
    QToolBar* tbrEdit = Find<QToolBar>("tbrEdit");
    QToolBar* tbrMRU = Find<QToolBar>("tbrMRU");
    QWidget* tbrStatusBar = Find<QWidget>("tbrStatusBar");
    QWidget* pnlStatusItems = Find<QWidget>("pnlStatusItems");
    QWidget* pnlGraphicView = Find<QWidget>("pnlGraphicView");
    QTabWidget* pgCtrGeoCnc = Find<QTabWidget>("pgCtrGeoCnc");
    QWidget* SheetCnc = Find<QWidget>("SheetCnc");
    QProgressBar* ProgressBar1 = Find<QProgressBar>("ProgressBar1");
    QLabel* lblCoordinate = Find<QLabel>("lblCoordinate");
    QLabel* StatusBarMess = Find<QLabel>("StatusBarMess");
};

class TShellFixture : public ::testing::Test {
public:
    TTempFolder Data;
    std::vector<TMessageRequest> Boxes;
    std::deque<TMsgResult> Answers;
    std::unique_ptr<TShellProgram> Program;

    TfrmMain& Main() { return Program->Main(); }
    TMainControls& Form() { return *Controls; }
    TfrmToolWin& ToolWin() { return Program->ToolWin(); }

    void SetUp() override
    {
        ::setenv("RASTREL_DATA_DIR", Data.Path().c_str(), 1);
        // Each test starts as the program does, whatever ran before it: the classes registered
        // (a test may write a drawing before it makes the windows) and no file opened yet.
        RegisterProgramUnits();
        CurrentFile = {};
        SetMessageAnswerer([this](const TMessageRequest& R) {
            Boxes.push_back(R);
            if (!Answers.empty()) {
                const TMsgResult a = Answers.front();
                Answers.pop_front();
                return a;
            }
            if (R.Buttons == TMsgButtons::Ok)
                return TMsgResult::Ok;
            return R.Buttons == TMsgButtons::YesNo ? TMsgResult::No : TMsgResult::Cancel;
        });
    }

    // Makes the windows, shows the main window and waits until its first show has run.
    void Start(const std::string& FileToOpen = {})
    {
        Make(FileToOpen);
        Main().resize(1000, 700);
        Main().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&Main()));
        // Shortcuts reach the active window only.
        Main().activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&Main()));
        QApplication::processEvents();
        QApplication::processEvents();
    }

    // Makes the program without showing its main window.
    void Make(const std::string& FileToOpen = {})
    {
        Controls.reset();
        Program = std::make_unique<TShellProgram>(FileToOpen);
        Controls = std::make_unique<TMainControls>(Main());
    }

    // Closes with Yes, as the user ends the program.
    void Quit()
    {
        if (!Program)
            return;
        Answers.push_front(TMsgResult::Yes);
        Main().close();
        End();
    }

    // The program ends: its windows go.
    void End()
    {
        Controls.reset();
        Program.reset();
    }

    void TearDown() override
    {
        Quit();
        SetMessageAnswerer(nullptr);
        ::unsetenv("RASTREL_DATA_DIR");
    }

private:
    std::unique_ptr<TMainControls> Controls;
};
