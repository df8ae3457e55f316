// The interaction engine's rules: how view events reach a state, and how operations start, chain,
// nest, stop, abort and end, with a parameter that counts its own freeing.
#include "EditingFixture.h"

#include "CADExceptions.h"
#include "QVEntity.h"
#include "QVTasks.h"

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::vector<std::string> Log;

// What a scripted state does in its constructor and with its events.
struct TScript {
    std::function<void(TQV_00State&, TCADStateClass&)> Made;
    std::function<bool(TQV_00State&, TCADPrgEvent, int32_t Key, TCADStateClass&)> Event;
    bool Suspendable = true;
};

template <int N> class TStep : public TQV_00State {
public:
    static inline TScript Script;

    TStep(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
        : TQV_00State(CADPrg, StateParam, NextState)
    {
        CanBeSuspended = Script.Suspendable;
        SetDescription("step " + std::to_string(N));
        if (Script.Made)
            Script.Made(*this, NextState);
    }
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton Button, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override
    {
        // Appended piece by piece: g++ 12 warns falsely about a chain of + at -O2.
        Log.push_back(std::string("S")
                          .append(std::to_string(N))
                          .append(" e")
                          .append(std::to_string(Event))
                          .append(" b")
                          .append(std::to_string(Button))
                          .append(" s")
                          .append(std::to_string(Shift))
                          .append(" k")
                          .append(std::to_string(Key)));
        return Script.Event ? Script.Event(*this, Event, Key, NextState) : false;
    }
};

using S1 = TStep<1>;
using S2 = TStep<2>;
using S3 = TStep<3>;

std::string NameOf(const TQV_00CADProg& Prog, TCADStateClass C)
{
    if (!C)
        return "none";
    if (C == Prog.DefaultState)
        return "idle";
    if (C == StateClass<S1>())
        return "S1";
    if (C == StateClass<S2>())
        return "S2";
    if (C == StateClass<S3>())
        return "S3";
    return "other";
}

// Counts how often parameters of the test are freed; ASan catches a second free of one.
struct TCountingParam : TQV_00CommonParam {
    TCountingParam(int& Freed, TCADStateClass After = nullptr) : TQV_00CommonParam(After), Freed(Freed) {}
    ~TCountingParam() override { ++Freed; }
    int& Freed;
};

// Leaves on ueDone (for AfterState or the end), cancels on ueCancel, throws on ueRotateChanged.
bool UserCodes(TQV_00State& S, TCADPrgEvent E, int32_t Key, TCADStateClass& Next)
{
    if (E != ceUserDefined)
        return false;
    if (Key == ueDone) {
        const bool after = S.Param && S.Param->AfterState && S.Param->AfterState != S.Class();
        Next = after ? S.Param->AfterState : S.CADPrg.DefaultState;
        return true;
    }
    if (Key == ueCancel) {
        S.FreeParam();
        Next = S.CADPrg.DefaultState;
        return true;
    }
    if (Key == ueRotateChanged)
        throw std::runtime_error("state failed");
    return false;
}

struct TEngine : TEditingFixture {
    int Freed = 0;

    void SetUp() override
    {
        TEditingFixture::SetUp();
        Log.clear();
        S1::Script = {nullptr, UserCodes, true};
        S2::Script = {nullptr, UserCodes, true};
        S3::Script = {nullptr, UserCodes, true};
        Prog.OnStartOperation = [this](TQV_00CADProg& P, TCADStateClass Op, TQV_00CADPrgParam*) {
            Log.push_back("start " + NameOf(P, Op));
        };
        Prog.OnEndOperation = [this](TQV_00CADProg& P, TCADStateClass Op, TQV_00CADPrgParam*) {
            Log.push_back("end " + NameOf(P, Op));
        };
        Prog.OnStopOperation = [this](TQV_00CADProg& P, TCADStateClass Op, TQV_00CADPrgParam* Param) {
            Log.push_back("stop " + NameOf(P, Op) + (Param ? " with param" : "") +
                          (P.OperationRunning ? " while running" : ""));
        };
        Prog.OnDescriptionChanged = [](TQV_00State& S) {
            if (!S.Description.empty())
                Log.push_back("prompt " + S.Description);
        };
    }

    std::unique_ptr<TCountingParam> Param(TCADStateClass After = nullptr)
    {
        return std::make_unique<TCountingParam>(Freed, After);
    }
    std::string Current() const
    {
        return NameOf(Prog, Prog.CurrentState() ? Prog.CurrentState()->Class() : nullptr);
    }
};

// ---- how the view's events reach the state ----

TEST_F(TEngine, ViewEventsReachTheStateAsTheWindowProcedureSendsThem)
{
    using K = TViewPortInput;
    struct TIn {
        K::TKind Kind;
        TMouseButton Button;
        TShiftState Shift;
        int32_t Key;
    };
    struct TCase {
        const char* Name;
        std::vector<TIn> Inputs;
        std::vector<std::string> Events;
    };
    const std::vector<TCase> cases = {
        {"a left double click is a double click, then a press",
         {{K::MouseDown, mbLeft, ssLeft, 0},
          {K::MouseUp, mbLeft, 0, 0},
          {K::DblClick, mbLeft, ssLeft | ssDouble, 0},
          {K::MouseUp, mbLeft, 0, 0}},
         {"S1 e1 b1 s8 k0", "S1 e2 b1 s0 k0", "S1 e3 b0 s0 k0", "S1 e1 b1 s72 k0", "S1 e2 b1 s0 k0"}},
        {"a right press and release",
         {{K::MouseDown, mbRight, ssRight, 0}, {K::MouseUp, mbRight, 0, 0}},
         {"S1 e1 b2 s16 k0", "S1 e2 b2 s0 k0"}},
        {"a move reports the button held, left before right before middle",
         {{K::MouseMove, mbLeft, ssLeft | ssRight, 0},
          {K::MouseMove, mbLeft, ssRight | ssMiddle, 0},
          {K::MouseMove, mbLeft, ssMiddle, 0},
          {K::MouseMove, mbLeft, ssShift, 0}},
         {"S1 e0 b1 s24 k0", "S1 e0 b2 s48 k0", "S1 e0 b3 s32 k0", "S1 e0 b0 s1 k0"}},
        {"a key held is carried on the mouse events until released",
         {{K::KeyDown, mbLeft, ssLeft, 65},
          {K::MouseMove, mbLeft, ssLeft, 0},
          {K::MouseDown, mbRight, ssLeft | ssRight, 0},
          {K::KeyUp, mbLeft, 0, 65},
          {K::MouseMove, mbLeft, 0, 0}},
         {"S1 e4 b1 s8 k65", "S1 e0 b1 s8 k65", "S1 e1 b2 s24 k65", "S1 e5 b0 s0 k65", "S1 e0 b0 s0 k0"}},
        {"the middle button makes no state event",
         {{K::MouseDown, mbMiddle, ssMiddle, 0},
          {K::DblClick, mbMiddle, ssMiddle, 0},
          {K::MouseUp, mbMiddle, 0, 0}},
         {}},
        {"a frame of the view is a paint", {{K::Paint, mbLeft, 0, 0}}, {"S1 e6 b0 s0 k0"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Prog.StartOperation(StateClass<S1>(), nullptr);
        Log.clear();
        for (const TIn& in : c.Inputs)
            Input(in.Kind, {5, 5}, in.Button, in.Shift, in.Key);
        EXPECT_EQ(Log, c.Events);
        Prog.StopOperation();
    }
}

TEST_F(TEngine, LockedEventsAreDropped)
{
    Prog.StartOperation(StateClass<S1>(), nullptr);
    Log.clear();
    Prog.EventsLocked = true;
    Move(1, 1);
    Prog.SendUserEvent(ueDone);
    EXPECT_TRUE(Log.empty());
    EXPECT_EQ(Current(), "S1");
    // An abort, whatever locked them, leaves events flowing again.
    Prog.AbortOperation();
    EXPECT_FALSE(Prog.EventsLocked);
}

// ---- operations: chains, nesting, stop, abort; every parameter freed exactly once ----

TEST_F(TEngine, EveryPathFreesTheParameterOnce)
{
    struct TCase {
        const char* Name;
        std::function<void(TEngine&)> Run;
        std::vector<std::string> Log; // the host's events and the prompts shown
        int Freed;                    // parameters freed by the end of Run
    };
    const auto throwing = [](TQV_00State&, TCADStateClass&) {
        throw ECADCoreException("TStep: Invalid param");
    };
    const std::vector<TCase> cases = {
        {"a task hands its parameter on and the last state frees it",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param(StateClass<S2>()));
             t.Prog.SendUserEvent(ueDone);
             EXPECT_EQ(t.Freed, 0);
             t.Prog.SendUserEvent(ueDone);
         },
         {"start S1", "prompt step 1", "prompt step 2", "start idle", "end S1"},
         1},
        {"a one-shot tool ends in its constructor",
         [](TEngine& t) {
             S1::Script.Made = [](TQV_00State& s, TCADStateClass& next) {
                 s.FreeParam();
                 next = s.CADPrg.DefaultState;
             };
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
         },
         {"start S1", "prompt step 1", "start idle", "end S1"},
         1},
        {"a state that names the default state in its constructor ends at once",
         [](TEngine& t) {
             S1::Script.Made = [](TQV_00State& s, TCADStateClass& next) { next = s.CADPrg.DefaultState; };
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
         },
         {"start S1", "prompt step 1", "start idle", "end S1"},
         1},
        {"a state that refuses its parameter ends the operation",
         [&](TEngine& t) {
             S1::Script.Made = throwing;
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
         },
         {"start S1", "prompt step 1", "start idle", "end S1"},
         1},
        {"a failing state later in the chain ends the operation",
         [&](TEngine& t) {
             S2::Script.Made = throwing;
             t.Prog.StartOperation(StateClass<S1>(), t.Param(StateClass<S2>()));
             t.Prog.SendUserEvent(ueDone);
         },
         {"start S1", "prompt step 1", "prompt step 2", "start idle", "end S1"},
         1},
        {"cancel frees the parameter in the state",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.SendUserEvent(ueCancel);
         },
         {"start S1", "prompt step 1", "start idle", "end S1"},
         1},
        {"stop fires once the idle state is back",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "start idle", "stop S1"},
         1},
        {"a new operation stops the running one",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartOperation(StateClass<S2>(), t.Param());
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "start idle", "stop S1", "start S2", "prompt step 2", "start idle",
          "stop S2"},
         2},
        {"an exception of a state aborts the operation",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.SendUserEvent(ueRotateChanged);
         },
         {"start S1", "prompt step 1", "start idle", "end S1"},
         1},
        {"a nested task borrows the suspended task's parameter and gives it back",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             EXPECT_TRUE(t.Prog.StartNestedOperation(StateClass<S3>()));
             EXPECT_EQ(t.Prog.CurrentState()->Param, t.Prog.SuspendedState()->Param);
             t.Prog.SendUserEvent(ueCancel); // frees nothing it does not own
             EXPECT_EQ(t.Freed, 0);
             EXPECT_EQ(t.Current(), "S1");
             t.Prog.SendUserEvent(ueDone);
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "end S1"},
         1},
        {"a nested task frees its own parameter when it ends",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartNestedOperation(StateClass<S3>(), t.Param());
             t.Prog.SendUserEvent(ueDone);
             EXPECT_EQ(t.Freed, 1);
             t.Prog.SendUserEvent(ueDone);
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "end S1"},
         2},
        {"stopping a nested task resumes the suspended one",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartNestedOperation(StateClass<S3>(), t.Param());
             t.Prog.StopOperation();
             EXPECT_EQ(t.Current(), "S1");
             EXPECT_EQ(t.Freed, 1);
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "stop S1"},
         2},
        {"aborting a nested task resumes the suspended one",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartNestedOperation(StateClass<S3>());
             t.Prog.SendUserEvent(ueRotateChanged);
             EXPECT_EQ(t.Current(), "S1");
             EXPECT_FALSE(t.Prog.IsSuspended);
             t.Prog.AbortOperation();
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "end S1"},
         1},
        {"a nested task that refuses its parameter resumes the suspended one",
         [&](TEngine& t) {
             S3::Script.Made = throwing;
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartNestedOperation(StateClass<S3>(), t.Param());
             EXPECT_EQ(t.Current(), "S1");
             EXPECT_EQ(t.Freed, 1);
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "stop S1"},
         2},
        {"no start while suspended, and the refused parameter is freed",
         [](TEngine& t) {
             t.Prog.StartOperation(StateClass<S1>(), t.Param());
             t.Prog.StartNestedOperation(StateClass<S3>());
             EXPECT_FALSE(t.Prog.StartOperation(StateClass<S2>(), t.Param()));
             EXPECT_FALSE(t.Prog.StartNestedOperation(StateClass<S2>(), t.Param()));
             EXPECT_EQ(t.Freed, 2);
             EXPECT_EQ(t.Current(), "S3");
             t.Prog.StopOperation();
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "prompt step 3", "prompt step 1", "start idle", "stop S1"},
         3},
        {"a task that cannot be suspended refuses a nested one",
         [](TEngine& t) {
             S1::Script.Suspendable = false;
             t.Prog.StartOperation(StateClass<S1>(), t.Param(StateClass<S2>()));
             t.Prog.SendUserEvent(ueDone); // the first state's flag passes down the chain
             EXPECT_FALSE(t.Prog.StartNestedOperation(StateClass<S3>(), t.Param()));
             t.Prog.StopOperation();
         },
         {"start S1", "prompt step 1", "prompt step 2", "start idle", "stop S1"},
         2},
        {"a nested start with nothing running is an ordinary start",
         [](TEngine& t) {
             EXPECT_FALSE(t.Prog.StartNestedOperation(StateClass<S3>(), t.Param()));
             EXPECT_TRUE(t.Prog.OperationRunning);
             t.Prog.SendUserEvent(ueDone);
         },
         {"start S3", "prompt step 3", "start idle", "end S3"},
         1},
        {"the idle state refuses a parameter",
         [](TEngine& t) { t.Prog.StartOperation(t.Prog.DefaultState, t.Param()); },
         {"start idle"},
         1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        SetUp();
        Freed = 0;
        Log.clear();
        c.Run(*this);
        // The host's view of it: the events the states got are left out.
        std::erase_if(Log, [](const std::string& l) { return l[0] == 'S'; });
        EXPECT_EQ(Log, c.Log);
        EXPECT_EQ(Freed, c.Freed);
        EXPECT_EQ(Current(), "idle");
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_FALSE(Prog.IsSuspended);
        EXPECT_EQ(Prog.SuspendedState(), nullptr);
    }
}

TEST_F(TEngine, AProgramGoingAwayFreesBothParameters)
{
    {
        TQV_00Prog prog;
        prog.SetViewPort(&View);
        prog.StartOperation(StateClass<S1>(), Param());
        prog.StartNestedOperation(StateClass<S3>(), Param());
    }
    EXPECT_EQ(Freed, 2);
}

TEST_F(TEngine, UserEventsNeedAView)
{
    Prog.StartOperation(StateClass<S1>(), nullptr);
    Prog.SetViewPort(nullptr);
    Log.clear();
    Prog.SendUserEvent(ueDone);
    Prog.SendCADEvent(ceMouseDown, mbLeft, 0, 0);
    EXPECT_TRUE(Log.empty());
    Prog.SetViewPort(&View);
    Prog.SendCADEvent(ceMouseDown, mbRight, ssShift, 7);
    EXPECT_EQ(Log, (std::vector<std::string>{"S1 e1 b2 s1 k7"}));
}

TEST_F(TEngine, ARepaintAsksForOneRebuildWhenTheOperationEnds)
{
    Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}));
    Prog.StartOperation(StateClass<S1>(), nullptr);
    Prog.RepaintAfterOperation();
    View.DrawingGroup->DeleteChildren();
    Prog.SendUserEvent(ueDone);
    EXPECT_FALSE(Prog.RepaintPending);
    EXPECT_EQ(View.DrawingGroup->Count(), 1);
}

} // namespace

// ---- the end of an operation is final before the host hears of it ----

TEST_F(TEngine, TheHostHearsOfTheEndOnceTheIdleStateIsBack)
{
    // The host hides the tool window on the end, and the hide cancels whatever runs: that cancel
    // must meet the idle state, not the state that has just finished (which would end again, and
    // again, for a state that leaves on every cancel).
    int ends = 0;
    std::vector<std::string> seen;
    Prog.OnEndOperation = [&](TQV_00CADProg& P, TCADStateClass Op, TQV_00CADPrgParam*) {
        ++ends;
        seen.push_back(NameOf(P, Op) + (P.OperationRunning ? " running" : " idle") + " in " + Current());
        P.SendUserEvent(ueCancel);
    };
    struct TCase {
        const char* Name;
        std::function<void(TEngine&)> End;
    };
    const std::vector<TCase> cases = {
        {"done", [](TEngine& t) { t.Prog.SendUserEvent(ueDone); }},
        {"cancel", [](TEngine& t) { t.Prog.SendUserEvent(ueCancel); }},
        {"a failing event", [](TEngine& t) { t.Prog.SendUserEvent(ueRotateChanged); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        ends = 0;
        seen.clear();
        Prog.StartOperation(StateClass<S1>(), Param());
        c.End(*this);
        EXPECT_EQ(ends, 1);
        EXPECT_EQ(seen, std::vector<std::string>{"S1 idle in idle"});
        EXPECT_FALSE(Prog.OperationRunning);
    }
    EXPECT_EQ(Freed, 3);
}

TEST_F(TEngine, FailuresReachTheHostAfterTheWayBack)
{
    std::vector<std::string> failures;
    Prog.OnFailure = [&](std::exception_ptr E) {
        try {
            std::rethrow_exception(E);
        } catch (const std::exception& e) {
            failures.push_back(std::string(e.what()) + (Prog.OperationRunning ? " running" : " idle"));
        }
    };
    S2::Script.Made = [](TQV_00State&, TCADStateClass&) { throw ECADCoreException("TStep: Invalid param"); };
    // A constructor that fails, first or later in the chain; a user event that fails.
    Prog.StartOperation(StateClass<S2>(), Param());
    Prog.StartOperation(StateClass<S1>(), Param(StateClass<S2>()));
    Prog.SendUserEvent(ueDone);
    Prog.StartOperation(StateClass<S1>(), Param());
    Prog.SendUserEvent(ueRotateChanged);
    EXPECT_EQ(failures, (std::vector<std::string>{"TStep: Invalid param idle", "TStep: Invalid param idle",
                                                  "state failed idle"}));
    EXPECT_EQ(Freed, 3);
}
