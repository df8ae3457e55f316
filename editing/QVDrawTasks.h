#pragma once
// The drawing tasks: a drawing command makes the new entity, wraps it in a parameter and starts
// one of these states. The task moves the entity's control points with the snapped cursor, shows
// it as the view's rubber band, and when the last point is clicked (or Done) adds it to the
// drawing with one undo record of new objects, or hands it to the parameter's AfterState. Until
// then the parameter owns the entity, so a cancel or a stop frees it and leaves nothing behind.
//
// An entity that has no shape when it is completed (a line of one point, a circle of radius 0,
// a polyline of one vertex, three points on one line) is not added: the task ends as if
// cancelled.
#include "QVCADPrg.h"

#include <array>
#include <cstdint>
#include <memory>

class TArco2D;
class TContainer2D;
class TEllipseOpen2D;
class TObject2D;
class TPrimitive2D;
class TQV_00Prog;

// What every drawing task's parameter holds: the entity, owned until it is added or handed on.
class TQV_40EntityParam : public TQV_00CommonParam {
public:
    TQV_40EntityParam(TCADStateClass AfterState, std::unique_ptr<TObject2D> Entity);
    ~TQV_40EntityParam() override;

    std::unique_ptr<TObject2D> Entity;
};

// A finished object placed with the cursor.
class TQV_40PositionObjectParam : public TQV_40EntityParam {
public:
    using TQV_40EntityParam::TQV_40EntityParam;
    TObject2D* Obj() const { return Entity.get(); }
};

// A primitive drawn point by point: CurrentPoint is the point that follows the cursor.
class TQV_40DrawUnSizedPrimitiveParam : public TQV_40EntityParam {
public:
    TQV_40DrawUnSizedPrimitiveParam(TCADStateClass AfterState, std::unique_ptr<TPrimitive2D> Primitive,
                                    uint16_t CurrentPoint, bool OrtoAllowed);
    TPrimitive2D& Primitive() const;

    uint16_t CurrentPoint;
    bool OrtoAllowed;
};

// A primitive of a fixed number of control points (point, line, rectangle, circle, ellipse).
class TQV_40DrawSizedPrimitiveParam : public TQV_40DrawUnSizedPrimitiveParam {
public:
    // PointsCount: the control points the primitive has now.
    TQV_40DrawSizedPrimitiveParam(TCADStateClass AfterState, std::unique_ptr<TPrimitive2D> Primitive,
                                  uint16_t CurrentPoint, bool OrtoAllowed);
    uint16_t PointsCount;
};

// An elliptic arc by the corners of its box and its two angle points.
class TQV_40DrawEOPrimitiveParam : public TQV_40EntityParam {
public:
    TQV_40DrawEOPrimitiveParam(TCADStateClass AfterState, std::unique_ptr<TEllipseOpen2D> Primitive);
    TEllipseOpen2D& Primitive() const;
    uint16_t CurrentPoint = 0;
};

// An arc by its centre, radius and angle points, or (three-point task) a circle or arc through
// three points; IsArc false draws a full circle.
class TQV_40DrawArcoPrimitiveParam : public TQV_40EntityParam {
public:
    TQV_40DrawArcoPrimitiveParam(TCADStateClass AfterState, std::unique_ptr<TArco2D> Arc, bool IsArc);
    TArco2D& Primitive() const;
    uint16_t CurrentPoint = 0;
    bool IsArc;
};

// What the drawing tasks share: the entity on the rubber band, the snapped point in its own
// coordinates, adding it with its undo record, cancelling.
class TDrawTask : public TQV_00State {
public:
    // The rubber band off the view, then the entity and the parameter freed.
    void OnStop() override;

protected:
    TDrawTask(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    // Null once given up.
    TQV_40EntityParam* EntityParam() const { return static_cast<TQV_40EntityParam*>(Param); }
    TObject2D* Entity() const { return Param ? EntityParam()->Entity.get() : nullptr; }
    TQV_00Prog* Prog() const;
    // The snapped cursor point mapped into the entity's own coordinates.
    TPoint2D SnappedPoint() const;
    // After a click: the object snap's last point is this click's.
    void AfterClick();
    // With the orthogonal mode on, P keeps its larger offset from Ref.
    void Ortho(const TPoint2D& Ref, TPoint2D& P) const;
    void ShowRubberBand();
    // The task is complete: handed to AfterState when there is one, else added when it has a
    // shape (or dropped when it has none). Always true: the state is left.
    bool Complete(TCADStateClass& NextState);
    // ueCancel: nothing is left behind.
    bool Cancelled(TCADPrgEvent Event, int32_t Key, TCADStateClass& NextState);
    void HideRubberBand();
};

// Point, line, rectangle, circle by centre and point, closed ellipse: each click fixes the next
// control point; the last one completes the entity.
class TQV_40DrawSizedPrimitive : public TDrawTask {
public:
    TQV_40DrawSizedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    TQV_40DrawSizedPrimitiveParam& P() const { return *static_cast<TQV_40DrawSizedPrimitiveParam*>(Param); }
};

// Polyline, spline: each click adds a vertex, the last one follows the cursor; Done ends, Close
// ends on the first point, Remove-last takes the last click back.
class TQV_40DrawUnSizedPrimitive : public TDrawTask {
public:
    TQV_40DrawUnSizedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    TQV_40DrawUnSizedPrimitiveParam& P() const { return *static_cast<TQV_40DrawUnSizedPrimitiveParam*>(Param); }
};

// Four clicks: the elliptic arc's box corners (or the arc's centre and radius point), then its
// start and end angle points.
class TQV_40DrawAngledPrimitive : public TDrawTask {
public:
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

protected:
    TQV_40DrawAngledPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState,
                              uint16_t& CurrentPoint, size_t FirstPrompt);

private:
    uint16_t* CurrentPoint;
};

class TQV_40DrawEOPrimitive : public TQV_40DrawAngledPrimitive {
public:
    TQV_40DrawEOPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

class TQV_40DrawArcoPrimitive : public TQV_40DrawAngledPrimitive {
public:
    TQV_40DrawArcoPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// A circle or an arc through three clicked points. Three points on one line make none: the user
// is told (text 469) and nothing is drawn.
class TQV_40DrawArco3Pt : public TDrawTask {
public:
    TQV_40DrawArco3Pt(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

    // The clicked points in the arc's own coordinates, and the centre last computed.
    std::array<TPoint2D, 3> Points{};
    TPoint2D Centre{0, 0, 1};

private:
    TQV_40DrawArcoPrimitiveParam& P() const { return *static_cast<TQV_40DrawArcoPrimitiveParam*>(Param); }
    // Shapes the arc through the three points; false (the arc as it was) when they are on a line.
    bool Shape(const TPoint2D& Third);
    // The arc has a shape through three points.
    bool Shaped = false;
};

// A finished object follows the cursor by its reference point; a click places it.
class TQV_40PositionObject : public TDrawTask {
public:
    TQV_40PositionObject(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    // Brings the reference point under the snapped cursor.
    void Follow();
};

// The after-state of a placed container (Target): its children join the drawing where the
// container shows them, with new IDs and one undo record of new objects; the container goes and
// the operation ends.
class TQV_40ExplodeContainer : public TQV_00State {
public:
    TQV_40ExplodeContainer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The entity has a shape worth adding: a point, or at least two distinct points (a box with
// width and height for frames and ellipses, a radius for circles and arcs).
bool HasShape(TObject2D& Obj);
