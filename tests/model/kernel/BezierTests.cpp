#include "QVBezier.h"

#include <gtest/gtest.h>

TEST(Bezier, PointsRunFromStartToEnd)
{
    const TQuadBezier quad{{0, 0}, {1, 2}, {2, 0}};
    const TCubicBezier cubic{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
    TPoint2DArray q, c;
    QuadBezierToPoints(quad, 3, q);
    ASSERT_EQ(q.size(), 3u);
    EXPECT_DOUBLE_EQ(q[0].X, 0);
    EXPECT_DOUBLE_EQ(q[1].X, 1);  // the middle of a symmetric arch: P0/4 + P1/2 + P2/4
    EXPECT_DOUBLE_EQ(q[1].Y, 1);
    EXPECT_DOUBLE_EQ(q[2].X, 2);
    EXPECT_NEAR(q[2].Y, 0, 1e-12);
    CubicBezierToPoints(cubic, 50, c);
    ASSERT_EQ(c.size(), 50u);
    EXPECT_NEAR(c.back().X, 1, 1e-12);
    EXPECT_NEAR(c.back().Y, 0, 1e-12);
    const TVector2D mid = CubicBezierEval(cubic, 0.5, CubicBezierCoeffs(cubic));
    EXPECT_DOUBLE_EQ(mid.X, 0.5);
    EXPECT_DOUBLE_EQ(mid.Y, 0.75);
}

TEST(Bezier, DegenerateCounts)
{
    const TQuadBezier quad{{1, 2}, {3, 4}, {5, 6}};
    TPoint2DArray points{{9, 9}};
    QuadBezierToPoints(quad, 0, points);
    ASSERT_EQ(points.size(), 1u);  // untouched
    EXPECT_EQ(points[0].X, 9);
    QuadBezierToPoints(quad, -4, points);
    EXPECT_EQ(points.size(), 1u);
    QuadBezierToPoints(quad, 1, points);  // one point: the start
    ASSERT_EQ(points.size(), 1u);
    EXPECT_EQ(points[0].X, 1);
    EXPECT_EQ(points[0].Y, 2);
    QuadBezierToPoints(quad, 2, points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_DOUBLE_EQ(points[1].X, 5);
    EXPECT_DOUBLE_EQ(points[1].Y, 6);
}
