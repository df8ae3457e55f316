#include "QVGeom2D.h"
#include "QVGeometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr int32_t IntMax = std::numeric_limits<int32_t>::max();
constexpr int32_t IntMin = std::numeric_limits<int32_t>::min();

const std::vector<TPoint2D> Square = {{0, 0, 1}, {10, 0, 1}, {10, 10, 1}, {0, 10, 1}};

} // namespace

TEST(Geom2D, ClipCodes)
{
    const TRect2D box = MakeRect2D(0, 0, 10, 5);
    struct Case {
        const char* name;
        TPoint2D p;
        int code;
    };
    const std::vector<Case> cases = {
        {"inside", {5, 2, 1}, 0},
        {"on the right edge", {10, 2, 1}, 0},
        {"left", {-1, 2, 1}, 1},
        {"right", {11, 2, 1}, 4},
        {"below", {5, -1, 1}, 2},
        {"above", {5, 6, 1}, 8},
        {"left and above", {-1, 6, 1}, 9},
        {"right and below", {11, -1, 1}, 6},
        {"not divided by W", {8, 4, 2}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(PointClipCode2D(box, c.p), c.code);
        EXPECT_EQ(IsPointInRect2D(c.p, box), c.code == 0);
    }
    const TRect2D grown = InflateRect2D({{2, 2, 2}, {6, 4, 2}}, 1);
    EXPECT_EQ(grown.First.X, 0);
    EXPECT_EQ(grown.Second.Y, 3);
    EXPECT_EQ(grown.Second.W, 1);
}

TEST(Geom2D, ScreenRectInsideIncludesEdges)
{
    const TRect outer{0, 0, 100, 50};
    EXPECT_TRUE(ScreenRectInside({0, 0, 100, 50}, outer));
    EXPECT_TRUE(ScreenRectInside({10, 10, 20, 20}, outer));
    EXPECT_FALSE(ScreenRectInside({10, 10, 101, 20}, outer));
    EXPECT_FALSE(ScreenRectInside({10, -1, 20, 20}, outer));
}

TEST(Geom2D, ScreenPointsRoundThroughSinglePrecision)
{
    struct Case {
        const char* name;
        TPoint2D p;
        TPoint out;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases = {
        {"halves to even", {2.5, 3.5, 1}, {2, 4}},
        {"divided by W", {5, 7, 2}, {2, 4}},
        {"W 0 not divided", {5, 7, 0}, {5, 7}},
        {"single precision first", {3.4999999999, -0.5000000001, 1}, {4, 0}},
        // Regression: values beyond the integer range were undefined behaviour.
        {"beyond the integer range", {1e20, -1e20, 1}, {IntMax, IntMin}},
        {"at the top of the range", {2147483647.0, -2147483648.0, 1}, {IntMax, IntMin}},
        {"infinite", {inf, -inf, 1}, {IntMax, IntMin}},
        {"NaN", {nan, 1, 1}, {0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPoint p = Point2DToPoint(c.p);
        EXPECT_EQ(p.X, c.out.X);
        EXPECT_EQ(p.Y, c.out.Y);
    }
}

TEST(Geom2D, TransformsAndAngles)
{
    const TPoint2D p = TransformPoint2D({1, 0, 1}, Rotate2D(Pi / 2));
    EXPECT_NEAR(p.X, 0, 1e-15);
    EXPECT_NEAR(p.Y, 1, 1e-15);
    EXPECT_EQ(p.W, 1);
    EXPECT_DOUBLE_EQ(RadiansToDegrees(Pi / 2), 90);
    EXPECT_EQ(Distance2D({2, 2, 2}, {4, 4, 1}), std::sqrt(18.0));

    // Mirrored in the X axis: the angles change sign.
    double start = Pi / 6, end = Pi / 2;
    TMatrix4 m = TMatrix4::CreateMirror(0);
    m.Translate(5, 5, 0);
    TransformArcAngles({1, 1, 1}, m, start, end, 2);
    EXPECT_NEAR(start, -Pi / 6, 1e-12);
    EXPECT_NEAR(end, -Pi / 2, 1e-12);
}

TEST(Geom2D, MinValueIndex)
{
    struct Case {
        const char* name;
        std::vector<double> values;
        int index;
    };
    const std::vector<Case> cases = {
        {"first of equal minima", {3, 1, 1}, 1},
        {"large values", {1e8, 2e8}, 0},
        // Regression: a search starting at 9999999.1234 never saw values above it.
        {"large values, minimum later", {2e8, 1e8}, 1},
        {"empty", {}, 0},
        {"infinite values", {std::numeric_limits<double>::infinity()}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(MinValueIndex(c.values), c.index);
    }
}

TEST(Geom2D, BulgeArcs)
{
    struct Case {
        const char* name;
        double bulge;
        int direction;
        double start, end;
        double side; // sign of Y along the arc
    };
    const std::vector<Case> cases = {
        {"positive: counter-clockwise below", 1, 3, Pi, 0, -1},
        {"negative: clockwise above", -1, 2, 0, Pi, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TBulgeSegment seg{0, 0, 2, 0, c.bulge};
        TVector2D centre;
        double radius, start, end;
        int direction;
        ASSERT_TRUE(BulgeToArc(seg, centre, radius, start, end, direction));
        EXPECT_NEAR(centre.X, 1, 1e-15);
        EXPECT_NEAR(centre.Y, 0, 1e-15);
        EXPECT_NEAR(radius, 1, 1e-15);
        EXPECT_EQ(direction, c.direction);
        EXPECT_NEAR(start, c.start, 1e-15);
        EXPECT_NEAR(end, c.end, 1e-15);

        std::vector<TVector2D> pts = {{9, 9}}; // appended after what is there
        BulgeArcToPoints(seg, pts);
        ASSERT_EQ(pts.size(), 52u);
        EXPECT_NEAR(pts[1].X, 0, 1e-15);
        EXPECT_NEAR(pts[1].Y, 0, 1e-15);
        EXPECT_NEAR(pts[51].X, 2, 1e-15);
        EXPECT_NEAR(pts[51].Y, 0, 1e-15);
        for (size_t i = 2; i < 51; ++i)
            EXPECT_GT(pts[i].Y * c.side, 0) << i;
        // Chords of one step and of the last, double step, on the unit circle.
        auto chord = [&](size_t i) { return std::hypot(pts[i + 1].X - pts[i].X, pts[i + 1].Y - pts[i].Y); };
        EXPECT_NEAR(chord(1), 2 * std::sin(Pi / 102), 1e-12);
        EXPECT_NEAR(chord(50), 2 * std::sin(Pi / 51), 1e-12);
    }

    const TBulgeSegment straight{0, 0, 2, 0, 0};
    TVector2D centre;
    double radius, start, end;
    int direction;
    EXPECT_FALSE(BulgeToArc(straight, centre, radius, start, end, direction));
    std::vector<TVector2D> pts;
    BulgeArcToPoints(straight, pts);
    ASSERT_EQ(pts.size(), 2u);
    EXPECT_EQ(pts[1].X, 2);
}

TEST(Geom2D, PointSegmentDistance)
{
    struct Case {
        const char* name;
        TPoint2D p;
        bool found;
        double dist;
    };
    const std::vector<Case> cases = {
        {"above the middle", {5, 3, 1}, true, 3},
        {"above an end", {10, -2, 1}, true, 2},
        {"just beyond B", {10.001, 0, 1}, false, 1e8},
        {"before A", {-1, 1, 1}, false, 1e8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double d = -1;
        EXPECT_EQ(PointSegmentDistance(c.p, {0, 0, 1}, {10, 0, 1}, d), c.found);
        EXPECT_DOUBLE_EQ(d, c.dist);
    }
    double d;
    EXPECT_FALSE(PointSegmentDistance({0, 0, 1}, {1, 1, 1}, {1, 1, 1}, d));
}

TEST(Geom2D, NearPointUsesASquareAperture)
{
    double d;
    EXPECT_TRUE(NearPoint2D({0, 0, 1}, {0.9, 0.9, 1}, d, 1));
    EXPECT_DOUBLE_EQ(d, std::hypot(0.9, 0.9));
    EXPECT_TRUE(NearPoint2D({2, 2, 2}, {1, 2, 1}, d, 1));
    EXPECT_FALSE(NearPoint2D({0, 0, 1}, {1.1, 0, 1}, d, 1));
    EXPECT_EQ(d, 1e8);
}

TEST(Geom2D, PolylineHitTest)
{
    const std::vector<TPoint2D> triangle = {{0, 0, 1}, {10, 0, 1}, {10, 10, 1}};
    const TMatrix4 moved = TMatrix4::CreateTranslation(100, 0, 0);
    struct Case {
        const char* name;
        std::vector<TPoint2D> points;
        TPoint2D pt;
        bool closed;
        const TMatrix4* m;
        int32_t code;
        double dist;
    };
    const std::vector<Case> cases = {
        {"near an edge", triangle, {5, 0.5, 1}, false, &IdentityMatrix, -1, 0.5},
        {"open: closing edge not tested", triangle, {5, 5.5, 1}, false, &IdentityMatrix, -200, 1e8},
        {"closed: closing edge tested", triangle, {5, 5.5, 1}, true, &IdentityMatrix, -1, std::sqrt(0.125)},
        {"through the matrix", triangle, {105, 0.5, 1}, false, &moved, -1, 0.5},
        {"single point never hit", {{0, 0, 1}}, {0, 0, 1}, true, &IdentityMatrix, -200, 1e8},
        {"no points", {}, {0, 0, 1}, false, &IdentityMatrix, -200, 1e8},
        {"outside the aperture", triangle, {5, -1.5, 1}, false, &IdentityMatrix, -200, 1e8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double d = -1;
        EXPECT_EQ(PolylineHitTest(c.points, c.pt, c.closed, *c.m, 1, d), c.code);
        EXPECT_NEAR(d, c.dist, 1e-12);
    }
}

TEST(Geom2D, PointInPolygonHitTest)
{
    struct Case {
        const char* name;
        TPoint2D pt;
        int32_t code;
        double dist;
    };
    const std::vector<Case> cases = {
        {"centre", {5, 5, 1}, -2, 1},
        {"on an edge", {5, 0, 1}, -1, 0},
        {"near the closing edge", {0.25, 5, 1}, -1, 0.25},
        {"outside", {15, 5, 1}, -200, 1e8},
        {"outside, level with a vertex", {-5, 10, 1}, -200, 1e8},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        double d = -1;
        EXPECT_EQ(PointInPolygonHitTest(Square, c.pt, IdentityMatrix, 1, d), c.code);
        EXPECT_NEAR(d, c.dist, 1e-12);
    }
    double d;
    EXPECT_EQ(PointInPolygonHitTest(Square, {105, 5, 1}, TMatrix4::CreateTranslation(100, 0, 0), 1, d), -2);
}
