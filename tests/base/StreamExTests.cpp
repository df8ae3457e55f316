#include "CADExceptions.h"
#include "Cp1252.h"
#include "StreamEx.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Count(int32_t n, std::string_view bytes)
{
    TStreamWriter w;
    w.WriteInt32(n);
    w.WriteChars(bytes);
    return w.TakeBytes();
}

}  // namespace

TEST(StreamEx, WritesCountThenWindows1252Bytes)
{
    struct Case {
        const char* name;
        std::string text;
        std::vector<uint8_t> bytes;
    };
    const std::vector<Case> cases = {
        {"empty", "", {0, 0, 0, 0}},
        {"ascii", "T1", {2, 0, 0, 0, 'T', '1'}},
        {"latin and euro", "\xC3\xB8 \xE2\x82\xAC", {3, 0, 0, 0, 0xF8, ' ', 0x80}},
        {"not in the code page", "\xE2\x88\x85", {1, 0, 0, 0, '?'}},
        {"broken utf-8", "a\xC3", {2, 0, 0, 0, 'a', '?'}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamWriter w;
        TStreamEx::WriteString(w, c.text);
        EXPECT_EQ(w.Bytes(), c.bytes);
    }
}

TEST(StreamEx, ReadsBack)
{
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        std::string text;
        size_t consumed;
    };
    const std::vector<Case> cases = {
        {"negative count", Count(-5, "xyz"), "", 4},
        {"zero count", Count(0, "xyz"), "", 4},
        {"bytes follow", Count(3, "ab\x80" "tail"), "ab\xE2\x82\xAC", 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TStreamReader r(c.bytes);
        EXPECT_EQ(TStreamEx::ReadString(r), c.text);
        EXPECT_EQ(r.Position(), c.consumed);
    }
}

TEST(StreamEx, CountBeyondTheDataIsRefused)
{
    for (const int32_t n : {4, 0x7FFFFFFF}) {
        SCOPED_TRACE(n);
        const std::vector<uint8_t> bytes = Count(n, "abc");
        TStreamReader r(bytes);
        EXPECT_THROW(TStreamEx::ReadString(r), ECADFileNotValid);
    }
}

TEST(StreamEx, EveryByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::vector<uint8_t> stored = Count(static_cast<int32_t>(all.size()), all);
    TStreamReader r(stored);
    const std::string text = TStreamEx::ReadString(r);
    TStreamWriter w;
    TStreamEx::WriteString(w, text);
    EXPECT_EQ(w.Bytes(), stored);
}

// A prefix of N characters is what becomes the first N bytes in Windows-1252.
TEST(Cp1252, PrefixCountsCharactersAsTheConversionDoes)
{
    struct TCase {
        const char* Name;
        std::string Text;
        size_t Count;
        std::string Want;
    };
    const std::vector<TCase> cases = {
        {"plain", "abcdef", 3, "abc"},
        {"shorter than the count", "ab", 5, "ab"},
        {"two- and three-byte characters", "é€中x", 3, "é€中"},
        {"an invalid byte is one character",
         "a\xFF"
         "b",
         2, "a\xFF"},
        {"a cut-short sequence", "a\xE4\xB8", 2, "a\xE4"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string_view prefix = Utf8Prefix(c.Text, c.Count);
        EXPECT_EQ(prefix, c.Want);
        EXPECT_EQ(Utf8ToWindows1252(prefix), Utf8ToWindows1252(c.Text).substr(0, c.Count));
    }
}
