#pragma once
// Stage 2, for scans: how far the edges of a picture wander. A clean drawing's edges are
// digital lines and curves, whose straight-piece polygons turn steadily one way between
// corners and inflections. A scanner's blur, noise and threshold make edges wander by a pixel
// or so around the true line; the polygon then has wiggles, vertices that turn a little
// against both neighbours. Their number per length of edge tells clean from scanned; the noise
// is the scanner's, the same over the page, so it is judged over the whole picture.
#include "QVTypes.h"

#include <cstddef>
#include <vector>

// Vertices of a closed polygon that turn by a few degrees against both their neighbours, all
// three turns gentle.
int CountWiggles(const std::vector<TVector2D>& polygon);

class TEdgeRoughness {
public:
    // One boundary: its length in unit steps and its straight-piece polygon.
    void Add(size_t length, const std::vector<TVector2D>& polygon);
    // Wiggles per 100 pixels of edge.
    double WigglesPerHundred() const;
    // How far edges may wander around a straight piece in WanderingPolygon, in pixels; 0 when
    // the edges are clean and StraightPolygon follows them better.
    double Tolerance() const;

private:
    double Wiggles = 0, Length = 0;
};
