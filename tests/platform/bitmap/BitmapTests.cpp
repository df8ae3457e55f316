// The in-memory bitmap and the factory the program swaps for the QImage one.
#include "Bitmap32.h"

#include <gtest/gtest.h>

TEST(Bitmap32, PixelsAreBlueGreenRedAlphaInMemory)
{
    TMemoryBitmap32 b(3, 2);
    EXPECT_EQ(b.BytesPerLine(), 12);
    EXPECT_EQ(b.Pixel(2, 1), 0u); // a new bitmap is all zero
    b.SetPixel(2, 1, 0x80112233);
    const uint8_t* row = b.ScanLine(1);
    EXPECT_EQ(row[8], 0x33);  // blue
    EXPECT_EQ(row[9], 0x22);  // green
    EXPECT_EQ(row[10], 0x11); // red
    EXPECT_EQ(row[11], 0x80); // alpha
    const auto copy = b.Clone();
    EXPECT_EQ(copy->Pixel(2, 1), 0x80112233u);
    b.SetPixel(2, 1, 0);
    EXPECT_EQ(copy->Pixel(2, 1), 0x80112233u);
}

TEST(Bitmap32, SizesOutOfRangeAreRefused)
{
    EXPECT_THROW(NewBitmap32(-1, 5), std::exception);
    EXPECT_THROW(NewBitmap32(1 << 16, 1 << 16), std::exception); // 16 GiB
    EXPECT_TRUE(NewBitmap32(0, 0)->IsEmpty());
}

TEST(Bitmap32, TheInstalledFactoryMakesTheBitmaps)
{
    int made = 0;
    SetBitmap32Factory([&](int W, int H) -> std::unique_ptr<TBitmap32> {
        ++made;
        return std::make_unique<TMemoryBitmap32>(W, H);
    });
    EXPECT_EQ(NewBitmap32(4, 4)->Width(), 4);
    SetBitmap32Factory(nullptr);
    NewBitmap32(4, 4);
    EXPECT_EQ(made, 1);
}
