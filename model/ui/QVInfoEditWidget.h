#pragma once
// The property panel on screen: the group box "grpInfoEdit" holding the string grid "SGInfoEdit"
// and the run-time buttons, showing what a TInfoEdit lays out. The user's edits go back to it as
// they are typed (so that a command's preview follows), and its buttons' clicks through the
// guard: a cell that is not a number is reported and changes nothing.
#include "QVInfoEdit.h"

#include <QGroupBox>

#include <cstdint>
#include <functional>
#include <vector>

class QPushButton;
class QTableWidget;
class QTableWidgetItem;

class TInfoEditWidget : public QGroupBox {
public:
    // Shows Panel (not owned), which must outlive the widget.
    explicit TInfoEditWidget(TInfoEdit& Panel, QWidget* Parent = nullptr);
    ~TInfoEditWidget() override;
    TInfoEditWidget(const TInfoEditWidget&) = delete;
    TInfoEditWidget& operator=(const TInfoEditWidget&) = delete;

    QTableWidget* Grid() const { return FGrid; }
    QPushButton* Button(int Tag) const;
    int ButtonCount() const { return static_cast<int>(Buttons.size()); }

    // The main window's cell-change handler: after an edit the command of a mode that takes
    // typed values (TInfoEdit::CellChanged) runs again with the new value.
    std::function<void(TPanelMode Mode)> OnRerunCommand;

protected:
    void resizeEvent(QResizeEvent* Event) override;

private:
    // Shows the panel's layout.
    void Sync();
    void PlaceGrid();
    void SyncButtons();
    void CellEdited(QTableWidgetItem* Item);

    TInfoEdit& Panel;
    QTableWidget* FGrid;
    std::vector<QPushButton*> Buttons; // children of the group box
    // While Sync writes the cells, their change signals are not edits.
    bool Syncing = false;
};
