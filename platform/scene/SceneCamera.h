#pragma once
// The orthographic camera and the maths between the world and the viewer's pixels. Matrices are
// single precision and laid out for row vectors (p' = p x M, translation in elements 12-14),
// which is also the memory order GL expects, so the renderer passes them on unchanged.
#include "SceneNodes.h"

#include <array>

using TSceneMatrix = std::array<float, 16>;

TSceneMatrix SceneIdentity();
// A x B: A applies first.
TSceneMatrix SceneMultiply(const TSceneMatrix& A, const TSceneMatrix& B);
TSceneMatrix SceneMatrixFrom(const TMatrix4& M);
// (V, 1) x M, not divided by W.
std::array<float, 4> SceneTransform(const TVector3f& V, const TSceneMatrix& M);

// An orthographic camera: the viewer's full width shows FocalLength / SceneScale world units,
// the height follows the viewer's aspect ratio. It looks from its position (relative to its
// parent) at its target; without a target, at its parent's origin. Everything between the
// camera and DepthOfView beyond it lies between the clipping planes.
class TCameraNode : public TSceneNode {
public:
    TCameraNode() : TSceneNode(TSceneNodeKind::Camera) {}

    double FocalLength = 10;
    double SceneScale = 1;
    double DepthOfView = 100;
    TVector3D Up{0, 0, 1};
    // Not owned; must outlive the camera or be cleared (the camera rig, normally its parent).
    TSceneNode* Target = nullptr;

    TVector3D AbsolutePosition() const;
    TVector3D AbsoluteTarget() const;

    TSceneMatrix ViewMatrix() const;
    TSceneMatrix ProjectionMatrix(int ViewerWidth, int ViewerHeight) const;

    // The camera's position relative to its parent, times 1 / F, with SceneScale times F and
    // the depth of view times 1 / F: the picture grows by F around the target.
    void Zoom(double F);
    // Moves the camera around its target: Pitch degrees towards the up vector, Turn degrees
    // about it (counter-clockwise seen from above). The camera never passes over the pole.
    void Orbit(double Pitch, double Turn);
    // Keeps the direction from the target, sets the distance.
    void SetDistance(double D);
};

// A camera seen through a viewer of a given size in pixels: the mapping between world points
// and pixels (origin at the viewer's top-left corner, Y down).
class TSceneView {
public:
    TSceneView(const TCameraNode& Camera, int Width, int Height);

    int Width() const { return W; }
    int Height() const { return H; }
    const TSceneMatrix& ModelView() const { return MV; }
    const TSceneMatrix& Projection() const { return P; }

    // World units per pixel: FocalLength / SceneScale / width (a zero-width viewer counts as 1).
    double PixelSize() const;
    // Pixel of a world point, halves rounded to even; points far off screen are clamped to the
    // Int32 range instead of overflowing.
    TPoint VectorToScreen(const TVector3f& V) const;
    // World point on the plane Z = 0 under a pixel. When the viewing ray runs parallel to that
    // plane (the camera orbited edge-on), the point of the ray at the near plane, with Z = 0.
    TPoint3D ScreenToWorld(int X, int Y) const;
    // The world points under a pixel at the near (Depth 0) and far (Depth 1) clipping planes.
    TVector3D Unproject(double X, double Y, double Depth) const;

private:
    const TCameraNode& Cam;
    int W, H;
    TSceneMatrix MV, P;
};

// Pixel coordinates stay within +-MaxScreenCoord: far beyond any screen, yet far enough inside
// the Int32 range that markers and offsets drawn around a point cannot overflow.
constexpr int32_t MaxScreenCoord = int32_t(1) << 30;
// Rounds to the nearest integer, halves to even, clamped to +-MaxScreenCoord.
int32_t RoundPixel(double V);
