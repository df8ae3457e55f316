#pragma once
// The tracing page of the tool window: the thresholds with their preview, the speck removal,
// the tracer's values, the size filter, the fitting of lines and arcs, the target layer and the
// report. It owns the tracing front end while a picture is being traced and drives it from its
// buttons; the tool window hosts it on its "sheetVectorize" tab.
#include "Bmp2Vector.h"

#include <QWidget>

#include <functional>
#include <memory>

class QHideEvent;

namespace Ui {
class TracingPage;
}

class TTracingPage : public QWidget {
public:
    explicit TTracingPage(QWidget* Parent = nullptr);
    ~TTracingPage() override;

    // The vectorize command: the page takes the front end, captions the layer button with the
    // current layer, clears "view original" and disables Done. The other values stay as the
    // user left them.
    void Start(std::unique_ptr<TBmp2Vector> FrontEnd, int CurrentLayer);
    // When the window hides: the front end and its traced result go.
    void Finish();
    TBmp2Vector* FrontEnd() const { return Front.get(); }

    // The page's values as the front end reads them.
    TTraceSettings Settings() const;

    // Done (after a successful Accept) and Close: the host hides the window.
    std::function<void()> OnClose;
    // The layer button: the host shows the layer dialog and answers the current layer, or -1
    // when there is none to show.
    std::function<int()> OnChooseLayer;
    // The tracer runs (true) and has ended (false): events go on meanwhile, and the host keeps
    // what the trace works on alive until the end.
    std::function<void(bool Running)> OnJob;
    // The runner of the tracer; the process runner when not set.
    TTracerRunner* Runner = nullptr;

protected:
    // The window that holds the page hides: the front end goes, and its traced result with it.
    void hideEvent(QHideEvent* Event) override;

private:
    void ConnectThreshold(class QSlider* Bar, class QSpinBox* Edit);
    void Preview();
    void Act(const std::function<void()>& Work);

    std::unique_ptr<Ui::TracingPage> UiPage;
    std::unique_ptr<TBmp2Vector> Front;
};

// The vectorize command, once the file commands have found the picture traceable
// (TFileCommands::CheckVectorize): Page takes a new front end on Image, the picture's entity in
// Drawing, and Source, the untouched picture (the private temporary folder, the doru beside the
// program, the program's view), and the status line says what to do; the caller shows the page.
void StartVectorize(TTracingPage& Page, TQV_01Cmp2D& Drawing, TBitmap2D& Image, const TBitmap32& Source);
