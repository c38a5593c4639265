// OpenGL of the SDL2 backend: a window's device context is the window
// itself, its one pixel format is the one its GL surface was created with.
#include "toolkit/internal.h"
#include "toolkit/sdl/state.h"

namespace sdlbackend {

namespace {

bool consumeFault(platform_testing::GlStep step) {
    if (state.failingGlStep != step) return false;
    state.failingGlStep = platform_testing::GlStep::None;
    return true;
}

int channelBits(int colorBits) {
    int bits = colorBits / 3;
    return bits > 8 ? 8 : bits;
}

WindowRecord* dcWindow(NativeDC dc) {
    WindowRecord* w = findWindow(reinterpret_cast<NativeWindow>(dc));
    return w && w->deviceContexts > 0 ? w : nullptr;
}

}  // namespace

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

}  // namespace sdlbackend

using namespace sdlbackend;

namespace platform {

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
    if (consumeFault(platform_testing::GlStep::ChoosePixelFormat)) return 0;
    if (!w || !w->glCapable || !request || !(request->flags & PFD_SUPPORT_OPENGL)) return 0;
    return 1;  // the one format the window's GL surface was made with
}

bool setPixelFormat(NativeDC dc, int format, const NativePixelFormat*) {
    WindowRecord* w = dcWindow(dc);
    if (consumeFault(platform_testing::GlStep::SetPixelFormat)) return false;
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
    if (consumeFault(platform_testing::GlStep::CreateContext)) return nullptr;
    if (!w || !w->glCapable || w->pixelFormat == 0) return nullptr;
    // SDL makes a new context current; creating one must not change which is.
    SDL_Window* previousWindow = SDL_GL_GetCurrentWindow();
    SDL_GLContext previous = SDL_GL_GetCurrentContext();
    SDL_GLContext context = SDL_GL_CreateContext(w->sdl);
    if (!context) return nullptr;
    SDL_GL_MakeCurrent(previousWindow, previous);
    uintptr_t id = state.nextContextId++;
    state.glContexts[id] = context;
    return reinterpret_cast<NativeGLContext>(id);
}

bool glDeleteContext(NativeGLContext context) {
    auto it = state.glContexts.find(reinterpret_cast<uintptr_t>(context));
    if (it == state.glContexts.end()) return false;
    SDL_GL_DeleteContext(it->second);
    state.glContexts.erase(it);
    return true;
}

bool glMakeCurrent(NativeDC dc, NativeGLContext context) {
    if (!dc && !context) {
        if (state.videoReady) SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), nullptr);
        return true;
    }
    if (consumeFault(platform_testing::GlStep::MakeCurrent)) return false;
    WindowRecord* w = dcWindow(dc);
    auto it = state.glContexts.find(reinterpret_cast<uintptr_t>(context));
    if (!w || !w->glCapable || w->pixelFormat == 0 || it == state.glContexts.end()) return false;
    return SDL_GL_MakeCurrent(w->sdl, it->second) == 0;
}

bool swapBuffers(NativeDC dc) {
    WindowRecord* w = dcWindow(dc);
    if (!w || !w->glCapable || w->pixelFormat == 0) return false;
    SDL_GL_SwapWindow(w->sdl);
    ++state.swaps;
    return true;
}

bool setSwapInterval(int interval) { return state.videoReady && SDL_GL_SetSwapInterval(interval) == 0; }

void* glProcAddress(const char* name) { return state.videoReady ? SDL_GL_GetProcAddress(name) : nullptr; }

}  // namespace platform
