#include "EditTools.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVIntersect.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <vector>

double FilletRadius = 0;

namespace {

constexpr uint16_t PickAperture = 5;

TPoint2D ToPoint(const TVector2D& V)
{
    return {V.X, V.Y, 1};
}
TVector2D ToVector(const TPoint2D& P)
{
    return {P.X, P.Y};
}

TQV_01Cmp2D* DrawingOf(const TQV_00State& S)
{
    TQVScene* view = S.CADPrg.ViewPort();
    return view ? view->Drawing : nullptr;
}

// The drawing's objects of the selection, in picking order, at most Max. The IDs are read first:
// the selection follows the drawing and must not be walked while the tool changes it.
std::vector<TObject2D*> SelectedObjects(const TQV_00State& S, size_t Max)
{
    std::vector<TObject2D*> objects;
    auto* sel = dynamic_cast<TQV_50SelectObjectsParam*>(S.Param);
    TQV_01Cmp2D* drawing = DrawingOf(S);
    if (!sel || !drawing)
        return objects;
    std::vector<int32_t> ids;
    {
        TGraphicObjIterator it = sel->SelectedObjects.GetIterator();
        for (TGraphicObject* obj = it.First(); obj && ids.size() < Max; obj = it.Next())
            ids.push_back(obj->ID);
    }
    for (int32_t id : ids)
        if (TObject2D* obj = drawing->GetObject(id))
            objects.push_back(obj);
    return objects;
}

void Push(TUndoRecord& Record)
{
    if (UndoRedo)
        Record.Push(*UndoRedo);
}

// ---- what the user is told ----

// A box rather than the status bar, whose text the idle state's empty prompt replaces at once.
void TellWhy(TEditFault Fault)
{
    MainWindow().MessageBox(GetLangString(EditFaultKey(Fault)), GetLangString(450), TMsgIcon::Information,
                            TMsgButtons::Ok);
}

// The objects picked are not of a class the tool works on.
void TellWrongClass(TMsgIcon Icon = TMsgIcon::Information)
{
    MainWindow().MessageBox(GetLangString(431) + "\n" + GetLangString(432), GetLangString(450), Icon,
                            TMsgButtons::Ok);
}

// ---- entities in and out ----

bool IsCircle(const TObject2D& Obj)
{
    return dynamic_cast<const TCerchio2D*>(&Obj) != nullptr;
}

void CopyStyle(const TObject2D& From, TObject2D& To)
{
    To.Layer = From.Layer;
    To.LineWidth = From.LineWidth;
    To.UseLayerStyle = From.UseLayerStyle;
    To.Color = From.Color;
}

double EndAngle(const TEditArc& Arc)
{
    // A full turn is given as equal angles, which the arc reads as a whole circle exactly.
    return IsFullCircle(Arc) ? Arc.Start : Arc.Start + Arc.Sweep;
}

std::unique_ptr<TObject2D> MakeObject(const TEditShape& S)
{
    if (!S.IsArc)
        return std::make_unique<TLine2D>(-1, ToPoint(S.A), ToPoint(S.B));
    return std::make_unique<TArco2D>(-1, ToPoint(S.Arc.Centre), ToPoint(ArcStartPoint(S.Arc)), S.Arc.Start,
                                     EndAngle(S.Arc));
}

// Rewrites a line or an arc of the drawing as S, in drawing coordinates without transforms.
void WriteShape(TObject2D& Obj, const TEditShape& S)
{
    if (auto* arc = dynamic_cast<TArco2D*>(&Obj); arc && S.IsArc) {
        arc->SetWorldArc(ToPoint(S.Arc.Centre), ToPoint(ArcStartPoint(S.Arc)), S.Arc.Start, EndAngle(S.Arc));
    } else if (auto* line = dynamic_cast<TLine2D*>(&Obj); line && !S.IsArc) {
        line->ResetTransform();
        line->Points().SetPoint(0, ToPoint(S.A));
        line->Points().SetPoint(1, ToPoint(S.B));
        line->UpdateBox();
    }
}

// A new object of S on Source's layer in Source's style.
TObject2D* AddLike(TQV_01Cmp2D& Drawing, const TObject2D& Source, std::unique_ptr<TObject2D> Obj)
{
    CopyStyle(Source, *Obj);
    return Drawing.AddObjectToLayer(-1, Source.Layer, std::move(Obj));
}

TObject2D* AddNew(TQV_01Cmp2D& Drawing, const TEditShape& S)
{
    return Drawing.AddObject(-1, MakeObject(S));
}

// The object's points in drawing coordinates: a line's two, an outline's profile.
std::vector<TVector2D> WorldPolyline(TObject2D& Obj)
{
    std::vector<TVector2D> points;
    if (auto* line = dynamic_cast<TLine2D*>(&Obj)) {
        if (line->Points().Count() >= 2)
            for (int i = 0; i < 2; ++i)
                points.push_back(ObjectPointToWorld(line->Points().Get(i), *line));
    } else if (auto* outline = dynamic_cast<TOutline2D*>(&Obj)) {
        TProfileUse use(*outline);
        if (const TPointsSet2D* profile = outline->GetProfilePoints())
            for (int i = 0; i < outline->GetProfileCount(); ++i)
                points.push_back(ObjectPointToWorld(profile->Get(i), *outline));
    }
    return points;
}

// The end of a one-shot tool.
void Done(TQV_00State& S, TCADStateClass& NextState)
{
    S.CADPrg.RepaintAfterOperation();
    NextState = S.CADPrg.DefaultState;
    S.FreeParam();
}

// ---- fillet, trim and the tangent circle ----

enum class TCornerTool : uint8_t { Fillet, Trim, Construct };

TUndoKind CornerKind(TCornerTool Tool, const TEditShape& S1, const TEditShape& S2)
{
    const int arcs = int(S1.IsArc) + int(S2.IsArc);
    if (Tool == TCornerTool::Fillet)
        return arcs == 0   ? TUndoKind::FilletLines
               : arcs == 1 ? TUndoKind::FilletObjectArc
                           : TUndoKind::FilletArcObject;
    return arcs == 0 ? TUndoKind::TrimLines : arcs == 1 ? TUndoKind::TrimObjectArc : TUndoKind::TrimArcObject;
}

void RunCorner(TQV_00State& S, TCornerTool Tool)
{
    TQV_01Cmp2D* drawing = DrawingOf(S);
    const std::vector<TObject2D*> objs = SelectedObjects(S, 2);
    if (!drawing || objs.size() < 2)
        return;
    const std::optional<TEditShape> s1 = ReadEditShape(*objs[0]), s2 = ReadEditShape(*objs[1]);
    if (!s1 || !s2) {
        TellWrongClass();
        return;
    }
    const TVector2D p1 = ToVector(PickPoints[0]), p2 = ToVector(PickPoints[1]);
    const TCornerResult r = Tool == TCornerTool::Trim
                                ? Trim(*s1, *s2, p1, p2)
                                : Fillet(*s1, *s2, p1, p2, FilletRadius, Tool == TCornerTool::Construct);
    if (r.Fault != TEditFault::None) {
        TellWhy(r.Fault);
        return;
    }
    if (Tool == TCornerTool::Construct) {
        TUndoRecord record(TUndoKind::NewObjects);
        record.Added(*AddNew(*drawing, TEditShape::OfArc(r.Arc)));
        Push(record);
        return;
    }
    TUndoRecord record(CornerKind(Tool, *s1, *s2));
    // The line of a line and an arc comes first, as the record's kind names them.
    const bool arcFirst = s1->IsArc && !s2->IsArc;
    record.Changed(*objs[arcFirst ? 1 : 0]).Changed(*objs[arcFirst ? 0 : 1]);
    if (Tool == TCornerTool::Fillet)
        record.Added(*AddNew(*drawing, TEditShape::OfArc(r.Arc)));
    Push(record);
    // A circle is never cut open (the geometry leaves a full turn as it is).
    if (r.FirstChanged && !IsCircle(*objs[0]))
        WriteShape(*objs[0], r.First);
    if (r.SecondChanged && !IsCircle(*objs[1]))
        WriteShape(*objs[1], r.Second);
}

// ---- the point tools' first state ----

// Hands the picked entity on to a point pick whose after-state is Next.
void PickPointFor(TQV_00State& S, TCADStateClass Operation, TCADStateClass Next, const char* InvalidParam,
                  TCADStateClass& NextState)
{
    auto* sel = dynamic_cast<TQV_50SelectObjectsParam*>(S.Param);
    TObject2D* obj = nullptr;
    if (sel) {
        TGraphicObjIterator it = sel->SelectedObjects.GetIterator();
        obj = dynamic_cast<TPrimitive2D*>(it.First());
    }
    if (!obj)
        throw ECADCoreException(InvalidParam);
    auto point = std::make_unique<TQV_50SelectObjectsParam>(PickAperture, Next);
    point->Target = obj;
    // Held in the selection too, which lets go of it when the drawing frees it meanwhile.
    point->SelectedObjects.Add(*obj);
    S.CADPrg.ReplaceParam(S, std::move(point));
    S.CADPrg.CurrentOperation = Operation;
    NextState = StateClass<TQV_50SelectPoint>();
}

// The entity the point pick kept, if it is still in the drawing.
TObject2D* PointTarget(const TQV_00State& S)
{
    const std::vector<TObject2D*> objs = SelectedObjects(S, 1);
    return objs.empty() ? nullptr : objs[0];
}

// Adds the shape a construction made, on the current layer, with its record.
void AddConstruction(TQV_00State& S, const TConstructResult& R)
{
    TQV_01Cmp2D* drawing = DrawingOf(S);
    if (!drawing)
        return;
    if (R.Fault != TEditFault::None) {
        TellWhy(R.Fault);
        return;
    }
    TUndoRecord record(TUndoKind::NewObjects);
    record.Added(*AddNew(*drawing, R.Shape));
    Push(record);
}

// The second state of a point tool: Construct on the kept entity and the snapped point.
void ConstructAtPoint(TQV_00State& S, TConstructResult (*Construct)(const TEditShape&, const TVector2D&),
                      TCADStateClass& NextState)
{
    if (TObject2D* obj = PointTarget(S)) {
        if (const std::optional<TEditShape> shape = ReadEditShape(*obj))
            AddConstruction(S, Construct(*shape, ToVector(SnappedCursor(S.CADPrg))));
        else
            TellWrongClass(TMsgIcon::Warning);
    }
    if (S.Param)
        S.Param->Target = nullptr;
    Done(S, NextState);
}

} // namespace

std::optional<TEditShape> ReadEditShape(const TObject2D& Obj)
{
    if (const auto* line = dynamic_cast<const TLine2D*>(&Obj)) {
        if (line->Points().Count() < 2)
            return std::nullopt;
        return TEditShape::Line(ObjectPointToWorld(line->Points().Get(0), *line),
                                ObjectPointToWorld(line->Points().Get(1), *line));
    }
    if (const auto* arc = dynamic_cast<const TArco2D*>(&Obj)) {
        if (arc->Points().Count() < 4)
            return std::nullopt;
        const TIntersectArc a = IntersectArcOf(*arc);
        return TEditShape::OfArc(ArcFromEnds(a.Centre, a.Radius, a.Start, a.End));
    }
    if (const auto* circle = dynamic_cast<const TCerchio2D*>(&Obj)) {
        if (circle->Points().Count() < 2)
            return std::nullopt;
        const TVector2D c = ObjectPointToWorld(circle->Points().Get(0), *circle);
        const TVector2D p = ObjectPointToWorld(circle->Points().Get(1), *circle);
        return TEditShape::OfArc({c, std::hypot(p.X - c.X, p.Y - c.Y), 0, 2 * std::numbers::pi});
    }
    return std::nullopt;
}

// ---- the tools ----

TQV2D_Fillet::TQV2D_Fillet(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    RunCorner(*this, TCornerTool::Fillet);
    Done(*this, NextState);
}

TQV2D_Trim::TQV2D_Trim(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    RunCorner(*this, TCornerTool::Trim);
    Done(*this, NextState);
}

TMyArcoTan2::TMyArcoTan2(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    RunCorner(*this, TCornerTool::Construct);
    Done(*this, NextState);
}

namespace {

void RunBreak(TQV_00State& S)
{
    TQV_01Cmp2D* drawing = DrawingOf(S);
    const std::vector<TObject2D*> objs = SelectedObjects(S, 2);
    if (!drawing || objs.size() < 2)
        return;
    // The pieces, each with the object it comes from.
    std::vector<std::pair<std::unique_ptr<TObject2D>, const TObject2D*>> pieces;
    const std::optional<TEditShape> s1 = ReadEditShape(*objs[0]), s2 = ReadEditShape(*objs[1]);
    if (s1 && s2) {
        const std::vector<TVector2D> xs = ShapeCrossings(*s1, *s2);
        if (xs.empty()) {
            TellWhy(TEditFault::NoCrossing);
            return;
        }
        for (int k = 0; k < 2; ++k)
            for (const TEditShape& piece : CutShape(k == 0 ? *s1 : *s2, xs))
                pieces.emplace_back(MakeObject(piece), objs[size_t(k)]);
    } else {
        // Any other outline is cut segment by segment, and so is its partner: the pieces are
        // polylines.
        const std::vector<TVector2D> p = WorldPolyline(*objs[0]), q = WorldPolyline(*objs[1]);
        if (p.size() < 2 || q.size() < 2) {
            TellWrongClass();
            return;
        }
        std::vector<TPolylineCut> cutsP, cutsQ;
        CrossPolylines(p, q, cutsP, cutsQ);
        if (cutsP.empty()) {
            TellWhy(TEditFault::NoCrossing);
            return;
        }
        for (int k = 0; k < 2; ++k)
            for (const std::vector<TVector2D>& piece : CutPolyline(k == 0 ? p : q, k == 0 ? cutsP : cutsQ)) {
                std::vector<TPoint2D> points;
                points.reserve(piece.size());
                for (const TVector2D& v : piece)
                    points.push_back(ToPoint(v));
                pieces.emplace_back(std::make_unique<TPolyline2D>(-1, points), objs[size_t(k)]);
            }
    }
    TUndoRecord record(TUndoKind::Break);
    record.Removed(*objs[0]).Removed(*objs[1]);
    for (auto& [piece, source] : pieces)
        record.Added(*AddLike(*drawing, *source, std::move(piece)));
    Push(record);
    const int32_t id1 = objs[0]->ID, id2 = objs[1]->ID;
    drawing->DeleteObject(id1);
    drawing->DeleteObject(id2);
}

void DivideOne(TQV_01Cmp2D& Drawing, TObject2D& Obj)
{
    const std::optional<TEditShape> shape = ReadEditShape(Obj);
    if (!shape) {
        TellWrongClass(TMsgIcon::Warning);
        return;
    }
    if (!(ShapeLength(*shape) > 2 * SystemTol())) {
        TellWhy(TEditFault::Degenerate);
        return;
    }
    const auto [first, second] = Divide(*shape);
    if (IsCircle(Obj)) {
        TUndoRecord record(TUndoKind::Explode);
        record.Removed(Obj);
        record.Added(*AddLike(Drawing, Obj, MakeObject(first)));
        record.Added(*AddLike(Drawing, Obj, MakeObject(second)));
        Push(record);
        Drawing.DeleteObject(Obj.ID);
        return;
    }
    // A line keeps its second half, an arc its first; the other half is new.
    const bool arc = shape->IsArc;
    TUndoRecord record(TUndoKind::Divide);
    record.Changed(Obj).Added(*AddLike(Drawing, Obj, MakeObject(arc ? second : first)));
    Push(record);
    WriteShape(Obj, arc ? first : second);
}

} // namespace

TQV2D_Break::TQV2D_Break(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    RunBreak(*this);
    if (TQVScene* view = CADPrg.ViewPort())
        view->ResetOverlay();
    Done(*this, NextState);
}

TQV2D_Divide::TQV2D_Divide(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_01Cmp2D* drawing = DrawingOf(*this);
    std::vector<int32_t> ids;
    for (TObject2D* obj : SelectedObjects(*this, SIZE_MAX))
        ids.push_back(obj->ID);
    // By ID, since a divided circle leaves the drawing.
    for (int32_t id : ids)
        if (TObject2D* obj = drawing ? drawing->GetObject(id) : nullptr)
            DivideOne(*drawing, *obj);
    if (TQVScene* view = CADPrg.ViewPort())
        view->HideApertureBox();
    Done(*this, NextState);
}

TQV2D_Join::TQV2D_Join(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_01Cmp2D* drawing = DrawingOf(*this);
    const std::vector<TObject2D*> objs = SelectedObjects(*this, 2);
    if (drawing && objs.size() == 2) {
        const auto joinable = [](const TObject2D* O) {
            return dynamic_cast<const TLine2D*>(O) || dynamic_cast<const TArco2D*>(O);
        };
        const std::optional<TEditShape> s1 = ReadEditShape(*objs[0]), s2 = ReadEditShape(*objs[1]);
        if (!joinable(objs[0]) || !joinable(objs[1]) || !s1 || !s2 || s1->IsArc != s2->IsArc) {
            TellWrongClass(TMsgIcon::Warning);
        } else if (const TJoinResult r = Join(*s1, *s2); r.Fault != TEditFault::None) {
            TellWhy(r.Fault);
        } else {
            TUndoRecord record(TUndoKind::Join);
            record.Changed(*objs[0]).Removed(*objs[1]);
            Push(record);
            drawing->DeleteObject(objs[1]->ID);
            WriteShape(*objs[0], r.Joined);
        }
    }
    Done(*this, NextState);
}

namespace {

void ExtendPolyline(TPolyline2D& Poly, double Length, const TVector2D& Pick)
{
    const int n = Poly.Points().Count();
    if (n < 2) {
        TellWhy(TEditFault::Degenerate);
        return;
    }
    if (Poly.IsClosed()) {
        TellWhy(TEditFault::Closed);
        return;
    }
    if (Length == 0) {
        TellWhy(TEditFault::ZeroLength);
        return;
    }
    const TVector2D first = ObjectPointToWorld(Poly.Points().Get(0), Poly);
    const TVector2D last = ObjectPointToWorld(Poly.Points().Get(n - 1), Poly);
    const bool atFirst =
        std::hypot(first.X - Pick.X, first.Y - Pick.Y) < std::hypot(last.X - Pick.X, last.Y - Pick.Y);
    const int end = atFirst ? 0 : n - 1, next = atFirst ? 1 : n - 2;
    // Measured in drawing units; the vertex goes back into the polyline's own coordinates, so it
    // keeps its transform.
    const std::optional<TVector2D> q =
        ExtendPoint(atFirst ? first : last, ObjectPointToWorld(Poly.Points().Get(next), Poly), Length);
    if (!q) {
        TellWhy(TEditFault::Degenerate);
        return;
    }
    TUndoRecord record(TUndoKind::Extend);
    record.Changed(Poly);
    Push(record);
    Poly.Points().SetPoint(end, Poly.WorldToObject(ToPoint(*q)));
    Poly.UpdateBox();
}

void ExtendOne(TObject2D& Obj, double Length, const TVector2D& Pick)
{
    if (auto* poly = dynamic_cast<TPolyline2D*>(&Obj)) {
        ExtendPolyline(*poly, Length, Pick);
        return;
    }
    const std::optional<TEditShape> shape = ReadEditShape(Obj);
    if (!shape) {
        TellWrongClass(TMsgIcon::Warning);
        return;
    }
    if (IsCircle(Obj)) {
        TellWhy(TEditFault::FullCircle);
        return;
    }
    const TExtendResult r = Extend(*shape, Length, Pick);
    if (r.Fault != TEditFault::None) {
        TellWhy(r.Fault);
        return;
    }
    TUndoRecord record(TUndoKind::Extend);
    record.Changed(Obj);
    Push(record);
    WriteShape(Obj, r.Shape);
}

} // namespace

TQV2D_Extend::TQV2D_Extend(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const double length = InfoEdit ? InfoEdit->GetValue(0) : 0;
    const TVector2D pick = ToVector(SnappedCursor(CADPrg));
    for (TObject2D* obj : SelectedObjects(*this, SIZE_MAX))
        ExtendOne(*obj, length, pick);
    Done(*this, NextState);
}

// ---- constructions ----

TLineaPerpend::TLineaPerpend(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    PickPointFor(*this, StateClass<TLineaPerpend>(), StateClass<TMyLineaPerPunto>(),
                 "TLinePerpend: Invalid param", NextState);
}

TMyLineaPerPunto::TMyLineaPerPunto(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                   TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    ConstructAtPoint(*this, PerpendicularLine, NextState);
}

TMyArcoTan1::TMyArcoTan1(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    PickPointFor(*this, StateClass<TMyArcoTan1>(), StateClass<TMyArcoTan1Punto>(), "TArcTan1: Invalid param",
                 NextState);
}

TMyArcoTan1Punto::TMyArcoTan1Punto(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                   TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    ConstructAtPoint(*this, TouchingCircle, NextState);
}

TMyLineaTan2A::TMyLineaTan2A(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const std::vector<TObject2D*> objs = SelectedObjects(*this, 2);
    if (objs.size() == 2) {
        const std::optional<TEditShape> s1 = ReadEditShape(*objs[0]), s2 = ReadEditShape(*objs[1]);
        if (s1 && s2 && s1->IsArc && s2->IsArc)
            AddConstruction(*this, TangentLine2Circles(s1->Arc, s2->Arc, ToVector(PickPoints[0]),
                                                       ToVector(PickPoints[1])));
        else
            TellWrongClass();
    }
    if (TQVScene* view = CADPrg.ViewPort())
        view->ResetOverlay();
    Done(*this, NextState);
}

TMyLineaTanAngle::TMyLineaTanAngle(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                   TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const std::vector<TObject2D*> objs = SelectedObjects(*this, 1);
    if (!objs.empty()) {
        const std::optional<TEditShape> shape = ReadEditShape(*objs[0]);
        if (shape && shape->IsArc) {
            const double length = InfoEdit ? InfoEdit->GetValue(0) : 0;
            const double angle = InfoEdit ? InfoEdit->GetValue(1) : 0;
            AddConstruction(*this,
                            TangentLineAtAngle(shape->Arc, length, angle, ToVector(SnappedCursor(CADPrg))));
        } else {
            TellWrongClass();
        }
    }
    if (TQVScene* view = CADPrg.ViewPort())
        view->ResetOverlay();
    Done(*this, NextState);
}

TSelez1Ent::TSelez1Ent(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (TQVScene* view = CADPrg.ViewPort())
        view->HideApertureBox();
    const std::vector<TObject2D*> objs = SelectedObjects(*this, 1);
    auto* obj = objs.empty() ? nullptr : dynamic_cast<TPrimitive2D*>(objs[0]);
    if (!obj)
        throw ECADCoreException("TS1E: Invalid param");
    if (InfoEdit)
        InfoEdit->ShowPicked(*obj);
    NextState = CADPrg.DefaultState;
    FreeParam();
}
