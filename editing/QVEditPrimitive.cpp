// Control-point editing on a working copy.
#include "QVEditPrimitive.h"

#include "CADExceptions.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVSys.h"
#include "QVTasks.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <utility>

namespace {

constexpr size_t PromptEdit = 11, PromptHeld = 12;
constexpr uint16_t EditAperture = 5;

} // namespace

TQV_60EditPrimitiveParam::TQV_60EditPrimitiveParam(TPrimitive2D& Source, uint16_t Aperture,
                                                   TQV_00CADProg& CADPrg)
    : TQV_00CommonParam(nullptr), Source(&Source), Aperture(Aperture), CADPrg(CADPrg)
{
    std::unique_ptr<TGraphicObject> made;
    try {
        made = QV_00FindClassByName(Source.ClassName()).Create(0);
    } catch (const std::exception&) {
    }
    auto* prim = dynamic_cast<TPrimitive2D*>(made.get());
    if (!prim)
        throw ECADCoreException("TQV_EditPrimitive: Only registered classes are allowed");
    WorkCopy.reset(static_cast<TPrimitive2D*>(made.release()));
    WorkCopy->Assign(Source);
}

TQV_60EditPrimitiveParam::~TQV_60EditPrimitiveParam()
{
    if (TQVScene* view = CADPrg.ViewPort()) {
        std::erase(view->OverlayObjects, WorkCopy.get());
        view->ResetOverlay();
        view->RebuildAll(false);
    }
}

void TQV_60EditPrimitiveParam::PickPoint(const TPoint2D& P)
{
    TQVScene* view = CADPrg.ViewPort();
    double dist = 1e300;
    const double aperture = Aperture * (view ? view->PixelSize() : 1.0);
    const int32_t code = WorkCopy->HitTest(P, dist, aperture);
    HitIndex = code >= 0 ? code : -1;
}

void TQV_60EditPrimitiveParam::DragPoint(const TPoint2D& P)
{
    if (HitIndex < 0 || HitIndex >= WorkCopy->Points().Count())
        return;
    WorkCopy->Points().SetPoint(HitIndex, WorkCopy->WorldToObject(P));
    if (TQVScene* view = CADPrg.ViewPort())
        view->ShowOverlayObjects(true);
}

void TQV_60EditPrimitiveParam::InsertPoint(const TPoint2D& P)
{
    if (HitIndex < 0 || HitIndex >= WorkCopy->Points().Count())
        return;
    WorkCopy->Points().Insert(HitIndex, WorkCopy->WorldToObject(P));
    if (TQVScene* view = CADPrg.ViewPort())
        view->ShowOverlayObjects(true);
}

void TQV_60EditPrimitiveParam::Commit()
{
    if (UndoRedo)
        TUndoRecord(TUndoKind::EditPoints).Changed(*Source).Push(*UndoRedo);
    Source->Assign(*WorkCopy);
}

void TQV_60EditPrimitiveParam::DrawPickBox(const TPoint2D& P)
{
    DrawPickSquare(CADPrg.ViewPort(), P, Aperture);
}

// ---- the states ----

TQV_60EditSelectedPrimitive::TQV_60EditSelectedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                         TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    auto* sel = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
    TGraphicObject* first = nullptr;
    if (sel) {
        TGraphicObjIterator it = sel->SelectedObjects.GetIterator();
        first = it.First();
    }
    auto* prim = dynamic_cast<TPrimitive2D*>(first);
    if (!prim)
        throw ECADCoreException("TQV_51EditSelectedPrimitive: Invalid param");
    auto target = std::make_unique<TQV_00CADPrgParam>(nullptr);
    target->Target = prim;
    CADPrg.ReplaceParam(*this, std::move(target));
    CADPrg.CurrentOperation = StateClass<TQV_60EditSelectedPrimitive>();
    NextState = StateClass<TQV_60EditPrimitive>();
}

TQV_60EditPrimitive::TQV_60EditPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                         TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    auto* prim = Param ? dynamic_cast<TPrimitive2D*>(Param->Target) : nullptr;
    if (!prim)
        throw ECADCoreException("TQV2D_EditPrimitive: Invalid param");
    SetDescription(StatePrompts[PromptEdit]);
    auto edit = std::make_unique<TQV_60EditPrimitiveParam>(*prim, EditAperture, CADPrg);
    TQV_60EditPrimitiveParam* raw = edit.get();
    CADPrg.ReplaceParam(*this, std::move(edit));
    if (TQVScene* view = CADPrg.ViewPort()) {
        view->OverlayObjects.assign(1, raw->WorkCopy.get());
        raw->DrawPickBox({0, 0, 1});
        view->ShowOverlayObjects(true);
    }
    if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
        prog->LastSnappedPoint = {1e8, 1e8, 1};
}

TPoint2D TQV_60EditPrimitive::Cursor() const
{
    TPoint2D p;
    CADPrg.GetCursorPoint(p);
    return p;
}

TPoint2D TQV_60EditPrimitive::Snapped() const
{
    return SnappedCursor(CADPrg);
}

bool TQV_60EditPrimitive::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                  TCADStateClass& NextState)
{
    if (!Param)
        return false;
    TQV_60EditPrimitiveParam& p = P();
    switch (Event) {
    case ceMouseMove:
        p.DragPoint(Snapped());
        p.DrawPickBox(Cursor());
        return false;
    case ceMouseDblClick:
        // The engine sends double clicks without a button: the press that follows is the left's.
        if (p.WorkCopy->Points().Growable) {
            p.PickPoint(Cursor());
            p.InsertPoint(Snapped());
            p.ReleasePoint();
        }
        return false;
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return false;
        p.PickPoint(Cursor());
        if (p.HitIndex >= 0)
            SetDescription(StatePrompts[PromptHeld]);
        return false;
    case ceMouseUp:
        if (MouseButton != cmbLeft)
            return false;
        p.ReleasePoint();
        SetDescription(StatePrompts[PromptEdit]);
        return false;
    case ceUserDefined:
        if (Key == ueDone) {
            p.Commit();
            Cancel(NextState);
            return true;
        }
        if (Key == ueCancel) {
            Cancel(NextState);
            return true;
        }
        return false;
    default:
        return false;
    }
}
