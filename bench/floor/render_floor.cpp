// The floor under `ombrel render`: the same offscreen OpenGL context (the
// toolkit's GL window on SDL's offscreen driver, with the viewer's pixel
// format, 640 x 480), nothing drawn, and the program ends. With
// "triangle", one triangle is drawn and the window read back: the least
// that any picture costs on this driver. scripts/bench-render measures
// ombrel render against both.
#include <GL/gl.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "toolkit/mxApp.h"
#include "toolkit/mxGlWindow.h"

int main(int argc, char** argv) {
    const int width = 640, height = 480;
    const bool triangle = argc > 1 && std::strcmp(argv[1], "triangle") == 0;
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!mxAppInit(argc, argv)) return 1;
    mxGlWindow::setDefaultFormat(0, 16, 16);
    auto* window = new mxGlWindow(nullptr, 0, 0, width, height, "", mxWindow::Popup);
    const bool ok = window->getType() == mxWindow::TypeGlWindow;
    if (ok && triangle) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glBegin(GL_TRIANGLES);
        glVertex2f(0, 0);
        glVertex2f(1, 0);
        glVertex2f(0, 1);
        glEnd();
        std::vector<unsigned char> pixels(size_t(width) * height * 4);
        glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    }
    delete window;
    mxAppQuit();
    return ok ? 0 : 1;
}
