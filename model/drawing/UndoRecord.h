#pragma once
// How an edit records its undo. The tool names the objects of its edit by their part in it
// (changed, added, removed, replaced, moved to another layer); the record puts their IDs into
// UndoIdList in the order its kind wants and pushes them onto the undo log:
//
//     TUndoRecord(TUndoKind::FilletLines).Changed(line1).Changed(line2).Added(arc).Push(Log);
//
// The log keeps images of the objects as they are at the push, so a tool pushes when every object
// of the record is in the drawing and the changed ones are not changed yet: after adding its new
// objects, before changing or deleting the old ones.
#include <cstdint>
#include <vector>

class TGraphicObject;
class TUndoRedo;

// The kinds of record, one per edit; the number is the kind byte the log keeps. The comment
// gives what the record takes, in its order.
enum class TUndoKind : uint8_t {
    Delete = 0,            // Removed: the objects about to be deleted
    TrimLines = 1,         // Changed: the two lines
    TrimObjectArc = 2,     // Changed: the object and the arc
    TrimArcObject = 3,     // Changed: the two objects
    FilletLines = 4,       // Changed: the two lines; Added: the fillet arc
    FilletObjectArc = 5,   // Changed: the line and the arc; Added: the fillet arc
    FilletArcObject = 6,   // Changed: the two arcs; Added: the fillet arc
    Break = 7,             // Removed: the two objects broken; Added: the pieces
    Divide = 8,            // Changed: the object divided; Added: the new piece
    Join = 9,              // Changed: the object kept; Removed: the one joined to it
    Extend = 10,           // Changed: the object
    Explode = 11,          // Removed: the exploded object; Added: the objects made from it
    EditPoints = 12,       // Changed: the object whose control points move
    TransformCopies = 13,  // Added: the copies
    TransformInPlace = 14, // Changed: the objects
    TransformReplace = 15, // Replaced: each object and the one that takes its place
    OffsetMove = 16,       // Added: the new objects; Removed: the object picked
    OffsetKeep = 17,       // Added: the new objects
    MoveToLayer = 18,      // MovedToLayer: each object and its old layer
    Simplify = 19,         // Replaced: each polyline and its simplified one
    NewObjects = 20,       // Added: the new objects
    CopyToLayer = 21,      // Added: the copies
};

class TUndoRecord {
public:
    explicit TUndoRecord(TUndoKind Kind);

    // An object the edit changes in place, as it is before the change: the undo puts it back so.
    TUndoRecord& Changed(const TGraphicObject& Obj);
    // An object the edit made: the undo takes it away.
    TUndoRecord& Added(const TGraphicObject& Obj);
    // An object the edit takes out of the drawing, still there at the push: the undo brings it
    // back with its ID, on its layer.
    TUndoRecord& Removed(const TGraphicObject& Obj);
    // An object the edit takes out and the new one that takes its place.
    TUndoRecord& Replaced(const TGraphicObject& Old, const TGraphicObject& New);
    // An object the edit moved to another layer, from OldLayer.
    TUndoRecord& MovedToLayer(const TGraphicObject& Obj, uint8_t OldLayer);

    // Fills UndoIdList in the kind's order and pushes it onto Log. A part the kind does not take,
    // or a count its undo cannot read (a fillet is two changed objects and one arc), is a
    // programmer's error.
    void Push(TUndoRedo& Log);

private:
    TUndoKind Kind;
    std::vector<int32_t> FChanged, FAdded, FRemoved, FPairs;
};
