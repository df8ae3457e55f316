#include "QVGuard.h"

#include "QVLanguage.h"
#include "QVServices.h"

#include <QCoreApplication>
#include <QMetaObject>

#include <exception>
#include <string>

namespace {

// The text of the exception being handled.
std::string CurrentMessage()
{
    try {
        throw;
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "An unexpected error occurred.";
    }
}

void Show(const std::string& Text) noexcept
{
    try {
        MainWindow().MessageBox(Text, GetLangString(450), TMsgIcon::Error, TMsgButtons::Ok);
    } catch (...) {
        // Nothing is left to tell the user with.
    }
}

void RunRecover(const std::function<void()>& Recover) noexcept
{
    if (!Recover)
        return;
    try {
        Recover();
    } catch (...) {
        // The way back failed too; the first message is the one that matters.
    }
}

// Runs Work; on an exception runs Recover and hands the message to Report.
bool Guard(const std::function<void()>& Work, const std::function<void()>& Recover,
           void (*Report)(const std::string& Text)) noexcept
{
    try {
        Work();
        return true;
    } catch (...) {
        const std::string text = CurrentMessage();
        RunRecover(Recover);
        Report(text);
        return false;
    }
}

void ShowLater(const std::string& Text) noexcept
{
    bool queued = false;
    try {
        QCoreApplication* app = QCoreApplication::instance();
        queued = app && QMetaObject::invokeMethod(
                            app, [Text] { Show(Text); }, Qt::QueuedConnection);
    } catch (...) {
    }
    if (!queued)
        Show(Text);
}

} // namespace

bool GuardedCall(const std::function<void()>& Work, const std::function<void()>& Recover) noexcept
{
    return Guard(Work, Recover, Show);
}

bool GuardedCallLater(const std::function<void()>& Work, const std::function<void()>& Recover) noexcept
{
    return Guard(Work, Recover, ShowLater);
}
