#pragma once
// Geometry of DXF entities that the drawing objects do not hold as such: the plane a 2D entity
// lies in (its extrusion direction) seen from above, the curve through a spline's fit points,
// and the points of a circle or ellipse drawn in a tilted plane.
#include "QVMatrix.h"
#include "QVTypes.h"

#include <vector>

// The object coordinate system of a 2D entity (CIRCLE, ARC, TEXT, INSERT, SOLID, TRACE, 2D
// POLYLINE, LWPOLYLINE), built from its extrusion direction by the arbitrary-axis rule, and
// projected onto the world's XY plane.
class TDXFPlane {
public:
    // The world plane: coordinates are taken as they stand.
    TDXFPlane() = default;
    // A zero normal means the world plane.
    explicit TDXFPlane(const TVector3D& Normal);

    // The normal is +Z (within 1e-9): nothing to map.
    bool IsWorld() const { return World; }
    // The normal is +Z or -Z: a mirror at most, so circles stay circles.
    bool IsFlat() const { return Flat; }
    // The normal is -Z: X is mirrored.
    bool IsMirrored() const { return Flat && !World; }
    const TVector3D& Normal() const { return N; }

    // The world XY of the entity's point (X, Y) at elevation Z.
    TPoint2D ToWorld(double X, double Y, double Z = 0) const;
    TPoint2D ToWorld(const TPoint2D& P, double Z = 0) const { return ToWorld(P.X, P.Y, Z); }
    // The same as a transform for objects built in the entity's coordinates.
    TMatrix4 Matrix(double Z = 0) const;

private:
    TVector3D N{0, 0, 1}, AX{1, 0, 0}, AY{0, 1, 0};
    bool World = true;
    bool Flat = true;
};

// A smooth curve through the points: a cubic spline over chord lengths, with free ends or ends
// along the given tangents (a zero tangent leaves that end free); when Closed, it runs on
// smoothly through the first point again. Steps points per span after the first point.
std::vector<TPoint2D> FitPointCurve(const std::vector<TPoint2D>& Points, const TVector2D& StartTangent,
                                    const TVector2D& EndTangent, bool Closed, int Steps);

// Segments + 1 points of C + cos(t) U + sin(t) V for t from T0 to T1: an ellipse (or circle) in
// a plane seen at a slant.
std::vector<TPoint2D> ConicPoints(const TPoint2D& C, const TVector2D& U, const TVector2D& V, double T0, double T1,
                                  int Segments);
