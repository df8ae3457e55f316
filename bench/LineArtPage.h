#pragma once
// The generated A4 line-art page of the tracing benchmarks: text-like glyphs, shapes and wavy
// strokes of several widths, drawn in millimetres at a given resolution.
#include "MonoBitmap.h"
#include "TracerTestSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

struct TPage {
    int W, H;
    double PxPerMm;
    TMonoBitmap Bits;
};

// Fills inside(x_mm, y_mm) over a box given in millimetres.
template <class F> inline void Draw(TPage& p, double x0, double y0, double x1, double y1, F inside)
{
    const int px0 = std::max(0, int(x0 * p.PxPerMm) - 1), px1 = std::min(p.W - 1, int(x1 * p.PxPerMm) + 1);
    const int py0 = std::max(0, int(y0 * p.PxPerMm) - 1), py1 = std::min(p.H - 1, int(y1 * p.PxPerMm) + 1);
    for (int y = py0; y <= py1; ++y)
        for (int x = px0; x <= px1; ++x)
            if (inside((x + 0.5) / p.PxPerMm, (y + 0.5) / p.PxPerMm))
                p.Bits.Set(x, y, true);
}

struct TStroke {
    double X0, Y0, X1, Y1;
};

// Letter-like designs on a unit box (x 0..0.7, y 0..1, Y down): strokes and arcs.
inline std::vector<std::vector<TStroke>> GlyphDesigns()
{
    std::vector<std::vector<TStroke>> g;
    auto arc = [](double cx, double cy, double rx, double ry, double a0, double a1) {
        std::vector<TStroke> s;
        const int n = 10;
        for (int i = 0; i < n; ++i) {
            const double t0 = a0 + (a1 - a0) * i / n, t1 = a0 + (a1 - a0) * (i + 1) / n;
            s.push_back({cx + rx * std::cos(t0), cy + ry * std::sin(t0), cx + rx * std::cos(t1),
                         cy + ry * std::sin(t1)});
        }
        return s;
    };
    const double pi = std::numbers::pi;
    g.push_back(arc(0.35, 0.5, 0.3, 0.45, 0, 2 * pi));                                         // O
    g.push_back({{0.1, 0, 0.1, 1}, {0.1, 1, 0.6, 1}});                                         // L
    g.push_back({{0.05, 0, 0.65, 0}, {0.35, 0, 0.35, 1}});                                     // T
    g.push_back({{0.05, 1, 0.35, 0}, {0.35, 0, 0.65, 1}, {0.17, 0.6, 0.53, 0.6}});             // A
    g.push_back({{0.1, 0, 0.1, 1}, {0.1, 0, 0.6, 0}, {0.1, 0.5, 0.5, 0.5}, {0.1, 1, 0.6, 1}}); // E
    g.push_back(arc(0.38, 0.5, 0.3, 0.45, 0.25 * pi, 1.75 * pi));                              // C
    auto s = arc(0.35, 0.27, 0.25, 0.23, 0, 1.5 * pi);                                         // S
    auto s2 = arc(0.35, 0.73, 0.25, 0.23, -0.5 * pi, pi);
    s.insert(s.end(), s2.begin(), s2.end());
    g.push_back(s);
    g.push_back({{0.05, 0, 0.35, 1}, {0.35, 1, 0.65, 0}});               // V
    g.push_back({{0.05, 0, 0.65, 1}, {0.65, 0, 0.05, 1}});               // X
    g.push_back({{0.1, 1, 0.1, 0}, {0.1, 0, 0.6, 1}, {0.6, 1, 0.6, 0}}); // N
    return g;
}

inline TPage MakePage(int dpi)
{
    TPage p;
    p.PxPerMm = dpi / 25.4;
    p.W = int(std::lround(210 * p.PxPerMm));
    p.H = int(std::lround(297 * p.PxPerMm));
    p.Bits = TMonoBitmap(p.W, p.H);
    std::mt19937 rng(20261210);
    auto uni = [&](double a, double b) { return a + (b - a) * double(rng() % 1000000) / 1e6; };

    // Text: 36 lines of 3 mm glyphs.
    const auto designs = GlyphDesigns();
    for (int line = 0; line < 36; ++line) {
        const double y = 15 + line * 4.5, size = 3.0, width = 0.33;
        for (double x = 15; x < 195; x += size * 0.85) {
            const auto& d = designs[rng() % designs.size()];
            Draw(p, x - width, y - width, x + size + width, y + size + width, [&](double u, double v) {
                for (const TStroke& s : d)
                    if (SegmentDistance(u, v, x + s.X0 * size, y + s.Y0 * size, x + s.X1 * size,
                                        y + s.Y1 * size) <= width / 2)
                        return true;
                return false;
            });
        }
    }
    // Shapes in the lower half.
    for (int i = 0; i < 40; ++i) {
        const double cx = uni(25, 185), cy = uni(190, 280), r = uni(3, 14);
        switch (i % 4) {
        case 0:
            Draw(p, cx - r, cy - r, cx + r, cy + r,
                 [&](double u, double v) { return InDisc(u, v, cx, cy, r); });
            break;
        case 1:
            Draw(p, cx - r, cy - r, cx + r, cy + r, [&](double u, double v) {
                return InDisc(u, v, cx, cy, r) && !InDisc(u, v, cx, cy, r * 0.7);
            });
            break;
        case 2: {
            const double a = uni(0, 90), hw = r, hh = r * 0.5;
            Draw(p, cx - r, cy - r, cx + r, cy + r, [&](double u, double v) {
                return InRotatedRect(u, v, cx, cy, hw * 0.9, hh * 0.9, a) &&
                       !InRotatedRect(u, v, cx, cy, hw * 0.6, hh * 0.4, a);
            });
            break;
        }
        default:
            Draw(p, cx - r, cy - r, cx + r, cy + r, [&](double u, double v) {
                const double du = (u - cx) / r, dv = (v - cy) / (0.6 * r);
                return du * du + dv * dv <= 1;
            });
        }
    }
    // Strokes: wavy lines of several widths across the page.
    for (int i = 0; i < 16; ++i) {
        const double y0 = uni(180, 290), amp = uni(2, 12), period = uni(20, 80), width = uni(0.12, 1.2);
        std::vector<TStroke> segs;
        for (double x = 10; x < 200; x += 1.0)
            segs.push_back({x, y0 + amp * std::sin(x / period * 2 * std::numbers::pi), x + 1.0,
                            y0 + amp * std::sin((x + 1) / period * 2 * std::numbers::pi)});
        for (const TStroke& s : segs)
            Draw(p, std::min(s.X0, s.X1) - width, std::min(s.Y0, s.Y1) - width, std::max(s.X0, s.X1) + width,
                 std::max(s.Y0, s.Y1) + width, [&](double u, double v) {
                     return SegmentDistance(u, v, s.X0, s.Y0, s.X1, s.Y1) <= width / 2;
                 });
    }
    return p;
}
