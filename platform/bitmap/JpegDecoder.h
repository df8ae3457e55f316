#pragma once
// JPEG pictures decoded with libjpeg into the 32-bit bitmap: grey and colour (YCbCr, RGB, CMYK
// as the library converts them) pictures, baseline and progressive. A damaged or cut picture is
// an ECADFileNotValid "invalid JPEG file: ..." with the library's reason; nothing is allocated
// before the header is read and its size checked.
#include "Bitmap32.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Called now and then while the rows are decoded, with the rows done so far out of the height.
using TJpegProgress = std::function<void(int RowsDone, int Height)>;

// Decodes a JPEG held in memory. A picture of more than MaxPixels pixels is refused before its
// pixels are allocated (besides the bitmap's own bound); a progressive picture of more scans
// than any encoder writes is refused as damaged.
std::unique_ptr<TBitmap32> DecodeJpeg(const uint8_t* Data, size_t Size, const TJpegProgress& Progress = {},
                                      int64_t MaxPixels = MaxBitmapPixels);
