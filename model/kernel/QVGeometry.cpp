#include "QVGeometry.h"

#include "CADExceptions.h"
#include "QVVariabili.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double TwoPi = 2 * std::numbers::pi;
// At most this many points per arc, whatever its radius and sweep.
constexpr int MaxArcPoints = 200;

} // namespace

bool IsEqualTol(double V1, double V2, double Tol)
{
    return std::fabs(V1 - V2) <= Tol;
}
bool IsEqual(double V1, double V2)
{
    return IsEqualTol(V1, V2, SystemTol());
}
bool IsDifferentTol(double V1, double V2, double Tol)
{
    return std::fabs(V1 - V2) > Tol;
}
bool IsDifferent(double V1, double V2)
{
    return IsDifferentTol(V1, V2, SystemTol());
}
bool IsGreaterOrEqual(double V1, double V2)
{
    return V1 > V2 || IsEqual(V1, V2);
}

bool IsSamePoint(const TVector2D& A, const TVector2D& B)
{
    return IsSamePointTol(A, B, SystemTol());
}

bool IsSamePointTol(const TVector2D& A, const TVector2D& B, double Tol)
{
    return IsEqualTol(A.X, B.X, Tol) && IsEqualTol(A.Y, B.Y, Tol);
}

bool IsSamePoint2D(const TPoint2D& A, const TPoint2D& B)
{
    TPoint2D a = A, b = B;
    if (a.W != b.W) {
        a = CartesianPoint2D(a);
        b = CartesianPoint2D(b);
    }
    return IsEqual(a.X, b.X) && IsEqual(a.Y, b.Y);
}

bool IsCollinear(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3)
{
    return std::fabs((P3.X - P1.X) * (P2.Y - P1.Y) - (P2.X - P1.X) * (P3.Y - P1.Y)) <= ChainTol();
}

int CircleSide(const TVector2D& C, const TVector2D& P, double Radius)
{
    const double d2 = SqrDistanceXY(C.X, C.Y, P.X, P.Y);
    const double r2 = Radius * Radius;
    if (d2 < r2)
        return -1;
    return IsEqual(r2, d2) ? 0 : 1;
}

double DistanceXY(double X1, double Y1, double X2, double Y2)
{
    return std::sqrt(SqrDistanceXY(X1, Y1, X2, Y2));
}

double SqrDistanceXY(double X1, double Y1, double X2, double Y2)
{
    return (X2 - X1) * (X2 - X1) + (Y2 - Y1) * (Y2 - Y1);
}

double VectorDistance2D(const TVector2D& A, const TVector2D& B)
{
    return DistanceXY(A.X, A.Y, B.X, B.Y);
}

double PointDistanceXY(const TPoint2D& A, const TPoint2D& B)
{
    return DistanceXY(A.X, A.Y, B.X, B.Y);
}

double VectorDistance3D(const TVector3D& A, const TVector3D& B)
{
    return VectorLength3D(SubVector3D(B, A));
}

double DotProduct2D(const TVector2D& A, const TVector2D& B)
{
    return A.X * B.X + A.Y * B.Y;
}
double CrossProduct2D(const TVector2D& A, const TVector2D& B)
{
    return A.X * B.Y - A.Y * B.X;
}

double AngleBetween(const TVector2D& A, const TVector2D& B)
{
    const double q = DotProduct2D(A, A) * DotProduct2D(B, B);
    if (q == 0)
        return 0;
    // Rounding can put the cosine of (anti)parallel vectors just outside [-1, 1].
    return std::acos(std::clamp(DotProduct2D(A, B) / std::sqrt(q), -1.0, 1.0));
}

TVector2D ScaleVector2D(const TVector2D& V, double S)
{
    return {V.X * S, V.Y * S};
}
TVector2D PerpLeft(const TVector2D& V)
{
    return {-V.Y, V.X};
}
TVector2D MidPoint(const TVector2D& A, const TVector2D& B)
{
    return {(A.X + B.X) * 0.5, (A.Y + B.Y) * 0.5};
}
TPoint2D VectorToPoint2D(const TVector2D& V)
{
    return {V.X, V.Y, 1};
}

int Quadrant(double X, double Y)
{
    if (X > 0 && Y >= 0)
        return 1;
    if (X <= 0 && Y > 0)
        return 2;
    if (X < 0 && Y <= 0)
        return 3;
    if (X >= 0 && Y < 0)
        return 4;
    return 0;
}

int FarthestPoint(TVector2D& P, const std::vector<TVector2D>& Points)
{
    RASTREL_ASSERT(!Points.empty());
    double best = 0;
    int index = 0;
    for (size_t i = 0; i < Points.size(); ++i) {
        const double d = VectorDistance2D(P, Points[i]);
        if (d > best) {
            best = d;
            index = static_cast<int>(i);
        }
    }
    P = Points[index];
    return index;
}

double PointsAngle(const TVector2D& A, const TVector2D& B)
{
    const double a = PointsAngleSigned(A, B);
    return a < 0 ? a + TwoPi : a;
}

double PointsAngleSigned(const TVector2D& A, const TVector2D& B)
{
    return std::atan2(B.Y - A.Y, B.X - A.X);
}

double ArcTanXY(double X, double Y)
{
    return std::atan2(Y, X);
}

double ArcSweep(int Dir, double StartAngle, double EndAngle)
{
    double s = StartAngle, e = EndAngle, sweep;
    if (Dir == 1) {
        if (e <= s)
            e += TwoPi;
        sweep = e - s;
    } else if (Dir == -1) {
        if (e >= s)
            s += TwoPi;
        sweep = s - e;
    } else {
        sweep = e - s;
    }
    if (sweep < 0)
        sweep += TwoPi;
    return sweep;
}

double ArcSweepCW(bool Clockwise, double StartAngle, double EndAngle)
{
    return ArcSweep(Clockwise ? -1 : 1, StartAngle, EndAngle);
}

void LineEquation(const TVector2D& P1, const TVector2D& P2, double& A, double& B, double& C)
{
    A = P2.Y - P1.Y;
    B = P1.X - P2.X;
    C = P2.X * P1.Y - P1.X * P2.Y;
}

double LineDistance(const TVector2D& P, double A, double B, double C)
{
    const double n = std::sqrt(A * A + B * B);
    if (n == 0)
        return 0;
    return (A * P.X + B * P.Y + C) / n;
}

TVector2D LineProjection(const TVector2D& P, double A, double B, double C)
{
    const double f = A * A + B * B;
    if (f == 0)
        return {0, 0};
    const double g = A * P.Y - B * P.X;
    return {(-A * C - B * g) / f, (A * g - B * C) / f};
}

bool IsProjectionInside(const TVector2D& A, const TVector2D& B, const TVector2D& P)
{
    const TVector2D ab = SubVector2D(B, A);
    const double t = DotProduct2D(ab, SubVector2D(P, A));
    return t >= 0 && t <= DotProduct2D(ab, ab);
}

TVector2D NearestOnSegment(const TVector2D& A, const TVector2D& B, const TVector2D& P)
{
    TVector2D r;
    NearestOnSegmentXY(A.X, A.Y, B.X, B.Y, P.X, P.Y, r.X, r.Y);
    return r;
}

void NearestOnSegmentXY(double AX, double AY, double BX, double BY, double PX, double PY, double& X,
                        double& Y)
{
    const double dx = BX - AX, dy = BY - AY;
    const double t = dx * (PX - AX) + dy * (PY - AY);
    const double len2 = dx * dx + dy * dy;
    if (t <= 0) {
        X = AX;
        Y = AY;
    } else if (t >= len2) {
        X = BX;
        Y = BY;
    } else {
        X = AX + t / len2 * dx;
        Y = AY + t / len2 * dy;
    }
}

void ProjectOnLineXY(double AX, double AY, double BX, double BY, double PX, double PY, double& X, double& Y)
{
    const double dx = BX - AX, dy = BY - AY;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 == 0 ? 0 : (dx * (PX - AX) + dy * (PY - AY)) / len2;
    X = AX + t * dx;
    Y = AY + t * dy;
}

TVector2D PointAtDistance(const TVector2D& A, const TVector2D& B, double Dist)
{
    const TVector2D d = SubVector2D(A, B);
    const double len = VectorLength2D(d);
    if (len == 0)
        return B;
    return {B.X + Dist * d.X / len, B.Y + Dist * d.Y / len};
}

void OffsetSegment(const TVector2D& P1, const TVector2D& P2, double Dist, TVector2D& Q1, TVector2D& Q2)
{
    const TVector2D d = SubVector2D(P2, P1);
    const double len = VectorLength2D(d);
    const TVector2D n = len == 0 ? TVector2D{} : TVector2D{-d.Y / len * Dist, d.X / len * Dist};
    Q1 = AddVector2D(P1, n);
    Q2 = AddVector2D(P2, n);
}

bool IsOnSide(const TVector2D& A, const TVector2D& B, const TVector2D& P, int Dir)
{
    const TVector2D d = Dir >= 0 ? SubVector2D(B, A) : SubVector2D(A, B);
    return CrossProduct2D(SubVector2D(P, A), d) >= 0;
}

bool IsRightOf(const TPoint2D& P, const TPoint2D& A, const TPoint2D& B)
{
    return IsRightOfV({P.X, P.Y}, {A.X, A.Y}, {B.X, B.Y});
}

bool IsRightOfV(const TVector2D& P, const TVector2D& A, const TVector2D& B)
{
    return (P.X - A.X) * (B.Y - A.Y) > (B.X - A.X) * (P.Y - A.Y);
}

void OrthoPoint(const TPoint2D& Ref, TPoint2D& P)
{
    const TPoint2D r = CartesianPoint2D(Ref);
    P = CartesianPoint2D(P);
    if (std::fabs(P.X - r.X) > std::fabs(P.Y - r.Y))
        P.Y = r.Y;
    else
        P.X = r.X;
}

void ArcToPoints2D(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt, bool Clockwise,
                   TArrayOfPoint2d& Points)
{
    ArcToPoints2DTol(Centre, StartPt, EndPt, Clockwise, SimulTol(), Points);
}

void ArcToPoints2DTol(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt,
                      bool Clockwise, double Tol, TArrayOfPoint2d& Points)
{
    const double as = PointsAngle(Centre, StartPt);
    const double ae = PointsAngle(Centre, EndPt);
    // Signed sweep: positive turns clockwise; equal angles give no sweep.
    double sweep;
    if (Clockwise)
        sweep = ae <= as ? as - ae : as + TwoPi - ae;
    else
        sweep = as <= ae ? -(ae - as) : -(ae + TwoPi - as);
    const double r = VectorDistance2D(EndPt, Centre);

    // Half the largest angle whose chord stays within Tol of the arc. A tolerance of twice the
    // radius or more needs one chord; one that is not positive asks for the finest division.
    const double cosHalf = Tol > 0 ? std::clamp((r - Tol) / r, -1.0, 1.0) : 1.0;
    const double wanted = std::fabs(sweep) / (2 * std::acos(cosHalf));
    // Decided in double first: NaN, infinite and huge counts must not reach the integer. A
    // degenerate or non-finite arc gets one point.
    int n = 1;
    if (r > 0 && wanted >= MaxArcPoints)
        n = MaxArcPoints;
    else if (r > 0 && wanted > 1)
        n = static_cast<int>(std::ceil(wanted));

    const double step = sweep / n;
    Points.resize(n);
    TVector2D q = StartPt;
    for (int i = 0; i < n; ++i) {
        const double phi = std::atan2(q.Y - Centre.Y, q.X - Centre.X) - step;
        Points[i] = {Centre.X + r * std::cos(phi), Centre.Y + r * std::sin(phi), 1};
        q = {Points[i].X, Points[i].Y};
    }
}

TVector2D NearestOnArc(const TVector2D& Centre, const TVector2D& StartPt, const TVector2D& EndPt,
                       const TVector2D& P)
{
    const TVector2D s = SubVector2D(StartPt, Centre);
    const TVector2D e = SubVector2D(EndPt, Centre);
    const TVector2D d = SubVector2D(P, Centre);
    const double r = VectorLength2D(s);
    const double dl = VectorLength2D(d);
    // P at the centre has no radial direction: every point of the circle is as near; take the
    // start point.
    const TVector2D q = dl == 0 ? s : ScaleVector2D(d, r / dl);
    if (CrossProduct2D(SubVector2D(q, s), SubVector2D(e, s)) >= 0)
        return AddVector2D(Centre, q);
    return VectorDistance2D(P, EndPt) > VectorDistance2D(P, StartPt) ? StartPt : EndPt;
}

TVector2D VertexTangent(const TVector2D& P, const TAVertice& Prev, const TAVertice& Cur)
{
    if (Cur.Kind == 0)
        return SubVector2D(Cur.Point, Prev.Point);
    return RotateVector2D(SubVector2D(P, Cur.Centre), Cur.Kind == 1 ? Pi / 2 : -Pi / 2);
}

TRect2D MakeRect2D(double X1, double Y1, double X2, double Y2)
{
    return {{X1, Y1, 1}, {X2, Y2, 1}};
}

TRect3D MakeRect3D(double X1, double Y1, double Z1, double X2, double Y2, double Z2)
{
    return {{X1, Y1, Z1, 1}, {X2, Y2, Z2, 1}};
}

TRect2D CartesianRect2D(const TRect2D& R)
{
    return {CartesianPoint2D(R.First), CartesianPoint2D(R.Second)};
}

TRect3D CartesianRect3D(const TRect3D& R)
{
    return {CartesianPoint3D(R.First), CartesianPoint3D(R.Second)};
}

namespace {

void OrderPair(double& Lo, double& Hi)
{
    if (Lo > Hi)
        std::swap(Lo, Hi);
}

// The smaller First and the larger Second on one axis, A's values kept on ties.
void UnionAxis(double& First, double& Second, double BFirst, double BSecond)
{
    if (BFirst < First)
        First = BFirst;
    if (BSecond > Second)
        Second = BSecond;
}

} // namespace

TRect2D NormalizeRect2D(const TRect2D& R)
{
    TRect2D r = CartesianRect2D(R);
    OrderPair(r.First.X, r.Second.X);
    OrderPair(r.First.Y, r.Second.Y);
    return r;
}

TRect3D NormalizeRect3D(const TRect3D& R)
{
    TRect3D r = CartesianRect3D(R);
    OrderPair(r.First.X, r.Second.X);
    OrderPair(r.First.Y, r.Second.Y);
    OrderPair(r.First.Z, r.Second.Z);
    return r;
}

TRect2D TransformRectCorners2D(const TRect2D& R, const TMatrix4& M)
{
    return {M.TransformPoint2D(R.First), M.TransformPoint2D(R.Second)};
}

TRect3D TransformRectCorners3D(const TRect3D& R, const TMatrix4& M)
{
    return {M.TransformPoint3D(R.First), M.TransformPoint3D(R.Second)};
}

TRect2D TransformRect2D(const TRect2D& R, const TMatrix4& M)
{
    const TRect2D c = CartesianRect2D(R);
    const TRect2D other = MakeRect2D(c.First.X, c.Second.Y, c.Second.X, c.First.Y);
    return UnionRect2D(TransformRectCorners2D(c, M), TransformRectCorners2D(other, M));
}

TRect3D TransformRect3D(const TRect3D& R, const TMatrix4& M)
{
    // The four space diagonals reach all eight corners: a matrix that mixes Z into X or Y moves
    // the box's extremes to any of them.
    const TRect3D c = CartesianRect3D(R);
    const double x1 = c.First.X, y1 = c.First.Y, z1 = c.First.Z;
    const double x2 = c.Second.X, y2 = c.Second.Y, z2 = c.Second.Z;
    TRect3D box = TransformRectCorners3D(c, M);
    for (const TRect3D& d : {MakeRect3D(x1, y2, z1, x2, y1, z2), MakeRect3D(x2, y1, z1, x1, y2, z2),
                             MakeRect3D(x1, y1, z2, x2, y2, z1)})
        box = UnionRect3D(box, TransformRectCorners3D(d, M));
    return box;
}

TRect2D UnionRect2D(const TRect2D& A, const TRect2D& B)
{
    TRect2D a = NormalizeRect2D(A);
    const TRect2D b = NormalizeRect2D(B);
    UnionAxis(a.First.X, a.Second.X, b.First.X, b.Second.X);
    UnionAxis(a.First.Y, a.Second.Y, b.First.Y, b.Second.Y);
    return a;
}

TRect3D UnionRect3D(const TRect3D& A, const TRect3D& B)
{
    TRect3D a = NormalizeRect3D(A);
    const TRect3D b = NormalizeRect3D(B);
    UnionAxis(a.First.X, a.Second.X, b.First.X, b.Second.X);
    UnionAxis(a.First.Y, a.Second.Y, b.First.Y, b.Second.Y);
    UnionAxis(a.First.Z, a.Second.Z, b.First.Z, b.Second.Z);
    return a;
}
