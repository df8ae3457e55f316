#pragma once
// The interaction engine. Every interactive command runs as an operation of one program: a chain
// of states, each an object made from a state class, fed the view's mouse and key events one at a
// time; when a state has what it needs it names the class of the next state, and the chain ends
// when it names none or the program's default (idle) state. The states of one operation share
// one parameter object in which they collect what the user picked; it also names the state to
// enter when the task is done (AfterState), so a selection task hands its result to a tool.
//
// A zoom or a pan may run nested inside a task (one level): the task is suspended and resumed
// when the nested operation ends.
//
// Ownership: the program owns the states and the operations' parameters. A parameter belongs to
// the operation it was started with: a state works on it through Param, hands it on by naming a
// next state, and gives it up through FreeParam; the program frees what is left when the
// operation ends, so every path frees it exactly once. A nested operation started without a
// parameter borrows the suspended task's, and never frees it.
//
// Qt-free: the events arrive as plain values (TViewPortInput) from an adapter on the view widget
// (editing/qt), and the hooks to the main window are std::functions that may stay empty.
#include "QVTypes.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <string>

class TQVScene;
class TGraphicObject;
class TQV_00State;
class TQV_00CADProg;

// The kind of event sent to a state.
enum TCADPrgEvent : uint8_t {
    ceMouseMove = 0,
    ceMouseDown = 1,
    ceMouseUp = 2,
    ceMouseDblClick = 3,
    ceKeyDown = 4,
    ceKeyUp = 5,
    cePaint = 6,
    ceUserDefined = 7,
};

// For button events the button pressed or released; for moves and keys the button held (left
// before right before middle).
enum TCADMouseButton : uint8_t { cmbNone = 0, cmbLeft = 1, cmbRight = 2, cmbMiddle = 3 };

// The user codes, carried in the Key of ceUserDefined.
enum TCADUserEvent : uint16_t {
    ueDone = 1,
    ueCancel = 2,
    ueClosePolygon = 3,
    ueRotateChanged = 4,
    ueScaleChanged = 5,
    ueTranslateChanged = 6,
    ueRemoveLastPoint = 7,
    ueMirrorChanged = 8,
};

// The keys and buttons held with an event, as bits.
using TShiftState = uint8_t;
constexpr TShiftState ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32,
                      ssDouble = 64;

// A mouse button as the view reports it.
enum TMouseButton : uint8_t { mbLeft = 0, mbRight = 1, mbMiddle = 2 };

// One event of the view, as the adapter hands it over: the window procedure's messages.
struct TViewPortInput {
    enum TKind : uint8_t { KeyDown, KeyUp, MouseMove, MouseDown, MouseUp, DblClick, Paint };
    TKind Kind = MouseMove;
    TMouseButton Button = mbLeft; // MouseDown, MouseUp, DblClick
    TShiftState Shift = 0;
    int32_t X = 0, Y = 0; // pixels of the view, origin top-left
    int32_t Key = 0;      // KeyDown, KeyUp: the toolkit's key code
};

// A state class: what the program makes a state from. StateClass<T>() names class T.
class TQV_00CADPrgParam;
struct TCADStateClassInfo {
    std::unique_ptr<TQV_00State> (*Create)(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* Param,
                                           const TCADStateClassInfo*& NextState);
};
using TCADStateClass = const TCADStateClassInfo*;

template <class T> TCADStateClass StateClass();

// The parameter of an operation.
class TQV_00CADPrgParam {
public:
    explicit TQV_00CADPrgParam(TCADStateClass AfterState) : AfterState(AfterState) {}
    virtual ~TQV_00CADPrgParam() = default;
    TQV_00CADPrgParam(const TQV_00CADPrgParam&) = delete;
    TQV_00CADPrgParam& operator=(const TQV_00CADPrgParam&) = delete;

    // The state the task moves to, keeping the parameter, when it is done; null ends there.
    TCADStateClass AfterState;
    // An object a task works on, filled by the caller; not owned.
    TGraphicObject* Target = nullptr;
};

// The base of nearly all task parameters.
class TQV_00CommonParam : public TQV_00CADPrgParam {
public:
    using TQV_00CADPrgParam::TQV_00CADPrgParam;
};

class TQV_00State {
public:
    // Stores the program and the parameter, CanBeSuspended true, an empty prompt, NextState null.
    // A subclass checks its parameter, sets its prompt, and may do all its work and name the
    // next state here (it is then left at once).
    TQV_00State(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    virtual ~TQV_00State() = default;
    TQV_00State(const TQV_00State&) = delete;
    TQV_00State& operator=(const TQV_00State&) = delete;

    // One event. True leaves the state for NextState: a class, the parameter's AfterState, the
    // program's DefaultState, or null (the end). The base keeps the state.
    virtual bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                         TCADStateClass& NextState);
    // The operation is stopped or aborted, or the program goes. The base gives up the parameter;
    // a state that shows something on the view's overlay takes it off first.
    virtual void OnStop();
    // The nested operation that suspended this state has ended.
    virtual void OnResume(TCADStateClass FinishedOperation, TQV_00CADPrgParam* FinishedParam);
    // Stores the prompt and tells the program's OnDescriptionChanged.
    void SetDescription(const std::string& Text);
    // Gives up the parameter: the program frees it when the operation owns it (a borrowed one
    // stays with its owner); Param is null afterwards.
    void FreeParam();
    // The class the state was made from (null until made).
    TCADStateClass Class() const { return FClass; }

    TQV_00CADProg& CADPrg;
    TQV_00CADPrgParam* Param;
    bool CanBeSuspended = true;
    std::string Description;

protected:
    // A task done: on to the parameter's AfterState with the parameter, or, without one, the
    // parameter is freed and the operation ends.
    void LeaveWithParam(TCADStateClass& NextState);
    // A task cancelled: the parameter is freed and the operation ends.
    void Cancel(TCADStateClass& NextState);

private:
    template <class T> friend TCADStateClass StateClass();
    TCADStateClass FClass = nullptr;
};

template <class T> TCADStateClass StateClass()
{
    static const TCADStateClassInfo info{[](TQV_00CADProg& CADPrg, TQV_00CADPrgParam* Param,
                                            TCADStateClass& NextState) -> std::unique_ptr<TQV_00State> {
        auto state = std::make_unique<T>(CADPrg, Param, NextState);
        state->FClass = StateClass<T>();
        return state;
    }};
    return &info;
}

// The default state: it ignores every event.
class TQV_00CADIdleState : public TQV_00State {
public:
    // Raises when given a parameter: an operation ended without its parameter being freed.
    TQV_00CADIdleState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Locks the program's events for as long as it lives (around a callback or a drawing change),
// and leaves them as they were, also when the work fails.
class TEventsLock {
public:
    explicit TEventsLock(TQV_00CADProg& CADPrg);
    ~TEventsLock();
    TEventsLock(const TEventsLock&) = delete;
    TEventsLock& operator=(const TEventsLock&) = delete;

private:
    TQV_00CADProg& CADPrg;
    bool Was;
};

using TCADPrgOnChangeState = std::function<void(TQV_00CADProg& Sender, TQV_00State& State)>;
using TCADPrgOnOperation =
    std::function<void(TQV_00CADProg& Sender, TCADStateClass Operation, TQV_00CADPrgParam* Param)>;
using TCADPrgNotify = std::function<void(TQV_00CADProg& Sender)>;

class TQV_00CADProg {
public:
    // Grey cursor colour, no view, the idle state current (no event fires).
    TQV_00CADProg();
    // Stops the current and the suspended state (OnStop) and frees them with their parameters.
    virtual ~TQV_00CADProg();
    TQV_00CADProg(const TQV_00CADProg&) = delete;
    TQV_00CADProg& operator=(const TQV_00CADProg&) = delete;

    // The view the program works in; not owned. The host detaches it (null) before the view goes.
    TQVScene* ViewPort() const { return FViewPort; }
    virtual void SetViewPort(TQVScene* View);

    virtual void GetCursorPoint(TPoint2D& Pt) const = 0;
    virtual void SetCursorPoint(const TPoint2D& Pt) = 0;

    // Starts an operation with its parameter, stopping a running one first. False, doing nothing
    // (the parameter is freed), while a nested operation runs.
    bool StartOperation(TCADStateClass Operation, std::unique_ptr<TQV_00CADPrgParam> Param);
    // Runs Operation inside the current task, which is suspended and resumed afterwards. Without a
    // parameter the nested task works on the suspended task's. Refused (false) while suspended or
    // when the current state cannot be suspended; with nothing running it is an ordinary start
    // and the answer is false too.
    bool StartNestedOperation(TCADStateClass Operation, std::unique_ptr<TQV_00CADPrgParam> Param = nullptr);
    // The current state's OnStop, then the end: a nested operation resumes the task it
    // interrupted; an outer one returns to idle and OnStopOperation fires.
    void StopOperation();
    // As StopOperation, for failures: events unlocked; the operation ends even without a state
    // (a state whose constructor failed). An outer operation returns fully to idle and fires
    // OnEndOperation; a nested one resumes its task.
    void AbortOperation();
    // A user code from the main or tool window; an exception aborts the operation unreported.
    void SendUserEvent(uint16_t Code);
    // An event as if from the view (a typed coordinate is a left click); an exception aborts.
    void SendCADEvent(TCADPrgEvent Event, TMouseButton Button, TShiftState Shift, int32_t Key);
    // The view is rebuilt when the operation ends or a suspended task resumes.
    void RepaintAfterOperation() { RepaintPending = true; }
    // Hands one event to the current state and follows the chain of states it names. Dropped
    // while EventsLocked.
    virtual void SendEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key);

    // The view's events, as its window procedure would dispatch them: a double click is DblClick
    // then a button-down; a middle button makes no state event. Exceptions reach the caller (the
    // adapter reports them and aborts).
    void ViewPortInput(const TViewPortInput& E);
    virtual bool ViewPortPaint();
    virtual bool ViewPortKeyDown(int32_t Key, TShiftState Shift);
    virtual bool ViewPortKeyUp(int32_t Key, TShiftState Shift);
    virtual bool ViewPortDblClick();
    virtual bool ViewPortMouseMove(TShiftState Shift, int32_t X, int32_t Y);
    virtual bool ViewPortMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);
    virtual bool ViewPortMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y);

    // The cursor shown on the view (TCursorSlot numbers); the adapter hears of every change.
    int32_t ViewerCursor() const { return FViewerCursor; }
    void SetViewerCursor(int32_t Cursor);

    TQV_00State* CurrentState() const { return FCurrentState.get(); }
    TQV_00State* SuspendedState() const { return FSuspendedState.get(); }

    // For the states: the operation's parameter replaced by P, which the operation now owns; the
    // old one is freed unless taken first. Param of the current state follows.
    void ReplaceParam(TQV_00State& State, std::unique_ptr<TQV_00CADPrgParam> P);
    // For the states: the operation gives up its parameter to the caller (null when borrowed).
    std::unique_ptr<TQV_00CADPrgParam> TakeParam(TQV_00State& State);
    // True when P is the parameter the running operation owns.
    bool OwnsParam(const TQV_00CADPrgParam* P) const { return P && P == FOperationParam.get(); }

    bool OperationRunning = false;
    bool IsSuspended = false;
    bool Snap2Grid = false;
    bool UsaSnap = false;
    bool UseOrto = false;
    double XSnap = 0, YSnap = 0;
    uint32_t CursorColor = 8421504;
    bool RepaintPending = false;
    bool RefreshAfterOperation = true;
    // While set, SendEvent drops every event; tasks set it around drawing changes and modal work.
    bool EventsLocked = false;
    // The key last pressed in the view, 0 after its release; mouse events carry it.
    int32_t PressedKey = 0;
    TCADStateClass DefaultState;
    TCADStateClass CurrentOperation = nullptr;
    TCADStateClass SuspendedOperation = nullptr;

    TCADPrgOnChangeState OnEnterState, OnExitState;
    TCADPrgOnOperation OnEndOperation, OnStartOperation, OnStopOperation;
    TCADPrgNotify OnViewPortPaint, OnIdle;
    // Sender is the state whose prompt changed.
    std::function<void(TQV_00State& Sender)> OnDescriptionChanged;
    // The adapter shows the cursor on the view widget.
    std::function<void(int32_t Cursor)> OnCursorChanged;
    // A state's constructor raised, or a user event or typed click did: the operation has been
    // aborted and the program is idle (or back in the suspended task) before this hears of it.
    // The host shows the message; empty, the failure goes unreported.
    std::function<void(std::exception_ptr Failure)> OnFailure;

protected:
    // Stops and frees the states and the parameters; the destructors call it while the derived
    // program still exists, since a stopping state may ask it for its cursor point.
    void Shutdown();

private:
    friend class TQV_00State;

    // Makes the states from NextState on with the parameter P until one waits for events or the
    // chain names the default state. The first state's CanBeSuspended (First: the one made now)
    // passes to the states after it.
    void RunChain(TCADStateClass NextState, TQV_00CADPrgParam* P, bool First);
    // The chain is done: FinishOperation, then OnEndOperation for an outer operation, so that
    // whatever its handler does (hiding the tool window sends ueCancel) meets the idle state and
    // not the state that has just finished. The parameter lives until the handler has seen it.
    void EndOperation();
    // A failure has been handled: OnFailure hears of it.
    void ReportFailure(const std::exception_ptr& Failure);
    // A nested operation resumes the task it suspended; an outer one frees its parameter and
    // state and the idle state comes back.
    void FinishOperation();
    void RebuildIfPending();
    // A failed state constructor left no state: the operation ends all the same.
    void EndWithoutState();
    void MakeIdleState();
    // The button held, from the shift state: left, then right, then middle.
    static TCADMouseButton HeldButton(TShiftState Shift);

    TQVScene* FViewPort = nullptr;
    // The class the running nested operation was started with.
    TCADStateClass NestedOperation = nullptr;
    std::unique_ptr<TQV_00State> FCurrentState, FSuspendedState;
    // What the running operation and the suspended one own; null when borrowed or none.
    std::unique_ptr<TQV_00CADPrgParam> FOperationParam, FSuspendedParam;
    int32_t FViewerCursor = 2;
    // Counts the states left; a button-down that leaves one finishes a click, and its release
    // (FReleaseToDrop, a TCADMouseButton, cmbNone for none) is dropped so that it cannot reach
    // the state that follows (a zoom window's last corner resuming a selection task).
    uint64_t FStatesLeft = 0;
    TCADMouseButton FReleaseToDrop = cmbNone;
};
