#include "MainCommands.h"

#include "ProgramObjects.h"
#include "QVGeoPage.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVServices.h"
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

void TMainCommands::Run(const TCommand& Command, bool Checked)
{
    Main.RunCommand([&] {
        GuardedCall([&] {
            if (!Command.Run)
                return;
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
