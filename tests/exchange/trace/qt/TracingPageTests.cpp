// The tracing page on a standalone parent, driven by real mouse events: its defaults, the
// threshold preview loop, view original, speck Remove and Cancel, the fitting edits, a trace
// with the real tracer through the process runner and Done, and the failures of the process:
// a missing tracer, a failing one and a hung one stopped from its progress window.
#include "TracingPage.h"

#include "Bitmap32.h"
#include "BmpDecoder.h"
#include "EnglishTexts.h"
#include "FakeServices.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "QVVariabili.h"
#include "TracePixels.h"
#include "TracingSupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

// Grey ink, a square and a lone speck: dark enough for the default thresholds.
uint32_t PageColour(int x, int y)
{
    const bool ink = (x > 10 && x < 30 && y > 8 && y < 30) || (x == 45 && y == 20);
    return ink ? 0xFF646464 : 0xFFF8F8F8;
}

class TracingPageTest : public ::testing::Test, public TTracedPicture {
protected:
    TracingPageTest() : TTracedPicture(60, 40, PageColour)
    {
        Page = new TTracingPage(&Parent);
        Page->OnClose = [this] { ++Closed; };
        Parent.resize(432, 452);
        Parent.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&Parent));
    }
    ~TracingPageTest() override { Page->Finish(); }

    void Start(const std::string& Program = DORU_PATH)
    {
        Page->Start(std::make_unique<TBmp2Vector>(Drawing, *Image, Source, Folder, Program, nullptr), 2);
    }

    template <class T> T* Get(const char* Name)
    {
        T* w = Page->findChild<T*>(Name);
        EXPECT_NE(w, nullptr) << Name;
        return w;
    }

    // Near the left edge: a check box answers only on its box and its text.
    void Click(const char* Name)
    {
        QAbstractButton* b = Get<QAbstractButton>(Name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    }

    QPoint Handle(QSlider* Bar)
    {
        QStyleOptionSlider option;
        option.initFrom(Bar);
        option.orientation = Bar->orientation();
        option.minimum = Bar->minimum();
        option.maximum = Bar->maximum();
        option.sliderPosition = Bar->sliderPosition();
        option.sliderValue = Bar->value();
        option.tickPosition = Bar->tickPosition();
        return Bar->style()
            ->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, Bar)
            .center();
    }

    // Clicks Stop of the progress window as soon as it shows (looking for five seconds).
    static void StopWhenShown(int Tries = 50)
    {
        QTimer::singleShot(100, [Tries] {
            for (QWidget* w : QApplication::topLevelWidgets())
                if (auto* d = qobject_cast<QProgressDialog*>(w); d && d->isVisible())
                    if (auto* stop = d->findChild<QPushButton*>()) {
                        QTest::mouseClick(stop, Qt::LeftButton);
                        return;
                    }
            if (Tries > 1)
                StopWhenShown(Tries - 1);
        });
    }

    TEnglishTexts Texts;
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    QWidget Parent;
    TTracingPage* Page = nullptr;
    int Closed = 0;
};

TEST_F(TracingPageTest, OpensWithDefaultsAndDriveThePreview)
{
    Get<QCheckBox>("chkViewOriginal")->setChecked(true);
    Start();
    EXPECT_EQ(Get<QSlider>("tbrRosso")->value(), 128);
    EXPECT_EQ(Get<QSlider>("tbrVerde")->value(), 127);
    EXPECT_EQ(Get<QSlider>("tbrBlu")->value(), 126);
    EXPECT_FALSE(Get<QCheckBox>("chkViewOriginal")->isChecked());
    EXPECT_FALSE(Get<QPushButton>("sbtVectDone")->isEnabled());
    EXPECT_EQ(Get<QPushButton>("sbtVecOnLayer")->text().toStdString(), "Vector on layer: 2");
    // The fitting edits stay shut until fitting is ticked.
    EXPECT_FALSE(Get<QLineEdit>("txtVecFilterTol")->isEnabled());
    Click("chkVecFilter");
    EXPECT_TRUE(Get<QLineEdit>("txtVecFilterTol")->isEnabled());
    EXPECT_TRUE(Get<QLineEdit>("txtVecFilterMax")->isEnabled());
    Click("chkVecFilter");

    // A typed threshold previews at once.
    QSpinBox* red = Get<QSpinBox>("sedRosso");
    red->setValue(129);
    EXPECT_EQ(Get<QSlider>("tbrRosso")->value(), 129);
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), InkPixel);
    EXPECT_EQ(Image->Bitmap().Pixel(1, 1), PaperPixel);

    // View original shows the picture; pressing a bar turns it off again.
    Click("chkViewOriginal");
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), 0xFF646464u);

    // Dragging: the number follows every step, the picture only the release.
    QSlider* bar = Get<QSlider>("tbrRosso");
    const QPoint start = Handle(bar);
    QTest::mousePress(bar, Qt::LeftButton, {}, start);
    EXPECT_FALSE(Get<QCheckBox>("chkViewOriginal")->isChecked());
    for (int step = 1; step <= 10; ++step)
        QTest::mouseMove(bar, start + QPoint(step * bar->width() / 14, 0));
    EXPECT_GE(bar->value(), 248);
    EXPECT_EQ(red->value(), bar->value());
    EXPECT_EQ(Image->Bitmap().Pixel(1, 1), 0xFFF8F8F8u); // no preview yet
    QTest::mouseRelease(bar, Qt::LeftButton, {}, start + QPoint(10 * bar->width() / 14, 0));
    EXPECT_EQ(Image->Bitmap().Pixel(1, 1), InkPixel); // the paper is not above a red threshold this high

    // Remove takes the lone speck; Cancel brings the plain threshold back.
    red->setValue(128);
    EXPECT_EQ(Image->Bitmap().Pixel(45, 20), InkPixel);
    Click("sbtVec2a");
    EXPECT_EQ(Image->Bitmap().Pixel(45, 20), PaperPixel);
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), InkPixel);
    Click("sbtVec2b");
    EXPECT_EQ(Image->Bitmap().Pixel(45, 20), InkPixel);
}

// The error threshold showed three decimals, so its smallest value 0.0025 could be neither
// typed nor shown, and reached the tracer as 0.003.
TEST_F(TracingPageTest, TheSmallestErrorThresholdIsTypedShownAndTraced)
{
    Start();
    auto* edit = Get<QDoubleSpinBox>("sedError_threshold");
    EXPECT_EQ(edit->minimum(), 0.0025);
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(edit, "0.0025");
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(edit->value(), 0.0025);
    EXPECT_EQ(edit->text().toStdString(), "0.0025");
    EXPECT_EQ(TracerArguments(Page->Settings().Tracer, "/t/")[1], "0.0025");
    // The black picture belongs to a grey mode the page does not offer: there, not shown.
    auto* black = Get<QLabel>("imgNero");
    EXPECT_FALSE(black->isVisible());
    EXPECT_TRUE(Get<QLabel>("imgRed")->isVisible());
}

TEST_F(TracingPageTest, PreviewWithTheTracerThenDone)
{
    Start();
    Get<QSpinBox>("sedRosso")->setValue(128);
    Click("sbtPreviewVect");
    ASSERT_TRUE(Window.Boxes.empty()) << Window.Boxes[0].Text;
    EXPECT_TRUE(Get<QPushButton>("sbtVectDone")->isEnabled());
    ASSERT_NE(Page->FrontEnd()->Traced(), nullptr);
    EXPECT_EQ(Page->FrontEnd()->Traced()->Objects.Count(), 2); // the square and the speck
    const QString report = Get<QPlainTextEdit>("memVecReport")->toPlainText();
    EXPECT_TRUE(report.contains("Tracing started.")) << report.toStdString();
    const int before = Drawing.ObjectsCount();
    Click("sbtVectDone");
    EXPECT_EQ(Closed, 1);
    EXPECT_GT(Drawing.ObjectsCount(), before);

    if (const char* keep = std::getenv("RASTREL_SCREENSHOT_DIR"))
        Page->grab().save(QString(keep) + "/tracing-page.png");
}

TEST_F(TracingPageTest, TheVectorizeCommandAndHiding)
{
    // Whether the picture can be traced at all is the file commands' check, before this.
    StartVectorize(*Page, Drawing, *Image, Source);
    ASSERT_NE(Page->FrontEnd(), nullptr);
    EXPECT_EQ(Window.StatusMessages.back(), GetLangString(414));
    // Hiding the window that holds the page drops the front end.
    Parent.hide();
    EXPECT_EQ(Page->FrontEnd(), nullptr);
    RemoveTempPath();
}

TEST_F(TracingPageTest, FailuresOfTheProcess)
{
    struct TCase {
        const char* Name;
        std::string Program;
        bool Stop;
        std::string Says; // in a message box; empty: none, the report says it
    };
    const TCase cases[] = {
        {"missing", Temp.Path() + "/no-tracer", false, "DORU DLL"},
        {"exit code", Script("echo 'doru: disk full' >&2; exit 5"), false,
         "could not write its result.\n\ndoru: disk full"},
        {"hung, stopped", Script("exec sleep 60"), true, ""},
    };
    for (const TCase& c : cases) {
        Start(c.Program);
        Window.Boxes.clear();
        if (c.Stop)
            StopWhenShown();
        Click("sbtPreviewVect");
        EXPECT_FALSE(Get<QPushButton>("sbtVectDone")->isEnabled()) << c.Name;
        EXPECT_TRUE(Page->isEnabled()) << c.Name;
        EXPECT_EQ(Page->FrontEnd()->Traced(), nullptr) << c.Name;
        if (c.Says.empty()) {
            EXPECT_TRUE(Window.Boxes.empty()) << c.Name;
            EXPECT_TRUE(Get<QPlainTextEdit>("memVecReport")->toPlainText().contains("Tracing cancelled."))
                << c.Name;
        } else {
            ASSERT_EQ(Window.Boxes.size(), 1u) << c.Name;
            EXPECT_NE(Window.Boxes[0].Text.find(c.Says), std::string::npos)
                << c.Name << ": " << Window.Boxes[0].Text;
        }
        Page->Finish();
    }
}

// The sample picture the build draws, as the file commands open it: the untouched picture and
// its image in the drawing, one drawing unit a pixel.
TMemoryBitmap32 ReadSample()
{
    std::ifstream in(SAMPLE_PICTURE, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    TBmpDecoder decoder(
        [&](uint64_t Offset, void* Dest, size_t Size) { std::memcpy(Dest, bytes.data() + Offset, Size); },
        bytes.size());
    TMemoryBitmap32 b(decoder.Width(), decoder.Height());
    decoder.ReadRows([&](int Row, const uint8_t* Stored) { decoder.DecodeRow(Stored, b.ScanLine(Row)); });
    return b;
}

TEST(TracingSample, OpenTraceFitAcceptSaveReopen)
{
    TEnglishTexts texts;
    TFakeMainWindow window;
    TInstalledServices installed{&window};
    TTempFolder folder;
    const TMemoryBitmap32 source = ReadSample();
    ASSERT_GT(source.Width(), 100);
    TQV_01Cmp2D drawing;
    TBitmap2D* image = drawing.AddObject(
        -1, std::make_unique<TBitmap2D>(
                -1, TPoint2D{0, 0, 1}, TPoint2D{double(source.Width()), double(source.Height()), 1}, source));
    QWidget parent;
    auto* page = new TTracingPage(&parent);
    parent.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&parent));
    StartVectorize(*page, drawing, *image, source);
    auto click = [&](const char* Name) {
        QAbstractButton* b = page->findChild<QAbstractButton*>(Name);
        QTest::mouseClick(b, Qt::LeftButton, {}, QPoint(6, b->height() / 2));
    };

    click("sbtVec2a"); // the specks of dust go
    click("sbtPreviewVect");
    ASSERT_TRUE(window.Boxes.empty()) << window.Boxes[0].Text;
    ASSERT_NE(page->FrontEnd()->Traced(), nullptr);
    const int outlines = page->FrontEnd()->Traced()->Objects.Count();
    EXPECT_GE(outlines, 15);
    click("chkCenterline");
    click("sbtPreviewVect");
    ASSERT_NE(page->FrontEnd()->Traced(), nullptr);
    EXPECT_GT(page->FrontEnd()->Traced()->Objects.Count(), 0);
    click("chkCenterline");
    click("chkVecFilter");
    click("sbtPreviewVect");
    EXPECT_TRUE(page->findChild<QPlainTextEdit*>("memVecReport")->toPlainText().contains("arcs and"));
    click("sbtVectDone");
    ASSERT_TRUE(window.Boxes.empty()) << window.Boxes[0].Text;
    EXPECT_GT(drawing.ObjectsCount(), outlines);

    const std::vector<std::string> names =
        ExpectSavedWithin(drawing, folder.Path() + "/sample.pnc",
                          {{0, 0, 1}, {double(source.Width()), double(source.Height()), 1}}, 1);
    EXPECT_GT(std::count(names.begin(), names.end(), "TArco2D"), 4);
    page->Finish();
    RemoveTempPath();
}

} // namespace
