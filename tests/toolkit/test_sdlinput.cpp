// The SDL2 backend's input translation: virtual keys, typed characters,
// mouse words, and SDL events becoming native messages in the right order.
#include <gtest/gtest.h>

#include "recording.h"
#include "toolkit/sdl/sdlinput.h"

namespace {

using sdlinput::virtualKey;

unsigned vk(SDL_Scancode sc, SDL_Keycode sym = SDLK_UNKNOWN, uint16_t mod = KMOD_NONE) {
    return virtualKey(sc, sym, mod);
}

TEST(VirtualKeys, LettersDigitsAndFunctionKeys) {
    EXPECT_EQ(vk(SDL_SCANCODE_A, SDLK_a), 0x41u);
    EXPECT_EQ(vk(SDL_SCANCODE_A, SDLK_a, KMOD_LSHIFT), 0x41u);
    EXPECT_EQ(vk(SDL_SCANCODE_Q, SDLK_a), 0x41u);  // the layout decides, as on Windows
    EXPECT_EQ(vk(SDL_SCANCODE_Z, 0x44F), 0x5Au);   // a Cyrillic key falls back to its place
    EXPECT_EQ(vk(SDL_SCANCODE_1, SDLK_AMPERSAND), 0x31u);
    EXPECT_EQ(vk(SDL_SCANCODE_0, SDLK_0), 0x30u);
    EXPECT_EQ(vk(SDL_SCANCODE_F1), 112u);  // reads as 'p' to the viewer
    EXPECT_EQ(vk(SDL_SCANCODE_F4), 115u);
    EXPECT_EQ(vk(SDL_SCANCODE_F8), 119u);
    EXPECT_EQ(vk(SDL_SCANCODE_F12), 123u);
    EXPECT_EQ(vk(SDL_SCANCODE_F13), 124u);
    EXPECT_EQ(vk(SDL_SCANCODE_HOME), 36u);
    EXPECT_EQ(vk(SDL_SCANCODE_INSERT), 45u);
    EXPECT_EQ(vk(SDL_SCANCODE_ESCAPE), 27u);
    EXPECT_EQ(vk(SDL_SCANCODE_RETURN), 13u);
    EXPECT_EQ(vk(SDL_SCANCODE_LSHIFT), 16u);
    EXPECT_EQ(vk(SDL_SCANCODE_RCTRL), 17u);
    EXPECT_EQ(vk(SDL_SCANCODE_LALT), 18u);
    EXPECT_EQ(vk(SDL_SCANCODE_UNKNOWN), 0u);
}

TEST(VirtualKeys, KeypadFollowsNumLock) {
    EXPECT_EQ(vk(SDL_SCANCODE_KP_7, SDLK_KP_7), 36u);  // Home
    EXPECT_EQ(vk(SDL_SCANCODE_KP_0, SDLK_KP_0), 45u);  // Insert
    EXPECT_EQ(vk(SDL_SCANCODE_KP_5, SDLK_KP_5), 0x0Cu);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD), 0x2Eu);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_7, SDLK_KP_7, KMOD_NUM), 0x67u);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_0, SDLK_KP_0, KMOD_NUM), 0x60u);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_2, SDLK_KP_2, KMOD_NUM), 98u);  // the viewer's 'b'
    EXPECT_EQ(vk(SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, KMOD_NUM), 0x6Eu);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS), 0x6Bu);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, KMOD_NUM), 0x6Du);
    EXPECT_EQ(vk(SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER), 13u);
}

TEST(VirtualKeys, PlusAndMinusHaveTheirOwnKeys) {
    EXPECT_EQ(vk(SDL_SCANCODE_EQUALS, SDLK_EQUALS), 0xBBu);
    EXPECT_EQ(vk(SDL_SCANCODE_RIGHTBRACKET, SDLK_PLUS), 0xBBu);  // '+' on its own key
    EXPECT_EQ(vk(SDL_SCANCODE_MINUS, SDLK_MINUS), 0xBDu);
    EXPECT_EQ(vk(SDL_SCANCODE_SLASH, SDLK_MINUS), 0xBDu);
    EXPECT_EQ(vk(SDL_SCANCODE_SEMICOLON, 0xF6), 0xBAu);  // by place when the character is foreign
    EXPECT_EQ(vk(SDL_SCANCODE_NONUSBACKSLASH, SDLK_LESS), 0xE2u);
}

TEST(VirtualKeys, SystemKeysAreThoseOfWindows) {
    using sdlinput::isSystemKey;
    EXPECT_TRUE(isSystemKey(SDL_SCANCODE_LALT, VK_MENU, KMOD_LALT));
    EXPECT_TRUE(isSystemKey(SDL_SCANCODE_P, 0x50, KMOD_LALT));
    EXPECT_TRUE(isSystemKey(SDL_SCANCODE_F10, VK_F10, KMOD_NONE));
    EXPECT_FALSE(isSystemKey(SDL_SCANCODE_P, 0x50, KMOD_LALT | KMOD_LCTRL));
    EXPECT_FALSE(isSystemKey(SDL_SCANCODE_Q, 0x51, KMOD_RALT));  // AltGr types characters
    EXPECT_FALSE(isSystemKey(SDL_SCANCODE_F1, VK_F1, KMOD_NONE));
}

TEST(TypedText, KeepsSingleByteCharactersOnly) {
    EXPECT_EQ(sdlinput::typedCharacters("a"), U"a");
    EXPECT_EQ(sdlinput::typedCharacters("+-$"), U"+-$");
    EXPECT_EQ(sdlinput::typedCharacters("\xC3\xA9"), U"\u00E9");  // é
    EXPECT_EQ(sdlinput::typedCharacters("x\xE2\x82\xAC"
                                        "y"),
              U"xy");                                               // € dropped
    EXPECT_EQ(sdlinput::typedCharacters("\xF0\x9F\x98\x80"), U"");  // emoji dropped
    EXPECT_EQ(sdlinput::typedCharacters("\x80z\xC3"), U"z");        // broken UTF-8
    EXPECT_EQ(sdlinput::typedCharacters("\x01\x7F"), U"");          // controls
    EXPECT_EQ(sdlinput::typedCharacters(nullptr), U"");
}

TEST(MouseWords, KeyStateAndPosition) {
    EXPECT_EQ(sdlinput::mouseKeyState(SDL_BUTTON_LMASK | SDL_BUTTON_MMASK, KMOD_RCTRL),
              MK_LBUTTON | MK_MBUTTON | MK_CONTROL);
    EXPECT_EQ(sdlinput::mouseKeyState(SDL_BUTTON_RMASK | SDL_BUTTON_X1MASK, KMOD_LSHIFT), MK_RBUTTON | MK_SHIFT);
    EXPECT_EQ(sdlinput::packPoint(10, 20), 0x0014000A);
    EXPECT_EQ(sdlinput::packPoint(-40, -50), static_cast<intptr_t>(0xFFCEFFD8u));
    EXPECT_EQ(sdlinput::keyMessageWord(false, false), 1);
    EXPECT_EQ(sdlinput::keyMessageWord(true, false), (1 << 30) | 1);
    EXPECT_EQ(sdlinput::keyMessageWord(false, true), static_cast<intptr_t>(0xC0000001u));
}

// SDL events pushed into SDL's own queue, then taken through the native queue.
class SdlQueue : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mxAppInit(0, nullptr), 1);
        window = new RecordingWindow(&log);
        window->setVisible(true);
        sdlWindow = SDL_GetWindowID(SDL_GetWindowFromID(1));
        ASSERT_NE(sdlWindow, 0u);
        drain();
    }
    void drain() {
        NativeMessage m;
        while (platform::peekMessage(&m)) {
            platform::getMessage(&m);
            platform::dispatchMessage(m);
        }
        log.clear();
    }
    void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1); }
    void key(Uint32 type, SDL_Scancode sc, SDL_Keycode sym, Uint16 mod = KMOD_NONE) {
        SDL_Event e{};
        e.type = type;
        e.key.windowID = sdlWindow;
        e.key.keysym.scancode = sc;
        e.key.keysym.sym = sym;
        e.key.keysym.mod = mod;
        push(e);
    }
    void text(const char* t) {
        SDL_Event e{};
        e.type = SDL_TEXTINPUT;
        e.text.windowID = sdlWindow;
        SDL_strlcpy(e.text.text, t, sizeof e.text.text);
        push(e);
    }
    void button(Uint32 type, Uint8 b, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.windowID = sdlWindow;
        e.button.button = b;
        e.button.x = x;
        e.button.y = y;
        push(e);
    }
    void motion(Uint32 state, int x, int y) {
        SDL_Event e{};
        e.type = SDL_MOUSEMOTION;
        e.motion.windowID = sdlWindow;
        e.motion.state = state;
        e.motion.x = x;
        e.motion.y = y;
        push(e);
    }
    // Takes every waiting message as the loop does, translating or not.
    std::vector<NativeMessage> take(bool translate = true) {
        std::vector<NativeMessage> taken;
        NativeMessage m;
        while (platform::peekMessage(&m)) {
            platform::getMessage(&m);
            if (translate) platform::translateMessage(m);
            if (m.message != WM_PAINT) taken.push_back(m);
            platform::dispatchMessage(m);
        }
        return taken;
    }

    std::vector<Delivery> log;
    RecordingWindow* window = nullptr;
    Uint32 sdlWindow = 0;
};

TEST_F(SdlQueue, KeyThenCharacterThenRelease) {
    key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    text("a");
    key(SDL_KEYUP, SDL_SCANCODE_A, SDLK_a);
    key(SDL_KEYDOWN, SDL_SCANCODE_F1, SDLK_F1);
    std::vector<NativeMessage> m = take();
    ASSERT_EQ(m.size(), 4u);
    EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_KEYDOWN));
    EXPECT_EQ(m[0].wParam, 0x41u);
    EXPECT_EQ(m[1].message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(m[1].wParam, 0x61u);
    EXPECT_EQ(m[2].message, static_cast<unsigned>(WM_KEYUP));
    EXPECT_EQ(m[3].wParam, 112u);
    ASSERT_EQ(log.size(), 4u);
    EXPECT_EQ(log[0].event.key, 0x41);
    EXPECT_EQ(log[1].event.type, mxEvent::KeyDown);
    EXPECT_EQ(log[1].event.key, 0x61);
    EXPECT_EQ(log[2].event.type, mxEvent::KeyUp);
}

TEST_F(SdlQueue, ControlKeysTypeTheirCharactersAsOnWindows) {
    // SDL types no text for these; the characters are those Windows types.
    struct Case {
        SDL_Scancode scancode;
        SDL_Keycode keycode;
        Uint16 mod;
        unsigned virtualKey;
        std::vector<uintptr_t> typed;
    };
    const Case cases[] = {
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_NONE, VK_ESCAPE, {27}},
        {SDL_SCANCODE_LEFTBRACKET, SDLK_LEFTBRACKET, KMOD_LCTRL, VK_OEM_4, {27}},  // quits the viewer too
        {SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_NONE, VK_RETURN, {13}},
        {SDL_SCANCODE_RETURN, SDLK_RETURN, KMOD_RCTRL, VK_RETURN, {10}},
        {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, KMOD_NONE, VK_RETURN, {13}},
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_LSHIFT, VK_BACK, {8}},
        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, KMOD_LCTRL, VK_BACK, {127}},
        {SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LSHIFT, VK_TAB, {9}},
        {SDL_SCANCODE_TAB, SDLK_TAB, KMOD_LCTRL, VK_TAB, {}},
        {SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL, 'A', {1}},
        {SDL_SCANCODE_Q, SDLK_a, KMOD_LCTRL, 'A', {1}},  // the layout's letter
        {SDL_SCANCODE_Z, SDLK_z, KMOD_RCTRL, 'Z', {26}},
        {SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL | KMOD_LSHIFT, 'A', {}},
        {SDL_SCANCODE_BACKSLASH, SDLK_BACKSLASH, KMOD_LCTRL, VK_OEM_5, {28}},
        {SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, KMOD_LCTRL, VK_OEM_6, {29}},
        {SDL_SCANCODE_2, SDLK_2, KMOD_LCTRL | KMOD_LSHIFT, '2', {0}},
        {SDL_SCANCODE_6, SDLK_6, KMOD_LCTRL | KMOD_LSHIFT, '6', {30}},
        {SDL_SCANCODE_MINUS, SDLK_MINUS, KMOD_LCTRL | KMOD_LSHIFT, VK_OEM_MINUS, {31}},
        {SDL_SCANCODE_SPACE, SDLK_SPACE, KMOD_LCTRL, VK_SPACE, {' '}},
        {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, KMOD_LCTRL | KMOD_LSHIFT, VK_ESCAPE, {}},
        {SDL_SCANCODE_A, SDLK_a, KMOD_LCTRL | KMOD_RALT, 'A', {}},  // AltGr types no control character
        {SDL_SCANCODE_F1, SDLK_F1, KMOD_LCTRL, VK_F1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(SDL_GetScancodeName(c.scancode) + std::string(" mod ") + std::to_string(c.mod));
        key(SDL_KEYDOWN, c.scancode, c.keycode, c.mod);
        key(SDL_KEYUP, c.scancode, c.keycode, c.mod);
        std::vector<NativeMessage> m = take();
        ASSERT_EQ(m.size(), 2 + c.typed.size());
        EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_KEYDOWN));
        EXPECT_EQ(m[0].wParam, c.virtualKey);
        for (size_t i = 0; i < c.typed.size(); ++i) {
            EXPECT_EQ(m[1 + i].message, static_cast<unsigned>(WM_CHAR));
            EXPECT_EQ(m[1 + i].wParam, c.typed[i]);
        }
        EXPECT_EQ(m.back().message, static_cast<unsigned>(WM_KEYUP));
    }
    // Held down, Escape repeats both, as Windows does.
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = sdlWindow;
    e.key.repeat = 1;
    e.key.keysym.scancode = SDL_SCANCODE_ESCAPE;
    e.key.keysym.sym = SDLK_ESCAPE;
    push(e);
    std::vector<NativeMessage> repeated = take();
    ASSERT_EQ(repeated.size(), 2u);
    EXPECT_EQ(repeated[1].wParam, 27u);
}

TEST_F(SdlQueue, CharactersNeedTranslation) {
    key(SDL_KEYDOWN, SDL_SCANCODE_EQUALS, SDLK_EQUALS, KMOD_LSHIFT);
    text("+");
    std::vector<NativeMessage> m = take(false);
    ASSERT_EQ(m.size(), 1u);
    EXPECT_EQ(m[0].wParam, 0xBBu);
}

TEST_F(SdlQueue, TextWithoutKeyComesAsCharacters) {
    text("\xC3\xA9x");
    std::vector<NativeMessage> m = take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_CHAR));
    EXPECT_EQ(m[0].wParam, 0xE9u);
    EXPECT_EQ(m[1].wParam, static_cast<uintptr_t>('x'));
}

TEST_F(SdlQueue, AltKeysAreSystemKeysAndReachNoHandler) {
    key(SDL_KEYDOWN, SDL_SCANCODE_P, SDLK_p, KMOD_LALT);
    text("p");
    std::vector<NativeMessage> m = take();
    ASSERT_EQ(m.size(), 2u);
    EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_SYSKEYDOWN));
    EXPECT_EQ(m[1].message, static_cast<unsigned>(WM_SYSCHAR));
    EXPECT_TRUE(log.empty());
}

TEST_F(SdlQueue, MouseButtonsCarryHeldButtonsAndPosition) {
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 20);
    motion(SDL_BUTTON_LMASK, 11, 21);
    motion(SDL_BUTTON_LMASK, -5, -6);  // merged with the move before
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, -5, -6);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -5, -6);
    motion(SDL_BUTTON_RMASK, 7, 8);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 7, 8);
    button(SDL_MOUSEBUTTONDOWN, 4, 0, 0);  // extra buttons are ignored
    std::vector<NativeMessage> m = take();
    ASSERT_EQ(m.size(), 6u);
    EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_LBUTTONDOWN));
    EXPECT_EQ(m[0].wParam, MK_LBUTTON);
    EXPECT_EQ(m[0].lParam, 0x0014000A);
    EXPECT_EQ(m[1].message, static_cast<unsigned>(WM_MOUSEMOVE));
    EXPECT_EQ(m[1].lParam, sdlinput::packPoint(-5, -6));
    EXPECT_EQ(m[2].wParam, MK_LBUTTON | MK_RBUTTON);
    EXPECT_EQ(m[3].message, static_cast<unsigned>(WM_LBUTTONUP));
    EXPECT_EQ(m[3].wParam, MK_RBUTTON);
    ASSERT_EQ(log.size(), 6u);
    EXPECT_EQ(log[1].event.type, mxEvent::MouseDrag);
    EXPECT_EQ(log[1].event.x, 65531);
    EXPECT_EQ(log[1].event.y, 65530);
    EXPECT_EQ(log[2].event.buttons, 3);
    EXPECT_EQ(log[3].event.type, mxEvent::MouseUp);
    EXPECT_EQ(log[3].event.buttons, 3);
    EXPECT_EQ(log[4].event.type, mxEvent::MouseMove);
    EXPECT_EQ(log[4].event.buttons, mxEvent::RightButton);
    EXPECT_EQ(log[5].event.buttons, mxEvent::RightButton);
}

TEST_F(SdlQueue, ModifiersAreThoseHeldAtEachEvent) {
    // Events that wait in the queue while a frame is slow: Shift held for a
    // drag, then Ctrl for a click, both released before the queue is read.
    // Each mouse message carries the keys held when it happened.
    key(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 10, 10);
    motion(SDL_BUTTON_LMASK, 20, 20);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 20, 20);
    key(SDL_KEYUP, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_NONE);
    key(SDL_KEYDOWN, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_RCTRL);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 30, 30);
    key(SDL_KEYUP, SDL_SCANCODE_RCTRL, SDLK_RCTRL, KMOD_NONE);
    button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, 30, 30);
    take();
    std::vector<int> modifiers;
    for (const Delivery& d : log) {
        if (d.event.type >= mxEvent::MouseUp && d.event.type <= mxEvent::MouseDrag)
            modifiers.push_back(d.event.modifiers);
    }
    EXPECT_EQ(modifiers,
              (std::vector<int>{mxEvent::ShiftKey, mxEvent::ShiftKey, mxEvent::ShiftKey, mxEvent::ControlKey, 0}));
}

TEST_F(SdlQueue, DisabledWindowsGetNoInput) {
    window->setEnabled(false);
    key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a);
    button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 1, 1);
    EXPECT_TRUE(take().empty());
}

TEST_F(SdlQueue, WindowEventsBecomeSizeCloseAndPaint) {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.windowID = sdlWindow;
    e.window.event = SDL_WINDOWEVENT_SIZE_CHANGED;
    e.window.data1 = 300;
    e.window.data2 = 150;
    push(e);
    push(e);  // the same size again says nothing new
    e.window.event = SDL_WINDOWEVENT_CLOSE;
    push(e);
    std::vector<NativeMessage> m = take();
    ASSERT_EQ(m.size(), 3u);
    EXPECT_EQ(m[0].message, static_cast<unsigned>(WM_SIZE));
    EXPECT_EQ(m[0].lParam, 0x0096012C);
    EXPECT_EQ(m[1].message, static_cast<unsigned>(WM_CLOSE));
    // Closing the main window quit the application.
    EXPECT_EQ(m[2].message, static_cast<unsigned>(WM_QUIT));
    EXPECT_TRUE(mxAppQuitting());
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Size);
    EXPECT_EQ(log[0].event.width, 300);
}

}  // namespace
