#include "TraceDots.h"

#include "TraceSkeletonGraph.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

bool FindRoundBlob(const TMonoBitmap& ink, int x0, int y0, TMonoBitmap& done, TDot& dot)
{
    if (!ink.Ink(x0, y0) || done.Ink(x0, y0))
        return false;
    struct TPixel {
        int X, Y;
    };
    std::vector<TPixel> stack{{x0, y0}}, edge;
    done.Set(x0, y0, true);
    double sx = 0, sy = 0;
    size_t area = 0;
    while (!stack.empty()) {
        const TPixel p = stack.back();
        stack.pop_back();
        ++area;
        sx += p.X + 0.5;
        sy += p.Y + 0.5;
        if (!ink.Ink(p.X - 1, p.Y) || !ink.Ink(p.X + 1, p.Y) || !ink.Ink(p.X, p.Y - 1) ||
            !ink.Ink(p.X, p.Y + 1))
            edge.push_back(p);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = p.X + dx, y = p.Y + dy;
                if (ink.Ink(x, y) && !done.Ink(x, y)) {
                    done.Set(x, y, true);
                    stack.push_back({x, y});
                }
            }
    }
    constexpr double MinRadius = 2;
    const double radius = std::sqrt(double(area) / std::numbers::pi);
    if (radius < MinRadius)
        return false;
    const TVector2D c{sx / double(area), sy / double(area)};
    const double tolerance = std::max(1.5, 0.125 * radius);
    // The farthest pixel reaches half a pixel beyond its centre.
    double farthest = 0;
    for (const TPixel& p : edge)
        farthest = std::max(farthest, std::hypot(p.X + 0.5 - c.X, p.Y + 0.5 - c.Y) + 0.5);
    if (farthest > radius + tolerance)
        return false;
    // The nearest background from the pixel that holds the centre: a ring's hole is there, a
    // scanned dot's pinholes lie nearer its edge.
    constexpr double HoleFree = 0.6; // of the radius, around the centre
    const double nearest = InkRadius(ink, int(std::floor(c.X)), int(std::floor(c.Y))) + 0.5;
    if (nearest < HoleFree * radius)
        return false;
    dot = {c, radius};
    return true;
}
