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
    // Runs the command as its action's trigger does. A drop-down button without a handler of its
    // own runs the command last chosen from its menu (at first its first command that runs); a
    // command chosen from a drop-down gives the button its picture, caption and hint. A command
    // with a Tag is recorded in the recent-commands toolbar first.
    void Run(const TCommand& Command, bool Checked);
    // Enter with nothing running: the newest command of the recent-commands toolbar runs again.
    void RepeatLast();

private:
    struct TEntry {
        const TCommand* Command;
        QAction* Action;
    };
    void PlaceOnToolbars();
    void BuildMenus();
    const TEntry* Entry(std::string_view Name) const;
    // The drop-down whose menu lists the command, and the button that shows it; null for none.
    const TEntry* DropDownOf(const TCommand& Command) const;
    // The command the drop-down button runs now.
    const TCommand* ChoiceOf(const TEntry& Button) const;
    // The newest button of the recent-commands toolbar (at most ten, one per command).
    void RecordRecent(QAction* Action);

    TfrmMain& Main;
    TProgramObjects& Objects;
    std::vector<TEntry> Entries;
    std::vector<std::pair<const TMenuLayout*, QMenu*>> Menus;
    // Each drop-down button's last choice, by the button's command.
    std::vector<std::pair<const TCommand*, const TCommand*>> Choices;
};
