#include "UnitSVG.h"

#include "QVBezier.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVLayers.h"
#include "QVPointsSet.h"
#include "SvgException.h"
#include "SvgParser.h"
#include "SvgPathRenderer.h"
#include "UnitConfig.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <numbers>
#include <span>
#include <vector>

namespace {

// Bezier curves are flattened into this many points each.
constexpr int BezierPoints = 50;

constexpr double TwoPi = 2 * std::numbers::pi;

// One path's vertices into drawing objects.
class TPathWalk {
public:
    TPathWalk(TQV_01Cmp2D& Drawing, int Segments) : Drawing(Drawing), Segments(Segments) {}

    // The vertices of Attr's path, up to End or its stop vertex.
    void Walk(const path_storage& Storage, const path_attributes& Attr, unsigned End);

private:
    // A point of the file through the path's transform, Y turned upwards.
    TPoint2D Map(double X, double Y) const;
    TPoint2D Map(const TVector2D& V) const { return Map(V.X, V.Y); }
    void Add(std::unique_ptr<TObject2D> Obj);
    void AddPolyline(std::span<const TPoint2D> Points);
    // Adds the polyline being built when it has two points or more, and starts none.
    void EndPolyline();
    // A polyline from the last point when none is being built: a path may draw before it moves,
    // or on after a close.
    void Extend(double X, double Y);
    void Curve(const TPoint2DArray& Points);
    void Circle(const TVector2D& C, double R);
    void Arc(double Rx, double Ry, double Angle, bool LargeArc, bool Sweep, const TVector2D& End);

    TQV_01Cmp2D& Drawing;
    const int Segments;
    agg::trans_affine T;
    // The transform keeps circles circles (turns, mirrors and scales alike in X and Y); Det is
    // the determinant of the whole map, Y turn included.
    bool Similar = true;
    double Det = -1;
    uint8_t Layer = 0;
    int32_t Pen = 0;
    bool LayerSet = false;
    std::vector<TPoint2D> Poly;
    bool Building = false;
    TVector2D Last, Start;
    TPoint2DArray Flat;
};

TPoint2D TPathWalk::Map(double X, double Y) const
{
    const double x = X * T.sx + Y * T.shx + T.tx;
    const double y = -(X * T.shy + Y * T.sy + T.ty);
    // Infinities or NaNs would reach the extents, the view and every later placement.
    if (!std::isfinite(x) || !std::isfinite(y))
        throw Esvg_exception("ImportSvg: Coordinates out of range");
    return {x, y, 1};
}

void TPathWalk::Add(std::unique_ptr<TObject2D> Obj)
{
    if (!LayerSet) {
        LayerSet = true;
        Drawing.CurrentLayer = Layer;
        Drawing.Layers.GetLayer(Layer).Pen.SetColor(Pen);
    }
    Drawing.AddObject(-1, std::move(Obj));
}

void TPathWalk::AddPolyline(std::span<const TPoint2D> Points)
{
    // A polyline holds at most MaxPoints points: a longer one goes in pieces that share their
    // end points.
    constexpr size_t Max = TPointsSetBase::MaxPoints;
    for (size_t from = 0; from + 1 < Points.size(); from += Max - 1)
        Add(std::make_unique<TPolyline2D>(-1, Points.subspan(from, std::min(Points.size() - from, Max))));
}

void TPathWalk::EndPolyline()
{
    if (Building && Poly.size() >= 2)
        AddPolyline(Poly);
    Poly.clear();
    Building = false;
}

void TPathWalk::Extend(double X, double Y)
{
    if (!Building) {
        Poly.push_back(Map(Last));
        Building = true;
    }
    Poly.push_back(Map(X, Y));
    Last = {X, Y};
}

void TPathWalk::Curve(const TPoint2DArray& Points)
{
    for (const TVector2D& p : Points)
        if (!IsSamePoint(p, Last))
            Extend(p.X, p.Y);
}

void TPathWalk::Circle(const TVector2D& C, double R)
{
    if (Similar) {
        Add(std::make_unique<TCerchio2D>(-1, Map(C), Map(C.X + R, C.Y)));
        return;
    }
    // Stretched unevenly, a circle is an ellipse: a closed polyline along it.
    std::vector<TPoint2D> ring;
    ring.reserve(static_cast<size_t>(Segments) + 2);
    for (int k = 0; k <= Segments; ++k) {
        const double a = TwoPi * k / (Segments + 1);
        ring.push_back(Map(C.X + R * std::cos(a), C.Y + R * std::sin(a)));
    }
    ring.push_back(ring.front());
    AddPolyline(ring);
}

void TPathWalk::Arc(double Rx, double Ry, double Angle, bool LargeArc, bool Sweep, const TVector2D& End)
{
    const TVector2D from = Last;
    const TPoint2D e = Map(End);
    // Equal ends draw nothing, a radius of 0 a straight line, as SVG has it.
    if (from.X == End.X && from.Y == End.Y) {
        EndPolyline();
    } else if (Rx == 0 || Ry == 0) {
        Extend(End.X, End.Y);
        return;
    } else {
        EndPolyline();
        const TSvgArc arc(from.X, from.Y, Rx, Ry, Angle, LargeArc, Sweep, End.X, End.Y);
        if (Similar && IsEqual(std::fabs(Rx), std::fabs(Ry))) {
            const TPoint2D c = Map(arc.Centre);
            const TPoint2D s = Map(from);
            const double a0 = PointsAngle({c.X, c.Y}, {s.X, s.Y});
            const double a1 = PointsAngle({c.X, c.Y}, {e.X, e.Y});
            // A map that mirrors turns the sweep the other way.
            const bool counterClockwise = (arc.Sweep > 0) != (Det < 0);
            Add(std::make_unique<TArco2D>(-1, c, e, counterClockwise ? a0 : a1, counterClockwise ? a1 : a0));
        } else {
            std::vector<TPoint2D> points;
            points.reserve(static_cast<size_t>(Segments) + 2);
            points.push_back(Map(from));
            for (int k = 1; k <= Segments; ++k)
                points.push_back(Map(arc.PointAt(arc.StartAngle + arc.Sweep * k / (Segments + 1))));
            points.push_back(e);
            AddPolyline(points);
        }
    }
    // The path goes on from the arc's end.
    Poly.assign(1, e);
    Building = true;
    Last = End;
}

void TPathWalk::Walk(const path_storage& Storage, const path_attributes& Attr, unsigned End)
{
    T = Attr.transform;
    // The whole map's columns (sx, -shy) and (shx, -sy): perpendicular and of one length.
    const double a = T.sx, b = T.shx, c = -T.shy, d = -T.sy;
    const double n1 = a * a + c * c, n2 = b * b + d * d;
    const double eps = 1e-9 * std::max(n1, n2);
    Similar = std::fabs(a * b + c * d) <= eps && std::fabs(n1 - n2) <= eps;
    Det = a * d - b * c;
    const agg::rgba8& fill = Attr.fill_color;
    Layer = SvgLayerOfColor(fill.r, fill.g, fill.b);
    Pen = SvgPenOfColor(fill.r, fill.g, fill.b);
    LayerSet = false;
    Poly.clear();
    Building = false;
    Last = Start = {0, 0};

    double x = 0, y = 0;
    // The vertices after I, which the command of vertex I uses.
    const auto following = [&](unsigned I, unsigned Count, unsigned Cmd, TVector2D* V) {
        if (I + Count >= End)
            return false;
        for (unsigned k = 1; k <= Count; ++k)
            if (Storage.vertex(I + k, &V[k - 1].X, &V[k - 1].Y) != Cmd)
                return false;
        return true;
    };
    for (unsigned i = Attr.index; i < End;) {
        const unsigned cmd = Storage.vertex(i, &x, &y);
        TVector2D v[3];
        unsigned used = 1;
        switch (cmd) {
        case path_cmd_stop:
            EndPolyline();
            return;
        case path_cmd_move_to:
            EndPolyline();
            Start = Last = {x, y};
            Poly.push_back(Map(Start));
            Building = true;
            break;
        case path_cmd_line_to:
            Extend(x, y);
            break;
        case path_cmd_curve3:
            if (following(i, 1, path_cmd_curve3, v)) {
                QuadBezierToPoints({Last, {x, y}, v[0]}, BezierPoints, Flat);
                Curve(Flat);
                used = 2;
            }
            break;
        case path_cmd_curve4:
            if (following(i, 2, path_cmd_curve4, v)) {
                CubicBezierToPoints({Last, {x, y}, v[0], v[1]}, BezierPoints, Flat);
                Curve(Flat);
                used = 3;
            }
            break;
        case path_cmd_circle:
            if (following(i, 1, path_cmd_circle, v)) {
                Circle({x, y}, v[0].X);
                Last = {x, y};
                used = 2;
            }
            break;
        case path_cmd_arc:
            if (following(i, 3, path_cmd_arc, v)) {
                Arc(x, y, v[0].X, v[1].X != 0, v[1].Y != 0, v[2]);
                used = 4;
            }
            break;
        case path_cmd_close:
            // Back to the start of the sub-path, unless the polyline is there already.
            if (Building && !Poly.empty()) {
                const TPoint2D s = Map(Start);
                if (!IsSamePoint2D(Poly.back(), s))
                    Poly.push_back(s);
            }
            EndPolyline();
            Last = Start;
            break;
        default:
            break;
        }
        i += used;
    }
    EndPolyline();
}

} // namespace

uint8_t SvgLayerOfColor(uint8_t R, uint8_t G, uint8_t B)
{
    return static_cast<uint8_t>(35 + 30 * (R / 52) + 5 * (G / 52) + B / 52);
}

int32_t SvgPenOfColor(uint8_t R, uint8_t G, uint8_t B)
{
    const auto step = [](uint8_t V) { return 52 * (V / 52) + 47; };
    return step(R) | step(G) << 8 | step(B) << 16;
}

TSvgArc::TSvgArc(double X0, double Y0, double Rx, double Ry, double Angle, bool LargeArc, bool Sweep,
                 double X2, double Y2)
{
    const double phi = Angle * std::numbers::pi / 180;
    CosPhi = std::cos(phi);
    SinPhi = std::sin(phi);
    Rx = std::fabs(Rx);
    Ry = std::fabs(Ry);
    // The ends in the frame of the ellipse's axes, about their midpoint.
    const double dx = (X0 - X2) / 2, dy = (Y0 - Y2) / 2;
    const double x1 = CosPhi * dx + SinPhi * dy;
    const double y1 = -SinPhi * dx + CosPhi * dy;
    const double lambda = x1 * x1 / (Rx * Rx) + y1 * y1 / (Ry * Ry);
    if (lambda > 1) {
        Rx *= std::sqrt(lambda);
        Ry *= std::sqrt(lambda);
    }
    const double rx2 = Rx * Rx, ry2 = Ry * Ry;
    const double den = rx2 * y1 * y1 + ry2 * x1 * x1;
    const double q = den > 0 ? std::max(0.0, (rx2 * ry2 - rx2 * y1 * y1 - ry2 * x1 * x1) / den) : 0;
    const double k = (LargeArc != Sweep ? 1 : -1) * std::sqrt(q);
    const double cx1 = k * Rx * y1 / Ry;
    const double cy1 = -k * Ry * x1 / Rx;
    this->Rx = Rx;
    this->Ry = Ry;
    Centre = {CosPhi * cx1 - SinPhi * cy1 + (X0 + X2) / 2, SinPhi * cx1 + CosPhi * cy1 + (Y0 + Y2) / 2};
    StartAngle = std::atan2((y1 - cy1) / Ry, (x1 - cx1) / Rx);
    double sweep = std::atan2((-y1 - cy1) / Ry, (-x1 - cx1) / Rx) - StartAngle;
    if (Sweep && sweep < 0)
        sweep += TwoPi;
    else if (!Sweep && sweep > 0)
        sweep -= TwoPi;
    this->Sweep = sweep;
}

TVector2D TSvgArc::PointAt(double Theta) const
{
    const double x = Rx * std::cos(Theta), y = Ry * std::sin(Theta);
    return {CosPhi * x - SinPhi * y + Centre.X, SinPhi * x + CosPhi * y + Centre.Y};
}

void ImportSvgPaths(TQV_01Cmp2D& Drawing, path_renderer& Paths, const TSvgProgress& Progress)
{
    const unsigned n = Paths.attributes_count();
    const int segments = std::max(1, AppConfig ? AppConfig->MaxCurveSeg : DefMaxCurveSeg);
    const TQV_01Cmp::TBulkAdd bulk(Drawing, n);
    TPathWalk walk(Drawing, segments);
    for (unsigned i = 0; i < n; ++i) {
        if (Progress && i % 50 == 0)
            Progress(static_cast<int>(uint64_t(i + 1) * 100 / n));
        // A path ends at the next one's start: an empty path begins where the next one does.
        const unsigned end = i + 1 < n ? Paths.attributes(i + 1).index : Paths.storage().total_vertices();
        walk.Walk(Paths.storage(), Paths.attributes(i), end);
        Paths.release_vertices_before(end);
    }
}

void ImportSvg(TQV_01Cmp2D& Drawing, const std::string& FileName, const TSvgProgress& Progress)
{
    path_renderer paths;
    {
        svg_parser parser(paths);
        parser.parse(FileName);
    }
    ImportSvgPaths(Drawing, paths, Progress);
}
