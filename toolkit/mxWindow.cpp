#include "toolkit/mxWindow.h"

#include "toolkit/internal.h"
#include "toolkit/mxApp.h"
#include "toolkit/platform.h"

namespace {

// No display has windows wider or taller than this: it is the largest
// surface GL drivers render into whole (GL_MAX_VIEWPORT_DIMS of Mesa's
// drivers and of most GPUs), above the widest desktops of several 8K
// screens, and half of what X11 and Win32 can address with their 16-bit
// coordinates. A larger request is refused at once, rather than left to
// the window system and the GL driver, which may take very long to fail.
constexpr int kMaxWindowEdge = 16384;

uint32_t nativeStyle(int style) {
    switch (style) {
    case mxWindow::Popup:
        return WS_POPUP;
    case mxWindow::Dialog:
    case mxWindow::ModalDialog:
        return WS_CAPTION | WS_SYSMENU;
    default:  // Normal, and codes nobody defined
        return WS_OVERLAPPEDWINDOW;
    }
}

}  // namespace

mxWindow::mxWindow(mxWindow* parent, int x, int y, int w, int h, const char* label, int style)
    : mxWidget(parent, x, y, w, h, label) {
    NativePixelFormat pixelFormat = mxDefaultPixelFormat();
    NativeWindowCreation creation;
    creation.className = mxWindowClassName;
    creation.title = label ? label : "";
    creation.style = parent ? WS_CHILD | WS_VISIBLE : nativeStyle(style);
    creation.x = x;
    creation.y = y;
    creation.width = w;
    creation.height = h;
    creation.parent = parent ? parent->getHandle() : nullptr;
    creation.pixelFormat = &pixelFormat;
    bool possible = w <= kMaxWindowEdge && h <= kMaxWindowEdge;
    NativeWindow window = possible ? platform::createWindow(creation) : nullptr;
    if (window) platform::setWindowLong(window, GWLP_USERDATA, reinterpret_cast<intptr_t>(static_cast<mxWidget*>(this)));
    setHandle(window);
    setType(TypeWindow);
    setParent(parent);
    if (!parent && !mxAppMainWindow()) mxAppSetMainWindow(this);
}

mxWindow::~mxWindow() {
    // From here on nothing may reach this object through its native window.
    if (getHandle()) platform::setWindowLong(getHandle(), GWLP_USERDATA, 0);
    if (mxAppMainWindow() == this) mxAppSetMainWindow(nullptr);
    // A target that forgot to clear itself must not receive Idle events
    // after it is gone.
    if (mxAppIdleTarget() == this) mxAppSetIdleTarget(nullptr);
}

int mxWindow::handleEvent(mxEvent*) { return 0; }

bool mxWindow::redraw() { return false; }
