// One small test per pipeline stage: decompose, polygon, roughness, corners, smoothing and fit,
// thinning, the skeleton's graph, output.
#include "TraceCorners.h"
#include "TraceDecompose.h"
#include "TraceDots.h"
#include "TraceFit.h"
#include "TraceOutput.h"
#include "TracePolygon.h"
#include "TraceRoughness.h"
#include "TraceSkeletonGraph.h"
#include "TraceThinning.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

namespace {

double SignedArea(const TCrackPath& p)
{
    double a = 0;
    for (size_t i = 0; i < p.size(); ++i) {
        const TPixelPoint u = p[i], v = p[(i + 1) % p.size()];
        a += double(u.X) * v.Y - double(v.X) * u.Y;
    }
    return a / 2;
}

} // namespace

TEST(Decompose, FindsEveryBoundaryOnceWithOuterAndHolesOpposite)
{
    // A ring holding a dot inside its hole, and a square touching the right border.
    const TMonoBitmap img = MakeImage(60, 40, [](double x, double y) {
        const double d = std::hypot(x - 20, y - 20);
        return (d < 15 && d >= 9) || d < 4 || (x > 45 && y > 10 && y < 30);
    });
    std::vector<double> areas;
    DecomposeOutlines(img, [&](const TCrackPath& p) {
        for (size_t i = 0; i < p.size(); ++i) {
            const TPixelPoint a = p[i], b = p[(i + 1) % p.size()];
            EXPECT_EQ(std::abs(a.X - b.X) + std::abs(a.Y - b.Y), 1);  // unit steps, closed
        }
        areas.push_back(SignedArea(p));
    });
    ASSERT_EQ(areas.size(), 4u);
    // Outer boundaries have one sign, holes the other; the areas add up to the ink.
    int outer = 0;
    double total = 0;
    for (double a : areas) {
        outer += a > 0;
        total += a;
    }
    EXPECT_EQ(outer, 3);
    EXPECT_DOUBLE_EQ(total, double(img.InkCount()));
}

TEST(Polygon, RectangleGivesItsFourCorners)
{
    const TMonoBitmap img = MakeImage(30, 20, [](double x, double y) { return x > 3 && x < 25 && y > 5 && y < 16; });
    DecomposeOutlines(img, [&](const TCrackPath& p) {
        const std::vector<TVector2D> poly = StraightPolygon(p);
        ASSERT_EQ(poly.size(), 4u);
        for (const TVector2D& v : poly) {
            EXPECT_NEAR(v.X, v.X < 14 ? 3 : 25, 1e-9);
            EXPECT_NEAR(v.Y, v.Y < 10 ? 5 : 16, 1e-9);
        }
    });
}

TEST(Polygon, DigitalStraightEdgesStayLongPieces)
{
    // A large square turned by 20 degrees: its sides are staircases, but each must be covered
    // by few pieces that lie within a pixel of the true side.
    const TMonoBitmap img = MakeImage(200, 200, [](double x, double y) { return InRotatedRect(x, y, 100, 100, 70, 70, 20); });
    DecomposeOutlines(img, [&](const TCrackPath& p) {
        const std::vector<TVector2D> poly = StraightPolygon(p);
        EXPECT_LE(poly.size(), 12u);
        for (const TVector2D& v : poly) {
            const double a = 20 * std::numbers::pi / 180, dx = v.X - 100, dy = v.Y - 100;
            const double u = std::abs(dx * std::cos(a) + dy * std::sin(a)), w = std::abs(-dx * std::sin(a) + dy * std::cos(a));
            EXPECT_NEAR(std::max(u, w), 70, 1.0);
        }
    });
}

namespace {

// A bar whose top edge wanders between two rows of pixels around its line y = 20.3, the way a
// scanned edge does; the other edges are straight.
constexpr double BarTop = 20.3;

TMonoBitmap WanderingBar()
{
    return MakeImage(240, 40, [](double x, double y) {
        const double wander = 0.5 * std::sin(x / 1.3) + 0.25 * std::sin(x / 2.9 + 1);
        return x > 10 && x < 230 && y > BarTop + wander && y < 34;
    });
}

// How far the polygon's vertices along the top edge stray from its true line, and how many
// there are.
void TopEdge(const std::vector<TVector2D>& poly, double& worst, int& count)
{
    worst = 0;
    count = 0;
    for (const TVector2D& v : poly)
        if (v.Y < 27 && v.X > 14 && v.X < 226) {
            worst = std::max(worst, std::abs(v.Y - BarTop));
            ++count;
        }
}

} // namespace

TEST(Polygon, WanderingEdgeAveragesOutToItsLine)
{
    DecomposeOutlines(WanderingBar(), [&](const TCrackPath& p) {
        double straightWorst, wanderingWorst;
        int straightCount, wanderingCount;
        TopEdge(StraightPolygon(p), straightWorst, straightCount);
        TopEdge(WanderingPolygon(p, 0.8), wanderingWorst, wanderingCount);
        // The straight polygon follows the wander; the other one stays near the line with
        // far fewer vertices.
        EXPECT_GT(straightWorst, 0.6);
        EXPECT_GT(straightCount, 20);
        EXPECT_LE(wanderingWorst, 0.3);
        EXPECT_LE(wanderingCount, 3);
    });
    // Corners still come where the edges meet.
    const TMonoBitmap rect =
        MakeImage(60, 40, [](double x, double y) { return x > 5 && x < 55 && y > 8 && y < 32; });
    DecomposeOutlines(rect, [&](const TCrackPath& p) {
        const std::vector<TVector2D> poly = WanderingPolygon(p, 0.8);
        for (const TVector2D corner :
             {TVector2D{5, 8}, TVector2D{55, 8}, TVector2D{55, 32}, TVector2D{5, 32}}) {
            double best = 1e9;
            for (const TVector2D& v : poly)
                best = std::min(best, std::hypot(v.X - corner.X, v.Y - corner.Y));
            EXPECT_LE(best, 1.0) << corner.X << "," << corner.Y;
        }
    });
}

TEST(Roughness, WigglesTellScannedEdgesFromCleanOnes)
{
    struct TCase {
        const char* Name;
        TMonoBitmap Picture;
        bool Rough;
    };
    const std::vector<TCase> cases = {
        {"disc", MakeImage(120, 120, [](double x, double y) { return InDisc(x, y, 60.3, 59.7, 41.2); }),
         false},
        {"turned square",
         MakeImage(200, 200, [](double x, double y) { return InRotatedRect(x, y, 100, 100, 70, 70, 20); }),
         false},
        {"strokes",
         MakeImage(120, 120,
                   [](double x, double y) {
                       return SegmentDistance(x, y, 10, 20, 110, 75) <= 3 ||
                              SegmentDistance(x, y, 20, 110, 100, 10) <= 2;
                   }),
         false},
        {"wandering bar", WanderingBar(), true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TEdgeRoughness roughness;
        DecomposeOutlines(c.Picture,
                          [&](const TCrackPath& p) { roughness.Add(p.size(), StraightPolygon(p)); });
        EXPECT_EQ(roughness.Tolerance() > 0, c.Rough) << roughness.WigglesPerHundred();
    }
    // A wiggle is a gentle turn against both neighbours; steady turning and corners are none.
    // Here the second and third vertices of the zigzag; the fourth has a corner beside it.
    EXPECT_EQ(CountWiggles({{0, 0}, {10, 0}, {20, 1}, {30, 0}, {40, 1}, {50, 0}, {50, 20}, {0, 20}}), 2);
    EXPECT_EQ(CountWiggles({{0, 0}, {10, 0}, {20, 1}, {30, 3}, {40, 6}, {40, 20}, {0, 20}}), 0);
}

TEST(Corners, TurnsAgainstTheThreshold)
{
    auto regular = [](int n, double r) {
        std::vector<TVector2D> p;
        for (int i = 0; i < n; ++i)
            p.push_back({r * std::cos(2 * std::numbers::pi * i / n), r * std::sin(2 * std::numbers::pi * i / n)});
        return p;
    };
    struct TCase {
        const char* Name;
        int Sides;
        double Threshold;
        int Corners;
    };
    for (const TCase& c : std::vector<TCase>{{"square at 90", 4, 90, 4}, {"octagon at 90", 8, 90, 0},
                                              {"octagon at 40", 8, 40, 8}, {"square at 180", 4, 180, 0}}) {
        SCOPED_TRACE(c.Name);
        std::vector<TVector2D> p = regular(c.Sides, 50);
        const std::vector<char> corner = FindCorners(p, true, c.Threshold);
        EXPECT_EQ(std::count(corner.begin(), corner.end(), 1), c.Corners);
    }
}

TEST(Corners, ShortBevelFoldsIntoOneCorner)
{
    // A right angle whose tip is cut by a one-pixel bevel.
    std::vector<TVector2D> p = {{0, 0}, {20, 0}, {20.7, 0.7}, {20.7, 20}, {0, 20}};
    const std::vector<char> corner = FindCorners(p, true, 90);
    ASSERT_EQ(p.size(), 4u);
    EXPECT_NEAR(p[1].X, 20.7, 1e-9);
    EXPECT_NEAR(p[1].Y, 0, 1e-9);
    EXPECT_TRUE(corner[1]);
}

TEST(Fit, DropsOnlyPointsWithinTheTolerance)
{
    // A wobbly line: within 0.08 of straight, then a bump of 1.
    std::vector<TVector2D> p;
    for (int i = 0; i <= 100; ++i)
        p.push_back({double(i), (i % 2 ? 0.08 : 0.0) + (i >= 60 && i <= 62 ? 1.0 : 0.0)});
    std::vector<char> ends(p.size(), 0);
    ends.front() = ends.back() = 1;
    for (double tol : {0.1, 2.0}) {
        SCOPED_TRACE(tol);
        const std::vector<TVector2D> f = FitWithin(p, ends, false, tol);
        EXPECT_EQ(f.size(), tol < 1 ? 6u : 2u);
        for (const TVector2D& q : p) {
            double best = 1e9;
            for (size_t i = 0; i + 1 < f.size(); ++i)
                best = std::min(best, SegmentDistance(q.X, q.Y, f[i].X, f[i].Y, f[i + 1].X, f[i + 1].Y));
            EXPECT_LE(best, tol + 1e-9);
        }
    }
}

TEST(Smooth, CornersStayAndCurvesRoundOff)
{
    std::vector<TVector2D> p = {{0, 0}, {10, 0}, {10, 10}, {0, 10}};
    std::vector<char> corner = {1, 0, 1, 0};
    SmoothPolygon(p, corner, true, 1);
    EXPECT_NEAR(p[0].X, 0, 1e-12);
    EXPECT_NEAR(p[0].Y, 0, 1e-12);
    for (const TVector2D& v : p)  // rounded inside the square, never outside
        EXPECT_TRUE(v.X >= -1e-12 && v.X <= 10 + 1e-12 && v.Y >= -1e-12 && v.Y <= 10 + 1e-12);
    // The smooth vertex at (10, 0) is cut: no point is left there.
    for (const TVector2D& v : p)
        EXPECT_GT(std::hypot(v.X - 10, v.Y), 0.2);
    std::vector<TVector2D> q = {{0, 0}, {10, 0}, {10, 10}};
    std::vector<char> qc = {0, 0, 0};
    SmoothPolygon(q, qc, true, 0);
    EXPECT_EQ(q.size(), 3u);  // level 0 keeps the polygon
}

TEST(Thinning, LeavesOnePixelWideConnectedLines)
{
    const TMonoBitmap img = MakeImage(80, 60, [](double x, double y) {
        return SegmentDistance(x, y, 10, 30, 70, 30) <= 5 || SegmentDistance(x, y, 40, 5, 40, 55) <= 3;
    });
    const TMonoBitmap skel = ThinToSkeleton(img);
    size_t count = 0;
    for (int y = 0; y < 60; ++y)
        for (int x = 0; x < 80; ++x) {
            if (!skel.Ink(x, y))
                continue;
            ++count;
            EXPECT_TRUE(img.Ink(x, y));
            // No 2x2 block of skeleton pixels anywhere.
            EXPECT_FALSE(skel.Ink(x + 1, y) && skel.Ink(x, y + 1) && skel.Ink(x + 1, y + 1));
        }
    EXPECT_GT(count, 90u);
    // A 2x2 block keeps a pixel (Zhang-Suen would erase it).
    TMonoBitmap block(6, 6);
    for (int y = 2; y < 4; ++y)
        for (int x = 2; x < 4; ++x)
            block.Set(x, y, true);
    EXPECT_GE(ThinToSkeleton(block).InkCount(), 1u);
}

TEST(Thinning, TileParallelRuleMatchesThePixelRule)
{
    // Every 3x3 block, centred on both sides of tile edges across and down the picture.
    for (int x : {1, 6, 7, 8, 9, 63, 64, 127, 128})
        for (int y : {1, 7, 8, 15, 16})
            for (unsigned block = 0; block < 512; ++block) {
                TMonoBitmap b(130, 18);
                for (int k = 0; k < 9; ++k)
                    if (block & (1u << k))
                        b.Set(x + k % 3 - 1, y + k / 3 - 1, true);
                for (int pass = 0; pass < 2; ++pass)
                    ASSERT_EQ(ThinningRemovesAt(b, x, y, pass), ThinningRemoves(block, pass))
                        << "x " << x << ", y " << y << ", block " << block << ", pass " << pass;
            }
}

TEST(Thinning, ThickInkGivesTheSameSkeletonAsThePixelByPixelRule)
{
    // A filled disc with strokes through it, a short thick bar, and scattered ink around them:
    // the tiles near the border change for many passes, and a tile left out of a pass after a
    // change beside it would keep pixels that the rule removes.
    const TMonoBitmap img = MakeImage(150, 110, [](double x, double y) {
        const unsigned noise = ((unsigned(x) * 73856093u) ^ (unsigned(y) * 19349663u)) >> 11;
        return InDisc(x, y, 60, 55, 38) || SegmentDistance(x, y, 3, 20, 146, 90) <= 2.5 ||
               SegmentDistance(x, y, 20, 104, 140, 6) <= 1 || InRotatedRect(x, y, 128, 30, 12, 7, 35) ||
               ((x < 30 || x > 100 || y > 80) && noise % 100 < 60);
    });
    // The plain parallel algorithm: every pixel decided on the picture before the pass.
    TMonoBitmap ref = img;
    for (int pass = 0, quiet = 0; quiet < 2; pass ^= 1) {
        std::vector<std::pair<int, int>> gone;
        for (int y = 0; y < ref.Height(); ++y)
            for (int x = 0; x < ref.Width(); ++x)
                if (ThinningRemoves(ref.Block(x, y), pass))
                    gone.push_back({x, y});
        for (const auto& [x, y] : gone)
            ref.Set(x, y, false);
        quiet = gone.empty() ? quiet + 1 : 0;
    }
    // Thinning what is already thin only drops the staircase elbows.
    EXPECT_EQ(ThinToSkeleton(img), ThinToSkeleton(ref));
}

TEST(Output, FlipsToYUpAndKeepsShortPolylinesWhole)
{
    TTraceResult r;
    EmitPolyline(r, {{1, 2}, {3, 2}, {3, 5}}, true, 10);
    ASSERT_EQ(r.Polylines.size(), 1u);
    EXPECT_TRUE(r.Polylines[0].Closed);
    EXPECT_EQ(r.Polylines[0].Points[0].Y, 8);
    EXPECT_EQ(r.Polylines[0].Points[2].Y, 5);
    // Exactly at the limit a closed outline still fits (its reader adds the closing point).
    std::vector<TVector2D> many(MaxPolylinePoints - 1, TVector2D{0, 0});
    EmitPolyline(r, many, true, 10);
    EXPECT_EQ(r.Polylines.size(), 2u);
    EXPECT_TRUE(r.Polylines[1].Closed);
}

TEST(SkeletonGraph, InkRadiusIsHalfTheStrokeWidth)
{
    // A bar 21 pixels tall: from its middle row the nearest background is 11 rows away.
    const TMonoBitmap img = MakeImage(80, 40, [](double x, double y) { return x > 5 && x < 75 && y > 9 && y < 30; });
    EXPECT_NEAR(InkRadius(img, 40, 19), 10.5, 1e-9);
    EXPECT_NEAR(InkRadius(img, 5, 19), 0.5, 1e-9);
    EXPECT_EQ(InkRadius(img, 2, 2), 0);
    EXPECT_NEAR(InkReach(img, {40.5, 19.5}, {1, 0}, 100), 34.5, 0.25);
}

TEST(SkeletonGraph, CrossingBecomesOneJunctionAndBumpsGo)
{
    // A thick X thins to two forks joined by a short piece; a bump on an arm leaves a spur.
    const TMonoBitmap img = MakeImage(160, 160, [](double x, double y) {
        return SegmentDistance(x, y, 20, 20, 140, 140) <= 12 || SegmentDistance(x, y, 20, 140, 140, 20) <= 12 ||
               InDisc(x, y, 50, 42, 7);
    });
    TSkeletonGraph g = BuildSkeletonGraph(ThinToSkeleton(img), img, [](int, int) {});
    PruneSpurs(g, img);
    MergeJunctions(g);
    int junctions = 0, ends = 0;
    for (int n = 0; n < int(g.Nodes.size()); ++n) {
        junctions += g.Degree(n) >= 3;
        ends += g.Degree(n) == 1;
    }
    EXPECT_EQ(junctions, 1);
    EXPECT_EQ(ends, 4);
    EXPECT_EQ(JoinChains(g).size(), 4u);
}

TEST(SkeletonGraph, KnotAtAFlatEndGoesAndTheEndIsFree)
{
    // A slanted stroke with butt ends: thinning ties a small knot of pixels at each end, a loop
    // round no hole, which made the ends junctions that were never carried to the true end.
    const TMonoBitmap img = MakeImage(88, 88, [](double x, double y) {
        const double dx = 64, dy = -28.8, l = std::hypot(dx, dy);
        const double t = ((x - 12) * dx + (y - 58.4) * dy) / (l * l);
        return t >= 0 && t <= 1 && std::abs((x - 12) * dy - (y - 58.4) * dx) / l <= 4;
    });
    TSkeletonGraph g = BuildSkeletonGraph(ThinToSkeleton(img), img, [](int, int) {});
    int knots = 0;
    for (const TSkeletonBranch& b : g.Branches)
        knots += b.Alive && b.A >= 0 && b.A == b.B;
    EXPECT_GE(knots, 1);
    PruneSpurs(g, img);
    const std::vector<TSkeletonChain> chains = JoinChains(g);
    ASSERT_EQ(chains.size(), 1u);
    EXPECT_EQ(g.Degree(chains[0].A), 1);
    EXPECT_EQ(g.Degree(chains[0].B), 1);
}

TEST(Dots, RoundBlobsAreDotsAndOtherShapesAreNot)
{
    struct TCase {
        const char* Name;
        std::function<bool(double, double)> Inside;
        bool Dot;
        TVector2D Centre;
    };
    const std::vector<TCase> cases = {
        {"disc", [](double x, double y) { return InDisc(x, y, 30.3, 29.6, 12); }, true, {30.3, 29.6}},
        {"disc with a ragged edge",
         [](double x, double y) {
             return InDisc(x, y, 30, 30, 12 + 0.8 * std::sin(5 * std::atan2(y - 30, x - 30)));
         },
         true,
         {30, 30}},
        {"disc with a pinhole near its edge",
         [](double x, double y) { return InDisc(x, y, 30, 30, 14) && !(int(x) == 29 && int(y) == 41); },
         true,
         {30, 30}},
        {"speck", [](double x, double y) { return InDisc(x, y, 30, 30, 1.2); }, false, {}},
        {"square",
         [](double x, double y) { return std::abs(x - 30) < 14 && std::abs(y - 30) < 14; },
         false,
         {}},
        {"ring",
         [](double x, double y) { return InDisc(x, y, 30, 30, 14) && !InDisc(x, y, 30, 30, 5); },
         false,
         {}},
        {"short stroke",
         [](double x, double y) { return SegmentDistance(x, y, 15, 30, 45, 30) <= 6; },
         false,
         {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TMonoBitmap img = MakeImage(60, 60, c.Inside);
        TMonoBitmap done(60, 60);
        TDot dot;
        EXPECT_EQ(FindRoundBlob(img, 30, 30, done, dot), c.Dot);
        if (c.Dot) {
            EXPECT_LE(std::hypot(dot.Centre.X - c.Centre.X, dot.Centre.Y - c.Centre.Y), 0.25);
        }
        // A shape looked at once is not looked at again.
        EXPECT_FALSE(FindRoundBlob(img, 30, 30, done, dot));
    }
}
