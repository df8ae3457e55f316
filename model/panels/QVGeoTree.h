#pragma once
// The geometry tree: a root, under it one node per layer that holds objects, and under each layer
// one node per drawing object on it, so that the user finds an object, sees its data in the
// property panel and chooses layers.
//
// A traced drawing holds a million objects, so nothing is kept per object here but the object's
// own TreeNode: its node's item handle, which says the node's layer and its place among its
// siblings (later nodes have larger handles). The nodes of a layer are read from the drawing
// when someone asks for them (a tree view expanding the layer); the counts per layer are kept.
// The item model on top (model/ui) hears of every change through TGeoTreeListener.
//
// Qt-free; captions are language texts of the main window's section.
#include "QVCmp.h"
#include "QVSys.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The image list's indexes: the root, a layer, then the object classes (GeoNodeStyle).
constexpr int32_t GeoImageRoot = 0;
constexpr int32_t GeoImageLayer = 1;
constexpr int32_t GeoImageCount = 15;

// An object's node: its caption key and image, by class.
struct TGeoNodeStyle {
    const char* CaptionKey;
    int32_t Image;
};

// The style of Obj's class, the first matching row (a descendant counts as its ancestor); null for
// a class that gets no node (containers, labels, 3D lines, block definitions ...).
const TGeoNodeStyle* GeoNodeStyle(const TGraphicObject& Obj);
// The caption of Obj's node: the language text, with a blank and the block's name for a block
// reference and a trailing blank for an STL surface. Empty for a class without a node.
std::string GeoNodeCaption(const TGraphicObject& Obj);
// "twGeo10" text followed by the layer's name.
std::string GeoLayerCaption(const TQV_21Layer& Layer);

// The layer and the order of a node's item handle.
inline uint8_t HandleLayer(TTreeItemHandle Handle)
{
    return static_cast<uint8_t>(Handle & 0xFF);
}
inline uint64_t HandleSequence(TTreeItemHandle Handle)
{
    return static_cast<uint64_t>(Handle) >> 8;
}

// An object's node as a tree view lists it.
struct TGeoObjectNode {
    TTreeItemHandle Handle;
    TGraphicObject* Obj; // weak: the model forgets it when the node goes
};

// Told of every change of the tree, before and after where a view must know.
class TGeoTreeListener {
public:
    virtual ~TGeoTreeListener() = default;
    virtual void BeginAddRoot() {}
    virtual void EndAddRoot() {}
    // A layer node is added at Position among the root's children.
    virtual void BeginAddLayer(int32_t /*Position*/) {}
    virtual void EndAddLayer() {}
    // The caption of the layer node at Position changed.
    virtual void LayerCaptionChanged(int32_t /*Position*/) {}
    // Obj's node was added last under its layer's node (its TreeNode names it).
    virtual void ObjectNodeAdded(TGraphicObject& /*Obj*/) {}
    // The node with that handle has gone; its object may be about to be freed.
    virtual void ObjectNodeRemoved(TTreeItemHandle /*Handle*/) {}
    // Every node goes (the drawing was emptied).
    virtual void BeginClear() {}
    virtual void EndClear() {}
    // The outermost update bracket has closed: work saved up meanwhile may be done now.
    virtual void UpdateEnded() {}
};

class TGeoTree : public TDrawingTree, private TDrawingObserver {
public:
    TGeoTree();
    ~TGeoTree() override;
    TGeoTree(const TGeoTree&) = delete;
    TGeoTree& operator=(const TGeoTree&) = delete;

    // Follows the drawing (not owned; null detaches): it becomes the drawing's tree, and every
    // object already in it gets its node. Detaching clears the objects' nodes.
    void AttachDrawing(TQV_01Cmp* Drawing);
    TQV_01Cmp* Drawing() const { return FDrawing; }
    // Not owned; one listener at a time.
    void SetListener(TGeoTreeListener* Listener) { FListener = Listener; }

    // ---- the drawing's hook
    // Adds the node of an object of a class that has one, under its layer's node (made first
    // when missing); the object's TreeNode names it.
    void AddObjectNode(TGraphicObject& Obj) override;
    // Removes the node its TreeNode names, once; nothing for an object without one.
    void DeleteObjectNode(TGraphicObject& Obj) override;
    void MoveGeoTreeObjectNode(TGraphicObject& Obj) override;
    void BeginUpdate() override { ++UpdateDepth; }
    void EndUpdate() override;

    // Adds the root when the tree has no node at all.
    void EnsureGeoTreeRoot();
    // Every node goes, and every layer forgets its node.
    void Clear();
    // The layer's node takes the layer's name as it is now ("twGeo10" followed by the name);
    // nothing when the layer has no node (CambiaNomeInTree).
    void CambiaNomeInTree(uint8_t Layer);

    // ---- what the tree holds
    bool HasRoot() const { return FHasRoot; }
    // The layer nodes in the order they were made.
    int32_t LayerNodeCount() const { return static_cast<int32_t>(LayerOrder.size()); }
    uint8_t LayerAt(int32_t Position) const { return LayerOrder[static_cast<size_t>(Position)]; }
    // -1 when the layer has no node.
    int32_t LayerPosition(uint8_t Layer) const { return LayerPositions[Layer]; }
    const std::string& LayerCaption(int32_t Position) const
    {
        return LayerCaptions[static_cast<size_t>(Position)];
    }
    // The object nodes under the layer's node.
    int32_t ObjectNodeCount(uint8_t Layer) const { return NodeCounts[Layer]; }
    // The object nodes under the layer's node in their order, read from the drawing.
    std::vector<TGeoObjectNode> ObjectNodes(uint8_t Layer) const;
    // True when this tree handed Handle out since its last clear. An object's TreeNode is
    // zeroed when its node goes, so an object's handle that passes names its node.
    bool IsLive(TTreeItemHandle Handle) const;
    bool Updating() const { return UpdateDepth > 0; }

private:
    // ---- the drawing's events
    void ObjectAdded(TGraphicObject&) override {}
    void ObjectBoxChanged(TGraphicObject&) override {}
    void ObjectRemoved(TGraphicObject& Obj) override { DeleteObjectNode(Obj); }
    void ObjectsCleared() override { Clear(); }

    // The layer's node, made (and the root with it) when missing.
    void AddGeoTreeLayerNode(uint8_t Layer);
    void AddGeoTreeObjectNode(TGraphicObject& Obj);

    TQV_01Cmp* FDrawing = nullptr;
    TGeoTreeListener* FListener = nullptr;
    bool FHasRoot = false;
    std::vector<uint8_t> LayerOrder;
    std::vector<std::string> LayerCaptions;
    std::array<int32_t, 256> LayerPositions{};
    std::array<int32_t, 256> NodeCounts{};
    // Handles are never reused: the next sequence number, and the first one still live (those
    // below it went with the last clear).
    uint64_t NextSequence = 1;
    uint64_t FirstLiveSequence = 1;
    int32_t UpdateDepth = 0;
};
