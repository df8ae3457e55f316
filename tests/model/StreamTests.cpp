#include "CADExceptions.h"
#include "QVStream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(Stream, WritesLittleEndianFieldByField)
{
    TStreamWriter w;
    w.WriteInt32(0x01020304);
    w.WriteInt16(-2);
    w.WriteBool(true);
    w.WriteDouble(1.0);
    const std::vector<uint8_t> expected = {0x04, 0x03, 0x02, 0x01, 0xFE, 0xFF, 0x01,
                                           0, 0, 0, 0, 0, 0, 0xF0, 0x3F};
    EXPECT_EQ(w.Bytes(), expected);
}

TEST(Stream, RoundTripKeepsEveryBit)
{
    TStreamWriter w;
    const double nan = std::numeric_limits<double>::quiet_NaN();
    w.WriteDouble(-0.0);
    w.WriteDouble(nan);
    w.WriteSingle(3.25f);
    w.WriteInt64(-5);
    w.WriteUInt32(0xFFFFFFFFu);
    w.WriteChars("abc");
    TStreamReader r(w.Bytes());
    EXPECT_TRUE(std::signbit(r.ReadDouble()));
    EXPECT_TRUE(std::isnan(r.ReadDouble()));
    EXPECT_EQ(r.ReadSingle(), 3.25f);
    EXPECT_EQ(r.ReadInt64(), -5);
    EXPECT_EQ(r.ReadUInt32(), 0xFFFFFFFFu);
    EXPECT_EQ(r.ReadChars(3), "abc");
    EXPECT_TRUE(r.AtEnd());
}

TEST(Stream, ShortReadIsRefusedWithContext)
{
    const std::vector<uint8_t> bytes = {1, 2, 3};
    TStreamReader r(bytes);
    r.SetContext("matrix");
    try {
        r.ReadInt32();
        FAIL() << "no exception";
    } catch (const ECADFileNotValid& e) {
        EXPECT_STREQ(e.what(),
                     "Invalid stream (matrix): unexpected end of data, 4 bytes needed and 3 left at offset 0.");
    }
    EXPECT_EQ(r.Position(), 0u);  // a failed read consumes nothing
}

TEST(Stream, CountsAreCheckedAgainstWhatRemains)
{
    struct Case {
        const char* name;
        int32_t count;
        size_t itemBytes;
        size_t trailing;
        bool ok;
    };
    const Case cases[] = {
        {"fits exactly", 2, 8, 16, true},
        {"zero", 0, 8, 0, true},
        {"one too many", 3, 8, 16, false},
        {"negative", -1, 8, 100, false},
        {"huge", 0x7FFFFFFF, 44, 100, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamWriter w;
        w.WriteInt32(c.count);
        std::vector<uint8_t> pad(c.trailing);
        w.WriteBytes(pad.data(), pad.size());
        TStreamReader r(w.Bytes());
        if (c.ok)
            EXPECT_EQ(r.ReadCount(c.itemBytes, "points"), static_cast<uint32_t>(c.count));
        else
            EXPECT_THROW(r.ReadCount(c.itemBytes, "points"), ECADFileNotValid);
    }
}

TEST(Stream, PatchOverwritesAnEarlierCount)
{
    TStreamWriter w;
    w.WriteInt32(0);
    w.WriteByte(9);
    w.PatchInt32(0, 7);
    TStreamReader r(w.Bytes());
    EXPECT_EQ(r.ReadInt32(), 7);
    EXPECT_EQ(r.ReadByte(), 9);
    EXPECT_THROW(r.Seek(10), ECADFileNotValid);
}
