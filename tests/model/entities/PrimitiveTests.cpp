#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVVariabili.h"
#include "RecordBytes.h"
#include "SavedBytes.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

using namespace RecordBytes;

// ID 0x0A, layer 2, visible and enabled.
const std::string Head = "0A000000 02 03 ";

// Points as X, Y, W.
const std::string P_1_2 = D1 + D2 + D1;
const std::string P_3_half_w2 = D3 + DHalf + D2;  // W = 2: the cartesian point is (1.5, 0.25)
const std::string P_0_0 = D0 + D0 + D1;

bool SamePoint(const TPoint2D& a, const TPoint2D& b) { return a.X == b.X && a.Y == b.Y && a.W == b.W; }

TMatrix4 Translation(double dx, double dy) { return TMatrix4::CreateTranslation(dx, dy, 0); }

struct TClassCase {
    const char* name;
    TGraphicClass cls;
};

std::vector<TClassCase> Classes()
{
    return {{"point", GraphicClassOf<TPunto2D>("TPunto2D")},
            {"line", GraphicClassOf<TLine2D>("TLine2D")},
            {"polyline", GraphicClassOf<TPolyline2D>("TPolyline2D")},
            {"polygon", GraphicClassOf<TPolygon2D>("TPolygon2D")}};
}

}  // namespace

TEST(Primitive, RecordsByClassAndTag)
{
    struct Case {
        const char* name;
        TGraphicClass cls;
        const char* tag;
        std::string placement;  // as stored under the tag
        bool translated;
        std::string points;  // count, points, growable
        std::vector<TPoint2D> expected;
        bool growable;
    };
    const std::string one = "0100 " + P_3_half_w2 + "00";
    const std::string two = "0200 " + P_1_2 + P_3_half_w2 + "00";
    const std::string three = "0300 " + P_1_2 + P_0_0 + P_3_half_w2 + "01";
    const std::vector<TPoint2D> pt1 = {{3, 0.5, 2}};
    const std::vector<TPoint2D> pt2 = {{1, 2, 1}, {3, 0.5, 2}};
    const std::vector<TPoint2D> pt3 = {{1, 2, 1}, {0, 0, 1}, {3, 0.5, 2}};
    const Case cases[] = {
        {"point, current tag", GraphicClassOf<TPunto2D>("TPunto2D"), "QV-3.6", Identity4, false, one, pt1, false},
        {"line, current tag", GraphicClassOf<TLine2D>("TLine2D"), "QV-3.6", Translation4, true, two, pt2, false},
        {"polyline, current tag", GraphicClassOf<TPolyline2D>("TPolyline2D"), "QV-3.6", Translation4, true, three,
         pt3, true},
        {"polygon, current tag", GraphicClassOf<TPolygon2D>("TPolygon2D"), "QV-3.6", Identity4, false, three, pt3,
         true},
        {"point, QV-002", GraphicClassOf<TPunto2D>("TPunto2D"), "QV-002", Translation3, true, one, pt1, false},
        {"line, QV-002", GraphicClassOf<TLine2D>("TLine2D"), "QV-002", Identity3, false, two, pt2, false},
        {"polyline, CAD422", GraphicClassOf<TPolyline2D>("TPolyline2D"), "CAD422", Translation3, true, three, pt3,
         true},
        {"polygon, CAD422", GraphicClassOf<TPolygon2D>("TPolygon2D"), "CAD422", Identity3, false, three, pt3, true},
        {"empty polyline", GraphicClassOf<TPolyline2D>("TPolyline2D"), "QV-3.6", Identity4, false, "0000 01", {},
         true},
        {"growable line", GraphicClassOf<TLine2D>("TLine2D"), "QV-3.6", Identity4, false,
         "0200 " + P_1_2 + P_3_half_w2 + "01", pt2, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = HexBytes(Head + c.placement + c.points);
        TStreamReader r(bytes);
        std::unique_ptr<TGraphicObject> obj = c.cls.CreateFromStream(r, c.tag);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(obj->ClassName(), c.cls.Name);
        auto& prim = dynamic_cast<TPrimitive2D&>(*obj);
        EXPECT_EQ(prim.ID, 10);
        EXPECT_EQ(prim.Layer, 2);
        EXPECT_EQ(prim.HasTransform(), c.translated);
        EXPECT_EQ(prim.Handler(), PrimitiveHandler());
        ASSERT_EQ(prim.Points().Count(), static_cast<int>(c.expected.size()));
        for (size_t i = 0; i < c.expected.size(); ++i)
            EXPECT_TRUE(SamePoint(prim.Points().Get(static_cast<int>(i)), c.expected[i])) << i;
        EXPECT_EQ(prim.Points().Growable, c.growable);

        // Written back, whatever the tag read, as the current record, bit for bit.
        const std::string current = c.translated ? Translation4 : Identity4;
        EXPECT_EQ(Saved(prim), HexBytes(Head + current + c.points));
    }
}

TEST(Primitive, EveryCutRecordIsRefused)
{
    for (const TClassCase& c : Classes()) {
        const std::string points = c.cls.Name == "TPunto2D" ? "0100 " + P_1_2 + "00"
                                                            : "0200 " + P_1_2 + P_3_half_w2 + "00";
        for (const char* tag : {"QV-3.6", "CAD422"}) {
            SCOPED_TRACE(std::string(c.name) + " " + tag);
            const std::string placement = std::string(tag) == "QV-3.6" ? Translation4 : Translation3;
            const std::vector<uint8_t> whole = HexBytes(Head + placement + points);
            {
                TStreamReader r(whole);
                EXPECT_NO_THROW(c.cls.CreateFromStream(r, tag));
            }
            for (size_t n = 0; n < whole.size(); ++n) {
                TStreamReader r(whole.data(), n);
                EXPECT_THROW(c.cls.CreateFromStream(r, tag), ECADFileNotValid) << n << " bytes";
            }
        }
    }
}

TEST(Primitive, CountBeyondTheDataIsRefusedBeforeReading)
{
    const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "FFFF " + P_1_2 + "00");
    TStreamReader r(bytes);
    EXPECT_THROW(TPolyline2D(r, "QV-3.6"), ECADFileNotValid);
}

TEST(Primitive, FixedClassesRefuseMorePointsThanTheyHold)
{
    // Offset 136 is the point count, after the 6-byte head and the 128-byte matrix.
    const std::string three = "0300 " + P_1_2 + P_0_0 + P_3_half_w2 + "00";
    {
        const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + three);
        TStreamReader r(bytes);
        ExpectError<ECADFileNotValid>([&] { TLine2D line(r, "QV-3.6"); },
                                      "Invalid stream: a TLine2D holds at most 2 points, the record gives 3 at "
                                      "offset 134.");
    }
    {
        const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "0200 " + P_1_2 + P_0_0 + "00");
        TStreamReader r(bytes);
        ExpectError<ECADFileNotValid>([&] { TPunto2D point(r, "QV-3.6"); },
                                      "Invalid stream: a TPunto2D holds at most 1 points, the record gives 2 at "
                                      "offset 134.");
    }
    // A line left without points (assigned from another class) may have been saved: it loads.
    const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "0000 00");
    TStreamReader r(bytes);
    TLine2D line(r, "QV-3.6");
    EXPECT_EQ(line.Points().Count(), 0);
}

TEST(Primitive, ConstructorsFillAndFixTheirSets)
{
    const TPoint2D a{1, 2, 1}, b{4, -1, 1}, c{0, 5, 1};
    const std::vector<TPoint2D> abc = {a, b, c};
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TPrimitive2D>()> make;
        int count;
        bool growable;
        TRect2D box;
    };
    const Case cases[] = {
        {"point", [&] { return std::make_unique<TPunto2D>(-1, a); }, 1, false, MakeRect2D(1, 2, 1, 2)},
        {"line", [&] { return std::make_unique<TLine2D>(-1, a, b); }, 2, false, MakeRect2D(1, -1, 4, 2)},
        {"polyline", [&] { return std::make_unique<TPolyline2D>(-1, abc); }, 3, true, MakeRect2D(0, -1, 4, 5)},
        {"polygon", [&] { return std::make_unique<TPolygon2D>(-1, abc); }, 3, true, MakeRect2D(0, -1, 4, 5)},
        {"empty primitive", [&] { return std::make_unique<TPrimitive2D>(-1, 4); }, 0, true, MakeRect2D(0, 0, 0, 0)},
        {"styled line", [&] { return std::make_unique<TLine2D>(-1, a, b, 0xFF, 2, Translation(10, 0)); }, 2, false,
         MakeRect2D(11, -1, 14, 2)},
        {"styled polyline",
         [&] { return std::make_unique<TPolyline2D>(-1, abc, 0xFF, 2, Translation(0, 10)); }, 3, true,
         MakeRect2D(0, 9, 4, 15)},
    };
    for (const Case& cs : cases) {
        SCOPED_TRACE(cs.name);
        const std::unique_ptr<TPrimitive2D> p = cs.make();
        EXPECT_EQ(p->ID, -1);
        EXPECT_EQ(p->Points().Count(), cs.count);
        EXPECT_EQ(p->Points().Growable, cs.growable);
        EXPECT_EQ(p->Handler(), PrimitiveHandler());
        EXPECT_EQ(p->Box.First.X, cs.box.First.X);
        EXPECT_EQ(p->Box.First.Y, cs.box.First.Y);
        EXPECT_EQ(p->Box.Second.X, cs.box.Second.X);
        EXPECT_EQ(p->Box.Second.Y, cs.box.Second.Y);
    }
    TLine2D styled(-1, a, b, 0x00FF00, 3, Translation(1, 1));
    EXPECT_FALSE(styled.UseLayerStyle);
    EXPECT_EQ(styled.Color, 0x00FF00);
    EXPECT_EQ(styled.LineWidth, 3);
}

TEST(Primitive, ChangingAPointRecomputesTheBoxAndNotifies)
{
    TLine2D line(-1, {0, 0, 1}, {1, 1, 1});
    int changes = 0;
    line.SetOnChange([&](TGraphicObject&) { ++changes; });
    line.Points().SetPoint(1, {5, 3, 1});
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(line.Box.Second.X, 5);
    EXPECT_EQ(line.Box.Second.Y, 3);

    line.SetModelTransform(Translation(1, 0));
    EXPECT_EQ(line.Box.Second.X, 6);
}

TEST(Primitive, FixedSetRefusesAPointPastItsCapacity)
{
    TLine2D line(-1, {0, 0, 1}, {1, 1, 1});
    ExpectError<ECADOutOfBound>([&] { line.Points().SetPoint(2, {5, 5, 1}); },
                                "TPointsSet2D.Put: Vector out of bound");
    EXPECT_EQ(line.Points().Count(), 2);
    EXPECT_EQ(line.Points().Get(1).X, 1);
}

TEST(Primitive, HitTestCodes)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TPrimitive2D>()> make;
        TPoint2D pt;
        int32_t code;
        double dist;
    };
    const std::vector<TPoint2D> zigzag = {{0, 0, 1}, {10, 0, 1}, {10, 10, 1}};
    // Aperture 1 throughout.
    const Case cases[] = {
        {"point on it", [] { return std::make_unique<TPunto2D>(1, TPoint2D{5, 5, 1}); }, {5.5, 5, 1}, 0, 0.5},
        // The corner of the aperture square lies farther than the aperture itself.
        {"point at the aperture's corner", [] { return std::make_unique<TPunto2D>(1, TPoint2D{5, 5, 1}); },
         {6, 6, 1}, HitInsideBox, 1},
        {"point at the aperture's edge", [] { return std::make_unique<TPunto2D>(1, TPoint2D{5, 5, 1}); },
         {5, 6, 1}, 0, 1},
        {"point missed", [] { return std::make_unique<TPunto2D>(1, TPoint2D{5, 5, 1}); }, {6.5, 5, 1}, HitMiss,
         1e8},
        {"line near its middle", [] { return std::make_unique<TLine2D>(1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}); },
         {5, 0.25, 1}, HitOutline, 0.25},
        {"line end", [] { return std::make_unique<TLine2D>(1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}); },
         {10.5, 0, 1}, 1, 0.5},
        {"polyline inside its box, off the segments",
         [&] { return std::make_unique<TPolyline2D>(1, zigzag); }, {3, 5, 1}, HitInsideBox, 1},
        {"polyline's closing edge is not tested",
         [&] { return std::make_unique<TPolyline2D>(1, zigzag); }, {5, 5, 1}, HitInsideBox, 1},
        {"polyline's second segment", [&] { return std::make_unique<TPolyline2D>(1, zigzag); }, {10.5, 4, 1},
         HitOutline, 0.5},
        {"polygon on a vertex", [&] { return std::make_unique<TPolygon2D>(1, zigzag); }, {10, 0, 1}, HitMiss, 1e8},
        {"translated line, picked where it is shown",
         [] { return std::make_unique<TLine2D>(1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}, 0, 1, Translation(0, 20)); },
         {5, 20.5, 1}, HitOutline, 0.5},
        {"translated line, where it was", [] {
             return std::make_unique<TLine2D>(1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}, 0, 1, Translation(0, 20));
         },
         {5, 0, 1}, HitMiss, 1e8},
        {"empty primitive at its zero box", [] { return std::make_unique<TPolyline2D>(1); }, {0.5, 0, 1},
         HitInsideBox, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TPrimitive2D> p = c.make();
        double dist = -1;
        EXPECT_EQ(p->HitTest(c.pt, dist, 1), c.code);
        EXPECT_DOUBLE_EQ(dist, c.dist);
    }
}

TEST(Primitive, EqualDistancesGoToTheLaterControlPoint)
{
    const std::vector<TPoint2D> pts = {{0, 0, 1}, {2, 0, 1}, {1, 5, 1}};
    TPolyline2D poly(1, pts);
    double dist = 1;
    EXPECT_EQ(PrimitiveHandler()->PickControlPoint(poly, {1, 0, 1}, dist, 1), 1);
    EXPECT_EQ(dist, 1);
    // Not a primitive: nothing to pick.
    TObject2D plain(2);
    dist = 1;
    EXPECT_EQ(PrimitiveHandler()->PickControlPoint(plain, {0, 0, 1}, dist, 1), HitMiss);
}

TEST(Primitive, IsClosed)
{
    const double tol = SystemTol();
    struct Case {
        const char* name;
        std::vector<TPoint2D> points;
        bool polygon;
        bool closed;
    };
    const Case cases[] = {
        {"ends within the tolerance", {{0, 0, 1}, {5, 0, 1}, {5, 5, 1}, {tol / 2, -tol / 2, 1}}, false, true},
        {"ends apart", {{0, 0, 1}, {5, 0, 1}, {5, 5, 1}, {2 * tol, 0, 1}}, false, false},
        {"same point in other W", {{0, 0, 1}, {5, 0, 1}, {2, 2, 2}, {1, 1, 1}}, false, false},
        {"ends equal after division by W", {{1, 1, 1}, {5, 0, 1}, {2, 2, 2}}, false, true},
        {"two equal points", {{1, 1, 1}, {1, 1, 1}}, false, false},
        {"polygon with open ends", {{0, 0, 1}, {5, 0, 1}, {5, 5, 1}}, true, true},
        {"empty polygon", {}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<TPolyline2D> p = c.polygon ? std::make_unique<TPolygon2D>(1, c.points)
                                                   : std::make_unique<TPolyline2D>(1, c.points);
        EXPECT_EQ(p->IsClosed(), c.closed);
        EXPECT_EQ(p->GetProfilePoints(), &p->Points());
        EXPECT_EQ(p->GetProfileCount(), static_cast<int>(c.points.size()));
    }
}

TEST(Primitive, AssignCopiesThePointsTheClassAccepts)
{
    const std::vector<TPoint2D> three = {{1, 1, 1}, {2, 2, 1}, {3, 3, 2}};
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TPrimitive2D>()> source;
        std::function<std::unique_ptr<TPrimitive2D>()> target;
        int count;
        bool growable;
    };
    const Case cases[] = {
        {"line to polyline", [] { return std::make_unique<TLine2D>(1, TPoint2D{1, 1, 1}, TPoint2D{2, 2, 1}); },
         [] { return std::make_unique<TPolyline2D>(2); }, 2, true},
        {"polyline to line", [&] { return std::make_unique<TPolyline2D>(1, three); },
         [] { return std::make_unique<TLine2D>(2, TPoint2D{9, 9, 1}, TPoint2D{8, 8, 1}); }, 0, false},
        {"polygon to polyline", [&] { return std::make_unique<TPolygon2D>(1, three); },
         [] { return std::make_unique<TPolyline2D>(2); }, 3, true},
        {"polyline to polygon", [&] { return std::make_unique<TPolyline2D>(1, three); },
         [] { return std::make_unique<TPolygon2D>(2); }, 3, true},
        {"point to point", [] { return std::make_unique<TPunto2D>(1, TPoint2D{1, 1, 1}); },
         [] { return std::make_unique<TPunto2D>(2); }, 1, false},
        {"line to line", [] { return std::make_unique<TLine2D>(1, TPoint2D{1, 1, 1}, TPoint2D{2, 2, 1}); },
         [] { return std::make_unique<TLine2D>(2); }, 2, false},
        {"point to polyline", [] { return std::make_unique<TPunto2D>(1, TPoint2D{1, 1, 1}); },
         [&] { return std::make_unique<TPolyline2D>(2, three); }, 0, true},
        {"empty point to point", [] { return std::make_unique<TPunto2D>(1); },
         [] { return std::make_unique<TPunto2D>(2, TPoint2D{4, 4, 1}); }, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TPrimitive2D> source = c.source();
        source->SetBaseTransform(Translation(5, 0));
        const std::unique_ptr<TPrimitive2D> target = c.target();
        target->Assign(*source);
        EXPECT_EQ(target->ID, 2);
        ASSERT_EQ(target->Points().Count(), c.count);
        for (int i = 0; i < c.count; ++i)
            EXPECT_TRUE(SamePoint(target->Points().Get(i), source->Points().Get(i))) << i;
        EXPECT_EQ(target->Points().Growable, c.growable);
        EXPECT_TRUE(target->GetModelTransform().IsEqual(Translation(5, 0)));
    }
}

TEST(Primitive, CopyKeepsClassPointsAndPlacement)
{
    const std::vector<TPoint2D> three = {{1, 1, 1}, {2, 2, 1}, {3, 3, 2}};
    TPolygon2D source(7, three);
    source.SetModelTransform(Translation(0, 3));
    const std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(source);
    auto* polygon = dynamic_cast<TPolygon2D*>(copy.get());
    ASSERT_NE(polygon, nullptr);
    EXPECT_EQ(polygon->ID, 7);
    EXPECT_EQ(polygon->Points().Count(), 3);
    EXPECT_TRUE(polygon->Points().Growable);
    EXPECT_EQ(polygon->Box.Second.Y, 5);
    // The copy owns its points.
    polygon->Points().SetPoint(0, {9, 9, 1});
    EXPECT_EQ(source.Points().Get(0).X, 1);

    TLine2D line(8, {0, 0, 1}, {1, 0, 1});
    const std::unique_ptr<TGraphicObject> lineCopy = CopyGraphicObject(line);
    EXPECT_FALSE(dynamic_cast<TLine2D&>(*lineCopy).Points().Growable);
}

