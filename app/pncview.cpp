// pncview FILE.pnc: opens a drawing file and shows it in the view. Shift+left drag pans, Ctrl+left
// drag zooms, Alt+left drag orbits (window managers often take Alt+drag for themselves); the
// wheel zooms about the cursor and a middle-button drag pans.
#include "CADExceptions.h"
#include "PncviewOpen.h"
#include "QVCmp.h"
#include "QVFonts.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVRegistry.h"
#include "QVScene.h"
#include "QVSceneWidget.h"

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
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    if (argc != 2) {
        std::fprintf(stderr, "usage: pncview FILE.pnc|FILE.dxf\n");
        return 2;
    }
    RegisterDrawingClasses();
    // The stroke fonts beside the program, as the main window registers them at its start:
    // without them texts show nothing.
    RegisterProgramFonts(ProgramFolder());
    TQV_01Cmp2D drawing;
    try {
        OpenForViewing(argv[1], drawing);
    } catch (const std::exception& e) {
        QMessageBox::critical(nullptr, "pncview", QString::fromStdString(e.what()));
        return 1;
    }
    // The view outlives its viewer, which the window owns.
    TQVScene view;
    DrawingView = &view;
    view.AttachDrawing(&drawing);
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
    return rc;
}
