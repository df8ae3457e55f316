#pragma once
// The chain commands as states of the interaction program, each doing its work on the selection
// it is handed and returning to the idle state: a chain from one picked entity and all linked to
// it (for a machining operation, the points-along tool or the stock box), chains of the selected
// entities, and a hole chain of the selected points, arcs or circles. Also the points-along
// tool's run from its page's fields.
#include "QVCADPrg.h"
#include "QVServices.h"
#include "UnitPtAlong.h"

#include <memory>

class TViewPreview;

// The chain of the picked entity, into the parameter's UserObject list. UserMode 0 for a milling
// chain, 1 for the points-along chain (the list emptied first, the points previewed), 2 for the
// stock box's contour. An entity that cannot be chained is said in a message box.
class TChainInCatena : public TQV_00State {
public:
    TChainInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Chains of the selected entities only, in selection order.
class TSelezioneInCatena : public TQV_00State {
public:
    TSelezioneInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// One hole chain of the selected points (HoleSelectKinds 2) or full-circle arcs and circles
// (8 and 16) that pass HoleFilter.
class TSelezionePuntiInCatena : public TQV_00State {
public:
    TSelezionePuntiInCatena(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

extern int32_t HoleSelectKinds;
extern THoleFilter HoleFilter;

// The points-along page's fields: txtNumPtAlong, txtHoleDia, chkAlHoles, chkAlPoints; false when
// the two numbers are not numbers.
bool PtAlongOptionsFromPage(TPtAlongOptions& Options);
// The points along PtAlongChains by the page's fields, previewed (in place of the previous
// preview) or committed; the length and spacing go into txtLength and txtBtPoints.
TPtAlongResult PointsAlongFromPage(bool Commit);
// Where the points-along preview goes; the page sets it while it lives.
extern TViewPreview* PtAlongPreview;

class TListaTab;
struct TDatiTab;

// The holding-tab placement's parameter: the operation's tab list (not owned), the tab that
// follows the mouse (owned until it is committed) and the marker's width.
class TMuoveDinamicoParam : public TQV_00CommonParam {
public:
    TMuoveDinamicoParam(TCADStateClass AfterState, uint8_t Flag, double Width, TListaTab* TabList);
    ~TMuoveDinamicoParam() override;
    void AddCurrentTab();

    TListaTab* TabList;
    int16_t Started = 0;
    std::unique_ptr<TDatiTab> CurrentTab;
    double Width;
    uint8_t Flag;
};

// Places holding tabs on the current operation's chains: the first click starts, every later
// click commits the tab under the mouse and starts the next; Done or Cancel drops the last one.
class TMuoveDinamico : public TQV_00State {
public:
    TMuoveDinamico(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;

private:
    // A new tab at the snapped cursor point, projected and previewed.
    void StartTab(TMuoveDinamicoParam& P);
};
