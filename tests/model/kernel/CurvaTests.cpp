#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVStream.h"
#include "TestBytes.h"
#include "UnitCurva.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <numbers>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

TAVertice Line(double X, double Y)
{
    return TAVertice::CreatePoint({X, Y}, 0);
}

TAVertice Arc(int32_t Kind, double X, double Y, double CX, double CY)
{
    return TAVertice::CreateFull(Kind, {X, Y}, {CX, CY}, 0);
}

void Fill(TACurva& C, const std::vector<TAVertice>& Vertices, bool Closed = false)
{
    for (const TAVertice& v : Vertices)
        C.AddVertex(v);
    C.Closed = Closed;
}

void ExpectPoint(const TVector2D& P, double X, double Y)
{
    EXPECT_NEAR(P.X, X, 1e-12);
    EXPECT_NEAR(P.Y, Y, 1e-12);
}

// The unit square, counter-clockwise or clockwise, its start repeated at the end.
void Square(TACurva& C, bool Clockwise)
{
    if (Clockwise)
        Fill(C, {Line(0, 0), Line(0, 1), Line(1, 1), Line(1, 0), Line(0, 0)}, true);
    else
        Fill(C, {Line(0, 0), Line(1, 0), Line(1, 1), Line(0, 1), Line(0, 0)}, true);
}

// A curve saved and read back with a tag; a marker byte follows the curve, as more data always
// does in a drawing file.
void RoundTrip(TACurva& Source, TACurva& Target, std::string_view Tag)
{
    TStreamWriter w;
    Source.SaveToStream(w);
    w.WriteByte(0xEE);
    TStreamReader r(w.Bytes());
    Target.LoadFromStream(r, Tag);
    EXPECT_EQ(r.Remaining(), 1u);
}

}  // namespace

// Reversing lines and arcs, the orientation of open and closed paths, moving a closed path's
// start, the stream form with and without the reversed flag and the ID, a direction set through a
// point with its sweep, and the box of an arc across two quadrants: one row each.
TEST(Curva, EdgeCases)
{
    struct Case {
        const char* name;
        std::function<void()> check;
    };
    const std::vector<Case> cases = {
        {"reversing a line and a counter-clockwise arc",
         [] {
             TACurva c;
             Fill(c, {Line(0, 0), Line(1, 0), Arc(1, 2, 1, 1, 1)});
             c.Reverse();
             ASSERT_EQ(c.Count(), 3);
             ExpectPoint(c.Vertices[0].Point, 2, 1);
             EXPECT_EQ(c.Vertices[1].Kind, -1);
             ExpectPoint(c.Vertices[1].Point, 1, 0);
             ExpectPoint(c.Vertices[1].Centre, 1, 1);
             EXPECT_EQ(c.Vertices[2].Kind, 0);
             ExpectPoint(c.Vertices[2].Point, 0, 0);
             EXPECT_TRUE(c.Reversed);
             c.Reverse();
             EXPECT_FALSE(c.Reversed);
             EXPECT_EQ(c.Vertices[2].Kind, 1);
             ExpectPoint(c.Vertices[2].Point, 2, 1);
             ExpectPoint(c.Vertices[2].Centre, 1, 1);
             EXPECT_EQ(c.Vertices[1].Kind, 0);
             for (const TAVertice& v : c.Vertices)
                 EXPECT_EQ(v.ID, -1);
         }},
        {"orientation of closed and open squares",
         [] {
             TACurva ccw, cw, open;
             Square(ccw, false);
             Square(cw, true);
             Square(open, true);
             open.Closed = false;
             EXPECT_DOUBLE_EQ(ccw.SignedArea(), -1);
             EXPECT_FALSE(ccw.IsClockwise());
             EXPECT_TRUE(cw.IsClockwise());
             EXPECT_FALSE(open.IsClockwise());
         }},
        {"SetStartIndex 2 on a closed square",
         [] {
             TACurva c;
             Square(c, false);
             c.SetStartIndex(2);
             ASSERT_EQ(c.Count(), 5);
             const double expected[5][2] = {{1, 1}, {0, 1}, {0, 0}, {1, 0}, {1, 1}};
             for (int i = 0; i < 5; ++i)
                 ExpectPoint(c.Vertices[i].Point, expected[i][0], expected[i][1]);
             EXPECT_DOUBLE_EQ(c.SignedArea(), -1);
         }},
        {"the reversed flag is saved and read with the current tag",
         [] {
             TACurva c, back;
             Fill(c, {Line(0, 0), Line(1, 0)});
             c.ID = 7;
             c.Reverse();
             TStreamWriter w;
             c.SaveToStream(w);
             EXPECT_EQ(c.SavedReversed, 1);
             EXPECT_EQ(std::vector<uint8_t>(w.Bytes().begin(), w.Bytes().begin() + 11),
                       HexBytes("01000000 00 0100 07000000"));
             RoundTrip(c, back, "QV-3.6");
             EXPECT_TRUE(back.Reversed);
             EXPECT_EQ(back.ID, 7);
             EXPECT_EQ(back.Count(), 2);
         }},
        {"the old form holds neither the reversed flag nor the ID",
         [] {
             const std::vector<uint8_t> bytes = HexBytes("00000000 01"
                                                         "00000000 0000000000000040 0000000000000000"
                                                         "0000000000000000 0000000000000000"
                                                         "03000000 05000000 EE");
             TStreamReader r(bytes);
             TACurva c;
             c.LoadFromStream(r, "CAD422");
             EXPECT_EQ(c.ID, 0);
             EXPECT_FALSE(c.Reversed);
             EXPECT_TRUE(c.Closed);
             ASSERT_EQ(c.Count(), 1);
             ExpectPoint(c.Vertices[0].Point, 2, 0);
             EXPECT_EQ(c.Vertices[0].Tag, 3);
             EXPECT_EQ(c.Vertices[0].ID, 5);
         }},
        {"SetDirectionThrough and Sweep of a quarter circle",
         [] {
             TAArco a = TAArco::CreateFromPoints({1, 0}, {0, 1}, {0, 0}, false, 0);
             a.SetDirectionThrough({std::sqrt(0.5), std::sqrt(0.5)});
             EXPECT_TRUE(a.CCW);
             EXPECT_NEAR(a.Sweep(), Pi / 2, 1e-12);
             a.CCW = false;
             EXPECT_NEAR(a.Sweep(), 3 * Pi / 2, 1e-12);
             a.SetDirectionThrough({-1, 0});
             EXPECT_FALSE(a.CCW);
         }},
        {"AddToBox of a counter-clockwise arc from 80 to 190 degrees",
         [] {
             const double r = 2, a80 = 80 * Pi / 180, a190 = 190 * Pi / 180;
             const TVector2D start = {r * std::cos(a80), r * std::sin(a80)};
             TABox box;
             TSpan::AddToBox(start, Arc(1, r * std::cos(a190), r * std::sin(a190), 0, 0), box);
             EXPECT_NEAR(box.MinX, -2, 1e-12);  // the point at 180 degrees
             EXPECT_NEAR(box.MaxY, 2, 1e-12);   // the point at 90 degrees
             EXPECT_NEAR(box.MaxX, start.X, 1e-12);
             EXPECT_NEAR(box.MinY, r * std::sin(a190), 1e-12);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.check();
    }
}

TEST(Curva, StreamThatEndsWithinOrRightAfterTheVerticesEmptiesTheCurve)
{
    TACurva source;
    Fill(source, {Line(0, 0), Line(1, 0), Line(1, 1)});
    TStreamWriter w;
    source.SaveToStream(w);
    const std::vector<uint8_t> whole = w.Bytes();
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<uint8_t> hugeCount = whole;
    hugeCount[0] = hugeCount[1] = hugeCount[2] = 0xFF;
    hugeCount[3] = 0x7F;
    const std::vector<Case> cases = {
        {"ends right after the vertices", whole},
        {"ends inside the last vertex", std::vector<uint8_t>(whole.begin(), whole.end() - 1)},
        {"count beyond the bytes", hugeCount},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TACurva target;
        target.AddVertex(Line(5, 5));
        target.Closed = true;
        TStreamReader r(c.bytes);
        ExpectError<ECADFileNotValid>([&] { target.LoadFromStream(r, "QV-3.6"); },
                                      "LoadFromStream: Invalid stream.");
        EXPECT_EQ(target.Count(), 0);
        EXPECT_FALSE(target.Closed);
    }
}

TEST(Curva, LoadingAppendsAndLegacyCurveReadsItsTail)
{
    TACurva source;
    Fill(source, {Line(0, 0), Arc(-1, 2, 0, 1, 0)}, true);
    source.ID = 3;
    TStreamWriter w;
    source.SaveToStream(w);
    w.WriteDouble(2.5);
    w.WriteInt32(9);
    w.WriteByte(0);

    TStreamReader r(w.Bytes());
    TCurvaNci legacy;
    legacy.AddVertex(Line(7, 7));
    legacy.LoadFromStream(r, "QV-002");
    EXPECT_EQ(legacy.Count(), 3);
    EXPECT_EQ(legacy.Vertices[2].Kind, -1);
    EXPECT_EQ(legacy.ID, 3);
    EXPECT_EQ(legacy.LegacyValue, 2.5);
    EXPECT_EQ(legacy.LegacyCode, 9);
    EXPECT_EQ(r.Remaining(), 1u);

    // An empty curve (count - 1 = -1) has no vertices to check against the stream's end.
    TACurva empty, back;
    TStreamWriter e;
    empty.SaveToStream(e);
    TStreamReader er(e.Bytes());
    back.LoadFromStream(er, "QV-3.6");
    EXPECT_EQ(back.Count(), 0);
    EXPECT_TRUE(er.AtEnd());
}

TEST(Curva, AssignCopiesAllButReversed)
{
    TACurva source, target;
    Fill(source, {Line(0, 0), Arc(1, 2, 0, 1, 0)}, true);
    source.ID = 4;
    source.SavedReversed = 1;
    source.Vertices[1].ID = 12;
    target.Reversed = true;
    target.AddVertex(Line(9, 9));
    target.Assign(source);
    EXPECT_EQ(target.Count(), 2);
    EXPECT_EQ(target.Vertices[1].ID, 12);
    EXPECT_EQ(target.ID, 4);
    EXPECT_TRUE(target.Closed);
    EXPECT_EQ(target.SavedReversed, 1);
    EXPECT_TRUE(target.Reversed);
}

// A rotation of the start must not invent elements: an out-of-range index or an open curve
// leaves the curve as it is.
TEST(Curva, SetStartIndexLeavesBadRequestsAlone)
{
    struct Case {
        const char* name;
        int32_t n;
        bool closed;
    };
    const std::vector<Case> cases = {
        {"zero", 0, true}, {"negative", -1, true}, {"count", 5, true}, {"beyond", 9, true}, {"open", 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TACurva curve;
        Square(curve, false);
        curve.Closed = c.closed;
        curve.SetStartIndex(c.n);
        ASSERT_EQ(curve.Count(), 5);
        ExpectPoint(curve.Vertices[0].Point, 0, 0);
        ExpectPoint(curve.Vertices[2].Point, 1, 1);
    }
}

TEST(Curva, SetStartIndexOnAnArcKeepsTheArcAsClosingElement)
{
    // A circle of two half arcs about the origin: start at the point of the first arc.
    TACurva c;
    Fill(c, {Line(1, 0), Arc(1, -1, 0, 0, 0), Arc(1, 1, 0, 0, 0)}, true);
    const double area = c.SignedArea();
    c.SetStartIndex(1);
    ASSERT_EQ(c.Count(), 3);
    EXPECT_EQ(c.Vertices[0].Kind, 0);
    ExpectPoint(c.Vertices[0].Point, -1, 0);
    EXPECT_EQ(c.Vertices[2].Kind, 1);
    ExpectPoint(c.Vertices[2].Point, -1, 0);
    EXPECT_NEAR(c.SignedArea(), area, 1e-12);
    EXPECT_NEAR(area, -Pi, 1e-12);
}

TEST(Curva, NearestPoint)
{
    TACurva c;
    // Two lines at the same distance from (1, 1), then a clockwise half circle from (2, 2)
    // over the top to (4, 2) about (3, 2).
    Fill(c, {Line(0, 0), Line(2, 0), Line(2, 2), Arc(-1, 4, 2, 3, 2)});
    struct Case {
        const char* name;
        TVector2D p;
        double distance;
        TVector2D point;
        int32_t index;
    };
    const std::vector<Case> cases = {
        {"a tie keeps the earlier segment", {1, 1}, 1, {1, 0}, 1},
        {"on the clockwise arc, not on the rest of its circle", {3, 3.5}, 0.5, {3, 3}, 3},
        {"below the clockwise arc: its nearer end", {3.9, 0.5}, std::hypot(0.1, 1.5), {4, 2}, 3},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        TCurveHit hit;
        c.NearestPoint(k.p, hit);
        EXPECT_NEAR(hit.Distance, k.distance, 1e-12);
        ExpectPoint(hit.Point, k.point.X, k.point.Y);
        EXPECT_EQ(hit.Index, k.index);
    }

    TACurva single;
    single.AddVertex(Line(0, 0));
    TCurveHit hit;
    hit.Distance = 3;
    hit.Index = 42;
    single.NearestPoint({0, 0}, hit);
    EXPECT_EQ(hit.Distance, 1e8);
    EXPECT_EQ(hit.Index, 42);
}

TEST(Span, AngleAndArea)
{
    struct Case {
        const char* name;
        TVector2D start;
        TAVertice v;
        double angle;
        double area;
    };
    const std::vector<Case> cases = {
        {"line", {0, 0}, Line(2, 2), 0, 2},
        {"counter-clockwise quarter", {1, 0}, Arc(1, 0, 1, 0, 0), Pi / 2, -Pi / 4},
        {"clockwise quarter", {0, 1}, Arc(-1, 1, 0, 0, 0), -Pi / 2, Pi / 4},
        {"counter-clockwise three quarters", {1, 0}, Arc(1, 0, -1, 0, 0), 3 * Pi / 2, -3 * Pi / 4},
        {"counter-clockwise half", {1, 0}, Arc(1, -1, 0, 0, 0), Pi, -Pi / 2},
        {"clockwise half", {1, 0}, Arc(-1, -1, 0, 0, 0), -Pi, Pi / 2},
        {"no sweep", {1, 0}, Arc(1, 1, 0, 0, 0), 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_NEAR(TSpan::SpanAngle(c.start, c.v), c.angle, 1e-12);
        EXPECT_NEAR(TSpan::SpanArea(c.start, c.v), c.area, 1e-12);
    }
    // The thresholds of nearly equal and nearly opposite directions.
    const double tiny = 1e-6;  // cos(1e-6) = 1 - 5e-13, above the threshold
    EXPECT_EQ(TSpan::AngleBetween({1, 0}, {std::cos(tiny), std::sin(tiny)}, 1), 0);
    EXPECT_EQ(TSpan::AngleBetween({1, 0}, {-std::cos(tiny), std::sin(tiny)}, -1), -Pi);
    EXPECT_NEAR(TSpan::AngleBetween({1, 0}, {std::cos(1e-4), std::sin(1e-4)}, -1), -(2 * Pi - 1e-4), 1e-9);
}

TEST(Span, AddToBoxAddsTheAxesTheArcCrosses)
{
    struct Case {
        const char* name;
        double fromDeg, toDeg;
        int32_t kind;
        TABox expected;
    };
    auto box = [](double minX, double minY, double maxX, double maxY) {
        TABox b;
        b.Valid = true;
        b.MinX = minX, b.MinY = minY, b.MaxX = maxX, b.MaxY = maxY;
        return b;
    };
    const double s = std::sqrt(0.5);
    const std::vector<Case> cases = {
        {"line: the two ends", 45, 135, 0, box(-s, s, s, s)},
        {"counter-clockwise across +Y", 45, 135, 1, box(-s, s, s, 1)},
        {"clockwise the long way round", 45, 135, -1, box(-1, -1, 1, s)},
        {"counter-clockwise across +X from below", -45, 45, 1, box(s, -s, 1, s)},
        {"within one quadrant", 10, 80, 1, box(std::cos(80 * Pi / 180), std::sin(10 * Pi / 180),
                                                std::cos(10 * Pi / 180), std::sin(80 * Pi / 180))},
        // Both ends in one quadrant, the arc around all others.
        {"counter-clockwise almost a full turn", 80, 10, 1, box(-1, -1, 1, 1)},
        {"clockwise almost a full turn", 10, 80, -1, box(-1, -1, 1, 1)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const double a = c.fromDeg * Pi / 180, b = c.toDeg * Pi / 180;
        TABox got;
        TSpan::AddToBox({std::cos(a), std::sin(a)}, Arc(c.kind, std::cos(b), std::sin(b), 0, 0), got);
        EXPECT_TRUE(got.Valid);
        EXPECT_NEAR(got.MinX, c.expected.MinX, 1e-12);
        EXPECT_NEAR(got.MinY, c.expected.MinY, 1e-12);
        EXPECT_NEAR(got.MaxX, c.expected.MaxX, 1e-12);
        EXPECT_NEAR(got.MaxY, c.expected.MaxY, 1e-12);
    }
}

TEST(Arco, AnglesAndPoints)
{
    TAArco ccw = TAArco::CreateFrom3D({0, -2, 5}, {-2, 0, 5}, {0, 0, 5}, true, 3);
    ccw.ComputeAngles();
    EXPECT_NEAR(ccw.StartAngle, -Pi / 2, 1e-12);
    EXPECT_NEAR(ccw.EndAngle, Pi, 1e-12);
    EXPECT_NEAR(ccw.Radius(), 2, 1e-12);
    EXPECT_EQ(ccw.MaxRadius, 1000);
    EXPECT_EQ(ccw.Tag, 3);
    ExpectPoint(ccw.PointAt(0.5), std::sqrt(2), std::sqrt(2));

    TAArco cw = TAArco::CreateFromPoints({-2, 0}, {0, -2}, {0, 0}, false, 0);
    cw.ComputeAngles();
    EXPECT_NEAR(cw.StartAngle, Pi, 1e-12);
    EXPECT_NEAR(cw.EndAngle, -Pi / 2, 1e-12);
    EXPECT_NEAR(cw.Sweep(), 3 * Pi / 2, 1e-12);
    ExpectPoint(cw.PointAt(0.5), std::sqrt(2), std::sqrt(2));
    ExpectPoint(cw.PointAt(1), 0, -2);
}

TEST(Curva, IdsAreCountedFromOne)
{
    TGestioneID ids;
    EXPECT_EQ(ids.NextID(), 1);
    EXPECT_EQ(ids.NextID(), 2);
    const int32_t next = ChainIDs.Counter + 1;
    EXPECT_EQ(ChainIDs.NextID(), next);
}

TEST(Curva, AreaImposesItsToleranceWhileItExists)
{
    const double before = ArcTolerance;
    {
        TArea area(0.5);
        EXPECT_EQ(ArcTolerance, 0.5);
        area.AddCurve(std::make_unique<TACurva>());
        EXPECT_EQ(area.Curves.size(), 1u);
    }
    EXPECT_EQ(ArcTolerance, before);
}
