// The drawing's box index against a walk over every object: through additions, removals,
// transforms and clears it hands out every object whose box comes near the place asked about, in
// drawing order; and the view's window selection through it selects what a walk would.
#include "QVBoxIndex.h"
#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVScene.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <random>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

// Boxes that touch or overlap R, walking every object.
std::vector<TObject2D*> Walk(TQV_01Cmp2D& D, const TRect2D& R)
{
    std::vector<TObject2D*> out;
    TGraphicObjIterator it = D.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        auto* obj = dynamic_cast<TObject2D*>(o);
        const TRect2D b = NormalizeRect2D(obj->Box);
        if (b.First.X <= R.Second.X && b.Second.X >= R.First.X && b.First.Y <= R.Second.Y &&
            b.Second.Y >= R.First.Y)
            out.push_back(obj);
    }
    return out;
}

// Each object's place in the drawing.
std::unordered_map<const TObject2D*, size_t> Positions(TQV_01Cmp2D& D)
{
    std::unordered_map<const TObject2D*, size_t> position;
    TGraphicObjIterator it = D.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        position.emplace(static_cast<TObject2D*>(o), position.size());
    return position;
}

// Every object of Want is in Got, and Got is in drawing order.
void ExpectCovers(const std::vector<TObject2D*>& Got, const std::vector<TObject2D*>& Want,
                  const std::unordered_map<const TObject2D*, size_t>& Position)
{
    size_t last = 0;
    for (TObject2D* o : Got) {
        auto p = Position.find(o);
        ASSERT_NE(p, Position.end()) << "not an object of the drawing";
        EXPECT_GE(p->second, last) << "out of drawing order";
        last = p->second;
    }
    const std::unordered_set<const TObject2D*> got(Got.begin(), Got.end());
    for (TObject2D* o : Want)
        EXPECT_TRUE(got.count(o)) << "object " << o->ID << " missing";
}

struct TBoxIndexFixture : ::testing::Test {
    TQV_01Cmp2D Drawing;
    std::mt19937 Random{7};

    TObject2D* AddRandom()
    {
        std::uniform_real_distribution<double> at(-500, 500), size(0, 8);
        const double x = at(Random), y = at(Random);
        switch (Random() % 4) {
        case 0:
            return Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{x, y, 1}));
        case 1:
            return Drawing.AddObject(
                -1, std::make_unique<TCerchio2D>(-1, TPoint2D{x, y, 1}, TPoint2D{x + size(Random), y, 1}));
        case 2:
            // Now and then one that spans much of the drawing.
            if (Random() % 20 == 0)
                return Drawing.AddObject(
                    -1, std::make_unique<TLine2D>(-1, TPoint2D{-600, y, 1}, TPoint2D{600, -y, 1}));
            [[fallthrough]];
        default:
            return Drawing.AddObject(
                -1, std::make_unique<TLine2D>(-1, TPoint2D{x, y, 1},
                                              TPoint2D{x + size(Random), y - size(Random), 1}));
        }
    }

    void CheckQueries(int Count)
    {
        const auto position = Positions(Drawing);
        std::uniform_real_distribution<double> at(-700, 700), half(0, 30);
        for (int i = 0; i < Count; ++i) {
            const double x = at(Random), y = at(Random), h = i % 10 == 0 ? 400 : half(Random);
            const TRect2D r{{x - h, y - h, 1}, {x + h, y + h, 1}};
            std::vector<TObject2D*> got;
            ASSERT_TRUE(Drawing.BoxIndex().ObjectsNear(r, got));
            ExpectCovers(got, Walk(Drawing, r), position);
            ASSERT_TRUE(Drawing.BoxIndex().ObjectsAt({x, y, 1}, h, got));
            ExpectCovers(got, Walk(Drawing, r), position);
        }
    }
};

TEST_F(TBoxIndexFixture, KeepsInStepWithTheDrawing)
{
    for (int i = 0; i < 2000; ++i)
        AddRandom();
    CheckQueries(100);
    const int32_t builds = Drawing.BoxIndex().Builds();

    // A few changes are made in place.
    for (int i = 0; i < 50; ++i)
        AddRandom();
    for (int32_t id = 0; id < 2000; id += 97)
        Drawing.DeleteObject(id);
    Drawing.TransformObjects({5, 6, 7, 2010}, TMatrix4::CreateTranslation(2000, -300, 0));
    {
        auto it = Drawing.ObjectsExclusiveIterator();
        it.Search(8);
        Drawing.ExtractCurrentObject(it);
    }
    auto* moved = dynamic_cast<TLine2D*>(Drawing.GetObject(9));
    if (moved)
        moved->Points().SetPoint(1, {650, 650, 1});
    CheckQueries(100);
    EXPECT_EQ(Drawing.BoxIndex().Builds(), builds);

    Drawing.TransformObjects({-1}, TMatrix4::CreateScale(3, 3, 1));
    CheckQueries(50);

    Drawing.DeleteAllObjects();
    std::vector<TObject2D*> got;
    ASSERT_TRUE(Drawing.BoxIndex().ObjectsNear({{-1e9, -1e9, 1}, {1e9, 1e9, 1}}, got));
    EXPECT_TRUE(got.empty());
    for (int i = 0; i < 500; ++i)
        AddRandom();
    CheckQueries(50);
}

TEST_F(TBoxIndexFixture, BoxesOutOfTheOrdinaryAreStillFound)
{
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    TObject2D* nanBox = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{nan, 0, 1}));
    TObject2D* infinite =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{-inf, 0, 1}, TPoint2D{0, 0, 1}));
    TObject2D* huge =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{-1e300, 1, 1}, TPoint2D{1e300, 1, 1}));
    TObject2D* tiny = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{1e-9, 1e-9, 1}));
    std::vector<TObject2D*> got;
    ASSERT_TRUE(Drawing.BoxIndex().ObjectsAt({0, 0, 1}, 2, got));
    // The walk's box test never excludes a box that is not a number, and neither does the index.
    EXPECT_EQ(got, (std::vector<TObject2D*>{nanBox, infinite, huge, tiny}));
}

TEST_F(TBoxIndexFixture, NotBuiltWhileTheDrawingIsWalkedExclusively)
{
    AddRandom();
    auto it = Drawing.ObjectsExclusiveIterator();
    std::vector<TObject2D*> got;
    EXPECT_FALSE(Drawing.BoxIndex().ObjectsAt({0, 0, 1}, 1000, got));
    EXPECT_TRUE(got.empty());
}

// The view's mapping without the way back to the world: window selection then maps every object.
class TForwardOnly : public TDrawingView {
public:
    explicit TForwardOnly(TQVScene& V) : V(V) {}
    void RebuildAll(bool) override {}
    void ZoomToBox(const TRect3D&) override {}
    TRect3D GridBox() const override { return {}; }
    TPoint WorldToScreen(const TPoint2D& P) const override { return V.WorldToScreen(P); }
    void ShowBusy(bool) override {}

private:
    TQVScene& V;
};

TEST_F(TBoxIndexFixture, WindowSelectionThroughTheIndexSelectsWhatAWalkSelects)
{
    TRecordingViewer viewer(900, 700);
    TQVScene view;
    view.AttachViewer(&viewer);
    view.AttachDrawing(&Drawing);
    TForwardOnly walk(view);
    for (int i = 0; i < 1500; ++i)
        AddRandom();
    Drawing.GetObject(10)->Visible = false;
    Drawing.GetObject(11)->Layer = 3;
    Drawing.Layers.GetLayer(3).Visible = false;
    std::uniform_int_distribution<int> px(-50, 950);
    size_t selected = 0;
    for (int zoom = 0; zoom < 3; ++zoom) {
        view.ZoomToBox({{-600.0 / (zoom + 1), -400, 0, 1}, {600.0 / (zoom + 1), 400, 0, 1}});
        for (int i = 0; i < 20; ++i) {
            const TRect window{px(Random), px(Random), px(Random), px(Random)};
            TGraphicObjList fast(false), slow(false);
            Drawing.View = &view;
            SelectObjectsInScreenRect(Drawing, fast, window, 0, false);
            Drawing.View = &walk;
            SelectObjectsInScreenRect(Drawing, slow, window, 0, false);
            std::vector<int32_t> a, b;
            auto ia = fast.GetIterator();
            for (TGraphicObject* o = ia.First(); o; o = ia.Next())
                a.push_back(o->ID);
            auto ib = slow.GetIterator();
            for (TGraphicObject* o = ib.First(); o; o = ib.Next())
                b.push_back(o->ID);
            EXPECT_EQ(a, b);
            selected += a.size();
            EXPECT_EQ(std::count(a.begin(), a.end(), 10) + std::count(a.begin(), a.end(), 11), 0);
        }
    }
    Drawing.View = &view;
    EXPECT_GT(selected, 1000u);
}

} // namespace
