#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "UnitCurva.h"
#include "UnitIntPath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Deg = Pi / 180;

TAVertice Line(const TVector2D& P)
{
    return TAVertice::CreatePoint(P, 0);
}

TVector2D OnCircle(const TVector2D& Centre, double Radius, double Angle)
{
    return {Centre.X + Radius * std::cos(Angle), Centre.Y + Radius * std::sin(Angle)};
}

// Line vertices at the points of a circle from angle From to To (degrees) in steps of Step
// (negative for clockwise), both ends included.
void AddCirclePoints(TACurva& C, const TVector2D& Centre, double Radius, double From, double To, double Step)
{
    const int n = static_cast<int>(std::lround((To - From) / Step));
    for (int i = 0; i <= n; ++i)
        C.AddVertex(Line(OnCircle(Centre, Radius, (From + i * Step) * Deg)));
}

void ExpectPoint(const TVector2D& P, double X, double Y, double Tol = 1e-9)
{
    EXPECT_NEAR(P.X, X, Tol);
    EXPECT_NEAR(P.Y, Y, Tol);
}

ClipperLib::Path IntPath(const std::vector<std::pair<ClipperLib::cInt, ClipperLib::cInt>>& Points)
{
    ClipperLib::Path p;
    for (const auto& [x, y] : Points)
        p.emplace_back(x, y);
    return p;
}

// Distance from P to the polyline through Points.
double PolylineDistance(const std::vector<TVector2D>& Points, const TVector2D& P)
{
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 1; i < Points.size(); ++i)
        best = std::min(best, VectorDistance2D(P, NearestOnSegment(Points[i - 1], Points[i], P)));
    return best;
}

std::vector<TVector2D> PointsOf(const TACurva& C)
{
    std::vector<TVector2D> points;
    for (const TAVertice& v : C.Vertices)
        points.push_back(v.Point);
    return points;
}

}  // namespace

// Arc fitting against its tolerance and largest radius (quarter and half circles, collinear and
// nearly collinear runs), rounding to integer coordinates and the order of a closed path's points,
// tessellation of arcs (full, empty, flat) and the circle through three points: one row each.
TEST(ArcFit, EdgeCases)
{
    struct Case {
        const char* name;
        std::function<void()> check;
    };
    auto quarter = [](TACurva& c) { AddCirclePoints(c, {0, 0}, 10, 0, 90, 11.25); };
    const std::vector<Case> cases = {
        {"nine points on a quarter circle fit one arc",
         [&] {
             TArcToleranceScope tol(0.05);
             TACurva c;
             quarter(c);
             c.FitArcs(1000);
             ASSERT_EQ(c.Count(), 2);
             ExpectPoint(c.Vertices[0].Point, 10, 0);
             EXPECT_EQ(c.Vertices[1].Kind, 1);
             ExpectPoint(c.Vertices[1].Point, 0, 10);
             ExpectPoint(c.Vertices[1].Centre, 0, 0);
             EXPECT_EQ(c.Vertices[1].ID, -1);
         }},
        {"with a finer tolerance the chords lie too far from the circle",
         [&] {
             TArcToleranceScope tol(0.01);
             TACurva c;
             quarter(c);
             c.FitArcs(1000);
             EXPECT_EQ(c.Count(), 9);
         }},
        {"an arc beyond the largest radius becomes one line",
         [&] {
             TArcToleranceScope tol(0.05);
             TACurva c;
             quarter(c);
             c.FitArcs(5);
             ASSERT_EQ(c.Count(), 2);
             EXPECT_EQ(c.Vertices[1].Kind, 0);
             ExpectPoint(c.Vertices[1].Point, 0, 10);
         }},
        {"collinear points stay as they are",
         [] {
             TArcToleranceScope tol(0.05);
             TACurva c;
             for (int i = 0; i < 8; ++i)
                 c.AddVertex(Line({i * 1.5, 2.0 * i}));
             c.FitArcs(1000);
             EXPECT_EQ(c.Count(), 8);
         }},
        {"collinear points near the origin do not fit the circle of radius 0",
         [] {
             TArcToleranceScope tol(0.05);
             TACurva c;
             for (double x : {-0.03, -0.01, 0.01, 0.03})
                 c.AddVertex(Line({x, 0}));
             c.FitArcs(1000);
             ASSERT_EQ(c.Count(), 4);
             for (const TAVertice& v : c.Vertices)
                 EXPECT_EQ(v.Kind, 0);
         }},
        {"a point off nearly collinear ones is not lost to a circle too large to resolve",
         [] {
             // The circle through (0, 0), (3, 0) and (5, 1e-16) has a radius of 5e16, where a
             // distance of 1 vanishes in rounding.
             TArcToleranceScope tol(0.05);
             TACurva c;
             for (const TVector2D& p : {TVector2D{0, 0}, {1, 0}, {2, 1}, {3, 0}, {4, 0}, {5, 1e-16}})
                 c.AddVertex(Line(p));
             c.FitArcs(1000);
             ASSERT_EQ(c.Count(), 6);
             ExpectPoint(c.Vertices[2].Point, 2, 1);
         }},
        {"a half circle every 5 degrees fits one arc, three quarters a half and a quarter circle",
         [] {
             TArcToleranceScope tol(0.05);
             TACurva half, threeQuarters;
             AddCirclePoints(half, {0, 0}, 10, 0, 180, 5);
             AddCirclePoints(threeQuarters, {0, 0}, 10, 0, 270, 5);
             half.FitArcs(1000);
             threeQuarters.FitArcs(1000);
             ASSERT_EQ(half.Count(), 2);
             EXPECT_EQ(half.Vertices[1].Kind, 1);
             ExpectPoint(half.Vertices[1].Point, -10, 0);
             ASSERT_EQ(threeQuarters.Count(), 3);
             ExpectPoint(threeQuarters.Vertices[1].Point, -10, 0);
             ExpectPoint(threeQuarters.Vertices[2].Point, 0, -10);
             EXPECT_EQ(threeQuarters.Vertices[2].Kind, 1);
             ExpectPoint(threeQuarters.Vertices[2].Centre, 0, 0);
         }},
        {"integer coordinates round halves to even",
         [] {
             const std::vector<std::pair<double, ClipperLib::cInt>> rows = {
                 {1.23456, 12346}, {0.00005, 0}, {0.00025, 2}, {0.00035, 4},
                 {2.50005, 25000}, {-0.00015, -1}, {-3, -30000}, {4.6e14, 4'600'000'000'000'000'000LL},
             };
             for (const auto& [v, i] : rows) {
                 SCOPED_TRACE(v);
                 EXPECT_EQ(ToIntCoord(v), i);
             }
             EXPECT_EQ(FromIntCoord(12346), 1.2346);
         }},
        {"a closed square gives four integer points, in reverse order when asked",
         [] {
             TACurva c;
             for (const TVector2D& p : {TVector2D{0, 0}, {1, 0}, {1, 1}, {0, 1}, {0, 0}})
                 c.AddVertex(Line(p));
             c.Closed = true;
             ClipperLib::Path path;
             CurveToPath(c, false, path);
             EXPECT_EQ(path, IntPath({{0, 0}, {10000, 0}, {10000, 10000}, {0, 10000}}));
             CurveToPath(c, true, path);
             EXPECT_EQ(path, IntPath({{0, 10000}, {10000, 10000}, {10000, 0}, {0, 0}}));
         }},
        {"a quarter arc of radius 10 is tessellated into 18 points",
         [] {
             TArcToleranceScope tol(0.01);
             TACurva c;
             c.AddVertex(Line({10, 0}));
             c.AddVertex(TAVertice::CreateFull(1, {0, 10}, {0, 0}, 0));
             ClipperLib::Path path;
             CurveToPath(c, false, path);
             ASSERT_EQ(path.size(), 19u);  // the start and 18 points along the arc
             EXPECT_EQ(path.back(), ClipperLib::IntPoint(0, 100000));
             EXPECT_EQ(path[9], ToIntPoint(OnCircle({0, 0}, 10, 45 * Deg)));
         }},
        {"an arc back to its own start adds no points",
         [] {
             TACurva c;
             c.AddVertex(Line({10, 0}));
             c.AddVertex(TAVertice::CreateFull(1, {10, 0}, {0, 0}, 0));
             c.AddVertex(Line({20, 0}));
             ClipperLib::Path path;
             CurveToPath(c, false, path);
             EXPECT_EQ(path, IntPath({{100000, 0}, {200000, 0}}));
         }},
        {"a flat arc is a line; a curved one only beyond the largest radius",
         [] {
             TArcToleranceScope tol(0.05);
             TAArco a = TAArco::CreateFromPoints({10, 0}, {0, 10}, {0, 0}, true, 0);
             EXPECT_FALSE(a.IsFlat());
             a.MaxRadius = 9;
             EXPECT_TRUE(a.IsFlat());
             // A sagitta of 0.04, within the tolerance of 0.05, and one of 0.06.
             for (const auto& [sagitta, flat] : {std::pair{0.04, true}, std::pair{0.06, false}}) {
                 const double half = std::acos(1 - sagitta / 100);
                 const TAArco b = TAArco::CreateFromPoints(OnCircle({0, 0}, 100, Pi / 2 - half),
                                                           OnCircle({0, 0}, 100, Pi / 2 + half), {0, 0}, true, 0);
                 EXPECT_EQ(b.IsFlat(), flat);
             }
         }},
        {"three points make a circle, collinear ones none",
         [] {
             const TACerchio k({3, 1}, {-1, 5}, {-5, 1});
             ExpectPoint(k.Centre, -1, 1);
             EXPECT_NEAR(k.Radius, 4, 1e-12);
             EXPECT_TRUE(k.IsSegmentNear({3, 1}, {-1, 5}, 1.2));
             EXPECT_FALSE(k.IsSegmentNear({3, 1}, {-1, 5}, 1.1));  // the midpoint is 1.17 inside
             const TACerchio none({0, 0}, {1, 1}, {2, 2});
             EXPECT_EQ(none.Radius, 0);
             ExpectPoint(none.Centre, 0, 0);
             EXPECT_NEAR(TALinea({0, 1}, {2, 0}).DistanceTo({5, 4}), 3, 1e-12);
             EXPECT_NEAR(TALinea({0, 1}, {0, 0}).DistanceTo({3, 5}), 5, 1e-12);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

TEST(ArcFit, SampledArcComesBackAsOneArc)
{
    struct Case {
        const char* name;
        TVector2D centre;
        double radius, from, to, step;
        int32_t kind;
    };
    const std::vector<Case> cases = {
        {"counter-clockwise", {12, -7}, 25, 30, 170, 2, 1},
        {"clockwise", {12, -7}, 25, 170, 10, -2, -1},
        {"clockwise across the negative X axis", {-3, 4}, 6, 250, 100, -5, -1},
        {"far from the origin", {25000, -18000}, 400, -60, 100, 0.25, 1},
    };
    TArcToleranceScope tol(0.01);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TACurva curve;
        AddCirclePoints(curve, c.centre, c.radius, c.from, c.to, c.step);
        curve.FitArcs(1000);
        ASSERT_EQ(curve.Count(), 2);
        const TAVertice& arc = curve.Vertices[1];
        EXPECT_EQ(arc.Kind, c.kind);
        ExpectPoint(arc.Centre, c.centre.X, c.centre.Y, 1e-6);
        EXPECT_NEAR(VectorDistance2D(arc.Point, arc.Centre), c.radius, 1e-6);
        const TVector2D end = OnCircle(c.centre, c.radius, c.to * Deg);
        ExpectPoint(arc.Point, end.X, end.Y);
    }
}

TEST(ArcFit, RectangleComesBackAsFourLines)
{
    TArcToleranceScope tol(0.05);
    const std::vector<TVector2D> corners = {{0, 0}, {40, 0}, {40, 25}, {0, 25}, {0, 0}};
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    struct Case {
        const char* name;
        double step;  // 0: the corners only
    };
    for (const Case& c : std::vector<Case>{{"corners only", 0}, {"sides sampled with noise", 0.5}}) {
        SCOPED_TRACE(c.name);
        TACurva curve;
        curve.AddVertex(Line(corners[0]));
        for (size_t k = 1; k < corners.size(); ++k) {
            const TVector2D a = corners[k - 1], b = corners[k];
            const double length = VectorDistance2D(a, b);
            const int n = c.step > 0 ? static_cast<int>(length / c.step) : 1;
            for (int i = 1; i < n; ++i) {
                const double t = static_cast<double>(i) / n;
                curve.AddVertex(Line({a.X + t * (b.X - a.X) + jitter(rng), a.Y + t * (b.Y - a.Y) + jitter(rng)}));
            }
            curve.AddVertex(Line(b));
        }
        curve.Closed = true;
        curve.FitArcs(1000);
        ASSERT_EQ(curve.Count(), 5);
        for (int i = 0; i < 5; ++i) {
            EXPECT_EQ(curve.Vertices[i].Kind, 0);
            ExpectPoint(curve.Vertices[i].Point, corners[i].X, corners[i].Y);
        }
    }
}

// Lines, convex and concave arcs in one closed outline: the arcs are given as points, the lines
// by their ends, and the fit gives back the same elements.
TEST(ArcFit, MixedOutlineComesBackAsTheSameSequence)
{
    TArcToleranceScope tol(0.01);
    TACurva outline;
    outline.AddVertex(Line({0, 0}));
    outline.AddVertex(Line({40, 0}));
    AddCirclePoints(outline, {40, 10}, 10, -90 + 3, 0, 3);     // counter-clockwise corner
    outline.AddVertex(Line({50, 30}));
    AddCirclePoints(outline, {60, 30}, 10, 180 - 5, 90, -5);   // clockwise notch
    AddCirclePoints(outline, {60, 52}, 12, -90 + 3, 90, 3);    // counter-clockwise half round
    outline.AddVertex(Line({0, 64}));
    AddCirclePoints(outline, {0, 49}, 15, 90 + 3, 270, 3);     // counter-clockwise half round
    outline.AddVertex(Line({0, 0}));
    outline.Closed = true;

    struct Element {
        int32_t kind;
        TVector2D point, centre;
    };
    const std::vector<Element> expected = {
        {0, {0, 0}, {}},          {0, {40, 0}, {}},         {1, {50, 10}, {40, 10}}, {0, {50, 30}, {}},
        {-1, {60, 40}, {60, 30}}, {1, {60, 64}, {60, 52}}, {0, {0, 64}, {}},        {1, {0, 34}, {0, 49}},
        {0, {0, 0}, {}},
    };
    outline.FitArcs(1000);
    ASSERT_EQ(outline.Count(), static_cast<int32_t>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const TAVertice& v = outline.Vertices[i];
        EXPECT_EQ(v.Kind, expected[i].kind);
        ExpectPoint(v.Point, expected[i].point.X, expected[i].point.Y);
        if (v.Kind != 0)
            ExpectPoint(v.Centre, expected[i].centre.X, expected[i].centre.Y, 1e-6);
    }
}

// Traced-like input: a noisy circle and a free curve. Every vertex of the result is one of the
// input points, every input point lies near the result and every element of the result near the
// input polyline.
TEST(ArcFit, ResultStaysWithinToleranceOfTheInput)
{
    const double arcTol = 0.05;
    TArcToleranceScope tol(arcTol);
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    struct Case {
        const char* name;
        std::function<TVector2D(double)> at;  // the shape over [0, 1]
        int points;
    };
    const std::vector<Case> cases = {
        {"noisy circle", [](double t) { return OnCircle({5, 5}, 30, 2 * Pi * t); }, 400},
        {"free curve",
         [](double t) { return TVector2D{100 * t, 15 * std::sin(6 * t) + 4 * std::sin(23 * t)}; }, 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TACurva curve;
        for (int i = 0; i <= c.points; ++i) {
            const TVector2D p = c.at(static_cast<double>(i) / c.points);
            curve.AddVertex(Line({p.X + noise(rng), p.Y + noise(rng)}));
        }
        const std::vector<TVector2D> input = PointsOf(curve);
        curve.FitArcs(1e6);
        ASSERT_LT(curve.Count(), c.points / 4);
        // A point lies within the fit tolerance of its circle, and a flat arc's line within the
        // curve tolerance of that circle.
        const double bound = 2.4 * arcTol + 1e-9;
        for (const TAVertice& v : curve.Vertices)
            EXPECT_LT(PolylineDistance(input, v.Point), 1e-12);
        for (const TVector2D& p : input) {
            TCurveHit hit;
            curve.NearestPoint(p, hit);
            EXPECT_LT(hit.Distance, bound);
        }
        for (int i = 1; i < curve.Count(); ++i) {
            const TAVertice& v = curve.Vertices[i];
            const TAArco arc = TAArco::CreateFromPoints(curve.Vertices[i - 1].Point, v.Point, v.Centre, v.Kind == 1, 0);
            for (double t = 0.1; t < 1; t += 0.1) {
                const TVector2D q = v.Kind == 0 ? MidPoint(arc.StartPt, arc.EndPt) : arc.PointAt(t);
                EXPECT_LT(PolylineDistance(input, q), bound);
            }
        }
    }
}

// An arc vertex in the input ends the run of lines before it: the fitted run comes first.
TEST(ArcFit, ArcVertexFollowsThePendingRun)
{
    TArcToleranceScope tol(0.05);
    TACurva c;
    AddCirclePoints(c, {0, 0}, 10, 0, 90, 11.25);
    c.AddVertex(TAVertice::CreateFull(1, {-10, 0}, {0, 0}, 4));
    c.AddVertex(Line({-10, -5}));
    c.FitArcs(1000);
    ASSERT_EQ(c.Count(), 4);
    EXPECT_EQ(c.Vertices[1].Kind, 1);
    ExpectPoint(c.Vertices[1].Point, 0, 10);
    EXPECT_EQ(c.Vertices[2].Tag, 4);
    ExpectPoint(c.Vertices[2].Point, -10, 0);
    EXPECT_EQ(c.Vertices[3].Kind, 0);
    ExpectPoint(c.Vertices[3].Point, -10, -5);
}

// Whatever the radius and the tolerance, an arc gives between 1 and 200 finite points that end
// at the arc's end.
TEST(ArcFit, TessellationStepStaysFinite)
{
    struct Case {
        const char* name;
        double tolerance;
        TVector2D start, end, centre;
        size_t minPoints, maxPoints;
    };
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<Case> cases = {
        {"radius 0", 0.01, {1, 0}, {0, 0}, {0, 0}, 1, 1},
        {"radius below the tolerance", 0.01, {0.004, 0}, {0, 0.004}, {0, 0}, 1, 1},
        {"radius at half the tolerance", 0.01, {0.005, 0}, {-0.005, 0}, {0, 0}, 1, 1},
        {"tolerance 0", 0, {10, 0}, {0, 10}, {0, 0}, 200, 200},
        {"negative tolerance", -1, {10, 0}, {0, 10}, {0, 0}, 200, 200},
        {"tolerance not a number", nan, {10, 0}, {0, 10}, {0, 0}, 1, 200},
        {"infinite tolerance", inf, {10, 0}, {0, 10}, {0, 0}, 1, 1},
        {"huge radius", 1e-6, {1e9, 0}, {0, 1e9}, {0, 0}, 200, 200},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TArcToleranceScope tol(c.tolerance);
        std::vector<TVector2D> points;
        const TAVertice prev = Line(c.start);
        TessellateVertex(TAVertice::CreateFull(1, c.end, c.centre, 0), &prev, points);
        EXPECT_GE(points.size(), c.minPoints);
        EXPECT_LE(points.size(), c.maxPoints);
        for (const TVector2D& p : points)
            EXPECT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
        ExpectPoint(points.back(), c.end.X, c.end.Y, 1e-6 * std::max(1.0, std::fabs(c.end.Y)));
    }
}

TEST(ArcFit, CoordinatesBeyondTheIntegerRangeAreRefused)
{
    const char* message = "ToIntCoord: Coordinate out of the integer range.";
    for (double v : {4.62e14, -4.62e14, 1e300, std::numeric_limits<double>::infinity(),
                     std::numeric_limits<double>::quiet_NaN()}) {
        SCOPED_TRACE(v);
        ExpectError<ECADOutOfBound>([&] { ToIntCoord(v); }, message);
    }
    TACurva c;
    c.AddVertex(Line({0, 0}));
    c.AddVertex(Line({1e15, 0}));
    ClipperLib::Path path = IntPath({{1, 2}});
    ExpectError<ECADOutOfBound>([&] { CurveToPath(c, false, path); }, message);
    EXPECT_EQ(path, IntPath({{1, 2}}));
}

TEST(ArcFit, PathsBecomeCurves)
{
    const ClipperLib::Path triangle = IntPath({{0, 0}, {10000, 0}, {10000, 10000}});
    struct Case {
        const char* name;
        std::function<void(TACurva&)> convert;
        std::vector<TVector2D> points;
        bool closed;
    };
    const std::vector<Case> cases = {
        {"closed, first point appended", [&](TACurva& c) { PathToClosedCurve(c, triangle, false, true); },
         {{0, 0}, {1, 0}, {1, 1}, {0, 0}}, true},
        {"closed, last point inserted", [&](TACurva& c) { PathToClosedCurve(c, triangle, false, false); },
         {{1, 1}, {0, 0}, {1, 0}, {1, 1}}, true},
        {"open", [&](TACurva& c) { PathToOpenCurve(c, triangle, false); }, {{0, 0}, {1, 0}, {1, 1}}, false},
        {"open path that returns to its start",
         [&](TACurva& c) { PathToOpenCurve(c, IntPath({{0, 0}, {10000, 0}, {0, 0}}), false); },
         {{0, 0}, {1, 0}, {0, 0}}, true},
        {"empty closed path", [](TACurva& c) { PathToClosedCurve(c, {}, true, true); }, {}, false},
        {"empty open path", [](TACurva& c) { PathToOpenCurve(c, {}, true); }, {}, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TACurva c;
        k.convert(c);
        ASSERT_EQ(c.Count(), static_cast<int32_t>(k.points.size()));
        for (size_t i = 0; i < k.points.size(); ++i) {
            EXPECT_EQ(c.Vertices[i].Kind, 0);
            EXPECT_EQ(c.Vertices[i].ID, -1);
            ExpectPoint(c.Vertices[i].Point, k.points[i].X, k.points[i].Y);
        }
        EXPECT_EQ(c.Closed, k.closed);
    }
}

TEST(ArcFit, CircleThroughIntegerPathsFitsArcs)
{
    TArcToleranceScope tol(0.05);
    TACurva circle;
    circle.AddVertex(Line({10, 0}));
    circle.AddVertex(TAVertice::CreateFull(1, {-10, 0}, {0, 0}, 0));
    circle.AddVertex(TAVertice::CreateFull(1, {10, 0}, {0, 0}, 0));
    ClipperLib::Path path;
    CurveToPath(circle, false, path);
    ASSERT_GT(path.size(), 20u);

    TACurva back;
    PathToClosedCurve(back, path, true, true);
    EXPECT_TRUE(back.Closed);
    ASSERT_GE(back.Count(), 3);
    ASSERT_LE(back.Count(), 4);
    for (int i = 1; i < back.Count(); ++i) {
        EXPECT_EQ(back.Vertices[i].Kind, 1);
        ExpectPoint(back.Vertices[i].Centre, 0, 0, 1e-3);
    }
}

TEST(ArcFit, ToleranceScopeRestoresOnException)
{
    const double before = ArcTolerance;
    try {
        TArcToleranceScope tol(0.7);
        throw ECADCoreException("stop");
    } catch (const ECADCoreException&) {
    }
    EXPECT_EQ(ArcTolerance, before);
}

// Lines and arcs both ways become drawing entities on the current layer; a clockwise arc is
// written as the counter-clockwise arc from its end back to its start.
TEST(ArcFit, CurveBecomesDrawingEntities)
{
    TACurva c;
    c.AddVertex(Line({0, 0}));
    c.AddVertex(Line({10, 0}));
    c.AddVertex(TAVertice::CreateFull(1, {10, 10}, {10, 5}, 0));
    c.AddVertex(TAVertice::CreateFull(-1, {0, 10}, {5, 10}, 0));
    c.AddVertex(Line({0, 0}));
    TQV_01Cmp2D drawing;
    drawing.CurrentLayer = 7;
    int32_t lines = 1, arcs = 2;
    c.AddToDrawing(drawing, false, nullptr, lines, arcs);
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(arcs, 4);
    ASSERT_EQ(drawing.ObjectsCount(), 4);

    struct Arc {
        TVector2D start, middle, end;
    };
    const Arc first{{10, 0}, {15, 5}, {10, 10}}, second{{0, 10}, {5, 5}, {10, 10}};
    int index = 0;
    auto it = drawing.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next(), ++index) {
        SCOPED_TRACE(index);
        EXPECT_EQ(obj->Layer, 7);
        EXPECT_TRUE(obj->UseLayerStyle);
        if (index == 0 || index == 3) {
            const auto* line = dynamic_cast<TLine2D*>(obj);
            ASSERT_NE(line, nullptr);
            const TVector2D a = c.Vertices[index].Point, b = c.Vertices[index + 1].Point;
            ExpectPoint({line->Points().Get(0).X, line->Points().Get(0).Y}, a.X, a.Y);
            ExpectPoint({line->Points().Get(1).X, line->Points().Get(1).Y}, b.X, b.Y);
            continue;
        }
        const auto* arc = dynamic_cast<TArco2D*>(obj);
        ASSERT_NE(arc, nullptr);
        const Arc& e = index == 1 ? first : second;
        EXPECT_FALSE(arc->Clockwise());
        for (const auto& [t, p] : {std::pair{0.0, e.start}, std::pair{0.5, e.middle}, std::pair{1.0, e.end}}) {
            const TPoint2D q = arc->PointAtParam(t);
            ExpectPoint({q.X, q.Y}, p.X, p.Y);
        }
    }

    TACurva lone;
    lone.AddVertex(Line({1, 1}));
    lone.AddToDrawing(drawing, false, nullptr, lines, arcs);
    EXPECT_EQ(drawing.ObjectsCount(), 4);
    EXPECT_EQ(lines + arcs, 7);
}
