#pragma once
// The editing tools that work on picked entities: fillet, trim, break, divide, join, extend, and
// the line and arc constructions. Each is a state of the interaction program that a selection
// task hands its selection to; it does its work in its constructor and returns to the idle state.
// The geometry is EditGeometry's; here the entities are read from the drawing, the result written
// back with one undo record, and a tool that cannot do what was asked says why in a message box and
// leaves the drawing as it was.
//
// A circle is never replaced by an arc in place: where a tool cuts one (break, divide) the circle
// leaves the drawing and its pieces are new arcs on its layer, in its style, and the undo brings
// the circle back.
#include "EditGeometry.h"
#include "QVCADPrg.h"

#include <optional>

class TObject2D;

// The radius of the fillet and of the tangent circle of given radius; the commands set it from
// the property panel before the tool starts.
extern double FilletRadius;

// The entity as the tools see it, in drawing coordinates: a line, an arc, or a circle as a full
// turn from its angle-0 point; nothing for any other object.
std::optional<TEditShape> ReadEditShape(const TObject2D& Obj);

// Rounds the corner of the two picked entities (FilletRadius).
class TQV2D_Fillet : public TQV_00State {
public:
    TQV2D_Fillet(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Cuts the two picked entities at their meeting point, each keeping its picked side.
class TQV2D_Trim : public TQV_00State {
public:
    TQV2D_Trim(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Splits the two picked objects at every crossing.
class TQV2D_Break : public TQV_00State {
public:
    TQV2D_Break(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Halves each selected line, arc or circle.
class TQV2D_Divide : public TQV_00State {
public:
    TQV2D_Divide(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Joins two collinear lines or two arcs of one circle.
class TQV2D_Join : public TQV_00State {
public:
    TQV2D_Join(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Lengthens the picked line, arc or open polyline by the panel's length at the nearer end.
class TQV2D_Extend : public TQV_00State {
public:
    TQV2D_Extend(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The perpendicular line: the entity is picked here, the point in TQV_50SelectPoint, the line
// made in TMyLineaPerPunto.
class TLineaPerpend : public TQV_00State {
public:
    TLineaPerpend(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};
class TMyLineaPerPunto : public TQV_00State {
public:
    TMyLineaPerPunto(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The line tangent to two picked arcs or circles.
class TMyLineaTan2A : public TQV_00State {
public:
    TMyLineaTan2A(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The line of the panel's length and angle tangent to the picked arc or circle.
class TMyLineaTanAngle : public TQV_00State {
public:
    TMyLineaTanAngle(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The circle about a picked point touching the picked entity: as the perpendicular line.
class TMyArcoTan1 : public TQV_00State {
public:
    TMyArcoTan1(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};
class TMyArcoTan1Punto : public TQV_00State {
public:
    TMyArcoTan1Punto(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// The circle of FilletRadius tangent to two picked entities.
class TMyArcoTan2 : public TQV_00State {
public:
    TMyArcoTan2(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Shows the picked entity in the property panel for editing.
class TSelez1Ent : public TQV_00State {
public:
    TSelez1Ent(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};
