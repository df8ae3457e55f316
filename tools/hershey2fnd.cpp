// hershey2fnd: turns a Hershey font in the ".jhf" text form into a ".fnd" stroke font.
//
//   hershey2fnd <input.jhf> <output.fnd>
//
// A ".jhf" record is a 5-character glyph number, a 3-character count of coordinate pairs and the
// pairs, each two characters offset from 'R' (so "R" is 0). The first pair holds the glyph's left
// and right edges; " R" lifts the pen. A record may run on over several lines. Records follow
// each other from the space (code 32) up. Hershey's Y axis points down with the capitals
// standing from -12 to the baseline at 9; our glyphs stand on Y = 0 with capitals 1 high.
//
// The space is left out on purpose: text layout gives every font the same space. Glyphs keep
// their left bearing, so letters sit apart as Hershey spaced them.
#include "QVFonts.h"
#include "QVStream.h"

#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

constexpr int FirstCode = 32; // the first record is the space
constexpr int LastCode = 126; // printable ASCII; the record after it is not a character
constexpr double CapHeight = 21;
constexpr double Baseline = 9;

struct TRecord {
    std::string Pairs; // 2 characters per pair, the edges first
};

std::vector<TRecord> ReadRecords(std::istream& In)
{
    std::vector<TRecord> records;
    std::string line;
    int lineNo = 0;
    while (std::getline(In, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(' ') == std::string::npos)
            continue;
        if (line.size() < 8)
            throw std::runtime_error("line " + std::to_string(lineNo) + ": record header too short");
        const int pairs = std::stoi(line.substr(5, 3));
        if (pairs < 1)
            throw std::runtime_error("line " + std::to_string(lineNo) + ": no edge pair");
        std::string data = line.substr(8);
        while (static_cast<int>(data.size()) < 2 * pairs && std::getline(In, line)) {
            ++lineNo;
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            data += line;
        }
        if (static_cast<int>(data.size()) < 2 * pairs)
            throw std::runtime_error("line " + std::to_string(lineNo) + ": record cut short");
        records.push_back({data.substr(0, static_cast<size_t>(2 * pairs))});
    }
    return records;
}

std::unique_ptr<TVectChar> ConvertGlyph(const TRecord& Rec)
{
    const double left = Rec.Pairs[0] - 'R';
    std::vector<std::vector<TPoint2D>> strokes(1);
    for (size_t i = 2; i + 1 < Rec.Pairs.size(); i += 2) {
        if (Rec.Pairs[i] == ' ' && Rec.Pairs[i + 1] == 'R') {
            strokes.emplace_back();
            continue;
        }
        const double x = Rec.Pairs[i] - 'R';
        const double y = Rec.Pairs[i + 1] - 'R';
        strokes.back().push_back({(x - left) / CapHeight, (Baseline - y) / CapHeight, 1});
    }
    // A single point draws nothing as a line strip.
    std::erase_if(strokes, [](const auto& s) { return s.size() < 2; });

    return TVectChar::CreateFromStrokes(strokes);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: hershey2fnd <input.jhf> <output.fnd>\n");
        return 2;
    }
    try {
        std::ifstream in(argv[1]);
        if (!in)
            throw std::runtime_error("cannot open the input");
        const std::vector<TRecord> records = ReadRecords(in);
        if (records.size() < static_cast<size_t>(LastCode - FirstCode + 1))
            throw std::runtime_error("only " + std::to_string(records.size()) +
                                     " glyphs, printable ASCII needs " +
                                     std::to_string(LastCode - FirstCode + 1));

        TVectFont font;
        for (int code = FirstCode + 1; code <= LastCode; ++code) {
            auto glyph = ConvertGlyph(records[static_cast<size_t>(code - FirstCode)]);
            if (glyph->StrokesCount() > 0)
                font.SetChar(static_cast<uint8_t>(code), std::move(glyph));
        }
        TStreamWriter w;
        font.SaveToStream(w);

        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(w.Bytes().data()), static_cast<std::streamsize>(w.Size()));
        out.close();
        if (!out)
            throw std::runtime_error("cannot write the output");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "hershey2fnd: %s: %s\n", argv[1], e.what());
        std::remove(argv[2]);
        return 1;
    }
    return 0;
}
