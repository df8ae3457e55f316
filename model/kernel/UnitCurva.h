#pragma once
// The program's curve: a path of lines and circular arcs, open or closed, with its stream form,
// its geometric queries and the arc fitting that turns runs of short lines into arcs. Also the
// small value classes around it: arcs as three points, per-segment routines, boxes, the chain
// ID counter and the curve lists.
//
// Vertex 0 holds the start point; each further vertex describes the element that ends at its
// point (QVVertice.h). A closed curve repeats its start point as the last vertex's point.
#include "QVGeom2D.h"
#include "QVTypes.h"
#include "QVVertice.h"

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class TPreviewTarget;
class TQV_01Cmp2D;
class TStreamReader;
class TStreamWriter;

// The curve tolerance: chord tolerance of arc tessellation, base of the arc-fit tolerance and
// flatness limit of fitted arcs. The main window sets it from the configuration's chain
// tolerance at start.
extern double ArcTolerance;

// Sets ArcTolerance for its own lifetime and restores the value it found, so that a tool that
// imposes its own tolerance does not leave it behind for the offsets and conversions after it.
class TArcToleranceScope {
public:
    explicit TArcToleranceScope(double Tolerance) : Saved(ArcTolerance) { ArcTolerance = Tolerance; }
    ~TArcToleranceScope() { ArcTolerance = Saved; }
    TArcToleranceScope(const TArcToleranceScope&) = delete;
    TArcToleranceScope& operator=(const TArcToleranceScope&) = delete;

private:
    double Saved;
};

// The preview style of curves written out as entities (colours 0x00BBGGRR).
constexpr int32_t PreviewArcColor = 0x0000FF;   // red
constexpr int32_t PreviewLineColor = 0x00FFFF;  // yellow
constexpr uint8_t PreviewLineWidth = 3;

// The result of TACurva::NearestPoint.
struct TCurveHit {
    double Distance = NoHitDistance;
    TVector2D Point;
    int32_t Index = -1;  // the vertex that ends the nearest segment
};

// An arc as three points. Counter-clockwise from StartPt to EndPt unless CCW is false.
class TAArco {
public:
    TAArco() = default;
    static TAArco CreateFromPoints(const TVector2D& StartPt, const TVector2D& EndPt, const TVector2D& Centre,
                                   bool CCW, int32_t Tag);
    static TAArco CreateFrom3D(const TVector3D& StartPt, const TVector3D& EndPt, const TVector3D& Centre,
                               bool CCW, int32_t Tag);

    // Distance from StartPt to Centre.
    double Radius() const;
    // The swept angle in the arc's direction, 0 to 2 pi (0 when both ends lie at one angle).
    double Sweep() const;
    // StartAngle and EndAngle about the centre, one of them raised by 2 pi so that the sweep from
    // start to end follows the direction.
    void ComputeAngles();
    // The point at fraction T of the sweep from StartPt.
    TVector2D PointAt(double T) const;
    // Chooses the direction whose arc from StartPt to EndPt passes through P.
    void SetDirectionThrough(const TVector2D& P);
    // A fitted arc that is nearly straight (sagitta within ArcTolerance) or larger than
    // MaxRadius is written as a line.
    bool IsFlat() const;

    double MaxRadius = 1000;
    TVector2D StartPt, EndPt, Centre;
    bool CCW = true;
    int32_t Tag = 0;
    double StartAngle = 0, EndAngle = 0;
};

// The circle through three points; radius 0 about the origin when there is none (the points are
// collinear or the computation overflows).
class TACerchio {
public:
    TACerchio(const TVector2D& P1, const TVector2D& P2, const TVector2D& P3);
    bool IsNear(const TVector2D& P, double Tol) const;
    // Both ends and the midpoint of segment AB lie within Tol of the circle.
    bool IsSegmentNear(const TVector2D& A, const TVector2D& B, double Tol) const;

    TVector2D Centre;
    double Radius = 0;
};

// An infinite line.
class TALinea {
public:
    TALinea(const TVector2D& Origin, const TVector2D& Direction) : Origin(Origin), Direction(Direction) {}
    // Distance from P to the line; to Origin when the direction is zero.
    double DistanceTo(const TVector2D& P) const;

    TVector2D Origin, Direction;
};

class TABox {
public:
    // The first point sets both corners; later ones widen the box.
    void AddPoint(const TVector2D& P);

    bool Valid = false;
    double MinX = 0, MinY = 0, MaxX = 0, MaxY = 0;
};

// Routines for one segment of a curve: the element from Start to vertex V.
namespace TSpan {
// Signed sweep of an arc vertex (positive counter-clockwise); 0 for a line.
double SpanAngle(const TVector2D& Start, const TAVertice& V);
// The angle from u to w (unit vectors) turning in direction Dir (1 or -1), signed by Dir.
double AngleBetween(const TVector2D& u, const TVector2D& w, int32_t Dir);
// The segment's share of the curve's signed area (positive for clockwise paths).
double SpanArea(const TVector2D& Start, const TAVertice& V);
// Adds both ends and, for an arc, the points where it crosses the axes through its centre.
void AddToBox(const TVector2D& Start, const TAVertice& V, TABox& Box);
}  // namespace TSpan

// 0 when x > 0 and y > 0, 1 when x <= 0 and y > 0, 3 when x > 0 and y <= 0, else 2.
int32_t AxisQuadrant(const TVector2D& V);
// The unit vector of the axis crossed when leaving quadrant Q counter-clockwise (Q taken mod 4
// for 4 to 7).
TVector2D QuadrantAxis(int32_t Q);

class TACurva {
public:
    TACurva() = default;
    virtual ~TACurva() = default;
    TACurva(const TACurva&) = delete;
    TACurva& operator=(const TACurva&) = delete;

    int32_t Count() const { return static_cast<int32_t>(Vertices.size()); }
    // Appends V and returns its index.
    int32_t AddVertex(const TAVertice& V);
    // Empties the curve and opens it.
    void Clear();
    // Copies of Source's vertices, its ID, Closed and SavedReversed; Reversed stays.
    void Assign(const TACurva& Source);

    // Runs the curve the other way about the same points and centres; toggles Reversed.
    void Reverse();
    // Positive for a clockwise path.
    double SignedArea() const;
    // Closed and clockwise.
    bool IsClockwise() const;
    // Closed curves only: the point of vertex N becomes the start and end. Nothing happens when N
    // is not an inner vertex index or the curve is open.
    void SetStartIndex(int32_t N);
    // The nearest point of the path to P; Hit keeps its fields when the curve has no segment,
    // apart from Distance, which is 1e8 then.
    void NearestPoint(const TVector2D& P, TCurveHit& Hit) const;

    // Reads the count, Closed and, from version tag "QV-001" on, the reversed flag and the ID,
    // then appends the vertices. A stream that ends inside or right after the vertices empties
    // the curve and raises ECADFileNotValid.
    virtual void LoadFromStream(TStreamReader& Stream, std::string_view VersionTag);
    // Always the full form; SavedReversed takes Reversed first.
    void SaveToStream(TStreamWriter& Stream);

    // Replaces runs of line vertices that lie close to a circle by arcs (or by lines when the
    // arc is nearly straight or its radius exceeds MaxRadius): every point of a run and the
    // midpoint of every segment within 1.4 x ArcTolerance of the circle, a sweep below 3.15
    // radians, the points within the sweep. The new vertices end on input points. An arc
    // vertex already in the curve ends the run before it and is kept.
    void FitArcs(double MaxRadius);

    // Writes the curve out as drawing entities: a TLine2D for each line vertex and a
    // counter-clockwise TArco2D for each arc vertex, counted in Lines and Arcs. Real entities
    // are added to Drawing on its current layer. A preview makes them in the preview style (red
    // arcs, yellow lines, width 3) on the current layer and hands them to PreviewTarget, or drops
    // them when there is none; the drawing and its layers stay as they are.
    void AddToDrawing(TQV_01Cmp2D& Drawing, bool Preview, TPreviewTarget* PreviewTarget, int32_t& Lines,
                      int32_t& Arcs) const;

    int32_t ID = 0;
    uint16_t SavedReversed = 0;
    bool Closed = false;
    bool Reversed = false;
    std::vector<TAVertice> Vertices;
};

// The 2D toolpath curve of old drawing files: a curve followed by a Double and an Int32, read
// and dropped by the operations reader.
class TCurvaNci : public TACurva {
public:
    void LoadFromStream(TStreamReader& Stream, std::string_view VersionTag) override;

    double LegacyValue = 0;
    int32_t LegacyCode = 0;
};

// A list of curves that owns them; base of the chain list.
class TListaDiCurve {
public:
    virtual ~TListaDiCurve() = default;
    int32_t Count() const { return static_cast<int32_t>(Items.size()); }
    TACurva* Add(std::unique_ptr<TACurva> C);

    std::vector<std::unique_ptr<TACurva>> Items;
};

// The curves of one fitting run. The tolerance given at creation is the curve tolerance while
// the area exists; the previous one comes back when it is freed.
class TArea {
public:
    explicit TArea(double Tolerance) : ToleranceScope(Tolerance) {}
    void AddCurve(std::unique_ptr<TACurva> C) { Curves.push_back(std::move(C)); }

    std::vector<std::unique_ptr<TACurva>> Curves;

private:
    TArcToleranceScope ToleranceScope;
};

class TGestioneID {
public:
    // The first ID is 1.
    int32_t NextID() { return ++Counter; }

    int32_t Counter = 0;
};

// Gives each chain built from entities a fresh ID.
extern TGestioneID ChainIDs;
