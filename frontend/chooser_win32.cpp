// The model asked for with Windows' common Open dialogue, which is what a
// person sees first when glswitch starts ombrel.exe without arguments.
#include "frontend/chooser.h"

#include <windows.h>

#include <commdlg.h>

#include <filesystem>
#include <vector>

namespace frontend {

bool onDesktop() { return true; }

Choice chooseModel(std::string& path) {
    std::vector<char> file(32768, '\0');
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.lpstrFilter = "IDP2 models (*.md2)\0*.md2\0All files\0*.*\0";
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = DWORD(file.size());
    dialog.lpstrTitle = kChooserTitle;
    dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (GetOpenFileNameA(&dialog)) {
        path = std::filesystem::path(file.data()).generic_string();
        return Choice::Chosen;
    }
    // No error: the person closed the dialogue.
    return CommDlgExtendedError() == 0 ? Choice::Cancelled : Choice::Unavailable;
}

}  // namespace frontend
