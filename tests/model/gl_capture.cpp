#include "tests/model/gl_capture.h"

#include <SDL.h>
#include <GL/gl.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr int kViewportSize = 4096;  // larger than the window: only feedback, no pixels
constexpr int kFeedbackFloats = 1 << 21;
constexpr int kFloatsPerVertex = 3 + 4 + 4;  // GL_3D_COLOR_TEXTURE in RGBA mode

void setUpView(float range) {
    glViewport(0, 0, kViewportSize, kViewportSize);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    glOrtho(-range, range, -range, range, -range, range);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glMatrixMode(GL_TEXTURE);
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glDisable(GL_CULL_FACE);
    glDisable(GL_LIGHTING);
    glDisable(GL_NORMALIZE);
    glDisable(GL_RESCALE_NORMAL);
}

// GL generates texture coordinates only for a unit with a complete texture:
// a 1 x 1 white one serves.
GLuint enableNormalsAsTexCoords() {
    GLuint texture = 0;
    const GLubyte white[4] = {255, 255, 255, 255};
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, white);
    glEnable(GL_TEXTURE_2D);
    for (GLenum coord : {GL_S, GL_T, GL_R}) glTexGeni(coord, GL_TEXTURE_GEN_MODE, GL_NORMAL_MAP);
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glEnable(gen);
    return texture;
}

void disableNormalsAsTexCoords(GLuint texture) {
    for (GLenum gen : {GL_TEXTURE_GEN_S, GL_TEXTURE_GEN_T, GL_TEXTURE_GEN_R}) glDisable(gen);
    glDisable(GL_TEXTURE_2D);
    glDeleteTextures(1, &texture);
}

// One feedback pass: the vertices of every polygon, kFloatsPerVertex floats each.
bool feedbackPass(const std::function<void()>& draw, std::vector<std::vector<GLfloat>>& polygons) {
    // Left uninitialised: GL fills the part it reports as used, and clearing
    // 8 MB on every pass is most of a test's time in an unoptimised build.
    std::unique_ptr<GLfloat[]> buffer(new GLfloat[kFeedbackFloats]);
    glFeedbackBuffer(kFeedbackFloats, GL_3D_COLOR_TEXTURE, buffer.get());
    glRenderMode(GL_FEEDBACK);
    draw();
    const GLint used = glRenderMode(GL_RENDER);
    if (used < 0 || glGetError() != GL_NO_ERROR) return false;
    for (GLint i = 0; i < used;) {
        const GLint token = GLint(buffer[size_t(i++)]);
        if (token != GL_POLYGON_TOKEN) return false;
        const GLint corners = GLint(buffer[size_t(i++)]);
        if (corners != 3) return false;  // clipped: the view is too small
        polygons.emplace_back(buffer.get() + i, buffer.get() + i + corners * kFloatsPerVertex);
        i += corners * kFloatsPerVertex;
    }
    return true;
}

}  // namespace

GlContext::GlContext() {
    SDL_setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (SDL_Init(SDL_INIT_VIDEO) != 0) return;
    SDL_Window* window = SDL_CreateWindow("model test", 0, 0, 64, 64, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (!window) return;
    window_ = window;
    context_ = SDL_GL_CreateContext(window);
    if (!context_) return;
    SDL_GL_MakeCurrent(window, context_);
}

GlContext::~GlContext() {
    if (context_) SDL_GL_DeleteContext(context_);
    if (window_) SDL_DestroyWindow(static_cast<SDL_Window*>(window_));
    SDL_Quit();
}

Capture captureTriangles(const std::function<void()>& draw, float range) {
    Capture capture;
    setUpView(range);
    std::vector<std::vector<GLfloat>> first, second;
    const bool firstOk = feedbackPass(draw, first);
    const GLuint texture = enableNormalsAsTexCoords();
    const bool secondOk = feedbackPass(draw, second);
    disableNormalsAsTexCoords(texture);
    if (!firstOk || !secondOk || first.size() != second.size()) return capture;

    // Window coordinates back to object space: x_w = (x / range + 1) * size / 2,
    // and glOrtho sends z to depth (1 - z / range) / 2.
    auto toObject = [range](GLfloat window) { return (2.0f * window / kViewportSize - 1.0f) * range; };
    for (size_t p = 0; p < first.size(); ++p) {
        FedTriangle triangle;
        for (size_t k = 0; k < 3; ++k) {
            const GLfloat* a = &first[p][k * kFloatsPerVertex];
            const GLfloat* b = &second[p][k * kFloatsPerVertex];
            triangle[k] = {toObject(a[0]), toObject(a[1]), (1.0f - 2.0f * a[2]) * range, a[7], a[8], b[7], b[8], b[9]};
        }
        capture.triangles.push_back(triangle);
    }
    capture.ok = true;
    return capture;
}

TrianglePositions positionsOf(const FedTriangle& triangle) {
    TrianglePositions positions;
    for (size_t k = 0; k < 3; ++k) positions[k] = {triangle[k].x, triangle[k].y, triangle[k].z};
    std::sort(positions.begin(), positions.end());
    return positions;
}

std::vector<TrianglePositions> sortedPositions(const std::vector<FedTriangle>& triangles) {
    std::vector<TrianglePositions> all;
    for (const FedTriangle& t : triangles) all.push_back(positionsOf(t));
    std::sort(all.begin(), all.end());
    return all;
}
