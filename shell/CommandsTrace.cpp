// The tracing command: the tracing page for the picture last opened.
#include "Commands.h"

#include "FileCommands.h"
#include "ProgramObjects.h"
#include "QVBitmap2D.h"
#include "QVVariabili.h"
#include "TracingPage.h"
#include "UnitToolWin.h"

bool sbtVectClick(TCommandContext& C)
{
    TfrmToolWin* toolWin = C.Objects.ToolWin;
    if (!toolWin || !toolWin->TracingPage)
        return false;
    // The one check of the picture: it is still the one opened, in the drawing, at its size.
    if (!C.Objects.FileCommands->CheckVectorize())
        return false;
    TTracingPage* page = toolWin->TracingPage;
    StartVectorize(*page, *C.Objects.Drawing, *CurrentBitmap, *C.Objects.FileCommands->SourceBitmap());
    toolWin->AddHideHandler([page] { page->Finish(); });
    return true;
}
