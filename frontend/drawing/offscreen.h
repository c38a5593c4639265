// The viewer's model window without a display: a prepared view's decoded
// models and pictures put in its slots and its settings applied by the
// viewer's own start-up steps, on SDL's offscreen driver, drawn by the
// viewer's own scene code into a framebuffer object and read back. One
// window and one OpenGL context serve any number of models in turn, and
// nothing is read from disk on the way.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/scene/prepare.h"
#include "viewer/config.h"

class ModelWindow;

namespace frontend {

// A point of the animation: the two key frames drawn and the blend between.
struct FramePoint {
    int current = 0, next = 0;
    float fraction = 0;
};

// The point `keyFrames` key frames after the start of the played range
// first..last, as the viewer's clock reaches it: whole key frames step
// current and next on (last wraps to first), the rest is the blend; a
// position beyond the loop wraps round.
FramePoint pointInLoop(double keyFrames, int first, int last);

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

class OffscreenView {
public:
    OffscreenView() = default;
    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // Makes the model window and what it draws into. False, with the reason
    // in error, when there is no GL context or it can't draw this format.
    bool open(const OffscreenFormat& format, std::string& error);

    // Fills the window with view's models and pictures, then its record's
    // settings, exactly as the viewer starts on them; a window that showed
    // another view is restarted first. The record's window size is the
    // format's. The view must outlive its time in the window (until the
    // next show or the window's end): the window draws its models.
    void show(const PreparedView& view);
    // The same view with other settings (another played range).
    void show(const PreparedView& view, const ViewerConfig& record);

    // The scene at this point, drawn once (alpha 255 throughout unless the
    // format keeps alpha). Smoothed edges over a transparent background keep
    // the model's own colour, with the coverage in their alpha.
    RgbaPicture draw(const FramePoint& at);

    // Sets or clears one of the record's toggle bits (FLAG_*) on the shown record.
    void setFlag(int bit, bool on);

private:
    bool makeFramebuffers(std::string& error);
    RgbaPicture readBack();

    OffscreenFormat format_;
    ModelWindow* window_ = nullptr;
    bool shown_ = false;
    int scale_ = 1;  // the picture is drawn scale_ times wider and higher, then reduced
    int samplesGiven_ = 1;
    // drawn_: where the scene draws (0: the window's own); resolved_: the
    // single-sample copy a multisampled drawing is resolved into.
    unsigned drawn_ = 0, drawnColour_ = 0, drawnDepth_ = 0;
    unsigned resolved_ = 0, resolvedColour_ = 0;
};

}  // namespace frontend
