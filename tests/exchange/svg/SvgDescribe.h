#pragma once
// The SVG reader's vertices as short text, so that tests compare whole paths at a glance: each
// vertex is its command's letter and its point, "M" move, "L" line, "Q" quadratic, "C" cubic,
// "O" circle, "A" arc, "Z" close, "|" the stop between paths.
#include "SvgPathRenderer.h"
#include "SvgPathStorage.h"

#include <cstdio>
#include <string>

inline std::string DescribeVertices(const path_storage& Storage, unsigned From = 0, unsigned To = ~0u)
{
    std::string s;
    for (unsigned i = From; i < Storage.total_vertices() && i < To; ++i) {
        double x = 0, y = 0;
        const unsigned cmd = Storage.vertex(i, &x, &y);
        const char* letter = cmd == path_cmd_stop      ? "|"
                             : cmd == path_cmd_move_to ? "M"
                             : cmd == path_cmd_line_to ? "L"
                             : cmd == path_cmd_curve3  ? "Q"
                             : cmd == path_cmd_curve4  ? "C"
                             : cmd == path_cmd_circle  ? "O"
                             : cmd == path_cmd_arc     ? "A"
                             : cmd == path_cmd_close   ? "Z"
                                                       : "?";
        char text[80];
        std::snprintf(text, sizeof text, "%s%s%g,%g", s.empty() ? "" : " ", letter, x, y);
        s += text;
    }
    return s;
}

// The vertices of path I of a renderer, up to the next path.
inline std::string DescribePath(const path_renderer& R, unsigned I)
{
    const unsigned from = R.attributes(I).index;
    const unsigned to =
        I + 1 < R.attributes_count() ? R.attributes(I + 1).index : R.storage().total_vertices();
    std::string s = DescribeVertices(R.storage(), from, to);
    if (s.ends_with(" |0,0"))
        s.resize(s.size() - 5);
    return s;
}
