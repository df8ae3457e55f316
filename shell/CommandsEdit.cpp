// The edit toolbar's commands.
#include "Commands.h"

#include "ProgramObjects.h"
#include "UndoRedo.h"

bool sbtUndoClick(TCommandContext& C)
{
    C.Objects.UndoLog->Undo();
    return true;
}
