#pragma once
// Stage 2, for scans, in place of the straight-piece polygon: the boundary smoothed along its
// length. A scanner's blur, noise and threshold make an edge wander by a pixel or so around
// the drawing's edge, on curves as on straight runs. Each corner of the crack boundary is
// replaced by the value at its place of the least-squares parabola (x and y of the position
// along the boundary) through its neighbours on either side: a parabola follows a curve, so
// the wandering averages out without cutting into curves. The neighbours counted double in
// number while the parabola explains them to within the wandering: along a straight edge or
// an even curve they are many, where the curve changes they are few. They never reach across
// a corner of the shape, found where the boundary turns sharply within a few pixels; a
// corner becomes the meeting point of the two sides' tangents.
#include "QVTypes.h"
#include "TraceDecompose.h"

#include <vector>

// The smoothed closed polygon (image coordinates, a point per three corners of the path) with
// its corner flags, for a boundary of at least MinWanderCorners corners; wander is how far (root
// mean square, pixels) the boundary strays from the curve it follows, cornerDegrees the
// smallest turn that is a corner.
constexpr int MinWanderCorners = 24;
std::vector<TVector2D> WanderFreePolygon(const TCrackPath& path, double wander, double cornerDegrees,
                                         std::vector<char>& corner);

// How far the boundaries of a scan wander, from their spread (root mean square) around the
// parabola through 17 neighbours, at points along them; its median is that of the even
// stretches, whatever the corners. Tolerance is the wander to give WanderFreePolygon.
class TWanderEstimate {
public:
    void Add(const TCrackPath& path);
    double Tolerance();

private:
    std::vector<double> Spread;
};
