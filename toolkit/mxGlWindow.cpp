#include "toolkit/mxGlWindow.h"

#include "toolkit/internal.h"
#include "toolkit/platform.h"

struct mxGlContext {
    NativeDC deviceContext = nullptr;
    NativeGLContext renderContext = nullptr;
};

namespace {

int defaultMode = 0;
int defaultColorBits = 24;
int defaultDepthBits = 16;

}  // namespace

NativePixelFormat mxPixelFormatRequest(int colorBits, int depthBits) {
    NativePixelFormat request{};
    request.size = sizeof(NativePixelFormat);
    request.version = 1;
    request.flags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.pixelType = PFD_TYPE_RGBA;
    request.colorBits = static_cast<uint8_t>(colorBits & 0xFF);
    request.depthBits = static_cast<uint8_t>(depthBits & 0xFF);
    request.layerType = PFD_MAIN_PLANE;
    return request;
}

NativePixelFormat mxDefaultPixelFormat() { return mxPixelFormatRequest(defaultColorBits, defaultDepthBits); }

void mxGlWindow::setDefaultFormat(int mode, int colorBits, int depthBits) {
    defaultMode = mode;
    defaultColorBits = colorBits;
    defaultDepthBits = depthBits;
}

mxGlWindow::mxGlWindow(mxWindow* parent, int x, int y, int w, int h, const char* label, int style)
    : mxWindow(parent, x, y, w, h, label, style), context_(nullptr), drawCallback_(nullptr) {
    NativePixelFormat request = mxDefaultPixelFormat();
    context_ = new mxGlContext;
    NativeWindow window = getHandle();
    context_->deviceContext = window ? platform::getDC(window) : nullptr;
    NativeDC dc = context_->deviceContext;
    bool ok = dc != nullptr;
    int format = 0;
    if (ok) {
        format = platform::choosePixelFormat(dc, &request);
        ok = format != 0;
    }
    if (ok) {
        ok = platform::setPixelFormat(dc, format, &request);
        if (ok) platform::describePixelFormat(dc, format, &request);
    }
    if (ok) {
        context_->renderContext = platform::glCreateContext(dc);
        ok = context_->renderContext != nullptr;
    }
    if (ok) ok = platform::glMakeCurrent(dc, context_->renderContext);
    if (!ok) {
        // Give back whatever was obtained: a failed window holds nothing and
        // is never drawn into.
        if (context_->renderContext) platform::glDeleteContext(context_->renderContext);
        if (dc) platform::releaseDC(window, dc);
        context_->renderContext = nullptr;
        context_->deviceContext = nullptr;
        return;
    }
    // Present at the display's rate where the driver can; the loop paces
    // itself where it cannot.
    platform::setSwapInterval(1);
    setType(TypeGlWindow);
    drawCallback_ = nullptr;
}

mxGlWindow::~mxGlWindow() {
    if (context_->renderContext) {
        platform::glMakeCurrent(nullptr, nullptr);
        platform::glDeleteContext(context_->renderContext);
    }
    if (context_->deviceContext) platform::releaseDC(getHandle(), context_->deviceContext);
    delete context_;
}

void mxGlWindow::setDrawCallback(void (*callback)()) { drawCallback_ = callback; }

bool mxGlWindow::makeCurrent() {
    if (!context_->renderContext) return false;
    return platform::glMakeCurrent(context_->deviceContext, context_->renderContext);
}

void* mxGlWindow::procAddress(const char* name) { return platform::glProcAddress(name); }

bool mxGlWindow::swapBuffers() {
    if (!context_->renderContext) return false;
    return platform::swapBuffers(context_->deviceContext);
}

bool mxGlWindow::redraw() {
    if (!context_->renderContext) return false;
    makeCurrent();
    if (drawCallback_)
        drawCallback_();
    else
        draw();
    return swapBuffers();
}

void mxGlWindow::draw() {}
