// The settings command, the layer, coordinate and grid dialogs' commands and the grid snap item.
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVCADPrg.h"
#include "QVPrg2D.h"
#include "SettingsPage.h"
#include "UnitCoord.h"
#include "UnitGrid.h"
#include "UnitMain.h"

bool sbtConfigClick(TCommandContext& C)
{
    if (!C.Objects.SettingsPage)
        return false;
    C.Objects.SettingsPage->FillLanguages();
    return true;
}

bool mnuLayerDialogClick(TCommandContext& C)
{
    C.Main.Hooks.LayerDialog();
    return true;
}

bool mnuCoordClick(TCommandContext& C)
{
    if (!C.Objects.Coord || !C.Objects.Prog)
        return false;
    TPoint2D p;
    C.Objects.Prog->GetCursorPoint(p);
    const std::optional<TPoint2D> typed = C.Objects.Coord->Execute(p.X, p.Y);
    if (!typed)
        return false;
    // The typed point acts as a click of the left button there.
    C.Objects.Prog->SetCursorPoint(*typed);
    C.Objects.Prog->SendCADEvent(ceMouseDown, mbLeft, 0, 0);
    return true;
}

bool mnuSnap2GridClick(TCommandContext& C)
{
    if (C.Objects.SetGrid && !C.Objects.SetGrid->Busy())
        C.Objects.SetGrid->SetSnap(C.Checked);
    return true;
}
