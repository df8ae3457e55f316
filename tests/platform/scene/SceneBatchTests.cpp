// Dirty marking and the per-group batches: what the renderer uploads and in which order it draws.
#include "Bitmap32.h"
#include "SceneBatch.h"
#include "SceneCamera.h"
#include "SceneViewer.h"

#include <gtest/gtest.h>

#include <numeric>

namespace {
TLineStrip* Strip(TSceneGroup& G, float Width, std::initializer_list<TVector2D> Nodes)
{
    auto* s = G.Add<TLineStrip>();
    s->SetLineWidth(Width);
    for (const auto& n : Nodes)
        s->AddNode(n.X, n.Y, 0);
    return s;
}

std::vector<TBatchPrim> Prims(const TGroupBatch& B)
{
    std::vector<TBatchPrim> out;
    for (const auto& c : B.Commands)
        out.push_back(c.Prim);
    return out;
}

double Area(const std::vector<TVector2D>& P, const std::vector<uint32_t>& Tri)
{
    double a = 0;
    for (size_t i = 0; i + 2 < Tri.size(); i += 3) {
        const TVector2D &p = P[Tri[i]], &q = P[Tri[i + 1]], &r = P[Tri[i + 2]];
        a += ((q.X - p.X) * (r.Y - p.Y) - (q.Y - p.Y) * (r.X - p.X)) / 2;
    }
    return a;
}
} // namespace

TEST(SceneNodes, ChangesMarkOnlyTheGroupHoldingTheLeaf)
{
    TScene scene;
    auto* a = scene.Root().Add<TSceneGroup>();
    auto* b = scene.Root().Add<TSceneGroup>();
    auto* s = Strip(*a, 1, {{0, 0}, {1, 1}});
    for (TSceneGroup* g : {&scene.Root(), a, b})
        g->ClearDirty();
    s->SetNode(1, 2, 2, 0);
    EXPECT_TRUE(a->Dirty());
    EXPECT_FALSE(b->Dirty());
    EXPECT_FALSE(scene.Root().Dirty());
    a->ClearDirty();
    a->SetVisible(false); // hiding a group rebuilds nothing
    EXPECT_FALSE(scene.Root().Dirty());
    b->DeleteChildren(); // empty already: nothing to rebuild
    EXPECT_FALSE(b->Dirty());
    a->DeleteChildren();
    EXPECT_TRUE(a->Dirty());
    EXPECT_EQ(a->Count(), 0);
}

TEST(SceneNodes, HandlesForgetNodesTheViewFreed)
{
    TScene scene;
    auto* g = scene.Root().Add<TSceneGroup>();
    auto* plane = g->Add<TTexturedPlane>();
    const TSceneNodeHandle h = plane->Handle();
    EXPECT_EQ(h.Get(), plane);
    g->DeleteChildren();
    EXPECT_EQ(h.Get(), nullptr);
    EXPECT_FALSE(TSceneNodeHandle());
    auto* kept = g->Add<TLineStrip>();
    auto owned = g->Release(kept); // handed out, not freed: the handle still sees it
    EXPECT_EQ(kept->Handle().Get(), kept);
    EXPECT_EQ(kept->Parent(), nullptr);
}

TEST(SceneNodes, EditingANodeOutsideTheStripRaises)
{
    TScene scene;
    auto* s = Strip(scene.Root(), 1, {{0, 0}});
    EXPECT_THROW(s->SetNode(1, 0, 0, 0), std::exception);
    EXPECT_THROW(s->SetNode(-1, 0, 0, 0), std::exception);
}

TEST(SceneBatch, AlikeNeighboursShareOneCommandAndTreeOrderHolds)
{
    TScene scene;
    TSceneGroup& g = scene.Root();
    Strip(g, 1, {{0, 0}, {1, 0}, {1, 1}});
    Strip(g, 1, {{5, 5}, {6, 6}});
    auto* poly = g.Add<TPolygonNode>();
    for (auto [x, y] : {std::pair{0, 0}, {4, 0}, {4, 4}})
        poly->AddNode(x, y, 0);
    Strip(g, 1, {{0, 0}, {9, 9}});
    Strip(g, 2, {{0, 0}, {9, 9}});
    auto* sub = g.Add<TSceneGroup>();
    Strip(g, 2, {{0, 0}, {9, 9}});
    const TGroupBatch b = BuildGroupBatch(g, 1024);
    ASSERT_EQ(Prims(b), (std::vector{TBatchPrim::Lines, TBatchPrim::Triangles, TBatchPrim::Lines,
                                     TBatchPrim::Lines, TBatchPrim::Lines}));
    EXPECT_EQ(b.Commands[0].Count, 6u); // two strips: 2 + 1 segments
    EXPECT_EQ(b.Commands[2].Size, 1);
    EXPECT_EQ(b.Commands[3].Size, 2);
    ASSERT_EQ(b.Items.size(), 3u); // the subgroup splits the run
    EXPECT_EQ(b.Items[0].CommandCount, 4u);
    EXPECT_EQ(b.Items[1].Node, sub);
    EXPECT_EQ(b.Items[2].CommandCount, 1u);
    // Segments index the strip's own nodes.
    EXPECT_EQ(std::vector<uint32_t>(b.Indices.begin(), b.Indices.begin() + 6),
              (std::vector<uint32_t>{0, 1, 1, 2, 3, 4}));
}

TEST(SceneBatch, HiddenLeavesAreLeftOutAndHiddenGroupsKeepTheirPlace)
{
    TScene scene;
    TSceneGroup& g = scene.Root();
    Strip(g, 1, {{0, 0}, {1, 0}})->SetVisible(false);
    auto* sub = g.Add<TSceneGroup>();
    sub->SetVisible(false);
    const TGroupBatch b = BuildGroupBatch(g, 1024);
    EXPECT_TRUE(b.Commands.empty());
    EXPECT_TRUE(b.Flat.empty());
    ASSERT_EQ(b.Items.size(), 1u);
    EXPECT_EQ(b.Items[0].Node, sub);
}

TEST(SceneBatch, NodeMarkersAndPointsCarryTheirSize)
{
    TScene scene;
    auto* s = Strip(scene.Root(), 1, {{0, 0}, {1, 0}});
    s->SetNodesShown(true);
    s->SetNodeSize(4);
    auto* p = scene.Root().Add<TPointCloud>();
    p->AddPoint(3, 3, 0);
    p->SetPointSize(5);
    p->SetSmooth(true);
    const TGroupBatch b = BuildGroupBatch(scene.Root(), 1024);
    ASSERT_EQ(Prims(b), (std::vector{TBatchPrim::Lines, TBatchPrim::Points, TBatchPrim::Points}));
    EXPECT_EQ(b.Commands[1].Size, 4);
    EXPECT_FALSE(b.Commands[1].Smooth);
    EXPECT_EQ(b.Commands[2].Size, 5);
    EXPECT_TRUE(b.Commands[2].Smooth);
}

TEST(SceneBatch, LeafMatricesAreBakedIn)
{
    TScene scene;
    auto* s = Strip(scene.Root(), 1, {{1, 2}, {3, 4}});
    s->SetMatrix(TMatrix4::CreateTranslation(10, 20, 30));
    const TGroupBatch b = BuildGroupBatch(scene.Root(), 1024);
    ASSERT_EQ(b.Flat.size(), 2u);
    EXPECT_FLOAT_EQ(b.Flat[0].X, 11);
    EXPECT_FLOAT_EQ(b.Flat[0].Y, 22);
    EXPECT_FLOAT_EQ(b.Flat[1].Z, 30);
}

TEST(SceneBatch, PolygonsOpaqueUnlessBlended)
{
    TScene scene;
    auto* p = scene.Root().Add<TPolygonNode>();
    for (auto [x, y] : {std::pair{0, 0}, {4, 0}, {4, 4}, {0, 4}})
        p->AddNode(x, y, 0);
    p->SetColor({1, 0, 0, 0.5f});
    EXPECT_EQ(BuildGroupBatch(scene.Root(), 1024).Flat[0].A, 255);
    p->SetBlended(true);
    EXPECT_EQ(BuildGroupBatch(scene.Root(), 1024).Flat[0].A, 128);
}

TEST(SceneBatch, LargePicturesAreSplitIntoTiles)
{
    EXPECT_EQ(TextureTiles(200, 100, 64).size(), 8u); // 4 columns, 2 rows
    const auto last = TextureTiles(200, 100, 64).back();
    EXPECT_EQ(last.X, 192);
    EXPECT_EQ(last.W, 8);
    EXPECT_EQ(last.H, 36);
    EXPECT_EQ(TextureTiles(10000, 10000, 16384).size(), 1u);
    EXPECT_TRUE(TextureTiles(0, 10, 64).empty());

    TScene scene;
    auto* plane = scene.Root().Add<TTexturedPlane>();
    plane->SetTexture(std::make_shared<TMemoryBitmap32>(200, 100));
    plane->SetRect(100, 50, 0, 200, 100); // one world unit per pixel
    const TGroupBatch b = BuildGroupBatch(scene.Root(), 64);
    ASSERT_EQ(b.Commands.size(), 8u);
    // The last tile covers columns 192..199 and rows 64..99, row 0 being the top (Y = 100).
    const TBatchCommand& c = b.Commands.back();
    EXPECT_EQ(c.Tile, 7);
    EXPECT_EQ(c.Depth, TDepthMode::Off);
    EXPECT_FALSE(c.DepthWrite);
    const TSurfaceVertex& first = b.Surface[c.First];
    EXPECT_FLOAT_EQ(first.X, 192);
    EXPECT_FLOAT_EQ(first.Y, 100 - 64);
    EXPECT_FLOAT_EQ(b.Surface[c.First + 2].X, 200);
    EXPECT_FLOAT_EQ(b.Surface[c.First + 2].Y, 0);
}

TEST(SceneBatch, SolidsGiveClosedShells)
{
    TScene scene;
    auto* box = scene.Root().Add<TBoxNode>();
    box->SetSize(2, 4, 6);
    box->SetBlended(true);
    box->SetDepthTest(false);
    auto* ex = scene.Root().Add<TExtrusionNode>();
    ex->SetContour({{0, 0}, {10, 0}, {10, 20}, {0, 20}});
    ex->SetHeight(5);
    const TGroupBatch b = BuildGroupBatch(scene.Root(), 1024);
    ASSERT_EQ(b.Commands.size(), 2u);
    EXPECT_EQ(b.Commands[0].Count, 36u);
    EXPECT_TRUE(b.Commands[0].Blend);
    EXPECT_EQ(b.Commands[0].Depth, TDepthMode::Off);
    EXPECT_EQ(b.Commands[1].Count, 36u); // 4 walls and two caps of two triangles each
    float minZ = 1e9, maxZ = -1e9;
    for (uint32_t i = 0; i < b.Commands[1].Count; ++i) {
        minZ = std::min(minZ, b.Surface[b.Commands[1].First + i].Z);
        maxZ = std::max(maxZ, b.Surface[b.Commands[1].First + i].Z);
    }
    EXPECT_EQ(minZ, 0);
    EXPECT_EQ(maxZ, 5);
}

TEST(SceneBatch, MeshesFollowTheirMatrixAndGetMissingNormals)
{
    TScene scene;
    auto* mesh = scene.Root().Add<TMesh>();
    mesh->AddTriangle({{}, {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}); // no normal stored
    TMatrix4 m = TMatrix4::CreateScale(2, 2, 2);
    m.Translate(5, 0, 0);
    mesh->SetMatrix(m);
    const TGroupBatch b = BuildGroupBatch(scene.Root(), 1024);
    ASSERT_EQ(b.Surface.size(), 3u);
    EXPECT_FLOAT_EQ(b.Surface[1].X, 7); // (1, 0, 0) scaled by 2, then moved by 5
    EXPECT_FLOAT_EQ(b.Surface[0].NZ, 1);
}

TEST(Triangulate, FillsEveryOutlineWithoutHanging)
{
    struct TCase {
        const char* Name;
        std::vector<TVector2D> Points;
        double Area;
    };
    const std::vector<TCase> cases = {
        {"square", {{0, 0}, {4, 0}, {4, 4}, {0, 4}}, 16},
        {"clockwise square", {{0, 0}, {0, 4}, {4, 4}, {4, 0}}, 16},
        {"concave L", {{0, 0}, {4, 0}, {4, 1}, {1, 1}, {1, 4}, {0, 4}}, 7},
        {"closed with repeated start", {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {0, 0}}, 16},
        {"repeated and collinear nodes", {{0, 0}, {2, 0}, {2, 0}, {4, 0}, {4, 4}, {0, 4}}, 16},
        {"comb",
         {{0, 0}, {6, 0}, {6, 3}, {5, 3}, {5, 1}, {4, 1}, {4, 3}, {3, 3}, {3, 1}, {2, 1}, {2, 3}, {0, 3}},
         14},
        {"too few", {{0, 0}, {1, 1}}, 0},
        {"all on a line", {{0, 0}, {1, 0}, {2, 0}}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        const auto tri = TriangulatePolygon(c.Points);
        EXPECT_EQ(tri.size() % 3, 0u);
        EXPECT_NEAR(std::abs(Area(c.Points, tri)), c.Area, 1e-9);
    }
    // A bow tie crosses itself: it must end, with some fill and no index outside the outline.
    const std::vector<TVector2D> bow = {{0, 0}, {4, 4}, {4, 0}, {0, 4}};
    for (uint32_t i : TriangulatePolygon(bow))
        EXPECT_LT(i, 4u);
}

TEST(RecordingViewer, RecordsTheFrameInTreeOrder)
{
    TScene scene;
    auto* rig = scene.Root().Add<TSceneGroup>();
    rig->Name = "CameraPivot";
    auto* cam = rig->Add<TCameraNode>();
    cam->Target = rig;
    cam->SetPosition(0, -0.0001, 100);
    auto* drawing = scene.Root().Add<TSceneGroup>();
    drawing->Name = "Drawing";
    auto* overlay = scene.Root().Add<TRenderCallback>();
    overlay->Name = "Overlay";
    overlay->OnRender = [](TRenderContext& ctx) {
        TCanvas2D& c = ctx.OpenCanvas();
        c.SetPenColor(0x0000FF);
        c.SetPenWidth(2);
        c.Line(0, 0, ctx.Width, ctx.Height);
    };
    auto* text = scene.Root().Add<THudText>();
    text->SetText("ready");
    text->SetPlace(20, 580);
    auto* hidden = scene.Root().Add<TSceneGroup>();
    hidden->Name = "Hidden";
    hidden->SetVisible(false);

    TRecordingViewer viewer(800, 600);
    scene.OnChange = [&] { viewer.Invalidate(); };
    viewer.RenderFrame(scene, *cam);
    EXPECT_EQ(viewer.Drawn,
              (std::vector<std::string>{"CameraPivot", "Camera", "Drawing", "Overlay", "HudText"}));
    ASSERT_EQ(viewer.CanvasCalls.size(), 1u);
    EXPECT_EQ(viewer.CanvasCalls[0].Color, 0x0000FFu);
    EXPECT_EQ(viewer.CanvasCalls[0].Width, 2);
    EXPECT_EQ(viewer.CanvasCalls[0].Points[1].X, 800);
    EXPECT_EQ(viewer.HudTexts, (std::vector<std::string>{"ready@20,580"}));
    text->SetText("");
    EXPECT_EQ(viewer.Invalidations, 1);
}
