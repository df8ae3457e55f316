// The drawing tasks driven by the view's events: the clicks and user codes of each task, the
// object that results, its undo record, and a drawing untouched until the task completes.
#include "EditingFixture.h"

#include "QVContainer.h"
#include "QVCurves.h"
#include "QVDrawTasks.h"
#include "QVEntity.h"
#include "QVSplines.h"
#include "QVStream.h"
#include "QVVariabili.h"
#include "UndoRedo.h"

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

struct TStep {
    char Kind; // 'c' click, 'm' move, 'u' user code
    double X = 0, Y = 0;
    uint16_t Code = 0;
};
TStep C(double X, double Y) { return {'c', X, Y}; }
TStep M(double X, double Y) { return {'m', X, Y}; }
TStep U(uint16_t Code) { return {'u', 0, 0, Code}; }

struct TDrawTasks : TEditingUndoFixture {
    void Run(const std::vector<TStep>& Steps)
    {
        for (const TStep& s : Steps) {
            if (s.Kind == 'c')
                Click(s.X, s.Y);
            else if (s.Kind == 'm')
                Move(s.X, s.Y);
            else
                Prog.SendUserEvent(s.Code);
        }
    }
    // The control points of the only object in the drawing, through its transform.
    std::vector<TVector2D> PointsOfOnly(std::string& ClassName)
    {
        std::vector<TVector2D> out;
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        auto* prim = dynamic_cast<TPrimitive2D*>(it.First());
        if (!prim)
            return out;
        ClassName = std::string(prim->ClassName());
        const TMatrix4 m = prim->GetModelTransform();
        for (const TPoint2D& p : prim->Points().Points()) {
            const TPoint2D w = m.TransformPoint2D(p);
            out.push_back({w.X, w.Y});
        }
        return out;
    }
};

// The objects of a walk, for a range-for that ends the walk with its scope.
std::vector<TGraphicObject*> Walk(TGraphicObjIterator& It)
{
    std::vector<TGraphicObject*> out;
    for (TGraphicObject* o = It.First(); o; o = It.Next())
        out.push_back(o);
    return out;
}

using TMake = std::function<void(TQV_00Prog&)>;

TMake Sized(std::function<std::unique_ptr<TPrimitive2D>()> Make)
{
    return [Make](TQV_00Prog& P) {
        P.StartOperation(StateClass<TQV_40DrawSizedPrimitive>(),
                         std::make_unique<TQV_40DrawSizedPrimitiveParam>(nullptr, Make(), 0, true));
    };
}
TMake Unsized(std::function<std::unique_ptr<TPrimitive2D>()> Make)
{
    return [Make](TQV_00Prog& P) {
        P.StartOperation(StateClass<TQV_40DrawUnSizedPrimitive>(),
                         std::make_unique<TQV_40DrawUnSizedPrimitiveParam>(nullptr, Make(), 0, true));
    };
}
TMake Arc(TCADStateClass Task, bool IsArc)
{
    return [Task, IsArc](TQV_00Prog& P) {
        P.StartOperation(Task, std::make_unique<TQV_40DrawArcoPrimitiveParam>(
                                   nullptr, std::make_unique<TArco2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{0, 0, 1}, 0, 0),
                                   IsArc));
    };
}
const TPoint2D O{0, 0, 1};

TEST_F(TDrawTasks, EachTaskMakesItsObjectFromTheClicks)
{
    struct TCase {
        const char* Name;
        TMake Start;
        std::vector<TStep> Steps;
        const char* Class; // "" when nothing is added
        std::vector<TVector2D> Points;
        bool Ortho = false;
    };
    const auto line = [] { return std::make_unique<TLine2D>(-1, O, O); };
    const auto poly = [] {
        const TPoint2D one[] = {O};
        return std::make_unique<TPolyline2D>(-1, one);
    };
    const std::vector<TCase> cases = {
        {"a point: one click", Sized([] { return std::make_unique<TPunto2D>(-1, O); }), {M(3, 3), C(5, 4)},
         "TPunto2D", {{5, 4}}},
        {"a line: two clicks", Sized(line), {C(1, 2), M(7, 7), C(10, 5)}, "TLine2D", {{1, 2}, {10, 5}}},
        {"a line with the orthogonal mode keeps its larger offset", Sized(line), {C(1, 2), C(10, 4)}, "TLine2D",
         {{1, 2}, {10, 2}}, true},
        {"a line of one click and Done is no line", Sized(line), {C(1, 2), U(ueDone)}, "", {}},
        {"a rectangle: two corners", Sized([] { return std::make_unique<TFrame2D>(-1, O, O); }),
         {C(1, 1), C(6, 4)}, "TFrame2D", {{1, 1}, {6, 4}}},
        {"a circle: centre and point", Sized([] { return std::make_unique<TCerchio2D>(-1, O, O); }),
         {C(10, 10), C(13, 14)}, "TCerchio2D", {{10, 10}, {13, 14}}},
        {"a polyline: a click twice on one spot is one vertex; Done keeps the floating point",
         Unsized(poly), {C(0, 0), C(0, 0), C(10, 0), M(10, 10), U(ueDone)}, "TPolyline2D",
         {{0, 0}, {10, 0}, {10, 10}}},
        {"a polyline closed after three clicks ends on its first point", Unsized(poly),
         {C(0, 0), C(10, 0), C(10, 10), U(ueClosePolygon)}, "TPolyline2D", {{0, 0}, {10, 0}, {10, 10}, {0, 0}}},
        {"a polyline cannot be closed after two clicks", Unsized(poly),
         {C(0, 0), C(10, 0), U(ueClosePolygon), U(ueDone)}, "TPolyline2D", {{0, 0}, {10, 0}}},
        {"removing the last point lets it follow the cursor again", Unsized(poly),
         {C(0, 0), C(10, 0), U(ueRemoveLastPoint), M(20, 5), C(20, 5), U(ueDone)}, "TPolyline2D",
         {{0, 0}, {20, 5}}},
        {"removing with only the first point does nothing", Unsized(poly),
         {C(0, 0), U(ueRemoveLastPoint), C(5, 0), U(ueDone)}, "TPolyline2D", {{0, 0}, {5, 0}}},
        {"a polyline of one vertex is none", Unsized(poly), {C(3, 3), U(ueDone)}, "", {}},
        {"a circle through three points", Arc(StateClass<TQV_40DrawArco3Pt>(), false),
         {C(0, 0), C(10, 0), M(5, 5), C(5, 5)}, "TArco2D", {{5, 0}, {10, 0}}},
        {"three points on a line make no circle", Arc(StateClass<TQV_40DrawArco3Pt>(), true),
         {C(0, 0), C(5, 0), C(10, 0)}, "", {}},
        {"an arc by centre, radius and two angles", Arc(StateClass<TQV_40DrawArcoPrimitive>(), true),
         {C(10, 10), C(15, 10), C(10, 20), C(5, 10)}, "TArco2D", {{10, 10}, {15, 10}}},
        {"an elliptic arc by its box and two angles",
         [](TQV_00Prog& P) {
             P.StartOperation(StateClass<TQV_40DrawEOPrimitive>(),
                              std::make_unique<TQV_40DrawEOPrimitiveParam>(
                                  nullptr, std::make_unique<TEllipseOpen2D>(-1, O, O, 0, 0)));
         },
         {C(0, 0), C(20, 10), C(20, 5), C(10, 10)}, "TEllipseOpen2D", {}},
        {"cancelled", Sized(line), {C(1, 2), M(5, 5), U(ueCancel)}, "", {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        Undo.Clear();
        Prog.UseOrto = c.Ortho;
        const std::vector<uint8_t> before = Bytes();
        c.Start(Prog);
        // Everything but the last step: a preview only.
        Run({c.Steps.begin(), c.Steps.end() - 1});
        EXPECT_EQ(Bytes(), before);
        Run({c.Steps.back()});
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_EQ(View.RubberBandObject, nullptr);
        std::string cls;
        const std::vector<TVector2D> pts = PointsOfOnly(cls);
        EXPECT_EQ(cls, c.Class);
        EXPECT_EQ(Drawing.ObjectsCount(), *c.Class ? 1 : 0);
        EXPECT_EQ(Undo.RecordCount(), *c.Class ? 1 : 0);
        if (!c.Points.empty()) {
            // Curves: their first points (centre, radius point); others: every point.
            if (cls == "TArco2D")
                ASSERT_GE(pts.size(), c.Points.size());
            else
                ASSERT_EQ(pts.size(), c.Points.size());
            for (size_t i = 0; i < c.Points.size(); ++i) {
                EXPECT_NEAR(pts[i].X, c.Points[i].X, 1e-5) << i;
                EXPECT_NEAR(pts[i].Y, c.Points[i].Y, 1e-5) << i;
            }
        }
        // The one record takes the object away again.
        Undo.Undo();
        EXPECT_EQ(Drawing.ObjectsCount(), 0);
    }
    Prog.UseOrto = false;
}

TEST_F(TDrawTasks, ASplineTakesTheConfiguredPrecision)
{
    int32_t segments = 0x10000 + 77;
    int32_t* kept = MaxCurveSegRef;
    MaxCurveSegRef = &segments;
    const TPoint2D one[] = {O};
    Prog.StartOperation(StateClass<TQV_40DrawUnSizedPrimitive>(),
                        std::make_unique<TQV_40DrawUnSizedPrimitiveParam>(
                            nullptr, std::make_unique<TBSpline2D>(-1, one), 0, true));
    Run({C(0, 0), C(10, 5), C(20, 0), U(ueDone)});
    MaxCurveSegRef = kept;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    auto* spline = dynamic_cast<TBSpline2D*>(it.First());
    ASSERT_NE(spline, nullptr);
    EXPECT_EQ(spline->Precision(), 77);
}

TEST_F(TDrawTasks, TheArcTaskPromptsForTheAnglesAfterItsSecondClick)
{
    Arc(StateClass<TQV_40DrawArcoPrimitive>(), true)(Prog);
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 5");
    Run({C(10, 10), C(15, 10)});
    EXPECT_EQ(Prog.CurrentState()->Description, "prompt 6");
    Prog.StopOperation();
    EXPECT_EQ(Drawing.ObjectsCount(), 0);
    EXPECT_EQ(View.RubberBandObject, nullptr);
}

TEST_F(TDrawTasks, APlacedContainerExplodesIntoTheDrawing)
{
    struct TCase {
        const char* Name;
        int Children;
    };
    for (const TCase& c : std::vector<TCase>{{"twelve points", 12}, {"an empty container", 0}}) {
        SCOPED_TRACE(c.Name);
        Drawing.DeleteAllObjects();
        Undo.Clear();
        // A child whose own ID is taken in the drawing already keeps none of it.
        Drawing.AddObject(0, std::make_unique<TPunto2D>(-1, TPoint2D{90, 9, 1}));
        auto container = std::make_unique<TContainer2D>(-1);
        for (int i = 0; i < c.Children; ++i)
            container->Objects.Add(std::make_unique<TPunto2D>(i, TPoint2D{double(i), 0, 1}));
        container->ComputeBox();
        TContainer2D* raw = container.get();
        auto param = std::make_unique<TQV_40PositionObjectParam>(StateClass<TQV_40ExplodeContainer>(),
                                                                 std::move(container));
        param->Target = raw;
        Prog.StartOperation(StateClass<TQV_40PositionObject>(), std::move(param));
        Move(30, 5);
        EXPECT_EQ(Drawing.ObjectsCount(), 1);
        Click(40, 5);
        EXPECT_FALSE(Prog.OperationRunning);
        EXPECT_EQ(Drawing.ObjectsCount(), 1 + c.Children);
        EXPECT_EQ(Undo.RecordCount(), c.Children ? 1 : 0);
        // Every child where the container showed it: its box corner under the click.
        std::vector<int32_t> ids;
        for (TGraphicObjIterator it = Drawing.ObjectsIterator(); TGraphicObject* o : Walk(it)) {
            ids.push_back(o->ID);
            auto* p = static_cast<TPunto2D*>(o);
            const TPoint2D w = p->GetModelTransform().TransformPoint2D(p->Points().Get(0));
            if (o->ID != 0) {
                EXPECT_NEAR(w.X, 40 + (o->ID - 1), 1e-5);
                EXPECT_NEAR(w.Y, 5, 1e-5);
            }
        }
        std::sort(ids.begin(), ids.end());
        EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end());
        if (c.Children) {
            Undo.Undo();
            EXPECT_EQ(Drawing.ObjectsCount(), 1);
        }
    }
}

} // namespace
