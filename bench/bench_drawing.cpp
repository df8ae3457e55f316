// Saving and loading a large traced drawing (1,000,000 lines and 100,000 polylines of 50 points)
// as a native drawing file, beside a plain sequential write and read of the same number of bytes
// to the same folder: the ratio to that physical limit is printed at the end (goal: within 3x).
// Also the peak resident memory per object, and finding an object by ID at 10k and 1M objects
// (constant time: the two per-lookup times should match).
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "TracedDrawing.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <sys/mman.h>
#include <sys/resource.h>
#include <unordered_map>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int32_t Polylines = 100'000;

double PeakRssBytes()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) * 1024.0;  // Linux reports kilobytes
}

// The current and the peak resident memory of the process, from /proc (kilobytes there).
double StatusBytes(const char* field)
{
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f)
        return 0;
    char line[256];
    double kb = 0;
    const size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, field, n) == 0 && line[n] == ':')
            kb = std::atof(line + n + 1);
    std::fclose(f);
    return kb * 1024.0;
}

// Lowers the process's peak resident memory to the current one, so the next peak is a phase's own.
void ResetPeakRss()
{
    if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
}

std::string Folder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
}

const std::string& DrawingPath()
{
    static const std::string path = Folder() + "/rastrel-bench-" + std::to_string(getpid()) + ".pnc";
    return path;
}

const std::string& PlainPath()
{
    static const std::string path = Folder() + "/rastrel-bench-plain-" + std::to_string(getpid()) + ".bin";
    return path;
}

// The big drawing, built once; the memory it took is measured around its building.
struct TBigDrawing {
    TBigDrawing()
    {
        RegisterDrawingClasses();
        const double before = PeakRssBytes();
        FillTracedDrawing(Drawing, Lines, Polylines);
        BytesPerObject = (PeakRssBytes() - before) / (Lines + Polylines);
    }
    TQV_01Cmp2D Drawing;
    double BytesPerObject = 0;
};

TBigDrawing& Big()
{
    static TBigDrawing big;
    return big;
}

// Seconds per iteration and bytes moved, by benchmark, for the closing comparison.
std::map<std::string, std::pair<double, double>> Results;

void Record(benchmark::State& state, const std::string& name, double seconds, double bytes)
{
    const double per = seconds / static_cast<double>(state.iterations());
    Results[name] = {per, bytes};
    state.counters["MB_per_s"] = bytes / per / 1e6;
    state.counters["MB"] = bytes / 1e6;
}

size_t FileSize(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return 0;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return static_cast<size_t>(n);
}

void BM_SaveToFile(benchmark::State& state)
{
    TBigDrawing& big = Big();
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        big.Drawing.SaveToFile(DrawingPath());
        seconds += Since(t0);
    }
    Record(state, "save", seconds, static_cast<double>(FileSize(DrawingPath())));
    state.counters["peak_RSS_bytes_per_object"] = big.BytesPerObject;
}

// The stream made in memory only: the part of a save that is not the file.
void BM_SaveToStream(benchmark::State& state)
{
    TBigDrawing& big = Big();
    for (auto _ : state) {
        TStreamWriter w;
        big.Drawing.SaveToStream(w);
        benchmark::DoNotOptimize(w.Bytes().data());
    }
}

// The same number of bytes written in one sequential pass to a new file, synced and closed.
// A save writes a new file while the old one still exists; the kernel then needs fresh cache
// pages, which on this kind of machine costs several times more than rewriting a file just
// deleted (whose pages it reuses). So each iteration writes a new file and keeps the earlier
// ones until the end, as a save keeps the old drawing.
void BM_PlainWrite(benchmark::State& state)
{
    const size_t size = FileSize(DrawingPath());
    const std::vector<uint8_t> bytes(size, 0x5A);
    double seconds = 0;
    std::vector<std::string> written;
    for (auto _ : state) {
        written.push_back(PlainPath() + "." + std::to_string(written.size()));
        const auto t0 = std::chrono::steady_clock::now();
        const int fd = ::open(written.back().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        size_t done = 0;
        while (done < size) {
            const ssize_t n = ::write(fd, bytes.data() + done, size - done);
            if (n <= 0)
                std::abort();
            done += static_cast<size_t>(n);
        }
        ::fsync(fd);
        ::close(fd);
        seconds += Since(t0);
    }
    Record(state, "write", seconds, static_cast<double>(size));
    // The last one is read back by BM_PlainRead.
    std::rename(written.back().c_str(), PlainPath().c_str());
    for (const std::string& path : written)
        std::remove(path.c_str());
}

// The resident memory a load adds at its peak (the file's bytes and the objects), per object.
double LoadBytesPerObject = 0;
// The first load takes fresh pages from the kernel for its objects; later ones reuse the pages
// the previous drawing freed, as opening a second drawing does.
std::vector<double> LoadSeconds;

void BM_LoadFromFile(benchmark::State& state)
{
    Big();
    double seconds = 0;
    for (auto _ : state) {
        auto d = std::make_unique<TQV_01Cmp2D>();
        Evict(DrawingPath());
        ResetPeakRss();
        const double before = StatusBytes("VmRSS");
        const auto t0 = std::chrono::steady_clock::now();
        d->LoadFromFile(DrawingPath(), false);
        LoadSeconds.push_back(Since(t0));
        seconds += LoadSeconds.back();
        // The first load's: later ones reuse memory the earlier freed.
        LoadBytesPerObject = std::max(LoadBytesPerObject, (StatusBytes("VmHWM") - before) / (Lines + Polylines));
        if (d->ObjectsCount() != Lines + Polylines)
            std::abort();
        state.PauseTiming();
        d.reset();
        state.ResumeTiming();
    }
    Record(state, "load", seconds, static_cast<double>(FileSize(DrawingPath())));
    state.counters["peak_RSS_MB"] = PeakRssBytes() / 1e6;
    state.counters["load_peak_RSS_bytes_per_object"] = LoadBytesPerObject;
}

// Taking as many fresh pages from the kernel as a load adds, and writing one byte to each:
// what a first load pays for its objects' memory, whatever it stores there.
void BM_FreshMemory(benchmark::State& state)
{
    const auto bytes = static_cast<size_t>(LoadBytesPerObject * (Lines + Polylines));
    double seconds = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        void* p = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (p == MAP_FAILED)
            std::abort();
        auto* bytesAt = static_cast<volatile uint8_t*>(p);
        for (size_t i = 0; i < bytes; i += 4096)
            bytesAt[i] = 1;
        seconds += Since(t0);
        ::munmap(p, bytes);
    }
    Record(state, "fresh", seconds, static_cast<double>(bytes));
}

void BM_PlainRead(benchmark::State& state)
{
    double seconds = 0;
    size_t total = 0;
    std::vector<uint8_t> buffer(1 << 20);
    for (auto _ : state) {
        state.PauseTiming();
        Evict(PlainPath());
        state.ResumeTiming();
        const auto t0 = std::chrono::steady_clock::now();
        const int fd = ::open(PlainPath().c_str(), O_RDONLY);
        total = 0;
        for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
            total += static_cast<size_t>(n);
        ::close(fd);
        seconds += Since(t0);
        benchmark::DoNotOptimize(buffer.data());
    }
    Record(state, "read", seconds, static_cast<double>(total));
}

// Random IDs of a drawing of n objects.
std::vector<int32_t> RandomIds(int32_t n)
{
    std::vector<int32_t> ids(1 << 16);
    std::mt19937 rng(3);
    std::uniform_int_distribution<int32_t> pick(0, n - 1);
    for (int32_t& id : ids)
        id = pick(rng);
    return ids;
}

// GetObject by random IDs (the untyped lookup; the typed one adds a dynamic_cast). Its time per
// lookup grows from 10k to 1M objects as a plain hash map's does (cache and TLB misses), not
// with the count: see BM_HashMapReference.
void BM_FindObject(benchmark::State& state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    std::unique_ptr<TQV_01Cmp2D> small;
    TQV_01Cmp* d = &Big().Drawing;
    if (n != Lines + Polylines) {
        small = std::make_unique<TQV_01Cmp2D>();
        FillTracedDrawing(*small, n, 0);
        d = small.get();
    }
    const std::vector<int32_t> ids = RandomIds(n);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(d->GetObject(ids[i])->ID);
        i = (i + 1) & (ids.size() - 1);
    }
}

// The same lookups in a std::unordered_map from ID to separately allocated objects.
void BM_HashMapReference(benchmark::State& state)
{
    const auto n = static_cast<int32_t>(state.range(0));
    std::vector<std::unique_ptr<TLine2D>> objects;
    std::unordered_map<int32_t, TGraphicObject*> index;
    for (int32_t id = 0; id < n; ++id) {
        objects.push_back(std::make_unique<TLine2D>(id, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}));
        index.emplace(id, objects.back().get());
    }
    const std::vector<int32_t> ids = RandomIds(n);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(index.find(ids[i])->second->ID);
        i = (i + 1) & (ids.size() - 1);
    }
}

void PrintRatios()
{
    const auto ratio = [](const char* ours, const char* plain) {
        const auto a = Results.find(ours), b = Results.find(plain);
        if (a == Results.end() || b == Results.end())
            return;
        const double mbA = a->second.second / a->second.first / 1e6;
        const double mbB = b->second.second / b->second.first / 1e6;
        std::printf("%-5s %8.1f MB/s   plain %-5s %8.1f MB/s   ratio %.2fx (goal <= 3x)\n", ours, mbA, plain, mbB,
                    a->second.first / b->second.first);
    };
    // Both reads start with the file's pages dropped from the page cache; both writes make a new
    // file and end with fsync.
    std::printf("same folder, same run; reads start from a dropped page cache, writes end with fsync\n");
    ratio("save", "write");
    ratio("load", "read");
    if (!LoadSeconds.empty()) {
        std::printf("load times:");
        for (double t : LoadSeconds)
            std::printf(" %.0f ms", t * 1e3);
        std::printf(" (the first into fresh memory)\n");
        const auto read = Results.find("read"), fresh = Results.find("fresh");
        if (read != Results.end() && fresh != Results.end()) {
            const double first = LoadSeconds.front(), later = LoadSeconds.back();
            std::printf("first load %.2fx the plain read; a later one (memory reused) %.2fx\n",
                        first / read->second.first, later / read->second.first);
            std::printf("fresh memory of the load's size (%.0f MB): %.0f ms; first load / (plain read + fresh memory) "
                        "%.2fx\n",
                        fresh->second.second / 1e6, fresh->second.first * 1e3,
                        first / (read->second.first + fresh->second.first));
        }
    }
    std::printf("peak resident memory of the built drawing: %.0f bytes per object\n", Big().BytesPerObject);
    std::printf("peak resident memory a load adds (file bytes and objects): %.0f bytes per object\n",
                LoadBytesPerObject);
    // What one object of the common classes takes before its heap blocks (ABI-dependent).
    std::printf("object sizes: TGraphicObject %zu, TObject2D %zu, TPointsSet2D %zu, TLine2D %zu, "
                "TPolyline2D %zu bytes\n",
                sizeof(TGraphicObject), sizeof(TObject2D), sizeof(TPointsSet2D), sizeof(TLine2D),
                sizeof(TPolyline2D));
}

}  // namespace

BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_SaveToStream)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PlainWrite)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FreshMemory)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_FindObject)->Arg(10'000)->Arg(Lines + Polylines);
BENCHMARK(BM_HashMapReference)->Arg(10'000)->Arg(Lines + Polylines);

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintRatios();
    std::remove(DrawingPath().c_str());
    std::remove(PlainPath().c_str());
    return 0;
}
