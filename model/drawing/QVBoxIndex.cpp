#include "QVBoxIndex.h"

#include "CADExceptions.h"
#include "QVObject2D.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// An entry covering more cells than this goes to the list of large entries instead.
constexpr double MaxCellsPerEntry = 64;
// Cell coordinates stay well inside Int32.
constexpr double MaxCellCoord = 1 << 30;
// How many object sizes the cell size is chosen from.
constexpr size_t SizeSamples = 4096;

float FloorFloat(double V)
{
    auto f = static_cast<float>(V);
    if (static_cast<double>(f) > V)
        f = std::nextafter(f, -std::numeric_limits<float>::infinity());
    return f;
}

float CeilFloat(double V)
{
    auto f = static_cast<float>(V);
    if (static_cast<double>(f) < V)
        f = std::nextafter(f, std::numeric_limits<float>::infinity());
    return f;
}

uint64_t CellKey(int32_t X, int32_t Y)
{
    return (uint64_t(uint32_t(X)) << 32) | uint32_t(Y);
}

size_t HashBits(uint64_t V, size_t Mask)
{
    return size_t((V * 0x9E3779B97F4A7C15ull) >> 20) & Mask;
}

size_t PowerOfTwoAtLeast(size_t N)
{
    size_t n = 64;
    while (n < N)
        n *= 2;
    return n;
}

bool Finite(float MinX, float MinY, float MaxX, float MaxY)
{
    return std::isfinite(MinX) && std::isfinite(MinY) && std::isfinite(MaxX) && std::isfinite(MaxY);
}

} // namespace

TObjectBoxIndex::TObjectBoxIndex(TQV_01Cmp& Drawing) : Drawing(Drawing)
{
    Drawing.AddObserver(*this);
}

TObjectBoxIndex::~TObjectBoxIndex()
{
    Drawing.RemoveObserver(*this);
}

// ---- questions ----

bool TObjectBoxIndex::ObjectsAt(const TPoint2D& P, double Margin, std::vector<TObject2D*>& Out)
{
    return ObjectsNear(TRect2D{{P.X - Margin, P.Y - Margin, 1}, {P.X + Margin, P.Y + Margin, 1}}, Out);
}

bool TObjectBoxIndex::ObjectsNear(const TRect2D& R, std::vector<TObject2D*>& Out)
{
    Out.clear();
    if (!EnsureBuilt())
        return false;
    Collect(R, Found);
    Out.reserve(Found.size());
    for (uint32_t e : Found)
        Out.push_back(Entries[e].Obj);
    return true;
}

void TObjectBoxIndex::Collect(const TRect2D& R, std::vector<uint32_t>& Out)
{
    Out.clear();
    double x0 = std::min(R.First.X, R.Second.X), x1 = std::max(R.First.X, R.Second.X);
    double y0 = std::min(R.First.Y, R.Second.Y), y1 = std::max(R.First.Y, R.Second.Y);
    // A little wider than asked: the callers' own tests in double precision decide, and no box
    // they would accept may be lost to rounding here.
    const double slack = (std::fabs(x0) + std::fabs(x1) + std::fabs(y0) + std::fabs(y1)) * 1e-9 + 1e-300;
    x0 -= slack;
    y0 -= slack;
    x1 += slack;
    y1 += slack;
    const auto overlaps = [&](const TEntry& e) {
        // A box that is not finite is handed on: the callers' tests never exclude it either.
        return !Finite(e.MinX, e.MinY, e.MaxX, e.MaxY) ||
               (e.MinX <= x1 && e.MaxX >= x0 && e.MinY <= y1 && e.MaxY >= y0);
    };
    const double cx0 = std::floor(x0 / Cell), cx1 = std::floor(x1 / Cell);
    const double cy0 = std::floor(y0 / Cell), cy1 = std::floor(y1 / Cell);
    const double cells = (cx1 - cx0 + 1) * (cy1 - cy0 + 1);
    // A question about a large part of the drawing reads the entries in order, which is both
    // quicker than visiting its cells and already in drawing order.
    if (!(cells <= std::max(64.0, double(Live) / 8))) {
        for (uint32_t e = 0; e < Entries.size(); ++e)
            if (Entries[e].Obj && overlaps(Entries[e]))
                Out.push_back(e);
        return;
    }
    if (++Stamp == 0) {
        std::fill(Stamps.begin(), Stamps.end(), 0);
        Stamp = 1;
    }
    for (auto cx = int32_t(cx0); cx <= int32_t(cx1); ++cx)
        for (auto cy = int32_t(cy0); cy <= int32_t(cy1); ++cy) {
            const TCellSlot* slot = FindCell(CellKey(cx, cy));
            if (!slot)
                continue;
            for (uint32_t m = slot->Head; m != None; m = Members[m].Next) {
                const uint32_t e = Members[m].Entry;
                if (Stamps[e] == Stamp)
                    continue;
                Stamps[e] = Stamp;
                if (overlaps(Entries[e]))
                    Out.push_back(e);
            }
        }
    for (uint32_t e : LargeEntries)
        if (overlaps(Entries[e]))
            Out.push_back(e);
    std::sort(Out.begin(), Out.end());
}

// ---- building ----

bool TObjectBoxIndex::EnsureBuilt()
{
    if (Built)
        return true;
    try {
        Build();
    } catch (const ECADListBlocked&) {
        MarkStale(false);
        return false;
    }
    return true;
}

TObjectBoxIndex::TEntry TObjectBoxIndex::EntryOf(TObject2D& Obj)
{
    const TRect2D& b = Obj.Box;
    return TEntry{FloorFloat(std::min(b.First.X, b.Second.X)), FloorFloat(std::min(b.First.Y, b.Second.Y)),
                  CeilFloat(std::max(b.First.X, b.Second.X)), CeilFloat(std::max(b.First.Y, b.Second.Y)),
                  &Obj};
}

void TObjectBoxIndex::Build()
{
    MarkStale(false);
    {
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        Entries.reserve(size_t(Drawing.ObjectsCount()));
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (auto* o = dynamic_cast<TObject2D*>(obj))
                Entries.push_back(EntryOf(*o));
    }
    const size_t n = Entries.size();
    Live = n;

    // The cell: about one and a half times the typical object, and no smaller than twice the
    // spacing that the objects would have if spread evenly over their extents, so that an object
    // covers few cells and a cell holds few objects.
    std::vector<float> sizes;
    sizes.reserve(std::min(n, SizeSamples));
    const size_t step = std::max<size_t>(1, n / SizeSamples);
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    bool any = false;
    for (size_t i = 0; i < n; ++i) {
        const TEntry& e = Entries[i];
        if (!Finite(e.MinX, e.MinY, e.MaxX, e.MaxY))
            continue;
        if (!any) {
            minX = e.MinX, minY = e.MinY, maxX = e.MaxX, maxY = e.MaxY;
            any = true;
        }
        minX = std::min(minX, double(e.MinX));
        minY = std::min(minY, double(e.MinY));
        maxX = std::max(maxX, double(e.MaxX));
        maxY = std::max(maxY, double(e.MaxY));
        if (i % step == 0)
            sizes.push_back(std::max(e.MaxX - e.MinX, e.MaxY - e.MinY));
    }
    double typical = 0;
    if (!sizes.empty()) {
        auto mid = sizes.begin() + std::ptrdiff_t(sizes.size() / 2);
        std::nth_element(sizes.begin(), mid, sizes.end());
        typical = *mid;
    }
    const double w = maxX - minX, h = maxY - minY;
    double area = w * h;
    if (!(area > 0))
        area = std::max(w, h) * std::max(w, h);
    const double spacing = n > 0 ? std::sqrt(area / double(n)) : 0;
    Cell = std::max(1.5 * typical, 2 * spacing);
    const double reach = std::max({std::fabs(minX), std::fabs(minY), std::fabs(maxX), std::fabs(maxY)});
    Cell = std::max(Cell, reach / (MaxCellCoord / 2));
    if (!(Cell > 0) || !std::isfinite(Cell))
        Cell = 1;

    Cells.assign(PowerOfTwoAtLeast(n), TCellSlot{0, None, false});
    Members.reserve(n + n / 2);
    for (uint32_t e = 0; e < n; ++e)
        Insert(e);
    Stamps.assign(n, 0);
    Stamp = 0;
    Built = true;
    ++BuildCount;
    // Updates in place up to about a quarter of the drawing; beyond that a rebuild costs less.
    ChangesLeft = std::max<size_t>(4096, n / 4);
}

void TObjectBoxIndex::MarkStale(bool ReleaseMemory)
{
    Built = false;
    Live = 0;
    CellsUsed = 0;
    ObjectsIndexed = 0;
    FreeMember = None;
    if (ReleaseMemory) {
        Entries = {};
        Cells = {};
        Members = {};
        LargeEntries = {};
        ObjectTable = {};
        Stamps = {};
        Found = {};
        return;
    }
    Entries.clear();
    Cells.clear();
    Members.clear();
    LargeEntries.clear();
    ObjectTable.clear();
    Stamps.clear();
}

bool TObjectBoxIndex::SpendChange()
{
    if (ChangesLeft == 0) {
        MarkStale(false);
        return false;
    }
    --ChangesLeft;
    return true;
}

// ---- cells ----

TObjectBoxIndex::TCellRange TObjectBoxIndex::RangeOf(float MinX, float MinY, float MaxX, float MaxY) const
{
    TCellRange r;
    if (!Finite(MinX, MinY, MaxX, MaxY)) {
        r.Large = true;
        return r;
    }
    const double x0 = std::floor(MinX / Cell), x1 = std::floor(MaxX / Cell);
    const double y0 = std::floor(MinY / Cell), y1 = std::floor(MaxY / Cell);
    if (!(std::fabs(x0) < MaxCellCoord && std::fabs(x1) < MaxCellCoord && std::fabs(y0) < MaxCellCoord &&
          std::fabs(y1) < MaxCellCoord) ||
        (x1 - x0 + 1) * (y1 - y0 + 1) > MaxCellsPerEntry) {
        r.Large = true;
        return r;
    }
    r.X0 = int32_t(x0);
    r.X1 = int32_t(x1);
    r.Y0 = int32_t(y0);
    r.Y1 = int32_t(y1);
    return r;
}

TObjectBoxIndex::TCellSlot* TObjectBoxIndex::FindCell(uint64_t Key)
{
    const size_t mask = Cells.size() - 1;
    for (size_t i = HashBits(Key, mask);; i = (i + 1) & mask) {
        TCellSlot& slot = Cells[i];
        if (!slot.Used)
            return nullptr;
        if (slot.Key == Key)
            return &slot;
    }
}

TObjectBoxIndex::TCellSlot& TObjectBoxIndex::CellFor(uint64_t Key)
{
    if ((CellsUsed + 1) * 4 > Cells.size() * 3)
        GrowCells();
    const size_t mask = Cells.size() - 1;
    for (size_t i = HashBits(Key, mask);; i = (i + 1) & mask) {
        TCellSlot& slot = Cells[i];
        if (slot.Used && slot.Key == Key)
            return slot;
        if (!slot.Used) {
            slot = TCellSlot{Key, None, true};
            ++CellsUsed;
            return slot;
        }
    }
}

void TObjectBoxIndex::GrowCells()
{
    std::vector<TCellSlot> old(Cells.size() * 2, TCellSlot{0, None, false});
    old.swap(Cells);
    const size_t mask = Cells.size() - 1;
    for (const TCellSlot& slot : old) {
        if (!slot.Used)
            continue;
        size_t i = HashBits(slot.Key, mask);
        while (Cells[i].Used)
            i = (i + 1) & mask;
        Cells[i] = slot;
    }
}

void TObjectBoxIndex::Insert(uint32_t Entry)
{
    const TCellRange r = RangeOf(Entries[Entry]);
    if (r.Large) {
        LargeEntries.push_back(Entry);
        return;
    }
    for (int32_t cx = r.X0; cx <= r.X1; ++cx)
        for (int32_t cy = r.Y0; cy <= r.Y1; ++cy) {
            TCellSlot& slot = CellFor(CellKey(cx, cy));
            uint32_t m = FreeMember;
            if (m != None) {
                FreeMember = Members[m].Next;
                Members[m] = TMembership{Entry, slot.Head};
            } else {
                m = uint32_t(Members.size());
                Members.push_back(TMembership{Entry, slot.Head});
            }
            slot.Head = m;
        }
}

void TObjectBoxIndex::Unlink(uint32_t Entry)
{
    const TCellRange r = RangeOf(Entries[Entry]);
    if (r.Large) {
        auto it = std::find(LargeEntries.begin(), LargeEntries.end(), Entry);
        if (it != LargeEntries.end()) {
            *it = LargeEntries.back();
            LargeEntries.pop_back();
        }
        return;
    }
    for (int32_t cx = r.X0; cx <= r.X1; ++cx)
        for (int32_t cy = r.Y0; cy <= r.Y1; ++cy) {
            TCellSlot* slot = FindCell(CellKey(cx, cy));
            if (!slot)
                continue;
            for (uint32_t* link = &slot->Head; *link != None; link = &Members[*link].Next) {
                const uint32_t m = *link;
                if (Members[m].Entry != Entry)
                    continue;
                *link = Members[m].Next;
                Members[m].Next = FreeMember;
                FreeMember = m;
                break;
            }
        }
}

// ---- the table from objects to entries, made on the first change that needs it ----

size_t TObjectBoxIndex::ObjectSlot(const TGraphicObject* Obj) const
{
    return HashBits(uint64_t(reinterpret_cast<uintptr_t>(Obj) >> 3), ObjectTable.size() - 1);
}

void TObjectBoxIndex::GrowObjectTable()
{
    ObjectTable.assign(PowerOfTwoAtLeast(std::max<size_t>(Entries.size(), ObjectsIndexed) * 2 + 2), None);
    ObjectsIndexed = 0;
    for (uint32_t e = 0; e < Entries.size(); ++e)
        if (Entries[e].Obj)
            IndexEntry(e);
}

void TObjectBoxIndex::IndexEntry(uint32_t Entry)
{
    if ((ObjectsIndexed + 1) * 2 > ObjectTable.size()) {
        GrowObjectTable();
        // The new table holds every entry made so far, this one included.
        return;
    }
    const size_t mask = ObjectTable.size() - 1;
    size_t i = ObjectSlot(Entries[Entry].Obj);
    while (ObjectTable[i] != None)
        i = (i + 1) & mask;
    ObjectTable[i] = Entry;
    ++ObjectsIndexed;
}

uint32_t TObjectBoxIndex::FindEntry(const TGraphicObject* Obj) const
{
    if (ObjectTable.empty())
        return None;
    const size_t mask = ObjectTable.size() - 1;
    for (size_t i = ObjectSlot(Obj);; i = (i + 1) & mask) {
        const uint32_t e = ObjectTable[i];
        if (e == None || static_cast<const TGraphicObject*>(Entries[e].Obj) == Obj)
            return e;
    }
}

void TObjectBoxIndex::UnindexEntry(const TGraphicObject* Obj)
{
    const size_t mask = ObjectTable.size() - 1;
    size_t i = ObjectSlot(Obj);
    while (ObjectTable[i] != None && static_cast<const TGraphicObject*>(Entries[ObjectTable[i]].Obj) != Obj)
        i = (i + 1) & mask;
    if (ObjectTable[i] == None)
        return;
    // Linear probing: later slots of the same run move back, so no search stops short.
    for (size_t j = (i + 1) & mask; ObjectTable[j] != None; j = (j + 1) & mask) {
        const size_t home = ObjectSlot(Entries[ObjectTable[j]].Obj);
        const bool between = i <= j ? (i < home && home <= j) : (i < home || home <= j);
        if (between)
            continue;
        ObjectTable[i] = ObjectTable[j];
        i = j;
    }
    ObjectTable[i] = None;
    --ObjectsIndexed;
}

// ---- keeping in step with the drawing ----

void TObjectBoxIndex::Append(TObject2D& Obj)
{
    const auto e = uint32_t(Entries.size());
    Entries.push_back(EntryOf(Obj));
    Stamps.push_back(0);
    ++Live;
    Insert(e);
    if (!ObjectTable.empty())
        IndexEntry(e);
}

void TObjectBoxIndex::ObjectAdded(TGraphicObject& Obj)
{
    auto* o = dynamic_cast<TObject2D*>(&Obj);
    if (!Built || !o || !SpendChange())
        return;
    Append(*o);
}

void TObjectBoxIndex::ObjectBoxChanged(TGraphicObject& Obj)
{
    if (!Built)
        return;
    if (ObjectTable.empty())
        GrowObjectTable();
    const uint32_t e = FindEntry(&Obj);
    if (e == None)
        return;
    TEntry& entry = Entries[e];
    const TEntry now = EntryOf(*entry.Obj);
    if (now.MinX == entry.MinX && now.MinY == entry.MinY && now.MaxX == entry.MaxX && now.MaxY == entry.MaxY)
        return;
    if (!SpendChange())
        return;
    const TCellRange before = RangeOf(entry), after = RangeOf(now);
    if (before.Large == after.Large && before.X0 == after.X0 && before.X1 == after.X1 &&
        before.Y0 == after.Y0 && before.Y1 == after.Y1) {
        entry = now;
        return;
    }
    Unlink(e);
    Entries[e] = now;
    Insert(e);
}

void TObjectBoxIndex::ObjectRemoved(TGraphicObject& Obj)
{
    if (!Built)
        return;
    if (ObjectTable.empty())
        GrowObjectTable();
    const uint32_t e = FindEntry(&Obj);
    if (e == None || !SpendChange())
        return;
    Unlink(e);
    UnindexEntry(&Obj);
    Entries[e].Obj = nullptr;
    --Live;
    // Holes cost every walk of the entries; once they outnumber the objects, start afresh.
    const size_t holes = Entries.size() - Live;
    if (holes > 1024 && holes > Live)
        MarkStale(false);
}

void TObjectBoxIndex::ObjectsCleared()
{
    MarkStale(true);
}
