#pragma once
// Points along a chain: a number of points spread evenly along a chain by arc length, made into
// point entities or circles (holes). The preview draws them in the view's highlight group; the
// commit adds them to the drawing with one undo record.
#include "QVTypes.h"

#include <cstdint>
#include <vector>

class TACurva;
class TListaCatene;
class TPreviewTarget;
class TQV_01Cmp2D;

// The length of the chain's elements (lines and arcs) together.
double ChainLength(const TACurva& Chain);

// N points at 0, S, 2S ... along the chain with S = length / (N - 1); the last falls on the
// chain's end. Nothing for N below 2 or a chain of no length.
std::vector<TVector2D> PointsAlong(const TACurva& Chain, int32_t N);

struct TPtAlongOptions {
    int32_t Count = 0;     // txtNumPtAlong
    double HoleRadius = 0; // txtHoleDia, taken as the circles' radius
    bool Holes = false;    // chkAlHoles
    bool Points = false;   // chkAlPoints
};

// What one run made: the chain's length and spacing for the page's fields, and the entities.
struct TPtAlongResult {
    bool Computed = false;
    double Length = 0;
    double Spacing = 0;
    int32_t Entities = 0;
};

// The points of every chain of List as circles and/or point entities: handed in red to Preview
// (dropped when it is null), or, with Commit, added to the drawing's current layer with one undo
// record of new objects. A closed chain's last point repeats its first and makes nothing.
TPtAlongResult MakePointsAlong(TQV_01Cmp2D& Drawing, TListaCatene& List, const TPtAlongOptions& Options,
                               bool Commit, TPreviewTarget* Preview);
