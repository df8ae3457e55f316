#pragma once
// Puts the interaction program on the view widget, as the window procedure once did: the widget's
// mouse and key events and the view's frames become the program's events, and the program's
// cursor is shown on the widget. No event is kept from the widget (wheel zoom, middle-button pan
// and the view's own drags go on as before), and no exception of the program crosses into Qt: the
// guard shows it and the program returns to idle.
#include <QObject>
#include <QPoint>
#include <QPointer>

#include <functional>

class QEvent;
class TQV_00CADProg;
class TQVScene;
class TRenderContext;
class TSceneWidget;
struct TViewPortInput;

class TCADPrgViewAdapter : public QObject {
public:
    // The program must have its view (ViewPort) set, the view shown by Widget. Neither is owned:
    // both outlive the adapter, which the host frees before them.
    TCADPrgViewAdapter(TQV_00CADProg& Prog, TSceneWidget& Widget);
    ~TCADPrgViewAdapter() override;
    TCADPrgViewAdapter(const TCADPrgViewAdapter&) = delete;
    TCADPrgViewAdapter& operator=(const TCADPrgViewAdapter&) = delete;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void Feed(const TViewPortInput& E);
    void ShowCursor(int32_t Cursor);

    TQV_00CADProg& Prog;
    QPointer<TSceneWidget> Widget;
    TQVScene* View;
    std::function<void(TRenderContext&)> ViewRender;
    // Where the program last heard the mouse.
    bool Moved = false;
    QPoint LastMove;
};
