// Chains and offsets at the size of traced drawings.
// - Linking: N segments of one long outline, given in random order and direction, linked into one
//   chain, beside a sort of their 2N end points in the same run (the floor of any linking by
//   order). Reports the ratio and, from 100,000 to 1,000,000 segments, how the time grows.
// - Offset: a closed traced outline of 100,000 vertices offset outwards through the integer
//   paths, beside the polygon-offset library's own offset of the same integer path.
#include "QVEntity.h"
#include "UnitCatena.h"
#include "UnitCurva.h"
#include "UnitIntPath.h"
#include "UnitOffset.h"

#include <polyclipping/clipper.hpp>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Seconds(TClock::time_point From)
{
    return std::chrono::duration<double>(TClock::now() - From).count();
}

// A wandering outline of N unit-ish steps, cut into segments and shuffled.
TListEntXCatena ShuffledSegments(size_t N)
{
    std::mt19937 rng(static_cast<unsigned>(N));
    std::uniform_real_distribution<double> turn(-0.3, 0.3);
    std::vector<TVector2D> points{{0, 0}};
    double heading = 0;
    for (size_t i = 0; i < N; ++i) {
        heading += turn(rng);
        points.push_back({points.back().X + std::cos(heading), points.back().Y + std::sin(heading)});
    }
    TListEntXCatena list;
    list.Items.resize(N);
    for (size_t i = 0; i < N; ++i) {
        TEntXCatena& e = list.Items[i];
        e.EntityID = static_cast<int32_t>(i);
        e.StartPoint = points[i];
        e.EndPoint = points[i + 1];
        if (rng() % 2)
            e.SwapEnds();
    }
    // The first entry stays the start of the walk, as a picked entity is.
    std::shuffle(list.Items.begin() + 1, list.Items.end(), rng);
    return list;
}

void BM_LinkBesideSort(benchmark::State& State)
{
    const auto n = static_cast<size_t>(State.range(0));
    double link = 0, sort = 0;
    int32_t linked = 0;
    for (auto _ : State) {
        State.PauseTiming();
        TListEntXCatena list = ShuffledSegments(n);
        std::vector<TVector2D> ends;
        ends.reserve(2 * n);
        for (const TEntXCatena& e : list.Items) {
            ends.push_back(e.StartPoint);
            ends.push_back(e.EndPoint);
        }
        State.ResumeTiming();
        auto t0 = TClock::now();
        linked = list.Link();
        link += Seconds(t0);
        t0 = TClock::now();
        std::sort(ends.begin(), ends.end(), [](const TVector2D& A, const TVector2D& B) {
            return A.X < B.X || (A.X == B.X && A.Y < B.Y);
        });
        sort += Seconds(t0);
        benchmark::DoNotOptimize(ends.data());
    }
    State.counters["linked"] = linked;
    State.counters["link_s"] = link / static_cast<double>(State.iterations());
    State.counters["sort_s"] = sort / static_cast<double>(State.iterations());
    State.counters["link/sort"] = link / sort;
}
BENCHMARK(BM_LinkBesideSort)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

// A traced-like closed outline: a circle of radius R at steps of about one unit with noise.
std::unique_ptr<TACurva> TracedOutline(size_t N)
{
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> noise(-0.25, 0.25);
    const double r = static_cast<double>(N) / (2 * std::numbers::pi);
    auto c = std::make_unique<TACurva>();
    for (size_t i = 0; i < N; ++i) {
        const double a = 2 * std::numbers::pi * static_cast<double>(i) / static_cast<double>(N);
        c->AddVertex(
            TAVertice::CreatePoint({(r + noise(rng)) * std::cos(a), (r + noise(rng)) * std::sin(a)}, 0));
    }
    c->AddVertex(c->Vertices.front());
    c->Closed = true;
    return c;
}

void BM_OffsetBesideClipper(benchmark::State& State)
{
    const auto n = static_cast<size_t>(State.range(0));
    const std::unique_ptr<TACurva> outline = TracedOutline(n);
    constexpr double distance = 2;
    double ours = 0, theirs = 0;
    size_t points = 0;
    for (auto _ : State) {
        TACurva chain;
        chain.Assign(*outline);
        auto t0 = TClock::now();
        TOffsetResults results;
        OffsetClosedChain(chain, distance, false, results);
        ours += Seconds(t0);
        points = results.empty() ? 0 : static_cast<size_t>(results.front()->Points().Count());

        ClipperLib::Path path;
        CurveToPath(*outline, false, path);
        t0 = TClock::now();
        ClipperLib::ClipperOffset offsetter(10 * distance, 0.25);
        offsetter.AddPath(path, ClipperLib::jtMiter, ClipperLib::etClosedPolygon);
        ClipperLib::Paths solution;
        offsetter.Execute(solution, static_cast<double>(ToIntCoord(distance)));
        theirs += Seconds(t0);
        benchmark::DoNotOptimize(solution.data());
    }
    State.counters["result_points"] = static_cast<double>(points);
    State.counters["ours_s"] = ours / static_cast<double>(State.iterations());
    State.counters["clipper_s"] = theirs / static_cast<double>(State.iterations());
    State.counters["ours/clipper"] = ours / theirs;
}
BENCHMARK(BM_OffsetBesideClipper)->Arg(100000)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
