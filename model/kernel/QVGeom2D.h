#pragma once
// The drawing core's own 2D kernel: boxes and clip codes, screen points, 2D transforms and arc
// angles, polyline bulge arcs, and the pick tests that every entity's hit test rests on.
#include "QVMatrix.h"
#include "QVTypes.h"

#include <span>
#include <vector>

// Distance a failed pick test reports.
inline constexpr double NoHitDistance = 1e8;

// Pick codes of the hit tests; a control point's index (0 or more) ranks above them all.
inline constexpr int32_t HitMiss = -200;
inline constexpr int32_t HitInsideBox = -100;
inline constexpr int32_t HitOutline = -1;
inline constexpr int32_t HitInside = -2;

// A polyline segment with a bulge, as the DXF reader hands it over.
struct TBulgeSegment {
    double X1 = 0, Y1 = 0, X2 = 0, Y2 = 0, Bulge = 0;
};

// The cartesian box grown by Margin on every side.
TRect2D InflateRect2D(const TRect2D& R, double Margin);
// 0 inside (edges included); 1 left, 4 right; plus 2 below, 8 above. Coordinates as stored.
int PointClipCode2D(const TRect2D& R, const TPoint2D& P);
bool IsPointInRect2D(const TPoint2D& P, const TRect2D& R);
// Both corners of A within B, edges included.
bool ScreenRectInside(const TRect& A, const TRect& B);
double Distance2D(const TPoint2D& P1, const TPoint2D& P2);
double RadiansToDegrees(double A);
// Cartesian X and Y rounded through single precision to the nearest integer (half to even);
// values beyond the integer range are clamped and NaN gives 0.
TPoint Point2DToPoint(const TPoint2D& P);
TPoint2D TransformPoint2D(const TPoint2D& P, const TTransform2D& T);
// The arc's start and end angles after M (radians, -pi to pi).
void TransformArcAngles(const TPoint2D& Centre, const TMatrix4& M, double& StartAngle, double& EndAngle,
                        double Radius);
// Counter-clockwise rotation by Angle radians.
TTransform2D Rotate2D(double Angle);
// Index of the smallest value, the first of equal minima; 0 for an empty list.
int MinValueIndex(const std::vector<double>& Values);

// Direction 3 counter-clockwise (positive bulge: angles of P1 then P2), 2 clockwise (the angles
// exchanged). False for a bulge of 0 within SystemTol.
bool BulgeToArc(const TBulgeSegment& Segment, TVector2D& Centre, double& Radius, double& StartAngle,
                double& EndAngle, int& Direction);
// Appends 51 points of the bulge arc running from (X1, Y1) to (X2, Y2); for a straight segment
// its two ends.
void BulgeArcToPoints(const TBulgeSegment& Segment, std::vector<TVector2D>& List);

// Perpendicular distance to segment AB when the foot falls on it; otherwise false and
// Dist = NoHitDistance.
bool PointSegmentDistance(const TPoint2D& P, const TPoint2D& A, const TPoint2D& B, double& Dist);
// P within the square of half-width Aperture around P0; Dist the Euclidean distance.
bool NearPoint2D(const TPoint2D& P0, const TPoint2D& P, double& Dist, double Aperture);
// HitOutline when Pt is within Aperture of a segment of the points under M, else HitMiss.
int32_t PolylineHitTest(std::span<const TPoint2D> Points, const TPoint2D& Pt, bool Closed, const TMatrix4& M,
                        double Aperture, double& Dist);
// The points as a closed outline: HitOutline near an edge, HitInside within, else HitMiss.
int32_t PointInPolygonHitTest(std::span<const TPoint2D> Points, const TPoint2D& Pt, const TMatrix4& M,
                              double Aperture, double& Dist);
