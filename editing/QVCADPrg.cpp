#include "QVCADPrg.h"

#include "QVScene.h"

#include <stdexcept>
#include <utility>

// ---- states ----

TQV_00State::TQV_00State(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : CADPrg(CADPrg), Param(StateParam)
{
    SetDescription("");
    NextState = nullptr;
}

bool TQV_00State::OnEvent(TCADPrgEvent, TCADMouseButton, TShiftState, int32_t, TCADStateClass&)
{
    return false;
}

void TQV_00State::OnStop()
{
    FreeParam();
}

void TQV_00State::OnResume(TCADStateClass, TQV_00CADPrgParam*) {}

void TQV_00State::SetDescription(const std::string& Text)
{
    Description = Text;
    if (CADPrg.OnDescriptionChanged)
        CADPrg.OnDescriptionChanged(*this);
}

void TQV_00State::FreeParam()
{
    if (CADPrg.OwnsParam(Param))
        CADPrg.FOperationParam.reset();
    Param = nullptr;
}

void TQV_00State::LeaveWithParam(TCADStateClass& NextState)
{
    if (Param && Param->AfterState) {
        NextState = Param->AfterState;
        return;
    }
    Cancel(NextState);
}

void TQV_00State::Cancel(TCADStateClass& NextState)
{
    FreeParam();
    NextState = CADPrg.DefaultState;
}

TEventsLock::TEventsLock(TQV_00CADProg& CADPrg) : CADPrg(CADPrg), Was(CADPrg.EventsLocked)
{
    CADPrg.EventsLocked = true;
}

TEventsLock::~TEventsLock()
{
    CADPrg.EventsLocked = Was;
}

TQV_00CADIdleState::TQV_00CADIdleState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (StateParam)
        throw std::runtime_error("TCADIdleState.Create: Non all objects were destroied");
}

// ---- the program ----

TQV_00CADProg::TQV_00CADProg() : DefaultState(StateClass<TQV_00CADIdleState>())
{
    // The idle state is made quietly: nobody listens yet.
    MakeIdleState();
}

TQV_00CADProg::~TQV_00CADProg()
{
    Shutdown();
}

void TQV_00CADProg::Shutdown()
{
    // A state may still talk to the program and the view while it stops.
    const auto stop = [](std::unique_ptr<TQV_00State>& State) {
        if (!State)
            return;
        try {
            State->OnStop();
        } catch (...) {
            // Going away regardless; nothing is left to report to.
        }
        State.reset();
    };
    stop(FCurrentState);
    stop(FSuspendedState);
    FOperationParam.reset();
    FSuspendedParam.reset();
    FViewPort = nullptr;
}

void TQV_00CADProg::MakeIdleState()
{
    TCADStateClass scratch = nullptr;
    FCurrentState = DefaultState->Create(*this, nullptr, scratch);
}

void TQV_00CADProg::SetViewPort(TQVScene* View)
{
    FViewPort = View;
}

void TQV_00CADProg::SetViewerCursor(int32_t Cursor)
{
    if (Cursor == FViewerCursor)
        return;
    FViewerCursor = Cursor;
    if (OnCursorChanged)
        OnCursorChanged(Cursor);
}

void TQV_00CADProg::ReplaceParam(TQV_00State& State, std::unique_ptr<TQV_00CADPrgParam> P)
{
    State.Param = P.get();
    FOperationParam = std::move(P);
}

std::unique_ptr<TQV_00CADPrgParam> TQV_00CADProg::TakeParam(TQV_00State& State)
{
    if (!OwnsParam(State.Param))
        return nullptr;
    return std::move(FOperationParam);
}

TCADMouseButton TQV_00CADProg::HeldButton(TShiftState Shift)
{
    if (Shift & ssLeft)
        return cmbLeft;
    if (Shift & ssRight)
        return cmbRight;
    if (Shift & ssMiddle)
        return cmbMiddle;
    return cmbNone;
}

// ---- operations ----

bool TQV_00CADProg::StartOperation(TCADStateClass Operation, std::unique_ptr<TQV_00CADPrgParam> Param)
{
    if (IsSuspended)
        return false;
    if (OperationRunning)
        StopOperation();
    OperationRunning = Operation != DefaultState;
    CurrentOperation = Operation;
    TQV_00CADPrgParam* p = Param.get();
    FOperationParam = std::move(Param);
    if (OnStartOperation)
        OnStartOperation(*this, Operation, p);
    RunChain(Operation, p, true);
    return true;
}

bool TQV_00CADProg::StartNestedOperation(TCADStateClass Operation, std::unique_ptr<TQV_00CADPrgParam> Param)
{
    if (IsSuspended || !FCurrentState || !FCurrentState->CanBeSuspended)
        return false;
    if (!OperationRunning) {
        StartOperation(Operation, std::move(Param));
        return false;
    }
    FSuspendedState = std::move(FCurrentState);
    SuspendedOperation = CurrentOperation;
    FSuspendedParam = std::move(FOperationParam);
    IsSuspended = true;
    NestedOperation = Operation;
    // Without a parameter of its own the nested task works on the suspended task's, borrowed.
    TQV_00CADPrgParam* p = Param ? Param.get() : FSuspendedState->Param;
    FOperationParam = std::move(Param);
    RunChain(Operation, p, true);
    return true;
}

void TQV_00CADProg::RunChain(TCADStateClass NextState, TQV_00CADPrgParam* P, bool First)
{
    bool suspendable = FCurrentState ? FCurrentState->CanBeSuspended : true;
    while (NextState) {
        if (NextState == DefaultState && CurrentOperation != DefaultState) {
            EndOperation();
            return;
        }
        FCurrentState.reset();
        const TCADStateClass made = NextState;
        try {
            FCurrentState = made->Create(*this, P, NextState);
        } catch (...) {
            const std::exception_ptr failure = std::current_exception();
            EndWithoutState();
            ReportFailure(failure);
            return;
        }
        if (First)
            suspendable = FCurrentState->CanBeSuspended;
        First = false;
        FCurrentState->CanBeSuspended = suspendable;
        P = FCurrentState->Param;
        if (OnEnterState)
            OnEnterState(*this, *FCurrentState);
    }
}

void TQV_00CADProg::EndOperation()
{
    // Only the end of the outer operation is the host's business: a nested zoom or pan that ends
    // gives the task back, which goes on.
    if (IsSuspended || !OnEndOperation) {
        FinishOperation();
        return;
    }
    const TCADStateClass operation = CurrentOperation;
    TQV_00CADPrgParam* param = FCurrentState ? FCurrentState->Param : FOperationParam.get();
    // The parameter outlives the finish (which would free it) until the handler is done.
    std::unique_ptr<TQV_00CADPrgParam> kept = OwnsParam(param) ? std::move(FOperationParam) : nullptr;
    if (!kept)
        param = nullptr;
    FinishOperation();
    OnEndOperation(*this, operation, param);
}

void TQV_00CADProg::ReportFailure(const std::exception_ptr& Failure)
{
    if (OnFailure && Failure)
        OnFailure(Failure);
}

void TQV_00CADProg::FinishOperation()
{
    if (IsSuspended) {
        TQV_00CADPrgParam* finishedParam = FCurrentState ? FCurrentState->Param : nullptr;
        // The nested operation's own parameter lives until the resumed task has seen it.
        std::unique_ptr<TQV_00CADPrgParam> finished = std::move(FOperationParam);
        std::unique_ptr<TQV_00State> done = std::move(FCurrentState);
        FCurrentState = std::move(FSuspendedState);
        FOperationParam = std::move(FSuspendedParam);
        CurrentOperation = SuspendedOperation;
        SuspendedOperation = nullptr;
        const TCADStateClass finishedOperation = NestedOperation;
        NestedOperation = nullptr;
        IsSuspended = false;
        done.reset();
        FCurrentState->SetDescription(FCurrentState->Description);
        RebuildIfPending();
        FCurrentState->OnResume(finishedOperation, finishedParam);
        return;
    }
    OperationRunning = false;
    // The rubber band belongs to the operation that showed it, and may go with its parameter.
    if (FViewPort)
        FViewPort->RubberBandObject = nullptr;
    FOperationParam.reset();
    FCurrentState.reset();
    CurrentOperation = nullptr;
    RebuildIfPending();
    EventsLocked = false;
    StartOperation(DefaultState, nullptr);
    if (DefaultState == StateClass<TQV_00CADIdleState>() && OnIdle)
        OnIdle(*this);
}

void TQV_00CADProg::RebuildIfPending()
{
    if (!RepaintPending)
        return;
    RepaintPending = false;
    if (FViewPort)
        FViewPort->RebuildAll(false);
}

void TQV_00CADProg::StopOperation()
{
    if (!OperationRunning || !FCurrentState)
        return;
    const TCADStateClass stopped = CurrentOperation;
    const bool nested = IsSuspended;
    FCurrentState->OnStop();
    FinishOperation();
    if (!nested && OnStopOperation)
        OnStopOperation(*this, stopped, nullptr);
}

void TQV_00CADProg::AbortOperation()
{
    EventsLocked = false;
    if (!FCurrentState) {
        EndWithoutState();
        return;
    }
    try {
        FCurrentState->OnStop();
    } catch (...) {
        // The operation ends all the same; its parameter is freed below.
    }
    if (OperationRunning)
        EndOperation();
    else
        FinishOperation();
}

void TQV_00CADProg::EndWithoutState()
{
    EventsLocked = false;
    if (!IsSuspended && !OperationRunning) {
        // Even the idle state failed: make it quietly.
        FOperationParam.reset();
        MakeIdleState();
        return;
    }
    EndOperation();
}

void TQV_00CADProg::SendUserEvent(uint16_t Code)
{
    if (!FViewPort)
        return;
    try {
        SendEvent(ceUserDefined, cmbNone, 0, Code);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        AbortOperation();
        ReportFailure(failure);
    }
}

void TQV_00CADProg::SendCADEvent(TCADPrgEvent Event, TMouseButton Button, TShiftState Shift, int32_t Key)
{
    if (!FViewPort)
        return;
    const auto button = static_cast<TCADMouseButton>(Button + 1);
    try {
        SendEvent(Event, button, Shift, Key);
    } catch (...) {
        const std::exception_ptr failure = std::current_exception();
        AbortOperation();
        ReportFailure(failure);
    }
}

void TQV_00CADProg::SendEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key)
{
    if (EventsLocked || !FCurrentState)
        return;
    TCADStateClass next = nullptr;
    if (!FCurrentState->OnEvent(Event, MouseButton, Shift, Key, next))
        return;
    ++FStatesLeft;
    if (OnExitState)
        OnExitState(*this, *FCurrentState);
    if (!next || next == DefaultState) {
        EndOperation();
        return;
    }
    RunChain(next, FCurrentState->Param, false);
}

// ---- the view's events ----

void TQV_00CADProg::ViewPortInput(const TViewPortInput& E)
{
    switch (E.Kind) {
    case TViewPortInput::KeyDown:
        ViewPortKeyDown(E.Key, E.Shift);
        break;
    case TViewPortInput::KeyUp:
        ViewPortKeyUp(E.Key, E.Shift);
        break;
    case TViewPortInput::MouseMove:
        ViewPortMouseMove(E.Shift, E.X, E.Y);
        break;
    case TViewPortInput::MouseDown:
        if (E.Button != mbMiddle)
            ViewPortMouseDown(E.Button, E.Shift, E.X, E.Y);
        break;
    case TViewPortInput::MouseUp:
        if (E.Button != mbMiddle)
            ViewPortMouseUp(E.Button, E.Shift, E.X, E.Y);
        break;
    case TViewPortInput::DblClick:
        // The second press of a double click arrives as this event alone: the state gets the
        // double click and then the press.
        if (E.Button != mbMiddle) {
            ViewPortDblClick();
            ViewPortMouseDown(E.Button, E.Shift, E.X, E.Y);
        }
        break;
    case TViewPortInput::Paint:
        ViewPortPaint();
        break;
    }
}

bool TQV_00CADProg::ViewPortPaint()
{
    if (FCurrentState)
        SendEvent(cePaint, cmbNone, 0, 0);
    if (OnViewPortPaint)
        OnViewPortPaint(*this);
    return true;
}

bool TQV_00CADProg::ViewPortKeyDown(int32_t Key, TShiftState Shift)
{
    PressedKey = Key;
    if (FCurrentState)
        SendEvent(ceKeyDown, HeldButton(Shift), Shift, Key);
    return true;
}

bool TQV_00CADProg::ViewPortKeyUp(int32_t Key, TShiftState Shift)
{
    if (FCurrentState)
        SendEvent(ceKeyUp, HeldButton(Shift), Shift, Key);
    PressedKey = 0;
    return true;
}

bool TQV_00CADProg::ViewPortDblClick()
{
    if (FCurrentState)
        SendEvent(ceMouseDblClick, cmbNone, 0, 0);
    return true;
}

bool TQV_00CADProg::ViewPortMouseMove(TShiftState Shift, int32_t, int32_t)
{
    if (FCurrentState)
        SendEvent(ceMouseMove, HeldButton(Shift), Shift, PressedKey);
    return true;
}

bool TQV_00CADProg::ViewPortMouseDown(TMouseButton Button, TShiftState Shift, int32_t, int32_t)
{
    const auto button = static_cast<TCADMouseButton>(Button + 1);
    FReleaseToDrop = cmbNone;
    const uint64_t before = FStatesLeft;
    if (FCurrentState)
        SendEvent(ceMouseDown, button, Shift, PressedKey);
    // A press that finished a state finished the click: its release is no pick of the next one.
    if (FStatesLeft != before)
        FReleaseToDrop = button;
    return true;
}

bool TQV_00CADProg::ViewPortMouseUp(TMouseButton Button, TShiftState Shift, int32_t, int32_t)
{
    const auto button = static_cast<TCADMouseButton>(Button + 1);
    if (FReleaseToDrop == button) {
        FReleaseToDrop = cmbNone;
        return true;
    }
    if (FCurrentState)
        SendEvent(ceMouseUp, button, Shift, PressedKey);
    return true;
}
