#pragma once
// What the pattern and report commands build or find, without the window: the point grid and
// the bolt circle as containers to place, the drawing report's counts, the small entities and
// the end points of the entities.
#include "QVTypes.h"

#include <cstdint>
#include <memory>
#include <vector>

class TContainer2D;
class TQV_01Cmp2D;

// A typed count as the commands take it: the fraction dropped; not a number or below 0 gives 0,
// and no count is larger than MaxPatternCount, so a mistyped 1e9 cannot hang the preview that
// follows every edit.
constexpr int32_t MaxPatternCount = 10000;
int32_t PatternCount(double Value);

// N points per row at Dx apart, M rows Dy apart, the rows along AngleDeg; the base point at the
// lower left of the rotated grid's box. Values taken in single precision.
std::unique_ptr<TContainer2D> MakePointGrid(double Dx, double Dy, double N, double M, double AngleDeg);
// K points on a circle of radius R from A0Deg in steps of StepDeg (a negative step goes the long
// way round), each with a circle of diameter D when D > 0; the base point at the box's lower left.
std::unique_ptr<TContainer2D> MakeBoltCircle(double R, double A0Deg, double StepDeg, double K, double D);

struct TDrawingReport {
    int32_t Points = 0, Lines = 0, Rectangles = 0, ArcsAndCircles = 0, Ellipses = 0, Polylines = 0,
            Splines = 0, Containers = 0, Texts = 0, Hidden = 0;
    int64_t TotalPoints = 0;
    // Zero for an empty drawing.
    TRect2D Extents{};
};
TDrawingReport MakeDrawingReport(TQV_01Cmp2D& Drawing);

// The objects narrower and lower than Threshold (points never), with their box centres.
struct TSmallEntities {
    std::vector<int32_t> IDs;
    std::vector<TVector2D> Centres;
};
TSmallEntities FindSmallEntities(TQV_01Cmp2D& Drawing, double Threshold);

// The start and end points of every visible chainable entity on a visible layer.
std::vector<TVector2D> EntityEndPoints(TQV_01Cmp2D& Drawing);
