// The editing tools on a drawing of 1,000,000 lines: translate and rotate in place (with their
// undo record), copy to a layer and delete (each with its records) of every second line, beside
// one plain pass over the same lines' points in the same run; the goal is within 3x that pass.
// And the polyline simplification of a noisy polyline of 100,000 and 1,000,000 points: its growth
// over the tenfold size (10 is linear, about 12 is N log N).
#include "QVCmp.h"
#include "QVDeleteTools.h"
#include "QVEntity.h"
#include "QVLayerTools.h"
#include "QVPrg2D.h"
#include "QVRegistry.h"
#include "QVTasks.h"
#include "QVTransformTasks.h"
#include "TracedDrawing.h"
#include "UndoRedo.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int32_t Lines = 1'000'000;
constexpr int Runs = 3;

double Seconds(const std::function<void()>& Work)
{
    const auto t0 = std::chrono::steady_clock::now();
    Work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

// Every second line of the drawing.
std::vector<TObject2D*> Half(TQV_01Cmp2D& Drawing)
{
    std::vector<TObject2D*> out;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    int i = 0;
    for (TGraphicObject* o = it.First(); o; o = it.Next(), ++i)
        if (i % 2 == 0)
            out.push_back(static_cast<TObject2D*>(o));
    return out;
}

// The plain pass: every point of the objects through its transform, summed.
double PlainPass(const std::vector<TObject2D*>& Objects)
{
    double sum = 0;
    for (TObject2D* o : Objects) {
        const TMatrix4 m = o->GetModelTransform();
        for (const TPoint2D& p : static_cast<TPrimitive2D*>(o)->Points().Points()) {
            const TPoint2D w = m.TransformPoint2D(p);
            sum += w.X + w.Y;
        }
    }
    return sum;
}

enum class TTool { Translate, Rotate, CopyToLayer, Delete };

struct TTimes {
    double Tool = 0, Plain = 0;
};

// One run on a fresh drawing: the plain pass, then the tool with its undo records.
TTimes Run(TTool Tool)
{
    auto drawing = std::make_unique<TQV_01Cmp2D>();
    FillTracedDrawing(*drawing, Lines, 0);
    TUndoRedo log;
    log.AttachDrawing(drawing.get());
    UndoRedo = &log;
    const std::vector<TObject2D*> half = Half(*drawing);
    TTimes t;
    volatile double sink = 0;
    t.Plain = Seconds([&] { sink = sink + PlainPass(half); });
    TQV_00Prog prog;
    TQV_50SelectObjectsParam selection(0, nullptr);
    selection.SelectedObjects.AddReferences(std::vector<TGraphicObject*>(half.begin(), half.end()));
    switch (Tool) {
    case TTool::Translate:
    case TTool::Rotate: {
        CopyObjects = false;
        std::unique_ptr<TQV_80TransformObjectsParam> p;
        if (Tool == TTool::Translate)
            p = std::make_unique<TQV_81TraslaObjectsParam>(selection, prog);
        else
            p = std::make_unique<TQV_82RuotaObjectsParam>(selection, prog);
        p->BuildMatrix(p->Matrix, {500, 500, 1}, {510, 530, 1});
        t.Tool = Seconds([&] { ApplyTransformToObjects(*p, *drawing); });
        break;
    }
    case TTool::CopyToLayer:
        t.Tool = Seconds([&] { CopyToLayer(*drawing, half, 7); });
        break;
    case TTool::Delete:
        t.Tool = Seconds([&] { DeleteObjects(*drawing, half); });
        break;
    }
    UndoRedo = nullptr;
    log.AttachDrawing(nullptr);
    // Freeing a million objects is no part of the tool.
    static_cast<void>(drawing.release());
    return t;
}

TTimes Best(TTool Tool)
{
    TTimes best;
    for (int r = 0; r < Runs; ++r) {
        const TTimes t = Run(Tool);
        if (r == 0 || t.Tool < best.Tool)
            best.Tool = t.Tool;
        if (r == 0 || t.Plain < best.Plain)
            best.Plain = t.Plain;
    }
    return best;
}

// A noisy walk of N points, as traced outlines are.
std::vector<TVector2D> Walk(size_t N)
{
    std::mt19937 rng(5);
    std::normal_distribution<double> noise(0, 0.3);
    std::vector<TVector2D> pts(N);
    double y = 0;
    for (size_t i = 0; i < N; ++i) {
        y += noise(rng);
        pts[i] = {double(i) * 0.1, y};
    }
    return pts;
}

double SimplifySeconds(size_t N, size_t& Kept)
{
    const std::vector<TVector2D> pts = Walk(N);
    double best = 0;
    for (int r = 0; r < Runs; ++r) {
        std::vector<TVector2D> kept;
        const double s = Seconds([&] { kept = SimplifyPoints(pts, 0.5); });
        Kept = kept.size();
        if (r == 0 || s < best)
            best = s;
    }
    return best;
}

} // namespace

int main()
{
    RegisterDrawingClasses();
    std::printf("drawing of %d lines, the tool on every second one; best of %d runs\n", Lines, Runs);
    const std::pair<TTool, const char*> tools[] = {{TTool::Translate, "translate in place + undo record"},
                                                   {TTool::Rotate, "rotate in place + undo record"},
                                                   {TTool::CopyToLayer, "copy to layer + undo record"},
                                                   {TTool::Delete, "delete + undo records"}};
    for (const auto& [tool, name] : tools) {
        const TTimes t = Best(tool);
        std::printf("%-34s %8.1f ms   plain pass %6.1f ms   ratio %.2fx (goal 3x)\n", name, t.Tool * 1e3,
                    t.Plain * 1e3, t.Tool / t.Plain);
    }
    size_t kept1 = 0, kept2 = 0;
    const double s1 = SimplifySeconds(100'000, kept1);
    const double s2 = SimplifySeconds(1'000'000, kept2);
    std::printf("simplify 100,000 points   %8.1f ms (%zu kept)\n", s1 * 1e3, kept1);
    std::printf("simplify 1,000,000 points %8.1f ms (%zu kept)\n", s2 * 1e3, kept2);
    std::printf("growth over 10x the points: %.1fx (10 linear, about 12 N log N)\n", s2 / s1);
    return 0;
}
