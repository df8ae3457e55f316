#pragma once
// The program-wide objects of the start, in the order the program makes them. The program
// (TShellProgram) owns them and frees them at the close; the windows and the commands reach
// them here. Each is also published as its program-wide pointer (AppConfig, UndoRedo,
// DrawingView, Drawing, CADProgram) once it is whole, and that pointer is cleared when it goes.
#include <memory>

class TAppConfig;
class TCADPrgViewAdapter;
class TContainer2D;
class TFileCommands;
class TGeoPage;
class TMainFileHost;
class TQV_00Prog;
class TQV_01Cmp2D;
class TQVScene;
class TSceneWidget;
class TUndoRedo;
class TSetGrid;
class TSettingsPage;
class TfrmAbout;
class TfrmCoord;
class TfrmGrid;
class TfrmLayer;
class TfrmToolWin;

struct TProgramObjects {
    TProgramObjects();
    ~TProgramObjects();
    TProgramObjects(const TProgramObjects&) = delete;
    TProgramObjects& operator=(const TProgramObjects&) = delete;

    std::unique_ptr<TAppConfig> Config;
    std::unique_ptr<TUndoRedo> UndoLog;
    std::unique_ptr<TQVScene> View;
    // The view on screen: a child of the main window's pnlGraphicView, freed before the view.
    TSceneWidget* Viewer = nullptr;
    std::unique_ptr<TQV_01Cmp2D> Drawing;
    std::unique_ptr<TQV_00Prog> Prog;
    // The interaction program on the viewer's events.
    std::unique_ptr<TCADPrgViewAdapter> Adapter;
    // The holding-tab marker's preview: an empty container of ID -1.
    std::unique_ptr<TContainer2D> TabMarkerPreview;
    // The geometry tree and the property panel: a child of the main window's SheetGeo, freed
    // before the drawing.
    TGeoPage* GeoPage = nullptr;
    // The file commands and what they ask of the windows.
    std::unique_ptr<TMainFileHost> FileHost;
    std::unique_ptr<TFileCommands> FileCommands;

    // The windows after the main window: the program owns them; null until they are made.
    TfrmToolWin* ToolWin = nullptr;
    TfrmAbout* About = nullptr;
    // The settings page on the tool window's sheet (the tool window owns it).
    TSettingsPage* SettingsPage = nullptr;
    // The dialogs: children of the main window, made at start.
    TfrmLayer* Layer = nullptr;
    TfrmCoord* Coord = nullptr;
    TfrmGrid* Grid = nullptr;
    // The grid-snap switch, for the whole run.
    std::unique_ptr<TSetGrid> SetGrid;
};
