#pragma once
// Text to strokes: typed text becomes polylines, from TrueType (or OpenType) outlines found by
// family name through fontconfig and read with FreeType, or from the program's stroke fonts.
// The main window's text commands place the container that results; labels use one line of
// stroke-font text at a time.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TContainer2D;
class TPolyline2D;

// One straight piece of a glyph outline, in font units at 1024 units per em, Y up.
struct TStroke {
    int32_t Contour = 0;
    int32_t X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

struct TStrokeBounds {
    int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
};

class TStrokeCollection {
public:
    int32_t Count() const { return static_cast<int32_t>(Strokes.size()); }
    // Copies stroke I when it exists; S stays as it is otherwise.
    void GetStroke(int32_t I, TStroke& S) const;
    // Left/Right the least and greatest X, Top/Bottom the least and greatest Y of all ends;
    // all zero when empty.
    TStrokeBounds GetBounds() const;
    void Clear() { Strokes.clear(); }

    std::vector<TStroke> Strokes;
};

// A glyph's outline flattened into strokes: lines as they are, each quadratic or cubic piece as
// Resolution chords ending exactly on its end point.
class TTTFConv {
public:
    TTTFConv();
    ~TTTFConv();
    TTTFConv(const TTTFConv&) = delete;
    TTTFConv& operator=(const TTTFConv&) = delete;

    // The family fontconfig is asked for; a missing family gets fontconfig's substitute.
    void SetFont(const std::string& Family);
    // 1 to 100; other values are ignored.
    void SetResolution(int32_t N);
    int32_t Resolution() const { return FResolution; }
    // The file the font was found in; empty when none.
    const std::string& FontFile();

    // The strokes of the character (a Unicode code point, or a Windows-1252 code when not
    // Unicode); null when the font is missing or the glyph has no outline.
    std::unique_ptr<TStrokeCollection> GetCharStrokes(uint32_t Code);

    bool Unicode = false;

private:
    bool Open();

    std::string Family = "Arial";
    std::string File;
    int32_t FResolution = 8;
    struct TFace;
    std::unique_ptr<TFace> Face;
};

// The text settings of the text pages and the labels, and the two conversions.
class TTesto2Container {
public:
    // Lines of UTF-8 text in the family's outlines; the height of "A" becomes Height, glyphs sit
    // edge to edge plus CharSpacing, lines LineSpacing apart, all turned by Angle degrees. Null
    // for no lines, a missing font or an "A" of no height.
    std::unique_ptr<TContainer2D> TTFToContainer(const std::vector<std::string>& Lines,
                                                 const std::string& Family);
    // Lines in the stroke font CurrentFont: the first baseline at -Height. A container without
    // children for no lines; a character the font lacks advances by 0.4 Height.
    std::unique_ptr<TContainer2D> StrokeFontToContainer(const std::vector<std::string>& Lines);
    // One line of stroke-font text from (X, Y), appended to Polys; nothing for an empty text.
    void StrokeTextToPolylines(const std::string& Text, double X, double Y,
                               std::vector<std::unique_ptr<TPolyline2D>>& Polys);

    void SetHeight(double V) { Height = V; }
    void SetCharSpacing(double V) { CharSpacing = V; }
    void SetLineSpacing(double V) { LineSpacing = V; }
    void SetAngle(double V) { Angle = V; }
    void SetResolution(int32_t V) { Resolution = V; }

    double Height = 10;
    double CharSpacing = 2;
    double LineSpacing = 2;
    double Angle = 0;
    int32_t Resolution = 6;
    int16_t CurrentFont = 1;
};

// The program's text settings; made at start, it lives to the end.
extern TTesto2Container Testo2Container;
