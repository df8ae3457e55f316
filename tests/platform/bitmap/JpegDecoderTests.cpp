// JPEG pictures into the 32-bit bitmap: grey, colour and progressive pictures decode to what was
// encoded; damaged, cut and oversized ones are refused with a reason.
#include "JpegDecoder.h"

#include "CADExceptions.h"
#include "ExpectError.h"
#include "JpegTestWriter.h"
#include "PictureFile.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Four flat quadrants, which JPEG keeps within a few levels.
uint32_t Quadrants(int x, int y)
{
    static const uint32_t colours[4] = {0xC02010, 0x10C020, 0x2010C0, 0xF0F0F0};
    return colours[(x >= 16 ? 1 : 0) + (y >= 16 ? 2 : 0)];
}

int Channel(uint32_t v, int shift)
{
    return int((v >> shift) & 0xFF);
}

} // namespace

TEST(JpegDecoder, DecodesWhatWasEncoded)
{
    struct TCase {
        const char* Name;
        TJpegEncoding Encoding;
    };
    TJpegEncoding grey, colour, progressive, cmyk;
    grey.Grey = true;
    progressive.Progressive = true;
    cmyk.Cmyk = true;
    const std::vector<TCase> cases = {
        {"grey", grey}, {"colour", colour}, {"progressive", progressive}, {"CMYK", cmyk}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<uint8_t> bytes = EncodeJpeg(32, 32, Quadrants, c.Encoding);
        std::vector<int> rows;
        const auto bitmap = DecodeJpeg(bytes.data(), bytes.size(), [&](int done, int h) {
            EXPECT_EQ(h, 32);
            rows.push_back(done);
        });
        ASSERT_EQ(bitmap->Width(), 32);
        ASSERT_EQ(bitmap->Height(), 32);
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back(), 32);
        for (int y = 4; y < 32; y += 8)
            for (int x = 4; x < 32; x += 8) {
                const uint32_t want = Quadrants(x, y);
                const uint32_t got = bitmap->Pixel(x, y);
                EXPECT_EQ(got >> 24, 0xFFu);
                for (int shift : {0, 8, 16}) {
                    const int expected = c.Encoding.Grey ? Channel(want, 8) : Channel(want, shift);
                    EXPECT_NEAR(Channel(got, shift), expected, 6) << x << "," << y;
                }
            }
    }
}

TEST(JpegDecoder, RefusesDamagedPictures)
{
    const std::vector<uint8_t> good = EncodeJpeg(32, 32, Quadrants);
    std::vector<uint8_t> cut(good.begin(), good.begin() + long(good.size() / 2));
    std::vector<uint8_t> noise(good.size());
    for (size_t i = 0; i < noise.size(); ++i)
        noise[i] = uint8_t(i * 37 + 11);
    std::vector<uint8_t> scrambled = good;
    for (size_t i = good.size() / 3; i < good.size() - 2; i += 7)
        scrambled[i] = 0xFF;
    for (const auto& [name, bytes] : std::vector<std::pair<const char*, std::vector<uint8_t>>>{
             {"cut", cut}, {"noise", noise}, {"scrambled", scrambled}, {"empty", {}}}) {
        SCOPED_TRACE(name);
        ExpectErrorContaining<ECADFileNotValid>([&] { DecodeJpeg(bytes.data(), bytes.size()); }, "JPEG");
    }
}

TEST(JpegDecoder, RefusesTooManyPixelsBeforeDecoding)
{
    const std::vector<uint8_t> bytes = EncodeJpeg(40, 30, Quadrants);
    ExpectError<ECADFileNotValid>([&] { DecodeJpeg(bytes.data(), bytes.size(), {}, 40 * 30 - 1); },
                                  "JPEG picture too large: 40 x 30");
    EXPECT_EQ(DecodeJpeg(bytes.data(), bytes.size(), {}, 40 * 30)->Width(), 40);
}

TEST(PictureFile, ReadsFilesAndNamesTheMissingOne)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/p.jpg";
    ASSERT_TRUE(WriteBytes(name, EncodeJpeg(8, 4, Quadrants)));
    EXPECT_EQ(ReadJpegFile(name)->Height(), 4);
    ExpectErrorContaining<ECADCoreException>([&] { ReadJpegFile(folder.Path() + "/none.jpg"); }, "none.jpg");
    ExpectErrorContaining<ECADCoreException>([&] { ReadBmpFile(folder.Path()); }, "Is a directory");
}
