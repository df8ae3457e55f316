// The DXF group reader: value typing, sections, records, line ends, damaged and truncated files,
// and the files other programs write.
#include "QVDXF.h"

#include "CADExceptions.h"
#include "ExpectError.h"
#include "FakeServices.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using TKind = TDXFValue::TKind;

std::string Data(const std::string& Name) { return std::string(RASTREL_TEST_DATA) + "/dxf/" + Name; }

// The pairs Text delivers, from its first on, as "code=value" with values of their kind; read
// from memory, or from a file of it.
std::vector<std::string> Pairs(const std::string& Text, bool FromFile = false)
{
    // NextSection at creation consumes everything of a file without SECTION: read it raw instead.
    const std::string whole = "  0\nSECTION\n  2\nENTITIES\n" + Text;
    std::unique_ptr<TDXFRead> r;
    TTempFolder folder;
    if (FromFile) {
        const std::string name = folder.Path() + "/pairs.dxf";
        std::ofstream(name, std::ios::binary) << whole;
        r = std::make_unique<TDXFRead>(name);
    } else {
        r = TDXFRead::FromText(whole);
    }
    std::vector<std::string> out;
    while (r->Section == TDXFSection::Entities) {
        std::string v;
        switch (r->Value.Kind) {
        case TKind::Empty: v = "<empty>"; break;
        case TKind::Text: v = "'" + r->Value.Text + "'"; break;
        case TKind::Real: v = "r" + std::to_string(r->Value.Real); break;
        case TKind::Integer: v = "i" + std::to_string(r->Value.Integer); break;
        }
        out.push_back(std::to_string(r->Code) + "=" + v);
        if (!r->ReadGroup())
            break;
    }
    EXPECT_TRUE(r->AtEnd());
    EXPECT_EQ(r->Code, 0);
    EXPECT_FALSE(r->Value.IsPresent());
    return out;
}

} // namespace

TEST(DXFRead, ValuesAreTypedByTheRangeOfTheirCode)
{
    struct TCase {
        const char* Name;
        const char* Pair;
        std::string Expected;
    };
    const std::vector<TCase> cases = {
        {"comma separator with blanks", " 10\n   12,5\n", "10=r12.500000"},
        {"exponent", "10\n1.5E3\n", "10=r1500.000000"},
        {"explicit plus", "40\n+2.5\n", "40=r2.500000"},
        {"bare fraction", "50\n-.5\n", "50=r-0.500000"},
        {"both separators", "10\n1,234.5\n", "10=i0"},
        {"empty real", "20\n\n", "20=i0"},
        {"infinity", "30\ninf\n", "30=rinf"},
        {"negative infinity in capitals", "30\n-INFINITY\n", "30=r-inf"},
        {"not a number", "10\nnan\n", "10=rnan"},
        {"beyond the range of a double", "40\n1e400\n", "40=rinf"},
        {"too small for a double", "40\n-1E-400\n", "40=r0.000000"},
        {"letters after a number", "40\n1e400x\n", "40=i0"},
        {"letters under an integer code", "70\nabc\n", "70=i0"},
        {"integer between blanks", "62\n   7  \n", "62=i7"},
        {"decimals under an integer code", "70\n12.0\n", "70=i0"},
        {"integer out of range", "71\n4294967296\n", "71=i0"},
        {"extended data integer", "1071\n5\n", "1071=i5"},
        {"extended data real", "1040\n0,25\n", "1040=r0.250000"},
        {"subclass marker keeps its blanks", "100\nAcDbLine  \n", "100='AcDbLine  '"},
        {"group 90 is text as read", " 90\n        3\n", "90='        3'"},
        {"layer name trimmed", "  8\n 0 \n", "8='0'"},
        {"comment trimmed", "999\n  note \n", "999='note'"},
        {"code line with a trailing comment", " 10 x\n1\n", "10=r1.000000"},
        {"blank lines before a code", "\n  \n 40\n2\n", "40=r2.000000"},
        {"code with leading zeros", "0010\n1.5\n", "10=r1.500000"},
        {"code of five digits", "10000\n abc\n", "10000=' abc'"},
        {"code line ending in two CRs", " 40\r\r\n2\r\n", "40=r2.000000"},
        {"code line of a tab", "\t40\n2\n", "40=r2.000000"},
        {"Windows-1252 text", "1\n\xE9t\xE9 \x80\n", "1='\xC3\xA9t\xC3\xA9 \xE2\x82\xAC'"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto pairs = Pairs(c.Pair);
        ASSERT_EQ(pairs.size(), 1u);
        EXPECT_EQ(pairs[0], c.Expected);
    }
}

// Plain decimals, the form nearly every value has, take a shorter way than other forms; each
// must read to the very double (and integer) the full reading gives.
TEST(DXFRead, PlainNumbersReadAsTheFullReadingReadsThem)
{
    const auto same = [](const std::string& text) {
        double expected = 0, got = 0;
        const auto r = std::from_chars(text.data(), text.data() + text.size(), expected);
        ASSERT_TRUE(r.ec == std::errc() && r.ptr == text.data() + text.size()) << text;
        ASSERT_TRUE(ParseDXFReal(text, got)) << text;
        EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << text << ": " << got << " for " << expected;
    };
    for (const char* text :
         {"0", "-0", "-0.0", "5.", "0.1", "0.3", "-1498.500999", "9007199254740992", "9007199254740993",
          "9007199254740993.5", "0.0000000000000000000001", "0.00000000000000000000001",
          "1234567890123456789", "12345678901234567890", "00000000000000000000012.5", "4503599627370497.5",
          "179769313486231570000000000"})
        same(text);
    std::mt19937_64 random(17);
    char buffer[64];
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, static_cast<int>(random() % 30) - 12);
        const double v = (static_cast<double>(random() % 2000001) - 1000000) / 1000000 * magnitude;
        std::snprintf(buffer, sizeof buffer, "%.*f", static_cast<int>(random() % 18), v);
        same(buffer);
        std::snprintf(buffer, sizeof buffer, "%.17g", v);
        if (!std::strpbrk(buffer, "e"))
            same(buffer);
    }
    for (const char* text :
         {"0", "-0", "7", "-999999999", "999999999", "1000000000", "-2147483648", "2147483647"}) {
        int32_t expected = 0, got = 0;
        std::from_chars(text, text + std::strlen(text), expected);
        EXPECT_TRUE(ParseDXFInteger(text, got)) << text;
        EXPECT_EQ(got, expected) << text;
    }
}

TEST(DXFRead, LineEndsBlanksAndTheEndOfTheFile)
{
    // The last pair must arrive complete, never with an earlier pair's value.
    struct TCase {
        const char* Name;
        std::string Text;
        std::vector<std::string> Expected;
    };
    const std::vector<std::string> line = {"0='LINE'", "11=r3.000000", "21=r4.500000"};
    std::vector<std::string> closed = line;
    closed.push_back("0='ENDSEC'");
    const std::vector<TCase> cases = {
        {"LF", "  0\nLINE\n 11\n3.0\n 21\n4.5\n  0\nENDSEC\n  0\nEOF\n", closed},
        {"CR LF", "  0\r\nLINE\r\n 11\r\n3.0\r\n 21\r\n4.5\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n", closed},
        {"blanks around codes and values", "  0  \n LINE \n\t11 \n  3.0 \n 21\t\n 4.5\r\n  0\nENDSEC\n0\nEOF", closed},
        {"no EOF", "  0\nLINE\n 11\n3.0\n 21\n4.5\n", line},
        {"no line end after the last value", "  0\nLINE\n 11\n3.0\n 21\n4.5", line},
        {"cut after a code line", "  0\nLINE\n 11\n3.0\n 21\n4.5\n  0\n", line},
        {"cut inside a code line", "  0\nLINE\n 11\n3.0\n 21\n4.5\n  ", line},
        {"blank lines at the end", "  0\nLINE\n 11\n3.0\n 21\n4.5\n\n\n", line},
        {"EOF ends the file", "  0\nLINE\n 11\n3.0\n  0\nEOF\n 21\n4.5\n", {"0='LINE'", "11=r3.000000"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Pairs(c.Text), c.Expected);
        // Read from a file, the last line without a line end was lost.
        EXPECT_EQ(Pairs(c.Text, true), c.Expected);
    }
}

TEST(DXFRead, EveryLoopEndsOnATruncatedFile)
{
    for (const std::string text : {"  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n", "  0\nSECTION\n  2\n",
                                   "  0\nSECTION\n", "  0\n", "", "\n\n"}) {
        SCOPED_TRACE(text);
        auto r = TDXFRead::FromText(text);
        EXPECT_FALSE(r->Failed);
        TDXFRecord rec;
        while (r->Section != TDXFSection::None) {
            while (!r->AtEnd())
                r->ReadRecord(0, rec);
            r->NextSection();
        }
        EXPECT_EQ(r->ReadRecord(0, rec), 0);
        EXPECT_EQ(r->ReadRecord(9, rec), 0);
        EXPECT_FALSE(r->ReadGroup());
        EXPECT_EQ(r->Code, 0);
        EXPECT_FALSE(rec.Group(10).IsPresent());  // the code line without a value is not stored
    }
}

TEST(DXFRead, RecordsFillSlotsByCode)
{
    auto r = TDXFRead::FromText("  0\nSECTION\n  2\nENTITIES\n"
                                "  0\nLINE\n  8\nA\n330\n1F\n1071\n9\n1300\nx\n1256\nlast\n"
                                "  0\nPOINT\n 10\n1\n  0\nENDSEC\n  0\nEOF\n");
    ASSERT_EQ(r->Section, TDXFSection::Entities);
    TDXFRecord rec;
    EXPECT_EQ(r->ReadRecord(0, rec), 0);
    EXPECT_TRUE(rec.Group(0).IsText("LINE"));
    EXPECT_TRUE(rec.Group(8).IsText("A"));
    EXPECT_EQ(rec.Slots[327].Integer, 9);  // code 1071
    EXPECT_TRUE(rec.Slots[512].IsText("last"));
    EXPECT_FALSE(rec.Group(330).IsPresent());
    EXPECT_FALSE(rec.Group(1300).IsPresent());
    EXPECT_EQ(TDXFRecord::SlotOf(330), -1);
    EXPECT_EQ(TDXFRecord::SlotOf(-1), -1);
    EXPECT_TRUE(r->Value.IsText("POINT"));

    // Without Clear a reused array keeps the groups the next record does not give.
    r->ReadRecord(0, rec);
    EXPECT_TRUE(rec.Group(0).IsText("POINT"));
    EXPECT_TRUE(rec.Group(8).IsText("A"));
    rec.Clear();
    EXPECT_FALSE(rec.Group(8).IsPresent());
    EXPECT_TRUE(r->Value.IsText("ENDSEC"));
    EXPECT_EQ(r->ReadRecord(0, rec), 0);
    EXPECT_TRUE(rec.Group(0).IsText("ENDSEC"));
}

TEST(DXFRead, HeaderVariablesAreRecordsOfCodeNine)
{
    auto r = TDXFRead::FromText("  0\nSECTION\n  2\nHEADER\n  9\n$ACADVER\n  1\nAC1009\n"
                                "  9\n$EXTMIN\n 10\n-1\n 20\n-2\n  0\nENDSEC\n  0\nEOF\n");
    ASSERT_EQ(r->Section, TDXFSection::Header);
    TDXFRecord rec;
    EXPECT_EQ(r->ReadRecord(9, rec), 9);
    EXPECT_TRUE(rec.Group(9).IsText("$ACADVER"));
    EXPECT_TRUE(rec.Group(1).IsText("AC1009"));
    EXPECT_EQ(r->Code, 9);
    EXPECT_EQ(r->ReadRecord(9, rec), 9);
    EXPECT_TRUE(rec.Group(9).IsText("$EXTMIN"));
    EXPECT_EQ(rec.Group(20).Real, -2);
    EXPECT_TRUE(r->Value.IsText("ENDSEC"));
    EXPECT_EQ(r->ReadRecord(9, rec), 0);
    EXPECT_TRUE(r->Value.IsText("ENDSEC"));
}

TEST(DXFRead, SectionsOfOtherNamesEndTheWalk)
{
    auto r = TDXFRead::FromText("  0\nSECTION\n  2\nCLASSES\n  0\nENDSEC\n  0\nSECTION\n  2\nTABLES\n  0\nENDSEC\n"
                                "  0\nSECTION\n  2\nOBJECTS\n  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n  0\nENDSEC\n");
    EXPECT_EQ(r->Section, TDXFSection::Classes);
    EXPECT_TRUE(r->Value.IsText("ENDSEC"));
    r->NextSection();
    EXPECT_EQ(r->Section, TDXFSection::Tables);
    r->NextSection();
    EXPECT_EQ(r->Section, TDXFSection::None);
    EXPECT_FALSE(r->AtEnd());
    r->Rewind();
    EXPECT_EQ(r->Section, TDXFSection::Classes);
}

TEST(DXFRead, FixturesOfEachVersion)
{
    struct TCase {
        const char* File;
        const char* Version;
        std::vector<TDXFSection> Sections;
        std::vector<std::string> Entities;
        const char* Layer;  // UTF-8
        const char* Text;   // UTF-8
        TDXFCodePage CodePage;
    };
    using S = TDXFSection;
    const std::vector<S> modern = {S::Header, S::Classes, S::Tables, S::Blocks, S::Entities};
    const std::vector<std::string> modernEntities = {"LINE", "LWPOLYLINE", "TEXT"};
    const std::vector<TCase> cases = {
        {"r12_other.dxf", "AC1009", {S::Header, S::Tables, S::Blocks, S::Entities},
         {"LINE", "ARC", "POLYLINE", "VERTEX", "VERTEX", "SEQEND", "INSERT", "TEXT"}, "Cont\xC3\xA9" "e",
         "\xC3\x98 12 \xE2\x82\xAC", TDXFCodePage::Windows1252},
        {"ac1015.dxf", "AC1015", modern, modernEntities, "Wei\xC3\x9F", "Caf\xC3\xA9 \xE2\x82\xAC", TDXFCodePage::Windows1252},
        {"ac1018.dxf", "AC1018", modern, modernEntities, "Wei\xC3\x9F", "Caf\xC3\xA9 \xE2\x82\xAC", TDXFCodePage::Windows1252},
        {"ac1021.dxf", "AC1021", modern, modernEntities, "Wei\xC3\x9F", "Caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9", TDXFCodePage::Utf8},
        {"ac1027.dxf", "AC1027", modern, modernEntities, "Wei\xC3\x9F", "Caf\xC3\xA9 \xE2\x82\xAC \xCE\xA9", TDXFCodePage::Utf8},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        TDXFRead r(Data(c.File));
        ASSERT_FALSE(r.Failed) << r.ErrorMessage;
        std::vector<S> sections;
        std::vector<std::string> entities;
        std::string version, layer, text;
        TDXFRecord rec;
        while (r.Section != S::None) {
            sections.push_back(r.Section);
            if (r.Section == S::Header) {
                while (r.ReadRecord(9, rec) == 9)
                    if (rec.Group(9).IsText("$ACADVER"))
                        version = rec.Group(1).Text;
            } else if (r.Section == S::Entities) {
                for (;;) {
                    rec.Clear();
                    r.ReadRecord(0, rec);
                    if (rec.Group(0).IsText("ENDSEC") || r.AtEnd())
                        break;
                    entities.push_back(rec.Group(0).Text);
                    if (rec.Group(0).IsText("LINE"))
                        layer = rec.Group(8).Text;
                    if (rec.Group(0).IsText("TEXT"))
                        text = rec.Group(1).Text;
                }
            }
            r.NextSection();
        }
        EXPECT_EQ(version, c.Version);
        EXPECT_EQ(sections, c.Sections);
        EXPECT_EQ(entities, c.Entities);
        EXPECT_EQ(layer, c.Layer);
        EXPECT_EQ(text, c.Text);
        EXPECT_EQ(r.CodePage, c.CodePage);
    }
}

TEST(DXFRead, LwPolylineGroupsComeInFileOrder)
{
    // Readers of LWPOLYLINE walk the groups one by one; 91 and 42 sit between the coordinates.
    TDXFRead r(Data("ac1015.dxf"));
    while (r.Section != TDXFSection::Entities && r.Section != TDXFSection::None)
        r.NextSection();
    TDXFRecord rec;
    r.ReadRecord(0, rec);
    ASSERT_TRUE(r.Value.IsText("LWPOLYLINE"));
    std::vector<int> codes;
    while (r.ReadGroupInRecord())
        codes.push_back(r.Code);
    EXPECT_EQ(codes, (std::vector<int>{5, 330, 100, 8, 100, 90, 70, 43, 10, 20, 42, 10, 20, 91, 10, 20}));
    EXPECT_TRUE(r.Value.IsText("TEXT"));
}

TEST(DXFRead, CodePageFollowsTheHeader)
{
    struct TCase {
        const char* Name;
        std::string Header;
        std::string Bytes;
        std::string Expected;
    };
    const std::string utf8 = "Wei\xC3\x9F";
    const std::vector<TCase> cases = {
        {"no header", "", "Wei\xDF", utf8},
        {"R12", "  9\n$ACADVER\n  1\nAC1009\n", "Wei\xDF", utf8},
        {"2000 saying UTF-8", "  9\n$ACADVER\n  1\nAC1015\n  9\n$DWGCODEPAGE\n  3\nUTF-8\n", utf8, utf8},
        {"2007 saying ANSI_1252", "  9\n$ACADVER\n  1\nAC1021\n  9\n$DWGCODEPAGE\n  3\nANSI_1252\n", utf8, utf8},
        {"2018", "  9\n$ACADVER\n  1\nAC1032\n", utf8, utf8},
        {"bytes that are not UTF-8 in a UTF-8 file", "  9\n$ACADVER\n  1\nAC1021\n", "Wei\xDF", utf8},
        {"bytes that are not UTF-8 in a UTF-8 file naming ANSI_1251",
         "  9\n$ACADVER\n  1\nAC1021\n  9\n$DWGCODEPAGE\n  3\nANSI_1251\n", "\xCF", "\xD0\x9F"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto r = TDXFRead::FromText("  0\nSECTION\n  2\nHEADER\n" + c.Header + "  0\nENDSEC\n  0\nSECTION\n  2\nENTITIES\n"
                                    "  0\nLINE\n  8\n" + c.Bytes + "\n  0\nENDSEC\n");
        r->NextSection();
        ASSERT_EQ(r->Section, TDXFSection::Entities);
        TDXFRecord rec;
        r->ReadRecord(0, rec);
        EXPECT_EQ(rec.Group(8).Text, c.Expected);
    }
}

TEST(DXFRead, FilesThatCannotBeRead)
{
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    TTempFolder folder;
    {
        TDXFRead r(folder.Path() + "/missing.dxf");
        EXPECT_TRUE(r.Failed);
        EXPECT_EQ(r.ErrorMessage, " error raised, with message: \"" + folder.Path() +
                                      "/missing.dxf\": No such file or directory");
        EXPECT_EQ(r.Section, TDXFSection::None);
        EXPECT_FALSE(r.ReadGroup());
        r.Rewind();
        EXPECT_TRUE(r.Failed);
    }
    ASSERT_EQ(window.Boxes.size(), 1u);
    EXPECT_EQ(window.Boxes[0].Text.rfind(" error raised, with message: ", 0), 0u);

    const std::string bad = folder.Path() + "/bad.dxf";
    std::ofstream(bad) << "SECTION\n  0\n";
    TDXFRead r(bad);
    EXPECT_TRUE(r.Failed);
    EXPECT_EQ(r.ErrorMessage,
              "\"" + bad + "\" is not a DXF file: its first line, \"SECTION\", is not a group code.");

    // A bad code line met while looking for the first section fails the reader too.
    auto noSection = TDXFRead::FromText("  0\nLINE\nx\n1\n");
    EXPECT_TRUE(noSection->Failed);
    EXPECT_EQ(noSection->ErrorMessage, " error raised, with message: Invalid numeric format in line 3 of the DXF file.");

    // Later the caller's handler gets the error.
    auto later = TDXFRead::FromText("  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n1O\n1\n");
    EXPECT_FALSE(later->Failed);
    ExpectError<ECADFileNotValid>([&] { later->ReadGroup(); }, "Invalid numeric format in line 7 of the DXF file.");
}

// Files that are not DXF at all were told "Invalid numeric format in line 1": the message says
// what the file is instead.
TEST(DXFRead, FilesThatAreNotDxfAreToldForWhatTheyAre)
{
    const auto utf16 = [](const std::string& Text, bool BigEndian, bool Mark) {
        std::string s = Mark ? (BigEndian ? "\xFE\xFF" : "\xFF\xFE") : "";
        for (char c : Text)
            s += BigEndian ? std::string{'\0', c} : std::string{c, '\0'};
        return s;
    };
    const std::string dxf = "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    std::string junk;
    std::mt19937 random(5);
    for (int i = 0; i < 3000; ++i)
        junk += static_cast<char>(random() & 0xFF);
    struct TCase {
        const char* Name;
        std::string Bytes;
        std::string What;
    };
    const std::vector<TCase> cases = {
        {"UTF-16 with its mark", utf16(dxf, false, true),
         "it holds UTF-16 text, and DXF files are text of one byte a character"},
        {"UTF-16 without a mark", utf16(dxf, false, false),
         "it holds UTF-16 text, and DXF files are text of one byte a character"},
        {"UTF-16 big-endian", utf16(dxf, true, false),
         "it holds UTF-16 text, and DXF files are text of one byte a character"},
        {"UTF-32",
         std::string("\xFF\xFE\0\0"
                     "0\0\0\0",
                     8),
         "it holds UTF-32 text, and DXF files are text of one byte a character"},
        {"binary junk", junk, "it holds binary data"},
        {"a PNG picture", std::string("\x89PNG\r\n\x1A\n\0\0\0\rIHDR", 16), "it is a PNG picture"},
        {"a DWG drawing", std::string("AC1015\0\0\0\0\0\x0F", 12),
         "it is a DWG drawing: save it as a DXF file in the program that made it"},
        {"a drawing file", std::string("QV-3.6\x01\0\0\x01\x02", 11),
         "it is a drawing file of this program (*.pnc)"},
        {"plain text", "Dear reader,\nthis is a letter.\n",
         "its first line, \"Dear reader,\", is not a group code"},
        {"Windows-1252 text, cut", "Caf\xE9 du march\xE9 aux fleurs et aux l\xE9gumes frais\n",
         "its first line, \"Caf\xC3\xA9 du march\xC3\xA9 aux fleurs et aux l\xC3\xA9gumes...\", is not a "
         "group code"},
    };
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    TTempFolder folder;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        window.Boxes.clear();
        const std::string name = folder.Path() + "/file.dxf";
        std::ofstream(name, std::ios::binary) << c.Bytes;
        TDXFRead r(name);
        EXPECT_TRUE(r.Failed);
        const std::string expected = "\"" + name + "\" is not a DXF file: " + c.What + ".";
        EXPECT_EQ(r.ErrorMessage, expected);
        ASSERT_EQ(window.Boxes.size(), 1u);
        EXPECT_EQ(window.Boxes[0].Text, expected);
    }
    // The same text in one byte a character is read.
    EXPECT_FALSE(TDXFRead::FromText(dxf)->Failed);
}

TEST(DXFRead, LongFilesAndLongLinesReadAcrossBufferRefills)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/long.dxf";
    {
        std::ofstream f(name, std::ios::binary);
        f << "\xEF\xBB\xBF  0\r\nSECTION\r\n  2\r\nENTITIES\r\n";
        f << "  0\r\nTEXT\r\n  1\r\n" << std::string(3'000'000, 'x') << "\r\n";
        for (int i = 0; i < 60'000; ++i)
            f << "  0\r\nLINE\r\n 10\r\n" << i << ".5\r\n 20\r\n-" << i << "\r\n";
        f << "  0\r\nENDSEC\r\n  0\r\nEOF\r\n";
    }
    TDXFRead r(name);
    ASSERT_EQ(r.Section, TDXFSection::Entities);
    TDXFRecord rec;
    r.ReadRecord(0, rec);
    EXPECT_EQ(rec.Group(1).Text.size(), 3'000'000u);
    int lines = 0;
    bool inOrder = true;
    while (r.Value.IsText("LINE")) {
        r.ReadRecord(0, rec);
        inOrder = inOrder && rec.Group(10).Real == lines + 0.5 && rec.Group(20).Real == -lines;
        ++lines;
    }
    EXPECT_EQ(lines, 60'000);
    EXPECT_TRUE(inOrder);
    EXPECT_TRUE(r.Value.IsText("ENDSEC"));

    // Back to the start from the middle of the file, while its next piece is being read.
    TDXFRead again(name);
    again.ReadRecord(0, rec);
    again.ReadRecord(0, rec);
    again.Rewind();
    ASSERT_EQ(again.Section, TDXFSection::Entities);
    rec.Clear();
    again.ReadRecord(0, rec);
    EXPECT_EQ(rec.Group(1).Text.size(), 3'000'000u);
    again.ReadRecord(0, rec);
    EXPECT_EQ(rec.Group(10).Real, 0.5);
}
