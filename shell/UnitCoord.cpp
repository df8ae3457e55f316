#include "UnitCoord.h"

#include "ui_UnitCoord.h"

#include "QVFormat.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVTranslate.h"
#include "QVTypes.h"

#include <QShowEvent>

TfrmCoord::TfrmCoord(QWidget* Parent) : QDialog(Parent), ui(new Ui::TfrmCoord)
{
    ui->setupUi(this);
    InstallKeyFilter(ui->txtCoordX, SoloNumeriEMeno);
    InstallKeyFilter(ui->txtCoordY, SoloNumeriEMeno);
    connect(ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmCoord::~TfrmCoord() = default;

void TfrmCoord::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (Event->spontaneous())
        return;
    TranslateComponents({this}, LanguageIni.get());
    ui->txtCoordX->setFocus();
    ui->txtCoordX->selectAll();
}

std::optional<TPoint2D> TfrmCoord::Execute(double X, double Y)
{
    ui->txtCoordX->setText(QString::fromStdString(FormatCoord(X)));
    ui->txtCoordY->setText(QString::fromStdString(FormatCoord(Y)));
    if (exec() != QDialog::Accepted)
        return std::nullopt;
    // Both are read before anything moves: a bad one sends no point at all.
    const std::optional<double> x = ParseNumberOrReport(ui->txtCoordX->text().toStdString());
    if (!x)
        return std::nullopt;
    const std::optional<double> y = ParseNumberOrReport(ui->txtCoordY->text().toStdString());
    if (!y)
        return std::nullopt;
    return TPoint2D{*x, *y, 1};
}
