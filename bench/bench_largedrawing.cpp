// What a large drawing costs when it first comes into a program: each figure is measured in a
// fresh process (FreshProcess.h), so that the memory it takes is new from the kernel, and beside
// a reference measured in the same run.
// - memory per object held by a drawing (lines, circles, arcs, 8-vertex polylines with bulges),
//   against the bytes of the data that defines the object (goal: a line under 100 bytes, a
//   circle or an arc under 200);
// - the first load of a drawing of 1,000,000 lines and 100,000 polylines of 50 points, against a
//   plain read of the file plus touching the memory the drawing needs at 100 bytes per line
//   (and its points for a polyline) (goal: within 5x);
// - the import of a DXF file of 1,000,000 LINEs, against a scan of its lines (goal: within 5x).
// Every timed read starts with the file's pages dropped from the page cache.
#include "BenchMemory.h"
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVDXFImport.h"
#include "QVEntity.h"
#include "QVRegistry.h"
#include "TracedDrawing.h"

#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int32_t Polylines = 100'000;
constexpr int32_t PolylinePoints = 50;

std::string TempPath(const char* name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-" + std::to_string(getpid()) + "-" +
           name;
}

// The resident bytes of the process once the object memory's supplier has its chunks ready and
// freed heap blocks went back: the same slack before and after a measured section.
double SettledRssBytes()
{
    ::malloc_trim(0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    return RssMiB() * 1024 * 1024;
}

// ---- memory per object ----

struct TMemoryCase {
    const char* Name;
    int32_t Count;
    double DefiningBytes; // what defines one object: its coordinates, radius, angles, bulges
    std::function<void(TQV_01Cmp2D&, int32_t)> Fill;
};

double Coord(int32_t i, int k)
{
    return (i % 1000) * 1.5 + k * 0.25 + (i / 1000) * 1e-3;
}

// Polylines of 8 vertices with a bulge on every closed segment, as a DXF file gives them.
std::string BulgedPolylinesDxf(int32_t n)
{
    std::string text = "  0\nSECTION\n  2\nENTITIES\n";
    char buffer[128];
    for (int32_t i = 0; i < n; ++i) {
        text += "  0\nLWPOLYLINE\n  8\n0\n 90\n8\n 70\n1\n";
        for (int k = 0; k < 8; ++k) {
            const double a = k * 0.785398163397448;
            std::snprintf(buffer, sizeof buffer, " 10\n%.6f\n 20\n%.6f\n 42\n0.25\n",
                          Coord(i, 0) + std::cos(a), Coord(i, 1) + std::sin(a));
            text += buffer;
        }
    }
    return text + "  0\nENDSEC\n  0\nEOF\n";
}

double BytesPerObject(const TMemoryCase& c)
{
    const TFirstUse r = InFreshProcess([&c] {
        RegisterDrawingClasses();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        const double before = SettledRssBytes();
        c.Fill(*drawing, c.Count);
        TFirstUse m;
        m.NewPages = (SettledRssBytes() - before) / 4096;
        if (drawing->ObjectsCount() != c.Count)
            std::abort();
        return m;
    });
    return r.NewBytes() / c.Count;
}

void MemoryPerObject()
{
    const TMemoryCase cases[] = {
        {"line", 1'000'000, 4 * 8,
         [](TQV_01Cmp2D& d, int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 d.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(Coord(i, 0), Coord(i, 1)),
                                                           MakePoint2D(Coord(i, 2), Coord(i, 3))));
         }},
        {"circle", 1'000'000, 3 * 8,
         [](TQV_01Cmp2D& d, int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 d.AddObject(-1, std::make_unique<TCerchio2D>(-1, MakePoint2D(Coord(i, 0), Coord(i, 1)),
                                                              MakePoint2D(Coord(i, 0) + 2, Coord(i, 1))));
         }},
        {"arc", 1'000'000, 5 * 8,
         [](TQV_01Cmp2D& d, int32_t n) {
             for (int32_t i = 0; i < n; ++i)
                 d.AddObject(-1,
                             std::make_unique<TArco2D>(-1, MakePoint2D(Coord(i, 0), Coord(i, 1)),
                                                       MakePoint2D(Coord(i, 0) + 2, Coord(i, 1)), 0.5, 2.5));
         }},
        {"8-vertex bulged polyline", 100'000, 8 * 3 * 8,
         [](TQV_01Cmp2D& d, int32_t n) {
             // The text and the reader go before the objects are counted.
             std::string text = BulgedPolylinesDxf(n);
             std::unique_ptr<TDXF2DImport> import = TDXF2DImport::FromText(text, &d);
             import->Import();
             import.reset();
             std::string().swap(text);
         }},
    };
    std::printf("memory per object held by a drawing (fresh process each)\n");
    for (const TMemoryCase& c : cases) {
        // The DXF text is made inside the measured section and freed again; only what stays counts.
        const double bytes = BytesPerObject(c);
        std::printf("  %-26s %8.0f B   defining data %4.0f B   ratio %6.1fx\n", c.Name, bytes,
                    c.DefiningBytes, bytes / c.DefiningBytes);
    }
}

// ---- first load ----

void PlainRead(const std::string& path)
{
    std::vector<char> buffer(size_t(1) << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
        ;
    ::close(fd);
}

// Lines of a text file, counted in 1 MiB pieces.
size_t ScanLines(const std::string& path)
{
    std::vector<char> buffer(size_t(1) << 20);
    const int fd = ::open(path.c_str(), O_RDONLY);
    size_t lines = 0;
    for (ssize_t n; (n = ::read(fd, buffer.data(), buffer.size())) > 0;)
        for (const char* p = buffer.data();
             (p = static_cast<const char*>(std::memchr(p, '\n', buffer.data() + n - p))); ++p)
            ++lines;
    ::close(fd);
    return lines;
}

void FirstLoad()
{
    const std::string path = TempPath("load.pnc");
    InFreshProcess([&path] {
        RegisterDrawingClasses();
        TQV_01Cmp2D d;
        FillTracedDrawing(d, Lines, Polylines);
        d.SaveToFile(path);
        return TFirstUse{};
    });
    const TFirstUse load = InFreshProcess([&path] {
        RegisterDrawingClasses();
        Evict(path);
        auto d = std::make_unique<TQV_01Cmp2D>();
        TFirstUse r = MeasureFirstUse([&] { d->LoadFromFile(path, false); });
        if (d->ObjectsCount() != Lines + Polylines)
            std::abort();
        return r;
    });
    // What the drawing needs at 100 bytes per line and per polyline plus its points.
    const size_t needed = size_t(100) * Lines + (100 + PolylinePoints * sizeof(TPoint2D)) * size_t(Polylines);
    const TFirstUse reference = InFreshProcess([&path, needed] {
        Evict(path);
        const auto t0 = std::chrono::steady_clock::now();
        PlainRead(path);
        TFirstUse r;
        r.Seconds = Since(t0) + FreshMemorySeconds(needed);
        return r;
    });
    std::printf("first load of %d lines and %d polylines of %d points (fresh process, file not cached)\n",
                Lines, Polylines, PolylinePoints);
    std::printf(
        "  load %8.0f ms (new memory %.0f MB)   plain read + touching %.0f MB of new memory %6.0f ms   "
        "ratio %.2fx (goal <= 5x)\n",
        load.Seconds * 1e3, load.NewBytes() / 1e6, needed / 1e6, reference.Seconds * 1e3,
        load.Seconds / reference.Seconds);
    std::remove(path.c_str());
}

// ---- DXF import ----

void DxfImport()
{
    const std::string path = TempPath("lines.dxf");
    {
        std::FILE* f = std::fopen(path.c_str(), "wb");
        std::fputs("  0\nSECTION\n  2\nENTITIES\n", f);
        for (int32_t i = 0; i < Lines; ++i)
            std::fprintf(
                f, "  0\nLINE\n  8\n0\n 10\n%.6f\n 20\n%.6f\n 30\n0.0\n 11\n%.6f\n 21\n%.6f\n 31\n0.0\n",
                Coord(i, 0), Coord(i, 1), Coord(i, 2), Coord(i, 3));
        std::fputs("  0\nENDSEC\n  0\nEOF\n", f);
        std::fclose(f);
    }
    const TFirstUse import = InFreshProcess([&path] {
        RegisterDrawingClasses();
        Evict(path);
        auto d = std::make_unique<TQV_01Cmp2D>();
        TFirstUse r = MeasureFirstUse([&] {
            TDXF2DImport i(path, d.get());
            i.Import();
        });
        if (d->ObjectsCount() != Lines)
            std::abort();
        return r;
    });
    const TFirstUse scan = InFreshProcess([&path] {
        Evict(path);
        return MeasureFirstUse([&] {
            if (ScanLines(path) == 0)
                std::abort();
        });
    });
    std::printf("DXF import of %d LINEs (fresh process, file not cached)\n", Lines);
    std::printf(
        "  import %8.0f ms (new memory %.0f MB)   scan of its lines %6.0f ms   ratio %.2fx (goal <= 5x)\n",
        import.Seconds * 1e3, import.NewBytes() / 1e6, scan.Seconds * 1e3, import.Seconds / scan.Seconds);
    std::remove(path.c_str());
}

} // namespace

// With an argument (memory, load or import) only that part runs.
int main(int argc, char** argv)
{
    const auto wanted = [&](const char* part) { return argc < 2 || std::strcmp(argv[1], part) == 0; };
    std::printf("object sizes: TGraphicObject %zu, TObject2D %zu, TLine2D %zu, TCerchio2D %zu, TArco2D %zu, "
                "TPolyline2D %zu bytes\n",
                sizeof(TGraphicObject), sizeof(TObject2D), sizeof(TLine2D), sizeof(TCerchio2D),
                sizeof(TArco2D), sizeof(TPolyline2D));
    if (wanted("memory"))
        MemoryPerObject();
    if (wanted("load"))
        FirstLoad();
    if (wanted("import"))
        DxfImport();
    return 0;
}
