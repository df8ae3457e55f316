#include "QVPointsSet.h"

#include "CADExceptions.h"
#include "QVGeometry.h"
#include "QVStream.h"
#include "QVSys.h"

#include <algorithm>
#include <array>
#include <string>

namespace {

template <typename TPointT> constexpr const char* SetClassName();
template <> constexpr const char* SetClassName<TPoint2D>()
{
    return "TPointsSet2D";
}
template <> constexpr const char* SetClassName<TPoint3D>()
{
    return "TPointsSet3D";
}

void WritePoint(TStreamWriter& W, const TPoint2D& P)
{
    W.WriteDouble(P.X);
    W.WriteDouble(P.Y);
    W.WriteDouble(P.W);
}

void WritePoint(TStreamWriter& W, const TPoint3D& P)
{
    W.WriteDouble(P.X);
    W.WriteDouble(P.Y);
    W.WriteDouble(P.Z);
    W.WriteDouble(P.W);
}

void ReadPoint(TStreamReader& R, TPoint2D& P)
{
    std::array<double, 3> v;
    R.ReadDoubles(v);
    P = {v[0], v[1], v[2]};
}

void ReadPoint(TStreamReader& R, TPoint3D& P)
{
    std::array<double, 4> v;
    R.ReadDoubles(v);
    P = {v[0], v[1], v[2], v[3]};
}

constexpr size_t PointBytes(const TPoint2D*)
{
    return 24;
}
constexpr size_t PointBytes(const TPoint3D*)
{
    return 32;
}

// Turns events off for the handler and on again however it ends.
class TEventsOff {
public:
    explicit TEventsOff(bool& Flag) : Flag(Flag) { Flag = true; }
    ~TEventsOff() { Flag = false; }
    TEventsOff(const TEventsOff&) = delete;
    TEventsOff& operator=(const TEventsOff&) = delete;

private:
    bool& Flag;
};

} // namespace

void TPointsSetBase::NotifyChange()
{
    if (DisableEvents || !OwnerObject)
        return;
    TEventsOff off(DisableEvents);
    OwnerObject->UpdateBox();
}

template <typename TPointT> TPointsSetOf<TPointT>::TPointsSetOf(int Capacity)
{
    SetCapacity(Capacity);
}

template <typename TPointT>
void TPointsSetOf<TPointT>::OutOfBound(const char* Operation, const char* What) const
{
    throw ECADOutOfBound(std::string(SetClassName<TPointT>()) + "." + Operation + ": " + What +
                         " out of bound");
}

template <typename TPointT> TPointT TPointsSetOf<TPointT>::Get(int Index) const
{
    if (Index < 0 || Index >= FCount)
        OutOfBound("Get", "Index");
    return Buffer[Index];
}

template <typename TPointT> void TPointsSetOf<TPointT>::Put(int Index, const TPointT& P)
{
    if (Index < 0)
        OutOfBound("Put", "Vector");
    if (Index >= FCapacity) {
        if (!Growable || Index >= MaxPoints)
            OutOfBound("Put", "Vector");
        SetCapacity(std::max(Index + 1, std::min(2 * FCapacity + 1, MaxPoints)));
    }
    Buffer[Index] = P;
    if (Index >= FCount)
        FCount = static_cast<uint16_t>(Index + 1);
}

template <typename TPointT> void TPointsSetOf<TPointT>::SetPoint(int Index, const TPointT& P)
{
    Put(Index, P);
    NotifyChange();
}

template <typename TPointT> void TPointsSetOf<TPointT>::SetCapacity(int N)
{
    if (N > MaxPoints)
        OutOfBound("SetCapacity", "Vector");
    if (N <= FCapacity)
        return;
    Buffer.Grow(FCapacity, N);
    FCapacity = static_cast<uint16_t>(N);
}

template <typename TPointT> void TPointsSetOf<TPointT>::Reset(int Capacity)
{
    Buffer.Release(FCapacity);
    FCount = 0;
    FCapacity = 0;
    Growable = true;
    DisableEvents = false;
    SetCapacity(Capacity);
}

template <typename TPointT> void TPointsSetOf<TPointT>::SaveToStream(TStreamWriter& W) const
{
    W.WriteUInt16(static_cast<uint16_t>(FCount));
    for (int i = 0; i < FCount; ++i)
        WritePoint(W, Buffer[i]);
    W.WriteBool(Growable);
}

template <typename TPointT> void TPointsSetOf<TPointT>::ReadFromStream(TStreamReader& R)
{
    const uint16_t n = R.ReadUInt16();
    R.CheckCount(n, PointBytes(static_cast<const TPointT*>(nullptr)), "points");
    SetCapacity(n);
    for (int i = 0; i < n; ++i)
        ReadPoint(R, Buffer[i]);
    FCount = n;
    Growable = R.ReadBool();
}

template class TPointsSetOf<TPoint2D>;
template class TPointsSetOf<TPoint3D>;

std::unique_ptr<TPointsSet2D> TPointsSet2D::CreateFromStream(TStreamReader& R)
{
    auto set = std::make_unique<TPointsSet2D>(0);
    set->ReadFromStream(R);
    return set;
}

void TPointsSet2D::AddPoints(std::span<const TPoint2D> NewPoints)
{
    const size_t n = NewPoints.size();
    if (n > static_cast<size_t>(MaxPoints - FCount) ||
        (!Growable && n > static_cast<size_t>(FCapacity - FCount)))
        OutOfBound("AddPoints", "Vector");
    SetCapacity(std::min(FCapacity + static_cast<int>(n), MaxPoints));
    std::copy(NewPoints.begin(), NewPoints.end(), Buffer.begin() + FCount);
    FCount = static_cast<uint16_t>(FCount + n);
    NotifyChange();
}

void TPointsSet2D::Insert(int Index, const TPoint2D& P)
{
    if (Index < 0 || Index >= FCount)
        OutOfBound("Insert", "Vector");
    Put(FCount, P);
    std::copy_backward(Buffer.begin() + Index, Buffer.begin() + FCount - 1, Buffer.begin() + FCount);
    Buffer[Index] = P;
    NotifyChange();
}

void TPointsSet2D::Delete(int Index)
{
    if (Index < 0 || Index >= FCount)
        OutOfBound("Delete", "Vector");
    std::copy(Buffer.begin() + Index + 1, Buffer.begin() + FCount, Buffer.begin() + Index);
    --FCount;
    NotifyChange();
}

void TPointsSet2D::CopyFrom(const TPointsSet2D& Source, int First, int Last)
{
    try {
        SetCapacity(Last + 1);
        for (int i = std::max(First, 0); i <= Last && i < Source.Count(); ++i)
            Put(i, Source.Buffer[i]);
    } catch (...) {
        NotifyChange();
        throw;
    }
    NotifyChange();
}

TRect2D TPointsSet2D::GetBox() const
{
    if (FCount == 0)
        return MakeRect2D(0, 0, 0, 0);
    // One pass over the cartesian points; ties and NaNs keep the earlier value, as a union of
    // rectangles does.
    const TPoint2D first = CartesianPoint2D(Buffer[0]);
    double x1 = first.X, y1 = first.Y, x2 = first.X, y2 = first.Y;
    for (const TPoint2D& p : Points()) {
        double x = p.X, y = p.Y;
        if (p.W != 1 && p.W != 0) {
            x /= p.W;
            y /= p.W;
        }
        if (x < x1)
            x1 = x;
        if (x > x2)
            x2 = x;
        if (y < y1)
            y1 = y;
        if (y > y2)
            y2 = y;
    }
    return MakeRect2D(x1, y1, x2, y2);
}

std::unique_ptr<TPointsSet3D> TPointsSet3D::CreateFromStream(TStreamReader& R)
{
    auto set = std::make_unique<TPointsSet3D>(0);
    set->ReadFromStream(R);
    return set;
}

TRect3D TPointsSet3D::GetBox() const
{
    if (FCount == 0)
        return MakeRect3D(0, 0, 0, 0, 0, 0);
    TRect3D box{CartesianPoint3D(Buffer[0]), CartesianPoint3D(Buffer[0])};
    for (const TPoint3D& p : Points())
        box = UnionRect3D(box, {p, p});
    box.First.W = box.Second.W = 1;
    return box;
}

std::unique_ptr<TPointsSet2D> ArcToPointsSet2D(const TVector2D& Centre, const TVector2D& StartPt,
                                               const TVector2D& EndPt, bool Clockwise, double Tol)
{
    TArrayOfPoint2d pts;
    ArcToPoints2DTol(Centre, StartPt, EndPt, Clockwise, Tol, pts);
    auto set = std::make_unique<TPointsSet2D>(static_cast<int>(pts.size()));
    set->AddPoints(pts);
    return set;
}
