#include "viewer/ModelWindow.h"

#include <GL/gl.h>
#include <cmath>

#include "model/draw.h"
#include "model/model.h"
#include "toolkit/mxApp.h"

ModelWindow::ModelWindow(mxWindow* parent, int x, int y, int w, int h, const char* label, int style,
                         WindowUse use)
    : mxGlWindow(parent, x, y, w, h, label, style), use_(use) {
    setDefaults();
    // Without a context there is nothing to upload into or set up; the
    // window keeps its defaults and its creator learns of the failure from
    // hasContext().
    if (hasContext()) {
        loadDefaultWater();
        glCullFace(GL_FRONT);
        mxAppSetIdleTarget(this);
    }
}

void ModelWindow::setDefaults() {
    rotX = rotY = 0;
    transX = transY = 0;
    transZ = 50;
    setFrameRange(0, 0);
    setRenderMode(RENDER_WIREFRAME);
    setFlag(FLAG_WATER, false);
    setFlag(FLAG_LIGHTING, true);
    setFlag(FLAG_SPECULAR, true);
    setFlag(FLAG_INTERPOLATE, true);
    setFlag(FLAG_COMMANDS, true);
    setFlag(FLAG_PAUSED, false);
    setFlag(FLAG_BACKGROUND, false);
    setMsPerFrame(125);
    setBackgroundColor(0, 0, 0);
    setModelColor(1, 1, 1);
    setWireColor(1, 1, 1);
    setLightColor(1, 1, 1);
    setBrightness(0);
    textureLimit = 256;
}

void ModelWindow::loadDefaultWater() {
    if (use_ == WindowUse::Pictures) return;
    char defaultWater[] = "water.pcx";
    loadTexture(defaultWater, TEXTURE_WATER);
}

void ModelWindow::restart() {
    for (int slot = TEXTURE_MAIN_SKIN; slot <= TEXTURE_WATER; ++slot) loadTexture(nullptr, slot);
    loadModel(nullptr, MODEL_MAIN);
    loadModel(nullptr, MODEL_ATTACH);
    setDefaults();
    if (!hasContext()) return;
    // What a drawn picture leaves in the context goes back to a new
    // context's values: the shade model (wireframe keeps the last one set)
    // and the pixel transfer scale (which brightens the textures uploaded
    // after it), so the next record looks as it would in a new window.
    glShadeModel(GL_SMOOTH);
    glPixelTransferf(GL_RED_SCALE, 1);
    glPixelTransferf(GL_GREEN_SCALE, 1);
    glPixelTransferf(GL_BLUE_SCALE, 1);
    loadDefaultWater();
}

ModelWindow::~ModelWindow() {
    mxAppSetIdleTarget(nullptr);
    for (int slot = TEXTURE_MAIN_SKIN; slot <= TEXTURE_WATER; ++slot) loadTexture(nullptr, slot);
    loadModel(nullptr, MODEL_MAIN);
    loadModel(nullptr, MODEL_ATTACH);
}

bool ModelWindow::redraw() { return use_ == WindowUse::Pictures ? hasContext() : mxGlWindow::redraw(); }

void ModelWindow::setRenderMode(int mode) { renderMode = mode; }

void ModelWindow::setFrameRange(int start, int end) {
    const Model* model = models[MODEL_MAIN];
    if (!model) {
        startFrame = endFrame = currentFrame = nextFrame = 0;
        frameFraction = 0;
        return;
    }
    const int n = model->numFrames;
    auto clampFrame = [n](int frame) { return frame >= n ? n - 1 : (frame < 0 ? 0 : frame); };
    startFrame = clampFrame(start);
    endFrame = clampFrame(end);
    currentFrame = startFrame;
    nextFrame = startFrame + 1 >= n ? 0 : startFrame + 1;
    frameFraction = 0;
}

void ModelWindow::setMsPerFrame(float ms) {
    // Also catches a value that is not a number: every comparison with it is false.
    msPerFrame = ms >= 0 ? ms : 0;
}

void ModelWindow::setBackgroundColor(float r, float g, float b) {
    backgroundColor[0] = r, backgroundColor[1] = g, backgroundColor[2] = b;
}

void ModelWindow::setModelColor(float r, float g, float b) { modelColor[0] = r, modelColor[1] = g, modelColor[2] = b; }

void ModelWindow::setWireColor(float r, float g, float b) { wireColor[0] = r, wireColor[1] = g, wireColor[2] = b; }

void ModelWindow::setLightColor(float r, float g, float b) { lightColor[0] = r, lightColor[1] = g, lightColor[2] = b; }

void ModelWindow::setBrightness(int hundredths) {
    brightness = float(hundredths) * 0.01f;
    redraw();
}

void ModelWindow::setFlag(int bit, bool on) {
    if (on)
        flags |= bit;
    else
        flags &= ~bit;
    setDrawPath((flags & FLAG_COMMANDS) ? 1 : 0, (flags & FLAG_INTERPOLATE) ? 1 : 0);
}
