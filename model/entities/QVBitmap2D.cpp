#include "QVBitmap2D.h"

#include "BmpDecoder.h"
#include "CADExceptions.h"
#include "QVDisplay.h"
#include "QVScene.h"

#include <array>
#include <cstring>
#include <limits>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

TBitmap2D* CurrentBitmap = nullptr;

namespace {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
constexpr uint32_t BlockHeaderBytes = FileHeaderBytes + InfoHeaderBytes;

}  // namespace

void WriteBitmapBlock(TStreamWriter& stream, const TBitmap32& bitmap)
{
    const uint64_t pixelBytes = 4 * uint64_t(bitmap.Width()) * uint64_t(bitmap.Height());
    if (BlockHeaderBytes + pixelBytes > std::numeric_limits<uint32_t>::max())
        throw ECADOutOfBound("TBitmap2D: the image is too large to be stored");
    stream.WriteChars("BM");
    stream.WriteUInt32(uint32_t(BlockHeaderBytes + pixelBytes));
    stream.WriteUInt32(0);
    stream.WriteUInt32(BlockHeaderBytes);
    stream.WriteUInt32(InfoHeaderBytes);
    stream.WriteInt32(bitmap.Width());
    stream.WriteInt32(-bitmap.Height());  // rows from the top down
    stream.WriteUInt16(1);
    stream.WriteUInt16(32);
    stream.WriteUInt32(0);
    stream.WriteUInt32(uint32_t(pixelBytes));
    for (int i = 0; i < 4; ++i)
        stream.WriteUInt32(0);
    const size_t rowBytes = 4 * size_t(bitmap.Width());
    for (int y = 0; y < bitmap.Height(); ++y)
        stream.WriteBytes(bitmap.ScanLine(y), rowBytes);
}

namespace {

void DecodeBitmapBlock(TStreamReader& stream, TBitmap32& bitmap)
{
    const size_t start = stream.Position();
    const TBmpDecoder bmp(
        [&stream, start](uint64_t offset, void* dest, size_t size) {
            stream.Seek(start + size_t(offset));
            stream.ReadBytes(dest, size);
        },
        stream.Size() - start);
    if (int64_t(bmp.Width()) * bmp.Height() > MaxBitmapPixels)
        stream.Fail("BMP block of " + std::to_string(bmp.Width()) + " x " + std::to_string(bmp.Height()) +
                    " pixels is too large");
    // Our own blocks end with their pixels; another program's end where their file size says,
    // so the fields after the block are read from the right place.
    uint64_t end = bmp.PixelEnd();
    const bool ours =
        bmp.Bits() == 32 && bmp.HeaderSize() == InfoHeaderBytes && bmp.PixelOffset() == BlockHeaderBytes;
    if (!ours) {
        if (bmp.FileSize() < end || bmp.FileSize() > stream.Size() - start)
            stream.Fail("BMP file size " + std::to_string(bmp.FileSize()) + " does not fit its pixels");
        end = bmp.FileSize();
    }
    bitmap.SetSize(bmp.Width(), bmp.Height());
    bmp.ReadRows([&](int row, const uint8_t* stored) { bmp.DecodeRow(stored, bitmap.ScanLine(row)); });
    stream.Seek(start + size_t(end));
}

} // namespace

void ReadBitmapBlock(TStreamReader& stream, TBitmap32& bitmap)
{
    try {
        DecodeBitmapBlock(stream, bitmap);
    } catch (const ECADFileNotValid& e) {
        // The decoder speaks of a BMP file; here the picture is part of a stream, whose reader
        // tells where it went wrong.
        constexpr std::string_view Decoder = "invalid BMP file: ";
        const std::string_view what = e.what();
        if (what.substr(0, Decoder.size()) != Decoder)
            throw;
        stream.Fail("the picture of an image is damaged, " + std::string(what.substr(Decoder.size())));
    }
}

TBitmap2D::TBitmap2D(int32_t id) : TPrimitive2D(id, 2), FOwn(NewBitmap32(0, 0)) {}

TBitmap2D::TBitmap2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, const TBitmap32& bitmap)
    : TPrimitive2D(id, 2), FOwn(bitmap.Clone())
{
    const TPoint2D corners[] = {corner1, corner2};
    FillPoints(corners, false);
}

TBitmap2D::TBitmap2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2,
                     std::shared_ptr<const TBitmap32> picture)
    : TPrimitive2D(id, 2), FShared(std::move(picture))
{
    RASTREL_ASSERT(FShared);
    const TPoint2D corners[] = {corner1, corner2};
    FillPoints(corners, false);
}

TBitmap2D::TBitmap2D(TStreamReader& stream, const std::string& versionTag)
    : TPrimitive2D(stream, versionTag, 2, "TBitmap2D"), FOwn(NewBitmap32(0, 0))
{
    if (Points().Count() != 2)
        stream.Fail("a TBitmap2D needs its two corner points, the record gives " + std::to_string(Points().Count()));
    ReadBitmapBlock(stream, *FOwn);
    if (versionTag >= "CAD422") {
        Reserved1 = stream.ReadDouble();
        Reserved2 = stream.ReadDouble();
        RasterOp = stream.ReadInt32();
    } else {
        RasterOp = 0;
    }
    Alpha = versionTag > "QV-3.2" ? stream.ReadSingle() : 0.5f;
}

TBitmap2D::~TBitmap2D()
{
    if (CurrentBitmap == this)
        CurrentBitmap = nullptr;
}

std::unique_ptr<TGraphicObject> TBitmap2D::CreateSameClass(int32_t id) const { return std::make_unique<TBitmap2D>(id); }

void TBitmap2D::SaveToStream(TStreamWriter& stream)
{
    TPrimitive2D::SaveToStream(stream);
    WriteBitmapBlock(stream, std::as_const(*this).Bitmap());
    stream.WriteDouble(Reserved1);
    stream.WriteDouble(Reserved2);
    stream.WriteInt32(RasterOp);
    stream.WriteSingle(Alpha);
}

void TBitmap2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TPrimitive2D::Assign(source);
    if (const auto* other = dynamic_cast<const TBitmap2D*>(&source)) {
        Reserved1 = other->Reserved1;
        Reserved2 = other->Reserved2;
        RasterOp = other->RasterOp;
        Alpha = other->Alpha;
        FOwn = other->Bitmap().Clone();
        FShared.reset();
        CopyPointsFrom(*other, 2, true);
    }
}

void TBitmap2D::BuildGL()
{
    if (DrawingView && DrawingView->DrawingGroup)
        BuildGLIn(*DrawingView->DrawingGroup);
}

TSceneNode* TBitmap2D::BuildGLIn(TSceneGroup& group)
{
    if (Points().Count() < 2)
        return nullptr;
    const TMatrix4 m = GetModelTransform();
    const TPoint2D p0 = MapPoint(m, Points().Get(0));
    const TPoint2D p1 = MapPoint(m, Points().Get(1));
    auto* plane = group.Add<TTexturedPlane>();
    plane->SetRect((p0.X + p1.X) / 2, (p0.Y + p1.Y) / 2, 0, p1.X - p0.X, p1.Y - p0.Y);
    plane->SetTexture(Shown());
    plane->SetColor({0, 0, 0, Alpha});
    Plane = plane->Handle();
    GLObject = Plane;
    return plane;
}

void TBitmap2D::DrawOverlay(TCanvas2D& canvas, bool)
{
    if (Points().Count() < 2)
        return;
    DrawWorldPolyline(canvas, BoxOutline(CartesianPoint2D(Points().Get(0)), CartesianPoint2D(Points().Get(1))),
                      GetModelTransform());
}

void TBitmap2D::UpdateTexture()
{
    if (auto* plane = static_cast<TTexturedPlane*>(Plane.Get())) {
        // The pixels may have become the image's own since the plane was built.
        if (plane->Texture() != Shown())
            plane->SetTexture(Shown());
        else
            plane->TextureChanged();
    }
}

TBitmap32& TBitmap2D::Bitmap()
{
    if (!FOwn) {
        FOwn = FShared->Clone();
        FShared.reset();
    }
    return *FOwn;
}

TBitmap32& TBitmap2D::BitmapToOverwrite()
{
    if (!FOwn) {
        FOwn = NewBitmap32(FShared->Width(), FShared->Height());
        FShared.reset();
    }
    return *FOwn;
}

std::shared_ptr<const TBitmap32> TBitmap2D::Shown() const
{
    if (FOwn)
        return FOwn;
    return FShared;
}
