#pragma once
// A geometry tree that records the IDs of the objects the drawing hands it.
#include "QVCmp.h"

#include <cstdint>
#include <vector>

class TRecordingTree : public TDrawingTree {
public:
    void AddObjectNode(TGraphicObject& Obj) override { Added.push_back(Obj.ID); }
    void DeleteObjectNode(TGraphicObject& Obj) override { Deleted.push_back(Obj.ID); }
    void MoveGeoTreeObjectNode(TGraphicObject& Obj) override { Moved.push_back(Obj.ID); }
    std::vector<int32_t> Added, Deleted, Moved;
};
