// The one BMP decoder: every form it reads gives the same pixels, row 0 at the top.
#include "BmpDecoder.h"
#include "BmpTestWriter.h"
#include "CADExceptions.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

TBmpDecoder DecoderOf(const std::vector<uint8_t>& bytes)
{
    return TBmpDecoder([&bytes](uint64_t offset, void* dest,
                                size_t size) { std::memcpy(dest, bytes.data() + offset, size); },
                       bytes.size());
}

// Every pixel, row 0 at the top, as B, G, R, A bytes.
std::vector<uint8_t> Pixels(const std::vector<uint8_t>& bytes)
{
    const TBmpDecoder bmp = DecoderOf(bytes);
    std::vector<uint8_t> out(4 * size_t(bmp.Width()) * size_t(bmp.Height()));
    bmp.ReadRows([&](int row, const uint8_t* stored) {
        bmp.DecodeRow(stored, out.data() + 4 * size_t(row) * size_t(bmp.Width()));
    });
    return out;
}

} // namespace

TEST(BmpDecoder, EveryFormGivesThePictureTopRowFirst)
{
    const TTestPicture picture;
    for (const auto& [name, encoding] : EveryBmpForm()) {
        SCOPED_TRACE(name);
        const std::vector<uint8_t> pixels = Pixels(EncodeBmp(picture, encoding));
        ASSERT_EQ(pixels.size(), 4u * picture.W * picture.H);
        for (int y = 0; y < picture.H; ++y)
            for (int x = 0; x < picture.W; ++x) {
                const uint8_t* p = pixels.data() + 4 * (size_t(y) * picture.W + x);
                ASSERT_EQ(IsInkPixel(p), picture.Ink(x, y)) << x << ", " << y;
                ASSERT_EQ(p[3], 0xFF) << x << ", " << y;
            }
    }
}

TEST(BmpDecoder, PaletteColoursAndTheFourthByte)
{
    const TTestPicture picture;
    // 1 bit: the palette's own colours, ink (B, G, R) = (200, 20, 100).
    const std::vector<uint8_t> one = Pixels(EncodeBmp(picture, {1, 40, false, false, 0, false}));
    EXPECT_EQ(std::vector<uint8_t>(one.begin(), one.begin() + 4), (std::vector<uint8_t>{200, 20, 100, 0xFF}));
    // A palette shorter than the bits allow: the indices it lacks are white.
    std::vector<uint8_t> bytes = EncodeBmp(picture, {8, 40, false, false, 0, false});
    bytes[46] = 2; // two colours in use: 0 black, 1 dark grey
    const TBmpDecoder bmp = DecoderOf(bytes);
    EXPECT_EQ(bmp.Palette()[0], 0xFF000000u);
    EXPECT_EQ(bmp.Palette()[1], 0xFF010101u);
    EXPECT_EQ(bmp.Palette()[3], 0xFFFFFFFFu);
    // 32 bits without bit fields keep their fourth byte, as the drawing file stores alpha there.
    bytes = EncodeBmp(picture, {32, 40, true, false, 0, false});
    bytes[bytes.size() - 4 * picture.W + 3] = 0x40; // the last row's first pixel
    const std::vector<uint8_t> kept = Pixels(bytes);
    EXPECT_EQ(kept[4 * size_t(picture.W) * (picture.H - 1) + 3], 0x40);
}

// What it does not read is refused by name, before anything is allocated.
TEST(BmpDecoder, RefusesByName)
{
    const TTestPicture picture;
    struct TCase {
        const char* Name;
        TBmpEncoding Encoding;
        const char* Message;
    };
    const std::vector<TCase> cases = {
        {"RLE8", {8, 40, false, false, 1, false}, "unsupported BMP file: RLE compression"},
        {"RLE4", {4, 40, false, false, 2, false}, "unsupported BMP file: RLE compression"},
        {"JPEG inside", {24, 40, false, false, 4, false}, "unsupported BMP file: JPEG compression"},
        {"PNG inside", {24, 40, false, false, 5, false}, "unsupported BMP file: PNG compression"},
        {"16-bit", {16, 40, false, false, 0, false}, "unsupported BMP file: 16 bits per pixel"},
        {"OS/2 2.x header", {24, 64, false, false, 0, false}, "unsupported BMP file: header of 64 bytes"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        try {
            DecoderOf(EncodeBmp(picture, c.Encoding));
            ADD_FAILURE() << "read";
        } catch (const ECADFileNotValid& e) {
            EXPECT_STREQ(e.what(), c.Message);
        }
    }
}
