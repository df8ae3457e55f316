// Saving a large traced drawing (1,000,000 lines and 100,000 polylines of 50 points, some 320 MB
// as a file) beside plain writes of the same number of bytes to the same folder. Each save and
// each plain write is the first in a new process, so the memory a save takes new costs what it
// costs a program's first save; the cost of touching as much fresh memory is printed beside it.
// Both make a new file while the earlier ones stay (a save keeps the old drawing until it is
// done) and end with fsync.
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVRegistry.h"
#include "TracedDrawing.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int32_t Polylines = 100'000;
constexpr int Runs = 3;

std::string Folder()
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp");
}

std::string PathOf(const char* kind, int run)
{
    return Folder() + "/rastrel-bench-save-" + std::to_string(getpid()) + "-" + kind + std::to_string(run);
}

size_t FileSize(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// The drawing is built first; only the save is measured.
TFirstUse SaveFirstUse(const std::string& path)
{
    return InFreshProcess([&path] {
        RegisterDrawingClasses();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        FillTracedDrawing(*drawing, Lines, Polylines);
        const TFirstUse r = MeasureFirstUse([&] { drawing->SaveToFile(path); });
        // Freeing a million objects is no part of what a process ending has to do.
        static_cast<void>(drawing.release());
        return r;
    });
}

constexpr size_t Piece = size_t(1) << 20;

// Writes Size bytes in pieces of a megabyte to a new file, as the save writes its stream. The
// bytes are in memory before the clock starts, as a save's objects are: either all of them (the
// plain write of the same bytes) or only one piece written again and again (the least a write of
// that many bytes costs here, with no memory to read but one megabyte).
TFirstUse PlainWriteFirstUse(const std::string& path, size_t size, bool onePiece)
{
    return InFreshProcess([&path, size, onePiece] {
        const std::vector<uint8_t> bytes(onePiece ? Piece : size, 0x5A);
        return MeasureFirstUse([&] {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            size_t done = 0;
            while (fd >= 0 && done < size) {
                const size_t n = std::min(size - done, Piece);
                if (::write(fd, bytes.data() + (onePiece ? 0 : done), n) != ssize_t(n))
                    std::abort();
                done += n;
            }
            if (fd < 0 || ::fsync(fd) != 0 || ::close(fd) != 0)
                std::abort();
        });
    });
}

void PrintRange(const char* what, const std::vector<TFirstUse>& runs)
{
    std::printf("%-12s", what);
    for (const TFirstUse& r : runs)
        std::printf(" %7.0f ms", r.Seconds * 1e3);
    const TFirstUse& first = runs.front();
    std::printf("   new memory %7.1f MB (touching as much fresh memory: %.0f ms)\n", first.NewBytes() / 1e6,
                FreshMemorySeconds(static_cast<size_t>(first.NewBytes())) * 1e3);
}

double Median(std::vector<TFirstUse> runs)
{
    std::sort(runs.begin(), runs.end(),
              [](const TFirstUse& a, const TFirstUse& b) { return a.Seconds < b.Seconds; });
    return runs[runs.size() / 2].Seconds;
}

} // namespace

int main()
{
    std::vector<TFirstUse> saves, writes, floors;
    std::vector<std::string> files;
    size_t size = 0;
    for (int run = 0; run < Runs; ++run) {
        files.push_back(PathOf("save", run));
        saves.push_back(SaveFirstUse(files.back()));
        size = FileSize(files.back());
        files.push_back(PathOf("plain", run));
        writes.push_back(PlainWriteFirstUse(files.back(), size, false));
        files.push_back(PathOf("piece", run));
        floors.push_back(PlainWriteFirstUse(files.back(), size, true));
    }
    for (const std::string& f : files)
        std::remove(f.c_str());

    std::printf(
        "drawing of %d lines and %d polylines of 50 points: %.1f MB; each run the first in a new process\n",
        Lines, Polylines, static_cast<double>(size) / 1e6);
    PrintRange("save", saves);
    PrintRange("plain write", writes);
    PrintRange("one piece", floors);
    const auto ratios = [&](const char* what, const std::vector<TFirstUse>& reference) {
        double lo = 1e300, hi = 0;
        for (int run = 0; run < Runs; ++run) {
            const double r = saves[size_t(run)].Seconds / reference[size_t(run)].Seconds;
            lo = std::min(lo, r);
            hi = std::max(hi, r);
        }
        std::printf("save / %s: %.2fx median (%.2f-%.2fx run by run)\n", what,
                    Median(saves) / Median(reference), lo, hi);
    };
    ratios("plain write of the same bytes", writes);
    ratios("the same number of bytes from one piece", floors);
    return 0;
}
