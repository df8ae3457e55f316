#include "UnitMain.h"

#include "ui_UnitMain.h"

#include "CADExceptions.h"
#include "FileCommands.h"
#include "IniFile.h"
#include "MainFileHost.h"
#include "QVCADPrgAdapter.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVGuard.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVSceneWidget.h"
#include "QVStock.h"
#include "QVStream.h"
#include "QVTasks.h"
#include "QVTranslate.h"
#include "QVVariabili.h"
#include "ShellIcons.h"
#include "ShellMessages.h"
#include "UndoRedo.h"
#include "UnitConfig.h"
#include "UnitCurva.h"
#include "UnitToolWin.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QMenu>
#include <QMouseEvent>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <vector>

TfrmMain* frmMain = nullptr;

namespace {
std::vector<uint8_t> ReadWholeFile(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw ECADFileNotValid("Cannot open the file " + FileName + ".");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}
} // namespace

TfrmMain::TfrmMain(std::string FileToOpen) : ui(new Ui::TfrmMain), FFileToOpen(std::move(FileToOpen))
{
    frmMain = this;
    ui->setupUi(this);
    // The status items live in the status bar; the form keeps them together in one strip.
    ui->tbrStatusBar->addWidget(ui->pnlStatusItems, 1);
    ui->tbrStatusBar->installEventFilter(this);
    ui->pnlStatusItems->installEventFilter(this);
    SetMainWindowServices(this);
    Hooks.OpenFile = [this](const std::string& FileName) {
        FFileCommands->OpenGeo(FileName, false);
        UpdateRecentMenu();
    };
    Hooks.SourceBitmap = [this] { return FFileCommands ? FFileCommands->SourceBitmap() : nullptr; };
    Hooks.Undo = [] {
        if (UndoRedo)
            UndoRedo->Undo();
    };
    FormCreate();
}

TfrmMain::~TfrmMain()
{
    ReleaseObjects();
    // The windows that refer to this one go before it.
    delete ToolWin;
    delete About;
    SetMainWindowServices(nullptr);
    if (frmMain == this)
        frmMain = nullptr;
}

void TfrmMain::FormCreate()
{
    InitTempPath();
    FConfig = std::make_unique<TAppConfig>();
    AppConfig = FConfig.get();
    LanguageIni = OpenLanguageFile("languages/" + FConfig->Language);
    ArcTolerance = FConfig->ChainTol;
    FUndoRedo = std::make_unique<TUndoRedo>();
    UndoRedo = FUndoRedo.get();

    FView = std::make_unique<TQVScene>();
    DrawingView = FView.get();
    FViewer = CreateViewWidget(*FView, ui->pnlGraphicView);
    FViewer->setObjectName("GraphicView");
    FViewer->installEventFilter(this);
    FView->OnMouseMove2D = [this](TQVScene&, const TViewerMouseEvent&, double, double) {
        GraphicViewMouseMove2D(0, 0);
    };

    FDrawing = std::make_unique<TQV_01Cmp2D>();
    ::Drawing = FDrawing.get();
    FUndoRedo->AttachDrawing(FDrawing.get());
    FView->AttachDrawing(FDrawing.get());
    FGeoPage = new TGeoPage(*this, FConfig->Units == 1, ui->SheetGeo);
    ui->SheetGeo->layout()->addWidget(FGeoPage);
    FGeoPage->AttachDrawing(FDrawing.get());

    LoadBlockLibrary();
    FFileHost = std::make_unique<TMainFileHost>(*this);
    FFileCommands = std::make_unique<TFileCommands>(*FDrawing, *FFileHost);

    FProg = std::make_unique<TQV_00Prog>();
    CADProgram = FProg.get();
    FProg->SetViewPortGL(FView.get());
    FAdapter = std::make_unique<TCADPrgViewAdapter>(*FProg, *FViewer);
    FProg->OnEndOperation = [this](TQV_00CADProg&, TCADStateClass Operation, TQV_00CADPrgParam*) {
        QV_PrgEndOperation(Operation);
    };
    FProg->OnDescriptionChanged = [this](TQV_00State& Sender) {
        QV_PrgDescriptionChanged(&Sender.Description);
    };

    FView->GridRebuildEnabled = true;
    FView->SetGridVisible(FConfig->SGrid);
    InstallStockBox(*FView);
    // The axes follow the setting, as their toggle does.
    FView->SetAxesVisible(FConfig->SAxis);

    // The machining part stays switched off.
    ui->sbtCnc->setVisible(false);
    ui->SheetCnc->setEnabled(false);
    ui->sbtChangePst->setEnabled(false);
    ui->sbtRunPst->setEnabled(false);
    ui->sbtShowHidePath->setEnabled(false);

    FTabMarkerPreview = std::make_unique<TContainer2D>(-1);

    setGeometry(FConfig->fWPL, FConfig->fWPT, FConfig->fWPW, FConfig->fWPH);
    if (FConfig->fWPMax)
        setWindowState(windowState() | Qt::WindowMaximized);
    KeepEntityPanel = false;

    BuildMenus();
    ConnectCommands();
    FProgress.Attach(ui->lblCoordinate, ui->ProgressBar1, true);
    ui->ProgressBar1->hide();
}

void TfrmMain::LoadBlockLibrary()
{
    const std::string name =
        (BlockLibraryFolder.empty() ? ProgramFolder() : BlockLibraryFolder) + "/Library.blk";
    if (!QFileInfo::exists(QString::fromStdString(name)))
        return;
    // A damaged library is told and left out: the program starts without its blocks.
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(name);
        TStreamReader stream(bytes);
        FDrawing->LoadLibrary(stream);
    } catch (const std::exception& e) {
        MessageBox(std::string("Library.blk: ") + e.what(), GetLangString(450), TMsgIcon::Warning,
                   TMsgButtons::Ok);
    }
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

void TfrmMain::BuildMenus()
{
    Ui::TfrmMain& f = *ui;
    auto dropDown = [this](QAction* Button, QMenu* Menu) {
        Button->setMenu(Menu);
        for (QToolBar* bar : findChildren<QToolBar*>())
            if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(Button)))
                b->setPopupMode(QToolButton::MenuButtonPopup);
    };
    FOpenMenu = new QMenu(this);
    FRecentMenu = FOpenMenu->addMenu("Recent files");
    FRecentMenu->setObjectName("mnuRecentF");
    FOpenMenu->addAction(f.mnuMerge);
    dropDown(f.sbtOpen, FOpenMenu);
    auto* saveMenu = new QMenu(this);
    saveMenu->addAction(f.mnuSave);
    saveMenu->addAction(f.mnuSaveAs);
    dropDown(f.sbtSave, saveMenu);
    auto* helpMenu = new QMenu(this);
    for (QAction* a : {f.mnuHelp, f.mnuTutor, f.mnuAbout, f.mnuWebUpdate, f.mnuWeb})
        helpMenu->addAction(a);
    dropDown(f.sbtAbout, helpMenu);

    FCncMenu = new QMenu(this);
    FCncMenu->setObjectName("sbtCncMenu");
    CreaItemMenu("mnuCncNew", FCncMenu, "imgListFile", 0);
    CreaItemMenu("mnuEditNc", FCncMenu, "imgListFile", 13);
    CreaItemMenu("mnuCncGrbl", FCncMenu, "imgListFile", 36);
    f.sbtCnc->setMenu(FCncMenu);
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

    FPopupDestro = new QMenu(this);
    FPopupDestro->setObjectName("PopupDestro");
    FPopupDestro->addAction(f.mnuDone);
    FPopupDestro->addAction(f.mnuCancel);
    FPopupDestro->addAction(f.mnuCoord);
    QMenu* snap = FPopupDestro->addMenu("Snap");
    snap->setObjectName("mnuSnapTo");
    for (QAction* a :
         {f.mnuSnapNone, f.mnuSnapEnd, f.mnuSnapMid, f.mnuSnapCenter, f.mnuSnapPoint, f.mnuSnapAuto})
        snap->addAction(a);
    for (QAction* a :
         {f.mnuPan, f.mnuAutozoom, f.mnuZoomWindow, f.mnuZoomIn, f.mnuZoomOut, f.mnuWinSelect, f.mnuOrtho})
        FPopupDestro->addAction(a);
    FViewer->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(FViewer, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& P) { FPopupDestro->popup(FViewer->mapToGlobal(P)); });
    auto* snapButton = f.sbtSnap;
    snapButton->setMenu(snap);
    snapButton->setPopupMode(QToolButton::InstantPopup);

    auto* geoMenu = new QMenu(this);
    geoMenu->setObjectName("PopupTreeGeo");
    for (QAction* a : {f.mnuLayerDialog, f.mnuLayerOnOff, f.mnuLayerHide, f.mnuLayerShow, f.mnuGeoDelete})
        geoMenu->addAction(a);
    f.TreeCnc->setContextMenuPolicy(Qt::CustomContextMenu);

    // The status bar's menu of the grid settings.
    f.tbrStatusBar->setContextMenuPolicy(Qt::PreventContextMenu);

    ShellSetIcons(*this);
}

QStringList TfrmMain::RecentFiles() const
{
    QStringList names;
    if (FFileCommands)
        for (const std::string& name : FFileCommands->RecentFiles().Items())
            names.append(QString::fromStdString(name));
    return names;
}

void TfrmMain::AddRecentFile(const QString& FileName)
{
    FFileCommands->RecentFiles().Add(FileName.toStdString());
    UpdateRecentMenu();
}

void TfrmMain::UpdateRecentMenu()
{
    FRecentMenu->clear();
    const QStringList names = RecentFiles();
    for (const QString& name : names)
        connect(FRecentMenu->addAction(name), &QAction::triggered, this,
                [this, name] { GuardedCall([&] { Hooks.OpenFile(name.toStdString()); }); });
    FRecentMenu->setEnabled(!names.isEmpty());
}

void TfrmMain::ImpostaGView()
{
    FProg->XSnap = FConfig->SnapX;
    FProg->YSnap = FConfig->SnapY;
    // The layers the user has not changed take the configured colour; the layer settings file
    // of the file commands may change them afterwards.
    FDrawing->SetDefaultLayersColor(FConfig->DefLayersColor);
}

void TfrmMain::ImpostaTbr()
{
    const Qt::ToolButtonStyle style =
        FConfig->TbrImagesOnly ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextUnderIcon;
    for (QToolBar* bar : {ui->tbrFile, ui->tbrCreate, ui->tbrView, ui->tbrEdit})
        bar->setToolButtonStyle(style);
}

void TfrmMain::ImpostaHint()
{
    // Qt shows a tool tip wherever one is set: with hints off the main window keeps the tool-tip
    // events of its bars and of the view from them.
    FHintsOff = !FConfig->ShowInt;
    for (QWidget* bar : std::initializer_list<QWidget*>{ui->tbrFile, ui->tbrCreate, ui->tbrView, ui->tbrEdit,
                                                        ui->tbrMRU, ui->pnlStatusItems})
        for (QWidget* w : bar->findChildren<QWidget*>())
            w->installEventFilter(this);
}

void TfrmMain::CurrLayerInfo()
{
    const uint16_t index = FDrawing->CurrentLayer;
    ui->sbtLayer->setText(QString::fromStdString(GetLangMain("309")) + " " + QString::number(index));
    CurrLayerCol(static_cast<uint32_t>(FDrawing->Layers.GetLayer(static_cast<uint8_t>(index)).Pen.Color()));
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
        FProg->UseOrto = SavedUseOrto;
        OrtoSaved = false;
    }
    if (ToolWin && std::find(ToolWinTasks.begin(), ToolWinTasks.end(), Operation) != ToolWinTasks.end())
        ToolWin->hide();
    if (ui->pgCtrGeoCnc->currentIndex() == 0) {
        if (KeepEntityPanel)
            KeepEntityPanel = false;
        else if (InfoEdit)
            InfoEdit->SetMode(0);
    } else if (KeepEntityPanel) {
        KeepEntityPanel = false;
        ui->pgCtrGeoCnc->setCurrentIndex(1);
    }
    FProg->UsaSnap = false;
    if (LayerOpPending) {
        LayerOpPending = false;
        LayerOpDone = true;
    }
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

void TfrmMain::SaveToolbarsAndRecent(const std::string& IniFileName)
{
    TMemIniFile ini(IniFileName);
    ini.Load();
    ini.WriteString("Toolbar", "State", saveState().toBase64().toStdString());
    FFileCommands->RecentFiles().Save(ini);
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
    FFileCommands->RecentFiles().Load(ini);
    UpdateRecentMenu();
}

void TfrmMain::showEvent(QShowEvent* Event)
{
    QMainWindow::showEvent(Event);
    if (FShown)
        return;
    FShown = true;
    // Once the view has its size, as the zoom to extents needs it.
    QTimer::singleShot(0, this, [this] { GuardedCall([this] { FormShow(); }); });
}

void TfrmMain::FormShow()
{
    if (FReleased)
        return;
    ui->toolWin->setMinimumWidth(236);
    FViewer->setToolTip(QString::fromStdString(GetLangMain("GraphicView.Hint")));
    FDrawing->ZoomToExtents();
    if (!FFileToOpen.empty())
        Hooks.OpenFile(std::exchange(FFileToOpen, {}));
}

void TfrmMain::closeEvent(QCloseEvent* Event)
{
    if (FReleased) {
        Event->accept();
        return;
    }
    if (MessageBox(GetLangString(451), GetLangString(450), TMsgIcon::Warning, TMsgButtons::YesNo) !=
            TMsgResult::Yes ||
        !Hooks.CloseEditor()) {
        Event->ignore();
        return;
    }
    if (ToolWin)
        ToolWin->hide();
    GuardedCall([this] { FConfig->Save(); });
    try {
        SaveToolbarsAndRecent(FConfig->DataDir + "/rastrel.ini");
    } catch (const std::exception&) {
        // The layout and the recent files are a convenience: the close goes on without them.
    }
    Hooks.BeforeRelease();
    ReleaseObjects();
    Event->accept();
}

void TfrmMain::ReleaseObjects()
{
    if (FReleased)
        return;
    FReleased = true;
    if (ToolWin)
        ToolWin->ReleaseObjects();
    LanguageIni.reset();
    if (FUndoRedo)
        FUndoRedo->AttachDrawing(nullptr);
    if (UndoRedo == FUndoRedo.get())
        UndoRedo = nullptr;
    FUndoRedo.reset();
    if (AppConfig == FConfig.get())
        AppConfig = nullptr;
    FConfig.reset();
    Hooks.FreeMachining();
    FTabMarkerPreview.reset();
    // The placement panel and the commands refer to the drawing.
    if (FFileHost)
        FFileHost->FreePanel();
    FFileCommands.reset();
    // The panel and the tree let go of the drawing before it goes.
    if (FGeoPage)
        FGeoPage->AttachDrawing(nullptr);
    delete FGeoPage;
    FGeoPage = nullptr;
    FAdapter.reset();
    if (CADProgram == FProg.get())
        CADProgram = nullptr;
    FProg.reset();
    // The viewer goes before the view it shows, the view before the drawing.
    delete FViewer;
    FViewer = nullptr;
    FView->AttachDrawing(nullptr);
    if (DrawingView == FView.get())
        DrawingView = nullptr;
    FView.reset();
    if (::Drawing == FDrawing.get())
        ::Drawing = nullptr;
    FDrawing.reset();
    RemoveTempPath();
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
    return FView.get();
}

void TfrmMain::RerunPanelCommand(uint8_t)
{
    // The drawing commands that a panel edit runs again come with those commands.
}

// ---- long jobs

void TfrmMain::SetInputEnabled(bool Enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{ui->tbrFile, ui->tbrCreate, ui->tbrView, ui->tbrEdit,
                                                      ui->tbrMRU, ui->toolWin, ui->pnlGraphicView})
        w->setEnabled(Enabled);
}
