#include "QVGeoPage.h"

#include "QVCmp.h"
#include "QVGeoTreeModel.h"
#include "QVGuard.h"
#include "QVInfoEditWidget.h"
#include "QVScene.h"
#include "UndoRedo.h"

#include <QFontMetrics>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// The tab control whose page holds Widget, and that page; null when the widget is on none.
QTabWidget* TabsHolding(QWidget* Widget, QWidget*& Page)
{
    for (QWidget* w = Widget; w && w->parentWidget(); w = w->parentWidget()) {
        auto* stack = qobject_cast<QStackedWidget*>(w->parentWidget());
        if (!stack)
            continue;
        if (auto* tabs = qobject_cast<QTabWidget*>(stack->parentWidget())) {
            Page = w;
            return tabs;
        }
    }
    return nullptr;
}

} // namespace

TGeoPage::TGeoPage(TGeoPageHost& Host, bool UnitIsMm, QWidget* Parent)
    : QWidget(Parent), Host(Host), FTree(std::make_unique<TGeoTree>()),
      FPanel(std::make_unique<TInfoEdit>(UnitIsMm, QFontMetrics(font()).height() + 8)),
      FModel(std::make_unique<TGeoTreeModel>(*FTree)), FTreeView(new QTreeView(this)),
      FPanelWidget(new TInfoEditWidget(*FPanel, this))
{
    FTreeView->setObjectName("TreeGeo");
    FTreeView->setModel(FModel.get());
    FTreeView->setHeaderHidden(true);
    // One row height for all: a layer of a million objects is laid out without asking each row.
    FTreeView->setUniformRowHeights(true);
    FTreeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FTreeView, 1);
    layout->addWidget(FPanelWidget);

    // The root shows its layers.
    connect(FModel.get(), &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex& parent, int, int) {
                if (!parent.isValid())
                    FTreeView->expand(FModel->RootIndex());
            });
    connect(FTreeView, &QTreeView::clicked, this,
            [this](const QModelIndex& index) { GuardedCall([&] { TreeGeoClick(index); }); });
    FPanelWidget->OnRerunCommand = [this](TPanelMode mode) { this->Host.RerunPanelCommand(mode); };
    FPanel->OnShowGeometryTab = [this] {
        QWidget* page = nullptr;
        if (QTabWidget* tabs = TabsHolding(this, page); tabs && tabs->currentWidget() != page)
            tabs->setCurrentWidget(page);
    };
    InfoEdit = FPanel.get();
    LiveInfoPanel = FPanel.get();
}

TGeoPage::~TGeoPage()
{
    if (InfoEdit == FPanel.get())
        InfoEdit = nullptr;
    if (LiveInfoPanel == FPanel.get())
        LiveInfoPanel = nullptr;
    AttachUndoLog(nullptr);
    AttachDrawing(nullptr);
    // The widgets go before what they show.
    delete FPanelWidget;
    delete FTreeView;
}

void TGeoPage::AttachDrawing(TQV_01Cmp2D* Drawing)
{
    if (FDrawing && FreeListener)
        FDrawing->RemoveFreeListener(FreeListener);
    FreeListener = 0;
    FTree->AttachDrawing(Drawing);
    FPanel->AttachDrawing(Drawing);
    FDrawing = Drawing;
    FClickedLayer = -1;
    if (!FDrawing)
        return;
    // The view shows a clicked object until something else takes its place: it must not show
    // one the drawing has freed.
    FreeListener = FDrawing->AddFreeListener([this](TGraphicObject& Obj) {
        if (TQVScene* view = this->Host.GeoView(); view && view->RubberBandObject == &Obj)
            view->RubberBandObject = nullptr;
    });
    FTree->EnsureGeoTreeRoot();
}

void TGeoPage::TreeGeoClick(const QModelIndex& Index)
{
    switch (TGeoTreeModel::Level(Index)) {
    case 1:
        FClickedLayer = FModel->LayerOf(Index);
        break;
    case 2:
        // The node's own object: IDs may repeat in a drawing, the node does not.
        if (auto* obj = dynamic_cast<TObject2D*>(FModel->ObjectAt(Index))) {
            FPanel->ShowPicked(*obj);
            if (TQVScene* view = Host.GeoView())
                view->SetRubberBandObject(obj);
        }
        break;
    default:
        break;
    }
}

void TGeoPage::OnSelectedObj(TObject2D* Obj)
{
    if (!Obj)
        return;
    const QModelIndex index = FModel->IndexOf(*Obj);
    if (!index.isValid())
        return;
    FTreeView->setCurrentIndex(index);
    FTreeView->scrollTo(index);
}

void TGeoPage::AttachUndoLog(TUndoRedo* Log)
{
    if (FUndoLog)
        FUndoLog->OnUndo = nullptr;
    FUndoLog = Log;
    if (FUndoLog)
        FUndoLog->OnUndo = [this] {
            FPanel->SetReadOnly(false);
            FPanel->SetVisible(false);
        };
}
