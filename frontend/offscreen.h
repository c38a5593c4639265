// The viewer's model window without a display: the record applied by the
// viewer's own start-up steps, on SDL's offscreen driver, drawn by the
// viewer's own scene code into a framebuffer object and read back.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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

class OffscreenView {
public:
    OffscreenView() = default;
    ~OffscreenView();
    OffscreenView(const OffscreenView&) = delete;
    OffscreenView& operator=(const OffscreenView&) = delete;

    // Opens the model window for record, exactly as the viewer starts on it.
    // With alpha the pictures keep what the scene leaves in the alpha
    // channel: 0 where only the clear reached, 1 where the model is drawn.
    // False, with the reason in error, when there is no GL context.
    bool open(const ViewerConfig& record, bool alpha, std::string& error);

    // The scene at this point, drawn once (alpha 255 throughout unless opened with alpha).
    RgbaPicture draw(const FramePoint& at);

    // Sets or clears one of the record's toggle bits (FLAG_*) on the open view.
    void setFlag(int bit, bool on);

private:
    ModelWindow* window_ = nullptr;
    unsigned framebuffer_ = 0, colour_ = 0, depth_ = 0;
};

}  // namespace frontend
