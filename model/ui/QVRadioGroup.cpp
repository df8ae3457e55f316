#include "QVRadioGroup.h"

#include <QButtonGroup>
#include <QRadioButton>
#include <QVBoxLayout>

TRadioGroup::TRadioGroup(QWidget* parent)
    : QGroupBox(parent), Layout(new QVBoxLayout(this)), Buttons(new QButtonGroup(this))
{
}

void TRadioGroup::SetItems(const QStringList& items)
{
    for (QAbstractButton* b : Buttons->buttons()) {
        Buttons->removeButton(b);
        delete b;
    }
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        Layout->addWidget(b);
        Buttons->addButton(b, i);
    }
}

int TRadioGroup::ItemCount() const { return static_cast<int>(Buttons->buttons().size()); }

QString TRadioGroup::ItemText(int i) const
{
    const QAbstractButton* b = Buttons->button(i);
    return b ? b->text() : QString();
}

void TRadioGroup::SetItemText(int i, const QString& text)
{
    if (QAbstractButton* b = Buttons->button(i))
        b->setText(text);
}

int TRadioGroup::ItemIndex() const { return Buttons->checkedId(); }

void TRadioGroup::SetItemIndex(int i)
{
    if (QAbstractButton* b = Buttons->button(i)) {
        b->setChecked(true);
    } else if (QAbstractButton* checked = Buttons->checkedButton()) {
        Buttons->setExclusive(false);
        checked->setChecked(false);
        Buttons->setExclusive(true);
    }
}
