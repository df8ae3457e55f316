#include "QVDisplay.h"

#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVObject2D.h"
#include "QVScene.h"

#include <algorithm>
#include <vector>

TPoint ViewWorldToScreen(const TPoint2D& p) { return DrawingView ? DrawingView->WorldToScreen(p) : TPoint{}; }

namespace {

// The view's group of that kind made the target, or null without a view.
TSceneGroup* TargetGroup(TSceneGroup* TQVScene::*group)
{
    if (!DrawingView || !(DrawingView->*group))
        return nullptr;
    DrawingView->TargetGroup = DrawingView->*group;
    return DrawingView->TargetGroup;
}

TSceneNodeHandle HandleOf(TSceneNode* node) { return node ? node->Handle() : TSceneNodeHandle(); }

}  // namespace

void TGraphicObject::BuildGL()
{
    if (TSceneGroup* group = TargetGroup(&TQVScene::DrawingGroup))
        GLObject = HandleOf(BuildGLIn(*group));
}

void TGraphicObject::BuildGLHighlight()
{
    // An object without a highlight keeps its normal display object.
    if (TSceneGroup* group = TargetGroup(&TQVScene::HighlightGroup))
        if (TSceneNode* node = BuildGLHighlightIn(*group))
            GLObject = node->Handle();
}

TSceneColor LayerSceneColor(const TGraphicObject& obj)
{
    if (!obj.Owner)
        return {0, 0, 0, 1};
    const std::array<float, 4> c = GetLayerGLColor(obj.Owner->Layers.GetLayer(obj.Layer));
    return {c[0], c[1], c[2], c[3]};
}

TLineStyle LayerLineStyle(const TGraphicObject& obj)
{
    TLineStyle style;
    style.Color = LayerSceneColor(obj);
    if (const TQV_01Cmp* drawing = obj.Owner)
        style.Width = float(drawing->Layers.GetLayer(obj.Layer).Pen.Width());
    return style;
}

TLineStyle EntityLineStyle(const TObject2D& obj)
{
    if (obj.UseLayerStyle)
        return LayerLineStyle(obj);
    return {SceneColorFromTColor(uint32_t(obj.Color)), float(obj.LineWidth)};
}

TPoint2D MapPoint(const TMatrix4& m, const TPoint2D& p) { return CartesianPoint2D(m.TransformPoint2D(p)); }

TLineStrip* AddLineStrip(TSceneGroup& group, std::span<const TPoint2D> points, const TMatrix4& m,
                         const TLineStyle& style)
{
    auto* strip = group.Add<TLineStrip>();
    strip->Reserve(points.size());
    std::vector<TVector3f> nodes;
    nodes.reserve(points.size());
    for (const TPoint2D& p : points) {
        const TPoint2D w = MapPoint(m, p);
        nodes.push_back({float(w.X), float(w.Y), 0.0f});
    }
    strip->AddNodes(nodes);
    strip->SetNodesShown(false);
    strip->SetColor(style.Color);
    strip->SetLineWidth(style.Width);
    return strip;
}

TPolygonNode* AddFilledPolygon(TSceneGroup& group, std::span<const TPoint2D> points, const TMatrix4& m,
                               const TSceneColor& color)
{
    auto* polygon = group.Add<TPolygonNode>();
    for (const TPoint2D& p : points) {
        const TPoint2D w = MapPoint(m, p);
        polygon->AddNode(w.X, w.Y, 0);
    }
    polygon->SetBlended(true);
    polygon->SetColor(color);
    return polygon;
}

TSceneColor FillColor(const TObject2D& obj, float ownAlpha)
{
    return obj.UseLayerStyle ? LayerSceneColor(obj) : SceneColorFromTColor(uint32_t(obj.Color), ownAlpha);
}

TMatrix4 OverlayMatrix(const TObject2D& obj, const TMatrix4& m)
{
    TMatrix4 combined;
    combined.Multiply(m, obj.GetModelTransform());
    return combined;
}

void DrawWorldPolyline(TCanvas2D& canvas, std::span<const TPoint2D> points, const TMatrix4& m)
{
    std::vector<TPoint> screen;
    screen.reserve(points.size());
    for (const TPoint2D& p : points)
        screen.push_back(ViewWorldToScreen(MapPoint(m, p)));
    canvas.Polyline(screen);
}

void DrawPointMarkers(TCanvas2D& canvas, std::span<const TPoint2D> points, const TMatrix4& m)
{
    for (const TPoint2D& p : points) {
        const TPoint s = ViewWorldToScreen(MapPoint(m, p));
        const std::vector<TPoint> square{
            {s.X - 3, s.Y - 3}, {s.X + 3, s.Y - 3}, {s.X + 3, s.Y + 3}, {s.X - 3, s.Y + 3}, {s.X - 3, s.Y - 3}};
        canvas.Polyline(square);
    }
}

TRect ScreenRectOf(std::span<const TPoint2D> points, const TMatrix4& m)
{
    if (points.empty())
        return {};
    const TPoint first = ViewWorldToScreen(MapPoint(m, points.front()));
    TRect r{first.X, first.Y, first.X, first.Y};
    for (const TPoint2D& p : points.subspan(1)) {
        const TPoint s = ViewWorldToScreen(MapPoint(m, p));
        r.Left = std::min(r.Left, s.X);
        r.Top = std::min(r.Top, s.Y);
        r.Right = std::max(r.Right, s.X);
        r.Bottom = std::max(r.Bottom, s.Y);
    }
    return r;
}

std::array<TPoint2D, 5> BoxOutline(const TPoint2D& p0, const TPoint2D& p1)
{
    return {p0, TPoint2D{p0.X, p1.Y, 1}, p1, TPoint2D{p1.X, p0.Y, 1}, p0};
}
