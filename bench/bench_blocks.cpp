// Loading a drawing of many block definitions, each used by one reference, beside loading a
// drawing of as many plain lines: binding references by name must stay linear, so the time per
// record of the blocks stays a fixed multiple of the lines' from 2,000 to 20,000 definitions.
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVRegistry.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

std::unique_ptr<TLine2D> Line(double x)
{
    return std::make_unique<TLine2D>(-1, TPoint2D{x, 0, 1}, TPoint2D{x, 1, 1});
}

// Definitions and references: Count of each.
std::vector<uint8_t> BlocksStream(int32_t count)
{
    TQV_01Cmp2D d;
    for (int32_t i = 0; i < count; ++i) {
        std::vector<std::unique_ptr<TGraphicObject>> children;
        children.push_back(Line(i));
        std::string name = "B";
        name += std::to_string(i);
        TSourceBlock2D* def =
            d.AddSourceBlock(std::make_unique<TSourceBlock2D>(-1, StrToBlockName(name), std::move(children)));
        d.AddObject(-1, std::make_unique<TBlock2D>(-1, def));
    }
    TStreamWriter w;
    d.SaveToStream(w);
    return w.TakeBytes();
}

// Plain lines: as many records as the blocks stream holds.
std::vector<uint8_t> LinesStream(int32_t count)
{
    TQV_01Cmp2D d;
    for (int32_t i = 0; i < 2 * count; ++i)
        d.AddObject(-1, Line(i));
    TStreamWriter w;
    d.SaveToStream(w);
    return w.TakeBytes();
}

// Seconds per record, by name and count.
std::map<std::pair<std::string, int64_t>, double> PerRecord;

void Load(benchmark::State& state, std::vector<uint8_t> (*make)(int32_t))
{
    RegisterDrawingClasses();
    const auto count = static_cast<int32_t>(state.range(0));
    const std::vector<uint8_t> bytes = make(count);
    for (auto _ : state) {
        auto d = std::make_unique<TQV_01Cmp2D>();
        TStreamReader r(bytes);
        d->LoadFromStream(r, false);
        benchmark::DoNotOptimize(d->ObjectsCount());
        // Only the load is timed: freeing the definitions one by one is another matter.
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
    }
    const double records = 2.0 * count;
    state.SetItemsProcessed(static_cast<int64_t>(records) * state.iterations());
    state.counters["records"] = records;
}

void BM_LoadBlocks(benchmark::State& state)
{
    Load(state, BlocksStream);
}
void BM_LoadLines(benchmark::State& state)
{
    Load(state, LinesStream);
}

// Reads the per-record times from the finished runs and prints their ratios.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const std::string name = run.run_name.function_name == "BM_LoadBlocks" ? "blocks" : "lines";
            const double records = run.counters.at("records");
            PerRecord[{name, static_cast<int64_t>(records / 2)}] =
                run.GetAdjustedRealTime() / records; // in the run's time unit
        }
    }
};

} // namespace

BENCHMARK(BM_LoadBlocks)->Arg(2'000)->Arg(20'000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadLines)->Arg(2'000)->Arg(20'000)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    for (const int64_t count : {2'000, 20'000}) {
        const double blocks = PerRecord[{"blocks", count}], lines = PerRecord[{"lines", count}];
        if (blocks > 0 && lines > 0)
            std::printf("%6lld definitions: a block record loads in %.2fx the time of a line record\n",
                        static_cast<long long>(count), blocks / lines);
    }
    std::printf("(linear binding: the two ratios are about equal)\n");
}
