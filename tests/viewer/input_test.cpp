// The animation clock and the user's controls, with a clock the test drives.
#include <climits>
#include <cmath>

#include "model/model.h"
#include "tests/viewer/viewer_fixture.h"

namespace viewertest {
namespace {

uint32_t fakeNow = 0;
uint32_t fakeClock() { return fakeNow; }

class Input : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        animationClock = fakeClock;
        window = new CountingWindow;
        ASSERT_TRUE(window->hasContext());
    }
    void TearDown() override {
        delete window;
        ViewerTest::TearDown();
    }
    int send(int type, int key = 0, int x = 0, int y = 0, int buttons = 0, int modifiers = 0) {
        mxEvent event;
        event.type = type;
        event.key = key;
        event.x = x;
        event.y = y;
        event.buttons = buttons;
        event.modifiers = modifiers;
        return window->handleEvent(&event);
    }
    int tickAt(uint32_t now) {
        fakeNow = now;
        return send(mxEvent::Idle);
    }
    std::pair<int, int> frames() const { return {window->currentFrame, window->nextFrame}; }
    void loadFrames(int count) {
        writeModelWithFrames("m.md2", count);
        ASSERT_NE(window->loadModel("m.md2", MODEL_MAIN), nullptr);
    }

    CountingWindow* window = nullptr;
};

TEST_F(Input, AnimationLoopsOverTheRange) {
    window->startFrame = 0, window->endFrame = 3;
    window->currentFrame = 0, window->nextFrame = 1;
    window->msPerFrame = 100;
    EXPECT_EQ(tickAt(5000), 1);  // the first tick only starts the clock
    EXPECT_EQ(frames(), std::make_pair(0, 1));
    EXPECT_EQ(window->frameFraction, 0);
    std::vector<std::pair<int, int>> seen;
    uint32_t now = 5000;
    for (int step = 0; step < 5; ++step) {
        now += 101;
        tickAt(now);
        seen.push_back(frames());
    }
    EXPECT_EQ(seen, (std::vector<std::pair<int, int>>{{1, 2}, {2, 3}, {3, 0}, {0, 1}, {1, 2}}));
}

TEST_F(Input, StepsOnlyPastAWholeFrameAndAtMostOneAtATime) {
    window->endFrame = 9;
    window->currentFrame = 0, window->nextFrame = 1;
    window->msPerFrame = 125;
    tickAt(1000);
    tickAt(1000 + 125);  // exactly one frame's time: fraction 1, no step
    EXPECT_EQ(window->frameFraction, 1);
    EXPECT_EQ(frames(), std::make_pair(0, 1));
    tickAt(1000 + 126);
    EXPECT_EQ(frames(), std::make_pair(1, 2));
    EXPECT_NEAR(window->frameFraction, 1.0f / 125, 1e-6);  // the millisecond past the step is kept
    tickAt(1000 + 126 + 2000);                           // a two-second stall: still one step
    EXPECT_EQ(frames(), std::make_pair(2, 3));
    tickAt(1000 + 126 + 2000 + 50);
    EXPECT_FLOAT_EQ(window->frameFraction, 0.4f);
    EXPECT_EQ(window->draws, 5);  // every tick redraws, the first included
}

// Idle events about every 17.5 ms (the loop's pace at 60 Hz): dropping what
// lies past each step made 20 ms per frame play at 35 and every speed under
// 17 ms look the same. Kept, steps come every msPerFrame on average.
TEST_F(Input, StepsFollowTheClockWhateverThePaceOfTicks) {
    window->endFrame = 1 << 30;
    uint32_t now = 5000;
    for (float ms : {20.0f, 50.0f, 125.0f, 10.0f}) {
        tickAt(now);
        window->currentFrame = 0, window->nextFrame = 1, window->frameFraction = 0;
        window->msPerFrame = ms;
        for (int i = 0; i < 286; ++i) tickAt(now += (i % 2 ? 18 : 17));  // 5005 ms
        const double expected = 5005 / double(ms < 17.5f ? 17.5f : ms);  // at most one step per tick
        EXPECT_NEAR(window->currentFrame, expected, expected * 0.01) << ms;
    }
}

// The step compares before it adds: frame numbers at the end of the int
// range wrap to the start instead of overflowing.
TEST_F(Input, FramesAtTheEndOfTheIntRangeWrapToTheStart) {
    window->startFrame = 3, window->endFrame = INT_MAX;
    window->currentFrame = INT_MAX, window->nextFrame = INT_MAX - 1;
    window->msPerFrame = 10;
    tickAt(100);
    tickAt(111);
    EXPECT_EQ(frames(), std::make_pair(3, INT_MAX));
    tickAt(122);
    EXPECT_EQ(frames(), std::make_pair(4, 3));
}

TEST_F(Input, ClockWrapAroundIsASmallStep) {
    window->endFrame = 9;
    window->msPerFrame = 100;
    tickAt(0xFFFFFFF0u);
    tickAt(0x00000010u);  // 32 ms later, across the wrap
    EXPECT_FLOAT_EQ(window->frameFraction, 0.32f);
}

TEST_F(Input, FirstTickOnALateClockStillAnimates) {
    // A counter past 2^31 at the first tick must not hold the animation back.
    window->endFrame = 9;
    window->msPerFrame = 100;
    tickAt(0x90000000u);
    EXPECT_EQ(window->frameFraction, 0);
    tickAt(0x90000000u + 150);
    EXPECT_EQ(frames(), std::make_pair(1, 1));  // next was 0 and stepped to 1
}

TEST_F(Input, StartAfterEndStandsStillAtTheStart) {
    window->startFrame = 5, window->endFrame = 2;
    window->currentFrame = 2, window->nextFrame = 3;
    window->msPerFrame = 10;
    uint32_t now = 100;
    tickAt(now);
    for (int i = 0; i < 4; ++i) tickAt(now += 11);
    EXPECT_EQ(frames(), std::make_pair(5, 5));
}

TEST_F(Input, PauseNeitherTicksNorRedraws) {
    window->endFrame = 9;
    window->msPerFrame = 100;
    tickAt(1000);
    tickAt(1050);
    const int draws = window->draws;
    EXPECT_EQ(send(mxEvent::KeyDown, 'p'), 1);
    EXPECT_TRUE(window->flags & FLAG_PAUSED);
    EXPECT_EQ(window->draws, draws);  // pausing does not redraw
    EXPECT_EQ(tickAt(9000), 0);       // paused ticks tell the loop there is nothing to do
    EXPECT_EQ(window->draws, draws);
    EXPECT_FLOAT_EQ(window->frameFraction, 0.5f);
    send(mxEvent::KeyDown, 'p');
    tickAt(9001);  // the whole pause counts: one step completes at once
    EXPECT_EQ(frames(), std::make_pair(1, 1));
}

TEST_F(Input, NoTimePerFrameStepsOnEveryTick) {
    window->endFrame = 3;
    window->currentFrame = 0, window->nextFrame = 1;
    window->setMsPerFrame(0);
    tickAt(500);
    EXPECT_EQ(frames(), std::make_pair(1, 2));
    tickAt(500);  // no time passed: still a step, and no fraction that is not a number
    EXPECT_EQ(frames(), std::make_pair(2, 3));
    EXPECT_EQ(window->frameFraction, 0);
}

TEST_F(Input, FractionThatIsNoNumberStartsAfresh) {
    window->endFrame = 3;
    window->msPerFrame = 100;
    window->frameFraction = NAN;
    tickAt(100);
    tickAt(160);
    EXPECT_FLOAT_EQ(window->frameFraction, 0.6f);
}

TEST_F(Input, DragRules) {
    window->rotX = 1, window->rotY = 2, window->transX = 3, window->transY = 4, window->transZ = 50;
    EXPECT_EQ(send(mxEvent::MouseDown, 0, 100, 100, mxEvent::LeftButton), 1);
    const int draws = window->draws;
    // Shift and left: pan; the model follows the pointer.
    send(mxEvent::MouseDrag, 0, 110, 105, mxEvent::LeftButton, mxEvent::ShiftKey);
    EXPECT_EQ(window->transX, 3 - 10);
    EXPECT_EQ(window->transY, 4 + 5);
    // Every drag is measured from where the button went down.
    send(mxEvent::MouseDrag, 0, 90, 100, mxEvent::LeftButton, mxEvent::ShiftKey | mxEvent::ControlKey);
    EXPECT_EQ(window->transX, 3 + 10);
    EXPECT_EQ(window->transY, 4);
    // Left without Shift (Control makes no difference): rotate.
    send(mxEvent::MouseDrag, 0, 130, 80, mxEvent::LeftButton, mxEvent::ControlKey);
    EXPECT_EQ(window->rotX, 1 - 20);
    EXPECT_EQ(window->rotY, 2 + 30);
    // Left and right together: the left button's rule.
    send(mxEvent::MouseDrag, 0, 100, 110, mxEvent::LeftButton | mxEvent::RightButton);
    EXPECT_EQ(window->rotX, 1 + 10);
    // Right: zoom; moving down pushes the model away.
    send(mxEvent::MouseDrag, 0, 0, 140, mxEvent::RightButton);
    EXPECT_EQ(window->transZ, 50 + 40);
    // Middle alone changes nothing, but still redraws.
    send(mxEvent::MouseDrag, 0, 500, 500, mxEvent::MiddleButton);
    EXPECT_EQ(window->transZ, 90);
    EXPECT_EQ(window->rotY, 2);
    EXPECT_EQ(window->draws, draws + 6);
    // MouseMove and MouseUp do nothing.
    send(mxEvent::MouseMove, 0, 1, 1, mxEvent::LeftButton);
    send(mxEvent::MouseUp, 0, 1, 1, mxEvent::LeftButton);
    EXPECT_EQ(window->transZ, 90);
    EXPECT_EQ(window->draws, draws + 6);
}

TEST_F(Input, SpeedKeys) {
    window->msPerFrame = 125;
    std::vector<float> faster;
    for (int i = 0; i < 14; ++i) {
        send(mxEvent::KeyDown, '+');
        faster.push_back(window->msPerFrame);
    }
    EXPECT_EQ(faster, (std::vector<float>{115, 105, 95, 85, 75, 65, 55, 45, 35, 25, 15, 5, 1, 1}));
    send(mxEvent::KeyDown, '-');
    EXPECT_EQ(window->msPerFrame, 11);
    send(mxEvent::KeyDown, 45);  // Insert's virtual-key code is '-'
    EXPECT_EQ(window->msPerFrame, 21);
    // Landing on exactly 0, or between 0 and 1, still gives 1.
    for (float from : {10.0f, 10.5f, 11.0f}) {
        window->msPerFrame = from;
        send(mxEvent::KeyDown, '+');
        EXPECT_EQ(window->msPerFrame, 1) << from;
    }
}

TEST_F(Input, ModeAndToggleKeys) {
    int draws = window->draws;
    for (int key = '1'; key <= '4'; ++key) {
        send(mxEvent::KeyDown, key);
        EXPECT_EQ(window->renderMode, key - '1');
    }
    EXPECT_EQ(window->draws, draws + 4);
    const std::pair<int, int> toggles[] = {{'b', FLAG_BACKGROUND},
                                           {'l', FLAG_LIGHTING},
                                           {'s', FLAG_SPECULAR},
                                           {'w', FLAG_WATER},
                                           {112, FLAG_PAUSED}};  // 112: also F1
    for (auto [key, bit] : toggles) {
        const bool before = window->flags & bit;
        send(mxEvent::KeyDown, key);
        EXPECT_NE(bool(window->flags & bit), before) << char(key);
        send(mxEvent::KeyDown, key);
        EXPECT_EQ(bool(window->flags & bit), before) << char(key);
    }
    // Upper-case letters (a virtual key, or Shift held) and unknown keys do nothing.
    const int flags = window->flags, mode = window->renderMode;
    draws = window->draws;
    for (int key : {int('B'), int('L'), int('P'), int('S'), int('W'), int('x'), 0, 300, -1})
        EXPECT_EQ(send(mxEvent::KeyDown, key), 1);
    EXPECT_EQ(window->flags, flags);
    EXPECT_EQ(window->renderMode, mode);
    EXPECT_EQ(window->draws, draws);
    // KeyUp never acts.
    send(mxEvent::KeyUp, '1');
    EXPECT_EQ(window->renderMode, mode);
}

TEST_F(Input, CentringOnTheMainModel) {
    // Without a model Home does nothing at all.
    window->rotX = 7, window->transZ = 33;
    int draws = window->draws;
    send(mxEvent::KeyDown, '$');
    EXPECT_EQ(window->rotX, 7);
    EXPECT_EQ(window->transZ, 33);
    EXPECT_EQ(window->draws, draws);

    // A square from -10 to 10 in x and (frame 0) -10 to 10 in y.
    writeModel("square.md2", facingSquare(2, 10));
    ASSERT_NE(window->loadModel("square.md2", MODEL_MAIN), nullptr);
    window->transX = 5;
    send(mxEvent::KeyDown, 36);  // Home's virtual-key code
    EXPECT_NEAR(window->transY, 0, 1e-5);
    EXPECT_EQ(window->transX, 0);
    EXPECT_EQ(window->rotX, 0);
    EXPECT_EQ(window->rotY, 0);
    EXPECT_FLOAT_EQ(window->transZ, 20 * 1.2f);
    EXPECT_EQ(window->draws, draws + 1);
}

TEST_F(Input, OtherEventsAreAnsweredButIgnored) {
    for (int type : {mxEvent::Action, mxEvent::Size, mxEvent::Timer, mxEvent::KeyUp}) EXPECT_EQ(send(type), 1);
}

TEST_F(Input, EscapeDestroysTheWindowAndEndsTheLoop) {
    int destroyed = 0;
    struct Watched : CountingWindow {
        int* counter;
        explicit Watched(int* c) : counter(c) {}
        ~Watched() override { ++*counter; }
    };
    delete window;
    window = nullptr;
    Watched* watched = new Watched(&destroyed);
    mxEvent escape;
    escape.type = mxEvent::KeyDown;
    escape.key = 27;
    EXPECT_EQ(watched->handleEvent(&escape), 1);
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(mxAppRun(), 0);
    EXPECT_EQ(destroyed, 1);  // destroyed exactly once: the quit found it gone from the registry
}

}  // namespace
}  // namespace viewertest
