#include "TracerProcess.h"

#include "QVLanguage.h"

#include <QEventLoop>
#include <QProcess>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>

#include <memory>

namespace {

// The tracer's window: a busy bar with a Stop button, shown once the trace has taken a moment
// (a quick one ends before it would only flash). Stop asks for the break.
class TTracerWindow : public TJobProgress {
public:
    explicit TTracerWindow(QWidget* Parent)
        : Dialog(QString::fromStdString(GetLangString("TracerRunning")),
                 QString::fromStdString(GetLangString("TracerStop")), 0, 0, Parent)
    {
        Dialog.setObjectName("dlgTracerProgress");
        Dialog.setWindowModality(Qt::WindowModal);
        Dialog.setMinimumDuration(0);
        Dialog.setAutoClose(false);
        Dialog.setAutoReset(false);
        Dialog.hide();
        QObject::connect(&Dialog, &QProgressDialog::canceled, [this] { Stopped = true; });
    }
    void Begin() override
    {
        Stopped = false;
        Running = true;
        QTimer::singleShot(300, &Dialog, [this] {
            if (Running)
                Dialog.show();
        });
    }
    void Report(int64_t, int64_t) override
    {
        if (Stopped)
            throw EUserBreak();
    }
    void End() override
    {
        Running = false;
        Dialog.hide();
    }

private:
    QProgressDialog Dialog;
    bool Stopped = false;
    bool Running = false;
};

// How often the wait asks the progress whether to break off.
constexpr int ReportInterval = 50;

} // namespace

TTracerRun TTracerProcess::Run(const std::string& Program, const std::vector<std::string>& Arguments)
{
    TTracerRun run;
    QStringList args;
    for (const std::string& a : Arguments)
        args << QString::fromStdString(a);
    QProcess process;
    // The tracer's error output says why it failed; its other output is of no use here.
    process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
    process.start(QString::fromStdString(Program), args);
    if (!process.waitForStarted()) {
        run.End = TTracerRun::TEnd::NotStarted;
        run.Error = process.errorString().toStdString();
        return run;
    }

    std::unique_ptr<TTracerWindow> window;
    if (!Progress)
        window = std::make_unique<TTracerWindow>(Parent);
    TJobProgress& progress = Progress ? *Progress : *window;
    bool stopped = false;
    {
        const TJobScope job(progress);
        QEventLoop loop;
        QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
        QTimer ask;
        QObject::connect(&ask, &QTimer::timeout, &loop, [&] {
            try {
                progress.Report(0, 0);
            } catch (const EUserBreak&) {
                stopped = true;
                ask.stop();
                process.kill();
            }
        });
        if (process.state() != QProcess::NotRunning) {
            ask.start(ReportInterval);
            loop.exec();
        }
        // After a kill the process may not have been reaped yet.
        process.waitForFinished(-1);
    }
    if (stopped)
        run.End = TTracerRun::TEnd::Cancelled;
    else if (process.exitStatus() == QProcess::CrashExit) {
        run.End = TTracerRun::TEnd::Crashed;
        run.Error = process.errorString().toStdString();
    } else {
        run.ExitCode = process.exitCode();
        if (run.ExitCode != 0) {
            const QStringList lines =
                QString::fromLocal8Bit(process.readAllStandardError()).trimmed().split('\n');
            run.Error = lines.last().trimmed().toStdString();
        }
    }
    return run;
}
