// The view drawn by the GL viewer: a known drawing, read back from the framebuffer.
#include "QVSceneWidget.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
bool Lit(const QImage& Img, int X, int Y, QRgb Expected, int Tol = 60)
{
    const QRgb got = Img.pixel(X, Y);
    return std::abs(qRed(got) - qRed(Expected)) <= Tol && std::abs(qGreen(got) - qGreen(Expected)) <= Tol &&
           std::abs(qBlue(got) - qBlue(Expected)) <= Tol;
}

// A one-pixel line on a pixel boundary lights the pixel on either side.
bool LitNear(const QImage& Img, int X, int Y, QRgb Expected)
{
    return Lit(Img, X - 1, Y, Expected) || Lit(Img, X, Y, Expected) || Lit(Img, X + 1, Y, Expected);
}
} // namespace

TEST(ViewRender, LineFilledPolygonAndGridLightTheirPixels)
{
    TQVScene view; // outlives the window that owns the viewer
    view.Scene->SetBackgroundColor({0, 0, 0, 1});
    QWidget window;
    window.resize(300, 200);
    TSceneWidget* viewer = CreateViewWidget(view, &window);
    window.show();
    QApplication::processEvents();
    ASSERT_EQ(viewer->width(), 300);
    ASSERT_EQ(viewer->height(), 200);

    view.SetAxesVisible(false);
    // A grid of 10 units over 100 x 100 about the origin, in full white so that it shows.
    view.GridLineColor = {1, 1, 1, 1};
    view.GridRebuildEnabled = true;
    view.RebuildGrid();
    auto* line = view.DrawingGroup->Add<TLineStrip>();
    line->AddNode(-40, -35, 0); // off the grid's lines, which are drawn over the drawing
    line->AddNode(40, -35, 0);
    line->SetColor({1, 0, 0, 1});
    line->SetLineWidth(2);
    auto* poly = view.DrawingGroup->Add<TPolygonNode>();
    for (auto [x, y] : {std::pair{12, 12}, {38, 12}, {38, 38}, {12, 38}})
        poly->AddNode(x, y, 0);
    poly->SetColor({0, 1, 0, 1});
    view.ZoomToBox({{-50, -50, 0, 1}, {50, 50, 0, 1}});
    viewer->RenderNow();
    const QImage img = viewer->grabFramebuffer().convertToFormat(QImage::Format_RGB32);

    auto at = [&view](double X, double Y) { return view.WorldToScreen({X, Y, 1}); };
    const TPoint onLine = at(5, -35), inPoly = at(25, 25), gridLine = at(-20, 5), between = at(-25, 5);
    EXPECT_TRUE(Lit(img, onLine.X, onLine.Y, qRgb(255, 0, 0))) << std::hex << img.pixel(onLine.X, onLine.Y);
    EXPECT_TRUE(Lit(img, inPoly.X, inPoly.Y, qRgb(0, 255, 0))) << std::hex << img.pixel(inPoly.X, inPoly.Y);
    // The grid's alpha blends white over black.
    EXPECT_TRUE(LitNear(img, gridLine.X, gridLine.Y, qRgb(255, 255, 255))) << std::hex << img.pixel(gridLine.X, gridLine.Y);
    EXPECT_TRUE(Lit(img, between.X, between.Y, qRgb(0, 0, 0))) << std::hex << img.pixel(between.X, between.Y);
    // A frame from a panned camera shows the polygon where the mapping says.
    view.Pan(0, 0, 20, 10);
    viewer->RenderNow();
    const QImage panned = viewer->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    const TPoint moved = at(25, 25);
    EXPECT_EQ(moved.X, inPoly.X + 20);
    EXPECT_TRUE(Lit(panned, moved.X, moved.Y, qRgb(0, 255, 0)));
}
