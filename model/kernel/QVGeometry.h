#pragma once
// The plane-geometry library: tolerant comparisons, distances, angles and sweeps, lines and
// sides, arc discretisation, nearest points and boxes. Free functions on value records; the
// editing tools, curves, chains and entities rely on the exact formulas and tie-breaks here.
//
// Angles are radians, counter-clockwise from +X. The 2D cross product a x b = a.X*b.Y - a.Y*b.X
// is positive when b turns counter-clockwise from a. Tolerances are read at every call
// (QVVariabili.h), so a change of unit takes effect at once.
#include "QVMatrix.h"
#include "QVTypes.h"
#include "QVVertice.h"

#include <vector>

// Tolerant comparisons: SystemTol unless a tolerance is given; both bounds included.
bool IsEqualTol(double V1, double V2, double Tol);
bool IsEqual(double V1, double V2);
bool IsDifferentTol(double V1, double V2, double Tol);
bool IsDifferent(double V1, double V2);
bool IsGreaterOrEqual(double V1, double V2);
// A square window of half-width SystemTol on each axis, not a distance.
bool IsSamePoint(const TVector2D& A, const TVector2D& B);
bool IsSamePointTol(const TVector2D& A, const TVector2D& B, double Tol);
bool IsSamePoint2D(const TPoint2D& A, const TPoint2D& B);
// Twice the triangle's area against ChainTol, not a distance.
bool IsCollinear(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3);
// -1 strictly inside, 0 on the circle (squares within SystemTol), 1 outside.
int CircleSide(const TVector2D& C, const TVector2D& P, double Radius);

double DistanceXY(double X1, double Y1, double X2, double Y2);
double SqrDistanceXY(double X1, double Y1, double X2, double Y2);
double VectorDistance2D(const TVector2D& A, const TVector2D& B);
double PointDistanceXY(const TPoint2D& A, const TPoint2D& B); // W ignored
double VectorDistance3D(const TVector3D& A, const TVector3D& B);
double DotProduct2D(const TVector2D& A, const TVector2D& B);
double CrossProduct2D(const TVector2D& A, const TVector2D& B);
double AngleBetween(const TVector2D& A, const TVector2D& B); // in [0, pi]
TVector2D ScaleVector2D(const TVector2D& V, double S);
TVector2D PerpLeft(const TVector2D& V);
TVector2D MidPoint(const TVector2D& A, const TVector2D& B);
TPoint2D VectorToPoint2D(const TVector2D& V);
// 1..4 with the positive X axis in 1, +Y in 2, -X in 3, -Y in 4; 0 only at the origin.
int Quadrant(double X, double Y);
// Index of the point farthest from P (the first on ties, 0 when all coincide with P); P becomes
// that point. Points must not be empty.
int FarthestPoint(TVector2D& P, const std::vector<TVector2D>& Points);

double PointsAngle(const TVector2D& A, const TVector2D& B);       // [0, 2pi)
double PointsAngleSigned(const TVector2D& A, const TVector2D& B); // (-pi, pi]
double ArcTanXY(double X, double Y);
// Sweep in the arc's direction (1 counter-clockwise, -1 clockwise): equal angles are a full turn.
double ArcSweep(int Dir, double StartAngle, double EndAngle);
double ArcSweepCW(bool Clockwise, double StartAngle, double EndAngle);

// A*x + B*y + C = 0 through both points, not normalised.
void LineEquation(const TVector2D& P1, const TVector2D& P2, double& A, double& B, double& C);
// Signed: negative on the left of P1->P2 of the line's equation.
double LineDistance(const TVector2D& P, double A, double B, double C);
TVector2D LineProjection(const TVector2D& P, double A, double B, double C);
bool IsProjectionInside(const TVector2D& A, const TVector2D& B, const TVector2D& P);
TVector2D NearestOnSegment(const TVector2D& A, const TVector2D& B, const TVector2D& P);
void NearestOnSegmentXY(double AX, double AY, double BX, double BY, double PX, double PY, double& X,
                        double& Y);
// Foot of the perpendicular on the infinite line AB; A when A and B coincide.
void ProjectOnLineXY(double AX, double AY, double BX, double BY, double PX, double PY, double& X, double& Y);
// The point at distance Dist from B towards A; B when A and B coincide.
TVector2D PointAtDistance(const TVector2D& A, const TVector2D& B, double Dist);
// Both ends moved by Dist to the left of P1->P2; unmoved when P1 and P2 coincide.
void OffsetSegment(const TVector2D& P1, const TVector2D& P2, double Dist, TVector2D& Q1, TVector2D& Q2);
// Dir >= 0: P on the right of A->B or on it; Dir < 0: on the left or on it.
bool IsOnSide(const TVector2D& A, const TVector2D& B, const TVector2D& P, int Dir);
bool IsRightOf(const TPoint2D& P, const TPoint2D& A, const TPoint2D& B);
bool IsRightOfV(const TVector2D& P, const TVector2D& A, const TVector2D& B);
// Ortho drawing: P keeps its larger offset from Ref and takes Ref's other coordinate.
void OrthoPoint(const TPoint2D& Ref, TPoint2D& P);

// The arc from StartPt to EndPt as at most 200 points within the chord tolerance SimulTol; the
// start point is left out, the last point is the start turned by the whole sweep. Equal start
// and end give one point. Always at least one point, whatever the input.
void ArcToPoints2D(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt, bool Clockwise,
                   TArrayOfPoint2d& Points);
void ArcToPoints2DTol(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt,
                      bool Clockwise, double Tol, TArrayOfPoint2d& Points);
// Nearest point of the counter-clockwise arc from StartPt to EndPt (the chord-side rule).
TVector2D NearestOnArc(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt,
                       const TVector2D& P);
// Direction of travel at P along the element that ends at Cur; not normalised.
TVector2D VertexTangent(const TVector2D& P, const TAVertice& Prev, const TAVertice& Cur);

TRect2D MakeRect2D(double X1, double Y1, double X2, double Y2);
TRect3D MakeRect3D(double X1, double Y1, double Z1, double X2, double Y2, double Z2);
TRect2D CartesianRect2D(const TRect2D& R);
TRect3D CartesianRect3D(const TRect3D& R);
TRect2D NormalizeRect2D(const TRect2D& R);
TRect3D NormalizeRect3D(const TRect3D& R);
TRect2D TransformRectCorners2D(const TRect2D& R, const TMatrix4& M);
TRect3D TransformRectCorners3D(const TRect3D& R, const TMatrix4& M);
// The normalised box of all transformed corners.
TRect2D TransformRect2D(const TRect2D& R, const TMatrix4& M);
TRect3D TransformRect3D(const TRect3D& R, const TMatrix4& M);
TRect2D UnionRect2D(const TRect2D& A, const TRect2D& B);
TRect3D UnionRect3D(const TRect3D& A, const TRect3D& B);
