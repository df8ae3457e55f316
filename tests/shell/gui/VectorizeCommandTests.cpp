// The vectorize command of the main window with the tracing page on the tool window's sheet:
// refused without a picture that can be traced, and with one the page traces it with the real
// tracer and Done puts the result into the drawing and hides the window; the picture comes back
// by every way out of the page, and the page's texts end with their job.
#include "ShellFixture.h"

#include "Bitmap32.h"
#include "FileCommands.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVLanguage.h"
#include "QVVariabili.h"
#include "TracePixels.h"
#include "TracingPage.h"

#include <QAbstractButton>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include <functional>
#include <utility>

namespace {
// The picture's pixels as the drawing shows them.
bool SamePixels(const TBitmap32& A, const TBitmap32& B)
{
    if (A.Width() != B.Width() || A.Height() != B.Height())
        return false;
    for (int y = 0; y < A.Height(); ++y)
        for (int x = 0; x < A.Width(); ++x)
            if (A.Pixel(x, y) != B.Pixel(x, y))
                return false;
    return true;
}

// The sample scan opened from the file toolbar and placed with Done, as a new user starts.
class TTracedScan : public TShellFixture {
public:
    void SetUp() override
    {
        TShellFixture::SetUp();
        SetFileDialogAnswerer([](const TFileDialogRequest&) {
            return std::string(RASTREL_BUILD_DIR "/bin/samples/lineart.bmp");
        });
    }
    void TearDown() override
    {
        TShellFixture::TearDown();
        SetFileDialogAnswerer(nullptr);
    }
    void Click(QWidget* W)
    {
        ASSERT_NE(W, nullptr);
        QTest::mouseClick(W, Qt::LeftButton, {}, QPoint(6, W->height() / 2));
        QApplication::processEvents();
    }
    void ClickButton(QAction* Action) { Click(Form().tbrFile->widgetForAction(Action)); }
    QAbstractButton* PageButton(const char* Name) { return ToolWin().findChild<QAbstractButton*>(Name); }
    void OpenScan()
    {
        ClickButton(Form().sbtOpen);
        ASSERT_EQ(CurrentFile.Kind, fkBmp);
        Click(ToolWin().findChild<QPushButton*>("sbtOpenDone"));
        ASSERT_FALSE(ToolWin().isVisible());
    }
    const TBitmap32& Shown() const { return std::as_const(*CurrentBitmap).Bitmap(); }
    const TBitmap32& Source() { return *Program->FileCommands().SourceBitmap(); }
};
} // namespace

using VectorizeCommand = TTracedScan;

// The command checked less than the file commands' check: a picture whose image no longer
// matched the opened one was traced all the same.
TEST_F(VectorizeCommand, RefusedWithoutATraceablePictureThenTracesTheOpenedOne)
{
    Start();
    ClickButton(Form().sbtVect);
    ASSERT_EQ(Boxes.size(), 1u);
    EXPECT_EQ(Boxes[0].Text, GetLangString(407));
    EXPECT_FALSE(ToolWin().isVisible());

    OpenScan();
    struct TCase {
        const char* Name;
        std::function<void()> Spoil;
    };
    const TCase stale[] = {
        {"the image's pixels no longer the picture's size", [] { CurrentBitmap->Bitmap().SetSize(7, 5); }},
        {"the image deleted", [] { ::Drawing->DeleteObject(CurrentBitmap->ID); }},
    };
    for (const TCase& c : stale) {
        SCOPED_TRACE(c.Name);
        c.Spoil();
        Boxes.clear();
        ClickButton(Form().sbtVect);
        ASSERT_EQ(Boxes.size(), 1u);
        EXPECT_EQ(Boxes[0].Text, GetLangString(407));
        EXPECT_FALSE(ToolWin().isVisible());
        Answers.push_back(TMsgResult::Yes); // the clear question of the next open
        Boxes.clear();
        OpenScan();
    }

    ClickButton(Form().sbtVect);
    ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
    ASSERT_TRUE(ToolWin().isVisible());
    EXPECT_EQ(ToolWin().Pages()->currentWidget()->objectName(), "sheetVectorize");
    TTracingPage* page = ToolWin().TracingPage;
    ASSERT_NE(page->FrontEnd(), nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&ToolWin()));
    if (const char* keep = std::getenv("RASTREL_SCREENSHOT_DIR"))
        ToolWin().grab().save(QString(keep) + "/tool-window-vectorize.png");
    Click(PageButton("sbtPreviewVect"));
    ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
    ASSERT_NE(page->FrontEnd()->Traced(), nullptr);
    const int before = ::Drawing->ObjectsCount();
    Click(PageButton("sbtVectDone"));
    EXPECT_FALSE(ToolWin().isVisible());
    EXPECT_GT(::Drawing->ObjectsCount(), before);
    EXPECT_EQ(page->FrontEnd(), nullptr);
}

using TracingPageLeft = TTracedScan;

// Closing the page after a preview left the picture in the faded preview colours, blank for
// good: the untouched picture comes back by every way out of the page.
TEST_F(TracingPageLeft, ThePictureComesBackByEveryWayOut)
{
    Start();
    OpenScan();
    const std::unique_ptr<TBitmap32> opened = Source().Clone();
    struct TWay {
        const char* Name;
        std::function<void()> Leave;
    };
    const TWay ways[] = {
        {"Close", [&] { Click(PageButton("sbtVectCancel")); }},
        {"Done", [&] { Click(PageButton("sbtVectDone")); }},
        {"the close box", [&] { ToolWin().close(); }},
    };
    for (const TWay& way : ways) {
        SCOPED_TRACE(way.Name);
        ClickButton(Form().sbtVect);
        ASSERT_TRUE(ToolWin().isVisible());
        ASSERT_NE(ToolWin().TracingPage->FrontEnd(), nullptr);
        EXPECT_TRUE(PageButton("sbtPreviewVect")->isVisible());
        EXPECT_TRUE(PageButton("sbtPreviewVect")->isEnabled());
        Click(PageButton("sbtPreviewVect"));
        ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
        EXPECT_NE(ToolWin().TracingPage->FrontEnd()->Traced(), nullptr);
        EXPECT_FALSE(SamePixels(Shown(), Source()));
        way.Leave();
        QApplication::processEvents();
        ASSERT_FALSE(ToolWin().isVisible());
        ASSERT_NE(CurrentBitmap, nullptr);
        EXPECT_TRUE(SamePixels(Shown(), *opened));
    }
    // And "View original" on the page opened again shows it too.
    ClickButton(Form().sbtVect);
    Click(PageButton("chkViewOriginal"));
    EXPECT_TRUE(PageButton("chkViewOriginal")->isChecked());
    EXPECT_TRUE(SamePixels(Shown(), *opened));
    EXPECT_TRUE(SamePixels(Source(), *opened));
}

// The page opened on the picture with "view original" off while the picture itself showed;
// "Tracing the picture..." stayed once the tracing was over and the report kept the lines of the
// picture before.
TEST_F(TracingPageLeft, ThePageShowsTheThresholdAndItsTextsEndWithTheirJob)
{
    Start();
    OpenScan();
    const auto status = [&] { return Form().StatusBarMess->text().toStdString(); };
    const auto report = [&] { return ToolWin().findChild<QPlainTextEdit*>("memVecReport")->toPlainText(); };
    const auto onlyInkAndPaper = [&] {
        for (int y = 0; y < Shown().Height(); ++y)
            for (int x = 0; x < Shown().Width(); ++x)
                if (Shown().Pixel(x, y) != InkPixel && Shown().Pixel(x, y) != PaperPixel)
                    return false;
        return true;
    };
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ClickButton(Form().sbtVect);
        EXPECT_FALSE(PageButton("chkViewOriginal")->isChecked());
        EXPECT_TRUE(onlyInkAndPaper());
        EXPECT_TRUE(report().isEmpty()) << report().toStdString();
        EXPECT_EQ(status(), GetLangString(414));
        Click(PageButton("sbtPreviewVect"));
        ASSERT_TRUE(Boxes.empty()) << Boxes.back().Text;
        EXPECT_FALSE(report().isEmpty());
        EXPECT_EQ(status(), GetLangString(414));
        Click(PageButton("sbtVectCancel"));
        EXPECT_EQ(status(), "");
    }
}
