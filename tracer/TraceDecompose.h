#pragma once
// Stage 1 of outline tracing: split the picture into closed boundaries by following the cracks
// between ink and background pixels.
#include "MonoBitmap.h"

#include <cstdint>
#include <functional>
#include <vector>

struct TPixelPoint {
    int32_t X = 0, Y = 0;
    bool operator==(const TPixelPoint&) const = default;
};

// A closed boundary: pixel corners (image coordinates, Y down), each one unit step from the
// next; the last one steps back to the first. Ink lies on the right-hand side of the walk on
// screen, so outer boundaries run clockwise on screen and holes anticlockwise.
using TCrackPath = std::vector<TPixelPoint>;

// Calls onPath once per boundary (outer ones and holes, at any nesting) with a path that is
// only valid during the call. Ink pixels touching at a corner only are joined (8-connected
// ink), the same way wherever it happens. progress gets the fraction of rows scanned. With
// startRow, only the boundaries whose first corner (their top crack's left end) lies in a row
// it accepts are found.
void DecomposeOutlines(const TMonoBitmap& bitmap, const std::function<void(const TCrackPath&)>& onPath,
                       const std::function<void(double)>& progress = {},
                       const std::function<bool(int y)>& startRow = {});

// The boundaries of the one ink shape (8-connected) that holds pixel (x, y), in the picture's
// coordinates. Its pixels are set in done, which must have the picture's size.
void DecomposeShapeAt(const TMonoBitmap& bitmap, int x, int y, TMonoBitmap& done,
                      const std::function<void(const TCrackPath&)>& onPath);
