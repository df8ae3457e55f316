// The drawing tasks: sized and unsized primitives, angled curves, three-point arcs, placing a
// finished object and exploding a placed container.
#include "QVDrawTasks.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVSplines.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <utility>
#include <vector>

namespace {

// The prompts of the drawing tasks.
constexpr size_t PromptPlace = 3, PromptPoints = 4, PromptCentre = 5, PromptAngles = 6, PromptCorner = 7;

bool UserCode(TCADPrgEvent Event, int32_t Key, TCADUserEvent Code)
{
    return Event == ceUserDefined && Key == Code;
}

bool Distinct(const TPoint2D& A, const TPoint2D& B)
{
    return A.X != B.X || A.Y != B.Y;
}

// Adds the entity to the drawing of the view with one record of new objects.
TObject2D& AddWithUndo(TQV_00CADProg& CADPrg, std::unique_ptr<TObject2D> Entity)
{
    TQVScene* view = CADPrg.ViewPort();
    if (!view || !view->Drawing)
        throw ECADCoreException("The drawing task has no drawing to add to");
    TEventsLock lock(CADPrg);
    TObject2D* added = view->Drawing->AddObject(-1, std::move(Entity));
    if (UndoRedo)
        TUndoRecord(TUndoKind::NewObjects).Added(*added).Push(*UndoRedo);
    return *added;
}

} // namespace

bool HasShape(TObject2D& Obj)
{
    if (dynamic_cast<TPunto2D*>(&Obj))
        return true;
    auto* prim = dynamic_cast<TPrimitive2D*>(&Obj);
    if (!prim)
        return true;
    const TPointsSet2D& pts = prim->Points();
    if (pts.Count() < 2)
        return false;
    const TPoint2D a = pts.Get(0), b = pts.Get(1);
    // Frames and ellipses span a box between their two corners.
    if (dynamic_cast<TFrame2D*>(&Obj) || dynamic_cast<TEllipse2D*>(&Obj) || dynamic_cast<TEllipseOpen2D*>(&Obj))
        return a.X != b.X && a.Y != b.Y;
    // Circles and arcs need a radius, lines a length; polylines and splines two distinct vertices.
    if (dynamic_cast<TLine2D*>(&Obj) || dynamic_cast<TCerchio2D*>(&Obj) || dynamic_cast<TArco2D*>(&Obj))
        return Distinct(a, b);
    for (int i = 1; i < pts.Count(); ++i)
        if (Distinct(pts.Get(0), pts.Get(i)))
            return true;
    return false;
}

// ---- the parameters ----

TQV_40EntityParam::TQV_40EntityParam(TCADStateClass AfterState, std::unique_ptr<TObject2D> Entity)
    : TQV_00CommonParam(AfterState), Entity(std::move(Entity))
{
}

TQV_40EntityParam::~TQV_40EntityParam() = default;

TQV_40DrawUnSizedPrimitiveParam::TQV_40DrawUnSizedPrimitiveParam(TCADStateClass AfterState,
                                                                 std::unique_ptr<TPrimitive2D> Primitive,
                                                                 uint16_t CurrentPoint, bool OrtoAllowed)
    : TQV_40EntityParam(AfterState, std::move(Primitive)), CurrentPoint(CurrentPoint), OrtoAllowed(OrtoAllowed)
{
}

TPrimitive2D& TQV_40DrawUnSizedPrimitiveParam::Primitive() const
{
    return static_cast<TPrimitive2D&>(*Entity);
}

TQV_40DrawSizedPrimitiveParam::TQV_40DrawSizedPrimitiveParam(TCADStateClass AfterState,
                                                             std::unique_ptr<TPrimitive2D> Primitive,
                                                             uint16_t CurrentPoint, bool OrtoAllowed)
    : TQV_40DrawUnSizedPrimitiveParam(AfterState, std::move(Primitive), CurrentPoint, OrtoAllowed),
      PointsCount(static_cast<uint16_t>(TQV_40DrawUnSizedPrimitiveParam::Primitive().Points().Count()))
{
}

TQV_40DrawEOPrimitiveParam::TQV_40DrawEOPrimitiveParam(TCADStateClass AfterState,
                                                       std::unique_ptr<TEllipseOpen2D> Primitive)
    : TQV_40EntityParam(AfterState, std::move(Primitive))
{
}

TEllipseOpen2D& TQV_40DrawEOPrimitiveParam::Primitive() const
{
    return static_cast<TEllipseOpen2D&>(*Entity);
}

TQV_40DrawArcoPrimitiveParam::TQV_40DrawArcoPrimitiveParam(TCADStateClass AfterState, std::unique_ptr<TArco2D> Arc,
                                                           bool IsArc)
    : TQV_40EntityParam(AfterState, std::move(Arc)), IsArc(IsArc)
{
}

TArco2D& TQV_40DrawArcoPrimitiveParam::Primitive() const
{
    return static_cast<TArco2D&>(*Entity);
}

// ---- what the tasks share ----

TDrawTask::TDrawTask(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (TQV_00Prog* prog = Prog())
        prog->LastSnappedPoint = {1e8, 1e8, 1};
}

TQV_00Prog* TDrawTask::Prog() const
{
    return dynamic_cast<TQV_00Prog*>(&CADPrg);
}

TPoint2D TDrawTask::SnappedPoint() const
{
    const TPoint2D p = SnappedCursor(CADPrg);
    return Entity() ? Entity()->WorldToObject(p) : p;
}

void TDrawTask::AfterClick()
{
    if (TQV_00Prog* prog = Prog())
        prog->GetSnappedPoint(prog->LastSnappedPoint);
}

void TDrawTask::Ortho(const TPoint2D& Ref, TPoint2D& P) const
{
    if (TQV_00Prog* prog = Prog())
        prog->ApplyOrtho(Ref, P);
}

void TDrawTask::ShowRubberBand()
{
    if (TQVScene* view = CADPrg.ViewPort(); view && Entity()) {
        view->ShowControlPoints = true;
        view->SetRubberBandObject(Entity());
    }
}

void TDrawTask::HideRubberBand()
{
    if (TQVScene* view = CADPrg.ViewPort()) {
        if (!Entity() || view->RubberBandObject == Entity())
            view->RubberBandObject = nullptr;
        view->ResetOverlay();
    }
}

void TDrawTask::OnStop()
{
    HideRubberBand();
    FreeParam();
}

bool TDrawTask::Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState)
{
    if (!UserCode(Event, Key, ueCancel))
        return false;
    HideRubberBand();
    Cancel(NextState);
    return true;
}

bool TDrawTask::Complete(TCADStateClass& NextState)
{
    if (Param && Param->AfterState) {
        HideRubberBand();
        NextState = Param->AfterState;
        return true;
    }
    HideRubberBand();
    if (Entity() && HasShape(*Entity()))
        AddWithUndo(CADPrg, std::move(EntityParam()->Entity));
    Cancel(NextState);
    return true;
}

// ---- sized primitives ----

TQV_40DrawSizedPrimitive::TQV_40DrawSizedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                   TCADStateClass& NextState)
    : TDrawTask(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_40DrawSizedPrimitiveParam*>(Param);
    if (!p || !p->Entity || p->PointsCount == 0)
        throw ECADCoreException("TQV2D_DrawSizedPrimitiveParam: Invalid param");
    SetDescription(StatePrompts[PromptPoints]);
}

bool TQV_40DrawSizedPrimitive::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                       TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    if (UserCode(Event, Key, ueDone))
        return Complete(NextState);
    TQV_40DrawSizedPrimitiveParam& p = P();
    TPointsSet2D& pts = p.Primitive().Points();
    const bool isPoint = dynamic_cast<TPunto2D*>(&p.Primitive()) != nullptr;
    // The point being set, constrained from the second one on.
    const auto constrained = [&] {
        TPoint2D q = SnappedPoint();
        if (p.OrtoAllowed && p.CurrentPoint > 0)
            Ortho(pts.Get(p.CurrentPoint - 1), q);
        return q;
    };
    switch (Event) {
    case ceMouseMove:
        if (p.CurrentPoint > 0 || isPoint) {
            pts.SetPoint(p.CurrentPoint, constrained());
            ShowRubberBand();
        }
        return false;
    case ceMouseDown: {
        if (MouseButton != cmbLeft)
            return false;
        const TPoint2D q = constrained();
        if (p.CurrentPoint == 0)
            for (uint16_t i = 0; i < p.PointsCount; ++i)
                pts.SetPoint(i, q);
        else
            pts.SetPoint(p.CurrentPoint, q);
        AfterClick();
        ++p.CurrentPoint;
        if (p.CurrentPoint >= p.PointsCount)
            return Complete(NextState);
        pts.SetPoint(p.CurrentPoint, q);
        ShowRubberBand();
        return false;
    }
    case cePaint:
        if (p.CurrentPoint > 0)
            ShowRubberBand();
        return false;
    default:
        return false;
    }
}

// ---- unsized primitives ----

TQV_40DrawUnSizedPrimitive::TQV_40DrawUnSizedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                       TCADStateClass& NextState)
    : TDrawTask(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_40DrawUnSizedPrimitiveParam*>(Param);
    if (!p || !p->Entity || dynamic_cast<TQV_40DrawSizedPrimitiveParam*>(Param))
        throw ECADCoreException("TQV2D_DrawUnSizedPrimitive: Invalid param");
    SetDescription(StatePrompts[PromptPoints]);
    p->Primitive().Points().Clear();
    p->CurrentPoint = 0;
}

bool TQV_40DrawUnSizedPrimitive::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState,
                                         int32_t Key, TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    TQV_40DrawUnSizedPrimitiveParam& p = P();
    TPointsSet2D& pts = p.Primitive().Points();
    const auto constrained = [&] {
        TPoint2D q = SnappedPoint();
        if (p.OrtoAllowed && p.CurrentPoint > 0)
            Ortho(pts.Get(p.CurrentPoint - 1), q);
        return q;
    };
    switch (Event) {
    case ceMouseMove:
        if (p.CurrentPoint > 0) {
            pts.SetPoint(p.CurrentPoint, constrained());
            ShowRubberBand();
        }
        return false;
    case ceMouseDown: {
        if (MouseButton != cmbLeft)
            return false;
        const TPoint2D q = constrained();
        if (p.CurrentPoint == 0)
            pts.Add(q);
        else
            pts.SetPoint(p.CurrentPoint, q);
        AfterClick();
        // A second click on the same spot adds no vertex.
        if (p.CurrentPoint == 0 || !IsSamePoint2D(q, pts.Get(p.CurrentPoint - 1)))
            ++p.CurrentPoint;
        pts.SetPoint(p.CurrentPoint, q);
        ShowRubberBand();
        return false;
    }
    case cePaint:
        if (p.CurrentPoint > 0)
            ShowRubberBand();
        return false;
    case ceUserDefined:
        switch (Key) {
        case ueDone:
            if (!p.AfterState && p.CurrentPoint > 0 && pts.Count() > p.CurrentPoint &&
                IsSamePoint2D(pts.Get(p.CurrentPoint), pts.Get(p.CurrentPoint - 1)))
                // The floating point still on the last click would be a segment of no length.
                pts.Delete(p.CurrentPoint);
            if (auto* spline = dynamic_cast<TBSpline2D*>(&p.Primitive()))
                spline->SetPrecision(static_cast<uint16_t>(MaxCurveSeg() & 0xFFFF));
            return Complete(NextState);
        case ueClosePolygon:
            if (!p.AfterState && p.CurrentPoint <= 2)
                return false;
            if (!p.AfterState)
                pts.SetPoint(p.CurrentPoint, pts.Get(0));
            return Complete(NextState);
        case ueRemoveLastPoint:
            if (p.CurrentPoint > 1) {
                pts.Delete(p.CurrentPoint);
                --p.CurrentPoint;
                ShowRubberBand();
            }
            return false;
        default:
            return false;
        }
    default:
        return false;
    }
}

// ---- angled curves ----

TQV_40DrawAngledPrimitive::TQV_40DrawAngledPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                     TCADStateClass& NextState, uint16_t& CurrentPoint,
                                                     size_t FirstPrompt)
    : TDrawTask(CADPrg, StateParam, NextState), CurrentPoint(&CurrentPoint)
{
    SetDescription(StatePrompts[FirstPrompt]);
}

bool TQV_40DrawAngledPrimitive::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState,
                                        int32_t Key, TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    if (UserCode(Event, Key, ueDone))
        return Complete(NextState);
    auto& curve = static_cast<TAngledCurve2D&>(*Entity());
    TPointsSet2D& pts = curve.Points();
    uint16_t& cp = *CurrentPoint;
    switch (Event) {
    case ceMouseMove:
        if (cp > 0) {
            pts.SetPoint(cp, SnappedPoint());
            ShowRubberBand();
        }
        return false;
    case ceMouseDown: {
        if (MouseButton != cmbLeft)
            return false;
        const TPoint2D q = SnappedPoint();
        pts.SetPoint(cp, q);
        AfterClick();
        ++cp;
        if (cp >= 4)
            return Complete(NextState);
        if (cp == 2) {
            // Both angle points come onto the curve at angle 0.
            curve.SetStartAngle(0);
            curve.SetEndAngle(0);
            SetDescription(StatePrompts[PromptAngles]);
        }
        pts.SetPoint(cp, q);
        ShowRubberBand();
        return false;
    }
    case cePaint:
        if (cp > 0)
            ShowRubberBand();
        return false;
    default:
        return false;
    }
}

namespace {

// The parameter's point counter, once the parameter is of the task's class with its curve.
template <class TParam, class TCurve>
uint16_t& CurrentPointOf(TQV_00CADPrgParam* Param, const char* InvalidParam)
{
    auto* p = dynamic_cast<TParam*>(Param);
    if (!p || !dynamic_cast<TCurve*>(p->Entity.get()))
        throw ECADCoreException(InvalidParam);
    return p->CurrentPoint;
}

} // namespace

TQV_40DrawEOPrimitive::TQV_40DrawEOPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                             TCADStateClass& NextState)
    : TQV_40DrawAngledPrimitive(CADPrg, StateParam, NextState,
                                CurrentPointOf<TQV_40DrawEOPrimitiveParam, TEllipseOpen2D>(
                                    StateParam, "TQV_40DEOPP: Invalid param"),
                                PromptCorner)
{
}

TQV_40DrawArcoPrimitive::TQV_40DrawArcoPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                 TCADStateClass& NextState)
    : TQV_40DrawAngledPrimitive(CADPrg, StateParam, NextState,
                                CurrentPointOf<TQV_40DrawArcoPrimitiveParam, TArco2D>(
                                    StateParam, "TQV2D_DrawArcoPrimitive: Invalid param"),
                                PromptCentre)
{
}

// ---- three-point arcs ----

TQV_40DrawArco3Pt::TQV_40DrawArco3Pt(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                     TCADStateClass& NextState)
    : TDrawTask(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_40DrawArcoPrimitiveParam*>(Param);
    if (!p || !dynamic_cast<TArco2D*>(p->Entity.get()))
        throw ECADCoreException("TQV_40DrawArco3Pt: Invalid param");
    SetDescription(StatePrompts[PromptPoints]);
}

bool TQV_40DrawArco3Pt::Shape(const TPoint2D& Third)
{
    TArco2D& arc = P().Primitive();
    if (IsCollinear({Points[0].X, Points[0].Y}, {Points[1].X, Points[1].Y}, {Third.X, Third.Y}) ||
        !Arc3PtSetCenter(arc, Points[0], Points[1], Third, Centre))
        return false;
    Arc3PtSetRadius(arc, Points[0], Points[1], Third);
    if (P().IsArc) {
        Arc3PtSetAngles(arc, Points[0], Points[1], Third, Centre);
    } else {
        arc.SetStartAngle(0);
        arc.SetEndAngle(0);
    }
    return true;
}

bool TQV_40DrawArco3Pt::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    uint16_t& cp = P().CurrentPoint;
    switch (Event) {
    case ceMouseDown: {
        if (MouseButton != cmbLeft)
            return false;
        const TPoint2D v = SnappedPoint();
        AfterClick();
        Points[cp] = v;
        ++cp;
        if (cp < 3)
            return false;
        Shaped = Shape(Points[2]);
        if (!Shaped) {
            HideRubberBand();
            {
                TEventsLock lock(CADPrg);
                MainWindow().MessageBox(GetLangString(469), GetLangString(450), TMsgIcon::Warning,
                                        TMsgButtons::Ok);
            }
            Cancel(NextState);
            return true;
        }
        return Complete(NextState);
    }
    case ceMouseMove: {
        // Two points and the cursor define the preview; fewer define no circle yet, and the
        // cursor on the line of the first two leaves the preview as it was.
        if (cp != 2)
            return false;
        const TPoint2D v = SnappedPoint();
        if (Shape(v)) {
            Shaped = true;
            ShowRubberBand();
        }
        return false;
    }
    case cePaint:
        if (Shaped)
            ShowRubberBand();
        return false;
    case ceUserDefined:
        if (Key != ueDone)
            return false;
        if (Shaped)
            return Complete(NextState);
        HideRubberBand();
        Cancel(NextState);
        return true;
    default:
        return false;
    }
}

// ---- placing a finished object ----

TQV_40PositionObject::TQV_40PositionObject(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                           TCADStateClass& NextState)
    : TDrawTask(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_40PositionObjectParam*>(Param);
    if (!p || !p->Entity)
        throw ECADCoreException("TQV_40PositionObject: Invalid param");
    SetDescription(StatePrompts[PromptPlace]);
}

void TQV_40PositionObject::Follow()
{
    TObject2D& obj = *Entity();
    TPoint2D r{obj.Box.First.X, obj.Box.First.Y, 1};
    auto* prim = dynamic_cast<TPrimitive2D*>(&obj);
    if (prim && prim->Points().Count() > 0 &&
        (dynamic_cast<TLine2D*>(&obj) || dynamic_cast<TCerchio2D*>(&obj) || dynamic_cast<TArco2D*>(&obj)))
        r = obj.GetModelTransform().TransformPoint2D(prim->Points().Get(0));
    else if (auto* c = dynamic_cast<TContainer2D*>(&obj))
        r = {r.X - c->BasePoint.X, r.Y - c->BasePoint.Y, 1};
    obj.MoveBy(SnappedCursor(CADPrg), r);
}

bool TQV_40PositionObject::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                                   TCADStateClass& NextState)
{
    if (Cancelled(Event, Key, NextState))
        return true;
    if (!Param)
        return false;
    switch (Event) {
    case ceMouseMove:
        Follow();
        ShowRubberBand();
        return false;
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return false;
        if (!Param->AfterState)
            Follow();
        AfterClick();
        return Complete(NextState);
    case cePaint:
        if (Entity()->HasTransform())
            ShowRubberBand();
        return false;
    default:
        return false;
    }
}

// ---- exploding a placed container ----

TQV_40ExplodeContainer::TQV_40ExplodeContainer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                               TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    auto* p = dynamic_cast<TQV_40EntityParam*>(Param);
    auto* container = p ? dynamic_cast<TContainer2D*>(p->Entity.get()) : nullptr;
    if (!container || (p->Target && p->Target != container))
        throw ECADCoreException("TQV_40ExplodeContainer: Invalid param");
    TQVScene* view = CADPrg.ViewPort();
    if (!view || !view->Drawing)
        throw ECADCoreException("TQV_40ExplodeContainer: no drawing");
    // The container goes with this state whatever happens; its children leave it one by one.
    std::unique_ptr<TObject2D> owned = std::move(p->Entity);
    p->Target = nullptr;
    const TMatrix4 m = container->GetModelTransform();
    std::vector<TGraphicObject*> added;
    {
        TEventsLock lock(CADPrg);
        TExclusiveGraphicObjIterator it = container->Objects.GetExclusiveIterator();
        it.First();
        while (it.Current()) {
            std::unique_ptr<TGraphicObject> child = it.RemoveCurrent();
            if (auto* child2D = dynamic_cast<TObject2D*>(child.get())) {
                // Where the container shows it: its own placement, then the container's.
                child2D->SetModelTransform(m);
                child2D->ApplyTransform();
            }
            // A new ID: the child's own may be taken in the drawing already.
            added.push_back(view->Drawing->AddObject(-1, std::move(child)));
        }
    }
    if (!added.empty() && UndoRedo) {
        TUndoRecord record(TUndoKind::NewObjects);
        for (TGraphicObject* o : added)
            record.Added(*o);
        record.Push(*UndoRedo);
    }
    CADPrg.RepaintAfterOperation();
    // The operation ends here, so the host hears of its end.
    Cancel(NextState);
}
