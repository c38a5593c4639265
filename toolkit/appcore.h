#pragma once
// The toolkit's process-wide state and the pieces of its logic that the
// widgets, the window procedure and the tests reach directly. Not for
// application code.
#include <vector>

#include "toolkit/nativedefs.h"

class mxWidget;
class mxWindow;

extern const char* const mxWindowClassName;  // "mx_class"

mxWindow* mxAppMainWindow();
void mxAppSetMainWindow(mxWindow* window);
mxWindow* mxAppIdleTarget();
bool mxAppQuitting();
void mxAppSetQuitting();
bool mxAppCaptured();
void mxAppSetCaptured(bool captured);

// The registry as it stands: whether it exists, and its widgets oldest first.
bool mxAppRegistryExists();
std::vector<mxWidget*> mxAppRegisteredWidgets();

// Native message-box style for mxShowMessage flags, and its result for the
// native answer.
unsigned mxMessageBoxStyle(int flags);
int mxMessageBoxResult(int answer);
// The display-mode record of a full-screen change.
NativeDisplayMode mxDisplayModeRecord(int width, int height, int bits);
// How long the loop lets pass after an Idle event before the next one: one
// display frame after one that was handled, a short pause after one that
// was not.
long mxIdleIntervalMicroseconds(bool handled, int refreshRate);

// The pixel-format request for colour and depth bits, and the one the
// current default format of the GL window asks for.
NativePixelFormat mxPixelFormatRequest(int colorBits, int depthBits);
NativePixelFormat mxDefaultPixelFormat();

// The window procedure of the toolkit's class.
intptr_t mxWindowProcedure(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);
