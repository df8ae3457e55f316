#include "CADExceptions.h"
#include "CurveTesting.h"
#include "ExpectError.h"
#include "QVGeometry.h"
#include "QVCmp.h"
#include "QVMatrix.h"
#include "QVRegistry.h"
#include "QVSplines.h"
#include "QVVariabili.h"
#include "RecordBytes.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace CurveTesting;
constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

std::vector<TPoint2D> Profile(TCurve2D& c)
{
    TProfileUse use(c);
    const std::span<const TPoint2D> p = c.GetProfilePoints()->Points();
    return {p.begin(), p.end()};
}

std::unique_ptr<TQVBSpline2D> Nurbs(const std::vector<TPoint2D>& points, int degree, const std::vector<double>& knots,
                                    const std::vector<double>& weights = {})
{
    auto s = std::make_unique<TQVBSpline2D>(-1, points);
    s->Degree = degree;
    for (double k : knots)
        s->AddKnot(k);
    for (double w : weights)
        s->AddWeight(w);
    s->KnotsCount = static_cast<int32_t>(knots.size());
    s->UpdateBox();
    return s;
}

const std::vector<TPoint2D> Square = {Pt(0, 0), Pt(4, 0), Pt(4, 4), Pt(0, 4)};

}  // namespace

TEST(BSpline, ProfileTable)
{
    struct Case {
        const char* name;
        std::vector<TPoint2D> points;
        uint16_t precision;
        std::vector<TPoint2D> profile;  // empty: only the count and the ends are checked
        int count;
    };
    const Case cases[] = {
        {"two points: the segment", {Pt(0, 0), Pt(3, 1)}, 50, {Pt(0, 0), Pt(3, 1)}, 2},
        {"square, precision 4", Square, 4, {Pt(0, 0), Pt(3, 0.5), Pt(4, 2), Pt(3, 3.5), Pt(0, 4)}, 5},
        {"square, precision 2", Square, 2, {Pt(0, 0), Pt(4, 2), Pt(0, 4)}, 3},
        {"three points, precision 50", {Pt(0, 0), Pt(2, 4), Pt(4, 0)}, 50, {}, 51},
        {"precision 0", Square, 0, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TBSpline2D spline(-1, c.points);
        EXPECT_EQ(spline.Order, 3);
        EXPECT_TRUE(spline.Points().Growable);
        spline.SetPrecision(c.precision);
        spline.UpdateBox();
        const std::vector<TPoint2D> profile = Profile(spline);
        ASSERT_EQ(static_cast<int>(profile.size()), c.count);
        for (size_t i = 0; i < c.profile.size(); ++i)
            ExpectNear(profile[i], c.profile[i]);
        if (c.count > 0) {
            EXPECT_EQ(profile.front().X, c.points.front().X);
            EXPECT_EQ(profile.front().Y, c.points.front().Y);
            EXPECT_EQ(profile.back().X, c.points.back().X);
            EXPECT_EQ(profile.back().Y, c.points.back().Y);
        }
    }
}

// With four points t runs from 0 up to 2 x 49/50: the point before the end lies short of P3.
TEST(BSpline, SamplesUpToTheEndOfTheClampedRange)
{
    TBSpline2D spline(-1, Square);
    const std::vector<TPoint2D> profile = Profile(spline);
    ASSERT_EQ(profile.size(), 51u);
    const double t = 2.0 * 49 / 50 - 1;  // within the last span
    const double b1 = (1 - t) * (1 - t) / 2, b3 = t * t;
    const TPoint2D expected = Pt(b1 * 4 + (1 - b1 - b3) * 4, (1 - b1 - b3) * 4 + b3 * 4);
    ExpectNear(profile[49], expected);
}

TEST(BSpline, OtherOrdersSpanTheirWholeRange)
{
    const std::vector<TPoint2D> five = {Pt(0, 0), Pt(1, 3), Pt(2, -3), Pt(3, 3), Pt(4, 0)};
    for (uint8_t order : {uint8_t{2}, uint8_t{4}, uint8_t{5}}) {
        SCOPED_TRACE(order);
        TBSpline2D spline(-1, five);
        spline.Order = order;
        spline.SetPrecision(8);
        spline.UpdateBox();
        const std::vector<TPoint2D> profile = Profile(spline);
        ASSERT_EQ(profile.size(), 9u);
        ExpectNear(profile.front(), five.front());
        ExpectNear(profile.back(), five.back());
        if (order == 2)
            ExpectNear(profile[2], five[1]);  // order 2 is the control polygon itself
    }
    // An order the spline cannot use gives the control polygon.
    TBSpline2D spline(-1, five);
    spline.Order = 0;
    spline.UpdateBox();
    EXPECT_EQ(Profile(spline).size(), 5u);
}

TEST(BSpline, Records)
{
    const std::string body = "0300 " + P_0_0 + P_2_0 + P_1_2 + "01 3200 01 03";
    for (const char* tag : {"QV-3.6", "QV-002"}) {
        SCOPED_TRACE(tag);
        const bool old = IsOldTransformTag(tag);
        const std::vector<uint8_t> bytes = HexBytes(Head + (old ? Translation3 : Translation4) + body);
        TStreamReader r(bytes);
        TBSpline2D spline(r, tag);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(spline.Points().Count(), 3);
        EXPECT_EQ(spline.Order, 3);
        EXPECT_EQ(Saved(spline), HexBytes(Head + Translation4 + body));
        for (size_t n = 0; n < bytes.size(); ++n) {
            TStreamReader cut(bytes.data(), n);
            EXPECT_THROW(TBSpline2D(cut, tag), ECADFileNotValid) << n << " bytes";
        }
    }
    for (const char* order : {"00", "01", "0B", "FF"}) {
        SCOPED_TRACE(order);
        const std::vector<uint8_t> bytes =
            HexBytes(Head + Identity4 + "0300 " + P_0_0 + P_2_0 + P_1_2 + "01 3200 01 " + order);
        TStreamReader r(bytes);
        ExpectError<ECADFileNotValid>(
            [&] { TBSpline2D spline(r, "QV-3.6"); },
            "Invalid stream: the order of a TBSpline2D is 2 to 10, the record gives " +
                std::to_string(std::stoi(order, nullptr, 16)) + " at offset 212.");
    }
}

TEST(BSpline, CopyKeepsOrderAndPoints)
{
    TBSpline2D spline(4, Square);
    spline.Order = 4;
    std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(spline);
    auto& copied = dynamic_cast<TBSpline2D&>(*copy);
    EXPECT_EQ(copied.Order, 4);
    EXPECT_EQ(copied.Points().Count(), 4);
    EXPECT_TRUE(copied.Points().Growable);
}

TEST(Nurbs, PassesThroughClampedEnds)
{
    // A cubic Bezier as a NURBS: all weights 1.
    auto s = Nurbs(Square, 3, {0, 0, 0, 0, 1, 1, 1, 1});
    s->SetPrecision(5);
    s->UpdateBox();
    const std::vector<TPoint2D> p = Profile(*s);
    ASSERT_EQ(p.size(), 5u);
    ExpectNear(p.front(), Square.front());
    ExpectNear(p.back(), Square.back());
    // (P0 + 3 P1 + 3 P2 + P3) / 8
    ExpectNear(p[2], Pt(3, 2));
    EXPECT_EQ(s->WeightsCount(), 4);
}

TEST(Nurbs, WeightsMakeAQuarterCircle)
{
    const double w = std::sqrt(0.5);
    auto s = Nurbs({Pt(1, 0), Pt(1, 1), Pt(0, 1)}, 2, {0, 0, 0, 1, 1, 1}, {1, w, 1});
    for (const TPoint2D& q : Profile(*s))
        EXPECT_NEAR(std::hypot(q.X, q.Y), 1, Tol);
}

TEST(Nurbs, EvaluationRaisesThePrecisionToThePointCount)
{
    std::vector<TPoint2D> points;
    for (int i = 0; i < 300; ++i)
        points.push_back(Pt(i, i % 2));
    // 300 points, degree 3: 304 knots, clamped at both ends.
    std::vector<double> knots = {0, 0, 0, 0};
    for (int i = 1; i <= 296; ++i)
        knots.push_back(i);
    for (int i = 0; i < 4; ++i)
        knots.push_back(297);
    auto s = Nurbs(points, 3, knots);
    s->SetPrecision(200);
    s->UpdateBox();
    EXPECT_EQ(Profile(*s).size(), 300u);
    EXPECT_EQ(s->Precision(), 300);
}

TEST(Nurbs, DataThatDefineNoCurveGiveTheControlPolygon)
{
    struct Case {
        const char* name;
        int degree;
        std::vector<double> knots;
        std::vector<double> weights;
    };
    const Case cases[] = {
        {"no knots", 3, {}, {}},
        {"one knot short", 3, {0, 0, 0, 0, 1, 1, 1}, {}},
        {"one knot too many", 3, {0, 0, 0, 0, 1, 1, 1, 1, 1}, {}},
        {"knots out of order", 3, {0, 0, 0, 0, 1, 0.5, 1, 1}, {}},
        {"a knot NaN", 3, {0, 0, 0, 0, NaN, 1, 1, 1}, {}},
        {"all knots equal", 3, {1, 1, 1, 1, 1, 1, 1, 1}, {}},
        {"degree 0", 0, {0, 0, 0, 0, 1}, {}},
        {"degree as many as the points", 4, {0, 0, 0, 0, 0, 1, 1, 1, 1}, {}},
        {"huge degree", 2000000000, {0, 0, 0, 0, 1, 1, 1, 1}, {}},
        {"negative degree", -3, {0, 0, 0, 0, 1, 1, 1, 1}, {}},
        {"a weight of 0", 3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 0, 1, 1}},
        {"a weight infinite", 3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 1, std::numeric_limits<double>::infinity(), 1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto s = Nurbs(Square, c.degree, c.knots, c.weights);
        EXPECT_FALSE(s->IsEvaluable());
        const std::vector<TPoint2D> p = Profile(*s);
        ASSERT_EQ(p.size(), Square.size());
        for (size_t i = 0; i < p.size(); ++i)
            ExpectNear(p[i], Square[i]);
    }
}

// Unclamped (periodic) knot vectors start their range after the first knot; evaluation must
// end and stay on the curve's range.
TEST(Nurbs, UnclampedKnotsFinish)
{
    auto s = Nurbs(Square, 3, {0, 1, 2, 3, 4, 5, 6, 7});
    EXPECT_TRUE(s->IsEvaluable());
    double uMin, uMax;
    s->GetParamRange(uMin, uMax);
    EXPECT_EQ(uMin, 0);
    EXPECT_EQ(uMax, 7);
    const std::vector<TPoint2D> p = Profile(*s);
    ASSERT_EQ(p.size(), 200u);
    // The uniform cubic starts at (P0 + 4 P1 + P2) / 6.
    ExpectNear(p.front(), Pt((4 * 4 + 4) / 6.0, 4 / 6.0));
    for (const TPoint2D& q : p) {
        EXPECT_TRUE(std::isfinite(q.X) && std::isfinite(q.Y));
        EXPECT_GE(q.X, 0);
        EXPECT_LE(q.X, 4);
    }
}

TEST(Nurbs, FindKnotSpan)
{
    auto clamped = Nurbs({Pt(0, 0), Pt(1, 0), Pt(2, 0), Pt(3, 0), Pt(4, 0), Pt(5, 0)}, 3,
                         {0, 0, 0, 0, 1, 2, 3, 3, 3, 3});
    auto unclamped = Nurbs(Square, 3, {0, 1, 2, 3, 4, 5, 6, 7});
    auto disordered = Nurbs(Square, 3, {5, 4, 3, 2, 1, 0, -1, -2});
    struct Case {
        const char* name;
        TQVBSpline2D* spline;
        double u;
        int span;
    };
    const Case cases[] = {
        {"start", clamped.get(), 0, 3},
        {"inside the first span", clamped.get(), 0.5, 3},
        {"on an inner knot", clamped.get(), 1, 4},
        {"inside the last span", clamped.get(), 2.5, 5},
        {"the last knot", clamped.get(), 3, 5},
        {"within the tolerance of the last knot", clamped.get(), 3 - SystemTol() / 2, 5},
        {"beyond the end", clamped.get(), 100, 5},
        {"before the start", clamped.get(), -1, 3},
        {"unclamped, at the first knot", unclamped.get(), 0, 3},
        {"unclamped, inside its range", unclamped.get(), 3.5, 3},
        {"unclamped, end of its range", unclamped.get(), 4, 3},
        {"NaN", clamped.get(), NaN, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.spline->FindKnotSpan(c.u), c.span);
    }
    // Knots out of order still give an answer, inside the spans.
    const int span = disordered->FindKnotSpan(2.5);
    EXPECT_GE(span, 3);
    EXPECT_LE(span, 3);
    auto shortKnots = Nurbs(Square, 3, {0, 0, 1});
    EXPECT_THROW(shortKnots->FindKnotSpan(0.5), ECADOutOfBound);
}

TEST(Nurbs, Records)
{
    // Degree 1 over two points: the segment.
    const std::string tail = "C800 01 01 00 01 00 00 01000000 04000000 " + D0 + D0 + D1 + D1;
    const std::string body = "0200 " + P_0_0 + P_2_0 + "01 " + tail;
    for (const char* tag : {"QV-3.6", "CAD422"}) {
        SCOPED_TRACE(tag);
        const bool old = IsOldTransformTag(tag);
        const std::vector<uint8_t> bytes = HexBytes(Head + (old ? Identity3 : Identity4) + body + "00000000");
        TStreamReader r(bytes);
        TQVBSpline2D s(r, tag);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(s.Closed, 1);
        EXPECT_EQ(s.Periodic, 0);
        EXPECT_EQ(s.Rational, 1);
        EXPECT_EQ(s.Degree, 1);
        EXPECT_EQ(s.KnotsCount, 4);
        EXPECT_EQ(s.ControlPointsCount, 2);
        EXPECT_EQ(s.ControlPoints.Count(), 2);
        EXPECT_EQ(s.ControlPoints.Get(1).X, 2);
        EXPECT_EQ(s.Dimension, 3);
        EXPECT_EQ(s.Precision(), 200);
        EXPECT_EQ(Saved(s), HexBytes(Head + Identity4 + body + "00000000"));
        // Read without weights, it evaluates with weights of 1 and keeps them.
        s.UpdateBox();
        EXPECT_EQ(s.WeightsCount(), 2);
        const std::vector<TPoint2D> p = Profile(s);
        ASSERT_EQ(p.size(), 200u);
        ExpectNear(p[100], Pt(200.0 / 199, 0));
        for (size_t n = 0; n < bytes.size(); ++n) {
            TStreamReader cut(bytes.data(), n);
            EXPECT_THROW(TQVBSpline2D(cut, tag), ECADFileNotValid) << n << " bytes";
        }
    }
    {
        // Counts below 1 stand for empty lists.
        const std::vector<uint8_t> bytes =
            HexBytes(Head + Identity4 + "0200 " + P_0_0 + P_2_0 + "01 C800 01 00 00 00 00 00 03000000 FFFFFFFF "
                                                                   "00000080");
        TStreamReader r(bytes);
        TQVBSpline2D s(r, "QV-3.6");
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(s.Knots.Count(), 0);
        EXPECT_EQ(s.WeightsCount(), 0);
        EXPECT_EQ(Profile(s).size(), 2u);
    }
    {
        const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "0200 " + P_0_0 + P_2_0 +
                                                    "01 C800 01 00 00 00 00 00 03000000 FFFFFF7F " + D0);
        TStreamReader r(bytes);
        ExpectError<ECADFileNotValid>([&] { TQVBSpline2D s(r, "QV-3.6"); },
                                      "Invalid stream: count of knots (2147483647) is larger than the data left can "
                                      "hold at offset 201.");
    }
}

TEST(Nurbs, CopyHoldsEqualLists)
{
    auto s = Nurbs(Square, 3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 2, 2, 1});
    s->Closed = 1;
    s->AddControlPoint() = {7, 8, 9};
    s->SetModelTransform(TMatrix4::CreateTranslation(3, 0, 0));
    std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*s);
    auto& c = dynamic_cast<TQVBSpline2D&>(*copy);
    EXPECT_EQ(c.Closed, 1);
    EXPECT_EQ(c.Degree, 3);
    EXPECT_EQ(std::vector<double>(c.Knots.Items().begin(), c.Knots.Items().end()),
              std::vector<double>(s->Knots.Items().begin(), s->Knots.Items().end()));
    EXPECT_EQ(c.WeightsCount(), 4);
    EXPECT_EQ(c.ControlPoints.Count(), s->ControlPoints.Count());
    EXPECT_EQ(c.GetControlPoint(c.ControlPoints.Count() - 1).Z, 9);
    EXPECT_EQ(c.Points().Count(), 4);
    EXPECT_TRUE(c.GetModelTransform().IsEqual(TMatrix4::CreateTranslation(3, 0, 0)));
    EXPECT_EQ(Profile(c).size(), Profile(*s).size());
}

TEST(Nurbs, CreateEmptyAndPrecisionFromTheSetting)
{
    int32_t segments = 77;
    int32_t* saved = MaxCurveSegRef;
    MaxCurveSegRef = &segments;
    const std::unique_ptr<TQVBSpline2D> s = TQVBSpline2D::CreateEmpty();
    MaxCurveSegRef = saved;
    EXPECT_EQ(s->ID, -1);
    EXPECT_EQ(s->Precision(), 77);
    EXPECT_EQ(s->Points().Count(), 1);
    EXPECT_EQ(s->Degree, 3);
    EXPECT_EQ(s->Dimension, 3);
    EXPECT_EQ(Profile(*s).size(), 1u);
    s->AddWeight(2);
    EXPECT_EQ(s->WeightsCount(), 1);
}

// Every curve class at its fixed index: a drawing of them saves, loads and saves again to the
// same bytes, and each object comes back as its own class with its own profile.
TEST(CurveClasses, DrawingRoundTripByFixedIndex)
{
    RegisterDrawingClasses();
    struct Case {
        int16_t index;
        std::function<std::unique_ptr<TCurve2D>()> make;
    };
    const Case cases[] = {
        {6, [] { return std::make_unique<TRectangle2D>(-1, Pt(0, 0), Pt(2, 1)); }},
        {7, [] { return std::make_unique<TEllipseOpen2D>(-1, Pt(0, 0), Pt(4, 2), 0.5, 2); }},
        {8, [] { return std::make_unique<TEllipse2D>(-1, Pt(0, 0), Pt(4, 2)); }},
        {9, [] { return std::make_unique<TFilledEllipse2D>(-1, Pt(0, 0), Pt(4, 2)); }},
        {11, [] { return std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(2, 1)); }},
        {13, [] { return std::make_unique<TBSpline2D>(-1, Square); }},
        {16, [] { return std::make_unique<TCerchio2D>(-1, Pt(0, 0), Pt(2, 0)); }},
        {17,
         [] {
             auto a = std::make_unique<TArco2D>(-1, Pt(0, 0), Pt(2, 0), 0.5, 2);
             a->SetDirection(0);
             a->SetModelTransform(TMatrix4::CreateMirror(1));
             return a;
         }},
        {18, [] { return std::make_unique<TFilledCerchio2D>(-1, Pt(0, 0), Pt(2, 0)); }},
        {19, [] { return Nurbs(Square, 3, {0, 0, 0, 0, 1, 1, 1, 1}, {1, 2, 2, 1}); }},
    };
    TQV_01Cmp2D d;
    std::vector<std::vector<TPoint2D>> profiles;
    for (const Case& c : cases) {
        TCurve2D* curve = d.AddObject(-1, c.make());
        EXPECT_EQ(QV_00FindClassIndex(curve->ClassName()), c.index);
        profiles.push_back(WorldProfile(*curve));
    }
    TStreamWriter w;
    d.SaveToStream(w);
    const std::vector<uint8_t> bytes = w.TakeBytes();
    TQV_01Cmp2D loaded;
    TStreamReader r(bytes);
    loaded.LoadFromStream(r, false);
    TStreamWriter again;
    loaded.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), bytes);
    auto it = loaded.ObjectsIterator();
    size_t i = 0;
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next(), ++i) {
        ASSERT_LT(i, profiles.size());
        SCOPED_TRACE(obj->ClassName());
        EXPECT_EQ(QV_00FindClassIndex(obj->ClassName()), cases[i].index);
        const std::vector<TPoint2D> profile = WorldProfile(dynamic_cast<TCurve2D&>(*obj));
        ASSERT_EQ(profile.size(), profiles[i].size());
        for (size_t k = 0; k < profile.size(); ++k)
            ExpectNear(profile[k], profiles[i][k]);
    }
    EXPECT_EQ(i, profiles.size());
    QV_00ClearClassRegistry();
}
