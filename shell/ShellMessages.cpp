#include "ShellMessages.h"

#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QFileDialog>
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

TFileDialogAnswerer& FileAnswerer()
{
    static TFileDialogAnswerer answerer;
    return answerer;
}

TMsgResult ShowBox(const TMessageRequest& Request)
{
    if (Answerer())
        return Answerer()(Request);
    const TMsgButtons Buttons = Request.Buttons;
    QMessageBox box(ToQt(Request.Icon), QString::fromStdString(Request.Caption),
                    QString::fromStdString(Request.Text), ToQt(Buttons), QApplication::activeWindow());
    QCheckBox* check = nullptr;
    if (Request.Checked) {
        check = new QCheckBox(QString::fromStdString(Request.CheckText), &box);
        check->setChecked(*Request.Checked);
        box.setCheckBox(check);
    }
    const int answer = box.exec();
    if (check)
        *Request.Checked = check->isChecked();
    switch (answer) {
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
} // namespace

TMsgResult ShowMessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons Buttons)
{
    return ShowBox({Text, Caption, Icon, Buttons, {}, nullptr});
}

TMsgResult ShowMessageBoxWithCheck(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                                   TMsgButtons Buttons, const std::string& CheckText, bool& Checked)
{
    return ShowBox({Text, Caption, Icon, Buttons, CheckText, &Checked});
}

TMessageAnswerer SetMessageAnswerer(TMessageAnswerer NewAnswerer)
{
    return std::exchange(Answerer(), std::move(NewAnswerer));
}

std::string AskFileName(const TFileDialogRequest& Request)
{
    if (FileAnswerer())
        return FileAnswerer()(Request);
    const QString caption = QString::fromStdString(Request.Caption);
    const QString start = QString::fromStdString(Request.Start);
    const QString filter = QString::fromStdString(Request.Filter);
    if (!Request.Save)
        return QFileDialog::getOpenFileName(QApplication::activeWindow(), caption, start, filter)
            .toStdString();
    QFileDialog dialog(QApplication::activeWindow(), caption, start, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QString::fromStdString(Request.DefaultSuffix));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().front().toStdString();
}

TFileDialogAnswerer SetFileDialogAnswerer(TFileDialogAnswerer NewAnswerer)
{
    return std::exchange(FileAnswerer(), std::move(NewAnswerer));
}

namespace {
TColourDialogAnswerer& ColourAnswerer()
{
    static TColourDialogAnswerer answerer;
    return answerer;
}
} // namespace

std::optional<int32_t> AskColour(int32_t Start)
{
    if (ColourAnswerer())
        return ColourAnswerer()(Start);
    const QColor start(Start & 0xFF, (Start >> 8) & 0xFF, (Start >> 16) & 0xFF);
    const QColor chosen = QColorDialog::getColor(start, QApplication::activeWindow());
    if (!chosen.isValid())
        return std::nullopt;
    return chosen.red() | (chosen.green() << 8) | (chosen.blue() << 16);
}

TColourDialogAnswerer SetColourDialogAnswerer(TColourDialogAnswerer NewAnswerer)
{
    return std::exchange(ColourAnswerer(), std::move(NewAnswerer));
}
