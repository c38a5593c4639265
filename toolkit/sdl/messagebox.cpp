// Message boxes of the SDL2 backend.
#include <cstring>

#include "toolkit/internal.h"
#include "toolkit/sdl/state.h"
#include "toolkit/sdl/endrequests.h"

namespace sdlbackend {

namespace {

// Whether the video driver can show anything to a person.
bool driverCanShow() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver && std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0;
}

}  // namespace

}  // namespace sdlbackend

using namespace sdlbackend;

namespace platform {

int messageBox(NativeWindow owner, const char* text, const char* caption, unsigned style) {
    if (!ensureVideo() || !driverCanShow()) return 0;
    const SDL_MessageBoxButtonData ok[] = {
        {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT | SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDOK, "OK"}};
    const SDL_MessageBoxButtonData yesNo[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"}, {0, IDNO, "No"}};
    const SDL_MessageBoxButtonData yesNoCancel[] = {{SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, IDYES, "Yes"},
                                                    {0, IDNO, "No"},
                                                    {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, IDCANCEL, "Cancel"}};
    SDL_MessageBoxData data{};
    unsigned buttons = style & MB_TYPEMASK;
    if (buttons == MB_YESNO) {
        data.buttons = yesNo, data.numbuttons = 2;
    } else if (buttons == MB_YESNOCANCEL) {
        data.buttons = yesNoCancel, data.numbuttons = 3;
    } else {
        data.buttons = ok, data.numbuttons = 1;
    }
    switch (style & MB_ICONMASK) {
    case MB_ICONERROR:
        data.flags = SDL_MESSAGEBOX_ERROR;
        break;
    case MB_ICONWARNING:
        data.flags = SDL_MESSAGEBOX_WARNING;
        break;
    case MB_ICONINFORMATION:
    case MB_ICONQUESTION:  // SDL has no question icon
        data.flags = SDL_MESSAGEBOX_INFORMATION;
        break;
    default:
        break;
    }
    data.flags |= SDL_MESSAGEBOX_BUTTONS_LEFT_TO_RIGHT;
    WindowRecord* w = findWindow(owner);
    data.window = w ? w->sdl : nullptr;
    data.title = caption ? caption : "";
    data.message = text ? text : "";
    int answer = -1;
    // Closed without a button: Cancel where there is one, the safe No of a
    // question without one, else OK. A request to end the program closes
    // the box, or keeps it from showing.
    int closed = buttons == MB_YESNOCANCEL ? IDCANCEL : buttons == MB_YESNO ? IDNO : IDOK;
    if (endrequests::requested()) return closed;
    endrequests::boxStarting();
    int shown = SDL_ShowMessageBox(&data, &answer);
    endrequests::boxEnded();
    if (endrequests::requested()) return closed;
    if (shown != 0) return 0;
    return answer >= 0 ? answer : closed;
}

}  // namespace platform
