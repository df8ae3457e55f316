#include "UnitTesto2.h"

#include "CADExceptions.h"
#include "Cp1252.h"
#include "QVContainer.h"
#include "QVEntity.h"
#include "QVFonts.h"
#include "QVMatrix.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <limits>

TTesto2Container Testo2Container;

namespace {

// The outlines are read at 1024 units per em, whatever the font's own grid.
constexpr double EmUnits = 1024;

// The code points of a UTF-8 text; a broken sequence stands for one U+FFFD.
std::vector<uint32_t> CodePoints(const std::string& Text)
{
    std::vector<uint32_t> out;
    for (size_t i = 0; i < Text.size();) {
        const auto c = static_cast<uint8_t>(Text[i]);
        int n = c < 0x80 ? 0 : (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
        uint32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        if (n < 0 || i + static_cast<size_t>(n) >= Text.size()) {
            out.push_back(0xFFFD);
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= n; ++k) {
            const auto d = static_cast<uint8_t>(Text[i + static_cast<size_t>(k)]);
            ok = ok && (d >> 6) == 2;
            cp = (cp << 6) | (d & 0x3F);
        }
        out.push_back(ok ? cp : 0xFFFD);
        i += ok ? static_cast<size_t>(n) + 1 : 1;
    }
    return out;
}

struct TPt {
    double X = 0, Y = 0;
    bool operator==(const TPt&) const = default;
};

// Builds strokes from the outline's pieces as FreeType hands them over.
struct TStrokeBuilder {
    TStrokeCollection& Out;
    int32_t Resolution;
    double Scale;
    int32_t Contour = -1;
    TPt Start, Pen;

    TPt At(const FT_Vector* V) const
    {
        return {static_cast<double>(V->x) * Scale, static_cast<double>(V->y) * Scale};
    }
    static int32_t Round(double V) { return static_cast<int32_t>(std::nearbyint(V)); }
    void Stroke(const TPt& A, const TPt& B)
    {
        if (A == B)
            return;
        Out.Strokes.push_back({Contour, Round(A.X), Round(A.Y), Round(B.X), Round(B.Y)});
    }
    void Close()
    {
        if (Contour >= 0)
            Stroke(Pen, Start);
    }
    // Each curved piece as Resolution chords at t = k / Resolution: the last chord ends on the
    // piece's end point exactly, which adding up a step does not guarantee.
    template <class F> void Flatten(F PointAt)
    {
        TPt prev = Pen;
        for (int32_t k = 1; k <= Resolution; ++k) {
            const TPt q = k == Resolution ? PointAt(1.0) : PointAt(static_cast<double>(k) / Resolution);
            Stroke(prev, q);
            prev = q;
        }
        Pen = PointAt(1.0);
    }

    static int MoveTo(const FT_Vector* To, void* User)
    {
        auto& b = *static_cast<TStrokeBuilder*>(User);
        b.Close();
        ++b.Contour;
        b.Start = b.Pen = b.At(To);
        return 0;
    }
    static int LineTo(const FT_Vector* To, void* User)
    {
        auto& b = *static_cast<TStrokeBuilder*>(User);
        const TPt q = b.At(To);
        b.Stroke(b.Pen, q);
        b.Pen = q;
        return 0;
    }
    static int ConicTo(const FT_Vector* Control, const FT_Vector* To, void* User)
    {
        auto& b = *static_cast<TStrokeBuilder*>(User);
        const TPt a = b.Pen, c = b.At(Control), e = b.At(To);
        b.Flatten([&](double t) {
            if (t == 1.0)
                return e;
            const double u = 1 - t;
            return TPt{u * u * a.X + 2 * u * t * c.X + t * t * e.X,
                       u * u * a.Y + 2 * u * t * c.Y + t * t * e.Y};
        });
        return 0;
    }
    static int CubicTo(const FT_Vector* C1, const FT_Vector* C2, const FT_Vector* To, void* User)
    {
        auto& b = *static_cast<TStrokeBuilder*>(User);
        const TPt a = b.Pen, c1 = b.At(C1), c2 = b.At(C2), e = b.At(To);
        b.Flatten([&](double t) {
            if (t == 1.0)
                return e;
            const double u = 1 - t;
            const double w0 = u * u * u, w1 = 3 * u * u * t, w2 = 3 * u * t * t, w3 = t * t * t;
            return TPt{w0 * a.X + w1 * c1.X + w2 * c2.X + w3 * e.X,
                       w0 * a.Y + w1 * c1.Y + w2 * c2.Y + w3 * e.Y};
        });
        return 0;
    }
};

// The file and face index fontconfig gives for a family name (its best substitute when the family
// is not installed).
bool FindFontFile(const std::string& Family, std::string& File, int& Index)
{
    // Fontconfig's configuration is made once and given back at the end of the run.
    struct TFontconfig {
        bool Ready = FcInit() != 0;
        ~TFontconfig()
        {
            if (Ready)
                FcFini();
        }
    };
    static const TFontconfig fontconfig;
    if (!fontconfig.Ready)
        return false;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(Family.c_str()));
    if (!pattern)
        return false;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match)
        return false;
    FcChar8* file = nullptr;
    const bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file;
    if (found)
        File = reinterpret_cast<const char*>(file);
    Index = 0;
    FcPatternGetInteger(match, FC_INDEX, 0, &Index);
    FcPatternDestroy(match);
    return found;
}

} // namespace

struct TTTFConv::TFace {
    FT_Library Library = nullptr;
    FT_Face Face = nullptr;
    ~TFace()
    {
        if (Face)
            FT_Done_Face(Face);
        if (Library)
            FT_Done_FreeType(Library);
    }
};

TTTFConv::TTTFConv() = default;
TTTFConv::~TTTFConv() = default;

void TTTFConv::SetFont(const std::string& F)
{
    if (F == Family)
        return;
    Family = F;
    Face.reset();
    File.clear();
}

void TTTFConv::SetResolution(int32_t N)
{
    if (N >= 1 && N <= 100)
        FResolution = N;
}

const std::string& TTTFConv::FontFile()
{
    Open();
    return File;
}

bool TTTFConv::Open()
{
    if (Face)
        return Face->Face != nullptr;
    Face = std::make_unique<TFace>();
    int index = 0;
    if (!FindFontFile(Family, File, index) || FT_Init_FreeType(&Face->Library) != 0)
        return false;
    if (FT_New_Face(Face->Library, File.c_str(), index, &Face->Face) != 0) {
        Face->Face = nullptr;
        return false;
    }
    return true;
}

std::unique_ptr<TStrokeCollection> TTTFConv::GetCharStrokes(uint32_t Code)
{
    if (!Open())
        return nullptr;
    FT_Face face = Face->Face;
    uint32_t cp = Code;
    if (!Unicode) {
        const std::vector<uint32_t> u =
            CodePoints(Windows1252ToUtf8(std::string(1, static_cast<char>(Code & 0xFF))));
        cp = u.empty() ? 0 : u.front();
    }
    const FT_UInt glyph = FT_Get_Char_Index(face, cp);
    if (glyph == 0 || FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_BITMAP) != 0 ||
        face->glyph->format != FT_GLYPH_FORMAT_OUTLINE || face->glyph->outline.n_contours <= 0 ||
        face->units_per_EM == 0)
        return nullptr;
    auto strokes = std::make_unique<TStrokeCollection>();
    TStrokeBuilder builder{*strokes, FResolution, EmUnits / face->units_per_EM, -1, {}, {}};
    FT_Outline_Funcs funcs{};
    funcs.move_to = &TStrokeBuilder::MoveTo;
    funcs.line_to = &TStrokeBuilder::LineTo;
    funcs.conic_to = &TStrokeBuilder::ConicTo;
    funcs.cubic_to = &TStrokeBuilder::CubicTo;
    if (FT_Outline_Decompose(&face->glyph->outline, &funcs, &builder) != 0)
        return nullptr;
    builder.Close();
    if (strokes->Strokes.empty())
        return nullptr;
    return strokes;
}

void TStrokeCollection::GetStroke(int32_t I, TStroke& S) const
{
    if (I >= 0 && I < Count())
        S = Strokes[static_cast<size_t>(I)];
}

TStrokeBounds TStrokeCollection::GetBounds() const
{
    if (Strokes.empty())
        return {};
    TStrokeBounds b{std::numeric_limits<int32_t>::max(), std::numeric_limits<int32_t>::max(),
                    std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::min()};
    for (const TStroke& s : Strokes)
        for (const auto& [x, y] : {std::pair{s.X1, s.Y1}, {s.X2, s.Y2}}) {
            b.Left = std::min(b.Left, x);
            b.Right = std::max(b.Right, x);
            b.Top = std::min(b.Top, y);
            b.Bottom = std::max(b.Bottom, y);
        }
    return b;
}

// ---- the conversions ----------------------------------------------------------------------------

namespace {

std::unique_ptr<TPolyline2D> Polyline(const std::vector<TPoint2D>& Points)
{
    return std::make_unique<TPolyline2D>(-1, Points);
}

void Rotate(TContainer2D& C, double Degrees)
{
    if (Degrees != 0)
        C.TransformBy(TMatrix4::CreateRotation(true, Degrees));
}

} // namespace

std::unique_ptr<TContainer2D> TTesto2Container::TTFToContainer(const std::vector<std::string>& Lines,
                                                               const std::string& Family)
{
    if (Lines.empty())
        return nullptr;
    TTTFConv conv;
    conv.Unicode = true;
    conv.SetFont(Family);
    conv.SetResolution(Resolution);
    auto container = std::make_unique<TContainer2D>(-1);
    const std::unique_ptr<TStrokeCollection> a = conv.GetCharStrokes('A');
    if (!a)
        return nullptr;
    const TStrokeBounds ab = a->GetBounds();
    // An "A" of no height gives no scale to write the text at.
    if (ab.Bottom == ab.Top)
        return nullptr;
    const double s = Height / (ab.Bottom - ab.Top);
    double posY = 0;
    for (const std::string& line : Lines) {
        double posX = 0;
        for (const uint32_t code : CodePoints(line)) {
            const bool drawn = code > 32;
            const std::unique_ptr<TStrokeCollection> glyph = conv.GetCharStrokes(drawn ? code : '0');
            if (!glyph)
                continue;
            if (drawn) {
                std::vector<TPoint2D> points;
                int32_t contour = -1;
                for (const TStroke& st : glyph->Strokes) {
                    if (st.Contour != contour) {
                        if (!points.empty())
                            container->Objects.Add(Polyline(points));
                        points = {{st.X1 * s + posX, st.Y1 * s + posY, 1}};
                        contour = st.Contour;
                    }
                    points.push_back({st.X2 * s + posX, st.Y2 * s + posY, 1});
                }
                if (!points.empty())
                    container->Objects.Add(Polyline(points));
            }
            const TStrokeBounds b = glyph->GetBounds();
            posX += (b.Right - b.Left) * s + CharSpacing;
        }
        posY -= Height + LineSpacing;
    }
    Rotate(*container, Angle);
    container->UpdateBox();
    return container;
}

void TTesto2Container::StrokeTextToPolylines(const std::string& Text, double X, double Y,
                                             std::vector<std::unique_ptr<TPolyline2D>>& Polys)
{
    if (Text.empty())
        return;
    const TVectFont* font = CADCoreFindFontByIndex(CurrentFont);
    double x = X;
    for (const char ch : Utf8ToWindows1252(Text)) {
        const TVectChar* glyph = font->GetChar(static_cast<uint8_t>(ch));
        if (!glyph) {
            x += 0.4 * Height + CharSpacing;
            continue;
        }
        for (int32_t i = 0; i < glyph->StrokesCount(); ++i) {
            const TPointsSet2D* stroke = glyph->GetStroke(i);
            if (!stroke || stroke->Count() == 0)
                continue;
            std::vector<TPoint2D> points;
            for (const TPoint2D& p : stroke->Points())
                points.push_back({p.X * Height + x, p.Y * Height + Y, 1});
            Polys.push_back(Polyline(points));
        }
        x += glyph->Box.Second.X * Height + CharSpacing;
    }
}

std::unique_ptr<TContainer2D> TTesto2Container::StrokeFontToContainer(const std::vector<std::string>& Lines)
{
    auto container = std::make_unique<TContainer2D>(-1);
    double y = -Height;
    for (const std::string& line : Lines) {
        std::vector<std::unique_ptr<TPolyline2D>> polys;
        StrokeTextToPolylines(line, 0, y, polys);
        for (auto& p : polys)
            container->Objects.Add(std::move(p));
        y -= Height + LineSpacing;
    }
    Rotate(*container, Angle);
    container->UpdateBox();
    return container;
}
