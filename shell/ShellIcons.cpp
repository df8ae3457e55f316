#include "ShellIcons.h"

#include "QVLanguage.h"

#include <QAbstractButton>
#include <QAction>
#include <QFile>
#include <QMainWindow>

QIcon ShellIcon(const char* List, int Index)
{
    const QString name = QString::fromStdString(ProgramFolder()) + "/Icons/" + List + "/" +
                         QString::number(Index).rightJustified(2, '0') + ".png";
    return QFile::exists(name) ? QIcon(name) : QIcon();
}

namespace {
struct TIconOf {
    const char* Control;
    const char* List;
    int Index;
};

// Which picture each control shows.
constexpr TIconOf IconTable[] = {
    {"sbtNew", "imgListFile", 0},          {"sbtOpen", "imgListFile", 1},
    {"sbtVect", "imgListFile", 2},         {"sbtSave", "imgListFile", 3},
    {"sbtCnc", "imgListFile", 4},          {"sbtSetting", "imgListFile", 5},
    {"sbtAbout", "imgListFile", 6},        {"sbtExit", "imgListFile", 7},
    {"mnuSave", "imgListFile", 3},         {"mnuAbout", "imgListFile", 6},
    {"mnuWeb", "imgListFile", 9},          {"sbtPoint", "imgListCreate", 0},
    {"sbtLine", "imgListCreate", 1},       {"sbtRectangle", "imgListCreate", 2},
    {"sbtArc", "imgListCreate", 3},        {"sbtPoly", "imgListCreate", 4},
    {"sbtSpline", "imgListCreate", 5},     {"sbtText", "imgListCreate", 6},
    {"sbtAutozoom", "imgListView", 0},     {"sbtZoomIn", "imgListView", 1},
    {"sbtZoomBack", "imgListView", 2},     {"sbtZoomWin", "imgListView", 3},
    {"sbtPan", "imgListView", 4},          {"sbtRedraw", "imgListView", 5},
    {"sbtTopView", "imgListView", 6},      {"sbtFrontView", "imgListView", 7},
    {"sbtSideView", "imgListView", 8},     {"sbtIsoView", "imgListView", 9},
    {"mnuAutozoom", "imgListView", 0},     {"mnuZoomIn", "imgListView", 1},
    {"mnuZoomOut", "imgListView", 2},      {"mnuZoomWindow", "imgListView", 3},
    {"mnuPan", "imgListView", 4},          {"sbtUndo", "imgListModify", 0},
    {"sbtDelete", "imgListModify", 1},     {"sbtModify", "imgListModify", 2},
    {"sbtXform", "imgListModify", 3},      {"sbtAnalyze", "imgListModify", 4},
    {"sbtSnap", "imgListStatus", 0},       {"sbtUseOrtho", "imgListStatus", 12},
    {"sbtWinSel", "imgListStatus", 13},    {"sbtAxisOnOff", "imgListStatus", 14},
    {"sbtGridOnOff", "imgListStatus", 15}, {"sbtCancel", "imgListStatus", 16},
    {"sbtDone", "imgListStatus", 17},      {"mnuCancel", "imgListStatus", 16},
    {"mnuDone", "imgListStatus", 17},      {"mnuOrtho", "imgListStatus", 12},
    {"mnuWinSelect", "imgListStatus", 13},
};
} // namespace

void ShellSetIcons(QMainWindow& Main)
{
    for (const TIconOf& i : IconTable) {
        const QIcon icon = ShellIcon(i.List, i.Index);
        if (icon.isNull())
            continue;
        if (auto* a = Main.findChild<QAction*>(i.Control))
            a->setIcon(icon);
        else if (auto* b = Main.findChild<QAbstractButton*>(i.Control))
            b->setIcon(icon);
    }
}
