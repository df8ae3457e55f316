#include "QVEntity.h"

#include "QVGeom2D.h"
#include "QVGeometry.h"
#include "QVStream.h"

#include <algorithm>
#include <string>

namespace {

// Change events of a point set off for a fill, on again however the fill ends.
class TEventsOff {
public:
    explicit TEventsOff(TPointsSetBase& Set) : Set(Set) { Set.SetDisableEvents(true); }
    ~TEventsOff() { Set.SetDisableEvents(false); }
    TEventsOff(const TEventsOff&) = delete;
    TEventsOff& operator=(const TEventsOff&) = delete;

private:
    TPointsSetBase& Set;
};

}  // namespace

int32_t TPrimitive2DHandler::PickControlPoint(const TObject2D& Obj, const TPoint2D& Pt, double& Dist,
                                              double Aperture) const
{
    const auto* prim = dynamic_cast<const TPrimitive2D*>(&Obj);
    if (!prim)
        return HitMiss;
    const bool transformed = Obj.HasTransform();
    const TMatrix4 m = transformed ? Obj.GetModelTransform() : IdentityMatrix;
    int32_t result = HitMiss;
    const std::span<const TPoint2D> points = prim->Points().Points();
    for (size_t j = 0; j < points.size(); ++j) {
        const TPoint2D p = transformed ? m.TransformPoint2D(points[j]) : points[j];
        double d;
        if (NearPoint2D(p, Pt, d, Aperture) && d <= Dist) {
            result = static_cast<int32_t>(j);
            Dist = d;
        }
    }
    return result;
}

const TObject2DHandler* PrimitiveHandler()
{
    static const TPrimitive2DHandler handler;
    return &handler;
}

// TPrimitive2D

TPrimitive2D::TPrimitive2D(int32_t id, int capacity) : TObject2D(id)
{
    CreatePointsSet(capacity);
    // The box of no points, as ComputeBox gives it; a new object has no change handler to call.
    SetBox(MakeRect2D(0, 0, 0, 0));
}

TPrimitive2D::TPrimitive2D(int32_t id, int capacity, int32_t color, uint8_t lineWidth, const TMatrix4& transform)
    : TObject2D(id, color, lineWidth, transform)
{
    CreatePointsSet(capacity);
    // The box of no points, as ComputeBox gives it; a new object has no change handler to call.
    SetBox(MakeRect2D(0, 0, 0, 0));
}

TPrimitive2D::TPrimitive2D(TStreamReader& stream, const std::string& versionTag)
    : TPrimitive2D(stream, versionTag, TPointsSetBase::MaxPoints, "TPrimitive2D")
{
}

TPrimitive2D::TPrimitive2D(TStreamReader& stream, const std::string& versionTag, int maxPoints,
                           const char* className)
    : TObject2D(stream, versionTag)
{
    const size_t start = stream.Position();
    const uint16_t count = stream.ReadUInt16();
    stream.Seek(start);
    if (count > maxPoints)
        stream.Fail(std::string("a ") + className + " holds at most " + std::to_string(maxPoints) +
                    " points, the record gives " + std::to_string(count));
    FPoints.ReadFromStream(stream);
    FPoints.OwnerObject = this;
}

std::unique_ptr<TGraphicObject> TPrimitive2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TPrimitive2D>(id);
}

void TPrimitive2D::ComputeBox()
{
    if (FPoints.Count() == 0) {
        SetBox(MakeRect2D(0, 0, 0, 0));
        return;
    }
    const TRect2D box = FPoints.GetBox();
    SetBox(HasTransform() ? TransformRect2D(box, GetModelTransform()) : box);
}

void TPrimitive2D::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    FPoints.SaveToStream(stream);
}

void TPrimitive2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TObject2D::Assign(source);
    if (dynamic_cast<const TPrimitive2D*>(&source))
        FPoints.Clear();
}

void TPrimitive2D::CreatePointsSet(int32_t capacity)
{
    FPoints.Reset(capacity);
    FPoints.OwnerObject = this;
}

void TPrimitive2D::AppendPoints(std::span<const TPoint2D> points)
{
    // One by one rather than AddPoints, which would reserve room for as many points again and
    // let a fixed set take more than its class holds.
    for (const TPoint2D& p : points)
        FPoints.Put(FPoints.Count(), p);
}

void TPrimitive2D::FillPoints(std::span<const TPoint2D> points, bool growable)
{
    {
        TEventsOff off(FPoints);
        AppendPoints(points);
        FPoints.Growable = growable;
    }
    UpdateBox();
}

void TPrimitive2D::CopyPointsFrom(const TPrimitive2D& source, int maxPoints, bool growable)
{
    std::span<const TPoint2D> points = source.Points().Points();
    if (maxPoints >= 0 && points.size() > static_cast<size_t>(maxPoints))
        points = points.first(static_cast<size_t>(maxPoints));
    FPoints.Clear();
    FPoints.Growable = true;
    AppendPoints(points);
    FPoints.Growable = growable;
    FPoints.NotifyChange();
}

int32_t TPrimitive2D::HitTestOpenLine(const TPoint2D& pt, double& dist, double aperture)
{
    const int32_t r = TObject2D::HitTest(pt, dist, aperture);
    if (r != HitInsideBox)
        return r;
    double d;
    const int32_t code = PolylineHitTest(FPoints.Points(), pt, false, GetModelTransform(), aperture, d);
    dist = std::min(aperture, d);
    return std::max(HitInsideBox, code);
}

// TPunto2D

TPunto2D::TPunto2D(int32_t id, const TPoint2D& p) : TPrimitive2D(id, 1)
{
    FillPoints({&p, 1}, false);
}

std::unique_ptr<TGraphicObject> TPunto2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TPunto2D>(id);
}

void TPunto2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TPrimitive2D::Assign(source);
    if (const auto* other = dynamic_cast<const TPunto2D*>(&source))
        CopyPointsFrom(*other, 1, false);
}

int32_t TPunto2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    return HitTestOpenLine(pt, dist, aperture);
}

// TLine2D

TLine2D::TLine2D(int32_t id, const TPoint2D& p1, const TPoint2D& p2) : TPrimitive2D(id, 2)
{
    const TPoint2D points[] = {p1, p2};
    FillPoints(points, false);
}

TLine2D::TLine2D(int32_t id, const TPoint2D& p1, const TPoint2D& p2, int32_t color, uint8_t lineWidth,
                 const TMatrix4& transform)
    : TPrimitive2D(id, 2, color, lineWidth, transform)
{
    const TPoint2D points[] = {p1, p2};
    FillPoints(points, false);
}

std::unique_ptr<TGraphicObject> TLine2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TLine2D>(id);
}

void TLine2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TPrimitive2D::Assign(source);
    if (const auto* other = dynamic_cast<const TLine2D*>(&source))
        CopyPointsFrom(*other, 2, false);
}

int32_t TLine2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    return HitTestOpenLine(pt, dist, aperture);
}

// TOutline2D

bool TOutline2D::IsClosed()
{
    TProfileUse use(*this);
    const TPointsSet2D* profile = GetProfilePoints();
    if (!profile || profile->Count() < 3)
        return false;
    return IsSamePoint2D(profile->Get(0), profile->Get(profile->Count() - 1));
}

// TPolyline2D

TPolyline2D::TPolyline2D(int32_t id, std::span<const TPoint2D> points)
    : TOutline2D(id, static_cast<int>(std::min<size_t>(points.size(), TPointsSetBase::MaxPoints)))
{
    FillPoints(points, true);
}

TPolyline2D::TPolyline2D(int32_t id, std::span<const TPoint2D> points, int32_t color, uint8_t lineWidth,
                         const TMatrix4& transform)
    : TOutline2D(id, static_cast<int>(std::min<size_t>(points.size(), TPointsSetBase::MaxPoints)), color,
                 lineWidth, transform)
{
    FillPoints(points, true);
}

std::unique_ptr<TGraphicObject> TPolyline2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TPolyline2D>(id);
}

void TPolyline2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TPrimitive2D::Assign(source);
    if (dynamic_cast<const TLine2D*>(&source) || dynamic_cast<const TPolyline2D*>(&source))
        CopyPointsFrom(static_cast<const TPrimitive2D&>(source), -1, true);
}

int32_t TPolyline2D::HitTest(const TPoint2D& pt, double& dist, double aperture)
{
    return HitTestOpenLine(pt, dist, aperture);
}

// TPolygon2D

std::unique_ptr<TGraphicObject> TPolygon2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TPolygon2D>(id);
}

int32_t TPolygon2D::HitTest(const TPoint2D& /*pt*/, double& dist, double /*aperture*/)
{
    dist = NoHitDistance;
    return HitMiss;
}
