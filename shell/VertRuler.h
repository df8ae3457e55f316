#pragma once
// A small vertical scale: a zero line at a pixel row, major marks every ten minor steps with their
// values, a half mark between them and the minor marks, running down and up from the zero line,
// with a unit text at the bottom. The simulation page shows the depth of the cut on it.
#include <QString>
#include <QWidget>

#include <cstdint>
#include <vector>

enum TPlaceVert { plLeft, plRight };

// What the scale draws, in the control's pixels: lines from (X0, Y) to (X1, Y) and texts whose
// top is at Y.
struct TRulerLine {
    int32_t X0, Y, X1;
};
struct TRulerText {
    int32_t X, Y;
    QString Text;
};
struct TRulerMarks {
    std::vector<TRulerLine> Lines;
    std::vector<TRulerText> Texts;
};

struct TRulerSettings {
    int32_t Width = 25, Height = 300;
    int32_t Factor = 2;   // pixels per minor step
    int32_t Offset = 100; // row of the zero line
    double TextIncrement = 1.0;
    bool ShowText = true;
    TPlaceVert EdgePos = plLeft;
    bool ShowUnit = true;
    QString TextUnit = "mm";
    int32_t UnitTextHeight = 0; // height of the unit text, for its place at the bottom
};

// The marks and texts of the scale. A step below one pixel counts as one, and divisions that
// cannot be seen, wholly above the top edge or below the bottom one, are not made.
TRulerMarks RulerMarks(const TRulerSettings& S);

class TVertRuler : public QWidget {
public:
    // Parent must be a widget: it becomes the ruler's parent.
    explicit TVertRuler(QWidget* Parent);

    QColor ScalaColor() const { return FColor; }
    void SetScalaColor(const QColor& C);
    int32_t ScalaFactor() const { return FSettings.Factor; }
    void SetScalaFactor(int32_t V);
    int32_t ScalaFontSize() const { return FFontSize; }
    void SetScalaFontSize(int32_t V);
    int32_t ScalaOffset() const { return FSettings.Offset; }
    void SetScalaOffset(int32_t V);
    double ScalaTextIncrement() const { return FSettings.TextIncrement; }
    void SetScalaTextIncrement(double V);
    bool ScalaShowText() const { return FSettings.ShowText; }
    void SetScalaShowText(bool V);
    TPlaceVert ScalaEdgePos() const { return FSettings.EdgePos; }
    void SetScalaEdgePos(TPlaceVert V);
    bool ShowUnit() const { return FSettings.ShowUnit; }
    void SetShowUnit(bool V);
    QString TextUnit() const { return FSettings.TextUnit; }
    void SetTextUnit(const QString& V);

    // The scale as it would be drawn at the control's present size.
    TRulerMarks Marks() const;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QFont ScaleFont() const;

    TRulerSettings FSettings;
    QColor FColor = Qt::black;
    int32_t FFontSize = 6;
};
