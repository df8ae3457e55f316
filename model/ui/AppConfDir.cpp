#include "AppConfDir.h"

#include "QVLanguage.h"
#include "UnitConfig.h"

#include <QLabel>
#include <QLineEdit>

#include <string>

TAppConfDir::TAppConfDir(QWidget* Sheet, const TAppConfig& config) : QGroupBox(Sheet), Config(config)
{
    setObjectName("grpDir");
    setGeometry(8, 8, 300, 276);
    setTitle(QString::fromStdString(GetLangToolWinCaption("grpDir")));
    for (int i = 0; i < 5; ++i) {
        const std::string name = "lblDir" + std::to_string(i);
        auto* label = new QLabel(QString::fromStdString(GetLangToolWinCaption(name)), this);
        label->setObjectName(QString::fromStdString(name));
        label->setGeometry(8, 16 + 48 * i, 200, label->sizeHint().height());
        auto* edit = new QLineEdit(this);
        edit->setGeometry(16, 32 + 48 * i, 268, edit->sizeHint().height());
        edit->setEnabled(false);  // display only
        Edits[static_cast<size_t>(i)] = edit;
    }
    ShowFolders();
}

void TAppConfDir::ShowFolders()
{
    const std::string folders[5] = {Config.FilePath_Geo, Config.FilePath_Cnc, Config.DataDir + "/pst/", Config.ToolsDir,
                                    Config.DataDir + "/samples/"};
    for (size_t i = 0; i < Edits.size(); ++i)
        Edits[i]->setText(QString::fromStdString(folders[i]));
}

QString TAppConfDir::FolderText(int i) const
{
    return i >= 0 && i < 5 ? Edits[static_cast<size_t>(i)]->text() : QString();
}
