#pragma once
// The viewer that shows a scene through OpenGL: a QOpenGLWidget drawing the scene tree in order
// with one set of vertex buffers per group, and one per batch node (uploaded from its own arrays).
// A group's buffers are rebuilt only when the group is dirty, a batch node's only when shapes were
// added to it, so moving the camera costs one pass of draw calls and nothing else. The process's
// heap keeps the memory the GL implementation frees during a frame, so that the next frame does not
// take it from the system again.
//
// It asks for a compatibility context (Mesa and the desktop drivers give one), draws with
// GLSL 1.20 shaders, and hands render callbacks the fixed-function matrices so that they may
// draw with direct GL.
#include "SceneBatch.h"
#include "SceneCamera.h"
#include "SceneViewer.h"

#include <QOpenGLFunctions>
#include <QOpenGLWidget>

#include <functional>
#include <map>
#include <memory>
#include <span>

class QOpenGLShaderProgram;
class TGLCanvas;

class TSceneWidget : public QOpenGLWidget, public TSceneViewer, protected QOpenGLFunctions {
public:
    explicit TSceneWidget(QWidget* Parent = nullptr);
    ~TSceneWidget() override;

    // Neither is owned; both must outlive the viewer or be replaced first.
    void SetScene(TScene* S);
    void SetCamera(const TCameraNode* C) { Camera = C; }
    TScene* Scene() const { return Scene_; }

    int ViewerWidth() const override { return width(); }
    int ViewerHeight() const override { return height(); }
    void Invalidate() override;

    // Pictures wider or taller than this (or than the GL limit, when smaller) are split into
    // tiles. 0 uses the GL limit.
    void SetMaxTextureSize(int Size) { MaxTextureCap = Size; }
    int MaxTextureSize() const;

    // Rebuilds the buffers of the dirty groups now, without drawing (needs a shown widget).
    void UpdateBuffers();
    // Renders one frame into the widget's framebuffer and waits until GL has finished it.
    void RenderNow();

    // How Qt's handlers here (GL set-up, paint, mouse) run our code: no exception may cross into
    // Qt. The host installs the program's one guard: EventGuard for set-up and input, PaintGuard
    // inside a paint, where no modal box may open. Without one, the message goes to stderr.
    // A guard runs Work; when Work raises, it runs Recover, tells the user and answers false.
    using TGuard =
        std::function<bool(const std::function<void()>& Work, const std::function<void()>& Recover)>;
    TGuard EventGuard, PaintGuard;

    struct TStats {
        int GroupRebuilds = 0; // groups whose buffers were rebuilt in the last frame
        int BatchUploads = 0;  // batch nodes uploaded in the last frame
        int DrawCalls = 0;
        size_t BufferBytes = 0; // vertex and index bytes held on the GL side
    };
    const TStats& Stats() const { return Stats_; }

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* E) override;
    void mouseMoveEvent(QMouseEvent* E) override;
    void mouseReleaseEvent(QMouseEvent* E) override;

private:
    struct TGroupGL;
    struct TBatchGL;
    struct TTextureGL;
    struct THudGL;
    // The buffers a run of commands draws from: a group's or a batch node's.
    struct TDrawSource {
        GLuint Flat = 0, Index = 0, Surface = 0;
    };

    void DrawGroup(TSceneGroup& G, const TSceneMatrix& Model);
    TGroupGL& Buffers(TSceneGroup& G);
    TBatchGL& Buffers(const TFlatBatch& B);
    void SyncTree(TSceneGroup& G);
    void DrawCommands(const TDrawSource& Source, std::span<const TBatchCommand> Commands,
                      const TSceneMatrix& Model);
    void CallBack(TRenderCallback& C, const TSceneMatrix& Model);
    void DrawHud(THudText& T);
    unsigned TileTexture(const TBatchCommand& C);
    void ApplyDepth(TDepthMode Mode, bool Write);
    void DropUnused();
    void Emit(const TViewerMouseEvent& E, const std::function<void(const TViewerMouseEvent&)>& Handler);
    bool Guarded(const TGuard& Guard, const std::function<void()>& Work,
                 const std::function<void()>& Recover = nullptr) noexcept;

    TScene* Scene_ = nullptr;
    const TCameraNode* Camera = nullptr;
    int MaxTextureCap = 0;
    int GLMaxTexture = 0;
    bool Painting = false;
    // The GL set-up succeeded; until it has, nothing is drawn.
    bool Ready = false;
    // The last frame failed: the frames after it, which fail the same way until what they draw
    // changes, are dropped without a word instead of a message each.
    bool PaintFailing = false;
    bool CompatProfile = true;
    TSceneMatrix MV{}, P{};
    TStats Stats_;
    uint64_t Frame = 0;

    std::unique_ptr<QOpenGLShaderProgram> FlatProgram, LitProgram, TexProgram;
    std::map<const TSceneGroup*, std::unique_ptr<TGroupGL>> Groups;
    std::map<const TFlatBatch*, std::unique_ptr<TBatchGL>> Batches;
    std::map<std::pair<const TTexturedPlane*, int>, std::unique_ptr<TTextureGL>> Textures;
    std::map<const THudText*, std::unique_ptr<THudGL>> Huds;
    std::unique_ptr<TGLCanvas> Canvas;
    unsigned StreamBuffer = 0; // for the canvas and HUD quads, refilled on every use

    friend class TGLCanvas;
};
