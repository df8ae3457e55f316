#pragma once
// The lists that hold a drawing's objects, block definitions and a container's children. All
// access goes through iterators: a list counts the iterators alive on it and refuses to change
// its structure while any exists, so no traversal sees a node vanish under it. An exclusive
// iterator is the one way to take nodes out during a traversal.
#include "CADExceptions.h"
#include "ObjectMemory.h"
#include "QVSys.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

class TCADCoreSynchroObject {
public:
    virtual ~TCADCoreSynchroObject() = default;
    virtual void Lock() {}
    virtual void Unlock() {}
    void Enter() { Lock(); }
    void Leave() { Unlock(); }
};

// Re-entrant: the thread that holds it may enter it again.
class TCADCoreCriticalSection : public TCADCoreSynchroObject {
public:
    void Lock() override { Mutex.lock(); }
    void Unlock() override { Mutex.unlock(); }

private:
    std::recursive_mutex Mutex;
};

class TGraphicObjIterator;
class TExclusiveGraphicObjIterator;

// The objects sit in one array in the order added; a deleted one leaves a hole that walks skip,
// and the holes are squeezed out once no iterator is alive and they outnumber the objects. So a
// listed object costs a pointer, its ID and an index slot, with no allocation of its own.
class TGraphicObjList {
public:
    // A list made without ownership only refers to objects another list owns (selections).
    explicit TGraphicObjList(bool ownsObjects = true);
    // Frees every object the list owns. No iterator may be alive.
    ~TGraphicObjList();

    TGraphicObjList(const TGraphicObjList&) = delete;
    TGraphicObjList& operator=(const TGraphicObjList&) = delete;

    // Appends at the tail. An owning list takes the object; a non-owning one takes a reference.
    // Takes obj only when it succeeds: on an error obj still holds the object.
    TGraphicObject* Add(std::unique_ptr<TGraphicObject>&& obj);
    void Add(TGraphicObject& obj);
    // A non-owning list takes references to all of them at the tail, in order, under one lock:
    // a selection of half a million objects is added at the speed of memory.
    void AddReferences(std::span<TGraphicObject* const> objs);
    // Deletes the first object with that ID (freed when owned).
    bool Delete(int32_t id);
    void Clear();
    // Makes room for n objects in all, in the array and in the ID index, so a large load neither
    // copies the array nor rehashes.
    void Reserve(int32_t n);
    // A run of adds from one source (a load, an import): room for More objects beyond those held
    // is made once, and the list's lock is held from here to EndBulkAdd instead of being taken
    // for each add. Runs nest; each Begin needs its End on the same thread.
    void BeginBulkAdd(size_t more);
    void EndBulkAdd();

    // The first object added with that ID, or null, as a shared iterator's Search finds it (and
    // refused in the same way while an exclusive iterator is alive), without making one.
    TGraphicObject* Find(int32_t id);
    // The object that follows the first object with that ID; null at the tail or for an ID not
    // listed.
    TGraphicObject* NextAfter(int32_t id);

    // Listed objects to be put back in front of another one (null Before: at the tail).
    struct TPlacement {
        TGraphicObject* Obj;
        TGraphicObject* Before;
    };
    // Moves each Obj in front of its Before, in one pass over the list. A Before that is moved
    // too takes its followers along; one that is not listed, or a loop of Befores, leaves the
    // object at the tail. The objects themselves are untouched.
    void PlaceBefore(std::span<const TPlacement> places);
    // The same, only as far as each object can go into the hole in front of its Before (as a
    // deletion leaves it while the list is not squeezed), last first. Stops at the first that
    // cannot and answers false; those before it stay placed.
    bool PlaceInHoles(std::span<const TPlacement> places);

    TGraphicObjIterator GetIterator();
    TExclusiveGraphicObjIterator GetExclusiveIterator();
    // Made even while shared iterators are alive, for the writers, so it only reads: it blocks
    // new shared iterators but cannot take nodes out.
    TGraphicObjIterator GetForcedExclusiveIterator();

    bool HasActiveIterators() const { return ActiveIterators > 0; }
    int32_t ActiveIteratorCount() const { return ActiveIterators; }
    bool Exclusive() const { return ExclusiveIterators > 0; }
    int32_t Count() const { return static_cast<int32_t>(Live); }
    bool OwnsObjects() const { return Owns; }
    // Only on an empty list: a list does not change owner of what it already holds.
    void SetOwnsObjects(bool owns);

private:
    friend class TGraphicObjIterator;
    friend class TExclusiveGraphicObjIterator;

    // The ID index: open addressing with linear probing in one flat table of a power-of-two
    // size, at most three quarters full. A slot holds an ID and the position of the first object
    // added with it: eight bytes, as the table of a large drawing has two slots per object or
    // more. SharedIdFlag marks that later objects may carry the same ID, so only then does
    // deleting the first look along the array for its successor.
    // A vacant slot is zero bytes, so a new table takes no page of memory before it is used:
    // the IDs of a drawing fill a run of its slots, not all of them.
    static constexpr uint32_t VacantSlot = 0;
    static constexpr uint32_t SharedIdFlag = 0x80000000u;
    static constexpr uint32_t PositionMask = 0x7FFFFFFFu;
    struct TIdSlot {
        int32_t Key;
        uint32_t Entry; // (position + 1) | SharedIdFlag, or VacantSlot

        size_t Position() const { return (Entry & PositionMask) - 1; }
        bool Shared() const { return (Entry & SharedIdFlag) != 0; }
        void Set(size_t position, bool shared)
        {
            Entry = static_cast<uint32_t>(position + 1) | (shared ? SharedIdFlag : 0);
        }
    };

    size_t SlotOf(int32_t id) const;
    TIdSlot* FindSlot(int32_t id);
    // The position of the first object with that ID, or npos.
    size_t PositionOf(int32_t id);
    void GrowIndex(size_t entries);
    void Index(int32_t id, size_t pos);
    void Unindex(size_t pos);
    void EraseSlot(TIdSlot& slot);

    void Append(TGraphicObject* obj);
    void AppendLocked(TGraphicObject* obj);
    // The first object at or after pos; the array's size when none.
    size_t NextLive(size_t pos) const;
    void DeleteAt(size_t pos);
    std::unique_ptr<TGraphicObject> RemoveAt(size_t pos);
    // Leaves a hole at pos; trailing holes go at once, as no walk can reach them.
    void Bury(size_t pos);
    // Squeezes the holes out when they outnumber the objects and no iterator can see it.
    void Compact();
    void FreeAll();
    // Indexes every object again at its position.
    void Reindex();

    static constexpr size_t npos = static_cast<size_t>(-1);

    // A large drawing's arrays are large arrays (ObjectMemory.h), sized once by Reserve.
    template <class T> using TArray = std::vector<T, TLargeArrayAllocator<T>>;
    // Null where an object was deleted. An owning list owns what these point to.
    TArray<TGraphicObject*> Objects;
    // The ID each object was indexed under, beside it (an object's ID may change while listed).
    TArray<int32_t> IndexedIDs;
    std::vector<TIdSlot, TZeroedArrayAllocator<TIdSlot>> IdSlots;
    size_t IdCount = 0;
    // The furthest any entry has been placed from its home slot since the index was last built:
    // lookups and deletions look no further.
    size_t MaxProbe = 0;
    size_t Live = 0;  // objects held; the rest of the array are holes
    size_t Head = 0;  // the first object's position (no hole before it); the size when empty
    bool Owns;
    int32_t ActiveIterators = 0;
    int32_t ExclusiveIterators = 0;
    int32_t BulkAdds = 0; // runs of BeginBulkAdd open; while any is, Append takes no lock
    TCADCoreCriticalSection Lock;
};

// A shared iterator; its destructor releases the list. The usual walk is
//   for (auto* obj = it.First(); obj; obj = it.Next())
class TGraphicObjIterator {
public:
    TGraphicObjIterator(TGraphicObjIterator&& other) noexcept;
    TGraphicObjIterator& operator=(const TGraphicObjIterator&) = delete;
    ~TGraphicObjIterator();

    // The head's object; null for an empty list.
    TGraphicObject* First();
    // Advances; null at the end, and again null on further calls.
    TGraphicObject* Next();
    TGraphicObject* Current() const;
    // Makes the first object with that ID current; null (current unchanged) when absent.
    TGraphicObject* Search(int32_t id);
    // The list's count; 0 for an iterator moved from.
    int32_t Count() const;

protected:
    TGraphicObjIterator(TGraphicObjList& list, bool exclusive);
    bool HasCurrent() const { return List && Position < List->Objects.size(); }

    TGraphicObjList* List;
    size_t Position;  // in the list's array; its size (or more) past the end
    bool HoldsExclusive;

private:
    friend class TGraphicObjList;
};

// After DeleteCurrent or RemoveCurrent the walk goes on with Current(), not Next(): the
// following node has already become current (none after the tail).
class TExclusiveGraphicObjIterator : public TGraphicObjIterator {
public:
    TExclusiveGraphicObjIterator(TExclusiveGraphicObjIterator&& other) noexcept = default;

    // Deletes the current node, freeing its object when the list owns it.
    void DeleteCurrent();
    // Unlinks the current node; an owning list hands the object to the caller.
    std::unique_ptr<TGraphicObject> RemoveCurrent();

private:
    friend class TGraphicObjList;
    explicit TExclusiveGraphicObjIterator(TGraphicObjList& list) : TGraphicObjIterator(list, true) {}
    void CheckAlone(const char* operation) const;
};

// A fixed number of owned object slots by index (the stroke fonts use it).
template <class T>
class TIndexedObjectList {
public:
    explicit TIndexedObjectList(int32_t n) { SetCount(n); }

    int32_t Count() const { return static_cast<int32_t>(Items.size()); }

    // Objects past the new count are freed; new slots are empty.
    void SetCount(int32_t n)
    {
        RASTREL_ASSERT(n >= 0);
        Items.resize(static_cast<size_t>(n));
        if (n == 0)
            Items.shrink_to_fit();
    }

    // The object that had the slot is freed, so one object never sits in two slots.
    void SetObject(int32_t index, std::unique_ptr<T> obj)
    {
        if (Items.empty())
            return;
        if (index < 0 || index >= Count())
            throw ECADOutOfBound("TIndexedObjectList.SetObject: Index out of bounds.");
        Items[static_cast<size_t>(index)] = std::move(obj);
    }

    T* GetObject(int32_t index) const
    {
        if (Items.empty())
            return nullptr;
        if (index < 0 || index >= Count())
            throw ECADOutOfBound("TIndexedObjectList.GetObject: Index out of bounds.");
        return Items[static_cast<size_t>(index)].get();
    }

    // Frees every object; the count stays.
    void Clear()
    {
        for (auto& item : Items)
            item.reset();
    }

private:
    std::vector<std::unique_ptr<T>> Items;
};
