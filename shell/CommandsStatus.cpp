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

#include <QAction>

#include <string_view>

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

bool sbtUseOrthoClick(TCommandContext& C)
{
    C.Objects.Prog->UseOrto = C.Checked;
    return true;
}

namespace {

// The snap items: one at most is checked; the program snaps to what it names, and the status
// bar's button shows it.
bool ChooseSnap(TCommandContext& C, const char* Item, int32_t Kind, int32_t Mode)
{
    static const char* const items[] = {"mnuSnapNone",   "mnuSnapEnd",   "mnuSnapMid",
                                        "mnuSnapCenter", "mnuSnapPoint", "mnuSnapAuto"};
    const bool on = C.Checked && Kind != 0;
    for (const char* name : items)
        if (QAction* a = C.Main.Command(name))
            a->setChecked(on && std::string_view(name) == Item);
    C.Objects.Prog->SnapMode = on ? Mode : smNone;
    C.Main.ShowSnapKind(on ? Kind : 0);
    return true;
}

} // namespace

bool mnuSnapNoneClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapNone", 0, smNone);
}

bool mnuSnapEndClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapEnd", 1, smEndPoint);
}

bool mnuSnapMidClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapMid", 2, smMidPoint);
}

bool mnuSnapCenterClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapCenter", 3, smCenter);
}

bool mnuSnapPointClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapPoint", 4, smPoint);
}

bool mnuSnapAutoClick(TCommandContext& C)
{
    return ChooseSnap(C, "mnuSnapAuto", 5, smAuto);
}

bool mnuSBGridSetClick(TCommandContext& C)
{
    ShowStatusMessage(StatusMessages[3]);
    C.Main.Hooks.GridDialog();
    return true;
}
