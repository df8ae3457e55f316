// The image record and its BMP block on arbitrary bytes, under a current and an old version
// tag: it either reads whole or ends in ECADFileNotValid, never takes memory the input cannot
// justify, and what reads whole writes a record that reads back to the same bytes.
#include "CADExceptions.h"
#include "QVBitmap2D.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

const char* const Tags[] = {"QV-3.6", "QV-3.2", "CAD4  "};

std::vector<uint8_t> Saved(TBitmap2D& image)
{
    TStreamWriter w;
    image.SaveToStream(w);
    return w.TakeBytes();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const char* tag = Tags[data[0] % 3];
    TStreamReader r(data + 1, size - 1);
    try {
        TBitmap2D image(r, tag);
        // Every pixel came from at least one bit of the input (a 1-bit palette picture).
        const uint64_t pixels = uint64_t(image.Bitmap().Width()) * uint64_t(image.Bitmap().Height());
        if (pixels > 8 * uint64_t(size))
            std::abort();
        const std::vector<uint8_t> once = Saved(image);
        TStreamReader again(once);
        TBitmap2D back(again, "QV-3.6");
        if (!again.AtEnd() || Saved(back) != once)
            std::abort();
    } catch (const ECADFileNotValid&) {
    }
    return 0;
}
