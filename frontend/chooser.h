// Asking for a model with the desktop's own file chooser: the XDG desktop
// portal when one is running (or can be started), else zenity or kdialog.
#pragma once

#include <string>

namespace frontend {

// A display to show a chooser on (DISPLAY or WAYLAND_DISPLAY is set).
bool onDesktop();

enum class Choice {
    Chosen,       // path holds the chosen file
    Cancelled,    // the person closed the chooser without a file
    Unavailable,  // no portal and no chooser program
};

Choice chooseModel(std::string& path);

}  // namespace frontend
