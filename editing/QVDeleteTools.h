#pragma once
// Two one-shot tools on a selection: delete (images stay), and polyline simplification, which
// replaces each selected polyline by one through the points a tolerance keeps (Douglas-Peucker).
// Each does all its work in its constructor and hands back the idle state.
#include "QVCADPrg.h"
#include "QVTypes.h"

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

class TObject2D;
class TPolyline2D;
class TQV_01Cmp2D;

// Deletes the objects except images, one undo record for each.
void DeleteObjects(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects);

// Deletes the selected objects except images, one undo record per object.
class TMyCancella : public TQV_00State {
public:
    TMyCancella(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Replaces the selected polylines by their simplified copies, with the tolerance of the property
// panel's first value; one undo record of the pairs, and the point counts before and after on the
// panel. Objects that are not polylines, and polylines of fewer than two points, are left alone.
class TMyRiducePoly : public TQV_00State {
public:
    TMyRiducePoly(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);

    // The total point counts of the polylines before and after.
    int32_t BeforeCount = 0, AfterCount = 0;
};

// The points of Pts that the tolerance keeps, in order: always the first and the last, and every
// point farther than Tol from the chord of the span it lies in (a point exactly at Tol is dropped).
// Fewer than two points give none. The spans are worked through with a stack of their own, so a
// long polyline does not run the call stack out.
std::vector<TVector2D> SimplifyPoints(std::span<const TVector2D> Pts, double Tol);
// A new polyline (ID -1, in the drawing's default style) through the points of P in world
// coordinates that Tol keeps.
std::unique_ptr<TPolyline2D> SimplifyPolyline(TPolyline2D& P, double Tol);
