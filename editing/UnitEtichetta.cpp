#include "UnitEtichetta.h"

#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVEntity.h"
#include "QVFonts.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVServices.h"
#include "QVStream.h"
#include "StreamEx.h"
#include "UnitCatena.h"
#include "UnitTesto2.h"

#include <algorithm>

namespace {
// The smallest row record: an empty text's count and four Singles.
constexpr size_t MinRowBytes = 4 + 4 * 4;
} // namespace

TEtichetta::TEtichetta(int32_t id) : TObject2D(id)
{
    Rows.emplace_back();
}

std::unique_ptr<TEtichetta> TEtichetta::Create(bool InOperation)
{
    auto label = std::make_unique<TEtichetta>(-1);
    label->InOperation = InOperation ? 1 : 0;
    return label;
}

TEtichetta::TEtichetta(TStreamReader& stream, const std::string& versionTag) : TObject2D(stream, versionTag)
{
    ID = -1;
    const uint32_t rows = stream.ReadCount(MinRowBytes, "label rows");
    Rows.resize(rows);
    for (TDatiEtichetta& r : Rows) {
        r.Text = TStreamEx::ReadString(stream);
        r.X = stream.ReadSingle();
        r.Y = stream.ReadSingle();
        r.Height = stream.ReadSingle();
        r.CharSpacing = stream.ReadSingle();
    }
    FontIndex = stream.ReadInt32();
    InOperation = 1;
}

TEtichetta::~TEtichetta() = default;

std::unique_ptr<TGraphicObject> TEtichetta::CreateSameClass(int32_t id) const
{
    return std::make_unique<TEtichetta>(id);
}

void TEtichetta::SaveToStream(TStreamWriter& stream)
{
    TObject2D::SaveToStream(stream);
    stream.WriteInt32(RowCount());
    for (const TDatiEtichetta& r : Rows) {
        TStreamEx::WriteString(stream, r.Text);
        stream.WriteSingle(r.X);
        stream.WriteSingle(r.Y);
        stream.WriteSingle(r.Height);
        stream.WriteSingle(r.CharSpacing);
    }
    stream.WriteInt32(FontIndex);
}

void TEtichetta::Assign(const TGraphicObject& source)
{
    TObject2D::Assign(source);
    if (const auto* label = dynamic_cast<const TEtichetta*>(&source)) {
        Rows = label->Rows;
        FontIndex = label->FontIndex;
        InOperation = label->InOperation;
    }
}

void TEtichetta::AddRow()
{
    Rows.emplace_back();
}

void TEtichetta::DeleteRow()
{
    if (!Rows.empty())
        Rows.pop_back();
}

void TEtichetta::FontChanged(int32_t ItemIndex)
{
    Testo2Container.CurrentFont = static_cast<int16_t>(ItemIndex + 1);
    FontIndex = ItemIndex;
}

TContainer2D* TEtichetta::PlacedContainer() const
{
    return *Placed;
}

void TEtichetta::BuildGeometry(TQV_01Cmp2D* Drawing)
{
    if (TContainer2D* old = *Placed; old && PlacedIn)
        PlacedIn->DeleteObject(old->ID);
    *Placed = nullptr;
    if (DrawingView)
        DrawingView->RebuildAll(false);
    // The label's own font, whatever the text pages chose last; an index from a file that names
    // no font falls back to the first.
    const int16_t keptFont = Testo2Container.CurrentFont;
    const double keptHeight = Testo2Container.Height, keptSpacing = Testo2Container.CharSpacing;
    int16_t slot = static_cast<int16_t>(std::clamp(FontIndex, 0, FontRegistrySlots - 2) + 1);
    try {
        CADCoreFindFontByIndex(slot);
    } catch (const ECADObjClassNotFound&) {
        slot = 1;
    }
    Testo2Container.CurrentFont = slot;
    std::vector<std::unique_ptr<TPolyline2D>> strokes;
    try {
        for (const TDatiEtichetta& r : Rows) {
            Testo2Container.Height = r.Height;
            Testo2Container.CharSpacing = r.CharSpacing;
            Testo2Container.StrokeTextToPolylines(r.Text, r.X, r.Y, strokes);
        }
    } catch (...) {
        Testo2Container.CurrentFont = keptFont;
        Testo2Container.Height = keptHeight;
        Testo2Container.CharSpacing = keptSpacing;
        throw;
    }
    Testo2Container.CurrentFont = keptFont;
    Testo2Container.Height = keptHeight;
    Testo2Container.CharSpacing = keptSpacing;

    auto container = std::make_unique<TContainer2D>(-1);
    for (auto& s : strokes)
        container->Objects.Add(std::move(s));
    if (InOperation || !Drawing) {
        Geometry = std::move(container);
        Geometry->UpdateBox();
        return;
    }
    TContainer2D* added = Drawing->AddObject(-1, std::move(container));
    if (PlacedIn != Drawing) {
        // The drawing tells the label when it frees the container (delete, undo, New, Open); the
        // listener outlives a label that goes first and then does nothing.
        PlacedIn = Drawing;
        Drawing->AddFreeListener([slot = std::weak_ptr<TContainer2D*>(Placed)](TGraphicObject& Obj) {
            if (auto s = slot.lock(); s && *s == &Obj)
                *s = nullptr;
        });
    }
    *Placed = added;
}

void TEtichetta::MakeChains(TListaCatene& List) const
{
    List.DeleteAll();
    if (!Geometry)
        return;
    TGraphicObjIterator it = Geometry->Objects.GetIterator();
    for (TGraphicObject* obj = it.First(); obj; obj = it.Next()) {
        const auto* poly = dynamic_cast<const TPolyline2D*>(obj);
        if (!poly)
            continue;
        auto chain = std::make_unique<TCatena>();
        for (const TPoint2D& p : poly->Points().Points())
            chain->AddVertex(TAVertice::CreatePoint({p.X, p.Y}, 0));
        List.AddChain(std::move(chain));
    }
    List.Redraw(false);
    ClearChainMarks(List);
}

void TEtichetta::ApplyLabel(TQV_01Cmp2D* Drawing)
{
    BuildGeometry(Drawing);
    if (TCurrentOperation* op = Machining().CurrentOp(); op && op->Chains())
        MakeChains(*op->Chains());
}

void RegisterLabel()
{
    RegisterLabelClass(GraphicClassOf<TEtichetta>("TEtichetta"));
    OnDrawingLabelRead = [](TGraphicObject& Label) { DrawingLabel = &Label; };
}
