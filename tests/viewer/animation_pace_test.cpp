// The animation in the toolkit's real loop, on the real clock: over a
// second and a half key frames must step every msPerFrame on average (within 3 %),
// whatever the loop's own pace of Idle events. 10 ms per frame is faster
// than that pace: the loop must come back by the time each step is due.
#include <chrono>

#include "tests/viewer/viewer_fixture.h"

namespace viewertest {
namespace {

using Clock = std::chrono::steady_clock;

// Notes the time of every key-frame step and ends the loop after `span`.
class PacedWindow : public CountingWindow {
public:
    explicit PacedWindow(Clock::duration span) : span_(span) {}

    int handleEvent(mxEvent* event) override {
        const int before = currentFrame;
        const int result = CountingWindow::handleEvent(event);
        if (event->type != mxEvent::Idle) return result;
        const Clock::time_point now = Clock::now();
        if (steps == 0 && first == Clock::time_point()) first = now;
        if (currentFrame != before) {
            ++steps;
            last = now;
        }
        if (now - first >= span_) {
            delete this;  // as Escape does: the window goes, then the loop
            mxAppQuit();
        }
        return result;
    }

    // What the test reads after the loop; the window itself is gone by then.
    static int steps;
    static Clock::time_point first, last;

private:
    Clock::duration span_;
};

int PacedWindow::steps = 0;
Clock::time_point PacedWindow::first, PacedWindow::last;

class AnimationPace : public ViewerTest, public ::testing::WithParamInterface<float> {};

TEST_P(AnimationPace, KeyFramesStepEveryMsPerFrameOnAverage) {
    const float msPerFrame = GetParam();
    PacedWindow* window = new PacedWindow(std::chrono::milliseconds(1500));
    ASSERT_TRUE(window->hasContext());
    window->startFrame = 0, window->endFrame = 1 << 30;
    window->currentFrame = 0, window->nextFrame = 1;
    window->setMsPerFrame(msPerFrame);
    EXPECT_EQ(mxAppRun(), 0);

    ASSERT_GT(PacedWindow::steps, 10);
    // From the first Idle event to the last step: the steps' own average.
    const double ms = std::chrono::duration<double, std::milli>(PacedWindow::last - PacedWindow::first).count();
    const double average = ms / PacedWindow::steps;
    std::printf("%.0f ms per frame: %d steps, %.2f ms apart on average\n", msPerFrame, PacedWindow::steps, average);
    EXPECT_NEAR(average, msPerFrame, msPerFrame * 0.03);
}

INSTANTIATE_TEST_SUITE_P(Speeds, AnimationPace, ::testing::Values(10.0f, 20.0f, 50.0f, 125.0f),
                         [](const ::testing::TestParamInfo<float>& info) {
                             return std::to_string(int(info.param)) + "ms";
                         });

}  // namespace
}  // namespace viewertest
