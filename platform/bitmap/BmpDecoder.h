#pragma once
// Windows BMP pictures: the headers read and checked, and stored rows turned into pixels. One
// decoder serves the image entity (the BMP block of a drawing file) and the tracer (a BMP file).
//
// Read: 1-, 4- and 8-bit palette pictures, 24- and 32-bit pictures, and 32-bit BI_BITFIELDS with
// 8-bit red, green and blue masks; rows bottom-up or top-down; the 12-, 40-, 52-, 56-, 108- and
// 124-byte headers. Refused by name with ECADFileNotValid ("unsupported BMP file: ..."): RLE,
// JPEG and PNG compression, 16 bits per pixel, other bit fields and other header sizes. A damaged
// picture is an ECADFileNotValid "invalid BMP file: ...". Every size is checked against the bytes
// there are before anything is allocated.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// Largest width or height accepted; a side beyond it is refused before anything is allocated.
constexpr int MaxBmpSide = 1 << 17;

// Reads Size bytes at Offset, counted from the BMP's first byte, into Dest; raises
// ECADFileNotValid when they are not there.
using TBmpReadAt = std::function<void(uint64_t Offset, void* Dest, size_t Size)>;

class TBmpDecoder {
public:
    // Reads and checks the headers and the palette. Available: the bytes from the BMP's first
    // byte to the end of what holds it. A picture of 0 x 0 pixels is an empty one.
    TBmpDecoder(TBmpReadAt ReadAt, uint64_t Available);

    int Width() const { return W; }
    int Height() const { return H; }
    int Bits() const { return BitCount; }
    uint32_t HeaderSize() const { return HeaderBytes; }
    // Where the pixels start and where they end, counted from the BMP's first byte.
    uint64_t PixelOffset() const { return Offset; }
    uint64_t PixelEnd() const { return Offset + RowBytes() * uint64_t(H); }
    // The file size its header states (another program's block may hold more than its pixels).
    uint64_t FileSize() const { return StatedSize; }
    // A stored row, its padding included.
    uint64_t RowBytes() const { return Stride; }
    // Palette pictures: the colour of each index as 0xFFRRGGBB; indices the file gives no colour
    // are white.
    const std::array<uint32_t, 256>& Palette() const { return Colours; }

    // Calls Row for every stored row, in the order stored, with the picture row it holds (0 at
    // the top) and its RowBytes() bytes.
    void ReadRows(const std::function<void(int Row, const uint8_t* Stored)>& Row) const;
    // One stored row as Width() pixels of blue, green, red and alpha bytes. A 32-bit picture
    // keeps its fourth byte as alpha (BI_BITFIELDS only with an alpha mask); the others are
    // opaque.
    void DecodeRow(const uint8_t* Stored, uint8_t* Pixels) const;

private:
    TBmpReadAt ReadAt;
    int W = 0, H = 0, BitCount = 0;
    bool TopDown = false;
    bool AlphaByte = false;
    uint32_t HeaderBytes = 0;
    uint64_t Offset = 0, Stride = 0, StatedSize = 0;
    std::array<uint32_t, 256> Colours{};
};
