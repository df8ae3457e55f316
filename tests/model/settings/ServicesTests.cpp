#include "QVServices.h"

#include "FakeServices.h"
#include "QVTBase.h"
#include "QVVariabili.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

TEST(Services, StandInsAnswerSafelyWhenNothingIsInstalled)
{
    TWindowPlacement p;
    EXPECT_FALSE(MainWindow().GetPlacement(p));
    EXPECT_EQ(MainWindow().GeoTree(), nullptr);
    // Without a window nobody can answer: the cautious choice.
    EXPECT_EQ(MainWindow().MessageBox("t", "c", TMsgIcon::Question, TMsgButtons::YesNo), TMsgResult::No);
    EXPECT_EQ(MainWindow().MessageBox("t", "c", TMsgIcon::Question, TMsgButtons::YesNoCancel), TMsgResult::Cancel);
    EXPECT_EQ(MainWindow().MessageBox("t", "c", TMsgIcon::Warning, TMsgButtons::Ok), TMsgResult::Ok);
    EXPECT_FALSE(ToolWindow().IsShowing());
    EXPECT_EQ(ToolWindow().ControlText("txtTransDx"), "");
    EXPECT_EQ(ToolWindow().ControlItemIndex("cboLayerTo"), -1);
    EXPECT_EQ(Machining().CurrentOp(), nullptr);
    EXPECT_FALSE(Machining().LaserShown());
    EXPECT_EQ(DlgOpenGeo, nullptr);
    EXPECT_FALSE(OpsStreamWriter);  // the drawing writes nothing after byte 4
    EXPECT_FALSE(OpsStreamReader);
}

TEST(Services, InstalledImplementationIsUsedUntilRemoved)
{
    TFakeMainWindow window;
    window.Answer = TMsgResult::Yes;
    {
        TInstalledServices installed(&window);
        EXPECT_EQ(MainWindow().MessageBox("dense", "450", TMsgIcon::Warning, TMsgButtons::YesNo), TMsgResult::Yes);
    }
    ASSERT_EQ(window.Boxes.size(), 1u);
    EXPECT_EQ(window.Boxes[0].Text, "dense");
    EXPECT_EQ(MainWindow().MessageBox("t", "c", TMsgIcon::Warning, TMsgButtons::YesNo), TMsgResult::No);
}

TEST(DecorativePen, GrowsWhenABitBeyondTheEndIsSet)
{
    TDecorativePen pen;
    EXPECT_EQ(pen.GetPatternLength(), 0);
    pen.SetPatternBit(9, true);
    EXPECT_EQ(pen.GetPatternLength(), 10);
    for (uint16_t i = 0; i < 9; ++i)
        EXPECT_FALSE(pen.GetPatternBit(i)) << i;
    EXPECT_TRUE(pen.GetPatternBit(9));
    EXPECT_FALSE(pen.GetPatternBit(500));  // beyond the end reads as off
    pen.SetPatternBit(40000, true);
    EXPECT_EQ(pen.GetPatternLength(), 40001);  // not cut to 16 signed bits
}

TEST(TempFolder, IsPrivateAndRemovedWithItsFiles)
{
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old ? old : "";
    const std::string base = std::filesystem::temp_directory_path().string() + "/rastrel-tmpbase-" +
                             std::to_string(::getpid());
    std::filesystem::create_directories(base);
    ::setenv("TMPDIR", (base + "/").c_str(), 1);
    RemoveTempPath();
    const std::string path = InitTempPath();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(path.rfind(base + "/rastrel-", 0), 0u) << path;
    EXPECT_EQ(path.back(), '/');
    EXPECT_EQ(InitTempPath(), path);  // made once per run
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    std::ofstream(path + "csq.bmp") << "x";
    RemoveTempPath();
    EXPECT_TRUE(TempPath.empty());
    EXPECT_FALSE(std::filesystem::exists(path));
    std::filesystem::remove_all(base);
    if (old)
        ::setenv("TMPDIR", saved.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}
