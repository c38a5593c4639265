#pragma once
// The platform layer: the few native operations the toolkit stands on. The
// toolkit's logic (application core, widgets, window procedure, GL window)
// calls only these; each backend (toolkit/<backend>/) implements them with
// its platform's calls. Handles, messages and records follow Win32 (see
// nativedefs.h): a message is numbered and packed as Win32 numbers and packs
// it, and every operation on a handle that names no live object does
// nothing and reports failure, as Win32 does for an invalid handle.
#include <cstdint>

#include "toolkit/nativedefs.h"
#include "toolkit/tickcount.h"

struct NativeDCHandle;
using NativeDC = NativeDCHandle*;
struct NativeGLContextHandle;
using NativeGLContext = NativeGLContextHandle*;
struct NativeIconHandle;
using NativeIcon = NativeIconHandle*;
struct NativeCursorHandle;
using NativeCursor = NativeCursorHandle*;

using WindowProcedure = intptr_t (*)(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);

struct NativeMessage {
    NativeWindow window = nullptr;
    unsigned message = WM_NULL;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

struct NativeWindowClass {
    const char* name = nullptr;
    uint32_t style = 0;
    WindowProcedure procedure = nullptr;
    NativeIcon icon = nullptr;
    NativeCursor cursor = nullptr;
    intptr_t background = 0;  // class brush: a system colour index plus one
};

struct NativeWindowCreation {
    const char* className = nullptr;
    const char* title = nullptr;
    uint32_t style = 0;
    int x = 0, y = 0, width = 0, height = 0;
    NativeWindow parent = nullptr;
    // The pixel format the window must be able to take. Where a window's
    // format is fixed when it is created (X11), the backend applies it here;
    // elsewhere it is chosen later on the device context.
    const NativePixelFormat* pixelFormat = nullptr;
};

// One entry of a batch of window positions applied together.
struct NativeWindowPosition {
    NativeWindow window = nullptr;
    NativeWindow insertAfter = nullptr;  // null: top of the Z order
    int x = 0, y = 0, width = 0, height = 0;
    unsigned flags = 0;  // SWP_*
};

namespace platform {

// Window classes, icons and cursors.
NativeIcon loadIcon(const char* resourceName);
NativeIcon loadSystemIcon(int id);
NativeCursor loadSystemCursor(int id);
bool registerWindowClass(const NativeWindowClass& windowClass);
bool unregisterWindowClass(const char* name);
bool initCommonControls();

// Native windows. A child window lies in its parent's client area and goes
// with it. Messages sent during creation reach the class's procedure.
NativeWindow createWindow(const NativeWindowCreation& creation);
bool destroyWindow(NativeWindow window);  // children first
bool destroyMenu(NativeWindow menu);
intptr_t getWindowLong(NativeWindow window, int index);                  // GWLP_USERDATA, GWLP_ID, GWL_STYLE
intptr_t setWindowLong(NativeWindow window, int index, intptr_t value);  // previous value
int getClassName(NativeWindow window, char* buffer, int size);           // length, 0 on failure
NativeWindow getParent(NativeWindow window);
bool moveWindow(NativeWindow window, int x, int y, int width, int height, bool repaint);
bool getWindowRect(NativeWindow window, NativeRect* rect);  // outer rectangle, screen
bool screenToClient(NativeWindow window, NativePoint* point);
bool setWindowPos(const NativeWindowPosition& position);
bool setWindowPositions(const NativeWindowPosition* positions, int count);  // one batch
bool showWindow(NativeWindow window, int command);                          // whether it was visible
bool isWindowVisible(NativeWindow window);
bool enableWindow(NativeWindow window, bool enable);  // whether it was disabled
bool isWindowEnabled(NativeWindow window);
bool setWindowText(NativeWindow window, const char* text);
int getSystemMetrics(int index);
intptr_t defWindowProc(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);
intptr_t sendMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);

// The thread's message queue.
bool peekMessage(NativeMessage* message);             // without removing it
bool getMessage(NativeMessage* message);              // waits; false when it took WM_QUIT
bool translateMessage(const NativeMessage& message);  // key presses post their characters
intptr_t dispatchMessage(const NativeMessage& message);
bool postMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);
void postQuitMessage(int code);
// Waits until a message is waiting or timeoutMs have passed; true when one waits.
bool waitMessage(uint32_t timeoutMs);

// Mouse capture.
NativeWindow setCapture(NativeWindow window);  // previous capture window
bool releaseCapture();

// Message boxes: the answer IDOK, IDCANCEL, IDYES or IDNO, 0 when no box could be shown.
int messageBox(NativeWindow owner, const char* text, const char* caption, unsigned style);

// Display modes: mode null restores the user's normal mode.
int32_t changeDisplaySettings(const NativeDisplayMode* mode, uint32_t flags);
// Refresh rate of the display showing the window in Hz, 0 when unknown.
int displayRefreshRate(NativeWindow window);

// OpenGL: device contexts, pixel formats, rendering contexts.
NativeDC getDC(NativeWindow window);
bool releaseDC(NativeWindow window, NativeDC dc);
int choosePixelFormat(NativeDC dc, const NativePixelFormat* request);  // 0: none
bool setPixelFormat(NativeDC dc, int format, const NativePixelFormat* request);
int describePixelFormat(NativeDC dc, int format, NativePixelFormat* description);
NativeGLContext glCreateContext(NativeDC dc);
bool glDeleteContext(NativeGLContext context);
bool glMakeCurrent(NativeDC dc, NativeGLContext context);  // both null: none current
bool swapBuffers(NativeDC dc);
bool setSwapInterval(int interval);  // for the current context; true when honoured
// An entry point of the current context beyond OpenGL 1.1 (framebuffer
// objects and the like), null when the driver has none of that name.
void* glProcAddress(const char* name);

}  // namespace platform
