#pragma once
// The base of every drawable object: two transforms that place it, the box that picking,
// selection and zooming use, the pick protocol, an optional own colour and a control-point
// handler that many objects share.
//
// Placement lives in the base transform. The model transform exists only while an interactive
// operation previews a change; committing it (ApplyTransform) or saving bakes it into the base.
#include "QVMatrix.h"
#include "QVSys.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

class TObject2D;

// Finds control points under the cursor for the objects it is attached to. One handler may serve
// many objects (every primitive uses the same one). Objects do not own it: whoever makes a
// handler keeps it alive while objects use it (the primitives' one lives for the whole run).
class TObject2DHandler {
public:
    TObject2DHandler() = default;
    virtual ~TObject2DHandler() = default;
    TObject2DHandler(const TObject2DHandler&) = delete;
    TObject2DHandler& operator=(const TObject2DHandler&) = delete;

    // Index of the control point of Obj within Aperture of Pt whose distance is at most Dist
    // (Dist is lowered to it), or HitMiss.
    virtual int32_t PickControlPoint(const TObject2D& Obj, const TPoint2D& Pt, double& Dist,
                                     double Aperture) const = 0;
};

class TObject2D : public TGraphicObject {
public:
    explicit TObject2D(int32_t id);
    // Drawn in its own colour and line width instead of its layer's pen, placed by Transform as
    // its model transform. For auxiliary objects in fixed colours.
    TObject2D(int32_t id, int32_t color, uint8_t lineWidth, const TMatrix4& transform);
    // The graphic-object record, then the placement: a 4x4 matrix for tags above "QV-002", a 3x3
    // one up to it.
    TObject2D(TStreamReader& stream, const std::string& versionTag);
    ~TObject2D() override;

    std::string_view ClassName() const override { return "TObject2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // Bakes the model transform into the base first, so the object leaves without one.
    void SaveToStream(TStreamWriter& stream) override;
    void Assign(const TGraphicObject& source) override;

    // Base x model: the base acts first. The identity for an object without transforms.
    TMatrix4 GetModelTransform() const override;
    // The transform that takes this object's own points into the space of an enclosing object
    // (container or block) whose combined transform is Outer: this object's transform first,
    // then Outer. Display, overlay and picking of children all compose through here, so a child
    // is shown where it is picked.
    TMatrix4 GetModelTransformIn(const TMatrix4& outer) const;

    // The exact identity drops the model transform; then the box is recomputed.
    void SetModelTransform(const TMatrix4& m) override;
    bool HasTransform() const override { return (FSide & TransformsBit) != 0; }
    // Visible and the box touches or overlaps R.
    bool IsVisibleIn(const TRect2D& r) const override;
    // Model transform := model transform x M.
    void TransformBy(const TMatrix4& m) override;
    // The combined transform becomes the base; the model transform is dropped.
    void ApplyTransform() override;
    // HitMiss when disabled; HitInsideBox within the box grown by Aperture (edges included);
    // a control point picked by the handler ranks above that.
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    // The overlay outline through M first and then the object's own transform: DrawOverlayAt
    // with that placement.
    void DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m) override;
    // The overlay outline (no control points) with Placement taking the object's own points to
    // the world in place of its own transform. Containers draw their children this way, so a
    // preview drawn every frame leaves the children, their boxes and their change events alone.
    // Nothing by default.
    virtual void DrawOverlayAt(TCanvas2D& /*canvas*/, const TMatrix4& /*placement*/) {}

    // The exact identity drops the base transform. The model transform is always dropped and
    // the box is not recomputed.
    void SetBaseTransform(const TMatrix4& m);
    void SetBaseTransform2D(const TTransform2D& t);
    // No transforms at all; the box is recomputed.
    void ResetTransform();
    // P through the inverse of the combined transform (a singular one gives P unchanged).
    TPoint2D WorldToObject(const TPoint2D& p) const;
    // Translates by Target - Origin (both made cartesian) through TransformBy.
    void MoveBy(const TPoint2D& target, const TPoint2D& origin);
    // Not owned: the handler must outlive the object, or be replaced first.
    void SetHandler(const TObject2DHandler* handler);
    void SetBox(const TRect2D& r) { Box = r; }

    // Null when the object has none (identity).
    const TMatrix4* BaseTransform() const;
    const TMatrix4* ModelTransform() const;
    const TObject2DHandler* Handler() const;

protected:
    // The handler every object of the class has unless another is set; none by default.
    virtual const TObject2DHandler* ClassHandler() const { return nullptr; }

private:
    // Which parts of its side (TSide below) the object has. Before Color, so that both fill the
    // padding at the end of the graphic-object part.
    static constexpr uint8_t OwnHandlerBit = 1, TransformsBit = 2;
    uint8_t FSide = 0;

public:
    // Own colour (0x00BBGGRR), used when UseLayerStyle is false. Not stored in files. In the
    // padding at the end of the graphic-object part.
    int32_t Color = 0;
    // Extent in world coordinates, kept by ComputeBox.
    TRect2D Box{};

    // A pick handler other than the class's and the transforms: few objects of a large drawing
    // have either, so they live in one table beside the objects, keyed by the object, and the
    // object keeps only a bit for each (FSide). Defined with the table.
    struct TSide;

private:
    TSide* Side() const;
    TSide& MakeSide();
    // Clears the bits and takes the object's row out when nothing is left in it.
    void DropSide(uint8_t bits);
    // The exact identity (or none) means no matrix; the row goes when both are gone.
    void StoreTransforms(std::optional<TMatrix4> base, std::optional<TMatrix4> model);
};

// A 2D object that also knows its extent in 3D.
class TObject3D : public TObject2D {
public:
    explicit TObject3D(int32_t id) : TObject2D(id) {}
    TObject3D(TStreamReader& stream, const std::string& versionTag) : TObject2D(stream, versionTag) {}

    std::string_view ClassName() const override { return "TObject3D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // Box3D := B, and Box := its X-Y extent.
    void SetBox3D(const TRect3D& b);

    TRect3D Box3D{};
};

// True when the drawing's version tag is one of the old ones (up to "QV-002") whose objects store
// a 3x3 transform. Tags compare byte by byte.
bool IsOldTransformTag(const std::string& versionTag);
