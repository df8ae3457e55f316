#pragma once
// Centre-line tracing: thin the ink to a one-pixel skeleton, cut it into branches between
// stroke ends and junctions, prune the spurs that outline bumps leave, move the branches to
// the middle of their strokes, place each junction where its strokes' lines cross, carry each
// stroke end to the true end, and fold the bends that thinning rounds back into corners. A
// filled shape that is no stroke gives its skeleton (its medial lines), except a compact blob
// whose skeleton shrinks to a dot or a stub shorter than the blob is wide: that one is
// reported through onBlob, and the caller traces its outline instead. A round blob is a dot
// (TraceDots): its centre goes to onDot, unless it is much wider than the picture's strokes.
#include "MonoBitmap.h"
#include "QVTypes.h"

#include <functional>
#include <vector>

// Calls onChain for every branch as a polygon of straight pieces, in image coordinates (Y down,
// pixel centres at .5), open or closed. Branches that meet at a junction start or end at the
// very same point.
void TraceCentreLines(const TMonoBitmap& bitmap,
                      const std::function<void(const std::vector<TVector2D>&, bool closed)>& onChain,
                      const std::function<void(int x, int y)>& onBlob,
                      const std::function<void(TVector2D centre)>& onDot,
                      const std::function<void(double)>& progress = {});
