#pragma once
// The placement of an opened file (DXF, SVG, a picture): its extents and size, the scale with
// the ratio lock, the origin chosen (a corner, the centre, the file's own zero, typed or picked
// in the view) and a rotation. The placement is one matrix: each Apply first undoes the matrix
// applied before, so values can be changed and applied any number of times without adding up.
// A box in the view shows the extents of what was placed. The placement panel (TDlgOpenGeo)
// derives from it and owns the controls.
#include "QVMatrix.h"
#include "QVServices.h"
#include "QVTypes.h"
#include "SceneNodes.h"

#include <cstdint>

class TBitmap32;
class TDXF2DImport;
class TQV_01Cmp2D;
class TQV_STLSurf;

// The origin radios: the file's own zero, the extents' corners and centre.
enum TOriginChoice : int {
    ocFileZero = 0,
    ocBottomLeft = 1,
    ocTopLeft = 2,
    ocTopRight = 3,
    ocBottomRight = 4,
    ocCentre = 5,
};

class TVecRasPlacement : public TVecRasInfo {
public:
    // The drawing the placement moves; not owned. The newest placement is DlgOpenGeo until it
    // goes.
    explicit TVecRasPlacement(TQV_01Cmp2D& Drawing);
    ~TVecRasPlacement() override;
    TVecRasPlacement(const TVecRasPlacement&) = delete;
    TVecRasPlacement& operator=(const TVecRasPlacement&) = delete;

    // Set up after the file was read (the panel adds its controls and facts): DXF and SVG take
    // the drawing's extents and turn, origin at the file's zero; a picture spans its pixels,
    // sized by the resolution its file header gives, origin at the bottom-left corner.
    virtual void SetupDxf(const TDXF2DImport& Import);
    virtual void SetupSvg();
    virtual void SetupBmp(const TBitmap32& Picture);
    virtual void SetupJpeg(const TBitmap32& Picture);
    // An STL surface: the extents are its 3D box, origin at the file's zero, all three axes
    // sized together. Apply places the surface alone (scale, then the origin to (0, 0, 0)); it
    // does not turn.
    virtual void SetupStl(TQV_STLSurf& Surface);

    // What is placed spans R; the sizes follow. The scale and the origin stay.
    void SetExtents(const TRect3D& R);
    // A picture of W x H pixels: extents (0, 0)-(W, H). With a known resolution every scale
    // factor becomes one pixel in drawing units (Units 1 millimetres, else inches); a picture of
    // unknown resolution keeps one drawing unit per pixel.
    void SetImageSize(int W, int H, uint8_t Units);

    // Size typed for an axis (0 X, 1 Y, 2 Z): the scale of that axis becomes Value / its size,
    // and with the ratio lock the other two take the same factor. A size of 0 or less, one that
    // is no finite number, and an axis whose own size is 0 (nothing to scale) are refused:
    // false, and nothing changes.
    bool SetSize(int Axis, double Value);
    // The axis can be sized: what is placed has an extent along it.
    bool AxisSizable(int Axis) const;
    double ScaledSize(int Axis) const;
    void SetRatioLock(bool Lock) { RatioLock = Lock; }

    // A rotation in degrees; only files of lines (DXF, SVG) turn.
    void SetRotation(double Degrees);

    // The origin by a radio; the Z of the origin stays for the corners and the centre.
    void SetOriginByCorner(int K);
    // STL: the origin's Z at the top (maximum Z) of the extents, or at their bottom.
    void SetZOrigin(bool Top);
    // A value typed in an origin edit (scaled units): the origin of that axis becomes
    // Value / its scale and no radio is chosen any more.
    void SetOriginTyped(int Axis, double Value);
    // Adds P divided by the scale to the origin: the drawing is shown placed with the origin at
    // (0, 0), so the point picked becomes the new origin.
    void SetOriginPoint(const TPoint2D& P) override;
    TPoint3D ScaledOrigin() const;

    // The matrix the current values give; what Apply puts on the drawing.
    TMatrix4 PlacementMatrix() const;
    // Undoes the matrix applied before and applies the new one to every object of the drawing.
    // With Zoom the view then shows the drawing's extents (when AutoZoom is on).
    void Apply(bool Zoom);
    // The Apply button: Apply with zoom, then applied.
    void ApplyClick() override;
    // Done: the placement stays as applied.
    void DoneClick();
    // Apply enabled = not applied, Done enabled = applied.
    void SetApplied(bool Applied);
    bool IsApplied() const { return FApplied; }

    // The preview box: the rectangle of R in the view's 3D group, blue and half transparent,
    // made when there is none; it goes with the placement. Nothing without a view.
    void UpdatePreviewBox(const TRect3D& R);
    // The box shown, while the view keeps it; null when none.
    TLineStrip* PreviewBox() const { return static_cast<TLineStrip*>(FPreviewBox.Get()); }

    // The surface placed, while it is still in the drawing; null for other files.
    TQV_STLSurf* Surface() const;
    // The stock box takes the placed surface's box (the view has no preview box of its own).
    void UpdateStlPreviewBox();

    // The panel's origin edits show the scaled origin; nothing without a panel.
    virtual void UpdateOriginEdits() {}
    // The panel enables Apply and Done.
    virtual void AppliedChanged() {}

    TRect3D Extents;
    double SizeX = 0, SizeY = 0, SizeZ = 0;
    TPoint3D Origin;
    TPoint3D OriginTyped;
    TPoint3D Scale{1, 1, 1};
    bool OriginManual = false;
    bool RatioLock = true;
    bool AutoZoom = true;
    bool StlMode = false;
    // Only DXF and SVG files turn.
    bool RotationAllowed = false;
    uint16_t Bits = 0;
    int32_t ResolutionX = 0, ResolutionY = 0;
    double Rotation = 0;
    TMatrix4 Placement;

protected:
    TQV_01Cmp2D& Drawing;
    // The surface by its ID: a clear or an undo may free it while the panel is open.
    int32_t SurfaceID = -1;

private:
    void ApplyPlacement(bool Zoom);
    void ApplyStlPlacement(bool Zoom);
    bool FApplied = true;
    // A weak link: the view frees the box when it renews its 3D group.
    TSceneNodeHandle FPreviewBox;
};
