#include "DlgOpenGeo.h"

#include "Bitmap32.h"
#include "QVCmp.h"
#include "QVDXFImport.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVKeyFilters.h"
#include "QVLanguage.h"
#include "QVVariabili.h"
#include "UnitConfig.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

#include <algorithm>

namespace {

QString Q(const std::string& S)
{
    return QString::fromStdString(S);
}
std::string ToolText(const char* Key)
{
    return GetLangToolWin(Key);
}

// The origin selector: a rectangle inset by 2 pixels with its two middle lines, in the
// button-shadow colour; the corner and centre radios sit on it.
class TOriginPicture : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setPen(palette().color(QPalette::Dark));
        const QRect r = rect().adjusted(2, 2, -3, -3);
        p.drawRect(r);
        p.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
        p.drawLine(r.center().x(), r.top(), r.center().x(), r.bottom());
    }
};

// While the panel writes into its own edits, their change handlers do nothing.
class TControlsQuiet {
public:
    TControlsQuiet() : Kept(ControlsReady) { ControlsReady = false; }
    ~TControlsQuiet() { ControlsReady = Kept; }
    TControlsQuiet(const TControlsQuiet&) = delete;
    TControlsQuiet& operator=(const TControlsQuiet&) = delete;

private:
    bool Kept;
};

QLabel* RightLabel(QWidget* Parent, const std::string& Text, int X, int Y, int W)
{
    auto* label = new QLabel(Q(Text), Parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    label->setGeometry(X, Y - 2, W, 17);
    return label;
}

QLineEdit* Edit(QWidget* Parent, const char* Name, int X, int Y, int W, TKeyFilterProc Filter)
{
    auto* edit = new QLineEdit(Parent);
    edit->setObjectName(Name);
    edit->setGeometry(X, Y, W, 21);
    InstallKeyFilter(edit, Filter);
    return edit;
}

// The width a number field needs to show a value like "-10000.000" whole in the widget's font:
// the panel's sizes were drawn for a smaller font, in which "1083.733" lost its first digit.
int NumberFieldWidth(const QWidget& W, int AtLeast)
{
    return std::max(AtLeast, W.fontMetrics().horizontalAdvance(QStringLiteral("-10000.000")) + 10);
}

// A row of label, number field and unit between Left and Right in a group: the label as wide as
// its text, the unit at the right, the field between them as wide as it can be.
void PlaceFieldRow(QLabel* Label, QLineEdit* Edit, QLabel* Unit, int Left, int Right, int Y)
{
    const int unitWidth = Unit ? Unit->fontMetrics().horizontalAdvance(Unit->text()) + 4 : 0;
    const int labelWidth = Label->fontMetrics().horizontalAdvance(Label->text()) + 4;
    const int editRight = Unit ? Right - unitWidth - 6 : Right;
    const int editLeft = std::min(Left + labelWidth + 6, editRight - NumberFieldWidth(*Edit, 40));
    Label->setGeometry(Left, Y - 2, std::max(0, editLeft - 6 - Left), Label->height());
    Edit->setGeometry(editLeft, Y - 4, editRight - editLeft, Edit->height());
    if (Unit)
        Unit->setGeometry(editRight + 6, Y - 2, unitWidth, Unit->height());
}

} // namespace

TDlgOpenGeo::TDlgOpenGeo(QWidget* Sheet, TQV_01Cmp2D& Drawing) : TVecRasPlacement(Drawing)
{
    FPage = new QWidget(Sheet);
    FPage->setObjectName("pnlOpenGeo");
    FPage->setGeometry(0, 0, 424, 420);
    Build();
    SetApplied(true);
    FPage->show();
}

TDlgOpenGeo::~TDlgOpenGeo()
{
    delete FPage.data();
}

void TDlgOpenGeo::Build()
{
    QWidget* page = FPage;
    grpInfo = new QGroupBox(page);
    grpInfo->setObjectName("grpOpenInfo");
    grpInfo->setGeometry(8, 8, 208, 313);
    tvInfo = new QTreeWidget(grpInfo);
    tvInfo->setObjectName("tvOpenInfo");
    tvInfo->setHeaderHidden(true);
    // A long line ("Maximum X1071.233, Y770.25") is shown whole, the tree scrolling sideways,
    // never cut off with an ellipsis.
    tvInfo->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    tvInfo->header()->setStretchLastSection(false);
    tvInfo->setTextElideMode(Qt::ElideNone);
    tvInfo->setGeometry(8, 24, 208 - 16, 313 - 40);

    grpDxfRotate = new QGroupBox(Q(ToolText("grpDxfRotate")), page);
    grpDxfRotate->setObjectName("grpDxfRotate");
    grpDxfRotate->setGeometry(8, 328, 208, 49);
    RightLabel(grpDxfRotate, ToolText("lblDxfRotate"), 8, 20, 95)->setObjectName("lblDxfRotate");
    txtDxfRotate = Edit(grpDxfRotate, "txtDxfRotate", 112, 16, 73, SoloNumeriEMenoInvio);
    QObject::connect(txtDxfRotate, &QLineEdit::textEdited, page,
                     [this](const QString& t) { RotationEdited(t); });

    grpAttribb = new QGroupBox(Q(ToolText("grpAttribb")), page);
    grpAttribb->setObjectName("grpAttribb");
    grpAttribb->setGeometry(224, 8, 193, 112);
    const char* sizeLabels[3] = {"lblAttriba", "lblAttribb", "lblAttribc"};
    const char* sizeEdits[3] = {"txtAttriba", "txtAttribb", "txtAttribc"};
    const std::string unit = AppConfig ? AppConfig->UnitName : std::string(UnitNames[1]);
    for (int i = 0; i < 3; ++i) {
        lblAttrib[i] = RightLabel(grpAttribb, ToolText(sizeLabels[i]), 8, 20 + 24 * i, 72);
        lblAttrib[i]->setObjectName(sizeLabels[i]);
        txtAttrib[i] = Edit(grpAttribb, sizeEdits[i], 88, 16 + 24 * i, 57, SoloNumeriEMenoInvio);
        lblUnit[i] = new QLabel(Q(unit), grpAttribb);
        lblUnit[i]->setGeometry(160, 18 + 24 * i, 30, 17);
        PlaceFieldRow(lblAttrib[i], txtAttrib[i], lblUnit[i], 8, 193 - 6, 20 + 24 * i);
        QObject::connect(txtAttrib[i], &QLineEdit::textEdited, page,
                         [this, i](const QString& t) { SizeEdited(i, t); });
    }
    chkRatio = new QCheckBox(Q(ToolText("chkRatio")), grpAttribb);
    chkRatio->setObjectName("chkRatio");
    chkRatio->setGeometry(8, 90, 177, 17);
    chkRatio->setChecked(true);
    QObject::connect(chkRatio, &QCheckBox::toggled, page, [this](bool on) { SetRatioLock(on); });

    grpOrigin = new QGroupBox(Q(ToolText("grpOrigin")), page);
    grpOrigin->setObjectName("grpOrigin");
    grpOrigin->setGeometry(224, 124, 193, 253);
    pbxOrigin = new TOriginPicture(grpOrigin);
    pbxOrigin->setObjectName("pbxOrigin");
    OriginRadios = new QButtonGroup(page);
    for (int k = 0; k < 6; ++k) {
        rbtOrigin[k] = new QRadioButton(grpOrigin);
        rbtOrigin[k]->setObjectName(k == 0 ? QString("rbtOriginDxf") : QString("rbtOrigin%1").arg(k));
        if (k == 0)
            rbtOrigin[k]->setText(Q(ToolText("rbtOriginDxf")));
        OriginRadios->addButton(rbtOrigin[k], k);
    }
    PlaceOriginRadios(45, 24, 120, 60, 12);
    ZRadios = new QButtonGroup(page);
    const char* zLabels[2] = {"lblZTop", "lblZBottom"};
    for (int k = 0; k < 2; ++k) {
        rbtZ[k] = new QRadioButton(grpOrigin);
        rbtZ[k]->setObjectName(QString("rbtOrigin%1").arg(6 + k));
        rbtZ[k]->setGeometry(120, 20 + 40 * k, 14, 14);
        lblZ[k] = new QLabel(Q(ToolText(zLabels[k])), grpOrigin);
        lblZ[k]->setObjectName(zLabels[k]);
        lblZ[k]->setGeometry(135, 22 + 40 * k, 50, 13);
        ZRadios->addButton(rbtZ[k], k);
        rbtZ[k]->hide();
        lblZ[k]->hide();
    }
    QObject::connect(ZRadios, &QButtonGroup::idToggled, page, [this](int k, bool on) {
        if (on)
            ZRadioChosen(k == 0);
    });
    QObject::connect(OriginRadios, &QButtonGroup::idToggled, page, [this](int k, bool on) {
        if (on)
            OriginRadioChosen(k);
    });
    for (const int y : {112, 152}) {
        auto* bevel = new QFrame(grpOrigin);
        bevel->setFrameShape(QFrame::HLine);
        bevel->setFrameShadow(QFrame::Sunken);
        bevel->setGeometry(16, y, 160, 7);
    }
    sbtSetOrigin = new QPushButton(Q(ToolText("sbtSetOrigin")), grpOrigin);
    sbtSetOrigin->setObjectName("sbtSetOrigin");
    sbtSetOrigin->setGeometry(64, 128, 81, 22);
    QObject::connect(sbtSetOrigin, &QPushButton::clicked, page, [this] { ArmOriginPick(); });
    const char* originLabels[3] = {"lblOriginX", "lblOriginY", "lblOriginZ"};
    const char* originEdits[3] = {"txtOriginX", "txtOriginY", "txtOriginZ"};
    for (int i = 0; i < 3; ++i) {
        lblOrigin[i] = RightLabel(grpOrigin, ToolText(originLabels[i]), 8, 178 + 24 * i, 97);
        lblOrigin[i]->setObjectName(originLabels[i]);
        txtOrigin[i] = Edit(grpOrigin, originEdits[i], 112, 172 + 24 * i, 65, SoloNumeriEMeno);
        PlaceFieldRow(lblOrigin[i], txtOrigin[i], nullptr, 8, 177, 176 + 24 * i);
        txtOrigin[i]->setText("0");
        QObject::connect(txtOrigin[i], &QLineEdit::textEdited, page,
                         [this, i](const QString& t) { OriginEdited(i, t); });
    }
    // A flat file has no depth to size or place.
    lblOrigin[2]->setEnabled(false);
    txtOrigin[2]->setEnabled(false);

    chkDxfAci = new QCheckBox(Q(ToolText("chkDxfAci")), page);
    chkDxfAci->setObjectName("chkDxfAci");
    chkDxfAci->setGeometry(8, 384, 130, 17);
    chkDxfAci->setChecked(true);
    QObject::connect(chkDxfAci, &QCheckBox::toggled, page, [this](bool on) { AciToggled(on); });
    chkAutoZoom = new QCheckBox(Q(GetLangMainCaption("mnuAutozoom")), page);
    chkAutoZoom->setObjectName("chkAutoZoom");
    chkAutoZoom->setGeometry(8, 400, 130, 17);
    chkAutoZoom->setChecked(true);
    QObject::connect(chkAutoZoom, &QCheckBox::toggled, page, [this](bool on) { AutoZoom = on; });

    sbtOpenApply = new QPushButton(Q(ToolText("sbtOpenApply")), page);
    sbtOpenApply->setObjectName("sbtOpenApply");
    sbtOpenApply->setGeometry(280, 384, 65, 25);
    QObject::connect(sbtOpenApply, &QPushButton::clicked, page,
                     [this] { GuardedCall([this] { ApplyClick(); }); });
    sbtOpenDone = new QPushButton(Q(ToolText("sbtOpenDone")), page);
    sbtOpenDone->setObjectName("sbtOpenDone");
    sbtOpenDone->setGeometry(352, 384, 65, 25);
    QObject::connect(sbtOpenDone, &QPushButton::clicked, page, [this] { DoneClicked(); });

    // Nothing but Apply, Done and auto zoom until a file is set up.
    for (QWidget* w : {static_cast<QWidget*>(grpInfo), static_cast<QWidget*>(grpDxfRotate),
                       static_cast<QWidget*>(grpAttribb), static_cast<QWidget*>(grpOrigin),
                       static_cast<QWidget*>(chkDxfAci)})
        w->hide();
}

// ---- setup ----

void TDlgOpenGeo::PlaceOriginRadios(int L, int T, int W, int H, int Gap)
{
    pbxOrigin->setGeometry(L, T, W, H);
    const QPoint at[6] = {{8, T + H + Gap},    {L - 4, T + H - 10},      {L - 4, T - 5},
                          {L + W - 10, T - 5}, {L + W - 10, T + H - 10}, {L + W / 2 - 6, T + H / 2 - 6}};
    for (int k = 0; k < 6; ++k) {
        rbtOrigin[k]->setGeometry(at[k].x(), at[k].y(), k == 0 ? 170 : 14, k == 0 ? 17 : 14);
        rbtOrigin[k]->raise();
    }
}

void TDlgOpenGeo::ShowDrawingControls(bool Dxf)
{
    grpInfo->show();
    grpDxfRotate->show();
    grpAttribb->show();
    grpOrigin->show();
    chkDxfAci->setVisible(Dxf);
    rbtOrigin[ocFileZero]->show();
    lblAttrib[2]->setEnabled(false);
    txtAttrib[2]->setEnabled(false);
    lblUnit[2]->setEnabled(false);
    const TControlsQuiet quiet;
    txtAttrib[2]->setText("0.0");
    rbtOrigin[ocFileZero]->setChecked(true);
}

void TDlgOpenGeo::ShowPictureControls()
{
    grpInfo->show();
    grpAttribb->show();
    grpOrigin->show();
    rbtOrigin[ocFileZero]->hide();
    lblAttrib[2]->setEnabled(false);
    txtAttrib[2]->setEnabled(false);
    lblUnit[2]->setEnabled(false);
    const TControlsQuiet quiet;
    txtAttrib[2]->setText("0.0");
}

void TDlgOpenGeo::ShowStlControls()
{
    ShowDrawingControls(false);
    // A surface does not turn.
    txtDxfRotate->setEnabled(false);
    lblAttrib[2]->setEnabled(true);
    lblUnit[2]->setEnabled(true);
    lblOrigin[2]->setEnabled(true);
    txtOrigin[2]->setEnabled(true);
    PlaceOriginRadios(20, 24, 80, 50, 16);
    for (int k = 0; k < 2; ++k) {
        rbtZ[k]->show();
        lblZ[k]->show();
    }
}

void TDlgOpenGeo::ShowSizes()
{
    const TControlsQuiet quiet;
    txtDxfRotate->setText(Q(FormatCoord(Rotation)));
    for (int i = 0; i < Axes(); ++i) {
        txtAttrib[i]->setText(Q(FormatCoord(ScaledSize(i))));
        // An axis without extent cannot be sized.
        txtAttrib[i]->setEnabled(AxisSizable(i));
    }
}

QTreeWidgetItem* TDlgOpenGeo::NewTreeRoot(const std::string& Text)
{
    tvInfo->clear();
    auto* root = new QTreeWidgetItem(tvInfo, QStringList(Q(Text)));
    return root;
}

void TDlgOpenGeo::AddTreeLine(QTreeWidgetItem* Root, const std::string& Text)
{
    auto* item = new QTreeWidgetItem(Root, QStringList(Q(Text)));
    item->setToolTip(0, item->text(0));
}

namespace {

std::string BaseName(const std::string& FileName)
{
    const size_t slash = FileName.find_last_of('/');
    return slash == std::string::npos ? FileName : FileName.substr(slash + 1);
}

} // namespace

void TDlgOpenGeo::AddExtentLines(QTreeWidgetItem* Root)
{
    AddTreeLine(Root, GetLangString(182) + BaseName(CurrentFile.FileName));
    AddTreeLine(Root, GetLangString(183) + " " + FormatX(Extents.First.X) + ", " + FormatY(Extents.First.Y));
    AddTreeLine(Root,
                GetLangString(184) + " " + FormatX(Extents.Second.X) + ", " + FormatY(Extents.Second.Y));
    AddTreeLine(Root, GetLangString(185) + " " + FormatCoord(SizeX));
    AddTreeLine(Root, GetLangString(186) + " " + FormatCoord(SizeY));
}

void TDlgOpenGeo::SetupDxf(const TDXF2DImport& Import)
{
    TVecRasPlacement::SetupDxf(Import);
    ShowDrawingControls(true);
    grpInfo->setTitle(Q(GetLangString(180)));
    ShowSizes();
    QTreeWidgetItem* root = NewTreeRoot(GetLangString(180) + " - Version: " + std::to_string(Import.Version));
    AddExtentLines(root);
    const std::pair<std::string, uint32_t> counts[] = {
        {GetLangString(187), Import.PointsCount},    {GetLangString(188), Import.LinesCount},
        {GetLangString(189), Import.ArcsCount},      {GetLangString(190), Import.CirclesCount},
        {GetLangString(191), Import.PolylinesCount}, {"Spline:", Import.SplinesCount},
        {GetLangString(192), Import.EllipsesCount},  {GetLangString(196), Import.TextsCount},
    };
    for (const auto& [text, count] : counts)
        AddTreeLine(root, text + " " + std::to_string(count));
    if (Import.BlocksCount > 0)
        AddTreeLine(root, GetLangString(193) + " " + std::to_string(Import.BlocksCount));
    tvInfo->expandAll();
}

void TDlgOpenGeo::SetupSvg()
{
    TVecRasPlacement::SetupSvg();
    ShowDrawingControls(false);
    grpInfo->setTitle(Q(GetLangString(181)));
    ShowSizes();
    QTreeWidgetItem* root = NewTreeRoot(GetLangString(181));
    AddExtentLines(root);
    AddTreeLine(root, GetLangString(171) + " " + std::to_string(Drawing.ObjectsCount()));
    tvInfo->expandAll();
}

void TDlgOpenGeo::SetupStl(TQV_STLSurf& Surface)
{
    ShowStlControls();
    grpInfo->setTitle(Q(GetLangString(2500)));
    {
        const TControlsQuiet quiet;
        TVecRasPlacement::SetupStl(Surface);
        rbtOrigin[ocFileZero]->setChecked(true);
        ShowSizes();
    }
    ShowStlExtents();
}

void TDlgOpenGeo::ShowStlExtents()
{
    QTreeWidgetItem* root = NewTreeRoot(GetLangString(2500));
    AddExtentLines(root);
    AddTreeLine(root, GetLangString(171) + " " + std::to_string(Drawing.ObjectsCount()));
    tvInfo->expandAll();
}

void TDlgOpenGeo::SetupBmp(const TBitmap32& Picture)
{
    SetupPicture(Picture, true);
}

void TDlgOpenGeo::SetupJpeg(const TBitmap32& Picture)
{
    SetupPicture(Picture, false);
}

void TDlgOpenGeo::SetupPicture(const TBitmap32& Picture, bool IsBmp)
{
    ShowPictureControls();
    grpInfo->setTitle(Q(GetLangString(IsBmp ? 116 : 117)));
    {
        const TControlsQuiet quiet;
        // The radio's own handler is left to the setup: origin at the bottom-left.
        rbtOrigin[ocBottomLeft]->setChecked(true);
    }
    if (IsBmp)
        TVecRasPlacement::SetupBmp(Picture);
    else
        TVecRasPlacement::SetupJpeg(Picture);
    ShowSizes();
    ShowImageInfo();
}

void TDlgOpenGeo::ShowImageInfo()
{
    QTreeWidgetItem* root = NewTreeRoot(GetLangString(118));
    AddTreeLine(root, GetLangString(110) + " " + BaseName(CurrentFile.FileName));
    AddTreeLine(root, GetLangString(111) + " " + std::to_string(int64_t(SizeX)));
    AddTreeLine(root, GetLangString(112) + " " + std::to_string(int64_t(SizeY)));
    AddTreeLine(root, GetLangString(113) + " " + std::to_string(Bits) + " bit");
    AddTreeLine(root, GetLangString(114) + " " + std::to_string(ResolutionX));
    AddTreeLine(root, GetLangString(115) + " " + std::to_string(ResolutionY));
    tvInfo->expandAll();
}

// ---- the handlers ----

void TDlgOpenGeo::UpdateOriginEdits()
{
    if (OriginManual)
        return;
    const TControlsQuiet quiet;
    const TPoint3D o = ScaledOrigin();
    txtOrigin[0]->setText(Q(FormatCoord(o.X)));
    txtOrigin[1]->setText(Q(FormatCoord(o.Y)));
    if (StlMode)
        txtOrigin[2]->setText(Q(FormatCoord(o.Z)));
}

void TDlgOpenGeo::AppliedChanged()
{
    if (!sbtOpenApply)
        return;
    sbtOpenApply->setEnabled(!IsApplied());
    sbtOpenDone->setEnabled(IsApplied());
}

void TDlgOpenGeo::SizeEdited(int Axis, const QString& Text)
{
    if (!ControlsReady || Text.isEmpty())
        return;
    // A text that is no number yet ("-", "."), or a size of 0 or less, changes nothing.
    const std::optional<double> v = ParseUserNumber(Text.toStdString());
    if (!v || !SetSize(Axis, *v))
        return;
    if (!RatioLock)
        return;
    const TControlsQuiet quiet;
    for (int i = 0; i < Axes(); ++i)
        if (i != Axis)
            txtAttrib[i]->setText(Q(FormatCoord(ScaledSize(i))));
}

void TDlgOpenGeo::RotationEdited(const QString& Text)
{
    if (!ControlsReady)
        return;
    const std::optional<double> v = ParseUserNumber(Text.toStdString());
    if (v)
        SetRotation(*v);
}

void TDlgOpenGeo::OriginEdited(int Axis, const QString& Text)
{
    if (!ControlsReady)
        return;
    const std::optional<double> v = ParseUserNumber(Text.toStdString());
    if (!v)
        return;
    SetOriginTyped(Axis, *v);
    ClearOriginRadios();
}

void TDlgOpenGeo::ClearOriginRadios()
{
    const TControlsQuiet quiet;
    OriginRadios->setExclusive(false);
    for (QRadioButton* r : rbtOrigin)
        r->setChecked(false);
    OriginRadios->setExclusive(true);
    OriginManual = true;
}

void TDlgOpenGeo::OriginRadioChosen(int K)
{
    if (!ControlsReady)
        return;
    if (StlMode) {
        const TControlsQuiet quiet;
        if (K == ocFileZero) {
            // The file's own zero in Z too.
            ZRadios->setExclusive(false);
            for (QRadioButton* r : rbtZ)
                r->setChecked(false);
            ZRadios->setExclusive(true);
        } else if (!ZTopAuto && !rbtZ[0]->isChecked() && !rbtZ[1]->isChecked()) {
            // The first corner chosen puts the origin on the top of the surface.
            ZTopAuto = true;
            rbtZ[0]->setChecked(true);
            SetZOrigin(true);
        }
    }
    SetOriginByCorner(K);
}

void TDlgOpenGeo::ZRadioChosen(bool Top)
{
    if (!ControlsReady)
        return;
    SetZOrigin(Top);
}

void TDlgOpenGeo::AciToggled(bool Checked)
{
    if (!ControlsReady)
        return;
    const int32_t def = AppConfig ? AppConfig->DefLayersColor : 0x00FF00;
    if (!Checked) {
        SavedLayerColours.assign(TQV_20Layers::Count, 0);
        for (int i = 0; i < TQV_20Layers::Count; ++i) {
            TQV_21Layer& layer = Drawing.Layers.GetLayer(uint8_t(i));
            layer.Visible = true;
            layer.Active = true;
            SavedLayerColours[size_t(i)] = layer.Pen.Color();
            layer.Pen.SetColor(def);
        }
    } else if (SavedLayerColours.size() == size_t(TQV_20Layers::Count)) {
        for (int i = 0; i < TQV_20Layers::Count; ++i)
            Drawing.Layers.GetLayer(uint8_t(i)).Pen.SetColor(SavedLayerColours[size_t(i)]);
    }
    GuardedCall([this] { Drawing.RepaintViews(); });
}

void TDlgOpenGeo::DoneClicked()
{
    if (!GuardedCall([this] { DoneClick(); }))
        return;
    SavedLayerColours.clear();
    ShowStatusMessage("");
    // The tool window frees the panel when it hides, after this handler has returned.
    ToolWindow().Hide();
}
