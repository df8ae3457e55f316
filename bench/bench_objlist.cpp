// Adding, finding by ID, iterating and deleting a million objects in a TGraphicObjList, beside
// the same work on plain standard containers as the reference. The "per_op" counter is the time
// of one operation.
#include "QVList.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>
#include <unordered_map>
#include <vector>

namespace {

constexpr int32_t N = 1'000'000;

std::vector<std::unique_ptr<TGraphicObject>> MakeObjects(int32_t idOrMinusOne = 0)
{
    std::vector<std::unique_ptr<TGraphicObject>> objs;
    objs.reserve(N);
    for (int32_t i = 0; i < N; ++i)
        objs.push_back(std::make_unique<TGraphicObject>(idOrMinusOne < 0 ? -1 : i));
    return objs;
}

void FillList(TGraphicObjList& list)
{
    for (auto& obj : MakeObjects())
        list.Add(std::move(obj));
}

std::vector<int32_t> ShuffledIds()
{
    std::vector<int32_t> ids(N);
    for (int32_t i = 0; i < N; ++i)
        ids[static_cast<size_t>(i)] = i;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(7));
    return ids;
}

void PerOp(benchmark::State& state)
{
    state.counters["per_op"] =
        benchmark::Counter(N, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ListAdd(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto objs = MakeObjects();
        auto list = std::make_unique<TGraphicObjList>();
        state.ResumeTiming();
        for (auto& obj : objs)
            list->Add(std::move(obj));
        state.PauseTiming();
        list.reset();
        state.ResumeTiming();
    }
    PerOp(state);
}

void BM_VectorAddReference(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        auto objs = MakeObjects();
        auto vec = std::make_unique<std::vector<std::unique_ptr<TGraphicObject>>>();
        state.ResumeTiming();
        for (auto& obj : objs)
            vec->push_back(std::move(obj));
        state.PauseTiming();
        vec.reset();
        state.ResumeTiming();
    }
    PerOp(state);
}

void BM_ListSearch(benchmark::State& state)
{
    TGraphicObjList list;
    FillList(list);
    const std::vector<int32_t> ids = ShuffledIds();
    auto it = list.GetIterator();
    for (auto _ : state)
        for (const int32_t id : ids)
            benchmark::DoNotOptimize(it.Search(id));
    PerOp(state);
}

void BM_HashFindReference(benchmark::State& state)
{
    auto objs = MakeObjects();
    std::unordered_map<int32_t, TGraphicObject*> index;
    for (auto& obj : objs)
        index.emplace(obj->ID, obj.get());
    const std::vector<int32_t> ids = ShuffledIds();
    for (auto _ : state)
        for (const int32_t id : ids)
            benchmark::DoNotOptimize(index.find(id)->second->ID);
    PerOp(state);
}

void BM_ListIterate(benchmark::State& state)
{
    TGraphicObjList list;
    FillList(list);
    for (auto _ : state) {
        auto it = list.GetIterator();
        int64_t sum = 0;
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            sum += obj->ID;
        benchmark::DoNotOptimize(sum);
    }
    PerOp(state);
}

void BM_VectorIterateReference(benchmark::State& state)
{
    auto objs = MakeObjects();
    for (auto _ : state) {
        int64_t sum = 0;
        for (const auto& obj : objs)
            sum += obj->ID;
        benchmark::DoNotOptimize(sum);
    }
    PerOp(state);
}

// Every object carries ID -1, as in a preview before the drawing numbers it: deleting them all
// during one walk must stay linear.
void BM_ListDeleteAllSameId(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        TGraphicObjList list;
        for (auto& obj : MakeObjects(-1))
            list.Add(std::move(obj));
        state.ResumeTiming();
        auto it = list.GetExclusiveIterator();
        for (it.First(); it.Current();)
            it.DeleteCurrent();
    }
    PerOp(state);
}

}  // namespace

BENCHMARK(BM_ListAdd)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorAddReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListSearch)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HashFindReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListIterate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VectorIterateReference)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListDeleteAllSameId)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
