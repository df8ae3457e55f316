#pragma once
// The image entity: a raster picture placed between two corner points and shown in the view as a
// translucent textured rectangle under the vectors traced from it. It is saved in the drawing
// file with its pixels, as a complete 32-bit BMP image.
//
// Stream record, after the primitive record (exactly two points): the BMP block, then Reserved1
// and Reserved2 (Doubles) for tags from "CAD422" on, RasterOp (Int32) likewise, and Alpha
// (Single) for tags after "QV-3.2".
#include "Bitmap32.h"
#include "QVEntity.h"

#include <cstdint>
#include <memory>
#include <string>

class TBitmap2D : public TPrimitive2D {
public:
    // Raster operation of a plain copy, stored with every image.
    static constexpr int32_t SourceCopy = 0xCC0020;

    // No corners and an empty picture: the copy idiom's start.
    explicit TBitmap2D(int32_t id);
    // A copy of Bitmap between the corners; the point set is fixed at two points.
    TBitmap2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, const TBitmap32& bitmap);
    // Shows Picture's own pixels, shared, until the image's pixels are changed: an opened scan of
    // hundreds of megabytes is then held once, not twice.
    TBitmap2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2,
              std::shared_ptr<const TBitmap32> picture);
    // Refuses a record without exactly two points and a BMP block whose header does not fit the
    // bytes present, before anything is allocated.
    TBitmap2D(TStreamReader& stream, const std::string& versionTag);
    ~TBitmap2D() override;

    std::string_view ClassName() const override { return "TBitmap2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    void SaveToStream(TStreamWriter& stream) override;
    // From another image: the stored values, a copy of the picture and the corners (growable).
    void Assign(const TGraphicObject& source) override;

    // A textured rectangle between the corners in the view's drawing group, at opacity Alpha,
    // whatever group the caller names; it becomes Plane.
    void BuildGL() override;
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    // The rectangle's outline with the canvas's pen; control points are never marked.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // Shows changed pixels in the rectangle last built; nothing when the view has freed it.
    void UpdateTexture();

    // The image's own pixels, to change: a shared picture is copied first.
    TBitmap32& Bitmap();
    const TBitmap32& Bitmap() const { return FOwn ? *FOwn : *FShared; }
    // The image's own pixels for a caller that writes every one of them: a shared picture is not
    // copied first, so the pixels are undefined until written.
    TBitmap32& BitmapToOverwrite();

    double Reserved1 = 0;
    double Reserved2 = 0;
    int32_t RasterOp = SourceCopy;
    float Alpha = 0.5f;
    // The rectangle last built; weak, since the view frees its groups' nodes.
    TSceneNodeHandle Plane;

private:
    std::shared_ptr<const TBitmap32> Shown() const;
    // The pixels shown: the image's own, or a picture shared until they are changed. Exactly one
    // is set. Shared with the planes that show them, so a plane never shows freed pixels.
    std::shared_ptr<TBitmap32> FOwn;
    std::shared_ptr<const TBitmap32> FShared;
};

// The registry index of the image entity.
constexpr int16_t BitmapClassIndex = 12;

// The image the tracing front end works on. Weak: it is cleared when that image is freed.
extern TBitmap2D* CurrentBitmap;

// The BMP block of an image record: a 32-bit top-down BMP image of the bitmap.
void WriteBitmapBlock(TStreamWriter& stream, const TBitmap32& bitmap);
// Reads a BMP block into Bitmap through the program's BMP decoder (BmpDecoder): every form it
// reads, palette pictures and bit fields included, top-down or bottom-up. Every size is checked
// against the bytes present before the pixels are allocated; anything else is an
// ECADFileNotValid.
void ReadBitmapBlock(TStreamReader& stream, TBitmap32& bitmap);
