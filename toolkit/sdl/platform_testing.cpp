// The test hooks of the SDL2 backend; linked into test programs only.
#include "toolkit/platform_testing.h"

#include "toolkit/sdl/state.h"

using namespace sdlbackend;

namespace platform_testing {

void failNextGlStep(GlStep step) { state.failingGlStep = step; }

int outstandingDeviceContexts() {
    int n = 0;
    for (auto& entry : state.windows) n += entry.second->deviceContexts;
    return n;
}

int liveGlContexts() { return static_cast<int>(state.glContexts.size()); }

int swapCount() { return state.swaps; }

const void* currentGlContext() { return SDL_GL_GetCurrentContext(); }

bool isFullScreen(NativeWindow window) {
    WindowRecord* w = findWindow(window);
    return w && w->sdl && (SDL_GetWindowFlags(w->sdl) & SDL_WINDOW_FULLSCREEN) != 0;
}

}  // namespace platform_testing
