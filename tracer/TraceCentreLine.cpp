// Thinning is the two-subiteration parallel algorithm of Guo and Hall (1989), which unlike
// Zhang-Suen keeps two-pixel-thick diagonals and 2x2 blocks. Only pixels on the current border
// are examined, and a pixel leaves the work list once two passes left it alone, so the cost
// follows the ink that is removed rather than the picture size times the stroke width.
// Afterwards elbow pixels of staircases are dropped, so that every pixel of a branch has
// exactly two neighbours.
#include "TraceCentreLine.h"

#include "CADExceptions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <unordered_map>

namespace {

// Neighbours P2..P9: north, then clockwise on screen.
constexpr int NX[8] = {0, 1, 1, 1, 0, -1, -1, -1};
constexpr int NY[8] = {-1, -1, 0, 1, 1, 1, 0, -1};

// A pixel waiting to be examined, with two flags in the top bits of its column: a pass has
// already left it alone, and this pass removes it.
struct TCandidate {
    static constexpr uint32_t Seen = 0x80000000u, Removed = 0x40000000u;
    uint32_t XFlags;
    int32_t Y;
    int X() const { return int(XFlags & ~(Seen | Removed)); }
};

// Pixels x - 1, x, x + 1 of a row as bits 0, 1, 2 (none outside the picture).
unsigned RowTriple(const TMonoBitmap& b, int x, int y)
{
    if (y < 0 || y >= b.Height())
        return 0;
    const uint64_t* row = b.Row(y);
    const int bit = x & 63;
    if (bit >= 1 && bit <= 62)
        return unsigned(row[x >> 6] >> (bit - 1)) & 7u;
    return unsigned(b.Ink(x - 1, y)) | unsigned(b.Ink(x, y)) << 1 | unsigned(b.Ink(x + 1, y)) << 2;
}

// The 3x3 block around a pixel, 9 bits, row by row from the top-left.
unsigned Block(const TMonoBitmap& b, int x, int y)
{
    return RowTriple(b, x, y - 1) | RowTriple(b, x, y) << 3 | RowTriple(b, x, y + 1) << 6;
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

// The thinning decision for every 3x3 block whose centre is ink, per pass.
const std::array<std::array<char, 512>, 2>& DeletionTable()
{
    static const auto table = [] {
        std::array<std::array<char, 512>, 2> t{};
        for (int pass = 0; pass < 2; ++pass)
            for (unsigned block = 0; block < 512; ++block)
                t[pass][block] = (block & 16) && GuoHallDeletes(NeighboursOfBlock(block), pass);
        return t;
    }();
    return table;
}

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

// Moves the inner points of a branch across the stroke to the middle between its two edges,
// measured along the local normal in the original picture. Points near the ends are left
// alone: there the normal meets the junction or the stroke end, not the stroke's sides.
void CentreBranch(const TMonoBitmap& ink, std::vector<TVector2D>& p, int keepA, int keepB)
{
    const int n = int(p.size());
    std::vector<TVector2D> out = p;
    for (int i = keepA; i < n - keepB; ++i) {
        const TVector2D a = p[std::max(0, i - 2)], b = p[std::min(n - 1, i + 2)];
        double tx = b.X - a.X, ty = b.Y - a.Y;
        const double tl = std::hypot(tx, ty);
        if (tl < 1e-9)
            continue;
        const double nx = -ty / tl, ny = tx / tl;
        auto reach = [&](double sx) {
            double t = 0;
            while (t < 64 && ink.Ink(int(std::floor(p[i].X + sx * (t + 0.25) * nx)),
                                     int(std::floor(p[i].Y + sx * (t + 0.25) * ny))))
                t += 0.25;
            return t;
        };
        const double shift = std::clamp(0.5 * (reach(1) - reach(-1)), -1.0, 1.0);
        out[i] = {p[i].X + shift * nx, p[i].Y + shift * ny};
    }
    p.swap(out);
}

} // namespace

TMonoBitmap ThinToSkeleton(const TMonoBitmap& src, const std::function<void(double)>& progress)
{
    TMonoBitmap img = src;
    // One work list, compacted in place after every pass, keeps the memory to eight bytes per
    // border pixel.
    std::vector<TCandidate> work;
    ForEachInk(img, [&](int x, int y) {
        if (Block(img, x, y) != 511)
            work.push_back({uint32_t(x), y});
    });
    const auto& deletes = DeletionTable();
    const double total = double(std::max<size_t>(src.InkCount(), 1));
    double removed = 0;
    TMonoBitmap fresh(img.Width(), img.Height());  // neighbours of this pass's removals
    for (int pass = 0; !work.empty(); pass ^= 1) {
        size_t removedNow = 0;
        for (TCandidate& c : work)
            if (deletes[pass][Block(img, c.X(), c.Y)]) {
                c.XFlags |= TCandidate::Removed;
                ++removedNow;
            }
        for (const TCandidate& c : work)
            if (c.XFlags & TCandidate::Removed)
                img.Set(c.X(), c.Y, false);
        // Pixels next to a removal start afresh: appended once, their older entries dropped.
        const size_t old = work.size();
        for (size_t i = 0; i < old; ++i) {
            if (!(work[i].XFlags & TCandidate::Removed))
                continue;
            for (int k = 0; k < 8; ++k) {
                const int x = work[i].X() + NX[k], y = work[i].Y + NY[k];
                if (img.Ink(x, y) && !fresh.Ink(x, y)) {
                    fresh.Set(x, y, true);
                    work.push_back({uint32_t(x), y});
                }
            }
        }
        size_t kept = 0;
        for (size_t i = 0; i < work.size(); ++i) {
            TCandidate c = work[i];
            if (i >= old) {
                fresh.Set(c.X(), c.Y, false);
            } else if ((c.XFlags & (TCandidate::Removed | TCandidate::Seen)) || fresh.Ink(c.X(), c.Y)) {
                continue;
            } else {
                c.XFlags |= TCandidate::Seen;
            }
            work[kept++] = c;
        }
        work.resize(kept);
        removed += double(removedNow);
        if (progress)
            progress(0.8 * removed / total);
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
    auto count = [&](int x, int y) { return std::popcount(NeighbourBits(skel, x, y)); };
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

    for (TBranch& br : branches) {
        // Stroke ends are centred too; junction surroundings are not.
        const int keepA = br.A >= 0 && nodes[br.A].Degree > 1 ? nodes[br.A].Radius + 1 : 0;
        const int keepB = br.B >= 0 && nodes[br.B].Degree > 1 ? nodes[br.B].Radius + 1 : 0;
        CentreBranch(bitmap, br.Points, keepA, keepB);
    }

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
                onChain(chain, false);
            }
    }
    for (int bi = 0; bi < int(branches.size()); ++bi) {
        if (!branches[bi].Alive || used[bi])
            continue;
        chain.clear();
        if (branches[bi].A < 0) {
            used[bi] = 1;
            onChain(branches[bi].Points, true);
            continue;
        }
        int last = -1;
        const bool closed = follow(branches[bi].A, bi, chain, last);
        if (closed && chain.size() > 1)
            chain.pop_back();  // the start point again
        onChain(chain, closed);
    }
}
