#pragma once
// Stage 2 of outline tracing: replace a crack boundary by a polygon of straight pieces, each
// covering a run of the staircase that a straight line explains to within one pixel, with the
// vertices moved onto the least-squares lines of the neighbouring pieces.
#include "QVTypes.h"
#include "TraceDecompose.h"

#include <vector>

// The closed polygon of a crack boundary, in image coordinates (no repeated first point).
std::vector<TVector2D> StraightPolygon(const TCrackPath& path);

// The closed polygon of a boundary whose edges wander around their true lines, as a scan's do:
// pieces as long as a least-squares line keeps all their corners within tolerance of it, and
// vertices where the lines of neighbouring pieces meet. The line of a long piece averages the
// wandering out.
std::vector<TVector2D> WanderingPolygon(const TCrackPath& path, double tolerance);
