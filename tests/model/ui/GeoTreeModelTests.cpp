// The geometry tree's item model: rows read from the drawing only when a layer is expanded, and
// kept in step with additions, deletions, moves and clears (checked by Qt's model tester too).
#include "QVGeoTreeModel.h"

#include "EnglishTexts.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVEntity.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TLine2D> Line()
{
    return std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1));
}

class GeoTreeModel : public ::testing::Test {
protected:
    GeoTreeModel() { Tree.AttachDrawing(&Drawing); }
    ~GeoTreeModel() override { Tree.AttachDrawing(nullptr); }

    // The IDs shown under the layer's node, its rows read first.
    std::vector<int32_t> Shown(uint8_t Layer)
    {
        const QModelIndex parent = Model.LayerIndex(Layer);
        Model.fetchMore(parent);
        std::vector<int32_t> ids;
        for (int r = 0; r < Model.rowCount(parent); ++r)
            ids.push_back(Model.data(Model.index(r, 0, parent), TGeoTreeModel::NodeDataRole).toInt());
        return ids;
    }

    std::string Caption(const QModelIndex& Index) { return Model.data(Index).toString().toStdString(); }

    TEnglishTexts English;
    TQV_01Cmp2D Drawing;
    TGeoTree Tree;
    TGeoTreeModel Model{Tree};
};

} // namespace

TEST_F(GeoTreeModel, ShowsRootLayersAndObjects)
{
    Drawing.Layers.GetLayer(2).SetName("Outline");
    Drawing.CurrentLayer = 2;
    const int32_t a = Drawing.AddObject(-1, Line())->ID;
    const int32_t b = Drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, MakePoint2D(1, 1)))->ID;

    ASSERT_EQ(Model.rowCount(), 1);
    const QModelIndex root = Model.RootIndex();
    EXPECT_EQ(Caption(root), "Drawing");
    EXPECT_EQ(Model.data(root, TGeoTreeModel::NodeLevelRole).toInt(), 0);
    ASSERT_EQ(Model.rowCount(root), 1);
    const QModelIndex layer = Model.index(0, 0, root);
    EXPECT_EQ(Caption(layer), "Layer Outline");
    EXPECT_EQ(Model.data(layer, TGeoTreeModel::NodeDataRole).toInt(), 3);
    EXPECT_EQ(Model.data(layer, TGeoTreeModel::NodeLevelRole).toInt(), 1);
    EXPECT_EQ(Shown(2), (std::vector<int32_t>{a, b}));
    const QModelIndex point = Model.index(1, 0, layer);
    EXPECT_EQ(Caption(point), "Point");
    EXPECT_EQ(Model.data(point, TGeoTreeModel::NodeLevelRole).toInt(), 2);
    EXPECT_FALSE(Model.data(point, Qt::DecorationRole).value<QIcon>().isNull());
    EXPECT_EQ(Model.parent(point), layer);
    EXPECT_EQ(Model.ObjectAt(point), Drawing.GetObject(b));
    EXPECT_EQ(Model.IndexOf(*Drawing.GetObject(b)), point);
}

TEST_F(GeoTreeModel, ALayersRowsAreReadOnlyWhenExpanded)
{
    for (int i = 0; i < 1000; ++i)
        Drawing.AddObject(-1, Line());
    const QModelIndex layer = Model.LayerIndex(0);
    EXPECT_EQ(Model.rowCount(layer), 0);
    EXPECT_TRUE(Model.hasChildren(layer));
    EXPECT_TRUE(Model.canFetchMore(layer));
    QTreeView view;
    view.setModel(&Model);
    view.show();
    view.expand(Model.RootIndex());
    view.expand(layer); // asks for the rows
    QCoreApplication::processEvents();
    EXPECT_FALSE(Model.canFetchMore(layer));
    EXPECT_EQ(Model.rowCount(layer), 1000);
}

TEST_F(GeoTreeModel, FollowsTheDrawing)
{
    struct TCase {
        const char* Name;
        bool Expanded; // the layers' rows read before the change
        std::function<void(TGeoTreeModel&)> Settle;
    };
    const std::vector<TCase> cases = {
        {"collapsed", false, [](TGeoTreeModel&) {}},
        {"expanded, settled by the event loop", true,
         [](TGeoTreeModel&) { QCoreApplication::processEvents(); }},
        {"expanded, flushed at once", true, [](TGeoTreeModel& m) { m.Flush(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        const int32_t a = Drawing.AddObject(-1, Line())->ID;
        const int32_t b = Drawing.AddObject(-1, Line())->ID;
        const int32_t d = Drawing.AddObject(-1, Line())->ID;
        Drawing.CurrentLayer = 4;
        const int32_t e = Drawing.AddObject(-1, Line())->ID;
        Drawing.CurrentLayer = 0;
        // Qt's tester checks every signal against the rows; it reads every layer, so it watches
        // only where the layers are read anyway.
        std::optional<QAbstractItemModelTester> tester;
        if (c.Expanded) {
            Shown(0);
            Shown(4);
            tester.emplace(&Model, QAbstractItemModelTester::FailureReportingMode::Fatal);
        }
        // Added.
        const int32_t f = Drawing.AddObject(-1, Line())->ID;
        // Deleted.
        Drawing.DeleteObject(b);
        // Moved to another layer.
        TGraphicObject* moved = Drawing.GetObject(a);
        moved->Layer = 4;
        Tree.MoveGeoTreeObjectNode(*moved);
        c.Settle(Model);
        EXPECT_EQ(Shown(0), (std::vector<int32_t>{d, f}));
        EXPECT_EQ(Shown(4), (std::vector<int32_t>{e, a}));
        // Cleared.
        Drawing.DeleteAllObjects();
        EXPECT_EQ(Model.rowCount(), 0);
    }
}

TEST_F(GeoTreeModel, ADeletedRowIsBlankUntilTakenOut)
{
    std::vector<int32_t> ids;
    for (int i = 0; i < 10; ++i)
        ids.push_back(Drawing.AddObject(-1, Line())->ID);
    Shown(0);
    const QModelIndex layer = Model.LayerIndex(0);
    Drawing.DeleteObject(ids[3]);
    const QModelIndex blank = Model.index(3, 0, layer);
    EXPECT_EQ(Model.ObjectAt(blank), nullptr);
    EXPECT_FALSE(Model.data(blank).isValid());
    EXPECT_EQ(Model.rowCount(layer), 10);
    QCoreApplication::processEvents();
    EXPECT_EQ(Model.rowCount(layer), 9);
}

TEST_F(GeoTreeModel, ALargeDeleteIsTakenOutInOnePass)
{
    std::vector<int32_t> ids;
    for (int i = 0; i < 20000; ++i)
        ids.push_back(Drawing.AddObject(-1, Line())->ID);
    QTreeView view;
    view.setModel(&Model);
    view.show();
    view.expand(Model.RootIndex());
    view.expand(Model.LayerIndex(0));
    QCoreApplication::processEvents();
    ASSERT_EQ(Model.rowCount(Model.LayerIndex(0)), 20000);
    int removals = 0;
    QObject::connect(&Model, &QAbstractItemModel::rowsRemoved, [&] { ++removals; });
    Tree.BeginUpdate();
    // Every other object, then a block of 1000 at the end.
    for (int i = 0; i < 19000; i += 2)
        Drawing.DeleteObject(ids[static_cast<size_t>(i)]);
    for (int i = 19000; i < 20000; ++i)
        Drawing.DeleteObject(ids[static_cast<size_t>(i)]);
    EXPECT_EQ(removals, 0); // nothing yet within the bracket
    Tree.EndUpdate();
    EXPECT_EQ(removals, 9500 + 1); // one signal per run of deleted rows
    const std::vector<int32_t> shown = Shown(0);
    ASSERT_EQ(shown.size(), 9500U);
    EXPECT_EQ(shown.front(), ids[1]);
    EXPECT_EQ(shown.back(), ids[18999]);
}

TEST_F(GeoTreeModel, RowsAddedWithinABracketShowAtItsEnd)
{
    Drawing.AddObject(-1, Line());
    Shown(0);
    int inserts = 0;
    QObject::connect(&Model, &QAbstractItemModel::rowsInserted, [&] { ++inserts; });
    Tree.BeginUpdate();
    std::vector<int32_t> ids;
    for (int i = 0; i < 100; ++i)
        ids.push_back(Drawing.AddObject(-1, Line())->ID);
    Drawing.DeleteObject(ids[50]); // added and deleted within the bracket
    EXPECT_EQ(Model.rowCount(Model.LayerIndex(0)), 1);
    Tree.EndUpdate();
    EXPECT_EQ(inserts, 1);
    EXPECT_EQ(Model.rowCount(Model.LayerIndex(0)), 100);
}

TEST_F(GeoTreeModel, AnObjectsNodeIsFoundInAnUnreadLayer)
{
    Drawing.CurrentLayer = 7;
    TLine2D* target = nullptr;
    for (int i = 0; i < 50; ++i) {
        TLine2D* line = Drawing.AddObject(-1, Line());
        if (i == 42)
            target = line;
    }
    const QModelIndex index = Model.IndexOf(*target);
    ASSERT_TRUE(index.isValid());
    EXPECT_EQ(index.row(), 42);
    EXPECT_EQ(Model.ObjectAt(index), target);
    // An object without a node has none.
    TContainer2D* container = Drawing.AddObject(-1, std::make_unique<TContainer2D>(-1));
    EXPECT_FALSE(Model.IndexOf(*container).isValid());
}

TEST(GeoTreeImages, FifteenImagesOfTheirOwn)
{
    const QList<QIcon>& images = GeoTreeImages();
    ASSERT_EQ(images.size(), GeoImageCount);
    for (const QIcon& icon : images)
        EXPECT_FALSE(icon.pixmap(16, 16).toImage().isNull());
}
