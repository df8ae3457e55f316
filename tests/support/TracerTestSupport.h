#pragma once
// Synthetic pictures with known geometry, and the even-odd rasteriser that turns a trace back
// into pixels so that fidelity is measured on pixels, not on coordinates.
#include "MonoBitmap.h"
#include "Tracer.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

// Ink where inside(x, y) holds for the pixel centre, image coordinates (Y down).
inline TMonoBitmap MakeImage(int w, int h, const std::function<bool(double, double)>& inside)
{
    TMonoBitmap b(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (inside(x + 0.5, y + 0.5))
                b.Set(x, y, true);
    return b;
}

inline bool InDisc(double x, double y, double cx, double cy, double r)
{
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= r * r;
}

// Rectangle of half sizes (hw, hh) centred at (cx, cy), turned by deg.
inline bool InRotatedRect(double x, double y, double cx, double cy, double hw, double hh, double deg)
{
    const double a = deg * std::numbers::pi / 180, dx = x - cx, dy = y - cy;
    const double u = dx * std::cos(a) + dy * std::sin(a), v = -dx * std::sin(a) + dy * std::cos(a);
    return std::abs(u) <= hw && std::abs(v) <= hh;
}

// Distance from p to the segment ab.
inline double SegmentDistance(double px, double py, double ax, double ay, double bx, double by)
{
    const double dx = bx - ax, dy = by - ay, len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = std::clamp(t, 0.0, 1.0);
    return std::hypot(px - ax - t * dx, py - ay - t * dy);
}

// Every polyline (closed or not) as a closed ring, filled even-odd at pixel centres. Edges are
// bucketed by their first row, so whole traced pages fill quickly.
inline TMonoBitmap Rasterise(const TTraceResult& r, int w, int h)
{
    struct TEdge {
        double X0, Y0, X1, Y1;  // image coordinates, Y0 < Y1
    };
    std::vector<std::vector<TEdge>> starting(size_t(h) + 1);
    for (const TTracedPolyline& pl : r.Polylines) {
        const size_t n = pl.Points.size();
        for (size_t i = 0; i < n; ++i) {
            TVector2D a = pl.Points[i], b = pl.Points[(i + 1) % n];
            a.Y = h - a.Y;
            b.Y = h - b.Y;
            if (a.Y == b.Y)
                continue;
            if (a.Y > b.Y)
                std::swap(a, b);
            // First pixel row whose centre lies at or below a.Y.
            const double first = std::ceil(a.Y - 0.5);
            if (first >= h || b.Y < 0.5)
                continue;
            starting[size_t(std::max(0.0, first))].push_back({a.X, a.Y, b.X, b.Y});
        }
    }
    TMonoBitmap out(w, h);
    std::vector<TEdge> active;
    std::vector<double> xs;
    for (int y = 0; y < h; ++y) {
        const double sy = y + 0.5;
        active.insert(active.end(), starting[y].begin(), starting[y].end());
        xs.clear();
        size_t keep = 0;
        for (const TEdge& e : active) {
            if (e.Y1 <= sy)
                continue;  // finished above this row
            active[keep++] = e;
            if (e.Y0 <= sy)
                xs.push_back(e.X0 + (sy - e.Y0) * (e.X1 - e.X0) / (e.Y1 - e.Y0));
        }
        active.resize(keep);
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2)
            for (int x = std::max(0, int(std::ceil(xs[i] - 0.5))); x < w && x + 0.5 < xs[i + 1]; ++x)
                out.Set(x, y, !out.Ink(x, y));
    }
    return out;
}

inline size_t DifferingPixels(const TMonoBitmap& a, const TMonoBitmap& b)
{
    size_t n = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            n += a.Ink(x, y) != b.Ink(x, y);
    return n;
}

// Differing pixels of the traced outline against the picture, per ink pixel.
inline double OutlineError(const TMonoBitmap& img, const TTraceResult& r)
{
    const size_t ink = img.InkCount();
    return double(DifferingPixels(img, Rasterise(r, img.Width(), img.Height()))) / double(std::max<size_t>(ink, 1));
}

struct TDxfPolyline {
    std::vector<TVector2D> Points;
    int Flags = 0;
};

// Reads back the POLYLINE / VERTEX / SEQEND records of a DXF text, and each POINT as a polyline
// of one point.
inline std::vector<TDxfPolyline> ParseDxf(const std::string& text)
{
    std::istringstream in(text);
    std::vector<std::pair<int, std::string>> pairs;
    std::string code, value;
    while (std::getline(in, code) && std::getline(in, value))
        pairs.push_back({std::stoi(code), value});
    std::vector<TDxfPolyline> out;
    std::string entity;
    for (const auto& [c, v] : pairs) {
        if (c == 0) {
            entity = v;
            if (v == "POLYLINE" || v == "POINT")
                out.emplace_back();
            if (v == "VERTEX" || v == "POINT")
                out.back().Points.emplace_back();
        } else if (entity == "POLYLINE" && c == 70) {
            out.back().Flags = std::stoi(v);
        } else if ((entity == "VERTEX" || entity == "POINT") && c == 10) {
            out.back().Points.back().X = std::stod(v);
        } else if ((entity == "VERTEX" || entity == "POINT") && c == 20) {
            out.back().Points.back().Y = std::stod(v);
        }
    }
    return out;
}

