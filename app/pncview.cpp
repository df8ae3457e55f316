// pncview FILE: opens a drawing, DXF, SVG, STL or picture file as the program's Open command does
// and shows it in the view. Shift+left drag pans, Ctrl+left drag zooms, Alt+left drag orbits
// (window managers often take Alt+drag for themselves); the wheel zooms about the cursor and a
// middle-button drag pans.
#include "FileCommands.h"
#include "PlainFileHost.h"
#include "QVCmp.h"
#include "QVFonts.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVSceneWidget.h"
#include "QVServices.h"
#include "QVVariabili.h"

#include <QApplication>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <QWidget>

#include <clocale>
#include <cmath>
#include <cstdio>

namespace {
// Wheel zoom and middle-button pan on the viewer.
class TNavigation : public QObject {
public:
    explicit TNavigation(TQVScene& V) : View(V) {}

protected:
    bool eventFilter(QObject* Watched, QEvent* E) override
    {
        switch (E->type()) {
        case QEvent::Wheel: {
            auto* w = static_cast<QWheelEvent*>(E);
            const QPoint p = w->position().toPoint();
            GuardedCall([&] { View.ZoomAt(std::pow(1.2, w->angleDelta().y() / 120.0), p.x(), p.y()); });
            return true;
        }
        case QEvent::MouseButtonPress: {
            auto* m = static_cast<QMouseEvent*>(E);
            if (m->button() == Qt::MiddleButton)
                Last = m->position().toPoint();
            break;
        }
        case QEvent::MouseMove: {
            auto* m = static_cast<QMouseEvent*>(E);
            if (m->buttons() & Qt::MiddleButton) {
                const QPoint p = m->position().toPoint();
                GuardedCall([&] { View.Pan(Last.x(), Last.y(), p.x(), p.y()); });
                Last = p;
            }
            break;
        }
        default:
            break;
        }
        return QObject::eventFilter(Watched, E);
    }

private:
    TQVScene& View;
    QPoint Last;
};

// What the file commands tell the user goes into message boxes.
class TViewerMessages : public TMainWindowServices {
public:
    void SetStatusMessage(const std::string&) override {}
    bool GetPlacement(TWindowPlacement&) const override { return false; }
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgIcon Icon,
                          TMsgButtons) override
    {
        const QString title = QString::fromStdString(Caption.empty() ? "pncview" : Caption);
        if (Icon == TMsgIcon::Error || Icon == TMsgIcon::Warning)
            QMessageBox::warning(nullptr, title, QString::fromStdString(Text));
        else
            QMessageBox::information(nullptr, title, QString::fromStdString(Text));
        return TMsgResult::Ok;
    }
};
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc != 2) {
        std::fprintf(stderr, "usage: pncview FILE (.pnc, .dxf, .svg, .stl, .bmp, .jpg)\n");
        return 2;
    }
    RegisterDrawingClasses();
    // The stroke fonts beside the program, as the program registers them at its start: without
    // them texts show nothing.
    RegisterProgramFonts(ProgramFolder());
    TViewerMessages messages;
    SetMainWindowServices(&messages);
    TQV_01Cmp2D drawing;
    // The view outlives its viewer, which the window owns.
    TQVScene view;
    view.AttachDrawing(&drawing);
    DrawingView = &view;
    TPlainFileHost host;
    TFileCommands commands(drawing, host);
    // A file that cannot be read has been told.
    if (!commands.OpenGeo(argv[1], false)) {
        DrawingView = nullptr;
        SetMainWindowServices(nullptr);
        return 1;
    }
    QWidget window;
    window.setWindowTitle(QString("pncview - ") + QString::fromLocal8Bit(argv[1]));
    window.resize(1000, 700);
    TSceneWidget* viewer = CreateViewWidget(view, &window);
    TNavigation navigation(view);
    viewer->installEventFilter(&navigation);
    view.SetAxesVisible(true);
    view.GridRebuildEnabled = true;
    view.RebuildGrid();
    view.RebuildAll(false);
    window.show();
    // Zoom once the viewer has its size.
    QTimer::singleShot(0, [&view] { view.ZoomToExtents(); });
    const int rc = app.exec();
    viewer->removeEventFilter(&navigation);
    DrawingView = nullptr;
    SetMainWindowServices(nullptr);
    return rc;
}
