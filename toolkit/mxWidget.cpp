#include "toolkit/mxWidget.h"

#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/mxApp.h"
#include "toolkit/platform.h"

struct mxWidgetHandles {
    mxWindow* parent = nullptr;
    NativeWindow handle = nullptr;  // for menu widgets, a native menu
    intptr_t userData = 0;
    int type = mxWidget::TypeUntyped;
};

namespace {

bool isMenuType(int type) { return type >= mxWidget::TypeMenu && type <= mxWidget::TypePopupMenu; }

}  // namespace

mxWidget::mxWidget(mxWindow* parent, int x, int y, int w, int h, const char* label) : handles_(new mxWidgetHandles) {
    setHandle(nullptr);
    setType(TypeUntyped);
    setParent(parent);
    setBounds(x, y, w, h);
    setVisible(true);
    setEnabled(true);
    setId(0);
    setUserData(0);
    setLabel(label);
    registerWidget(this);
}

mxWidget::~mxWidget() {
    unregisterWidget(this);
    if (handles_->handle) {
        if (isMenuType(handles_->type))
            platform::destroyMenu(handles_->handle);
        else
            platform::destroyWindow(handles_->handle);
    }
    delete handles_;
}

void mxWidget::setHandle(NativeWindow handle) { handles_->handle = handle; }
NativeWindow mxWidget::getHandle() const { return handles_->handle; }
void mxWidget::setType(int type) { handles_->type = type; }
int mxWidget::getType() const { return handles_->type; }
void mxWidget::setParent(mxWindow* parent) { handles_->parent = parent; }
mxWindow* mxWidget::getParent() const { return handles_->parent; }
void mxWidget::setUserData(intptr_t data) { handles_->userData = data; }

void mxWidget::setBounds(int x, int y, int w, int h) {
    NativeWindow window = handles_->handle;
    if (!window) return;
    char className[kClassNameSize];
    mxReadClassName(window, className);
    // A combo box's height includes its drop-down list.
    int height = std::strcmp(className, "COMBOBOX") == 0 ? h + 100 : h;
    platform::moveWindow(window, x, y, w, height, true);
    if (std::strcmp(className, "SysTabControl32") == 0) layoutTabPage(window);
}

void mxWidget::setVisible(bool visible) {
    NativeWindow window = handles_->handle;
    if (!window) return;
    if (visible) {
        NativeWindowPosition position;
        position.window = window;
        position.flags = SWP_NOSIZE | SWP_NOMOVE | SWP_SHOWWINDOW;
        platform::setWindowPos(position);
    } else {
        platform::showWindow(window, SW_HIDE);
    }
}

void mxWidget::setEnabled(bool enabled) {
    if (handles_->handle) platform::enableWindow(handles_->handle, enabled);
}

void mxWidget::setId(int id) {
    if (handles_->handle) platform::setWindowLong(handles_->handle, GWLP_ID, id);
}

int mxWidget::getId() const {
    if (!handles_->handle) return 0;
    return static_cast<int>(platform::getWindowLong(handles_->handle, GWLP_ID));
}

void mxWidget::setLabel(const char* label) {
    if (handles_->handle) platform::setWindowText(handles_->handle, label ? label : "");
}

int mxWidget::getWidth() const {
    NativeRect r;
    if (!handles_->handle || !platform::getWindowRect(handles_->handle, &r)) return 0;
    return r.right - r.left;
}

int mxWidget::getHeight() const {
    NativeRect r;
    if (!handles_->handle || !platform::getWindowRect(handles_->handle, &r)) return 0;
    return r.bottom - r.top;
}

void layoutTabPage(NativeWindow tab) {
    intptr_t current = 0;
    mxWidget* page = mxCurrentTabPage(tab, &current);
    if (!page) return;

    NativeRect r;
    if (!platform::getWindowRect(tab, &r)) return;
    NativePoint topLeft{r.left, r.top};
    NativePoint bottomRight{r.right, r.bottom};
    NativeWindow parent = platform::getParent(tab);
    platform::screenToClient(parent, &topLeft);
    platform::screenToClient(parent, &bottomRight);
    r = NativeRect{topLeft.x, topLeft.y, bottomRight.x, bottomRight.y};

    NativeRect header;
    platform::sendMessage(tab, TCM_GETITEMRECT, static_cast<uintptr_t>(current), reinterpret_cast<intptr_t>(&header));
    int ex = platform::getSystemMetrics(SM_CXEDGE);
    int ey = platform::getSystemMetrics(SM_CYEDGE);
    int left = r.left + 2 * ex;
    int top = r.top + 3 * ey + (header.bottom - header.top);
    int right = r.right - 2 * ex;
    int bottom = r.bottom - 2 * ey;

    NativeWindowPosition positions[2];
    positions[0].window = tab;
    positions[0].flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER;
    positions[1].window = page->getHandle();
    positions[1].x = left;
    positions[1].y = top;
    positions[1].width = right - left;
    positions[1].height = bottom - top;
    positions[1].flags = SWP_SHOWWINDOW;
    platform::setWindowPositions(positions, 2);
}
