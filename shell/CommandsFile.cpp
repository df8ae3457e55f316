// The file toolbar's commands: new, open and merge, save and save as, exit. The work is the file
// commands' (TFileCommands); the window answers their questions through TMainFileHost.
#include "Commands.h"

#include "FileCommands.h"
#include "ProgramObjects.h"
#include "UnitMain.h"

bool sbtNewClick(TCommandContext& C)
{
    C.Objects.FileCommands->New();
    return true;
}

bool mnuOpenClick(TCommandContext& C)
{
    C.Objects.FileCommands->OpenGeo({}, false);
    return true;
}

bool mnuMergeClick(TCommandContext& C)
{
    C.Objects.FileCommands->OpenGeo({}, true);
    return true;
}

// Save writes through the save dialog, as Save as does.
bool MySaveClick(TCommandContext& C)
{
    C.Objects.FileCommands->SaveAs();
    return true;
}

bool mnuSaveClick(TCommandContext& C)
{
    return MySaveClick(C);
}

bool mnuSaveAsClick(TCommandContext& C)
{
    C.Objects.FileCommands->SaveAs();
    return true;
}

bool sbtExitClick(TCommandContext& C)
{
    C.Main.close();
    return true;
}
