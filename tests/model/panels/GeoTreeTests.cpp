// The geometry tree's content: a node per layer that holds objects, a node per object by class,
// following the drawing's additions, deletions, layer changes and clears.
#include "QVGeoTree.h"

#include "EnglishTexts.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVSplines.h"
#include "QVVectText.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

// The STL surface class is not built yet; the tree knows it by name.
class TFakeStlSurface : public TObject2D {
public:
    using TObject2D::TObject2D;
    std::string_view ClassName() const override { return "TQV_STLSurf"; }
};

class TRecordingListener : public TGeoTreeListener {
public:
    void BeginAddRoot() override { Events.push_back("root"); }
    void BeginAddLayer(int32_t Position) override
    {
        Events.push_back("layer at " + std::to_string(Position));
    }
    void ObjectNodeAdded(TGraphicObject& Obj) override
    {
        Events.push_back("add " + std::to_string(Obj.ID) + " on " +
                         std::to_string(HandleLayer(Obj.TreeNode)));
    }
    void ObjectNodeRemoved(TTreeItemHandle Handle) override
    {
        Events.push_back("remove from " + std::to_string(HandleLayer(Handle)));
    }
    void BeginClear() override { Events.push_back("clear"); }
    void UpdateEnded() override { Events.push_back("update ended"); }
    std::vector<std::string> Events;
};

std::vector<int32_t> IdsUnder(const TGeoTree& Tree, uint8_t Layer)
{
    std::vector<int32_t> ids;
    for (const TGeoObjectNode& n : Tree.ObjectNodes(Layer))
        ids.push_back(n.Obj->ID);
    return ids;
}

std::unique_ptr<TLine2D> Line()
{
    return std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1));
}

class GeoTree : public ::testing::Test {
protected:
    GeoTree()
    {
        Tree.SetListener(&Listener);
        Tree.AttachDrawing(&Drawing);
        Listener.Events.clear();
    }
    ~GeoTree() override { Tree.AttachDrawing(nullptr); }

    TEnglishTexts English;
    TQV_01Cmp2D Drawing;
    TRecordingListener Listener;
    TGeoTree Tree;
};

} // namespace

TEST(GeoTreeClasses, EachClassHasItsCaptionAndImage)
{
    TEnglishTexts english;
    const std::vector<TPoint2D> points = {MakePoint2D(0, 0), MakePoint2D(1, 1), MakePoint2D(2, 0)};
    const TMemoryBitmap32 picture(2, 2);
    TSourceBlock2D longName(-1, StrToBlockName("ABCDEFGHIJKLMNOP"), {});
    TSourceBlock2D shortName(-1, StrToBlockName("NUT"), {});
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TGraphicObject>()> Make;
        std::string Caption; // empty: no node
        int32_t Image;
    };
    const std::vector<TCase> cases = {
        {"point", [] { return std::make_unique<TPunto2D>(-1, MakePoint2D(0, 0)); }, "Point", 2},
        {"line", [] { return Line(); }, "Line", 3},
        {"frame", [] { return std::make_unique<TFrame2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1)); },
         "Rectangle", 4},
        {"rectangle is a frame",
         [] { return std::make_unique<TRectangle2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1)); }, "Rectangle",
         4},
        {"arc", [] { return std::make_unique<TArco2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 0), 0, 1); },
         "Arc", 5},
        {"circle", [] { return std::make_unique<TCerchio2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 0)); },
         "Circle", 6},
        {"filled circle is a circle",
         [] { return std::make_unique<TFilledCerchio2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 0)); },
         "Circle", 6},
        {"polyline", [&] { return std::make_unique<TPolyline2D>(-1, points); }, "Polyline", 8},
        {"polygon is a polyline", [&] { return std::make_unique<TPolygon2D>(-1, points); }, "Polyline", 8},
        {"B-spline", [&] { return std::make_unique<TBSpline2D>(-1, points); }, "Spline", 9},
        {"NURBS", [&] { return std::make_unique<TQVBSpline2D>(-1, points); }, "Spline", 9},
        {"ellipse is a curve",
         [] { return std::make_unique<TEllipse2D>(-1, MakePoint2D(0, 0), MakePoint2D(2, 1)); }, "Curve", 7},
        {"elliptic arc is a curve",
         [] { return std::make_unique<TEllipseOpen2D>(-1, MakePoint2D(0, 0), MakePoint2D(2, 1), 0, 1); },
         "Curve", 7},
        {"text",
         [] {
             return std::make_unique<TJustifiedVectText2D>(-1, nullptr, MakePoint2D(0, 0), MakePoint2D(1, 1),
                                                           1, "A");
         },
         "Text", 13},
        {"image",
         [&] { return std::make_unique<TBitmap2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1), picture); },
         "Image", 10},
        {"block of 13 characters", [&] { return std::make_unique<TBlock2D>(-1, &longName); },
         "Block ABCDEFGHIJKLM", 12},
        {"block of a short name", [&] { return std::make_unique<TBlock2D>(-1, &shortName); }, "Block NUT",
         12},
        {"insert is a block", [&] { return std::make_unique<TInsert>(-1, StrToBlockName("NUT")); },
         "Block NUT", 12},
        {"STL surface", [] { return std::make_unique<TFakeStlSurface>(-1); }, "STL surface ", 14},
        {"container", [] { return std::make_unique<TContainer2D>(-1); }, "", -1},
        {"block definition", [] { return std::make_unique<TSourceBlock2D>(-1); }, "", -1},
        {"plain 2D object", [] { return std::make_unique<TObject2D>(-1); }, "", -1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::unique_ptr<TGraphicObject> obj = c.Make();
        const TGeoNodeStyle* style = GeoNodeStyle(*obj);
        EXPECT_EQ(GeoNodeCaption(*obj), c.Caption);
        EXPECT_EQ(style ? style->Image : -1, c.Image);
    }
}

TEST_F(GeoTree, TheFirstObjectOnALayerMakesItsNode)
{
    Drawing.Layers.GetLayer(3).SetName("Holes");
    Drawing.CurrentLayer = 3;
    TLine2D* first = Drawing.AddObject(-1, Line());
    TLine2D* second = Drawing.AddObject(-1, Line());
    Drawing.CurrentLayer = 0;
    TLine2D* third = Drawing.AddObject(-1, Line());

    EXPECT_EQ(Listener.Events, (std::vector<std::string>{"root", "layer at 0", "add 0 on 3", "add 1 on 3",
                                                         "layer at 1", "add 2 on 0"}));
    ASSERT_TRUE(Tree.HasRoot());
    ASSERT_EQ(Tree.LayerNodeCount(), 2);
    EXPECT_EQ(Tree.LayerAt(0), 3);
    EXPECT_EQ(Tree.LayerCaption(0), "Layer Holes");
    EXPECT_EQ(Drawing.Layers.GetLayer(3).TreeNode, 4); // the node's data: layer index + 1
    EXPECT_EQ(Tree.LayerPosition(0), 1);
    EXPECT_EQ(Tree.LayerPosition(7), -1);
    EXPECT_EQ(IdsUnder(Tree, 3), (std::vector<int32_t>{0, 1}));
    EXPECT_EQ(Tree.ObjectNodeCount(3), 2);
    EXPECT_NE(first->TreeNode, 0U);
    EXPECT_LT(first->TreeNode, second->TreeNode);
    EXPECT_EQ(HandleLayer(third->TreeNode), 0);
    // A later rename leaves the caption as it was.
    Drawing.Layers.GetLayer(3).SetName("Slots");
    EXPECT_EQ(Tree.LayerCaption(0), "Layer Holes");
}

TEST_F(GeoTree, ObjectsWithoutANodeClassGetNone)
{
    TContainer2D* container = Drawing.AddObject(-1, std::make_unique<TContainer2D>(-1));
    Drawing.AddAuxContainer(std::make_unique<TContainer2D>(-1));
    EXPECT_EQ(container->TreeNode, 0U);
    EXPECT_TRUE(Listener.Events.empty());
    EXPECT_FALSE(Tree.HasRoot());
    Drawing.DeleteObject(container->ID); // nothing to remove
    EXPECT_TRUE(Listener.Events.empty());
}

TEST_F(GeoTree, DeletedObjectsLeaveTheirLayer)
{
    struct TCase {
        const char* Name;
        std::function<void(TQV_01Cmp2D&, int32_t)> Remove;
    };
    const std::vector<TCase> cases = {
        {"deleted", [](TQV_01Cmp2D& d, int32_t id) { d.DeleteObject(id); }},
        {"taken out of the drawing",
         [](TQV_01Cmp2D& d, int32_t id) {
             auto it = d.ObjectsExclusiveIterator();
             it.First();
             while (it.Current()->ID != id)
                 it.Next();
             std::unique_ptr<TGraphicObject> taken = d.ExtractCurrentObject(it);
             EXPECT_EQ(taken->TreeNode, 0U);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        const int32_t a = Drawing.AddObject(-1, Line())->ID;
        const int32_t b = Drawing.AddObject(-1, Line())->ID;
        const int32_t d = Drawing.AddObject(-1, Line())->ID;
        Listener.Events.clear();
        c.Remove(Drawing, b);
        // Told once, though the drawing both announces the free and asks for the node's deletion.
        EXPECT_EQ(Listener.Events, std::vector<std::string>{"remove from 0"});
        EXPECT_EQ(IdsUnder(Tree, 0), (std::vector<int32_t>{a, d}));
        EXPECT_EQ(Tree.ObjectNodeCount(0), 2);
        // The layer node stays.
        EXPECT_EQ(Tree.LayerNodeCount(), 1);
    }
}

TEST_F(GeoTree, AMoveToAnotherLayerPutsTheNodeLast)
{
    TLine2D* moved = Drawing.AddObject(-1, Line());
    Drawing.CurrentLayer = 5;
    const int32_t onFive = Drawing.AddObject(-1, Line())->ID;
    Drawing.CurrentLayer = 0;
    const int32_t stays = Drawing.AddObject(-1, Line())->ID;
    Listener.Events.clear();

    moved->Layer = 5;
    Tree.MoveGeoTreeObjectNode(*moved);
    EXPECT_EQ(Listener.Events, (std::vector<std::string>{"remove from 0", "add 0 on 5"}));
    EXPECT_EQ(IdsUnder(Tree, 5), (std::vector<int32_t>{onFive, moved->ID}));
    EXPECT_EQ(IdsUnder(Tree, 0), std::vector<int32_t>{stays});

    // To a layer without a node yet: the node is made.
    moved->Layer = 9;
    Listener.Events.clear();
    Tree.MoveGeoTreeObjectNode(*moved);
    EXPECT_EQ(Listener.Events, (std::vector<std::string>{"remove from 5", "layer at 2", "add 0 on 9"}));
    EXPECT_EQ(Tree.LayerCaption(2), "Layer " + Drawing.Layers.GetLayer(9).Name);

    // A class without a node has nothing to move.
    TContainer2D* container = Drawing.AddObject(-1, std::make_unique<TContainer2D>(-1));
    container->Layer = 5;
    Listener.Events.clear();
    Tree.MoveGeoTreeObjectNode(*container);
    EXPECT_TRUE(Listener.Events.empty());
}

TEST_F(GeoTree, EmptyingTheDrawingRemovesEveryNode)
{
    Drawing.CurrentLayer = 2;
    TLine2D* old = Drawing.AddObject(-1, Line());
    const TTreeItemHandle oldHandle = old->TreeNode;
    Drawing.AddObject(-1, Line());
    Listener.Events.clear();

    Drawing.DeleteAllObjects();
    // One clear; the free announcements of each object that follow change nothing more.
    EXPECT_EQ(Listener.Events, std::vector<std::string>{"clear"});
    EXPECT_FALSE(Tree.HasRoot());
    EXPECT_EQ(Tree.LayerNodeCount(), 0);
    EXPECT_EQ(Tree.ObjectNodeCount(2), 0);
    EXPECT_EQ(Drawing.Layers.GetLayer(2).TreeNode, 0);
    EXPECT_FALSE(Tree.IsLive(oldHandle));

    // The next object starts the tree again.
    TLine2D* fresh = Drawing.AddObject(-1, Line());
    EXPECT_TRUE(Tree.HasRoot());
    EXPECT_EQ(IdsUnder(Tree, 2), std::vector<int32_t>{fresh->ID});
    EXPECT_GT(fresh->TreeNode, oldHandle); // handles are never reused
}

TEST_F(GeoTree, TheRootIsAddedOnce)
{
    Tree.EnsureGeoTreeRoot();
    Tree.EnsureGeoTreeRoot();
    Drawing.AddObject(-1, Line());
    EXPECT_EQ(Listener.Events, (std::vector<std::string>{"root", "layer at 0", "add 0 on 0"}));
}

TEST_F(GeoTree, AttachingGivesTheObjectsTheirNodesAndDetachingTakesThem)
{
    Tree.AttachDrawing(nullptr);
    EXPECT_EQ(Drawing.TreeGeo, nullptr);
    TLine2D* a = Drawing.AddObject(-1, Line());
    EXPECT_EQ(a->TreeNode, 0U);
    Drawing.CurrentLayer = 1;
    TLine2D* b = Drawing.AddObject(-1, Line());
    Listener.Events.clear();

    Tree.AttachDrawing(&Drawing);
    EXPECT_EQ(Drawing.TreeGeo, &Tree);
    EXPECT_EQ(Listener.Events, (std::vector<std::string>{"root", "layer at 0", "add 0 on 0", "layer at 1",
                                                         "add 1 on 1", "update ended"}));
    Tree.AttachDrawing(nullptr);
    EXPECT_EQ(a->TreeNode, 0U);
    EXPECT_EQ(b->TreeNode, 0U);
    EXPECT_FALSE(Tree.HasRoot());
}

TEST_F(GeoTree, UpdateBracketsNest)
{
    Tree.BeginUpdate();
    Tree.BeginUpdate();
    Drawing.AddObject(-1, Line());
    Tree.EndUpdate();
    EXPECT_TRUE(Tree.Updating());
    Tree.EndUpdate();
    EXPECT_FALSE(Tree.Updating());
    EXPECT_EQ(Listener.Events.back(), "update ended");
    EXPECT_EQ(std::count(Listener.Events.begin(), Listener.Events.end(), "update ended"), 1);
    Tree.EndUpdate(); // unbalanced: ignored
    EXPECT_FALSE(Tree.Updating());
}
