#pragma once
// The large drawing the file benchmarks save and load: lines and polylines of 50 points at random
// places, as a traced picture gives them (1,000,000 lines and 100,000 polylines make some 320 MB
// as a file). The same seed every time, so every run writes the same bytes.
#include "QVCmp.h"
#include "QVEntity.h"

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

inline void FillTracedDrawing(TQV_01Cmp2D& d, int32_t lines, int32_t polylines)
{
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> coord(0, 1000);
    for (int32_t i = 0; i < lines; ++i)
        d.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{coord(rng), coord(rng), 1},
                                                  TPoint2D{coord(rng), coord(rng), 1}));
    std::vector<TPoint2D> pts(50);
    for (int32_t i = 0; i < polylines; ++i) {
        for (TPoint2D& p : pts)
            p = {coord(rng), coord(rng), 1};
        d.AddObject(-1, std::make_unique<TPolyline2D>(-1, pts));
    }
}
