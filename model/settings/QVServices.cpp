#include "QVServices.h"

#include <cstdio>

TVecRasInfo* DlgOpenGeo = nullptr;
TOpsStreamWriter OpsStreamWriter;
TOpsStreamReader OpsStreamReader;

namespace {

class TNullMainWindow final : public TMainWindowServices {
public:
    void SetStatusMessage(const std::string&) override {}
    bool GetPlacement(TWindowPlacement&) const override { return false; }
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon,
                          TMsgButtons Buttons) override
    {
        std::fprintf(stderr, "rastrel: %s%s%s\n", Caption.c_str(), Caption.empty() ? "" : ": ", Text.c_str());
        switch (Buttons) {
        case TMsgButtons::YesNo: return TMsgResult::No;
        case TMsgButtons::OkCancel:
        case TMsgButtons::YesNoCancel: return TMsgResult::Cancel;
        case TMsgButtons::Ok: break;
        }
        return TMsgResult::Ok;
    }
    TGeoTreeView* GeoTree() override { return nullptr; }
};

class TNullToolWindow final : public TToolWindowServices {
public:
    void ShowPages(const std::vector<std::string>&, const std::string&, int32_t, int32_t) override {}
    void Hide() override {}
    bool IsShowing() const override { return false; }
    std::string ControlText(const std::string&) const override { return {}; }
    void SetControlText(const std::string&, const std::string&) override {}
    bool ControlChecked(const std::string&) const override { return false; }
    int32_t ControlItemIndex(const std::string&) const override { return -1; }
    std::vector<std::string> ControlItems(const std::string&) const override { return {}; }
    void SetControlVisible(const std::string&, bool) override {}
    void FocusControl(const std::string&) override {}
};

class TNullMachining final : public TMachiningServices {
public:
    void RenderSolidSim() override {}
    bool LaserShown() const override { return false; }
    void SetLaserShown(bool) override {}
    void SetLaserPointSize(double) override {}
    double CurrentToolDiameter() const override { return 0; }
    void HideAllPaths() override {}
    TCurrentOperation* CurrentOp() override { return nullptr; }
};

TNullMainWindow NullMainWindow;
TNullToolWindow NullToolWindow;
TNullMachining NullMachining;

TMainWindowServices* InstalledMainWindow = nullptr;
TToolWindowServices* InstalledToolWindow = nullptr;
TMachiningServices* InstalledMachining = nullptr;

}  // namespace

TMainWindowServices& MainWindow() { return InstalledMainWindow ? *InstalledMainWindow : NullMainWindow; }
TToolWindowServices& ToolWindow() { return InstalledToolWindow ? *InstalledToolWindow : NullToolWindow; }
TMachiningServices& Machining() { return InstalledMachining ? *InstalledMachining : NullMachining; }

void SetMainWindowServices(TMainWindowServices* Services) { InstalledMainWindow = Services; }
void SetToolWindowServices(TToolWindowServices* Services) { InstalledToolWindow = Services; }
void SetMachiningServices(TMachiningServices* Services) { InstalledMachining = Services; }
