#pragma once
// A clean black-and-white drawing degraded the way a scanner and a 50 % threshold degrade it:
// specks and holes, optical blur, noise that makes edges wander over a few pixels, JPEG block
// quantisation, then the threshold; and the despeckling that the user applies before tracing.
// Everything is drawn from a fixed seed, so a degradation is the same on every run.
#include "MonoBitmap.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <vector>

struct TScanDegradation {
    const char* Name = "";
    double BlurSigma = 0;      // optical blur, pixels
    double NoiseAmplitude = 0; // standard deviation of the noise at edges, 1 = black to white
    double NoiseGrain = 1.5;   // the noise's own blur: the length over which an edge wanders
    double SpecksPerKilopixel = 0;  // ink specks on paper and holes in ink, radius 0.5 to 1.5 px
    int JpegQuality = 0;       // 0: no JPEG step
    uint32_t Seed = 1;
};

// Deterministic numbers independent of the standard library's distributions.
class TScanRandom {
public:
    explicit TScanRandom(uint32_t seed) : State(seed * 2654435761u + 1) {}
    uint32_t Next()
    {
        State ^= State << 13;
        State ^= State >> 17;
        State ^= State << 5;
        return State;
    }
    double Uniform() { return (Next() >> 8) * (1.0 / 16777216.0); }
    double Normal()
    {
        const double u = std::max(Uniform(), 1e-12), v = Uniform();
        return std::sqrt(-2 * std::log(u)) * std::cos(2 * std::numbers::pi * v);
    }

private:
    uint32_t State;
};

// Grey levels, 0 black to 1 white, row by row.
struct TGreyImage {
    int W = 0, H = 0;
    std::vector<float> V;
    float& At(int x, int y) { return V[size_t(y) * size_t(W) + size_t(x)]; }
};

// Separable Gaussian blur, edges clamped.
inline void GaussianBlur(TGreyImage& g, double sigma)
{
    if (sigma <= 0)
        return;
    const int r = int(std::ceil(3 * sigma));
    std::vector<float> k(size_t(2 * r + 1));
    double sum = 0;
    for (int i = -r; i <= r; ++i)
        sum += k[size_t(i + r)] = float(std::exp(-0.5 * i * i / (sigma * sigma)));
    for (float& v : k)
        v = float(v / sum);
    std::vector<float> line;
    for (int pass = 0; pass < 2; ++pass) {
        const int len = pass == 0 ? g.W : g.H, lines = pass == 0 ? g.H : g.W;
        line.resize(size_t(len));
        for (int l = 0; l < lines; ++l) {
            auto at = [&](int i) -> float& { return pass == 0 ? g.At(i, l) : g.At(l, i); };
            for (int i = 0; i < len; ++i)
                line[size_t(i)] = at(i);
            for (int i = 0; i < len; ++i) {
                float s = 0;
                for (int j = -r; j <= r; ++j)
                    s += k[size_t(j + r)] * line[size_t(std::clamp(i + j, 0, len - 1))];
                at(i) = s;
            }
        }
    }
}

// Each 8x8 block through the DCT, quantised with the usual luminance table at the quality.
inline void JpegQuantise(TGreyImage& g, int quality)
{
    static constexpr std::array<int, 64> Luma = {
        16, 11, 10, 16, 24, 40, 51, 61, 12, 12, 14, 19, 26, 58, 60, 55, 14, 13, 16, 24, 40, 57, 69, 56,
        14, 17, 22, 29, 51, 87, 80, 62, 18, 22, 37, 56, 68, 109, 103, 77, 24, 35, 55, 64, 81, 104, 113, 92,
        49, 64, 78, 87, 103, 121, 120, 101, 72, 92, 95, 98, 112, 100, 103, 99};
    const int scale = quality < 50 ? 5000 / quality : 200 - 2 * quality;
    double q[64], c[8][8];
    for (int i = 0; i < 64; ++i)
        q[i] = std::clamp((Luma[size_t(i)] * scale + 50) / 100, 1, 255);
    for (int u = 0; u < 8; ++u)
        for (int x = 0; x < 8; ++x)
            c[u][x] = (u == 0 ? std::sqrt(0.125) : 0.5) * std::cos((2 * x + 1) * u * std::numbers::pi / 16);
    for (int by = 0; by + 8 <= g.H; by += 8)
        for (int bx = 0; bx + 8 <= g.W; bx += 8) {
            double b[8][8], f[8][8] = {}, t[8][8] = {};
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    b[y][x] = g.At(bx + x, by + y) * 255.0 - 128;
            for (int v = 0; v < 8; ++v)
                for (int x = 0; x < 8; ++x)
                    for (int y = 0; y < 8; ++y)
                        t[v][x] += c[v][y] * b[y][x];
            for (int v = 0; v < 8; ++v)
                for (int u = 0; u < 8; ++u) {
                    for (int x = 0; x < 8; ++x)
                        f[v][u] += c[u][x] * t[v][x];
                    f[v][u] = std::round(f[v][u] / q[v * 8 + u]) * q[v * 8 + u];
                }
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x) {
                    double s = 0;
                    for (int v = 0; v < 8; ++v)
                        for (int u = 0; u < 8; ++u)
                            s += c[v][y] * c[u][x] * f[v][u];
                    g.At(bx + x, by + y) = float((s + 128) / 255.0);
                }
        }
}

inline TMonoBitmap DegradeScan(const TMonoBitmap& clean, const TScanDegradation& d)
{
    TScanRandom rnd(d.Seed);
    TGreyImage g{clean.Width(), clean.Height(), {}};
    g.V.resize(size_t(g.W) * size_t(g.H));
    for (int y = 0; y < g.H; ++y)
        for (int x = 0; x < g.W; ++x)
            g.At(x, y) = clean.Ink(x, y) ? 0.0f : 1.0f;
    const int specks = int(d.SpecksPerKilopixel * g.W * g.H / 1000.0);
    for (int i = 0; i < specks; ++i) {
        const double cx = rnd.Uniform() * g.W, cy = rnd.Uniform() * g.H, r = 0.5 + rnd.Uniform();
        const bool ink = !clean.Ink(int(cx), int(cy));  // a speck on paper, a hole in ink
        for (int y = std::max(0, int(cy - r)); y <= std::min(g.H - 1, int(cy + r)); ++y)
            for (int x = std::max(0, int(cx - r)); x <= std::min(g.W - 1, int(cx + r)); ++x)
                if (std::hypot(x + 0.5 - cx, y + 0.5 - cy) <= r)
                    g.At(x, y) = ink ? 0.0f : 1.0f;
    }
    GaussianBlur(g, d.BlurSigma);
    if (d.NoiseAmplitude > 0) {
        TGreyImage noise{g.W, g.H, std::vector<float>(g.V.size())};
        for (float& v : noise.V)
            v = float(rnd.Normal());
        GaussianBlur(noise, d.NoiseGrain);
        // Blurring white noise by sigma s leaves a deviation of 1 / (2 s sqrt(pi)).
        const double gain = d.NoiseAmplitude * (d.NoiseGrain > 0 ? 2 * d.NoiseGrain * std::sqrt(std::numbers::pi) : 1);
        // Toner and ink bleed: the noise moves edges, while clean paper and solid ink stay
        // far from the threshold.
        for (size_t i = 0; i < g.V.size(); ++i)
            g.V[i] += float(gain * noise.V[i] * 4 * g.V[i] * (1 - g.V[i]));
    }
    if (d.JpegQuality > 0)
        JpegQuantise(g, d.JpegQuality);
    TMonoBitmap out(g.W, g.H);
    for (int y = 0; y < g.H; ++y)
        for (int x = 0; x < g.W; ++x)
            if (g.At(x, y) < 0.5f)
                out.Set(x, y, true);
    return out;
}

// Removes ink pieces (8-connected) and fills background pieces (4-connected) of at most
// maxPixels pixels; background touching the picture's border is never filled.
inline void Despeckle(TMonoBitmap& b, int maxPixels)
{
    const int w = b.Width(), h = b.Height();
    std::vector<char> seen(size_t(w) * size_t(h), 0);
    std::vector<std::pair<int, int>> piece, stack;
    for (const bool ink : {true, false})
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (seen[size_t(y) * w + x] || b.Ink(x, y) != ink)
                    continue;
                piece.clear();
                stack.assign(1, {x, y});
                seen[size_t(y) * w + x] = 1;
                bool border = false;
                while (!stack.empty()) {
                    const auto [px, py] = stack.back();
                    stack.pop_back();
                    piece.push_back({px, py});
                    border = border || px == 0 || py == 0 || px == w - 1 || py == h - 1;
                    for (int dy = -1; dy <= 1; ++dy)
                        for (int dx = -1; dx <= 1; ++dx) {
                            const int qx = px + dx, qy = py + dy;
                            if ((!ink && dx != 0 && dy != 0) || qx < 0 || qy < 0 || qx >= w || qy >= h)
                                continue;
                            if (!seen[size_t(qy) * w + qx] && b.Ink(qx, qy) == ink) {
                                seen[size_t(qy) * w + qx] = 1;
                                stack.push_back({qx, qy});
                            }
                        }
                }
                if (int(piece.size()) <= maxPixels && (ink || !border))
                    for (const auto& [px, py] : piece)
                        b.Set(px, py, !ink);
            }
}
