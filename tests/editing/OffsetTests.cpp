#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "UnitOffset.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

TPoint2D P(double X, double Y)
{
    return {X, Y, 1};
}

std::vector<TVector2D> Outline(const TPrimitive2D& E)
{
    std::vector<TVector2D> v;
    for (const TPoint2D& p : E.Points().Points())
        v.push_back({p.X, p.Y});
    return v;
}

double DistanceToPolyline(const TVector2D& Q, const std::vector<TVector2D>& Poly, bool Closed)
{
    double best = 1e300;
    const size_t n = Poly.size();
    for (size_t i = 0; i + 1 < n + (Closed ? 1 : 0); ++i) {
        const TVector2D& a = Poly[i];
        const TVector2D& b = Poly[(i + 1) % n];
        best = std::min(best, VectorDistance2D(Q, NearestOnSegment(a, b, Q)));
    }
    return best;
}

TEST(TOffset, LinesArcsAndCirclesTable)
{
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TObject2D>()> Make;
        bool Side;
        std::function<void(TObject2D&)> Check;
    };
    const auto line = [] { return std::make_unique<TLine2D>(-1, P(0, 0), P(10, 0)); };
    const auto arc = [] { return std::make_unique<TArco2D>(-1, P(1, 1), P(6, 1), 0, Pi / 2); };
    const auto circle = [] { return std::make_unique<TCerchio2D>(-1, P(1, 1), P(1, 6)); };
    const auto lineIs = [](double Y) {
        return [Y](TObject2D& r) {
            auto& l = dynamic_cast<TLine2D&>(r);
            EXPECT_NEAR(l.Points().Get(0).X, 0, 1e-12);
            EXPECT_NEAR(l.Points().Get(0).Y, Y, 1e-12);
            EXPECT_NEAR(l.Points().Get(1).X, 10, 1e-12);
            EXPECT_NEAR(l.Points().Get(1).Y, Y, 1e-12);
        };
    };
    const auto arcRadius = [](double R) {
        return [R](TObject2D& r) {
            TArcInfo2D info;
            dynamic_cast<TArco2D&>(r).GetArcInfo2D(info);
            EXPECT_NEAR(info.Radius, R, 1e-9);
            EXPECT_NEAR(info.Center.X, 1, 1e-12);
            EXPECT_NEAR(info.StartAngle, 0, 1e-9);
            EXPECT_NEAR(info.EndAngle, Pi / 2, 1e-9);
        };
    };
    const auto circleRadius = [](double R) {
        return [R](TObject2D& r) {
            TPoint2D c;
            double radius = 0;
            dynamic_cast<TCerchio2D&>(r).GetGeometry(c, radius);
            EXPECT_NEAR(radius, R, 1e-9);
            EXPECT_NEAR(c.X, 1, 1e-12);
            EXPECT_NEAR(c.Y, 1, 1e-12);
        };
    };
    const TCase cases[] = {
        {"line left", line, false, lineIs(2)},
        {"line right", line, true, lineIs(-2)},
        {"arc out", arc, true, arcRadius(7)},
        {"arc in", arc, false, arcRadius(3)},
        {"circle out, its point above the centre", circle, true, circleRadius(7)},
        {"circle in", circle, false, circleRadius(3)},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto obj = c.Make();
        TOffsetResults r = MakeOffset(*obj, 2, c.Side);
        ASSERT_EQ(r.size(), 1u);
        EXPECT_EQ(r[0]->ID, -1);
        EXPECT_FALSE(r[0]->UseLayerStyle);
        EXPECT_EQ(r[0]->Color, 0x0000FF);
        c.Check(*r[0]);
    }
}

TEST(TOffset, NothingLeftTable)
{
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TObject2D>()> Make;
        double Distance;
    } cases[] = {
        {"line of no length", [] { return std::make_unique<TLine2D>(-1, P(3, 3), P(3, 3)); }, 2},
        {"arc offset past its centre", [] { return std::make_unique<TArco2D>(-1, P(0, 0), P(5, 0), 0, 1); },
         5},
        {"circle offset past its centre", [] { return std::make_unique<TCerchio2D>(-1, P(0, 0), P(5, 0)); },
         6},
        {"a point", [] { return std::make_unique<TPunto2D>(-1, P(0, 0)); }, 1},
        {"distance not a number", [] { return std::make_unique<TLine2D>(-1, P(0, 0), P(1, 0)); },
         std::nan("")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto obj = c.Make();
        EXPECT_TRUE(MakeOffset(*obj, c.Distance, false).empty());
    }
}

TEST(TOffset, ClosedSquaresTable)
{
    const std::vector<TPoint2D> cw = {P(0, 0), P(0, 10), P(10, 10), P(10, 0), P(0, 0)};
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TObject2D>()> Make;
        bool Side;
        double Lo, Hi;
    } cases[] = {
        {"frame grows", [] { return std::make_unique<TFrame2D>(-1, P(0, 0), P(10, 10)); }, false, -1, 11},
        {"frame shrinks", [] { return std::make_unique<TFrame2D>(-1, P(0, 0), P(10, 10)); }, true, 1, 9},
        {"clockwise polyline grows", [&] { return std::make_unique<TPolyline2D>(-1, cw); }, false, -1, 11},
        {"polygon shrinks", [&] { return std::make_unique<TPolygon2D>(-1, std::span(cw).first(4)); }, true, 1,
         9},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        auto obj = c.Make();
        TOffsetResults r = MakeOffset(*obj, 1, c.Side);
        ASSERT_EQ(r.size(), 1u);
        const std::vector<TVector2D> v = Outline(*r[0]);
        // Sharp corners: four distinct corners, closed on the first.
        ASSERT_EQ(v.size(), 5u);
        for (const TVector2D& q : v) {
            EXPECT_TRUE(std::abs(q.X - c.Lo) < 1e-9 || std::abs(q.X - c.Hi) < 1e-9) << q.X;
            EXPECT_TRUE(std::abs(q.Y - c.Lo) < 1e-9 || std::abs(q.Y - c.Hi) < 1e-9) << q.Y;
        }
        EXPECT_NEAR(v.front().X, v.back().X, 1e-12);
    }
}

// The inner side of an L: one polyline whose corner is the crossing of the two offset legs, and
// no closing side.
TEST(TOffset, OpenLCutsItsInnerLoop)
{
    TPolyline2D l(-1, std::vector<TPoint2D>{P(0, 10), P(0, 0), P(10, 0)});
    for (bool side : {false, true}) {
        TOffsetResults r = MakeOffset(l, 1, side);
        ASSERT_EQ(r.size(), 1u);
        const std::vector<TVector2D> v = Outline(*r[0]);
        ASSERT_EQ(v.size(), 3u) << side;
        // A positive delta goes to the right of the way along the path.
        const double s = side ? 1 : -1;
        EXPECT_NEAR(v[0].X, s, 1e-9);
        EXPECT_NEAR(v[0].Y, 10, 1e-9);
        EXPECT_NEAR(v[1].X, s, 1e-9);
        EXPECT_NEAR(v[1].Y, s, 1e-9);
        EXPECT_NEAR(v[2].X, 10, 1e-9);
        EXPECT_NEAR(v[2].Y, s, 1e-9);
    }
}

TEST(TOffset, CutLoopsTable)
{
    using ClipperLib::IntPoint;
    using ClipperLib::Path;
    struct TCase {
        const char* Name;
        Path In, Want;
    } cases[] = {
        {"straight", {{0, 0}, {10, 0}, {20, 0}}, {{0, 0}, {10, 0}, {20, 0}}},
        {"one loop", {{0, 10}, {10, 10}, {10, 0}, {5, 0}, {5, 20}}, {{0, 10}, {5, 10}, {5, 20}}},
        {"touching ends only", {{0, 0}, {10, 0}, {10, 10}, {0, 0}}, {{0, 0}, {10, 0}, {10, 10}, {0, 0}}},
        {"one point", {{3, 3}}, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(TQVClipperOffset::CutLoops(c.In), c.Want);
    }
}

// Random convex outlines and ellipses: every side of the result lies at the offset distance from
// the source, inside and outside.
TEST(TOffset, SeededOutlinesKeepTheirDistance)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> radius(20, 40), jitter(-0.2, 0.2);
    for (int round = 0; round < 12; ++round) {
        const int n = 8 + round;
        std::vector<TPoint2D> pts;
        for (int i = 0; i < n; ++i) {
            const double a = 2 * Pi * (i + 0.5 + jitter(rng)) / n;
            pts.push_back(P(50 * std::cos(a), 50 * std::sin(a)));
        }
        pts.push_back(pts.front());
        std::unique_ptr<TOutline2D> source;
        if (round % 3 == 2)
            source = std::make_unique<TEllipse2D>(-1, P(-radius(rng), -20), P(radius(rng), 20));
        else
            source = std::make_unique<TPolyline2D>(-1, pts);
        std::vector<TVector2D> src;
        {
            TProfileUse use(*source);
            for (int i = 0; i < source->GetProfileCount(); ++i) {
                const TPoint2D& q = source->GetProfilePoints()->Points()[static_cast<size_t>(i)];
                src.push_back({q.X, q.Y});
            }
        }
        for (bool side : {false, true}) {
            const double d = 1 + round * 0.25;
            TOffsetResults r = MakeOffset(*source, d, side);
            ASSERT_EQ(r.size(), 1u) << round;
            const std::vector<TVector2D> v = Outline(*r[0]);
            ASSERT_GT(v.size(), 3u);
            for (size_t i = 0; i + 1 < v.size(); ++i) {
                const TVector2D mid{(v[i].X + v[i + 1].X) / 2, (v[i].Y + v[i + 1].Y) / 2};
                EXPECT_NEAR(DistanceToPolyline(mid, src, true), d, 2e-3)
                    << round << " side " << side << " " << i;
                // Every corner at least as far as the offset: joins never cut into the band.
                EXPECT_GE(DistanceToPolyline(v[i], src, true), d - 2e-3);
            }
        }
    }
}

} // namespace
