#include "TracerProcess.h"

#include "QVLanguage.h"

#include <QEventLoop>
#include <QProcess>
#include <QProgressDialog>
#include <QStringList>
#include <QTimer>

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

    QProgressDialog progress(QString::fromStdString(GetLangString("TracerRunning")),
                             QString::fromStdString(GetLangString("TracerStop")), 0, 0, Parent);
    progress.setObjectName("dlgTracerProgress");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(0);
    progress.setAutoClose(false);
    progress.setAutoReset(false);
    bool stopped = false;
    QEventLoop loop;
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&] {
        stopped = true;
        process.kill();
    });
    if (process.state() != QProcess::NotRunning) {
        // A quick trace ends before the window would only flash.
        QTimer::singleShot(300, &progress, [&progress] { progress.show(); });
        loop.exec();
    }
    // After a kill the process may not have been reaped yet.
    process.waitForFinished(-1);
    progress.hide();
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
