#include "QVCmpOps.h"

#include "QVBoxIndex.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVSplines.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <vector>

namespace {

// The box the extents start from: inverted, so the first visible box replaces it.
constexpr double ExtentsStart = 1e8;

bool OnVisibleLayer(const TQV_01Cmp& Drawing, const TGraphicObject& Obj)
{
    return Drawing.Layers.GetLayer(Obj.Layer).Visible;
}

// The smallest pixel rectangle holding the four corners of the world box.
TRect ScreenRectOfBox(const TDrawingView& View, const TRect2D& Box)
{
    const TRect2D b = NormalizeRect2D(Box);
    const TPoint corners[] = {
        View.WorldToScreen(MakePoint2D(b.First.X, b.First.Y)),
        View.WorldToScreen(MakePoint2D(b.Second.X, b.First.Y)),
        View.WorldToScreen(MakePoint2D(b.Second.X, b.Second.Y)),
        View.WorldToScreen(MakePoint2D(b.First.X, b.Second.Y)),
    };
    TRect r{corners[0].X, corners[0].Y, corners[0].X, corners[0].Y};
    for (const TPoint& p : corners) {
        r.Left = std::min(r.Left, p.X);
        r.Right = std::max(r.Right, p.X);
        r.Top = std::min(r.Top, p.Y);
        r.Bottom = std::max(r.Bottom, p.Y);
    }
    return r;
}

// Shows the busy cursor for as long as it lives, also when a rebuild fails.
class TBusyView {
public:
    explicit TBusyView(TDrawingView* View) : View(View)
    {
        if (View)
            View->ShowBusy(true);
    }
    ~TBusyView()
    {
        if (View)
            View->ShowBusy(false);
    }
    TBusyView(const TBusyView&) = delete;
    TBusyView& operator=(const TBusyView&) = delete;

private:
    TDrawingView* View;
};

// How a copy comes to lie where its source is shown.
enum class TCopyKind { None, BakePoints, KeepPlacement };

// Classes whose shape survives any affine map of their control points take the transform into
// them. A circle does too: it stays a circle through its mapped centre and rim point. The shapes
// drawn from corners or angles would lose a rotation that way (a rotated frame would come back
// axis-aligned), so they keep the transform as their placement.
TCopyKind CopyKindOf(const TObject2D& Obj)
{
    if (dynamic_cast<const TPunto2D*>(&Obj) || dynamic_cast<const TLine2D*>(&Obj))
        return TCopyKind::BakePoints;
    if (dynamic_cast<const TFrame2D*>(&Obj))
        return TCopyKind::KeepPlacement;
    if (dynamic_cast<const TCerchio2D*>(&Obj))
        return TCopyKind::BakePoints;
    if (dynamic_cast<const TArco2D*>(&Obj))
        return TCopyKind::KeepPlacement;
    if (dynamic_cast<const TPolyline2D*>(&Obj) || dynamic_cast<const TBSpline2D*>(&Obj))
        return TCopyKind::BakePoints;
    if (dynamic_cast<const TQVBSpline2D*>(&Obj) || dynamic_cast<const TEllipse2D*>(&Obj) ||
        dynamic_cast<const TEllipseOpen2D*>(&Obj))
        return TCopyKind::KeepPlacement;
    return TCopyKind::None;
}

} // namespace

// ---- the drawing's own operations ----

std::unique_ptr<TGraphicObject> TQV_01Cmp::ExtractCurrentObject(TExclusiveGraphicObjIterator& It)
{
    // Unlinked first: a refused removal leaves every holder as it was.
    std::unique_ptr<TGraphicObject> taken = It.RemoveCurrent();
    if (!taken)
        return nullptr;
    AnnounceFree(*taken);
    if (TreeGeo)
        TreeGeo->DeleteObjectNode(*taken);
    taken->Owner = nullptr;
    return taken;
}

void TQV_01Cmp2D::TransformObjects(const std::vector<int32_t>& IDs, const TMatrix4& M)
{
    if (IDs.empty())
        return;
    {
        auto it = ObjectsExclusiveIterator();
        const auto transform = [&M](TGraphicObject& obj) {
            obj.TransformBy(M);
            obj.ApplyTransform();
        };
        if (IDs.front() < 0) {
            for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
                transform(*obj);
        } else {
            for (int32_t id : IDs)
                if (TGraphicObject* obj = it.Search(id))
                    transform(*obj);
        }
    }
    if (RepaintAfterTransform)
        RepaintViews();
}

void TQV_01Cmp2D::GetExtents(TRect2D& R)
{
    if (ObjectsCount() == 0)
        return;
    R = MakeRect2D(ExtentsStart, ExtentsStart, -ExtentsStart, -ExtentsStart);
    auto it = ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* obj2D = dynamic_cast<TObject2D*>(obj);
        if (!obj2D || !obj2D->Visible || !OnVisibleLayer(*this, *obj2D))
            continue;
        obj2D->UpdateBox();
        const TRect2D b = NormalizeRect2D(obj2D->Box);
        R.First.X = std::min(R.First.X, b.First.X);
        R.First.Y = std::min(R.First.Y, b.First.Y);
        R.Second.X = std::max(R.Second.X, b.Second.X);
        R.Second.Y = std::max(R.Second.Y, b.Second.Y);
    }
}

void TQV_01Cmp2D::ZoomToExtents()
{
    if (!View)
        return;
    TRect2D r{};
    GetExtents(r);
    // No object, or none visible (the extents stay inverted): the grid, not a square 2e8 wide.
    if (ObjectsCount() == 0 || r.First.X > r.Second.X) {
        View->ZoomToBox(View->GridBox());
        return;
    }
    r = NormalizeRect2D(r);
    View->ZoomToBox(MakeRect3D(r.First.X, r.First.Y, 0, r.Second.X, r.Second.Y, 0));
}

void TQV_01Cmp2D::RebuildGLObjects()
{
    // The busy cursor lets pending messages run, so it comes before the walk starts.
    TBusyView busy(View);
    auto it = ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        if (OnVisibleLayer(*this, *obj))
            obj->BuildGL();
}

// ---- routines on the drawing ----

namespace {

// Active and Visible layer; the object 2D, shown, enabled and drawn in its layer's style, so
// auxiliary objects never.
bool Selectable(const TQV_01Cmp2D& Drawing, const TObject2D& Obj)
{
    const TQV_21Layer& layer = Drawing.Layers.GetLayer(Obj.Layer);
    return layer.Active && layer.Visible && Obj.Visible && Obj.Enabled && Obj.UseLayerStyle;
}

bool BoxInside(const TRect2D& Box, const TRect2D& R)
{
    const TRect2D b = NormalizeRect2D(Box);
    return b.First.X >= R.First.X && b.Second.X <= R.Second.X && b.First.Y >= R.First.Y && b.Second.Y <= R.Second.Y;
}

// The window selection through the drawing's box index: only the objects near the window are
// looked at, and those lying well inside it, by more than the rounding of the screen mapping,
// are taken without mapping them. False when the view or the index cannot serve; the caller
// then walks every object.
bool SelectThroughIndex(TQV_01Cmp2D& Drawing, TGraphicObjList& List, const TRect& Window)
{
    const TDrawingView& view = *Drawing.View;
    TPoint2D c[4], right, down;
    if (!view.ScreenToWorldPlane(Window.Left, Window.Top, c[0]) ||
        !view.ScreenToWorldPlane(Window.Right, Window.Top, c[1]) ||
        !view.ScreenToWorldPlane(Window.Right, Window.Bottom, c[2]) ||
        !view.ScreenToWorldPlane(Window.Left, Window.Bottom, c[3]) ||
        !view.ScreenToWorldPlane(Window.Left + 1.0, Window.Top, right) ||
        !view.ScreenToWorldPlane(Window.Left, Window.Top + 1.0, down))
        return false;
    TRect2D box{c[0], c[0]};
    double reach = 0;
    for (const TPoint2D& p : c) {
        box.First.X = std::min(box.First.X, p.X);
        box.First.Y = std::min(box.First.Y, p.Y);
        box.Second.X = std::max(box.Second.X, p.X);
        box.Second.Y = std::max(box.Second.Y, p.Y);
        reach = std::max({reach, std::fabs(p.X), std::fabs(p.Y)});
    }
    // Two pixels cover the rounding to whole pixels; the rest covers the single precision of the
    // screen mapping far from the origin.
    const double px = Distance2D(right, c[0]), py = Distance2D(down, c[0]);
    const double margin = 2 * std::max(px, py) + 1e-6 * reach;
    if (!std::isfinite(margin))
        return false;
    const TRect2D outer = InflateRect2D(box, margin);
    std::vector<TObject2D*> near;
    if (!Drawing.BoxIndex().ObjectsNear(outer, near))
        return false;
    // Seen straight from above the window is a box in the world too, and its inside can be told
    // without the screen; an orbited view maps every candidate.
    const bool square = std::fabs(right.Y - c[0].Y) <= 1e-9 * px && std::fabs(down.X - c[0].X) <= 1e-9 * py;
    const TRect2D inner = InflateRect2D(box, -margin);
    const bool hasInner = square && inner.First.X <= inner.Second.X && inner.First.Y <= inner.Second.Y;
    auto it = Drawing.ObjectsExclusiveIterator();
    if (near.size() > 1024)
        List.Reserve(List.Count() + static_cast<int32_t>(std::min<size_t>(near.size(), INT32_MAX / 2)));
    for (TObject2D* obj : near) {
        if (!Selectable(Drawing, *obj))
            continue;
        if ((hasInner && BoxInside(obj->Box, inner)) || ScreenRectInside(ScreenRectOfBox(view, obj->Box), Window))
            List.Add(*obj);
    }
    return true;
}

} // namespace

void SelectObjectsInScreenRect(TQV_01Cmp2D& Drawing, TGraphicObjList& List, const TRect& ScreenRect,
                               uint8_t Mode, bool Extract)
{
    List.SetOwnsObjects(Extract);
    // The corners as the user dragged them, in either direction.
    const TRect window{
        std::min(ScreenRect.Left, ScreenRect.Right), std::min(ScreenRect.Top, ScreenRect.Bottom),
        std::max(ScreenRect.Left, ScreenRect.Right), std::max(ScreenRect.Top, ScreenRect.Bottom)};
    if (Mode == 0 && Drawing.View && !Extract && !Drawing.IsBlocked() && SelectThroughIndex(Drawing, List, window))
        return;
    auto it = Drawing.ObjectsExclusiveIterator();
    if (Mode != 0 || !Drawing.View)
        return;
    for (TGraphicObject* obj = it.First(); obj;) {
        auto* obj2D = dynamic_cast<TObject2D*>(obj);
        if (!obj2D || !Selectable(Drawing, *obj2D) ||
            !ScreenRectInside(ScreenRectOfBox(*Drawing.View, obj2D->Box), window)) {
            obj = it.Next();
            continue;
        }
        if (!Extract) {
            List.Add(*obj);
            obj = it.Next();
            continue;
        }
        List.Add(Drawing.ExtractCurrentObject(it));
        obj = it.Current();
    }
}

int32_t AddTransformedCopy(TQV_01Cmp2D& Drawing, const TObject2D& Obj)
{
    const TCopyKind kind = CopyKindOf(Obj);
    if (kind == TCopyKind::None)
        return -1;
    // The copy is made in the source's class and takes its combined transform as placement.
    std::unique_ptr<TGraphicObject> made = CopyGraphicObject(Obj);
    auto* copy = static_cast<TPrimitive2D*>(made.get());
    if (kind == TCopyKind::BakePoints && copy->HasTransform()) {
        const TMatrix4 m = copy->GetModelTransform();
        TPointsSet2D& points = copy->Points();
        for (int i = 0; i < points.Count(); ++i)
            points.Put(i, m.TransformPoint2D(points.Get(i)));
        copy->ResetTransform();
    }
    return Drawing.AddObject(-1, std::move(made))->ID;
}

std::array<float, 4> GetLayerGLColor(const TQV_21Layer& Layer)
{
    const auto c = static_cast<uint32_t>(Layer.Pen.Color());
    const auto channel = [c](int shift) { return static_cast<float>((c >> shift) & 0xFF) / 255.0f; };
    return {channel(0), channel(8), channel(16), 1.0f};
}
