#include "MonoBitmap.h"

#include "CADExceptions.h"

#include <bit>

TMonoBitmap::TMonoBitmap(int width, int height)
{
    RASTREL_ASSERT(width >= 0 && height >= 0);
    W = width;
    H = height;
    Words = (width + 63) / 64;
    Bits.assign(size_t(Words) * size_t(height), 0);
}

TMonoBitmap::TMonoBitmap(int width, int height, std::vector<uint64_t>&& words)
    : W(width), H(height), Words((width + 63) / 64), Bits(std::move(words))
{
    RASTREL_ASSERT(width >= 0 && height >= 0 && Bits.size() >= size_t(Words) * size_t(height));
    Bits.resize(size_t(Words) * size_t(height));
}

size_t TMonoBitmap::InkCount() const
{
    size_t n = 0;
    for (uint64_t w : Bits)
        n += size_t(std::popcount(w));
    return n;
}
