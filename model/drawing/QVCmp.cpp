#include "QVCmp.h"

#include "CADExceptions.h"
#include "QVBitmap2D.h"
#include "QVBoxIndex.h"
#include "QVServices.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>

std::function<void(TGraphicObject& Label)> OnDrawingLabelRead;
TGraphicObject* DrawingLabel = nullptr;

namespace {

// ID < 0 takes the counter's next ID; an explicit ID is kept and moves the counter past itself.
int32_t TakeID(int32_t ID, int32_t& Counter)
{
    if (ID < 0)
        return Counter++;
    if (ID >= Counter)
        Counter = ID + 1;
    return ID;
}

void RefuseWhileWalked(const TGraphicObjList& List)
{
    if (List.HasActiveIterators())
        throw ECADListBlocked("TGraphicObjList.Add: The list has active iterators.");
}

}  // namespace

TQV_01Cmp::TQV_01Cmp() = default;

TQV_01Cmp::~TQV_01Cmp()
{
    // An iterator alive now would point into freed nodes.
    RASTREL_ASSERT(!IsBlocked());
    DeleteAllObjects();
    try {
        FreeSourceBlocks();
    } catch (const ECADSourceBlockIsReferenced& e) {
        // Every definition is freed all the same; the user learns that the drawing held a cycle.
        MainWindow().MessageBox(e.what(), "", TMsgIcon::Error, TMsgButtons::Ok);
    }
}

// ---- objects ----

void TQV_01Cmp::InsertObject(int32_t ID, std::unique_ptr<TGraphicObject>& Obj)
{
    RASTREL_ASSERT(Obj);
    // Refused before anything changes, so a refused add leaves the drawing and the caller's
    // object as they were.
    RefuseWhileWalked(Objects);
    Obj->Owner = this;
    Obj->Layer = static_cast<uint8_t>(CurrentLayer & 0xFF);
    Obj->ID = TakeID(ID, NextObjectID);
    Obj->UpdateBox();
    Objects.Add(std::move(Obj));
}

void TQV_01Cmp::ShowAddedObject(TGraphicObject& Obj)
{
    // By index: an observer may add another while it is told.
    for (size_t i = 0; i < Observers.size(); ++i)
        if (Observers[i])
            Observers[i]->ObjectAdded(Obj);
    Obj.BuildGL();
    if (OnAddObject)
        OnAddObject(*this, Obj);
    if (TreeGeo)
        TreeGeo->AddObjectNode(Obj);
}

TContainer2D* TQV_01Cmp::AddAuxContainer(std::unique_ptr<TContainer2D>&& Container)
{
    RASTREL_ASSERT(Container);
    RefuseWhileWalked(Objects);
    TContainer2D* raw = Container.get();
    raw->Owner = this;
    raw->Layer = static_cast<uint8_t>(CurrentLayer & 0xFF);
    raw->ToBeSaved = false;
    raw->ID = NextObjectID++;
    raw->UseLayerStyle = false;
    raw->UpdateBox();
    Objects.Add(std::move(Container));
    for (TDrawingObserver* observer : Observers)
        if (observer)
            observer->ObjectAdded(*raw);
    raw->BuildGL();
    if (OnAddObject)
        OnAddObject(*this, *raw);
    return raw;
}

TGraphicObject* TQV_01Cmp::GetObject(int32_t ID) { return Objects.Find(ID); }

bool TQV_01Cmp::DeleteObject(int32_t ID)
{
    TGraphicObject* obj = GetObject(ID);
    if (!obj)
        throw ECADListObjNotFound("TCADCmp.DeleteObject: No object found");
    if (Objects.HasActiveIterators())
        throw ECADListBlocked("TGraphicObjList.Delete: The list has active iterators.");
    obj->CheckCanFree();
    AnnounceFree(*obj);
    if (TreeGeo)
        TreeGeo->DeleteObjectNode(*obj);
    Objects.Delete(ID);
    return true;
}

void TQV_01Cmp::DeleteAllObjects()
{
    // A refused clear keeps the objects, so their IDs must not be handed out again.
    if (Objects.HasActiveIterators())
        return;
    for (TDrawingObserver* observer : Observers)
        if (observer)
            observer->ObjectsCleared();
    {
        auto it = Objects.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            AnnounceFree(*obj);
    }
    Objects.Clear();
    NextObjectID = 0;
}

// ---- source blocks ----

void TQV_01Cmp::InsertSourceBlock(int32_t ID, std::unique_ptr<TGraphicObject>& Block)
{
    RASTREL_ASSERT(Block);
    RefuseWhileWalked(SourceBlocks);
    Block->Owner = this;
    Block->Layer = static_cast<uint8_t>(CurrentLayer & 0xFF);
    Block->ID = TakeID(ID, NextSourceBlockID);
    Block->UpdateBox();
    auto& block = static_cast<TSourceBlock2D&>(*Block);
    block.Depth = NestingDepth(block);
    SourceBlocks.Add(std::move(Block));
}

TSourceBlock2D* TQV_01Cmp::GetSourceBlock(int32_t ID) { return dynamic_cast<TSourceBlock2D*>(SourceBlocks.Find(ID)); }

void TQV_01Cmp::DeleteSourceBlock(int32_t ID)
{
    TSourceBlock2D* block = GetSourceBlock(ID);
    if (!block)
        throw ECADListObjNotFound("TCADCmp.DeleteSourceBlock: No source block found");
    try {
        block->CheckCanFree();
        AnnounceFree(*block);
        SourceBlocks.Delete(ID);
    } catch (const std::exception&) {
        // A definition still referenced, or a list in use: it simply stays.
    }
}

bool TQV_01Cmp::DeleteBlocksWhere(const std::function<bool(const TSourceBlock2D&)>& Pick)
{
    auto it = SourceBlocks.GetExclusiveIterator();
    // A definition used only by a later one can go once that one has gone: passes repeat
    // until one frees nothing.
    for (;;) {
        bool freedAny = false;
        bool anyLeft = false;
        for (it.First(); it.Current();) {
            auto* block = static_cast<TSourceBlock2D*>(it.Current());
            if (!Pick(*block) || block->References > 0) {
                anyLeft = anyLeft || Pick(*block);
                it.Next();
                continue;
            }
            AnnounceFree(*block);
            it.DeleteCurrent();
            freedAny = true;
        }
        if (!anyLeft)
            return true;
        if (!freedAny)
            return false;
    }
}

void TQV_01Cmp::FreeSourceBlocks()
{
    const auto all = [](const TSourceBlock2D&) { return true; };
    if (DeleteBlocksWhere(all))
        return;
    // What is left is referenced. A definition referenced from outside the definitions (an object
    // still alive) stays, and so does everything it uses; the others are held only by each
    // other (a cycle and what hangs from it): they are released from each other and freed.
    std::vector<TSourceBlock2D*> left;
    std::unordered_map<const TSourceBlock2D*, int32_t> inner;
    {
        auto it = SourceBlocks.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            left.push_back(static_cast<TSourceBlock2D*>(obj));
    }
    for (TSourceBlock2D* block : left)
        VisitBlockReferences(*block, [&](TBlock2D& ref) {
            if (ref.Source())
                ++inner[ref.Source()];
        });
    std::unordered_set<const TSourceBlock2D*> kept;
    std::vector<TSourceBlock2D*> uses;
    for (TSourceBlock2D* block : left)
        if (block->References > inner[block] && kept.insert(block).second)
            uses.push_back(block);
    while (!uses.empty()) {
        TSourceBlock2D* block = uses.back();
        uses.pop_back();
        VisitBlockReferences(*block, [&](TBlock2D& ref) {
            if (ref.Source() && kept.insert(ref.Source()).second)
                uses.push_back(ref.Source());
        });
    }
    for (TSourceBlock2D* block : left)
        if (!kept.count(block))
            UnbindBlockReferences(*block);
    DeleteBlocksWhere(all);
    throw ECADSourceBlockIsReferenced("TCADCmp.FreeSourceBlocks: Severe error\n\rThe drawing contains circular "
                                      "reference of source blocks. They will be not deleted !");
}

TSourceBlock2D* TQV_01Cmp2D::FindSourceBlock(const TBlockName& Name)
{
    auto it = SourceBlocks.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* block = static_cast<TSourceBlock2D*>(obj);
        if (block->Name == Name)
            return block;
    }
    throw ECADListObjNotFound("TQV_01Cmp2D.FindSourceBlock: Source block " + BlockNameToStr(Name) + " not found");
}

void TQV_01Cmp2D::DeleteSourceBlock(const TBlockName& Name)
{
    TSourceBlock2D* block = FindSourceBlock(Name);
    if (block->References > 0)
        throw ECADCoreException("TQV_01Cmp2D.DeleteSourceBlock: Remove the references before the source");
    TQV_01Cmp::DeleteSourceBlock(block->ID);
}

void TQV_01Cmp2D::DeleteDrawingBlocks()
{
    DeleteBlocksWhere([](const TSourceBlock2D& b) { return b.ToBeSaved && !b.IsLibrary; });
}

void TQV_01Cmp2D::DeleteLibraryBlocks()
{
    DeleteBlocksWhere([](const TSourceBlock2D& b) { return b.IsLibrary; });
}

// ---- views, layers, listeners ----

void TQV_01Cmp::AddView(TDrawingView* View)
{
    if (View)
        Views.push_back(View);
}

void TQV_01Cmp::RepaintViews()
{
    for (TDrawingView* view : Views)
        RepaintView(*view);
}

void TQV_01Cmp::SetDefaultLayersColor(int32_t Color)
{
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        TQV_21Layer& layer = Layers.GetLayer(static_cast<uint8_t>(i));
        if (layer.Modified)
            continue;
        layer.Pen.SetColor(Color);
        layer.Modified = false;
    }
}

int32_t TQV_01Cmp::AddFreeListener(TObjectFreeListener Listener)
{
    const int32_t handle = NextListenerHandle++;
    FreeListeners.push_back({handle, std::move(Listener)});
    return handle;
}

void TQV_01Cmp::RemoveFreeListener(int32_t Handle)
{
    const auto it = std::find_if(FreeListeners.begin(), FreeListeners.end(),
                                 [&](const TListenerSlot& slot) { return slot.Handle == Handle; });
    if (it == FreeListeners.end())
        return;
    // Only marked while the drawing announces: the listener may be the one running.
    if (AnnounceDepth > 0)
        it->Handle = 0;
    else
        FreeListeners.erase(it);
}

void TQV_01Cmp::AnnounceFree(TGraphicObject& Obj)
{
    // The program-wide weak references go first: nothing told below may still reach the object
    // through them, and an undo that brings the object back makes a new one they do not name.
    if (static_cast<TGraphicObject*>(CurrentBitmap) == &Obj)
        CurrentBitmap = nullptr;
    if (DrawingLabel == &Obj)
        DrawingLabel = nullptr;
    // Those added by a listener during this announcement are not told of this object.
    const size_t count = FreeListeners.size();
    ++AnnounceDepth;
    try {
        for (size_t i = 0; i < count; ++i)
            if (FreeListeners[i].Handle != 0)
                FreeListeners[i].Listener(Obj);
        for (size_t i = 0; i < Observers.size(); ++i)
            if (Observers[i])
                Observers[i]->ObjectRemoved(Obj);
    } catch (...) {
        --AnnounceDepth;
        throw;
    }
    if (--AnnounceDepth == 0)
        std::erase_if(FreeListeners, [](const TListenerSlot& slot) { return slot.Handle == 0; });
}

void TQV_01Cmp::AddObserver(TDrawingObserver& Observer)
{
    for (TDrawingObserver*& slot : Observers)
        if (!slot) {
            slot = &Observer;
            return;
        }
    Observers.push_back(&Observer);
}

void TQV_01Cmp::RemoveObserver(TDrawingObserver& Observer)
{
    for (TDrawingObserver*& slot : Observers)
        if (slot == &Observer)
            slot = nullptr;
}

// ---- the 2D drawing ----

TQV_01Cmp2D::TQV_01Cmp2D() = default;

TQV_01Cmp2D::~TQV_01Cmp2D()
{
    // The index stops observing before the objects go.
    FBoxIndex.reset();
}

TObjectBoxIndex& TQV_01Cmp2D::BoxIndex()
{
    if (!FBoxIndex)
        FBoxIndex = std::make_unique<TObjectBoxIndex>(*this);
    return *FBoxIndex;
}
