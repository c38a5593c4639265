#include "viewer/startup.h"

#include <climits>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"
#include "viewer/paths.h"

namespace {

const char* const kConfigFile = "ombrel.cfg";
const char* const kCaption = "Ombrel Viewer";
constexpr int kFullScreenBits = 16;

}  // namespace

int brightnessHundredths(float configured) {
    if (!(configured == configured)) return 0;
    if (configured >= float(INT_MAX)) return INT_MAX;
    if (configured <= float(INT_MIN)) return INT_MIN;
    return int(configured);
}

void storeConfiguredPaths(const ViewerConfig& config) {
    for (int i = 0; i < PATH_COUNT; ++i)
        std::memcpy(configPathBuffer(ConfigPath(i)), config.paths[i], CONFIG_PATH_SIZE);
}

ModelWindow* createViewerWindow(int width, int height, WindowShown shown, WindowUse use) {
    mxGlWindow::setDefaultFormat(0, 16, 16);
    ModelWindow* window = new ModelWindow(nullptr, 0, 0, width, height, "", mxWindow::Popup, use);
    if (!window->hasContext()) {
        delete window;
        return nullptr;
    }
    if (shown == WindowShown::Shown) window->setVisible(true);
    return window;
}

void applyRecord(ModelWindow& window, const ViewerConfig& c) {
    fillSlotsFromPathBuffers(window);
    applySettings(window, c);
}

void fillSlotsFromPathBuffers(ModelWindow& window) {
    // Each slot from its own buffer, in slot order.
    for (int slot : {MODEL_MAIN, MODEL_ATTACH}) window.loadModel(modelPathBuffer(slot), slot);
    for (int slot = TEXTURE_MAIN_SKIN; slot <= TEXTURE_WATER; ++slot)
        window.loadTexture(texturePathBuffer(slot), slot);
}

void applySettings(ModelWindow& window, const ViewerConfig& c) {
    window.rotX = c.rotX;
    window.rotY = c.rotY;
    window.transX = c.transX;
    window.transY = c.transY;
    window.transZ = c.transZ;
    window.setRenderMode(c.renderMode);
    // A fraction that is no number (or infinite) would blend every vertex
    // into one that is none, and while paused nothing would mend it.
    window.frameFraction = std::isfinite(c.frameFraction) ? c.frameFraction : 0;
    window.currentFrame = c.currentFrame;
    window.nextFrame = c.nextFrame;
    window.startFrame = c.startFrame;
    window.endFrame = c.endFrame;
    window.setMsPerFrame(c.msPerFrame);
    window.setBackgroundColor(c.backgroundColor[0], c.backgroundColor[1], c.backgroundColor[2]);
    window.setModelColor(c.modelColor[0], c.modelColor[1], c.modelColor[2]);
    window.setWireColor(c.wireColor[0], c.wireColor[1], c.wireColor[2]);
    window.setLightColor(c.lightColor[0], c.lightColor[1], c.lightColor[2]);
    // Lighting always starts off, whatever the file says; the same call
    // brings the draw-path switches in line with the stored bits.
    window.flags = c.flags;
    window.setFlag(FLAG_LIGHTING, false);
    // Only textures loaded from now on obey the configured limit.
    window.textureLimit = c.textureLimit;
    // Last: setting the brightness draws a picture, which a paused window
    // shows until an event comes. Set earlier, it drew the record half
    // applied (no background, no water), and the window kept that picture
    // whenever Mesa compiled its shaders anew (on a new machine; with
    // MESA_SHADER_CACHE_DISABLE=true every time).
    window.setBrightness(brightnessHundredths(c.brightness));
}

ModelWindow* openViewerWindow(const ViewerConfig& c) {
    ModelWindow* window = createViewerWindow(c.windowWidth, c.windowHeight, WindowShown::Shown);
    if (window) applyRecord(*window, c);
    return window;
}

int viewerMain(int argc, char** argv) {
    mxAppInit(argc, argv);
    ViewerConfig config;
    if (!readConfig(kConfigFile, config)) {
        mxShowMessage(nullptr, "Error loading configuration", kCaption, MSG_ERROR);
        return 0;
    }
    storeConfiguredPaths(config);
    if (config.fullScreen) mxAppSetScreenMode(config.windowWidth, config.windowHeight, kFullScreenBits);
    int result;
    if (openViewerWindow(config)) {
        result = mxAppRun();
    } else {
        // Without a rendering context there is nothing to show: say so
        // rather than run an empty window, and report the failure.
        mxShowMessage(nullptr, "Error creating the OpenGL window", kCaption, MSG_ERROR);
        result = 1;
    }
    if (config.fullScreen) mxAppSetScreenMode(0, 0, 0);
    return result;
}
