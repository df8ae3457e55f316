// The QImage bitmap: the byte order the program relies on, and decoding through Qt's readers.
#include "CADExceptions.h"
#include "QtBitmap32.h"

#include <QBuffer>

#include <functional>
#include <string>
#include <utility>

#include <gtest/gtest.h>

TEST(QtBitmap32, ArgbWordsAreBlueGreenRedAlphaBytes)
{
    TQtBitmap32 b(2, 2);
    b.SetPixel(1, 0, 0x40AABBCC);
    EXPECT_EQ(b.GetImage().pixel(1, 0), 0x40AABBCCu);
    const uint8_t* p = b.ScanLine(0) + 4;
    EXPECT_EQ(p[0], 0xCC);
    EXPECT_EQ(p[3], 0x40);
    InstallQtBitmap32();
    EXPECT_NE(dynamic_cast<TQtBitmap32*>(NewBitmap32(3, 3).get()), nullptr);
    SetBitmap32Factory(nullptr);
    // Any bitmap is seen as a QImage without a copy.
    TMemoryBitmap32 m(3, 1);
    m.SetPixel(2, 0, 0xFF102030);
    const QImage view = Bitmap32AsImage(m);
    EXPECT_EQ(view.constBits(), m.ScanLine(0));
    EXPECT_EQ(view.pixel(2, 0), 0xFF102030u);
}

TEST(QtBitmap32, DecodesOtherDepthsAndRefusesGarbage)
{
    QImage src(5, 3, QImage::Format_RGB888); // written as a 24-bit BMP
    src.fill(QColor(10, 20, 30));
    src.setPixelColor(4, 2, QColor(200, 100, 50));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    ASSERT_TRUE(src.save(&buf, "BMP"));
    const auto b =
        DecodeBitmap32(reinterpret_cast<const uint8_t*>(bytes.constData()), size_t(bytes.size()), "BMP");
    ASSERT_EQ(b->Width(), 5);
    EXPECT_EQ(b->Pixel(4, 2) & 0xFFFFFF, 0xC86432u);
    EXPECT_EQ(b->Pixel(0, 0), 0xFF0A141Eu);
    const uint8_t junk[] = {'B', 'M', 1, 2, 3};
    EXPECT_THROW(DecodeBitmap32(junk, sizeof junk, "BMP"), ECADFileNotValid);
    EXPECT_THROW(LoadBitmap32("/nonexistent/picture.bmp"), ECADFileNotValid);
}

// Small pictures come from the heap, large ones (four megabytes on) are mapped from the system:
// both must start all zero, also when a bitmap that was written is sized again, and copy whole.
TEST(QtBitmap32, BothKindsStartZeroAtEverySizeAndCopyWhole)
{
    const std::function<std::unique_ptr<TBitmap32>()> kinds[] = {
        [] { return std::make_unique<TMemoryBitmap32>(); }, [] { return std::make_unique<TQtBitmap32>(); }};
    const struct {
        int W, H;
    } sizes[] = {{2, 1}, {3, 2}, {1024, 1024}, {1200, 1000}};
    for (const auto& make : kinds) {
        const std::unique_ptr<TBitmap32> b = make();
        for (const auto& size : sizes) {
            SCOPED_TRACE(std::to_string(size.W) + " x " + std::to_string(size.H));
            b->SetSize(size.W, size.H);
            const int lastX = size.W - 1, lastY = size.H - 1;
            for (const auto& [x, y] :
                 {std::pair{0, 0}, std::pair{lastX / 2, lastY / 2}, std::pair{lastX, lastY}})
                EXPECT_EQ(b->Pixel(x, y), 0u);
            b->SetPixel(0, 0, 0xFF010203);
            b->SetPixel(lastX, lastY, 0x80A0B0C0);
            const std::unique_ptr<TBitmap32> copy = b->Clone();
            b->SetPixel(lastX, lastY, 0);
            EXPECT_EQ(copy->Pixel(0, 0), 0xFF010203u);
            EXPECT_EQ(copy->Pixel(lastX, lastY), 0x80A0B0C0u);
        }
    }
}
