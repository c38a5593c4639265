// The viewer's frame: one full ModelWindow::draw at 640 x 480 on SDL's
// offscreen driver in each render mode, for the sample scene and for
// faerie.md2 with its skin, each beside a baseline that issues the same GL
// calls for the same scene straight from constants (no window logic). Also
// the texture preparation of a load: decode, expand, scale and upload.
#include <benchmark/benchmark.h>

#include <GL/gl.h>
#include <GL/glu.h>
#include <cstdlib>
#include <string>
#include <unistd.h>

#include "model/draw.h"
#include "model/model.h"
#include "assets/sample_scene.h"
#include "tests/writers/scratch_dir.h"
#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"
#include "viewer/paths.h"
#include "viewer/startup.h"

namespace {

enum SceneKind { kSample, kFaerie };

// One window for every benchmark here, set up on first use.
ModelWindow* benchWindow() {
    static ModelWindow* window = nullptr;
    static testdata::ScratchDir dir;
    if (!window) {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        writeSampleScene(dir.path());
        if (chdir(dir.path().c_str()) != 0) return nullptr;
        mxAppInit(0, nullptr);
        ViewerConfig config = sampleSceneConfig(dir.path());
        config.windowWidth = 640;
        config.windowHeight = 480;
        storeConfiguredPaths(config);
        window = openViewerWindow(config);
    }
    return window;
}

void loadTextureFrom(ModelWindow* w, const std::string& file, int slot) {
    std::vector<char> path(file.begin(), file.end());
    path.push_back(0);
    w->loadTexture(path.data(), slot);
}

// Fills the window with one scene; benchmarks of both kinds alternate.
void useScene(ModelWindow* w, SceneKind kind) {
    static SceneKind loaded = kSample;
    if (kind == loaded) return;
    loaded = kind;
    const std::string corpus = OMBREL_CORPUS_DIR;
    const ViewerConfig sample = sampleSceneConfig("");
    if (kind == kFaerie) {
        w->loadModel((corpus + "/faerie.md2").c_str(), MODEL_MAIN);
        w->loadModel(nullptr, MODEL_ATTACH);
        loadTextureFrom(w, corpus + "/faerie.pcx", TEXTURE_MAIN_SKIN);
        w->setFlag(FLAG_BACKGROUND | FLAG_WATER, false);
        w->currentFrame = 0, w->nextFrame = 1, w->frameFraction = 0.5f;
    } else {
        w->loadModel(sample.paths[PATH_MAIN_MODEL], MODEL_MAIN);
        w->loadModel(sample.paths[PATH_ATTACH_MODEL], MODEL_ATTACH);
        loadTextureFrom(w, sample.paths[PATH_MAIN_SKIN], TEXTURE_MAIN_SKIN);
        w->setFlag(sample.flags & (FLAG_BACKGROUND | FLAG_WATER), true);
        w->currentFrame = sample.currentFrame, w->nextFrame = sample.nextFrame;
        w->frameFraction = sample.frameFraction;
    }
}

// What ModelWindow::draw sends for this window's scene, as one straight
// sequence: the floor that the window's own logic adds to.
void baselineDraw(ModelWindow* w) {
    glClearColor(w->backgroundColor[0], w->backgroundColor[1], w->backgroundColor[2], 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glViewport(0, 0, 640, 480);
    if (w->flags & FLAG_BACKGROUND) {
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 1, 1, 0, 1, -1);
        glMatrixMode(GL_MODELVIEW);
        glPushMatrix();
        glLoadIdentity();
        glDisable(GL_LIGHTING);
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glEnable(GL_TEXTURE_2D);
        glColor4f(1, 1, 1, 0.3f);
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
        glBindTexture(GL_TEXTURE_2D, 3);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex2f(0, 0);
        glTexCoord2f(0, 1), glVertex2f(0, 1);
        glTexCoord2f(1, 1), glVertex2f(1, 1);
        glTexCoord2f(1, 0), glVertex2f(1, 0);
        glEnd();
        glPopMatrix();
    }
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(65, 640.0 / 480.0, 1, 1024);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glPixelTransferf(GL_RED_SCALE, 1 + 5 * w->brightness);
    glPixelTransferf(GL_GREEN_SCALE, 1 + 5 * w->brightness);
    glPixelTransferf(GL_BLUE_SCALE, 1 + 5 * w->brightness);
    glTranslatef(-w->transX, -w->transY, -w->transZ);
    glRotatef(w->rotX, 1, 0, 0);
    glRotatef(w->rotY, 0, 1, 0);
    const float specular[4] = {1, 1, 1, 1}, white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, specular);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, 128);
    glDisable(GL_LIGHTING);
    glDisable(GL_LIGHT0);
    const int mode = w->renderMode;
    const float* colour = mode == RENDER_WIREFRAME ? w->wireColor : mode == RENDER_TEXTURED ? white : w->modelColor;
    const float diffuse[4] = {colour[0], colour[1], colour[2], 1};
    glColor3f(colour[0], colour[1], colour[2]);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, diffuse);
    glPolygonMode(GL_FRONT_AND_BACK, mode == RENDER_WIREFRAME ? GL_LINE : GL_FILL);
    mode == RENDER_TEXTURED ? glEnable(GL_TEXTURE_2D) : glDisable(GL_TEXTURE_2D);
    mode == RENDER_WIREFRAME ? glDisable(GL_CULL_FACE) : glEnable(GL_CULL_FACE);
    mode == RENDER_WIREFRAME ? glDisable(GL_DEPTH_TEST) : glEnable(GL_DEPTH_TEST);
    if (mode != RENDER_WIREFRAME) glShadeModel(mode == RENDER_FLAT ? GL_FLAT : GL_SMOOTH);
    for (int slot = 0; slot < 2; ++slot) {
        if (!w->models[slot]) continue;
        glBindTexture(GL_TEXTURE_2D, GLuint(w->textures[slot + 1]));
        modelDrawFrame(w->models[slot], w->currentFrame, w->nextFrame, w->frameFraction);
    }
    if (w->flags & FLAG_WATER) {
        glDisable(GL_LIGHTING);
        glNormal3f(0, 1, 0);
        glDisable(GL_CULL_FACE);
        glEnable(GL_BLEND);
        glColor4f(1, 1, 1, 0.3f);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        glBindTexture(GL_TEXTURE_2D, 4);
        glBegin(GL_QUADS);
        glTexCoord2f(0, 0), glVertex3f(-100, 0, -100);
        glTexCoord2f(1, 0), glVertex3f(100, 0, -100);
        glTexCoord2f(1, 1), glVertex3f(100, 0, 100);
        glTexCoord2f(0, 1), glVertex3f(-100, 0, 100);
        glEnd();
        glDisable(GL_BLEND);
    }
    glPopMatrix();
}

template <bool baseline>
void BM_sceneDraw(benchmark::State& state) {
    ModelWindow* w = benchWindow();
    if (!w) {
        state.SkipWithError("no offscreen GL window");
        return;
    }
    useScene(w, SceneKind(state.range(0)));
    w->setRenderMode(int(state.range(1)));
    w->setFlag(FLAG_LIGHTING, false);
    w->makeCurrent();
    for (auto _ : state) {
        if (baseline)
            baselineDraw(w);
        else
            w->draw();
        glFinish();
    }
}

void sceneArguments(benchmark::internal::Benchmark* b) {
    b->ArgNames({"scene", "mode"});  // scene 0: the sample scene, 1: faerie.md2 with its skin
    for (int scene : {kSample, kFaerie})
        for (int mode = 0; mode < 4; ++mode) b->Args({scene, mode});
    b->Unit(benchmark::kMicrosecond);
}

BENCHMARK_TEMPLATE(BM_sceneDraw, false)->Name("viewer/draw")->Apply(sceneArguments);
BENCHMARK_TEMPLATE(BM_sceneDraw, true)->Name("viewer/draw_baseline")->Apply(sceneArguments);

void BM_loadSkin(benchmark::State& state) {
    ModelWindow* w = benchWindow();
    if (!w) {
        state.SkipWithError("no offscreen GL window");
        return;
    }
    const std::string skin = std::string(OMBREL_CORPUS_DIR) + (state.range(0) ? "/faerie.tga" : "/faerie.pcx");
    std::vector<char> path(skin.begin(), skin.end());
    path.push_back(0);
    for (auto _ : state) benchmark::DoNotOptimize(w->loadTexture(path.data(), TEXTURE_ATTACH_SKIN));
}
BENCHMARK(BM_loadSkin)
    ->Name("viewer/loadTexture_faerie")
    ->ArgName("tga")
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMicrosecond);

}  // namespace
