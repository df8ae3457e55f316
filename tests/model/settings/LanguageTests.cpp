#include "QVLanguage.h"

#include "FakeServices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>

namespace {

class LanguageTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        LanguageIni = std::make_unique<TMemIniFile>(RASTREL_TEST_DATA "/languages/fixture.lng");
        ASSERT_TRUE(LanguageIni->Load());
    }
    void TearDown() override
    {
        LanguageIni.reset();
        StatePrompts = {};
        StatusMessages = {};
    }
};

}  // namespace

TEST_F(LanguageTest, LookupsTurnLineMarksIntoBreaks)
{
    EXPECT_EQ(GetLangString(900), "one\ntwo\nthree");
    EXPECT_EQ(GetLangString("901"), "ends with a break\n");
    EXPECT_EQ(GetLangString(902), "");
    EXPECT_EQ(GetLangString(903), "");  // missing, with a file open
    EXPECT_EQ(GetLangText("frmTest", "lblName.Caption"), "Name:\n(full)");
    EXPECT_EQ(GetLangText("FRMTEST", "LBLNAME.HINT"), "Your name");
    EXPECT_EQ(GetLangText("nowhere", "450"), "");
}

TEST_F(LanguageTest, PromptAndStatusTablesComeFromTheirKeys)
{
    StatusMessages[9] = "stale";
    LoadStatePrompts();
    LoadStatusMessages();
    EXPECT_EQ(StatePrompts[0], "prompt 0");
    EXPECT_EQ(StatePrompts[7], "prompt 7");
    EXPECT_EQ(StatePrompts[9], "prompt 9");
    EXPECT_EQ(StatePrompts[16], "prompt 16");
    EXPECT_EQ(StatePrompts[17], "prompt 17");
    EXPECT_EQ(StatePrompts[1], "");  // key missing in the fixture
    EXPECT_EQ(StatusMessages[0], "status 0");
    EXPECT_EQ(StatusMessages[12], "status 12");
    EXPECT_EQ(StatusMessages[13], "status 13");
    EXPECT_EQ(StatusMessages[9], "stale");  // not a loaded entry: left alone
}

TEST_F(LanguageTest, MissingFileGivesEmptyTextsAndNamesThePath)
{
    LanguageIni = OpenLanguageFile("languages/klingon");
    EXPECT_EQ(LanguageIni, nullptr);
    EXPECT_EQ(LanguageFileName, ProgramFolder() + "/languages/klingon.lng");
    EXPECT_EQ(LanguageFileNotFoundText(), "Language file not found!\n" + ProgramFolder() + "/languages/klingon.lng");
    EXPECT_EQ(GetLangString(450), "");
    StatePrompts[3] = "old";
    LoadStatePrompts();
    LoadStatusMessages();
    EXPECT_EQ(StatePrompts[3], "");
    EXPECT_EQ(StatusMessages[13], "");
}

TEST_F(LanguageTest, StatusMessageGoesToTheMainWindow)
{
    TFakeMainWindow window;
    TInstalledServices installed(&window);
    ShowStatusMessage("hello");
    ShowStatusMessage("");
    EXPECT_EQ(window.StatusMessages, (std::vector<std::string>{"hello", ""}));
}

// The shipped English file sits beside the executables; every text the code asks for by number
// must be in it, or the user sees an empty message.
TEST(EnglishLanguageFile, HoldsEveryNumberedTextTheCodeUses)
{
    const std::unique_ptr<TMemIniFile> english = OpenLanguageFile("languages/english");
    ASSERT_NE(english, nullptr) << LanguageFileName;

    std::set<std::pair<std::string, std::string>> used;
    for (const char* key : StatePromptKeys)
        used.insert({"String", key});
    for (const TStatusMessageKey& k : StatusMessageKeys)
        used.insert({"String", k.Key});
    const std::regex call(R"re(GetLang(String|Main|ToolWin)\(\s*"?([0-9]+[A-Z]?)"?\s*\))re");
    const std::filesystem::path root = std::filesystem::path(RASTREL_TEST_DATA) / ".." / "..";
    for (const char* dir : {"model", "editing", "exchange", "shell", "cnc", "platform", "app"}) {
        if (!std::filesystem::is_directory(root / dir))
            continue;
        for (const auto& entry : std::filesystem::recursive_directory_iterator(root / dir)) {
            const std::string ext = entry.path().extension().string();
            if (ext != ".cpp" && ext != ".h")
                continue;
            std::ifstream in(entry.path());
            const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
                const std::string kind = (*it)[1];
                const char* section = kind == "String" ? "String" : kind == "Main" ? "frmMain" : "frmToolWin";
                used.insert({section, (*it)[2]});
            }
        }
    }
    for (const auto& [section, key] : used) {
        SCOPED_TRACE(section + "/" + key);
        EXPECT_FALSE(english->ReadString(section, key, "").empty());
    }
}
