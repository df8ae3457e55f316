// The edit toolbar's commands that work on a selection: each starts a selection task whose
// after-state is its tool.
#include "Commands.h"

#include "ProgramObjects.h"
#include "QVDeleteTools.h"
#include "QVGeoPage.h"
#include "QVInfoEdit.h"
#include "QVPrg2D.h"
#include "QVTasks.h"
#include "UnitMain.h"

#include <QAction>

#include <memory>

// Picks one by one (the picks marked in the geometry tree), or by a window when Window.
bool StartSelection(TCommandContext& C, TCADStateClass Tool, bool Window)
{
    TQV_00Prog& prog = *C.Objects.Prog;
    if (Window)
        return prog.StartOperation(StateClass<TQV_51WinSelectObjects>(),
                                   std::make_unique<TQV_51WinSelectObjectsParam>(false, Tool));
    auto param = std::make_unique<TQV_50SelectObjectsParam>(5, Tool);
    if (TGeoPage* page = C.Objects.GeoPage)
        param->OnSelected = [page](TQV_00CADPrgParam*, TObject2D* Obj, bool, int32_t) {
            page->OnSelectedObj(Obj);
        };
    return prog.StartOperation(StateClass<TQV_50SelectObjects>(), std::move(param));
}

bool WindowSelectionOn(TCommandContext& C)
{
    QAction* sw = C.Main.Command("mnuWinSelect");
    return sw && sw->isChecked();
}

bool MyDeleteClick(TCommandContext& C)
{
    return StartSelection(C, StateClass<TMyCancella>(), false);
}

bool MyDeleteWinClick(TCommandContext& C)
{
    return StartSelection(C, StateClass<TMyCancella>(), true);
}

bool MySemplificaPolyClick(TCommandContext& C)
{
    if (C.Objects.GeoPage)
        C.Objects.GeoPage->Panel().ShowCounts(0, 0);
    return StartSelection(C, StateClass<TMyRiducePoly>(), WindowSelectionOn(C));
}
