// Small X11 requests the end-to-end tests need and no packaged tool makes:
//   x11tool close WINDOW-ID   ask a window to close the way a window manager
//                             does (a WM_DELETE_WINDOW client message)
//   x11tool intern NAME       create an atom, as a window manager would
#include <X11/Xlib.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

int closeWindow(Display* display, const char* id) {
    Window window = static_cast<Window>(std::strtoul(id, nullptr, 0));
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XSync(display, False);
    return sent ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s close WINDOW-ID | intern NAME\n", argv[0]);
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 1;
    int result = 2;
    if (std::strcmp(argv[1], "close") == 0) {
        result = closeWindow(display, argv[2]);
    } else if (std::strcmp(argv[1], "intern") == 0) {
        result = XInternAtom(display, argv[2], False) != None ? 0 : 1;
        XSync(display, False);
    }
    XCloseDisplay(display);
    return result;
}
