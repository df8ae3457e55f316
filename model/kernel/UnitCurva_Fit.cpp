// Arc fitting: runs of line vertices that lie close to one circle become arcs.
#include "UnitCurva.h"

#include "QVGeometry.h"
#include "QVMatrix.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <numbers>
#include <span>

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;
// A fitted run must sweep less than this (a little more than a half circle).
constexpr double MaxFitSweep = 3.15;
// The fit tolerance as a multiple of ArcTolerance.
constexpr double FitToleranceFactor = 1.4;

double AngleAbout(const TVector2D& Centre, const TVector2D& P)
{
    return std::atan2(P.Y - Centre.Y, P.X - Centre.X);
}

// Can the element from Start through the points of Run be one arc? Only then Arc takes the fit
// (centre, ends, direction, the last vertex's tag); its MaxRadius is kept.
bool TryFitRun(const TVector2D& Start, std::span<const TAVertice> Run, TAArco& Arc)
{
    if (Run.size() < 2)
        return false;
    const TVector2D& last = Run.back().Point;
    const TACerchio circle(Start, Run[(Run.size() - 1) / 2].Point, last);
    const double tol = ArcTolerance * FitToleranceFactor;
    // No circle (collinear points) fits nothing. Nor does one so large that distances to it are
    // not resolved to the tolerance any more: every point would seem to lie on it.
    if (!(circle.Radius > 0) || !(circle.Radius * 16 * DBL_EPSILON < tol))
        return false;
    if (!circle.IsNear(Start, tol))
        return false;
    TVector2D prev = Start;
    for (const TAVertice& w : Run) {
        if (!circle.IsNear(w.Point, tol) || !circle.IsNear(MidPoint(prev, w.Point), tol))
            return false;
        prev = w.Point;
    }

    TAArco a = TAArco::CreateFromPoints(Start, last, circle.Centre, true, Run.back().Tag);
    a.SetDirectionThrough(Run.front().Point);
    double as = AngleAbout(a.Centre, a.StartPt);
    double ae = AngleAbout(a.Centre, a.EndPt);
    if (a.CCW && as > ae)
        ae += TwoPi;
    if (!a.CCW && as < ae)
        as += TwoPi;
    if (a.Sweep() >= MaxFitSweep)
        return false;
    // Every point must lie within the arc's sweep, not on the rest of the circle.
    for (const TAVertice& w : Run) {
        double angle = AngleAbout(a.Centre, w.Point);
        if (a.CCW) {
            if (angle < as)
                angle += TwoPi;
            if (angle > ae)
                return false;
        } else {
            if (angle < ae)
                angle += TwoPi;
            if (angle > as)
                return false;
        }
    }
    a.MaxRadius = Arc.MaxRadius;
    Arc = a;
    return true;
}

// The length of the run from Run[0] on that becomes one arc. Testing a length costs the whole
// length, so growing the run one vertex at a time would cost time quadratic in its length on
// large circles and long noisy sides. Lengths are tried in doubling steps instead, and the end
// is found by bisection between the last length that fitted and the first that did not: the
// cost stays near linear and each kept arc has passed the full test. Where noise makes the fit
// come and go along a run, this may keep a longer run than vertex-by-vertex growth would.
// The first two vertices fit and Arc holds that fit; a failed trial leaves Arc alone, so it ends
// with the fit of the length returned.
size_t LongestFit(const TVector2D& Start, std::span<const TAVertice> Run, TAArco& Arc)
{
    size_t good = 2, bad = Run.size() + 1, step = 1;
    while (good < Run.size()) {
        const size_t length = std::min(good + step, Run.size());
        if (!TryFitRun(Start, Run.first(length), Arc)) {
            bad = length;
            break;
        }
        good = length;
        step *= 2;
    }
    while (bad - good > 1) {
        const size_t length = good + (bad - good) / 2;
        if (TryFitRun(Start, Run.first(length), Arc))
            good = length;
        else
            bad = length;
    }
    return good;
}

// A vertex that fits no arc passes through as it is, unless it repeats the point before it.
void PassThrough(const TAVertice& V, std::vector<TAVertice>& Output)
{
    if (!IsSamePoint(Output.back().Point, V.Point))
        Output.push_back(V);
}

// Fits the line vertices of Run, which follow the last vertex of Output.
void FitLineRun(std::span<const TAVertice> Run, TAArco& Arc, std::vector<TAVertice>& Output, bool& Changed)
{
    size_t a = 0;
    while (a < Run.size()) {
        const TVector2D start = Output.back().Point;
        const std::span<const TAVertice> rest = Run.subspan(a);
        if (rest.size() < 2 || !TryFitRun(start, rest.first(2), Arc)) {
            PassThrough(rest.front(), Output);
            ++a;
            continue;
        }
        a += LongestFit(start, rest, Arc);
        if (Arc.IsFlat())
            Output.push_back(TAVertice::CreatePoint(Arc.EndPt, Arc.Tag));
        else
            Output.push_back(TAVertice::CreateFull(Arc.CCW ? 1 : -1, Arc.EndPt, Arc.Centre, Arc.Tag));
        Changed = true;
    }
}

}  // namespace

TACerchio::TACerchio(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3)
{
    // Worked relative to P1, which keeps the squares small for points far from the origin.
    const double x2 = P2.X - P1.X, y2 = P2.Y - P1.Y;
    const double x3 = P3.X - P1.X, y3 = P3.Y - P1.Y;
    const double m = -2 * x2, t = -2 * y2;
    const double v = -(x2 * x2 + y2 * y2);
    const double a = -2 * x3, c = -2 * y3;
    const double d = -(x3 * x3 + y3 * y3);
    const double e = m * c - t * a;
    const TVector2D centre = {(c * v - t * d) / e, (m * d - a * v) / e};
    const double radius = VectorLength2D(centre);
    if (e == 0 || !std::isfinite(centre.X) || !std::isfinite(centre.Y) || !std::isfinite(radius))
        return;
    Centre = AddVector2D(P1, centre);
    Radius = radius;
}

bool TACerchio::IsNear(const TVector2D& P, double Tol) const
{
    return std::fabs(Radius - VectorDistance2D(P, Centre)) < Tol;
}

bool TACerchio::IsSegmentNear(const TVector2D& A, const TVector2D& B, double Tol) const
{
    return IsNear(A, Tol) && IsNear(B, Tol) && IsNear(MidPoint(A, B), Tol);
}

double TALinea::DistanceTo(const TVector2D& P) const
{
    const double length = VectorLength2D(Direction);
    if (!(length > 0))
        return VectorDistance2D(P, Origin);
    const TVector2D d = ScaleVector2D(Direction, 1 / length);
    const TVector2D foot = AddVector2D(Origin, ScaleVector2D(d, DotProduct2D(P, d) - DotProduct2D(Origin, d)));
    return VectorDistance2D(P, foot);
}

bool TAArco::IsFlat() const
{
    const double sagitta = TALinea(StartPt, SubVector2D(EndPt, StartPt)).DistanceTo(PointAt(0.5));
    if (sagitta > ArcTolerance)
        return Radius() > MaxRadius;
    return true;
}

void TACurva::FitArcs(double MaxRadius)
{
    if (Vertices.empty())
        return;
    TAArco arc;
    arc.MaxRadius = MaxRadius;
    std::vector<TAVertice> output;
    output.reserve(Vertices.size());
    output.push_back(Vertices.front());
    bool changed = false;
    const std::span<const TAVertice> all(Vertices);
    size_t i = 1;
    while (i < all.size()) {
        // An arc vertex ends the run of lines before it, which is fitted first.
        if (all[i].Kind != 0) {
            output.push_back(all[i]);
            ++i;
            continue;
        }
        size_t end = i;
        while (end < all.size() && all[end].Kind == 0)
            ++end;
        FitLineRun(all.subspan(i, end - i), arc, output, changed);
        i = end;
    }
    if (changed)
        Vertices = std::move(output);
}
