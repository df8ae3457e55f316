// The tracing front end on a generated A4 line-art page, scanned in grey with specks, at 300 and
// 600 dpi:
// - one threshold preview and one speck removal (ink and paper specks of 2 pixels), beside a
//   plain pass over the same pixels (a copy of the picture's rows);
// - the whole trace through the front end (the tracer's picture written, doru run, its result
//   read, filtered and placed), beside doru alone on the same picture in the same run.
// Peak memory per image pixel: what the front end adds during the command, and doru's own.
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
#include <fstream>
#include <map>
#include <sys/resource.h>
#include <unistd.h>

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

// Peak memory. A child's own peak is only its own when it was started from a small process (a
// child started from this one counts this one's size at its start), so the tracer runs are
// started by a launcher forked before anything large is made; it answers each run's exit code
// and the tracer's peak. This process's own peak during a command is its high-water mark reset
// just before the command (/proc/self/clear_refs), less what it held then.
struct TLauncher {
    int Ask = -1, Answer = -1;
} Launcher;

void StartLauncher()
{
    int ask[2], answer[2];
    if (pipe(ask) != 0 || pipe(answer) != 0)
        return;
    if (fork() == 0) {
        close(ask[1]);
        close(answer[0]);
        uint32_t size = 0;
        while (read(ask[0], &size, 4) == 4) {
            std::string packed(size, '\0');
            if (read(ask[0], packed.data(), size) != ssize_t(size))
                break;
            std::vector<std::string> items;
            for (size_t at = 0; at < packed.size();) {
                const size_t end = packed.find('\0', at);
                items.push_back(packed.substr(at, end - at));
                at = end + 1;
            }
            TSpawnRunner runner;
            const TTracerRun run = runner.Run(items[0], {items.begin() + 1, items.end()});
            rusage children{};
            getrusage(RUSAGE_CHILDREN, &children);
            const long reply[2] = {run.End == TTracerRun::TEnd::Exited ? run.ExitCode : -1,
                                   children.ru_maxrss};
            if (write(answer[1], reply, sizeof reply) != ssize_t(sizeof reply))
                break;
        }
        _exit(0);
    }
    close(ask[0]);
    close(answer[1]);
    Launcher = {ask[1], answer[0]};
}

class TLaunchedRunner : public TTracerRunner {
public:
    TTracerRun Run(const std::string& Program, const std::vector<std::string>& Arguments) override
    {
        std::string packed = Program + '\0';
        for (const std::string& a : Arguments)
            packed += a + '\0';
        const uint32_t size = uint32_t(packed.size());
        long reply[2] = {-1, 0};
        TTracerRun run;
        if (write(Launcher.Ask, &size, 4) != 4 || write(Launcher.Ask, packed.data(), size) != ssize_t(size) ||
            read(Launcher.Answer, reply, sizeof reply) != ssize_t(sizeof reply)) {
            run.End = TTracerRun::TEnd::NotStarted;
            return run;
        }
        run.ExitCode = int(reply[0]);
        PeakKiB = std::max(PeakKiB, reply[1]);
        return run;
    }
    long PeakKiB = 0;
};

long StatusKiB(const char* Key)
{
    std::ifstream in("/proc/self/status");
    std::string word;
    while (in >> word)
        if (word == Key) {
            long kib = 0;
            in >> kib;
            return kib;
        }
    return 0;
}

// Resets the high-water mark; answers the resident size it starts from.
long ResetPeak()
{
    std::ofstream("/proc/self/clear_refs") << "5";
    return StatusKiB("VmRSS:");
}

// The picture the tracer reads, written into the private folder.
void BM_SaveMonoBmp(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 mono(source.Width(), source.Height());
    ThresholdBitmap(source, mono, 128, 127, 126, InkPixel, PaperPixel);
    for (auto _ : State)
        SaveMonoBmp(Folder() + "save.bmp", mono);
    Pixels(State, source);
}
BENCHMARK(BM_SaveMonoBmp)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// A few whole traces at each resolution, their median reported: other work on the machine
// moves single runs.
void TraceRuns(benchmark::internal::Benchmark* B)
{
    B->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond)->Iterations(3)->Repetitions(3)->ReportAggregatesOnly(true);
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
    TLaunchedRunner runner;
    long added = 0;
    for (auto _ : State) {
        State.PauseTiming();
        front.ApplyThreshold(settings, false);
        const long before = ResetPeak();
        State.ResumeTiming();
        if (!front.Vectorize(settings, runner))
            State.SkipWithError("the trace failed");
        added = std::max(added, StatusKiB("VmHWM:") - before);
    }
    Pixels(State, source);
    const double px = double(source.Width()) * source.Height();
    // The picture's two copies (untouched and shown) are the opened file's, 8 bytes a pixel.
    State.counters["front_extra_B_per_px"] = double(added) * 1024 / px;
    State.counters["doru_peak_B_per_px"] = double(runner.PeakKiB) * 1024 / px;
}
BENCHMARK(BM_WholeTrace)->Apply(TraceRuns);

// doru alone on the picture the front end wrote.
void BM_DoruAlone(benchmark::State& State)
{
    const TMemoryBitmap32& source = Scan(int(State.range(0)));
    TMemoryBitmap32 mono(source.Width(), source.Height());
    ThresholdBitmap(source, mono, 128, 127, 126, InkPixel, PaperPixel);
    const std::string bmp = Folder() + "alone.bmp", out = Folder() + "alone.tmp";
    SaveMonoBmp(bmp, mono);
    TLaunchedRunner runner;
    for (auto _ : State)
        if (runner.Run(Doru(), {"-et", "0.1", "-fi", "1", "-ct", "90", "-outfile", out, bmp}).ExitCode != 0)
            State.SkipWithError("doru failed");
    Pixels(State, source);
}
BENCHMARK(BM_DoruAlone)->Apply(TraceRuns);

} // namespace

int main(int argc, char** argv)
{
    StartLauncher();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    RemoveTempPath();
    return 0;
}
