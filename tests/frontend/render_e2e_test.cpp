// ombrel render against the viewer itself: for each render mode, the
// viewer under Xvfb on the record `ombrel --write-config` writes (paused, so
// it holds its first picture), and the picture `ombrel render` draws for
// the same options without a display, compared pixel by pixel.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "tests/frontend/picture_file.h"
#include "tests/support/xsession.h"
#include "tests/writers/scratch_dir.h"

namespace {

const std::string kBin = OMBREL_BIN_DIR;
const std::string kFaerie = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";

class RenderMatchesViewer : public ::testing::TestWithParam<const char*> {};

TEST_P(RenderMatchesViewer, PixelByPixel) {
    testdata::ScratchDir scratch;
    setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
    const std::vector<std::string> options = {"--no-config", "--mode", GetParam(), "--size", "640x480"};
    std::string words;
    for (const std::string& o : options) words += " " + o;

    // The renderer, first, with no display at all: unlit and unsmoothed, as
    // the viewer starts.
    unsetenv("DISPLAY");
    ASSERT_EQ(std::system((kBin + "/ombrel render --no-light --antialias 1" + words + " " + kFaerie + " -o " +
                           scratch.file("render.png"))
                              .c_str()),
              0);
    e2e::XServer server;
    std::string error;
    ASSERT_TRUE(server.start(error)) << error;
    ASSERT_EQ(std::system((kBin + "/ombrel" + words + " --paused --write-config " + scratch.file("ombrel.cfg") + " " +
                           kFaerie)
                              .c_str()),
              0);
    pid_t viewer = e2e::spawn({kBin + "/viewer"}, scratch.path());
    ASSERT_FALSE(e2e::run("timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(viewer)).empty());

    PictureFile render = loadPictureFile(scratch.file("render.png"), 3);
    ASSERT_EQ(render.width, 640);
    ASSERT_EQ(render.height, 480);
    // Model pixels in the render, and pixels of the screen that differ from
    // it; screenshots until the viewer shows its picture, for a while at most.
    int model = 0, different = 0;
    for (size_t i = 0; i < render.pixels.size(); i += 3)
        if (render.pixels[i] + render.pixels[i + 1] + render.pixels[i + 2] > 30) ++model;
    auto differing = [&](const PictureFile& screen) {
        int n = 0;
        for (size_t i = 0; i < render.pixels.size(); i += 3) {
            int most = 0;
            for (size_t c = 0; c < 3; ++c)
                most = std::max(most, std::abs(int(render.pixels[i + c]) - screen.pixels[i + c]));
            if (most > 8) ++n;
        }
        return n;
    };
    for (auto end = e2e::Clock::now() + e2e::milliseconds(10000);;) {
        e2e::run("import -window root -crop 640x480+0+0 " + scratch.file("screen.png"));
        PictureFile screen = loadPictureFile(scratch.file("screen.png"), 3);
        different = screen.pixels.size() == render.pixels.size() ? differing(screen) : int(render.pixels.size() / 3);
        if (different <= model / 200 || e2e::Clock::now() >= end) break;
    }
    e2e::stop(viewer);

    EXPECT_GT(model, 10000);             // the framed model, not an empty picture
    EXPECT_LE(different, model / 200) << different << " of " << model << " differ";  // a few edge pixels at most
}

INSTANTIATE_TEST_SUITE_P(EveryMode, RenderMatchesViewer,
                         ::testing::Values("wireframe", "flat", "smooth", "textured"));

}  // namespace
