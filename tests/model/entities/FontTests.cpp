#include "CADExceptions.h"
#include "ExpectError.h"
#include "FakeServices.h"
#include "QVCmp.h"
#include "QVFonts.h"
#include "QVRegistry.h"
#include "QVStream.h"
#include "QVVectText.h"
#include "SavedBytes.h"
#include "TempFolder.h"
#include "TestFiles.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

namespace {

using TStroke = std::vector<TPoint2D>;
using TStrokes = std::vector<TStroke>;

TStrokeSink Collect(TStrokes& Out)
{
    return [&Out](std::span<const TPoint2D> s) { Out.emplace_back(s.begin(), s.end()); };
}

// 'A' 0.6 wide, 'B' 0.5 wide, both resting on the baseline; 'g' 0.4 wide with a descent of 0.3.
// No glyph for the space, CR, LF or 'Z'.
std::unique_ptr<TVectFont> MakeTestFont()
{
    auto f = std::make_unique<TVectFont>();
    f->SetChar('A', TVectChar::CreateFromStrokes({{{0, 0}, {0.3, 1}, {0.6, 0}}}));
    f->SetChar('B', TVectChar::CreateFromStrokes({{{0, 0}, {0, 1}, {0.5, 0.5}}}));
    f->SetChar('g', TVectChar::CreateFromStrokes({{{0, 0.5}, {0.4, -0.3}}}));
    return f;
}

std::vector<uint8_t> FontBytes(const TVectFont& Font)
{
    TStreamWriter w;
    Font.SaveToStream(w);
    return w.TakeBytes();
}

void ExpectRect(const TRect2D& R, double X1, double Y1, double X2, double Y2)
{
    EXPECT_NEAR(R.First.X, X1, 1e-9);
    EXPECT_NEAR(R.First.Y, Y1, 1e-9);
    EXPECT_NEAR(R.Second.X, X2, 1e-9);
    EXPECT_NEAR(R.Second.Y, Y2, 1e-9);
}

// Every test starts and ends with an empty registry and a recording main window.
class FontTest : public ::testing::Test {
protected:
    void SetUp() override { CADCoreClearFontRegistry(); }
    void TearDown() override { CADCoreFreeFonts(); }

    TFakeMainWindow Window;
    TInstalledServices Installed{&Window};
    TTempFolder Folder;
};

} // namespace

TEST_F(FontTest, CharacterAdvancesAndDefaultGlyph)
{
    auto font = MakeTestFont();
    auto withSpace = MakeTestFont();
    withSpace->SetChar(' ', TVectChar::CreateFromStrokes({{{0, 0}, {2, 0}}}));
    const double H = 10, S = 0.1;
    struct TCase {
        const char* Name;
        const TVectFont* Font;
        uint8_t Code;
        double Advance;
        TStrokes Drawn; // relative to a pen at (0, 0)
    };
    const std::vector<TCase> cases = {
        {"glyph", font.get(), 'A', 7, {{{0, 0}, {3, 10}, {6, 0}}}},
        {"space advances 0.4 + S", font.get(), ' ', 5, {}},
        {"space glyph is ignored", withSpace.get(), ' ', 5, {}},
        {"missing character draws the default glyph", font.get(), 'Z', 9, {{{0, 0}, {8, 0}}}},
        {"missing CR draws and advances nothing", font.get(), 13, 0, {}},
        {"lone LF is a missing character", font.get(), 10, 9, {{{0, 0}, {8, 0}}}},
        {"code above 127", font.get(), 0xE9, 9, {{{0, 0}, {8, 0}}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TStrokes got;
        TPoint2D pen{0, 0, 1};
        c.Font->BuildCharGL(c.Code, pen, H, S, IdentityMatrix, Collect(got));
        EXPECT_NEAR(pen.X, c.Advance, 1e-12);
        EXPECT_EQ(pen.Y, 0);
        ASSERT_EQ(got.size(), c.Drawn.size());
        for (size_t s = 0; s < got.size(); ++s) {
            ASSERT_EQ(got[s].size(), c.Drawn[s].size());
            for (size_t i = 0; i < got[s].size(); ++i) {
                EXPECT_NEAR(got[s][i].X, c.Drawn[s][i].X, 1e-12);
                EXPECT_NEAR(got[s][i].Y, c.Drawn[s][i].Y, 1e-12);
            }
        }
    }
}

TEST_F(FontTest, AdvancesOfASpaceB)
{
    auto font = MakeTestFont();
    const double H = 10, S = 0.1, wA = 0.6, wB = 0.5;
    TStrokes got;
    TPoint2D pen{3, 4, 1};
    std::vector<double> steps;
    for (char c : std::string("A B")) {
        const double before = pen.X;
        font->BuildCharGL(static_cast<uint8_t>(c), pen, H, S, IdentityMatrix, Collect(got));
        steps.push_back(pen.X - before);
    }
    ASSERT_EQ(steps.size(), 3u);
    EXPECT_NEAR(steps[0], H * (wA + S), 1e-12);
    EXPECT_NEAR(steps[1], H * (0.4 + S), 1e-12);
    EXPECT_NEAR(steps[2], H * (wB + S), 1e-12);
    // B starts where the pen stood: at the pen's Y, after A and the space.
    ASSERT_EQ(got.size(), 2u);
    EXPECT_NEAR(got[1][0].X, 3 + H * (wA + S) + H * (0.4 + S), 1e-12);
    EXPECT_NEAR(got[1][0].Y, 4, 1e-12);
}

TEST_F(FontTest, StrokesGoThroughTheMatrix)
{
    auto font = MakeTestFont();
    TMatrix4 m = TMatrix4::CreateRotation(true, 90);
    m.Translate(100, 0, 0);
    TStrokes got;
    TPoint2D pen{1, 0, 1};
    font->BuildCharGL('A', pen, 10, 0.1, m, Collect(got));
    // Glyph point (0.3, 1) at height 10 from pen (1, 0) is (4, 10); turned by 90 degrees and moved.
    ASSERT_EQ(got.size(), 1u);
    EXPECT_NEAR(got[0][1].X, 100 - 10, 1e-9);
    EXPECT_NEAR(got[0][1].Y, 4, 1e-9);
    EXPECT_NEAR(pen.X, 8, 1e-12); // the pen advances in text space
}

TEST_F(FontTest, TextExtents)
{
    auto font = MakeTestFont();
    const double H = 10, S = 0.1, I = 0.02;
    struct TCase {
        const char* Name;
        std::string Text;
        double X1, Y1, X2, Y2;
    };
    const std::vector<TCase> cases = {
        {"one glyph", "A", 0, 0, 6, 10},
        {"two glyphs", "AB", 0, 0, 12, 10},
        // The extent counts a missing space as 0.5 + S, drawing advances 0.4 + S.
        {"missing space counts 0.5", "A B", 0, 0, 18, 10},
        {"two lines are H(2 + I) high", "A\rB", 0, -10 * (1 + I), 6, 10},
        // The LF after the CR counts as one default glyph in the second line's width.
        {"CR LF counts the LF", "A\r\nB", 0, -10 * (1 + I), 14, 10},
        {"descender", "g", 0, -3, 4, 10},
        // A missing character adds width but no depth.
        {"missing glyph", "Z", 0, 10, 8, 10},
        {"empty text", "", 0, 10, 0, 10},
        {"empty second line", "A\r", 0, -10 * I, 6, 10},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        ExpectRect(font->GetTextExtent(c.Text, H, S, I), c.X1, c.Y1, c.X2, c.Y2);
    }
    // Codes above 127 find their glyph: UTF-8 "é" is code 0xE9.
    font->SetChar(0xE9, TVectChar::CreateFromStrokes({{{0, 0}, {0.7, 0}}}));
    ExpectRect(font->GetTextExtent("\xC3\xA9", H, S, I), 0, 0, 7, 10);
}

TEST_F(FontTest, JustifiedTextBoxes)
{
    auto font = MakeTestFont();
    // Corners given the wrong way round: the box is normalised first. "AB" is 12 x 10.
    const TRect2D corners{{300, 260, 1}, {100, 200, 1}};
    struct TCase {
        const char* Name;
        uint8_t HJust, VJust;
        bool WithFont;
        double X1, Y1, X2, Y2;
    };
    const std::vector<TCase> cases = {
        {"left bottom", 0, 1, true, 100, 200, 112, 210},
        {"right", 1, 1, true, 288, 200, 300, 210},
        {"centre", 2, 1, true, 194, 200, 206, 210},
        {"other horizontal value is left", 7, 1, true, 100, 200, 112, 210},
        {"top", 0, 0, true, 100, 250, 112, 260},
        // The first line's origin goes to the middle; the height is not subtracted.
        {"vertical centre", 0, 2, true, 100, 230, 112, 240},
        {"other vertical value is top", 0, 9, true, 100, 250, 112, 260},
        {"no font: a point at the justified place", 1, 1, false, 300, 200, 300, 200},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TVectTextParams p;
        p.HJustification = c.HJust;
        p.VJustification = c.VJust;
        p.Height = 10;
        ExpectRect(GetJustifiedTextBox(c.WithFont ? font.get() : nullptr, "AB", corners, p), c.X1, c.Y1, c.X2,
                   c.Y2);
    }
}

TEST_F(FontTest, RightJustifiedTextWithSpacesEndsShortOfTheBox)
{
    auto font = MakeTestFont();
    TVectTextParams p;
    p.HJustification = 1;
    p.Height = 10;
    TStrokes got;
    BuildJustifiedText(font.get(), "A A", {{0, 0, 1}, {300, 50, 1}}, p, IdentityMatrix, Collect(got));
    double right = -1e9;
    for (const auto& s : got)
        for (const auto& pt : s)
            right = std::max(right, pt.X);
    EXPECT_NEAR(right, 300 - 0.1 * 10, 1e-9);
}

TEST_F(FontTest, LinesStartAtTheLeftEdgeAndDropTheLFAfterCR)
{
    auto font = MakeTestFont();
    TVectTextParams p;
    p.HJustification = 2;
    p.VJustification = 0;
    p.Height = 10;
    p.Interline = 0.5;
    TStrokes got;
    // Centred: the box is placed by the widest line, each line starts at its left edge.
    BuildJustifiedText(font.get(), "AA\r\nB", {{0, 0, 1}, {100, 100, 1}}, p, IdentityMatrix, Collect(got));
    const TRect2D t = GetJustifiedTextBox(font.get(), "AA\r\nB", {{0, 0, 1}, {100, 100, 1}}, p);
    ASSERT_EQ(got.size(), 3u); // A, A, B: no default glyph for the LF
    EXPECT_NEAR(got[0][0].X, t.First.X, 1e-9);
    EXPECT_NEAR(got[0][0].Y, 100 - 10, 1e-9);
    EXPECT_NEAR(got[2][0].X, t.First.X, 1e-9);
    EXPECT_NEAR(got[2][0].Y, 100 - 10 - (10 + 10 * 0.5), 1e-9);

    TStrokes none;
    BuildJustifiedText(nullptr, "AB", {{0, 0, 1}, {100, 100, 1}}, p, IdentityMatrix, Collect(none));
    EXPECT_TRUE(none.empty());
}

TEST_F(FontTest, FontStreamRoundTripAndLaterRecordWins)
{
    TStreamWriter w;
    auto first = TVectChar::CreateFromStrokes({{{0, 0}, {1, 1}}});
    auto second = TVectChar::CreateFromStrokes({{{0.2, 0.1}, {0.5, 0.9}}, {}}); // lies right of the origin
    w.WriteInt32('x');
    first->SaveToStream(w);
    w.WriteInt32('x');
    second->SaveToStream(w);
    w.WriteInt32(255);
    first->SaveToStream(w);
    w.WriteInt32(-1);
    w.WriteInt32(12345); // bytes after the end marker are not read
    TStreamReader r(w.Bytes());
    auto font = TVectFont::CreateFromStream(r);

    const TVectChar* x = font->GetChar('x');
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->StrokesCount(), 2);
    EXPECT_EQ(x->GetStroke(1)->Count(), 0);
    ExpectRect(x->Box, 0, 0, 0.5, 0.9); // the box still starts at the origin
    ASSERT_NE(font->GetChar(255), nullptr);
    EXPECT_EQ(font->GetChar('y'), nullptr);

    // Writing gives back what was read, in code order.
    const std::vector<uint8_t> written = FontBytes(*font);
    TStreamReader r2(written);
    EXPECT_EQ(FontBytes(*TVectFont::CreateFromStream(r2)), written);
}

TEST_F(FontTest, RegistryErrors)
{
    const std::string good = Folder.Path() + "/good.fnd";
    WriteFile(good, FontBytes(*MakeTestFont()));

    ExpectError<ECADOutOfBound>([&] { CADCoreRegisterFontFromFile(513, good); },
                                "CADCoreRegisterFontFromFile: Out of bound registration index");
    ExpectError<ECADOutOfBound>([&] { CADCoreRegisterFontFromFile(-1, good); },
                                "CADCoreRegisterFontFromFile: Out of bound registration index");
    EXPECT_TRUE(CADCoreRegisterFontFromFile(0, good));
    ExpectError<ECADObjClassNotFound>([&] { CADCoreRegisterFontFromFile(0, good); },
                                      "CADCoreRegisterFontFromFile: Font index already allocated");
    EXPECT_TRUE(CADCoreRegisterFontFromFile(512, good));

    TVectFont* f0 = CADCoreFindFontByIndex(0);
    EXPECT_EQ(CADCoreFindFontIndex(f0), 0);
    EXPECT_EQ(CADCoreFindFontIndex(CADCoreFindFontByIndex(512)), 512);
    TVectFont stray;
    ExpectError<ECADObjClassNotFound>([&] { CADCoreFindFontIndex(&stray); },
                                      "CADCoreFindFontIndex: Font not found");
    ExpectError<ECADObjClassNotFound>([&] { CADCoreFindFontIndex(nullptr); },
                                      "CADCoreFindFontIndex: Font not found");
    for (int32_t index : {1, 513, -1, 70000}) {
        SCOPED_TRACE(index);
        ExpectError<ECADObjClassNotFound>([&] { CADCoreFindFontByIndex(index); },
                                          "CADCoreFindFontByIndex: Font not registered");
    }

    // A missing file: a message, no exception, the slot stays empty.
    const std::string missing = Folder.Path() + "/missing.fnd";
    EXPECT_FALSE(CADCoreRegisterFontFromFile(3, missing));
    ASSERT_EQ(Window.Boxes.size(), 1u);
    EXPECT_EQ(Window.Boxes[0].Text, "File not found!\r\n" + missing);
    EXPECT_EQ(Window.Boxes[0].Icon, TMsgIcon::Error);
    EXPECT_EQ(Window.Boxes[0].Buttons, TMsgButtons::Ok);
    EXPECT_THROW(CADCoreFindFontByIndex(3), ECADObjClassNotFound);

    CADCoreClearFontRegistry();
    EXPECT_THROW(CADCoreFindFontByIndex(0), ECADObjClassNotFound);
}

// A bad font file must not take the program down, nor leave half a font behind.
TEST_F(FontTest, BadFontFilesAreRefusedAndLeaveTheSlotEmpty)
{
    const std::vector<uint8_t> good = FontBytes(*MakeTestFont());
    auto withInt32 = [](std::initializer_list<int32_t> values, size_t extraZeros = 0) {
        TStreamWriter w;
        for (int32_t v : values)
            w.WriteInt32(v);
        for (size_t i = 0; i < extraZeros; ++i)
            w.WriteByte(0);
        return w.TakeBytes();
    };
    auto glyphWithPoint = [](double x, double y, double wCoord) {
        TStreamWriter w;
        w.WriteInt32('A');
        w.WriteInt32(1);
        w.WriteUInt16(1);
        w.WriteDouble(x);
        w.WriteDouble(y);
        w.WriteDouble(wCoord);
        w.WriteInt32(-1);
        return w.TakeBytes();
    };
    TStreamWriter hugePoints;
    hugePoints.WriteInt32('A');
    hugePoints.WriteInt32(1);
    hugePoints.WriteUInt16(65535);
    hugePoints.WriteDouble(0);
    hugePoints.WriteInt32(-1);

    const std::string text = "This is not a font.\n";
    struct TCase {
        const char* Name;
        std::vector<uint8_t> Bytes;
    };
    const std::vector<TCase> cases = {
        {"empty file", {}},
        {"truncated inside a point", std::vector<uint8_t>(good.begin(), good.begin() + 20)},
        {"no end marker", std::vector<uint8_t>(good.begin(), good.end() - 4)},
        {"huge stroke count", withInt32({'A', 0x7fffffff}, 64)},
        {"negative stroke count", withInt32({'A', -5}, 64)},
        {"huge point count", hugePoints.TakeBytes()},
        {"code 256", withInt32({256, 0, -1})},
        {"negative code", withInt32({-2, 0, -1})},
        {"a text file", std::vector<uint8_t>(text.begin(), text.end())},
        {"NaN coordinate", glyphWithPoint(std::numeric_limits<double>::quiet_NaN(), 0, 1)},
        {"infinite coordinate", glyphWithPoint(0, std::numeric_limits<double>::infinity(), 1)},
        {"zero weight", glyphWithPoint(0, 0, 0)},
    };
    const std::string name = Folder.Path() + "/bad.fnd";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        WriteFile(name, c.Bytes);
        Window.Boxes.clear();
        EXPECT_FALSE(CADCoreRegisterFontFromFile(7, name));
        ASSERT_EQ(Window.Boxes.size(), 1u);
        const std::string head = "Font file not valid!\r\n" + name + "\r\n";
        EXPECT_EQ(Window.Boxes[0].Text.substr(0, head.size()), head);
        EXPECT_GT(Window.Boxes[0].Text.size(), head.size()); // says why
        EXPECT_EQ(Window.Boxes[0].Icon, TMsgIcon::Error);
        ExpectError<ECADObjClassNotFound>([] { CADCoreFindFontByIndex(7); },
                                          "CADCoreFindFontByIndex: Font not registered");
    }
    // The slot takes a good font afterwards.
    WriteFile(name, good);
    EXPECT_TRUE(CADCoreRegisterFontFromFile(7, name));
    EXPECT_NE(CADCoreFindFontByIndex(7)->GetChar('A'), nullptr);
}

// The fonts the build makes from the Hershey data lie next to the executables.
TEST_F(FontTest, GeneratedRomanCLaysOutHello)
{
    const auto bin = std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string romanC = (bin / "RomanC.fnd").string();
    ASSERT_TRUE(CADCoreRegisterFontFromFile(0, romanC)) << romanC;
    const TVectFont* font = CADCoreFindFontByIndex(0);

    // Printable ASCII except the space; nothing else.
    for (int code = 0; code < 256; ++code) {
        SCOPED_TRACE(code);
        EXPECT_EQ(font->GetChar(static_cast<uint8_t>(code)) != nullptr, code > 32 && code < 127);
    }

    const double H = 10, S = 0.1;
    TStrokes strokes;
    TPoint2D pen{0, 0, 1};
    std::vector<double> advances;
    for (char c : std::string("Hello")) {
        const double before = pen.X;
        font->BuildCharGL(static_cast<uint8_t>(c), pen, H, S, IdentityMatrix, Collect(strokes));
        advances.push_back(pen.X - before);
    }
    for (double a : advances) {
        EXPECT_GT(a, 0.2 * H);
        EXPECT_LT(a, 1.5 * H);
    }
    EXPECT_GT(advances[0], advances[2]); // 'H' is wider than 'l'
    EXPECT_NEAR(advances[2], advances[3], 1e-12);

    // Capitals stand one cell high on the baseline; nothing drawn far outside the cell.
    const TVectChar* capH = font->GetChar('H');
    EXPECT_NEAR(capH->Box.First.Y, 0, 0.02);
    EXPECT_NEAR(capH->Box.Second.Y, 1, 0.02);
    EXPECT_LT(font->GetChar('g')->Box.First.Y, -0.1);
    ASSERT_FALSE(strokes.empty());
    for (const auto& s : strokes)
        for (const auto& p : s) {
            EXPECT_GE(p.X, 0);
            EXPECT_LE(p.X, pen.X);
            EXPECT_GE(p.Y, -0.5 * H);
            EXPECT_LE(p.Y, 1.2 * H);
        }
    const TRect2D e = font->GetTextExtent("Hello", H, S, 0.02);
    EXPECT_NEAR(e.Second.X, pen.X - S * H, 1e-9); // no space: extent and drawing agree

    // The program's fonts: RomanC in slot 0, the folder's fonts after it in name order.
    CADCoreClearFontRegistry();
    const std::vector<std::string> names = RegisterProgramFonts(bin.string());
    EXPECT_GE(names.size(), 5u);
    ASSERT_NE(CADCoreFindFontByIndex(0), nullptr);
    for (size_t i = 0; i < names.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_NE(CADCoreFindFontByIndex(static_cast<int32_t>(i + 1)), nullptr);
    }
    EXPECT_TRUE(Window.Boxes.empty());
}

// The font folder's order must not depend on the file system or on letter case.
TEST_F(FontTest, StrokeFontFolderIsListedInCaseInsensitiveOrder)
{
    TTempFolder folder;
    const std::filesystem::path dir = folder.Path();
    std::filesystem::create_directories(dir / "sub.fnd");
    for (const char* name : {"roman.fnd", "Gothic.fnd", "Script.FND", "ROMAN.fnd", "notes.txt", "alpha.fnd"})
        std::ofstream(dir / name) << "x";
    EXPECT_EQ(ListStrokeFontNames(dir.string()),
              (std::vector<std::string>{"alpha", "Gothic", "ROMAN", "roman", "Script"}));
    EXPECT_TRUE(ListStrokeFontNames((dir / "missing").string()).empty());
}

// ---- The text entity ----------------------------------------------------------------------------

namespace {

// The fields after the primitive's part, read back from the end of a saved text.
struct TTextTail {
    std::string Bytes;
    int32_t Slot;
    uint8_t HJust, VJust, DrawBox;
    double Height, Interline, CharSpacing;
};

TTextTail ReadTail(const std::vector<uint8_t>& Saved, size_t TextBytes)
{
    TStreamReader r(Saved);
    r.Seek(Saved.size() - (4 + TextBytes + 4 + 3 + 24));
    TTextTail t;
    EXPECT_EQ(r.ReadInt32(), static_cast<int32_t>(TextBytes));
    t.Bytes = r.ReadChars(TextBytes);
    t.Slot = r.ReadInt32();
    t.HJust = r.ReadByte();
    t.VJust = r.ReadByte();
    t.DrawBox = r.ReadByte();
    t.Height = r.ReadDouble();
    t.Interline = r.ReadDouble();
    t.CharSpacing = r.ReadDouble();
    return t;
}

} // namespace

class VectTextTest : public FontTest {
protected:
    void SetUp() override
    {
        FontTest::SetUp();
        const std::string file = Folder.Path() + "/test.fnd";
        WriteFile(file, FontBytes(*MakeTestFont()));
        ASSERT_TRUE(CADCoreRegisterFontFromFile(4, file));
        Font = CADCoreFindFontByIndex(4);
    }

    TVectFont* Font = nullptr;
};

TEST_F(VectTextTest, StreamKeepsFieldOrderAndEncoding)
{
    TJustifiedVectText2D text(-1, Font, {0, 0, 1}, {100, 50, 1}, 10,
                              "A\xC3\xA9"
                              "B"); // "AéB"
    text.HJustification = 2;
    text.VJustification = 0;
    text.DrawBox = true;
    text.SetInterline(0.5);
    text.SetCharSpacing(0.25);

    const std::vector<uint8_t> saved = Saved(text);
    const TTextTail t = ReadTail(saved, 3);
    EXPECT_EQ(t.Bytes, "A\xE9"
                       "B"); // Windows-1252 in the file
    EXPECT_EQ(t.Slot, 4);
    EXPECT_EQ(t.HJust, 2);
    EXPECT_EQ(t.VJust, 0);
    EXPECT_EQ(t.DrawBox, 1);
    EXPECT_EQ(t.Height, 10);
    EXPECT_EQ(t.Interline, 0.5); // Interline before CharSpacing
    EXPECT_EQ(t.CharSpacing, 0.25);

    TStreamReader r(saved);
    TJustifiedVectText2D back(r, "QV-3.6");
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(back.Text, "A\xC3\xA9"
                         "B");
    EXPECT_EQ(back.Font, Font);
    EXPECT_EQ(back.HJustification, 2);
    EXPECT_EQ(back.VJustification, 0);
    EXPECT_TRUE(back.DrawBox);
    EXPECT_EQ(back.Interline, 0.5);
    EXPECT_EQ(back.CharSpacing, 0.25);
    EXPECT_EQ(Saved(back), saved);
    EXPECT_TRUE(Window.Boxes.empty());
}

// A text whose font slot is empty used to make the drawing unsavable: it now keeps its slot.
TEST_F(VectTextTest, TextWithoutItsFontSurvivesLoadAndSave)
{
    TJustifiedVectText2D text(-1, Font, {10, 20, 1}, {100, 50, 1}, 10, "AB");
    std::vector<uint8_t> saved = Saved(text);
    // Point the record at slot 9, which holds no font.
    TStreamWriter slot;
    slot.WriteInt32(9);
    std::copy(slot.Bytes().begin(), slot.Bytes().end(), saved.end() - (4 + 3 + 24));

    TStreamReader r(saved);
    TJustifiedVectText2D lost(r, "QV-3.6");
    ASSERT_EQ(Window.Boxes.size(), 1u);
    EXPECT_EQ(Window.Boxes[0].Text, "Font class not found. Font not assigned");
    EXPECT_EQ(lost.Font, nullptr);
    // No font: the box shrinks to the point where the justification puts the empty extent.
    ExpectRect(lost.Box, 10, 20, 10, 20);
    TStrokes none;
    lost.BuildTextGL(Collect(none));
    EXPECT_TRUE(none.empty());

    std::vector<uint8_t> again;
    ASSERT_NO_THROW(again = Saved(lost));
    EXPECT_EQ(again, saved);
}

TEST_F(VectTextTest, BadTextLengthsAreRefused)
{
    TJustifiedVectText2D text(-1, Font, {0, 0, 1}, {100, 50, 1}, 10, "AB");
    const std::vector<uint8_t> saved = Saved(text);
    const size_t lengthAt = saved.size() - (4 + 2 + 4 + 3 + 24);
    for (int32_t length : {-1, 1000, 0x7fffffff}) {
        SCOPED_TRACE(length);
        std::vector<uint8_t> bad = saved;
        TStreamWriter w;
        w.WriteInt32(length);
        std::copy(w.Bytes().begin(), w.Bytes().end(), bad.begin() + static_cast<std::ptrdiff_t>(lengthAt));
        TStreamReader r(bad);
        EXPECT_THROW(TJustifiedVectText2D(r, "QV-3.6"), ECADFileNotValid);
    }
}

TEST_F(VectTextTest, BoxPickAndCopy)
{
    // "AB" at height 10 is 12 x 10; bottom left in the box, moved right by 100.
    TJustifiedVectText2D text(-1, Font, {0, 0, 1}, {100, 50, 1}, 10, "AB");
    text.SetBaseTransform(TMatrix4::CreateTranslation(100, 0, 0));
    text.UpdateBox();
    ExpectRect(text.Box, 100, 0, 112, 10);
    text.SetCharSpacing(0.6); // 0.6 + 0.6 + 0.5
    ExpectRect(text.Box, 100, 0, 117, 10);

    struct TCase {
        const char* Name;
        TPoint2D Pt;
        int32_t Code;
    };
    const std::vector<TCase> cases = {
        {"inside the text box", {106, 5, 1}, HitInside},
        {"on its right edge", {117.2, 5, 1}, HitOutline},
        {"above the text", {106, 30, 1}, HitMiss},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        double dist = 0;
        EXPECT_EQ(text.HitTest(c.Pt, dist, 0.5), c.Code);
    }

    auto copy = CopyGraphicObject(text);
    auto* t = dynamic_cast<TJustifiedVectText2D*>(copy.get());
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->Text, "AB");
    EXPECT_EQ(t->Font, Font);
    EXPECT_EQ(t->CharSpacing, 0.6);
    EXPECT_EQ(t->Points().Count(), 2);
    EXPECT_FALSE(t->Points().Growable);
    EXPECT_EQ(Saved(*t), Saved(text));
}

// Texts are stored in drawing files under their fixed class index and come back whole.
TEST_F(VectTextTest, DrawingFileRoundTripAtIndex14)
{
    RegisterDrawingClasses();
    EXPECT_EQ(QV_00FindClassIndex("TJustifiedVectText2D"), 14);
    TQV_01Cmp2D d;
    auto made = std::make_unique<TJustifiedVectText2D>(-1, Font, TPoint2D{0, 0, 1}, TPoint2D{100, 50, 1}, 10,
                                                       "A\xC3\xA9"
                                                       "B");
    made->HJustification = 1;
    made->SetCharSpacing(0.3);
    made->SetBaseTransform(TMatrix4::CreateRotation(true, 30));
    TJustifiedVectText2D* text = d.AddObject(-1, std::move(made));
    const std::string file = Folder.Path() + "/text.pnc";
    d.SaveToFile(file);

    TQV_01Cmp2D loaded;
    loaded.LoadFromFile(file, false);
    ASSERT_EQ(loaded.ObjectsCount(), 1);
    auto it = loaded.ObjectsIterator();
    auto* back = dynamic_cast<TJustifiedVectText2D*>(it.First());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->Text, text->Text);
    EXPECT_EQ(back->Font, Font);
    EXPECT_EQ(back->HJustification, 1);
    EXPECT_EQ(back->CharSpacing, 0.3);
    ExpectRect(back->Box, text->Box.First.X, text->Box.First.Y, text->Box.Second.X, text->Box.Second.Y);
    EXPECT_EQ(Saved(*back), Saved(*text));
    EXPECT_TRUE(Window.Boxes.empty());
    QV_00ClearClassRegistry();
}
