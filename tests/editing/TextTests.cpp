#include "CADExceptions.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVEntity.h"
#include "QVFonts.h"
#include "QVRegistry.h"
#include "QVStream.h"
#include "UnitCatena.h"
#include "UnitEtichetta.h"
#include "UnitTesto2.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace {

// A stroke font of three glyphs in slot 1 (and slot 0): "A" a tent, "O" a box, "i" two strokes.
struct TStrokeFontFixture : ::testing::Test {
    void SetUp() override
    {
        CADCoreClearFontRegistry();
        for (int slot : {0, 1}) {
            auto font = std::make_unique<TVectFont>();
            font->SetChar('A', TVectChar::CreateFromStrokes({{{0, 0, 1}, {0.3, 1, 1}, {0.6, 0, 1}}}));
            font->SetChar('O', TVectChar::CreateFromStrokes(
                                   {{{0, 0, 1}, {0.5, 0, 1}, {0.5, 1, 1}, {0, 1, 1}, {0, 0, 1}}}));
            font->SetChar(
                'i', TVectChar::CreateFromStrokes({{{0, 0, 1}, {0, 0.6, 1}}, {{0, 0.8, 1}, {0, 0.9, 1}}}));
            font->SetChar('e', TVectChar::CreateFromStrokes({{}, {{0, 0, 1}, {0.4, 0, 1}}}));
            Fonts.push_back(std::move(font));
            RegisterFont(slot, *Fonts.back());
        }
        Testo2Container = TTesto2Container();
    }
    void TearDown() override { CADCoreClearFontRegistry(); }

    static void RegisterFont(int Slot, const TVectFont& Font)
    {
        TStreamWriter w;
        Font.SaveToStream(w);
        const std::string name = ::testing::TempDir() + "font" + std::to_string(Slot) + ".fnd";
        FILE* f = std::fopen(name.c_str(), "wb");
        std::fwrite(w.Bytes().data(), 1, w.Bytes().size(), f);
        std::fclose(f);
        ASSERT_TRUE(CADCoreRegisterFontFromFile(Slot, name));
    }

    std::vector<std::unique_ptr<TVectFont>> Fonts;
};

std::vector<std::vector<TPoint2D>> Polylines(const TContainer2D& C)
{
    std::vector<std::vector<TPoint2D>> out;
    TGraphicObjIterator it = const_cast<TContainer2D&>(C).Objects.GetIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next()) {
        const auto& p = dynamic_cast<TPolyline2D&>(*o).Points().Points();
        std::vector<TPoint2D> pts;
        for (const TPoint2D& q : p)
            pts.push_back(C.GetModelTransform().TransformPoint2D(q));
        out.push_back(pts);
    }
    return out;
}

using TStrokeText = TStrokeFontFixture;

// The stroke-font text drawn back: every polyline is the font's own glyph layout at the height.
TEST_F(TStrokeText, LayoutTable)
{
    Testo2Container.Height = 10;
    Testo2Container.CharSpacing = 1;
    Testo2Container.LineSpacing = 2;
    struct TCase {
        const char* Name;
        std::vector<std::string> Lines;
        double Angle;
        size_t Polylines;
        TPoint2D First;
    } cases[] = {
        {"one glyph at the first baseline", {"A"}, 0, 1, {0, -10, 1}},
        {"second line 12 lower", {"", "A"}, 0, 1, {0, -22, 1}},
        {"missing glyph advances 0.4 height", {"#A"}, 0, 1, {5, -10, 1}},
        {"advance by the box plus spacing", {"OA"}, 0, 2, {0, -10, 1}},
        {"i has two strokes, an empty stroke none", {"ie"}, 0, 3, {0, -10, 1}},
        {"turned a quarter", {"A"}, 90, 1, {10, 0, 1}},
        {"no lines", {}, 0, 0, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Testo2Container.Angle = c.Angle;
        const std::unique_ptr<TContainer2D> box = Testo2Container.StrokeFontToContainer(c.Lines);
        ASSERT_NE(box, nullptr);
        const auto polys = Polylines(*box);
        ASSERT_EQ(polys.size(), c.Polylines);
        if (polys.empty())
            continue;
        EXPECT_NEAR(polys[0][0].X, c.First.X, 1e-9);
        EXPECT_NEAR(polys[0][0].Y, c.First.Y, 1e-9);
    }
    Testo2Container.Angle = 0;
    const auto two = Polylines(*Testo2Container.StrokeFontToContainer({"OA"}));
    // "O" is 0.5 wide: "A" starts at 5 + 1.
    EXPECT_NEAR(two[1][0].X, 6, 1e-9);
    EXPECT_NEAR(two[1][1].Y, 0, 1e-9);
}

// ---- TrueType ------------------------------------------------------------------------------------

// Coverage of the closed polylines (even-odd) on a grid of Size x Size cells over the box.
std::vector<uint8_t> Fill(const std::vector<std::vector<TPoint2D>>& Polys, double X0, double Y0, double Cell,
                          int W, int H)
{
    std::vector<uint8_t> img(static_cast<size_t>(W * H), 0);
    for (int row = 0; row < H; ++row) {
        const double y = Y0 + (row + 0.5) * Cell;
        for (int col = 0; col < W; ++col) {
            const double x = X0 + (col + 0.5) * Cell;
            bool inside = false;
            for (const auto& p : Polys)
                for (size_t i = 0, j = p.size() - 1; i < p.size(); j = i++)
                    if ((p[i].Y > y) != (p[j].Y > y) &&
                        x < (p[j].X - p[i].X) * (y - p[i].Y) / (p[j].Y - p[i].Y) + p[i].X)
                        inside = !inside;
            img[static_cast<size_t>(row * W + col)] = inside;
        }
    }
    return img;
}

TEST(TTrueTypeText, GlyphsDrawnBackMatchTheFontsOwnRendering)
{
    const std::string family = "DejaVu Sans";
    TTTFConv conv;
    conv.Unicode = true;
    conv.SetFont(family);
    conv.SetResolution(8);
    ASSERT_FALSE(conv.FontFile().empty());

    FT_Library lib = nullptr;
    ASSERT_EQ(FT_Init_FreeType(&lib), 0);
    FT_Face face = nullptr;
    ASSERT_EQ(FT_New_Face(lib, conv.FontFile().c_str(), 0, &face), 0);
    constexpr int px = 128;
    FT_Set_Pixel_Sizes(face, 0, px);
    for (const char ch : std::string("AOgé&8")) {
        SCOPED_TRACE(ch);
        const uint32_t code = static_cast<uint8_t>(ch) == 0xC3 ? 0xE9 : static_cast<uint8_t>(ch);
        if (static_cast<uint8_t>(ch) == 0xA9)
            continue;
        ASSERT_EQ(FT_Load_Char(face, code, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO), 0);
        const FT_Bitmap& bm = face->glyph->bitmap;
        const int w = static_cast<int>(bm.width), h = static_cast<int>(bm.rows);
        // The font's own picture: its pixel grid in strokes' units (1024 per em).
        const double cell = 1024.0 / px;
        const double x0 = face->glyph->bitmap_left * cell, ytop = face->glyph->bitmap_top * cell;
        std::unique_ptr<TStrokeCollection> strokes = conv.GetCharStrokes(code);
        ASSERT_NE(strokes, nullptr);
        std::vector<std::vector<TPoint2D>> polys;
        int32_t contour = -1;
        for (const TStroke& s : strokes->Strokes) {
            if (s.Contour != contour) {
                polys.push_back({{double(s.X1), double(s.Y1), 1}});
                contour = s.Contour;
            }
            polys.back().push_back({double(s.X2), double(s.Y2), 1});
        }
        std::vector<uint8_t> ours = Fill(polys, x0, ytop - h * cell, cell, w, h);
        int same = 0, both = 0, any = 0;
        for (int r = 0; r < h; ++r)
            for (int c = 0; c < w; ++c) {
                const bool theirs = (bm.buffer[r * bm.pitch + c / 8] >> (7 - c % 8)) & 1;
                const bool mine = ours[static_cast<size_t>((h - 1 - r) * w + c)] != 0;
                same += theirs == mine;
                both += theirs && mine;
                any += theirs || mine;
            }
        EXPECT_GT(double(both) / any, 0.9);
        EXPECT_GT(double(same) / (w * h), 0.96);
    }
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
}

TEST(TTrueTypeText, ContoursResolutionAndLayout)
{
    TTTFConv conv;
    conv.Unicode = true;
    conv.SetFont("DejaVu Sans");
    for (const auto& [ch, contours] : {std::pair{'O', 2}, {'i', 2}, {'l', 1}}) {
        const auto s = conv.GetCharStrokes(static_cast<uint32_t>(ch));
        ASSERT_NE(s, nullptr);
        EXPECT_EQ(s->Strokes.back().Contour + 1, contours) << ch;
    }
    EXPECT_EQ(conv.GetCharStrokes(' '), nullptr);
    // 0 and 101 leave the resolution as it is; more chords for a higher one.
    conv.SetResolution(0);
    conv.SetResolution(101);
    EXPECT_EQ(conv.Resolution(), 8);
    conv.SetResolution(1);
    const size_t coarse = conv.GetCharStrokes('O')->Strokes.size();
    conv.SetResolution(9);
    const size_t fine = conv.GetCharStrokes('O')->Strokes.size();
    EXPECT_GT(fine, coarse);

    TTesto2Container text;
    text.Height = 10;
    text.LineSpacing = 2;
    EXPECT_EQ(text.TTFToContainer({}, "DejaVu Sans"), nullptr);
    const std::unique_ptr<TContainer2D> two = text.TTFToContainer({"A", "A"}, "DejaVu Sans");
    ASSERT_NE(two, nullptr);
    // "A" is an outline and its hole; the second line's two follow.
    const auto polys = Polylines(*two);
    ASSERT_EQ(polys.size(), 4u);
    double top0 = -1e9, top1 = -1e9, bottom0 = 1e9;
    for (size_t i = 0; i < 4; ++i)
        for (const TPoint2D& p : polys[i]) {
            (i < 2 ? top0 : top1) = std::max(i < 2 ? top0 : top1, p.Y);
            if (i < 2)
                bottom0 = std::min(bottom0, p.Y);
        }
    EXPECT_NEAR(top0 - bottom0, 10, 1e-9); // "A" is the text height
    EXPECT_NEAR(top0 - top1, 12, 1e-9);    // the second line 12 lower
    // "A A": the space advances by the width of "0".
    const auto spaced = Polylines(*text.TTFToContainer({"A A"}, "DejaVu Sans"));
    ASSERT_EQ(spaced.size(), 4u);
    EXPECT_GT(spaced[2][0].X, spaced[0][0].X + 10);
}

// ---- labels --------------------------------------------------------------------------------------

TEST(TLabels, NewLabelStream)
{
    TEtichetta label(-1);
    TStreamWriter w;
    label.SaveToStream(w);
    TStreamWriter part;
    TObject2D(-1).SaveToStream(part);
    const std::vector<uint8_t>& b = w.Bytes();
    const size_t o = part.Bytes().size();
    ASSERT_EQ(b.size(), o + 4 + 4 + 16 + 4);
    TStreamReader r(b);
    r.Skip(o);
    EXPECT_EQ(r.ReadInt32(), 1);
    EXPECT_EQ(r.ReadInt32(), 0);
    for (float v : {0.f, 0.f, 10.f, 1.f})
        EXPECT_EQ(r.ReadSingle(), v);
    EXPECT_EQ(r.ReadInt32(), 0);
}

TEST(TLabels, RoundTripIsBitExactAndDamagedStreamsAreRefused)
{
    TEtichetta label(7);
    label.Rows[0] = {"Größe 1", 1.25f, -3.5f, 4.75f, 0.3f};
    label.AddRow();
    label.Rows[1].Text = "B";
    label.FontIndex = 2;
    TStreamWriter w;
    label.SaveToStream(w);
    TStreamReader r(w.Bytes());
    TEtichetta read(r, "QV-3.6");
    EXPECT_EQ(read.ID, -1);
    EXPECT_EQ(read.InOperation, 1);
    ASSERT_EQ(read.RowCount(), 2);
    EXPECT_EQ(read.Rows[0].Text, "Größe 1");
    EXPECT_EQ(read.Rows[0].CharSpacing, 0.3f);
    TStreamWriter again;
    read.ID = 7;
    read.SaveToStream(again);
    EXPECT_EQ(again.Bytes(), w.Bytes());

    // A row count or a text longer than the bytes left.
    TStreamWriter part;
    TObject2D(-1).SaveToStream(part);
    for (int32_t rows : {1000000, -5}) {
        std::vector<uint8_t> bad = w.Bytes();
        const size_t at = part.Bytes().size();
        for (int k = 0; k < 4; ++k)
            bad[at + static_cast<size_t>(k)] = static_cast<uint8_t>(static_cast<uint32_t>(rows) >> (8 * k));
        TStreamReader br(bad);
        EXPECT_THROW(TEtichetta(br, "QV-3.6"), ECADFileNotValid) << rows;
    }
    std::vector<uint8_t> cut = w.Bytes();
    cut.resize(cut.size() - 3);
    TStreamReader cr(cut);
    EXPECT_THROW(TEtichetta(cr, "QV-3.6"), ECADFileNotValid);
}

using TLabelGeometry = TStrokeFontFixture;

TEST_F(TLabelGeometry, ApplyingTwiceLeavesOneContainerAndADeletedOneIsNotFreedAgain)
{
    TQV_01Cmp2D drawing;
    auto label = TEtichetta::Create(false);
    label->Rows[0].Text = "Ai";
    label->AddRow(); // an empty row adds nothing
    label->BuildGeometry(&drawing);
    label->BuildGeometry(&drawing);
    EXPECT_EQ(drawing.ObjectsCount(), 1);
    TContainer2D* placed = label->PlacedContainer();
    ASSERT_NE(placed, nullptr);
    EXPECT_EQ(placed->Objects.Count(), 3);
    // The user deletes it; the label forgets it and the next Apply deletes nothing else.
    const int32_t id = placed->ID;
    drawing.DeleteObject(id);
    EXPECT_EQ(label->PlacedContainer(), nullptr);
    drawing.AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{1, 1, 1}));
    label->BuildGeometry(&drawing);
    EXPECT_EQ(drawing.ObjectsCount(), 2);
    // The label's own font, not the one the text pages chose last, and back afterwards.
    Testo2Container.CurrentFont = 7;
    label->FontIndex = 0;
    label->BuildGeometry(&drawing);
    EXPECT_EQ(Testo2Container.CurrentFont, 7);
}

TEST_F(TLabelGeometry, AnOperationLabelBecomesOpenChains)
{
    auto label = TEtichetta::Create(true);
    label->Rows[0].Text = "iO";
    label->BuildGeometry(nullptr);
    ASSERT_NE(label->OwnGeometry(), nullptr);
    TListaCatene chains;
    auto old = std::make_unique<TCatena>();
    old->AddVertex(TAVertice::CreatePoint({0, 0}, 0));
    chains.AddChain(std::move(old));
    label->MakeChains(chains);
    ASSERT_EQ(chains.Count(), 3);
    for (int32_t i = 0; i < chains.Count(); ++i) {
        EXPECT_FALSE(chains.Chain(i).Closed);
        EXPECT_EQ(chains.Chain(i).ID, 0);
    }
    label->FontChanged(2);
    EXPECT_EQ(label->FontIndex, 2);
    EXPECT_EQ(Testo2Container.CurrentFont, 3);
}

} // namespace
