// The commands of the drawing tools that work through the tool window's pages or report on the
// drawing: offset, points along a chain, small objects, the drawing report and the end points.
#include "Commands.h"

#include "ToolPages.h"
#include "ProgramObjects.h"
#include "QVChainTasks.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVGeoPage.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVOffsetTask.h"
#include "QVPatterns.h"
#include "QVPrg2D.h"
#include "QVScenePreview.h"
#include "QVTasks.h"
#include "UnitCatena.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

#include <memory>

namespace {

void HidePanel()
{
    if (InfoEdit) {
        InfoEdit->SetVisible(false);
        InfoEdit->SetReadOnly(false);
    }
}

TToolPages* Pages(TCommandContext& C)
{
    return C.Objects.ToolWin ? C.Objects.ToolWin->ToolPages : nullptr;
}

} // namespace

bool MyOffsetClick(TCommandContext& C)
{
    HidePanel();
    auto param = std::make_unique<TQV_50SelectObjectsParam>(5, StateClass<TQV_85OffsetSelObj>());
    if (TGeoPage* page = C.Objects.GeoPage)
        param->OnSelected = [page](TQV_00CADPrgParam*, TObject2D* Obj, bool, int32_t) {
            page->OnSelectedObj(Obj);
        };
    return C.Objects.Prog->StartOperation(StateClass<TQV_50Seleziona1Ogg>(), std::move(param));
}

bool mnuPtAlongClick(TCommandContext& C)
{
    HidePanel();
    C.Objects.Prog->StopOperation();
    PtAlongChains.DeleteAll();
    if (TToolPages* pages = Pages(C)) {
        pages->Highlight();
        // The preview and the chain's lines go with the page.
        C.Objects.ToolWin->AddHideHandler([pages] {
            pages->Release();
            ClearChainDisplay(PtAlongChains);
        });
    }
    return true;
}

bool MyDeleteSmallClick(TCommandContext& C)
{
    HidePanel();
    if (C.Objects.ToolWin)
        C.Objects.ToolWin->SetControlText("stxReportSmall", "");
    C.Main.SetStatusMessage(StatusMessages[12]);
    if (TToolPages* pages = Pages(C))
        C.Objects.ToolWin->AddHideHandler([pages] { pages->Release(); });
    return true;
}

bool MyInfoClick(TCommandContext& C)
{
    if (TToolPages* pages = Pages(C))
        pages->ShowReport(MakeDrawingReport(*C.Objects.Drawing));
    return true;
}

bool MyShowEndPtClick(TCommandContext& C)
{
    TToolPages* pages = Pages(C);
    TViewPreview* markers = pages ? pages->Highlight() : nullptr;
    if (!markers)
        return false;
    markers->Clear();
    for (const TVector2D& p : EntityEndPoints(*C.Objects.Drawing)) {
        auto mark = std::make_unique<TPunto2D>(-1, TPoint2D{p.X, p.Y, 1});
        mark->UseLayerStyle = false;
        mark->Color = 0x0000FF;
        markers->AddPreview(std::move(mark));
    }
    return true;
}
