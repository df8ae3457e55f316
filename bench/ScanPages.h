#pragma once
// Pages for the scan benchmark: a page of logos, mostly curved outlines (discs, rings, ellipses,
// crescents, flowers, blobs, thick curved strokes), and a page of mostly straight ones (turned
// rectangles, frames, triangles, stars, bars); each laid out from a seed, so the tuning pages and
// the held-out pages differ. And the range of scanner degradations they are put through.
#include "MonoBitmap.h"
#include "ScanSimulation.h"
#include "TracerTestSupport.h"

#include <cmath>
#include <functional>
#include <numbers>
#include <string>
#include <vector>

// Ink where inside(x, y) holds, over the pixels of a box.
inline void FillShape(TMonoBitmap& b, double x0, double y0, double x1, double y1,
                      const std::function<bool(double, double)>& inside)
{
    for (int y = std::max(0, int(y0) - 1); y <= std::min(b.Height() - 1, int(y1) + 1); ++y)
        for (int x = std::max(0, int(x0) - 1); x <= std::min(b.Width() - 1, int(x1) + 1); ++x)
            if (inside(x + 0.5, y + 0.5))
                b.Set(x, y, true);
}

// A page of w x h pixels in cells of about cell pixels, one logo per cell.
inline TMonoBitmap MakeLogoPage(int w, int h, double cell, bool curved, uint32_t seed)
{
    TMonoBitmap page(w, h);
    TScanRandom rnd(seed);
    auto uni = [&](double a, double b) { return a + (b - a) * rnd.Uniform(); };
    const double pi = std::numbers::pi;
    int kind = int(rnd.Next() % 8);
    for (double cy = cell / 2; cy + cell / 2 <= h; cy += cell)
        for (double cx = cell / 2; cx + cell / 2 <= w; cx += cell) {
            const double r = cell * uni(0.28, 0.42);
            const double x = cx + uni(-0.05, 0.05) * cell, y = cy + uni(-0.05, 0.05) * cell;
            const double turn = uni(0, pi);
            const double c = std::cos(turn), s = std::sin(turn);
            // Coordinates turned into the logo's own frame.
            auto u = [=](double px, double py) { return (px - x) * c + (py - y) * s; };
            auto v = [=](double px, double py) { return -(px - x) * s + (py - y) * c; };
            std::function<bool(double, double)> inside;
            kind = (kind + 1 + int(rnd.Next() % 3)) % 8;
            if (curved) {
                const double a = uni(0.15, 0.3), k = 3 + int(rnd.Next() % 4), t = r * uni(0.15, 0.3);
                switch (kind) {
                case 0:
                    inside = [=](double px, double py) { return InDisc(px, py, x, y, r); };
                    break;
                case 1:
                    inside = [=](double px, double py) {
                        return InDisc(px, py, x, y, r) && !InDisc(px, py, x + 0.1 * r, y, r - t);
                    };
                    break;
                case 2:
                    inside = [=](double px, double py) {
                        const double p = u(px, py) / r, q = v(px, py) / (0.6 * r);
                        return p * p + q * q <= 1;
                    };
                    break;
                case 3:
                    inside = [=](double px, double py) {
                        return InDisc(px, py, x, y, r) &&
                               !InDisc(px, py, x + 0.45 * r * c, y + 0.45 * r * s, 0.8 * r);
                    };
                    break;
                case 4:
                    inside = [=](double px, double py) {
                        const double d = std::hypot(px - x, py - y), ang = std::atan2(py - y, px - x) - turn;
                        return d <= r * (1 - a + a * std::cos(k * ang)) && d >= 0.25 * r;
                    };
                    break;
                case 5:
                    inside = [=](double px, double py) {
                        // A superellipse: a rounded square.
                        const double p = std::abs(u(px, py)) / r, q = std::abs(v(px, py)) / (0.75 * r);
                        return std::pow(p, 3.2) + std::pow(q, 3.2) <= 1;
                    };
                    break;
                case 6:
                    inside = [=](double px, double py) {
                        // A wave band: between two sine curves.
                        const double p = u(px, py), q = v(px, py);
                        const double mid = 0.3 * r * std::sin(p / r * 2.2);
                        return std::abs(p) <= r && std::abs(q - mid) <= t;
                    };
                    break;
                default:
                    inside = [=](double px, double py) {
                        // A thick arc with round ends, as in a letter C or S.
                        const double d = std::hypot(px - x, py - y),
                                     ang = std::remainder(std::atan2(py - y, px - x) - turn, 2 * pi);
                        const double rm = 0.7 * r, span = 0.75 * pi;
                        if (std::abs(ang) <= span)
                            return std::abs(d - rm) <= t;
                        for (const double e : {span, -span})
                            if (InDisc(px, py, x + rm * std::cos(turn + e), y + rm * std::sin(turn + e), t))
                                return true;
                        return false;
                    };
                }
            } else {
                const double t = r * uni(0.15, 0.3);
                switch (kind) {
                case 0:
                    inside = [=](double px, double py) {
                        return InRotatedRect(px, py, x, y, r, 0.6 * r, turn * 180 / pi);
                    };
                    break;
                case 1:
                    inside = [=](double px, double py) {
                        return InRotatedRect(px, py, x, y, r, 0.7 * r, turn * 180 / pi) &&
                               !InRotatedRect(px, py, x, y, r - t, 0.7 * r - t, turn * 180 / pi);
                    };
                    break;
                case 2:
                case 3:
                case 4: {
                    // Triangle, square turned, pentagram-like star: a regular polygon or star.
                    const int n = kind == 2 ? 3 : kind == 3 ? 4 : 5;
                    const bool star = kind == 4;
                    std::vector<TVector2D> poly;
                    for (int i = 0; i < (star ? 2 * n : n); ++i) {
                        const double ang = turn + pi * i / (star ? n : n / 2.0),
                                     rr = star && i % 2 ? 0.45 * r : r;
                        poly.push_back({x + rr * std::cos(ang), y + rr * std::sin(ang)});
                    }
                    inside = [poly](double px, double py) {
                        bool in = false;
                        for (size_t i = 0, j = poly.size() - 1; i < poly.size(); j = i++)
                            if ((poly[i].Y > py) != (poly[j].Y > py) &&
                                px < poly[j].X +
                                         (py - poly[j].Y) * (poly[i].X - poly[j].X) / (poly[i].Y - poly[j].Y))
                                in = !in;
                        return in;
                    };
                    break;
                }
                case 5:
                    inside = [=](double px, double py) {
                        // Three bars.
                        const double p = u(px, py), q = v(px, py);
                        return std::abs(p) <= r &&
                               (std::abs(q) <= 0.5 * t || std::abs(q - 0.6 * r) <= 0.5 * t ||
                                std::abs(q + 0.6 * r) <= 0.5 * t);
                    };
                    break;
                case 6:
                    inside = [=](double px, double py) {
                        // A plus.
                        const double p = std::abs(u(px, py)), q = std::abs(v(px, py));
                        return (p <= r && q <= t) || (q <= r && p <= t);
                    };
                    break;
                default:
                    inside = [=](double px, double py) {
                        // An L of thick bars with a slanted end.
                        const double p = u(px, py), q = v(px, py);
                        return (std::abs(p) <= r && std::abs(q - 0.5 * r) <= t) ||
                               (std::abs(q) <= 0.5 * r + t && std::abs(p + r - t) <= t && q <= p + 1.5 * r);
                    };
                }
            }
            FillShape(page, x - r - 1, y - r - 1, x + r + 1, y + r + 1, inside);
        }
    return page;
}

// The degradations of the scan benchmark, mild to harsh: blur 0.8 to 1.6 px, JPEG quality 90 to
// 50, noise, specks and holes. The held-out set lies between the tuning set's settings, with
// other seeds.
inline std::vector<TScanDegradation> ScanRange(bool heldOut)
{
    struct TSetting {
        const char* Name;
        double Blur, Noise, Specks;
        int Quality;
    };
    static const TSetting tuning[] = {{"blur 0.8 q90", 0.8, 0.2, 0.2, 90},
                                      {"blur 1.0 q75", 1.0, 0.3, 0.3, 75},
                                      {"blur 1.2 q70", 1.2, 0.3, 0.5, 70},
                                      {"blur 1.4 q60", 1.4, 0.35, 0.6, 60},
                                      {"blur 1.6 q50", 1.6, 0.4, 0.8, 50}};
    static const TSetting held[] = {{"blur 0.9 q85", 0.9, 0.25, 0.3, 85},
                                    {"blur 1.1 q65", 1.1, 0.3, 0.4, 65},
                                    {"blur 1.3 q80", 1.3, 0.35, 0.5, 80},
                                    {"blur 1.5 q55", 1.5, 0.4, 0.7, 55}};
    std::vector<TScanDegradation> out;
    uint32_t seed = heldOut ? 7001 : 101;
    for (const TSetting& s : heldOut ? std::vector<TSetting>(std::begin(held), std::end(held))
                                     : std::vector<TSetting>(std::begin(tuning), std::end(tuning))) {
        TScanDegradation d;
        d.Name = s.Name;
        d.BlurSigma = s.Blur;
        d.NoiseAmplitude = s.Noise;
        d.NoiseGrain = 2.0;
        d.SpecksPerKilopixel = s.Specks;
        d.JpegQuality = s.Quality;
        d.Seed = seed++;
        out.push_back(d);
    }
    return out;
}
