// Translate, rotate, scale and mirror with a preview, and the two-point distance.
#include "QVTransformTasks.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVTasks.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <utility>

bool CopyObjects = true;
bool UniformScale = true;
TQV_80TransformObjectsParam* TransformTask = nullptr;

namespace {

// The prompts of the transform and distance tasks.
constexpr size_t PromptBase = 8, PromptSecond = 10, PromptFirstPoint = 14, PromptSecondPoint = 15;
// The pixels of a typed factor of 1 for the mouse's non-uniform scale: 25 sqrt 2.
constexpr double ScalePixels = 35.355339059327376;

// M applied about Base: the base point goes to the origin, M, and back.
TMatrix4 About(const TPoint2D& Base, const TMatrix4& M)
{
    TMatrix4 r = TMatrix4::CreateTranslation(-Base.X, -Base.Y, 0);
    r.Multiply(r, M);
    r.Multiply(r, TMatrix4::CreateTranslation(Base.X, Base.Y, 0));
    return r;
}

TMatrix4 ScaleAbout(const TPoint2D& Base, double SX, double SY)
{
    return About(Base, TMatrix4::CreateScale(SX, SY, 1));
}

// The number in a page's edit; none for a text that is no number.
std::optional<double> Typed(const char* Edit)
{
    return ParseUserNumber(ToolWindow().ControlText(Edit));
}

TQVScene* ViewOf(TQV_00CADProg& CADPrg)
{
    return CADPrg.ViewPort();
}

// A selection parameter, else the starter's error text.
TQV_50SelectObjectsParam& SelectionOf(TQV_00CADPrgParam* Param, const char* InvalidParam)
{
    auto* sel = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
    if (!sel)
        throw ECADCoreException(InvalidParam);
    return *sel;
}

// The starters' common work: an empty selection ends; otherwise the mode's parameter takes the
// selection's place, the page shows and the transform follows.
template <class TModeParam>
void StartTransform(TQV_00State& Starter, TCADStateClass StarterClass, TCADStateClass& NextState,
                    const char* InvalidParam, const char* Tab, const char* Caption, int32_t Width,
                    int32_t Height)
{
    TQV_00CADProg& prg = Starter.CADPrg;
    TQV_50SelectObjectsParam& sel = SelectionOf(Starter.Param, InvalidParam);
    if (sel.SelectedObjects.Count() == 0) {
        Starter.FreeParam();
        NextState = prg.DefaultState;
        return;
    }
    auto param = std::make_unique<TModeParam>(sel, prg);
    TModeParam* raw = param.get();
    prg.ReplaceParam(Starter, std::move(param));
    TransformTask = raw;
    // The host hides the tool window when this operation ends.
    prg.CurrentOperation = StarterClass;
    NextState = StateClass<TQV_80TrasformaOggetti>();
    ToolWindow().ShowPages({Tab}, Caption, Width, Height);
    raw->ReadRepeatCount();
}

} // namespace

// ---- the parameters ----

TQV_80TransformObjectsParam::TQV_80TransformObjectsParam(TQV_50SelectObjectsParam& Selection,
                                                         TCADStateClass AfterState, uint8_t Mode,
                                                         TQV_00CADProg& CADPrg)
    : TQV_00CommonParam(AfterState), Mode(Mode),
      RubberLine(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0, 0, 1}))
{
    if (Selection.SelectedObjects.Count() == 0)
        throw ECADCoreException("TQV_80TOP: Invalid list");
    TGraphicObjIterator it = Selection.SelectedObjects.GetIterator();
    bool first = true;
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        auto* o2 = dynamic_cast<TObject2D*>(o);
        if (!o2)
            continue;
        o2->ApplyTransform();
        Objects.push_back(o2);
        const TRect2D& b = o2->Box;
        if (first) {
            SelectionBox = b;
            first = false;
        } else {
            SelectionBox.First.X = std::min(SelectionBox.First.X, b.First.X);
            SelectionBox.First.Y = std::min(SelectionBox.First.Y, b.First.Y);
            SelectionBox.Second.X = std::max(SelectionBox.Second.X, b.Second.X);
            SelectionBox.Second.Y = std::max(SelectionBox.Second.Y, b.Second.Y);
        }
    }
    CADPrg.UsaSnap = true;
}

TQV_80TransformObjectsParam::~TQV_80TransformObjectsParam()
{
    if (TransformTask == this)
        TransformTask = nullptr;
}

void TQV_80TransformObjectsParam::SetRepeatCount(const std::string& Text)
{
    const std::optional<double> n = ParseUserNumber(Text);
    RepeatCount = n && *n >= 1 ? int32_t(std::min<double>(std::floor(*n), MaxRepeatCount)) : 1;
}

void TQV_80TransformObjectsParam::ReadRepeatCount()
{
    if (RepeatEdit)
        SetRepeatCount(ToolWindow().ControlText(RepeatEdit));
}

TQV_81TraslaObjectsParam::TQV_81TraslaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg)
    : TQV_80TransformObjectsParam(Selection, nullptr, 0, CADPrg)
{
    RepeatEdit = "txtTransRepeat";
}

void TQV_81TraslaObjectsParam::BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P)
{
    M = TMatrix4::CreateTranslation(P.X - Base.X, P.Y - Base.Y, 0);
}

TQV_82RuotaObjectsParam::TQV_82RuotaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg)
    : TQV_80TransformObjectsParam(Selection, nullptr, 1, CADPrg)
{
    RepeatEdit = "txtRotateRepeat";
}

void TQV_82RuotaObjectsParam::BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P)
{
    const double a = std::atan2(P.Y - Base.Y, P.X - Base.X);
    M = About(Base, TMatrix4::CreateRotation(false, a));
}

TQV_84ScalaObjectsParam::TQV_84ScalaObjectsParam(TQV_50SelectObjectsParam& Selection, TQV_00CADProg& CADPrg)
    : TQV_80TransformObjectsParam(Selection, nullptr, 2, CADPrg)
{
    RepeatEdit = "txtScaleRepeat";
}

void TQV_84ScalaObjectsParam::BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P)
{
    double sx = 0, sy = 0;
    TQVScene* view = DrawingView;
    if (UniformScale || !view) {
        sx = sy = std::hypot(P.X - Base.X, P.Y - Base.Y) / 10;
    } else {
        const TPoint b = view->WorldToScreen(Base), q = view->WorldToScreen(P);
        sx = std::abs(q.X - b.X) / ScalePixels;
        sy = std::abs(q.Y - b.Y) / ScalePixels;
    }
    M = ScaleAbout(Base, sx, sy);
}

TQV_83SpecchiaObjectsParam::TQV_83SpecchiaObjectsParam(TQV_50SelectObjectsParam& Selection,
                                                       TQV_00CADProg& CADPrg)
    : TQV_80TransformObjectsParam(Selection, nullptr, 3, CADPrg)
{
}

void TQV_83SpecchiaObjectsParam::BuildMatrix(TMatrix4& M, const TPoint2D& Base, const TPoint2D& P)
{
    const double a = std::atan2(P.Y - Base.Y, P.X - Base.X);
    TMatrix4 r = TMatrix4::CreateRotation(false, -a);
    r.Multiply(r, TMatrix4::CreateMirror(0));
    r.Multiply(r, TMatrix4::CreateRotation(false, a));
    M = About(Base, r);
}

// ---- the starters ----

TQV_81TraslaSelectedObjects::TQV_81TraslaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                         TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    StartTransform<TQV_81TraslaObjectsParam>(*this, StateClass<TQV_81TraslaSelectedObjects>(), NextState,
                                             "TQV_81TSO: Invalid param", "tabTranslate", "twTrans", 250, 214);
}

TQV_82RuotaSelectedObjects::TQV_82RuotaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    StartTransform<TQV_82RuotaObjectsParam>(*this, StateClass<TQV_82RuotaSelectedObjects>(), NextState,
                                            "TQV_82: Invalid param", "tabRotate", "twRotate", 250, 213);
}

TQV_84ScalaSelectedObjects::TQV_84ScalaSelectedObjects(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    StartTransform<TQV_84ScalaObjectsParam>(*this, StateClass<TQV_84ScalaSelectedObjects>(), NextState,
                                            "TCAD2DRotateSelectedObjects: Invalid param", "tabScale",
                                            "twScale", 250, 258);
}

TQV_83SpecchiaSelectedObjects::TQV_83SpecchiaSelectedObjects(TQV_00CADProg& CADPrg,
                                                             TQV_00CADPrgParam* StateParam,
                                                             TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    StartTransform<TQV_83SpecchiaObjectsParam>(*this, StateClass<TQV_83SpecchiaSelectedObjects>(), NextState,
                                               "TCAD2DMirrorSelectedObjects: Invalid param", "tabMirror",
                                               "twMirror", 250, 214);
}

// ---- applying ----

namespace {

// The copy of O as M shows it, added to the drawing; -1 for a class that cannot be copied.
// Circles and arcs under a non-uniform scale, and rectangles turned or mirrored, are copied as
// polylines: their own classes cannot take that shape.
int32_t AddCopy(TQV_01Cmp2D& Drawing, TObject2D& O, const TMatrix4& M, uint8_t Mode)
{
    O.SetModelTransform(M);
    std::unique_ptr<TPolyline2D> temp;
    if (Mode == 2 && !UniformScale && (dynamic_cast<TCerchio2D*>(&O) || dynamic_cast<TArco2D*>(&O)))
        temp = CurveProfileToPolyline(static_cast<TCurve2D&>(O));
    else if ((Mode == 1 || Mode == 3) && dynamic_cast<TFrame2D*>(&O))
        temp = FrameToPolyline(static_cast<TFrame2D&>(O));
    return AddTransformedCopy(Drawing, temp ? *temp : O);
}

} // namespace

void ApplyTransformToObjects(TQV_80TransformObjectsParam& P, TQV_01Cmp2D& Drawing)
{
    TQV_01Cmp2D* drawing = &Drawing;
    if (CopyObjects) {
        const int32_t repeat = std::clamp(P.RepeatCount, 1, MaxRepeatCount);
        std::vector<int32_t> made;
        for (TObject2D* o : P.Objects) {
            TMatrix4 m = P.Matrix;
            for (int32_t j = 0; j < repeat; ++j) {
                // A class that cannot be copied makes no copy, and no ID in the record.
                if (const int32_t id = AddCopy(*drawing, *o, m, P.Mode); id >= 0)
                    made.push_back(id);
                m.Multiply(m, P.Matrix);
            }
            o->SetModelTransform(IdentityMatrix);
        }
        if (!made.empty() && UndoRedo) {
            TUndoRecord record(TUndoKind::TransformCopies);
            for (const int32_t id : made)
                record.Added(*drawing->GetObject(id));
            record.Push(*UndoRedo);
        }
    } else if (P.Mode == 2 && !UniformScale) {
        // Each object is replaced by its scaled copy; one that cannot be copied stays as it was.
        std::vector<std::pair<TObject2D*, TGraphicObject*>> pairs;
        for (TObject2D* o : P.Objects) {
            const TMatrix4 m = o->ModelTransform() ? *o->ModelTransform() : P.Matrix;
            const int32_t id = AddCopy(*drawing, *o, m, P.Mode);
            o->SetModelTransform(IdentityMatrix);
            if (id >= 0)
                pairs.emplace_back(o, drawing->GetObject(id));
        }
        if (!pairs.empty()) {
            if (UndoRedo) {
                TUndoRecord record(TUndoKind::TransformReplace);
                for (const auto& [old, made] : pairs)
                    record.Replaced(*old, *made);
                record.Push(*UndoRedo);
            }
            TTreeUpdate update(drawing->TreeGeo);
            for (const auto& [old, made] : pairs) {
                std::erase(P.Objects, old);
                drawing->DeleteObject(old->ID);
            }
        }
    } else {
        for (TObject2D* o : P.Objects)
            o->SetModelTransform(IdentityMatrix);
        if (!P.Objects.empty() && UndoRedo) {
            TUndoRecord record(TUndoKind::TransformInPlace);
            for (TObject2D* o : P.Objects)
                record.Changed(*o);
            record.Push(*UndoRedo);
        }
        for (TObject2D* o : P.Objects) {
            o->SetModelTransform(P.Matrix);
            o->ApplyTransform();
        }
    }
}

// ---- the transform ----

TQV_80TrasformaOggetti::TQV_80TrasformaOggetti(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                               TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (!dynamic_cast<TQV_80TransformObjectsParam*>(Param))
        throw ECADCoreException("TQV_80: Invalid param");
    SetDescription(StatePrompts[PromptBase]);
    if (TQVScene* view = ViewOf(CADPrg)) {
        view->ResetOverlay();
        // The box of the selection, in red, until the view is rebuilt.
        if (view->HighlightGroup) {
            const TRect2D& b = P().SelectionBox;
            TFrame2D box(-1, b.First, b.Second, 255, 2, IdentityMatrix);
            box.BuildGLIn(*view->HighlightGroup);
            view->Repaint();
        }
    }
}

void TQV_80TrasformaOggetti::TakePreviewBack()
{
    if (!Param)
        return;
    for (TObject2D* o : P().Objects)
        o->SetModelTransform(IdentityMatrix);
}

void TQV_80TrasformaOggetti::OnStop()
{
    TakePreviewBack();
    if (TQVScene* view = ViewOf(CADPrg))
        view->ResetOverlay();
    CADPrg.RepaintAfterOperation();
    FreeParam();
}

void TQV_80TrasformaOggetti::UpdateMatrix(TPoint2D Pt)
{
    if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
        prog->ApplyOrtho(P().BasePoint, Pt);
    P().BuildMatrix(P().Matrix, P().BasePoint, Pt);
}

void TQV_80TrasformaOggetti::ShowPreview()
{
    TQV_80TransformObjectsParam& p = P();
    for (TObject2D* o : p.Objects)
        o->SetModelTransform(p.Matrix);
    p.RubberLine->Points().SetPoint(0, p.BasePoint);
    p.RubberLine->Points().SetPoint(1, p.MovePoint);
    if (TQVScene* view = ViewOf(CADPrg)) {
        view->OverlayObjects.assign(p.Objects.begin(), p.Objects.end());
        view->OverlayObjects.push_back(p.RubberLine.get());
        view->ShowOverlayObjectsOnly();
    }
}

void TQV_80TrasformaOggetti::ApplyToObjects()
{
    if (TQVScene* view = ViewOf(CADPrg))
        view->ResetOverlay();
    TQV_01Cmp2D* drawing = DrawingOf(CADPrg);
    if (!drawing)
        return;
    TEventsLock lock(CADPrg);
    ApplyTransformToObjects(P(), *drawing);
    CADPrg.RepaintAfterOperation();
}

bool TQV_80TrasformaOggetti::Done(TCADStateClass& NextState)
{
    LeaveWithParam(NextState);
    return true;
}

bool TQV_80TrasformaOggetti::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState,
                                     int32_t Key, TCADStateClass& NextState)
{
    if (!Param)
        return false;
    TQV_80TransformObjectsParam& p = P();
    const auto snapped = [this] { return SnappedCursor(CADPrg); };
    switch (Event) {
    case ceMouseDown: {
        if (MouseButton != cmbLeft)
            return false;
        const TPoint2D s = snapped();
        if (p.ClickCount == 0) {
            p.BasePoint = p.MovePoint = s;
            SetDescription(StatePrompts[PromptSecond]);
            p.ClickCount = 1;
            return false;
        }
        UpdateMatrix(s);
        ApplyToObjects();
        return Done(NextState);
    }
    case ceMouseMove:
        if (p.ClickCount > 0) {
            p.MovePoint = snapped();
            UpdateMatrix(p.MovePoint);
            ShowPreview();
            // What the mouse means, in the page's terms.
            if (p.Mode == 1)
                ToolWindow().SetControlText(
                    "txtRotateAngle",
                    FormatCoord(std::atan2(p.MovePoint.Y - p.BasePoint.Y, p.MovePoint.X - p.BasePoint.X) *
                                180 / std::numbers::pi));
        }
        return false;
    case ceUserDefined: {
        CADPrg.RepaintAfterOperation();
        switch (Key) {
        case ueCancel:
            TakePreviewBack();
            if (TQVScene* view = ViewOf(CADPrg))
                view->ResetOverlay();
            Cancel(NextState);
            return true;
        case ueDone:
            ApplyToObjects();
            return Done(NextState);
        case ueTranslateChanged: {
            // Either edit not a number: no offset.
            const std::optional<double> dx = Typed("txtTransDx"), dy = Typed("txtTransDy");
            const bool ok = dx && dy;
            p.MovePoint = {p.BasePoint.X + (ok ? *dx : 0), p.BasePoint.Y + (ok ? *dy : 0), 1};
            p.Matrix = TMatrix4::CreateTranslation(ok ? *dx : 0, ok ? *dy : 0, 0);
            ShowPreview();
            return false;
        }
        case ueRotateChanged: {
            // A text being retyped keeps the preview as it is.
            const std::optional<double> a = Typed("txtRotateAngle");
            if (!a)
                return false;
            const double r = *a * std::numbers::pi / 180;
            p.MovePoint = {p.BasePoint.X + 10 * std::cos(r), p.BasePoint.Y + 10 * std::sin(r), 1};
            p.Matrix = About(p.BasePoint, TMatrix4::CreateRotation(false, r));
            ShowPreview();
            return false;
        }
        case ueScaleChanged: {
            // The typed factors are the factors; none of them may flatten the objects.
            const std::optional<double> sx = Typed("txtScaleX");
            const std::optional<double> sy = UniformScale ? sx : Typed("txtScaleY");
            if (!sx || !sy || *sx == 0 || *sy == 0)
                return false;
            p.MovePoint = {p.BasePoint.X + *sx * ScalePixels, p.BasePoint.Y + *sy * ScalePixels, 1};
            p.Matrix = ScaleAbout(p.BasePoint, *sx, *sy);
            ShowPreview();
            return false;
        }
        case ueMirrorChanged:
            p.Matrix = TMatrix4::CreateMirror(ToolWindow().ControlItemIndex("gprMirrorAxis") - 1);
            ShowPreview();
            return false;
        default:
            return false;
        }
    }
    default:
        return false;
    }
}

// ---- the two-point distance ----

TQV_70Sel2PuntiParam::TQV_70Sel2PuntiParam(TCADStateClass AfterState)
    : TQV_00CommonParam(AfterState),
      RubberLine(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0, 0, 1}))
{
}

TQV_70Sel2PuntiParam::~TQV_70Sel2PuntiParam() = default;

TQV_70Sel2Punti::TQV_70Sel2Punti(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                 TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (!dynamic_cast<TQV_70Sel2PuntiParam*>(Param))
        throw ECADCoreException("TQV_70Sel2Punti: Invalid param");
    SetDescription(StatePrompts[PromptFirstPoint]);
}

void TQV_70Sel2Punti::HideRubberLine()
{
    if (TQVScene* view = ViewOf(CADPrg)) {
        if (Param && view->RubberBandObject == P().RubberLine.get())
            view->RubberBandObject = nullptr;
        view->ResetOverlay();
    }
}

void TQV_70Sel2Punti::OnStop()
{
    HideRubberLine();
    FreeParam();
}

bool TQV_70Sel2Punti::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState, int32_t Key,
                              TCADStateClass& NextState)
{
    if (!Param)
        return false;
    TQV_70Sel2PuntiParam& p = P();
    const auto snapped = [this] { return SnappedCursor(CADPrg); };
    switch (Event) {
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return false;
        if (p.FirstPicked) {
            // The measurement is done: the next click starts another.
            p.FirstPicked = false;
            SetDescription(StatePrompts[PromptFirstPoint]);
            HideRubberLine();
            return false;
        }
        p.FirstPoint = p.SecondPoint = snapped();
        p.RubberLine->Points().SetPoint(0, p.FirstPoint);
        p.RubberLine->Points().SetPoint(1, p.FirstPoint);
        p.FirstPicked = true;
        if (TQVScene* view = ViewOf(CADPrg)) {
            view->ShowControlPoints = false;
            view->SetRubberBandObject(p.RubberLine.get());
        }
        SetDescription(StatePrompts[PromptSecondPoint]);
        return false;
    case ceMouseMove:
        if (!p.FirstPicked)
            return false;
        p.SecondPoint = snapped();
        p.RubberLine->Points().SetPoint(1, p.SecondPoint);
        if (TQVScene* view = ViewOf(CADPrg))
            view->SetRubberBandObject(p.RubberLine.get());
        if (InfoEdit)
            InfoEdit->ShowSegmentInfo(p.FirstPoint, p.SecondPoint);
        return false;
    case ceUserDefined:
        if (Key == ueCancel) {
            HideRubberLine();
            Cancel(NextState);
            return true;
        }
        if (Key == ueDone) {
            HideRubberLine();
            CADPrg.RepaintAfterOperation();
            Cancel(NextState);
            return true;
        }
        return false;
    default:
        return false;
    }
}
