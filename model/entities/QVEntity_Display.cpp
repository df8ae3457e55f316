// What points, lines, polylines and polygons put into the view and onto its overlay.
#include "QVCurves.h"
#include "QVDisplay.h"
#include "QVEntity.h"

namespace {

std::span<const TPoint2D> ControlPoints(const TPrimitive2D& prim) { return prim.Points().Points(); }

// The scene points of a primitive: its control points through its combined transform.
TLineStrip* ControlPointStrip(TPrimitive2D& prim, TSceneGroup& group)
{
    return AddLineStrip(group, ControlPoints(prim), prim.GetModelTransform(), EntityLineStyle(prim));
}

// Markers when asked, and the control points as an open line.
void DrawMarkersAndLine(const TPrimitive2D& prim, TCanvas2D& canvas, bool showControlPoints)
{
    const TMatrix4 m = prim.GetModelTransform();
    if (showControlPoints)
        DrawPointMarkers(canvas, ControlPoints(prim), m);
    DrawWorldPolyline(canvas, ControlPoints(prim), m);
}

// A cross of two 11-pixel lines on the point.
void DrawCross(TCanvas2D& canvas, const TPoint2D& world)
{
    const TPoint s = ViewWorldToScreen(world);
    canvas.Line(s.X - 5, s.Y, s.X + 5, s.Y);
    canvas.Line(s.X, s.Y - 5, s.X, s.Y + 5);
}

}  // namespace

void TPrimitive2D::DrawOverlay(TCanvas2D& canvas, bool)
{
    DrawPointMarkers(canvas, ControlPoints(*this), GetModelTransform());
}

TRect TPrimitive2D::GetScreenRect() const { return ScreenRectOf(ControlPoints(*this), GetModelTransform()); }

TSceneNode* TPunto2D::BuildGLIn(TSceneGroup& group)
{
    if (Points().Count() < 1)
        return nullptr;
    auto* cloud = group.Add<TPointCloud>();
    const TPoint2D p = MapPoint(GetModelTransform(), Points().Get(0));
    cloud->AddPoint(p.X, p.Y, 0);
    cloud->SetPointSize(5);
    cloud->SetSmooth(true);
    cloud->SetColor(LayerSceneColor(*this));
    return cloud;
}

TSceneNode* TPunto2D::BuildGLHighlightIn(TSceneGroup& group) { return BuildGLIn(group); }

void TPunto2D::DrawOverlay(TCanvas2D& canvas, bool)
{
    if (Points().Count() >= 1)
        DrawCross(canvas, MapPoint(GetModelTransform(), Points().Get(0)));
}

void TPunto2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    if (Points().Count() >= 1)
        DrawCross(canvas, MapPoint(OverlayMatrix(*this, m), Points().Get(0)));
}

TSceneNode* TLine2D::BuildGLIn(TSceneGroup& group) { return ControlPointStrip(*this, group); }

TSceneNode* TLine2D::BuildGLHighlightIn(TSceneGroup& group) { return ControlPointStrip(*this, group); }

void TLine2D::DrawOverlay(TCanvas2D& canvas, bool showControlPoints)
{
    DrawMarkersAndLine(*this, canvas, showControlPoints);
    // A line being drawn or dragged shows its length and angle on the property panel.
    if (LiveInfoPanel && LiveInfoPanel->LiveInfo() && Points().Count() >= 2)
        LiveInfoPanel->ShowSegmentInfo(Points().Get(0), Points().Get(1));
}

void TLine2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    DrawWorldPolyline(canvas, ControlPoints(*this), OverlayMatrix(*this, m));
}

TSceneNode* TPolyline2D::BuildGLIn(TSceneGroup& group) { return ControlPointStrip(*this, group); }

TSceneNode* TPolyline2D::BuildGLHighlightIn(TSceneGroup& group) { return ControlPointStrip(*this, group); }

void TPolyline2D::DrawOverlay(TCanvas2D& canvas, bool showControlPoints)
{
    DrawMarkersAndLine(*this, canvas, showControlPoints);
}

void TPolyline2D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    DrawWorldPolyline(canvas, ControlPoints(*this), OverlayMatrix(*this, m));
}

TSceneNode* TPolygon2D::BuildGLIn(TSceneGroup& group)
{
    return AddFilledPolygon(group, ControlPoints(*this), GetModelTransform(), FillColor(*this, 0.5f));
}
