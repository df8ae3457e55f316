#pragma once
// Centre-line tracing: the skeleton of the ink, cut into branches between stroke ends and
// junctions.
#include "MonoBitmap.h"
#include "QVTypes.h"

#include <functional>
#include <vector>

// Calls onChain for every branch in image coordinates (Y down, pixel centres at .5), open or
// closed. Branches that meet at a junction end at the same point.
void TraceCentreLines(const TMonoBitmap& bitmap,
                      const std::function<void(const std::vector<TVector2D>&, bool closed)>& onChain,
                      const std::function<void(double)>& progress = {});
