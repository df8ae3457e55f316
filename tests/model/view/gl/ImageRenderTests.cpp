// The image entity drawn by the GL viewer through the view's rebuild, in tiles.
#include "QVBitmap2D.h"
#include "QVSceneWidget.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <gtest/gtest.h>

namespace {
bool Near(const QImage& Img, const TPoint& P, QRgb Expected, int Tol = 40)
{
    const QRgb got = Img.pixel(P.X, P.Y);
    return std::abs(qRed(got) - qRed(Expected)) <= Tol && std::abs(qGreen(got) - qGreen(Expected)) <= Tol &&
           std::abs(qBlue(got) - qBlue(Expected)) <= Tol;
}
} // namespace

TEST(ImageRender, AnImageEntityShowsItsPictureTiledAndTranslucent)
{
    TQVScene view;
    DrawingView = &view; // the view entities build into; it forgets itself when it goes
    view.Scene->SetBackgroundColor({0, 0, 0, 1});
    TQV_01Cmp2D drawing;
    view.AttachDrawing(&drawing);
    QWidget window;
    window.resize(300, 200);
    TSceneWidget* viewer = CreateViewWidget(view, &window);
    window.show();
    QApplication::processEvents();
    viewer->SetMaxTextureSize(16); // a 64 x 32 picture goes up in 4 x 2 tiles
    view.SetAxesVisible(false);
    view.SetGridVisible(false);

    // Top half red, bottom half: green on the left, blue on the right (row 0 at the top).
    TMemoryBitmap32 picture(64, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            picture.SetPixel(x, y, y < 16 ? 0xFFFF0000u : x < 32 ? 0xFF00FF00u : 0xFF0000FFu);
    auto* image = drawing.AddObject(-1, std::make_unique<TBitmap2D>(-1, TPoint2D{-40, -20, 1}, TPoint2D{40, 20, 1}, picture));
    image->Alpha = 1;
    view.ZoomToBox({{-50, -50, 0, 1}, {50, 50, 0, 1}});
    view.RebuildAll(false);
    viewer->RenderNow();
    QImage img = viewer->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    auto at = [&view](double X, double Y) { return view.WorldToScreen({X, Y, 1}); };
    EXPECT_TRUE(Near(img, at(-20, 10), qRgb(255, 0, 0))) << std::hex << img.pixel(at(-20, 10).X, at(-20, 10).Y);
    EXPECT_TRUE(Near(img, at(30, 10), qRgb(255, 0, 0)));
    EXPECT_TRUE(Near(img, at(-20, -10), qRgb(0, 255, 0)));
    EXPECT_TRUE(Near(img, at(20, -10), qRgb(0, 0, 255)));
    EXPECT_TRUE(Near(img, at(45, 0), qRgb(0, 0, 0)));

    // Half opacity over black; changed pixels show through UpdateTexture without a rebuild.
    image->Alpha = 0.5f;
    view.RebuildAll(false);
    for (int y = 16; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            image->Bitmap().SetPixel(x, y, 0xFFFFFFFFu);
    image->UpdateTexture();
    viewer->RenderNow();
    img = viewer->grabFramebuffer().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(Near(img, at(-20, 10), qRgb(128, 0, 0)));
    EXPECT_TRUE(Near(img, at(-20, -10), qRgb(128, 128, 128)));
}
