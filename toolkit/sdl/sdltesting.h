#pragma once
// Test hooks of the SDL2 backend: counters that show whether GL resources
// were given back, and a way to make one GL construction step fail. Only
// tests use them.

#include <SDL2/SDL.h>

#include "toolkit/nativedefs.h"

namespace sdltesting {

enum class GlStep { None, ChoosePixelFormat, SetPixelFormat, CreateContext, MakeCurrent };

// The next call of that step fails, once.
void failNextGlStep(GlStep step);

int outstandingDeviceContexts();
int liveGlContexts();
int swapCount();

// The SDL window of a top-level native window, or null.
SDL_Window* sdlWindowOf(NativeWindow window);

}  // namespace sdltesting
