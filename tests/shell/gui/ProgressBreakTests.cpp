// A long job on the progress bar: Esc stops it and the drawing is as it was before, a close waits
// for its end; the picture of the main window with a drawing goes into the build folder.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "ShellMessages.h"

#include "QVContainer.h"
#include "TracingPage.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <cmath>
#include <functional>

namespace {
std::string WriteLines(const std::string& Name, int Count)
{
    TQV_01Cmp2D d;
    for (int i = 0; i < Count; ++i)
        d.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{double(i), 0, 1}, TPoint2D{double(i), 50, 1}));
    d.SaveToFile(Name);
    return Name;
}
std::vector<int32_t> ObjectIds()
{
    std::vector<int32_t> ids;
    TGraphicObjIterator it = ::Drawing->Objects.GetIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        ids.push_back(o->ID);
    return ids;
}
} // namespace

using LongJob = TShellFixture;

TEST_F(LongJob, EscStopsAMergeAndTheDrawingIsAsBefore)
{
    Start();
    const std::string file = WriteLines(Data.Path() + "/many.pnc", 400);
    ::Drawing->AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{5, 0, 1}));
    ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{9, 9, 1}));
    const std::vector<int32_t> ids = ObjectIds();
    const std::string fileBefore = CurrentFile.FileName;
    // Every step of the bar looks at the events.
    uint32_t clock = 0;
    Main().ProgressBar().TickCount = [&] { return clock += 2000; };
    // The open dialog names the file; the answerer goes with the test, whatever its end.
    struct TAnswerer {
        explicit TAnswerer(std::string Name)
        {
            SetFileDialogAnswerer([Name](const TFileDialogRequest&) { return Name; });
        }
        ~TAnswerer() { SetFileDialogAnswerer(nullptr); }
    } answerer(file);
    // The user presses Esc as the merge starts.
    QApplication::postEvent(&Main(), new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    Form().mnuMerge->trigger();
    // Told once, and the drawing holds what it held.
    ASSERT_EQ(Boxes.size(), 1U);
    EXPECT_EQ(Boxes[0].Text.substr(0, GetLangString(720).size()), GetLangString(720));
    ASSERT_EQ(ObjectIds(), ids);
    EXPECT_NE(dynamic_cast<TCerchio2D*>(::Drawing->GetObject(ids[0])), nullptr);
    EXPECT_NE(dynamic_cast<TLine2D*>(::Drawing->GetObject(ids[1])), nullptr);
    EXPECT_EQ(CurrentFile.FileName, fileBefore);
    // The bar is gone, the read-out back, the input on.
    EXPECT_FALSE(Form().ProgressBar1->isVisible());
    EXPECT_TRUE(Form().lblCoordinate->isVisible());
    EXPECT_TRUE(Form().tbrFile->isEnabled());
    EXPECT_TRUE(Form().pnlGraphicView->isEnabled());

    // Without Esc the same file is merged whole.
    Form().mnuMerge->trigger();
    EXPECT_EQ(::Drawing->ObjectsCount(), 402);
    EXPECT_EQ(Boxes.size(), 1U);
}

TEST_F(LongJob, ThePictureOfTheMainWindowWithADrawing)
{
    Start();
    for (int i = 0; i < 12; ++i) {
        const double a = i * M_PI / 6;
        ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1},
                                                           TPoint2D{80 * std::cos(a), 80 * std::sin(a), 1}));
    }
    ::Drawing->AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{60, 0, 1}));
    ::Drawing->AddObject(-1, std::make_unique<TFrame2D>(-1, TPoint2D{-90, -90, 1}, TPoint2D{90, 90, 1}));
    DrawingView->RebuildAll(false);
    QTest::keyClick(&Main(), Qt::Key_F2);
    Main().AddRecentFile("/home/user/drawing.pnc");
    QApplication::processEvents();
    const QImage shot = Main().grab().toImage();
    ASSERT_FALSE(shot.isNull());
    EXPECT_TRUE(shot.save(RASTREL_BUILD_DIR "/shell-main-window.png"));
    // The view shows the drawing: the circle's green lies where the view maps its right point.
    const QImage frame = Main().Viewer()->grabFramebuffer();
    const TPoint p = DrawingView->WorldToScreen({60, 0, 1});
    int green = 0;
    for (int y = p.Y - 2; y <= p.Y + 2; ++y)
        for (int x = p.X - 2; x <= p.X + 2; ++x)
            if (frame.valid(x, y) && qGreen(frame.pixel(x, y)) > 150 && qRed(frame.pixel(x, y)) < 100)
                ++green;
    EXPECT_GT(green, 0);
}

// Closing the main window while a long open, merge, save or trace let events through freed the
// drawing under the job: the close waits for the job's end and asks then.
TEST_F(LongJob, AClosePendingDuringAJobComesOnceTheJobHasEnded)
{
    const std::string many = WriteLines(Data.Path() + "/many.pnc", 400);
    std::string dialogName;
    SetFileDialogAnswerer([&](const TFileDialogRequest&) { return dialogName; });
    const auto click = [](QWidget* W) {
        ASSERT_NE(W, nullptr);
        QTest::mouseClick(W, Qt::LeftButton, {}, QPoint(6, W->height() / 2));
    };
    struct TCase {
        const char* Name;
        std::function<void()> Prepare;
        std::function<void()> Job;
        std::function<void()> CheckDone; // what the job made, complete, before the close
    };
    const TCase cases[] = {
        {"open", [&] { dialogName = many; }, [&] { Form().sbtOpen->trigger(); },
         [&] { EXPECT_EQ(::Drawing->ObjectsCount(), 400); }},
        {"merge", [&] { dialogName = many; }, [&] { Form().mnuMerge->trigger(); },
         [&] { EXPECT_EQ(::Drawing->ObjectsCount(), 400); }},
        {"save",
         [&] {
             for (int i = 0; i < 400; ++i)
                 ::Drawing->AddObject(
                     -1, std::make_unique<TLine2D>(-1, TPoint2D{double(i), 0, 1}, TPoint2D{double(i), 5, 1}));
             dialogName = Data.Path() + "/saved.pnc";
         },
         [&] { Form().mnuSaveAs->trigger(); },
         [&] {
             TQV_01Cmp2D saved;
             saved.LoadFromFile(Data.Path() + "/saved.pnc", false);
             EXPECT_EQ(saved.ObjectsCount(), 400);
         }},
        {"trace",
         [&] {
             dialogName = RASTREL_BUILD_DIR "/bin/samples/lineart.bmp";
             Form().sbtOpen->trigger();
             click(ToolWin().findChild<QPushButton*>("sbtOpenDone"));
             Form().sbtVect->trigger();
             ASSERT_TRUE(ToolWin().isVisible());
         },
         [&] { click(ToolWin().findChild<QPushButton*>("sbtPreviewVect")); },
         [&] {
             ASSERT_NE(ToolWin().TracingPage->FrontEnd(), nullptr);
             EXPECT_NE(ToolWin().TracingPage->FrontEnd()->Traced(), nullptr);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        CurrentFile = {};
        Boxes.clear();
        Start();
        c.Prepare();
        ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
        // Every step of the bar looks at the events; the user closes the window as the job starts
        // and would answer Yes.
        uint32_t clock = 0;
        Main().ProgressBar().TickCount = [&] { return clock += 2000; };
        Answers = {TMsgResult::Yes};
        QTimer::singleShot(0, &Main(), [&] { Main().close(); });
        c.Job();
        EXPECT_TRUE(Boxes.empty()) << Boxes.back().Text;
        ASSERT_TRUE(Main().isVisible());
        c.CheckDone();
        // Then the close comes, with its question.
        const std::string question = GetLangString(451);
        QTRY_VERIFY(!Boxes.empty());
        EXPECT_EQ(Boxes.back().Text, question);
        EXPECT_FALSE(Main().isVisible());
        End();
    }
    SetFileDialogAnswerer(nullptr);
}
