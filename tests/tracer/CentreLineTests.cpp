// Centre-line tracing: strokes of known middle lines, checked by sampling the traced lines.
#include "StrokePictures.h"
#include "TraceCentreLine.h"
#include "TracerTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

namespace {

struct TSeg {
    double X0, Y0, X1, Y1;  // image coordinates (Y down)
};

bool NearSegments(double x, double y, const std::vector<TSeg>& segs, double halfWidth)
{
    for (const TSeg& s : segs)
        if (SegmentDistance(x, y, s.X0, s.Y0, s.X1, s.Y1) <= halfWidth)
            return true;
    return false;
}

double DistanceToSegments(double x, double y, const std::vector<TSeg>& segs)
{
    double d = 1e300;
    for (const TSeg& s : segs)
        d = std::min(d, SegmentDistance(x, y, s.X0, s.Y0, s.X1, s.Y1));
    return d;
}

struct TStrokeCase {
    const char* Name;
    int W, H;
    double HalfWidth;
    std::vector<TSeg> Middle;
    size_t Polylines;  // expected count after junctions and pruning
};

std::vector<TStrokeCase> StrokeCases()
{
    return {
        {"thin horizontal line", 60, 20, 0.5, {{5, 10, 55, 10}}, 1},
        {"thick horizontal stroke", 80, 30, 4, {{8, 15, 72, 15}}, 1},
        {"thick slanted stroke", 90, 90, 3.5, {{10, 15, 80, 70}}, 1},
        {"crossing", 90, 90, 3, {{10, 45, 80, 45}, {45, 10, 45, 80}}, 4},
        {"T junction", 90, 60, 2.5, {{10, 12, 80, 12}, {45, 12, 45, 50}}, 3},
        {"L corner", 70, 70, 3, {{10, 60, 60, 60}, {10, 10, 10, 60}}, 1},
    };
}

// Every output vertex and every sample along output edges, in image coordinates.
std::vector<TVector2D> Samples(const TTraceResult& r, int h)
{
    std::vector<TVector2D> out;
    for (const TTracedPolyline& p : r.Polylines) {
        const size_t n = p.Points.size(), edges = p.Closed ? n : n - 1;
        for (size_t i = 0; i < edges; ++i) {
            const TVector2D a = p.Points[i], b = p.Points[(i + 1) % n];
            const int steps = std::max(1, int(std::hypot(b.X - a.X, b.Y - a.Y) * 2));
            for (int k = 0; k <= steps; ++k)
                out.push_back({a.X + (b.X - a.X) * k / steps, h - (a.Y + (b.Y - a.Y) * k / steps)});
        }
    }
    return out;
}

} // namespace

TEST(CentreLine, FollowsTheMiddleOfStrokes)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const TStrokeCase& c : StrokeCases()) {
        SCOPED_TRACE(c.Name);
        const TMonoBitmap img = MakeImage(c.W, c.H, [&](double x, double y) { return NearSegments(x, y, c.Middle, c.HalfWidth); });
        const TTraceResult r = Trace(img, params);
        const std::vector<TVector2D> s = Samples(r, c.H);
        ASSERT_FALSE(s.empty());
        double sum = 0, worst = 0;
        for (const TVector2D& p : s) {
            const double d = DistanceToSegments(p.X, p.Y, c.Middle);
            sum += d;
            worst = std::max(worst, d);
        }
        std::printf("%s: %zu polylines, %zu vertices, mean %.3f worst %.3f\n", c.Name, r.Polylines.size(), r.VertexCount(), sum / s.size(), worst);
        EXPECT_EQ(r.Polylines.size(), c.Polylines);
        EXPECT_LE(sum / double(s.size()), 0.5);
        EXPECT_LE(worst, c.HalfWidth + 1.5);
    }
}

TEST(CentreLine, RingGivesOneClosedLineAndABlobItsOutline)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    const TMonoBitmap ring = MakeImage(80, 80, [](double x, double y) {
        const double d = std::hypot(x - 40, y - 40);
        return d >= 18 && d <= 23;
    });
    const TTraceResult r = Trace(ring, params);
    ASSERT_EQ(r.Polylines.size(), 1u);
    EXPECT_TRUE(r.Polylines[0].Closed);
    double sum = 0;
    const std::vector<TVector2D> s = Samples(r, 80);
    for (const TVector2D& p : s)
        sum += std::abs(std::hypot(p.X - 40, p.Y - 40) - 20.5);
    EXPECT_LE(sum / double(s.size()), 0.5);

    // A filled square thins to a dot: it is traced by its outline instead.
    const TMonoBitmap blob = MakeImage(60, 60, [](double x, double y) { return x > 15 && x < 45 && y > 12 && y < 42; });
    const TTraceResult b = Trace(blob, params);
    ASSERT_EQ(b.Polylines.size(), 1u);
    EXPECT_TRUE(b.Polylines[0].Closed);
    EXPECT_LE(OutlineError(blob, b), 0.01);
}

namespace {

struct TKindLimits {
    const char* Kind;
    double TracedToTrue, TrueToTraced, WithinTwo;  // means in pixels, share of the true line
};

// Scores of every picture of the generated set, summed per shape kind.
std::vector<std::pair<std::string, TCentreLineScore>> ScoreSet(const std::vector<double>& widths, const std::vector<TCap>& caps)
{
    std::vector<std::pair<std::string, TCentreLineScore>> kinds;
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const double w : widths)
        for (const TCap cap : caps)
            for (const TStrokePicture& p : StrokePictureSet(w, cap)) {
                if (cap != TCap::Round && p.Kind == "ring")
                    continue;
                auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.first == p.Kind; });
                if (it == kinds.end())
                    it = kinds.insert(kinds.end(), {p.Kind, {}});
                it->second.Add(ScoreTrace(p, Trace(p.Bits, params)));
            }
    return kinds;
}

void ExpectWithin(const std::vector<std::pair<std::string, TCentreLineScore>>& kinds, const std::vector<TKindLimits>& limits)
{
    for (const auto& [kind, s] : kinds) {
        SCOPED_TRACE(kind);
        std::printf("%-9s traced-to-true %.2f px, true-to-traced %.2f px, within 2 px %.1f%%\n", kind.c_str(), s.TracedToTrue,
                    s.TrueToTraced, 100 * s.WithinTwo);
        const auto l = std::find_if(limits.begin(), limits.end(), [&](const TKindLimits& k) { return kind == k.Kind; });
        ASSERT_NE(l, limits.end());
        EXPECT_LE(s.TracedToTrue, l->TracedToTrue);
        EXPECT_LE(s.TrueToTraced, l->TrueToTraced);
        EXPECT_GE(s.WithinTwo, l->WithinTwo);
    }
}

} // namespace

TEST(CentreLine, NarrowStrokesOfEveryKindAndCap)
{
    ExpectWithin(ScoreSet({3, 8, 20}, {TCap::Round, TCap::Square, TCap::Butt}),
                 {{"straight", 0.5, 0.5, 0.98},
                  {"curved", 0.6, 0.6, 0.97},
                  {"T", 0.5, 0.5, 0.97},
                  {"X", 0.5, 0.5, 0.98},
                  {"Y", 0.5, 0.6, 0.95},
                  {"corner", 0.5, 0.6, 0.95},
                  {"ring", 0.6, 0.6, 0.98},
                  {"text", 0.8, 0.9, 0.9}});
}

TEST(CentreLine, WideStrokesOfEveryKind)
{
    // Strokes 50 and 100 pixels wide, where thinning alone strays by several pixels.
    ExpectWithin(ScoreSet({50, 100}, {TCap::Round}),
                 {{"straight", 0.5, 0.5, 0.98},
                  {"curved", 1.0, 1.0, 0.9},
                  {"T", 0.5, 0.8, 0.95},
                  {"X", 0.5, 0.5, 0.98},
                  {"Y", 0.5, 1.0, 0.93},
                  {"corner", 0.6, 0.6, 0.95},
                  {"ring", 1.2, 1.0, 0.9},
                  {"text", 1.8, 2.6, 0.85}});
}

TEST(CentreLine, OpenEndsReachTheTrueEndWithinOnePixel)
{
    // Round caps end at the cap's centre, square and butt ends at the middle of the end edge.
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    struct TCase {
        double Width, Tolerance;
    };
    // Round and flat ends of a stroke a few pixels wide differ by a pixel or two of ink, at
    // times by none: there the end is only known to about a pixel and a half.
    for (const TCase& c : std::vector<TCase>{{3, 1.5}, {5, 2}, {6, 1}, {10, 1}, {15, 1}, {40, 1}, {90, 1}})
        for (const TCap cap : {TCap::Round, TCap::Square, TCap::Butt})
            for (const double slope : {0.0, 0.2, 0.45, 1.0}) {
                const int side = int(6 * c.Width) + 40;
                const double half = side / 2.0, reach = side / 2.0 - c.Width - 4;
                const TStrokePicture p = DrawStrokes("straight", "stroke", side, side, c.Width, cap,
                                                     {{{{half - reach, half + slope * reach}, {half + reach, half - slope * reach}}}});
                SCOPED_TRACE("width " + std::to_string(c.Width) + ", slope " + std::to_string(slope) +
                             (cap == TCap::Round ? ", round" : cap == TCap::Square ? ", square" : ", butt"));
                const std::vector<TStrokeLine> traced = TracedLines(Trace(p.Bits, params), p.Bits.Height());
                ASSERT_EQ(traced.size(), 1u);
                const TStrokeLine& t = traced[0];
                const TVector2D a = p.Truth[0].Points.front(), b = p.Truth[0].Points.back();
                const TVector2D u = t.Points.front(), v = t.Points.back();
                const double direct = std::max(std::hypot(u.X - a.X, u.Y - a.Y), std::hypot(v.X - b.X, v.Y - b.Y));
                const double swapped = std::max(std::hypot(u.X - b.X, u.Y - b.Y), std::hypot(v.X - a.X, v.Y - a.Y));
                EXPECT_LE(std::min(direct, swapped), c.Tolerance);
            }
}

TEST(CentreLine, JunctionsAreOnePointWhereTheLinesCross)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const double w : {6.0, 30.0, 80.0})
        for (const TStrokePicture& p : StrokePictureSet(w, TCap::Round)) {
            if (p.Kind != "T" && p.Kind != "X" && p.Kind != "Y")
                continue;
            SCOPED_TRACE(p.Name);
            // Where the first two strokes' lines cross.
            const TVector2D a0 = p.Truth[0].Points[0], a1 = p.Truth[0].Points[1];
            const TVector2D b0 = p.Truth[1].Points[0], b1 = p.Truth[1].Points[1];
            const double ux = a1.X - a0.X, uy = a1.Y - a0.Y, vx = b1.X - b0.X, vy = b1.Y - b0.Y;
            const double t = ((b0.X - a0.X) * vy - (b0.Y - a0.Y) * vx) / (ux * vy - uy * vx);
            const TVector2D meet{a0.X + t * ux, a0.Y + t * uy};
            // Every stroke's line ends at the junction: an X gives four lines, not two
            // junctions joined by a short piece.
            const std::vector<TStrokeLine> traced = TracedLines(Trace(p.Bits, params), p.Bits.Height());
            ASSERT_EQ(traced.size(), p.Kind == "X" ? 4u : 3u);
            TVector2D shared{};
            int most = 0;
            for (const TVector2D cand : {traced[0].Points.front(), traced[0].Points.back()}) {
                int n = 0;
                for (const TStrokeLine& l : traced)
                    n += (l.Points.front().X == cand.X && l.Points.front().Y == cand.Y) ||
                         (l.Points.back().X == cand.X && l.Points.back().Y == cand.Y);
                if (n > most) {
                    most = n;
                    shared = cand;
                }
            }
            EXPECT_EQ(most, int(traced.size()));
            EXPECT_LE(std::hypot(shared.X - meet.X, shared.Y - meet.Y), 1.0);
        }
}

TEST(CentreLine, BumpsArePrunedAndBranchesAsLongAsTheWidthKept)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const double w : {6.0, 20.0, 60.0}) {
        SCOPED_TRACE("width " + std::to_string(w));
        const int side = int(8 * w) + 20;
        const double y = side / 2.0, x0 = w, x1 = side - w;
        // A bump of a third of the width on the stroke's side: one line.
        const TMonoBitmap bump = MakeImage(side, side, [&](double x, double yy) {
            return SegmentDistance(x, yy, x0, y, x1, y) <= w / 2 || InDisc(x, yy, side / 2.0, y - w / 2, w / 3);
        });
        EXPECT_EQ(Trace(bump, params).Polylines.size(), 1u);
        // A branch reaching a width out of the stroke: three lines.
        const TMonoBitmap branch = MakeImage(side, side, [&](double x, double yy) {
            return SegmentDistance(x, yy, x0, y, x1, y) <= w / 2 || SegmentDistance(x, yy, side / 2.0, y, side / 2.0, y - w) <= w / 2;
        });
        EXPECT_EQ(Trace(branch, params).Polylines.size(), 3u);
    }
}

TEST(CentreLine, RingWithAOnePixelHoleIsAClosedLine)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const double r : {4.0, 10.0, 30.0}) {
        SCOPED_TRACE("radius " + std::to_string(r));
        const int side = int(2 * r) + 10;
        TMonoBitmap img = MakeImage(side, side, [&](double x, double y) { return InDisc(x, y, side / 2.0, side / 2.0, r); });
        img.Set(side / 2, side / 2, false);
        const TTraceResult t = Trace(img, params);
        ASSERT_EQ(t.Polylines.size(), 1u);
        EXPECT_TRUE(t.Polylines[0].Closed);
    }
}

namespace {

// Thick strokes with round caps and joints, as stroke icons draw them: what their centre
// lines must come to.
struct TThickCase {
    const char* Name;
    double Width;
    std::vector<TStrokeLine> Strokes;
    size_t Polylines; // lines and points traced
    double MeanError; // mean distance both ways between traced and true lines, px
    double EndError;  // how far each true stroke end may lie from a traced end, px
};

std::vector<TThickCase> ThickCases()
{
    return {
        // A dot, a stroke of no length: its centre, as one point.
        {"dot", 30, {{{{61.3, 58.6}}}}, 1, 0.3, 0.5},
        {"small dot", 9, {{{{20.4, 21.7}}}}, 1, 0.3, 0.5},
        // Rounded joints: the line goes round the bend through the joint's centre.
        {"rounded bend of 70 degrees", 36, {{{{20, 40}, {100, 62}, {145, 140}}}}, 1, 0.8, 1.5},
        {"rounded bend of 120 degrees", 30, {{{{25, 30}, {130, 60}, {30, 110}}}}, 1, 0.8, 1.5},
        // Joints: one point where the lines meet, on the bar of a T, no spur towards a corner of
        // the ink; and the arms' round caps reached, though the junction is close behind them.
        {"thick T", 34, {{{{20, 40}, {150, 40}}}, {{{85, 40}, {85, 150}}}}, 3, 0.6, 1.5},
        {"thick T with short arms", 44, {{{{30, 40}, {140, 40}}}, {{{85, 40}, {85, 140}}}}, 3, 0.6, 1.5},
        {"thick X", 30, {{{{25, 25}, {145, 145}}}, {{{25, 145}, {145, 25}}}}, 4, 0.6, 1.5},
        {"thick X with short arms", 40, {{{{40, 40}, {130, 130}}}, {{{40, 130}, {130, 40}}}}, 4, 0.6, 1.5},
        {"thick plus", 44, {{{{25, 85}, {145, 85}}}, {{{85, 25}, {85, 145}}}}, 4, 0.6, 1.5},
        // A round cap's centre is where the line ends.
        {"round-capped ends", 40, {{{{35, 60}, {140, 95}}}}, 1, 0.5, 1.0},
        // A letter's bowl turning into its stem within the joint's reach: the bowl arrives in
        // the direction of its last stretch, not of the curve before it, and the stem runs on
        // past the joint towards its cap (the ends of this one within a few pixels).
        {"bowl turning into a stem",
         36,
         {{{{120, 25}, {120, 150}}}, {{{25, 40}, {60, 40}, {85, 50}, {120, 85}}}},
         3,
         0.6,
         5},
    };
}

} // namespace

TEST(CentreLine, ThickRoundStrokesDotsBendsJointsAndEnds)
{
    TTraceParams params = TraceDefaults();
    params.CentreLine = true;
    for (const TThickCase& c : ThickCases()) {
        SCOPED_TRACE(c.Name);
        const TStrokePicture p = DrawStrokes("thick", c.Name, 170, 170, c.Width, TCap::Round, c.Strokes);
        const TTraceResult r = Trace(p.Bits, params);
        const TCentreLineScore s = ScoreTrace(p, r);
        std::printf("%s: %zu polylines, %.2f %.2f px\n", c.Name, r.Polylines.size(), s.TracedToTrue,
                    s.TrueToTraced);
        EXPECT_EQ(r.Polylines.size(), c.Polylines);
        EXPECT_LE(s.TracedToTrue, c.MeanError);
        EXPECT_LE(s.TrueToTraced, c.MeanError);
        // Every true end has a traced end (or point) near it.
        const std::vector<TStrokeLine> traced = TracedLines(r, p.Bits.Height());
        for (const TStrokeLine& t : c.Strokes)
            for (const TVector2D end : {t.Points.front(), t.Points.back()}) {
                double nearest = 1e9;
                for (const TStrokeLine& l : traced)
                    for (const TVector2D q : {l.Points.front(), l.Points.back()})
                        nearest = std::min(nearest, std::hypot(q.X - end.X, q.Y - end.Y));
                EXPECT_LE(nearest, c.EndError) << "end at " << end.X << ", " << end.Y;
            }
    }
}
