// The tracing front end on a real drawing: the whole path with the real tracer (from a folder
// with a blank in its name), the placement over the picture and the ink it covers, the size
// filter, fitting and Accept, and fake tracers for each way a run can fail.
#include "Bmp2Vector.h"

#include "Bitmap32.h"
#include "EnglishTexts.h"
#include "FakeServices.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "TracePixels.h"
#include "TracerTestSupport.h"
#include "TracingSupport.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

// Ink: a filled rectangle, a ring and a lone speck, on a picture of 90 x 60 pixels.
bool PictureInk(int x, int y)
{
    const double cx = x + 0.5, cy = y + 0.5;
    const bool rect = cx > 10 && cx < 40 && cy > 10 && cy < 30;
    const double d = std::hypot(cx - 65, cy - 35);
    return rect || (d > 10 && d < 16) || (x == 30 && y == 50);
}

class Bmp2VectorTest : public ::testing::Test, public TTracedPicture {
protected:
    static constexpr int W = 90, H = 60;

    Bmp2VectorTest()
        : TTracedPicture(
              W, H, [](int x, int y) { return PictureInk(x, y) ? 0xFF202020u : 0xFFF0E0D0u; }, {10, 20, 1},
              0.5)
    {
        Drawing.CurrentLayer = 3;
    }

    std::unique_ptr<TBmp2Vector> Front(const std::string& Program = DORU_PATH)
    {
        auto f = std::make_unique<TBmp2Vector>(Drawing, *Image, Source, Folder, Program, nullptr);
        f->OnReport = [this](const std::string& Line) { Report.push_back(Line); };
        return f;
    }

    std::vector<TObject2D*> DrawingObjects()
    {
        std::vector<TObject2D*> out;
        auto it = Drawing.ObjectsIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            if (o != Image)
                out.push_back(dynamic_cast<TObject2D*>(o));
        return out;
    }

    TEnglishTexts Texts;
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    TTraceSettings Settings;
    TSpawnRunner Runner;
    std::vector<std::string> Report;
};

TEST_F(Bmp2VectorTest, TracesThePictureAndAcceptsItOverTheImage)
{
    auto front = Front();
    EXPECT_DOUBLE_EQ(front->PixelWidth, 0.5);
    EXPECT_DOUBLE_EQ(front->OriginY, 20);
    front->ApplyThreshold(Settings, false);
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), InkPixel);
    EXPECT_EQ(Image->Bitmap().Pixel(1, 1), PaperPixel);
    front->RemoveSpots(Settings);
    EXPECT_EQ(Image->Bitmap().Pixel(30, 50), PaperPixel); // the lone speck
    // The image's pixels became its own: the picture it shared is untouched.
    EXPECT_EQ(Source.Pixel(30, 50), 0xFF202020u);
    EXPECT_EQ(Source.Pixel(1, 1), 0xFFF0E0D0u);

    ASSERT_TRUE(front->Vectorize(Settings, Runner)) << (Window.Boxes.empty() ? "" : Window.Boxes[0].Text);
    EXPECT_TRUE(Window.Boxes.empty());
    // Each argument whole, though the folder has a blank.
    EXPECT_EQ(Runner.ArgumentsSeen.back(), Folder + "csq.bmp");
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), MarkerInkPixel); // the picture faded behind the result
    ASSERT_NE(front->Traced(), nullptr);
    EXPECT_EQ(front->Traced()->Objects.Count(), 3); // the rectangle and the ring's two sides
    ASSERT_EQ(Report.size(), 2u);
    EXPECT_NE(Report[1].find("3"), std::string::npos) << Report[1];
    EXPECT_EQ(front->Traced()->Layer, 3);

    ASSERT_TRUE(front->Accept(Settings));
    EXPECT_EQ(front->Traced(), nullptr);
    // Drawn back at the picture's scale, the polylines cover its ink.
    TTraceResult back;
    for (TObject2D* o : DrawingObjects()) {
        auto* p = dynamic_cast<TPolyline2D*>(o);
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p->Layer, 3);  // the current layer
        const TMatrix4 m = p->GetModelTransform();
        TTracedPolyline pl;
        for (int i = 0; i < p->Points().Count(); ++i) {
            const TPoint2D w = m.TransformPoint2D(p->Points().Get(i));
            EXPECT_GE(w.X, 10 - 1e-9);
            EXPECT_LE(w.X, 10 + W * 0.5 + 1e-9);
            pl.Points.push_back({(w.X - 10) / 0.5, (w.Y - 20) / 0.5});
        }
        pl.Closed = true;
        back.Polylines.push_back(pl);
    }
    ASSERT_EQ(back.Polylines.size(), 3u);
    const TMonoBitmap ink = MakeImage(W, H, [](double x, double y) {
        return PictureInk(int(x), H - 1 - int(y)) && !(int(x) == 30 && H - 1 - int(y) == 50);
    });
    // Rasterise works in image rows (Y down), the drawing's Y grows upwards.
    TMonoBitmap flipped(W, H);
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            flipped.Set(x, y, ink.Ink(x, H - 1 - y));
    EXPECT_LE(OutlineError(flipped, back), 0.01); // the bound of the tracer's own tests
}

TEST_F(Bmp2VectorTest, CentreLinesSizeFilterAndFitting)
{
    auto front = Front();
    front->ApplyThreshold(Settings, false);
    Settings.Tracer.CentreLine = true;
    ASSERT_TRUE(front->Vectorize(Settings, Runner));
    EXPECT_EQ(Runner.ArgumentsSeen[Runner.ArgumentsSeen.size() - 2], "-cline");
    ASSERT_NE(front->Traced(), nullptr);
    EXPECT_GT(front->Traced()->Objects.Count(), 0);

    // Every piece is below a removal size of 1000 pixels.
    Settings.Tracer.CentreLine = false;
    Settings.RemoveSmaller = "1000";
    ASSERT_TRUE(front->Vectorize(Settings, Runner));
    EXPECT_EQ(front->Traced()->Objects.Count(), 0);

    // Fitting: wrong values are said and the trace stays; right ones give lines and arcs only.
    Settings.RemoveSmaller = "0.1";
    Settings.FitArcs = true;
    ASSERT_TRUE(front->Vectorize(Settings, Runner));
    Settings.FitTolerance = "abc";
    Window.Boxes.clear();
    EXPECT_FALSE(front->Accept(Settings));
    EXPECT_EQ(Window.Boxes.size(), 1u);
    ASSERT_NE(front->Traced(), nullptr);
    EXPECT_TRUE(DrawingObjects().empty());
    Settings.FitTolerance = "0.1";
    ASSERT_TRUE(front->Accept(Settings));
    const auto objects = DrawingObjects();
    EXPECT_GE(objects.size(), 4u);
    for (TObject2D* o : objects)
        EXPECT_EQ(dynamic_cast<TPolyline2D*>(o), nullptr) << o->ClassName();

    // Saved and read back, the fitted objects lie over the picture's area.
    ExpectSavedWithin(Drawing, Temp.Path() + "/traced.pnc", {{10, 20, 1}, {10 + W * 0.5, 20 + H * 0.5, 1}},
                      1e-6);
}

TEST_F(Bmp2VectorTest, TheUntouchedPictureSurvivesATrace)
{
    // Traced while it shows the untouched picture, which then must not pass for marker colours.
    auto front = Front();
    front->ViewOriginal = true;
    front->ApplyThreshold(Settings, false);
    ASSERT_TRUE(front->Vectorize(Settings, Runner));
    front->RemoveSpots(Settings);
    EXPECT_EQ(Image->Bitmap().Pixel(15, 15), 0xFF202020u);
    EXPECT_EQ(Image->Bitmap().Pixel(1, 1), 0xFFF0E0D0u);
}

TEST_F(Bmp2VectorTest, AFailedRunSaysWhyAndShowsNothing)
{
    struct TCase {
        const char* Name;
        std::string Body; // empty: no such program
        std::string Says;
    };
    const TCase cases[] = {
        {"missing", "", "DORU DLL"},
        {"exit code", "exit 3", GetLangString("TracerExitInput")},
        {"no output", "exit 0", GetLangString("TracerNoResult")},
        {"garbage", "printf 'not a drawing' > \"$out\"", GetLangString("TracerUnreadable").substr(0, 10)},
        {"killed", "kill -9 $$", GetLangString("TracerFailed").substr(0, 10)},
    };
    for (const TCase& c : cases) {
        const std::string program = c.Body.empty() ? Temp.Path() + "/no-tracer" : Script(c.Body);
        auto front = Front(program);
        front->ApplyThreshold(Settings, false);
        // A result of an earlier run lies in the folder: it must not pass for this one's.
        std::filesystem::copy_file(RASTREL_TEST_DATA "/dxf/entities_r12.dxf", Folder + "csq.tmp",
                                   std::filesystem::copy_options::overwrite_existing);
        Window.Boxes.clear();
        EXPECT_FALSE(front->Vectorize(Settings, Runner)) << c.Name;
        EXPECT_EQ(front->Traced(), nullptr) << c.Name;
        ASSERT_EQ(Window.Boxes.size(), 1u) << c.Name;
        EXPECT_NE(Window.Boxes[0].Text.find(c.Says), std::string::npos)
            << c.Name << ": " << Window.Boxes[0].Text;
        EXPECT_TRUE(front->Accept(Settings));
        EXPECT_TRUE(DrawingObjects().empty()) << c.Name;
    }
}

TEST(TracerArguments, EachValueIsOneArgument)
{
    TTraceParams p = TraceDefaults();
    p.CentreLine = true;
    EXPECT_EQ(TracerArguments(p, "/tmp/a b/"),
              (std::vector<std::string>{"-et", "0.1", "-fi", "1", "-ct", "90", "-outfile", "/tmp/a b/csq.tmp",
                                        "-cline", "/tmp/a b/csq.bmp"}));
    p.ErrorThreshold = 0;
    p.CentreLine = false;
    const auto args = TracerArguments(p, "/t/");
    EXPECT_EQ(args[1], "0.001");
    EXPECT_EQ(args.back(), "/t/csq.bmp");
}

// The numbers went out in the display unit's format, three decimals in millimetres: the page's
// smallest error threshold 0.0025 reached the tracer as another number.
TEST(TracerArguments, EveryDigitReachesTheTracer)
{
    struct TCase {
        double Error, Corner;
        int Filter;
        const char *EText, *CText, *FText;
    };
    for (const TCase& c :
         {TCase{0.0025, 90, 1, "0.0025", "90", "1"}, TCase{12.3456789, 0.5, 0, "12.3456789", "0.5", "0"},
          TCase{100, 179.99999, 5, "100", "179.99999", "5"}}) {
        SCOPED_TRACE(c.EText);
        TTraceParams p = TraceDefaults();
        p.ErrorThreshold = c.Error;
        p.CornerThreshold = c.Corner;
        p.FilterIterations = c.Filter;
        const auto args = TracerArguments(p, "/t/");
        EXPECT_EQ(args[1], c.EText);
        EXPECT_EQ(args[3], c.FText);
        EXPECT_EQ(args[5], c.CText);
    }
}

} // namespace

namespace {

// Centre lines of a picture with a dot: a round blob 12 pixels across beside a stroke.
class Bmp2VectorDotTest : public ::testing::Test, public TTracedPicture {
protected:
    static constexpr int W = 90, H = 60;
    Bmp2VectorDotTest()
        : TTracedPicture(
              W, H,
              [](int x, int y) {
                  const double cx = x + 0.5, cy = y + 0.5;
                  const bool dot = std::hypot(cx - 20.5, cy - 30.5) <= 6;
                  const bool stroke = cx > 40 && cx < 80 && cy > 28 && cy < 33;
                  return dot || stroke ? 0xFF202020u : 0xFFF0E0D0u;
              },
              {10, 20, 1}, 0.5)
    {
    }

    // The points of the drawing (besides the picture), in drawing units.
    std::vector<TPoint2D> DrawingPoints()
    {
        std::vector<TPoint2D> out;
        auto it = Drawing.ObjectsIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            if (auto* p = dynamic_cast<TPunto2D*>(o))
                out.push_back(p->GetModelTransform().TransformPoint2D(p->Points().Get(0)));
        return out;
    }

    TEnglishTexts Texts;
    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    TTraceSettings Settings;
    TSpawnRunner Runner;
};

} // namespace

TEST_F(Bmp2VectorDotTest, ADotIsKeptAsAPointWithOrWithoutFitting)
{
    Settings.Tracer.CentreLine = true;
    for (const bool fit : {false, true}) {
        SCOPED_TRACE(fit ? "fitting lines and arcs" : "traced polylines");
        Settings.FitArcs = fit;
        TBmp2Vector front(Drawing, *Image, Source, Folder, DORU_PATH, nullptr);
        front.ApplyThreshold(Settings, false);
        // The removal size removes pieces below it, but a point has no size.
        Settings.RemoveSmaller = "0.1";
        ASSERT_TRUE(front.Vectorize(Settings, Runner));
        ASSERT_NE(front.Traced(), nullptr);
        ASSERT_TRUE(front.Accept(Settings));
        const std::vector<TPoint2D> points = DrawingPoints();
        ASSERT_EQ(points.size(), fit ? 2u : 1u);
        // The dot's centre, at half a unit per pixel from the picture's lower-left corner.
        EXPECT_NEAR(points.back().X, 10 + 20.5 * 0.5, 0.1);
        EXPECT_NEAR(points.back().Y, 20 + (H - 30.5) * 0.5, 0.1);
    }
}
