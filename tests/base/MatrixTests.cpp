#include "CADExceptions.h"
#include "QVMatrix.h"
#include "QVStream.h"
#include "TestBytes.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace {

TMatrix4 Make(std::array<double, 16> m)
{
    TMatrix4 r;
    r.M = m;
    return r;
}

void ExpectNearMatrix(const TMatrix4& A, const TMatrix4& B, double tol)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(A.M[i], B.M[i], tol) << "element " << i;
}

const TMatrix4 Affine = Make({0.8, 0.6, 0.1, 0, -0.6, 0.8, 0.2, 0, 0.3, -0.2, 1.5, 0, 7, -3, 2, 1});
const TMatrix4 Projective =
    Make({1.1, 0.2, 0.3, 0.01, 0.4, 0.9, -0.5, -0.02, 0.7, 0.1, 1.3, 0.03, -4, 5, 6, 1.2});

} // namespace

TEST(Matrix, ProductOfEveryOperandKind)
{
    struct Case {
        const char* name;
        TMatrix4 a, b;
    };
    const std::vector<Case> cases = {
        {"both affine", Affine, TMatrix4::CreateRotation(false, 0.7)},
        {"only A affine", Affine, Projective},
        {"only B affine", Projective, Affine},
        {"neither affine", Projective, Projective},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix4 r;
        r.Multiply(c.a, c.b);
        const TMatrix4 expected = r;
        // A applies first, then B.
        const TPoint3D p{1, -2, 3, 1};
        const TPoint3D viaProduct = r.TransformPoint3D(p);
        const TPoint3D stepwise = c.b.TransformPoint3D(c.a.TransformPoint3D(p));
        EXPECT_NEAR(viaProduct.X, stepwise.X, 1e-12);
        EXPECT_NEAR(viaProduct.Y, stepwise.Y, 1e-12);
        EXPECT_NEAR(viaProduct.Z, stepwise.Z, 1e-12);
        EXPECT_NEAR(viaProduct.W, stepwise.W, 1e-12);

        TMatrix4 selfA = c.a;
        selfA.Multiply(selfA, c.b);
        EXPECT_TRUE(selfA.IsEqual(expected));
        TMatrix4 selfB = c.b;
        selfB.Multiply(c.a, selfB);
        EXPECT_TRUE(selfB.IsEqual(expected));
    }
    TMatrix4 square = Projective;
    square.Multiply(square, square);
    TMatrix4 separate;
    separate.Multiply(Projective, Projective);
    EXPECT_TRUE(square.IsEqual(separate));

    TMatrix4 a = TMatrix4::CreateScale(2, 3, 4);
    a.M[3] = 1;
    TMatrix4 ab;
    ab.Multiply(a, TMatrix4::CreateTranslation(5, 6, 7));
    EXPECT_TRUE(ab.IsEqual(Make({7, 6, 7, 1, 0, 3, 0, 0, 0, 0, 4, 0, 5, 6, 7, 1})));
}

TEST(Matrix, ProductAppliesLeftOperandFirst)
{
    TMatrix4 m = TMatrix4::CreateTranslation(1, 0, 0);
    m.Rotate(true, 90); // translate, then turn
    const TPoint2D p = m.TransformPoint2D(MakePoint2D(0, 0));
    EXPECT_NEAR(p.X, 0, 1e-15);
    EXPECT_NEAR(p.Y, 1, 1e-15);
}

TEST(Matrix, InvertUsesAThresholdRelativeToTheMatrix)
{
    struct Case {
        const char* name;
        TMatrix4 source;
        bool singular;
    };
    TMatrix4 farScaled = TMatrix4::CreateScale(0.003, 0.003, 1);
    farScaled.Translate(1e12, -1e12, 0);
    TMatrix4 dependentRows = Make({1, 2, 3, 0, 2, 4, 6, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    TMatrix4 nearlyDependent = Make({0.1, 0.2, 0, 0, 0.3, 0.6, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1});
    nearlyDependent.M[5] = std::nextafter(0.6, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::vector<Case> cases = {
        {"scale 0.01", TMatrix4::CreateScale(0.01, 0.01, 1), false},
        // Regression: an absolute 1e-5 limit on det made this small real scale the identity.
        {"scale 0.003", TMatrix4::CreateScale(0.003, 0.003, 1), false},
        {"scale 1/600", TMatrix4::CreateScale(1.0 / 600, 1.0 / 600, 1.0 / 600), false},
        {"scale 0.003 far away", farScaled, false},
        {"rotation and translation", Affine, false},
        {"projective", Projective, false},
        {"zero scale", TMatrix4::CreateScale(0, 1, 1), true},
        {"dependent rows", dependentRows, true},
        {"dependent up to rounding", nearlyDependent, true},
        {"NaN element", Make({nan, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1}), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TMatrix4 inv = TMatrix4::CreateTranslation(9, 9, 9);
        inv.Invert(c.source);
        if (c.singular) {
            EXPECT_TRUE(inv.IsEqual(IdentityMatrix));
            continue;
        }
        TMatrix4 back;
        back.Multiply(c.source, inv);
        ExpectNearMatrix(back, IdentityMatrix, 1e-9);

        TMatrix4 self = c.source;
        self.Invert(self);
        EXPECT_TRUE(self.IsEqual(inv));
    }
    TMatrix4 inv;
    inv.Invert(TMatrix4::CreateScale(0.01, 0.01, 1));
    ExpectNearMatrix(inv, TMatrix4::CreateScale(100, 100, 1), 1e-12);
}

TEST(Matrix, BuildersMapPoints)
{
    struct Case {
        const char* name;
        TMatrix4 m;
        TPoint2D in, out;
    };
    TTransform2D t2 = {0, 1, 0, -1, 0, 0, 5, 6, 1}; // quarter turn, then (5, 6)
    const std::vector<Case> cases = {
        {"mirror 0 negates Y", TMatrix4::CreateMirror(0), {2, 5, 1}, {2, -5, 1}},
        {"mirror 1 negates X", TMatrix4::CreateMirror(1), {2, 5, 1}, {-2, 5, 1}},
        {"mirror 2 negates both", TMatrix4::CreateMirror(2), {2, 5, 1}, {-2, -5, 1}},
        {"mirror 3 is identity", TMatrix4::CreateMirror(3), {2, 5, 1}, {2, 5, 1}},
        {"rotation 90 degrees", TMatrix4::CreateRotation(true, 90), {1, 0, 1}, {0, 1, 1}},
        {"from 2D", TMatrix4::CreateFrom2D(t2), {1, 0, 1}, {5, 7, 1}},
        {"W = 0 ignores translation", TMatrix4::CreateTranslation(3, 4, 0), {1, 2, 0}, {1, 2, 0}},
        {"W = 2 adds translation twice", TMatrix4::CreateTranslation(3, 4, 0), {1, 2, 2}, {7, 10, 2}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPoint2D p = c.m.TransformPoint2D(c.in);
        EXPECT_NEAR(p.X, c.out.X, 1e-15);
        EXPECT_NEAR(p.Y, c.out.Y, 1e-15);
        EXPECT_EQ(p.W, c.out.W);
    }
    EXPECT_TRUE(TMatrix4::CreateMirror(3).IsEqual(IdentityMatrix));
    EXPECT_FALSE(TMatrix4::CreateRotation(true, 360).IsEqual(IdentityMatrix));
}

TEST(Matrix, PreRotateTurnsBeforeTheMatrix)
{
    TMatrix4 m = Projective;
    m.PreRotateDeg(30);
    TMatrix4 expected;
    expected.Multiply(TMatrix4::CreateRotation(true, -30), Projective);
    ExpectNearMatrix(m, expected, 1e-15);
}

TEST(Matrix, TransformPoint3DIsTheFullProduct)
{
    const TPoint3D p = Projective.TransformPoint3D({1, 2, 3, 2});
    EXPECT_DOUBLE_EQ(p.X, 1.1 + 0.8 + 2.1 - 8);
    EXPECT_DOUBLE_EQ(p.W, 0.01 - 0.04 + 0.09 + 2.4);
}

TEST(Matrix, LockedStopsOnlySetElement)
{
    TMatrix4 m;
    m.Locked = true;
    m.SetElement(12, 5);
    EXPECT_TRUE(m.IsEqual(IdentityMatrix));

    const TMatrix4 t = TMatrix4::CreateTranslation(1, 2, 3);
    m.Assign(&t);
    EXPECT_TRUE(m.IsEqual(t));
    m.Assign(nullptr);
    EXPECT_TRUE(m.IsEqual(IdentityMatrix));

    TStreamWriter w;
    t.SaveToStream(w);
    TStreamReader r(w.Bytes());
    m.LoadFromStream(r);
    EXPECT_TRUE(m.IsEqual(t));
    EXPECT_TRUE(m.Locked);
}

TEST(Matrix, StreamIsSixteenLittleEndianDoubles)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    TMatrix4 m = Make({1, 0, 0, 0, 0, -2, 0, 0, 0, 0, 0.1, 0, 1.5, -0.0, 0.25, nan});
    m.Locked = true; // never streamed
    TStreamWriter w;
    m.SaveToStream(w);

    const std::vector<uint8_t> expected =
        HexBytes("000000000000F03F 0000000000000000 0000000000000000 0000000000000000"
                 "0000000000000000 00000000000000C0 0000000000000000 0000000000000000"
                 "0000000000000000 0000000000000000 9A9999999999B93F 0000000000000000"
                 "000000000000F83F 0000000000000080 000000000000D03F 000000000000F87F");
    ASSERT_EQ(w.Size(), 128u);
    EXPECT_EQ(w.Bytes(), expected);

    TStreamReader r(w.Bytes());
    TMatrix4 back;
    back.LoadFromStream(r);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_FALSE(back.Locked);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(std::bit_cast<uint64_t>(back.M[i]), std::bit_cast<uint64_t>(m.M[i])) << i;
}

TEST(Matrix, ShortStreamFailsAndKeepsTheMatrix)
{
    TStreamWriter w;
    TMatrix4::CreateScale(2, 2, 2).SaveToStream(w);
    std::vector<uint8_t> bytes = w.Bytes();
    bytes.resize(127);
    TStreamReader r(bytes);
    TMatrix4 m = TMatrix4::CreateTranslation(1, 2, 3);
    EXPECT_THROW(m.LoadFromStream(r), ECADFileNotValid);
    EXPECT_TRUE(m.IsEqual(TMatrix4::CreateTranslation(1, 2, 3)));
}

TEST(MatrixDeathTest, ElementIndexOutsideTheMatrixIsAProgrammingError)
{
    TMatrix4 m;
    EXPECT_DEATH(m.GetElement(16), "internal error");
    EXPECT_DEATH(m.SetElement(-1, 0), "internal error");
}

TEST(Vector, HomogeneousPoints)
{
    struct Case {
        const char* name;
        TPoint2D in, out;
    };
    const std::vector<Case> cases = {
        {"W = 2 divides", {4, 6, 2}, {2, 3, 1}},
        {"W = 0 stays", {4, 6, 0}, {4, 6, 0}},
        {"W = 1 stays", {4, 6, 1}, {4, 6, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TPoint2D p = CartesianPoint2D(c.in);
        EXPECT_EQ(p.X, c.out.X);
        EXPECT_EQ(p.Y, c.out.Y);
        EXPECT_EQ(p.W, c.out.W);
    }
    const TVector2D same = PointDelta2D({2, 2, 2}, {4, 4, 2});
    EXPECT_EQ(same.X, 2);
    EXPECT_EQ(same.Y, 2);
    const TVector2D mixed = PointDelta2D({2, 2, 2}, {4, 4, 1});
    EXPECT_EQ(mixed.X, 3);
    EXPECT_EQ(mixed.Y, 3);
}

TEST(Vector, RotateIsCounterClockwise)
{
    const TVector2D v = RotateVector2D({1, 0}, std::numbers::pi / 2);
    EXPECT_NEAR(v.X, 0, 1e-15);
    EXPECT_NEAR(v.Y, 1, 1e-15);
    const TVector3D z = CrossProduct3D({1, 0, 0}, {0, 1, 0});
    EXPECT_EQ(z.Z, 1);
    const TVector2D zero = NormalizeVector2D({0, 0});
    EXPECT_EQ(zero.X, 0);
    EXPECT_EQ(zero.Y, 0);
}

TEST(Vector, LinePlaneIntersect)
{
    TVector4f r{9, 9, 9, 9};
    const TVector4f origin{0, 0, 0, 0}, up{0, 0, 1, 0};
    EXPECT_EQ(LinePlaneIntersect({1, 2, 3}, {1, 0, 0}, origin, up, r), 0.0f);
    EXPECT_EQ(r.X, 9);
    EXPECT_EQ(r.W, 9);

    EXPECT_EQ(LinePlaneIntersect({1, 2, 4}, {0, 0, -2}, origin, up, r), 2.0f);
    EXPECT_EQ(r.X, 1);
    EXPECT_EQ(r.Y, 2);
    EXPECT_EQ(r.Z, 0);
    EXPECT_EQ(r.W, 0);
}
