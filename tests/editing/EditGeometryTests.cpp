// The editing tools' geometry: tables of picked pairs with their expected results (parallel and
// tangent cases, circles, faults), and seeded random cases checked for what each tool promises:
// a fillet arc touches both entities where they now end, trimmed and extended ends lie on the
// other entity, broken pieces cover the original, a join covers both inputs.
#include "EditGeometry.h"

#include "QVVariabili.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Eps = 1e-9;

TEditShape L(double X1, double Y1, double X2, double Y2)
{
    return TEditShape::Line({X1, Y1}, {X2, Y2});
}
// An arc from degrees to degrees, counter-clockwise.
TEditShape A(double CX, double CY, double R, double FromDeg, double SweepDeg)
{
    return TEditShape::OfArc({{CX, CY}, R, FromDeg * Pi / 180, SweepDeg * Pi / 180});
}
TEditShape Circle(double CX, double CY, double R)
{
    return A(CX, CY, R, 0, 360);
}

double Dist(const TVector2D& P, const TVector2D& Q)
{
    return std::hypot(P.X - Q.X, P.Y - Q.Y);
}

// Distance of P from the shape's infinite line or full circle.
double OffCarrier(const TEditShape& S, const TVector2D& P)
{
    if (S.IsArc)
        return std::fabs(Dist(P, S.Arc.Centre) - S.Arc.Radius);
    const double dx = S.B.X - S.A.X, dy = S.B.Y - S.A.Y;
    return std::fabs(dx * (P.Y - S.A.Y) - dy * (P.X - S.A.X)) / std::hypot(dx, dy);
}

// Distance of P from the shape itself (segment, or arc by its angular range).
double OffShape(const TEditShape& S, const TVector2D& P)
{
    if (!S.IsArc) {
        const double dx = S.B.X - S.A.X, dy = S.B.Y - S.A.Y;
        double t = ((P.X - S.A.X) * dx + (P.Y - S.A.Y) * dy) / (dx * dx + dy * dy);
        t = std::clamp(t, 0.0, 1.0);
        return Dist(P, {S.A.X + t * dx, S.A.Y + t * dy});
    }
    const double t = AngleFromStart(S.Arc, P);
    if (t <= S.Arc.Sweep + 1e-12 || IsFullCircle(S.Arc))
        return OffCarrier(S, P);
    return std::min(Dist(P, ArcStartPoint(S.Arc)), Dist(P, ArcEndPoint(S.Arc)));
}

std::vector<TVector2D> Ends(const TEditShape& S)
{
    if (S.IsArc)
        return {ArcStartPoint(S.Arc), ArcEndPoint(S.Arc)};
    return {S.A, S.B};
}

void ExpectPoint(const TVector2D& P, double X, double Y, const std::string& What)
{
    EXPECT_NEAR(P.X, X, 1e-9) << What;
    EXPECT_NEAR(P.Y, Y, 1e-9) << What;
}

void ExpectLine(const TEditShape& S, double X1, double Y1, double X2, double Y2, const std::string& What)
{
    ASSERT_FALSE(S.IsArc) << What;
    ExpectPoint(S.A, X1, Y1, What + " A");
    ExpectPoint(S.B, X2, Y2, What + " B");
}

// ---- fillet ----

struct TFilletCase {
    const char* Name;
    TEditShape S1, S2;
    TVector2D P1, P2;
    double Radius;
    TEditFault Fault;
    // Expected fillet arc centre (when it succeeds).
    TVector2D Centre;
};

TEST(EditGeometry, FilletTable)
{
    const TFilletCase cases[] = {
        {"crossing lines, upper left corner",
         L(0, 0, 10, 0),
         L(5, -5, 5, 5),
         {2, 0},
         {5, 3},
         1,
         TEditFault::None,
         {4, 1}},
        {"lines that do not reach",
         L(0, 0, 3, 0),
         L(5, 2, 5, 5),
         {1, 0},
         {5, 4},
         1,
         TEditFault::None,
         {4, 1}},
        {"crossing lines, lower right corner",
         L(0, 0, 10, 0),
         L(5, -5, 5, 5),
         {8, 0},
         {5, -3},
         1,
         TEditFault::None,
         {6, -1}},
        {"parallel lines", L(0, 0, 10, 0), L(0, 2, 10, 2), {1, 0}, {1, 2}, 1, TEditFault::Parallel, {}},
        {"antiparallel lines", L(0, 0, 10, 0), L(10, 2, 0, 2), {1, 0}, {1, 2}, 1, TEditFault::Parallel, {}},
        {"pick on the other line",
         L(0, 0, 10, 0),
         L(5, -5, 5, 5),
         {5, 0},
         {5, 3},
         1,
         TEditFault::PickOnEntity,
         {}},
        {"radius 0", L(0, 0, 10, 0), L(5, -5, 5, 5), {2, 0}, {5, 3}, 0, TEditFault::ZeroRadius, {}},
        {"negative radius", L(0, 0, 10, 0), L(5, -5, 5, 5), {2, 0}, {5, 3}, -1, TEditFault::ZeroRadius, {}},
        {"zero-length line", L(1, 1, 1, 1), L(5, -5, 5, 5), {1, 1}, {5, 3}, 1, TEditFault::Degenerate, {}},
        {"line and circle, tangent offsets",
         L(0, 0, 10, 0),
         Circle(5, 3, 1),
         {1, 0},
         {4, 3},
         1,
         TEditFault::None,
         {5, 1}},
        {"line and circle",
         L(0, 0, 10, 0),
         Circle(5, 3, 2),
         {1, 0},
         {4, 3},
         1,
         TEditFault::None,
         {5 - std::sqrt(5.0), 1}},
        {"line and circle far away",
         L(0, 0, 10, 0),
         Circle(5, 30, 1),
         {1, 0},
         {5, 29},
         1,
         TEditFault::NoCentre,
         {}},
        {"circle and line (swapped order)",
         Circle(5, 3, 2),
         L(0, 0, 10, 0),
         {4, 3},
         {1, 0},
         1,
         TEditFault::None,
         {5 - std::sqrt(5.0), 1}},
        {"two circles, tangent offsets",
         Circle(0, 0, 1),
         Circle(4, 0, 1),
         {0, 1},
         {4, 1},
         1,
         TEditFault::None,
         {2, 0}},
        {"two circles",
         Circle(0, 0, 1),
         Circle(3, 0, 1),
         {0, 1},
         {3, 1},
         1,
         TEditFault::None,
         {1.5, std::sqrt(1.75)}},
        {"concentric circles", Circle(0, 0, 1), Circle(0, 0, 5), {1, 0}, {5, 0}, 1, TEditFault::NoCentre, {}},
        {"zero-radius arc", A(0, 0, 0, 0, 90), L(0, 0, 10, 0), {0, 0}, {5, 0}, 1, TEditFault::Degenerate, {}},
    };
    for (const TFilletCase& c : cases) {
        const TCornerResult r = Fillet(c.S1, c.S2, c.P1, c.P2, c.Radius, false);
        EXPECT_EQ(r.Fault, c.Fault) << c.Name;
        if (r.Fault != TEditFault::None || c.Fault != TEditFault::None)
            continue;
        ExpectPoint(r.Arc.Centre, c.Centre.X, c.Centre.Y, c.Name);
        EXPECT_NEAR(r.Arc.Radius, c.Radius, Eps) << c.Name;
        EXPECT_LT(r.Arc.Sweep, Pi + Eps) << c.Name;
    }
}

TEST(EditGeometry, FilletOfCrossingLinesCutsBothArmsAtTheTangentPoints)
{
    const TCornerResult r = Fillet(L(0, 0, 10, 0), L(5, -5, 5, 5), {2, 0}, {5, 3}, 1, false);
    ASSERT_EQ(r.Fault, TEditFault::None);
    ExpectLine(r.First, 0, 0, 4, 0, "first");
    ExpectLine(r.Second, 5, 1, 5, 5, "second");
    EXPECT_TRUE(r.FirstChanged && r.SecondChanged);
    // The quarter turn from (4, 0) to (5, 1) about (4, 1).
    ExpectPoint(ArcStartPoint(r.Arc), 4, 0, "arc start");
    ExpectPoint(ArcEndPoint(r.Arc), 5, 1, "arc end");
}

TEST(EditGeometry, APickBetweenTheCornerAndTheTangentPointKeepsItsArm)
{
    // Radius 25: the tangent point on the vertical line is (0, 25); the pick at (0, 10) lies on
    // the upper arm, which stays (from the tangent point up), not the lower one through the corner.
    const TCornerResult r = Fillet(L(-40, 0, 40, 0), L(0, -40, 0, 40), {-30, 0}, {0, 10}, 25, false);
    ASSERT_EQ(r.Fault, TEditFault::None);
    ExpectLine(r.First, -40, 0, -25, 0, "horizontal");
    ExpectLine(r.Second, 0, 25, 0, 40, "vertical");
}

TEST(EditGeometry, FilletConstructionLeavesTheEntitiesAndGivesAFullCircle)
{
    const TCornerResult r = Fillet(L(0, 0, 10, 0), L(5, -5, 5, 5), {2, 0}, {5, 3}, 1, true);
    ASSERT_EQ(r.Fault, TEditFault::None);
    EXPECT_FALSE(r.FirstChanged || r.SecondChanged);
    EXPECT_TRUE(IsFullCircle(r.Arc));
    ExpectPoint(r.Arc.Centre, 4, 1, "centre");
}

TEST(EditGeometry, FilletNeverCutsAFullCircleOpen)
{
    const TCornerResult r = Fillet(L(0, 0, 10, 0), Circle(5, 3, 1), {1, 0}, {4, 3}, 1, false);
    ASSERT_EQ(r.Fault, TEditFault::None);
    EXPECT_TRUE(r.FirstChanged);
    EXPECT_FALSE(r.SecondChanged);
    EXPECT_TRUE(IsFullCircle(r.Second.Arc));
}

TEST(EditGeometry, FilletShortensAnArcOnlyWhereTheTangentPointLiesOnIt)
{
    // The lower left quarter of the circle about (5, 3) holds the tangent point (at about 222
    // degrees): the part before it goes.
    const TEditShape quarter = A(5, 3, 2, 180, 90);
    const TCornerResult cut =
        Fillet(L(0, 0, 10, 0), quarter, {1, 0}, ArcPoint(quarter.Arc, 250 * Pi / 180), 1, false);
    ASSERT_EQ(cut.Fault, TEditFault::None);
    EXPECT_TRUE(cut.SecondChanged);
    EXPECT_NEAR(ArcEndPoint(cut.Second.Arc).Y, 1, Eps);
    // The upper half does not meet the offset line on its side of the chord: no fillet.
    EXPECT_EQ(Fillet(L(0, 0, 10, 0), A(5, 3, 2, 0, 180), {1, 0}, {5, 5}, 1, false).Fault,
              TEditFault::NoCentre);
    // Two arcs: the tangent point on the first (at about 41 degrees) lies outside it, so it stays.
    const TCornerResult kept = Fillet(A(0, 0, 1, 60, 90), Circle(3, 0, 1), {0, 1}, {3, 1}, 1, false);
    ASSERT_EQ(kept.Fault, TEditFault::None);
    EXPECT_FALSE(kept.FirstChanged);
}

// ---- trim ----

struct TTrimCase {
    const char* Name;
    TEditShape S1, S2;
    TVector2D P1, P2;
    TEditFault Fault;
};

TEST(EditGeometry, TrimTable)
{
    const TTrimCase cases[] = {
        {"crossing lines", L(0, 0, 10, 0), L(5, -5, 5, 5), {2, 0}, {5, 3}, TEditFault::None},
        {"lines that do not meet", L(0, 0, 3, 0), L(5, 2, 5, 5), {1, 0}, {5, 4}, TEditFault::None},
        {"parallel lines", L(0, 0, 10, 0), L(0, 1, 10, 1), {1, 0}, {1, 1}, TEditFault::Parallel},
        {"line through an arc", L(0, 0, 10, 0), A(5, 0, 2, 0, 180), {1, 0}, {5, 2}, TEditFault::None},
        {"line short of a circle", L(0, 0, 2, 0), Circle(5, 0, 1), {1, 0}, {5, 1}, TEditFault::None},
        {"line missing the arc", L(0, 5, 10, 5), A(5, 0, 2, 0, 180), {1, 5}, {5, 2}, TEditFault::NoCrossing},
        {"crossing arcs", A(0, 0, 2, -90, 180), A(3, 0, 2, 90, 180), {2, 0}, {1, 0}, TEditFault::None},
        {"arcs meeting at an end",
         A(0, 0, 1, 0, 90),
         A(2, 0, 1, 90, 90),
         {0, 1},
         {2, 1},
         TEditFault::NoCrossing},
        {"zero-length line", L(0, 0, 0, 0), L(5, -5, 5, 5), {0, 0}, {5, 3}, TEditFault::Degenerate},
    };
    for (const TTrimCase& c : cases) {
        const TCornerResult r = Trim(c.S1, c.S2, c.P1, c.P2);
        EXPECT_EQ(r.Fault, c.Fault) << c.Name;
    }
}

TEST(EditGeometry, TrimKeepsThePickedSideEvenNearAnEnd)
{
    // The pick lies next to end A; the crossing lies inside: the part with the pick stays
    // (the end beyond the crossing goes), whichever end the pick is near.
    const TCornerResult r = Trim(L(0, 0, 10, 0), L(5, -5, 5, 5), {0.0001, 0}, {5, 4.9999});
    ASSERT_EQ(r.Fault, TEditFault::None);
    ExpectLine(r.First, 0, 0, 5, 0, "first");
    ExpectLine(r.Second, 5, 0, 5, 5, "second");
    // Lines that do not reach are both extended to the crossing.
    const TCornerResult e = Trim(L(0, 0, 3, 0), L(5, 2, 5, 5), {1, 0}, {5, 4});
    ExpectLine(e.First, 0, 0, 5, 0, "extended first");
    ExpectLine(e.Second, 5, 0, 5, 5, "extended second");
}

// ---- break ----

struct TBreakCase {
    const char* Name;
    TEditShape S1, S2;
    size_t Pieces1, Pieces2;
};

TEST(EditGeometry, BreakTable)
{
    const TBreakCase cases[] = {
        {"crossing lines", L(0, 0, 10, 0), L(5, -5, 5, 5), 2, 2},
        {"T touch", L(0, 0, 10, 0), L(5, 0, 5, 5), 2, 1},
        {"shared end", L(0, 0, 10, 0), L(10, 0, 10, 5), 0, 0},
        {"line through an arc twice", L(-5, 1, 5, 1), A(0, 0, 2, 0, 180), 3, 3},
        {"line through a circle's centre", L(-5, 0, 5, 0), Circle(0, 0, 2), 3, 2},
        {"line touching a circle", L(-5, 2, 5, 2), Circle(0, 0, 2), 2, 2},
        {"two circles", Circle(0, 0, 2), Circle(2, 0, 2), 3, 3},
        {"arc starting on a line", L(-5, 0, 5, 0), A(0, 0, 2, 0, 90), 2, 1},
    };
    for (const TBreakCase& c : cases) {
        const std::vector<TVector2D> xs = ShapeCrossings(c.S1, c.S2);
        if (c.Pieces1 == 0) {
            EXPECT_TRUE(xs.empty()) << c.Name;
            continue;
        }
        EXPECT_EQ(CutShape(c.S1, xs).size(), c.Pieces1) << c.Name;
        EXPECT_EQ(CutShape(c.S2, xs).size(), c.Pieces2) << c.Name;
    }
}

TEST(EditGeometry, PolylineCrossingThroughAVertexCutsOnce)
{
    // Q runs through P's vertex (5, 0): one cut of P there, no piece of no length.
    const std::vector<TVector2D> p{{0, 0}, {5, 0}, {10, 0}}, q{{5, -5}, {5, 5}};
    std::vector<TPolylineCut> cp, cq;
    CrossPolylines(p, q, cp, cq);
    EXPECT_EQ(cp.size(), 1U);
    EXPECT_EQ(cq.size(), 1U);
    const auto pieces = CutPolyline(p, cp);
    ASSERT_EQ(pieces.size(), 2U);
    EXPECT_EQ(pieces[0].size(), 2U);
    EXPECT_EQ(pieces[1].size(), 2U);
    EXPECT_EQ(CutPolyline(q, cq).size(), 2U);
}

// ---- divide, join, extend ----

TEST(EditGeometry, DivideHalves)
{
    const auto [l1, l2] = Divide(L(0, 0, 10, 0));
    ExpectLine(l1, 0, 0, 5, 0, "first half");
    ExpectLine(l2, 5, 0, 10, 0, "second half");
    const auto [c1, c2] = Divide(Circle(0, 0, 1));
    EXPECT_NEAR(c1.Arc.Sweep, Pi, Eps);
    ExpectPoint(ArcStartPoint(c2.Arc), -1, 0, "second half of the circle");
}

struct TJoinCase {
    const char* Name;
    TEditShape S1, S2;
    TEditFault Fault;
    double Length; // of the joined shape
};

TEST(EditGeometry, JoinTable)
{
    const TJoinCase cases[] = {
        {"collinear with a gap", L(0, 0, 2, 0), L(5, 0, 8, 0), TEditFault::None, 8},
        {"overlapping", L(0, 0, 5, 0), L(3, 0, 8, 0), TEditFault::None, 8},
        {"one inside the other", L(0, 0, 8, 0), L(3, 0, 4, 0), TEditFault::None, 8},
        {"not collinear", L(0, 0, 2, 0), L(5, 1, 8, 1), TEditFault::NotCollinear, 0},
        {"arcs end to start", A(0, 0, 1, 0, 90), A(0, 0, 1, 90, 90), TEditFault::None, Pi},
        {"arcs start to end", A(0, 0, 1, 90, 90), A(0, 0, 1, 0, 90), TEditFault::None, Pi},
        {"arcs with a gap", A(0, 0, 1, 0, 45), A(0, 0, 1, 90, 45), TEditFault::None, 0.75 * Pi},
        {"arcs covering the circle", A(0, 0, 1, 0, 200), A(0, 0, 1, 180, 200), TEditFault::None, 2 * Pi},
        {"arcs of other circles", A(0, 0, 1, 0, 90), A(0, 0, 2, 90, 90), TEditFault::NotConcentric, 0},
    };
    for (const TJoinCase& c : cases) {
        for (int order = 0; order < 2; ++order) {
            const TJoinResult r = order == 0 ? Join(c.S1, c.S2) : Join(c.S2, c.S1);
            EXPECT_EQ(r.Fault, c.Fault) << c.Name << " order " << order;
            if (r.Fault == TEditFault::None) {
                EXPECT_NEAR(ShapeLength(r.Joined), c.Length, 1e-9) << c.Name << " order " << order;
            }
        }
    }
}

struct TExtendCase {
    const char* Name;
    TEditShape S;
    double Length;
    TVector2D Pick;
    TEditFault Fault;
    double NewLength;
};

TEST(EditGeometry, ExtendTable)
{
    const TExtendCase cases[] = {
        {"line near its second end", L(0, 0, 10, 0), 2, {9, 0}, TEditFault::None, 12},
        {"line picked in the middle", L(0, 0, 10, 0), 2, {5, 0}, TEditFault::None, 12},
        {"line shortened", L(0, 0, 10, 0), -3, {9, 0}, TEditFault::None, 7},
        {"line turned round past its other end", L(0, 0, 10, 0), -15, {9, 0}, TEditFault::None, 5},
        {"line shortened to nothing", L(0, 0, 10, 0), -10, {9, 0}, TEditFault::TooShort, 0},
        {"length 0", L(0, 0, 10, 0), 0, {9, 0}, TEditFault::ZeroLength, 0},
        {"zero-length line", L(1, 1, 1, 1), 2, {1, 1}, TEditFault::Degenerate, 0},
        {"arc of 300 degrees by 90 more", A(0, 0, 1, 0, 300), Pi / 2, {1, 0}, TEditFault::None, 2 * Pi},
        {"arc shortened by its length", A(0, 0, 1, 0, 90), -Pi / 2, {1, 0}, TEditFault::TooShort, 0},
        {"arc shortened by more than its length", A(0, 0, 1, 0, 90), -5, {1, 0}, TEditFault::TooShort, 0},
        {"full circle", Circle(0, 0, 1), 1, {1, 0}, TEditFault::FullCircle, 0},
    };
    for (const TExtendCase& c : cases) {
        const TExtendResult r = Extend(c.S, c.Length, c.Pick);
        EXPECT_EQ(r.Fault, c.Fault) << c.Name;
        if (r.Fault == TEditFault::None) {
            EXPECT_NEAR(ShapeLength(r.Shape), c.NewLength, 1e-9) << c.Name;
        }
    }
    // Picked exactly in the middle, the first end grows; an arc picked near its start grows back.
    ExpectLine(Extend(L(0, 0, 10, 0), 2, {5, 0}).Shape, -2, 0, 10, 0, "middle pick");
    const TExtendResult back = Extend(A(0, 0, 1, 0, 90), Pi / 2, {1, 0.1});
    ExpectPoint(ArcEndPoint(back.Shape.Arc), 0, 1, "end stays");
    ExpectPoint(ArcStartPoint(back.Shape.Arc), 0, -1, "start grows back");
    EXPECT_FALSE(ExtendPoint({1, 1}, {1, 1}, 2));
}

// ---- constructions ----

TEST(EditGeometry, Constructions)
{
    // The foot may lie beyond the line's end.
    ExpectLine(PerpendicularLine(L(0, 0, 2, 0), {3, 4}).Shape, 3, 4, 3, 0, "perpendicular");
    EXPECT_EQ(PerpendicularLine(L(0, 0, 2, 0), {1, 0}).Fault, TEditFault::PickOnEntity);
    EXPECT_EQ(PerpendicularLine(L(0, 0, 0, 0), {1, 0}).Fault, TEditFault::Degenerate);
    EXPECT_EQ(PerpendicularLine(Circle(0, 0, 5), {0, 0}).Fault, TEditFault::PickAtCentre);
    const TConstructResult touch = TouchingCircle(Circle(0, 0, 5), {0, 10});
    ASSERT_EQ(touch.Fault, TEditFault::None);
    EXPECT_NEAR(touch.Shape.Arc.Radius, 5, Eps);
    EXPECT_EQ(TouchingCircle(L(0, 0, 2, 0), {1, 0}).Fault, TEditFault::PickOnEntity);

    const TEditArc c1 = Circle(0, 0, 1).Arc, c2 = Circle(4, 0, 1).Arc;
    ExpectLine(TangentLine2Circles(c1, c2, {0, 1}, {4, 1}).Shape, 0, 1, 4, 1, "upper outer tangent");
    const TEditShape inner = TangentLine2Circles(c1, c2, {0, 1}, {4, -1}).Shape;
    EXPECT_GT(inner.A.Y, 0);
    EXPECT_LT(inner.B.Y, 0);
    EXPECT_EQ(TangentLine2Circles(c1, Circle(0, 0, 3).Arc, {0, 1}, {0, 3}).Fault, TEditFault::Concentric);
    EXPECT_EQ(TangentLine2Circles(c1, Circle(0.5, 0, 3).Arc, {0, 1}, {0, 3}).Fault, TEditFault::NoTangent);

    const TEditArc r5 = Circle(0, 0, 5).Arc;
    ExpectLine(TangentLineAtAngle(r5, 10, 0, {0, 8}).Shape, 0, 5, 10, 5, "tangent above");
    ExpectLine(TangentLineAtAngle(r5, 10, 0, {0, -8}).Shape, 0, -5, 10, -5, "tangent below");
    EXPECT_EQ(TangentLineAtAngle(r5, 0, 0, {0, 8}).Fault, TEditFault::ZeroLength);
}

// ---- seeded random cases ----

struct TRandom {
    std::mt19937 Gen;
    explicit TRandom(unsigned Seed) : Gen(Seed) {}
    double U(double Lo, double Hi) { return std::uniform_real_distribution<double>(Lo, Hi)(Gen); }
    TVector2D P() { return {U(-50, 50), U(-50, 50)}; }
    TEditShape Shape(bool Arc)
    {
        if (!Arc)
            return TEditShape::Line(P(), P());
        return TEditShape::OfArc({P(), U(1, 30), U(0, 2 * Pi), U(0.2, 2 * Pi)});
    }
    // A point on the shape (not at an end).
    TVector2D On(const TEditShape& S)
    {
        const double t = U(0.05, 0.95);
        if (!S.IsArc)
            return {S.A.X + t * (S.B.X - S.A.X), S.A.Y + t * (S.B.Y - S.A.Y)};
        return ArcPoint(S.Arc, S.Arc.Start + t * S.Arc.Sweep);
    }
};

// Where the infinite lines of two (not parallel) lines cross.
TVector2D Crossing(const TEditShape& L1, const TEditShape& L2)
{
    const TVector2D u{L1.B.X - L1.A.X, L1.B.Y - L1.A.Y}, v{L2.B.X - L2.A.X, L2.B.Y - L2.A.Y};
    const TVector2D w{L2.A.X - L1.A.X, L2.A.Y - L1.A.Y};
    const double t = (w.X * v.Y - w.Y * v.X) / (u.X * v.Y - u.Y * v.X);
    return {L1.A.X + t * u.X, L1.A.Y + t * u.Y};
}

// The point of the arc's ends that is nearer to P.
const TVector2D& NearerEnd(const std::vector<TVector2D>& E, const TVector2D& P)
{
    return Dist(E[0], P) < Dist(E[1], P) ? E[0] : E[1];
}

TEST(EditGeometry, RandomFilletsTouchBothEntitiesWhereTheyEnd)
{
    const double tol = SystemTol();
    TRandom rnd(20261211);
    int done = 0;
    for (int i = 0; i < 3000; ++i) {
        const TEditShape s1 = rnd.Shape(i % 3 == 2), s2 = rnd.Shape(i % 3 != 0);
        const TVector2D p1 = rnd.On(s1), p2 = rnd.On(s2);
        const double radius = rnd.U(0.5, 10);
        const TCornerResult r = Fillet(s1, s2, p1, p2, radius, false);
        if (r.Fault != TEditFault::None)
            continue;
        ++done;
        SCOPED_TRACE("case " + std::to_string(i));
        EXPECT_NEAR(r.Arc.Radius, radius, 1e-9);
        const std::vector<TVector2D> arcEnds = Ends(TEditShape::OfArc(r.Arc));
        // Each entity's carrier passes through one end of the fillet arc, and touches it there:
        // the radius to that end is perpendicular to a line, along the radius of an arc.
        for (int k = 0; k < 2; ++k) {
            const TEditShape& s = k == 0 ? s1 : s2;
            const TEditShape& out = k == 0 ? r.First : r.Second;
            const bool changed = k == 0 ? r.FirstChanged : r.SecondChanged;
            const TVector2D t =
                OffCarrier(s, arcEnds[0]) < OffCarrier(s, arcEnds[1]) ? arcEnds[0] : arcEnds[1];
            EXPECT_LE(OffCarrier(s, t), tol);
            const TVector2D rt{t.X - r.Arc.Centre.X, t.Y - r.Arc.Centre.Y};
            if (!s.IsArc) {
                const TVector2D d{s.B.X - s.A.X, s.B.Y - s.A.Y};
                EXPECT_LE(std::fabs(rt.X * d.X + rt.Y * d.Y) / std::hypot(d.X, d.Y), tol);
            } else {
                const TVector2D rc{t.X - s.Arc.Centre.X, t.Y - s.Arc.Centre.Y};
                EXPECT_LE(std::fabs(rt.X * rc.Y - rt.Y * rc.X) / std::hypot(rc.X, rc.Y), tol);
            }
            // A changed entity now ends at its tangent point and keeps the picked part: an arc
            // or a line beside an arc still holds its pick; of two lines, each keeps the arm on
            // its pick's side of the corner.
            if (changed) {
                const TVector2D pick = k == 0 ? p1 : p2;
                EXPECT_LE(Dist(NearerEnd(Ends(out), t), t), tol);
                if (s1.IsArc || s2.IsArc) {
                    EXPECT_LE(OffShape(out, pick), tol);
                } else {
                    const TVector2D x = Crossing(s1, s2);
                    const TVector2D mid{(out.A.X + out.B.X) / 2 - x.X, (out.A.Y + out.B.Y) / 2 - x.Y};
                    EXPECT_GE(mid.X * (pick.X - x.X) + mid.Y * (pick.Y - x.Y), 0);
                }
            }
        }
    }
    EXPECT_GT(done, 500);
}

TEST(EditGeometry, RandomTrimsEndOnTheOtherEntity)
{
    const double tol = SystemTol();
    TRandom rnd(7);
    int done = 0;
    for (int i = 0; i < 3000; ++i) {
        const TEditShape s1 = rnd.Shape(i % 3 == 2), s2 = rnd.Shape(i % 3 != 0);
        const TVector2D p1 = rnd.On(s1), p2 = rnd.On(s2);
        const TCornerResult r = Trim(s1, s2, p1, p2);
        if (r.Fault != TEditFault::None)
            continue;
        ++done;
        SCOPED_TRACE("case " + std::to_string(i));
        // Some end of each result lies on both carriers: the cut point.
        for (const TEditShape* out : {&r.First, &r.Second}) {
            const std::vector<TVector2D> e = Ends(*out);
            const double off0 = OffCarrier(s1, e[0]) + OffCarrier(s2, e[0]);
            const double off1 = OffCarrier(s1, e[1]) + OffCarrier(s2, e[1]);
            EXPECT_LE(std::min(off0, off1), 2 * tol);
        }
        EXPECT_LE(OffShape(r.First, p1), tol);
        EXPECT_LE(OffShape(r.Second, p2), tol);
    }
    EXPECT_GT(done, 500);
}

TEST(EditGeometry, RandomBreaksCoverTheOriginal)
{
    TRandom rnd(99);
    int done = 0;
    for (int i = 0; i < 3000; ++i) {
        const TEditShape s1 = rnd.Shape(i % 3 == 2), s2 = rnd.Shape(i % 3 != 0);
        const std::vector<TVector2D> xs = ShapeCrossings(s1, s2);
        if (xs.empty())
            continue;
        ++done;
        SCOPED_TRACE("case " + std::to_string(i));
        for (const TEditShape* s : {&s1, &s2}) {
            const std::vector<TEditShape> pieces = CutShape(*s, xs);
            double total = 0;
            for (size_t k = 0; k < pieces.size(); ++k) {
                total += ShapeLength(pieces[k]);
                EXPECT_GT(ShapeLength(pieces[k]), SystemTol());
                // Each piece starts where the one before ends.
                if (k > 0) {
                    EXPECT_LE(Dist(Ends(pieces[k - 1])[1], Ends(pieces[k])[0]), 1e-7);
                }
            }
            EXPECT_NEAR(total, ShapeLength(*s), 1e-7);
        }
    }
    EXPECT_GT(done, 200);
}

TEST(EditGeometry, RandomJoinsCoverBothInputs)
{
    const double tol = SystemTol();
    TRandom rnd(5);
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        TEditShape s1, s2;
        if (i % 2 == 0) {
            // Two pieces of one line.
            const TVector2D a = rnd.P(), b = rnd.P();
            const auto at = [&](double t) { return TVector2D{a.X + t * (b.X - a.X), a.Y + t * (b.Y - a.Y)}; };
            s1 = TEditShape::Line(at(rnd.U(-1, 1)), at(rnd.U(-1, 1)));
            s2 = TEditShape::Line(at(rnd.U(-1, 1)), at(rnd.U(-1, 1)));
        } else {
            const TVector2D c = rnd.P();
            const double r = rnd.U(1, 20);
            s1 = TEditShape::OfArc({c, r, rnd.U(0, 2 * Pi), rnd.U(0.1, 3)});
            s2 = TEditShape::OfArc({c, r, rnd.U(0, 2 * Pi), rnd.U(0.1, 3)});
        }
        const TJoinResult r = Join(s1, s2);
        if (r.Fault == TEditFault::Degenerate)
            continue;
        ASSERT_EQ(r.Fault, TEditFault::None);
        for (const TEditShape* s : {&s1, &s2})
            for (const TVector2D& e : Ends(*s))
                EXPECT_LE(OffShape(r.Joined, e), 1e-6 + tol);
        EXPECT_NEAR(ShapeLength(Join(s2, s1).Joined), ShapeLength(r.Joined), 1e-7);
    }
}

TEST(EditGeometry, RandomExtensionsChangeTheLengthByTheLengthGiven)
{
    TRandom rnd(3);
    for (int i = 0; i < 2000; ++i) {
        SCOPED_TRACE("case " + std::to_string(i));
        const TEditShape s = rnd.Shape(i % 2 == 1);
        const double length = rnd.U(-5, 5);
        const TExtendResult r = Extend(s, length, rnd.On(s));
        if (r.Fault != TEditFault::None)
            continue;
        const double want = s.IsArc ? std::min(ShapeLength(s) + length, 2 * Pi * s.Arc.Radius)
                                    : std::fabs(ShapeLength(s) + length);
        EXPECT_NEAR(ShapeLength(r.Shape), want, 1e-7);
    }
}

} // namespace
