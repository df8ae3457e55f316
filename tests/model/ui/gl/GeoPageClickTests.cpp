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
#include <QImage>
#include <QTabWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <memory>

namespace {

// The highlight's red in a square of 7 pixels about P, in a frame drawn now.
int RedPixelsAround(TSceneWidget* Viewer, const TPoint& P)
{
    const QImage frame = Viewer->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    int red = 0;
    for (int y = P.Y - 3; y <= P.Y + 3; ++y)
        for (int x = P.X - 3; x <= P.X + 3; ++x)
            if (frame.valid(x, y) && qRed(frame.pixel(x, y)) > 200 && qGreen(frame.pixel(x, y)) < 80)
                ++red;
    return red;
}

} // namespace

TEST(GeoPageClick, AClickOnANodeSelectsTheObjectInTheView)
{
    TEnglishTexts english;
    TFakeMainWindow main;
    TInstalledServices installed(&main);
    TQV_01Cmp2D drawing;
    TQVScene view; // outlives the window that owns its viewer
    view.AttachDrawing(&drawing);
    // The program's view, which the entities draw into.
    DrawingView = &view;
    const std::unique_ptr<TQVScene*, void (*)(TQVScene**)> programView(&DrawingView,
                                                                       [](TQVScene** v) { *v = nullptr; });
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
    TCerchio2D* circle =
        drawing.AddObject(-1, std::make_unique<TCerchio2D>(-1, MakePoint2D(10, 10), MakePoint2D(15, 10)));
    drawing.CurrentLayer = 1;
    drawing.AddObject(-1, std::make_unique<TPunto2D>(-1, MakePoint2D(5, 5)));
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    viewArea->resize(500, 480);
    viewer->resize(viewArea->size());
    view.ZoomToBox({{-5, -5, 0, 1}, {45, 35, 0, 1}});
    view.RebuildAll(false);

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
    // The view draws it in the highlight colour.
    EXPECT_GT(RedPixelsAround(viewer, view.WorldToScreen(MakePoint2D(15, 10))), 0);

    // Deleted while shown: the next frame draws no freed object.
    const TPoint rim = view.WorldToScreen(MakePoint2D(15, 10));
    drawing.DeleteObject(circle->ID);
    EXPECT_EQ(view.RubberBandObject, nullptr);
    EXPECT_EQ(RedPixelsAround(viewer, rim), 0);
    QApplication::processEvents();
    EXPECT_EQ(model.rowCount(layer0), 1);
    page->AttachDrawing(nullptr);
}
