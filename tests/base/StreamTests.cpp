#include "CADExceptions.h"
#include "FileReplace.h"
#include "QVStream.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
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

// A writer on a file sends its bytes on in pieces as they come; the file must hold what a writer
// in memory holds after the same writes: counts patched after they were sent (also one whose
// bytes lie on both sides of a piece's end), values across piece ends, and a block larger than a
// piece, which goes straight through.
TEST(Stream, AFileWriterWritesWhatAWriterInMemoryHolds)
{
    const size_t piece = TStreamWriter::SpillSize;
    const std::vector<uint8_t> block(piece + 123, 0xAB);
    const auto writeAll = [&](TStreamWriter& w) {
        w.WriteInt32(0); // patched after it was sent
        for (int32_t i = 0; w.Size() < 2 * piece + 7; ++i) {
            w.WriteInt16(static_cast<int16_t>(i));
            w.WriteDouble(i * 0.5);
            w.WriteByte(static_cast<uint8_t>(i));
        }
        w.WriteInt16(-1);
        w.Flush(); // a file writer's piece ends here
        w.WriteInt16(-1);
        w.PatchInt32(w.Size() - 4, 0x01020304); // two bytes sent, two still held
        w.WriteBytes(block.data(), block.size());
        w.WriteChars("end");
        w.PatchInt32(0, 77);
    };
    TStreamWriter memory;
    writeAll(memory);

    TTempFolder folder;
    const std::string path = folder.Path() + "/stream.bin";
    {
        TFileReplace file(path);
        TStreamWriter w(file);
        writeAll(w);
        EXPECT_EQ(w.Size(), memory.Size());
        w.Flush();
        file.Commit();
    }
    EXPECT_EQ(FileBytes(path), memory.Bytes());
}

namespace {

// Shows a byte source three bytes at a time (more when one read needs more), as a file reader
// shows a file through its window.
class TSmallWindowReader final : public TStreamReader {
public:
    explicit TSmallWindowReader(std::vector<uint8_t> bytes) : TStreamReader(bytes.size()), Source(std::move(bytes)) {}
    int Refills = 0;

protected:
    void Refill(size_t size) override
    {
        ++Refills;
        const size_t base = Position();
        Window.assign(Source.begin() + static_cast<std::ptrdiff_t>(base),
                      Source.begin() + static_cast<std::ptrdiff_t>(base + std::min(std::max<size_t>(size, 3), Remaining())));
        SetWindow(base, Window.data(), Window.size());
    }

private:
    std::vector<uint8_t> Source;
    std::vector<uint8_t> Window;
};

}  // namespace

// Reads that straddle a window, seeks back out of it, skips, counts and a short read at the end
// all behave as they do on the same bytes in memory.
TEST(Stream, AWindowedReaderReadsAsMemoryDoes)
{
    TStreamWriter w;
    w.WriteInt16(7);
    w.WriteDouble(2.5);
    w.WriteInt32(2);
    w.WriteChars("abcdefgh");
    w.WriteByte(1);
    TSmallWindowReader r(w.Bytes());
    EXPECT_EQ(r.Size(), w.Size());
    EXPECT_EQ(r.ReadInt16(), 7);
    EXPECT_EQ(r.ReadDouble(), 2.5);
    EXPECT_EQ(r.Position(), 10u);
    EXPECT_EQ(r.ReadCount(4, "names"), 2u);
    EXPECT_EQ(r.ReadChars(8), "abcdefgh");
    r.Seek(2);  // back before the window
    EXPECT_EQ(r.ReadDouble(), 2.5);
    r.Skip(4 + 8);
    EXPECT_EQ(r.Remaining(), 1u);
    EXPECT_FALSE(r.AtEnd());
    EXPECT_GT(r.Refills, 3);

    TStreamReader memory(w.Bytes());
    memory.Seek(w.Size() - 1);
    std::string inMemory, windowed;
    try {
        memory.ReadInt16();
    } catch (const ECADFileNotValid& e) {
        inMemory = e.what();
    }
    try {
        r.ReadInt16();
    } catch (const ECADFileNotValid& e) {
        windowed = e.what();
    }
    EXPECT_EQ(windowed, inMemory);
    EXPECT_FALSE(windowed.empty());
    EXPECT_EQ(r.ReadByte(), 1);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_THROW(r.Skip(1), ECADFileNotValid);
}
