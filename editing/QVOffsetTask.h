#pragma once
// The offset command as an operation of the interaction program: after the one-object pick the
// offset of the picked object follows the page's distance and side in red, and OK (user event 1)
// adds it to the drawing, deleting the picked object when the page says "move".
#include "QVCADPrg.h"
#include "QVScenePreview.h"
#include "UnitOffset.h"

#include <memory>

class TObject2D;
class TQV_01Cmp2D;

class TQV_85OffsetParam : public TQV_00CommonParam {
public:
    // The distance as the page shows it. The parameter follows the drawing: an object it frees
    // is no longer offset.
    TQV_85OffsetParam(TQV_01Cmp2D& Drawing, TObject2D* Object, double Distance);
    ~TQV_85OffsetParam() override;

    // The preview of the offset as it stands.
    void UpdatePreview();
    void ToggleSide();
    void SetDistance(double D);
    // The results into the drawing with one undo record; the picked object goes when Move and
    // something was made. Answers the number of objects added.
    int32_t Apply(bool Move);

    TQV_01Cmp2D& Drawing;
    TObject2D* Object;
    double Distance;
    bool Side = false;

private:
    std::unique_ptr<TViewPreview> Preview;
    int32_t FreeListener = 0;
};

// The running offset's parameter, for the offset page; null when none runs.
extern TQV_85OffsetParam* OffsetParam;

// Takes the pick: the offset parameter replaces the selection (the distance read from the page's
// txtOffsetDist; a text that is not a number is said and ends the operation).
class TQV_85OffsetSelObj : public TQV_00State {
public:
    TQV_85OffsetSelObj(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Waits for OK (user event 1, the page's "move" read then) or cancel (2).
class TQV_85OffsetTrasforma : public TQV_00State {
public:
    TQV_85OffsetTrasforma(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
    bool OnEvent(TCADPrgEvent Event, TCADMouseButton MouseButton, TShiftState Shift, int32_t Key,
                 TCADStateClass& NextState) override;
};
