#include "QVGeoTree.h"

#include "QVBitmap2D.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVSplines.h"
#include "QVVectText.h"

#include <algorithm>
#include <typeinfo>

namespace {

const TGeoNodeStyle PointStyle{"twGeo20", 2};
const TGeoNodeStyle LineStyle{"twGeo30", 3};
const TGeoNodeStyle FrameStyle{"twGeo40", 4};
const TGeoNodeStyle ArcStyle{"twGeo50", 5};
const TGeoNodeStyle CircleStyle{"twGeo60", 6};
const TGeoNodeStyle CurveStyle{"twGeo70", 7};
const TGeoNodeStyle PolylineStyle{"twGeo80", 8};
const TGeoNodeStyle SplineStyle{"twGeo90", 9};
const TGeoNodeStyle ImageStyle{"twGeoA0", 10};
const TGeoNodeStyle BlockStyle{"twGeoB0", 12};
const TGeoNodeStyle TextStyle{"twGeoC0", 13};
const TGeoNodeStyle StlStyle{"twGeoD0", 14};

// The STL surface is known by its registered name: the tree needs no more of it.
constexpr std::string_view StlSurfaceClass = "TQV_STLSurf";

template <class T> bool Is(const TGraphicObject& Obj)
{
    return dynamic_cast<const T*>(&Obj) != nullptr;
}

TTreeItemHandle MakeHandle(uint64_t Sequence, uint8_t Layer)
{
    return static_cast<TTreeItemHandle>((Sequence << 8) | Layer);
}

} // namespace

namespace {

const TGeoNodeStyle* StyleOfClass(const TGraphicObject& Obj)
{
    // In this order: an elliptic arc is "any other curve", after the arcs, circles, polylines
    // and splines that are curves too.
    if (Is<TPunto2D>(Obj))
        return &PointStyle;
    if (Is<TLine2D>(Obj))
        return &LineStyle;
    if (Is<TFrame2D>(Obj))
        return &FrameStyle;
    if (Is<TArco2D>(Obj))
        return &ArcStyle;
    if (Is<TCerchio2D>(Obj))
        return &CircleStyle;
    if (Is<TPolyline2D>(Obj))
        return &PolylineStyle;
    if (Is<TBSpline2D>(Obj) || Is<TQVBSpline2D>(Obj))
        return &SplineStyle;
    if (Is<TCurve2D>(Obj))
        return &CurveStyle;
    if (Is<TJustifiedVectText2D>(Obj))
        return &TextStyle;
    if (Is<TBitmap2D>(Obj))
        return &ImageStyle;
    if (Is<TBlock2D>(Obj))
        return &BlockStyle;
    if (Obj.ClassName() == StlSurfaceClass)
        return &StlStyle;
    return nullptr;
}

} // namespace

const TGeoNodeStyle* GeoNodeStyle(const TGraphicObject& Obj)
{
    // The style depends on the class alone, and a loaded drawing holds long runs of one class:
    // the last answer is kept, which spares a million objects the chain of class tests.
    static const std::type_info* lastClass = nullptr;
    static const TGeoNodeStyle* lastStyle = nullptr;
    const std::type_info& objClass = typeid(Obj);
    if (lastClass != &objClass) {
        lastStyle = StyleOfClass(Obj);
        lastClass = &objClass;
    }
    return lastStyle;
}

std::string GeoNodeCaption(const TGraphicObject& Obj)
{
    const TGeoNodeStyle* style = GeoNodeStyle(Obj);
    if (!style)
        return {};
    std::string caption = GetLangMain(style->CaptionKey);
    if (style == &BlockStyle)
        // Appended piece by piece: g++ 12 warns falsely about " " + a string at -O2.
        caption.append(" ").append(BlockNameToStr(static_cast<const TBlock2D&>(Obj).SourceName));
    else if (style == &StlStyle)
        caption += " ";
    return caption;
}

std::string GeoLayerCaption(const TQV_21Layer& Layer)
{
    return GetLangMain("twGeo10") + Layer.Name;
}

// ---- the tree

TGeoTree::TGeoTree()
{
    LayerPositions.fill(-1);
}

TGeoTree::~TGeoTree()
{
    AttachDrawing(nullptr);
}

void TGeoTree::AttachDrawing(TQV_01Cmp* Drawing)
{
    if (FDrawing) {
        FDrawing->RemoveObserver(*this);
        if (FDrawing->TreeGeo == this)
            FDrawing->TreeGeo = nullptr;
        // Handles of this tree must not pass for another tree's.
        if (!FDrawing->IsBlocked()) {
            auto it = FDrawing->ObjectsIterator();
            for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
                obj->TreeNode = 0;
        }
        Clear();
    }
    FDrawing = Drawing;
    if (!FDrawing)
        return;
    FDrawing->TreeGeo = this;
    FDrawing->AddObserver(*this);
    BeginUpdate();
    {
        auto it = FDrawing->ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            obj->TreeNode = 0;
            AddObjectNode(*obj);
        }
    }
    EndUpdate();
}

void TGeoTree::EndUpdate()
{
    if (UpdateDepth > 0 && --UpdateDepth == 0 && FListener)
        FListener->UpdateEnded();
}

void TGeoTree::EnsureGeoTreeRoot()
{
    if (FHasRoot)
        return;
    if (FListener)
        FListener->BeginAddRoot();
    FHasRoot = true;
    if (FListener)
        FListener->EndAddRoot();
}

void TGeoTree::AddGeoTreeLayerNode(uint8_t Layer)
{
    if (LayerPositions[Layer] >= 0)
        return;
    EnsureGeoTreeRoot();
    const int32_t position = LayerNodeCount();
    if (FListener)
        FListener->BeginAddLayer(position);
    LayerOrder.push_back(Layer);
    std::string caption;
    if (FDrawing) {
        TQV_21Layer& layer = FDrawing->Layers.GetLayer(Layer);
        caption = GeoLayerCaption(layer);
        layer.SetTreeNode(static_cast<TTreeNodeId>(Layer) + 1);
    }
    // The caption changes with the layer's name only through CambiaNomeInTree.
    LayerCaptions.push_back(std::move(caption));
    LayerPositions[Layer] = position;
    if (FListener)
        FListener->EndAddLayer();
}

void TGeoTree::CambiaNomeInTree(uint8_t Layer)
{
    const int32_t position = LayerPositions[Layer];
    if (position < 0 || !FDrawing)
        return;
    LayerCaptions[static_cast<size_t>(position)] = GeoLayerCaption(FDrawing->Layers.GetLayer(Layer));
    if (FListener)
        FListener->LayerCaptionChanged(position);
}

void TGeoTree::AddGeoTreeObjectNode(TGraphicObject& Obj)
{
    const uint8_t layer = Obj.Layer;
    AddGeoTreeLayerNode(layer);
    Obj.TreeNode = MakeHandle(NextSequence++, layer);
    ++NodeCounts[layer];
    if (FListener)
        FListener->ObjectNodeAdded(Obj);
}

void TGeoTree::AddObjectNode(TGraphicObject& Obj)
{
    // A class without a node leaves the object's TreeNode as it was.
    if (GeoNodeStyle(Obj))
        AddGeoTreeObjectNode(Obj);
}

bool TGeoTree::IsLive(TTreeItemHandle Handle) const
{
    const uint64_t sequence = HandleSequence(Handle);
    return Handle != 0 && sequence >= FirstLiveSequence && sequence < NextSequence;
}

void TGeoTree::DeleteObjectNode(TGraphicObject& Obj)
{
    // Called twice for an object the drawing deletes (its free event and its deletion), and for
    // objects whose node went with a clear: only a live node is removed, once.
    const TTreeItemHandle handle = Obj.TreeNode;
    if (!IsLive(handle))
        return;
    Obj.TreeNode = 0;
    --NodeCounts[HandleLayer(handle)];
    if (FListener)
        FListener->ObjectNodeRemoved(handle);
}

void TGeoTree::MoveGeoTreeObjectNode(TGraphicObject& Obj)
{
    // An object without a node (a class that gets none) has nothing to move.
    if (!IsLive(Obj.TreeNode))
        return;
    DeleteObjectNode(Obj);
    AddGeoTreeObjectNode(Obj);
}

void TGeoTree::Clear()
{
    if (FListener)
        FListener->BeginClear();
    if (FDrawing)
        for (uint8_t layer : LayerOrder)
            FDrawing->Layers.GetLayer(layer).SetTreeNode(0);
    FHasRoot = false;
    LayerOrder.clear();
    LayerCaptions.clear();
    LayerPositions.fill(-1);
    NodeCounts.fill(0);
    FirstLiveSequence = NextSequence;
    if (FListener)
        FListener->EndClear();
}

std::vector<TGeoObjectNode> TGeoTree::ObjectNodes(uint8_t Layer) const
{
    std::vector<TGeoObjectNode> nodes;
    if (!FDrawing || NodeCounts[Layer] <= 0)
        return nodes;
    nodes.reserve(static_cast<size_t>(NodeCounts[Layer]));
    auto it = FDrawing->ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        if (obj->TreeNode != 0 && HandleLayer(obj->TreeNode) == Layer && IsLive(obj->TreeNode))
            nodes.push_back({obj->TreeNode, obj});
    // Drawing order is node order unless nodes were moved here from another layer.
    const auto byHandle = [](const TGeoObjectNode& a, const TGeoObjectNode& b) {
        return a.Handle < b.Handle;
    };
    if (!std::is_sorted(nodes.begin(), nodes.end(), byHandle))
        std::sort(nodes.begin(), nodes.end(), byHandle);
    return nodes;
}
