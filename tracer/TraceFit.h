#pragma once
// Stages 4 and 5: smooth the polygon between its corners, then fit it with as few vertices as
// stay within the error threshold.
#include "QVTypes.h"

#include <vector>

// Corner cutting (Chaikin): each pass replaces every smooth vertex by the points a quarter of
// the way along its two edges; corners and the ends of an open chain stay where they are.
void SmoothPolygon(std::vector<TVector2D>& points, std::vector<char>& corner, bool closed, int iterations);

// The vertices kept (a subset of points, corners always included) such that every dropped
// point lies within tolerance of the edge that replaces it.
std::vector<TVector2D> FitWithin(const std::vector<TVector2D>& points, const std::vector<char>& corner,
                                 bool closed, double tolerance);
