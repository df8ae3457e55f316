// The stroke-font reader: any input either gives a font or ends in one of the core's exceptions,
// never a crash or a hang, and the glyphs it keeps never hold more points than the input could.
// A font that reads is laid out and written back: the written form is never longer than the input.
#include "CADExceptions.h"
#include "QVFonts.h"
#include "QVStream.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TStreamReader r(data, size);
    std::unique_ptr<TVectFont> font;
    try {
        font = TVectFont::CreateFromStream(r);
    } catch (const ECADCoreException&) {
        return 0;
    }

    size_t points = 0;
    for (int32_t code = 0; code < TVectFont::CharSlots; ++code) {
        const TVectChar* glyph = font->GetChar(static_cast<uint8_t>(code));
        if (!glyph)
            continue;
        for (int32_t s = 0; s < glyph->StrokesCount(); ++s)
            points += static_cast<size_t>(glyph->GetStroke(s)->Capacity());
    }
    if (points * 24 > size)
        std::abort();

    TStreamWriter w;
    font->SaveToStream(w);
    if (w.Size() > r.Position())
        std::abort();

    std::string text;
    for (int code = 1; code < 256; ++code)
        text += static_cast<char>(code);
    TVectTextParams p;
    p.HJustification = 2;
    p.VJustification = 2;
    size_t strokes = 0;
    BuildJustifiedText(font.get(), "Ab\r\ncd\rx y", {{0, 0, 1}, {10, 10, 1}}, p, IdentityMatrix,
                       [&strokes](std::span<const TPoint2D>) { ++strokes; });
    font->GetTextExtent(text, 1, 0.1, 0.02);
    return 0;
}
