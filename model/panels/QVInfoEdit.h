#pragma once
// The property panel below the geometry tree: a small grid of rows and two value columns in a
// group box. Each drawing or editing command sets a mode (caption, row and column titles and,
// for commands that take typed values, those values); the shapes being drawn write live values
// into it; a picked object shows its data there and, for the simple shapes, an Apply button
// writes edited values back to it.
//
// Qt-free: TInfoEdit keeps what the panel shows as plain data (TInfoEditLayout) and tells its
// widget after each change; the widget (model/ui) shows it and hands the user's edits and clicks
// back. Every caption and title is a language text of the section "String", by number.
#include "QVCurves.h"
#include "QVTypes.h"

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TGraphicObject;
class TObject2D;
class TQV_01Cmp;

// A run-time button of the panel, placed in the group box.
struct TInfoEditButton {
    int32_t TextId = 0;
    std::string Caption;
    int32_t Left = 0, Top = 0;
    int32_t Width = 120;
    int32_t Tag = 0;
};

// Everything the panel's widgets show.
struct TInfoEditLayout {
    std::string Caption; // the group box's
    bool GroupVisible = false;
    int32_t GroupHeight = 0;
    bool GridVisible = false;
    int32_t GridHeight = 0;
    int32_t GutterWidth = 0; // the width of the row titles
    std::vector<std::string> RowTitles;
    std::vector<std::string> ColumnTitles;
    std::vector<std::vector<std::string>> Cells; // [row][column], RowTitles x ColumnTitles
    bool ReadOnly = false;
    std::vector<TInfoEditButton> Buttons;
};

// The panel's modes: what the rows show. A drawing command sets its own; a shown object leaves
// the mode of its kind. The numbers are those the commands' table and the kinds use.
enum class TPanelMode : uint8_t {
    None = 0,  // the end of every operation
    Point = 1, // the point command; a point shown
    PointGrid = 2,
    BoltCircle = 3,
    LineShown = 4,
    Line = 5, // a line by its end points
    LinePolar = 6,
    LineTangentAngle = 7,
    LineTangent2Arc = 8,
    Rectangle = 9, // the rectangle command; a frame shown
    ArcShown = 10,
    Circle = 11, // centre and point
    CircleDiameter = 12,
    ThreePoints = 13, // a circle or an arc through three points
    ArcCentreAngles = 14,
    ArcPolar = 15,
    ArcTangent1 = 16,
    ArcTangent2 = 17,
    CircleShown = 18,
    Ellipse = 19, // both ellipse commands; an ellipse shown
    Polyline = 20,
    Spline = 21,
    ImageShown = 23,
    TextShown = 24,
    PolylineShown = 25, // its button does nothing
    Fillet = 26,
    Trim = 27,
    Break = 28,
    Divide = 29,
    Join = 30,
    Extend = 31,
    Simplify = 33,
    Distance = 34,
    BlockShown = 35,
};

// The kinds ShowEntity tells apart (EntityKind), numbered as the panel's modes.
enum TInfoEntityKind : uint8_t {
    ekNone = 0,
    ekPoint = 1,
    ekLine = 4,
    ekFrame = 9,
    ekArc = 10,
    ekCircle = 18,
    ekEllipse = 19,
    ekPolyline = 20,
    ekBSpline = 21,
    ekNurbs = 22,
    ekImage = 23,
    ekText = 24,
    ekBlock = 35,
};

// Whether a shown object offers Apply: never, yes, or not while its transform would distort it.
enum class TApply { No, Yes, Blocked };

// The number of typed values the commands keep.
constexpr int32_t InfoEditValueCount = 31;

// The panel's polyline and spline buttons send their user events here; the tool window points it
// at the interaction program's SendUserEvent. Empty: the buttons send nothing.
extern std::function<void(uint16_t Code)> InputPanelUserEvent;

class TInfoEdit : public TLiveInfoPanel {
public:
    // UnitIsMm chooses the default values: millimetres, or inches (the default lengths times
    // 0.05 in single precision).
    explicit TInfoEdit(bool UnitIsMm, int32_t RowHeight = 22);
    ~TInfoEdit() override;
    TInfoEdit(const TInfoEdit&) = delete;
    TInfoEdit& operator=(const TInfoEdit&) = delete;

    // The drawing whose objects the panel shows (not owned; null detaches). An object it frees
    // is forgotten at once, so Apply never reaches a freed object.
    void AttachDrawing(TQV_01Cmp* Drawing);

    // The layout of a command's mode; the modes of a shown object (LineShown, ArcShown ...) are
    // only stored.
    void SetMode(TPanelMode Mode);
    // The grid's cell handler: ',' becomes '.' in Text (the cell shows the result), and a number
    // in a value row of the mode is kept as that command's value. Anything else keeps the value.
    void SetValue(int32_t Index, std::string& Text);
    // Value Index of the mode's values; 0 past the last one.
    double GetValue(int32_t Index) const;
    // The user edited a cell: the cell takes Text, then SetValue for its row. True when the
    // command of the mode must run again so that its preview follows (PointGrid, BoltCircle,
    // LinePolar, LineTangentAngle, CircleDiameter, ArcPolar, ArcTangent2 and Fillet).
    bool CellChanged(int32_t Col, int32_t Row, std::string& Text);

    // The numbers of a row (columns 0 and 1; W = 1) or of its first column. A cell that is not a
    // number raises ECADCoreException with language text 2211.
    TPoint2D GetGridPoint(int32_t Row) const;
    double GetGridValue(int32_t Row) const;

    // Live values on, and the grid read-only, or both off; on shows the panel.
    void SetReadOnly(bool Value);
    void SetVisible(bool Value);

    static uint8_t EntityKind(const TGraphicObject& Obj);
    // Shows Obj's data in drawing coordinates. Apply is offered only where the object can take
    // the values without its transform; otherwise the grid is read-only.
    void ShowEntity(TObject2D& Obj);
    // A picked object (a tree node, the select-one-object tool): read-only off, panel shown,
    // mode None, its data shown, and it becomes Entity.
    void ShowPicked(TObject2D& Obj);
    // Writes the grid's values into Entity (nothing without one). Every cell is read first, so a
    // cell that is not a number raises before anything changes.
    void ApplyValues();
    // A click on the run-time button with that tag.
    void ButtonClick(int32_t Tag);

    // ---- live values (TLiveInfoPanel)
    bool LiveInfo() const override { return FLiveInfo; }
    void ShowSegmentInfo(const TPoint2D& P1, const TPoint2D& P2) override;
    void ShowBoxInfo(const TPoint2D& P1, const TPoint2D& P2) override;
    void ShowCircleInfo(const TPoint2D& Centre, const TPoint2D& P, double Radius) override;
    void ShowArcInfo(double CX, double CY, double Radius, double StartAngle, double EndAngle) override;
    void ShowEllipseInfo(const TPoint2D& P1, const TPoint2D& P2) override;
    void ShowCounts(int32_t N1, int32_t N2);

    // ---- layout helpers
    void SetRows(const std::vector<int32_t>& TitleIds);
    void SetColumns(const std::vector<int32_t>& TitleIds, int32_t GutterWidth);
    void CreateButtons(const std::vector<TInfoEditButton>& Specs, bool GridVisible);
    void FreeButtons();
    static std::string TextById(int32_t Id);
    static std::vector<std::string> TextsById(const std::vector<int32_t>& Ids);

    // What the widgets show.
    const TInfoEditLayout& Layout() const { return FLayout; }
    // The height of a grid row in pixels, the title row's too.
    int32_t RowHeight() const { return FRowHeight; }
    // The grid's width in pixels, which the column widths follow (set by the widget).
    int32_t GridWidth = 200;

    // The object whose data is shown; set by the caller after ShowEntity. Weak: when the attached
    // drawing frees it, the panel drops its rows and its Apply button and hides.
    TObject2D* Entity = nullptr;
    TPanelMode PanelMode = TPanelMode::None;
    int32_t ValueBase = 0;
    std::array<double, InfoEditValueCount> Values{};

    // Told after each change of the layout, once per batch.
    std::function<void()> OnChanged;
    // Told on every SetMode: the side panel shows its geometry tab.
    std::function<void()> OnShowGeometryTab;

private:
    // Changes between BeginUpdate and EndUpdate are told once.
    void BeginUpdate() { ++UpdateDepth; }
    void ApplyMode(TPanelMode Mode);
    void ForgetEntity();
    void EndUpdate();
    void Changed();
    void SetCell(int32_t Row, int32_t Col, const std::string& Text);
    void SetCellNumber(int32_t Row, int32_t Col, double Value);
    void SetCellPoint(int32_t Row, const TPoint2D& P);
    // Caption, rows, columns (gutter) and, by Apply, the Apply button or a read-only grid.
    void EntityLayout(int32_t Caption, const std::vector<int32_t>& Rows, int32_t Gutter, TApply Apply);
    const std::string& Cell(int32_t Row, int32_t Col) const;

    TInfoEditLayout FLayout;
    int32_t FRowHeight;
    bool FLiveInfo = false;
    // The number of value rows of the current command mode; SetValue stores only into those.
    int32_t ValueRows = 0;
    int32_t UpdateDepth = 0;
    bool Dirty = false;
    TQV_01Cmp* Drawing = nullptr;
    int32_t FreeListener = 0;
};

// The program's panel, made with the main window; null before and after. Not owned.
extern TInfoEdit* InfoEdit;
