#pragma once
// The program's start: the drawing classes and the stroke fonts are registered, then the windows
// are made in their order (the main window, whose creation makes the program-wide objects, then
// the tool window and the About box), each needing what the ones before it made.
#include <memory>
#include <string>

class TfrmMain;
class TfrmToolWin;
class TfrmAbout;

struct TProgramWindows {
    std::unique_ptr<TfrmMain> Main;
    // Children of the main window.
    TfrmToolWin* ToolWin = nullptr;
    TfrmAbout* About = nullptr;
};

// What the program registers once, before any window: the drawing classes and the stroke fonts
// beside the executable (font 0 "RomanC.fnd").
void RegisterProgramUnits();
// FileToOpen (may be empty) opens when the main window is first shown.
TProgramWindows CreateProgramWindows(const std::string& FileToOpen);
