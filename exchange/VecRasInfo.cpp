#include "VecRasInfo.h"

#include "Bitmap32.h"
#include "ImageProbes.h"
#include "QVCmp.h"
#include "QVGeometry.h"
#include "QVScene.h"
#include "QVStock.h"
#include "QVSurf3D.h"
#include "QVVariabili.h"
#include "UnitConfig.h"

#include <algorithm>
#include <cmath>

namespace {

double& Axis(TPoint3D& P, int A)
{
    return A == 0 ? P.X : A == 1 ? P.Y : P.Z;
}
double Axis(const TPoint3D& P, int A)
{
    return A == 0 ? P.X : A == 1 ? P.Y : P.Z;
}

} // namespace

TVecRasPlacement::TVecRasPlacement(TQV_01Cmp2D& Drawing) : Drawing(Drawing)
{
    DlgOpenGeo = this;
}

TVecRasPlacement::~TVecRasPlacement()
{
    if (DlgOpenGeo == this)
        DlgOpenGeo = nullptr;
    if (TSceneNode* box = FPreviewBox.Get())
        box->Parent()->Delete(box);
}

void TVecRasPlacement::UpdatePreviewBox(const TRect3D& R)
{
    if (!DrawingView)
        return;
    auto* box = PreviewBox();
    if (!box) {
        box = DrawingView->Group3D->Add<TLineStrip>();
        box->Name = "PreviewBox";
        box->SetColor({0, 0, 1, 0.5f});
        FPreviewBox = box->Handle();
    }
    // What is placed lies flat: the box is the rectangle of its extents.
    box->ClearNodes();
    const double x[] = {R.First.X, R.Second.X, R.Second.X, R.First.X, R.First.X};
    const double y[] = {R.First.Y, R.First.Y, R.Second.Y, R.Second.Y, R.First.Y};
    for (int i = 0; i < 5; ++i)
        box->AddNode(x[i], y[i], R.First.Z);
}

namespace {

uint8_t ConfiguredUnits()
{
    return AppConfig ? AppConfig->Units : 1;
}

} // namespace

void TVecRasPlacement::SetupDxf(const TDXF2DImport& /*Import*/)
{
    SetupSvg();
}

void TVecRasPlacement::SetupSvg()
{
    RotationAllowed = true;
    TRect2D r{};
    Drawing.GetExtents(r);
    TRect3D box;
    // A drawing with nothing visible answers an inverted box: nothing to size then.
    if (r.First.X <= r.Second.X && r.First.Y <= r.Second.Y) {
        box.First = {r.First.X, r.First.Y, 0};
        box.Second = {r.Second.X, r.Second.Y, 0};
    }
    SetExtents(box);
    Origin = {0, 0, 0};
    OriginTyped = Origin;
    if (AutoZoom)
        Drawing.ZoomToExtents(r);
    if (box.Second.X > box.First.X || box.Second.Y > box.First.Y)
        UpdatePreviewBox(box);
}

void TVecRasPlacement::SetupBmp(const TBitmap32& Picture)
{
    uint16_t bits = 0;
    bool compressed = false;
    int32_t xDpi = 0, yDpi = 0;
    ReadBmpInfo(CurrentFile.FileName, bits, compressed, xDpi, yDpi);
    Bits = bits;
    ResolutionX = xDpi;
    ResolutionY = yDpi;
    SetImageSize(Picture.Width(), Picture.Height(), ConfiguredUnits());
    SetOriginByCorner(ocBottomLeft);
}

void TVecRasPlacement::SetupJpeg(const TBitmap32& Picture)
{
    uint16_t x = 0, y = 0;
    ReadJpegDensity(CurrentFile.FileName, x, y);
    Bits = 24;
    ResolutionX = x;
    ResolutionY = y;
    SetImageSize(Picture.Width(), Picture.Height(), ConfiguredUnits());
    SetOriginByCorner(ocBottomLeft);
}

void TVecRasPlacement::SetupStl(TQV_STLSurf& Surface)
{
    StlMode = true;
    SurfaceID = Surface.ID;
    SetExtents(Surface.Box3D);
    Origin = {0, 0, 0};
    OriginTyped = Origin;
    UpdateStlPreviewBox();
    if (AutoZoom)
        Drawing.ZoomToExtents();
}

TQV_STLSurf* TVecRasPlacement::Surface() const
{
    return SurfaceID < 0 ? nullptr : dynamic_cast<TQV_STLSurf*>(Drawing.GetObject(SurfaceID));
}

void TVecRasPlacement::UpdateStlPreviewBox()
{
    if (TQV_STLSurf* surface = Surface(); surface && Grezzo)
        Grezzo->SetBox(surface->Box3D);
}

void TVecRasPlacement::SetExtents(const TRect3D& R)
{
    Extents = R;
    SizeX = R.Second.X - R.First.X;
    SizeY = R.Second.Y - R.First.Y;
    SizeZ = R.Second.Z - R.First.Z;
}

void TVecRasPlacement::SetImageSize(int W, int H, uint8_t Units)
{
    TRect3D r;
    r.Second.X = W;
    r.Second.Y = H;
    SetExtents(r);
    if (ResolutionX > 0) {
        const double s = (Units == 1 ? 25.4 : 1.0) / ResolutionX;
        Scale = {s, s, s};
    }
}

bool TVecRasPlacement::AxisSizable(int Axis) const
{
    const double size = Axis == 0 ? SizeX : Axis == 1 ? SizeY : SizeZ;
    // A size of 0 has no scale to find: dividing by it would put infinities into every object.
    return std::isfinite(size) && size > 0;
}

double TVecRasPlacement::ScaledSize(int A) const
{
    const double size = A == 0 ? SizeX : A == 1 ? SizeY : SizeZ;
    return size * ::Axis(Scale, A);
}

bool TVecRasPlacement::SetSize(int A, double Value)
{
    // A size of 0 would flatten the drawing by a singular matrix that no later Apply can undo.
    if (A < 0 || A > 2 || !std::isfinite(Value) || Value <= 0 || !AxisSizable(A))
        return false;
    const double size = A == 0 ? SizeX : A == 1 ? SizeY : SizeZ;
    const double s = Value / size;
    if (!std::isfinite(s) || s <= 0)
        return false;
    if (RatioLock)
        Scale = {s, s, s};
    else
        ::Axis(Scale, A) = s;
    SetApplied(false);
    return true;
}

void TVecRasPlacement::SetRotation(double Degrees)
{
    if (!RotationAllowed || !std::isfinite(Degrees))
        return;
    Rotation = Degrees;
    SetApplied(false);
}

void TVecRasPlacement::SetOriginByCorner(int K)
{
    const double x1 = Extents.First.X, y1 = Extents.First.Y, x2 = Extents.Second.X, y2 = Extents.Second.Y;
    switch (K) {
    case ocFileZero:
        Origin = {0, 0, 0};
        break;
    case ocBottomLeft:
        Origin.X = x1, Origin.Y = y1;
        break;
    case ocTopLeft:
        Origin.X = x1, Origin.Y = y2;
        break;
    case ocTopRight:
        Origin.X = x2, Origin.Y = y2;
        break;
    case ocBottomRight:
        Origin.X = x2, Origin.Y = y1;
        break;
    case ocCentre:
        Origin.X = x1 + SizeX / 2, Origin.Y = y1 + SizeY / 2;
        break;
    default:
        return;
    }
    OriginTyped = Origin;
    OriginManual = false;
    UpdateOriginEdits();
    SetApplied(false);
}

void TVecRasPlacement::SetZOrigin(bool Top)
{
    Origin.Z = Top ? Extents.Second.Z : Extents.First.Z;
    OriginTyped.Z = Origin.Z;
    UpdateOriginEdits();
    SetApplied(false);
}

void TVecRasPlacement::SetOriginTyped(int A, double Value)
{
    if (A < 0 || A > 2 || !std::isfinite(Value))
        return;
    ::Axis(OriginTyped, A) = Value;
    ::Axis(Origin, A) = Value / ::Axis(Scale, A);
    OriginManual = true;
    SetApplied(false);
}

void TVecRasPlacement::SetOriginPoint(const TPoint2D& P)
{
    Origin.X += P.X / Scale.X;
    Origin.Y += P.Y / Scale.Y;
}

TPoint3D TVecRasPlacement::ScaledOrigin() const
{
    return {Origin.X * Scale.X, Origin.Y * Scale.Y, Origin.Z * Scale.Z};
}

TMatrix4 TVecRasPlacement::PlacementMatrix() const
{
    const TPoint3D o = ScaledOrigin();
    TMatrix4 m = TMatrix4::CreateTranslation(-o.X, -o.Y, 0);
    if (RotationAllowed && !IsEqual(Rotation, 0)) {
        m.Multiply(m, TMatrix4::CreateRotation(true, Rotation));
        // The box of the extents turned about (0, 0), as the points are: scaled first, so the
        // box is that of what is drawn.
        const TMatrix4 turn = TMatrix4::CreateRotation(true, Rotation);
        double minX = INFINITY, minY = INFINITY;
        for (const double x : {Extents.First.X, Extents.Second.X})
            for (const double y : {Extents.First.Y, Extents.Second.Y}) {
                const TPoint2D p = turn.TransformPoint2D({x * Scale.X, y * Scale.Y, 1});
                minX = std::min(minX, p.X);
                minY = std::min(minY, p.Y);
            }
        m.Multiply(m, TMatrix4::CreateTranslation(-(o.X + minX), -(o.Y + minY), 0));
    }
    if (Scale.X != 1 || Scale.Y != 1 || Scale.Z != 1)
        m.Multiply(TMatrix4::CreateScale(Scale.X, Scale.Y, 1), m);
    return m;
}

void TVecRasPlacement::Apply(bool Zoom)
{
    if (StlMode)
        ApplyStlPlacement(Zoom);
    else
        ApplyPlacement(Zoom);
}

void TVecRasPlacement::ApplyStlPlacement(bool Zoom)
{
    UpdateOriginEdits();
    TQV_STLSurf* surface = Surface();
    if (!surface)
        return;
    const TPoint3D o = ScaledOrigin();
    TMatrix4 m = TMatrix4::CreateScale(Scale.X, Scale.Y, Scale.Z);
    m.Multiply(m, TMatrix4::CreateTranslation(-o.X, -o.Y, -o.Z));
    // The placement is the surface's whole transform, so a save between two Applies (which
    // bakes a model transform into the base) cannot make them add up.
    surface->SetBaseTransform(m);
    surface->UpdateBox();
    surface->BuildGL();
    Drawing.RepaintViews();
    UpdateStlPreviewBox();
    if (Zoom && AutoZoom)
        Drawing.ZoomToExtents();
}

void TVecRasPlacement::ApplyPlacement(bool Zoom)
{
    UpdateOriginEdits();
    const TMatrix4 m = PlacementMatrix();
    const bool repaint = Drawing.RepaintAfterTransform;
    Drawing.RepaintAfterTransform = false;
    try {
        if (!Placement.IsEqual(IdentityMatrix)) {
            TMatrix4 inverse;
            inverse.Invert(Placement);
            Drawing.TransformObjects({-1}, inverse);
        }
        Placement.LoadIdentity();
        if (!m.IsEqual(IdentityMatrix))
            Drawing.TransformObjects({-1}, m);
        Placement.Assign(&m);
    } catch (...) {
        Drawing.RepaintAfterTransform = repaint;
        throw;
    }
    Drawing.RepaintAfterTransform = repaint;
    Drawing.RepaintViews();
    if (!Zoom)
        return;
    TRect2D r{};
    Drawing.GetExtents(r);
    if (AutoZoom)
        Drawing.ZoomToExtents(r);
    if (r.First.X <= r.Second.X && r.First.Y <= r.Second.Y)
        UpdatePreviewBox({{r.First.X, r.First.Y, 0, 1}, {r.Second.X, r.Second.Y, 0, 1}});
}

void TVecRasPlacement::ApplyClick()
{
    Apply(true);
    SetApplied(true);
}

void TVecRasPlacement::DoneClick()
{
    Apply(false);
}

void TVecRasPlacement::SetApplied(bool Applied)
{
    FApplied = Applied;
    AppliedChanged();
}
