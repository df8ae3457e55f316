// A long job on the progress bar: Esc stops it and the drawing is as it was before; the picture
// of the main window with a drawing goes into the build folder.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "ShellMessages.h"

#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>

#include <cmath>

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
