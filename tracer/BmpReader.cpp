// Reads a BMP through the program's one BMP decoder and thresholds it into a monochrome bitmap.
#include "BmpReader.h"

#include "BmpDecoder.h"
#include "CADExceptions.h"

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

bool IsInk(uint32_t r, uint32_t g, uint32_t b) { return 299 * r + 587 * g + 114 * b < 128000; }

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
        throw ECADFileNotValid("invalid BMP file: the file cannot be measured");
    // The whole file in one read: the decoder asks for every row on its own, and a seek and a
    // read for each of some thousand rows cost more than the tracing of a sparse page.
    // Not cleared first: every byte is read over.
    const size_t size = static_cast<size_t>(end);
    const std::unique_ptr<char[]> file(new char[size]);
    in.seekg(0);
    in.read(file.get(), std::streamsize(end));
    if (!in || in.gcount() != end)
        throw ECADFileNotValid("invalid BMP file: the file cannot be read");
    const TBmpDecoder bmp(
        [&file, size](uint64_t offset, void* dest, size_t count) {
            if (offset > size || count > size - offset)
                throw ECADFileNotValid("invalid BMP file: the file is truncated");
            std::memcpy(dest, file.get() + offset, count);
        },
        uint64_t(end));
    const int w = bmp.Width(), h = bmp.Height();
    if (w == 0 || h == 0)
        throw ECADFileNotValid("invalid BMP file: size 0 x 0 is out of range");

    TMonoBitmap mono(w, h);
    if (bmp.Bits() == 1) {
        // Whole bytes at a time: each palette entry is ink or not, and each stored byte is
        // flipped into the bitmap's bit order.
        const auto ink = [&bmp](int i) {
            const uint32_t c = bmp.Palette()[i];
            return IsInk(c >> 16 & 0xFF, c >> 8 & 0xFF, c & 0xFF);
        };
        const uint8_t xorMask = ink(0) ? 0xFF : 0;
        const uint8_t orMask = ink(0) && ink(1) ? 0xFF : 0;
        const uint8_t andMask = ink(0) || ink(1) ? 0xFF : 0;
        const int bytes = (w + 7) / 8;
        const auto& rev = ReversedBits();
        constexpr uint64_t EveryByte = 0x0101010101010101;
        bmp.ReadRows([&](int y, const uint8_t* stored) {
            uint64_t* row = mono.Row(y);
            int i = 0;
            // Eight bytes at a time where the bytes of a word lie in the file's order: each
            // byte's bits reversed in place by swapping halves, then pairs, then neighbours.
            if constexpr (std::endian::native == std::endian::little)
                for (; i + 8 <= bytes; i += 8) {
                    uint64_t v;
                    std::memcpy(&v, stored + i, 8);
                    v = ((v ^ xorMask * EveryByte) | orMask * EveryByte) & andMask * EveryByte;
                    v = (v >> 4 & 0x0F0F0F0F0F0F0F0F) | (v & 0x0F0F0F0F0F0F0F0F) << 4;
                    v = (v >> 2 & 0x3333333333333333) | (v & 0x3333333333333333) << 2;
                    v = (v >> 1 & 0x5555555555555555) | (v & 0x5555555555555555) << 1;
                    row[i >> 3] = v;
                }
            for (; i < bytes; ++i) {
                const uint8_t b = uint8_t(((stored[i] ^ xorMask) | orMask) & andMask);
                row[i >> 3] |= uint64_t(rev[b]) << ((i & 7) * 8);
            }
            if (w & 63)
                row[(w - 1) >> 6] &= (uint64_t(1) << (w & 63)) - 1;
        });
        return mono;
    }
    std::vector<uint8_t> pixels(4 * size_t(w));
    bmp.ReadRows([&](int y, const uint8_t* stored) {
        bmp.DecodeRow(stored, pixels.data());
        uint64_t* row = mono.Row(y);
        for (int x = 0; x < w; ++x) {
            const uint8_t* p = pixels.data() + 4 * x;
            if (IsInk(p[2], p[1], p[0]))
                row[x >> 6] |= uint64_t(1) << (x & 63);
        }
    });
    return mono;
}
