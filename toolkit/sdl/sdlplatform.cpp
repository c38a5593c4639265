// The platform layer over SDL2. SDL has no child windows and no native
// controls: a top-level window is an SDL window, a child window is a record
// that lies in its parent's client area and receives only the messages sent
// or posted to it. Windows of any class can be created, including classes
// registered for control-like windows, whose procedures then answer the
// control queries.
#include <SDL2/SDL.h>

#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/internal.h"
#include "toolkit/platform.h"
#include "toolkit/sdl/endrequests.h"
#include "toolkit/sdl/sdlinput.h"
#include "toolkit/sdl/sdltesting.h"

namespace {

struct WindowClass {
    std::string name;
    uint32_t style = 0;
    WindowProcedure procedure = nullptr;
};

struct WindowRecord {
    uintptr_t id = 0;
    std::string className;
    WindowProcedure procedure = nullptr;
    uint32_t style = 0;
    SDL_Window* sdl = nullptr;
    bool glCapable = false;
    NativePixelFormat createdFormat{};  // what the GL surface was asked for
    int pixelFormat = 0;                // 1 once set on the device context
    int deviceContexts = 0;
    uintptr_t parent = 0;
    std::vector<uintptr_t> children;
    intptr_t userData = 0;
    intptr_t controlId = 0;
    std::string text;
    int x = 0, y = 0, width = 0, height = 0;  // child windows: in the parent's client area
    bool visible = false;
    bool enabled = true;
    bool needsPaint = false;
    bool needsErase = false;
    int reportedWidth = 0, reportedHeight = 0;  // client size of the last WM_SIZE
};

struct QueuedMessage {
    NativeMessage message;
    std::u32string typed;       // characters the key typed, posted by translateMessage
    bool controlTyped = false;  // typed holds the control character the key stands for
};

struct FullScreenMode {
    bool active = false;
    int width = 0, height = 0, bits = 0;
};

std::vector<WindowClass> classes;
std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
uintptr_t nextWindowId = 1;
std::map<uintptr_t, SDL_GLContext> glContexts;
uintptr_t nextContextId = 1;
std::deque<QueuedMessage> queue;
NativeMessage lastTaken;
std::u32string lastTakenTyped;
uintptr_t captureWindow = 0;
uint32_t heldButtons = 0;    // SDL button mask as the messages so far have it
uint16_t heldModifiers = 0;  // SDL modifier state as the key events so far have it
FullScreenMode fullScreen;
bool videoReady = false;

sdltesting::GlStep failingGlStep = sdltesting::GlStep::None;
int swaps = 0;

// Marker handles for the system icon and cursor: SDL windows show their
// platform's defaults.
NativeIconHandle* const kSystemIcon = reinterpret_cast<NativeIconHandle*>(1);
NativeCursorHandle* const kSystemCursor = reinterpret_cast<NativeCursorHandle*>(1);

WindowClass* findClass(const char* name) {
    if (!name) return nullptr;
    for (WindowClass& c : classes) {
        if (mxEqualsIgnoringCase(c.name.c_str(), name)) return &c;
    }
    return nullptr;
}

NativeWindow handleOf(uintptr_t id) { return reinterpret_cast<NativeWindow>(id); }
uintptr_t idOf(NativeWindow window) { return reinterpret_cast<uintptr_t>(window); }

WindowRecord* findWindow(NativeWindow window) {
    auto it = windows.find(idOf(window));
    return it == windows.end() ? nullptr : it->second.get();
}

WindowRecord* findSdlWindow(Uint32 sdlWindowId) {
    if (sdlWindowId == 0) return nullptr;
    SDL_Window* sdl = SDL_GetWindowFromID(sdlWindowId);
    if (!sdl) return nullptr;
    for (auto& entry : windows) {
        if (entry.second->sdl == sdl) return entry.second.get();
    }
    return nullptr;
}

bool consumeFault(sdltesting::GlStep step) {
    if (failingGlStep != step) return false;
    failingGlStep = sdltesting::GlStep::None;
    return true;
}

bool ensureVideo() {
    if (videoReady) return true;
    // SIGTERM and SIGINT become close requests here, not SDL's quit event.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    endrequests::install();
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    SDL_StartTextInput();
    heldModifiers = static_cast<uint16_t>(SDL_GetModState());
    videoReady = true;
    return true;
}

// Whether the video driver can show anything to a person.
bool driverCanShow() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
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

void postQueued(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    QueuedMessage q;
    q.message = NativeMessage{window, message, wParam, lParam};
    queue.push_back(q);
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

Uint32 pixelFormatForBits(int bits) {
    switch (bits) {
    case 8:
        return SDL_PIXELFORMAT_INDEX8;
    case 15:
        return SDL_PIXELFORMAT_RGB555;
    case 16:
        return SDL_PIXELFORMAT_RGB565;
    case 24:
    case 32:
        return SDL_PIXELFORMAT_RGB888;
    default:
        return SDL_PIXELFORMAT_UNKNOWN;
    }
}

// A borderless top-level window is what takes the whole screen in a
// changed display mode; captioned windows stay windows.
bool takesFullScreen(const WindowRecord* w) { return w->sdl && (w->style & WS_POPUP); }

void applyFullScreen(WindowRecord* w) {
    if (!takesFullScreen(w)) return;
    if (fullScreen.active) {
        SDL_DisplayMode mode{};
        mode.format = pixelFormatForBits(fullScreen.bits);
        mode.w = fullScreen.width;
        mode.h = fullScreen.height;
        SDL_SetWindowDisplayMode(w->sdl, &mode);
        SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN);
    } else if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(w->sdl, 0);
    }
}

// Whether the first display can switch to that size. Its depth is not
// asked: X11 displays keep theirs, and SDL picks the closest format.
bool displayOffers(int width, int height) {
    int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(0, i, &mode) == 0 && mode.w == width && mode.h == height) return true;
    }
    return false;
}

int channelBits(int colorBits) {
    int bits = colorBits / 3;
    return bits > 8 ? 8 : bits;
}

void setGlAttributes(const NativePixelFormat& format) {
    int channel = channelBits(format.colorBits);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, channel);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, format.alphaBits);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, format.depthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, format.stencilBits);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, (format.flags & PFD_DOUBLEBUFFER) ? 1 : 0);
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
    if (fullScreen.active) applyFullScreen(w);
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
    auto it = windows.find(id);
    if (it == windows.end()) return;
    std::vector<uintptr_t> children = it->second->children;
    for (uintptr_t child : children) destroyRecord(child);
    it = windows.find(id);
    if (it == windows.end()) return;
    std::unique_ptr<WindowRecord> w = std::move(it->second);
    windows.erase(it);
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
    for (auto q = queue.begin(); q != queue.end();) {
        q = q->message.window == handle ? queue.erase(q) : q + 1;
    }
    if (captureWindow == id) captureWindow = 0;
    if (w->sdl) {
        if (SDL_GL_GetCurrentWindow() == w->sdl) SDL_GL_MakeCurrent(nullptr, nullptr);
        SDL_DestroyWindow(w->sdl);
    }
}

bool inputAllowed(const WindowRecord* w) { return w && w->enabled; }

void translateKey(const SDL_KeyboardEvent& key) {
    // Mouse messages carry the modifiers of their own moment: SDL's state
    // when the queue is read may be several events further on.
    heldModifiers = key.keysym.mod;
    WindowRecord* w = findSdlWindow(key.windowID);
    if (!inputAllowed(w)) return;
    unsigned vk = sdlinput::virtualKey(key.keysym.scancode, key.keysym.sym, key.keysym.mod);
    if (vk == 0) return;
    bool release = key.type == SDL_KEYUP;
    bool system = sdlinput::isSystemKey(key.keysym.scancode, vk, key.keysym.mod);
    unsigned message = release ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
    postQueued(handleOf(w->id), message, vk, sdlinput::keyMessageWord(key.repeat != 0, release));
    if (message != WM_KEYDOWN) return;
    // SDL types no text for control characters; Windows does, and the
    // character follows its key once the key message is translated.
    int typed = sdlinput::controlCharacter(vk, key.keysym.sym, key.keysym.mod);
    if (typed >= 0) {
        queue.back().typed.push_back(static_cast<char32_t>(typed));
        queue.back().controlTyped = true;
    }
}

// SDL reports the text a key typed right after the key itself; the
// characters wait with the key message until translateMessage posts them.
void translateText(const SDL_TextInputEvent& text) {
    WindowRecord* w = findSdlWindow(text.windowID);
    if (!inputAllowed(w)) return;
    std::u32string chars = sdlinput::typedCharacters(text.text);
    if (chars.empty()) return;
    NativeWindow handle = handleOf(w->id);
    if (!queue.empty()) {
        QueuedMessage& last = queue.back();
        if (last.message.window == handle &&
            (last.message.message == WM_KEYDOWN || last.message.message == WM_SYSKEYDOWN)) {
            // A key that stands for a control character types nothing else.
            if (!last.controlTyped) last.typed += chars;
            return;
        }
    }
    for (char32_t c : chars) postQueued(handle, WM_CHAR, c, 1);
}

void translateMouseButton(const SDL_MouseButtonEvent& button) {
    WindowRecord* w = findSdlWindow(button.windowID);
    unsigned down, up;
    switch (button.button) {
    case SDL_BUTTON_LEFT:
        down = WM_LBUTTONDOWN, up = WM_LBUTTONUP;
        break;
    case SDL_BUTTON_RIGHT:
        down = WM_RBUTTONDOWN, up = WM_RBUTTONUP;
        break;
    case SDL_BUTTON_MIDDLE:
        down = WM_MBUTTONDOWN, up = WM_MBUTTONUP;
        break;
    default:
        return;  // extra buttons have no message here
    }
    bool pressed = button.type == SDL_MOUSEBUTTONDOWN;
    if (pressed)
        heldButtons |= SDL_BUTTON(button.button);
    else
        heldButtons &= ~SDL_BUTTON(button.button);
    if (!inputAllowed(w)) return;
    uintptr_t keyState = sdlinput::mouseKeyState(heldButtons, heldModifiers);
    postQueued(handleOf(w->id), pressed ? down : up, keyState, sdlinput::packPoint(button.x, button.y));
}

void translateMouseMotion(const SDL_MouseMotionEvent& motion) {
    heldButtons = motion.state;
    WindowRecord* w = findSdlWindow(motion.windowID);
    if (!inputAllowed(w)) return;
    NativeWindow handle = handleOf(w->id);
    uintptr_t keyState = sdlinput::mouseKeyState(motion.state, heldModifiers);
    intptr_t point = sdlinput::packPoint(motion.x, motion.y);
    // Moves that nobody has taken yet merge into the newest, as on Windows.
    if (!queue.empty()) {
        NativeMessage& last = queue.back().message;
        if (last.window == handle && last.message == WM_MOUSEMOVE && last.wParam == keyState) {
            last.lParam = point;
            return;
        }
    }
    postQueued(handle, WM_MOUSEMOVE, keyState, point);
}

void translateWindowEvent(const SDL_WindowEvent& event) {
    WindowRecord* w = findSdlWindow(event.windowID);
    if (!w) return;
    switch (event.event) {
    case SDL_WINDOWEVENT_EXPOSED:
    case SDL_WINDOWEVENT_SHOWN:
        invalidate(w);
        break;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        reportSize(w, event.data1, event.data2, true);
        break;
    case SDL_WINDOWEVENT_CLOSE:
        postQueued(handleOf(w->id), WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
}

void translate(const SDL_Event& event) {
    switch (event.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        translateKey(event.key);
        break;
    case SDL_TEXTINPUT:
        translateText(event.text);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        translateMouseButton(event.button);
        break;
    case SDL_MOUSEMOTION:
        translateMouseMotion(event.motion);
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window);
        break;
    default:
        break;  // SDL_QUIT among others: closing goes through WM_CLOSE
    }
}

void pumpSdl() {
    if (!videoReady) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
}

// As Windows does when a program is asked to end: every top-level window
// gets WM_CLOSE (the main window's ends the program); without one, the loop
// is told to end.
void askWindowsToClose() {
    bool any = false;
    for (auto& entry : windows) {
        if (!entry.second->sdl) continue;
        postQueued(handleOf(entry.first), WM_CLOSE, 0, 0);
        any = true;
    }
    if (!any) postQueued(nullptr, WM_QUIT, 0, 0);
}

WindowRecord* windowNeedingPaint() {
    for (auto& entry : windows) {
        WindowRecord* w = entry.second.get();
        if (w->needsPaint && w->visible) return w;
    }
    return nullptr;
}

WindowRecord* dcWindow(NativeDC dc) {
    WindowRecord* w = findWindow(reinterpret_cast<NativeWindow>(dc));
    return w && w->deviceContexts > 0 ? w : nullptr;
}

}  // namespace

uint32_t tickCount() { return static_cast<uint32_t>(SDL_GetTicks64()); }

namespace platform {

NativeIcon loadIcon(const char*) { return nullptr; }  // programs carry no icon resources here
NativeIcon loadSystemIcon(int id) { return id == IDI_WINLOGO ? kSystemIcon : nullptr; }
NativeCursor loadSystemCursor(int id) { return id == IDC_ARROW ? kSystemCursor : nullptr; }

bool registerWindowClass(const NativeWindowClass& windowClass) {
    if (!windowClass.name || !windowClass.name[0] || !windowClass.procedure) return false;
    if (findClass(windowClass.name)) return false;
    classes.push_back(WindowClass{windowClass.name, windowClass.style, windowClass.procedure});
    return true;
}

bool unregisterWindowClass(const char* name) {
    WindowClass* c = findClass(name);
    if (!c) return false;
    for (auto& entry : windows) {
        if (mxEqualsIgnoringCase(entry.second->className.c_str(), name)) return false;  // still in use
    }
    classes.erase(classes.begin() + (c - classes.data()));
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
    w->id = nextWindowId++;
    w->className = windowClass->name;
    w->procedure = windowClass->procedure;
    w->style = c.style;
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
    windows[id] = std::move(w);
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
    if (index == GWL_USERDATA) return w->userData;
    if (index == GWL_ID) return w->controlId;
    if (index == GWL_STYLE) return static_cast<intptr_t>(w->style | (w->visible ? WS_VISIBLE : 0));
    return 0;
}

intptr_t setWindowLong(NativeWindow window, int index, intptr_t value) {
    WindowRecord* w = findWindow(window);
    if (!w) return 0;
    intptr_t* word = index == GWL_USERDATA ? &w->userData : index == GWL_ID ? &w->controlId : nullptr;
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
    return w && w->visible;
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

bool peekMessage(NativeMessage* message) {
    if (endrequests::takeRequest()) askWindowsToClose();
    if (queue.empty()) pumpSdl();
    if (!queue.empty()) {
        if (message) *message = queue.front().message;
        return true;
    }
    // A window's paint request is made when nothing else waits, once per window.
    if (WindowRecord* w = windowNeedingPaint()) {
        if (message) *message = NativeMessage{handleOf(w->id), WM_PAINT, 0, 0};
        return true;
    }
    return false;
}

bool getMessage(NativeMessage* message) {
    NativeMessage taken;
    // Short waits: an end request is seen between two of them.
    while (!peekMessage(&taken)) waitMessage(100);
    if (!queue.empty()) {
        lastTakenTyped = std::move(queue.front().typed);
        queue.pop_front();
    } else {
        lastTakenTyped.clear();
    }
    lastTaken = taken;
    if (message) *message = taken;
    return taken.message != WM_QUIT;
}

bool translateMessage(const NativeMessage& m) {
    bool keyDown = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    bool same = m.window == lastTaken.window && m.message == lastTaken.message && m.wParam == lastTaken.wParam &&
                m.lParam == lastTaken.lParam;
    if (!keyDown || !same || lastTakenTyped.empty()) return false;
    unsigned charMessage = m.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    // The characters come next, before anything that arrived after the key.
    for (auto c = lastTakenTyped.rbegin(); c != lastTakenTyped.rend(); ++c) {
        QueuedMessage q;
        q.message = NativeMessage{m.window, charMessage, *c, m.lParam};
        queue.push_front(q);
    }
    lastTakenTyped.clear();
    return true;
}

intptr_t dispatchMessage(const NativeMessage& m) {
    WindowRecord* w = findWindow(m.window);
    return w ? callProcedure(w, m.message, m.wParam, m.lParam) : 0;
}

bool postMessage(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    if (window && !findWindow(window)) return false;
    postQueued(window, message, wParam, lParam);
    return true;
}

void postQuitMessage(int code) { postQueued(nullptr, WM_QUIT, static_cast<uintptr_t>(code), 0); }

bool waitMessage(uint32_t timeoutMs) {
    if (peekMessage(nullptr)) return true;
    if (!videoReady) {
        SDL_Delay(timeoutMs);
        return peekMessage(nullptr);
    }
    SDL_Event event;
    if (SDL_WaitEventTimeout(&event, static_cast<int>(timeoutMs))) {
        translate(event);
        pumpSdl();
    }
    return peekMessage(nullptr);
}

NativeWindow setCapture(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    NativeWindow previous = handleOf(captureWindow);
    if (!w) return previous;
    captureWindow = w->id;
    if (w->sdl) SDL_CaptureMouse(SDL_TRUE);  // may be refused without focus; SDL then captures itself
    return previous;
}

bool releaseCapture() {
    if (captureWindow && videoReady) SDL_CaptureMouse(SDL_FALSE);
    captureWindow = 0;
    return true;
}

int messageBox(NativeWindow owner, const char* text, const char* caption, unsigned style) {
    if (!ensureVideo() || !driverCanShow()) return 0;
    const SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
    const SDL_MessageBoxButtonData yesNo[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"}, {0, IDNO, "No"}};
    const SDL_MessageBoxButtonData yesNoCancel[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
                                                    {0, IDNO, "No"},
                                                    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"}};
    SDL_MessageBoxData data{};
    unsigned buttons = style & MB_TYPEMASK;
    if (buttons == MB_YESNO) {
        data.buttons = yesNo, data.numbuttons = 2;
    } else if (buttons == MB_YESNOCANCEL) {
        data.buttons = yesNoCancel, data.numbuttons = 3;
    } else {
        data.buttons = ok, data.numbuttons = 1;
    }
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        data.flags = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONWARNING:
        data.flags = SDL_MESSAGEBOX_WARNING;
        break;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:  // SDL has no question icon
        data.flags = SDL_MESSAGEBOX_INFORMATION;
        break;
    default:
        break;
    }
    data.flags |= SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    WindowRecord* w = findWindow(owner);
    data.window = w ? w->sdl : nullptr;
    data.title = caption ? caption : "";
    data.message = text ? text : "";
    int answer = -1;
    // Closed without a button: Cancel where there is one, the safe No of a
    // question without one, else OK. A request to end the program closes
    // the box, or keeps it from showing.
    int closed = buttons == MB_YESNOCANCEL ? IDCANCEL : buttons == MB_YESNO ? IDNO : IDOK;
    if (endrequests::requested()) return closed;
    endrequests::boxStarting();
    int shown = SDL_ShowMessageBox(&data, &answer);
    endrequests::boxEnded();
    if (endrequests::requested()) return closed;
    if (shown != 0) return 0;
    return answer >= 0 ? answer : closed;
}

int32_t changeDisplaySettings(const NativeDisplayMode* mode, uint32_t) {
    if (!ensureVideo()) return DISP_CHANGE_FAILED;
    if (mode) {
        int width = static_cast<int>(mode->pelsWidth);
        int height = static_cast<int>(mode->pelsHeight);
        // As on Windows, a mode the display does not offer is refused and
        // nothing changes: windows keep the size they were given, which is
        // then also the size they report.
        if (!displayOffers(width, height)) return DISP_CHANGE_BADMODE;
        fullScreen.active = true;
        fullScreen.width = width;
        fullScreen.height = height;
        fullScreen.bits = static_cast<int>(mode->bitsPerPel);
    } else {
        fullScreen = FullScreenMode{};
    }
    for (auto& entry : windows) applyFullScreen(entry.second.get());
    return DISP_CHANGE_SUCCESSFUL;
}

int displayRefreshRate(NativeWindow window) {
    if (!videoReady) return 0;
    WindowRecord* w = findWindow(window);
    int display = w && w->sdl ? SDL_GetWindowDisplayIndex(w->sdl) : 0;
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate;
}

NativeDC getDC(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    if (!w) return nullptr;
    ++w->deviceContexts;  // each window owns one device context
    return reinterpret_cast<NativeDC>(w->id);
}

bool releaseDC(NativeWindow window, NativeDC dc) {
    WindowRecord* w = findWindow(window);
    if (!w || reinterpret_cast<uintptr_t>(dc) != w->id || w->deviceContexts == 0) return false;
    --w->deviceContexts;
    return true;
}

int choosePixelFormat(NativeDC dc, const NativePixelFormat* request) {
    WindowRecord* w = dcWindow(dc);
    if (consumeFault(sdltesting::GlStep::ChoosePixelFormat)) return 0;
    if (!w || !w->glCapable || !request || !(request->flags & PFD_SUPPORT_OPENGL)) return 0;
    return 1;  // the one format the window's GL surface was made with
}

bool setPixelFormat(NativeDC dc, int format, const NativePixelFormat*) {
    WindowRecord* w = dcWindow(dc);
    if (consumeFault(sdltesting::GlStep::SetPixelFormat)) return false;
    if (!w || !w->glCapable || format != 1) return false;
    w->pixelFormat = format;
    return true;
}

int describePixelFormat(NativeDC dc, int format, NativePixelFormat* description) {
    WindowRecord* w = dcWindow(dc);
    if (!w || !w->glCapable || format != 1) return 0;
    if (description) {
        int channel = channelBits(w->createdFormat.colorBits);
        *description = w->createdFormat;
        description->colorBits = static_cast<uint8_t>(3 * channel);
        description->redBits = description->greenBits = description->blueBits = static_cast<uint8_t>(channel);
    }
    return 1;
}

NativeGLContext glCreateContext(NativeDC dc) {
    WindowRecord* w = dcWindow(dc);
    if (consumeFault(sdltesting::GlStep::CreateContext)) return nullptr;
    if (!w || !w->glCapable || w->pixelFormat == 0) return nullptr;
    // SDL makes a new context current; creating one must not change which is.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(w->sdl);
    if (!context) return nullptr;
    SDL_GL_MakeCurrent(previousWindow, previous);
    uintptr_t id = nextContextId++;
    glContexts[id] = context;
    return reinterpret_cast<NativeGLContext>(id);
}

bool glDeleteContext(NativeGLContext context) {
    auto it = glContexts.find(reinterpret_cast<uintptr_t>(context));
    if (it == glContexts.end()) return false;
    SDL_GL_DeleteContext(it->second);
    glContexts.erase(it);
    return true;
}

bool glMakeCurrent(NativeDC dc, NativeGLContext context) {
    if (!dc && !context) {
        if (videoReady) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
        return true;
    }
    if (consumeFault(sdltesting::GlStep::MakeCurrent)) return false;
    WindowRecord* w = dcWindow(dc);
    auto it = glContexts.find(reinterpret_cast<uintptr_t>(context));
    if (!w || !w->glCapable || w->pixelFormat == 0 || it == glContexts.end()) return false;
    return SDL_GL_MakeCurrent(w->sdl, it->second) == 0;
}

bool swapBuffers(NativeDC dc) {
    WindowRecord* w = dcWindow(dc);
    if (!w || !w->glCapable || w->pixelFormat == 0) return false;
    SDL_GL_SwapWindow(w->sdl);
    ++swaps;
    return true;
}

bool setSwapInterval(int interval) { return videoReady && SDL_GL_SetSwapInterval(interval) == 0; }

}  // namespace platform

namespace sdltesting {

void failNextGlStep(GlStep step) { failingGlStep = step; }

int outstandingDeviceContexts() {
    int n = 0;
    for (auto& entry : windows) n += entry.second->deviceContexts;
    return n;
}

int liveGlContexts() { return static_cast<int>(glContexts.size()); }

int swapCount() { return swaps; }

SDL_Window* sdlWindowOf(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    return w ? w->sdl : nullptr;
}

}  // namespace sdltesting
