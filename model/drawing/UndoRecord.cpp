#include "UndoRecord.h"

#include "CADExceptions.h"
#include "QVSys.h"
#include "QVVariabili.h"
#include "UndoRedo.h"

namespace {

// The parts of an edit, in the order a record lists them.
enum class TPart : uint8_t { Changed, Added, Removed, Pairs };

// What a kind takes: its parts in order, and the count of each of the first two parts that its
// undo reads as such (0 for any count).
struct TKindShape {
    std::vector<TPart> Parts;
    std::vector<size_t> Counts;
};

const TKindShape& ShapeOf(TUndoKind Kind)
{
    static const TKindShape removed{{TPart::Removed}, {0}};
    static const TKindShape changed{{TPart::Changed}, {0}};
    static const TKindShape changedTwo{{TPart::Changed}, {2}};
    static const TKindShape changedOne{{TPart::Changed}, {1}};
    static const TKindShape fillet{{TPart::Changed, TPart::Added}, {2, 1}};
    static const TKindShape brk{{TPart::Removed, TPart::Added}, {2, 0}};
    static const TKindShape divide{{TPart::Changed, TPart::Added}, {1, 1}};
    static const TKindShape join{{TPart::Changed, TPart::Removed}, {1, 1}};
    static const TKindShape explode{{TPart::Removed, TPart::Added}, {1, 0}};
    static const TKindShape added{{TPart::Added}, {0}};
    static const TKindShape pairs{{TPart::Pairs}, {0}};
    static const TKindShape offsetMove{{TPart::Added, TPart::Removed}, {0, 1}};
    switch (Kind) {
    case TUndoKind::Delete:
        return removed;
    case TUndoKind::TrimLines:
    case TUndoKind::TrimArcObject:
    case TUndoKind::TransformInPlace:
        return changed;
    case TUndoKind::TrimObjectArc:
        return changedTwo;
    case TUndoKind::FilletLines:
    case TUndoKind::FilletObjectArc:
    case TUndoKind::FilletArcObject:
        return fillet;
    case TUndoKind::Break:
        return brk;
    case TUndoKind::Divide:
        return divide;
    case TUndoKind::Join:
        return join;
    case TUndoKind::Extend:
    case TUndoKind::EditPoints:
        return changedOne;
    case TUndoKind::Explode:
        return explode;
    case TUndoKind::TransformCopies:
    case TUndoKind::OffsetKeep:
    case TUndoKind::NewObjects:
    case TUndoKind::CopyToLayer:
        return added;
    case TUndoKind::TransformReplace:
    case TUndoKind::Simplify:
    case TUndoKind::MoveToLayer:
        return pairs;
    case TUndoKind::OffsetMove:
        return offsetMove;
    }
    return added;
}

} // namespace

TUndoRecord::TUndoRecord(TUndoKind K) : Kind(K) {}

TUndoRecord& TUndoRecord::Changed(const TGraphicObject& Obj)
{
    FChanged.push_back(Obj.ID);
    return *this;
}

TUndoRecord& TUndoRecord::Added(const TGraphicObject& Obj)
{
    FAdded.push_back(Obj.ID);
    return *this;
}

TUndoRecord& TUndoRecord::Removed(const TGraphicObject& Obj)
{
    FRemoved.push_back(Obj.ID);
    return *this;
}

TUndoRecord& TUndoRecord::Replaced(const TGraphicObject& Old, const TGraphicObject& New)
{
    RASTREL_ASSERT(Kind != TUndoKind::MoveToLayer);
    FPairs.push_back(Old.ID);
    FPairs.push_back(New.ID);
    return *this;
}

TUndoRecord& TUndoRecord::MovedToLayer(const TGraphicObject& Obj, uint8_t OldLayer)
{
    RASTREL_ASSERT(Kind == TUndoKind::MoveToLayer);
    FPairs.push_back(Obj.ID);
    FPairs.push_back(OldLayer);
    return *this;
}

void TUndoRecord::Push(TUndoRedo& Log)
{
    const TKindShape& shape = ShapeOf(Kind);
    const auto listOf = [this](TPart Part) -> const std::vector<int32_t>& {
        switch (Part) {
        case TPart::Changed:
            return FChanged;
        case TPart::Added:
            return FAdded;
        case TPart::Removed:
            return FRemoved;
        case TPart::Pairs:
            break;
        }
        return FPairs;
    };
    size_t taken = 0;
    UndoIdList.clear();
    for (size_t i = 0; i < shape.Parts.size(); ++i) {
        const std::vector<int32_t>& ids = listOf(shape.Parts[i]);
        RASTREL_ASSERT(shape.Counts[i] == 0 || ids.size() == shape.Counts[i]);
        UndoIdList.insert(UndoIdList.end(), ids.begin(), ids.end());
        taken += ids.size();
    }
    // Every part named belongs to the kind.
    RASTREL_ASSERT(taken == FChanged.size() + FAdded.size() + FRemoved.size() + FPairs.size());
    Log.AddUndo(static_cast<uint8_t>(Kind), UndoIdList);
}
