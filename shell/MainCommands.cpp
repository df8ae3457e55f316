#include "MainCommands.h"

#include "ProgramObjects.h"
#include "QVGeoPage.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVServices.h"
#include "QVVariabili.h"
#include "ShellIcons.h"
#include "UnitMain.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

TMainCommands::TMainCommands(TfrmMain& M, TProgramObjects& O) : Main(M), Objects(O)
{
    for (const TCommand& c : CommandTable()) {
        auto* action = new QAction(QString::fromUtf8(c.MenuText ? c.MenuText : c.Text), &Main);
        action->setObjectName(c.Name);
        action->setIconText(QString::fromUtf8(c.Text));
        if (c.IconList)
            action->setIcon(ShellIcon(c.IconList, c.IconIndex));
        if (c.Shortcut) {
            action->setShortcut(QKeySequence(QString::fromUtf8(c.Shortcut)));
            // The key works anywhere in the window, also for a command that only a drop-down
            // menu shows (Save, Save as).
            Main.addAction(action);
        }
        action->setCheckable(c.Checkable);
        QObject::connect(action, &QAction::triggered, &Main, [this, &c](bool Checked) { Run(c, Checked); });
        Entries.push_back({&c, action});
    }
    PlaceOnToolbars();
    BuildMenus();
    // An item of a drop-down without a picture of its own shows its button's: on the recent
    // commands' bar it would otherwise be a button of text that widens the bar and moves the view
    // under the cursor.
    for (const TEntry& e : Entries)
        if (e.Action->icon().isNull())
            if (const TEntry* button = DropDownOf(*e.Command))
                e.Action->setIcon(button->Action->icon());
}

QAction* TMainCommands::Action(std::string_view Name) const
{
    for (const TEntry& e : Entries)
        if (Name == e.Command->Name || (e.Command->MenuName && Name == e.Command->MenuName))
            return e.Action;
    return nullptr;
}

QMenu* TMainCommands::Menu(std::string_view Name) const
{
    for (const auto& [layout, menu] : Menus)
        if (Name == layout->Name)
            return menu;
    return nullptr;
}

void TMainCommands::PlaceOnToolbars()
{
    for (const TEntry& e : Entries) {
        const char* toolbar = e.Command->Toolbar;
        if (!toolbar)
            continue;
        if (std::string_view(toolbar) == "tbrStatusBar") {
            // The status bar's buttons are the form's: each shows the action of its name.
            if (auto* button = Main.findChild<QToolButton*>(e.Command->Name))
                button->setDefaultAction(e.Action);
        } else if (auto* bar = Main.findChild<QToolBar*>(toolbar)) {
            bar->addAction(e.Action);
        }
    }
}

void TMainCommands::BuildMenus()
{
    for (const TMenuLayout& layout : MenuLayouts()) {
        auto* menu = new QMenu(QString::fromUtf8(layout.Title), &Main);
        // A drop-down is its button's; the others go by their own names.
        if (!Action(layout.Name))
            menu->setObjectName(layout.Name);
        Menus.emplace_back(&layout, menu);
    }
    for (const auto& [layout, menu] : Menus) {
        for (const char* item : layout->Items) {
            if (QMenu* sub = Menu(item))
                menu->addMenu(sub);
            else if (QAction* action = Action(item))
                menu->addAction(action);
        }
        // A drop-down: the button runs its command, its arrow opens the menu.
        if (QAction* button = Action(layout->Name)) {
            button->setMenu(menu);
            for (QToolBar* bar : Main.findChildren<QToolBar*>())
                if (auto* b = qobject_cast<QToolButton*>(bar->widgetForAction(button)))
                    b->setPopupMode(QToolButton::MenuButtonPopup);
            // The status bar's buttons are the form's own.
            if (auto* b = Main.findChild<QToolButton*>(layout->Name); b && b->defaultAction() == button)
                b->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
}

void TMainCommands::Translate()
{
    for (const TEntry& e : Entries) {
        const TCommand& c = *e.Command;
        const std::string caption = GetLangMainCaption(c.Name);
        if (!caption.empty())
            e.Action->setIconText(QString::fromStdString(caption));
        const std::string menuCaption = c.MenuName ? GetLangMainCaption(c.MenuName) : caption;
        if (!menuCaption.empty())
            e.Action->setText(QString::fromStdString(menuCaption));
        else if (c.MenuName)
            e.Action->setText(QString::fromUtf8(c.MenuText));
        const std::string hint = c.HintKey ? GetLangMain(c.HintKey) : GetLangMainHint(c.Name);
        if (!hint.empty())
            e.Action->setToolTip(QString::fromStdString(hint));
    }
}

void TMainCommands::UpdateEnabled(bool JobRunning, bool PagesShown, bool Released)
{
    for (const TEntry& e : Entries) {
        bool on = !Released;
        switch (e.Command->Needs) {
        case TCommandNeeds::Nothing:
            break;
        case TCommandNeeds::Drawing:
            on = on && !JobRunning;
            break;
        case TCommandNeeds::IdleProgram:
            on = on && !JobRunning && !PagesShown;
            break;
        case TCommandNeeds::SwitchedOff:
            on = false;
            break;
        }
        e.Action->setEnabled(on);
    }
}

const TMainCommands::TEntry* TMainCommands::Entry(std::string_view Name) const
{
    for (const TEntry& e : Entries)
        if (Name == e.Command->Name)
            return &e;
    return nullptr;
}

const TMainCommands::TEntry* TMainCommands::DropDownOf(const TCommand& Command) const
{
    for (const auto& [layout, menu] : Menus) {
        const TEntry* button = Entry(layout->Name);
        if (!button || !button->Command->Toolbar || button->Command == &Command)
            continue;
        for (const char* item : layout->Items)
            if (std::string_view(item) == Command.Name)
                return button;
    }
    return nullptr;
}

const TCommand* TMainCommands::ChoiceOf(const TEntry& Button) const
{
    for (const auto& [button, choice] : Choices)
        if (button == Button.Command)
            return choice;
    for (const auto& [layout, menu] : Menus)
        if (std::string_view(layout->Name) == Button.Command->Name)
            for (const char* item : layout->Items)
                if (const TEntry* e = Entry(item); e && e->Command->Run)
                    return e->Command;
    return nullptr;
}

void TMainCommands::RecordRecent(QAction* Action)
{
    auto* bar = Main.findChild<QToolBar*>("tbrMRU");
    if (!bar)
        return;
    bar->removeAction(Action);
    while (bar->actions().size() >= 10)
        bar->removeAction(bar->actions().back());
    const QList<QAction*> actions = bar->actions();
    bar->insertAction(actions.isEmpty() ? nullptr : actions.front(), Action);
}

void TMainCommands::RepeatLast()
{
    auto* bar = Main.findChild<QToolBar*>("tbrMRU");
    if (bar && !bar->actions().isEmpty())
        bar->actions().front()->trigger();
}

void TMainCommands::Run(const TCommand& Command, bool Checked)
{
    if (!Command.Run) {
        if (const TEntry* button = Entry(Command.Name))
            if (const TCommand* choice = ChoiceOf(*button))
                Run(*choice, Checked);
        return;
    }
    // The drop-down that offers the command shows it from now on.
    if (const TEntry* button = DropDownOf(Command)) {
        std::erase_if(Choices, [&](const auto& c) { return c.first == button->Command; });
        Choices.emplace_back(button->Command, &Command);
        if (const TEntry* item = Entry(Command.Name)) {
            button->Action->setIcon(item->Action->icon());
            button->Action->setIconText(item->Action->text());
            button->Action->setToolTip(item->Action->toolTip());
        }
    }
    Main.RunCommand([&] {
        GuardedCall([&] {
            if (Command.Tag != 0) {
                // The operation's end shows "486" once, at the next prompt.
                LayerOpPending = true;
                if (const TEntry* e = Entry(Command.Name))
                    RecordRecent(e->Action);
            }
            if (Command.PanelMode && Objects.GeoPage)
                Objects.GeoPage->Panel().SetMode(*Command.PanelMode);
            if (Command.Snap != TCommandSnap::Unchanged && Objects.Prog)
                Objects.Prog->UsaSnap = Command.Snap == TCommandSnap::On;
            TCommandContext context{Main, Objects, Checked};
            if (Command.Run(context) && !Command.Pages.Tabs.empty()) {
                const std::vector<std::string> tabs(Command.Pages.Tabs.begin(), Command.Pages.Tabs.end());
                ToolWindow().ShowPages(tabs, Command.Pages.CaptionKey, Command.Pages.Width,
                                       Command.Pages.Height);
            }
        });
    });
}
