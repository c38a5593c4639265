#pragma once
// The SDL2 backend's records and its one state record, with the helpers its
// files share. Internal to toolkit/sdl/.
//
// SDL has no child windows and no native controls: a top-level window is an
// SDL window, a child window is a record that lies in its parent's client
// area and receives only the messages sent or posted to it. Windows of any
// class can be created, including classes registered for control-like
// windows, whose procedures then answer the control queries.
#include <SDL2/SDL.h>
#include <signal.h>

#include <deque>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "toolkit/platform.h"
#include "toolkit/platform_testing.h"

namespace sdlbackend {

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

struct BoxProcess;  // shared with the message box's process (endrequests.cpp)

// Touched by the signal handler and read in the forked box process.
struct EndRequestState {
    volatile sig_atomic_t requests = 0;
    bool taken = false;  // the request was turned into close messages
    bool installed = false;
    BoxProcess* box = nullptr;
    bool boxForking = false;
    pid_t ownPid = 0;
};

struct State {
    std::vector<WindowClass> classes;
    std::map<uintptr_t, std::unique_ptr<WindowRecord>> windows;
    uintptr_t nextWindowId = 1;
    std::map<uintptr_t, SDL_GLContext> glContexts;
    uintptr_t nextContextId = 1;
    std::deque<QueuedMessage> queue;
    NativeMessage lastTaken;  // the message getMessage took last, and what its key typed
    std::u32string lastTakenTyped;
    uintptr_t captureWindow = 0;
    uint32_t heldButtons = 0;    // SDL button mask as the messages so far have it
    uint16_t heldModifiers = 0;  // SDL modifier state as the key events so far have it
    FullScreenMode fullScreen;
    bool videoReady = false;
    EndRequestState endRequests;
    // What tests ask for and count (toolkit/sdl/platform_testing.cpp).
    platform_testing::GlStep failingGlStep = platform_testing::GlStep::None;
    int swaps = 0;
};

extern State state;

// Handles are window ids.
inline NativeWindow handleOf(uintptr_t id) { return reinterpret_cast<NativeWindow>(id); }
inline uintptr_t idOf(NativeWindow window) { return reinterpret_cast<uintptr_t>(window); }
WindowClass* findClass(const char* name);
WindowRecord* findWindow(NativeWindow window);
WindowRecord* findSdlWindow(Uint32 sdlWindowId);

// Brings SDL's video up on first use; false when it cannot.
bool ensureVideo();

// windows.cpp
void invalidate(WindowRecord* w);
// Visible as Win32 tells it: shown, and every ancestor shown too.
bool shownWithAncestors(const WindowRecord* w);
NativePoint clientOrigin(const WindowRecord* w);  // screen coordinates
void clientSize(const WindowRecord* w, int* width, int* height);
intptr_t callProcedure(WindowRecord* w, unsigned message, uintptr_t wParam, intptr_t lParam);
// Tells the window its new client size, as Win32 does when a window is sized.
void reportSize(WindowRecord* w, int width, int height, bool posted);

// events.cpp
void postQueued(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam);
// Drops the messages of a window that is gone.
void forgetMessagesOf(NativeWindow window);

// gl.cpp: the GL surface's format is fixed when an SDL window is created.
void setGlAttributes(const NativePixelFormat& format);

// display.cpp: a window in the current display mode.
void applyFullScreen(WindowRecord* w);

}  // namespace sdlbackend
