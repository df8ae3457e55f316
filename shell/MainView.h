#pragma once
// The arithmetic of the main window's view and status controls, apart from the window so that
// it can be checked alone.
#include <QPoint>

#include <array>

// The zoom factor of a wheel turn: 0.9 per notch forward (zooms out), 1 / 0.9 per notch back.
double WheelZoomFactor(int WheelDelta);
// The screen point the view's target moves to for a wheel zoom by F with the mouse at (MX, MY)
// and the viewer's centre at (CX, CY): the offsets in single precision, rounded half to even.
QPoint WheelTargetPoint(double F, int CX, int CY, int MX, int MY);
// The camera's position for a standard view at distance R from its target.
enum class TViewDirection { Top, Front, Side, Iso };
std::array<double, 3> StandardViewPosition(TViewDirection V, double R);
// A right click on the status bar at X opens the grid dialog: left of 23, or between 92 and 115.
bool StatusGridHotSpot(int X);
