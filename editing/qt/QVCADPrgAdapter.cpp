#include "QVCADPrgAdapter.h"

#include "QVCADPrg.h"
#include "QVCursors.h"
#include "QVGuard.h"
#include "QVScene.h"
#include "SceneWidget.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

namespace {

TShiftState ShiftOf(Qt::KeyboardModifiers Keys, Qt::MouseButtons Buttons)
{
    TShiftState s = 0;
    if (Keys & Qt::ShiftModifier)
        s |= ssShift;
    if (Keys & Qt::AltModifier)
        s |= ssAlt;
    if (Keys & Qt::ControlModifier)
        s |= ssCtrl;
    if (Buttons & Qt::LeftButton)
        s |= ssLeft;
    if (Buttons & Qt::RightButton)
        s |= ssRight;
    if (Buttons & Qt::MiddleButton)
        s |= ssMiddle;
    return s;
}

// False for a button the program has no code for (back, forward, ...).
bool ButtonOf(Qt::MouseButton B, TMouseButton& Out)
{
    switch (B) {
    case Qt::LeftButton:
        Out = mbLeft;
        return true;
    case Qt::RightButton:
        Out = mbRight;
        return true;
    case Qt::MiddleButton:
        Out = mbMiddle;
        return true;
    default:
        return false;
    }
}

} // namespace

TCADPrgViewAdapter::TCADPrgViewAdapter(TQV_00CADProg& Prog, TSceneWidget& Widget)
    : QObject(&Widget), Prog(Prog), Widget(&Widget), View(Prog.ViewPort())
{
    // Keys reach the view once it has been clicked or tabbed to.
    if (Widget.focusPolicy() == Qt::NoFocus)
        Widget.setFocusPolicy(Qt::StrongFocus);
    Widget.setMouseTracking(true);
    Widget.installEventFilter(this);
    // Each frame of the view gives the program its paint before the overlay is drawn, so a
    // rubber band a state sets there shows in the same frame. A repaint asked for meanwhile is
    // dropped by the viewer, so a paint never asks for another.
    if (View) {
        ViewRender = View->Overlay->OnRender;
        View->Overlay->OnRender = [this](TRenderContext& C) {
            TViewPortInput e;
            e.Kind = TViewPortInput::Paint;
            GuardedCallLater([&] { this->Prog.ViewPortInput(e); }, [this] { this->Prog.AbortOperation(); });
            if (ViewRender)
                ViewRender(C);
        };
    }
    Prog.OnCursorChanged = [this](int32_t Cursor) { ShowCursor(Cursor); };
    ShowCursor(Prog.ViewerCursor());
}

TCADPrgViewAdapter::~TCADPrgViewAdapter()
{
    Prog.OnCursorChanged = nullptr;
    if (View)
        View->Overlay->OnRender = ViewRender;
    if (Widget)
        Widget->removeEventFilter(this);
}

void TCADPrgViewAdapter::ShowCursor(int32_t Cursor)
{
    if (Widget)
        Widget->setCursor(ViewCursor(Cursor));
}

void TCADPrgViewAdapter::Feed(const TViewPortInput& E)
{
    if (E.Kind == TViewPortInput::MouseMove) {
        Moved = true;
        LastMove = QPoint(E.X, E.Y);
    }
    GuardedCall([&] { Prog.ViewPortInput(E); }, [this] { Prog.AbortOperation(); });
}

bool TCADPrgViewAdapter::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched != Widget)
        return false;
    TViewPortInput e;
    switch (Event->type()) {
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* m = static_cast<QMouseEvent*>(Event);
        const QPoint p = m->position().toPoint();
        e.X = p.x();
        e.Y = p.y();
        e.Shift = ShiftOf(m->modifiers(), m->buttons());
        if (Event->type() == QEvent::MouseMove) {
            e.Kind = TViewPortInput::MouseMove;
            Feed(e);
            return false;
        }
        if (!ButtonOf(m->button(), e.Button))
            return false;
        // Qt's double click stands for the second press, as the system's did.
        e.Kind = Event->type() == QEvent::MouseButtonPress     ? TViewPortInput::MouseDown
                 : Event->type() == QEvent::MouseButtonRelease ? TViewPortInput::MouseUp
                                                               : TViewPortInput::DblClick;
        // The cursor point follows moves only, and Qt need not send one before a press (a touch,
        // a window just shown): the move comes first here, with the buttons held before.
        if (!Moved || p != LastMove) {
            TViewPortInput move = e;
            move.Kind = TViewPortInput::MouseMove;
            const TShiftState button = e.Button == mbLeft ? ssLeft : e.Button == mbRight ? ssRight : ssMiddle;
            move.Shift = e.Kind == TViewPortInput::MouseUp ? TShiftState(e.Shift | button)
                                                           : TShiftState(e.Shift & ~button);
            Feed(move);
        }
        if (e.Kind == TViewPortInput::DblClick)
            e.Shift |= ssDouble;
        Feed(e);
        return false;
    }
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* k = static_cast<QKeyEvent*>(Event);
        // A held key repeats its press without releases in between, as the system's did.
        if (Event->type() == QEvent::KeyRelease && k->isAutoRepeat())
            return false;
        e.Kind = Event->type() == QEvent::KeyPress ? TViewPortInput::KeyDown : TViewPortInput::KeyUp;
        e.Key = k->key();
        e.Shift = ShiftOf(k->modifiers(), QGuiApplication::mouseButtons());
        Feed(e);
        return false;
    }
    default:
        return false;
    }
}
