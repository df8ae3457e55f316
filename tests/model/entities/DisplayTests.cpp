// The display objects entities put into the scene and onto the overlay, the conversions into
// polylines, the 3D primitive and the image entity's record.
#include "BmpTestWriter.h"
#include "CADExceptions.h"
#include "ExpectError.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVDisplay.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVSplines.h"
#include "QVVectText.h"
#include "SavedBytes.h"
#include "SceneBatch.h"
#include "SceneViewer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace {

constexpr int32_t LayerRed = 0x0000FF;
constexpr int32_t OwnGreen = 0x00FF00;

TMatrix4 Rotation(double degrees)
{
    TMatrix4 m;
    m.Rotate(true, degrees);
    return m;
}

TMatrix4 Translation(double dx, double dy)
{
    TMatrix4 m;
    m.Translate(dx, dy, 0);
    return m;
}

std::vector<TPoint2D> NodesOf(const TSceneNode* node)
{
    std::vector<TPoint2D> points;
    auto take = [&](const std::vector<TVector3f>& nodes) {
        for (const TVector3f& v : nodes)
            points.push_back({v.X, v.Y, 1});
    };
    if (auto* strip = dynamic_cast<const TLineStrip*>(node))
        take(strip->Nodes());
    else if (auto* cloud = dynamic_cast<const TPointCloud*>(node))
        take(cloud->Points());
    else if (auto* polygon = dynamic_cast<const TPolygonNode*>(node))
        take(polygon->Nodes());
    return points;
}

// The program's view on a viewer in memory.
class Display : public ::testing::Test {
protected:
    void SetUp() override
    {
        DrawingView = &View;
        View.AttachViewer(&Viewer);
        Drawing = View.DrawingGroup;
        Highlight = View.HighlightGroup;
        Cmp.Layers.GetLayer(0).Pen.SetColor(LayerRed);
        Cmp.Layers.GetLayer(0).Pen.SetWidth(3);
    }

    // Screen point of a world point.
    TPoint S(double x, double y) const { return View.WorldToScreen({x, y, 1}); }

    template <class T> T& Own(std::unique_ptr<T> obj)
    {
        obj->Owner = &Cmp;
        T& ref = *obj;
        Objects.push_back(std::move(obj));
        return ref;
    }

    TRecordingViewer Viewer{200, 200};
    TQVScene View;
    TSceneGroup* Drawing = nullptr;
    TSceneGroup* Highlight = nullptr;
    TQV_01Cmp2D Cmp;
    std::vector<std::unique_ptr<TGraphicObject>> Objects;
};

void ExpectPointsNear(const std::vector<TPoint2D>& got, const std::vector<TPoint2D>& want, double tol = 1e-5)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_NEAR(got[i].X, want[i].X, tol) << "point " << i;
        EXPECT_NEAR(got[i].Y, want[i].Y, tol) << "point " << i;
    }
}

void ExpectScreen(const std::vector<TPoint>& got, const std::vector<TPoint>& want)
{
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); ++i) {
        EXPECT_EQ(got[i].X, want[i].X) << "point " << i;
        EXPECT_EQ(got[i].Y, want[i].Y) << "point " << i;
    }
}

TEST_F(Display, EachClassBuildsItsNodeKindStyleAndPoints)
{
    const TSceneColor red = SceneColorFromTColor(LayerRed);
    const TSceneColor green = SceneColorFromTColor(OwnGreen);
    struct Row {
        const char* Name;
        std::function<std::unique_ptr<TPrimitive2D>()> Make;
        TSceneNodeKind Kind;
        TSceneColor Color;
        float Width;  // line strips only
        std::vector<TPoint2D> Points;  // empty: only the count is checked below
        int PointCount;
        bool Highlighted;
    };
    const std::vector<Row> rows = {
        {"point takes the layer pen even when styled",
         [] {
             auto p = std::make_unique<TPunto2D>(-1, TPoint2D{1, 2, 1});
             p->UseLayerStyle = false;
             p->Color = OwnGreen;
             return p;
         },
         TSceneNodeKind::PointCloud, red, 0, {{1, 2, 1}}, 1, true},
        {"line in the layer pen", [] { return std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 0, 1}); },
         TSceneNodeKind::LineStrip, red, 3, {{0, 0, 1}, {4, 0, 1}}, 2, true},
        {"styled line moved by its transform",
         [] {
             return std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 0, 1}, OwnGreen, 2, Translation(1, 1));
         },
         TSceneNodeKind::LineStrip, green, 2, {{1, 1, 1}, {5, 1, 1}}, 2, true},
        {"polyline",
         [] {
             const TPoint2D pts[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}};
             return std::make_unique<TPolyline2D>(-1, pts);
         },
         TSceneNodeKind::LineStrip, red, 3, {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}}, 3, true},
        {"styled polygon is half transparent",
         [] {
             const TPoint2D pts[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}};
             return std::make_unique<TPolygon2D>(-1, pts, OwnGreen, 1, IdentityMatrix);
         },
         TSceneNodeKind::Polygon, SceneColorFromTColor(OwnGreen, 0.5f), 0, {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}}, 3, true},
        {"styled frame takes the layer pen",
         [] {
             return std::make_unique<TFrame2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}, OwnGreen, 1, IdentityMatrix);
         },
         TSceneNodeKind::LineStrip, red, 3, {}, 5, true},
        {"circle", [] { return std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}); },
         TSceneNodeKind::LineStrip, red, 3, {}, TCurve2D::ShapePrecision + 1, true},
        {"arc", [] { return std::make_unique<TArco2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}, 0.0, 1.0); },
         TSceneNodeKind::LineStrip, red, 3, {}, -1, true},
        {"ellipse", [] { return std::make_unique<TEllipse2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}); },
         TSceneNodeKind::LineStrip, red, 3, {}, -1, true},
        {"B-spline has no highlight",
         [] {
             const TPoint2D pts[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}, {3, 1, 1}};
             return std::make_unique<TBSpline2D>(-1, pts);
         },
         TSceneNodeKind::LineStrip, red, 3, {}, -1, false},
        {"NURBS curve has no highlight",
         [] {
             const TPoint2D pts[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 1}, {3, 1, 1}};
             return std::make_unique<TQVBSpline2D>(-1, pts);
         },
         TSceneNodeKind::LineStrip, red, 3, {}, -1, false},
        {"elliptic arc has no highlight",
         [] { return std::make_unique<TEllipseOpen2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}, 0.0, 1.0); },
         TSceneNodeKind::LineStrip, red, 3, {}, -1, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        Drawing->DeleteChildren();
        Highlight->DeleteChildren();
        TPrimitive2D& obj = Own(row.Make());
        obj.BuildGL();
        ASSERT_EQ(Drawing->Count(), 1);
        const TSceneNode* node = Drawing->Child(0);
        EXPECT_EQ(obj.GLObject.Get(), node);
        EXPECT_EQ(node->Kind(), row.Kind);
        if (auto* strip = dynamic_cast<const TLineStrip*>(node)) {
            EXPECT_EQ(strip->Color(), row.Color);
            EXPECT_EQ(strip->LineWidth(), row.Width);
            EXPECT_FALSE(strip->NodesShown());
        } else if (auto* cloud = dynamic_cast<const TPointCloud*>(node)) {
            EXPECT_EQ(cloud->Color(), row.Color);
            EXPECT_EQ(cloud->PointSize(), 5);
            EXPECT_TRUE(cloud->Smooth());
        } else if (auto* polygon = dynamic_cast<const TPolygonNode*>(node)) {
            EXPECT_EQ(polygon->Color(), row.Color);
            EXPECT_TRUE(polygon->Blended());
        }
        const std::vector<TPoint2D> points = NodesOf(node);
        if (!row.Points.empty()) {
            ExpectPointsNear(points, row.Points);
        }
        if (row.PointCount >= 0) {
            EXPECT_EQ(int(points.size()), row.PointCount);
        }

        obj.BuildGLHighlight();
        ASSERT_EQ(Highlight->Count(), row.Highlighted ? 1 : 0);
        if (row.Highlighted) {
            EXPECT_EQ(obj.GLObject.Get(), Highlight->Child(0));
            // A polygon is highlighted by its outline, not a fill.
            const TSceneNodeKind kind = row.Kind == TSceneNodeKind::Polygon ? TSceneNodeKind::LineStrip : row.Kind;
            EXPECT_EQ(Highlight->Child(0)->Kind(), kind);
        } else {
            EXPECT_EQ(obj.GLObject.Get(), node);
        }
    }
}

namespace {

// What a group's shapes draw, one entry a segment, point or triangle, with its look: the same
// whether the shapes are nodes of their own or were written into a batch node.
struct TDrawnPrimitive {
    TBatchPrim Prim; // Lines, Points or Triangles
    float Size;
    bool Smooth;
    std::vector<std::tuple<float, float, float, uint8_t, uint8_t, uint8_t, uint8_t>> Vertices;
    bool operator==(const TDrawnPrimitive&) const = default;
};

template <class TVertexAt>
void AddDrawn(std::vector<TDrawnPrimitive>& out, TBatchPrim prim, const TBatchCommand& c,
              std::vector<uint32_t> vertices, TVertexAt vertexAt)
{
    TDrawnPrimitive d{prim, c.Size, c.Smooth, {}};
    for (uint32_t i : vertices) {
        const TFlatVertex& v = vertexAt(i);
        d.Vertices.emplace_back(v.X, v.Y, v.Z, v.R, v.G, v.B, v.A);
    }
    out.push_back(d);
}

std::vector<TDrawnPrimitive> DrawnByNodes(const TSceneGroup& group)
{
    const TGroupBatch b = BuildGroupBatch(group, 1024);
    std::vector<TDrawnPrimitive> out;
    const auto at = [&b](uint32_t i) -> const TFlatVertex& { return b.Flat[i]; };
    for (const TBatchCommand& c : b.Commands) {
        const uint32_t step = c.Prim == TBatchPrim::Lines ? 2 : c.Prim == TBatchPrim::Triangles ? 3 : 1;
        for (uint32_t i = c.First; i < c.First + c.Count; i += step)
            AddDrawn(out, c.Prim, c,
                     std::vector<uint32_t>(b.Indices.begin() + i, b.Indices.begin() + i + step), at);
    }
    return out;
}

std::vector<TDrawnPrimitive> DrawnByBatch(const TFlatBatch& b)
{
    std::vector<TDrawnPrimitive> out;
    const auto at = [&b](uint32_t i) -> const TFlatVertex& { return b.Vertex(i); };
    for (const TBatchCommand& c : b.Commands()) {
        if (c.Prim == TBatchPrim::Strips) {
            for (uint32_t k = c.First; k < c.First + c.Count; ++k)
                for (int32_t v = 0; v + 1 < b.StripCounts()[k]; ++v) {
                    const auto first = uint32_t(b.StripFirsts()[k] + v);
                    AddDrawn(out, TBatchPrim::Lines, c, {first, first + 1}, at);
                }
            continue;
        }
        const uint32_t step = c.Prim == TBatchPrim::Triangles ? 3 : 1;
        for (uint32_t i = c.First; i < c.First + c.Count; i += step)
            AddDrawn(out, c.Prim, c,
                     std::vector<uint32_t>(b.Indices().begin() + i, b.Indices().begin() + i + step), at);
    }
    return out;
}

} // namespace

// A whole rebuild writes every shape straight into the group's batch: each class, a text and the
// child of a turned container draw the very segments, points and triangles, in the same order and
// look, that their nodes of their own draw; and no object keeps a display object then.
TEST_F(Display, ABatchedBuildDrawsWhatTheNodesDraw)
{
    TVectFont font;
    font.SetChar('A', TVectChar::CreateFromStrokes({{{0, 0}, {0.3, 1}, {0.6, 0}}}));
    const TPoint2D wiggle[] = {{0, 0, 1}, {1, 1, 1}, {2, 0, 2}, {3, 1, 1}};
    std::vector<TGraphicObject*> objects;
    const auto add = [&](std::unique_ptr<TGraphicObject> obj) { objects.push_back(&Own(std::move(obj))); };
    auto point = std::make_unique<TPunto2D>(-1, TPoint2D{1, 2, 1});
    point->UseLayerStyle = false;
    point->Color = OwnGreen;
    add(std::move(point));
    add(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 0, 1}));
    add(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 0, 1}, OwnGreen, 2, Translation(1, 1)));
    add(std::make_unique<TPolyline2D>(-1, wiggle));
    add(std::make_unique<TPolygon2D>(-1, wiggle, OwnGreen, 1, Rotation(30)));
    add(std::make_unique<TFrame2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}, OwnGreen, 1, Rotation(30)));
    add(std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}));
    add(std::make_unique<TArco2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}, 0.0, 1.0));
    add(std::make_unique<TEllipse2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}));
    add(std::make_unique<TEllipseOpen2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}, 0.0, 1.0));
    add(std::make_unique<TBSpline2D>(-1, wiggle));
    add(std::make_unique<TQVBSpline2D>(-1, wiggle));
    add(std::make_unique<TJustifiedVectText2D>(-1, &font, TPoint2D{0, 0, 1}, TPoint2D{10, 5, 1}, 2.0, "AA"));
    std::vector<std::unique_ptr<TGraphicObject>> children;
    children.push_back(
        std::make_unique<TLine2D>(7, TPoint2D{1, 0, 1}, TPoint2D{3, 0, 1}, 0, 1, Translation(0, 1)));
    auto box = std::make_unique<TContainer2D>(-1, std::move(children));
    box->SetBaseTransform(Rotation(90));
    box->UpdateBox();
    add(std::move(box));

    for (TGraphicObject* obj : objects)
        obj->BuildGL();
    const std::vector<TDrawnPrimitive> byNodes = DrawnByNodes(*Drawing);
    ASSERT_GT(byNodes.size(), 100u);

    Drawing->DeleteChildren();
    Drawing->BatchShapes = true;
    for (TGraphicObject* obj : objects)
        obj->BuildGL();
    Drawing->BatchShapes = false;
    ASSERT_EQ(Drawing->Count(), 1);
    ASSERT_EQ(Drawing->Child(0)->Kind(), TSceneNodeKind::FlatBatch);
    EXPECT_TRUE(DrawnByBatch(static_cast<const TFlatBatch&>(*Drawing->Child(0))) == byNodes);
    for (TGraphicObject* obj : objects)
        EXPECT_FALSE(obj->GLObject) << obj->ClassName();
}

TEST_F(Display, LayerStyledEntitiesFollowTheirLayer)
{
    auto& line = Own(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}));
    Cmp.Layers.GetLayer(0).Pen.SetColor(0xFF0000);
    line.BuildGL();
    EXPECT_EQ(static_cast<TLineStrip*>(line.GLObject.Get())->Color(), SceneColorFromTColor(0xFF0000));
}

TEST_F(Display, DisplayObjectsAreWeakAndNothingIsBuiltWithoutAView)
{
    auto& line = Own(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}));
    line.BuildGL();
    ASSERT_TRUE(line.GLObject);
    Drawing->DeleteChildren();
    EXPECT_FALSE(line.GLObject);
    DrawingView = nullptr;
    line.BuildGL();
    EXPECT_EQ(Drawing->Count(), 0);
}

TEST_F(Display, RotatedFrameIsDrawnAsItsPickedOutline)
{
    TMatrix4 place = Rotation(30);
    place.Translate(5, 2, 0);
    auto& frame = Own(std::make_unique<TFrame2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 2, 1}, 0, 1, place));
    frame.BuildGL();
    const std::vector<TPoint2D> drawn = NodesOf(frame.GLObject.Get());
    // Its corners are the converted outline's, so the display is the rotated rectangle.
    std::unique_ptr<TPolyline2D> outline = FrameToPolyline(frame);
    for (const TPoint2D& corner : outline->Points().Points()) {
        bool found = false;
        for (const TPoint2D& p : drawn)
            found = found || (std::abs(p.X - corner.X) < 1e-5 && std::abs(p.Y - corner.Y) < 1e-5);
        EXPECT_TRUE(found) << corner.X << ", " << corner.Y;
    }
    // The middle of every drawn edge is on the picked outline; the axis-parallel rectangle of
    // the two corners would put them elsewhere.
    std::vector<TPoint2D> probes;
    for (size_t i = 0; i + 1 < drawn.size(); ++i)
        probes.push_back({(drawn[i].X + drawn[i + 1].X) / 2, (drawn[i].Y + drawn[i + 1].Y) / 2, 1});
    for (const TPoint2D& p : probes) {
        double dist = 1e9;
        EXPECT_GE(frame.HitTest(p, dist, 0.01), HitOutline) << p.X << ", " << p.Y;
    }
}

TEST_F(Display, ChildOfARotatedContainerIsDrawnAndOverlaidWhereItIsPicked)
{
    std::vector<std::unique_ptr<TGraphicObject>> children;
    children.push_back(std::make_unique<TLine2D>(7, TPoint2D{1, 0, 1}, TPoint2D{3, 0, 1}, 0, 1, Translation(0, 1)));
    auto& box = Own(std::make_unique<TContainer2D>(-1, std::move(children)));
    TMatrix4 place = Rotation(90);
    place.Translate(10, 0, 0);
    box.SetBaseTransform(place);
    box.UpdateBox();

    box.BuildGL();
    ASSERT_EQ(Drawing->Count(), 1);
    const std::vector<TPoint2D> drawn = NodesOf(Drawing->Child(0));
    // The child's own move first, then the container's turn and move.
    ExpectPointsNear(drawn, {{9, 1, 1}, {9, 3, 1}});
    for (const TPoint2D& p : drawn) {
        double dist = 1e9;
        EXPECT_EQ(box.HitTest(p, dist, 0.01), 7);
    }

    TRecordingCanvas canvas(200, 200);
    box.DrawOverlay(canvas, false);
    ASSERT_EQ(canvas.Calls.size(), 1u);
    ExpectScreen(canvas.Calls[0].Points, {S(9, 1), S(9, 3)});

    // Dragged by (1, 0): the preview moves with it.
    canvas.Calls.clear();
    box.DrawOverlayTransformed(canvas, Translation(0, -1));
    ASSERT_EQ(canvas.Calls.size(), 1u);
    ExpectScreen(canvas.Calls[0].Points, {S(10, 1), S(10, 3)});
}

TEST_F(Display, OverlaysOfPrimitives)
{
    auto& line = Own(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}));
    TRecordingCanvas canvas(100, 100);
    line.DrawOverlay(canvas, true);
    // Two 7 x 7 markers, then the line.
    ASSERT_EQ(canvas.Calls.size(), 3u);
    const TPoint end = S(2, 1);
    ExpectScreen(canvas.Calls[1].Points, {{end.X - 3, end.Y - 3}, {end.X + 3, end.Y - 3}, {end.X + 3, end.Y + 3},
                                          {end.X - 3, end.Y + 3}, {end.X - 3, end.Y - 3}});
    ExpectScreen(canvas.Calls[2].Points, {S(0, 0), S(2, 1)});

    canvas.Calls.clear();
    line.DrawOverlay(canvas, false);
    EXPECT_EQ(canvas.Calls.size(), 1u);

    // M acts first, in the line's own space.
    canvas.Calls.clear();
    line.DrawOverlayTransformed(canvas, Translation(1, 0));
    ASSERT_EQ(canvas.Calls.size(), 1u);
    ExpectScreen(canvas.Calls[0].Points, {S(1, 0), S(3, 1)});

    auto& point = Own(std::make_unique<TPunto2D>(-1, TPoint2D{1, 1, 1}));
    canvas.Calls.clear();
    point.DrawOverlay(canvas, true);
    ASSERT_EQ(canvas.Calls.size(), 2u);
    EXPECT_EQ(canvas.Calls[0].Kind, TCanvasCall::Line);
    const TPoint centre = S(1, 1);
    ExpectScreen(canvas.Calls[0].Points, {{centre.X - 5, centre.Y}, {centre.X + 5, centre.Y}});

    const TRect r = line.GetScreenRect();
    EXPECT_EQ(r.Left, S(0, 0).X);
    EXPECT_EQ(r.Bottom, S(0, 0).Y);
    EXPECT_EQ(r.Right, S(2, 1).X);
    EXPECT_EQ(r.Top, S(2, 1).Y);
}

TEST_F(Display, ConversionsIntoPolylines)
{
    auto& frame = Own(std::make_unique<TFrame2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 1, 1}));
    frame.Layer = 4;
    std::unique_ptr<TPolyline2D> created;
    TPolyline2D* poly = PrimitiveToPolyline(frame, created);
    ASSERT_EQ(poly, created.get());
    EXPECT_EQ(poly->ID, -1);
    EXPECT_EQ(poly->Layer, 4);
    ExpectPointsNear({poly->Points().Points().begin(), poly->Points().Points().end()},
                     {{0, 0, 1}, {0, 1, 1}, {2, 1, 1}, {2, 0, 1}, {0, 0, 1}});

    const TPoint2D pts[] = {{0, 0, 1}, {1, 1, 1}};
    auto& polyline = Own(std::make_unique<TPolyline2D>(-1, pts));
    EXPECT_EQ(PrimitiveToPolyline(polyline, created), &polyline);
    EXPECT_EQ(created, nullptr);

    auto& point = Own(std::make_unique<TPunto2D>(-1, TPoint2D{1, 1, 1}));
    EXPECT_EQ(PrimitiveToPolyline(point, created), nullptr);

    auto& line = Own(std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}, 0, 1, Translation(2, 3)));
    poly = PrimitiveToPolyline(line, created);
    ExpectPointsNear({poly->Points().Points().begin(), poly->Points().Points().end()}, {{2, 3, 1}, {3, 3, 1}});

    // A circle that does not keep its profile converts too.
    auto& circle = Own(std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}));
    circle.SetKeepProfile(false);
    circle.Layer = 2;
    std::unique_ptr<TPolyline2D> fromCircle = CurveToPolyline(circle);
    EXPECT_EQ(fromCircle->Points().Count(), TCurve2D::ShapePrecision + 1);
    EXPECT_EQ(fromCircle->Layer, 2);
    EXPECT_EQ(CurveProfileToPolyline(circle)->Layer, 0);
    EXPECT_EQ(circle.ProfileUses(), 0);
}

TEST_F(Display, FilledCircleAndTranslatedText)
{
    auto& circle = Own(std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 0, 1}, OwnGreen, 1, IdentityMatrix));
    circle.SetKeepProfile(false);
    TSceneNode* fill = circle.BuildFilledGLIn(*Drawing);
    ASSERT_EQ(fill->Kind(), TSceneNodeKind::Polygon);
    EXPECT_EQ(static_cast<TPolygonNode*>(fill)->Color(), SceneColorFromTColor(OwnGreen, 0.1f));
    EXPECT_EQ(circle.GLObject.Get(), fill);
}

TEST_F(Display, TextStrokesAndTheOverlayOfAMovedText)
{
    TVectFont font;
    font.SetChar('A', TVectChar::CreateFromStrokes({{{0, 0}, {0.3, 1}, {0.6, 0}}}));
    auto& text = Own(std::make_unique<TJustifiedVectText2D>(-1, &font, TPoint2D{0, 0, 1}, TPoint2D{10, 5, 1}, 2.0, "A"));
    text.SetBaseTransform(Translation(100, 0));
    text.UpdateBox();
    text.BuildGL();
    ASSERT_EQ(Drawing->Count(), 1);
    EXPECT_FALSE(text.GLObject);
    const std::vector<TPoint2D> stroke = NodesOf(Drawing->Child(0));
    ASSERT_EQ(stroke.size(), 3u);
    EXPECT_NEAR(stroke[0].X, 100, 1e-5);
    // Texts have no highlight.
    text.BuildGLHighlight();
    EXPECT_EQ(Highlight->Count(), 0);

    // The text box moves once with the text, not twice.
    const TRect2D box = text.GetTextBox();
    TRecordingCanvas canvas(200, 200);
    text.DrawOverlay(canvas, false);
    ASSERT_EQ(canvas.Calls.size(), 1u);
    const double x0 = box.First.X + 100, x1 = box.Second.X + 100;
    ExpectScreen(canvas.Calls[0].Points, {S(x0, box.First.Y), S(x0, box.Second.Y), S(x1, box.Second.Y),
                                          S(x1, box.First.Y), S(x0, box.First.Y)});
}

// The image record.

std::unique_ptr<TMemoryBitmap32> Picture(int w, int h)
{
    auto bmp = std::make_unique<TMemoryBitmap32>(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp->SetPixel(x, y, 0x80000000u | uint32_t(y * 16 + x) * 0x010203u);
    return bmp;
}

std::unique_ptr<TBitmap2D> Read(const std::vector<uint8_t>& bytes, const std::string& tag = CurrentVersionTag)
{
    TStreamReader r(bytes);
    auto obj = std::make_unique<TBitmap2D>(r, tag);
    EXPECT_TRUE(r.AtEnd());
    return obj;
}

// Offset of the BMP block in a record of a two-point image without transforms.
size_t BlockOffset(TBitmap2D& image)
{
    TBitmap2D empty(-1);
    empty.Assign(image);
    TStreamWriter w;
    empty.TPrimitive2D::SaveToStream(w);
    return w.Size();
}

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}

// The record of a two-point image of the current tag with Block as its BMP block.
std::vector<uint8_t> RecordWithBlock(const std::vector<uint8_t>& block)
{
    auto bmp = Picture(3, 2);
    TBitmap2D image(-1, {0, 0, 1}, {3, 2, 1}, *bmp);
    const std::vector<uint8_t> ours = Saved(image);
    std::vector<uint8_t> record(ours.begin(), ours.begin() + long(BlockOffset(image)));
    record.insert(record.end(), block.begin(), block.end());
    record.insert(record.end(), ours.end() - 24, ours.end()); // the values after the block
    return record;
}

TEST(ImageEntity, RecordRoundTripsBitExact)
{
    auto bmp = Picture(3, 2);
    TBitmap2D image(-1, {0, 0, 1}, {3, 2, 1}, *bmp);
    image.Alpha = 0.25f;
    image.Reserved1 = 1.5;
    const std::vector<uint8_t> bytes = Saved(image);
    const size_t at = BlockOffset(image);
    // 54 header bytes and 24 pixel bytes, rows from the top down.
    EXPECT_EQ(bytes.size(), at + 78 + 8 + 8 + 4 + 4);
    EXPECT_EQ(bytes[at], 'B');
    EXPECT_EQ(int32_t(bytes[at + 22] | bytes[at + 23] << 8 | bytes[at + 24] << 16 | bytes[at + 25] << 24), -2);

    auto back = Read(bytes);
    EXPECT_EQ(Saved(*back), bytes);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(back->Bitmap().Pixel(x, y), bmp->Pixel(x, y));
    EXPECT_EQ(back->Alpha, 0.25f);
    EXPECT_EQ(back->RasterOp, TBitmap2D::SourceCopy);

    // A copy shows the same opacity.
    TBitmap2D copy(-1);
    copy.Assign(*back);
    EXPECT_EQ(Saved(copy).size(), bytes.size());
    EXPECT_EQ(copy.Alpha, 0.25f);
    EXPECT_TRUE(copy.Points().Growable);
}

TEST(ImageEntity, OlderTagsLackTheTrailingFields)
{
    auto bmp = Picture(2, 2);
    TBitmap2D image(-1, {0, 0, 1}, {2, 2, 1}, *bmp);
    image.Alpha = 0.9f;
    std::vector<uint8_t> bytes = Saved(image);
    // "QV-3.2" stores no Alpha; "CAD4  " none of the four fields.
    bytes.resize(bytes.size() - 4);
    auto qv32 = Read(bytes, "QV-3.2");
    EXPECT_EQ(qv32->Alpha, 0.5f);
    EXPECT_EQ(qv32->RasterOp, TBitmap2D::SourceCopy);

    // Files older than "CAD422" store none of them, and a 3x3 transform in the object record.
    std::vector<uint8_t> cad4(bytes.begin(), bytes.begin() + 6);
    TStreamWriter t;
    for (double v : {1.0, 0.0, 0.0, 0.0, 1.0, 0.0, 0.0, 0.0, 1.0})
        t.WriteDouble(v);
    cad4.insert(cad4.end(), t.Bytes().begin(), t.Bytes().end());
    cad4.insert(cad4.end(), bytes.begin() + 6 + 128, bytes.end() - 20);
    auto old = Read(cad4, "CAD4  ");
    EXPECT_EQ(old->RasterOp, 0);
    EXPECT_EQ(old->Reserved1, 0);
    EXPECT_EQ(old->Alpha, 0.5f);
    EXPECT_EQ(old->Bitmap().Pixel(1, 1), bmp->Pixel(1, 1));
}

TEST(ImageEntity, ForeignBlocksAreDecoded)
{
    auto bmp = Picture(3, 2);

    // A 24-bit bottom-up block (rows padded to 4 bytes) with a 108-byte header and a gap
    // before the pixels, and a file size that includes two trailing bytes.
    std::vector<uint8_t> block(14 + 108 + 2);
    const uint32_t offset = uint32_t(block.size());
    block[0] = 'B';
    block[1] = 'M';
    PutU32(block, 10, offset);
    PutU32(block, 14, 108);
    PutU32(block, 18, 3);
    PutU32(block, 22, 2);
    block[26] = 1;
    block[28] = 24;
    for (int row = 1; row >= 0; --row) {
        for (int x = 0; x < 3; ++x) {
            const uint32_t p = bmp->Pixel(x, row);
            block.push_back(uint8_t(p));
            block.push_back(uint8_t(p >> 8));
            block.push_back(uint8_t(p >> 16));
        }
        for (int pad = 0; pad < 3; ++pad)
            block.push_back(0);
    }
    block.push_back(0xEE);
    block.push_back(0xEE);
    PutU32(block, 2, uint32_t(block.size()));

    auto back = Read(RecordWithBlock(block));
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            EXPECT_EQ(back->Bitmap().Pixel(x, y), (bmp->Pixel(x, y) & 0xFFFFFF) | 0xFF000000u);
    EXPECT_EQ(back->RasterOp, TBitmap2D::SourceCopy);
}

// Blocks of 8-bit palettes or bit fields stopped the whole drawing: the image block reads every
// form the tracer's reader reads, through the same decoder.
TEST(ImageEntity, BlocksOfEveryBmpFormAreRead)
{
    const TTestPicture picture;
    for (const auto& [name, encoding] : EveryBmpForm()) {
        SCOPED_TRACE(name);
        auto back = Read(RecordWithBlock(EncodeBmp(picture, encoding)));
        ASSERT_EQ(back->Bitmap().Width(), picture.W);
        ASSERT_EQ(back->Bitmap().Height(), picture.H);
        for (int y = 0; y < picture.H; ++y)
            for (int x = 0; x < picture.W; ++x)
                ASSERT_EQ(IsInkPixel(back->Bitmap().ScanLine(y) + 4 * x), picture.Ink(x, y))
                    << x << ", " << y;
        EXPECT_EQ(back->RasterOp, TBitmap2D::SourceCopy);
    }
}

TEST(ImageEntity, DamagedRecordsAreRefused)
{
    auto bmp = Picture(3, 2);
    TBitmap2D image(-1, {0, 0, 1}, {3, 2, 1}, *bmp);
    const std::vector<uint8_t> good = Saved(image);
    const size_t at = BlockOffset(image);
    struct Row {
        const char* Name;
        std::function<void(std::vector<uint8_t>&)> Damage;
    };
    const std::vector<Row> rows = {
        {"not BM", [&](auto& b) { b[at] = 'X'; }},
        {"width 0", [&](auto& b) { PutU32(b, at + 18, 0); }},
        {"negative width", [&](auto& b) { PutU32(b, at + 18, uint32_t(-3)); }},
        {"height 0", [&](auto& b) { PutU32(b, at + 22, 0); }},
        {"lowest height", [&](auto& b) { PutU32(b, at + 22, 0x80000000u); }},
        {"huge size",
         [&](auto& b) {
             PutU32(b, at + 18, 60000);
             PutU32(b, at + 22, uint32_t(-60000));
         }},
        {"more rows than bytes", [&](auto& b) { PutU32(b, at + 22, uint32_t(-20)); }},
        {"pixels inside the header", [&](auto& b) { PutU32(b, at + 10, 20); }},
        {"small header", [&](auto& b) { PutU32(b, at + 14, 12); }},
        {"16 bits per pixel", [&](auto& b) { b[at + 28] = 16; }},
        {"RLE compressed", [&](auto& b) { b[at + 30] = 1; }},
        {"cut short", [&](auto& b) { b.resize(at + 60); }},
        {"one corner", [&](auto& b) { b[at - 1 - 2 * 24 - 2] = 1; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.Name);
        std::vector<uint8_t> bytes = good;
        row.Damage(bytes);
        TStreamReader r(bytes);
        EXPECT_THROW(TBitmap2D(r, CurrentVersionTag), ECADFileNotValid);
    }
}

TEST_F(Display, ImagePlaneIsWeakAndSharesThePixels)
{
    auto bmp = Picture(4, 2);
    // Right to left: a mirrored picture with the same outline.
    auto& image = Own(std::make_unique<TBitmap2D>(-1, TPoint2D{4, 0, 1}, TPoint2D{0, 2, 1}, *bmp));
    image.Alpha = 0.3f;
    image.BuildGL();
    ASSERT_EQ(Drawing->Count(), 1);
    auto* plane = dynamic_cast<TTexturedPlane*>(Drawing->Child(0));
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(image.Plane.Get(), plane);
    EXPECT_EQ(plane->Width(), -4);
    EXPECT_EQ(plane->Height(), 2);
    EXPECT_EQ(plane->Centre().X, 2);
    EXPECT_EQ(plane->Color().A, 0.3f);
    EXPECT_EQ(plane->Texture().get(), &image.Bitmap());

    // Never highlighted.
    image.BuildGLHighlight();
    EXPECT_EQ(Highlight->Count(), 0);

    const uint64_t revision = plane->TextureRevision();
    image.UpdateTexture();
    EXPECT_GT(plane->TextureRevision(), revision);
    Drawing->DeleteChildren();
    EXPECT_FALSE(image.Plane);
    image.UpdateTexture();  // nothing to update, nothing touched

    TRecordingCanvas canvas(100, 100);
    image.DrawOverlay(canvas, true);
    ASSERT_EQ(canvas.Calls.size(), 1u);
    EXPECT_EQ(canvas.Calls[0].Points.size(), 5u);
    canvas.Calls.clear();
    image.DrawOverlayTransformed(canvas, IdentityMatrix);
    EXPECT_TRUE(canvas.Calls.empty());
}

// An opened picture is held once: the image shows it until its own pixels change, and a
// change never reaches the picture, which the tracer still reads untouched.
TEST_F(Display, AnImageSharesItsPictureUntilItsPixelsChange)
{
    const std::shared_ptr<const TBitmap32> picture = Picture(4, 2);
    const uint32_t original = picture->Pixel(1, 1);
    auto& image = Own(std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 2, 1}, picture));
    EXPECT_EQ(&std::as_const(image).Bitmap(), picture.get());
    image.BuildGL();
    auto* plane = dynamic_cast<TTexturedPlane*>(Drawing->Child(0));
    ASSERT_NE(plane, nullptr);
    EXPECT_EQ(plane->Texture(), picture);
    // Saved as it is shown, without a copy.
    TStreamWriter saved;
    image.SaveToStream(saved);
    EXPECT_EQ(&std::as_const(image).Bitmap(), picture.get());

    image.Bitmap().SetPixel(1, 1, 0xFF000000u);
    EXPECT_EQ(picture->Pixel(1, 1), original);
    EXPECT_EQ(image.Bitmap().Pixel(0, 1), picture->Pixel(0, 1));
    // The plane built before the change shows the image's own pixels once told.
    image.UpdateTexture();
    EXPECT_EQ(plane->Texture().get(), &image.Bitmap());

    // A caller that writes every pixel gets pixels of the picture's size, not a copy of it.
    auto& second = Own(std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{4, 2, 1}, picture));
    TBitmap32& own = second.BitmapToOverwrite();
    EXPECT_NE(&own, picture.get());
    EXPECT_EQ(own.Width(), 4);
    EXPECT_EQ(own.Height(), 2);
    EXPECT_EQ(picture->Pixel(1, 1), original);
}

TEST(ImageEntity, ReadingADrawingMakesItsImageCurrentUntilFreed)
{
    RegisterDrawingClasses();
    auto bmp = Picture(2, 2);
    TStreamWriter w;
    {
        TQV_01Cmp2D d;
        d.AddObject(-1, std::make_unique<TBitmap2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{2, 2, 1}, *bmp));
        d.SaveToStream(w);
        EXPECT_EQ(CurrentBitmap, nullptr);
    }
    {
        TQV_01Cmp2D d;
        TStreamReader r(w.Bytes());
        d.LoadFromStream(r, false);
        ASSERT_NE(CurrentBitmap, nullptr);
        EXPECT_EQ(CurrentBitmap->Bitmap().Pixel(1, 1), bmp->Pixel(1, 1));
    }
    EXPECT_EQ(CurrentBitmap, nullptr);
    QV_00ClearClassRegistry();
}

TEST(EntityClasses, RegistryHoldsTheFixedIndexes)
{
    RegisterDrawingClasses();
    const std::vector<std::pair<int16_t, const char*>> table = {
        {0, "TContainer2D"}, {1, "TSourceBlock2D"}, {2, "TBlock2D"}, {3, "TLine2D"},
        {4, "TPolyline2D"}, {5, "TPolygon2D"}, {6, "TRectangle2D"}, {7, "TEllipseOpen2D"},
        {8, "TEllipse2D"}, {9, "TFilledEllipse2D"}, {11, "TFrame2D"}, {12, "TBitmap2D"},
        {13, "TBSpline2D"}, {14, "TJustifiedVectText2D"}, {15, "TPunto2D"}, {16, "TCerchio2D"},
        {17, "TArco2D"}, {18, "TFilledCerchio2D"}, {19, "TQVBSpline2D"}, {22, "TInsert"},
    };
    for (const auto& [index, name] : table) {
        SCOPED_TRACE(name);
        EXPECT_EQ(QV_00FindClassByIndex(index).Name, name);
        EXPECT_EQ(QV_00FindClassByIndex(index).Create(-1)->ClassName(), name);
    }
    for (int16_t free : {10, 20, 21, 24, 29})
        EXPECT_THROW(QV_00FindClassByIndex(free), ECADObjClassNotFound);
    QV_00ClearClassRegistry();
}

TEST(Primitive3D, CopyKeepsThePointsAndTheRecordRoundTrips)
{
    TPrimitive3D prim(-1);
    prim.Points().SetPoint(0, {1, 2, 3, 1});
    prim.Points().SetPoint(1, {-1, 5, 0, 1});
    prim.Points().NotifyChange();
    EXPECT_EQ(prim.Box3D.First.Z, 0);
    EXPECT_EQ(prim.Box3D.Second.Z, 3);

    TPrimitive3D copy(-1);
    copy.Assign(prim);
    ASSERT_EQ(copy.Points().Count(), 2);
    EXPECT_EQ(copy.Points().Get(1).Y, 5);
    EXPECT_EQ(copy.Box.Second.Y, 5);

    const std::vector<uint8_t> bytes = Saved(prim);
    TStreamReader r(bytes);
    TPrimitive3D back(r, CurrentVersionTag);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(Saved(back), bytes);
}

}  // namespace
