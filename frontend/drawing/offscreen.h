// The viewer's model window without a display, for the commands that draw
// pictures: a prepared view's decoded models and pictures put in its slots
// and its settings applied by the viewer's own start-up steps, drawn by the
// viewer's own scene code into a framebuffer object and read back. One
// window and one OpenGL context serve any number of models in turn, and
// nothing is read from disk on the way. The window itself is the canvas
// (canvas.h): on Linux a plugin, loaded when the first view is opened.
#pragma once

#include <memory>
#include <string>

#include "frontend/drawing/canvas.h"
#include "frontend/scene/prepare.h"
#include "viewer/config.h"

namespace frontend {

// The point `keyFrames` key frames after the start of the played range
// first..last, as the viewer's clock reaches it: whole key frames step
// current and next on (last wraps to first), the rest is the blend; a
// position beyond the loop wraps round.
FramePoint pointInLoop(double keyFrames, int first, int last);

// Makes the drawing code ready to use: on Linux loads its plugin (once a
// process; the processes forked afterwards share it). False, with the reason
// in error, when it can't be loaded: then nothing can be drawn.
bool loadDrawing(std::string& error);

class OffscreenView {
public:
    OffscreenView();
    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // Makes the model window and what it draws into. False, with the reason
    // in error, when drawing can't be loaded, there is no GL context, or it
    // can't draw this format.
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
    std::unique_ptr<Canvas> canvas_;
};

}  // namespace frontend
