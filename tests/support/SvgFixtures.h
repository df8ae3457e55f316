#pragma once
// Hostile SVG documents that the reader must refuse quickly.
#include <string>

inline std::string RepeatText(const std::string& Text, int Count)
{
    std::string s;
    s.reserve(Text.size() * static_cast<size_t>(Count));
    for (int i = 0; i < Count; ++i)
        s += Text;
    return s;
}

// "The billion laughs": ten levels of entities that each hold ten of the level below.
inline std::string SvgBillionLaughs()
{
    std::string dtd = "<!DOCTYPE svg [<!ENTITY l0 'ha'>";
    for (int i = 1; i <= 10; ++i)
        dtd += "<!ENTITY l" + std::to_string(i) + " '" + RepeatText("&l" + std::to_string(i - 1) + ";", 10) +
               "'>";
    return dtd + "]><svg><title>&l10;</title></svg>";
}

// Groups opened Count deep and never closed.
inline std::string SvgDeepGroups(int Count)
{
    return "<svg>" + RepeatText("<g>", Count);
}
