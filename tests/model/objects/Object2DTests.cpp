#include "CADExceptions.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVObject2D.h"
#include "RecordBytes.h"
#include "SavedBytes.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

namespace {

using namespace RecordBytes;

// ID 0x01020304, layer 7, visible and enabled.
const std::string Head = "04030201 07 03 ";

TMatrix4 Translation(double dx, double dy) { return TMatrix4::CreateTranslation(dx, dy, 0); }

bool SameMatrix(const TMatrix4* m, const TMatrix4& expected) { return m && m->IsEqual(expected); }

// Picks control point 0 at a fixed place.
class TFixedPointHandler : public TObject2DHandler {
public:
    explicit TFixedPointHandler(TPoint2D at) : At(at) {}
    int32_t PickControlPoint(const TObject2D&, const TPoint2D& pt, double& dist, double aperture) const override
    {
        double d;
        if (NearPoint2D(At, pt, d, aperture) && d <= dist) {
            dist = d;
            return 0;
        }
        return HitMiss;
    }
    TPoint2D At;
};

}  // namespace

TEST(Object2D, NewObjectHasNoTransformAndAZeroBox)
{
    TObject2D obj(5);
    EXPECT_EQ(obj.BaseTransform(), nullptr);
    EXPECT_EQ(obj.ModelTransform(), nullptr);
    EXPECT_FALSE(obj.HasTransform());
    EXPECT_TRUE(obj.GetModelTransform().IsEqual(IdentityMatrix));
    EXPECT_EQ(obj.Box.First.X, 0);
    EXPECT_EQ(obj.Box.Second.Y, 0);
    EXPECT_EQ(obj.Box.First.W, 1);
    EXPECT_EQ(obj.Handler(), nullptr);
}

TEST(Object2D, OnlyTheExactIdentityDropsAMatrix)
{
    TMatrix4 offByOneBit;
    offByOneBit.M[15] = std::nextafter(1.0, 2.0);
    struct Case {
        const char* name;
        TMatrix4 m;
        bool kept;
    };
    const Case cases[] = {
        {"identity", IdentityMatrix, false},
        {"last bit differs", offByOneBit, true},
        {"translation", Translation(1, 0), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TObject2D obj(1);
        obj.SetModelTransform(Translation(3, 3));
        obj.SetModelTransform(c.m);
        EXPECT_EQ(obj.ModelTransform() != nullptr, c.kept);
        obj.SetBaseTransform(Translation(3, 3));
        obj.SetBaseTransform(c.m);
        EXPECT_EQ(obj.BaseTransform() != nullptr, c.kept);
        EXPECT_EQ(obj.HasTransform(), c.kept);
    }
}

TEST(Object2D, TransformByAccumulatesUntilApplied)
{
    TObject2D obj(1);
    obj.TransformBy(Translation(1, 0));
    obj.TransformBy(Translation(1, 0));
    EXPECT_EQ(obj.BaseTransform(), nullptr);
    EXPECT_TRUE(SameMatrix(obj.ModelTransform(), Translation(2, 0)));
    obj.ApplyTransform();
    EXPECT_TRUE(SameMatrix(obj.BaseTransform(), Translation(2, 0)));
    EXPECT_EQ(obj.ModelTransform(), nullptr);
}

// Both transforms share one block: dropping the model transform must not take the base with it.
TEST(Object2D, DroppingTheModelTransformKeepsTheBase)
{
    TObject2D obj(1);
    obj.SetBaseTransform(Translation(1, 0));
    obj.SetModelTransform(Translation(0, 1));
    obj.SetModelTransform(IdentityMatrix);
    EXPECT_TRUE(SameMatrix(obj.BaseTransform(), Translation(1, 0)));
    EXPECT_EQ(obj.ModelTransform(), nullptr);
    EXPECT_TRUE(obj.HasTransform());
}

TEST(Object2D, BaseActsBeforeModel)
{
    TObject2D obj(1);
    obj.SetBaseTransform(TMatrix4::CreateRotation(true, 90));
    obj.SetModelTransform(Translation(5, 0));
    const TPoint2D p = obj.GetModelTransform().TransformPoint2D({1, 0, 1});
    EXPECT_NEAR(p.X, 5, 1e-12);
    EXPECT_NEAR(p.Y, 1, 1e-12);
    const TPoint2D back = obj.WorldToObject(p);
    EXPECT_NEAR(back.X, 1, 1e-12);
    EXPECT_NEAR(back.Y, 0, 1e-12);
}

TEST(Object2D, LoneMatrixIsReturnedBitForBit)
{
    // A product with the identity would turn an infinity into NaN (infinity times 0).
    TMatrix4 odd;
    odd.M[8] = -std::numeric_limits<double>::infinity();
    for (bool asBase : {true, false}) {
        SCOPED_TRACE(asBase ? "base" : "model");
        TObject2D obj(1);
        if (asBase)
            obj.SetBaseTransform(odd);
        else
            obj.SetModelTransform(odd);
        const TMatrix4 m = obj.GetModelTransform();
        EXPECT_EQ(std::memcmp(m.M.data(), odd.M.data(), sizeof(double) * 16), 0);
    }
}

TEST(Object2D, ChildTransformActsBeforeTheEnclosingOne)
{
    // A child moved by (1, 0) inside a container turned by 90 degrees lands on (0, 1): the same
    // place a pick finds it by mapping the point into the container's space first.
    TObject2D child(1);
    child.SetBaseTransform(Translation(1, 0));
    const TMatrix4 container = TMatrix4::CreateRotation(true, 90);
    const TPoint2D shown = child.GetModelTransformIn(container).TransformPoint2D({0, 0, 1});
    EXPECT_NEAR(shown.X, 0, 1e-12);
    EXPECT_NEAR(shown.Y, 1, 1e-12);

    TMatrix4 inverse;
    inverse.Invert(container);
    const TPoint2D inContainer = inverse.TransformPoint2D(shown);
    const TPoint2D picked = child.GetModelTransform().TransformPoint2D({0, 0, 1});
    EXPECT_NEAR(inContainer.X, picked.X, 1e-12);
    EXPECT_NEAR(inContainer.Y, picked.Y, 1e-12);
}

TEST(Object2D, SingularTransformInvertsToTheIdentity)
{
    TObject2D obj(1);
    obj.SetModelTransform(TMatrix4::CreateScale(0, 0, 0));
    const TPoint2D p = obj.WorldToObject({3, 4, 1});
    EXPECT_EQ(p.X, 3);
    EXPECT_EQ(p.Y, 4);
}

TEST(Object2D, ResetTransformDropsBoth)
{
    TObject2D obj(1);
    obj.SetBaseTransform(Translation(1, 1));
    obj.SetModelTransform(Translation(2, 2));
    obj.ResetTransform();
    EXPECT_FALSE(obj.HasTransform());
}

TEST(Object2D, MoveByTranslatesByTheCartesianDifference)
{
    TObject2D obj(1);
    obj.MoveBy({6, 4, 2}, {1, 1, 1});
    EXPECT_TRUE(SameMatrix(obj.ModelTransform(), Translation(2, 1)));
}

TEST(Object2D, StyledObjectUsesItsOwnPen)
{
    TObject2D obj(9, 0x0000FF, 3, Translation(1, 2));
    EXPECT_FALSE(obj.UseLayerStyle);
    EXPECT_EQ(obj.LineWidth, 3);
    EXPECT_EQ(obj.Color, 0x0000FF);
    EXPECT_TRUE(SameMatrix(obj.ModelTransform(), Translation(1, 2)));
}

TEST(Object2D, RecordByVersionTag)
{
    struct Case {
        const char* name;
        const char* tag;
        std::string hex;
        bool hasBase;
    };
    const Case cases[] = {
        {"current tag, translation", "QV-3.6", Head + Translation4, true},
        {"current tag, identity", "QV-3.6", Head + Identity4, false},
        {"first 4x4 tag", "QV-003", Head + Translation4, true},
        {"last 3x3 tag", "QV-002", Head + Translation3, true},
        {"old tag, identity", "CAD422", Head + Identity3, false},
        {"oldest tag", "CAD3  ", Head + Translation3, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = HexBytes(c.hex);
        TStreamReader r(bytes);
        TObject2D obj(r, c.tag);
        EXPECT_TRUE(r.AtEnd());
        EXPECT_EQ(obj.ID, 0x01020304);
        EXPECT_EQ(obj.Layer, 7);
        EXPECT_EQ(obj.ModelTransform(), nullptr);
        if (c.hasBase)
            EXPECT_TRUE(SameMatrix(obj.BaseTransform(), Translation(2, -1)));
        else
            EXPECT_EQ(obj.BaseTransform(), nullptr);
        // Whatever the tag read, the object writes the current record.
        EXPECT_EQ(Saved(obj), HexBytes(c.hasBase ? Head + Translation4 : Head + Identity4));
    }
}

TEST(Object2D, TruncatedRecordIsRefused)
{
    struct Case {
        const char* name;
        const char* tag;
        std::string hex;
    };
    const Case cases[] = {
        {"4x4 short by one byte", "QV-3.6", Head + Identity4.substr(0, Identity4.size() - 3)},
        {"3x3 where a 4x4 is due", "QV-003", Head + Identity3},
        {"3x3 short", "CAD422", Head + D1},
        {"head only", "QV-3.6", Head},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> bytes = HexBytes(c.hex);
        TStreamReader r(bytes);
        EXPECT_THROW(TObject2D(r, c.tag), ECADFileNotValid);
    }
}

TEST(Object2D, SavingBakesTheModelTransformIntoTheBase)
{
    TObject2D obj(0x01020304);
    obj.Layer = 7;
    obj.SetBaseTransform(Translation(1, 0));
    obj.SetModelTransform(Translation(1, -1));
    EXPECT_EQ(Saved(obj), HexBytes(Head + Translation4));
    EXPECT_TRUE(SameMatrix(obj.BaseTransform(), Translation(2, -1)));
    EXPECT_EQ(obj.ModelTransform(), nullptr);
}

TEST(Object2D, AssignCopiesPlacementBoxAndHandlerButNotColour)
{
    const TFixedPointHandler handler(TPoint2D{0, 0, 1});
    TObject2D source(1);
    source.SetBaseTransform(Translation(1, 0));
    source.SetModelTransform(Translation(0, 1));
    source.Box = MakeRect2D(1, 2, 3, 4);
    source.Color = 0x123456;
    source.SetHandler(&handler);
    source.Visible = false;

    TObject2D target(2);
    target.SetModelTransform(Translation(9, 9));
    target.Assign(source);
    EXPECT_EQ(target.ID, 2);
    EXPECT_FALSE(target.Visible);
    EXPECT_TRUE(SameMatrix(target.BaseTransform(), Translation(1, 1)));
    EXPECT_EQ(target.ModelTransform(), nullptr);
    EXPECT_EQ(target.Box.Second.Y, 4);
    EXPECT_EQ(target.Color, 0);
    EXPECT_EQ(target.Handler(), &handler);

    target.Assign(target);
    EXPECT_TRUE(SameMatrix(target.BaseTransform(), Translation(1, 1)));
}

TEST(Object2D, CopyKeepsTheExactClassAndPlacement)
{
    TObject3D source(4);
    source.SetBaseTransform(Translation(1, 0));
    const std::unique_ptr<TGraphicObject> copy = CopyGraphicObject(source);
    const auto* o = dynamic_cast<const TObject3D*>(copy.get());
    ASSERT_NE(o, nullptr);
    EXPECT_TRUE(SameMatrix(o->BaseTransform(), Translation(1, 0)));
}

TEST(Object2D, HitTestCodes)
{
    struct Case {
        const char* name;
        bool enabled;
        bool withHandler;
        TPoint2D pt;
        int32_t code;
        double dist;
    };
    // Box (0, 0)-(10, 10), aperture 1; the handler's point sits at (12, 5), outside the box.
    const Case cases[] = {
        {"inside the box", true, false, {5, 5, 1}, HitInsideBox, 1},
        {"on the enlarged box's corner", true, false, {11, -1, 1}, HitInsideBox, 1},
        {"just outside", true, false, {11.001, 5, 1}, HitMiss, 1e8},
        {"disabled, on the box", false, false, {5, 5, 1}, HitMiss, 1e8},
        {"control point outside the box", true, true, {12.5, 5, 1}, 0, 0.5},
        {"control point beats the box", true, true, {11, 5, 1}, 0, 1},
        {"disabled, on the control point", false, true, {12, 5, 1}, HitMiss, 1e8},
    };
    const TFixedPointHandler handler(TPoint2D{12, 5, 1});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TObject2D obj(1);
        obj.Box = MakeRect2D(0, 0, 10, 10);
        obj.Enabled = c.enabled;
        if (c.withHandler)
            obj.SetHandler(&handler);
        double dist = -1;
        EXPECT_EQ(obj.HitTest(c.pt, dist, 1), c.code);
        EXPECT_DOUBLE_EQ(dist, c.dist);
    }
}

TEST(Object2D, VisibleInRectangle)
{
    struct Case {
        const char* name;
        TRect2D rect;
        bool visible;
        bool expected;
    };
    const Case cases[] = {
        {"overlapping", MakeRect2D(5, 5, 20, 20), true, true},
        {"touching the right edge", MakeRect2D(10, 0, 20, 10), true, true},
        {"touching the bottom edge", MakeRect2D(0, -5, 10, 0), true, true},
        {"apart", MakeRect2D(10.5, 0, 20, 10), true, false},
        {"inside but invisible", MakeRect2D(-5, -5, 20, 20), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TObject2D obj(1);
        obj.Box = MakeRect2D(0, 0, 10, 10);
        obj.Visible = c.visible;
        EXPECT_EQ(obj.IsVisibleIn(c.rect), c.expected);
    }
}

TEST(Object3D, Box3DSetsThePlanBox)
{
    TObject3D obj(1);
    EXPECT_EQ(obj.Box3D.Second.Z, 0);
    EXPECT_EQ(obj.Box3D.First.W, 1);
    obj.SetBox3D(MakeRect3D(1, 2, 3, 4, 5, 6));
    EXPECT_EQ(obj.Box3D.Second.Z, 6);
    EXPECT_EQ(obj.Box.First.X, 1);
    EXPECT_EQ(obj.Box.First.Y, 2);
    EXPECT_EQ(obj.Box.Second.X, 4);
    EXPECT_EQ(obj.Box.Second.Y, 5);
}
