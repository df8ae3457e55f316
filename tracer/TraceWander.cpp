#include "TraceWander.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Sums for the least-squares parabola (x and y of the position t along the boundary) through
// points, taken relative to the point at t = 0 so that they stay small.
struct TParabola {
    double S[5] = {}, SX[3] = {}, SY[3] = {}, SXX = 0, SYY = 0;
    int Count = 0;

    void Add(double t, double x, double y)
    {
        double pw = 1;
        for (int m = 0; m < 5; ++m, pw *= t) {
            S[m] += pw;
            if (m < 3) {
                SX[m] += pw * x;
                SY[m] += pw * y;
            }
        }
        SXX += x * x;
        SYY += y * y;
        ++Count;
    }

    // Value and slope at t = 0, and the sum of the squares of the points' distances from the
    // curve (compared with Count times a squared tolerance: no root or division per window); a
    // line where the points are too few for a parabola.
    void Solve(TVector2D& value, TVector2D& slope, double& sumSquares) const
    {
        if (Count < 5) {
            double cx[3] = {}, cy[3] = {};
            const double inv = 1 / S[0];
            const double mt = S[1] * inv, vt = S[2] * inv - mt * mt;
            const double mx = SX[0] * inv, my = SY[0] * inv;
            const double bx = vt > 1e-12 ? (SX[1] * inv - mt * mx) / vt : 0;
            const double by = vt > 1e-12 ? (SY[1] * inv - mt * my) / vt : 0;
            cx[0] = mx - bx * mt, cx[1] = bx, cy[0] = my - by * mt, cy[1] = by;
            Finish(cx, cy, value, slope, sumSquares);
            return;
        }
        SolveWith(TInverse(S), value, slope, sumSquares);
    }

    // The cofactors of the symmetric system [S0 S1 S2; S1 S2 S3; S2 S3 S4] over its
    // determinant (Cramer's rule), which depend only on the sums of powers of t.
    struct TInverse {
        double C00 = 0, C01 = 0, C02 = 0, C11 = 0, C12 = 0, C22 = 0, Inv = 0;
        constexpr TInverse() = default;
        constexpr explicit TInverse(const double* s)
        {
            const double a00 = s[0], a01 = s[1], a02 = s[2], a11 = s[2], a12 = s[3], a22 = s[4];
            C00 = a11 * a22 - a12 * a12, C01 = a02 * a12 - a01 * a22, C02 = a01 * a12 - a02 * a11;
            C11 = a00 * a22 - a02 * a02, C12 = a01 * a02 - a00 * a12, C22 = a00 * a11 - a01 * a01;
            Inv = 1 / (a00 * C00 + a01 * C01 + a02 * C02);
        }
    };

    void SolveWith(const TInverse& m, TVector2D& value, TVector2D& slope, double& sumSquares) const
    {
        double cx[3], cy[3];
        auto solve = [&](const double* r, double* c) {
            c[0] = (m.C00 * r[0] + m.C01 * r[1] + m.C02 * r[2]) * m.Inv;
            c[1] = (m.C01 * r[0] + m.C11 * r[1] + m.C12 * r[2]) * m.Inv;
            c[2] = (m.C02 * r[0] + m.C12 * r[1] + m.C22 * r[2]) * m.Inv;
        };
        solve(SX, cx);
        solve(SY, cy);
        Finish(cx, cy, value, slope, sumSquares);
    }

private:
    void Finish(const double* cx, const double* cy, TVector2D& value, TVector2D& slope,
                double& sumSquares) const
    {
        value = {cx[0], cy[0]};
        slope = {cx[1], cy[1]};
        // For least squares, the sum of squared residuals is the sum of squares less the
        // coefficients times the right-hand sides.
        const double sse = SXX - (cx[0] * SX[0] + cx[1] * SX[1] + cx[2] * SX[2]) + SYY -
                           (cy[0] * SY[0] + cy[1] * SY[1] + cy[2] * SY[2]);
        sumSquares = std::max(0.0, sse);
    }
};

struct TLocalFit {
    TVector2D At, Slope;
};

// The widest reach of a window either side of its centre, in points.
constexpr int WidestReach = 22;

// For windows reaching back and on from their centre: the sums of t^m (m = 0..4) over the
// window, and the inverse of their system. They depend on the two reaches only.
struct TWindowTable {
    double S[WidestReach + 1][WidestReach + 1][5] = {};
    TParabola::TInverse Inverse[WidestReach + 1][WidestReach + 1];
    constexpr TWindowTable()
    {
        for (int back = 0; back <= WidestReach; ++back)
            for (int on = 0; on <= WidestReach; ++on) {
                double* s = S[back][on];
                for (int t = -back; t <= on; ++t)
                    for (int m = 0, pw = 1; m < 5; ++m, pw *= t)
                        s[m] += pw;
                if (back + on + 1 >= 5)
                    Inverse[back][on] = TParabola::TInverse(s);
            }
    }
};
constexpr TWindowTable WindowTable;

// The sums of a window [Lo, Hi] of the path around a centre, kept up to date as the centre
// moves on a point at a time and the window's ends move on with it: each step recentres the
// sums on the new centre and adds or takes away the points that enter or leave, so a step
// costs the same whatever the window's size. The sums of powers of t depend only on the
// window's reach either side of the centre: they come from a table.
class TSlidingParabola {
public:
    TSlidingParabola(const std::vector<TVector2D>& points, TVector2D origin) : Path(points), Origin(origin) {}

    // The window's sums, and the inverse of their system when it holds enough points for a
    // parabola (else null).
    const TParabola& MoveTo(int centre, int lo, int hi, const TParabola::TInverse*& inverse)
    {
        constexpr int Refresh = 256; // steps before the sums are made afresh against drift
        if (Steps == 0 || centre != Centre + 1 || lo < Lo || hi < Hi || ++Steps > Refresh) {
            Sums = {};
            Centre = centre;
            Lo = lo;
            Hi = lo - 1;
            Steps = 1;
        } else {
            // The centre one point on: every t becomes t - 1.
            ++Centre;
            for (double* v : {Sums.SX, Sums.SY}) {
                v[2] += v[0] - 2 * v[1];
                v[1] -= v[0];
            }
        }
        for (; Lo < lo; ++Lo)
            Put(Lo, -1);
        for (; Hi < hi; ++Hi)
            Put(Hi + 1, 1);
        const double* s = WindowTable.S[Centre - Lo][Hi - Centre];
        std::copy(s, s + 5, Sums.S);
        inverse = Sums.Count >= 5 ? &WindowTable.Inverse[Centre - Lo][Hi - Centre] : nullptr;
        return Sums;
    }

private:
    void Put(int j, double sign)
    {
        // Windows run at most a boundary's length past either end: no division needed.
        const int n = int(Path.size());
        const int k = j < 0 ? j + n : j >= n ? j - n : j;
        const TVector2D p = Path[size_t(k < 0 || k >= n ? ((j % n) + n) % n : k)];
        const double t = j - Centre, x = sign * (p.X - Origin.X), y = sign * (p.Y - Origin.Y);
        Sums.SX[0] += x;
        Sums.SX[1] += t * x;
        Sums.SX[2] += t * t * x;
        Sums.SY[0] += y;
        Sums.SY[1] += t * y;
        Sums.SY[2] += t * t * y;
        Sums.SXX += sign * x * x;
        Sums.SYY += sign * y * y;
        Sums.Count += int(sign);
    }

    const std::vector<TVector2D>& Path;
    TVector2D Origin;
    TParabola Sums;
    int Centre = 0, Lo = 0, Hi = -1, Steps = 0;
};

// The parabola through the points around at, from no further back than from to no further on
// than to (indices, may run past the path's ends): windows doubling in size while the points
// stay within wander (root mean square) of the curve, the last of those.
// The boundary's corners are taken in groups of three, each group as their mean: a third of
// the work, and the mean of three steps of the staircase already lies closer to the edge than
// any one corner.
constexpr int Group = 3;

// Half-widths of the windows tried, in groups: about 6, 9, 18, 33 and 66 corners.
constexpr int Reaches[] = {2, 3, 6, 11, WidestReach};

TLocalFit FitAround(const std::vector<TVector2D>& path, int from, int to, int at, double wander)
{
    const int n = int(path.size());
    const TVector2D origin = path[size_t(((at % n) + n) % n)];
    TParabola sums;
    int lo = at, hi = at - 1; // the points summed so far
    TLocalFit best{{double(origin.X), double(origin.Y)}, {0, 0}};
    for (const int reach : Reaches) {
        const int newLo = std::max(from, at - reach), newHi = std::min(to, at + reach);
        if (newLo == lo && newHi == hi)
            break;
        for (int j = newLo; j <= newHi; ++j) {
            if (j >= lo && j <= hi)
                continue;
            const TVector2D p = path[size_t(((j % n) + n) % n)];
            sums.Add(j - at, p.X - origin.X, p.Y - origin.Y);
        }
        lo = newLo;
        hi = newHi;
        TVector2D value, slope;
        double sumSquares;
        sums.Solve(value, slope, sumSquares);
        if (sumSquares > wander * wander * sums.Count && reach > Reaches[0])
            break;
        best = {{origin.X + value.X, origin.Y + value.Y}, slope};
    }
    return best;
}

// A measure of a turn by angle a (0 to pi) that grows with it as the angle does, from its
// cosine and sine times any one length: 0 straight on, 1 at a right angle, 2 turning back.
// Corners are found by comparing turns, which needs no arc tangent.
double TurnMeasure(double cosine, double sine)
{
    const double sum = std::abs(cosine) + sine;
    if (sum <= 0)
        return 0;
    return 1 - cosine / sum;
}

// The turn of the boundary at i between the chords reach corners back and on, as TurnMeasure.
double ChordTurn(const std::vector<TVector2D>& path, int i, int reach)
{
    const int n = int(path.size());
    const TVector2D a = path[size_t((i - reach + n) % n)], b = path[size_t(i)],
                    c = path[size_t((i + reach) % n)];
    const double ux = b.X - a.X, uy = b.Y - a.Y, vx = c.X - b.X, vy = c.Y - b.Y;
    return TurnMeasure(ux * vx + uy * vy, std::abs(ux * vy - uy * vx));
}

} // namespace

std::vector<TVector2D> WanderFreePolygon(const TCrackPath& crackPath, double wander, double cornerDegrees,
                                         std::vector<char>& corner)
{
    std::vector<TVector2D> path;
    for (size_t k = 0; k + Group <= crackPath.size(); k += Group) {
        double x = 0, y = 0;
        for (size_t g = 0; g < Group; ++g) {
            x += crackPath[k + g].X;
            y += crackPath[k + g].Y;
        }
        path.push_back({x / Group, y / Group});
    }
    const int n = int(path.size());
    corner.assign(size_t(n), 0);
    // Corners: the sharpest turn within a few pixels, where that turn reaches the threshold
    // less what the pixel grid and the wandering make of so short a chord.
    constexpr int CornerReach = 2; // groups: six corners
    constexpr double ChordAllowance = 15;
    std::vector<double> turn(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        turn[size_t(i)] = ChordTurn(path, i, CornerReach);
    const double least = std::clamp(cornerDegrees - ChordAllowance, 0.0, 180.0) * std::numbers::pi / 180;
    const double leastTurn = TurnMeasure(std::cos(least), std::sin(least));
    std::vector<int> corners;
    for (int i = 0; i < n; ++i) {
        if (turn[size_t(i)] < leastTurn)
            continue;
        bool peak = true;
        for (int d = -CornerReach; d <= CornerReach && peak; ++d) {
            const double other = turn[size_t((i + d + n) % n)];
            peak = d == 0 || other < turn[size_t(i)] || (other == turn[size_t(i)] && d > 0);
        }
        if (peak) {
            corners.push_back(i);
            corner[size_t(i)] = 1;
        }
    }
    // Each point's window reaches no corner beyond the ones around it, and never more than a
    // quarter of a boundary without corners.
    const int h = corners.empty() ? n / 4 : n;
    std::vector<TVector2D> out(static_cast<size_t>(n));
    const TVector2D origin = path[0];
    std::vector<TSlidingParabola> windows;
    for (size_t k = 0; k < std::size(Reaches); ++k)
        windows.emplace_back(path, origin);
    size_t next = 0; // the first corner at or after i
    for (int i = 0; i < n; ++i) {
        while (next < corners.size() && corners[next] < i)
            ++next;
        int before = -n, after = 2 * n; // the corners around i, unwrapped
        if (!corners.empty()) {
            before = next > 0 ? corners[next - 1] : corners.back() - n;
            after = next < corners.size() ? corners[next] : corners.front() + n;
        }
        if (corner[size_t(i)]) {
            // Where the tangents of the two sides meet, held within two pixels of the boundary.
            const int prev = next > 0 ? corners[next - 1] : corners.back() - n;
            const int following = next + 1 < corners.size() ? corners[next + 1] : corners.front() + n;
            const TLocalFit l = FitAround(path, std::max(i - h, prev), i, i, wander);
            const TLocalFit r = FitAround(path, i, std::min(i + h, following), i, wander);
            const double cross = l.Slope.X * r.Slope.Y - l.Slope.Y * r.Slope.X;
            TVector2D v{0.5 * (l.At.X + r.At.X), 0.5 * (l.At.Y + r.At.Y)};
            if (std::abs(cross) > 1e-9) {
                const double t = ((r.At.X - l.At.X) * r.Slope.Y - (r.At.Y - l.At.Y) * r.Slope.X) / cross;
                const TVector2D meet{l.At.X + t * l.Slope.X, l.At.Y + t * l.Slope.Y};
                if (std::hypot(meet.X - path[size_t(i)].X, meet.Y - path[size_t(i)].Y) <= 2)
                    v = meet;
            }
            out[size_t(i)] = v;
            continue;
        }
        // The windows doubling in size while the points stay within wander of the parabola.
        TVector2D at = path[size_t(i)];
        bool growing = true;
        for (size_t k = 0; k < std::size(Reaches); ++k) {
            const int reach = std::min(Reaches[k], h);
            const TParabola::TInverse* inverse;
            const TParabola& sums =
                windows[k].MoveTo(i, std::max(i - reach, before), std::min(i + reach, after), inverse);
            if (!growing)
                continue; // moved all the same, to stay in step
            TVector2D value, slope;
            double sumSquares;
            if (inverse)
                sums.SolveWith(*inverse, value, slope, sumSquares);
            else
                sums.Solve(value, slope, sumSquares);
            if (sumSquares > wander * wander * sums.Count && k > 0)
                growing = false;
            else
                at = {origin.X + value.X, origin.Y + value.Y};
        }
        out[size_t(i)] = at;
    }
    return out;
}

void TWanderEstimate::Add(const TCrackPath& path)
{
    constexpr int Reach = 8, Every = 8;
    const int n = int(path.size());
    if (n < 8 * Reach)
        return;
    for (int i = 0; i < n; i += Every) {
        const TPixelPoint origin = path[size_t(i)];
        TParabola sums;
        for (int j = i - Reach; j <= i + Reach; ++j) {
            const TPixelPoint p = path[size_t((j + n) % n)];
            sums.Add(j - i, p.X - origin.X, p.Y - origin.Y);
        }
        TVector2D value, slope;
        double sumSquares;
        sums.Solve(value, slope, sumSquares);
        Spread.push_back(std::sqrt(sumSquares / sums.Count));
    }
}

double TWanderEstimate::Tolerance()
{
    constexpr double Least = 0.5, Most = 1.7;
    if (Spread.empty())
        return Least;
    const auto middle = Spread.begin() + long(Spread.size() / 2);
    std::nth_element(Spread.begin(), middle, Spread.end());
    // A clean digital edge spreads by 0.39 px around its parabola (the staircase); the scan's
    // own wandering adds to that in squares. A window may grow while its spread stays within
    // a tolerance that grows with the wandering: fitted on scans from mild to harsh.
    constexpr double GridSpread = 0.39;
    const double noise = std::sqrt(std::max(0.0, *middle * *middle - GridSpread * GridSpread));
    return std::clamp(0.17 + 4.0 * noise, Least, Most);
}
