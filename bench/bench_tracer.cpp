// Tracer benchmarks. Run plainly, it times tracing of generated A4 line-art pages at 300 and
// 600 dpi in process (outline and centre lines). With a first argument it is the helper of
// trace_compare.sh:
//   bench_tracer --page DPI OUT.bmp          writes the line-art page as a 1-bit BMP
//   bench_tracer --scan DPI CLEAN.bmp SCAN.bmp
//                                            writes the page and the same page degraded as a
//                                            scan and despeckled; prints the scan's own error
//   bench_tracer --run CMD ARGS...           runs a command, prints "wall_s peak_kb"
//   bench_tracer --score IN.bmp OUT E [CLEAN.bmp]
//                                            pixel error (against IN, and against CLEAN when
//                                            given) and vertex count of a DXF (doru) or SVG
//                                            (potrace, curves flattened to within E)
//   bench_tracer --cline WORK [LABEL=]DORU...
//                                            centre lines of generated stroke pictures by each
//                                            doru and by the plain thinning skeleton, scored
//                                            against the true centre lines
//   bench_tracer --scan-table WORK [LABEL=]DORU...
//                                            pages of curved logos and of straight shapes over
//                                            the range of scan degradations, tuning and held-out
//                                            sets: error against the clean page of the bitmap,
//                                            potrace and each doru, and the time ratio
//   bench_tracer --cline-sets WORK [LABEL=]DORU...
//                                            centre lines of stroke icons and Hershey words,
//                                            tuning and held-out sets, beside the skeleton
//   bench_tracer --cline-show NAME WIDTH CAP DORU OUT.ppm
//                                            one of those pictures with its lines drawn in (NAME
//                                            icon: the icon of kind number CAP and seed WIDTH;
//                                            text:FONT:WORD: a word at stroke width WIDTH)
#include "BmpReader.h"
#include "CentreLineSets.h"
#include "LineArtPage.h"
#include "ScanPages.h"
#include "ScanSimulation.h"
#include "StrokePictures.h"
#include "TraceFit.h"
#include "TraceThinning.h"
#include "TracerTestSupport.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {


void WriteBmp1(const TMonoBitmap& b, const char* path)
{
    const int w = b.Width(), h = b.Height();
    const uint32_t stride = (uint32_t(w) + 31) / 32 * 4, offset = 14 + 40 + 8;
    std::vector<uint8_t> out;
    auto put16 = [&](uint32_t v) { out.push_back(uint8_t(v)); out.push_back(uint8_t(v >> 8)); };
    auto put32 = [&](uint32_t v) { put16(v & 0xFFFF); put16(v >> 16); };
    out.push_back('B');
    out.push_back('M');
    put32(offset + stride * h);
    put32(0);
    put32(offset);
    put32(40);
    put32(w);
    put32(h);
    put16(1);
    put16(1);
    put32(0);
    put32(stride * h);
    put32(11811);
    put32(11811);
    put32(2);
    put32(0);
    put32(0);          // index 0: black
    put32(0xFFFFFF);   // index 1: white
    for (int r = h - 1; r >= 0; --r) {
        std::vector<uint8_t> line(stride, 0);
        for (int x = 0; x < w; ++x)
            if (!b.Ink(x, r))
                line[x / 8] |= uint8_t(0x80 >> (x % 8));
        out.insert(out.end(), line.begin(), line.end());
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(out.data()), std::streamsize(out.size()));
}

// ---- potrace's SVG: cubic curves flattened to within E --------------------------------------

struct TSvgSegment {
    TVector2D P[4];
    bool Curve;
};

TVector2D Bezier(const TSvgSegment& s, double t)
{
    const double u = 1 - t;
    return {u * u * u * s.P[0].X + 3 * u * u * t * s.P[1].X + 3 * u * t * t * s.P[2].X + t * t * t * s.P[3].X,
            u * u * u * s.P[0].Y + 3 * u * u * t * s.P[1].Y + 3 * u * t * t * s.P[2].Y + t * t * t * s.P[3].Y};
}

TTraceResult ReadPotraceSvg(const std::string& text, int imageHeight, double e)
{
    TTraceResult result;
    double tx = 0, ty = 0, sx = 1, sy = 1;
    if (const size_t t = text.find("translate("); t != std::string::npos)
        std::sscanf(text.c_str() + t, "translate(%lf,%lf) scale(%lf,%lf)", &tx, &ty, &sx, &sy);
    auto map = [&](double x, double y) { return TVector2D{tx + sx * x, ty + sy * y}; };  // image coordinates
    size_t pos = 0;
    std::vector<TSvgSegment> segs;
    auto flush = [&]() {
        if (segs.empty())
            return;
        std::vector<TVector2D> pts;
        std::vector<char> corner;
        for (size_t i = 0; i < segs.size(); ++i) {
            const TSvgSegment& s = segs[i];
            const TSvgSegment& prev = segs[(i + segs.size() - 1) % segs.size()];
            // A joint is a corner where the tangent turns.
            const TVector2D inDir{prev.P[3].X - (prev.Curve ? prev.P[2].X : prev.P[0].X), prev.P[3].Y - (prev.Curve ? prev.P[2].Y : prev.P[0].Y)};
            const TVector2D outDir{(s.Curve ? s.P[1].X : s.P[3].X) - s.P[0].X, (s.Curve ? s.P[1].Y : s.P[3].Y) - s.P[0].Y};
            const double cr = inDir.X * outDir.Y - inDir.Y * outDir.X, dt = inDir.X * outDir.X + inDir.Y * outDir.Y;
            pts.push_back(s.P[0]);
            corner.push_back(std::abs(std::atan2(cr, dt)) > 0.02);
            if (s.Curve)
                for (int k = 1; k < 64; ++k) {
                    pts.push_back(Bezier(s, k / 64.0));
                    corner.push_back(0);
                }
        }
        std::vector<TVector2D> fitted = FitWithin(pts, corner, true, e);
        TTracedPolyline& pl = result.Polylines.emplace_back();
        pl.Closed = true;
        for (const TVector2D& v : fitted)
            pl.Points.push_back({v.X, imageHeight - v.Y});
        segs.clear();
    };
    while ((pos = text.find(" d=\"", pos)) != std::string::npos) {
        pos += 4;
        const size_t end = text.find('"', pos);
        const std::string d = text.substr(pos, end - pos);
        pos = end;
        const char* c = d.c_str();
        char cmd = 0;
        double cx = 0, cy = 0, startX = 0, startY = 0;  // in path units
        auto num = [&]() {
            while (*c == ' ' || *c == ',' || *c == '\n')
                ++c;
            char* next;
            const double v = std::strtod(c, &next);
            c = next;
            return v;
        };
        for (;;) {
            while (*c == ' ' || *c == ',' || *c == '\n')
                ++c;
            if (!*c)
                break;
            if (std::isalpha(static_cast<unsigned char>(*c)))
                cmd = *c++;
            const bool rel = std::islower(static_cast<unsigned char>(cmd));
            const double bx = rel ? cx : 0, by = rel ? cy : 0;
            switch (std::tolower(static_cast<unsigned char>(cmd))) {
            case 'm': {
                flush();
                const double x = num() + bx, y = num() + by;
                cx = startX = x;
                cy = startY = y;
                cmd = rel ? 'l' : 'L';
                break;
            }
            case 'l': {
                const double x = num() + bx, y = num() + by;
                segs.push_back({{map(cx, cy), {}, {}, map(x, y)}, false});
                cx = x;
                cy = y;
                break;
            }
            case 'c': {
                const double x1 = num() + bx, y1 = num() + by, x2 = num() + bx, y2 = num() + by, x = num() + bx, y = num() + by;
                segs.push_back({{map(cx, cy), map(x1, y1), map(x2, y2), map(x, y)}, true});
                cx = x;
                cy = y;
                break;
            }
            case 'z':
                if (cx != startX || cy != startY)
                    segs.push_back({{map(cx, cy), {}, {}, map(startX, startY)}, false});
                flush();
                cx = startX;
                cy = startY;
                break;
            default:
                return result;
            }
        }
        flush();
    }
    return result;
}

TTraceResult ReadDoruDxf(const std::string& text)
{
    TTraceResult r;
    for (const TDxfPolyline& p : ParseDxf(text)) {
        TTracedPolyline& pl = r.Polylines.emplace_back();
        pl.Points = p.Points;
        pl.Closed = p.Flags & 1;
    }
    return r;
}

TMonoBitmap LoadBmp(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    return ReadBmp(in);
}

TTraceResult LoadTrace(const char* outPath, int imageHeight, double e)
{
    std::ifstream in(outPath, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const bool svg = std::string(outPath).ends_with(".svg");
    return svg ? ReadPotraceSvg(text, imageHeight, e) : ReadDoruDxf(text);
}

// Prints the error against the traced picture, against the clean one (or -1), vertices and
// polylines.
int Score(const char* bmpPath, const char* outPath, double e, const char* cleanPath)
{
    const TMonoBitmap img = LoadBmp(bmpPath);
    const TTraceResult r = LoadTrace(outPath, img.Height(), e);
    double clean = -1;
    if (cleanPath) {
        const TMonoBitmap c = LoadBmp(cleanPath);
        clean = double(DifferingPixels(c, Rasterise(r, c.Width(), c.Height()))) / double(std::max<size_t>(1, c.InkCount()));
    }
    std::printf("%.5f %.5f %zu %zu\n", OutlineError(img, r), clean, r.VertexCount(), r.Polylines.size());
    return 0;
}

// The degradation of the scan benchmark: a 300 dpi office scan of a printed page.
TScanDegradation PageScan()
{
    TScanDegradation d;
    d.Name = "office scan";
    d.BlurSigma = 1.0;
    d.NoiseAmplitude = 0.3;
    d.NoiseGrain = 2.0;
    d.SpecksPerKilopixel = 0.3;
    d.JpegQuality = 75;
    d.Seed = 20261211;
    return d;
}

// Pieces up to this many pixels are specks, removed the same way before either tracer runs.
constexpr int SpeckPixels = 4;

int RunMeasured(char** argv)
{
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        execvp(argv[0], argv);
        _exit(127);
    }
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    std::printf("%.3f %ld\n", wall, use.ru_maxrss);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// ---- centre lines of stroked pictures against their true centre lines -----------------------

// Runs a program with its output thrown away; answers its exit code, and the processor time
// it took (user and system, seconds) through seconds when given: on a machine shared with
// other work, wall time measures the others as much as the program.
int RunQuiet(const std::vector<std::string>& args, double* seconds = nullptr)
{
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage use{};
    wait4(pid, &status, 0, &use);
    if (seconds)
        *seconds = double(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
                   1e-6 * double(use.ru_utime.tv_usec + use.ru_stime.tv_usec);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// Tracers given as LABEL=PATH or PATH: their labels, and the paths left in place.
std::vector<std::string> SplitLabels(std::vector<std::string>& dorus, const char* plain)
{
    std::vector<std::string> labels;
    for (std::string& d : dorus) {
        const size_t eq = d.find('=');
        labels.push_back(eq == std::string::npos ? plain : d.substr(0, eq));
        if (eq != std::string::npos)
            d = d.substr(eq + 1);
    }
    return labels;
}

// For each band of widths a table by shape kind: the skeleton's score, then each doru's. A
// doru is given as LABEL=PATH or PATH.
int CentreLineTable(const std::string& work, std::vector<std::string> dorus)
{
    const std::vector<std::string> labels = SplitLabels(dorus, "doru -cline");
    struct TBand {
        const char* Name;
        std::vector<double> Widths;
    };
    const TBand bands[] = {{"strokes 40 to 100 px wide", {40, 60, 80, 100}}, {"strokes 3 to 24 px wide", {3, 6, 12, 24}}};
    const char* kinds[] = {"straight", "curved", "T", "X", "Y", "corner", "ring", "text"};
    for (const TBand& band : bands) {
        // Scores per kind: [0] the skeleton, [1 + i] doru i; the last row all kinds together.
        std::vector<std::vector<TCentreLineScore>> score(std::size(kinds) + 1, std::vector<TCentreLineScore>(dorus.size() + 1));
        for (const double width : band.Widths)
            for (const TCap cap : {TCap::Round, TCap::Square, TCap::Butt})
                for (const TStrokePicture& p : StrokePictureSet(width, cap)) {
                    if (cap != TCap::Round && p.Kind == "ring")
                        continue;  // rings have no caps: once is enough
                    const size_t k = size_t(std::find(std::begin(kinds), std::end(kinds), p.Kind) - std::begin(kinds));
                    std::vector<TCentreLineScore> row{ScoreSkeleton(p, ThinToSkeleton(p.Bits))};
                    const std::string bmp = work + "/stroke.bmp", dxf = work + "/stroke.dxf";
                    WriteBmp1(p.Bits, bmp.c_str());
                    for (const std::string& doru : dorus) {
                        std::remove(dxf.c_str());
                        RunQuiet({doru, "-et", "0.1", "-fi", "1", "-ct", "90", "-cline", "-outfile", dxf, bmp});
                        row.push_back(ScoreTrace(p, LoadTrace(dxf.c_str(), p.Bits.Height(), 0.1)));
                    }
                    for (size_t i = 0; i < row.size(); ++i) {
                        score[k][i].Add(row[i]);
                        score.back()[i].Add(row[i]);
                    }
                }
        std::printf("\n%s, round, square and butt caps: mean traced-to-true px / true-to-traced px / share of the true line within 2 px\n", band.Name);
        std::printf("%-9s %-22s", "kind", "skeleton");
        for (const std::string& l : labels)
            std::printf(" %-22s", l.c_str());
        std::printf("\n");
        for (size_t k = 0; k < score.size(); ++k) {
            std::printf("%-9s", k < std::size(kinds) ? kinds[k] : "all");
            for (const TCentreLineScore& c : score[k])
                std::printf(" %6.2f %6.2f %6.1f%%  ", c.TracedToTrue, c.TrueToTraced, 100 * c.WithinTwo);
            std::printf("\n");
        }
    }
    return 0;
}

// The least processor time of five runs: the run that other work on the machine disturbed
// least.
double LeastTime(const std::vector<std::string>& args)
{
    double least = 1e300;
    for (int k = 0; k < 5; ++k) {
        double one = 0;
        RunQuiet(args, &one);
        least = std::min(least, one);
    }
    return least;
}

// Pages of logos (curved) and of straight shapes, each through the range of degradations and
// despeckled below 20 pixels as the front end would; every tracer's result against the clean
// page. The first doru is the one the goals are for.
int ScanTable(const std::string& work, std::vector<std::string> dorus)
{
    const std::vector<std::string> labels = SplitLabels(dorus, "doru");
    constexpr int SpeckBelow = 20;
    std::printf(
        "\nScanned pages, despeckled below %d px: differing pixels against the clean page per ink pixel\n",
        SpeckBelow);
    std::printf("%-9s %-9s %-14s %8s %8s", "set", "page", "degradation", "bitmap", "potrace");
    for (const std::string& l : labels)
        std::printf(" %12s", l.c_str());
    std::printf(" %11s %s\n", "cpu/potrace", "goals");
    int failed = 0;
    for (const bool heldOut : {false, true})
        for (const bool curved : {true, false}) {
            if (const char* only = std::getenv("ROWS");
                only && std::string(heldOut ? "held-out" : "tuning") != only)
                continue; // ROWS=tuning or ROWS=held-out runs that set alone
            const TMonoBitmap clean = MakeLogoPage(2480, 3508, 240, curved, (heldOut ? 900 : 100) + curved);
            const std::string cleanBmp = work + "/clean.bmp", scanBmp = work + "/scan.bmp";
            WriteBmp1(clean, cleanBmp.c_str());
            const double ink = double(std::max<size_t>(1, clean.InkCount()));
            for (const TScanDegradation& d : ScanRange(heldOut)) {
                TMonoBitmap scan = DegradeScan(clean, d);
                Despeckle(scan, SpeckBelow - 1);
                WriteBmp1(scan, scanBmp.c_str());
                const double bitmapError = double(DifferingPixels(clean, scan)) / ink;
                auto errorOf = [&](const std::string& out) {
                    return double(
                               DifferingPixels(clean, Rasterise(LoadTrace(out.c_str(), clean.Height(), 0.1),
                                                                clean.Width(), clean.Height()))) /
                           ink;
                };
                const std::string svg = work + "/scan.svg";
                const double potraceTime = LeastTime({"/usr/bin/potrace", "-b", "svg", "-o", svg, scanBmp});
                const double potraceError = errorOf(svg);
                std::printf("%-9s %-9s %-14s %8.4f %8.4f", heldOut ? "held-out" : "tuning",
                            curved ? "logos" : "straight", d.Name, bitmapError, potraceError);
                double firstError = 0, firstTime = 0;
                for (size_t i = 0; i < dorus.size(); ++i) {
                    const std::string dxf = work + "/scan.dxf";
                    std::remove(dxf.c_str());
                    const std::vector<std::string> args{dorus[i], "-et", "0.1",      "-fi", "1",
                                                        "-ct",    "90",  "-outfile", dxf,   scanBmp};
                    const double t = i == 0 ? LeastTime(args) : 0;
                    if (i != 0)
                        RunQuiet(args);
                    const double e = errorOf(dxf);
                    if (i == 0) {
                        firstError = e;
                        firstTime = t;
                    }
                    std::printf(" %12.4f", e);
                }
                const bool ok =
                    firstError < potraceError && firstError < bitmapError && firstTime <= 0.5 * potraceTime;
                failed += !ok;
                std::printf(" %11.2f %s\n", firstTime / potraceTime, ok ? "met" : "MISSED");
            }
        }
    std::printf("goals: %s error below potrace's and the bitmap's own, time at most 0.5 of potrace's: %d "
                "rows missed\n",
                labels[0].c_str(), failed);
    return 0;
}

// Centre lines of the icon and text sets, tuning and held-out: for each row the skeleton's
// score and each doru's, and whether the first doru meets the goals (distances within 0.8 of
// the skeleton's both ways, 90 % of the true line within 2 px).
int CentreLineSets(const std::string& work, std::vector<std::string> dorus)
{
    const std::vector<std::string> labels = SplitLabels(dorus, "doru -cline");
    struct TRow {
        std::string Name;
        std::vector<TStrokePicture> Pictures;
    };
    std::vector<TRow> rows;
    const std::vector<std::string> kinds = IconKinds();
    for (const bool heldOut : {false, true}) {
        const std::string set = heldOut ? "held-out " : "tuning ";
        for (const std::string& kind : kinds) {
            TRow row{set + "icon " + kind, {}};
            for (uint32_t k = 0; k < 3; ++k)
                row.Pictures.push_back(
                    StrokeIcon(kind, (heldOut ? 1000 : 1) + k + 37 * uint32_t(&kind - kinds.data())));
            rows.push_back(std::move(row));
        }
        struct TFontWord {
            const char* Font;
            const char* Word;
        };
        const std::vector<TFontWord> words =
            heldOut ? std::vector<TFontWord>{{"rowmans", "kBe"}, {"scripts", "Rwd"}}
                    : std::vector<TFontWord>{{"futural", "Rag"}};
        for (const bool thick : {false, true}) {
            TRow row{set + (thick ? "text 24-120 px" : "text 3-12 px"), {}};
            for (const TFontWord& fw : words) {
                const std::vector<THersheyGlyph> font =
                    ReadHersheyFont(std::string("/usr/share/hershey-fonts/") + fw.Font + ".jhf");
                for (const double width :
                     thick ? std::vector<double>{24, 60, 120} : std::vector<double>{3, 6, 12})
                    for (const TCap cap : {TCap::Round, TCap::Square, TCap::Butt})
                        row.Pictures.push_back(HersheyWord(font, fw.Word, width, cap, fw.Word));
            }
            rows.push_back(std::move(row));
        }
    }
    std::printf(
        "\nCentre lines: mean traced-to-true px / true-to-traced px / share of the true line within 2 px\n");
    std::printf("%-26s %-22s", "set", "skeleton");
    for (const std::string& l : labels)
        std::printf(" %-22s", l.c_str());
    std::printf(" goals\n");
    int failed = 0;
    const std::string bmp = work + "/stroke.bmp", dxf = work + "/stroke.dxf";
    for (const TRow& row : rows) {
        if (const char* only = std::getenv("ROWS"); only && row.Name.find(only) == std::string::npos)
            continue; // ROWS=TEXT runs the rows whose names hold it
        std::vector<TCentreLineScore> score(dorus.size() + 1);
        for (const TStrokePicture& p : row.Pictures) {
            score[0].Add(ScoreSkeleton(p, ThinToSkeleton(p.Bits)));
            WriteBmp1(p.Bits, bmp.c_str());
            for (size_t i = 0; i < dorus.size(); ++i) {
                std::remove(dxf.c_str());
                RunQuiet({dorus[i], "-et", "0.1", "-fi", "1", "-ct", "90", "-cline", "-outfile", dxf, bmp});
                score[i + 1].Add(ScoreTrace(p, LoadTrace(dxf.c_str(), p.Bits.Height(), 0.1)));
            }
        }
        std::printf("%-26s", row.Name.c_str());
        for (const TCentreLineScore& c : score)
            std::printf(" %6.2f %6.2f %6.1f%%  ", c.TracedToTrue, c.TrueToTraced, 100 * c.WithinTwo);
        const TCentreLineScore& d = score[1];
        const bool ok = d.TracedToTrue <= 0.8 * score[0].TracedToTrue &&
                        d.TrueToTraced <= 0.8 * score[0].TrueToTraced && d.WithinTwo >= 0.9;
        failed += !ok;
        std::printf(" %s\n", ok ? "met" : "MISSED");
    }
    std::printf(
        "goals: %s within 0.8 of the skeleton's distances both ways, 90%% within 2 px: %d rows missed\n",
        labels[0].c_str(), failed);
    return 0;
}

// Writes a picture of the set as a PPM: ink grey, skeleton blue, true line green, the doru
// trace red; for looking at one case.
int ShowCentreLine(const std::string& name, double width, int cap, const std::string& doru, const std::string& out)
{
    std::vector<TStrokePicture> set;
    if (name == "icon") // the icon of kind and seed given as CAP and WIDTH
        set.push_back(StrokeIcon(IconKinds()[size_t(cap)], uint32_t(width)));
    else if (name.starts_with("text:")) // text:FONT:WORD
        set.push_back(HersheyWord(
            ReadHersheyFont("/usr/share/hershey-fonts/" + name.substr(5, name.rfind(':') - 5) + ".jhf"),
            name.substr(name.rfind(':') + 1), width, TCap(cap), name));
    else
        set = StrokePictureSet(width, TCap(cap));
    for (const TStrokePicture& p : set) {
        if (name != "icon" && !name.starts_with("text:") && p.Name.rfind(name + " ", 0) != 0)
            continue;
        const std::string bmp = out + ".bmp", dxf = out + ".dxf";
        WriteBmp1(p.Bits, bmp.c_str());
        RunQuiet({doru, "-et", "0.1", "-fi", "1", "-ct", "90", "-cline", "-outfile", dxf, bmp});
        const TTraceResult r = LoadTrace(dxf.c_str(), p.Bits.Height(), 0.1);
        const int w = p.Bits.Width(), h = p.Bits.Height();
        std::vector<uint8_t> rgb(size_t(w) * h * 3, 255);
        auto put = [&](TVector2D v, uint8_t red, uint8_t green, uint8_t blue) {
            const int x = int(std::floor(v.X)), y = int(std::floor(v.Y));
            if (x >= 0 && y >= 0 && x < w && y < h) {
                uint8_t* q = &rgb[(size_t(y) * w + x) * 3];
                q[0] = red, q[1] = green, q[2] = blue;
            }
        };
        p.Bits.ForEachInk([&](int x, int y) { put({x + 0.5, y + 0.5}, 200, 200, 200); });
        ThinToSkeleton(p.Bits).ForEachInk([&](int x, int y) { put({x + 0.5, y + 0.5}, 80, 80, 255); });
        for (const TVector2D& v : SampleLines(p.Truth))
            put(v, 0, 170, 0);
        for (const TVector2D& v : SampleLines(TracedLines(r, h)))
            put(v, 230, 0, 0);
        std::ofstream f(out, std::ios::binary);
        f << "P6\n" << w << ' ' << h << "\n255\n";
        f.write(reinterpret_cast<const char*>(rgb.data()), std::streamsize(rgb.size()));
        const TCentreLineScore sc = ScoreTrace(p, r);
        std::printf("%s: %.2f %.2f %.1f%%, %zu polylines\n", p.Name.c_str(), sc.TracedToTrue, sc.TrueToTraced, 100 * sc.WithinTwo, r.Polylines.size());
    }
    return 0;
}

// ---- in-process benchmarks ------------------------------------------------------------------

const TPage& Page(int dpi)
{
    static const TPage page300 = MakePage(300);
    if (dpi == 300)
        return page300;
    static const TPage page600 = MakePage(600);
    return page600;
}

// Argument: dots per inch of the page.
void BM_TraceOutlinePage(benchmark::State& state)
{
    const TMonoBitmap& bits = Page(int(state.range(0))).Bits;
    size_t vertices = 0;
    for (auto _ : state)
        vertices = Trace(bits, TraceDefaults()).VertexCount();
    state.counters["vertices"] = double(vertices);
}
BENCHMARK(BM_TraceOutlinePage)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

// Centre lines should take at most one and a half times the outline time of the same page.
void BM_TraceCentreLinePage(benchmark::State& state)
{
    const TMonoBitmap& bits = Page(int(state.range(0))).Bits;
    TTraceParams p = TraceDefaults();
    p.CentreLine = true;
    size_t vertices = 0;
    for (auto _ : state)
        vertices = Trace(bits, p).VertexCount();
    state.counters["vertices"] = double(vertices);
}
BENCHMARK(BM_TraceCentreLinePage)->Arg(300)->Arg(600)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && std::strcmp(argv[1], "--page") == 0) {
        WriteBmp1(MakePage(std::atoi(argv[2])).Bits, argv[3]);
        return 0;
    }
    if (argc >= 5 && std::strcmp(argv[1], "--scan") == 0) {
        const TMonoBitmap clean = MakePage(std::atoi(argv[2])).Bits;
        TMonoBitmap scan = DegradeScan(clean, PageScan());
        Despeckle(scan, SpeckPixels);
        WriteBmp1(clean, argv[3]);
        WriteBmp1(scan, argv[4]);
        std::printf("%.5f\n", double(DifferingPixels(clean, scan)) / double(clean.InkCount()));
        return 0;
    }
    if (argc >= 3 && std::strcmp(argv[1], "--run") == 0)
        return RunMeasured(argv + 2);
    if (argc >= 5 && std::strcmp(argv[1], "--score") == 0)
        return Score(argv[2], argv[3], std::atof(argv[4]), argc >= 6 ? argv[5] : nullptr);
    if (argc >= 7 && std::strcmp(argv[1], "--cline-show") == 0)
        return ShowCentreLine(argv[2], std::atof(argv[3]), std::atoi(argv[4]), argv[5], argv[6]);
    if (argc >= 3 && std::strcmp(argv[1], "--scan-table") == 0)
        return ScanTable(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    if (argc >= 3 && std::strcmp(argv[1], "--cline-sets") == 0)
        return CentreLineSets(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    if (argc >= 3 && std::strcmp(argv[1], "--cline") == 0)
        return CentreLineTable(argv[2], std::vector<std::string>(argv + 3, argv + argc));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    return 0;
}
