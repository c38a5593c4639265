#pragma once
// The application core: the toolkit's window class, the widget registry, the
// message loop with its Idle events, quitting, message boxes and display
// modes. One application per process, on the thread that calls mxAppInit.
#include "toolkit/tickcount.h"

class mxWidget;
class mxWindow;

// Flags of mxShowMessage: the first set button flag and the first set icon
// flag in this order choose the box's buttons and icon.
enum {
    MSG_YESNO = 0x01,
    MSG_YESNOCANCEL = 0x02,
    MSG_INFO = 0x04,
    MSG_ERROR = 0x08,
    MSG_WARNING = 0x10,
    MSG_QUESTION = 0x20
};

// 1 when the toolkit is ready, 0 when its window class could not be registered.
int mxAppInit(int argc, char** argv);
// Runs the loop until the quit message; its code (0 after mxAppQuit).
int mxAppRun();
// Destroys every registered widget, newest first, ends the loop and
// unregisters the window class.
void mxAppQuit();
// The same, leaving the thread's message loop alone: for a toolkit that
// drew in a thread whose loop is not its own (a library's guest in another
// program), or that runs no loop at all.
void mxAppClose();
// The window that receives Idle events; a target must clear it before it goes.
void mxAppSetIdleTarget(mxWindow* target);
// Called by the idle target while it handles an Idle event: the next Idle
// event comes no later than this many milliseconds from now (sooner when the
// display's pace says so). Holds for that one wait only.
void mxAppNextIdleWithin(uint32_t milliseconds);
// Modal box: 0 for OK or Yes (and when no box can be shown: the text then
// goes to standard error), 1 for No, 2 for Cancel.
int mxShowMessage(mxWindow* owner, const char* text, const char* caption, int flags);
// Full-screen mode of that size and depth for the toolkit's windows; any zero
// restores the desktop's mode. Returns 0.
int mxAppSetScreenMode(int width, int height, int bits);

void registerWidget(mxWidget* widget);
void unregisterWidget(mxWidget* widget);
