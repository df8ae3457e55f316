#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVRegistry.h"
#include "QVStream.h"
#include "QVVariabili.h"
#include "UndoRedo.h"
#include "UnitCatena.h"
#include "UnitPtAlong.h"
#include "UnitTab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

TPoint2D P(double X, double Y)
{
    return {X, Y, 1};
}

struct TSeg {
    double X1, Y1, X2, Y2;
};

struct TChainFixture : ::testing::Test {
    TQV_01Cmp2D Drawing;

    TLine2D* Line(const TSeg& S)
    {
        return Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, P(S.X1, S.Y1), P(S.X2, S.Y2)));
    }

    // The chain that the pick of the first object makes, as the chain command builds it.
    std::unique_ptr<TListaCatene> ChainFrom(TObject2D& First)
    {
        auto list = std::make_unique<TListaCatene>();
        EXPECT_TRUE(ChainFromEntity(Drawing, First, *list));
        return list;
    }
};

std::vector<TVector2D> PointsOf(const TACurva& C)
{
    std::vector<TVector2D> v;
    for (const TAVertice& x : C.Vertices)
        v.push_back(x.Point);
    return v;
}

void ExpectPoints(const std::vector<TVector2D>& Got, const std::vector<TVector2D>& Want)
{
    ASSERT_EQ(Got.size(), Want.size());
    for (size_t i = 0; i < Got.size(); ++i) {
        EXPECT_NEAR(Got[i].X, Want[i].X, 1e-9) << "vertex " << i;
        EXPECT_NEAR(Got[i].Y, Want[i].Y, 1e-9) << "vertex " << i;
    }
}

using TChains = TChainFixture;

// Lines given in list order; the first one is the picked one.
TEST_F(TChains, LinkingTable)
{
    struct TCase {
        const char* Name;
        std::vector<TSeg> Lines;
        std::vector<TVector2D> Want;
        bool Closed;
    } cases[] = {
        {"second taken by its end", {{0, 0, 10, 0}, {20, 0, 10, 0}}, {{0, 0}, {10, 0}, {20, 0}}, false},
        {"first reversed once", {{0, 0, 10, 0}, {-5, 0, 0, 0}}, {{10, 0}, {0, 0}, {-5, 0}}, false},
        {"picked in the middle: only beyond its end",
         {{10, 0, 20, 0}, {0, 0, 10, 0}, {20, 0, 30, 0}},
         {{10, 0}, {20, 0}, {30, 0}},
         false},
        {"gap inside ChainTol links",
         {{0, 0, 10, 0}, {10.0001, 0, 20, 0}},
         {{0, 0}, {10, 0}, {20, 0}},
         false},
        {"gap outside ChainTol does not", {{0, 0, 10, 0}, {10.003, 0, 20, 0}}, {{0, 0}, {10, 0}}, false},
        {"branch: the earlier candidate wins",
         {{0, 0, 10, 0}, {10, 0, 10, 10}, {10, 0, 20, 0}},
         {{0, 0}, {10, 0}, {10, 10}},
         false},
        {"branch met by end and by start: list order, not the kind of match",
         {{0, 0, 10, 0}, {20, 0, 10, 0}, {10, 0, 10, 10}},
         {{0, 0}, {10, 0}, {20, 0}},
         false},
        {"clockwise square becomes counter-clockwise",
         {{0, 0, 0, 10}, {0, 10, 10, 10}, {10, 10, 10, 0}, {10, 0, 0, 0}},
         {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}},
         true},
        {"lone line", {{1, 1, 2, 2}}, {{1, 1}, {2, 2}}, false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        std::vector<TLine2D*> lines;
        for (const TSeg& s : c.Lines)
            lines.push_back(Line(s));
        auto list = ChainFrom(*lines[0]);
        ASSERT_EQ(list->Count(), 1);
        ExpectPoints(PointsOf(list->Chain(0)), c.Want);
        EXPECT_EQ(list->Chain(0).Closed, c.Closed);
        EXPECT_FALSE(list->Chain(0).Reversed);
    }
}

TEST_F(TChains, ShapesAloneTable)
{
    struct TCase {
        const char* Name;
        std::function<TObject2D*(TQV_01Cmp2D&)> Make;
        std::vector<TVector2D> Want;
        std::vector<int32_t> Kinds;
    } cases[] = {
        {"circle",
         [](TQV_01Cmp2D& d) { return d.AddObject(-1, std::make_unique<TCerchio2D>(-1, P(5, 5), P(8, 5))); },
         {{8, 5}, {2, 5}, {8, 5}},
         {0, 1, 1}},
        {"rectangle",
         [](TQV_01Cmp2D& d) { return d.AddObject(-1, std::make_unique<TFrame2D>(-1, P(0, 0), P(4, 2))); },
         {{0, 0}, {4, 0}, {4, 2}, {0, 2}, {0, 0}},
         {0, 0, 0, 0, 0}},
        {"full-circle arc",
         [](TQV_01Cmp2D& d) {
             return d.AddObject(-1, std::make_unique<TArco2D>(-1, P(0, 0), P(2, 0), Pi / 2, Pi / 2));
         },
         {{0, 2}, {0, -2}, {0, 2}},
         {0, 1, 1}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        auto list = ChainFrom(*c.Make(Drawing));
        ASSERT_EQ(list->Count(), 1);
        const TCatena& chain = list->Chain(0);
        ExpectPoints(PointsOf(chain), c.Want);
        for (size_t i = 0; i < c.Kinds.size(); ++i)
            EXPECT_EQ(chain.Vertices[i].Kind, c.Kinds[i]) << i;
        EXPECT_TRUE(chain.Closed);
        EXPECT_FALSE(chain.IsClockwise());
    }
}

TEST_F(TChains, AnUnchainableObjectMakesNoChain)
{
    auto* point = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, P(1, 1)));
    TListaCatene list;
    EXPECT_FALSE(ChainFromEntity(Drawing, *point, list));
    EXPECT_EQ(list.Count(), 0);
}

// A traced outline cut into pieces given in random order and direction comes back whole: the
// grid finds every neighbour the scan of the list would.
TEST_F(TChains, ChainAllRejoinsAShuffledOutline)
{
    constexpr int n = 2000;
    std::vector<TSeg> segs;
    for (int i = 0; i < n; ++i) {
        const double a0 = 2 * Pi * i / n, a1 = 2 * Pi * (i + 1) / n;
        segs.push_back({100 * std::cos(a0), 100 * std::sin(a0), 100 * std::cos(a1), 100 * std::sin(a1)});
    }
    std::mt19937 rng(7);
    std::shuffle(segs.begin(), segs.end(), rng);
    for (TSeg& s : segs)
        if (rng() % 2)
            s = {s.X2, s.Y2, s.X1, s.Y1};
    for (const TSeg& s : segs)
        Line(s);
    TListaCatene list;
    ChainAll(Drawing, list, false);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_TRUE(list.Chain(0).Closed);
    EXPECT_EQ(list.Chain(0).Count(), n + 1);
    EXPECT_FALSE(list.Chain(0).IsClockwise());
}

TEST_F(TChains, LayerPriorityKeepsLayersApart)
{
    TLine2D* onThree = Line({0, 0, 10, 0});
    onThree->Layer = 3;
    TLine2D* onOne = Line({10, 0, 20, 0});
    onOne->Layer = 1;
    for (bool priority : {true, false}) {
        TListaCatene list;
        ChainAll(Drawing, list, priority);
        if (priority) {
            ASSERT_EQ(list.Count(), 2);
            ExpectPoints(PointsOf(list.Chain(0)), {{10, 0}, {20, 0}});
        } else {
            ASSERT_EQ(list.Count(), 1);
            EXPECT_EQ(list.Chain(0).Count(), 3);
        }
    }
    TListaCatene none;
    Drawing.Layers.GetLayer(1).Visible = false;
    Drawing.Layers.GetLayer(3).Visible = false;
    ChainAll(Drawing, none, true);
    EXPECT_EQ(none.Count(), 0);
}

TEST_F(TChains, HoleFilterTable)
{
    Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, P(0, 0), P(3.04, 0)));
    Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, P(10, 0), P(13.1, 0)));
    const int32_t quarter =
        Drawing.AddObject(-1, std::make_unique<TArco2D>(-1, P(20, 0), P(23, 0), 0, Pi / 2))->ID;
    Drawing.AddObject(-1, std::make_unique<TArco2D>(-1, P(30, 0), P(33, 0), 0, 0));
    struct TCase {
        int32_t Kinds;
        THoleFilter Filter;
        std::vector<TVector2D> Want;
    } cases[] = {
        {24, {true, 6, 0.1}, {{0, 0}, {30, 0}}},
        {24, {false, 0, 0}, {{0, 0}, {10, 0}, {30, 0}}},
        {16, {false, 0, 0}, {{0, 0}, {10, 0}}},
        {2, {false, 0, 0}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Kinds);
        TListaCatene list;
        ChainAllHoles(Drawing, list, c.Filter, c.Kinds);
        if (c.Want.empty()) {
            EXPECT_EQ(list.Count(), 0);
            continue;
        }
        ASSERT_EQ(list.Count(), 1);
        ExpectPoints(PointsOf(list.Chain(0)), c.Want);
    }
    // The pick of holes adds no empty chain when nothing qualified.
    TListaCatene picked;
    EXPECT_FALSE(HoleChainOfSelection(Drawing, {quarter}, 24, {}, picked));
    EXPECT_EQ(picked.Count(), 0);
}

TEST(TChainList, SortNearestAndRestore)
{
    TListaCatene list;
    auto chain = std::make_unique<TCatena>();
    for (const TVector2D& v : {TVector2D{0, 0}, {10, 0}, {5, 0}})
        chain->AddVertex(TAVertice::CreatePoint(v, 0));
    chain->ID = 42;
    list.AddChain(std::move(chain));
    list.SortNearest({-9999, 9999}, true);
    ASSERT_EQ(list.Count(), 1);
    ExpectPoints(PointsOf(list.Chain(0)), {{0, 0}, {5, 0}, {10, 0}});
    list.SortNearest({9999, 9999}, true);
    ExpectPoints(PointsOf(list.Chain(0)), {{10, 0}, {5, 0}, {0, 0}});
    // The first sort's copy is what comes back.
    list.SortNearest({}, false);
    ASSERT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Chain(0).ID, 42);
    ExpectPoints(PointsOf(list.Chain(0)), {{0, 0}, {10, 0}, {5, 0}});
    EXPECT_EQ(SortBackupChains, nullptr);
    // An empty list sorts into nothing, not into an empty chain.
    TListaCatene empty;
    empty.SortNearest({}, true);
    EXPECT_EQ(empty.Count(), 0);
    SortBackupChains.reset();
    empty.DeleteLast();
    EXPECT_EQ(empty.Count(), 0);
}

TEST(TChainList, InfoTexts)
{
    TListaCatene list;
    const auto add = [&](bool closed, int vertices) {
        auto c = std::make_unique<TCatena>();
        for (int i = 0; i < vertices; ++i)
            c->AddVertex(TAVertice::CreatePoint({double(i), 0}, 0));
        c->Closed = closed;
        list.AddChain(std::move(c));
    };
    add(true, 3);
    add(true, 2);
    add(false, 4);
    const std::string text = list.InfoText(false);
    EXPECT_EQ(text.substr(0, 2), "2 ");
    EXPECT_NE(text.find(" - 1 "), std::string::npos);
    EXPECT_EQ(list.InfoText(true).substr(0, 2), "9 ");
    list.Items.erase(list.Items.begin(), list.Items.begin() + 2);
    EXPECT_EQ(list.InfoText(false).substr(0, 2), "1 ");
}

// ---- tabs ---------------------------------------------------------------------------------------

std::vector<uint8_t> TabBytes(int32_t Count, bool Long)
{
    TStreamWriter w;
    w.WriteInt32(Count);
    if (Count > 0) {
        w.WriteDouble(4);
        if (Long) {
            w.WriteDouble(1.5);
            w.WriteByte(1);
            w.WriteByte(0);
        }
        for (int32_t i = 0; i < Count; ++i) {
            for (double d : {1.0 + i, 2.0, 3.0, 4.0, 0.5})
                w.WriteDouble(d);
            w.WriteInt32(7);
            w.WriteInt32(i);
        }
    }
    return w.Bytes();
}

TEST(TTabs, StreamLayoutsTable)
{
    struct TCase {
        const char* Tag;
        int32_t Count;
        bool Long;
        size_t Bytes;
        int32_t Tabs;
    } cases[] = {
        {"QV-001", 2, false, 4 + 8 + 2 * 48, 2},
        {"QV-3.6", 2, true, 4 + 8 + 8 + 1 + 1 + 2 * 48, 2},
        {"QV-002", 0, true, 4, 0},
        {"QV-002", -1, true, 4, 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Tag);
        std::vector<uint8_t> bytes = TabBytes(c.Count, c.Long);
        ASSERT_EQ(bytes.size(), c.Bytes);
        // A list that ends exactly where its stream ends is whole.
        TStreamReader r(bytes);
        TListaTab tabs;
        tabs.LoadFromStream(r, c.Tag);
        EXPECT_EQ(r.Position(), c.Bytes);
        EXPECT_EQ(tabs.Count(), c.Tabs);
        EXPECT_EQ(tabs.ListLines.size(), static_cast<size_t>(c.Tabs));
    }
}

TEST(TTabs, StreamRoundTripIsBitExact)
{
    std::vector<uint8_t> bytes = TabBytes(3, true);
    TStreamReader r(bytes);
    TListaTab tabs;
    tabs.LoadFromStream(r, "QV-002");
    TStreamWriter w;
    tabs.SaveToStream(w);
    EXPECT_EQ(w.Bytes(), bytes);
}

TEST(TTabs, AShortStreamEmptiesTheList)
{
    for (size_t cut : {size_t{2}, size_t{10}, size_t{20}, size_t{60}, size_t{100}}) {
        std::vector<uint8_t> bytes = TabBytes(2, true);
        bytes.resize(cut);
        TStreamReader r(bytes);
        TListaTab tabs;
        EXPECT_THROW(tabs.LoadFromStream(r, "QV-002"), ECADFileNotValid) << cut;
        EXPECT_EQ(tabs.Count(), 0);
    }
}

TEST_F(TChains, TabsProjectOntoTheNearestChain)
{
    TListaCatene chains;
    for (double y : {5.0, -5.0}) {
        auto c = std::make_unique<TCatena>();
        c->AddVertex(TAVertice::CreatePoint({0, y}, 0));
        c->AddVertex(TAVertice::CreatePoint({10, y}, 0));
        c->ID = y > 0 ? 1 : 2;
        chains.AddChain(std::move(c));
    }
    TDatiTab tab;
    tab.PickPoint = {3, 0};
    ProjectTab(chains, tab);
    EXPECT_EQ(tab.ChainID, 1); // equally near: the earlier chain
    EXPECT_DOUBLE_EQ(tab.Distance, 5);
    EXPECT_NEAR(tab.ChainPoint.X, 3, 1e-12);

    TListaCatene none;
    TDatiTab lone;
    lone.PickPoint = {1, 1};
    ProjectTab(none, lone);
    EXPECT_EQ(lone.Distance, 1e8);
    EXPECT_EQ(lone.ChainID, 0);

    // New chains: the tab moves from its old chain point to the nearest point of these.
    TListaTab list;
    list.AddTab(std::make_unique<TDatiTab>(tab));
    chains.Chain(0).Vertices[0].Point = {0, 30};
    chains.Chain(0).Vertices[1].Point = {10, 30};
    ReprojectTabs(chains, list);
    EXPECT_EQ(list.Tabs[0]->ChainID, 2);
    EXPECT_NEAR(list.Tabs[0]->ChainPoint.Y, -5, 1e-12);
}

// A marker is found again by its ID only while that ID still names an auxiliary container: after
// the drawing was emptied, the ID may belong to the user's next object.
TEST_F(TChains, TabMarkersNeverTakeAUsersObject)
{
    TCatena chain;
    chain.AddVertex(TAVertice::CreatePoint({0, 0}, 0));
    chain.AddVertex(TAVertice::CreatePoint({10, 0}, 0));
    TListaTab list;
    list.TabWidth = 2;
    auto tab = std::make_unique<TDatiTab>();
    BuildTabMarker(Drawing, &chain, *tab, true, 2);
    ASSERT_GE(tab->MarkerID, 0);
    auto* marker = dynamic_cast<TContainer2D*>(Drawing.GetObject(tab->MarkerID));
    ASSERT_NE(marker, nullptr);
    EXPECT_FALSE(marker->ToBeSaved);
    list.AddTab(std::move(tab));
    auto second = std::make_unique<TDatiTab>();
    BuildTabMarker(Drawing, &chain, *second, true, 2);
    list.AddTab(std::move(second));

    Drawing.DeleteAllObjects();
    TLine2D* user = Line({0, 0, 1, 1});
    const int32_t userId = user->ID;
    list.Tabs[1]->MarkerID = userId;
    list.DeleteAll(Drawing);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_NE(Drawing.GetObject(userId), nullptr);

    // No chain: no marker.
    TDatiTab orphan;
    BuildTabMarker(Drawing, nullptr, orphan, true, 2);
    EXPECT_EQ(orphan.MarkerID, -1);
}

// ---- points along -------------------------------------------------------------------------------

TEST(TPointsAlong, Table)
{
    const auto line = [] {
        auto c = std::make_unique<TCatena>();
        c->AddVertex(TAVertice::CreatePoint({0, 0}, 0));
        c->AddVertex(TAVertice::CreatePoint({10, 0}, 0));
        return c;
    };
    const auto square = [] {
        auto c = std::make_unique<TCatena>();
        for (const TVector2D& v : {TVector2D{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})
            c->AddVertex(TAVertice::CreatePoint(v, 0));
        c->Closed = true;
        return c;
    };
    const auto halfCircle = [] {
        auto c = std::make_unique<TCatena>();
        c->AddVertex(TAVertice::CreatePoint({5, 0}, 0));
        c->AddVertex(TAVertice::CreateFull(1, {-5, 0}, {0, 0}, 0));
        return c;
    };
    const auto dot = [] {
        auto c = std::make_unique<TCatena>();
        c->AddVertex(TAVertice::CreatePoint({3, 3}, 0));
        c->AddVertex(TAVertice::CreatePoint({3, 3}, 0));
        return c;
    };
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TCatena>()> Make;
        int32_t N;
        std::vector<TVector2D> Want;
    } cases[] = {
        {"line in thirds", line, 3, {{0, 0}, {5, 0}, {10, 0}}},
        {"square in fifths", square, 5, {{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}}},
        {"half circle", halfCircle, 3, {{5, 0}, {0, 5}, {-5, 0}}},
        {"one point is none", line, 1, {}},
        {"none", line, 0, {}},
        {"a chain of no length has no spacing", dot, 4, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::unique_ptr<TCatena> chain = c.Make();
        const std::vector<TVector2D> got = PointsAlong(*chain, c.N);
        ASSERT_EQ(got.size(), c.Want.size());
        for (size_t i = 0; i < got.size(); ++i) {
            EXPECT_NEAR(got[i].X, c.Want[i].X, 1e-9) << i;
            EXPECT_NEAR(got[i].Y, c.Want[i].Y, 1e-9) << i;
        }
    }
}

TEST_F(TChains, PointsAlongMakeEntitiesWithOneUndo)
{
    RegisterDrawingClasses();
    TUndoRedo log;
    log.AttachDrawing(&Drawing);
    TUndoRedo* const kept = UndoRedo;
    UndoRedo = &log;
    TListaCatene list;
    auto c = std::make_unique<TCatena>();
    for (const TVector2D& v : {TVector2D{0, 0}, {10, 0}, {10, 10}, {0, 10}, {0, 0}})
        c->AddVertex(TAVertice::CreatePoint(v, 0));
    list.AddChain(std::move(c));

    struct TCase {
        TPtAlongOptions Options;
        bool Commit;
        int32_t Objects;
        int32_t Records;
    } cases[] = {
        {{5, 1.5, true, false}, false, 0, 0}, // preview: nothing added
        {{5, 0, true, false}, true, 0, 0},    // no radius: no circles
        {{5, 0, true, true}, true, 4, 1},     // the closing point repeats the first
        {{5, 1.5, true, true}, true, 12, 2},
    };
    for (const TCase& k : cases) {
        const TPtAlongResult r = MakePointsAlong(Drawing, list, k.Options, k.Commit, nullptr);
        EXPECT_TRUE(r.Computed);
        EXPECT_DOUBLE_EQ(r.Length, 40);
        EXPECT_DOUBLE_EQ(r.Spacing, 10);
        EXPECT_EQ(Drawing.ObjectsCount(), k.Objects);
        EXPECT_EQ(log.RecordCount(), k.Records);
    }
    log.Undo();
    EXPECT_EQ(Drawing.ObjectsCount(), 4);
    UndoRedo = kept;
    log.AttachDrawing(nullptr);
}

} // namespace
