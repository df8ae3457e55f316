#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFiltraArchi.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVPreview.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVScenePreview.h"
#include "QVStream.h"
#include "SavedBytes.h"
#include "SceneViewer.h"
#include "UnitCurva.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double Deg = Pi / 180;

TPoint2D OnCircle(const TVector2D& Centre, double Radius, double Degrees)
{
    return MakePoint2D(Centre.X + Radius * std::cos(Degrees * Deg), Centre.Y + Radius * std::sin(Degrees * Deg));
}

// Points of a circle from angle From to To (degrees) in steps of Step (negative for clockwise),
// both ends included, appended to Points.
void CirclePoints(std::vector<TPoint2D>& Points, const TVector2D& Centre, double Radius, double From, double To,
                  double Step)
{
    const int n = static_cast<int>(std::lround((To - From) / Step));
    for (int i = 0; i <= n; ++i)
        Points.push_back(OnCircle(Centre, Radius, From + i * Step));
}

std::vector<TPoint2D> QuarterCircle()
{
    std::vector<TPoint2D> p;
    CirclePoints(p, {0, 0}, 10, 0, 90, 11.25);
    return p;
}

// A line or a drawing arc as its ends in the direction it is drawn (arcs counter-clockwise).
struct TElement {
    bool Arc = false;
    TVector2D Start, End, Centre;
    double Radius = 0, Sweep = 0;
};

TElement ElementOf(const TObject2D& Obj)
{
    TElement e;
    if (const auto* arc = dynamic_cast<const TArco2D*>(&Obj)) {
        TArcInfo info;
        arc->GetArcInfo(info);
        e.Arc = true;
        e.Start = info.StartPt;
        e.End = info.EndPt;
        e.Centre = info.Center;
        e.Radius = info.Radius;
        e.Sweep = info.Sweep;
        EXPECT_EQ(arc->Direction(), 1);
    } else {
        const auto& line = dynamic_cast<const TLine2D&>(Obj);
        const TPoint2D a = line.Points().Get(0), b = line.Points().Get(1);
        e.Start = {a.X, a.Y};
        e.End = {b.X, b.Y};
    }
    return e;
}

void ExpectPoint(const TVector2D& P, double X, double Y, double Tol = 1e-9)
{
    EXPECT_NEAR(P.X, X, Tol);
    EXPECT_NEAR(P.Y, Y, Tol);
}

// Distance from P to the polyline through Points.
double PolylineDistance(const std::vector<TPoint2D>& Points, const TVector2D& P)
{
    double best = std::numeric_limits<double>::infinity();
    for (size_t i = 1; i < Points.size(); ++i) {
        const TVector2D a{Points[i - 1].X, Points[i - 1].Y}, b{Points[i].X, Points[i].Y};
        best = std::min(best, VectorDistance2D(P, NearestOnSegment(a, b, P)));
    }
    return best;
}

// Keeps every preview entity, and the curve tolerance in force when it came.
class TRecordingPreview : public TPreviewTarget {
public:
    void AddPreview(std::unique_ptr<TObject2D> Entity) override
    {
        if (Fail)
            throw ECADCoreException("preview failed");
        ToleranceSeen = ArcTolerance;
        Entities.push_back(std::move(Entity));
    }

    bool Fail = false;
    double ToleranceSeen = 0;
    std::vector<std::unique_ptr<TObject2D>> Entities;
};

class ArcFilter : public ::testing::Test {
protected:
    void SetUp() override { RegisterDrawingClasses(); }
    void TearDown() override { QV_00ClearClassRegistry(); }

    TPolyline2D* AddPolyline(const std::vector<TPoint2D>& Points, uint8_t Layer = 0)
    {
        return Drawing.AddObjectToLayer(-1, Layer, std::make_unique<TPolyline2D>(-1, Points));
    }

    // Runs a filter over the whole drawing.
    TFiltraInArchi Run(bool Preview, const char* Tolerance, const char* Maximum, TPreviewTarget* Target = nullptr)
    {
        TFiltraInArchi f(Drawing, Preview, Target);
        EXPECT_TRUE(f.SetParams(Tolerance, "1", Maximum));
        f.Execute(Drawing.ObjectsIterator());
        return f;
    }

    // The lines and arcs of the drawing in order (the polylines left out).
    std::vector<TElement> Made()
    {
        std::vector<TElement> out;
        auto it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (dynamic_cast<TLine2D*>(obj) || dynamic_cast<TArco2D*>(obj))
                out.push_back(ElementOf(static_cast<TObject2D&>(*obj)));
        return out;
    }

    TQV_01Cmp2D Drawing;
};

}  // namespace

TEST_F(ArcFilter, QuarterCircleBecomesOneArcBesideThePolyline)
{
    Drawing.CurrentLayer = 3;
    AddPolyline(QuarterCircle());
    const TFiltraInArchi f = Run(false, "0.05", "1000");
    EXPECT_EQ(f.ArcCount, 1);
    EXPECT_EQ(f.LineCount, 0);
    EXPECT_EQ(f.PointsRead, 9);
    ASSERT_EQ(Drawing.ObjectsCount(), 2);
    EXPECT_NE(dynamic_cast<TPolyline2D*>(Drawing.GetObject(0)), nullptr);
    auto* arc = dynamic_cast<TArco2D*>(Drawing.GetObject(1));
    ASSERT_NE(arc, nullptr);
    EXPECT_EQ(arc->Layer, 3);
    EXPECT_TRUE(arc->UseLayerStyle);
    const TElement e = ElementOf(*arc);
    ExpectPoint(e.Centre, 0, 0);
    EXPECT_NEAR(e.Radius, 10, 1e-9);
    ExpectPoint(e.Start, 10, 0);
    ExpectPoint(e.End, 0, 10);
    EXPECT_NEAR(e.Sweep, Pi / 2, 1e-9);
}

// The drawing's arcs run counter-clockwise: a clockwise trace comes back as the arc from its end
// to its start; a closed clockwise circle is turned round before it is fitted.
TEST_F(ArcFilter, SampledCircleComesBackWithItsCentreRadiusAndDirection)
{
    struct Case {
        const char* name;
        TVector2D centre;
        double radius, from, to, step;
        size_t arcs;
        TVector2D start, end;  // of the whole result, in the drawing's direction
    };
    const std::vector<Case> cases = {
        {"counter-clockwise", {12, -7}, 25, 30, 170, 2, 1, {}, {}},
        {"clockwise", {12, -7}, 25, 170, 10, -2, 1, {}, {}},
        {"closed clockwise circle", {-40, 3}, 8, 90, -270, -5, 2, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Drawing.DeleteAllObjects();
        std::vector<TPoint2D> points;
        CirclePoints(points, c.centre, c.radius, c.from, c.to, c.step);
        AddPolyline(points);
        const TFiltraInArchi f = Run(false, "0.01", "1000");
        const std::vector<TElement> made = Made();
        ASSERT_EQ(made.size(), c.arcs);
        EXPECT_EQ(f.ArcCount, static_cast<int32_t>(c.arcs));
        EXPECT_EQ(f.LineCount, 0);
        double sweep = 0;
        for (const TElement& e : made) {
            EXPECT_TRUE(e.Arc);
            ExpectPoint(e.Centre, c.centre.X, c.centre.Y, 1e-6);
            EXPECT_NEAR(e.Radius, c.radius, 1e-6);
            sweep += e.Sweep;
        }
        EXPECT_NEAR(sweep, std::fabs(c.to - c.from) * Deg, 1e-9);
        // Counter-clockwise in the drawing: from the lower angle to the higher one.
        const TPoint2D low = OnCircle(c.centre, c.radius, std::min(c.from, c.to));
        const TPoint2D high = OnCircle(c.centre, c.radius, std::max(c.from, c.to));
        if (c.arcs == 1) {
            ExpectPoint(made[0].Start, low.X, low.Y, 1e-9);
            ExpectPoint(made[0].End, high.X, high.Y, 1e-9);
        } else {
            ExpectPoint(made.front().Start, made.back().End.X, made.back().End.Y, 1e-9);
            ExpectPoint(made[0].End, made[1].Start.X, made[1].Start.Y, 1e-9);
        }
    }
}

TEST_F(ArcFilter, RectangleBecomesFourLines)
{
    // Listed clockwise with noisy sides: the lines come back counter-clockwise from the start.
    const std::vector<TPoint2D> corners = {MakePoint2D(0, 0), MakePoint2D(0, 25), MakePoint2D(40, 25),
                                           MakePoint2D(40, 0), MakePoint2D(0, 0)};
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> jitter(-0.01, 0.01);
    std::vector<TPoint2D> points = {corners[0]};
    for (size_t k = 1; k < corners.size(); ++k) {
        const TPoint2D a = corners[k - 1], b = corners[k];
        const int n = static_cast<int>(Distance2D(a, b) / 0.5);
        for (int i = 1; i < n; ++i) {
            const double t = static_cast<double>(i) / n;
            points.push_back(MakePoint2D(a.X + t * (b.X - a.X) + jitter(rng), a.Y + t * (b.Y - a.Y) + jitter(rng)));
        }
        points.push_back(b);
    }
    AddPolyline(points);
    const TFiltraInArchi f = Run(false, "0.05", "1000");
    EXPECT_EQ(f.LineCount, 4);
    EXPECT_EQ(f.ArcCount, 0);
    EXPECT_EQ(f.PointsRead, static_cast<int32_t>(points.size()));
    const std::vector<TElement> made = Made();
    const std::vector<TVector2D> ccw = {{0, 0}, {40, 0}, {40, 25}, {0, 25}, {0, 0}};
    ASSERT_EQ(made.size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(made[i].Arc);
        ExpectPoint(made[i].Start, ccw[i].X, ccw[i].Y);
        ExpectPoint(made[i].End, ccw[i + 1].X, ccw[i + 1].Y);
    }
}

namespace {

// A closed counter-clockwise outline of lines, convex and concave arcs, given as points.
std::vector<TPoint2D> MixedOutline()
{
    std::vector<TPoint2D> p = {MakePoint2D(0, 0), MakePoint2D(40, 0)};
    CirclePoints(p, {40, 10}, 10, -90 + 3, 0, 3);  // counter-clockwise corner
    p.push_back(MakePoint2D(50, 30));
    CirclePoints(p, {60, 30}, 10, 180 - 5, 90, -5);  // clockwise notch
    CirclePoints(p, {60, 52}, 12, -90 + 3, 90, 3);   // counter-clockwise half round
    p.push_back(MakePoint2D(0, 64));
    CirclePoints(p, {0, 49}, 15, 90 + 3, 270, 3);
    p.push_back(MakePoint2D(0, 0));
    return p;
}

// The elements of the mixed outline as the drawing holds them: the clockwise notch runs from its
// end back to its start.
const std::vector<TElement> MixedElements = {
    {false, {0, 0}, {40, 0}, {}, 0, 0},
    {true, {40, 0}, {50, 10}, {40, 10}, 10, Pi / 2},
    {false, {50, 10}, {50, 30}, {}, 0, 0},
    {true, {60, 40}, {50, 30}, {60, 30}, 10, Pi / 2},
    {true, {60, 40}, {60, 64}, {60, 52}, 12, Pi},
    {false, {60, 64}, {0, 64}, {}, 0, 0},
    {true, {0, 64}, {0, 34}, {0, 49}, 15, Pi},
    {false, {0, 34}, {0, 0}, {}, 0, 0},
};

// Checks Made against Expected mapped through Place (a similarity with scale Scale).
void ExpectElements(const std::vector<TElement>& Made, const std::vector<TElement>& Expected,
                    const std::function<TVector2D(const TVector2D&)>& Place, double Scale)
{
    ASSERT_EQ(Made.size(), Expected.size());
    for (size_t i = 0; i < Made.size(); ++i) {
        SCOPED_TRACE(i);
        const TElement& m = Made[i];
        const TElement& e = Expected[i];
        EXPECT_EQ(m.Arc, e.Arc);
        const TVector2D s = Place(e.Start), t = Place(e.End);
        ExpectPoint(m.Start, s.X, s.Y, 1e-6);
        ExpectPoint(m.End, t.X, t.Y, 1e-6);
        if (e.Arc) {
            const TVector2D c = Place(e.Centre);
            ExpectPoint(m.Centre, c.X, c.Y, 1e-6);
            EXPECT_NEAR(m.Radius, e.Radius * Scale, 1e-6);
            EXPECT_NEAR(m.Sweep, e.Sweep, 1e-6);
        }
    }
}

}  // namespace

TEST_F(ArcFilter, MixedOutlineComesBackAsTheSameSequence)
{
    AddPolyline(MixedOutline());
    const TFiltraInArchi f = Run(false, "0.01", "1000");
    EXPECT_EQ(f.ArcCount, 4);
    EXPECT_EQ(f.LineCount, 4);
    ExpectElements(Made(), MixedElements, [](const TVector2D& p) { return p; }, 1);
}

// Traced-like input: every end of an output element is within the tolerance of an input point,
// and every element stays near the input polyline.
TEST_F(ArcFilter, OutputStaysWithinToleranceOfTheInput)
{
    const double tol = 0.05;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> noise(-0.02, 0.02);
    // Shapes over [0, 1] that no single circle fits.
    const std::vector<std::pair<const char*, std::function<TVector2D(double)>>> shapes = {
        {"noisy ellipse", [](double t) { return TVector2D{40 * std::cos(2 * Pi * t), 15 * std::sin(2 * Pi * t)}; }},
        {"noisy spiral",
         [](double t) { return TVector2D{(10 + 20 * t) * std::cos(4 * Pi * t), (10 + 20 * t) * std::sin(4 * Pi * t)}; }},
    };
    const int points = 600;
    for (const auto& [name, at] : shapes) {
        SCOPED_TRACE(name);
        Drawing.DeleteAllObjects();
        std::vector<TPoint2D> input;
        for (int i = 0; i <= points; ++i) {
            const TVector2D p = at(static_cast<double>(i) / points);
            input.push_back(MakePoint2D(p.X + noise(rng), p.Y + noise(rng)));
        }
        AddPolyline(input);
        const TFiltraInArchi f = Run(false, "0.05", "1000000");
        const std::vector<TElement> made = Made();
        ASSERT_GT(made.size(), 0u);
        ASSERT_LT(made.size(), static_cast<size_t>(points / 4));
        EXPECT_EQ(f.ArcCount + f.LineCount, static_cast<int32_t>(made.size()));
        // A point lies within the fit tolerance of its circle, and a flat arc's line within the
        // curve tolerance of that circle.
        const double bound = 2.4 * tol + 1e-9;
        for (size_t i = 0; i < made.size(); ++i) {
            SCOPED_TRACE(i);
            const TElement& e = made[i];
            EXPECT_LT(PolylineDistance(input, e.Start), tol);
            EXPECT_LT(PolylineDistance(input, e.End), tol);
            for (double t = 0.1; t < 1; t += 0.1) {
                TVector2D q = {e.Start.X + t * (e.End.X - e.Start.X), e.Start.Y + t * (e.End.Y - e.Start.Y)};
                if (e.Arc) {
                    const double a = std::atan2(e.Start.Y - e.Centre.Y, e.Start.X - e.Centre.X) + t * e.Sweep;
                    q = {e.Centre.X + e.Radius * std::cos(a), e.Centre.Y + e.Radius * std::sin(a)};
                }
                EXPECT_LT(PolylineDistance(input, q), bound);
            }
        }
    }
}

// The tracing front end's use: the traced container lies outside the drawing, placed by its
// model transform, which the filter applies as its matrix.
TEST_F(ArcFilter, RunsOverAContainerThroughItsMatrix)
{
    Drawing.Layers.GetLayer(6).Visible = false;
    TContainer2D traced(-1);
    auto add = [&](std::unique_ptr<TObject2D> obj, uint8_t layer, bool visible) {
        obj->Layer = layer;
        obj->Visible = visible;
        traced.Objects.Add(std::move(obj));
    };
    add(std::make_unique<TPolyline2D>(-1, MixedOutline()), 0, true);
    add(std::make_unique<TPolyline2D>(-1, QuarterCircle()), 6, true);   // hidden layer
    add(std::make_unique<TPolyline2D>(-1, QuarterCircle()), 0, false);  // hidden object
    add(std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(5, 5)), 0, true);
    const TPoint2D lone[] = {MakePoint2D(1, 1)};
    add(std::make_unique<TPolyline2D>(-1, lone), 0, true);
    TMatrix4 placement = TMatrix4::CreateRotation(true, 30);
    placement.Multiply(placement, TMatrix4::CreateTranslation(100, 50, 0));
    traced.SetModelTransform(placement);
    const TMatrix4 matrix = traced.GetModelTransform();

    Drawing.CurrentLayer = 2;
    TFiltraInArchi f(Drawing, false);
    ASSERT_TRUE(f.SetParams("0.01", "1", "1000"));
    f.Matrix = &matrix;
    f.Execute(traced.Objects.GetIterator());

    EXPECT_EQ(f.PointsRead, static_cast<int32_t>(MixedOutline().size()) + 1);
    EXPECT_EQ(traced.Objects.Count(), 5);
    EXPECT_EQ(Drawing.ObjectsCount(), 8);
    ExpectElements(
        Made(), MixedElements,
        [&](const TVector2D& p) {
            const TPoint2D q = matrix.TransformPoint2D(MakePoint2D(p.X, p.Y));
            return TVector2D{q.X, q.Y};
        },
        1);
    auto it = Drawing.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
        EXPECT_EQ(obj->Layer, 2);
}

// Over the whole drawing only what is shown is fitted; the rest keeps its place and its points.
TEST_F(ArcFilter, RunsOverTheVisibleLayersOfTheDrawing)
{
    Drawing.Layers.GetLayer(5).Visible = false;
    AddPolyline(QuarterCircle(), 0);
    TPolyline2D* onHidden = AddPolyline(QuarterCircle(), 5);
    AddPolyline(QuarterCircle(), 1)->Visible = false;
    // A polygon listed clockwise: its closing side is implicit, and it runs counter-clockwise
    // once fitted.
    const TPoint2D square[] = {MakePoint2D(20, 20), MakePoint2D(20, 30), MakePoint2D(30, 30), MakePoint2D(30, 20)};
    Drawing.AddObject(-1, std::make_unique<TPolygon2D>(-1, square));
    const TPoint2D lone[] = {MakePoint2D(7, 7)};
    AddPolyline(std::vector<TPoint2D>(std::begin(lone), std::end(lone)));

    const TFiltraInArchi f = Run(false, "0.05", "1000");
    EXPECT_EQ(f.PointsRead, 9 + 4 + 1);
    EXPECT_EQ(f.ArcCount, 1);
    EXPECT_EQ(f.LineCount, 4);
    EXPECT_EQ(Drawing.ObjectsCount(), 5 + 5);
    EXPECT_EQ(onHidden->Points().Count(), 9);
    EXPECT_EQ(onHidden->Layer, 5);
    const std::vector<TElement> made = Made();
    ASSERT_EQ(made.size(), 5u);
    EXPECT_TRUE(made[0].Arc);
    const std::vector<TVector2D> ccw = {{20, 20}, {30, 20}, {30, 30}, {20, 30}, {20, 20}};
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(made[i + 1].Arc);
        ExpectPoint(made[i + 1].Start, ccw[i].X, ccw[i].Y);
        ExpectPoint(made[i + 1].End, ccw[i + 1].X, ccw[i + 1].Y);
    }
}

// A preview shows red arcs and yellow lines of width 3 in their own style: the drawing, its
// layers and the file it would save stay exactly as they were.
TEST_F(ArcFilter, PreviewLeavesTheDrawingAndItsLayersAlone)
{
    Drawing.CurrentLayer = 4;
    Drawing.Layers.GetLayer(4).Pen.SetColor(0x123456);
    AddPolyline(MixedOutline(), 4);
    Drawing.Layers.GetLayer(4).Modified = false;
    const std::vector<uint8_t> before = Saved(Drawing);
    const int32_t nextID = Drawing.NextObjectID;

    TRecordingPreview preview;
    const TFiltraInArchi f = Run(true, "0.01", "1000", &preview);
    EXPECT_EQ(f.ArcCount, 4);
    EXPECT_EQ(f.LineCount, 4);
    EXPECT_EQ(Saved(Drawing), before);
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(Drawing.NextObjectID, nextID);
    for (int layer = 0; layer < TQV_20Layers::Count; ++layer)
        EXPECT_FALSE(Drawing.Layers.GetLayer(static_cast<uint8_t>(layer)).Modified) << layer;
    EXPECT_EQ(Drawing.Layers.GetLayer(4).Pen.Color(), 0x123456);
    EXPECT_EQ(Drawing.Layers.GetLayer(4).Pen.Width(), 1);

    ASSERT_EQ(preview.Entities.size(), MixedElements.size());
    std::vector<TElement> shown;
    for (const auto& e : preview.Entities) {
        const bool arc = dynamic_cast<TArco2D*>(e.get()) != nullptr;
        EXPECT_FALSE(e->UseLayerStyle);
        EXPECT_EQ(e->Color, arc ? 0x0000FF : 0x00FFFF);
        EXPECT_EQ(e->LineWidth, 3);
        EXPECT_EQ(e->Layer, 4);
        EXPECT_EQ(e->ID, -1);
        EXPECT_EQ(e->Owner, nullptr);
        shown.push_back(ElementOf(*e));
    }
    ExpectElements(shown, MixedElements, [](const TVector2D& p) { return p; }, 1);

    // Without a target the preview is only counted.
    const TFiltraInArchi counted = Run(true, "0.01", "1000");
    EXPECT_EQ(counted.ArcCount + counted.LineCount, 8);
    EXPECT_EQ(Saved(Drawing), before);
}

// The preview of traced results is shown in the view's highlight group, in the preview colours,
// and goes with Clear; the drawing's own group is untouched.
TEST_F(ArcFilter, PreviewIsShownInTheViewsHighlightGroup)
{
    TRecordingViewer viewer{200, 200};
    TQVScene view;
    view.AttachViewer(&viewer);
    DrawingView = &view;
    AddPolyline(MixedOutline());
    const int drawn = view.DrawingGroup->Count();
    {
        TViewPreview preview(view);
        const TFiltraInArchi f = Run(true, "0.01", "1000", &preview);
        EXPECT_EQ(preview.Count(), size_t(f.ArcCount + f.LineCount));
        EXPECT_EQ(view.HighlightGroup->Count(), f.ArcCount + f.LineCount);
        EXPECT_EQ(view.DrawingGroup->Count(), drawn);
        preview.Clear();
        EXPECT_EQ(view.HighlightGroup->Count(), 0);
        EXPECT_EQ(preview.Count(), 0u);
    }
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    DrawingView = nullptr;
}

// The filter's tolerance holds only while it runs; later offsets and conversions see the
// program's own again, whether the run ended, failed or never started.
TEST_F(ArcFilter, CurveToleranceComesBackAfterTheRun)
{
    AddPolyline(QuarterCircle());
    const double program = ArcTolerance;
    struct Case {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Case> cases = {
        {"real run", [&] { Run(false, "0.05", "1000"); }},
        {"preview",
         [&] {
             TRecordingPreview preview;
             Run(true, "0.05", "1000", &preview);
             EXPECT_EQ(preview.ToleranceSeen, 0.05);
         }},
        {"parameters that are no numbers",
         [&] {
             TFiltraInArchi f(Drawing, false);
             EXPECT_FALSE(f.SetParams("0.05", "1", "big"));
         }},
        {"the preview fails",
         [&] {
             TRecordingPreview preview;
             preview.Fail = true;
             EXPECT_THROW(Run(true, "0.05", "1000", &preview), ECADCoreException);
         }},
        {"the drawing refuses the results",
         [&] {
             TContainer2D traced(-1);
             traced.Objects.Add(std::make_unique<TPolyline2D>(-1, QuarterCircle()));
             TFiltraInArchi f(Drawing, false);
             ASSERT_TRUE(f.SetParams("0.05", "1", "1000"));
             auto walking = Drawing.ObjectsIterator();
             EXPECT_THROW(f.Execute(traced.Objects.GetIterator()), ECADListBlocked);
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.run();
        EXPECT_EQ(ArcTolerance, program);
    }
}

TEST_F(ArcFilter, ParametersMustAllBeNumbers)
{
    struct Case {
        const char* name;
        const char *tolerance, *minimum, *maximum;
        bool accepted;
        double keptTolerance, keptMinimum;
    };
    const std::vector<Case> cases = {
        {"all numbers", "0.05", "2", "500", true, 0.05, 2},
        {"tolerance", "abc", "2", "500", false, 0, 0},
        {"minimum", "0.05", "", "500", false, 0.05, 0},
        {"maximum", "0.05", "2", "5,0", false, 0.05, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TFiltraInArchi f(Drawing, false);
        EXPECT_EQ(f.SetParams(c.tolerance, c.minimum, c.maximum), c.accepted);
        EXPECT_EQ(f.Tolerance, c.keptTolerance);
        EXPECT_EQ(f.Minimum, c.keptMinimum);
    }
    // The minimum changes nothing.
    AddPolyline(QuarterCircle());
    TRecordingPreview low, high;
    for (auto [minimum, preview] : {std::pair{"0", &low}, std::pair{"1000", &high}}) {
        TFiltraInArchi f(Drawing, true, preview);
        ASSERT_TRUE(f.SetParams("0.05", minimum, "1000"));
        f.Execute(Drawing.ObjectsIterator());
    }
    ASSERT_EQ(low.Entities.size(), high.Entities.size());
    for (size_t i = 0; i < low.Entities.size(); ++i) {
        const TElement a = ElementOf(*low.Entities[i]), b = ElementOf(*high.Entities[i]);
        EXPECT_EQ(a.Arc, b.Arc);
        ExpectPoint(a.End, b.End.X, b.End.Y, 0);
    }
}
