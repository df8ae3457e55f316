#pragma once
// A main window for fuzz targets: message boxes are counted and answered OK, nothing is shown.
#include "QVServices.h"

#include <string>

class TQuietWindow final : public TMainWindowServices {
public:
    void SetStatusMessage(const std::string&) override {}
    bool GetPlacement(TWindowPlacement&) const override { return false; }
    TMsgResult MessageBox(const std::string&, const std::string&, TMsgIcon, TMsgButtons) override
    {
        ++Boxes;
        return TMsgResult::Ok;
    }

    int Boxes = 0;
};
