#pragma once
// The 32-bit bitmap with scan-line access that the image entity, the tracer front end and the
// scene's textured planes share. Each pixel is four bytes in memory in the order blue, green,
// red, alpha, row 0 at the top; read as a little-endian 32-bit word that is 0xAARRGGBB, so
// "B, G, R, A bytes" and "32-bit ARGB pixels" name the same memory.
//
// Qt-free code works on this interface. The program installs the QImage implementation
// (platform/bitmap/qt) through SetBitmap32Factory; without it, and in tests, bitmaps live in
// plain memory.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <thread>

// Zeroed memory for pixels. Large pictures come straight from the system as zero pages, so
// nothing touches them before their pixels are written, in huge pages where the system gives
// them, and faulted in on a thread of their own ahead of the writer: faulting in a scan of
// several hundred megabytes costs as much as decoding it.
class TPixelMemory {
public:
    TPixelMemory() = default;
    // Raises std::bad_alloc when the system refuses.
    explicit TPixelMemory(size_t Bytes);
    ~TPixelMemory();
    TPixelMemory(TPixelMemory&& Other) noexcept;
    TPixelMemory& operator=(TPixelMemory&& Other) noexcept;
    TPixelMemory(const TPixelMemory&) = delete;
    TPixelMemory& operator=(const TPixelMemory&) = delete;

    uint8_t* Data() const { return Data_; }
    size_t Size() const { return Size_; }

private:
    void Free() noexcept;
    uint8_t* Data_ = nullptr;
    size_t Size_ = 0;
    // Faults a large picture's pages in, front to back; stopped and joined before they go.
    std::jthread Populator_;
};

class TBitmap32 {
public:
    virtual ~TBitmap32() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Rows lie BytesPerLine apart, row 0 first; a row holds 4 x Width bytes.
    virtual int BytesPerLine() const = 0;
    // New size with every byte 0. A size of 0 x 0 is allowed.
    virtual void SetSize(int W, int H) = 0;
    virtual uint8_t* ScanLine(int Row) = 0;
    virtual const uint8_t* ScanLine(int Row) const = 0;
    // A bitmap of the same kind with the same pixels.
    virtual std::unique_ptr<TBitmap32> Clone() const = 0;

    bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
    // 0xAARRGGBB of one pixel.
    uint32_t Pixel(int X, int Y) const;
    void SetPixel(int X, int Y, uint32_t ARGB);
    // Same size and pixels as Source (which may be of another kind).
    void Assign(const TBitmap32& Source);
};

// Bitmap in a plain byte vector: the stand-in for tests and Qt-free tools.
class TMemoryBitmap32 final : public TBitmap32 {
public:
    TMemoryBitmap32() = default;
    TMemoryBitmap32(int W, int H) { SetSize(W, H); }

    int Width() const override { return W_; }
    int Height() const override { return H_; }
    int BytesPerLine() const override { return 4 * W_; }
    void SetSize(int W, int H) override;
    uint8_t* ScanLine(int Row) override;
    const uint8_t* ScanLine(int Row) const override;
    std::unique_ptr<TBitmap32> Clone() const override;

private:
    int W_ = 0, H_ = 0;
    TPixelMemory Bytes;
};

// Largest number of pixels a bitmap may hold (a 32,768 x 32,768 scan is 4 GiB).
inline constexpr int64_t MaxBitmapPixels = int64_t(1) << 30;

// Makes a bitmap of the installed kind, every byte 0. A negative size or one above
// MaxBitmapPixels raises ECADOutOfBound.
std::unique_ptr<TBitmap32> NewBitmap32(int W, int H);
using TBitmap32Factory = std::function<std::unique_ptr<TBitmap32>(int W, int H)>;
// An empty factory restores the in-memory bitmap.
void SetBitmap32Factory(TBitmap32Factory Factory);
// Refuses sizes NewBitmap32 would refuse; the implementations call it in SetSize.
void CheckBitmapSize(int W, int H);
