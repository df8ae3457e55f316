#include "UnitGrid.h"

#include "ui_UnitGrid.h"

#include "QVCADPrg.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "QVTranslate.h"
#include "UnitConfig.h"

#include <QPainter>
#include <QRadioButton>
#include <QShowEvent>
#include <QSignalBlocker>

namespace {
// The frame inside the selector: its corners carry the buttons.
constexpr int FrameMargin = 10;

// A step or size: a positive number; none for a text that is no number or not above zero.
std::optional<double> PositiveValue(const QString& Text)
{
    const std::optional<double> v = ParseUserNumber(Text.toStdString());
    if (!v || !(*v > 0))
        return std::nullopt;
    return v;
}

// A subdivision count: a whole number from 0 up.
std::optional<int32_t> SubdivValue(const QString& Text)
{
    const std::optional<double> v = ParseUserNumber(Text.toStdString());
    if (!v || *v < 0 || *v > 1000 || *v != static_cast<int32_t>(*v))
        return std::nullopt;
    return static_cast<int32_t>(*v);
}

void SetBoxText(QComboBox* Box, const std::string& Text)
{
    const QSignalBlocker blocker(Box);
    Box->setEditText(QString::fromStdString(Text));
}

// The grid rebuilds again however the step change ends.
struct TRebuildOff {
    explicit TRebuildOff(TQVScene& View) : View(View) { View.GridRebuildEnabled = false; }
    ~TRebuildOff() { View.GridRebuildEnabled = true; }
    TRebuildOff(const TRebuildOff&) = delete;
    TRebuildOff& operator=(const TRebuildOff&) = delete;
    TQVScene& View;
};
} // namespace

// ---- the origin selector

TOrigineComp::TOrigineComp(QWidget* Parent) : QWidget(Parent)
{
    setMinimumSize(150, 90);
    for (int i = 0; i < 5; ++i) {
        auto* b = new QRadioButton(this);
        b->setObjectName(QString("rbtGridOrigin%1").arg(i));
        b->resize(b->sizeHint().height(), b->sizeHint().height());
        connect(b, &QRadioButton::clicked, this, [this, i] {
            if (OnClick)
                GuardedCall([&] { OnClick(i); });
        });
        FButtons[static_cast<size_t>(i)] = b;
    }
    FButtons[0]->setChecked(true);
}

void TOrigineComp::SetIndex(int32_t I)
{
    if (I >= 0 && I < 5)
        FButtons[static_cast<size_t>(I)]->setChecked(true);
}

int32_t TOrigineComp::Index() const
{
    for (int i = 0; i < 5; ++i)
        if (FButtons[static_cast<size_t>(i)]->isChecked())
            return i;
    return 0;
}

void TOrigineComp::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    const QRect f = rect().adjusted(FrameMargin, FrameMargin, -FrameMargin, -FrameMargin);
    const std::array<QPoint, 5> centres = {f.bottomLeft(), f.topLeft(), f.topRight(), f.bottomRight(),
                                           f.center()};
    for (size_t i = 0; i < 5; ++i) {
        QRadioButton* b = FButtons[i];
        b->move(centres[i] - QPoint(b->width() / 2, b->height() / 2));
    }
}

void TOrigineComp::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QRect f = rect().adjusted(FrameMargin, FrameMargin, -FrameMargin, -FrameMargin);
    p.setPen(palette().color(QPalette::Mid));
    p.drawRect(f);
    p.drawLine(f.left(), f.center().y(), f.right(), f.center().y());
    p.drawLine(f.center().x(), f.top(), f.center().x(), f.bottom());
}

// ---- the snap switch

void TSetGrid::SetSnap(bool Value)
{
    if (Value == FSnap)
        return;
    FSnap = Value;
    FBusy = true;
    Prog.Snap2Grid = Value;
    Config.Snap2Grid = Value;
    for (const auto& f : Followers)
        GuardedCall([&] { f(Value); });
    FBusy = false;
}

// ---- the dialog

TfrmGrid::TfrmGrid(QWidget* Parent, TQVScene& V, TQV_00CADProg& P, TAppConfig& C, TSetGrid& S)
    : QDialog(Parent), ui(new Ui::TfrmGrid), View(V), Prog(P), Config(C), SetGrid(S)
{
    ui->setupUi(this);
    for (QComboBox* box : {ui->nol_cboGridX, ui->nol_cboGridY, ui->nol_cboGridSubX, ui->nol_cboGridSubY,
                           ui->nol_cboXSnap, ui->nol_cboYSnap}) {
        box->setInsertPolicy(QComboBox::NoInsert);
        // Keys reach an editable combo box first, which hands them to its edit directly.
        InstallKeyFilter(box, SoloNumeriEMeno);
    }
    InstallKeyFilter(ui->txtGridSizeX, SoloNumeriPos);
    InstallKeyFilter(ui->txtGridSizeY, SoloNumeriPos);
    auto on = [this](QComboBox* Box, void (TfrmGrid::*Handler)(QComboBox*, QComboBox*, bool),
                     QComboBox* Other, bool X) {
        connect(Box, &QComboBox::currentTextChanged, this,
                [=, this] { GuardedCall([&] { (this->*Handler)(Box, Other, X); }); });
    };
    on(ui->nol_cboGridX, &TfrmGrid::StepChange, ui->nol_cboGridY, true);
    on(ui->nol_cboGridY, &TfrmGrid::StepChange, ui->nol_cboGridX, false);
    on(ui->nol_cboGridSubX, &TfrmGrid::SubdivChange, ui->nol_cboGridSubY, true);
    on(ui->nol_cboGridSubY, &TfrmGrid::SubdivChange, ui->nol_cboGridSubX, false);
    on(ui->nol_cboXSnap, &TfrmGrid::SnapChange, ui->nol_cboYSnap, true);
    on(ui->nol_cboYSnap, &TfrmGrid::SnapChange, ui->nol_cboXSnap, false);
    connect(ui->txtGridSizeX, &QLineEdit::textEdited, this,
            [this](const QString& T) { GuardedCall([&] { SizeChange(true, T); }); });
    connect(ui->txtGridSizeY, &QLineEdit::textEdited, this,
            [this](const QString& T) { GuardedCall([&] { SizeChange(false, T); }); });
    connect(ui->chkShowGrid, &QCheckBox::clicked, this, [this](bool On) {
        GuardedCall([&] {
            if (ShowGrid)
                ShowGrid(On);
            View.SetGridVisible(On);
        });
    });
    connect(ui->chkSnap2Grid, &QCheckBox::toggled, this, [this](bool On) {
        if (!SetGrid.Busy())
            SetGrid.SetSnap(On);
    });
    ui->pnlGridOrigin->OnClick = [this](int32_t I) {
        View.SetGridOrigin(I);
        View.RebuildGrid();
    };
    connect(ui->sbtOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->sbtCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmGrid::~TfrmGrid() = default;

void TfrmGrid::SetSnapChecked(bool Snap)
{
    ui->chkSnap2Grid->setChecked(Snap);
}

void TfrmGrid::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        GuardedCall([this] { FormShow(); });
}

void TfrmGrid::FormShow()
{
    TranslateComponents({this}, LanguageIni.get());
    const QSignalBlocker bx(ui->txtGridSizeX), by(ui->txtGridSizeY);
    ui->txtGridSizeX->setText(QString::fromStdString(FormatCoord(Config.GridSizeX)));
    ui->txtGridSizeY->setText(QString::fromStdString(FormatCoord(Config.GridSizeY)));
    SetBoxText(ui->nol_cboGridX, FormatCoord(Config.GridX));
    SetBoxText(ui->nol_cboGridY, FormatCoord(Config.GridY));
    SetBoxText(ui->nol_cboGridSubX, std::to_string(Config.GridSubX));
    SetBoxText(ui->nol_cboGridSubY, std::to_string(Config.GridSubY));
    SetBoxText(ui->nol_cboXSnap, FormatCoord(Config.SnapX));
    SetBoxText(ui->nol_cboYSnap, FormatCoord(Config.SnapY));
    ui->pnlGridOrigin->SetIndex(Config.GridOrigin);
    ui->chkShowGrid->setChecked(Config.SGrid);
    ui->chkSnap2Grid->setChecked(Config.Snap2Grid);
}

void TfrmGrid::StepChange(QComboBox* Box, QComboBox* Other, bool XChanged)
{
    if (const std::optional<double> v = PositiveValue(Box->currentText()))
        LinkedGridChange(Box, Other, XChanged, ui->chkUnisceGrid->isChecked(), &TQVScene::GridStepX,
                         &TQVScene::GridStepY, &TQVScene::SetGridStepX, &TQVScene::SetGridStepY, *v);
}

void TfrmGrid::SubdivChange(QComboBox* Box, QComboBox* Other, bool XChanged)
{
    if (const std::optional<int32_t> v = SubdivValue(Box->currentText()))
        LinkedGridChange(Box, Other, XChanged, ui->chkUnisceSubGrid->isChecked(), &TQVScene::GridSubdivX,
                         &TQVScene::GridSubdivY, &TQVScene::SetGridSubdivX, &TQVScene::SetGridSubdivY, *v);
}

template <class T>
void TfrmGrid::LinkedGridChange(QComboBox* Box, QComboBox* Other, bool XChanged, bool Linked,
                                T TQVScene::*FieldX, T TQVScene::*FieldY, void (TQVScene::*SetX)(T),
                                void (TQVScene::*SetY)(T), T Value)
{
    TQVScene& view = View;
    auto field = [&view, FieldX, FieldY](bool X) { return view.*(X ? FieldX : FieldY); };
    auto set = [&view, SetX, SetY, Value](bool X) { (view.*(X ? SetX : SetY))(Value); };
    bool otherChanged = false;
    {
        const TRebuildOff off(View);
        if (Linked) {
            SetBoxText(Other, Box->currentText().toStdString());
            otherChanged = field(!XChanged) != Value;
            set(!XChanged);
        }
    }
    // One rebuild for both values.
    if (field(XChanged) != Value)
        set(XChanged);
    else if (otherChanged)
        View.RebuildGrid();
}

void TfrmGrid::SnapChange(QComboBox* Box, QComboBox* Other, bool XChanged)
{
    const std::optional<double> v = PositiveValue(Box->currentText());
    if (!v)
        return;
    (XChanged ? Prog.XSnap : Prog.YSnap) = *v;
    if (ui->chkUnisceSnap->isChecked()) {
        SetBoxText(Other, Box->currentText().toStdString());
        (XChanged ? Prog.YSnap : Prog.XSnap) = *v;
    }
}

void TfrmGrid::SizeChange(bool X, const QString& Text)
{
    const std::optional<double> v = PositiveValue(Text);
    if (!v)
        return;
    X ? View.SetGridSizeX(*v) : View.SetGridSizeY(*v);
    View.RebuildGrid();
}

void TfrmGrid::done(int Result)
{
    GuardedCall([&] { FormClose(Result != QDialog::Accepted); });
    QDialog::done(Result);
}

void TfrmGrid::FormClose(bool Cancelled)
{
    ShowStatusMessage("");
    if (Cancelled) {
        Prog.XSnap = Config.SnapX;
        Prog.YSnap = Config.SnapY;
        {
            const TRebuildOff off(View);
            View.SetGridStepX(Config.GridX);
            View.SetGridStepY(Config.GridY);
            View.SetGridSubdivX(Config.GridSubX);
            View.SetGridSubdivY(Config.GridSubY);
        }
        View.RebuildGrid();
        return;
    }
    Config.GridOrigin = View.GridOrigin;
    Config.GridSizeX = View.GetGridSizeX();
    Config.GridSizeY = View.GetGridSizeY();
    Config.GridX = View.GridStepX;
    Config.GridY = View.GridStepY;
    Config.GridSubX = View.GridSubdivX;
    Config.GridSubY = View.GridSubdivY;
    Config.SGrid = View.GridVisible;
    Config.SnapX = Prog.XSnap;
    Config.SnapY = Prog.YSnap;
    Config.Snap2Grid = ui->chkSnap2Grid->isChecked();
    View.RebuildGrid();
}
