#pragma once
// The main window's commands as one table: each command is one entry, and the shell makes one
// action per entry (TMainCommands), which its toolbar button, its menu items and its shortcut
// share. What an entry says is done for every command in one place, in this order: the property
// panel takes the entry's mode, the interaction program's snap is set, the handler runs, and when
// it has started the command, the tool window shows the entry's pages.
//
// How to add a command: add its entry to the table in CommandTable.cpp (where it stands among
// the entries is where it stands on its toolbar; a menu lists it by name in its layout there),
// and write its handler in the unit of its family (CommandsFile.cpp, CommandsView.cpp ...),
// declared in Commands.h. Nothing else.
#include "QVInfoEdit.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TfrmMain;
struct TProgramObjects;

// What a command's handler works with.
struct TCommandContext {
    TfrmMain& Main;
    TProgramObjects& Objects;
    // A switch's state after the click.
    bool Checked = false;
};

// True when the command has started: its pages show. A handler that finds it cannot start says
// why and answers false.
using TCommandHandler = bool (*)(TCommandContext& C);

// When a command can run; its action is off otherwise.
enum class TCommandNeeds : uint8_t {
    Nothing,     // at any time (the status bar's switches)
    Drawing,     // no long job at work on the drawing (the view's commands)
    IdleProgram, // nor a command's pages in the tool window (file, drawing and edit commands)
    SwitchedOff, // never in this product (the machining commands)
};

// The interaction program's object snap during the command.
enum class TCommandSnap : uint8_t { Unchanged, On, Off };

// The tool window's pages a command shows (the first one active), with the caption's key and the
// client size.
struct TCommandPages {
    std::vector<const char*> Tabs = {};
    const char* CaptionKey = nullptr;
    int32_t Width = 0, Height = 0;
};

struct TCommand {
    // The control's name, the action's objectName: the language file's "<Name>.Caption" and
    // "<Name>.Hint" are its texts.
    const char* Name;
    // The caption until the language file gives one.
    const char* Text;
    // The toolbar whose button it is ("tbrView"), "tbrStatusBar" for the status bar's button of
    // the same name, or null for a command that only menus show.
    const char* Toolbar = nullptr;
    // The name of its menu item where that has a text of its own ("mnuZoomIn" beside
    // "sbtZoomIn"), and that text until the language file gives "<MenuName>.Caption".
    const char* MenuName = nullptr;
    const char* MenuText = nullptr;
    // The [frmMain] key of its hint when that is not "<Name>.Hint" (the drawing commands' "242" ...).
    const char* HintKey = nullptr;
    // Its picture: image list and index.
    const char* IconList = nullptr;
    int IconIndex = 0;
    const char* Shortcut = nullptr;
    TCommandNeeds Needs = TCommandNeeds::IdleProgram;
    // A switch: the action is checked and unchecked by its clicks.
    bool Checkable = false;
    // The property panel's mode while the command runs.
    std::optional<TPanelMode> PanelMode = std::nullopt;
    TCommandSnap Snap = TCommandSnap::Unchanged;
    TCommandPages Pages = {};
    // Its number in the recent-commands toolbar (101 to 1404); 0 for a command that the toolbar
    // does not record.
    int16_t Tag = 0;
    // Null while the command is not built yet: its button does nothing.
    TCommandHandler Run = nullptr;
};

// A menu: a pop-up, a sub-menu or a toolbar button's drop-down (named as the button's command).
// Its items name commands (by Name or MenuName) or other menus.
struct TMenuLayout {
    const char* Name;
    const char* Title;
    std::vector<const char*> Items;
};

// The table, in the order of the toolbars' buttons.
const std::vector<TCommand>& CommandTable();
const std::vector<TMenuLayout>& MenuLayouts();
