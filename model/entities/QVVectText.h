#pragma once
// Justified vector text: a text in a stroke font placed in a box given by two control points, with
// horizontal and vertical justification. It refers to a registered font without owning it and
// stores the font's registry slot.
//
// Stream record, after the primitive's: Int32 text length and the text's Windows-1252 bytes, Int32
// font slot, HJustification, VJustification and DrawBox bytes, then Height, Interline and
// CharSpacing as Doubles (Interline before CharSpacing).
#include "QVEntity.h"
#include "QVFonts.h"

#include <cstdint>
#include <string>

class TJustifiedVectText2D : public TPrimitive2D {
public:
    // No font, no text and no control points yet (room for two); Assign fills it.
    explicit TJustifiedVectText2D(int32_t id);
    // Left and bottom justified in the box of the two corners; Text is UTF-8.
    TJustifiedVectText2D(int32_t id, TVectFont* font, const TPoint2D& corner1, const TPoint2D& corner2,
                         double height, std::string text);
    // A slot without a registered font is reported ("Font class not found. Font not assigned")
    // and the text is read on without a font; the slot is kept and written back on saving.
    TJustifiedVectText2D(TStreamReader& stream, const std::string& versionTag);

    std::string_view ClassName() const override { return "TJustifiedVectText2D"; }
    std::unique_ptr<TGraphicObject> CreateSameClass(int32_t id) const override;

    // The text box through the combined transform.
    void ComputeBox() override;
    // Inside the box: the text box as a closed outline.
    int32_t HitTest(const TPoint2D& pt, double& dist, double aperture) override;
    void Assign(const TGraphicObject& source) override;
    // Never fails for want of a font: a text without one writes the slot it was read with.
    void SaveToStream(TStreamWriter& stream) override;

    void SetCharSpacing(double value);
    void SetInterline(double value);
    // The text's extent placed in the control-point box by the justifications, in object space.
    TRect2D GetTextBox() const;
    // Every line's strokes through the combined transform; nothing without a font.
    void BuildTextGL(const TStrokeSink& sink) const;
    // The strokes as line strips in Group; none of them becomes GLObject.
    TSceneNode* BuildGLIn(TSceneGroup& group) override;
    // Markers when asked, and the outline of the text box.
    void DrawOverlay(TCanvas2D& canvas, bool showControlPoints) override;
    // The outline of the box of the two control points.
    void DrawOverlayTransformed(TCanvas2D& canvas, const TMatrix4& m) override;

    TVectFont* Font = nullptr;
    std::string Text;
    uint8_t HJustification = 0;
    uint8_t VJustification = 1;
    double Height = 1;
    double CharSpacing = 0.1;
    double Interline = 0.02;
    bool DrawBox = false; // kept and stored for the DXF reader; not drawn

private:
    TVectTextParams Params() const;

    // The slot the text was read with, written back while it has no registered font.
    int32_t FontSlot = 0;
};
