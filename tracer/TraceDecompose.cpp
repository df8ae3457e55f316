// Boundary extraction by crack following: every horizontal crack between an ink pixel and a
// background pixel starts a walk unless an earlier walk crossed it. A bitmap of visited
// horizontal cracks keeps the memory at one bit per pixel and needs no second copy of the
// picture.
#include "TraceDecompose.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <memory>
#include <new>

namespace {

// Directions in image coordinates: east, south (down), west, north.
constexpr int StepX[4] = {1, 0, -1, 0};
constexpr int StepY[4] = {0, 1, 0, -1};

// The two pixels in front of a walker standing on corner (x, y) and facing dir: the one on
// its left hand and the one on its right hand.
void AheadPixels(int x, int y, int dir, int& lx, int& ly, int& rx, int& ry)
{
    switch (dir) {
    case 0: lx = x;     ly = y - 1; rx = x;     ry = y;     break;
    case 1: lx = x;     ly = y;     rx = x - 1; ry = y;     break;
    case 2: lx = x - 1; ly = y;     rx = x - 1; ry = y - 1; break;
    default: lx = x - 1; ly = y - 1; rx = x;    ry = y - 1; break;
    }
}

// Zeroed by the system as its pages are first touched (calloc): most of a page is paper,
// whose words are only read, and clearing them all up front costs more than tracing a sparse
// page.
class TVisitedCracks {
public:
    TVisitedCracks(int width, int height)
        : Words((width + 63) / 64),
          Bits(static_cast<uint64_t*>(std::calloc(size_t(Words) * size_t(height + 1), sizeof(uint64_t))))
    {
        if (!Bits)
            throw std::bad_alloc();
    }
    void Mark(int x, int y) { Bits.get()[size_t(y) * Words + (x >> 6)] |= uint64_t(1) << (x & 63); }
    uint64_t Word(int y, int w) const { return Bits.get()[size_t(y) * Words + w]; }

private:
    struct TFree {
        void operator()(uint64_t* p) const { std::free(p); }
    };
    int Words;
    std::unique_ptr<uint64_t, TFree> Bits;
};

void FollowBoundary(const TMonoBitmap& bmp, TVisitedCracks& visited, int x0, int y0, int dir0, TCrackPath& path)
{
    path.clear();
    int x = x0, y = y0, dir = dir0;
    for (;;) {
        path.push_back({x, y});
        // Only horizontal cracks start walks, so only they need marking.
        if (dir == 0)
            visited.Mark(x, y);
        else if (dir == 2)
            visited.Mark(x - 1, y);
        x += StepX[dir];
        y += StepY[dir];
        int lx, ly, rx, ry;
        AheadPixels(x, y, dir, lx, ly, rx, ry);
        if (bmp.Ink(lx, ly))
            dir = (dir + 3) & 3;  // turn left; also joins ink that meets only at this corner
        else if (!bmp.Ink(rx, ry))
            dir = (dir + 1) & 3;  // turn right
        if (x == x0 && y == y0 && dir == dir0)
            break;
    }
}

} // namespace

void DecomposeOutlines(const TMonoBitmap& bmp, const std::function<void(const TCrackPath&)>& onPath,
                       const std::function<void(double)>& progress, const std::function<bool(int)>& startRow)
{
    const int w = bmp.Width(), h = bmp.Height(), words = bmp.WordsPerRow();
    if (w == 0 || h == 0)
        return;
    TVisitedCracks visited(w, h);
    TCrackPath path;
    for (int y = 0; y <= h; ++y) {
        if (startRow && !startRow(y))
            continue;
        const uint64_t* above = y > 0 ? bmp.Row(y - 1) : nullptr;
        const uint64_t* below = y < h ? bmp.Row(y) : nullptr;
        for (int wi = 0; wi < words; ++wi) {
            const uint64_t a = above ? above[wi] : 0;
            const uint64_t b = below ? below[wi] : 0;
            uint64_t todo = (a ^ b) & ~visited.Word(y, wi);
            while (todo) {
                const int bit = std::countr_zero(todo);
                const int x = wi * 64 + bit;
                if ((b >> bit) & 1u)
                    FollowBoundary(bmp, visited, x, y, 0, path);      // ink below: walk east
                else
                    FollowBoundary(bmp, visited, x + 1, y, 2, path);  // ink above: walk west
                onPath(path);
                todo &= ~visited.Word(y, wi);
            }
        }
        if (progress && (y & 255) == 0)
            progress(double(y) / h);
    }
}

void DecomposeShapeAt(const TMonoBitmap& bmp, int x0, int y0, TMonoBitmap& done,
                      const std::function<void(const TCrackPath&)>& onPath)
{
    if (!bmp.Ink(x0, y0) || done.Ink(x0, y0))
        return;
    std::vector<TPixelPoint> pixels, stack{{x0, y0}};
    done.Set(x0, y0, true);
    int minX = x0, maxX = x0, minY = y0, maxY = y0;
    while (!stack.empty()) {
        const TPixelPoint p = stack.back();
        stack.pop_back();
        pixels.push_back(p);
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
        minY = std::min(minY, p.Y);
        maxY = std::max(maxY, p.Y);
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int x = p.X + dx, y = p.Y + dy;
                if (bmp.Ink(x, y) && !done.Ink(x, y)) {
                    done.Set(x, y, true);
                    stack.push_back({x, y});
                }
            }
    }
    TMonoBitmap shape(maxX - minX + 1, maxY - minY + 1);
    for (const TPixelPoint& p : pixels)
        shape.Set(p.X - minX, p.Y - minY, true);
    TCrackPath moved;
    DecomposeOutlines(shape, [&](const TCrackPath& path) {
        moved.clear();
        for (const TPixelPoint& p : path)
            moved.push_back({p.X + minX, p.Y + minY});
        onPath(moved);
    });
}
