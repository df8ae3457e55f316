#include "QVMatrix.h"

#include "CADExceptions.h"
#include "QVStream.h"

#include <cmath>
#include <numbers>

namespace {

// Determinant of the 3x3 minor of M that leaves out row Row and column Col.
double Minor(const std::array<double, 16>& M, int Row, int Col)
{
    double v[9];
    int n = 0;
    for (int r = 0; r < 4; ++r) {
        if (r == Row)
            continue;
        for (int c = 0; c < 4; ++c)
            if (c != Col)
                v[n++] = M[4 * r + c];
    }
    const double a = v[0], b = v[1], c = v[2], d = v[3], e = v[4], f = v[5], g = v[6], h = v[7], l = v[8];
    return a * (e * l - f * h) - b * (d * l - f * g) + c * (d * h - e * g);
}

// R = A x B, every term summed. R must not overlap A or B.
void Product(const double* __restrict a, const double* __restrict b, double* __restrict r)
{
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r[4 * i + j] = a[4 * i] * b[j] + a[4 * i + 1] * b[4 + j] + a[4 * i + 2] * b[8 + j] +
                           a[4 * i + 3] * b[12 + j];
}

// A determinant this small against the product of the row lengths (the largest it could be)
// means the rows are dependent up to rounding. Relative, so that a tiny but real scale such as
// 1/600 still inverts.
constexpr double SingularRatio = 1e-12;

} // namespace

TMatrix4 TMatrix4::CreateFrom2D(const TTransform2D& T)
{
    TMatrix4 m;
    m.M = {T[0], T[1], 0, T[2], T[3], T[4], 0, T[5], 0, 0, 1, 0, T[6], T[7], 0, T[8]};
    return m;
}

TMatrix4 TMatrix4::CreateTranslation(double DX, double DY, double DZ)
{
    TMatrix4 m;
    m.M[12] = DX;
    m.M[13] = DY;
    m.M[14] = DZ;
    return m;
}

TMatrix4 TMatrix4::CreateRotation(bool InDegrees, double Angle)
{
    const double a = InDegrees ? Angle * std::numbers::pi / 180 : Angle;
    TMatrix4 m;
    m.M[0] = std::cos(a);
    m.M[1] = std::sin(a);
    m.M[4] = -std::sin(a);
    m.M[5] = std::cos(a);
    return m;
}

TMatrix4 TMatrix4::CreateScale(double SX, double SY, double SZ)
{
    TMatrix4 m;
    m.M = {SX, 0, 0, 0, 0, SY, 0, 0, 0, 0, SZ, 0, 0, 0, 0, 1};
    return m;
}

TMatrix4 TMatrix4::CreateMirror(int Mode)
{
    TMatrix4 m;
    if (Mode == 0 || Mode == 2)
        m.M[5] = -1;
    if (Mode == 1 || Mode == 2)
        m.M[0] = -1;
    return m;
}

double TMatrix4::GetElement(int Index) const
{
    RASTREL_ASSERT(Index >= 0 && Index < 16);
    return M[Index];
}

void TMatrix4::SetElement(int Index, double Value)
{
    RASTREL_ASSERT(Index >= 0 && Index < 16);
    if (!Locked)
        M[Index] = Value;
}

void TMatrix4::LoadIdentity()
{
    M = IdentityMatrix.M;
}

void TMatrix4::Assign(const TMatrix4* Source)
{
    M = Source ? Source->M : IdentityMatrix.M;
}

void TMatrix4::SetTranslation(double DX, double DY, double DZ)
{
    M = CreateTranslation(DX, DY, DZ).M;
}

void TMatrix4::Multiply(const TMatrix4& A, const TMatrix4& B)
{
    // Runs for every object transform, pick and redraw. The plain product is used for affine
    // operands too: skipping their zero terms measured slower, since the uniform sums are what
    // the compiler turns into vector operations (bench_kernel keeps the comparison).
    if (this == &A || this == &B) {
        std::array<double, 16> r;
        Product(A.M.data(), B.M.data(), r.data());
        M = r;
    } else {
        Product(A.M.data(), B.M.data(), M.data());
    }
}

void TMatrix4::Translate(double DX, double DY, double DZ)
{
    Multiply(*this, CreateTranslation(DX, DY, DZ));
}

void TMatrix4::Rotate(bool InDegrees, double Angle)
{
    Multiply(*this, CreateRotation(InDegrees, Angle));
}

void TMatrix4::Mirror(int Mode)
{
    Multiply(*this, CreateMirror(Mode));
}

void TMatrix4::Scale(double SX, double SY, double SZ)
{
    Multiply(*this, CreateScale(SX, SY, SZ));
}

void TMatrix4::PreRotateDeg(double Angle)
{
    const double t = Angle * std::numbers::pi / 180;
    const double c = std::cos(t), s = std::sin(t);
    for (int j = 0; j < 4; ++j) {
        const double r0 = M[j], r1 = M[4 + j];
        M[j] = c * r0 - s * r1;
        M[4 + j] = s * r0 + c * r1;
    }
}

void TMatrix4::Invert(const TMatrix4& Source)
{
    const auto& s = Source.M;
    std::array<double, 16> minors;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            minors[4 * r + c] = Minor(s, r, c);
    const double det = s[0] * minors[0] - s[1] * minors[1] + s[2] * minors[2] - s[3] * minors[3];

    // The largest determinant rows of these lengths could have. An affine matrix is measured by
    // its linear part alone: a far translation does not make it any less invertible.
    const int rows = Source.IsAffine() ? 3 : 4;
    double rowLengths = 1;
    for (int r = 0; r < rows; ++r) {
        double q = 0;
        for (int c = 0; c < 4; ++c)
            q += s[4 * r + c] * s[4 * r + c];
        rowLengths *= std::sqrt(q);
    }
    // Also refuses NaN and overflow: the cofactors would be no inverse then.
    if (!(std::fabs(det) > SingularRatio * rowLengths) || !std::isfinite(rowLengths)) {
        LoadIdentity();
        return;
    }
    std::array<double, 16> r;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            r[4 * i + j] = ((i + j) % 2 ? -minors[4 * j + i] : minors[4 * j + i]) / det;
    M = r;
}

TPoint2D TMatrix4::TransformPoint2D(const TPoint2D& P) const
{
    return {P.X * M[0] + P.Y * M[4] + P.W * M[12], P.X * M[1] + P.Y * M[5] + P.W * M[13],
            P.X * M[3] + P.Y * M[7] + P.W * M[15]};
}

TPoint3D TMatrix4::TransformPoint3D(const TPoint3D& P) const
{
    TPoint3D r;
    double* out[4] = {&r.X, &r.Y, &r.Z, &r.W};
    for (int j = 0; j < 4; ++j)
        *out[j] = P.X * M[j] + P.Y * M[4 + j] + P.Z * M[8 + j] + P.W * M[12 + j];
    return r;
}

bool TMatrix4::IsEqual(const TMatrix4& Other) const
{
    return M == Other.M;
}

void TMatrix4::SaveToStream(TStreamWriter& W) const
{
    for (double v : M)
        W.WriteDouble(v);
}

void TMatrix4::LoadFromStream(TStreamReader& R)
{
    // Read whole before storing: a short stream fails and leaves the matrix as it was.
    std::array<double, 16> m;
    R.ReadDoubles(m);
    M = m;
}

TPoint2D CartesianPoint2D(const TPoint2D& P)
{
    if (P.W != 1 && P.W != 0)
        return {P.X / P.W, P.Y / P.W, 1};
    return P;
}

TPoint3D CartesianPoint3D(const TPoint3D& P)
{
    if (P.W != 1 && P.W != 0)
        return {P.X / P.W, P.Y / P.W, P.Z / P.W, 1};
    return P;
}

TVector2D NormalizeVector2D(const TVector2D& V)
{
    const double q = V.X * V.X + V.Y * V.Y;
    if (q > 0) {
        const double k = 1 / std::sqrt(q);
        return {V.X * k, V.Y * k};
    }
    return V;
}

TVector3D NormalizeVector3D(const TVector3D& V)
{
    const double q = V.X * V.X + V.Y * V.Y + V.Z * V.Z;
    if (q > 0)
        return ScaleVector3D(V, 1 / std::sqrt(q));
    return V;
}

TPoint2D MakePoint2D(double X, double Y)
{
    return {X, Y, 1};
}
TVector2D MakeVector2D(double X, double Y)
{
    return {X, Y};
}
TVector3D MakeVector3D(double X, double Y, double Z)
{
    return {X, Y, Z};
}

TVector2D PointDelta2D(const TPoint2D& P1, const TPoint2D& P2)
{
    if (P1.W != P2.W) {
        const TPoint2D a = CartesianPoint2D(P1), b = CartesianPoint2D(P2);
        return {b.X - a.X, b.Y - a.Y};
    }
    return {P2.X - P1.X, P2.Y - P1.Y};
}

double VectorLength2D(const TVector2D& V)
{
    return std::sqrt(V.X * V.X + V.Y * V.Y);
}

double VectorLength3D(const TVector3D& V)
{
    return std::sqrt(DotProduct3D(V, V));
}

double DotProduct3D(const TVector3D& A, const TVector3D& B)
{
    return A.X * B.X + A.Y * B.Y + A.Z * B.Z;
}

TVector3D CrossProduct3D(const TVector3D& A, const TVector3D& B)
{
    return {A.Y * B.Z - A.Z * B.Y, A.Z * B.X - A.X * B.Z, A.X * B.Y - A.Y * B.X};
}

TVector2D SubVector2D(const TVector2D& A, const TVector2D& B)
{
    return {A.X - B.X, A.Y - B.Y};
}

TVector3D SubVector3D(const TVector3D& A, const TVector3D& B)
{
    return {A.X - B.X, A.Y - B.Y, A.Z - B.Z};
}

TPoint2D SubPoint2D(const TPoint2D& A, const TPoint2D& B)
{
    return {A.X - B.X, A.Y - B.Y, 1};
}

TVector2D AddVector2D(const TVector2D& A, const TVector2D& B)
{
    return {A.X + B.X, A.Y + B.Y};
}

TVector3D AddVector3D(const TVector3D& A, const TVector3D& B)
{
    return {A.X + B.X, A.Y + B.Y, A.Z + B.Z};
}

TPoint2D AddPoint2D(const TPoint2D& P, const TVector2D& V)
{
    return {P.X + V.X, P.Y + V.Y, 1};
}

TVector3D ScaleVector3D(const TVector3D& V, double S)
{
    return {V.X * S, V.Y * S, V.Z * S};
}

TVector2D RotateVector2D(const TVector2D& V, double Angle)
{
    const double c = std::cos(Angle), s = std::sin(Angle);
    return {V.X * c - V.Y * s, V.X * s + V.Y * c};
}

float LinePlaneIntersect(const TVector3f& LinePoint, const TVector3f& LineDir, const TVector4f& PlanePoint,
                         const TVector4f& PlaneNormal, TVector4f& R)
{
    const TVector4f& n = PlaneNormal;
    const float d = n.X * LineDir.X + n.Y * LineDir.Y + n.Z * LineDir.Z;
    if (d == 0)
        return 0;
    const float np = n.X * PlanePoint.X + n.Y * PlanePoint.Y + n.Z * PlanePoint.Z;
    const float nl = n.X * LinePoint.X + n.Y * LinePoint.Y + n.Z * LinePoint.Z;
    const float t = (np - nl) / d;
    R = {LinePoint.X + t * LineDir.X, LinePoint.Y + t * LineDir.Y, LinePoint.Z + t * LineDir.Z, 0};
    return t;
}
