// The status bar's commands: the grid and axes switches, Done and Cancel (also in the view's
// pop-up menu), the layer button and the grid item.
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVCADPrg.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "UnitConfig.h"
#include "UnitMain.h"

bool sbtGridOnOffClick(TCommandContext& C)
{
    C.Objects.Config->SGrid = C.Checked;
    C.Objects.View->SetGridVisible(C.Checked);
    return true;
}

bool sbtAxisOnOffClick(TCommandContext& C)
{
    C.Objects.View->SetAxesVisible(C.Checked);
    C.Objects.Config->SAxis = C.Checked;
    return true;
}

bool mnuCancelClick(TCommandContext& C)
{
    C.Objects.Prog->SendUserEvent(ueCancel);
    return true;
}

bool mnuDoneClick(TCommandContext& C)
{
    C.Objects.Prog->SendUserEvent(ueDone);
    return true;
}

bool sbtLayerClick(TCommandContext& C)
{
    ShowStatusMessage(StatusMessages[2]);
    C.Main.Hooks.LayerDialog();
    return true;
}

bool mnuSBGridSetClick(TCommandContext& C)
{
    ShowStatusMessage(StatusMessages[3]);
    C.Main.Hooks.GridDialog();
    return true;
}
