#pragma once
// What a view needs of the widget that shows its scene, without Qt: the viewer's size, repaint
// requests, its mouse events, and the 2D pixel canvas of the overlay. The GL viewer (scene/gl)
// implements it on a QOpenGLWidget; TRecordingViewer implements it in memory and records what
// a frame would draw, so views, entities and tasks are tested without a display.
#include "QVTypes.h"
#include "SceneNodes.h"

#include <string>
#include <vector>

// The overlay's canvas: viewer pixels, origin top-left, Y down. Colours are Windows colours
// 0x00BBGGRR, widths in pixels.
class TCanvas2D {
public:
    virtual ~TCanvas2D() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual void SetPenColor(uint32_t Color) = 0;
    virtual uint32_t PenColor() const = 0;
    virtual void SetPenWidth(int Width) = 0;
    virtual int PenWidth() const = 0;
    virtual void Line(int X1, int Y1, int X2, int Y2) = 0;
    // Joins the points in order; one point draws nothing.
    virtual void Polyline(const TPoint* Points, size_t Count) = 0;
    void Polyline(const std::vector<TPoint>& Points) { Polyline(Points.data(), Points.size()); }
};

enum class TViewerButton { None, Left, Right, Middle };

struct TViewerMouseEvent {
    TViewerButton Button = TViewerButton::None; // the button pressed or released
    bool Shift = false, Ctrl = false, Alt = false;
    bool LeftDown = false, RightDown = false, MiddleDown = false; // buttons held
    int X = 0, Y = 0;
};

class TSceneViewer {
public:
    virtual ~TSceneViewer() = default;
    virtual int ViewerWidth() const = 0;
    virtual int ViewerHeight() const = 0;
    // Asks for a repaint soon; several requests before it make one frame.
    virtual void Invalidate() = 0;

    std::function<void(const TViewerMouseEvent&)> OnMouseDown, OnMouseMove, OnMouseUp;
};

// One call a canvas received.
struct TCanvasCall {
    enum TKind { Line, Polyline } Kind = Line;
    uint32_t Color = 0;
    int Width = 1;
    std::vector<TPoint> Points;
};

class TRecordingCanvas : public TCanvas2D {
public:
    TRecordingCanvas(int W, int H) : W_(W), H_(H) {}
    int Width() const override { return W_; }
    int Height() const override { return H_; }
    void SetPenColor(uint32_t Color) override { Color_ = Color; }
    uint32_t PenColor() const override { return Color_; }
    void SetPenWidth(int Width) override { PenWidth_ = Width; }
    int PenWidth() const override { return PenWidth_; }
    void Line(int X1, int Y1, int X2, int Y2) override;
    void Polyline(const TPoint* Points, size_t Count) override;
    using TCanvas2D::Polyline;

    std::vector<TCanvasCall> Calls;

private:
    int W_, H_;
    uint32_t Color_ = 0;
    int PenWidth_ = 1;
};

class TCameraNode;

// A viewer in memory. RenderFrame walks the scene as the renderer does: in tree order, visible
// nodes only, calling render callbacks with a recording canvas, and records what it met.
class TRecordingViewer : public TSceneViewer {
public:
    TRecordingViewer(int W, int H) : W_(W), H_(H) {}
    int ViewerWidth() const override { return W_; }
    int ViewerHeight() const override { return H_; }
    void Invalidate() override { ++Invalidations; }
    void Resize(int W, int H)
    {
        W_ = W;
        H_ = H;
    }

    // Records one frame of Scene seen through Camera.
    void RenderFrame(TScene& Scene, const TCameraNode& Camera);

    int Invalidations = 0;
    // The names (or, unnamed, the kinds) of the visible nodes in drawing order, one frame.
    std::vector<std::string> Drawn;
    // The canvas calls of the callbacks of the last frame.
    std::vector<TCanvasCall> CanvasCalls;
    // The HUD texts drawn in the last frame, as "text@x,y".
    std::vector<std::string> HudTexts;

private:
    int W_, H_;
};

const char* SceneNodeKindName(TSceneNodeKind Kind);
