// What curves and texts put into the view and onto its overlay, and the conversions of lines,
// frames and curves into polylines.
#include "QVCurves.h"
#include "QVDisplay.h"
#include "QVScene.h"
#include "QVVectText.h"

namespace {

std::span<const TPoint2D> ProfileOf(TCurve2D& curve)
{
    const TPointsSet2D* profile = curve.GetProfilePoints();
    return profile ? profile->Points() : std::span<const TPoint2D>();
}

// A new polyline through the points mapped by M.
std::unique_ptr<TPolyline2D> PolylineThrough(std::span<const TPoint2D> points, const TMatrix4& m)
{
    std::vector<TPoint2D> world;
    world.reserve(points.size());
    for (const TPoint2D& p : points)
        world.push_back(MapPoint(m, p));
    return std::make_unique<TPolyline2D>(-1, world);
}

std::unique_ptr<TPolyline2D> ProfilePolyline(TCurve2D& curve)
{
    TProfileUse use(curve);
    return PolylineThrough(ProfileOf(curve), curve.GetModelTransform());
}

}  // namespace

TLineStrip* TCurve2D::BuildProfileGL(TSceneGroup& group, const TLineStyle& style)
{
    TProfileUse use(*this);
    return AddLineStrip(group, ProfileOf(*this), GetModelTransform(), style);
}

TSceneNode* TCurve2D::BuildGLIn(TSceneGroup& group) { return BuildProfileGL(group, EntityLineStyle(*this)); }

void TCurve2D::DrawOverlay(TCanvas2D& canvas, bool showControlPoints)
{
    if (showControlPoints)
        TPrimitive2D::DrawOverlay(canvas, showControlPoints);
    TProfileUse use(*this);
    DrawWorldPolyline(canvas, ProfileOf(*this), GetModelTransform());
}

void TCurve2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    TProfileUse use(*this);
    DrawWorldPolyline(canvas, ProfileOf(*this), OverlayMatrix(*this, m));
}

TSceneNode* TFrame2D::BuildGLIn(TSceneGroup& group) { return BuildProfileGL(group, LayerLineStyle(*this)); }

TSceneNode* TFrame2D::BuildGLHighlightIn(TSceneGroup& group) { return BuildProfileGL(group, EntityLineStyle(*this)); }

TSceneNode* TCerchio2D::BuildGLHighlightIn(TSceneGroup& group) { return BuildProfileGL(group, EntityLineStyle(*this)); }

TSceneNode* TEllipse2D::BuildGLHighlightIn(TSceneGroup& group) { return BuildProfileGL(group, EntityLineStyle(*this)); }

TSceneNode* TArco2D::BuildGLHighlightIn(TSceneGroup& group) { return BuildProfileGL(group, EntityLineStyle(*this)); }

TSceneNode* TCerchio2D::BuildFilledGLIn(TSceneGroup& group)
{
    // Bracketed, so a circle that does not keep its profile fills as well.
    TProfileUse use(*this);
    auto* polygon = AddFilledPolygon(group, ProfileOf(*this), GetModelTransform(), FillColor(*this, 0.1f));
    GLObject = polygon->Handle();
    return polygon;
}

void TCerchio2D::BuildFilledGL()
{
    if (DrawingView && DrawingView->TargetGroup)
        BuildFilledGLIn(*DrawingView->TargetGroup);
}

TSceneNode* TJustifiedVectText2D::BuildGLIn(TSceneGroup& group)
{
    // Strokes take the line object's own colour and width, not the layer's pen; none of them is
    // the text's display object.
    BuildTextGL([&group](std::span<const TPoint2D> stroke) { AddLineStrip(group, stroke, IdentityMatrix, {}); });
    return nullptr;
}

void TJustifiedVectText2D::DrawOverlay(TCanvas2D& canvas, bool showControlPoints)
{
    if (showControlPoints)
        TPrimitive2D::DrawOverlay(canvas, showControlPoints);
    // The text box is in the text's own space: its corners go through the transform once.
    const TRect2D box = GetTextBox();
    DrawWorldPolyline(canvas, BoxOutline(box.First, box.Second), GetModelTransform());
}

void TJustifiedVectText2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    if (Points().Count() < 2)
        return;
    DrawWorldPolyline(canvas, BoxOutline(Points().Get(0), Points().Get(1)), OverlayMatrix(*this, m));
}

std::unique_ptr<TPolyline2D> LineToPolyline(const TLine2D& line)
{
    auto poly = PolylineThrough(line.Points().Points(), line.GetModelTransform());
    poly->Layer = line.Layer;
    return poly;
}

std::unique_ptr<TPolyline2D> FrameToPolyline(const TFrame2D& frame)
{
    if (frame.Points().Count() < 2)
        return std::make_unique<TPolyline2D>(-1);
    const auto outline = BoxOutline(CartesianPoint2D(frame.Points().Get(0)), CartesianPoint2D(frame.Points().Get(1)));
    auto poly = PolylineThrough(outline, frame.GetModelTransform());
    poly->Layer = frame.Layer;
    return poly;
}

std::unique_ptr<TPolyline2D> CurveToPolyline(TCurve2D& curve)
{
    auto poly = ProfilePolyline(curve);
    poly->Layer = curve.Layer;
    return poly;
}

std::unique_ptr<TPolyline2D> CurveProfileToPolyline(TCurve2D& curve) { return ProfilePolyline(curve); }

TPolyline2D* PrimitiveToPolyline(TPrimitive2D& prim, std::unique_ptr<TPolyline2D>& created)
{
    created.reset();
    if (auto* line = dynamic_cast<TLine2D*>(&prim))
        created = LineToPolyline(*line);
    else if (auto* frame = dynamic_cast<TFrame2D*>(&prim))
        created = FrameToPolyline(*frame);
    else if (auto* poly = dynamic_cast<TPolyline2D*>(&prim))
        return poly;
    else if (auto* curve = dynamic_cast<TCurve2D*>(&prim))
        created = CurveToPolyline(*curve);
    return created.get();
}
