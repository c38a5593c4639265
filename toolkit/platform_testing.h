#pragma once
// Test hooks of the platform layer, the same for every backend: counters
// that show whether GL resources were given back, a way to make one GL
// construction step fail, and the full-screen state of a window. Each
// backend implements them in toolkit/<backend>/platform_testing.cpp, which
// only test programs link (the library toolkit_platform_testing); shipped
// programs carry none of it.
#include "toolkit/nativedefs.h"

namespace platform_testing {

enum class GlStep { None, ChoosePixelFormat, SetPixelFormat, CreateContext, MakeCurrent };

// The next call of that step fails, once.
void failNextGlStep(GlStep step);

// Device contexts handed out and not given back, over all windows.
int outstandingDeviceContexts();
// Rendering contexts created and not deleted.
int liveGlContexts();
// Buffer swaps so far.
int swapCount();

// The rendering context current on this thread, as the native layer knows
// it (not a toolkit handle); null when none is.
const void* currentGlContext();

// Whether the top-level window covers the screen in a changed display mode.
bool isFullScreen(NativeWindow window);

}  // namespace platform_testing
