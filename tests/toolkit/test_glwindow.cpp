// The GL window with a real rendering context: on SDL's offscreen driver,
// and under Wine on its WGL.
#include <GL/gl.h>
#include <gtest/gtest.h>

#include "recording.h"
#include "toolkit/mxGlWindow.h"
#include "toolkit/platform_testing.h"

namespace {

class CountingGlWindow : public mxGlWindow {
public:
    CountingGlWindow(int* destroyed = nullptr)
        : mxGlWindow(nullptr, 0, 0, 64, 48, "", mxWindow::Popup), destroyed_(destroyed) {}
    ~CountingGlWindow() override {
        if (destroyed_) ++*destroyed_;
    }
    void draw() override {
        ++draws;
        glClearColor(0, 0, 1, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }
    int draws = 0;

private:
    int* destroyed_;
};

int callbackCalls = 0;
void clearToRed() {
    ++callbackCalls;
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
}

GLint glInteger(GLenum name) {
    GLint value = -1;
    glGetIntegerv(name, &value);
    return value;
}

void expectPixel(int r, int g, int b) {
    unsigned char pixel[4] = {};
    glReadPixels(1, 1, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    EXPECT_EQ(pixel[0], r);
    EXPECT_EQ(pixel[1], g);
    EXPECT_EQ(pixel[2], b);
}

class GlWindow : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(mxAppInit(0, nullptr), 1); }
};

TEST_F(GlWindow, DefaultFormatGivesWorkingContext) {
    CountingGlWindow* w = new CountingGlWindow;
    ASSERT_EQ(w->getType(), mxWidget::TypeGlWindow);
    // Current when the constructor returns: GL calls work at once.
    ASSERT_NE(platform_testing::currentGlContext(), nullptr);
    ASSERT_NE(glGetString(GL_VERSION), nullptr);
    EXPECT_EQ(glInteger(GL_RED_BITS), 8);  // 24 colour bits asked for
    EXPECT_GE(glInteger(GL_DEPTH_BITS), 16);
    EXPECT_EQ(platform_testing::outstandingDeviceContexts(), 1);
    EXPECT_EQ(platform_testing::liveGlContexts(), 1);
}

TEST_F(GlWindow, DefaultFormatReachesTheNativeWindow) {
    mxGlWindow::setDefaultFormat(0, 16, 16);
    CountingGlWindow* w16 = new CountingGlWindow;
    ASSERT_EQ(w16->getType(), mxWidget::TypeGlWindow);
    EXPECT_GE(glInteger(GL_RED_BITS), 5);
    EXPECT_EQ(glInteger(GL_DEPTH_BITS), 16);
    // A deeper request reaches the surface too: the format is not fixed
    // anywhere else.
    mxGlWindow::setDefaultFormat(0, 24, 24);
    CountingGlWindow* w24 = new CountingGlWindow;
    ASSERT_EQ(w24->getType(), mxWidget::TypeGlWindow);
    EXPECT_GE(glInteger(GL_DEPTH_BITS), 24);
    // Windows made earlier keep theirs.
    ASSERT_TRUE(w16->makeCurrent());
    EXPECT_EQ(glInteger(GL_DEPTH_BITS), 16);
}

TEST_F(GlWindow, RedrawDrawsOnceAndSwapsOnce) {
    CountingGlWindow* w = new CountingGlWindow;
    int swaps = platform_testing::swapCount();
    EXPECT_TRUE(w->redraw());
    EXPECT_EQ(w->draws, 1);
    EXPECT_EQ(platform_testing::swapCount(), swaps + 1);
    expectPixel(0, 0, 255);

    w->setDrawCallback(clearToRed);
    w->redraw();
    EXPECT_EQ(callbackCalls, 1);
    EXPECT_EQ(w->draws, 1);
    expectPixel(255, 0, 0);

    w->setDrawCallback(nullptr);
    w->redraw();
    EXPECT_EQ(w->draws, 2);
    EXPECT_EQ(platform_testing::swapCount(), swaps + 3);
}

TEST_F(GlWindow, PaintRequestDrawsOnceWithoutErasing) {
    CountingGlWindow* w = new CountingGlWindow;
    w->setVisible(true);
    int swaps = platform_testing::swapCount();
    NativeMessage m;
    int paints = 0;
    while (platform::peekMessage(&m)) {
        platform::getMessage(&m);
        paints += m.message == WM_PAINT;
        platform::dispatchMessage(m);
    }
    EXPECT_GE(paints, 1);
#ifndef _WIN32
    EXPECT_EQ(paints, 1);  // Wine asks twice for a window just shown
#endif
    // Each paint request is one draw and one swap.
    EXPECT_EQ(w->draws, paints);
    EXPECT_EQ(platform_testing::swapCount(), swaps + paints);
    EXPECT_EQ(platform::sendMessage(w->getHandle(), WM_ERASEBKGND, 0, 0), 0);
}

TEST_F(GlWindow, MakeCurrentSwitchesBetweenWindows) {
    CountingGlWindow* a = new CountingGlWindow;
    const void* first = platform_testing::currentGlContext();
    CountingGlWindow* b = new CountingGlWindow;
    const void* second = platform_testing::currentGlContext();
    EXPECT_NE(first, second);
    EXPECT_TRUE(a->makeCurrent());
    EXPECT_EQ(platform_testing::currentGlContext(), first);
    b->redraw();
    EXPECT_EQ(platform_testing::currentGlContext(), second);
}

TEST_F(GlWindow, DestructionGivesEverythingBack) {
    CountingGlWindow* w = new CountingGlWindow;
    delete w;
    EXPECT_EQ(platform_testing::outstandingDeviceContexts(), 0);
    EXPECT_EQ(platform_testing::liveGlContexts(), 0);
    EXPECT_EQ(platform_testing::currentGlContext(), nullptr);
}

// A failed window keeps type 17, holds nothing, is never drawn into, and
// is destroyed once: here by the quit, which finds it still registered.
void expectFailedWindow(CountingGlWindow* w, int* destroyed) {
    EXPECT_EQ(w->getType(), mxWidget::TypeWindow);
    EXPECT_EQ(platform_testing::outstandingDeviceContexts(), 0);
    EXPECT_EQ(platform_testing::liveGlContexts(), 0);
    int swaps = platform_testing::swapCount();
    w->setDrawCallback(clearToRed);
    EXPECT_FALSE(w->makeCurrent());
    EXPECT_FALSE(w->swapBuffers());
    EXPECT_FALSE(w->redraw());
    platform::sendMessage(w->getHandle(), WM_PAINT, 0, 0);
    EXPECT_EQ(w->draws, 0);
    EXPECT_EQ(callbackCalls, 0);
    EXPECT_EQ(platform_testing::swapCount(), swaps);
    EXPECT_NE(platform::sendMessage(w->getHandle(), WM_ERASEBKGND, 0, 0), 0);  // erased as any window
    EXPECT_EQ(mxAppRegisteredWidgets().size(), 1u);
    mxAppQuit();
    EXPECT_EQ(*destroyed, 1);
}

TEST_F(GlWindow, ImpossibleFormatFails) {
#ifdef _WIN32
    GTEST_SKIP() << "ChoosePixelFormat offers the closest format there is, never none";
#endif
    mxGlWindow::setDefaultFormat(0, 24, 64);
    int destroyed = 0;
    CountingGlWindow* w = new CountingGlWindow(&destroyed);
    ASSERT_NE(w->getHandle(), nullptr);  // the window itself exists
    expectFailedWindow(w, &destroyed);
}

TEST_F(GlWindow, EveryFailingStepLeavesNothingBehind) {
    using platform_testing::GlStep;
    bool first = true;
    for (GlStep step :
         {GlStep::ChoosePixelFormat, GlStep::SetPixelFormat, GlStep::CreateContext, GlStep::MakeCurrent}) {
        SCOPED_TRACE(static_cast<int>(step));
        if (!first) {
            ASSERT_EQ(mxAppInit(0, nullptr), 1);
        }
        first = false;
        platform_testing::failNextGlStep(step);
        int destroyed = 0;
        CountingGlWindow* w = new CountingGlWindow(&destroyed);
        expectFailedWindow(w, &destroyed);
        NativeMessage m;
        while (platform::peekMessage(&m)) platform::getMessage(&m);
    }
}

TEST_F(GlWindow, OwnerMayDeleteAFailedWindow) {
    platform_testing::failNextGlStep(platform_testing::GlStep::MakeCurrent);
    int destroyed = 0;
    CountingGlWindow* w = new CountingGlWindow(&destroyed);
    EXPECT_EQ(w->getType(), mxWidget::TypeWindow);
    delete w;
    EXPECT_EQ(destroyed, 1);
    EXPECT_TRUE(mxAppRegisteredWidgets().empty());
    mxAppQuit();
    EXPECT_EQ(destroyed, 1);
}

}  // namespace
