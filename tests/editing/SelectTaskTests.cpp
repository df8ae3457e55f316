// The selection tasks: what each picks, how picks toggle, when a task hands its selection to the
// tool, and that a cancelled selection reaches no tool and frees its parameter.
#include "EditingFixture.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVTasks.h"
#include "QVVariabili.h"

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// The tool a selection hands over to: it records the selection (and a window's corners) and ends.
std::vector<std::vector<int32_t>> Received;
std::array<int32_t, 4> ReceivedScreenRect{};
TRect2D ReceivedWindowBox{};

class TTool : public TQV_00State {
public:
    TTool(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
        : TQV_00State(CADPrg, StateParam, NextState)
    {
        std::vector<int32_t> ids;
        if (auto* p = dynamic_cast<TQV_50SelectObjectsParam*>(Param)) {
            TGraphicObjIterator it = p->SelectedObjects.GetIterator();
            for (TGraphicObject* o = it.First(); o; o = it.Next())
                ids.push_back(o->ID);
        }
        if (auto* w = dynamic_cast<TQV_51WinSelectObjectsParam*>(Param)) {
            ReceivedScreenRect = w->ScreenRect;
            ReceivedWindowBox = w->WindowBox;
        }
        Received.push_back(ids);
        NextState = CADPrg.DefaultState;
    }
};

struct TCountedSelection : TQV_51WinSelectObjectsParam {
    TCountedSelection(int& Freed, TCADStateClass After)
        : TQV_51WinSelectObjectsParam(false, After), Freed(Freed)
    {
        Aperture = 5;
    }
    ~TCountedSelection() override { ++Freed; }
    int& Freed;
};

struct TSelect : TEditingFixture {
    TLine2D *A = nullptr, *B = nullptr, *Diagonal = nullptr;
    TCerchio2D* Circle = nullptr;
    TPunto2D* Point = nullptr;
    int Freed = 0;
    std::vector<std::string> Told;

    void SetUp() override
    {
        TEditingFixture::SetUp();
        Received.clear();
        A = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{10, 0, 1}, TPoint2D{20, 0, 1}));
        B = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{30, 0, 1}, TPoint2D{40, 0, 1}));
        Diagonal =
            Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{50, 0, 1}, TPoint2D{60, 10, 1}));
        Circle =
            Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, TPoint2D{70, 0, 1}, TPoint2D{73, 0, 1}));
        Point = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, TPoint2D{80, 0, 1}));
    }

    // Starts Task with a counted selection parameter whose picks are told to Told.
    TCountedSelection* Start(TCADStateClass Task, bool Listen = true)
    {
        auto param = std::make_unique<TCountedSelection>(Freed, StateClass<TTool>());
        TCountedSelection* p = param.get();
        if (Listen)
            p->OnSelected = [this](TQV_00CADPrgParam*, TObject2D* O, bool Added, int32_t Code) {
                Told.push_back((O ? std::to_string(O->ID) : std::string("window")) + (Added ? "+" : "-") +
                               (Prog.EventsLocked ? " locked" : "") + (Code == HitMiss ? " no code" : ""));
            };
        Prog.StartOperation(Task, std::move(param));
        return p;
    }
    std::vector<int32_t> Selected(TQV_50SelectObjectsParam& P)
    {
        std::vector<int32_t> ids;
        TGraphicObjIterator it = P.SelectedObjects.GetIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            ids.push_back(o->ID);
        return ids;
    }
};

TEST_F(TSelect, OneObjectPicksOnTheButtonUp)
{
    TCountedSelection* p = Start(StateClass<TQV_50Seleziona1Ogg>());
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 9");
    // Inside the diagonal's box but away from it: only the box is hit, which is no pick.
    Click(58, 2);
    Click(50, 30);
    EXPECT_TRUE(Received.empty());
    Move(15, 0.2);
    Down(15, 0.2);
    EXPECT_TRUE(Received.empty());
    EXPECT_EQ(View.ApertureBox[0].X, At(15, 0.2).X - 5);
    Up(15, 0.2);
    EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{A->ID}}));
    EXPECT_EQ(Told, std::vector<std::string>{std::to_string(A->ID) + "+ locked"});
    EXPECT_EQ(Freed, 1);
    EXPECT_FALSE(Prog.EventsLocked);
    (void)p;
}

TEST_F(TSelect, OneObjectOnTheButtonDownWhenAsked)
{
    TCountedSelection* p = Start(StateClass<TQV_50Seleziona1Ogg>());
    p->PickOnMouseDown = true;
    Move(35, 0);
    Down(35, 0);
    EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{B->ID}}));
}

TEST_F(TSelect, PicksToggleInTheAnyNumberTask)
{
    TCountedSelection* p = Start(StateClass<TQV_50SelectObjects>());
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 16");
    Click(15, 0);
    Click(15, 0);
    EXPECT_TRUE(Selected(*p).empty());
    EXPECT_EQ(Told, (std::vector<std::string>{std::to_string(A->ID) + "+ locked",
                                              std::to_string(A->ID) + "- locked"}));
    Click(35, 0);
    Click(15, 0);
    EXPECT_EQ(Selected(*p), (std::vector<int32_t>{B->ID, A->ID}));
    EXPECT_EQ(View.OverlayObjects.size(), 2u);
    // Each frame tells the host the selection again.
    Told.clear();
    Frame();
    EXPECT_EQ(Told, (std::vector<std::string>{std::to_string(B->ID) + "+ locked no code",
                                              std::to_string(A->ID) + "+ locked no code"}));
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{B->ID, A->ID}}));
    EXPECT_EQ(View.OverlayMode, OverlayIdle);
    EXPECT_EQ(Freed, 1);
}

TEST_F(TSelect, DoneWithNothingSelectedHandsOverAnEmptySelection)
{
    Start(StateClass<TQV_50SelectObjects>());
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{}}));
}

TEST_F(TSelect, OnlyTheSelectableClassIsPicked)
{
    TCountedSelection* p = Start(StateClass<TQV_50SelectObjects>());
    p->SelectableClass = SelectableClassOf<TCurve2D>();
    Click(15, 0);
    Click(73, 0);
    EXPECT_EQ(Selected(*p), std::vector<int32_t>{Circle->ID});
}

TEST_F(TSelect, TwoObjectsEndTheTaskWhetherOrNotAnyoneListens)
{
    for (bool listen : {true, false}) {
        SCOPED_TRACE(listen ? "with OnSelected" : "without OnSelected");
        Received.clear();
        TCountedSelection* p = Start(StateClass<TQV_50Seleziona2Ogg>(), listen);
        Click(12, 0.1);
        EXPECT_EQ(Prog.CurrentState()->Description, "prompt 17");
        Click(14, 0);
        EXPECT_EQ(Prog.CurrentState()->Description, "prompt 9");
        Click(33, 0.2);
        EXPECT_TRUE(Received.empty());
        EXPECT_EQ(Selected(*p), std::vector<int32_t>{B->ID});
        Click(52, 2);
        EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{B->ID, Diagonal->ID}}));
        EXPECT_NEAR(PickPoints[0].X, 33, 0.1);
        EXPECT_NEAR(PickPoints[1].X, 52, 0.1);
        EXPECT_FALSE(Prog.OperationRunning);
    }
}

TEST_F(TSelect, OnePointLeavesOnTheButtonUpWithSnapAllowed)
{
    Start(StateClass<TQV_50SelectPoint>());
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 13");
    EXPECT_TRUE(Prog.UsaSnap);
    Move(3, 4);
    Down(3, 4);
    EXPECT_TRUE(Received.empty());
    Up(3, 4);
    EXPECT_EQ(Received.size(), 1u);
}

TEST_F(TSelect, PointsOrArcsAsTheChainSwitchSays)
{
    for (bool points : {true, false}) {
        SCOPED_TRACE(points ? "points" : "circles and arcs");
        SelectChainPoints = points;
        TCountedSelection* p = Start(StateClass<TQV_50SelectPuntiAndArchi>());
        Click(80, 0);
        Click(73, 0);
        Click(15, 0);
        EXPECT_EQ(Selected(*p), std::vector<int32_t>{points ? Point->ID : Circle->ID});
        Prog.StopOperation();
    }
    SelectChainPoints = false;
}

TEST_F(TSelect, AWindowSelectsWhatLiesInsideItDraggedEitherWay)
{
    struct TCase {
        const char* Name;
        TPoint2D First, Second;
    };
    const std::vector<TCase> cases = {
        {"left to right, top to bottom", {5, 5}, {45, -5}},
        {"right to left, bottom to top", {45, -5}, {5, 5}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Received.clear();
        Told.clear();
        Start(StateClass<TQV_51WinSelectObjects>());
        Click(c.First.X, c.First.Y);
        Move(c.Second.X, c.Second.Y);
        Frame();
        ASSERT_TRUE(Prog.OperationRunning);
        Down(c.Second.X, c.Second.Y);
        EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{A->ID, B->ID}}));
        EXPECT_EQ(Told, std::vector<std::string>{"window+ locked no code"});
        // The corners as clicked, the box normalised.
        EXPECT_EQ(ReceivedScreenRect[0], At(c.First.X, c.First.Y).X);
        EXPECT_EQ(ReceivedScreenRect[3], At(c.Second.X, c.Second.Y).Y);
        EXPECT_NEAR(ReceivedWindowBox.First.X, 5, 0.1);
        EXPECT_NEAR(ReceivedWindowBox.Second.Y, 5, 0.1);
        EXPECT_EQ(View.RubberBandObject, nullptr);
        EXPECT_EQ(View.OverlayMode, OverlayIdle);
    }
    EXPECT_EQ(Freed, 2);
}

TEST_F(TSelect, ACancelledSelectionReachesNoToolAndFreesItsParameter)
{
    struct TCase {
        const char* Name;
        TCADStateClass Task;
        bool ClickFirst; // on the line A: a pick, or the window's first corner
    };
    const std::vector<TCase> cases = {
        {"one object", StateClass<TQV_50Seleziona1Ogg>(), false},
        {"one point", StateClass<TQV_50SelectPoint>(), false},
        {"two objects, one picked", StateClass<TQV_50Seleziona2Ogg>(), true},
        {"any number, one picked", StateClass<TQV_50SelectObjects>(), true},
        {"points or arcs", StateClass<TQV_50SelectPuntiAndArchi>(), false},
        {"window, first corner", StateClass<TQV_51WinSelectObjects>(), false},
        {"window, second corner", StateClass<TQV_51WinSelectObjects>(), true},
    };
    int expected = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Start(c.Task);
        if (c.ClickFirst)
            Click(15, 0);
        Move(30, 20);
        Frame();
        Prog.SendUserEvent(ueCancel);
        EXPECT_EQ(Freed, ++expected);
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_EQ(View.RubberBandObject, nullptr);
    }
    EXPECT_TRUE(Received.empty());
}

TEST_F(TSelect, ATaskGivenTheWrongParameterEndsQuietly)
{
    int ends = 0;
    Prog.OnEndOperation = [&](TQV_00CADProg&, TCADStateClass, TQV_00CADPrgParam*) { ++ends; };
    for (TCADStateClass task : {StateClass<TQV_50Seleziona1Ogg>(), StateClass<TQV_50SelectPoint>(),
                                StateClass<TQV_50Seleziona2Ogg>(), StateClass<TQV_50SelectObjects>(),
                                StateClass<TQV_51WinSelectObjects>(), StateClass<TQV_52WinPrgSelect>()}) {
        Prog.StartOperation(task, std::make_unique<TQV_00CommonParam>(nullptr));
        EXPECT_FALSE(Prog.OperationRunning);
    }
    EXPECT_EQ(ends, 6);
}

TEST_F(TSelect, AnObjectFreedDuringTheTaskLeavesTheSelection)
{
    TCountedSelection* p = Start(StateClass<TQV_50SelectObjects>());
    Click(15, 0);
    Click(35, 0);
    Drawing.DeleteObject(A->ID);
    EXPECT_EQ(Selected(*p), std::vector<int32_t>{B->ID});
    EXPECT_EQ(View.OverlayObjects, std::vector<TGraphicObject*>{B});
    Frame();
    Prog.SendUserEvent(ueDone);
    EXPECT_EQ(Received, (std::vector<std::vector<int32_t>>{{B->ID}}));
}

} // namespace
