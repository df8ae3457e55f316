// Opening large files through the Open command beside the plain readers of the same files, each
// run the first in a new process: a 10,000 x 10,000 scan as a JPEG (the command decodes it into
// the program's own bitmap kind, places it and makes the image) beside a plain libjpeg decode
// into memory and `djpeg`; and a DXF file of 100 MB through the command beside the plain import.
#include "FileCommands.h"
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVRegistry.h"
#include "QtBitmap32.h"
#include "VecRasInfo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr int Runs = 3;
constexpr int JpegW = 10'000, JpegH = 10'000;
constexpr long DxfBytes = 100'000'000;

std::string PathOf(const char* Name)
{
    const char* tmp = std::getenv("TMPDIR");
    return std::string(tmp && *tmp ? tmp : "/tmp") + "/rastrel-bench-open-" + std::to_string(getpid()) + Name;
}

// A scan-like page: paper with a little noise and dark strokes, so the file is of a real scan's
// size, not a flat picture's.
void WriteScan(const std::string& Name)
{
    std::FILE* f = std::fopen(Name.c_str(), "wb");
    if (!f)
        std::abort();
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = JpegW;
    c.image_height = JpegH;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.density_unit = 1;
    c.X_density = c.Y_density = 600;
    jpeg_start_compress(&c, TRUE);
    std::vector<JSAMPLE> row(size_t(JpegW) * 3);
    uint32_t seed = 12345;
    for (int y = 0; y < JpegH; ++y) {
        for (int x = 0; x < JpegW; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool ink = ((x / 40 + y / 60) % 7 == 0 && (x % 40) < 6) || ((y % 120) < 4 && (x / 300) % 2);
            const int v = ink ? 30 + int(seed >> 28) : 235 + int(seed >> 29);
            row[size_t(x) * 3] = JSAMPLE(v);
            row[size_t(x) * 3 + 1] = JSAMPLE(v);
            row[size_t(x) * 3 + 2] = JSAMPLE(std::min(255, v + 5));
        }
        JSAMPROW p = row.data();
        jpeg_write_scanlines(&c, &p, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

// Lines until the file holds DxfBytes; answers their number.
int WriteDxf(const std::string& Name)
{
    std::FILE* f = std::fopen(Name.c_str(), "wb");
    if (!f)
        std::abort();
    std::fputs("0\nSECTION\n2\nENTITIES\n", f);
    int lines = 0;
    while (std::ftell(f) < DxfBytes) {
        for (int n = 0; n < 1000; ++n, ++lines)
            std::fprintf(f, "0\nLINE\n8\n0\n10\n%.4f\n20\n%.4f\n11\n%.4f\n21\n%.4f\n", lines * 0.01,
                         (lines % 1000) * 0.5, lines * 0.01 + 3.25, (lines % 1000) * 0.5 + 1.75);
    }
    std::fputs("0\nENDSEC\n0\nEOF\n", f);
    std::fclose(f);
    return lines;
}

// The command's window: no questions, a panel without controls, the progress bar counted.
class TBenchHost : public TFileCommandsHost {
public:
    std::string AskOpenFileName(bool, const std::string&) override { return {}; }
    std::string AskSaveFileName(const std::string&) override { return {}; }
    bool AskClear(bool&) override { return true; }
    TVecRasPlacement& NewPlacementPanel(TQV_01Cmp2D& Drawing) override
    {
        Panel = std::make_unique<TVecRasPlacement>(Drawing);
        return *Panel;
    }
    void SetCaption(const std::string&) override {}
    void SetBusy(bool) override {}
    TJobProgress& Progress() override { return Counter; }
    std::unique_ptr<TVecRasPlacement> Panel;
    int Steps = 0;

private:
    class TCounter : public TJobProgress {
    public:
        explicit TCounter(int& Steps) : Steps(Steps) {}
        void Begin() override {}
        void Report(int64_t, int64_t) override { ++Steps; }
        void End() override {}

    private:
        int& Steps;
    } Counter{Steps};
};

TFirstUse OpenThroughCommand(const std::string& Name)
{
    return InFreshProcess([&Name] {
        RegisterDrawingClasses();
        InstallQtBitmap32();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        TBenchHost host;
        TFileCommands commands(*drawing, host);
        bool opened = false;
        const TFirstUse r = MeasureFirstUse([&] { opened = commands.OpenGeo(Name, false); });
        if (!opened || host.Steps < 2)
            std::abort();
        static_cast<void>(drawing.release());
        return r;
    });
}

// libjpeg alone: the rows decoded into one buffer of the picture's size.
TFirstUse PlainJpegDecode(const std::string& Name)
{
    return InFreshProcess([&Name] {
        return MeasureFirstUse([&] {
            std::FILE* f = std::fopen(Name.c_str(), "rb");
            if (!f)
                std::abort();
            jpeg_decompress_struct d{};
            jpeg_error_mgr err{};
            d.err = jpeg_std_error(&err);
            jpeg_create_decompress(&d);
            jpeg_stdio_src(&d, f);
            jpeg_read_header(&d, TRUE);
            d.out_color_space = JCS_RGB;
            jpeg_start_decompress(&d);
            std::vector<JSAMPLE> pixels(size_t(d.output_width) * d.output_height * 3);
            while (d.output_scanline < d.output_height) {
                JSAMPROW p = pixels.data() + size_t(d.output_scanline) * d.output_width * 3;
                jpeg_read_scanlines(&d, &p, 1);
            }
            jpeg_finish_decompress(&d);
            jpeg_destroy_decompress(&d);
            std::fclose(f);
        });
    });
}

TFirstUse PlainDxfImport(const std::string& Name)
{
    return InFreshProcess([&Name] {
        RegisterDrawingClasses();
        auto drawing = std::make_unique<TQV_01Cmp2D>();
        const TFirstUse r = MeasureFirstUse([&] {
            TDXF2DImport import(Name, drawing.get());
            import.Import();
        });
        static_cast<void>(drawing.release());
        return r;
    });
}

double Djpeg(const std::string& Name)
{
    const std::string command = "djpeg -outfile /dev/null '" + Name + "' 2>/dev/null";
    const auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0)
        return 0;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

long FileSizeOf(const std::string& Name)
{
    std::FILE* f = std::fopen(Name.c_str(), "rb");
    if (!f)
        return 0;
    std::fseek(f, 0, SEEK_END);
    const long n = std::ftell(f);
    std::fclose(f);
    return n;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

void Print(const char* What, const std::vector<double>& Seconds)
{
    std::printf("%-28s", What);
    for (const double s : Seconds)
        std::printf(" %7.0f ms", s * 1e3);
    std::printf("   median %7.0f ms\n", Median(Seconds) * 1e3);
}

} // namespace

// With "jpeg" or "dxf" only that open runs, once, for profiling.
int main(int argc, char** argv)
{
    const std::string jpeg = PathOf(".jpg"), dxf = PathOf(".dxf");
    const std::string only = argc > 1 ? argv[1] : "";
    if (only == "jpeg" || only == "dxf") {
        const std::string& file = only == "jpeg" ? jpeg : dxf;
        if (only == "jpeg")
            WriteScan(jpeg);
        else
            WriteDxf(dxf);
        Evict(file);
        std::printf("open %s (command) %.0f ms\n", only.c_str(), OpenThroughCommand(file).Seconds * 1e3);
        std::remove(file.c_str());
        return 0;
    }
    WriteScan(jpeg);
    const int dxfLines = WriteDxf(dxf);
    std::vector<double> command, plain, djpeg, dxfCommand, dxfImport;
    for (int run = 0; run < Runs; ++run) {
        Evict(jpeg);
        command.push_back(OpenThroughCommand(jpeg).Seconds);
        Evict(jpeg);
        plain.push_back(PlainJpegDecode(jpeg).Seconds);
        Evict(jpeg);
        djpeg.push_back(Djpeg(jpeg));
        Evict(dxf);
        dxfCommand.push_back(OpenThroughCommand(dxf).Seconds);
        Evict(dxf);
        dxfImport.push_back(PlainDxfImport(dxf).Seconds);
    }
    const size_t pictureBytes = size_t(JpegW) * JpegH * 4;
    std::printf("JPEG %d x %d, %ld bytes; DXF of %d lines, %ld bytes; each run the first in a new process, "
                "the file not cached\n",
                JpegW, JpegH, FileSizeOf(jpeg), dxfLines, FileSizeOf(dxf));
    Print("open JPEG (command)", command);
    Print("libjpeg decode", plain);
    if (Median(djpeg) > 0)
        Print("djpeg", djpeg);
    std::printf("touching the picture's %zu MB of new memory in 4 KiB pages: %.0f ms\n", pictureBytes >> 20,
                FreshMemorySeconds(pictureBytes) * 1e3);
    Print("open DXF (command)", dxfCommand);
    Print("DXF import", dxfImport);
    std::printf("JPEG command / libjpeg decode: %.2fx\n", Median(command) / Median(plain));
    if (Median(djpeg) > 0)
        std::printf("JPEG command / djpeg: %.2fx (goal <= 1.5x)\n", Median(command) / Median(djpeg));
    std::printf("DXF command / import: %.2fx (goal <= 1.2x)\n", Median(dxfCommand) / Median(dxfImport));
    std::remove(jpeg.c_str());
    std::remove(dxf.c_str());
    return 0;
}
