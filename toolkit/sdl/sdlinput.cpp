#include "toolkit/sdl/sdlinput.h"

namespace sdlinput {

namespace {

// Keypad keys: the virtual key with Num Lock on, then with it off.
struct KeypadKey {
    SDL_Scancode scancode;
    unsigned numLockOn;
    unsigned numLockOff;
};

constexpr KeypadKey kKeypad[] = {
    {SDL_SCANCODE_KP_0, VK_NUMPAD0 + 0, VK_INSERT},  {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, VK_END},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, VK_DOWN},    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, VK_NEXT},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, VK_LEFT},    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, VK_CLEAR},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, VK_RIGHT},   {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, VK_HOME},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, VK_UP},      {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, VK_PRIOR},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, VK_DELETE},
};

struct ScancodeKey {
    SDL_Scancode scancode;
    unsigned virtualKey;
};

// Keys whose virtual key does not depend on the layout.
constexpr ScancodeKey kFixedKeys[] = {
    {SDL_SCANCODE_RETURN, VK_RETURN},
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE},
    {SDL_SCANCODE_BACKSPACE, VK_BACK},
    {SDL_SCANCODE_TAB, VK_TAB},
    {SDL_SCANCODE_SPACE, VK_SPACE},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL},
    {SDL_SCANCODE_PRINTSCREEN, VK_SNAPSHOT},
    {SDL_SCANCODE_SCROLLLOCK, VK_SCROLL},
    {SDL_SCANCODE_PAUSE, VK_PAUSE},
    {SDL_SCANCODE_INSERT, VK_INSERT},
    {SDL_SCANCODE_HOME, VK_HOME},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR},
    {SDL_SCANCODE_DELETE, VK_DELETE},
    {SDL_SCANCODE_END, VK_END},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT},
    {SDL_SCANCODE_RIGHT, VK_RIGHT},
    {SDL_SCANCODE_LEFT, VK_LEFT},
    {SDL_SCANCODE_DOWN, VK_DOWN},
    {SDL_SCANCODE_UP, VK_UP},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD},
    {SDL_SCANCODE_KP_ENTER, VK_RETURN},
    {SDL_SCANCODE_APPLICATION, VK_APPS},
    {SDL_SCANCODE_LCTRL, VK_CONTROL},
    {SDL_SCANCODE_RCTRL, VK_CONTROL},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT},
    {SDL_SCANCODE_LALT, VK_MENU},
    {SDL_SCANCODE_RALT, VK_MENU},
    {SDL_SCANCODE_LGUI, VK_LWIN},
    {SDL_SCANCODE_RGUI, VK_RWIN},
    {SDL_SCANCODE_NONUSBACKSLASH, VK_OEM_102},
};

struct PunctuationKey {
    SDL_Keycode keycode;
    SDL_Scancode scancode;  // where the key sits on a US keyboard
    unsigned virtualKey;
};

// Punctuation keys, found by the character they carry, else by position.
constexpr PunctuationKey kPunctuation[] = {
    {SDLK_SEMICOLON, SDL_SCANCODE_SEMICOLON, VK_OEM_1},
    {SDLK_EQUALS, SDL_SCANCODE_EQUALS, VK_OEM_PLUS},
    {SDLK_PLUS, SDL_SCANCODE_UNKNOWN, VK_OEM_PLUS},
    {SDLK_COMMA, SDL_SCANCODE_COMMA, VK_OEM_COMMA},
    {SDLK_MINUS, SDL_SCANCODE_MINUS, VK_OEM_MINUS},
    {SDLK_PERIOD, SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
    {SDLK_SLASH, SDL_SCANCODE_SLASH, VK_OEM_2},
    {SDLK_BACKQUOTE, SDL_SCANCODE_GRAVE, VK_OEM_3},
    {SDLK_LEFTBRACKET, SDL_SCANCODE_LEFTBRACKET, VK_OEM_4},
    {SDLK_BACKSLASH, SDL_SCANCODE_BACKSLASH, VK_OEM_5},
    {SDLK_RIGHTBRACKET, SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6},
    {SDLK_QUOTE, SDL_SCANCODE_APOSTROPHE, VK_OEM_7},
};

}  // namespace

unsigned virtualKey(SDL_Scancode scancode, SDL_Keycode keycode, uint16_t modifiers) {
    for (const KeypadKey& k : kKeypad) {
        if (k.scancode == scancode) return (modifiers & KMOD_NUM) ? k.numLockOn : k.numLockOff;
    }
    for (const ScancodeKey& k : kFixedKeys) {
        if (k.scancode == scancode) return k.virtualKey;
    }
    if (scancode >= SDL_SCANCODE_F1 && scancode <= SDL_SCANCODE_F12)
        return VK_F1 + static_cast<unsigned>(scancode - SDL_SCANCODE_F1);
    if (scancode >= SDL_SCANCODE_F13 && scancode <= SDL_SCANCODE_F24)
        return VK_F1 + 12 + static_cast<unsigned>(scancode - SDL_SCANCODE_F13);
    // The digit row gives the digits on every layout.
    if (scancode >= SDL_SCANCODE_1 && scancode <= SDL_SCANCODE_9)
        return '1' + static_cast<unsigned>(scancode - SDL_SCANCODE_1);
    if (scancode == SDL_SCANCODE_0) return '0';
    // Letters follow the layout, as on Windows; keys of layouts without Latin
    // letters fall back to their position.
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 'A' + static_cast<unsigned>(keycode - SDLK_a);
    for (const PunctuationKey& k : kPunctuation) {
        if (k.keycode == keycode) return k.virtualKey;
    }
    if (scancode >= SDL_SCANCODE_A && scancode <= SDL_SCANCODE_Z)
        return 'A' + static_cast<unsigned>(scancode - SDL_SCANCODE_A);
    for (const PunctuationKey& k : kPunctuation) {
        if (k.scancode != SDL_SCANCODE_UNKNOWN && k.scancode == scancode) return k.virtualKey;
    }
    return 0;
}

bool isSystemKey(SDL_Scancode scancode, unsigned vk, uint16_t modifiers) {
    if (modifiers & KMOD_CTRL) return false;
    return scancode == SDL_SCANCODE_LALT || (modifiers & KMOD_LALT) || vk == VK_F10;
}

std::u32string typedCharacters(const char* utf8) {
    std::u32string out;
    if (!utf8) return out;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8);
    while (*p) {
        char32_t cp;
        int extra;
        if (*p < 0x80) {
            cp = *p;
            extra = 0;
        } else if ((*p & 0xE0) == 0xC0) {
            cp = *p & 0x1F;
            extra = 1;
        } else if ((*p & 0xF0) == 0xE0) {
            cp = *p & 0x0F;
            extra = 2;
        } else if ((*p & 0xF8) == 0xF0) {
            cp = *p & 0x07;
            extra = 3;
        } else {
            ++p;  // a stray continuation byte or an invalid lead byte
            continue;
        }
        ++p;
        bool complete = true;
        for (int i = 0; i < extra; ++i) {
            if ((*p & 0xC0) != 0x80) {
                complete = false;
                break;
            }
            cp = (cp << 6) | (*p & 0x3F);
            ++p;
        }
        if (!complete) continue;
        if ((cp >= 0x20 && cp < 0x7F) || (cp >= 0xA0 && cp <= 0xFF)) out.push_back(cp);
    }
    return out;
}

int controlCharacter(unsigned vk, SDL_Keycode keycode, uint16_t modifiers) {
    if (modifiers & KMOD_ALT) return -1;
    bool ctrl = (modifiers & KMOD_CTRL) != 0;
    bool shift = (modifiers & KMOD_SHIFT) != 0;
    // Columns of the Windows US layout: plain, Shift, Ctrl, and for a few
    // keys Ctrl+Shift; a combination without a column types nothing.
    if (ctrl && shift) {
        if (vk == '2') return 0x00;
        if (vk == '6') return 0x1E;
        if (vk == VK_OEM_MINUS) return 0x1F;
        return -1;
    }
    switch (vk) {
    case VK_ESCAPE:
        return 0x1B;
    case VK_RETURN:
        return ctrl ? 0x0A : 0x0D;
    case VK_BACK:
        return ctrl ? 0x7F : 0x08;
    case VK_TAB:
        return ctrl ? -1 : 0x09;
    default:
        break;
    }
    if (!ctrl) return -1;
    if (vk == VK_SPACE) return ' ';
    // Letters and brackets by the character the layout puts on the key, as
    // for their virtual keys.
    if (keycode >= SDLK_a && keycode <= SDLK_z) return 1 + static_cast<int>(keycode - SDLK_a);
    if (keycode == SDLK_LEFTBRACKET) return 0x1B;
    if (keycode == SDLK_BACKSLASH) return 0x1C;
    if (keycode == SDLK_RIGHTBRACKET) return 0x1D;
    return -1;
}

uintptr_t mouseKeyState(uint32_t sdlButtonMask, uint16_t modifiers) {
    uintptr_t state = 0;
    if (sdlButtonMask & SDL_BUTTON_LMASK) state |= MK_LBUTTON;
    if (sdlButtonMask & SDL_BUTTON_RMASK) state |= MK_RBUTTON;
    if (sdlButtonMask & SDL_BUTTON_MMASK) state |= MK_MBUTTON;
    if (modifiers & KMOD_CTRL) state |= MK_CONTROL;
    if (modifiers & KMOD_SHIFT) state |= MK_SHIFT;
    return state;
}

intptr_t packPoint(int x, int y) {
    uint32_t word = (static_cast<uint32_t>(x) & 0xFFFF) | ((static_cast<uint32_t>(y) & 0xFFFF) << 16);
    return static_cast<intptr_t>(word);
}

intptr_t keyMessageWord(bool repeat, bool release) {
    uint32_t word = 1;
    if (repeat || release) word |= 1u << 30;
    if (release) word |= 1u << 31;
    return static_cast<intptr_t>(word);
}

}  // namespace sdlinput
