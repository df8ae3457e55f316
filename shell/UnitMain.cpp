#include "UnitMain.h"

#include "ui_UnitMain.h"

#include "CommandsView.h"
#include "EditTools.h"
#include "FileCommands.h"
#include "IniFile.h"
#include "MainCommands.h"
#include "MainFileHost.h"
#include "MainView.h"
#include "ProgramObjects.h"
#include "QVCmp.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVTransformTasks.h"
#include "QVVariabili.h"
#include "SceneWidget.h"
#include "ShellIcons.h"
#include "ShellMessages.h"
#include "UnitAbout.h"
#include "UnitConfig.h"
#include "UnitGrid.h"
#include "UnitToolWin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>
#include <QWheelEvent>

#include <algorithm>
#include <utility>

TfrmMain* frmMain = nullptr;

namespace {
// The side panel's tabs.
constexpr int GeometryTab = 0;
constexpr int MachiningTab = 1;
} // namespace

TfrmMain::TfrmMain(TProgramObjects& O, std::string FileToOpen)
    : ui(new Ui::TfrmMain), Objects(O), FFileToOpen(std::move(FileToOpen))
{
    ui->setupUi(this);
    // The status items live in the status bar; the form keeps them together in one strip.
    ui->tbrStatusBar->addWidget(ui->pnlStatusItems, 1);
    ui->tbrStatusBar->installEventFilter(this);
    ui->pnlStatusItems->installEventFilter(this);
    FCommands = std::make_unique<TMainCommands>(*this, Objects);

    // The machining part stays switched off.
    Command("sbtCnc")->setVisible(false);
    ui->SheetCnc->setEnabled(false);
    ui->sbtChangePst->setEnabled(false);
    ui->sbtRunPst->setEnabled(false);
    ui->sbtShowHidePath->setEnabled(false);
    BuildMachiningMenus();

    // The snap items: the status bar's button opens them at once.
    ui->sbtSnap->setMenu(FCommands->Menu("mnuSnapTo"));
    ui->sbtSnap->setPopupMode(QToolButton::InstantPopup);
    ui->sbtSnap->setIcon(ShellIcon("imgListStatus", 0));
    ui->TreeCnc->setContextMenuPolicy(Qt::CustomContextMenu);
    // The status bar's menu of the grid settings.
    ui->tbrStatusBar->setContextMenuPolicy(Qt::PreventContextMenu);
    UpdateInputEnabled();
    // The window previews the keys of all its controls (Enter and Esc).
    qApp->installEventFilter(this);
    // The transforms' pages close when their operation ends.
    ToolWinTasks = {StateClass<TQV_81TraslaSelectedObjects>(), StateClass<TQV_82RuotaSelectedObjects>(),
                    StateClass<TQV_83SpecchiaSelectedObjects>(), StateClass<TQV_84ScalaSelectedObjects>()};
}

TfrmMain::~TfrmMain() = default;

QWidget* TfrmMain::GraphicPanel() const
{
    return ui->pnlGraphicView;
}

QWidget* TfrmMain::GeometrySheet() const
{
    return ui->SheetGeo;
}

QAction* TfrmMain::Command(std::string_view Name) const
{
    return FCommands->Action(Name);
}

QAction* TfrmMain::ToolbarToggle(std::string_view Name) const
{
    for (QToolBar* bar : {ui->tbrFile, ui->tbrView, ui->tbrCreate, ui->tbrEdit, ui->tbrMRU})
        if (bar->objectName().toStdString() == Name)
            return bar->toggleViewAction();
    return Name == "toolWin" ? ui->toolWin->toggleViewAction() : nullptr;
}

void TfrmMain::SetSnapImage(int Index)
{
    ui->sbtSnap->setIcon(ShellIcon("imgListStatus", Index));
}

TSceneWidget* TfrmMain::Viewer() const
{
    return Objects.Viewer;
}

TGeoPage* TfrmMain::GeoPage() const
{
    return Objects.GeoPage;
}

TMainFileHost& TfrmMain::FileHost()
{
    return *Objects.FileHost;
}

void TfrmMain::Attach()
{
    TSceneWidget* viewer = Objects.Viewer;
    viewer->setObjectName("GraphicView");
    viewer->installEventFilter(this);
    Objects.View->OnMouseMove2D = [this](TQVScene&, const TViewerMouseEvent&, double, double) {
        GraphicViewMouseMove2D();
    };
    Objects.Prog->OnEndOperation = [this](TQV_00CADProg&, TCADStateClass Operation, TQV_00CADPrgParam*) {
        QV_PrgEndOperation(Operation);
    };
    Objects.Prog->OnDescriptionChanged = [this](TQV_00State& Sender) {
        QV_PrgDescriptionChanged(&Sender.Description);
    };
    // A task that fails has been ended already; the user is told once the event is handled.
    Objects.Prog->OnFailure = [](std::exception_ptr Failure) {
        GuardedCallLater([Failure] { std::rethrow_exception(Failure); });
    };
    QMenu* popup = FCommands->Menu("PopupDestro");
    connect(popup, &QMenu::aboutToShow, this, [this] {
        const bool running = Objects.Prog && Objects.Prog->OperationRunning;
        for (const char* name : {"mnuDone", "mnuCancel", "mnuCoord"})
            if (QAction* a = Command(name))
                a->setEnabled(running);
    });
    // The status bar's twins of Done and Cancel are the same actions: on again once it closes.
    connect(popup, &QMenu::aboutToHide, this, [this] { UpdateInputEnabled(); });
    viewer->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(viewer, &QWidget::customContextMenuRequested, this,
            [popup, viewer](const QPoint& P) { popup->popup(viewer->mapToGlobal(P)); });
    if (QTreeView* tree = Objects.GeoPage ? Objects.GeoPage->TreeView() : nullptr) {
        QMenu* treeMenu = FCommands->Menu("PopupTreeGeo");
        tree->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(tree, &QWidget::customContextMenuRequested, this,
                [treeMenu, tree](const QPoint& P) { treeMenu->popup(tree->viewport()->mapToGlobal(P)); });
    }
    Objects.FileCommands->RecentFiles().OnChanged = [this] { UpdateRecentMenu(); };
    UpdateRecentMenu();

    const TAppConfig& config = *Objects.Config;
    setGeometry(config.fWPL, config.fWPT, config.fWPW, config.fWPH);
    if (config.fWPMax)
        setWindowState(windowState() | Qt::WindowMaximized);
    KeepEntityPanel = false;
    FProgress.Attach(ui->lblCoordinate, ui->ProgressBar1, true);
    ui->ProgressBar1->hide();
}

void TfrmMain::FinishStart(const std::string& IniFileName)
{
    FCommands->Translate();
    LoadToolbarsAndRecent(IniFileName);
    ImpostaTbr();
    ImpostaHint();
    CurrLayerInfo();
    Command("sbtGridOnOff")->setChecked(Objects.Config->SGrid);
    Command("sbtAxisOnOff")->setChecked(Objects.Config->SAxis);
    ui->pgCtrGeoCnc->setTabText(MachiningTab, ui->pgCtrGeoCnc->tabText(MachiningTab) + " (Off)");
    setWindowTitle(QString::fromStdString(GetFileInfo("ProductName")));
    ui->pgCtrGeoCnc->setCurrentIndex(GeometryTab);
}

QAction* TfrmMain::CreaItemMenu(const char* Key, QMenu* Parent, const char* List, int ImageIndex)
{
    QAction* item = Parent->addAction(QString::fromStdString(GetLangMainCaption(Key)));
    item->setObjectName(Key);
    item->setIcon(ShellIcon(List, ImageIndex));
    // The machining part is switched off: its commands exist without a way to run them.
    item->setEnabled(false);
    return item;
}

void TfrmMain::BuildMachiningMenus()
{
    FCncMenu = new QMenu(this);
    FCncMenu->setObjectName("sbtCncMenu");
    CreaItemMenu("mnuCncNew", FCncMenu, "imgListFile", 0);
    CreaItemMenu("mnuEditNc", FCncMenu, "imgListFile", 13);
    CreaItemMenu("mnuCncGrbl", FCncMenu, "imgListFile", 36);
    Command("sbtCnc")->setMenu(FCncMenu);
    FPopupTreeCnc = new QMenu(this);
    FPopupTreeCnc->setObjectName("PopupTreeCnc");
    CreaItemMenu("mnuSelPost", FPopupTreeCnc, "imgListFile", 15);
    CreaItemMenu("mnuDelete", FPopupTreeCnc, "imgListFile", 16);
    CreaItemMenu("mnuCncNew", FPopupTreeCnc, "imgListFile", 0);
    CreaItemMenu("mnuEditNc", FPopupTreeCnc, "imgListFile", 13);
    CreaItemMenu("mnuEditParam", FPopupTreeCnc, "imgListCnc", 3);
    CreaItemMenu("mnuShowNci", FPopupTreeCnc, "imgListFile", 18);
    CreaItemMenu("mnuSimulate", FPopupTreeCnc, "imgListFile", 17);
    CreaItemMenu("mnuOpOnOff", FPopupTreeCnc, "imgListFile", 19);
    CreaItemMenu("mnuPostThis", FPopupTreeCnc, "imgListCnc", 6);
    CreaItemMenu("mnuTp2Geo", FPopupTreeCnc, "imgListCnc", 8);
}

QStringList TfrmMain::RecentFiles() const
{
    QStringList names;
    if (Objects.FileCommands)
        for (const std::string& name : Objects.FileCommands->RecentFiles().Items())
            names.append(QString::fromStdString(name));
    return names;
}

void TfrmMain::AddRecentFile(const QString& FileName)
{
    Objects.FileCommands->RecentFiles().Add(FileName.toStdString());
}

void TfrmMain::UpdateRecentMenu()
{
    QMenu* menu = FCommands->Menu("mnuRecentF");
    menu->clear();
    const QStringList names = RecentFiles();
    for (const QString& name : names)
        connect(menu->addAction(name), &QAction::triggered, this, [this, name] {
            RunCommand([&] { GuardedCall([&] { Hooks.OpenFile(name.toStdString()); }); });
        });
    menu->setEnabled(!names.isEmpty());
}

void TfrmMain::ImpostaGView()
{
    Objects.Prog->XSnap = Objects.Config->SnapX;
    Objects.Prog->YSnap = Objects.Config->SnapY;
    // The layers the user has not changed take the configured colour, then what the layer
    // settings file says, as after every clear.
    Objects.Drawing->SetDefaultLayersColor(Objects.Config->DefLayersColor);
    CaricaImpLayers(*Objects.Drawing, LayersIniName(), Objects.Config->DefLayersColor);
}

void TfrmMain::ImpostaTbr()
{
    const Qt::ToolButtonStyle style =
        Objects.Config->TbrImagesOnly ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon;
    for (QToolBar* bar : {ui->tbrFile, ui->tbrCreate, ui->tbrView, ui->tbrEdit})
        bar->setToolButtonStyle(style);
}

void TfrmMain::ImpostaHint()
{
    // Qt shows a tool tip wherever one is set: with hints off the main window keeps the tool-tip
    // events of its bars and of the view from them.
    FHintsOff = !Objects.Config->ShowInt;
    for (QWidget* bar : std::initializer_list<QWidget*>{ui->tbrFile, ui->tbrCreate, ui->tbrView, ui->tbrEdit,
                                                        ui->tbrMRU, ui->pnlStatusItems})
        for (QWidget* w : bar->findChildren<QWidget*>())
            w->installEventFilter(this);
}

void TfrmMain::CurrLayerInfo()
{
    const uint16_t index = Objects.Drawing->CurrentLayer;
    const QString caption = QString::fromStdString(GetLangMain("309")) + " " + QString::number(index);
    QAction* layer = Command("sbtLayer");
    layer->setIconText(caption);
    layer->setText(caption);
    CurrLayerCol(
        static_cast<uint32_t>(Objects.Drawing->Layers.GetLayer(static_cast<uint8_t>(index)).Pen.Color()));
}

void TfrmMain::CurrLayerCol(uint32_t Colour)
{
    QPalette p = ui->SpTBXCLCol->palette();
    p.setColor(QPalette::Window, QColor(Colour & 0xFF, (Colour >> 8) & 0xFF, (Colour >> 16) & 0xFF));
    ui->SpTBXCLCol->setPalette(p);
}

void TfrmMain::QV_PrgEndOperation(TCADStateClass Operation)
{
    if (OrtoSaved) {
        Objects.Prog->UseOrto = SavedUseOrto;
        OrtoSaved = false;
    }
    if (Objects.ToolWin &&
        std::find(ToolWinTasks.begin(), ToolWinTasks.end(), Operation) != ToolWinTasks.end())
        Objects.ToolWin->hide();
    if (ui->pgCtrGeoCnc->currentIndex() == GeometryTab) {
        if (KeepEntityPanel)
            KeepEntityPanel = false;
        else if (Objects.GeoPage)
            Objects.GeoPage->Panel().SetMode(TPanelMode::None);
    } else if (KeepEntityPanel) {
        KeepEntityPanel = false;
        ui->pgCtrGeoCnc->setCurrentIndex(MachiningTab);
    }
    Objects.Prog->UsaSnap = false;
    if (LayerOpPending) {
        LayerOpPending = false;
        LayerOpDone = true;
        // The idle state's prompt has come already: the message shows now, once.
        QV_PrgDescriptionChanged(nullptr);
    }
}

void TfrmMain::FormKeyPress(int Key)
{
    if (FReleased || !Objects.Prog)
        return;
    if (Key == Qt::Key_Escape) {
        Objects.Prog->SendUserEvent(ueCancel);
        Objects.Prog->StopOperation();
    } else if (Key == Qt::Key_Return || Key == Qt::Key_Enter) {
        if (Objects.Prog->OperationRunning)
            Objects.Prog->SendUserEvent(ueDone);
        else if (FCommands)
            FCommands->RepeatLast();
    }
}

bool TfrmMain::IsOwnKeyPress(QObject* Watched, QEvent* Event) const
{
    if (Event->type() != QEvent::KeyPress || !Watched->isWidgetType())
        return false;
    auto* w = static_cast<QWidget*>(Watched);
    if (w->window() != this)
        return false;
    // A key goes to the focus widget and on to its parents, and the application's filters may
    // see it more than once on the way: it counts once, at the first sight.
    QWidget* focus = QApplication::focusWidget();
    if (focus ? w != focus : w != this)
        return false;
    // The handling may run pending events (a rebuild under the busy cursor) before the second
    // sight: the press counts as seen until a key is released.
    if (Event == FKeySeen)
        return false;
    FKeySeen = Event;
    return true;
}

void TfrmMain::QV_PrgDescriptionChanged(const std::string* Prompt)
{
    if (LayerOpDone) {
        ShowStatusMessage(GetLangString(486));
        LayerOpDone = false;
    } else if (Prompt) {
        ShowStatusMessage(*Prompt);
    }
}

void TfrmMain::ShowSnapKind(int32_t Kind)
{
    // The grid switch shows the kind with its own state from now on.
    if (Objects.SetGrid)
        Objects.SetGrid->SnapIconIndex = Kind;
    SetSnapImage(Kind + (Objects.Prog && Objects.Prog->Snap2Grid ? 6 : 0));
}

void TfrmMain::SaveToolbarsAndRecent(const std::string& IniFileName)
{
    TMemIniFile ini(IniFileName);
    ini.Load();
    ini.WriteString("Toolbar", "State", saveState().toBase64().toStdString());
    Objects.FileCommands->RecentFiles().Save(ini);
    ini.UpdateFile();
}

void TfrmMain::LoadToolbarsAndRecent(const std::string& IniFileName)
{
    TMemIniFile ini(IniFileName);
    if (!ini.Load())
        return;
    const std::string state = ini.ReadString("Toolbar", "State", "");
    if (!state.empty())
        restoreState(QByteArray::fromBase64(QByteArray::fromStdString(state)));
    Objects.FileCommands->RecentFiles().Load(ini);
}

void TfrmMain::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    // Once the view has its size, as the zoom to extents needs it.
    QTimer::singleShot(0, this, [this] { RunCommand([this] { GuardedCall([this] { FormShow(); }); }); });
}

void TfrmMain::FormShow()
{
    if (FReleased)
        return;
    ui->toolWin->setMinimumWidth(236);
    Objects.Viewer->setToolTip(QString::fromStdString(GetLangMain("GraphicView.Hint")));
    Objects.Drawing->ZoomToExtents();
    if (!FFileToOpen.empty())
        Hooks.OpenFile(std::exchange(FFileToOpen, {}));
}

void TfrmMain::closeEvent(QCloseEvent* Event)
{
    if (FReleased) {
        Event->accept();
        return;
    }
    // A long job, and the rebuild of the view after a command, let events through while they
    // work on the drawing, which must outlive them: the close waits for their end and then asks
    // as always.
    if (FJobRunning || FCommandDepth > 0) {
        Event->ignore();
        if (!std::exchange(FCloseWaiting, true))
            ShowStatusMessage(GetLangString("CloseAfterJob"));
        return;
    }
    if (MessageBox(GetLangString(451), GetLangString(450), TMsgIcon::Warning, TMsgButtons::YesNo) !=
            TMsgResult::Yes ||
        !Hooks.CloseEditor()) {
        Event->ignore();
        return;
    }
    if (Objects.ToolWin)
        Objects.ToolWin->hide();
    GuardedCall([this] { Objects.Config->Save(); });
    try {
        SaveToolbarsAndRecent(Objects.Config->DataDir + "/rastrel.ini");
    } catch (const std::exception&) {
        // The layout and the recent files are a convenience: the close goes on without them.
    }
    Hooks.BeforeRelease();
    FReleased = true;
    if (OnRelease)
        OnRelease();
    UpdateInputEnabled();
    Event->accept();
}

// ---- services

void TfrmMain::SetStatusMessage(const std::string& Text)
{
    ui->StatusBarMess->setText(QString::fromStdString(Text));
    ui->StatusBarMess->repaint();
}

bool TfrmMain::GetPlacement(TWindowPlacement& Placement) const
{
    const QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
    Placement = {g.left(), g.top(), g.width(), g.height(), isMaximized()};
    return true;
}

TMsgResult TfrmMain::MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                                TMsgButtons Buttons)
{
    return ShowMessageBox(Text, Caption, Icon, Buttons);
}

TQVScene* TfrmMain::GeoView()
{
    return Objects.View.get();
}

void TfrmMain::RerunPanelCommand(TPanelMode Mode)
{
    // A new radius or angle takes effect for the picks still to come: the fillet only takes the
    // radius, the tangent constructions start again with the new value.
    switch (Mode) {
    case TPanelMode::Fillet:
        FilletRadius = Objects.GeoPage->Panel().GetValue(0);
        break;
    case TPanelMode::LineTangentAngle:
        Command("mnuLineTangentAngle")->trigger();
        break;
    case TPanelMode::ArcTangent2:
        Command("mnuArcTangent2")->trigger();
        break;
    default:
        // The drawing commands that a panel edit runs again come with those commands.
        break;
    }
}

// ---- input on and off

void TfrmMain::SetJobRunning(bool Running)
{
    FJobRunning = Running;
    UpdateInputEnabled();
    CloseWhenIdle();
}

void TfrmMain::RunCommand(const std::function<void()>& Work)
{
    struct TDepth {
        explicit TDepth(TfrmMain& M) : M(M) { ++M.FCommandDepth; }
        ~TDepth()
        {
            --M.FCommandDepth;
            M.CloseWhenIdle();
        }
        TfrmMain& M;
    } depth(*this);
    Work();
}

void TfrmMain::CloseWhenIdle()
{
    if (FCloseWaiting && !FJobRunning && FCommandDepth == 0)
        QTimer::singleShot(0, this, [this] { CloseWaited(); });
}

void TfrmMain::CloseWaited()
{
    if (!FCloseWaiting || FJobRunning || FCommandDepth > 0)
        return;
    // Something else still tells the user its end in a message box.
    if (QApplication::activeModalWidget()) {
        QTimer::singleShot(100, this, [this] { CloseWaited(); });
        return;
    }
    FCloseWaiting = false;
    close();
}

void TfrmMain::SetCommandPagesShown(bool Shown)
{
    FPagesShown = Shown;
    UpdateInputEnabled();
}

void TfrmMain::UpdateInputEnabled()
{
    // While a command's pages show, the view and its toolbar go on working for its task; a long
    // job takes everything but the status bar.
    const bool idle = !FJobRunning && !FPagesShown;
    for (QWidget* w : std::initializer_list<QWidget*>{ui->tbrFile, ui->tbrCreate, ui->tbrEdit, ui->tbrMRU,
                                                      ui->pgCtrGeoCnc})
        w->setEnabled(idle);
    for (QWidget* w : std::initializer_list<QWidget*>{ui->tbrView, ui->toolWin, ui->pnlGraphicView})
        w->setEnabled(!FJobRunning);
    FCommands->UpdateEnabled(FJobRunning, FPagesShown, FReleased);
}

// ---- the view's and the status bar's events

void TfrmMain::GraphicViewMouseMove2D()
{
    TPoint2D p;
    Objects.Prog->GetSnappedPoint(p);
    ui->lblCoordinate->setText(QString::fromStdString("X: " + FormatCoord(p.X) + " Y: " + FormatCoord(p.Y)));
}

void TfrmMain::tbrStatusBarMouseDown(Qt::MouseButton Button, int X)
{
    if (Button == Qt::RightButton && StatusGridHotSpot(X))
        Hooks.GridDialog();
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip && FHintsOff)
        return true;
    if (Event->type() == QEvent::KeyRelease)
        FKeySeen = nullptr;
    if (IsOwnKeyPress(Watched, Event)) {
        const int key = static_cast<QKeyEvent*>(Event)->key();
        if (key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter)
            GuardedCall([&] { FormKeyPress(key); });
        // Not kept from the control.
        return false;
    }
    if (Watched == Objects.Viewer && Event->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(Event);
        const QPoint m = w->position().toPoint();
        GuardedCall([&] { WheelZoom(*Objects.View, w->angleDelta().y(), m.x(), m.y()); });
        // Handled here: the viewer's own wheel zoom does not run as well.
        return true;
    }
    if ((Watched == ui->tbrStatusBar || Watched == ui->pnlStatusItems) &&
        Event->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(Event);
        const QPoint p = static_cast<QWidget*>(Watched)->mapTo(ui->tbrStatusBar, m->position().toPoint());
        GuardedCall([&] { tbrStatusBarMouseDown(m->button(), p.x()); });
        // Handled once: the press does not go on to the status bar behind the strip.
        return true;
    }
    return QMainWindow::eventFilter(Watched, Event);
}
