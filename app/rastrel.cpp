// rastrel [FILE]: the program. FILE, when given, is opened as the Open command opens it once the
// main window is shown.
#include "ShellProgram.h"
#include "UnitConfig.h"
#include "UnitMain.h"
#include "UnitWebUpdate.h"

#include <QApplication>
#include <QTimer>

#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Numbers in files and on screen use '.', whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Rastrel");
    TShellProgram program(argc > 1 ? argv[1] : "");
    program.Main().show();
    // About once in twenty starts the program looks for a newer version, in the background once
    // the window is up.
    RollUpdateCheck();
    if (AutoUpdateDue && AppConfig && AppConfig->CheckForUpdate)
        QTimer::singleShot(0, &program.Main(), [&program] { RunWebUpdate(&program.Main(), true); });
    return app.exec();
}
