#include "MainFileHost.h"

#include "DlgOpenGeo.h"
#include "ProgramObjects.h"
#include "QVCmp.h"
#include "QVGeoPage.h"
#include "QVGeoTree.h"
#include "QVGuard.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVVariabili.h"
#include "ShellMessages.h"
#include "UnitCatena.h"
#include "UnitMain.h"
#include "UnitToolWin.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QFileInfo>
#include <QTimer>
#include <QTreeView>

TMainFileHost::TMainFileHost(TfrmMain& Main, TProgramObjects& Objects)
    : Main(Main), Objects(Objects), FSelf(std::make_shared<TMainFileHost*>(this))
{
}

TMainFileHost::~TMainFileHost()
{
    *FSelf = nullptr;
    if (FBusy)
        QApplication::restoreOverrideCursor();
}

std::string TMainFileHost::AskOpenFileName(bool Merge, const std::string& Folder)
{
    TFileDialogRequest request;
    request.Caption = Main.Command("sbtOpen")->text().toStdString();
    request.Start = Folder;
    request.Filter = Merge ? "Drawing files (*.pnc *.PNC)"
                           : "Drawing, vector and picture files (*.pnc *.bmp *.jpg *.jpeg *.dxf *.stl *.svg "
                             "*.PNC *.BMP *.JPG *.JPEG *.DXF *.STL *.SVG);;Drawing files (*.pnc *.PNC);;"
                             "DXF files (*.dxf *.DXF);;STL files (*.stl *.STL);;SVG files (*.svg *.SVG);;"
                             "Picture files (*.bmp *.jpg *.jpeg *.BMP *.JPG *.JPEG)";
    return AskFileName(request);
}

std::string TMainFileHost::AskSaveFileName(const std::string& Suggested)
{
    TFileDialogRequest request;
    request.Save = true;
    request.Caption = Main.Command("mnuSaveAs")->text().toStdString();
    // A name without extension saves as a drawing file.
    request.Start = Suggested == "*" ? std::string() : Suggested;
    request.Filter = "Drawing files (*.pnc);;DXF files (*.dxf);;Text files (*.txt);;HPGL files (*.hgl)";
    request.DefaultSuffix = "pnc";
    std::string name = AskFileName(request);
    if (name.empty() || IndiceExt(name) != 0 ||
        name.find('.', name.find_last_of('/') + 1) != std::string::npos)
        return name;
    // A name that came without its extension: the file it names now has not been asked about.
    name += ".pnc";
    if (QFileInfo::exists(QString::fromStdString(name)) &&
        ShowMessageBox(name + "\n" + GetLangString("FileExists"), GetLangString(406), TMsgIcon::Warning,
                       TMsgButtons::YesNo) != TMsgResult::Yes)
        return {};
    return name;
}

bool TMainFileHost::AskClear(bool& DeleteOperations)
{
    if (DrawingView)
        DrawingView->ResetOverlay();
    return ShowMessageBoxWithCheck(GetLangString(452), GetLangString(450), TMsgIcon::Warning,
                                   TMsgButtons::YesNo, GetLangString(723),
                                   DeleteOperations) == TMsgResult::Yes;
}

TVecRasPlacement& TMainFileHost::NewPlacementPanel(TQV_01Cmp2D& Drawing)
{
    FPanel.reset();
    TfrmToolWin* toolWin = Objects.ToolWin;
    FPanel = std::make_unique<TDlgOpenGeo>(toolWin ? toolWin->Sheet("tabOpenR") : nullptr, Drawing);
    if (toolWin)
        toolWin->AddHideHandler([self = FSelf, panel = FPanel.get()] {
            if (*self)
                (*self)->FreePanelLater(panel);
        });
    return *FPanel;
}

void TMainFileHost::FreePanel()
{
    FPanel.reset();
}

void TMainFileHost::FreePanelLater(const TDlgOpenGeo* Panel)
{
    if (!FPanel || FPanel.get() != Panel)
        return;
    // No pick goes to a hidden panel.
    if (DlgOpenGeo == FPanel.get())
        DlgOpenGeo = nullptr;
    // The panel's Done button hides the window from within its click: the panel goes once that
    // event is over, unless a newer one has taken its place meanwhile.
    QTimer::singleShot(0, &Main, [self = FSelf, Panel] {
        if (*self && (*self)->FPanel.get() == Panel)
            (*self)->FreePanel();
    });
}

void TMainFileHost::SetCaption(const std::string& Caption)
{
    Main.setWindowTitle(QString::fromStdString(Caption));
}

void TMainFileHost::SetBusy(bool Busy)
{
    if (Busy == FBusy)
        return;
    FBusy = Busy;
    // The bar lets events through now and then: no second command may start meanwhile.
    Main.SetJobRunning(Busy);
    if (Busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

TJobProgress& TMainFileHost::Progress()
{
    return Main.ProgressBar();
}

void TMainFileHost::StopOperation()
{
    if (CADProgram)
        CADProgram->StopOperation();
}

void TMainFileHost::DrawingCleared()
{
    if (DrawingView)
        DrawingView->RebuildAll(false);
}

void TMainFileHost::DrawingRenewed()
{
    // The points-along chain named entities of the drawing that is gone.
    PtAlongChains.DeleteAll();
    if (InfoEdit)
        InfoEdit->SetVisible(false);
    if (Main.GeoPage())
        Main.GeoPage()->Tree().EnsureGeoTreeRoot();
}

void TMainFileHost::LeavePropertyEntityMode()
{
    if (InfoEdit)
        InfoEdit->SetReadOnly(false);
}

void TMainFileHost::DrawingOpened()
{
    if (DrawingView)
        DrawingView->RebuildAll(false);
    if (Main.GeoPage() && Main.GeoPage()->TreeView())
        Main.GeoPage()->TreeView()->expandAll();
}
