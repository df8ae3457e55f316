// JPEG decoding had no test: a JPEG and a BMP of the same picture must threshold to the same
// bitmap, the one the tracer is given either way.
#include "BmpDecoder.h"
#include "BmpTestWriter.h"
#include "QtBitmap32.h"

#include <QBuffer>
#include <QImage>
#include <QImageWriter>

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

// The picture's pixels thresholded by the tracer's rule, row 0 at the top.
using TInk = std::vector<std::vector<bool>>;

TInk Threshold(const TBitmap32& b)
{
    TInk ink(size_t(b.Height()), std::vector<bool>(size_t(b.Width())));
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            ink[size_t(y)][size_t(x)] = IsInkPixel(b.ScanLine(y) + 4 * x);
    return ink;
}

} // namespace

TEST(Jpeg, AJpegAndABmpOfOnePictureThresholdAlike)
{
    TTestPicture picture;
    picture.W = 64; // whole 8 x 8 blocks and a ragged last row of them
    picture.H = 29;
    const std::vector<uint8_t> bmpBytes = EncodeBmp(picture, {24, 40, false, false, 0, false});
    const TBmpDecoder bmp(
        [&](uint64_t offset, void* dest, size_t size) { std::memcpy(dest, bmpBytes.data() + offset, size); },
        bmpBytes.size());
    TMemoryBitmap32 fromBmp(bmp.Width(), bmp.Height());
    bmp.ReadRows([&](int row, const uint8_t* stored) { bmp.DecodeRow(stored, fromBmp.ScanLine(row)); });

    // The same pixels as a JPEG of ordinary quality.
    const QImage image = Bitmap32AsImage(fromBmp).convertToFormat(QImage::Format_RGB888);
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "JPG");
    writer.setQuality(90);
    ASSERT_TRUE(writer.write(image)) << writer.errorString().toStdString();
    const auto fromJpeg =
        DecodeBitmap32(reinterpret_cast<const uint8_t*>(jpeg.constData()), size_t(jpeg.size()), "JPG");
    ASSERT_EQ(fromJpeg->Width(), picture.W);
    ASSERT_EQ(fromJpeg->Height(), picture.H);

    const TInk expected = Threshold(fromBmp);
    for (int y = 0; y < picture.H; ++y)
        for (int x = 0; x < picture.W; ++x)
            ASSERT_EQ(expected[size_t(y)][size_t(x)], picture.Ink(x, y)) << x << ", " << y;
    EXPECT_EQ(Threshold(*fromJpeg), expected);
}
