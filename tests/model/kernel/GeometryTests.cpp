#include "QVGeometry.h"
#include "QVVariabili.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

// Publishes its own tolerances for the test and puts the defaults back afterwards.
class GeometryTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SystemTolRef = &SysTol;
        ChainTolRef = &ChTol;
        SimulTolRef = &SimTol;
    }
    void TearDown() override { ResetToleranceRefs(); }

    double SysTol = 0.0001;
    double ChTol = 0.0025;
    double SimTol = 0.025;
};

} // namespace

TEST_F(GeometryTest, TolerantComparisons)
{
    // Values a power of two apart so that "exactly SystemTol apart" survives rounding.
    SysTol = 0.0625;
    EXPECT_TRUE(IsEqual(1, 1.0625));
    EXPECT_FALSE(IsDifferent(1, 1.0625));
    EXPECT_TRUE(IsGreaterOrEqual(1, 1.0625));
    EXPECT_FALSE(IsGreaterOrEqual(1, 1.125));

    // A square window, not a distance.
    EXPECT_TRUE(IsSamePoint({0, 0}, {0.9 * SysTol, 0.9 * SysTol}));
    EXPECT_TRUE(IsSamePoint2D({2, 4, 2}, {1, 2, 1}));
    EXPECT_FALSE(IsSamePoint2D({2, 4, 2}, {2, 4, 1}));

    // The tolerance is read at each call.
    SysTol = 0.01;
    EXPECT_FALSE(IsEqual(1, 1.0625));
}

TEST_F(GeometryTest, CircleSideIsStrictInsideAndTolerantOutside)
{
    const double eps = 1e-9;
    EXPECT_EQ(CircleSide({0, 0}, {5 - eps, 0}, 5), -1);
    EXPECT_EQ(CircleSide({0, 0}, {5 + eps, 0}, 5), 0);
    EXPECT_EQ(CircleSide({0, 0}, {6, 0}, 5), 1);
}

TEST_F(GeometryTest, CollinearComparesTwiceTheAreaWithChainTol)
{
    EXPECT_TRUE(IsCollinear({0, 0}, {10, 0}, {5, 0.0002})); // area term 0.002
    EXPECT_FALSE(IsCollinear({0, 0}, {10, 0}, {5, 0.0003}));
}

TEST_F(GeometryTest, QuadrantsOwnTheirPositiveAxes)
{
    struct Case {
        double x, y;
        int quadrant;
    };
    const std::vector<Case> cases = {{0, 0, 0},  {1, 0, 1}, {0, 1, 2},   {-1, 0, 3},
                                     {0, -1, 4}, {1, 1, 1}, {-1, -1, 3}, {1, -1, 4}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "(" << c.x << ", " << c.y << ")");
        EXPECT_EQ(Quadrant(c.x, c.y), c.quadrant);
    }
}

TEST_F(GeometryTest, AnglesAndSweeps)
{
    EXPECT_DOUBLE_EQ(PointsAngle({0, 0}, {0, -1}), 3 * Pi / 2);
    EXPECT_DOUBLE_EQ(PointsAngleSigned({0, 0}, {0, -1}), -Pi / 2);

    struct Case {
        const char* name;
        int dir;
        double start, end, sweep;
    };
    const std::vector<Case> cases = {
        {"equal angles are a full turn", 1, 1.0, 1.0, 2 * Pi},
        {"quarter counter-clockwise", 1, 0, Pi / 2, Pi / 2},
        {"three quarters clockwise", -1, 0, Pi / 2, 3 * Pi / 2},
        {"clockwise equal angles", -1, 1.0, 1.0, 2 * Pi},
        {"other direction is the plain difference", 0, 1.0, 0.5, 2 * Pi - 0.5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_DOUBLE_EQ(ArcSweep(c.dir, c.start, c.end), c.sweep);
    }
    EXPECT_DOUBLE_EQ(ArcSweepCW(true, 0, Pi / 2), 3 * Pi / 2);
    EXPECT_DOUBLE_EQ(AngleBetween({1, 0}, {-1, 0}), Pi);
    EXPECT_EQ(AngleBetween({0, 0}, {1, 0}), 0);
    // Parallel vectors whose rounded cosine exceeds 1 still give an angle, not NaN.
    EXPECT_FALSE(std::isnan(AngleBetween({0.1, 0.3}, {0.3, 0.9})));
}

TEST_F(GeometryTest, ArcToPointsCounts)
{
    struct Case {
        const char* name;
        TVector2D centre, start, end;
        bool clockwise;
        double tol;
        size_t count;
    };
    const std::vector<Case> cases = {
        {"quarter of radius 10", {0, 0}, {10, 0}, {0, 10}, false, 0.025, 12},
        {"half of radius 1000 is capped", {0, 0}, {1000, 0}, {-1000, 0}, false, 0.001, 200},
        {"start equals end", {0, 0}, {10, 0}, {10, 0}, false, 0.025, 1},
        {"radius 0", {3, 3}, {3, 3}, {3, 3}, false, 0.025, 1},
        {"radius 0 at the end only", {0, 0}, {5, 0}, {0, 0}, true, 0.025, 1},
        {"tolerance twice the radius", {0, 0}, {1, 0}, {-1, 0}, false, 2, 1},
        {"tolerance far above the radius", {0, 0}, {1, 0}, {0, -1}, false, 1e300, 1},
        {"tolerance zero asks for the finest", {0, 0}, {1, 0}, {0, 1}, false, 0, 200},
        {"negative tolerance", {0, 0}, {1, 0}, {0, 1}, true, -1, 200},
        {"NaN tolerance is not positive", {0, 0}, {1, 0}, {0, 1}, true, NaN, 200},
        {"tolerance zero, no sweep", {0, 0}, {1, 0}, {1, 0}, false, 0, 1},
        {"NaN centre", {NaN, 0}, {1, 0}, {0, 1}, false, 0.025, 1},
        {"infinite end", {0, 0}, {1, 0}, {Inf, 1}, false, 0.025, 1},
        {"huge radius, tiny tolerance", {0, 0}, {1e150, 0}, {0, 1e150}, false, 1e-300, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TArrayOfPoint2d pts(3);
        ArcToPoints2DTol(c.centre, c.start, c.end, c.clockwise, c.tol, pts);
        EXPECT_EQ(pts.size(), c.count);
    }
}

TEST_F(GeometryTest, ArcToPointsFollowsTheArc)
{
    struct Case {
        const char* name;
        TVector2D start, end;
        bool clockwise;
        TVector2D firstSide; // a point near the first step
    };
    const std::vector<Case> cases = {
        {"counter-clockwise", {10, 0}, {0, 10}, false, {10, 1}},
        {"clockwise the long way", {10, 0}, {0, 10}, true, {10, -1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TArrayOfPoint2d pts;
        ArcToPoints2D({0, 0}, c.start, c.end, c.clockwise, pts);
        for (const TPoint2D& p : pts) {
            EXPECT_NEAR(std::hypot(p.X, p.Y), 10, 1e-12);
            EXPECT_EQ(p.W, 1);
        }
        EXPECT_NEAR(pts.back().X, c.end.X, 1e-9);
        EXPECT_NEAR(pts.back().Y, c.end.Y, 1e-9);
        EXPECT_LT(std::hypot(pts[0].X - c.firstSide.X, pts[0].Y - c.firstSide.Y), 2);
        // Every chord stays within the tolerance of the arc.
        const double chordHalfAngle = std::asin(std::hypot(pts[0].X - 10, pts[0].Y) / 20);
        EXPECT_LE(10 * (1 - std::cos(chordHalfAngle)), SimTol);
    }
    // The configured tolerance is read at each call, and the Tol form leaves it alone.
    TArrayOfPoint2d pts;
    SimTol = 0.5;
    ArcToPoints2D({0, 0}, {10, 0}, {0, 10}, false, pts);
    const size_t coarse = pts.size();
    ArcToPoints2DTol({0, 0}, {10, 0}, {0, 10}, false, 0.001, pts);
    EXPECT_GT(pts.size(), coarse);
    EXPECT_EQ(SimTol, 0.5);
    TArrayOfPoint2d one;
    ArcToPoints2D({0, 0}, {10, 0}, {10, 0}, false, one);
    EXPECT_EQ(one[0].X, 10);
    EXPECT_NEAR(one[0].Y, 0, 1e-15);
}

TEST_F(GeometryTest, NearestOnArcUsesTheChordSideRule)
{
    struct Case {
        const char* name;
        TVector2D start, end, p, nearest;
    };
    // The counter-clockwise quarter from (10, 0) to (0, 10) about the origin.
    const std::vector<Case> cases = {
        {"radial projection", {10, 0}, {0, 10}, {20, 20}, {10 / std::sqrt(2.0), 10 / std::sqrt(2.0)}},
        {"beyond the start", {10, 0}, {0, 10}, {5, -10}, {10, 0}},
        {"beyond, equally far: the end", {10, 0}, {0, 10}, {-10, -10}, {0, 10}},
        {"closed arc: always the projection", {10, 0}, {10, 0}, {-20, 0}, {-10, 0}},
        {"P at the centre: the start", {10, 0}, {0, 10}, {0, 0}, {10, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TVector2D q = NearestOnArc({0, 0}, c.start, c.end, c.p);
        EXPECT_NEAR(q.X, c.nearest.X, 1e-12);
        EXPECT_NEAR(q.Y, c.nearest.Y, 1e-12);
    }
}

TEST_F(GeometryTest, LinesAndSides)
{
    double a, b, c;
    LineEquation({0, 0}, {10, 0}, a, b, c);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, -10);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(LineDistance({5, 3}, a, b, c), -3); // left of P1->P2 is negative
    EXPECT_EQ(LineDistance({5, 3}, 0, 0, 1), 0);
    const TVector2D foot = LineProjection({5, 3}, a, b, c);
    EXPECT_EQ(foot.X, 5);
    EXPECT_EQ(foot.Y, 0);

    TVector2D q1, q2;
    OffsetSegment({0, 0}, {10, 0}, 2, q1, q2);
    EXPECT_EQ(q1.Y, 2);
    EXPECT_EQ(q2.X, 10);
    EXPECT_EQ(q2.Y, 2);
    OffsetSegment({1, 1}, {1, 1}, 2, q1, q2);
    EXPECT_EQ(q1.X, 1);
    EXPECT_EQ(q1.Y, 1);

    EXPECT_TRUE(IsProjectionInside({0, 0}, {10, 0}, {0, 5}));
    EXPECT_TRUE(IsProjectionInside({0, 0}, {10, 0}, {10, 5}));
    EXPECT_FALSE(IsProjectionInside({0, 0}, {10, 0}, {10.001, 5}));

    EXPECT_TRUE(IsOnSide({0, 0}, {10, 0}, {5, -1}, 1));
    EXPECT_TRUE(IsOnSide({0, 0}, {10, 0}, {5, 0}, 1));
    EXPECT_FALSE(IsOnSide({0, 0}, {10, 0}, {5, -1}, -1));
    EXPECT_TRUE(IsRightOf({5, -1, 1}, {0, 0, 1}, {10, 0, 1}));
    EXPECT_FALSE(IsRightOfV({5, 0}, {0, 0}, {10, 0}));

    const TVector2D beyond = PointAtDistance({10, 0}, {0, 0}, 15);
    EXPECT_EQ(beyond.X, 15);
    const TVector2D same = PointAtDistance({1, 1}, {1, 1}, 5);
    EXPECT_EQ(same.X, 1);
    double x, y;
    ProjectOnLineXY(0, 0, 10, 0, 15, 4, x, y);
    EXPECT_EQ(x, 15);
    EXPECT_EQ(y, 0);
    ProjectOnLineXY(2, 2, 2, 2, 15, 4, x, y);
    EXPECT_EQ(x, 2);
}

TEST_F(GeometryTest, NearestOnSegment)
{
    struct Case {
        const char* name;
        TVector2D a, b, p, nearest;
    };
    const std::vector<Case> cases = {
        {"before A", {0, 0}, {10, 0}, {-5, 3}, {0, 0}},
        {"after B", {0, 0}, {10, 0}, {15, 3}, {10, 0}},
        {"inside", {0, 0}, {10, 0}, {4, 3}, {4, 0}},
        {"degenerate segment", {2, 2}, {2, 2}, {4, 3}, {2, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TVector2D q = NearestOnSegment(c.a, c.b, c.p);
        EXPECT_EQ(q.X, c.nearest.X);
        EXPECT_EQ(q.Y, c.nearest.Y);
    }
}

TEST_F(GeometryTest, FarthestPointKeepsTheFirstOnTies)
{
    TVector2D p{0, 0};
    EXPECT_EQ(FarthestPoint(p, {{1, 0}, {0, 3}, {3, 0}, {0, 1}}), 1);
    EXPECT_EQ(p.Y, 3);
    TVector2D same{2, 2};
    EXPECT_EQ(FarthestPoint(same, {{2, 2}, {2, 2}}), 0);
}

TEST_F(GeometryTest, OrthoPointKeepsTheLargerOffset)
{
    struct Case {
        const char* name;
        TPoint2D p, out;
    };
    const std::vector<Case> cases = {
        {"horizontal", {10, 3, 1}, {10, 1, 1}},
        {"vertical", {3, 10, 1}, {1, 10, 1}},
        {"tie is vertical", {5, 5, 1}, {1, 5, 1}},
        {"homogeneous input", {20, 6, 2}, {10, 1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TPoint2D p = c.p;
        OrthoPoint({1, 1, 1}, p);
        EXPECT_EQ(p.X, c.out.X);
        EXPECT_EQ(p.Y, c.out.Y);
        EXPECT_EQ(p.W, c.out.W);
    }
}

TEST_F(GeometryTest, VertexTangentFollowsTheKind)
{
    const TAVertice prev = TAVertice::CreatePoint({10, 0}, 0);
    struct Case {
        const char* name;
        int32_t kind;
        TVector2D tangent;
    };
    const std::vector<Case> cases = {
        {"line", 0, {-10, 10}},
        {"counter-clockwise arc", 1, {0, 10}},
        {"clockwise arc", -1, {0, -10}},
        {"any other kind is clockwise", 2, {0, -10}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TAVertice cur = TAVertice::CreateFull(c.kind, {0, 10}, {0, 0}, 0);
        const TVector2D t = VertexTangent({10, 0}, prev, cur);
        EXPECT_NEAR(t.X, c.tangent.X, 1e-12);
        EXPECT_NEAR(t.Y, c.tangent.Y, 1e-12);
    }
}

TEST_F(GeometryTest, Boxes)
{
    const TRect2D n = NormalizeRect2D(MakeRect2D(5, 1, 2, 4));
    EXPECT_EQ(n.First.X, 2);
    EXPECT_EQ(n.First.Y, 1);
    EXPECT_EQ(n.Second.X, 5);
    EXPECT_EQ(n.Second.Y, 4);

    const TRect2D t = TransformRect2D(MakeRect2D(0, 0, 2, 1), TMatrix4::CreateRotation(true, 90));
    EXPECT_NEAR(t.First.X, -1, 1e-15);
    EXPECT_NEAR(t.First.Y, 0, 1e-15);
    EXPECT_NEAR(t.Second.X, 0, 1e-15);
    EXPECT_NEAR(t.Second.Y, 2, 1e-15);

    const TRect2D u = UnionRect2D(MakeRect2D(0, 0, 1, 1), MakeRect2D(3, -1, 2, 0.5));
    EXPECT_EQ(u.First.Y, -1);
    EXPECT_EQ(u.Second.X, 3);
    EXPECT_EQ(u.Second.Y, 1);
}

TEST_F(GeometryTest, TransformRect3DUsesAllEightCorners)
{
    // Regression: two diagonals alone miss the corners that a Z-into-X shear makes extreme.
    TMatrix4 shear;
    shear.M[8] = -1; // X' = X - Z
    shear.M[9] = 1;  // Y' = Y + Z
    const TRect3D box = TransformRect3D(MakeRect3D(0, 0, 0, 1, 1, 1), shear);
    EXPECT_EQ(box.First.X, -1);
    EXPECT_EQ(box.Second.X, 1);
    EXPECT_EQ(box.First.Y, 0);
    EXPECT_EQ(box.Second.Y, 2);
    EXPECT_EQ(box.First.Z, 0);
    EXPECT_EQ(box.Second.Z, 1);
}
