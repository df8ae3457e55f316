#include "CADExceptions.h"
#include "ExpectError.h"
#include "FakeServices.h"
#include "FakeView.h"
#include "QVCmp.h"
#include "RecordingTree.h"
#include "TestMark.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

using DrawingTest = DrawingClasses;

std::unique_ptr<TSourceBlock2D> Definition(const char* name)
{
    std::vector<std::unique_ptr<TGraphicObject>> children;
    children.push_back(Mark(1, 1));
    return std::make_unique<TSourceBlock2D>(-1, StrToBlockName(name), std::move(children));
}

// Definitions A and B, each holding a reference to the other.
void MakeCycle(TQV_01Cmp2D& d)
{
    TSourceBlock2D* a = d.AddSourceBlock(Definition("A"));
    TSourceBlock2D* b = d.AddSourceBlock(Definition("B"));
    a->Objects.Add(std::make_unique<TBlock2D>(-1, b));
    b->Objects.Add(std::make_unique<TBlock2D>(-1, a));
}

}  // namespace

TEST_F(DrawingTest, IdsComeFromTheCounterOrMoveItPastThemselves)
{
    TQV_01Cmp2D d;
    for (int i = 0; i < 3; ++i)
        d.AddObject(-1, Mark(i, 0));
    d.AddObject(10, Mark(0, 0));
    d.AddObject(-1, Mark(0, 0));
    TTestMark* first5 = d.AddObject(5, Mark(5, 0));
    d.AddObject(5, Mark(6, 0));
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{0, 1, 2, 10, 11, 5, 5}));
    // The first object added with an ID is the one found by it.
    EXPECT_EQ(d.GetObject(5), first5);
    EXPECT_EQ(d.GetObject(12), nullptr);
    EXPECT_EQ(first5->Owner, &d);
    auto exclusive = d.ObjectsExclusiveIterator();
    ExpectError<ECADListBlocked>([&] { d.GetObject(5); },
                                 "TGraphicObjList.GetIterator: The list has exclusive iterator.");
}

TEST_F(DrawingTest, LayersOfAddedObjects)
{
    TQV_01Cmp2D d;
    d.CurrentLayer = 3;
    TTestMark* onSeven = d.AddObjectToLayer(-1, 7, Mark(0, 0));
    EXPECT_EQ(onSeven->Layer, 7);
    EXPECT_EQ(d.CurrentLayer, 3);
    EXPECT_EQ(d.AddObject(-1, Mark(0, 0))->Layer, 3);

    TRecordingTree tree;
    d.TreeGeo = &tree;
    TContainer2D* aux = d.AddAuxContainer(std::make_unique<TContainer2D>(-1));
    EXPECT_FALSE(aux->ToBeSaved);
    EXPECT_FALSE(aux->UseLayerStyle);
    EXPECT_EQ(aux->ID, 2);
    EXPECT_TRUE(tree.Added.empty());
    d.AddObject(-1, Mark(0, 0));
    EXPECT_EQ(tree.Added, (std::vector<int32_t>{3}));
}

TEST_F(DrawingTest, AddingWhileTheListIsWalkedChangesNothing)
{
    TQV_01Cmp2D d;
    d.AddObject(-1, Mark(0, 0));
    auto obj = Mark(0, 0);
    {
        auto it = d.ObjectsIterator();
        ExpectError<ECADListBlocked>([&] { d.AddObject(-1, std::move(obj)); },
                                     "TGraphicObjList.Add: The list has active iterators.");
    }
    ASSERT_NE(obj, nullptr);  // the caller still owns it
    EXPECT_EQ(d.NextObjectID, 1);
    EXPECT_EQ(d.AddObject(-1, std::move(obj))->ID, 1);
}

TEST_F(DrawingTest, DeleteObjectAndDeleteAll)
{
    TQV_01Cmp2D d;
    TRecordingTree tree;
    d.TreeGeo = &tree;
    for (int i = 0; i < 3; ++i)
        d.AddObject(-1, Mark(i, 0));
    ExpectError<ECADListObjNotFound>([&] { d.DeleteObject(9); }, "TCADCmp.DeleteObject: No object found");
    EXPECT_EQ(d.ObjectsCount(), 3);
    EXPECT_TRUE(d.DeleteObject(1));
    EXPECT_EQ(IdsOf(d), (std::vector<int32_t>{0, 2}));
    EXPECT_EQ(tree.Deleted, (std::vector<int32_t>{1}));

    d.AddSourceBlock(Definition("X"));
    {
        // A clear refused while the list is walked keeps the objects, and their IDs stay taken.
        auto it = d.ObjectsIterator();
        d.DeleteAllObjects();
    }
    EXPECT_EQ(d.ObjectsCount(), 2);
    EXPECT_EQ(d.AddObject(-1, Mark(0, 0))->ID, 3);
    d.DeleteAllObjects();
    EXPECT_EQ(d.ObjectsCount(), 0);
    EXPECT_EQ(d.NextObjectID, 0);
    EXPECT_EQ(d.NextSourceBlockID, 1);
}

TEST_F(DrawingTest, ReferencedDefinitionsStayUntilTheirReferencesAreGone)
{
    TQV_01Cmp2D d;
    TSourceBlock2D* def = d.AddSourceBlock(Definition("DOOR"));
    d.AddObject(-1, std::make_unique<TBlock2D>(-1, def));
    d.AddObject(-1, std::make_unique<TInsert>(-1, def));
    EXPECT_EQ(def->References, 2);
    ExpectError<ECADCoreException>([&] { d.DeleteSourceBlock(StrToBlockName("DOOR")); },
                                   "TQV_01Cmp2D.DeleteSourceBlock: Remove the references before the source");
    d.DeleteSourceBlock(def->ID);  // by ID: refused without an error
    EXPECT_EQ(d.SourceBlocksCount(), 1);
    d.DeleteObject(0);
    d.DeleteObject(1);
    EXPECT_EQ(def->References, 0);
    d.DeleteSourceBlock(StrToBlockName("DOOR"));
    EXPECT_EQ(d.SourceBlocksCount(), 0);
    ExpectError<ECADListObjNotFound>([&] { d.FindSourceBlock(StrToBlockName("DOOR")); },
                                     "TQV_01Cmp2D.FindSourceBlock: Source block DOOR not found");
    ExpectError<ECADListObjNotFound>([&] { d.DeleteSourceBlock(0); },
                                     "TCADCmp.DeleteSourceBlock: No source block found");
}

TEST_F(DrawingTest, DrawingBlocksUsedByLaterBlocksAreDeletedToo)
{
    TQV_01Cmp2D d;
    TSourceBlock2D* a = d.AddSourceBlock(Definition("A"));
    TSourceBlock2D* b = d.AddSourceBlock(Definition("B"));
    b->Objects.Add(std::make_unique<TBlock2D>(-1, a));
    TSourceBlock2D* lib = d.AddSourceBlock(Definition("LIB"));
    lib->IsLibrary = true;
    d.DeleteDrawingBlocks();
    EXPECT_EQ(d.SourceBlocksCount(), 1);
    EXPECT_EQ(d.FindSourceBlock(StrToBlockName("LIB")), lib);
    d.DeleteLibraryBlocks();
    EXPECT_EQ(d.SourceBlocksCount(), 0);
}

TEST_F(DrawingTest, DefinitionsReferencingEachOtherAreFreedWithTheCycleReported)
{
    {
        TQV_01Cmp2D d;
        MakeCycle(d);
        d.AddSourceBlock(Definition("FREE"));
        ExpectError<ECADSourceBlockIsReferenced>(
            [&] { d.FreeSourceBlocks(); },
            "TCADCmp.FreeSourceBlocks: Severe error\n\rThe drawing contains circular reference of source blocks. "
            "They will be not deleted !");
        EXPECT_EQ(d.SourceBlocksCount(), 0);
    }
    {
        // Definitions an object still uses stay, with what they use; the cycle goes.
        TQV_01Cmp2D d;
        MakeCycle(d);
        TSourceBlock2D* used = d.AddSourceBlock(Definition("USED"));
        TSourceBlock2D* user = d.AddSourceBlock(Definition("USER"));
        user->Objects.Add(std::make_unique<TBlock2D>(-1, used));
        TBlock2D* ref = d.AddObject(-1, std::make_unique<TBlock2D>(-1, user));
        EXPECT_THROW(d.FreeSourceBlocks(), ECADSourceBlockIsReferenced);
        EXPECT_EQ(d.SourceBlocksCount(), 2);
        EXPECT_EQ(ref->Source(), user);
        EXPECT_EQ(used->References, 1);
        d.DeleteAllObjects();
        d.FreeSourceBlocks();
        EXPECT_EQ(d.SourceBlocksCount(), 0);
    }
    // Destroying such a drawing frees everything (the leak checker would tell) and reports.
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    {
        TQV_01Cmp2D d;
        MakeCycle(d);
    }
    ASSERT_EQ(window.Boxes.size(), 1u);
    EXPECT_NE(window.Boxes[0].Text.find("circular reference"), std::string::npos);
}

TEST_F(DrawingTest, DefaultLayersColorSparesChangedLayers)
{
    TQV_01Cmp2D d;
    d.Layers.GetLayer(3).SetName("Walls");
    d.SetDefaultLayersColor(0x0000FF);
    EXPECT_EQ(d.DefaultLayersColor(), 0x0000FF);
    EXPECT_EQ(d.Layers.GetLayer(200).Pen.Color(), 0x0000FF);
    EXPECT_FALSE(d.Layers.GetLayer(200).Modified);
    EXPECT_EQ(d.Layers.GetLayer(3).Pen.Color(), 0);
}

TEST_F(DrawingTest, ViewsAreRebuiltWithoutRenewingTheStock)
{
    TQV_01Cmp2D d;
    TFakeDrawingView a, b;
    d.AddView(&a);
    d.AddView(nullptr);
    d.AddView(&b);
    d.RepaintViews();
    EXPECT_EQ(a.Calls, (std::vector<bool>{false}));
    EXPECT_EQ(b.Calls, (std::vector<bool>{false}));
}

// A weak reference into the drawing, as the current label or bitmap hold one.
TEST_F(DrawingTest, EveryFreeIsAnnouncedFirst)
{
    auto d = std::make_unique<TQV_01Cmp2D>();
    std::vector<int32_t> announced;
    TGraphicObject* weak = nullptr;
    const int32_t handle = d->AddFreeListener([&](TGraphicObject& obj) {
        announced.push_back(obj.ID);
        if (&obj == weak)
            weak = nullptr;
    });
    for (int i = 0; i < 4; ++i)
        d->AddObject(-1, Mark(i, 0));
    weak = d->GetObject(2);
    d->DeleteObject(2);
    EXPECT_EQ(weak, nullptr);
    d->DeleteAllObjects();
    EXPECT_EQ(announced, (std::vector<int32_t>{2, 0, 1, 3}));

    announced.clear();
    TSourceBlock2D* def = d->AddSourceBlock(Definition("D"));
    d->AddObject(-1, std::make_unique<TBlock2D>(-1, def));
    d->AddObject(-1, Mark(0, 0));
    d.reset();
    EXPECT_EQ(announced, (std::vector<int32_t>{0, 1, 0}));

    TQV_01Cmp2D other;
    const int32_t h = other.AddFreeListener([&](TGraphicObject&) { ADD_FAILURE() << "removed listener called"; });
    other.RemoveFreeListener(h);
    other.AddObject(-1, Mark(0, 0));
    other.DeleteObject(0);
    static_cast<void>(handle);
}

namespace {

// A mark whose display build fails, as one would when the view runs out of memory.
class TFailingMark : public TTestMark {
public:
    using TTestMark::TTestMark;
    void BuildGL() override { throw ECADCoreException("display failed"); }
};

class TFailingTree : public TDrawingTree {
public:
    void AddObjectNode(TGraphicObject&) override { throw ECADCoreException("tree failed"); }
    void DeleteObjectNode(TGraphicObject&) override {}
    void MoveGeoTreeObjectNode(TGraphicObject&) override {}
};

} // namespace

// A step after the object entered the list failed: the caller's pointer still owned the object,
// and freeing the drawing freed it a second time.
TEST_F(DrawingTest, AnAddThatFailsAfterTheListTookTheObjectLeavesOneOwner)
{
    struct TCase {
        const char* Name;
        bool FailingDisplay, FailingEvent, FailingTree;
    };
    const std::vector<TCase> cases = {
        {"display", true, false, false},
        {"add event", false, true, false},
        {"tree", false, false, true},
    };
    for (const bool bulk : {false, true})
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + (bulk ? " in a bulk add" : ""));
            TQV_01Cmp2D d;
            TFailingTree tree;
            if (c.FailingTree)
                d.TreeGeo = &tree;
            if (c.FailingEvent)
                d.OnAddObject = [](TQV_01Cmp&, TGraphicObject&) { throw ECADCoreException("event failed"); };
            TTestMark* raw = nullptr;
            {
                std::optional<TQV_01Cmp::TBulkAdd> run;
                if (bulk)
                    run.emplace(d, 2);
                std::unique_ptr<TTestMark> obj =
                    c.FailingDisplay ? std::make_unique<TFailingMark>(-1, 1, 2) : Mark(1, 2);
                raw = obj.get();
                EXPECT_THROW(d.AddObject(-1, std::move(obj)), ECADCoreException);
                EXPECT_EQ(obj, nullptr);
                ASSERT_EQ(d.ObjectsCount(), 1);
                EXPECT_EQ(d.GetObject(0), raw);
            }
            // The run let go of the list's lock however its adds ended: another thread gets in.
            TGraphicObject* found = nullptr;
            std::thread([&] { found = d.GetObject(0); }).join();
            EXPECT_EQ(found, raw);
            // The drawing alone frees it (ASan reports a double free otherwise).
        }
}

// Listeners that add or remove listeners while the drawing announces a free.
TEST_F(DrawingTest, ListenersMayChangeTheListenersWhileAnnounced)
{
    TQV_01Cmp2D d;
    for (int i = 0; i < 3; ++i)
        d.AddObject(-1, Mark(i, 0));
    std::vector<std::string> heard;
    std::vector<int32_t> added;
    int32_t self = 0;
    // Adds many listeners on its first call, enough to move a vector's storage under it.
    d.AddFreeListener([&](TGraphicObject& obj) {
        heard.push_back("adder " + std::to_string(obj.ID));
        if (added.empty())
            for (int i = 0; i < 64; ++i)
                added.push_back(d.AddFreeListener([&, i](TGraphicObject& o) {
                    if (i == 0)
                        heard.push_back("added " + std::to_string(o.ID));
                }));
        heard.push_back("adder still here " + std::to_string(obj.ID));
    });
    // Removes itself on its first call, and uses its own captures afterwards.
    const std::string name = "remover";
    self = d.AddFreeListener([&, name](TGraphicObject& obj) {
        d.RemoveFreeListener(self);
        heard.push_back(name + " " + std::to_string(obj.ID));
    });
    d.DeleteObject(0);
    d.DeleteObject(1);
    EXPECT_EQ(heard, (std::vector<std::string>{"adder 0", "adder still here 0", "remover 0", "adder 1",
                                               "adder still here 1", "added 1"}));
    for (int32_t h : added)
        d.RemoveFreeListener(h);
    heard.clear();
    d.DeleteObject(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"adder 2", "adder still here 2"}));
}
