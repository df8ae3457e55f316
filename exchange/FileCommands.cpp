#include "FileCommands.h"

#include "Bitmap32.h"
#include "CADExceptions.h"
#include "IniFile.h"
#include "PictureFile.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVFonts.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVStock.h"
#include "QVStream.h"
#include "QVSurf3D.h"
#include "QVVariabili.h"
#include "UnitConfig.h"
#include "UnitSVG.h"
#include "VecRasInfo.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <exception>
#include <stdexcept>
#include <utility>

namespace {

// The reader already told the user why the file cannot be read.
struct EToldAlready : std::runtime_error {
    EToldAlready() : std::runtime_error("The reader has told why the file cannot be read.") {}
};

// The extension with its dot, upper case; empty when the name has none.
std::string UpperExtension(const std::string& FileName)
{
    const size_t slash = FileName.find_last_of('/');
    const size_t dot = FileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {};
    std::string ext = FileName.substr(dot);
    for (char& c : ext)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ext;
}

std::string WithoutExtension(const std::string& FileName)
{
    const std::string ext = UpperExtension(FileName);
    return FileName.substr(0, FileName.size() - ext.size());
}

std::string FolderOf(const std::string& FileName)
{
    const size_t slash = FileName.find_last_of('/');
    return slash == std::string::npos ? std::string() : FileName.substr(0, slash + 1);
}

// The font of slot 0 for DXF texts, or none: the import then leaves texts out.
TVectFont* TextFont()
{
    try {
        return CADCoreFindFontByIndex(0);
    } catch (const ECADObjClassNotFound&) {
        return nullptr;
    }
}

void Message(const std::string& Text, int Caption, TMsgIcon Icon)
{
    MainWindow().MessageBox(Text, GetLangString(Caption), Icon, TMsgButtons::Ok);
}

// The drawing as it was before an open, to put back when the open fails: the objects and
// block definitions (as a drawing stream, only when there are some) and every layer's record.
class TDrawingSnapshot {
public:
    explicit TDrawingSnapshot(TQV_01Cmp2D& Drawing) : Drawing(Drawing)
    {
        if (Drawing.ObjectsCount() > 0 || Drawing.SourceBlocksCount() > 0) {
            TStreamWriter w;
            Drawing.SaveToStream(w);
            Content = w.TakeBytes();
            HasContent = true;
        }
        for (int i = 0; i < TQV_20Layers::Count; ++i) {
            const TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
            TStreamWriter w;
            layer.SaveToStream(w);
            Layers[i] = {w.TakeBytes(), layer.Active, layer.Visible, layer.Modified, layer.TreeNode};
        }
        NextObjectID = Drawing.NextObjectID;
        CurrentLayer = Drawing.CurrentLayer;
    }

    void Restore()
    {
        if (HasContent) {
            TStreamReader r(Content);
            Drawing.LoadFromStream(r, false);
        } else {
            Drawing.DeleteAllObjects();
            Drawing.DeleteDrawingBlocks();
        }
        for (int i = 0; i < TQV_20Layers::Count; ++i) {
            TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
            TStreamReader r(Layers[i].Record);
            layer.LoadFromStream(r, CurrentVersionTag);
            layer.Active = Layers[i].Active;
            layer.Visible = Layers[i].Visible;
            layer.Modified = Layers[i].Modified;
            layer.TreeNode = Layers[i].TreeNode;
        }
        Drawing.NextObjectID = NextObjectID;
        Drawing.CurrentLayer = CurrentLayer;
        Drawing.RepaintViews();
    }

private:
    struct TLayerState {
        std::vector<uint8_t> Record;
        bool Active, Visible, Modified;
        TTreeNodeId TreeNode;
    };
    TQV_01Cmp2D& Drawing;
    bool HasContent = false;
    std::vector<uint8_t> Content;
    std::array<TLayerState, TQV_20Layers::Count> Layers;
    int32_t NextObjectID = 0;
    uint16_t CurrentLayer = 0;
};

// What the view shows beside the drawing, put back with it when an open fails: the depth test
// and the stock box.
class TViewSnapshot {
public:
    TViewSnapshot()
    {
        if (DrawingView)
            DepthTest = DrawingView->Scene->DepthTest();
        if (Grezzo)
            StockBox = Grezzo->StockBox;
    }
    void Restore() const
    {
        if (DrawingView)
            DrawingView->Scene->SetDepthTest(DepthTest);
        if (Grezzo)
            Grezzo->SetBox(StockBox);
    }

private:
    bool DepthTest = false;
    TRect3D StockBox{};
};

void ShowPlacementPage(const char* CaptionKey)
{
    ToolWindow().ShowPages({"tabOpenR"}, CaptionKey, 424, 420);
}

} // namespace

// The busy cursor and the progress for the length of a command, also when it raises.
class TFileCommands::TBusy {
public:
    explicit TBusy(TFileCommands& Commands) : Commands(Commands)
    {
        Commands.LastPercent = -1;
        Commands.Host.SetBusy(true);
    }
    ~TBusy()
    {
        if (std::exchange(Commands.ProgressBegun, false))
            Commands.Host.Progress().End();
        Commands.Host.SetBusy(false);
    }
    TBusy(const TBusy&) = delete;
    TBusy& operator=(const TBusy&) = delete;

private:
    TFileCommands& Commands;
};

TFileKind OpenKindOfName(const std::string& FileName)
{
    const std::string ext = UpperExtension(FileName);
    if (ext == ".PNC")
        return fkNative;
    if (ext == ".DXF")
        return fkDxf;
    if (ext == ".SVG")
        return fkSvg;
    if (ext == ".BMP")
        return fkBmp;
    if (ext == ".JPG" || ext == ".JPEG")
        return fkJpeg;
    if (ext == ".STL")
        return fkStl;
    return fkFailed;
}

int IndiceExt(const std::string& FileName)
{
    const std::string ext = UpperExtension(FileName);
    if (ext == ".PNC")
        return 1;
    if (ext == ".DXF")
        return 2;
    if (ext == ".TXT")
        return 3;
    if (ext == ".HGL")
        return 4;
    return 0;
}

// ---- recent files ----

void TRecentFiles::Add(const std::string& FileName)
{
    if (FileName.empty())
        return;
    FItems.erase(std::remove(FItems.begin(), FItems.end(), FileName), FItems.end());
    FItems.insert(FItems.begin(), FileName);
    if (FItems.size() > MaxCount)
        FItems.resize(MaxCount);
    if (OnChanged)
        OnChanged();
}

void TRecentFiles::Load(const TMemIniFile& Ini)
{
    FItems.clear();
    for (size_t i = 1; i <= MaxCount; ++i) {
        const std::string name = Ini.ReadString("MRURF", "File" + std::to_string(i), "");
        if (!name.empty() && std::find(FItems.begin(), FItems.end(), name) == FItems.end())
            FItems.push_back(name);
    }
    if (OnChanged)
        OnChanged();
}

void TRecentFiles::Save(TMemIniFile& Ini) const
{
    for (size_t i = 1; i <= MaxCount; ++i)
        Ini.WriteString("MRURF", "File" + std::to_string(i), i <= FItems.size() ? FItems[i - 1] : "");
}

// ---- layer settings ----

std::string LayersIniName()
{
    return (AppConfig ? AppConfig->DataDir : std::string(".")) + "/Layers.ini";
}

void CaricaImpLayers(TQV_01Cmp& Drawing, const std::string& FileName, int32_t DefaultColor)
{
    TMemIniFile ini(FileName);
    ini.Load();
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        const std::string key = std::to_string(i);
        TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
        layer.Pen.SetColor(ini.ReadInteger("LayersCol", key, DefaultColor));
        layer.Pen.SetWidth(ini.ReadInteger("LayersPen", key, 1));
        layer.SetName(ini.ReadString("LayersName", key, "Layer_" + key));
        // Settings from this file are no edit of the drawing: not saved with it.
        layer.Modified = false;
    }
}

void SaveLayerSettings(const TQV_01Cmp& Drawing, const std::string& FileName)
{
    TMemIniFile ini(FileName);
    ini.Load();
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        const TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
        if (!layer.Modified)
            continue;
        const std::string key = std::to_string(i);
        ini.WriteInteger("LayersCol", key, layer.Pen.Color());
        ini.WriteInteger("LayersPen", key, layer.Pen.Width());
        ini.WriteString("LayersName", key, layer.Name);
    }
    ini.UpdateFile();
}

// ---- the commands ----

TFileCommands::TFileCommands(TQV_01Cmp2D& Drawing, TFileCommandsHost& Host) : Drawing(Drawing), Host(Host) {}

TFileCommands::~TFileCommands() = default;

void TFileCommands::SetProgressPercent(int Percent)
{
    if (Percent == LastPercent)
        return;
    LastPercent = Percent;
    if (!std::exchange(ProgressBegun, true))
        Host.Progress().Begin();
    Host.Progress().Report(Percent, 100);
}

bool TFileCommands::OpenGeo(std::string FileName, bool Merge)
{
    Host.StopOperation();
    if (!Merge && Drawing.ObjectsCount() > 0 && !CancellatoTutto())
        return false;
    const TPelcFile before = CurrentFile;
    if (FileName.empty()) {
        FileName = Host.AskOpenFileName(Merge, AppConfig ? AppConfig->FilePath_Geo : std::string());
        if (FileName.empty())
            return false;
        if (AppConfig)
            AppConfig->FilePath_Geo = FolderOf(FileName);
    }
    CurrentFile.Kind = fkNone;
    ShowStatusMessage(GetLangString(400));
    FRecentFiles.Add(FileName);
    const TFileKind kind = OpenKindOfName(FileName);
    if (kind == fkFailed || (Merge && kind != fkNative)) {
        CurrentFile.Kind = fkFailed;
        ShowStatusMessage("");
        Message(GetLangString(458) + "\n" + FileName, 450, TMsgIcon::Warning);
        return false;
    }
    CurrentFile.FileName = FileName;
    bool opened = false;
    {
        const TBusy busy(*this);
        TDrawingSnapshot snapshot(Drawing);
        const TViewSnapshot view;
        // Flat files are seen without the depth test; an STL surface switches it on when shown.
        if (DrawingView)
            DrawingView->Scene->SetDepthTest(false);
        try {
            OpenByKind(kind, FileName, Merge);
            opened = true;
        } catch (const EToldAlready&) {
            snapshot.Restore();
        } catch (const EUserBreak&) {
            snapshot.Restore();
        } catch (const std::exception& e) {
            // Whatever the reader added goes: the drawing is as it was before the command.
            try {
                snapshot.Restore();
            } catch (const std::exception&) {
                Drawing.DeleteAllObjects();
            }
            Message(FileName + "\n" + e.what(), 450, TMsgIcon::Warning);
        }
        if (!opened)
            view.Restore();
    }
    if (!opened) {
        CurrentFile = before;
        CurrentFile.Kind = fkFailed;
        ShowStatusMessage("");
        return false;
    }
    CurrentFile.Kind = kind;
    ShowStatusMessage(kind == fkNative ? std::string() : StatusMessages[1]);
    Host.SetCaption(AppTitle + " - " + FileName);
    Host.DrawingOpened();
    // A merged file gives the drawing no name.
    if (Merge)
        CurrentFile.FileName.clear();
    return true;
}

void TFileCommands::OpenByKind(TFileKind Kind, const std::string& FileName, bool Merge)
{
    switch (Kind) {
    case fkNative:
        OpenNativeFile(FileName, Merge);
        break;
    case fkDxf:
        OpenDxfFile(FileName);
        break;
    case fkSvg:
        OpenSvgFile(FileName);
        break;
    case fkBmp:
        OpenBitmapFile(FileName, true);
        break;
    case fkJpeg:
        OpenBitmapFile(FileName, false);
        break;
    case fkStl:
        OpenStlFile(FileName);
        break;
    default:
        throw ECADFileNotValid(GetLangString(458));
    }
}

void TFileCommands::OpenNativeFile(const std::string& FileName, bool Merge)
{
    Host.LeavePropertyEntityMode();
    auto kept = Drawing.OnLoadProgress;
    Drawing.OnLoadProgress = [this](TQV_01Cmp&, uint8_t Percent) { SetProgressPercent(Percent); };
    try {
        Drawing.LoadFromFile(FileName, Merge);
    } catch (...) {
        Drawing.OnLoadProgress = kept;
        throw;
    }
    Drawing.OnLoadProgress = kept;
    Drawing.ZoomToExtents();
}

void TFileCommands::OpenDxfFile(const std::string& FileName)
{
    TDXF2DImport import(FileName, &Drawing);
    if (import.Failed)
        throw EToldAlready{};
    import.SetVectFont(TextFont());
    const auto progress = [this](uint64_t Done, uint64_t Total) {
        SetProgressPercent(Total ? int(std::min<uint64_t>(100, Done * 100 / Total)) : 100);
    };
    import.SetProgress(progress);
    import.ShowReport = false;
    import.Import();
    // A file damaged or cut short is not opened at all; what was left out of a whole file is
    // told, and the rest stays.
    if (!import.ErrorMessage.empty())
        throw ECADFileNotValid(import.ErrorMessage);
    const std::string report = import.ReportText();
    if (!report.empty())
        Message(report, 450, TMsgIcon::Warning);
    TVecRasPlacement& panel = Host.NewPlacementPanel(Drawing);
    panel.SetupDxf(import);
    ShowPlacementPage("twOpDxf");
    ControlsReady = true;
}

void TFileCommands::OpenSvgFile(const std::string& FileName)
{
    const bool ready = ControlsReady;
    try {
        // The whole name: the reader opens the file itself.
        ImportSvg(Drawing, FileName, [this](int Percent) { SetProgressPercent(Percent); });
        TVecRasPlacement& panel = Host.NewPlacementPanel(Drawing);
        panel.SetupSvg();
        ShowPlacementPage("twOpSvg");
    } catch (...) {
        ControlsReady = ready;
        throw;
    }
    ControlsReady = true;
}

void TFileCommands::OpenStlFile(const std::string& FileName)
{
    Host.LeavePropertyEntityMode();
    // The surface joins the drawing only once the whole file was read.
    TQV_STLSurf* surface = AddStlSurface(Drawing, FileName);
    if (surface->Triangles().empty())
        throw ECADFileNotValid("the STL file holds no triangles");
    const bool ready = ControlsReady;
    try {
        TVecRasPlacement& panel = Host.NewPlacementPanel(Drawing);
        panel.SetupStl(*surface);
        ShowPlacementPage("twOpStl");
    } catch (...) {
        ControlsReady = ready;
        throw;
    }
    ControlsReady = true;
}

void TFileCommands::OpenBitmapFile(const std::string& FileName, bool IsBmp)
{
    const auto progress = [this](int Rows, int Height) {
        SetProgressPercent(Height ? Rows * 100 / Height : 100);
    };
    std::shared_ptr<const TBitmap32> picture =
        IsBmp ? ReadBmpFile(FileName, progress) : ReadJpegFile(FileName, progress);
    if (picture->IsEmpty())
        throw ECADFileNotValid("the picture has no pixels");
    TVecRasPlacement& panel = Host.NewPlacementPanel(Drawing);
    if (IsBmp)
        panel.SetupBmp(*picture);
    else
        panel.SetupJpeg(*picture);
    // The image spans the picture's pixels; the placement's scale then sizes it.
    // The image shows the untouched picture the commands keep for tracing, until its pixels are
    // changed; then it holds its own.
    auto image = std::make_unique<TBitmap2D>(
        -1, TPoint2D{0, 0, 1}, TPoint2D{double(picture->Width()), double(picture->Height()), 1}, picture);
    TBitmap2D* added = Drawing.AddObject(-1, std::move(image));
    FSourceBitmap = std::move(picture);
    CurrentBitmap = added;
    panel.ApplyClick();
    ShowPlacementPage(IsBmp ? "twOpBmp" : "twOpJpg");
}

bool TFileCommands::CancellatoTutto()
{
    bool deleteOperations = true;
    if (!Host.AskClear(deleteOperations))
        return false;
    ClearDrawing(deleteOperations);
    return true;
}

void TFileCommands::ClearDrawing(bool DeleteOperations)
{
    FSourceBitmap.reset();
    CurrentBitmap = nullptr;
    Drawing.DeleteAllObjects();
    CaricaImpLayers(Drawing, LayersIniName(), AppConfig ? AppConfig->DefLayersColor : 0x00FF00);
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(i));
        layer.Active = true;
        layer.Visible = true;
        layer.TreeNode = 0;
    }
    if (DeleteOperations)
        Host.DeleteOperations();
    // The stock box and the 3D group are renewed too: a surface's stock box would otherwise stay,
    // drawn under every drawing that follows.
    if (DrawingView && DrawingView->Drawing == &Drawing)
        DrawingView->RebuildAll(true);
    else
        Drawing.RepaintViews();
    Host.DrawingCleared();
    CurrentFile.Kind = fkNone;
    Host.SetCaption(AppTitle);
}

void TFileCommands::New()
{
    Host.StopOperation();
    if (Drawing.ObjectsCount() == 0)
        return;
    if (!CancellatoTutto())
        return;
    CurrentFile.FileName.clear();
    Host.DrawingRenewed();
}

bool TFileCommands::SaveAs()
{
    if (Drawing.ObjectsCount() == 0) {
        Message(GetLangString(405), 406, TMsgIcon::Warning);
        return false;
    }
    ShowStatusMessage(GetLangString(402));
    const std::string suggested =
        WithoutExtension(CurrentFile.FileName.empty() ? "*.*" : CurrentFile.FileName);
    const std::string name = Host.AskSaveFileName(suggested);
    if (name.empty()) {
        ShowStatusMessage("");
        return false;
    }
    const int kind = IndiceExt(name);
    if (kind == 0) {
        Message(GetLangString(458), 406, TMsgIcon::Warning);
        return false;
    }
    if (kind != 1) {
        Message(GetLangString(403), 404, TMsgIcon::Information);
        return false;
    }
    {
        const TBusy busy(*this);
        auto kept = Drawing.OnSaveProgress;
        Drawing.OnSaveProgress = [this](TQV_01Cmp&, uint8_t Percent) { SetProgressPercent(Percent); };
        try {
            Drawing.SaveToFile(name);
        } catch (const EUserBreak&) {
            Drawing.OnSaveProgress = kept;
            ShowStatusMessage("");
            return false;
        } catch (const std::exception& e) {
            Drawing.OnSaveProgress = kept;
            // The old file and the old name stay.
            ShowStatusMessage("");
            Message(e.what(), 406, TMsgIcon::Warning);
            return false;
        }
        Drawing.OnSaveProgress = kept;
    }
    // Only a file that was written takes the drawing's name.
    CurrentFile.FileName = name;
    FRecentFiles.Add(name);
    ShowStatusMessage("");
    Host.SetCaption(AppTitle + " - " + name);
    return true;
}

bool TFileCommands::CheckVectorize()
{
    // The image may have been deleted or the drawing cleared since the picture was opened.
    const bool traceable = (CurrentFile.Kind == fkBmp || CurrentFile.Kind == fkJpeg) && CurrentBitmap &&
                           FSourceBitmap && Drawing.GetObject(CurrentBitmap->ID) == CurrentBitmap &&
                           std::as_const(*CurrentBitmap).Bitmap().Width() == FSourceBitmap->Width() &&
                           std::as_const(*CurrentBitmap).Bitmap().Height() == FSourceBitmap->Height();
    if (!traceable)
        Message(GetLangString(407), 408, TMsgIcon::Warning);
    return traceable;
}
