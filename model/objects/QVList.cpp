#include "QVList.h"

#include <algorithm>
#include <unordered_map>
#include <unordered_set>
#include <utility>

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
    // An iterator alive now would point into a freed array.
    RASTREL_ASSERT(ActiveIterators == 0);
    FreeAll();
}

void TGraphicObjList::SetOwnsObjects(bool owns)
{
    RASTREL_ASSERT(Live == 0 || owns == Owns);
    Owns = owns;
}

TGraphicObject* TGraphicObjList::Add(std::unique_ptr<TGraphicObject>&& obj)
{
    RASTREL_ASSERT(obj && Owns);
    TGraphicObject* raw = obj.get();
    Append(raw);
    static_cast<void>(obj.release());  // the list owns it now
    return raw;
}

void TGraphicObjList::Add(TGraphicObject& obj)
{
    RASTREL_ASSERT(!Owns);
    Append(&obj);
}

void TGraphicObjList::AddReferences(std::span<TGraphicObject* const> objs)
{
    RASTREL_ASSERT(!Owns);
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Add: The list has active iterators.");
    Reserve(static_cast<int32_t>(std::min<size_t>(Objects.size() + objs.size(), PositionMask)));
    for (TGraphicObject* obj : objs)
        Append(obj);
}

void TGraphicObjList::Append(TGraphicObject* obj)
{
    // Within a bulk add this thread holds the lock already.
    if (BulkAdds == 0) {
        TSectionGuard guard(Lock);
        AppendLocked(obj);
    } else {
        AppendLocked(obj);
    }
}

void TGraphicObjList::BeginBulkAdd(size_t more)
{
    Lock.Enter();
    try {
        const size_t room = std::min<size_t>(Objects.size() + more, PositionMask);
        if (room > Objects.size())
            Reserve(static_cast<int32_t>(room));
    } catch (...) {
        Lock.Leave();
        throw;
    }
    ++BulkAdds;
}

void TGraphicObjList::EndBulkAdd()
{
    RASTREL_ASSERT(BulkAdds > 0);
    --BulkAdds;
    Lock.Leave();
}

void TGraphicObjList::AppendLocked(TGraphicObject* obj)
{
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Add: The list has active iterators.");
    const size_t pos = Objects.size();
    RASTREL_ASSERT(pos < PositionMask);
    const int32_t id = obj->ID;
    // Anything that fails leaves the list as it was and the object with the caller.
    Objects.push_back(obj);
    try {
        IndexedIDs.push_back(id);
        Index(id, pos);
    } catch (...) {
        Objects.pop_back();
        if (IndexedIDs.size() > pos)
            IndexedIDs.pop_back();
        throw;
    }
    ++Live;
}

size_t TGraphicObjList::SlotOf(int32_t id) const
{
    // Consecutive IDs, the usual case, land in consecutive slots, so filling a drawing walks the
    // table in order instead of missing the cache on every add; the high bits are folded in so
    // that IDs differing only there do not all meet in one slot.
    const uint32_t u = static_cast<uint32_t>(id);
    return static_cast<size_t>(u ^ (u >> 11) ^ (u >> 22)) & (IdSlots.size() - 1);
}

TGraphicObjList::TIdSlot* TGraphicObjList::FindSlot(int32_t id)
{
    if (IdSlots.empty())
        return nullptr;
    const size_t mask = IdSlots.size() - 1;
    const size_t home = SlotOf(id);
    // No entry lies further than MaxProbe from its home slot: consecutive IDs fill long runs of
    // slots, and an absent ID must not walk to the end of one.
    for (size_t i = home; IdSlots[i].Entry != VacantSlot && ((i - home) & mask) <= MaxProbe;
         i = (i + 1) & mask)
        if (IdSlots[i].Key == id)
            return &IdSlots[i];
    return nullptr;
}

size_t TGraphicObjList::PositionOf(int32_t id)
{
    const TIdSlot* slot = FindSlot(id);
    if (!slot)
        return npos;
    const size_t pos = slot->Position();
    // The index is keyed by the ID an object had when it was added; changing the ID of an
    // object while a list holds it is a programmer's error.
    RASTREL_ASSERT(pos < Objects.size() && Objects[pos] && Objects[pos]->ID == id);
    return pos;
}

void TGraphicObjList::Index(int32_t id, size_t pos)
{
    if (TIdSlot* slot = FindSlot(id)) {
        slot->Entry |= SharedIdFlag;
        return;
    }
    if ((IdCount + 1) * 4 > IdSlots.size() * 3)
        GrowIndex(IdCount + 1);
    const size_t mask = IdSlots.size() - 1;
    const size_t home = SlotOf(id);
    size_t i = home;
    while (IdSlots[i].Entry != VacantSlot)
        i = (i + 1) & mask;
    IdSlots[i].Key = id;
    IdSlots[i].Set(pos, false);
    MaxProbe = std::max(MaxProbe, (i - home) & mask);
    ++IdCount;
}

void TGraphicObjList::Unindex(size_t pos)
{
    const int32_t id = IndexedIDs[pos];
    TIdSlot* slot = FindSlot(id);
    RASTREL_ASSERT(slot);
    if (slot->Position() != pos)
        return;  // a later object with the ID: the first stays indexed
    if (slot->Shared()) {
        // Duplicate IDs come only from odd files: the next holder is looked for along the array.
        for (size_t next = pos + 1; next < Objects.size(); ++next)
            if (Objects[next] && IndexedIDs[next] == id) {
                slot->Set(next, true);
                return;
            }
    }
    EraseSlot(*slot);
}

void TGraphicObjList::EraseSlot(TIdSlot& slot)
{
    const size_t mask = IdSlots.size() - 1;
    size_t i = static_cast<size_t>(&slot - IdSlots.data());
    // Backward shift: every later entry of the probe run whose home slot does not lie between
    // the hole and itself moves into the hole, so no lookup stops early at an empty slot.
    // An entry further from the hole than MaxProbe cannot have its home at or before the hole:
    // the shift ends there, so deleting from a long run of consecutive IDs stays short.
    for (size_t j = (i + 1) & mask; IdSlots[j].Entry != VacantSlot && ((j - i) & mask) <= MaxProbe;
         j = (j + 1) & mask) {
        const size_t home = SlotOf(IdSlots[j].Key);
        if (((j - home) & mask) >= ((j - i) & mask)) {
            IdSlots[i] = IdSlots[j];
            i = j;
        }
    }
    IdSlots[i].Entry = VacantSlot;
    --IdCount;
}

void TGraphicObjList::GrowIndex(size_t entries)
{
    size_t size = IdSlots.empty() ? 16 : IdSlots.size();
    while (entries * 4 > size * 3)
        size *= 2;
    if (size == IdSlots.size())
        return;
    decltype(IdSlots) old(size);
    old.swap(IdSlots);
    const size_t mask = IdSlots.size() - 1;
    MaxProbe = 0;
    for (const TIdSlot& slot : old) {
        if (slot.Entry == VacantSlot)
            continue;
        const size_t home = SlotOf(slot.Key);
        size_t i = home;
        while (IdSlots[i].Entry != VacantSlot)
            i = (i + 1) & mask;
        IdSlots[i] = slot;
        MaxProbe = std::max(MaxProbe, (i - home) & mask);
    }
}

size_t TGraphicObjList::NextLive(size_t pos) const
{
    while (pos < Objects.size() && !Objects[pos])
        ++pos;
    return std::min(pos, Objects.size());
}

bool TGraphicObjList::Delete(int32_t id)
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.Delete: The list has active iterators.");
    const size_t pos = PositionOf(id);
    if (pos == npos)
        throw ECADListObjNotFound("TGraphicObjList.Delete: Object not found");
    DeleteAt(pos);
    Compact();
    return true;
}

void TGraphicObjList::DeleteAt(size_t pos)
{
    TSectionGuard guard(Lock);
    // An object that refuses to go stays in the list and the error reaches the caller.
    if (Owns)
        Objects[pos]->CheckCanFree();
    RemoveAt(pos);  // the owned object is freed with the pointer handed back
}

std::unique_ptr<TGraphicObject> TGraphicObjList::RemoveAt(size_t pos)
{
    TSectionGuard guard(Lock);
    TGraphicObject* obj = Objects[pos];
    Unindex(pos);
    Bury(pos);
    return std::unique_ptr<TGraphicObject>(Owns ? obj : nullptr);
}

void TGraphicObjList::Bury(size_t pos)
{
    Objects[pos] = nullptr;
    --Live;
    while (!Objects.empty() && !Objects.back()) {
        Objects.pop_back();
        IndexedIDs.pop_back();
    }
    Head = NextLive(Head);
}

void TGraphicObjList::Compact()
{
    if (ActiveIterators > 0 || Objects.size() - Live <= Live)
        return;
    size_t to = 0;
    for (size_t from = Head; from < Objects.size(); ++from) {
        if (!Objects[from])
            continue;
        if (to != from) {
            // Only the first holder of an ID is indexed by position. A new position is below
            // every old one still to come, so it is never mistaken for one.
            TIdSlot* slot = FindSlot(IndexedIDs[from]);
            RASTREL_ASSERT(slot);
            if (slot->Position() == from)
                slot->Set(to, slot->Shared());
            Objects[to] = Objects[from];
            IndexedIDs[to] = IndexedIDs[from];
        }
        ++to;
    }
    // Erased, not resized: shrinking never allocates, and an iterator's destructor ends here.
    Objects.erase(Objects.begin() + static_cast<std::ptrdiff_t>(to), Objects.end());
    IndexedIDs.erase(IndexedIDs.begin() + static_cast<std::ptrdiff_t>(to), IndexedIDs.end());
    Head = 0;
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
    if (Owns) {
        for (TGraphicObject*& obj : Objects) {
            if (!obj)
                continue;
            try {
                obj->CheckCanFree();
            } catch (const std::exception&) {
                // It is dropped from the list but not freed: whatever still refers to it (block
                // references to a definition) keeps pointing at a live object.
                obj = nullptr;
            }
        }
        // Freed from the head, each taken out of the array before it goes.
        for (TGraphicObject*& obj : Objects) {
            const std::unique_ptr<TGraphicObject> freed(std::exchange(obj, nullptr));
        }
    }
    TArray<TGraphicObject*>().swap(Objects);
    TArray<int32_t>().swap(IndexedIDs);
    decltype(IdSlots)().swap(IdSlots);
    IdCount = 0;
    MaxProbe = 0;
    Live = 0;
    Head = 0;
}

void TGraphicObjList::Reserve(int32_t n)
{
    TSectionGuard guard(Lock);
    if (n <= 0)
        return;
    GrowIndex(static_cast<size_t>(n));
    Objects.reserve(static_cast<size_t>(n));
    IndexedIDs.reserve(static_cast<size_t>(n));
}

TGraphicObject* TGraphicObjList::Find(int32_t id)
{
    TSectionGuard guard(Lock);
    if (Exclusive())
        throw ECADListBlocked("TGraphicObjList.GetIterator: The list has exclusive iterator.");
    const TIdSlot* slot = FindSlot(id);
    if (!slot)
        return nullptr;
    // As in PositionOf: a listed object keeps the ID it was added under.
    TGraphicObject* first = Objects[slot->Position()];
    RASTREL_ASSERT(first && first->ID == id);
    return first;
}

TGraphicObject* TGraphicObjList::NextAfter(int32_t id)
{
    TSectionGuard guard(Lock);
    const size_t pos = PositionOf(id);
    if (pos == npos)
        return nullptr;
    const size_t next = NextLive(pos + 1);
    return next < Objects.size() ? Objects[next] : nullptr;
}

void TGraphicObjList::PlaceBefore(std::span<const TPlacement> places)
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.PlaceBefore: The list has active iterators.");
    if (places.empty() || PlaceInHoles(places))
        return;
    std::unordered_map<const TGraphicObject*, std::vector<TGraphicObject*>> followers;
    std::unordered_set<const TGraphicObject*> moved;
    for (const TPlacement& place : places)
        moved.insert(place.Obj);
    for (const TPlacement& place : places)
        if (place.Before && place.Before != place.Obj)
            followers[place.Before].push_back(place.Obj);
    TArray<TGraphicObject*> order;
    order.reserve(Live);
    std::unordered_set<const TGraphicObject*> placed;
    // Depth first, with an explicit stack: a long run of deleted neighbours makes a long chain.
    const auto emit = [&](TGraphicObject* root) {
        std::vector<std::pair<TGraphicObject*, size_t>> stack{{root, 0}};
        while (!stack.empty()) {
            auto& [obj, next] = stack.back();
            const auto it = followers.find(obj);
            if (it != followers.end() && next < it->second.size()) {
                TGraphicObject* follower = it->second[next++];
                if (placed.insert(follower).second)
                    stack.push_back({follower, 0});
                continue;
            }
            order.push_back(obj);
            stack.pop_back();
        }
    };
    for (size_t pos = Head; pos < Objects.size(); ++pos)
        if (Objects[pos] && !moved.count(Objects[pos]))
            emit(Objects[pos]);
    // Those with no listed Before (or a loop) go to the tail in their given order.
    for (const TPlacement& place : places)
        if (placed.insert(place.Obj).second)
            emit(place.Obj);
    RASTREL_ASSERT(order.size() == Live);
    Objects = std::move(order);
    IndexedIDs.resize(Objects.size());
    for (size_t pos = 0; pos < Objects.size(); ++pos)
        IndexedIDs[pos] = Objects[pos]->ID;
    Head = 0;
    Reindex();
}

bool TGraphicObjList::PlaceInHoles(std::span<const TPlacement> places)
{
    TSectionGuard guard(Lock);
    if (ActiveIterators > 0)
        throw ECADListBlocked("TGraphicObjList.PlaceBefore: The list has active iterators.");
    // Backwards, so that an object placed in front of one placed before it finds that one
    // settled already, as the objects of one deleted run come back.
    for (size_t i = places.size(); i-- > 0;) {
        const TPlacement& place = places[i];
        if (!place.Before)
            continue;
        const size_t before = PositionOf(place.Before->ID);
        const size_t from = PositionOf(place.Obj->ID);
        if (before == npos || from == npos || Objects[before] != place.Before || Objects[from] != place.Obj)
            return false;
        if (from + 1 == before || (from < before && NextLive(from + 1) == before))
            continue; // already there
        if (before == 0 || Objects[before - 1])
            return false;
        TIdSlot* slot = FindSlot(IndexedIDs[from]);
        RASTREL_ASSERT(slot && slot->Position() == from);
        // Of duplicate IDs the first by position is indexed: the full pass sorts them out.
        if (slot->Shared())
            return false;
        const size_t to = before - 1;
        Objects[to] = place.Obj;
        IndexedIDs[to] = IndexedIDs[from];
        slot->Set(to, false);
        Head = std::min(Head, to);
        ++Live; // Bury counts the old slot out again
        Bury(from);
    }
    return true;
}

void TGraphicObjList::Reindex()
{
    std::fill(IdSlots.begin(), IdSlots.end(), TIdSlot{0, VacantSlot});
    IdCount = 0;
    MaxProbe = 0;
    for (size_t pos = 0; pos < Objects.size(); ++pos)
        if (Objects[pos])
            Index(IndexedIDs[pos], pos);
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
    : List(&list), Position(0), HoldsExclusive(exclusive)
{
    TSectionGuard guard(list.Lock);
    Position = list.Head;
    ++list.ActiveIterators;
    if (exclusive)
        ++list.ExclusiveIterators;
}

TGraphicObjIterator::TGraphicObjIterator(TGraphicObjIterator&& other) noexcept
    : List(other.List), Position(other.Position), HoldsExclusive(other.HoldsExclusive)
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
    // The holes a walk left are squeezed out once the last walk is over.
    List->Compact();
}

TGraphicObject* TGraphicObjIterator::First()
{
    if (!List)
        return nullptr;
    Position = List->Head;
    return Current();
}

TGraphicObject* TGraphicObjIterator::Next()
{
    if (!HasCurrent())
        return nullptr;
    Position = List->NextLive(Position + 1);
    return Current();
}

TGraphicObject* TGraphicObjIterator::Current() const
{
    return HasCurrent() ? List->Objects[Position] : nullptr;
}

TGraphicObject* TGraphicObjIterator::Search(int32_t id)
{
    if (!List)
        return nullptr;
    const size_t pos = List->PositionOf(id);
    if (pos == TGraphicObjList::npos)
        return nullptr;
    Position = pos;
    return List->Objects[pos];
}

int32_t TGraphicObjIterator::Count() const { return List ? List->Count() : 0; }

// ---- TExclusiveGraphicObjIterator ----

void TExclusiveGraphicObjIterator::CheckAlone(const char* operation) const
{
    // Only a forced iterator can be alive beside an exclusive one; it must not lose its node.
    if (List->ActiveIterators > 1)
        throw ECADListBlocked(std::string("TExclusiveGraphicObjIterator.") + operation +
                              ": The list has other active iterators.");
}

void TExclusiveGraphicObjIterator::DeleteCurrent()
{
    if (!HasCurrent())
        return;
    CheckAlone("DeleteCurrent");
    List->DeleteAt(Position);
    // After the tail there is no current node, so a walk that goes on with Current() ends
    // instead of visiting the previous object again.
    Position = List->NextLive(Position + 1);
}

std::unique_ptr<TGraphicObject> TExclusiveGraphicObjIterator::RemoveCurrent()
{
    if (!HasCurrent())
        return nullptr;
    CheckAlone("RemoveCurrent");
    std::unique_ptr<TGraphicObject> obj = List->RemoveAt(Position);
    Position = List->NextLive(Position + 1);
    return obj;
}
