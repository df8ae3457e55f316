// Geometry kernel: matrix products and arc discretisation. The product is measured against a
// candidate that skips the known zero terms of affine operands, to show whether that shortcut
// would pay.
#include "QVGeometry.h"
#include "QVMatrix.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

TMatrix4 AffineA()
{
    TMatrix4 m = TMatrix4::CreateRotation(true, 30);
    m.Scale(2, 3, 1);
    m.Translate(10, -4, 0);
    return m;
}

TMatrix4 AffineB()
{
    TMatrix4 m = TMatrix4::CreateRotation(true, -12);
    m.Translate(1, 2, 3);
    return m;
}

TMatrix4 Projective()
{
    TMatrix4 m = AffineA();
    m.M[3] = 0.01;
    m.M[15] = 1.5;
    return m;
}

// The shortcut candidate: with both operands affine only the upper-left 3x3 and the
// translation row are computed; with only B affine A's fourth column is copied; with only A
// affine the terms of A's zero entries are left out. Same values as the full product.
TMatrix4 ShortcutProduct(const TMatrix4& A, const TMatrix4& B)
{
    const auto& a = A.M;
    const auto& b = B.M;
    const bool affineA = A.IsAffine(), affineB = B.IsAffine();
    TMatrix4 r;
    for (int i = 0; i < 4; ++i) {
        for (int j = 0; j < (affineB ? 3 : 4); ++j) {
            double v = a[4 * i] * b[j] + a[4 * i + 1] * b[4 + j] + a[4 * i + 2] * b[8 + j];
            if (!affineA)
                v += a[4 * i + 3] * b[12 + j];
            else if (i == 3)
                v += b[12 + j];
            r.M[4 * i + j] = v;
        }
        if (affineB)
            r.M[4 * i + 3] = a[4 * i + 3];
    }
    return r;
}

TMatrix4 PlainProduct(const TMatrix4& a, const TMatrix4& b)
{
    TMatrix4 r;
    r.Multiply(a, b);
    return r;
}

void BM_Product(benchmark::State& state, TMatrix4 a, TMatrix4 b, bool shortcut)
{
    TMatrix4 r;
    for (auto _ : state) {
        benchmark::DoNotOptimize(a);
        benchmark::DoNotOptimize(b);
        r = shortcut ? ShortcutProduct(a, b) : PlainProduct(a, b);
        benchmark::DoNotOptimize(r);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK_CAPTURE(BM_Product, affine, AffineA(), AffineB(), false);
BENCHMARK_CAPTURE(BM_Product, projective, Projective(), Projective(), false);
BENCHMARK_CAPTURE(BM_Product, shortcut_affine, AffineA(), AffineB(), true);
BENCHMARK_CAPTURE(BM_Product, shortcut_projective_by_affine, Projective(), AffineB(), true);

// Both products of two affine matrices timed in the same run, in alternating batches, so that
// the ratio compares like with like. plain_over_shortcut < 1: the plain product is faster.
void BM_AffineShortcutRatio(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    constexpr int Batch = 1000;
    TMatrix4 a = AffineA(), b = AffineB(), r;
    double plain = 0, shortcut = 0;
    for (auto _ : state) {
        auto t0 = Clock::now();
        for (int i = 0; i < Batch; ++i) {
            benchmark::DoNotOptimize(a);
            r = PlainProduct(a, b);
            benchmark::DoNotOptimize(r);
        }
        auto t1 = Clock::now();
        for (int i = 0; i < Batch; ++i) {
            benchmark::DoNotOptimize(a);
            r = ShortcutProduct(a, b);
            benchmark::DoNotOptimize(r);
        }
        auto t2 = Clock::now();
        plain += std::chrono::duration<double, std::nano>(t1 - t0).count();
        shortcut += std::chrono::duration<double, std::nano>(t2 - t1).count();
    }
    const double products = static_cast<double>(state.iterations()) * Batch;
    state.counters["plain_ns"] = plain / products;
    state.counters["shortcut_ns"] = shortcut / products;
    state.counters["plain_over_shortcut"] = plain / shortcut;
}
BENCHMARK(BM_AffineShortcutRatio);

// A circle of radius R at the default chord tolerance; large radii hit the 200-point cap.
void BM_ArcToPoints2D(benchmark::State& state)
{
    const double radius = static_cast<double>(state.range(0));
    TArrayOfPoint2d pts;
    size_t points = 0;
    for (auto _ : state) {
        ArcToPoints2DTol({0, 0}, {radius, 0}, {0, -radius}, false, 0.025, pts);
        benchmark::DoNotOptimize(pts.data());
        points += pts.size();
    }
    state.counters["points"] = static_cast<double>(pts.size());
    state.counters["points_per_s"] =
        benchmark::Counter(static_cast<double>(points), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ArcToPoints2D)->Arg(1)->Arg(10)->Arg(1000);

} // namespace

BENCHMARK_MAIN();
