// The window procedure's translation of native messages, driven with
// synthetic messages sent to real native windows of the backend.
#include <gtest/gtest.h>

#include "recording.h"

namespace {

intptr_t send(mxWidget* w, unsigned message, uintptr_t wParam = 0, intptr_t lParam = 0) {
    return platform::sendMessage(w->getHandle(), message, wParam, lParam);
}

intptr_t packed(unsigned low, unsigned high) { return static_cast<intptr_t>((high << 16) | (low & 0xFFFF)); }

class WindowProcedure : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(mxAppInit(0, nullptr), 1);
        registerFakeControlClasses();
        window = new RecordingWindow(&log);
        ASSERT_NE(window->getHandle(), nullptr);
    }
    std::vector<Delivery> log;
    RecordingWindow* window = nullptr;
};

TEST_F(WindowProcedure, SizeCarriesUnsignedClientSize) {
    EXPECT_EQ(send(window, WM_SIZE, 0, packed(0xFFFF, 480)), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Size);
    EXPECT_EQ(log[0].event.width, 65535);
    EXPECT_EQ(log[0].event.height, 480);
    EXPECT_EQ(log[0].event.x, 0);
    EXPECT_EQ(log[0].event.widget, nullptr);
}

TEST_F(WindowProcedure, PaintRedrawsOnceAndIsValidated) {
    window->setVisible(true);
    NativeMessage m;
    ASSERT_TRUE(platform::peekMessage(&m));
    ASSERT_EQ(m.message, static_cast<unsigned>(WM_PAINT));
    ASSERT_TRUE(platform::getMessage(&m));
    platform::dispatchMessage(m);
    EXPECT_EQ(window->redraws, 1);
    EXPECT_TRUE(log.empty());
    // The default handling validated the window: no second paint request.
    EXPECT_FALSE(platform::peekMessage(&m));
}

TEST_F(WindowProcedure, CloseOnMainWindowQuits) {
    bool destroyed = false;
    struct Watched : RecordingWindow {
        bool* flag;
        Watched(bool* f) : RecordingWindow(nullptr), flag(f) {}
        ~Watched() override { *flag = true; }
    };
    delete window;  // let the watched one be the main window
    window = nullptr;
    Watched* main = new Watched(&destroyed);
    ASSERT_EQ(mxAppMainWindow(), main);
    EXPECT_EQ(platform::sendMessage(main->getHandle(), WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(mxAppQuitting());
    EXPECT_TRUE(destroyed);
    EXPECT_FALSE(mxAppRegistryExists());
    NativeMessage m;
    ASSERT_TRUE(platform::peekMessage(&m));
    EXPECT_EQ(m.message, static_cast<unsigned>(WM_QUIT));
    EXPECT_EQ(m.wParam, 0u);
}

TEST_F(WindowProcedure, CloseOnOtherWindowHidesIt) {
    RecordingWindow* other = new RecordingWindow(&log);
    other->setVisible(true);
    ASSERT_TRUE(platform::isWindowVisible(other->getHandle()));
    EXPECT_EQ(send(other, WM_CLOSE), 0);
    EXPECT_FALSE(platform::isWindowVisible(other->getHandle()));
    EXPECT_FALSE(mxAppQuitting());
    ASSERT_EQ(mxAppRegisteredWidgets().size(), 2u);
    // It can be shown again.
    other->setVisible(true);
    EXPECT_TRUE(platform::isWindowVisible(other->getHandle()));
}

TEST_F(WindowProcedure, CloseWithoutMainWindowDoesNothing) {
    window->setVisible(true);
    mxAppSetMainWindow(nullptr);
    EXPECT_EQ(send(window, WM_CLOSE), 0);
    EXPECT_TRUE(platform::isWindowVisible(window->getHandle()));
    EXPECT_FALSE(mxAppQuitting());
    EXPECT_TRUE(mxAppRegistryExists());
}

TEST_F(WindowProcedure, EraseIsSkippedOnlyForWorkingGlWindows) {
    // The default handling answers nonzero: it erased.
    EXPECT_NE(send(window, WM_ERASEBKGND), 0);
    window->setType(mxWidget::TypeGlWindow);
    EXPECT_EQ(send(window, WM_ERASEBKGND), 0);
    // A window without an object gets the default handling.
    NativeWindowCreation c;
    c.className = mxWindowClassName;
    NativeWindow bare = platform::createWindow(c);
    EXPECT_NE(platform::sendMessage(bare, WM_ERASEBKGND, 0, 0), 0);
    EXPECT_TRUE(log.empty());
}

TEST_F(WindowProcedure, KeysGiveKeyDownAndKeyUp) {
    send(window, WM_KEYDOWN, 0x41, 1);
    send(window, WM_CHAR, 0x61, 1);
    send(window, WM_KEYUP, 0x41, 1);
    send(window, WM_SYSKEYDOWN, 0x41, 1);  // not translated
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].event.type, mxEvent::KeyDown);
    EXPECT_EQ(log[0].event.key, 0x41);
    EXPECT_EQ(log[1].event.type, mxEvent::KeyDown);
    EXPECT_EQ(log[1].event.key, 0x61);
    EXPECT_EQ(log[2].event.type, mxEvent::KeyUp);
    EXPECT_EQ(log[2].event.key, 0x41);
    EXPECT_EQ(log[2].event.modifiers, 0);
}

TEST_F(WindowProcedure, TimerStopsWhileQuitting) {
    send(window, WM_TIMER, 1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Timer);
    mxAppSetQuitting();
    send(window, WM_TIMER, 1);
    EXPECT_EQ(log.size(), 1u);
}

TEST_F(WindowProcedure, MouseCaptureTurnsMovesIntoDrags) {
    send(window, WM_MOUSEMOVE, 0, packed(5, 6));
    send(window, WM_LBUTTONDOWN, MK_LBUTTON, packed(10, 20));
    EXPECT_TRUE(mxAppCaptured());
    send(window, WM_MOUSEMOVE, MK_LBUTTON, packed(15, 25));
    send(window, WM_LBUTTONUP, 0, packed(15, 25));
    EXPECT_FALSE(mxAppCaptured());
    send(window, WM_MOUSEMOVE, 0, packed(16, 26));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[0].event.type, mxEvent::MouseMove);
    EXPECT_EQ(log[0].event.x, 5);
    EXPECT_EQ(log[0].event.y, 6);
    EXPECT_EQ(log[0].event.buttons, 0);
    EXPECT_EQ(log[1].event.type, mxEvent::MouseDown);
    EXPECT_EQ(log[1].event.buttons, mxEvent::LeftButton);
    EXPECT_EQ(log[1].event.x, 10);
    EXPECT_EQ(log[1].event.y, 20);
    EXPECT_EQ(log[2].event.type, mxEvent::MouseDrag);
    EXPECT_EQ(log[2].event.buttons, mxEvent::LeftButton);
    EXPECT_EQ(log[3].event.type, mxEvent::MouseUp);
    EXPECT_EQ(log[3].event.buttons, mxEvent::LeftButton);
    EXPECT_EQ(log[4].event.type, mxEvent::MouseMove);
}

TEST_F(WindowProcedure, ReleasingOneOfTwoButtonsEndsTheDrag) {
    send(window, WM_LBUTTONDOWN, MK_LBUTTON, packed(1, 1));
    send(window, WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, packed(1, 1));
    send(window, WM_LBUTTONUP, MK_RBUTTON, packed(2, 2));
    send(window, WM_MOUSEMOVE, MK_RBUTTON, packed(3, 3));
    send(window, WM_RBUTTONUP, 0, packed(3, 3));
    ASSERT_EQ(log.size(), 5u);
    EXPECT_EQ(log[1].event.type, mxEvent::MouseDown);
    EXPECT_EQ(log[1].event.buttons, 3);
    EXPECT_EQ(log[2].event.type, mxEvent::MouseUp);
    EXPECT_EQ(log[2].event.buttons, 3);
    EXPECT_EQ(log[3].event.type, mxEvent::MouseMove);
    EXPECT_EQ(log[3].event.buttons, mxEvent::RightButton);
    EXPECT_EQ(log[4].event.buttons, mxEvent::RightButton);
}

TEST_F(WindowProcedure, MiddleClickCarriesModifiers) {
    send(window, WM_MBUTTONDOWN, MK_MBUTTON | MK_CONTROL | MK_SHIFT, packed(7, 8));
    send(window, WM_MBUTTONUP, MK_CONTROL | MK_SHIFT, packed(7, 8));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].event.buttons, mxEvent::MiddleButton);
    EXPECT_EQ(log[0].event.modifiers, mxEvent::ControlKey | mxEvent::ShiftKey);
    EXPECT_EQ(log[1].event.type, mxEvent::MouseUp);
    EXPECT_EQ(log[1].event.buttons, mxEvent::MiddleButton);
    EXPECT_EQ(log[1].event.modifiers, 3);
}

TEST_F(WindowProcedure, CoordinatesAreUnsignedSixteenBit) {
    send(window, WM_LBUTTONDOWN, MK_LBUTTON, packed(3, 3));
    // Pointer 20 left of and 10 above the client area while captured.
    send(window, WM_MOUSEMOVE, MK_LBUTTON, packed(static_cast<unsigned>(-20), static_cast<unsigned>(-10)));
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].event.type, mxEvent::MouseDrag);
    EXPECT_EQ(log[1].event.x, 65516);
    EXPECT_EQ(log[1].event.y, 65526);
}

TEST_F(WindowProcedure, CaptureBookkeepingRunsWithoutAnObject) {
    NativeWindowCreation c;
    c.className = mxWindowClassName;
    NativeWindow bare = platform::createWindow(c);
    ASSERT_NE(bare, nullptr);
    platform::sendMessage(bare, WM_RBUTTONDOWN, MK_RBUTTON, 0);
    EXPECT_TRUE(mxAppCaptured());
    platform::sendMessage(bare, WM_MOUSEMOVE, MK_RBUTTON, 0);
    platform::sendMessage(bare, WM_RBUTTONUP, 0, 0);
    EXPECT_FALSE(mxAppCaptured());
    EXPECT_TRUE(log.empty());
}

TEST_F(WindowProcedure, HandlerMayDestroyItsOwnWindow) {
    window->onEvent = [this](mxEvent*) {
        delete window;
        window = nullptr;
        return 1;
    };
    NativeWindow handle = window->getHandle();
    platform::sendMessage(handle, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    EXPECT_EQ(window, nullptr);
    EXPECT_TRUE(mxAppRegisteredWidgets().empty());
    // The native window went with the object; later messages for it find nothing.
    EXPECT_EQ(platform::sendMessage(handle, WM_LBUTTONUP, 0, 0), 0);
    char name[32];
    EXPECT_EQ(platform::getClassName(handle, name, sizeof(name)), 0);
}

class Commands : public WindowProcedure {
protected:
    void SetUp() override {
        WindowProcedure::SetUp();
        child = new RecordingWindow(&log, window);
    }
    intptr_t command(mxWidget* control, unsigned id, unsigned code) {
        return send(child, WM_COMMAND, (static_cast<uintptr_t>(code) << 16) | id,
                    reinterpret_cast<intptr_t>(control ? control->getHandle() : nullptr));
    }
    RecordingWindow* child = nullptr;
};

TEST_F(Commands, EditFieldsPassOnlyTextChanges) {
    ControlWidget* edit = new ControlWidget(child, "edit", 5);
    command(edit, 5, 0x0100);  // focus change
    EXPECT_TRUE(log.empty());
    command(edit, 5, EN_CHANGE);
    ASSERT_GE(log.size(), 1u);
    EXPECT_EQ(log[0].window, child);
    EXPECT_EQ(log[0].event.type, mxEvent::Action);
    EXPECT_EQ(log[0].event.widget, edit);
    EXPECT_EQ(log[0].event.action, 5);
}

TEST_F(Commands, ComboAndListBoxesPassOnlySelectionChanges) {
    ControlWidget* combo = new ControlWidget(child, "ComboBox", 6);
    ControlWidget* list = new ControlWidget(child, "listbox", 7);
    command(combo, 6, 3);
    command(list, 7, 2);
    EXPECT_TRUE(log.empty());
    child->answer = 1;
    command(combo, 6, CBN_SELCHANGE);
    command(list, 7, LBN_SELCHANGE);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].event.widget, combo);
    EXPECT_EQ(log[1].event.widget, list);
    EXPECT_EQ(log[1].event.action, 7);
}

TEST_F(Commands, OtherControlsAndMenusAlwaysPass) {
    ControlWidget* button = new ControlWidget(child, "button", 8);
    child->answer = 1;
    command(button, 8, BN_CLICKED);
    command(button, 8, 0x1234);
    command(nullptr, 0xFFFF, 0);  // from a menu: no control, largest identifier
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[1].event.widget, button);
    EXPECT_EQ(log[2].event.widget, nullptr);
    EXPECT_EQ(log[2].event.action, 65535);
}

TEST_F(Commands, IdentifierZeroOrNoObjectDeliversNothing) {
    ControlWidget* button = new ControlWidget(child, "button", 0);
    command(button, 0, BN_CLICKED);
    NativeWindowCreation c;
    c.className = mxWindowClassName;
    NativeWindow bare = platform::createWindow(c);
    platform::sendMessage(bare, WM_COMMAND, 9, reinterpret_cast<intptr_t>(button->getHandle()));
    EXPECT_TRUE(log.empty());
}

TEST_F(Commands, GoUpTheParentChainUntilHandled) {
    ControlWidget* button = new ControlWidget(child, "button", 4);
    command(button, 4, BN_CLICKED);  // child answers 0, the parent 0
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].window, child);
    EXPECT_EQ(log[1].window, window);
    log.clear();
    child->answer = 1;
    command(button, 4, BN_CLICKED);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].window, child);
}

TEST_F(Commands, ScrollingGoesToTheControlsParent) {
    RecordingWindow* other = new RecordingWindow(&log);
    ControlWidget* bar = new ControlWidget(child, "scrollbar", 11);
    intptr_t barHandle = reinterpret_cast<intptr_t>(bar->getHandle());
    // Received by another window: delivery still starts at the bar's parent.
    send(other, WM_HSCROLL, SB_THUMBPOSITION, barHandle);
    EXPECT_TRUE(log.empty());
    send(other, WM_HSCROLL, (123u << 16) | SB_THUMBTRACK, barHandle);
    send(other, WM_VSCROLL, SB_ENDSCROLL, barHandle);
    ASSERT_EQ(log.size(), 4u);  // child, then window, twice
    EXPECT_EQ(log[0].window, child);
    EXPECT_EQ(log[0].event.type, mxEvent::Action);
    EXPECT_EQ(log[0].event.widget, bar);
    EXPECT_EQ(log[0].event.action, 11);
    EXPECT_EQ(log[1].window, window);
    log.clear();
    bar->setId(0);
    send(other, WM_VSCROLL, SB_THUMBTRACK, barHandle);
    send(other, WM_VSCROLL, SB_THUMBTRACK, 0);  // a window's own scroll bar
    EXPECT_TRUE(log.empty());
}

class Notifications : public WindowProcedure {
protected:
    intptr_t notify(mxWidget* source, uintptr_t id, unsigned code) {
        NativeNotifyHeader header;
        header.source = source ? source->getHandle() : nullptr;
        header.sourceId = id;
        header.code = code;
        return send(window, WM_NOTIFY, id, reinterpret_cast<intptr_t>(&header));
    }
};

TEST_F(Notifications, TreeSelectionCarriesItemCorner) {
    ControlWidget* tree = new ControlWidget(window, "SysTreeView32", 3);
    fakeControls().itemRect = NativeRect{12, 30, 80, 46};
    window->answer = 1;
    notify(tree, 3, TVN_SELCHANGEDA);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Action);
    EXPECT_EQ(log[0].event.widget, tree);
    EXPECT_EQ(log[0].event.action, 3);
    EXPECT_EQ(log[0].event.x, 12);
    EXPECT_EQ(log[0].event.y, 46);
    EXPECT_EQ(log[0].event.flags, 0);
    // The item handle went in the first word of the rectangle.
    EXPECT_EQ(fakeControls().lastItemInRect, 0x1234);
}

TEST_F(Notifications, ItemCornerIsZeroWhenTheTreeCannotTell) {
    ControlWidget* tree = new ControlWidget(window, "SysTreeView32", 3);
    fakeControls().itemRectAnswers = false;
    notify(tree, 3, TVN_SELCHANGEDA);
    fakeControls().itemRectAnswers = true;
    fakeControls().selectedItem = 0;
    notify(tree, 3, TVN_SELCHANGEDA);
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].event.x, 0);
    EXPECT_EQ(log[0].event.y, 0);
    EXPECT_EQ(log[1].event.x, 0);
    EXPECT_EQ(log[1].event.y, 0);
}

TEST_F(Notifications, ClicksTakeTheCornerOnlyFromTreeViewWidgets) {
    ControlWidget* tree = new ControlWidget(window, "SysTreeView32", 3);
    fakeControls().itemRect = NativeRect{1, 2, 3, 4};
    EXPECT_EQ(notify(tree, 3, NM_RCLICK), 0);
    tree->setType(mxWidget::TypeTreeView);
    EXPECT_EQ(notify(tree, 3, NM_RCLICK), 0);
    EXPECT_EQ(notify(tree, 3, NM_DBLCLK), 1);  // default handling skipped
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].event.flags, mxEvent::RightClicked);
    EXPECT_EQ(log[0].event.x, 0);
    EXPECT_EQ(log[1].event.x, 1);
    EXPECT_EQ(log[1].event.y, 4);
    EXPECT_EQ(log[2].event.flags, mxEvent::DoubleClicked);
    EXPECT_EQ(log[2].event.x, 1);
}

TEST_F(Notifications, IdentifierZeroDeliversNothing) {
    ControlWidget* tree = new ControlWidget(window, "SysTreeView32", 0);
    tree->setType(mxWidget::TypeTreeView);
    notify(tree, 0, TVN_SELCHANGEDA);
    notify(tree, 0, NM_RCLICK);
    EXPECT_EQ(notify(tree, 0, NM_DBLCLK), 0);     // default handling
    notify(tree, 3, -12345);                      // unknown code
    EXPECT_EQ(send(window, WM_NOTIFY, 3, 0), 0);  // no header at all
    EXPECT_TRUE(log.empty());
}

TEST_F(Notifications, NothingWhileQuitting) {
    ControlWidget* tree = new ControlWidget(window, "SysTreeView32", 3);
    mxAppSetQuitting();
    notify(tree, 3, TVN_SELCHANGEDA);
    EXPECT_EQ(notify(tree, 3, NM_DBLCLK), 0);
    EXPECT_TRUE(log.empty());
    EXPECT_TRUE(fakeControls().queries.empty());
}

TEST_F(Notifications, TabChangeHidesOldPageThenShowsNewOne) {
    ControlWidget* tab = new ControlWidget(window, "SysTabControl32", 9, 0, 0, 200, 100);
    RecordingWindow* page0 = new RecordingWindow(nullptr, window);
    RecordingWindow* page1 = new RecordingWindow(nullptr, window);
    fakeControls().tabPages = {page0, page1};
    window->setVisible(true);  // a child is visible only with its parent
    page1->setVisible(false);
    ASSERT_TRUE(platform::isWindowVisible(page0->getHandle()));
    window->answer = 1;

    fakeControls().currentTab = 0;
    EXPECT_EQ(notify(tab, 9, TCN_SELCHANGING), 0);
    EXPECT_FALSE(platform::isWindowVisible(page0->getHandle()));
    EXPECT_TRUE(log.empty());

    fakeControls().currentTab = 1;
    fakeControls().queries.clear();
    notify(tab, 9, TCN_SELCHANGE);
    EXPECT_TRUE(platform::isWindowVisible(page1->getHandle()));
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Action);
    EXPECT_EQ(log[0].event.widget, tab);
    EXPECT_EQ(log[0].event.action, 9);
    EXPECT_EQ(fakeControls().queries.front(), static_cast<unsigned>(TCM_GETCURSEL));
}

TEST_F(Notifications, TabChangingWithoutCurrentTabOrPageIsHarmless) {
    ControlWidget* tab = new ControlWidget(window, "SysTabControl32", 9);
    fakeControls().currentTab = -1;
    notify(tab, 9, TCN_SELCHANGING);
    fakeControls().currentTab = 0;
    fakeControls().tabPages = {nullptr};
    notify(tab, 9, TCN_SELCHANGING);
    notify(tab, 9, TCN_SELCHANGE);
    ASSERT_EQ(log.size(), 1u);  // the change itself is still announced
}

}  // namespace
