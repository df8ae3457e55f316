// Centre-line tracing: strokes of known middle lines, checked by sampling the traced lines.
#include "TraceCentreLine.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

struct TSeg {
    double X0, Y0, X1, Y1;  // image coordinates (Y down)
};

bool NearSegments(double x, double y, const std::vector<TSeg>& segs, double halfWidth)
{
    for (const TSeg& s : segs)
        if (SegmentDistance(x, y, s.X0, s.Y0, s.X1, s.Y1) <= halfWidth)
            return true;
    return false;
}

double DistanceToSegments(double x, double y, const std::vector<TSeg>& segs)
{
    double d = 1e300;
    for (const TSeg& s : segs)
        d = std::min(d, SegmentDistance(x, y, s.X0, s.Y0, s.X1, s.Y1));
    return d;
}

struct TStrokeCase {
    const char* Name;
    int W, H;
    double HalfWidth;
    std::vector<TSeg> Middle;
    size_t Polylines;  // expected count after junctions and pruning
};

std::vector<TStrokeCase> StrokeCases()
{
    return {
        {"thin horizontal line", 60, 20, 0.5, {{5, 10, 55, 10}}, 1},
        {"thick horizontal stroke", 80, 30, 4, {{8, 15, 72, 15}}, 1},
        {"thick slanted stroke", 90, 90, 3.5, {{10, 15, 80, 70}}, 1},
        {"crossing", 90, 90, 3, {{10, 45, 80, 45}, {45, 10, 45, 80}}, 4},
        {"T junction", 90, 60, 2.5, {{10, 12, 80, 12}, {45, 12, 45, 50}}, 3},
        {"L corner", 70, 70, 3, {{10, 60, 60, 60}, {10, 10, 10, 60}}, 1},
    };
}

// Every output vertex and every sample along output edges, in image coordinates.
std::vector<TVector2D> Samples(const TTraceResult& r, int h)
{
    std::vector<TVector2D> out;
    for (const TTracedPolyline& p : r.Polylines) {
        const size_t n = p.Points.size(), edges = p.Closed ? n : n - 1;
        for (size_t i = 0; i < edges; ++i) {
            const TVector2D a = p.Points[i], b = p.Points[(i + 1) % n];
            const int steps = std::max(1, int(std::hypot(b.X - a.X, b.Y - a.Y) * 2));
            for (int k = 0; k <= steps; ++k)
                out.push_back({a.X + (b.X - a.X) * k / steps, h - (a.Y + (b.Y - a.Y) * k / steps)});
        }
    }
    return out;
}

} // namespace

TEST(CentreLine, FollowsTheMiddleOfStrokes)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const TStrokeCase& c : StrokeCases()) {
        SCOPED_TRACE(c.Name);
        const TMonoBitmap img = MakeImage(c.W, c.H, [&](double x, double y) { return NearSegments(x, y, c.Middle, c.HalfWidth); });
        const TTraceResult r = Trace(img, params);
        const std::vector<TVector2D> s = Samples(r, c.H);
        ASSERT_FALSE(s.empty());
        double sum = 0, worst = 0;
        for (const TVector2D& p : s) {
            const double d = DistanceToSegments(p.X, p.Y, c.Middle);
            sum += d;
            worst = std::max(worst, d);
        }
        std::printf("%s: %zu polylines, %zu vertices, mean %.3f worst %.3f\n", c.Name, r.Polylines.size(), r.VertexCount(), sum / s.size(), worst);
        EXPECT_EQ(r.Polylines.size(), c.Polylines);
        EXPECT_LE(sum / double(s.size()), 0.5);
        EXPECT_LE(worst, c.HalfWidth + 1.5);
    }
}

TEST(CentreLine, RingGivesOneClosedLineAndABlobItsOutline)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    const TMonoBitmap ring = MakeImage(80, 80, [](double x, double y) {
        const double d = std::hypot(x - 40, y - 40);
        return d >= 18 && d <= 23;
    });
    const TTraceResult r = Trace(ring, params);
    ASSERT_EQ(r.Polylines.size(), 1u);
    EXPECT_TRUE(r.Polylines[0].Closed);
    double sum = 0;
    const std::vector<TVector2D> s = Samples(r, 80);
    for (const TVector2D& p : s)
        sum += std::abs(std::hypot(p.X - 40, p.Y - 40) - 20.5);
    EXPECT_LE(sum / double(s.size()), 0.5);

    // A filled square thins to a dot: it is traced by its outline instead.
    const TMonoBitmap blob = MakeImage(60, 60, [](double x, double y) { return x > 15 && x < 45 && y > 12 && y < 42; });
    const TTraceResult b = Trace(blob, params);
    ASSERT_EQ(b.Polylines.size(), 1u);
    EXPECT_TRUE(b.Polylines[0].Closed);
    EXPECT_LE(OutlineError(blob, b), 0.01);
}
