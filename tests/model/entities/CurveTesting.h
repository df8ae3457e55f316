#pragma once
// What the curve and spline tests share: the head of their hand-built records, a few points as
// record bytes, and checks on profiles.
#include "QVCurves.h"
#include "QVMatrix.h"
#include "RecordBytes.h"
#include "SavedBytes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace CurveTesting {

using namespace RecordBytes;

inline constexpr double Tol = 1e-9;

// ID 0x0A, layer 2, visible and enabled.
inline const std::string Head = "0A000000 02 03 ";
// Points as X, Y, W.
inline const std::string P_1_2 = D1 + D2 + D1;
inline const std::string P_3_half_w2 = D3 + DHalf + D2;  // cartesian (1.5, 0.25)
inline const std::string P_0_0 = D0 + D0 + D1;
inline const std::string P_2_0 = D2 + D0 + D1;

inline TPoint2D Pt(double x, double y) { return MakePoint2D(x, y); }

inline void ExpectNear(const TPoint2D& a, const TPoint2D& b, double tol = Tol)
{
    EXPECT_NEAR(a.X, b.X, tol);
    EXPECT_NEAR(a.Y, b.Y, tol);
}

// The profile in world coordinates.
inline std::vector<TPoint2D> WorldProfile(TCurve2D& c)
{
    TProfileUse use(c);
    std::vector<TPoint2D> out;
    const TMatrix4 m = c.GetModelTransform();
    for (const TPoint2D& p : c.GetProfilePoints()->Points())
        out.push_back(CartesianPoint2D(m.TransformPoint2D(p)));
    return out;
}

}  // namespace CurveTesting
