// The property panel on screen: it shows the panel's layout, hands typed values back as they are
// typed, and reports a bad number on Apply without changing the object.
#include "QVInfoEditWidget.h"

#include "Bitmap32.h"
#include "EnglishTexts.h"
#include "FakeServices.h"
#include "QVBitmap2D.h"
#include "QVCurves.h"
#include "QVEntity.h"
#include "QVInfoEdit.h"
#include "QVLanguage.h"

#include <QApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

class InfoEditWidget : public ::testing::Test {
protected:
    InfoEditWidget()
    {
        Widget.resize(240, 200);
        Widget.show();
    }

    std::string CellText(int Row, int Col) const
    {
        const QTableWidgetItem* item = Widget.Grid()->item(Row, Col);
        return item ? item->text().toStdString() : "<none>";
    }

    // Types Text into a cell as a user does: the cell chosen, the keys pressed, Enter.
    void Type(int Row, int Col, const QString& Text)
    {
        QTableWidget* grid = Widget.Grid();
        grid->setCurrentCell(Row, Col);
        grid->setFocus();
        QTest::keyClicks(grid, Text.left(1)); // starts the editor
        auto* editor = grid->findChild<QLineEdit*>();
        ASSERT_NE(editor, nullptr);
        QTest::keyClicks(editor, Text.mid(1));
        QTest::keyClick(editor, Qt::Key_Return);
    }

    TEnglishTexts English;
    TFakeMainWindow Main;
    TInstalledServices Installed{&Main};
    TInfoEdit Panel{true};
    TInfoEditWidget Widget{Panel};
};

} // namespace

TEST_F(InfoEditWidget, ShowsTheModesLayout)
{
    EXPECT_EQ(Widget.objectName(), "grpInfoEdit");
    EXPECT_EQ(Widget.Grid()->objectName(), "SGInfoEdit");
    Panel.SetMode(TPanelMode::ArcPolar);
    EXPECT_TRUE(Widget.isVisible());
    EXPECT_EQ(Widget.title(), "Arc by radius and angles");
    EXPECT_EQ(Widget.height(), Panel.Layout().GroupHeight);
    QTableWidget* grid = Widget.Grid();
    ASSERT_EQ(grid->rowCount(), 3);
    ASSERT_EQ(grid->columnCount(), 1);
    EXPECT_EQ(grid->verticalHeaderItem(1)->text(), "Start angle");
    EXPECT_EQ(grid->horizontalHeaderItem(0)->text(), "Value");
    EXPECT_EQ(grid->verticalHeader()->width(), 100);
    EXPECT_EQ(CellText(2, 0), "270");
    EXPECT_NE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);

    Panel.SetMode(TPanelMode::Line); // live values: read-only
    EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_EQ(grid->columnCount(), 2);
    Panel.ShowBoxInfo(MakePoint2D(1, 2), MakePoint2D(3, 4));
    EXPECT_EQ(CellText(1, 1), "4");

    Panel.SetMode(TPanelMode::Trim); // no rows
    EXPECT_FALSE(grid->isVisible());
    Panel.SetVisible(false);
    EXPECT_FALSE(Widget.isVisible());
}

// No row title is cut off ("Second p", "Width in pixe"): the gutter is as wide as its longest
// title in every mode and for every picked object, at the side panel's width in the main window
// of the smallest size.
TEST_F(InfoEditWidget, EveryRowTitleShowsWhole)
{
    Widget.resize(280, 200);
    const std::unique_ptr<TBitmap32> picture = NewBitmap32(30, 20);
    TLine2D line(-1, MakePoint2D(0, 0), MakePoint2D(1083.733, 2));
    TBitmap2D image(-1, MakePoint2D(0, 0), MakePoint2D(30, 20), *picture);
    std::vector<std::pair<std::string, std::function<void()>>> shows;
    for (int m = 0; m <= static_cast<int>(TPanelMode::BlockShown); ++m)
        shows.emplace_back("mode " + std::to_string(m),
                           [this, m] { Panel.SetMode(static_cast<TPanelMode>(m)); });
    shows.emplace_back("a line", [&] { Panel.ShowPicked(line); });
    shows.emplace_back("a picture", [&] { Panel.ShowPicked(image); });
    QHeaderView* gutter = Widget.Grid()->verticalHeader();
    int titlesSeen = 0;
    for (const auto& [name, show] : shows) {
        SCOPED_TRACE(name);
        show();
        QApplication::processEvents();
        if (gutter->count() == 0 || !Widget.Grid()->isVisible())
            continue;
        ++titlesSeen;
        EXPECT_GE(gutter->width(), gutter->sizeHint().width());
        // The values keep room too.
        EXPECT_GE(Widget.Grid()->columnWidth(0), Widget.Grid()->fontMetrics().horizontalAdvance("-1000.000"));
    }
    EXPECT_GT(titlesSeen, 20);
}

TEST_F(InfoEditWidget, TypedValuesReachTheCommandAsTheyAreTyped)
{
    std::vector<std::string> reruns;
    Widget.OnRerunCommand = [&](TPanelMode mode) {
        reruns.push_back(std::to_string(static_cast<int>(mode)) + ":" +
                         std::to_string(Panel.GetValue(0)).substr(0, 4));
    };
    Panel.SetMode(TPanelMode::ArcPolar);
    Type(0, 0, "12,5");
    EXPECT_DOUBLE_EQ(Panel.GetValue(0), 12.5);
    EXPECT_EQ(CellText(0, 0), "12.5");
    // Each keystroke ran the command again with the value typed so far.
    ASSERT_GE(reruns.size(), 4U);
    EXPECT_EQ(reruns[0], "15:1.00");
    EXPECT_EQ(reruns[1], "15:12.0");
    EXPECT_EQ(reruns.back(), "15:12.5");
}

TEST_F(InfoEditWidget, TheButtonsAreClickedThroughTheGuard)
{
    std::vector<uint16_t> sent;
    InputPanelUserEvent = [&](uint16_t code) { sent.push_back(code); };
    Panel.SetMode(TPanelMode::Polyline);
    ASSERT_EQ(Widget.ButtonCount(), 2);
    EXPECT_EQ(Widget.Button(0)->text(), "Remove last point");
    EXPECT_EQ(Widget.Button(1)->pos(), QPoint(35, 50));
    EXPECT_EQ(Widget.Button(1)->width(), 120);
    QTest::mouseClick(Widget.Button(1), Qt::LeftButton);
    EXPECT_EQ(sent, std::vector<uint16_t>{3});
    InputPanelUserEvent = nullptr;

    // Apply with a cell that is not a number: reported, the circle unchanged.
    TCerchio2D circle(-1, MakePoint2D(1, 1), MakePoint2D(3, 1));
    Panel.ShowPicked(circle);
    ASSERT_EQ(Widget.ButtonCount(), 1);
    EXPECT_EQ(Widget.Button(0)->text(), "Apply");
    Widget.Grid()->item(1, 0)->setText("2x");
    QTest::mouseClick(Widget.Button(0), Qt::LeftButton);
    ASSERT_EQ(Main.Boxes.size(), 1U);
    EXPECT_EQ(Main.Boxes[0].Text, "\"2x\" is not a valid number.");
    EXPECT_EQ(Main.Boxes[0].Caption, GetLangString(450));
    EXPECT_DOUBLE_EQ(circle.Points().Get(1).X, 3);

    // Then a good one.
    Type(1, 0, "5");
    QTest::mouseClick(Widget.Button(0), Qt::LeftButton);
    EXPECT_EQ(Main.Boxes.size(), 1U);
    EXPECT_DOUBLE_EQ(circle.Points().Get(1).X, 6);
}
