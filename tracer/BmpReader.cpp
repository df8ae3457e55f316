// Every size is checked against the length of the file before memory is taken, so a damaged
// header can never ask for more than the file itself could fill.
#include "BmpReader.h"

#include "CADExceptions.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace {

[[noreturn]] void Invalid(const std::string& what) { throw ECADFileNotValid("invalid BMP file: " + what); }
[[noreturn]] void Unsupported(const std::string& what) { throw ECADFileNotValid("unsupported BMP file: " + what); }

uint32_t U16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
uint32_t U32(const uint8_t* p) { return U16(p) | U16(p + 2) << 16; }

bool IsInk(uint32_t r, uint32_t g, uint32_t b) { return 299 * r + 587 * g + 114 * b < 128000; }

void ReadAt(std::istream& in, uint64_t offset, void* buf, size_t n)
{
    in.clear();
    in.seekg(std::streamoff(offset));
    in.read(static_cast<char*>(buf), std::streamsize(n));
    if (!in || size_t(in.gcount()) != n)
        Invalid("the file is truncated");
}

const std::array<uint8_t, 256>& ReversedBits()
{
    static const std::array<uint8_t, 256> table = [] {
        std::array<uint8_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            int r = 0;
            for (int b = 0; b < 8; ++b)
                if (i & (1 << b))
                    r |= 0x80 >> b;
            t[i] = uint8_t(r);
        }
        return t;
    }();
    return table;
}

} // namespace

TMonoBitmap ReadBmp(std::istream& in)
{
    in.clear();
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end < 0)
        Invalid("the file cannot be measured");
    const uint64_t fileSize = uint64_t(end);

    uint8_t fh[18];
    if (fileSize < sizeof fh)
        Invalid("the file is too short for a header");
    ReadAt(in, 0, fh, sizeof fh);
    if (fh[0] != 'B' || fh[1] != 'M')
        Invalid("the file does not start with BM");
    const uint64_t dataOffset = U32(fh + 10);
    const uint32_t headerSize = U32(fh + 14);

    int64_t width = 0, height = 0;
    uint32_t bpp = 0, compression = 0, colours = 0;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t paletteOffset = 14 + uint64_t(headerSize);
    size_t entrySize = 4;
    if (headerSize == 12) {
        uint8_t h[8];
        ReadAt(in, 18, h, sizeof h);
        width = U16(h);
        height = U16(h + 2);
        bpp = U16(h + 6);
        entrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 || headerSize == 124) {
        uint8_t h[52];
        ReadAt(in, 18, h, headerSize >= 56 ? 52 : headerSize - 4);
        width = int32_t(U32(h));
        height = int32_t(U32(h + 4));
        bpp = U16(h + 10);
        compression = U32(h + 12);
        colours = U32(h + 28);
        if (compression == 3) {
            if (headerSize == 40) {
                uint8_t m[12];
                ReadAt(in, 54, m, sizeof m);
                for (int i = 0; i < 3; ++i)
                    masks[i] = U32(m + 4 * i);
                paletteOffset += 12;
            } else {
                for (int i = 0; i < 3; ++i)
                    masks[i] = U32(h + 36 + 4 * i);
            }
        }
    } else {
        Unsupported("header of " + std::to_string(headerSize) + " bytes");
    }

    if (bpp == 16)
        Unsupported("16 bits per pixel");
    if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 24 && bpp != 32)
        Invalid(std::to_string(bpp) + " bits per pixel");
    switch (compression) {
    case 0:
        break;
    case 1:
    case 2:
        Unsupported("RLE compression");
    case 3:
        if (bpp != 32 || masks[0] != 0xFF0000u || masks[1] != 0xFF00u || masks[2] != 0xFFu)
            Unsupported("bit fields other than 8-bit red, green and blue in 32 bits");
        break;
    case 4:
        Unsupported("JPEG compression");
    case 5:
        Unsupported("PNG compression");
    default:
        Unsupported("compression type " + std::to_string(compression));
    }
    const bool topDown = height < 0;
    if (topDown)
        height = -height;
    if (width <= 0 || height <= 0 || width > MaxBmpSide || height > MaxBmpSide)
        Invalid("size " + std::to_string(width) + " x " + std::to_string(height) + " is out of range");

    // Palette: which entries are ink. Entries missing from the file count as background.
    std::vector<uint8_t> inkIndex;
    if (bpp <= 8) {
        const uint32_t maxColours = 1u << bpp;
        if (colours == 0 || colours > maxColours)
            colours = maxColours;
        std::vector<uint8_t> pal(size_t(colours) * entrySize);
        if (paletteOffset + pal.size() > fileSize)
            Invalid("the palette is truncated");
        ReadAt(in, paletteOffset, pal.data(), pal.size());
        inkIndex.assign(maxColours, 0);
        for (uint32_t i = 0; i < colours; ++i) {
            const uint8_t* e = pal.data() + i * entrySize;
            inkIndex[i] = IsInk(e[2], e[1], e[0]);
        }
    }

    const uint64_t stride = (uint64_t(width) * bpp + 31) / 32 * 4;
    if (dataOffset > fileSize || stride * uint64_t(height) > fileSize - dataOffset)
        Invalid("the pixel data is truncated");

    const int w = int(width), h = int(height);
    TMonoBitmap bmp(w, h);
    std::vector<uint8_t> line(stride);
    const auto& rev = ReversedBits();
    in.clear();
    in.seekg(std::streamoff(dataOffset));
    for (int r = 0; r < h; ++r) {
        in.read(reinterpret_cast<char*>(line.data()), std::streamsize(stride));
        if (!in)
            Invalid("the pixel data is truncated");
        const int y = topDown ? r : h - 1 - r;
        uint64_t* row = bmp.Row(y);
        if (bpp == 1) {
            // Whole bytes at a time: flip each byte into the bitmap's bit order.
            const uint8_t xorMask = inkIndex[0] ? 0xFF : 0;
            const uint8_t orMask = inkIndex[0] && inkIndex[1] ? 0xFF : 0;
            const uint8_t andMask = inkIndex[0] || inkIndex[1] ? 0xFF : 0;
            const int bytes = (w + 7) / 8;
            for (int i = 0; i < bytes; ++i) {
                const uint8_t b = uint8_t(((line[i] ^ xorMask) | orMask) & andMask);
                row[i >> 3] |= uint64_t(rev[b]) << ((i & 7) * 8);
            }
            if (w & 63)
                row[(w - 1) >> 6] &= (uint64_t(1) << (w & 63)) - 1;
            continue;
        }
        for (int x = 0; x < w; ++x) {
            bool ink;
            switch (bpp) {
            case 4: ink = inkIndex[(line[x >> 1] >> ((x & 1) ? 0 : 4)) & 15]; break;
            case 8: ink = inkIndex[line[x]]; break;
            case 24: ink = IsInk(line[3 * x + 2], line[3 * x + 1], line[3 * x]); break;
            default: ink = IsInk(line[4 * x + 2], line[4 * x + 1], line[4 * x]); break;
            }
            if (ink)
                row[x >> 6] |= uint64_t(1) << (x & 63);
        }
    }
    return bmp;
}
