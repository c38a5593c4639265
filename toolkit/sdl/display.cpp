// Display modes of the SDL2 backend: a full-screen mode is SDL's full
// screen for the borderless top-level windows.
#include "toolkit/internal.h"
#include "toolkit/sdl/state.h"

namespace sdlbackend {

namespace {

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

}  // namespace

void applyFullScreen(WindowRecord* w) {
    if (!takesFullScreen(w)) return;
    if (state.fullScreen.active) {
        SDL_DisplayMode mode{};
        mode.format = pixelFormatForBits(state.fullScreen.bits);
        mode.w = state.fullScreen.width;
        mode.h = state.fullScreen.height;
        SDL_SetWindowDisplayMode(w->sdl, &mode);
        SDL_SetWindowFullscreen(w->sdl, SDL_WINDOW_FULLSCREEN);
    } else if (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) {
        SDL_SetWindowFullscreen(w->sdl, 0);
    }
}

}  // namespace sdlbackend

using namespace sdlbackend;

namespace platform {

int32_t changeDisplaySettings(const NativeDisplayMode* mode, uint32_t) {
    if (!ensureVideo()) return DISP_CHANGE_FAILED;
    if (mode) {
        int width = static_cast<int>(mode->pelsWidth);
        int height = static_cast<int>(mode->pelsHeight);
        // As on Windows, a mode the display does not offer is refused and
        // nothing changes: windows keep the size they were given, which is
        // then also the size they report.
        if (!displayOffers(width, height)) return DISP_CHANGE_BADMODE;
        state.fullScreen.active = true;
        state.fullScreen.width = width;
        state.fullScreen.height = height;
        state.fullScreen.bits = static_cast<int>(mode->bitsPerPel);
    } else {
        state.fullScreen = FullScreenMode{};
    }
    for (auto& entry : state.windows) applyFullScreen(entry.second.get());
    return DISP_CHANGE_SUCCESSFUL;
}

int displayRefreshRate(NativeWindow window) {
    if (!state.videoReady) return 0;
    WindowRecord* w = findWindow(window);
    int display = w && w->sdl ? SDL_GetWindowDisplayIndex(w->sdl) : 0;
    SDL_DisplayMode mode;
    if (display < 0 || SDL_GetCurrentDisplayMode(display, &mode) != 0) return 0;
    return mode.refresh_rate;
}

}  // namespace platform
