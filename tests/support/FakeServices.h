#pragma once
// Recording stand-ins for the shell, installed for the length of one test.
#include "QVServices.h"

#include <string>
#include <vector>

class TFakeMainWindow : public TMainWindowServices {
public:
    struct TBox {
        std::string Text, Caption;
        TMsgIcon Icon;
        TMsgButtons Buttons;
    };

    void SetStatusMessage(const std::string& Text) override { StatusMessages.push_back(Text); }
    bool GetPlacement(TWindowPlacement& P) const override
    {
        P = Placement;
        return true;
    }
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons) override
    {
        Boxes.push_back({Text, Caption, Icon, Buttons});
        return Answer;
    }
    TGeoTreeView* GeoTree() override { return nullptr; }

    TWindowPlacement Placement;
    TMsgResult Answer = TMsgResult::Ok;
    std::vector<std::string> StatusMessages;
    std::vector<TBox> Boxes;
};

class TInstalledServices {
public:
    explicit TInstalledServices(TMainWindowServices* w) { SetMainWindowServices(w); }
    ~TInstalledServices() { SetMainWindowServices(nullptr); }
    TInstalledServices(const TInstalledServices&) = delete;
    TInstalledServices& operator=(const TInstalledServices&) = delete;
};
