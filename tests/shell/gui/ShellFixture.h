#pragma once
// The program's windows as the program makes them, over a data folder of the test's own. Every
// message box is answered by the test (Answers, else OK / No / Cancel) and recorded in Boxes.
#include "QVVariabili.h"
#include "ShellMessages.h"
#include "ShellProgram.h"
#include "TempFolder.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

#include "ui_UnitMain.h"

#include <QApplication>
#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>

class TShellFixture : public ::testing::Test {
public:
    TTempFolder Data;
    std::vector<TMessageRequest> Boxes;
    std::deque<TMsgResult> Answers;
    TProgramWindows Windows;

    TfrmMain& Main() { return *Windows.Main; }
    Ui::TfrmMain& Form() { return Windows.Main->Form(); }
    TfrmToolWin& ToolWin() { return *Windows.ToolWin; }

    void SetUp() override
    {
        // Each test starts as a new run would, with no file opened, whatever ran before it.
        CurrentFile = {};
        ::setenv("RASTREL_DATA_DIR", Data.Path().c_str(), 1);
        // A test may write a drawing before the windows are made.
        RegisterProgramUnits();
        // The file an earlier test opened is no file of this one.
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
        Windows = CreateProgramWindows(FileToOpen);
        Windows.Main->resize(1000, 700);
        Windows.Main->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Windows.Main.get()));
        // Shortcuts reach the active window only.
        Windows.Main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Windows.Main.get()));
        QApplication::processEvents();
        QApplication::processEvents();
    }

    // Closes with Yes, as the user ends the program.
    void Quit()
    {
        if (!Windows.Main)
            return;
        Answers.push_front(TMsgResult::Yes);
        Windows.Main->close();
        Windows.Main.reset();
    }

    void TearDown() override
    {
        Quit();
        SetMessageAnswerer(nullptr);
        ::unsetenv("RASTREL_DATA_DIR");
    }
};
