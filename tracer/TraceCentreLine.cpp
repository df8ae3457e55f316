// Branches of the skeleton: nodes at stroke ends and junctions, walks between them, spur
// pruning, and points moved to the middle of their stroke.
#include "TraceCentreLine.h"

#include "TraceFit.h"
#include "TraceThinning.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <span>
#include <unordered_map>

namespace {

// Neighbours P2..P9: north, then clockwise on screen.
constexpr int NX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int NY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};
// The index into NX, NY of each step (dx, dy), at 3 (dy + 1) + dx + 1; the middle is no step.
constexpr int DirectionTo[9] = {7, 0, 1, 6, 0, 2, 5, 4, 3};

// Number of ink neighbours of a pixel.
int NeighbourCount(const TMonoBitmap& b, int x, int y)
{
    return std::popcount(b.Neighbours(x, y));
}

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

// Chessboard distance from (x, y) to the nearest background pixel of the picture, other than
// (x, y) itself; 256 at most. Found row by row from the middle outwards, each row by the runs
// of ink to either side, so a wide shape costs its height rather than its area.
int InkRadius(const TMonoBitmap& b, int x, int y)
{
    constexpr int Cap = 256;
    int best = Cap;
    for (int d = 0; d < best; ++d)
        for (const int row : {y - d, y + d}) {
            const int across = d > 0 && !b.Ink(x, row)
                                   ? 0
                                   : 1 + std::min(InkRun(b, x + 1, row, 1, Cap), InkRun(b, x - 1, row, -1, Cap));
            best = std::min(best, std::max(d, across));
        }
    return best;
}

struct TNode {
    TVector2D Pos;
    int Degree = 0;
    int Radius = 1;
};

struct TBranch {
    int A = -1, B = -1;  // node indices, -1 for a closed loop
    size_t First = 0, Last = 0;  // its points in the pool, from node A to node B, both ends included
    bool Alive = true;
};

double ChainLength(std::span<const TVector2D> p)
{
    double s = 0;
    for (size_t i = 1; i < p.size(); ++i)
        s += std::hypot(p[i].X - p[i - 1].X, p[i].Y - p[i - 1].Y);
    return s;
}

// std::floor for coordinates near the picture, without the round trip through a double.
int FloorToInt(double v)
{
    const int i = int(v);
    return v < i ? i - 1 : i;
}

// Moves points across the stroke to the middle between its two edges, measured along the
// local normal in the original picture. Points near a junction are left alone: there the
// normal meets the other strokes, not this stroke's sides.
void CentrePoints(const TMonoBitmap& ink, std::vector<TVector2D>& p, bool closed,
                  const std::vector<std::pair<TVector2D, double>>& keepOut)
{
    const int n = int(p.size());
    std::vector<TVector2D> out = p;
    for (int i = 0; i < n; ++i) {
        bool near = false;
        for (const auto& [centre, radius] : keepOut)
            near = near || std::hypot(p[i].X - centre.X, p[i].Y - centre.Y) < radius;
        if (near)
            continue;
        const TVector2D a = closed ? p[(i + n - 1) % n] : p[std::max(0, i - 1)];
        const TVector2D b = closed ? p[(i + 1) % n] : p[std::min(n - 1, i + 1)];
        double tx = b.X - a.X, ty = b.Y - a.Y;
        const double tl = std::hypot(tx, ty);
        if (tl < 1e-9)
            continue;
        const double nx = -ty / tl, ny = tx / tl, ux = tx / tl, uy = ty / tl;
        // Whole pixels first, then quarters; averaged over five places along the stroke, as
        // one measurement is quantised to a quarter pixel and follows the staircase.
        double sum = 0;
        int count = 0;
        for (int along = -2; along <= 2; ++along) {
            const double ox = p[i].X + along * ux, oy = p[i].Y + along * uy;
            auto inkAt = [&](double sx, double t) {
                return ink.Ink(FloorToInt(ox + sx * t * nx), FloorToInt(oy + sx * t * ny));
            };
            if (!inkAt(1, 0))
                continue;
            auto reach = [&](double sx) {
                double t = 0;
                while (t < 64 && inkAt(sx, t + 1))
                    t += 1;
                for (int k = 0; k < 3 && inkAt(sx, t + 0.25); ++k)
                    t += 0.25;
                return t;
            };
            sum += 0.5 * (reach(1) - reach(-1));
            ++count;
        }
        if (count == 0)
            continue;
        const double shift = std::clamp(sum / count, -1.0, 1.0);
        out[i] = {p[i].X + shift * nx, p[i].Y + shift * ny};
    }
    p.swap(out);
}

} // namespace

void TraceCentreLines(const TMonoBitmap& bitmap,
                      const std::function<void(const std::vector<TVector2D>&, bool)>& onChain,
                      const std::function<void(int, int)>& onBlob,
                      const std::function<void(double)>& progress)
{
    const TMonoBitmap skel = ThinToSkeleton(bitmap, progress);
    auto count = [&](int x, int y) { return NeighbourCount(skel, x, y); };
    auto key = [](int x, int y) { return (uint64_t(uint32_t(y)) << 32) | uint32_t(x); };

    // Nodes: stroke ends (one neighbour) and junction clusters (three or more, touching
    // junction pixels merged into one node at their centre).
    std::vector<TNode> nodes;
    std::unordered_map<uint64_t, int> nodeOf;
    TMonoBitmap isNode(skel.Width(), skel.Height());  // a quick test before the map
    auto nodeAt = [&](int x, int y) {
        if (!isNode.Ink(x, y))
            return -1;
        return nodeOf.find(key(x, y))->second;
    };
    auto setNode = [&](int x, int y, int id) {
        nodeOf[key(x, y)] = id;
        isNode.Set(x, y, true);
    };
    skel.ForEachInk([&](int x, int y) {
        const int c = count(x, y);
        if (c == 0)
            onBlob(x, y);  // thinned down to a dot
        if (c == 2 || c == 0 || isNode.Ink(x, y))
            return;
        const int id = int(nodes.size());
        nodes.emplace_back();
        if (c == 1) {
            setNode(x, y, id);
            nodes[id].Pos = {x + 0.5, y + 0.5};
            return;
        }
        std::vector<std::pair<int, int>> stack{{x, y}};
        setNode(x, y, id);
        double sx = 0, sy = 0;
        int members = 0, radius = 1;
        while (!stack.empty()) {
            auto [px, py] = stack.back();
            stack.pop_back();
            sx += px + 0.5;
            sy += py + 0.5;
            ++members;
            radius = std::max(radius, InkRadius(bitmap, px, py));
            for (int k = 0; k < 8; ++k) {
                const int qx = px + NX[k], qy = py + NY[k];
                if (skel.Ink(qx, qy) && !isNode.Ink(qx, qy) && count(qx, qy) >= 3) {
                    setNode(qx, qy, id);
                    stack.push_back({qx, qy});
                }
            }
        }
        nodes[id].Pos = {sx / members, sy / members};
        nodes[id].Radius = radius;
    });

    // Branches: walk from each node through two-neighbour pixels to the next node.
    TMonoBitmap visited(skel.Width(), skel.Height());
    std::vector<TBranch> branches;
    // The points of all branches one after the other: one allocation rather than one per branch.
    std::vector<TVector2D> pool;
    pool.reserve(skel.InkCount() + 2 * nodes.size());
    auto pointsOf = [&](const TBranch& br) {
        return std::span<const TVector2D>(pool).subspan(br.First, br.Last - br.First);
    };
    auto walk = [&](int x, int y, int px, int py, TBranch& br) {
        // (px, py) is the pixel we came from; (x, y) the first pixel of the branch.
        for (;;) {
            if (const int node = nodeAt(x, y); node >= 0) {
                br.B = node;
                pool.push_back(nodes[br.B].Pos);
                return;
            }
            visited.Set(x, y, true);
            pool.push_back({x + 0.5, y + 0.5});
            // Onwards to the first unvisited neighbour in the order of NX, NY that is no node,
            // else to the last node among them.
            unsigned next = skel.Neighbours(x, y) & ~visited.Neighbours(x, y);
            if (std::abs(px - x) <= 1 && std::abs(py - y) <= 1)
                next &= ~(1u << DirectionTo[(py - y + 1) * 3 + px - x + 1]);
            if (!next)
                return;  // back at the start of a loop
            const unsigned plain = next & ~isNode.Neighbours(x, y);
            const int k = plain ? std::countr_zero(plain) : 31 - std::countl_zero(next);
            px = x;
            py = y;
            x += NX[k];
            y += NY[k];
        }
    };
    skel.ForEachInk([&](int x, int y) {
        const int id = nodeAt(x, y);
        if (id < 0)
            return;
        for (int k = 0; k < 8; ++k) {
            const int qx = x + NX[k], qy = y + NY[k];
            if (!skel.Ink(qx, qy) || visited.Ink(qx, qy))
                continue;
            const int other = nodeAt(qx, qy);
            if (other >= 0 && (other == id || count(x, y) != 1))
                continue;  // inside a junction, or a direct link recorded from the stroke end
            TBranch br;
            br.A = id;
            br.First = pool.size();
            pool.push_back(nodes[id].Pos);
            walk(qx, qy, x, y, br);
            if (br.B < 0) {
                pool.resize(br.First);
                continue;
            }
            br.Last = pool.size();
            ++nodes[br.A].Degree;
            ++nodes[br.B].Degree;
            branches.push_back(br);
        }
    });
    // What is left are loops without any node.
    skel.ForEachInk([&](int x, int y) {
        if (visited.Ink(x, y) || isNode.Ink(x, y))
            return;
        TBranch br;
        br.First = pool.size();
        walk(x, y, -1, -1, br);
        br.Last = pool.size();
        if (br.Last - br.First >= 3)
            branches.push_back(br);
        else
            pool.resize(br.First);
    });
    if (progress)
        progress(0.9);

    // Spurs: short branches from a stroke end to a junction, shortest first, while the
    // junction keeps three branches.
    std::vector<int> order;
    for (int i = 0; i < int(branches.size()); ++i)
        if (branches[i].A >= 0 && (nodes[branches[i].A].Degree == 1) != (nodes[branches[i].B].Degree == 1))
            order.push_back(i);
    std::vector<double> len(branches.size());
    for (int i : order)
        len[i] = ChainLength(pointsOf(branches[i]));
    std::sort(order.begin(), order.end(), [&](int a, int b) { return len[a] < len[b]; });
    for (int i : order) {
        TBranch& br = branches[i];
        TNode& j = nodes[br.A].Degree == 1 ? nodes[br.B] : nodes[br.A];
        if (j.Degree >= 3 && len[i] < 1.5 * j.Radius + 2) {
            br.Alive = false;
            --j.Degree;
        }
    }

    // Join branches through nodes left with two branches, then hand the chains over.
    std::vector<std::vector<int>> at(nodes.size());
    for (int i = 0; i < int(branches.size()); ++i)
        if (branches[i].Alive && branches[i].A >= 0) {
            at[branches[i].A].push_back(i);
            at[branches[i].B].push_back(i);
        }
    std::vector<char> used(branches.size(), 0);
    // Follows branches from node through nodes with two branches; answers whether it came
    // round to its start, and the node where it ended.
    auto follow = [&](int node, int bi, std::vector<TVector2D>& chain, int& last) {
        for (;;) {
            used[bi] = 1;
            const std::span<const TVector2D> points = pointsOf(branches[bi]);
            TBranch& br = branches[bi];
            const bool forward = br.A == node;
            const int other = forward ? br.B : br.A;
            last = other;
            if (forward)
                chain.insert(chain.end(), points.begin() + (chain.empty() ? 0 : 1), points.end());
            else
                chain.insert(chain.end(), points.rbegin() + (chain.empty() ? 0 : 1), points.rend());
            if (at[other].size() != 2)
                return false;
            const int nb = at[other][0] == bi ? at[other][1] : at[other][0];
            if (used[nb])
                return true;
            node = other;
            bi = nb;
        }
    };
    // Each chain becomes straight pieces through the skeleton's pixel centres first (a
    // straight stroke is a staircase within half a pixel of its line), then the piece ends
    // move to the middle of the stroke; junction points stay shared.
    std::vector<TVector2D> simple;
    std::vector<char> ends;
    std::vector<std::pair<TVector2D, double>> keepOut;
    auto emit = [&](const std::vector<TVector2D>& c, bool closed, int a, int b) {
        constexpr double SkeletonStraightness = 0.5;
        ends.assign(c.size(), 0);
        if (!closed && !ends.empty())
            ends.front() = ends.back() = 1;
        simple = FitWithin(c, ends, closed, SkeletonStraightness);
        keepOut.clear();
        for (int node : {a, b})
            if (node >= 0 && at[node].size() >= 3)
                keepOut.push_back({nodes[node].Pos, nodes[node].Radius + 1.0});
        CentrePoints(bitmap, simple, closed, keepOut);
        // Measuring the middle is quantised: pieces that now line up again are merged.
        ends.assign(simple.size(), 0);
        if (!closed && !ends.empty())
            ends.front() = ends.back() = 1;
        onChain(FitWithin(simple, ends, closed, SkeletonStraightness), closed);
    };
    std::vector<TVector2D> chain;
    for (int n = 0; n < int(nodes.size()); ++n) {
        if (at[n].size() == 2)
            continue;
        for (int bi : at[n])
            if (!used[bi]) {
                chain.clear();
                int last = -1;
                follow(n, bi, chain, last);
                if (at[n].size() == 1 && at[last].size() == 1) {
                    // A lone stroke: when it is shorter than the shape is wide, it is a blob.
                    const TVector2D mid = chain[chain.size() / 2];
                    const int r = InkRadius(bitmap, int(mid.X), int(mid.Y));
                    if (ChainLength(chain) < 2.0 * r) {
                        onBlob(int(mid.X), int(mid.Y));
                        continue;
                    }
                }
                emit(chain, false, n, last);
            }
    }
    for (int bi = 0; bi < int(branches.size()); ++bi) {
        if (!branches[bi].Alive || used[bi])
            continue;
        chain.clear();
        if (branches[bi].A < 0) {
            used[bi] = 1;
            const std::span<const TVector2D> loop = pointsOf(branches[bi]);
            emit(std::vector<TVector2D>(loop.begin(), loop.end()), true, -1, -1);
            continue;
        }
        int last = -1;
        const bool closed = follow(branches[bi].A, bi, chain, last);
        if (closed && chain.size() > 1)
            chain.pop_back();  // the start point again
        emit(chain, closed, branches[bi].A, last);
    }
}
