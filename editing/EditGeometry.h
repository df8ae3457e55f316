#pragma once
// The geometry of the editing tools (fillet, trim, break, divide, join, extend and the line and
// arc constructions) on plain values in drawing coordinates, without the drawing: the tools read
// their entities into these values, ask for the result and write it back. Every routine either
// gives a result whose lines have a length and whose arcs have a radius and a sweep, or a fault
// that says why nothing can be done; none divides by a length or a determinant it has not checked.
//
// Arcs here always run counter-clockwise from Start over Sweep (0 < Sweep <= 2 pi); a full turn is
// a whole circle. Tolerances are the program's (SystemTol), read at each call.
#include "QVTypes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TIntersectArc;

// A counter-clockwise arc.
struct TEditArc {
    TVector2D Centre{0, 0};
    double Radius = 0;
    double Start = 0; // radians
    double Sweep = 0; // radians, in (0, 2 pi]
};

// A line or an arc as a tool sees it.
struct TEditShape {
    bool IsArc = false;
    TVector2D A{0, 0}, B{0, 0}; // a line's ends
    TEditArc Arc;

    static TEditShape Line(const TVector2D& A, const TVector2D& B);
    static TEditShape OfArc(const TEditArc& Arc);
};

// Why a tool cannot do what it was asked; None when it can.
enum class TEditFault : uint8_t {
    None,
    ZeroRadius,    // the radius given is 0 or below
    Degenerate,    // a line of no length or an arc of no radius was picked
    Parallel,      // two parallel lines never meet
    PickOnEntity,  // a pick lies on the other entity, so it chooses no side
    NoCentre,      // no circle of that radius touches both entities on the picked sides
    NoCrossing,    // the entities do not cross
    TooShort,      // the result would have no length (or no sweep)
    NotCollinear,  // two lines to join do not lie on one straight line
    NotConcentric, // two arcs to join are not on one circle
    FullCircle,    // a full circle cannot be lengthened
    Closed,        // a closed polyline has no end
    ZeroLength,    // the length given is 0
    Concentric,    // concentric circles have no common tangent through both
    NoTangent,     // one circle lies inside the other
    PickAtCentre,  // a point at an arc's centre gives no direction
};

// The language key of the fault's message (section String).
const char* EditFaultKey(TEditFault Fault);

// ---- helpers on arcs ----

TVector2D ArcPoint(const TEditArc& Arc, double Angle);
TVector2D ArcStartPoint(const TEditArc& Arc);
TVector2D ArcEndPoint(const TEditArc& Arc);
bool IsFullCircle(const TEditArc& Arc);
// The counter-clockwise arc about Centre from the direction of S to that of E (a full turn when
// they are one direction, as the intersections take it).
TEditArc ArcFromEnds(const TVector2D& Centre, double Radius, const TVector2D& S, const TVector2D& E);
// The arc as the intersections take it.
TIntersectArc AsIntersectArc(const TEditArc& Arc);
// The counter-clockwise angle from the arc's start to the direction of P, in [0, 2 pi).
double AngleFromStart(const TEditArc& Arc, const TVector2D& P);
// An arc's length; a line's.
double ShapeLength(const TEditShape& Shape);

// ---- fillet and trim ----

// The two entities after the edit (unchanged where the edit leaves them) and, for the fillet, the
// fillet arc or, in construction, the full circle.
struct TCornerResult {
    TEditFault Fault = TEditFault::None;
    TEditShape First, Second;
    bool FirstChanged = false, SecondChanged = false;
    TEditArc Arc;
};

// Rounds the corner of First and Second with an arc of Radius on the sides of the picks; with
// Construct, the full circle of Radius tangent to both instead, the entities left as they are.
// A full circle is never cut open: one tangent point does not say which part stays.
TCornerResult Fillet(const TEditShape& First, const TEditShape& Second, const TVector2D& Pick1,
                     const TVector2D& Pick2, double Radius, bool Construct);
// Cuts or extends both entities at their meeting point, each keeping its picked side.
TCornerResult Trim(const TEditShape& First, const TEditShape& Second, const TVector2D& Pick1,
                   const TVector2D& Pick2);

// The end of segment AB that moves to T: the part on the pick's side of Side (a point of the line:
// the cut point, or a fillet's corner) stays.
void MoveLineEnd(TVector2D& A, TVector2D& B, const TVector2D& T, const TVector2D& Pick,
                 const TVector2D& Side);

// ---- break ----

// The points where two shapes cross (ends shared by both left out), in no particular order.
std::vector<TVector2D> ShapeCrossings(const TEditShape& S1, const TEditShape& S2);
// The pieces of Shape cut at Cuts (points on it): in order along it, none of no length. A full
// circle is cut at its angle-0 point too.
std::vector<TEditShape> CutShape(const TEditShape& Shape, const std::vector<TVector2D>& Cuts);

// A polyline in world points, cut at the points where it crosses another one.
struct TPolylineCut {
    int32_t Segment = 0;   // the index of the vertex that starts the cut segment
    double Distance = 0;   // from that vertex
    TVector2D Point{0, 0}; // the cut point
};
// The crossings of polylines P and Q segment by segment, as cuts of each (sorted along them).
void CrossPolylines(const std::vector<TVector2D>& P, const std::vector<TVector2D>& Q,
                    std::vector<TPolylineCut>& CutsP, std::vector<TPolylineCut>& CutsQ);
// Polyline P cut at its sorted cuts: the pieces, each of at least two distinct points.
std::vector<std::vector<TVector2D>> CutPolyline(const std::vector<TVector2D>& P,
                                                const std::vector<TPolylineCut>& Cuts);

// ---- divide, join, extend ----

// The two halves: a line's first half runs from A to the midpoint; an arc's from its start.
std::pair<TEditShape, TEditShape> Divide(const TEditShape& Shape);
// The one line over two collinear lines, or the one arc over two arcs of one circle (the smaller
// arc that covers both, whichever is picked first); a gap between them is bridged.
struct TJoinResult {
    TEditFault Fault = TEditFault::None;
    TEditShape Joined;
};
TJoinResult Join(const TEditShape& S1, const TEditShape& S2);
// Lengthens the shape by Length (negative shortens) at the end nearer the pick (the first end on
// a tie). An arc grows at most to a full circle; a line may pass its other end and turn round.
struct TExtendResult {
    TEditFault Fault = TEditFault::None;
    TEditShape Shape;
};
TExtendResult Extend(const TEditShape& Shape, double Length, const TVector2D& Pick);
// The end point of a polyline moved by Length away from its neighbour; nothing when they coincide.
std::optional<TVector2D> ExtendPoint(const TVector2D& End, const TVector2D& Neighbour, double Length);

// ---- constructions ----

struct TConstructResult {
    TEditFault Fault = TEditFault::None;
    TEditShape Shape;
};
// The line from S to its foot on the line's infinite line, or to the nearest point of the arc's
// circle.
TConstructResult PerpendicularLine(const TEditShape& To, const TVector2D& S);
// The full circle about S that touches the line (infinite) or the arc's circle.
TConstructResult TouchingCircle(const TEditShape& To, const TVector2D& S);
// The tangent of two circles whose touch points lie nearest the picks.
TConstructResult TangentLine2Circles(const TEditArc& C1, const TEditArc& C2, const TVector2D& Pick1,
                                     const TVector2D& Pick2);
// The line of Length in direction Degrees that touches the circle on the side of the pick.
TConstructResult TangentLineAtAngle(const TEditArc& Circle, double Length, double Degrees,
                                    const TVector2D& Pick);
