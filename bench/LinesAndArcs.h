#pragma once
// A drawing of N lines and arcs (half each) scattered over a square of Side units: lines 1 to 3
// units long and arcs of radius 0.5 to 1.5, one object to every 4 square units when Side is
// 2 sqrt(N). The same seed gives the same drawing in every benchmark.
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"

#include <cmath>
#include <memory>
#include <numbers>
#include <random>

inline void FillLinesAndArcs(TQV_01Cmp2D& Drawing, int N, double Side)
{
    std::mt19937 rnd(7);
    std::uniform_real_distribution<double> at(0, Side), length(1, 3), turn(0, 2 * std::numbers::pi),
        radius(0.5, 1.5), sweep(0.5, 4.7);
    Drawing.Objects.Reserve(N);
    for (int i = 0; i < N; ++i) {
        const double x = at(rnd), y = at(rnd), a = turn(rnd);
        if (i % 2 == 0) {
            const double l = length(rnd);
            Drawing.AddObject(
                -1, std::make_unique<TLine2D>(-1, TPoint2D{x, y, 1},
                                              TPoint2D{x + l * std::cos(a), y + l * std::sin(a), 1}));
        } else {
            const double r = radius(rnd);
            Drawing.AddObject(-1, std::make_unique<TArco2D>(-1, TPoint2D{x, y, 1}, TPoint2D{x + r, y, 1}, a,
                                                            a + sweep(rnd)));
        }
    }
}
