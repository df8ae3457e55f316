#pragma once
// The bridge between curves and the integer paths of the polygon-offset library: arcs are
// tessellated within ArcTolerance and coordinates are scaled to fixed-point integers. Every
// conversion between drawing units and integer units goes through ToIntCoord and FromIntCoord.
#include "QVTypes.h"
#include "QVVertice.h"

#include <polyclipping/clipper.hpp>

#include <vector>

class TACurva;

// One drawing unit is this many integer units.
inline constexpr double IntCoordScale = 10000;

// V in integer units, rounded to the nearest integer (halves to even). A value that is not
// finite or lies beyond the library's coordinate range raises ECADOutOfBound.
ClipperLib::cInt ToIntCoord(double V);
double FromIntCoord(ClipperLib::cInt I);
ClipperLib::IntPoint ToIntPoint(const TVector2D& P);

// Appends the points of the element that ends at V: its point for a line or when there is no
// previous vertex, the tessellated arc otherwise (at least one point, at most 200); nothing
// when V repeats Prev's point.
void TessellateVertex(const TAVertice& V, const TAVertice* Prev, std::vector<TVector2D>& Points);
// Path becomes the curve's tessellated points, without a last point that repeats the first,
// in reverse order when Reverse. An empty curve leaves Path as it is, and so does a coordinate
// out of range (ECADOutOfBound).
void CurveToPath(const TACurva& Curve, bool Reverse, ClipperLib::Path& Path);

// Append the path's points to Curve as line vertices. The closed form closes the path with a
// copy of its first point at the end (AppendFirst) or of its last point at the start, and fits
// arcs up to the configuration's largest arc radius when asked; the open form fits with radius
// 1000. Closed is set when the first and last points coincide. An empty path adds nothing.
void PathToClosedCurve(TACurva& Curve, const ClipperLib::Path& Path, bool FitArcs, bool AppendFirst);
void PathToOpenCurve(TACurva& Curve, const ClipperLib::Path& Path, bool FitArcs);
