// Asking for a model with the desktop's own file chooser: the XDG desktop
// portal when one is running (or can be started), else zenity or kdialog
// (chooser_posix.cpp); on Windows the common Open dialogue
// (chooser_win32.cpp).
#pragma once

#include <string>

namespace frontend {

// The chooser's title.
constexpr char kChooserTitle[] = "Open a model";

// A display to show a chooser on (DISPLAY or WAYLAND_DISPLAY is set;
// always on Windows).
bool onDesktop();

enum class Choice {
    Chosen,       // path holds the chosen file
    Cancelled,    // the person closed the chooser without a file
    Unavailable,  // no portal and no chooser program
};

Choice chooseModel(std::string& path);

}  // namespace frontend
