#include "QVScene.h"

#include "QVBoxIndex.h"
#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVVariabili.h"
#include "UnitConfig.h"

#include <algorithm>
#include <cmath>

TQVScene* DrawingView = nullptr;

int32_t PickRank(int32_t HitCode)
{
    return HitCode >= 0 ? 0 : HitCode;
}

namespace {
constexpr uint32_t Red = 0x0000FF;
constexpr uint32_t Yellow = 0x00FFFF;

TLineStrip* AddAxis(TSceneGroup& G, const char* Name, TSceneColor C, float Width)
{
    auto* s = G.Add<TLineStrip>();
    s->Name = Name;
    s->SetColor(C);
    s->SetLineWidth(Width);
    return s;
}
} // namespace

TQVScene::TQVScene() : Scene(std::make_unique<TScene>())
{
    TSceneGroup& root = Scene->Root();
    CameraRig = root.Add<TSceneGroup>();
    CameraRig->Name = "CameraPivot";
    HighlightGroup = root.Add<TSceneGroup>();
    HighlightGroup->Name = "HighlightGroup";
    ChainMarksGroup = root.Add<TSceneGroup>();
    ChainMarksGroup->Name = "ChainMarksGroup";
    ChainGroup = root.Add<TSceneGroup>();
    ChainGroup->Name = "ChainGroup";
    DrawingGroup = root.Add<TSceneGroup>();
    DrawingGroup->Name = "DrawingGroup";
    Group3D = root.Add<TSceneGroup>();
    Group3D->Name = "Group3D";
    TargetGroup = DrawingGroup;

    Overlay = root.Add<TRenderCallback>();
    Overlay->Name = "Overlay";
    Overlay->OnRender = [this](TRenderContext& C) { RenderOverlay(C); };

    Camera = CameraRig->Add<TCameraNode>();
    Camera->Name = "Camera";
    Camera->Up = {0, 0, 1};
    // Not straight above: the up vector would lie along the view. The small offset makes +Y point
    // up on the screen and lets orbiting turn about Z.
    Camera->SetPosition(0, -0.0001, 100);
    Camera->FocalLength = 10;
    Camera->Target = CameraRig;
    Camera->DepthOfView = 300;
    Camera->SceneScale = 0.3;

    Light = root.Add<TLightNode>();
    Light->Name = "Light";
    Light->SetPosition(0, -100, 60);

    Scene->SetBackgroundColor(SceneColorFromTColor(uint32_t(AppConfig ? AppConfig->BackGroundColor : 0x808080)));
    Scene->SetDepthTest(false);

    StatusText = root.Add<THudText>();
    StatusText->Name = "StatusText";
    StatusText->Align = THudAlign::Left;
    StatusText->Layout = THudLayout::Top;
    StatusText->SetPlace(20, 0);
    StatusText->SetColor(SceneColorFromTColor(Yellow));
    ScaleText = root.Add<THudText>();
    ScaleText->Name = "ScaleText";
    ScaleText->Align = THudAlign::Centre;
    // Centred on the bar: the length stands above it and the unit below, in any font size.
    ScaleText->Layout = THudLayout::Centre;
    ScaleText->SetPlace(20, 0);
    ScaleText->SetColor(SceneColorFromTColor(Yellow));

    LimitsBox = root.Add<TBoxNode>();
    LimitsBox->Name = "LimitsBox";
    LimitsBox->SetColor({0.1f, 0.1f, 0.74f, 0.4f});
    LimitsBox->SetBlended(true);
    LimitsBox->SetVisible(false);

    AxesGroup = root.Add<TSceneGroup>();
    AxesGroup->Name = "AxesGroup";
    AxisX = AddAxis(*AxesGroup, "AxisX", {1, 0, 0, 0.5f}, 2);
    AxisX->AddNode(-1, 0, 0);
    AxisX->AddNode(1, 0, 0);
    AxisY = AddAxis(*AxesGroup, "AxisY", {0, 1, 0, 0.5f}, 2);
    AxisY->AddNode(0, -1, 0);
    AxisY->AddNode(0, 1, 0);
    AxisZ = AddAxis(*AxesGroup, "AxisZ", {0, 0, 1, 0.5f}, 1);
    AxisZ->AddNode(0, 0, -1);
    AxisZ->AddNode(0, 0, 1);

    GridVisible = true;
    InitGrid();
}

TQVScene::~TQVScene()
{
    if (DrawingView == this)
        DrawingView = nullptr;
    AttachViewer(nullptr);
    OverlayObjects.clear();
}

void TQVScene::AttachViewer(TSceneViewer* V)
{
    if (Viewer) {
        Viewer->OnMouseDown = nullptr;
        Viewer->OnMouseMove = nullptr;
        Viewer->OnMouseUp = nullptr;
    }
    Viewer = V;
    if (!Viewer)
        return;
    Viewer->OnMouseDown = [this](const TViewerMouseEvent& E) { ViewerMouseDown(E); };
    Viewer->OnMouseMove = [this](const TViewerMouseEvent& E) { ViewerMouseMove(E); };
    Viewer->OnMouseUp = [this](const TViewerMouseEvent& E) { ViewerMouseUp(E); };
    if (!Scene->OnChange)
        Scene->OnChange = [this] {
            if (Viewer)
                Viewer->Invalidate();
        };
}

void TQVScene::AttachDrawing(TQV_01Cmp2D* D)
{
    Drawing = D;
    if (D) {
        D->View = this;
        D->AddView(this);
    }
}

// ---- world and screen

int TQVScene::ViewerWidth() const
{
    return Viewer ? Viewer->ViewerWidth() : 0;
}

int TQVScene::ViewerHeight() const
{
    return Viewer ? Viewer->ViewerHeight() : 0;
}

TSceneView TQVScene::View() const
{
    return TSceneView(*Camera, ViewerWidth(), ViewerHeight());
}

TPoint TQVScene::VectorToScreen(const TVector3f& V) const
{
    return View().VectorToScreen(V);
}

TPoint TQVScene::Point3DToScreen(const TPoint3D& P) const
{
    return VectorToScreen({float(P.X), float(P.Y), float(P.Z)});
}

TPoint TQVScene::WorldToScreen(const TPoint2D& P) const
{
    return VectorToScreen({float(P.X), float(P.Y), 0});
}

void TQVScene::WorldToScreenMany(const TPoint2D* P, size_t Count, TPoint* Out) const
{
    const TSceneView v = View();
    for (size_t i = 0; i < Count; ++i)
        Out[i] = v.VectorToScreen({float(P[i].X), float(P[i].Y), 0});
}

TPoint3D TQVScene::ScreenToWorld(int X, int Y) const
{
    return View().ScreenToWorld(X, Y);
}

bool TQVScene::ScreenToWorldPlane(double X, double Y, TPoint2D& P) const
{
    if (!Viewer)
        return false;
    const TSceneView v = View();
    const double wy = double(v.Height()) - Y;
    const TVector3D p0 = v.Unproject(X, wy, 0), p1 = v.Unproject(X, wy, 1);
    const double dz = p1.Z - p0.Z;
    // Seen edge-on the plane has no point under the pixel.
    if (!(std::fabs(dz) > 1e-12))
        return false;
    const double t = -p0.Z / dz;
    P = TPoint2D{p0.X + t * (p1.X - p0.X), p0.Y + t * (p1.Y - p0.Y), 1};
    return std::isfinite(P.X) && std::isfinite(P.Y);
}

double TQVScene::PixelSize() const
{
    return View().PixelSize();
}

// ---- overlay

void TQVScene::Repaint()
{
    if (Viewer)
        Viewer->Invalidate();
}

void TQVScene::SetRubberBandObject(TGraphicObject* Obj)
{
    OverlayMode |= OverlayRubberBand;
    RubberBandObject = Obj;
    Repaint();
}

void TQVScene::ShowOverlayObjects(bool ShowCP)
{
    OverlayMode |= OverlayObjectsAndAperture;
    ApertureBoxShown = true;
    ShowControlPoints = ShowCP;
    Repaint();
}

void TQVScene::ShowOverlayObjectsOnly()
{
    OverlayMode = OverlayObjectsOnly;
    Repaint();
}

void TQVScene::ResetOverlay()
{
    if (OverlayMode == OverlayIdle)
        return;
    OverlayMode = OverlayIdle;
    OverlayObjects.clear();
    Repaint();
}

void TQVScene::SetSelectionRectStart(const TPoint2D& P)
{
    const TPoint s = WorldToScreen(P);
    SelectionRect[0] = s;
    SelectionRect[4] = s;
    SelectionRect[1].Y = s.Y;
    SelectionRect[3].X = s.X;
}

void TQVScene::SetSelectionRectEnd(const TPoint2D& P)
{
    const TPoint e = WorldToScreen(P);
    SelectionRect[2] = e;
    SelectionRect[1].X = e.X;
    SelectionRect[3].Y = e.Y;
}

// ---- zoom and camera

void TQVScene::ZoomToBox(const TRect3D& B)
{
    const TVector3f p1{float(B.First.X), float(B.First.Y), float(B.First.Z)};
    const TVector3f p2{float(B.Second.X), float(B.Second.Y), float(B.Second.Z)};
    const double cx = (double(p1.X) + p2.X) * 0.5, cy = (double(p1.Y) + p2.Y) * 0.5,
                 cz = (double(p1.Z) + p2.Z) * 0.5;
    const double dx = std::fabs(double(p2.X) - p1.X), dy = std::fabs(double(p2.Y) - p1.Y),
                 dz = std::fabs(double(p2.Z) - p1.Z);
    const double diagonal = std::sqrt(dx * dx + dy * dy + dz * dz);
    CameraRig->SetPosition(cx, cy, cz);
    // A point (a one-point drawing) has no size to fit: keep the scale, only centre it.
    if (!(diagonal > SystemTol()) || !std::isfinite(diagonal))
        return;
    // The diagonal across the width leaves a margin around a squarish box; a box taller than
    // the viewer's aspect would be cut off, so its height decides then.
    const double aspect = double(std::max(ViewerWidth(), 1)) / std::max(ViewerHeight(), 1);
    const double h = std::max(diagonal, dy * aspect) * 0.5;
    const TVector3D dir = NormalizeVector3D(Camera->Position());
    Camera->SetPosition(dir.X * 10 * h, dir.Y * 10 * h, dir.Z * 10 * h);
    Camera->SceneScale = 10 / (2 * h);
    Camera->DepthOfView = 20 * h;
    Camera->Changed();
}

void TQVScene::ZoomToScreenRect(const TRect& R)
{
    const int minX = std::min(R.Left, R.Right), maxX = std::max(R.Left, R.Right);
    const int minY = std::min(R.Top, R.Bottom), maxY = std::max(R.Top, R.Bottom);
    const TPoint3D a = ScreenToWorld(minX, minY), b = ScreenToWorld(maxX, maxY);
    ZoomToBox(TRect3D{{a.X, a.Y, a.Z, 1}, {b.X, b.Y, b.Z, 1}});
}

void TQVScene::ZoomToSelectionRect()
{
    ZoomToScreenRect(TRect{SelectionRect[0].X, SelectionRect[2].Y, SelectionRect[1].X, SelectionRect[0].Y});
}

void TQVScene::ZoomToExtents()
{
    if (Drawing)
        Drawing->ZoomToExtents();
    else
        ZoomToBox(GridBox());
}

TRect3D TQVScene::GridBox() const
{
    return TRect3D{{GridMin.X, GridMin.Y, 0, 1}, {GridMax.X, GridMax.Y, 0, 1}};
}

void TQVScene::ShowBusy(bool Busy)
{
    if (OnShowBusy)
        OnShowBusy(Busy);
}

void TQVScene::ZoomAt(double F, int X, int Y)
{
    if (!(F > 0) || !std::isfinite(F))
        return;
    const TPoint3D before = ScreenToWorld(X, Y);
    Camera->Zoom(F);
    const TPoint3D after = ScreenToWorld(X, Y);
    const TVector3D p = CameraRig->Position();
    CameraRig->SetPosition(p.X + before.X - after.X, p.Y + before.Y - after.Y, p.Z);
}

void TQVScene::Pan(int FromX, int FromY, int ToX, int ToY)
{
    const TPoint3D a = ScreenToWorld(ToX, ToY), b = ScreenToWorld(FromX, FromY);
    const TVector3D p = CameraRig->Position();
    CameraRig->SetPosition(p.X + b.X - a.X, p.Y + b.Y - a.Y, p.Z);
}

// ---- mouse

void TQVScene::ViewerMouseDown(const TViewerMouseEvent& E)
{
    LastX = E.X;
    LastY = E.Y;
    Dragging = true;
}

void TQVScene::ViewerMouseUp(const TViewerMouseEvent&)
{
    Dragging = false;
}

void TQVScene::ViewerMouseMove(const TViewerMouseEvent& E)
{
    CurX = E.X;
    CurY = E.Y;
    // The middle button pans with or without keys: the interaction program gives it to no task.
    if (Dragging && E.MiddleDown && !E.LeftDown) {
        Pan(LastX, LastY, E.X, E.Y);
    } else if (Dragging && E.LeftDown) {
        const int dx = LastX - E.X, dy = LastY - E.Y;
        if (E.Shift) {
            Pan(LastX, LastY, E.X, E.Y);
        } else if (E.Ctrl) {
            Camera->Zoom(std::pow(1.1, dy));
        } else if (E.Alt) {
            Camera->Orbit(dy, dx);
            const TVector3D c = Camera->AbsolutePosition();
            Light->SetPosition(c.X, c.Y, c.Z);
        }
    }
    LastX = E.X;
    LastY = E.Y;
}

// ---- picking

TObject2D* TQVScene::Pick(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode,
                          const std::function<bool(const TObject2D&)>& Accept)
{
    if (!Drawing || Drawing->IsBlocked())
        return nullptr;
    const double a = PixelSize() * Aperture;
    // Only the objects whose box comes near P, from the drawing's box index, in drawing order.
    if (!Drawing->BoxIndex().ObjectsAt(P, a, PickCandidates))
        return nullptr;
    // Nothing may change the drawing while the candidates' hit tests run.
    TExclusiveGraphicObjIterator it = Drawing->ObjectsExclusiveIterator();
    double bestDist = a;
    HitCode = HitMiss;
    TObject2D* result = nullptr;
    for (TObject2D* obj : PickCandidates) {
        // Hidden objects, objects on hidden or locked layers and auxiliary ones are never picked.
        if (!obj->UseLayerStyle || !obj->Enabled || !obj->Visible)
            continue;
        const TQV_21Layer& layer = Drawing->Layers.GetLayer(obj->Layer);
        if (!layer.Active || !layer.Visible)
            continue;
        const TRect2D& b = obj->Box;
        // How far P lies outside the box on either axis: no hit can be nearer, so an object whose
        // box is farther than the best hit so far cannot take its place and needs no hit test.
        // With the whole drawing in view the aperture holds hundreds of objects; only the few
        // near P are tested.
        const double outside =
            std::max({std::min(b.First.X, b.Second.X) - P.X, P.X - std::max(b.First.X, b.Second.X),
                      std::min(b.First.Y, b.Second.Y) - P.Y, P.Y - std::max(b.First.Y, b.Second.Y), 0.0});
        if (outside > bestDist)
            continue;
        if (Accept && !Accept(*obj))
            continue;
        double dist = NoHitDistance;
        const int32_t code = obj->HitTest(P, dist, a);
        if (code == HitMiss)
            continue;
        if (PickRank(code) >= PickRank(HitCode) && dist <= bestDist) {
            result = obj;
            HitCode = code;
            bestDist = dist;
            if (FirstHit)
                break;
        }
    }
    return result;
}

TObject2D* TQVScene::PickObject(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode)
{
    return Pick(P, Aperture, FirstHit, HitCode, nullptr);
}

TObject2D* TQVScene::PickPointOrArc(const TPoint2D& P, uint16_t Aperture, bool FirstHit, int32_t& HitCode,
                                    bool PointsOnly)
{
    return Pick(P, Aperture, FirstHit, HitCode, [PointsOnly](const TObject2D& O) {
        if (PointsOnly)
            return dynamic_cast<const TPunto2D*>(&O) != nullptr;
        return dynamic_cast<const TCerchio2D*>(&O) != nullptr || dynamic_cast<const TArco2D*>(&O) != nullptr;
    });
}

// ---- groups and rebuilding

void TQVScene::ClearGroup(TSceneGroup& G)
{
    G.DeleteChildren();
    G.Changed();
    ShowStatusText("");
    if (ClearToolMarkerFlag)
        ClearToolMarkerFlag();
}

void TQVScene::RebuildAll(bool RenewStock)
{
    ResetOverlay();
    DrawingGroup->DeleteChildren();
    if (RenewStock) {
        if (FreeStock)
            FreeStock();
        Group3D->DeleteChildren();
        if (CreateStock)
            CreateStock();
    }
    DrawingGroup->Changed();
    HighlightGroup->DeleteChildren();
    ShowStatusText("");
    if (HideAllPaths)
        HideAllPaths();
    if (Drawing) {
        {
            // The shapes of the whole drawing go straight into the group's batch arrays, without
            // a node per entity: building and later uploading them costs about their vertices
            // alone.
            struct TBatching {
                TSceneGroup& Group;
                explicit TBatching(TSceneGroup& G) : Group(G) { Group.BatchShapes = true; }
                ~TBatching() { Group.BatchShapes = false; }
            } batching(*DrawingGroup);
            Drawing->RebuildGLObjects();
        }
        Drawing->BoxIndex().Refresh();
    }
}

void TQVScene::ShowStatusText(const std::string& Text)
{
    if (StatusText->Text() == Text && StatusText->Y() == ViewerHeight() - 20)
        return;
    StatusText->SetPlace(20, ViewerHeight() - 20);
    StatusText->SetText(Text);
}

void TQVScene::UpdateScaleText()
{
    const int w = ViewerWidth(), h = ViewerHeight();
    const std::string text = FormatCoord(PixelSize() * 50) + "\n\r" + (AppConfig ? AppConfig->UnitName : "mm");
    // Only real changes: the overlay calls this while a frame is drawn.
    if (ScaleText->X() != w - 35 || ScaleText->Y() != h - ScaleBarRise)
        ScaleText->SetPlace(w - 35, h - ScaleBarRise);
    if (ScaleText->Text() != text)
        ScaleText->SetText(text);
}

bool TQVScene::AxesVisible() const
{
    return AxisX->Visible();
}

void TQVScene::SetAxesVisible(bool Value)
{
    AxesGroup->SetVisible(Value);
    AxisX->SetVisible(Value);
    AxisY->SetVisible(Value);
    AxisZ->SetVisible(Value);
    ScaleText->SetText("");
    Repaint();
}

// ---- the overlay frame

void TQVScene::SetAxisNodes(double Half)
{
    const float lo = float(-Half), hi = float(Half);
    // Only real changes: a node change during a frame would ask for the next frame.
    auto set = [](TLineStrip& S, int I, float X, float Y, float Z) {
        const TVector3f& n = S.Nodes()[size_t(I)];
        if (n.X != X || n.Y != Y || n.Z != Z)
            S.SetNode(I, X, Y, Z);
    };
    set(*AxisX, 0, lo, 0, 0);
    set(*AxisX, 1, hi, 0, 0);
    set(*AxisY, 0, 0, lo, 0);
    set(*AxisY, 1, 0, hi, 0);
    set(*AxisZ, 0, 0, 0, lo);
    set(*AxisZ, 1, 0, 0, hi);
}

void TQVScene::DrawTripod(TCanvas2D& Canvas, const TRenderContext& Context)
{
    const int h = Context.Height;
    const auto& mv = Context.ModelView;
    auto rotate = [&mv](double X, double Y, double Z) {
        return TPoint{RoundPixel(X * mv[0] + Y * mv[4] + Z * mv[8]), RoundPixel(X * mv[1] + Y * mv[5] + Z * mv[9])};
    };
    Canvas.SetPenWidth(1);
    Canvas.SetPenColor(Yellow);
    const int ox = 40, oy = h - 40;
    for (int axis = 0; axis < 3; ++axis) {
        const TPoint v = rotate(axis == 0 ? 30 : 0, axis == 1 ? 30 : 0, axis == 2 ? 30 : 0);
        Canvas.Line(ox, oy, ox + v.X, oy - v.Y);
        const TPoint l = rotate(axis == 0 ? 34 : 0, axis == 1 ? 36 : 0, axis == 2 ? 34 : 0);
        const int cx = ox + l.X, cy = oy - l.Y;
        if (axis == 0) {
            Canvas.Line(cx - 3, cy - 4, cx + 3, cy + 4);
            Canvas.Line(cx + 3, cy - 4, cx - 3, cy + 4);
        } else if (axis == 1) {
            Canvas.Line(cx - 3, cy - 4, cx, cy);
            Canvas.Line(cx, cy, cx + 3, cy - 4);
            Canvas.Line(cx, cy, cx, cy + 4);
        } else {
            Canvas.Line(cx - 3, cy - 3, cx + 3, cy - 3);
            Canvas.Line(cx + 3, cy - 3, cx - 3, cy + 4);
            Canvas.Line(cx - 3, cy + 4, cx + 3, cy + 4);
        }
    }
    const int k = Context.Width - 60, j = h - ScaleBarRise;
    Canvas.Line(k, j, k + 50, j);
    Canvas.Line(k, h - 23, k, h - 17);
    Canvas.Line(k + 50, j - 3, k + 50, j + 3);
}

void TQVScene::RenderOverlay(TRenderContext& Context)
{
    if (SolidSimShown && OnRenderSolidSim)
        OnRenderSolidSim(Context);
    const bool axes = AxesVisible();
    if (OverlayMode == OverlayIdle && !axes)
        return;
    TCanvas2D& canvas = Context.OpenCanvas();
    canvas.SetPenColor(Red);
    canvas.SetPenWidth(2);
    if ((OverlayMode & OverlayRubberBand) && RubberBandObject)
        RubberBandObject->DrawOverlay(canvas, false);
    if (OverlayMode & OverlayObjectsAndAperture) {
        for (TGraphicObject* o : OverlayObjects)
            o->DrawOverlay(canvas, ShowControlPoints);
        if (ApertureBoxShown)
            canvas.Polyline(ApertureBox);
    }
    if (OverlayMode & OverlaySelectionRect)
        canvas.Polyline(SelectionRect);
    if (OverlayMode & OverlayObjectsOnly)
        for (TGraphicObject* o : OverlayObjects)
            o->DrawOverlay(canvas, ShowControlPoints);
    if (axes) {
        SetAxisNodes(25 * PixelSize());
        DrawTripod(canvas, Context);
        UpdateScaleText();
    }
    if (ToolMarkerShown && ToolMarkerShown() && SizeToolMarker)
        SizeToolMarker(PixelSize());
}
