#pragma once
// What the file commands ask of the main window: the open and save dialogs, the clear question,
// the placement panel on the tool window, the caption, the busy cursor and the progress bar,
// whose Esc breaks a long open or save off.
#include "FileCommands.h"

#include <memory>

class TDlgOpenGeo;
class TfrmMain;
struct TProgramObjects;

class TMainFileHost : public TFileCommandsHost {
public:
    // Neither is owned; both outlive the host.
    TMainFileHost(TfrmMain& Main, TProgramObjects& Objects);
    ~TMainFileHost() override;
    TMainFileHost(const TMainFileHost&) = delete;
    TMainFileHost& operator=(const TMainFileHost&) = delete;

    std::string AskOpenFileName(bool Merge, const std::string& Folder) override;
    std::string AskSaveFileName(const std::string& Suggested) override;
    bool AskClear(bool& DeleteOperations) override;
    TVecRasPlacement& NewPlacementPanel(TQV_01Cmp2D& Drawing) override;
    void SetCaption(const std::string& Caption) override;
    void SetBusy(bool Busy) override;
    TJobProgress& Progress() override;
    void StopOperation() override;
    void DrawingCleared() override;
    void DrawingRenewed() override;
    void LeavePropertyEntityMode() override;
    void DrawingOpened() override;

    // The placement panel shown; null when none.
    TDlgOpenGeo* Panel() const { return FPanel.get(); }
    // Frees the panel: at the program's close, before the drawing goes.
    void FreePanel();
    // At the tool window's hide: Panel, when it is still the one shown, goes after the event.
    void FreePanelLater(const TDlgOpenGeo* Panel);

private:
    TfrmMain& Main;
    TProgramObjects& Objects;
    std::unique_ptr<TDlgOpenGeo> FPanel;
    bool FBusy = false;
    // Set while the object lives: a hide handler that outlives it does nothing.
    std::shared_ptr<TMainFileHost*> FSelf;
};
