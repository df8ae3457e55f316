// The entity layer of the DXF import: which drawing object each DXF entity becomes and how its
// groups map onto it. Coordinates are taken in the XY plane.
#include "QVDXFImport.h"

#include "CADExceptions.h"
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

#include <cmath>
#include <numbers>

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

std::unique_ptr<TObject2D> TDXF2DImport::ReadEntity(bool NoInserts, bool InsertsAsTInsert)
{
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
    if (n == "INSERT" && !NoInserts)
        return InsertsAsTInsert ? ReadNestedInsert(Record) : ReadInsert(Record);
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
    const TPoint2D c = Point(R, 10);
    auto obj = std::make_unique<TCerchio2D>(0, c, MakePoint2D(c.X + Real(R, 40), c.Y));
    ++CirclesCount;
    return obj;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadArc(const TDXFRecord& R)
{
    double s = Radians(Real(R, 50));
    double e = Radians(Real(R, 51));
    if (!CounterClockwise)
        std::swap(s, e);
    double x = Real(R, 10);
    // An arc in a mirrored plane (extrusion Z -1).
    if (Real(R, 230) == -1) {
        x = -x;
        s = std::numbers::pi - Radians(Real(R, 51));
        e = std::numbers::pi - Radians(Real(R, 50));
        if (!CounterClockwise)
            std::swap(s, e);
    }
    const TPoint2D c = MakePoint2D(x, Real(R, 20));
    auto obj = std::make_unique<TArco2D>(0, c, MakePoint2D(x + Real(R, 40), c.Y), s, e);
    obj->SetDirection(CounterClockwise ? 1 : 0);
    ++ArcsCount;
    return obj;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadEllipse(const TDXFRecord& R)
{
    const TPoint2D c = Point(R, 10);
    const TPoint2D e = Point(R, 11);
    const double ratio = Real(R, 40);
    double a, b, t;
    if (Version > 13) {
        // The axis end is relative to the centre, group 40 the ratio of the axes.
        a = std::hypot(e.X, e.Y);
        b = a * ratio;
        t = std::atan2(e.Y, e.X);
    } else {
        a = std::hypot(e.X - c.X, e.Y - c.Y);
        b = ratio;
        t = std::atan2(e.Y - c.Y, e.X - c.X);
    }
    auto ellipse = std::make_unique<TEllipseOpen2D>(0, MakePoint2D(c.X - a, c.Y - b), MakePoint2D(c.X + a, c.Y + b),
                                                    Real(R, 41), Real(R, 42));
    ++EllipsesCount;
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

std::unique_ptr<TObject2D> TDXF2DImport::ReadTrace(const TDXFRecord& R)
{
    const std::vector<TPoint2D> points = {Point(R, 10), Point(R, 11), Point(R, 12), Point(R, 13)};
    ++PolylinesCount;
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadSolid(const TDXFRecord& R)
{
    std::vector<TPoint2D> points = {Point(R, 10), Point(R, 11), Point(R, 12)};
    if (Has(R, 13))
        points.push_back(Point(R, 13));
    points.push_back(points.front());
    ++PolylinesCount;
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadText(const TDXFRecord& R)
{
    if (!VectFont)
        return nullptr;
    ++TextsCount;
    const double height = Real(R, 40);
    const TPoint2D p1 = Point(R, 10);
    TPoint2D p2 = MakePoint2D(p1.X, p1.Y + height);
    auto text = std::make_unique<TJustifiedVectText2D>(0, VectFont, p1, p2, height, R.Group(1).Text);
    if (Has(R, 72)) {
        // DXF: 1 centre, 2 right; ours: 1 right, 2 centre.
        const int32_t h = AsInteger(R.Group(72));
        if (h == 1)
            text->HJustification = 2;
        else if (h == 2)
            text->HJustification = 1;
    }
    if (Has(R, 73)) {
        const int32_t v = AsInteger(R.Group(73));
        if (v == 1)
            text->VJustification = 1;
        else if (v == 2)
            text->VJustification = 2;
        // The alignment point only when the file gives it; otherwise the box stays.
        if (Has(R, 11) && Has(R, 21)) {
            p2 = Point(R, 11);
            text->Points().SetPoint(1, p2);
        }
    }
    if (Has(R, 50)) {
        TMatrix4 m = TMatrix4::CreateTranslation(-p2.X, -p2.Y, 0);
        m.Multiply(m, TMatrix4::CreateRotation(false, Radians(Real(R, 50))));
        m.Multiply(m, TMatrix4::CreateTranslation(p2.X, p2.Y, 0));
        text->TransformBy(m);
        text->ApplyTransform();
    }
    text->UpdateBox();
    return text;
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadPolyline(const TDXFRecord& R)
{
    const int32_t flags = Has(R, 70) ? AsInteger(R.Group(70)) : 0;
    const bool closed = (flags & 1) != 0;
    // Spline-fitted polylines are drawn through their fit vertices; curve-fitted ones keep all
    // their vertices, as plain polylines do.
    const bool splineFit = (flags & 4) != 0;
    std::vector<TPoint2D> points;
    std::vector<TVector2D> scratch;
    double pb = 0;
    for (;;) {
        Vertex.Clear();
        Reader->ReadRecord(0, Vertex);
        if (!Vertex.Group(0).IsText("VERTEX"))
            break;
        const TPoint2D v = Point(Vertex, 10);
        if (splineFit) {
            if ((AsInteger(Vertex.Group(70)) & 8) != 0)
                points.push_back(v);
            continue;
        }
        if (IsZeroBulge(pb) || points.empty())
            points.push_back(v);
        else
            AppendBulge(points, points.back(), v, pb, scratch);
        pb = Real(Vertex, 42);
    }
    if (!Vertex.Group(0).IsText("SEQEND")) {
        Failed = true;
        throw ECADFileNotValid("Invalid DXF file.");
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
    ++PolylinesCount;
    return MakePolyline(points, 0);
}

std::unique_ptr<TObject2D> TDXF2DImport::ReadLWPolyline(bool AsLinesArcs)
{
    // Every value is taken by its group code, whatever else the entity holds between them
    // (widths, vertex identifiers): 10 starts a vertex, 20 and 42 belong to the last one. The
    // vertex count of group 90 is not trusted; the vertices listed are.
    bool closed = false;
    std::vector<TLWVertex> vertices;
    while (Reader->ReadGroupInRecord()) {
        switch (Reader->Code) {
        case 8: LayerLookup(Reader->Value); break;
        case 70: closed = (AsInteger(Reader->Value) & 1) != 0; break;
        case 10: vertices.push_back({AsReal(Reader->Value), 0, 0}); break;
        case 20:
            if (!vertices.empty())
                vertices.back().Y = AsReal(Reader->Value);
            break;
        case 42:
            if (!vertices.empty())
                vertices.back().Bulge = AsReal(Reader->Value);
            break;
        default: break;
        }
    }
    if (vertices.empty())
        return nullptr;
    ++PolylinesCount;
    const size_t segments = closed ? vertices.size() : vertices.size() - 1;
    const auto pointOf = [&](size_t i) { return MakePoint2D(vertices[i].X, vertices[i].Y); };
    if (!AsLinesArcs) {
        std::vector<TPoint2D> points{pointOf(0)};
        std::vector<TVector2D> scratch;
        for (size_t i = 0; i < segments; ++i) {
            const TPoint2D to = pointOf((i + 1) % vertices.size());
            if (IsZeroBulge(vertices[i].Bulge))
                points.push_back(to);
            else
                AppendBulge(points, pointOf(i), to, vertices[i].Bulge, scratch);
        }
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
    // A spline given only by fit points, or whose lists disagree with its counts, is refused.
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

// Rotation (group 50, degrees), then the scales of groups 41 and 42, then the move to (10, 20).
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
    return m;
}

} // namespace

std::unique_ptr<TObject2D> TDXF2DImport::ReadInsert(const TDXFRecord& R)
{
    TSourceBlock2D* source = FindBlock(R.Group(2).Text);
    if (!source)
        return nullptr;
    const uint64_t weight = BlockWeight(source);
    if (weight > ExpansionLeft)
        return nullptr;
    ExpansionLeft -= weight;
    ++BlocksCount;
    auto block = std::make_unique<TBlock2D>(0, source);
    block->SetModelTransform(InsertTransform(R));
    block->ApplyTransform();
    block->UpdateBox();
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
