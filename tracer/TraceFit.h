#pragma once
// Stages 4 and 5: smooth the polygon between its corners, then fit it with as few vertices as
// stay within the error threshold.
#include "QVTypes.h"

#include <vector>

// Smoothing between corners; corners and the ends of an open chain stay where they are.
// Level 0 keeps the polygon. Level 1 replaces it by the quadratic B-spline it controls, which
// touches the middle of every edge along the edge and rounds each smooth vertex off; the
// curve comes as a dense polygon from repeated corner cutting (Chaikin). Each level above 1
// first pulls every smooth vertex towards its neighbours once more.
void SmoothPolygon(std::vector<TVector2D>& points, std::vector<char>& corner, bool closed, int level);

// The vertices kept (a subset of points, corners always included) such that every dropped
// point lies within tolerance of the edge that replaces it.
std::vector<TVector2D> FitWithin(const std::vector<TVector2D>& points, const std::vector<char>& corner,
                                 bool closed, double tolerance);
