// The view's commands: the view toolbar and its twins in the view's pop-up menu, and the wheel.
#include "CommandsView.h"
#include "Commands.h"

#include "MainView.h"
#include "ProgramObjects.h"
#include "QVCmp.h"
#include "QVPrg2D.h"
#include "QVScene.h"
#include "QVTasks.h"
#include "SceneCamera.h"
#include "UnitMain.h"

#include <cmath>

namespace {

void ScaleCamera(TCameraNode& Camera, double Scale, float Position, double Depth)
{
    Camera.SceneScale *= Scale;
    const TVector3D p = Camera.Position();
    Camera.SetPosition(static_cast<float>(p.X * Position), static_cast<float>(p.Y * Position),
                       static_cast<float>(p.Z * Position));
    Camera.DepthOfView *= Depth;
}

bool StandardView(TQVScene& View, TViewDirection V)
{
    const TVector3D p = View.Camera->Position();
    const double r = std::sqrt(p.X * p.X + p.Y * p.Y + p.Z * p.Z);
    const std::array<double, 3> q = StandardViewPosition(V, r);
    View.Camera->SetPosition(q[0], q[1], q[2]);
    View.Repaint();
    return true;
}

} // namespace

void WheelZoom(TQVScene& View, int WheelDelta, int MouseX, int MouseY)
{
    const double f = WheelZoomFactor(WheelDelta);
    const QPoint s = WheelTargetPoint(f, View.ViewerWidth() / 2, View.ViewerHeight() / 2, MouseX, MouseY);
    const TPoint3D target = View.ScreenToWorld(s.x(), s.y());
    View.CameraRig->SetPosition(target.X, target.Y, target.Z);
    View.Camera->Zoom(f);
    View.Repaint();
}

bool sbtZoomInClick(TCommandContext& C)
{
    ScaleCamera(*C.Objects.View->Camera, 1.25, 0.8F, 0.8);
    C.Objects.View->Repaint();
    return true;
}

bool sbtZoomBackClick(TCommandContext& C)
{
    ScaleCamera(*C.Objects.View->Camera, 0.75, 1.3333334F, 1.333333333);
    C.Objects.View->Repaint();
    return true;
}

bool mnuAutozoomClick(TCommandContext& C)
{
    C.Objects.Drawing->ZoomToExtents();
    return true;
}

bool mnuZoomWindowClick(TCommandContext& C)
{
    C.Objects.Prog->StartNestedOperation(StateClass<TQV_20PrgZoomArea>());
    return true;
}

bool mnuPanClick(TCommandContext& C)
{
    C.Objects.Prog->StartNestedOperation(StateClass<TQV_21RealTimePan>());
    return true;
}

bool sbtRedrawClick(TCommandContext& C)
{
    if (C.Main.Hooks.SimulatorActive())
        C.Main.Hooks.SimulatorClearPath();
    else
        C.Objects.View->RebuildAll(false);
    return true;
}

bool sbtTopViewClick(TCommandContext& C)
{
    return StandardView(*C.Objects.View, TViewDirection::Top);
}

bool sbtFrontViewClick(TCommandContext& C)
{
    return StandardView(*C.Objects.View, TViewDirection::Front);
}

bool sbtSideViewClick(TCommandContext& C)
{
    return StandardView(*C.Objects.View, TViewDirection::Side);
}

bool sbtIsoViewClick(TCommandContext& C)
{
    return StandardView(*C.Objects.View, TViewDirection::Iso);
}
