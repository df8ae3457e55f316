// The rubber-band window, zoom window and real-time pan.
#include "QVTasks.h"

#include "CADExceptions.h"
#include "QVCurves.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVServices.h"

#include <utility>

// Takes the rubber band and the selection rectangle off the view, before the frame can go.
void HideRubberBand(TQVScene* View, const TGraphicObject* Frame)
{
    if (!View)
        return;
    View->OverlayMode &= uint8_t(~(OverlayRubberBand | OverlaySelectionRect));
    if (View->OverlayMode == 0)
        View->OverlayMode = OverlayIdle;
    if (!Frame || View->RubberBandObject == Frame)
        View->RubberBandObject = nullptr;
    View->Repaint();
}

// ---- the rubber band ----

TQV_52WinPrgSelectParam::TQV_52WinPrgSelectParam(TCADStateClass AfterState, TQV_00CADPrgParam* SelectParam,
                                                 std::unique_ptr<TQV_00CADPrgParam> OwnedSelectParam)
    : TQV_00CADPrgParam(AfterState),
      Frame(std::make_unique<TFrame2D>(0, TPoint2D{0, 0, 1}, TPoint2D{0, 0, 1})), SelectParam(SelectParam),
      OwnedSelectParam(std::move(OwnedSelectParam))
{
}

TQV_52WinPrgSelectParam::~TQV_52WinPrgSelectParam() = default;

TRect2D TQV_52WinPrgSelectParam::GetBox() const
{
    return Frame->Box;
}

TRubberBandState::TRubberBandState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                   TCADStateClass& NextState, const char* InvalidParam, size_t Prompt)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (!dynamic_cast<TQV_52WinPrgSelectParam*>(Param))
        throw ECADCoreException(InvalidParam);
    SetDescription(StatePrompts[Prompt]);
}

TQV_52WinPrgSelectParam* TRubberBandState::Band() const
{
    return static_cast<TQV_52WinPrgSelectParam*>(Param);
}

void TRubberBandState::OnStop()
{
    if (Param)
        HideRubberBand(CADPrg.ViewPort(), Band()->Frame.get());
    FreeParam();
}

bool TRubberBandState::Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState)
{
    if (Event != ceUserDefined || Key != ueCancel)
        return false;
    OnStop();
    NextState = CADPrg.DefaultState;
    return true;
}

TQV_52WinPrgSelect::TQV_52WinPrgSelect(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TRubberBandState(CADPrg, StateParam, NextState, "TQV_52WinPrgSelect: Invalid param", 0)
{
}

bool TQV_52WinPrgSelect::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                 TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (Event != ceMouseDown || MouseButton != cmbLeft || !Param)
        return false;
    TPoint2D p;
    CADPrg.GetCursorPoint(p);
    Band()->Frame->Points().SetPoint(0, p);
    Band()->Frame->Points().SetPoint(1, p);
    if (TQVScene* view = CADPrg.ViewPort()) {
        view->SetSelectionRectStart(p);
        view->SetSelectionRectEnd(p);
        view->OverlayMode |= OverlaySelectionRect;
        view->Repaint();
    }
    NextState = StateClass<TQV_51PrgDragSelectArea>();
    return true;
}

TQV_51PrgDragSelectArea::TQV_51PrgDragSelectArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                 TCADStateClass& NextState)
    : TRubberBandState(CADPrg, StateParam, NextState, "TQV_51PrgDragSelectArea: Invalid param", 1)
{
}

bool TQV_51PrgDragSelectArea::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState,
                                      int32_t Key, TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    TQV_52WinPrgSelectParam& band = *Band();
    TQVScene* view = CADPrg.ViewPort();
    switch (Event) {
    case ceMouseMove: {
        TPoint2D p;
        CADPrg.GetCursorPoint(p);
        band.Frame->Points().SetPoint(1, p);
        if (view) {
            view->SetSelectionRectEnd(p);
            view->Repaint();
            band.ScreenRect = {view->SelectionRect[0].X, view->SelectionRect[0].Y, view->SelectionRect[2].X,
                               view->SelectionRect[2].Y};
        }
        return false;
    }
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return false;
        NextState = band.AfterState ? band.AfterState : CADPrg.DefaultState;
        return true;
    case cePaint:
        if (view)
            view->SetRubberBandObject(band.Frame.get());
        return false;
    default:
        return false;
    }
}

// ---- zoom window ----

TQV_20PrgZoomState::TQV_20PrgZoomState(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    CanBeSuspended = false;
}

TQV_20PrgZoomArea::TQV_20PrgZoomArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                     TCADStateClass& NextState)
    : TQV_20PrgZoomState(CADPrg, StateParam, NextState)
{
    // The interrupted task's parameter stays with that task; one this operation owns goes into
    // the rubber band.
    TQV_00CADPrgParam* wrapped = Param;
    std::unique_ptr<TQV_00CADPrgParam> owned = CADPrg.TakeParam(*this);
    CADPrg.ReplaceParam(*this, std::make_unique<TQV_52WinPrgSelectParam>(StateClass<TQV_20PrgEndZoomArea>(),
                                                                         wrapped, std::move(owned)));
    NextState = StateClass<TQV_52WinPrgSelect>();
}

TQV_20PrgEndZoomArea::TQV_20PrgEndZoomArea(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                           TCADStateClass& NextState)
    : TQV_20PrgZoomState(CADPrg, StateParam, NextState)
{
    auto* band = dynamic_cast<TQV_52WinPrgSelectParam*>(Param);
    TQVScene* view = CADPrg.ViewPort();
    HideRubberBand(view, band ? band->Frame.get() : nullptr);
    if (band && view) {
        const TPoint2D a = band->Frame->Points().Get(0), b = band->Frame->Points().Get(1);
        // Two clicks on one spot make no window.
        if (a.X != b.X || a.Y != b.Y)
            view->ZoomToSelectionRect();
    }
    NextState = CADPrg.DefaultState;
    FreeParam();
}

// ---- real-time pan ----

TQV_21RealTimePan::TQV_21RealTimePan(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                     TCADStateClass& NextState)
    : TQV_20PrgZoomState(CADPrg, StateParam, NextState), SavedUsaSnap(CADPrg.UsaSnap)
{
    SetDescription(StatePrompts[2]);
    CADPrg.UsaSnap = true;
    if (TQVScene* view = CADPrg.ViewPort()) {
        const TVector3D p = view->CameraRig->Position();
        SavedCameraPosition = {float(p.X), float(p.Y), float(p.Z), 1};
    }
}

TQV_21RealTimePan::~TQV_21RealTimePan()
{
    CADPrg.UsaSnap = SavedUsaSnap;
    if (PanCursorShown)
        CADPrg.SetViewerCursor(crCroce);
}

bool TQV_21RealTimePan::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                TCADStateClass& NextState)
{
    TQVScene* view = CADPrg.ViewPort();
    switch (Event) {
    case ceMouseMove:
        if (Dragging && view) {
            TPoint2D p;
            CADPrg.GetCursorPoint(p);
            // The world point grabbed comes back under the cursor.
            const TVector3D c = view->CameraRig->Position();
            view->CameraRig->SetPosition(c.X + float(StartPoint.X - p.X), c.Y + float(StartPoint.Y - p.Y),
                                         c.Z);
        } else if (!Dragging && !PanCursorShown) {
            CADPrg.SetViewerCursor(crPan);
            PanCursorShown = true;
        }
        return false;
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return false;
        Dragging = true;
        CADPrg.GetCursorPoint(StartPoint);
        return false;
    case ceMouseUp:
        if (MouseButton != cmbLeft)
            return false;
        Dragging = false;
        CADPrg.SetViewerCursor(crCroce);
        NextState = CADPrg.DefaultState;
        return true;
    case ceUserDefined:
        if (Key == ueCancel) {
            // The pan is undone.
            if (view)
                view->CameraRig->SetPosition(SavedCameraPosition[0], SavedCameraPosition[1],
                                             SavedCameraPosition[2]);
            NextState = CADPrg.DefaultState;
            return true;
        }
        if (Key == ueDone) {
            NextState = CADPrg.DefaultState;
            return true;
        }
        return false;
    default:
        return false;
    }
}
