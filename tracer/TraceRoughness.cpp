#include "TraceRoughness.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

// Turn from the direction a->b to b->c in degrees, anticlockwise positive.
double SignedTurn(TVector2D a, TVector2D b, TVector2D c)
{
    const double ux = b.X - a.X, uy = b.Y - a.Y, vx = c.X - b.X, vy = c.Y - b.Y;
    return 180 / std::numbers::pi * std::atan2(ux * vy - uy * vx, ux * vx + uy * vy);
}

// Boundaries shorter than this are specks and letters' dots: too few pieces to show a wiggle.
constexpr size_t MinLength = 20;

} // namespace

int CountWiggles(const std::vector<TVector2D>& p)
{
    // A wiggle turns by more than the polygon's own rounding and less than a corner.
    constexpr double MinTurn = 5, MaxTurn = 45;
    const int n = int(p.size());
    if (n < 5)
        return 0;
    std::vector<double> turn(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i)
        turn[size_t(i)] = SignedTurn(p[size_t((i + n - 1) % n)], p[size_t(i)], p[size_t((i + 1) % n)]);
    int count = 0;
    for (int i = 0; i < n; ++i) {
        const double a = turn[size_t((i + n - 1) % n)], b = turn[size_t(i)], c = turn[size_t((i + 1) % n)];
        const bool gentle = std::max({std::abs(a), std::abs(b), std::abs(c)}) <= MaxTurn;
        count += gentle && std::abs(b) >= MinTurn && a * b < 0 && c * b < 0;
    }
    return count;
}

void TEdgeRoughness::Add(size_t length, const std::vector<TVector2D>& polygon)
{
    if (length < MinLength)
        return;
    Length += double(length);
    Wiggles += CountWiggles(polygon);
}

double TEdgeRoughness::WigglesPerHundred() const
{
    return Length > 0 ? 100 * Wiggles / Length : 0;
}

double TEdgeRoughness::Tolerance() const
{
    // Clean drawings have below 0.05 wiggles per 100 pixels, scans whose edges wander by a
    // pixel 0.5 and more. Below the threshold, the straight-piece polygon follows edges that
    // wander a little better than a wide tolerance does; above it, the tolerance grows gently
    // with the wandering, as a small picture's count is only a rough measure.
    constexpr double RoughFrom = 0.1;
    const double rate = WigglesPerHundred();
    if (rate < RoughFrom)
        return 0;
    return std::clamp(0.65 + 0.25 * rate, 0.72, 0.9);
}
