// The tracing command: the tracing page for the picture last opened.
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVBitmap2D.h"
#include "QVVariabili.h"
#include "TracingPage.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

bool sbtVectClick(TCommandContext& C)
{
    TfrmToolWin* toolWin = C.Objects.ToolWin;
    if (!toolWin || !toolWin->TracingPage)
        return false;
    TTracingPage* page = toolWin->TracingPage;
    if (!StartVectorize(*page, *C.Objects.Drawing, CurrentBitmap, C.Main.Hooks.SourceBitmap()))
        return false;
    toolWin->AddHideHandler([page] { page->Finish(); });
    return true;
}
