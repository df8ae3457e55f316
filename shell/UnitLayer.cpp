#include "UnitLayer.h"

#include "ui_UnitLayer.h"
#include "ui_UnitLayerAttr.h"

#include "FileCommands.h"
#include "QVCmp.h"
#include "QVGeoTree.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVTranslate.h"
#include "UnitMain.h"

#include <QHeaderView>
#include <QPainter>
#include <QShowEvent>
#include <QStyledItemDelegate>

namespace {

enum TLayerColumn { colNum, colCurr, colName, colVis, colCol, colPenW };
constexpr std::array<int, 6> ColumnWidths = {33, 53, 288, 64, 64, 64};

QColor ToQColor(int32_t C)
{
    return {C & 0xFF, (C >> 8) & 0xFF, (C >> 16) & 0xFF};
}

// The sample of a pen width: a black line of that width across Box at mid height.
void DrawPenSample(QPainter& P, const QRect& Box, int32_t Width)
{
    P.setPen(QPen(Qt::black, Width, Qt::SolidLine, Qt::FlatCap));
    const int y = Box.center().y();
    P.drawLine(Box.left(), y, Box.right(), y);
}

// The small pictures of the table: visible, hidden and the current layer's mark.
void DrawLayerMark(QPainter& P, const QRect& Cell, int Image)
{
    const QRect r(Cell.center().x() - 6, Cell.center().y() - 6, 12, 12);
    P.setRenderHint(QPainter::Antialiasing);
    switch (Image) {
    case 0: // visible: an open eye
        P.setPen(QPen(Qt::black, 1));
        P.setBrush(Qt::white);
        P.drawEllipse(r.adjusted(0, 3, 0, -3));
        P.setBrush(Qt::black);
        P.drawEllipse(r.center(), 2, 2);
        break;
    case 1: // hidden: a closed eye
        P.setPen(QPen(Qt::darkGray, 2));
        P.drawLine(r.left(), r.center().y(), r.right(), r.center().y());
        break;
    default: // the current layer: a check mark
        P.setPen(QPen(Qt::black, 2));
        P.drawPolyline(
            QPolygon({QPoint(r.left() + 1, r.center().y()), QPoint(r.center().x() - 1, r.bottom() - 1),
                      QPoint(r.right(), r.top() + 1)}));
        break;
    }
    P.setRenderHint(QPainter::Antialiasing, false);
}

// The pen-width combo's items: a framed sample line and the width as text beside it.
class TPenWidthDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const QRect& r = Option.rect;
        const bool selected = Option.state & QStyle::State_Selected;
        P->fillRect(r, selected ? Option.palette.highlight() : Option.palette.base());
        const QRect box(r.left() + 3, r.top() + 3, 45, r.height() - 6);
        DrawPenSample(*P, box.adjusted(5, 0, -5, 0), Index.row() + 1);
        P->setPen(Qt::black);
        P->setBrush(Qt::NoBrush);
        P->drawRect(box);
        P->setPen(selected ? Option.palette.highlightedText().color() : Option.palette.text().color());
        P->drawText(r.adjusted(50, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, Index.data().toString());
    }
    QSize sizeHint(const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const QSize s = QStyledItemDelegate::sizeHint(Option, Index);
        return {s.width() + 50, std::max(s.height(), 18)};
    }
};

} // namespace

// The cells of the layer table that are pictures: the row's fill, then the column's content.
class TLayerCellDelegate : public QStyledItemDelegate {
public:
    TLayerCellDelegate(const TQV_01Cmp& Drawing, const int& Selected, QObject* Parent)
        : QStyledItemDelegate(Parent), Drawing(Drawing), Selected(Selected)
    {
    }
    void paint(QPainter* P, const QStyleOptionViewItem& Option, const QModelIndex& Index) const override
    {
        const int layerIndex = Index.row();
        const TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(layerIndex));
        const QRect& r = Option.rect;
        QColor text = Option.palette.text().color();
        if (layerIndex == Drawing.CurrentLayer) {
            P->fillRect(r, ToQColor(0x00FFFF));
            text = Qt::black;
        } else if (layerIndex == Selected) {
            P->fillRect(r, ToQColor(0xFF0000));
            text = Qt::white;
        } else {
            P->fillRect(r, Option.palette.base());
        }
        P->save();
        switch (Index.column()) {
        case colCurr:
            if (layerIndex == Drawing.CurrentLayer)
                DrawLayerMark(*P, r, 2);
            break;
        case colVis:
            DrawLayerMark(*P, r, layer.Visible ? 0 : 1);
            break;
        case colCol: {
            const QRect swatch(r.center().x() - 24, r.center().y() - 8, 48, 16);
            P->fillRect(swatch, ToQColor(layer.Pen.Color()));
            P->setPen(Qt::black);
            P->drawRect(swatch);
            break;
        }
        case colPenW:
            DrawPenSample(*P, QRect(r.left() + 8, r.top(), 35, r.height()), layer.Pen.Width());
            P->setPen(text);
            P->drawText(r.adjusted(50, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
                        QString::number(layer.Pen.Width()));
            break;
        default:
            P->setPen(text);
            P->drawText(r.adjusted(2, 2, 0, 0), Qt::AlignLeft | Qt::AlignTop, Index.data().toString());
            break;
        }
        P->restore();
    }

private:
    const TQV_01Cmp& Drawing;
    const int& Selected;
};

// ---- the pen-width combo

Tpenwidthcombo::Tpenwidthcombo(QWidget* Parent) : QComboBox(Parent)
{
    for (int i = 1; i <= 10; ++i)
        addItem(QString::number(i));
    setItemDelegate(new TPenWidthDelegate(this));
    setMinimumWidth(110);
}

// ---- the attribute dialog

TfrmLayerAttr::TfrmLayerAttr(QWidget* Parent) : QDialog(Parent), ui(new Ui::TfrmLayerAttr)
{
    ui->setupUi(this);
    connect(ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

TfrmLayerAttr::~TfrmLayerAttr() = default;

bool TfrmLayerAttr::Execute(TQV_01Cmp& Drawing, uint8_t Layer, const QString& Caption,
                            const QString& GroupCaption)
{
    setWindowTitle(Caption);
    ui->grpLayerAttr->setTitle(GroupCaption);
    TQV_21Layer& layer = Drawing.Layers.GetLayer(Layer);
    ui->ColorBox1->SetSelected(layer.Pen.Color());
    ui->penwidthcombo1->SetWidth(layer.Pen.Width());
    if (exec() != QDialog::Accepted)
        return false;
    layer.Pen.SetColor(ui->ColorBox1->Selected());
    layer.Pen.SetWidth(ui->penwidthcombo1->Width());
    Drawing.RepaintViews();
    return true;
}

// ---- the layer dialog

TfrmLayer::TfrmLayer(TfrmMain& M, TQV_01Cmp& D, TGeoTree* T)
    : QDialog(&M), ui(new Ui::TfrmLayer), Main(M), Drawing(D), Tree(T), FAttr(new TfrmLayerAttr(this))
{
    ui->setupUi(this);
    QTableWidget* grid = ui->StringGrid1;
    grid->setColumnCount(6);
    grid->setRowCount(256);
    grid->verticalHeader()->hide();
    grid->setSelectionMode(QAbstractItemView::NoSelection);
    grid->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                          QAbstractItemView::AnyKeyPressed);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    for (int c = 0; c < 6; ++c)
        grid->setColumnWidth(c, ColumnWidths[static_cast<size_t>(c)]);
    grid->horizontalHeader()->setStretchLastSection(true);
    for (int row = 0; row < 256; ++row)
        for (int c = 0; c < 6; ++c) {
            auto* item = new QTableWidgetItem(c == colNum ? QString::number(row) : QString());
            // Only the name is typed over.
            item->setFlags(c == colName ? Qt::ItemIsEnabled | Qt::ItemIsEditable : Qt::ItemIsEnabled);
            grid->setItem(row, c, item);
        }
    grid->setItemDelegate(new TLayerCellDelegate(Drawing, FSelected, grid));
    grid->setMinimumWidth(ColumnWidths[0] + ColumnWidths[1] + ColumnWidths[2] + 3 * ColumnWidths[3] + 24);
    connect(grid, &QTableWidget::cellClicked, this,
            [this](int Row, int Column) { GuardedCall([&] { StringGrid1SelectCell(Row, Column); }); });
    connect(grid, &QTableWidget::cellChanged, this, [this](int Row, int Column) {
        if (!FFilling && Column == colName)
            GuardedCall([&] { StringGrid1SetEditText(Row, ui->StringGrid1->item(Row, Column)->text()); });
    });
    connect(ui->btnOk, &QPushButton::clicked, this, &QDialog::accept);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(ui->btnSaveSettings, &QPushButton::clicked, this,
            [this] { GuardedCall([this] { btnSaveSettingsClick(); }); });
}

TfrmLayer::~TfrmLayer() = default;

void TfrmLayer::showEvent(QShowEvent* Event)
{
    QDialog::showEvent(Event);
    if (!Event->spontaneous())
        GuardedCall([this] { FormShow(); });
}

void TfrmLayer::FormShow()
{
    TranslateComponents({this}, LanguageIni.get());
    QTableWidget* grid = ui->StringGrid1;
    const std::array<QLabel*, 6> headings = {ui->lblLayerNum, ui->lblLayerCurr, ui->lblLayerName,
                                             ui->lblLayerVis, ui->lblLayerCol,  ui->lblLayerPenW};
    QStringList labels;
    for (QLabel* l : headings)
        labels.append(l->text());
    grid->setHorizontalHeaderLabels(labels);
    FSelected = -1;
    FSavedCurrent = Drawing.CurrentLayer;
    FFilling = true;
    for (int n = 0; n < 256; ++n) {
        const TQV_21Layer& layer = Drawing.Layers.GetLayer(static_cast<uint8_t>(n));
        FSaved[static_cast<size_t>(n)] = {layer.Name, layer.Visible, layer.Pen.Color(), layer.Pen.Width()};
        grid->item(n, colName)->setText(QString::fromStdString(layer.Name));
    }
    FFilling = false;
    grid->viewport()->update();
}

void TfrmLayer::StringGrid1SelectCell(int Row, int Column)
{
    if (Row < 0 || Row >= 256)
        return;
    FSelected = Row;
    const auto index = static_cast<uint8_t>(Row);
    switch (Column) {
    case colCurr:
        Drawing.CurrentLayer = index;
        Main.CurrLayerInfo();
        break;
    case colVis: {
        TQV_21Layer& layer = Drawing.Layers.GetLayer(index);
        layer.Visible = !layer.Visible;
        Drawing.RepaintViews();
        break;
    }
    case colCol:
    case colPenW:
        FAttr->Execute(Drawing, index, windowTitle(), ui->grpLayer->title());
        Main.CurrLayerCol(static_cast<uint32_t>(
            Drawing.Layers.GetLayer(static_cast<uint8_t>(Drawing.CurrentLayer)).Pen.Color()));
        break;
    default:
        break;
    }
    ui->StringGrid1->viewport()->update();
}

void TfrmLayer::StringGrid1SetEditText(int Row, const QString& Text)
{
    if (Row < 0 || Row >= 256)
        return;
    const auto index = static_cast<uint8_t>(Row);
    TQV_21Layer& layer = Drawing.Layers.GetLayer(index);
    layer.SetName(Text.toStdString());
    if (Tree)
        Tree->CambiaNomeInTree(index);
    // The cell shows the name as the layer keeps it (cut to 31 characters).
    const QString kept = QString::fromStdString(layer.Name);
    if (kept != Text) {
        FFilling = true;
        ui->StringGrid1->item(Row, colName)->setText(kept);
        FFilling = false;
    }
}

void TfrmLayer::btnSaveSettingsClick()
{
    SaveLayerSettings(Drawing, LayersIniName());
}

void TfrmLayer::Restore()
{
    for (int n = 0; n < 256; ++n) {
        const auto index = static_cast<uint8_t>(n);
        TQV_21Layer& layer = Drawing.Layers.GetLayer(index);
        const TLayerRec& saved = FSaved[static_cast<size_t>(n)];
        if (layer.Name != saved.Name) {
            layer.SetName(saved.Name);
            if (Tree)
                Tree->CambiaNomeInTree(index);
        }
        layer.Visible = saved.Visible;
        layer.Pen.SetColor(saved.Color);
        layer.Pen.SetWidth(saved.Width);
    }
    Drawing.CurrentLayer = FSavedCurrent;
    Drawing.RepaintViews();
}

void TfrmLayer::done(int Result)
{
    // Cancel, Esc and the close box all come here rejected.
    if (Result != QDialog::Accepted)
        GuardedCall([this] { Restore(); });
    GuardedCall([this] { Main.CurrLayerInfo(); });
    QDialog::done(Result);
}
