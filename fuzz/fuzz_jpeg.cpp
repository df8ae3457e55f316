// The JPEG decoder on arbitrary bytes: it must refuse bad pictures with ECADFileNotValid, never
// crash or hang, and never take more memory than the pixel bound allows.
#include "CADExceptions.h"
#include "JpegDecoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // A few megapixels: enough for every form of the format, small enough for the memory limit.
    constexpr int64_t MaxPixels = int64_t(1) << 22;
    try {
        const auto bitmap = DecodeJpeg(data, size, {}, MaxPixels);
        if (int64_t(bitmap->Width()) * bitmap->Height() > MaxPixels)
            __builtin_trap();
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
