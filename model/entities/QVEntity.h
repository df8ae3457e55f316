#pragma once
// Primitives: drawing objects whose geometry is a list of control points (a point, a line, a
// polyline, a filled polygon; the curves build on TOutline2D). Control points are held in the
// object's own space; the world position is a point times GetModelTransform().
//
// Stream record of every primitive, after the 2D-object record: UInt16 point count, the points
// as X, Y, W Doubles, the point set's Growable byte. Subclasses append their own data after it.
#include "QVObject2D.h"
#include "QVPointsSet.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

// Picks the control points of primitives. One instance serves every primitive.
class TPrimitive2DHandler final : public TObject2DHandler {
public:
    // Each control point (through the combined transform) within the aperture square of Pt whose
    // distance is at most Dist takes the pick; equal distances go to the later index.
    int32_t PickControlPoint(const TObject2D& Obj, const TPoint2D& Pt, double& Dist, double Aperture) const override;
};

// The handler every primitive shares; made on first use, it lives for the whole run.
const TObject2DHandler* PrimitiveHandler();

class TPrimitive2D : public TObject2D {
public:
    // An empty growable set of the given capacity, the shared handler attached.
    explicit TPrimitive2D(int32_t id, int capacity = 0);
    // The same, with its own colour and line width instead of the layer's pen.
    TPrimitive2D(int32_t id, int capacity, int32_t color, uint8_t lineWidth, const TMatrix4& transform);
    TPrimitive2D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TPrimitive2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The box of the control points through the combined transform; the zero box without points.
    void ComputeBox() override;
    void SaveToStream(TStreamWriter& stream) override;
    // The 2D-object part; from another primitive the own points are emptied, and the subclass
    // copies the points it accepts.
    void Assign(const TGraphicObject& source) override;
    // A new, empty, growable control-point set of that capacity in place of the old one.
    void CreatePointsSet(int32_t capacity) override;
    // A 7 x 7 pixel square on every control point, whatever the flag.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // The screen rectangle of the control points through the combined transform.
    TRect GetScreenRect() const override;

    // Every change made through the set recomputes the box and calls the change handler.
    TPointsSet2D& Points() { return FPoints; }
    const TPointsSet2D& Points() const { return FPoints; }

protected:
    // Every primitive picks its control points through the shared handler.
    const TObject2DHandler* ClassHandler() const override { return PrimitiveHandler(); }
    // Reads the record, refusing more than maxPoints control points: a class with a fixed number
    // of points never writes more, so more means the record is not one of ours.
    TPrimitive2D(TStreamReader& stream, const std::string& versionTag, int maxPoints, const char* className);

    // Appends the points without notifying.
    void AppendPoints(std::span<const TPoint2D> points);
    // Appends the points with change events off, sets Growable, and computes the box once.
    void FillPoints(std::span<const TPoint2D> points, bool growable);
    // The source's first maxPoints points (all when negative) replace the own ones.
    void CopyPointsFrom(const TPrimitive2D& source, int maxPoints, bool growable);
    // The pick of points, lines and polylines: the box and control points first; inside the box
    // the control points as an open line give HitOutline near a segment.
    int32_t HitTestOpenLine(const TPoint2D& pt, double& dist, double aperture);

private:
    // Held in the object itself: one heap block less for each of the many small primitives.
    TPointsSet2D FPoints{0};
};

// A single point.
class TPunto2D : public TPrimitive2D {
public:
    explicit TPunto2D(int32_t id) : TPrimitive2D(id) {}
    TPunto2D(int32_t id, const TPoint2D& p);
    TPunto2D(TStreamReader& stream, const std::string& versionTag) : TPrimitive2D(stream, versionTag, 1, "TPunto2D") {}

    std::string_view ClassName() const override { return "TPunto2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    void Assign(const TGraphicObject& source) override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    // A round point of 5 pixels in its layer's pen colour, whatever UseLayerStyle says.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;
};

// A segment: control point 0 is the start, 1 the end.
class TLine2D : public TPrimitive2D {
public:
    explicit TLine2D(int32_t id) : TPrimitive2D(id) {}
    TLine2D(int32_t id, const TPoint2D& p1, const TPoint2D& p2);
    TLine2D(int32_t id, const TPoint2D& p1, const TPoint2D& p2, int32_t color, uint8_t lineWidth,
            const TMatrix4& transform);
    TLine2D(TStreamReader& stream, const std::string& versionTag) : TPrimitive2D(stream, versionTag, 2, "TLine2D") {}

    std::string_view ClassName() const override { return "TLine2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    void Assign(const TGraphicObject& source) override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;
};

// A primitive whose drawn shape (its profile) callers walk point by point. Read the profile only
// between BeginUseProfilePoints and EndUseProfilePoints: a curve builds it on demand.
class TOutline2D : public TPrimitive2D {
public:
    using TPrimitive2D::TPrimitive2D;

    std::string_view ClassName() const override { return "TOutline2D"; }

    TPointsSet2D* GetProfilePoints() override = 0;
    int32_t GetProfileCount() const override = 0;
    // Three or more profile points whose first and last are the same point within SystemTol.
    bool IsClosed() override;
};

// Brackets a use of an outline's profile, released however the use ends.
class TProfileUse {
public:
    explicit TProfileUse(TOutline2D& Outline) : Outline(Outline) { Outline.BeginUseProfilePoints(); }
    ~TProfileUse() { Outline.EndUseProfilePoints(); }
    TProfileUse(const TProfileUse&) = delete;
    TProfileUse& operator=(const TProfileUse&) = delete;

private:
    TOutline2D& Outline;
};

// An open chain of segments through its control points.
class TPolyline2D : public TOutline2D {
public:
    explicit TPolyline2D(int32_t id) : TOutline2D(id) {}
    TPolyline2D(int32_t id, std::span<const TPoint2D> points);
    TPolyline2D(int32_t id, std::span<const TPoint2D> points, int32_t color, uint8_t lineWidth,
                const TMatrix4& transform);
    TPolyline2D(TStreamReader& stream, const std::string& versionTag) : TOutline2D(stream, versionTag) {}

    std::string_view ClassName() const override { return "TPolyline2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // From a line, polyline or polygon: all its points, growable.
    void Assign(const TGraphicObject& source) override;
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    TSceneNode* BuildGLHighlightIn(TSceneGroup& group) override;
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    void DrawOverlayAt(TCanvas2D& canvas, const TMatrix4& placement) override;

    // The profile is the control-point set itself.
    TPointsSet2D* GetProfilePoints() override { return &Points(); }
    int32_t GetProfileCount() const override { return Points().Count(); }
};

// A filled area. Its closing edge is implicit: the points do not repeat the first one.
class TPolygon2D : public TPolyline2D {
public:
    using TPolyline2D::TPolyline2D;

    std::string_view ClassName() const override { return "TPolygon2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    // Polygons are display fills and are never picked.
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    bool IsClosed() override { return true; }
    // A blended fill: the layer's pen (opaque) or the own colour at half opacity. Its
    // highlight is the polyline's outline.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
};

// A 3D object whose geometry is a list of homogeneous 3D points. Stream record, after the
// 2D-object record: UInt16 point count, the points as X, Y, Z, W Doubles, the Growable byte.
class TPrimitive3D : public TObject3D {
public:
    explicit TPrimitive3D(int32_t id);
    TPrimitive3D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TPrimitive3D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The 3D box of the points through the combined transform; the zero box without points.
    void ComputeBox() override;
    void SaveToStream(TStreamWriter& stream) override;
    // The 2D-object part and, from another 3D primitive, its points.
    void Assign(const TGraphicObject& source) override;
    void CreatePointsSet(int32_t capacity) override;

    TPointsSet3D& Points() { return *FPoints; }
    const TPointsSet3D& Points() const { return *FPoints; }

private:
    void BindPoints();

    std::unique_ptr<TPointsSet3D> FPoints;
};
