#pragma once
// A uniform grid over the boxes of a drawing's 2D objects, so that picking under the cursor and
// window selection look only at the objects near the place asked about instead of at every object.
//
// The index observes the drawing and keeps in step with additions, removals, box changes and
// clears. It is built lazily: the first question after a large change (a load, a clear, a
// transform of many objects) walks the drawing once, choosing the cell size from the objects'
// sizes; smaller changes update the grid in place. Answers are supersets of the exact box tests
// (the boxes are kept in single precision, rounded outwards), handed out in drawing order, so a
// caller that applies its own tests to them gets the result of a walk over every object.
#include "QVCmp.h"

#include <cstdint>
#include <vector>

class TObject2D;

class TObjectBoxIndex final : public TDrawingObserver {
public:
    explicit TObjectBoxIndex(TQV_01Cmp& Drawing);
    ~TObjectBoxIndex() override;
    TObjectBoxIndex(const TObjectBoxIndex&) = delete;
    TObjectBoxIndex& operator=(const TObjectBoxIndex&) = delete;

    // The 2D objects whose box, normalised, touches or overlaps R, in drawing order. False (Out
    // empty) when the drawing cannot be walked to build the index: an exclusive iterator is alive.
    bool ObjectsNear(const TRect2D& R, std::vector<TObject2D*>& Out);
    // The same around a point: the boxes grown by Margin that hold P.
    bool ObjectsAt(const TPoint2D& P, double Margin, std::vector<TObject2D*>& Out);

    // Builds the grid now when it is not up to date, so that a long operation that walks the
    // drawing anyway (the view's rebuild) takes the cost instead of the first pick after it.
    // False while the drawing cannot be walked.
    bool Refresh() { return EnsureBuilt(); }

    // What the index holds now, for tests and the benchmark.
    bool IsBuilt() const { return Built; }
    double CellSize() const { return Cell; }
    int32_t Builds() const { return BuildCount; }
    size_t Count() const { return Live; }

    void ObjectAdded(TGraphicObject& Obj) override;
    void ObjectBoxChanged(TGraphicObject& Obj) override;
    void ObjectRemoved(TGraphicObject& Obj) override;
    void ObjectsCleared() override;

private:
    // An object's box in single precision, rounded outwards; Obj null marks a hole left by a
    // removal. Entries stay in the order the objects joined the drawing.
    struct TEntry {
        float MinX, MinY, MaxX, MaxY;
        TObject2D* Obj;
    };
    // The cells an entry covers; Large when it covers too many (or its box is not finite): such
    // entries sit in one list that every question walks.
    struct TCellRange {
        int32_t X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
        bool Large = false;
    };
    struct TCellSlot {
        uint64_t Key;
        uint32_t Head; // first membership, or None
        bool Used;
    };
    struct TMembership {
        uint32_t Entry;
        uint32_t Next;
    };
    static constexpr uint32_t None = 0xFFFFFFFFu;

    bool EnsureBuilt();
    void Build();
    // Drops everything; the next question builds again.
    void MarkStale(bool ReleaseMemory);
    // Counts one change made in place; too many since the last build and the grid is rebuilt
    // instead, with a cell size that suits what the drawing has become.
    bool SpendChange();

    static TEntry EntryOf(TObject2D& Obj);
    TCellRange RangeOf(float MinX, float MinY, float MaxX, float MaxY) const;
    TCellRange RangeOf(const TEntry& E) const { return RangeOf(E.MinX, E.MinY, E.MaxX, E.MaxY); }
    void Insert(uint32_t Entry);
    void Unlink(uint32_t Entry);
    void Append(TObject2D& Obj);

    // The cell table: open addressing on the packed cell coordinates.
    TCellSlot* FindCell(uint64_t Key);
    TCellSlot& CellFor(uint64_t Key);
    void GrowCells();

    // The object-to-entry table: open addressing on the object's address, holding entry numbers.
    size_t ObjectSlot(const TGraphicObject* Obj) const;
    uint32_t FindEntry(const TGraphicObject* Obj) const;
    void IndexEntry(uint32_t Entry);
    void UnindexEntry(const TGraphicObject* Obj);
    void GrowObjectTable();

    void Collect(const TRect2D& R, std::vector<uint32_t>& Found);

    TQV_01Cmp& Drawing;
    bool Built = false;
    double Cell = 1;
    int32_t BuildCount = 0;
    size_t Live = 0;
    size_t ChangesLeft = 0;

    std::vector<TEntry> Entries;
    std::vector<TCellSlot> Cells;
    size_t CellsUsed = 0;
    std::vector<TMembership> Members;
    uint32_t FreeMember = None;
    std::vector<uint32_t> LargeEntries;
    std::vector<uint32_t> ObjectTable;
    size_t ObjectsIndexed = 0;
    // Marks the entries already met by the question under way, so one met in several cells
    // counts once.
    std::vector<uint32_t> Stamps;
    uint32_t Stamp = 0;
    std::vector<uint32_t> Found;
};
