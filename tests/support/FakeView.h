#pragma once
// A view for the drawing's tests: it records the rebuilds, zooms and busy cursors asked of it and
// maps the world to pixels by a fixed scale, Y growing downwards from the top of the view.
#include "QVCmp.h"
#include "QVGeom2D.h"

#include <string>
#include <vector>

class TFakeDrawingView : public TDrawingView {
public:
    void RebuildAll(bool RenewStock) override
    {
        Calls.push_back(RenewStock);
        Events.push_back("rebuild");
    }
    void ZoomToBox(const TRect3D& Box) override { Zooms.push_back(Box); }
    TRect3D GridBox() const override { return Grid; }
    // One world unit is Scale pixels; the world origin is pixel (0, Height).
    TPoint WorldToScreen(const TPoint2D& P) const override
    {
        return Point2DToPoint(TPoint2D{P.X * Scale, Height - P.Y * Scale, 1});
    }
    void ShowBusy(bool Busy) override { Events.push_back(Busy ? "busy" : "idle"); }

    std::vector<bool> Calls;
    std::vector<std::string> Events;
    std::vector<TRect3D> Zooms;
    TRect3D Grid{{-10, -20, 0, 1}, {30, 40, 0, 1}};
    double Scale = 10;
    double Height = 1000;
};
