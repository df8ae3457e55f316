#pragma once
// Intersections of segments, infinite lines, arcs and full circles in drawing coordinates. The
// break, fillet, trim and offset tools depend on the order in which the results come back and on
// the tolerance of each test, so both are fixed here:
// - a line against an arc gives the point farther along P1 -> P2 first; a tangent line (distance
//   from the centre equal to the radius within SystemTol) gives the foot of the perpendicular;
// - two circles give the point left of C1 -> C2 first; tangency is judged on squared lengths,
//   after a strict test that rejects circles which miss each other by any amount;
// - arcs meeting at an end point of either do not intersect there, nor do segments sharing an
//   end point.
// An arc is taken counter-clockwise from its start to its end; a point of its circle belongs to it
// when (Q - S) x (E - S) >= 0, so an arc whose start and end coincide is its whole circle. The
// entity forms hand a clockwise arc over with its ends exchanged, so they select the points of the
// arc as it is drawn, whatever its direction or mirror.
#include "QVTypes.h"

#include <memory>
#include <vector>

class TArco2D;
class TLine2D;
class TObject2D;
class TPrimitive2D;

// An arc as its world geometry gives it: start S, end E, centre C, radius R.
struct TIntersectArc {
    TVector2D Start, End, Centre;
    double Radius = 0;
};

// Appends the 0, 1 or 2 points where the segment P1-P2 (ends included) meets the arc.
void IntersectLineArc(const TVector2D& P1, const TVector2D& P2, const TIntersectArc& Arc,
                      std::vector<TVector2D>& Points);
// The same for the infinite line through P1 and P2.
void IntersectObjectArc(const TVector2D& P1, const TVector2D& P2, const TIntersectArc& Arc,
                        std::vector<TVector2D>& Points);
// Appends the crossings of the two arcs, leaving out any that coincides with an end of either.
void IntersectArcs(const TIntersectArc& Arc1, const TIntersectArc& Arc2, std::vector<TVector2D>& Points);
// Appends the 0, 1 or 2 points shared by the two arcs' full circles.
void IntersectCircles(const TIntersectArc& Arc1, const TIntersectArc& Arc2, std::vector<TVector2D>& Points);

// 1 and the crossing point (X, Y) when segment P1P2 meets segment P3P4, else 0 (X, Y untouched).
// Segments that overlap on one line give P3 when it lies on the line of P1P2, else P4.
int SegmentIntersectionXY(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4,
                          double Y4, double& X, double& Y);
bool SegmentsIntersect(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3, const TVector2D& P4,
                       TVector2D& R);

// ---- Entities in drawing coordinates ------------------------------------------------------------

// P through Obj's combined transform when it has one, else P itself; X and Y as they come out,
// not divided by W.
TVector2D ObjectPointToWorld(const TPoint2D& P, const TObject2D& Obj);
// A new line (ID -1, no transform) through the line's first two points in drawing coordinates,
// moved by Dist to the left of its direction.
std::unique_ptr<TLine2D> OffsetLine(const TLine2D& Line, double Dist);

// The arc's world geometry with its ends ordered so that the counter-clockwise run from Start to
// End covers the arc as drawn: the ends of a clockwise arc are exchanged.
TIntersectArc IntersectArcOf(const TArco2D& Arc);
// The segment between the line's first two points, in drawing coordinates, against the arc.
void IntersectLineArc(const TLine2D& Line, const TArco2D& Arc, std::vector<TVector2D>& Points);
// The infinite line through the primitive's first two points; nothing when it has fewer.
void IntersectObjectArc(const TPrimitive2D& Obj, const TArco2D& Arc, std::vector<TVector2D>& Points);
void IntersectArcs(const TArco2D& Arc1, const TArco2D& Arc2, std::vector<TVector2D>& Points);
void IntersectCircles(const TArco2D& Arc1, const TArco2D& Arc2, std::vector<TVector2D>& Points);
// A new arc (ID -1, no transform) in drawing coordinates: the arc's centre, ends' directions and
// direction of travel, with the radius grown by Dist.
std::unique_ptr<TArco2D> OffsetArc(const TArco2D& Arc, double Dist);
