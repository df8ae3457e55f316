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

    // Value and slope at t = 0, and the root mean square of the points' distances from the
    // curve; a line where the points are too few for a parabola.
    void Solve(TVector2D& value, TVector2D& slope, double& rms) const
    {
        double cx[3] = {}, cy[3] = {};
        if (Count < 5) {
            const double mt = S[1] / S[0], vt = S[2] / S[0] - mt * mt;
            const double mx = SX[0] / S[0], my = SY[0] / S[0];
            const double bx = vt > 1e-12 ? (SX[1] / S[0] - mt * mx) / vt : 0;
            const double by = vt > 1e-12 ? (SY[1] / S[0] - mt * my) / vt : 0;
            cx[0] = mx - bx * mt, cx[1] = bx, cy[0] = my - by * mt, cy[1] = by;
        } else {
            // Cramer's rule on the symmetric system [S0 S1 S2; S1 S2 S3; S2 S3 S4].
            const double a00 = S[0], a01 = S[1], a02 = S[2], a11 = S[2], a12 = S[3], a22 = S[4];
            const double c00 = a11 * a22 - a12 * a12, c01 = a02 * a12 - a01 * a22,
                         c02 = a01 * a12 - a02 * a11;
            const double c11 = a00 * a22 - a02 * a02, c12 = a01 * a02 - a00 * a12,
                         c22 = a00 * a11 - a01 * a01;
            const double det = a00 * c00 + a01 * c01 + a02 * c02;
            auto solve = [&](const double* r, double* c) {
                c[0] = (c00 * r[0] + c01 * r[1] + c02 * r[2]) / det;
                c[1] = (c01 * r[0] + c11 * r[1] + c12 * r[2]) / det;
                c[2] = (c02 * r[0] + c12 * r[1] + c22 * r[2]) / det;
            };
            solve(SX, cx);
            solve(SY, cy);
        }
        value = {cx[0], cy[0]};
        slope = {cx[1], cy[1]};
        // For least squares, the sum of squared residuals is the sum of squares less the
        // coefficients times the right-hand sides.
        const double sse = SXX - (cx[0] * SX[0] + cx[1] * SX[1] + cx[2] * SX[2]) + SYY -
                           (cy[0] * SY[0] + cy[1] * SY[1] + cy[2] * SY[2]);
        rms = std::sqrt(std::max(0.0, sse) / Count);
    }
};

struct TLocalFit {
    TVector2D At, Slope;
};

// The sums of a window [Lo, Hi] of the path around a centre, kept up to date as the centre
// moves on a point at a time and the window's ends move on with it: each step recentres the
// sums on the new centre and adds or takes away the points that enter or leave, so a step
// costs the same whatever the window's size.
class TSlidingParabola {
public:
    TSlidingParabola(const std::vector<TVector2D>& points, TVector2D origin) : Path(points), Origin(origin) {}

    const TParabola& MoveTo(int centre, int lo, int hi)
    {
        constexpr int Refresh = 256; // steps before the sums are made afresh against drift
        if (Steps == 0 || centre != Centre + 1 || lo < Lo || hi < Hi || ++Steps > Refresh) {
            Sums = {};
            Centre = centre;
            Lo = lo;
            Hi = lo - 1;
            Steps = 1;
        } else {
            Recentre();
        }
        for (; Lo < lo; ++Lo)
            Put(Lo, -1);
        for (; Hi < hi; ++Hi)
            Put(Hi + 1, 1);
        return Sums;
    }

private:
    void Put(int j, double sign)
    {
        const int n = int(Path.size());
        const TVector2D p = Path[size_t(((j % n) + n) % n)];
        const double t = j - Centre, x = p.X - Origin.X, y = p.Y - Origin.Y;
        double pw = sign;
        for (int m = 0; m < 5; ++m, pw *= t) {
            Sums.S[m] += pw;
            if (m < 3) {
                Sums.SX[m] += pw * x;
                Sums.SY[m] += pw * y;
            }
        }
        Sums.SXX += sign * x * x;
        Sums.SYY += sign * y * y;
        Sums.Count += int(sign);
    }

    // The centre one point on: every t becomes t - 1, and each sum of t^m a sum of lower
    // powers with binomial weights.
    void Recentre()
    {
        ++Centre;
        static constexpr double Binomial[5][5] = {
            {1, 0, 0, 0, 0}, {1, 1, 0, 0, 0}, {1, 2, 1, 0, 0}, {1, 3, 3, 1, 0}, {1, 4, 6, 4, 1}};
        auto shift = [](double* v, int terms) {
            double out[5] = {};
            for (int m = 0; m < terms; ++m)
                for (int k = 0; k <= m; ++k)
                    out[m] += Binomial[m][k] * ((m - k) % 2 ? -1.0 : 1.0) * v[k];
            for (int m = 0; m < terms; ++m)
                v[m] = out[m];
        };
        shift(Sums.S, 5);
        shift(Sums.SX, 3);
        shift(Sums.SY, 3);
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
constexpr int Reaches[] = {2, 3, 6, 11, 22};

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
        double rms;
        sums.Solve(value, slope, rms);
        if (rms > wander && reach > Reaches[0])
            break;
        best = {{origin.X + value.X, origin.Y + value.Y}, slope};
    }
    return best;
}

// The turn of the boundary at i, in degrees, between the chords reach corners back and on.
double ChordTurn(const std::vector<TVector2D>& path, int i, int reach)
{
    const int n = int(path.size());
    const TVector2D a = path[size_t((i - reach + n) % n)], b = path[size_t(i)],
                    c = path[size_t((i + reach) % n)];
    const double ux = b.X - a.X, uy = b.Y - a.Y, vx = c.X - b.X, vy = c.Y - b.Y;
    return 180 / std::numbers::pi * std::abs(std::atan2(ux * vy - uy * vx, ux * vx + uy * vy));
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
    std::vector<int> corners;
    for (int i = 0; i < n; ++i) {
        if (turn[size_t(i)] < cornerDegrees - ChordAllowance)
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
            const TParabola& sums =
                windows[k].MoveTo(i, std::max(i - reach, before), std::min(i + reach, after));
            if (!growing)
                continue; // moved all the same, to stay in step
            TVector2D value, slope;
            double rms;
            sums.Solve(value, slope, rms);
            if (rms > wander && k > 0)
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
        double rms;
        sums.Solve(value, slope, rms);
        Spread.push_back(rms);
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
