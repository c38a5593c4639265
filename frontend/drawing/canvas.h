// The part of drawing that needs the window system and OpenGL: the viewer's
// model window without a display, handed decoded models and pictures,
// drawing with the viewer's own scene code and read back. On Linux it is a
// plugin of its own (ombrel-drawing.so, beside the viewer), loaded by the
// first picture a run draws, so that the commands that draw nothing start
// without SDL, OpenGL and the many libraries those bring; on Windows it is
// linked in, into ombrel.exe and whatever else draws a picture.
//
// Nothing here knows the front end: the canvas takes plain models, pictures
// and the viewer's record, and gives back pixels.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/config.h"

struct Model;
class mxImage;

namespace frontend {

// A point of the animation: the two key frames drawn and the blend between.
struct FramePoint {
    int current = 0, next = 0;
    float fraction = 0;
};

// R, G, B, A bytes per pixel, rows top first.
struct RgbaPicture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgba;
};

struct OffscreenFormat {
    int width = 640, height = 480;
    // Keep what the scene leaves in the alpha channel: 0 where only the
    // clear reached, 1 where the model is drawn.
    bool alpha = false;
    // Samples a pixel for smooth edges: 1 (none, exactly the viewer's
    // picture), 2, 4 or 8.
    int samples = 1;
};

// What one picture shows, decoded elsewhere; null for none. The models are
// lent for as long as they are shown; the pictures are copied at once.
struct CanvasScene {
    const Model* main = nullptr;
    const Model* attach = nullptr;
    const mxImage* mainSkin = nullptr;
    const mxImage* attachSkin = nullptr;
    const mxImage* background = nullptr;
    const mxImage* water = nullptr;
};

// What the system says of the drawing to come.
struct CanvasSystem {
    // What is drawn into the window's own framebuffer stays there to be read
    // back (SDL's offscreen driver), so a picture without smoothing may be
    // drawn there.
    bool windowKeepsPixels = false;
    // Mesa's software renderer, if that is the driver, keeps the shaders it
    // builds in its shader cache for later runs.
    bool shadersKept = false;
};

class Canvas {
public:
    virtual ~Canvas() = default;

    // Makes the hidden window and what it draws into. False, with the
    // reason in error, when there is no GL context or it can't draw this
    // format.
    virtual bool open(const OffscreenFormat& format, const CanvasSystem& system, std::string& error) = 0;

    // Fills the window with the scene, then the record's settings, exactly
    // as the viewer starts on them; a window that showed another scene is
    // restarted first. The record's window size is the format's.
    virtual void show(const CanvasScene& scene, const ViewerConfig& record) = 0;

    // Sets or clears one of the record's toggle bits (FLAG_*) on the shown record.
    virtual void setFlag(int bit, bool on) = 0;

    // The scene at this point, drawn once (alpha 255 throughout unless the
    // format keeps alpha). Smoothed edges over a transparent background keep
    // the model's own colour, with the coverage in their alpha.
    virtual RgbaPicture draw(const FramePoint& at) = 0;
};

// Names the build a canvas comes from: a plugin left by another build of
// ombrel makes none.
#define OMBREL_CANVAS_BUILD "ombrel " OMBREL_VERSION " canvas 1"

// The canvas's one entry (ombrelMakeCanvas, the plugin's only exported
// name): a new canvas when build is the caller's OMBREL_CANVAS_BUILD, else null.
using MakeCanvas = Canvas* (*)(const char* build);
constexpr char kMakeCanvasName[] = "ombrelMakeCanvas";

}  // namespace frontend

extern "C" frontend::Canvas* ombrelMakeCanvas(const char* build);
