#pragma once
// Labels ("etichetta"): rows of single-line text, each with its own position, height and
// character spacing, written in a stroke font. The drawing's label puts its strokes into the
// drawing as one container; a label of a label-engraving operation keeps them and makes them the
// operation's chains.
//
// Stream, after the 2D object's part: Int32 row count; per row the text (Int32 byte count and
// Windows-1252 bytes), X, Y, height and character spacing as Singles; Int32 font index.
#include "QVObject2D.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TContainer2D;
class TListaCatene;
class TQV_01Cmp2D;

struct TDatiEtichetta {
    std::string Text;
    float X = 0, Y = 0, Height = 10, CharSpacing = 1;
};

class TEtichetta : public TObject2D {
public:
    // One new row, font index 0.
    explicit TEtichetta(int32_t id);
    static std::unique_ptr<TEtichetta> Create(bool InOperation);
    // An operation label without controls. Every count is checked against the bytes left.
    TEtichetta(TStreamReader& stream, const std::string& versionTag);
    ~TEtichetta() override;

    std::string_view ClassName() const override { return "TEtichetta"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;
    void SaveToStream(TStreamWriter& stream) override;
    void Assign(const TGraphicObject& source) override;

    void AddRow();
    // Drops the last row; nothing when none is left.
    void DeleteRow();
    // The font list's item index: font slot ItemIndex + 1.
    void FontChanged(int32_t ItemIndex);

    // The rows' strokes in the label's own font. The drawing's label replaces its previous
    // container in Drawing by a new one; an operation label keeps them in Geometry.
    void BuildGeometry(TQV_01Cmp2D* Drawing);
    // Every stroke of Geometry as an open chain of List (which is emptied first), shown without
    // direction marks.
    void MakeChains(TListaCatene& List) const;
    // BuildGeometry, then the chains of the current operation when there is one.
    void ApplyLabel(TQV_01Cmp2D* Drawing);

    int32_t RowCount() const { return static_cast<int32_t>(Rows.size()); }
    // The drawing's label's container while the drawing still holds it; null otherwise.
    TContainer2D* PlacedContainer() const;
    // The strokes of the last build: the operation label's own container.
    const TContainer2D* OwnGeometry() const { return Geometry.get(); }

    std::vector<TDatiEtichetta> Rows;
    int32_t FontIndex = 0;
    uint8_t InOperation = 1;

private:
    std::unique_ptr<TContainer2D> Geometry;
    // The container handed to the drawing, cleared by the drawing when it frees it.
    std::shared_ptr<TContainer2D*> Placed = std::make_shared<TContainer2D*>(nullptr);
    TQV_01Cmp2D* PlacedIn = nullptr;
};

// Registers the label class at its stream index and makes a label read from a drawing file the
// drawing's label.
void RegisterLabel();
