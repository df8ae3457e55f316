#pragma once
// The view's wheel zoom, which the main window's event filter runs for a wheel turn over the view.
class TQVScene;

// Zooms about the mouse at (MouseX, MouseY): the world point under it stays under it.
void WheelZoom(TQVScene& View, int WheelDelta, int MouseX, int MouseY);
