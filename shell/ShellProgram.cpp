#include "ShellProgram.h"

#include "QVFonts.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "UnitAbout.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

void RegisterProgramUnits()
{
    static const bool done = [] {
        RegisterDrawingClasses();
        RegisterProgramFonts(ProgramFolder());
        return true;
    }();
    (void)done;
}

TProgramWindows CreateProgramWindows(const std::string& FileToOpen)
{
    RegisterProgramUnits();
    TProgramWindows w;
    w.Main = std::make_unique<TfrmMain>(FileToOpen);
    w.ToolWin = new TfrmToolWin(*w.Main);
    w.About = new TfrmAbout(w.Main.get());
    w.Main->About = w.About;
    return w;
}
