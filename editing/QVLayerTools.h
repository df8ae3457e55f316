#pragma once
// Three one-shot tools on a selection: move to a layer, copy to a layer (the tool window's
// cboLayerTo names it, lblMCLayer tells the count), and explode blocks, rectangles and polylines
// into lines, arcs and polylines (the explode page tells what was made). Each pushes its undo
// records through the builder.
#include "QVCADPrg.h"
#include "QVMatrix.h"

#include <cstdint>
#include <string>
#include <vector>

class TBlock2D;
class TGraphicObject;
class TObject2D;
class TQV_01Cmp2D;

class TQV2d_MuoveInLayer : public TQV_00State {
public:
    TQV2d_MuoveInLayer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

class TQV2d_CopiaInLayer : public TQV_00State {
public:
    TQV2d_CopiaInLayer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);
};

// Moves the objects to Layer, one undo record of the (object, old layer) pairs; their tree nodes
// follow. The number moved.
int32_t MoveToLayer(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects, uint8_t Layer);
// Copies of the objects on Layer (classes that cannot be copied are skipped), one undo record of
// the copies. The number of copies.
int32_t CopyToLayer(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects, uint8_t Layer);

class TQV2D_Esplode : public TQV_00State {
public:
    TQV2D_Esplode(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState);

    // A block's children join the drawing where the block shows them (nested blocks too), with
    // one undo record; a block with a child that cannot be copied stays whole. A rectangle
    // becomes its four sides, a polyline its segments, each with one undo record. Anything else
    // stays.
    void ExplodeObject(TQV_01Cmp2D& Drawing, TObject2D& Obj);
    // The report text of the counters ("300" when nothing was made).
    std::string ExplodeReport() const;

    int32_t LineCount = 0, ArcCount = 0, PolylineCount = 0, ObjectCount = 0;

private:
    // The copies of a block's children through Placement; false when one cannot be copied.
    bool CopyChildren(TQV_01Cmp2D& Drawing, const TBlock2D& Block, const TMatrix4& Placement,
                      std::vector<TGraphicObject*>& Made);
    void Count(const TGraphicObject& Made);
};
