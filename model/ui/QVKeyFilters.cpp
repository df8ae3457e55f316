#include "QVKeyFilters.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

bool TKeyFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    const QString text = key->text();
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        // Control characters (backspace, Enter, Tab, Esc, Delete) belong to the field and the dialog.
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    }
    if (text.size() != 1 || text[0].unicode() > 0x7e)
        return true;
    const char typed = static_cast<char>(text[0].unicode());
    char k = typed;
    Proc(k);
    if (k == 0)
        return true;
    if (k == typed)
        return false;
    // The filter changed the character (',' into '.'): the field gets the new one instead.
    const auto qtKey = k == '.' ? Qt::Key_Period : static_cast<Qt::Key>(k);
    QKeyEvent replacement(QEvent::KeyPress, qtKey, key->modifiers(), QString(QChar(k)));
    QCoreApplication::sendEvent(watched, &replacement);
    return true;
}

void InstallKeyFilter(QWidget* Edit, TKeyFilterProc Proc) { Edit->installEventFilter(new TKeyFilter(Proc, Edit)); }
