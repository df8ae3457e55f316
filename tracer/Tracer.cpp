// The tracing pipeline. Outline mode: decompose into crack boundaries, straight polygon,
// corners, smoothing and fitting, output. Centre-line mode: thinning to a skeleton, then the
// same corners, smoothing and fitting on its branches.
#include "Tracer.h"

#include "TraceCentreLine.h"
#include "TraceCorners.h"
#include "TraceDecompose.h"
#include "TraceFit.h"
#include "TraceOutput.h"
#include "TracePolygon.h"

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
            progress);
    } else {
        DecomposeOutlines(bitmap, emitOutline, progress);
    }
    if (progress)
        progress(1.0);
    return result;
}
