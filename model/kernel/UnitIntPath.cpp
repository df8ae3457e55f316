#include "UnitIntPath.h"

#include "CADExceptions.h"
#include "QVGeometry.h"
#include "UnitConfig.h"
#include "UnitCurva.h"

#include <algorithm>
#include <cmath>

namespace {

// The library refuses coordinates beyond its range (2^62 - 1); doubles below 2^62 convert
// within it.
constexpr double IntCoordLimit = 0x1p62;
// The largest arc radius of open paths.
constexpr double OpenPathMaxArcRadius = 1000;

void AppendPath(TACurva& Curve, const ClipperLib::Path& Path)
{
    for (const ClipperLib::IntPoint& p : Path)
        Curve.AddVertex(TAVertice::CreatePoint({FromIntCoord(p.X), FromIntCoord(p.Y)}, 0));
}

void CloseIfEndsMeet(TACurva& Curve)
{
    if (IsSamePoint(Curve.Vertices.front().Point, Curve.Vertices.back().Point))
        Curve.Closed = true;
}

}  // namespace

ClipperLib::cInt ToIntCoord(double V)
{
    const double scaled = std::nearbyint(V * IntCoordScale);
    if (!(std::fabs(scaled) < IntCoordLimit))
        throw ECADOutOfBound("ToIntCoord: Coordinate out of the integer range.");
    return static_cast<ClipperLib::cInt>(scaled);
}

double FromIntCoord(ClipperLib::cInt I)
{
    return static_cast<double>(I) / IntCoordScale;
}

ClipperLib::IntPoint ToIntPoint(const TVector2D& P)
{
    return {ToIntCoord(P.X), ToIntCoord(P.Y)};
}

void TessellateVertex(const TAVertice& V, const TAVertice* Prev, std::vector<TVector2D>& Points)
{
    if (Prev && IsSamePoint(V.Point, Prev->Point))
        return;
    if (V.Kind == 0 || !Prev) {
        Points.push_back(V.Point);
        return;
    }
    // The chord tolerance is the curve tolerance; the step stays finite and the count between 1
    // and 200 for any radius and tolerance.
    TArrayOfPoint2d arc;
    ArcToPoints2DTol(V.Centre, Prev->Point, V.Point, V.Kind != 1, ArcTolerance, arc);
    for (const TPoint2D& p : arc)
        Points.push_back({p.X, p.Y});
}

void CurveToPath(const TACurva& Curve, bool Reverse, ClipperLib::Path& Path)
{
    if (Curve.Vertices.empty())
        return;
    std::vector<TVector2D> points;
    points.reserve(Curve.Vertices.size());
    const TAVertice* prev = nullptr;
    for (const TAVertice& v : Curve.Vertices) {
        TessellateVertex(v, prev, points);
        prev = &v;
    }
    if (points.size() > 1 && IsSamePoint(points.back(), points.front()))
        points.pop_back();
    if (Reverse)
        std::reverse(points.begin(), points.end());
    ClipperLib::Path path;
    path.reserve(points.size());
    for (const TVector2D& p : points)
        path.push_back(ToIntPoint(p));
    Path = std::move(path);
}

void PathToClosedCurve(TACurva& Curve, const ClipperLib::Path& Path, bool FitArcs, bool AppendFirst)
{
    if (Path.empty())
        return;
    AppendPath(Curve, Path);
    if (AppendFirst) {
        const TAVertice first = Curve.Vertices.front();
        Curve.AddVertex(first);
    } else {
        const TAVertice last = Curve.Vertices.back();
        Curve.Vertices.insert(Curve.Vertices.begin(), last);
    }
    if (FitArcs)
        Curve.FitArcs(AppConfig ? AppConfig->MaxArcFit : DefMaxArcFit[1]);
    CloseIfEndsMeet(Curve);
}

void PathToOpenCurve(TACurva& Curve, const ClipperLib::Path& Path, bool FitArcs)
{
    if (Path.empty())
        return;
    AppendPath(Curve, Path);
    if (FitArcs)
        Curve.FitArcs(OpenPathMaxArcRadius);
    CloseIfEndsMeet(Curve);
}
