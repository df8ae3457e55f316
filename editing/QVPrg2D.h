#pragma once
// The interaction program in the plane of the drawing: it keeps the world point under the mouse,
// turns it into the point a task uses (grid snap, then object snap to end points, mid points,
// centres and point objects, with a cursor that shows what was caught), applies the orthogonal
// constraint for the tasks that ask, and completes the origin pick of the placement panel.
#include "QVCADPrg.h"

#include <cstdint>
#include <functional>

class TQV_00Prog;

using TMouse2DButtonFilter =
    std::function<void(TQV_00Prog& Sender, TQV_00State* CurrentState, TMouseButton Button,
                       const TPoint2D& WPt, int32_t X, int32_t Y)>;
using TMouse2DMoveFilter = std::function<void(TQV_00Prog& Sender, TQV_00State* CurrentState,
                                              const TPoint2D& WPt, int32_t X, int32_t Y)>;
using TCADPrg2DSnapFilter = std::function<void(TQV_00Prog& Sender, TQV_00State* CurrentState,
                                               const TPoint2D& LastPt, TPoint2D& CurrSnappedPt)>;

// What the object snap catches; the main window's snap menu sets one of them.
enum TCADSnapMode : int32_t {
    smNone = 0,
    smEndPoint = 9,
    smMidPoint = 11,
    smCenter = 13,
    smPoint = 15,
    smAuto = 17
};

// The pick aperture of the object snap, in pixels.
constexpr uint16_t SnapAperture = 10;

class TQV_00Prog : public TQV_00CADProg {
public:
    // Grid steps of 10, no snapped point yet ((1e8, 1e8)), the object snap as snap filter.
    TQV_00Prog();
    ~TQV_00Prog() override;

    TQVScene* ViewPortGL() const { return ViewPort(); }
    void SetViewPortGL(TQVScene* View) { SetViewPort(View); }

    // The world point under the mouse, unsnapped.
    void GetCursorPoint(TPoint2D& Pt) const override { Pt = CursorPoint; }
    // Made cartesian.
    void SetCursorPoint(const TPoint2D& Pt) override;
    // The point a task uses: the cursor point on the grid when Snap2Grid (steps from the world
    // origin, the quotient rounded in single precision, halves to even; a zero step leaves that
    // coordinate alone), then, while object snap is allowed and a snap mode is set, what the snap
    // filter makes of it.
    void GetSnappedPoint(TPoint2D& Pt);
    // With UseOrto, P keeps its larger offset from Ref and takes Ref's other coordinate.
    void ApplyOrtho(const TPoint2D& Ref, TPoint2D& P) const;
    // The default snap filter: the object under Pt (aperture SnapAperture, best hit) gives the
    // point of the snap mode and the cursor that shows it; nothing caught leaves Pt.
    void ObjectSnapFilter(TQV_00State* CurrentState, const TPoint2D& LastPt, TPoint2D& Pt);

    // The cursor point follows the mouse; the view's mouse-move hook hears of it.
    bool ViewPortMouseMove(TShiftState Shift, int32_t X, int32_t Y) override;
    // A left click in the idle state completes the placement panel's origin pick.
    bool ViewPortMouseDown(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;
    bool ViewPortMouseUp(TMouseButton Button, TShiftState Shift, int32_t X, int32_t Y) override;

    TPoint2D CursorPoint{0, 0, 1};
    TPoint2D LastSnappedPoint{1e8, 1e8, 1};
    TMouse2DButtonFilter MouseButtonFilter;
    TMouse2DMoveFilter MouseMoveFilter;
    TCADPrg2DSnapFilter SnapFilter;
    int32_t SnapMode = smNone;
};
