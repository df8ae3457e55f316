#pragma once
// Byte images written out by hand in the tests, as hex pairs ("01 00 FF ..."; spaces ignored).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline std::vector<uint8_t> HexBytes(std::string_view hex)
{
    std::vector<uint8_t> out;
    std::string pair;
    for (char c : hex) {
        if (c == ' ' || c == '\n')
            continue;
        pair += c;
        if (pair.size() == 2) {
            out.push_back(static_cast<uint8_t>(std::stoi(pair, nullptr, 16)));
            pair.clear();
        }
    }
    return out;
}
