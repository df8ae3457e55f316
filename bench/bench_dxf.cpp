// Reading a generated 100 MB DXF (LINE, ARC and LWPOLYLINE entities) through the group reader
// and importing it into a drawing, beside a plain read of the same file in the same run; and
// importing lines on 300 layers beside the same lines on one. "MB/s"
// is the throughput of each; "reader_over_plain" and "import_over_plain" are their times over
// the plain read's (goal: 5 or less); "peak_MB" is the process's peak resident memory after the
// run, which for the import holds the whole drawing.
#include "QVCmp.h"
#include "QVDXF.h"
#include "QVDXFImport.h"

#include <benchmark/benchmark.h>

#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr size_t TargetBytes = size_t(100) << 20;

// A new file in the temporary folder, open for writing; Name is kept to be removed at exit.
std::FILE* NewBenchFile(std::string& Name)
{
    static std::vector<std::string*> made;
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0)
        std::abort();
    Name = pattern;
    if (made.empty())
        std::atexit([] {
            for (const std::string* n : made)
                std::remove(n->c_str());
        });
    made.push_back(&Name);
    return ::fdopen(fd, "wb");
}

// The file is written once per process into the temporary folder and removed at exit.
const std::string& BenchFile()
{
    static std::string name;
    if (!name.empty())
        return name;
    std::FILE* f = NewBenchFile(name);
    std::fputs("  0\r\nSECTION\r\n  2\r\nHEADER\r\n  9\r\n$ACADVER\r\n  1\r\nAC1015\r\n  0\r\nENDSEC\r\n"
               "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n",
               f);
    size_t written = 0;
    unsigned handle = 0x100;
    for (int i = 0; written < TargetBytes; ++i) {
        const double x = (i % 1000) * 1.25, y = (i / 1000) * 0.75;
        int n = 0;
        switch (i % 3) {
        case 0:
            n = std::fprintf(f, "  0\r\nLINE\r\n  5\r\n%X\r\n100\r\nAcDbEntity\r\n  8\r\n0\r\n100\r\nAcDbLine\r\n"
                                " 10\r\n%.6f\r\n 20\r\n%.6f\r\n 30\r\n0.0\r\n 11\r\n%.6f\r\n 21\r\n%.6f\r\n 31\r\n0.0\r\n",
                             handle++, x, y, x + 3.5, y + 1.25);
            break;
        case 1:
            n = std::fprintf(f, "  0\r\nARC\r\n  5\r\n%X\r\n100\r\nAcDbEntity\r\n  8\r\nCUT\r\n100\r\nAcDbCircle\r\n"
                                " 10\r\n%.6f\r\n 20\r\n%.6f\r\n 30\r\n0.0\r\n 40\r\n2.5\r\n100\r\nAcDbArc\r\n"
                                " 50\r\n15.0\r\n 51\r\n195.0\r\n",
                             handle++, x, y);
            break;
        default:
            n = std::fprintf(f, "  0\r\nLWPOLYLINE\r\n  5\r\n%X\r\n100\r\nAcDbEntity\r\n  8\r\n0\r\n"
                                "100\r\nAcDbPolyline\r\n 90\r\n        4\r\n 70\r\n     1\r\n",
                             handle++);
            for (int k = 0; k < 4; ++k)
                n += std::fprintf(f, " 10\r\n%.6f\r\n 20\r\n%.6f\r\n 42\r\n0.0\r\n", x + k, y + (k % 2));
            break;
        }
        written += static_cast<size_t>(n);
    }
    std::fputs("  0\r\nENDSEC\r\n  0\r\nEOF\r\n", f);
    std::fclose(f);
    return name;
}

size_t FileSize(const std::string& Name)
{
    std::FILE* f = std::fopen(Name.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return static_cast<size_t>(n);
}

// The reference: read the file in 1 MiB chunks and count its lines. One buffer serves every
// call, as the importer's reader reuses its own.
size_t PlainRead(const std::string& Name)
{
    static std::vector<char> buf(size_t(1) << 20);
    std::FILE* f = std::fopen(Name.c_str(), "rb");
    size_t lines = 0, n;
    while ((n = std::fread(buf.data(), 1, buf.size(), f)) > 0)
        for (const char* p = buf.data(); (p = static_cast<const char*>(std::memchr(p, '\n', n - (p - buf.data()))));
             ++p)
            ++lines;
    std::fclose(f);
    return lines;
}

// What an importer does: walk the sections and read every record.
size_t ReaderWalk(const std::string& Name)
{
    TDXFRead r(Name);
    TDXFRecord rec;
    size_t records = 0;
    while (r.Section != TDXFSection::None) {
        const int stop = r.Section == TDXFSection::Header ? 9 : 0;
        while (!r.AtEnd() && !(r.Code == 0 && r.Value.IsText("ENDSEC"))) {
            if (r.ReadRecord(stop, rec) == 0 && stop == 9)
                break;
            ++records;
        }
        r.NextSection();
    }
    return records;
}

double PeakMB()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

void BM_PlainRead(benchmark::State& state)
{
    const std::string& name = BenchFile();
    for (auto _ : state)
        benchmark::DoNotOptimize(PlainRead(name));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(name)));
}

void BM_GroupReader(benchmark::State& state)
{
    const std::string& name = BenchFile();
    size_t records = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(records = ReaderWalk(name));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * FileSize(name)));
    state.counters["records"] = static_cast<double>(records);
    state.counters["peak_MB"] = PeakMB();
}

// Both reads timed alternately in one loop, so the ratio compares like with like.
void BM_ReaderOverPlain(benchmark::State& state)
{
    const std::string& name = BenchFile();
    double plain = 0, reader = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(PlainRead(name));
        const auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(ReaderWalk(name));
        const auto t2 = std::chrono::steady_clock::now();
        plain += std::chrono::duration<double>(t1 - t0).count();
        reader += std::chrono::duration<double>(t2 - t1).count();
    }
    const double mb = static_cast<double>(FileSize(name)) / (1 << 20) * static_cast<double>(state.iterations());
    state.counters["plain_MB/s"] = mb / plain;
    state.counters["reader_MB/s"] = mb / reader;
    state.counters["reader_over_plain"] = reader / plain;
    state.counters["peak_MB"] = PeakMB();
}

// The whole import: header, sections, every entity made into a drawing object and added. The
// drawing is freed outside the timing.
void BM_ImportOverPlain(benchmark::State& state)
{
    const std::string& name = BenchFile();
    double plain = 0, import = 0;
    int32_t objects = 0;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(PlainRead(name));
        const auto t1 = std::chrono::steady_clock::now();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        {
            TDXF2DImport imp(name, drawing.get());
            imp.Import();
        }
        const auto t2 = std::chrono::steady_clock::now();
        objects = drawing->ObjectsCount();
        drawing.reset();
        plain += std::chrono::duration<double>(t1 - t0).count();
        import += std::chrono::duration<double>(t2 - t1).count();
    }
    const double mb = static_cast<double>(FileSize(name)) / (1 << 20) * static_cast<double>(state.iterations());
    state.counters["plain_MB/s"] = mb / plain;
    state.counters["import_MB/s"] = mb / import;
    state.counters["import_over_plain"] = import / plain;
    state.counters["objects"] = objects;
    state.counters["peak_MB"] = PeakMB();
}

// Lines on Layers layers named L000 ... in a table of as many, each line on another layer than
// the line before when there are several; written once per count into the temporary folder.
const std::string& LayersFile(int Layers)
{
    static std::string names[2];
    std::string& name = names[Layers > 1];
    if (!name.empty())
        return name;
    std::FILE* f = NewBenchFile(name);
    std::fputs("0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n", f);
    for (int i = 0; i < Layers; ++i)
        std::fprintf(f, "0\nLAYER\n2\nL%03d\n70\n0\n62\n%d\n", i, 1 + i % 255);
    std::fputs("0\nENDTAB\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n", f);
    for (int i = 0; i < 300'000; ++i)
        std::fprintf(f, "0\nLINE\n8\nl%03d\n10\n%.3f\n20\n%.3f\n11\n%.3f\n21\n%.3f\n", (i * 7) % Layers,
                     (i % 1000) * 1.5, (i / 1000) * 0.5, (i % 1000) * 1.5 + 1, (i / 1000) * 0.5 + 0.25);
    std::fputs("0\nENDSEC\n0\nEOF\n", f);
    std::fclose(f);
    return name;
}

double ImportSeconds(const std::string& Name)
{
    auto drawing = std::make_unique<TQV_01Cmp2D>();
    const auto t0 = std::chrono::steady_clock::now();
    {
        TDXF2DImport imp(Name, drawing.get());
        imp.Import();
    }
    const double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    drawing.reset();
    return s;
}

// A drawing of 300 layers, each line on another layer than the one before (and named in other
// letters than its table entry), beside the same lines on the one layer of a table of one,
// imported alternately in one loop: the layer of each line is looked up by name.
void BM_ImportLayersOverOne(benchmark::State& state)
{
    const std::string& many = LayersFile(300);
    const std::string& one = LayersFile(1);
    double manySeconds = 0, oneSeconds = 0;
    for (auto _ : state) {
        oneSeconds += ImportSeconds(one);
        manySeconds += ImportSeconds(many);
    }
    state.counters["one_layer_ms"] = oneSeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["300_layers_ms"] = manySeconds * 1e3 / static_cast<double>(state.iterations());
    state.counters["300_over_one"] = manySeconds / oneSeconds;
}

} // namespace

BENCHMARK(BM_PlainRead)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GroupReader)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReaderOverPlain)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_ImportOverPlain)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(BM_ImportLayersOverOne)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK_MAIN();
