#pragma once
// The 4x4 transform that every drawing object carries, and the small vector routines the rest of
// the geometry kernel is written on.
//
// Points are row vectors multiplied on the left (p' = p x M); the translation lives in the fourth
// row (M[12], M[13], M[14]); in a product A x B the transform A applies first.
#include "QVTypes.h"

#include <array>

class TStreamReader;
class TStreamWriter;

class TMatrix4 {
public:
    // Row-major: element (row r, column c) is M[4r + c].
    std::array<double, 16> M{1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    // While true, SetElement ignores writes; every other operation writes regardless. Never
    // copied by Assign and never streamed.
    bool Locked = false;

    constexpr TMatrix4() = default;

    static TMatrix4 CreateFrom2D(const TTransform2D& T);
    static TMatrix4 CreateTranslation(double DX, double DY, double DZ);
    static TMatrix4 CreateRotation(bool InDegrees, double Angle);
    static TMatrix4 CreateScale(double SX, double SY, double SZ);
    // 0: Y negated; 1: X negated; 2: both; anything else: identity.
    static TMatrix4 CreateMirror(int Mode);

    double GetElement(int Index) const;
    void SetElement(int Index, double Value);
    void LoadIdentity();
    // Copies the 16 elements (not Locked); a null source makes Self the identity.
    void Assign(const TMatrix4* Source);
    void SetTranslation(double DX, double DY, double DZ);

    // Self := A x B. Self may be A or B.
    void Multiply(const TMatrix4& A, const TMatrix4& B);
    void Translate(double DX, double DY, double DZ);
    void Rotate(bool InDegrees, double Angle);
    void Mirror(int Mode);
    void Scale(double SX, double SY, double SZ);
    // Self := rotation by -Angle degrees x Self: a point is turned clockwise first.
    void PreRotateDeg(double Angle);
    // Self := inverse of Source, or the identity when Source is singular. Self may be Source.
    void Invert(const TMatrix4& Source);

    // P x M in homogeneous form, not divided by W.
    TPoint2D TransformPoint2D(const TPoint2D& P) const;
    TPoint3D TransformPoint3D(const TPoint3D& P) const;

    // All 16 elements exactly equal, no tolerance.
    bool IsEqual(const TMatrix4& Other) const;
    // True when the fourth column is exactly (0, 0, 0, 1).
    bool IsAffine() const { return M[3] == 0 && M[7] == 0 && M[11] == 0 && M[15] == 1; }

    // Exactly 128 bytes: M[0]..M[15] as little-endian Doubles.
    void SaveToStream(TStreamWriter& W) const;
    void LoadFromStream(TStreamReader& R);
};

// Objects without a transform of their own use this; callers compare against it with IsEqual.
inline constexpr TMatrix4 IdentityMatrix{};

// Single-precision vectors of the view's scene.
struct TVector3f {
    float X = 0, Y = 0, Z = 0;
};

struct TVector4f {
    float X = 0, Y = 0, Z = 0, W = 0;
};

TPoint2D CartesianPoint2D(const TPoint2D& P);
TPoint3D CartesianPoint3D(const TPoint3D& P);
TVector2D NormalizeVector2D(const TVector2D& V);
TVector3D NormalizeVector3D(const TVector3D& V);
TPoint2D MakePoint2D(double X, double Y);
TVector2D MakeVector2D(double X, double Y);
TVector3D MakeVector3D(double X, double Y, double Z);
TVector2D PointDelta2D(const TPoint2D& P1, const TPoint2D& P2);
double VectorLength2D(const TVector2D& V);
double VectorLength3D(const TVector3D& V);
double DotProduct3D(const TVector3D& A, const TVector3D& B);
TVector3D CrossProduct3D(const TVector3D& A, const TVector3D& B);
TVector2D SubVector2D(const TVector2D& A, const TVector2D& B);
TVector3D SubVector3D(const TVector3D& A, const TVector3D& B);
TPoint2D SubPoint2D(const TPoint2D& A, const TPoint2D& B);
TVector2D AddVector2D(const TVector2D& A, const TVector2D& B);
TVector3D AddVector3D(const TVector3D& A, const TVector3D& B);
TPoint2D AddPoint2D(const TPoint2D& P, const TVector2D& V);
TVector3D ScaleVector3D(const TVector3D& V, double S);
TVector2D RotateVector2D(const TVector2D& V, double Angle);

// Intersection of a line with a plane, in single precision. Returns the line parameter t and
// sets R = LinePoint + t * LineDir (R.W = 0); a line parallel to the plane returns 0 and leaves R.
float LinePlaneIntersect(const TVector3f& LinePoint, const TVector3f& LineDir, const TVector4f& PlanePoint,
                         const TVector4f& PlaneNormal, TVector4f& R);
