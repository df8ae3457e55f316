#include "QVBezier.h"

#include <cstddef>

TQuadBezierCoeffs QuadBezierCoeffs(const TQuadBezier& Ctrl)
{
    TQuadBezierCoeffs K;
    K.BX = 2 * (Ctrl.P1.X - Ctrl.P0.X);
    K.BY = 2 * (Ctrl.P1.Y - Ctrl.P0.Y);
    K.AX = Ctrl.P2.X - Ctrl.P0.X - K.BX;
    K.AY = Ctrl.P2.Y - Ctrl.P0.Y - K.BY;
    return K;
}

TVector2D QuadBezierEval(const TQuadBezier& Ctrl, double T, const TQuadBezierCoeffs& K)
{
    const double T2 = T * T;
    return {Ctrl.P0.X + T * K.BX + T2 * K.AX, Ctrl.P0.Y + T * K.BY + T2 * K.AY};
}

TCubicBezierCoeffs CubicBezierCoeffs(const TCubicBezier& Ctrl)
{
    TCubicBezierCoeffs K;
    K.CX = 3 * (Ctrl.P1.X - Ctrl.P0.X);
    K.CY = 3 * (Ctrl.P1.Y - Ctrl.P0.Y);
    K.BX = 3 * (Ctrl.P2.X - Ctrl.P1.X) - K.CX;
    K.BY = 3 * (Ctrl.P2.Y - Ctrl.P1.Y) - K.CY;
    K.AX = Ctrl.P3.X - Ctrl.P0.X - K.CX - K.BX;
    K.AY = Ctrl.P3.Y - Ctrl.P0.Y - K.CY - K.BY;
    return K;
}

TVector2D CubicBezierEval(const TCubicBezier& Ctrl, double T, const TCubicBezierCoeffs& K)
{
    const double T2 = T * T;
    const double T3 = T2 * T;
    return {Ctrl.P0.X + T * K.CX + T2 * K.BX + T3 * K.AX, Ctrl.P0.Y + T * K.CY + T2 * K.BY + T3 * K.AY};
}

namespace {

template <typename Ctrl, typename Coeffs, typename Eval>
void SampleCurve(const Ctrl& C, const Coeffs& K, Eval eval, int Count, TPoint2DArray& Points)
{
    if (Count <= 0)
        return;
    Points.assign(static_cast<size_t>(Count), TVector2D{});
    // One point has no step between points: it is the start point.
    const double step = Count > 1 ? 1.0 / (Count - 1) : 0.0;
    double T = 0;
    for (int i = 0; i < Count; ++i) {
        Points[static_cast<size_t>(i)] = eval(C, T, K);
        T += step;
    }
}

}  // namespace

void QuadBezierToPoints(const TQuadBezier& Ctrl, int Count, TPoint2DArray& Points)
{
    SampleCurve(Ctrl, QuadBezierCoeffs(Ctrl), QuadBezierEval, Count, Points);
}

void CubicBezierToPoints(const TCubicBezier& Ctrl, int Count, TPoint2DArray& Points)
{
    SampleCurve(Ctrl, CubicBezierCoeffs(Ctrl), CubicBezierEval, Count, Points);
}
