#pragma once
// The geometry page of the main window's side panel: the geometry tree "TreeGeo" above and the
// property panel "grpInfoEdit" below, with the main window's handlers that join them: a click on
// an object's node shows the object in the panel and in the view, a picked object selects its
// node, and an edit of a command's value runs the command again.
//
// The page makes and owns the tree's content, its item model, the panel and their widgets. While
// it exists it is the program's panel (InfoEdit) and the entities' live-value panel.
#include "QVGeoTree.h"
#include "QVInfoEdit.h"

#include <QWidget>

#include <cstdint>
#include <memory>

class QModelIndex;
class QTreeView;
class TGeoTreeModel;
class TInfoEditWidget;
class TObject2D;
class TQV_01Cmp2D;
class TQVScene;
class TUndoRedo;

// What the page needs of the window that holds it.
class TGeoPageHost {
public:
    virtual ~TGeoPageHost() = default;
    // The view in which a node's object is shown; null while there is none.
    virtual TQVScene* GeoView() = 0;
    // The main window's command of that panel mode runs again, with the value just typed.
    virtual void RerunPanelCommand(TPanelMode Mode) = 0;
};

class TGeoPage : public QWidget {
public:
    // UnitIsMm chooses the panel's default values. The host is not owned and outlives the page.
    TGeoPage(TGeoPageHost& Host, bool UnitIsMm, QWidget* Parent = nullptr);
    ~TGeoPage() override;
    TGeoPage(const TGeoPage&) = delete;
    TGeoPage& operator=(const TGeoPage&) = delete;

    // The drawing the tree lists and the panel edits (not owned). Detach (null) before the
    // drawing is freed.
    void AttachDrawing(TQV_01Cmp2D* Drawing);
    // The undo log (not owned; null detaches): each undo hides the panel, which leaves its live
    // values. Detach before either goes.
    void AttachUndoLog(TUndoRedo* Log);

    TGeoTree& Tree() { return *FTree; }
    TInfoEdit& Panel() { return *FPanel; }
    TGeoTreeModel& Model() { return *FModel; }
    QTreeView* TreeView() const { return FTreeView; }
    TInfoEditWidget* PanelWidget() const { return FPanelWidget; }

    // ---- the main window's handlers
    // A click on a node: an object's node shows the object in the panel (read-only off, mode 0)
    // and as the view's rubber band; a layer's node is remembered.
    void TreeGeoClick(const QModelIndex& Index);
    // The selection tasks' callback: a picked object's node becomes the tree's current node.
    void OnSelectedObj(TObject2D* Obj);
    // The layer of the layer node last clicked; -1 before any.
    int32_t ClickedLayer() const { return FClickedLayer; }

private:
    TGeoPageHost& Host;
    TQV_01Cmp2D* FDrawing = nullptr;
    TUndoRedo* FUndoLog = nullptr;
    int32_t FreeListener = 0;
    int32_t FClickedLayer = -1;
    // The content outlives its model, which outlives the view that shows it.
    std::unique_ptr<TGeoTree> FTree;
    std::unique_ptr<TInfoEdit> FPanel;
    std::unique_ptr<TGeoTreeModel> FModel;
    QTreeView* FTreeView;          // child
    TInfoEditWidget* FPanelWidget; // child
};
