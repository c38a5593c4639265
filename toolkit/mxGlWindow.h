#pragma once
#include "toolkit/mxWindow.h"

struct mxGlContext;

// A toolkit window with an OpenGL rendering context, current when the
// constructor returns. Success shows as widget type 3 (TypeGlWindow). A
// window whose construction failed keeps type 17, holds no device or
// rendering context, and is never drawn into: redraw, makeCurrent and
// swapBuffers do nothing and report false. It stays registered like any
// widget, so it is destroyed exactly once, by its owner or by mxAppQuit.
class mxGlWindow : public mxWindow {
public:
    mxGlWindow(mxWindow* parent, int x, int y, int w, int h, const char* label = "", int style = 0);
    ~mxGlWindow() override;

    // Colour and depth bits of every GL window created afterwards (low 8 bits
    // of each are used); mode is stored only.
    static void setDefaultFormat(int mode, int colorBits, int depthBits);

    void setDrawCallback(void (*callback)());
    bool makeCurrent();
    // An OpenGL entry point beyond 1.1 of the current context, null when
    // the driver has none of that name.
    static void* procAddress(const char* name);
    bool swapBuffers();
    // Makes the context current, draws (the callback if one is installed,
    // else draw) and swaps; the swap's result.
    bool redraw() override;
    virtual void draw();

private:
    mxGlContext* context_;
    void (*drawCallback_)();
};
