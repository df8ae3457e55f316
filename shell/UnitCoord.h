#pragma once
// The coordinate dialog: the user types a point instead of clicking it. The caller fills the two
// edits, shows the dialog modally and reads them on OK.
#include <QDialog>

#include <memory>
#include <optional>
#include <string>

namespace Ui {
class TfrmCoord;
}
#include "QVTypes.h"

class TfrmCoord : public QDialog {
public:
    explicit TfrmCoord(QWidget* Parent);
    ~TfrmCoord() override;

    // Shows X and Y (through the coordinate format) and waits for the user: the typed point on OK,
    // none on Cancel or when a text is no number (the user is told which).
    std::optional<TPoint2D> Execute(double X, double Y);

protected:
    void showEvent(QShowEvent* Event) override;

private:
    std::unique_ptr<Ui::TfrmCoord> ui;
};
