#include "TraceCorners.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double Deg = 180.0 / std::numbers::pi;

double Len(TVector2D a, TVector2D b) { return std::hypot(b.X - a.X, b.Y - a.Y); }

// A direction measured on an edge of length L is uncertain by about atan(0.5 / L).
double GridAllowance(double lenIn, double lenOut)
{
    constexpr double MaxAllowance = 8.0;
    return std::min(MaxAllowance, Deg * (std::atan(0.5 / std::max(lenIn, 0.5)) + std::atan(0.5 / std::max(lenOut, 0.5))));
}

bool Intersect(TVector2D a0, TVector2D a1, TVector2D b0, TVector2D b1, TVector2D& x)
{
    const double dax = a1.X - a0.X, day = a1.Y - a0.Y, dbx = b1.X - b0.X, dby = b1.Y - b0.Y;
    const double den = dax * dby - day * dbx;
    if (std::abs(den) < 1e-12)
        return false;
    const double t = ((b0.X - a0.X) * dby - (b0.Y - a0.Y) * dbx) / den;
    x = {a0.X + t * dax, a0.Y + t * day};
    return true;
}

} // namespace

double TurnDegrees(TVector2D a, TVector2D b, TVector2D c)
{
    const double ux = b.X - a.X, uy = b.Y - a.Y, vx = c.X - b.X, vy = c.Y - b.Y;
    return Deg * std::abs(std::atan2(ux * vy - uy * vx, ux * vx + uy * vy));
}

std::vector<char> FindCorners(std::vector<TVector2D>& p, bool closed, double cornerDegrees)
{
    int n = int(p.size());
    std::vector<char> corner(n, 0);
    if (n < 3) {
        std::fill(corner.begin(), corner.end(), 1);
        return corner;
    }
    auto at = [&](int i) -> TVector2D& { return p[(i % n + n) % n]; };
    auto isCorner = [&](int i) {
        if (!closed && (i == 0 || i == n - 1))
            return true;
        const double t = TurnDegrees(at(i - 1), at(i), at(i + 1));
        return t >= cornerDegrees - GridAllowance(Len(at(i - 1), at(i)), Len(at(i), at(i + 1)));
    };

    // Fold short bevels into a corner first.
    constexpr double ShortEdge = 2.0, LongEdge = 3.0, MaxMove = 2.0;
    if (n >= 5) {
        std::vector<char> removed(n, 0), moved(n, 0);
        const int first = closed ? 0 : 1, last = closed ? n - 1 : n - 3;
        for (int j = first; j <= last; ++j) {
            const int j1 = (j + 1) % n;
            if (removed[j] || moved[j] || moved[j1] || removed[j1])
                continue;
            const TVector2D a0 = at(j - 1), a1 = at(j), b0 = at(j + 1), b1 = at(j + 2);
            const double lin = Len(a0, a1), lout = Len(b0, b1);
            if (Len(a1, b0) >= ShortEdge || lin < LongEdge || lout < LongEdge)
                continue;
            const TVector2D mid{0.5 * (a1.X + b0.X), 0.5 * (a1.Y + b0.Y)};
            const TVector2D far{mid.X + (b1.X - b0.X), mid.Y + (b1.Y - b0.Y)};
            const TVector2D back{mid.X - (a1.X - a0.X), mid.Y - (a1.Y - a0.Y)};
            const double t = TurnDegrees(back, mid, far);
            if (t < cornerDegrees - GridAllowance(lin, lout))
                continue;
            TVector2D x;
            if (!Intersect(a0, a1, b0, b1, x) || Len(x, mid) > MaxMove)
                continue;
            p[j] = x;
            moved[j] = 1;
            removed[j1] = 1;
        }
        std::vector<TVector2D> kept;
        std::vector<char> keptMoved;
        for (int i = 0; i < n; ++i)
            if (!removed[i]) {
                kept.push_back(p[i]);
                keptMoved.push_back(moved[i]);
            }
        p.swap(kept);
        n = int(p.size());
        corner.assign(keptMoved.begin(), keptMoved.end());
    }
    for (int i = 0; i < n; ++i)
        if (!corner[i])
            corner[i] = n < 3 || isCorner(i);
    return corner;
}
