// The test hooks of the Win32 backend; linked into test programs only.
#include "toolkit/platform_testing.h"

#include "toolkit/win32/state.h"

using namespace win32backend;

namespace platform_testing {

void failNextGlStep(GlStep step) { state.failingGlStep = step; }
int outstandingDeviceContexts() { return state.outstandingDeviceContexts; }
int liveGlContexts() { return state.liveGlContexts; }
int swapCount() { return state.swaps; }
const void* currentGlContext() { return wglGetCurrentContext(); }

bool isFullScreen(NativeWindow window) {
    // A borderless window that covers its monitor.
    HWND hwnd = hwndOf(window);
    RECT r;
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetWindowRect(hwnd, &r) || !GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTONEAREST), &monitor))
        return false;
    bool borderless = (GetWindowLongPtrA(hwnd, GWL_STYLE) & WS_CAPTION) == 0;
    return borderless && EqualRect(&r, &monitor.rcMonitor);
}

}  // namespace platform_testing
