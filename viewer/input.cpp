// The window's behaviour over time: the animation clock on Idle events, the
// mouse drags that turn, pan and zoom, and the single-key commands.
#include <cmath>

#include "model/draw.h"
#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"

uint32_t (*animationClock)() = tickCount;

namespace {

// The clock reading at the previous animation tick. It starts at the first
// tick's own reading, so the first tick measures nothing rather than the
// whole time since the clock began (which, read as a signed difference, can
// even be negative and hold the animation still for weeks).
uint32_t lastTick = 0;
bool clockStarted = false;

// Longer waits than this are never asked of the loop; it paces Idle events
// by the display long before.
constexpr uint32_t kMaxIdleWaitMs = 1000;

uint32_t idleWaitMs(double ms) {
    if (!(ms >= 1)) return 1;
    return ms < kMaxIdleWaitMs ? uint32_t(ms) : kMaxIdleWaitMs;
}

// The view and pointer when a button went down; every drag is measured from here.
struct DragAnchor {
    float rotX, rotY, transX, transY, transZ;
    int x, y;
} dragAnchor = {};

}  // namespace

int ModelWindow::handleEvent(mxEvent* event) {
    switch (event->type) {
    case mxEvent::Idle:
        if (flags & FLAG_PAUSED) return 0;  // nothing to do: the loop may rest
        animationTick();
        return 1;
    case mxEvent::MouseDown:
        dragAnchor = {rotX, rotY, transX, transY, transZ, event->x, event->y};
        return 1;
    case mxEvent::MouseDrag:
        drag(*event);
        return 1;
    case mxEvent::KeyDown:
        keyDown(event->key);  // may destroy this window: nothing of it is touched after
        return 1;
    default:
        return 1;
    }
}

void ModelWindow::animationTick() {
    const uint32_t now = animationClock();
    if (!clockStarted) {
        lastTick = now;
        clockStarted = true;
    }
    const int32_t elapsed = int32_t(now - lastTick);  // right across the counter's wrap-around
    lastTick = now;
    // A fraction that is no number would never pass 1 again; start the step afresh.
    if (!std::isfinite(frameFraction)) frameFraction = 0;
    if (msPerFrame > 0) {
        frameFraction += float(elapsed) / msPerFrame;
        if (frameFraction > 1) {
            stepFrames();
            // The part beyond the step is kept, so steps come every
            // msPerFrame on average, however the Idle events fall. A tick
            // still steps only once: after a stall of more than a whole
            // step the clock starts afresh.
            frameFraction -= 1;
            if (frameFraction > 1) frameFraction = 0;
        }
        // Ask for the next tick by the time the next step is due: the first
        // whole millisecond at which the fraction passes 1.
        mxAppNextIdleWithin(idleWaitMs(std::floor((1.0 - double(frameFraction)) * double(msPerFrame)) + 1));
    } else {
        // No time per frame: one step on every tick, and no division by zero.
        stepFrames();
        frameFraction = 0;
    }
    redraw();
}

void ModelWindow::stepFrames() {
    // Compared before adding, so frame numbers near the int range's end wrap
    // to startFrame instead of overflowing.
    currentFrame = currentFrame >= endFrame ? startFrame : currentFrame + 1;
    nextFrame = nextFrame >= endFrame ? startFrame : nextFrame + 1;
}

void ModelWindow::drag(const mxEvent& event) {
    const float dx = float(event.x - dragAnchor.x);
    const float dy = float(event.y - dragAnchor.y);
    if (event.buttons & mxEvent::LeftButton) {
        if (event.modifiers & mxEvent::ShiftKey) {
            transX = dragAnchor.transX - dx;
            transY = dragAnchor.transY + dy;
        } else {
            rotX = dragAnchor.rotX + dy;
            rotY = dragAnchor.rotY + dx;
        }
    } else if (event.buttons & mxEvent::RightButton) {
        transZ = dragAnchor.transZ + dy;
    }
    redraw();
}

void ModelWindow::keyDown(int key) {
    switch (key) {
    case 27:  // Escape
        delete this;
        mxAppQuit();
        return;
    case '$':  // also the Home key's virtual-key code
        centreOnMainModel();
        return;
    case '+':
        msPerFrame -= 10;
        if (msPerFrame < 1) msPerFrame = 1;
        return;
    case '-':  // also the Insert key's virtual-key code
        msPerFrame += 10;
        return;
    case '1':
    case '2':
    case '3':
    case '4':
        setRenderMode(key - '1');
        break;
    case 'b':
        toggle(FLAG_BACKGROUND);
        break;
    case 'l':
        toggle(FLAG_LIGHTING);
        break;
    case 'p':  // also F1's virtual-key code; pausing does not redraw
        toggle(FLAG_PAUSED);
        return;
    case 's':
        toggle(FLAG_SPECULAR);
        break;
    case 'w':
        toggle(FLAG_WATER);
        break;
    default:
        return;
    }
    redraw();
}

void ModelWindow::centreOnMainModel() {
    const Model* model = models[MODEL_MAIN];
    if (!model) return;
    ModelBounds b;
    modelBounds(model, &b);
    transY = (b.minY + b.maxY) * 0.5f;
    rotX = rotY = transX = 0;
    float extent = b.maxY - b.minY;
    if (b.maxX - b.minX > extent) extent = b.maxX - b.minX;
    if (b.maxZ - b.minZ > extent) extent = b.maxZ - b.minZ;
    transZ = extent * 1.2f;
    redraw();
}
