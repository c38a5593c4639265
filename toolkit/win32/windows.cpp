// Windows of the Win32 backend: classes (registered with one trampoline
// procedure that leads to the toolkit's), icons and cursors, windows,
// geometry, visibility, text and the default handling.
#include "toolkit/win32/state.h"  // windows.h, then commctrl.h

namespace win32backend {

State state;

HINSTANCE programInstance() {
    // The module this code is linked into: the program, or a library loaded
    // into another program (Explorer's thumbnail provider), whose classes
    // and windows must be its own and go with it, not the host's.
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCSTR>(&programInstance), &module))
        return GetModuleHandleA(nullptr);
    return module;
}

namespace {

// The window procedure of every class registered here: the toolkit's
// procedure of the window's class, found by the class's atom.
LRESULT CALLBACK trampoline(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto it = state.procedures.find(static_cast<ATOM>(GetClassWord(hwnd, GCW_ATOM)));
    if (it == state.procedures.end()) return DefWindowProcA(hwnd, message, wParam, lParam);
    return it->second(windowOf(hwnd), message, wParam, lParam);
}

}  // namespace

}  // namespace win32backend

using namespace win32backend;

namespace platform {

NativeIcon loadIcon(const char* resourceName) {
    return reinterpret_cast<NativeIcon>(LoadIconA(programInstance(), resourceName));
}
NativeIcon loadSystemIcon(int id) { return reinterpret_cast<NativeIcon>(LoadIconA(nullptr, MAKEINTRESOURCEA(id))); }
NativeCursor loadSystemCursor(int id) {
    return reinterpret_cast<NativeCursor>(LoadCursorA(nullptr, MAKEINTRESOURCEA(id)));
}

bool registerWindowClass(const NativeWindowClass& c) {
    if (!c.name || !c.name[0] || !c.procedure) return false;
    WNDCLASSA windowClass{};
    windowClass.style = c.style;
    windowClass.lpfnWndProc = trampoline;
    windowClass.hInstance = programInstance();
    windowClass.hIcon = reinterpret_cast<HICON>(c.icon);
    windowClass.hCursor = reinterpret_cast<HCURSOR>(c.cursor);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(c.background);
    windowClass.lpszClassName = c.name;
    ATOM atom = RegisterClassA(&windowClass);
    if (!atom) return false;
    state.procedures[atom] = c.procedure;
    return true;
}

bool unregisterWindowClass(const char* name) {
    WNDCLASSEXA info{};
    info.cbSize = sizeof info;
    ATOM atom = static_cast<ATOM>(GetClassInfoExA(programInstance(), name, &info));
    if (!atom || !UnregisterClassA(name, programInstance())) return false;
    state.procedures.erase(atom);
    return true;
}

bool initCommonControls() {
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_STANDARD_CLASSES | ICC_TAB_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES |
                     ICC_LISTVIEW_CLASSES | ICC_WIN95_CLASSES;
    return InitCommonControlsEx(&controls) != FALSE;
}

NativeWindow createWindow(const NativeWindowCreation& c) {
    // The pixel format is chosen later on the device context, as Win32 wants.
    HWND hwnd = CreateWindowExA(0, c.className, c.title ? c.title : "", c.style, c.x, c.y, c.width, c.height,
                                hwndOf(c.parent), nullptr, programInstance(), nullptr);
    return windowOf(hwnd);
}

bool destroyWindow(NativeWindow window) { return DestroyWindow(hwndOf(window)) != FALSE; }
bool destroyMenu(NativeWindow menu) { return DestroyMenu(reinterpret_cast<HMENU>(menu)) != FALSE; }

intptr_t getWindowLong(NativeWindow window, int index) { return GetWindowLongPtrA(hwndOf(window), index); }

intptr_t setWindowLong(NativeWindow window, int index, intptr_t value) {
    return SetWindowLongPtrA(hwndOf(window), index, value);
}

int getClassName(NativeWindow window, char* buffer, int size) {
    if (!window || !buffer || size <= 0) return 0;
    return GetClassNameA(hwndOf(window), buffer, size);
}

NativeWindow getParent(NativeWindow window) { return windowOf(GetParent(hwndOf(window))); }

bool moveWindow(NativeWindow window, int x, int y, int width, int height, bool repaint) {
    return MoveWindow(hwndOf(window), x, y, width, height, repaint) != FALSE;
}

bool getWindowRect(NativeWindow window, NativeRect* rect) {
    return rect && GetWindowRect(hwndOf(window), reinterpret_cast<RECT*>(rect)) != FALSE;
}

bool screenToClient(NativeWindow window, NativePoint* point) {
    return point && ScreenToClient(hwndOf(window), reinterpret_cast<POINT*>(point)) != FALSE;
}

bool setWindowPos(const NativeWindowPosition& p) {
    HWND after = p.insertAfter ? hwndOf(p.insertAfter) : HWND_TOP;
    return SetWindowPos(hwndOf(p.window), after, p.x, p.y, p.width, p.height, p.flags) != FALSE;
}

bool setWindowPositions(const NativeWindowPosition* positions, int count) {
    if (!positions || count < 0) return false;
    HDWP batch = BeginDeferWindowPos(count);
    for (int i = 0; i < count && batch; ++i) {
        const NativeWindowPosition& p = positions[i];
        HWND after = p.insertAfter ? hwndOf(p.insertAfter) : HWND_TOP;
        batch = DeferWindowPos(batch, hwndOf(p.window), after, p.x, p.y, p.width, p.height, p.flags);
    }
    return batch && EndDeferWindowPos(batch) != FALSE;
}

bool showWindow(NativeWindow window, int command) { return ShowWindow(hwndOf(window), command) != FALSE; }
bool isWindowVisible(NativeWindow window) { return IsWindowVisible(hwndOf(window)) != FALSE; }
bool enableWindow(NativeWindow window, bool enable) { return EnableWindow(hwndOf(window), enable) != FALSE; }
bool isWindowEnabled(NativeWindow window) { return IsWindowEnabled(hwndOf(window)) != FALSE; }
bool setWindowText(NativeWindow window, const char* text) {
    return SetWindowTextA(hwndOf(window), text ? text : "") != FALSE;
}
int getSystemMetrics(int index) { return GetSystemMetrics(index); }

intptr_t defWindowProc(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return DefWindowProcA(hwndOf(window), message, wParam, lParam);
}

intptr_t sendMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    return SendMessageA(hwndOf(window), message, wParam, lParam);
}

}  // namespace platform
