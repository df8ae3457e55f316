#pragma once
// Small STL fixtures: the twelve triangles of a box, as a mesh, ASCII STL text or a binary file.
#include "SceneStl.h"

#include <array>
#include <cstdio>
#include <string>
#include <vector>

// The 12 triangles of the box (x1, y1, z1)-(x2, y2, z2), outward normals.
inline std::vector<TMeshTriangle> BoxMesh(double x1, double y1, double z1, double x2, double y2, double z2)
{
    const auto v = [&](int i) {
        return TVector3f{float(i & 1 ? x2 : x1), float(i & 2 ? y2 : y1), float(i & 4 ? z2 : z1)};
    };
    const int faces[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                             {2, 6, 7, 3}, {0, 4, 6, 2}, {1, 3, 7, 5}};
    std::vector<TMeshTriangle> out;
    for (const auto& f : faces)
        for (const auto& t : {std::array<int, 3>{f[0], f[1], f[2]}, std::array<int, 3>{f[0], f[2], f[3]}}) {
            TMeshTriangle tri;
            for (size_t k = 0; k < 3; ++k)
                tri.V[k] = v(t[k]);
            tri.Normal = TriangleNormal(tri.V[0], tri.V[1], tri.V[2]);
            out.push_back(tri);
        }
    return out;
}

// The triangles as ASCII STL text of one solid.
inline std::string AsciiStl(const std::vector<TMeshTriangle>& triangles)
{
    std::string text = "solid box\n";
    char line[128];
    for (const TMeshTriangle& t : triangles) {
        std::snprintf(line, sizeof line, " facet normal %g %g %g\n  outer loop\n", t.Normal.X, t.Normal.Y,
                      t.Normal.Z);
        text += line;
        for (const TVector3f& p : t.V) {
            std::snprintf(line, sizeof line, "   vertex %g %g %g\n", p.X, p.Y, p.Z);
            text += line;
        }
        text += "  endloop\n endfacet\n";
    }
    return text + "endsolid box\n";
}
