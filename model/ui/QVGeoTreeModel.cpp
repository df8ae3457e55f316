#include "QVGeoTreeModel.h"

#include "QVLanguage.h"

#include <QMetaObject>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>
#include <exception>
#include <functional>

namespace {

// internalId of an index: 0 the root, 1 + L layer L's node, ObjectIdBase + L an object under
// layer L.
constexpr quintptr RootId = 0;
constexpr quintptr LayerIdBase = 1;
constexpr quintptr ObjectIdBase = 257;

constexpr int ImageSize = 16;

QIcon Drawn(const std::function<void(QPainter&)>& Draw)
{
    QPixmap pixmap(ImageSize, ImageSize);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 60, 110), 1.4));
    p.setBrush(Qt::NoBrush);
    Draw(p);
    p.end();
    return QIcon(pixmap);
}

QList<QIcon> DrawImages()
{
    const QColor paper(250, 250, 245), ink(40, 60, 110), mark(200, 60, 40);
    QList<QIcon> images;
    // 0 the drawing: a sheet with a folded corner.
    images << Drawn([&](QPainter& p) {
        p.setBrush(paper);
        p.drawPolygon(QPolygonF({{3, 1.5}, {10, 1.5}, {13, 4.5}, {13, 14.5}, {3, 14.5}}));
        p.drawPolyline(QPolygonF({{10, 1.5}, {10, 4.5}, {13, 4.5}}));
    });
    // 1 a layer: two sheets lying one over the other.
    images << Drawn([&](QPainter& p) {
        p.setBrush(QColor(170, 200, 235));
        p.drawPolygon(QPolygonF({{1.5, 10}, {8, 7}, {14.5, 10}, {8, 13}}));
        p.setBrush(QColor(215, 230, 250));
        p.drawPolygon(QPolygonF({{1.5, 6}, {8, 3}, {14.5, 6}, {8, 9}}));
    });
    // 2 a point.
    images << Drawn([&](QPainter& p) {
        p.drawLine(QPointF(8, 2), QPointF(8, 14));
        p.drawLine(QPointF(2, 8), QPointF(14, 8));
        p.setBrush(mark);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 8), 2.6, 2.6);
    });
    // 3 a line with its ends.
    images << Drawn([&](QPainter& p) {
        p.drawLine(QPointF(3, 13), QPointF(13, 3));
        p.setBrush(mark);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(3, 13), 1.8, 1.8);
        p.drawEllipse(QPointF(13, 3), 1.8, 1.8);
    });
    // 4 a rectangle.
    images << Drawn([](QPainter& p) { p.drawRect(QRectF(2.5, 4.5, 11, 7)); });
    // 5 an arc.
    images << Drawn([](QPainter& p) { p.drawArc(QRectF(2.5, 4.5, 11, 11), 0, 180 * 16); });
    // 6 a circle.
    images << Drawn([](QPainter& p) { p.drawEllipse(QRectF(2.5, 2.5, 11, 11)); });
    // 7 a curve: an ellipse.
    images << Drawn([](QPainter& p) { p.drawEllipse(QRectF(1.5, 4.5, 13, 7)); });
    // 8 a polyline.
    images << Drawn([](QPainter& p) { p.drawPolyline(QPolygonF({{1.5, 12}, {5, 4}, {9, 11}, {14.5, 3}})); });
    // 9 a spline.
    images << Drawn([](QPainter& p) {
        QPainterPath path(QPointF(1.5, 12));
        path.cubicTo(QPointF(4, 0), QPointF(11, 16), QPointF(14.5, 4));
        p.drawPath(path);
    });
    // 10 an image: a framed picture of a hill.
    images << Drawn([&](QPainter& p) {
        p.setBrush(paper);
        p.drawRect(QRectF(1.5, 2.5, 13, 11));
        p.setBrush(QColor(90, 150, 90));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({{2, 13}, {7, 6}, {10, 10}, {12, 8}, {14, 13}}));
        p.setBrush(QColor(230, 180, 40));
        p.drawEllipse(QPointF(11.5, 5), 1.5, 1.5);
    });
    // 11 a container: a dashed box.
    images << Drawn([&](QPainter& p) {
        p.setPen(QPen(ink, 1.2, Qt::DashLine));
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    });
    // 12 a block: a box with a smaller one inside.
    images << Drawn([&](QPainter& p) {
        p.drawRect(QRectF(1.5, 1.5, 13, 13));
        p.setBrush(QColor(170, 200, 235));
        p.drawRect(QRectF(5, 5, 6, 6));
    });
    // 13 a text: an A in strokes, as the stroke fonts draw it.
    images << Drawn([](QPainter& p) {
        p.drawPolyline(QPolygonF({{3, 14}, {8, 2}, {13, 14}}));
        p.drawLine(QPointF(5, 10), QPointF(11, 10));
    });
    // 14 an STL surface: a triangle mesh.
    images << Drawn([&](QPainter& p) {
        p.setBrush(QColor(215, 230, 250));
        p.drawPolygon(QPolygonF({{1.5, 14}, {8, 2}, {14.5, 14}}));
        p.drawLine(QPointF(4.75, 8), QPointF(11.25, 8));
        p.drawLine(QPointF(4.75, 8), QPointF(8, 14));
        p.drawLine(QPointF(11.25, 8), QPointF(8, 14));
    });
    return images;
}

bool ByHandle(const TGeoObjectNode& Node, TTreeItemHandle Handle)
{
    return Node.Handle < Handle;
}

} // namespace

const QList<QIcon>& GeoTreeImages()
{
    static const QList<QIcon> images = DrawImages();
    return images;
}

TGeoTreeModel::TGeoTreeModel(TGeoTree& Tree, QObject* Parent) : QAbstractItemModel(Parent), Tree(Tree)
{
    Tree.SetListener(this);
}

TGeoTreeModel::~TGeoTreeModel()
{
    Tree.SetListener(nullptr);
}

// ---- structure

QModelIndex TGeoTreeModel::RootIndex() const
{
    return Tree.HasRoot() ? createIndex(0, 0, RootId) : QModelIndex();
}

QModelIndex TGeoTreeModel::LayerIndex(uint8_t Layer) const
{
    const int32_t position = Tree.LayerPosition(Layer);
    return position < 0 ? QModelIndex() : createIndex(position, 0, LayerIdBase + Layer);
}

int TGeoTreeModel::Level(const QModelIndex& Index)
{
    if (!Index.isValid())
        return -1;
    const quintptr id = Index.internalId();
    return id == RootId ? 0 : id < ObjectIdBase ? 1 : 2;
}

uint8_t TGeoTreeModel::LayerOf(const QModelIndex& Index) const
{
    const quintptr id = Index.internalId();
    return static_cast<uint8_t>(id >= ObjectIdBase ? id - ObjectIdBase : id - LayerIdBase);
}

int TGeoTreeModel::LayerRowCount(uint8_t Layer) const
{
    const TLayerRows& l = Layers[Layer];
    size_t n = l.Rows.size();
    if (GapLayer == Layer)
        n -= GapEnd - GapBegin;
    return static_cast<int>(n);
}

const TGeoObjectNode& TGeoTreeModel::Row(uint8_t Layer, size_t R) const
{
    const TLayerRows& l = Layers[Layer];
    if (GapLayer == Layer && R >= GapBegin)
        R += GapEnd - GapBegin;
    return l.Rows[R];
}

QModelIndex TGeoTreeModel::index(int R, int Column, const QModelIndex& Parent) const
{
    if (R < 0 || Column != 0)
        return {};
    switch (Level(Parent)) {
    case -1:
        return R == 0 && Tree.HasRoot() ? createIndex(0, 0, RootId) : QModelIndex();
    case 0:
        return R < Tree.LayerNodeCount() ? createIndex(R, 0, LayerIdBase + Tree.LayerAt(R)) : QModelIndex();
    case 1: {
        const uint8_t layer = LayerOf(Parent);
        return R < LayerRowCount(layer) ? createIndex(R, 0, ObjectIdBase + layer) : QModelIndex();
    }
    default:
        return {};
    }
}

QModelIndex TGeoTreeModel::parent(const QModelIndex& Child) const
{
    switch (Level(Child)) {
    case 1:
        return RootIndex();
    case 2:
        return LayerIndex(LayerOf(Child));
    default:
        return {};
    }
}

int TGeoTreeModel::rowCount(const QModelIndex& Parent) const
{
    if (Parent.column() > 0)
        return 0;
    switch (Level(Parent)) {
    case -1:
        return Tree.HasRoot() ? 1 : 0;
    case 0:
        return Tree.LayerNodeCount();
    case 1:
        return LayerRowCount(LayerOf(Parent));
    default:
        return 0;
    }
}

int TGeoTreeModel::columnCount(const QModelIndex&) const
{
    return 1;
}

bool TGeoTreeModel::hasChildren(const QModelIndex& Parent) const
{
    if (Level(Parent) == 1) {
        const uint8_t layer = LayerOf(Parent);
        return Layers[layer].Fetched ? LayerRowCount(layer) > 0 : Tree.ObjectNodeCount(layer) > 0;
    }
    return rowCount(Parent) > 0;
}

bool TGeoTreeModel::canFetchMore(const QModelIndex& Parent) const
{
    if (Level(Parent) != 1)
        return false;
    const uint8_t layer = LayerOf(Parent);
    return !Layers[layer].Fetched && Tree.ObjectNodeCount(layer) > 0;
}

void TGeoTreeModel::fetchMore(const QModelIndex& Parent)
{
    if (!canFetchMore(Parent))
        return;
    const uint8_t layer = LayerOf(Parent);
    std::vector<TGeoObjectNode> nodes;
    try {
        nodes = Tree.ObjectNodes(layer);
    } catch (const std::exception&) {
        // The drawing is being walked by an operation: the layer is read on the next request.
        return;
    }
    TLayerRows& l = Layers[layer];
    if (nodes.empty()) {
        l.Fetched = true;
        return;
    }
    beginInsertRows(Parent, 0, static_cast<int>(nodes.size()) - 1);
    l.Rows = std::move(nodes);
    l.Fetched = true;
    endInsertRows();
}

QVariant TGeoTreeModel::data(const QModelIndex& Index, int Role) const
{
    const int level = Level(Index);
    if (level < 0)
        return {};
    if (level == 0) {
        switch (Role) {
        case Qt::DisplayRole:
            return QString::fromStdString(GetLangMain("twGeo00"));
        case Qt::DecorationRole:
            return GeoTreeImages().at(GeoImageRoot);
        case NodeLevelRole:
            return 0;
        default:
            return {};
        }
    }
    if (level == 1) {
        const uint8_t layer = LayerOf(Index);
        switch (Role) {
        case Qt::DisplayRole:
            return QString::fromStdString(Tree.LayerCaption(Index.row()));
        case Qt::DecorationRole:
            return GeoTreeImages().at(GeoImageLayer);
        case NodeDataRole:
            return layer + 1;
        case NodeLevelRole:
            return 1;
        default:
            return {};
        }
    }
    const TGraphicObject* obj = ObjectAt(Index);
    if (!obj)
        return {};
    switch (Role) {
    case Qt::DisplayRole:
        return QString::fromStdString(GeoNodeCaption(*obj));
    case Qt::DecorationRole: {
        const TGeoNodeStyle* style = GeoNodeStyle(*obj);
        return style ? GeoTreeImages().at(style->Image) : QVariant();
    }
    case NodeDataRole:
        return obj->ID;
    case NodeLevelRole:
        return 2;
    default:
        return {};
    }
}

TGraphicObject* TGeoTreeModel::ObjectAt(const QModelIndex& Index) const
{
    if (Level(Index) != 2)
        return nullptr;
    const uint8_t layer = LayerOf(Index);
    if (Index.row() >= LayerRowCount(layer))
        return nullptr;
    return Row(layer, static_cast<size_t>(Index.row())).Obj;
}

QModelIndex TGeoTreeModel::IndexOf(const TGraphicObject& Obj)
{
    const TTreeItemHandle handle = Obj.TreeNode;
    if (!Tree.IsLive(handle))
        return {};
    const uint8_t layer = HandleLayer(handle);
    const QModelIndex layerIndex = LayerIndex(layer);
    if (!layerIndex.isValid())
        return {};
    fetchMore(layerIndex);
    if (!Tree.Updating())
        Flush();
    const std::vector<TGeoObjectNode>& rows = Layers[layer].Rows;
    const auto it = std::lower_bound(rows.begin(), rows.end(), handle, ByHandle);
    if (it == rows.end() || it->Handle != handle || it->Obj != &Obj)
        return {};
    return createIndex(static_cast<int>(it - rows.begin()), 0, ObjectIdBase + layer);
}

// ---- the tree's events

void TGeoTreeModel::BeginAddRoot()
{
    beginInsertRows({}, 0, 0);
}

void TGeoTreeModel::EndAddRoot()
{
    endInsertRows();
}

void TGeoTreeModel::BeginAddLayer(int32_t Position)
{
    beginInsertRows(RootIndex(), Position, Position);
}

void TGeoTreeModel::EndAddLayer()
{
    endInsertRows();
}

void TGeoTreeModel::LayerCaptionChanged(int32_t Position)
{
    const QModelIndex i = index(Position, 0, RootIndex());
    emit dataChanged(i, i, {Qt::DisplayRole});
}

void TGeoTreeModel::ObjectNodeAdded(TGraphicObject& Obj)
{
    const uint8_t layer = HandleLayer(Obj.TreeNode);
    TLayerRows& l = Layers[layer];
    if (!l.Fetched) {
        // Nothing to show until the layer is read; only whether it has children changes.
        if (Tree.ObjectNodeCount(layer) == 1)
            ChildrenAppeared();
        return;
    }
    if (Tree.Updating()) {
        l.Pending.push_back({Obj.TreeNode, &Obj});
        return;
    }
    const int at = LayerRowCount(layer);
    beginInsertRows(LayerIndex(layer), at, at);
    l.Rows.push_back({Obj.TreeNode, &Obj});
    endInsertRows();
}

void TGeoTreeModel::ObjectNodeRemoved(TTreeItemHandle Handle)
{
    const uint8_t layer = HandleLayer(Handle);
    TLayerRows& l = Layers[layer];
    if (!l.Fetched) {
        if (Tree.ObjectNodeCount(layer) == 0)
            ChildrenAppeared();
        return;
    }
    // The row stays, without its object, until the next flush takes out all such rows at once.
    for (std::vector<TGeoObjectNode>* rows : {&l.Rows, &l.Pending}) {
        const auto it = std::lower_bound(rows->begin(), rows->end(), Handle, ByHandle);
        if (it == rows->end() || it->Handle != Handle)
            continue;
        it->Obj = nullptr;
        if (rows == &l.Rows) {
            l.FirstDead = std::min(l.FirstDead, static_cast<size_t>(it - rows->begin()));
            PostFlush();
        }
        return;
    }
}

void TGeoTreeModel::BeginClear()
{
    beginResetModel();
}

void TGeoTreeModel::EndClear()
{
    for (TLayerRows& l : Layers)
        l = TLayerRows();
    endResetModel();
}

void TGeoTreeModel::ChildrenAppeared()
{
    // The views lay the layer out again and ask hasChildren anew; no index changes.
    emit layoutAboutToBeChanged();
    emit layoutChanged();
}

void TGeoTreeModel::PostFlush()
{
    if (Tree.Updating() || FlushPosted)
        return;
    FlushPosted = true;
    QMetaObject::invokeMethod(
        this, [this] { Flush(); }, Qt::QueuedConnection);
}

// ---- flushing

void TGeoTreeModel::Flush()
{
    FlushPosted = false;
    for (int layer = 0; layer < static_cast<int>(Layers.size()); ++layer) {
        FlushLayer(static_cast<uint8_t>(layer));
        ShowPending(static_cast<uint8_t>(layer));
    }
}

void TGeoTreeModel::FlushLayer(uint8_t Layer)
{
    TLayerRows& l = Layers[Layer];
    if (l.FirstDead == NoRow)
        return;
    const QModelIndex parent = LayerIndex(Layer);
    std::vector<TGeoObjectNode>& v = l.Rows;
    // One sweep from the end: live rows move up to the end of the vector and each run of
    // deleted rows is announced as it is passed. Rows [i, t) are the gap between what is left
    // to sweep and what has been kept, so the rows a view sees stay in step at every signal.
    const size_t n = v.size();
    size_t i = n, t = n;
    GapLayer = Layer;
    GapBegin = GapEnd = n;
    while (i > l.FirstDead) {
        if (v[i - 1].Obj) {
            v[--t] = v[--i];
            GapBegin = i;
            GapEnd = t;
            continue;
        }
        size_t a = i - 1;
        while (a > l.FirstDead && !v[a - 1].Obj)
            --a;
        beginRemoveRows(parent, static_cast<int>(a), static_cast<int>(i - 1));
        i = a;
        GapBegin = i;
        endRemoveRows();
    }
    std::move(v.begin() + static_cast<std::ptrdiff_t>(t), v.end(),
              v.begin() + static_cast<std::ptrdiff_t>(i));
    v.resize(i + (n - t));
    GapLayer = -1;
    l.FirstDead = NoRow;
}

void TGeoTreeModel::ShowPending(uint8_t Layer)
{
    TLayerRows& l = Layers[Layer];
    if (l.Pending.empty())
        return;
    std::vector<TGeoObjectNode> added;
    added.reserve(l.Pending.size());
    for (const TGeoObjectNode& node : l.Pending)
        if (node.Obj)
            added.push_back(node);
    l.Pending.clear();
    if (added.empty())
        return;
    const int at = LayerRowCount(Layer);
    beginInsertRows(LayerIndex(Layer), at, at + static_cast<int>(added.size()) - 1);
    l.Rows.insert(l.Rows.end(), added.begin(), added.end());
    endInsertRows();
}
