// The help drop-down's commands: About and the web update check.
#include "Commands.h"

#include "ProgramObjects.h"
#include "UnitAbout.h"
#include "UnitMain.h"
#include "UnitWebUpdate.h"

bool mnuAboutClick(TCommandContext& C)
{
    if (C.Objects.About) {
        C.Objects.About->show();
        C.Objects.About->raise();
    }
    return true;
}

bool mnuWebUpdateClick(TCommandContext& C)
{
    RunWebUpdate(&C.Main, false);
    return true;
}
