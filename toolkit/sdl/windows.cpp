// Windows of the SDL2 backend: classes, icons and cursors, the window
// records and their SDL windows, geometry, visibility, text, and the default
// handling.
#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/sdl/state.h"
#include "toolkit/sdl/endrequests.h"
#include "toolkit/sdl/sdlinput.h"

namespace sdlbackend {

State state;

namespace {

// Marker handles for the system icon and cursor: SDL windows show their
// platform's defaults.
NativeIconHandle* const kSystemIcon = reinterpret_cast<NativeIconHandle*>(1);
NativeCursorHandle* const kSystemCursor = reinterpret_cast<NativeCursorHandle*>(1);

// Frame sizes around an SDL window's client area (none without a window manager).
NativeRect frameOf(const WindowRecord* w) {
    NativeRect frame;
    if (w->sdl) {
        int top = 0, left = 0, bottom = 0, right = 0;
        if (SDL_GetWindowBordersSize(w->sdl, &top, &left, &bottom, &right) == 0)
            frame = NativeRect{left, top, right, bottom};
    }
    return frame;
}

bool createSdlWindow(WindowRecord* w, const NativeWindowCreation& c) {
    if (!ensureVideo()) return false;
    Uint32 flags = SDL_WINDOW_HIDDEN;
    if (!(c.style & WS_CAPTION)) flags |= SDL_WINDOW_BORDERLESS;
    if (c.style & WS_THICKFRAME) flags |= SDL_WINDOW_RESIZABLE;
    int x = c.x == static_cast<int>(0x80000000) ? SDL_WINDOWPOS_UNDEFINED : c.x;
    int y = c.y == static_cast<int>(0x80000000) ? SDL_WINDOWPOS_UNDEFINED : c.y;
    const char* title = c.title ? c.title : "";
    int width = c.width > 0 ? c.width : 1;
    int height = c.height > 0 ? c.height : 1;
    if (c.pixelFormat && (c.pixelFormat->flags & PFD_SUPPORT_OPENGL)) {
        // The GL surface's format is fixed here, once and for all.
        setGlAttributes(*c.pixelFormat);
        w->sdl = SDL_CreateWindow(title, x, y, width, height, flags | SDL_WINDOW_OPENGL);
        if (w->sdl) {
            w->glCapable = true;
            w->createdFormat = *c.pixelFormat;
        }
    }
    // A window without a GL surface still exists; choosing a pixel format for
    // it then fails.
    if (!w->sdl) w->sdl = SDL_CreateWindow(title, x, y, width, height, flags);
    if (!w->sdl) return false;
    SDL_GetWindowSize(w->sdl, &w->reportedWidth, &w->reportedHeight);
    if (state.fullScreen.active) applyFullScreen(w);
    if (c.style & WS_VISIBLE) {
        SDL_ShowWindow(w->sdl);
        w->visible = true;
        invalidate(w);
    }
    return true;
}

void showRecord(WindowRecord* w, bool show, bool activate) {
    w->visible = show;
    if (show) invalidate(w);
    if (!w->sdl) return;
    if (show) {
        SDL_ShowWindow(w->sdl);
        if (activate) {
            SDL_RaiseWindow(w->sdl);
            // Without a window manager, raising alone gives no keyboard focus.
            SDL_SetWindowInputFocus(w->sdl);
        }
    } else {
        SDL_HideWindow(w->sdl);
    }
}

// Moves and sizes by outer rectangle; an SDL window is placed by its client area.
void placeRecord(WindowRecord* w, const int* position, const int* size) {
    if (w->sdl) {
        NativeRect frame = frameOf(w);
        if (position) SDL_SetWindowPosition(w->sdl, position[0] + frame.left, position[1] + frame.top);
        if (size) {
            int width = size[0] - frame.left - frame.right;
            int height = size[1] - frame.top - frame.bottom;
            SDL_SetWindowSize(w->sdl, width > 0 ? width : 1, height > 0 ? height : 1);
        }
    } else {
        if (position) {
            w->x = position[0];
            w->y = position[1];
        }
        if (size) {
            w->width = size[0];
            w->height = size[1];
        }
    }
    if (size) {
        int width, height;
        clientSize(w, &width, &height);
        reportSize(w, width, height, false);
    }
}

void destroyRecord(uintptr_t id) {
    auto it = state.windows.find(id);
    if (it == state.windows.end()) return;
    std::vector<uintptr_t> children = it->second->children;
    for (uintptr_t child : children) destroyRecord(child);
    it = state.windows.find(id);
    if (it == state.windows.end()) return;
    std::unique_ptr<WindowRecord> w = std::move(it->second);
    state.windows.erase(it);
    if (WindowRecord* parent = findWindow(handleOf(w->parent))) {
        auto& siblings = parent->children;
        for (auto s = siblings.begin(); s != siblings.end(); ++s) {
            if (*s == id) {
                siblings.erase(s);
                break;
            }
        }
    }
    // Messages for a window that is gone are never delivered.
    NativeWindow handle = handleOf(id);
    forgetMessagesOf(handle);
    if (state.captureWindow == id) state.captureWindow = 0;
    if (w->sdl) {
        if (SDL_GL_GetCurrentWindow() == w->sdl) SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_DestroyWindow(w->sdl);
    }
}

}  // namespace

WindowClass* findClass(const char* name) {
    if (!name) return nullptr;
    for (WindowClass& c : state.classes) {
        if (mxEqualsIgnoringCase(c.name.c_str(), name)) return &c;
    }
    return nullptr;
}

WindowRecord* findWindow(NativeWindow window) {
    auto it = state.windows.find(idOf(window));
    return it == state.windows.end() ? nullptr : it->second.get();
}

WindowRecord* findSdlWindow(Uint32 sdlWindowId) {
    if (sdlWindowId == 0) return nullptr;
    SDL_Window* sdl = SDL_GetWindowFromID(sdlWindowId);
    if (!sdl) return nullptr;
    for (auto& entry : state.windows) {
        if (entry.second->sdl == sdl) return entry.second.get();
    }
    return nullptr;
}

bool ensureVideo() {
    if (state.videoReady) return true;
    // SIGTERM and SIGINT become close requests here, not SDL's quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    endrequests::install();
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_StartTextInput();
    state.heldModifiers = static_cast<uint16_t>(SDL_GetModState());
    state.videoReady = true;
    return true;
}

bool shownWithAncestors(const WindowRecord* w) {
    for (; w; w = findWindow(handleOf(w->parent))) {
        if (!w->visible) return false;
    }
    return true;
}

void invalidate(WindowRecord* w) {
    w->needsPaint = true;
    w->needsErase = true;
}

// Client area origin in screen coordinates.
NativePoint clientOrigin(const WindowRecord* w) {
    NativePoint origin;
    if (w->sdl) {
        SDL_GetWindowPosition(w->sdl, &origin.x, &origin.y);
    } else {
        origin.x = w->x;
        origin.y = w->y;
        if (const WindowRecord* parent = findWindow(handleOf(w->parent))) {
            NativePoint p = clientOrigin(parent);
            origin.x += p.x;
            origin.y += p.y;
        }
    }
    return origin;
}

void clientSize(const WindowRecord* w, int* width, int* height) {
    if (w->sdl) {
        SDL_GetWindowSize(w->sdl, width, height);
    } else {
        *width = w->width;
        *height = w->height;
    }
}

intptr_t callProcedure(WindowRecord* w, unsigned message, uintptr_t wParam, intptr_t lParam) {
    WindowProcedure procedure = w->procedure;
    NativeWindow window = handleOf(w->id);
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

// Tells the window its new client size, as Win32 does when a window is sized.
void reportSize(WindowRecord* w, int width, int height, bool posted) {
    if (w->reportedWidth == width && w->reportedHeight == height) return;
    w->reportedWidth = width;
    w->reportedHeight = height;
    invalidate(w);
    intptr_t size = sdlinput::packPoint(width, height);
    if (posted)
        postQueued(handleOf(w->id), WM_SIZE, SIZE_RESTORED, size);
    else
        callProcedure(w, WM_SIZE, SIZE_RESTORED, size);
}

}  // namespace sdlbackend

using namespace sdlbackend;

namespace platform {

NativeIcon loadIcon(const char*) { return nullptr; }  // programs carry no icon resources here
NativeIcon loadSystemIcon(int id) { return id == SYSTEM_ICON_WINLOGO ? kSystemIcon : nullptr; }
NativeCursor loadSystemCursor(int id) { return id == SYSTEM_CURSOR_ARROW ? kSystemCursor : nullptr; }

bool registerWindowClass(const NativeWindowClass& windowClass) {
    if (!windowClass.name || !windowClass.name[0] || !windowClass.procedure) return false;
    if (findClass(windowClass.name)) return false;
    state.classes.push_back(WindowClass{windowClass.name, windowClass.style, windowClass.procedure});
    return true;
}

bool unregisterWindowClass(const char* name) {
    WindowClass* c = findClass(name);
    if (!c) return false;
    for (auto& entry : state.windows) {
        if (mxEqualsIgnoringCase(entry.second->className.c_str(), name)) return false;  // still in use
    }
    state.classes.erase(state.classes.begin() + (c - state.classes.data()));
    return true;
}

bool initCommonControls() { return true; }

NativeWindow createWindow(const NativeWindowCreation& c) {
    WindowClass* windowClass = findClass(c.className);
    if (!windowClass) return nullptr;
    bool child = (c.style & WS_CHILD) != 0;
    WindowRecord* parent = findWindow(c.parent);
    if (child && !parent) return nullptr;
    auto w = std::make_unique<WindowRecord>();
    w->id = state.nextWindowId++;
    w->className = windowClass->name;
    w->procedure = windowClass->procedure;
    // Windows clips every top-level window against its siblings, and says so.
    w->style = child ? c.style : c.style | WS_CLIPSIBLINGS;
    w->text = c.title ? c.title : "";
    if (child) {
        w->parent = parent->id;
        w->x = c.x;
        w->y = c.y;
        w->width = c.width;
        w->height = c.height;
        w->reportedWidth = c.width;
        w->reportedHeight = c.height;
        w->visible = (c.style & WS_VISIBLE) != 0;
        if (w->visible) invalidate(w.get());
    } else if (!createSdlWindow(w.get(), c)) {
        return nullptr;
    }
    uintptr_t id = w->id;
    if (child) parent->children.push_back(id);
    state.windows[id] = std::move(w);
    return handleOf(id);
}

bool destroyWindow(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    if (!w) return false;
    destroyRecord(w->id);
    return true;
}

bool destroyMenu(NativeWindow) { return false; }  // no native menus here

intptr_t getWindowLong(NativeWindow window, int index) {
    WindowRecord* w = findWindow(window);
    if (!w) return 0;
    if (index == GWLP_USERDATA) return w->userData;
    if (index == GWLP_ID) return w->controlId;
    if (index == GWL_STYLE) return static_cast<intptr_t>(w->style | (w->visible ? WS_VISIBLE : 0));
    return 0;
}

intptr_t setWindowLong(NativeWindow window, int index, intptr_t value) {
    WindowRecord* w = findWindow(window);
    if (!w) return 0;
    intptr_t* word = index == GWLP_USERDATA ? &w->userData : index == GWLP_ID ? &w->controlId : nullptr;
    if (!word) return 0;
    intptr_t previous = *word;
    *word = value;
    return previous;
}

int getClassName(NativeWindow window, char* buffer, int size) {
    WindowRecord* w = findWindow(window);
    if (!w || !buffer || size <= 0) return 0;
    int n = static_cast<int>(w->className.size());
    if (n > size - 1) n = size - 1;
    std::memcpy(buffer, w->className.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

NativeWindow getParent(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    return w && w->parent ? handleOf(w->parent) : nullptr;
}

bool moveWindow(NativeWindow window, int x, int y, int width, int height, bool repaint) {
    WindowRecord* w = findWindow(window);
    if (!w) return false;
    int position[2] = {x, y};
    int size[2] = {width, height};
    placeRecord(w, position, size);
    if (repaint) invalidate(w);
    return true;
}

bool getWindowRect(NativeWindow window, NativeRect* rect) {
    WindowRecord* w = findWindow(window);
    if (!w || !rect) return false;
    NativePoint origin = clientOrigin(w);
    int width, height;
    clientSize(w, &width, &height);
    NativeRect frame = frameOf(w);
    rect->left = origin.x - frame.left;
    rect->top = origin.y - frame.top;
    rect->right = origin.x + width + frame.right;
    rect->bottom = origin.y + height + frame.bottom;
    return true;
}

bool screenToClient(NativeWindow window, NativePoint* point) {
    WindowRecord* w = findWindow(window);
    if (!w || !point) return false;
    NativePoint origin = clientOrigin(w);
    point->x -= origin.x;
    point->y -= origin.y;
    return true;
}

bool setWindowPos(const NativeWindowPosition& p) {
    WindowRecord* w = findWindow(p.window);
    if (!w) return false;
    int position[2] = {p.x, p.y};
    int size[2] = {p.width, p.height};
    placeRecord(w, (p.flags & SWP_NOMOVE) ? nullptr : position, (p.flags & SWP_NOSIZE) ? nullptr : size);
    if (p.flags & SWP_SHOWWINDOW)
        showRecord(w, true, !(p.flags & SWP_NOACTIVATE));
    else if (p.flags & SWP_HIDEWINDOW)
        showRecord(w, false, false);
    else if (w->sdl && !(p.flags & SWP_NOZORDER) && !p.insertAfter)
        SDL_RaiseWindow(w->sdl);
    return true;
}

bool setWindowPositions(const NativeWindowPosition* positions, int count) {
    if (!positions || count < 0) return false;
    bool ok = true;
    for (int i = 0; i < count; ++i) ok = setWindowPos(positions[i]) && ok;
    return ok;
}

bool showWindow(NativeWindow window, int command) {
    WindowRecord* w = findWindow(window);
    if (!w) return false;
    bool wasVisible = w->visible;
    showRecord(w, command != SW_HIDE, command != SW_HIDE);
    return wasVisible;
}

bool isWindowVisible(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    return w && shownWithAncestors(w);
}

bool isWindowEnabled(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    return w && w->enabled;
}

bool enableWindow(NativeWindow window, bool enable) {
    WindowRecord* w = findWindow(window);
    if (!w) return false;
    bool wasDisabled = !w->enabled;
    w->enabled = enable;
    return wasDisabled;
}

bool setWindowText(NativeWindow window, const char* text) {
    WindowRecord* w = findWindow(window);
    if (!w) return false;
    w->text = text ? text : "";
    if (w->sdl) SDL_SetWindowTitle(w->sdl, w->text.c_str());
    return true;
}

int getSystemMetrics(int index) {
    // The edge metrics of the classic look; the only ones the toolkit asks for.
    return index == SM_CXEDGE || index == SM_CYEDGE ? 2 : 0;
}

intptr_t defWindowProc(NativeWindow window, unsigned message, uintptr_t, intptr_t) {
    WindowRecord* w = findWindow(window);
    if (!w) return 0;
    switch (message) {
    case WM_PAINT:
        // Validate, erasing first where the update asked for it.
        if (w->needsErase) {
            w->needsErase = false;
            callProcedure(w, WM_ERASEBKGND, w->id, 0);
        }
        if ((w = findWindow(window))) w->needsPaint = false;
        return 0;
    case WM_ERASEBKGND:
        return 1;  // nothing is drawn under an SDL window's own content
    case WM_CLOSE:
        destroyRecord(w->id);
        return 0;
    default:
        return 0;
    }
}

intptr_t sendMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    WindowRecord* w = findWindow(window);
    return w ? callProcedure(w, message, wParam, lParam) : 0;
}

}  // namespace platform
