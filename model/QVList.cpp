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

void TGraphicObjList::Index(TNodeIt node)
{
    auto [it, inserted] = IdIndex.try_emplace(node->IndexedID, TIdChain{node, node, node->Obj});
    if (inserted)
        return;
    TNodeIt last = it->second.Last;
    last->NextSameID = node;
    node->PrevSameID = last;
    it->second.Last = node;
}

void TGraphicObjList::Unindex(TNodeIt node)
{
    const auto it = IdIndex.find(node->IndexedID);
    RASTREL_ASSERT(it != IdIndex.end());
    TIdChain& chain = it->second;
    if (node->PrevSameID != Nodes.end())
        node->PrevSameID->NextSameID = node->NextSameID;
    else
        chain.First = node->NextSameID;
    if (node->NextSameID != Nodes.end())
        node->NextSameID->PrevSameID = node->PrevSameID;
    else
        chain.Last = node->PrevSameID;
    if (chain.First == Nodes.end())
        IdIndex.erase(it);
    else
        chain.FirstObj = chain.First->Obj;
}

TGraphicObjList::TNodeIt TGraphicObjList::FindNode(int32_t id)
{
    const auto it = IdIndex.find(id);
    if (it == IdIndex.end())
        return Nodes.end();
    TNodeIt node = it->second.First;
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
    IdIndex.clear();
}

void TGraphicObjList::Reserve(int32_t n)
{
    TSectionGuard guard(Lock);
    if (n > 0)
        IdIndex.reserve(static_cast<size_t>(n));
}

TGraphicObject* TGraphicObjList::Find(int32_t id)
{
    TSectionGuard guard(Lock);
    if (Exclusive())
        throw ECADListBlocked("TGraphicObjList.GetIterator: The list has exclusive iterator.");
    const auto it = IdIndex.find(id);
    if (it == IdIndex.end())
        return nullptr;
    TGraphicObject* obj = it->second.FirstObj;
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
