#include "QVBitmap2D.h"

#include "CADExceptions.h"
#include "QVDisplay.h"
#include "QVScene.h"

#include <array>
#include <cstring>
#include <vector>
#include <limits>

TBitmap2D* CurrentBitmap = nullptr;

namespace {

constexpr uint32_t FileHeaderBytes = 14;
constexpr uint32_t InfoHeaderBytes = 40;
constexpr uint32_t BlockHeaderBytes = FileHeaderBytes + InfoHeaderBytes;

uint16_t U16At(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32At(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
int32_t I32At(const uint8_t* p) { return int32_t(U32At(p)); }

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

void ReadBitmapBlock(TStreamReader& stream, TBitmap32& bitmap)
{
    const size_t start = stream.Position();
    std::array<uint8_t, BlockHeaderBytes> h{};
    stream.ReadBytes(h.data(), h.size());
    if (h[0] != 'B' || h[1] != 'M')
        stream.Fail("the image is not a BMP block");
    const uint32_t fileSize = U32At(&h[2]);
    const uint32_t pixelOffset = U32At(&h[10]);
    const uint32_t headerSize = U32At(&h[14]);
    const int32_t width = I32At(&h[18]);
    const int32_t height = I32At(&h[22]);
    const uint16_t planes = U16At(&h[26]);
    const uint16_t bits = U16At(&h[28]);
    const uint32_t compression = U32At(&h[30]);

    if (headerSize < InfoHeaderBytes || planes != 1 || compression != 0 || (bits != 32 && bits != 24))
        stream.Fail("unsupported BMP block (header " + std::to_string(headerSize) + " bytes, " +
                    std::to_string(bits) + " bits per pixel, compression " + std::to_string(compression) + ")");
    // An empty picture is stored as 0 x 0; anything else needs a width and rows.
    const bool empty = width == 0 && height == 0;
    if (!empty && (width < 1 || height == 0 || height == std::numeric_limits<int32_t>::min()))
        stream.Fail("BMP block of " + std::to_string(width) + " x " + std::to_string(height) + " pixels");
    const int rows = height < 0 ? -height : height;
    if (int64_t(width) * rows > MaxBitmapPixels)
        stream.Fail("BMP block of " + std::to_string(width) + " x " + std::to_string(rows) + " pixels is too large");
    const uint64_t rowBytes = bits == 32 ? 4 * uint64_t(width) : (3 * uint64_t(width) + 3) / 4 * 4;
    const uint64_t pixelBytes = rowBytes * uint64_t(rows);
    if (pixelOffset < FileHeaderBytes + headerSize)
        stream.Fail("BMP pixel offset " + std::to_string(pixelOffset) + " lies inside its header");
    const uint64_t blockBytes = uint64_t(pixelOffset) + pixelBytes;
    if (blockBytes > stream.Size() - start)
        stream.Fail("BMP block of " + std::to_string(width) + " x " + std::to_string(rows) +
                    " pixels is larger than the data left");
    // Our own blocks end with their pixels; another program's end where their file size says,
    // so the fields after the block are read from the right place.
    uint64_t end = blockBytes;
    if (!(bits == 32 && headerSize == InfoHeaderBytes && pixelOffset == BlockHeaderBytes)) {
        if (fileSize < blockBytes || fileSize > stream.Size() - start)
            stream.Fail("BMP file size " + std::to_string(fileSize) + " does not fit its pixels");
        end = fileSize;
    }

    bitmap.SetSize(empty ? 0 : width, rows);
    stream.Seek(start + pixelOffset);
    std::vector<uint8_t> row(bits == 24 ? size_t(rowBytes) : 0);
    for (int i = 0; i < rows; ++i) {
        // Top-down blocks store row 0 first, bottom-up ones the bottom row first.
        uint8_t* dst = bitmap.ScanLine(height < 0 ? i : rows - 1 - i);
        if (bits == 32) {
            stream.ReadBytes(dst, size_t(rowBytes));
            continue;
        }
        stream.ReadBytes(row.data(), row.size());
        for (int x = 0; x < width; ++x) {
            std::memcpy(dst + 4 * x, row.data() + 3 * x, 3);
            dst[4 * x + 3] = 0xFF;
        }
    }
    stream.Seek(start + size_t(end));
}

TBitmap2D::TBitmap2D(int32_t id) : TPrimitive2D(id, 2), FBitmap(NewBitmap32(0, 0)) {}

TBitmap2D::TBitmap2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, const TBitmap32& bitmap)
    : TPrimitive2D(id, 2), FBitmap(bitmap.Clone())
{
    const TPoint2D corners[] = {corner1, corner2};
    FillPoints(corners, false);
}

TBitmap2D::TBitmap2D(TStreamReader& stream, const std::string& versionTag)
    : TPrimitive2D(stream, versionTag, 2, "TBitmap2D"), FBitmap(NewBitmap32(0, 0))
{
    if (Points().Count() != 2)
        stream.Fail("a TBitmap2D needs its two corner points, the record gives " + std::to_string(Points().Count()));
    ReadBitmapBlock(stream, *FBitmap);
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
    WriteBitmapBlock(stream, *FBitmap);
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
        FBitmap = other->FBitmap->Clone();
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
    plane->SetTexture(FBitmap);
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
    if (auto* plane = static_cast<TTexturedPlane*>(Plane.Get()))
        plane->TextureChanged();
}
