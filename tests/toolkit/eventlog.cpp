// A small program built on the toolkit for the end-to-end tests: a
// borderless GL window at a given place that writes every event it gets to
// a log file, one line each (Idle events are only counted).
//   toolkit_eventlog LOG X Y W H MODE TITLE [fullscreen]
// MODE: "none" (no idle target), "paused" (Idle answered with 0) or
// "playing" (each Idle redraws and is answered with 1); "busy-paused" and
// "busy-playing" run a loop that never waits instead of mxAppRun, as the
// baseline that idle pacing is measured against. "fullscreen" asks for the
// display mode W x H (16 bits) first, as the viewer does, and restores it
// after the loop.
#include <GL/gl.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "toolkit/mxApp.h"
#include "toolkit/mxGlWindow.h"
#include "toolkit/platform.h"

namespace {

long idleEvents = 0;  // outlives the window, which the quit destroys

// Milliseconds on the monotonic clock, comparable with the test's own readings.
long long monotonicMs() {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

const char* typeName(int type) {
    switch (type) {
    case mxEvent::Action:
        return "Action";
    case mxEvent::Size:
        return "Size";
    case mxEvent::Timer:
        return "Timer";
    case mxEvent::Idle:
        return "Idle";
    case mxEvent::MouseUp:
        return "MouseUp";
    case mxEvent::MouseDown:
        return "MouseDown";
    case mxEvent::MouseMove:
        return "MouseMove";
    case mxEvent::MouseDrag:
        return "MouseDrag";
    case mxEvent::KeyUp:
        return "KeyUp";
    case mxEvent::KeyDown:
        return "KeyDown";
    default:
        return "Unknown";
    }
}

class LogWindow : public mxGlWindow {
public:
    LogWindow(std::FILE* log, int x, int y, int w, int h, const char* title, bool playing)
        : mxGlWindow(nullptr, x, y, w, h, title, mxWindow::Popup), log_(log), playing_(playing) {}

    int handleEvent(mxEvent* e) override {
        if (e->type == mxEvent::Idle) {
            ++idleEvents;
            if (!playing_) return 0;
            redraw();
            return 1;
        }
        if (e->type == mxEvent::MouseMove && e->x == lastMoveX && e->y == lastMoveY) return 1;
        if (e->type == mxEvent::MouseMove) lastMoveX = e->x, lastMoveY = e->y;
        std::fprintf(log_, "%s x=%d y=%d buttons=%d modifiers=%d key=%d width=%d height=%d t=%lld\n", typeName(e->type),
                     e->x, e->y, e->buttons, e->modifiers, e->key, e->width, e->height, monotonicMs());
        std::fflush(log_);
        return 1;
    }

    void draw() override {
        glClearColor(0.2f, 0.4f, 0.6f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    }

private:
    std::FILE* log_;
    bool playing_;
    int lastMoveX = -1, lastMoveY = -1;
};

// The loop without pacing: Idle events as fast as the target takes them
// whenever no message waits.
int busyLoop(mxWindow* target) {
    NativeMessage message;
    for (;;) {
        if (platform::peekMessage(&message)) {
            if (!platform::getMessage(&message)) return static_cast<int>(message.wParam);
            platform::translateMessage(message);
            platform::dispatchMessage(message);
            continue;
        }
        mxEvent idle;
        idle.type = mxEvent::Idle;
        target->handleEvent(&idle);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 8 && !(argc == 9 && std::strcmp(argv[8], "fullscreen") == 0)) {
        std::fprintf(stderr, "usage: %s LOG X Y W H none|paused|playing TITLE [fullscreen]\n", argv[0]);
        return 2;
    }
    std::FILE* log = std::fopen(argv[1], "w");
    if (!log) return 2;
    mxAppInit(argc, argv);
    bool fullScreen = argc == 9;
    if (fullScreen) mxAppSetScreenMode(std::atoi(argv[4]), std::atoi(argv[5]), 16);
    mxGlWindow::setDefaultFormat(0, 16, 16);
    LogWindow* window = new LogWindow(log, std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[4]),
                                      std::atoi(argv[5]), argv[7], std::strstr(argv[6], "playing") != nullptr);
    if (std::strcmp(argv[6], "none") != 0) mxAppSetIdleTarget(window);
    window->setVisible(true);
    std::fprintf(log, "Ready type=%d width=%d height=%d\n", window->getType(), window->getWidth(), window->getHeight());
    std::fflush(log);
    if (window->getType() != mxWidget::TypeGlWindow) {
        mxAppQuit();
        std::fclose(log);
        return 1;
    }
    bool busy = std::strncmp(argv[6], "busy-", 5) == 0;
    int result = busy ? busyLoop(window) : mxAppRun();
    if (fullScreen) mxAppSetScreenMode(0, 0, 0);
    std::fprintf(log, "Exit code=%d idle=%ld\n", result, idleEvents);
    std::fclose(log);
    return result;
}
