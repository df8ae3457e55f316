#pragma once
// The undo log: a stack of records, one per edit, each naming the drawing objects the edit
// concerned and holding, in one shared byte stream, what takes the edit back. An edit tool pushes
// a record of its fixed kind (0 to 21) right before or after it changes the drawing; an undo pops
// the last record and restores the drawing from it. There is no redo.
//
// Saved objects are stored as the drawing file stores them: class index, then the object's own
// record. Moves to another layer and new objects store pairs of IDs instead. An edit tool does not
// order the IDs itself: it names its objects by their part in the edit through TUndoRecord
// (UndoRecord.h), which pushes them in the order of the record's kind.
//
// A record restores only what it holds: objects its push could not write, objects no longer in
// the drawing and IDs already taken are passed over, so an undo never reads another record's
// bytes, never touches a missing object and never makes two objects of one ID. Objects that come
// back go onto their own layer and to their old place in the drawing's order, so the drawing is
// drawn and saved as it was before the edit.
#include "QVCmp.h"
#include "QVStream.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <typeinfo>
#include <vector>

class TObject2D;

// A pair of IDs in the stream: ID1 then ID2, Int32 each.
struct TUndoID {
    int32_t ID1 = 0;
    int32_t ID2 = 0;
};

// One record of the log.
struct TUndoObj {
    uint8_t Kind = 0;
    // The number of IDs the tool passed.
    int32_t Count = 0;
    // Where the record's images begin in the log's stream.
    int64_t Position = 0;
    // The images (or ID pairs) actually written: a push stops at the first object it cannot find.
    int32_t Written = 0;
    // For each object image, the ID of the object that followed it in the drawing when it was
    // pushed (-1 at the tail): where an object that comes back goes.
    std::vector<int32_t> NextIDs;
};

class TUndoRedo : private TDrawingObserver {
public:
    // The kinds of record; an edit tool always pushes the same one.
    static constexpr uint8_t LastKind = 21;

    TUndoRedo();
    ~TUndoRedo() override;
    TUndoRedo(const TUndoRedo&) = delete;
    TUndoRedo& operator=(const TUndoRedo&) = delete;

    // The drawing the records name (not owned; null detaches). It must stay alive while
    // attached. When the drawing empties itself, every record goes: the IDs they name start
    // again. Until one is attached, the first push attaches the program's drawing.
    void AttachDrawing(TQV_01Cmp2D* Drawing);
    TQV_01Cmp2D* AttachedDrawing() const { return FDrawing; }

    // Pushes a record of Kind for the IDs (a tool's UndoIdList). The record ends before the
    // first ID that is not in the drawing, or whose class has no stream index (an auxiliary
    // object). Anything else that fails (memory) passes on and pushes nothing.
    void AddUndo(uint8_t Kind, std::span<const int32_t> IDs);
    void AddUndo(uint8_t Kind, std::initializer_list<int32_t> IDs)
    {
        AddUndo(Kind, std::span<const int32_t>(IDs.begin(), IDs.size()));
    }
    // Takes back the last record, then repaints; OnUndo is told first, even when the log is empty.
    // The record leaves the log once it has run: while the drawing's objects are being walked
    // (ECADListBlocked) and when a step fails part way, the exception passes on and the record
    // stays.
    void Undo();
    // Told at the start of every undo. The property panel's owner hides the panel, which leaves
    // its live values: they may name an object the undo takes away.
    std::function<void()> OnUndo;
    // Drops every record.
    void Clear();

    int32_t RecordCount() const { return static_cast<int32_t>(Records.size()); }
    const TUndoObj& Record(int32_t Index) const { return *Records[static_cast<size_t>(Index)]; }
    // The bytes the records hold.
    size_t StreamSize() const { return Stream.Size(); }

private:
    class TRecordReader;
    enum class TStep { Restore, ReAdd, Delete, DeleteID, MoveLayer, Skip };
    // What image Index of a record of Kind with Count IDs does.
    static TStep StepOf(uint8_t Kind, int32_t Count, int32_t Index);

    // The objects of the step's image, each read in turn.
    std::unique_ptr<TGraphicObject> ReadObject(TRecordReader& Reader);
    TUndoID ReadUndoID(TRecordReader& Reader);
    // The drawing object with Saved's ID takes Saved's points and placement; nothing when there
    // is no such object of Saved's class.
    void RestoreObject(const TObject2D& Saved);
    // Obj goes back with its ID on its own layer, unless another object holds the ID now; its
    // place is remembered for PlaceAll.
    void ReAddObject(std::unique_ptr<TGraphicObject> Obj, int32_t NextID);
    void DeleteIfPresent(int32_t ID);
    // What bringing an image back needs to know of its class.
    struct TImageKind {
        bool Drawable = false;       // a drawing object, not a block definition
        bool RefersToBlocks = false; // a container or a block reference
    };
    TImageKind KindOf(const TGraphicObject& Obj);
    void MoveToLayer(const TUndoID& Pair);
    // Puts the objects ReAddObject brought back at their old places.
    void PlaceAll();
    void RunRecord(const TUndoObj& Rec);

    // ---- the drawing's events
    void ObjectAdded(TGraphicObject&) override {}
    void ObjectBoxChanged(TGraphicObject&) override {}
    void ObjectRemoved(TGraphicObject&) override {}
    void ObjectsCleared() override;

    TQV_01Cmp2D* FDrawing = nullptr;
    std::vector<std::unique_ptr<TUndoObj>> Records;
    TStreamWriter Stream;
    // The IDs of the objects brought back by the undo running now, and of those they went in
    // front of.
    std::vector<std::pair<int32_t, int32_t>> Placing;
    const std::type_info* LastType = nullptr;
    TImageKind LastImageKind;
};

// The program's undo log, made by the main window at start (after the language texts, before the
// drawing's view) and freed when it closes; null before and after. Not owned.
extern TUndoRedo* UndoRedo;
