#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVList.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace {

// An object that reports its destruction and can refuse to be freed, as a referenced block
// definition does.
class TTracked : public TGraphicObject {
public:
    TTracked(int32_t id, std::set<TTracked*>& alive) : TGraphicObject(id), Alive(alive)
    {
        Alive.insert(this);
    }
    ~TTracked() override { Alive.erase(this); }
    void CheckCanFree() const override
    {
        if (Referenced)
            throw ECADSourceBlockIsReferenced("referenced");
    }
    bool Referenced = false;

private:
    std::set<TTracked*>& Alive;
};

// An owning list of objects with the given IDs.
class ObjList : public ::testing::Test {
protected:
    void Fill(const std::vector<int32_t>& ids)
    {
        for (const int32_t id : ids)
            List.Add(std::make_unique<TTracked>(id, Alive));
    }
    std::vector<int32_t> Ids()
    {
        std::vector<int32_t> ids;
        auto it = List.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            ids.push_back(obj->ID);
        return ids;
    }

    std::set<TTracked*> Alive;
    TGraphicObjList List;
};

// A forced iterator only reads: it may live beside shared iterators.
template <class It>
concept TakesNodesOut = requires(It& it) {
    it.DeleteCurrent();
    it.RemoveCurrent();
};
static_assert(!TakesNodesOut<TGraphicObjIterator>);
static_assert(TakesNodesOut<TExclusiveGraphicObjIterator>);

}  // namespace

TEST_F(ObjList, StructureChangesAreRefusedWhileIteratorsLive)
{
    Fill({1, 2});
    struct Case {
        const char* name;
        std::function<void()> call;
        const char* text;
    };
    const std::vector<Case> cases = {
        {"add", [&] { List.Add(std::make_unique<TTracked>(3, Alive)); },
         "TGraphicObjList.Add: The list has active iterators."},
        {"delete", [&] { List.Delete(1); }, "TGraphicObjList.Delete: The list has active iterators."},
        {"clear", [&] { List.Clear(); }, "TGraphicObjList.Clear: The list has active iterators."},
        {"exclusive", [&] { List.GetExclusiveIterator(); },
         "TGraphicObjList.GetExclusiveIterator: The list has active iterators."},
    };
    for (const bool exclusive : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (exclusive ? " beside an exclusive iterator" : ""));
            if (exclusive) {
                auto it = List.GetExclusiveIterator();
                ExpectError<ECADListBlocked>(c.call, c.text);
            } else {
                auto it = List.GetIterator();
                ExpectError<ECADListBlocked>(c.call, c.text);
            }
            EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
        }
    }
    EXPECT_FALSE(List.HasActiveIterators());
    List.Add(std::make_unique<TTracked>(3, Alive));
    EXPECT_EQ(List.Count(), 3);
}

TEST_F(ObjList, SharedIteratorsCoexistButNotBesideAnExclusiveOne)
{
    Fill({1});
    {
        auto a = List.GetIterator();
        auto b = List.GetIterator();
        EXPECT_EQ(List.ActiveIteratorCount(), 2);
    }
    auto ex = List.GetExclusiveIterator();
    ExpectError<ECADListBlocked>([&] { List.GetIterator(); },
                                 "TGraphicObjList.GetIterator: The list has exclusive iterator.");
}

TEST_F(ObjList, ForcedIteratorKeepsExclusiveUntilTheLastOneGoes)
{
    Fill({1, 2});
    auto shared = List.GetIterator();
    {
        auto forced = List.GetForcedExclusiveIterator();
        EXPECT_TRUE(List.Exclusive());
        {
            auto second = List.GetForcedExclusiveIterator();
        }
        // Freeing one forced iterator must not lift the block of the other.
        EXPECT_TRUE(List.Exclusive());
        EXPECT_THROW(List.GetIterator(), ECADListBlocked);
        EXPECT_EQ(forced.First()->ID, 1);
    }
    EXPECT_FALSE(List.Exclusive());
    EXPECT_EQ(List.ActiveIteratorCount(), 1);
}

TEST_F(ObjList, ExclusiveIteratorCannotDeleteUnderAForcedOne)
{
    Fill({1, 2});
    auto ex = List.GetExclusiveIterator();
    ex.First();
    auto forced = List.GetForcedExclusiveIterator();
    forced.First();
    ExpectError<ECADListBlocked>([&] { ex.DeleteCurrent(); },
                                 "TExclusiveGraphicObjIterator.DeleteCurrent: The list has other active iterators.");
    ExpectError<ECADListBlocked>([&] { ex.RemoveCurrent(); },
                                 "TExclusiveGraphicObjIterator.RemoveCurrent: The list has other active iterators.");
    EXPECT_EQ(forced.Current()->ID, 1);
    EXPECT_EQ(List.Count(), 2);
}

TEST_F(ObjList, WalkEndsWithNullAndStaysThere)
{
    {
        auto it = List.GetIterator();
        EXPECT_EQ(it.First(), nullptr);
        EXPECT_EQ(it.Next(), nullptr);
        EXPECT_EQ(it.Current(), nullptr);
    }
    Fill({1, 2});
    auto it = List.GetIterator();
    EXPECT_EQ(it.First()->ID, 1);
    EXPECT_EQ(it.Next()->ID, 2);
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(it.Next(), nullptr);
    EXPECT_EQ(it.Count(), 2);
}

// Deleting the tail used to make the previous node current, so a walk that goes on with
// Current() visited it a second time.
TEST_F(ObjList, DeletingDuringAWalkVisitsEveryObjectOnce)
{
    struct Case {
        const char* name;
        std::vector<int32_t> ids;
        std::set<int32_t> doomed;
        std::vector<int32_t> left;
    };
    const std::vector<Case> cases = {
        {"tail", {1, 2, 3}, {3}, {1, 2}},
        {"head", {1, 2, 3}, {1}, {2, 3}},
        {"middle", {1, 2, 3}, {2}, {1, 3}},
        {"all", {1, 2, 3}, {1, 2, 3}, {}},
        {"only node", {1}, {1}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List.Clear();
        Fill(c.ids);
        std::vector<int32_t> visited;
        {
            auto it = List.GetExclusiveIterator();
            TGraphicObject* obj = it.First();
            while (obj) {
                visited.push_back(obj->ID);
                if (c.doomed.count(obj->ID)) {
                    it.DeleteCurrent();
                    obj = it.Current();
                } else {
                    obj = it.Next();
                }
            }
            EXPECT_EQ(it.Current(), nullptr);
        }
        EXPECT_EQ(visited, c.ids);
        EXPECT_EQ(Ids(), c.left);
        EXPECT_EQ(List.Count(), static_cast<int32_t>(c.left.size()));
        EXPECT_EQ(Alive.size(), c.left.size());
    }
}

TEST_F(ObjList, RemoveCurrentHandsTheObjectOver)
{
    Fill({1, 2});
    std::unique_ptr<TGraphicObject> taken;
    {
        auto it = List.GetExclusiveIterator();
        it.Search(2);
        taken = it.RemoveCurrent();
        EXPECT_EQ(it.Current(), nullptr);
    }
    ASSERT_TRUE(taken);
    EXPECT_EQ(taken->ID, 2);
    EXPECT_EQ(Alive.size(), 2u);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1}));
    List.Add(std::move(taken));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));
}

TEST_F(ObjList, DeleteOfAnAbsentIdChangesNothing)
{
    Fill({1, 2});
    ExpectError<ECADListObjNotFound>([&] { List.Delete(9); }, "TGraphicObjList.Delete: Object not found");
    EXPECT_EQ(List.Count(), 2);
    EXPECT_TRUE(List.Delete(1));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{2}));
    EXPECT_EQ(Alive.size(), 1u);
}

TEST_F(ObjList, DuplicateIdsAreFoundInTheOrderAdded)
{
    Fill({5, 7, 5, 5});
    auto first = static_cast<TTracked*>(nullptr);
    {
        auto it = List.GetIterator();
        first = static_cast<TTracked*>(it.Search(5));
        EXPECT_EQ(first, it.First());
        EXPECT_EQ(it.Search(8), nullptr);
        EXPECT_EQ(it.Current(), first);  // a miss leaves the current node alone
    }
    List.Delete(5);
    EXPECT_FALSE(Alive.count(first));
    EXPECT_EQ(Ids(), (std::vector<int32_t>{7, 5, 5}));
    {
        auto it = List.GetIterator();
        it.First();
        EXPECT_EQ(it.Search(5), it.Next());
    }
    List.Delete(5);
    List.Delete(5);
    EXPECT_THROW(List.Delete(5), ECADListObjNotFound);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{7}));
}

// Many IDs that collide in the index, added and deleted in a random order (duplicates and
// negative IDs included): after each step every ID finds the first of its objects still held,
// and a deleted ID is gone, so no deletion cuts another ID off its probe run.
TEST_F(ObjList, IndexFindsTheFirstHolderAfterRandomAddsAndDeletes)
{
    std::mt19937 rng(7);
    std::uniform_int_distribution<int32_t> pick(-40, 400);
    std::map<int32_t, std::vector<TGraphicObject*>> model;  // per ID, the holders in the order added
    for (int step = 0; step < 6000; ++step) {
        const int32_t id = pick(rng) * 64;  // multiples of a power of two share low bits
        if (rng() % 3 != 0) {
            model[id].push_back(List.Add(std::make_unique<TTracked>(id, Alive)));
        } else if (auto m = model.find(id); m != model.end()) {
            List.Delete(id);
            m->second.erase(m->second.begin());
            if (m->second.empty())
                model.erase(m);
        } else {
            EXPECT_THROW(List.Delete(id), ECADListObjNotFound);
        }
        if (step % 500 != 0)
            continue;
        for (int32_t probe = -40; probe <= 400; ++probe) {
            const auto m = model.find(probe * 64);
            ASSERT_EQ(List.Find(probe * 64), m == model.end() ? nullptr : m->second.front()) << "ID " << probe * 64;
        }
    }
    size_t held = 0;
    for (const auto& [id, holders] : model)
        held += holders.size();
    EXPECT_EQ(static_cast<size_t>(List.Count()), held);
}

// Deleted objects leave holes that are squeezed out once the walk is over: order, count and
// lookups (the first holder of a duplicate ID included) must be the same before and after, and
// an ID whose holders are all gone must not shadow a new holder.
TEST_F(ObjList, WalkDeletionsKeepOrderAndLookupsAcrossCompaction)
{
    struct Case {
        const char* name;
        std::vector<int32_t> ids;
        std::set<size_t> doomed;  // positions in ids
    };
    const std::vector<Case> cases = {
        {"most deleted", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}, {0, 1, 2, 4, 5, 6, 7}},
        {"all but the tail", {0, 1, 2, 3, 4, 5, 6, 7}, {0, 1, 2, 3, 4, 5, 6}},
        {"all but the head", {0, 1, 2, 3, 4, 5, 6, 7}, {1, 2, 3, 4, 5, 6, 7}},
        {"first of a duplicate ID", {5, 7, 5, 5}, {0}},
        {"first of a duplicate ID far apart", {5, 1, 2, 3, 4, 6, 5}, {0, 1, 2, 3}},
        {"later duplicate only", {5, 7, 5}, {2}},
        {"every other", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}, {0, 2, 4, 6, 8, 10}},
        {"every holder of a duplicate ID", {3, 3, 4, 3, 3}, {0, 1, 3, 4}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        List.Clear();
        std::vector<TGraphicObject*> held;
        for (const int32_t id : c.ids)
            held.push_back(List.Add(std::make_unique<TTracked>(id, Alive)));
        std::vector<TGraphicObject*> left;
        for (size_t i = 0; i < held.size(); ++i)
            if (!c.doomed.count(i))
                left.push_back(held[i]);
        const auto check = [&](const char* when) {
            SCOPED_TRACE(when);
            std::vector<int32_t> ids;
            for (TGraphicObject* obj : left)
                ids.push_back(obj->ID);
            EXPECT_EQ(Ids(), ids);
            EXPECT_EQ(List.Count(), static_cast<int32_t>(left.size()));
            for (const int32_t id : c.ids) {
                const auto first = std::find_if(left.begin(), left.end(), [id](auto* obj) { return obj->ID == id; });
                EXPECT_EQ(List.Find(id), first == left.end() ? nullptr : *first) << "ID " << id;
            }
        };
        {
            auto it = List.GetExclusiveIterator();
            size_t i = 0;
            for (it.First(); it.Current(); ++i) {
                if (c.doomed.count(i))
                    it.DeleteCurrent();
                else
                    it.Next();
            }
            auto reader = List.GetForcedExclusiveIterator();
            std::vector<TGraphicObject*> walked;
            for (TGraphicObject* obj = reader.First(); obj; obj = reader.Next())
                walked.push_back(obj);
            EXPECT_EQ(walked, left);
        }
        check("after the walk");
        // New holders of every ID go to the tail and are found only where no older one is left.
        for (const int32_t id : c.ids)
            left.push_back(List.Add(std::make_unique<TTracked>(id, Alive)));
        check("after adding again");
        EXPECT_EQ(Alive.size(), left.size());
    }
}

// Taking the head again and again (each time with a new iterator) and deleting by ID while
// adding: positions shift under compaction, yet every lookup and walk agrees with a plain model.
TEST_F(ObjList, RandomWalkDeletionsAgreeWithAModel)
{
    std::mt19937 rng(11);
    std::vector<TGraphicObject*> model;  // the held objects in order
    const auto firstHolder = [&](int32_t id) -> TGraphicObject* {
        for (TGraphicObject* obj : model)
            if (obj->ID == id)
                return obj;
        return nullptr;
    };
    for (int step = 0; step < 3000; ++step) {
        const int32_t id = static_cast<int32_t>(rng() % 200) - 20;
        switch (rng() % 4) {
        case 0:
        case 1:
            model.push_back(List.Add(std::make_unique<TTracked>(id, Alive)));
            break;
        case 2:
            if (TGraphicObject* first = firstHolder(id)) {
                List.Delete(id);
                model.erase(std::find(model.begin(), model.end(), first));
            }
            break;
        default: {
            // A walk that takes each object out with a chance that varies from walk to walk.
            const uint32_t chance = rng() % 100;
            auto it = List.GetExclusiveIterator();
            std::vector<TGraphicObject*> kept;
            for (TGraphicObject* obj = it.First(); obj;) {
                if (rng() % 100 >= chance) {
                    kept.push_back(obj);
                    obj = it.Next();
                } else if (rng() % 2) {
                    it.DeleteCurrent();
                    obj = it.Current();
                } else {
                    ASSERT_EQ(it.RemoveCurrent().get(), obj);
                    obj = it.Current();
                }
            }
            model = kept;
            break;
        }
        }
        ASSERT_EQ(List.Count(), static_cast<int32_t>(model.size()));
        if (step % 100 != 0)
            continue;
        std::vector<int32_t> ids;
        for (TGraphicObject* obj : model)
            ids.push_back(obj->ID);
        ASSERT_EQ(Ids(), ids);
        for (int32_t probe = -20; probe < 180; ++probe)
            ASSERT_EQ(List.Find(probe), firstHolder(probe)) << "ID " << probe;
    }
    EXPECT_EQ(Alive.size(), model.size());
}

// The index keeps the ID an object was added under, so taking out an object whose ID changed
// meanwhile leaves no stale entry behind.
TEST_F(ObjList, ObjectRenumberedWhileListedLeavesNoStaleEntry)
{
    Fill({1, 2});
    std::unique_ptr<TGraphicObject> taken;
    {
        auto it = List.GetExclusiveIterator();
        it.First()->ID = 9;
        taken = it.RemoveCurrent();
    }
    EXPECT_EQ(List.Find(9), nullptr);
    EXPECT_EQ(List.Find(1), nullptr);
    TGraphicObject* again = List.Add(std::make_unique<TTracked>(1, Alive));
    EXPECT_EQ(List.Find(1), again);
    EXPECT_EQ(Ids(), (std::vector<int32_t>{2, 1}));
}

TEST_F(ObjList, NonOwningListLeavesObjectsAlive)
{
    Fill({1, 2});
    TGraphicObjList selection(false);
    {
        auto it = List.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            selection.Add(*obj);
    }
    selection.Delete(1);
    {
        auto it = selection.GetExclusiveIterator();
        it.First();
        EXPECT_EQ(it.RemoveCurrent(), nullptr);  // the object is not the selection's to give
    }
    selection.Add(*List.GetIterator().First());
    selection.Clear();
    EXPECT_EQ(selection.Count(), 0);
    EXPECT_EQ(Alive.size(), 2u);
}

TEST_F(ObjList, ObjectThatRefusesToGoStaysWhenDeletedNodeByNode)
{
    Fill({1, 2});
    auto* refusing = static_cast<TTracked*>(List.GetIterator().First());
    refusing->Referenced = true;
    EXPECT_THROW(List.Delete(1), ECADSourceBlockIsReferenced);
    {
        auto it = List.GetExclusiveIterator();
        it.First();
        EXPECT_THROW(it.DeleteCurrent(), ECADSourceBlockIsReferenced);
        EXPECT_EQ(it.Current(), refusing);
    }
    EXPECT_EQ(Ids(), (std::vector<int32_t>{1, 2}));

    // Clear drops it without freeing it, since something still refers to it.
    List.Clear();
    EXPECT_EQ(List.Count(), 0);
    EXPECT_TRUE(Alive.count(refusing));
    refusing->Referenced = false;
    std::unique_ptr<TGraphicObject> reclaimed(refusing);
}

TEST_F(ObjList, MovedIteratorReleasesTheListOnce)
{
    Fill({1});
    {
        auto a = List.GetExclusiveIterator();
        auto b = std::move(a);
        EXPECT_EQ(a.Count(), 0);
        EXPECT_EQ(a.First(), nullptr);
        EXPECT_EQ(List.ActiveIteratorCount(), 1);
        b.First();
        b.DeleteCurrent();
    }
    EXPECT_EQ(List.ActiveIteratorCount(), 0);
    EXPECT_FALSE(List.Exclusive());
    EXPECT_EQ(List.Count(), 0);
}

TEST(CriticalSection, IsReentrant)
{
    TCADCoreCriticalSection lock;
    lock.Enter();
    lock.Enter();
    lock.Leave();
    lock.Leave();
}

TEST(IndexedObjectList, ShrinkingFreesTheObjectsPastTheNewCount)
{
    std::set<TTracked*> alive;
    TIndexedObjectList<TTracked> list(5);
    for (int32_t i = 0; i < 5; ++i)
        list.SetObject(i, std::make_unique<TTracked>(i, alive));
    list.SetCount(2);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_EQ(alive.size(), 2u);
    EXPECT_EQ(list.GetObject(1)->ID, 1);
    list.SetCount(4);
    EXPECT_EQ(list.GetObject(3), nullptr);
    list.Clear();
    EXPECT_EQ(list.Count(), 4);
    EXPECT_TRUE(alive.empty());
}

// Replacing a slot used to leave the old object neither freed nor owned.
TEST(IndexedObjectList, ReplacingASlotFreesTheOldObject)
{
    std::set<TTracked*> alive;
    TIndexedObjectList<TTracked> list(2);
    list.SetObject(0, std::make_unique<TTracked>(1, alive));
    list.SetObject(0, std::make_unique<TTracked>(2, alive));
    EXPECT_EQ(alive.size(), 1u);
    EXPECT_EQ(list.GetObject(0)->ID, 2);
}

TEST(IndexedObjectList, IndexErrors)
{
    std::set<TTracked*> alive;
    TIndexedObjectList<TTracked> list(2);
    ExpectError<ECADOutOfBound>([&] { list.SetObject(2, std::make_unique<TTracked>(1, alive)); },
                                "TIndexedObjectList.SetObject: Index out of bounds.");
    ExpectError<ECADOutOfBound>([&] { list.GetObject(256); },
                                "TIndexedObjectList.GetObject: Index out of bounds.");
    TIndexedObjectList<TTracked> empty(0);
    EXPECT_EQ(empty.GetObject(3), nullptr);
    empty.SetObject(3, std::make_unique<TTracked>(1, alive));
    EXPECT_TRUE(alive.empty());
}

// Objects taken out and added again at the tail go back in front of the objects named, whether
// their old holes are still there or were squeezed out, in runs and in loops; lookups follow.
TEST_F(ObjList, PlaceBeforePutsObjectsBackInFrontOfOthers)
{
    struct Case {
        const char* Name;
        std::vector<int32_t> Removed; // in this order, each with the ID then following it
        bool Squeeze;                 // holes squeezed out before the objects come back
    };
    const std::vector<Case> cases = {
        {"one in a hole", {3}, false},
        {"a run in its holes", {2, 3, 4}, false},
        {"a run, holes squeezed", {2, 3, 4}, true},
        {"scattered, last one too", {1, 5, 9}, true},
        {"the head", {0, 1}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        List.Clear();
        Fill({0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
        const std::vector<int32_t> before = Ids();
        std::vector<std::pair<int32_t, int32_t>> removed;
        for (const int32_t id : c.Removed) {
            const TGraphicObject* next = List.NextAfter(id);
            removed.emplace_back(id, next ? next->ID : -1);
            List.Delete(id);
        }
        if (c.Squeeze)
            for (int32_t id = 100; id < 120; ++id) {
                List.Add(std::make_unique<TTracked>(id, Alive));
                List.Delete(id);
            }
        std::vector<TGraphicObjList::TPlacement> places;
        for (const auto& [id, nextId] : removed) {
            TGraphicObject* obj = List.Add(std::make_unique<TTracked>(id, Alive));
            places.push_back({obj, nullptr});
        }
        for (size_t i = 0; i < removed.size(); ++i)
            places[i].Before = removed[i].second >= 0 ? List.Find(removed[i].second) : nullptr;
        List.PlaceBefore(places);
        EXPECT_EQ(Ids(), before);
        for (const int32_t id : before)
            EXPECT_EQ(List.Find(id)->ID, id);
    }

    // Befores that name each other cannot be honoured: both go to the tail, neither is lost.
    List.Clear();
    Fill({0, 1, 2});
    TGraphicObject* a = List.Find(0);
    TGraphicObject* b = List.Find(1);
    const std::vector<TGraphicObjList::TPlacement> loop{{a, b}, {b, a}};
    List.PlaceBefore(loop);
    std::vector<int32_t> ids = Ids();
    EXPECT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids.front(), 2);
}
