// rastrel [FILE]: the program. FILE, when given, is opened as the Open command opens it once the
// main window is shown.
#include "ShellProgram.h"
#include "UnitMain.h"

#include <QApplication>

#include <clocale>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Numbers in files and on screen use '.', whatever the user's locale says.
    std::setlocale(LC_NUMERIC, "C");
    QApplication::setApplicationName("Rastrel");
    TShellProgram program(argc > 1 ? argv[1] : "");
    program.Main().show();
    return app.exec();
}
