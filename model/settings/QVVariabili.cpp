#include "QVVariabili.h"

#include <cstdlib>
#include <cstring>

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

namespace {
double DefaultSystemTol = 0.0001;
double DefaultChainTol = 0.0025;
double DefaultSimulTol = 0.025;
int32_t DefaultMaxCurveSeg = 200;

std::string EnvValue(const char* name)
{
    const char* v = std::getenv(name);
    return v ? std::string(v) : std::string();
}

std::string HomeFolder()
{
    std::string home = EnvValue("HOME");
    if (!home.empty())
        return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return {};
}

void StripTrailingSlashes(std::string& path)
{
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
}
}  // namespace

double* SystemTolRef = &DefaultSystemTol;
double* ChainTolRef = &DefaultChainTol;
double* SimulTolRef = &DefaultSimulTol;
int32_t* MaxCurveSegRef = &DefaultMaxCurveSeg;

void ResetToleranceRefs()
{
    SystemTolRef = &DefaultSystemTol;
    ChainTolRef = &DefaultChainTol;
    SimulTolRef = &DefaultSimulTol;
    MaxCurveSegRef = &DefaultMaxCurveSeg;
}

TQV_01Cmp2D* Drawing = nullptr;
TQV_00Prog* CADProgram = nullptr;
std::vector<int32_t> UndoIdList;
TFormatCoordFunc FormatCoordFunc = nullptr;
TPelcFile CurrentFile;
bool UserBreak = false;
std::string AppTitle;
bool Tlp2DXF = false;
bool SelectChainPoints = false;
bool LayerOpDone = false;
bool LayerOpPending = false;
bool ControlsReady = true;
std::string TempPath;

const std::string& InitTempPath()
{
    if (!TempPath.empty())
        return TempPath;
    std::string base = EnvValue("TMPDIR");
    if (base.empty() || base.front() != '/')
        base = "/tmp";
    StripTrailingSlashes(base);
    std::string pattern = (base == "/" ? std::string() : base) + "/rastrel-XXXXXX";
    // mkdtemp makes the folder with mode 0700, so other users cannot plant or read our files.
    if (::mkdtemp(pattern.data()))
        TempPath = pattern + "/";
    return TempPath;
}

void RemoveTempPath()
{
    if (TempPath.empty())
        return;
    if (DIR* dir = ::opendir(TempPath.c_str())) {
        while (const dirent* e = ::readdir(dir)) {
            if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
                ::unlink((TempPath + e->d_name).c_str());
        }
        ::closedir(dir);
    }
    ::rmdir(TempPath.c_str());
    TempPath.clear();
}

void GetCommonAppDataPath(std::string& Path)
{
    // The XDG rules ignore a relative $XDG_DATA_HOME.
    Path = EnvValue("XDG_DATA_HOME");
    if (Path.empty() || Path.front() != '/') {
        const std::string home = HomeFolder();
        Path = home.empty() ? std::string() : home + "/.local/share";
    }
    StripTrailingSlashes(Path);
}
