#pragma once
// The file commands' host for a program without the main window (pncview, tests): the file is
// always named, so nothing is asked; what is opened stays where the placement puts it at first
// (it is placed, not shown); no busy cursor, no progress, no break.
#include "FileCommands.h"

#include <memory>

class TPlainFileHost : public TFileCommandsHost {
public:
    TPlainFileHost();
    ~TPlainFileHost() override;
    TPlainFileHost(const TPlainFileHost&) = delete;
    TPlainFileHost& operator=(const TPlainFileHost&) = delete;

    std::string AskOpenFileName(bool, const std::string&) override { return {}; }
    std::string AskSaveFileName(const std::string&) override { return {}; }
    bool AskClear(bool&) override { return true; }
    TVecRasPlacement& NewPlacementPanel(TQV_01Cmp2D& Drawing) override;
    void SetCaption(const std::string& C) override { Caption = C; }
    void SetBusy(bool) override {}
    TJobProgress& Progress() override { return NoProgress(); }

    // The caption the last command gave the window.
    std::string Caption;

private:
    std::unique_ptr<TVecRasPlacement> Panel;
};
