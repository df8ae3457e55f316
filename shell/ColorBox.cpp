#include "ColorBox.h"

#include "QVGuard.h"
#include "ShellMessages.h"

#include <QPainter>
#include <QPixmap>

#include <array>

namespace {
struct TNamedColour {
    int32_t Colour;
    const char* Name;
};
// The sixteen standard colours of a colour box, 0x00BBGGRR.
constexpr std::array<TNamedColour, 16> StandardColours = {{
    {0x000000, "Black"},
    {0x000080, "Maroon"},
    {0x008000, "Green"},
    {0x008080, "Olive"},
    {0x800000, "Navy"},
    {0x800080, "Purple"},
    {0x808000, "Teal"},
    {0x808080, "Gray"},
    {0xC0C0C0, "Silver"},
    {0x0000FF, "Red"},
    {0x00FF00, "Lime"},
    {0x00FFFF, "Yellow"},
    {0xFF0000, "Blue"},
    {0xFF00FF, "Fuchsia"},
    {0xFFFF00, "Aqua"},
    {0xFFFFFF, "White"},
}};
constexpr int CustomRole = Qt::UserRole + 1;

QColor ToQColor(int32_t C)
{
    return {C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF};
}

QIcon Swatch(int32_t C)
{
    QPixmap p(16, 12);
    p.fill(ToQColor(C));
    QPainter painter(&p);
    painter.setPen(Qt::black);
    painter.drawRect(0, 0, 15, 11);
    return QIcon(p);
}
} // namespace

TColorBox::TColorBox(QWidget* Parent) : QComboBox(Parent)
{
    for (const TNamedColour& c : StandardColours)
        addItem(Swatch(c.Colour), c.Name, c.Colour);
    addItem(tr("Custom..."));
    setItemData(count() - 1, true, CustomRole);
    setCurrentIndex(0);
    connect(this, &QComboBox::activated, this, [this](int Index) { GuardedCall([&] { Picked(Index); }); });
}

int TColorBox::IndexOf(int32_t Colour) const
{
    for (int i = 0; i < count(); ++i)
        if (!itemData(i, CustomRole).toBool() && itemData(i).toInt() == Colour)
            return i;
    return -1;
}

void TColorBox::SetSelected(int32_t Colour)
{
    int i = IndexOf(Colour);
    if (i < 0) {
        // One item for a colour of the user's own, just before "Custom...".
        i = count() - 1;
        insertItem(i, Swatch(Colour), QString("#%1").arg(ToQColor(Colour).name().mid(1).toUpper()), Colour);
    }
    setCurrentIndex(i);
    const bool changed = Colour != FSelected;
    FSelected = Colour;
    if (changed && OnChange)
        OnChange(Colour);
}

void TColorBox::Picked(int Index)
{
    if (itemData(Index, CustomRole).toBool()) {
        const std::optional<int32_t> chosen = AskColour(FSelected);
        if (!chosen) {
            setCurrentIndex(IndexOf(FSelected));
            return;
        }
        SetSelected(*chosen);
        return;
    }
    SetSelected(itemData(Index).toInt());
}
