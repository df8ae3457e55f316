#include "QVPrg2D.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVVariabili.h"

#include <cmath>
#include <initializer_list>
#include <utility>

namespace {

// One grid coordinate: the quotient kept in single precision and rounded halves to even, as
// the grid has always snapped; a coordinate too far out for the grid stays as it is.
double SnapToStep(double V, double Step)
{
    const auto q = static_cast<float>(V / Step);
    if (!std::isfinite(q))
        return V;
    return static_cast<double>(std::nearbyint(q)) * Step;
}

// Distances are compared as stored, in single precision.
float SingleDistance(const TPoint2D& A, const TPoint2D& B)
{
    return static_cast<float>(Distance2D(A, B));
}

struct TSnapCandidate {
    TPoint2D Point;
    int32_t Cursor;
};

// The first candidate strictly nearer than every earlier one, from 9999999.1234 on; the first
// when none is nearer than that.
const TSnapCandidate& Nearest(const TPoint2D& Pt, std::initializer_list<TSnapCandidate> Candidates)
{
    const TSnapCandidate* best = Candidates.begin();
    float bestDist = 9999999.1234f;
    for (const TSnapCandidate& c : Candidates) {
        const float d = SingleDistance(Pt, c.Point);
        if (d < bestDist) {
            bestDist = d;
            best = &c;
        }
    }
    return *best;
}

TPoint2D ControlPoint(const TPrimitive2D& Obj, int Index)
{
    return Obj.GetModelTransform().TransformPoint2D(Obj.Points().Get(Index));
}

} // namespace

TQV_00Prog::TQV_00Prog()
{
    XSnap = 10.0;
    YSnap = 10.0;
    SnapFilter = [](TQV_00Prog& Sender, TQV_00State* State, const TPoint2D& LastPt, TPoint2D& Pt) {
        Sender.ObjectSnapFilter(State, LastPt, Pt);
    };
    // Frames leave their box figures off the live panel while a zoom or pan runs inside a task.
    if (!InteractionSuspended)
        InteractionSuspended = [] { return CADProgram && CADProgram->IsSuspended; };
}

TQV_00Prog::~TQV_00Prog()
{
    Shutdown();
    if (CADProgram == this)
        CADProgram = nullptr;
}

void TQV_00Prog::SetCursorPoint(const TPoint2D& Pt)
{
    CursorPoint = CartesianPoint2D(Pt);
}

void TQV_00Prog::GetSnappedPoint(TPoint2D& Pt)
{
    Pt = CursorPoint;
    if (Snap2Grid) {
        if (XSnap != 0)
            Pt.X = SnapToStep(Pt.X, XSnap);
        if (YSnap != 0)
            Pt.Y = SnapToStep(Pt.Y, YSnap);
    }
    Pt.W = 1;
    if (SnapMode != smNone && UsaSnap && SnapFilter)
        SnapFilter(*this, CurrentState(), LastSnappedPoint, Pt);
}

void TQV_00Prog::ApplyOrtho(const TPoint2D& Ref, TPoint2D& P) const
{
    if (UseOrto)
        OrthoPoint(Ref, P);
}

void TQV_00Prog::ObjectSnapFilter(TQV_00State*, const TPoint2D&, TPoint2D& Pt)
{
    int32_t code = HitMiss;
    TObject2D* o = ViewPort() ? ViewPort()->PickObject(Pt, SnapAperture, false, code) : nullptr;
    if (!o) {
        SetViewerCursor(crCroce);
        return;
    }
    // A mode that has nothing to give for the class keeps the point and the cursor.
    const auto take = [&](const TSnapCandidate& c) {
        Pt = c.Point;
        SetViewerCursor(c.Cursor);
    };
    const bool onIt = code == HitOutline || code >= 0;
    const auto refuse = [&] { SetViewerCursor(crCroce); };
    if (auto* point = dynamic_cast<TPunto2D*>(o)) {
        if (!onIt)
            refuse();
        else if (SnapMode == smPoint || SnapMode == smAuto)
            take({ControlPoint(*point, 0), crCropt});
    } else if (auto* line = dynamic_cast<TLine2D*>(o)) {
        if (!onIt) {
            refuse();
        } else {
            const TPoint2D p1 = ControlPoint(*line, 0), p2 = ControlPoint(*line, 1);
            const TPoint2D m{(p1.X + p2.X) * 0.5, (p1.Y + p2.Y) * 0.5, 1};
            if (SnapMode == smEndPoint)
                take({SingleDistance(Pt, p1) < SingleDistance(Pt, p2) ? p1 : p2, crCropf});
            else if (SnapMode == smMidPoint)
                take({m, crCromp});
            else if (SnapMode == smAuto)
                take(Nearest(Pt, {{p1, crCropf}, {p2, crCropf}, {m, crCromp}}));
        }
    } else if (auto* polyline = dynamic_cast<TPolyline2D*>(o)) {
        // Only a vertex snaps; a segment gives nothing.
        if (code < 0 || code >= polyline->Points().Count())
            refuse();
        else if (SnapMode == smEndPoint || SnapMode == smAuto)
            take({ControlPoint(*polyline, code), crCropf});
    } else if (auto* circle = dynamic_cast<TCerchio2D*>(o)) {
        if (!onIt) {
            refuse();
        } else {
            const TPoint2D c = ControlPoint(*circle, 0);
            const auto r = static_cast<double>(SingleDistance(c, ControlPoint(*circle, 1)));
            // The rightmost point, where the outline starts, and the leftmost, its middle.
            const TPoint2D a{c.X + r, c.Y, c.W}, b{c.X - r, c.Y, c.W};
            if (SnapMode == smEndPoint)
                take({a, crCropf});
            else if (SnapMode == smMidPoint)
                take({b, crCromp});
            else if (SnapMode == smCenter)
                take({c, crCroct});
            else if (SnapMode == smAuto)
                take(Nearest(Pt, {{c, crCroct}, {a, crCropf}, {b, crCromp}}));
        }
    } else if (auto* arc = dynamic_cast<TArco2D*>(o)) {
        // An arc is caught also when the cursor is only inside its box.
        if (!(onIt || code == HitInsideBox)) {
            refuse();
        } else {
            TArcInfo2D info;
            arc->GetArcInfo2D(info);
            if (SnapMode == smEndPoint)
                take({SingleDistance(Pt, info.StartPt) < SingleDistance(Pt, info.EndPt) ? info.StartPt
                                                                                        : info.EndPt,
                      crCropf});
            else if (SnapMode == smMidPoint)
                take({arc->PointAtParam(0.5), crCromp});
            else if (SnapMode == smCenter)
                take({info.Center, crCroct});
            else if (SnapMode == smAuto)
                take(Nearest(Pt, {{info.Center, crCroct},
                                  {info.StartPt, crCropf},
                                  {info.EndPt, crCropf},
                                  {arc->PointAtParam(0.5), crCromp}}));
        }
    } else if (auto* curve = dynamic_cast<TCurve2D*>(o)) {
        if (code < 0 || code >= curve->Points().Count())
            refuse();
        else if (SnapMode == smEndPoint || SnapMode == smAuto)
            take({ControlPoint(*curve, code), crCropf});
    } else {
        refuse();
    }
    Pt.W = 1;
    LastSnappedPoint = Pt;
}

bool TQV_00Prog::ViewPortMouseMove(TShiftState Shift, int32_t X, int32_t Y)
{
    if (TQVScene* view = ViewPort()) {
        const TPoint3D w = view->ScreenToWorld(X, Y);
        CursorPoint = TPoint2D{w.X, w.Y, 1};
        if (view->OnMouseMove2D) {
            TViewerMouseEvent e;
            e.Shift = Shift & ssShift;
            e.Ctrl = Shift & ssCtrl;
            e.Alt = Shift & ssAlt;
            e.LeftDown = Shift & ssLeft;
            e.RightDown = Shift & ssRight;
            e.MiddleDown = Shift & ssMiddle;
            e.X = X;
            e.Y = Y;
            view->OnMouseMove2D(*view, e, w.X, w.Y);
        }
    }
    if (MouseMoveFilter)
        MouseMoveFilter(*this, CurrentState(), CursorPoint, X, Y);
    return TQV_00CADProg::ViewPortMouseMove(Shift, X, Y);
}

bool TQV_00Prog::ViewPortMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)
{
    if (MouseButtonFilter)
        MouseButtonFilter(*this, CurrentState(), Button, CursorPoint, X, Y);
    TQV_00CADProg::ViewPortMouseDown(Button, Shift, X, Y);
    // The placement panel's origin: a left click in the idle state, snapped as configured.
    if (DlgOpenGeo && DlgOpenGeo->PickArmed && Button == mbLeft && !OperationRunning) {
        TPoint2D p;
        GetSnappedPoint(p);
        DlgOpenGeo->PickArmed = false;
        DlgOpenGeo->SetOriginPoint(p);
        DlgOpenGeo->ApplyClick();
    }
    return true;
}

bool TQV_00Prog::ViewPortMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y)
{
    if (MouseButtonFilter)
        MouseButtonFilter(*this, CurrentState(), Button, CursorPoint, X, Y);
    return TQV_00CADProg::ViewPortMouseUp(Button, Shift, X, Y);
}
