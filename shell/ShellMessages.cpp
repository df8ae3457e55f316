#include "ShellMessages.h"

#include <QApplication>
#include <QMessageBox>

#include <utility>

namespace {
TMessageAnswerer& Answerer()
{
    static TMessageAnswerer answerer;
    return answerer;
}

QMessageBox::Icon ToQt(TMsgIcon Icon)
{
    switch (Icon) {
    case TMsgIcon::Information:
        return QMessageBox::Information;
    case TMsgIcon::Warning:
        return QMessageBox::Warning;
    case TMsgIcon::Error:
        return QMessageBox::Critical;
    case TMsgIcon::Question:
        return QMessageBox::Question;
    case TMsgIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons ToQt(TMsgButtons Buttons)
{
    switch (Buttons) {
    case TMsgButtons::OkCancel:
        return QMessageBox::Ok | QMessageBox::Cancel;
    case TMsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case TMsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case TMsgButtons::Ok:
        break;
    }
    return QMessageBox::Ok;
}
} // namespace

TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons)
{
    if (Answerer())
        return Answerer()({Text, Caption, Icon, Buttons});
    QMessageBox box(ToQt(Icon), QString::fromStdString(Caption), QString::fromStdString(Text), ToQt(Buttons),
                    QApplication::activeWindow());
    switch (box.exec()) {
    case QMessageBox::Yes:
        return TMsgResult::Yes;
    case QMessageBox::No:
        return TMsgResult::No;
    case QMessageBox::Cancel:
        return TMsgResult::Cancel;
    default:
        // The close box is the cautious answer.
        if (Buttons == TMsgButtons::YesNo)
            return TMsgResult::No;
        return Buttons == TMsgButtons::Ok ? TMsgResult::Ok : TMsgResult::Cancel;
    }
}

TMessageAnswerer SetMessageAnswerer(TMessageAnswerer NewAnswerer)
{
    return std::exchange(Answerer(), std::move(NewAnswerer));
}
