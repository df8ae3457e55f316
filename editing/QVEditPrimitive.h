#pragma once
// Control-point editing: the control points of one primitive are dragged on a working copy shown
// on the overlay; Done writes the copy back with one undo record, Cancel drops it and the drawing
// stays as it was. A double click on a control point of a growable point list inserts a new point
// there.
#include "QVCADPrg.h"

#include <cstdint>
#include <memory>

class TPrimitive2D;

class TQV_60EditPrimitiveParam : public TQV_00CommonParam {
public:
    // The working copy is made through the class registry from Source's class; a class the
    // registry does not know raises "TQV_EditPrimitive: Only registered classes are allowed".
    TQV_60EditPrimitiveParam(TPrimitive2D& Source, uint16_t Aperture, TQV_00CADProg& CADPrg);
    // The view is rebuilt: the working copy goes from the overlay.
    ~TQV_60EditPrimitiveParam() override;

    // HitIndex := the control point of the working copy under P (-1 for none).
    void PickPoint(const TPoint2D& P);
    // The held point moves to P; nothing while none is held.
    void DragPoint(const TPoint2D& P);
    // A new point at HitIndex, at P.
    void InsertPoint(const TPoint2D& P);
    void ReleasePoint() { HitIndex = -1; }
    // One undo record of the source as it is, then the source takes the working copy's points.
    void Commit();
    // The pick square around P.
    void DrawPickBox(const TPoint2D& P);

    std::unique_ptr<TPrimitive2D> WorkCopy;
    TPrimitive2D* Source;
    int32_t HitIndex = -1;
    uint16_t Aperture;

private:
    TQV_00CADProg& CADPrg;
};

// The after-state of a one-object selection: its object, when a primitive, goes to the editor.
class TQV_60EditSelectedPrimitive : public TQV_00State {
public:
    TQV_60EditSelectedPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                TCADStateClass& NextState);
};

// The editor: Target of its parameter is the primitive.
class TQV_60EditPrimitive : public TQV_00State {
public:
    TQV_60EditPrimitive(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    TQV_60EditPrimitiveParam& P() const { return *static_cast<TQV_60EditPrimitiveParam*>(Param); }
    TPoint2D Cursor() const;
    TPoint2D Snapped() const;
};
