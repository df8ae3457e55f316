#pragma once
// Plain value records shared by the whole geometry kernel.
#include <array>
#include <cstdint>
#include <vector>

struct TVector2D {
    double X = 0, Y = 0;
};

struct TVector3D {
    double X = 0, Y = 0, Z = 0;
};

// Homogeneous points: W = 1 for ordinary points.
struct TPoint2D {
    double X = 0, Y = 0, W = 1;
};

struct TPoint3D {
    double X = 0, Y = 0, Z = 0, W = 1;
};

// A box of two corners; after normalisation First holds the minima.
struct TRect2D {
    TPoint2D First, Second;
};

struct TRect3D {
    TPoint3D First, Second;
};

// Integer screen point and rectangle, in pixels; Y grows downwards.
struct TPoint {
    int32_t X = 0, Y = 0;
};

struct TRect {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

// Row-major 3x3 for row vectors, translation in the third row.
using TTransform2D = std::array<double, 9>;

using TArrayOfPoint2d = std::vector<TPoint2D>;
using TPoint2DArray = std::vector<TVector2D>;
using TArrayOfRealType = std::vector<double>;
using TArrOfArrOfRealType = std::vector<TArrayOfRealType>;
