#pragma once
// The one place that turns the command table into the main window's actions: one QAction per
// entry (a child of the main window, objectName the entry's Name), put on its toolbar button and
// in the menus that list it, switched on and off by what its entry needs, and run under the guard.
#include "CommandTable.h"

#include <string_view>
#include <vector>

class QAction;
class QMenu;

class TMainCommands {
public:
    // Makes the actions and the menus of MenuLayouts and puts them on the main window's toolbars
    // and status bar buttons, found by name. Objects is read when a command runs.
    TMainCommands(TfrmMain& Main, TProgramObjects& Objects);
    TMainCommands(const TMainCommands&) = delete;
    TMainCommands& operator=(const TMainCommands&) = delete;

    // The action of the command with that Name or MenuName; null for none.
    QAction* Action(std::string_view Name) const;
    // A menu of MenuLayouts by name (a drop-down by its button's Name); null for none.
    QMenu* Menu(std::string_view Name) const;

    // The language file's texts, after the window's own (TranslateComponents): a command with a
    // menu item of its own keeps two captions, the button's (its icon text) and the item's.
    void Translate();
    // What the program does now: a long job at work, a command's pages in the tool window, the
    // program's objects freed. Each action is on when its entry's needs allow.
    void UpdateEnabled(bool JobRunning, bool PagesShown, bool Released);
    // Runs the command as its action's trigger does.
    void Run(const TCommand& Command, bool Checked);

private:
    struct TEntry {
        const TCommand* Command;
        QAction* Action;
    };
    void PlaceOnToolbars();
    void BuildMenus();

    TfrmMain& Main;
    TProgramObjects& Objects;
    std::vector<TEntry> Entries;
    std::vector<std::pair<const TMenuLayout*, QMenu*>> Menus;
};
