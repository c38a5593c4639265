// One frame of a model through each drawing routine into an offscreen
// context, glFinish per iteration, beside a baseline that issues the same
// calls with the same values from a flat array built beforehand.
#include <benchmark/benchmark.h>

#include <SDL.h>
#include <GL/gl.h>

#include <cstring>
#include <memory>
#include <vector>

#include "bench/bench_models.h"
#include "model/draw.h"
#include "model/model.h"

namespace {

constexpr int kWindowSize = 256;
constexpr float kViewRange = 80.0f;  // both models fit
constexpr int kFrameA = 0;
constexpr int kFrameB = 1;
constexpr float kFraction = 0.5f;

enum class Routine { Triangles, TrianglesLerp, Commands, CommandsLerp };

// The offscreen context every draw benchmark shares; made current once.
bool offscreenContextReady() {
    static const bool ready = [] {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_Init(SDL_INIT_VIDEO) != 0) return false;
        SDL_Window* window =
            SDL_CreateWindow("bench", 0, 0, kWindowSize, kWindowSize, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (!window) return false;
        SDL_GLContext context = SDL_GL_CreateContext(window);
        if (!context || SDL_GL_MakeCurrent(window, context) != 0) return false;
        glViewport(0, 0, kWindowSize, kWindowSize);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(-kViewRange, kViewRange, -kViewRange, kViewRange, -kViewRange, kViewRange);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        return true;
    }();
    return ready;
}

struct ModelDeleter {
    void operator()(Model* model) const { modelFree(model); }
};

const Model* benchModel(const std::string& (*path)()) {
    static std::unique_ptr<Model, ModelDeleter> faerie(modelLoad(faerieModelPath().c_str()));
    static std::unique_ptr<Model, ModelDeleter> large(modelLoad(largeModelPath().c_str()));
    return path == &faerieModelPath ? faerie.get() : large.get();
}

// One vertex as the routine sends it.
struct Corner {
    float normal[3];
    float texCoord[2];
    float position[3];
};

struct Primitive {
    GLenum mode;
    size_t first, count;
};

// The calls of one routine on one model, flattened.
struct FlatDraw {
    std::vector<Primitive> primitives;
    std::vector<Corner> corners;
    bool normalFirst = false;  // drawTriangles sends the normal before the texture coordinate
};

Corner corner(const ModelVertex& a, const ModelVertex& b, float f, float s, float t) {
    const float g = 1.0f - f;
    const float n[3] = {g * a.nx + f * b.nx, g * a.ny + f * b.ny, g * a.nz + f * b.nz};
    return {{n[0], n[2], -n[1]}, {s, t}, {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z)}};
}

float wordAsFloat(int32_t word) {
    float value;
    std::memcpy(&value, &word, 4);
    return value;
}

FlatDraw flatten(const Model* model, Routine routine) {
    FlatDraw flat;
    const bool lerp = routine == Routine::TrianglesLerp || routine == Routine::CommandsLerp;
    const ModelVertex* a = model->frames[kFrameA].vertices;
    const ModelVertex* b = lerp ? model->frames[kFrameB].vertices : a;
    const float f = lerp ? kFraction : 0.0f;
    if (routine == Routine::Triangles || routine == Routine::TrianglesLerp) {
        flat.normalFirst = routine == Routine::Triangles;
        for (int32_t i = 0; i < model->numTriangles; ++i) {
            const ModelTriangle& tri = model->triangles[i];
            for (int k = 0; k < 3; ++k) {
                const ModelTexCoord& c = model->texCoords[tri.texCoordIndex[k]];
                const int v = tri.vertexIndex[k];
                flat.corners.push_back(
                    corner(a[v], b[v], f, float(c.s) / model->skinWidth, float(c.t) / model->skinHeight));
            }
        }
        flat.primitives.push_back({GL_TRIANGLES, 0, flat.corners.size()});
        return flat;
    }
    const int32_t* word = model->commands;
    while (int32_t n = *word++) {
        const size_t count = size_t(n > 0 ? n : -n);
        flat.primitives.push_back({GLenum(n > 0 ? GL_TRIANGLE_STRIP : GL_TRIANGLE_FAN), flat.corners.size(), count});
        for (size_t i = 0; i < count; ++i, word += 3)
            flat.corners.push_back(corner(a[word[2]], b[word[2]], f, wordAsFloat(word[0]), wordAsFloat(word[1])));
    }
    return flat;
}

void issue(const FlatDraw& flat) {
    for (const Primitive& p : flat.primitives) {
        glBegin(p.mode);
        const Corner* c = &flat.corners[p.first];
        for (size_t i = 0; i < p.count; ++i, ++c) {
            if (flat.normalFirst) {
                glNormal3f(c->normal[0], c->normal[1], c->normal[2]);
                glTexCoord2f(c->texCoord[0], c->texCoord[1]);
            } else {
                glTexCoord2f(c->texCoord[0], c->texCoord[1]);
                glNormal3f(c->normal[0], c->normal[1], c->normal[2]);
            }
            glVertex3f(c->position[0], c->position[1], c->position[2]);
        }
        glEnd();
    }
}

void drawWith(const Model* model, Routine routine) {
    switch (routine) {
    case Routine::Triangles:
        drawTriangles(model, kFrameA);
        break;
    case Routine::TrianglesLerp:
        drawTrianglesLerp(model, kFrameA, kFrameB, kFraction);
        break;
    case Routine::Commands:
        drawCommands(model, kFrameA);
        break;
    case Routine::CommandsLerp:
        drawCommandsLerp(model, kFrameA, kFrameB, kFraction);
        break;
    }
}

bool ready(benchmark::State& state, const Model* model) {
    if (!offscreenContextReady())
        state.SkipWithError("no offscreen GL context");
    else if (!model)
        state.SkipWithError("model did not load");
    else
        return true;
    return false;
}

void BM_Draw(benchmark::State& state, const std::string& (*path)(), Routine routine) {
    const Model* model = benchModel(path);
    if (!ready(state, model)) return;
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        drawWith(model, routine);
        glFinish();
    }
}

void BM_DrawBaseline(benchmark::State& state, const std::string& (*path)(), Routine routine) {
    const Model* model = benchModel(path);
    if (!ready(state, model)) return;
    const FlatDraw flat = flatten(model, routine);
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT);
        issue(flat);
        glFinish();
    }
}

}  // namespace

#define DRAW_BENCHMARKS(model, path)                                                                                \
    BENCHMARK_CAPTURE(BM_Draw, model##_triangles, path, Routine::Triangles)->Unit(benchmark::kMicrosecond);         \
    BENCHMARK_CAPTURE(BM_DrawBaseline, model##_triangles, path, Routine::Triangles)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(BM_Draw, model##_trianglesLerp, path, Routine::TrianglesLerp)->Unit(benchmark::kMicrosecond); \
    BENCHMARK_CAPTURE(BM_DrawBaseline, model##_trianglesLerp, path, Routine::TrianglesLerp)                         \
        ->Unit(benchmark::kMicrosecond);                                                                            \
    BENCHMARK_CAPTURE(BM_Draw, model##_commands, path, Routine::Commands)->Unit(benchmark::kMicrosecond);           \
    BENCHMARK_CAPTURE(BM_DrawBaseline, model##_commands, path, Routine::Commands)->Unit(benchmark::kMicrosecond);   \
    BENCHMARK_CAPTURE(BM_Draw, model##_commandsLerp, path, Routine::CommandsLerp)->Unit(benchmark::kMicrosecond);   \
    BENCHMARK_CAPTURE(BM_DrawBaseline, model##_commandsLerp, path, Routine::CommandsLerp)->Unit(benchmark::kMicrosecond)

DRAW_BENCHMARKS(faerie, &faerieModelPath);
DRAW_BENCHMARKS(large, &largeModelPath);
