#include "SceneWidget.h"

#include "Bitmap32.h"

#include <QFont>
#include <QImage>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLShaderProgram>
#include <QPainter>
#include <QSurfaceFormat>
#include <QtMath>

#include <GL/gl.h>
#include <malloc.h>

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <stdexcept>

#ifndef GL_POINT_SPRITE
#define GL_POINT_SPRITE 0x8861
#endif
#ifndef GL_VERTEX_PROGRAM_POINT_SIZE
#define GL_VERTEX_PROGRAM_POINT_SIZE 0x8642
#endif
#ifndef GL_BGRA
#define GL_BGRA 0x80E1
#endif
#ifndef GL_UNPACK_ROW_LENGTH
#define GL_UNPACK_ROW_LENGTH 0x0CF2
#define GL_UNPACK_SKIP_PIXELS 0x0CF4
#define GL_UNPACK_SKIP_ROWS 0x0CF3
#endif

namespace {
// Attribute slots shared by the three programs.
constexpr GLuint APos = 0, AColor = 1, ANormal = 2, AUv = 3;

const char* FlatVertex = R"(#version 120
attribute vec3 aPos;
attribute vec4 aColor;
uniform mat4 uMvp;
uniform float uPointSize;
varying vec4 vColor;
void main() {
    gl_Position = uMvp * vec4(aPos, 1.0);
    gl_PointSize = uPointSize;
    vColor = aColor;
})";

const char* FlatFragment = R"(#version 120
varying vec4 vColor;
uniform bool uRound;
void main() {
    if (uRound) {
        vec2 d = gl_PointCoord - vec2(0.5);
        if (dot(d, d) > 0.25) discard;
    }
    gl_FragColor = vColor;
})";

const char* LitVertex = R"(#version 120
attribute vec3 aPos;
attribute vec3 aNormal;
attribute vec4 aColor;
uniform mat4 uMvp;
uniform mat4 uModel;
uniform vec3 uLightPos;
uniform vec3 uAmbient;
uniform vec3 uDiffuse;
varying vec4 vColor;
void main() {
    vec4 world = uModel * vec4(aPos, 1.0);
    vec3 n = normalize(mat3(uModel) * aNormal);
    vec3 l = normalize(uLightPos - world.xyz);
    float d = abs(dot(n, l));  // both faces lit alike
    vColor = vec4(aColor.rgb * min(uAmbient + uDiffuse * d, vec3(1.0)), aColor.a);
    gl_Position = uMvp * vec4(aPos, 1.0);
})";

const char* TexVertex = R"(#version 120
attribute vec3 aPos;
attribute vec2 aUv;
attribute vec4 aColor;
uniform mat4 uMvp;
varying vec2 vUv;
varying vec4 vColor;
void main() {
    gl_Position = uMvp * vec4(aPos, 1.0);
    vUv = aUv;
    vColor = aColor;
})";

const char* TexFragment = R"(#version 120
uniform sampler2D uTex;
uniform bool uTexAlpha;
varying vec2 vUv;
varying vec4 vColor;
void main() {
    vec4 t = texture2D(uTex, vUv);
    // Pictures: their own alpha byte means nothing, the plane's colour gives the opacity.
    gl_FragColor = uTexAlpha ? t * vColor : vec4(t.rgb, vColor.a);
})";

std::unique_ptr<QOpenGLShaderProgram> MakeProgram(const char* Vertex, const char* Fragment, bool Lit,
                                                  bool Textured)
{
    auto p = std::make_unique<QOpenGLShaderProgram>();
    if (!p->addShaderFromSourceCode(QOpenGLShader::Vertex, Vertex) ||
        !p->addShaderFromSourceCode(QOpenGLShader::Fragment, Fragment))
        throw std::runtime_error("Scene shader not compiled: " + p->log().toStdString());
    p->bindAttributeLocation("aPos", APos);
    p->bindAttributeLocation("aColor", AColor);
    if (Lit)
        p->bindAttributeLocation("aNormal", ANormal);
    if (Textured)
        p->bindAttributeLocation("aUv", AUv);
    if (!p->link())
        throw std::runtime_error("Scene shader not linked: " + p->log().toStdString());
    return p;
}

// Mesa's software renderer takes the memory for the primitives it sorts into screen tiles from the
// heap, some tens of megabytes at a time, and frees it once they are drawn: a frame of a large
// drawing does so a dozen times. Where the heap gives memory freed at its top back to the system
// (its default limit, 128 KiB, holds until some large free happens to raise it), each of those
// batches faults its pages in again, and a frame costs twice its drawing. Freed memory up to this
// much stays with the process.
constexpr int KeptHeapTop = 128 << 20;

TSceneMatrix PixelProjection(int W, int H)
{
    // Pixels, origin top-left, Y down; the half-pixel shift puts 1-pixel lines on pixel centres.
    TSceneMatrix m{};
    const float w = float(std::max(W, 1)), h = float(std::max(H, 1));
    m[0] = 2 / w;
    m[5] = -2 / h;
    m[10] = -1;
    m[12] = -1 + 1 / w;
    m[13] = 1 - 1 / h;
    m[15] = 1;
    return m;
}

TViewerMouseEvent MouseEvent(const QMouseEvent* E)
{
    TViewerMouseEvent m;
    switch (E->button()) {
    case Qt::LeftButton:
        m.Button = TViewerButton::Left;
        break;
    case Qt::RightButton:
        m.Button = TViewerButton::Right;
        break;
    case Qt::MiddleButton:
        m.Button = TViewerButton::Middle;
        break;
    default:
        break;
    }
    const Qt::KeyboardModifiers k = E->modifiers();
    m.Shift = k & Qt::ShiftModifier;
    m.Ctrl = k & Qt::ControlModifier;
    m.Alt = k & Qt::AltModifier;
    m.LeftDown = E->buttons() & Qt::LeftButton;
    m.RightDown = E->buttons() & Qt::RightButton;
    m.MiddleDown = E->buttons() & Qt::MiddleButton;
    const QPoint p = E->position().toPoint();
    m.X = p.x();
    m.Y = p.y();
    return m;
}
} // namespace

struct TSceneWidget::TGroupGL {
    GLuint Flat = 0, Index = 0, Surface = 0;
    TGroupBatch Batch; // the commands and items; the vertex arrays are freed after upload
    uint64_t UsedInFrame = 0;
    size_t Bytes = 0;
};

struct TSceneWidget::TBatchGL {
    GLuint Flat = 0, Index = 0;
    // The batch's commands over the index buffer as uploaded: its strips became indexed lines.
    std::vector<TBatchCommand> Commands;
    uint64_t Revision = 0; // of the batch as uploaded
    uint64_t UsedInFrame = 0;
    size_t Bytes = 0;
};

struct TSceneWidget::TTextureGL {
    GLuint Id = 0;
    uint64_t Revision = 0;
    uint64_t UsedInFrame = 0;
};

struct TSceneWidget::THudGL {
    GLuint Id = 0;
    std::string Key;
    int W = 0, H = 0;
    uint64_t UsedInFrame = 0;
};

// The overlay's canvas: collects the segments of one pen and draws them as GL lines when the pen
// changes or the callback ends, so a callback's drawing keeps its place in the tree order.
class TGLCanvas : public TCanvas2D {
public:
    explicit TGLCanvas(TSceneWidget& V) : Viewer(V) {}

    int Width() const override { return Viewer.width(); }
    int Height() const override { return Viewer.height(); }
    void SetPenColor(uint32_t Color) override
    {
        if (Color != Color_)
            Flush();
        Color_ = Color;
    }
    uint32_t PenColor() const override { return Color_; }
    void SetPenWidth(int W) override
    {
        if (W != Width_)
            Flush();
        Width_ = W;
    }
    int PenWidth() const override { return Width_; }
    void Line(int X1, int Y1, int X2, int Y2) override
    {
        Add(X1, Y1);
        Add(X2, Y2);
    }
    void Polyline(const TPoint* Points, size_t Count) override
    {
        for (size_t i = 0; i + 1 < Count; ++i)
            Line(Points[i].X, Points[i].Y, Points[i + 1].X, Points[i + 1].Y);
    }
    using TCanvas2D::Polyline;

    void Reset()
    {
        Color_ = 0;
        Width_ = 1;
        Segments.clear();
    }

    void Flush()
    {
        if (Segments.empty())
            return;
        auto& gl = Viewer;
        gl.glDisable(GL_DEPTH_TEST);
        gl.glEnable(GL_BLEND);
        gl.FlatProgram->bind();
        gl.FlatProgram->setUniformValue("uRound", false);
        gl.FlatProgram->setUniformValue("uPointSize", 1.0f);
        const TSceneMatrix m = PixelProjection(Width(), Height());
        gl.glUniformMatrix4fv(gl.FlatProgram->uniformLocation("uMvp"), 1, GL_FALSE, m.data());
        gl.glBindBuffer(GL_ARRAY_BUFFER, gl.StreamBuffer);
        gl.glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(Segments.size() * sizeof(TFlatVertex)), Segments.data(),
                        GL_STREAM_DRAW);
        gl.glEnableVertexAttribArray(APos);
        gl.glEnableVertexAttribArray(AColor);
        gl.glVertexAttribPointer(APos, 3, GL_FLOAT, GL_FALSE, sizeof(TFlatVertex), nullptr);
        gl.glVertexAttribPointer(AColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TFlatVertex),
                                 reinterpret_cast<void*>(offsetof(TFlatVertex, R)));
        gl.glLineWidth(float(std::max(Width_, 1)));
        gl.glDrawArrays(GL_LINES, 0, GLsizei(Segments.size()));
        ++gl.Stats_.DrawCalls;
        gl.glDisableVertexAttribArray(APos);
        gl.glDisableVertexAttribArray(AColor);
        gl.glBindBuffer(GL_ARRAY_BUFFER, 0);
        gl.FlatProgram->release();
        Segments.clear();
    }

private:
    void Add(int X, int Y)
    {
        Segments.push_back(
            {float(X), float(Y), 0, uint8_t(Color_), uint8_t(Color_ >> 8), uint8_t(Color_ >> 16), 255});
    }

    TSceneWidget& Viewer;
    uint32_t Color_ = 0;
    int Width_ = 1;
    std::vector<TFlatVertex> Segments;
};

TSceneWidget::TSceneWidget(QWidget* Parent) : QOpenGLWidget(Parent)
{
    QSurfaceFormat f = format();
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setDepthBufferSize(24);
    setFormat(f);
    setMouseTracking(true);
}

TSceneWidget::~TSceneWidget()
{
    if (Scene_)
        Scene_->OnChange = nullptr;
    if (!isValid())
        return;
    makeCurrent();
    for (auto& [g, gpu] : Groups) {
        GLuint b[3] = {gpu->Flat, gpu->Index, gpu->Surface};
        glDeleteBuffers(3, b);
    }
    for (auto& [k, gpu] : Batches) {
        GLuint b[2] = {gpu->Flat, gpu->Index};
        glDeleteBuffers(2, b);
    }
    for (auto& [k, t] : Textures)
        glDeleteTextures(1, &t->Id);
    for (auto& [k, h] : Huds)
        glDeleteTextures(1, &h->Id);
    glDeleteBuffers(1, &StreamBuffer);
    FlatProgram.reset();
    LitProgram.reset();
    TexProgram.reset();
    doneCurrent();
}

void TSceneWidget::SetScene(TScene* S)
{
    if (Scene_)
        Scene_->OnChange = nullptr;
    Scene_ = S;
    if (Scene_) {
        Scene_->OnChange = [this] { Invalidate(); };
        Scene_->FrameDrawn();
    }
    update();
}

void TSceneWidget::Invalidate()
{
    // Render callbacks edit nodes while a frame is drawn (the axes keep their size so); that
    // must not queue frame after frame.
    if (!Painting)
        update();
}

int TSceneWidget::MaxTextureSize() const
{
    if (MaxTextureCap > 0 && (GLMaxTexture <= 0 || MaxTextureCap < GLMaxTexture))
        return MaxTextureCap;
    return GLMaxTexture > 0 ? GLMaxTexture : 2048;
}

void TSceneWidget::initializeGL()
{
    initializeOpenGLFunctions();
    mallopt(M_TRIM_THRESHOLD, KeptHeapTop);
    CompatProfile = context()->format().profile() != QSurfaceFormat::CoreProfile;
    Ready = Guarded(EventGuard, [this] {
        FlatProgram = MakeProgram(FlatVertex, FlatFragment, false, false);
        LitProgram = MakeProgram(LitVertex, FlatFragment, true, false);
        TexProgram = MakeProgram(TexVertex, TexFragment, false, true);
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &GLMaxTexture);
        glGenBuffers(1, &StreamBuffer);
        Canvas = std::make_unique<TGLCanvas>(*this);
    });
}

bool TSceneWidget::Guarded(const TGuard& Guard, const std::function<void()>& Work,
                           const std::function<void()>& Recover) noexcept
{
    try {
        if (Guard)
            return Guard(Work, Recover);
        Work();
        return true;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "An unexpected error occurred.\n");
    }
    try {
        if (Recover)
            Recover();
    } catch (...) {
    }
    return false;
}

TSceneWidget::TGroupGL& TSceneWidget::Buffers(TSceneGroup& G)
{
    auto& slot = Groups[&G];
    if (!slot) {
        slot = std::make_unique<TGroupGL>();
        GLuint b[3];
        glGenBuffers(3, b);
        slot->Flat = b[0];
        slot->Index = b[1];
        slot->Surface = b[2];
        G.SetDirty();
    }
    TGroupGL& gpu = *slot;
    gpu.UsedInFrame = Frame;
    if (G.Dirty()) {
        gpu.Batch = BuildGroupBatch(G, MaxTextureSize());
        const auto& b = gpu.Batch;
        glBindBuffer(GL_ARRAY_BUFFER, gpu.Flat);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(b.Flat.size() * sizeof(TFlatVertex)), b.Flat.data(),
                     GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, gpu.Surface);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(b.Surface.size() * sizeof(TSurfaceVertex)), b.Surface.data(),
                     GL_STATIC_DRAW);
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.Index);
        glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(b.Indices.size() * sizeof(uint32_t)),
                     b.Indices.data(), GL_STATIC_DRAW);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        gpu.Bytes = b.Flat.size() * sizeof(TFlatVertex) + b.Surface.size() * sizeof(TSurfaceVertex) +
                    b.Indices.size() * sizeof(uint32_t);
        // The GL side holds the vertices now; keep only the commands.
        gpu.Batch.Flat = {};
        gpu.Batch.Surface = {};
        gpu.Batch.Indices = {};
        G.ClearDirty();
        ++G.RebuildCount;
        ++Stats_.GroupRebuilds;
    }
    return gpu;
}

namespace {

// The index buffer of a batch for GL_LINES, points and triangles, written in pieces through one
// small array: the strips become pairs of indices only on the GL side, so the batch itself keeps
// none. Answers the batch's commands over that buffer.
std::vector<TBatchCommand> UploadBatchIndices(QOpenGLFunctions& Gl, const TFlatBatch& B)
{
    std::vector<TBatchCommand> commands;
    size_t total = 0;
    for (const TBatchCommand& c : B.Commands()) {
        TBatchCommand gl = c;
        gl.First = uint32_t(total);
        if (c.Prim == TBatchPrim::Strips) {
            gl.Prim = TBatchPrim::Lines;
            gl.Count = 0;
            for (uint32_t k = c.First; k < c.First + c.Count; ++k)
                gl.Count += 2 * uint32_t(B.StripCounts()[k] - 1);
        }
        total += gl.Count;
        commands.push_back(gl);
    }
    Gl.glBufferData(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(total * sizeof(uint32_t)), nullptr, GL_STATIC_DRAW);
    std::vector<uint32_t> piece;
    piece.reserve(size_t(1) << 18);
    size_t at = 0;
    const auto send = [&] {
        Gl.glBufferSubData(GL_ELEMENT_ARRAY_BUFFER, GLintptr(at * sizeof(uint32_t)),
                           GLsizeiptr(piece.size() * sizeof(uint32_t)), piece.data());
        at += piece.size();
        piece.clear();
    };
    for (const TBatchCommand& c : B.Commands()) {
        if (c.Prim == TBatchPrim::Strips) {
            for (uint32_t k = c.First; k < c.First + c.Count; ++k) {
                const auto first = uint32_t(B.StripFirsts()[k]),
                           last = first + uint32_t(B.StripCounts()[k]) - 1;
                for (uint32_t v = first; v < last; ++v) {
                    piece.push_back(v);
                    piece.push_back(v + 1);
                }
                if (piece.size() >= piece.capacity() / 2)
                    send();
            }
        } else {
            piece.insert(piece.end(), B.Indices().begin() + c.First, B.Indices().begin() + c.First + c.Count);
        }
    }
    send();
    return commands;
}

} // namespace

TSceneWidget::TBatchGL& TSceneWidget::Buffers(const TFlatBatch& B)
{
    auto& slot = Batches[&B];
    if (!slot) {
        slot = std::make_unique<TBatchGL>();
        GLuint b[2];
        glGenBuffers(2, b);
        slot->Flat = b[0];
        slot->Index = b[1];
    }
    TBatchGL& gpu = *slot;
    gpu.UsedInFrame = Frame;
    if (gpu.Revision != B.Revision()) {
        // Straight from the batch's blocks: nothing is gathered into one array first.
        const size_t vertexBytes = B.VertexCount() * sizeof(TFlatVertex);
        glBindBuffer(GL_ARRAY_BUFFER, gpu.Flat);
        glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexBytes), nullptr, GL_STATIC_DRAW);
        size_t at = 0;
        for (size_t k = 0; k < B.BlockCount(); ++k) {
            const std::span<const TFlatVertex> block = B.Block(k);
            glBufferSubData(GL_ARRAY_BUFFER, GLintptr(at), GLsizeiptr(block.size_bytes()), block.data());
            at += block.size_bytes();
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, gpu.Index);
        gpu.Commands = UploadBatchIndices(*this, B);
        glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        size_t indices = 0;
        for (const TBatchCommand& c : gpu.Commands)
            indices += c.Count;
        gpu.Bytes = vertexBytes + indices * sizeof(uint32_t);
        gpu.Revision = B.Revision();
        ++Stats_.BatchUploads;
    }
    return gpu;
}

void TSceneWidget::SyncTree(TSceneGroup& G)
{
    TGroupGL& gpu = Buffers(G);
    for (const TBatchItem& item : gpu.Batch.Items) {
        if (!item.Node || !item.Node->Visible())
            continue;
        if (item.Node->Kind() == TSceneNodeKind::Group)
            SyncTree(static_cast<TSceneGroup&>(*item.Node));
        else if (item.Node->Kind() == TSceneNodeKind::FlatBatch)
            Buffers(static_cast<const TFlatBatch&>(*item.Node));
    }
}

void TSceneWidget::UpdateBuffers()
{
    if (!Scene_ || !isValid())
        return;
    makeCurrent();
    ++Frame;
    SyncTree(Scene_->Root());
    glFinish();
    doneCurrent();
}

void TSceneWidget::RenderNow()
{
    makeCurrent();
    paintGL();
    glFinish();
    doneCurrent();
}

void TSceneWidget::ApplyDepth(TDepthMode Mode, bool Write)
{
    if (Mode == TDepthMode::Scene && Scene_->DepthTest())
        glEnable(GL_DEPTH_TEST);
    else
        glDisable(GL_DEPTH_TEST);
    glDepthMask(Write ? GL_TRUE : GL_FALSE);
}

unsigned TSceneWidget::TileTexture(const TBatchCommand& C)
{
    const TTexturedPlane& plane = *C.Plane;
    auto& slot = Textures[{&plane, C.Tile}];
    if (!slot) {
        slot = std::make_unique<TTextureGL>();
        glGenTextures(1, &slot->Id);
    }
    slot->UsedInFrame = Frame;
    if (slot->Revision != plane.TextureRevision()) {
        const TBitmap32& bmp = *plane.Texture();
        const std::vector<TTextureTile> tiles = TextureTiles(bmp.Width(), bmp.Height(), MaxTextureSize());
        const TTextureTile& t = tiles.at(size_t(C.Tile));
        glBindTexture(GL_TEXTURE_2D, slot->Id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glPixelStorei(GL_UNPACK_ROW_LENGTH, bmp.BytesPerLine() / 4);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, t.X);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, t.Y);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, t.W, t.H, 0, GL_BGRA, GL_UNSIGNED_BYTE, bmp.ScanLine(0));
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
        glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
        glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
        // Scans are mostly seen reduced: mipmaps keep them from shimmering.
        glGenerateMipmap(GL_TEXTURE_2D);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        slot->Revision = plane.TextureRevision();
    }
    return slot->Id;
}

void TSceneWidget::DrawCommands(const TDrawSource& Source, std::span<const TBatchCommand> Commands,
                                const TSceneMatrix& Model)
{
    const TSceneMatrix mvp = SceneMultiply(SceneMultiply(Model, MV), P);
    for (const TBatchCommand& c : Commands) {
        ApplyDepth(c.Depth, c.DepthWrite);
        if (c.Blend)
            glEnable(GL_BLEND);
        else
            glDisable(GL_BLEND);
        if (c.Prim == TBatchPrim::Lines || c.Prim == TBatchPrim::Points || c.Prim == TBatchPrim::Triangles) {
            FlatProgram->bind();
            glUniformMatrix4fv(FlatProgram->uniformLocation("uMvp"), 1, GL_FALSE, mvp.data());
            FlatProgram->setUniformValue("uPointSize", c.Size);
            FlatProgram->setUniformValue("uRound", c.Prim == TBatchPrim::Points && c.Smooth);
            glBindBuffer(GL_ARRAY_BUFFER, Source.Flat);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, Source.Index);
            glEnableVertexAttribArray(APos);
            glEnableVertexAttribArray(AColor);
            glVertexAttribPointer(APos, 3, GL_FLOAT, GL_FALSE, sizeof(TFlatVertex), nullptr);
            glVertexAttribPointer(AColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TFlatVertex),
                                  reinterpret_cast<void*>(offsetof(TFlatVertex, R)));
            const GLenum mode = c.Prim == TBatchPrim::Lines    ? GL_LINES
                                : c.Prim == TBatchPrim::Points ? GL_POINTS
                                                               : GL_TRIANGLES;
            if (c.Prim == TBatchPrim::Lines)
                glLineWidth(c.Size);
            glDrawElements(mode, GLsizei(c.Count), GL_UNSIGNED_INT,
                           reinterpret_cast<void*>(size_t(c.First) * sizeof(uint32_t)));
            glDisableVertexAttribArray(APos);
            glDisableVertexAttribArray(AColor);
            glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
        } else {
            QOpenGLShaderProgram& prog = c.Prim == TBatchPrim::Lit ? *LitProgram : *TexProgram;
            prog.bind();
            glUniformMatrix4fv(prog.uniformLocation("uMvp"), 1, GL_FALSE, mvp.data());
            glBindBuffer(GL_ARRAY_BUFFER, Source.Surface);
            glEnableVertexAttribArray(APos);
            glEnableVertexAttribArray(AColor);
            glVertexAttribPointer(APos, 3, GL_FLOAT, GL_FALSE, sizeof(TSurfaceVertex), nullptr);
            glVertexAttribPointer(AColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TSurfaceVertex),
                                  reinterpret_cast<void*>(offsetof(TSurfaceVertex, R)));
            const GLuint extra = c.Prim == TBatchPrim::Lit ? ANormal : AUv;
            glEnableVertexAttribArray(extra);
            if (c.Prim == TBatchPrim::Lit) {
                glVertexAttribPointer(ANormal, 3, GL_FLOAT, GL_FALSE, sizeof(TSurfaceVertex),
                                      reinterpret_cast<void*>(offsetof(TSurfaceVertex, NX)));
                glUniformMatrix4fv(prog.uniformLocation("uModel"), 1, GL_FALSE, Model.data());
                TVector3D light{0, 0, 1000};
                TSceneColor amb{0.3f, 0.3f, 0.3f, 1}, dif{0.8f, 0.8f, 0.8f, 1};
                for (int k = 0; k < Scene_->Root().Count(); ++k)
                    if (Scene_->Root().Child(k)->Kind() == TSceneNodeKind::Light) {
                        const auto& l = static_cast<const TLightNode&>(*Scene_->Root().Child(k));
                        const TMatrix4 m = l.AbsoluteMatrix();
                        light = {m.M[12], m.M[13], m.M[14]};
                        amb = l.Ambient;
                        dif = l.Diffuse;
                        break;
                    }
                prog.setUniformValue("uLightPos", float(light.X), float(light.Y), float(light.Z));
                prog.setUniformValue("uAmbient", amb.R, amb.G, amb.B);
                prog.setUniformValue("uDiffuse", dif.R, dif.G, dif.B);
                prog.setUniformValue("uRound", false);
            } else {
                glVertexAttribPointer(AUv, 2, GL_FLOAT, GL_FALSE, sizeof(TSurfaceVertex),
                                      reinterpret_cast<void*>(offsetof(TSurfaceVertex, U)));
                glActiveTexture(GL_TEXTURE0);
                glBindTexture(GL_TEXTURE_2D, TileTexture(c));
                prog.setUniformValue("uTex", 0);
                prog.setUniformValue("uTexAlpha", false);
            }
            glDrawArrays(GL_TRIANGLES, GLint(c.First), GLsizei(c.Count));
            glDisableVertexAttribArray(extra);
            glDisableVertexAttribArray(APos);
            glDisableVertexAttribArray(AColor);
            glBindTexture(GL_TEXTURE_2D, 0);
        }
        glBindBuffer(GL_ARRAY_BUFFER, 0);
        ++Stats_.DrawCalls;
    }
    glUseProgram(0);
    glDepthMask(GL_TRUE);
}

void TSceneWidget::CallBack(TRenderCallback& C, const TSceneMatrix& Model)
{
    if (!C.OnRender)
        return;
    TRenderContext ctx;
    ctx.ModelView = SceneMultiply(Model, MV);
    ctx.Projection = P;
    ctx.Width = width();
    ctx.Height = height();
    bool canvasOpen = false;
    ctx.OpenCanvas = [this, &canvasOpen]() -> TCanvas2D& {
        if (!canvasOpen) {
            Canvas->Reset();
            canvasOpen = true;
        }
        return *Canvas;
    };
    glUseProgram(0);
    ApplyDepth(TDepthMode::Scene, true);
    glEnable(GL_BLEND);
    if (CompatProfile) {
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixf(ctx.Projection.data());
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixf(ctx.ModelView.data());
    }
    C.OnRender(ctx);
    if (canvasOpen)
        Canvas->Flush();
    glUseProgram(0);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, 0);
}

void TSceneWidget::DrawHud(THudText& T)
{
    if (T.Text().empty())
        return;
    auto& slot = Huds[&T];
    if (!slot) {
        slot = std::make_unique<THudGL>();
        glGenTextures(1, &slot->Id);
    }
    slot->UsedInFrame = Frame;
    const TSceneColor c = T.Color();
    const std::string key = T.Text() + '\x1f' + T.FontFamily + '\x1f' + std::to_string(T.FontPixelSize) +
                            '\x1f' + std::to_string(c.R) + std::to_string(c.G) + std::to_string(c.B) +
                            std::to_string(c.A) + std::to_string(int(T.Align)) + '\x1f' +
                            std::to_string(devicePixelRatioF());
    if (slot->Key != key) {
        QString text = QString::fromStdString(T.Text());
        text.remove(QLatin1Char('\r'));
        QFont font(QString::fromStdString(T.FontFamily));
        font.setPixelSize(std::max(T.FontPixelSize, 1));
        const QStringList lines = text.split(QLatin1Char('\n'));
        const QFontMetrics fm(font);
        int w = 1;
        for (const QString& l : lines)
            w = std::max(w, fm.horizontalAdvance(l));
        // Every line whole, the last one too where the font keeps a gap between lines.
        const int h = std::max(1, fm.lineSpacing() * int(lines.size() - 1) + fm.height());
        // Drawn at the screen's own pixels, so a scaled screen shows sharp text.
        const qreal ratio = std::max<qreal>(1, devicePixelRatioF());
        QImage img(qCeil((w + 2) * ratio), qCeil(h * ratio), QImage::Format_ARGB32);
        img.setDevicePixelRatio(ratio);
        img.fill(Qt::transparent);
        {
            QPainter p(&img);
            p.setFont(font);
            p.setPen(QColor::fromRgbF(c.R, c.G, c.B, c.A));
            const int flags = T.Align == THudAlign::Left     ? Qt::AlignLeft
                              : T.Align == THudAlign::Centre ? Qt::AlignHCenter
                                                             : Qt::AlignRight;
            p.drawText(QRect(0, 0, w + 2, h), flags | Qt::AlignTop, lines.join(QLatin1Char('\n')));
        }
        // Straight alpha for the blend below.
        img = img.convertToFormat(QImage::Format_ARGB32);
        glBindTexture(GL_TEXTURE_2D, slot->Id);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, img.width(), img.height(), 0, GL_BGRA, GL_UNSIGNED_BYTE,
                     img.constBits());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        slot->Key = key;
        slot->W = w + 2;
        slot->H = h;
    }
    float x = float(T.X()), y = float(T.Y());
    if (T.Align == THudAlign::Centre)
        x -= float(slot->W) / 2;
    else if (T.Align == THudAlign::Right)
        x -= float(slot->W);
    if (T.Layout == THudLayout::Centre)
        y -= float(slot->H) / 2;
    else if (T.Layout == THudLayout::Bottom)
        y -= float(slot->H);
    const float x1 = x + float(slot->W), y1 = y + float(slot->H);
    const TSurfaceVertex q[6] = {
        {x, y, 0, 0, 0, 1, 0, 0, 255, 255, 255, 255},   {x1, y, 0, 0, 0, 1, 1, 0, 255, 255, 255, 255},
        {x1, y1, 0, 0, 0, 1, 1, 1, 255, 255, 255, 255}, {x, y, 0, 0, 0, 1, 0, 0, 255, 255, 255, 255},
        {x1, y1, 0, 0, 0, 1, 1, 1, 255, 255, 255, 255}, {x, y1, 0, 0, 0, 1, 0, 1, 255, 255, 255, 255}};
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    TexProgram->bind();
    const TSceneMatrix m = PixelProjection(width(), height());
    glUniformMatrix4fv(TexProgram->uniformLocation("uMvp"), 1, GL_FALSE, m.data());
    TexProgram->setUniformValue("uTex", 0);
    TexProgram->setUniformValue("uTexAlpha", true);
    glActiveTexture(GL_TEXTURE0);
    glBindTexture(GL_TEXTURE_2D, slot->Id);
    glBindBuffer(GL_ARRAY_BUFFER, StreamBuffer);
    glBufferData(GL_ARRAY_BUFFER, sizeof(q), q, GL_STREAM_DRAW);
    glEnableVertexAttribArray(APos);
    glEnableVertexAttribArray(AColor);
    glEnableVertexAttribArray(AUv);
    glVertexAttribPointer(APos, 3, GL_FLOAT, GL_FALSE, sizeof(TSurfaceVertex), nullptr);
    glVertexAttribPointer(AColor, 4, GL_UNSIGNED_BYTE, GL_TRUE, sizeof(TSurfaceVertex),
                          reinterpret_cast<void*>(offsetof(TSurfaceVertex, R)));
    glVertexAttribPointer(AUv, 2, GL_FLOAT, GL_FALSE, sizeof(TSurfaceVertex),
                          reinterpret_cast<void*>(offsetof(TSurfaceVertex, U)));
    glDrawArrays(GL_TRIANGLES, 0, 6);
    ++Stats_.DrawCalls;
    glDisableVertexAttribArray(APos);
    glDisableVertexAttribArray(AColor);
    glDisableVertexAttribArray(AUv);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    TexProgram->release();
}

void TSceneWidget::DrawGroup(TSceneGroup& G, const TSceneMatrix& Parent)
{
    const TSceneMatrix model = SceneMultiply(SceneMatrixFrom(G.Matrix()), Parent);
    TGroupGL& gpu = Buffers(G);
    // Items are copied: a render callback may edit nodes of this very group (the group is then
    // rebuilt at the next frame, not under our feet). Callbacks must not add or delete nodes.
    const std::vector<TBatchItem> items = gpu.Batch.Items;
    const TDrawSource own{gpu.Flat, gpu.Index, gpu.Surface};
    for (const TBatchItem& item : items) {
        if (!item.Node) {
            DrawCommands(own, std::span(gpu.Batch.Commands).subspan(item.FirstCommand, item.CommandCount),
                         model);
            continue;
        }
        if (!item.Node->Visible())
            continue;
        switch (item.Node->Kind()) {
        case TSceneNodeKind::Group:
            DrawGroup(static_cast<TSceneGroup&>(*item.Node), model);
            break;
        case TSceneNodeKind::FlatBatch: {
            const auto& batch = static_cast<const TFlatBatch&>(*item.Node);
            const TBatchGL& bgpu = Buffers(batch);
            DrawCommands({bgpu.Flat, bgpu.Index, 0}, bgpu.Commands,
                         SceneMultiply(SceneMatrixFrom(batch.Matrix()), model));
            break;
        }
        case TSceneNodeKind::RenderCallback:
            CallBack(static_cast<TRenderCallback&>(*item.Node), model);
            break;
        case TSceneNodeKind::HudText:
            DrawHud(static_cast<THudText&>(*item.Node));
            break;
        default:
            break;
        }
    }
}

void TSceneWidget::DropUnused()
{
    for (auto it = Groups.begin(); it != Groups.end();)
        if (it->second->UsedInFrame != Frame) {
            GLuint b[3] = {it->second->Flat, it->second->Index, it->second->Surface};
            glDeleteBuffers(3, b);
            it = Groups.erase(it);
        } else {
            ++it;
        }
    for (auto it = Batches.begin(); it != Batches.end();)
        if (it->second->UsedInFrame != Frame) {
            GLuint b[2] = {it->second->Flat, it->second->Index};
            glDeleteBuffers(2, b);
            it = Batches.erase(it);
        } else {
            ++it;
        }
    for (auto it = Textures.begin(); it != Textures.end();)
        if (it->second->UsedInFrame != Frame) {
            glDeleteTextures(1, &it->second->Id);
            it = Textures.erase(it);
        } else {
            ++it;
        }
    for (auto it = Huds.begin(); it != Huds.end();)
        if (it->second->UsedInFrame != Frame) {
            glDeleteTextures(1, &it->second->Id);
            it = Huds.erase(it);
        } else {
            ++it;
        }
    Stats_.BufferBytes = 0;
    for (auto& [g, gpu] : Groups)
        Stats_.BufferBytes += gpu->Bytes;
    for (auto& [b, gpu] : Batches)
        Stats_.BufferBytes += gpu->Bytes;
}

void TSceneWidget::paintGL()
{
    Stats_.GroupRebuilds = 0;
    Stats_.BatchUploads = 0;
    Stats_.DrawCalls = 0;
    const TSceneColor bg = Scene_ ? Scene_->BackgroundColor() : TSceneColor{0, 0, 0, 1};
    glClearColor(bg.R, bg.G, bg.B, 1);
    glClearDepthf(1);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!Scene_ || !Camera || !Ready)
        return;
    Painting = true;
    ++Frame;
    const qreal dpr = devicePixelRatioF();
    glViewport(0, 0, int(width() * dpr), int(height() * dpr));
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_CULL_FACE);
    if (CompatProfile)
        glEnable(GL_POINT_SPRITE);
    glEnable(GL_VERTEX_PROGRAM_POINT_SIZE);
    const TSceneView view(*Camera, width(), height());
    MV = view.ModelView();
    P = view.Projection();
    const auto draw = [this] { DrawGroup(Scene_->Root(), SceneIdentity()); };
    const auto recover = [this] { Painting = false; };
    bool drawn = false;
    if (!PaintFailing) {
        drawn = Guarded(PaintGuard, draw, recover);
    } else {
        try {
            draw();
            drawn = true;
        } catch (...) {
        }
    }
    Painting = false;
    PaintFailing = !drawn;
    // A frame cut short keeps the textures it did not reach and is drawn again.
    if (!drawn)
        return;
    DropUnused();
    Scene_->FrameDrawn();
}

void TSceneWidget::Emit(const TViewerMouseEvent& E,
                        const std::function<void(const TViewerMouseEvent&)>& Handler)
{
    if (Handler)
        Guarded(EventGuard, [&] { Handler(E); });
}

void TSceneWidget::mousePressEvent(QMouseEvent* E)
{
    Emit(MouseEvent(E), OnMouseDown);
}

void TSceneWidget::mouseMoveEvent(QMouseEvent* E)
{
    Emit(MouseEvent(E), OnMouseMove);
}

void TSceneWidget::mouseReleaseEvent(QMouseEvent* E)
{
    Emit(MouseEvent(E), OnMouseUp);
}
