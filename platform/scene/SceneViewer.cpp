#include "SceneViewer.h"

#include "SceneCamera.h"

#include <memory>

void TRecordingCanvas::Line(int X1, int Y1, int X2, int Y2)
{
    Calls.push_back({TCanvasCall::Line, Color_, PenWidth_, {{X1, Y1}, {X2, Y2}}});
}

void TRecordingCanvas::Polyline(const TPoint* Points, size_t Count)
{
    Calls.push_back({TCanvasCall::Polyline, Color_, PenWidth_, std::vector<TPoint>(Points, Points + Count)});
}

const char* SceneNodeKindName(TSceneNodeKind Kind)
{
    switch (Kind) {
    case TSceneNodeKind::Group:
        return "Group";
    case TSceneNodeKind::LineStrip:
        return "LineStrip";
    case TSceneNodeKind::PointCloud:
        return "PointCloud";
    case TSceneNodeKind::Polygon:
        return "Polygon";
    case TSceneNodeKind::TexturedPlane:
        return "TexturedPlane";
    case TSceneNodeKind::Box:
        return "Box";
    case TSceneNodeKind::Extrusion:
        return "Extrusion";
    case TSceneNodeKind::Mesh:
        return "Mesh";
    case TSceneNodeKind::RenderCallback:
        return "RenderCallback";
    case TSceneNodeKind::HudText:
        return "HudText";
    case TSceneNodeKind::Light:
        return "Light";
    case TSceneNodeKind::Camera:
        return "Camera";
    case TSceneNodeKind::FlatBatch:
        return "FlatBatch";
    }
    return "?";
}

namespace {
struct TRecorder {
    TRecordingViewer& Viewer;
    const TSceneView& View;
    std::unique_ptr<TRecordingCanvas> Canvas;

    void Walk(TSceneGroup& G)
    {
        for (int i = 0; i < G.Count(); ++i) {
            TSceneNode* n = G.Child(i);
            if (!n->Visible())
                continue;
            Viewer.Drawn.push_back(n->Name.empty() ? SceneNodeKindName(n->Kind()) : n->Name);
            switch (n->Kind()) {
            case TSceneNodeKind::Group:
                Walk(static_cast<TSceneGroup&>(*n));
                break;
            case TSceneNodeKind::RenderCallback:
                Call(static_cast<TRenderCallback&>(*n));
                break;
            case TSceneNodeKind::HudText: {
                auto& t = static_cast<THudText&>(*n);
                if (!t.Text().empty())
                    Viewer.HudTexts.push_back(t.Text() + "@" + std::to_string(t.X()) + "," +
                                              std::to_string(t.Y()));
                break;
            }
            default:
                break;
            }
        }
    }

    void Call(TRenderCallback& C)
    {
        if (!C.OnRender)
            return;
        TRenderContext ctx;
        ctx.ModelView = View.ModelView();
        ctx.Projection = View.Projection();
        ctx.Width = View.Width();
        ctx.Height = View.Height();
        ctx.OpenCanvas = [this]() -> TCanvas2D& {
            if (!Canvas)
                Canvas = std::make_unique<TRecordingCanvas>(View.Width(), View.Height());
            return *Canvas;
        };
        C.OnRender(ctx);
        if (Canvas) {
            for (auto& call : Canvas->Calls)
                Viewer.CanvasCalls.push_back(std::move(call));
            Canvas.reset();
        }
    }
};
} // namespace

void TRecordingViewer::RenderFrame(TScene& Scene, const TCameraNode& Camera)
{
    Drawn.clear();
    CanvasCalls.clear();
    HudTexts.clear();
    const TSceneView view(Camera, W_, H_);
    TRecorder r{*this, view, nullptr};
    r.Walk(Scene.Root());
    Scene.FrameDrawn();
}
