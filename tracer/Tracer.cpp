// The tracing pipeline. Outline mode: decompose into crack boundaries, straight polygon (or,
// where the picture's edges wander as a scan's do, a polygon that averages the wandering out),
// corners, smoothing and fitting, output. Centre-line mode: thinning to a skeleton, then the
// same corners, smoothing and fitting on its branches; a dot becomes a point.
#include "Tracer.h"

#include "TraceCentreLine.h"
#include "TraceCorners.h"
#include "TraceDecompose.h"
#include "TraceFit.h"
#include "TraceOutput.h"
#include "TracePolygon.h"
#include "TraceRoughness.h"
#include "TraceWander.h"

#include <algorithm>
#include <cmath>

TTraceParams TraceDefaults()
{
    return TTraceParams{};
}

size_t TTraceResult::VertexCount() const
{
    size_t n = 0;
    for (const TTracedPolyline& p : Polylines)
        n += p.Points.size();
    return n;
}

namespace {

std::vector<TVector2D> FitChain(std::vector<TVector2D> points, bool closed, const TTraceParams& params)
{
    std::vector<char> corner = FindCorners(points, closed, params.CornerThreshold);
    SmoothPolygon(points, corner, closed, params.FilterIterations);
    return FitWithin(points, corner, closed, params.ErrorThreshold);
}

// Twice the area a boundary encloses over its length: about the width of a stroke, the radius
// of a disc.
double Thickness(const TCrackPath& path)
{
    double area = 0;
    for (size_t i = 0, n = path.size(); i < n; ++i) {
        const TPixelPoint a = path[i], b = path[(i + 1) % n];
        area += double(a.X) * b.Y - double(b.X) * a.Y;
    }
    return std::abs(area) / double(std::max<size_t>(1, path.size()));
}

// Outlines, in two passes over the boundaries. How rough the edges are, and how far they
// wander, is judged first from a sample, the boundaries that start in every few bands of rows,
// spread over the picture; a clean picture keeps the sample's straight polygons, a rough one
// gets its boundaries smoothed along their length (corners kept), and only its specks and thin
// strokes polygons that average the wandering out.
void TraceOutlines(const TMonoBitmap& bitmap, const TTraceParams& params, TTraceResult& result,
                   const TTraceProgress& progress)
{
    const int h = bitmap.Height();
    auto part = [&](double from, double to) -> TTraceProgress {
        if (!progress)
            return {};
        return [&progress, from, to](double f) { progress(from + (to - from) * f); };
    };
    constexpr int BandRows = 16, Bands = 48;
    const int stride = std::max(1, h / (BandRows * Bands));
    std::vector<std::vector<TVector2D>> sample;
    TEdgeRoughness roughness;
    TWanderEstimate wanderEstimate;
    auto sampled = [&](int y) { return y / BandRows % stride == 0; };
    DecomposeOutlines(
        bitmap,
        [&](const TCrackPath& path) {
            // A boundary that reaches up into rows passed over is found from a row below its
            // top, where the full walk would not start it: it is no part of the sample.
            if (std::any_of(path.begin(), path.end(), [&](const TPixelPoint& p) { return p.Y < path[0].Y; }))
                return;
            sample.push_back(StraightPolygon(path));
            roughness.Add(path.size(), sample.back());
            wanderEstimate.Add(path);
        },
        part(0, 0.25), sampled);
    const double tolerance = roughness.Tolerance();
    const double wander = wanderEstimate.Tolerance();
    size_t next = 0; // the next of the sample, whose boundaries come again in the same order
    DecomposeOutlines(
        bitmap,
        [&](const TCrackPath& path) {
            std::vector<TVector2D> polygon;
            // Thin strokes, as of small print, keep the averaging polygon: their sides turn
            // round caps a few pixels across, which no parabola through their neighbours follows.
            constexpr double ThinStroke = 5;
            if (tolerance > 0 && path.size() >= MinWanderCorners && Thickness(path) >= ThinStroke) {
                // Already smooth: only the fit within the error threshold is left.
                std::vector<char> corner;
                polygon = WanderFreePolygon(path, wander, params.CornerThreshold, corner);
                next += sampled(path[0].Y);
                EmitPolyline(result, FitWithin(polygon, corner, true, params.ErrorThreshold), true, h);
                return;
            }
            const bool inSample = sampled(path[0].Y);
            if (tolerance > 0)
                polygon = WanderingPolygon(path, tolerance);
            else if (inSample)
                polygon = std::move(sample[next]);
            else
                polygon = StraightPolygon(path);
            next += inSample;
            EmitPolyline(result, FitChain(std::move(polygon), true, params), true, h);
        },
        part(0.25, 1));
}

} // namespace

TTraceResult Trace(const TMonoBitmap& bitmap, const TTraceParams& params, const TTraceProgress& progress)
{
    TTraceResult result;
    const int h = bitmap.Height();
    auto emitOutline = [&](const TCrackPath& path) {
        EmitPolyline(result, FitChain(StraightPolygon(path), true, params), true, h);
    };
    if (params.CentreLine) {
        TMonoBitmap blobsDone;
        TraceCentreLines(
            bitmap,
            [&](const std::vector<TVector2D>& chain, bool closed) {
                EmitPolyline(result, FitChain(chain, closed, params), closed, h);
            },
            [&](int x, int y) {
                if (blobsDone.Width() == 0)
                    blobsDone = TMonoBitmap(bitmap.Width(), h);
                DecomposeShapeAt(bitmap, x, y, blobsDone, emitOutline);
            },
            [&](TVector2D centre) { EmitPoint(result, centre, h); }, progress);
    } else {
        TraceOutlines(bitmap, params, result, progress);
    }
    if (progress)
        progress(1.0);
    return result;
}
