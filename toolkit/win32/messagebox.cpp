// Message boxes of the Win32 backend.
#include "toolkit/win32/state.h"

using namespace win32backend;

namespace platform {

int messageBox(NativeWindow owner, const char* text, const char* caption, unsigned style) {
    return MessageBoxA(hwndOf(owner), text ? text : "", caption ? caption : "", style);
}

}  // namespace platform
