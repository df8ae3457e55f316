#include "QVSurf3D.h"

#include "QVCmp.h"
#include "QVDisplay.h"
#include "QVGeometry.h"
#include "QVScene.h"
#include "QVStock.h"
#include "SceneBatch.h"
#include "SceneStl.h"

#include <algorithm>
#include <array>

// ---- the 3D line ----

TLine3D::TLine3D(int32_t id) : TPrimitive3D(id) {}

TLine3D::TLine3D(int32_t id, const TPoint3D& p0, const TPoint3D& p1) : TPrimitive3D(id)
{
    CreatePointsSet(2);
    Points().Put(0, p0);
    Points().Put(1, p1);
    UpdateBox();
}

TLine3D::TLine3D(TStreamReader& stream, const std::string& versionTag) : TPrimitive3D(stream, versionTag) {}

std::unique_ptr<TGraphicObject> TLine3D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TLine3D>(id);
}

bool TLine3D::WorldEnds(const TMatrix4& m, TPoint3D& a, TPoint3D& b) const
{
    // A record from a file may hold fewer points than a line needs.
    if (Points().Count() < 2)
        return false;
    TMatrix4 t;
    t.Multiply(m, GetModelTransform());
    a = t.TransformPoint3D(Points().Get(0));
    b = t.TransformPoint3D(Points().Get(1));
    return true;
}

TSceneNode* TLine3D::BuildGLIn(TSceneGroup& group)
{
    TPoint3D a, b;
    if (!WorldEnds(IdentityMatrix, a, b))
        return nullptr;
    // The scene's default width, not the layer's pen width.
    const TSceneColor color = EntityLineStyle(*this).Color;
    if (group.BatchShapes) {
        TFlatBatch& batch = BatchAtEnd(group);
        batch.BeginStrip(color, 1);
        batch.AddStripPoint(a.X, a.Y, a.Z);
        batch.AddStripPoint(b.X, b.Y, b.Z);
        batch.EndStrip();
        return nullptr;
    }
    auto* strip = group.Add<TLineStrip>();
    strip->AddNode(a.X, a.Y, a.Z);
    strip->AddNode(b.X, b.Y, b.Z);
    strip->SetNodesShown(false);
    strip->SetColor(color);
    return strip;
}

void TLine3D::DrawOverlay(TCanvas2D& canvas, bool)
{
    DrawOverlayTransformed(canvas, IdentityMatrix);
}

void TLine3D::DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m)
{
    TPoint3D a, b;
    if (!DrawingView || !WorldEnds(m, a, b))
        return;
    const TPoint p = DrawingView->Point3DToScreen(a), q = DrawingView->Point3DToScreen(b);
    canvas.Line(p.X, p.Y, q.X, q.Y);
}

TRect TLine3D::GetScreenRect() const
{
    TPoint3D a, b;
    if (!DrawingView || !WorldEnds(IdentityMatrix, a, b))
        return {};
    const TPoint p = DrawingView->Point3DToScreen(a), q = DrawingView->Point3DToScreen(b);
    return {std::min(p.X, q.X), std::min(p.Y, q.Y), std::max(p.X, q.X), std::max(p.Y, q.Y)};
}

// ---- the STL surface ----

namespace {

// The header of the blocks the drawing file holds: any printable text serves.
const std::string StlBlockHeader = "nomefile.stl";

} // namespace

std::shared_ptr<const TQV_STLSurf::TData> TQV_STLSurf::MakeData(std::vector<TMeshTriangle> triangles)
{
    auto data = std::make_shared<TData>();
    data->Triangles = std::move(triangles);
    // All triangles, whichever solid of a text file they came from.
    if (!data->Triangles.empty()) {
        const TVector3f& f = data->Triangles.front().V[0];
        TPoint3D lo{f.X, f.Y, f.Z}, hi = lo;
        for (const TMeshTriangle& t : data->Triangles)
            for (const TVector3f& v : t.V) {
                lo = {std::min<double>(lo.X, v.X), std::min<double>(lo.Y, v.Y), std::min<double>(lo.Z, v.Z)};
                hi = {std::max<double>(hi.X, v.X), std::max<double>(hi.Y, v.Y), std::max<double>(hi.Z, v.Z)};
            }
        data->Extents = {lo, hi};
    }
    return data;
}

TQV_STLSurf::TQV_STLSurf(int32_t id) : TObject3D(id), FData(MakeData({})) {}

TQV_STLSurf::TQV_STLSurf(int32_t id, std::vector<TMeshTriangle> triangles)
    : TObject3D(id), FData(MakeData(std::move(triangles)))
{
    ComputeBox();
}

TQV_STLSurf::TQV_STLSurf(TStreamReader& stream, const std::string& versionTag)
    : TObject3D(stream, versionTag), FData(MakeData(ReadStlBlock(stream)))
{
    ComputeBox();
}

TQV_STLSurf::~TQV_STLSurf()
{
    // A deleted surface leaves the view at once.
    if (TSceneNode* mesh = Mesh.Get())
        mesh->Parent()->Delete(mesh);
}

std::unique_ptr<TGraphicObject> TQV_STLSurf::CreateSameClass(int32_t id) const
{
    return std::make_unique<TQV_STLSurf>(id);
}

void TQV_STLSurf::ComputeBox()
{
    if (FData->Triangles.empty()) {
        SetBox3D(MakeRect3D(0, 0, 0, 0, 0, 0));
        return;
    }
    SetBox3D(TransformRect3D(FData->Extents, GetModelTransform()));
}

void TQV_STLSurf::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    WriteStlBlock(stream, FData->Triangles, StlBlockHeader);
}

void TQV_STLSurf::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TObject2D::Assign(source);
    // The triangles too: a copy without them would show and save nothing.
    if (const auto* other = dynamic_cast<const TQV_STLSurf*>(&source)) {
        FData = other->FData;
        UpdateBox();
    }
}

void TQV_STLSurf::BuildGL()
{
    if (!DrawingView || !DrawingView->Group3D)
        return;
    auto* mesh = static_cast<TMesh*>(Mesh.Get());
    if (!mesh) {
        mesh = DrawingView->Group3D->Add<TMesh>();
        mesh->Name = "Base000";
        mesh->SetBlended(true);
        mesh->SetTriangles(FData->Triangles);
        Mesh = mesh->Handle();
        // A surface in the view needs the depth test to look solid; the stock box wraps it.
        DrawingView->Scene->SetDepthTest(true);
        if (Grezzo)
            Grezzo->SetBox(Box3D);
    }
    // The mesh follows its surface: moved, turned and scaled as the surface is.
    const TMatrix4 m = GetModelTransform();
    if (!mesh->Matrix().IsEqual(m))
        mesh->SetMatrix(m);
    const TSceneColor color = LayerSceneColor(*this);
    if (!(mesh->Color() == color))
        mesh->SetColor(color);
    mesh->SetVisible(Visible);
    GLObject = Mesh;
}

void TQV_STLSurf::DrawOverlay(TCanvas2D& canvas, bool)
{
    if (!DrawingView)
        return;
    const TPoint3D a = Box3D.First, b = Box3D.Second;
    const std::array<TPoint3D, 10> corners{{{a.X, a.Y, a.Z},
                                            {a.X, b.Y, a.Z},
                                            {b.X, b.Y, a.Z},
                                            {b.X, a.Y, a.Z},
                                            {a.X, a.Y, a.Z},
                                            {a.X, a.Y, b.Z},
                                            {a.X, b.Y, b.Z},
                                            {b.X, b.Y, b.Z},
                                            {b.X, a.Y, b.Z},
                                            {a.X, a.Y, b.Z}}};
    std::vector<TPoint> screen;
    screen.reserve(corners.size());
    for (const TPoint3D& p : corners)
        screen.push_back(DrawingView->Point3DToScreen(p));
    canvas.Polyline(screen);
}

TQV_STLSurf* AddStlSurface(TQV_01Cmp2D& drawing, const std::string& fileName)
{
    // Read first: an unreadable file adds nothing.
    auto surface = std::make_unique<TQV_STLSurf>(-1, ReadStlFile(fileName));
    TQV_STLSurf* added = drawing.AddObject(-1, std::move(surface));
    if (Grezzo)
        Grezzo->SetBox(added->Box3D);
    return added;
}
