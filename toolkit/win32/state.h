#pragma once
// The Win32 backend's one state record, with the helpers its files share.
// Internal to toolkit/win32/. Handles are the system's own (HWND, HDC,
// HGLRC, HICON, HCURSOR) passed through as the toolkit's opaque handles, and
// the records are laid out as their Win32 counterparts (nativedefs.h checks
// it), so nearly every operation is the one system call.
#include <map>

#include "toolkit/platform.h"
#include "toolkit/platform_testing.h"

namespace win32backend {

struct State {
    // The toolkit procedure of each class this backend registered, by the
    // class's atom: every such class has the one trampoline as its window
    // procedure, which passes the message on to the toolkit's.
    std::map<ATOM, WindowProcedure> procedures;
    // The message getMessage took last, whole (time and cursor position
    // included), for translateMessage and dispatchMessage.
    MSG lastTaken{};
    // What tests ask for and count (toolkit/win32/platform_testing.cpp).
    platform_testing::GlStep failingGlStep = platform_testing::GlStep::None;
    int outstandingDeviceContexts = 0;
    int liveGlContexts = 0;
    int swaps = 0;
};

extern State state;

inline HWND hwndOf(NativeWindow window) { return reinterpret_cast<HWND>(window); }
inline NativeWindow windowOf(HWND hwnd) { return reinterpret_cast<NativeWindow>(hwnd); }
inline HDC hdcOf(NativeDC dc) { return reinterpret_cast<HDC>(dc); }
// The module holding the toolkit: the program, or the library it is linked into.
HINSTANCE programInstance();

}  // namespace win32backend
