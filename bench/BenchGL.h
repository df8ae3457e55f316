#pragma once
// What the GL benchmarks share: wall time, resident memory, medians, and the raw limit of the GL
// implementation (line segments in one vertex buffer drawn with one call).
#include "BenchMemory.h"
#include "SceneWidget.h"

#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

// The traced-size drawing both GL benchmarks draw.
constexpr int Polylines = 100000;
constexpr int PolylineNodes = 50; // 5,000,000 vertices
constexpr int Lines = 100000;
constexpr int Frames = 7;

// False (with a notice) when there is no display to open a GL context on.
inline bool HaveDisplay(const char* Name)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::printf("%s: needs a display; run bench/scene.sh %s\n", Name, Name);
        return false;
    }
    return true;
}

inline double Seconds(std::chrono::steady_clock::time_point Start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
}

inline double Median(std::vector<double> V)
{
    std::sort(V.begin(), V.end());
    return V[V.size() / 2];
}

// The segments of every line strip of G, each as its own pair of vertices (X, Y, Z floats).
inline std::vector<float> RawSegments(const TSceneGroup& G)
{
    std::vector<float> raw;
    for (int i = 0; i < G.Count(); ++i) {
        const auto* s = dynamic_cast<const TLineStrip*>(G.Child(i));
        if (!s)
            continue;
        const auto& nodes = s->Nodes();
        for (size_t k = 1; k < nodes.size(); ++k)
            raw.insert(raw.end(),
                       {nodes[k - 1].X, nodes[k - 1].Y, nodes[k - 1].Z, nodes[k].X, nodes[k].Y, nodes[k].Z});
    }
    return raw;
}

// Median time of Frames frames drawing Raw as GL_LINES in one call into the viewer's framebuffer,
// seen through Camera. Prints the GL renderer.
inline double RawFrameTime(TSceneWidget& Viewer, const TCameraNode& Camera, const std::vector<float>& Raw,
                           int Frames)
{
    static const char* vertex = "#version 120\nattribute vec3 aPos;\nuniform mat4 uMvp;\n"
                                "void main() { gl_Position = uMvp * vec4(aPos, 1.0); }\n";
    static const char* fragment = "#version 120\nvoid main() { gl_FragColor = vec4(1.0); }\n";
    Viewer.makeCurrent();
    QOpenGLFunctions* gl = Viewer.context()->functions();
    QOpenGLShaderProgram program;
    program.addShaderFromSourceCode(QOpenGLShader::Vertex, vertex);
    program.addShaderFromSourceCode(QOpenGLShader::Fragment, fragment);
    program.bindAttributeLocation("aPos", 0);
    program.link();
    GLuint vbo = 0;
    gl->glGenBuffers(1, &vbo);
    gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(Raw.size() * sizeof(float)), Raw.data(), GL_STATIC_DRAW);
    const TSceneView view(Camera, Viewer.width(), Viewer.height());
    const TSceneMatrix mvp = SceneMultiply(view.ModelView(), view.Projection());
    std::vector<double> times;
    for (int i = 0; i < Frames; ++i) {
        const auto t = std::chrono::steady_clock::now();
        gl->glBindFramebuffer(GL_FRAMEBUFFER, Viewer.defaultFramebufferObject());
        gl->glClearColor(0, 0, 0, 1);
        gl->glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        program.bind();
        gl->glUniformMatrix4fv(program.uniformLocation("uMvp"), 1, GL_FALSE, mvp.data());
        gl->glBindBuffer(GL_ARRAY_BUFFER, vbo);
        gl->glEnableVertexAttribArray(0);
        gl->glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
        gl->glDrawArrays(GL_LINES, 0, GLsizei(Raw.size() / 3));
        gl->glDisableVertexAttribArray(0);
        program.release();
        gl->glFinish();
        times.push_back(Seconds(t));
    }
    gl->glDeleteBuffers(1, &vbo);
    std::printf("GL: %s | %s\n", reinterpret_cast<const char*>(gl->glGetString(GL_RENDERER)),
                reinterpret_cast<const char*>(gl->glGetString(GL_VERSION)));
    Viewer.doneCurrent();
    return Median(times);
}
