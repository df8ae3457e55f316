// Delete and polyline simplification: what goes, what stays, the undo records, and the points
// the tolerance keeps.
#include "EditingFixture.h"

#include "Bitmap32.h"
#include "QVBitmap2D.h"
#include "QVCurves.h"
#include "QVDeleteTools.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVTasks.h"
#include "UndoRedo.h"

#include <cmath>
#include <memory>
#include <random>
#include <vector>

namespace {

using TDeleteTools = TEditingUndoFixture;

std::vector<TVector2D> V(std::initializer_list<TVector2D> L)
{
    return L;
}

TEST(SimplifyPoints, KeepsThePointsFartherThanTheTolerance)
{
    struct TCase {
        const char* Name;
        std::vector<TVector2D> Points;
        double Tol;
        std::vector<TVector2D> Kept;
    };
    const auto zigzag = V({{0, 0}, {1, 0.05}, {2, 0}, {3, 0.05}, {4, 0}});
    const std::vector<TCase> cases = {
        {"a flat zigzag within the tolerance", zigzag, 0.1, V({{0, 0}, {4, 0}})},
        {"the same zigzag beyond it", zigzag, 0.01, zigzag},
        {"foot points are exact: 0.3 from the chord, tolerance 0.4", V({{0, 0}, {10.4, 0.3}, {20, 0}}), 0.4,
         V({{0, 0}, {20, 0}})},
        {"the same with tolerance 0.2", V({{0, 0}, {10.4, 0.3}, {20, 0}}), 0.2,
         V({{0, 0}, {10.4, 0.3}, {20, 0}})},
        {"a point exactly at the tolerance is dropped", V({{0, 0}, {5, 0.5}, {10, 0}}), 0.5,
         V({{0, 0}, {10, 0}})},
        {"beyond an end the distance is to that end", V({{0, 0}, {12, 0.1}, {10, 0}}), 1, V({{0, 0}, {12, 0.1}, {10, 0}})},
        {"two points come back unchanged", V({{0, 0}, {3, 4}}), 10, V({{0, 0}, {3, 4}})},
        {"one point gives none", V({{1, 1}}), 1, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::vector<TVector2D> kept = SimplifyPoints(c.Points, c.Tol);
        ASSERT_EQ(kept.size(), c.Kept.size());
        for (size_t i = 0; i < kept.size(); ++i) {
            EXPECT_EQ(kept[i].X, c.Kept[i].X);
            EXPECT_EQ(kept[i].Y, c.Kept[i].Y);
        }
    }
}

// The distance of P from the segment A-B.
double SegmentDistance(const TVector2D& P, const TVector2D& A, const TVector2D& B)
{
    const double ux = B.X - A.X, uy = B.Y - A.Y, l2 = ux * ux + uy * uy;
    double t = l2 > 0 ? ((P.X - A.X) * ux + (P.Y - A.Y) * uy) / l2 : 0;
    t = std::fmax(0, std::fmin(1, t));
    return std::hypot(P.X - (A.X + t * ux), P.Y - (A.Y + t * uy));
}

TEST(SimplifyPoints, EveryDroppedPointLiesWithinTheToleranceOfItsSpan)
{
    // A noisy walk, as traced outlines are; the ends are kept, and each dropped point lies within
    // the tolerance of the kept segment it falls between.
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0, 0.3);
    std::vector<TVector2D> pts;
    double y = 0;
    for (int i = 0; i < 20000; ++i) {
        y += noise(rng);
        pts.push_back({i * 0.1, y});
    }
    for (const double tol : {0.05, 0.5, 5.0}) {
        SCOPED_TRACE(tol);
        const std::vector<TVector2D> kept = SimplifyPoints(pts, tol);
        ASSERT_GE(kept.size(), 2u);
        EXPECT_EQ(kept.front().X, pts.front().X);
        EXPECT_EQ(kept.back().X, pts.back().X);
        size_t k = 0;
        for (const TVector2D& p : pts) {
            while (k + 1 < kept.size() && p.X > kept[k + 1].X)
                ++k;
            if (k + 1 < kept.size()) {
                EXPECT_LE(SegmentDistance(p, kept[k], kept[k + 1]), tol + 1e-9);
            }
        }
    }
}

TEST_F(TDeleteTools, DeleteTakesAllButImagesWithOneRecordEach)
{
    const TMemoryBitmap32 picture(2, 2);
    TObject2D* line = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    TObject2D* image =
        Drawing.AddObject(-1, std::make_unique<TBitmap2D>(-1, TPoint2D{20, 0, 1}, TPoint2D{30, 10, 1}, picture));
    TObject2D* arc = Drawing.AddObjectToLayer(
        -1, 3, std::make_unique<TArco2D>(-1, TPoint2D{50, 0, 1}, TPoint2D{55, 0, 1}, 0, 1.5));
    const int32_t lineID = line->ID, arcID = arc->ID;
    RunOn(StateClass<TMyCancella>(), {line, image, arc});
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(Drawing.GetObject(image->ID), image);
    EXPECT_EQ(Undo.RecordCount(), 2);
    Undo.Undo();
    Undo.Undo();
    EXPECT_EQ(Drawing.ObjectsCount(), 3);
    ASSERT_NE(Drawing.GetObject(arcID), nullptr);
    EXPECT_EQ(Drawing.GetObject(arcID)->Layer, 3);
    EXPECT_NE(Drawing.GetObject(lineID), nullptr);
}

TEST_F(TDeleteTools, AnEmptySelectionDeletesNothing)
{
    Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{10, 0, 1}));
    RunOn(StateClass<TMyCancella>(), {});
    EXPECT_EQ(Drawing.ObjectsCount(), 1);
    EXPECT_EQ(Undo.RecordCount(), 0);
}

TEST_F(TDeleteTools, SimplifyReplacesPolylinesOnTheirLayersAndUndoBringsThemBack)
{
    const TPoint2D zig[] = {{0, 0, 1}, {1, 0.05, 1}, {2, 0, 1}, {3, 0.05, 1}, {4, 0, 1}};
    TObject2D* poly = Drawing.AddObjectToLayer(-1, 4, std::make_unique<TPolyline2D>(-1, zig));
    TObject2D* line = Drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 5, 1}, TPoint2D{9, 5, 1}));
    const int32_t polyID = poly->ID;
    // The tolerance is the panel's first value; the counts come back to the panel.
    TInfoEdit panel(true);
    InfoEdit = &panel;
    panel.SetMode(TPanelMode::Simplify);
    std::string tol = "0.1";
    panel.SetValue(0, tol);
    RunOn(StateClass<TMyRiducePoly>(), {poly, line});
    InfoEdit = nullptr;
    ASSERT_GE(panel.Layout().Cells.size(), 3u);
    EXPECT_EQ(panel.Layout().Cells[1][0], "5");
    EXPECT_EQ(panel.Layout().Cells[2][0], "2");
    EXPECT_EQ(Drawing.GetObject(polyID), nullptr);
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
    EXPECT_EQ(Undo.RecordCount(), 1);
    {
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        for (TGraphicObject* o = it.First(); o; o = it.Next())
            if (auto* p = dynamic_cast<TPolyline2D*>(o)) {
                EXPECT_EQ(p->Layer, 4);
                EXPECT_EQ(p->Points().Count(), 2);
            }
    }
    Undo.Undo();
    ASSERT_NE(Drawing.GetObject(polyID), nullptr);
    EXPECT_EQ(static_cast<TPolyline2D*>(Drawing.GetObject(polyID))->Points().Count(), 5);
    EXPECT_EQ(Drawing.ObjectsCount(), 2);
}

} // namespace
