// The entity layer of the DXF import: which drawing object each DXF entity becomes and how its
// groups map onto it. Everything is seen from above: 2D entities are placed through the plane
// of their extrusion direction, 3D ones by their X and Y.
#include "QVDXFImport.h"

#include "CADExceptions.h"
#include "DXFGeometry.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVSplines.h"
#include "QVVariabili.h"
#include "QVVectText.h"
#include "UnitConfig.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <unordered_set>

namespace {

using TKind = TDXFValue::TKind;

double Radians(double Degrees) { return Degrees * std::numbers::pi / 180.0; }

// A value as a real: 0 when the group was not given; a text that is not a number raises.
double AsReal(const TDXFValue& V)
{
    switch (V.Kind) {
    case TKind::Real: return V.Real;
    case TKind::Integer: return V.Integer;
    case TKind::Text: {
        double d = 0;
        if (!ParseDXFReal(V.Text, d))
            throw ECADFileNotValid("\"" + V.Text + "\" is not a valid floating point value");
        return d;
    }
    case TKind::Empty: break;
    }
    return 0;
}

int32_t AsInteger(const TDXFValue& V)
{
    switch (V.Kind) {
    case TKind::Integer: return V.Integer;
    case TKind::Real: {
        const double r = std::nearbyint(V.Real);
        return r >= INT32_MIN && r <= INT32_MAX ? static_cast<int32_t>(r) : 0;
    }
    case TKind::Text: {
        int32_t i = 0;
        if (!ParseDXFInteger(V.Text, i))
            throw ECADFileNotValid("\"" + V.Text + "\" is not a valid integer value");
        return i;
    }
    case TKind::Empty: break;
    }
    return 0;
}

double Real(const TDXFRecord& R, int Code) { return AsReal(R.Group(Code)); }
bool Has(const TDXFRecord& R, int Code) { return R.Group(Code).IsPresent(); }
TPoint2D Point(const TDXFRecord& R, int CodeX) { return MakePoint2D(Real(R, CodeX), Real(R, CodeX + 10)); }
TVector3D Vector(const TDXFRecord& R, int CodeX) { return {Real(R, CodeX), Real(R, CodeX + 10), Real(R, CodeX + 20)}; }

constexpr double TwoPi = 2 * std::numbers::pi;
// Segments of a circle, arc or ellipse drawn as a polyline, as many as a bulge arc gets.
constexpr int ConicSegments = 50;
// Points per span of a curve through fit points.
constexpr int FitSteps = 8;

// The plane of a 2D entity by its extrusion direction; the world plane when it gives none.
TDXFPlane PlaneOf(const TDXFRecord& R)
{
    if (!Has(R, 210) && !Has(R, 220) && !Has(R, 230))
        return {};
    return TDXFPlane(Vector(R, 210));
}

void PointsToWorld(std::vector<TPoint2D>& Points, const TDXFPlane& Plane, double Elevation)
{
    if (Plane.IsWorld())
        return;
    for (TPoint2D& p : Points)
        p = Plane.ToWorld(p, Elevation);
}

// The world vectors of the entity's X and Y axes scaled by R: a circle of radius R in a tilted
// plane is seen as the ellipse of these two.
void PlaneAxes(const TDXFPlane& Plane, double R, TVector2D& U, TVector2D& V)
{
    const TPoint2D x = Plane.ToWorld(R, 0), y = Plane.ToWorld(0, R);
    U = {x.X, x.Y};
    V = {y.X, y.Y};
}

bool IsZeroBulge(double B) { return IsEqual(B, 0); }

// A polyline of the points; one too long for a single object becomes a container of pieces that
// share their end points, which the entities section adds to the drawing one by one.
std::unique_ptr<TObject2D> MakePolyline(const std::vector<TPoint2D>& Points, int32_t ID)
{
    constexpr size_t Max = TPointsSetBase::MaxPoints;
    if (Points.size() <= Max)
        return std::make_unique<TPolyline2D>(ID, Points);
    auto container = std::make_unique<TContainer2D>(-1);
    for (size_t from = 0; from + 1 < Points.size(); from += Max - 1) {
        const size_t to = std::min(Points.size(), from + Max);
        container->Objects.Add(std::make_unique<TPolyline2D>(
            -1, std::span<const TPoint2D>(Points.data() + from, to - from)));
    }
    container->UpdateBox();
    return container;
}

void AppendBulge(std::vector<TPoint2D>& Points, const TPoint2D& From, const TPoint2D& To, double Bulge,
                 std::vector<TVector2D>& Scratch)
{
    Scratch.clear();
    BulgeArcToPoints(TBulgeSegment{From.X, From.Y, To.X, To.Y, Bulge}, Scratch);
    for (const TVector2D& v : Scratch)
        Points.push_back(MakePoint2D(v.X, v.Y));
}

struct TLWVertex {
    double X = 0, Y = 0, Bulge = 0;
};

} // namespace

bool TDXF2DImport::RefuseOutOfRange()
{
    if (Reader->OutOfRangeReals == EntityStartReals)
        return false;
    ++OutOfRangeEntities;
    return true;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadEntity(bool NoInserts, bool InsertsAsTInsert)
{
    // An entity with a value out of range is left out whole, before it is counted: a circle of
    // radius 1e200 has no outline, only NaN, and "nan" read as 0 would draw where nothing is.
    EntityStartReals = Reader->OutOfRangeReals;
    const TDXFValue& type = Reader->Value;
    if (Reader->Code == 0 && type.IsText("LWPOLYLINE"))
        return ReadLWPolyline(AppConfig && AppConfig->DxfPolyInLA);
    if (Reader->Code == 0 && type.IsText("SPLINE"))
        return ReadSpline();
    Record.Clear();
    Reader->ReadRecord(0, Record);
    LayerLookup(Record.Group(8));
    const TDXFValue& name = Record.Group(0);
    if (name.Kind != TKind::Text)
        return nullptr;
    const std::string& n = name.Text;
    // A polyline's vertices follow its record: it is judged once they are read.
    static const std::unordered_set<std::string_view> RecordKinds = {
        "POINT", "LINE", "ARC", "TRACE", "SOLID", "CIRCLE", "ELLIPSE", "TEXT", "INSERT"};
    if (Reader->OutOfRangeReals != EntityStartReals && RecordKinds.count(n) && RefuseOutOfRange())
        return nullptr;
    if (n == "POINT")
        return ReadPoint(Record);
    if (n == "LINE")
        return ReadLine(Record);
    if (n == "ARC")
        return ReadArc(Record);
    if (n == "TRACE")
        return ReadTrace(Record);
    if (n == "SOLID")
        return ReadSolid(Record);
    if (n == "CIRCLE")
        return ReadCircle(Record);
    if (n == "ELLIPSE")
        return ReadEllipse(Record);
    if (n == "POLYLINE")
        return ReadPolyline(Record);
    if (n == "TEXT")
        return ReadText(Record);
    if (n == "INSERT") {
        if (NoInserts)
            return nullptr;
        return InsertsAsTInsert ? ReadNestedInsert(Record) : ReadInsert(Record);
    }
    // SEQEND only closes the attributes of a reference; everything else is a kind we leave out.
    if (n != "SEQEND")
        CountSkipped(n);
    return nullptr;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadPoint(const TDXFRecord& R)
{
    auto obj = std::make_unique<TPunto2D>(0, Point(R, 10));
    ++PointsCount;
    return obj;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadLine(const TDXFRecord& R)
{
    auto obj = std::make_unique<TLine2D>(0, Point(R, 10), Point(R, 11));
    ++LinesCount;
    return obj;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadCircle(const TDXFRecord& R)
{
    const TDXFPlane plane = PlaneOf(R);
    const double r = Real(R, 40);
    ++CirclesCount;
    if (!plane.IsFlat()) {
        TVector2D u, v;
        PlaneAxes(plane, r, u, v);
        return MakePolyline(ConicPoints(plane.ToWorld(Point(R, 10), Real(R, 30)), u, v, 0, TwoPi, ConicSegments), 0);
    }
    const TPoint2D c = plane.ToWorld(Point(R, 10));
    return std::make_unique<TCerchio2D>(0, c, MakePoint2D(c.X + r, c.Y));
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadArc(const TDXFRecord& R)
{
    const TDXFPlane plane = PlaneOf(R);
    double s = Radians(Real(R, 50));
    double e = Radians(Real(R, 51));
    ++ArcsCount;
    if (!plane.IsFlat()) {
        // Seen at a slant the arc is part of an ellipse.
        if (e <= s)
            e += TwoPi * std::ceil((s - e) / TwoPi + (s == e ? 1 : 0));
        TVector2D u, v;
        PlaneAxes(plane, Real(R, 40), u, v);
        std::vector<TPoint2D> points =
            ConicPoints(plane.ToWorld(Point(R, 10), Real(R, 30)), u, v, s, e, ConicSegments);
        if (!CounterClockwise)
            std::reverse(points.begin(), points.end());
        return MakePolyline(points, 0);
    }
    if (!CounterClockwise)
        std::swap(s, e);
    double x = Real(R, 10);
    // Seen from above, an arc in a mirrored plane (extrusion -Z) runs the other way.
    if (plane.IsMirrored()) {
        x = -x;
        s = std::numbers::pi - Radians(Real(R, 51));
        e = std::numbers::pi - Radians(Real(R, 50));
        if (!CounterClockwise)
            std::swap(s, e);
    }
    const TPoint2D c = MakePoint2D(x, Real(R, 20));
    auto obj = std::make_unique<TArco2D>(0, c, MakePoint2D(x + Real(R, 40), c.Y), s, e);
    obj->SetDirection(CounterClockwise ? 1 : 0);
    return obj;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadEllipse(const TDXFRecord& R)
{
    // Centre and axis are world points; the extrusion direction only says which way the
    // parameter turns, and so on which side of the major axis the minor one lies.
    const TDXFPlane plane = Has(R, 210) || Has(R, 220) || Has(R, 230) ? TDXFPlane(Vector(R, 210)) : TDXFPlane();
    const TPoint2D c = Point(R, 10);
    const double ratio = Real(R, 40);
    double s = Real(R, 41), e = Real(R, 42);
    TVector3D major = Vector(R, 11);
    double b = 0;
    if (LegacyEllipses) {
        // The axis end is an absolute point, group 40 the minor semi-axis.
        major = {major.X - c.X, major.Y - c.Y, major.Z - Real(R, 30)};
        b = ratio;
    } else {
        b = std::sqrt(major.X * major.X + major.Y * major.Y + major.Z * major.Z) * ratio;
    }
    ++EllipsesCount;
    if (!plane.IsFlat()) {
        const TVector3D n = plane.Normal();
        TVector3D minor = {n.Y * major.Z - n.Z * major.Y, n.Z * major.X - n.X * major.Z, n.X * major.Y - n.Y * major.X};
        const double l = std::sqrt(minor.X * minor.X + minor.Y * minor.Y + minor.Z * minor.Z);
        minor = l > 0 ? TVector3D{minor.X * b / l, minor.Y * b / l, minor.Z * b / l} : TVector3D{};
        if (e <= s)
            e += TwoPi * std::ceil((s - e) / TwoPi + (s == e ? 1 : 0));
        return MakePolyline(ConicPoints(c, {major.X, major.Y}, {minor.X, minor.Y}, s, e, ConicSegments), 0);
    }
    if (plane.IsMirrored()) {
        // The parameter turns clockwise seen from above: the arc is mirrored about the major axis.
        const double s0 = s;
        s = TwoPi - e;
        e = TwoPi - s0;
    }
    const double a = std::hypot(major.X, major.Y);
    const double t = std::atan2(major.Y, major.X);
    auto ellipse =
        std::make_unique<TEllipseOpen2D>(0, MakePoint2D(c.X - a, c.Y - b), MakePoint2D(c.X + a, c.Y + b), s, e);
    if (t == 0)
        return ellipse;
    // A turned ellipse has no object of its own: it becomes the polyline of its profile.
    TMatrix4 m = TMatrix4::CreateTranslation(-c.X, -c.Y, 0);
    m.Multiply(m, TMatrix4::CreateRotation(false, t));
    m.Multiply(m, TMatrix4::CreateTranslation(c.X, c.Y, 0));
    ellipse->SetModelTransform(m);
    std::vector<TPoint2D> points;
    {
        const TProfileUse use(*ellipse);
        const TMatrix4 placed = ellipse->GetModelTransform();
        for (const TPoint2D& p : ellipse->GetProfilePoints()->Points())
            points.push_back(placed.TransformPoint2D(p));
    }
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadTrace(const TDXFRecord& R) { return ReadSolid(R); }

std::unique_ptr<TObject2D> TDXF2DImport::ReadSolid(const TDXFRecord& R)
{
    // DXF fills the corners in the order 1, 2, 4, 3; a fourth corner equal to the third (or
    // none) makes a triangle.
    const TPoint2D p3 = Point(R, 12);
    std::vector<TPoint2D> points = {Point(R, 10), Point(R, 11)};
    if (Has(R, 13)) {
        const TPoint2D p4 = Point(R, 13);
        if (p4.X != p3.X || p4.Y != p3.Y)
            points.push_back(p4);
    }
    points.push_back(p3);
    points.push_back(points.front());
    PointsToWorld(points, PlaneOf(R), Real(R, 30));
    ++PolylinesCount;
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadText(const TDXFRecord& R)
{
    if (!VectFont)
        return nullptr;
    ++TextsCount;
    const double height = Real(R, 40);
    const std::string& content = R.Group(1).Text;
    const TPoint2D p1 = Point(R, 10);
    const int32_t h = Has(R, 72) ? AsInteger(R.Group(72)) : 0;
    const int32_t v = Has(R, 73) ? AsInteger(R.Group(73)) : 0;
    std::unique_ptr<TJustifiedVectText2D> text;
    // Where the text turns by group 50, and how.
    TPoint2D pivot = p1;
    double angle = Has(R, 50) ? Radians(Real(R, 50)) : 0;
    TMatrix4 stretch;
    if ((h == 0 && v == 0) || !Has(R, 11) || !Has(R, 21)) {
        // Left on the baseline at 10/20, or aligned without the point to align on: justified in
        // the box from 10/20 up by its height.
        text = std::make_unique<TJustifiedVectText2D>(0, VectFont, p1, MakePoint2D(p1.X, p1.Y + height), height,
                                                      content);
        // DXF: 1 centre, 2 right; ours: 1 right, 2 centre.
        if (h == 1)
            text->HJustification = 2;
        else if (h == 2)
            text->HJustification = 1;
        if (v == 1 || v == 2)
            text->VJustification = static_cast<uint8_t>(v);
    } else if (h == 3 || h == 5) {
        // Aligned (3) and fit (5): the baseline runs from 10/20 to 11/21; the text is scaled
        // along it to fill it, aligned text in height too.
        const TPoint2D p2 = Point(R, 11);
        text = std::make_unique<TJustifiedVectText2D>(0, VectFont, p1, p1, height, content);
        text->VJustification = 2;  // the first line's baseline on the box's middle
        const double length = std::hypot(p2.X - p1.X, p2.Y - p1.Y);
        const TRect2D box = text->GetTextBox();
        const double width = box.Second.X - box.First.X;
        if (length > 0 && width > 0) {
            const double sx = length / width;
            stretch = TMatrix4::CreateTranslation(-p1.X, -p1.Y, 0);
            stretch.Multiply(stretch, TMatrix4::CreateScale(sx, h == 3 ? sx : 1, 1));
            stretch.Multiply(stretch, TMatrix4::CreateTranslation(p1.X, p1.Y, 0));
            angle = std::atan2(p2.Y - p1.Y, p2.X - p1.X);
        }
    } else {
        // Placed by its alignment point 11/21; 10/20 is only the start that point gave.
        const TPoint2D a = Point(R, 11);
        pivot = a;
        double y = a.Y;
        uint8_t vj = 2;  // the first line's baseline on the box's middle
        if (h == 4 || v == 2) {
            y -= height / 2;  // middle: half the height above the baseline
        } else if (v == 1) {
            vj = 1;
        } else if (v == 3) {
            vj = 0;
        }
        const TPoint2D corner = MakePoint2D(a.X, y);
        text = std::make_unique<TJustifiedVectText2D>(0, VectFont, corner, corner, height, content);
        text->HJustification = h == 1 || h == 4 ? 2 : h == 2 ? 1 : 0;
        text->VJustification = vj;
    }
    TMatrix4 m = stretch;
    if (angle != 0) {
        m.Multiply(m, TMatrix4::CreateTranslation(-pivot.X, -pivot.Y, 0));
        m.Multiply(m, TMatrix4::CreateRotation(false, angle));
        m.Multiply(m, TMatrix4::CreateTranslation(pivot.X, pivot.Y, 0));
    }
    const TDXFPlane plane = PlaneOf(R);
    if (!plane.IsWorld())
        m.Multiply(m, plane.Matrix(Real(R, 30)));
    if (!m.IsEqual(IdentityMatrix)) {
        text->TransformBy(m);
        text->ApplyTransform();
    }
    text->UpdateBox();
    return text;
}

namespace {

struct TPolyVertex {
    TPoint2D P;
    double Bulge = 0;
    int32_t Flags = 0;
    std::array<int32_t, 4> Face{};  // groups 71-74 of a face record
};

// Polyline flags: 3D polyline, polygon mesh, polyface mesh.
constexpr int32_t Poly3D = 8, PolyMesh = 16, PolyFace = 64;
// Vertex flags: made by spline fitting, mesh vertex, polyface vertex or face record.
constexpr int32_t VertexSplineFit = 8, VertexMesh = 64, VertexPolyface = 128;

// One object of the parts: the part itself when there is one, else a container of them.
std::unique_ptr<TObject2D> OneObject(std::vector<std::unique_ptr<TObject2D>>& Parts)
{
    if (Parts.empty())
        return nullptr;
    if (Parts.size() == 1)
        return std::move(Parts.front());
    auto container = std::make_unique<TContainer2D>(-1);
    for (auto& part : Parts)
        container->Objects.Add(std::move(part));
    container->UpdateBox();
    return container;
}

// A polyface mesh seen from above: each visible edge of its faces once, as a line. Face records
// number the mesh vertices from 1; a negative number hides the edge that starts there.
std::unique_ptr<TObject2D> PolyfaceEdges(const std::vector<TPolyVertex>& Vertices)
{
    std::vector<TPoint2D> points;
    for (const TPolyVertex& v : Vertices)
        if ((v.Flags & (VertexMesh | VertexPolyface)) == (VertexMesh | VertexPolyface))
            points.push_back(v.P);
    const auto count = static_cast<int64_t>(points.size());
    std::unordered_set<uint64_t> drawn;
    std::vector<std::unique_ptr<TObject2D>> parts;
    for (const TPolyVertex& v : Vertices) {
        if ((v.Flags & (VertexMesh | VertexPolyface)) != VertexPolyface)
            continue;
        size_t corners = 0;
        while (corners < v.Face.size() && v.Face[corners] != 0)
            ++corners;
        for (size_t i = 0; i < corners; ++i) {
            const int64_t from = v.Face[i], to = std::abs(static_cast<int64_t>(v.Face[(i + 1) % corners]));
            if (from <= 0 || from > count || to < 1 || to > count || from == to)
                continue;
            const auto lo = static_cast<uint64_t>(std::min(from, to)), hi = static_cast<uint64_t>(std::max(from, to));
            if (drawn.insert(lo << 32 | hi).second)
                parts.push_back(std::make_unique<TLine2D>(-1, points[static_cast<size_t>(from - 1)],
                                                          points[static_cast<size_t>(to - 1)]));
        }
    }
    return OneObject(parts);
}

// A polygon mesh of M x N vertices, listed row by row, seen from above: a polyline along each
// row and each column, closed where the mesh is. Counts that do not fit the vertices give one
// polyline through them all.
std::unique_ptr<TObject2D> PolygonMeshLines(const std::vector<TPolyVertex>& Vertices, const TDXFRecord& R,
                                            int32_t Flags)
{
    const int64_t m = AsInteger(R.Group(71)), n = AsInteger(R.Group(72));
    std::vector<std::unique_ptr<TObject2D>> parts;
    const auto line = [&](int64_t First, int64_t Step, int64_t Count, bool Closed) {
        if (Count < 2)
            return;
        std::vector<TPoint2D> points;
        for (int64_t k = 0; k < Count; ++k)
            points.push_back(Vertices[static_cast<size_t>(First + k * Step)].P);
        if (Closed && Count > 2)
            points.push_back(points.front());
        parts.push_back(MakePolyline(points, -1));
    };
    if (m >= 1 && n >= 1 && m * n == static_cast<int64_t>(Vertices.size())) {
        for (int64_t i = 0; i < m; ++i)
            line(i * n, 1, n, (Flags & 32) != 0);
        for (int64_t j = 0; j < n; ++j)
            line(j, n, m, (Flags & 1) != 0);
    } else {
        line(0, 1, static_cast<int64_t>(Vertices.size()), false);
    }
    return OneObject(parts);
}

// The uniform B-spline a spline-fitted polyline stands for when its file gives only the frame
// (the control points) and not the vertices fitted to it: clamped to the first and the last
// point, or, closed, running round through all of them.
std::unique_ptr<TObject2D> FrameSpline(const std::vector<TPoint2D>& Frame, int32_t Degree, bool Closed)
{
    const auto n = static_cast<int32_t>(Frame.size());
    if (n < 2)
        return MakePolyline(Frame, 0);
    const int32_t degree = std::min(Degree, n - 1);
    std::vector<TPoint2D> control = Frame;
    std::vector<double> knots;
    if (Closed) {
        for (int32_t i = 0; i < degree; ++i)
            control.push_back(Frame[static_cast<size_t>(i)]);
        for (int32_t k = 0; k <= n + 2 * degree; ++k)
            knots.push_back(k);
    } else {
        for (int32_t k = 0; k <= n + degree; ++k)
            knots.push_back(std::clamp(k - degree, 0, n - degree));
    }
    if (static_cast<int64_t>(control.size()) > TPointsSetBase::MaxPoints)
        return MakePolyline(Frame, 0);
    auto spline = std::make_unique<TQVBSpline2D>(-1, control);
    spline->Closed = spline->Periodic = Closed ? 1 : 0;
    spline->Degree = degree;
    spline->KnotsCount = static_cast<int32_t>(knots.size());
    spline->ControlPointsCount = static_cast<int32_t>(control.size());
    for (const TPoint2D& c : control)
        spline->AddControlPoint() = {c.X, c.Y, 0};
    for (double k : knots)
        spline->AddKnot(k);
    spline->FillWeights();
    spline->UpdateBox();
    return spline;
}

} // namespace

std::unique_ptr<TObject2D> TDXF2DImport::ReadPolyline(const TDXFRecord& R)
{
    const int32_t flags = Has(R, 70) ? AsInteger(R.Group(70)) : 0;
    std::vector<TPolyVertex> vertices;
    for (;;) {
        Vertex.Clear();
        Reader->ReadRecord(0, Vertex);
        if (!Vertex.Group(0).IsText("VERTEX"))
            break;
        TPolyVertex v;
        v.P = Point(Vertex, 10);
        v.Bulge = Real(Vertex, 42);
        v.Flags = AsInteger(Vertex.Group(70));
        for (size_t i = 0; i < v.Face.size(); ++i)
            v.Face[i] = AsInteger(Vertex.Group(71 + static_cast<int>(i)));
        vertices.push_back(v);
    }
    if (!Vertex.Group(0).IsText("SEQEND")) {
        Failed = true;
        throw ECADFileNotValid("Invalid DXF file.");
    }
    if (RefuseOutOfRange())
        return nullptr;
    if ((flags & (PolyFace | PolyMesh)) != 0) {
        // Meshes are 3D: their vertices are world points, and face records are no points at all.
        std::unique_ptr<TObject2D> mesh =
            (flags & PolyFace) != 0 ? PolyfaceEdges(vertices) : PolygonMeshLines(vertices, R, flags);
        if (mesh)
            ++PolylinesCount;
        return mesh;
    }
    const bool closed = (flags & 1) != 0;
    // Spline-fitted polylines are drawn through their fit vertices; curve-fitted ones keep all
    // their vertices, as plain polylines do.
    const bool splineFit = (flags & 4) != 0;
    std::vector<TPoint2D> points, frame;
    std::vector<TVector2D> scratch;
    double pb = 0;
    for (const TPolyVertex& v : vertices) {
        if (splineFit) {
            if ((v.Flags & VertexSplineFit) != 0)
                points.push_back(v.P);
            else
                frame.push_back(v.P);
            continue;
        }
        if (IsZeroBulge(pb) || points.empty())
            points.push_back(v.P);
        else
            AppendBulge(points, points.back(), v.P, pb, scratch);
        pb = v.Bulge;
    }
    // A 2D polyline lies in the plane of its extrusion direction, at the elevation of its 30.
    const auto toWorld = [&](std::vector<TPoint2D>& Points) {
        if ((flags & Poly3D) == 0)
            PointsToWorld(Points, PlaneOf(R), Real(R, 30));
    };
    if (splineFit && points.empty() && !frame.empty()) {
        // Group 75 names the kind: 5 quadratic, 6 cubic (also when not given).
        const int32_t kind = Has(R, 75) ? AsInteger(R.Group(75)) : 6;
        toWorld(frame);
        ++PolylinesCount;
        return FrameSpline(frame, kind == 5 ? 2 : 3, closed);
    }
    if (points.empty())
        return nullptr;
    if (closed && !splineFit) {
        const TPoint2D first = points.front();
        if (IsZeroBulge(pb))
            points.push_back(first);
        else
            AppendBulge(points, points.back(), first, pb, scratch);
    }
    toWorld(points);
    ++PolylinesCount;
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadLWPolyline(bool AsLinesArcs)
{
    // Every value is taken by its group code, whatever else the entity holds between them
    // (widths, vertex identifiers): 10 starts a vertex, 20 and 42 belong to the last one. The
    // vertex count of group 90 is not trusted; the vertices listed are.
    bool closed = false;
    double elevation = 0;
    TVector3D normal;
    bool hasNormal = false;
    std::vector<TLWVertex> vertices;
    while (Reader->ReadGroupInRecord()) {
        switch (Reader->Code) {
        case 8: LayerLookup(Reader->Value); break;
        case 70: closed = (AsInteger(Reader->Value) & 1) != 0; break;
        case 38: elevation = AsReal(Reader->Value); break;
        case 10: vertices.push_back({AsReal(Reader->Value), 0, 0}); break;
        case 20:
            if (!vertices.empty())
                vertices.back().Y = AsReal(Reader->Value);
            break;
        case 42:
            if (!vertices.empty())
                vertices.back().Bulge = AsReal(Reader->Value);
            break;
        case 210: normal.X = AsReal(Reader->Value), hasNormal = true; break;
        case 220: normal.Y = AsReal(Reader->Value), hasNormal = true; break;
        case 230: normal.Z = AsReal(Reader->Value), hasNormal = true; break;
        default: break;
        }
    }
    if (vertices.empty() || RefuseOutOfRange())
        return nullptr;
    ++PolylinesCount;
    const TDXFPlane plane = hasNormal ? TDXFPlane(normal) : TDXFPlane();
    if (plane.IsMirrored()) {
        // Seen from above the vertices are mirrored, and each bulge turns the other way.
        for (TLWVertex& v : vertices) {
            v.X = -v.X;
            v.Bulge = -v.Bulge;
        }
    }
    const size_t segments = closed ? vertices.size() : vertices.size() - 1;
    const auto pointOf = [&](size_t i) { return MakePoint2D(vertices[i].X, vertices[i].Y); };
    // In a tilted plane the bulges are elliptic: the polyline of their points is all there is.
    if (!AsLinesArcs || !plane.IsFlat()) {
        std::vector<TPoint2D> points{pointOf(0)};
        std::vector<TVector2D> scratch;
        for (size_t i = 0; i < segments; ++i) {
            const TPoint2D to = pointOf((i + 1) % vertices.size());
            if (IsZeroBulge(vertices[i].Bulge))
                points.push_back(to);
            else
                AppendBulge(points, pointOf(i), to, vertices[i].Bulge, scratch);
        }
        if (!plane.IsFlat())
            PointsToWorld(points, plane, elevation);
        return MakePolyline(points, 0);
    }
    auto container = std::make_unique<TContainer2D>(-1);
    for (size_t i = 0; i < segments; ++i) {
        const TPoint2D from = pointOf(i);
        const TPoint2D to = pointOf((i + 1) % vertices.size());
        TVector2D centre;
        double radius = 0, start = 0, end = 0;
        int direction = 0;
        if (BulgeToArc(TBulgeSegment{from.X, from.Y, to.X, to.Y, vertices[i].Bulge}, centre, radius, start, end,
                       direction))
            container->Objects.Add(std::make_unique<TArco2D>(-1, MakePoint2D(centre.X, centre.Y),
                                                             MakePoint2D(centre.X + radius, centre.Y), start, end));
        else
            container->Objects.Add(std::make_unique<TLine2D>(-1, from, to));
    }
    container->UpdateBox();
    return container;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadSpline()
{
    // Counts announced by the entity are checked against what it lists, never used to index or
    // to allocate.
    TVector3D normal, startTangent, endTangent;
    std::vector<TVector3D> control;
    std::vector<TPoint2D> fit;
    std::vector<double> knots, weights;
    int32_t flags = 0, degree = 3;
    int32_t announcedKnots = -1, announcedControl = -1;
    while (Reader->ReadGroupInRecord()) {
        const TDXFValue& v = Reader->Value;
        switch (Reader->Code) {
        case 8: LayerLookup(v); break;
        case 10: control.push_back({AsReal(v), 0, 0}); break;
        case 20:
            if (!control.empty())
                control.back().Y = AsReal(v);
            break;
        case 30:
            if (!control.empty())
                control.back().Z = AsReal(v);
            break;
        case 11: fit.push_back(MakePoint2D(AsReal(v), 0)); break;
        case 21:
            if (!fit.empty())
                fit.back().Y = AsReal(v);
            break;
        case 12: startTangent.X = AsReal(v); break;
        case 22: startTangent.Y = AsReal(v); break;
        case 32: startTangent.Z = AsReal(v); break;
        case 13: endTangent.X = AsReal(v); break;
        case 23: endTangent.Y = AsReal(v); break;
        case 33: endTangent.Z = AsReal(v); break;
        case 40: knots.push_back(AsReal(v)); break;
        case 41: weights.push_back(AsReal(v)); break;
        case 70: flags = AsInteger(v); break;
        case 71: degree = AsInteger(v); break;
        case 72: announcedKnots = AsInteger(v); break;
        case 73: announcedControl = AsInteger(v); break;
        case 210: normal.X = AsReal(v); break;
        case 220: normal.Y = AsReal(v); break;
        case 230: normal.Z = AsReal(v); break;
        default: break;
        }
    }
    if (RefuseOutOfRange())
        return nullptr;
    if (control.empty() && fit.size() >= 2) {
        // Given only by the points it passes through: the curve through them, as a polyline.
        ++SplinesCount;
        return MakePolyline(FitPointCurve(fit, {startTangent.X, startTangent.Y}, {endTangent.X, endTangent.Y},
                                          (flags & 1) != 0, FitSteps),
                            0);
    }
    // A spline whose lists disagree with its counts is refused.
    const auto n = static_cast<int64_t>(control.size());
    if (n == 0 || n > TPointsSetBase::MaxPoints || (announcedControl >= 0 && announcedControl != n) ||
        (announcedKnots >= 0 && announcedKnots != static_cast<int64_t>(knots.size())) ||
        (!weights.empty() && static_cast<int64_t>(weights.size()) != n))
        return nullptr;
    std::vector<TPoint2D> points;
    points.reserve(control.size());
    for (const TVector3D& c : control)
        points.push_back(MakePoint2D(c.X, c.Y));
    auto spline = std::make_unique<TQVBSpline2D>(-1, points);
    spline->Closed = (flags & 1) != 0;
    spline->Periodic = (flags & 2) != 0;
    spline->Rational = (flags & 4) != 0;
    spline->Planar = (flags & 8) != 0;
    spline->Linear = (flags & 16) != 0;
    spline->Degree = degree;
    spline->KnotsCount = static_cast<int32_t>(knots.size());
    spline->ControlPointsCount = static_cast<int32_t>(n);
    spline->Normal = normal;
    spline->StartTangent = startTangent;
    spline->EndTangent = endTangent;
    for (const TVector3D& c : control)
        spline->AddControlPoint() = c;
    for (double k : knots)
        spline->AddKnot(k);
    for (double w : weights)
        spline->AddWeight(w);
    spline->FillWeights();
    spline->UpdateBox();
    ++SplinesCount;
    return spline;
}

namespace {

// Rotation (group 50, degrees), then the scales of groups 41 and 42, then the move to (10, 20),
// then into the world from the plane of the extrusion direction.
TMatrix4 InsertTransform(const TDXFRecord& R)
{
    TMatrix4 s;
    if (Has(R, 41))
        s.SetElement(0, Real(R, 41));
    if (Has(R, 42))
        s.SetElement(5, Real(R, 42));
    TMatrix4 m;
    m.Multiply(s, Has(R, 50) ? TMatrix4::CreateRotation(false, Radians(Real(R, 50))) : TMatrix4());
    m.Multiply(m, TMatrix4::CreateTranslation(Real(R, 10), Real(R, 20), 0));
    // The insertion point and the rotation are in the plane of the extrusion direction.
    const TDXFPlane plane = PlaneOf(R);
    if (!plane.IsWorld())
        m.Multiply(m, plane.Matrix(Real(R, 30)));
    return m;
}

} // namespace

std::unique_ptr<TObject2D> TDXF2DImport::ReadInsert(const TDXFRecord& R)
{
    TSourceBlock2D* source = FindBlock(R.Group(2).Text);
    if (!source) {
        ++MissingBlockReferences;
        return nullptr;
    }
    if (1 + source->Depth > MaxNestingDepth) {
        ++DeepReferences;
        return nullptr;
    }
    auto block = std::make_unique<TBlock2D>(0, source);
    block->SetModelTransform(InsertTransform(R));
    block->ApplyTransform();
    block->UpdateBox();
    // Scales within range may still multiply, through nested blocks, beyond any number.
    const TRect2D& box = block->Box;
    if (!(std::isfinite(box.First.X) && std::isfinite(box.First.Y) && std::isfinite(box.Second.X) &&
          std::isfinite(box.Second.Y))) {
        ++OutOfRangeEntities;
        return nullptr;
    }
    if (!Budget->Take(Weights->Of(*block))) {
        ++NestingDroppedReferences;
        return nullptr;
    }
    ++BlocksCount;
    return block;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadNestedInsert(const TDXFRecord& R)
{
    const std::string& name = R.Group(2).Text;
    auto insert = std::make_unique<TInsert>(-1, StrToBlockName(name));
    insert->SetModelTransform(InsertTransform(R));
    insert->ApplyTransform();
    LastNestedInsert = insert.get();
    LastNestedInsertName = name;
    return insert;
}
