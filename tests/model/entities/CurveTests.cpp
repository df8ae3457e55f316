#include "CADExceptions.h"
#include "CurveTesting.h"
#include "ExpectError.h"
#include "QVCurves.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVVariabili.h"
#include "RecordBytes.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

using namespace CurveTesting;
constexpr double Pi = std::numbers::pi;

TMatrix4 Rotation(double degrees) { return TMatrix4::CreateRotation(true, degrees); }

class TRecordingPanel : public TLiveInfoPanel {
public:
    bool LiveInfo() const override { return Live; }
    void ShowBoxInfo(const TPoint2D&, const TPoint2D&) override { Shown.push_back("box"); }
    void ShowCircleInfo(const TPoint2D&, const TPoint2D&, double r) override
    {
        Shown.push_back("circle " + std::to_string(r));
    }
    void ShowArcInfo(double, double, double, double, double) override { Shown.push_back("arc"); }
    void ShowEllipseInfo(const TPoint2D&, const TPoint2D&) override { Shown.push_back("ellipse"); }
    bool Live = true;
    std::vector<std::string> Shown;
};

}  // namespace

TEST(Curve, CircleProfileStartsOnPlusXAndRunsClockwise)
{
    TCerchio2D circle(-1, Pt(1, 2), Pt(4, 2));
    EXPECT_EQ(circle.Precision(), 50);
    TProfileUse use(circle);
    const TPointsSet2D& p = *circle.GetProfilePoints();
    ASSERT_EQ(p.Count(), 51);
    EXPECT_EQ(p.Get(0).X, 4);
    EXPECT_EQ(p.Get(0).Y, 2);
    EXPECT_EQ(p.Get(50).X, 4);
    EXPECT_EQ(p.Get(50).Y, 2);
    EXPECT_LT(p.Get(1).Y, 2);
    for (const TPoint2D& q : p.Points())
        EXPECT_NEAR(Distance2D(q, Pt(1, 2)), 3, Tol);
    EXPECT_TRUE(circle.IsClosed());
}

TEST(Curve, EllipseProfileLiesOnTheEllipse)
{
    TEllipse2D ellipse(-1, Pt(-2, 3), Pt(6, -1));  // centre (2, 1), rx 4, ry 2
    TProfileUse use(ellipse);
    const TPointsSet2D& p = *ellipse.GetProfilePoints();
    ASSERT_EQ(p.Count(), 51);
    ExpectNear(p.Get(0), Pt(6, 1));
    ExpectNear(p.Get(50), Pt(6, 1));
    EXPECT_LT(p.Get(1).Y, 1);
    for (const TPoint2D& q : p.Points())
        EXPECT_NEAR(std::pow((q.X - 2) / 4, 2) + std::pow((q.Y - 1) / 2, 2), 1, Tol);
    EXPECT_DOUBLE_EQ(ellipse.Box.First.X, -2);
    // The box is that of the profile points.
    EXPECT_NEAR(ellipse.Box.Second.Y, 3, 0.01);
}

TEST(Curve, PointCountsAndPrecision)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TCurve2D>()> make;
        uint16_t precision;
        int count;
    };
    const auto frame = [] { return std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(3, 2)); };
    const auto circle = [] { return std::make_unique<TCerchio2D>(-1, Pt(0, 0), Pt(3, 0)); };
    const auto arc = [] { return std::make_unique<TArco2D>(-1, Pt(0, 0), Pt(3, 0), 0, 1); };
    const auto ellipse = [] { return std::make_unique<TEllipseOpen2D>(-1, Pt(0, 0), Pt(4, 2), 0, 1); };
    const Case cases[] = {
        {"frame, precision 50", frame, 50, 5},
        {"frame, precision 1", frame, 1, 5},
        {"frame, precision 0", frame, 0, 0},
        {"circle, precision 0", circle, 0, 0},
        {"circle, precision 1", circle, 1, 2},
        {"arc, precision 4", arc, 4, 5},
        {"arc, precision 0", arc, 0, 0},
        {"elliptic arc, precision 0", ellipse, 0, 0},
        {"circle, highest precision", circle, 65535, 65535},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TCurve2D> curve = c.make();
        curve->SetPrecision(c.precision);
        curve->UpdateBox();
        EXPECT_EQ(curve->GetProfileCount(), c.count);
        if (c.count == 0) {
            EXPECT_EQ(curve->Box.First.X, 0);
            EXPECT_EQ(curve->Box.Second.X, 0);
            // An empty profile is still a profile: picking answers instead of raising.
            double dist;
            EXPECT_NO_THROW(curve->HitTest(Pt(0.5, 0), dist, 1));
        }
    }
}

TEST(Curve, FrameProfile)
{
    TFrame2D frame(-1, Pt(1, 1), Pt(4, 3));
    TProfileUse use(frame);
    const std::vector<TPoint2D> expected = {Pt(1, 1), Pt(1, 3), Pt(4, 3), Pt(4, 1), Pt(1, 1)};
    ASSERT_EQ(frame.GetProfileCount(), 5);
    for (int i = 0; i < 5; ++i)
        ExpectNear(frame.GetProfilePoints()->Get(i), expected[static_cast<size_t>(i)]);
}

TEST(Curve, ArcAngleTable)
{
    struct Case {
        const char* name;
        double start, end;
        uint16_t precision;
        std::vector<double> angles;  // of the profile points, counter-clockwise
    };
    const Case cases[] = {
        {"equal angles: a full turn", 1, 1, 4, {1, 1 + Pi / 2, 1 + Pi, 1 + 3 * Pi / 2, 1 + 2 * Pi}},
        {"3 to -3 through pi", 3, -3, 2, {3, Pi, 2 * Pi - 3}},
        {"0 to pi/2 in 4", 0, Pi / 2, 4, {0, Pi / 8, Pi / 4, 3 * Pi / 8, Pi / 2}},
        {"across -pi", Pi / 2, -Pi / 2, 2, {Pi / 2, Pi, 3 * Pi / 2}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TArco2D arc(-1, Pt(1, 1), Pt(3, 1), c.start, c.end);
        arc.SetPrecision(c.precision);
        arc.UpdateBox();
        TProfileUse use(arc);
        ASSERT_EQ(arc.GetProfileCount(), static_cast<int>(c.angles.size()));
        for (size_t i = 0; i < c.angles.size(); ++i)
            ExpectNear(arc.GetProfilePoints()->Get(static_cast<int>(i)),
                       Pt(1 + 2 * std::cos(c.angles[i]), 1 + 2 * std::sin(c.angles[i])));
    }
}

TEST(Curve, ArcAnglesFollowTheirPoints)
{
    TArco2D arc(-1, Pt(0, 0), Pt(2, 0), 0.5, 2);
    EXPECT_NEAR(arc.StartAngle(), 0.5, Tol);
    EXPECT_NEAR(arc.EndAngle(), 2, Tol);
    ExpectNear(arc.Points().Get(2), Pt(2 * std::cos(0.5), 2 * std::sin(0.5)));
    // Moving the end-angle point changes the angle at the next build.
    arc.Points().SetPoint(3, Pt(0, -5));
    EXPECT_NEAR(arc.EndAngle(), -Pi / 2, Tol);
    // A point straight left of the centre reads as pi, never -pi.
    arc.Points().SetPoint(3, Pt(-5, -0.0));
    EXPECT_EQ(arc.EndAngle(), Pi);
}

TEST(Curve, SettingTheSameAngleLeavesAMovedPointAlone)
{
    TArco2D arc(-1, Pt(0, 0), Pt(2, 0), 0, 1);
    arc.Points().SetPoint(2, Pt(0, 7));
    const double start = arc.StartAngle();
    arc.SetStartAngle(start);
    EXPECT_EQ(arc.Points().Get(2).X, 0);
    EXPECT_EQ(arc.Points().Get(2).Y, 7);
    arc.SetStartAngle(0.25);
    ExpectNear(arc.Points().Get(2), Pt(2 * std::cos(0.25), 2 * std::sin(0.25)));
}

TEST(Curve, EllipticArcOfTwoPiIsTheWholeEllipse)
{
    TEllipseOpen2D arc(-1, Pt(-2, -1), Pt(2, 1), 0, 2 * Pi);
    EXPECT_EQ(arc.EndAngle(), 0);
    EXPECT_EQ(arc.StartAngle(), 0);
    TProfileUse use(arc);
    ASSERT_EQ(arc.GetProfileCount(), 51);
    ExpectNear(arc.GetProfilePoints()->Get(25), Pt(-2, 0));
    ExpectNear(arc.GetProfilePoints()->Get(50), Pt(2, 0));
}

// rx 2, ry 1: the angles are parameters of the ellipse both when set and when read back.
TEST(Curve, EllipticArcKeepsItsParametersWhenRadiiDiffer)
{
    TEllipseOpen2D arc(-1, Pt(-2, -1), Pt(2, 1), Pi / 4, Pi);
    EXPECT_NEAR(arc.StartAngle(), Pi / 4, Tol);
    EXPECT_NEAR(arc.EndAngle(), Pi, Tol);
    TProfileUse use(arc);
    ExpectNear(arc.GetProfilePoints()->Get(0), Pt(2 * std::cos(Pi / 4), std::sin(Pi / 4)));
    ExpectNear(arc.GetProfilePoints()->Get(50), Pt(-2, 0));
    for (const TPoint2D& q : arc.GetProfilePoints()->Points())
        EXPECT_NEAR(q.X * q.X / 4 + q.Y * q.Y, 1, Tol);
    // The box is the arc's, not the whole ellipse's.
    EXPECT_NEAR(arc.Box.First.Y, 0, Tol);
    EXPECT_NEAR(arc.Box.First.X, -2, Tol);
    EXPECT_NEAR(arc.Box.Second.X, 2 * std::cos(Pi / 4), Tol);
}

// Clockwise arcs: the setters, the profile and the world description agree on where the arc
// starts and ends.
TEST(Curve, ClockwiseArcEndsEqualItsProfileEnds)
{
    struct Case {
        const char* name;
        double start, end;
        TMatrix4 transform;
    };
    const Case cases[] = {
        {"plain", 0.3, 2.0, IdentityMatrix},
        {"across pi", 3, -3, IdentityMatrix},
        {"rotated", 0.3, 2.0, Rotation(30)},
        {"start at pi", Pi, 0.5, TMatrix4::CreateTranslation(5, -2, 0)},
    };
    for (const Case& c : cases) {
        for (uint8_t direction : {uint8_t{0}, uint8_t{1}}) {
            SCOPED_TRACE(std::string(c.name) + (direction ? " counter-clockwise" : " clockwise"));
            TArco2D arc(-1, Pt(1, 1), Pt(3, 1), 0, 0);
            arc.SetDirection(direction);
            arc.SetStartAngle(c.start);
            arc.SetEndAngle(c.end);
            EXPECT_NEAR(arc.StartAngle(), c.start, Tol);
            EXPECT_NEAR(arc.EndAngle(), c.end, Tol);
            arc.SetModelTransform(c.transform);
            const std::vector<TPoint2D> profile = WorldProfile(arc);
            TArcInfo2D info;
            arc.GetArcInfo2D(info);
            ExpectNear(info.StartPt, profile.front());
            ExpectNear(info.EndPt, profile.back());
            ExpectNear(arc.PointAtParam(0.5), profile[25]);
            // The angles are the end points' by the arc's own rule: measured clockwise from +X
            // for a clockwise arc (they came back counter-clockwise), and as set when the arc
            // has no transform.
            const double sy = direction ? 1 : -1;
            const auto ruleAngle = [&](const TPoint2D& p) {
                return std::atan2(sy * (p.Y - info.Center.Y), p.X - info.Center.X);
            };
            EXPECT_NEAR(std::remainder(info.StartAngle - ruleAngle(info.StartPt), 2 * Pi), 0, 1e-9);
            EXPECT_NEAR(std::remainder(info.EndAngle - ruleAngle(info.EndPt), 2 * Pi), 0, 1e-9);
            if (c.transform.IsEqual(IdentityMatrix)) {
                EXPECT_NEAR(info.StartAngle, c.start, Tol);
                EXPECT_NEAR(info.EndAngle, c.end, Tol);
            }
            // The sweep is the angle the profile turns through.
            double turned = 0;
            for (size_t i = 1; i < profile.size(); ++i)
                turned += AngleBetween({profile[i - 1].X - info.Center.X, profile[i - 1].Y - info.Center.Y},
                                       {profile[i].X - info.Center.X, profile[i].Y - info.Center.Y});
            EXPECT_NEAR(info.Sweep, turned, 1e-6);
        }
    }
}

TEST(Curve, PointAtParam)
{
    TArco2D arc(-1, Pt(0, 0), Pt(2, 0), 0, Pi / 2);
    TArcInfo2D info;
    arc.GetArcInfo2D(info);
    const TPoint2D s = arc.PointAtParam(0), e = arc.PointAtParam(1);
    EXPECT_EQ(s.X, info.StartPt.X);
    EXPECT_EQ(s.Y, info.StartPt.Y);
    EXPECT_EQ(e.X, info.EndPt.X);
    EXPECT_EQ(e.Y, info.EndPt.Y);
    ExpectNear(arc.PointAtParam(0.5), Pt(std::sqrt(2.0), std::sqrt(2.0)));
    EXPECT_NEAR(info.Sweep, Pi / 2, Tol);
}

TEST(Curve, MirroredArcsReportTheirEndsExchanged)
{
    struct Case {
        const char* name;
        double start, end;
        TMatrix4 transform;
        double worldStart, worldEnd;
        TPoint2D mid;  // the world point at half the sweep
    };
    const Case cases[] = {
        {"semicircle mirrored in X", 0, Pi, TMatrix4::CreateMirror(1), 0, Pi, Pt(0, 2)},
        {"semicircle mirrored in Y", 0, Pi, TMatrix4::CreateMirror(0), Pi, 0, Pt(0, -2)},
        {"quarter mirrored in Y", 0, Pi / 2, TMatrix4::CreateMirror(0), -Pi / 2, 0,
         Pt(std::sqrt(2.0), -std::sqrt(2.0))},
        {"quarter under a non-uniform scale", 0, Pi / 2, TMatrix4::CreateScale(3, 1, 1), 0, Pi / 2,
         Pt(6 * std::cos(Pi / 4), 6 * std::sin(Pi / 4))},
        {"quarter rotated by 180", 0, Pi / 2, Rotation(180), Pi, -Pi / 2, Pt(-std::sqrt(2.0), -std::sqrt(2.0))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TArco2D arc(-1, Pt(0, 0), Pt(2, 0), c.start, c.end);
        arc.SetModelTransform(c.transform);
        TArcInfo info;
        arc.GetArcInfo(info);
        EXPECT_NEAR(info.StartAngle, c.worldStart, Tol);
        EXPECT_NEAR(info.EndAngle, c.worldEnd, Tol);
        ExpectNear(arc.PointAtParam(0.5), c.mid, 1e-6);
    }
}

TEST(Curve, ArcInfoOfAnArcWithoutAnglePointsKeepsTheCallersValues)
{
    TArco2D arc(-1);
    const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "0200 " + P_0_0 + P_2_0 + "00 3200 01 01");
    TStreamReader r(bytes);
    TArco2D read(r, "QV-3.6");
    TArcInfo2D info;
    info.StartAngle = 7;
    info.Sweep = 8;
    read.GetArcInfo2D(info);
    EXPECT_EQ(info.Radius, 2);
    EXPECT_EQ(info.StartAngle, 7);
    EXPECT_EQ(info.Sweep, 8);
    // The setters still work: the set makes room for the angle points.
    read.SetStartAngle(Pi / 2);
    EXPECT_EQ(read.Points().Count(), 3);
    ExpectNear(read.Points().Get(2), Pt(0, 2));
}

TEST(Curve, ThreePointArcs)
{
    struct Case {
        const char* name;
        TPoint2D p1, p2, p3;
        bool ok;
        TPoint2D centre;
        double radius;
    };
    const Case cases[] = {
        {"counter-clockwise", Pt(2, 0), Pt(0, 2), Pt(-2, 0), true, Pt(0, 0), 2},
        {"clockwise", Pt(-2, 0), Pt(0, 2), Pt(2, 0), true, Pt(0, 0), 2},
        {"vertical first pair", Pt(0, 0), Pt(0, 2), Pt(1, 1), true, Pt(0, 1), 1},
        {"horizontal first pair", Pt(0, 0), Pt(2, 0), Pt(1, 1), true, Pt(1, 0), 1},
        {"on one horizontal line", Pt(0, 0), Pt(1, 0), Pt(5, 0), false, {}, 0},
        {"on one slanted line", Pt(0, 0), Pt(1, 1), Pt(3, 3), false, {}, 0},
        {"on one vertical line", Pt(0, 0), Pt(0, 1), Pt(0, 3), false, {}, 0},
        {"two equal points", Pt(1, 1), Pt(1, 1), Pt(3, 0), false, {}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TArco2D arc(-1, Pt(9, 9), Pt(10, 9), 0, 1);
        TPoint2D centre = Pt(-7, -7);
        ASSERT_EQ(Arc3PtSetCenter(arc, c.p1, c.p2, c.p3, centre), c.ok);
        if (!c.ok) {
            EXPECT_EQ(arc.Points().Get(0).X, 9);
            EXPECT_EQ(centre.X, -7);
            continue;
        }
        ExpectNear(centre, c.centre, 1e-5);
        Arc3PtSetRadius(arc, c.p1, c.p2, c.p3);
        Arc3PtSetAngles(arc, c.p1, c.p2, c.p3, centre);
        EXPECT_EQ(arc.Direction(), 1);
        TArcInfo2D info;
        arc.GetArcInfo2D(info);
        EXPECT_NEAR(info.Radius, c.radius, 1e-5);
        // The arc runs counter-clockwise through all three points.
        const bool ccw = (c.p2.X - c.p1.X) * (c.p3.Y - c.p1.Y) - (c.p2.Y - c.p1.Y) * (c.p3.X - c.p1.X) >= 0;
        ExpectNear(info.StartPt, ccw ? c.p1 : c.p3, 1e-5);
        ExpectNear(info.EndPt, ccw ? c.p3 : c.p1, 1e-5);
        double dist;
        EXPECT_GE(arc.HitTest(c.p2, dist, 0.01), HitOutline);
    }
}

TEST(Curve, ProfileLifeCycle)
{
    TCerchio2D kept(-1, Pt(0, 0), Pt(1, 0));
    // The box is there without a profile; a kept one is made on the first read.
    EXPECT_EQ(kept.ProfileUses(), 0);
    EXPECT_DOUBLE_EQ(kept.Box.Second.X, 1);
    const TPointsSet2D* before = kept.GetProfilePoints();
    EXPECT_EQ(kept.ProfileUses(), 1);
    kept.Points().SetPoint(1, Pt(2, 0));
    // Refilled in place.
    EXPECT_EQ(kept.GetProfilePoints(), before);
    EXPECT_EQ(kept.ProfileUses(), 1);
    EXPECT_EQ(kept.GetProfilePoints()->Get(0).X, 2);

    kept.SetKeepProfile(false);
    EXPECT_EQ(kept.ProfileUses(), 0);
    ExpectError<ECADCoreException>([&] { kept.GetProfilePoints(); },
                                   "TCurve2D: Call BeginUseProfilePoints before accessing the curve points.");
    ExpectError<ECADCoreException>([&] { kept.GetProfileCount(); },
                                   "TCurve2D: Call BeginUseProfilePoints before accessing the curve points.");
    EXPECT_DOUBLE_EQ(kept.Box.Second.X, 2);
    kept.BeginUseProfilePoints();
    kept.BeginUseProfilePoints();
    EXPECT_EQ(kept.ProfileUses(), 2);
    EXPECT_EQ(kept.GetProfileCount(), 51);
    kept.EndUseProfilePoints();
    EXPECT_EQ(kept.GetProfileCount(), 51);
    kept.EndUseProfilePoints();
    EXPECT_EQ(kept.ProfileUses(), 0);
    EXPECT_THROW(kept.GetProfileCount(), ECADCoreException);
    // Picking brackets its own use.
    double dist;
    EXPECT_EQ(kept.HitTest(Pt(0, 2), dist, 0.1), HitOutline);
    EXPECT_EQ(kept.ProfileUses(), 0);
}

TEST(Curve, AKeptProfileIsMadeOnlyWhenRead)
{
    std::vector<std::unique_ptr<TCurve2D>> curves;
    curves.push_back(std::make_unique<TCerchio2D>(-1, Pt(1, 2), Pt(4, 2)));
    curves.push_back(std::make_unique<TArco2D>(-1, Pt(1, 2), Pt(4, 2), 0.3, 2.0));
    curves.push_back(std::make_unique<TEllipse2D>(-1, Pt(0, 0), Pt(5, 2)));
    curves.push_back(std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(5, 2)));
    for (const auto& curve : curves) {
        SCOPED_TRACE(curve->ClassName());
        ASSERT_TRUE(curve->KeepProfile());
        const TRect2D box = curve->Box;
        // Picking and the overlay use a profile for their length only.
        double dist;
        curve->HitTest(Pt(4, 2), dist, 0.1);
        {
            TProfileUse use(*curve);
        }
        EXPECT_EQ(curve->ProfileUses(), 0);
        // The box without a profile is the one the profile gives.
        const TRect2D profileBox = curve->GetProfilePoints()->GetBox();
        EXPECT_EQ(curve->ProfileUses(), 1);
        EXPECT_EQ(box.First.X, profileBox.First.X);
        EXPECT_EQ(box.First.Y, profileBox.First.Y);
        EXPECT_EQ(box.Second.X, profileBox.Second.X);
        EXPECT_EQ(box.Second.Y, profileBox.Second.Y);
        // Once read it is kept, through uses too.
        {
            TProfileUse use(*curve);
            EXPECT_EQ(curve->ProfileUses(), 2);
        }
        EXPECT_EQ(curve->ProfileUses(), 1);
        EXPECT_EQ(curve->GetProfileCount(), curve->GetProfilePoints()->Count());
    }
}

TEST(Curve, PickTests)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TCurve2D>()> make;
        TPoint2D pt;
        int32_t code;
    };
    const auto frame = [] { return std::make_unique<TFrame2D>(-1, Pt(0, 0), Pt(10, 10)); };
    const auto rect = [] { return std::make_unique<TRectangle2D>(-1, Pt(0, 0), Pt(10, 10)); };
    const auto circle = [] { return std::make_unique<TCerchio2D>(-1, Pt(0, 0), Pt(5, 0)); };
    const auto filledCircle = [] { return std::make_unique<TFilledCerchio2D>(-1, Pt(0, 0), Pt(5, 0)); };
    const auto filledEllipse = [] { return std::make_unique<TFilledEllipse2D>(-1, Pt(0, 0), Pt(10, 4)); };
    const Case cases[] = {
        {"frame edge", frame, Pt(5, 0.1), HitOutline},
        {"frame inside", frame, Pt(5, 5), HitInsideBox},
        {"frame corner", frame, Pt(10, 10), 1},
        {"rectangle inside", rect, Pt(5, 5), HitInside},
        {"rectangle edge", rect, Pt(9.9, 5), HitOutline},
        {"rectangle outside", rect, Pt(12, 5), HitMiss},
        {"circle outline on the closing segment", circle, Pt(4.98, 0.31), HitOutline},
        {"circle inside", circle, Pt(1, 1), HitInsideBox},
        {"filled circle outline", filledCircle, Pt(-5, 0), HitOutline},
        {"filled ellipse never", filledEllipse, Pt(0, 0), HitMiss},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TCurve2D> curve = c.make();
        double dist = -1;
        EXPECT_EQ(curve->HitTest(c.pt, dist, 0.2), c.code);
    }
}

TEST(Curve, RotatedFrameKeepsItsShapeWhenCopied)
{
    TFrame2D frame(-1, Pt(0, 0), Pt(4, 4));
    frame.SetModelTransform(Rotation(45));
    const std::vector<TPoint2D> rotated = WorldProfile(frame);
    ExpectNear(rotated[2], Pt(0, 4 * std::sqrt(2.0)));

    for (const TGraphicObject* source : {static_cast<const TGraphicObject*>(&frame)}) {
        std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*source);
        auto& copied = dynamic_cast<TFrame2D&>(*copy);
        EXPECT_EQ(copied.ClassName(), "TFrame2D");
        const std::vector<TPoint2D> profile = WorldProfile(copied);
        ASSERT_EQ(profile.size(), rotated.size());
        for (size_t i = 0; i < profile.size(); ++i)
            ExpectNear(profile[i], rotated[i]);
        EXPECT_NEAR(copied.Box.First.X, -2 * std::sqrt(2.0), Tol);
        EXPECT_NEAR(copied.Box.Second.Y, 4 * std::sqrt(2.0), Tol);
    }
}

TEST(Curve, CopiesKeepClassShapeAndDirection)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TCurve2D>()> make;
    };
    const Case cases[] = {
        {"rectangle", [] { return std::make_unique<TRectangle2D>(3, Pt(0, 0), Pt(4, 2)); }},
        {"ellipse", [] { return std::make_unique<TEllipse2D>(3, Pt(0, 0), Pt(4, 2)); }},
        {"filled ellipse", [] { return std::make_unique<TFilledEllipse2D>(3, Pt(0, 0), Pt(4, 2)); }},
        {"filled circle", [] { return std::make_unique<TFilledCerchio2D>(3, Pt(0, 0), Pt(4, 2)); }},
        {"clockwise arc",
         [] {
             auto a = std::make_unique<TArco2D>(3, Pt(0, 0), Pt(4, 0), 0.5, 2);
             a->SetDirection(0);
             return a;
         }},
        {"elliptic arc", [] { return std::make_unique<TEllipseOpen2D>(3, Pt(0, 0), Pt(4, 2), 0.5, 2); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TCurve2D> source = c.make();
        source->SetModelTransform(Rotation(30));
        const std::vector<TPoint2D> expected = WorldProfile(*source);
        std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(*source);
        auto& curve = dynamic_cast<TCurve2D&>(*copy);
        EXPECT_EQ(curve.ClassName(), source->ClassName());
        EXPECT_FALSE(curve.Points().Growable);
        const std::vector<TPoint2D> profile = WorldProfile(curve);
        ASSERT_EQ(profile.size(), expected.size());
        for (size_t i = 0; i < profile.size(); ++i)
            ExpectNear(profile[i], expected[i]);
    }
}

TEST(Curve, AssignAcceptsTheListedSources)
{
    const TFrame2D frame(1, Pt(0, 0), Pt(4, 2));
    const TEllipse2D ellipse(1, Pt(0, 0), Pt(4, 2));
    const TArco2D arc(1, Pt(1, 1), Pt(3, 1), 0, 1);
    const TCerchio2D circle(1, Pt(1, 1), Pt(3, 1));
    const TEllipseOpen2D open(1, Pt(0, 0), Pt(4, 2), 0, 1);
    const TLine2D line(1, Pt(0, 0), Pt(1, 1));
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TCurve2D>()> target;
        const TGraphicObject* source;
        int count;
    };
    const Case cases[] = {
        {"frame from ellipse", [] { return std::make_unique<TFrame2D>(2); }, &ellipse, 2},
        {"frame from elliptic arc", [] { return std::make_unique<TFrame2D>(2); }, &open, 2},
        {"frame from circle", [] { return std::make_unique<TFrame2D>(2); }, &circle, 0},
        {"circle from arc", [] { return std::make_unique<TCerchio2D>(2); }, &arc, 2},
        {"circle from frame", [] { return std::make_unique<TCerchio2D>(2); }, &frame, 2},
        {"circle from line", [] { return std::make_unique<TCerchio2D>(2); }, &line, 0},
        {"ellipse from arc", [] { return std::make_unique<TEllipse2D>(2); }, &arc, 2},
        {"ellipse from circle", [] { return std::make_unique<TEllipse2D>(2); }, &circle, 0},
        {"arc from frame", [] { return std::make_unique<TArco2D>(2); }, &frame, 4},
        {"arc from circle", [] { return std::make_unique<TArco2D>(2); }, &circle, 0},
        {"elliptic arc from ellipse", [] { return std::make_unique<TEllipseOpen2D>(2); }, &ellipse, 4},
        {"elliptic arc from arc", [] { return std::make_unique<TEllipseOpen2D>(2); }, &arc, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TCurve2D> target = c.target();
        target->Assign(*c.source);
        EXPECT_EQ(target->Points().Count(), c.count);
        EXPECT_FALSE(target->Points().Growable);
        EXPECT_NO_THROW(target->HitTest(Pt(0, 0), *std::make_unique<double>(), 1));
    }
    // A frame becomes a full circle on its corners.
    TArco2D full(2);
    full.Assign(frame);
    TArcInfo2D info;
    full.GetArcInfo2D(info);
    EXPECT_NEAR(info.Sweep, 2 * Pi, Tol);
    EXPECT_EQ(info.Center.X, 0);
    EXPECT_NEAR(info.Radius, std::sqrt(20.0), Tol);
}

TEST(Curve, Records)
{
    struct Case {
        const char* name;
        TGraphicClass cls;
        const char* tag;
        std::string placement;
        std::string body;  // points and the curve's own fields
        int points;
    };
    const std::string two = "0200 " + P_1_2 + P_3_half_w2 + "00 ";
    const std::string four = "0400 " + P_0_0 + P_2_0 + P_1_2 + P_3_half_w2 + "00 ";
    const Case cases[] = {
        {"frame", GraphicClassOf<TFrame2D>("TFrame2D"), "QV-3.6", Identity4, two + "3200 01", 2},
        {"rectangle, QV-002", GraphicClassOf<TRectangle2D>("TRectangle2D"), "QV-002", Translation3,
         two + "3200 01", 2},
        {"circle", GraphicClassOf<TCerchio2D>("TCerchio2D"), "QV-3.6", Translation4, two + "0400 00", 2},
        {"filled circle, CAD422", GraphicClassOf<TFilledCerchio2D>("TFilledCerchio2D"), "CAD422", Identity3,
         two + "3200 01", 2},
        {"ellipse", GraphicClassOf<TEllipse2D>("TEllipse2D"), "QV-3.6", Identity4, two + "0000 01", 2},
        {"filled ellipse, QV-002", GraphicClassOf<TFilledEllipse2D>("TFilledEllipse2D"), "QV-002", Identity3,
         two + "3200 01", 2},
        {"arc", GraphicClassOf<TArco2D>("TArco2D"), "QV-3.6", Identity4, four + "3200 01 01", 4},
        {"clockwise arc, QV-002", GraphicClassOf<TArco2D>("TArco2D"), "QV-002", Translation3,
         four + "3200 00 00", 4},
        {"elliptic arc", GraphicClassOf<TEllipseOpen2D>("TEllipseOpen2D"), "QV-3.6", Translation4,
         four + "1000 01 00", 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = HexBytes(Head + c.placement + c.body);
        TStreamReader r(bytes);
        std::unique_ptr<TGraphicObject> obj = c.cls.CreateFromStream(r, c.tag);
        EXPECT_TRUE(r.AtEnd());
        auto& curve = dynamic_cast<TCurve2D&>(*obj);
        EXPECT_EQ(curve.ClassName(), c.cls.Name);
        EXPECT_EQ(curve.Points().Count(), c.points);
        EXPECT_EQ(curve.ProfileUses(), 0);
        // A curve just read builds its profile on first use.
        EXPECT_NO_THROW({
            TProfileUse use(curve);
            curve.GetProfileCount();
        });
        const bool old = IsOldTransformTag(c.tag);
        const std::string current = c.placement == Identity4 || c.placement == Identity3 ? Identity4 : Translation4;
        EXPECT_EQ(Saved(curve), HexBytes(Head + (old ? current : c.placement) + c.body));

        // Every proper prefix is refused.
        for (size_t n = 0; n < bytes.size(); ++n) {
            TStreamReader cut(bytes.data(), n);
            EXPECT_THROW(c.cls.CreateFromStream(cut, c.tag), ECADFileNotValid) << n << " bytes";
        }
    }
    const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + "0400 " + P_0_0 + P_2_0 + P_1_2 + P_3_half_w2 +
                                                "00 3200 01 01");
    TStreamReader r(bytes);
    TArco2D arc(r, "QV-3.6");
    arc.UpdateBox();
    EXPECT_EQ(arc.Precision(), 50);
    EXPECT_TRUE(arc.KeepProfile());
    EXPECT_EQ(arc.Direction(), 1);
    EXPECT_NEAR(arc.StartAngle(), std::atan2(2, 1), Tol);
}

TEST(Curve, BadRecordsAreRefused)
{
    struct Case {
        const char* name;
        TGraphicClass cls;
        std::string body;
        std::string message;
    };
    const Case cases[] = {
        {"frame with three points", GraphicClassOf<TFrame2D>("TFrame2D"),
         "0300 " + P_0_0 + P_0_0 + P_0_0 + "00 3200 01",
         "Invalid stream: a TFrame2D holds at most 2 points, the record gives 3 at offset 134."},
        {"arc with five points", GraphicClassOf<TArco2D>("TArco2D"),
         "0500 " + P_0_0 + P_0_0 + P_0_0 + P_0_0 + P_0_0 + "00 3200 01 01",
         "Invalid stream: a TArco2D holds at most 4 points, the record gives 5 at offset 134."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + c.body);
        TStreamReader r(bytes);
        ExpectError<ECADFileNotValid>([&] { c.cls.CreateFromStream(r, "QV-3.6"); }, c.message);
    }
}

// A direction byte other than 0 or 1 refused the whole drawing; the arc loads, keeps its byte
// and is drawn counter-clockwise, as 1 is.
TEST(Curve, AnArcDirectionOutOfRangeLoadsAsCounterClockwise)
{
    const std::string points = "0400 " + P_0_0 + P_2_0 + P_2_0 + P_1_2 + "00 3200 01 ";
    std::vector<TPoint2D> expected;
    for (const char* direction : {"01", "02", "FF"}) {
        SCOPED_TRACE(direction);
        const std::vector<uint8_t> bytes = HexBytes(Head + Identity4 + points + direction);
        TStreamReader r(bytes);
        TArco2D arc(r, "QV-3.6");
        EXPECT_TRUE(r.AtEnd());
        EXPECT_FALSE(arc.Clockwise());
        EXPECT_EQ(Saved(arc), bytes);
        arc.UpdateBox();
        const std::vector<TPoint2D> profile = WorldProfile(arc);
        if (expected.empty())
            expected = profile;
        ASSERT_EQ(profile.size(), expected.size());
        for (size_t i = 0; i < profile.size(); ++i)
            ExpectNear(profile[i], expected[i]);
    }
}

TEST(Curve, LiveInfoWhileThePanelAsks)
{
    TRecordingPanel panel;
    LiveInfoPanel = &panel;
    bool suspended = false;
    InteractionSuspended = [&] { return suspended; };
    TFrame2D frame(-1, Pt(0, 0), Pt(1, 1));
    TCerchio2D circle(-1, Pt(0, 0), Pt(2, 0));
    suspended = true;
    frame.UpdateBox();
    panel.Live = false;
    TArco2D arc(-1, Pt(0, 0), Pt(2, 0), 0, 1);
    LiveInfoPanel = nullptr;
    InteractionSuspended = nullptr;
    EXPECT_EQ(panel.Shown, (std::vector<std::string>{"box", "circle 2.000000"}));
}

TEST(Curve, ClockwiseEllipticArcReadsItsAnglesBack)
{
    TEllipseOpen2D arc(-1, Pt(-2, -1), Pt(2, 1), 0, 1);
    arc.SetDirection(0);
    arc.SetStartAngle(0.3);
    arc.SetEndAngle(2.0);
    EXPECT_NEAR(arc.StartAngle(), 0.3, Tol);
    EXPECT_NEAR(arc.EndAngle(), 2.0, Tol);
    TProfileUse use(arc);
    const TPointsSet2D& p = *arc.GetProfilePoints();
    ExpectNear(p.Get(0), Pt(2 * std::cos(0.3), -std::sin(0.3)));
    ExpectNear(p.Get(p.Count() - 1), Pt(2 * std::cos(2.0), -std::sin(2.0)));
    // The control points lie where the profile starts and ends.
    ExpectNear(arc.Points().Get(2), p.Get(0));
    ExpectNear(arc.Points().Get(3), p.Get(p.Count() - 1));
}

// A filled or picked-inside shape copied into its plain class keeps the shape and placement.
TEST(Curve, PlainCopiesOfDerivedShapesKeepTheirPlacement)
{
    struct Case {
        const char* name;
        std::function<std::unique_ptr<TCurve2D>()> source;
        std::function<std::unique_ptr<TCurve2D>()> target;
    };
    const Case cases[] = {
        {"rectangle to frame", [] { return std::make_unique<TRectangle2D>(3, Pt(0, 0), Pt(4, 2)); },
         [] { return std::make_unique<TFrame2D>(-1); }},
        {"filled circle to circle", [] { return std::make_unique<TFilledCerchio2D>(3, Pt(1, 0), Pt(4, 0)); },
         [] { return std::make_unique<TCerchio2D>(-1); }},
        {"filled ellipse to ellipse", [] { return std::make_unique<TFilledEllipse2D>(3, Pt(0, 0), Pt(4, 2)); },
         [] { return std::make_unique<TEllipse2D>(-1); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<TCurve2D> source = c.source();
        source->SetModelTransform(Rotation(60));
        const std::unique_ptr<TCurve2D> target = c.target();
        target->Assign(*source);
        const std::vector<TPoint2D> expected = WorldProfile(*source);
        const std::vector<TPoint2D> profile = WorldProfile(*target);
        ASSERT_EQ(profile.size(), expected.size());
        for (size_t i = 0; i < profile.size(); ++i)
            ExpectNear(profile[i], expected[i]);
        EXPECT_EQ(target->ID, -1);
    }
}
