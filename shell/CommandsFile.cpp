// The file toolbar's commands: new, open and merge, save and save as, exit. The work is the file
// commands' (TFileCommands); the window answers their questions through TMainFileHost.
#include "Commands.h"

#include "FileCommands.h"
#include "ProgramObjects.h"
#include "QVLanguage.h"
#include "ShellIcons.h"
#include "UnitMain.h"

#include <QAction>

bool sbtNewClick(TCommandContext& C)
{
    C.Objects.FileCommands->New();
    return true;
}

bool mnuOpenClick(TCommandContext& C)
{
    C.Objects.FileCommands->OpenGeo({}, false);
    return true;
}

bool mnuMergeClick(TCommandContext& C)
{
    C.Objects.FileCommands->OpenGeo({}, true);
    return true;
}

// Save writes through the save dialog, as Save as does.
bool MySaveClick(TCommandContext& C)
{
    C.Objects.FileCommands->SaveAs();
    return true;
}

namespace {
// The Save button becomes the item last chosen from its menu: its picture, its caption, and the
// button's own hint.
void ShowOnSaveButton(TCommandContext& C, const char* Item, int Image)
{
    QAction* button = C.Main.Command("sbtSave");
    const QString caption = C.Main.Command(Item)->text();
    button->setIcon(ShellIcon("imgListFile", Image));
    button->setIconText(caption);
    button->setText(caption);
    button->setToolTip(QString::fromStdString(GetLangMainHint("sbtSave")));
}
} // namespace

bool mnuSaveClick(TCommandContext& C)
{
    ShowOnSaveButton(C, "mnuSave", 3);
    return MySaveClick(C);
}

bool mnuSaveAsClick(TCommandContext& C)
{
    ShowOnSaveButton(C, "mnuSaveAs", 37);
    C.Objects.FileCommands->SaveAs();
    return true;
}

bool sbtExitClick(TCommandContext& C)
{
    C.Main.close();
    return true;
}
