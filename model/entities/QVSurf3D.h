#pragma once
// The drawing's 3D content: a straight 3D line, and a triangle surface read from an STL file,
// shown in the view's 3D group and saved in the drawing file as an embedded binary STL block.
//
// Stream records, after the 2D-object part: the 3D line is a 3D primitive (two points); the
// surface is one binary STL block (80-byte header, UInt32 count N, N records of 50 bytes).
#include "QVEntity.h"
#include "SceneNodes.h"

#include <memory>
#include <string>
#include <vector>

class TQV_01Cmp2D;

// A segment between its two points. Files and undo records make it; nothing draws one.
class TLine3D : public TPrimitive3D {
public:
    // No points: the copy idiom's start.
    explicit TLine3D(int32_t id);
    TLine3D(int32_t id, const TPoint3D& p0, const TPoint3D& p1);
    TLine3D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TLine3D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // A line strip between the two points through the combined transform, width 1, in the
    // layer's colour or the own one. Nothing for a record with fewer than two points.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override { return BuildGLIn(group); }
    // The same two points on the screen, joined; no control-point markers.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m) override;
    // The screen rectangle of the two points, for window selection.
    TRect GetScreenRect() const override;

private:
    // The two points through M, then the combined transform; false without two points.
    bool WorldEnds(const TMatrix4& m, TPoint3D& a, TPoint3D& b) const;
};

// A triangle mesh. The surface keeps its triangles (shared with its copies: they never change);
// the view shows a copy of them in its 3D group as a mesh node placed by the combined transform.
// The node is the view's: the surface keeps a weak link to it, builds a new one when the view
// has emptied the group, and takes its node out of the view when it is freed.
class TQV_STLSurf final : public TObject3D {
public:
    // No triangles: the copy idiom's start.
    explicit TQV_STLSurf(int32_t id);
    TQV_STLSurf(int32_t id, std::vector<TMeshTriangle> triangles);
    // A damaged block raises ECADFileNotValid before anything is allocated. Touches nothing
    // outside the object (undo images are read this way): the view learns of the surface when it
    // is built.
    TQV_STLSurf(TStreamReader& stream, const std::string& versionTag);
    ~TQV_STLSurf() override;

    std::string_view ClassName() const override { return "TQV_STLSurf"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The extents of all triangles through the combined transform; the zero box without any.
    void ComputeBox() override;
    void SaveToStream(TStreamWriter& stream) override;
    // From another surface: the 2D-object part and its triangles.
    void Assign(const TGraphicObject& source) override;
    // The mesh in the view's 3D group, made when there is none (the depth test is then switched
    // on and the stock box wraps the surface), and brought in step with the surface: the
    // combined transform, the layer's colour, shown while the surface is.
    void BuildGL() override;
    // The outline of the 3D box: lower rectangle, one vertical edge, upper rectangle.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // The screen rectangle stays (0, 0, 0, 0), and a window never selects a surface: a window
    // delete or transform would otherwise take the model the machining is set up on.
    bool WindowSelectable() const override { return false; }

    const std::vector<TMeshTriangle>& Triangles() const { return FData->Triangles; }
    // The mesh node last built; weak, since the view frees its 3D group when it renews the stock.
    TSceneNodeHandle Mesh;

private:
    struct TData {
        std::vector<TMeshTriangle> Triangles;
        // The extents of the triangles in the surface's own coordinates.
        TRect3D Extents{};
    };
    static std::shared_ptr<const TData> MakeData(std::vector<TMeshTriangle> triangles);
    std::shared_ptr<const TData> FData;
};

// The registry indices of the two classes.
constexpr int16_t Line3DClassIndex = 30;
constexpr int16_t StlSurfaceClassIndex = 31;

// Reads the STL file (binary or ASCII) and adds the surface to the drawing on its current
// layer, where it is built. An unreadable file raises ECADFileNotValid before anything is
// added. The stock box then wraps the surface.
TQV_STLSurf* AddStlSurface(TQV_01Cmp2D& drawing, const std::string& fileName);
