#pragma once
// The lists that hold a drawing's objects, block definitions and a container's children. All
// access goes through iterators: a list counts the iterators alive on it and refuses to change
// its structure while any exists, so no traversal sees a node vanish under it. An exclusive
// iterator is the one way to take nodes out during a traversal.
#include "CADExceptions.h"
#include "QVSys.h"

#include <cstdint>
#include <list>
#include <memory>
#include <mutex>
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

class TGraphicObjList {
public:
    // A list made without ownership only refers to objects another list owns (selections).
    explicit TGraphicObjList(bool ownsObjects = true);
    // Frees every object the list owns. No iterator may be alive.
    ~TGraphicObjList();

    TGraphicObjList(const TGraphicObjList&) = delete;
    TGraphicObjList& operator=(const TGraphicObjList&) = delete;

    // Appends at the tail. An owning list takes the object; a non-owning one takes a reference.
    TGraphicObject* Add(std::unique_ptr<TGraphicObject> obj);
    void Add(TGraphicObject& obj);
    // Deletes the first object with that ID (freed when owned).
    bool Delete(int32_t id);
    void Clear();
    // Makes room in the ID index for n objects in all, so a large load does not rehash.
    void Reserve(int32_t n);

    // The first object added with that ID, or null, as a shared iterator's Search finds it (and
    // refused in the same way while an exclusive iterator is alive), without making one.
    TGraphicObject* Find(int32_t id);

    TGraphicObjIterator GetIterator();
    TExclusiveGraphicObjIterator GetExclusiveIterator();
    // Made even while shared iterators are alive, for the writers, so it only reads: it blocks
    // new shared iterators but cannot take nodes out.
    TGraphicObjIterator GetForcedExclusiveIterator();

    bool HasActiveIterators() const { return ActiveIterators > 0; }
    int32_t ActiveIteratorCount() const { return ActiveIterators; }
    bool Exclusive() const { return ExclusiveIterators > 0; }
    int32_t Count() const { return static_cast<int32_t>(Nodes.size()); }
    bool OwnsObjects() const { return Owns; }
    // Only on an empty list: a list does not change owner of what it already holds.
    void SetOwnsObjects(bool owns);

private:
    friend class TGraphicObjIterator;
    friend class TExclusiveGraphicObjIterator;

    struct TNode;
    using TNodeIt = std::list<TNode>::iterator;
    struct TNode {
        TGraphicObject* Obj;
        std::unique_ptr<TGraphicObject> Owned;  // null in a non-owning list
        int32_t IndexedID;                      // the ID the node is indexed under
        TNodeIt PrevSameID, NextSameID;         // the nodes with the same ID, in list order
    };
    // The nodes of one ID, so a lookup finds the first added in constant time. The first
    // node's object is kept here too: a lookup then reads no list node.
    struct TIdChain {
        TNodeIt First, Last;
        TGraphicObject* FirstObj;
    };

    // The ID index: open addressing with linear probing in one flat table of a power-of-two
    // size, at most three quarters full, so adding an object allocates nothing of its own.
    struct TIdSlot {
        int32_t Key;
        bool Used;
        TIdChain Chain;
    };
    size_t SlotOf(int32_t id) const;
    TIdChain* FindChain(int32_t id);
    // The chain of that ID, made empty-handed (inserted = true) when the ID is new.
    TIdChain& ChainFor(int32_t id, bool& inserted);
    void EraseChain(int32_t id);
    void GrowIndex(size_t entries);

    void Append(TGraphicObject* obj, std::unique_ptr<TGraphicObject> owned);
    void Index(TNodeIt node);
    void Unindex(TNodeIt node);
    TNodeIt FindNode(int32_t id);
    void DeleteNode(TNodeIt node);
    std::unique_ptr<TGraphicObject> RemoveNode(TNodeIt node);
    void FreeAll();

    std::list<TNode> Nodes;
    std::vector<TIdSlot> IdSlots;
    size_t IdCount = 0;
    bool Owns;
    int32_t ActiveIterators = 0;
    int32_t ExclusiveIterators = 0;
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
    bool HasCurrent() const { return List && CurrentNode != List->Nodes.end(); }

    TGraphicObjList* List;
    TGraphicObjList::TNodeIt CurrentNode;
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
    TGraphicObjList::TNodeIt TakeCurrent(const char* operation);
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
