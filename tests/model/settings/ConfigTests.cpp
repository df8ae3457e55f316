#include "UnitConfig.h"

#include "FakeServices.h"
#include "IniFile.h"
#include "QVFormat.h"
#include "QVVariabili.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>

#include <sys/stat.h>

namespace {

class ConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ::setenv("RASTREL_DATA_DIR", Dir.Path().c_str(), 1);
        IniPath = Dir.Path() + "/rastrel.ini";
    }
    void TearDown() override { ::unsetenv("RASTREL_DATA_DIR"); }

    void WriteIni(const std::string& text) const { std::ofstream(IniPath, std::ios::binary) << text; }
    std::string ReadIni() const
    {
        std::ifstream in(IniPath, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }

    TTempFolder Dir;
    std::string IniPath;
};

}  // namespace

TEST_F(ConfigTest, NoFileGivesMillimetreDefaultsAndSaveCreatesIt)
{
    TAppConfig cfg;
    EXPECT_EQ(cfg.DataDir, Dir.Path());
    EXPECT_EQ(cfg.IniFileName, IniPath);
    EXPECT_EQ(cfg.ToolsDir, Dir.Path() + "/tools/");
    EXPECT_EQ(cfg.Units, 1);
    EXPECT_EQ(cfg.ChainTol, 0.0025);
    EXPECT_EQ(cfg.SimulTol, 0.025);
    EXPECT_EQ(cfg.SystemTol, 0.0001);
    EXPECT_EQ(cfg.MaxArcFit, 2500);
    EXPECT_EQ(cfg.MaxCurveSeg, 200);
    EXPECT_EQ(cfg.GridSizeX, 100);
    EXPECT_EQ(cfg.GridY, 10);
    EXPECT_EQ(cfg.SnapX, 10);
    EXPECT_EQ(cfg.Pst, "Mach2-3_mm");
    EXPECT_EQ(cfg.ToolsLib, "Tools_mm.tlb");
    EXPECT_EQ(cfg.LaserLib, "Laser_mm.llb");
    EXPECT_EQ(cfg.LatheLib, "Lathe_mm.rlb");
    EXPECT_EQ(cfg.FilePath_Geo, Dir.Path() + "/samples/");
    EXPECT_EQ(cfg.FilePath_Cnc, Dir.Path() + "/gcode/");
    EXPECT_EQ(cfg.CoordFormat, "%0.3f");
    EXPECT_EQ(cfg.Language, "english");
    EXPECT_EQ(cfg.ToolColor, 0x12143456);
    cfg.Save();
    TMemIniFile ini(IniPath);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadString("Default", "Unit", ""), "1");
    EXPECT_EQ(ini.ReadString("Default", "ChainTol", ""), "0.0025");
    EXPECT_EQ(ini.ReadString("Toolbar", "TbrImagesOnly", ""), "1");
}

TEST_F(ConfigTest, MissingDataFolderIsCreated)
{
    const std::string nested = Dir.Path() + "/a/Pelcad 3";
    ::setenv("RASTREL_DATA_DIR", (nested + "/").c_str(), 1);
    TAppConfig cfg;
    EXPECT_EQ(cfg.DataDir, nested);
    struct stat st {};
    EXPECT_EQ(::stat(nested.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
}

TEST_F(ConfigTest, DataFolderFallsBackToXdgDataHome)
{
    ::unsetenv("RASTREL_DATA_DIR");
    const char* old = std::getenv("XDG_DATA_HOME");
    const std::string saved = old ? old : "";
    ::setenv("XDG_DATA_HOME", Dir.Path().c_str(), 1);
    {
        TAppConfig cfg;
        EXPECT_EQ(cfg.DataDir, Dir.Path() + "/Pelcad 3");
    }
    ::setenv("RASTREL_DATA_DIR", "", 1);  // empty: not a folder, the default stays
    {
        TAppConfig cfg;
        EXPECT_EQ(cfg.DataDir, Dir.Path() + "/Pelcad 3");
    }
    if (old)
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    else
        ::unsetenv("XDG_DATA_HOME");
}

TEST_F(ConfigTest, InchFileGivesInchDefaults)
{
    WriteIni("[Default]\nUnit=0\n");
    TAppConfig cfg;
    EXPECT_EQ(cfg.Units, 0);
    EXPECT_EQ(cfg.ChainTol, 0.0001);
    EXPECT_EQ(cfg.SimulTol, 0.001);
    EXPECT_EQ(cfg.SystemTol, 0.000005);
    EXPECT_EQ(cfg.MaxArcFit, 100);
    EXPECT_EQ(cfg.GridSizeX, 4);
    EXPECT_EQ(cfg.GridSizeY, 4);
    EXPECT_EQ(cfg.GridX, 0.25);
    EXPECT_EQ(cfg.SnapY, 0.25);
    EXPECT_EQ(cfg.Pst, "Mach2-3_inch");
    EXPECT_EQ(cfg.ToolsLib, "Tools_inch.tlb");
    EXPECT_EQ(cfg.LaserLib, "Laser_inch.llb");
    EXPECT_EQ(cfg.LatheLib, "Lathe_inch.rlb");
    EXPECT_EQ(cfg.CoordFormat, "%0.4f");
    EXPECT_EQ(cfg.CoordFormat2, "%0.5f");
    EXPECT_EQ(cfg.UnitName, "inch");
}

TEST_F(ConfigTest, SwitchingUnitsResetsOnlyTheUnitValues)
{
    TAppConfig cfg;
    cfg.GridX = 7;
    cfg.SnapX = 3;
    cfg.ToolsLib = "mine.tlb";
    cfg.Pst = "MyPost";
    cfg.MaxCurveSeg = 999;
    cfg.SetUnits(0);
    EXPECT_EQ(cfg.SystemTol, 0.000005);
    EXPECT_EQ(cfg.ChainTol, 0.0001);
    EXPECT_EQ(cfg.MaxArcFit, 100);
    EXPECT_EQ(cfg.UnitName, "inch");
    EXPECT_EQ(cfg.MaxCurveSeg, 200);
    EXPECT_EQ(cfg.GridX, 7);
    EXPECT_EQ(cfg.SnapX, 3);
    EXPECT_EQ(cfg.ToolsLib, "mine.tlb");
    EXPECT_EQ(cfg.Pst, "MyPost");
    // The kernel reads the tolerances through the published pointers: the switch shows at once.
    EXPECT_EQ(SystemTol(), 0.000005);
    EXPECT_EQ(ChainTol(), 0.0001);
    cfg.SetUnits(1);
    EXPECT_EQ(SimulTol(), 0.025);
}

TEST_F(ConfigTest, ResetRestoresSixColoursAndTheUnitTolerances)
{
    TAppConfig cfg;
    cfg.BackGroundColor = cfg.DefLayersColor = cfg.GridColor = 1;
    cfg.ToolPathG0Color = cfg.ToolPathG1Color = cfg.ToolPathG2Color = 1;
    cfg.ChainColor = cfg.ToolColor = 1;
    cfg.ChainLW = 9;
    cfg.ChainTol = 5;
    cfg.SetDefaults();
    EXPECT_EQ(cfg.BackGroundColor, 0x808080);
    EXPECT_EQ(cfg.DefLayersColor, 0x00FF00);
    EXPECT_EQ(cfg.GridColor, 0x800000);
    EXPECT_EQ(cfg.ToolPathG0Color, 0x00FFFF);
    EXPECT_EQ(cfg.ToolPathG1Color, 0xFFFF00);
    EXPECT_EQ(cfg.ToolPathG2Color, 0x0000FF);
    EXPECT_EQ(cfg.ChainTol, 0.0025);
    EXPECT_EQ(cfg.ChainColor, 1);
    EXPECT_EQ(cfg.ToolColor, 1);
    EXPECT_EQ(cfg.ChainLW, 9);
}

TEST_F(ConfigTest, EveryKeySurvivesSaveAndLoad)
{
    TFakeMainWindow window;
    window.Placement = {11, 22, 333, 444, true};
    TInstalledServices installed(&window);
    {
        TAppConfig cfg;
        cfg.Units = 0;  // the per-unit defaults must not override what is stored
        cfg.ChainTol = 0.123;
        cfg.SimulTol = 0.0456;
        cfg.SystemTol = 1e-7;
        cfg.MaxArcFit = 77.5;
        cfg.MaxCurveSeg = 65535;
        cfg.Language = "deutsch";
        cfg.CheckForUpdate = false;
        cfg.SGrid = false;
        cfg.GridOrigin = 0;
        cfg.GridSizeX = 12.5;
        cfg.GridSizeY = 13.5;
        cfg.GridX = 0.1;
        cfg.GridY = 0.2;
        cfg.SAxis = false;
        cfg.SnapX = 0.3;
        cfg.SnapY = 0.7;
        cfg.Pst = "My Post";
        cfg.UseExtEditor = true;
        cfg.ExtEditor = "  gedit  ";
        cfg.ToolsLib = "t.tlb";
        cfg.LaserLib = "l.llb";
        cfg.LatheLib = "r.rlb";
        cfg.BackGroundColor = 1;
        cfg.DefLayersColor = 2;
        cfg.GridColor = 3;
        cfg.ToolPathG0Color = 4;
        cfg.ToolPathG1Color = 5;
        cfg.ToolPathG2Color = 6;
        cfg.ChainColor = 7;
        cfg.ToolPathG0LW = 8;
        cfg.ToolPathG1LW = 9;
        cfg.ToolPathG2LW = 10;
        cfg.ChainLW = 11;
        cfg.SkinName = "Dark";
        cfg.ToolColor = -1;
        cfg.TbrImagesOnly = false;
        cfg.ShowInt = false;
        cfg.FilePath_Geo = "/g/";
        cfg.FilePath_Cnc = "/c/";
        cfg.FilePath_T2Dxf = "/d/";
        cfg.DxfPolyInLA = true;
        Tlp2DXF = true;
        cfg.Save();
    }
    Tlp2DXF = false;
    const TAppConfig cfg;
    EXPECT_EQ(cfg.Units, 0);
    EXPECT_EQ(cfg.ChainTol, 0.123);
    EXPECT_EQ(cfg.SimulTol, 0.0456);
    EXPECT_EQ(cfg.SystemTol, 1e-7);
    EXPECT_EQ(cfg.MaxArcFit, 77.5);
    EXPECT_EQ(cfg.MaxCurveSeg, 65535);
    EXPECT_EQ(cfg.Language, "deutsch");
    EXPECT_FALSE(cfg.CheckForUpdate);
    EXPECT_FALSE(cfg.SGrid);
    EXPECT_EQ(cfg.GridOrigin, 0);
    EXPECT_EQ(cfg.GridSizeX, 12.5);
    EXPECT_EQ(cfg.GridSizeY, 13.5);
    EXPECT_EQ(cfg.GridX, 0.1);
    EXPECT_EQ(cfg.GridY, 0.2);
    EXPECT_FALSE(cfg.SAxis);
    EXPECT_EQ(cfg.SnapX, 0.3);
    EXPECT_EQ(cfg.SnapY, 0.7);
    EXPECT_EQ(cfg.Pst, "My Post");
    EXPECT_TRUE(cfg.UseExtEditor);
    EXPECT_EQ(cfg.ExtEditor, "  gedit  ");
    EXPECT_EQ(cfg.ToolsLib, "t.tlb");
    EXPECT_EQ(cfg.LaserLib, "l.llb");
    EXPECT_EQ(cfg.LatheLib, "r.rlb");
    EXPECT_EQ(cfg.BackGroundColor, 1);
    EXPECT_EQ(cfg.DefLayersColor, 2);
    EXPECT_EQ(cfg.GridColor, 3);
    EXPECT_EQ(cfg.ToolPathG0Color, 4);
    EXPECT_EQ(cfg.ToolPathG1Color, 5);
    EXPECT_EQ(cfg.ToolPathG2Color, 6);
    EXPECT_EQ(cfg.ChainColor, 7);
    EXPECT_EQ(cfg.ToolPathG0LW, 8);
    EXPECT_EQ(cfg.ToolPathG1LW, 9);
    EXPECT_EQ(cfg.ToolPathG2LW, 10);
    EXPECT_EQ(cfg.ChainLW, 11);
    EXPECT_EQ(cfg.SkinName, "Dark");
    EXPECT_EQ(cfg.ToolColor, -1);
    EXPECT_FALSE(cfg.TbrImagesOnly);
    EXPECT_FALSE(cfg.ShowInt);
    EXPECT_EQ(cfg.FilePath_Geo, "/g/");
    EXPECT_EQ(cfg.FilePath_Cnc, "/c/");
    EXPECT_EQ(cfg.FilePath_T2Dxf, "/d/");
    EXPECT_TRUE(cfg.DxfPolyInLA);
    EXPECT_TRUE(Tlp2DXF);
    // The main window's placement at the time of saving.
    EXPECT_EQ(cfg.fWPL, 11);
    EXPECT_EQ(cfg.fWPT, 22);
    EXPECT_EQ(cfg.fWPW, 333);
    EXPECT_EQ(cfg.fWPH, 444);
    EXPECT_TRUE(cfg.fWPMax);
    Tlp2DXF = false;
}

TEST_F(ConfigTest, SaveKeepsTheSectionsOfOtherOwners)
{
    WriteIni("[Toolbar]\nBands=3\nTbrImagesOnly=0\n[MRURF]\nFile0=/x.pnc\nFile1=/y.dxf\n"
             "[GRBLMacros]\nMacro0=$H\n[Default]\nUnit=1\nFutureKey=kept\n");
    TAppConfig cfg;
    EXPECT_FALSE(cfg.TbrImagesOnly);
    cfg.Save();
    TMemIniFile ini(IniPath);
    ASSERT_TRUE(ini.Load());
    EXPECT_EQ(ini.ReadSections(), (std::vector<std::string>{"Toolbar", "MRURF", "GRBLMacros", "Default", "Color"}));
    EXPECT_EQ(ini.ReadString("Toolbar", "Bands", ""), "3");
    EXPECT_EQ(ini.ReadString("MRURF", "File1", ""), "/y.dxf");
    EXPECT_EQ(ini.ReadString("GRBLMacros", "Macro0", ""), "$H");
    EXPECT_EQ(ini.ReadString("Default", "FutureKey", ""), "kept");
    EXPECT_TRUE(ReadIni().starts_with("[Toolbar]\nBands=3\nTbrImagesOnly=0\n\n[MRURF]\n"));
}

TEST_F(ConfigTest, OddSpacingAndCaseAreRead)
{
    WriteIni("\r\n  [DEFAULT]  \r\n unit = 0 \r\n  chaintol=  0.5\r\nLANGUAGE = \"italiano\"\r\n"
             "[color]\r\nbackground = 0x0000FF\r\n");
    TAppConfig cfg;
    EXPECT_EQ(cfg.Units, 0);
    EXPECT_EQ(cfg.ChainTol, 0.5);
    EXPECT_EQ(cfg.Language, "italiano");
    EXPECT_EQ(cfg.BackGroundColor, 0xFF);
}

TEST_F(ConfigTest, UnreadableOrUnsafeValuesTakeTheDefault)
{
    // Inch file: the defaults are the inch ones.
    struct Case {
        const char* line;
        double (*field)(const TAppConfig&);
        double expected;
    };
    const auto maxSeg = [](const TAppConfig& c) { return double(c.MaxCurveSeg); };
    const auto chainTol = [](const TAppConfig& c) { return c.ChainTol; };
    const Case cases[] = {
        {"MaxCurveSeg=0", maxSeg, 200},
        {"MaxCurveSeg=65536", maxSeg, 200},
        {"MaxCurveSeg=-3", maxSeg, 200},
        {"MaxCurveSeg=many", maxSeg, 200},
        {"MaxCurveSeg=1", maxSeg, 1},
        {"ChainTol=0", chainTol, 0.0001},
        {"ChainTol=-1", chainTol, 0.0001},
        {"ChainTol=nan", chainTol, 0.0001},
        {"ChainTol=1e999", chainTol, 0.0001},
        {"ChainTol=0,5", chainTol, 0.0001},
        {"SystemTol=x", [](const TAppConfig& c) { return c.SystemTol; }, 0.000005},
        {"SimulTol=-0.1", [](const TAppConfig& c) { return c.SimulTol; }, 0.001},
        {"MaxArcFit=0", [](const TAppConfig& c) { return c.MaxArcFit; }, 100},
        {"GridX=0", [](const TAppConfig& c) { return c.GridX; }, 0.25},
        {"GridSizeY=-4", [](const TAppConfig& c) { return c.GridSizeY; }, 4},
        {"SnapY=-2", [](const TAppConfig& c) { return c.SnapY; }, 0.25},
        {"GridOrigin=5", [](const TAppConfig& c) { return double(c.GridOrigin); }, 4},
        {"GridOrigin=-1", [](const TAppConfig& c) { return double(c.GridOrigin); }, 4},
        {"fWPW=0", [](const TAppConfig& c) { return double(c.fWPW); }, 821},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        WriteIni(std::string("[Default]\nUnit=0\n") + c.line + "\n");
        const TAppConfig cfg;
        EXPECT_EQ(c.field(cfg), c.expected);
        // Every value that fell back is listed for the user; a good value is not.
        if (std::string(c.line) == "MaxCurveSeg=1")
            EXPECT_TRUE(cfg.LoadProblems.empty());
        else
            EXPECT_EQ(cfg.LoadProblems, std::vector<std::string>{c.line});
    }
    // The language name becomes part of a path.
    for (const char* line : {"Language=../../etc/x", "Language=", "Language=.."}) {
        SCOPED_TRACE(line);
        WriteIni(std::string("[Default]\n") + line + "\n");
        EXPECT_EQ(TAppConfig().Language, "english");
    }
}

TEST_F(ConfigTest, DamagedFileStillLoads)
{
    static const char text[] = "\0\x01\xff\n[Default\nUnit=\nChainTol=0.5.5\n==\n[Color\nGrid=12";
    WriteIni(std::string(text, sizeof text - 1));
    const TAppConfig cfg;
    EXPECT_EQ(cfg.Units, 1);  // an empty "Unit" is not a number: the default
    EXPECT_EQ(cfg.ChainTol, 0.0025);
    EXPECT_EQ(cfg.GridColor, 12);
}

TEST_F(ConfigTest, FailedSaveIsReported)
{
    TAppConfig cfg;
    // A data folder below a plain file can never be made.
    std::ofstream(Dir.Path() + "/file") << "x";
    cfg.DataDir = Dir.Path() + "/file/sub";
    cfg.IniFileName = cfg.DataDir + "/rastrel.ini";
    EXPECT_THROW(cfg.Save(), EIniFileError);
}

TEST_F(ConfigTest, TolerancePointersFollowTheConfigurationsLifetime)
{
    ResetToleranceRefs();
    const double builtIn = SystemTol();
    {
        WriteIni("[Default]\nSystemTol=0.5\nChainTol=0.25\nSimulTol=0.125\nMaxCurveSeg=9\n");
        TAppConfig cfg;
        EXPECT_EQ(SystemTol(), 0.5);
        EXPECT_EQ(ChainTol(), 0.25);
        EXPECT_EQ(SimulTol(), 0.125);
        EXPECT_EQ(MaxCurveSeg(), 9);
        cfg.SystemTol = 0.75;
        EXPECT_EQ(SystemTol(), 0.75);
    }
    EXPECT_EQ(SystemTol(), builtIn);  // never left pointing into a freed configuration
    EXPECT_EQ(MaxCurveSeg(), 200);
}

TEST_F(ConfigTest, CoordinateFormatFollowsTheUnit)
{
    auto cfg = std::make_unique<TAppConfig>();
    AppConfig = cfg.get();
    EXPECT_EQ(FormatCoord(0.12345), "0.123");
    EXPECT_EQ(FormatCoordFunc(2.5), "2.5");
    cfg->SetUnits(0);
    EXPECT_EQ(FormatCoord(0.12345), "0.1235");
    EXPECT_EQ(FormatCoord2(0.123456), "0.12346");
    cfg.reset();
    EXPECT_EQ(AppConfig, nullptr);
    EXPECT_EQ(FormatCoord(0.12345), "0.123");  // millimetres without a configuration
}
