// The selection tasks: one object, one point, two objects, any number, points or arcs, window.
#include "QVTasks.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVCurves.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"

#include <algorithm>
#include <utility>
#include <vector>

std::array<TPoint2D, 2> PickPoints{};

namespace {

// The prompts of the selection tasks.
constexpr size_t PromptPickObject = 9, PromptPickPoint = 13, PromptPickObjects = 16, PromptPickSecond = 17;

bool RemoveFromList(TGraphicObjList& List, const TGraphicObject* Obj)
{
    TExclusiveGraphicObjIterator it = List.GetExclusiveIterator();
    for (it.First(); it.Current(); it.Next())
        if (it.Current() == Obj) {
            it.RemoveCurrent();
            return true;
        }
    return false;
}

// A valid pick: the object under the cursor point (unsnapped) on its outline, inside a closed
// outline or on a control point, not only inside its box, and of the class the command takes.
TObject2D* ValidPick(TQV_00State& State, TQV_50SelectObjectsParam& P,
                     const std::function<TObject2D*(const TPoint2D&, int32_t&)>& PickAt)
{
    TPoint2D pt;
    State.CADPrg.GetCursorPoint(pt);
    TObject2D* o = PickAt(pt, P.PickCode);
    if (!o || P.PickCode < -99 || (P.SelectableClass && !P.SelectableClass(*o)))
        return nullptr;
    return o;
}

TObject2D* PickObjectAt(TQV_00State& State, const TPoint2D& Pt, uint16_t Aperture, int32_t& Code)
{
    TQVScene* view = State.CADPrg.ViewPort();
    return view ? view->PickObject(Pt, Aperture, false, Code) : nullptr;
}

void CallSelected(TQV_00CADProg& CADPrg, TQV_50SelectObjectsParam& P, TObject2D* Obj, bool Added,
                  int32_t Code)
{
    if (!P.OnSelected)
        return;
    TEventsLock lock(CADPrg);
    P.OnSelected(&P, Obj, Added, Code);
}

// Removes Obj when selected, appends it otherwise; shows the selection and tells OnSelected.
// True when it was added.
bool Toggle(TQV_00CADProg& CADPrg, TQV_50SelectObjectsParam& P, TObject2D* Obj)
{
    const bool added = !RemoveFromList(P.SelectedObjects, Obj);
    if (added)
        P.SelectedObjects.Add(*Obj);
    P.ShowSelection();
    CallSelected(CADPrg, P, Obj, added, P.PickCode);
    return added;
}

void ResetOverlay(TQV_00CADProg& CADPrg)
{
    if (TQVScene* view = CADPrg.ViewPort())
        view->ResetOverlay();
}

bool IsLeft(TCADPrgEvent Event, TCADPrgEvent Wanted, TCADMouseButton Button)
{
    return Event == Wanted && Button == cmbLeft;
}

} // namespace

// ---- the parameters ----

TQV_50SelectObjectsParam::TQV_50SelectObjectsParam(uint16_t Aperture, TCADStateClass AfterState,
                                                   void* UserObject, uint8_t UserMode)
    : TQV_00CommonParam(AfterState), Aperture(Aperture), UserMode(UserMode), UserObject(UserObject)
{
}

TQV_50SelectObjectsParam::~TQV_50SelectObjectsParam()
{
    if (WatchedDrawing)
        WatchedDrawing->RemoveFreeListener(FreeListener);
}

void TQV_50SelectObjectsParam::Watch(TQV_00CADProg& CADPrg)
{
    if (Watched)
        return;
    Watched = &CADPrg;
    TQVScene* view = CADPrg.ViewPort();
    WatchedDrawing = view ? view->Drawing : nullptr;
    if (!WatchedDrawing)
        return;
    FreeListener = WatchedDrawing->AddFreeListener([this](TGraphicObject& Obj) {
        // A tool walking the selection while it deletes knows what it does; otherwise the freed
        // object simply leaves it.
        if (!SelectedObjects.HasActiveIterators())
            RemoveFromList(SelectedObjects, &Obj);
        if (TQVScene* v = Watched->ViewPort())
            std::erase(v->OverlayObjects, &Obj);
    });
}

void DrawPickSquare(TQVScene* View, const TPoint2D& Pt, uint16_t Aperture)
{
    if (!View)
        return;
    const TPoint c = View->WorldToScreen(Pt);
    const int32_t a = Aperture;
    View->ApertureBox = {TPoint{c.X - a, c.Y - a}, TPoint{c.X + a, c.Y - a}, TPoint{c.X + a, c.Y + a},
                         TPoint{c.X - a, c.Y + a}, TPoint{c.X - a, c.Y - a}};
    View->Repaint();
}

TPoint2D SnappedCursor(TQV_00CADProg& CADPrg)
{
    TPoint2D p;
    if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
        prog->GetSnappedPoint(p);
    else
        CADPrg.GetCursorPoint(p);
    return p;
}

TQV_01Cmp2D* DrawingOf(TQV_00CADProg& CADPrg)
{
    TQVScene* view = CADPrg.ViewPort();
    return view ? view->Drawing : nullptr;
}

std::vector<TObject2D*> SelectedObjectsOf(TQV_00CADPrgParam* Param)
{
    std::vector<TObject2D*> out;
    if (auto* sel = dynamic_cast<TQV_50SelectObjectsParam*>(Param)) {
        TGraphicObjIterator it = sel->SelectedObjects.GetIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            if (auto* o2 = dynamic_cast<TObject2D*>(o))
                out.push_back(o2);
    }
    return out;
}

void TQV_50SelectObjectsParam::DrawPickBox(const TPoint2D& Pt)
{
    DrawPickSquare(Watched ? Watched->ViewPort() : nullptr, Pt, Aperture);
}

void TQV_50SelectObjectsParam::ShowSelection()
{
    TQVScene* view = Watched ? Watched->ViewPort() : nullptr;
    if (!view)
        return;
    TEventsLock lock(*Watched);
    view->OverlayObjects.clear();
    TGraphicObjIterator it = SelectedObjects.GetIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        view->OverlayObjects.push_back(o);
    view->Repaint();
}

TQV_51WinSelectObjectsParam::TQV_51WinSelectObjectsParam(bool RemoveFromDrawing, TCADStateClass AfterState,
                                                         void* UserObject, uint8_t UserMode)
    : TQV_50SelectObjectsParam(0, AfterState, UserObject, UserMode), RemoveFromDrawing(RemoveFromDrawing)
{
}

// ---- what the picking tasks share ----

TSelectionTask::TSelectionTask(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                               TCADStateClass& NextState, const char* InvalidParam)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
    if (!p)
        throw ECADCoreException(InvalidParam);
    p->Watch(CADPrg);
}

TQV_50SelectObjectsParam* TSelectionTask::Selection() const
{
    return static_cast<TQV_50SelectObjectsParam*>(Param);
}

bool TSelectionTask::Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState, int32_t AlsoKey)
{
    if (Event != ceUserDefined || !(Key == ueCancel || (AlsoKey != 0 && Key == AlsoKey)))
        return false;
    Cancel(NextState);
    ResetOverlay(CADPrg);
    return true;
}

void TSelectionTask::StartPicking(size_t Prompt)
{
    SetDescription(StatePrompts[Prompt]);
    Selection()->DrawPickBox(Selection()->LastPoint);
    if (TQVScene* view = CADPrg.ViewPort())
        view->ShowOverlayObjects(false);
}

void TSelectionTask::FollowCursor()
{
    CADPrg.GetCursorPoint(Selection()->LastPoint);
    Selection()->DrawPickBox(Selection()->LastPoint);
}

// ---- one object ----

TQV_50Seleziona1Ogg::TQV_50Seleziona1Ogg(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                         TCADStateClass& NextState)
    : TSelectionTask(CADPrg, StateParam, NextState, "TQV_Select1Object: Invalid param")
{
    StartPicking(PromptPickObject);
}

bool TQV_50Seleziona1Ogg::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                  TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    TQV_50SelectObjectsParam& p = *Selection();
    if (Event == ceMouseMove) {
        FollowCursor();
        return false;
    }
    if (Event == cePaint) {
        p.DrawPickBox(p.LastPoint);
        return false;
    }
    const bool up = IsLeft(Event, ceMouseUp, MouseButton) && !p.PickOnMouseDown;
    const bool down = IsLeft(Event, ceMouseDown, MouseButton) && p.PickOnMouseDown;
    if (!up && !down)
        return false;
    TObject2D* o = ValidPick(*this, p, [&](const TPoint2D& Pt, int32_t& Code) {
        return PickObjectAt(*this, Pt, p.Aperture, Code);
    });
    if (!o)
        return false;
    p.SelectedObjects.Add(*o);
    if (up)
        p.ShowSelection();
    CallSelected(CADPrg, p, o, true, p.PickCode);
    LeaveWithParam(NextState);
    return true;
}

// ---- one point ----

TQV_50SelectPoint::TQV_50SelectPoint(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                     TCADStateClass& NextState)
    : TSelectionTask(CADPrg, StateParam, NextState, "TCAD2DSelectPoint: Invalid param")
{
    SetDescription(StatePrompts[PromptPickPoint]);
    CADPrg.UsaSnap = true;
}

bool TQV_50SelectPoint::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    if (Event == ceMouseMove) {
        CADPrg.GetCursorPoint(Selection()->LastPoint);
        return false;
    }
    if (!IsLeft(Event, ceMouseUp, MouseButton))
        return false;
    ResetOverlay(CADPrg);
    LeaveWithParam(NextState);
    return true;
}

// ---- two objects ----

TQV_50Seleziona2Ogg::TQV_50Seleziona2Ogg(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                         TCADStateClass& NextState)
    : TSelectionTask(CADPrg, StateParam, NextState, "TQV_Select2Object: Invalid param")
{
    StartPicking(PromptPickObject);
}

bool TQV_50Seleziona2Ogg::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                  TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState, ueDone))
        return true;
    if (!Param)
        return false;
    TQV_50SelectObjectsParam& p = *Selection();
    if (Event == ceMouseMove) {
        FollowCursor();
        return false;
    }
    if (!IsLeft(Event, ceMouseUp, MouseButton))
        return false;
    TObject2D* o = ValidPick(*this, p, [&](const TPoint2D& Pt, int32_t& Code) {
        return PickObjectAt(*this, Pt, p.Aperture, Code);
    });
    if (o) {
        // The count is the selection's own, so a pick point always has its slot.
        Count = std::min(p.SelectedObjects.Count(), 1);
        CADPrg.GetCursorPoint(PickPoints[size_t(Count)]);
        const bool added = Toggle(CADPrg, p, o);
        Count = p.SelectedObjects.Count();
        SetDescription(StatePrompts[added ? PromptPickSecond : PromptPickObject]);
        // Two objects end the task, whether or not anyone listens to the picks.
        if (Count >= 2) {
            CADPrg.EventsLocked = false;
            LeaveWithParam(NextState);
            return true;
        }
    }
    p.DrawPickBox(p.LastPoint);
    return false;
}

// ---- any number of objects ----

TQV_50SelectObjects::TQV_50SelectObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                         TCADStateClass& NextState)
    : TSelectionTask(CADPrg, StateParam, NextState, "TCAD2DSelectObjects: Invalid param")
{
    StartPicking(PromptPickObjects);
}

TObject2D* TQV_50SelectObjects::PickAt(const TPoint2D& P, int32_t& Code)
{
    return PickObjectAt(*this, P, Selection()->Aperture, Code);
}

bool TQV_50SelectObjects::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                  TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    TQV_50SelectObjectsParam& p = *Selection();
    switch (Event) {
    case ceMouseMove:
        FollowCursor();
        return false;
    case ceMouseUp:
        if (MouseButton == cmbLeft)
            if (TObject2D* o = ValidPick(
                    *this, p, [this](const TPoint2D& Pt, int32_t& Code) { return PickAt(Pt, Code); }))
                Toggle(CADPrg, p, o);
        return false;
    case cePaint:
        // The host marks the selection again (its tree nodes).
        if (p.OnSelected) {
            std::vector<TObject2D*> selected;
            TGraphicObjIterator it = p.SelectedObjects.GetIterator();
            for (TGraphicObject* o = it.First(); o; o = it.Next())
                selected.push_back(static_cast<TObject2D*>(o));
            TEventsLock lock(CADPrg);
            for (TObject2D* o : selected)
                p.OnSelected(&p, o, true, HitMiss);
        }
        return false;
    case ceUserDefined:
        if (Key != ueDone)
            return false;
        // An empty selection is handed over too.
        CADPrg.EventsLocked = false;
        ResetOverlay(CADPrg);
        LeaveWithParam(NextState);
        return true;
    default:
        return false;
    }
}

TObject2D* TQV_50SelectPuntiAndArchi::PickAt(const TPoint2D& P, int32_t& Code)
{
    TQVScene* view = CADPrg.ViewPort();
    return view ? view->PickPointOrArc(P, Selection()->Aperture, false, Code, SelectChainPoints) : nullptr;
}

// ---- window ----

TQV_51WinSelectObjects::TQV_51WinSelectObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                               TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (auto* start = dynamic_cast<TQV_51WinSelectObjectsParam*>(Param)) {
        // The command's start: the rubber band runs and comes back here, carrying the selection
        // parameter, which goes with it when the window is cancelled.
        std::unique_ptr<TQV_00CADPrgParam> owned = CADPrg.TakeParam(*this);
        CADPrg.ReplaceParam(*this, std::make_unique<TQV_52WinPrgSelectParam>(
                                       StateClass<TQV_51WinSelectObjects>(), start, std::move(owned)));
        NextState = StateClass<TQV_52WinPrgSelect>();
        return;
    }
    auto* band = dynamic_cast<TQV_52WinPrgSelectParam*>(Param);
    auto* sel = band ? dynamic_cast<TQV_51WinSelectObjectsParam*>(band->SelectParam) : nullptr;
    if (!sel)
        throw ECADCoreException("TQV_51WinSelectObjects: Invalid param");
    sel->WindowBox = band->GetBox();
    sel->ScreenRect = band->ScreenRect;
    TQVScene* view = CADPrg.ViewPort();
    HideRubberBand(view, band->Frame.get());
    // The band goes; the selection parameter becomes the operation's.
    std::unique_ptr<TQV_00CADPrgParam> taken = CADPrg.TakeParam(*this);
    std::unique_ptr<TQV_00CADPrgParam> selOwned = std::move(band->OwnedSelectParam);
    if (selOwned)
        CADPrg.ReplaceParam(*this, std::move(selOwned));
    else
        Param = sel;
    taken.reset();
    sel->Watch(CADPrg);
    if (view && view->Drawing) {
        const TRect r{sel->ScreenRect[0], sel->ScreenRect[1], sel->ScreenRect[2], sel->ScreenRect[3]};
        SelectObjectsInScreenRect(*view->Drawing, sel->SelectedObjects, r, sel->RemoveFromDrawing ? 1 : 0,
                                  false);
    }
    CallSelected(CADPrg, *sel, nullptr, true, HitMiss);
    ResetOverlay(CADPrg);
    LeaveWithParam(NextState);
}
