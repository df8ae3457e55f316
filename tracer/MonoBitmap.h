#pragma once
// A black-and-white picture packed one bit per pixel, rows of 64-bit words, bit x % 64 of word
// x / 64 holding pixel x. Row 0 is the top row. Set bits are ink. Padding bits stay clear, so
// whole words can be compared and scanned.
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

class TMonoBitmap {
public:
    TMonoBitmap() = default;
    TMonoBitmap(int width, int height);
    // Takes over rows of words laid out as above (padding bits clear); words may be longer than
    // the picture needs and is cut to size, which spares a large picture a second allocation.
    TMonoBitmap(int width, int height, std::vector<uint64_t>&& words);

    int Width() const { return W; }
    int Height() const { return H; }
    int WordsPerRow() const { return Words; }

    // Outside the picture every pixel is background.
    bool Ink(int x, int y) const
    {
        if (x < 0 || y < 0 || x >= W || y >= H)
            return false;
        return (Bits[size_t(y) * Words + (x >> 6)] >> (x & 63)) & 1u;
    }
    void Set(int x, int y, bool ink)
    {
        uint64_t& w = Bits[size_t(y) * Words + (x >> 6)];
        const uint64_t m = uint64_t(1) << (x & 63);
        w = ink ? (w | m) : (w & ~m);
    }
    uint64_t* Row(int y) { return Bits.data() + size_t(y) * Words; }
    const uint64_t* Row(int y) const { return Bits.data() + size_t(y) * Words; }

    // The 3x3 block around (x, y): 9 bits, row by row from the top-left.
    unsigned Block(int x, int y) const
    {
        const int bit = x & 63;
        if (bit >= 1 && bit <= 62 && y >= 1 && y + 1 < H) {
            const uint64_t* mid = Row(y) + (x >> 6);
            const int shift = bit - 1;
            return (unsigned(mid[-Words] >> shift) & 7u) | (unsigned(mid[0] >> shift) & 7u) << 3 |
                   (unsigned(mid[Words] >> shift) & 7u) << 6;
        }
        unsigned m = 0;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (Ink(x + dx, y + dy))
                    m |= 1u << ((dy + 1) * 3 + dx + 1);
        return m;
    }

    // The eight neighbours of (x, y) as bits 0 to 7: north, then clockwise on screen.
    unsigned Neighbours(int x, int y) const { return NeighboursOfBlock(Block(x, y)); }

    // The eight neighbours in a 3x3 block as above.
    static unsigned NeighboursOfBlock(unsigned block)
    {
        static constexpr std::array<uint8_t, 512> Table = [] {
            constexpr int BitOf[8] = {1, 2, 5, 8, 7, 6, 3, 0};  // N, NE, E, SE, S, SW, W, NW
            std::array<uint8_t, 512> t{};
            for (unsigned b = 0; b < 512; ++b)
                for (int k = 0; k < 8; ++k)
                    if (b >> BitOf[k] & 1u)
                        t[b] |= uint8_t(1u << k);
            return t;
        }();
        return Table[block];
    }

    // Calls f(x, y) for every ink pixel, row by row. f may clear the pixel it is given.
    template <class F>
    void ForEachInk(F f) const
    {
        for (int y = 0; y < H; ++y)
            for (int w = 0; w < Words; ++w)
                for (uint64_t bits = Row(y)[w]; bits; bits &= bits - 1)
                    f(w * 64 + std::countr_zero(bits), y);
    }

    size_t InkCount() const;
    bool operator==(const TMonoBitmap& other) const = default;

private:
    int W = 0, H = 0, Words = 0;
    std::vector<uint64_t> Bits;
};
