#include "DXFGeometry.h"

#include <cmath>

namespace {

constexpr double AxisTolerance = 1e-9;
// The arbitrary-axis rule's bound: a normal this close to Z takes its X axis from world Y.
constexpr double ArbitraryAxisBound = 1.0 / 64;

TVector3D Cross(const TVector3D& A, const TVector3D& B)
{
    return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}

TVector3D Unit(const TVector3D& V)
{
    const double l = std::sqrt(V.X * V.X + V.Y * V.Y + V.Z * V.Z);
    return l > 0 ? TVector3D{V.X / l, V.Y / l, V.Z / l} : V;
}

// Second derivatives of the cubic spline through Y over the parameters T: free (natural) ends,
// or first derivatives D0 and DN at the ends when Clamped0 and ClampedN.
std::vector<double> SplineMoments(const std::vector<double>& T, const std::vector<double>& Y, bool Clamped0,
                                  double D0, bool ClampedN, double DN)
{
    const size_t n = T.size() - 1;
    std::vector<double> a(n + 1), b(n + 1), c(n + 1), r(n + 1);
    if (Clamped0) {
        const double h = T[1] - T[0];
        b[0] = 2 * h;
        c[0] = h;
        r[0] = 6 * ((Y[1] - Y[0]) / h - D0);
    } else {
        b[0] = 1;
    }
    for (size_t i = 1; i < n; ++i) {
        const double h0 = T[i] - T[i - 1], h1 = T[i + 1] - T[i];
        a[i] = h0;
        b[i] = 2 * (h0 + h1);
        c[i] = h1;
        r[i] = 6 * ((Y[i + 1] - Y[i]) / h1 - (Y[i] - Y[i - 1]) / h0);
    }
    if (ClampedN) {
        const double h = T[n] - T[n - 1];
        a[n] = h;
        b[n] = 2 * h;
        r[n] = 6 * (DN - (Y[n] - Y[n - 1]) / h);
    } else {
        b[n] = 1;
    }
    // The system is diagonally dominant: elimination without pivoting is stable.
    for (size_t i = 1; i <= n; ++i) {
        const double m = a[i] / b[i - 1];
        b[i] -= m * c[i - 1];
        r[i] -= m * r[i - 1];
    }
    std::vector<double> M(n + 1);
    M[n] = r[n] / b[n];
    for (size_t i = n; i-- > 0;)
        M[i] = (r[i] - c[i] * M[i + 1]) / b[i];
    return M;
}

double SplineValue(double T0, double T1, double Y0, double Y1, double M0, double M1, double t)
{
    const double h = T1 - T0, u = T1 - t, v = t - T0;
    return M0 * u * u * u / (6 * h) + M1 * v * v * v / (6 * h) + (Y0 / h - M0 * h / 6) * u + (Y1 / h - M1 * h / 6) * v;
}

// The spans From to To of the spline through P over chord lengths, Steps points each.
void AppendSpline(const std::vector<TPoint2D>& P, const TVector2D* Start, const TVector2D* End, size_t From, size_t To,
                  int Steps, std::vector<TPoint2D>& Out)
{
    std::vector<double> t(P.size()), x(P.size()), y(P.size());
    for (size_t i = 0; i < P.size(); ++i) {
        x[i] = P[i].X;
        y[i] = P[i].Y;
        t[i] = i == 0 ? 0 : t[i - 1] + std::hypot(P[i].X - P[i - 1].X, P[i].Y - P[i - 1].Y);
    }
    // Over chord lengths the curve runs at about unit speed: the tangents are taken as unit vectors.
    const std::vector<double> mx = SplineMoments(t, x, Start, Start ? Start->X : 0, End, End ? End->X : 0);
    const std::vector<double> my = SplineMoments(t, y, Start, Start ? Start->Y : 0, End, End ? End->Y : 0);
    if (Out.empty())
        Out.push_back(P[From]);
    for (size_t i = From; i < To; ++i) {
        for (int k = 1; k < Steps; ++k) {
            const double s = t[i] + (t[i + 1] - t[i]) * k / Steps;
            Out.push_back(MakePoint2D(SplineValue(t[i], t[i + 1], x[i], x[i + 1], mx[i], mx[i + 1], s),
                                      SplineValue(t[i], t[i + 1], y[i], y[i + 1], my[i], my[i + 1], s)));
        }
        Out.push_back(P[i + 1]);
    }
}

bool UnitTangent(const TVector2D& V, TVector2D& Out)
{
    const double l = std::hypot(V.X, V.Y);
    if (!(l > 0) || !std::isfinite(l))
        return false;
    Out = {V.X / l, V.Y / l};
    return true;
}

} // namespace

TDXFPlane::TDXFPlane(const TVector3D& Normal)
{
    const TVector3D n = Unit(Normal);
    if (!(std::isfinite(n.X) && std::isfinite(n.Y) && std::isfinite(n.Z)) || (n.X == 0 && n.Y == 0 && n.Z == 0))
        return;
    if (std::abs(n.X) < AxisTolerance && std::abs(n.Y) < AxisTolerance) {
        if (n.Z > 0)
            return;
        N = {0, 0, -1};
        AX = {-1, 0, 0};
        World = false;
        return;
    }
    World = false;
    Flat = false;
    N = n;
    const bool nearZ = std::abs(n.X) < ArbitraryAxisBound && std::abs(n.Y) < ArbitraryAxisBound;
    AX = Unit(Cross(nearZ ? TVector3D{0, 1, 0} : TVector3D{0, 0, 1}, N));
    AY = Unit(Cross(N, AX));
}

TPoint2D TDXFPlane::ToWorld(double X, double Y, double Z) const
{
    return MakePoint2D(X * AX.X + Y * AY.X + Z * N.X, X * AX.Y + Y * AY.Y + Z * N.Y);
}

TMatrix4 TDXFPlane::Matrix(double Z) const
{
    TMatrix4 m;
    m.M = {AX.X, AX.Y, 0, 0, AY.X, AY.Y, 0, 0, 0, 0, 1, 0, Z * N.X, Z * N.Y, 0, 1};
    return m;
}

std::vector<TPoint2D> FitPointCurve(const std::vector<TPoint2D>& Points, const TVector2D& StartTangent,
                                    const TVector2D& EndTangent, bool Closed, int Steps)
{
    // Repeated points would give spans of no length.
    std::vector<TPoint2D> p;
    for (const TPoint2D& q : Points)
        if (p.empty() || q.X != p.back().X || q.Y != p.back().Y)
            p.push_back(q);
    if (Closed && p.size() > 1 && p.back().X == p.front().X && p.back().Y == p.front().Y)
        p.pop_back();
    std::vector<TPoint2D> out;
    double length = 0;
    for (size_t i = 1; i < p.size(); ++i)
        length += std::hypot(p[i].X - p[i - 1].X, p[i].Y - p[i - 1].Y);
    // Spans beyond the range of doubles have no curve to fit: the points are joined as they are.
    if (!(length < 1e300)) {
        out = p;
        if (Closed && p.size() > 1)
            out.push_back(p.front());
        return out;
    }
    if (p.size() < 3 && (Closed || p.size() < 2)) {
        out = p;
        if (Closed && p.size() == 2)
            out.push_back(p.front());
        return out;
    }
    if (!Closed) {
        TVector2D s, e;
        const bool hasStart = UnitTangent(StartTangent, s), hasEnd = UnitTangent(EndTangent, e);
        AppendSpline(p, hasStart ? &s : nullptr, hasEnd ? &e : nullptr, 0, p.size() - 1, Steps, out);
        return out;
    }
    // Closed: a few points of the other end on each side make the free ends' bend die out
    // before the first point, so the curve closes smoothly.
    const size_t m = p.size(), k = std::min<size_t>(3, m);
    std::vector<TPoint2D> wrapped(p.end() - static_cast<std::ptrdiff_t>(k), p.end());
    wrapped.insert(wrapped.end(), p.begin(), p.end());
    for (size_t i = 0; i <= k; ++i)
        wrapped.push_back(p[i % m]);
    AppendSpline(wrapped, nullptr, nullptr, k, k + m, Steps, out);
    return out;
}

std::vector<TPoint2D> ConicPoints(const TPoint2D& C, const TVector2D& U, const TVector2D& V, double T0, double T1,
                                  int Segments)
{
    std::vector<TPoint2D> out;
    out.reserve(static_cast<size_t>(Segments) + 1);
    for (int i = 0; i <= Segments; ++i) {
        const double t = T0 + (T1 - T0) * i / Segments;
        out.push_back(MakePoint2D(C.X + std::cos(t) * U.X + std::sin(t) * V.X, C.Y + std::cos(t) * U.Y + std::sin(t) * V.Y));
    }
    return out;
}
