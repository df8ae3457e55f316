#include "ShellIcons.h"

#include "QVLanguage.h"

#include <QFile>

QIcon ShellIcon(const char* List, int Index)
{
    const QString name = QString::fromStdString(ProgramFolder()) + "/Icons/" + List + "/" +
                         QString::number(Index).rightJustified(2, '0') + ".png";
    return QFile::exists(name) ? QIcon(name) : QIcon();
}
