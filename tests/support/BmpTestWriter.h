#pragma once
// Writes one picture in the BMP encodings the reader accepts (and some it refuses), so the
// tests can require the same bitmap from each.
#include "MonoBitmap.h"

#include <cstdint>
#include <string>
#include <vector>

struct TBmpEncoding {
    int Bits = 24;            // 1, 4, 8, 16, 24 or 32
    uint32_t HeaderSize = 40; // 12, 40, 108, 124 ...
    bool TopDown = false;
    bool InvertPalette = false;   // 1-bit: index 0 is white, 1 is black
    uint32_t Compression = 0;
    bool BitFields = false;        // 32-bit with explicit masks (compression 3)
};

inline void Put16(std::vector<uint8_t>& b, uint32_t v)
{
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}
inline void Put32(std::vector<uint8_t>& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// Ink pixels become a dark purple, background a light yellow (not pure black and white, so
// the luminance rule is exercised).
inline std::vector<uint8_t> EncodeBmp(const TMonoBitmap& img, const TBmpEncoding& e)
{
    const uint8_t ink[3] = {200, 20, 100}, paper[3] = {90, 180, 200};  // B, G, R
    const int w = img.Width(), h = img.Height();
    const int colours = e.Bits <= 8 ? 1 << e.Bits : 0;
    const int entry = e.HeaderSize == 12 ? 3 : 4;
    const uint32_t masksAfter = (e.BitFields && e.HeaderSize == 40) ? 12 : 0;
    const uint32_t stride = (uint32_t(w) * e.Bits + 31) / 32 * 4;
    const uint32_t offset = 14 + e.HeaderSize + masksAfter + colours * entry;
    std::vector<uint8_t> b;
    b.push_back('B');
    b.push_back('M');
    Put32(b, offset + stride * h);
    Put32(b, 0);
    Put32(b, offset);
    Put32(b, e.HeaderSize);
    if (e.HeaderSize == 12) {
        Put16(b, w);
        Put16(b, h);
        Put16(b, 1);
        Put16(b, e.Bits);
    } else {
        Put32(b, w);
        Put32(b, e.TopDown ? uint32_t(-h) : uint32_t(h));
        Put16(b, 1);
        Put16(b, e.Bits);
        Put32(b, e.BitFields ? 3 : e.Compression);
        Put32(b, stride * h);
        Put32(b, 2835);
        Put32(b, 2835);
        Put32(b, 0);
        Put32(b, 0);
        const size_t fixedEnd = b.size();
        if (e.HeaderSize > 40) {
            Put32(b, 0xFF0000);
            Put32(b, 0xFF00);
            Put32(b, 0xFF);
            Put32(b, 0xFF000000u);
        }
        b.resize(fixedEnd - 40 + e.HeaderSize, 0);
        if (masksAfter) {
            Put32(b, 0xFF0000);
            Put32(b, 0xFF00);
            Put32(b, 0xFF);
        }
    }
    // Palette: for 1 bit, the two colours (in either order); otherwise a grey ramp from black,
    // whose first half is dark.
    auto indexOf = [&](bool isInk) {
        if (e.Bits == 1)
            return isInk != e.InvertPalette ? 0 : 1;
        return isInk ? 3 : colours - 2;
    };
    for (int i = 0; i < colours; ++i) {
        uint8_t c[3];
        if (e.Bits == 1) {
            const bool isInk = (i == 0) != e.InvertPalette;
            for (int k = 0; k < 3; ++k)
                c[k] = isInk ? ink[k] : paper[k];
        } else {
            const uint8_t g = uint8_t(i * 255 / (colours - 1));
            c[0] = c[1] = c[2] = g;
        }
        for (int k = 0; k < entry; ++k)
            b.push_back(k < 3 ? c[k] : 0);
    }
    for (int r = 0; r < h; ++r) {
        const int y = e.TopDown ? r : h - 1 - r;
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < w; ++x) {
            const bool isInk = img.Ink(x, y);
            switch (e.Bits) {
            case 1: line[x / 8] |= uint8_t(indexOf(isInk) << (7 - x % 8)); break;
            case 4: line[x / 2] |= uint8_t(indexOf(isInk) << (x % 2 ? 0 : 4)); break;
            case 8: line[x] = uint8_t(indexOf(isInk)); break;
            default: {
                const int bpp = e.Bits / 8;
                for (int k = 0; k < 3 && k < bpp; ++k)
                    line[x * bpp + k] = isInk ? ink[k] : paper[k];
                if (bpp == 4)
                    line[x * bpp + 3] = 0xFF;
            }
            }
        }
        b.insert(b.end(), line.begin(), line.end());
    }
    return b;
}
