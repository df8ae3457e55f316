#pragma once
// Reads a Windows BMP into a monochrome bitmap: a pixel is ink when its colour's luminance is
// below 128 (for palette pictures, the palette entry's). 1-, 4-, 8-, 24- and 32-bit pictures,
// bottom-up and top-down, with the 12-, 40-, 52-, 56-, 108- and 124-byte headers. Anything
// else is refused by name with an ECADFileNotValid.
#include "MonoBitmap.h"

#include <istream>

// Largest width or height accepted; a side beyond it is refused before anything is allocated.
constexpr int MaxBmpSide = 1 << 17;

TMonoBitmap ReadBmp(std::istream& in);
