// The BMP reader must give the same bitmap from every encoding it accepts, and refuse the
// others by name without reading past the file or allocating what the file cannot fill.
#include "BmpReader.h"
#include "BmpTestWriter.h"
#include "CADExceptions.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TMonoBitmap Picture()
{
    // Odd width across a word boundary, shapes touching every side.
    return MakeImage(71, 23, [](double x, double y) {
        return InDisc(x, y, 20, 11, 9) || (x > 40 && x < 71 && y > 3 && y < 9) || x < 1.5 || y > 21.5 ||
               (int(x) + int(y)) % 7 == 0;
    });
}

TMonoBitmap Read(const std::vector<uint8_t>& bytes)
{
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    return ReadBmp(in);
}

std::string ReadError(const std::vector<uint8_t>& bytes)
{
    try {
        Read(bytes);
    } catch (const ECADFileNotValid& e) {
        return e.what();
    }
    return "(no error)";
}

} // namespace

TEST(BmpReader, EveryEncodingGivesTheSameBitmap)
{
    const TMonoBitmap expected = Picture();
    for (const auto& [name, encoding] : EveryBmpForm()) {
        SCOPED_TRACE(name);
        const TMonoBitmap got = Read(EncodeBmp(expected, encoding));
        EXPECT_EQ(DifferingPixels(got, expected), 0u);
        EXPECT_TRUE(got == expected);  // padding bits stay clear as well
    }
}

TEST(BmpReader, InkIsLuminanceBelow128)
{
    // One 24-bit row of four pixels: (R, G, B) = (127, 128, 128) is just below, (128, 128, 128) is not.
    TMonoBitmap one(4, 1);
    std::vector<uint8_t> b = EncodeBmp(one, {24, 40, false, false, 0, false});
    const size_t data = b.size() - 12;
    const uint8_t rgb[4][3] = {{127, 128, 128}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0}};
    for (int x = 0; x < 4; ++x)
        for (int k = 0; k < 3; ++k)
            b[data + 3 * x + k] = rgb[x][2 - k];
    const TMonoBitmap got = Read(b);
    EXPECT_TRUE(got.Ink(0, 0));
    EXPECT_FALSE(got.Ink(1, 0));
    EXPECT_TRUE(got.Ink(2, 0));   // pure blue is dark
    EXPECT_FALSE(got.Ink(3, 0));  // pure green is light
}

TEST(BmpReader, RefusesWhatItDoesNotRead)
{
    const TMonoBitmap img = Picture();
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        const char* Message;
    };
    std::vector<TCase> cases;
    cases.push_back({"RLE8", EncodeBmp(img, {8, 40, false, false, 1, false}), "unsupported BMP file: RLE compression"});
    cases.push_back({"RLE4", EncodeBmp(img, {4, 40, false, false, 2, false}), "unsupported BMP file: RLE compression"});
    cases.push_back({"16-bit", EncodeBmp(img, {16, 40, false, false, 0, false}), "unsupported BMP file: 16 bits per pixel"});
    cases.push_back({"16-bit bit fields", EncodeBmp(img, {16, 40, false, false, 0, true}), "unsupported BMP file: 16 bits per pixel"});
    cases.push_back({"JPEG inside", EncodeBmp(img, {24, 40, false, false, 4, false}), "unsupported BMP file: JPEG compression"});
    cases.push_back({"OS/2 2.x header", EncodeBmp(img, {24, 64, false, false, 0, false}),
                     "unsupported BMP file: header of 64 bytes"});
    std::vector<uint8_t> masks = EncodeBmp(img, {32, 40, false, false, 0, true});
    masks[54] = 0x1F;  // red mask is no longer 0xFF0000
    cases.push_back({"other bit fields", masks, "unsupported BMP file: bit fields other than 8-bit red, green and blue in 32 bits"});
    std::vector<uint8_t> cut = EncodeBmp(img, {24, 40, false, false, 0, false});
    cut.resize(cut.size() - 1);
    cases.push_back({"pixel data cut short", cut, "invalid BMP file: the pixel data is truncated"});
    std::vector<uint8_t> notBmp = cut;
    notBmp[0] = 'P';
    cases.push_back({"not a BMP", notBmp, "invalid BMP file: the file does not start with BM"});
    cases.push_back({"header cut short", std::vector<uint8_t>(cut.begin(), cut.begin() + 20), "invalid BMP file: the file is truncated"});
    // A header that claims a huge picture in a small file: refused before any allocation.
    std::vector<uint8_t> huge = EncodeBmp(img, {1, 40, false, false, 0, false});
    huge[18] = huge[19] = 0xFF;
    huge[20] = 0x02;
    huge[22] = huge[23] = 0xFF;
    huge[24] = 0x02;
    cases.push_back({"huge size", huge, "invalid BMP file: size 196607 x 196607 is out of range"});
    huge[20] = 0;
    huge[24] = 0;
    cases.push_back({"large size, small file", huge, "invalid BMP file: the pixel data is truncated"});
    std::vector<uint8_t> zero = EncodeBmp(img, {24, 40, false, false, 0, false});
    zero[18] = zero[19] = zero[20] = zero[21] = 0;
    cases.push_back({"zero width", zero, "invalid BMP file: size 0 x 23 is out of range"});
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(ReadError(c.Bytes), c.Message);
    }
}
