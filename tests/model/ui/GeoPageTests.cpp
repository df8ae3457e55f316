// The geometry page's handlers: a node shows its object, a picked object selects its node, an
// edit runs the command again, the panel brings its tab forward, and nothing keeps a freed object.
#include "QVGeoPage.h"

#include "EnglishTexts.h"
#include "FakeGeoPageHost.h"
#include "FakeServices.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeoTreeModel.h"
#include "QVInfoEditWidget.h"
#include "QVScene.h"
#include "UndoRedo.h"

#include <QTabWidget>
#include <QTableWidget>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace {

class GeoPage : public ::testing::Test {
protected:
    GeoPage()
    {
        Page->AttachDrawing(&Drawing);
        Tabs.addTab(Page, "Geometry");
        Tabs.addTab(new QWidget, "CNC");
        Tabs.show();
    }
    ~GeoPage() override { Page->AttachDrawing(nullptr); }

    TEnglishTexts English;
    TFakeMainWindow Main;
    TInstalledServices Installed{&Main};
    TQV_01Cmp2D Drawing;
    TQVScene View;
    TFakeGeoPageHost Host{&View};
    QTabWidget Tabs;
    TGeoPage* Page = new TGeoPage(Host, true); // the tab control owns it
};

} // namespace

TEST_F(GeoPage, IsTheProgramsPanelWhileItExists)
{
    EXPECT_EQ(InfoEdit, &Page->Panel());
    EXPECT_EQ(LiveInfoPanel, &Page->Panel());
    EXPECT_EQ(Drawing.TreeGeo, &Page->Tree());
    EXPECT_TRUE(Page->Tree().HasRoot());
    EXPECT_EQ(Page->TreeView()->objectName(), "TreeGeo");
    {
        TFakeGeoPageHost host(nullptr);
        TGeoPage other(host, false);
        EXPECT_EQ(InfoEdit, &other.Panel());
    }
    EXPECT_EQ(InfoEdit, nullptr);
}

TEST_F(GeoPage, ANodeShowsItsObjectAndALayerNodeIsRemembered)
{
    Drawing.CurrentLayer = 6;
    TCerchio2D* circle =
        Drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, MakePoint2D(1, 1), MakePoint2D(3, 1)));
    TGeoTreeModel& model = Page->Model();
    Page->Panel().SetMode(TPanelMode::Rectangle);

    Page->TreeGeoClick(model.LayerIndex(6));
    EXPECT_EQ(Page->ClickedLayer(), 6);
    EXPECT_EQ(View.RubberBandObject, nullptr);

    Page->TreeGeoClick(model.IndexOf(*circle));
    EXPECT_EQ(View.RubberBandObject, circle);
    EXPECT_TRUE(View.OverlayMode & OverlayRubberBand);
    EXPECT_EQ(Page->Panel().Entity, circle);
    EXPECT_EQ(Page->Panel().PanelMode, TPanelMode::CircleShown);
    EXPECT_EQ(Page->PanelWidget()->title(), "Circle");
    EXPECT_FALSE(Page->Panel().LiveInfo());

    // Deleted: the view, the panel and the tree let go of it.
    Drawing.DeleteObject(circle->ID);
    EXPECT_EQ(View.RubberBandObject, nullptr);
    EXPECT_EQ(Page->Panel().Entity, nullptr);
    const QModelIndex blank = model.index(0, 0, model.LayerIndex(6));
    Page->TreeGeoClick(blank); // a row not yet taken out names nothing
    EXPECT_EQ(View.RubberBandObject, nullptr);
}

TEST_F(GeoPage, APickedObjectSelectsItsNode)
{
    Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 0)));
    TLine2D* picked =
        Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 1), MakePoint2D(1, 1)));
    QTreeView* tree = Page->TreeView();
    EXPECT_FALSE(tree->isExpanded(Page->Model().LayerIndex(0)));
    Page->OnSelectedObj(picked);
    EXPECT_EQ(Page->Model().ObjectAt(tree->currentIndex()), picked);
    EXPECT_TRUE(tree->isExpanded(Page->Model().LayerIndex(0)));
    Page->OnSelectedObj(nullptr); // after a window selection: nothing
    EXPECT_EQ(Page->Model().ObjectAt(tree->currentIndex()), picked);
}

TEST_F(GeoPage, TheGeometryTabComesForwardAndEditsRunTheCommandAgain)
{
    Tabs.setCurrentIndex(1);
    Page->Panel().SetMode(TPanelMode::CircleDiameter);
    EXPECT_EQ(Tabs.currentIndex(), 0);
    Page->PanelWidget()->Grid()->item(0, 0)->setText("30");
    EXPECT_EQ(Host.Reruns, std::vector<TPanelMode>{TPanelMode::CircleDiameter});
    EXPECT_DOUBLE_EQ(Page->Panel().GetValue(0), 30);
}

TEST_F(GeoPage, AReattachedDrawingIsListedAfresh)
{
    Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 0)));
    TQV_01Cmp2D other;
    other.CurrentLayer = 2;
    other.AddObject(-1, std::make_unique<TPunto2D>(-1, MakePoint2D(0, 0)));
    Page->AttachDrawing(&other);
    EXPECT_EQ(Drawing.TreeGeo, nullptr);
    ASSERT_EQ(Page->Tree().LayerNodeCount(), 1);
    EXPECT_EQ(Page->Tree().LayerAt(0), 2);
    Page->AttachDrawing(&Drawing);
    EXPECT_EQ(other.TreeGeo, nullptr);
    EXPECT_EQ(Page->Tree().LayerAt(0), 0);
}

// The live values of a shape being drawn may name an object the undo takes away.
TEST_F(GeoPage, AnUndoHidesThePanelEvenWithNothingToTakeBack)
{
    TUndoRedo log;
    log.AttachDrawing(&Drawing);
    Page->AttachUndoLog(&log);
    Page->Panel().SetReadOnly(true);
    ASSERT_TRUE(Page->PanelWidget()->isVisibleTo(Page));
    log.Undo();
    EXPECT_FALSE(Page->Panel().LiveInfo());
    EXPECT_FALSE(Page->PanelWidget()->isVisibleTo(Page));
    Page->AttachUndoLog(nullptr);
    EXPECT_FALSE(log.OnUndo);
    log.AttachDrawing(nullptr);
}
