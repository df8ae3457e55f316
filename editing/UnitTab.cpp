#include "UnitTab.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFonts.h"
#include "QVFormat.h"
#include "QVScene.h"
#include "QVStream.h"
#include "QVVectText.h"
#include "UnitCatena.h"

TContainer2D* TabPreviewContainer = nullptr;

namespace {

const char* const InvalidStream = "LoadFromStream: Invalid stream.";

// The marker of a tab, when the object of that ID is still one: an auxiliary container, which the
// drawing never saves. IDs start again after the drawing is cleared, and a remembered ID must
// never take a user's object with it.
bool IsMarker(TQV_01Cmp2D& Drawing, int32_t ID)
{
    if (ID < 0)
        return false;
    auto* c = dynamic_cast<TContainer2D*>(Drawing.GetObject(ID));
    return c && !c->ToBeSaved;
}

void DeleteMarker(TQV_01Cmp2D& Drawing, TDatiTab& Tab)
{
    if (IsMarker(Drawing, Tab.MarkerID))
        Drawing.DeleteObject(Tab.MarkerID);
    Tab.MarkerID = -1;
}

// The text font of markers: the first stroke font of the folder, else the program's own.
TVectFont* MarkerFont()
{
    for (int32_t slot : {1, 0}) {
        try {
            return CADCoreFindFontByIndex(slot);
        } catch (const ECADObjClassNotFound&) {
        }
    }
    return nullptr;
}

} // namespace

void TListaTab::LoadFromStream(TStreamReader& Stream, const std::string& FileTag)
{
    try {
        const int32_t count = Stream.ReadInt32();
        if (count <= 0)
            return;
        TabWidth = Stream.ReadDouble();
        if (FileTag >= "QV-002") {
            TabThickness = Stream.ReadDouble();
            FullTabs = Stream.ReadByte();
            TabFlag2 = Stream.ReadByte();
        }
        Stream.CheckCount(static_cast<uint64_t>(count), TDatiTab::StreamSize, "tabs");
        for (int32_t i = 0; i < count; ++i) {
            auto tab = std::make_unique<TDatiTab>();
            tab->PickPoint = {Stream.ReadDouble(), Stream.ReadDouble()};
            tab->ChainPoint = {Stream.ReadDouble(), Stream.ReadDouble()};
            tab->Distance = Stream.ReadDouble();
            tab->ChainID = Stream.ReadInt32();
            tab->SegmentIndex = Stream.ReadInt32();
            AddTab(std::move(tab));
        }
    } catch (const ECADFileNotValid&) {
        Tabs.clear();
        ListLines.clear();
        throw ECADFileNotValid(InvalidStream);
    }
}

void TListaTab::SaveToStream(TStreamWriter& Stream) const
{
    Stream.WriteInt32(Count());
    if (Tabs.empty())
        return;
    Stream.WriteDouble(TabWidth);
    Stream.WriteDouble(TabThickness);
    Stream.WriteByte(FullTabs);
    Stream.WriteByte(TabFlag2);
    for (const auto& t : Tabs) {
        Stream.WriteDouble(t->PickPoint.X);
        Stream.WriteDouble(t->PickPoint.Y);
        Stream.WriteDouble(t->ChainPoint.X);
        Stream.WriteDouble(t->ChainPoint.Y);
        Stream.WriteDouble(t->Distance);
        Stream.WriteInt32(t->ChainID);
        Stream.WriteInt32(t->SegmentIndex);
    }
}

void TListaTab::AddTab(std::unique_ptr<TDatiTab> Tab)
{
    ListLines.push_back(FormatX(Tab->ChainPoint.X) + " " + FormatY(Tab->ChainPoint.Y));
    Tabs.push_back(std::move(Tab));
}

void TListaTab::DeleteTab(TQV_01Cmp2D& Drawing, int32_t N)
{
    if (N < 0 || N >= Count())
        return;
    DeleteMarker(Drawing, *Tabs[static_cast<size_t>(N)]);
    Tabs.erase(Tabs.begin() + N);
    if (static_cast<size_t>(N) < ListLines.size())
        ListLines.erase(ListLines.begin() + N);
}

void TListaTab::DeleteAll(TQV_01Cmp2D& Drawing)
{
    RemoveMarkers(Drawing);
    Tabs.clear();
    ListLines.clear();
}

void TListaTab::RemoveMarkers(TQV_01Cmp2D& Drawing)
{
    // A marker already gone (the drawing was cleared) is skipped; the others still go.
    for (auto& t : Tabs)
        DeleteMarker(Drawing, *t);
}

void ProjectTab(TListaCatene& Chains, TDatiTab& Tab)
{
    Tab.Distance = 1e8;
    for (int32_t i = 0; i < Chains.Count(); ++i) {
        TCatena& chain = Chains.Chain(i);
        TCurveHit hit;
        chain.NearestPoint(Tab.PickPoint, hit);
        if (hit.Distance < Tab.Distance) {
            Tab.Distance = hit.Distance;
            Tab.ChainPoint = hit.Point;
            Tab.SegmentIndex = hit.Index;
            Tab.ChainID = chain.ID;
        }
    }
}

void PlaceTabsOnChains(TQV_01Cmp2D& Drawing, TListaCatene& Chains, TListaTab& TabList)
{
    for (auto& t : TabList.Tabs) {
        ProjectTab(Chains, *t);
        if (TCatena* chain = FindChainById(Chains, t->ChainID))
            BuildTabMarker(Drawing, chain, *t, true, TabList.TabWidth);
    }
}

void ReprojectTabs(TListaCatene& Chains, TListaTab& TabList)
{
    for (auto& t : TabList.Tabs) {
        t->PickPoint = t->ChainPoint;
        ProjectTab(Chains, *t);
    }
}

void FillTabMarker(TContainer2D& Preview, const TDatiTab& Tab, double Width)
{
    const double h = 0.2 * Width;
    Preview.Objects.Clear();
    Preview.Objects.Add(std::make_unique<TPunto2D>(-1, TPoint2D{0, 0, 1}));
    Preview.Objects.Add(std::make_unique<TCerchio2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{Width / 2, 0, 1}));
    if (TVectFont* font = MarkerFont())
        Preview.Objects.Add(std::make_unique<TJustifiedVectText2D>(-1, font, TPoint2D{-1.5 * h, 1.5 * h, 1},
                                                                   TPoint2D{Width / 2, 0, 1}, h, "tab"));
    TMatrix4 m = IdentityMatrix;
    m.Translate(Tab.ChainPoint.X, Tab.ChainPoint.Y, 0);
    Preview.SetModelTransform(m);
    Preview.UpdateBox();
}

void BuildTabMarker(TQV_01Cmp2D& Drawing, const TCatena* Chain, TDatiTab& Tab, bool AddToDrawing,
                    double Width)
{
    if (!Chain || Chain->Count() == 0)
        return;
    TContainer2D local(-1);
    TContainer2D& preview = TabPreviewContainer ? *TabPreviewContainer : local;
    FillTabMarker(preview, Tab, Width);
    if (DrawingView && &preview != &local)
        DrawingView->SetRubberBandObject(&preview);
    if (!AddToDrawing)
        return;
    if (DrawingView)
        DrawingView->ResetOverlay();
    auto marker = std::make_unique<TContainer2D>(-1);
    marker->Assign(preview);
    Tab.MarkerID = Drawing.AddAuxContainer(std::move(marker))->ID;
}
