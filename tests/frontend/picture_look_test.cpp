// How ombrel's pictures look, measured on a real model: lit where the
// viewer would light them, turned and framed by the named views, and
// smooth-edged, by pixel counts of the pictures written.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>

#include "tests/frontend/frontend_files.h"
#include "tests/frontend/picture_file.h"

namespace {

using frontendtest::runProgram;

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kFaerie = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";

// What a picture on black holds: the model's pixels, how many greys they
// take, the pixels neither black nor white, and the box around the model.
struct Census {
    int model = 0, greys = 0, between = 0;
    int left = 1 << 30, right = -1, top = 1 << 30, bottom = -1;
    int width() const { return right - left + 1; }
    int height() const { return bottom - top + 1; }
};

Census census(const PictureFile& p) {
    Census c;
    std::set<int> greys;
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x) {
            const uint8_t* px = &p.pixels[(size_t(y) * size_t(p.width) + size_t(x)) * 3];
            const int most = std::max({px[0], px[1], px[2]});
            if (most == 0) continue;
            ++c.model;
            greys.insert(px[0]);
            if (px[0] != 255 || px[1] != 255 || px[2] != 255) ++c.between;
            c.left = std::min(c.left, x), c.right = std::max(c.right, x);
            c.top = std::min(c.top, y), c.bottom = std::max(c.bottom, y);
        }
    c.greys = int(greys.size());
    return c;
}

class PictureLook : public ::testing::Test {
protected:
    void SetUp() override { setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1); }
    // The picture `ombrel render` writes for these options (after --no-config, before the model).
    PictureFile render(const std::vector<std::string>& options, int channels = 3) {
        std::vector<std::string> args = {"render", "--no-config", "--size", "200x200", "--frames", "0-0"};
        args.insert(args.end(), options.begin(), options.end());
        const std::string out = scratch.file("picture" + std::to_string(count++) + ".png");
        args.insert(args.end(), {kFaerie, "-o", out});
        const frontendtest::Result result = runProgram(kOmbrel, args, {"DISPLAY"});
        EXPECT_EQ(result.status, 0) << result.err;
        return loadPictureFile(out, channels);
    }
    testdata::ScratchDir scratch;
    int count = 0;
};

// Flat and smooth pictures are lit as the viewer's l lights them: shaded in
// many greys, where the viewer's unlit start is one white silhouette.
TEST_F(PictureLook, FlatAndSmoothAreLitUnlessAskedNot) {
    for (const char* mode : {"flat", "smooth"}) {
        const Census lit = census(render({"--mode", mode, "--antialias", "1"}));
        const Census unlit = census(render({"--mode", mode, "--antialias", "1", "--no-light"}));
        EXPECT_GT(lit.greys, 40) << mode;
        EXPECT_EQ(unlit.greys, 1) << mode;
        EXPECT_EQ(lit.model, unlit.model) << mode << ": the same silhouette, only shaded";
    }
    // Textured pictures keep the skin's own colours unless --light is given.
    const PictureFile plain = render({"--antialias", "1"});
    EXPECT_EQ(plain.pixels, render({"--antialias", "1", "--no-light"}).pixels);
    const PictureFile lit = render({"--antialias", "1", "--light"});
    long plainSum = 0, litSum = 0;
    for (size_t i = 0; i < plain.pixels.size(); ++i) plainSum += plain.pixels[i], litSum += lit.pixels[i];
    EXPECT_NE(plainSum, litSum);
}

// Each named view turns the model and frames it to fill the picture with a
// small margin: standing, it is tall from the front and the side; from the
// top its spread wings are wider than it is deep; three-quarters shows more
// of it than the front does.
TEST_F(PictureLook, NamedViewsTurnAndFrameTheModel) {
    std::map<std::string, Census> views;
    for (const char* view : {"front", "back", "left", "right", "top", "three-quarter"}) {
        const Census c = census(render({"--mode", "flat", "--no-light", "--antialias", "1", "--view", view}));
        views[view] = c;
        ASSERT_GT(c.model, 0) << view;
        // Inside the picture with a margin, and filling it one way or the other.
        EXPECT_GT(c.left, 0) << view;
        EXPECT_GT(c.top, 0) << view;
        EXPECT_LT(c.right, 199) << view;
        EXPECT_LT(c.bottom, 199) << view;
        EXPECT_GT(std::max(c.width(), c.height()), 150) << view;
    }
    EXPECT_GT(views["front"].height(), views["front"].width());
    EXPECT_GT(views["left"].height(), views["left"].width());
    EXPECT_GT(views["top"].width(), views["top"].height());
    EXPECT_GT(views["three-quarter"].model, views["front"].model * 11 / 10);
    // Left and right see the model from its two sides: nearly mirror images.
    EXPECT_NEAR(views["left"].model, views["right"].model, views["right"].model / 5);
    // The default view is the front, as the viewer starts.
    EXPECT_EQ(render({"--mode", "flat", "--no-light", "--antialias", "1"}).pixels,
              render({"--mode", "flat", "--no-light", "--antialias", "1", "--view", "front"}).pixels);
}

// Smoothed edges take values between the model and the background where
// one sample a pixel gives none; eight samples give finer steps than four.
TEST_F(PictureLook, AntialiasingBlendsTheEdges) {
    const std::vector<std::string> silhouette = {"--mode", "flat", "--no-light"};
    auto with = [&](const char* samples) {
        std::vector<std::string> options = silhouette;
        options.insert(options.end(), {"--antialias", samples});
        return census(render(options));
    };
    const Census one = with("1"), four = with("4"), eight = with("8");
    EXPECT_EQ(one.between, 0);
    EXPECT_EQ(one.greys, 1);
    EXPECT_GT(four.between, 300);
    EXPECT_NEAR(four.model, one.model + four.between / 2, one.model / 10);  // the same silhouette, its edges blended
    EXPECT_GT(eight.between, 300);
    EXPECT_GT(eight.greys, four.greys);
    // Over a transparent background an edge keeps the model's colour, its
    // coverage in the alpha: no fringe of the background colour.
    const PictureFile clear =
        render({"--mode", "flat", "--no-light", "--transparent", "--background-color", "1,0,0"}, 4);
    int partly = 0;
    for (size_t i = 0; i < clear.pixels.size(); i += 4) {
        const uint8_t alpha = clear.pixels[i + 3];
        if (alpha == 0 || alpha == 255) continue;
        ++partly;
        ASSERT_GE(clear.pixels[i + 1], 245) << "green of an edge pixel of alpha " << int(alpha);
        ASSERT_GE(clear.pixels[i + 2], 245);
    }
    EXPECT_GT(partly, 300);
}

}  // namespace
