#include "TraceSkeletonGraph.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// Neighbours P2..P9: north, then clockwise on screen.
constexpr int NX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int NY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// Number of ink pixels in row y from x on, going right (step 1) or left (step -1), up to cap.
int InkRun(const TMonoBitmap& b, int x, int y, int step, int cap)
{
    if (y < 0 || y >= b.Height())
        return 0;
    const uint64_t* row = b.Row(y);
    int n = 0;
    while (n < cap) {
        const int at = x + step * n;
        if (at < 0 || at >= b.Width())
            break;
        // Whole words at a time: the ink from `at` on, up to the end of its word.
        const int bit = at & 63, room = step > 0 ? 64 - bit : bit + 1;
        const int run = step > 0 ? std::countr_one(row[at >> 6] >> bit) : std::countl_one(row[at >> 6] << (63 - bit));
        n += run;
        if (run < room)
            break;
    }
    return std::min(n, cap);
}

// Set bits of a byte, as the target may lack a population count instruction.
constexpr auto NeighbourCount = [] {
    std::array<uint8_t, 256> t{};
    for (unsigned m = 0; m < 256; ++m)
        t[m] = uint8_t(std::popcount(m));
    return t;
}();

// Node pixels by key, open addressing with linear probing; grows at half full.
class TNodePixels {
public:
    int Find(uint64_t key) const
    {
        if (Slots.empty())
            return -1;
        for (size_t i = Hash(key);; i = (i + 1) & (Slots.size() - 1)) {
            if (Slots[i].Node < 0)
                return -1;
            if (Slots[i].Key == key)
                return Slots[i].Node;
        }
    }
    void Add(uint64_t key, int node)
    {
        if (2 * (Count + 1) > Slots.size()) {
            std::vector<TSlot> old(std::max<size_t>(64, 2 * Slots.size()));
            old.swap(Slots);
            Count = 0;
            for (const TSlot& s : old)
                if (s.Node >= 0)
                    Add(s.Key, s.Node);
        }
        size_t i = Hash(key);
        while (Slots[i].Node >= 0)
            i = (i + 1) & (Slots.size() - 1);
        Slots[i] = {key, node};
        ++Count;
    }

private:
    struct TSlot {
        uint64_t Key = 0;
        int Node = -1;
    };
    size_t Hash(uint64_t key) const { return size_t((key * 0x9E3779B97F4A7C15u) >> 20) & (Slots.size() - 1); }
    std::vector<TSlot> Slots;
    size_t Count = 0;
};

void Unlink(TSkeletonGraph& g, int node, int branch)
{
    std::vector<int>& at = g.Nodes[size_t(node)].Branches;
    at.erase(std::find(at.begin(), at.end(), branch));
}

// A node with two different branches: they become one.
void JoinThrough(TSkeletonGraph& g, int node)
{
    std::vector<int>& at = g.Nodes[size_t(node)].Branches;
    if (at.size() != 2 || at[0] == at[1])
        return;
    TSkeletonBranch& first = g.Branches[size_t(at[0])];
    TSkeletonBranch& second = g.Branches[size_t(at[1])];
    const int secondIndex = at[1];
    // first runs into the node, second out of it.
    if (first.A == node) {
        std::reverse(first.Points.begin(), first.Points.end());
        std::swap(first.A, first.B);
    }
    if (second.B == node) {
        std::reverse(second.Points.begin(), second.Points.end());
        std::swap(second.A, second.B);
    }
    first.Points.insert(first.Points.end(), second.Points.begin() + 1, second.Points.end());
    first.B = second.B;
    second.Alive = false;
    second.Points = {};
    at.clear();
    std::replace(g.Nodes[size_t(first.B)].Branches.begin(), g.Nodes[size_t(first.B)].Branches.end(), secondIndex,
                 int(&first - g.Branches.data()));
}

} // namespace

double InkRadius(const TMonoBitmap& b, int x, int y)
{
    if (!b.Ink(x, y))
        return 0;
    constexpr int Cap = 1 << 14;
    const int bit = x & 63;
    // The nearer end of the ink run through column x of a row: most runs of a stroke end in
    // the word that holds x, read once for both sides.
    auto nearerEnd = [&](int row) -> int64_t {
        const uint64_t w = b.Row(row)[x >> 6];
        const int right = bit < 63 ? std::countr_one(w >> (bit + 1)) : 0;
        const int left = bit > 0 ? std::countl_one(w << (64 - bit)) : 0;
        if (right < 63 - bit && left < bit)
            return 1 + std::min(right, left);
        return 1 + std::min(InkRun(b, x + 1, row, 1, Cap), InkRun(b, x - 1, row, -1, Cap));
    };
    int64_t best = int64_t(Cap) * Cap;
    for (int d = 0; int64_t(d) * d < best; ++d)
        for (const int row : {y - d, y + d}) {
            int64_t h = 0;
            if (row >= 0 && row < b.Height() && b.Ink(x, row))
                h = nearerEnd(row);
            best = std::min(best, int64_t(d) * d + h * h);
            if (d == 0)
                break;
        }
    return std::sqrt(double(best)) - 0.5;
}

namespace {

// The ink's words read directly, for rays that centre lines cast some million times a page.
// Shifted by Offset, every coordinate that can be inside the picture is positive, so
// truncation floors it; a negative one fails the bounds test as a large unsigned one.
class TInkProbe {
public:
    explicit TInkProbe(const TMonoBitmap& ink)
        : W(unsigned(ink.Width())), H(unsigned(ink.Height())), Words(size_t(ink.WordsPerRow())),
          Bits(ink.Height() > 0 ? ink.Row(0) : nullptr)
    {
    }
    struct TPixel {
        unsigned X, Y;
    };
    static TPixel At(double x, double y)
    {
        return {unsigned(int(x + Offset) - int(Offset)), unsigned(int(y + Offset) - int(Offset))};
    }
    bool Ink(TPixel q) const
    {
        return q.X < W && q.Y < H && ((Bits[q.Y * Words + (q.X >> 6)] >> (q.X & 63)) & 1u);
    }

    // InkReach from a point known to be on ink.
    double Reach(TVector2D p, TVector2D dir, double limit) const
    {
        const double x = p.X + Offset, y = p.Y + Offset;
        auto inkAt = [&](double t) {
            return Ink(
                {unsigned(int(x + t * dir.X) - int(Offset)), unsigned(int(y + t * dir.Y) - int(Offset))});
        };
        double t = 0;
        while (t < limit && inkAt(t + 1))
            t += 1;
        for (int k = 0; k < 3 && inkAt(t + 0.25); ++k)
            t += 0.25;
        return std::min(limit, t + 0.125);
    }

private:
    static constexpr double Offset = 1024;
    unsigned W, H;
    size_t Words;
    const uint64_t* Bits;
};

} // namespace

double InkReach(const TMonoBitmap& ink, TVector2D p, TVector2D dir, double limit)
{
    const TInkProbe probe(ink);
    return probe.Ink(TInkProbe::At(p.X, p.Y)) ? probe.Reach(p, dir, limit) : 0;
}

bool InkReachBothWays(const TMonoBitmap& ink, TVector2D p, TVector2D dir, double limit, double& along,
                      double& against)
{
    const TInkProbe probe(ink);
    if (!probe.Ink(TInkProbe::At(p.X, p.Y)))
        return false;
    along = probe.Reach(p, dir, limit);
    against = probe.Reach(p, {-dir.X, -dir.Y}, limit);
    return true;
}

TVector2D PointAlong(const std::vector<TVector2D>& p, double s)
{
    for (size_t i = 1; i < p.size(); ++i) {
        const double l = Distance(p[i - 1], p[i]);
        if (s <= l && l > 0)
            return {p[i - 1].X + (p[i].X - p[i - 1].X) * s / l, p[i - 1].Y + (p[i].Y - p[i - 1].Y) * s / l};
        s -= l;
    }
    return p.back();
}

double PolylineLength(const std::vector<TVector2D>& p)
{
    double s = 0;
    for (size_t i = 1; i < p.size(); ++i)
        s += Distance(p[i - 1], p[i]);
    return s;
}

TSkeletonGraph BuildSkeletonGraph(TMonoBitmap skel, const TMonoBitmap& ink, const std::function<void(int, int)>& onDot)
{
    TSkeletonGraph g;
    auto count = [&](int x, int y) { return NeighbourCount[skel.Neighbours(x, y)]; };
    auto key = [](int x, int y) { return (uint64_t(uint32_t(y)) << 32) | uint32_t(x); };

    // Nodes: stroke ends (one neighbour) and junction clusters (three or more, touching
    // junction pixels merged into one node at their middle). Their pixels are few, so they are
    // kept in a small hash table rather than a picture-sized one; nodePixels lists them row by
    // row once all are found.
    TNodePixels nodeOf;
    std::vector<uint64_t> nodePixels;
    std::vector<char> isEnd;  // per node
    std::vector<std::pair<int, int>> stack;
    skel.ForEachInk([&](int x, int y) {
        const int c = count(x, y);
        if (c == 0)
            onDot(x, y);
        if (c == 2 || c == 0 || nodeOf.Find(key(x, y)) >= 0)
            return;
        const int id = int(g.Nodes.size());
        TSkeletonNode& node = g.Nodes.emplace_back();
        isEnd.push_back(c == 1);
        nodeOf.Add(key(x, y), id);
        nodePixels.push_back(key(x, y));
        if (c == 1) {
            node.Pos = {x + 0.5, y + 0.5};
            node.Radius = InkRadius(ink, x, y);
            return;
        }
        stack.assign(1, {x, y});
        double sx = 0, sy = 0, radius = 0;
        int members = 0;
        while (!stack.empty()) {
            const auto [px, py] = stack.back();
            stack.pop_back();
            sx += px + 0.5;
            sy += py + 0.5;
            ++members;
            radius = std::max(radius, InkRadius(ink, px, py));
            for (int k = 0; k < 8; ++k) {
                const int qx = px + NX[k], qy = py + NY[k];
                if (skel.Ink(qx, qy) && nodeOf.Find(key(qx, qy)) < 0 && count(qx, qy) >= 3) {
                    nodeOf.Add(key(qx, qy), id);
                    nodePixels.push_back(key(qx, qy));
                    stack.push_back({qx, qy});
                }
            }
        }
        node.Pos = {sx / members, sy / members};
        node.Radius = radius;
    });
    std::sort(nodePixels.begin(), nodePixels.end());
    auto nodeAt = [&](int x, int y) { return nodeOf.Find(key(x, y)); };

    // Branches: walk from each node through two-neighbour pixels to the next node. The nodes'
    // pixels are taken out of the skeleton first, and walked pixels as they are walked, so
    // what is left of it is what no walk has met.
    for (const uint64_t np : nodePixels)
        skel.Set(int(uint32_t(np)), int(np >> 32), false);
    std::vector<TVector2D> points; // of the branch being walked, reused
    auto walk = [&](int x, int y, int px, int py, TSkeletonBranch& br) {
        // (px, py) is the pixel we came from; (x, y) the first pixel of the branch.
        points.assign(br.Points.begin(), br.Points.end());
        for (;;) {
            if (!skel.Ink(x, y)) { // a node
                br.B = nodeAt(x, y);
                points.push_back(g.Nodes[size_t(br.B)].Pos);
                break;
            }
            skel.Set(x, y, false);
            points.push_back({x + 0.5, y + 0.5});
            // Onwards to the first unvisited neighbour in the order of NX, NY that is no node,
            // else to the last node among them.
            unsigned next = skel.Neighbours(x, y);
            int k = -1;
            if (next) {
                k = std::countr_zero(next);
            } else {
                for (int j = 0; j < 8; ++j)
                    if (!(x + NX[j] == px && y + NY[j] == py) && nodeAt(x + NX[j], y + NY[j]) >= 0)
                        k = j;
            }
            if (k < 0)
                break;  // back at the start of a loop
            px = x;
            py = y;
            x += NX[k];
            y += NY[k];
        }
        br.Points.assign(points.begin(), points.end());
    };
    for (const uint64_t np : nodePixels) {
        const int x = int(uint32_t(np)), y = int(np >> 32), id = nodeAt(x, y);
        for (int k = 0; k < 8; ++k) {
            const int qx = x + NX[k], qy = y + NY[k];
            if (!skel.Ink(qx, qy)) {
                const int other = nodeAt(qx, qy);
                if (other < 0 || other == id || !isEnd[size_t(id)])
                    continue;  // no skeleton or walked, inside a junction, or a link recorded from the end
            }
            TSkeletonBranch br;
            br.A = id;
            br.Points.push_back(g.Nodes[size_t(id)].Pos);
            walk(qx, qy, x, y, br);
            if (br.B < 0)
                continue;
            const int index = int(g.Branches.size());
            g.Nodes[size_t(br.A)].Branches.push_back(index);
            g.Nodes[size_t(br.B)].Branches.push_back(index);
            g.Branches.push_back(std::move(br));
        }
    }
    // What is left are loops without any node.
    skel.ForEachInk([&](int x, int y) {
        if (!skel.Ink(x, y))
            return;  // walked since the row was read
        TSkeletonBranch br;
        walk(x, y, -1, -1, br);
        if (br.Points.size() >= 3)
            g.Branches.push_back(std::move(br));
    });
    return g;
}

namespace {

// Whether a closed polygon holds the centre of any background pixel.
bool EnclosesBackground(const std::vector<TVector2D>& p, const TMonoBitmap& ink)
{
    double x0 = 1e300, y0 = 1e300, x1 = -1e300, y1 = -1e300;
    for (const TVector2D& q : p) {
        x0 = std::min(x0, q.X);
        y0 = std::min(y0, q.Y);
        x1 = std::max(x1, q.X);
        y1 = std::max(y1, q.Y);
    }
    for (int y = int(std::floor(y0)); y <= int(std::ceil(y1)); ++y)
        for (int x = int(std::floor(x0)); x <= int(std::ceil(x1)); ++x) {
            if (ink.Ink(x, y))
                continue;
            const double cx = x + 0.5, cy = y + 0.5;
            bool inside = false;
            for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
                if ((p[i].Y > cy) != (p[j].Y > cy) &&
                    cx < p[j].X + (cy - p[j].Y) * (p[i].X - p[j].X) / (p[i].Y - p[j].Y))
                    inside = !inside;
            if (inside)
                return true;
        }
    return false;
}

} // namespace

void PruneSpurs(TSkeletonGraph& g, const TMonoBitmap& ink)
{
    // A branch from a junction back to itself around no hole in the ink is a knot that
    // thinning leaves at a flat stroke end or in a blot: it goes first. Knots are a few pixels
    // round; a longer loop holds a hole, and is not searched for one.
    for (int bi = 0; bi < int(g.Branches.size()); ++bi) {
        TSkeletonBranch& br = g.Branches[size_t(bi)];
        if (!br.Alive || br.A < 0 || br.A != br.B)
            continue;
        if (PolylineLength(br.Points) > 4 * (g.Nodes[size_t(br.A)].Radius + 1) ||
            EnclosesBackground(br.Points, ink))
            continue;
        br.Alive = false;
        Unlink(g, br.A, bi);
        Unlink(g, br.A, bi);
        br.Points = {};
        JoinThrough(g, br.A);
    }

    // Most of a branch's reach out of its stroke that still counts as a bump, in stroke
    // half-widths beyond the junction's.
    constexpr double BumpReach = 1.75;
    constexpr double PixelNoise = 1.5;  // the corner pixels of a thin stroke's end
    struct TSpur {
        int Branch, Junction;
        double Reach;
    };
    std::vector<TSpur> spurs;
    for (int round = 0; round < 4; ++round) {
        spurs.clear();
        for (int bi = 0; bi < int(g.Branches.size()); ++bi) {
            TSkeletonBranch& br = g.Branches[size_t(bi)];
            if (!br.Alive || br.A < 0 || br.A == br.B)
                continue;
            const int da = g.Degree(br.A), db = g.Degree(br.B);
            if ((da == 1) == (db == 1) || std::max(da, db) < 3)
                continue;
            const bool endAtB = db == 1;
            const int junction = endAtB ? br.A : br.B;
            const TSkeletonNode& end = g.Nodes[size_t(endAtB ? br.B : br.A)];
            // How far the ink goes from the junction along the branch: its length, and on
            // from its end in the direction the branch ends with.
            std::vector<TVector2D> fromEnd = br.Points;
            if (endAtB)
                std::reverse(fromEnd.begin(), fromEnd.end());
            const double len = PolylineLength(fromEnd);
            const TVector2D back = PointAlong(fromEnd, std::min(0.5 * len, std::max(2.0, 1.5 * end.Radius)));
            const double dl = Distance(back, end.Pos);
            double beyond = end.Radius;
            if (dl > 1e-9)
                beyond = InkReach(ink, end.Pos, {(end.Pos.X - back.X) / dl, (end.Pos.Y - back.Y) / dl},
                                  4 * g.Nodes[size_t(junction)].Radius + 8);
            const double reach = len + beyond;
            if (reach < BumpReach * g.Nodes[size_t(junction)].Radius + PixelNoise)
                spurs.push_back({bi, junction, reach});
        }
        if (spurs.empty())
            return;
        std::sort(spurs.begin(), spurs.end(), [](const TSpur& a, const TSpur& b) { return a.Reach < b.Reach; });
        // At each junction the spurs go shortest first, as long as a branch stays: of a
        // junction made of spurs only, the one reaching furthest is its stroke.
        bool removed = false;
        for (const TSpur& s : spurs) {
            TSkeletonBranch& br = g.Branches[size_t(s.Branch)];
            if (!br.Alive || g.Degree(s.Junction) < 2)
                continue;
            br.Alive = false;
            Unlink(g, br.A, s.Branch);
            Unlink(g, br.B, s.Branch);
            br.Points = {};
            removed = true;
        }
        for (int n = 0; n < int(g.Nodes.size()); ++n)
            JoinThrough(g, n);
        if (!removed)
            return;
    }
}

void MergeJunctions(TSkeletonGraph& g)
{
    for (int bi = 0; bi < int(g.Branches.size()); ++bi) {
        TSkeletonBranch& br = g.Branches[size_t(bi)];
        if (!br.Alive || br.A < 0 || br.A == br.B || g.Degree(br.A) < 3 || g.Degree(br.B) < 3)
            continue;
        TSkeletonNode& a = g.Nodes[size_t(br.A)];
        TSkeletonNode& b = g.Nodes[size_t(br.B)];
        const double len = PolylineLength(br.Points);
        if (len >= 1.5 * std::max(a.Radius, b.Radius) + 1)
            continue;
        const int keep = br.A, gone = br.B;
        br.Alive = false;
        br.Points = {};
        Unlink(g, keep, bi);
        Unlink(g, gone, bi);
        a.Spread = std::max({a.Spread, b.Spread, 0.5 * len});
        a.Pos = {0.5 * (a.Pos.X + b.Pos.X), 0.5 * (a.Pos.Y + b.Pos.Y)};
        a.Radius = std::max(a.Radius, b.Radius);
        for (const int other : b.Branches) {
            TSkeletonBranch& o = g.Branches[size_t(other)];
            if (o.A == gone)
                o.A = keep;
            if (o.B == gone)
                o.B = keep;
            a.Branches.push_back(other);
        }
        b.Branches.clear();
    }
    for (int n = 0; n < int(g.Nodes.size()); ++n)
        JoinThrough(g, n);
}

std::vector<TSkeletonChain> JoinChains(TSkeletonGraph& g)
{
    std::vector<TSkeletonChain> chains;
    std::vector<char> used(g.Branches.size(), 0);
    // From a node along a branch, on through nodes of two branches.
    auto follow = [&](int node, int bi, TSkeletonChain& chain) {
        chain.A = node;
        for (;;) {
            used[size_t(bi)] = 1;
            TSkeletonBranch& br = g.Branches[size_t(bi)];
            const bool forward = br.A == node;
            if (chain.Points.empty()) {
                chain.Points = std::move(br.Points);
                if (!forward)
                    std::reverse(chain.Points.begin(), chain.Points.end());
            } else if (forward) {
                chain.Points.insert(chain.Points.end(), br.Points.begin() + 1, br.Points.end());
            } else {
                chain.Points.insert(chain.Points.end(), br.Points.rbegin() + 1, br.Points.rend());
            }
            const int other = forward ? br.B : br.A;
            const std::vector<int>& at = g.Nodes[size_t(other)].Branches;
            const int next = at.size() == 2 ? (at[0] == bi ? at[1] : at[0]) : -1;
            if (next < 0 || used[size_t(next)]) {
                chain.B = other;
                if (next >= 0) {  // round to the start
                    chain.Closed = true;
                    chain.A = chain.B = -1;
                    chain.Points.pop_back();
                }
                return;
            }
            node = other;
            bi = next;
        }
    };
    for (int n = 0; n < int(g.Nodes.size()); ++n) {
        if (g.Degree(n) == 2 || g.Degree(n) == 0)
            continue;
        for (const int bi : g.Nodes[size_t(n)].Branches)
            if (!used[size_t(bi)]) {
                TSkeletonChain& c = chains.emplace_back();
                follow(n, bi, c);
            }
    }
    for (int bi = 0; bi < int(g.Branches.size()); ++bi) {
        TSkeletonBranch& br = g.Branches[size_t(bi)];
        if (!br.Alive || used[size_t(bi)])
            continue;
        TSkeletonChain& c = chains.emplace_back();
        if (br.A < 0) {
            used[size_t(bi)] = 1;
            c.Points = std::move(br.Points);
            c.Closed = true;
            continue;
        }
        follow(br.A, bi, c);
    }
    return chains;
}
