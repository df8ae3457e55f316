// The pixel work of the tracing front end: the threshold rule on each colour byte (also past
// the four-pixel blocks), the marker colours, the speck removal against a plain walk of its
// windows on random pictures, and the black-and-white BMP as the tracer reads it.
#include "TracePixels.h"

#include "Bitmap32.h"
#include "BmpReader.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <random>

namespace {

uint32_t Rgb(int R, int G, int B)
{
    return 0xFF000000u | uint32_t(R) << 16 | uint32_t(G) << 8 | uint32_t(B);
}

TEST(TracePixels, ThresholdPassesOnlyWhenAllThreeBytesAreAbove)
{
    struct TCase {
        uint32_t Pixel;
        bool Paper;
    };
    const TCase cases[] = {
        {Rgb(129, 128, 127), true},  {Rgb(128, 200, 200), false}, {Rgb(200, 127, 200), false},
        {Rgb(200, 200, 126), false}, {Rgb(255, 255, 255), true},  {Rgb(0, 0, 0), false},
        {0x00FFFFFF, true}, // alpha plays no part
    };
    // Seven columns: one block of four and a tail of three.
    for (const TCase& c : cases)
        for (int column = 0; column < 7; ++column) {
            TMemoryBitmap32 source(7, 2), target;
            for (int x = 0; x < 7; ++x)
                source.SetPixel(x, 1, Rgb(0, 0, 0));
            source.SetPixel(column, 1, c.Pixel);
            ThresholdBitmap(source, target, 128, 127, 126, InkPixel, PaperPixel);
            ASSERT_EQ(target.Width(), 7);
            EXPECT_EQ(target.Pixel(column, 1), c.Paper ? PaperPixel : InkPixel)
                << std::hex << c.Pixel << " " << column;
            EXPECT_EQ(target.Pixel((column + 1) % 7, 1), InkPixel);
            ThresholdBitmap(source, target, 128, 127, 126, MarkerInkPixel, MarkerPaperPixel);
            EXPECT_EQ(target.Pixel(column, 1), c.Paper ? MarkerPaperPixel : MarkerInkPixel);
        }
}

TEST(TracePixels, MarkersResolveToInkAndPaper)
{
    TMemoryBitmap32 b(3, 1);
    b.SetPixel(0, 0, MarkerInkPixel);
    b.SetPixel(1, 0, MarkerPaperPixel);
    b.SetPixel(2, 0, Rgb(1, 2, 3));
    ResolveMarkerPixels(b);
    EXPECT_EQ(b.Pixel(0, 0), InkPixel);
    EXPECT_EQ(b.Pixel(1, 0), PaperPixel);
    EXPECT_EQ(b.Pixel(2, 0), PaperPixel);
}

// The windows one by one, as the removal is defined, over every top row including the last.
void ReferenceSpecks(TBitmap32& b, int N, bool White)
{
    const uint32_t speck = White ? PaperPixel : InkPixel, frame = White ? InkPixel : PaperPixel;
    const int W = b.Width(), H = b.Height();
    for (int y = 0; y + N <= H; ++y)
        for (int x = 0; x + N <= W; ++x) {
            bool any = false;
            for (int r = y; r < y + N; ++r)
                for (int c = x; c < x + N; ++c)
                    any |= b.Pixel(c, r) == speck;
            if (!any)
                continue;
            bool clear = true;
            for (int c = x; c < x + N; ++c) {
                if (y > 0)
                    clear &= b.Pixel(c, y - 1) == frame;
                if (y + N <= H - 1)
                    clear &= b.Pixel(c, y + N) == frame;
            }
            for (int r = std::max(0, y - 1); r < y + N; ++r) {
                if (x > 0)
                    clear &= b.Pixel(x - 1, r) == frame;
                if (x + N <= W - 1)
                    clear &= b.Pixel(x + N, r) == frame;
            }
            if (clear)
                for (int r = y; r < y + N; ++r)
                    for (int c = x; c < x + N; ++c)
                        b.SetPixel(c, r, frame);
        }
}

TEST(TracePixels, SpeckRemovalMatchesTheWindowWalk)
{
    std::mt19937 random(7);
    // Widths across word boundaries; sparse and dense ink; both speck colours.
    for (int round = 0; round < 120; ++round) {
        const int W = 1 + int(random() % 140), H = 1 + int(random() % 24), N = 1 + int(random() % 8);
        const bool white = round % 2;
        const unsigned density = 2 + random() % 12;
        TMemoryBitmap32 a(W, H);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                a.SetPixel(x, y,
                           random() % density == 0 ? (white ? PaperPixel : InkPixel)
                                                   : (white ? InkPixel : PaperPixel));
        if (round % 5 == 0)
            a.SetPixel(int(random() % W), int(random() % H), Rgb(9, 9, 9)); // neither colour
        TMemoryBitmap32 b;
        b.Assign(a);
        ReferenceSpecks(a, N, white);
        RemoveSpecks(b, N, white);
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x)
                ASSERT_EQ(b.Pixel(x, y), a.Pixel(x, y))
                    << "round " << round << " at " << x << "," << y << " W " << W << " H " << H << " N " << N;
    }
}

TEST(TracePixels, SpeckCases)
{
    struct TCase {
        const char* Name;
        std::vector<std::pair<int, int>> Ink;
        int N;
        bool Removed;
    };
    const TCase cases[] = {
        {"lone pixel", {{5, 5}}, 1, true},
        {"vertical line", {{5, 3}, {5, 4}, {5, 5}}, 1, false},
        {"pixel in the last row", {{5, 9}}, 1, true},
        {"pixel in the last column", {{9, 4}}, 1, true},
        {"pixel in the corner", {{9, 9}}, 1, true},
        {"2 x 2 blob, window 3", {{4, 4}, {5, 4}, {4, 5}, {5, 5}}, 3, true},
        {"2 x 2 blob, window 1", {{4, 4}, {5, 4}, {4, 5}, {5, 5}}, 1, false},
        {"blob of 8 by 8, window 8", {}, 8, true},
    };
    for (const TCase& c : cases) {
        TMemoryBitmap32 b(10, 10);
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                b.SetPixel(x, y, PaperPixel);
        std::vector<std::pair<int, int>> ink = c.Ink;
        if (ink.empty())
            for (int y = 1; y < 9; ++y)
                for (int x = 1; x < 9; ++x)
                    ink.push_back({x, y});
        for (auto [x, y] : ink)
            b.SetPixel(x, y, InkPixel);
        RemoveSpecks(b, c.N, false);
        for (auto [x, y] : ink)
            EXPECT_EQ(b.Pixel(x, y), c.Removed ? PaperPixel : InkPixel) << c.Name;
        // The same picture inverted: a paper speck in ink.
        for (int y = 0; y < 10; ++y)
            for (int x = 0; x < 10; ++x)
                b.SetPixel(x, y, InkPixel);
        for (auto [x, y] : ink)
            b.SetPixel(x, y, PaperPixel);
        RemoveSpecks(b, c.N, true);
        for (auto [x, y] : ink)
            EXPECT_EQ(b.Pixel(x, y), c.Removed ? InkPixel : PaperPixel) << c.Name << " inverted";
    }
}

TEST(TracePixels, MonoBmpReadsBackAsTheSameInk)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/mono.bmp";
    // 37 columns: row padding; grey values on both sides of the luminance rule.
    TMemoryBitmap32 b(37, 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x)
            b.SetPixel(x, y,
                       (x * 7 + y * 3) % 5 == 0 ? InkPixel : (x % 3 == 0 ? Rgb(130, 130, 130) : PaperPixel));
    b.SetPixel(1, 1, Rgb(120, 120, 120));
    ASSERT_EQ(SaveMonoBmp(name, b), "");
    std::ifstream in(name, std::ios::binary);
    const TMonoBitmap mono = ReadBmp(in);
    ASSERT_EQ(mono.Width(), 37);
    ASSERT_EQ(mono.Height(), 5);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 37; ++x) {
            const uint32_t p = b.Pixel(x, y);
            const bool ink = p == InkPixel || p == Rgb(120, 120, 120);
            EXPECT_EQ(mono.Ink(x, y), ink) << x << "," << y;
        }
    EXPECT_NE(SaveMonoBmp(folder.Path() + "/no/such/folder/mono.bmp", b), "");
}

} // namespace
