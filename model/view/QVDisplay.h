#pragma once
// The helpers the entities' display code shares: the line style, world points into scene nodes and onto the overlay canvas.
//
// Every display mapping goes through the object's combined transform (GetModelTransform); a
// child of a container or block is given the composed placement for the length of its build or
// overlay, so it is shown where it is picked.
#include "QVMatrix.h"
#include "QVTypes.h"
#include "SceneNodes.h"
#include "SceneViewer.h"

#include <span>

class TGraphicObject;
class TObject2D;
class TPointsSet2D;

// World point to viewer pixels through the program's view (DrawingView); the origin without one.
TPoint ViewWorldToScreen(const TPoint2D& p);

// Colour and width of an entity's lines.
struct TLineStyle {
    TSceneColor Color;
    float Width = 1;
};

// The pen colour of the object's layer, opaque (GetLayerGLColor). Without a drawing, black.
TSceneColor LayerSceneColor(const TGraphicObject& obj);
// The layer's pen: colour (opaque) and width.
TLineStyle LayerLineStyle(const TGraphicObject& obj);
// The layer's pen when UseLayerStyle, else the own colour and line width.
TLineStyle EntityLineStyle(const TObject2D& obj);

// A point through M, made cartesian.
TPoint2D MapPoint(const TMatrix4& m, const TPoint2D& p);

// A new line strip in Group through the points mapped by M (node markers hidden).
TLineStrip* AddLineStrip(TSceneGroup& group, std::span<const TPoint2D> points, const TMatrix4& m,
                         const TLineStyle& style);

// A new blended filled polygon in Group through the points mapped by M.
TPolygonNode* AddFilledPolygon(TSceneGroup& group, std::span<const TPoint2D> points, const TMatrix4& m,
                               const TSceneColor& color);
// The layer's pen (opaque) when UseLayerStyle, else the own colour at that opacity.
TSceneColor FillColor(const TObject2D& obj, float ownAlpha);
// The matrix of an overlay drawn through M: M first, then the object's transform.
TMatrix4 OverlayMatrix(const TObject2D& obj, const TMatrix4& m);

// The points mapped by M, then to the screen, as one polyline with the canvas's pen.
void DrawWorldPolyline(TCanvas2D& canvas, std::span<const TPoint2D> points, const TMatrix4& m);
// A 7 x 7 pixel square outline on each point mapped by M.
void DrawPointMarkers(TCanvas2D& canvas, std::span<const TPoint2D> points, const TMatrix4& m);
// The smallest screen rectangle holding the points mapped by M; all zero when empty.
TRect ScreenRectOf(std::span<const TPoint2D> points, const TMatrix4& m);
// The four corners of the box P0-P1 (P0, (P0.X, P1.Y), P1, (P1.X, P0.Y)) and P0 again.
std::array<TPoint2D, 5> BoxOutline(const TPoint2D& p0, const TPoint2D& p1);
