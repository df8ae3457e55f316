// The main window's commands as the table makes them: one action for a command's button, its
// menu item and its shortcut, with the captions of each; switched on and off by what the command
// needs; the menus of the Save button, the geometry tree and the grid switch.
#include "ShellFixture.h"

#include "QVCmp.h"
#include "QVEntity.h"
#include "QVLanguage.h"
#include "QVScene.h"
#include "SceneCamera.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QTimer>
#include <QTreeView>

#include <functional>
#include <string>
#include <vector>

using CommandTableActions = TShellFixture;

TEST_F(CommandTableActions, AButtonItsMenuItemAndItsShortcutAreOneAction)
{
    Start();
    QAction* zoomIn = Main().Command("sbtZoomIn");
    ASSERT_NE(zoomIn, nullptr);
    EXPECT_EQ(Main().Command("mnuZoomIn"), zoomIn);
    auto* popup = Main().findChild<QMenu*>("PopupDestro");
    ASSERT_NE(popup, nullptr);
    EXPECT_TRUE(popup->actions().contains(zoomIn));
    EXPECT_NE(Form().tbrView->widgetForAction(zoomIn), nullptr);
    // The item runs the command as the button does.
    const double scale = DrawingView->Camera->SceneScale;
    zoomIn->trigger();
    EXPECT_NEAR(DrawingView->Camera->SceneScale, scale * 1.25, 1e-9 * scale);
    // The language file's captions: the button's and the item's of its own.
    QAction* autozoom = Main().Command("sbtAutozoom");
    EXPECT_EQ(autozoom->text().toStdString(), GetLangMainCaption("mnuAutozoom"));
    EXPECT_EQ(autozoom->iconText(), "Zoom to extents");
    EXPECT_EQ(autozoom->toolTip().toStdString(), GetLangMainHint("sbtAutozoom"));
    // The status bar's button shows its command's action.
    EXPECT_EQ(Form().sbtGridOnOff->defaultAction(), Main().Command("sbtGridOnOff"));
}

TEST_F(CommandTableActions, WhatACommandNeedsSwitchesItsAction)
{
    Start();
    struct TCase {
        const char* Name;
        bool Job, Pages;
        // sbtOpen (the file toolbar), sbtZoomIn (the view), sbtGridOnOff (the status bar), sbtCnc
        std::vector<bool> Enabled;
    };
    const std::vector<TCase> cases = {
        {"idle", false, false, {true, true, true, false}},
        {"a command's pages in the tool window", false, true, {false, true, true, false}},
        {"a long job", true, false, {false, false, true, false}},
        {"both", true, true, {false, false, true, false}},
    };
    const std::vector<const char*> commands = {"sbtOpen", "sbtZoomIn", "sbtGridOnOff", "sbtCnc"};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Main().SetJobRunning(c.Job);
        Main().SetCommandPagesShown(c.Pages);
        for (size_t i = 0; i < commands.size(); ++i)
            EXPECT_EQ(Main().Command(commands[i])->isEnabled(), c.Enabled[i]) << commands[i];
    }
    Main().SetJobRunning(false);
    Main().SetCommandPagesShown(false);
}

namespace {
// Opens a button's menu by a click on its arrow and answers the menu with Pick (the menu that
// showed, then closed unless Pick took an item).
void OpenMenuOf(QToolButton* Button, const std::function<void(QMenu*)>& Pick)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        shown = menu != nullptr;
        Pick(menu);
        if (QWidget* open = QApplication::activePopupWidget())
            open->close();
    });
    QTest::mouseClick(Button, Qt::LeftButton, {}, QPoint(Button->width() - 3, Button->height() / 2));
    EXPECT_TRUE(shown);
}

void ClickItem(QMenu* Menu, QAction* Item)
{
    ASSERT_NE(Menu, nullptr);
    ASSERT_TRUE(Menu->actions().contains(Item));
    QTest::mouseClick(Menu, Qt::LeftButton, {}, Menu->actionGeometry(Item).center());
}
} // namespace

// The Save button kept its picture and caption whichever item of its menu was chosen, the
// geometry tree had no menu, and the grid's settings item sat in no menu.
TEST_F(CommandTableActions, TheSaveButtonTheTreeMenuAndTheGridSettingsItem)
{
    Start();
    SetFileDialogAnswerer([](const TFileDialogRequest&) { return std::string(); });
    ::Drawing->AddObject(-1, std::make_unique<TLine2D>(-1, TPoint2D{0, 0, 1}, TPoint2D{5, 5, 1}));
    auto* save = qobject_cast<QToolButton*>(Form().tbrFile->widgetForAction(Form().sbtSave));
    ASSERT_NE(save, nullptr);
    QAction* saveAs = Main().Command("mnuSaveAs");
    QAction* saveItem = Main().Command("mnuSave");
    const QImage savePicture = Form().sbtSave->icon().pixmap(24).toImage();
    struct TCase {
        QAction* Item;
        bool SavePicture;
    };
    for (const TCase& c : {TCase{saveAs, false}, TCase{saveItem, true}}) {
        SCOPED_TRACE(c.Item->objectName().toStdString());
        OpenMenuOf(save, [&](QMenu* Menu) { ClickItem(Menu, c.Item); });
        QApplication::processEvents();
        EXPECT_EQ(Form().sbtSave->text(), c.Item->text());
        EXPECT_EQ(Form().sbtSave->toolTip().toStdString(), GetLangMainHint("sbtSave"));
        EXPECT_EQ(Form().sbtSave->icon().pixmap(24).toImage() == savePicture, c.SavePicture);
        EXPECT_FALSE(Form().sbtSave->icon().isNull());
    }
    SetFileDialogAnswerer(nullptr);

    // The geometry tree's own menu, on a right click.
    auto* tree = Main().findChild<QTreeView*>("TreeGeo");
    ASSERT_NE(tree, nullptr);
    QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(20, 10),
                            tree->viewport()->mapToGlobal(QPoint(20, 10)));
    QApplication::sendEvent(tree->viewport(), &click);
    auto* treeMenu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
    ASSERT_NE(treeMenu, nullptr);
    EXPECT_EQ(treeMenu->objectName(), "PopupTreeGeo");
    EXPECT_TRUE(treeMenu->actions().contains(Main().Command("mnuLayerDialog")));
    treeMenu->close();

    // The grid switch's arrow offers the grid's settings: the status line says so and the grid
    // dialog comes.
    int dialogs = 0;
    Main().Hooks.GridDialog = [&] { ++dialogs; };
    const bool gridOn = Form().sbtGridOnOff->isChecked();
    OpenMenuOf(Form().sbtGridOnOff, [&](QMenu* Menu) { ClickItem(Menu, Main().Command("mnuSBGridSet")); });
    QApplication::processEvents();
    EXPECT_EQ(dialogs, 1);
    EXPECT_EQ(Form().StatusBarMess->text().toStdString(), GetLangString(420));
    EXPECT_EQ(Form().sbtGridOnOff->isChecked(), gridOn);
}
