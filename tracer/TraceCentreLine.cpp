// Thinning is the two-subiteration parallel algorithm of Guo and Hall (1989), which unlike
// Zhang-Suen keeps two-pixel-thick diagonals and 2x2 blocks. It runs on 64 pixels at a time in
// bitwise logic, only on the words of the bitmap near the current border: a word leaves the
// work list once two passes changed nothing around it, so the cost follows the ink that is
// removed rather than the picture size times the stroke width.
// Afterwards elbow pixels of staircases are dropped, so that every pixel of a branch has
// exactly two neighbours.
#include "TraceCentreLine.h"

#include "CADExceptions.h"
#include "TraceFit.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <unordered_map>

namespace {

// Neighbours P2..P9: north, then clockwise on screen.
constexpr int NX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int NY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// A word of the bitmap waiting to be examined, with a flag in the top bit of its word index:
// a pass has already left it alone.
struct TWordRef {
    static constexpr uint32_t Seen = 0x80000000u;
    uint32_t WordSeen;
    int32_t Y;
    int Word() const { return int(WordSeen & ~Seen); }
};

// The 3x3 block around a pixel, 9 bits, row by row from the top-left (nothing outside the
// picture).
unsigned Block(const TMonoBitmap& b, int x, int y)
{
    const int bit = x & 63;
    if (bit >= 1 && bit <= 62 && y >= 1 && y + 1 < b.Height()) {
        const uint64_t* mid = b.Row(y) + (x >> 6);
        const int words = b.WordsPerRow(), shift = bit - 1;
        return (unsigned(mid[-words] >> shift) & 7u) | (unsigned(mid[0] >> shift) & 7u) << 3 |
               (unsigned(mid[words] >> shift) & 7u) << 6;
    }
    unsigned m = 0;
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            if (b.Ink(x + dx, y + dy))
                m |= 1u << ((dy + 1) * 3 + dx + 1);
    return m;
}

// The eight neighbours P2..P9 (north, then clockwise on screen) of a 3x3 block.
unsigned NeighboursOfBlock(unsigned block)
{
    constexpr int BitOf[8] = {1, 2, 5, 8, 7, 6, 3, 0};  // N, NE, E, SE, S, SW, W, NW
    unsigned m = 0;
    for (int k = 0; k < 8; ++k)
        if (block & (1u << BitOf[k]))
            m |= 1u << k;
    return m;
}

unsigned NeighbourBits(const TMonoBitmap& b, int x, int y) { return NeighboursOfBlock(Block(b, x, y)); }

// Number of ink neighbours of a pixel.
int NeighbourCount(const TMonoBitmap& b, int x, int y)
{
    static const auto counts = [] {
        std::array<uint8_t, 512> c{};
        for (unsigned block = 0; block < 512; ++block)
            for (int k = 0; k < 9; ++k)
                c[block] += k != 4 && (block >> k & 1u);
        return c;
    }();
    return counts[Block(b, x, y)];
}

bool GuoHallDeletes(unsigned m, int pass)
{
    const bool p2 = m & 1, p3 = m & 2, p4 = m & 4, p5 = m & 8, p6 = m & 16, p7 = m & 32, p8 = m & 64, p9 = m & 128;
    const int c = (!p2 && (p3 || p4)) + (!p4 && (p5 || p6)) + (!p6 && (p7 || p8)) + (!p8 && (p9 || p2));
    if (c != 1)
        return false;
    const int n1 = (p9 || p2) + (p3 || p4) + (p5 || p6) + (p7 || p8);
    const int n2 = (p2 || p3) + (p4 || p5) + (p6 || p7) + (p8 || p9);
    const int n = std::min(n1, n2);
    if (n < 2 || n > 3)
        return false;
    const bool keep = pass == 0 ? ((p2 || p3 || !p5) && p4) : ((p6 || p7 || !p9) && p8);
    return !keep;
}

// The thinning decision for 64 pixels at once: the same conditions as GuoHallDeletes, in
// bitwise logic on the words of the three rows around them.
uint64_t DeletableInWord(const TMonoBitmap& b, int w, int y, int pass)
{
    const int words = b.WordsPerRow();
    uint64_t c[3], l[3], r[3];
    for (int k = 0; k < 3; ++k) {
        const int yy = y + k - 1;
        if (yy < 0 || yy >= b.Height()) {
            c[k] = l[k] = r[k] = 0;
            continue;
        }
        const uint64_t* row = b.Row(yy);
        c[k] = row[w];
        l[k] = w > 0 ? row[w - 1] : 0;
        r[k] = w + 1 < words ? row[w + 1] : 0;
    }
    const uint64_t p = c[1];
    // Each neighbour shifted onto the pixel it belongs to: x - 1 comes up by one bit.
    const uint64_t p2 = c[0], p6 = c[2];
    const uint64_t p9 = (c[0] << 1) | (l[0] >> 63), p3 = (c[0] >> 1) | (r[0] << 63);
    const uint64_t p8 = (c[1] << 1) | (l[1] >> 63), p4 = (c[1] >> 1) | (r[1] << 63);
    const uint64_t p7 = (c[2] << 1) | (l[2] >> 63), p5 = (c[2] >> 1) | (r[2] << 63);
    auto twoOrMore = [](uint64_t a, uint64_t b2, uint64_t c2, uint64_t d) {
        return (a & b2) | (a & c2) | (a & d) | (b2 & c2) | (b2 & d) | (c2 & d);
    };
    const uint64_t t1 = ~p2 & (p3 | p4), t2 = ~p4 & (p5 | p6), t3 = ~p6 & (p7 | p8), t4 = ~p8 & (p9 | p2);
    const uint64_t connectsOnce = (t1 | t2 | t3 | t4) & ~twoOrMore(t1, t2, t3, t4);
    const uint64_t a1 = p9 | p2, a2 = p3 | p4, a3 = p5 | p6, a4 = p7 | p8;
    const uint64_t b1 = p2 | p3, b2 = p4 | p5, b3 = p6 | p7, b4 = p8 | p9;
    const uint64_t notFourA = ~(a1 & a2 & a3 & a4), notFourB = ~(b1 & b2 & b3 & b4);
    const uint64_t fewNeighbours = twoOrMore(a1, a2, a3, a4) & twoOrMore(b1, b2, b3, b4) & (notFourA | notFourB);
    const uint64_t keep = pass == 0 ? ((p2 | p3 | ~p5) & p4) : ((p6 | p7 | ~p9) & p8);
    return p & connectsOnce & fewNeighbours & ~keep;
}

} // namespace

bool ThinningRemoves(unsigned block, int pass)
{
    return (block & 16) && GuoHallDeletes(NeighboursOfBlock(block), pass);
}

bool ThinningRemovesAt(const TMonoBitmap& b, int x, int y, int pass)
{
    return (DeletableInWord(b, x >> 6, y, pass) >> (x & 63)) & 1u;
}

namespace {

template <class F>
void ForEachInk(const TMonoBitmap& b, F f)
{
    for (int y = 0; y < b.Height(); ++y) {
        const uint64_t* row = b.Row(y);
        for (int w = 0; w < b.WordsPerRow(); ++w)
            for (uint64_t bits = row[w]; bits; bits &= bits - 1)
                f(w * 64 + std::countr_zero(bits), y);
    }
}

// Chessboard distance from (x, y) to the nearest background pixel of the picture.
int InkRadius(const TMonoBitmap& b, int x, int y)
{
    for (int r = 1; r < 256; ++r)
        for (int k = -r; k <= r; ++k)
            if (!b.Ink(x + k, y - r) || !b.Ink(x + k, y + r) || !b.Ink(x - r, y + k) || !b.Ink(x + r, y + k))
                return r;
    return 256;
}

struct TNode {
    TVector2D Pos;
    int Degree = 0;
    int Radius = 1;
};

struct TBranch {
    int A = -1, B = -1;  // node indices, -1 for a closed loop
    std::vector<TVector2D> Points;  // from node A to node B, both ends included
    bool Alive = true;
};

double ChainLength(const std::vector<TVector2D>& p)
{
    double s = 0;
    for (size_t i = 1; i < p.size(); ++i)
        s += std::hypot(p[i].X - p[i - 1].X, p[i].Y - p[i - 1].Y);
    return s;
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
                return ink.Ink(int(std::floor(ox + sx * t * nx)), int(std::floor(oy + sx * t * ny)));
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

TMonoBitmap ThinToSkeleton(const TMonoBitmap& src, const std::function<void(double)>& progress)
{
    TMonoBitmap img = src;
    const int words = img.WordsPerRow(), h = img.Height();
    // Words to examine, compacted in place after every pass; a word leaves the list when two
    // passes in a row changed nothing around it.
    std::vector<TWordRef> work;
    std::vector<uint64_t> dels;
    for (int y = 0; y < h; ++y)
        for (int w = 0; w < words; ++w)
            if (img.Row(y)[w])
                work.push_back({uint32_t(w), y});
    const double total = double(std::max<size_t>(work.size(), 1));
    double changed = 0;  // words changed so far, for progress only
    TMonoBitmap fresh(words, h);  // one bit per word: listed again after a change nearby
    for (int pass = 0; !work.empty(); pass ^= 1) {
        dels.resize(work.size());
        for (size_t i = 0; i < work.size(); ++i)
            dels[i] = DeletableInWord(img, work[i].Word(), work[i].Y, pass);
        const size_t old = work.size();
        for (size_t i = 0; i < old; ++i) {
            if (!dels[i])
                continue;
            const int w = work[i].Word(), y = work[i].Y;
            img.Row(y)[w] &= ~dels[i];
            changed += 1;
            // The words beside it only see a change at their own edge.
            const int w0 = (dels[i] & 1u) ? std::max(0, w - 1) : w;
            const int w1 = (dels[i] >> 63) ? std::min(words - 1, w + 1) : w;
            for (int yy = std::max(0, y - 1); yy <= std::min(h - 1, y + 1); ++yy)
                for (int ww = w0; ww <= w1; ++ww)
                    if (img.Row(yy)[ww] && !fresh.Ink(ww, yy)) {
                        fresh.Set(ww, yy, true);
                        work.push_back({uint32_t(ww), yy});
                    }
        }
        size_t kept = 0;
        for (size_t i = 0; i < work.size(); ++i) {
            TWordRef r = work[i];
            if (i >= old) {
                fresh.Set(r.Word(), r.Y, false);
            } else if (dels[i] || (r.WordSeen & TWordRef::Seen) || fresh.Ink(r.Word(), r.Y)) {
                continue;  // a changed word has a fresh entry already
            } else {
                r.WordSeen |= TWordRef::Seen;
            }
            work[kept++] = r;
        }
        work.resize(kept);
        if (progress)
            progress(0.8 * std::min(1.0, changed / (4 * total)));
    }
    // Elbows: a pixel joining two 4-neighbours that touch each other diagonally, with nothing
    // on its other side, carries no connection of its own.
    ForEachInk(TMonoBitmap(img), [&](int x, int y) {
        const unsigned m = NeighbourBits(img, x, y);
        for (int k = 0; k < 8; k += 2) {
            const unsigned a = 1u << k, diag = 1u << ((k + 1) & 7), b = 1u << ((k + 2) & 7);
            const unsigned opp = (1u << ((k + 4) & 7)) | (1u << ((k + 5) & 7)) | (1u << ((k + 6) & 7));
            if ((m & a) && (m & b) && !(m & diag) && !(m & opp)) {
                img.Set(x, y, false);
                break;
            }
        }
    });
    return img;
}

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
    ForEachInk(skel, [&](int x, int y) {
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
    auto walk = [&](int x, int y, int px, int py, TBranch& br) {
        // (px, py) is the pixel we came from; (x, y) the first pixel of the branch.
        for (;;) {
            if (const int node = nodeAt(x, y); node >= 0) {
                br.B = node;
                br.Points.push_back(nodes[br.B].Pos);
                return;
            }
            visited.Set(x, y, true);
            br.Points.push_back({x + 0.5, y + 0.5});
            int nx = -1, ny = -1;
            for (int k = 0; k < 8; ++k) {
                const int qx = x + NX[k], qy = y + NY[k];
                if (skel.Ink(qx, qy) && !(qx == px && qy == py) && !visited.Ink(qx, qy)) {
                    nx = qx;
                    ny = qy;
                    if (!isNode.Ink(qx, qy))
                        break;
                }
            }
            if (nx < 0)
                return;  // back at the start of a loop
            px = x;
            py = y;
            x = nx;
            y = ny;
        }
    };
    ForEachInk(skel, [&](int x, int y) {
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
            br.Points.push_back(nodes[id].Pos);
            walk(qx, qy, x, y, br);
            if (br.B < 0)
                continue;
            ++nodes[br.A].Degree;
            ++nodes[br.B].Degree;
            branches.push_back(std::move(br));
        }
    });
    // What is left are loops without any node.
    ForEachInk(skel, [&](int x, int y) {
        if (visited.Ink(x, y) || isNode.Ink(x, y))
            return;
        TBranch br;
        walk(x, y, -1, -1, br);
        if (br.Points.size() >= 3)
            branches.push_back(std::move(br));
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
        len[i] = ChainLength(branches[i].Points);
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
            TBranch& br = branches[bi];
            const bool forward = br.A == node;
            const int other = forward ? br.B : br.A;
            last = other;
            if (forward)
                chain.insert(chain.end(), br.Points.begin() + (chain.empty() ? 0 : 1), br.Points.end());
            else
                chain.insert(chain.end(), br.Points.rbegin() + (chain.empty() ? 0 : 1), br.Points.rend());
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
            emit(branches[bi].Points, true, -1, -1);
            continue;
        }
        int last = -1;
        const bool closed = follow(branches[bi].A, bi, chain, last);
        if (closed && chain.size() > 1)
            chain.pop_back();  // the start point again
        emit(chain, closed, branches[bi].A, last);
    }
}
