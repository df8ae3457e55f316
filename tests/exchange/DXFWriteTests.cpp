// The DXF writer: group formatting, text encoding, locale independence, safe replacement of the
// target file, and its output read back by our reader.
#include "QVDXF.h"

#include "CADExceptions.h"
#include "ExpectError.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <clocale>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

namespace {

// What one call writes into a fresh file.
std::string Written(const std::function<void(TDXFWrite&)>& Write, TDXFCodePage CodePage = TDXFCodePage::Windows1252)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/out.dxf";
    TDXFWrite w(name);
    w.CodePage = CodePage;
    Write(w);
    w.Commit();
    return FileText(name);
}

// Switches LC_NUMERIC to a German locale for one scope, when the system has one.
class TGermanNumbers {
public:
    TGermanNumbers() : Old(std::setlocale(LC_NUMERIC, nullptr))
    {
        Active = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~TGermanNumbers() { std::setlocale(LC_NUMERIC, Old.c_str()); }
    bool Active = false;

private:
    std::string Old;
};

} // namespace

TEST(DXFWrite, GroupsAreFormattedByTheirCode)
{
    struct TCase {
        const char* Name;
        std::function<void(TDXFWrite&)> Write;
        std::string Expected;
    };
    const std::string long300(300, 'a');
    const std::vector<TCase> cases = {
        {"text", [](TDXFWrite& w) { w.WriteGroup(0, "LINE"); }, "  0\r\nLINE\r\n"},
        {"real", [](TDXFWrite& w) { w.WriteGroup(10, 12.5); }, " 10\r\n12.500000\r\n"},
        {"negative real", [](TDXFWrite& w) { w.WriteGroup(50, -0.0000004); }, " 50\r\n-0.000000\r\n"},
        {"integer", [](TDXFWrite& w) { w.WriteGroup(70, 64); }, " 70\r\n    64\r\n"},
        {"negative integer", [](TDXFWrite& w) { w.WriteGroup(62, -3); }, " 62\r\n    -3\r\n"},
        {"four-digit code", [](TDXFWrite& w) { w.WriteGroup(1040, 1); }, "1040\r\n1.000000\r\n"},
        {"text cut to 255", [&](TDXFWrite& w) { w.WriteGroup(1, long300); }, "  1\r\n" + std::string(255, 'a') + "\r\n"},
        {"line breaks in a text", [](TDXFWrite& w) { w.WriteGroup(1, "a\r\nb"); }, "  1\r\na  b\r\n"},
        {"real given to an integer code", [](TDXFWrite& w) { w.WriteGroup(70, 2.5); }, " 70\r\n     2\r\n"},
        {"text given to a real code", [](TDXFWrite& w) { w.WriteGroup(40, "2,5"); }, " 40\r\n2.500000\r\n"},
        {"integer given to a text code", [](TDXFWrite& w) { w.WriteGroup(1, 42); }, "  1\r\n42\r\n"},
        {"codes outside the table keep their value", [](TDXFWrite& w) { w.WriteGroup(100, "AcDbLine"); },
         "100\r\nAcDbLine\r\n"},
        {"integer under a code outside the table", [](TDXFWrite& w) { w.WriteGroup(90, 3); }, " 90\r\n3\r\n"},
        {"UTF-8 text in Windows-1252", [](TDXFWrite& w) { w.WriteGroup(8, "Wei\xC3\x9F \xE2\x82\xAC \xCE\xA9"); },
         "  8\r\nWei\xDF \x80 ?\r\n"},
        {"sections", [](TDXFWrite& w) { w.BeginSection(TDXFSection::Entities); w.EndSection(); },
         "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nENDSEC\r\n"},
        {"rewrite starts over", [](TDXFWrite& w) { w.WriteGroup(0, "LINE"); w.Rewrite(); w.WriteGroup(0, "ARC"); },
         "  0\r\nARC\r\n"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(Written(c.Write), c.Expected);
    }
}

TEST(DXFWrite, Utf8FilesCutByCharacters)
{
    const std::string omega = "\xCE\xA9";
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += omega;
    std::string cut;
    for (int i = 0; i < 255; ++i)
        cut += omega;
    EXPECT_EQ(Written([&](TDXFWrite& w) { w.WriteGroup(1, text); }, TDXFCodePage::Utf8), "  1\r\n" + cut + "\r\n");
}

TEST(DXFWrite, NumbersUseAPointUnderAnyLocale)
{
    TGermanNumbers german;
    if (!german.Active)
        GTEST_SKIP() << "no German locale";
    EXPECT_EQ(Written([](TDXFWrite& w) { w.WriteGroup(10, 12.5); }), " 10\r\n12.500000\r\n");
    auto r = TDXFRead::FromText("  0\nSECTION\n  2\nENTITIES\n 10\n12.5\n 20\n12,5\n");
    EXPECT_EQ(r->Value.Real, 12.5);
    r->ReadGroup();
    EXPECT_EQ(r->Value.Real, 12.5);
}

TEST(DXFWrite, BadValuesAreRefused)
{
    TTempFolder folder;
    TDXFWrite w(folder.Path() + "/out.dxf");
    ExpectError<ECADCoreException>([&] { w.WriteGroup(40, "abc"); }, "DXF group 40: \"abc\" is not a number.");
    ExpectError<ECADCoreException>([&] { w.WriteGroup(70, "1.5"); }, "DXF group 70: \"1.5\" is not an integer.");
    ExpectError<ECADCoreException>([&] { w.WriteGroup(70, 1e12); }, "DXF group 70: 1e+12 is not an integer.");
}

TEST(DXFWrite, TheTargetIsReplacedOnlyByACommittedFile)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/drawing.dxf";
    std::ofstream(name) << "old";
    {
        TDXFWrite w(name);
        w.WriteGroup(0, "EOF");
    }
    EXPECT_EQ(FileText(name), "old");
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"drawing.dxf"});
    {
        TDXFWrite w(name);
        w.WriteGroup(0, "EOF");
        w.Commit();
    }
    EXPECT_EQ(FileText(name), "  0\r\nEOF\r\n");
    EXPECT_EQ(folder.FileNames(), std::vector<std::string>{"drawing.dxf"});

    ExpectError<ECADCoreException>([&] { TDXFWrite w(folder.Path() + "/none/x.dxf"); },
                                   "Cannot create the file \"" + folder.Path() +
                                       "/none/x.dxf\": No such file or directory");
}

TEST(DXFWrite, OutputReadsBackAsWritten)
{
    for (TDXFCodePage page : {TDXFCodePage::Windows1252, TDXFCodePage::Utf8}) {
        SCOPED_TRACE(page == TDXFCodePage::Utf8 ? "UTF-8" : "Windows-1252");
        TTempFolder folder;
        const std::string name = folder.Path() + "/round.dxf";
        TDXFWrite w(name);
        w.CodePage = page;
        w.BeginSection(TDXFSection::Header);
        w.WriteGroup(9, "$ACADVER");
        w.WriteGroup(1, page == TDXFCodePage::Utf8 ? "AC1021" : "AC1009");
        w.EndSection();
        w.BeginSection(TDXFSection::Entities);
        w.WriteGroup(0, "TEXT");
        w.WriteGroup(8, "Caf\xC3\xA9");
        w.WriteGroup(10, -1234.5);
        w.WriteGroup(20, 1e-7);
        w.WriteGroup(62, -7);
        w.WriteGroup(1071, 123456);
        w.WriteGroup(100, "  AcDbText");
        w.WriteGroup(1, "\xE2\x82\xAC 5");
        w.EndSection();
        w.WriteGroup(0, "EOF");
        w.Commit();

        TDXFRead r(name);
        ASSERT_FALSE(r.Failed);
        r.NextSection();
        ASSERT_EQ(r.Section, TDXFSection::Entities);
        EXPECT_EQ(r.CodePage, page);
        TDXFRecord rec;
        r.ReadRecord(0, rec);
        EXPECT_TRUE(rec.Group(0).IsText("TEXT"));
        EXPECT_TRUE(rec.Group(8).IsText("Caf\xC3\xA9"));
        EXPECT_EQ(rec.Group(10).Real, -1234.5);
        EXPECT_EQ(rec.Group(20).Real, 0.0);  // six decimals
        EXPECT_EQ(rec.Group(62).Integer, -7);
        EXPECT_EQ(rec.Group(1071).Integer, 123456);
        EXPECT_EQ(rec.Group(100).Text, "  AcDbText");
        EXPECT_TRUE(rec.Group(1).IsText("\xE2\x82\xAC 5"));
        EXPECT_TRUE(r.Value.IsText("ENDSEC"));
        r.ReadRecord(0, rec);
        EXPECT_TRUE(r.AtEnd());
    }
}
