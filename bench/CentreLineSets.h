#pragma once
// Pictures for the centre-line benchmark with exact true centre lines: stroke icons (dots, rings,
// rounded and sharp bends, T, X and Y joints, curves; strokes 40 to 120 px wide with round caps
// and joins) laid out from a seed, and words in the single-stroke Hershey fonts drawn at stroke
// widths from 3 to 120 px with round, square and flat caps.
#include "ScanSimulation.h"
#include "StrokePictures.h"

#include <fstream>
#include <map>
#include <numbers>
#include <string>
#include <vector>

// One icon of the given kind, its stroke width and layout drawn from the seed.
inline TStrokePicture StrokeIcon(const std::string& kind, uint32_t seed)
{
    TScanRandom rnd(seed);
    auto uni = [&](double a, double b) { return a + (b - a) * rnd.Uniform(); };
    const double pi = std::numbers::pi;
    const double width = uni(40, 120);
    const int side = 640;
    const double c = side / 2.0, reach = 0.5 * side - 0.5 * width - 24;
    const double turn = uni(0, 2 * pi);
    auto at = [&](double r, double a) {
        return TVector2D{c + r * std::cos(turn + a), c + r * std::sin(turn + a)};
    };
    std::vector<TStrokeLine> strokes;
    if (kind == "dot") {
        strokes.push_back({{{c + uni(-20, 20), c + uni(-20, 20)}}});
    } else if (kind == "ring") {
        const double r = uni(0.6 * width + 10, reach);
        std::vector<TVector2D> ring = ArcPoints(c, c, r, 0, 2 * pi, 128);
        ring.pop_back();
        strokes.push_back({ring, true});
    } else if (kind == "bend") {
        // A rounded joint turning by 30 to 150 degrees, seen from the vertex.
        const double bend = uni(30, 150) * pi / 180;
        const TVector2D v = at(0.3 * reach, pi);
        const TVector2D a{v.X + reach * std::cos(turn), v.Y + reach * std::sin(turn)};
        const TVector2D b{v.X + reach * std::cos(turn + pi - bend), v.Y + reach * std::sin(turn + pi - bend)};
        strokes.push_back({{a, v, b}});
    } else if (kind == "zigzag") {
        std::vector<TVector2D> z;
        const double amp = uni(0.35, 0.6) * reach;
        for (int i = 0; i < 4; ++i)
            z.push_back(at(0, 0));
        for (int i = 0; i < 4; ++i) {
            const double along = -reach + 2 * reach * i / 3, across = (i % 2 ? amp : -amp);
            z[size_t(i)] = {c + along * std::cos(turn) - across * std::sin(turn),
                            c + along * std::sin(turn) + across * std::cos(turn)};
        }
        strokes.push_back({z});
    } else if (kind == "T") {
        strokes.push_back({{at(reach, 0.5 * pi), at(reach, -0.5 * pi)}});
        strokes.push_back({{at(0, 0), at(reach, pi + uni(-0.2, 0.2))}});
    } else if (kind == "X") {
        const double a = uni(0.3, 0.5) * pi;
        strokes.push_back({{at(reach, 0), at(reach, pi)}});
        strokes.push_back({{at(reach, a), at(reach, a + pi)}});
    } else if (kind == "Y") {
        const double a = uni(0.2, 0.35) * pi;
        strokes.push_back({{at(0, 0), at(reach, a)}});
        strokes.push_back({{at(0, 0), at(reach, -a)}});
        strokes.push_back({{at(0, 0), at(reach, pi)}});
    } else { // "curve": an S of two arcs, of a size drawn from the seed
        const double r = uni(0.35, 0.5) * reach, x = c + uni(-0.1, 0.1) * reach;
        std::vector<TVector2D> s = ArcPoints(x, c - r, r, -uni(0, 0.3) * pi, -1.5 * pi, 48);
        const std::vector<TVector2D> lower = ArcPoints(x, c + r, r, -0.5 * pi, uni(0.7, 1) * pi, 48);
        s.insert(s.end(), lower.begin() + 1, lower.end());
        strokes.push_back({s});
    }
    return DrawStrokes(kind, kind + " " + std::to_string(seed), side, side, width, TCap::Round,
                       std::move(strokes));
}

inline std::vector<std::string> IconKinds()
{
    return {"dot", "ring", "bend", "zigzag", "T", "X", "Y", "curve"};
}

// A Hershey font (.jhf): each character's strokes in font units, Y down, keyed by its line's
// place (the printable characters from the blank on, in the usual fonts).
struct THersheyGlyph {
    int Left = 0, Right = 0;
    std::vector<std::vector<TVector2D>> Strokes;
};

inline std::vector<THersheyGlyph> ReadHersheyFont(const std::string& path)
{
    std::ifstream in(path);
    std::vector<THersheyGlyph> glyphs;
    std::string line, record;
    auto parse = [&](const std::string& r) {
        if (r.size() < 10)
            return;
        const int count = std::stoi(r.substr(5, 3));
        THersheyGlyph g;
        g.Left = r[8] - 'R';
        g.Right = r[9] - 'R';
        g.Strokes.emplace_back();
        for (int i = 1; i < count && size_t(8 + 2 * i + 1) < r.size(); ++i) {
            const char a = r[size_t(8 + 2 * i)], b = r[size_t(9 + 2 * i)];
            if (a == ' ' && b == 'R') {
                g.Strokes.emplace_back();
                continue;
            }
            g.Strokes.back().push_back({double(a - 'R'), double(b - 'R')});
        }
        std::erase_if(g.Strokes, [](const auto& s) { return s.empty(); });
        glyphs.push_back(std::move(g));
    };
    // A record may run over several lines: the vertex count says how long it is.
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        record += line;
        if (record.size() >= 8 && int(record.size()) >= 8 + 2 * std::stoi(record.substr(5, 3))) {
            parse(record);
            record.clear();
        }
    }
    return glyphs;
}

// A word in a font at a stroke width: the glyphs are scaled so that the stroke is a tenth of
// the capital height (21 font units).
inline TStrokePicture HersheyWord(const std::vector<THersheyGlyph>& font, const std::string& word,
                                  double width, TCap cap, const std::string& name)
{
    const double scale = 10 * width / 21, margin = width + 8;
    std::vector<TStrokeLine> strokes;
    double pen = margin, bottom = 0;
    for (const char ch : word) {
        const size_t i = size_t(ch - ' ');
        if (i >= font.size())
            continue;
        const THersheyGlyph& g = font[i];
        for (const std::vector<TVector2D>& s : g.Strokes) {
            TStrokeLine l;
            for (const TVector2D& p : s) {
                l.Points.push_back({pen + (p.X - g.Left) * scale, margin + (p.Y + 16) * scale});
                bottom = std::max(bottom, l.Points.back().Y);
            }
            // A closed stroke (first point again at the end) is a ring.
            if (l.Points.size() > 3 && l.Points.front().X == l.Points.back().X &&
                l.Points.front().Y == l.Points.back().Y) {
                l.Points.pop_back();
                l.Closed = true;
            }
            strokes.push_back(std::move(l));
        }
        pen += (g.Right - g.Left) * scale;
    }
    const int w = int(std::ceil(pen + margin)), h = int(std::ceil(bottom + margin));
    return DrawStrokes("text", name, w, h, width, cap, std::move(strokes));
}
