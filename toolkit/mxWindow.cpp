#include "toolkit/mxWindow.h"

#include "toolkit/internal.h"
#include "toolkit/mxApp.h"
#include "toolkit/platform.h"

namespace {

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
    NativeWindow window = platform::createWindow(creation);
    if (window) platform::setWindowLong(window, GWL_USERDATA, reinterpret_cast<intptr_t>(static_cast<mxWidget*>(this)));
    setHandle(window);
    setType(TypeWindow);
    setParent(parent);
    if (!parent && !mxAppMainWindow()) mxAppSetMainWindow(this);
}

mxWindow::~mxWindow() {
    // From here on nothing may reach this object through its native window.
    if (getHandle()) platform::setWindowLong(getHandle(), GWL_USERDATA, 0);
    if (mxAppMainWindow() == this) mxAppSetMainWindow(nullptr);
    // A target that forgot to clear itself must not receive Idle events
    // after it is gone.
    if (mxAppIdleTarget() == this) mxAppSetIdleTarget(nullptr);
}

int mxWindow::handleEvent(mxEvent*) { return 0; }

bool mxWindow::redraw() { return false; }
