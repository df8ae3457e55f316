// The arithmetic of the view and status controls.
#include "MainView.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(MainView, WheelZoomFactorAndTargetPoint)
{
    struct TCase {
        int Delta;
        double Factor;
    };
    for (const TCase c : {TCase{120, 0.9}, TCase{-120, 1 / 0.9}, TCase{240, 0.81}, TCase{-240, 1 / 0.81}})
        EXPECT_NEAR(WheelZoomFactor(c.Delta), c.Factor, 1e-12) << c.Delta;
    // The mouse at the centre: the target stays at the centre.
    EXPECT_EQ(WheelTargetPoint(0.9, 400, 300, 400, 300), QPoint(400, 300));
    // (500 - 400) * 0.9 - 100 = -10; (200 - 300) - (200 - 300) * 0.9 = -10: away from the mouse.
    EXPECT_EQ(WheelTargetPoint(0.9, 400, 300, 500, 200), QPoint(390, 310));
    // Halves round to even: 5 * 0.9 - 5 = -0.5 -> 0; 15 * 0.9 - 15 = -1.5 -> -2.
    EXPECT_EQ(WheelTargetPoint(0.9, 0, 0, 5, 0).x(), 0);
    EXPECT_EQ(WheelTargetPoint(0.9, 0, 0, 15, 0).x(), -2);
}

TEST(MainView, StandardViewPositions)
{
    const double k = 0.577350258827209;
    struct TCase {
        TViewDirection View;
        double X, Y, Z;
    };
    for (const TCase c :
         {TCase{TViewDirection::Top, 0, -0.000001 * 50, 50}, TCase{TViewDirection::Front, 0, -50, 0},
          TCase{TViewDirection::Side, 50, 0, 0}, TCase{TViewDirection::Iso, k * 50, -k * 50, k * 50}}) {
        const auto p = StandardViewPosition(c.View, 50);
        EXPECT_DOUBLE_EQ(p[0], c.X);
        EXPECT_DOUBLE_EQ(p[1], c.Y);
        EXPECT_DOUBLE_EQ(p[2], c.Z);
    }
}

TEST(MainView, StatusBarGridHotSpots)
{
    for (const int x : {0, 22, 93, 100, 114})
        EXPECT_TRUE(StatusGridHotSpot(x)) << x;
    for (const int x : {23, 50, 92, 115, 300})
        EXPECT_FALSE(StatusGridHotSpot(x)) << x;
}
