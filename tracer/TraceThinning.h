#pragma once
// Centre-line stage 1: thin the ink to a one-pixel, 8-connected skeleton.
#include "MonoBitmap.h"

#include <functional>

// The skeleton of the ink: lines of one pixel along the middle of every stroke, with the
// connections and holes of the ink kept. progress gets the fraction done, up to 0.8.
TMonoBitmap ThinToSkeleton(const TMonoBitmap& bitmap, const std::function<void(double)>& progress = {});

// One thinning decision: whether pass 0 or 1 removes the ink pixel in the middle of a 3x3
// block (9 bits, row by row from the top-left); and the same decision as the tile-parallel
// thinning takes it for pixel (x, y) of a picture. The two must always agree.
bool ThinningRemoves(unsigned block, int pass);
bool ThinningRemovesAt(const TMonoBitmap& bitmap, int x, int y, int pass);
