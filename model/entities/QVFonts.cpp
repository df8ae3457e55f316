#include "QVFonts.h"

#include "CADExceptions.h"
#include "Cp1252.h"
#include "QVGeometry.h"
#include "QVServices.h"
#include "QVStream.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

constexpr uint8_t CR = 13;
constexpr uint8_t LF = 10;
constexpr uint8_t Space = 32;
// Drawing advances a space by this; the extent counts SpaceExtent (kept apart on purpose: texts
// already placed in drawings rely on both).
constexpr double SpaceAdvance = 0.4;
constexpr double SpaceExtent = 0.5;
constexpr int32_t EndOfFont = -1;
constexpr size_t PointBytes = 24; // X, Y, W as Doubles

TIndexedObjectList<TVectFont>& FontRegistry()
{
    static TIndexedObjectList<TVectFont> registry(FontRegistrySlots);
    return registry;
}

double GlyphWidth(const TVectChar& Glyph)
{
    return Glyph.Box.Second.X;
}

// The extent of a text given as character codes.
TRect2D CodesExtent(const TVectFont& Font, std::string_view Codes, double H, double S, double I)
{
    double firstY = 1;
    double x = 0, d = 0, w = 0;
    for (const char ch : Codes) {
        const auto c = static_cast<uint8_t>(ch);
        if (const TVectChar* glyph = Font.GetChar(c)) {
            x += GlyphWidth(*glyph) + S;
            d = std::max(d, 1 - glyph->Box.First.Y);
        } else if (c == Space) {
            x += SpaceExtent + S;
        } else if (c != CR) {
            x += GlyphWidth(DefaultVectChar()) + S;
        }
        if (c == CR) {
            w = std::max(w, x - S);
            firstY -= I + d;
            x = 0;
            d = 0;
        }
    }
    w = std::max(w, x - S);
    TRect2D box;
    box.First = {0, (firstY - d) * H, 1};
    box.Second = {w * H, H, 1};
    return box;
}

std::vector<uint8_t> ReadWholeFile(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        throw ECADFileNotValid("The file cannot be opened.");
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        throw ECADFileNotValid("The file cannot be read.");
    return bytes;
}

void ShowFontError(const std::string& Text)
{
    MainWindow().MessageBox(Text, "Error", TMsgIcon::Error, TMsgButtons::Ok);
}

} // namespace

// ---- TVectChar -------------------------------------------------------------------------------

TVectChar::TVectChar(int32_t N) : Strokes(N)
{
    for (int32_t i = 0; i < N; ++i)
        Strokes.SetObject(i, std::make_unique<TPointsSet2D>(0));
}

std::unique_ptr<TVectChar> TVectChar::CreateFromStrokes(const std::vector<std::vector<TPoint2D>>& Strokes)
{
    auto glyph = std::make_unique<TVectChar>(static_cast<int32_t>(Strokes.size()));
    for (size_t s = 0; s < Strokes.size(); ++s)
        glyph->GetStroke(static_cast<int32_t>(s))->AddPoints(Strokes[s]);
    glyph->UpdateBox();
    return glyph;
}

std::unique_ptr<TVectChar> TVectChar::CreateFromStream(TStreamReader& R)
{
    // Each stroke takes at least its two-byte point count.
    const uint32_t strokes = R.ReadCount(2, "glyph strokes");
    auto glyph = std::make_unique<TVectChar>(0);
    glyph->Strokes.SetCount(static_cast<int32_t>(strokes));
    for (uint32_t s = 0; s < strokes; ++s) {
        const uint16_t n = R.ReadUInt16();
        R.CheckCount(n, PointBytes, "stroke points");
        auto stroke = std::make_unique<TPointsSet2D>(n);
        for (uint16_t i = 0; i < n; ++i) {
            TPoint2D p;
            p.X = R.ReadDouble();
            p.Y = R.ReadDouble();
            p.W = R.ReadDouble();
            if (!std::isfinite(p.X) || !std::isfinite(p.Y) || !std::isfinite(p.W) || p.W == 0)
                R.Fail("glyph point is not a finite point");
            stroke->Add(p);
        }
        glyph->Strokes.SetObject(static_cast<int32_t>(s), std::move(stroke));
    }
    glyph->UpdateBox();
    return glyph;
}

void TVectChar::SaveToStream(TStreamWriter& W) const
{
    W.WriteInt32(StrokesCount());
    for (int32_t s = 0; s < StrokesCount(); ++s) {
        const auto points = GetStroke(s)->Points();
        W.WriteUInt16(static_cast<uint16_t>(points.size()));
        for (const auto& p : points) {
            W.WriteDouble(p.X);
            W.WriteDouble(p.Y);
            W.WriteDouble(p.W);
        }
    }
}

void TVectChar::UpdateBox()
{
    TRect2D box; // the zero box: the origin is always inside
    for (int32_t s = 0; s < StrokesCount(); ++s) {
        const TPointsSet2D* stroke = GetStroke(s);
        if (stroke && stroke->Count() > 0)
            box = UnionRect2D(box, stroke->GetBox());
    }
    Box = box;
}

const TVectChar& DefaultVectChar()
{
    static const std::unique_ptr<TVectChar> glyph = TVectChar::CreateFromStrokes({{{0, 0, 1}, {0.8, 0, 1}}});
    return *glyph;
}

// ---- TVectFont -------------------------------------------------------------------------------

TVectFont::TVectFont() : Chars(CharSlots) {}

std::unique_ptr<TVectFont> TVectFont::CreateFromStream(TStreamReader& R)
{
    auto font = std::make_unique<TVectFont>();
    // A file without the end marker is cut short: the strict reader refuses it at its end.
    for (;;) {
        const int32_t code = R.ReadInt32();
        if (code == EndOfFont)
            break;
        auto glyph = TVectChar::CreateFromStream(R);
        font->Chars.SetObject(code, std::move(glyph));
    }
    return font;
}

void TVectFont::SaveToStream(TStreamWriter& W) const
{
    for (int32_t code = 0; code < CharSlots; ++code) {
        if (const TVectChar* glyph = Chars.GetObject(code)) {
            W.WriteInt32(code);
            glyph->SaveToStream(W);
        }
    }
    W.WriteInt32(EndOfFont);
}

void TVectFont::BuildCharGL(uint8_t Code, TPoint2D& Pen, double Height, double CharSpacing, const TMatrix4& M,
                            const TStrokeSink& Sink) const
{
    if (Code == Space) {
        Pen.X += (SpaceAdvance + CharSpacing) * Height;
        return;
    }
    const TVectChar* glyph = GetChar(Code);
    if (!glyph) {
        if (Code == CR)
            return;
        glyph = &DefaultVectChar();
    }

    TMatrix4 g = TMatrix4::CreateScale(Height, Height, 1);
    g.M[12] = Pen.X;
    g.M[13] = Pen.Y;
    g.Multiply(g, M);
    std::vector<TPoint2D> mapped;
    for (int32_t s = 0; s < glyph->StrokesCount(); ++s) {
        const auto points = glyph->GetStroke(s)->Points();
        if (points.empty())
            continue;
        mapped.clear();
        for (const auto& p : points)
            mapped.push_back(CartesianPoint2D(g.TransformPoint2D(p)));
        Sink(mapped);
    }
    Pen.X += (GlyphWidth(*glyph) + CharSpacing) * Height;
}

TRect2D TVectFont::GetTextExtent(std::string_view Text, double Height, double CharSpacing,
                                 double Interline) const
{
    return CodesExtent(*this, Utf8ToWindows1252(Text), Height, CharSpacing, Interline);
}

// ---- The registry ----------------------------------------------------------------------------

bool CADCoreRegisterFontFromFile(int32_t Index, const std::string& FileName)
{
    if (Index < 0 || Index >= FontRegistrySlots)
        throw ECADOutOfBound("CADCoreRegisterFontFromFile: Out of bound registration index");
    auto& registry = FontRegistry();
    if (registry.GetObject(Index))
        throw ECADObjClassNotFound("CADCoreRegisterFontFromFile: Font index already allocated");

    std::error_code ec;
    if (!std::filesystem::exists(FileName, ec)) {
        ShowFontError("File not found!\r\n" + FileName);
        return false;
    }
    // A bad font file is refused whole: the slot stays empty and the program goes on without it.
    try {
        const std::vector<uint8_t> bytes = ReadWholeFile(FileName);
        TStreamReader reader(bytes);
        reader.SetContext("stroke font");
        registry.SetObject(Index, TVectFont::CreateFromStream(reader));
        return true;
    } catch (const ECADCoreException& e) {
        ShowFontError("Font file not valid!\r\n" + FileName + "\r\n" + e.what());
        return false;
    }
}

int32_t CADCoreFindFontIndex(const TVectFont* Font)
{
    auto& registry = FontRegistry();
    if (Font) {
        for (int32_t i = 0; i < FontRegistrySlots; ++i) {
            if (registry.GetObject(i) == Font)
                return i;
        }
    }
    throw ECADObjClassNotFound("CADCoreFindFontIndex: Font not found");
}

TVectFont* CADCoreFindFontByIndex(int32_t Index)
{
    TVectFont* font = nullptr;
    if (Index >= 0 && Index < FontRegistrySlots)
        font = FontRegistry().GetObject(Index);
    if (!font)
        throw ECADObjClassNotFound("CADCoreFindFontByIndex: Font not registered");
    return font;
}

void CADCoreClearFontRegistry()
{
    FontRegistry().Clear();
}

void CADCoreFreeFonts()
{
    FontRegistry().Clear();
}

// ---- Justified text --------------------------------------------------------------------------

TRect2D GetJustifiedTextBox(const TVectFont* Font, std::string_view Text, const TRect2D& Corners,
                            const TVectTextParams& P)
{
    const TRect2D e = Font ? Font->GetTextExtent(Text, P.Height, P.CharSpacing, P.Interline) : TRect2D{};
    const TRect2D b = NormalizeRect2D(Corners);
    const double w = e.Second.X - e.First.X;

    double dx = b.First.X;
    if (P.HJustification == 1)
        dx = b.Second.X - w;
    else if (P.HJustification == 2)
        dx = (b.First.X + b.Second.X - w) / 2;

    double dy = b.Second.Y - e.Second.Y;
    if (P.VJustification == 1)
        dy = b.First.Y - e.First.Y;
    else if (P.VJustification == 2)
        dy = (b.Second.Y + b.First.Y) / 2; // the first line's origin at the middle

    TRect2D r = e;
    r.First.X += dx;
    r.First.Y += dy;
    r.Second.X += dx;
    r.Second.Y += dy;
    return r;
}

void BuildJustifiedText(const TVectFont* Font, std::string_view Text, const TRect2D& Corners,
                        const TVectTextParams& P, const TMatrix4& M, const TStrokeSink& Sink)
{
    if (!Font)
        return;
    const TRect2D t = GetJustifiedTextBox(Font, Text, Corners, P);
    TPoint2D pen{t.First.X, t.Second.Y - P.Height, 1};

    const std::string codes = Utf8ToWindows1252(Text);
    std::string_view rest = codes;
    for (size_t cr = rest.find(static_cast<char>(CR)); cr != std::string_view::npos;
         cr = rest.find(static_cast<char>(CR))) {
        const std::string_view line = rest.substr(0, cr);
        const TRect2D e = CodesExtent(*Font, line, P.Height, P.CharSpacing, P.Interline);
        TPoint2D linePen = pen; // every line starts at the box's left edge
        for (const char c : line)
            Font->BuildCharGL(static_cast<uint8_t>(c), linePen, P.Height, P.CharSpacing, M, Sink);
        pen.Y -= (e.Second.Y - e.First.Y) + P.Height * P.Interline;
        rest.remove_prefix(cr + 1);
        if (!rest.empty() && static_cast<uint8_t>(rest.front()) == LF)
            rest.remove_prefix(1);
    }
    for (const char c : rest)
        Font->BuildCharGL(static_cast<uint8_t>(c), pen, P.Height, P.CharSpacing, M, Sink);
}

std::vector<std::string> ListStrokeFontNames(const std::string& Folder)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(Folder, ec)) {
        const std::filesystem::path& path = entry.path();
        std::string ext = path.extension().string();
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (ext == ".fnd" && entry.is_regular_file(ec))
            names.push_back(path.stem().string());
    }
    const auto folded = [](const std::string& a) {
        std::string f(a);
        std::transform(f.begin(), f.end(), f.begin(), [](unsigned char c) { return std::tolower(c); });
        return f;
    };
    std::sort(names.begin(), names.end(), [&](const std::string& a, const std::string& b) {
        const std::string fa = folded(a), fb = folded(b);
        return fa != fb ? fa < fb : a < b;
    });
    return names;
}

std::vector<std::string> RegisterProgramFonts(const std::string& ProgramDir)
{
    CADCoreRegisterFontFromFile(0, ProgramDir + "/RomanC.fnd");
    const std::string folder = ProgramDir + "/SFonts";
    std::vector<std::string> names = ListStrokeFontNames(folder);
    // Slots end at 512; fonts beyond them are not listed.
    if (names.size() > FontRegistrySlots - 1)
        names.resize(FontRegistrySlots - 1);
    for (size_t i = 0; i < names.size(); ++i)
        CADCoreRegisterFontFromFile(static_cast<int32_t>(i + 1), folder + "/" + names[i] + ".fnd");
    return names;
}
