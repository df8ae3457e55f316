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

// The four corners of the world box.
std::array<TPoint2D, 4> BoxCorners(const TRect2D& Box)
{
    const TRect2D b = NormalizeRect2D(Box);
    return {MakePoint2D(b.First.X, b.First.Y), MakePoint2D(b.Second.X, b.First.Y),
            MakePoint2D(b.Second.X, b.Second.Y), MakePoint2D(b.First.X, b.Second.Y)};
}

// The smallest pixel rectangle holding the pixels of four corners.
TRect ScreenRectOfCorners(const TPoint* Corners)
{
    TRect r{Corners[0].X, Corners[0].Y, Corners[0].X, Corners[0].Y};
    for (int i = 1; i < 4; ++i) {
        r.Left = std::min(r.Left, Corners[i].X);
        r.Right = std::max(r.Right, Corners[i].X);
        r.Top = std::min(r.Top, Corners[i].Y);
        r.Bottom = std::max(r.Bottom, Corners[i].Y);
    }
    return r;
}

// The smallest pixel rectangle holding the four corners of the world box.
TRect ScreenRectOfBox(const TDrawingView& View, const TRect2D& Box)
{
    const std::array<TPoint2D, 4> corners = BoxCorners(Box);
    std::array<TPoint, 4> pixels;
    View.WorldToScreenMany(corners.data(), corners.size(), pixels.data());
    return ScreenRectOfCorners(pixels.data());
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
    ZoomToExtents(r);
}

void TQV_01Cmp2D::ZoomToExtents(const TRect2D& Extents)
{
    if (!View)
        return;
    TRect2D r = Extents;
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
// auxiliary objects never. Layers is the Active and Visible flag of each layer.
bool Selectable(const std::array<bool, TQV_20Layers::Count>& Layers, const TObject2D& Obj)
{
    return Layers[Obj.Layer] && Obj.Visible && Obj.Enabled && Obj.UseLayerStyle && Obj.WindowSelectable();
}

std::array<bool, TQV_20Layers::Count> SelectableLayers(const TQV_01Cmp2D& Drawing)
{
    std::array<bool, TQV_20Layers::Count> layers{};
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        const TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
        layers[size_t(i)] = layer.Active && layer.Visible;
    }
    return layers;
}

// The box, corner to corner in any order, within R (normalised).
bool BoxInside(const TRect2D& Box, const TRect2D& R)
{
    return std::min(Box.First.X, Box.Second.X) >= R.First.X &&
           std::max(Box.First.X, Box.Second.X) <= R.Second.X &&
           std::min(Box.First.Y, Box.Second.Y) >= R.First.Y &&
           std::max(Box.First.Y, Box.Second.Y) <= R.Second.Y;
}

// The window selection when the view maps the screen back to the world: only the objects near the
// window are looked at, and those lying well inside it, by more than the rounding of the screen
// mapping, are taken without mapping them. False when the view or the index cannot serve; the
// caller then maps every object.
bool SelectThroughWorld(TQV_01Cmp2D& Drawing, TGraphicObjList& List, const TRect& Window)
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
    // Seen straight from above the window is a box in the world too, and its inside can be told
    // without the screen; an orbited view maps every candidate.
    const bool square = std::fabs(right.Y - c[0].Y) <= 1e-9 * px && std::fabs(down.X - c[0].X) <= 1e-9 * py;
    const TRect2D inner = InflateRect2D(box, -margin);
    const bool hasInner = square && inner.First.X <= inner.Second.X && inner.First.Y <= inner.Second.Y;
    std::vector<TObject2D*> near;
    if (!Drawing.BoxIndex().ObjectsNear(outer, near))
        return false;
    auto it = Drawing.ObjectsExclusiveIterator();
    const std::array<bool, TQV_20Layers::Count> layers = SelectableLayers(Drawing);
    List.Reserve(static_cast<int32_t>(std::min<size_t>(size_t(List.Count()) + near.size(), INT32_MAX / 2)));
    // A few hundred at a time, so that an object read to decide it is still at hand when the
    // list takes it; those near the window's edges are mapped to the screen together.
    constexpr size_t Chunk = 256;
    enum : uint8_t { Out, In, Edge };
    std::array<uint8_t, Chunk> kind;
    std::vector<TPoint2D> corners;
    std::vector<TPoint> pixels;
    std::vector<TGraphicObject*> taken;
    for (size_t start = 0; start < near.size(); start += Chunk) {
        const size_t n = std::min(Chunk, near.size() - start);
        corners.clear();
        for (size_t i = 0; i < n; ++i) {
            const TObject2D& obj = *near[start + i];
            kind[i] = !Selectable(layers, obj) ? Out : hasInner && BoxInside(obj.Box, inner) ? In : Edge;
            if (kind[i] == Edge) {
                const std::array<TPoint2D, 4> four = BoxCorners(obj.Box);
                corners.insert(corners.end(), four.begin(), four.end());
            }
        }
        pixels.resize(corners.size());
        if (!corners.empty())
            view.WorldToScreenMany(corners.data(), corners.size(), pixels.data());
        taken.clear();
        for (size_t i = 0, edge = 0; i < n; ++i) {
            bool take = kind[i] == In;
            if (kind[i] == Edge)
                take = ScreenRectInside(ScreenRectOfCorners(&pixels[4 * edge++]), Window);
            if (take)
                taken.push_back(near[start + i]);
        }
        List.AddReferences(taken);
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
    if (Mode == 0 && Drawing.View && !Extract && !Drawing.IsBlocked() &&
        SelectThroughWorld(Drawing, List, window))
        return;
    auto it = Drawing.ObjectsExclusiveIterator();
    if (Mode != 0 || !Drawing.View)
        return;
    const std::array<bool, TQV_20Layers::Count> layers = SelectableLayers(Drawing);
    for (TGraphicObject* obj = it.First(); obj;) {
        auto* obj2D = dynamic_cast<TObject2D*>(obj);
        if (!obj2D || !Selectable(layers, *obj2D) ||
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
    // The copy is made in the source's class, but for the filled shapes, which copy as their
    // outline: a rectangle as a frame, a filled circle as a circle, a filled ellipse as an
    // ellipse (a filled ellipse can never be picked). It takes the combined transform as
    // placement.
    std::unique_ptr<TGraphicObject> made;
    if (dynamic_cast<const TRectangle2D*>(&Obj))
        made = std::make_unique<TFrame2D>(Obj.ID);
    else if (dynamic_cast<const TFilledCerchio2D*>(&Obj))
        made = std::make_unique<TCerchio2D>(Obj.ID);
    else if (dynamic_cast<const TFilledEllipse2D*>(&Obj))
        made = std::make_unique<TEllipse2D>(Obj.ID);
    if (made)
        made->Assign(Obj);
    else
        made = CopyGraphicObject(Obj);
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
