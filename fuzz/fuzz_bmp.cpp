// The BMP reader of the tracer on arbitrary bytes: it must refuse bad files with
// ECADFileNotValid, never crash, hang or take memory the file cannot justify.
#include "BmpReader.h"
#include "CADExceptions.h"

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    try {
        const TMonoBitmap bmp = ReadBmp(in);
        // A bitmap is never larger than the pixel data that filled it.
        if (size_t(bmp.WordsPerRow()) * 8 * size_t(bmp.Height()) > 8 * size + 64 * size_t(bmp.Height()))
            __builtin_trap();
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
