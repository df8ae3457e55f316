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

size_t TMonoBitmap::InkCount() const
{
    size_t n = 0;
    for (uint64_t w : Bits)
        n += size_t(std::popcount(w));
    return n;
}
