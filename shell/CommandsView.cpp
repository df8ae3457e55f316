// The main window's view toolbar, the view's pop-up menu and the status bar.
#include "UnitMain.h"

#include "ui_UnitMain.h"

#include "MainView.h"
#include "QVBitmap2D.h"
#include "QVCmp.h"
#include "QVFormat.h"
#include "QVGuard.h"
#include "QVLanguage.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVTasks.h"
#include "SceneCamera.h"
#include "SceneWidget.h"
#include "TracingPage.h"
#include "UnitConfig.h"
#include "UnitToolWin.h"

#include <QMenu>
#include <QMouseEvent>
#include <QToolButton>
#include <QWheelEvent>

#include <cmath>

void TfrmMain::WheelZoom(int WheelDelta, int MouseX, int MouseY)
{
    const double f = WheelZoomFactor(WheelDelta);
    const QPoint s = WheelTargetPoint(f, FView->ViewerWidth() / 2, FView->ViewerHeight() / 2, MouseX, MouseY);
    const TPoint3D target = FView->ScreenToWorld(s.x(), s.y());
    FView->CameraRig->SetPosition(target.X, target.Y, target.Z);
    FView->Camera->Zoom(f);
    FView->Repaint();
}

namespace {
void ScaleCamera(TCameraNode& Camera, double Scale, float Position, double Depth)
{
    Camera.SceneScale *= Scale;
    const TVector3D p = Camera.Position();
    Camera.SetPosition(static_cast<float>(p.X * Position), static_cast<float>(p.Y * Position),
                       static_cast<float>(p.Z * Position));
    Camera.DepthOfView *= Depth;
}
} // namespace

void TfrmMain::sbtZoomInClick()
{
    ScaleCamera(*FView->Camera, 1.25, 0.8F, 0.8);
    FView->Repaint();
}

void TfrmMain::sbtZoomBackClick()
{
    ScaleCamera(*FView->Camera, 0.75, 1.3333334F, 1.333333333);
    FView->Repaint();
}

void TfrmMain::mnuAutozoomClick()
{
    FDrawing->ZoomToExtents();
}

void TfrmMain::mnuZoomWindowClick()
{
    FProg->StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
}

void TfrmMain::mnuPanClick()
{
    FProg->StartNestedOperation(StateClass<TQV_21RealTimePan>());
}

void TfrmMain::sbtRedrawClick()
{
    if (Hooks.SimulatorActive())
        Hooks.SimulatorClearPath();
    else
        FView->RebuildAll(false);
}

void TfrmMain::StandardView(TStandardView V)
{
    const TVector3D p = FView->Camera->Position();
    const double r = std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z);
    const std::array<double, 3> q = StandardViewPosition(static_cast<TViewDirection>(V), r);
    FView->Camera->SetPosition(q[0], q[1], q[2]);
    FView->Repaint();
}

void TfrmMain::sbtGridOnOffClick()
{
    AppConfig->SGrid = ui->sbtGridOnOff->isChecked();
    FView->SetGridVisible(AppConfig->SGrid);
}

void TfrmMain::sbtAxisOnOffClick()
{
    FView->SetAxesVisible(ui->sbtAxisOnOff->isChecked());
    AppConfig->SAxis = ui->sbtAxisOnOff->isChecked();
}

void TfrmMain::tbrStatusBarMouseDown(Qt::MouseButton Button, int X)
{
    if (Button == Qt::RightButton && StatusGridHotSpot(X))
        Hooks.GridDialog();
}

void TfrmMain::sbtLayerClick()
{
    ShowStatusMessage(StatusMessages[2]);
    Hooks.LayerDialog();
}

void TfrmMain::mnuSBGridSetClick()
{
    ShowStatusMessage(StatusMessages[3]);
    Hooks.GridDialog();
}

void TfrmMain::GraphicViewMouseMove2D(double, double)
{
    TPoint2D p;
    FProg->GetSnappedPoint(p);
    ui->lblCoordinate->setText(QString::fromStdString("X: " + FormatCoord(p.X) + " Y: " + FormatCoord(p.Y)));
}

bool TfrmMain::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::ToolTip && FHintsOff)
        return true;
    if (Watched == FViewer && Event->type() == QEvent::Wheel) {
        auto* w = static_cast<QWheelEvent*>(Event);
        const QPoint m = w->position().toPoint();
        GuardedCall([&] { WheelZoom(w->angleDelta().y(), m.x(), m.y()); });
        // Handled here: the viewer's own wheel zoom does not run as well.
        return true;
    }
    if ((Watched == ui->tbrStatusBar || Watched == ui->pnlStatusItems) &&
        Event->type() == QEvent::MouseButtonPress) {
        auto* m = static_cast<QMouseEvent*>(Event);
        const QPoint p = static_cast<QWidget*>(Watched)->mapTo(ui->tbrStatusBar, m->position().toPoint());
        GuardedCall([&] { tbrStatusBarMouseDown(m->button(), p.x()); });
        // Handled once: the press does not go on to the status bar behind the strip.
        return true;
    }
    return QMainWindow::eventFilter(Watched, Event);
}

void TfrmMain::ConnectCommands()
{
    Ui::TfrmMain& f = *ui;
    auto on = [this](QAction* A, void (TfrmMain::*Handler)()) {
        connect(A, &QAction::triggered, this, [this, Handler] { GuardedCall([&] { (this->*Handler)(); }); });
    };
    on(f.sbtZoomIn, &TfrmMain::sbtZoomInClick);
    on(f.mnuZoomIn, &TfrmMain::sbtZoomInClick);
    on(f.sbtZoomBack, &TfrmMain::sbtZoomBackClick);
    on(f.mnuZoomOut, &TfrmMain::sbtZoomBackClick);
    on(f.sbtAutozoom, &TfrmMain::mnuAutozoomClick);
    on(f.mnuAutozoom, &TfrmMain::mnuAutozoomClick);
    on(f.sbtZoomWin, &TfrmMain::mnuZoomWindowClick);
    on(f.mnuZoomWindow, &TfrmMain::mnuZoomWindowClick);
    on(f.sbtPan, &TfrmMain::mnuPanClick);
    on(f.mnuPan, &TfrmMain::mnuPanClick);
    on(f.sbtRedraw, &TfrmMain::sbtRedrawClick);
    on(f.mnuSBGridSet, &TfrmMain::mnuSBGridSetClick);
    auto view = [this](QAction* A, TStandardView V) {
        connect(A, &QAction::triggered, this, [this, V] { GuardedCall([&] { StandardView(V); }); });
    };
    view(f.sbtTopView, TStandardView::Top);
    view(f.sbtFrontView, TStandardView::Front);
    view(f.sbtSideView, TStandardView::Side);
    view(f.sbtIsoView, TStandardView::Iso);
    connect(f.sbtUndo, &QAction::triggered, this, [this] { GuardedCall([this] { Hooks.Undo(); }); });
    connect(f.sbtGridOnOff, &QToolButton::clicked, this,
            [this] { GuardedCall([this] { sbtGridOnOffClick(); }); });
    connect(f.sbtAxisOnOff, &QToolButton::clicked, this,
            [this] { GuardedCall([this] { sbtAxisOnOffClick(); }); });
    connect(f.sbtLayer, &QToolButton::clicked, this, [this] { GuardedCall([this] { sbtLayerClick(); }); });
    on(f.sbtVect, &TfrmMain::sbtVectClick);
    connect(f.sbtExit, &QAction::triggered, this, &QWidget::close);
    ConnectFileCommands();
    connect(f.mnuAbout, &QAction::triggered, this, [this] {
        if (About) {
            About->show();
            About->raise();
        }
    });
    connect(f.sbtCancel, &QToolButton::clicked, this,
            [this] { GuardedCall([this] { FProg->SendUserEvent(2); }); });
    connect(f.mnuCancel, &QAction::triggered, this,
            [this] { GuardedCall([this] { FProg->SendUserEvent(2); }); });
    connect(f.sbtDone, &QToolButton::clicked, this,
            [this] { GuardedCall([this] { FProg->SendUserEvent(1); }); });
    connect(f.mnuDone, &QAction::triggered, this,
            [this] { GuardedCall([this] { FProg->SendUserEvent(1); }); });
    // The toolbars have no close box in Qt: hiding one (its context menu) is its close.
    // The settings page that shows their check boxes comes with the settings command.
}

void TfrmMain::sbtVectClick()
{
    if (!ToolWin || !ToolWin->TracingPage)
        return;
    if (StartVectorize(*ToolWin->TracingPage, *FDrawing, CurrentBitmap, Hooks.SourceBitmap())) {
        TTracingPage* page = ToolWin->TracingPage;
        ToolWin->AddHideHandler([page] { page->Finish(); });
    }
}
