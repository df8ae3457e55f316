#include "TraceOutput.h"

#include <algorithm>

void EmitPolyline(TTraceResult& result, const std::vector<TVector2D>& pts, bool closed, int imageHeight)
{
    const size_t n = pts.size();
    if (n < 2)
        return;
    auto flip = [&](const TVector2D& v) { return TVector2D{v.X, imageHeight - v.Y}; };
    if (closed && n + 1 <= MaxPolylinePoints) {
        TTracedPolyline& out = result.Polylines.emplace_back();
        out.Closed = true;
        out.Points.reserve(n);
        for (const TVector2D& v : pts)
            out.Points.push_back(flip(v));
        return;
    }
    // Open pieces sharing their end points; a closed outline ends back at its first point.
    const size_t total = closed ? n + 1 : n;
    for (size_t from = 0; from + 1 < total; from += MaxPolylinePoints - 1) {
        const size_t to = std::min(total, from + MaxPolylinePoints);
        TTracedPolyline& out = result.Polylines.emplace_back();
        out.Points.reserve(to - from);
        for (size_t i = from; i < to; ++i)
            out.Points.push_back(flip(pts[i % n]));
    }
}

void EmitPoint(TTraceResult& result, TVector2D p, int imageHeight)
{
    TTracedPolyline& out = result.Polylines.emplace_back();
    out.Points.push_back({p.X, imageHeight - p.Y});
}
