// A user's click on a node of the geometry tree, beside the drawing's view in a real GL viewer:
// the object becomes the view's highlighted object and the panel shows it.
#include "QVGeoPage.h"

#include "EnglishTexts.h"
#include "FakeGeoPageHost.h"
#include "FakeServices.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeoTreeModel.h"
#include "QVInfoEditWidget.h"
#include "QVSceneWidget.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

TEST(GeoPageClick, AClickOnANodeSelectsTheObjectInTheView)
{
    TEnglishTexts english;
    TFakeMainWindow main;
    TInstalledServices installed(&main);
    TQV_01Cmp2D drawing;
    TQVScene view;  // outlives the window that owns its viewer
    view.AttachDrawing(&drawing);
    TFakeGeoPageHost host(&view);

    QWidget window;
    window.resize(800, 500);
    auto* layout = new QHBoxLayout(&window);
    auto* side = new QTabWidget(&window);
    side->setObjectName("pgCtrGeoCnc");
    auto* page = new TGeoPage(host, true);
    side->addTab(page, "Geometry");
    side->addTab(new QWidget, "CNC");
    layout->addWidget(side);
    auto* viewArea = new QWidget(&window);
    layout->addWidget(viewArea, 1);
    TSceneWidget* viewer = CreateViewWidget(view, viewArea);
    page->AttachDrawing(&drawing);

    drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(40, 30)));
    TCerchio2D* circle = drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, MakePoint2D(10, 10), MakePoint2D(15, 10)));
    drawing.CurrentLayer = 1;
    drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, MakePoint2D(5, 5)));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    viewArea->resize(500, 480);
    viewer->resize(viewArea->size());
    drawing.ZoomToExtents();

    QTreeView* tree = page->TreeView();
    TGeoTreeModel& model = page->Model();
    const QModelIndex layer0 = model.LayerIndex(0);
    // The user opens layer 0 by its branch mark and clicks the circle's node.
    const QRect layerRect = tree->visualRect(layer0);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {},
                      QPoint(layerRect.left() - tree->indentation() / 2, layerRect.center().y()));
    ASSERT_TRUE(tree->isExpanded(layer0));
    const QModelIndex node = model.index(1, 0, layer0);
    ASSERT_EQ(model.data(node).toString(), "Circle");
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(node).center());

    EXPECT_EQ(view.RubberBandObject, circle);
    EXPECT_TRUE(view.OverlayMode & OverlayRubberBand);
    EXPECT_EQ(page->Panel().Entity, circle);
    EXPECT_EQ(page->PanelWidget()->title(), "Circle");
    EXPECT_TRUE(page->PanelWidget()->isVisible());
    EXPECT_TRUE(main.Boxes.empty());
    viewer->RenderNow();

    // Deleted while shown: the next frame draws no freed object.
    drawing.DeleteObject(circle->ID);
    EXPECT_EQ(view.RubberBandObject, nullptr);
    viewer->RenderNow();
    QApplication::processEvents();
    EXPECT_EQ(model.rowCount(layer0), 1);
    page->AttachDrawing(nullptr);
}
