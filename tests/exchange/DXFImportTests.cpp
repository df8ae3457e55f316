// DXF into the drawing: fixtures of each version family with every entity kind read, layers and
// colours, blocks (nested, long names, cycles), the entity rules, damaged files, the container
// import, and round trips from our own writers.
#include "QVDXFImport.h"

#include "DxfWriter.h"
#include "FakeServices.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVDXFExport.h"
#include "QVEntity.h"
#include "QVGeometry.h"
#include "QVSplines.h"
#include "QVVectText.h"
#include "TempFolder.h"
#include "UnitConfig.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string Data(const std::string& Name) { return std::string(RASTREL_TEST_DATA) + "/dxf/" + Name; }

std::string Entities(const std::string& Body, const std::string& Header = "")
{
    std::string s;
    if (!Header.empty())
        s += "0\nSECTION\n2\nHEADER\n" + Header + "0\nENDSEC\n";
    return s + "0\nSECTION\n2\nENTITIES\n" + Body + "0\nENDSEC\n0\nEOF\n";
}

std::vector<TObject2D*> Objects(TQV_01Cmp2D& D)
{
    std::vector<TObject2D*> out;
    auto it = D.ObjectsIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        out.push_back(dynamic_cast<TObject2D*>(o));
    return out;
}

std::vector<TSourceBlock2D*> Blocks(TQV_01Cmp2D& D)
{
    std::vector<TSourceBlock2D*> out;
    auto it = D.SourceBlocksIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        out.push_back(static_cast<TSourceBlock2D*>(o));
    return out;
}

// Imports Text into D and answers its objects.
std::vector<TObject2D*> ImportText(TQV_01Cmp2D& D, const std::string& Text, TVectFont* Font = nullptr)
{
    auto imp = TDXF2DImport::FromText(Text, &D);
    imp->SetVectFont(Font);
    imp->Import();
    return Objects(D);
}

// The world points of an object's profile.
std::vector<TPoint2D> Profile(TGraphicObject& Obj)
{
    std::vector<TPoint2D> out;
    Obj.BeginUseProfilePoints();
    const TMatrix4 m = Obj.GetModelTransform();
    for (const TPoint2D& p : Obj.GetProfilePoints()->Points())
        out.push_back(CartesianPoint2D(m.TransformPoint2D(p)));
    Obj.EndUseProfilePoints();
    return out;
}

// Points From to From + 50 of P lie on the circle and on its side of the X axis (Below).
void ExpectHalfCircle(const TPointsSet2D& P, int From, double CX, double R, bool Below)
{
    ASSERT_GE(P.Count(), From + 51);
    for (int i = From; i <= From + 50; ++i) {
        const TPoint2D p = P.Get(i);
        EXPECT_NEAR(std::hypot(p.X - CX, p.Y), R, 1e-9);
        EXPECT_LE(Below ? p.Y : -p.Y, 1e-9);
    }
}

void ExpectPoint(const TPoint2D& P, double X, double Y, double Tol = 1e-9)
{
    EXPECT_NEAR(P.X, X, Tol);
    EXPECT_NEAR(P.Y, Y, Tol);
}

// Glyphs from the baseline to the full height, so the boxes of "AB" are where DXF places text.
void AddGlyphsAB(TVectFont& Font)
{
    Font.SetChar('A', TVectChar::CreateFromStrokes({{{0, 0}, {0.3, 1}, {0.6, 0}}}));
    Font.SetChar('B', TVectChar::CreateFromStrokes({{{0, 0}, {0, 1}, {0.5, 0.5}}}));
}

// VERTEX records of a spline frame (flag 16).
std::string FrameVertices(const std::vector<std::pair<double, double>>& Points)
{
    std::string s;
    for (const auto& [x, y] : Points)
        s += "0\nVERTEX\n10\n" + std::to_string(x) + "\n20\n" + std::to_string(y) + "\n70\n16\n";
    return s;
}

std::string ClassNames(const std::vector<TObject2D*>& Objs)
{
    std::string s;
    for (TObject2D* o : Objs)
        s += std::string(o->ClassName()) + " ";
    return s;
}

} // namespace

TEST(DXFImport, FixturesOfEachVersionFamily)
{
    struct TCase {
        const char* File;
        uint16_t Version;
        bool Newer;  // ELLIPSE, LWPOLYLINE and SPLINE exist from R13 on
    };
    const std::vector<TCase> cases = {{"entities_r12.dxf", 12, false},
                                      {"entities_2000.dxf", 2000, true},
                                      {"entities_2004.dxf", 2004, true},
                                      {"entities_2007.dxf", 2007, true},
                                      {"entities_2013.dxf", 2013, true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        TQV_01Cmp2D d;
        TVectFont font;
        TDXF2DImport imp(Data(c.File), &d);
        ASSERT_FALSE(imp.Failed);
        imp.SetVectFont(&font);
        imp.Import();
        EXPECT_TRUE(imp.ErrorMessage.empty()) << imp.ErrorMessage;
        // The references to the anonymous block *U1 find nothing.
        EXPECT_TRUE(imp.Failed);
        EXPECT_EQ(imp.Version, c.Version);
        EXPECT_EQ(imp.PointsCount, 1u);
        // Counted in the blocks too: BOLT, SELF and the long name's line, NUT's and the other
        // long name's circle.
        EXPECT_EQ(imp.LinesCount, 4u);
        EXPECT_EQ(imp.CirclesCount, 3u);
        EXPECT_EQ(imp.ArcsCount, 1u);
        EXPECT_EQ(imp.EllipsesCount, c.Newer ? 1u : 0u);
        EXPECT_EQ(imp.PolylinesCount, c.Newer ? 4u : 3u);
        EXPECT_EQ(imp.SplinesCount, c.Newer ? 1u : 0u);
        EXPECT_EQ(imp.TextsCount, 1u);
        EXPECT_EQ(imp.BlocksCount, 3u);

        const auto objs = Objects(d);
        const std::string expected =
            c.Newer ? "TPunto2D TLine2D TCerchio2D TArco2D TEllipseOpen2D TPolyline2D TPolyline2D "
                      "TJustifiedVectText2D TPolyline2D TPolyline2D TQVBSpline2D TBlock2D TBlock2D TBlock2D "
                    : "TPunto2D TLine2D TCerchio2D TArco2D TPolyline2D TPolyline2D TJustifiedVectText2D "
                      "TPolyline2D TBlock2D TBlock2D TBlock2D ";
        ASSERT_EQ(ClassNames(objs), expected);

        // Layers by position, names compared without regard to case, colours from the palette.
        ASSERT_EQ(imp.LayerNames.size(), 3u);
        EXPECT_EQ(d.Layers.GetLayer(1).Name, "WALLS");
        EXPECT_EQ(d.Layers.GetLayer(1).Pen.Color(), ACIPalette[5]);
        EXPECT_EQ(d.Layers.GetLayer(2).Name, "Wei\xC3\x9F");
        EXPECT_EQ(d.Layers.GetLayer(2).Pen.Color(), 0x00FF00);
        EXPECT_EQ(objs[0]->Layer, 0);
        EXPECT_EQ(objs[1]->Layer, 1);
        EXPECT_EQ(objs[2]->Layer, 2);
        const auto* text = dynamic_cast<TJustifiedVectText2D*>(objs[c.Newer ? 7 : 6]);
        EXPECT_EQ(text->Text, "Caf\xC3\xA9 12");
        EXPECT_EQ(text->Layer, 2);

        // The closed POLYLINE: a half circle of 51 points from (0, 0) to (10, 0), then back.
        const auto* poly = dynamic_cast<TPolyline2D*>(objs[c.Newer ? 8 : 7]);
        ASSERT_EQ(poly->Points().Count(), 1 + 51 + 1 + 1);
        ExpectHalfCircle(poly->Points(), 1, 5, 5, true);
        ExpectPoint(poly->Points().Get(poly->Points().Count() - 1), 0, 0);
        if (c.Newer) {
            // The LWPOLYLINE reads the same though widths and vertex identifiers come between.
            const auto* lw = dynamic_cast<TPolyline2D*>(objs[9]);
            ASSERT_EQ(lw->Points().Count(), 54);
            ExpectHalfCircle(lw->Points(), 1, 5, 5, true);
            EXPECT_EQ(lw->Layer, 1);
            const auto* spline = dynamic_cast<TQVBSpline2D*>(objs[10]);
            EXPECT_EQ(spline->Points().Count(), 4);
            EXPECT_EQ(spline->Knots.Count(), 8);
            EXPECT_EQ(spline->WeightsCount(), 4);
            EXPECT_TRUE(spline->Planar);
        }

        // Blocks: each definition after those it uses; the cut long names kept apart.
        const auto blocks = Blocks(d);
        std::vector<std::string> names;
        for (TSourceBlock2D* b : blocks)
            names.push_back(BlockNameToStr(b->Name));
        EXPECT_EQ(names, (std::vector<std::string>{"NUT", "BOLT", "A_VERY_LONG_N", "A_VERY_LONG~1", "SELF"}));
        // BOLT holds its line and the nested NUT, bound although NUT comes later in the file.
        EXPECT_EQ(blocks[1]->Objects.Count(), 2);
        EXPECT_EQ(blocks[0]->References, 1);
        // SELF inserting itself keeps only its line.
        EXPECT_EQ(blocks[4]->Objects.Count(), 1);
        const auto* longTwo = dynamic_cast<TBlock2D*>(objs[objs.size() - 2]);
        ASSERT_EQ(longTwo->Source(), blocks[3]);
        EXPECT_EQ(std::string(blocks[3]->Objects.GetIterator().First()->ClassName()), "TCerchio2D");

        // INSERT BOLT at (20, 30), turned 90 degrees and scaled 2 along X: BOLT's line from its
        // base point (1, 1) to (2, 1) becomes the line from (20, 30) to (20, 32), and the nested
        // nut of radius 1 at the base point an ellipse reaching 1 to each side of X 20.
        auto* bolt = dynamic_cast<TBlock2D*>(objs[objs.size() - 3]);
        EXPECT_NEAR(bolt->Box.First.X, 19, 0.01);
        EXPECT_NEAR(bolt->Box.Second.X, 21, 0.01);
        EXPECT_NEAR(bolt->Box.Second.Y, 32, 1e-9);
    }
}

TEST(DXFImport, TheFilesOtherProgramsWrite)
{
    // Handles, a layer table, a block, Windows-1252 names and texts.
    TQV_01Cmp2D d;
    TVectFont font;
    TDXF2DImport imp(Data("r12_other.dxf"), &d);
    imp.SetVectFont(&font);
    imp.Import();
    EXPECT_TRUE(imp.ErrorMessage.empty());
    EXPECT_EQ(ClassNames(Objects(d)), "TLine2D TArco2D TPolyline2D TBlock2D TJustifiedVectText2D ");
    EXPECT_EQ(d.Layers.GetLayer(1).Name, "Cont\xC3\xA9" "e");
    EXPECT_EQ(Objects(d)[0]->Layer, 1);
    EXPECT_EQ(dynamic_cast<TJustifiedVectText2D*>(Objects(d)[4])->Text, "\xC3\x98 12 \xE2\x82\xAC");
}

TEST(DXFImport, LayerTableColoursAndLookup)
{
    const std::string tables = "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n"
                               "0\nLAYER\n2\nA\n62\n300\n"         // beyond the palette
                               "0\nLAYER\n2\nB\n62\n-2147483648\n" // no absolute value
                               "0\nLAYER\n2\nC\n62\n-5\n"          // off, blue
                               "0\nLAYER\n2\nD\n"                  // no colour given
                               "0\nLAYER\n2\nc\n"                  // C again: the first wins
                               "0\nENDTAB\n0\nENDSEC\n";
    TQV_01Cmp2D d;
    for (int i = 0; i < 4; ++i)
        d.Layers.GetLayer(static_cast<uint8_t>(i)).Pen.SetColor(0x123456);
    ImportText(d, tables + "0\nSECTION\n2\nENTITIES\n0\nPOINT\n8\nc\n0\nPOINT\n8\nnowhere\n0\nPOINT\n8\nD\n"
                           "0\nPOINT\n8\nC\n0\nENDSEC\n");
    EXPECT_EQ(d.Layers.GetLayer(0).Pen.Color(), 0x123456);
    EXPECT_EQ(d.Layers.GetLayer(1).Pen.Color(), 0x123456);
    EXPECT_EQ(d.Layers.GetLayer(2).Pen.Color(), 0xFF0000);
    EXPECT_EQ(d.Layers.GetLayer(3).Pen.Color(), 0x123456);
    const auto objs = Objects(d);
    ASSERT_EQ(objs.size(), 4u);
    // A name not in the table keeps the layer of the entity before.
    EXPECT_EQ(objs[0]->Layer, 2);
    EXPECT_EQ(objs[1]->Layer, 2);
    EXPECT_EQ(objs[2]->Layer, 3);
    EXPECT_EQ(objs[3]->Layer, 2);

    // The palette's computed hues and its greys.
    const std::map<int, int32_t> rows = {{11, 0xAAAAFF}, {22, 0x002EBD}, {36, 0x003468}, {250, 0x333333},
                                         {251, 0x505050}, {255, 0xFFFFFF}, {8, 0x414141}};
    for (const auto& [index, colour] : rows) {
        SCOPED_TRACE(index);
        EXPECT_EQ(ACIPalette[static_cast<size_t>(index)], colour);
    }
}

TEST(DXFImport, EntityRules)
{
    struct TCase {
        const char* Name;
        std::string Text;
        std::function<void(std::vector<TObject2D*>&)> Check;
    };
    const std::string angdir1 = "9\n$ANGDIR\n70\n1\n";
    const std::string v2000 = "9\n$ACADVER\n1\nAC1015\n";
    const std::vector<TCase> cases = {
        {"circle through its radius point", Entities("0\nCIRCLE\n10\n1\n20\n2\n40\n3\n"),
         [](auto& o) { ExpectPoint(dynamic_cast<TCerchio2D*>(o[0])->Points().Get(1), 4, 2); }},
        {"arc counter-clockwise", Entities("0\nARC\n10\n0\n20\n0\n40\n1\n50\n0\n51\n90\n"),
         [](auto& o) {
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), 1, 0);
             ExpectPoint(p.back(), 0, 1);
         }},
        {"arc with $ANGDIR 1 covers the same quarter",
         Entities("0\nARC\n10\n0\n20\n0\n40\n1\n50\n0\n51\n90\n", angdir1),
         [](auto& o) {
             EXPECT_EQ(dynamic_cast<TArco2D*>(o[0])->Direction(), 0);
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), 0, 1);
             ExpectPoint(p.back(), 1, 0);
             ExpectPoint(p[p.size() / 2], std::sqrt(0.5), std::sqrt(0.5));
         }},
        {"arc in a mirrored plane", Entities("0\nARC\n10\n2\n20\n0\n40\n1\n50\n0\n51\n90\n230\n-1\n"),
         [](auto& o) {
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), -2, 1);
             ExpectPoint(p.back(), -3, 0);
         }},
        {"turned ellipse becomes a polyline",
         Entities("0\nELLIPSE\n10\n0\n20\n0\n11\n0\n21\n10\n40\n0.5\n41\n0\n42\n6.283185307179586\n", v2000),
         [](auto& o) {
             ASSERT_EQ(std::string(o[0]->ClassName()), "TPolyline2D");
             // The profile's 50 segments reach the ends of the axes.
             EXPECT_NEAR(o[0]->Box.First.X, -5, 0.02);
             EXPECT_NEAR(o[0]->Box.Second.Y, 10, 1e-6);
         }},
        {"ellipse along X stays an elliptic arc",
         Entities("0\nELLIPSE\n10\n0\n20\n0\n11\n10\n21\n0\n40\n0.5\n", v2000),
         [](auto& o) {
             ASSERT_EQ(std::string(o[0]->ClassName()), "TEllipseOpen2D");
             ExpectPoint(dynamic_cast<TEllipseOpen2D*>(o[0])->Points().Get(1), 10, 5);
         }},
        {"ellipse of an R12 file",
         Entities("0\nELLIPSE\n10\n0\n20\n0\n11\n10\n21\n0\n40\n3\n", "9\n$ACADVER\n1\nAC1009\n"),
         [](auto& o) {
             ExpectPoint(dynamic_cast<TEllipseOpen2D*>(o[0])->Points().Get(0), -10, -3);
             ExpectPoint(dynamic_cast<TEllipseOpen2D*>(o[0])->Points().Get(1), 10, 3);
         }},
        {"solid without a fourth corner is a closed triangle",
         Entities("0\nSOLID\n10\n0\n20\n0\n11\n1\n21\n0\n12\n0\n22\n1\n"),
         [](auto& o) {
             const auto& pts = dynamic_cast<TPolyline2D*>(o[0])->Points();
             ASSERT_EQ(pts.Count(), 4);
             ExpectPoint(pts.Get(3), 0, 0);
         }},
        {"trace is closed through its corners 1, 2, 4, 3",
         Entities("0\nTRACE\n10\n0\n20\n0\n11\n1\n21\n0\n12\n0\n22\n1\n13\n1\n23\n1\n"),
         [](auto& o) {
             const auto& pts = dynamic_cast<TPolyline2D*>(o[0])->Points();
             ASSERT_EQ(pts.Count(), 5);
             ExpectPoint(pts.Get(2), 1, 1);
             ExpectPoint(pts.Get(3), 0, 1);
             ExpectPoint(pts.Get(4), 0, 0);
         }},
        {"lightweight polyline with a bulge",
         Entities("0\nLWPOLYLINE\n90\n2\n10\n0\n20\n0\n42\n1\n10\n2\n20\n0\n"),
         [](auto& o) {
             const auto& pts = dynamic_cast<TPolyline2D*>(o[0])->Points();
             ASSERT_EQ(pts.Count(), 52);
             ExpectHalfCircle(pts, 1, 1, 1, true);
         }},
        {"lightweight polyline closed without bulges",
         Entities("0\nLWPOLYLINE\n90\n3\n70\n1\n10\n0\n20\n0\n10\n1\n20\n0\n10\n1\n20\n1\n"),
         [](auto& o) {
             const auto& pts = dynamic_cast<TPolyline2D*>(o[0])->Points();
             ASSERT_EQ(pts.Count(), 4);
             ExpectPoint(pts.Get(3), 0, 0);
         }},
        {"lightweight polyline with a count larger than its vertices",
         Entities("0\nLWPOLYLINE\n90\n1000000\n10\n0\n20\n0\n10\n1\n20\n0\n0\nPOINT\n10\n5\n20\n5\n"),
         [](auto& o) {
             ASSERT_EQ(o.size(), 2u);
             EXPECT_EQ(dynamic_cast<TPolyline2D*>(o[0])->Points().Count(), 2);
         }},
        {"lightweight polyline keeps nine significant digits",
         Entities("0\nLWPOLYLINE\n10\n123456.789\n20\n-98765.4321\n10\n0\n20\n0\n"),
         [](auto& o) {
             ExpectPoint(dynamic_cast<TPolyline2D*>(o[0])->Points().Get(0), 123456.789, -98765.4321, 0);
         }},
        // Without its fitted vertices a spline-fitted polyline gave nothing, and no word of it.
        {"spline-fitted polyline without fit vertices: the quadratic B-spline of its frame",
         Entities("0\nPOLYLINE\n70\n4\n75\n5\n" + FrameVertices({{0, 0}, {1, 2}, {2, 0}}) +
                  "0\nSEQEND\n0\nPOINT\n"),
         [](auto& o) {
             EXPECT_EQ(ClassNames(o), "TQVBSpline2D TPunto2D ");
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), 0, 0);
             ExpectPoint(p[p.size() / 2], 1, 1, 0.01);
             ExpectPoint(p.back(), 2, 0);
         }},
        {"spline-fitted polyline without fit vertices: cubic when the kind is not given",
         Entities("0\nPOLYLINE\n70\n4\n" + FrameVertices({{0, 0}, {1, 2}, {2, 2}, {3, 0}}) + "0\nSEQEND\n"),
         [](auto& o) {
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), 0, 0);
             ExpectPoint(p[p.size() / 2], 1.5, 1.5, 0.01);
             ExpectPoint(p.back(), 3, 0);
         }},
        {"closed spline-fitted polyline without fit vertices: the closed B-spline of its frame",
         Entities("0\nPOLYLINE\n70\n5\n75\n6\n" + FrameVertices({{0, 0}, {2, 0}, {2, 2}, {0, 2}}) +
                  "0\nSEQEND\n"),
         [](auto& o) {
             const auto p = Profile(*o[0]);
             ExpectPoint(p.front(), 5.0 / 3, 1.0 / 3);
             ExpectPoint(p.back(), 5.0 / 3, 1.0 / 3);
             for (const TPoint2D& q : p)
                 EXPECT_NEAR(std::max(std::abs(q.X - 1), std::abs(q.Y - 1)), 2.0 / 3, 1.0 / 3 + 1e-9);
         }},
        {"curve-fitted polyline is read as a plain one",
         Entities("0\nPOLYLINE\n70\n2\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n1\n20\n1\n70\n1\n0\nSEQEND\n"),
         [](auto& o) { EXPECT_EQ(dynamic_cast<TPolyline2D*>(o[0])->Points().Count(), 2); }},
        {"vertex records do not inherit a bulge",
         Entities("0\nPOLYLINE\n70\n0\n0\nVERTEX\n10\n0\n20\n0\n42\n1\n0\nVERTEX\n10\n2\n20\n0\n0\nVERTEX\n10"
                  "\n3\n20\n0\n"
                  "0\nSEQEND\n"),
         [](auto& o) { EXPECT_EQ(dynamic_cast<TPolyline2D*>(o[0])->Points().Count(), 1 + 51 + 1); }},
        {"text centred both ways on its alignment point",
         Entities("0\nTEXT\n10\n0\n20\n0\n11\n10\n21\n4\n40\n2\n1\nAB\n72\n1\n73\n2\n"),
         [](auto& o) {
             auto* t = dynamic_cast<TJustifiedVectText2D*>(o[0]);
             EXPECT_EQ(t->HJustification, 2);
             EXPECT_EQ(t->VJustification, 2);
             ExpectPoint(t->Points().Get(1), 10, 3);
             EXPECT_NEAR((t->Box.First.X + t->Box.Second.X) / 2, 10, 1e-9);
             EXPECT_NEAR((t->Box.First.Y + t->Box.Second.Y) / 2, 4, 1e-9);
         }},
        {"text with group 73 but no alignment point keeps its box",
         Entities("0\nTEXT\n10\n1\n20\n1\n40\n2\n1\nAB\n73\n0\n"),
         [](auto& o) { ExpectPoint(dynamic_cast<TJustifiedVectText2D*>(o[0])->Points().Get(1), 1, 3); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        TVectFont font;
        AddGlyphsAB(font);
        auto objs = ImportText(d, c.Text, &font);
        ASSERT_FALSE(objs.empty());
        c.Check(objs);
    }
}

// A partial ellipse took the box of the whole ellipse, so the drawing's extents reached where
// nothing is drawn.
TEST(DXFImport, PartialEllipsesGiveTheExtentsOfTheirArc)
{
    struct TCase {
        const char* Name;
        const char* Angles; // groups 41 and 42
        double Left, Bottom, Right, Top;
    };
    const std::vector<TCase> cases = {
        {"upper half", "41\n0\n42\n3.141592653589793\n", -2, 0, 2, 1},
        {"first quarter", "41\n0\n42\n1.5707963267948966\n", 0, 0, 2, 1},
        {"lower half, to the end of the range", "41\n3.141592653589793\n42\n6.283185307179586\n", -2, -1, 2,
         0},
        {"whole", "41\n0\n42\n6.283185307179586\n", -2, -1, 2, 1},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        const auto objs = ImportText(
            d, Entities(std::string("0\nELLIPSE\n10\n0\n20\n0\n11\n2\n21\n0\n40\n0.5\n") + c.Angles,
                        "9\n$ACADVER\n1\nAC1015\n"));
        ASSERT_EQ(objs.size(), 1u);
        ASSERT_EQ(std::string(objs[0]->ClassName()), "TEllipseOpen2D");
        TRect2D r{};
        d.GetExtents(r);
        r = NormalizeRect2D(r);
        EXPECT_NEAR(r.First.X, c.Left, 1e-9);
        EXPECT_NEAR(r.First.Y, c.Bottom, 1e-9);
        EXPECT_NEAR(r.Second.X, c.Right, 1e-9);
        EXPECT_NEAR(r.Second.Y, c.Top, 1e-9);
    }
}

TEST(DXFImport, SplinesAreCheckedAgainstWhatTheyList)
{
    const std::string knots = "40\n0\n40\n0\n40\n0\n40\n1\n40\n1\n40\n1\n";
    const std::string points = "10\n0\n20\n0\n10\n1\n20\n1\n10\n2\n20\n0\n";
    struct TCase {
        const char* Name;
        std::string Body;
        bool Made;
    };
    const std::vector<TCase> cases = {
        {"counts agree", "71\n2\n72\n6\n73\n3\n" + knots + points, true},
        {"no counts", "71\n2\n" + knots + points, true},
        {"more control points announced than listed", "71\n2\n72\n6\n73\n1000000\n" + knots + points, false},
        {"fewer control points announced", "71\n2\n73\n2\n" + knots + points, false},
        {"knot count disagrees", "71\n2\n72\n9\n" + knots + points, false},
        {"weights for some points only", "71\n2\n" + knots + points + "41\n1\n", false},
        {"fit points only", "71\n3\n74\n2\n11\n0\n21\n0\n11\n1\n21\n1\n", true},
        {"one fit point", "71\n3\n74\n1\n11\n0\n21\n0\n", false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D d;
        auto imp = TDXF2DImport::FromText(Entities("0\nSPLINE\n" + c.Body + "0\nPOINT\n"), &d);
        imp->Import();
        EXPECT_EQ(imp->SplinesCount, c.Made ? 1u : 0u);
        EXPECT_EQ(imp->Failed, !c.Made);
        EXPECT_EQ(d.ObjectsCount(), c.Made ? 2 : 1);
    }
    TQV_01Cmp2D d;
    const auto objs = ImportText(d, Entities("0\nSPLINE\n71\n2\n" + knots + points));
    auto* s = dynamic_cast<TQVBSpline2D*>(objs[0]);
    EXPECT_EQ(s->Degree, 2);
    EXPECT_EQ(s->KnotsCount, 6);
    EXPECT_EQ(s->ControlPointsCount, 3);
    ExpectPoint(Profile(*s).back(), 2, 0);
}

TEST(DXFImport, ADamagedFileKeepsWhatWasReadAndSaysSo)
{
    struct TCase {
        const char* Name;
        std::string Text;
        std::string Reason;
    };
    const std::string line = "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n";
    const std::vector<TCase> cases = {
        {"polyline without its end", "0\nSECTION\n2\nENTITIES\n" + line + "0\nPOLYLINE\n0\nVERTEX\n10\n0\n20\n0\n" + line +
                                         "0\nENDSEC\n0\nEOF\n",
         "Invalid DXF file."},
        {"code line that is no number",
         "0\nSECTION\n2\nENTITIES\n" + line + line + "x1\n5\n" + line + "0\nENDSEC\n0\nEOF\n",
         "Invalid numeric format in line 25 of the DXF file."},
        {"number text where a real belongs", "0\nSECTION\n2\nENTITIES\n" + line + "0\nLWPOLYLINE\n90\nabc\n70\nx\n" +
                                                 "10\n1\n20\n2\n0\nSPLINE\n71\n3\n90\nz\n0\nENDSEC\n",
         ""},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeMainWindow window;
        const TInstalledServices installed(&window);
        TQV_01Cmp2D d;
        auto imp = TDXF2DImport::FromText(c.Text, &d);
        imp->Import();
        EXPECT_EQ(imp->ErrorMessage, c.Reason);
        ASSERT_GE(d.ObjectsCount(), 1);
        EXPECT_EQ(std::string(Objects(d)[0]->ClassName()), "TLine2D");
        if (c.Reason.empty()) {
            EXPECT_TRUE(window.Boxes.empty());
            continue;
        }
        EXPECT_TRUE(imp->Failed);
        ASSERT_EQ(window.Boxes.size(), 1u);
        EXPECT_EQ(window.Boxes[0].Text, DXFImportErrorText(c.Reason, imp->ReadSummary()));
    }
}

TEST(DXFImport, LineEndsBlanksAndMissingEOF)
{
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"LF", "  0\nSECTION\n  2\nENTITIES\n  0\nLINE\n 10\n1.5\n 20\n2.5\n 11\n3.5\n 21\n4.5\n  0\nENDSEC\n  0\nEOF\n"},
        {"CR LF", "  0\r\nSECTION\r\n  2\r\nENTITIES\r\n  0\r\nLINE\r\n 10\r\n1.5\r\n 20\r\n2.5\r\n 11\r\n3.5\r\n 21\r\n"
                  "4.5\r\n  0\r\nENDSEC\r\n  0\r\nEOF\r\n"},
        {"blanks around values", " 0 \n SECTION \n2\n ENTITIES\t\n0\n  LINE  \n10\n  1,5 \n 20\n 2.5\n11\n3.5  \n21\n\t4.5\n"},
        {"no EOF and no ENDSEC", "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n1.5\n20\n2.5\n11\n3.5\n21\n4.5"},
    };
    for (const auto& [name, text] : cases) {
        SCOPED_TRACE(name);
        TQV_01Cmp2D d;
        const auto objs = ImportText(d, text);
        ASSERT_EQ(objs.size(), 1u);
        const auto& pts = dynamic_cast<TLine2D*>(objs[0])->Points();
        ExpectPoint(pts.Get(0), 1.5, 2.5);
        ExpectPoint(pts.Get(1), 3.5, 4.5);
    }
}

TEST(DXFImport, BlocksThatUseEachOtherInACircle)
{
    auto block = [](const std::string& Name, const std::string& Uses) {
        return "0\nBLOCK\n2\n" + Name + "\n10\n0\n20\n0\n0\nLINE\n10\n0\n20\n0\n11\n1\n21\n0\n0\nINSERT\n2\n" + Uses +
               "\n10\n1\n20\n0\n0\nENDBLK\n";
    };
    const std::string text = "0\nSECTION\n2\nBLOCKS\n" + block("A", "B") + block("B", "C") + block("C", "A") +
                             "0\nENDSEC\n" + Entities("0\nINSERT\n2\nA\n10\n0\n20\n0\n");
    TQV_01Cmp2D d;
    auto imp = TDXF2DImport::FromText(text, &d);
    imp->Import();
    const auto blocks = Blocks(d);
    ASSERT_EQ(blocks.size(), 3u);
    // One reference of the circle is dropped; the chain that is left has an end.
    int inserts = 0;
    for (TSourceBlock2D* b : blocks)
        inserts += b->Objects.Count() - 1;
    EXPECT_EQ(inserts, 2);
    EXPECT_EQ(BlockNameToStr(blocks[0]->Name), "C");
    const auto objs = Objects(d);
    ASSERT_EQ(objs.size(), 1u);
    EXPECT_NEAR(objs[0]->Box.Second.X, 3, 1e-9);
}

TEST(DXFImport, NestingCannotMultiplyASmallFileIntoMillions)
{
    // Forty definitions, each using the next twice: shown whole, 2^40 lines.
    std::string blocks = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB40\n0\nLINE\n11\n1\n0\nENDBLK\n";
    for (int i = 39; i >= 0; --i) {
        const std::string next = "0\nINSERT\n2\nB" + std::to_string(i + 1) + "\n";
        blocks += "0\nBLOCK\n2\nB" + std::to_string(i) + "\n" + next + next + "0\nENDBLK\n";
    }
    std::string inserts;
    for (int i = 0; i < 100; ++i)
        inserts += "0\nINSERT\n2\nB0\n";
    TQV_01Cmp2D d;
    auto imp = TDXF2DImport::FromText(blocks + "0\nENDSEC\n" + Entities(inserts), &d);
    imp->Import();
    EXPECT_TRUE(imp->Failed);
    EXPECT_EQ(d.SourceBlocksCount(), 41);
    EXPECT_LT(d.ObjectsCount(), 100);
}

TEST(DXFImport, LightweightPolylinesAsLinesAndArcs)
{
    TTempFolder folder;
    ::setenv("RASTREL_DATA_DIR", folder.Path().c_str(), 1);
    {
        TAppConfig config;
        AppConfig = &config;
        config.DxfPolyInLA = true;
        const std::string lw = "0\nLWPOLYLINE\n70\n1\n10\n0\n20\n0\n42\n1\n10\n2\n20\n0\n10\n2\n20\n2\n";
        TQV_01Cmp2D d;
        auto imp = TDXF2DImport::FromText("0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nP\n" + lw + "0\nENDBLK\n0\nENDSEC\n" +
                                              Entities(lw),
                                          &d);
        imp->Import();
        const auto objs = Objects(d);
        EXPECT_EQ(ClassNames(objs), "TArco2D TLine2D TLine2D ");
        const auto p = Profile(*objs[0]);
        ExpectPoint(p.front(), 0, 0);
        ExpectPoint(p[p.size() / 2], 1, -1);
        ExpectPoint(p.back(), 2, 0);
        EXPECT_EQ(std::string(Blocks(d)[0]->Objects.GetIterator().First()->ClassName()), "TContainer2D");
    }
    ::unsetenv("RASTREL_DATA_DIR");
}

TEST(DXFImport, AsContainerNumbersItsChildrenAndLeavesTheDrawingAlone)
{
    const std::string text = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n0\nPOINT\n0\nENDBLK\n0\nENDSEC\n" +
                             Entities("0\nPOINT\n10\n1\n20\n1\n0\nHATCH\n0\nLINE\n11\n2\n0\nINSERT\n2\nB\n0\nCIRCLE\n40\n1\n");
    TQV_01Cmp2D d;
    auto imp = TDXF2DImport::FromText(text, &d);
    imp->Scale = 2;
    imp->OffsetX = 10;
    std::unique_ptr<TContainer2D> c = imp->ImportAsContainer();
    ASSERT_TRUE(c);
    EXPECT_TRUE(imp->Failed);  // the hatch and the reference give nothing
    EXPECT_EQ(d.ObjectsCount(), 0);
    EXPECT_EQ(d.SourceBlocksCount(), 0);
    std::vector<int32_t> ids;
    auto it = c->Objects.GetIterator();
    for (TGraphicObject* o = it.First(); o; o = it.Next())
        ids.push_back(o->ID);
    EXPECT_EQ(ids, (std::vector<int32_t>{0, 1, 2}));
    auto* point = dynamic_cast<TPunto2D*>(it.First());
    ExpectPoint(point->GetModelTransform().TransformPoint2D(point->Points().Get(0)), 12, 2);

    auto bad = TDXF2DImport::FromText("0\nSECTION\n2\nENTITIES\n0\nPOINT\n0\nPOLYLINE\n0\nLINE\n", &d);
    EXPECT_EQ(bad->ImportAsContainer(), nullptr);
    EXPECT_EQ(bad->ErrorMessage, "Invalid DXF file. The file ends inside its ENTITIES section.");
}

TEST(DXFImport, TracerOutputRoundTrips)
{
    TTraceResult traced;
    traced.Polylines.push_back({{{0, 0}, {10, 0}, {10, 10.25}, {0, 10}}, true});
    traced.Polylines.push_back({{{1, 1}, {2.5, 3}, {4, 1.0625}}, false});
    std::ostringstream out;
    WriteDxf(out, traced);
    TQV_01Cmp2D d;
    auto imp = TDXF2DImport::FromText(out.str(), &d);
    std::unique_ptr<TContainer2D> c = imp->ImportAsContainer();
    ASSERT_TRUE(c);
    EXPECT_FALSE(imp->Failed);
    auto it = c->Objects.GetIterator();
    size_t i = 0;
    for (TGraphicObject* o = it.First(); o; o = it.Next(), ++i) {
        ASSERT_LT(i, traced.Polylines.size());
        const TTracedPolyline& pl = traced.Polylines[i];
        auto* poly = dynamic_cast<TPolyline2D*>(o);
        ASSERT_TRUE(poly);
        EXPECT_EQ(poly->IsClosed(), pl.Closed);
        ASSERT_EQ(static_cast<size_t>(poly->Points().Count()), pl.Points.size() + (pl.Closed ? 1 : 0));
        for (size_t k = 0; k < static_cast<size_t>(poly->Points().Count()); ++k) {
            const TVector2D& v = pl.Points[k % pl.Points.size()];
            EXPECT_EQ(poly->Points().Get(static_cast<int>(k)).X, v.X);
            EXPECT_EQ(poly->Points().Get(static_cast<int>(k)).Y, v.Y);
        }
    }
    EXPECT_EQ(i, traced.Polylines.size());
}

TEST(DXFImport, WriterOutputReadsBack)
{
    TTempFolder folder;
    const std::string name = folder.Path() + "/written.dxf";
    {
        TDXFWrite w(name);
        w.BeginSection(TDXFSection::Header);
        w.WriteGroup(9, "$ACADVER");
        w.WriteGroup(1, "AC1009");
        w.EndSection();
        w.BeginSection(TDXFSection::Entities);
        w.WriteGroup(0, "LINE");
        w.WriteGroup(8, "0");
        w.WriteGroup(10, 1.25);
        w.WriteGroup(20, -2.5);
        w.WriteGroup(11, 3.0);
        w.WriteGroup(21, 4.0);
        w.WriteGroup(0, "CIRCLE");
        w.WriteGroup(10, 5.0);
        w.WriteGroup(20, 6.0);
        w.WriteGroup(40, 0.5);
        w.WriteGroup(0, "TEXT");
        w.WriteGroup(1, "Gr\xC3\xBC\xC3\x9F" "e");
        w.WriteGroup(40, 2.0);
        w.EndSection();
        w.WriteGroup(0, "EOF");
        w.Commit();
    }
    TQV_01Cmp2D d;
    TVectFont font;
    TDXF2DImport imp(name, &d);
    imp.SetVectFont(&font);
    imp.Import();
    const auto objs = Objects(d);
    ASSERT_EQ(ClassNames(objs), "TLine2D TCerchio2D TJustifiedVectText2D ");
    ExpectPoint(dynamic_cast<TLine2D*>(objs[0])->Points().Get(0), 1.25, -2.5);
    ExpectPoint(dynamic_cast<TCerchio2D*>(objs[1])->Points().Get(1), 5.5, 6);
    EXPECT_EQ(dynamic_cast<TJustifiedVectText2D*>(objs[2])->Text, "Gr\xC3\xBC\xC3\x9F" "e");

    // The toolpath export: its lines and arcs come back where they were.
    const std::string path = folder.Path() + "/toolpath.dxf";
    struct TCurve : TToolpathCurve3D {
        std::vector<TAVertice3d> V;
        size_t VertexCount() const override { return V.size(); }
        const TAVertice3d& Vertex(size_t I) const override { return V.at(I); }
    } curve;
    curve.V = {TAVertice3d::CreatePoint({0, 0, 0}), TAVertice3d::CreatePoint({10, 0, 0}),
               TAVertice3d::CreateFull(2, {0, 0, 0}, {5, 0, 0}, 0)};
    {
        TDXF2DExport e(path, nullptr);
        e.Export({&curve}, "CUT");
        e.Finish();
    }
    TQV_01Cmp2D back;
    TDXF2DImport again(path, &back);
    again.Import();
    const auto parts = Objects(back);
    ASSERT_EQ(ClassNames(parts), "TLine2D TArco2D ");
    const auto arc = Profile(*parts[1]);
    // The clockwise half circle from (10, 0) over (5, -5) to (0, 0), written as the
    // counter-clockwise DXF arc the other way round.
    ExpectPoint(arc.front(), 0, 0, 1e-6);
    ExpectPoint(arc[arc.size() / 2], 5, -5, 1e-6);
    ExpectPoint(arc.back(), 10, 0, 1e-6);
}

namespace {

// What one import of a fixture gave: the import, the drawing's objects and the boxes shown.
struct TImported {
    TDXF2DImport& Imp;
    TQV_01Cmp2D& Drawing;
    std::vector<TObject2D*> Objects;
    std::vector<TFakeMainWindow::TBox> Boxes;
};

std::string Mirrored(const std::string& Groups) { return Groups + "210\n0\n220\n0\n230\n-1\n"; }

const TPolyline2D& Poly(const TImported& R, size_t I = 0)
{
    return *dynamic_cast<const TPolyline2D*>(R.Objects.at(I));
}

void ExpectBox(const TObject2D& O, double X1, double Y1, double X2, double Y2, double Tol = 1e-6)
{
    EXPECT_NEAR(O.Box.First.X, X1, Tol);
    EXPECT_NEAR(O.Box.First.Y, Y1, Tol);
    EXPECT_NEAR(O.Box.Second.X, X2, Tol);
    EXPECT_NEAR(O.Box.Second.Y, Y2, Tol);
}

// The single warning an import showed.
std::string Warning(const TImported& R)
{
    EXPECT_EQ(R.Boxes.size(), 1u);
    return R.Boxes.empty() ? std::string() : R.Boxes[0].Text;
}

// Blocks B0 ... BN, each using the next twice, B<N> a line; the entities insert B0 once.
std::string Doubling(int N)
{
    std::string s = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB" + std::to_string(N) + "\n0\nLINE\n11\n1\n0\nENDBLK\n";
    for (int i = N - 1; i >= 0; --i) {
        const std::string next = "0\nINSERT\n2\nB" + std::to_string(i + 1) + "\n";
        s += "0\nBLOCK\n2\nB" + std::to_string(i) + "\n" + next + next + "0\nENDBLK\n";
    }
    return s + "0\nENDSEC\n" + Entities("0\nINSERT\n2\nB0\n");
}

} // namespace

// Files that today's programs write: current versions, entities in mirrored and tilted planes,
// text alignment, meshes, four-corner fills, fit-point splines; and what the import leaves out
// or cannot read is told once, in plain words.
TEST(DXFImport, FilesOfCurrentProgramsAndWhatIsLeftOut)
{
    const std::string line = "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n";
    const std::string ellipse = "0\nELLIPSE\n10\n1\n20\n1\n11\n10\n21\n0\n40\n0.5\n";
    const std::string textAB = "0\nTEXT\n40\n2\n1\nAB\n";
    const std::string blockB = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n10\n0\n20\n0\n" + line + "0\nENDBLK\n0\nENDSEC\n";
    const std::string codePage = "9\n$ACADVER\n1\nAC1015\n9\n$DWGCODEPAGE\n3\n";
    const auto textIn = [&](const std::string& Page, const std::string& Bytes) {
        return Entities("0\nTEXT\n40\n2\n1\n" + Bytes + "\n", codePage + Page + "\n");
    };
    const auto textIs = [](const char* Expected) {
        return [Expected](const TImported& r) {
            EXPECT_EQ(dynamic_cast<TJustifiedVectText2D*>(r.Objects.at(0))->Text, Expected);
        };
    };
    // Text "AB" centred on (10, 4), its baseline there.
    const auto centredOnBaseline = [](const TImported& r) {
        EXPECT_NEAR((r.Objects.at(0)->Box.First.X + r.Objects[0]->Box.Second.X) / 2, 10, 1e-9);
        EXPECT_NEAR(r.Objects[0]->Box.First.Y, 4, 1e-9);
    };
    const auto face = [](int A, int B, int C) {
        return "0\nVERTEX\n10\n0\n20\n0\n70\n128\n71\n" + std::to_string(A) + "\n72\n" + std::to_string(B) + "\n73\n" +
               std::to_string(C) + "\n";
    };
    const auto meshVertex = [](double X, double Y, int Flags) {
        return "0\nVERTEX\n10\n" + std::to_string(X) + "\n20\n" + std::to_string(Y) + "\n30\n5\n70\n" +
               std::to_string(Flags) + "\n";
    };
    struct TCase {
        const char* Name;
        std::string Text;
        std::function<void(const TImported&)> Check;
    };
    const std::vector<TCase> cases = {
        // Ellipses of every version from R13 on, and of files that do not say, by the current rule.
        {"ellipse of a 2018 file", Entities(ellipse, "9\n$ACADVER\n1\nAC1032\n"),
         [](const TImported& r) {
             EXPECT_EQ(r.Imp.Version, 2018);
             ExpectBox(*r.Objects.at(0), -9, -4, 11, 6);
         }},
        {"ellipse of a version newer than any known", Entities(ellipse, "9\n$ACADVER\n1\nAC1040\n"),
         [](const TImported& r) {
             EXPECT_EQ(r.Imp.Version, 10);
             ExpectBox(*r.Objects.at(0), -9, -4, 11, 6);
         }},
        {"ellipse of a file without a header", Entities(ellipse),
         [](const TImported& r) { ExpectBox(*r.Objects.at(0), -9, -4, 11, 6); }},

        // Entities in a mirrored plane (extrusion 0, 0, -1) land mirrored; points and lines are
        // world points.
        {"circle in a mirrored plane", Entities(Mirrored("0\nCIRCLE\n10\n3\n20\n1\n40\n1\n")),
         [](const TImported& r) {
             ExpectPoint(dynamic_cast<TCerchio2D*>(r.Objects.at(0))->Points().Get(0), -3, 1);
             ExpectPoint(dynamic_cast<TCerchio2D*>(r.Objects.at(0))->Points().Get(1), -2, 1);
         }},
        {"lightweight polyline with a bulge in a mirrored plane",
         Entities(Mirrored("0\nLWPOLYLINE\n90\n2\n10\n0\n20\n0\n42\n1\n10\n2\n20\n0\n")),
         [](const TImported& r) {
             const auto& pts = Poly(r).Points();
             ASSERT_EQ(pts.Count(), 52);
             ExpectPoint(pts.Get(51), -2, 0);
             ExpectHalfCircle(pts, 1, -1, 1, true);
         }},
        {"polyline with a bulge in a mirrored plane",
         Entities(Mirrored("0\nPOLYLINE\n70\n0\n") +
                  "0\nVERTEX\n10\n0\n20\n0\n42\n-1\n0\nVERTEX\n10\n2\n20\n0\n0\nSEQEND\n"),
         [](const TImported& r) {
             const auto& pts = Poly(r).Points();
             ExpectPoint(pts.Get(pts.Count() - 1), -2, 0);
             ExpectHalfCircle(pts, 1, -1, 1, false);
         }},
        {"elliptic arc in a mirrored plane",
         Entities(
             Mirrored("0\nELLIPSE\n10\n0\n20\n0\n11\n10\n21\n0\n40\n0.5\n41\n0\n42\n1.5707963267948966\n"),
             "9\n$ACADVER\n1\nAC1015\n"),
         [](const TImported& r) {
             const auto p = Profile(*r.Objects.at(0));
             ExpectPoint(p.front(), 0, -5, 1e-6);
             ExpectPoint(p.back(), 10, 0, 1e-6);
         }},
        {"text in a mirrored plane", Entities(Mirrored("0\nTEXT\n10\n5\n20\n0\n40\n2\n1\nAB\n")),
         [](const TImported& r) {
             EXPECT_NEAR(r.Objects.at(0)->Box.Second.X, -5, 1e-9);
             EXPECT_LT(r.Objects[0]->Box.First.X, -5.5);
         }},
        {"block reference in a mirrored plane",
         blockB + Entities(Mirrored("0\nINSERT\n2\nB\n10\n5\n20\n2\n")),
         [](const TImported& r) { ExpectBox(*r.Objects.at(0), -6, 2, -5, 3); }},
        {"solid in a mirrored plane",
         Entities(Mirrored("0\nSOLID\n10\n1\n20\n0\n11\n2\n21\n0\n12\n1\n22\n1\n")),
         [](const TImported& r) { ExpectBox(*r.Objects.at(0), -2, 0, -1, 1); }},
        {"point and line are world points", Entities(Mirrored("0\nPOINT\n10\n5\n20\n2\n") + Mirrored(line)),
         [](const TImported& r) {
             ExpectPoint(dynamic_cast<TPunto2D*>(r.Objects.at(0))->Points().Get(0), 5, 2);
             ExpectBox(*r.Objects.at(1), 0, 0, 1, 1);
         }},
        {"circle in a tilted plane is the ellipse it is seen as",
         Entities("0\nCIRCLE\n10\n0\n20\n0\n40\n1\n210\n0\n220\n0.6\n230\n0.8\n"),
         [](const TImported& r) {
             EXPECT_EQ(r.Imp.CirclesCount, 1u);
             ExpectBox(Poly(r), -1, -0.8, 1, 0.8, 0.01);
         }},

        // Text placed by its alignment point when it has one.
        {"centred text on its alignment point", Entities(textAB + "10\n0\n20\n0\n11\n10\n21\n4\n72\n1\n"),
         centredOnBaseline},
        {"right text hanging from its alignment point",
         Entities(textAB + "10\n0\n20\n0\n11\n10\n21\n4\n72\n2\n73\n3\n"),
         [](const TImported& r) {
             EXPECT_NEAR(r.Objects.at(0)->Box.Second.X, 10, 1e-9);
             EXPECT_NEAR(r.Objects[0]->Box.Second.Y, 4, 1e-9);
         }},
        {"middle text", Entities(textAB + "10\n0\n20\n0\n11\n10\n21\n4\n72\n4\n"),
         [](const TImported& r) {
             const TObject2D& t = *r.Objects.at(0);
             ExpectPoint(MakePoint2D((t.Box.First.X + t.Box.Second.X) / 2, (t.Box.First.Y + t.Box.Second.Y) / 2), 10, 4);
         }},
        {"text fit between its points", Entities(textAB + "10\n1\n20\n0\n11\n11\n21\n0\n72\n5\n"),
         [](const TImported& r) { ExpectBox(*r.Objects.at(0), 1, 0, 11, 2); }},
        {"aligned text up its points", Entities(textAB + "10\n0\n20\n0\n11\n0\n21\n10\n72\n3\n"),
         [](const TImported& r) {
             EXPECT_NEAR(r.Objects.at(0)->Box.First.Y, 0, 1e-9);
             EXPECT_NEAR(r.Objects[0]->Box.Second.Y, 10, 1e-9);
             EXPECT_NEAR(r.Objects[0]->Box.Second.X, 0, 1e-9);
         }},
        {"start equal to the alignment point keeps its placement",
         Entities(textAB + "10\n10\n20\n4\n11\n10\n21\n4\n72\n1\n73\n0\n"), centredOnBaseline},
        {"left text turns about its start", Entities(textAB + "10\n3\n20\n1\n50\n90\n11\n0\n21\n0\n"),
         [](const TImported& r) {
             EXPECT_NEAR(r.Objects.at(0)->Box.Second.X, 3, 1e-9);
             EXPECT_NEAR(r.Objects[0]->Box.First.Y, 1, 1e-9);
         }},

        // Meshes: their edges, never their face records.
        {"polyface mesh shows its visible edges",
         Entities("0\nPOLYLINE\n70\n64\n71\n4\n72\n2\n" + meshVertex(10, 10, 192) + meshVertex(11, 10, 192) +
                  meshVertex(11, 11, 192) + meshVertex(10, 11, 192) + face(1, 2, -3) + face(-1, 3, 4) +
                  "0\nSEQEND\n"),
         [](const TImported& r) {
             EXPECT_EQ(ClassNames(r.Objects), "TLine2D TLine2D TLine2D TLine2D ");
             EXPECT_EQ(r.Imp.PolylinesCount, 1u);
             TRect2D e;
             r.Drawing.GetExtents(e);
             ExpectPoint(e.First, 10, 10);
             ExpectPoint(e.Second, 11, 11);
         }},
        {"polygon mesh shows its rows and columns",
         Entities("0\nPOLYLINE\n70\n16\n71\n2\n72\n3\n" + meshVertex(0, 0, 64) + meshVertex(1, 0, 64) +
                  meshVertex(2, 0, 64) + meshVertex(0, 1, 64) + meshVertex(1, 1, 64) + meshVertex(2, 1, 64) +
                  "0\nSEQEND\n"),
         [](const TImported& r) {
             ASSERT_EQ(ClassNames(r.Objects), "TPolyline2D TPolyline2D TPolyline2D TPolyline2D TPolyline2D ");
             EXPECT_EQ(Poly(r, 0).Points().Count(), 3);
             ExpectPoint(Poly(r, 4).Points().Get(1), 2, 1);
         }},

        // Four corners are filled 1, 2, 4, 3.
        {"solid with four corners",
         Entities("0\nSOLID\n10\n0\n20\n0\n11\n1\n21\n0\n12\n0\n22\n1\n13\n1\n23\n1\n"),
         [](const TImported& r) {
             const auto& pts = Poly(r).Points();
             ASSERT_EQ(pts.Count(), 5);
             ExpectPoint(pts.Get(2), 1, 1);
             ExpectPoint(pts.Get(3), 0, 1);
         }},

        // A spline given by fit points only: the curve through them.
        {"spline of fit points",
         Entities("0\nSPLINE\n70\n8\n71\n3\n74\n3\n11\n0\n21\n0\n11\n1\n21\n1\n11\n2\n21\n0\n"),
         [](const TImported& r) {
             EXPECT_EQ(r.Imp.SplinesCount, 1u);
             EXPECT_FALSE(r.Imp.Failed);
             const auto& pts = Poly(r).Points();
             ASSERT_EQ(pts.Count(), 17);
             ExpectPoint(pts.Get(0), 0, 0);
             ExpectPoint(pts.Get(8), 1, 1);
             ExpectPoint(pts.Get(16), 2, 0);
             // Smooth at the middle point: its neighbours lie below it, level with each other.
             EXPECT_NEAR(pts.Get(7).Y, pts.Get(9).Y, 1e-9);
             EXPECT_LT(pts.Get(7).Y, 1);
         }},
        {"closed spline of fit points",
         Entities("0\nSPLINE\n70\n1\n71\n3\n11\n0\n21\n0\n11\n1\n21\n0\n11\n1\n21\n1\n11\n0\n21\n1\n"),
         [](const TImported& r) {
             const auto& pts = Poly(r).Points();
             ASSERT_EQ(pts.Count(), 33);
             ExpectPoint(pts.Get(32), 0, 0);
             // Round where it closes: the points before and after the first mirror each other.
             EXPECT_NEAR(pts.Get(1).X, pts.Get(31).Y, 1e-9);
         }},

        // Files cut short, or with no section at all, say so with what was read.
        {"file cut inside its entities", "0\nSECTION\n2\nENTITIES\n" + line + line,
         [](const TImported& r) {
             EXPECT_TRUE(r.Imp.Failed);
             EXPECT_EQ(Warning(r), DXFImportErrorText("The file ends inside its ENTITIES section.", "2 lines"));
         }},
        {"file cut inside a polyline", "0\nSECTION\n2\nENTITIES\n" + line + "0\nPOLYLINE\n0\nVERTEX\n10\n1\n",
         [](const TImported& r) {
             EXPECT_EQ(Warning(r),
                       DXFImportErrorText("Invalid DXF file. The file ends inside its ENTITIES section.", "1 line"));
         }},
        {"empty file", "",
         [](const TImported& r) {
             EXPECT_EQ(Warning(r).rfind("The DXF file could not be read to its end: No section was found", 0), 0u);
             EXPECT_NE(Warning(r).find("\nNothing was read before the error."), std::string::npos);
         }},
        {"lines ended by CR alone", "0\rSECTION\r2\rENTITIES\r" + std::string("0\rLINE\r0\rENDSEC\r0\rEOF\r"),
         [](const TImported& r) {
             EXPECT_NE(Warning(r).find("No section was found in the file"), std::string::npos);
         }},
        {"no ENDSEC before EOF is no cut", "0\nSECTION\n2\nENTITIES\n" + line + "0\nEOF\n",
         [](const TImported& r) {
             EXPECT_TRUE(r.Boxes.empty());
             EXPECT_EQ(r.Objects.size(), 1u);
         }},
        {"no EOF after ENDSEC is no cut", "0\nSECTION\n2\nENTITIES\n" + line + "0\nENDSEC\n",
         [](const TImported& r) { EXPECT_TRUE(r.Boxes.empty()); }},
        // Cut after the end of a section before the entities, the file loaded empty without a word.
        {"cut after its tables",
         "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n"
         "0\nTABLE\n2\nLAYER\n0\nLAYER\n2\nWALLS\n0\nENDTAB\n0\nENDSEC\n",
         [](const TImported& r) {
             EXPECT_TRUE(r.Imp.Failed);
             EXPECT_EQ(Warning(r),
                       DXFImportErrorText("The file ends after its TABLES section, without the EOF that "
                                          "ends a DXF file: it was cut short before its entities.",
                                          ""));
         }},
        {"cut after its blocks, in the next section's first pair",
         "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n" + line + "0\nENDBLK\n0\nENDSEC\n0\nSECT",
         [](const TImported& r) {
             EXPECT_NE(Warning(r).find("The file ends after its BLOCKS section, without the EOF"),
                       std::string::npos);
         }},
        {"a whole file without entities is no cut", "0\nSECTION\n2\nHEADER\n0\nENDSEC\n0\nEOF\n",
         [](const TImported& r) { EXPECT_TRUE(r.Boxes.empty()); }},

        // Kinds not read, and references left out, counted in one warning.
        {"kinds not read",
         Entities("0\nMTEXT\n1\nx\n0\nHATCH\n0\nHATCH\n0\nDIMENSION\n" + line + "0\nSEQEND\n"),
         [](const TImported& r) {
             EXPECT_EQ(r.Imp.SkippedKinds.at("HATCH"), 2u);
             EXPECT_EQ(Warning(r), "Part of the DXF file was not imported.\nNot imported, as this program does not "
                                   "read them: 2 HATCH, 1 DIMENSION, 1 MTEXT.");
         }},
        // Values that are no numbers or absurdly large made NaN outlines and endless extents, or
        // were read as 0 without a word.
        {"entities with values out of range",
         Entities("0\nCIRCLE\n10\n0\n20\n0\n40\n1e200\n0\nLINE\n10\nnan\n20\n0\n11\n1\n21\n1\n" + line +
                  "0\nLWPOLYLINE\n10\n0\n20\n0\n10\n-inf\n20\n1\n0\nSPLINE\n73\n1\n10\n1e400\n20\n0\n"
                  "0\nPOLYLINE\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n2e12\n20\n0\n0\nSEQEND\n"
                  "0\nPOINT\n10\n1e12\n20\n-1e12\n"),
         [](const TImported& r) {
             EXPECT_EQ(ClassNames(r.Objects), "TLine2D TPunto2D ");
             EXPECT_EQ(r.Imp.OutOfRangeEntities, 5u);
             EXPECT_EQ(r.Imp.LinesCount, 1u);
             EXPECT_EQ(r.Imp.PolylinesCount + r.Imp.CirclesCount + r.Imp.SplinesCount, 0u);
             EXPECT_EQ(Warning(r),
                       "Part of the DXF file was not imported.\n5 entities were left out: they hold values "
                       "that are not numbers or lie beyond \u00B11e12.");
             // The point on the limit stays.
             TRect2D extents{};
             r.Drawing.GetExtents(extents);
             extents = NormalizeRect2D(extents);
             EXPECT_EQ(extents.First.X, 0);
             EXPECT_EQ(extents.First.Y, -1e12);
             EXPECT_EQ(extents.Second.X, 1e12);
             EXPECT_EQ(extents.Second.Y, 1);
         }},
        {"a block whose base point is not a number",
         "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB\n10\nNaN\n20\n0\n" + line + "0\nENDBLK\n0\nENDSEC\n" +
             Entities("0\nINSERT\n2\nB\n" + line),
         [](const TImported& r) {
             EXPECT_EQ(r.Drawing.SourceBlocksCount(), 0);
             EXPECT_EQ(ClassNames(r.Objects), "TLine2D ");
             EXPECT_EQ(r.Imp.OutOfRangeEntities, 1u);
             EXPECT_EQ(r.Imp.MissingBlockReferences, 1u);
         }},
        {"scales that multiply through nested blocks beyond any number",
         [] {
             std::string blocks = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nS0\n0\nLINE\n11\n1\n0\nENDBLK\n";
             for (int i = 1; i <= 30; ++i)
                 blocks += "0\nBLOCK\n2\nS" + std::to_string(i) + "\n0\nINSERT\n2\nS" +
                           std::to_string(i - 1) + "\n41\n1e11\n42\n1e11\n0\nENDBLK\n";
             return blocks + "0\nENDSEC\n" + Entities("0\nINSERT\n2\nS30\n0\nINSERT\n2\nS1\n");
         }(),
         [](const TImported& r) {
             ASSERT_EQ(ClassNames(r.Objects), "TBlock2D ");
             EXPECT_NEAR(r.Objects[0]->Box.Second.X, 1e11, 1);
             EXPECT_EQ(r.Imp.OutOfRangeEntities, 1u);
             EXPECT_EQ(r.Imp.BlocksCount, 1u);
         }},
        {"references dropped by the nesting bound", Doubling(20),
         [](const TImported& r) {
             EXPECT_GE(r.Imp.NestingDroppedReferences, 1u);
             EXPECT_NE(Warning(r).find(" left out: with the blocks nested in"),
                       std::string::npos);
         }},
        {"references to blocks not read", Entities("0\nINSERT\n2\n*U1\n0\nINSERT\n2\n*U2\n"),
         [](const TImported& r) {
             EXPECT_EQ(Warning(r), "Part of the DXF file was not imported.\n2 block references were left out: "
                                   "their blocks are anonymous, external or not in the file.");
         }},

        // Binary DXF is refused as what it is.
        {"binary DXF", std::string("AutoCAD Binary DXF\r\n\x1a\0\0\0SECTION\0\x02\0HEADER\0", 38),
         [](const TImported& r) {
             EXPECT_TRUE(r.Imp.Failed);
             EXPECT_EQ(r.Imp.ErrorMessage, "This is a binary DXF file, which cannot be read. Save the drawing as an "
                                           "ASCII DXF file and open that one.");
             EXPECT_EQ(Warning(r), r.Imp.ErrorMessage);
         }},

        // Texts in the code page the header names.
        {"ANSI_1250",
         textIn("ANSI_1250", "\xB3\xF3"
                             "d\x9F"),
         textIs("\xC5\x82\xC3\xB3"
                "d\xC5\xBA")},
        {"ANSI_1251", textIn("ANSI_1251", "\xCF\xF0\xE8"), textIs("\xD0\x9F\xD1\x80\xD0\xB8")},
        {"ANSI_1253 with a byte it leaves undefined", textIn("ANSI_1253", "\xC1\xAA"),
         textIs("\xCE\x91\xEF\xBF\xBD")},
        {"ANSI_1258", textIn("ANSI_1258", "\xD0\xEC"), textIs("\xC4\x90\xCC\x81")},
        {"DOS866", textIn("DOS866", "\x8F\xE0\xA8"), textIs("\xD0\x9F\xD1\x80\xD0\xB8")},
        {"DOS850", textIn("dos850", "\x9B"), textIs("\xC3\xB8")},
        {"ANSI_1252", textIn("ANSI_1252", "\xE9\x80"), textIs("\xC3\xA9\xE2\x82\xAC")},
        {"a code page not decoded", textIn("ANSI_932", "\xE9"), textIs("\xC3\xA9")},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TFakeMainWindow window;
        const TInstalledServices installed(&window);
        TQV_01Cmp2D d;
        TVectFont font;
        AddGlyphsAB(font);
        auto imp = TDXF2DImport::FromText(c.Text, &d);
        imp->SetVectFont(&font);
        imp->Import();
        c.Check({*imp, d, Objects(d), window.Boxes});
    }
}

// Display and picking walk down through references on the stack: a chain of 10,000 blocks,
// each using the one before, ran them out of stack.
TEST(DXFImport, ChainsOfBlocksDeeperThanTheBoundAreCut)
{
    std::string blocks = "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nB0\n0\nLINE\n11\n1\n0\nENDBLK\n";
    for (int i = 1; i < 10'000; ++i)
        blocks += "0\nBLOCK\n2\nB" + std::to_string(i) + "\n0\nINSERT\n2\nB" + std::to_string(i - 1) +
                  "\n0\nENDBLK\n";
    TQV_01Cmp2D d;
    auto imp = TDXF2DImport::FromText(blocks + "0\nENDSEC\n" + Entities("0\nINSERT\n2\nB9999\n"), &d);
    imp->Import();
    EXPECT_TRUE(imp->Failed);
    EXPECT_NE(imp->ReportText().find(
                  "78 block references were left out: their blocks nest deeper than 256 levels."),
              std::string::npos)
        << imp->ReportText();
    const auto objs = Objects(d);
    ASSERT_EQ(objs.size(), 1u);
    EXPECT_LE(NestingDepth(*objs[0]), MaxNestingDepth);
    objs[0]->BuildGL();
    double dist = 0;
    objs[0]->HitTest(TPoint2D{0, 0, 1}, dist, 0.5);
}
