#include "Bitmap32.h"

#include "CADExceptions.h"

#include <cstring>
#include <string>

uint32_t TBitmap32::Pixel(int X, int Y) const
{
    RASTREL_ASSERT(X >= 0 && X < Width() && Y >= 0 && Y < Height());
    const uint8_t* p = ScanLine(Y) + 4 * X;
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

void TBitmap32::SetPixel(int X, int Y, uint32_t ARGB)
{
    RASTREL_ASSERT(X >= 0 && X < Width() && Y >= 0 && Y < Height());
    uint8_t* p = ScanLine(Y) + 4 * X;
    p[0] = uint8_t(ARGB);
    p[1] = uint8_t(ARGB >> 8);
    p[2] = uint8_t(ARGB >> 16);
    p[3] = uint8_t(ARGB >> 24);
}

void TBitmap32::Assign(const TBitmap32& Source)
{
    if (&Source == this)
        return;
    SetSize(Source.Width(), Source.Height());
    const size_t rowBytes = 4 * size_t(Width());
    for (int y = 0; y < Height(); ++y)
        std::memcpy(ScanLine(y), Source.ScanLine(y), rowBytes);
}

void CheckBitmapSize(int W, int H)
{
    if (W < 0 || H < 0 || int64_t(W) * H > MaxBitmapPixels)
        throw ECADOutOfBound("Bitmap size out of range: " + std::to_string(W) + " x " + std::to_string(H));
}

void TMemoryBitmap32::SetSize(int W, int H)
{
    CheckBitmapSize(W, H);
    const size_t bytes = size_t(W) * size_t(H) * 4;
    Bytes = bytes ? std::make_unique<uint8_t[]>(bytes) : nullptr; // value-initialised: zeros
    W_ = W;
    H_ = H;
}

uint8_t* TMemoryBitmap32::ScanLine(int Row)
{
    RASTREL_ASSERT(Row >= 0 && Row < H_);
    return Bytes.get() + size_t(Row) * size_t(BytesPerLine());
}

const uint8_t* TMemoryBitmap32::ScanLine(int Row) const
{
    RASTREL_ASSERT(Row >= 0 && Row < H_);
    return Bytes.get() + size_t(Row) * size_t(BytesPerLine());
}

std::unique_ptr<TBitmap32> TMemoryBitmap32::Clone() const
{
    auto copy = std::make_unique<TMemoryBitmap32>();
    copy->Assign(*this);
    return copy;
}

namespace {
TBitmap32Factory& Factory()
{
    static TBitmap32Factory factory;
    return factory;
}
} // namespace

std::unique_ptr<TBitmap32> NewBitmap32(int W, int H)
{
    CheckBitmapSize(W, H);
    if (Factory())
        return Factory()(W, H);
    return std::make_unique<TMemoryBitmap32>(W, H);
}

void SetBitmap32Factory(TBitmap32Factory F)
{
    Factory() = std::move(F);
}
