// The offset, chain and points-along tasks driven through the interaction program as the commands
// start them, and the pattern and report computations of the drawing commands.
#include "EditingFixture.h"

#include "FakeServices.h"
#include "QVChainTasks.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVOffsetTask.h"
#include "QVPatterns.h"
#include "QVRegistry.h"
#include "QVScenePreview.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UndoRedo.h"
#include "UnitCatena.h"
#include "UnitTab.h"

#include <cmath>
#include <map>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

// The tool window's controls as a test sets them.
class TFakePage : public TToolWindowServices {
public:
    void ShowPages(const std::vector<std::string>&, const std::string&, int32_t, int32_t) override {}
    void Hide() override {}
    bool IsShowing() const override { return true; }
    std::string ControlText(const std::string& Name) const override
    {
        const auto it = Texts.find(Name);
        return it == Texts.end() ? std::string() : it->second;
    }
    void SetControlText(const std::string& Name, const std::string& Text) override { Texts[Name] = Text; }
    bool ControlChecked(const std::string& Name) const override
    {
        const auto it = Checks.find(Name);
        return it != Checks.end() && it->second;
    }
    int32_t ControlItemIndex(const std::string&) const override { return -1; }
    std::vector<std::string> ControlItems(const std::string&) const override { return {}; }
    void SetControlVisible(const std::string&, bool) override {}
    void FocusControl(const std::string&) override {}

    std::map<std::string, std::string> Texts;
    std::map<std::string, bool> Checks;
};

struct TTasks : TEditingFixture {
    TFakePage Page;
    TUndoRedo Log;
    TUndoRedo* KeptLog = nullptr;
    TQV_01Cmp2D* KeptDrawing = nullptr;

    void SetUp() override
    {
        TEditingFixture::SetUp();
        RegisterDrawingClasses();
        SetToolWindowServices(&Page);
        Log.AttachDrawing(&Drawing);
        KeptLog = UndoRedo;
        UndoRedo = &Log;
        KeptDrawing = ::Drawing;
        ::Drawing = &Drawing;
    }
    void TearDown() override
    {
        Prog.StopOperation();
        PtAlongChains.DeleteAllQuiet();
        ::Drawing = KeptDrawing;
        UndoRedo = KeptLog;
        Log.AttachDrawing(nullptr);
        SetToolWindowServices(nullptr);
        TEditingFixture::TearDown();
    }

    // The one-object pick whose result goes to Tool, as the commands start it.
    void PickOne(TCADStateClass Tool, double X, double Y, void* List = nullptr, uint8_t Mode = 0)
    {
        ASSERT_TRUE(Prog.StartOperation(StateClass<TQV_50Seleziona1Ogg>(),
                                        std::make_unique<TQV_50SelectObjectsParam>(5, Tool, List, Mode)));
        Click(X, Y);
    }
};

TEST_F(TTasks, OffsetMoveAndCopyEachUndoneAtOnce)
{
    struct TCase {
        bool Move;
        int32_t Objects;
    } cases[] = {{true, 1}, {false, 2}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Move);
        Drawing.DeleteAllObjects();
        Log.Clear();
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 0, 1}, TPoint2D{50, 0, 1}));
        Page.Texts["txtOffsetDist"] = "2";
        Page.Checks["rbtOffsetMove"] = c.Move;
        PickOne(StateClass<TQV_85OffsetSelObj>(), 30, 0);
        ASSERT_NE(OffsetParam, nullptr);
        OffsetParam->SetDistance(3);
        OffsetParam->ToggleSide();
        Prog.SendUserEvent(ueDone);
        EXPECT_EQ(OffsetParam, nullptr);
        EXPECT_EQ(Drawing.ObjectsCount(), c.Objects);
        bool found = false;
        {
            TGraphicObjIterator it = Drawing.ObjectsIterator();
            for (TGraphicObject* o = it.First(); o; o = it.Next())
                if (auto* l = dynamic_cast<TLine2D*>(o); l && std::abs(l->Points().Get(0).Y + 3) < 1e-9)
                    found = l->UseLayerStyle;
        }
        EXPECT_TRUE(found);
        Log.Undo();
        EXPECT_EQ(Drawing.ObjectsCount(), 1);
    }
}

// "Move" with nothing to offset to keeps the picked object; a distance that is no number starts
// nothing.
TEST_F(TTasks, OffsetThatMakesNothingKeepsTheObject)
{
    Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{30, 0, 1}, TPoint2D{32, 0, 1}));
    Page.Texts["txtOffsetDist"] = "5";
    Page.Checks["rbtOffsetMove"] = true;
    PickOne(StateClass<TQV_85OffsetSelObj>(), 32, 0);
    ASSERT_NE(OffsetParam, nullptr);
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(Log.RecordCount(), 0);

    Page.Texts["txtOffsetDist"] = "1..2";
    PickOne(StateClass<TQV_85OffsetSelObj>(), 32, 0);
    EXPECT_EQ(OffsetParam, nullptr);
}

TEST_F(TTasks, PointsAlongFromThePickedChain)
{
    for (const auto& [x1, y1, x2, y2] : {std::array{10.0, 0.0, 50.0, 0.0}, {50, 0, 50, 20}})
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{x1, y1, 1}, TPoint2D{x2, y2, 1}));
    Page.Texts["txtNumPtAlong"] = "4";
    Page.Texts["txtHoleDia"] = "1";
    Page.Checks["chkAlHoles"] = true;
    TViewPreview preview(View);
    PtAlongPreview = &preview;
    PickOne(StateClass<TChainInCatena>(), 30, 0, &PtAlongChains, 1);
    ASSERT_EQ(PtAlongChains.Count(), 1);
    EXPECT_EQ(preview.Count(), 4u);
    EXPECT_EQ(Page.Texts["txtLength"], "60");
    EXPECT_EQ(Page.Texts["txtBtPoints"], "20");
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
    const TPtAlongResult done = PointsAlongFromPage(true);
    EXPECT_EQ(done.Entities, 4);
    EXPECT_EQ(Drawing.ObjectsCount(), 6);
    Log.Undo();
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
    PtAlongPreview = nullptr;
}

TEST_F(TTasks, AnUnchainablePickIsSaidAndChainsNothing)
{
    TFakeMainWindow main;
    TInstalledServices installed(&main);
    Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{30, 0, 1}));
    TListaCatene list;
    PickOne(StateClass<TChainInCatena>(), 30, 0, &list, 0);
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(main.Boxes.size(), 1u);
}

// ---- patterns and reports -----------------------------------------------------------------------

std::vector<TPoint2D> PointsOf(TContainer2D& C)
{
    std::vector<TPoint2D> v;
    TGraphicObjIterator it = C.Objects.GetIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        if (auto* p = dynamic_cast<TPunto2D*>(o))
            v.push_back(p->Points().Get(0));
    return v;
}

TEST(TPatterns, GridsAndBoltCirclesTable)
{
    struct TCase {
        const char* Name;
        std::unique_ptr<TContainer2D> Made;
        TPoint2D Base;
        std::vector<TPoint2D> Points;
        int32_t Children;
    };
    TCase cases[] = {
        {"3 x 2 grid",
         MakePointGrid(10, 5, 3, 2, 0),
         {0, 0, 1},
         {{0, 0, 1}, {10, 0, 1}, {20, 0, 1}, {0, 5, 1}, {10, 5, 1}, {20, 5, 1}},
         6},
        {"the same at 90 degrees", MakePointGrid(10, 5, 3, 2, 90), {-5, 0, 1}, {{0, 0, 1}, {0, 10, 1}}, 6},
        {"2.9 points per row are 2", MakePointGrid(10, 5, 2.9, 1, 0), {0, 0, 1}, {{0, 0, 1}, {10, 0, 1}}, 2},
        {"a count of 1e9 is capped", MakePointGrid(1, 1, 1e9, 1, 0), {0, 0, 1}, {{0, 0, 1}}, MaxPatternCount},
        {"no rows", MakePointGrid(1, 1, 3, 0, 0), {0, -1, 1}, {}, 0},
        {"bolt circle",
         MakeBoltCircle(50, 0, 90, 4, 6),
         {-53, -53, 1},
         {{50, 0, 1}, {0, 50, 1}, {-50, 0, 1}, {0, -50, 1}},
         8},
        {"a step of -90 is 270", MakeBoltCircle(50, 0, -90, 2, 0), {0, -50, 1}, {{50, 0, 1}, {0, -50, 1}}, 2},
    };
    for (TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(c.Made->Objects.Count(), c.Children);
        // The box of a circle is its profile's, a polygon within the curve tolerance.
        EXPECT_NEAR(c.Made->BasePoint.X, c.Base.X, 0.01);
        EXPECT_NEAR(c.Made->BasePoint.Y, c.Base.Y, 0.01);
        const std::vector<TPoint2D> got = PointsOf(*c.Made);
        for (size_t i = 0; i < c.Points.size() && i < got.size(); ++i) {
            EXPECT_NEAR(got[i].X, c.Points[i].X, 1e-4) << i;
            EXPECT_NEAR(got[i].Y, c.Points[i].Y, 1e-4) << i;
        }
    }
    EXPECT_EQ(PatternCount(std::nan("")), 0);
    EXPECT_EQ(PatternCount(-3), 0);
}

TEST(TReports, DrawingReportAndSmallEntities)
{
    TQV_01Cmp2D drawing;
    TDrawingReport empty = MakeDrawingReport(drawing);
    EXPECT_EQ(empty.Lines + empty.Points + empty.Containers + empty.Texts + empty.Hidden, 0);
    EXPECT_EQ(empty.Extents.First.X, 0);
    EXPECT_EQ(empty.Extents.Second.Y, 0);

    drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0.025, 0, 1}));
    drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0.02, 0.01, 1}));
    drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{5, 5, 1}));
    drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{5, 5, 1}, TPoint2D{6, 5, 1}));
    auto* hidden = drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}));
    hidden->Layer = 4;
    drawing.Layers.GetLayer(4).Visible = false;
    const TDrawingReport r = MakeDrawingReport(drawing);
    EXPECT_EQ(r.Lines, 2);
    EXPECT_EQ(r.Points, 1);
    EXPECT_EQ(r.ArcsAndCircles, 1);
    EXPECT_EQ(r.Hidden, 1);
    EXPECT_EQ(r.TotalPoints, 7);
    EXPECT_NEAR(r.Extents.Second.X, 6, 1e-9);

    // As wide as the threshold is not small; a point never is.
    const TSmallEntities small = FindSmallEntities(drawing, 0.025);
    ASSERT_EQ(small.IDs.size(), 1u);
    EXPECT_EQ(small.IDs[0], 1);
    EXPECT_NEAR(small.Centres[0].X, 0.01, 1e-12);

    EXPECT_EQ(EntityEndPoints(drawing).size(), 6u);
}

} // namespace

namespace {

// The machining part's current operation as the tab placement reads it.
class TFakeOperation : public TCurrentOperation, public TMachiningServices {
public:
    uint8_t OpType() const override { return 1; }
    TListaCatene* Chains() override { return &List; }
    bool LayerPriority() const override { return false; }
    THoleFilter HoleFilter() const override { return {}; }
    TListaTab* Tabs() override { return &TabList; }
    TEtichetta* Label() override { return nullptr; }
    double LatheToolSize() const override { return 0; }
    TCurrentOperation* CurrentOp() override { return this; }

    TListaCatene List;
    TListaTab TabList;
};

TEST_F(TTasks, TabsArePlacedClickByClickAndTheLastOneIsDropped)
{
    TFakeOperation op;
    SetMachiningServices(&op);
    auto chain = std::make_unique<TCatena>();
    chain->AddVertex(TAVertice::CreatePoint({10, 0}, 0));
    chain->AddVertex(TAVertice::CreatePoint({90, 0}, 0));
    chain->ID = 5;
    op.List.AddChain(std::move(chain));
    struct TCase {
        int Clicks;
        int32_t Tabs;
    } cases[] = {{1, 0}, {3, 2}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Clicks);
        op.TabList.DeleteAll(Drawing);
        ASSERT_TRUE(Prog.StartOperation(StateClass<TMuoveDinamico>(),
                                        std::make_unique<TMuoveDinamicoParam>(nullptr, 1, 4, &op.TabList)));
        for (int i = 0; i < c.Clicks; ++i)
            Click(20 + 20 * i, 3);
        Move(80, 2);
        Prog.SendUserEvent(ueDone);
        ASSERT_EQ(op.TabList.Count(), c.Tabs);
        EXPECT_EQ(Drawing.ObjectsCount(), c.Tabs); // the markers
        if (c.Tabs > 0) {
            EXPECT_EQ(op.TabList.Tabs[0]->ChainID, 5);
            EXPECT_NEAR(op.TabList.Tabs[0]->ChainPoint.Y, 0, 1e-9);
            EXPECT_NEAR(op.TabList.Tabs[0]->Distance, 3, 0.2);
        }
    }
    op.TabList.DeleteAll(Drawing);
    EXPECT_EQ(Drawing.ObjectsCount(), 0);
    SetMachiningServices(nullptr);
}

} // namespace
