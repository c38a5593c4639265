// The message queue of the Win32 backend: the thread's own queue, the
// loop's operations on it, mouse capture and the tick counter.
#include "toolkit/win32/state.h"

using namespace win32backend;

namespace {

NativeMessage nativeOf(const MSG& m) { return NativeMessage{windowOf(m.hwnd), m.message, m.wParam, m.lParam}; }

bool sameMessage(const NativeMessage& n, const MSG& m) {
    return windowOf(m.hwnd) == n.window && m.message == n.message && m.wParam == n.wParam && m.lParam == n.lParam;
}

// The whole message for a native one: the one taken last when it is that
// one, with its time and cursor position.
MSG messageOf(const NativeMessage& n) {
    if (sameMessage(n, state.lastTaken)) return state.lastTaken;
    MSG m{};
    m.hwnd = hwndOf(n.window);
    m.message = n.message;
    m.wParam = n.wParam;
    m.lParam = n.lParam;
    m.time = GetMessageTime();
    return m;
}

}  // namespace

uint32_t tickCount() { return GetTickCount(); }

namespace platform {

bool peekMessage(NativeMessage* message) {
    MSG m;
    if (!PeekMessageA(&m, nullptr, 0, 0, PM_NOREMOVE)) return false;
    if (message) *message = nativeOf(m);
    return true;
}

bool getMessage(NativeMessage* message) {
    MSG m{};
    BOOL result = GetMessageA(&m, nullptr, 0, 0);
    if (result == -1) m = MSG{nullptr, WM_QUIT, 0, 0, 0, {0, 0}};  // no queue to read: end the loop
    state.lastTaken = m;
    if (message) *message = nativeOf(m);
    return m.message != WM_QUIT;
}

bool translateMessage(const NativeMessage& message) {
    MSG m = messageOf(message);
    return TranslateMessage(&m) != FALSE;
}

intptr_t dispatchMessage(const NativeMessage& message) {
    MSG m = messageOf(message);
    return DispatchMessageA(&m);
}

bool postMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return PostMessageA(hwndOf(window), message, wParam, lParam) != FALSE;
}

void postQuitMessage(int code) { PostQuitMessage(code); }

bool waitMessage(uint32_t timeoutMs) {
    // Input already in the queue counts, not only input that came since
    // the queue was last looked at.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeoutMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    return peekMessage(nullptr);
}

NativeWindow setCapture(NativeWindow window) { return windowOf(SetCapture(hwndOf(window))); }
bool releaseCapture() { return ReleaseCapture() != FALSE; }

}  // namespace platform
