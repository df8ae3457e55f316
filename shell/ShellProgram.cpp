#include "ShellProgram.h"

#include "CADExceptions.h"
#include "FileCommands.h"
#include "MainFileHost.h"
#include "QVCADPrgAdapter.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVFonts.h"
#include "QVFormat.h"
#include "QVGeoPage.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVSceneWidget.h"
#include "QVStock.h"
#include "QVStream.h"
#include "QVTranslate.h"
#include "QVVariabili.h"
#include "SettingsPage.h"
#include "UndoRedo.h"
#include "UnitAbout.h"
#include "UnitConfig.h"
#include "UnitCoord.h"
#include "UnitCurva.h"
#include "UnitEtichetta.h"
#include "UnitGrid.h"
#include "UnitLayer.h"
#include "UnitMain.h"
#include "UnitToolWin.h"
#include "UnitWebUpdate.h"

#include <QFileInfo>
#include <QLayout>

#include <fstream>
#include <iterator>
#include <vector>

namespace {

std::vector<uint8_t> ReadWholeFile(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw ECADFileNotValid("Cannot open the file " + FileName + ".");
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

} // namespace

TProgramObjects::TProgramObjects() = default;

TProgramObjects::~TProgramObjects() = default;

void RegisterProgramUnits()
{
    static const bool done = [] {
        RegisterLabel();
        RegisterDrawingClasses();
        RegisterProgramFonts(ProgramFolder());
        return true;
    }();
    (void)done;
}

TShellProgram::TShellProgram(const std::string& FileToOpen)
{
    RegisterProgramUnits();
    try {
        FMain = std::make_unique<TfrmMain>(Objects, FileToOpen);
        frmMain = FMain.get();
        SetMainWindowServices(FMain.get());
        FMain->Hooks.OpenFile = [this](const std::string& FileName) {
            Objects.FileCommands->OpenGeo(FileName, false);
        };
        FMain->OnRelease = [this] { ReleaseObjects(); };
        MakeObjects();
        FMain->Attach();

        Objects.ToolWin = new TfrmToolWin(*FMain);
        frmToolWin = Objects.ToolWin;
        SetToolWindowServices(Objects.ToolWin);
        Objects.About = new TfrmAbout(FMain.get());
        MakeDialogs();
        FinishStart();
    } catch (...) {
        Shutdown();
        throw;
    }
}

TShellProgram::~TShellProgram()
{
    Shutdown();
}

void TShellProgram::MakeObjects()
{
    TProgramObjects& o = Objects;
    InitTempPath();
    o.Config = std::make_unique<TAppConfig>();
    AppConfig = o.Config.get();
    LanguageIni = OpenLanguageFile("languages/" + o.Config->Language);
    ArcTolerance = o.Config->ChainTol;
    o.UndoLog = std::make_unique<TUndoRedo>();
    UndoRedo = o.UndoLog.get();

    o.View = std::make_unique<TQVScene>();
    o.Viewer = CreateViewWidget(*o.View, FMain->GraphicPanel());
    DrawingView = o.View.get();

    o.Drawing = std::make_unique<TQV_01Cmp2D>();
    o.UndoLog->AttachDrawing(o.Drawing.get());
    o.View->AttachDrawing(o.Drawing.get());
    ::Drawing = o.Drawing.get();
    o.GeoPage = new TGeoPage(*FMain, o.Config->Units == 1, FMain->GeometrySheet());
    FMain->GeometrySheet()->layout()->addWidget(o.GeoPage);
    o.GeoPage->AttachDrawing(o.Drawing.get());
    o.GeoPage->AttachUndoLog(o.UndoLog.get());

    LoadBlockLibrary();
    o.FileHost = std::make_unique<TMainFileHost>(*FMain, o);
    o.FileCommands = std::make_unique<TFileCommands>(*o.Drawing, *o.FileHost);

    o.Prog = std::make_unique<TQV_00Prog>();
    o.Prog->SetViewPortGL(o.View.get());
    o.Adapter = std::make_unique<TCADPrgViewAdapter>(*o.Prog, *o.Viewer);
    CADProgram = o.Prog.get();

    o.View->GridRebuildEnabled = true;
    o.View->SetGridVisible(o.Config->SGrid);
    InstallStockBox(*o.View);
    // The axes follow the setting, as their switch does.
    o.View->SetAxesVisible(o.Config->SAxis);
    o.TabMarkerPreview = std::make_unique<TContainer2D>(-1);
}

void TShellProgram::MakeDialogs()
{
    TProgramObjects& o = Objects;
    TfrmMain& main = *FMain;
    o.SettingsPage = new TSettingsPage(o.ToolWin->Sheet("tabSettings"), main, o);
    o.ToolWin->HostPage("tabSettings", o.SettingsPage);
    o.Layer = new TfrmLayer(main, *o.Drawing, &o.GeoPage->Tree());
    // The dialogs work on the program's objects: none opens once they are freed.
    main.Hooks.LayerDialog = [this] {
        if (!FReleased)
            Objects.Layer->exec();
    };
    o.Coord = new TfrmCoord(&main);
    o.SetGrid = std::make_unique<TSetGrid>(*o.Prog, *o.Config);
    o.Grid = new TfrmGrid(&main, *o.View, *o.Prog, *o.Config, *o.SetGrid);
    o.Grid->ShowGrid = [&main](bool Visible) { main.Command("sbtGridOnOff")->setChecked(Visible); };
    main.Hooks.GridDialog = [this] {
        if (!FReleased)
            Objects.Grid->exec();
    };
    o.SetGrid->Followers = {
        [this](bool Snap) { Objects.Grid->SetSnapChecked(Snap); },
        [this](bool Snap) {
            FMain->Command("mnuSnap2Grid")->setChecked(Snap);
            FMain->SetSnapImage(Objects.SetGrid->SnapIconIndex + (Snap ? 6 : 0));
        },
    };
}

void TShellProgram::LoadBlockLibrary()
{
    const std::string name =
        (TfrmMain::BlockLibraryFolder.empty() ? ProgramFolder() : TfrmMain::BlockLibraryFolder) +
        "/Library.blk";
    if (!QFileInfo::exists(QString::fromStdString(name)))
        return;
    // A damaged library is told and left out: the program starts without its blocks.
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(name);
        TStreamReader stream(bytes);
        Objects.Drawing->LoadLibrary(stream);
    } catch (const std::exception& e) {
        FMain->MessageBox(std::string("Library.blk: ") + e.what(), GetLangString(450), TMsgIcon::Warning,
                          TMsgButtons::Ok);
    }
}

void TShellProgram::FinishStart()
{
    TfrmMain& main = *FMain;
    main.ImpostaGView();
    TranslateComponents({&main, Objects.ToolWin}, LanguageIni.get());
    LoadStatusMessages();
    LoadStatePrompts();
    InputPanelUserEvent = [](uint16_t Code) {
        if (CADProgram)
            CADProgram->SendUserEvent(Code);
    };
    FormatCoordFunc = FormatCoord;
    main.FinishStart(Objects.Config->DataDir + "/rastrel.ini");
    AppTitle = main.windowTitle().toStdString();
    Objects.View->GridRebuildEnabled = true;
    Objects.View->RebuildGrid();
    Objects.ToolWin->FinishStart();
}

void TShellProgram::ReleaseObjects()
{
    if (FReleased)
        return;
    FReleased = true;
    TProgramObjects& o = Objects;
    if (o.ToolWin)
        o.ToolWin->ReleaseObjects();
    InputPanelUserEvent = nullptr;
    LanguageIni.reset();
    if (o.GeoPage)
        o.GeoPage->AttachUndoLog(nullptr);
    if (o.UndoLog)
        o.UndoLog->AttachDrawing(nullptr);
    if (UndoRedo == o.UndoLog.get())
        UndoRedo = nullptr;
    o.UndoLog.reset();
    if (AppConfig == o.Config.get())
        AppConfig = nullptr;
    o.Config.reset();
    if (FMain)
        FMain->Hooks.FreeMachining();
    o.TabMarkerPreview.reset();
    // The placement panel and the commands refer to the drawing.
    if (o.FileHost)
        o.FileHost->FreePanel();
    o.FileCommands.reset();
    o.FileHost.reset();
    // The panel and the tree let go of the drawing before it goes.
    if (o.GeoPage)
        o.GeoPage->AttachDrawing(nullptr);
    delete o.GeoPage;
    o.GeoPage = nullptr;
    o.Adapter.reset();
    if (CADProgram == o.Prog.get())
        CADProgram = nullptr;
    o.Prog.reset();
    // The viewer goes before the view it shows, the view before the drawing.
    delete o.Viewer;
    o.Viewer = nullptr;
    if (o.View)
        o.View->AttachDrawing(nullptr);
    if (DrawingView == o.View.get())
        DrawingView = nullptr;
    o.View.reset();
    if (::Drawing == o.Drawing.get())
        ::Drawing = nullptr;
    o.Drawing.reset();
    RemoveTempPath();
}

void TShellProgram::Shutdown()
{
    ReleaseObjects();
    if (Objects.About) {
        delete Objects.About;
        Objects.About = nullptr;
    }
    // The dialogs refer to the program's objects: they go with them.
    delete std::exchange(Objects.Grid, nullptr);
    delete std::exchange(Objects.Coord, nullptr);
    delete std::exchange(Objects.Layer, nullptr);
    Objects.SetGrid.reset();
    if (Objects.ToolWin) {
        SetToolWindowServices(nullptr);
        if (frmToolWin == Objects.ToolWin)
            frmToolWin = nullptr;
        delete Objects.ToolWin;
        Objects.ToolWin = nullptr;
    }
    if (FMain) {
        SetMainWindowServices(nullptr);
        if (frmMain == FMain.get())
            frmMain = nullptr;
        FMain.reset();
    }
}
