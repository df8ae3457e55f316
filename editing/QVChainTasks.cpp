#include "QVChainTasks.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVFormat.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVScenePreview.h"
#include "QVServices.h"
#include "QVStock.h"
#include "QVTasks.h"
#include "QVVariabili.h"
#include "UnitCatena.h"
#include "UnitTab.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <vector>

int32_t HoleSelectKinds = HolePoints;
THoleFilter HoleFilter;
TViewPreview* PtAlongPreview = nullptr;

namespace {

TQV_50SelectObjectsParam& SelectionOf(TQV_00CADPrgParam* Param, const char* Task)
{
    auto* select = dynamic_cast<TQV_50SelectObjectsParam*>(Param);
    if (!select)
        throw ECADCoreException(std::string(Task) + ": Invalid param");
    return *select;
}

std::vector<int32_t> SelectedIDs(TQV_50SelectObjectsParam& Select)
{
    std::vector<int32_t> ids;
    TGraphicObjIterator it = Select.SelectedObjects.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        ids.push_back(obj->ID);
    return ids;
}

TListaCatene* TargetList(TQV_50SelectObjectsParam& Select)
{
    return static_cast<TListaCatene*>(Select.UserObject);
}

} // namespace

TChainInCatena::TChainInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                               TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_50SelectObjectsParam& select = SelectionOf(Param, "TChainInCatena");
    const std::vector<int32_t> ids = SelectedIDs(select);
    TListaCatene* list = TargetList(select);
    TObject2D* picked = ids.empty() || !::Drawing ? nullptr : ::Drawing->GetObject(ids.back());
    if (list && picked) {
        if (!TEntXCatena::Create(*picked).Chainable()) {
            MainWindow().MessageBox(GetLangString(463), GetLangString(450), TMsgIcon::Warning,
                                    TMsgButtons::Ok);
        } else {
            if (select.UserMode == 1)
                list->DeleteAll();
            ChainFromEntity(*::Drawing, *picked, *list);
            if (DrawingView)
                DrawingView->ResetOverlay();
            list->Redraw(false);
            switch (select.UserMode) {
            case 1:
                PointsAlongFromPage(false);
                break;
            case 2:
                ToolWindow().SetControlText("lbl3dChainInfo", GetLangText("frmToolWin", "lbl3dChainInfo1"));
                if (Grezzo)
                    Grezzo->SetFromChains(*list);
                break;
            default:
                ToolWindow().FocusControl("grpChain");
                break;
            }
        }
    }
    Cancel(NextState);
}

TSelezioneInCatena::TSelezioneInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_50SelectObjectsParam& select = SelectionOf(Param, "TSelezioneInCatena");
    if (TListaCatene* list = TargetList(select); list && ::Drawing) {
        ChainSelection(*::Drawing, SelectedIDs(select), *list);
        list->Redraw(false);
        ToolWindow().FocusControl("grpChain");
    }
    Cancel(NextState);
}

TSelezionePuntiInCatena::TSelezionePuntiInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                                 TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    TQV_50SelectObjectsParam& select = SelectionOf(Param, "TSelezionePuntiInCatena");
    if (TListaCatene* list = TargetList(select); list && ::Drawing) {
        // A selection without a single hole adds no empty chain.
        HoleChainOfSelection(*::Drawing, SelectedIDs(select), HoleSelectKinds, HoleFilter, *list);
        list->Redraw(true);
        ToolWindow().FocusControl("grpChainPoints");
    }
    Cancel(NextState);
}

bool PtAlongOptionsFromPage(TPtAlongOptions& Options)
{
    TToolWindowServices& page = ToolWindow();
    const std::optional<double> n = ParseUserNumber(page.ControlText("txtNumPtAlong"));
    const std::optional<double> r = ParseUserNumber(page.ControlText("txtHoleDia"));
    if (!n || !r)
        return false;
    // A count beyond what anyone places along one chain is taken as that many at most.
    constexpr double maxPoints = 100000;
    Options.Count = static_cast<int32_t>(std::clamp(std::trunc(*n), -1.0, maxPoints));
    Options.HoleRadius = *r;
    Options.Holes = page.ControlChecked("chkAlHoles");
    Options.Points = page.ControlChecked("chkAlPoints");
    return true;
}

TPtAlongResult PointsAlongFromPage(bool Commit)
{
    if (PtAlongPreview)
        PtAlongPreview->Clear();
    TPtAlongOptions options;
    if (!::Drawing || !PtAlongOptionsFromPage(options))
        return {};
    // The page's change handlers stay quiet while the tool writes its fields.
    const bool ready = ControlsReady;
    ControlsReady = false;
    const TPtAlongResult result = MakePointsAlong(*::Drawing, PtAlongChains, options, Commit, PtAlongPreview);
    if (result.Computed) {
        ToolWindow().SetControlText("txtLength", FormatCoord(result.Length));
        ToolWindow().SetControlText("txtBtPoints", FormatCoord(result.Spacing));
    }
    ControlsReady = ready;
    return result;
}

// ---- holding tabs -------------------------------------------------------------------------------

TMuoveDinamicoParam::TMuoveDinamicoParam(TCADStateClass AfterState, uint8_t Flag, double Width,
                                         TListaTab* TabList)
    : TQV_00CommonParam(AfterState), TabList(TabList), Width(Width), Flag(Flag)
{
}

TMuoveDinamicoParam::~TMuoveDinamicoParam() = default;

void TMuoveDinamicoParam::AddCurrentTab()
{
    if (TabList && CurrentTab)
        TabList->AddTab(std::move(CurrentTab));
}

namespace {

TListaCatene* OperationChains()
{
    TCurrentOperation* op = Machining().CurrentOp();
    return op ? op->Chains() : nullptr;
}

} // namespace

TMuoveDinamico::TMuoveDinamico(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                               TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    if (!dynamic_cast<TMuoveDinamicoParam*>(Param))
        throw ECADCoreException("TMuoveDinamico: Invalid param");
    SetDescription(StatePrompts[4]);
    if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
        prog->LastSnappedPoint = {1e8, 1e8, 1};
}

void TMuoveDinamico::StartTab(TMuoveDinamicoParam& P)
{
    P.CurrentTab = std::make_unique<TDatiTab>();
    TPoint2D at{};
    if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
        prog->GetSnappedPoint(at);
    P.CurrentTab->PickPoint = {at.X, at.Y};
    if (TListaCatene* chains = OperationChains(); chains && ::Drawing) {
        ProjectTab(*chains, *P.CurrentTab);
        BuildTabMarker(*::Drawing, FindChainById(*chains, P.CurrentTab->ChainID), *P.CurrentTab, false,
                       P.Width);
    }
}

bool TMuoveDinamico::OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                             TCADStateClass& NextState)
{
    const bool result = TQV_00State::OnEvent(Event, MouseButton, Shift, Key, NextState);
    auto* p = dynamic_cast<TMuoveDinamicoParam*>(Param);
    if (!p)
        return result;
    TListaCatene* chains = OperationChains();
    switch (Event) {
    case ceMouseMove:
        if (p->Started && p->CurrentTab && chains && ::Drawing) {
            TPoint2D at{};
            if (auto* prog = dynamic_cast<TQV_00Prog*>(&CADPrg))
                prog->GetSnappedPoint(at);
            p->CurrentTab->PickPoint = {at.X, at.Y};
            ProjectTab(*chains, *p->CurrentTab);
            BuildTabMarker(*::Drawing, FindChainById(*chains, p->CurrentTab->ChainID), *p->CurrentTab, false,
                           p->Width);
        }
        return result;
    case ceMouseDown:
        if (MouseButton != cmbLeft)
            return result;
        if (!p->Started) {
            p->Started = 1;
        } else if (p->CurrentTab) {
            if (chains && ::Drawing)
                BuildTabMarker(*::Drawing, FindChainById(*chains, p->CurrentTab->ChainID), *p->CurrentTab,
                               true, p->Width);
            p->AddCurrentTab();
        }
        StartTab(*p);
        return result;
    case ceUserDefined:
        if (Key != ueDone && Key != ueCancel)
            return result;
        // The tab under the mouse was never placed: it goes; the committed ones stay.
        p->CurrentTab.reset();
        if (DrawingView)
            DrawingView->ResetOverlay();
        Cancel(NextState);
        return true;
    default:
        return result;
    }
}
