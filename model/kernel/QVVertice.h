#pragma once
// Vertices of the paths of lines and arcs: each describes the element that ends at its point,
// starting from the point of the vertex before it (the first vertex only gives the start point).
#include "QVTypes.h"

#include <cstddef>
#include <cstdint>

class TStreamReader;
class TStreamWriter;

struct TAVertice {
    // 0: line; 1: arc counter-clockwise about Centre; any other value (we write -1): clockwise.
    int32_t Kind = 0;
    TVector2D Point;
    // Arc centre; the radius is the distance from here to the previous point.
    TVector2D Centre;
    int32_t Tag = 0;
    // -1 from every constructor except a copy and the stream.
    int32_t ID = -1;

    static constexpr size_t StreamSize = 44;

    static TAVertice CreatePointCentre(const TVector2D& P, const TVector2D& C);
    static TAVertice CreateFull(int32_t Kind, const TVector2D& P, const TVector2D& C, int32_t Tag);
    static TAVertice CreatePoint(const TVector2D& P, int32_t Tag);
    static TAVertice CreateFromStream(TStreamReader& R);

    // Copies all five fields, ID included (as the copy constructor does).
    void Assign(const TAVertice& Source) { *this = Source; }
    void SaveToStream(TStreamWriter& W) const;
};

struct TAVertice3d {
    int32_t Kind = 0;
    TVector3D Point;
    TVector3D Centre;
    int32_t Tag = 0;

    static constexpr size_t StreamSize = 56;

    static TAVertice3d CreatePoint(const TVector3D& P);
    static TAVertice3d CreateFull(int32_t Kind, const TVector3D& P, const TVector3D& C, int32_t Tag);
    static TAVertice3d CreateFromStream(TStreamReader& R);

    void Assign(const TAVertice3d& Source) { *this = Source; }
    void SaveToStream(TStreamWriter& W) const;
};
