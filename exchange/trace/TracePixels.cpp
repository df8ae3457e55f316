#include "TracePixels.h"

#include "Bitmap32.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

uint32_t Load(const uint8_t* p)
{
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

void Store(uint8_t* p, uint32_t v)
{
    std::memcpy(p, &v, 4);
}

// ---- threshold ---------------------------------------------------------------------------

void ThresholdRow(const uint8_t* s, uint8_t* d, int W, uint8_t R, uint8_t G, uint8_t B, uint32_t Off,
                  uint32_t On)
{
    int x = 0;
#if defined(__SSE2__)
    // Four pixels at a time: a byte above its threshold leaves a non-zero saturated difference.
    const __m128i limits = _mm_set1_epi32(int((uint32_t(R) << 16) | (uint32_t(G) << 8) | B));
    const __m128i colour = _mm_set1_epi32(0x00FFFFFF);
    const __m128i zero = _mm_setzero_si128();
    const __m128i on = _mm_set1_epi32(int(On)), off = _mm_set1_epi32(int(Off));
    for (; x + 4 <= W; x += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + 4 * x));
        const __m128i notAbove = _mm_and_si128(_mm_cmpeq_epi8(_mm_subs_epu8(v, limits), zero), colour);
        const __m128i pass = _mm_cmpeq_epi32(notAbove, zero);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + 4 * x),
                         _mm_or_si128(_mm_and_si128(pass, on), _mm_andnot_si128(pass, off)));
    }
#endif
    for (; x < W; ++x) {
        const uint8_t* p = s + 4 * x;
        Store(d + 4 * x, p[2] > R && p[1] > G && p[0] > B ? On : Off);
    }
}

// ---- bit rows for the speck removal -----------------------------------------------------

using TWord = uint64_t;
constexpr int WordBits = 64;

// Bits of 64 pixels: Equal where a pixel is C1, Differ where it is not C2.
void PackWord(const uint8_t* px, int Count, uint32_t C1, uint32_t C2, TWord& Equal, TWord& Differ)
{
    TWord e = 0, d = 0;
    int j = 0;
#if defined(__SSE2__)
    const __m128i c1 = _mm_set1_epi32(int(C1)), c2 = _mm_set1_epi32(int(C2));
    for (; j + 4 <= Count; j += 4) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + 4 * j));
        e |= TWord(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, c1)))) << j;
        d |= TWord(_mm_movemask_ps(_mm_castsi128_ps(_mm_cmpeq_epi32(v, c2)))) << j;
    }
#endif
    for (; j < Count; ++j) {
        const uint32_t p = Load(px + 4 * j);
        e |= TWord(p == C1) << j;
        d |= TWord(p == C2) << j;
    }
    const TWord used = Count == WordBits ? ~TWord(0) : (TWord(1) << Count) - 1;
    Equal = e;
    Differ = ~d & used;
}

// Bit x of the result is bit x + K of the row (K in 0..8).
TWord Down(const TWord* Row, int I, int Words, int K)
{
    TWord v = Row[I] >> K;
    if (K > 0 && I + 1 < Words)
        v |= Row[I + 1] << (WordBits - K);
    return v;
}

// Bit x of the result is bit x - 1 of the row.
TWord Up1(const TWord* Row, int I)
{
    TWord v = Row[I] << 1;
    if (I > 0)
        v |= Row[I - 1] >> (WordBits - 1);
    return v;
}

// Bit x is set when any of the row's bits x .. x + N - 1 is.
TWord AnyOf(const TWord* Row, int I, int Words, int N)
{
    TWord v = 0;
    for (int k = 0; k < N; ++k)
        v |= Down(Row, I, Words, k);
    return v;
}

void ClearBits(TWord* Row, int X, int N)
{
    for (int x = X; x < X + N; ++x)
        Row[x / WordBits] &= ~(TWord(1) << (x % WordBits));
}

bool Dark(uint32_t P)
{
    const uint32_t r = (P >> 16) & 0xFF, g = (P >> 8) & 0xFF, b = P & 0xFF;
    return 299 * r + 587 * g + 114 * b < 128000;
}

// One row of the one-bit picture, leftmost pixel in the top bit, 1 for white; Bits holds whole
// bytes, the padding 0. Runs of plain ink and paper go 64 at a time.
void MonoRow(const uint8_t* Row, int W, uint8_t* Bits)
{
    static const auto reversed = [] {
        std::array<uint8_t, 256> t{};
        for (int v = 0; v < 256; ++v)
            for (int b = 0; b < 8; ++b)
                if (v & (1 << b))
                    t[v] |= uint8_t(0x80 >> b);
        return t;
    }();
    for (int x0 = 0; x0 < W; x0 += WordBits) {
        const int count = std::min(WordBits, W - x0);
        TWord paper = 0, notInk = 0;
        PackWord(Row + 4 * x0, count, PaperPixel, InkPixel, paper, notInk);
        if (notInk != paper) // some pixel is neither plain colour: the luminance decides
            for (int j = 0; j < count; ++j)
                if (((notInk & ~paper) >> j) & 1)
                    paper |= TWord(!Dark(Load(Row + 4 * (x0 + j)))) << j;
        for (int k = 0; k < (count + 7) / 8; ++k)
            Bits[x0 / 8 + k] = reversed[(paper >> (8 * k)) & 0xFF];
    }
}

} // namespace

void ThresholdBitmap(const TBitmap32& Source, TBitmap32& Target, uint8_t Red, uint8_t Green, uint8_t Blue,
                     uint32_t Off, uint32_t On)
{
    if (Target.Width() != Source.Width() || Target.Height() != Source.Height())
        Target.SetSize(Source.Width(), Source.Height());
    for (int y = 0; y < Source.Height(); ++y)
        ThresholdRow(Source.ScanLine(y), Target.ScanLine(y), Source.Width(), Red, Green, Blue, Off, On);
}

void ResolveMarkerPixels(TBitmap32& Image)
{
    for (int y = 0; y < Image.Height(); ++y) {
        uint8_t* row = Image.ScanLine(y);
        for (int x = 0; x < Image.Width(); ++x)
            Store(row + 4 * x, Load(row + 4 * x) == MarkerInkPixel ? InkPixel : PaperPixel);
    }
}

void RemoveSpecks(TBitmap32& Image, int N, bool White)
{
    N = std::clamp(N, 1, 8);
    const int W = Image.Width(), H = Image.Height();
    if (W < N || H < N)
        return;
    const uint32_t speck = White ? PaperPixel : InkPixel;
    const uint32_t frame = White ? InkPixel : PaperPixel;
    const int words = (W + WordBits - 1) / WordBits;

    // Bit rows of the band and the rows above and below it, packed once as they come in: Speck
    // where a pixel has the speck colour, Block where it is not the frame colour. A fill clears
    // the bits of the rows it paints, so they stay the image's.
    const int ringRows = N + 2;
    std::vector<TWord> speckBits(size_t(words) * ringRows), blockBits(size_t(words) * ringRows);
    auto speckRow = [&](int y) { return speckBits.data() + size_t(y % ringRows) * words; };
    auto blockRow = [&](int y) { return blockBits.data() + size_t(y % ringRows) * words; };
    auto pack = [&](int y) {
        const uint8_t* row = Image.ScanLine(y);
        for (int i = 0; i < words; ++i)
            PackWord(row + 4 * i * WordBits, std::min(WordBits, W - i * WordBits), speck, frame,
                     speckRow(y)[i], blockRow(y)[i]);
    };
    for (int y = 0; y < N && y < H; ++y)
        pack(y);

    std::vector<TWord> window(words), sides(words);
    // Windows that may start in word I: at most W - N.
    auto validIn = [&](int I) -> TWord {
        const int last = W - N - I * WordBits;
        if (last < 0)
            return 0;
        return last >= WordBits - 1 ? ~TWord(0) : (TWord(2) << last) - 1;
    };

    for (int y = 0; y + N <= H; ++y) {
        if (y + N < H)
            pack(y + N);
        std::fill(window.begin(), window.end(), 0);
        for (int r = y; r < y + N; ++r)
            for (int i = 0; i < words; ++i)
                window[i] |= speckRow(r)[i];
        for (int r = std::max(0, y - 1); r < y + N; ++r)
            for (int i = 0; i < words; ++i)
                sides[i] |= blockRow(r)[i];
        const TWord* above = y > 0 ? blockRow(y - 1) : nullptr;
        const TWord* below = y + N < H ? blockRow(y + N) : nullptr;

        // Bit x: the window at column x holds a speck pixel and its whole frame is clear.
        auto passing = [&](int i) -> TWord {
            TWord m = AnyOf(window.data(), i, words, N) & validIn(i);
            if (!m)
                return 0;
            m &= ~Up1(sides.data(), i) & ~Down(sides.data(), i, words, N);
            if (m && above)
                m &= ~AnyOf(above, i, words, N);
            if (m && below)
                m &= ~AnyOf(below, i, words, N);
            return m;
        };
        for (int i = 0; i < words; ++i) {
            TWord m = passing(i);
            while (m) {
                const int b = std::countr_zero(m);
                const int x = i * WordBits + b;
                for (int r = y; r < y + N; ++r) {
                    uint8_t* row = Image.ScanLine(r) + 4 * x;
                    for (int k = 0; k < N; ++k)
                        Store(row + 4 * k, frame);
                    ClearBits(speckRow(r), x, N);
                    ClearBits(blockRow(r), x, N);
                }
                // The row above is clear over the window (the frame passed), so the window's
                // columns are clear over the whole band now.
                ClearBits(window.data(), x, N);
                ClearBits(sides.data(), x, N);
                // Later windows of this word see the change.
                m = b + 1 < WordBits ? passing(i) & (~TWord(0) << (b + 1)) : 0;
            }
        }
        std::fill(sides.begin(), sides.end(), 0);
    }
}

std::string SaveMonoBmp(const std::string& FileName, const TBitmap32& Image)
{
    const int W = Image.Width(), H = Image.Height();
    const uint32_t stride = (uint32_t(W) + 31) / 32 * 4;
    const uint32_t headers = 14 + 40 + 8;
    const uint64_t size = headers + uint64_t(stride) * uint32_t(H);
    std::vector<uint8_t> head;
    auto put16 = [&](uint32_t v) {
        head.push_back(uint8_t(v));
        head.push_back(uint8_t(v >> 8));
    };
    auto put32 = [&](uint32_t v) {
        put16(v & 0xFFFF);
        put16(v >> 16);
    };
    put16(0x4D42);
    put32(uint32_t(size));
    put32(0);
    put32(headers);
    put32(40);
    put32(uint32_t(W));
    put32(uint32_t(H));
    put16(1);
    put16(1);
    put32(0);
    put32(uint32_t(stride) * uint32_t(H));
    put32(0);
    put32(0);
    put32(2);
    put32(0);
    put32(0x00000000); // index 0: black
    put32(0x00FFFFFF); // index 1: white
    // A scratch file for the tracer alone, in the private folder: written straight, without the
    // sync and rename that guard the user's files.
    std::FILE* file = std::fopen(FileName.c_str(), "wb");
    if (!file)
        return std::strerror(errno);
    bool written = std::fwrite(head.data(), 1, head.size(), file) == head.size();
    std::vector<uint8_t> bits(stride);
    for (int y = H - 1; y >= 0 && written; --y) {
        MonoRow(Image.ScanLine(y), W, bits.data());
        written = std::fwrite(bits.data(), 1, bits.size(), file) == bits.size();
    }
    const int error = errno;
    if (std::fclose(file) != 0 || !written) {
        std::remove(FileName.c_str());
        return std::strerror(written ? errno : error);
    }
    return {};
}
