#pragma once
// Internal to the toolkit: its process-wide state, and the pieces of its
// logic that the widgets, the window procedure, the backends and the tests
// share. Application code includes mxApp.h, mxWidget.h, mxWindow.h and
// mxGlWindow.h, never this.
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

// Helpers shared by the widgets, the window procedure and the backends.

// Class names are at most this long, terminator included.
constexpr int kClassNameSize = 128;
// The native window's class name; empty when there is no window or the name
// cannot be read.
void mxReadClassName(NativeWindow window, char (&name)[kClassNameSize]);
// ASCII comparison ignoring case, as Win32 compares class names; null equals
// only null.
bool mxEqualsIgnoringCase(const char* a, const char* b);
// The page widget stored in the tab control's current tab, or null when
// there is no current tab or it carries none; the tab's index goes to
// *index when given.
mxWidget* mxCurrentTabPage(NativeWindow tabControl, intptr_t* index = nullptr);
// Places the current tab's page widget in the tab control's display area and
// shows it.
void layoutTabPage(NativeWindow tabControl);
