#include "QVOffsetTask.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <optional>

TQV_85OffsetParam* OffsetParam = nullptr;

TQV_85OffsetParam::TQV_85OffsetParam(TQV_01Cmp2D& Drawing, TObject2D* Object, double Distance)
    : TQV_00CommonParam(nullptr), Drawing(Drawing), Object(Object), Distance(Distance)
{
    if (DrawingView)
        Preview = std::make_unique<TViewPreview>(*DrawingView);
    FreeListener = Drawing.AddFreeListener([this](TGraphicObject& Obj) {
        if (&Obj == this->Object)
            this->Object = nullptr;
    });
}

TQV_85OffsetParam::~TQV_85OffsetParam()
{
    Drawing.RemoveFreeListener(FreeListener);
    if (OffsetParam == this)
        OffsetParam = nullptr;
}

void TQV_85OffsetParam::UpdatePreview()
{
    if (!Preview)
        return;
    Preview->Clear();
    if (!Object)
        return;
    for (auto& e : MakeOffset(*Object, Distance, Side))
        Preview->AddPreview(std::move(e));
}

void TQV_85OffsetParam::ToggleSide()
{
    Side = !Side;
    UpdatePreview();
}

void TQV_85OffsetParam::SetDistance(double D)
{
    Distance = D;
    UpdatePreview();
}

int32_t TQV_85OffsetParam::Apply(bool Move)
{
    if (Preview)
        Preview->Clear();
    if (DrawingView)
        DrawingView->ResetOverlay();
    if (!Object)
        return 0;
    TOffsetResults results = MakeOffset(*Object, Distance, Side);
    // An offset that made nothing leaves the picked object where it is, also for "move".
    if (results.empty())
        return 0;
    TUndoRecord record(Move ? TUndoKind::OffsetMove : TUndoKind::OffsetKeep);
    for (auto& e : results) {
        e->UseLayerStyle = true;
        record.Added(*Drawing.AddObject(-1, std::move(e)));
    }
    if (Move)
        record.Removed(*Object);
    if (UndoRedo)
        record.Push(*UndoRedo);
    const auto added = static_cast<int32_t>(results.size());
    if (Move)
        Drawing.DeleteObject(Object->ID);
    if (DrawingView)
        DrawingView->RebuildAll(false);
    return added;
}

TQV_85OffsetSelObj::TQV_85OffsetSelObj(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    auto* select = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
    if (!select)
        throw ECADCoreException("TQV_85OffsetSelObj: Invalid param");
    TObject2D* picked = nullptr;
    {
        TGraphicObjIterator it = select->SelectedObjects.GetIterator();
        picked = dynamic_cast<TObject2D*>(it.First());
    }
    const std::optional<double> distance = ParseNumberOrReport(ToolWindow().ControlText("txtOffsetDist"));
    if (!picked || !distance || !::Drawing) {
        Cancel(NextState);
        return;
    }
    auto param = std::make_unique<TQV_85OffsetParam>(*::Drawing, picked, *distance);
    OffsetParam = param.get();
    CADPrg.ReplaceParam(*this, std::move(param));
    OffsetParam->UpdatePreview();
    NextState = StateClass<TQV_85OffsetTrasforma>();
}

TQV_85OffsetTrasforma::TQV_85OffsetTrasforma(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                             TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (!dynamic_cast<TQV_85OffsetParam*>(Param))
        throw ECADCoreException("TQV_85OffsetTrasforma: Invalid param");
}

bool TQV_85OffsetTrasforma::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift,
                                    int32_t Key, TCADStateClass& NextState)
{
    const bool result = TQV_00State::OnEvent(Event, MouseButton, Shift, Key, NextState);
    auto* param = dynamic_cast<TQV_85OffsetParam*>(Param);
    if (!param || Event != ceUserDefined || (Key != ueDone && Key != ueCancel))
        return result;
    if (Key == ueDone)
        param->Apply(ToolWindow().ControlChecked("rbtOffsetMove"));
    if (::Drawing)
        ::Drawing->RepaintViews();
    Cancel(NextState);
    return true;
}
