// Thinning is the two-subiteration parallel algorithm of Guo and Hall (1989), which unlike
// Zhang-Suen keeps two-pixel-thick diagonals and 2x2 blocks. It runs on tiles of 8x8 pixels
// held in one word each, 64 pixels at a time in bitwise logic, and only on the tiles near the
// current border: after a change around it a tile is examined by both kinds of pass, then left
// alone until the next change.
// Square tiles matter for thick ink: a border of any direction crosses a tile within about
// eight passes, where in a row of 64 pixels a steep border stayed for 64 passes while one
// pixel went per pass. The result is the same as running the rule on every pixel.
// Afterwards elbow pixels of staircases are dropped, so that every pixel of a branch has
// exactly two neighbours.
#include "TraceThinning.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <vector>

namespace {

constexpr uint64_t Column0 = 0x0101010101010101u, Column7 = 0x8080808080808080u;
constexpr uint64_t Row0 = 0xFFu, Row7 = Row0 << 56;

// Pixels (8 tx + c, 8 ty + r) of a picture as one tile: bit 8 r + c. Nothing outside the picture.
uint64_t GatherTile(const TMonoBitmap& b, int tx, int ty)
{
    if (tx < 0 || ty < 0 || tx >= b.WordsPerRow() * 8)
        return 0;
    const int word = tx >> 3, shift = (tx & 7) * 8;
    uint64_t t = 0;
    for (int r = 0; r < 8 && 8 * ty + r < b.Height(); ++r)
        t |= ((b.Row(8 * ty + r)[word] >> shift) & 0xFFu) << (8 * r);
    return t;
}

// Eight words as an 8x8 matrix of bytes, word r holding row r with column k in byte k,
// transposed in place: byte k of the eight row words of a band of eight picture rows is one
// row of tile k, and back.
void TransposeBytes(uint64_t (&a)[8])
{
    for (int i = 0; i < 4; ++i) {
        const uint64_t t = ((a[i] >> 32) ^ a[i + 4]) & 0x00000000FFFFFFFFu;
        a[i] ^= t << 32;
        a[i + 4] ^= t;
    }
    for (int i : {0, 1, 4, 5}) {
        const uint64_t t = ((a[i] >> 16) ^ a[i + 2]) & 0x0000FFFF0000FFFFu;
        a[i] ^= t << 16;
        a[i + 2] ^= t;
    }
    for (int i : {0, 2, 4, 6}) {
        const uint64_t t = ((a[i] >> 8) ^ a[i + 1]) & 0x00FF00FF00FF00FFu;
        a[i] ^= t << 8;
        a[i + 1] ^= t;
    }
}

// The picture as tiles, with a frame of empty tiles around it so that every tile of the
// picture reads its eight neighbours without bounds checks.
class TTiles {
public:
    explicit TTiles(const TMonoBitmap& b)
        : W(b.Width()), H(b.Height()), TilesX(b.WordsPerRow() * 8), TilesY((b.Height() + 7) / 8),
          Tiles(size_t(TilesX + 2) * size_t(TilesY + 2), 0)
    {
        uint64_t a[8];
        for (int ty = 0; ty < TilesY; ++ty)
            for (int word = 0; word < TilesX / 8; ++word) {
                for (int r = 0; r < 8; ++r)
                    a[r] = 8 * ty + r < H ? b.Row(8 * ty + r)[word] : 0;
                TransposeBytes(a);
                std::copy_n(a, 8, Tiles.begin() + ptrdiff_t(Index(8 * word, ty)));
            }
    }

    int Stride() const { return TilesX + 2; }
    size_t Index(int tx, int ty) const { return size_t(ty + 1) * size_t(Stride()) + size_t(tx + 1); }
    std::vector<uint64_t>& Words() { return Tiles; }

    // The tiles as a picture, rearranged within their own memory: the rows of tile row ty go
    // where that row's tiles start no earlier than the frame and the rows before it, so each
    // tile row is read before its place is written.
    TMonoBitmap ToBitmap() &&
    {
        const size_t words = size_t(TilesX) / 8;
        std::vector<uint64_t> band(static_cast<size_t>(TilesX));
        uint64_t a[8];
        for (int ty = 0; ty < TilesY; ++ty) {
            std::copy_n(Tiles.begin() + ptrdiff_t(Index(0, ty)), TilesX, band.begin());
            for (size_t word = 0; word < words; ++word) {
                std::copy_n(band.begin() + ptrdiff_t(8 * word), 8, a);
                TransposeBytes(a);
                for (int r = 0; r < 8 && 8 * ty + r < H; ++r)
                    Tiles[size_t(8 * ty + r) * words + word] = a[r];
            }
        }
        return TMonoBitmap(W, H, std::move(Tiles));
    }

private:
    int W, H, TilesX, TilesY;
    std::vector<uint64_t> Tiles;
};

// The Guo-Hall deletion rule for 64 pixels at once, given the words of their neighbours
// P2..P9 (north, then clockwise on screen) shifted onto them.
uint64_t GuoHallDeletable(uint64_t p, uint64_t p2, uint64_t p3, uint64_t p4, uint64_t p5, uint64_t p6, uint64_t p7,
                          uint64_t p8, uint64_t p9, int pass)
{
    auto twoOrMore = [](uint64_t a, uint64_t b, uint64_t c, uint64_t d) {
        return (a & b) | (c & d) | ((a | b) & (c | d));
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

// The pixels of the tile at t that the pass removes; the tiles around it are stride apart
// row to row.
uint64_t DeletableInTile(const uint64_t* t, ptrdiff_t stride, int pass)
{
    // Each tile shifted so that every bit holds its west, east, north or south neighbour,
    // with the edge column or row taken from the tile beside it.
    auto west = [](uint64_t mid, uint64_t left) { return ((mid << 1) & ~Column0) | ((left >> 7) & Column0); };
    auto east = [](uint64_t mid, uint64_t right) { return ((mid >> 1) & ~Column7) | ((right << 7) & Column7); };
    auto north = [](uint64_t mid, uint64_t up) { return (mid << 8) | (up >> 56); };
    auto south = [](uint64_t mid, uint64_t down) { return (mid >> 8) | (down << 56); };
    const uint64_t c = t[0], n = t[-stride], s = t[stride];
    // A third of the tiles examined have no pixel the pass may take at all: the neighbours
    // that decide that come first.
    uint64_t p2, p3, p4, p5, p6, p7, p8, p9;
    if (pass == 0) {
        const uint64_t en = east(n, t[-stride + 1]), es = east(s, t[stride + 1]);
        p4 = east(c, t[1]);
        p2 = north(c, n);
        p3 = north(p4, en);
        p5 = south(p4, es);
        if (!(c & ~((p2 | p3 | ~p5) & p4)))
            return 0;
        const uint64_t wn = west(n, t[-stride - 1]), ws = west(s, t[stride - 1]);
        p8 = west(c, t[-1]);
        p6 = south(c, s);
        p7 = south(p8, ws);
        p9 = north(p8, wn);
    } else {
        const uint64_t wn = west(n, t[-stride - 1]), ws = west(s, t[stride - 1]);
        p8 = west(c, t[-1]);
        p6 = south(c, s);
        p7 = south(p8, ws);
        p9 = north(p8, wn);
        if (!(c & ~((p6 | p7 | ~p9) & p8)))
            return 0;
        const uint64_t en = east(n, t[-stride + 1]), es = east(s, t[stride + 1]);
        p4 = east(c, t[1]);
        p2 = north(c, n);
        p3 = north(p4, en);
        p5 = south(p4, es);
    }
    return GuoHallDeletable(c, p2, p3, p4, p5, p6, p7, p8, p9, pass);
}

// Elbows: a pixel joining two 4-neighbours that touch each other diagonally, with nothing on
// its other side, carries no connection of its own.
void DropElbows(TMonoBitmap& img)
{
    img.ForEachInk([&](int x, int y) {
        const unsigned m = img.Neighbours(x, y);
        for (int k = 0; k < 8; k += 2) {
            const unsigned a = 1u << k, diag = 1u << ((k + 1) & 7), b = 1u << ((k + 2) & 7);
            const unsigned opp = (1u << ((k + 4) & 7)) | (1u << ((k + 5) & 7)) | (1u << ((k + 6) & 7));
            if ((m & a) && (m & b) && !(m & diag) && !(m & opp)) {
                img.Set(x, y, false);
                break;
            }
        }
    });
}

} // namespace

bool ThinningRemoves(unsigned block, int pass)
{
    const unsigned m = TMonoBitmap::NeighboursOfBlock(block);
    auto bit = [&](int k) { return uint64_t(m >> k & 1u); };
    return GuoHallDeletable((block >> 4) & 1u, bit(0), bit(1), bit(2), bit(3), bit(4), bit(5), bit(6), bit(7), pass) & 1u;
}

bool ThinningRemovesAt(const TMonoBitmap& b, int x, int y, int pass)
{
    uint64_t around[9];
    for (int k = 0; k < 9; ++k)
        around[k] = GatherTile(b, (x >> 3) + k % 3 - 1, (y >> 3) + k / 3 - 1);
    return (DeletableInTile(around + 4, 3, pass) >> (8 * (y & 7) + (x & 7))) & 1u;
}

TMonoBitmap ThinToSkeleton(const TMonoBitmap& src, const std::function<void(double)>& progress)
{
    TTiles tiles(src);
    std::vector<uint64_t>& t = tiles.Words();
    const ptrdiff_t stride = tiles.Stride();
    // A pass examines the tiles that saw a change nearby in one of the two passes before it,
    // as they have not yet been examined by both kinds of pass since; the others cannot change
    // any more. Sets of tiles are one bit per tile.
    const size_t setWords = (t.size() + 63) / 64;
    std::vector<uint64_t> nearBefore(setWords, 0), nearLast(setWords, 0);
    auto add = [](std::vector<uint64_t>& set, size_t i, bool yes) { set[i >> 6] |= uint64_t(yes) << (i & 63); };
    size_t total = 0;
    for (size_t i = 0; i < t.size(); ++i) {
        add(nearLast, i, t[i] != 0);
        total += t[i] != 0;
    }
    nearBefore = nearLast;
    struct TDeletion {
        size_t Tile;
        uint64_t Pixels;
    };
    std::vector<TDeletion> dels;
    double changed = 0;  // tiles changed so far, for progress only
    // Words of the sets outside [from, to) are empty: thin parts of the picture are done after
    // a few passes, and thick ones need not make every pass scan the whole picture.
    size_t from = 0, to = setWords;
    for (int pass = 0;; pass ^= 1) {
        // Every deletion of the pass is decided before any is made.
        dels.clear();
        bool any = false;
        size_t nextFrom = setWords, nextTo = 0;
        for (size_t w = from; w < to; ++w) {
            uint64_t examine = nearBefore[w] | nearLast[w];
            any = any || examine;
            nearBefore[w] = nearLast[w];
            nearLast[w] = 0;
            if (nearBefore[w]) {
                nextFrom = std::min(nextFrom, w);
                nextTo = w + 1;
            }
            for (; examine; examine &= examine - 1) {
                const size_t i = w * 64 + size_t(std::countr_zero(examine));
                if (t[i])
                    if (const uint64_t d = DeletableInTile(&t[i], stride, pass))
                        dels.push_back({i, d});
            }
        }
        if (!any)
            break;
        for (const auto& [i, d] : dels) {
            t[i] &= ~d;
            add(nearLast, i, true);
            // The tiles around it only see a change at their shared edge or corner.
            if (!(d & (Row0 | Row7 | Column0 | Column7)))
                continue;
            add(nearLast, i - stride - 1, d & 1u);
            add(nearLast, i - stride, d & Row0);
            add(nearLast, i - stride + 1, d >> 7 & 1u);
            add(nearLast, i - 1, d & Column0);
            add(nearLast, i + 1, d & Column7);
            add(nearLast, i + stride - 1, d >> 56 & 1u);
            add(nearLast, i + stride, d & Row7);
            add(nearLast, i + stride + 1, d >> 63);
        }
        if (!dels.empty()) {  // in the order of the scan
            nextFrom = std::min(nextFrom, (dels.front().Tile - size_t(stride) - 1) >> 6);
            nextTo = std::max(nextTo, ((dels.back().Tile + size_t(stride) + 1) >> 6) + 1);
        }
        from = nextFrom;
        to = nextTo;
        changed += double(dels.size());
        if (progress)
            progress(0.8 * std::min(1.0, changed / (4.0 * double(std::max<size_t>(total, 1)))));
    }
    TMonoBitmap img = std::move(tiles).ToBitmap();
    DropElbows(img);
    return img;
}
