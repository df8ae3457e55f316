#pragma once
// Stroke fonts: glyphs made of open polylines in a unit cell (baseline Y = 0, height 1), the
// ".fnd" font files, the program-wide registry of 513 font slots, and the layout of stroke text
// (advances, line breaks, the default glyph for missing characters, extents and justification).
//
// Texts are UTF-8 in memory; a glyph is looked up by the text's Windows-1252 code (0-255), the
// single-byte encoding our drawing files store texts in.
//
// Layout produces plain geometry: each stroke is handed to a sink as its points mapped through
// the glyph placement and the caller's matrix, so the view, the text entity and the converters
// share one layout.
#include "QVList.h"
#include "QVMatrix.h"
#include "QVPointsSet.h"
#include "QVTypes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TStreamReader;
class TStreamWriter;

// Receives one stroke of laid-out text, its points mapped through the layout's matrix.
using TStrokeSink = std::function<void(std::span<const TPoint2D> Stroke)>;

// A glyph: its strokes and its box (the union of the zero box and all strokes' boxes, so it
// always holds the origin). The box's right X is the glyph's width, its bottom Y the descent.
class TVectChar {
public:
    // N strokes, each an empty point set.
    explicit TVectChar(int32_t N);
    // A glyph of these strokes, its box computed.
    static std::unique_ptr<TVectChar> CreateFromStrokes(const std::vector<std::vector<TPoint2D>>& Strokes);
    // One glyph of the ".fnd" layout: Int32 stroke count, then per stroke a UInt16 point count and
    // that many points (X, Y, W as Doubles). Every count is checked against the bytes left.
    static std::unique_ptr<TVectChar> CreateFromStream(TStreamReader& R);
    // The ".fnd" form of this glyph.
    void SaveToStream(TStreamWriter& W) const;

    int32_t StrokesCount() const { return Strokes.Count(); }
    TPointsSet2D* GetStroke(int32_t Index) const { return Strokes.GetObject(Index); }
    void UpdateBox();

    TIndexedObjectList<TPointsSet2D> Strokes;
    TRect2D Box;
};

// A font: 256 glyph slots, one per character code; an empty slot means no glyph for that code.
class TVectFont {
public:
    static constexpr int32_t CharSlots = 256;

    TVectFont();
    // Records {Int32 code, glyph} until the code -1; a later record for a code replaces the
    // earlier glyph. A code outside 0-255 is an ECADOutOfBound, a short or inconsistent file an
    // ECADFileNotValid.
    static std::unique_ptr<TVectFont> CreateFromStream(TStreamReader& R);
    // The ".fnd" form: every glyph in code order, then -1.
    void SaveToStream(TStreamWriter& W) const;

    const TVectChar* GetChar(uint8_t Code) const { return Chars.GetObject(Code); }
    void SetChar(uint8_t Code, std::unique_ptr<TVectChar> Glyph) { Chars.SetObject(Code, std::move(Glyph)); }

    // Hands the character's strokes to Sink, scaled by Height, placed at Pen and mapped through M,
    // and advances Pen: a space by (0.4 + CharSpacing)·Height without drawing, a missing CR not
    // at all, any other missing character as the default glyph.
    void BuildCharGL(uint8_t Code, TPoint2D& Pen, double Height, double CharSpacing, const TMatrix4& M,
                     const TStrokeSink& Sink) const;
    // The extent of a possibly multi-line text (CR starts a line), origin at the first line's
    // start: X from 0 to the widest line, Y from the last line's depth up to Height.
    TRect2D GetTextExtent(std::string_view Text, double Height, double CharSpacing, double Interline) const;

    TIndexedObjectList<TVectChar> Chars;
};

// The glyph that stands for missing characters: one stroke from (0, 0) to (0.8, 0).
const TVectChar& DefaultVectChar();

// ---- The font registry ------------------------------------------------------------------------

constexpr int32_t FontRegistrySlots = 513;

// Reads the file into a new font in slot Index. A slot outside 0-512 raises ECADOutOfBound, an
// occupied one ECADObjClassNotFound. A missing or unreadable file is reported in an error message
// box and leaves the slot empty; the answer is then false.
bool CADCoreRegisterFontFromFile(int32_t Index, const std::string& FileName);
// The lowest slot holding that very font; ECADObjClassNotFound when none does.
int32_t CADCoreFindFontIndex(const TVectFont* Font);
// The ".fnd" files of a folder, names without the extension, sorted case-insensitively (ties by
// bytes), so the fonts take the same slots on every machine.
std::vector<std::string> ListStrokeFontNames(const std::string& Folder);
// The program's fonts: ProgramDir + "/RomanC.fnd" in slot 0, then the fonts of ProgramDir +
// "/SFonts" in slots 1, 2, ... in the order of ListStrokeFontNames. A font that fails to load is
// reported by CADCoreRegisterFontFromFile and leaves its slot empty. Returns the names of the
// SFonts folder (the font lists of the text and label pages), in slot order.
std::vector<std::string> RegisterProgramFonts(const std::string& ProgramDir);
// The font of the slot; ECADObjClassNotFound for an empty slot or an index outside 0-512.
TVectFont* CADCoreFindFontByIndex(int32_t Index);
// Empties all slots, freeing their fonts.
void CADCoreClearFontRegistry();
void CADCoreFreeFonts();

// ---- Justified text ---------------------------------------------------------------------------

struct TVectTextParams {
    uint8_t HJustification = 0; // 0 left, 1 right, 2 centre
    uint8_t VJustification = 1; // 0 top, 1 bottom, 2 centre
    double Height = 1;          // cell height in drawing units
    double CharSpacing = 0.1;   // extra advance per character, a fraction of Height
    double Interline = 0.02;    // extra space between lines, a fraction of Height
};

// The text's extent placed in the box of the two corners by the justifications; without a font
// the zero extent placed the same way.
TRect2D GetJustifiedTextBox(const TVectFont* Font, std::string_view Text, const TRect2D& Corners,
                            const TVectTextParams& P);
// The strokes of every line of the text placed in that box, mapped through M. Every line starts
// at the text box's left edge; an LF right after a CR is dropped. Nothing without a font.
void BuildJustifiedText(const TVectFont* Font, std::string_view Text, const TRect2D& Corners,
                        const TVectTextParams& P, const TMatrix4& M, const TStrokeSink& Sink);
