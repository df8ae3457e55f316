#pragma once
// Point sets: the growable arrays of homogeneous points in which primitives keep their control
// points and curves their profiles. A set tells the object that embeds it when it changes, so
// that the object recomputes its box and calls its own change handler. Counts are 16-bit in
// files, so a set holds at most 65535 points; going beyond is an ECADOutOfBound, never a
// wrap-around.
//
// A drawing holds millions of sets, so a set has no virtual functions and keeps its counts in
// 16 bits.
#include "CADExceptions.h"
#include "ObjectMemory.h"
#include "QVTypes.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <span>
#include <type_traits>
#include <vector>

class TCanvas2D;
class TGraphicObject;
class TLineStrip;
class TMatrix4;
class TSceneGroup;
class TStreamReader;
class TStreamWriter;

class TPointsSetBase {
public:
    static constexpr int MaxPoints = 65535;

    TPointsSetBase() = default;
    TPointsSetBase(const TPointsSetBase&) = delete;
    TPointsSetBase& operator=(const TPointsSetBase&) = delete;

    // The object that embeds the set, not owned; null for a free-standing set. It hears of every
    // change through its UpdateBox.
    TGraphicObject* OwnerObject = nullptr;
    // Storing beyond the capacity enlarges the buffer; false refuses.
    bool Growable = true;
    // While true, the owner is not told of changes.
    bool DisableEvents = false;

    int Count() const { return FCount; }
    int Capacity() const { return FCapacity; }

    // Calls the owner's UpdateBox with events off, so an owner that changes the set in turn
    // cannot re-enter; they are on again afterwards even when the update fails.
    void NotifyChange();
    void SetDisableEvents(bool Value) { DisableEvents = Value; }
    // Count 0; the buffer and the capacity stay.
    void Clear() { FCount = 0; }

protected:
    // Only the 2D and 3D sets are made and freed, never through this base.
    ~TPointsSetBase() = default;

    // Beside the two flags, in the same eight bytes as them.
    uint16_t FCount = 0;
    uint16_t FCapacity = 0;
};

// The storage of a set's points. Up to InlinePoints of them live in the set itself, so a line's
// two points need no heap block of their own; more move to one array from the object memory
// pool. The storage does not know its own capacity (the set does), so the set gives it back
// with Release(capacity), also from its destructor.
template <typename TPointT, int InlinePoints> class TPointStorage {
    static_assert(std::is_trivially_copyable_v<TPointT>);

public:
    TPointStorage() = default;
    TPointStorage(const TPointStorage&) = delete;
    TPointStorage& operator=(const TPointStorage&) = delete;
    ~TPointStorage() { RASTREL_ASSERT(!Heap); }

    TPointT* data() { return Heap ? Heap : Inline; }
    const TPointT* data() const { return Heap ? Heap : Inline; }
    TPointT* begin() { return data(); }
    TPointT& operator[](int Index) { return data()[Index]; }
    const TPointT& operator[](int Index) const { return data()[Index]; }

    // From OldSize to NewSize points (NewSize > OldSize, OldSize the capacity so far); the old
    // points stay, the new slots hold the origin with W = 1.
    void Grow(int OldSize, int NewSize)
    {
        if (!Heap && NewSize <= InlinePoints) {
            std::fill(Inline + OldSize, Inline + NewSize, TPointT{});
            return;
        }
        auto* grown = static_cast<TPointT*>(AllocateObjectMemory(Bytes(NewSize)));
        std::uninitialized_copy(data(), data() + OldSize, grown);
        std::uninitialized_fill(grown + OldSize, grown + NewSize, TPointT{});
        Release(OldSize);
        Heap = grown;
    }
    // Gives the heap array of that capacity back; no points are left.
    void Release(int Capacity)
    {
        if (Heap)
            FreeObjectMemory(Heap, Bytes(Capacity));
        Heap = nullptr;
    }

private:
    static size_t Bytes(int Points) { return static_cast<size_t>(Points) * sizeof(TPointT); }

    TPointT* Heap = nullptr;  // owned: an array of the set's capacity
    TPointT Inline[InlinePoints];
};

// What the 2D and 3D sets share; TPointT is TPoint2D or TPoint3D.
template <typename TPointT> class TPointsSetOf : public TPointsSetBase {
public:
    explicit TPointsSetOf(int Capacity);
    ~TPointsSetOf() { Buffer.Release(FCapacity); }

    TPointT Get(int Index) const;
    // Stores without notifying. Below the capacity the count reaches Index + 1; beyond it a
    // growable set at least doubles (up to MaxPoints) and a fixed one refuses.
    void Put(int Index, const TPointT& P);
    void SetPoint(int Index, const TPointT& P);
    // Only grows; new slots hold the origin with W = 1. Does not notify.
    void SetCapacity(int N);
    // The points in use.
    std::span<const TPointT> Points() const { return {Buffer.data(), static_cast<size_t>(FCount)}; }

    // UInt16 count, the points as little-endian Doubles, the Growable byte.
    void SaveToStream(TStreamWriter& W) const;
    // Reads the stream form into this (new, empty) set: capacity n, n points, Growable.
    void ReadFromStream(TStreamReader& R);
    // Back to a new set's state: empty, growable, events on, exactly that capacity. The owner
    // stays, so it keeps hearing from the set it embeds.
    void Reset(int Capacity);

protected:
    [[noreturn]] void OutOfBound(const char* Operation, const char* What) const;

    TPointStorage<TPointT, 2> Buffer;
};

class TPointsSet2D final : public TPointsSetOf<TPoint2D> {
public:
    explicit TPointsSet2D(int Capacity) : TPointsSetOf(Capacity) {}
    static std::unique_ptr<TPointsSet2D> CreateFromStream(TStreamReader& R);

    void Add(const TPoint2D& P) { SetPoint(FCount, P); }
    // Appends all points and notifies once. A fixed set refuses them unless they fit.
    void AddPoints(std::span<const TPoint2D> NewPoints);
    // Index must hold a point already; appending is Add's job.
    void Insert(int Index, const TPoint2D& P);
    void Delete(int Index);
    // Source's points First..Last to the same indexes, up to Source's last point; notifies even
    // when the copy fails.
    void CopyFrom(const TPointsSet2D& Source, int First, int Last);
    // Box of the cartesian points, W = 1; (0, 0)-(0, 0) when empty. No transform applied.
    TRect2D GetBox() const;

    // A new line strip in Group, node markers hidden, one node per point through M; the group
    // owns it and the caller colours it.
    TLineStrip* BuildGLLines(TSceneGroup& Group, const TMatrix4& M) const;
    // The same in the view's drawing group (made the target); null without a view.
    TLineStrip* BuildGLLinesInObjects(const TMatrix4& M) const;
    // The points on the screen as one polyline with the canvas's pen.
    void DrawPolyline(TCanvas2D& Canvas) const;
    // The smallest screen rectangle holding the points; all zero when empty.
    TRect GetScreenRect() const;
};

class TPointsSet3D final : public TPointsSetOf<TPoint3D> {
public:
    explicit TPointsSet3D(int Capacity) : TPointsSetOf(Capacity) {}
    static std::unique_ptr<TPointsSet3D> CreateFromStream(TStreamReader& R);

    TRect3D GetBox() const;
};

// The points of ArcToPoints2DTol in a new growable set.
std::unique_ptr<TPointsSet2D> ArcToPointsSet2D(const TVector2D& Centre, const TVector2D& StartPt,
                                               const TVector2D& EndPt, bool Clockwise, double Tol);
