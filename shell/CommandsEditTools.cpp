// The editing commands that work on picked entities: fillet, trim, break, divide, join and extend
// (the edit toolbar's modify drop-down), the line and arc constructions (the line and arc
// drop-downs) and the one-entity selection (the analyse drop-down). Each starts a selection task
// whose after-state is its tool (editing/EditTools.h); the entry's panel mode and snap are set
// before.
#include "Commands.h"

#include "EditTools.h"
#include "ProgramObjects.h"
#include "QVGeoPage.h"
#include "QVInfoEdit.h"
#include "QVPrg2D.h"
#include "QVTasks.h"

#include <memory>

namespace {

constexpr uint16_t PickAperture = 5;

// Starts the task that picks for Tool; its picks go to the geometry tree.
bool StartPicking(TCommandContext& C, TCADStateClass Task, TCADStateClass Tool)
{
    auto param = std::make_unique<TQV_50SelectObjectsParam>(PickAperture, Tool);
    if (TGeoPage* page = C.Objects.GeoPage)
        param->OnSelected = [page](TQV_00CADPrgParam*, TObject2D* Obj, bool, int32_t) {
            page->OnSelectedObj(Obj);
        };
    return C.Objects.Prog->StartOperation(Task, std::move(param));
}

bool PickOne(TCommandContext& C, TCADStateClass Tool)
{
    return StartPicking(C, StateClass<TQV_50Seleziona1Ogg>(), Tool);
}

bool PickTwo(TCommandContext& C, TCADStateClass Tool)
{
    return StartPicking(C, StateClass<TQV_50Seleziona2Ogg>(), Tool);
}

double PanelValue(TCommandContext& C, int32_t Index)
{
    return C.Objects.GeoPage ? C.Objects.GeoPage->Panel().GetValue(Index) : 0;
}

void HidePanel(TCommandContext& C)
{
    if (C.Objects.GeoPage)
        C.Objects.GeoPage->Panel().SetVisible(false);
}

} // namespace

bool MyFilletClick(TCommandContext& C)
{
    FilletRadius = PanelValue(C, 0);
    return PickTwo(C, StateClass<TQV2D_Fillet>());
}

bool MyTrimClick(TCommandContext& C)
{
    return PickTwo(C, StateClass<TQV2D_Trim>());
}
bool MyBreakClick(TCommandContext& C)
{
    return PickTwo(C, StateClass<TQV2D_Break>());
}
bool MyDivideClick(TCommandContext& C)
{
    return PickOne(C, StateClass<TQV2D_Divide>());
}
bool MyJoinClick(TCommandContext& C)
{
    return PickTwo(C, StateClass<TQV2D_Join>());
}
bool MyExtendClick(TCommandContext& C)
{
    return PickOne(C, StateClass<TQV2D_Extend>());
}

bool MyLinePerpClick(TCommandContext& C)
{
    HidePanel(C);
    return PickOne(C, StateClass<TLineaPerpend>());
}

bool MyLineTangent2ArcClick(TCommandContext& C)
{
    return PickTwo(C, StateClass<TMyLineaTan2A>());
}
bool MyLineTangentAngleClick(TCommandContext& C)
{
    return PickOne(C, StateClass<TMyLineaTanAngle>());
}

bool MyArcTangent1Click(TCommandContext& C)
{
    HidePanel(C);
    return PickOne(C, StateClass<TMyArcoTan1>());
}

bool MyArcTangent2Click(TCommandContext& C)
{
    FilletRadius = PanelValue(C, 0);
    return PickTwo(C, StateClass<TMyArcoTan2>());
}

bool MySel1Entita(TCommandContext& C)
{
    return PickOne(C, StateClass<TSelez1Ent>());
}
