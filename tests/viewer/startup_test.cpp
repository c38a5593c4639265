// From configuration settings to a filled, running window.
#include <climits>
#include <cmath>

#include "model/draw.h"
#include "model/model.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/config.h"
#include "toolkit/platform_testing.h"
#include "viewer/paths.h"
#include "viewer/startup.h"

namespace viewertest {
namespace {

class Startup : public ViewerTest {
protected:
    ModelWindow* open(const ViewerConfig& config) {
        storeConfiguredPaths(config);
        return openViewerWindow(config);
    }
};

TEST_F(Startup, FillsTheSlotsAndAppliesEverySetting) {
    writeModelWithFrames("main.md2", 4);
    writeModelWithFrames("attach.md2", 2);
    writePcx("main.pcx", plainPicture(8, 8));
    writeTga("attach.tga", plainPicture(16, 8));
    writePcx("back.pcx", plainPicture(32, 32));
    writePcx("lake.pcx", plainPicture(4, 4));
    ViewerConfig c;
    setConfigPath(c, PATH_MAIN_MODEL, "main.md2");
    setConfigPath(c, PATH_MAIN_SKIN, "main.pcx");
    setConfigPath(c, PATH_ATTACH_MODEL, "attach.md2");
    setConfigPath(c, PATH_ATTACH_SKIN, "attach.tga");
    setConfigPath(c, PATH_BACKGROUND, "back.pcx");
    setConfigPath(c, PATH_WATER, "lake.pcx");
    c.windowWidth = 160;
    c.windowHeight = 120;
    c.rotX = 10, c.rotY = 20, c.transX = 1, c.transY = 2, c.transZ = 70;
    c.renderMode = 2;
    c.frameFraction = 0.5f;
    c.currentFrame = 7, c.nextFrame = 8, c.startFrame = 6, c.endFrame = 2;  // as read, even past the model
    c.msPerFrame = -4;
    c.backgroundColor[0] = 0.25f;
    c.wireColor[1] = 0.5f;
    c.brightness = 55.9f;
    c.flags = FLAG_LIGHTING | FLAG_PAUSED | FLAG_INTERPOLATE | FLAG_WATER;  // commands off
    c.textureLimit = 128;

    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->getWidth(), 160);
    EXPECT_EQ(w->getHeight(), 120);
    ASSERT_NE(w->models[MODEL_MAIN], nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN]->numFrames, 4);
    ASSERT_NE(w->models[MODEL_ATTACH], nullptr);
    for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(w->textures[slot], slot);
    EXPECT_EQ(textureSize(TEXTURE_ATTACH_SKIN), std::make_pair(16, 8));
    EXPECT_EQ(textureSize(TEXTURE_WATER), std::make_pair(4, 4));  // no water.pcx here: the configured one

    EXPECT_EQ(w->rotX, 10);
    EXPECT_EQ(w->rotY, 20);
    EXPECT_EQ(w->transX, 1);
    EXPECT_EQ(w->transY, 2);
    EXPECT_EQ(w->transZ, 70);
    EXPECT_EQ(w->renderMode, 2);
    EXPECT_EQ(w->frameFraction, 0.5f);
    EXPECT_EQ(w->currentFrame, 7);
    EXPECT_EQ(w->nextFrame, 8);
    EXPECT_EQ(w->startFrame, 6);
    EXPECT_EQ(w->endFrame, 2);
    EXPECT_EQ(w->msPerFrame, 0);
    EXPECT_EQ(w->backgroundColor[0], 0.25f);
    EXPECT_EQ(w->wireColor[1], 0.5f);
    EXPECT_FLOAT_EQ(w->brightness, 0.55f);
    // Lighting always starts off; the other bits as configured.
    EXPECT_EQ(w->flags, FLAG_PAUSED | FLAG_INTERPOLATE | FLAG_WATER);
    EXPECT_EQ(useCommands, 0);
    EXPECT_EQ(useInterpolation, 1);
    EXPECT_EQ(w->textureLimit, 128);
    delete w;
}

// A damaged fraction with the animation paused: no tick ever comes to mend
// it, so start-up must, or the model is drawn from vertices that are no
// numbers for as long as it stays paused.
TEST_F(Startup, FractionThatIsNoNumberIsMendedEvenWhenPaused) {
    writeModel("square.md2", facingSquare(2, 12));
    for (float fraction : {NAN, INFINITY, -INFINITY}) {
        ViewerConfig c;
        setConfigPath(c, PATH_MAIN_MODEL, "square.md2");
        c.windowWidth = 64, c.windowHeight = 48;
        c.renderMode = RENDER_FLAT;
        c.frameFraction = fraction;
        c.currentFrame = 0, c.nextFrame = 1, c.endFrame = 1;
        c.flags = FLAG_PAUSED | FLAG_INTERPOLATE;
        ModelWindow* w = open(c);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->frameFraction, 0) << fraction;
        w->draw();
        EXPECT_EQ(pixelAt(32, 24), (std::array<int, 3>{255, 255, 255})) << fraction;  // the white square
        delete w;
    }
}

// The picture start-up draws is of the whole record: a paused window shows
// it until an event comes, and it showed no background and no water when it
// was drawn with the record half applied.
TEST_F(Startup, PictureDrawnAtStartUpShowsTheWholeRecord) {
    writePcx("back.pcx", plainPicture(8, 8, {200, 100, 50}));
    ViewerConfig c;
    setConfigPath(c, PATH_BACKGROUND, "back.pcx");
    c.windowWidth = 64, c.windowHeight = 48;
    c.flags = FLAG_PAUSED | FLAG_BACKGROUND;
    const int swapsBefore = platform_testing::swapCount();
    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    ASSERT_GT(platform_testing::swapCount(), swapsBefore) << "start-up drew a picture";
    const std::array<int, 3> corner = pixelAt(1, 1);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(corner[i], (std::array<int, 3>{200, 100, 50})[i], 8) << "the background";
    delete w;
}

TEST_F(Startup, ConfiguredTextureLimitAppliesOnlyAfterTheStartUpLoads) {
    writePcx("big.pcx", plainPicture(300, 200));
    ViewerConfig c;
    setConfigPath(c, PATH_MAIN_SKIN, "big.pcx");
    c.textureLimit = 64;
    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(textureSize(TEXTURE_MAIN_SKIN), std::make_pair(256, 256));
    EXPECT_EQ(w->textureLimit, 64);
    char again[] = "big.pcx";
    ASSERT_EQ(w->loadTexture(again, TEXTURE_MAIN_SKIN), TEXTURE_MAIN_SKIN);
    EXPECT_EQ(textureSize(TEXTURE_MAIN_SKIN), std::make_pair(64, 64));
    delete w;
}

TEST_F(Startup, WaterPictureInTheCurrentDirectoryWinsOverTheConfiguredOne) {
    writePcx("water.pcx", plainPicture(8, 8));
    writePcx("lake.pcx", plainPicture(16, 16));
    ViewerConfig c;
    setConfigPath(c, PATH_WATER, "lake.pcx");
    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->textures[TEXTURE_WATER], TEXTURE_WATER);
    EXPECT_EQ(textureSize(TEXTURE_WATER), std::make_pair(8, 8));
    EXPECT_STREQ(waterPath, "water.pcx");
    delete w;
}

TEST_F(Startup, WaterPictureInTheCurrentDirectoryEvenWithoutAConfiguredOne) {
    writePcx("water.pcx", plainPicture(8, 8));
    ModelWindow* w = open(ViewerConfig());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->textures[TEXTURE_WATER], TEXTURE_WATER);
    delete w;
}

TEST_F(Startup, NothingConfiguredLeavesEverySlotEmpty) {
    ModelWindow* w = open(ViewerConfig());
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], nullptr);
    EXPECT_EQ(w->models[MODEL_ATTACH], nullptr);
    for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(w->textures[slot], 0);
    EXPECT_EQ(w->flags, 0x1E & ~FLAG_LIGHTING);
    delete w;
}

TEST_F(Startup, MissingAndBrokenFilesLeaveTheirSlotsEmpty) {
    scratch.write("broken.md2", {'I', 'D', 'P', '2', 1, 2, 3});
    scratch.write("broken.pcx", {10, 5, 1, 8});
    ViewerConfig c;
    setConfigPath(c, PATH_MAIN_MODEL, "broken.md2");
    setConfigPath(c, PATH_ATTACH_MODEL, "missing.md2");
    setConfigPath(c, PATH_MAIN_SKIN, "broken.pcx");
    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], nullptr);
    EXPECT_EQ(w->models[MODEL_ATTACH], nullptr);
    EXPECT_EQ(w->textures[TEXTURE_MAIN_SKIN], 0);
    EXPECT_STREQ(mainModelPath, "broken.md2");
    EXPECT_STREQ(mainSkinPath, "broken.pcx");
    delete w;
}

TEST_F(Startup, RealModelAndSkinFromTheCorpus) {
    ViewerConfig c;
    setConfigPath(c, PATH_MAIN_MODEL, std::string(OMBREL_CORPUS_DIR) + "/sydney.md2");
    setConfigPath(c, PATH_MAIN_SKIN, std::string(OMBREL_CORPUS_DIR) + "/sydney.tga");
    setConfigPath(c, PATH_ATTACH_MODEL, std::string(OMBREL_CORPUS_DIR) + "/faerie.md2");
    setConfigPath(c, PATH_ATTACH_SKIN, std::string(OMBREL_CORPUS_DIR) + "/faerie.pcx");
    ModelWindow* w = open(c);
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->models[MODEL_MAIN], nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN]->numFrames, 198);
    EXPECT_EQ(w->models[MODEL_ATTACH]->numVertices, 366);
    EXPECT_EQ(textureSize(TEXTURE_MAIN_SKIN), std::make_pair(256, 256));
    EXPECT_EQ(textureSize(TEXTURE_ATTACH_SKIN), std::make_pair(256, 256));
    delete w;
}

TEST_F(Startup, WindowWithoutAnOpenGlContextIsGivenUpWhole) {
    writeModelWithFrames("m.md2", 2);
    ViewerConfig c;
    setConfigPath(c, PATH_MAIN_MODEL, "m.md2");
    platform_testing::failNextGlStep(platform_testing::GlStep::CreateContext);
    EXPECT_EQ(open(c), nullptr);
    // Nothing is left behind: no context, no device context, no model, and
    // the window is gone, so quitting finds nothing to destroy twice.
    EXPECT_EQ(platform_testing::liveGlContexts(), 0);
    EXPECT_EQ(platform_testing::outstandingDeviceContexts(), 0);
    EXPECT_STREQ(mainModelPath, "m.md2");  // the configured path, never tried
    mxAppQuit();
}

TEST(BrightnessSetting, TruncatesTowardZeroAndStaysInRange) {
    EXPECT_EQ(brightnessHundredths(55.9f), 55);
    EXPECT_EQ(brightnessHundredths(99.9f), 99);
    EXPECT_EQ(brightnessHundredths(-0.5f), 0);
    EXPECT_EQ(brightnessHundredths(-20.7f), -20);
    EXPECT_EQ(brightnessHundredths(NAN), 0);
    EXPECT_EQ(brightnessHundredths(1e20f), INT_MAX);
    EXPECT_EQ(brightnessHundredths(-INFINITY), INT_MIN);
}

}  // namespace
}  // namespace viewertest
