#include "Bitmap32.h"

#include "CADExceptions.h"
#include "ObjectMemory.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <sys/mman.h>
#include <system_error>
#include <utility>

namespace {
// Pages faulted in per call, so that a stop is seen soon.
constexpr size_t PopulateStep = size_t(8) << 20;

void PopulateAhead(const std::stop_token& Stop, uint8_t* Data, size_t Size)
{
    for (size_t at = 0; at < Size && !Stop.stop_requested(); at += PopulateStep)
        // Only a head start for the writer: a kernel without it, memory that is not mapped
        // pages, or a failure leaves the faults to the writer.
        if (::madvise(Data + at, std::min(PopulateStep, Size - at), MADV_POPULATE_WRITE) != 0)
            return;
}
} // namespace

TPixelMemory::TPixelMemory(size_t Bytes) : Size_(Bytes)
{
    if (Bytes == 0)
        return;
    // Large pictures come as zero pages, mapped in huge pages where the system gives them.
    Data_ = static_cast<uint8_t*>(AllocateLargeArray(Bytes, true));
    if (Bytes < LargeArrayMinBytes)
        return;
    try {
        Populator_ = std::jthread(PopulateAhead, Data_, Bytes);
    } catch (const std::system_error&) {
        // No thread: the writer faults the pages in.
    }
}

TPixelMemory::~TPixelMemory()
{
    Free();
}

TPixelMemory::TPixelMemory(TPixelMemory&& Other) noexcept
    : Data_(std::exchange(Other.Data_, nullptr)), Size_(std::exchange(Other.Size_, 0)),
      Populator_(std::move(Other.Populator_))
{
}

TPixelMemory& TPixelMemory::operator=(TPixelMemory&& Other) noexcept
{
    if (this != &Other) {
        Free();
        Data_ = std::exchange(Other.Data_, nullptr);
        Size_ = std::exchange(Other.Size_, 0);
        Populator_ = std::move(Other.Populator_);
    }
    return *this;
}

void TPixelMemory::Free() noexcept
{
    if (Populator_.joinable()) {
        Populator_.request_stop();
        Populator_.join();
    }
    FreeLargeArray(Data_, Size_);
    Data_ = nullptr;
    Size_ = 0;
}

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
    Bytes = TPixelMemory(size_t(W) * size_t(H) * 4);
    W_ = W;
    H_ = H;
}

uint8_t* TMemoryBitmap32::ScanLine(int Row)
{
    RASTREL_ASSERT(Row >= 0 && Row < H_);
    return Bytes.Data() + size_t(Row) * size_t(BytesPerLine());
}

const uint8_t* TMemoryBitmap32::ScanLine(int Row) const
{
    RASTREL_ASSERT(Row >= 0 && Row < H_);
    return Bytes.Data() + size_t(Row) * size_t(BytesPerLine());
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
