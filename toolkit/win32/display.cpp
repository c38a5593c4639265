// Display modes of the Win32 backend.
#include <cstring>

#include "toolkit/win32/state.h"

using namespace win32backend;

namespace platform {

int32_t changeDisplaySettings(const NativeDisplayMode* mode, uint32_t flags) {
    if (!mode) return ChangeDisplaySettingsA(nullptr, flags);
    DEVMODEA record;
    std::memcpy(&record, mode, sizeof record);  // the same layout
    return ChangeDisplaySettingsA(&record, flags);
}

int displayRefreshRate(NativeWindow) {
    DEVMODEA current{};
    current.dmSize = sizeof current;
    if (!EnumDisplaySettingsA(nullptr, ENUM_CURRENT_SETTINGS, &current)) return 0;
    // 0 and 1 stand for the hardware's default rate, which is not told.
    return current.dmDisplayFrequency > 1 ? static_cast<int>(current.dmDisplayFrequency) : 0;
}

}  // namespace platform
