// The help drop-down's commands.
#include "Commands.h"

#include "ProgramObjects.h"
#include "UnitAbout.h"

bool mnuAboutClick(TCommandContext& C)
{
    if (C.Objects.About) {
        C.Objects.About->show();
        C.Objects.About->raise();
    }
    return true;
}
