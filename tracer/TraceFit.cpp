// The fit grows each edge from its first vertex as far as the cone of directions that pass
// within the tolerance of every point so far stays open (cone intersection, as in the classic
// fast polygonal approximations), and never across a corner.
#include "TraceFit.h"

#include "TraceCorners.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Rebuilds the polygon edge by edge: vertex i stays when keep(i), and each edge (i, j) gets
// the point at fraction atStart(i, j) of the way from i, then the one at fraction atEnd(i, j)
// of the way back from j; a negative fraction adds nothing. Ends of an open chain stay.
template <class Keep, class AtStart, class AtEnd>
void RebuildEdges(std::vector<TVector2D>& p, std::vector<char>& corner, bool closed, std::vector<TVector2D>& q,
                  std::vector<char>& qc, Keep keep, AtStart atStart, AtEnd atEnd)
{
    const int n = int(p.size());
    q.clear();
    qc.clear();
    const int edges = closed ? n : n - 1;
    for (int i = 0; i < edges; ++i) {
        const int j = (i + 1) % n;
        if (keep(i)) {
            q.push_back(p[i]);
            qc.push_back(corner[i]);
        }
        const TVector2D a = p[i], b = p[j];
        if (const double f = atStart(i, j); f >= 0) {
            q.push_back({a.X + (b.X - a.X) * f, a.Y + (b.Y - a.Y) * f});
            qc.push_back(0);
        }
        if (const double f = atEnd(i, j); f >= 0) {
            q.push_back({b.X + (a.X - b.X) * f, b.Y + (a.Y - b.Y) * f});
            qc.push_back(0);
        }
    }
    if (!closed) {
        q.push_back(p[n - 1]);
        qc.push_back(1);
    }
    p.swap(q);
    corner.swap(qc);
}

} // namespace

void SmoothPolygon(std::vector<TVector2D>& p, std::vector<char>& corner, bool closed, int level)
{
    const int n = int(p.size());
    if (level <= 0 || n < 3)
        return;
    std::vector<TVector2D> q;
    std::vector<char> qc;
    for (int pass = 1; pass < level; ++pass) {
        q = p;
        for (int i = 0; i < n; ++i) {
            if (corner[i])
                continue;
            const TVector2D a = q[(i + n - 1) % n], b = q[i], c = q[(i + 1) % n];
            p[i] = {0.25 * a.X + 0.5 * b.X + 0.25 * c.X, 0.25 * a.Y + 0.5 * b.Y + 0.25 * c.Y};
        }
    }
    // Smoothing is for the pixel staircase, not for the shape: the rounding of a smooth vertex
    // may pass at most a pixel inside it. A rounding that touches both edges at distance r
    // from a vertex turning by t passes 0.5 r sin(t / 2) inside it, so where r would come
    // out too large, extra points on the edges keep the curve on them until close to the
    // vertex. Gentle vertices, as on the polygon of a circle, still round over whole edges.
    {
        auto len = [&](int i) {
            const TVector2D a = p[(i + n) % n], b = p[(i + 1) % n];
            return std::hypot(b.X - a.X, b.Y - a.Y);
        };
        auto reach = [&](int i) {
            constexpr double MaxInset = 1.0;
            if (corner[i] || (!closed && (i == 0 || i == n - 1)))
                return 1e300;
            const double half = 0.5 * TurnDegrees(p[(i + n - 1) % n], p[i], p[(i + 1) % n]) * std::numbers::pi / 180;
            return 2 * MaxInset / std::max(std::sin(half), 1e-6);
        };
        auto inset = [&](int v, int edge) {
            const double l = len(edge), r = reach(v);
            return r < 0.5 * l - 1e-9 ? r / l : -1.0;
        };
        RebuildEdges(p, corner, closed, q, qc, [](int) { return true; }, [&](int i, int) { return inset(i, i); },
                     [&](int i, int j) { return inset(j, i); });
    }
    // Three passes bring every turn down to an eighth, close enough to the curve for fitting.
    constexpr int CurvePasses = 3;
    for (int pass = 0; pass < CurvePasses; ++pass)
        RebuildEdges(p, corner, closed, q, qc, [&](int i) { return corner[i] != 0; },
                     [&](int i, int) { return corner[i] ? -1.0 : 0.25; }, [&](int, int j) { return corner[j] ? -1.0 : 0.25; });
}

namespace {

// Number of points after `from` that the edge starting there may cover (1 at least).
int GrowEdge(const std::vector<TVector2D>& p, int from, int maxSteps, double tol)
{
    const int n = int(p.size());
    const TVector2D s = p[from];
    // The cone runs anticlockwise from lo to hi; it never opens to half a turn or more.
    double loX = 0, loY = 0, hiX = 0, hiY = 0, farthest = 0;
    bool coneSet = false;
    int best = 1;
    for (int k = 1; k <= maxSteps; ++k) {
        const TVector2D q = p[(from + k) % n];
        const double ux = q.X - s.X, uy = q.Y - s.Y, d = std::sqrt(ux * ux + uy * uy);
        if (d < farthest - tol)
            break;  // the outline doubles back
        farthest = std::max(farthest, d);
        if (d <= tol) {
            best = k;
            continue;
        }
        if (coneSet && (loX * uy - loY * ux < 0 || ux * hiY - uy * hiX < 0))
            break;
        best = k;
        // Directions that pass within tol of q: u turned either way by asin(tol / d).
        const double sn = tol / d, cs = std::sqrt(1 - sn * sn);
        const double cwX = ux * cs + uy * sn, cwY = uy * cs - ux * sn;
        const double ccwX = ux * cs - uy * sn, ccwY = uy * cs + ux * sn;
        if (!coneSet) {
            loX = cwX, loY = cwY, hiX = ccwX, hiY = ccwY;
            coneSet = true;
            continue;
        }
        if (loX * cwY - loY * cwX > 0)
            loX = cwX, loY = cwY;
        if (hiX * ccwY - hiY * ccwX < 0)
            hiX = ccwX, hiY = ccwY;
        if (loX * hiY - loY * hiX < 0)
            break;  // empty: no later point can be reached
    }
    return best;
}

} // namespace

std::vector<TVector2D> FitWithin(const std::vector<TVector2D>& p, const std::vector<char>& corner, bool closed,
                                 double tol)
{
    const int n = int(p.size());
    if (n < 3)
        return p;
    std::vector<TVector2D> out;
    int start = 0;
    if (closed) {
        const auto it = std::find(corner.begin(), corner.end(), 1);
        if (it != corner.end())
            start = int(it - corner.begin());
    }
    const int total = closed ? n : n - 1;
    const bool anyCorner = std::find(corner.begin(), corner.end(), 1) != corner.end();
    // A closed outline without corners needs three edges at least.
    const int cap = closed && !anyCorner ? std::max(1, n / 3) : total;
    int covered = 0;
    int nextCorner = 0;  // points covered when the next corner (or the end) is reached
    while (covered < total) {
        const int i = (start + covered) % n;
        out.push_back(p[i]);
        if (nextCorner <= covered) {
            nextCorner = covered + 1;
            while (nextCorner < total && !corner[(start + nextCorner) % n])
                ++nextCorner;
        }
        covered += GrowEdge(p, i, std::min(cap, nextCorner - covered), tol);
    }
    if (!closed)
        out.push_back(p[n - 1]);
    return out;
}
