#pragma once
// How the SDL2 backend turns SDL input into the toolkit's native message
// vocabulary: Windows virtual-key codes, typed characters, and the
// key-state and position words of mouse messages.
#include <SDL2/SDL.h>

#include <cstdint>
#include <string>

#include "toolkit/nativedefs.h"

namespace sdlinput {

// The Windows virtual-key code of a key, 0 for keys that have none. The
// keypad follows Num Lock as on Windows: digits with it on, the cursor
// block (keypad 7 is Home, keypad 0 is Insert) with it off.
unsigned virtualKey(SDL_Scancode scancode, SDL_Keycode keycode, uint16_t modifiers);

// Whether Windows would report the key as a system key (WM_SYSKEYDOWN,
// WM_SYSKEYUP): the left Alt key itself, any key with the left Alt held, and
// F10 - none of them with Ctrl held.
bool isSystemKey(SDL_Scancode scancode, unsigned virtualKey, uint16_t modifiers);

// The characters of a piece of typed UTF-8 text that a character message can
// carry: printable characters of the single-byte range (ASCII and Latin-1).
// Others are dropped, not replaced, so they never pose as another key.
std::u32string typedCharacters(const char* utf8);

// The character Windows types for a key that SDL types no text for: Escape,
// Return, Backspace and Tab, and the Ctrl combinations (Ctrl+A to Ctrl+Z give
// 1 to 26, Ctrl+[ gives 27 like Escape, Ctrl+Return 10, Ctrl+Backspace 127).
// -1 when the key types nothing of the kind; 0 is a character (Ctrl+Shift+2).
// With Alt held (AltGr included) no such character is typed.
int controlCharacter(unsigned virtualKey, SDL_Keycode keycode, uint16_t modifiers);

// MK_* bits of the held mouse buttons and of Ctrl and Shift.
uintptr_t mouseKeyState(uint32_t sdlButtonMask, uint16_t modifiers);

// x and y packed as two 16-bit words: a position left of or above the
// window keeps its two's-complement low 16 bits.
intptr_t packPoint(int x, int y);

// The lParam of a key message: repeat count 1, previous state, transition.
intptr_t keyMessageWord(bool repeat, bool release);

}  // namespace sdlinput
