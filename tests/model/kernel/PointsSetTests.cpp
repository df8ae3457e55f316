#include "CADExceptions.h"
#include "QVGeometry.h"
#include "QVPointsSet.h"
#include "QVStream.h"
#include "QVSys.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A set of the given points whose change notifications reach an owner that counts them.
struct CountedSet {
    explicit CountedSet(std::vector<TPoint2D> points) : Set(0)
    {
        Set.AddPoints(points);
        Set.OwnerObject = &Owner;
        Owner.SetOnChange([this](TGraphicObject&) { ++Notified; });
    }
    std::vector<double> Xs() const
    {
        std::vector<double> xs;
        for (const TPoint2D& p : Set.Points())
            xs.push_back(p.X);
        return xs;
    }
    TGraphicObject Owner{1};
    TPointsSet2D Set;
    int Notified = 0;
};

std::vector<TPoint2D> Row(int n)
{
    std::vector<TPoint2D> pts;
    for (int i = 0; i < n; ++i)
        pts.push_back({double(i), 0, 1});
    return pts;
}

template <typename F> std::string OutOfBoundText(F f)
{
    try {
        f();
    } catch (const ECADOutOfBound& e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(PointsSet, GrowthDoublesFromZero)
{
    TPointsSet2D set(0);
    std::vector<int> capacities;
    for (int i = 0; i < 4; ++i) {
        set.Add({double(i), 0, 1});
        capacities.push_back(set.Capacity());
    }
    EXPECT_EQ(capacities, (std::vector<int>{1, 3, 3, 7}));
    EXPECT_EQ(set.Count(), 4);
}

TEST(PointsSet, PutSetsTheCount)
{
    TPointsSet2D set(4);
    set.Put(2, {5, 5, 1});
    EXPECT_EQ(set.Count(), 3);
    EXPECT_EQ(set.Get(0).W, 1); // slots made by the set hold (0, 0, 1)
    // Regression: a growable Put far past the capacity raised the count by one only, losing
    // the point.
    set.Put(10, {7, 7, 1});
    EXPECT_EQ(set.Count(), 11);
    EXPECT_EQ(set.Get(10).X, 7);
}

TEST(PointsSet, OperationsAndTheirNotifications)
{
    struct Case {
        const char* name;
        std::function<void(TPointsSet2D&)> op;
        std::vector<double> xs;
        int notified;
    };
    const std::vector<Case> cases = {
        {"add",
         [](TPointsSet2D& s) {
             s.Add({9, 0, 1});
         },
         {0, 1, 2, 9},
         1},
        {"set point",
         [](TPointsSet2D& s) {
             s.SetPoint(1, {9, 0, 1});
         },
         {0, 9, 2},
         1},
        {"put",
         [](TPointsSet2D& s) {
             s.Put(1, {9, 0, 1});
         },
         {0, 9, 2},
         0},
        {"add points", [](TPointsSet2D& s) { s.AddPoints(Row(2)); }, {0, 1, 2, 0, 1}, 1},
        {"insert first",
         [](TPointsSet2D& s) {
             s.Insert(0, {9, 0, 1});
         },
         {9, 0, 1, 2},
         1},
        {"insert in the middle",
         [](TPointsSet2D& s) {
             s.Insert(2, {9, 0, 1});
         },
         {0, 1, 9, 2},
         1},
        {"delete first", [](TPointsSet2D& s) { s.Delete(0); }, {1, 2}, 1},
        {"delete last", [](TPointsSet2D& s) { s.Delete(2); }, {0, 1}, 1},
        {"clear", [](TPointsSet2D& s) { s.Clear(); }, {}, 0},
        {"set capacity", [](TPointsSet2D& s) { s.SetCapacity(100); }, {0, 1, 2}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CountedSet s(Row(3));
        c.op(s.Set);
        EXPECT_EQ(s.Xs(), c.xs);
        EXPECT_EQ(s.Notified, c.notified);
    }
}

TEST(PointsSet, ErrorsChangeNothing)
{
    struct Case {
        const char* name;
        std::function<void(TPointsSet2D&)> op;
        std::string text;
    };
    const std::vector<Case> cases = {
        {"get past the count", [](TPointsSet2D& s) { s.Get(3); }, "TPointsSet2D.Get: Index out of bound"},
        {"get negative", [](TPointsSet2D& s) { s.Get(-1); }, "TPointsSet2D.Get: Index out of bound"},
        {"insert at the count", [](TPointsSet2D& s) { s.Insert(3, {}); },
         "TPointsSet2D.Insert: Vector out of bound"},
        {"delete past the count", [](TPointsSet2D& s) { s.Delete(3); },
         "TPointsSet2D.Delete: Vector out of bound"},
        {"fixed: add past the capacity", [](TPointsSet2D& s) { s.Add({}); },
         "TPointsSet2D.Put: Vector out of bound"},
        {"fixed: insert into a full set", [](TPointsSet2D& s) { s.Insert(0, {}); },
         "TPointsSet2D.Put: Vector out of bound"},
        // Regression: a fixed set grew when handed more points than it had room for.
        {"fixed: add points past the capacity", [](TPointsSet2D& s) { s.AddPoints(Row(1)); },
         "TPointsSet2D.AddPoints: Vector out of bound"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CountedSet s(Row(3));
        s.Set.Growable = false;
        EXPECT_EQ(OutOfBoundText([&] { c.op(s.Set); }), c.text);
        EXPECT_EQ(s.Xs(), (std::vector<double>{0, 1, 2}));
        EXPECT_EQ(s.Set.Capacity(), 3);
        EXPECT_EQ(s.Notified, 0);
    }
    TPointsSet3D set3(1);
    set3.Growable = false;
    EXPECT_EQ(OutOfBoundText([&] { set3.Put(1, {}); }), "TPointsSet3D.Put: Vector out of bound");
    EXPECT_EQ(OutOfBoundText([&] { set3.Get(0); }), "TPointsSet3D.Get: Index out of bound");

    TPointsSet2D fixed(4);
    fixed.Growable = false;
    fixed.AddPoints(Row(4)); // what fits is taken
    EXPECT_EQ(fixed.Count(), 4);
}

TEST(PointsSet, HoldsAtMost65535Points)
{
    // Regression: 16-bit counts wrapped around and the next store ran past the buffer.
    TPointsSet2D set(40000);
    set.Put(39999, {});
    set.Add({1, 1, 1});
    EXPECT_EQ(set.Capacity(), 65535);
    set.AddPoints(Row(65535 - set.Count()));
    EXPECT_EQ(set.Count(), 65535);
    EXPECT_EQ(OutOfBoundText([&] { set.Add({}); }), "TPointsSet2D.Put: Vector out of bound");
    EXPECT_EQ(OutOfBoundText([&] { set.AddPoints(Row(1)); }), "TPointsSet2D.AddPoints: Vector out of bound");
    EXPECT_EQ(OutOfBoundText([&] { set.Insert(0, {}); }), "TPointsSet2D.Put: Vector out of bound");
    EXPECT_EQ(set.Count(), 65535);
    EXPECT_THROW(TPointsSet2D big(65536), ECADOutOfBound);
}

TEST(PointsSet, EventsCanBeHeldBackAndDoNotReEnter)
{
    CountedSet s(Row(1));
    s.Set.SetDisableEvents(true);
    s.Set.Add({});
    s.Set.Delete(0);
    EXPECT_EQ(s.Notified, 0);
    s.Set.SetDisableEvents(false);
    s.Set.Add({});
    EXPECT_EQ(s.Notified, 1);

    // An owner that changes the set is not told again of its own change.
    int calls = 0;
    s.Owner.SetOnChange([&](TGraphicObject&) {
        ++calls;
        s.Set.Add({});
    });
    s.Set.Add({});
    EXPECT_EQ(calls, 1);

    // Events are on again after the owner's update fails.
    s.Owner.SetOnChange([](TGraphicObject&) { throw std::runtime_error("handler"); });
    EXPECT_THROW(s.Set.Add({}), std::runtime_error);
    EXPECT_FALSE(s.Set.DisableEvents);
}

TEST(PointsSet, CopyFromStopsAtTheSourceEnd)
{
    TPointsSet2D source(0);
    source.AddPoints(Row(5));
    CountedSet target({});
    target.Set.CopyFrom(source, 0, 9);
    EXPECT_EQ(target.Xs(), (std::vector<double>{0, 1, 2, 3, 4}));
    EXPECT_EQ(target.Set.Capacity(), 10);
    EXPECT_EQ(target.Notified, 1);

    CountedSet part(Row(3));
    part.Set.CopyFrom(source, 3, 4);
    EXPECT_EQ(part.Xs(), (std::vector<double>{0, 1, 2, 3, 4}));

    CountedSet failing({});
    EXPECT_THROW(failing.Set.CopyFrom(source, 0, 70000), ECADOutOfBound);
    EXPECT_EQ(failing.Set.Count(), 0);
    EXPECT_EQ(failing.Notified, 1);
}

TEST(PointsSet, Boxes)
{
    TPointsSet2D set(0);
    const TRect2D empty = set.GetBox();
    EXPECT_EQ(empty.First.X, 0);
    EXPECT_EQ(empty.Second.Y, 0);
    set.Add({0, 0, 1});
    set.Add({4, 2, 2});
    const TRect2D box = set.GetBox();
    EXPECT_EQ(box.First.X, 0);
    EXPECT_EQ(box.First.Y, 0);
    EXPECT_EQ(box.Second.X, 2);
    EXPECT_EQ(box.Second.Y, 1);
    EXPECT_EQ(box.Second.W, 1);

    TPointsSet3D set3(2);
    set3.Put(0, {1, -1, 6, 2});
    set3.Put(1, {0, 2, -1, 1});
    const TRect3D box3 = set3.GetBox();
    EXPECT_EQ(box3.First.X, 0);
    EXPECT_EQ(box3.First.Y, -0.5);
    EXPECT_EQ(box3.First.Z, -1);
    EXPECT_EQ(box3.Second.X, 0.5);
    EXPECT_EQ(box3.Second.Z, 3);
}

TEST(PointsSet, StreamForm)
{
    TPointsSet2D set(5);
    set.Add({1, 2, 1});
    TStreamWriter w;
    set.SaveToStream(w);
    EXPECT_EQ(w.Bytes(), HexBytes("0100 000000000000F03F 0000000000000040 000000000000F03F 01"));

    TStreamReader r(w.Bytes());
    const auto back = TPointsSet2D::CreateFromStream(r);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(back->Count(), 1);
    EXPECT_EQ(back->Capacity(), 1);
    EXPECT_TRUE(back->Growable);
    EXPECT_EQ(back->Get(0).Y, 2);

    TPointsSet3D set3(2);
    set3.Growable = false;
    set3.Put(0, {1, 2, 3, 1});
    set3.Put(1, {-0.0, 0.5, 0.25, 2});
    TStreamWriter w3;
    set3.SaveToStream(w3);
    ASSERT_EQ(w3.Size(), 2u + 2 * 32 + 1);
    TStreamReader r3(w3.Bytes());
    const auto back3 = TPointsSet3D::CreateFromStream(r3);
    TStreamWriter again;
    back3->SaveToStream(again);
    EXPECT_EQ(again.Bytes(), w3.Bytes());
    EXPECT_FALSE(back3->Growable);
}

TEST(PointsSet, BadStreamsAreRefused)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"empty", {}},
        {"count without points", HexBytes("FFFF")},
        {"point cut short", HexBytes("0100 000000000000F03F 0000000000000040")},
        {"growable byte missing", HexBytes("0100 000000000000F03F 0000000000000040 000000000000F03F")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamReader r(c.bytes);
        EXPECT_THROW(TPointsSet2D::CreateFromStream(r), ECADFileNotValid);
        TStreamReader r3(c.bytes);
        EXPECT_THROW(TPointsSet3D::CreateFromStream(r3), ECADFileNotValid);
    }
}

TEST(PointsSet, ArcToPointsSet)
{
    TArrayOfPoint2d pts;
    ArcToPoints2DTol({0, 0}, {10, 0}, {0, 10}, false, 0.025, pts);
    const auto set = ArcToPointsSet2D({0, 0}, {10, 0}, {0, 10}, false, 0.025);
    ASSERT_EQ(set->Count(), static_cast<int>(pts.size()));
    EXPECT_TRUE(set->Growable);
    for (int i = 0; i < set->Count(); ++i)
        EXPECT_EQ(set->Get(i).X, pts[i].X);
}
