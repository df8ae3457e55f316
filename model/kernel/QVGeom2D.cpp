#include "QVGeom2D.h"

#include "QVGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;
// A bulge arc always becomes this many points.
constexpr int BulgeArcSteps = 51;

// One coordinate of a screen point: through single precision, to the nearest integer with ties
// to even, clamped so that no conversion leaves the integer range.
int32_t RoundToScreen(double V)
{
    constexpr double Lo = std::numeric_limits<int32_t>::min();
    constexpr double Hi = std::numeric_limits<int32_t>::max();
    if (std::isnan(V))
        return 0;
    const double r = std::nearbyint(static_cast<double>(static_cast<float>(std::clamp(V, Lo, Hi))));
    if (r >= Hi)
        return std::numeric_limits<int32_t>::max();
    if (r <= Lo)
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

// Pt, and each point under M, both made cartesian as the pick tests compare them.
TPoint2D PickPoint(const TMatrix4& M, const TPoint2D& P)
{
    return CartesianPoint2D(M.TransformPoint2D(P));
}

} // namespace

TRect2D InflateRect2D(const TRect2D& R, double Margin)
{
    const TRect2D c = CartesianRect2D(R);
    return MakeRect2D(c.First.X - Margin, c.First.Y - Margin, c.Second.X + Margin, c.Second.Y + Margin);
}

int PointClipCode2D(const TRect2D& R, const TPoint2D& P)
{
    int code = 0;
    if (P.X < R.First.X)
        code = 1;
    else if (P.X > R.Second.X)
        code = 4;
    if (P.Y < R.First.Y)
        code += 2;
    else if (P.Y > R.Second.Y)
        code += 8;
    return code;
}

bool IsPointInRect2D(const TPoint2D& P, const TRect2D& R)
{
    return PointClipCode2D(R, P) == 0;
}

bool ScreenRectInside(const TRect& A, const TRect& B)
{
    auto within = [](int32_t v, int32_t lo, int32_t hi) { return v >= lo && v <= hi; };
    return within(A.Left, B.Left, B.Right) && within(A.Right, B.Left, B.Right) &&
           within(A.Top, B.Top, B.Bottom) && within(A.Bottom, B.Top, B.Bottom);
}

double Distance2D(const TPoint2D& P1, const TPoint2D& P2)
{
    return VectorLength2D(PointDelta2D(P1, P2));
}

double RadiansToDegrees(double A)
{
    return A * 180 / std::numbers::pi;
}

TPoint Point2DToPoint(const TPoint2D& P)
{
    const TPoint2D c = CartesianPoint2D(P);
    return {RoundToScreen(c.X), RoundToScreen(c.Y)};
}

TPoint2D TransformPoint2D(const TPoint2D& P, const TTransform2D& T)
{
    return {P.X * T[0] + P.Y * T[3] + P.W * T[6], P.X * T[1] + P.Y * T[4] + P.W * T[7],
            P.X * T[2] + P.Y * T[5] + P.W * T[8]};
}

void TransformArcAngles(const TPoint2D& Centre, const TMatrix4& M, double& StartAngle, double& EndAngle,
                        double Radius)
{
    const TPoint2D c = M.TransformPoint2D(Centre);
    const TPoint2D s = M.TransformPoint2D(
        MakePoint2D(Centre.X + Radius * std::cos(StartAngle), Centre.Y + Radius * std::sin(StartAngle)));
    const TPoint2D e = M.TransformPoint2D(
        MakePoint2D(Centre.X + Radius * std::cos(EndAngle), Centre.Y + Radius * std::sin(EndAngle)));
    StartAngle = std::atan2(s.Y - c.Y, s.X - c.X);
    EndAngle = std::atan2(e.Y - c.Y, e.X - c.X);
}

TTransform2D Rotate2D(double Angle)
{
    const double c = std::cos(Angle), s = std::sin(Angle);
    return {c, s, 0, -s, c, 0, 0, 0, 1};
}

int MinValueIndex(const std::vector<double>& Values)
{
    // From +inf rather than a large constant, so that lists of large values (squared distances
    // on a big drawing) still find their minimum.
    double best = std::numeric_limits<double>::infinity();
    int index = 0;
    for (size_t i = 0; i < Values.size(); ++i) {
        if (Values[i] < best) {
            best = Values[i];
            index = static_cast<int>(i);
        }
    }
    return index;
}

bool BulgeToArc(const TBulgeSegment& Segment, TVector2D& Centre, double& Radius, double& StartAngle,
                double& EndAngle, int& Direction)
{
    const TBulgeSegment& s = Segment;
    if (IsEqual(s.Bulge, 0))
        return false;
    const double k = (1 / s.Bulge - s.Bulge) * 0.5;
    Centre = {((s.X1 + s.X2) - (s.Y2 - s.Y1) * k) / 2, ((s.Y1 + s.Y2) + (s.X2 - s.X1) * k) / 2};
    Radius = DistanceXY(s.X1, s.Y1, Centre.X, Centre.Y);
    const double a1 = PointsAngleSigned(Centre, {s.X1, s.Y1});
    const double a2 = PointsAngleSigned(Centre, {s.X2, s.Y2});
    if (s.Bulge > 0) {
        Direction = 3;
        StartAngle = a1;
        EndAngle = a2;
    } else {
        Direction = 2;
        StartAngle = a2;
        EndAngle = a1;
    }
    return true;
}

void BulgeArcToPoints(const TBulgeSegment& Segment, std::vector<TVector2D>& List)
{
    TVector2D c;
    double r, start, end;
    int direction;
    if (!BulgeToArc(Segment, c, r, start, end, direction)) {
        List.push_back({Segment.X1, Segment.Y1});
        List.push_back({Segment.X2, Segment.Y2});
        return;
    }
    const double step = (start < end ? end - start : TwoPi - start + end) / BulgeArcSteps;
    // Counter-clockwise from the start angle, or clockwise from the end angle: either way from
    // (X1, Y1) towards (X2, Y2). The last step is two steps long.
    const bool ccw = Segment.Bulge > 0;
    const double from = ccw ? start : end;
    const double delta = ccw ? step : -step;
    for (int i = 0; i < BulgeArcSteps - 1; ++i) {
        const double a = from + i * delta;
        List.push_back({c.X + r * std::cos(a), c.Y + r * std::sin(a)});
    }
    const double last = ccw ? end : start;
    List.push_back({c.X + r * std::cos(last), c.Y + r * std::sin(last)});
}

bool PointSegmentDistance(const TPoint2D& P, const TPoint2D& A, const TPoint2D& B, double& Dist)
{
    Dist = NoHitDistance;
    const double dx = B.X - A.X, dy = B.Y - A.Y;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len == 0)
        return false;
    const double t = ((P.X - A.X) * dx + (P.Y - A.Y) * dy) / (len * len);
    if (t < 0 || t > 1)
        return false;
    Dist = std::fabs((A.Y - P.Y) * dx - (A.X - P.X) * dy) / len;
    return true;
}

bool NearPoint2D(const TPoint2D& P0, const TPoint2D& P, double& Dist, double Aperture)
{
    const TPoint2D c = CartesianPoint2D(P0);
    const TPoint2D p = CartesianPoint2D(P);
    const TRect2D box = MakeRect2D(c.X - Aperture, c.Y - Aperture, c.X + Aperture, c.Y + Aperture);
    if (PointClipCode2D(box, p) != 0) {
        Dist = NoHitDistance;
        return false;
    }
    Dist = DistanceXY(c.X, c.Y, p.X, p.Y);
    return true;
}

int32_t PolylineHitTest(std::span<const TPoint2D> Points, const TPoint2D& Pt, bool Closed, const TMatrix4& M,
                        double Aperture, double& Dist)
{
    int32_t result = HitMiss;
    Dist = NoHitDistance;
    if (Points.empty())
        return result;
    double best = Aperture;
    const TPoint2D pt = CartesianPoint2D(Pt);
    TPoint2D prev = PickPoint(M, Points[0]);
    const size_t segments = Closed ? Points.size() : Points.size() - 1;
    for (size_t i = 1; i <= segments; ++i) {
        const TPoint2D next = PickPoint(M, Points[i % Points.size()]);
        double d;
        if (PointSegmentDistance(pt, prev, next, d) && d <= best) {
            result = HitOutline;
            Dist = best = d;
        }
        prev = next;
    }
    return result;
}

int32_t PointInPolygonHitTest(std::span<const TPoint2D> Points, const TPoint2D& Pt, const TMatrix4& M,
                              double Aperture, double& Dist)
{
    int32_t result = HitMiss;
    Dist = Aperture;
    if (Points.empty())
        return result;
    int crossings = 0;
    const TPoint2D pt = CartesianPoint2D(Pt);
    TPoint2D a = PickPoint(M, Points[0]);
    for (size_t i = 1; i <= Points.size(); ++i) {
        const TPoint2D b = PickPoint(M, Points[i % Points.size()]);
        double d;
        if (PointSegmentDistance(pt, a, b, d) && d <= Dist) {
            Dist = d;
            if (d < Aperture)
                result = HitOutline;
        } else if ((pt.Y >= a.Y && pt.Y < b.Y) || (pt.Y >= b.Y && pt.Y < a.Y)) {
            if (pt.X <= a.X + (pt.Y - a.Y) * (b.X - a.X) / (b.Y - a.Y))
                ++crossings;
        }
        a = b;
    }
    if (result != HitMiss)
        return result;
    if (crossings % 2) {
        Dist = Aperture;
        return HitInside;
    }
    Dist = NoHitDistance;
    return HitMiss;
}
