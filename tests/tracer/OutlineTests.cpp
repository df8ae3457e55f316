// Outline tracing measured by rendering back: the traced polygons, filled even-odd, must give
// the picture again.
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
