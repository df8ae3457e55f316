#include "QVIntersect.h"

#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVVariabili.h"

#include <algorithm>
#include <cmath>

namespace {

// The chord-side rule: Q is on the counter-clockwise arc from S to E.
bool OnArcSide(const TVector2D& Q, const TVector2D& S, const TVector2D& E)
{
    return CrossProduct2D(SubVector2D(Q, S), SubVector2D(E, S)) >= 0;
}

void IntersectLineWithArc(const TVector2D& P1, const TVector2D& P2, const TIntersectArc& Arc,
                          bool SegmentOnly, std::vector<TVector2D>& Points)
{
    // A frame with the centre at the origin and the line along +X: the line is y = h.
    const double alpha = PointsAngleSigned(P1, P2);
    const TVector2D& c = Arc.Centre;
    const TVector2D s = RotateVector2D(SubVector2D(Arc.Start, c), -alpha);
    const TVector2D e = RotateVector2D(SubVector2D(Arc.End, c), -alpha);
    const TVector2D p1 = RotateVector2D(SubVector2D(P1, c), -alpha);
    const TVector2D p2 = RotateVector2D(SubVector2D(P2, c), -alpha);
    const double h = p1.Y;
    const double r = Arc.Radius;

    TVector2D candidates[2];
    int n = 0;
    if (IsEqual(std::fabs(h), r)) {
        candidates[n++] = {0, h};
    } else if (std::fabs(h) < r) {
        const double k = std::sqrt(r * r - h * h);
        candidates[n++] = {k, h};
        candidates[n++] = {-k, h};
    }
    for (int i = 0; i < n; ++i) {
        const TVector2D& q = candidates[i];
        if (!OnArcSide(q, s, e))
            continue;
        if (SegmentOnly && !IsProjectionInside(p1, p2, q))
            continue;
        Points.push_back(AddVector2D(RotateVector2D(q, alpha), c));
    }
}

// The candidates of two circles in their fixed order; returns how many.
int CircleCandidates(const TIntersectArc& Arc1, const TIntersectArc& Arc2, TVector2D (&Out)[2])
{
    const TVector2D& c1 = Arc1.Centre;
    const TVector2D d = SubVector2D(Arc2.Centre, c1);
    const double r1 = Arc1.Radius, r2 = Arc2.Radius;
    const double d2 = d.X * d.X + d.Y * d.Y;
    const double rs = (r1 + r2) * (r1 + r2);
    const double rd = (r1 - r2) * (r1 - r2);

    // Strict first: circles that miss each other by a hair report nothing.
    if (d2 > rs || d2 < rd)
        return 0;
    if (IsEqual(d2, rs)) {
        Out[0] = AddVector2D(c1, ScaleVector2D(d, r1 / (r1 + r2)));
        return 1;
    }
    if (IsEqual(d2, rd)) {
        if (IsEqual(0, rd))
            return 0; // the same circle twice
        Out[0] = AddVector2D(c1, ScaleVector2D(d, r1 / (r1 - r2)));
        return 1;
    }
    const double dist = std::sqrt(d2);
    const double theta = std::atan2(d.Y, d.X);
    const double a = (dist + (r1 * r1 - r2 * r2) / dist) * 0.5;
    // Rounding can push a past r1 near tangency; a negative square root would give NaN points.
    const double b = std::sqrt(std::max(0.0, r1 * r1 - a * a));
    Out[0] = AddVector2D(c1, RotateVector2D({a, b}, theta));
    Out[1] = AddVector2D(c1, RotateVector2D({a, -b}, theta));
    return 2;
}

} // namespace

void IntersectLineArc(const TVector2D& P1, const TVector2D& P2, const TIntersectArc& Arc,
                      std::vector<TVector2D>& Points)
{
    IntersectLineWithArc(P1, P2, Arc, true, Points);
}

void IntersectObjectArc(const TVector2D& P1, const TVector2D& P2, const TIntersectArc& Arc,
                        std::vector<TVector2D>& Points)
{
    IntersectLineWithArc(P1, P2, Arc, false, Points);
}

void IntersectArcs(const TIntersectArc& Arc1, const TIntersectArc& Arc2, std::vector<TVector2D>& Points)
{
    TVector2D candidates[2];
    const int n = CircleCandidates(Arc1, Arc2, candidates);
    for (int i = 0; i < n; ++i) {
        const TVector2D& g = candidates[i];
        if (!OnArcSide(g, Arc1.Start, Arc1.End) || !OnArcSide(g, Arc2.Start, Arc2.End))
            continue;
        if (IsSamePoint(g, Arc1.Start) || IsSamePoint(g, Arc1.End) || IsSamePoint(g, Arc2.Start) ||
            IsSamePoint(g, Arc2.End))
            continue;
        Points.push_back(g);
    }
}

void IntersectCircles(const TIntersectArc& Arc1, const TIntersectArc& Arc2, std::vector<TVector2D>& Points)
{
    TVector2D candidates[2];
    const int n = CircleCandidates(Arc1, Arc2, candidates);
    Points.insert(Points.end(), candidates, candidates + n);
}

int SegmentIntersectionXY(double X1, double Y1, double X2, double Y2, double X3, double Y3, double X4,
                          double Y4, double& X, double& Y)
{
    const TVector2D p1{X1, Y1}, p2{X2, Y2}, p3{X3, Y3}, p4{X4, Y4};
    if (IsSamePoint(p1, p3) || IsSamePoint(p2, p3) || IsSamePoint(p1, p4) || IsSamePoint(p2, p4))
        return 0;

    if (std::max(X1, X2) < std::min(X3, X4) || std::max(X3, X4) < std::min(X1, X2))
        return 0;
    if (std::max(Y1, Y2) < std::min(Y3, Y4) || std::max(Y3, Y4) < std::min(Y1, Y2))
        return 0;

    const TVector2D a = SubVector2D(p2, p1);
    const TVector2D b = SubVector2D(p3, p4);
    const TVector2D c = SubVector2D(p1, p3);
    const double f = b.X * a.Y - b.Y * a.X;
    const double d = b.Y * c.X - b.X * c.Y;
    const double e = a.X * c.Y - a.Y * c.X;
    // Both parameters d/f and e/f in [0, 1], tested without dividing.
    if (f > 0) {
        if (d < 0 || d > f || e < 0 || e > f)
            return 0;
    } else {
        if (d > 0 || d < f || e > 0 || e < f)
            return 0;
    }

    // f is |A| |B| sin of the angle between them, an area: the segments are parallel when, over
    // the shorter one, their directions part by no more than the tolerance, and P3 lies on the
    // line of P1P2 when its distance from it is within the tolerance. Comparing the areas with
    // the tolerance itself made short crossing segments parallel.
    const double lengthA = std::hypot(a.X, a.Y);
    const double tol = SystemTol();
    if (std::abs(f) > tol * std::max(lengthA, std::hypot(b.X, b.Y))) {
        const double t = d / f;
        X = X1 + t * a.X;
        Y = Y1 + t * a.Y;
    } else if (std::abs(c.Y * a.X - c.X * a.Y) <= tol * lengthA) {
        X = X3;
        Y = Y3;
    } else {
        X = X4;
        Y = Y4;
    }
    return 1;
}

bool SegmentsIntersect(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3, const TVector2D& P4,
                       TVector2D& R)
{
    return SegmentIntersectionXY(P1.X, P1.Y, P2.X, P2.Y, P3.X, P3.Y, P4.X, P4.Y, R.X, R.Y) == 1;
}

TVector2D ObjectPointToWorld(const TPoint2D& P, const TObject2D& Obj)
{
    if (!Obj.HasTransform())
        return {P.X, P.Y};
    const TPoint2D w = Obj.GetModelTransform().TransformPoint2D(P);
    return {w.X, w.Y};
}

std::unique_ptr<TLine2D> OffsetLine(const TLine2D& Line, double Dist)
{
    const TVector2D p1 = ObjectPointToWorld(Line.Points().Get(0), Line);
    const TVector2D p2 = ObjectPointToWorld(Line.Points().Get(1), Line);
    TVector2D q1, q2;
    OffsetSegment(p1, p2, Dist, q1, q2);
    return std::make_unique<TLine2D>(-1, VectorToPoint2D(q1), VectorToPoint2D(q2));
}

TIntersectArc IntersectArcOf(const TArco2D& Arc)
{
    // The world description runs in the arc's direction of travel; a clockwise run from S to E
    // is the counter-clockwise one from E to S.
    TArcInfo info;
    Arc.GetArcInfo(info);
    if (Arc.Clockwise())
        std::swap(info.StartPt, info.EndPt);
    return {info.StartPt, info.EndPt, info.Center, info.Radius};
}

void IntersectLineArc(const TLine2D& Line, const TArco2D& Arc, std::vector<TVector2D>& Points)
{
    if (Line.Points().Count() < 2)
        return;
    IntersectLineArc(ObjectPointToWorld(Line.Points().Get(0), Line),
                     ObjectPointToWorld(Line.Points().Get(1), Line), IntersectArcOf(Arc), Points);
}

void IntersectObjectArc(const TPrimitive2D& Obj, const TArco2D& Arc, std::vector<TVector2D>& Points)
{
    if (Obj.Points().Count() < 2)
        return;
    IntersectObjectArc(ObjectPointToWorld(Obj.Points().Get(0), Obj),
                       ObjectPointToWorld(Obj.Points().Get(1), Obj), IntersectArcOf(Arc), Points);
}

void IntersectArcs(const TArco2D& Arc1, const TArco2D& Arc2, std::vector<TVector2D>& Points)
{
    IntersectArcs(IntersectArcOf(Arc1), IntersectArcOf(Arc2), Points);
}

void IntersectCircles(const TArco2D& Arc1, const TArco2D& Arc2, std::vector<TVector2D>& Points)
{
    IntersectCircles(IntersectArcOf(Arc1), IntersectArcOf(Arc2), Points);
}

std::unique_ptr<TArco2D> OffsetArc(const TArco2D& Arc, double Dist)
{
    TArcInfo2D info;
    Arc.GetArcInfo2D(info);
    const TPoint2D radiusPoint = MakePoint2D(info.Center.X + info.Radius + Dist, info.Center.Y);
    if (!Arc.Clockwise())
        return std::make_unique<TArco2D>(-1, info.Center, radiusPoint, info.StartAngle, info.EndAngle);
    // A clockwise arc's angles are measured clockwise: the new arc is made counter-clockwise on
    // the same directions (the angles negated) and then keeps the source's direction of travel,
    // reading its angles back in the clockwise measure.
    auto offset = std::make_unique<TArco2D>(-1, info.Center, radiusPoint, -info.StartAngle, -info.EndAngle);
    offset->SetDirection(0);
    return offset;
}
