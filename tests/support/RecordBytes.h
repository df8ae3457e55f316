#pragma once
// Pieces of object records written out by hand, as hex for HexBytes: little-endian doubles and
// the placements a 2D object stores (a 4x4 matrix from "QV-003" on, a 3x3 one up to "QV-002").
#include <string>

namespace RecordBytes {

inline const std::string D0 = "0000000000000000 ";
inline const std::string D1 = "000000000000F03F ";
inline const std::string D2 = "0000000000000040 ";
inline const std::string D3 = "0000000000000840 ";
inline const std::string DHalf = "000000000000E03F ";
inline const std::string DMinus1 = "000000000000F0BF ";

inline std::string Repeat(const std::string& s, int n)
{
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

inline const std::string Identity4 = D1 + Repeat(D0, 4) + D1 + Repeat(D0, 4) + D1 + Repeat(D0, 4) + D1;
inline const std::string Identity3 = D1 + D0 + D0 + D0 + D1 + D0 + D0 + D0 + D1;
// Translation by (2, -1).
inline const std::string Translation4 =
    D1 + Repeat(D0, 4) + D1 + Repeat(D0, 4) + D1 + D0 + D2 + DMinus1 + D0 + D1;
inline const std::string Translation3 = D1 + D0 + D0 + D0 + D1 + D0 + D2 + DMinus1 + D1;

}  // namespace RecordBytes
