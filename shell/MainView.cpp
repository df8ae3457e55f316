#include "MainView.h"

#include <cmath>

double WheelZoomFactor(int WheelDelta)
{
    return std::pow(0.9, WheelDelta / 120.0);
}

QPoint WheelTargetPoint(double F, int CX, int CY, int MX, int MY)
{
    const auto f = static_cast<float>(F);
    const auto dx = static_cast<float>(MX - CX), dy = static_cast<float>(MY - CY);
    const float nx = dx * f - dx;
    const float ny = dy - dy * f;
    // nearbyint rounds halves to even in the default rounding mode.
    return {CX + static_cast<int>(std::nearbyint(nx)), CY - static_cast<int>(std::nearbyint(ny))};
}

std::array<double, 3> StandardViewPosition(TViewDirection V, double R)
{
    constexpr double k = 0.577350258827209;
    switch (V) {
    case TViewDirection::Front:
        return {0, -R, 0};
    case TViewDirection::Side:
        return {R, 0, 0};
    case TViewDirection::Iso:
        return {k * R, -k * R, k * R};
    case TViewDirection::Top:
        break;
    }
    // A tiny offset keeps the view's up direction defined.
    return {0, -0.000001 * R, R};
}

bool StatusGridHotSpot(int X)
{
    return X < 23 || (X > 92 && X < 115);
}
