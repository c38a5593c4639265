// The window procedure of the toolkit's class: turns native messages into
// mxEvent records and delivers them to the window's object.
#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/mxApp.h"
#include "toolkit/mxWindow.h"
#include "toolkit/platform.h"

namespace {

unsigned lowWord(uintptr_t value) { return static_cast<unsigned>(value & 0xFFFF); }
unsigned highWord(uintptr_t value) { return static_cast<unsigned>((value >> 16) & 0xFFFF); }

// The toolkit object stored in a native window's user-data word.
mxWidget* objectOf(NativeWindow window) {
    if (!window) return nullptr;
    return reinterpret_cast<mxWidget*>(platform::getWindowLong(window, GWLP_USERDATA));
}

// Windows of the toolkit's class hold an mxWindow.
mxWindow* windowObjectOf(NativeWindow window) { return static_cast<mxWindow*>(objectOf(window)); }

// Offers the event to W, then to each parent in turn, until one handles it.
void deliverToParentChain(mxWindow* start, mxEvent* event) {
    for (mxWindow* w = start; w; w = w->getParent()) {
        if (w->handleEvent(event)) return;
    }
}

int heldButtons(uintptr_t keyState) {
    int buttons = 0;
    if (keyState & MK_LBUTTON) buttons |= mxEvent::LeftButton;
    if (keyState & MK_RBUTTON) buttons |= mxEvent::RightButton;
    if (keyState & MK_MBUTTON) buttons |= mxEvent::MiddleButton;
    return buttons;
}

int modifierKeys(uintptr_t keyState) {
    int modifiers = 0;
    if (keyState & MK_CONTROL) modifiers |= mxEvent::ControlKey;
    if (keyState & MK_SHIFT) modifiers |= mxEvent::ShiftKey;
    return modifiers;
}

// A mouse event with x and y taken as unsigned 16-bit numbers: while the
// mouse is captured, a pointer left of or above the window comes as a
// large value.
mxEvent mouseEvent(int type, uintptr_t wParam, intptr_t lParam, int buttonBit) {
    mxEvent event;
    event.type = type;
    event.x = static_cast<int>(lowWord(static_cast<uintptr_t>(lParam)));
    event.y = static_cast<int>(highWord(static_cast<uintptr_t>(lParam)));
    event.buttons = buttonBit | heldButtons(wParam);
    event.modifiers = modifierKeys(wParam);
    return event;
}

int buttonBitOf(unsigned message) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        return mxEvent::LeftButton;
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
        return mxEvent::RightButton;
    default:
        return mxEvent::MiddleButton;
    }
}

void deliverDirect(NativeWindow window, mxEvent* event) {
    if (mxWindow* object = windowObjectOf(window)) object->handleEvent(event);
}

// Whether a control's command reaches the application: edit fields only
// for a change of text, combo and list boxes only for a change of
// selection, every other control (or none) always.
bool commandPasses(const char* className, unsigned code) {
    if (mxEqualsIgnoringCase(className, "edit")) return code == EN_CHANGE;
    if (mxEqualsIgnoringCase(className, "combobox") || mxEqualsIgnoringCase(className, "listbox"))
        return code == CBN_SELCHANGE;
    return true;
}

void handleCommand(NativeWindow window, uintptr_t wParam, intptr_t lParam) {
    NativeWindow control = reinterpret_cast<NativeWindow>(lParam);
    char className[kClassNameSize];
    mxReadClassName(control, className);
    if (!commandPasses(className, highWord(wParam))) return;
    mxEvent event;
    event.type = mxEvent::Action;
    event.widget = objectOf(control);
    event.action = static_cast<int>(lowWord(wParam));
    deliverToParentChain(windowObjectOf(window), &event);
}

void handleScroll(intptr_t lParam) {
    mxWidget* control = objectOf(reinterpret_cast<NativeWindow>(lParam));
    if (!control) return;
    int id = control->getId();
    if (id <= 0) return;
    mxEvent event;
    event.type = mxEvent::Action;
    event.widget = control;
    event.action = id;
    deliverToParentChain(control->getParent(), &event);
}

// Left and bottom edge of the tree view's selected item around its text;
// (0, 0) when there is no selected item or the control cannot tell.
NativePoint selectedItemCorner(NativeWindow treeView) {
    NativePoint corner;
    intptr_t item = platform::sendMessage(treeView, TVM_GETNEXTITEM, TVGN_CARET, 0);
    if (!item) return corner;
    NativeRect rect;
    static_assert(sizeof(rect) >= sizeof(item), "item handle must fit in the rectangle");
    std::memcpy(static_cast<void*>(&rect), &item, sizeof(item));
    if (!platform::sendMessage(treeView, TVM_GETITEMRECT, 1, reinterpret_cast<intptr_t>(&rect))) return corner;
    corner.x = rect.left;
    corner.y = rect.bottom;
    return corner;
}

// Returns true when the default handling is to be skipped (with result 1).
bool handleNotify(NativeWindow window, intptr_t lParam) {
    const NativeNotifyHeader* header = reinterpret_cast<const NativeNotifyHeader*>(lParam);
    if (!header) return false;
    mxEvent event;
    event.type = mxEvent::Action;
    event.widget = objectOf(header->source);
    event.action = static_cast<int>(header->sourceId);
    bool skipDefault = false;
    switch (header->code) {
    case TVN_SELCHANGEDA: {
        NativePoint corner = selectedItemCorner(header->source);
        event.x = corner.x;
        event.y = corner.y;
        break;
    }
    case NM_RCLICK:
    case NM_DBLCLK: {
        event.flags = header->code == NM_RCLICK ? mxEvent::RightClicked : mxEvent::DoubleClicked;
        if (event.widget && event.widget->getType() == mxWidget::TypeTreeView) {
            NativePoint corner = selectedItemCorner(header->source);
            event.x = corner.x;
            event.y = corner.y;
        }
        skipDefault = header->code == NM_DBLCLK && header->sourceId != 0;
        break;
    }
    case TCN_SELCHANGING: {
        if (mxWidget* page = mxCurrentTabPage(header->source)) page->setVisible(false);
        return false;
    }
    case TCN_SELCHANGE:
        layoutTabPage(header->source);
        break;
    default:
        return false;
    }
    mxWindow* object = windowObjectOf(window);
    if (header->sourceId != 0 && object) deliverToParentChain(object, &event);
    return skipDefault;
}

}  // namespace

intptr_t mxWindowProcedure(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    switch (message) {
    case WM_SIZE: {
        mxEvent event;
        event.type = mxEvent::Size;
        event.width = static_cast<int>(lowWord(static_cast<uintptr_t>(lParam)));
        event.height = static_cast<int>(highWord(static_cast<uintptr_t>(lParam)));
        deliverDirect(window, &event);
        break;
    }
    case WM_PAINT:
        if (mxWindow* object = windowObjectOf(window)) object->redraw();
        break;
    case WM_CLOSE: {
        mxWindow* main = mxAppMainWindow();
        if (!main) return 0;
        if (main->getHandle() == window) {
            mxAppSetQuitting();
            mxAppQuit();
        } else {
            platform::showWindow(window, SW_HIDE);
        }
        return 0;
    }
    case WM_ERASEBKGND: {
        mxWindow* object = windowObjectOf(window);
        // A working GL window paints every pixel itself; erasing would flicker.
        if (object && object->getType() == mxWidget::TypeGlWindow) return 0;
        break;
    }
    case WM_NOTIFY:
        if (!mxAppQuitting() && handleNotify(window, lParam)) return 1;
        break;
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        mxEvent event;
        event.type = message == WM_KEYUP ? mxEvent::KeyUp : mxEvent::KeyDown;
        event.key = static_cast<int>(wParam);
        deliverDirect(window, &event);
        break;
    }
    case WM_COMMAND:
        if (lowWord(wParam) != 0 && windowObjectOf(window)) handleCommand(window, wParam, lParam);
        break;
    case WM_TIMER:
        if (!mxAppQuitting()) {
            mxEvent event;
            event.type = mxEvent::Timer;
            deliverDirect(window, &event);
        }
        break;
    case WM_HSCROLL:
    case WM_VSCROLL: {
        unsigned code = lowWord(wParam);
        if (code == SB_THUMBTRACK || code == SB_ENDSCROLL) handleScroll(lParam);
        break;
    }
    case WM_MOUSEMOVE: {
        mxEvent event = mouseEvent(mxAppCaptured() ? mxEvent::MouseDrag : mxEvent::MouseMove, wParam, lParam, 0);
        deliverDirect(window, &event);
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN: {
        mxAppSetCaptured(true);
        platform::setCapture(window);
        mxEvent event = mouseEvent(mxEvent::MouseDown, wParam, lParam, buttonBitOf(message));
        deliverDirect(window, &event);
        break;
    }
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP: {
        mxEvent event = mouseEvent(mxEvent::MouseUp, wParam, lParam, buttonBitOf(message));
        deliverDirect(window, &event);
        // Releasing any one button ends the drag, even with another held.
        mxAppSetCaptured(false);
        platform::releaseCapture();
        break;
    }
    default:
        break;
    }
    return platform::defWindowProc(window, message, wParam, lParam);
}
