// Widgets and windows: construction, the native side of the accessors,
// combo-box and tab-control geometry.
#include <gtest/gtest.h>

#include "recording.h"

namespace {

NativeRect clientRectInParent(mxWidget* w) {
    NativeRect r{};
    platform::getWindowRect(w->getHandle(), &r);
    NativePoint a{r.left, r.top}, b{r.right, r.bottom};
    NativeWindow parent = platform::getParent(w->getHandle());
    platform::screenToClient(parent, &a);
    platform::screenToClient(parent, &b);
    return NativeRect{a.x, a.y, b.x, b.y};
}

void registerClass(const char* name) {
    NativeWindowClass c;
    c.name = name;
    c.procedure = platform::defWindowProc;
    ASSERT_TRUE(platform::registerWindowClass(c));
}

class Widgets : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(mxAppInit(0, nullptr), 1); }
};

TEST_F(Widgets, PopupWindowStartsHiddenAndShowsOnRequest) {
    mxWindow* w = new mxWindow(nullptr, 30, 40, 320, 240, "title", mxWindow::Popup);
    ASSERT_NE(w->getHandle(), nullptr);
    EXPECT_EQ(w->getType(), mxWidget::TypeWindow);
    EXPECT_EQ(w->getParent(), nullptr);
    EXPECT_FALSE(platform::isWindowVisible(w->getHandle()));
    // Top-level windows clip their siblings, as Windows gives them.
    EXPECT_EQ(platform::getWindowLong(w->getHandle(), GWL_STYLE), static_cast<intptr_t>(WS_POPUP | WS_CLIPSIBLINGS));
    w->setVisible(true);
    EXPECT_TRUE(platform::isWindowVisible(w->getHandle()));
    EXPECT_EQ(w->getWidth(), 320);
    EXPECT_EQ(w->getHeight(), 240);
    NativeRect r;
    ASSERT_TRUE(platform::getWindowRect(w->getHandle(), &r));
    EXPECT_EQ(r.left, 30);
    EXPECT_EQ(r.top, 40);
    // The window leads back to its object.
    EXPECT_EQ(platform::getWindowLong(w->getHandle(), GWLP_USERDATA),
              reinterpret_cast<intptr_t>(static_cast<mxWidget*>(w)));
}

TEST_F(Widgets, SizeNoDisplayCanHaveGetsNoNativeWindow) {
    // Refused at once, as a window that could not be created: no native
    // window, nothing drawn, every native operation a no-op.
    mxWindow* huge = new mxWindow(nullptr, 0, 0, 100000, 100000, "", mxWindow::Popup);
    EXPECT_EQ(huge->getHandle(), nullptr);
    EXPECT_EQ(huge->getWidth(), 0);
    mxWindow* wide = new mxWindow(nullptr, 0, 0, 16385, 10, "", mxWindow::Popup);
    EXPECT_EQ(wide->getHandle(), nullptr);
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 100, 100, "", mxWindow::Popup);
    mxWindow* tallChild = new mxWindow(parent, 0, 0, 10, 16385, "", mxWindow::Popup);
    EXPECT_EQ(tallChild->getHandle(), nullptr);
    // The largest size a GL driver renders whole is still a window.
    mxWindow* largest = new mxWindow(nullptr, 0, 0, 16384, 16384, "", mxWindow::Popup);
    EXPECT_NE(largest->getHandle(), nullptr);
    EXPECT_EQ(largest->getWidth(), 16384);
}

TEST_F(Widgets, StyleCodesChooseTheNativeStyle) {
    auto styleOf = [](int code) {
        mxWindow w(nullptr, 0, 0, 10, 10, "", code);
        return static_cast<uint32_t>(platform::getWindowLong(w.getHandle(), GWL_STYLE)) & ~WS_CLIPSIBLINGS;
    };
    EXPECT_EQ(styleOf(0), WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(styleOf(1), WS_POPUP);
    EXPECT_EQ(styleOf(2), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(styleOf(3), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(styleOf(42), WS_OVERLAPPEDWINDOW);  // codes nobody defined look like 0
}

TEST_F(Widgets, ChildIsAVisibleChildWhateverItsStyle) {
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 100, 100, "", mxWindow::Popup);
    mxWindow* child = new mxWindow(parent, 5, 6, 20, 30, "", mxWindow::Popup);
    EXPECT_EQ(platform::getParent(child->getHandle()), parent->getHandle());
    EXPECT_EQ(platform::getWindowLong(child->getHandle(), GWL_STYLE), static_cast<intptr_t>(WS_CHILD | WS_VISIBLE));
    EXPECT_EQ(child->getParent(), parent);
    EXPECT_EQ(mxAppMainWindow(), parent);
    NativeRect r = clientRectInParent(child);
    EXPECT_EQ(r.left, 5);
    EXPECT_EQ(r.top, 6);
    EXPECT_EQ(child->getWidth(), 20);
    EXPECT_EQ(child->getHeight(), 30);
}

TEST_F(Widgets, AccessorsReachTheNativeWindow) {
    mxWindow* w = new mxWindow(nullptr, 0, 0, 100, 100, "", mxWindow::Popup);
    w->setId(77);
    EXPECT_EQ(w->getId(), 77);
    EXPECT_EQ(platform::getWindowLong(w->getHandle(), GWLP_ID), 77);
    w->setEnabled(false);
    EXPECT_FALSE(platform::isWindowEnabled(w->getHandle()));
    w->setEnabled(true);
    EXPECT_TRUE(platform::isWindowEnabled(w->getHandle()));
    w->setBounds(3, 4, 50, 60);
    EXPECT_EQ(w->getWidth(), 50);
    EXPECT_EQ(w->getHeight(), 60);
}

TEST_F(Widgets, WidgetWithoutNativeWindowIgnoresNativeOperations) {
    mxWidget* w = new mxWidget(nullptr, 1, 2, 3, 4, "label");
    EXPECT_EQ(w->getType(), mxWidget::TypeUntyped);
    w->setLabel("other");
    w->setBounds(1, 2, 3, 4);
    w->setVisible(true);
    w->setId(5);
    EXPECT_EQ(w->getId(), 0);
    EXPECT_EQ(w->getWidth(), 0);
    EXPECT_EQ(w->getHeight(), 0);
    delete w;
}

TEST_F(Widgets, ComboBoxHeightIncludesItsListOnlyForTheExactClassName) {
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 300, 300, "", mxWindow::Popup);
    registerClass("COMBOBOX");
    ControlWidget* combo = new ControlWidget(parent, "COMBOBOX", 1);
    combo->setBounds(10, 10, 80, 20);
    EXPECT_EQ(combo->getHeight(), 120);
    delete combo;
    ASSERT_TRUE(platform::unregisterWindowClass("combobox"));
    registerClass("ComboBox");
    combo = new ControlWidget(parent, "ComboBox", 1);
    combo->setBounds(10, 10, 80, 20);
    EXPECT_EQ(combo->getHeight(), 20);
}

TEST_F(Widgets, MenuWidgetsReleaseTheirHandleAsAMenu) {
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 300, 300, "", mxWindow::Popup);
    registerClass("button");
    NativeWindow handle = nullptr;
    for (int type : {8, 9, 10}) {
        ControlWidget* menu = new ControlWidget(parent, "button", 1);
        handle = menu->getHandle();
        menu->setType(type);
        delete menu;
        // Not destroyed as a window: the native window is still there.
        char name[16];
        EXPECT_GT(platform::getClassName(handle, name, sizeof name), 0) << type;
    }
    ControlWidget* button = new ControlWidget(parent, "button", 1);
    handle = button->getHandle();
    delete button;
    char name[16];
    EXPECT_EQ(platform::getClassName(handle, name, sizeof name), 0);
}

TEST_F(Widgets, TabPageFillsTheDisplayArea) {
    registerFakeControlClasses();
    mxWindow* parent = new mxWindow(nullptr, 15, 25, 400, 300, "", mxWindow::Popup);
    parent->setVisible(true);  // a child is visible only with its parent
    ControlWidget* tab = new ControlWidget(parent, "SysTabControl32", 1);
    RecordingWindow* page = new RecordingWindow(nullptr, parent);
    page->setVisible(false);
    fakeControls().tabPages = {page};
    fakeControls().currentTab = 0;
    fakeControls().tabHeader = NativeRect{0, 2, 60, 22};
    // Moving a tab control lays out its page.
    tab->setBounds(0, 0, 200, 100);
    NativeRect r = clientRectInParent(page);
    EXPECT_EQ(r.left, 4);
    EXPECT_EQ(r.top, 26);
    EXPECT_EQ(r.right - r.left, 192);
    EXPECT_EQ(r.bottom - r.top, 70);
    EXPECT_TRUE(platform::isWindowVisible(page->getHandle()));
    // The tab control itself stays where it is.
    NativeRect t = clientRectInParent(tab);
    EXPECT_EQ(t.right, 200);
    EXPECT_EQ(t.bottom, 100);
}

TEST_F(Widgets, TabLayoutStopsWithoutTabOrPage) {
    registerFakeControlClasses();
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 400, 300, "", mxWindow::Popup);
    ControlWidget* tab = new ControlWidget(parent, "SysTabControl32", 1);
    RecordingWindow* page = new RecordingWindow(nullptr, parent);
    page->setBounds(1, 1, 5, 5);
    fakeControls().tabPages = {page};
    fakeControls().currentTab = -1;
    layoutTabPage(tab->getHandle());
    fakeControls().currentTab = 0;
    fakeControls().tabPages = {nullptr};
    layoutTabPage(tab->getHandle());
    layoutTabPage(nullptr);
    EXPECT_EQ(page->getWidth(), 5);
}

TEST_F(Widgets, SizingAChildTellsItItsNewSize) {
    std::vector<Delivery> log;
    mxWindow* parent = new mxWindow(nullptr, 0, 0, 400, 300, "", mxWindow::Popup);
    RecordingWindow* child = new RecordingWindow(&log, parent);
    child->setBounds(0, 0, 120, 90);
    child->setBounds(5, 5, 120, 90);  // moved only
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event.type, mxEvent::Size);
    EXPECT_EQ(log[0].event.width, 120);
    EXPECT_EQ(log[0].event.height, 90);
}

}  // namespace
