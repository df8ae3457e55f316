#pragma once
// The main window: toolbars over the drawing's view, the side panel with the geometry tree and
// the property panel, the status bar. It shows the program-wide objects, which the program
// (TShellProgram) makes in their order before the window's start is finished and frees at the
// close, after the user's Yes; the window writes the settings before they go.
//
// Its commands are the entries of the command table (CommandTable.h), one action each, with their
// code in the units of their families. What later parts of the program bring (simulator, stock
// box, operations, G-code editor, the grid and layer dialogs) is reached through TMainHooks,
// whose defaults do nothing.
#include "QVBreak.h"
#include "QVCADPrg.h"
#include "QVGeoPage.h"
#include "QVServices.h"

#include <QMainWindow>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Ui {
class TfrmMain;
}
class QAction;
class QMenu;
class QWidget;
class TMainCommands;
class TMainFileHost;
class TSceneWidget;
struct TProgramObjects;

struct TMainHooks {
    // Opens FileName as the Open command does (merge off): the command line and the recent files.
    std::function<void(const std::string& FileName)> OpenFile = [](const std::string&) {};
    // The simulator has a simulation set up that is not finished; then Redraw clears its path.
    std::function<bool()> SimulatorActive = [] { return false; };
    std::function<void()> SimulatorClearPath = [] {};
    std::function<void()> GridDialog = [] {};
    std::function<void()> LayerDialog = [] {};
    // Closes the G-code editor; false when the user keeps it open, which keeps the program open.
    std::function<bool()> CloseEditor = [] { return true; };
    // Frees the machining objects (operations, writer and reader, simulator, stock box).
    std::function<void()> FreeMachining = [] {};
    // Called at close after the settings are written and before anything is freed.
    std::function<void()> BeforeRelease = [] {};
};

class TfrmMain : public QMainWindow, public TMainWindowServices, public TGeoPageHost {
public:
    // The window with its controls and its commands' actions. Objects is the program's (not
    // owned, it outlives the window); the program fills it, then calls Attach. FileToOpen (may be
    // empty) is opened when the window is first shown.
    TfrmMain(TProgramObjects& Objects, std::string FileToOpen = {});
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    TMainHooks Hooks;
    // The folder of "Library.blk"; empty for the executable's folder.
    static inline std::string BlockLibraryFolder;
    // The program frees its objects: run by the close after the settings are written.
    std::function<void()> OnRelease;

    // ---- the start, in the program's order
    // The panel that carries the view, and the sheet that carries the geometry page.
    QWidget* GraphicPanel() const;
    QWidget* GeometrySheet() const;
    // Once the program's objects exist: the view's events, the window's place and size.
    void Attach();
    // The window's part of the start, after the language texts: the toolbar layout and the
    // recent files from IniFileName, toolbar style, hints, the current layer, the switches as
    // the settings say, the caption and the geometry tab.
    void FinishStart(const std::string& IniFileName);

    // ---- what the commands and the other windows use
    TMainCommands& Commands() { return *FCommands; }
    // The action of a command by its Name or MenuName; null for none.
    QAction* Command(std::string_view Name) const;
    TSceneWidget* Viewer() const;
    TGeoPage* GeoPage() const;
    TMainFileHost& FileHost();
    // The file commands' recent-files list (at most 10, newest first) behind the Open button's
    // menu; empty once the objects are freed.
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& FileName);
    // The tool window shows a command's pages, or hides: the input toolbars and the side panel
    // are off while it shows.
    void SetCommandPagesShown(bool Shown);
    // The action that shows and hides a toolbar or the side panel ("tbrFile" ... "toolWin"), checked
    // while it shows, also after the user closed it by hand; null for another name.
    QAction* ToolbarToggle(std::string_view Name) const;
    // The status bar's snap button shows picture Index of its image list.
    void SetSnapImage(int Index);

    // ---- what the drawing commands keep in the main window
    // The rectangle command keeps the interaction program's orthogonal mode here while it runs.
    bool OrtoSaved = false;
    bool SavedUseOrto = false;
    // The select-one-entity command keeps the property panel's entity past the operation's end.
    bool KeepEntityPanel = false;
    // The tasks whose end hides the tool window (the transform and offset tasks add themselves).
    std::vector<TCADStateClass> ToolWinTasks;

    // ---- the main window's operations called by the tool window and the commands
    void ImpostaGView();
    void ImpostaTbr();
    void ImpostaHint();
    void CurrLayerInfo();
    void CurrLayerCol(uint32_t Colour);
    void QV_PrgDescriptionChanged(const std::string* Prompt);
    // Writes the toolbar layout and the recent files into the ini file's sections "Toolbar" and
    // "MRURF"; LoadToolbarsAndRecent reads them back.
    void SaveToolbarsAndRecent(const std::string& IniFileName);
    void LoadToolbarsAndRecent(const std::string& IniFileName);

    // ---- long jobs
    // The one progress bar of the status bar, in place of the coordinate read-out.
    TUserBreak_ProgBar& ProgressBar() { return FProgress; }
    // A long job runs: the toolbars, the side panel and the view are off meanwhile, and a close
    // asked for meanwhile comes once it has ended.
    void SetJobRunning(bool Running);
    // Runs Work as a command of the window: a close asked for meanwhile comes after its end.
    void RunCommand(const std::function<void()>& Work);

    // ---- TMainWindowServices
    void SetStatusMessage(const std::string& Text) override;
    bool GetPlacement(TWindowPlacement& Placement) const override;
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons) override;

    // ---- TGeoPageHost
    TQVScene* GeoView() override;
    void RerunPanelCommand(TPanelMode Mode) override;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormShow();
    void BuildMachiningMenus();
    // The recent-files menu as the list now is; a pick opens that file.
    void UpdateRecentMenu();
    // Switches the input on and off as a job and the tool window allow: the one place for both.
    void UpdateInputEnabled();
    // The close asked for while a command or a job ran, once neither does.
    void CloseWhenIdle();
    void CloseWaited();
    void QV_PrgEndOperation(TCADStateClass Operation);
    void GraphicViewMouseMove2D();
    void tbrStatusBarMouseDown(Qt::MouseButton Button, int X);
    QAction* CreaItemMenu(const char* Key, QMenu* Parent, const char* List, int ImageIndex);

    std::unique_ptr<Ui::TfrmMain> ui;
    TProgramObjects& Objects;
    std::unique_ptr<TMainCommands> FCommands;
    std::string FFileToOpen;
    bool FShown = false;
    bool FReleased = false;
    bool FJobRunning = false;
    int FCommandDepth = 0;
    bool FCloseWaiting = false;
    bool FPagesShown = false;
    QMenu* FCncMenu = nullptr;
    QMenu* FPopupTreeCnc = nullptr;
    TUserBreak_ProgBar FProgress;
    bool FHintsOff = false;
};

// The main window while the program runs; published by the program once the window is made.
extern TfrmMain* frmMain;
