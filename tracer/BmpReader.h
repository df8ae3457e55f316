#pragma once
// Reads a Windows BMP into a monochrome bitmap: a pixel is ink when its colour's luminance is
// below 128 (for palette pictures, the palette entry's). The forms read and refused are those of
// the program's BMP decoder (BmpDecoder); an empty picture is refused too.
#include "MonoBitmap.h"

#include <istream>

TMonoBitmap ReadBmp(std::istream& in);
