// The vectorize command of the main window with the tracing page on the tool window's sheet:
// refused without an opened picture, and with one the page traces it with the real tracer and
// Done puts the result into the drawing and hides the window.
#include "ShellFixture.h"

#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVLanguage.h"
#include "QVVariabili.h"
#include "TracingPage.h"

#include <QAbstractButton>
#include <QTabWidget>

using VectorizeCommand = TShellFixture;

TEST_F(VectorizeCommand, RefusedWithoutAPictureThenTracesTheOpenedOne)
{
    Start();
    const TPelcFile kept = CurrentFile;
    Form().sbtVect->trigger();
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, GetLangString(407));
    EXPECT_FALSE(ToolWin().isVisible());

    // A picture as the file commands open it: its untouched copy and its image in the drawing.
    TMemoryBitmap32 source(80, 50);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 80; ++x)
            source.SetPixel(x, y, x > 20 && x < 60 && y > 10 && y < 40 ? 0xFF303030 : 0xFFF0F0F0);
    TBitmap2D* image = ::Drawing->AddObject(
        -1, std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{80, 50, 1}, source));
    CurrentBitmap = image;
    CurrentFile.Kind = 3;
    Main().Hooks.SourceBitmap = [&source] { return &source; };
    Form().sbtVect->trigger();
    CurrentFile = kept;
    ASSERT_TRUE(ToolWin().isVisible());
    EXPECT_EQ(ToolWin().Pages()->currentWidget()->objectName(), "sheetVectorize");
    TTracingPage* page = ToolWin().TracingPage;
    ASSERT_NE(page->FrontEnd(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ToolWin()));
    if (const char* keep = std::getenv("RASTREL_SCREENSHOT_DIR"))
        ToolWin().grab().save(QString(keep) + "/tool-window-vectorize.png");

    QTest::mouseClick(page->findChild<QAbstractButton*>("sbtPreviewVect"), Qt::LeftButton);
    ASSERT_EQ(Boxes.size(), 1u) << Boxes.back().Text;
    ASSERT_NE(page->FrontEnd()->Traced(), nullptr);
    const int before = ::Drawing->ObjectsCount();
    QTest::mouseClick(page->findChild<QAbstractButton*>("sbtVectDone"), Qt::LeftButton);
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_GT(::Drawing->ObjectsCount(), before);
    EXPECT_EQ(page->FrontEnd(), nullptr);
    Main().Hooks.SourceBitmap = [] { return nullptr; };
}
