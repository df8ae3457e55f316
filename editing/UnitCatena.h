#pragma once
// Chains ("catena"): open or closed paths of lines and arcs built from drawing entities whose ends
// touch within ChainTol, the lists of chains that machining operations and the points-along tool
// keep, and the hole chains of drilling (centres of points, full-circle arcs and circles).
//
// Linking finds each next entity through a grid of end points, so chaining a traced drawing of a
// million pieces stays near linear; the pieces are still taken in the order a scan of the list
// would take them (the earliest candidate in the list wins).
#include "QVServices.h"
#include "QVTypes.h"
#include "SceneNodes.h"
#include "UnitCurva.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TObject2D;
class TQV_01Cmp2D;
class TQVScene;
class TListaCatene;

// One entity as a chain candidate: its end points in world coordinates, the start being the end
// at which a walk enters it.
struct TEntXCatena {
    // The entity's ID; -1 when its kind cannot be chained.
    int32_t EntityID = -1;
    TVector2D StartPoint, EndPoint;
    // 1 when the entity is walked from its end point to its start point.
    uint8_t Reversed = 0;
    uint8_t Layer = 0;

    static TEntXCatena Create(TObject2D& Entity);
    bool Chainable() const { return EntityID != -1; }
    // Swaps the two points.
    void SwapEnds();
};

// A chain: a curve with the two line sets that show it in the view (the path in ChainGroup, the
// direction and side marks in ChainMarksGroup). The view owns the line sets; the chain keeps weak
// links, so a view that empties its groups leaves nothing dangling.
class TCatena : public TACurva {
public:
    // Appends the vertices of the entries' entities in order (an entity no longer in the drawing
    // adds nothing), sets Closed when the ends meet within ChainTol and takes a fresh ID.
    void BuildFromEntities(TQV_01Cmp2D& Drawing, const std::vector<TEntXCatena>& Entries);

    // The path into the view's chain group. In points mode a marker is drawn at every vertex.
    void BuildLines(TQVScene& View, bool PointsMode);
    // The direction arrow at the start (or at the end) and the compensation-side mark (Side 1
    // or 2) into the view's marks group.
    void DrawDirectionMark(TQVScene& View, bool AtEnd, int32_t Side);
    void ClearDisplay();
    void ClearMarks();

    TSceneNodeHandle PathLines;
    TSceneNodeHandle MarkLines;

private:
    TLineStrip* PathStrip(TQVScene& View);
    TLineStrip* MarkStrip(TQVScene& View);
    void DrawPointMarker(TLineStrip& Strip, const TVector2D& P, bool PointsMode);
};

// The vertex emitters, one per entity kind, in world coordinates after the entity's entry point.
void AddLineToChain(const TObject2D& Line, bool Reversed, TACurva& Chain);
void AddFrameToChain(const TObject2D& Frame, bool Reversed, TACurva& Chain);
void AddArcToChain(const TObject2D& Arc, bool Reversed, TACurva& Chain);
void AddCircleToChain(const TObject2D& Circle, bool Reversed, TACurva& Chain);
void AddPolylineToChain(const TObject2D& Polyline, bool Reversed, TACurva& Chain);
void AddCurveToChain(TObject2D& Curve, bool Reversed, TACurva& Chain);
// The right emitter for Entity's kind; nothing for a kind that cannot be chained.
void AddEntityToChain(TObject2D& Entity, bool Reversed, TACurva& Chain);

// The candidates of one linking run, in list order.
class TListEntXCatena {
public:
    // A list whose first entry is Entry, followed by every other chainable object of the drawing.
    static TListEntXCatena CreateFrom(TQV_01Cmp2D& Drawing, const TEntXCatena& Entry);
    // Appends an entry for each visible object on a visible layer that is no point, picture,
    // container or block, and is not the first entry's entity. Nothing on an empty list.
    void AddCandidates(TQV_01Cmp2D& Drawing);
    // Links the entries end to start from entry 0 and moves the linked run to the front; answers
    // its length (1 for fewer than two entries).
    int32_t Link();
    // Link, then drops every entry behind the run.
    void TrimToChain();
    // Links and makes chains until no entry is left.
    void BuildChains(TQV_01Cmp2D& Drawing, TListaCatene& Chains);
    // One chain of all entries, closed ones counter-clockwise, appended to Chains.
    void MakeChain(TQV_01Cmp2D& Drawing, TListaCatene& Chains) const;
    // Moves the entries of Layer into the result and sets NextLayer to the lowest layer of the
    // rest (9999 when none is left).
    TListEntXCatena ExtractLayer(int32_t Layer, int32_t& NextLayer);

    std::vector<TEntXCatena> Items;
};

// The chains of one operation (or of the points-along tool); owns them.
class TListaCatene : public TListaDiCurve {
public:
    TCatena& Chain(int32_t I) { return static_cast<TCatena&>(*Items[static_cast<size_t>(I)]); }
    TCatena* AddChain(std::unique_ptr<TCatena> C);

    // Copies of Source's chains, then its Reversed byte.
    void CopyFrom(const TListaCatene& Source);
    // On a non-empty list: frees every chain, redraws the marks and the info.
    void DeleteAll();
    void DeleteAllQuiet();
    void DeleteLast();
    // Every chain's path and marks again, and the info.
    void Redraw(bool PointsMode);
    void DrawMarks(int32_t Side, bool ClearFirst);
    // The info label's caption: the vertex count of a drilling list, else the closed and open
    // chain counts.
    void UpdateInfo();
    std::string InfoText(bool Drilling) const;
    // Nearest-neighbour order of all vertices from StartPoint into one chain; the first sort
    // keeps the unsorted chains in SortBackupChains. Sort false restores them.
    void SortNearest(const TVector2D& StartPoint, bool Sort);
    void RestoreUnsorted();

    // The tool window's label that UpdateInfo writes; empty for none.
    std::string InfoLabel;
    uint8_t Reversed = 0;
    uint8_t Flag2 = 1;
};

// The first chain of List with that ID, or null.
TCatena* FindChainById(TListaCatene& List, int32_t ID);
void ShowChainLayers(TQVScene& View);
void ClearChainDisplay(TListaCatene& List);
void ClearChainMarks(TListaCatene& List);

// Hole kinds: points alone, or arcs and circles.
constexpr int32_t HolePoints = 2;
constexpr int32_t HoleArcs = 8;
constexpr int32_t HoleCircles = 16;

// The hole emitters: one line vertex at the centre, when the filter lets the hole pass.
void AddPointHole(const TObject2D& Point, TACurva& Chain);
void AddArcHole(const TObject2D& Arc, const THoleFilter& Filter, TACurva& Chain);
void AddCircleHole(const TObject2D& Circle, const THoleFilter& Filter, TACurva& Chain);
// The emitter of Obj's kind among Kinds; false when Obj is none of them.
bool AddHole(const TObject2D& Obj, int32_t Kinds, const THoleFilter& Filter, TACurva& Chain);

// Chains every visible entity on a visible layer into List; with LayerPriority layer by layer,
// lowest layer first, no chain mixing layers.
void ChainAll(TQV_01Cmp2D& Drawing, TListaCatene& List, bool LayerPriority);
// One hole chain of every visible point, arc or circle of the kinds; nothing added when none.
void ChainAllHoles(TQV_01Cmp2D& Drawing, TListaCatene& List, const THoleFilter& Filter, int32_t Kinds);
// The objects of IDs (in that order) as chains: the selection, without what touches it.
void ChainSelection(TQV_01Cmp2D& Drawing, const std::vector<int32_t>& IDs, TListaCatene& List);
// One chain from the picked entity and everything linked to it; false when it cannot be chained.
bool ChainFromEntity(TQV_01Cmp2D& Drawing, TObject2D& Entity, TListaCatene& List);
// The hole chain of the selected objects; false (nothing added) when none qualified.
bool HoleChainOfSelection(TQV_01Cmp2D& Drawing, const std::vector<int32_t>& IDs, int32_t Kinds,
                          const THoleFilter& Filter, TListaCatene& List);

// The points-along tool's chain, for the whole run; the unsorted drilling order while it is
// shown sorted (null otherwise).
extern TListaCatene PtAlongChains;
extern std::unique_ptr<TListaCatene> SortBackupChains;
