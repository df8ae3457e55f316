#include "QVCurves.h"
#include "QVEntity.h"
#include "QVIntersect.h"
#include "QVVariabili.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using TPoints = std::vector<TVector2D>;

const double Root75 = std::sqrt(75.0); // 8.660...

// Centre (0, 0), radius 10: the upper half runs from (10, 0) counter-clockwise to (-10, 0).
const TIntersectArc UpperHalf{{10, 0}, {-10, 0}, {0, 0}, 10};
const TIntersectArc LowerHalf{{-10, 0}, {10, 0}, {0, 0}, 10};
const TIntersectArc FullCircle{{10, 0}, {10, 0}, {0, 0}, 10};

TIntersectArc Circle(double X, double Y, double R)
{
    return {{X + R, Y}, {X + R, Y}, {X, Y}, R};
}

void ExpectPoints(const TPoints& Got, const TPoints& Want, double Tol = 1e-9)
{
    ASSERT_EQ(Got.size(), Want.size());
    for (size_t i = 0; i < Want.size(); ++i) {
        SCOPED_TRACE("point " + std::to_string(i));
        EXPECT_NEAR(Got[i].X, Want[i].X, Tol);
        EXPECT_NEAR(Got[i].Y, Want[i].Y, Tol);
    }
}

class IntersectTest : public ::testing::Test {
protected:
    void SetUp() override { SystemTolRef = &SysTol; }
    void TearDown() override { ResetToleranceRefs(); }

    double SysTol = 0.0001;
};

} // namespace

TEST_F(IntersectTest, LineAgainstArcKeepsOrderAlongTheLine)
{
    struct TCase {
        const char* Name;
        TVector2D P1, P2;
        TIntersectArc Arc;
        bool InfiniteLine;
        TPoints Want;
    };
    const std::vector<TCase> cases = {
        {"segment left to right, upper half",
         {-20, 5},
         {20, 5},
         UpperHalf,
         false,
         {{Root75, 5}, {-Root75, 5}}},
        {"segment right to left, upper half",
         {20, 5},
         {-20, 5},
         UpperHalf,
         false,
         {{-Root75, 5}, {Root75, 5}}},
        {"segment against the lower half", {-20, 5}, {20, 5}, LowerHalf, false, {}},
        {"half segment", {-20, 5}, {0, 5}, UpperHalf, false, {{-Root75, 5}}},
        {"same points as an infinite line", {-20, 5}, {0, 5}, UpperHalf, true, {{Root75, 5}, {-Root75, 5}}},
        {"segment ending before the circle", {-20, 5}, {-15, 5}, UpperHalf, false, {}},
        {"infinite line missing the circle", {-20, 11}, {20, 11}, FullCircle, true, {}},
        // Only the arc intersections drop end points; a line keeps them.
        {"point at the arc's start", {0, 0}, {20, 0}, UpperHalf, false, {{10, 0}}},
        {"arc with equal ends is its circle",
         {-20, -5},
         {20, -5},
         FullCircle,
         false,
         {{Root75, -5}, {-Root75, -5}}},
        {"vertical segment", {5, -20}, {5, 20}, UpperHalf, false, {{5, Root75}}},
        {"diagonal through the centre",
         {-20, -20},
         {20, 20},
         FullCircle,
         false,
         {{10 / std::sqrt(2.0), 10 / std::sqrt(2.0)}, {-10 / std::sqrt(2.0), -10 / std::sqrt(2.0)}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoints got{{99, 99}}; // results are appended, what was there stays
        if (c.InfiniteLine)
            IntersectObjectArc(c.P1, c.P2, c.Arc, got);
        else
            IntersectLineArc(c.P1, c.P2, c.Arc, got);
        ASSERT_FALSE(got.empty());
        EXPECT_EQ(got[0].X, 99);
        ExpectPoints(TPoints(got.begin() + 1, got.end()), c.Want);
    }
}

TEST_F(IntersectTest, NearlyTangentLineGivesTheFootOfThePerpendicular)
{
    struct TCase {
        const char* Name;
        double Y;
        size_t Count;
    };
    const std::vector<TCase> cases = {
        {"inside by less than the tolerance", 10 - 0.5 * 0.0001, 1},
        {"outside by less than the tolerance", 10 + 0.5 * 0.0001, 1},
        {"exactly tangent", 10, 1},
        {"inside by more than the tolerance", 10 - 2 * 0.0001, 2},
        {"outside by more than the tolerance", 10 + 2 * 0.0001, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoints got;
        IntersectLineArc({-20, c.Y}, {20, c.Y}, FullCircle, got);
        ASSERT_EQ(got.size(), c.Count);
        if (c.Count == 1) {
            EXPECT_NEAR(got[0].X, 0, 1e-12);
            EXPECT_NEAR(got[0].Y, c.Y, 1e-12);
        }
    }
}

TEST_F(IntersectTest, CirclesKeepLeftOfTheCentreLineFirst)
{
    const double tol = 0.0001;
    struct TCase {
        const char* Name;
        TIntersectArc A, B;
        TPoints Want;
    };
    const std::vector<TCase> cases = {
        {"two crossings", Circle(0, 0, 5), Circle(8, 0, 5), {{4, 3}, {4, -3}}},
        {"centres swapped", Circle(8, 0, 5), Circle(0, 0, 5), {{4, -3}, {4, 3}}},
        {"vertical centre line", Circle(0, 0, 5), Circle(0, 8, 5), {{-3, 4}, {3, 4}}},
        {"outer tangency", Circle(0, 0, 5), Circle(10, 0, 5), {{5, 0}}},
        // Squared distance short of 100 by less than the tolerance: still one point.
        {"overlap by a hair",
         Circle(0, 0, 5),
         Circle(std::sqrt(100 - 0.5 * tol), 0, 5),
         {{std::sqrt(100 - 0.5 * tol) / 2, 0}}},
        // Squared distance above 100 by any amount: the strict test rejects it.
        {"miss by a hair", Circle(0, 0, 5), Circle(std::sqrt(100 + 1e-9), 0, 5), {}},
        {"inner tangency", Circle(0, 0, 5), Circle(3, 0, 2), {{5, 0}}},
        {"inner tangency, small first", Circle(3, 0, 2), Circle(0, 0, 5), {{5, 0}}},
        {"same circle twice", Circle(1, 1, 5), Circle(1, 1, 5), {}},
        {"concentric", Circle(0, 0, 5), Circle(0, 0, 3), {}},
        {"one inside the other", Circle(0, 0, 5), Circle(1, 0, 2), {}},
        {"far apart", Circle(0, 0, 5), Circle(20, 0, 5), {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoints got;
        IntersectCircles(c.A, c.B, got);
        ExpectPoints(got, c.Want, 1e-7);
    }
}

TEST_F(IntersectTest, ArcsDropPointsOffEitherArcAndAtTheirEnds)
{
    const TIntersectArc upper5{{5, 0}, {-5, 0}, {0, 0}, 5};
    struct TCase {
        const char* Name;
        TIntersectArc A, B;
        TPoints Want;
    };
    const std::vector<TCase> cases = {
        {"upper half against a circle", upper5, Circle(8, 0, 5), {{4, 3}}},
        {"circle against the upper half", Circle(8, 0, 5), upper5, {{4, 3}}},
        {"two full circles", Circle(0, 0, 5), Circle(8, 0, 5), {{4, 3}, {4, -3}}},
        // Each arc ends at (4, 3), their one common point.
        {"shared end point only", {{4, 3}, {-5, 0}, {0, 0}, 5}, {{13, 0}, {4, 3}, {8, 0}, 5}, {}},
        {"tangent at an end", upper5, {{5, 0}, {5, 0}, {10, 0}, 5}, {}},
        {"tangent inside the arcs", {{0, -5}, {0, 5}, {0, 0}, 5}, {{10, 5}, {10, -5}, {10, 0}, 5}, {{5, 0}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TPoints got;
        IntersectArcs(c.A, c.B, got);
        ExpectPoints(got, c.Want, 1e-7);
    }
}

TEST_F(IntersectTest, SegmentCases)
{
    struct TCase {
        const char* Name;
        TVector2D P1, P2, P3, P4;
        int Result;
        TVector2D Want;
    };
    const std::vector<TCase> cases = {
        {"crossing", {0, 0}, {2, 0}, {1, -1}, {1, 1}, 1, {1, 0}},
        {"shared end point", {0, 0}, {2, 0}, {2, 0}, {3, 5}, 0, {}},
        {"shared end within the tolerance", {0, 0}, {2, 0}, {2.00005, 0}, {3, 5}, 0, {}},
        {"ending on the other's interior", {0, 0}, {2, 0}, {1, 0}, {1, 1}, 1, {1, 0}},
        {"collinear overlap gives P3", {0, 0}, {4, 0}, {1, 0}, {3, 0}, 1, {1, 0}},
        {"collinear overlap reversed", {0, 0}, {4, 0}, {3, 0}, {1, 0}, 1, {3, 0}},
        {"collinear apart", {0, 0}, {1, 0}, {2, 0}, {3, 0}, 0, {}},
        {"parallel", {0, 0}, {4, 0}, {0, 1}, {4, 1}, 0, {}},
        {"boxes overlap, no crossing", {0, 0}, {4, 4}, {3, 0}, {4, 1}, 0, {}},
        {"diagonals of a square", {0, 0}, {2, 2}, {0, 2}, {2, 0}, 1, {1, 1}},
        // Short segments made an area below the tolerance and counted as parallel: the result
        // was P3, a point not on the first segment.
        {"short crossing", {0, 0}, {0.01, 0}, {0.005, -0.005}, {0.005, 0.005}, 1, {0.005, 0}},
        {"short diagonals", {0, 0}, {0.004, 0.004}, {0, 0.004}, {0.004, 0}, 1, {0.002, 0.002}},
        {"long, almost parallel, crossing", {0, 0}, {1000, 0}, {0, -0.02}, {1000, 0.02}, 1, {500, 0}},
        {"short collinear overlap gives P3", {0, 0}, {0.004, 0}, {0.001, 0}, {0.003, 0}, 1, {0.001, 0}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        double x = -7, y = -7;
        EXPECT_EQ(SegmentIntersectionXY(c.P1.X, c.P1.Y, c.P2.X, c.P2.Y, c.P3.X, c.P3.Y, c.P4.X, c.P4.Y, x, y),
                  c.Result);
        TVector2D r{-7, -7};
        EXPECT_EQ(SegmentsIntersect(c.P1, c.P2, c.P3, c.P4, r), c.Result == 1);
        if (c.Result == 1) {
            EXPECT_NEAR(x, c.Want.X, 1e-12);
            EXPECT_NEAR(y, c.Want.Y, 1e-12);
            EXPECT_EQ(r.X, x);
            EXPECT_EQ(r.Y, y);
        } else {
            EXPECT_EQ(x, -7); // untouched
        }
    }
}

// Random crossings: every point returned lies on both curves.
TEST_F(IntersectTest, EveryResultLiesOnBothCurves)
{
    std::mt19937 rng(12345);
    std::uniform_real_distribution<double> coord(-50, 50), radius(1, 40), angle(-4, 4);
    auto onCircle = [](const TVector2D& p, const TIntersectArc& a) {
        return std::fabs(std::hypot(p.X - a.Centre.X, p.Y - a.Centre.Y) - a.Radius) < 1e-7 * (1 + a.Radius);
    };
    auto randomArc = [&] {
        TIntersectArc a;
        a.Centre = {coord(rng), coord(rng)};
        a.Radius = radius(rng);
        const double s = angle(rng), e = angle(rng);
        a.Start = {a.Centre.X + a.Radius * std::cos(s), a.Centre.Y + a.Radius * std::sin(s)};
        a.End = {a.Centre.X + a.Radius * std::cos(e), a.Centre.Y + a.Radius * std::sin(e)};
        return a;
    };
    int found = 0;
    for (int i = 0; i < 2000; ++i) {
        const TIntersectArc a = randomArc(), b = randomArc();
        TPoints pts;
        IntersectCircles(a, b, pts);
        IntersectArcs(a, b, pts);
        for (const auto& p : pts) {
            ASSERT_TRUE(std::isfinite(p.X) && std::isfinite(p.Y));
            EXPECT_TRUE(onCircle(p, a) && onCircle(p, b));
        }
        const TVector2D p1{coord(rng), coord(rng)}, p2{coord(rng), coord(rng)};
        TPoints linePts;
        IntersectLineArc(p1, p2, a, linePts);
        for (const auto& p : linePts) {
            EXPECT_TRUE(onCircle(p, a));
            // On the segment: collinear with its ends and between them.
            const double cross = (p2.X - p1.X) * (p.Y - p1.Y) - (p2.Y - p1.Y) * (p.X - p1.X);
            EXPECT_NEAR(cross / std::hypot(p2.X - p1.X, p2.Y - p1.Y), 0, 1e-7);
            EXPECT_LE(std::min(p1.X, p2.X) - 1e-7, p.X);
            EXPECT_LE(p.X, std::max(p1.X, p2.X) + 1e-7);
        }
        TVector2D q1{coord(rng), coord(rng)}, q2{coord(rng), coord(rng)}, r;
        if (SegmentsIntersect(p1, p2, q1, q2, r)) {
            for (const auto& [a1, a2] : {std::pair{p1, p2}, std::pair{q1, q2}}) {
                const double cross = (a2.X - a1.X) * (r.Y - a1.Y) - (a2.Y - a1.Y) * (r.X - a1.X);
                EXPECT_NEAR(cross / std::hypot(a2.X - a1.X, a2.Y - a1.Y), 0, 1e-7);
            }
        }
        found += static_cast<int>(pts.size() + linePts.size());
    }
    EXPECT_GT(found, 1000); // the sample really exercised the crossings
}

// Circles that overlap by a rounding error, with no tolerance to call them tangent, used to give
// NaN points: the square root of a slightly negative number.
TEST_F(IntersectTest, RoundingNearTangencyGivesFinitePoints)
{
    SysTol = 0;
    const double r1 = 909.97378236106294, r2 = 24.376213030203473, x = 934.34999539126625;
    TPoints got;
    IntersectCircles(Circle(0, 0, r1), Circle(x, 0, r2), got);
    ASSERT_EQ(got.size(), 2u);
    for (const auto& p : got) {
        EXPECT_NEAR(p.X, r1, 1e-6);
        EXPECT_NEAR(p.Y, 0, 1e-3);
    }
}

TEST_F(IntersectTest, EntityPointsInDrawingCoordinates)
{
    TLine2D plain(1, {1, 2, 1}, {3, 4, 1});
    const TVector2D p = ObjectPointToWorld({1, 2, 1}, plain);
    EXPECT_EQ(p.X, 1);
    EXPECT_EQ(p.Y, 2);

    TLine2D moved(2, {0, 0, 1}, {10, 0, 1});
    moved.SetBaseTransform(TMatrix4::CreateTranslation(0, 5, 0));
    const TVector2D q = ObjectPointToWorld({10, 0, 1}, moved);
    EXPECT_EQ(q.X, 10);
    EXPECT_EQ(q.Y, 5);

    // A transform that changes W: X and Y are taken as they come out.
    TMatrix4 projective;
    projective.M[15] = 2;
    projective.M[12] = 4;
    TLine2D weighted(3, {0, 0, 1}, {1, 0, 1});
    weighted.SetBaseTransform(projective);
    const TVector2D r = ObjectPointToWorld({1, 0, 1}, weighted);
    EXPECT_EQ(r.X, 5);
    EXPECT_EQ(r.Y, 0);
}

TEST_F(IntersectTest, OffsetLineWorksInDrawingCoordinates)
{
    TLine2D line(7, {0, 0, 1}, {10, 0, 1});
    line.SetBaseTransform(TMatrix4::CreateTranslation(0, 5, 0));
    const auto left = OffsetLine(line, 2);
    EXPECT_EQ(left->ID, -1);
    EXPECT_FALSE(left->HasTransform());
    ASSERT_EQ(left->Points().Count(), 2);
    EXPECT_NEAR(left->Points().Get(0).X, 0, 1e-12);
    EXPECT_NEAR(left->Points().Get(0).Y, 7, 1e-12);
    EXPECT_NEAR(left->Points().Get(1).X, 10, 1e-12);
    EXPECT_NEAR(left->Points().Get(1).Y, 7, 1e-12);
    const auto right = OffsetLine(line, -2);
    EXPECT_NEAR(right->Points().Get(1).Y, 3, 1e-12);
}

// ---- Entities ----------------------------------------------------------------------------------

namespace {

constexpr double Pi = std::numbers::pi;

// An arc of radius R about (CX, CY) from angle A1 to A2 in its own measure: counter-clockwise
// for direction 1, clockwise for direction 0; then placed by M.
std::unique_ptr<TArco2D> MakeArc(double CX, double CY, double R, double A1, double A2, uint8_t Direction,
                                 const TMatrix4& M = IdentityMatrix)
{
    auto arc = std::make_unique<TArco2D>(-1, MakePoint2D(CX, CY), MakePoint2D(CX + R, CY), 0, 0);
    arc->SetDirection(Direction);
    arc->SetStartAngle(A1);
    arc->SetEndAngle(A2);
    arc->SetBaseTransform(M);
    arc->UpdateBox();
    return arc;
}

std::vector<TVector2D> WorldProfileOf(TArco2D& Arc)
{
    TProfileUse use(Arc);
    std::vector<TVector2D> out;
    for (const TPoint2D& p : Arc.GetProfilePoints()->Points())
        out.push_back(ObjectPointToWorld(p, Arc));
    return out;
}

double DistanceToPolyline(const TVector2D& P, const std::vector<TVector2D>& Line)
{
    double best = 1e300;
    for (size_t i = 1; i < Line.size(); ++i) {
        const TVector2D a = Line[i - 1], d{Line[i].X - a.X, Line[i].Y - a.Y};
        const double len2 = d.X * d.X + d.Y * d.Y;
        const double t = len2 > 0 ? std::clamp(((P.X - a.X) * d.X + (P.Y - a.Y) * d.Y) / len2, 0.0, 1.0) : 0;
        best = std::min(best, std::hypot(P.X - a.X - t * d.X, P.Y - a.Y - t * d.Y));
    }
    return best;
}

// On the arc as drawn: within the chord error of its world profile.
bool OnDrawnArc(const TVector2D& P, TArco2D& Arc)
{
    TArcInfo info;
    Arc.GetArcInfo(info);
    const double chordAngle = std::fabs(info.Sweep) / (2 * TCurve2D::ShapePrecision);
    const double sagitta = info.Radius * (1 - std::cos(chordAngle));
    return DistanceToPolyline(P, WorldProfileOf(Arc)) <= sagitta + 1e-7;
}

TMatrix4 Placement(double Degrees, bool Mirror, double DX, double DY)
{
    TMatrix4 m = Mirror ? TMatrix4::CreateMirror(0) : IdentityMatrix;
    TMatrix4 r = TMatrix4::CreateRotation(true, Degrees);
    m.Multiply(m, r);
    r = TMatrix4::CreateTranslation(DX, DY, 0);
    m.Multiply(m, r);
    return m;
}

} // namespace

// Arcs are filtered as they are drawn: a clockwise arc from 0 to pi is the lower half of its
// circle, and a mirror takes a half to the other side.
TEST_F(IntersectTest, EntityArcsAreFilteredAsDrawn)
{
    const TMatrix4 mirrorY = TMatrix4::CreateMirror(0);
    struct TCase {
        const char* Name;
        uint8_t Direction;
        TMatrix4 M;
        double Y;  // of the segment from (-20, Y) to (20, Y)
        TPoints Want;
    };
    const std::vector<TCase> cases = {
        {"counter-clockwise, above", 1, IdentityMatrix, 5, {{Root75, 5}, {-Root75, 5}}},
        {"counter-clockwise, below", 1, IdentityMatrix, -5, {}},
        {"clockwise, above", 0, IdentityMatrix, 5, {}},
        {"clockwise, below", 0, IdentityMatrix, -5, {{Root75, -5}, {-Root75, -5}}},
        {"counter-clockwise mirrored, below", 1, mirrorY, -5, {{Root75, -5}, {-Root75, -5}}},
        {"counter-clockwise mirrored, above", 1, mirrorY, 5, {}},
        {"clockwise mirrored, above", 0, mirrorY, 5, {{Root75, 5}, {-Root75, 5}}},
        {"clockwise mirrored, below", 0, mirrorY, -5, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto arc = MakeArc(0, 0, 10, 0, Pi, c.Direction, c.M);
        const TLine2D line(-1, {-20, c.Y, 1}, {20, c.Y, 1});
        TPoints got;
        IntersectLineArc(line, *arc, got);
        ExpectPoints(got, c.Want);
        // The infinite line through a polyline's first two points finds the same here.
        const TPoint2D firstTwo[] = {{-20, c.Y, 1}, {-19, c.Y, 1}, {0, 50, 1}};
        const TPolyline2D poly(-1, firstTwo);
        TPoints infinite;
        IntersectObjectArc(poly, *arc, infinite);
        ExpectPoints(infinite, c.Want);
    }
    // A primitive with a single point has no line.
    const TPunto2D point(-1, {0, 0, 1});
    TPoints none;
    IntersectObjectArc(point, *MakeArc(0, 0, 10, 0, Pi, 1), none);
    EXPECT_TRUE(none.empty());
}

TEST_F(IntersectTest, EntityArcsMeetingAtAnEndDoNotIntersectThere)
{
    // Radius 5 about (0, 0) and (8, 0): the circles cross at (4, 3) and (4, -3). The first arc
    // runs counter-clockwise from (5, 0) to (4, 3), the second clockwise from (3, 0) to (4, 3).
    const double toCrossing = std::atan2(3.0, 4.0);
    const auto a = MakeArc(0, 0, 5, 0, toCrossing, 1);
    const auto b = MakeArc(8, 0, 5, Pi, toCrossing - Pi, 0);
    TPoints got;
    IntersectArcs(*a, *b, got);
    EXPECT_TRUE(got.empty());
    IntersectCircles(*a, *b, got);
    ExpectPoints(got, {{4, 3}, {4, -3}});

    // The clockwise arc from 0 to 2 (its own measure) holds the lower crossing only.
    const auto lower = MakeArc(0, 0, 5, 0, 2, 0);
    const auto full = MakeArc(8, 0, 5, 0, 0, 1);
    TPoints crossing;
    IntersectArcs(*lower, *full, crossing);
    ExpectPoints(crossing, {{4, -3}});
}

// Random arcs of both directions, turned, mirrored and moved: every point found lies on both
// entities as drawn, and no crossing of the line with the drawn arc is missed.
TEST_F(IntersectTest, EntityResultsLieOnBothEntities)
{
    std::mt19937 rng(777);
    std::uniform_real_distribution<double> coord(-30, 30), radius(2, 20), angle(-3.1, 3.1), turn(0, 360);
    int found = 0;
    for (int i = 0; i < 1000; ++i) {
        const uint8_t direction = static_cast<uint8_t>(i % 2);
        const TMatrix4 m = Placement(turn(rng), (i / 2) % 2 == 1, coord(rng), coord(rng));
        const auto arc = MakeArc(coord(rng), coord(rng), radius(rng), angle(rng), angle(rng), direction, m);
        const uint8_t otherWay = direction == 0 ? 1 : 0;
        const auto other = MakeArc(coord(rng), coord(rng), radius(rng), angle(rng), angle(rng), otherWay);
        const TLine2D line(-1, {coord(rng), coord(rng), 1}, {coord(rng), coord(rng), 1});
        const TVector2D p1 = ObjectPointToWorld(line.Points().Get(0), line);
        const TVector2D p2 = ObjectPointToWorld(line.Points().Get(1), line);

        TPoints onLine;
        IntersectLineArc(line, *arc, onLine);
        for (const auto& p : onLine) {
            EXPECT_TRUE(OnDrawnArc(p, *arc));
            const double cross = (p2.X - p1.X) * (p.Y - p1.Y) - (p2.Y - p1.Y) * (p.X - p1.X);
            EXPECT_NEAR(cross / std::hypot(p2.X - p1.X, p2.Y - p1.Y), 0, 1e-7);
        }
        // Every crossing with the whole circle that the drawn arc holds well inside is found.
        TIntersectArc circle = IntersectArcOf(*arc);
        circle.End = circle.Start;
        TPoints all;
        IntersectLineArc(p1, p2, circle, all);
        TArcInfo info;
        arc->GetArcInfo(info);
        for (const auto& p : all) {
            const bool nearEnd = std::hypot(p.X - info.StartPt.X, p.Y - info.StartPt.Y) < 0.1 ||
                                 std::hypot(p.X - info.EndPt.X, p.Y - info.EndPt.Y) < 0.1;
            if (nearEnd || !OnDrawnArc(p, *arc))
                continue;
            const bool listed = std::any_of(onLine.begin(), onLine.end(), [&](const TVector2D& q) {
                return std::hypot(p.X - q.X, p.Y - q.Y) < 1e-9;
            });
            EXPECT_TRUE(listed) << p.X << ", " << p.Y;
        }

        TPoints crossings;
        IntersectArcs(*arc, *other, crossings);
        for (const auto& p : crossings)
            EXPECT_TRUE(OnDrawnArc(p, *arc) && OnDrawnArc(p, *other));
        found += static_cast<int>(onLine.size() + crossings.size());
    }
    EXPECT_GT(found, 150); // the sample really exercised the crossings
}

// The offset arc lies in drawing coordinates on the same centre, runs the same way between the
// same directions, and keeps its ends on its profile.
TEST_F(IntersectTest, OffsetArcTable)
{
    struct TCase {
        const char* Name;
        uint8_t Direction;
        TMatrix4 M;
        double Dist;
    };
    const std::vector<TCase> cases = {
        {"counter-clockwise, outwards", 1, IdentityMatrix, 2},
        {"counter-clockwise, inwards", 1, IdentityMatrix, -3},
        // Used to come back counter-clockwise: the rest of the circle.
        {"clockwise", 0, IdentityMatrix, 2},
        {"turned and moved", 1, Placement(40, false, 5, -7), 1.5},
        {"mirrored", 1, Placement(0, true, 0, 0), 2},
        {"clockwise, mirrored and turned", 0, Placement(75, true, -3, 4), 2},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto arc = MakeArc(1, 2, 6, 0.4, 2.6, c.Direction, c.M);
        const auto offset = OffsetArc(*arc, c.Dist);
        EXPECT_EQ(offset->ID, -1);
        EXPECT_FALSE(offset->HasTransform());
        EXPECT_EQ(offset->Direction(), c.Direction);
        TArcInfo from, to;
        arc->GetArcInfo(from);
        offset->GetArcInfo(to);
        EXPECT_NEAR(to.Center.X, from.Center.X, 1e-9);
        EXPECT_NEAR(to.Center.Y, from.Center.Y, 1e-9);
        EXPECT_NEAR(to.Radius, 6 + c.Dist, 1e-9);
        EXPECT_NEAR(to.Sweep, from.Sweep, 1e-9);
        // Each point of the offset is its source's point moved along the radius.
        const double k = (6 + c.Dist) / 6;
        for (double t : {0.0, 0.5, 1.0}) {
            SCOPED_TRACE(t);
            const TPoint2D p = arc->PointAtParam(t), q = offset->PointAtParam(t);
            EXPECT_NEAR(q.X, from.Center.X + k * (p.X - from.Center.X), 1e-9);
            EXPECT_NEAR(q.Y, from.Center.Y + k * (p.Y - from.Center.Y), 1e-9);
        }
        const std::vector<TVector2D> profile = WorldProfileOf(*offset);
        ExpectPoints({to.StartPt, to.EndPt}, {profile.front(), profile.back()});
    }
}
