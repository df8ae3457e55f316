#include "Bmp2Vector.h"

#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVDXFImport.h"
#include "QVEntity.h"
#include "QVFiltraArchi.h"
#include "QVFormat.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVScenePreview.h"
#include "QVServices.h"
#include "TracePixels.h"

#include <cmath>
#include <ctime>
#include <filesystem>
#include <initializer_list>
#include <utility>
#include <vector>

namespace {

// Each "%d" of the text in turn takes the next number.
std::string WithNumbers(std::string Text, std::initializer_list<long long> Numbers)
{
    size_t at = 0;
    for (long long n : Numbers) {
        at = Text.find("%d", at);
        if (at == std::string::npos)
            break;
        const std::string digits = std::to_string(n);
        Text.replace(at, 2, digits);
        at += digits.size();
    }
    return Text;
}

std::string WithText(std::string Text, const std::string& Insert)
{
    if (const size_t at = Text.find("%s"); at != std::string::npos)
        Text.replace(at, 2, Insert);
    else
        Text += " " + Insert;
    return Text;
}

std::string TimeNow()
{
    char buffer[64];
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::strftime(buffer, sizeof buffer, "%X", &local);
    return buffer;
}

uint8_t Byte(int Value)
{
    return uint8_t(std::clamp(Value, 0, 255));
}

} // namespace

TBmp2Vector::TBmp2Vector(TQV_01Cmp2D& Drawing, TBitmap2D& Image, const TBitmap32& Source, std::string Folder,
                         std::string TracerProgram, TQVScene* View)
    : Drawing(Drawing), Image(&Image), Source(Source), Folder(std::move(Folder)),
      TracerProgram(std::move(TracerProgram)), View(View)
{
    const TRect2D& box = Image.Box;
    if (Source.Width() > 0 && Source.Height() > 0) {
        PixelWidth = (box.Second.X - box.First.X) / Source.Width();
        PixelHeight = (box.Second.Y - box.First.Y) / Source.Height();
    }
    OriginX = box.First.X;
    OriginY = box.First.Y;
    OffColour = InkPixel;
    OnColour = PaperPixel;
    FreeListener = Drawing.AddFreeListener([this](TGraphicObject& Obj) {
        if (&Obj == this->Image)
            this->Image = nullptr;
    });
    if (View)
        FitPreview = std::make_unique<TViewPreview>(*View);
}

TBmp2Vector::~TBmp2Vector()
{
    Drawing.RemoveFreeListener(FreeListener);
    DropTraced();
}

void TBmp2Vector::ApplyThreshold(const TTraceSettings& Settings, bool Markers)
{
    // The untouched picture holds no marker colours, and resolving them would blank it.
    MarkersOn = Markers && !ViewOriginal;
    OffColour = Markers ? MarkerInkPixel : InkPixel;
    OnColour = Markers ? MarkerPaperPixel : PaperPixel;
    if (!Image)
        return;
    if (ViewOriginal)
        Image->BitmapToOverwrite().Assign(Source);
    else
        ThresholdBitmap(Source, Image->BitmapToOverwrite(), Byte(Settings.Red), Byte(Settings.Green),
                        Byte(Settings.Blue), OffColour, OnColour);
    Image->UpdateTexture();
}

void TBmp2Vector::ShowUntouched()
{
    MarkersOn = false;
    if (!Image)
        return;
    Image->BitmapToOverwrite().Assign(Source);
    Image->UpdateTexture();
}

void TBmp2Vector::ResolveMarkers()
{
    if (MarkersOn && Image)
        ResolveMarkerPixels(Image->Bitmap());
    MarkersOn = false;
}

void TBmp2Vector::RemoveSpots(const TTraceSettings& Settings)
{
    ResolveMarkers();
    if (!Image)
        return;
    RemoveSpecks(Image->Bitmap(), Settings.BlackSpots, false);
    RemoveSpecks(Image->Bitmap(), Settings.WhiteSpots, true);
    Image->UpdateTexture();
}

void TBmp2Vector::Report(const std::string& Text)
{
    if (OnReport)
        OnReport(TimeNow() + " " + Text);
}

void TBmp2Vector::Warn(const std::string& Text)
{
    MainWindow().MessageBox(Text, GetLangString(450), TMsgIcon::Warning, TMsgButtons::Ok);
}

void TBmp2Vector::DropTraced()
{
    if (View)
        View->ResetOverlay();
    if (FitPreview)
        FitPreview->Clear();
    FTraced.reset();
}

bool TBmp2Vector::Vectorize(const TTraceSettings& Settings, TTracerRunner& Runner)
{
    ResolveMarkers();
    if (!Image)
        return false;
    const std::optional<double> removeBelow = ParseNumberOrReport(Settings.RemoveSmaller);
    if (!removeBelow)
        return false;

    const std::string folderWarning = GetLangString(454) + "\n\n" + Folder + "\n\n" + GetLangString(455);
    if (Folder.empty()) { // no private temporary folder could be made
        Warn(folderWarning);
        return false;
    }
    const std::string bmpName = Folder + "csq.bmp", outName = Folder + "csq.tmp";
    if (std::string why = SaveMonoBmp(bmpName, std::as_const(*Image).Bitmap()); !why.empty()) {
        Warn(WithText(GetLangString("TracerPictureFailed"), why));
        return false;
    }
    ApplyThreshold(Settings, true);

    // A result left by an earlier run must never pass for this run's.
    std::error_code gone;
    std::filesystem::remove(outName, gone);
    if (gone || std::filesystem::exists(outName)) {
        Warn(folderWarning);
        return false;
    }

    Report(GetLangToolWin("strVec1"));
    ShowStatusMessage(GetLangString(410));
    DropTraced();

    const TTracerRun run = Runner.Run(TracerProgram, TracerArguments(Settings.Tracer, Folder));
    switch (run.End) {
    case TTracerRun::TEnd::NotStarted:
        Warn("DORU DLL " + GetLangString(453) + (run.Error.empty() ? "" : "\n\n" + run.Error));
        return false;
    case TTracerRun::TEnd::Cancelled:
        Report(GetLangString("TracerCancelled"));
        return false;
    case TTracerRun::TEnd::Crashed:
        Warn(WithText(GetLangString("TracerFailed"), run.Error));
        return false;
    case TTracerRun::TEnd::Exited:
        break;
    }
    if (run.ExitCode != 0) {
        Warn(WithText(GetLangString("TracerFailed"), TracerExitText(run.ExitCode)) +
             (run.Error.empty() ? "" : "\n\n" + run.Error));
        return false;
    }
    if (!std::filesystem::exists(outName)) {
        Warn(GetLangString("TracerNoResult"));
        return false;
    }

    std::unique_ptr<TContainer2D> traced;
    std::string readError;
    {
        // Why the result cannot be read is told below, with the tracer's words.
        TDXF2DImport import(outName, &Drawing, false);
        if (!import.Failed)
            traced = import.ImportAsContainer();
        readError = import.ErrorMessage;
    }
    if (!traced) {
        Warn(WithText(GetLangString("TracerUnreadable"), readError));
        return false;
    }

    // Pieces below the removal size, measured in the tracer's pixels. A point has no size to
    // measure: it is a dot the tracer found in place of a round blob, which would otherwise be
    // dropped whatever its size.
    int32_t count = 0, vertices = 0;
    std::vector<int32_t> tiny;
    {
        TGraphicObjIterator it = traced->Objects.GetIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            ++count;
            if (auto* polyline = dynamic_cast<TPolyline2D*>(obj))
                vertices += polyline->GetProfileCount();
            if (auto* o2d = dynamic_cast<TObject2D*>(obj); o2d && !dynamic_cast<TPunto2D*>(obj)) {
                const TRect2D& b = o2d->Box;
                if (std::hypot(b.Second.X - b.First.X, b.Second.Y - b.First.Y) < *removeBelow)
                    tiny.push_back(obj->ID);
            }
        }
    }
    for (int32_t id : tiny)
        traced->Objects.Delete(id);
    Report(WithNumbers(GetLangToolWin("strVec2"), {count, vertices, static_cast<long long>(tiny.size())}));

    TMatrix4 placement;
    placement.Multiply(TMatrix4::CreateScale(PixelWidth, PixelHeight, 1),
                       TMatrix4::CreateTranslation(OriginX, OriginY, 0));
    traced->SetModelTransform(placement);
    traced->Layer = uint8_t(Drawing.CurrentLayer);
    FTraced = std::move(traced);
    if (View) {
        View->ResetOverlay();
        View->SetRubberBandObject(FTraced.get());
        View->Repaint();
    }
    FitArcs(Settings, true, true);
    return true;
}

bool TBmp2Vector::FitArcs(const TTraceSettings& Settings, bool Preview, bool Report)
{
    if (!Settings.FitArcs || !FTraced)
        return true;
    TFiltraInArchi filter(Drawing, Preview, FitPreview.get());
    if (!filter.SetParams(Settings.FitTolerance, Settings.FitMinimum, Settings.FitMaximum))
        return false;
    if (Preview && FitPreview)
        FitPreview->Clear();
    filter.Matrix = FTraced->ModelTransform();
    filter.Execute(FTraced->Objects.GetIterator());
    if (Report)
        this->Report(WithNumbers(GetLangToolWin("strFilter1"), {filter.ArcCount, filter.LineCount}));
    return true;
}

bool TBmp2Vector::Accept(const TTraceSettings& Settings)
{
    // The fitting values first: when they are wrong the trace stays on show for another try.
    if (Settings.FitArcs && FTraced &&
        !(NumeroValido(Settings.FitTolerance) && NumeroValido(Settings.FitMinimum) &&
          NumeroValido(Settings.FitMaximum))) {
        TFiltraInArchi check(Drawing, true);
        check.SetParams(Settings.FitTolerance, Settings.FitMinimum, Settings.FitMaximum);
        return false;
    }
    if (View)
        View->ResetOverlay();
    if (FitPreview)
        FitPreview->Clear();
    if (!FTraced)
        return true;
    if (!Settings.FitArcs) {
        CommitVectors(false);
    } else {
        FitArcs(Settings, false, false);
        CommitVectors(true); // fitting makes lines and arcs of polylines: the dots stay as they are
    }
    FTraced.reset();
    Drawing.RepaintViews();
    return true;
}

void TBmp2Vector::CommitVectors(bool PointsOnly)
{
    const TMatrix4 placement = FTraced->GetModelTransform();
    std::vector<std::unique_ptr<TGraphicObject>> children;
    {
        TExclusiveGraphicObjIterator it = FTraced->Objects.GetExclusiveIterator();
        for (it.First(); it.Current();) {
            if (PointsOnly && !dynamic_cast<TPunto2D*>(it.Current()))
                it.Next();
            else
                children.push_back(it.RemoveCurrent());
        }
    }
    for (std::unique_ptr<TGraphicObject>& child : children) {
        if (auto* o2d = dynamic_cast<TObject2D*>(child.get()))
            o2d->TransformBy(placement);
        Drawing.AddObject(-1, std::move(child));
    }
}
