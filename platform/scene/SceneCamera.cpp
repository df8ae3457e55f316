#include "SceneCamera.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

TSceneMatrix SceneIdentity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

TSceneMatrix SceneMultiply(const TSceneMatrix& A, const TSceneMatrix& B)
{
    TSceneMatrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            float s = 0;
            for (int k = 0; k < 4; ++k)
                s += A[size_t(4 * i + k)] * B[size_t(4 * k + j)];
            r[size_t(4 * i + j)] = s;
        }
    return r;
}

TSceneMatrix SceneMatrixFrom(const TMatrix4& M)
{
    TSceneMatrix r{};
    for (size_t i = 0; i < 16; ++i)
        r[i] = float(M.M[i]);
    return r;
}

std::array<float, 4> SceneTransform(const TVector3f& V, const TSceneMatrix& M)
{
    std::array<float, 4> c{};
    for (size_t j = 0; j < 4; ++j)
        c[j] = V.X * M[j] + V.Y * M[4 + j] + V.Z * M[8 + j] + M[12 + j];
    return c;
}

namespace {
TVector3D Sub(const TVector3D& A, const TVector3D& B)
{
    return {A.X - B.X, A.Y - B.Y, A.Z - B.Z};
}

TVector3D Translation(const TMatrix4& M)
{
    return {M.M[12], M.M[13], M.M[14]};
}

TVector3D Rotate(const TVector3D& V, const TVector3D& Axis, double Radians)
{
    // Rodrigues: the axis is a unit vector.
    const double c = std::cos(Radians), s = std::sin(Radians);
    const TVector3D k = Axis;
    const TVector3D kxv = CrossProduct3D(k, V);
    const double kv = DotProduct3D(k, V);
    return {V.X * c + kxv.X * s + k.X * kv * (1 - c), V.Y * c + kxv.Y * s + k.Y * kv * (1 - c),
            V.Z * c + kxv.Z * s + k.Z * kv * (1 - c)};
}
} // namespace

TVector3D TCameraNode::AbsolutePosition() const
{
    return Translation(AbsoluteMatrix());
}

TVector3D TCameraNode::AbsoluteTarget() const
{
    if (Target)
        return Translation(Target->AbsoluteMatrix());
    if (Parent())
        return Translation(static_cast<const TSceneNode*>(Parent())->AbsoluteMatrix());
    return {};
}

TSceneMatrix TCameraNode::ViewMatrix() const
{
    const TVector3D eye = AbsolutePosition();
    const TVector3D f = NormalizeVector3D(Sub(AbsoluteTarget(), eye));
    TVector3D s = CrossProduct3D(f, Up);
    if (VectorLength3D(s) == 0) // looking along the up vector: any right direction will do
        s = CrossProduct3D(f, TVector3D{0, 1, 0});
    s = NormalizeVector3D(s);
    const TVector3D u = CrossProduct3D(s, f);
    TSceneMatrix m = SceneIdentity();
    m[0] = float(s.X), m[4] = float(s.Y), m[8] = float(s.Z), m[12] = float(-DotProduct3D(s, eye));
    m[1] = float(u.X), m[5] = float(u.Y), m[9] = float(u.Z), m[13] = float(-DotProduct3D(u, eye));
    m[2] = float(-f.X), m[6] = float(-f.Y), m[10] = float(-f.Z), m[14] = float(DotProduct3D(f, eye));
    return m;
}

TSceneMatrix TCameraNode::ProjectionMatrix(int ViewerWidth, int ViewerHeight) const
{
    const double w = std::max(ViewerWidth, 1), h = std::max(ViewerHeight, 1);
    const double halfW = FocalLength / SceneScale / 2, halfH = halfW * h / w;
    const double zNear = 0, zFar = std::max(DepthOfView, 1e-12);
    TSceneMatrix m{};
    m[0] = float(1 / halfW);
    m[5] = float(1 / halfH);
    m[10] = float(-2 / (zFar - zNear));
    m[14] = float(-(zFar + zNear) / (zFar - zNear));
    m[15] = 1;
    return m;
}

void TCameraNode::Zoom(double F)
{
    SceneScale *= F;
    const TVector3D p = Position();
    SetPosition(p.X / F, p.Y / F, p.Z / F);
    DepthOfView /= F;
}

void TCameraNode::SetDistance(double D)
{
    const TVector3D p = NormalizeVector3D(Position());
    SetPosition(p.X * D, p.Y * D, p.Z * D);
}

void TCameraNode::Orbit(double Pitch, double Turn)
{
    // Works in the parent's coordinates, where the target is the origin (the camera rig).
    const TVector3D u = NormalizeVector3D(Up);
    TVector3D r = Position();
    const double dist = VectorLength3D(r);
    if (dist == 0)
        return;
    r = Rotate(r, u, Turn * std::numbers::pi / 180);
    const double along = DotProduct3D(r, u);
    TVector3D perp = Sub(r, ScaleVector3D(u, along));
    const double flatLen = VectorLength3D(perp);
    double perpLen = flatLen;
    if (perpLen == 0) {
        perp = CrossProduct3D(u, TVector3D{1, 0, 0});
        if (VectorLength3D(perp) == 0)
            perp = CrossProduct3D(u, TVector3D{0, 1, 0});
        perpLen = VectorLength3D(perp);
    }
    perp = ScaleVector3D(perp, 1 / perpLen);
    const double limit = std::numbers::pi / 2 - 1e-7;
    const double elevation =
        std::clamp(std::atan2(along, flatLen) + Pitch * std::numbers::pi / 180, -limit, limit);
    const TVector3D n = AddVector3D(ScaleVector3D(perp, dist * std::cos(elevation)),
                                    ScaleVector3D(u, dist * std::sin(elevation)));
    SetPosition(n.X, n.Y, n.Z);
}

// ---- viewer mapping

int32_t RoundPixel(double V)
{
    if (std::isnan(V))
        return 0;
    const double lim = double(MaxScreenCoord);
    return int32_t(std::nearbyint(std::clamp(V, -lim, lim)));
}

TSceneView::TSceneView(const TCameraNode& Camera, int Width, int Height)
    : Cam(Camera), W(Width), H(Height), MV(Camera.ViewMatrix()), P(Camera.ProjectionMatrix(Width, Height))
{
}

double TSceneView::PixelSize() const
{
    return Cam.FocalLength / Cam.SceneScale / std::max(W, 1);
}

TPoint TSceneView::VectorToScreen(const TVector3f& V) const
{
    const auto e = SceneTransform(V, MV);
    const auto c = SceneTransform({e[0], e[1], e[2]}, P);
    return {RoundPixel(W * (c[0] * 0.5 + 0.5)), RoundPixel(H - H * (c[1] * 0.5 + 0.5))};
}

TVector3D TSceneView::Unproject(double X, double Y, double Depth) const
{
    TMatrix4 all, inv;
    const TSceneMatrix mvp = SceneMultiply(MV, P);
    for (size_t i = 0; i < 16; ++i)
        all.M[i] = mvp[i];
    inv.Invert(all);
    const TPoint3D ndc{2 * X / std::max(W, 1) - 1, 2 * Y / std::max(H, 1) - 1, 2 * Depth - 1, 1};
    const TPoint3D p = inv.TransformPoint3D(ndc);
    const double w = p.W != 0 ? p.W : 1;
    return {p.X / w, p.Y / w, p.Z / w};
}

TPoint3D TSceneView::ScreenToWorld(int X, int Y) const
{
    const double wy = double(H) - Y;
    const TVector3D p0 = Unproject(X, wy, 0), p1 = Unproject(X, wy, 1);
    const TVector3D d = NormalizeVector3D(Sub(p1, p0));
    TVector4f r{float(p0.X), float(p0.Y), 0, 0};
    LinePlaneIntersect({float(p0.X), float(p0.Y), float(p0.Z)}, {float(d.X), float(d.Y), float(d.Z)},
                       {0, 0, 0, 0}, {0, 0, 1, 0}, r);
    return {r.X, r.Y, r.Z, 1};
}
