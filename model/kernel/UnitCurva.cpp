#include "UnitCurva.h"

#include "CADExceptions.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVMatrix.h"
#include "QVStream.h"
#include "UnitConfig.h"

#include <cmath>
#include <numbers>
#include <utility>

namespace {

constexpr double Pi = std::numbers::pi;
constexpr double TwoPi = 2 * std::numbers::pi;

double AngleAbout(const TVector2D& Centre, const TVector2D& P)
{
    return std::atan2(P.Y - Centre.Y, P.X - Centre.X);
}

// The direction of an arc vertex as a sign: kind 1 runs counter-clockwise, every other arc kind
// clockwise.
int32_t ArcDir(int32_t Kind)
{
    return Kind == 1 ? 1 : -1;
}

}  // namespace

double ArcTolerance = DefChainTol[1];
TGestioneID ChainIDs;

// ---------------------------------------------------------------------------------------------
// TAArco

TAArco TAArco::CreateFromPoints(const TVector2D& StartPt, const TVector2D& EndPt, const TVector2D& Centre,
                                bool CCW, int32_t Tag)
{
    TAArco a;
    a.StartPt = StartPt;
    a.EndPt = EndPt;
    a.Centre = Centre;
    a.CCW = CCW;
    a.Tag = Tag;
    return a;
}

TAArco TAArco::CreateFrom3D(const TVector3D& StartPt, const TVector3D& EndPt, const TVector3D& Centre, bool CCW,
                            int32_t Tag)
{
    return CreateFromPoints({StartPt.X, StartPt.Y}, {EndPt.X, EndPt.Y}, {Centre.X, Centre.Y}, CCW, Tag);
}

double TAArco::Radius() const
{
    return VectorDistance2D(StartPt, Centre);
}

double TAArco::Sweep() const
{
    double as = AngleAbout(Centre, StartPt);
    double ae = AngleAbout(Centre, EndPt);
    if (CCW && ae < as)
        ae += TwoPi;
    if (!CCW && ae > as)
        as += TwoPi;
    return std::fabs(ae - as);
}

void TAArco::ComputeAngles()
{
    StartAngle = AngleAbout(Centre, StartPt);
    EndAngle = AngleAbout(Centre, EndPt);
    if (CCW && StartAngle > EndAngle)
        EndAngle += TwoPi;
    if (!CCW && StartAngle < EndAngle)
        StartAngle += TwoPi;
}

TVector2D TAArco::PointAt(double T) const
{
    if (std::fabs(T) < 1e-14)
        return StartPt;
    if (std::fabs(T - 1) < 1e-14)
        return EndPt;
    const double turn = T * Sweep();
    return AddVector2D(RotateVector2D(SubVector2D(StartPt, Centre), CCW ? turn : -turn), Centre);
}

void TAArco::SetDirectionThrough(const TVector2D& P)
{
    const double as = AngleAbout(Centre, StartPt);
    double ae = AngleAbout(Centre, EndPt);
    double ap = AngleAbout(Centre, P);
    if (ae < as)
        ae += TwoPi;
    if (ap < as - 1e-13)
        ap += TwoPi;
    CCW = ae + 1e-13 >= ap;
}

// ---------------------------------------------------------------------------------------------
// TABox, TSpan and the quadrant helpers

void TABox::AddPoint(const TVector2D& P)
{
    if (!Valid) {
        MinX = MaxX = P.X;
        MinY = MaxY = P.Y;
        Valid = true;
        return;
    }
    if (P.X < MinX)
        MinX = P.X;
    if (P.Y < MinY)
        MinY = P.Y;
    if (P.X > MaxX)
        MaxX = P.X;
    if (P.Y > MaxY)
        MaxY = P.Y;
}

int32_t AxisQuadrant(const TVector2D& V)
{
    if (V.X > 0)
        return V.Y > 0 ? 0 : 3;
    return V.Y > 0 ? 1 : 2;
}

TVector2D QuadrantAxis(int32_t Q)
{
    switch (Q >= 4 ? Q - 4 : Q) {
    case 0: return {0, 1};
    case 1: return {-1, 0};
    case 2: return {0, -1};
    default: return {1, 0};
    }
}

namespace TSpan {

double AngleBetween(const TVector2D& u, const TVector2D& w, int32_t Dir)
{
    const double c = DotProduct2D(u, w);
    if (c > 0.9999999999)
        return 0;
    if (c < -0.9999999999)
        return Dir * Pi;
    double d = std::acos(c);
    if (CrossProduct2D(u, w) * Dir < 0)
        d = TwoPi - d;
    return Dir * d;
}

double SpanAngle(const TVector2D& Start, const TAVertice& V)
{
    if (V.Kind == 0)
        return 0;
    const TVector2D u = NormalizeVector2D(PerpLeft(SubVector2D(Start, V.Centre)));
    const TVector2D w = NormalizeVector2D(PerpLeft(SubVector2D(V.Point, V.Centre)));
    return AngleBetween(u, w, ArcDir(V.Kind));
}

double SpanArea(const TVector2D& Start, const TAVertice& V)
{
    const double x1 = Start.X, y1 = Start.Y, x2 = V.Point.X, y2 = V.Point.Y;
    if (V.Kind == 0)
        return (x2 - x1) * 0.5 * (y1 + y2);
    const double cx = V.Centre.X, cy = V.Centre.Y;
    const double r = VectorDistance2D(Start, V.Centre);
    const double theta = SpanAngle(Start, V);
    return ((cx - x1) * (cy + y1) - (cx - x2) * (cy + y2) - r * r * theta) * 0.5;
}

void AddToBox(const TVector2D& Start, const TAVertice& V, TABox& Box)
{
    Box.AddPoint(Start);
    Box.AddPoint(V.Point);
    if (V.Kind == 0)
        return;
    // Walk the quadrants counter-clockwise: a clockwise arc is the counter-clockwise one from
    // its end to its start.
    TVector2D from = SubVector2D(Start, V.Centre);
    TVector2D to = SubVector2D(V.Point, V.Centre);
    if (V.Kind != 1)
        std::swap(from, to);
    const int32_t a = AxisQuadrant(from);
    const int32_t n = AxisQuadrant(to);
    const double r = VectorDistance2D(V.Point, V.Centre);
    int32_t b = n < a ? 4 : 0;
    // Both ends in one quadrant with the end behind the start: the arc runs the whole way
    // round and crosses all four axes.
    if (n == a && CrossProduct2D(from, to) < 0)
        b = 4;
    for (int32_t k = a; k < n + b; ++k)
        Box.AddPoint(AddVector2D(V.Centre, ScaleVector2D(QuadrantAxis(k), r)));
}

}  // namespace TSpan

// ---------------------------------------------------------------------------------------------
// TACurva

int32_t TACurva::AddVertex(const TAVertice& V)
{
    Vertices.push_back(V);
    return Count() - 1;
}

void TACurva::Clear()
{
    Vertices.clear();
    Closed = false;
}

void TACurva::Assign(const TACurva& Source)
{
    Vertices = Source.Vertices;
    ID = Source.ID;
    Closed = Source.Closed;
    SavedReversed = Source.SavedReversed;
}

void TACurva::Reverse()
{
    std::vector<TAVertice> list;
    list.reserve(Vertices.size());
    for (int32_t i = Count() - 1; i >= 0; --i) {
        TAVertice v;
        v.Point = Vertices[i].Point;
        v.Tag = Vertices[i].Tag;
        if (i + 1 < Count()) {
            // The element that ended at vertex i + 1 now ends at vertex i, turning the other way.
            const TAVertice& next = Vertices[i + 1];
            v.Kind = next.Kind == 0 ? 0 : -ArcDir(next.Kind);
            v.Centre = next.Centre;
        }
        list.push_back(v);
    }
    Vertices = std::move(list);
    Reversed = !Reversed;
}

double TACurva::SignedArea() const
{
    double area = 0;
    for (int32_t i = 1; i < Count(); ++i)
        area += TSpan::SpanArea(Vertices[i - 1].Point, Vertices[i]);
    return area;
}

bool TACurva::IsClockwise() const
{
    return Closed && SignedArea() > 0;
}

void TACurva::SetStartIndex(int32_t N)
{
    // Rotating an open curve would invent the element from its end back to its start.
    if (N <= 0 || N >= Count() || !Closed)
        return;
    std::vector<TAVertice> list;
    list.reserve(Vertices.size());
    const TAVertice& first = Vertices[N];
    TAVertice closing;
    if (first.Kind != 0) {
        list.push_back(TAVertice::CreatePoint(first.Point, 0));
        closing = first;
    } else {
        list.push_back(first);
        closing = TAVertice::CreatePoint(first.Point, 0);
    }
    for (int32_t k = N + 1; k < Count(); ++k)
        list.push_back(Vertices[k]);
    for (int32_t k = 1; k < N; ++k)
        list.push_back(Vertices[k]);
    list.push_back(closing);
    Vertices = std::move(list);
}

void TACurva::NearestPoint(const TVector2D& P, TCurveHit& Hit) const
{
    Hit.Distance = NoHitDistance;
    for (int32_t i = 1; i < Count(); ++i) {
        const TVector2D& from = Vertices[i - 1].Point;
        const TAVertice& v = Vertices[i];
        TVector2D q;
        if (v.Kind == 0)
            q = NearestOnSegment(from, v.Point, P);
        else if (v.Kind == 1)
            q = NearestOnArc(v.Centre, from, v.Point, P);
        else  // a clockwise arc is the counter-clockwise one from its end to its start
            q = NearestOnArc(v.Centre, v.Point, from, P);
        const double d = VectorDistance2D(q, P);
        if (d < Hit.Distance) {
            Hit.Distance = d;
            Hit.Point = q;
            Hit.Index = i;
        }
    }
}

void TACurva::LoadFromStream(TStreamReader& Stream, std::string_view VersionTag)
{
    const int32_t last = Stream.ReadInt32();
    Closed = Stream.ReadBool();
    if (VersionTag.substr(0, 6) >= "QV-001") {
        SavedReversed = Stream.ReadUInt16();
        Reversed = SavedReversed != 0;
        ID = Stream.ReadInt32();
    }
    if (last < 0)
        return;
    // A curve is always followed by more data, so the stream must reach beyond its vertices.
    const uint64_t count = static_cast<uint64_t>(last) + 1;
    if (Stream.Remaining() / TAVertice::StreamSize < count ||
        Stream.Remaining() == count * TAVertice::StreamSize) {
        Clear();
        throw ECADFileNotValid("LoadFromStream: Invalid stream.");
    }
    Vertices.reserve(Vertices.size() + count);
    for (uint64_t i = 0; i < count; ++i)
        Vertices.push_back(TAVertice::CreateFromStream(Stream));
}

void TACurva::SaveToStream(TStreamWriter& Stream)
{
    SavedReversed = Reversed ? 1 : 0;
    Stream.WriteInt32(Count() - 1);
    Stream.WriteBool(Closed);
    Stream.WriteUInt16(SavedReversed);
    Stream.WriteInt32(ID);
    for (const TAVertice& v : Vertices)
        v.SaveToStream(Stream);
}

void TCurvaNci::LoadFromStream(TStreamReader& Stream, std::string_view VersionTag)
{
    TACurva::LoadFromStream(Stream, VersionTag);
    LegacyValue = Stream.ReadDouble();
    LegacyCode = Stream.ReadInt32();
}

TACurva* TListaDiCurve::Add(std::unique_ptr<TACurva> C)
{
    Items.push_back(std::move(C));
    return Items.back().get();
}
