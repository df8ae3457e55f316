#pragma once
// The tracer's one-page interface: a parameter record with its defaults, a packed monochrome
// bitmap, and one call that turns the bitmap into polylines. Qt-free; the doru program reads
// BMP files and writes DXF around it.
#include "MonoBitmap.h"
#include "QVTypes.h"

#include <functional>
#include <vector>

struct TTraceParams {
    double ErrorThreshold = 0.1;  // -et: pixels the result may depart from the smoothed shape
    int FilterIterations = 1;     // -fi: smoothing passes before fitting
    double CornerThreshold = 90;  // -ct: degrees; a turn at least this sharp stays a corner
    bool CentreLine = false;      // -cline: trace stroke middles instead of outlines
};

TTraceParams TraceDefaults();

// Largest point count of one output polyline; longer ones are split into chained pieces.
constexpr size_t MaxPolylinePoints = 65535;

// Coordinates in pixel units, origin at the image's lower-left corner, Y up, pixel edges on
// whole numbers. A closed polyline does not repeat its first point at the end. A polyline of
// one point is a dot (a point in the DXF file).
struct TTracedPolyline {
    std::vector<TVector2D> Points;
    bool Closed = false;
};

struct TTraceResult {
    std::vector<TTracedPolyline> Polylines;
    size_t VertexCount() const;
};

// Fraction done, 0 to 1; called now and then from the tracing thread.
using TTraceProgress = std::function<void(double)>;

TTraceResult Trace(const TMonoBitmap& bitmap, const TTraceParams& params,
                   const TTraceProgress& progress = {});
