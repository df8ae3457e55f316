// Outline tracing measured by rendering back: the traced polygons, filled even-odd, must give
// the picture again.
#include "ScanSimulation.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct TShapeCase {
    const char* Name;
    int W, H;
    std::function<bool(double, double)> Inside;
    double MaxError;  // differing pixels per ink pixel at the defaults
};

std::vector<TShapeCase> ShapeCases()
{
    return {
        {"disc", 120, 120, [](double x, double y) { return InDisc(x, y, 60.3, 59.7, 41.2); }, 0.01},
        {"ring", 140, 140, [](double x, double y) {
             return InDisc(x, y, 70, 70, 60) && !InDisc(x, y, 70.4, 69.8, 35.5); }, 0.01},
        {"square", 80, 80, [](double x, double y) { return x > 10 && x < 60 && y > 15 && y < 65; }, 0.01},
        {"rotated rectangle", 140, 140, [](double x, double y) {
             return InRotatedRect(x, y, 70, 70, 50, 22, 27); }, 0.01},
        {"nested rings", 160, 160, [](double x, double y) {
             const double d = std::hypot(x - 80, y - 80);
             return d < 75 && !(d < 55 && d >= 40) && !(d < 25 && d >= 12); }, 0.01},
        {"touching the border", 60, 40, [](double x, double y) { return x < 30 || InDisc(x, y, 60, 40, 18); }, 0.01},
        {"full", 30, 20, [](double, double) { return true; }, 0.0},
    };
}

} // namespace

TEST(Outline, RendersBackWithinOnePercent)
{
    for (const TShapeCase& c : ShapeCases()) {
        SCOPED_TRACE(c.Name);
        const TMonoBitmap img = MakeImage(c.W, c.H, c.Inside);
        const TTraceResult r = Trace(img, TraceDefaults());
        const double err = OutlineError(img, r);
        std::printf("%s: error %.4f, %zu polylines, %zu vertices\n", c.Name, err, r.Polylines.size(), r.VertexCount());
        EXPECT_LE(err, c.MaxError);
        for (const TTracedPolyline& p : r.Polylines)
            EXPECT_TRUE(p.Closed);
    }
}

TEST(Outline, SharpCornersStaySharpAtNinetyAndBelow)
{
    for (double corner : {90.0, 60.0, 30.0})
        for (double angle : {0.0, 8.0, 27.0, 45.0, 63.0}) {
            SCOPED_TRACE("corner threshold " + std::to_string(corner) + ", angle " + std::to_string(angle));
            const double cx = 70, cy = 70, hw = 45, hh = 25;
            const TMonoBitmap img = MakeImage(140, 140, [&](double x, double y) { return InRotatedRect(x, y, cx, cy, hw, hh, angle); });
            TTraceParams p = TraceDefaults();
            p.CornerThreshold = corner;
            const TTraceResult r = Trace(img, p);
            ASSERT_EQ(r.Polylines.size(), 1u);
            EXPECT_EQ(r.Polylines[0].Points.size(), 4u);
            const double a = angle * std::numbers::pi / 180;
            for (int sx : {-1, 1})
                for (int sy : {-1, 1}) {
                    const double tx = cx + sx * hw * std::cos(a) - sy * hh * std::sin(a);
                    const double ty = 140 - (cy + sx * hw * std::sin(a) + sy * hh * std::cos(a));
                    double best = 1e9;
                    for (const TVector2D& v : r.Polylines[0].Points)
                        best = std::min(best, std::hypot(v.X - tx, v.Y - ty));
                    EXPECT_LE(best, 0.8) << "corner " << sx << "," << sy;
                }
            EXPECT_LE(OutlineError(img, r), 0.01);
        }
}

TEST(Outline, GentleTurnsAreSmoothedAboveTheThreshold)
{
    // A regular octagon turns by 45 degrees at each vertex: smoothed at the default 90, kept
    // at 40.
    const TMonoBitmap img = MakeImage(140, 140, [](double x, double y) {
        const double u = std::abs(x - 70), v = std::abs(y - 70);
        return u <= 55 && v <= 55 && u + v <= 55 * std::sqrt(2.0);
    });
    TTraceParams p = TraceDefaults();
    EXPECT_GT(Trace(img, p).VertexCount(), 8u);
    p.CornerThreshold = 40;
    EXPECT_EQ(Trace(img, p).VertexCount(), 8u);
}

TEST(Outline, DiscVerticesLieWithinTheThresholdOfTheCircle)
{
    for (double e : {0.1, 0.5, 1.0, 3.0})
        for (double radius : {12.3, 30.0, 47.6}) {
            SCOPED_TRACE("E " + std::to_string(e) + ", radius " + std::to_string(radius));
            const TMonoBitmap img = MakeImage(110, 110, [&](double x, double y) { return InDisc(x, y, 55.2, 54.6, radius); });
            TTraceParams p = TraceDefaults();
            p.ErrorThreshold = e;
            const TTraceResult r = Trace(img, p);
            ASSERT_EQ(r.Polylines.size(), 1u);
            EXPECT_GE(r.Polylines[0].Points.size(), 3u);
            for (const TVector2D& v : r.Polylines[0].Points)
                EXPECT_LE(std::abs(std::hypot(v.X - 55.2, (110 - v.Y) - 54.6) - radius), e + 0.5);
        }
}

TEST(Outline, GlyphsAndLines)
{
    struct TCase {
        const char* Name;
        int W, H;
        std::function<bool(double, double)> Inside;
        double MaxError;
    };
    auto seg = [](double x, double y, double x0, double y0, double x1, double y1, double hw) {
        return SegmentDistance(x, y, x0, y0, x1, y1) <= hw;
    };
    const std::vector<TCase> cases = {
        {"glyph O", 80, 100, [](double x, double y) {
             const double u = (x - 40) / 30, v = (y - 50) / 42, i = (x - 40) / 19, j = (y - 50) / 31;
             return u * u + v * v <= 1 && i * i + j * j > 1; }, 0.015},
        {"glyph A", 90, 100, [&](double x, double y) {
             return seg(x, y, 10, 90, 45, 10, 5) || seg(x, y, 45, 10, 80, 90, 5) || seg(x, y, 25, 60, 65, 60, 4); }, 0.02},
        {"glyph e", 90, 90, [&](double x, double y) {
             const double d = std::hypot(x - 45, y - 45);
             return (d <= 38 && d >= 28 && !(y > 48 && x > 45 && x < 90 && y < 62)) || (y >= 40 && y <= 48 && x >= 10 && x <= 80); }, 0.02},
        {"one-pixel horizontal line", 60, 10, [](double x, double y) { return y > 4 && y < 5 && x > 3 && x < 57; }, 0.0},
        {"one-pixel vertical line", 10, 60, [](double x, double y) { return x > 4 && x < 5 && y > 3 && y < 57; }, 0.0},
        {"thick slanted stroke", 100, 100, [&](double x, double y) { return seg(x, y, 10, 20, 90, 75, 4); }, 0.02},
        {"thin slanted stroke", 100, 100, [&](double x, double y) { return seg(x, y, 10, 20, 90, 75, 1.2); }, 0.08},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TMonoBitmap img = MakeImage(c.W, c.H, c.Inside);
        const TTraceResult r = Trace(img, TraceDefaults());
        std::printf("%s: error %.4f, %zu vertices\n", c.Name, OutlineError(img, r), r.VertexCount());
        EXPECT_LE(OutlineError(img, r), c.MaxError);
    }
}

TEST(Outline, EmptyAndFullPictures)
{
    EXPECT_TRUE(Trace(TMonoBitmap(50, 40), TraceDefaults()).Polylines.empty());
    EXPECT_TRUE(Trace(TMonoBitmap(0, 0), TraceDefaults()).Polylines.empty());
    const TTraceResult full = Trace(MakeImage(50, 40, [](double, double) { return true; }), TraceDefaults());
    ASSERT_EQ(full.Polylines.size(), 1u);
    ASSERT_EQ(full.Polylines[0].Points.size(), 4u);
    for (const TVector2D& v : full.Polylines[0].Points) {
        EXPECT_NEAR(v.X, v.X < 25 ? 0 : 50, 1e-9);
        EXPECT_NEAR(v.Y, v.Y < 20 ? 0 : 40, 1e-9);
    }
}

TEST(Outline, InkMeetingAtACornerIsOneShape)
{
    // Ink touching only diagonally joins; background touching only diagonally does not.
    TMonoBitmap twoPixels(6, 6);
    twoPixels.Set(2, 2, true);
    twoPixels.Set(3, 3, true);
    EXPECT_EQ(Trace(twoPixels, TraceDefaults()).Polylines.size(), 1u);

    TMonoBitmap twoHoles = MakeImage(8, 8, [](double x, double y) { return x > 1 && x < 7 && y > 1 && y < 7; });
    twoHoles.Set(3, 3, false);
    twoHoles.Set(4, 4, false);
    EXPECT_EQ(Trace(twoHoles, TraceDefaults()).Polylines.size(), 3u);
}

TEST(Outline, NoiseStaysInsideThePictureInBothModes)
{
    // Random specks of every size: every corner case of the staircase at once.
    uint32_t seed = 12345;
    auto next = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8; };
    TMonoBitmap img(97, 61);
    for (int y = 0; y < 61; ++y)
        for (int x = 0; x < 97; ++x)
            if (next() % 100 < 45)
                img.Set(x, y, true);
    for (bool centre : {false, true}) {
        SCOPED_TRACE(centre ? "centre lines" : "outlines");
        TTraceParams p = TraceDefaults();
        p.CentreLine = centre;
        const TTraceResult r = Trace(img, p);
        ASSERT_FALSE(r.Polylines.empty());
        for (const TTracedPolyline& pl : r.Polylines) {
            EXPECT_GE(pl.Points.size(), 2u);
            for (const TVector2D& v : pl.Points) {
                EXPECT_TRUE(v.X >= -1.5 && v.X <= 97 + 1.5 && v.Y >= -1.5 && v.Y <= 61 + 1.5) << v.X << " " << v.Y;
            }
        }
        if (!centre) {
            std::printf("noise: error %.4f\n", OutlineError(img, r));
            EXPECT_LE(OutlineError(img, r), 0.15);
        }
    }
}

TEST(Outline, ScannedPageIsCloserToTheCleanDrawingThanTheScanIs)
{
    // Pages of shapes and letter strokes, mostly straight or mostly curved, degraded with a
    // fixed seed and despeckled; each trace filled back is scored against the clean page, as is
    // the scanned bitmap itself.
    auto seg = [](double x, double y, double x0, double y0, double x1, double y1, double hw) {
        return SegmentDistance(x, y, x0, y0, x1, y1) <= hw;
    };
    const TMonoBitmap letters = MakeImage(220, 150, [&](double x, double y) {
        return InDisc(x, y, 40, 40, 28) || (InDisc(x, y, 110, 40, 28) && !InDisc(x, y, 110, 40, 16)) ||
               InRotatedRect(x, y, 180, 40, 26, 14, 20) || seg(x, y, 15, 135, 40, 80, 4) || seg(x, y, 40, 80, 65, 135, 4) ||
               seg(x, y, 27, 112, 53, 112, 3.5) || seg(x, y, 85, 80, 85, 135, 4) || seg(x, y, 85, 80, 115, 80, 4) ||
               seg(x, y, 85, 107, 110, 107, 4) || seg(x, y, 85, 135, 115, 135, 4) ||
               (InDisc(x, y, 165, 108, 28) && !InDisc(x, y, 165, 108, 19) && !(x > 175 && y > 95 && y < 121));
    });
    // Logos: an ellipse, a crescent, a flower, a ring and a thick S of two arcs.
    const TMonoBitmap logos = MakeImage(220, 150, [&](double x, double y) {
        const double ex = (x - 40) / 30, ey = (y - 38) / 20;
        const double fa = std::atan2(y - 40, x - 180), fd = std::hypot(x - 180, y - 40);
        const double sd = std::hypot(x - 110, y - 50), sa = std::atan2(y - 50, x - 110);
        const double td = std::hypot(x - 110, y - 98), ta = std::atan2(y - 98, x - 110);
        return ex * ex + ey * ey <= 1 || (InDisc(x, y, 45, 110, 27) && !InDisc(x, y, 57, 104, 22)) ||
               (fd <= 27 * (0.8 + 0.2 * std::cos(5 * fa)) && fd >= 7) ||
               (InDisc(x, y, 180, 112, 26) && !InDisc(x, y, 181, 111, 15)) ||
               (std::abs(sd - 20) <= 5 && !(sa > 0 && sa < 1.4)) ||
               (std::abs(td - 20) <= 5 && !(ta < 0 && ta > -1.4) && x < 130);
    });
    // Where the scan's edges are ragged, the trace must follow the clean edge more closely
    // than the scan does, by a margin that only averaging the wandering out reaches, on curves
    // as on straight runs; where they are not, it may add its own fill-back error of a small
    // page (about one percent, mostly at letter corners). Ragged pages are few pixels of edge
    // each: their errors are summed over four seeds.
    struct TCase {
        const char* Page;
        TScanDegradation Degradation;
        int Seeds;
        double MaxRatio, Allowance;  // trace error <= MaxRatio * scan error + Allowance
    };
    const std::vector<TCase> cases = {
        {"letters", {"blur", 1.2, 0, 1.5, 0, 0, 1}, 1, 1.0, 0.015},
        {"letters", {"blur and ragged edges", 1.0, 0.3, 2.0, 0, 0, 1}, 4, 0.84, 0},
        {"letters", {"specks and holes", 0.8, 0, 1.5, 2, 0, 3}, 1, 1.0, 0.02},
        {"letters", {"JPEG", 1.0, 0, 1.5, 0, 60, 4}, 1, 1.0, 0.015},
        {"letters", {"office scan", 1.0, 0.3, 2.0, 0.3, 75, 1}, 4, 0.87, 0},
        {"logos", {"light scan", 0.8, 0.2, 2.0, 0.2, 90, 11}, 4, 1.0, 0.01},
        {"logos", {"office scan", 1.0, 0.3, 2.0, 0.3, 75, 1}, 4, 0.88, 0},
        {"logos", {"heavy scan", 1.6, 0.4, 2.0, 0.8, 50, 21}, 4, 0.78, 0},
    };
    std::printf("%-8s %-24s %10s %10s %8s\n", "page", "degradation", "scan", "trace", "ratio");
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::string(c.Page) + ", " + c.Degradation.Name);
        const TMonoBitmap& clean = std::string(c.Page) == "logos" ? logos : letters;
        const double ink = double(clean.InkCount());
        double scanError = 0, traceError = 0;
        for (int k = 0; k < c.Seeds; ++k) {
            TScanDegradation d = c.Degradation;
            d.Seed += uint32_t(k);
            TMonoBitmap scan = DegradeScan(clean, d);
            Despeckle(scan, 4);
            scanError += double(DifferingPixels(clean, scan)) / ink / c.Seeds;
            const TTraceResult r = Trace(scan, TraceDefaults());
            traceError +=
                double(DifferingPixels(clean, Rasterise(r, clean.Width(), clean.Height()))) / ink / c.Seeds;
        }
        std::printf("%-8s %-24s %10.4f %10.4f %8.3f\n", c.Page, c.Degradation.Name, scanError, traceError,
                    traceError / scanError);
        EXPECT_GT(scanError, 0.0);
        EXPECT_LE(traceError, c.MaxRatio * scanError + c.Allowance);
    }
}
