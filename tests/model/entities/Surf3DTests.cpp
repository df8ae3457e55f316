// The 3D line, the STL surface and the stock box, in the program's view on a viewer in memory.
#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVStock.h"
#include "QVStream.h"
#include "QVSurf3D.h"
#include "SceneStl.h"
#include "StlFixtures.h"
#include "UnitCurva.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

void ExpectRect3D(const TRect3D& r, double x1, double y1, double z1, double x2, double y2, double z2)
{
    EXPECT_DOUBLE_EQ(r.First.X, x1);
    EXPECT_DOUBLE_EQ(r.First.Y, y1);
    EXPECT_DOUBLE_EQ(r.First.Z, z1);
    EXPECT_DOUBLE_EQ(r.Second.X, x2);
    EXPECT_DOUBLE_EQ(r.Second.Y, y2);
    EXPECT_DOUBLE_EQ(r.Second.Z, z2);
}

std::vector<float> Floats(const std::vector<TMeshTriangle>& triangles)
{
    std::vector<float> out;
    for (const TMeshTriangle& t : triangles)
        for (const TVector3f& v : t.V)
            out.insert(out.end(), {v.X, v.Y, v.Z});
    return out;
}

class Surf3D : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterDrawingClasses();
        DrawingView = &View;
        View.AttachViewer(&Viewer);
        View.AttachDrawing(&Cmp);
        InstallStockBox(View);
    }
    void TearDown() override
    {
        Cmp.DeleteAllObjects();
        DrawingView = nullptr;
    }

    TQV_STLSurf* AddBox(double x1, double y1, double z1, double x2, double y2, double z2)
    {
        TQV_STLSurf* s =
            Cmp.AddObject(-1, std::make_unique<TQV_STLSurf>(-1, BoxMesh(x1, y1, z1, x2, y2, z2)));
        if (Grezzo)
            Grezzo->SetBox(s->Box3D);
        return s;
    }
    int MeshesIn3D() const
    {
        int n = 0;
        for (int i = 0; i < View.Group3D->Count(); ++i)
            n += View.Group3D->Child(i)->Kind() == TSceneNodeKind::Mesh;
        return n;
    }
    std::vector<uint8_t> Saved()
    {
        TStreamWriter w;
        Cmp.SaveToStream(w);
        return w.TakeBytes();
    }

    TRecordingViewer Viewer{200, 200};
    TQVScene View;
    TQV_01Cmp2D Cmp;
};

TEST_F(Surf3D, TheBoxComesFromTheMeshAndTheStockBoxWrapsIt)
{
    TQV_STLSurf* s = AddBox(0, 0, 0, 10, 20, 5);
    ExpectRect3D(s->Box3D, 0, 0, 0, 10, 20, 5);
    EXPECT_DOUBLE_EQ(s->Box.First.X, 0);
    EXPECT_DOUBLE_EQ(s->Box.Second.X, 10);
    EXPECT_DOUBLE_EQ(s->Box.Second.Y, 20);

    ASSERT_NE(Grezzo, nullptr);
    EXPECT_DOUBLE_EQ(Grezzo->Position().Z, 0);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 5);
    const std::vector<TVector2D> want{{0, 0}, {10, 0}, {10, 20}, {0, 20}};
    ASSERT_EQ(Grezzo->Contour().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].X, want[i].X) << i;
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].Y, want[i].Y) << i;
    }

    Grezzo->SetMarginX(2);
    Grezzo->SetMarginY(1);
    Grezzo->SetZBottom(-3);
    const std::vector<TVector2D> wide{{-2, -1}, {12, -1}, {12, 21}, {-2, 21}};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].X, wide[i].X) << i;
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].Y, wide[i].Y) << i;
    }
    EXPECT_DOUBLE_EQ(Grezzo->Position().Z, -3);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 8);

    // A contour that is not the four-corner rectangle has no corners for margins to move.
    Grezzo->SetContour({{0, 0}, {1, 0}, {0, 1}});
    Grezzo->SetMarginX(5);
    EXPECT_DOUBLE_EQ(Grezzo->Contour()[1].X, 1);
    Grezzo->Refresh();
    EXPECT_EQ(Grezzo->Contour().size(), 4u);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 5);
}

// The stock box follows the first chain of a list (an arc by its end point); no chain, no change.
TEST_F(Surf3D, TheStockBoxTakesTheFirstChainsContour)
{
    AddBox(0, 0, 0, 10, 20, 5);
    ASSERT_NE(Grezzo, nullptr);
    TListaDiCurve chains;
    Grezzo->SetFromChains(chains);
    EXPECT_EQ(Grezzo->Contour().size(), 4u);
    for (int k = 0; k < 2; ++k) {
        auto c = std::make_unique<TACurva>();
        c->AddVertex(TAVertice::CreatePoint({0, 0}, 0));
        c->AddVertex(TAVertice::CreatePoint({30.0 + k, 0}, 0));
        c->AddVertex(TAVertice::CreateFull(1, {0, 30}, {0, 0}, 0));
        chains.Add(std::move(c));
    }
    Grezzo->SetFromChains(chains);
    const std::vector<TVector2D> want{{0, 0}, {30, 0}, {0, 30}};
    ASSERT_EQ(Grezzo->Contour().size(), want.size());
    for (size_t i = 0; i < want.size(); ++i) {
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].X, want[i].X) << i;
        EXPECT_DOUBLE_EQ(Grezzo->Contour()[i].Y, want[i].Y) << i;
    }
}

TEST_F(Surf3D, AShownSurfaceHasItsMeshInThe3DGroupAndSwitchesTheDepthTestOn)
{
    EXPECT_FALSE(View.Scene->DepthTest());
    TQV_STLSurf* s = AddBox(0, 0, 0, 1, 1, 1);
    EXPECT_TRUE(View.Scene->DepthTest());
    auto* mesh = static_cast<TMesh*>(s->Mesh.Get());
    ASSERT_NE(mesh, nullptr);
    EXPECT_EQ(mesh->Parent(), View.Group3D);
    EXPECT_EQ(mesh->Name, "Base000");
    EXPECT_TRUE(mesh->Blended());
    EXPECT_EQ(mesh->Triangles().size(), 12u);
    // Rebuilding the view keeps the one mesh; renewing the stock box makes it again, once.
    View.RebuildAll(false);
    EXPECT_EQ(MeshesIn3D(), 1);
    View.RebuildAll(true);
    EXPECT_EQ(MeshesIn3D(), 1);
    ASSERT_NE(Grezzo, nullptr);
    EXPECT_EQ(Grezzo->Parent(), View.Group3D);
    EXPECT_DOUBLE_EQ(Grezzo->Height(), 1);
    // A deleted surface leaves the view at once.
    Cmp.DeleteAllObjects();
    EXPECT_EQ(MeshesIn3D(), 0);
}

TEST_F(Surf3D, TheMeshFollowsTheSurfacesTransform)
{
    TQV_STLSurf* s = AddBox(-1, -1, -1, 1, 1, 1);
    TMatrix4 m = TMatrix4::CreateScale(2, 2, 2);
    m.Multiply(m, TMatrix4::CreateTranslation(5, 0, 0));
    s->TransformBy(m);
    s->BuildGL();
    auto* mesh = static_cast<TMesh*>(s->Mesh.Get());
    ASSERT_NE(mesh, nullptr);
    EXPECT_DOUBLE_EQ(mesh->Position().X, 5);
    EXPECT_DOUBLE_EQ(mesh->Matrix().M[0], 2);
    EXPECT_DOUBLE_EQ(mesh->Matrix().M[5], 2);
    EXPECT_DOUBLE_EQ(mesh->Matrix().M[10], 2);
    ExpectRect3D(s->Box3D, 3, -2, -2, 7, 2, 2);

    // Saved and read back, the transform places the mesh the same way.
    const std::vector<uint8_t> bytes = Saved();
    Cmp.DeleteAllObjects();
    TStreamReader r(bytes);
    Cmp.LoadFromStream(r, false);
    ASSERT_EQ(Cmp.ObjectsCount(), 1);
    auto it = Cmp.ObjectsIterator();
    auto* back = dynamic_cast<TQV_STLSurf*>(it.First());
    ASSERT_NE(back, nullptr);
    auto* backMesh = static_cast<TMesh*>(back->Mesh.Get());
    ASSERT_NE(backMesh, nullptr);
    EXPECT_DOUBLE_EQ(backMesh->Position().X, 5);
    EXPECT_DOUBLE_EQ(backMesh->Matrix().M[10], 2);
    ExpectRect3D(back->Box3D, 3, -2, -2, 7, 2, 2);
    EXPECT_EQ(MeshesIn3D(), 1);
}

TEST_F(Surf3D, ASavedSurfaceReadsBackWithTheSameTrianglesAndBox)
{
    TQV_STLSurf* s = AddBox(0.1, 0.2, 0.3, 10.7, 20.9, 5.5);
    // The record is the object part and a binary block of 84 + 50 x 12 bytes.
    TStreamWriter part;
    TObject2D(-1).SaveToStream(part);
    TStreamWriter whole;
    s->SaveToStream(whole);
    EXPECT_EQ(whole.TakeBytes().size() - part.TakeBytes().size(), 684u);

    const std::vector<float> before = Floats(s->Triangles());
    const TRect3D box = s->Box3D;
    const std::vector<uint8_t> bytes = Saved();
    Cmp.DeleteAllObjects();
    TStreamReader r(bytes);
    Cmp.LoadFromStream(r, false);
    auto it = Cmp.ObjectsIterator();
    auto* back = dynamic_cast<TQV_STLSurf*>(it.First());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(Floats(back->Triangles()), before);
    ExpectRect3D(back->Box3D, box.First.X, box.First.Y, box.First.Z, box.Second.X, box.Second.Y,
                 box.Second.Z);
    // A copy keeps the triangles.
    auto copy = CopyGraphicObject(*back);
    EXPECT_EQ(Floats(static_cast<TQV_STLSurf&>(*copy).Triangles()), before);
}

TEST_F(Surf3D, ADamagedBlockIsAFileErrorAndChangesNothing)
{
    AddBox(0, 0, 0, 1, 1, 1);
    const std::vector<uint8_t> good = Saved();
    TStreamWriter w;
    TQV_STLSurf(-1, BoxMesh(0, 0, 0, 1, 1, 1)).SaveToStream(w);
    const std::vector<uint8_t> record = w.TakeBytes();
    const size_t countAt = record.size() - 600 - 4;
    struct Case {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"cut inside the triangles", {record.begin(), record.end() - 7}});
    cases.push_back({"cut inside the header", {record.begin(), record.begin() + long(countAt) - 10}});
    std::vector<uint8_t> huge = record;
    huge[countAt + 3] = 0x7F; // about two thousand million triangles
    cases.push_back({"a count past the bytes", huge});
    for (const Case& c : cases) {
        TStreamReader r(c.Bytes);
        EXPECT_THROW(TQV_STLSurf(r, CurrentVersionTag), ECADFileNotValid) << c.Name;
    }
    // Reading a record leaves the view alone.
    const int children = View.Group3D->Count();
    TStreamReader r(record);
    TQV_STLSurf temporary(r, CurrentVersionTag);
    EXPECT_EQ(View.Group3D->Count(), children);
    EXPECT_EQ(Saved(), good);
}

TEST_F(Surf3D, TheOverlayIsTheBoxOutlineAndTheScreenRectIsEmpty)
{
    TQV_STLSurf* s = AddBox(0, 0, 0, 10, 20, 5);
    TRecordingCanvas canvas(200, 200);
    s->DrawOverlay(canvas, true);
    ASSERT_EQ(canvas.Calls.size(), 1u);
    ASSERT_EQ(canvas.Calls[0].Points.size(), 10u);
    const auto P = [&](double x, double y, double z) { return View.Point3DToScreen({x, y, z, 1}); };
    const TPoint want[10] = {P(0, 0, 0), P(0, 20, 0), P(10, 20, 0), P(10, 0, 0), P(0, 0, 0),
                             P(0, 0, 5), P(0, 20, 5), P(10, 20, 5), P(10, 0, 5), P(0, 0, 5)};
    for (size_t i = 0; i < 10; ++i) {
        EXPECT_EQ(canvas.Calls[0].Points[i].X, want[i].X) << i;
        EXPECT_EQ(canvas.Calls[0].Points[i].Y, want[i].Y) << i;
    }
    for (const double zoom : {1.0, 0.01, 100.0}) {
        View.ZoomAt(zoom, 50, 50);
        const TRect r = s->GetScreenRect();
        EXPECT_EQ(r.Left, 0);
        EXPECT_EQ(r.Top, 0);
        EXPECT_EQ(r.Right, 0);
        EXPECT_EQ(r.Bottom, 0);
    }
}

TEST_F(Surf3D, TheLinesOverlayAndDisplayCoincideUnderAnUnappliedTransform)
{
    TLine3D* line =
        Cmp.AddObject(-1, std::make_unique<TLine3D>(-1, TPoint3D{0, 0, 0, 1}, TPoint3D{4, 2, 0, 1}));
    line->TransformBy(TMatrix4::CreateTranslation(3, 1, 0));
    View.DrawingGroup->DeleteChildren();
    auto* strip = dynamic_cast<TLineStrip*>(line->BuildGLIn(*View.DrawingGroup));
    ASSERT_NE(strip, nullptr);
    ASSERT_EQ(strip->NodeCount(), 2);
    EXPECT_FLOAT_EQ(strip->Nodes()[0].X, 3);
    EXPECT_FLOAT_EQ(strip->Nodes()[1].X, 7);
    EXPECT_FLOAT_EQ(strip->LineWidth(), 1);

    TRecordingCanvas canvas(200, 200);
    line->DrawOverlay(canvas, true);
    ASSERT_EQ(canvas.Calls.size(), 1u);
    const TPoint a = View.WorldToScreen({3, 1, 1}), b = View.WorldToScreen({7, 3, 1});
    EXPECT_EQ(canvas.Calls[0].Points[0].X, a.X);
    EXPECT_EQ(canvas.Calls[0].Points[1].Y, b.Y);
    const TRect r = line->GetScreenRect();
    EXPECT_EQ(r.Left, std::min(a.X, b.X));
    EXPECT_EQ(r.Bottom, std::max(a.Y, b.Y));

    // A record without two points shows nothing.
    TLine3D empty(-1);
    EXPECT_EQ(empty.BuildGLIn(*View.DrawingGroup), nullptr);
    canvas.Calls.clear();
    empty.DrawOverlay(canvas, false);
    EXPECT_TRUE(canvas.Calls.empty());
    EXPECT_EQ(empty.GetScreenRect().Right, 0);
}

TEST_F(Surf3D, BothClassesAreRegistered)
{
    EXPECT_EQ(QV_00FindClassIndex("TLine3D"), 30);
    EXPECT_EQ(QV_00FindClassIndex("TQV_STLSurf"), 31);
}

} // namespace
