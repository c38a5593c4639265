// Built into every GL test program: before the first test, open and close
// one offscreen GL context so the driver is in memory, and keep it there.
// LeakSanitizer (sanitizer build) can then name the driver's own frames and
// pass over the memory Mesa's driver keeps until the process ends, while
// still checking ours (the suppressions: common/leak_suppressions.cpp).
#include <SDL.h>
#include <gtest/gtest.h>

#include "tests/support/loaded_libraries.h"

namespace {

class GlDriverEnvironment : public ::testing::Environment {
public:
    void SetUp() override {
        SDL_setenv("SDL_VIDEODRIVER", "offscreen", 0);
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return;
        if (SDL_Window* window = SDL_CreateWindow("", 0, 0, 8, 8, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN)) {
            if (SDL_GLContext context = SDL_GL_CreateContext(window)) {
                testsupport::keepLoadedLibraries();
                SDL_GL_DeleteContext(context);
            }
            SDL_DestroyWindow(window);
        }
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
};

const ::testing::Environment* const glDriverEnvironment = ::testing::AddGlobalTestEnvironment(new GlDriverEnvironment);

}  // namespace
