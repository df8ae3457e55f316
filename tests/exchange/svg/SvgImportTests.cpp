// SVG documents into the drawing: the layer and pen chosen by fill colour, each shape's objects
// with Y turned upwards, transforms applied as SVG means them (also to circles and arcs, which
// stay true circles and arcs while the transform keeps them round), the progress, and files that
// cannot be read adding nothing.
#include "SvgException.h"
#include "SvgParser.h"
#include "SvgPathRenderer.h"
#include "UnitSVG.h"

#include "ExpectError.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVLayers.h"
#include "SvgFixtures.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

std::string Doc(const std::string& Body)
{
    return "<svg xmlns='http://www.w3.org/2000/svg'>" + Body + "</svg>";
}

void Import(TQV_01Cmp2D& Drawing, const std::string& Text, const TSvgProgress& Progress = {})
{
    path_renderer paths;
    svg_parser parser(paths);
    parser.parse_text(Text);
    ImportSvgPaths(Drawing, paths, Progress);
}

std::vector<TGraphicObject*> Objects(TQV_01Cmp2D& Drawing)
{
    std::vector<TGraphicObject*> all;
    auto it = Drawing.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        all.push_back(o);
    return all;
}

// A drawing made from the document of Body, and its objects in order.
struct TImported {
    explicit TImported(const std::string& Body)
    {
        Import(Drawing, Doc(Body));
        All = Objects(Drawing);
    }
    TQV_01Cmp2D Drawing;
    std::vector<TGraphicObject*> All;
};

std::vector<TVector2D> PointsOf(TGraphicObject* Obj)
{
    std::vector<TVector2D> v;
    auto* p = dynamic_cast<TPolyline2D*>(Obj);
    if (!p)
        return v;
    for (const TPoint2D& q : p->Points().Points())
        v.push_back({q.X, q.Y});
    return v;
}

void ExpectPoints(TGraphicObject* Obj, const std::vector<TVector2D>& Expected, double Tol = 1e-9)
{
    const std::vector<TVector2D> got = PointsOf(Obj);
    ASSERT_EQ(got.size(), Expected.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].X, Expected[i].X, Tol) << "point " << i;
        EXPECT_NEAR(got[i].Y, Expected[i].Y, Tol) << "point " << i;
    }
}

// The point halfway along an arc, and its centre and radius.
struct TArcFacts {
    TVector2D Start, End, Middle, Centre;
    double Radius;
};

TArcFacts ArcOf(TGraphicObject* Obj)
{
    auto* a = dynamic_cast<TArco2D*>(Obj);
    EXPECT_NE(a, nullptr);
    if (!a)
        return {};
    TArcInfo2D info;
    a->GetArcInfo2D(info);
    const TPoint2D m = a->PointAtParam(0.5);
    return {{info.StartPt.X, info.StartPt.Y},
            {info.EndPt.X, info.EndPt.Y},
            {m.X, m.Y},
            {info.Center.X, info.Center.Y},
            info.Radius};
}

void ExpectNear(const TVector2D& A, TVector2D B, double Tol = 1e-9)
{
    EXPECT_NEAR(A.X, B.X, Tol);
    EXPECT_NEAR(A.Y, B.Y, Tol);
}

} // namespace

TEST(SvgImport, TheFillColourChoosesTheLayerAndItsPen)
{
    struct TCase {
        const char* Name;
        const char* Body;
        int Layer;
        int32_t Pen; // 0x00BBGGRR
    };
    const std::vector<TCase> cases = {
        {"no fill colour", "<line x2='1'/>", 35, 0x2F2F2F},
        {"red", "<line x2='1' fill='#ff0000'/>", 155, 0x2F2FFF},
        {"white", "<line x2='1' fill='white'/>", 179, 0xFFFFFF},
        {"from the style", "<line x2='1' style='fill:rgb(104,52,0)'/>", 35 + 60 + 5, 0x2F6397},
        {"from the group", "<g fill='#0000ff'><line x2='1'/></g>", 39, 0xFF2F2F},
        {"fill none keeps the colour", "<g fill='#ff0000'><line x2='1' fill='none' stroke='blue'/></g>", 155,
         0x2F2FFF},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TImported imported(c.Body);
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0]->Layer, c.Layer);
        EXPECT_EQ(imported.Drawing.Layers.GetLayer(static_cast<uint8_t>(c.Layer)).Pen.Color(), c.Pen);
        EXPECT_EQ(imported.Drawing.CurrentLayer, c.Layer);
    }
    // Each channel in five steps.
    EXPECT_EQ(SvgLayerOfColor(51, 52, 207), 35 + 0 + 5 + 3);
    EXPECT_EQ(SvgPenOfColor(51, 52, 207), 47 | 99 << 8 | 203 << 16);
}

TEST(SvgImport, ShapesBecomeObjectsWithYUp)
{
    TImported imported("<rect x='0' y='0' width='10' height='5'/>"
                       "<line x1='0' y1='0' x2='10' y2='10'/>"
                       "<polyline points='0,0 10,10'/>"
                       "<circle cx='5' cy='5' r='2'/>");
    const std::vector<TGraphicObject*>& all = imported.All;
    ASSERT_EQ(all.size(), 4u);
    ExpectPoints(all[0], {{0, 0}, {10, 0}, {10, -5}, {0, -5}, {0, 0}});
    ExpectPoints(all[1], {{0, 0}, {10, -10}});
    ExpectPoints(all[2], {{0, 0}, {10, -10}});
    auto* circle = dynamic_cast<TCerchio2D*>(all[3]);
    ASSERT_NE(circle, nullptr);
    double cx = 0, cy = 0, r = 0;
    circle->GetCircleParams(cx, cy, r);
    EXPECT_DOUBLE_EQ(cx, 5);
    EXPECT_DOUBLE_EQ(cy, -5);
    EXPECT_DOUBLE_EQ(r, 2);
}

TEST(SvgImport, PathsOfCurvesAndArcs)
{
    {
        SCOPED_TRACE("a circular arc stays an arc, bulging as a viewer shows it");
        TImported imported("<path d='M 0 0 A 5 5 0 0 1 10 0'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        const TArcFacts a = ArcOf(all[0]);
        EXPECT_NEAR(a.Radius, 5, 1e-9);
        ExpectNear(a.Centre, {5, 0});
        ExpectNear(a.Middle, {5, 5});
        ExpectNear(a.Start, {10, 0});
        ExpectNear(a.End, {0, 0});
    }
    {
        SCOPED_TRACE("an elliptical arc is a polyline of the curve segments");
        TImported imported("<path d='M 0 0 A 10 5 0 0 1 20 0'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        const std::vector<TVector2D> p = PointsOf(all[0]);
        ASSERT_EQ(p.size(), 202u);
        ExpectNear(p.front(), {0, 0});
        ExpectNear(p.back(), {20, 0});
        ExpectNear(p[101], {10 + 10 * std::cos(std::numbers::pi * 100 / 201),
                            5 * std::sin(std::numbers::pi * 100 / 201)});
    }
    {
        SCOPED_TRACE("two arcs in a row are the halves of one circle");
        TImported imported("<path d='M 0 10 A 5 5 0 0 1 10 10 A 5 5 0 0 1 0 10'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 2u);
        const TArcFacts a = ArcOf(all[0]), b = ArcOf(all[1]);
        ExpectNear(a.Centre, {5, -10});
        ExpectNear(b.Centre, {5, -10});
        ExpectNear(a.Middle, {5, -5});
        ExpectNear(b.Middle, {5, -15});
    }
    {
        SCOPED_TRACE("a line after an arc starts at its end; a close returns to the move");
        TImported imported("<path d='M 0 0 L 0 10 A 5 5 0 0 0 10 10 L 10 0 Z'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 3u);
        ExpectPoints(all[0], {{0, 0}, {0, -10}});
        ExpectNear(ArcOf(all[1]).Middle, {5, -15});
        ExpectPoints(all[2], {{10, -10}, {10, 0}, {0, 0}});
    }
    {
        SCOPED_TRACE("a quadratic curve is flattened into 50 points");
        TImported imported("<path d='M 0 0 Q 10 20 20 0 L 30 0'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        const std::vector<TVector2D> p = PointsOf(all[0]);
        ASSERT_EQ(p.size(), 51u);
        ExpectNear(p[0], {0, 0});
        ExpectNear(p[49], {20, 0});
        ExpectNear(p[50], {30, 0});
    }
}

TEST(SvgImport, DegenerateAndEmptyPaths)
{
    struct TCase {
        const char* Name;
        const char* Body;
        size_t Objects;
    };
    const std::vector<TCase> cases = {
        {"a move and a close", "<path d='M0 0 Z'/>", 0},
        {"two moves: nothing for the first", "<path d='M0 0 M 5 5 L 6 6'/>", 1},
        {"an empty rect does not give the next shape twice",
         "<rect width='0' height='1'/><rect width='1' height='1'/>", 1},
        {"an arc to its own start is left out", "<path d='M1 1 A 5 5 0 0 1 1 1'/>", 0},
        {"an arc of radius 0 is a line", "<path d='M0 0 A 0 5 0 0 1 10 0'/>", 1},
        {"drawing before any move starts at zero", "<path d='L 5 5 Q 6 6 7 5'/>", 1},
        {"drawing on after a close starts a new polyline", "<path d='M0 0 L 5 0 Z L 0 5'/>", 2},
        {"a circle of radius 0", "<circle r='0'/>", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TImported imported(c.Body);
        EXPECT_EQ(imported.All.size(), c.Objects);
        for (TGraphicObject* o : imported.All) {
            const std::vector<TVector2D> p = PointsOf(o);
            for (const TVector2D& v : p)
                EXPECT_TRUE(std::isfinite(v.X) && std::isfinite(v.Y));
        }
    }
    TImported imported("<path d='M0 0 A 0 5 0 0 1 10 0'/><path d='M0 0 L 5 0 Z L 0 5'/>");
    const std::vector<TGraphicObject*>& all = imported.All;
    ASSERT_EQ(all.size(), 3u);
    ExpectPoints(all[0], {{0, 0}, {10, 0}});
    ExpectPoints(all[1], {{0, 0}, {5, 0}, {0, 0}});
    ExpectPoints(all[2], {{0, 0}, {0, -5}});
}

TEST(SvgImport, ALongPathGoesInPiecesThatShareTheirEnds)
{
    // A polyline holds at most 65535 points.
    const TImported imported("<path d='M0 0" + RepeatText(" l1 0", 70000) + "'/>");
    ASSERT_EQ(imported.All.size(), 2u);
    const std::vector<TVector2D> a = PointsOf(imported.All[0]), b = PointsOf(imported.All[1]);
    ASSERT_EQ(a.size(), 65535u);
    ASSERT_EQ(b.size(), 70001u - 65534u);
    ExpectNear(a.back(), b.front());
    ExpectNear(b.back(), {70000, 0});
}

TEST(SvgImport, TransformsAsSvgMeansThem)
{
    // Each row's shape, as SVG places it, then turned Y up.
    struct TCase {
        const char* Name;
        const char* Body;
        std::vector<TVector2D> Points;
    };
    const std::vector<TCase> cases = {
        {"rotate(90)", "<line x2='10' transform='rotate(90)'/>", {{0, 0}, {0, -10}}},
        {"rotate(90,0,0)", "<line x2='10' transform='rotate(90,0,0)'/>", {{0, 0}, {0, -10}}},
        {"the same matrix", "<line x2='10' transform='matrix(0,1,-1,0,0,0)'/>", {{0, 0}, {0, -10}}},
        {"rotate about a point", "<line x1='10' x2='20' transform='rotate(90 10 0)'/>", {{10, 0}, {10, -10}}},
        {"rotate then translate",
         "<line x2='10' transform='translate(5,0) rotate(90)'/>",
         {{5, 0}, {5, -10}}},
        {"skewX", "<line y2='10' transform='skewX(45)'/>", {{0, 0}, {10, -10}}},
        {"a group's and its own",
         "<g transform='translate(0,100) scale(1,-1)'><line x2='10' y2='10'/></g>",
         {{0, -100}, {10, -90}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TImported imported(c.Body);
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        ExpectPoints(all[0], c.Points);
    }
}

TEST(SvgImport, CirclesAndArcsUnderTransforms)
{
    struct TCase {
        const char* Name;
        const char* Transform;
        bool Arc;         // still a true arc (else a polyline along it)
        TVector2D Centre; // of the arc, when it is one
        double Radius;
        TVector2D Middle; // the point halfway along
    };
    // M 0 0 A 5 5 0 0 1 10 0: the upper half of the circle about (5, 0) as the file is seen.
    const std::vector<TCase> cases = {
        {"none", "", true, {5, 0}, 5, {5, 5}},
        {"scale(2)", "scale(2)", true, {10, 0}, 10, {10, 10}},
        {"mirrored in Y", "matrix(1,0,0,-1,0,0)", true, {5, 0}, 5, {5, -5}},
        {"mirrored in X", "scale(-1,1)", true, {-5, 0}, 5, {-5, 5}},
        {"turned", "rotate(90)", true, {0, -5}, 5, {5, -5}},
        {"stretched", "scale(2,1)", false, {}, 0, {10, 5}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TImported imported(std::string("<path d='M 0 0 A 5 5 0 0 1 10 0' transform='") + c.Transform + "'/>");
        const std::vector<TGraphicObject*>& all = imported.All;
        ASSERT_EQ(all.size(), 1u);
        if (c.Arc) {
            const TArcFacts a = ArcOf(all[0]);
            ExpectNear(a.Centre, c.Centre);
            EXPECT_NEAR(a.Radius, c.Radius, 1e-9);
            ExpectNear(a.Middle, c.Middle);
        } else {
            const std::vector<TVector2D> p = PointsOf(all[0]);
            ASSERT_EQ(p.size(), 202u);
            ExpectNear(p.front(), {0, 0});
            ExpectNear(p.back(), {20, 0});
            // The polyline's top is the stretched arc's.
            double top = -1;
            for (const TVector2D& v : p)
                top = std::max(top, v.Y);
            EXPECT_NEAR(top, c.Middle.Y, 1e-3);
        }
    }
    // A circle keeps its radius under a uniform scale and becomes an ellipse under another.
    TImported imported("<circle cx='1' cy='1' r='2' transform='rotate(30) scale(3)'/>"
                       "<circle cx='0' cy='0' r='2' transform='scale(2,1)'/>");
    const std::vector<TGraphicObject*>& all = imported.All;
    ASSERT_EQ(all.size(), 2u);
    auto* circle = dynamic_cast<TCerchio2D*>(all[0]);
    ASSERT_NE(circle, nullptr);
    double cx = 0, cy = 0, r = 0;
    circle->GetCircleParams(cx, cy, r);
    EXPECT_NEAR(r, 6, 1e-9);
    const std::vector<TVector2D> ring = PointsOf(all[1]);
    ASSERT_EQ(ring.size(), 202u);
    ExpectNear(ring.front(), ring.back());
    for (const TVector2D& v : ring)
        EXPECT_NEAR(v.X * v.X / 16 + v.Y * v.Y / 4, 1, 1e-9);
}

TEST(SvgImport, ProgressEveryFiftyPaths)
{
    std::string body;
    for (int i = 0; i < 120; ++i)
        body += "<line x1='" + std::to_string(i) + "' x2='" + std::to_string(i + 1) + "'/>";
    TQV_01Cmp2D drawing;
    std::vector<int> steps;
    Import(drawing, Doc(body), [&](int P) { steps.push_back(P); });
    EXPECT_EQ(steps, (std::vector<int>{0, 42, 84}));
    EXPECT_EQ(drawing.ObjectsCount(), 120);
}

TEST(SvgImport, AFileThatCannotBeReadAddsNothing)
{
    const TTempFolder folder;
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Message;
    };
    const std::vector<TCase> cases = {
        {"cut.svg", Doc("<line x2='1'/>").substr(0, 30), "unclosed token at line 1"},
        {"late error.svg", Doc("<line x2='1'/><path d='M0 0 L'/>"), "parse_path: Unexpected end of path"},
        {"huge.svg", Doc("<line x2='1'/><line x1='-1e308' x2='1e308' transform='scale(10)'/>"),
         "ImportSvg: Coordinates out of range"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string name = folder.Path() + "/" + c.Name;
        std::ofstream(name) << c.Text;
        TQV_01Cmp2D drawing;
        try {
            ImportSvg(drawing, name);
            ADD_FAILURE() << "no exception";
        } catch (const Esvg_exception& e) {
            EXPECT_EQ(std::string(e.what()).substr(0, c.Message.size()), c.Message) << e.what();
        }
        // A file that does not parse adds nothing; out-of-range points stop at that shape.
        EXPECT_EQ(drawing.ObjectsCount(), std::string(c.Name) == "huge.svg" ? 1 : 0);
    }
}
