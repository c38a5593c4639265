#pragma once
#include "toolkit/mxEvent.h"
#include "toolkit/mxWidget.h"

// A toolkit window: a native window of the toolkit's class that leads back
// to this object, so the window procedure can deliver events to it.
class mxWindow : public mxWidget {
public:
    // Style codes of a window without a parent; a child window is always a
    // visible child, whatever the code.
    enum Style { Normal = 0, Popup = 1, Dialog = 2, ModalDialog = 3 };

    // A width or height above 16384, which no display has, gets no native
    // window, as when creation fails.
    mxWindow(mxWindow* parent, int x, int y, int w, int h, const char* label = "", int style = 0);
    ~mxWindow() override;

    // Nonzero when the event was handled; this version handles nothing.
    virtual int handleEvent(mxEvent* event);
    // Repaints the window; true when a frame was drawn. This version draws nothing.
    virtual bool redraw();
};
