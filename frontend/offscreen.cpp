#include "frontend/offscreen.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "toolkit/mxApp.h"
#include "viewer/ModelWindow.h"
#include "viewer/startup.h"

namespace frontend {

FramePoint pointInLoop(double keyFrames, int first, int last) {
    const int count = last - first + 1;
    FramePoint point;
    if (count < 1 || !std::isfinite(keyFrames)) {
        point.current = point.next = first;
        return point;
    }
    double position = std::fmod(keyFrames, double(count));
    if (position < 0) position += count;
    int whole = int(std::floor(position));
    if (whole >= count) whole = count - 1;
    point.current = first + whole;
    point.next = point.current >= last ? first : point.current + 1;
    point.fraction = float(position - whole);
    return point;
}

OffscreenView::~OffscreenView() {
    if (!window_) return;
    window_->makeCurrent();
    if (framebuffer_) {
        glDeleteFramebuffers(1, &framebuffer_);
        glDeleteRenderbuffers(1, &colour_);
        glDeleteRenderbuffers(1, &depth_);
    }
    delete window_;
    mxAppQuit();
}

namespace {

// Whether the window's own framebuffer holds every bit a picture keeps.
bool windowKeepsPicture(bool alpha) {
    GLint red = 0, green = 0, blue = 0, alphaBits = 0;
    glGetIntegerv(GL_RED_BITS, &red);
    glGetIntegerv(GL_GREEN_BITS, &green);
    glGetIntegerv(GL_BLUE_BITS, &blue);
    glGetIntegerv(GL_ALPHA_BITS, &alphaBits);
    return red >= 8 && green >= 8 && blue >= 8 && (!alpha || alphaBits >= 8);
}

}  // namespace

bool OffscreenView::open(const ViewerConfig& record, bool alpha, std::string& error) {
    // No display is needed, whatever DISPLAY says; a driver the person chose
    // is theirs to keep.
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!mxAppInit(0, nullptr)) {
        error = "no offscreen video driver to draw with";
        return false;
    }
    storeConfiguredPaths(record);
    window_ = openViewerWindow(record);
    if (!window_) {
        mxAppQuit();
        error = "no OpenGL context on the offscreen driver";
        return false;
    }
    // The window's framebuffer has the pixel format the driver matched to
    // the viewer's request, which has no alpha and may have fewer bits. Where
    // that loses part of the picture, the scene draws into a framebuffer of
    // its own: 8 bits a channel with alpha, and the viewer's depth bits. (The
    // window's own keeps every shader the driver made for the window's
    // first pictures: the quicker way.)
    if (windowKeepsPicture(alpha)) return true;
    const int width = record.windowWidth, height = record.windowHeight;
    glGenRenderbuffers(1, &colour_);
    glBindRenderbuffer(GL_RENDERBUFFER, colour_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, width, height);
    glGenRenderbuffers(1, &depth_);
    glBindRenderbuffer(GL_RENDERBUFFER, depth_);
    glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT16, width, height);
    glGenFramebuffers(1, &framebuffer_);
    glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colour_);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depth_);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        error = "the offscreen driver can't draw " + std::to_string(width) + "x" + std::to_string(height) + " pixels";
        return false;
    }
    return true;
}

void OffscreenView::setFlag(int bit, bool on) { window_->setFlag(bit, on); }

RgbaPicture OffscreenView::draw(const FramePoint& at) {
    RgbaPicture picture;
    picture.width = window_->getWidth();
    picture.height = window_->getHeight();
    window_->currentFrame = at.current;
    window_->nextFrame = at.next;
    window_->frameFraction = at.fraction;
    window_->makeCurrent();
    window_->draw();
    const size_t row = size_t(picture.width) * 4;
    picture.rgba.resize(row * size_t(picture.height));
    glReadPixels(0, 0, picture.width, picture.height, GL_RGBA, GL_UNSIGNED_BYTE, picture.rgba.data());
    // GL's rows come bottom first.
    std::vector<uint8_t> spare(row);
    for (int top = 0, bottom = picture.height - 1; top < bottom; ++top, --bottom) {
        uint8_t* a = &picture.rgba[size_t(top) * row];
        uint8_t* b = &picture.rgba[size_t(bottom) * row];
        std::memcpy(spare.data(), a, row);
        std::memcpy(a, b, row);
        std::memcpy(b, spare.data(), row);
    }
    return picture;
}

}  // namespace frontend
