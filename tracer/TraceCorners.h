#pragma once
// Stage 3: decide which vertices of a polygon are corners that smoothing must keep.
#include "QVTypes.h"

#include <vector>

// Flags, one per point, of the corners of a closed polygon or an open chain (whose ends are
// always corners). A vertex is a corner when the outline turns there by at least
// cornerDegrees, less an allowance for the pixel grid that shrinks as the neighbouring edges
// grow. A short bevel edge between two long edges whose turn together reaches the threshold is
// folded into one corner at the meeting point of the long edges (this changes points).
std::vector<char> FindCorners(std::vector<TVector2D>& points, bool closed, double cornerDegrees);

// Turn between the incoming and the outgoing direction, in degrees (0 = straight on).
double TurnDegrees(TVector2D a, TVector2D b, TVector2D c);
