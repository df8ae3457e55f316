// Arc fitting of traced-like outlines: closed curves of line vertices at one-pixel steps with
// sub-pixel noise (circles, rectangles and free curves), as the tracer hands them over. Reports
// points per second, the ratio of output vertices to input points, and how the time grows from
// 100,000 to 1,000,000 points. Very large circles show that the cost of a long fitting run stays
// near linear in its length. The same outlines as polylines of a drawing then go through the
// polyline-to-arcs filter, for real and as a preview: there the ratio counts the lines and arcs
// made per input point. Last, the filter at 100,000 and 1,000,000 points, each run as the first use
// in a new process, beside the cost of the new memory it took.
#include "FreshProcess.h"
#include "QVCmp.h"
#include "QVEntity.h"
#include "QVFiltraArchi.h"
#include "UnitCurva.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;
// Pixel units: the tracer's noise stays within a quarter pixel; the curve tolerance is one pixel
// (about the filter's 0.1 mm at 300 dots per inch); the radius limit lets even the largest
// circles here be fitted as arcs.
constexpr double Noise = 0.25;
constexpr double Tolerance = 1.0;
constexpr double MaxRadius = 100000;

enum class TShapes { Mixed, Circles, Rectangles, FreeCurves, LargeCircles };

class TOutlines {
public:
    TOutlines(TShapes Shapes, size_t Points) : Rng(static_cast<unsigned>(Points) + static_cast<unsigned>(Shapes))
    {
        for (int k = 0; Count < Points; ++k) {
            switch (Shapes == TShapes::Mixed ? static_cast<TShapes>(1 + k % 3) : Shapes) {
            case TShapes::Circles: Circle(Uniform(10, 3000)); break;
            case TShapes::Rectangles: Rectangle(Uniform(10, 2000), Uniform(10, 2000)); break;
            case TShapes::FreeCurves: FreeCurve(Uniform(20, 1500)); break;
            default: Circle(20000); break;
            }
        }
    }

    size_t Count = 0;
    // Each outline closes on its exact first point.
    std::vector<std::vector<TVector2D>> Outlines;

private:
    double Uniform(double Lo, double Hi) { return std::uniform_real_distribution<double>(Lo, Hi)(Rng); }

    void Add(std::vector<TVector2D>& Points)
    {
        Points.push_back(Points.front());
        Count += Points.size();
        Outlines.push_back(std::move(Points));
    }

    TVector2D Noisy(double X, double Y) { return {X + Uniform(-Noise, Noise), Y + Uniform(-Noise, Noise)}; }

    void Circle(double R)
    {
        const int n = static_cast<int>(std::ceil(TwoPi * R));
        std::vector<TVector2D> points;
        for (int i = 0; i < n; ++i)
            points.push_back(Noisy(R * std::cos(TwoPi * i / n), R * std::sin(TwoPi * i / n)));
        Add(points);
    }

    void Rectangle(double W, double H)
    {
        const TVector2D corners[5] = {{0, 0}, {W, 0}, {W, H}, {0, H}, {0, 0}};
        std::vector<TVector2D> points;
        for (int k = 0; k < 4; ++k) {
            const TVector2D a = corners[k], b = corners[k + 1];
            const int n = static_cast<int>(std::ceil(std::hypot(b.X - a.X, b.Y - a.Y)));
            for (int i = 0; i < n; ++i)
                points.push_back(Noisy(a.X + (b.X - a.X) * i / n, a.Y + (b.Y - a.Y) * i / n));
        }
        Add(points);
    }

    // A closed blob, resampled at one-pixel steps along its length.
    void FreeCurve(double R)
    {
        const double phase = Uniform(0, TwoPi);
        auto at = [&](double t) {
            const double r = R * (1 + 0.25 * std::sin(3 * t + phase) + 0.08 * std::sin(7 * t));
            return TVector2D{r * std::cos(t), r * std::sin(t)};
        };
        std::vector<TVector2D> points;
        TVector2D last = at(0);
        points.push_back(Noisy(last.X, last.Y));
        const int fine = static_cast<int>(TwoPi * R * 8);
        double walked = 0;
        for (int i = 1; i < fine; ++i) {
            const TVector2D p = at(TwoPi * i / fine);
            walked += std::hypot(p.X - last.X, p.Y - last.Y);
            last = p;
            if (walked >= 1) {
                points.push_back(Noisy(p.X, p.Y));
                walked = 0;
            }
        }
        Add(points);
    }

    std::mt19937 Rng;
};

// Fits copies of the outlines; returns the seconds spent fitting and the vertices made.
double FitCopies(const TOutlines& Input, size_t& Vertices)
{
    std::vector<std::unique_ptr<TACurva>> copies;
    for (const std::vector<TVector2D>& outline : Input.Outlines) {
        auto c = std::make_unique<TACurva>();
        for (const TVector2D& p : outline)
            c->AddVertex(TAVertice::CreatePoint(p, 0));
        c->Closed = true;
        copies.push_back(std::move(c));
    }
    const auto t0 = std::chrono::steady_clock::now();
    for (const auto& c : copies)
        c->FitArcs(MaxRadius);
    const auto t1 = std::chrono::steady_clock::now();
    Vertices = 0;
    for (const auto& c : copies)
        Vertices += c->Vertices.size();
    return std::chrono::duration<double>(t1 - t0).count();
}

// One way to process the outlines: returns the seconds measured and sets the output count.
using TRun = std::function<double(const TOutlines& Input, size_t& Output)>;

// Runs Run on Input once per iteration and reports the size, the points per second and the
// output per input point.
void MeasureSize(benchmark::State& state, const TOutlines& Input, const TRun& Run)
{
    size_t output = 0;
    double seconds = 0;
    for (auto _ : state) {
        const double s = Run(Input, output);
        state.SetIterationTime(s);
        seconds += s;
    }
    const double points = static_cast<double>(Input.Count) * static_cast<double>(state.iterations());
    state.counters["points"] = static_cast<double>(Input.Count);
    state.counters["points_per_s"] = points / seconds;
    state.counters["out_per_in"] = static_cast<double>(output) / static_cast<double>(Input.Count);
    state.SetComplexityN(static_cast<int64_t>(Input.Count));
}

// Runs Run on 100,000 and on 1,000,000 points of mixed outlines in turn, in the same run:
// growth is the time for the large set over the time for the small one (10 for linear cost).
void MeasureGrowth(benchmark::State& state, const TRun& Run)
{
    const TOutlines small(TShapes::Mixed, 100'000), large(TShapes::Mixed, 1'000'000);
    double smallSeconds = 0, largeSeconds = 0;
    size_t output = 0;
    for (auto _ : state) {
        smallSeconds += Run(small, output);
        largeSeconds += Run(large, output);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["small_points"] = static_cast<double>(small.Count);
    state.counters["large_points"] = static_cast<double>(large.Count);
    state.counters["small_ms"] = 1000 * smallSeconds / n;
    state.counters["large_ms"] = 1000 * largeSeconds / n;
    state.counters["growth"] = largeSeconds / smallSeconds;
    state.counters["growth_per_point"] =
        (largeSeconds / static_cast<double>(large.Count)) / (smallSeconds / static_cast<double>(small.Count));
}

void BM_FitArcs(benchmark::State& state, TShapes Shapes)
{
    const TArcToleranceScope tol(Tolerance);
    MeasureSize(state, TOutlines(Shapes, static_cast<size_t>(state.range(0))), FitCopies);
}
BENCHMARK_CAPTURE(BM_FitArcs, mixed, TShapes::Mixed)
    ->Arg(100'000)
    ->Arg(300'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_FitArcs, circles, TShapes::Circles)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FitArcs, rectangles, TShapes::Rectangles)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_FitArcs, free_curves, TShapes::FreeCurves)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
// Circles of radius 20,000 pixels: fitting runs of some 60,000 points each.
BENCHMARK_CAPTURE(BM_FitArcs, large_circles, TShapes::LargeCircles)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Both sizes of mixed outlines fitted in the same run.
void BM_Growth(benchmark::State& state)
{
    const TArcToleranceScope tol(Tolerance);
    MeasureGrowth(state, FitCopies);
}
BENCHMARK(BM_Growth)->Unit(benchmark::kMillisecond)->Iterations(3);

// The outlines as polylines of a new drawing.
std::unique_ptr<TQV_01Cmp2D> DrawingOf(const TOutlines& Input)
{
    auto drawing = std::make_unique<TQV_01Cmp2D>();
    std::vector<TPoint2D> points;
    for (const std::vector<TVector2D>& outline : Input.Outlines) {
        points.clear();
        for (const TVector2D& p : outline)
            points.push_back({p.X, p.Y, 1});
        drawing->AddObject(-1, std::make_unique<TPolyline2D>(-1, points));
    }
    return drawing;
}

// Runs the filter over the drawing; answers the lines and arcs it made.
size_t Filter(TQV_01Cmp2D& Drawing, bool Preview)
{
    TFiltraInArchi filter(Drawing, Preview);
    if (!filter.SetParams(std::to_string(Tolerance), "0", std::to_string(MaxRadius)))
        std::abort();
    filter.Execute(Drawing.ObjectsIterator());
    return static_cast<size_t>(filter.ArcCount) + static_cast<size_t>(filter.LineCount);
}

// Runs the filter over a fresh drawing of the outlines; returns the seconds it took and the
// lines and arcs it made.
double FilterDrawing(const TOutlines& Input, bool Preview, size_t& Elements)
{
    const std::unique_ptr<TQV_01Cmp2D> drawing = DrawingOf(Input);
    const auto t0 = std::chrono::steady_clock::now();
    Elements = Filter(*drawing, Preview);
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void BM_Filter(benchmark::State& state, bool Preview)
{
    MeasureSize(state, TOutlines(TShapes::Mixed, static_cast<size_t>(state.range(0))),
                [Preview](const TOutlines& Input, size_t& Elements) { return FilterDrawing(Input, Preview, Elements); });
}
BENCHMARK_CAPTURE(BM_Filter, drawing, false)
    ->Arg(100'000)
    ->Arg(300'000)
    ->Arg(1'000'000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Complexity(benchmark::oN);
BENCHMARK_CAPTURE(BM_Filter, preview, true)->Arg(1'000'000)->UseManualTime()->Unit(benchmark::kMillisecond);

// The filter over both sizes of drawing in the same run.
void BM_FilterGrowth(benchmark::State& state)
{
    MeasureGrowth(state, [](const TOutlines& Input, size_t& Elements) { return FilterDrawing(Input, false, Elements); });
}
BENCHMARK(BM_FilterGrowth)->Unit(benchmark::kMillisecond)->Iterations(3);

// The filter over a drawing of Points points of mixed outlines, as the first use in a new process.
TFirstUse FilterFirstUse(size_t Points)
{
    return InFreshProcess([Points] {
        const TOutlines input(TShapes::Mixed, Points);
        const std::unique_ptr<TQV_01Cmp2D> drawing = DrawingOf(input);
        return MeasureFirstUse([&] { Filter(*drawing, false); });
    });
}

// Each size three times, each time in a new process made before any benchmark ran, so that it
// inherits no freed memory to reuse; the growth per point compares the fastest runs of both sizes
// (1.00 for linear cost).
struct TFirstUseFigures {
    size_t Points;
    TFirstUse Best;
};

std::vector<TFirstUseFigures> MeasureFilterFirstUse()
{
    std::vector<TFirstUseFigures> figures;
    for (const size_t points : {size_t(100'000), size_t(1'000'000)}) {
        TFirstUse best;
        for (int run = 0; run < 3; ++run) {
            const TFirstUse r = FilterFirstUse(points);
            if (run == 0 || r.Seconds < best.Seconds)
                best = r;
        }
        figures.push_back({points, best});
    }
    return figures;
}

void PrintFilterFirstUse(const std::vector<TFirstUseFigures>& figures)
{
    std::printf("\npolyline-to-arcs filter, each run the first in a new process (fastest of 3):\n");
    for (const TFirstUseFigures& f : figures)
        std::printf("%9zu points %8.1f ms  %6.2f M points/s  new memory %6.1f MB, touching as much fresh "
                    "memory %6.1f ms\n",
                    f.Points, f.Best.Seconds * 1e3, static_cast<double>(f.Points) / f.Best.Seconds * 1e-6,
                    f.Best.NewBytes() / 1e6,
                    FreshMemorySeconds(static_cast<size_t>(f.Best.NewBytes())) * 1e3);
    const auto perPoint = [](const TFirstUseFigures& f) {
        return f.Best.Seconds / static_cast<double>(f.Points);
    };
    std::printf("time per point, 1,000,000 over 100,000: %.2f (1.00 is linear)\n",
                perPoint(figures[1]) / perPoint(figures[0]));
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    const std::vector<TFirstUseFigures> firstUse = MeasureFilterFirstUse();
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    PrintFilterFirstUse(firstUse);
    return 0;
}
