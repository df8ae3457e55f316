#include "QVCurves.h"

#include "CADExceptions.h"
#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVStream.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <utility>

TLiveInfoPanel* LiveInfoPanel = nullptr;
std::function<bool()> InteractionSuspended;

namespace {

constexpr double TwoPi = 2 * std::numbers::pi;
// Set as both angles of a new arc, so that the setters see a change for any angle given.
constexpr double AngleMarker = 999.123;

TRect2D ZeroBox() { return MakeRect2D(0, 0, 0, 0); }

// atan2 answers -pi for a point straight left of the centre when its Y difference is -0.0;
// angles are kept in (-pi, pi].
double NormalAngle(double a) { return a <= -std::numbers::pi ? std::numbers::pi : a; }

double AngleOf(double dy, double dx) { return NormalAngle(std::atan2(dy, dx)); }

// The world point of an object point, made cartesian.
TPoint2D ToWorld(const TMatrix4& m, const TPoint2D& p) { return CartesianPoint2D(m.TransformPoint2D(p)); }

// Centre and radii of the ellipse inscribed in the box of control points 0 and 1.
void EllipseOfCorners(const TPointsSet2D& points, double& cx, double& cy, double& rx, double& ry)
{
    const TPoint2D p0 = CartesianPoint2D(points.Get(0));
    const TPoint2D p1 = CartesianPoint2D(points.Get(1));
    cx = (p0.X + p1.X) / 2;
    cy = (p0.Y + p1.Y) / 2;
    rx = std::abs(p1.X - p0.X) / 2;
    ry = std::abs(p1.Y - p0.Y) / 2;
}

// N + 1 points of a closed circle or ellipse, from (cx + rx, cy) clockwise back to it.
void FillClosedProfile(TPointsSet2D& profile, int n, double cx, double cy, double rx, double ry)
{
    const double step = TwoPi / n;
    profile.Add(MakePoint2D(cx + rx, cy));
    for (int k = 1; k < n; ++k)
        profile.Add(MakePoint2D(cx + rx * std::cos(k * step), cy - ry * std::sin(k * step)));
    profile.Add(MakePoint2D(cx + rx, cy));
}

// The determinant of the transform's 2D part: negative when it mirrors.
double Determinant2D(const TMatrix4& m) { return m.M[0] * m.M[5] - m.M[1] * m.M[4]; }

}  // namespace

// ---- TCurve2D ----

TCurve2D::TCurve2D(int32_t id, int capacity, uint16_t precision)
    : TOutline2D(id, capacity), FPrecision(precision)
{
}

TCurve2D::TCurve2D(int32_t id, int capacity, uint16_t precision, int32_t color, uint8_t lineWidth,
                   const TMatrix4& transform)
    : TOutline2D(id, capacity, color, lineWidth, transform), FPrecision(precision)
{
}

TCurve2D::TCurve2D(TStreamReader& stream, const std::string& versionTag)
    : TCurve2D(stream, versionTag, TPointsSetBase::MaxPoints, "TCurve2D")
{
}

TCurve2D::TCurve2D(TStreamReader& stream, const std::string& versionTag, int capacity, const char* className)
    : TOutline2D(stream, versionTag, capacity, className)
{
    FPrecision = stream.ReadUInt16();
    FKeepProfile = stream.ReadByte() != 0;
}

TCurve2D::~TCurve2D()
{
    FProfileUses = 0;
    FProfile.reset();
}

std::unique_ptr<TGraphicObject> TCurve2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TCurve2D>(id, 0, ShapePrecision);
}

void TCurve2D::ComputeBox()
{
    if (Points().Count() == 0) {
        // The box keeps its value; a kept profile must not show a shape that is gone.
        if (FProfile)
            FProfile->Clear();
        return;
    }
    if (FProfile) {
        // A profile held now (kept, or in use) is refilled in place, so a pointer to it stays
        // valid.
        if (FProfileUses > 0)
            --FProfileUses;
        SetBox(MakeProfile());
    } else {
        SetBox(TracedBox());
    }
}

void TCurve2D::SaveToStream(TStreamWriter& stream)
{
    TOutline2D::SaveToStream(stream);
    stream.WriteUInt16(FPrecision);
    stream.WriteByte(FKeepProfile ? 1 : 0);
}

void TCurve2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TOutline2D::Assign(source);
    // The points are gone; a kept profile must not show them until the shape copies its own.
    if (FProfile && dynamic_cast<const TPrimitive2D*>(&source))
        FProfile->Clear();
    if (const auto* other = dynamic_cast<const TCurve2D*>(&source)) {
        FPrecision = other->FPrecision;
        FKeepProfile = other->FKeepProfile;
    }
}

int32_t TCurve2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    const int32_t r = TObject2D::HitTest(pt, dist, aperture);
    if (r != HitInsideBox)
        return r;
    TProfileUse use(*this);
    double d;
    const int32_t code = PolylineHitTest(GetProfilePoints()->Points(), pt, false, GetModelTransform(), aperture, d);
    dist = std::min(aperture, d);
    return std::max(HitInsideBox, code);
}

TPointsSet2D* TCurve2D::GetProfilePoints()
{
    if (!FProfile) {
        if (!FKeepProfile)
            throw ECADCoreException(
                "TCurve2D: Call BeginUseProfilePoints before accessing the curve points.");
        // A kept profile is made when it is first read and stays from then on.
        MakeProfile();
    }
    return FProfile.get();
}

int32_t TCurve2D::GetProfileCount() const
{
    // Building the kept profile on first read changes no observable state but the profile.
    return const_cast<TCurve2D*>(this)->GetProfilePoints()->Count();
}

void TCurve2D::BeginUseProfilePoints()
{
    if (!FKeepProfile || !FProfile)
        SetBox(MakeProfile());
    else
        ++FProfileUses;
}

void TCurve2D::EndUseProfilePoints()
{
    // A profile made for this use goes with it; one kept since an earlier read stays.
    ReleaseProfile();
}

void TCurve2D::ReleaseProfile()
{
    --FProfileUses;
    if (FProfileUses <= 0) {
        FProfile.reset();
        FProfileUses = 0;
    }
}

void TCurve2D::SetKeepProfile(bool value)
{
    if (value == FKeepProfile)
        return;
    FKeepProfile = value;
    // The profile kept so far is no longer wanted between uses.
    if (!value && FProfile)
        ReleaseProfile();
    UpdateBox();
}

TRect2D TCurve2D::MakeProfile()
{
    StartProfile(1);
    return ZeroBox();
}

namespace {

// The curve whose profile is being traced only for its box, and the points set it goes into.
thread_local const TCurve2D* TracingCurve = nullptr;
thread_local TPointsSet2D* TracingPoints = nullptr;

} // namespace

TRect2D TCurve2D::TracedBox()
{
    // One buffer per thread serves every curve; a trace within a trace gets its own.
    static thread_local TPointsSet2D buffer(0);
    TPointsSet2D local(0);
    TPointsSet2D& points = TracingCurve ? local : buffer;
    const TCurve2D* const outerCurve = TracingCurve;
    TPointsSet2D* const outerPoints = TracingPoints;
    TracingCurve = this;
    TracingPoints = &points;
    struct TRestore {
        const TCurve2D* Curve;
        TPointsSet2D* Points;
        ~TRestore()
        {
            TracingCurve = Curve;
            TracingPoints = Points;
        }
    } restore{outerCurve, outerPoints};
    return MakeProfile();
}

TPointsSet2D& TCurve2D::StartProfile(int capacity)
{
    if (TracingCurve == this) {
        TracingPoints->Clear();
        return *TracingPoints;
    }
    if (FProfile)
        FProfile->Clear();
    else
        FProfile = std::make_unique<TPointsSet2D>(capacity);
    ++FProfileUses;
    return *FProfile;
}

TRect2D TCurve2D::ProfileBox() const
{
    const TPointsSet2D* profile = TracingCurve == this ? TracingPoints : FProfile.get();
    if (!profile || profile->Count() == 0)
        return ZeroBox();
    const TRect2D box = profile->GetBox();
    return HasTransform() ? TransformRect2D(box, GetModelTransform()) : box;
}

int TCurve2D::Segments() const { return std::min<int>(FPrecision, TPointsSetBase::MaxPoints - 1); }

TLiveInfoPanel* TCurve2D::LivePanel()
{
    return LiveInfoPanel && LiveInfoPanel->LiveInfo() ? LiveInfoPanel : nullptr;
}

// ---- TFrame2D, TRectangle2D ----

TFrame2D::TFrame2D(int32_t id) : TCurve2D(id, 2, ShapePrecision) { Points().Growable = false; }

TFrame2D::TFrame2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2)
    : TCurve2D(id, 2, ShapePrecision)
{
    const TPoint2D points[] = {corner1, corner2};
    FillPoints(points, false);
}

TFrame2D::TFrame2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, int32_t color, uint8_t lineWidth,
                   const TMatrix4& transform)
    : TCurve2D(id, 2, ShapePrecision, color, lineWidth, transform)
{
    const TPoint2D points[] = {corner1, corner2};
    FillPoints(points, false);
}

std::unique_ptr<TGraphicObject> TFrame2D::CreateSameClass(int32_t id) const { return std::make_unique<TFrame2D>(id); }

void TFrame2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TCurve2D::Assign(source);
    if (dynamic_cast<const TFrame2D*>(&source) || dynamic_cast<const TEllipse2D*>(&source) ||
        dynamic_cast<const TEllipseOpen2D*>(&source))
        CopyPointsFrom(static_cast<const TPrimitive2D&>(source), 2, false);
    Points().Growable = false;
}

TRect2D TFrame2D::MakeProfile()
{
    TPointsSet2D& profile = StartProfile(5);
    if (Segments() == 0 || Points().Count() < 2)
        return ZeroBox();
    const TPoint2D p0 = CartesianPoint2D(Points().Get(0));
    const TPoint2D p1 = CartesianPoint2D(Points().Get(1));
    profile.Add(p0);
    profile.Add(MakePoint2D(p0.X, p1.Y));
    profile.Add(p1);
    profile.Add(MakePoint2D(p1.X, p0.Y));
    profile.Add(p0);
    if (TLiveInfoPanel* panel = LivePanel(); panel && !(InteractionSuspended && InteractionSuspended()))
        panel->ShowBoxInfo(p0, p1);
    return ProfileBox();
}

std::unique_ptr<TGraphicObject> TRectangle2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TRectangle2D>(id);
}

int32_t TRectangle2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    const int32_t r = TFrame2D::HitTest(pt, dist, aperture);
    if (r != HitInsideBox)
        return r;
    TProfileUse use(*this);
    double d;
    const int32_t code = PointInPolygonHitTest(GetProfilePoints()->Points(), pt, GetModelTransform(), aperture, d);
    dist = std::min(aperture, d);
    return std::max(HitInsideBox, code);
}

// ---- TCerchio2D, TFilledCerchio2D ----

TCerchio2D::TCerchio2D(int32_t id) : TCurve2D(id, 2, ShapePrecision) { Points().Growable = false; }

TCerchio2D::TCerchio2D(int32_t id, const TPoint2D& centre, const TPoint2D& pointOn)
    : TCurve2D(id, 2, ShapePrecision)
{
    const TPoint2D points[] = {centre, pointOn};
    FillPoints(points, false);
}

TCerchio2D::TCerchio2D(int32_t id, const TPoint2D& centre, const TPoint2D& pointOn, int32_t color,
                       uint8_t lineWidth, const TMatrix4& transform)
    : TCurve2D(id, 2, ShapePrecision, color, lineWidth, transform)
{
    const TPoint2D points[] = {centre, pointOn};
    FillPoints(points, false);
}

std::unique_ptr<TGraphicObject> TCerchio2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TCerchio2D>(id);
}

void TCerchio2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TCurve2D::Assign(source);
    if (dynamic_cast<const TEllipse2D*>(&source) || dynamic_cast<const TFrame2D*>(&source) ||
        dynamic_cast<const TArco2D*>(&source) || dynamic_cast<const TCerchio2D*>(&source))
        CopyPointsFrom(static_cast<const TPrimitive2D&>(source), 2, false);
    Points().Growable = false;
}

void TCerchio2D::GetCircleParams(double& cx, double& cy, double& radius) const
{
    const TPoint2D c = CartesianPoint2D(Points().Get(0));
    const TPoint2D p = CartesianPoint2D(Points().Get(1));
    cx = c.X;
    cy = c.Y;
    radius = Distance2D(c, p);
}

void TCerchio2D::GetGeometry(TPoint2D& centre, double& radius) const
{
    GetCircleParams(centre.X, centre.Y, radius);
    centre.W = 1;
}

TRect2D TCerchio2D::MakeProfile()
{
    const int n = Segments();
    TPointsSet2D& profile = StartProfile(n + 1);
    if (n == 0 || Points().Count() < 2)
        return ZeroBox();
    double cx, cy, r;
    GetCircleParams(cx, cy, r);
    if (TLiveInfoPanel* panel = LivePanel())
        panel->ShowCircleInfo(MakePoint2D(cx, cy), CartesianPoint2D(Points().Get(1)), r);
    FillClosedProfile(profile, n, cx, cy, r, r);
    return ProfileBox();
}

std::unique_ptr<TGraphicObject> TFilledCerchio2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TFilledCerchio2D>(id);
}

// ---- TEllipse2D, TFilledEllipse2D ----

TEllipse2D::TEllipse2D(int32_t id) : TCurve2D(id, 2, ShapePrecision) { Points().Growable = false; }

TEllipse2D::TEllipse2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2)
    : TCurve2D(id, 2, ShapePrecision)
{
    const TPoint2D points[] = {corner1, corner2};
    FillPoints(points, false);
}

std::unique_ptr<TGraphicObject> TEllipse2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TEllipse2D>(id);
}

void TEllipse2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TCurve2D::Assign(source);
    if (dynamic_cast<const TEllipse2D*>(&source) || dynamic_cast<const TFrame2D*>(&source) ||
        dynamic_cast<const TArco2D*>(&source))
        CopyPointsFrom(static_cast<const TPrimitive2D&>(source), 2, false);
    Points().Growable = false;
}

void TEllipse2D::GetEllipseParams(double& cx, double& cy, double& rx, double& ry) const
{
    EllipseOfCorners(Points(), cx, cy, rx, ry);
}

TRect2D TEllipse2D::MakeProfile()
{
    const int n = Segments();
    TPointsSet2D& profile = StartProfile(n + 1);
    if (n == 0 || Points().Count() < 2)
        return ZeroBox();
    double cx, cy, rx, ry;
    GetEllipseParams(cx, cy, rx, ry);
    if (TLiveInfoPanel* panel = LivePanel())
        panel->ShowEllipseInfo(CartesianPoint2D(Points().Get(0)), CartesianPoint2D(Points().Get(1)));
    FillClosedProfile(profile, n, cx, cy, rx, ry);
    return ProfileBox();
}

std::unique_ptr<TGraphicObject> TFilledEllipse2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TFilledEllipse2D>(id);
}

int32_t TFilledEllipse2D::HitTest(const TPoint2D& /*pt*/, double& dist, double /*aperture*/)
{
    dist = NoHitDistance;
    return HitMiss;
}

// ---- TAngledCurve2D ----

TAngledCurve2D::TAngledCurve2D(TStreamReader& stream, const std::string& versionTag, const char* className)
    : TCurve2D(stream, versionTag, 4, className)
{
    // A direction other than 0 or 1 is kept as stored and drawn counter-clockwise, as 1 is:
    // only 0 means clockwise.
    FDirection = stream.ReadByte();
    // The angle setters place control points 2 and 3, which a short record may lack.
    Points().SetCapacity(4);
}

void TAngledCurve2D::SaveToStream(TStreamWriter& stream)
{
    TCurve2D::SaveToStream(stream);
    stream.WriteByte(FDirection);
}

void TAngledCurve2D::SetStartAngle(double a) { SetAngle(2, a, FStartAngle); }

void TAngledCurve2D::SetEndAngle(double a) { SetAngle(3, a, FEndAngle); }

void TAngledCurve2D::SetAngle(int index, double a, double& stored)
{
    if (a == stored)
        return;
    stored = a;
    // Without its first two control points the curve has no centre to place the point about.
    if (Points().Count() < 2)
        return;
    Points().SetPoint(index, PointAtAngle(a));
}

void TAngledCurve2D::SetDirection(uint8_t d)
{
    if (d == FDirection)
        return;
    FDirection = d;
    UpdateBox();
}

void TAngledCurve2D::ComputeBox()
{
    if (!FPlacing) {
        TCurve2D::ComputeBox();
        return;
    }
    // What a profile build would leave besides the profile: the angles read back from the
    // points, on which the next setter's comparison depends.
    if (Segments() != 0 && Points().Count() >= 2)
        RefreshAngles();
}

void TAngledCurve2D::Setup(const TPoint2D& p0, const TPoint2D& p1, double startAngle, double endAngle)
{
    const TPoint2D points[] = {p0, p1, MakePoint2D(0, 0), MakePoint2D(0, 0)};
    FPlacing = true;
    try {
        FillPoints(points, false);
        FStartAngle = AngleMarker;
        FEndAngle = AngleMarker;
        FDirection = 1;
        SetStartAngle(startAngle);
        SetEndAngle(endAngle);
    } catch (...) {
        FPlacing = false;
        throw;
    }
    FPlacing = false;
    UpdateBox();
}

void TAngledCurve2D::CopyArcFrom(const TAngledCurve2D& source)
{
    FStartAngle = source.FStartAngle;
    FEndAngle = source.FEndAngle;
    FDirection = source.FDirection;
    CopyPointsFrom(source, 4, false);
}

void TAngledCurve2D::CopyFullTurnFrom(const TPrimitive2D& source)
{
    FStartAngle = 0;
    FEndAngle = TwoPi;
    std::vector<TPoint2D> points(source.Points().Points().begin(), source.Points().Points().end());
    points.resize(std::min<size_t>(points.size(), 2));
    if (points.size() == 2) {
        points.push_back(MakePoint2D(0, 0));
        points.push_back(MakePoint2D(0, 0));
    }
    Points().Clear();
    AppendPoints(points);
    Points().Growable = false;
    Points().NotifyChange();
}

void TAngledCurve2D::RefreshAngles()
{
    const int count = Points().Count();
    if (count > 2)
        FStartAngle = AngleOfPoint(CartesianPoint2D(Points().Get(2)));
    if (count > 3)
        FEndAngle = AngleOfPoint(CartesianPoint2D(Points().Get(3)));
}

void TAngledCurve2D::FillArcProfile(TPointsSet2D& profile, double cx, double cy, double rx, double ry) const
{
    const int n = Segments();
    const double sweep = FStartAngle < FEndAngle ? FEndAngle - FStartAngle : FEndAngle + TwoPi - FStartAngle;
    const double step = sweep / n;
    const double sy = Clockwise() ? -ry : ry;
    for (int k = 0; k < n; ++k) {
        const double a = FStartAngle + k * step;
        profile.Add(MakePoint2D(cx + rx * std::cos(a), cy + sy * std::sin(a)));
    }
    profile.Add(MakePoint2D(cx + rx * std::cos(FEndAngle), cy + sy * std::sin(FEndAngle)));
}

TRect2D TAngledCurve2D::ArcBox(const TPointsSet2D& profile, double cx, double cy, double rx, double ry) const
{
    if (profile.Count() == 0)
        return ZeroBox();
    TRect2D box = profile.GetBox();
    const double sweep = FStartAngle < FEndAngle ? FEndAngle - FStartAngle : FEndAngle + TwoPi - FStartAngle;
    const double sy = Clockwise() ? -ry : ry;
    for (int quarter = 0; quarter < 4; ++quarter) {
        const double a = quarter * std::numbers::pi / 2;
        if (std::fmod(a - FStartAngle + 2 * TwoPi, TwoPi) > sweep)
            continue;
        const double x = cx + rx * std::cos(a), y = cy + sy * std::sin(a);
        box = UnionRect2D(box, MakeRect2D(x, y, x, y));
    }
    return HasTransform() ? TransformRect2D(box, GetModelTransform()) : box;
}

// ---- TArco2D ----

TArco2D::TArco2D(int32_t id) : TAngledCurve2D(id, 4, ShapePrecision) { Points().Growable = false; }

TArco2D::TArco2D(int32_t id, const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle,
                 double endAngle)
    : TAngledCurve2D(id, 4, ShapePrecision)
{
    Setup(centre, radiusPoint, startAngle, endAngle);
}

TArco2D::TArco2D(int32_t id, const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle,
                 double endAngle, int32_t color, uint8_t lineWidth, const TMatrix4& transform)
    : TAngledCurve2D(id, 4, ShapePrecision, color, lineWidth, transform)
{
    Setup(centre, radiusPoint, startAngle, endAngle);
}

std::unique_ptr<TGraphicObject> TArco2D::CreateSameClass(int32_t id) const { return std::make_unique<TArco2D>(id); }

void TArco2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TAngledCurve2D::Assign(source);
    if (const auto* arc = dynamic_cast<const TArco2D*>(&source))
        CopyArcFrom(*arc);
    else if (dynamic_cast<const TEllipse2D*>(&source) || dynamic_cast<const TFrame2D*>(&source))
        CopyFullTurnFrom(static_cast<const TPrimitive2D&>(source));
    Points().Growable = false;
}

void TArco2D::GetArcParams(double& cx, double& cy, double& radius, double& startAngle, double& endAngle) const
{
    const TPoint2D c = CartesianPoint2D(Points().Get(0));
    cx = c.X;
    cy = c.Y;
    radius = Distance2D(c, CartesianPoint2D(Points().Get(1)));
    const int count = Points().Count();
    if (count > 2)
        startAngle = AngleOfPoint(CartesianPoint2D(Points().Get(2)));
    if (count > 3)
        endAngle = AngleOfPoint(CartesianPoint2D(Points().Get(3)));
}

void TArco2D::GetGeometry(TPoint2D& centre, double& radius, double& startAngle, double& endAngle) const
{
    const TPoint2D c = CartesianPoint2D(Points().Get(0));
    centre = MakePoint2D(c.X, c.Y);
    radius = Distance2D(c, CartesianPoint2D(Points().Get(1)));
    startAngle = StartAngle();
    endAngle = EndAngle();
}

void TArco2D::GetArcInfo2D(TArcInfo2D& info) const
{
    const bool transformed = HasTransform();
    const TMatrix4 m = transformed ? GetModelTransform() : IdentityMatrix;
    TPoint2D centre = CartesianPoint2D(Points().Get(0));
    TPoint2D radiusPoint = CartesianPoint2D(Points().Get(1));
    if (transformed) {
        centre = ToWorld(m, centre);
        radiusPoint = ToWorld(m, radiusPoint);
    }
    info.Center = MakePoint2D(centre.X, centre.Y);
    info.Radius = Distance2D(centre, radiusPoint);
    if (Points().Count() < 3)
        return;

    // The angles the profile is drawn with, as read from control points 2 and 3: measured
    // counter-clockwise from +X for Direction 1 and clockwise from +X for Direction 0, the rule
    // the machining and editing code read them by.
    double cx, cy, r, start = StartAngle(), end = EndAngle();
    GetArcParams(cx, cy, r, start, end);
    const double sy = Clockwise() ? -1 : 1;
    double worldStart = start, worldEnd = end;
    if (transformed) {
        const auto angleOf = [&](const TPoint2D& p) {
            return AngleOf(sy * (p.Y - centre.Y), p.X - centre.X);
        };
        worldStart = angleOf(ToWorld(m, PointAtAngle(start)));
        worldEnd = angleOf(ToWorld(m, PointAtAngle(end)));
        // A mirror reverses the direction of travel: the same arc, described in the arc's own
        // direction, then runs from the other end.
        if (Determinant2D(m) < 0)
            std::swap(worldStart, worldEnd);
    }
    info.StartAngle = worldStart;
    info.EndAngle = worldEnd;
    // The end points are the profile's ends, placed by the same rule.
    info.StartPt = MakePoint2D(centre.X + info.Radius * std::cos(worldStart),
                               centre.Y + sy * info.Radius * std::sin(worldStart));
    info.EndPt = MakePoint2D(centre.X + info.Radius * std::cos(worldEnd),
                             centre.Y + sy * info.Radius * std::sin(worldEnd));
    // The angle the drawn arc turns through, in its direction: from the start angle up to the
    // end angle in the arc's own measure, as the profile runs (equal angles: a full turn).
    info.Sweep = ArcSweep(1, worldStart, worldEnd);
}

void TArco2D::GetArcInfo(TArcInfo& info) const
{
    TArcInfo2D i2;
    i2.StartPt = MakePoint2D(info.StartPt.X, info.StartPt.Y);
    i2.EndPt = MakePoint2D(info.EndPt.X, info.EndPt.Y);
    i2.StartAngle = info.StartAngle;
    i2.EndAngle = info.EndAngle;
    i2.Sweep = info.Sweep;
    GetArcInfo2D(i2);
    info.StartPt = {i2.StartPt.X, i2.StartPt.Y};
    info.EndPt = {i2.EndPt.X, i2.EndPt.Y};
    info.Center = {i2.Center.X, i2.Center.Y};
    info.Radius = i2.Radius;
    info.StartAngle = i2.StartAngle;
    info.EndAngle = i2.EndAngle;
    info.Sweep = i2.Sweep;
}

TPoint2D TArco2D::PointAtParam(double t) const
{
    TArcInfo2D info;
    GetArcInfo2D(info);
    if (std::abs(t) < 1e-14)
        return info.StartPt;
    if (std::abs(t - 1) < 1e-14)
        return info.EndPt;
    const double turn = Clockwise() ? -t * info.Sweep : t * info.Sweep;
    const TVector2D v = RotateVector2D({info.StartPt.X - info.Center.X, info.StartPt.Y - info.Center.Y}, turn);
    return MakePoint2D(info.Center.X + v.X, info.Center.Y + v.Y);
}

void TArco2D::SetWorldArc(const TPoint2D& centre, const TPoint2D& radiusPoint, double startAngle,
                          double endAngle)
{
    ResetTransform();
    Points().Clear();
    Setup(centre, radiusPoint, startAngle, endAngle);
}

TRect2D TArco2D::MakeProfile()
{
    const int n = Segments();
    TPointsSet2D& profile = StartProfile(n + 1);
    if (n == 0 || Points().Count() < 2)
        return ZeroBox();
    RefreshAngles();
    double cx, cy, r, start, end;
    GetArcParams(cx, cy, r, start, end);
    if (TLiveInfoPanel* panel = LivePanel())
        panel->ShowArcInfo(cx, cy, r, StartAngle(), EndAngle());
    FillArcProfile(profile, cx, cy, r, r);
    return ProfileBox();
}

double TArco2D::AngleOfPoint(const TPoint2D& p) const
{
    const TPoint2D c = CartesianPoint2D(Points().Get(0));
    const double dy = Clockwise() ? c.Y - p.Y : p.Y - c.Y;
    return AngleOf(dy, p.X - c.X);
}

TPoint2D TArco2D::PointAtAngle(double a) const
{
    const TPoint2D c = CartesianPoint2D(Points().Get(0));
    const double r = Distance2D(c, CartesianPoint2D(Points().Get(1)));
    const double sy = Clockwise() ? -r : r;
    return MakePoint2D(c.X + r * std::cos(a), c.Y + sy * std::sin(a));
}

// ---- TEllipseOpen2D ----

TEllipseOpen2D::TEllipseOpen2D(int32_t id) : TAngledCurve2D(id, 4, ShapePrecision) { Points().Growable = false; }

TEllipseOpen2D::TEllipseOpen2D(int32_t id, const TPoint2D& corner1, const TPoint2D& corner2, double startAngle,
                               double endAngle)
    : TAngledCurve2D(id, 4, ShapePrecision)
{
    Setup(corner1, corner2, startAngle, endAngle);
    if (IsEqual(endAngle, TwoPi))
        SetEndAngle(0);
}

std::unique_ptr<TGraphicObject> TEllipseOpen2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TEllipseOpen2D>(id);
}

void TEllipseOpen2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TAngledCurve2D::Assign(source);
    if (const auto* arc = dynamic_cast<const TEllipseOpen2D*>(&source))
        CopyArcFrom(*arc);
    else if (dynamic_cast<const TEllipse2D*>(&source) || dynamic_cast<const TFrame2D*>(&source))
        CopyFullTurnFrom(static_cast<const TPrimitive2D&>(source));
    Points().Growable = false;
}

void TEllipseOpen2D::GetEllipseParams(double& cx, double& cy, double& rx, double& ry, double& startAngle,
                                      double& endAngle) const
{
    EllipseOfCorners(Points(), cx, cy, rx, ry);
    const int count = Points().Count();
    if (count > 2)
        startAngle = AngleOfPoint(CartesianPoint2D(Points().Get(2)));
    if (count > 3)
        endAngle = AngleOfPoint(CartesianPoint2D(Points().Get(3)));
}

TRect2D TEllipseOpen2D::MakeProfile()
{
    const int n = Segments();
    TPointsSet2D& profile = StartProfile(n + 1);
    if (n == 0 || Points().Count() < 2)
        return ZeroBox();
    RefreshAngles();
    double cx, cy, rx, ry, start, end;
    GetEllipseParams(cx, cy, rx, ry, start, end);
    if (TLiveInfoPanel* panel = LivePanel())
        panel->ShowEllipseInfo(CartesianPoint2D(Points().Get(0)), CartesianPoint2D(Points().Get(1)));
    FillArcProfile(profile, cx, cy, rx, ry);
    // The part of the ellipse not drawn must not widen the drawing's extents.
    return ArcBox(profile, cx, cy, rx, ry);
}

double TEllipseOpen2D::AngleOfPoint(const TPoint2D& p) const
{
    double cx, cy, rx, ry;
    EllipseOfCorners(Points(), cx, cy, rx, ry);
    const double dx = p.X - cx;
    const double dy = Clockwise() ? cy - p.Y : p.Y - cy;
    // The ellipse's parameter of the point; a flat ellipse has none, so the direction serves.
    if (rx > 0 && ry > 0)
        return AngleOf(dy * rx, dx * ry);
    return AngleOf(dy, dx);
}

TPoint2D TEllipseOpen2D::PointAtAngle(double a) const
{
    double cx, cy, rx, ry;
    EllipseOfCorners(Points(), cx, cy, rx, ry);
    const double sy = Clockwise() ? -ry : ry;
    return MakePoint2D(cx + rx * std::cos(a), cy + sy * std::sin(a));
}

// ---- Arc through three points ----

bool Arc3PtSetCenter(TArco2D& arc, const TPoint2D& p1, const TPoint2D& p2, const TPoint2D& p3, TPoint2D& centre)
{
    TPoint2D a = CartesianPoint2D(p1), b = CartesianPoint2D(p2), c = CartesianPoint2D(p3);
    // Three points on one line define no circle; the slopes below would be equal.
    if (IsCollinear({a.X, a.Y}, {b.X, b.Y}, {c.X, c.Y}))
        return false;
    if (a.X == b.X || a.Y == b.Y)
        std::swap(b, c);
    if (b.X == c.X)
        std::swap(a, b);
    const double ma = b.X != a.X ? (b.Y - a.Y) / (b.X - a.X) : 1e6;
    const double mb = c.X != b.X ? (c.Y - b.Y) / (c.X - b.X) : 1e6;
    if (ma == mb)
        return false;
    const double cx = (ma * mb * (a.Y - c.Y) + mb * (a.X + b.X) - ma * (b.X + c.X)) / (2 * (mb - ma));
    const double cy = ma != 0 ? -(cx - (a.X + b.X) / 2) / ma + (a.Y + b.Y) / 2
                              : -(cx - (b.X + c.X) / 2) / mb + (b.Y + c.Y) / 2;
    centre = MakePoint2D(cx, cy);
    arc.Points().SetPoint(0, centre);
    return true;
}

void Arc3PtSetRadius(TArco2D& arc, const TPoint2D& p1, const TPoint2D& /*p2*/, const TPoint2D& /*p3*/)
{
    // The distance from the centre found to P1, rather than the triangle's circumradius by
    // Heron's formula, which takes the root of a negative number for nearly collinear points.
    const TPoint2D c = CartesianPoint2D(arc.Points().Get(0));
    const double r = Distance2D(c, CartesianPoint2D(p1));
    arc.Points().SetPoint(1, MakePoint2D(c.X + r, c.Y));
}

void Arc3PtSetAngles(TArco2D& arc, const TPoint2D& p1, const TPoint2D& p2, const TPoint2D& p3,
                     const TPoint2D& centre)
{
    const TPoint2D a = CartesianPoint2D(p1), b = CartesianPoint2D(p2), c = CartesianPoint2D(p3);
    const TPoint2D o = CartesianPoint2D(centre);
    double start = std::atan2(a.Y - o.Y, a.X - o.X);
    double end = std::atan2(c.Y - o.Y, c.X - o.X);
    if ((b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X) < 0)
        std::swap(start, end);
    arc.SetStartAngle(start);
    arc.SetEndAngle(end);
}
