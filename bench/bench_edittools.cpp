// The editing tools on a drawing of 1,000,000 lines and arcs: each tool's work once its entities
// are picked (reading them, the geometry, the undo record, the drawing changed), beside one pick
// under the cursor in the same run. The goal is every tool within 2x a pick.
//
// Each tool runs on a small group of its own entities in the middle of the drawing, at a working
// zoom (10 pixels a unit); after each timed run the undo (not timed) gives the drawing back, so
// every run works on the same drawing. The figures are medians of 101 runs. The view's rebuild
// that ends every command (and every undo), whatever the command did, is the view's cost and is
// given apart, once.
#include "EditTools.h"
#include "LinesAndArcs.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVPrg2D.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVTasks.h"
#include "UndoRedo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <numbers>
#include <vector>

namespace {

using TClock = std::chrono::steady_clock;

double Millis(TClock::time_point Start)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - Start).count();
}

double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

TPoint2D P(double X, double Y)
{
    return {X, Y, 1};
}

// The drawing without its views' rebuild after an undo, which the benchmark gives apart.
class TBenchDrawing : public TQV_01Cmp2D {
public:
    void RepaintViews() override {}
};

struct TBench {
    TBenchDrawing Drawing;
    TRecordingViewer Viewer{1000, 600};
    TQVScene View;
    TQV_00Prog Prog;
    TUndoRedo Log;
    TInfoEdit Panel{true};
    double X = 0, Y = 0; // the middle of the drawing

    TObject2D* Add(std::unique_ptr<TObject2D> Obj) { return Drawing.AddObject(-1, std::move(Obj)); }
    TObject2D* Line(double X1, double Y1, double X2, double Y2)
    {
        return Add(std::make_unique<TLine2D>(-1, P(X + X1, Y + Y1), P(X + X2, Y + Y2)));
    }
    TObject2D* Circle(double CX, double CY, double R)
    {
        return Add(std::make_unique<TCerchio2D>(-1, P(X + CX, Y + CY), P(X + CX + R, Y + CY)));
    }

    // The tool on the objects (by ID: a tool may replace them) with the picks, timed; the undo
    // gives the drawing back.
    double Time(TCADStateClass Tool, const std::vector<int32_t>& IDs, TPoint2D Pick1, TPoint2D Pick2)
    {
        std::vector<double> t;
        for (int run = 0; run < 101; ++run) {
            auto param = std::make_unique<TQV_50SelectObjectsParam>(5, nullptr);
            for (int32_t id : IDs)
                param->SelectedObjects.Add(*Drawing.GetObject(id));
            PickPoints = {Pick1, Pick2};
            Prog.SetCursorPoint(Pick1);
            const int32_t records = Log.RecordCount();
            TCADStateClass next = nullptr;
            const auto start = TClock::now();
            try {
                const std::unique_ptr<TQV_00State> state = Tool->Create(Prog, param.get(), next);
            } catch (const std::exception& E) {
                std::printf("  the tool failed: %s\n", E.what());
                return 0;
            }
            t.push_back(Millis(start));
            if (Log.RecordCount() != records + 1) {
                std::printf("  the tool did not record its edit (run %d)\n", run);
                return 0;
            }
            Log.Undo();
        }
        return Median(t);
    }
};

} // namespace

int main()
{
    // BENCH_OBJECTS=<n> runs a smaller drawing.
    const char* objects = std::getenv("BENCH_OBJECTS");
    const int n = objects ? std::atoi(objects) : 1000000;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const double side = 2 * std::sqrt(double(n));
    std::printf("bench_edittools: each tool's work after its picks beside one pick, %d objects\n", n);
    // The undo log writes its images by the classes' stream indices.
    RegisterDrawingClasses();
    TBench b;
    FillLinesAndArcs(b.Drawing, n, side);
    b.X = b.Y = side / 2;
    DrawingView = &b.View;
    b.View.AttachViewer(&b.Viewer);
    b.View.AttachDrawing(&b.Drawing);
    b.Prog.SetViewPort(&b.View);
    b.Log.AttachDrawing(&b.Drawing);
    UndoRedo = &b.Log;
    InfoEdit = &b.Panel;
    b.Panel.SetMode(TPanelMode::Extend);
    std::string length = "2";
    b.Panel.SetValue(0, length);
    FilletRadius = 1;

    // The tools' entities: two crossing lines, two collinear lines, two circles.
    const int32_t h = b.Line(-10, 0, 10, 0)->ID, v = b.Line(0, -10, 0, 10)->ID;
    const int32_t c1 = b.Line(-10, 20, -2, 20)->ID, c2 = b.Line(2, 20, 10, 20)->ID;
    const int32_t k1 = b.Circle(-6, -25, 3)->ID, k2 = b.Circle(6, -25, 3)->ID;

    // One pick under the cursor, as the selection tasks make it: at the working zoom, and with the
    // whole drawing in view.
    const auto timePick = [&] {
        std::vector<double> picks;
        for (int run = 0; run < 101; ++run) {
            const auto start = TClock::now();
            int32_t code = 0;
            b.View.PickObject(P(b.X - 5, b.Y), 5, true, code);
            picks.push_back(Millis(start));
        }
        return Median(picks);
    };
    b.View.ZoomToExtents();
    const double wholePick = timePick();
    b.View.ZoomToBox({{b.X - 50, b.Y, 0, 1}, {b.X + 50, b.Y, 0, 1}});
    const double pick = timePick();
    std::printf("  one pick, working zoom:        %8.4f ms\n", pick);
    std::printf("  one pick, whole drawing:       %8.4f ms\n", wholePick);

    const auto at = [&](double X, double Y) { return P(b.X + X, b.Y + Y); };
    struct TRow {
        const char* Name;
        std::function<double()> Run;
    };
    const TRow rows[] = {
        {"fillet",
         [&] {
             return b.Time(StateClass<TQV2D_Fillet>(), {h, v}, at(-5, 0), at(0, 5));
         }},
        {"trim",
         [&] {
             return b.Time(StateClass<TQV2D_Trim>(), {h, v}, at(-5, 0), at(0, 5));
         }},
        {"break",
         [&] {
             return b.Time(StateClass<TQV2D_Break>(), {h, v}, at(-5, 0), at(0, 5));
         }},
        {"divide", [&] { return b.Time(StateClass<TQV2D_Divide>(), {h}, at(-5, 0), at(-5, 0)); }},
        {"join",
         [&] {
             return b.Time(StateClass<TQV2D_Join>(), {c1, c2}, at(-5, 20), at(5, 20));
         }},
        {"extend", [&] { return b.Time(StateClass<TQV2D_Extend>(), {h}, at(9, 0), at(9, 0)); }},
        {"perpendicular line",
         [&] { return b.Time(StateClass<TMyLineaPerPunto>(), {h}, at(3, 7), at(3, 7)); }},
        {"touching circle", [&] { return b.Time(StateClass<TMyArcoTan1Punto>(), {h}, at(3, 7), at(3, 7)); }},
        {"line tangent to two circles",
         [&] {
             return b.Time(StateClass<TMyLineaTan2A>(), {k1, k2}, at(-6, -22), at(6, -22));
         }},
        {"tangent circle of radius",
         [&] {
             return b.Time(StateClass<TMyArcoTan2>(), {h, v}, at(-5, 0), at(0, 5));
         }},
    };
    double worst = 0;
    for (const TRow& r : rows) {
        const double ms = r.Run();
        worst = std::max(worst, ms);
        std::printf("  %-30s %8.4f ms  = %6.2fx a pick at working zoom, %.3fx one over the whole drawing\n",
                    r.Name, ms, ms / pick, ms / wholePick);
    }
    std::printf(
        "  slowest tool: %.2fx a pick at working zoom, %.3fx one over the whole drawing (goal: within 2x)\n",
        worst / pick, worst / wholePick);
    const auto start = TClock::now();
    b.View.RebuildAll(false);
    std::printf("  beside: the view's rebuild that ends every command: %.1f ms\n", Millis(start));
    b.Prog.SetViewPort(nullptr);
    DrawingView = nullptr;
    UndoRedo = nullptr;
    InfoEdit = nullptr;
    return 0;
}
