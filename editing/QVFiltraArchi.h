#pragma once
// The polyline-to-arcs filter: every visible polyline among the objects it is given becomes a
// curve of lines, the curve is arc-fitted, and the result is written out as lines and arcs,
// either into the drawing on its current layer or only as a preview. The polylines stay.
#include "QVMatrix.h"

#include <cstdint>
#include <memory>
#include <string_view>

class TACurva;
class TGraphicObjIterator;
class TPolyline2D;
class TPreviewTarget;
class TQV_01Cmp2D;

class TFiltraInArchi {
public:
    // Preview: the result goes to PreviewTarget (dropped when there is none) instead of into
    // Drawing. Neither is owned.
    TFiltraInArchi(TQV_01Cmp2D& Drawing, bool Preview, TPreviewTarget* PreviewTarget = nullptr);

    // The fit tolerance, the smallest radius (read, but it changes nothing) and the largest
    // radius of a fitted arc, as the user typed them. False, after a message box that says so,
    // when one is not a number; the values read before it are kept.
    bool SetParams(std::string_view Tolerance, std::string_view Minimum, std::string_view Maximum);
    // Fits the polylines among the iterated objects and writes the results out. The iterator is
    // released before anything is added, so it may walk the drawing itself. Needs a successful
    // SetParams. The curve tolerance is the filter's only while it runs.
    void Execute(TGraphicObjIterator It);
    // P's points through its own transform and then Matrix, as a counter-clockwise curve with
    // arcs fitted. Counts the points read; null for fewer than two points.
    std::unique_ptr<TACurva> PolylineToCurve(const TPolyline2D& P);

    double Tolerance = 0;
    double Minimum = 0;
    double Maximum = 0;
    const bool Preview;
    // Applied to every point after the polyline's own transform; not owned, null for none.
    const TMatrix4* Matrix = nullptr;
    int32_t PointsRead = 0;
    int32_t ArcCount = 0;
    int32_t LineCount = 0;

private:
    TQV_01Cmp2D& Drawing;
    TPreviewTarget* Target;
    bool ParamsSet = false;
};
