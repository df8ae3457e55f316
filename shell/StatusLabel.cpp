#include "StatusLabel.h"

#include <QHelpEvent>
#include <QPainter>
#include <QStyle>
#include <QToolTip>

QString TStatusLabel::ShownText() const
{
    return fontMetrics().elidedText(text(), Qt::ElideRight, contentsRect().width());
}

void TStatusLabel::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    style()->drawItemText(&p, contentsRect(), int(alignment()), palette(), isEnabled(), ShownText(),
                          foregroundRole());
}

bool TStatusLabel::event(QEvent* Event)
{
    // The whole message as the tooltip, only while it is shortened.
    if (Event->type() == QEvent::ToolTip && toolTip().isEmpty()) {
        if (ShownText() != text())
            QToolTip::showText(static_cast<QHelpEvent*>(Event)->globalPos(), text(), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QLabel::event(Event);
}
