// OpenGL of the Win32 backend: device contexts, pixel formats and WGL
// rendering contexts, counted for the tests.
#include "toolkit/win32/state.h"

using namespace win32backend;

namespace {

bool consumeFault(platform_testing::GlStep step) {
    if (state.failingGlStep != step) return false;
    state.failingGlStep = platform_testing::GlStep::None;
    return true;
}

using SwapIntervalFunction = BOOL(WINAPI*)(int);

}  // namespace

namespace platform {

NativeDC getDC(NativeWindow window) {
    if (!window) return nullptr;
    HDC dc = GetDC(hwndOf(window));
    if (dc) ++state.outstandingDeviceContexts;
    return reinterpret_cast<NativeDC>(dc);
}

bool releaseDC(NativeWindow window, NativeDC dc) {
    if (!ReleaseDC(hwndOf(window), hdcOf(dc))) return false;
    --state.outstandingDeviceContexts;
    return true;
}

int choosePixelFormat(NativeDC dc, const NativePixelFormat* request) {
    if (consumeFault(platform_testing::GlStep::ChoosePixelFormat) || !request) return 0;
    return ChoosePixelFormat(hdcOf(dc), reinterpret_cast<const PIXELFORMATDESCRIPTOR*>(request));
}

bool setPixelFormat(NativeDC dc, int format, const NativePixelFormat* request) {
    if (consumeFault(platform_testing::GlStep::SetPixelFormat)) return false;
    return SetPixelFormat(hdcOf(dc), format, reinterpret_cast<const PIXELFORMATDESCRIPTOR*>(request)) != FALSE;
}

int describePixelFormat(NativeDC dc, int format, NativePixelFormat* description) {
    return DescribePixelFormat(hdcOf(dc), format, sizeof(PIXELFORMATDESCRIPTOR),
                               reinterpret_cast<PIXELFORMATDESCRIPTOR*>(description));
}

NativeGLContext glCreateContext(NativeDC dc) {
    if (consumeFault(platform_testing::GlStep::CreateContext)) return nullptr;
    HGLRC context = wglCreateContext(hdcOf(dc));
    if (context) ++state.liveGlContexts;
    return reinterpret_cast<NativeGLContext>(context);
}

bool glDeleteContext(NativeGLContext context) {
    if (!wglDeleteContext(reinterpret_cast<HGLRC>(context))) return false;
    --state.liveGlContexts;
    return true;
}

bool glMakeCurrent(NativeDC dc, NativeGLContext context) {
    if ((dc || context) && consumeFault(platform_testing::GlStep::MakeCurrent)) return false;
    return wglMakeCurrent(hdcOf(dc), reinterpret_cast<HGLRC>(context)) != FALSE;
}

bool swapBuffers(NativeDC dc) {
    if (!SwapBuffers(hdcOf(dc))) return false;
    ++state.swaps;
    return true;
}

bool setSwapInterval(int interval) {
    auto swapInterval =
        reinterpret_cast<SwapIntervalFunction>(reinterpret_cast<void*>(wglGetProcAddress("wglSwapIntervalEXT")));
    return swapInterval && swapInterval(interval) != FALSE;
}

void* glProcAddress(const char* name) {
    // Some drivers answer a name they lack with 1, 2, 3 or -1 rather than null.
    auto address = reinterpret_cast<intptr_t>(reinterpret_cast<void*>(wglGetProcAddress(name)));
    if (address >= -1 && address <= 3) return nullptr;
    return reinterpret_cast<void*>(address);
}

}  // namespace platform
