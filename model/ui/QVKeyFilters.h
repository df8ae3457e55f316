#pragma once
// The key filters of the numeric edit fields on Qt widgets: typed characters go through the
// filter's table (',' may become '.', other characters are dropped); navigation, editing and
// shortcut keys pass untouched.
#include "QVFormat.h"

#include <QObject>

class QWidget;

class TKeyFilter : public QObject {
public:
    TKeyFilter(TKeyFilterProc proc, QObject* parent) : QObject(parent), Proc(proc) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    TKeyFilterProc Proc;
};

// Installs Proc (SoloNumeriEMeno, SoloNumeriPos, ...) on the field; the filter lives as long as it.
void InstallKeyFilter(QWidget* Edit, TKeyFilterProc Proc);
