// Straight pieces are grown greedily along the boundary. A piece stays straight while its
// steps use at most two perpendicular directions and the direction from its first corner
// still passes within one pixel (chessboard distance) of every later corner: the cone of such
// directions shrinks with each corner and the piece ends where it would become empty. This is
// the classic cone-intersection test for digital straight segments.
//
// Some corners of the staircase are real turns of the shape and must start a new piece: both
// ends of a run of one or two steps between two opposite runs (the end of a thin bar), and the
// meeting of two perpendicular runs of three steps or more (the corner of a rectangle, turned
// or not).
#include "TracePolygon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

struct TIVec {
    int64_t X = 0, Y = 0;
};

int64_t Cross(TIVec a, TIVec b) { return a.X * b.Y - a.Y * b.X; }

int StepDir(TPixelPoint a, TPixelPoint b)
{
    if (b.X > a.X) return 0;
    if (b.Y > a.Y) return 1;
    if (b.X < a.X) return 2;
    return 3;
}

struct TRun {
    int Dir, Start, Len;
};

// The least-squares line of the unit steps of one piece: the centre and unit normal.
struct TLine {
    TVector2D Centre, Normal;
};

TLine FitLine(const std::vector<TPixelPoint>& v, int from, int count)
{
    const int n = int(v.size());
    double sx = 0, sy = 0, sxx = 0, syy = 0, sxy = 0;
    for (int k = 0; k < count; ++k) {
        const TPixelPoint a = v[(from + k) % n], b = v[(from + k + 1) % n];
        const double mx = 0.5 * (a.X + b.X), my = 0.5 * (a.Y + b.Y);
        const double dx = b.X - a.X, dy = b.Y - a.Y;
        // A unit step counts as a uniform segment: its own spread adds d*d/12.
        sx += mx;
        sy += my;
        sxx += mx * mx + dx * dx / 12.0;
        syy += my * my + dy * dy / 12.0;
        sxy += mx * my + dx * dy / 12.0;
    }
    const double cx = sx / count, cy = sy / count;
    const double cxx = sxx / count - cx * cx, cyy = syy / count - cy * cy, cxy = sxy / count - cx * cy;
    const double angle = 0.5 * std::atan2(2 * cxy, cxx - cyy);
    TLine line{{cx, cy}, {-std::sin(angle), std::cos(angle)}};
    if (count < 5)
        return line;
    // A piece of a curve: its least-squares line is a secant that runs inside the bulge. Fit
    // a parabola to the offsets along the line and take its tangent at the middle instead, so
    // that the polygon hugs the curve from outside as smoothing expects.
    const double dx = line.Normal.Y, dy = -line.Normal.X;
    double tmin = 1e300, tmax = -1e300;
    for (int k = 0; k < count; ++k) {
        const TPixelPoint a = v[(from + k) % n], b = v[(from + k + 1) % n];
        const double t = (0.5 * (a.X + b.X) - cx) * dx + (0.5 * (a.Y + b.Y) - cy) * dy;
        tmin = std::min(tmin, t);
        tmax = std::max(tmax, t);
    }
    const double mid = 0.5 * (tmin + tmax), half = 0.5 * (tmax - tmin);
    if (half < 2)
        return line;
    double m[3][4] = {};
    for (int k = 0; k < count; ++k) {
        const TPixelPoint a = v[(from + k) % n], b = v[(from + k + 1) % n];
        const double px = 0.5 * (a.X + b.X) - cx, py = 0.5 * (a.Y + b.Y) - cy;
        const double t = (px * dx + py * dy - mid) / half, r = px * line.Normal.X + py * line.Normal.Y;
        const double pw[5] = {1, t, t * t, t * t * t, t * t * t * t};
        for (int i = 0; i < 3; ++i) {
            for (int j = 0; j < 3; ++j)
                m[i][j] += pw[i + j];
            m[i][3] += r * pw[i];
        }
    }
    // Gaussian elimination on the 3x3 normal equations.
    for (int i = 0; i < 3; ++i) {
        if (std::abs(m[i][i]) < 1e-9)
            return line;
        for (int j = i + 1; j < 3; ++j) {
            const double f = m[j][i] / m[i][i];
            for (int k = i; k < 4; ++k)
                m[j][k] -= f * m[i][k];
        }
    }
    double c[3];
    for (int i = 2; i >= 0; --i) {
        c[i] = m[i][3];
        for (int j = i + 1; j < 3; ++j)
            c[i] -= m[i][j] * c[j];
        c[i] /= m[i][i];
    }
    constexpr double MinBulge = 0.2;  // below this the offsets are staircase noise
    if (std::abs(c[2]) < MinBulge)
        return line;
    // At t = 0 (the middle) the parabola has offset c0 and slope c1 / half.
    const double slope = c[1] / half;
    const TVector2D centre{cx + dx * mid + line.Normal.X * c[0], cy + dy * mid + line.Normal.Y * c[0]};
    const double ex = dx + line.Normal.X * slope, ey = dy + line.Normal.Y * slope, el = std::hypot(ex, ey);
    return {centre, {-ey / el, ex / el}};
}

// The point closest to both lines, held near the original corner where the lines are nearly
// parallel and limited to a pixel and a half away from it.
TVector2D AdjustVertex(const TLine& a, const TLine& b, TVector2D v)
{
    constexpr double Pull = 0.1;
    double q00 = Pull, q01 = 0, q11 = Pull, r0 = Pull * v.X, r1 = Pull * v.Y;
    for (const TLine* l : {&a, &b}) {
        const double nx = l->Normal.X, ny = l->Normal.Y;
        const double c = nx * l->Centre.X + ny * l->Centre.Y;
        q00 += nx * nx;
        q01 += nx * ny;
        q11 += ny * ny;
        r0 += nx * c;
        r1 += ny * c;
    }
    const double det = q00 * q11 - q01 * q01;
    TVector2D p{(r0 * q11 - r1 * q01) / det, (q00 * r1 - q01 * r0) / det};
    constexpr double MaxShift = 1.5;
    const double dx = p.X - v.X, dy = p.Y - v.Y, d = std::hypot(dx, dy);
    if (d > MaxShift)
        p = {v.X + dx * MaxShift / d, v.Y + dy * MaxShift / d};
    return p;
}

// Longest straight piece starting at corner i, at most maxLen steps.
int GrowPiece(const std::vector<TPixelPoint>& v, const std::vector<int>& dir, int i, int maxLen)
{
    const int n = int(v.size());
    int mask = 0, best = 1;
    bool coneSet = false;
    TIVec lo, hi;
    for (int len = 1; len <= maxLen; ++len) {
        mask |= 1 << dir[(i + len - 1) % n];
        if ((mask & 5) == 5 || (mask & 10) == 10)
            break;  // opposite steps: the run has turned back
        const TPixelPoint p = v[(i + len) % n];
        const TIVec c{p.X - v[i].X, p.Y - v[i].Y};
        if (coneSet && (Cross(lo, c) < 0 || Cross(c, hi) < 0))
            break;
        best = len;
        if (std::max(std::abs(c.X), std::abs(c.Y)) <= 1)
            continue;
        // Directions that pass through the square of half-side 1 around this corner.
        TIVec qmin{c.X - 1, c.Y - 1}, qmax = qmin;
        for (TIVec q : {TIVec{c.X + 1, c.Y - 1}, TIVec{c.X - 1, c.Y + 1}, TIVec{c.X + 1, c.Y + 1}}) {
            if (Cross(qmin, q) < 0) qmin = q;
            if (Cross(qmax, q) > 0) qmax = q;
        }
        if (!coneSet) {
            lo = qmin;
            hi = qmax;
            coneSet = true;
        } else {
            if (Cross(lo, qmin) > 0) lo = qmin;
            if (Cross(hi, qmax) < 0) hi = qmax;
        }
        if (Cross(lo, hi) < 0)
            break;
    }
    return best;
}

} // namespace

std::vector<TVector2D> StraightPolygon(const TCrackPath& path)
{
    const int n = int(path.size());
    if (n < 4)
        return {};
    // Start at the beginning of a run so that runs do not wrap around the end.
    int r = 0;
    while (StepDir(path[(r + n - 1) % n], path[r]) == StepDir(path[r], path[(r + 1) % n]))
        ++r;
    std::vector<TPixelPoint> v(n);
    std::vector<int> dir(n);
    for (int i = 0; i < n; ++i)
        v[i] = path[(r + i) % n];
    for (int i = 0; i < n; ++i)
        dir[i] = StepDir(v[i], v[(i + 1) % n]);

    std::vector<TRun> runs;
    for (int i = 0; i < n; ++i) {
        if (runs.empty() || runs.back().Dir != dir[i])
            runs.push_back({dir[i], i, 0});
        ++runs.back().Len;
    }
    const int m = int(runs.size());
    std::vector<char> hard(n, 0);
    for (int j = 0; j < m; ++j) {
        const TRun& prev = runs[(j + m - 1) % m];
        const TRun& run = runs[j];
        const TRun& next = runs[(j + 1) % m];
        if (prev.Dir == (next.Dir + 2) % 4 && run.Len <= 2) {
            hard[run.Start] = 1;
            hard[(run.Start + run.Len) % n] = 1;
        }
        if (prev.Len >= 3 && run.Len >= 3)
            hard[run.Start] = 1;
    }
    const int hardCount = int(std::count(hard.begin(), hard.end(), 1));
    // Without enough fixed corners a piece could swallow most of the boundary.
    const int cap = hardCount >= 3 ? n : std::max(1, n / 3);
    int start = 0;
    if (hardCount > 0)
        start = int(std::find(hard.begin(), hard.end(), 1) - hard.begin());

    // How far on from each index the next fixed corner lies (n: none but itself, or none).
    std::vector<int> nextHard(n, n);
    for (int pass = 0, following = -1; pass < 2; ++pass)
        for (int i = n - 1; i >= 0; --i) {
            if (following >= 0)
                nextHard[i] = following > i ? following - i : following + n - i;
            if (hard[i])
                following = i;
        }
    std::vector<int> breaks;  // indices into v, in walking order
    int covered = 0;
    while (covered < n) {
        const int i = (start + covered) % n;
        const int toHard = std::min(nextHard[i], n - covered);
        breaks.push_back(i);
        covered += GrowPiece(v, dir, i, std::min({cap, toHard, n - covered}));
    }

    const int k = int(breaks.size());
    std::vector<TLine> lines(k);
    for (int s = 0; s < k; ++s) {
        const int from = breaks[s];
        const int count = ((s + 1 < k ? breaks[s + 1] : breaks[0] + n) - from + n - 1) % n + 1;
        lines[s] = FitLine(v, from, count);
    }
    std::vector<TVector2D> poly(k);
    for (int s = 0; s < k; ++s) {
        const TPixelPoint c = v[breaks[s]];
        poly[s] = AdjustVertex(lines[(s + k - 1) % k], lines[s], {double(c.X), double(c.Y)});
    }
    return poly;
}

namespace {

// Sums over the corners of a closed boundary, taken twice round so that any run of corners
// is one interval; the least-squares line of a run costs O(1).
class TCornerSums {
public:
    explicit TCornerSums(const TCrackPath& path) : Path(path), Sums(2 * path.size() + 1)
    {
        const size_t n = path.size();
        for (size_t i = 0; i < 2 * n; ++i) {
            const double x = path[i % n].X - path[0].X, y = path[i % n].Y - path[0].Y;
            const TSum& s = Sums[i];
            Sums[i + 1] = {s.X + x, s.Y + y, s.XX + x * x, s.XY + x * y, s.YY + y * y};
        }
    }

    // The line of corners from .. from + count - 1 (from below the path's size).
    TLine LineOf(int from, int count) const
    {
        const TSum &a = Sums[size_t(from)], &b = Sums[size_t(from + count)];
        const double mx = (b.X - a.X) / count, my = (b.Y - a.Y) / count;
        const double cxx = (b.XX - a.XX) / count - mx * mx, cyy = (b.YY - a.YY) / count - my * my;
        const double cxy = (b.XY - a.XY) / count - mx * my;
        // The normal is the eigenvector of the smaller eigenvalue of the scatter matrix: its
        // direction at half the angle of (cxx - cyy, 2 cxy), turned a quarter.
        const double c2 = cxx - cyy, s2 = 2 * cxy, r = std::hypot(c2, s2);
        TVector2D normal{0, 1};
        if (r > 1e-12) {
            const double cos = std::sqrt(std::max(0.0, 0.5 * (1 + c2 / r)));
            const double sin = std::copysign(std::sqrt(std::max(0.0, 0.5 * (1 - c2 / r))), s2);
            normal = {-sin, cos};
        }
        return {{mx + Path[0].X, my + Path[0].Y}, normal};
    }

    // Whether every one of those corners lies within tolerance of their line.
    bool Within(int from, int count, double tolerance, TLine& line) const
    {
        line = LineOf(from, count);
        const size_t n = Path.size();
        for (int k = 0; k < count; ++k) {
            const TPixelPoint p = Path[size_t(from + k) % n];
            if (std::abs((p.X - line.Centre.X) * line.Normal.X + (p.Y - line.Centre.Y) * line.Normal.Y) >
                tolerance)
                return false;
        }
        return true;
    }

private:
    struct TSum {
        double X = 0, Y = 0, XX = 0, XY = 0, YY = 0;
    };
    const TCrackPath& Path;
    std::vector<TSum> Sums;
};

} // namespace

std::vector<TVector2D> WanderingPolygon(const TCrackPath& path, double tolerance)
{
    const int n = int(path.size());
    // Too small to average anything: a speck's staircase is all it has.
    constexpr int MinCorners = 16;
    if (n < MinCorners)
        return StraightPolygon(path);
    const TCornerSums sums(path);
    // A piece covers steps from its first corner; at most a third of the boundary, so that a
    // closed outline keeps three pieces at least.
    const int cap = n / 3;
    std::vector<int> starts;
    std::vector<TLine> lines;
    for (int covered = 0; covered < n;) {
        const int most = std::min(cap, n - covered);
        // The longest run of steps that stays within the tolerance: doubling, then halving.
        int good = std::min(2, most), bad = most + 1;
        TLine line = sums.LineOf(covered, good + 1), trial;
        for (int steps = 2 * good; good < most; steps *= 2) {
            steps = std::min(steps, most);
            if (!sums.Within(covered, steps + 1, tolerance, trial)) {
                bad = steps;
                break;
            }
            good = steps;
            line = trial;
        }
        while (bad - good > 1) {
            const int steps = (good + bad) / 2;
            if (sums.Within(covered, steps + 1, tolerance, trial)) {
                good = steps;
                line = trial;
            } else {
                bad = steps;
            }
        }
        starts.push_back(covered);
        lines.push_back(line);
        covered += good;
    }
    const int k = int(starts.size());
    std::vector<TVector2D> poly(static_cast<size_t>(k));
    for (int s = 0; s < k; ++s) {
        const TPixelPoint c = path[size_t(starts[size_t(s)])];
        poly[size_t(s)] =
            AdjustVertex(lines[size_t((s + k - 1) % k)], lines[size_t(s)], {double(c.X), double(c.Y)});
    }
    return poly;
}
