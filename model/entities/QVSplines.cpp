#include "QVSplines.h"

#include "CADExceptions.h"
#include "QVGeometry.h"
#include "QVStream.h"
#include "QVVariabili.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace {

TRect2D ZeroBox() { return MakeRect2D(0, 0, 0, 0); }

// The non-zero basis functions N(span - p .. span, p) at U over the knots (the triangular
// Cox-de Boor scheme). A span of zero length contributes nothing rather than a division by 0.
template <class TKnot>
void BasisFunctions(int span, double u, int p, TKnot knot, std::vector<double>& n)
{
    n.assign(static_cast<size_t>(p) + 1, 0.0);
    std::vector<double> left(static_cast<size_t>(p) + 1), right(static_cast<size_t>(p) + 1);
    n[0] = 1;
    for (int j = 1; j <= p; ++j) {
        left[static_cast<size_t>(j)] = u - knot(span + 1 - j);
        right[static_cast<size_t>(j)] = knot(span + j) - u;
        double saved = 0;
        for (int r = 0; r < j; ++r) {
            const double den = right[static_cast<size_t>(r) + 1] + left[static_cast<size_t>(j - r)];
            const double temp = den != 0 ? n[static_cast<size_t>(r)] / den : 0;
            n[static_cast<size_t>(r)] = saved + right[static_cast<size_t>(r) + 1] * temp;
            saved = left[static_cast<size_t>(j - r)] * temp;
        }
        n[static_cast<size_t>(j)] = saved;
    }
}

}  // namespace

// ---- TDoubleList ----

double TDoubleList::Get(int index) const
{
    if (index < 0 || index >= Count())
        throw ECADOutOfBound("TDoubleList: Index out of bound");
    return Values[static_cast<size_t>(index)];
}

void TDoubleList::CopyFrom(const TDoubleList& source)
{
    const std::vector<double> values = source.Values;  // Source may be this list
    Values.insert(Values.end(), values.begin(), values.end());
}

void TDoubleList::SaveToStream(TStreamWriter& stream) const
{
    stream.WriteInt32(Count());
    for (double v : Values)
        stream.WriteDouble(v);
}

void TDoubleList::LoadFromStream(TStreamReader& stream, const char* what)
{
    const int32_t n = stream.ReadInt32();
    if (n < 1)
        return;
    stream.CheckCount(static_cast<uint64_t>(n), 8, what);
    Values.reserve(Values.size() + static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i)
        Values.push_back(stream.ReadDouble());
}

// ---- TVector3DList ----

TVector3D& TVector3DList::Add(double x, double y, double z)
{
    Items.push_back({x, y, z});
    return Items.back();
}

TVector3D& TVector3DList::Get(int index)
{
    if (index < 0 || index >= Count())
        throw ECADOutOfBound("TVector3DList: Index out of bound");
    return Items[static_cast<size_t>(index)];
}

const TVector3D& TVector3DList::Get(int index) const { return const_cast<TVector3DList*>(this)->Get(index); }

void TVector3DList::CopyFrom(const TVector3DList& source)
{
    const std::deque<TVector3D> items = source.Items;  // Source may be this list
    Items.insert(Items.end(), items.begin(), items.end());
}

void TVector3DList::FillFrom(const TPointsSet2D& points)
{
    Items.clear();
    for (const TPoint2D& p : points.Points()) {
        const TPoint2D c = CartesianPoint2D(p);
        Items.push_back({c.X, c.Y, 0});
    }
}

// ---- TBSpline2D ----

TBSpline2D::TBSpline2D(int32_t id) : TCurve2D(id, 0, ShapePrecision) {}

TBSpline2D::TBSpline2D(int32_t id, std::span<const TPoint2D> points)
    : TCurve2D(id, static_cast<int>(std::min<size_t>(points.size(), TPointsSetBase::MaxPoints)), ShapePrecision)
{
    FillPoints(points, true);
}

TBSpline2D::TBSpline2D(TStreamReader& stream, const std::string& versionTag) : TCurve2D(stream, versionTag)
{
    const size_t at = stream.Position();
    Order = stream.ReadByte();
    if (Order < 2 || Order > MaxBSplineOrder) {
        stream.Seek(at);
        stream.Fail("the order of a TBSpline2D is 2 to " + std::to_string(MaxBSplineOrder) +
                    ", the record gives " + std::to_string(Order));
    }
}

std::unique_ptr<TGraphicObject> TBSpline2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TBSpline2D>(id);
}

void TBSpline2D::SaveToStream(TStreamWriter& stream)
{
    TCurve2D::SaveToStream(stream);
    stream.WriteByte(Order);
}

void TBSpline2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TCurve2D::Assign(source);
    if (const auto* other = dynamic_cast<const TBSpline2D*>(&source)) {
        Order = other->Order;
        CopyPointsFrom(*other, -1, true);
    }
    Points().Growable = true;
}

TRect2D TBSpline2D::MakeProfile()
{
    const int segments = Segments();
    const int count = Points().Count();
    const int k = Order;
    TPointsSet2D& profile = StartProfile(segments + 1);
    if (segments == 0)
        return ZeroBox();
    if (count < k || k < 2 || k > MaxBSplineOrder) {
        for (const TPoint2D& p : Points().Points())
            profile.Add(p);
        return ProfileBox();
    }
    const int n = count - 1;
    // Clamped uniform integer knots: k zeros, then 1, 2, ..., then k times n - k + 2.
    const auto knot = [n, k](int j) -> double {
        if (j < k)
            return 0;
        if (j > n)
            return n - k + 2;
        return j - k + 1;
    };
    // The parameter runs over the whole clamped range; for order 3 that is count - 2.
    const double range = n - k + 2;
    std::vector<TPoint2D> cartesian(static_cast<size_t>(count));
    for (int j = 0; j < count; ++j)
        cartesian[static_cast<size_t>(j)] = CartesianPoint2D(Points().Get(j));
    std::vector<double> basis;
    for (int i = 0; i < segments; ++i) {
        const double t = i * range / segments;
        const int span = std::clamp(static_cast<int>(std::floor(t)) + k - 1, k - 1, n);
        BasisFunctions(span, t, k - 1, knot, basis);
        double x = 0, y = 0;
        for (int j = 0; j < k; ++j) {
            const TPoint2D& p = cartesian[static_cast<size_t>(span - k + 1 + j)];
            x += basis[static_cast<size_t>(j)] * p.X;
            y += basis[static_cast<size_t>(j)] * p.Y;
        }
        profile.Add(MakePoint2D(x, y));
    }
    profile.Add(cartesian.back());
    return ProfileBox();
}

// ---- TQVBSpline2D ----

namespace {

uint16_t CurveSegmentsSetting() { return static_cast<uint16_t>(std::clamp<int32_t>(MaxCurveSeg(), 0, 65535)); }

}  // namespace

TQVBSpline2D::TQVBSpline2D(int32_t id) : TCurve2D(id, 0, CurveSegmentsSetting()) {}

TQVBSpline2D::TQVBSpline2D(int32_t id, std::span<const TPoint2D> points)
    : TCurve2D(id, static_cast<int>(std::min<size_t>(points.size(), TPointsSetBase::MaxPoints)),
               CurveSegmentsSetting())
{
    FillPoints(points, true);
}

TQVBSpline2D::TQVBSpline2D(TStreamReader& stream, const std::string& versionTag) : TCurve2D(stream, versionTag)
{
    Closed = stream.ReadByte();
    Periodic = stream.ReadByte();
    Rational = stream.ReadByte();
    Planar = stream.ReadByte();
    Linear = stream.ReadByte();
    Degree = stream.ReadInt32();
    Knots.LoadFromStream(stream, "knots");
    Weights.LoadFromStream(stream, "weights");
    ControlPoints.FillFrom(Points());
    KnotsCount = Knots.Count();
    ControlPointsCount = Points().Count();
}

std::unique_ptr<TQVBSpline2D> TQVBSpline2D::CreateEmpty()
{
    const TPoint2D origin = MakePoint2D(0, 0);
    return std::make_unique<TQVBSpline2D>(-1, std::span<const TPoint2D>(&origin, 1));
}

std::unique_ptr<TGraphicObject> TQVBSpline2D::CreateSameClass(int32_t id) const
{
    return std::make_unique<TQVBSpline2D>(id);
}

void TQVBSpline2D::SaveToStream(TStreamWriter& stream)
{
    TCurve2D::SaveToStream(stream);
    for (uint8_t flag : {Closed, Periodic, Rational, Planar, Linear})
        stream.WriteByte(flag);
    stream.WriteInt32(Degree);
    Knots.SaveToStream(stream);
    Weights.SaveToStream(stream);
}

void TQVBSpline2D::Assign(const TGraphicObject& source)
{
    if (&source == this)
        return;
    TCurve2D::Assign(source);
    if (const auto* other = dynamic_cast<const TQVBSpline2D*>(&source)) {
        Closed = other->Closed;
        Periodic = other->Periodic;
        Rational = other->Rational;
        Planar = other->Planar;
        Linear = other->Linear;
        Degree = other->Degree;
        KnotsCount = other->KnotsCount;
        ControlPointsCount = other->ControlPointsCount;
        Knots.Clear();
        Knots.CopyFrom(other->Knots);
        Weights.Clear();
        Weights.CopyFrom(other->Weights);
        ControlPoints.Clear();
        ControlPoints.CopyFrom(other->ControlPoints);
        Dimension = other->Dimension;
        CopyPointsFrom(*other, -1, true);
    }
    Points().Growable = true;
}

void TQVBSpline2D::FillWeights()
{
    while (Weights.Count() < Points().Count())
        Weights.Add(1);
}

void TQVBSpline2D::GetParamRange(double& uMin, double& uMax) const
{
    uMin = Knots.Get(0);
    const double last = Knots.Last();
    uMax = last > uMin ? last : uMin;
}

void TQVBSpline2D::GetDomain(double& uMin, double& uMax) const
{
    uMin = Knots.Get(Degree);
    uMax = Knots.Get(Knots.Count() - Degree - 1);
}

int TQVBSpline2D::FindKnotSpan(double u) const
{
    const int p = Degree;
    // The last span: the one that ends where the curve's range ends.
    const int64_t lastSpan = int64_t{Knots.Count()} - p - 2;
    if (p < 0 || lastSpan < p)
        throw ECADOutOfBound("TQVBSpline2D.FindKnotSpan: Knot vector too short for degree " + std::to_string(p));
    const int last = static_cast<int>(lastSpan);
    const double end = Knots.Get(last + 1);
    if (u >= end || IsEqual(u, end))
        return last;
    // Bisection within the range, which before the range's start (unclamped knots) and with
    // knots out of order still ends: the interval halves at every step.
    int low = p, high = last + 1;
    int mid = (low + high) / 2;
    while (high - low > 1 && (u < Knots.Get(mid) || u >= Knots.Get(mid + 1))) {
        if (u < Knots.Get(mid))
            high = mid;
        else
            low = mid;
        mid = (low + high) / 2;
    }
    return mid;
}

bool TQVBSpline2D::IsEvaluable() const
{
    const int p = Degree;
    const int count = Points().Count();
    if (p < 1 || p > MaxDegree || count < p + 1 || Knots.Count() != count + p + 1)
        return false;
    const std::span<const double> knots = Knots.Items();
    for (size_t i = 0; i < knots.size(); ++i) {
        if (!std::isfinite(knots[i]) || (i > 0 && knots[i] < knots[i - 1]))
            return false;
    }
    if (!(knots[static_cast<size_t>(p)] < knots[static_cast<size_t>(count)]))
        return false;
    const std::span<const double> weights = Weights.Items();
    for (size_t i = 0; i < weights.size() && i < static_cast<size_t>(count); ++i) {
        if (!std::isfinite(weights[i]) || weights[i] <= 0)
            return false;
    }
    return true;
}

bool TQVBSpline2D::EvaluatePoints(int n, TArrayOfPoint2d& points)
{
    points.clear();
    const int count = Points().Count();
    if (n < count) {
        SetPrecision(static_cast<uint16_t>(count));
        n = count;
    }
    // Weights are topped up only for a curve that is evaluated: the DXF reader adds the file's
    // weights to a spline it has made empty, and must find none there before its own.
    if (!IsEvaluable())
        return false;
    FillWeights();
    const int p = Degree;
    std::vector<TPoint3D> q(static_cast<size_t>(count));  // X·w, Y·w, w
    for (int i = 0; i < count; ++i) {
        const TPoint2D c = CartesianPoint2D(Points().Get(i));
        const double w = Weights.Get(i);
        q[static_cast<size_t>(i)] = {c.X * w, c.Y * w, w, 1};
    }
    double uMin, uMax;
    GetDomain(uMin, uMax);
    const double step = n > 1 ? (uMax - uMin) / (n - 1) : 0;
    const std::span<const double> knots = Knots.Items();
    const auto knot = [&knots](int j) { return knots[static_cast<size_t>(j)]; };
    std::vector<double> basis;
    points.reserve(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const double u = std::min(uMin + i * step, uMax);
        const int span = FindKnotSpan(u);
        BasisFunctions(span, u, p, knot, basis);
        double x = 0, y = 0, w = 0;
        for (int j = 0; j <= p; ++j) {
            const TPoint3D& c = q[static_cast<size_t>(span - p + j)];
            x += basis[static_cast<size_t>(j)] * c.X;
            y += basis[static_cast<size_t>(j)] * c.Y;
            w += basis[static_cast<size_t>(j)] * c.Z;
        }
        points.push_back(MakePoint2D(x / w, y / w));
    }
    return true;
}

TRect2D TQVBSpline2D::MakeProfile()
{
    const int segments = Segments();
    TPointsSet2D& profile = StartProfile(segments + 1);
    if (segments == 0)
        return ZeroBox();
    for (int i = ControlPoints.Count(); i < Points().Count(); ++i) {
        const TPoint2D c = CartesianPoint2D(Points().Get(i));
        ControlPoints.Add(c.X, c.Y, 0);
    }
    TArrayOfPoint2d evaluated;
    if (EvaluatePoints(segments, evaluated)) {
        for (const TPoint2D& p : evaluated)
            profile.Add(p);
    } else {
        // Data that define no curve are shown as what they are sure of: the control polygon.
        for (const TPoint2D& p : Points().Points())
            profile.Add(p);
    }
    return ProfileBox();
}
