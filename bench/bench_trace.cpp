// The tracing front end on a generated A4 line-art page, scanned in grey with specks, at 300 and
// 600 dpi:
// - one threshold preview and one speck removal (ink and paper specks of 2 pixels), beside a
//   plain pass over the same pixels (a copy of the picture's rows);
// - the whole trace through the front end (the tracer's picture written, doru run, its result
//   read, filtered and placed), beside doru alone on the same picture in the same run.
// Peak memory: the bench process's own and the largest tracer child's, per image pixel.
#include "Bitmap32.h"
#include "Bmp2Vector.h"
#include "LineArtPage.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVVariabili.h"
#include "TracePixels.h"
#include "TracingSupport.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <filesystem>
#include <map>
#include <sys/resource.h>

namespace {

// The page as a grey scan: ink about 40, paper about 235, with a few dark and light specks.
const TMemoryBitmap32& Scan(int Dpi)
{
    static std::map<int, TMemoryBitmap32> scans;
    auto [it, made] = scans.try_emplace(Dpi);
    if (made) {
        const TPage page = MakePage(Dpi);
        TMemoryBitmap32& b = it->second;
        b.SetSize(page.W, page.H);
        std::mt19937 rng(Dpi);
        for (int y = 0; y < page.H; ++y) {
            uint8_t* row = b.ScanLine(y);
            for (int x = 0; x < page.W; ++x) {
                const int grey = (page.Bits.Ink(x, y) ? 40 : 235) + int(rng() % 11) - 5;
                const uint32_t v = 0xFF000000u | uint32_t(grey) * 0x010101u;
                std::memcpy(row + 4 * x, &v, 4);
            }
        }
        for (int i = 0; i < page.W * page.H / 20000; ++i) {
            const int x = int(rng() % page.W), y = int(rng() % page.H);
            b.SetPixel(x, y, i % 2 ? 0xFF101010 : 0xFFF0F0F0);
        }
    }
    return it->second;
}

void Pixels(benchmark::State& State, const TBitmap32& B)
{
    State.counters["Mpx"] = double(B.Width()) * B.Height() / 1e6;
}

void BM_CopyRows(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 target(source.Width(), source.Height());
    for (auto _ : State) {
        for (int y = 0; y < source.Height(); ++y)
            std::memcpy(target.ScanLine(y), source.ScanLine(y), size_t(4) * source.Width());
        benchmark::ClobberMemory();
    }
    Pixels(State, source);
}
BENCHMARK(BM_CopyRows)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

void BM_Threshold(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 target(source.Width(), source.Height());
    for (auto _ : State) {
        ThresholdBitmap(source, target, 128, 127, 126, InkPixel, PaperPixel);
        benchmark::ClobberMemory();
    }
    Pixels(State, source);
}
BENCHMARK(BM_Threshold)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// One removal of ink specks and one of paper specks, each on a fresh threshold picture.
void BM_RemoveSpecks(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 thresholded(source.Width(), source.Height()), work;
    ThresholdBitmap(source, thresholded, 128, 127, 126, InkPixel, PaperPixel);
    const bool white = State.range(1) != 0;
    for (auto _ : State) {
        State.PauseTiming();
        work.Assign(thresholded);
        State.ResumeTiming();
        RemoveSpecks(work, 2, white);
        benchmark::ClobberMemory();
    }
    Pixels(State, source);
}
BENCHMARK(BM_RemoveSpecks)
    ->Args({300, 0})
    ->Args({300, 1})
    ->Args({600, 0})
    ->Args({600, 1})
    ->Unit(benchmark::kMillisecond);

std::string Doru()
{
    return DORU_PATH;
}

std::string Folder()
{
    static const std::string folder = [] {
        const std::string& f = InitTempPath();
        return f;
    }();
    return folder;
}

void PeakCounters(benchmark::State& State, const TBitmap32& B)
{
    rusage self{}, children{};
    getrusage(RUSAGE_SELF, &self);
    getrusage(RUSAGE_CHILDREN, &children);
    const double px = double(B.Width()) * B.Height();
    State.counters["peak_self_B/px"] = double(self.ru_maxrss) * 1024 / px;
    State.counters["peak_doru_B/px"] = double(children.ru_maxrss) * 1024 / px;
}

// From the Vectorize command to the preview shown: picture, tracer, reading, filter, placement.
void BM_WholeTrace(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TQV_01Cmp2D drawing;
    TBitmap2D* image = drawing.AddObject(
        -1, std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{210, 297, 1}, source));
    TBmp2Vector front(drawing, *image, source, Folder(), Doru(), nullptr);
    TTraceSettings settings;
    front.ApplyThreshold(settings, false);
    TSpawnRunner runner;
    for (auto _ : State) {
        State.PauseTiming();
        front.ApplyThreshold(settings, false);
        State.ResumeTiming();
        if (!front.Vectorize(settings, runner))
            State.SkipWithError("the trace failed");
    }
    Pixels(State, source);
    PeakCounters(State, source);
}
BENCHMARK(BM_WholeTrace)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(3);

// doru alone on the picture the front end wrote.
void BM_DoruAlone(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 mono(source.Width(), source.Height());
    ThresholdBitmap(source, mono, 128, 127, 126, InkPixel, PaperPixel);
    const std::string bmp = Folder() + "alone.bmp", out = Folder() + "alone.tmp";
    SaveMonoBmp(bmp, mono);
    TSpawnRunner runner;
    for (auto _ : State)
        if (runner.Run(Doru(), {"-et", "0.1", "-fi", "1", "-ct", "90", "-outfile", out, bmp}).ExitCode != 0)
            State.SkipWithError("doru failed");
    Pixels(State, source);
}
BENCHMARK(BM_DoruAlone)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveTempPath();
    return 0;
}
