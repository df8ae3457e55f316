#include "UndoRedo.h"

#include "CADExceptions.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVServices.h"
#include "QVVariabili.h"

#include <algorithm>
#include <typeinfo>

TUndoRedo* UndoRedo = nullptr;

namespace {

constexpr int16_t NoObject = -1;
// The most a push reserves ahead for its images.
constexpr size_t MaxReserve = size_t(1) << 30;

// The first Count points of Saved replace those of D.
void CopyPoints(TPrimitive2D& D, const TPrimitive2D& Saved, int Count)
{
    const int n = std::min(Count, Saved.Points().Count());
    for (int i = 0; i < n; ++i)
        D.Points().SetPoint(i, Saved.Points().Get(i));
}

// The control points a class of fixed shape keeps, in the order its rows are matched; 0 for the
// classes whose points all count (polylines, other curves, images, texts).
int FixedPointCount(const TPrimitive2D& Saved)
{
    if (dynamic_cast<const TPunto2D*>(&Saved))
        return 1;
    if (dynamic_cast<const TLine2D*>(&Saved))
        return 2;
    if (dynamic_cast<const TArco2D*>(&Saved) || dynamic_cast<const TEllipseOpen2D*>(&Saved))
        return 4;
    if (dynamic_cast<const TEllipse2D*>(&Saved) || dynamic_cast<const TCerchio2D*>(&Saved) ||
        dynamic_cast<const TFrame2D*>(&Saved))
        return 2;
    return 0;
}

// D's points become exactly Saved's.
void ReplacePoints(TPrimitive2D& D, const TPrimitive2D& Saved)
{
    D.Points().Clear();
    for (const TPoint2D& p : Saved.Points().Points())
        D.Points().Add(p);
}

} // namespace

// A record's bytes, read image by image. Once an image cannot be read, no later one can be found
// (images carry no length), so every following read gives nothing.
class TUndoRedo::TRecordReader {
public:
    TRecordReader(const std::vector<uint8_t>& Bytes, size_t Position, int32_t Written)
        : Stream(Bytes.data() + Position, Bytes.size() - Position), Left(Written)
    {
    }
    TStreamReader Stream;
    int32_t Left;
};

TUndoRedo::TUndoRedo() = default;

TUndoRedo::~TUndoRedo()
{
    if (FDrawing)
        FDrawing->RemoveObserver(*this);
}

void TUndoRedo::AttachDrawing(TQV_01Cmp2D* Drawing)
{
    if (FDrawing)
        FDrawing->RemoveObserver(*this);
    Clear();
    FDrawing = Drawing;
    if (FDrawing)
        FDrawing->AddObserver(*this);
}

void TUndoRedo::ObjectsCleared()
{
    // The IDs start again at 0: a record kept now would name the next drawing's objects.
    Clear();
}

void TUndoRedo::Clear()
{
    Records.clear();
    // Nothing refers to the old bytes any more: the memory goes back too.
    static_cast<void>(Stream.TakeBytes());
}

void TUndoRedo::AddUndo(uint8_t Kind, std::span<const int32_t> IDs)
{
    RASTREL_ASSERT(Kind <= LastKind);
    if (!FDrawing && ::Drawing)
        AttachDrawing(::Drawing);
    auto rec = std::make_unique<TUndoObj>();
    rec->Kind = Kind;
    rec->Count = static_cast<int32_t>(IDs.size());
    rec->Position = static_cast<int64_t>(Stream.Size());
    if (Kind == 18) {
        // Pairs of object ID and old layer; an odd last ID has no layer and is left out.
        for (size_t i = 0; i + 1 < IDs.size(); i += 2) {
            Stream.WriteInt32(IDs[i]);
            Stream.WriteInt32(IDs[i + 1]);
            ++rec->Written;
        }
    } else if (Kind == 20) {
        for (const int32_t id : IDs) {
            Stream.WriteInt32(id);
            Stream.WriteInt32(id);
            ++rec->Written;
        }
    } else if (FDrawing) {
        rec->NextIDs.reserve(IDs.size());
        for (const int32_t id : IDs) {
            TGraphicObject* obj = FDrawing->TQV_01Cmp::GetObject(id);
            // A class without a stream index (an auxiliary object) ends the record as a missing
            // object does.
            if (!obj || !QV_00HasClassIndex(obj->ClassName()))
                break;
            const size_t at = Stream.Size();
            try {
                SaveIndexedObject(Stream, *obj);
            } catch (...) {
                // Nothing is pushed: the next record writes where this one would have begun.
                Stream.Truncate(static_cast<size_t>(rec->Position));
                throw;
            }
            const TGraphicObject* next = FDrawing->Objects.NextAfter(id);
            rec->NextIDs.push_back(next ? next->ID : -1);
            if (++rec->Written == 1 && IDs.size() > 1) {
                // Room for as many images of the first one's size: a large delete then fills
                // its record without copying it over and over as it grows. Pages not written are
                // never taken, so a guess too large costs nothing but address space.
                const size_t guess = std::min((Stream.Size() - at) * IDs.size(), MaxReserve);
                Stream.Reserve(Stream.Size() + guess);
            }
        }
    }
    Records.push_back(std::move(rec));
}

TUndoRedo::TStep TUndoRedo::StepOf(uint8_t Kind, int32_t Count, int32_t Index)
{
    switch (Kind) {
    case 0:
        return TStep::ReAdd;
    case 1:
    case 3:
    case 14:
        return TStep::Restore;
    case 2:
        return Index < 2 ? TStep::Restore : TStep::Skip;
    case 4:
    case 5:
    case 6:
        return Index < 2 ? TStep::Restore : Index == 2 ? TStep::Delete : TStep::Skip;
    case 7:
        return Index < 2 ? TStep::ReAdd : TStep::Delete;
    case 8:
        return Index == 0 ? TStep::Restore : Index == 1 ? TStep::Delete : TStep::Skip;
    case 9:
        return Index == 0 ? TStep::Restore : Index == 1 ? TStep::ReAdd : TStep::Skip;
    case 10:
    case 12:
        return Index == 0 ? TStep::Restore : TStep::Skip;
    case 11:
        return Index == 0 ? TStep::ReAdd : TStep::Delete;
    case 13:
    case 17:
    case 21:
        return TStep::Delete;
    case 15:
    case 19:
        // Pairs of the object replaced and its replacement; an odd last ID has no partner.
        if (Index >= Count / 2 * 2)
            return TStep::Skip;
        return Index % 2 == 0 ? TStep::ReAdd : TStep::Delete;
    case 16:
        return Index < Count - 1 ? TStep::Delete : TStep::ReAdd;
    case 18:
        return TStep::MoveLayer;
    case 20:
        return TStep::DeleteID;
    default:
        return TStep::Skip;
    }
}

std::unique_ptr<TGraphicObject> TUndoRedo::ReadObject(TRecordReader& Reader)
{
    if (Reader.Left <= 0)
        return nullptr;
    --Reader.Left;
    try {
        const int16_t index = Reader.Stream.ReadInt16();
        if (index == NoObject)
            return nullptr;
        const TGraphicClass* cls = nullptr;
        try {
            cls = &QV_00FindClassByIndex(index);
        } catch (const ECADObjClassNotFound&) {
            MainWindow().MessageBox(MsgClassNotFound, "", TMsgIcon::None, TMsgButtons::Ok);
            Reader.Left = 0;
            return nullptr;
        }
        return cls->CreateFromStream(Reader.Stream, CurrentVersionTag);
    } catch (const ECADCoreException&) {
        // A record this log wrote and cannot read back (the class was registered anew since):
        // what follows cannot be found.
        Reader.Left = 0;
        return nullptr;
    }
}

TUndoID TUndoRedo::ReadUndoID(TRecordReader& Reader)
{
    RASTREL_ASSERT(Reader.Left > 0);
    --Reader.Left;
    TUndoID pair;
    pair.ID1 = Reader.Stream.ReadInt32();
    pair.ID2 = Reader.Stream.ReadInt32();
    return pair;
}

void TUndoRedo::RestoreObject(const TObject2D& Saved)
{
    auto* d = dynamic_cast<TObject2D*>(FDrawing->TQV_01Cmp::GetObject(Saved.ID));
    // Only the object the image was taken from, as far as the drawing can tell.
    if (!d || typeid(*d) != typeid(Saved))
        return;
    if (auto* saved = dynamic_cast<const TPrimitive2D*>(&Saved)) {
        auto& prim = static_cast<TPrimitive2D&>(*d);
        const int fixed = FixedPointCount(*saved);
        if (fixed > 0) {
            CopyPoints(prim, *saved, fixed);
        } else if (dynamic_cast<const TCurve2D*>(saved)) {
            TProfileUse use(static_cast<TCurve2D&>(prim));
            ReplacePoints(prim, *saved);
        } else {
            // Polylines, images, texts and any later primitive: all their control points.
            ReplacePoints(prim, *saved);
        }
    }
    d->ResetTransform();
    d->SetModelTransform(Saved.GetModelTransform());
    // The placement as it was stored: the base transform, with no preview left on top.
    d->ApplyTransform();
    d->UpdateBox();
}

TUndoRedo::TImageKind TUndoRedo::KindOf(const TGraphicObject& Obj)
{
    // A large undo brings back long runs of one class: the casts are made once per class.
    const std::type_info& type = typeid(Obj);
    if (LastType != &type) {
        LastType = &type;
        LastImageKind.Drawable =
            dynamic_cast<const TObject2D*>(&Obj) && !dynamic_cast<const TSourceBlock2D*>(&Obj);
        LastImageKind.RefersToBlocks =
            dynamic_cast<const TContainer2D*>(&Obj) || dynamic_cast<const TBlock2D*>(&Obj);
    }
    return LastImageKind;
}

void TUndoRedo::ReAddObject(std::unique_ptr<TGraphicObject> Obj, int32_t NextID)
{
    // Another object holds the ID: bringing this one back would make two of one ID.
    if (FDrawing->TQV_01Cmp::GetObject(Obj->ID))
        return;
    const TImageKind kind = KindOf(*Obj);
    if (!kind.Drawable)
        return;
    if (kind.RefersToBlocks) {
        TBlockIndex blocks;
        auto it = FDrawing->SourceBlocksIterator();
        blocks.AddAll(it);
        try {
            if (auto* container = dynamic_cast<TContainer2D*>(Obj.get()))
                ResolveBlockReferences(*container, blocks);
            else
                static_cast<TBlock2D&>(*Obj).UpdateReference(blocks);
        } catch (const ECADListObjNotFound&) {
            // Its block definition has gone since: there is nothing to show it by.
            return;
        }
    }
    const int32_t id = Obj->ID;
    const uint8_t layer = Obj->Layer;
    TGraphicObject* added = FDrawing->AddObjectToLayer(id, layer, std::move(Obj));
    if (NextID < 0)
        return; // it was the last
    // Straight into the hole it left, when that is still there; the list does not grow then.
    if (TGraphicObject* before = FDrawing->Objects.Find(NextID)) {
        const TGraphicObjList::TPlacement place{added, before};
        if (FDrawing->Objects.PlaceInHoles({&place, 1}))
            return;
    }
    Placing.emplace_back(id, NextID);
}

void TUndoRedo::DeleteIfPresent(int32_t ID)
{
    if (FDrawing->TQV_01Cmp::GetObject(ID))
        FDrawing->DeleteObject(ID);
}

void TUndoRedo::MoveToLayer(const TUndoID& Pair)
{
    TGraphicObject* obj = FDrawing->TQV_01Cmp::GetObject(Pair.ID1);
    if (!obj)
        return;
    obj->Layer = static_cast<uint8_t>(Pair.ID2 & 0xFF);
    if (FDrawing->TreeGeo)
        FDrawing->TreeGeo->MoveGeoTreeObjectNode(*obj);
}

void TUndoRedo::PlaceAll()
{
    std::vector<TGraphicObjList::TPlacement> places;
    bool anyBefore = false;
    for (const auto& [id, nextID] : Placing) {
        TGraphicObject* obj = FDrawing->Objects.Find(id);
        if (!obj)
            continue; // deleted again by the same record
        TGraphicObject* before = nextID >= 0 ? FDrawing->Objects.Find(nextID) : nullptr;
        anyBefore = anyBefore || before;
        places.push_back({obj, before});
    }
    Placing.clear();
    // Objects that were last are already where they belong.
    if (anyBefore)
        FDrawing->Objects.PlaceBefore(places);
}

void TUndoRedo::RunRecord(const TUndoObj& Rec)
{
    TRecordReader reader(Stream.Bytes(), static_cast<size_t>(Rec.Position), Rec.Written);
    Placing.clear();
    for (int32_t i = 0; i < Rec.Written; ++i) {
        const TStep step = StepOf(Rec.Kind, Rec.Count, i);
        if (step == TStep::Skip)
            break;
        switch (step) {
        case TStep::Restore:
            if (const auto obj = ReadObject(reader))
                if (const auto* saved = dynamic_cast<const TObject2D*>(obj.get()))
                    RestoreObject(*saved);
            break;
        case TStep::ReAdd:
            if (auto obj = ReadObject(reader))
                ReAddObject(std::move(obj),
                            i < static_cast<int32_t>(Rec.NextIDs.size()) ? Rec.NextIDs[i] : -1);
            break;
        case TStep::Delete:
            if (const auto obj = ReadObject(reader))
                DeleteIfPresent(obj->ID);
            break;
        case TStep::DeleteID:
            DeleteIfPresent(ReadUndoID(reader).ID1);
            break;
        case TStep::MoveLayer:
            MoveToLayer(ReadUndoID(reader));
            break;
        case TStep::Skip:
            break;
        }
    }
    PlaceAll();
}

void TUndoRedo::Undo()
{
    if (OnUndo)
        OnUndo();
    if (Records.empty())
        return;
    if (!FDrawing) {
        // Pushed with no drawing to name: nothing to take back.
        Stream.Truncate(static_cast<size_t>(Records.back()->Position));
        Records.pop_back();
        return;
    }
    if (FDrawing->IsBlocked())
        throw ECADListBlocked("TUndoRedo.Undo: The drawing's objects are in use.");
    const TUndoObj& rec = *Records.back();
    {
        TTreeUpdate update(FDrawing->TreeGeo);
        try {
            RunRecord(rec);
        } catch (...) {
            // The record stays whole for another try: a step done already is passed over then
            // (its object is back, or gone).
            Placing.clear();
            FDrawing->RepaintViews();
            throw;
        }
    }
    // The next push writes where this record began.
    Stream.Truncate(static_cast<size_t>(rec.Position));
    Records.pop_back();
    FDrawing->RepaintViews();
}
