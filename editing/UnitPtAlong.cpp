#include "UnitPtAlong.h"

#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVPreview.h"
#include "QVVariabili.h"
#include "UndoRecord.h"
#include "UndoRedo.h"
#include "UnitCatena.h"
#include "UnitCurva.h"

#include <cmath>

namespace {

constexpr int32_t PreviewColor = 0x0000FF; // red

// The element from Start to V: its length, and the point at fraction F of it.
double ElementLength(const TVector2D& Start, const TAVertice& V)
{
    if (V.Kind == 0)
        return VectorDistance2D(Start, V.Point);
    const TAArco arc = TAArco::CreateFromPoints(Start, V.Point, V.Centre, V.Kind == 1, 0);
    return arc.Sweep() * VectorDistance2D(V.Point, V.Centre);
}

TVector2D ElementPoint(const TVector2D& Start, const TAVertice& V, double F)
{
    if (V.Kind == 0)
        return {Start.X + (V.Point.X - Start.X) * F, Start.Y + (V.Point.Y - Start.Y) * F};
    TAArco arc = TAArco::CreateFromPoints(Start, V.Point, V.Centre, V.Kind == 1, 0);
    arc.ComputeAngles();
    return arc.PointAt(F);
}

} // namespace

double ChainLength(const TACurva& Chain)
{
    double length = 0;
    for (size_t i = 1; i < Chain.Vertices.size(); ++i)
        length += ElementLength(Chain.Vertices[i - 1].Point, Chain.Vertices[i]);
    return length;
}

std::vector<TVector2D> PointsAlong(const TACurva& Chain, int32_t N)
{
    std::vector<TVector2D> points;
    const double length = ChainLength(Chain);
    // A chain of no length has no spacing to walk by.
    if (N <= 1 || Chain.Vertices.empty() || !(length > SystemTol()))
        return points;
    const double s = length / (N - 1);
    points.push_back(Chain.Vertices[0].Point);
    double acc = 0;
    TVector2D cur = Chain.Vertices[0].Point;
    size_t i = 1;
    // Never more points than asked, whatever the rounding does at the end.
    while (i < Chain.Vertices.size() && points.size() < static_cast<size_t>(N)) {
        const TAVertice& v = Chain.Vertices[i];
        const double g = ElementLength(cur, v);
        if (g > 0 && IsGreaterOrEqual(acc + g, s)) {
            const double f = std::min(1.0, 1 - (acc + g - s) / g);
            // The rest of an arc keeps its centre and direction from the new point on.
            const TVector2D p = ElementPoint(cur, v, f);
            points.push_back(p);
            acc = 0;
            cur = p;
        } else {
            acc += g;
            cur = v.Point;
            ++i;
        }
    }
    return points;
}

TPtAlongResult MakePointsAlong(TQV_01Cmp2D& Drawing, TListaCatene& List, const TPtAlongOptions& Options,
                               bool Commit, TPreviewTarget* Preview)
{
    TPtAlongResult result;
    TUndoRecord record(TUndoKind::NewObjects);
    for (int32_t c = 0; c < List.Count(); ++c) {
        const TCatena& chain = List.Chain(c);
        if (Options.Count <= 1)
            continue;
        result.Computed = true;
        result.Length = ChainLength(chain);
        result.Spacing = result.Length / (Options.Count - 1);
        const std::vector<TVector2D> points = PointsAlong(chain, Options.Count);
        size_t n = points.size();
        if (n > 1 && IsSamePointTol(points.front(), points.back(), 0.0001))
            --n;
        for (size_t k = 0; k < n; ++k) {
            const TPoint2D p{points[k].X, points[k].Y, 1};
            std::vector<std::unique_ptr<TObject2D>> made;
            if (Options.Holes && Options.HoleRadius > 0)
                made.push_back(
                    Commit ? std::make_unique<TCerchio2D>(-1, p, TPoint2D{p.X + Options.HoleRadius, p.Y, 1})
                           : std::make_unique<TCerchio2D>(-1, p, TPoint2D{p.X + Options.HoleRadius, p.Y, 1},
                                                          PreviewColor, 1, IdentityMatrix));
            if (Options.Points) {
                auto point = std::make_unique<TPunto2D>(-1, p);
                if (!Commit) {
                    point->UseLayerStyle = false;
                    point->Color = PreviewColor;
                }
                made.push_back(std::move(point));
            }
            for (auto& e : made) {
                ++result.Entities;
                if (Commit)
                    record.Added(*Drawing.AddObject(-1, std::move(e)));
                else if (Preview)
                    Preview->AddPreview(std::move(e));
            }
        }
    }
    if (Commit && result.Entities > 0 && UndoRedo)
        record.Push(*UndoRedo);
    return result;
}
