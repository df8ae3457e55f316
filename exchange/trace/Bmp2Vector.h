#pragma once
// The tracing front end: turns the opened picture into vectors. It previews a colour threshold
// on the image entity, removes small specks, writes the black-and-white picture for the tracer
// into the private temporary folder, runs the tracer, reads its DXF result into a container laid
// over the picture, drops tiny pieces, previews lines and arcs fitted to the traced polylines
// and, on Accept, puts the result into the drawing. The tracing page reads its controls into
// TTraceSettings and calls one operation per button.
#include "TracerRun.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class TBitmap2D;
class TBitmap32;
class TContainer2D;
class TQV_01Cmp2D;
class TQVScene;
class TViewPreview;

// The values of the tracing page's controls.
struct TTraceSettings {
    int Red = 128, Green = 127, Blue = 126; // tbrRosso, tbrVerde, tbrBlu
    int BlackSpots = 1;                     // sedSpotsNeri
    int WhiteSpots = 1;                     // sedSpotsBianchi
    // sedError_threshold, sedFilter_iterations, sedCorner_threshold, chkCenterline
    TTraceParams Tracer = TraceDefaults();
    std::string RemoveSmaller = "0.1"; // txtVecRemove, in pixels
    bool FitArcs = false;              // chkVecFilter
    std::string FitTolerance = "0.1", FitMinimum = "1", FitMaximum = "500";
};

class TBmp2Vector {
public:
    // Image is the picture's entity in Drawing (its pixels are the preview), Source the
    // untouched picture; both must outlive this object, or the image is freed from the drawing,
    // which this object hears of. Folder is the private temporary folder (with a trailing '/'),
    // TracerProgram the tracer's path. View shows the traced preview; null for none.
    TBmp2Vector(TQV_01Cmp2D& Drawing, TBitmap2D& Image, const TBitmap32& Source, std::string Folder,
                std::string TracerProgram, TQVScene* View);
    ~TBmp2Vector();
    TBmp2Vector(const TBmp2Vector&) = delete;
    TBmp2Vector& operator=(const TBmp2Vector&) = delete;

    // The threshold (or, with ViewOriginal, the untouched picture) on the displayed image, in
    // the plain colours or the marker colours.
    void ApplyThreshold(const TTraceSettings& Settings, bool Markers);
    // The untouched picture back on the image, whatever the page showed on it: the page is left.
    void ShowUntouched();
    // Ink specks, then paper specks, of the sizes set, from the displayed image.
    void RemoveSpots(const TTraceSettings& Settings);
    // Traces the displayed image with Runner and shows the result. False, after telling the
    // user why, when no result came: the previous result is gone then as well.
    bool Vectorize(const TTraceSettings& Settings, TTracerRunner& Runner);
    // Puts the traced result (or, with fitting, the fitted lines and arcs) into the drawing.
    // False, after telling the user, when the fitting values are not numbers: the result stays
    // for another try.
    bool Accept(const TTraceSettings& Settings);

    // Drawing units per pixel, and the picture's lower-left corner.
    double PixelWidth = 1, PixelHeight = 1;
    double OriginX = 0, OriginY = 0;
    bool MarkersOn = false;
    bool ViewOriginal = false;
    // The report lines, each to be added to the page's report as it comes.
    std::function<void(const std::string& Line)> OnReport;

    const TContainer2D* Traced() const { return FTraced.get(); }

private:
    void ResolveMarkers();
    void DropTraced();
    bool FitArcs(const TTraceSettings& Settings, bool Preview, bool Report);
    // Every traced object, or only the points (dots), into the drawing over the picture.
    void CommitVectors(bool PointsOnly);
    void Report(const std::string& Text);
    void Warn(const std::string& Text);

    TQV_01Cmp2D& Drawing;
    TBitmap2D* Image;
    const TBitmap32& Source;
    const std::string Folder;
    const std::string TracerProgram;
    TQVScene* View;
    int32_t FreeListener;
    uint32_t OffColour, OnColour;
    std::unique_ptr<TContainer2D> FTraced;
    std::unique_ptr<TViewPreview> FitPreview;
};
