// Move or copy to a layer, and explode.
#include "QVLayerTools.h"

#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVCmpOps.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVTasks.h"
#include "UndoRecord.h"
#include "UndoRedo.h"

#include <array>
#include <memory>
#include <utility>

namespace {

// The layer of the page's combo box (its first item when none is chosen).
uint8_t TargetLayer()
{
    const int32_t i = ToolWindow().ControlItemIndex("cboLayerTo");
    return static_cast<uint8_t>(i < 0 || i > 255 ? 0 : i);
}

// Language text Id with its two "%d" filled with A and B, in that order.
std::string Filled(int32_t Id, int32_t A, int32_t B)
{
    std::string text = GetLangString(Id);
    for (const int32_t n : {A, B})
        if (const size_t at = text.find("%d"); at != std::string::npos)
            text.replace(at, 2, std::to_string(n));
    return text;
}

} // namespace

// ---- layers ----

int32_t MoveToLayer(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects, uint8_t Layer)
{
    if (Objects.empty())
        return 0;
    TUndoRecord record(TUndoKind::MoveToLayer);
    TTreeUpdate update(Drawing.TreeGeo);
    for (TObject2D* o : Objects) {
        record.MovedToLayer(*o, o->Layer);
        o->Layer = Layer;
        if (Drawing.TreeGeo)
            Drawing.TreeGeo->MoveGeoTreeObjectNode(*o);
    }
    if (UndoRedo)
        record.Push(*UndoRedo);
    return static_cast<int32_t>(Objects.size());
}

int32_t CopyToLayer(TQV_01Cmp2D& Drawing, const std::vector<TObject2D*>& Objects, uint8_t Layer)
{
    std::vector<int32_t> made;
    const uint16_t kept = Drawing.CurrentLayer;
    Drawing.CurrentLayer = Layer;
    try {
        for (TObject2D* o : Objects)
            if (const int32_t id = AddTransformedCopy(Drawing, *o); id >= 0)
                made.push_back(id);
    } catch (...) {
        Drawing.CurrentLayer = kept;
        throw;
    }
    Drawing.CurrentLayer = kept;
    if (!made.empty() && UndoRedo) {
        TUndoRecord record(TUndoKind::CopyToLayer);
        for (const int32_t id : made)
            record.Added(*Drawing.GetObject(id));
        record.Push(*UndoRedo);
    }
    return static_cast<int32_t>(made.size());
}

TQV2d_MuoveInLayer::TQV2d_MuoveInLayer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const uint8_t layer = TargetLayer();
    int32_t moved = 0;
    if (TQV_01Cmp2D* drawing = DrawingOf(CADPrg)) {
        TEventsLock lock(CADPrg);
        moved = MoveToLayer(*drawing, SelectedObjectsOf(Param), layer);
        CADPrg.RepaintAfterOperation();
    }
    Cancel(NextState);
    ToolWindow().SetControlText("lblMCLayer", Filled(487, moved, layer));
}

TQV2d_CopiaInLayer::TQV2d_CopiaInLayer(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam,
                                       TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const uint8_t layer = TargetLayer();
    const std::vector<TObject2D*> selected = SelectedObjectsOf(Param);
    if (TQV_01Cmp2D* drawing = DrawingOf(CADPrg)) {
        TEventsLock lock(CADPrg);
        CopyToLayer(*drawing, selected, layer);
        CADPrg.RepaintAfterOperation();
    }
    Cancel(NextState);
    ToolWindow().SetControlText("lblMCLayer", Filled(488, static_cast<int32_t>(selected.size()), layer));
}

// ---- explode ----

void TQV2D_Esplode::Count(const TGraphicObject& Made)
{
    if (dynamic_cast<const TLine2D*>(&Made))
        ++LineCount;
    else if (dynamic_cast<const TCerchio2D*>(&Made) || dynamic_cast<const TArco2D*>(&Made))
        ++ArcCount;
    else if (dynamic_cast<const TPolyline2D*>(&Made))
        ++PolylineCount;
}

bool TQV2D_Esplode::CopyChildren(TQV_01Cmp2D& Drawing, const TBlock2D& Block, const TMatrix4& Placement,
                                 std::vector<TGraphicObject*>& Made)
{
    TSourceBlock2D* src = Block.Source();
    if (!src)
        return false;
    // The definition's children through its transform, then the reference's placement.
    const TMatrix4 m = src->GetModelTransformIn(Placement);
    TGraphicObjIterator it = src->Objects.GetIterator();
    for (TGraphicObject* child = it.First(); child; child = it.Next()) {
        auto* child2D = dynamic_cast<TObject2D*>(child);
        if (!child2D)
            return false;
        if (auto* nested = dynamic_cast<TBlock2D*>(child)) {
            if (!CopyChildren(Drawing, *nested, nested->GetModelTransformIn(m), Made))
                return false;
            continue;
        }
        std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*child);
        auto* copy2D = dynamic_cast<TObject2D*>(copy.get());
        if (!copy2D)
            return false;
        copy2D->SetBaseTransform(child2D->GetModelTransform());
        copy2D->SetModelTransform(m);
        const int32_t id = AddTransformedCopy(Drawing, *copy2D);
        if (id < 0)
            return false;
        Made.push_back(Drawing.GetObject(id));
    }
    return true;
}

void TQV2D_Esplode::ExplodeObject(TQV_01Cmp2D& Drawing, TObject2D& Obj)
{
    std::vector<TGraphicObject*> made;
    if (auto* block = dynamic_cast<TBlock2D*>(&Obj)) {
        const uint16_t kept = Drawing.CurrentLayer;
        Drawing.CurrentLayer = Obj.Layer;
        bool whole = false;
        try {
            whole = CopyChildren(Drawing, *block, block->GetModelTransform(), made);
        } catch (...) {
            Drawing.CurrentLayer = kept;
            throw;
        }
        Drawing.CurrentLayer = kept;
        if (!whole || made.empty()) {
            // A child that cannot be exploded keeps the whole block: nothing is lost.
            for (TGraphicObject* o : made)
                Drawing.DeleteObject(o->ID);
            return;
        }
    } else if (auto* frame = dynamic_cast<TFrame2D*>(&Obj)) {
        const TMatrix4 m = frame->GetModelTransform();
        const TPoint2D a = frame->Points().Get(0), b = frame->Points().Get(1);
        const std::array<TPoint2D, 4> corners = {m.TransformPoint2D(a), m.TransformPoint2D({a.X, b.Y, 1}),
                                                 m.TransformPoint2D(b), m.TransformPoint2D({b.X, a.Y, 1})};
        for (size_t i = 0; i < 4; ++i)
            made.push_back(Drawing.AddObjectToLayer(
                -1, Obj.Layer, std::make_unique<TLine2D>(-1, corners[i], corners[(i + 1) % 4])));
    } else if (auto* poly = dynamic_cast<TPolyline2D*>(&Obj)) {
        const int n = poly->Points().Count();
        if (n < 2)
            return;
        const TMatrix4 m = poly->GetModelTransform();
        for (int i = 1; i < n; ++i)
            made.push_back(Drawing.AddObjectToLayer(
                -1, Obj.Layer,
                std::make_unique<TLine2D>(-1, m.TransformPoint2D(poly->Points().Get(i - 1)),
                                          m.TransformPoint2D(poly->Points().Get(i)))));
    } else {
        return;
    }
    for (const TGraphicObject* o : made)
        Count(*o);
    if (UndoRedo) {
        TUndoRecord record(TUndoKind::Explode);
        record.Removed(Obj);
        for (const TGraphicObject* o : made)
            record.Added(*o);
        record.Push(*UndoRedo);
    }
    // A block's definition stays: the undo brings the reference back by it.
    Drawing.DeleteObject(Obj.ID);
}

std::string TQV2D_Esplode::ExplodeReport() const
{
    if (LineCount == 0 && ArcCount == 0 && PolylineCount == 0)
        return GetLangToolWin("300");
    // Appended piece by piece: g++ 12 warns falsely about a chain of + at -O2.
    std::string text = std::to_string(ObjectCount);
    text.append(" ").append(GetLangToolWin("301"));
    const std::pair<int32_t, const char*> parts[] = {
        {LineCount, "302"}, {ArcCount, "303"}, {PolylineCount, "304"}};
    for (const auto& [n, key] : parts)
        if (n > 0)
            text.append(" ").append(std::to_string(n)).append(" ").append(GetLangToolWin(key));
    return text;
}

TQV2D_Esplode::TQV2D_Esplode(TQV_00CADProg& CADPrg, TQV_00CADPrgParam* StateParam, TCADStateClass& NextState)
    : TQV_00State(CADPrg, StateParam, NextState)
{
    const std::vector<TObject2D*> selected = SelectedObjectsOf(Param);
    TQV_01Cmp2D* drawing = DrawingOf(CADPrg);
    Cancel(NextState);
    if (drawing && !selected.empty()) {
        if (TQVScene* view = CADPrg.ViewPort())
            view->ResetOverlay();
        TEventsLock lock(CADPrg);
        TTreeUpdate update(drawing->TreeGeo);
        for (TObject2D* o : selected) {
            if (dynamic_cast<TBitmap2D*>(o))
                continue;
            ExplodeObject(*drawing, *o);
            ++ObjectCount;
        }
        CADPrg.RepaintAfterOperation();
    }
    ToolWindow().SetControlText("stxInfoEsplode", ExplodeReport());
    ToolWindow().ShowPages({"tabExplode"}, "twExplode", 224, 160);
}
