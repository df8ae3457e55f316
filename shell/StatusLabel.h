#pragma once
// The status bar's message: a label that, when the window is too narrow for the whole message,
// shows its beginning with an ellipsis and the whole message as its tooltip, where a plain label
// would cut off its beginning. text() stays the whole message.
#include <QLabel>

class TStatusLabel : public QLabel {
public:
    using QLabel::QLabel;

    // What the label shows in its present width.
    QString ShownText() const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    bool event(QEvent* Event) override;
};
