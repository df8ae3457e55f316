#include "BmpDecoder.h"

#include "CADExceptions.h"

#include <string>
#include <utility>
#include <vector>

namespace {

[[noreturn]] void Invalid(const std::string& what)
{
    throw ECADFileNotValid("invalid BMP file: " + what);
}
[[noreturn]] void Unsupported(const std::string& what)
{
    throw ECADFileNotValid("unsupported BMP file: " + what);
}

uint32_t U16(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8;
}
uint32_t U32(const uint8_t* p)
{
    return U16(p) | U16(p + 2) << 16;
}

constexpr uint32_t BiRgb = 0, BiRle8 = 1, BiRle4 = 2, BiBitFields = 3, BiJpeg = 4, BiPng = 5;
constexpr uint32_t White = 0xFFFFFFFF;

} // namespace

TBmpDecoder::TBmpDecoder(TBmpReadAt readAt, uint64_t available) : ReadAt(std::move(readAt))
{
    // Every read is checked against the bytes there are first.
    const auto read = [&](uint64_t offset, void* dest, size_t size, const char* what) {
        if (offset > available || size > available - offset)
            Invalid(what);
        ReadAt(offset, dest, size);
    };
    uint8_t fh[18];
    if (available < sizeof fh)
        Invalid("the file is too short for a header");
    read(0, fh, sizeof fh, "the file is truncated");
    if (fh[0] != 'B' || fh[1] != 'M')
        Invalid("the file does not start with BM");
    StatedSize = U32(fh + 2);
    Offset = U32(fh + 10);
    HeaderBytes = U32(fh + 14);

    int64_t width = 0, height = 0;
    uint32_t compression = BiRgb, colours = 0, alphaMask = 0;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t paletteOffset = 14 + uint64_t(HeaderBytes);
    size_t entrySize = 4;
    if (HeaderBytes == 12) {
        uint8_t h[8];
        read(18, h, sizeof h, "the file is truncated");
        width = U16(h);
        height = U16(h + 2);
        BitCount = int(U16(h + 6));
        entrySize = 3;
    } else if (HeaderBytes == 40 || HeaderBytes == 52 || HeaderBytes == 56 || HeaderBytes == 108 ||
               HeaderBytes == 124) {
        uint8_t h[52];
        read(18, h, HeaderBytes >= 56 ? 52 : HeaderBytes - 4, "the file is truncated");
        width = int32_t(U32(h));
        height = int32_t(U32(h + 4));
        BitCount = int(U16(h + 10));
        compression = U32(h + 12);
        colours = U32(h + 28);
        // The masks follow a 40-byte header and lie inside the larger ones, at the same place.
        if (compression == BiBitFields && HeaderBytes == 40) {
            uint8_t m[12];
            read(54, m, sizeof m, "the file is truncated");
            for (int i = 0; i < 3; ++i)
                masks[i] = U32(m + 4 * i);
            paletteOffset += 12;
        } else if (compression == BiBitFields) {
            for (int i = 0; i < 3; ++i)
                masks[i] = U32(h + 36 + 4 * i);
        }
        if (HeaderBytes >= 56)
            alphaMask = U32(h + 48);
    } else {
        Unsupported("header of " + std::to_string(HeaderBytes) + " bytes");
    }

    if (BitCount == 16)
        Unsupported("16 bits per pixel");
    if (BitCount != 1 && BitCount != 4 && BitCount != 8 && BitCount != 24 && BitCount != 32)
        Invalid(std::to_string(BitCount) + " bits per pixel");
    switch (compression) {
    case BiRgb:
        AlphaByte = BitCount == 32;
        break;
    case BiRle8:
    case BiRle4:
        Unsupported("RLE compression");
    case BiBitFields:
        if (BitCount != 32 || masks[0] != 0xFF0000u || masks[1] != 0xFF00u || masks[2] != 0xFFu)
            Unsupported("bit fields other than 8-bit red, green and blue in 32 bits");
        AlphaByte = alphaMask == 0xFF000000u;
        break;
    case BiJpeg:
        Unsupported("JPEG compression");
    case BiPng:
        Unsupported("PNG compression");
    default:
        Unsupported("compression type " + std::to_string(compression));
    }
    TopDown = height < 0;
    if (TopDown)
        height = -height;
    const bool empty = width == 0 && height == 0;
    if (!empty && (width <= 0 || height <= 0 || width > MaxBmpSide || height > MaxBmpSide))
        Invalid("size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");
    W = int(width);
    H = int(height);
    if (Offset < 14 + uint64_t(HeaderBytes))
        Invalid("the pixel data starts inside the header");

    Colours.fill(White);
    if (BitCount <= 8) {
        const uint32_t most = 1u << BitCount;
        if (colours == 0 || colours > most)
            colours = most;
        std::vector<uint8_t> entries(size_t(colours) * entrySize);
        read(paletteOffset, entries.data(), entries.size(), "the palette is truncated");
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = entries.data() + i * entrySize;
            Colours[i] = 0xFF000000u | uint32_t(e[2]) << 16 | uint32_t(e[1]) << 8 | e[0];
        }
    }

    Stride = (uint64_t(W) * uint64_t(BitCount) + 31) / 32 * 4;
    if (Offset > available || Stride * uint64_t(H) > available - Offset)
        Invalid("the pixel data is truncated");
}

void TBmpDecoder::ReadRows(const std::function<void(int Row, const uint8_t* Stored)>& Row) const
{
    std::vector<uint8_t> stored(Stride);
    for (int i = 0; i < H; ++i) {
        ReadAt(Offset + uint64_t(i) * Stride, stored.data(), stored.size());
        Row(TopDown ? i : H - 1 - i, stored.data());
    }
}

void TBmpDecoder::DecodeRow(const uint8_t* Stored, uint8_t* Pixels) const
{
    const auto put = [](uint8_t* p, uint32_t argb) {
        p[0] = uint8_t(argb);
        p[1] = uint8_t(argb >> 8);
        p[2] = uint8_t(argb >> 16);
        p[3] = uint8_t(argb >> 24);
    };
    for (int x = 0; x < W; ++x) {
        uint8_t* p = Pixels + 4 * x;
        switch (BitCount) {
        case 1:
            put(p, Colours[(Stored[x >> 3] >> (7 - (x & 7))) & 1]);
            break;
        case 4:
            put(p, Colours[(Stored[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]);
            break;
        case 8:
            put(p, Colours[Stored[x]]);
            break;
        case 24:
            p[0] = Stored[3 * x];
            p[1] = Stored[3 * x + 1];
            p[2] = Stored[3 * x + 2];
            p[3] = 0xFF;
            break;
        default:
            p[0] = Stored[4 * x];
            p[1] = Stored[4 * x + 1];
            p[2] = Stored[4 * x + 2];
            p[3] = AlphaByte ? Stored[4 * x + 3] : 0xFF;
            break;
        }
    }
}
