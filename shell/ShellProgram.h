#pragma once
// The program: the one place that makes the program-wide objects and the windows, in the order of
// the start, and frees them again. Each object and window is published (AppConfig, Drawing,
// frmMain, the services ...) only once it is whole, and every publication is cleared when its
// object goes, also when the start fails part way.
//
// The start: the drawing classes and the stroke fonts are registered; the main window is made
// with its controls; then the configuration, the language file, the undo log, the view on the
// main window's panel, the drawing with the block library, the interaction program, the grid and
// the stock box, the geometry page and the file commands; then the tool window and the About box;
// last what the tool window's creation finishes of the start (language texts, the input hooks,
// the toolbars and recent files, the caption, the grid). The close frees the objects in the
// order of the main window's close; the windows go with the program.
#include "ProgramObjects.h"

#include <memory>
#include <string>

class TfrmAbout;
class TfrmMain;
class TfrmToolWin;

class TShellProgram {
public:
    // FileToOpen (may be empty) opens when the main window is first shown.
    explicit TShellProgram(const std::string& FileToOpen);
    ~TShellProgram();
    TShellProgram(const TShellProgram&) = delete;
    TShellProgram& operator=(const TShellProgram&) = delete;

    TfrmMain& Main() { return *FMain; }
    TfrmToolWin& ToolWin() { return *Objects.ToolWin; }
    TfrmAbout& About() { return *Objects.About; }
    TFileCommands& FileCommands() { return *Objects.FileCommands; }

private:
    void MakeObjects();
    void LoadBlockLibrary();
    // The settings page and the dialogs, once the tool window is made.
    void MakeDialogs();
    void FinishStart();
    // Frees the program-wide objects in the order of the main window's close; the windows stay.
    void ReleaseObjects();
    // Everything, windows included, in the reverse order of the start.
    void Shutdown();

    TProgramObjects Objects;
    // The main window is top-level; the tool window and the About box are its children, which
    // the program frees before it.
    std::unique_ptr<TfrmMain> FMain;
    bool FReleased = false;
};

// What the program registers once, before any window: the drawing classes and the stroke fonts
// beside the executable (font 0 "RomanC.fnd").
void RegisterProgramUnits();
