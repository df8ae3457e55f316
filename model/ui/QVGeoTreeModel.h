#pragma once
// The geometry tree as a Qt item model: the root, the layer nodes and, under a layer, its object
// nodes. A layer's object nodes are read from the drawing only when a view expands the layer
// (fetchMore), so a drawing of a million objects fills no rows while it loads; from then on the
// layer's rows follow the tree's additions, deletions and moves.
//
// Deletions are gathered and taken out in one pass per layer, after an update bracket of the
// tree or once control is back in the event loop: a large delete then costs one sweep of the
// rows, not one per object. Until then a deleted node's row is blank and names no object.
#include "QVGeoTree.h"

#include <QAbstractItemModel>
#include <QIcon>
#include <QList>

#include <array>
#include <cstddef>
#include <vector>

// The tree's images 0 to 14, by the indexes of GeoNodeStyle: our own small drawings.
const QList<QIcon>& GeoTreeImages();

class TGeoTreeModel : public QAbstractItemModel, private TGeoTreeListener {
public:
    enum TRole {
        // The number a node carries: a layer's index + 1, an object's ID.
        NodeDataRole = Qt::UserRole,
        // 0 the root, 1 a layer, 2 an object.
        NodeLevelRole,
    };

    // Listens to Tree (not owned), which must outlive the model.
    explicit TGeoTreeModel(TGeoTree& Tree, QObject* Parent = nullptr);
    ~TGeoTreeModel() override;

    QModelIndex index(int Row, int Column, const QModelIndex& Parent = {}) const override;
    QModelIndex parent(const QModelIndex& Child) const override;
    int rowCount(const QModelIndex& Parent = {}) const override;
    int columnCount(const QModelIndex& Parent = {}) const override;
    bool hasChildren(const QModelIndex& Parent = {}) const override;
    bool canFetchMore(const QModelIndex& Parent) const override;
    void fetchMore(const QModelIndex& Parent) override;
    QVariant data(const QModelIndex& Index, int Role = Qt::DisplayRole) const override;

    static int Level(const QModelIndex& Index);
    // The object of an object node; null for other nodes and for a deleted one.
    TGraphicObject* ObjectAt(const QModelIndex& Index) const;
    // The layer of a layer or object node.
    uint8_t LayerOf(const QModelIndex& Index) const;
    QModelIndex RootIndex() const;
    QModelIndex LayerIndex(uint8_t Layer) const;
    // The node of Obj, its layer's rows read first when needed; invalid when it has none.
    QModelIndex IndexOf(const TGraphicObject& Obj);
    // Takes out the deleted nodes' rows and shows the rows added during an update bracket now.
    void Flush();

private:
    struct TLayerRows {
        bool Fetched = false;
        // In node order; a deleted node's row stays, without its object, until the next flush.
        std::vector<TGeoObjectNode> Rows;
        size_t FirstDead = NoRow;
        // Added while the tree was in an update bracket, shown at its end.
        std::vector<TGeoObjectNode> Pending;
    };
    static constexpr size_t NoRow = static_cast<size_t>(-1);

    // ---- the tree's events
    void BeginAddRoot() override;
    void EndAddRoot() override;
    void BeginAddLayer(int32_t Position) override;
    void EndAddLayer() override;
    void LayerCaptionChanged(int32_t Position) override;
    void ObjectNodeAdded(TGraphicObject& Obj) override;
    void ObjectNodeRemoved(TTreeItemHandle Handle) override;
    void BeginClear() override;
    void EndClear() override;
    void UpdateEnded() override { Flush(); }

    int LayerRowCount(uint8_t Layer) const;
    const TGeoObjectNode& Row(uint8_t Layer, size_t Row) const;
    void FlushLayer(uint8_t Layer);
    void ShowPending(uint8_t Layer);
    // A layer not read yet gained its first node or lost its last: the view asks again whether
    // it has children.
    void ChildrenAppeared();
    void PostFlush();

    TGeoTree& Tree;
    std::array<TLayerRows, 256> Layers;
    bool FlushPosted = false;
    // While FlushLayer sweeps a layer, rows [GapBegin, GapEnd) of its vector are not shown.
    int GapLayer = -1;
    size_t GapBegin = 0, GapEnd = 0;
};
