// The resolution probes of BMP and JPEG headers, on pictures written in the test.
#include "ImageProbes.h"

#include "CADExceptions.h"
#include "ExpectError.h"
#include "JpegTestWriter.h"
#include "QVStream.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A 2x2 grey JPEG with a JFIF segment of the given unit and densities, written by libjpeg.
void WriteJpeg(const std::string& Name, uint8_t Unit, uint16_t X, uint16_t Y)
{
    TJpegEncoding e;
    e.Grey = true;
    e.DensityUnit = Unit;
    e.XDensity = X;
    e.YDensity = Y;
    const auto blackThenWhite = [](int x, int) { return x ? 0xFFFFFFu : 0u; };
    ASSERT_TRUE(WriteBytes(Name, EncodeJpeg(2, 2, blackThenWhite, e)));
}

// The file header and an information header of HeaderSize bytes (40 unless given), with a 2x2
// 24-bit picture after it.
std::vector<uint8_t> Bmp(int32_t XPpm, int32_t YPpm, uint16_t Bits = 24, uint32_t Compression = 0,
                         uint32_t HeaderSize = 40)
{
    TStreamWriter w;
    w.WriteChars("BM");
    w.WriteUInt32(14 + HeaderSize + 16);
    w.WriteUInt32(0);
    w.WriteUInt32(14 + HeaderSize);
    w.WriteUInt32(HeaderSize);
    if (HeaderSize == 12) {
        w.WriteUInt16(2);
        w.WriteUInt16(2);
        w.WriteUInt16(1);
        w.WriteUInt16(Bits);
    } else {
        w.WriteInt32(2);
        w.WriteInt32(2);
        w.WriteUInt16(1);
        w.WriteUInt16(Bits);
        w.WriteUInt32(Compression);
        w.WriteUInt32(16);
        w.WriteInt32(XPpm);
        w.WriteInt32(YPpm);
        w.WriteUInt32(0);
        w.WriteUInt32(0);
        for (uint32_t i = 40; i < HeaderSize; ++i)
            w.WriteByte(0);
    }
    for (int i = 0; i < 16; ++i)
        w.WriteByte(0x80);
    return w.Bytes();
}

} // namespace

TEST(ImageProbes, JpegDensity)
{
    struct TCase {
        const char* Name;
        uint8_t Unit;
        uint16_t X, Y;
        uint16_t ExpectedX, ExpectedY;
    };
    const std::vector<TCase> cases = {
        {"dots per inch", 1, 300, 150, 300, 150},
        {"aspect ratio only", 0, 1, 1, 0, 0},
        {"dots per centimetre", 2, 118, 40, 300, 102},
        {"largest density per centimetre", 2, 65535, 65535, 65535, 65535},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string name = folder.Path() + "/p.jpg";
        WriteJpeg(name, c.Unit, c.X, c.Y);
        uint16_t x = 9, y = 9;
        ReadJpegDensity(name, x, y);
        EXPECT_EQ(x, c.ExpectedX);
        EXPECT_EQ(y, c.ExpectedY);
    }
}

TEST(ImageProbes, JpegWithoutAWholeJfifSegment)
{
    const std::vector<uint8_t> exif = {0xFF, 0xD8, 0xFF, 0xE1, 0x00, 0x10, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42};
    std::vector<uint8_t> late(40, 0);  // the marker too close to byte 50 for its densities
    late.insert(late.end(), {'J', 'F', 'I', 'F', 0, 1, 1, 1, 1});
    late.resize(80, 0x2C);
    const std::vector<uint8_t> shortFile = {0xFF, 0xD8, 0xFF, 0xE0, 0, 16, 'J', 'F', 'I', 'F', 0, 1, 1, 1, 1};
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> cases = {
        {"EXIF only", exif}, {"marker near the end of the probe", late}, {"file ends inside", shortFile}, {"empty", {}}};
    TTempFolder folder;
    for (const auto& [what, bytes] : cases) {
        SCOPED_TRACE(what);
        WriteFile(folder.Path() + "/p.jpg", bytes);
        uint16_t x = 9, y = 9;
        ReadJpegDensity(folder.Path() + "/p.jpg", x, y);
        EXPECT_EQ(x, 0);
        EXPECT_EQ(y, 0);
    }
    uint16_t x, y;
    ExpectError<ECADCoreException>([&] { ReadJpegDensity(folder.Path() + "/none.jpg", x, y); },
                                   "Cannot open the file \"" + folder.Path() + "/none.jpg\": No such file or directory");
}

TEST(ImageProbes, BmpInfo)
{
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
        uint16_t Bits;
        bool Compressed;
        int32_t XDpi, YDpi;
    };
    std::vector<uint8_t> cut = Bmp(11811, 11811);
    cut.resize(30);
    const std::vector<TCase> cases = {
        {"300 dpi", Bmp(11811, 11811), 24, false, 300, 300},
        {"72 dpi", Bmp(2835, 2835, 8), 8, false, 72, 72},
        {"halves round to even", Bmp(2500, 7500), 24, false, 64, 190},  // 63.5 and 190.5
        {"unknown resolution", Bmp(0, 0, 1), 1, false, 0, 0},
        {"negative resolution", Bmp(-11811, 2835), 24, false, 0, 72},
        {"run-length compressed", Bmp(3780, 3780, 8, 1), 8, true, 96, 96},
        {"version 5 header", Bmp(3780, 3780, 32, 3, 124), 32, true, 96, 96},
        {"core header", Bmp(0, 0, 4, 0, 12), 4, false, 0, 0},
        {"cut off inside the header", cut, 0, false, 0, 0},
        {"empty", {}, 0, false, 0, 0},
    };
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string name = folder.Path() + "/p.bmp";
        WriteFile(name, c.Bytes);
        uint16_t bits = 99;
        bool compressed = true;
        int32_t x = 99, y = 99;
        ReadBmpInfo(name, bits, compressed, x, y);
        EXPECT_EQ(bits, c.Bits);
        EXPECT_EQ(compressed, c.Compressed);
        EXPECT_EQ(x, c.XDpi);
        EXPECT_EQ(y, c.YDpi);
    }
}
