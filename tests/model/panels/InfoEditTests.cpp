// The property panel: the layout of every command mode and every object class, the typed values
// the commands keep, the live values of shapes being drawn, and Apply writing edits back.
#include "QVInfoEdit.h"

#include "CADExceptions.h"
#include "EnglishTexts.h"
#include "ExpectError.h"
#include "FakeServices.h"
#include "FakeView.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVSplines.h"
#include "QVVectText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <memory>
#include <numbers>
#include <string>
#include <vector>

namespace {

constexpr double Pi = std::numbers::pi;

std::vector<std::string> Texts(const std::vector<int32_t>& Ids)
{
    return TInfoEdit::TextsById(Ids);
}

// Column 0 of every row.
std::vector<std::string> FirstColumn(const TInfoEdit& Panel)
{
    std::vector<std::string> cells;
    for (const auto& row : Panel.Layout().Cells)
        cells.push_back(row.empty() ? std::string("<none>") : row[0]);
    return cells;
}

std::vector<int32_t> ButtonTexts(const TInfoEdit& Panel)
{
    std::vector<int32_t> ids;
    for (const TInfoEditButton& b : Panel.Layout().Buttons)
        ids.push_back(b.TextId);
    return ids;
}

class InfoEdit : public ::testing::Test {
protected:
    TEnglishTexts English;
    TInfoEdit Panel{true};
};

} // namespace

TEST(InfoEditValues, DefaultsFollowTheUnit)
{
    const TInfoEdit mm(true), inch(false);
    const double u = static_cast<double>(0.05f);
    struct TRow {
        int Index;
        double Mm, Inch;
    };
    const std::vector<TRow> rows = {
        {5, 10, 10 * u},  {6, 10, 10 * u},        {7, 5, 5},    {8, 5, 5},        {9, 0, 0},
        {10, 50, 50 * u}, {12, 45, 45},           {13, 8, 8},   {15, 50, 50 * u}, {16, 45, 45},
        {20, 50, 50 * u}, {22, 50, 50 * u},       {23, 45, 45}, {24, 270, 270},   {25, 25, 25 * u},
        {26, 5, 5 * u},   {28, 0.025, 0.025 * u}, {30, 0, 0},
    };
    for (const TRow& r : rows) {
        SCOPED_TRACE(r.Index);
        EXPECT_DOUBLE_EQ(mm.Values[static_cast<size_t>(r.Index)], r.Mm);
        EXPECT_DOUBLE_EQ(inch.Values[static_cast<size_t>(r.Index)], r.Inch);
    }
    // 25 x 0.05 in single precision, not 1.25.
    EXPECT_NEAR(inch.Values[25], 1.2500000186, 1e-10);
    EXPECT_NE(inch.Values[25], 1.25);
}

namespace {
// The panel's mode of that number: the tables below give the modes by their numbers.
TPanelMode M(int Number)
{
    return static_cast<TPanelMode>(Number);
}
} // namespace

TEST_F(InfoEdit, EveryCommandModeLaysOutItsRows)
{
    enum TEndState { Input, Live, LiveOnly, Unchanged };
    struct TCase {
        const char* Name;
        uint8_t Mode;
        int32_t Caption;
        std::vector<int32_t> Rows; // empty with GridVisible false: no rows
        std::vector<int32_t> Columns;
        int32_t Gutter;
        std::vector<std::string> Values; // column 0 of the value rows
        bool GridVisible;
        TEndState End;
        std::vector<int32_t> Buttons;
    };
    const std::vector<int32_t> xy = {1001, 1002}, value = {1005};
    const std::vector<TCase> cases = {
        {"point", 1, 1100, {1101}, xy, 60, {}, true, LiveOnly, {}},
        {"grid of points",
         2,
         1110,
         {1111, 1112, 1113, 1114, 1115},
         value,
         110,
         {"10", "10", "5", "5", "0"},
         true,
         Unchanged,
         {}},
        {"points on a circle",
         3,
         1120,
         {1121, 1122, 1123, 1124, 1127},
         value,
         110,
         {"50", "0", "45", "8", "0"},
         true,
         Input,
         {}},
        {"line", 5, 1200, {1201, 1202, 1203, 1204, 1205}, xy, 60, {}, true, Live, {}},
        {"polar line", 6, 1210, {1211, 1212}, value, 100, {"50", "45"}, true, Input, {}},
        {"tangent line at an angle", 7, 1220, {1211, 1212}, value, 100, {"50", "45"}, true, Input, {}},
        {"tangent line to two arcs", 8, 1230, {}, {}, 0, {}, false, Input, {}},
        {"rectangle", 9, 1300, {1301, 1302, 1303, 1304}, xy, 60, {}, true, Live, {}},
        {"arc", 11, 1410, {1411, 1412, 1413}, xy, 60, {}, true, Live, {}},
        {"circle by diameter", 12, 1420, {1421}, value, 100, {"50"}, true, Input, {}},
        {"three points", 13, 1560, {1511, 1512, 1513, 1514}, xy, 80, {}, true, Live, {}},
        {"arc by centre and angles", 14, 1510, {1511, 1512, 1513, 1514}, xy, 80, {}, true, Live, {}},
        {"polar arc", 15, 1520, {1521, 1522, 1523}, value, 100, {"50", "45", "270"}, true, Input, {}},
        {"arc tangent to two", 17, 1540, {1541}, value, 100, {"25"}, true, Input, {}},
        {"ellipse", 19, 1550, {1551, 1552}, value, 80, {}, true, Live, {}},
        {"polyline", 20, 1600, {}, {}, 0, {}, false, Input, {1601, 1602}},
        {"spline", 21, 1700, {}, {}, 0, {}, false, Input, {1701, 1702}},
        {"fillet", 26, 2010, {2011}, value, 100, {"25"}, true, Input, {}},
        {"trim", 27, 2020, {}, {}, 0, {}, false, Input, {}},
        {"break", 28, 2030, {}, {}, 0, {}, false, Input, {}},
        {"join", 30, 2050, {}, {}, 0, {}, false, Input, {}},
        {"extend", 31, 2060, {2061}, value, 100, {"5"}, true, Input, {}},
        {"simplify polylines", 33, 2090, {2091, 2092, 2093}, value, 100, {"0.025", "", ""}, true, Input, {}},
        {"distance", 34, 2200, {1201, 1202, 1203, 1204, 1205}, xy, 60, {}, true, Live, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInfoEdit panel(true);
        int changes = 0;
        panel.OnChanged = [&] { ++changes; };
        panel.SetMode(M(c.Mode));
        const TInfoEditLayout& l = panel.Layout();
        EXPECT_EQ(changes, 1); // one batch
        EXPECT_EQ(panel.PanelMode, M(c.Mode));
        EXPECT_FALSE(l.Caption.empty());
        EXPECT_EQ(l.Caption, TInfoEdit::TextById(c.Caption));
        EXPECT_TRUE(l.GroupVisible);
        EXPECT_EQ(l.GridVisible, c.GridVisible);
        EXPECT_EQ(l.RowTitles, Texts(c.Rows));
        if (c.GridVisible) {
            EXPECT_EQ(l.ColumnTitles, Texts(c.Columns));
            EXPECT_EQ(l.GutterWidth, c.Gutter);
            EXPECT_EQ(l.GridHeight, static_cast<int32_t>(c.Rows.size() + 1) * 22);
            EXPECT_EQ(l.GroupHeight, l.GridHeight + 36);
            std::vector<std::string> values = FirstColumn(panel);
            values.resize(c.Values.size());
            EXPECT_EQ(values, c.Values);
        }
        EXPECT_EQ(ButtonTexts(panel), c.Buttons);
        if (!c.Buttons.empty()) {
            EXPECT_EQ(l.GroupHeight, 120);
            EXPECT_EQ(l.Buttons[0].Left, 35);
            EXPECT_EQ(l.Buttons[0].Top, 20);
            EXPECT_EQ(l.Buttons[1].Top, 50);
            EXPECT_EQ(l.Buttons[1].Width, 120);
            EXPECT_EQ(l.Buttons[1].Tag, 1);
            EXPECT_EQ(l.Buttons[1].Caption, TInfoEdit::TextById(c.Buttons[1]));
        }
        switch (c.End) {
        case Input:
            EXPECT_FALSE(panel.LiveInfo());
            EXPECT_FALSE(l.ReadOnly);
            break;
        case Live:
            EXPECT_TRUE(panel.LiveInfo());
            EXPECT_TRUE(l.ReadOnly);
            break;
        case LiveOnly:
            EXPECT_TRUE(panel.LiveInfo());
            EXPECT_FALSE(l.ReadOnly); // as it was
            break;
        case Unchanged:
            EXPECT_FALSE(panel.LiveInfo());
            EXPECT_FALSE(l.ReadOnly);
            break;
        }
    }
}

TEST_F(InfoEdit, ModesWithoutRowsKeepTheGridAndStoredModesChangeNothing)
{
    Panel.SetMode(TPanelMode::ArcPolar);
    const TInfoEditLayout before = Panel.Layout();
    for (uint8_t mode : {16, 29}) {
        SCOPED_TRACE(int(mode));
        Panel.SetMode(M(mode));
        EXPECT_EQ(Panel.Layout().Caption, TInfoEdit::TextById(mode == 16 ? 1530 : 2040));
        EXPECT_EQ(Panel.Layout().RowTitles, before.RowTitles);
        EXPECT_EQ(Panel.Layout().Cells, before.Cells);
        EXPECT_EQ(Panel.ValueBase, 22);
    }
    for (uint8_t mode : {4, 10, 18, 23, 25}) {
        SCOPED_TRACE(int(mode));
        Panel.SetMode(M(mode));
        EXPECT_EQ(Panel.PanelMode, M(mode));
        EXPECT_EQ(Panel.Layout().Caption, TInfoEdit::TextById(2040));
    }
    // The end of every operation: input again, nothing else changes.
    Panel.SetMode(TPanelMode::Line);
    Panel.SetMode(TPanelMode::None);
    EXPECT_FALSE(Panel.LiveInfo());
    EXPECT_FALSE(Panel.Layout().ReadOnly);
    EXPECT_EQ(Panel.Layout().Caption, TInfoEdit::TextById(1200));
}

TEST_F(InfoEdit, TheSameModeOnlyShowsThePanelAgain)
{
    int tabs = 0;
    Panel.OnShowGeometryTab = [&] { ++tabs; };
    Panel.SetMode(TPanelMode::CircleDiameter);
    std::string text = "abc";
    Panel.CellChanged(0, 0, text);
    Panel.SetVisible(false);
    Panel.SetMode(TPanelMode::CircleDiameter);
    EXPECT_EQ(tabs, 2);
    EXPECT_TRUE(Panel.Layout().GroupVisible);
    EXPECT_EQ(Panel.Layout().Cells[0][0], "abc"); // not rebuilt
}

TEST_F(InfoEdit, TypedValuesAreKeptForTheCommands)
{
    struct TCase {
        const char* Name;
        uint8_t Mode;
        int32_t Row;
        std::string Typed, Shown;
        double Kept; // GetValue(Row) afterwards
    };
    const std::vector<TCase> cases = {
        {"a comma becomes a point", 12, 0, "12,5", "12.5", 12.5},
        {"a plain number", 15, 2, "-30", "-30", -30},
        {"letters keep the value", 12, 0, "1x", "1x", 50},
        {"a second point keeps the value", 12, 0, "1.2.3", "1.2.3", 50},
        {"an empty cell keeps the value", 6, 1, "", "", 45},
        {"not a value row of the mode", 33, 1, "7", "7", 0},
        {"past the last value", 33, 3, "7,5", "", 0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInfoEdit panel(true);
        panel.SetMode(M(c.Mode));
        std::string text = c.Typed;
        panel.CellChanged(0, c.Row, text);
        if (c.Row < static_cast<int32_t>(panel.Layout().Cells.size())) {
            EXPECT_EQ(panel.Layout().Cells[static_cast<size_t>(c.Row)][0], c.Shown);
        }
        EXPECT_DOUBLE_EQ(panel.GetValue(c.Row), c.Kept);
    }
}

TEST_F(InfoEdit, FilletAndTangentArcShareTheirRadius)
{
    Panel.SetMode(TPanelMode::ArcTangent2);
    std::string text = "7,25";
    Panel.CellChanged(0, 0, text);
    Panel.SetMode(TPanelMode::Fillet);
    EXPECT_EQ(Panel.Layout().Cells[0][0], "7.25");
    EXPECT_DOUBLE_EQ(Panel.GetValue(0), 7.25);
    EXPECT_DOUBLE_EQ(Panel.GetValue(31), 0); // past the values
}

TEST_F(InfoEdit, AnEditReRunsTheCommandsWithAPreview)
{
    for (uint8_t mode : {2, 3, 6, 7, 12, 15, 17, 26, 31, 33, 5, 8}) {
        SCOPED_TRACE(int(mode));
        TInfoEdit panel(true);
        panel.SetMode(M(mode));
        std::string text = "1";
        const bool rerun = mode == 2 || mode == 3 || mode == 6 || mode == 7 || mode == 12 || mode == 15 ||
                           mode == 17 || mode == 26;
        EXPECT_EQ(panel.CellChanged(0, 0, text), rerun);
    }
}

// A cell of a shown object is not a command's value: typing a coordinate of a line must not
// change the fillet radius remembered in the same slot.
TEST_F(InfoEdit, EditingAShownObjectKeepsTheCommandValues)
{
    Panel.SetMode(TPanelMode::Fillet);
    TLine2D line(-1, MakePoint2D(0, 0), MakePoint2D(3, 4));
    Panel.ShowPicked(line);
    std::string text = "99";
    Panel.CellChanged(1, 0, text);
    EXPECT_EQ(Panel.Layout().Cells[0][1], "99");
    EXPECT_DOUBLE_EQ(Panel.Values[25], 25);
}

TEST_F(InfoEdit, EveryObjectClassShowsItsData)
{
    TMemoryBitmap32 picture(3, 2);
    TSourceBlock2D source(-1, StrToBlockName("WHEEL"), {});
    source.Objects.Add(std::make_unique<TPunto2D>(-1, MakePoint2D(0, 0)));
    source.Objects.Add(std::make_unique<TPunto2D>(-1, MakePoint2D(1, 0)));
    const std::vector<TPoint2D> points = {MakePoint2D(0, 0), MakePoint2D(1, 1), MakePoint2D(2, 0)};
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TObject2D>()> Make;
        std::string Caption; // when CaptionId is 0
        int32_t CaptionId;
        std::vector<int32_t> Rows;
        std::vector<std::vector<std::string>> Cells;
        std::vector<int32_t> Buttons;
        uint8_t ModeAfter;
        bool GridVisible;
    };
    const std::vector<TCase> cases = {
        {"point",
         [] { return std::make_unique<TPunto2D>(-1, MakePoint2D(1.5, -2)); },
         "",
         1100,
         {1101},
         {{"1.5", "-2"}},
         {2210},
         1,
         true},
        {"line",
         [] { return std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(3, 4)); },
         "",
         1200,
         {1201, 1202},
         {{"0", "0"}, {"3", "4"}},
         {2210},
         4,
         true},
        {"frame",
         [] { return std::make_unique<TFrame2D>(-1, MakePoint2D(1, 2), MakePoint2D(5, 7)); },
         "",
         1300,
         {1301, 1302},
         {{"1", "2"}, {"5", "7"}},
         {2210},
         9,
         true},
        {"rectangle is a frame",
         [] { return std::make_unique<TRectangle2D>(-1, MakePoint2D(1, 2), MakePoint2D(5, 7)); },
         "",
         1300,
         {1301, 1302},
         {{"1", "2"}, {"5", "7"}},
         {2210},
         9,
         true},
        {"circle",
         [] { return std::make_unique<TCerchio2D>(-1, MakePoint2D(2, 3), MakePoint2D(7, 3)); },
         "",
         1400,
         {1411, 1413},
         {{"2", "3"}, {"5", ""}},
         {2210},
         18,
         true},
        {"arc",
         [] { return std::make_unique<TArco2D>(-1, MakePoint2D(0, 0), MakePoint2D(2, 0), 0, Pi / 2); },
         "",
         1500,
         {1511, 1512, 1513, 1514},
         {{"0", "0"}, {"2", ""}, {"0", ""}, {"90", ""}},
         {2210},
         10,
         true},
        {"ellipse",
         [] { return std::make_unique<TEllipse2D>(-1, MakePoint2D(0, 0), MakePoint2D(4, 2)); },
         "",
         1550,
         {1551, 1552},
         {{"0", "0"}, {"4", "2"}},
         {},
         0,
         true},
        {"polyline",
         [&] { return std::make_unique<TPolyline2D>(-1, points); },
         "",
         1600,
         {},
         {},
         {1603},
         25,
         false},
        {"polygon is a polyline",
         [&] { return std::make_unique<TPolygon2D>(-1, points); },
         "",
         1600,
         {},
         {},
         {1603},
         25,
         false},
        {"B-spline",
         [&] { return std::make_unique<TBSpline2D>(-1, points); },
         "",
         1700,
         {},
         {},
         {1703},
         0,
         false},
        {"NURBS",
         [&] { return std::make_unique<TQVBSpline2D>(-1, points); },
         "",
         1700,
         {},
         {},
         {1703},
         0,
         false},
        {"image",
         [&] { return std::make_unique<TBitmap2D>(-1, MakePoint2D(0, 0), MakePoint2D(30, 20), picture); },
         "",
         1800,
         {1801, 1802, 1803, 1804, 1805},
         {{"0", "0"}, {"30", "20"}, {"3", ""}, {"2", ""}, {"50", ""}},
         {2210},
         23,
         true},
        {"text",
         [] {
             return std::make_unique<TJustifiedVectText2D>(-1, nullptr, MakePoint2D(4, 5), MakePoint2D(9, 6),
                                                           1, "Hi");
         },
         "",
         1950,
         {1901},
         {{"4", "5"}},
         {},
         0,
         true},
        {"block",
         [&] {
             auto block = std::make_unique<TBlock2D>(-1, &source);
             block->Origin = MakePoint2D(3, 4);
             return block;
         },
         "Block WHEEL",
         0,
         {1901, 1902},
         {{"3", "4"}, {"2", ""}},
         {},
         0,
         true},
        {"elliptic arc has no layout",
         [] { return std::make_unique<TEllipseOpen2D>(-1, MakePoint2D(0, 0), MakePoint2D(4, 2), 0, Pi); },
         "",
         0,
         {},
         {},
         {},
         0,
         false},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInfoEdit panel(true);
        panel.SetMode(TPanelMode::Rectangle); // something shown before
        std::unique_ptr<TObject2D> obj = c.Make();
        panel.ShowPicked(*obj);
        const TInfoEditLayout& l = panel.Layout();
        EXPECT_EQ(l.Caption, c.CaptionId ? TInfoEdit::TextById(c.CaptionId) : c.Caption);
        EXPECT_EQ(l.GridVisible, c.GridVisible);
        if (c.GridVisible) {
            EXPECT_EQ(l.RowTitles, Texts(c.Rows));
            EXPECT_EQ(l.Cells, c.Cells);
        }
        EXPECT_EQ(ButtonTexts(panel), c.Buttons);
        if (c.Buttons == std::vector<int32_t>{2210}) {
            // Below the grid, in a group box grown for it.
            EXPECT_EQ(l.GroupHeight, l.GridHeight + 36 + 15);
            EXPECT_EQ(l.Buttons[0].Top, l.GroupHeight - 30);
            EXPECT_EQ(l.Buttons[0].Left, 35);
        }
        EXPECT_EQ(panel.PanelMode, M(c.ModeAfter));
        EXPECT_EQ(panel.Entity, obj.get());
        EXPECT_FALSE(l.ReadOnly);
    }
}

// Values are shown in drawing coordinates. Where the object could not take them back without its
// transform (a rotated frame, a circle scaled unevenly, a mirrored arc), applying them would
// distort it: the grid is read-only and there is no Apply button. Elsewhere Apply of the
// unchanged values keeps the object where it is.
TEST_F(InfoEdit, TransformedObjectsShowDrawingCoordinates)
{
    const auto worldOf = [](TPrimitive2D& p) {
        std::vector<TPoint2D> out;
        const TMatrix4 m = p.GetModelTransform();
        for (int i = 0; i < p.Points().Count(); ++i)
            out.push_back(CartesianPoint2D(m.TransformPoint2D(p.Points().Get(i))));
        return out;
    };
    const auto arcWorld = [](TPrimitive2D& p) {
        TArcInfo2D info;
        static_cast<TArco2D&>(p).GetArcInfo2D(info);
        return std::vector<TPoint2D>{info.StartPt, info.EndPt, info.Center};
    };
    const auto cornersOf = worldOf;
    const auto circleOf = [](TPrimitive2D& p) {
        double cx, cy, r;
        static_cast<TCerchio2D&>(p).GetCircleParams(cx, cy, r);
        const TMatrix4 m = p.GetModelTransform();
        const TPoint2D c = CartesianPoint2D(m.TransformPoint2D(MakePoint2D(cx, cy)));
        const TPoint2D e = CartesianPoint2D(m.TransformPoint2D(MakePoint2D(cx + r, cy)));
        return std::vector<TPoint2D>{c, MakePoint2D(std::hypot(e.X - c.X, e.Y - c.Y), 0)};
    };
    TMatrix4 rotate30 = TMatrix4::CreateRotation(true, 30);
    TMatrix4 turnAndScale;
    turnAndScale.Multiply(TMatrix4::CreateRotation(true, 90), TMatrix4::CreateScale(2, 2, 1));
    turnAndScale.Translate(5, -1, 0);
    TMatrix4 stretch = TMatrix4::CreateScale(2, 1, 1);
    TMatrix4 scaleAndMove = TMatrix4::CreateScale(3, -2, 1);
    scaleAndMove.Translate(1, 1, 0);
    TMatrix4 mirror = TMatrix4::CreateMirror(0);
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TPrimitive2D>()> Make;
        TMatrix4 Transform;
        bool Editable;
        std::function<std::vector<TPoint2D>(TPrimitive2D&)> Geometry;
        std::vector<std::string> Shown; // column 0 of the rows, where it matters
    };
    const auto arc = [] {
        return std::make_unique<TArco2D>(-1, MakePoint2D(1, 0), MakePoint2D(3, 0), 0, Pi / 2);
    };
    const auto cwArc = [&] {
        auto a = arc();
        a->SetDirection(0);
        return a;
    };
    const auto circle = [] { return std::make_unique<TCerchio2D>(-1, MakePoint2D(1, 1), MakePoint2D(2, 1)); };
    const auto frame = [] { return std::make_unique<TFrame2D>(-1, MakePoint2D(0, 0), MakePoint2D(4, 2)); };
    const auto line = [] { return std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(4, 2)); };
    const std::vector<TCase> cases = {
        {"turned, scaled and moved circle", circle, turnAndScale, true, circleOf, {"", "2"}},
        {"stretched circle", circle, stretch, false, circleOf, {}},
        {"turned, scaled and moved arc", arc, turnAndScale, true, arcWorld, {"", "4", "90", "180"}},
        {"turned clockwise arc", cwArc, rotate30, true, arcWorld, {"", "2", "-30", "-120"}},
        {"mirrored arc", arc, mirror, false, arcWorld, {}},
        {"scaled and mirrored frame", frame, scaleAndMove, true, cornersOf, {"1", "13"}},
        {"turned frame", frame, rotate30, false, cornersOf, {}},
        {"turned line", line, rotate30, true, worldOf, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInfoEdit panel(true);
        std::unique_ptr<TPrimitive2D> obj = c.Make();
        obj->SetBaseTransform(c.Transform);
        const std::vector<TPoint2D> before = c.Geometry(*obj);
        panel.ShowPicked(*obj);
        EXPECT_EQ(panel.Layout().ReadOnly, !c.Editable);
        EXPECT_EQ(panel.Layout().Buttons.size(), c.Editable ? 1U : 0U);
        std::vector<std::string> shown = FirstColumn(panel);
        for (size_t i = 0; i < c.Shown.size(); ++i)
            if (!c.Shown[i].empty()) {
                EXPECT_EQ(shown[i], c.Shown[i]) << "row " << i;
            }
        if (!c.Editable)
            continue;
        panel.ButtonClick(0);
        EXPECT_FALSE(obj->HasTransform());
        const std::vector<TPoint2D> after = c.Geometry(*obj);
        ASSERT_EQ(after.size(), before.size());
        for (size_t i = 0; i < after.size(); ++i) {
            EXPECT_NEAR(after[i].X, before[i].X, 1e-3) << "point " << i;
            EXPECT_NEAR(after[i].Y, before[i].Y, 1e-3) << "point " << i;
        }
    }
}

TEST_F(InfoEdit, AnEditTypedIntoThePanelChangesTheObject)
{
    TFakeMainWindow main;
    TInstalledServices installed(&main);
    TQV_01Cmp2D drawing;
    TFakeDrawingView view;
    drawing.AddView(&view);
    Panel.AttachDrawing(&drawing);
    struct TEdit {
        int32_t Col, Row;
        const char* Text;
    };
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TPrimitive2D>()> Make;
        std::vector<TEdit> Edits;
        std::function<void(TPrimitive2D&)> Check;
    };
    const std::vector<TCase> cases = {
        {"point",
         [] { return std::make_unique<TPunto2D>(-1, MakePoint2D(1, 1)); },
         {{0, 0, "2,5"}, {1, 0, "-3"}},
         [](TPrimitive2D& p) {
             EXPECT_DOUBLE_EQ(p.Points().Get(0).X, 2.5);
             EXPECT_DOUBLE_EQ(p.Points().Get(0).Y, -3);
         }},
        {"line end",
         [] { return std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(3, 4)); },
         {{0, 1, "10"}},
         [](TPrimitive2D& p) {
             EXPECT_DOUBLE_EQ(p.Points().Get(1).X, 10);
             EXPECT_DOUBLE_EQ(p.Points().Get(1).Y, 4);
         }},
        {"frame corner",
         [] { return std::make_unique<TFrame2D>(-1, MakePoint2D(0, 0), MakePoint2D(3, 4)); },
         {{1, 0, "-1"}},
         [](TPrimitive2D& p) { EXPECT_DOUBLE_EQ(p.Points().Get(0).Y, -1); }},
        {"circle radius",
         [] { return std::make_unique<TCerchio2D>(-1, MakePoint2D(1, 1), MakePoint2D(2, 1)); },
         {{0, 1, "4"}},
         [](TPrimitive2D& p) {
             double cx, cy, r;
             static_cast<TCerchio2D&>(p).GetCircleParams(cx, cy, r);
             EXPECT_DOUBLE_EQ(r, 4);
             EXPECT_DOUBLE_EQ(cx, 1);
         }},
        {"arc angles",
         [] { return std::make_unique<TArco2D>(-1, MakePoint2D(0, 0), MakePoint2D(2, 0), 0, Pi / 2); },
         {{0, 0, "1"}, {0, 2, "45"}, {0, 3, "180"}},
         [](TPrimitive2D& p) {
             auto& a = static_cast<TArco2D&>(p);
             EXPECT_NEAR(a.StartAngle(), Pi / 4, 1e-12);
             EXPECT_NEAR(a.EndAngle(), Pi, 1e-12);
             TArcInfo2D info;
             a.GetArcInfo2D(info);
             EXPECT_NEAR(info.Center.X, 1, 1e-12);
             EXPECT_NEAR(info.StartPt.X, 1 + std::sqrt(2.0), 1e-9);
             EXPECT_NEAR(info.EndPt.X, -1, 1e-9);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TPrimitive2D* obj = drawing.AddObject(-1, c.Make());
        Panel.ShowPicked(*obj);
        for (const TEdit& e : c.Edits) {
            std::string text = e.Text;
            Panel.CellChanged(e.Col, e.Row, text);
        }
        view.Calls.clear();
        main.StatusMessages.clear();
        Panel.ButtonClick(0);
        c.Check(*obj);
        EXPECT_EQ(view.Calls.size(), 1U); // repainted
        EXPECT_EQ(main.StatusMessages, std::vector<std::string>{""});
    }
    Panel.AttachDrawing(nullptr);
}

TEST_F(InfoEdit, ImageOpacityIsKeptBetweenOneAndAHundredPerCent)
{
    const TMemoryBitmap32 picture(3, 2);
    struct TCase {
        const char* Typed;
        float Alpha;
    };
    for (const TCase& c : {TCase{"150", 1.0f}, TCase{"0", 0.01f}, TCase{"-5", 0.01f}, TCase{"40", 0.4f}}) {
        SCOPED_TRACE(c.Typed);
        TBitmap2D image(-1, MakePoint2D(0, 0), MakePoint2D(30, 20), picture);
        Panel.ShowPicked(image);
        std::string text = c.Typed;
        Panel.CellChanged(0, 4, text);
        std::string width = "77";
        Panel.CellChanged(0, 2, width);
        Panel.ButtonClick(0);
        EXPECT_FLOAT_EQ(image.Alpha, c.Alpha);
        EXPECT_EQ(Panel.Layout().Cells[2][0], "3"); // the picture's own width again
    }
}

TEST_F(InfoEdit, ABadNumberIsRefusedAndChangesNothing)
{
    struct TCase {
        const char* Name;
        int32_t Col, Row;
        const char* Typed;
        const char* Message;
    };
    const std::vector<TCase> cases = {
        {"letters", 1, 0, "abc", "\"abc\" is not a valid number."},
        {"empty radius", 0, 1, "", "\"\" is not a valid number."},
        {"two points", 0, 0, "1.2.3", "\"1.2.3\" is not a valid number."},
        {"a lone minus", 1, 0, "-", "\"-\" is not a valid number."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TCerchio2D circle(-1, MakePoint2D(1, 1), MakePoint2D(2, 1));
        circle.SetBaseTransform(TMatrix4::CreateTranslation(1, 0, 0));
        Panel.ShowPicked(circle);
        std::string text = c.Typed;
        Panel.CellChanged(c.Col, c.Row, text);
        ExpectError<ECADCoreException>([&] { Panel.ButtonClick(0); }, c.Message);
        EXPECT_TRUE(circle.HasTransform());
        EXPECT_DOUBLE_EQ(circle.Points().Get(0).X, 1);
        EXPECT_DOUBLE_EQ(circle.Points().Get(1).X, 2);
    }
}

TEST_F(InfoEdit, AnObjectFreedByTheDrawingIsForgotten)
{
    struct TCase {
        const char* Name;
        std::function<void(TQV_01Cmp2D&, int32_t)> Free;
    };
    const std::vector<TCase> cases = {
        {"deleted", [](TQV_01Cmp2D& d, int32_t id) { d.DeleteObject(id); }},
        {"drawing emptied", [](TQV_01Cmp2D& d, int32_t) { d.DeleteAllObjects(); }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TQV_01Cmp2D drawing;
        Panel.AttachDrawing(&drawing);
        TLine2D* line =
            drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(3, 4)));
        drawing.AddObject(-1, std::make_unique<TLine2D>(-1, MakePoint2D(0, 0), MakePoint2D(1, 1)));
        Panel.ShowPicked(*line);
        c.Free(drawing, line->ID);
        EXPECT_EQ(Panel.Entity, nullptr);
        Panel.ButtonClick(0); // Apply reaches nothing (the sanitizers would see a freed object)
        Panel.AttachDrawing(nullptr);
    }
}

TEST_F(InfoEdit, ThePolylineAndSplineButtonsSendUserEvents)
{
    std::vector<uint16_t> sent;
    InputPanelUserEvent = [&](uint16_t code) { sent.push_back(code); };
    for (uint8_t mode : {20, 21}) {
        Panel.SetMode(M(mode));
        Panel.ButtonClick(0);
        Panel.ButtonClick(1);
    }
    EXPECT_EQ(sent, (std::vector<uint16_t>{7, 3, 7, 3}));
    // A shown polyline's button does nothing.
    sent.clear();
    const std::vector<TPoint2D> points = {MakePoint2D(0, 0), MakePoint2D(1, 1)};
    TPolyline2D polyline(-1, points);
    Panel.ShowPicked(polyline);
    Panel.ButtonClick(0);
    EXPECT_TRUE(sent.empty());
    InputPanelUserEvent = nullptr;
}

TEST_F(InfoEdit, ShapesBeingDrawnShowLiveValues)
{
    struct TCase {
        const char* Name;
        uint8_t Mode;
        std::function<void(TInfoEdit&)> Show;
        std::vector<std::vector<std::string>> Cells;
    };
    const TPoint2D p1 = MakePoint2D(1, 1), p2 = MakePoint2D(4, 5);
    const std::vector<TCase> cases = {
        {"segment",
         5,
         [&](TInfoEdit& p) { p.ShowSegmentInfo(p1, p2); },
         {{"1", "1"}, {"4", "5"}, {"3", "4"}, {"5", ""}, {"53.13", ""}}},
        {"segment while measuring",
         34,
         [&](TInfoEdit& p) { p.ShowSegmentInfo(p2, p1); },
         {{"4", "5"}, {"1", "1"}, {"-3", "-4"}, {"5", ""}, {"-126.87", ""}}},
        {"no segment in the rectangle's mode",
         9,
         [&](TInfoEdit& p) { p.ShowSegmentInfo(p1, p2); },
         {{"", ""}, {"", ""}, {"", ""}, {"", ""}}},
        {"box",
         9,
         [&](TInfoEdit& p) { p.ShowBoxInfo(p2, p1); },
         {{"4", "5"}, {"1", "1"}, {"3", ""}, {"4", ""}}},
        {"circle",
         11,
         [&](TInfoEdit& p) { p.ShowCircleInfo(p1, p2, 5); },
         {{"1", "1"}, {"4", "5"}, {"5", ""}}},
        {"arc",
         14,
         [](TInfoEdit& p) { p.ShowArcInfo(2, 3, 1.5, Pi / 2, Pi); },
         {{"2", "3"}, {"1.5", ""}, {"90", ""}, {"180", ""}}},
        {"ellipse", 19, [&](TInfoEdit& p) { p.ShowEllipseInfo(p2, p1); }, {{"3"}, {"4"}}},
        {"counts", 33, [](TInfoEdit& p) { p.ShowCounts(1200, 87); }, {{"0.025"}, {"1200"}, {"87"}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TInfoEdit panel(true);
        panel.SetMode(M(c.Mode));
        int changes = 0;
        panel.OnChanged = [&] { ++changes; };
        c.Show(panel);
        EXPECT_EQ(panel.Layout().Cells, c.Cells);
        EXPECT_LE(changes, 1); // one batch
    }
}

TEST_F(InfoEdit, EveryTextIsInTheEnglishFile)
{
    for (int32_t id :
         {1001, 1002, 1005, 1100, 1101, 1110, 1111, 1112, 1113, 1114, 1115, 1120, 1121, 1122, 1123,
          1124, 1127, 1200, 1201, 1202, 1203, 1204, 1205, 1210, 1211, 1212, 1220, 1230, 1300, 1301,
          1302, 1303, 1304, 1400, 1410, 1411, 1412, 1413, 1420, 1421, 1500, 1510, 1511, 1512, 1513,
          1514, 1520, 1521, 1522, 1523, 1530, 1540, 1541, 1550, 1551, 1552, 1560, 1600, 1601, 1602,
          1603, 1700, 1701, 1702, 1703, 1800, 1801, 1802, 1803, 1804, 1805, 1900, 1901, 1902, 1950,
          2010, 2011, 2020, 2030, 2040, 2050, 2060, 2061, 2090, 2091, 2092, 2093, 2200, 2210, 2211})
        EXPECT_FALSE(TInfoEdit::TextById(id).empty()) << id;
}
