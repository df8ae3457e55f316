#pragma once
// Points along quadratic and cubic Bézier curves, for the SVG reader.
#include "QVTypes.h"

struct TQuadBezier {
    TVector2D P0, P1, P2;
};

struct TCubicBezier {
    TVector2D P0, P1, P2, P3;
};

struct TQuadBezierCoeffs {
    double BX = 0, BY = 0, AX = 0, AY = 0;
};

struct TCubicBezierCoeffs {
    double CX = 0, CY = 0, BX = 0, BY = 0, AX = 0, AY = 0;
};

// B = 2(P1 - P0), A = P2 - P0 - B; the point at T is P0 + T B + T^2 A.
TQuadBezierCoeffs QuadBezierCoeffs(const TQuadBezier& Ctrl);
TVector2D QuadBezierEval(const TQuadBezier& Ctrl, double T, const TQuadBezierCoeffs& K);
// C = 3(P1 - P0), B = 3(P2 - P1) - C, A = P3 - P0 - C - B; the point is P0 + T C + T^2 B + T^3 A.
TCubicBezierCoeffs CubicBezierCoeffs(const TCubicBezier& Ctrl);
TVector2D CubicBezierEval(const TCubicBezier& Ctrl, double T, const TCubicBezierCoeffs& K);

// Count points of the curve at T = 0, step, 2 step, ... with step = 1 / (Count - 1), T summed
// step by step. Count 0 or less leaves Points as it was; Count 1 gives the start point.
void QuadBezierToPoints(const TQuadBezier& Ctrl, int Count, TPoint2DArray& Points);
void CubicBezierToPoints(const TCubicBezier& Ctrl, int Count, TPoint2DArray& Points);
