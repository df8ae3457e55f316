#pragma once
// Centre-line stage 2: the skeleton as a graph of nodes (stroke ends and junctions) and the
// branches between them, cleaned of the spurs that outline bumps and flat stroke ends leave,
// with junctions that belong to one crossing merged, and joined into chains.
#include "MonoBitmap.h"
#include "QVTypes.h"

#include <cmath>
#include <functional>
#include <vector>

struct TSkeletonNode {
    TVector2D Pos;             // an end's pixel centre, or the middle of a junction's pixels
    double Radius = 0;         // half the stroke width there
    double Spread = 0;         // how far the merged junctions around Pos reach
    std::vector<int> Branches; // live branches ending here; a loop on the node twice
};

struct TSkeletonBranch {
    int A = -1, B = -1;              // nodes at its ends; both -1 for a loop without nodes
    std::vector<TVector2D> Points;   // pixel centres from A to B, node positions included
    bool Alive = true;
};

struct TSkeletonGraph {
    std::vector<TSkeletonNode> Nodes;
    std::vector<TSkeletonBranch> Branches;
    int Degree(int node) const { return int(Nodes[size_t(node)].Branches.size()); }
};

// A run of branches through nodes of two branches: open between ends and junctions, or
// closed. A and B are the nodes at its ends (-1 when closed).
struct TSkeletonChain {
    std::vector<TVector2D> Points;
    bool Closed = false;
    int A = -1, B = -1;
};

// Half the stroke width at an ink pixel: the distance from its centre to the nearest
// background pixel's centre, less half a pixel. Found row by row from the pixel outwards
// with whole words of ink at a time, so it costs about the width, not the area.
double InkRadius(const TMonoBitmap& ink, int x, int y);

// Distance from p along the unit direction dir to the edge of the ink, to a quarter pixel;
// 0 when p is not on ink. Stops at limit.
double InkReach(const TMonoBitmap& ink, TVector2D p, TVector2D dir, double limit);

// InkReach along dir and against it; false (and nothing set) when p is not on ink.
bool InkReachBothWays(const TMonoBitmap& ink, TVector2D p, TVector2D dir, double limit, double& along,
                      double& against);

// Plain sqrt rather than hypot: centre lines measure millions of short distances, none near
// overflow.
inline double Distance(TVector2D a, TVector2D b)
{
    const double dx = a.X - b.X, dy = a.Y - b.Y;
    return std::sqrt(dx * dx + dy * dy);
}

double PolylineLength(const std::vector<TVector2D>& p);

// The point at arc length s from the start of p (the last point when p is shorter).
TVector2D PointAlong(const std::vector<TVector2D>& p, double s);

// Nodes and branches of a one-pixel skeleton of ink (used up on the way). A skeleton pixel
// without neighbours is handed to onDot (a blob thinned down to a dot).
TSkeletonGraph BuildSkeletonGraph(TMonoBitmap skeleton, const TMonoBitmap& ink,
                                  const std::function<void(int x, int y)>& onDot);

// Removes spurs: branches from a junction to a stroke end that reach less far out of the
// stroke they leave than half its width further (a bump of the outline, or the fork that a
// flat stroke end thins to). Real branches, as long as the stroke is wide, stay. A node left
// with two branches joins them into one.
void PruneSpurs(TSkeletonGraph& g, const TMonoBitmap& ink);

// Junctions joined by a branch shorter than the stroke is wide are one crossing (thinning
// splits an X into two forks): they become one node.
void MergeJunctions(TSkeletonGraph& g);

// The branches' points move into the chains.
std::vector<TSkeletonChain> JoinChains(TSkeletonGraph& g);
