#include "Cp1252.h"

#include <array>
#include <cstdint>

namespace {

// Code points of the bytes 0x80-0x9F; the rest of the range equals Latin-1.
constexpr std::array<char32_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t CodePointOf(uint8_t b) { return (b >= 0x80 && b < 0xA0) ? High[b - 0x80] : b; }

void AppendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

char ByteOf(char32_t cp)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp < 0x100))
        return static_cast<char>(cp);
    for (size_t i = 0; i < High.size(); ++i)
        if (High[i] == cp)
            return static_cast<char>(0x80 + i);
    return '?';
}

// Decodes one UTF-8 sequence at text[pos], advancing pos; an invalid one yields U+FFFD and
// skips one byte.
char32_t NextCodePoint(std::string_view text, size_t& pos)
{
    const auto lead = static_cast<uint8_t>(text[pos]);
    size_t len = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        len = 2;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        len = 3;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        len = 4;
        cp = lead & 0x07;
    } else {
        ++pos;
        return 0xFFFD;
    }
    if (pos + len > text.size()) {
        ++pos;
        return 0xFFFD;
    }
    for (size_t i = 1; i < len; ++i) {
        const auto b = static_cast<uint8_t>(text[pos + i]);
        if ((b & 0xC0) != 0x80) {
            ++pos;
            return 0xFFFD;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t MinOfLength[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < MinOfLength[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp < 0xE000)) {
        ++pos;
        return 0xFFFD;
    }
    pos += len;
    return cp;
}

}  // namespace

std::string Windows1252ToUtf8(std::string_view bytes)
{
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes)
        AppendUtf8(out, CodePointOf(static_cast<uint8_t>(c)));
    return out;
}

std::string Utf8ToWindows1252(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size())
        out += ByteOf(NextCodePoint(text, pos));
    return out;
}

std::string_view Utf8Prefix(std::string_view text, size_t count)
{
    size_t pos = 0;
    for (size_t n = 0; n < count && pos < text.size(); ++n)
        NextCodePoint(text, pos);
    return text.substr(0, pos);
}
