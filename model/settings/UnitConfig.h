#pragma once
// The program's settings: unit system, tolerances, grid and snap, colours, language, names of the
// post-processor and tool libraries, folders and the main window's placement. Kept in the file
// "rastrel.ini" of the data folder; read when the object is made, written by Save.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

class TMemIniFile;

// Per-unit defaults, indexed by TAppConfig::Units (0 inch, 1 millimetre).
inline constexpr std::array<double, 2> DefSystemTol = {0.000005, 0.0001};
inline constexpr std::array<double, 2> DefChainTol = {0.0001, 0.0025};
inline constexpr std::array<double, 2> DefSimulTol = {0.001, 0.025};
inline constexpr std::array<double, 2> DefGridSize = {4, 100};
inline constexpr std::array<double, 2> DefGridStep = {0.25, 10};
inline constexpr std::array<double, 2> DefMaxArcFit = {100, 2500};
inline constexpr std::array<const char*, 2> CoordFormats = {"%0.4f", "%0.3f"};
inline constexpr std::array<const char*, 2> CoordFormats2 = {"%0.5f", "%0.3f"};
inline constexpr std::array<const char*, 2> UnitNames = {"inch", "mm"};
inline constexpr std::array<const char*, 2> DefPostNames = {"Mach2-3_inch", "Mach2-3_mm"};

inline constexpr int32_t DefMaxCurveSeg = 200;
inline constexpr int32_t MaxCurveSegLimit = 65535;  // segment counts are held in 16 bits

class TAppConfig {
public:
    // Finds the data folder (created when missing) and reads "rastrel.ini" from it. A missing or
    // damaged file is no error: every value it does not hold readably takes its default. The
    // tolerance pointers point at this object's values afterwards.
    TAppConfig();
    // Points the tolerance pointers back at the built-in defaults when they point here.
    ~TAppConfig();
    TAppConfig(const TAppConfig&) = delete;
    TAppConfig& operator=(const TAppConfig&) = delete;

    // Writes the values back, keeping every other section and key of the file. Takes the main
    // window's placement from the main window when one is installed. A failure raises
    // EIniFileError with the reason; nothing is lost from the file already on disk.
    void Save();
    // Computes DataDir and resets the number-format hook.
    void InitFolders();
    // Switches the unit-dependent values (tolerances, arc-fit limit, number formats, unit name)
    // to the defaults of unit U (0 inch, anything else millimetre) and MaxCurveSeg to 200. Grid,
    // snap, library and post names keep their values.
    void SetUnits(uint8_t U);
    // The settings page's reset: SetUnits with the current unit and six default colours.
    void SetDefaults();
    void PublishTolerances();

    // "Key=value" of each value in the file that could not be used and took its default, so the
    // program can tell the user once.
    std::vector<std::string> LoadProblems;

    // Folders and files. DataDir has no trailing '/'; ToolsDir and the FilePath_ values have one.
    std::string DataDir;
    std::string IniFileName;
    std::string ToolsDir;

    uint8_t Units = 1;  // 0 inch, 1 millimetre
    std::string CoordFormat = CoordFormats[1];
    std::string CoordFormat2 = CoordFormats2[1];
    std::string UnitName = UnitNames[1];

    double ChainTol = DefChainTol[1];
    double SimulTol = DefSimulTol[1];
    double SystemTol = DefSystemTol[1];
    double MaxArcFit = DefMaxArcFit[1];
    int32_t MaxCurveSeg = DefMaxCurveSeg;
    std::string Language = "english";
    bool CheckForUpdate = true;
    bool SGrid = true;
    int32_t GridOrigin = 4;  // 0-4
    double GridSizeX = DefGridSize[1];
    double GridSizeY = DefGridSize[1];
    double GridX = DefGridStep[1];
    double GridY = DefGridStep[1];
    bool SAxis = true;
    double SnapX = DefGridStep[1];
    double SnapY = DefGridStep[1];
    std::string Pst = DefPostNames[1];
    bool UseExtEditor = false;
    std::string ExtEditor = "xdg-open";
    std::string ToolsLib;
    std::string LaserLib;
    std::string LatheLib;
    bool ShowInt = true;
    std::string FilePath_Geo;
    std::string FilePath_Cnc;
    std::string FilePath_T2Dxf;
    bool DxfPolyInLA = false;
    int32_t fWPL = 10;
    int32_t fWPT = 10;
    int32_t fWPW = 821;
    int32_t fWPH = 610;
    bool fWPMax = false;

    // Colours are 0x00BBGGRR.
    int32_t BackGroundColor = 0x808080;
    int32_t DefLayersColor = 0x00FF00;
    int32_t GridColor = 0x800000;
    int32_t ToolPathG0Color = 0x00FFFF;
    int32_t ToolPathG1Color = 0xFFFF00;
    int32_t ToolPathG2Color = 0x0000FF;
    int32_t ChainColor = 0xFF0000;
    int32_t ToolPathG0LW = 1;
    int32_t ToolPathG1LW = 2;
    int32_t ToolPathG2LW = 2;
    int32_t ChainLW = 2;
    std::string SkinName = "Default";
    int32_t ToolColor = 0x12143456;
    bool TbrImagesOnly = true;

    // Kept while the program runs, not stored.
    int32_t GridSubX = 0;
    int32_t GridSubY = 0;
    bool Snap2Grid = false;
    int32_t ToolWinLeft = 0;
    int32_t ToolWinTop = 0;
    int32_t EditorLeft = 0;
    int32_t EditorTop = 0;
    int32_t EditorWidth = 0;
    int32_t EditorHeight = 0;
    bool LatheMode = false;
    bool PostLangApplied = false;

private:
    void Load(const TMemIniFile& ini);
};

// The one configuration, owned by the main window; null before it is made and after it is freed.
extern TAppConfig* AppConfig;

// Number of decimals of a "%0.Nf" format.
int CoordFormatDecimals(const std::string& format);
