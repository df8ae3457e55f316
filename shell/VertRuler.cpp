#include "VertRuler.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace {
// The value of a major mark in its shortest decimal form.
QString MarkValue(int32_t Step, double Increment)
{
    return QString::number(Step * Increment, 'g', 15);
}
} // namespace

TRulerMarks RulerMarks(const TRulerSettings& S)
{
    TRulerMarks m;
    const int32_t factor = std::max(S.Factor, 1);
    const int32_t major = 10 * factor;
    const bool left = S.EdgePos == plLeft;
    const int32_t x0 = left ? 1 : S.Width - 2;
    const int32_t x1 = left ? 10 : S.Width - 10;
    const int32_t d = left ? 1 : -1;
    const int32_t textX = left ? x1 + 1 : x1 - 10;
    // Rows in 64 bits: a zero line far outside the control must not overflow them.
    const int64_t offset = S.Offset, height = S.Height;
    auto division = [&](int64_t s) {
        const auto y = static_cast<int32_t>(s * major + offset);
        m.Lines.push_back({x0, y, x1});
        if (S.ShowText)
            m.Texts.push_back({textX, y - 4, MarkValue(static_cast<int32_t>(s), S.TextIncrement)});
        m.Lines.push_back({x0, y + major / 2, x1 - 3 * d});
        for (int32_t i = 0; i <= 10; ++i)
            m.Lines.push_back({x0, y + i * factor, x1 - 5 * d});
    };
    // Only the divisions that can be seen, both ways: none wholly above the top edge or below
    // the bottom one (a zero line far outside the control would otherwise take for ever). A
    // division reaches from its row down to the next one.
    const auto floorDiv = [](int64_t a, int64_t b) { return a / b - (a % b != 0 && a < 0); };
    const int64_t firstSeen = floorDiv(-offset, major);
    const int64_t lastSeen = floorDiv(height - offset, major);
    if (offset <= height)
        for (int64_t s = std::max<int64_t>(0, firstSeen); s <= lastSeen; ++s)
            division(s);
    if (offset >= 1) {
        const int64_t first = std::min<int64_t>(0, lastSeen);
        const int64_t last = -std::min(offset - 1, offset / major + 1);
        for (int64_t s = first; s >= last; --s)
            division(s);
    }
    if (S.ShowUnit)
        m.Texts.push_back({textX, S.Height - S.UnitTextHeight - 4, S.TextUnit});
    return m;
}

TVertRuler::TVertRuler(QWidget* Parent) : QWidget(Parent)
{
    setGeometry(30, 122, 25, 300);
    setAutoFillBackground(true);
}

#define RULER_SETTER(Name, Type, Field)                                                                      \
    void TVertRuler::Set##Name(Type V)                                                                       \
    {                                                                                                        \
        Field = V;                                                                                           \
        update();                                                                                            \
    }
RULER_SETTER(ScalaColor, const QColor&, FColor)
RULER_SETTER(ScalaFactor, int32_t, FSettings.Factor)
RULER_SETTER(ScalaFontSize, int32_t, FFontSize)
RULER_SETTER(ScalaOffset, int32_t, FSettings.Offset)
RULER_SETTER(ScalaTextIncrement, double, FSettings.TextIncrement)
RULER_SETTER(ScalaShowText, bool, FSettings.ShowText)
RULER_SETTER(ScalaEdgePos, TPlaceVert, FSettings.EdgePos)
RULER_SETTER(ShowUnit, bool, FSettings.ShowUnit)
RULER_SETTER(TextUnit, const QString&, FSettings.TextUnit)
#undef RULER_SETTER

QFont TVertRuler::ScaleFont() const
{
    QFont f = font();
    f.setStyleHint(QFont::SansSerif);
    f.setPointSize(std::max(FFontSize, 1));
    return f;
}

TRulerMarks TVertRuler::Marks() const
{
    TRulerSettings s = FSettings;
    s.Width = width();
    s.Height = height();
    s.UnitTextHeight = QFontMetrics(ScaleFont()).height();
    return RulerMarks(s);
}

void TVertRuler::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(QRect(1, 1, width() - 2, height() - 2), palette().color(QPalette::Light));
    p.setPen(FColor);
    p.setFont(ScaleFont());
    const TRulerMarks m = Marks();
    for (const TRulerLine& l : m.Lines)
        p.drawLine(l.X0, l.Y, l.X1, l.Y);
    const int ascent = QFontMetrics(p.font()).ascent();
    for (const TRulerText& t : m.Texts)
        p.drawText(t.X, t.Y + ascent, t.Text);
    p.setPen(palette().color(QPalette::Light).lighter(120));
    p.drawLine(0, 0, width(), 0);
    p.setPen(palette().color(QPalette::Dark));
    p.drawLine(0, height() - 1, width(), height() - 1);
}
