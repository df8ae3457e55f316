#pragma once
// Stroked pictures with a known centre line, and the distances that score a traced centre line
// against it. A stroke is a polyline drawn with a width and a cap; where strokes meet, their
// centre lines meet. The true centre line of an open stroke ends at the cap's centre (round),
// at the middle of the end edge (butt), or half a width further out (square).
#include "MonoBitmap.h"
#include "Tracer.h"
#include "TracerTestSupport.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

enum class TCap { Round, Square, Butt };

struct TStrokeLine {
    std::vector<TVector2D> Points;  // image coordinates (Y down)
    bool Closed = false;
};

struct TStrokePicture {
    std::string Kind, Name;
    double Width = 0;
    TMonoBitmap Bits;
    std::vector<TStrokeLine> Truth;  // the true centre lines
};

// Draws strokes of one width and cap; answers the picture with its true centre lines.
inline TStrokePicture DrawStrokes(std::string kind, std::string name, int w, int h, double width, TCap cap,
                                  std::vector<TStrokeLine> strokes)
{
    const double half = width / 2;
    // A square cap is a butt cap on a stroke half a width longer at both ends.
    for (TStrokeLine& s : strokes)
        if (cap == TCap::Square && !s.Closed && s.Points.size() >= 2) {
            for (const bool front : {true, false}) {
                TVector2D& end = front ? s.Points.front() : s.Points.back();
                const TVector2D next = front ? s.Points[1] : s.Points[s.Points.size() - 2];
                const double dx = end.X - next.X, dy = end.Y - next.Y, l = std::hypot(dx, dy);
                end = {end.X + dx / l * half, end.Y + dy / l * half};
            }
        }
    struct TPiece {
        TVector2D A, B;
        bool CutA, CutB;  // the stroke ends flat at this end
    };
    std::vector<TPiece> pieces;
    std::vector<TVector2D> joints;
    for (const TStrokeLine& s : strokes) {
        const size_t n = s.Points.size(), edges = s.Closed ? n : n - 1;
        for (size_t i = 0; i < edges; ++i) {
            const bool first = !s.Closed && i == 0, last = !s.Closed && i + 1 == edges;
            pieces.push_back({s.Points[i], s.Points[(i + 1) % n], first && cap != TCap::Round, last && cap != TCap::Round});
        }
        for (size_t i = 0; i < n; ++i)
            if (s.Closed || (i > 0 && i + 1 < n) || cap == TCap::Round)
                joints.push_back(s.Points[i]);
    }
    auto inside = [&](double x, double y) {
        for (const TVector2D& j : joints)
            if (InDisc(x, y, j.X, j.Y, half))
                return true;
        for (const TPiece& p : pieces) {
            const double dx = p.B.X - p.A.X, dy = p.B.Y - p.A.Y, l2 = dx * dx + dy * dy;
            const double t = ((x - p.A.X) * dx + (y - p.A.Y) * dy) / l2;
            if (t < 0 || t > 1)
                continue;
            if (std::abs((x - p.A.X) * dy - (y - p.A.Y) * dx) / std::sqrt(l2) <= half)
                return true;
        }
        return false;
    };
    // Only the box around the strokes is tested pixel by pixel.
    double x0 = w, y0 = h, x1 = 0, y1 = 0;
    for (const TStrokeLine& s : strokes)
        for (const TVector2D& p : s.Points) {
            x0 = std::min(x0, p.X - half - 1);
            y0 = std::min(y0, p.Y - half - 1);
            x1 = std::max(x1, p.X + half + 1);
            y1 = std::max(y1, p.Y + half + 1);
        }
    TMonoBitmap bits(w, h);
    for (int y = std::max(0, int(y0)); y < std::min(h, int(y1) + 1); ++y)
        for (int x = std::max(0, int(x0)); x < std::min(w, int(x1) + 1); ++x)
            if (inside(x + 0.5, y + 0.5))
                bits.Set(x, y, true);
    return {std::move(kind), std::move(name), width, std::move(bits), std::move(strokes)};
}

inline std::vector<TVector2D> ArcPoints(double cx, double cy, double r, double a0, double a1, int n)
{
    std::vector<TVector2D> p;
    for (int i = 0; i <= n; ++i) {
        const double a = a0 + (a1 - a0) * i / n;
        p.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return p;
}

// The set of shapes at one stroke width, in a picture scaled to the width. Kinds: straight,
// curved, T, X, Y, corner, ring, text.
inline std::vector<TStrokePicture> StrokePictureSet(double width, TCap cap)
{
    const double s = std::max(40.0, 6 * width);  // the shapes' size
    const int m = int(std::ceil(width)) + 4;     // margin
    const int side = int(std::ceil(s)) + 2 * m;
    const double c = side / 2.0, pi = std::numbers::pi;
    const std::string tag = " w" + std::to_string(int(std::lround(width)));
    std::vector<TStrokePicture> set;
    auto add = [&](const char* kind, const char* name, std::vector<TStrokeLine> strokes, TCap capOf) {
        set.push_back(DrawStrokes(kind, name + tag, side, side, width, capOf, std::move(strokes)));
    };
    add("straight", "level", {{{{m + 0.3, c + 0.2}, {side - m - 0.4, c + 0.2}}}}, cap);
    add("straight", "slanted", {{{{m + 0.2, c + 0.31 * s}, {side - m - 0.3, c - 0.17 * s}}}}, cap);
    add("curved", "arc", {{ArcPoints(c, c + 0.35 * s, 0.62 * s, -0.85 * pi, -0.15 * pi, 64)}}, cap);
    {
        std::vector<TVector2D> wave;
        for (int i = 0; i <= 64; ++i) {
            const double t = i / 64.0;
            wave.push_back({m + t * s, c + 0.18 * s * std::sin(2 * pi * t)});
        }
        add("curved", "wave", {{wave}}, cap);
    }
    const double l = c - s / 2, r = c + s / 2;
    add("T", "T", {{{{l, c - 0.25 * s}, {r, c - 0.25 * s}}}, {{{c, c - 0.25 * s}, {c, r}}}}, cap);
    add("X", "X", {{{{l, l}, {r, r}}}, {{{l, r}, {r, l}}}}, cap);
    add("X", "plus", {{{{l, c + 0.1}, {r, c + 0.1}}}, {{{c + 0.3, l}, {c + 0.3, r}}}}, cap);
    add("Y", "Y", {{{{c, c + 0.05 * s}, {l + 0.05 * s, l}}}, {{{c, c + 0.05 * s}, {r - 0.05 * s, l}}}, {{{c, c + 0.05 * s}, {c, r}}}},
        cap);
    add("corner", "L", {{{{l, l}, {l, r}, {r, r}}}}, cap);
    add("corner", "V", {{{{l, l}, {c, r}, {r, l}}}}, cap);
    {
        // Rings down to a hole of a few pixels across.
        const double outer = s / 2;
        for (const double hole : {s * 0.6, std::max(2.0, width * 0.3)}) {
            const double radius = std::min(outer - width / 2, hole / 2 + width / 2);
            std::vector<TVector2D> ring = ArcPoints(c, c, radius, 0, 2 * pi, 96);
            ring.pop_back();
            add("ring", hole > width ? "ring" : "small ring", {{ring, true}}, TCap::Round);
        }
    }
    {
        // Letter strokes: an A and an S.
        add("text", "A",
            {{{{l + 0.1 * s, r}, {c, l}, {r - 0.1 * s, r}}}, {{{c - 0.28 * s, c + 0.2 * s}, {c + 0.28 * s, c + 0.2 * s}}}}, cap);
        std::vector<TVector2D> hook = ArcPoints(c, c - 0.2 * s, 0.25 * s, -0.1 * pi, -1.5 * pi, 40);
        const std::vector<TVector2D> lower = ArcPoints(c, c + 0.3 * s, 0.25 * s, -0.5 * pi, 0.9 * pi, 40);
        hook.insert(hook.end(), lower.begin() + 1, lower.end());
        add("text", "S", {{hook}}, cap);
    }
    return set;
}

// Points every quarter pixel along polylines (image coordinates).
inline std::vector<TVector2D> SampleLines(const std::vector<TStrokeLine>& lines)
{
    std::vector<TVector2D> out;
    for (const TStrokeLine& l : lines) {
        const size_t n = l.Points.size();
        if (n == 1)
            out.push_back(l.Points[0]);
        const size_t edges = l.Closed ? n : n - 1;
        for (size_t i = 0; i < edges && n > 1; ++i) {
            const TVector2D a = l.Points[i], b = l.Points[(i + 1) % n];
            const int steps = std::max(1, int(std::ceil(4 * std::hypot(b.X - a.X, b.Y - a.Y))));
            for (int k = 0; k < steps; ++k)
                out.push_back({a.X + (b.X - a.X) * k / steps, a.Y + (b.Y - a.Y) * k / steps});
        }
        if (!l.Closed && n > 1)
            out.push_back(l.Points.back());
    }
    return out;
}

// A trace's polylines in image coordinates.
inline std::vector<TStrokeLine> TracedLines(const TTraceResult& r, int imageHeight)
{
    std::vector<TStrokeLine> out;
    for (const TTracedPolyline& p : r.Polylines) {
        TStrokeLine& s = out.emplace_back();
        s.Closed = p.Closed;
        for (const TVector2D& v : p.Points)
            s.Points.push_back({v.X, imageHeight - v.Y});
    }
    return out;
}

// Distance to the nearest of a set of polylines.
class TLineDistance {
public:
    explicit TLineDistance(const std::vector<TStrokeLine>& lines)
    {
        for (const TStrokeLine& l : lines) {
            const size_t n = l.Points.size(), edges = l.Closed ? n : (n ? n - 1 : 0);
            if (n == 1)
                Pieces.push_back({l.Points[0], l.Points[0]});
            for (size_t i = 0; i < edges; ++i)
                Pieces.push_back({l.Points[i], l.Points[(i + 1) % n]});
        }
    }
    double operator()(TVector2D p) const
    {
        double best = 1e300;
        for (const auto& [a, b] : Pieces)
            best = std::min(best, SegmentDistance(p.X, p.Y, a.X, a.Y, b.X, b.Y));
        return best;
    }

private:
    std::vector<std::pair<TVector2D, TVector2D>> Pieces;
};

struct TCentreLineScore {
    double TracedToTrue = 0;  // mean distance, pixels
    double TrueToTraced = 0;
    double WithinTwo = 0;     // share of the true line within 2 pixels of the traced one
    size_t TracedSamples = 0, TrueSamples = 0;

    // Adds another picture's score, weighted by samples.
    void Add(const TCentreLineScore& o)
    {
        const double a = double(TracedSamples), b = double(o.TracedSamples), c = double(TrueSamples), d = double(o.TrueSamples);
        TracedToTrue = a + b > 0 ? (TracedToTrue * a + o.TracedToTrue * b) / (a + b) : 0;
        TrueToTraced = c + d > 0 ? (TrueToTraced * c + o.TrueToTraced * d) / (c + d) : 0;
        WithinTwo = c + d > 0 ? (WithinTwo * c + o.WithinTwo * d) / (c + d) : 0;
        TracedSamples += o.TracedSamples;
        TrueSamples += o.TrueSamples;
    }
};

// Scores traced points (samples of the traced lines, or skeleton pixel centres) against the
// true lines; traced lines give the distance back to them.
inline TCentreLineScore ScoreCentreLine(const std::vector<TVector2D>& tracedSamples, const std::vector<TStrokeLine>& traced,
                                        const std::vector<TStrokeLine>& truth)
{
    TCentreLineScore s;
    const TLineDistance toTrue(truth), toTraced(traced);
    for (const TVector2D& p : tracedSamples)
        s.TracedToTrue += toTrue(p);
    s.TracedSamples = tracedSamples.size();
    s.TracedToTrue /= double(std::max<size_t>(1, s.TracedSamples));
    const std::vector<TVector2D> trueSamples = SampleLines(truth);
    size_t near = 0;
    for (const TVector2D& p : trueSamples) {
        const double d = tracedSamples.empty() ? 1e3 : toTraced(p);
        s.TrueToTraced += d;
        near += d <= 2;
    }
    s.TrueSamples = trueSamples.size();
    s.TrueToTraced /= double(std::max<size_t>(1, s.TrueSamples));
    s.WithinTwo = double(near) / double(std::max<size_t>(1, s.TrueSamples));
    return s;
}

// A traced result scored against a picture's true centre lines.
inline TCentreLineScore ScoreTrace(const TStrokePicture& p, const TTraceResult& r)
{
    const std::vector<TStrokeLine> lines = TracedLines(r, p.Bits.Height());
    return ScoreCentreLine(SampleLines(lines), lines, p.Truth);
}

// A skeleton (pixel centres, each a one-point line) scored the same way.
inline TCentreLineScore ScoreSkeleton(const TStrokePicture& p, const TMonoBitmap& skeleton)
{
    std::vector<TVector2D> pts;
    skeleton.ForEachInk([&](int x, int y) { pts.push_back({x + 0.5, y + 0.5}); });
    std::vector<TStrokeLine> dots;
    for (const TVector2D& v : pts)
        dots.push_back({{v}, false});
    return ScoreCentreLine(pts, dots, p.Truth);
}
