#pragma once
// The main window: toolbars over the drawing's view, the side panel with the geometry tree and
// the property panel, the status bar. Its creation makes the program-wide objects in a fixed
// order (configuration, language file, view, drawing, interaction program ...); closing it, after
// the user's Yes, writes the settings and frees them again, in the reverse order of their use.
//
// What later parts of the program bring (simulator, stock box, operations, G-code editor, the
// grid and layer dialogs, the file commands) is reached through TMainHooks, whose defaults do
// nothing; their menus exist and stay switched off.
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
class TAppConfig;
class TBitmap32;
class TCADPrgViewAdapter;
class TContainer2D;
class TFileCommands;
class TMainFileHost;
class TQV_00Prog;
class TQV_01Cmp2D;
class TUndoRedo;
class TQVScene;
class TSceneWidget;
class TfrmToolWin;
struct TViewerMouseEvent;

struct TMainHooks {
    // Opens FileName as the Open command does (merge off): the command line and the recent files.
    std::function<void(const std::string& FileName)> OpenFile;
    // The simulator has a simulation set up that is not finished; then Redraw clears its path.
    std::function<bool()> SimulatorActive = [] { return false; };
    std::function<void()> SimulatorClearPath = [] {};
    std::function<void()> GridDialog = [] {};
    std::function<void()> LayerDialog = [] {};
    // The untouched copy of the picture last opened, which the tracing page traces: the file
    // commands' one.
    std::function<const TBitmap32*()> SourceBitmap = [] { return nullptr; };
    std::function<void()> Undo = [] {};
    // Closes the G-code editor; false when the user keeps it open, which keeps the program open.
    std::function<bool()> CloseEditor = [] { return true; };
    // Frees the machining objects (operations, writer and reader, simulator, stock box).
    std::function<void()> FreeMachining = [] {};
    // Called at close after the settings are written and before anything is freed.
    std::function<void()> BeforeRelease = [] {};
};

class TfrmMain : public QMainWindow, public TMainWindowServices, public TGeoPageHost {
public:
    // The program's windows are made right after: the tool window needs what this one makes.
    // FileToOpen (may be empty) is opened when the window is first shown.
    explicit TfrmMain(std::string FileToOpen = {});
    ~TfrmMain() override;
    TfrmMain(const TfrmMain&) = delete;
    TfrmMain& operator=(const TfrmMain&) = delete;

    Ui::TfrmMain& Form() { return *ui; }
    TMainHooks Hooks;
    // The folder of "Library.blk"; empty for the executable's folder.
    static inline std::string BlockLibraryFolder;
    TSceneWidget* Viewer() const { return FViewer; }
    TGeoPage* GeoPage() const { return FGeoPage; }
    // Set by the tool window and the About box when they are made; not owned.
    TfrmToolWin* ToolWin = nullptr;
    QWidget* About = nullptr;

    // The file commands (open, merge, new, save as) and what they ask of this window.
    TFileCommands& FileCommands() { return *FFileCommands; }
    TMainFileHost& FileHost() { return *FFileHost; }
    // The file commands' recent-files list (at most 10, newest first) behind the Open button's
    // menu; empty once the objects are freed.
    QStringList RecentFiles() const;
    void AddRecentFile(const QString& FileName);
    // Fills the recent-files menu from RecentFiles; a pick opens that file.
    void UpdateRecentMenu();

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

    // ---- view and status controls
    void WheelZoom(int WheelDelta, int MouseX, int MouseY);
    void sbtZoomInClick();
    void sbtZoomBackClick();
    void mnuAutozoomClick();
    void mnuZoomWindowClick();
    void mnuPanClick();
    void sbtRedrawClick();
    enum class TStandardView { Top, Front, Side, Iso };
    void StandardView(TStandardView V);
    void sbtGridOnOffClick();
    void sbtAxisOnOffClick();
    // A right click on the status bar at X (pixels from its left edge).
    void tbrStatusBarMouseDown(Qt::MouseButton Button, int X);
    void sbtLayerClick();
    void sbtVectClick();
    void mnuSBGridSetClick();

    // ---- long jobs
    // The one progress bar of the status bar, in place of the coordinate read-out.
    TUserBreak_ProgBar& ProgressBar() { return FProgress; }
    // The toolbars, the side panel and the view on or off while a long job runs.
    void SetInputEnabled(bool Enabled);

    // ---- TMainWindowServices
    void SetStatusMessage(const std::string& Text) override;
    bool GetPlacement(TWindowPlacement& Placement) const override;
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons) override;

    // ---- TGeoPageHost
    TQVScene* GeoView() override;
    void RerunPanelCommand(uint8_t Mode) override;

protected:
    void showEvent(QShowEvent* Event) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormCreate();
    void FormShow();
    // Frees the program-wide objects in their order; the window stays until Qt frees it.
    void ReleaseObjects();
    void LoadBlockLibrary();
    void BuildMenus();
    void ConnectCommands();
    void ConnectFileCommands();
    void QV_PrgEndOperation(TCADStateClass Operation);
    void GraphicViewMouseMove2D(double X, double Y);
    QAction* CreaItemMenu(const char* Key, QMenu* Parent, const char* List, int ImageIndex);

    std::unique_ptr<Ui::TfrmMain> ui;
    std::string FFileToOpen;
    bool FShown = false;
    bool FReleased = false;
    std::unique_ptr<TAppConfig> FConfig;
    std::unique_ptr<TQVScene> FView;
    std::unique_ptr<TQV_01Cmp2D> FDrawing;
    std::unique_ptr<TUndoRedo> FUndoRedo;
    std::unique_ptr<TQV_00Prog> FProg;
    std::unique_ptr<TCADPrgViewAdapter> FAdapter;
    std::unique_ptr<TContainer2D> FTabMarkerPreview;
    std::unique_ptr<TMainFileHost> FFileHost;
    std::unique_ptr<TFileCommands> FFileCommands;
    TSceneWidget* FViewer = nullptr; // child of pnlGraphicView
    TGeoPage* FGeoPage = nullptr;    // child of SheetGeo
    QMenu* FOpenMenu = nullptr;
    QMenu* FRecentMenu = nullptr;
    QMenu* FCncMenu = nullptr;
    QMenu* FPopupTreeCnc = nullptr;
    QMenu* FPopupDestro = nullptr;
    TUserBreak_ProgBar FProgress;
    bool FHintsOff = false;
};

// The main window while it exists.
extern TfrmMain* frmMain;
