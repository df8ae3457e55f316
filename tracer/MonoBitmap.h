#pragma once
// A black-and-white picture packed one bit per pixel, rows of 64-bit words, bit x % 64 of word
// x / 64 holding pixel x. Row 0 is the top row. Set bits are ink. Padding bits stay clear, so
// whole words can be compared and scanned.
#include <cstddef>
#include <cstdint>
#include <vector>

class TMonoBitmap {
public:
    TMonoBitmap() = default;
    TMonoBitmap(int width, int height);

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

    size_t InkCount() const;
    bool operator==(const TMonoBitmap& other) const = default;

private:
    int W = 0, H = 0, Words = 0;
    std::vector<uint64_t> Bits;
};
