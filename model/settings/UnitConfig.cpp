#include "UnitConfig.h"

#include "IniFile.h"
#include "QVFormat.h"
#include "QVServices.h"
#include "QVVariabili.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

#include <sys/stat.h>

TAppConfig* AppConfig = nullptr;

namespace {

constexpr const char* SecDefault = "Default";
constexpr const char* SecColor = "Color";
constexpr const char* SecToolbar = "Toolbar";

// Creates the folder and its missing parents; failures show up later, when a file is written.
void MakeFolders(const std::string& path)
{
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/')
            ::mkdir(path.substr(0, pos).c_str(), 0755);
    }
}

// Tolerances, steps and sizes divide or bound other values: zero, negative or non-finite values
// would end in divisions by zero or endless loops, so they take the default.
// A value that is present but unusable is noted, so the user can be told once.
void NoteUnusable(const TMemIniFile& ini, const char* section, const char* key,
                  std::vector<std::string>& problems)
{
    if (ini.ValueExists(section, key))
        problems.push_back(std::string(key) + "=" + ini.ReadString(section, key, ""));
}

double ReadPositive(const TMemIniFile& ini, const char* section, const char* key, double def,
                    std::vector<std::string>& problems)
{
    const double v = ini.ReadFloat(section, key, NAN);
    if (std::isfinite(v) && v > 0)
        return v;
    NoteUnusable(ini, section, key, problems);
    return def;
}

int32_t ReadInRange(const TMemIniFile& ini, const char* section, const char* key, int32_t def, int32_t lo,
                    int32_t hi, std::vector<std::string>& problems)
{
    // Two different fallbacks tell a number apart from text that is none.
    const int32_t v = ini.ReadInteger(section, key, INT32_MIN);
    if (v == ini.ReadInteger(section, key, INT32_MAX) && v >= lo && v <= hi)
        return v;
    NoteUnusable(ini, section, key, problems);
    return def;
}

}  // namespace

int CoordFormatDecimals(const std::string& format)
{
    // "%0.Nf"
    const size_t dot = format.find('.');
    if (dot == std::string::npos)
        return 3;
    int n = 0;
    size_t i = dot + 1;
    for (; i < format.size() && format[i] >= '0' && format[i] <= '9' && n < 100; ++i)
        n = n * 10 + (format[i] - '0');
    return i == dot + 1 ? 3 : n;
}

TAppConfig::TAppConfig()
{
    InitFolders();
    IniFileName = DataDir + "/rastrel.ini";
    ToolsDir = DataDir + "/tools/";
    MakeFolders(DataDir);
    TMemIniFile ini(IniFileName);
    ini.Load();
    Load(ini);
    PublishTolerances();
}

TAppConfig::~TAppConfig()
{
    if (SystemTolRef == &SystemTol || ChainTolRef == &ChainTol || SimulTolRef == &SimulTol ||
        MaxCurveSegRef == &MaxCurveSeg)
        ResetToleranceRefs();
    if (AppConfig == this)
        AppConfig = nullptr;
}

void TAppConfig::InitFolders()
{
    // Numbers are read and written with '.' by locale-free code, so the locale is left alone.
    std::string common;
    GetCommonAppDataPath(common);
    DataDir = common + "/Pelcad 3";
    // Our stand-in for the registry value that names another data folder. An empty value keeps
    // the default folder rather than putting the settings into the root folder.
    if (const char* userPath = std::getenv("RASTREL_DATA_DIR"); userPath && *userPath) {
        DataDir = userPath;
        while (DataDir.size() > 1 && DataDir.back() == '/')
            DataDir.pop_back();
    }
    PostLangApplied = false;
    FormatCoordFunc = FormatCoord;
}

void TAppConfig::Load(const TMemIniFile& ini)
{
    LoadProblems.clear();
    SetUnits(ini.ReadBool(SecDefault, "Unit", true) ? 1 : 0);
    const uint8_t u = Units;

    ChainTol = ReadPositive(ini, SecDefault, "ChainTol", DefChainTol[u], LoadProblems);
    SimulTol = ReadPositive(ini, SecDefault, "SimulTol", DefSimulTol[u], LoadProblems);
    SystemTol = ReadPositive(ini, SecDefault, "SystemTol", DefSystemTol[u], LoadProblems);
    MaxArcFit = ReadPositive(ini, SecDefault, "MaxArcFit", DefMaxArcFit[u], LoadProblems);
    MaxCurveSeg = ReadInRange(ini, SecDefault, "MaxCurveSeg", DefMaxCurveSeg, 1, MaxCurveSegLimit, LoadProblems);
    Language = ini.ReadString(SecDefault, "Language", "english");
    // The name becomes part of a path: a name that could leave the languages folder is refused.
    if (Language.empty() || Language.find('/') != std::string::npos || Language == "." || Language == "..")
        Language = "english";
    CheckForUpdate = ini.ReadBool(SecDefault, "CheckForUpdate", true);
    SGrid = ini.ReadBool(SecDefault, "SGrid", true);
    GridOrigin = ReadInRange(ini, SecDefault, "GridOrigin", 4, 0, 4, LoadProblems);
    GridSizeX = ReadPositive(ini, SecDefault, "GridSizeX", DefGridSize[u], LoadProblems);
    GridSizeY = ReadPositive(ini, SecDefault, "GridSizeY", DefGridSize[u], LoadProblems);
    GridX = ReadPositive(ini, SecDefault, "GridX", DefGridStep[u], LoadProblems);
    GridY = ReadPositive(ini, SecDefault, "GridY", DefGridStep[u], LoadProblems);
    SAxis = ini.ReadBool(SecDefault, "SAxis", true);
    SnapX = ReadPositive(ini, SecDefault, "SnapX", DefGridStep[u], LoadProblems);
    SnapY = ReadPositive(ini, SecDefault, "SnapY", DefGridStep[u], LoadProblems);
    Pst = ini.ReadString(SecDefault, "Pst", DefPostNames[u]);
    UseExtEditor = ini.ReadBool(SecDefault, "UseExtEditor", false);
    ExtEditor = ini.ReadString(SecDefault, "ExtEditor", "xdg-open");
    ToolsLib = ini.ReadString(SecDefault, "ToolsLib", "Tools_" + UnitName + ".tlb");
    LaserLib = ini.ReadString(SecDefault, "LaserLib", "Laser_" + UnitName + ".llb");
    LatheLib = ini.ReadString(SecDefault, "LatheLib", "Lathe_" + UnitName + ".rlb");

    BackGroundColor = ini.ReadInteger(SecColor, "BackGround", 0x808080);
    DefLayersColor = ini.ReadInteger(SecColor, "DefLayers", 0x00FF00);
    GridColor = ini.ReadInteger(SecColor, "Grid", 0x800000);
    ToolPathG0Color = ini.ReadInteger(SecColor, "ToolPathG0", 0x00FFFF);
    ToolPathG1Color = ini.ReadInteger(SecColor, "ToolPathG1", 0xFFFF00);
    ToolPathG2Color = ini.ReadInteger(SecColor, "ToolPathG2", 0x0000FF);
    ChainColor = ini.ReadInteger(SecColor, "Chain", 0xFF0000);
    // Pen widths in pixels; zero or negative widths would draw nothing.
    ToolPathG0LW = ReadInRange(ini, SecColor, "ToolPathG0LW", 1, 1, 100, LoadProblems);
    ToolPathG1LW = ReadInRange(ini, SecColor, "ToolPathG1LW", 2, 1, 100, LoadProblems);
    ToolPathG2LW = ReadInRange(ini, SecColor, "ToolPathG2LW", 2, 1, 100, LoadProblems);
    ChainLW = ReadInRange(ini, SecColor, "ChainLW", 2, 1, 100, LoadProblems);
    SkinName = ini.ReadString(SecColor, "SkinName", "Default");
    ToolColor = ini.ReadInteger(SecColor, "Tool", 0x12143456);
    TbrImagesOnly = ini.ReadBool(SecToolbar, "TbrImagesOnly", true);

    ShowInt = ini.ReadBool(SecDefault, "ShowInt", true);
    FilePath_Geo = ini.ReadString(SecDefault, "FilePath_Geo", DataDir + "/samples/");
    FilePath_Cnc = ini.ReadString(SecDefault, "FilePath_Cnc", DataDir + "/gcode/");
    FilePath_T2Dxf = ini.ReadString(SecDefault, "FilePath_T2Dxf", DataDir + "/gcode/");
    DxfPolyInLA = ini.ReadBool(SecDefault, "DxfPolyInLA", false);
    Tlp2DXF = ini.ReadBool(SecDefault, "Tlp2DXF", false);
    fWPL = ini.ReadInteger(SecDefault, "fWPL", 10);
    fWPT = ini.ReadInteger(SecDefault, "fWPT", 10);
    fWPW = ReadInRange(ini, SecDefault, "fWPW", 821, 1, INT32_MAX, LoadProblems);
    fWPH = ReadInRange(ini, SecDefault, "fWPH", 610, 1, INT32_MAX, LoadProblems);
    fWPMax = ini.ReadBool(SecDefault, "fWPMax", false);
}

void TAppConfig::SetUnits(uint8_t U)
{
    Units = U == 0 ? 0 : 1;
    SystemTol = DefSystemTol[Units];
    ChainTol = DefChainTol[Units];
    SimulTol = DefSimulTol[Units];
    MaxArcFit = DefMaxArcFit[Units];
    CoordFormat = CoordFormats[Units];
    CoordFormat2 = CoordFormats2[Units];
    UnitName = UnitNames[Units];
    MaxCurveSeg = DefMaxCurveSeg;
}

void TAppConfig::SetDefaults()
{
    SetUnits(Units);
    BackGroundColor = 0x808080;
    DefLayersColor = 0x00FF00;
    GridColor = 0x800000;
    ToolPathG0Color = 0x00FFFF;
    ToolPathG1Color = 0xFFFF00;
    ToolPathG2Color = 0x0000FF;
}

void TAppConfig::PublishTolerances()
{
    SystemTolRef = &SystemTol;
    ChainTolRef = &ChainTol;
    SimulTolRef = &SimulTol;
    MaxCurveSegRef = &MaxCurveSeg;
}

void TAppConfig::Save()
{
    TWindowPlacement placement;
    if (MainWindow().GetPlacement(placement)) {
        fWPL = placement.Left;
        fWPT = placement.Top;
        fWPW = placement.Width;
        fWPH = placement.Height;
        fWPMax = placement.Maximized;
    }

    // Start from the file as it is now, so the sections other parts of the program wrote
    // ("Toolbar", "MRURF", "GRBLMacros") and keys we do not know stay as they are.
    TMemIniFile ini(IniFileName);
    ini.Load();

    ini.WriteBool(SecDefault, "Unit", Units != 0);
    ini.WriteFloat(SecDefault, "ChainTol", ChainTol);
    ini.WriteInteger(SecDefault, "MaxCurveSeg", MaxCurveSeg);
    ini.WriteFloat(SecDefault, "SimulTol", SimulTol);
    ini.WriteFloat(SecDefault, "SystemTol", SystemTol);
    ini.WriteFloat(SecDefault, "MaxArcFit", MaxArcFit);
    ini.WriteBool(SecDefault, "CheckForUpdate", CheckForUpdate);
    ini.WriteString(SecDefault, "Language", Language);
    ini.WriteBool(SecDefault, "SGrid", SGrid);
    ini.WriteInteger(SecDefault, "GridOrigin", GridOrigin);
    ini.WriteFloat(SecDefault, "GridSizeX", GridSizeX);
    ini.WriteFloat(SecDefault, "GridSizeY", GridSizeY);
    ini.WriteFloat(SecDefault, "GridX", GridX);
    ini.WriteFloat(SecDefault, "GridY", GridY);
    ini.WriteBool(SecDefault, "SAxis", SAxis);
    ini.WriteFloat(SecDefault, "SnapX", SnapX);
    ini.WriteFloat(SecDefault, "SnapY", SnapY);
    ini.WriteString(SecDefault, "Pst", Pst);
    ini.WriteBool(SecDefault, "UseExtEditor", UseExtEditor);
    ini.WriteString(SecDefault, "ExtEditor", ExtEditor);
    ini.WriteString(SecDefault, "ToolsLib", ToolsLib);
    ini.WriteString(SecDefault, "LaserLib", LaserLib);
    ini.WriteString(SecDefault, "LatheLib", LatheLib);

    ini.WriteInteger(SecColor, "DefLayers", DefLayersColor);
    ini.WriteInteger(SecColor, "BackGround", BackGroundColor);
    ini.WriteInteger(SecColor, "Grid", GridColor);
    ini.WriteString(SecColor, "SkinName", SkinName);
    ini.WriteInteger(SecColor, "Tool", ToolColor);
    ini.WriteInteger(SecColor, "ToolPathG0", ToolPathG0Color);
    ini.WriteInteger(SecColor, "ToolPathG1", ToolPathG1Color);
    ini.WriteInteger(SecColor, "ToolPathG2", ToolPathG2Color);
    ini.WriteInteger(SecColor, "Chain", ChainColor);
    ini.WriteInteger(SecColor, "ToolPathG0LW", ToolPathG0LW);
    ini.WriteInteger(SecColor, "ToolPathG1LW", ToolPathG1LW);
    ini.WriteInteger(SecColor, "ToolPathG2LW", ToolPathG2LW);
    ini.WriteInteger(SecColor, "ChainLW", ChainLW);
    ini.WriteBool(SecToolbar, "TbrImagesOnly", TbrImagesOnly);

    ini.WriteBool(SecDefault, "ShowInt", ShowInt);
    ini.WriteString(SecDefault, "FilePath_Geo", FilePath_Geo);
    ini.WriteString(SecDefault, "FilePath_Cnc", FilePath_Cnc);
    ini.WriteString(SecDefault, "FilePath_T2Dxf", FilePath_T2Dxf);
    ini.WriteBool(SecDefault, "DxfPolyInLA", DxfPolyInLA);
    ini.WriteBool(SecDefault, "Tlp2DXF", Tlp2DXF);
    ini.WriteInteger(SecDefault, "fWPL", fWPL);
    ini.WriteInteger(SecDefault, "fWPT", fWPT);
    ini.WriteInteger(SecDefault, "fWPW", fWPW);
    ini.WriteInteger(SecDefault, "fWPH", fWPH);
    ini.WriteBool(SecDefault, "fWPMax", fWPMax);

    MakeFolders(DataDir);
    ini.UpdateFile();
}
