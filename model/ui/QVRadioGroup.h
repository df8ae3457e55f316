#pragma once
// A titled group of radio buttons with an item list and an item index, as the forms' option
// groups need (the mirror axis, the units ...). Items are translated like combo-box items.
#include <QGroupBox>
#include <QString>
#include <QStringList>

class QButtonGroup;
class QRadioButton;
class QVBoxLayout;

class TRadioGroup : public QGroupBox {
public:
    explicit TRadioGroup(QWidget* parent = nullptr);

    void SetItems(const QStringList& items);
    int ItemCount() const;
    QString ItemText(int i) const;
    void SetItemText(int i, const QString& text);
    // -1 when no item is chosen.
    int ItemIndex() const;
    void SetItemIndex(int i);

private:
    QVBoxLayout* Layout;
    QButtonGroup* Buttons;
};
