#include "QVInfoEditWidget.h"

#include "QVGuard.h"
#include "QVInfoEdit.h"

#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QTableWidget>

#include <algorithm>
#include <string>

namespace {

// Where the grid sits in the group box: below the caption, with a small margin to the sides.
constexpr int GridLeft = 6;
constexpr int GridTop = 18;

// Hands every keystroke of a cell editor to the grid, as the grid's own cell handler heard each
// change of the text: a command's preview follows the value while it is typed.
class TTypingDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* Parent, const QStyleOptionViewItem& Option,
                          const QModelIndex& Index) const override
    {
        QWidget* editor = QStyledItemDelegate::createEditor(Parent, Option, Index);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            auto* self = const_cast<TTypingDelegate*>(this);
            connect(line, &QLineEdit::textEdited, self, [self, line] { emit self->commitData(line); });
        }
        return editor;
    }
};

} // namespace

TInfoEditWidget::TInfoEditWidget(TInfoEdit& Panel, QWidget* Parent)
    : QGroupBox(Parent), Panel(Panel), FGrid(new QTableWidget(this))
{
    setObjectName("grpInfoEdit");
    FGrid->setObjectName("SGInfoEdit");
    FGrid->setItemDelegate(new TTypingDelegate(FGrid));
    FGrid->setCornerButtonEnabled(false);
    FGrid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FGrid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    FGrid->setSelectionMode(QAbstractItemView::SingleSelection);
    FGrid->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    FGrid->verticalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    connect(FGrid, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) { CellEdited(item); });
    Panel.OnChanged = [this] { Sync(); };
    Sync();
}

TInfoEditWidget::~TInfoEditWidget()
{
    Panel.OnChanged = nullptr;
}

QPushButton* TInfoEditWidget::Button(int Tag) const
{
    return Tag >= 0 && Tag < ButtonCount() ? Buttons[static_cast<size_t>(Tag)] : nullptr;
}

void TInfoEditWidget::resizeEvent(QResizeEvent* Event)
{
    QGroupBox::resizeEvent(Event);
    PlaceGrid();
}

void TInfoEditWidget::PlaceGrid()
{
    const TInfoEditLayout& l = Panel.Layout();
    const int width = std::max(0, this->width() - 2 * GridLeft);
    FGrid->setGeometry(GridLeft, GridTop, width, l.GridHeight);
    Panel.GridWidth = width;
    // The gutter holds the row titles whole ("Width in pixels" is wider in this font than the
    // layout's width allows), as far as each value column keeps room for a number like
    // "-1000.000".
    const int columns = FGrid->columnCount();
    QHeaderView* gutter = FGrid->verticalHeader();
    const int titles = gutter->count() > 0 ? gutter->sizeHint().width() : 0;
    const int valueWidth = FGrid->fontMetrics().horizontalAdvance(QStringLiteral("-1000.000")) + 6;
    const int room = width - 2 * FGrid->frameWidth() - columns * valueWidth;
    const int gutterWidth = std::max(l.GutterWidth, std::min(titles, room));
    gutter->setFixedWidth(gutterWidth);
    if (columns > 0) {
        // The value columns share the rest.
        const int each = std::max(1, (width - gutterWidth - 2 * FGrid->frameWidth()) / columns);
        for (int c = 0; c < columns; ++c)
            FGrid->setColumnWidth(c, each);
    }
}

void TInfoEditWidget::Sync()
{
    const TInfoEditLayout& l = Panel.Layout();
    Syncing = true;
    setTitle(QString::fromStdString(l.Caption));
    setFixedHeight(l.GroupHeight);

    const int rows = static_cast<int>(l.Cells.size());
    const int columns = static_cast<int>(l.ColumnTitles.size());
    if (FGrid->rowCount() != rows)
        FGrid->setRowCount(rows);
    if (FGrid->columnCount() != columns)
        FGrid->setColumnCount(columns);
    QStringList rowTitles, columnTitles;
    for (const std::string& t : l.RowTitles)
        rowTitles << QString::fromStdString(t);
    for (const std::string& t : l.ColumnTitles)
        columnTitles << QString::fromStdString(t);
    FGrid->setVerticalHeaderLabels(rowTitles);
    FGrid->setHorizontalHeaderLabels(columnTitles);
    const int rowHeight = Panel.RowHeight();
    FGrid->verticalHeader()->setDefaultSectionSize(rowHeight);
    FGrid->horizontalHeader()->setFixedHeight(rowHeight);
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < columns; ++c) {
            const QString text =
                QString::fromStdString(l.Cells[static_cast<size_t>(r)][static_cast<size_t>(c)]);
            QTableWidgetItem* item = FGrid->item(r, c);
            if (!item)
                FGrid->setItem(r, c, new QTableWidgetItem(text));
            else if (item->text() != text)
                item->setText(text);
        }
    FGrid->setEditTriggers(l.ReadOnly
                               ? QAbstractItemView::NoEditTriggers
                               : QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                                     QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
    FGrid->setVisible(l.GridVisible);
    PlaceGrid();
    SyncButtons();
    setVisible(l.GroupVisible);
    Syncing = false;
}

void TInfoEditWidget::SyncButtons()
{
    const std::vector<TInfoEditButton>& specs = Panel.Layout().Buttons;
    const bool same =
        specs.size() == Buttons.size() &&
        std::equal(specs.begin(), specs.end(), Buttons.begin(), [](const TInfoEditButton& s, QPushButton* b) {
            return b->text() == QString::fromStdString(s.Caption) && b->x() == s.Left && b->y() == s.Top;
        });
    if (same)
        return;
    for (QPushButton* b : Buttons)
        delete b;
    Buttons.clear();
    for (const TInfoEditButton& s : specs) {
        auto* button = new QPushButton(QString::fromStdString(s.Caption), this);
        button->setGeometry(s.Left, s.Top, s.Width, button->sizeHint().height());
        const int tag = s.Tag;
        connect(button, &QPushButton::clicked, this, [this, tag] {
            // A cell that is not a number is reported; the object stays as it was.
            GuardedCall([&] { Panel.ButtonClick(tag); });
        });
        button->show();
        Buttons.push_back(button);
    }
}

void TInfoEditWidget::CellEdited(QTableWidgetItem* Item)
{
    if (Syncing)
        return;
    const int row = Item->row(), col = Item->column();
    GuardedCall([&] {
        std::string text = Item->text().toStdString();
        if (Panel.CellChanged(col, row, text) && OnRerunCommand)
            OnRerunCommand(Panel.PanelMode);
    });
}
