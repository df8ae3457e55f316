#pragma once
// Operations on a set of the drawing's objects that the view, the tools and the importers share:
// window selection in screen pixels, transformed copies, and the GL colour of a layer's pen. The
// drawing-wide members (transform, extents, zoom, rebuild) are declared with the drawing.
#include "QVCmp.h"

#include <array>
#include <cstdint>

// Appends to List every selectable object (Active and Visible layer; the object Visible, Enabled
// and drawn in its layer's style, so auxiliary objects never; STL surfaces never) whose screen
// rectangle, the four corners of its box mapped by the drawing's view, lies inside ScreenRect,
// edges included.
// ScreenRect may be given corner to corner in any order. Mode 0 selects; any other Mode, or a
// drawing without a view, selects nothing. List owns what it holds exactly when Extract is set,
// and then the selected objects leave the drawing for good. Raises ECADListBlocked while the
// objects are walked. A selection that takes nothing out looks only at the objects near the
// window, through the drawing's box index, when the view can map the screen back to the world.
void SelectObjectsInScreenRect(TQV_01Cmp2D& Drawing, TGraphicObjList& List, const TRect& ScreenRect,
                               uint8_t Mode, bool Extract);

// Adds to the drawing, on its current layer and with a fresh ID, a copy of Obj in its exact
// class that lies where Obj is shown through its combined transform, and returns the new ID.
// Points, lines, circles, polylines, polygons and B-splines carry the transform in their
// control points; frames, ellipses, arcs, elliptic arcs and NURBS curves keep it as their
// placement, so a rotated frame stays a rotated frame. Any other class: nothing, -1.
int32_t AddTransformedCopy(TQV_01Cmp2D& Drawing, const TObject2D& Obj);

// The layer's pen colour (0x00BBGGRR) as red, green, blue in 0..1 and alpha 1.
std::array<float, 4> GetLayerGLColor(const TQV_21Layer& Layer);
