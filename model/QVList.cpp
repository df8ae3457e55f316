#include "QVList.h"

namespace {

class TSectionGuard {
public:
    explicit TSectionGuard(TCADCoreSynchroObject& lock) : Lock(lock) { Lock.Enter(); }
    ~TSectionGuard() { Lock.Leave(); }
    TSectionGuard(const TSectionGuard&) = delete;
    TSectionGuard& operator=(const TSectionGuard&) = delete;

private:
    TCADCoreSynchroObject& Lock;
};

}  // namespace

// ---- TGraphicObjList ----

TGraphicObjList::TGraphicObjList(bool ownsObjects) : Owns(ownsObjects) {}

TGraphicObjList::~TGraphicObjList()
{
    // An iterator alive now would point into freed nodes.
    RASTREL_ASSERT(ActiveIterators == 0);
    FreeAll();
}

void TGraphicObjList::SetOwnsObjects(bool owns)
{
    RASTREL_ASSERT(Nodes.empty() || owns == Owns);
    Owns = owns;
}

TGraphicObject* TGraphicObjList::Add(std::unique_ptr<TGraphicObject> obj)
{
    RASTREL_ASSERT(obj && Owns);
    TGraphicObject* raw = obj.get();
    Append(raw, std::move(obj));
    return raw;
}

void TGraphicObjList::Add(TGraphicObject& obj)
{
    RASTREL_ASSERT(!Owns);
    Append(&obj, nullptr);
}

void TGraphicObjList::Append(TGraphicObject* obj, std::unique_ptr<TGraphicObject> owned)
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Add: The list has active iterators.");
    Nodes.push_back(TNode{obj, nullptr, obj->ID, Nodes.end(), Nodes.end()});
    TNodeIt node = std::prev(Nodes.end());
    try {
        Index(node);
    } catch (...) {
        Nodes.pop_back();  // the object stays with the caller
        throw;
    }
    node->Owned = std::move(owned);
}

size_t TGraphicObjList::SlotOf(int32_t id) const
{
    // Consecutive IDs, the usual case, land in consecutive slots, so filling a drawing walks the
    // table in order instead of missing the cache on every add; the high bits are folded in so
    // that IDs differing only there do not all meet in one slot.
    const uint32_t u = static_cast<uint32_t>(id);
    return static_cast<size_t>(u ^ (u >> 11) ^ (u >> 22)) & (IdSlots.size() - 1);
}

TGraphicObjList::TIdChain* TGraphicObjList::FindChain(int32_t id)
{
    if (IdSlots.empty())
        return nullptr;
    const size_t mask = IdSlots.size() - 1;
    for (size_t i = SlotOf(id); IdSlots[i].Used; i = (i + 1) & mask)
        if (IdSlots[i].Key == id)
            return &IdSlots[i].Chain;
    return nullptr;
}

TGraphicObjList::TIdChain& TGraphicObjList::ChainFor(int32_t id, bool& inserted)
{
    if ((IdCount + 1) * 4 > IdSlots.size() * 3)
        GrowIndex(IdCount + 1);
    const size_t mask = IdSlots.size() - 1;
    size_t i = SlotOf(id);
    for (; IdSlots[i].Used; i = (i + 1) & mask)
        if (IdSlots[i].Key == id) {
            inserted = false;
            return IdSlots[i].Chain;
        }
    IdSlots[i].Key = id;
    IdSlots[i].Used = true;
    ++IdCount;
    inserted = true;
    return IdSlots[i].Chain;
}

void TGraphicObjList::EraseChain(int32_t id)
{
    const size_t mask = IdSlots.size() - 1;
    size_t i = SlotOf(id);
    while (!(IdSlots[i].Used && IdSlots[i].Key == id)) {
        RASTREL_ASSERT(IdSlots[i].Used);
        i = (i + 1) & mask;
    }
    // Backward shift: every later entry of the probe run whose home slot does not lie between
    // the hole and itself moves into the hole, so no lookup stops early at an empty slot.
    for (size_t j = (i + 1) & mask; IdSlots[j].Used; j = (j + 1) & mask) {
        const size_t home = SlotOf(IdSlots[j].Key);
        if (((j - home) & mask) >= ((j - i) & mask)) {
            IdSlots[i] = IdSlots[j];
            i = j;
        }
    }
    IdSlots[i].Used = false;
    --IdCount;
}

void TGraphicObjList::GrowIndex(size_t entries)
{
    size_t size = IdSlots.empty() ? 16 : IdSlots.size();
    while (entries * 4 > size * 3)
        size *= 2;
    if (size == IdSlots.size())
        return;
    std::vector<TIdSlot> old(size, TIdSlot{0, false, {}});
    old.swap(IdSlots);
    const size_t mask = IdSlots.size() - 1;
    for (const TIdSlot& slot : old) {
        if (!slot.Used)
            continue;
        size_t i = SlotOf(slot.Key);
        while (IdSlots[i].Used)
            i = (i + 1) & mask;
        IdSlots[i] = slot;
    }
}

void TGraphicObjList::Index(TNodeIt node)
{
    bool inserted = false;
    TIdChain& chain = ChainFor(node->IndexedID, inserted);
    if (inserted) {
        chain = TIdChain{node, node, node->Obj};
        return;
    }
    TNodeIt last = chain.Last;
    last->NextSameID = node;
    node->PrevSameID = last;
    chain.Last = node;
}

void TGraphicObjList::Unindex(TNodeIt node)
{
    TIdChain* found = FindChain(node->IndexedID);
    RASTREL_ASSERT(found);
    TIdChain& chain = *found;
    if (node->PrevSameID != Nodes.end())
        node->PrevSameID->NextSameID = node->NextSameID;
    else
        chain.First = node->NextSameID;
    if (node->NextSameID != Nodes.end())
        node->NextSameID->PrevSameID = node->PrevSameID;
    else
        chain.Last = node->PrevSameID;
    if (chain.First == Nodes.end())
        EraseChain(node->IndexedID);
    else
        chain.FirstObj = chain.First->Obj;
}

TGraphicObjList::TNodeIt TGraphicObjList::FindNode(int32_t id)
{
    const TIdChain* chain = FindChain(id);
    if (!chain)
        return Nodes.end();
    TNodeIt node = chain->First;
    // The index is keyed by the ID an object had when it was added; changing the ID of an
    // object while a list holds it is a programmer's error.
    RASTREL_ASSERT(node->Obj->ID == id);
    return node;
}

bool TGraphicObjList::Delete(int32_t id)
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Delete: The list has active iterators.");
    const TNodeIt node = FindNode(id);
    if (node == Nodes.end())
        throw ECADListObjNotFound("TGraphicObjList.Delete: Object not found");
    DeleteNode(node);
    return true;
}

void TGraphicObjList::DeleteNode(TNodeIt node)
{
    TSectionGuard guard(Lock);
    // An object that refuses to go stays in the list and the error reaches the caller.
    if (node->Owned)
        node->Owned->CheckCanFree();
    Unindex(node);
    Nodes.erase(node);
}

std::unique_ptr<TGraphicObject> TGraphicObjList::RemoveNode(TNodeIt node)
{
    TSectionGuard guard(Lock);
    std::unique_ptr<TGraphicObject> obj = std::move(node->Owned);
    Unindex(node);
    Nodes.erase(node);
    return obj;
}

void TGraphicObjList::Clear()
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Clear: The list has active iterators.");
    FreeAll();
}

void TGraphicObjList::FreeAll()
{
    for (TNode& node : Nodes) {
        if (!node.Owned)
            continue;
        try {
            node.Owned->CheckCanFree();
        } catch (const std::exception&) {
            // It is dropped from the list but not freed: whatever still refers to it (block
            // references to a definition) keeps pointing at a live object.
            static_cast<void>(node.Owned.release());
        }
    }
    // Nodes go one by one from the head, so a long list never recurses.
    while (!Nodes.empty())
        Nodes.pop_front();
    std::vector<TIdSlot>().swap(IdSlots);
    IdCount = 0;
}

void TGraphicObjList::Reserve(int32_t n)
{
    TSectionGuard guard(Lock);
    if (n > 0)
        GrowIndex(static_cast<size_t>(n));
}

TGraphicObject* TGraphicObjList::Find(int32_t id)
{
    TSectionGuard guard(Lock);
    if (Exclusive())
        throw ECADListBlocked("TGraphicObjList.GetIterator: The list has exclusive iterator.");
    const TIdChain* chain = FindChain(id);
    if (!chain)
        return nullptr;
    TGraphicObject* obj = chain->FirstObj;
    RASTREL_ASSERT(obj->ID == id);
    return obj;
}

TGraphicObjIterator TGraphicObjList::GetIterator()
{
    TSectionGuard guard(Lock);
    if (Exclusive())
        throw ECADListBlocked("TGraphicObjList.GetIterator: The list has exclusive iterator.");
    return TGraphicObjIterator(*this, false);
}

TExclusiveGraphicObjIterator TGraphicObjList::GetExclusiveIterator()
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.GetExclusiveIterator: The list has active iterators.");
    return TExclusiveGraphicObjIterator(*this);
}

TGraphicObjIterator TGraphicObjList::GetForcedExclusiveIterator()
{
    return TGraphicObjIterator(*this, true);
}

// ---- TGraphicObjIterator ----

TGraphicObjIterator::TGraphicObjIterator(TGraphicObjList& list, bool exclusive)
    : List(&list), CurrentNode(list.Nodes.begin()), HoldsExclusive(exclusive)
{
    TSectionGuard guard(list.Lock);
    ++list.ActiveIterators;
    if (exclusive)
        ++list.ExclusiveIterators;
}

TGraphicObjIterator::TGraphicObjIterator(TGraphicObjIterator&& other) noexcept
    : List(other.List), CurrentNode(other.CurrentNode), HoldsExclusive(other.HoldsExclusive)
{
    other.List = nullptr;
}

TGraphicObjIterator::~TGraphicObjIterator()
{
    if (!List)
        return;
    TSectionGuard guard(List->Lock);
    if (List->ActiveIterators > 0)
        --List->ActiveIterators;
    if (HoldsExclusive && List->ExclusiveIterators > 0)
        --List->ExclusiveIterators;
}

TGraphicObject* TGraphicObjIterator::First()
{
    if (!List)
        return nullptr;
    CurrentNode = List->Nodes.begin();
    return Current();
}

TGraphicObject* TGraphicObjIterator::Next()
{
    if (!HasCurrent())
        return nullptr;
    ++CurrentNode;
    return Current();
}

TGraphicObject* TGraphicObjIterator::Current() const
{
    return HasCurrent() ? CurrentNode->Obj : nullptr;
}

TGraphicObject* TGraphicObjIterator::Search(int32_t id)
{
    if (!List)
        return nullptr;
    const TGraphicObjList::TNodeIt node = List->FindNode(id);
    if (node == List->Nodes.end())
        return nullptr;
    CurrentNode = node;
    return node->Obj;
}

int32_t TGraphicObjIterator::Count() const { return List ? List->Count() : 0; }

// ---- TExclusiveGraphicObjIterator ----

TGraphicObjList::TNodeIt TExclusiveGraphicObjIterator::TakeCurrent(const char* operation)
{
    // Only a forced iterator can be alive beside an exclusive one; it must not lose its node.
    if (List->ActiveIterators > 1)
        throw ECADListBlocked(std::string("TExclusiveGraphicObjIterator.") + operation +
                              ": The list has other active iterators.");
    return CurrentNode;
}

void TExclusiveGraphicObjIterator::DeleteCurrent()
{
    if (!HasCurrent())
        return;
    const TGraphicObjList::TNodeIt node = TakeCurrent("DeleteCurrent");
    // After the tail there is no current node, so a walk that goes on with Current() ends
    // instead of visiting the previous object again.
    const TGraphicObjList::TNodeIt successor = std::next(node);
    List->DeleteNode(node);
    CurrentNode = successor;
}

std::unique_ptr<TGraphicObject> TExclusiveGraphicObjIterator::RemoveCurrent()
{
    if (!HasCurrent())
        return nullptr;
    const TGraphicObjList::TNodeIt node = TakeCurrent("RemoveCurrent");
    const TGraphicObjList::TNodeIt successor = std::next(node);
    std::unique_ptr<TGraphicObject> obj = List->RemoveNode(node);
    CurrentNode = successor;
    return obj;
}
