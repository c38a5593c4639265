// The viewer's one window: owner of the two model slots and four texture
// slots, the view, the render mode, the animation state, the colours and the
// toggles, and the OpenGL window that shows them.
#pragma once

#include <cstdint>

#include "toolkit/mxGlWindow.h"
#include "viewer/config.h"  // the toggle bits and render modes

struct Model;
class mxImage;

// What a window is for. The viewer's: its water picture is "water.pcx" in
// the current folder, and it is drawn again whenever its state changes. One
// that draws pictures for the front end: it reads no file of its own (it is
// handed every picture it shows) and draws only when asked (draw(), into
// whatever framebuffer is bound), never for a change of state no picture
// shows: each such drawing would make the driver build shaders for states
// the picture never uses.
enum class WindowUse { Viewer, Pictures };

// Texture slots; each slot's OpenGL texture object is its own number.
enum { TEXTURE_MAIN_SKIN = 1, TEXTURE_ATTACH_SKIN = 2, TEXTURE_BACKGROUND = 3, TEXTURE_WATER = 4 };

// Model slots.
enum { MODEL_MAIN = 0, MODEL_ATTACH = 1 };

class ModelWindow : public mxGlWindow {
public:
    ModelWindow(mxWindow* parent, int x, int y, int w, int h, const char* label, int style,
                WindowUse use = WindowUse::Viewer);
    ~ModelWindow() override;

    int handleEvent(mxEvent* event) override;

    // Back to the state the constructor leaves, for the next record: every
    // slot emptied (and its path buffer) but for the default water.pcx,
    // every setting at its default, the context as a new one would draw.
    // The window keeps its size.
    void restart();
    void draw() override;
    // Makes the context current, draws and swaps, as every GL window does;
    // a window of pictures does nothing here.
    bool redraw() override;

    void setRenderMode(int mode);
    void setFrameRange(int start, int end);
    void setMsPerFrame(float ms);
    void setBackgroundColor(float r, float g, float b);
    void setModelColor(float r, float g, float b);
    void setWireColor(float r, float g, float b);
    void setLightColor(float r, float g, float b);
    void setBrightness(int hundredths);
    void setFlag(int bit, bool on);

    // Fills model slot 0 or 1 from a model file; null path or "" empties it.
    // The slot's new model, or null. (The file read, then fillModelSlot.)
    Model* loadModel(const char* path, int slot);
    // Fills texture slot 1 to 4 from a PCX or TGA picture; null path or ""
    // empties it. The slot number on success, 0 otherwise. The path is
    // opened as given and, only where that gives no picture, lower-cased;
    // the slot's path buffer gets the one that loaded. (The file read, then
    // fillTextureSlot.)
    int loadTexture(const char* path, int slot);

    // The same for what was decoded elsewhere (the front end's pictures,
    // read once). A model stays the caller's: it must outlive its time in
    // the slot (until another model fills it, restart, or the window goes).
    // A picture is copied into the texture at once. The slot's path buffer
    // is emptied: the slot holds no file. Null empties the slot.
    Model* fillModelSlot(Model* model, int slot);
    int fillTextureSlot(const mxImage* picture, int slot);

    // True when the window got a working OpenGL context and may be drawn into.
    bool hasContext() const { return getType() == TypeGlWindow; }

    // The window's state. main and the input handling write some of these
    // directly; everything else goes through the setters above.
    // (Zero until the constructor gives each its default.)
    float rotX = 0, rotY = 0;
    float transX = 0, transY = 0, transZ = 0;
    Model* models[2] = {};
    int32_t textures[5] = {};
    int32_t textureLimit = 0;
    int32_t renderMode = 0;
    float frameFraction = 0;
    int32_t currentFrame = 0, nextFrame = 0;
    int32_t startFrame = 0, endFrame = 0;
    float msPerFrame = 0;
    float backgroundColor[3] = {};
    float modelColor[3] = {};
    float wireColor[3] = {};
    float lightColor[3] = {};
    float brightness = 0;
    int32_t flags = 0;

private:
    void setDefaults();
    // Empties model slot 0 or 1, releasing the model when it is the window's own.
    void emptyModelSlot(int slot);
    // Makes texture slot 1 to 4's texture from picture; false, the slot as
    // it was, when there is nothing to show or no memory for it.
    bool uploadTexture(const mxImage& picture, int slot);
    void loadDefaultWater();
    void animationTick();
    void stepFrames();
    void drag(const mxEvent& event);
    void keyDown(int key);
    void centreOnMainModel();
    void toggle(int bit) { setFlag(bit, !(flags & bit)); }

    WindowUse use_;
    bool modelLent_[2] = {};  // the slot's model is the caller's (fillModelSlot), not released here
};

// Edge of a power-of-two texture for a picture edge already limited to
// textureLimit: everything above 128 becomes 256, smaller edges round up.
int roundTextureEdge(int edge);

// The millisecond clock of the animation; tests may point it elsewhere.
extern uint32_t (*animationClock)();
