// The message queue of the SDL2 backend: SDL's events become native
// messages in their order, the loop's operations on the queue, mouse capture
// and the tick counter.
#include "toolkit/internal.h"
#include "toolkit/sdl/state.h"
#include "toolkit/sdl/endrequests.h"
#include "toolkit/sdl/sdlinput.h"

namespace sdlbackend {

namespace {

bool inputAllowed(const WindowRecord* w) { return w && w->enabled; }

void translateKey(const SDL_KeyboardEvent& key) {
    // Mouse messages carry the modifiers of their own moment: SDL's state
    // when the queue is read may be several events further on.
    state.heldModifiers = key.keysym.mod;
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
        state.queue.back().typed.push_back(static_cast<char32_t>(typed));
        state.queue.back().controlTyped = true;
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
    if (!state.queue.empty()) {
        QueuedMessage& last = state.queue.back();
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
        state.heldButtons |= SDL_BUTTON(button.button);
    else
        state.heldButtons &= ~SDL_BUTTON(button.button);
    if (!inputAllowed(w)) return;
    uintptr_t keyState = sdlinput::mouseKeyState(state.heldButtons, state.heldModifiers);
    postQueued(handleOf(w->id), pressed ? down : up, keyState, sdlinput::packPoint(button.x, button.y));
}

void translateMouseMotion(const SDL_MouseMotionEvent& motion) {
    state.heldButtons = motion.state;
    WindowRecord* w = findSdlWindow(motion.windowID);
    if (!inputAllowed(w)) return;
    NativeWindow handle = handleOf(w->id);
    uintptr_t keyState = sdlinput::mouseKeyState(motion.state, state.heldModifiers);
    intptr_t point = sdlinput::packPoint(motion.x, motion.y);
    // Moves that nobody has taken yet merge into the newest, as on Windows.
    if (!state.queue.empty()) {
        NativeMessage& last = state.queue.back().message;
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
    if (!state.videoReady) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) translate(event);
}

// As Windows does when a program is asked to end: every top-level window
// gets WM_CLOSE (the main window's ends the program); without one, the loop
// is told to end.
void askWindowsToClose() {
    bool any = false;
    for (auto& entry : state.windows) {
        if (!entry.second->sdl) continue;
        postQueued(handleOf(entry.first), WM_CLOSE, 0, 0);
        any = true;
    }
    if (!any) postQueued(nullptr, WM_QUIT, 0, 0);
}

WindowRecord* windowNeedingPaint() {
    for (auto& entry : state.windows) {
        WindowRecord* w = entry.second.get();
        if (w->needsPaint && shownWithAncestors(w)) return w;
    }
    return nullptr;
}

}  // namespace

void postQueued(NativeWindow window, unsigned message, uintptr_t wParam, intptr_t lParam) {
    QueuedMessage q;
    q.message = NativeMessage{window, message, wParam, lParam};
    state.queue.push_back(q);
}

void forgetMessagesOf(NativeWindow window) {
    for (auto q = state.queue.begin(); q != state.queue.end();) {
        q = q->message.window == window ? state.queue.erase(q) : q + 1;
    }
}

}  // namespace sdlbackend

using namespace sdlbackend;

uint32_t tickCount() { return static_cast<uint32_t>(SDL_GetTicks64()); }

namespace platform {

bool peekMessage(NativeMessage* message) {
    if (endrequests::takeRequest()) askWindowsToClose();
    if (state.queue.empty()) pumpSdl();
    if (!state.queue.empty()) {
        if (message) *message = state.queue.front().message;
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
    if (!state.queue.empty()) {
        state.lastTakenTyped = std::move(state.queue.front().typed);
        state.queue.pop_front();
    } else {
        state.lastTakenTyped.clear();
    }
    state.lastTaken = taken;
    if (message) *message = taken;
    return taken.message != WM_QUIT;
}

bool translateMessage(const NativeMessage& m) {
    bool keyDown = m.message == WM_KEYDOWN || m.message == WM_SYSKEYDOWN;
    bool same = m.window == state.lastTaken.window && m.message == state.lastTaken.message &&
                m.wParam == state.lastTaken.wParam && m.lParam == state.lastTaken.lParam;
    if (!keyDown || !same || state.lastTakenTyped.empty()) return false;
    unsigned charMessage = m.message == WM_SYSKEYDOWN ? WM_SYSCHAR : WM_CHAR;
    // The characters come next, before anything that arrived after the key.
    for (auto c = state.lastTakenTyped.rbegin(); c != state.lastTakenTyped.rend(); ++c) {
        QueuedMessage q;
        q.message = NativeMessage{m.window, charMessage, *c, m.lParam};
        state.queue.push_front(q);
    }
    state.lastTakenTyped.clear();
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
    if (!state.videoReady) {
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
    NativeWindow previous = handleOf(state.captureWindow);
    if (!w) return previous;
    state.captureWindow = w->id;
    if (w->sdl) SDL_CaptureMouse(SDL_TRUE);  // may be refused without focus; SDL then captures itself
    return previous;
}

bool releaseCapture() {
    if (state.captureWindow && state.videoReady) SDL_CaptureMouse(SDL_FALSE);
    state.captureWindow = 0;
    return true;
}

}  // namespace platform
