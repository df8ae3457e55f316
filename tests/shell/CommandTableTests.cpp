// The command table holds together: every name is one command's, every menu item is a command or
// a menu, and a command that shows pages names pages the tool window has. A new entry that breaks
// one of these would leave a dead menu item or a page that never shows.
#include "CommandTable.h"
#include "UnitToolWin.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace {

std::set<std::string> CommandNames()
{
    std::set<std::string> names;
    for (const TCommand& c : CommandTable()) {
        EXPECT_TRUE(names.insert(c.Name).second) << c.Name << " twice";
        if (c.MenuName) {
            EXPECT_TRUE(names.insert(c.MenuName).second) << c.MenuName << " twice";
        }
    }
    return names;
}

} // namespace

TEST(CommandTable, EveryNameIsOneCommandsAndEveryMenuItemIsKnown)
{
    const std::set<std::string> commands = CommandNames();
    std::set<std::string> menus;
    for (const TMenuLayout& m : MenuLayouts())
        EXPECT_TRUE(menus.insert(m.Name).second) << m.Name << " twice";
    for (const TMenuLayout& m : MenuLayouts()) {
        SCOPED_TRACE(m.Name);
        std::set<std::string> items;
        for (const char* item : m.Items) {
            EXPECT_TRUE(items.insert(item).second) << item << " twice in the menu";
            EXPECT_TRUE(commands.count(item) || menus.count(item))
                << item << " is neither a command nor a menu";
        }
        // A menu is a pop-up or sub-menu of its own name, or the drop-down of a command's button.
        if (m.Name[0] == 's') {
            EXPECT_TRUE(commands.count(m.Name)) << "a drop-down of no command";
        }
    }
}

TEST(CommandTable, ItsPagesAreTheToolWindowsAndItsPlacesTheMainWindows)
{
    const std::set<std::string> toolbars = {"tbrFile", "tbrCreate", "tbrView", "tbrEdit", "tbrStatusBar"};
    std::set<std::string> tabs;
    for (const auto& [tab, sheet] : TfrmToolWin::TabSheets())
        tabs.insert(tab);
    for (const TCommand& c : CommandTable()) {
        SCOPED_TRACE(c.Name);
        if (c.Toolbar) {
            EXPECT_TRUE(toolbars.count(c.Toolbar)) << c.Toolbar;
        }
        if (c.Pages.Tabs.empty())
            continue;
        EXPECT_NE(c.Run, nullptr) << "pages shown by no command";
        EXPECT_NE(c.Pages.CaptionKey, nullptr);
        EXPECT_GT(c.Pages.Width, 0);
        EXPECT_GT(c.Pages.Height, 0);
        for (const char* tab : c.Pages.Tabs)
            EXPECT_TRUE(tabs.count(tab)) << tab;
    }
}
