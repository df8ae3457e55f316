#include "IniFile.h"

#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <limits>

namespace {

TMemIniFile Parsed(std::string_view text)
{
    TMemIniFile ini;
    ini.Parse(text);
    return ini;
}

}  // namespace

TEST(IniFile, ProfileRulesForNamesAndValues)
{
    const TMemIniFile ini = Parsed("\xEF\xBB\xBF; comment\r\n"
                                   "  [ Default ]  \r\n"
                                   "  ChainTol   =   0.5   \r\n"
                                   "Quoted = \"  padded  \"\n"
                                   "Single='x'\n"
                                   "Unbalanced=\"x\n"
                                   "Empty=\n"
                                   "Eq=a=b\n"
                                   "chaintol=9\n"  // a second entry of the same key: the first wins
                                   "no equals sign here\n"
                                   "[default]\n"  // the same section again: merged into the first
                                   "Later=1\n");
    struct Case {
        const char* section;
        const char* key;
        const char* expected;
    };
    const Case cases[] = {
        {"Default", "ChainTol", "0.5"},   {"DEFAULT", "CHAINTOL", "0.5"},  {"default", "quoted", "  padded  "},
        {"Default", "Single", "x"},       {"Default", "Unbalanced", "\"x"}, {"Default", "Empty", ""},
        {"Default", "Eq", "a=b"},         {"Default", "Later", "1"},        {"Default", "Missing", "<def>"},
        {"Other", "ChainTol", "<def>"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.section) + "/" + c.key);
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<def>"), c.expected);
    }
    EXPECT_EQ(ini.ReadSections(), std::vector<std::string>{"Default"});
    EXPECT_TRUE(ini.ValueExists("default", "empty"));
}

TEST(IniFile, NumbersAndBooleans)
{
    const TMemIniFile ini = Parsed("[S]\n"
                                   "Int= -42 \nHex=0x800000\nDollar=$FF\nBig=2147483648\nMin=-2147483648\n"
                                   "Junk=12abc\nFloat=0.0025\nExp=5e-06\nComma=0,5\nInf=inf\nNan=nan\nPlus=+1.5\n"
                                   "True=1\nFalse=0\nTwo=2\nWord=true\n");
    EXPECT_EQ(ini.ReadInteger("S", "Int", 0), -42);
    EXPECT_EQ(ini.ReadInteger("S", "Hex", 0), 0x800000);
    EXPECT_EQ(ini.ReadInteger("S", "Dollar", 0), 255);
    EXPECT_EQ(ini.ReadInteger("S", "Big", 7), 7);
    EXPECT_EQ(ini.ReadInteger("S", "Min", 7), INT32_MIN);
    EXPECT_EQ(ini.ReadInteger("S", "Junk", 7), 7);
    EXPECT_EQ(ini.ReadFloat("S", "Float", 1), 0.0025);
    EXPECT_EQ(ini.ReadFloat("S", "Exp", 1), 5e-06);
    EXPECT_EQ(ini.ReadFloat("S", "Comma", 1), 1);  // only '.' separates decimals
    EXPECT_EQ(ini.ReadFloat("S", "Inf", 1), 1);
    EXPECT_EQ(ini.ReadFloat("S", "Nan", 1), 1);
    EXPECT_EQ(ini.ReadFloat("S", "Plus", 1), 1.5);
    EXPECT_TRUE(ini.ReadBool("S", "True", false));
    EXPECT_FALSE(ini.ReadBool("S", "False", true));
    EXPECT_TRUE(ini.ReadBool("S", "Two", false));
    EXPECT_FALSE(ini.ReadBool("S", "Word", false));  // not an integer: the default
    EXPECT_TRUE(ini.ReadBool("S", "Missing", true));
}

TEST(IniFile, WritingKeepsForeignSectionsLinesAndOrder)
{
    TMemIniFile ini = Parsed("[Toolbar]\nLayout=abc\n; keep me\n\n[Default]\nUnit=1\nOld=x\n"
                             "[MRURF]\nFile0=/a b/c.pnc\n[GRBLMacros]\nMacro0=$H\n");
    ini.WriteInteger("default", "unit", 0);
    ini.WriteFloat("Default", "ChainTol", 0.0001);
    ini.WriteBool("Color", "On", true);
    EXPECT_EQ(ini.ToString(), "[Toolbar]\nLayout=abc\n; keep me\n\n"
                              "[Default]\nUnit=0\nOld=x\nChainTol=0.0001\n\n"
                              "[MRURF]\nFile0=/a b/c.pnc\n\n"
                              "[GRBLMacros]\nMacro0=$H\n\n"
                              "[Color]\nOn=1\n");
}

TEST(IniFile, WrittenValuesReadBackUnchanged)
{
    const double values[] = {0.1, 1.0 / 3.0, 5e-06, -0.0, 1e300, 123456789.125};
    TMemIniFile ini;
    for (double v : values) {
        ini.WriteFloat("F", "V", v);
        EXPECT_EQ(Parsed(ini.ToString()).ReadFloat("F", "V", 99), v);
    }
    const std::string strings[] = {"  lead and trail  ", "\"quoted\"", "'single'", "a=b", "", "x\ny"};
    for (const std::string& s : strings) {
        SCOPED_TRACE(s);
        ini.WriteString("S", "K", s);
        const std::string expected = s == "x\ny" ? "x y" : s;  // a line break cannot live in a value
        EXPECT_EQ(Parsed(ini.ToString()).ReadString("S", "K", "<def>"), expected);
    }
}

TEST(IniFile, TextIsStableAfterOneRoundTrip)
{
    const char* inputs[] = {"garbage before\n[A]\n=no key\n  ;c\n[a]\nk = v \r\r\n[B\nx=1\n",
                            "[]\n[ ]\nk=\"\"v\"\"\n", "\r\n\r\n[S]\n[T]\n\n",
                            // the mark twice, or after blank lines, must not open the written text
                            "\xEF\xBB\xBF\xEF\xBB\xBF[S]#x=3\nk=1\n", "\n\xEF\xBB\xBF[S]\n"};
    for (const char* in : inputs) {
        SCOPED_TRACE(in);
        const std::string once = Parsed(in).ToString();
        EXPECT_EQ(Parsed(once).ToString(), once);
    }
}

TEST(IniFile, UpdateFileReplacesTheFileAndReportsFailure)
{
    TTempFolder dir;
    const std::string path = dir.Path() + "/rastrel.ini";
    TMemIniFile ini(path);
    EXPECT_FALSE(ini.Load());
    ini.WriteString("Default", "Language", "english");
    ini.UpdateFile();
    TMemIniFile back(path);
    ASSERT_TRUE(back.Load());
    EXPECT_EQ(back.ReadString("Default", "Language", ""), "english");
    EXPECT_EQ(dir.FileNames(), std::vector<std::string>{"rastrel.ini"});  // no temporary left

    TMemIniFile nowhere(dir.Path() + "/missing/rastrel.ini");
    nowhere.WriteString("Default", "Unit", "1");
    try {
        nowhere.UpdateFile();
        FAIL() << "no exception";
    } catch (const EIniFileError& e) {
        EXPECT_EQ(std::string(e.what()), "Cannot write \"" + dir.Path() +
                                             "/missing/rastrel.ini\" (create): No such file or directory");
    }
}
