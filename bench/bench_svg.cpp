// A generated SVG file of 50 MB of paths imported into a drawing, beside rsvg-convert rendering
// the same file to PNG in the same run. Each side runs as a process of its own, measured alike
// by its wall time and its peak resident memory; the file's pages are dropped from the cache
// before each run. The paths are what tracers and drawing programs write: groups with a
// transform and a fill colour, paths of relative lines and cubic curves with two decimals.
//
// Usage: bench_svg            the comparison
//        bench_svg write F    only the file, for profiling an import
//        bench_svg import F   one import of F (what the comparison runs as its own process)
#include "FreshProcess.h"
#include "QVCmp.h"
#include "SvgParser.h"
#include "SvgPathRenderer.h"
#include "UnitSVG.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int Runs = 3;
constexpr long SvgBytes = 50'000'000;
constexpr int Canvas = 2000; // the document's width and height

std::string PathOf(const char* Name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-svg-" + std::to_string(getpid()) + Name;
}

struct TGenerated {
    long Paths = 0, Lines = 0, Curves = 0;
    // The points the path data gives: each move, line end and curve point.
    long PathPoints() const { return Paths + Lines + 3 * Curves; }
    // The points of the drawing: each curve flattened into 49 after its start, each outline
    // closed by its first point again.
    long DrawingPoints() const { return 2 * Paths + Lines + 49 * Curves; }
};

// Groups of 100 paths, each a closed outline of 12 to 40 segments, half of them curves.
TGenerated WriteSvg(const std::string& Name)
{
    std::FILE* f = std::fopen(Name.c_str(), "wb");
    if (!f)
        std::abort();
    std::fprintf(f,
                 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                 "width=\"%d\" height=\"%d\" viewBox=\"0 0 %d %d\">\n",
                 Canvas, Canvas, Canvas, Canvas);
    TGenerated g;
    uint32_t seed = 12345;
    const auto next = [&seed](int Range) {
        seed = seed * 1664525u + 1013904223u;
        return int(seed >> 8) % Range;
    };
    while (std::ftell(f) < SvgBytes) {
        std::fprintf(f, "<g transform=\"translate(%d,%d) scale(0.1,0.1)\" fill=\"#%06x\" stroke=\"none\">\n",
                     next(Canvas - 100), next(Canvas - 100), next(0x1000000));
        for (int p = 0; p < 100; ++p, ++g.Paths) {
            std::fprintf(f, "<path d=\"M%d.%02d %d.%02d", next(1000), next(100), next(1000), next(100));
            const int segments = 12 + next(29);
            for (int s = 0; s < segments; ++s) {
                if (next(2)) {
                    std::fprintf(f, "l%d.%02d %d.%02d", next(60) - 30, next(100), next(60) - 30, next(100));
                    ++g.Lines;
                } else {
                    std::fprintf(f, "c%d.%02d %d.%02d %d.%02d %d.%02d %d.%02d %d.%02d", next(40) - 20,
                                 next(100), next(40) - 20, next(100), next(60) - 30, next(100), next(60) - 30,
                                 next(100), next(60) - 30, next(100), next(60) - 30, next(100));
                    ++g.Curves;
                }
            }
            std::fputs("z\"/>\n", f);
        }
        std::fputs("</g>\n", f);
    }
    std::fputs("</svg>\n", f);
    std::fclose(f);
    return g;
}

struct TRun {
    double Seconds = 0;
    double PeakMiB = 0;
};

// Runs Argv as a new process and waits for it: its wall time and peak resident memory.
TRun RunProcess(std::vector<std::string> Argv)
{
    std::vector<char*> args;
    for (std::string& a : Argv)
        args.push_back(a.data());
    args.push_back(nullptr);
    std::fflush(nullptr);
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0)
        std::abort();
    if (child == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(child, &status, 0, &usage);
    TRun r;
    r.Seconds = Since(t0);
    r.PeakMiB = double(usage.ru_maxrss) / 1024;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", Argv[0].c_str());
        std::exit(1);
    }
    return r;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Print(const char* What, const std::vector<TRun>& Runs)
{
    std::vector<double> s, m;
    std::printf("%-22s", What);
    for (const TRun& r : Runs) {
        std::printf(" %7.0f ms", r.Seconds * 1e3);
        s.push_back(r.Seconds);
        m.push_back(r.PeakMiB);
    }
    std::printf("   median %7.0f ms, peak %6.0f MiB\n", Median(s) * 1e3, Median(m));
}

// One import, as the comparison's own process: the file parsed and converted into a drawing.
int ImportOnce(const char* Name)
{
    auto drawing = std::make_unique<TQV_01Cmp2D>();
    path_renderer paths;
    const auto t0 = std::chrono::steady_clock::now();
    {
        svg_parser parser(paths);
        parser.parse(Name);
    }
    const double parsed = Since(t0);
    ImportSvgPaths(*drawing, paths);
    const double done = Since(t0);
    std::printf("  import: parsed %.0f ms, %u vertices stored; converted %.0f ms, %d objects\n", parsed * 1e3,
                paths.storage().total_vertices(), (done - parsed) * 1e3, drawing->ObjectsCount());
    // Freeing is not part of an open: the program keeps the drawing.
    std::fflush(nullptr);
    ::_exit(0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 3 && std::string(argv[1]) == "import")
        return ImportOnce(argv[2]);
    if (argc == 3 && std::string(argv[1]) == "write") {
        const TGenerated g = WriteSvg(argv[2]);
        std::printf("%ld paths, %ld path points\n", g.Paths, g.PathPoints());
        return 0;
    }
    const std::string svg = PathOf(".svg"), png = PathOf(".png");
    const TGenerated g = WriteSvg(svg);
    std::vector<TRun> import, rsvg;
    for (int run = 0; run < Runs; ++run) {
        Evict(svg);
        import.push_back(RunProcess({argv[0], "import", svg}));
        Evict(svg);
        rsvg.push_back(RunProcess({"rsvg-convert", "-o", png, svg}));
    }
    long bytes = 0;
    if (std::FILE* f = std::fopen(svg.c_str(), "rb")) {
        std::fseek(f, 0, SEEK_END);
        bytes = std::ftell(f);
        std::fclose(f);
    }
    std::printf("SVG of %ld bytes: %ld paths, %ld lines, %ld cubic curves, %ld path points; rendered to a "
                "%d x %d PNG; each run a new process, the file not cached\n",
                bytes, g.Paths, g.Lines, g.Curves, g.PathPoints(), Canvas, Canvas);
    Print("import", import);
    Print("rsvg-convert", rsvg);
    std::vector<double> a, b, m;
    for (int i = 0; i < Runs; ++i) {
        a.push_back(import[size_t(i)].Seconds);
        b.push_back(rsvg[size_t(i)].Seconds);
        m.push_back(import[size_t(i)].PeakMiB);
    }
    std::printf("import / rsvg-convert: %.2fx (goal <= 1x)\n", Median(a) / Median(b));
    // Each drawing point is three doubles: what taking that much new memory alone costs.
    const size_t pointBytes = size_t(g.DrawingPoints()) * 24;
    std::printf(
        "the drawing's %ld points: touching their %zu MB of new memory in 4 KiB pages takes %.0f ms\n",
        g.DrawingPoints(), pointBytes >> 20, FreshMemorySeconds(pointBytes) * 1e3);
    std::printf("import peak memory per path point: %.0f bytes (the file: %.1f bytes per path point)\n",
                Median(m) * 1024 * 1024 / double(g.PathPoints()), double(bytes) / double(g.PathPoints()));
    std::remove(svg.c_str());
    std::remove(png.c_str());
    return 0;
}
