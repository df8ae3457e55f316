// The R12 toolpath export: header, tables and the LINE and ARC entities of hand-made 3D toolpath
// curves, checked by reading the file back.
#include "QVDXFExport.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

class TCurve : public TToolpathCurve3D {
public:
    explicit TCurve(std::vector<TAVertice3d> V) : Vertices(std::move(V)) {}
    size_t VertexCount() const override { return Vertices.size(); }
    const TAVertice3d& Vertex(size_t Index) const override { return Vertices.at(Index); }

private:
    std::vector<TAVertice3d> Vertices;
};

TAVertice3d At(double X, double Y, double Z) { return TAVertice3d::CreatePoint({X, Y, Z}); }
TAVertice3d Arc(int Kind, double X, double Y, double Z, double CX, double CY)
{
    return TAVertice3d::CreateFull(Kind, {X, Y, Z}, {CX, CY, Z}, 0);
}

// A drawing whose 256 layers are named L0 to L255 and left unmodified.
std::unique_ptr<TQV_01Cmp2D> NamedDrawing()
{
    auto d = std::make_unique<TQV_01Cmp2D>();
    for (int i = 0; i < TQV_20Layers::Count; ++i) {
        TQV_21Layer& layer = d->Layers.GetLayer(static_cast<uint8_t>(i));
        layer.SetName("L" + std::to_string(i));
        layer.Modified = false;
    }
    return d;
}

// Every record of every section, as "TYPE g=value ..." with the groups in file order.
struct TReadBack {
    std::vector<std::string> Sections;
    std::vector<std::vector<std::pair<int, std::string>>> Records;  // of all sections

    std::vector<std::vector<std::pair<int, std::string>>> OfType(const std::string& Type) const
    {
        std::vector<std::vector<std::pair<int, std::string>>> out;
        for (const auto& r : Records)
            if (!r.empty() && r[0].second == Type)
                out.push_back(r);
        return out;
    }
};

std::string Shown(const TDXFValue& V)
{
    switch (V.Kind) {
    case TDXFValue::TKind::Real: {
        std::ostringstream s;
        s << std::round(V.Real * 1e4) / 1e4;
        return s.str();
    }
    case TDXFValue::TKind::Integer: return std::to_string(V.Integer);
    default: return V.Text;
    }
}

TReadBack ReadBack(const std::string& Name)
{
    TReadBack out;
    TDXFRead r(Name);
    EXPECT_FALSE(r.Failed);
    static const char* Names[] = {"HEADER", "TABLES", "BLOCKS", "ENTITIES", "CLASSES"};
    while (r.Section != TDXFSection::None) {
        out.Sections.push_back(Names[static_cast<int>(r.Section)]);
        while (!(r.Code == 0 && r.Value.IsText("ENDSEC")) && !r.AtEnd()) {
            std::vector<std::pair<int, std::string>> rec{{r.Code, Shown(r.Value)}};
            while (r.ReadGroup() && r.Code != 0 && r.Code != 9)
                rec.emplace_back(r.Code, Shown(r.Value));
            out.Records.push_back(rec);
        }
        r.NextSection();
    }
    EXPECT_TRUE(r.AtEnd());
    return out;
}

using TGroups = std::vector<std::pair<int, std::string>>;

struct TExportCase {
    TTempFolder Folder;
    std::string Name = Folder.Path() + "/toolpath.dxf";
};

} // namespace

TEST(DXFExport, ColourToACI)
{
    const std::vector<std::pair<uint32_t, int>> cases = {
        {0x0000FF, 1}, {0x00FFFF, 2}, {0x00FF00, 3}, {0xFFFF00, 4}, {0xFF0000, 5},
        {0xFF00FF, 6}, {0x808080, 8}, {0xC0C0C0, 9}, {0x000000, 7}, {0xFFFFFF, 7}, {0x123456, 7}};
    for (const auto& [colour, aci] : cases) {
        SCOPED_TRACE(colour);
        EXPECT_EQ(ColourToACI(colour, true), aci);
        EXPECT_EQ(ColourToACI(colour, false), -aci);
    }
}

TEST(DXFExport, HeaderAndTables)
{
    TExportCase c;
    auto drawing = NamedDrawing();
    TQV_01Cmp2D& d = *drawing;
    d.Layers.GetLayer(2).Pen.SetColor(0x00FF00);
    d.Layers.GetLayer(2).Active = false;
    d.Layers.GetLayer(2).Modified = true;
    d.Layers.GetLayer(4).Pen.SetColor(0x0000FF);
    d.Layers.GetLayer(4).Modified = false;
    // The extents are those of the visible objects on visible layers.
    d.AddObjectToLayer(-1, 0, std::make_unique<TLine2D>(-1, MakePoint2D(-5, -6), MakePoint2D(50, 60)));
    d.AddObjectToLayer(-1, 0, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(100, 0)))->Visible = false;
    d.Layers.GetLayer(3).Visible = false;
    d.AddObjectToLayer(-1, 3, std::make_unique<TPunto2D>(-1, MakePoint2D(-100, 0)));
    d.CurrentLayer = 4;
    {
        TDXF2DExport e(c.Name, &d);
        e.Export({}, "CUT");
        e.Finish();
    }
    EXPECT_TRUE(d.Layers.GetLayer(4).Modified);
    const TReadBack rb = ReadBack(c.Name);
    EXPECT_EQ(rb.Sections, (std::vector<std::string>{"HEADER", "TABLES", "ENTITIES"}));
    const auto ext = [&](const std::string& Var) {
        for (const auto& r : rb.Records)
            if (r[0] == std::pair<int, std::string>{9, Var})
                return r;
        return TGroups{};
    };
    EXPECT_EQ(ext("$ACADVER"), (TGroups{{9, "$ACADVER"}, {1, "AC1009"}}));
    EXPECT_EQ(ext("$ANGDIR"), (TGroups{{9, "$ANGDIR"}, {70, "0"}}));
    EXPECT_EQ(ext("$EXTMAX"), (TGroups{{9, "$EXTMAX"}, {10, "50"}, {20, "60"}, {30, "0"}}));
    EXPECT_EQ(ext("$EXTMIN"), (TGroups{{9, "$EXTMIN"}, {10, "-5"}, {20, "-6"}, {30, "0"}}));
    EXPECT_EQ(ext("$CECOLOR"), (TGroups{{9, "$CECOLOR"}, {62, "256"}}));
    EXPECT_EQ(ext("$CELTYPE"), (TGroups{{9, "$CELTYPE"}, {6, "BYLAYER"}}));
    EXPECT_EQ(rb.OfType("LTYPE"), (std::vector<TGroups>{
                                      {{0, "LTYPE"}, {2, "CONTINUOUS"}, {70, "64"}, {3, "Solid line"},
                                       {72, "65"}, {73, "0"}, {40, "0"}}}));
    // Only the layers marked modified, the current one among them; an inactive layer is negative.
    EXPECT_EQ(rb.OfType("LAYER"),
              (std::vector<TGroups>{{{0, "LAYER"}, {2, "L2"}, {70, "64"}, {62, "-3"}, {6, "CONTINUOUS"}},
                                    {{0, "LAYER"}, {2, "L4"}, {70, "64"}, {62, "1"}, {6, "CONTINUOUS"}}}));
}

TEST(DXFExport, EmptyDrawingWritesZeroExtents)
{
    TExportCase c;
    TQV_01Cmp2D drawing;
    TDXF2DExport e(c.Name, &drawing);
    e.Export({}, "0");
    e.Finish();
    const TReadBack rb = ReadBack(c.Name);
    EXPECT_EQ(rb.Records[2], (TGroups{{9, "$EXTMAX"}, {10, "0"}, {20, "0"}, {30, "0"}}));
    EXPECT_EQ(rb.Records[3], (TGroups{{9, "$EXTMIN"}, {10, "0"}, {20, "0"}, {30, "0"}}));
}

TEST(DXFExport, CurvesBecomeLinesAndArcs)
{
    struct TCase {
        const char* Name;
        std::vector<TCurve> Curves;
        std::vector<TGroups> Entities;
    };
    const std::vector<TCase> cases = {
        {"a line, then a counter-clockwise arc",
         {TCurve({At(0, 0, -1), At(10, 0, -1), Arc(1, 10, 10, -1, 10, 5)})},
         {{{0, "LINE"}, {8, "CUT"}, {10, "0"}, {20, "0"}, {30, "-1"}, {11, "10"}, {21, "0"}, {31, "-1"}},
          {{0, "ARC"}, {8, "CUT"}, {10, "10"}, {20, "5"}, {30, "-1"}, {40, "5"}, {50, "270"}, {51, "450"}}}},
        {"a clockwise arc is written from its end",
         {TCurve({At(10, 10, 0), Arc(-1, 10, 0, 0, 10, 5)})},
         {{{0, "ARC"}, {8, "CUT"}, {10, "10"}, {20, "5"}, {30, "0"}, {40, "5"}, {50, "270"}, {51, "450"}}}},
        {"a full circle",
         {TCurve({At(5, 0, 0), Arc(1, 5, 0, 0, 0, 0)})},
         {{{0, "ARC"}, {8, "CUT"}, {10, "0"}, {20, "0"}, {30, "0"}, {40, "5"}, {50, "0"}, {51, "360"}}}},
        {"an empty curve does not end the export",
         {TCurve({}), TCurve({At(1, 2, 3)}), TCurve({At(0, 0, 0), At(1, 1, 1)})},
         {{{0, "LINE"}, {8, "CUT"}, {10, "0"}, {20, "0"}, {30, "0"}, {11, "1"}, {21, "1"}, {31, "1"}}}},
    };
    for (const TCase& t : cases) {
        SCOPED_TRACE(t.Name);
        TExportCase c;
        TQV_01Cmp2D drawing;
        std::vector<const TToolpathCurve3D*> curves;
        for (const TCurve& curve : t.Curves)
            curves.push_back(&curve);
        TDXF2DExport e(c.Name, &drawing);
        e.Export(curves, "CUT");
        e.Finish();
        std::vector<TGroups> entities;
        for (const auto& r : ReadBack(c.Name).Records)
            if (r[0].second == "LINE" || r[0].second == "ARC")
                entities.push_back(r);
        EXPECT_EQ(entities, t.Entities);
    }
}

TEST(DXFExport, NoDrawingNoFinishNoFile)
{
    TExportCase c;
    {
        TDXF2DExport e(c.Name, nullptr);
        e.Export({}, "0");
    }
    EXPECT_TRUE(c.Folder.FileNames().empty());
    TDXF2DExport e(c.Name, nullptr);
    e.Export({}, "0");
    e.Finish();
    EXPECT_EQ(ReadBack(c.Name).Sections, std::vector<std::string>{"ENTITIES"});
}
