// The main window's commands as the table makes them: one action for a command's button, its
// menu item and its shortcut, with the captions of each; switched on and off by what the command
// needs.
#include "ShellFixture.h"

#include "QVLanguage.h"
#include "QVScene.h"
#include "SceneCamera.h"

#include <QMenu>

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
