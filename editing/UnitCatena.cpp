#include "UnitCatena.h"

#include "QVCmp.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVGeometry.h"
#include "QVIntersect.h"
#include "QVLanguage.h"
#include "QVList.h"
#include "QVScene.h"
#include "QVSplines.h"
#include "QVVariabili.h"
#include "SceneCamera.h"
#include "UnitConfig.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

TListaCatene PtAlongChains;
std::unique_ptr<TListaCatene> SortBackupChains;

namespace {

TVector2D World(const TObject2D& Obj, const TPoint2D& P)
{
    return ObjectPointToWorld(P, Obj);
}

TVector2D World(const TObject2D& Obj, double X, double Y)
{
    return ObjectPointToWorld({X, Y, 1}, Obj);
}

bool OnVisibleLayer(TQV_01Cmp2D& Drawing, const TGraphicObject& Obj)
{
    return Obj.Visible && Drawing.Layers.GetLayer(Obj.Layer).Visible;
}

// The first and last profile points of an outline, in world coordinates.
void ProfileEnds(TOutline2D& Outline, TVector2D& First, TVector2D& Last)
{
    TProfileUse use(Outline);
    const TPointsSet2D* points = Outline.GetProfilePoints();
    const int32_t n = Outline.GetProfileCount();
    if (!points || n < 1)
        return;
    First = World(Outline, points->Points()[0]);
    Last = World(Outline, points->Points()[static_cast<size_t>(n - 1)]);
}

void AddProfileToChain(TOutline2D& Outline, bool Reversed, TACurva& Chain)
{
    TProfileUse use(Outline);
    const TPointsSet2D* points = Outline.GetProfilePoints();
    const int32_t n = points ? Outline.GetProfileCount() : 0;
    if (n < 2)
        return;
    const auto& p = points->Points();
    if (!Reversed)
        for (int32_t i = 1; i < n; ++i)
            Chain.AddVertex(TAVertice::CreatePoint(World(Outline, p[static_cast<size_t>(i)]), 0));
    else
        for (int32_t i = n - 2; i >= 0; --i)
            Chain.AddVertex(TAVertice::CreatePoint(World(Outline, p[static_cast<size_t>(i)]), 0));
}

// The end points of not-yet-linked entries on a grid of cells one ChainTol wide: every point
// within ChainTol of a query point lies in the query's cell or one of its eight neighbours. The
// cells are an open-addressed table filled by a counting pass, so building it and asking it are
// linear in the number of points.
class TEndPointGrid {
public:
    TEndPointGrid(const std::vector<TEntXCatena>& Items, double Tol) : Cell(std::max(Tol, 1e-9))
    {
        size_t size = 16;
        while (size < Items.size() * 4)
            size *= 2;
        Keys.assign(size, Empty);
        Starts.assign(size + 1, 0);
        std::vector<uint32_t> slotOf(Items.size() * 2);
        for (size_t i = 0; i < Items.size(); ++i)
            for (int end = 0; end < 2; ++end) {
                const uint32_t slot = Insert(KeyOf(end ? Items[i].EndPoint : Items[i].StartPoint));
                slotOf[i * 2 + static_cast<size_t>(end)] = slot;
                ++Starts[slot + 1];
            }
        for (size_t s = 1; s <= size; ++s)
            Starts[s] += Starts[s - 1];
        Entries.resize(Items.size() * 2);
        std::vector<uint32_t> fill(Starts.begin(), Starts.end() - 1);
        for (size_t k = 0; k < slotOf.size(); ++k)
            Entries[fill[slotOf[k]]++] = static_cast<uint32_t>(k / 2);
    }

    // Calls Visit with every entry that has an end point in the cells around P.
    template <class F> void Around(const TVector2D& P, F Visit) const
    {
        const int64_t cx = CellOf(P.X), cy = CellOf(P.Y);
        for (int64_t dx = -1; dx <= 1; ++dx)
            for (int64_t dy = -1; dy <= 1; ++dy) {
                const uint32_t slot = Find(Combine(cx + dx, cy + dy));
                if (slot == NoSlot)
                    continue;
                for (uint32_t k = Starts[slot]; k < Starts[slot + 1]; ++k)
                    Visit(Entries[k]);
            }
    }

private:
    static constexpr uint64_t Empty = ~uint64_t{0};
    static constexpr uint32_t NoSlot = ~uint32_t{0};

    int64_t CellOf(double V) const
    {
        const double c = std::floor(V / Cell);
        // Far or broken coordinates share the edge cells; the exact test sorts them out.
        constexpr double limit = 1e15;
        return static_cast<int64_t>(std::clamp(std::isfinite(c) ? c : 0.0, -limit, limit));
    }
    static uint64_t Combine(int64_t X, int64_t Y)
    {
        uint64_t h = static_cast<uint64_t>(X) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(Y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
        h ^= h >> 29;
        return h == Empty ? 0 : h;
    }
    uint64_t KeyOf(const TVector2D& P) const { return Combine(CellOf(P.X), CellOf(P.Y)); }
    uint32_t Slot(uint64_t Key) const
    {
        return static_cast<uint32_t>((Key * 0xBF58476D1CE4E5B9ull) >> 20) &
               static_cast<uint32_t>(Keys.size() - 1);
    }
    uint32_t Insert(uint64_t Key)
    {
        for (uint32_t s = Slot(Key);; s = (s + 1) & static_cast<uint32_t>(Keys.size() - 1))
            if (Keys[s] == Key || Keys[s] == Empty) {
                Keys[s] = Key;
                return s;
            }
    }
    uint32_t Find(uint64_t Key) const
    {
        for (uint32_t s = Slot(Key);; s = (s + 1) & static_cast<uint32_t>(Keys.size() - 1)) {
            if (Keys[s] == Key)
                return s;
            if (Keys[s] == Empty)
                return NoSlot;
        }
    }

    double Cell;
    std::vector<uint64_t> Keys;
    std::vector<uint32_t> Starts;
    std::vector<uint32_t> Entries;
};

// Greedy end-to-start linking over a grid of the entries' end points. Each run starts at the
// earliest entry not yet linked and takes, at every step, the earliest free entry whose start
// (tested first) or end meets the current end: what a scan of the list in order would take.
class TLinker {
public:
    explicit TLinker(std::vector<TEntXCatena>& Items)
        : Items(Items), Tol(ChainTol()), Grid(Items, ChainTol()), Taken(Items.size(), 0)
    {
    }

    // The run from entry First, as indices into Items in linking order.
    std::vector<uint32_t> Run(uint32_t First)
    {
        std::vector<uint32_t> run{First};
        Taken[First] = 1;
        int turns = 0;
        for (;;) {
            const TVector2D end = Items[run.back()].EndPoint;
            uint32_t best = NoEntry;
            bool byEnd = false;
            Grid.Around(end, [&](uint32_t k) {
                if (Taken[k] || k > best)
                    return;
                const bool atStart = IsSamePointTol(end, Items[k].StartPoint, Tol);
                if (!atStart && !IsSamePointTol(end, Items[k].EndPoint, Tol))
                    return;
                if (k < best || atStart) {
                    best = k;
                    byEnd = !atStart;
                }
            });
            if (best != NoEntry) {
                if (byEnd) {
                    Items[best].Reversed = 1;
                    Items[best].SwapEnds();
                }
                Taken[best] = 1;
                run.push_back(best);
                continue;
            }
            if (run.size() > 1)
                return run;
            // Nothing beyond the first entry's end: try from its other end once.
            TEntXCatena& first = Items[First];
            first.Reversed = first.Reversed ? 0 : 1;
            first.SwapEnds();
            if (++turns == 2)
                return run;
        }
    }

    bool IsTaken(uint32_t I) const { return Taken[I] != 0; }

private:
    static constexpr uint32_t NoEntry = ~uint32_t{0};
    std::vector<TEntXCatena>& Items;
    double Tol;
    TEndPointGrid Grid;
    std::vector<uint8_t> Taken;
};

void AddChainNode(TLineStrip& Strip, const TVector2D& P, double Z)
{
    Strip.AddNode(P.X, P.Y, Z);
}

double ChainMarkerRadius(bool PointsMode)
{
    if (PointsMode)
        return ParseUserNumber(ToolWindow().ControlText("txtCCOffset")).value_or(0);
    TCurrentOperation* op = Machining().CurrentOp();
    return op ? op->LatheToolSize() : 0;
}

} // namespace

// ---- candidates ---------------------------------------------------------------------------------

TEntXCatena TEntXCatena::Create(TObject2D& Entity)
{
    TEntXCatena e;
    e.EntityID = Entity.ID;
    e.Layer = Entity.Layer;
    if (auto* line = dynamic_cast<TLine2D*>(&Entity)) {
        if (line->Points().Count() < 2)
            return e.EntityID = -1, e;
        e.StartPoint = World(Entity, line->Points().Points()[0]);
        e.EndPoint = World(Entity, line->Points().Points()[1]);
    } else if (auto* frame = dynamic_cast<TFrame2D*>(&Entity)) {
        if (frame->Points().Count() < 2)
            return e.EntityID = -1, e;
        e.StartPoint = e.EndPoint = World(Entity, frame->Points().Points()[0]);
    } else if (auto* arc = dynamic_cast<TArco2D*>(&Entity)) {
        TArcInfo2D info;
        arc->GetArcInfo2D(info);
        e.StartPoint = {info.StartPt.X, info.StartPt.Y};
        e.EndPoint = {info.EndPt.X, info.EndPt.Y};
    } else if (auto* circle = dynamic_cast<TCerchio2D*>(&Entity)) {
        double cx = 0, cy = 0, r = 0;
        circle->GetCircleParams(cx, cy, r);
        e.StartPoint = e.EndPoint = World(Entity, cx + r, cy);
    } else if (auto* polyline = dynamic_cast<TPolyline2D*>(&Entity)) {
        const auto& p = polyline->Points().Points();
        if (p.empty())
            return e.EntityID = -1, e;
        e.StartPoint = World(Entity, p.front());
        e.EndPoint = World(Entity, p.back());
    } else if (auto* curve = dynamic_cast<TCurve2D*>(&Entity)) {
        ProfileEnds(*curve, e.StartPoint, e.EndPoint);
    } else {
        e.EntityID = -1;
    }
    return e;
}

void TEntXCatena::SwapEnds()
{
    std::swap(StartPoint, EndPoint);
}

// ---- emitters -----------------------------------------------------------------------------------

void AddLineToChain(const TObject2D& Line, bool Reversed, TACurva& Chain)
{
    const auto& p = static_cast<const TPrimitive2D&>(Line).Points().Points();
    if (p.size() >= 2)
        Chain.AddVertex(TAVertice::CreatePoint(World(Line, p[Reversed ? 0 : 1]), 0));
}

void AddFrameToChain(const TObject2D& Frame, bool /*Reversed*/, TACurva& Chain)
{
    const auto& p = static_cast<const TPrimitive2D&>(Frame).Points().Points();
    if (p.size() < 2)
        return;
    const double x0 = p[0].X, y0 = p[0].Y, x1 = p[1].X, y1 = p[1].Y;
    for (const auto& [x, y] : {std::pair{x1, y0}, {x1, y1}, {x0, y1}, {x0, y0}})
        Chain.AddVertex(TAVertice::CreatePoint(World(Frame, x, y), 0));
}

void AddArcToChain(const TObject2D& Arc, bool Reversed, TACurva& Chain)
{
    TArcInfo2D info;
    static_cast<const TArco2D&>(Arc).GetArcInfo2D(info);
    const TVector2D c{info.Center.X, info.Center.Y};
    const TVector2D p =
        Reversed ? TVector2D{info.StartPt.X, info.StartPt.Y} : TVector2D{info.EndPt.X, info.EndPt.Y};
    const int32_t kind = Reversed ? -1 : 1;
    if (IsEqual(info.Sweep, 2 * std::numbers::pi)) {
        // A full turn as two half arcs: a single arc vertex cannot tell a full turn from none.
        const TVector2D half{2 * c.X - p.X, 2 * c.Y - p.Y};
        Chain.AddVertex(TAVertice::CreateFull(kind, half, c, 0));
    }
    Chain.AddVertex(TAVertice::CreateFull(kind, p, c, 0));
}

void AddCircleToChain(const TObject2D& Circle, bool /*Reversed*/, TACurva& Chain)
{
    double cx = 0, cy = 0, r = 0;
    static_cast<const TCerchio2D&>(Circle).GetCircleParams(cx, cy, r);
    const TVector2D c = World(Circle, cx, cy);
    Chain.AddVertex(TAVertice::CreateFull(1, World(Circle, cx - r, cy), c, 0));
    Chain.AddVertex(TAVertice::CreateFull(1, World(Circle, cx + r, cy), c, 0));
}

void AddPolylineToChain(const TObject2D& Polyline, bool Reversed, TACurva& Chain)
{
    const auto& p = static_cast<const TPrimitive2D&>(Polyline).Points().Points();
    const int32_t n = static_cast<int32_t>(p.size());
    if (n < 2)
        return;
    if (!Reversed)
        for (int32_t i = 1; i < n; ++i)
            Chain.AddVertex(TAVertice::CreatePoint(World(Polyline, p[static_cast<size_t>(i)]), 0));
    else
        for (int32_t i = n - 2; i >= 0; --i)
            Chain.AddVertex(TAVertice::CreatePoint(World(Polyline, p[static_cast<size_t>(i)]), 0));
}

void AddCurveToChain(TObject2D& Curve, bool Reversed, TACurva& Chain)
{
    if (auto* outline = dynamic_cast<TOutline2D*>(&Curve))
        AddProfileToChain(*outline, Reversed, Chain);
}

void AddEntityToChain(TObject2D& Entity, bool Reversed, TACurva& Chain)
{
    if (dynamic_cast<TLine2D*>(&Entity))
        AddLineToChain(Entity, Reversed, Chain);
    else if (dynamic_cast<TFrame2D*>(&Entity))
        AddFrameToChain(Entity, Reversed, Chain);
    else if (dynamic_cast<TArco2D*>(&Entity))
        AddArcToChain(Entity, Reversed, Chain);
    else if (dynamic_cast<TCerchio2D*>(&Entity))
        AddCircleToChain(Entity, Reversed, Chain);
    else if (dynamic_cast<TPolyline2D*>(&Entity))
        AddPolylineToChain(Entity, Reversed, Chain);
    else if (dynamic_cast<TCurve2D*>(&Entity))
        AddCurveToChain(Entity, Reversed, Chain);
}

// ---- the candidate list -------------------------------------------------------------------------

TListEntXCatena TListEntXCatena::CreateFrom(TQV_01Cmp2D& Drawing, const TEntXCatena& Entry)
{
    TListEntXCatena list;
    list.Items.push_back(Entry);
    list.AddCandidates(Drawing);
    return list;
}

void TListEntXCatena::AddCandidates(TQV_01Cmp2D& Drawing)
{
    if (Items.empty())
        return;
    const int32_t first = Items.front().EntityID;
    TGraphicObjIterator it = Drawing.ObjectsIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        auto* o2 = dynamic_cast<TObject2D*>(obj);
        if (!o2 || obj->ID == first || !OnVisibleLayer(Drawing, *obj))
            continue;
        TEntXCatena e = TEntXCatena::Create(*o2);
        if (e.Chainable())
            Items.push_back(e);
    }
}

int32_t TListEntXCatena::Link()
{
    if (Items.size() < 2)
        return 1;
    TLinker linker(Items);
    const std::vector<uint32_t> run = linker.Run(0);
    std::vector<TEntXCatena> ordered;
    ordered.reserve(Items.size());
    for (uint32_t k : run)
        ordered.push_back(Items[k]);
    for (uint32_t k = 0; k < Items.size(); ++k)
        if (!linker.IsTaken(k))
            ordered.push_back(Items[k]);
    Items = std::move(ordered);
    return static_cast<int32_t>(run.size());
}

void TListEntXCatena::TrimToChain()
{
    const int32_t n = Link();
    Items.resize(std::min(Items.size(), static_cast<size_t>(n)));
}

void TListEntXCatena::BuildChains(TQV_01Cmp2D& Drawing, TListaCatene& Chains)
{
    // One grid for all runs: each run starts at the earliest entry left, as linking the rest of
    // the list again would.
    TLinker linker(Items);
    for (uint32_t first = 0; first < Items.size(); ++first) {
        if (linker.IsTaken(first))
            continue;
        TListEntXCatena run;
        for (uint32_t k : linker.Run(first))
            run.Items.push_back(Items[k]);
        run.MakeChain(Drawing, Chains);
    }
    Items.clear();
}

void TListEntXCatena::MakeChain(TQV_01Cmp2D& Drawing, TListaCatene& Chains) const
{
    auto chain = std::make_unique<TCatena>();
    chain->BuildFromEntities(Drawing, Items);
    if (chain->Closed && chain->IsClockwise())
        chain->Reverse();
    chain->Reversed = false;
    Chains.AddChain(std::move(chain));
}

TListEntXCatena TListEntXCatena::ExtractLayer(int32_t Layer, int32_t& NextLayer)
{
    TListEntXCatena taken;
    std::vector<TEntXCatena> rest;
    NextLayer = 9999;
    for (const TEntXCatena& e : Items)
        if (e.Layer == Layer) {
            taken.Items.push_back(e);
        } else {
            rest.push_back(e);
            NextLayer = std::min<int32_t>(NextLayer, e.Layer);
        }
    Items = std::move(rest);
    return taken;
}

// ---- one chain ----------------------------------------------------------------------------------

void TCatena::BuildFromEntities(TQV_01Cmp2D& Drawing, const std::vector<TEntXCatena>& Entries)
{
    if (Entries.empty())
        return;
    AddVertex(TAVertice::CreatePoint(Entries.front().StartPoint, 0));
    for (const TEntXCatena& e : Entries)
        if (TObject2D* obj = Drawing.GetObject(e.EntityID))
            AddEntityToChain(*obj, e.Reversed != 0, *this);
    if (Count() > 1 && IsSamePointTol(Vertices.front().Point, Vertices.back().Point, ChainTol()))
        Closed = true;
    ID = ChainIDs.NextID();
}

TLineStrip* TCatena::PathStrip(TQVScene& View)
{
    if (auto* strip = static_cast<TLineStrip*>(PathLines.Get()))
        return strip;
    if (!View.ChainGroup)
        return nullptr;
    auto* strip = View.ChainGroup->Add<TLineStrip>();
    const int32_t color = AppConfig ? AppConfig->ChainColor : 0xFF0000;
    const int32_t width = AppConfig ? AppConfig->ChainLW : 2;
    strip->SetColor(SceneColorFromTColor(static_cast<uint32_t>(color)));
    strip->SetLineWidth(static_cast<float>(width));
    PathLines = strip->Handle();
    return strip;
}

TLineStrip* TCatena::MarkStrip(TQVScene& View)
{
    if (auto* strip = static_cast<TLineStrip*>(MarkLines.Get()))
        return strip;
    if (!View.ChainMarksGroup)
        return nullptr;
    auto* strip = View.ChainMarksGroup->Add<TLineStrip>();
    const int32_t width = AppConfig ? AppConfig->ChainLW : 2;
    strip->SetColor(SceneColorFromTColor(0x00FFFF));
    strip->SetLineWidth(static_cast<float>(std::max(width / 2, 1)));
    MarkLines = strip->Handle();
    return strip;
}

void TCatena::DrawPointMarker(TLineStrip& Strip, const TVector2D& P, bool PointsMode)
{
    const double r = ChainMarkerRadius(PointsMode);
    if (PointsMode && r > 0) {
        // The tool's circle, closed on its first point.
        constexpr int steps = 36;
        for (int i = 0; i <= steps; ++i) {
            const double a = 2 * std::numbers::pi * i / steps;
            Strip.AddNode(P.X + r * std::cos(a), P.Y + r * std::sin(a), 0);
        }
    }
    const double h = 1.5 * r;
    for (const auto& [x, y] :
         {std::pair{P.X + h, P.Y}, {P.X - h, P.Y}, {P.X, P.Y}, {P.X, P.Y + h}, {P.X, P.Y - h}, {P.X, P.Y}})
        Strip.AddNode(x, y, 0);
}

void TCatena::BuildLines(TQVScene& View, bool PointsMode)
{
    TLineStrip* strip = PathStrip(View);
    if (!strip)
        return;
    constexpr double z = 0.0025;
    if (Count() < 2) {
        if (Count() == 1 && (PointsMode || ID == 70000))
            DrawPointMarker(*strip, Vertices[0].Point, PointsMode);
        return;
    }
    if (PointsMode)
        DrawPointMarker(*strip, Vertices[0].Point, true);
    AddChainNode(*strip, Vertices[0].Point, z);
    for (size_t i = 1; i < Vertices.size(); ++i) {
        const TAVertice& v = Vertices[i];
        if (v.Kind == 0) {
            AddChainNode(*strip, v.Point, z);
        } else {
            TArrayOfPoint2d points;
            ArcToPoints2D(v.Centre, Vertices[i - 1].Point, v.Point, v.Kind != 1, points);
            for (const TPoint2D& p : points)
                strip->AddNode(p.X, p.Y, z);
        }
        if (PointsMode)
            DrawPointMarker(*strip, v.Point, true);
    }
}

void TCatena::DrawDirectionMark(TQVScene& View, bool AtEnd, int32_t Side)
{
    if (Count() < 2)
        return;
    TLineStrip* strip = MarkStrip(View);
    if (!strip || !View.Camera)
        return;
    TAVertice a = Vertices[0], b = Vertices[1];
    if (AtEnd) {
        a = Vertices.back();
        b = Vertices[Vertices.size() - 2];
        b.Kind = -a.Kind;
        b.Centre = a.Centre;
        a.Kind = 0;
    }
    const TVector2D p = a.Point;
    TVector2D d = VertexTangent(p, a, b);
    const double len = std::hypot(d.X, d.Y);
    if (len == 0)
        return;
    d = {d.X / len, d.Y / len};
    const double s = 1.0 / static_cast<float>(View.Camera->SceneScale);
    const double h = 0.66 * s;
    const TVector2D tip{p.X + d.X * s, p.Y + d.Y * s};
    const TVector2D base{p.X + d.X * h, p.Y + d.Y * h};
    const TVector2D w1{base.X + d.Y * h / 5, base.Y - d.X * h / 5};
    const TVector2D w2{base.X - d.Y * h / 5, base.Y + d.X * h / 5};
    for (const TVector2D& q : {p, tip, w1, w2, tip})
        AddChainNode(*strip, q, 0.005);
    double sign = Side == 1 ? -1 : Side == 2 ? 1 : 0;
    if (sign == 0)
        return;
    if (AtEnd)
        sign = -sign;
    // The same arrow shrunk to 0.6 and turned a quarter towards the side, about P.
    const double ang = sign * std::numbers::pi / 2;
    const auto map = [&](const TVector2D& q) {
        const double x = (q.X - p.X) * 0.6, y = (q.Y - p.Y) * 0.6;
        return TVector2D{p.X + x * std::cos(ang) - y * std::sin(ang),
                         p.Y + x * std::sin(ang) + y * std::cos(ang)};
    };
    for (const TVector2D& q : {p, map(tip), map(w1), map(w2), map(tip)})
        AddChainNode(*strip, q, 0);
}

void TCatena::ClearDisplay()
{
    if (auto* strip = static_cast<TLineStrip*>(PathLines.Get()))
        strip->ClearNodes();
    ClearMarks();
}

void TCatena::ClearMarks()
{
    if (auto* strip = static_cast<TLineStrip*>(MarkLines.Get()))
        strip->ClearNodes();
}

// ---- chain lists --------------------------------------------------------------------------------

TCatena* TListaCatene::AddChain(std::unique_ptr<TCatena> C)
{
    return static_cast<TCatena*>(Add(std::move(C)));
}

void TListaCatene::CopyFrom(const TListaCatene& Source)
{
    for (const auto& c : Source.Items) {
        auto copy = std::make_unique<TCatena>();
        copy->Assign(*c);
        AddChain(std::move(copy));
    }
    Reversed = Source.Reversed;
}

namespace {
int32_t CurrentSide()
{
    return ToolWindow().ControlItemIndex("cboCCDir");
}
} // namespace

void TListaCatene::DeleteAll()
{
    if (Items.empty())
        return;
    DeleteAllQuiet();
    DrawMarks(CurrentSide(), false);
    UpdateInfo();
}

void TListaCatene::DeleteAllQuiet()
{
    Items.clear();
}

void TListaCatene::DeleteLast()
{
    if (Items.empty())
        return;
    Items.pop_back();
    DrawMarks(CurrentSide(), false);
    UpdateInfo();
}

void TListaCatene::Redraw(bool PointsMode)
{
    for (int32_t i = 0; i < Count(); ++i) {
        Chain(i).ClearDisplay();
        if (DrawingView)
            Chain(i).BuildLines(*DrawingView, PointsMode);
    }
    DrawMarks(PointsMode ? 0 : CurrentSide(), false);
    UpdateInfo();
    if (DrawingView) {
        if (DrawingView->ChainGroup)
            DrawingView->ChainGroup->SetDirty();
        DrawingView->Repaint();
    }
}

void TListaCatene::DrawMarks(int32_t Side, bool ClearFirst)
{
    for (int32_t i = 0; i < Count(); ++i) {
        if (ClearFirst)
            Chain(i).ClearMarks();
        if (DrawingView)
            Chain(i).DrawDirectionMark(*DrawingView, Reversed != 0, Side);
    }
}

std::string TListaCatene::InfoText(bool Drilling) const
{
    if (Drilling) {
        size_t n = 0;
        for (const auto& c : Items)
            n += c->Vertices.size();
        return n > 0 ? std::to_string(n) + " " + GetLangString(725) : std::string();
    }
    int32_t closed = 0, open = 0;
    for (const auto& c : Items)
        (c->Closed ? closed : open)++;
    std::string text;
    if (closed > 0)
        text = std::to_string(closed) + " " + GetLangString(718);
    if (open > 0) {
        if (!text.empty())
            text += " - ";
        text += std::to_string(open) + " " + GetLangString(719);
    }
    return text;
}

void TListaCatene::UpdateInfo()
{
    TCurrentOperation* op = Machining().CurrentOp();
    if (!op || InfoLabel.empty())
        return;
    ToolWindow().SetControlText(InfoLabel, InfoText(op->OpType() == 3));
}

void TListaCatene::SortNearest(const TVector2D& StartPoint, bool Sort)
{
    if (!Sort) {
        RestoreUnsorted();
        return;
    }
    if (!SortBackupChains) {
        SortBackupChains = std::make_unique<TListaCatene>();
        SortBackupChains->CopyFrom(*this);
    }
    std::vector<TAVertice> all;
    for (const auto& c : Items)
        all.insert(all.end(), c->Vertices.begin(), c->Vertices.end());
    Items.clear();
    if (all.empty())
        return; // no empty chain for an empty list
    TVector2D current = StartPoint;
    for (size_t r = 0; r < all.size(); ++r) {
        size_t best = r;
        float bestDist = std::numeric_limits<float>::infinity();
        for (size_t k = r; k < all.size(); ++k) {
            // Single precision, and the last of equally near vertices wins, as the drilling
            // order has always been.
            const float d = static_cast<float>(VectorDistance2D(current, all[k].Point));
            if (d <= bestDist) {
                bestDist = d;
                best = k;
            }
        }
        std::swap(all[r], all[best]);
        current = all[r].Point;
    }
    auto chain = std::make_unique<TCatena>();
    chain->Vertices = std::move(all);
    AddChain(std::move(chain));
}

void TListaCatene::RestoreUnsorted()
{
    if (!SortBackupChains)
        return;
    DeleteAllQuiet();
    CopyFrom(*SortBackupChains);
    SortBackupChains.reset();
}

TCatena* FindChainById(TListaCatene& List, int32_t ID)
{
    for (int32_t i = 0; i < List.Count(); ++i)
        if (List.Chain(i).ID == ID)
            return &List.Chain(i);
    return nullptr;
}

void ShowChainLayers(TQVScene& View)
{
    if (View.ChainGroup)
        View.ChainGroup->SetVisible(true);
    if (View.ChainMarksGroup)
        View.ChainMarksGroup->SetVisible(true);
}

void ClearChainDisplay(TListaCatene& List)
{
    for (int32_t i = 0; i < List.Count(); ++i)
        List.Chain(i).ClearDisplay();
    if (DrawingView && DrawingView->ChainGroup)
        DrawingView->ChainGroup->SetDirty();
}

void ClearChainMarks(TListaCatene& List)
{
    for (int32_t i = 0; i < List.Count(); ++i)
        List.Chain(i).ClearMarks();
    if (DrawingView && DrawingView->ChainMarksGroup)
        DrawingView->ChainMarksGroup->SetDirty();
}

// ---- holes --------------------------------------------------------------------------------------

namespace {
bool HolePasses(const THoleFilter& Filter, double Radius)
{
    return !Filter.Enabled || IsEqualTol(2 * Radius, Filter.Diameter, Filter.Tolerance);
}

// Centre and radius from control points 0 and 1.
bool CentreAndRadius(const TObject2D& Obj, TVector2D& Centre, double& Radius)
{
    const auto& p = static_cast<const TPrimitive2D&>(Obj).Points().Points();
    if (p.size() < 2)
        return false;
    Centre = World(Obj, p[0]);
    Radius = VectorDistance2D(Centre, World(Obj, p[1]));
    return true;
}
} // namespace

void AddPointHole(const TObject2D& Point, TACurva& Chain)
{
    const auto& p = static_cast<const TPrimitive2D&>(Point).Points().Points();
    if (!p.empty())
        Chain.AddVertex(TAVertice::CreatePoint(World(Point, p[0]), 0));
}

void AddArcHole(const TObject2D& Arc, const THoleFilter& Filter, TACurva& Chain)
{
    const auto& arc = static_cast<const TArco2D&>(Arc);
    if (!IsEqual(arc.StartAngle(), arc.EndAngle()))
        return;
    TVector2D c;
    double r = 0;
    if (CentreAndRadius(Arc, c, r) && HolePasses(Filter, r))
        Chain.AddVertex(TAVertice::CreatePoint(c, 0));
}

void AddCircleHole(const TObject2D& Circle, const THoleFilter& Filter, TACurva& Chain)
{
    TVector2D c;
    double r = 0;
    if (CentreAndRadius(Circle, c, r) && HolePasses(Filter, r))
        Chain.AddVertex(TAVertice::CreatePoint(c, 0));
}

bool AddHole(const TObject2D& Obj, int32_t Kinds, const THoleFilter& Filter, TACurva& Chain)
{
    if (dynamic_cast<const TPunto2D*>(&Obj)) {
        if (Kinds != HolePoints)
            return false;
        AddPointHole(Obj, Chain);
    } else if (dynamic_cast<const TArco2D*>(&Obj)) {
        if (!(Kinds & HoleArcs))
            return false;
        AddArcHole(Obj, Filter, Chain);
    } else if (dynamic_cast<const TCerchio2D*>(&Obj)) {
        if (!(Kinds & HoleCircles))
            return false;
        AddCircleHole(Obj, Filter, Chain);
    } else {
        return false;
    }
    return true;
}

// ---- the chain commands' work -------------------------------------------------------------------

void ChainAll(TQV_01Cmp2D& Drawing, TListaCatene& List, bool LayerPriority)
{
    TListEntXCatena candidates;
    int32_t layer = 99999;
    {
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
            auto* o2 = dynamic_cast<TObject2D*>(obj);
            if (!o2 || !OnVisibleLayer(Drawing, *obj))
                continue;
            TEntXCatena e = TEntXCatena::Create(*o2);
            if (!e.Chainable())
                continue;
            candidates.Items.push_back(e);
            layer = std::min<int32_t>(layer, e.Layer);
        }
    }
    while (!candidates.Items.empty()) {
        int32_t next = 9999;
        TListEntXCatena part;
        if (LayerPriority)
            part = candidates.ExtractLayer(layer, next);
        else
            std::swap(part, candidates);
        if (!part.Items.empty())
            part.BuildChains(Drawing, List);
        layer = next;
    }
    List.Redraw(false);
}

void ChainAllHoles(TQV_01Cmp2D& Drawing, TListaCatene& List, const THoleFilter& Filter, int32_t Kinds)
{
    auto chain = std::make_unique<TCatena>();
    {
        TGraphicObjIterator it = Drawing.ObjectsIterator();
        for (TGraphicObject* obj = it.First(); obj; obj = it.Next())
            if (auto* o2 = dynamic_cast<TObject2D*>(obj); o2 && OnVisibleLayer(Drawing, *obj))
                AddHole(*o2, Kinds, Filter, *chain);
    }
    if (chain->Count() > 0)
        List.AddChain(std::move(chain));
    List.Redraw(true);
}

void ChainSelection(TQV_01Cmp2D& Drawing, const std::vector<int32_t>& IDs, TListaCatene& List)
{
    TListEntXCatena candidates;
    for (int32_t id : IDs)
        if (TObject2D* obj = Drawing.GetObject(id)) {
            TEntXCatena e = TEntXCatena::Create(*obj);
            if (e.Chainable())
                candidates.Items.push_back(e);
        }
    if (!candidates.Items.empty())
        candidates.BuildChains(Drawing, List);
}

bool ChainFromEntity(TQV_01Cmp2D& Drawing, TObject2D& Entity, TListaCatene& List)
{
    const TEntXCatena entry = TEntXCatena::Create(Entity);
    if (!entry.Chainable())
        return false;
    TListEntXCatena candidates = TListEntXCatena::CreateFrom(Drawing, entry);
    candidates.TrimToChain();
    candidates.MakeChain(Drawing, List);
    return true;
}

bool HoleChainOfSelection(TQV_01Cmp2D& Drawing, const std::vector<int32_t>& IDs, int32_t Kinds,
                          const THoleFilter& Filter, TListaCatene& List)
{
    auto chain = std::make_unique<TCatena>();
    for (int32_t id : IDs)
        if (TObject2D* obj = Drawing.GetObject(id); obj && OnVisibleLayer(Drawing, *obj))
            AddHole(*obj, Kinds, Filter, *chain);
    if (chain->Count() == 0)
        return false;
    List.AddChain(std::move(chain));
    return true;
}
