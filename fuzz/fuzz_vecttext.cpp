// Vector text records: any input either reads whole or ends in one of the reader's errors. Slot 0
// holds a small font, so some records find their font and some do not. What reads writes a
// record that reads back and writes again to the same bytes, and can be boxed, laid out and
// copied with its text part whole.
#include "CADExceptions.h"
#include "Cp1252.h"
#include "QVFonts.h"
#include "QuietWindow.h"
#include "QVServices.h"
#include "QVVectText.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

void Require(bool ok)
{
    if (!ok)
        std::abort();
}

void RegisterTestFont()
{
    TVectFont font;
    font.SetChar('A', TVectChar::CreateFromStrokes({{{0, 0, 1}, {0.3, 1, 1}, {0.6, 0, 1}}}));
    font.SetChar('g', TVectChar::CreateFromStrokes({{{0, 0.5, 1}, {0.4, -0.3, 1}}}));
    TStreamWriter w;
    font.SaveToStream(w);
    const auto file =
        std::filesystem::temp_directory_path() / ("rastrel-fuzz-font-" + std::to_string(::getpid()) + ".fnd");
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char*>(w.Bytes().data()), static_cast<std::streamsize>(w.Size()));
    }
    Require(CADCoreRegisterFontFromFile(0, file.string()));
    std::filesystem::remove(file);
}

std::vector<uint8_t> Saved(TGraphicObject& obj)
{
    TStreamWriter w;
    obj.SaveToStream(w);
    return w.TakeBytes();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static TQuietWindow window;
    static const bool ready = [] {
        SetMainWindowServices(&window);
        RegisterTestFont();
        return true;
    }();
    static_cast<void>(ready);

    TStreamReader r(data, size);
    std::unique_ptr<TJustifiedVectText2D> text;
    try {
        text = std::make_unique<TJustifiedVectText2D>(r, "QV-3.6");
    } catch (const ECADFileNotValid&) {
        return 0;
    } catch (const ECADOutOfBound&) {
        return 0;
    }

    const std::vector<uint8_t> first = Saved(*text);
    TStreamReader again(first);
    TJustifiedVectText2D back(again, "QV-3.6");
    Require(again.AtEnd());
    Require(Saved(back) == first);

    size_t strokes = 0;
    text->BuildTextGL([&strokes](std::span<const TPoint2D>) { ++strokes; });
    double dist = 0;
    Require(text->HitTest({0, 0, 1}, dist, 1) >= HitMiss);
    // The copy's text part (after the primitive's) is the same bytes.
    const std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*text);
    const std::vector<uint8_t> copied = Saved(*copy);
    const size_t tail = 4 + Utf8ToWindows1252(text->Text).size() + 4 + 3 + 24;
    Require(copied.size() >= tail && first.size() >= tail);
    Require(std::equal(copied.end() - static_cast<std::ptrdiff_t>(tail), copied.end(),
                       first.end() - static_cast<std::ptrdiff_t>(tail)));
    return 0;
}
