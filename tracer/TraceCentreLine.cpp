// Centre lines in stages: thinning (TraceThinning), the skeleton's graph with spurs pruned and
// crossings merged (TraceSkeletonGraph), then the geometry of each chain here: straight pieces
// moved to the middle of the stroke, the part near junctions and ends dropped where thinning
// bends away from the true line, junctions placed where the strokes' lines cross, ends carried
// out to the stroke's true end, and bends that thinning rounds folded back into corners.
#include "TraceCentreLine.h"

#include "TraceDots.h"
#include "TraceFit.h"
#include "TraceSkeletonGraph.h"
#include "TraceThinning.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

TVector2D Unit(TVector2D from, TVector2D to)
{
    const double l = Distance(from, to);
    return l > 1e-9 ? TVector2D{(to.X - from.X) / l, (to.Y - from.Y) / l} : TVector2D{0, 0};
}

// Half the stroke's width at p across the direction dir, measured to both edges.
double HalfWidthAcross(const TMonoBitmap& ink, TVector2D p, TVector2D dir, double limit)
{
    double left = 0, right = 0;
    InkReachBothWays(ink, p, {-dir.Y, dir.X}, limit, left, right);
    return 0.5 * (left + right);
}

// A chain on its way to a centre line. Its ends are junctions (node >= 0 with three branches
// or more), stroke ends (Free), or none (closed).
struct TCentreChain {
    std::vector<TVector2D> Points;
    bool Closed = false;
    int NodeA = -1, NodeB = -1;
    bool FreeA = false, FreeB = false;
    double Radius = 1;  // half the stroke's width along it
    bool Dropped = false;
};

// How far p lies from the middle of the stroke along normal, to the side normal points to,
// up to maxShift: averaged over five places along the stroke, as one measurement is quantised
// to a quarter pixel and follows the staircase. False where nothing could be measured.
bool OffsetFromMiddle(const TMonoBitmap& ink, TVector2D p, TVector2D along, double maxShift, double& offset)
{
    const TVector2D normal{-along.Y, along.X};
    double sum = 0;
    int count = 0;
    for (int k = -2; k <= 2; ++k) {
        const TVector2D o{p.X + k * along.X, p.Y + k * along.Y};
        double forward, backward;
        if (!InkReachBothWays(ink, o, normal, 64, forward, backward))
            continue;
        // A side reaching much further than the other has met another stroke, or missed
        // a small hole: that measurement is left out.
        const double twice = backward - forward;
        if (std::abs(twice) > 2 * maxShift + 1)
            continue;
        sum += 0.5 * twice;
        ++count;
    }
    if (count == 0)
        return false;
    offset = sum / count;
    return true;
}

// Moves each straight piece across the stroke to the middle between its two edges, measured
// at points along it; a vertex becomes the meeting point of its two moved pieces, or where
// they turn little, the mean of their moves. Near a folded corner the edges across are those
// of the joint, not of the piece's stroke: there nothing is measured.
void CentrePieces(const TMonoBitmap& ink, std::vector<TVector2D>& p, const std::vector<char>& folded,
                  bool closed, double radius)
{
    // Thinning of thick ink strays from the middle by a fraction of the width; further than
    // that a measurement has met another stroke.
    const double maxShift = std::max(1.0, 0.3 * radius);
    const int n = int(p.size());
    const int edges = closed ? n : n - 1;
    if (edges < 1)
        return;
    std::vector<TVector2D> dir(static_cast<size_t>(edges)), move(static_cast<size_t>(edges));
    for (int k = 0; k < edges; ++k) {
        const TVector2D a = p[size_t(k)], b = p[size_t((k + 1) % n)];
        const TVector2D u = Unit(a, b);
        dir[size_t(k)] = u;
        const double len = Distance(a, b);
        double sum = 0, offset = 0;
        int count = 0;
        const double from = folded[size_t(k)] ? std::min(len, 2 * radius + 2) : 0;
        const double to = folded[size_t((k + 1) % n)] ? std::max(from, len - 2 * radius - 2) : len;
        // Five measurements a pixel apart cover a short piece; a longer one gets them at a
        // quarter and three quarters of its length too.
        for (const double f : {0.25, 0.5, 0.75})
            if (to > from && (to - from >= 8 || f == 0.5) &&
                OffsetFromMiddle(ink, PointAlong({a, b}, from + f * (to - from)), u, maxShift, offset)) {
                sum += offset;
                ++count;
            }
        const double shift = count ? std::clamp(-sum / count, -maxShift, maxShift) : 0.0;
        move[size_t(k)] = {-u.Y * shift, u.X * shift};
    }
    std::vector<TVector2D> out = p;
    for (int i = 0; i < n; ++i) {
        const int in = closed ? (i + edges - 1) % edges : i - 1, outEdge = closed || i < edges ? i : -1;
        if (in < 0 || outEdge < 0) {  // an end of an open chain
            const TVector2D m = move[size_t(in < 0 ? outEdge : in)];
            out[size_t(i)] = {p[size_t(i)].X + m.X, p[size_t(i)].Y + m.Y};
            continue;
        }
        const TVector2D u = dir[size_t(in)], v = dir[size_t(outEdge)];
        const TVector2D mu = move[size_t(in)], mv = move[size_t(outEdge)];
        const double cross = u.X * v.Y - u.Y * v.X;
        TVector2D q{p[size_t(i)].X + 0.5 * (mu.X + mv.X), p[size_t(i)].Y + 0.5 * (mu.Y + mv.Y)};
        if (std::abs(cross) > 0.3) {
            // Where the moved lines through p + mu (along u) and p + mv (along v) meet.
            const TVector2D a{p[size_t(i)].X + mu.X, p[size_t(i)].Y + mu.Y}, b{p[size_t(i)].X + mv.X, p[size_t(i)].Y + mv.Y};
            const double t = ((b.X - a.X) * v.Y - (b.Y - a.Y) * v.X) / cross;
            const TVector2D meet{a.X + t * u.X, a.Y + t * u.Y};
            if (Distance(meet, q) <= 2 * maxShift)
                q = meet;
        }
        out[size_t(i)] = q;
    }
    p.swap(out);
}

// Thinning rounds a bend where two straight strokes meet, cutting inside it by up to
// half the width. A short run of pieces between two long straight ones, which together turn
// by a clear angle, is folded into the corner where the long pieces' lines meet. The long
// pieces are judged on a coarser polygon, straight to within a tenth of the width (a thick
// stroke's skeleton wanders by more than the half pixel of the fine one); its vertices are
// vertices of the fine polygon, whose run between them becomes the corner.
void FoldBends(const TMonoBitmap& ink, std::vector<TVector2D>& fine, std::vector<char>& folded, bool closed,
               double radius)
{
    constexpr double MinTurn = 0.4;  // radians
    constexpr double MaxBendWidths = 8;  // longest bend, in stroke half-widths
    constexpr double JointWidening = 1.1;
    constexpr double RoundJointShortfall = 0.05;
    constexpr double ThickRadius = 6; // thinner strokes' round joints are cut by a pixel at most
    const double legTolerance = std::clamp(0.1 * radius, 0.5, 1.5);
    bool changed = true;
    while (changed && fine.size() >= 4) {
        changed = false;
        std::vector<char> ends(fine.size(), 0);
        if (!closed)
            ends.front() = ends.back() = 1;
        const std::vector<TVector2D> p = FitWithin(fine, ends, closed, legTolerance);
        // Where each coarse vertex lies in the fine polygon.
        std::vector<int> place;
        for (size_t k = 0, f = 0; k < p.size(); ++k) {
            while (f < fine.size() && (fine[f].X != p[k].X || fine[f].Y != p[k].Y))
                ++f;
            place.push_back(int(f));
        }
        if (p.size() < 4 || place.back() >= int(fine.size()))
            return;
        const int n = int(p.size()), fn = int(fine.size());
        const int edges = closed ? n : n - 1;
        auto at = [&](int i) { return p[size_t((i % n + n) % n)]; };
        for (int i = closed ? 0 : 1; i < edges && !changed; ++i) {
            // The bend runs from vertex i to vertex j; edge (i - 1, i) comes in, (j, j + 1)
            // goes out.
            const double in = Distance(at(i - 1), at(i));
            double window = 0;
            for (int j = i + 1; j < (closed ? i + n - 2 : n - 1); ++j) {
                window += Distance(at(j - 1), at(j));
                if (window > MaxBendWidths * radius + 2)
                    break;
                const double out = Distance(at(j), at(j + 1));
                if (in < std::max(radius, 0.5 * window) || out < std::max(radius, 0.5 * window))
                    continue;
                const TVector2D u = Unit(at(i - 1), at(i)), v = Unit(at(j), at(j + 1));
                const double cross = u.X * v.Y - u.Y * v.X, dot = u.X * v.X + u.Y * v.Y;
                const double turn = std::abs(std::atan2(cross, dot));
                if (turn < MinTurn || std::abs(cross) < 1e-9)
                    continue;
                // Two strokes meeting at an inner angle 2a are rounded off over about
                // r / tan(a) on either side of their corner.
                const double a = 0.5 * (std::numbers::pi - turn);
                if (window > 2 * radius * (1 + 1 / std::tan(a)) + 2)
                    continue;
                const double t = ((at(j).X - at(i).X) * v.Y - (at(j).Y - at(i).Y) * v.X) / cross;
                const TVector2D corner{at(i).X + t * u.X, at(i).Y + t * u.Y};
                const TVector2D middle{0.5 * (at(i).X + at(j).X), 0.5 * (at(i).Y + at(j).Y)};
                if (t < 0 || Distance(corner, middle) > window + 2 * radius)
                    continue;
                // Where strokes meet at a sharp joint, the ink is wider than either stroke;
                // along a curved stroke it is not. At a round joint it is not wider, but the
                // corner lies in the middle of the ink, as deep as the stroke's half-width,
                // where the lines meeting at a curve's bend lie outside its middle.
                std::vector<TVector2D> bend;
                for (int k = i; k <= j; ++k)
                    bend.push_back(at(k));
                const TVector2D inBend = PointAlong(bend, 0.5 * window);
                if (InkRadius(ink, int(std::floor(inBend.X)), int(std::floor(inBend.Y))) <
                        JointWidening * radius &&
                    (radius < ThickRadius ||
                     InkRadius(ink, int(std::floor(corner.X)), int(std::floor(corner.Y))) <
                         radius - std::max(1.5, RoundJointShortfall * radius)))
                    continue;
                // Vertices i..j become the corner.
                const int first = place[size_t(i % n)],
                          span = ((place[size_t(j % n)] - first) % fn + fn) % fn;
                std::vector<TVector2D> q;
                std::vector<char> qf;
                for (int k = 0; k < fn; ++k) {
                    const int from_i = ((k - first) % fn + fn) % fn;
                    if (from_i == 0) {
                        q.push_back(corner);
                        qf.push_back(1);
                    } else if (from_i > span) {
                        q.push_back(fine[size_t(k)]);
                        qf.push_back(folded[size_t(k)]);
                    }
                }
                fine.swap(q);
                folded.swap(qf);
                changed = true;
                break;
            }
        }
    }
}

// Straight pieces through the pixel centres within half a pixel (a straight stroke is a
// staircase within half a pixel of its line), ends kept.
std::vector<TVector2D> StraightPieces(const std::vector<TVector2D>& p, bool closed)
{
    constexpr double SkeletonStraightness = 0.5;
    std::vector<char> ends(p.size(), 0);
    if (!closed && !ends.empty())
        ends.front() = ends.back() = 1;
    return FitWithin(p, ends, closed, SkeletonStraightness);
}

// Cuts off the start of an open chain up to where it leaves the circle of the given radius
// around centre; all but the last point when it never does.
void TrimStart(std::vector<TVector2D>& p, TVector2D centre, double radius)
{
    size_t k = 0;
    while (k + 1 < p.size() && Distance(p[k + 1], centre) < radius)
        ++k;
    if (k + 1 >= p.size()) {
        p.erase(p.begin(), p.end() - 1);
        return;
    }
    // Where the piece from p[k] to p[k + 1] crosses the circle.
    const TVector2D a = p[k], b = p[k + 1];
    const double dx = b.X - a.X, dy = b.Y - a.Y, fx = a.X - centre.X, fy = a.Y - centre.Y;
    const double qa = dx * dx + dy * dy, qb = 2 * (fx * dx + fy * dy), qc = fx * fx + fy * fy - radius * radius;
    const double disc = std::max(0.0, qb * qb - 4 * qa * qc);
    const double t = qa > 0 ? std::clamp((-qb + std::sqrt(disc)) / (2 * qa), 0.0, 1.0) : 0.0;
    p.erase(p.begin(), p.begin() + long(k));
    p[0] = {a.X + t * dx, a.Y + t * dy};
}

// How far thinning bends away from the true line around a junction.
double JunctionReach(const TSkeletonNode& n) { return 1.5 * n.Radius + n.Spread + 1; }

// Stage: each chain as straight pieces along the middle of its stroke, without the parts
// near junctions and stroke ends where thinning leaves the true line. A lone stroke shorter
// than it is wide is a blob and goes to onBlob instead.
std::vector<TCentreChain> CentreChains(const TMonoBitmap& ink, const TSkeletonGraph& g,
                                       std::vector<TSkeletonChain> chains,
                                       const std::function<void(int, int)>& onBlob)
{
    std::vector<TCentreChain> out;
    for (TSkeletonChain& sc : chains) {
        if (sc.Points.size() < 2)
            continue;
        TCentreChain c;
        c.Closed = sc.Closed;
        const TVector2D mid = sc.Points[sc.Points.size() / 2];
        // The stroke's half-width: the median of five places along it, as one place may be
        // where it meets another.
        double radii[5];
        for (int k = 0; k < 5; ++k) {
            const TVector2D q = sc.Points[(sc.Points.size() - 1) * size_t(2 * k + 1) / 10];
            radii[k] = InkRadius(ink, int(q.X), int(q.Y));
        }
        std::nth_element(radii, radii + 2, radii + 5);
        c.Radius = std::max(0.5, radii[2]);
        // A lone stub: the skeleton of a blob that is no stroke.
        const double length = PolylineLength(sc.Points);
        if (!sc.Closed) {
            c.FreeA = g.Degree(sc.A) == 1;
            c.FreeB = g.Degree(sc.B) == 1;
            c.NodeA = c.FreeA ? -1 : sc.A;
            c.NodeB = c.FreeB ? -1 : sc.B;
            if (c.FreeA && c.FreeB && length < 2.0 * c.Radius) {
                onBlob(int(mid.X), int(mid.Y));
                continue;
            }
        }
        c.Points = std::move(sc.Points);
        if (!c.Closed) {
            for (const bool atA : {true, false}) {
                if (!atA)
                    std::reverse(c.Points.begin(), c.Points.end());
                const int node = atA ? c.NodeA : c.NodeB;
                const bool free = atA ? c.FreeA : c.FreeB;
                if (node >= 0)
                    TrimStart(c.Points, g.Nodes[size_t(node)].Pos, JunctionReach(g.Nodes[size_t(node)]));
                else if (free)
                    TrimStart(c.Points, c.Points.front(), std::min(std::max(0.5 * c.Radius, 2.0), 0.25 * PolylineLength(c.Points)));
                if (!atA)
                    std::reverse(c.Points.begin(), c.Points.end());
            }
        }
        c.Points = StraightPieces(c.Points, c.Closed);
        std::vector<char> folded(c.Points.size(), 0);
        FoldBends(ink, c.Points, folded, c.Closed, c.Radius);
        CentrePieces(ink, c.Points, folded, c.Closed, c.Radius);
        // Measuring the middle is quantised: pieces that now line up again are merged.
        c.Points = StraightPieces(c.Points, c.Closed);
        out.push_back(std::move(c));
    }
    return out;
}

// The line in which a chain arrives at one of its ends: through its last point, in the
// direction of its last stretch of about a stroke width.
struct TEndLine {
    TVector2D At, Dir;
    double Support = 0;  // length of chain behind it
};

TEndLine EndLine(const TCentreChain& c, bool atA)
{
    std::vector<TVector2D> p = c.Points;
    if (!atA)
        std::reverse(p.begin(), p.end());
    const double len = PolylineLength(p);
    // A thin stroke's end hooks off by a pixel or so: its direction needs a longer stretch.
    const bool free = atA ? c.FreeA : c.FreeB;
    const double stretch = free ? std::max(8.0, 3 * c.Radius) : std::max(3.0, 2 * c.Radius);
    const TVector2D back = PointAlong(p, std::min(len, stretch));
    return {p.front(), Unit(back, p.front()), std::min(len, 2 * c.Radius)};
}

// Where the lines through a along u and through b along v meet; false when nearly parallel.
bool Meet(TVector2D a, TVector2D u, TVector2D b, TVector2D v, TVector2D& at)
{
    const double cross = u.X * v.Y - u.Y * v.X;
    if (std::abs(cross) < 0.25)
        return false;
    const double t = ((b.X - a.X) * v.Y - (b.Y - a.Y) * v.X) / cross;
    at = {a.X + t * u.X, a.Y + t * u.Y};
    return true;
}

// The direction in which an arm truly arrives at a bar, judged from the ink: the stretch of
// the arm inside the junction's reach, which thinning bends, may turn from the part of the
// chain before it (a letter's bowl meeting its stem). Lines from at turned either way from dir
// are walked up to the bar's edge; along the right one the ink reaches the stroke's half-width
// to either side, on the side that does not run into the bar or another stroke at least. Answers
// dir where no turned line is clearly better.
TVector2D ArmDirection(const TMonoBitmap& ink, TVector2D at, TVector2D dir, double radius, TVector2D barAt,
                       TVector2D barDir, double barRadius)
{
    constexpr double MostTurn = 0.7, TurnStep = 0.05; // radians
    constexpr double Step = 2;                        // pixels between measurements
    auto misfit = [&](TVector2D u, double& score) {
        TVector2D meet;
        if (!Meet(at, u, barAt, barDir, meet))
            return false;
        const double toBar = (meet.X - at.X) * u.X + (meet.Y - at.Y) * u.Y;
        const double sine = std::abs(u.X * barDir.Y - u.Y * barDir.X); // of the angle to the bar
        const double before = toBar - (barRadius + 1) / std::max(sine, 0.3);
        if (before < 3 * Step)
            return false;
        const TVector2D normal{-u.Y, u.X};
        double sum = 0;
        int count = 0;
        for (double s = Step; s <= before; s += Step) {
            const TVector2D q{at.X + s * u.X, at.Y + s * u.Y};
            double left = 0, right = 0;
            if (!InkReachBothWays(ink, q, normal, 4 * radius + 4, left, right)) {
                sum += radius;
                ++count;
                continue;
            }
            sum += std::min(std::abs(left - radius), std::abs(right - radius));
            ++count;
        }
        score = sum / count;
        return true;
    };
    double best = 0;
    if (!misfit(dir, best))
        return dir;
    TVector2D out = dir;
    const double start = best;
    for (double turn = -MostTurn; turn <= MostTurn + 1e-9; turn += TurnStep) {
        const TVector2D u{dir.X * std::cos(turn) - dir.Y * std::sin(turn),
                          dir.X * std::sin(turn) + dir.Y * std::cos(turn)};
        double score;
        if (misfit(u, score) && score < best) {
            best = score;
            out = u;
        }
    }
    return best < start - 1 && best < 0.75 * start ? out : dir;
}

// Stage: every junction becomes the one point closest to the lines in which its chains
// arrive (least squares, held near the junction's pixels where the lines are nearly
// parallel); each chain is carried straight on to it, so all of them share that point.
// Where two strokes meet at a sharp angle, thinning leaves a branch out to the tip of the
// corner: a stroke end that lies where the other two strokes' lines meet. That branch goes,
// and the corner is the meeting point.
void PlaceJunctions(const TMonoBitmap& ink, const TSkeletonGraph& g, std::vector<TCentreChain>& chains)
{
    struct TArrival {
        size_t Chain;
        bool AtA;
        TEndLine Line;
        bool HasLine;
    };
    std::vector<std::vector<TArrival>> arrivals(g.Nodes.size());
    for (size_t ci = 0; ci < chains.size(); ++ci) {
        const TCentreChain& c = chains[ci];
        for (const bool atA : {true, false}) {
            const int node = atA ? c.NodeA : c.NodeB;
            if (node < 0 || c.Closed)
                continue;
            const TEndLine l = EndLine(c, atA);
            const TSkeletonNode& n = g.Nodes[size_t(node)];
            // A chain that lies all within the junction's bend has no line of its own.
            const bool hasLine = l.Support >= std::max(2.0, 0.5 * n.Radius) && Distance(l.At, n.Pos) >= 0.5 * JunctionReach(n);
            arrivals[size_t(node)].push_back({ci, atA, l, hasLine});
        }
    }
    // Each arm's direction as the ink shows it where it meets the arm it crosses most steeply.
    for (std::vector<TArrival>& at : arrivals) {
        if (at.size() < 3)
            continue;
        std::vector<TVector2D> dirs;
        for (const TArrival& t : at) {
            dirs.push_back(t.Line.Dir);
            if (!t.HasLine)
                continue;
            const TArrival* across = nullptr;
            double steepest = 0.5; // sine of the least angle to an arm it meets
            for (const TArrival& o : at) {
                const double sine = std::abs(t.Line.Dir.X * o.Line.Dir.Y - t.Line.Dir.Y * o.Line.Dir.X);
                if (&o != &t && o.HasLine && sine > steepest) {
                    steepest = sine;
                    across = &o;
                }
            }
            if (across)
                dirs.back() = ArmDirection(ink, t.Line.At, t.Line.Dir, chains[t.Chain].Radius,
                                           across->Line.At, across->Line.Dir, chains[across->Chain].Radius);
        }
        for (size_t i = 0; i < at.size(); ++i)
            at[i].Line.Dir = dirs[i];
    }
    std::vector<TVector2D> point(g.Nodes.size());
    for (size_t k = 0; k < g.Nodes.size(); ++k) {
        const TSkeletonNode& n = g.Nodes[k];
        const std::vector<TArrival>& at = arrivals[k];
        point[k] = n.Pos;
        if (at.size() == 3)
            for (size_t tip = 0; tip < 3; ++tip) {
                const TArrival& t = at[tip];
                const TCentreChain& c = chains[t.Chain];
                const TArrival &a = at[(tip + 1) % 3], &b = at[(tip + 2) % 3];
                TVector2D corner;
                if (!(t.AtA ? c.FreeB : c.FreeA) || !a.HasLine || !b.HasLine ||
                    !Meet(a.Line.At, a.Line.Dir, b.Line.At, b.Line.Dir, corner))
                    continue;
                const TVector2D far = t.AtA ? c.Points.back() : c.Points.front();
                // A tip points out of the corner, away from both strokes; a short stroke that
                // runs on past a joint (a letter's stem above its bowl) points elsewhere.
                const TVector2D outwards =
                    Unit({0, 0}, {a.Line.Dir.X + b.Line.Dir.X, a.Line.Dir.Y + b.Line.Dir.Y});
                const TVector2D out = Unit(n.Pos, far);
                constexpr double TipAlong = 0.87; // cosine of the largest angle off the way out
                if (out.X * outwards.X + out.Y * outwards.Y >= TipAlong &&
                    Distance(corner, far) <= n.Radius + 1 &&
                    Distance(corner, n.Pos) <= 4 * JunctionReach(n)) {
                    chains[t.Chain].Dropped = true;
                    point[k] = corner;
                    break;
                }
            }
        if (point[k].X != n.Pos.X || point[k].Y != n.Pos.Y)
            continue;
        // A T: two of the three chains run on in one line, the bar, and the third meets it.
        // Thinning puts the junction off the bar, into the stem, and bends the bar's chains
        // down to it; where they are short, as on a thick T, their lines near the junction are
        // that bend. The bar's line through their far ends is sound.
        if (at.size() == 3)
            for (size_t stem = 0; stem < 3; ++stem) {
                const TArrival &a = at[(stem + 1) % 3], &b = at[(stem + 2) % 3], &t = at[stem];
                if (!t.HasLine)
                    continue;
                auto ends = [&](const TArrival& arm, TVector2D& near, TVector2D& far) {
                    const std::vector<TVector2D>& q = chains[arm.Chain].Points;
                    near = arm.AtA ? q.front() : q.back();
                    far = arm.AtA ? q.back() : q.front();
                };
                TVector2D nearA, farA, nearB, farB;
                ends(a, nearA, farA);
                ends(b, nearB, farB);
                const TVector2D bar = Unit(farB, farA), ua = Unit(nearA, farA), ub = Unit(nearB, farB);
                constexpr double InLine = 0.966; // cosine of the largest angle between the pieces
                if (ua.X * bar.X + ua.Y * bar.Y < InLine || -(ub.X * bar.X + ub.Y * bar.Y) < InLine ||
                    -(ua.X * ub.X + ua.Y * ub.Y) < InLine)
                    continue;
                TVector2D meet;
                if (Meet(farB, bar, t.Line.At, t.Line.Dir, meet) &&
                    Distance(meet, n.Pos) <= JunctionReach(n) + n.Radius) {
                    point[k] = meet;
                    break;
                }
            }
        if (point[k].X != n.Pos.X || point[k].Y != n.Pos.Y)
            continue;
        double q00 = 0, q01 = 0, q11 = 0, r0 = 0, r1 = 0;
        int lines = 0;
        for (const TArrival& a : at) {
            if (!a.HasLine)
                continue;
            const double nx = -a.Line.Dir.Y, ny = a.Line.Dir.X, d = nx * a.Line.At.X + ny * a.Line.At.Y;
            q00 += nx * nx;
            q01 += nx * ny;
            q11 += ny * ny;
            r0 += nx * d;
            r1 += ny * d;
            ++lines;
        }
        if (lines < 2)
            continue;
        constexpr double Pull = 0.02;
        q00 += Pull;
        q11 += Pull;
        r0 += Pull * n.Pos.X;
        r1 += Pull * n.Pos.Y;
        const double det = q00 * q11 - q01 * q01;
        const TVector2D p{(r0 * q11 - r1 * q01) / det, (q00 * r1 - q01 * r0) / det};
        if (Distance(p, n.Pos) <= JunctionReach(n) + n.Radius)
            point[k] = p;
    }
    for (TCentreChain& c : chains) {
        if (c.Closed || c.Dropped)
            continue;
        if (c.NodeA >= 0)
            c.Points.insert(c.Points.begin(), point[size_t(c.NodeA)]);
        if (c.NodeB >= 0)
            c.Points.push_back(point[size_t(c.NodeB)]);
    }
}

// How far from at, along the stroke's middle line dir, the stroke truly ends: at the middle of
// a flat end's edge, or at the centre of a round cap. Both are judged from the ink: the
// stroke's area over a stretch behind at gives its half-width better than any one measurement
// across, the area beyond at gives the end under either shape, and each shape, placed there
// or a little either way, is compared with the ink pixel by pixel; the one that differs in
// fewer pixels is taken. Where both differ alike, as for strokes a few pixels wide whose
// round and flat ends may be the very same pixels, the end is put between the two. The stretch
// behind stops where the ink across it widens: a short arm's stretch would otherwise reach
// into the junction it leaves.
double EndDistance(const TMonoBitmap& ink, TVector2D at, TVector2D dir, double edge, double limit)
{
    const double guess = HalfWidthAcross(ink, at, dir, limit);
    if (guess <= 0)
        return edge;
    const TVector2D normal{-dir.Y, dir.X};
    const double band = guess + 1.5, far = edge + 2;
    double behind = std::max(2 * guess, 8.0);
    for (double back = 2; back < behind; back += 2)
        if (HalfWidthAcross(ink, {at.X - back * dir.X, at.Y - back * dir.Y}, dir, band + 2) >
            1.1 * guess + 1) {
            behind = std::max(4.0, back);
            break;
        }
    // The pixels whose centres lie in the box from behind to far along dir, band across.
    const double xs[4] = {at.X + band * normal.X - behind * dir.X, at.X - band * normal.X - behind * dir.X,
                          at.X + far * dir.X + band * normal.X, at.X + far * dir.X - band * normal.X};
    const double ys[4] = {at.Y + band * normal.Y - behind * dir.Y, at.Y - band * normal.Y - behind * dir.Y,
                          at.Y + far * dir.Y + band * normal.Y, at.Y + far * dir.Y - band * normal.Y};
    const int x0 = int(std::floor(*std::min_element(xs, xs + 4))),
              x1 = int(std::ceil(*std::max_element(xs, xs + 4)));
    const int y0 = int(std::floor(*std::min_element(ys, ys + 4))),
              y1 = int(std::ceil(*std::max_element(ys, ys + 4)));
    struct TSample {
        double Along, Across;
        bool Ink;
    };
    std::vector<TSample> beyond;
    beyond.reserve(size_t((far + 1) * (2 * band + 2)));
    double stretch = 0, area = 0;
    for (int y = y0; y <= y1; ++y) {
        // Along and across are linear in x: the row's pixels inside the box form one run.
        const double dy = y + 0.5 - at.Y, dx0 = x0 + 0.5 - at.X;
        double lo = x0, hi = x1;
        auto clip = [&](double value0, double slope, double min, double max) {
            if (std::abs(slope) < 1e-12) {
                if (value0 < min || value0 > max)
                    hi = lo - 1;
                return;
            }
            double a = x0 + (min - value0) / slope, b = x0 + (max - value0) / slope;
            if (a > b)
                std::swap(a, b);
            // Kept within the box, so that a steep edge gives no coordinate beyond int.
            lo = std::max(lo, std::ceil(std::clamp(a, x0 - 1.0, x1 + 1.0) - 1e-9));
            hi = std::min(hi, std::floor(std::clamp(b, x0 - 1.0, x1 + 1.0) + 1e-9));
        };
        clip(dx0 * dir.X + dy * dir.Y, dir.X, -behind, far);
        clip(dx0 * normal.X + dy * normal.Y, normal.X, -band, band);
        for (int x = int(lo); x <= int(hi); ++x) {
            const double dx = x + 0.5 - at.X;
            const double along = dx * dir.X + dy * dir.Y, across = dx * normal.X + dy * normal.Y;
            if (along < -behind || along > far || std::abs(across) > band)
                continue;
            const bool isInk = ink.Ink(x, y);
            if (along < 0) {
                stretch += isInk;
            } else {
                beyond.push_back({along, across, isInk});
                area += isInk;
            }
        }
    }
    const double r = stretch / (2 * behind);
    if (r <= 0)
        return edge;
    // Each shape, placed with its end at e, holds the pixels within r across whose threshold
    // is at most e: the distance along for a flat end, less the cap's reach at that distance
    // across for a round one. Misses for seven places a quarter pixel apart come from one count
    // of thresholds per place.
    constexpr int Steps = 3;
    double ends[2] = {area / (2 * r),
                      std::max(0.0, (area - 0.5 * std::numbers::pi * r * r) / (2 * r))}; // flat, round
    int misses[2];
    for (int shape = 0; shape < 2; ++shape) {
        const double first = ends[shape];
        int inkFrom[2 * Steps + 2] = {}, paperFrom[2 * Steps + 2] = {}; // by the first place that holds them
        int outsideInk = 0;
        for (const TSample& q : beyond) {
            if (std::abs(q.Across) > r) {
                outsideInk += q.Ink;
                continue;
            }
            const double threshold = shape == 0 ? q.Along : q.Along - std::sqrt(r * r - q.Across * q.Across);
            // The first place that holds it, rounded up; clamped before the conversion.
            const double place = std::clamp((threshold - first) / 0.25, -Steps - 1.0, Steps + 1.0);
            int k = int(place);
            k += k < place;
            k = std::max(k, -Steps) + Steps;
            ++(q.Ink ? inkFrom : paperFrom)[k];
        }
        misses[shape] = -1;
        int inkLeft = 0, paperIn = 0;
        for (const int count : inkFrom)
            inkLeft += count;
        for (int k = -Steps; k <= Steps; ++k) {
            inkLeft -= inkFrom[k + Steps];
            paperIn += paperFrom[k + Steps];
            const double end = first + 0.25 * k;
            const int m = outsideInk + inkLeft + paperIn;
            if (end >= 0 && (misses[shape] < 0 || m < misses[shape] || (m == misses[shape] && k == 0))) {
                misses[shape] = m;
                ends[shape] = end;
            }
        }
    }
    if (misses[0] == misses[1])
        return 0.5 * (ends[0] + ends[1]);
    return misses[0] < misses[1] ? ends[0] : ends[1];
}

// A straight stroke's end: the end part of the chain, where thinning hooks towards a corner of
// a flat end, gives way to the least-squares line of the stretch behind it, carried on to the
// stroke's true end. False where the chain bends there; it is left as it is.
bool ExtendStraightEnd(const TMonoBitmap& ink, TCentreChain& c, bool atA)
{
    constexpr double MaxBend = 0.09; // radians between the two halves of the stretch
    std::vector<TVector2D> p = c.Points;
    if (!atA)
        std::reverse(p.begin(), p.end());
    const double len = PolylineLength(p);
    const double from = std::min(1.5 * c.Radius + 1, 0.4 * len),
                 to = std::min(from + std::max(4 * c.Radius, 20.0), 0.8 * len);
    const TVector2D d1 = Unit(PointAlong(p, 0.5 * (from + to)), PointAlong(p, from));
    const TVector2D d2 = Unit(PointAlong(p, to), PointAlong(p, 0.5 * (from + to)));
    if (std::abs(std::atan2(d1.X * d2.Y - d1.Y * d2.X, d1.X * d2.X + d1.Y * d2.Y)) > MaxBend)
        return false;
    // Points every pixel along [from, to], in one walk along the chain.
    std::vector<TVector2D> samples;
    {
        double t = from, run = 0;
        for (size_t i = 1; i < p.size() && t <= to; ++i) {
            const double l = Distance(p[i - 1], p[i]);
            for (; t <= to && t <= run + l; t += 1) {
                const double f = l > 0 ? (t - run) / l : 0;
                samples.push_back(
                    {p[i - 1].X + f * (p[i].X - p[i - 1].X), p[i - 1].Y + f * (p[i].Y - p[i - 1].Y)});
            }
            run += l;
        }
    }
    double sx = 0, sy = 0, sxx = 0, sxy = 0, syy = 0;
    const int n = int(samples.size());
    for (const TVector2D& q : samples) {
        sx += q.X;
        sy += q.Y;
        sxx += q.X * q.X;
        sxy += q.X * q.Y;
        syy += q.Y * q.Y;
    }
    if (n < 3)
        return false;
    const double mx = sx / n, my = sy / n, cxx = sxx / n - mx * mx, cxy = sxy / n - mx * my,
                 cyy = syy / n - my * my;
    const double angle = 0.5 * std::atan2(2 * cxy, cxx - cyy);
    TVector2D u{std::cos(angle), std::sin(angle)};
    const TVector2D outwards = Unit(PointAlong(p, to), PointAlong(p, from));
    if (u.X * outwards.X + u.Y * outwards.Y < 0)
        u = {-u.X, -u.Y};
    const TVector2D at = PointAlong(p, from);
    const double t0 = (at.X - mx) * u.X + (at.Y - my) * u.Y;
    const TVector2D start{mx + t0 * u.X, my + t0 * u.Y};
    const double limit = 4 * c.Radius + 8;
    const double end = EndDistance(ink, start, u, InkReach(ink, start, u, limit), limit);
    // The chain up to from goes; start and the end come in its place.
    size_t k = 0;
    for (double run = 0; k + 1 < p.size() && run + Distance(p[k], p[k + 1]) <= from; ++k)
        run += Distance(p[k], p[k + 1]);
    p.erase(p.begin(), p.begin() + long(k + 1));
    p.insert(p.begin(), {{start.X + end * u.X, start.Y + end * u.Y}, start});
    if (!atA)
        std::reverse(p.begin(), p.end());
    c.Points = std::move(p);
    return true;
}

// A stub from a junction to a stroke end, little longer than its stroke is wide, as a letter's stem
// running on past its bowl: thinning leaves it a few points that give no direction. Where
// another stroke comes into the junction in about the stub's line, the stub carries that
// stroke's line on.
void AlignStub(const std::vector<TCentreChain>& chains, TCentreChain& c)
{
    constexpr double InLine = 0.75; // cosine of the largest angle between stub and stroke
    const bool freeAtA = c.FreeA && c.NodeB >= 0, freeAtB = c.FreeB && c.NodeA >= 0;
    if (c.Closed || (!freeAtA && !freeAtB) || c.Points.size() < 2)
        return;
    const double len = PolylineLength(c.Points);
    if (len >= 2.5 * c.Radius)
        return;
    const int node = freeAtA ? c.NodeB : c.NodeA;
    const TVector2D junction = freeAtA ? c.Points.back() : c.Points.front();
    const TVector2D end = freeAtA ? c.Points.front() : c.Points.back();
    const TVector2D stub = Unit(junction, end);
    TVector2D best{0, 0};
    double bestDot = InLine;
    for (const TCentreChain& o : chains) {
        if (&o == &c || o.Dropped || o.Closed || (o.NodeA != node && o.NodeB != node))
            continue;
        for (const bool atA : {true, false}) {
            if ((atA ? o.NodeA : o.NodeB) != node)
                continue;
            std::vector<TVector2D> q = o.Points;
            if (!atA)
                std::reverse(q.begin(), q.end());
            const double along = std::min(PolylineLength(q), 3 * o.Radius);
            if (along < 2 * o.Radius)
                continue;
            const TVector2D through = Unit(PointAlong(q, along), q.front());
            const double dot = through.X * stub.X + through.Y * stub.Y;
            if (dot > bestDot) {
                bestDot = dot;
                best = through;
            }
        }
    }
    if (bestDot <= InLine)
        return;
    const TVector2D moved{junction.X + len * best.X, junction.Y + len * best.Y};
    c.Points = freeAtA ? std::vector<TVector2D>{moved, junction} : std::vector<TVector2D>{junction, moved};
}

// Stage: a stroke end is carried on in the chain's last direction to where the stroke truly
// ends: to the middle of a flat end's edge, or to the centre of a round cap, which is half a
// width short of the edge. A straight stroke's end is placed from its ink (ExtendStraightEnd);
// on a bend, a cap is round when the stroke narrows before its edge.
void ExtendEnds(const TMonoBitmap& ink, std::vector<TCentreChain>& chains)
{
    for (TCentreChain& c : chains) {
        if (c.Closed || c.Dropped)
            continue;
        AlignStub(chains, c);
        for (const bool atA : {true, false}) {
            if (!(atA ? c.FreeA : c.FreeB) || ExtendStraightEnd(ink, c, atA))
                continue;
            const TEndLine l = EndLine(c, atA);
            if (l.Dir.X == 0 && l.Dir.Y == 0)
                continue;
            const double limit = 4 * c.Radius + 8;
            const double edge = InkReach(ink, l.At, l.Dir, limit);
            const double half = HalfWidthAcross(ink, l.At, l.Dir, limit);
            double to;
            if (half < 2) {
                to = edge - 0.5 * half;  // too narrow to tell: between the two
            } else {
                // Across a round cap, 0.3 half-widths before its edge, the stroke is 0.71 of
                // its half-width; across a flat end, all of it.
                const TVector2D probe{l.At.X + (edge - 0.3 * half) * l.Dir.X, l.At.Y + (edge - 0.3 * half) * l.Dir.Y};
                const bool round = HalfWidthAcross(ink, probe, l.Dir, limit) < 0.85 * half;
                to = round ? edge - half : edge;
            }
            if (to <= 0)
                continue;
            const TVector2D end{l.At.X + to * l.Dir.X, l.At.Y + to * l.Dir.Y};
            if (atA)
                c.Points.insert(c.Points.begin(), end);
            else
                c.Points.push_back(end);
        }
    }
}

// Stage: the skeletons of dots go. A round blob thins to a pixel, a stub, a small loop or a
// knot of short branches, whichever its pixels give: any group of connected chains that is
// short beside the ink's depth along it is looked at as a whole.
std::vector<TSkeletonChain> DropDots(const TMonoBitmap& ink, std::vector<TSkeletonChain> chains,
                                     const std::function<bool(int, int)>& takeDot)
{
    // Groups of chains that share nodes, by union-find over the chains.
    std::vector<size_t> group(chains.size());
    for (size_t i = 0; i < chains.size(); ++i)
        group[i] = i;
    auto root = [&](size_t i) {
        while (group[i] != i)
            i = group[i] = group[group[i]];
        return i;
    };
    std::vector<std::pair<int, size_t>> byNode; // node, chain
    for (size_t i = 0; i < chains.size(); ++i)
        for (const int node : {chains[i].A, chains[i].B})
            if (node >= 0)
                byNode.push_back({node, i});
    std::sort(byNode.begin(), byNode.end());
    for (size_t k = 1; k < byNode.size(); ++k)
        if (byNode[k].first == byNode[k - 1].first)
            group[root(byNode[k].second)] = root(byNode[k - 1].second);
    // Per group: its length, and its deepest point.
    struct TGroup {
        double Length = 0, Depth = -1;
        int X = 0, Y = 0;
    };
    std::vector<TGroup> groups(chains.size());
    for (size_t i = 0; i < chains.size(); ++i) {
        TGroup& gr = groups[root(i)];
        gr.Length += PolylineLength(chains[i].Points);
        for (size_t k = 0; k < chains[i].Points.size(); k += 2) {
            const int x = int(chains[i].Points[k].X), y = int(chains[i].Points[k].Y);
            if (const double depth = InkRadius(ink, x, y); depth > gr.Depth) {
                gr.Depth = depth;
                gr.X = x;
                gr.Y = y;
            }
        }
    }
    std::vector<char> dot(chains.size(), 0);
    for (size_t i = 0; i < chains.size(); ++i)
        if (root(i) == i && groups[i].Depth >= 0 && groups[i].Length < 4 * (groups[i].Depth + 1))
            dot[i] = takeDot(groups[i].X, groups[i].Y);
    std::vector<TSkeletonChain> kept;
    for (size_t i = 0; i < chains.size(); ++i)
        if (!dot[root(i)])
            kept.push_back(std::move(chains[i]));
    return kept;
}

} // namespace

void TraceCentreLines(const TMonoBitmap& bitmap,
                      const std::function<void(const std::vector<TVector2D>&, bool)>& onChain,
                      const std::function<void(int, int)>& onBlob,
                      const std::function<void(TVector2D)>& onDot,
                      const std::function<void(double)>& progress)
{
    // Round blobs met on the way, with a pixel of each; shapes looked at are set in looked.
    struct TFoundDot {
        TDot Dot;
        int X, Y;
    };
    std::vector<TFoundDot> dots;
    TMonoBitmap looked;
    auto takeDot = [&](int x, int y) {
        if (looked.Width() == 0)
            looked = TMonoBitmap(bitmap.Width(), bitmap.Height());
        if (looked.Ink(x, y)) // seen before: a dot taken then, or a shape that is none
            return std::any_of(dots.begin(), dots.end(), [&](const TFoundDot& d) {
                return Distance(d.Dot.Centre, {x + 0.5, y + 0.5}) <= d.Dot.Radius + 2;
            });
        TDot dot;
        if (!FindRoundBlob(bitmap, x, y, looked, dot))
            return false;
        dots.push_back({dot, x, y});
        return true;
    };
    TSkeletonGraph graph = BuildSkeletonGraph(ThinToSkeleton(bitmap, progress), bitmap, [&](int x, int y) {
        if (!takeDot(x, y))
            onBlob(x, y);
    });
    PruneSpurs(graph, bitmap);
    MergeJunctions(graph);
    if (progress)
        progress(0.9);
    std::vector<TCentreChain> chains =
        CentreChains(bitmap, graph, DropDots(bitmap, JoinChains(graph), takeDot), onBlob);
    PlaceJunctions(bitmap, graph, chains);
    ExtendEnds(bitmap, chains);
    for (const TCentreChain& c : chains) {
        if (!c.Dropped && c.Points.size() >= 2 && PolylineLength(c.Points) > 0)
            onChain(c.Points, c.Closed);
    }
    // A round area much wider than the picture's strokes is a filled area, not a dot: it keeps
    // its outline. The strokes' half-width is that of the widest tenth of their length.
    std::vector<std::pair<double, double>> radii; // half-width, length
    double total = 0;
    for (const TCentreChain& c : chains)
        if (!c.Dropped) {
            radii.push_back({c.Radius, PolylineLength(c.Points)});
            total += radii.back().second;
        }
    std::sort(radii.begin(), radii.end());
    double typical = 0;
    for (double run = 0; const auto& [r, len] : radii) {
        typical = r;
        if ((run += len) >= 0.9 * total)
            break;
    }
    constexpr double WidestDot = 6; // in strokes' half-widths
    for (const TFoundDot& d : dots) {
        if (!radii.empty() && d.Dot.Radius > WidestDot * typical + 4)
            onBlob(d.X, d.Y);
        else
            onDot(d.Dot.Centre);
    }
}
