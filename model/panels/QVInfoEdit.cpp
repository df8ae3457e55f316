#include "QVInfoEdit.h"

#include "CADExceptions.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVContainer.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVFormat.h"
#include "QVGeom2D.h"
#include "QVLanguage.h"
#include "QVMatrix.h"
#include "QVSplines.h"
#include "QVVectText.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <optional>
#include <utility>

std::function<void(uint16_t Code)> InputPanelUserEvent;
TInfoEdit* InfoEdit = nullptr;

namespace {

constexpr double DegPerRad = 180.0 / std::numbers::pi;

// The language text of a value that is not a number; %s stands for the text.
constexpr int32_t NotANumberText = 2211;
constexpr int32_t ApplyText = 2210;
// The interaction program's user events that the polyline and spline buttons send.
constexpr uint16_t ueClosePolygon = 3;
constexpr uint16_t ueRemoveLastPoint = 7;

// How a mode's layout treats the rows and how it ends.
enum class TRows { Keep, None, Set, Buttons };
enum class TEnd { Input, Live, LiveOnly, NotLiveOnly };

struct TModeLayout {
    TPanelMode Mode;
    int32_t Caption;
    int32_t ValueBase; // -1: unchanged
    TRows Rows;
    std::vector<int32_t> RowIds;
    std::vector<int32_t> ColumnIds;
    int32_t Gutter;
    int32_t ValueRows;
    TEnd End;
    std::vector<TInfoEditButton> Buttons; // TRows::Buttons: in a group box 120 high, no grid
};

// The modes, short in the table below.
using M = TPanelMode;

const std::vector<int32_t> XY = {1001, 1002};
const std::vector<int32_t> Value = {1005};

const std::vector<TModeLayout>& ModeLayouts()
{
    static const std::vector<TModeLayout> layouts = {
        {M::Point, 1100, 0, TRows::Set, {1101}, XY, 60, 0, TEnd::LiveOnly, {}},
        {M::PointGrid,
         1110,
         5,
         TRows::Set,
         {1111, 1112, 1113, 1114, 1115},
         Value,
         110,
         5,
         TEnd::NotLiveOnly,
         {}},
        {M::BoltCircle, 1120, 10, TRows::Set, {1121, 1122, 1123, 1124, 1127}, Value, 110, 5, TEnd::Input, {}},
        {M::Line, 1200, 0, TRows::Set, {1201, 1202, 1203, 1204, 1205}, XY, 60, 0, TEnd::Live, {}},
        {M::LinePolar, 1210, 15, TRows::Set, {1211, 1212}, Value, 100, 2, TEnd::Input, {}},
        {M::LineTangentAngle, 1220, 15, TRows::Set, {1211, 1212}, Value, 100, 2, TEnd::Input, {}},
        {M::LineTangent2Arc, 1230, -1, TRows::None, {}, {}, 0, 0, TEnd::Input, {}},
        {M::Rectangle, 1300, 0, TRows::Set, {1301, 1302, 1303, 1304}, XY, 60, 0, TEnd::Live, {}},
        {M::Circle, 1410, 0, TRows::Set, {1411, 1412, 1413}, XY, 60, 0, TEnd::Live, {}},
        {M::CircleDiameter, 1420, 20, TRows::Set, {1421}, Value, 100, 1, TEnd::Input, {}},
        {M::ThreePoints, 1560, 0, TRows::Set, {1511, 1512, 1513, 1514}, XY, 80, 0, TEnd::Live, {}},
        {M::ArcCentreAngles, 1510, 0, TRows::Set, {1511, 1512, 1513, 1514}, XY, 80, 0, TEnd::Live, {}},
        {M::ArcPolar, 1520, 22, TRows::Set, {1521, 1522, 1523}, Value, 100, 3, TEnd::Input, {}},
        {M::ArcTangent1, 1530, -1, TRows::Keep, {}, {}, 0, 0, TEnd::Input, {}},
        {M::ArcTangent2, 1540, 25, TRows::Set, {1541}, Value, 100, 1, TEnd::Input, {}},
        {M::Ellipse, 1550, 0, TRows::Set, {1551, 1552}, Value, 80, 0, TEnd::Live, {}},
        {M::Polyline,
         1600,
         0,
         TRows::Buttons,
         {},
         {},
         0,
         0,
         TEnd::Input,
         {{1601, "", 35, 20}, {1602, "", 35, 50}}},
        {M::Spline,
         1700,
         0,
         TRows::Buttons,
         {},
         {},
         0,
         0,
         TEnd::Input,
         {{1701, "", 35, 20}, {1702, "", 35, 50}}},
        {M::Fillet, 2010, 25, TRows::Set, {2011}, Value, 100, 1, TEnd::Input, {}},
        {M::Trim, 2020, -1, TRows::None, {}, {}, 0, 0, TEnd::Input, {}},
        {M::Break, 2030, -1, TRows::None, {}, {}, 0, 0, TEnd::Input, {}},
        {M::Divide, 2040, -1, TRows::Keep, {}, {}, 0, 0, TEnd::Input, {}},
        {M::Join, 2050, -1, TRows::None, {}, {}, 0, 0, TEnd::Input, {}},
        {M::Extend, 2060, 26, TRows::Set, {2061}, Value, 100, 1, TEnd::Input, {}},
        {M::Simplify, 2090, 28, TRows::Set, {2091, 2092, 2093}, Value, 100, 1, TEnd::Input, {}},
        {M::Distance, 2200, 0, TRows::Set, {1201, 1202, 1203, 1204, 1205}, XY, 60, 0, TEnd::Live, {}},
    };
    return layouts;
}

const TModeLayout* FindLayout(TPanelMode Mode)
{
    for (const TModeLayout& l : ModeLayouts())
        if (l.Mode == Mode)
            return &l;
    return nullptr;
}

// The modes whose command runs again after an edit of the grid, so that its preview follows.
bool RerunsAfterEdit(TPanelMode Mode)
{
    switch (Mode) {
    case TPanelMode::PointGrid:
    case TPanelMode::BoltCircle:
    case TPanelMode::LinePolar:
    case TPanelMode::LineTangentAngle:
    case TPanelMode::CircleDiameter:
    case TPanelMode::ArcPolar:
    case TPanelMode::ArcTangent2:
    case TPanelMode::Fillet:
        return true;
    default:
        return false;
    }
}

TPoint2D World(const TMatrix4& M, const TPoint2D& P)
{
    return CartesianPoint2D(M.TransformPoint2D(P));
}

// What the object's transform does to the plane, so that the panel knows which values an object
// can take back once the transform is dropped.
struct TPlaneMap {
    bool AxisAligned = false; // no turn or shear: the corners of a box stay its corners
    bool Similarity = false;  // turns, uniform scale and mirrors: circles stay circles
    bool Mirrors = false;
    double Rotation = 0; // radians, for a similarity
};

TPlaneMap PlaneMapOf(const TMatrix4& M)
{
    // The images of the X and Y axes.
    const double a = M.M[0], b = M.M[1], c = M.M[4], d = M.M[5];
    const double x2 = a * a + b * b, y2 = c * c + d * d;
    const double s2 = std::max(x2, y2);
    TPlaneMap map;
    if (!M.IsAffine() || !(s2 > 0) || !std::isfinite(s2))
        return map;
    const double eps = 1e-9;
    const double s = std::sqrt(s2);
    map.AxisAligned = std::abs(b) <= eps * s && std::abs(c) <= eps * s;
    map.Similarity = std::abs(x2 - y2) <= eps * s2 && std::abs(a * c + b * d) <= eps * s2;
    map.Mirrors = a * d - b * c < 0;
    map.Rotation = std::atan2(b, a);
    return map;
}

// Template with its "%s" replaced by Text.
std::string WithText(std::string Template, const std::string& Text)
{
    const size_t at = Template.find("%s");
    return at == std::string::npos ? Template : Template.replace(at, 2, Text);
}

TApply ApplyIf(bool CanTakeValues)
{
    return CanTakeValues ? TApply::Yes : TApply::Blocked;
}

std::string NumberText(double Value)
{
    return FormatCoord(Value);
}
std::string IntegerText(int64_t Value)
{
    return std::to_string(Value);
}

} // namespace

// ---- creation

TInfoEdit::TInfoEdit(bool UnitIsMm, int32_t RowHeight) : FRowHeight(RowHeight)
{
    // Inches scale the default lengths by 0.05 in single precision, as the values always were.
    const double u = UnitIsMm ? 1.0 : static_cast<double>(0.05f);
    const std::pair<int, double> defaults[] = {
        {5, 10 * u}, {6, 10 * u},  {7, 5},      {8, 5},          {10, 50 * u}, {12, 45},
        {13, 8},     {15, 50 * u}, {16, 45},    {20, 50 * u},    {22, 50 * u}, {23, 45},
        {24, 270},   {25, 25 * u}, {26, 5 * u}, {28, 0.025 * u},
    };
    for (const auto& [index, value] : defaults)
        Values[static_cast<size_t>(index)] = value;
}

TInfoEdit::~TInfoEdit()
{
    AttachDrawing(nullptr);
}

void TInfoEdit::AttachDrawing(TQV_01Cmp* D)
{
    if (Drawing && FreeListener)
        Drawing->RemoveFreeListener(FreeListener);
    Drawing = D;
    FreeListener = 0;
    Entity = nullptr;
    if (Drawing)
        FreeListener = Drawing->AddFreeListener([this](TGraphicObject& Obj) {
            if (Entity == &Obj)
                ForgetEntity();
        });
}

void TInfoEdit::ForgetEntity()
{
    // An object's values with an Apply that reaches nothing must not outlive it (an open, New,
    // a delete or an undo frees it).
    Entity = nullptr;
    BeginUpdate();
    SetRows({});
    FLayout.Caption.clear();
    PanelMode = TPanelMode::None;
    SetVisible(false);
    EndUpdate();
}

// ---- batches

void TInfoEdit::EndUpdate()
{
    if (--UpdateDepth == 0 && Dirty)
        Changed();
}

void TInfoEdit::Changed()
{
    if (UpdateDepth > 0) {
        Dirty = true;
        return;
    }
    Dirty = false;
    if (OnChanged)
        OnChanged();
}

// ---- texts and layout helpers

std::string TInfoEdit::TextById(int32_t Id)
{
    return GetLangString(Id);
}

std::vector<std::string> TInfoEdit::TextsById(const std::vector<int32_t>& Ids)
{
    std::vector<std::string> texts;
    texts.reserve(Ids.size());
    for (int32_t id : Ids)
        texts.push_back(TextById(id));
    return texts;
}

void TInfoEdit::SetRows(const std::vector<int32_t>& TitleIds)
{
    FreeButtons();
    const int32_t n = static_cast<int32_t>(TitleIds.size());
    FLayout.RowTitles = TextsById(TitleIds);
    // One row more for the column titles.
    FLayout.GridHeight = (n + 1) * FRowHeight;
    FLayout.Cells.resize(static_cast<size_t>(n), std::vector<std::string>(FLayout.ColumnTitles.size()));
    FLayout.GroupHeight = FLayout.GridHeight + 36;
    FLayout.GridVisible = n > 0;
    Changed();
}

void TInfoEdit::SetColumns(const std::vector<int32_t>& TitleIds, int32_t GutterWidth)
{
    FLayout.ColumnTitles = TextsById(TitleIds);
    FLayout.GutterWidth = GutterWidth;
    for (std::vector<std::string>& row : FLayout.Cells)
        row.assign(TitleIds.size(), std::string());
    Changed();
}

void TInfoEdit::CreateButtons(const std::vector<TInfoEditButton>& Specs, bool GridVisible)
{
    FLayout.GridVisible = GridVisible;
    FreeButtons();
    for (size_t i = 0; i < Specs.size(); ++i) {
        TInfoEditButton b = Specs[i];
        b.Caption = TextById(b.TextId);
        b.Width = 120;
        b.Tag = static_cast<int32_t>(i);
        FLayout.Buttons.push_back(std::move(b));
    }
    Changed();
}

void TInfoEdit::FreeButtons()
{
    if (FLayout.Buttons.empty())
        return;
    FLayout.Buttons.clear();
    Changed();
}

void TInfoEdit::SetCell(int32_t Row, int32_t Col, const std::string& Text)
{
    // Rows and columns the layout does not have are not shown, so they keep nothing.
    if (Row < 0 || Col < 0 || Row >= static_cast<int32_t>(FLayout.Cells.size()))
        return;
    std::vector<std::string>& row = FLayout.Cells[static_cast<size_t>(Row)];
    if (Col >= static_cast<int32_t>(row.size()) || row[static_cast<size_t>(Col)] == Text)
        return;
    row[static_cast<size_t>(Col)] = Text;
    Changed();
}

void TInfoEdit::SetCellNumber(int32_t Row, int32_t Col, double V)
{
    SetCell(Row, Col, NumberText(V));
}

void TInfoEdit::SetCellPoint(int32_t Row, const TPoint2D& P)
{
    SetCellNumber(Row, 0, P.X);
    SetCellNumber(Row, 1, P.Y);
}

const std::string& TInfoEdit::Cell(int32_t Row, int32_t Col) const
{
    static const std::string empty;
    if (Row < 0 || Col < 0 || Row >= static_cast<int32_t>(FLayout.Cells.size()))
        return empty;
    const std::vector<std::string>& row = FLayout.Cells[static_cast<size_t>(Row)];
    return Col < static_cast<int32_t>(row.size()) ? row[static_cast<size_t>(Col)] : empty;
}

// ---- modes and values

void TInfoEdit::SetMode(TPanelMode Mode)
{
    BeginUpdate();
    ApplyMode(Mode);
    EndUpdate();
}

void TInfoEdit::ApplyMode(TPanelMode Mode)
{
    if (OnShowGeometryTab)
        OnShowGeometryTab();
    SetVisible(true);
    if (Mode == PanelMode)
        return;
    PanelMode = Mode;
    if (Mode == TPanelMode::None) {
        SetReadOnly(false);
        return;
    }
    const TModeLayout* layout = FindLayout(Mode);
    if (!layout)
        return;
    FLayout.Caption = TextById(layout->Caption);
    Changed();
    if (layout->ValueBase >= 0)
        ValueBase = layout->ValueBase;
    switch (layout->Rows) {
    case TRows::Keep:
        break;
    case TRows::None:
        SetRows({});
        ValueRows = 0;
        break;
    case TRows::Set:
        SetRows(layout->RowIds);
        SetColumns(layout->ColumnIds, layout->Gutter);
        ValueRows = layout->ValueRows;
        for (int32_t i = 0; i < ValueRows; ++i)
            SetCellNumber(i, 0, GetValue(i));
        break;
    case TRows::Buttons:
        FLayout.GroupHeight = 120;
        CreateButtons(layout->Buttons, false);
        ValueRows = 0;
        break;
    }
    switch (layout->End) {
    case TEnd::Input:
        SetReadOnly(false);
        break;
    case TEnd::Live:
        SetReadOnly(true);
        break;
    case TEnd::LiveOnly:
        FLiveInfo = true;
        break;
    case TEnd::NotLiveOnly:
        FLiveInfo = false;
        break;
    }
}

void TInfoEdit::SetValue(int32_t Index, std::string& Text)
{
    if (Index < 0 || ValueBase + Index >= InfoEditValueCount)
        return;
    std::replace(Text.begin(), Text.end(), ',', '.');
    // Only the value rows of a command mode hold its values: a cell of a shown object or a count
    // row must not change a command's remembered value.
    if (Index >= ValueRows)
        return;
    if (const std::optional<double> v = ParseUserNumber(Text))
        Values[static_cast<size_t>(ValueBase + Index)] = *v;
}

double TInfoEdit::GetValue(int32_t Index) const
{
    const int32_t at = ValueBase + Index;
    return Index >= 0 && at < InfoEditValueCount ? Values[static_cast<size_t>(at)] : 0;
}

bool TInfoEdit::CellChanged(int32_t Col, int32_t Row, std::string& Text)
{
    SetValue(Row, Text);
    SetCell(Row, Col, Text);
    return RerunsAfterEdit(PanelMode);
}

TPoint2D TInfoEdit::GetGridPoint(int32_t Row) const
{
    const double x = GetGridValue(Row);
    const std::optional<double> y = ParseUserNumber(Cell(Row, 1));
    if (!y)
        throw ECADCoreException(WithText(TextById(NotANumberText), Cell(Row, 1)));
    return MakePoint2D(x, *y);
}

double TInfoEdit::GetGridValue(int32_t Row) const
{
    const std::optional<double> v = ParseUserNumber(Cell(Row, 0));
    if (!v)
        throw ECADCoreException(WithText(TextById(NotANumberText), Cell(Row, 0)));
    return *v;
}

void TInfoEdit::SetReadOnly(bool Value)
{
    FLiveInfo = Value;
    if (FLayout.ReadOnly != Value) {
        FLayout.ReadOnly = Value;
        Changed();
    }
    if (Value)
        SetVisible(true);
}

void TInfoEdit::SetVisible(bool Value)
{
    if (FLayout.GroupVisible == Value)
        return;
    FLayout.GroupVisible = Value;
    Changed();
}

// ---- objects

uint8_t TInfoEdit::EntityKind(const TGraphicObject& Obj)
{
    // In this order: a descendant counts as its ancestor.
    if (dynamic_cast<const TPunto2D*>(&Obj))
        return ekPoint;
    if (dynamic_cast<const TLine2D*>(&Obj))
        return ekLine;
    if (dynamic_cast<const TFrame2D*>(&Obj))
        return ekFrame;
    if (dynamic_cast<const TCerchio2D*>(&Obj))
        return ekCircle;
    if (dynamic_cast<const TArco2D*>(&Obj))
        return ekArc;
    if (dynamic_cast<const TEllipse2D*>(&Obj))
        return ekEllipse;
    if (dynamic_cast<const TPolyline2D*>(&Obj))
        return ekPolyline;
    if (dynamic_cast<const TBSpline2D*>(&Obj))
        return ekBSpline;
    if (dynamic_cast<const TQVBSpline2D*>(&Obj))
        return ekNurbs;
    if (dynamic_cast<const TBitmap2D*>(&Obj))
        return ekImage;
    if (dynamic_cast<const TBlock2D*>(&Obj))
        return ekBlock;
    if (dynamic_cast<const TJustifiedVectText2D*>(&Obj))
        return ekText;
    return ekNone;
}

void TInfoEdit::EntityLayout(int32_t Caption, const std::vector<int32_t>& Rows, int32_t Gutter, TApply Apply)
{
    FLayout.Caption = TextById(Caption);
    SetRows(Rows);
    SetColumns(XY, Gutter);
    ValueRows = 0;
    if (Apply == TApply::Yes) {
        FLayout.GroupHeight += 15;
        CreateButtons({{ApplyText, "", 35, FLayout.GroupHeight - 30}}, true);
    } else if (Apply == TApply::Blocked) {
        // The values are shown in drawing coordinates, which the object could not take back
        // without its transform: applying them would distort it.
        FLayout.ReadOnly = true;
    }
    Changed();
}

void TInfoEdit::ShowEntity(TObject2D& Obj)
{
    const uint8_t kind = EntityKind(Obj);
    const TMatrix4 m = Obj.GetModelTransform();
    const TPlaneMap map = PlaneMapOf(m);
    const auto point = [&](int i) {
        const auto& prim = static_cast<const TPrimitive2D&>(Obj);
        return World(m, prim.Points().Get(i));
    };
    BeginUpdate();
    switch (kind) {
    case ekPoint:
        EntityLayout(1100, {1101}, 60, TApply::Yes);
        SetCellPoint(0, point(0));
        PanelMode = TPanelMode::Point;
        break;
    case ekLine:
        EntityLayout(1200, {1201, 1202}, 60, TApply::Yes);
        SetCellPoint(0, point(0));
        SetCellPoint(1, point(1));
        PanelMode = TPanelMode::LineShown;
        break;
    case ekFrame:
        EntityLayout(1300, {1301, 1302}, 60, ApplyIf(map.AxisAligned));
        SetCellPoint(0, point(0));
        SetCellPoint(1, point(1));
        PanelMode = TPanelMode::Rectangle;
        break;
    case ekCircle: {
        const TPoint2D c = point(0);
        EntityLayout(1400, {1411, 1413}, 60, ApplyIf(map.Similarity));
        SetCellPoint(0, c);
        SetCellNumber(1, 0, Distance2D(c, point(1)));
        PanelMode = TPanelMode::CircleShown;
        break;
    }
    case ekArc: {
        const auto& arc = static_cast<const TArco2D&>(Obj);
        const bool editable = map.Similarity && !map.Mirrors;
        TPoint2D c = point(0);
        double r = Distance2D(c, point(1)), start = arc.StartAngle(), end = arc.EndAngle();
        if (arc.HasTransform() && editable) {
            // In the arc's own sense, as it will store them once its transform is gone: a turn
            // of the plane adds to counter-clockwise angles and takes from clockwise ones.
            const double turn = arc.Clockwise() ? -map.Rotation : map.Rotation;
            start += turn;
            end += turn;
        } else if (arc.HasTransform()) {
            TArcInfo2D info;
            arc.GetArcInfo2D(info);
            c = info.Center;
            r = info.Radius;
            start = info.StartAngle;
            end = info.EndAngle;
        }
        EntityLayout(1500, {1511, 1512, 1513, 1514}, 80, ApplyIf(editable));
        SetCellPoint(0, c);
        SetCellNumber(1, 0, r);
        SetCellNumber(2, 0, start * DegPerRad);
        SetCellNumber(3, 0, end * DegPerRad);
        PanelMode = TPanelMode::ArcShown;
        break;
    }
    case ekEllipse:
        EntityLayout(1550, {1551, 1552}, 60, TApply::No);
        SetCellPoint(0, point(0));
        SetCellPoint(1, point(1));
        break;
    case ekPolyline:
        FLayout.Caption = TextById(1600);
        CreateButtons({{1603, "", 35, 20}}, false);
        PanelMode = TPanelMode::PolylineShown;
        break;
    case ekBSpline:
    case ekNurbs:
        FLayout.Caption = TextById(1700);
        CreateButtons({{1703, "", 35, 20}}, false);
        break;
    case ekImage: {
        const auto& image = static_cast<const TBitmap2D&>(Obj);
        EntityLayout(1800, {1801, 1802, 1803, 1804, 1805}, 80, ApplyIf(map.AxisAligned));
        SetCellPoint(0, point(0));
        SetCellPoint(1, point(1));
        SetCell(2, 0, IntegerText(image.Bitmap().Width()));
        SetCell(3, 0, IntegerText(image.Bitmap().Height()));
        SetCellNumber(4, 0, static_cast<double>(image.Alpha) * 100);
        PanelMode = TPanelMode::ImageShown;
        break;
    }
    case ekText:
        EntityLayout(1950, {1901}, 60, TApply::No);
        SetCellPoint(0, point(0));
        break;
    case ekBlock: {
        const auto& block = static_cast<const TBlock2D&>(Obj);
        EntityLayout(1900, {1901, 1902}, 80, TApply::No);
        FLayout.Caption = TextById(1900).append(" ").append(BlockNameToStr(block.SourceName));
        SetCellPoint(0, World(m, block.Origin));
        SetCell(1, 0, IntegerText(block.Source() ? block.Source()->Objects.Count() : 0));
        break;
    }
    default:
        // No layout of its own: the previous object's values must not stay shown as this one's.
        FLayout.Caption.clear();
        SetRows({});
        ValueRows = 0;
        break;
    }
    Changed();
    EndUpdate();
}

void TInfoEdit::ShowPicked(TObject2D& Obj)
{
    SetReadOnly(false);
    SetVisible(true);
    PanelMode = TPanelMode::None;
    ShowEntity(Obj);
    Entity = &Obj;
}

void TInfoEdit::ApplyValues()
{
    if (!Entity)
        return;
    TObject2D& obj = *Entity;
    switch (EntityKind(obj)) {
    case ekPoint: {
        const TPoint2D p = GetGridPoint(0);
        auto& prim = static_cast<TPrimitive2D&>(obj);
        prim.ResetTransform();
        prim.Points().SetPoint(0, p);
        break;
    }
    case ekLine:
    case ekFrame: {
        const TPoint2D p0 = GetGridPoint(0);
        const TPoint2D p1 = GetGridPoint(1);
        auto& prim = static_cast<TPrimitive2D&>(obj);
        prim.ResetTransform();
        prim.Points().SetPoint(0, p0);
        prim.Points().SetPoint(1, p1);
        break;
    }
    case ekCircle: {
        const TPoint2D c = GetGridPoint(0);
        const double r = GetGridValue(1);
        auto& circle = static_cast<TCerchio2D&>(obj);
        circle.ResetTransform();
        circle.Points().SetPoint(0, c);
        circle.Points().SetPoint(1, MakePoint2D(c.X + r, c.Y));
        break;
    }
    case ekArc: {
        const TPoint2D c = GetGridPoint(0);
        const double r = GetGridValue(1);
        const double s = GetGridValue(2) / DegPerRad;
        const double e = GetGridValue(3) / DegPerRad;
        auto& arc = static_cast<TArco2D&>(obj);
        arc.ResetTransform();
        arc.Points().SetPoint(0, c);
        arc.Points().SetPoint(1, MakePoint2D(c.X + r, c.Y));
        arc.SetStartAngle(s);
        arc.SetEndAngle(e);
        break;
    }
    case ekImage: {
        const TPoint2D p0 = GetGridPoint(0);
        const TPoint2D p1 = GetGridPoint(1);
        double p = GetGridValue(4);
        auto& image = static_cast<TBitmap2D&>(obj);
        image.ResetTransform();
        image.Points().SetPoint(0, p0);
        image.Points().SetPoint(1, p1);
        if (p > 100)
            p = 100;
        else if (p < 1)
            p = 1;
        image.Alpha = static_cast<float>(p / 100);
        BeginUpdate();
        SetCell(2, 0, IntegerText(std::as_const(image).Bitmap().Width()));
        SetCell(3, 0, IntegerText(std::as_const(image).Bitmap().Height()));
        EndUpdate();
        break;
    }
    default:
        return;
    }
    if (obj.Owner)
        obj.Owner->RepaintViews();
    ShowStatusMessage("");
}

void TInfoEdit::ButtonClick(int32_t Tag)
{
    switch (PanelMode) {
    case TPanelMode::Point:
    case TPanelMode::LineShown:
    case TPanelMode::Rectangle:
    case TPanelMode::ArcShown:
    case TPanelMode::CircleShown:
    case TPanelMode::Ellipse:
    case TPanelMode::ImageShown:
        ApplyValues();
        break;
    case TPanelMode::Polyline:
    case TPanelMode::Spline:
        if (InputPanelUserEvent)
            InputPanelUserEvent(Tag == 0 ? ueRemoveLastPoint : ueClosePolygon);
        break;
    default:
        break;
    }
}

// ---- live values

void TInfoEdit::ShowSegmentInfo(const TPoint2D& P1, const TPoint2D& P2)
{
    if (!(PanelMode == TPanelMode::Line || PanelMode == TPanelMode::LinePolar ||
          PanelMode == TPanelMode::LineTangentAngle || PanelMode == TPanelMode::LineTangent2Arc ||
          PanelMode == TPanelMode::Distance))
        return;
    const float dx = static_cast<float>(P2.X - P1.X);
    const float dy = static_cast<float>(P2.Y - P1.Y);
    BeginUpdate();
    SetCellPoint(0, P1);
    SetCellPoint(1, P2);
    SetCellNumber(2, 0, dx);
    SetCellNumber(2, 1, dy);
    SetCellNumber(3, 0, std::hypot(P2.X - P1.X, P2.Y - P1.Y));
    SetCellNumber(4, 0, std::atan2(static_cast<double>(dy), static_cast<double>(dx)) * DegPerRad);
    EndUpdate();
}

void TInfoEdit::ShowBoxInfo(const TPoint2D& P1, const TPoint2D& P2)
{
    BeginUpdate();
    SetCellPoint(0, P1);
    SetCellPoint(1, P2);
    SetCellNumber(2, 0, std::abs(P2.X - P1.X));
    SetCellNumber(3, 0, std::abs(P2.Y - P1.Y));
    EndUpdate();
}

void TInfoEdit::ShowCircleInfo(const TPoint2D& Centre, const TPoint2D& P, double Radius)
{
    BeginUpdate();
    SetCellPoint(0, Centre);
    SetCellPoint(1, P);
    SetCellNumber(2, 0, Radius);
    EndUpdate();
}

void TInfoEdit::ShowArcInfo(double CX, double CY, double Radius, double StartAngle, double EndAngle)
{
    BeginUpdate();
    SetCellPoint(0, MakePoint2D(CX, CY));
    SetCellNumber(1, 0, Radius);
    SetCellNumber(2, 0, StartAngle * DegPerRad);
    SetCellNumber(3, 0, EndAngle * DegPerRad);
    EndUpdate();
}

void TInfoEdit::ShowEllipseInfo(const TPoint2D& P1, const TPoint2D& P2)
{
    BeginUpdate();
    SetCellNumber(0, 0, std::abs(P2.X - P1.X));
    SetCellNumber(1, 0, std::abs(P2.Y - P1.Y));
    EndUpdate();
}

void TInfoEdit::ShowCounts(int32_t N1, int32_t N2)
{
    BeginUpdate();
    SetCell(1, 0, IntegerText(N1));
    SetCell(2, 0, IntegerText(N2));
    EndUpdate();
}
