// Writing and reading the records of a million lines and of polylines of 50 points, beside a
// plain copy of the same number of bytes as the reference for what memory allows. The
// "bytes_per_second" counter is the throughput; "per_object" the time of one record.
#include "QVEntity.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int32_t Polylines = 20'000;
constexpr int PolylinePoints = 50;

std::vector<std::unique_ptr<TPrimitive2D>> MakeObjects(bool polylines)
{
    std::vector<std::unique_ptr<TPrimitive2D>> objs;
    if (polylines) {
        std::vector<TPoint2D> pts(PolylinePoints);
        for (int32_t i = 0; i < Polylines; ++i) {
            for (int j = 0; j < PolylinePoints; ++j)
                pts[static_cast<size_t>(j)] = {double(i), double(j), 1};
            objs.push_back(std::make_unique<TPolyline2D>(i, pts));
        }
    } else {
        for (int32_t i = 0; i < Lines; ++i)
            objs.push_back(std::make_unique<TLine2D>(i, TPoint2D{double(i), 0, 1}, TPoint2D{0, double(i), 1}));
    }
    return objs;
}

std::vector<uint8_t> Write(std::vector<std::unique_ptr<TPrimitive2D>>& objs)
{
    TStreamWriter w;
    for (auto& obj : objs)
        obj->SaveToStream(w);
    return w.TakeBytes();
}

void Counters(benchmark::State& state, size_t bytes, size_t objects)
{
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
    state.counters["per_object"] = benchmark::Counter(static_cast<double>(objects),
                                                      benchmark::Counter::kIsIterationInvariantRate |
                                                          benchmark::Counter::kInvert);
}

void BM_Write(benchmark::State& state)
{
    auto objs = MakeObjects(state.range(0) != 0);
    size_t bytes = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> out = Write(objs);
        bytes = out.size();
        benchmark::DoNotOptimize(out.data());
    }
    Counters(state, bytes, objs.size());
}

template <class T>
void BM_Read(benchmark::State& state)
{
    auto objs = MakeObjects(state.range(0) != 0);
    const std::vector<uint8_t> bytes = Write(objs);
    for (auto _ : state) {
        TStreamReader r(bytes);
        std::vector<std::unique_ptr<TGraphicObject>> read;
        read.reserve(objs.size());
        while (!r.AtEnd())
            read.push_back(std::make_unique<T>(r, "QV-3.6"));
        benchmark::DoNotOptimize(read.data());
        state.PauseTiming();
        read.clear();
        state.ResumeTiming();
    }
    Counters(state, bytes.size(), objs.size());
}

// Copying the same bytes: the most a reader or writer could do.
void BM_CopyReference(benchmark::State& state)
{
    auto objs = MakeObjects(state.range(0) != 0);
    const std::vector<uint8_t> bytes = Write(objs);
    for (auto _ : state) {
        std::vector<uint8_t> copy(bytes.size());
        std::memcpy(copy.data(), bytes.data(), bytes.size());
        benchmark::DoNotOptimize(copy.data());
    }
    Counters(state, bytes.size(), objs.size());
}

}  // namespace

// Argument 0: a million lines; 1: polylines of 50 points.
BENCHMARK(BM_Write)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<TLine2D>)->Arg(0)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Read<TPolyline2D>)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CopyReference)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
