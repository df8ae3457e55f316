#pragma once
// Holding tabs: short bridges the machining leaves uncut on a contour. A tab is a picked point
// projected onto the nearest point of the operation's chains; its marker (a point, a circle as
// wide as the tab and the word "tab") lives in an auxiliary container of the drawing that is
// never saved.
//
// Tab-list stream (inside an operation's parameters), little-endian: Int32 count; when it is
// positive the tab width (Double), from file tag "QV-002" on the thickness (Double), the full-tabs
// and second flag bytes, then one 48-byte record per tab: pick point X, Y, chain point X, Y,
// distance (Doubles), chain ID and segment index (Int32).
#include "QVTypes.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TCatena;
class TContainer2D;
class TListaCatene;
class TQV_01Cmp2D;
class TStreamReader;
class TStreamWriter;

struct TDatiTab {
    TVector2D PickPoint;
    TVector2D ChainPoint;
    double Distance = 0;
    int32_t ChainID = 0;
    int32_t SegmentIndex = 0;
    // The marker container in the drawing; -1 for none. Not streamed.
    int32_t MarkerID = -1;

    static constexpr size_t StreamSize = 48;
};

class TListaTab {
public:
    // Appends the tabs the stream holds. A stream too short for the fields its count announces
    // empties the list and raises ECADFileNotValid.
    void LoadFromStream(TStreamReader& Stream, const std::string& FileTag);
    void SaveToStream(TStreamWriter& Stream) const;

    // Appends the tab and its line "X<x> Y<y>" of the tab dialog's list.
    void AddTab(std::unique_ptr<TDatiTab> Tab);
    // Deletes tab N with its marker and its list line.
    void DeleteTab(TQV_01Cmp2D& Drawing, int32_t N);
    void DeleteAll(TQV_01Cmp2D& Drawing);
    // Deletes the markers; the tabs stay.
    void RemoveMarkers(TQV_01Cmp2D& Drawing);

    int32_t Count() const { return static_cast<int32_t>(Tabs.size()); }

    std::vector<std::unique_ptr<TDatiTab>> Tabs;
    // The tab dialog's list, one line per tab.
    std::vector<std::string> ListLines;
    double TabWidth = 0;
    double TabThickness = 0;
    uint8_t FullTabs = 0;
    uint8_t TabFlag2 = 0;
};

// The tab onto the nearest chain of Chains (the earlier chain on a tie). Without chains the tab
// keeps Distance 1e8 and its other fields.
void ProjectTab(TListaCatene& Chains, TDatiTab& Tab);
// Projects every tab and builds its marker into the drawing.
void PlaceTabsOnChains(TQV_01Cmp2D& Drawing, TListaCatene& Chains, TListaTab& TabList);
// Each tab from its chain point onto the chains as they are now; no markers.
void ReprojectTabs(TListaCatene& Chains, TListaTab& TabList);

// The preview container that follows the mouse; made by the main window, not saved.
extern TContainer2D* TabPreviewContainer;
// Fills Preview with the marker of Tab (a point, a circle of diameter Width and the word "tab"),
// moved to the tab's chain point. The word is left out while no stroke font is registered.
void FillTabMarker(TContainer2D& Preview, const TDatiTab& Tab, double Width);
// The marker as the view's rubber band, and, when AddToDrawing, a copy as an auxiliary
// container of the drawing whose ID the tab keeps. Nothing for a missing or empty chain.
void BuildTabMarker(TQV_01Cmp2D& Drawing, const TCatena* Chain, TDatiTab& Tab, bool AddToDrawing,
                    double Width);
