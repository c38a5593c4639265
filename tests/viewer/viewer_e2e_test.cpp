// The real viewer program under a private X server: started in a folder
// with (or without) an ombrel.cfg, driven with xdotool, judged by its
// windows, its screenshots and its exit code.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "tests/support/xsession.h"
#include "tests/viewer/viewer_fixture.h"
#include "tests/writers/bytes.h"
#include "viewer/config.h"
#include "assets/sample_scene.h"

namespace viewertest {
namespace {

using e2e::Clock;
using e2e::milliseconds;
using e2e::run;

const std::string kViewer = std::string(OMBREL_BIN_DIR) + "/viewer";

// A screenshot of the screen's top-left corner, R, G, B rows top first.
struct Shot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::array<int, 3> at(int x, int y) const {
        size_t i = (size_t(y) * size_t(width) + size_t(x)) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
    // The top-left width x height of the shot.
    Shot crop(int w, int h) const {
        Shot c;
        c.width = std::min(w, width), c.height = std::min(h, height);
        for (int y = 0; y < c.height; ++y)
            c.rgb.insert(c.rgb.end(), rgb.begin() + size_t(y) * width * 3, rgb.begin() + (size_t(y) * width + c.width) * 3);
        return c;
    }
    // Pixels within tolerance of the colour, and the mean x of those pixels.
    int count(std::array<int, 3> colour, int tolerance, double* meanX = nullptr) const {
        int n = 0;
        double sumX = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::array<int, 3> p = at(x, y);
                if (std::abs(p[0] - colour[0]) <= tolerance && std::abs(p[1] - colour[1]) <= tolerance &&
                    std::abs(p[2] - colour[2]) <= tolerance)
                    ++n, sumX += x;
            }
        if (meanX) *meanX = n ? sumX / n : -1;
        return n;
    }
};

class ViewerProgram : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        ASSERT_FALSE(scratch.path().empty());
    }
    void TearDown() override { e2e::stop(viewer); }

    std::string file(const std::string& name) const { return scratch.file(name); }

    // Starts the viewer in the scratch folder; returns its window once it
    // has drawn its first frame (and so takes input): the window's part of
    // the screen shows neither what it showed before nor a blank window.
    std::string start() {
        const Shot before = shot(1024, 768);
        viewer = e2e::spawn({kViewer}, scratch.path(), file("stderr.txt"));
        std::string id =
            run("timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(viewer) + " | head -n 1");
        EXPECT_FALSE(id.empty()) << "the viewer's window did not appear";
        const int width = std::atoi(run("xwininfo -id " + id + " | sed -n 's/^ *Width: //p'").c_str());
        const int height = std::atoi(run("xwininfo -id " + id + " | sed -n 's/^ *Height: //p'").c_str());
        const Shot covered = before.crop(width, height);
        EXPECT_TRUE(width > 0 && height > 0 && waitForShot(width, height, [&](const Shot& s) {
            return s.count({0, 0, 0}, 0) < width * height && s.rgb != covered.rgb;
        })) << "the viewer drew nothing";
        return id;
    }
    int waitForExit(milliseconds limit = milliseconds(20000)) {
        int status = e2e::waitForExit(viewer, limit);
        if (status != -1) viewer = 0;
        return status;
    }
    Shot shot(int width, int height) {
        std::string path = file("shot.ppm");
        run("import -window root -crop " + std::to_string(width) + "x" + std::to_string(height) +
            "+0+0 -depth 8 ppm:" + path);
        Shot s;
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int max = 0;
        in >> magic >> s.width >> s.height >> max;
        in.get();
        s.rgb.resize(size_t(s.width) * size_t(s.height) * 3);
        in.read(reinterpret_cast<char*>(s.rgb.data()), std::streamsize(s.rgb.size()));
        if (magic != "P6" || max != 255 || !in) s = Shot();
        return s;
    }
    // Screenshots of the top-left corner until one passes the check (true)
    // or the time is up (false); the last one taken is kept in `last`.
    bool waitForShot(int width, int height, const std::function<bool(const Shot&)>& check, Shot* last = nullptr,
                     milliseconds limit = milliseconds(10000)) {
        Shot s;
        bool passed = false;
        for (Clock::time_point end = Clock::now() + limit; !passed && Clock::now() < end;) passed = check(s = shot(width, height));
        if (last) *last = s;
        return passed;
    }
    void keys(const std::string& names) { run("xdotool key --delay 80 " + names); }
    std::string screenSize() { return run("xdpyinfo | sed -n 's/.*dimensions: *\\([0-9x]*\\).*/\\1/p'"); }

    // A configuration for a facing square (red wire, green model, blue skin) with lighting off.
    ViewerConfig squareScene(int frames = 2) {
        scratch.write("square.md2", testdata::md2Bytes(facingSquare(frames, 12)));
        scratch.write("skin.pcx", testdata::encodePcx(plainPicture(8, 8, {0, 0, 255})));
        ViewerConfig c;
        c.windowWidth = 320;
        c.windowHeight = 240;
        setConfigPath(c, PATH_MAIN_MODEL, "square.md2");
        setConfigPath(c, PATH_MAIN_SKIN, "skin.pcx");
        const float black[3] = {0, 0, 0}, red[3] = {1, 0, 0}, green[3] = {0, 1, 0};
        std::copy(black, black + 3, c.backgroundColor);
        std::copy(red, red + 3, c.wireColor);
        std::copy(green, green + 3, c.modelColor);
        c.renderMode = RENDER_TEXTURED;
        c.endFrame = frames - 1;
        c.nextFrame = frames > 1 ? 1 : 0;
        return c;
    }

    e2e::XServer server;
    testdata::ScratchDir scratch;
    pid_t viewer = 0;
};

TEST_F(ViewerProgram, WithoutConfigurationShowsTheErrorBoxAndEndsWithZero) {
    const std::string before = screenSize();
    viewer = e2e::spawn({kViewer}, scratch.path(), file("stderr.txt"));
    // SDL names its box in UTF-8, which xdotool's search does not read.
    std::string box;
    for (Clock::time_point end = Clock::now() + milliseconds(20000); box.empty() && Clock::now() < end;) {
        box = run("xwininfo -name 'Ombrel Viewer' 2>/dev/null | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
        if (box.empty()) std::this_thread::sleep_for(milliseconds(50));
    }
    ASSERT_FALSE(box.empty()) << "no box titled Ombrel Viewer";
    run("xdotool key --window " + box + " Return");
    EXPECT_EQ(waitForExit(), 0);
    EXPECT_EQ(screenSize(), before);
}

TEST_F(ViewerProgram, WithoutADisplayTheMessageGoesToStandardError) {
    const std::string error = file("stderr.txt");
    pid_t pid = e2e::spawn({"env", "SDL_VIDEODRIVER=dummy", kViewer}, scratch.path(), error);
    EXPECT_EQ(e2e::waitForExit(pid, milliseconds(20000)), 0);
    std::ifstream in(error);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Ombrel Viewer"), std::string::npos) << text;
    EXPECT_NE(text.find("Error loading configuration"), std::string::npos) << text;
}

// A folder or a FIFO named "ombrel.cfg" is no configuration: the viewer
// says so at once (a FIFO would otherwise hold it in its open call for good).
TEST_F(ViewerProgram, ConfigurationThatIsNotARegularFileIsAMissingOne) {
    const std::string error = file("stderr.txt");
    for (bool fifo : {false, true}) {
        const std::string config = file("ombrel.cfg");
        ASSERT_EQ(fifo ? mkfifo(config.c_str(), 0600) : mkdir(config.c_str(), 0755), 0);
        pid_t pid = e2e::spawn({"env", "SDL_VIDEODRIVER=dummy", kViewer}, scratch.path(), error);
        const int status = e2e::waitForExit(pid, milliseconds(20000));
        if (status == -1) e2e::stop(pid);
        EXPECT_EQ(status, 0) << (fifo ? "FIFO" : "folder");
        std::ifstream in(error);
        std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_NE(text.find("Error loading configuration"), std::string::npos) << text;
        if (fifo)
            unlink(config.c_str());
        else
            rmdir(config.c_str());
    }
}

TEST_F(ViewerProgram, WithoutOpenGlItSaysSoAndReportsFailure) {
    // SDL's dummy driver has no OpenGL: the window can't get a context.
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), squareScene()));
    const std::string error = file("stderr.txt");
    pid_t pid = e2e::spawn({"env", "SDL_VIDEODRIVER=dummy", kViewer}, scratch.path(), error);
    EXPECT_EQ(e2e::waitForExit(pid, milliseconds(20000)), 1);
    std::ifstream in(error);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("Error creating the OpenGL window"), std::string::npos) << text;
}

TEST_F(ViewerProgram, WindowedBorderlessAtTheOriginAndClosedWithZero) {
    ViewerConfig c = squareScene();
    c.windowWidth = 300;
    c.windowHeight = 200;
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    std::string window = start();
    std::string info = run("xwininfo -id " + window);
    EXPECT_NE(info.find("Absolute upper-left X:  0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left Y:  0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Width: 300\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 200\n"), std::string::npos) << info;
    EXPECT_EQ(run("xprop -id " + window + " _MOTIF_WM_HINTS"),
              "_MOTIF_WM_HINTS(_MOTIF_WM_HINTS) = 0x2, 0x0, 0x0, 0x0, 0x0");
    run(e2e::testBinDir() + "/x11tool close " + window);
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, FullScreenUsesTheConfiguredSizeAndRestoresTheDisplay) {
    const std::string before = screenSize();
    ViewerConfig c = squareScene();
    c.windowWidth = 1024;
    c.windowHeight = 768;
    c.fullScreen = 255;
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    std::string window = start();
    std::string info = run("xwininfo -id " + window);
    EXPECT_NE(info.find("Width: 1024\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left X:  0\n"), std::string::npos) << info;
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
    EXPECT_EQ(screenSize(), before);
}

TEST_F(ViewerProgram, StartsUnlitWhateverTheFileSays) {
    ViewerConfig c = squareScene();
    c.renderMode = RENDER_FLAT;
    c.flags |= FLAG_LIGHTING;
    const float grey[3] = {0.5f, 0.5f, 0.5f};
    std::copy(grey, grey + 3, c.modelColor);
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    start();
    // Unlit flat shading shows the model colour itself, everywhere on the square.
    auto greyPixels = [](const Shot& s) { return s.count({128, 128, 128}, 2); };
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return greyPixels(s) > 2000; })) << "no unlit square";
    keys("l");
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return greyPixels(s) < 2000; })) << "l lit nothing";
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, ShortConfigurationKeepsTheDefaults) {
    ViewerConfig c = squareScene();
    std::vector<uint8_t> cut = configBytes(c);
    cut.resize(9 + 256);  // size, full-screen byte, one path
    ASSERT_TRUE(testdata::writeFile(file("ombrel.cfg"), cut));
    std::string window = start();
    // The default view: white wireframe of the main model on black.
    Shot s;
    EXPECT_TRUE(waitForShot(320, 240, [](const Shot& s) { return s.count({255, 255, 255}, 10) > 20; }, &s));
    EXPECT_EQ(s.count({0, 0, 255}, 10), 0);
    run(e2e::testBinDir() + "/x11tool close " + window);
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, RealModelsAndSkinsFromTheCorpus) {
    ViewerConfig c;
    c.windowWidth = 320;
    c.windowHeight = 240;
    setConfigPath(c, PATH_MAIN_MODEL, std::string(OMBREL_CORPUS_DIR) + "/faerie.md2");
    setConfigPath(c, PATH_MAIN_SKIN, std::string(OMBREL_CORPUS_DIR) + "/faerie.pcx");
    c.renderMode = RENDER_TEXTURED;
    c.endFrame = 197;
    c.nextFrame = 1;
    c.transZ = 80;
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    start();
    // The skinned model covers part of the window.
    EXPECT_TRUE(waitForShot(320, 240, [](const Shot& s) { return s.count({0, 0, 0}, 0) < 320 * 240 - 1000; }));
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, RenderModeKeys) {
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), squareScene()));
    start();
    struct Step {
        const char* key;
        std::array<int, 3> colour;
        int atLeast;
    } steps[] = {{"1", {255, 0, 0}, 20}, {"2", {0, 255, 0}, 2000}, {"3", {0, 255, 0}, 2000}, {"4", {0, 0, 255}, 2000}};
    for (const Step& step : steps) {
        keys(step.key);
        EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return s.count(step.colour, 10) >= step.atLeast; }))
            << "after key " << step.key;
    }
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, PauseCentreAndDrag) {
    ViewerConfig c = squareScene(8);  // the square climbs one unit a frame
    c.msPerFrame = 40;
    c.transX = 30;  // off to the left
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    start();
    auto square = [](const Shot& s, double* meanX = nullptr) { return s.count({0, 0, 255}, 10, meanX); };
    ASSERT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return square(s) > 0; })) << "no square";
    // Paused once two screenshots in a row agree (it climbs a unit every
    // 40 ms while playing); then it stands still over a dozen frames' time.
    keys("p");
    Shot a, b;
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) {
        const bool same = s.rgb == a.rgb;
        a = s;
        return same;
    })) << "p paused nothing";
    std::this_thread::sleep_for(milliseconds(500));
    b = shot(320, 240);
    EXPECT_EQ(a.rgb, b.rgb) << "paused, the picture stands still";
    keys("p");
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return s.rgb != b.rgb; })) << "playing again";
    keys("p");

    double left = 0, centred = 0, dragged = 0;
    square(shot(320, 240), &left);
    EXPECT_LT(left, 120);
    keys("dollar");
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return square(s, &centred) > 0 && std::abs(centred - 160) <= 20; }))
        << "centred at x " << centred;

    // Shift and the left button: the model follows the pointer to the right,
    // one unit a pixel (a unit is several pixels this close).
    run("xdotool mousemove 100 120 sleep 0.1 keydown Shift_L sleep 0.1 mousedown 1 sleep 0.1 mousemove 105 120 "
        "sleep 0.1 mousemove 110 120 sleep 0.1 mouseup 1 sleep 0.1 keyup Shift_L");
    EXPECT_TRUE(waitForShot(320, 240, [&](const Shot& s) { return square(s, &dragged) > 0 && dragged > centred + 20; }))
        << "dragged to x " << dragged << " from " << centred;
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

// CPU share of one core used by the viewer with the sample scene, paused and
// playing, over two seconds each (a paused viewer that polls or redraws
// shows in far less).
TEST_F(ViewerProgram, CostsLittleWhenPaused) {
    ASSERT_TRUE(writeSampleScene(scratch.path()));
    start();
    auto measure = [this]() {
        double before = e2e::cpuSeconds(viewer);
        Clock::time_point t0 = Clock::now();
        std::this_thread::sleep_for(milliseconds(2000));
        return (e2e::cpuSeconds(viewer) - before) / std::chrono::duration<double>(Clock::now() - t0).count();
    };
    double playing = measure();
    keys("p");
    double paused = measure();
    std::printf("viewer CPU over 2 s, sample scene at 800 x 600: playing %.1f%%, paused %.1f%% of one core\n",
                100 * playing, 100 * paused);
    EXPECT_LT(paused, 0.05);
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

// The toolkit's side of the viewer's life: the window size it reports in
// full screen, and requests to end from outside.

std::string boxNamedOmbrelViewer() {
    return run("xwininfo -name 'Ombrel Viewer' 2>/dev/null | sed -n 's/.*Window id: \\(0x[0-9a-f]*\\).*/\\1/p'");
}

bool waitForBox(bool shown, milliseconds limit) {
    for (Clock::time_point end = Clock::now() + limit; Clock::now() < end;) {
        if (boxNamedOmbrelViewer().empty() != shown) return true;
        std::this_thread::sleep_for(milliseconds(50));
    }
    return false;
}

TEST_F(ViewerProgram, FullScreenAtASizeTheDisplayLacksShowsTheWholePicture) {
    // Xvfb cannot switch its 1024 x 768 screen to 800 x 600: the picture in
    // the window must be the one a windowed 800 x 600 viewer shows, not a
    // 1024 x 768 picture cropped to the window.
    ViewerConfig c = squareScene(1);
    c.windowWidth = 800;
    c.windowHeight = 600;
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    start();
    Shot windowed;
    EXPECT_TRUE(waitForShot(800, 600, [](const Shot& s) { return s.count({0, 0, 255}, 10) > 2000; }, &windowed));
    keys("Escape");
    ASSERT_EQ(waitForExit(), 0);
    c.fullScreen = 1;
    ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
    std::string window = start();
    std::string info = run("xwininfo -id " + window);
    EXPECT_NE(info.find("Width: 800\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 600\n"), std::string::npos) << info;
    EXPECT_TRUE(waitForShot(800, 600, [&](const Shot& s) { return s.rgb == windowed.rgb; }))
        << "full screen, the picture is not the windowed one";
    keys("Escape");
    EXPECT_EQ(waitForExit(), 0);
}

TEST_F(ViewerProgram, SignalWhileTheErrorBoxIsUpEndsAsAnsweringIt) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        viewer = e2e::spawn({kViewer}, scratch.path(), file("stderr.txt"));
        ASSERT_TRUE(waitForBox(true, milliseconds(20000))) << "no box titled Ombrel Viewer";
        kill(viewer, signal);
        EXPECT_EQ(waitForExit(milliseconds(3000)), 0);
        EXPECT_TRUE(waitForBox(false, milliseconds(3000))) << "the box outlived the viewer";
    }
}

TEST_F(ViewerProgram, TheErrorBoxGoesWithAKilledViewer) {
    viewer = e2e::spawn({kViewer}, scratch.path(), file("stderr.txt"));
    ASSERT_TRUE(waitForBox(true, milliseconds(20000))) << "no box titled Ombrel Viewer";
    kill(viewer, SIGKILL);
    EXPECT_EQ(waitForExit(milliseconds(3000)), 128 + SIGKILL);
    EXPECT_TRUE(waitForBox(false, milliseconds(3000))) << "the box outlived the viewer";
}

TEST_F(ViewerProgram, SignalEndsTheViewerPromptlyAndCleanly) {
    const std::string before = screenSize();
    ViewerConfig c = squareScene();
    struct Case {
        int signal;
        bool fullScreen;
    } cases[] = {{SIGTERM, false}, {SIGINT, false}, {SIGTERM, true}};
    for (const Case& k : cases) {
        SCOPED_TRACE(std::to_string(k.signal) + (k.fullScreen ? " full screen" : " windowed"));
        c.fullScreen = k.fullScreen;
        c.windowWidth = k.fullScreen ? 1024 : 320;
        c.windowHeight = k.fullScreen ? 768 : 240;
        ASSERT_TRUE(writeConfig(file("ombrel.cfg"), c));
        std::string window = start();
        Clock::time_point t0 = Clock::now();
        kill(viewer, k.signal);
        EXPECT_EQ(waitForExit(milliseconds(5000)), 0);
        EXPECT_LT(std::chrono::duration<double>(Clock::now() - t0).count(), 1.0);
        EXPECT_TRUE(run("xwininfo -id " + window + " 2>&1 | grep -c 'Map State'") != "1");
        EXPECT_EQ(screenSize(), before);
    }
}

}  // namespace
}  // namespace viewertest
