// The model window's defaults, setters and frame range.
#include <cmath>
#include <cstring>

#include "model/draw.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/paths.h"

namespace viewertest {
namespace {

using WindowState = ViewerTest;

TEST_F(WindowState, DefaultsWithoutWaterPicture) {
    CountingWindow* w = new CountingWindow;
    ASSERT_TRUE(w->hasContext());
    EXPECT_EQ(w->flags, 0x1E);
    EXPECT_EQ(useCommands, 1);
    EXPECT_EQ(useInterpolation, 1);
    EXPECT_EQ(w->transZ, 50);
    EXPECT_EQ(w->rotX, 0);
    EXPECT_EQ(w->rotY, 0);
    EXPECT_EQ(w->transX, 0);
    EXPECT_EQ(w->transY, 0);
    EXPECT_EQ(w->msPerFrame, 125);
    EXPECT_EQ(w->textureLimit, 256);
    EXPECT_EQ(w->brightness, 0);
    EXPECT_EQ(w->renderMode, RENDER_WIREFRAME);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(w->backgroundColor[c], 0);
        EXPECT_EQ(w->modelColor[c], 1);
        EXPECT_EQ(w->wireColor[c], 1);
        EXPECT_EQ(w->lightColor[c], 1);
    }
    for (int slot = 1; slot <= 4; ++slot) EXPECT_EQ(w->textures[slot], 0) << slot;
    EXPECT_EQ(w->models[0], nullptr);
    EXPECT_EQ(w->models[1], nullptr);
    EXPECT_EQ(w->currentFrame, 0);
    EXPECT_EQ(w->nextFrame, 0);
    GLint cullFace = 0;
    glGetIntegerv(GL_CULL_FACE_MODE, &cullFace);
    EXPECT_EQ(cullFace, GL_FRONT);
    delete w;
}

TEST_F(WindowState, DefaultWaterPictureFromTheCurrentDirectory) {
    writePcx("water.pcx", plainPicture(16, 16));
    std::strcpy(waterPath, "configured.pcx");
    ModelWindow* w = new CountingWindow;
    EXPECT_EQ(w->textures[TEXTURE_WATER], TEXTURE_WATER);
    EXPECT_STREQ(waterPath, "water.pcx");  // the load wrote its path over the configured one
    EXPECT_EQ(textureSize(TEXTURE_WATER), std::make_pair(16, 16));
    for (int slot = 1; slot <= 3; ++slot) EXPECT_EQ(w->textures[slot], 0);
    delete w;
}

TEST_F(WindowState, Setters) {
    CountingWindow* w = new CountingWindow;
    w->setMsPerFrame(-3);
    EXPECT_EQ(w->msPerFrame, 0);
    w->setMsPerFrame(NAN);
    EXPECT_EQ(w->msPerFrame, 0);
    w->setMsPerFrame(0);
    EXPECT_EQ(w->msPerFrame, 0);
    w->setMsPerFrame(33.5f);
    EXPECT_EQ(w->msPerFrame, 33.5f);

    w->setRenderMode(17);  // stored as given
    EXPECT_EQ(w->renderMode, 17);
    w->setModelColor(2, -1, 0.5f);  // no clamping
    EXPECT_EQ(w->modelColor[0], 2);
    EXPECT_EQ(w->modelColor[1], -1);

    // Brightness is the only setter that redraws.
    int draws = w->draws;
    w->setBrightness(50);
    EXPECT_FLOAT_EQ(w->brightness, 0.5f);
    EXPECT_EQ(w->draws, draws + 1);
    w->setBrightness(-20);
    EXPECT_FLOAT_EQ(w->brightness, -0.2f);
    draws = w->draws;
    w->setMsPerFrame(10);
    w->setFlag(FLAG_WATER, true);
    w->setFrameRange(0, 0);
    w->setLightColor(0, 0, 0);
    EXPECT_EQ(w->draws, draws);
    delete w;
}

TEST_F(WindowState, SetFlagKeepsTheDrawPathSwitchesInLineWithTheBits) {
    ModelWindow* w = new CountingWindow;
    w->setFlag(FLAG_COMMANDS, false);
    EXPECT_EQ(useCommands, 0);
    EXPECT_EQ(useInterpolation, 1);
    w->setFlag(FLAG_PAUSED, true);  // another bit: switches recomputed, unchanged
    EXPECT_EQ(useCommands, 0);
    EXPECT_EQ(useInterpolation, 1);
    EXPECT_EQ(w->flags, (0x1E & ~FLAG_COMMANDS) | FLAG_PAUSED);
    // A word written directly takes effect at the next setFlag, whichever bit.
    w->flags = FLAG_COMMANDS;
    w->setFlag(FLAG_WATER, false);
    EXPECT_EQ(useCommands, 1);
    EXPECT_EQ(useInterpolation, 0);
    w->setFlag(FLAG_INTERPOLATE | FLAG_BACKGROUND, true);
    EXPECT_EQ(w->flags, FLAG_COMMANDS | FLAG_INTERPOLATE | FLAG_BACKGROUND);
    EXPECT_EQ(useInterpolation, 1);
    delete w;
}

TEST_F(WindowState, FrameRangeIsClampedToTheMainModel) {
    writeModelWithFrames("ten.md2", 10);
    ModelWindow* w = new CountingWindow;
    w->setFrameRange(5, 7);  // without a model: everything 0
    EXPECT_EQ(w->startFrame, 0);
    EXPECT_EQ(w->endFrame, 0);
    ASSERT_NE(w->loadModel("ten.md2", MODEL_MAIN), nullptr);

    struct Case {
        int start, end;
        int wantStart, wantEnd, wantCurrent, wantNext;
    } cases[] = {
        {3, 20, 3, 9, 3, 4},  {-5, 2, 0, 2, 0, 1}, {9, 9, 9, 9, 9, 0},  // the setter wraps next to 0
        {7, 2, 7, 2, 7, 8},                                             // start after end is kept
        {10, -1, 9, 0, 9, 0},
    };
    for (const Case& c : cases) {
        w->frameFraction = 0.7f;
        w->setFrameRange(c.start, c.end);
        EXPECT_EQ(w->startFrame, c.wantStart) << c.start << "," << c.end;
        EXPECT_EQ(w->endFrame, c.wantEnd) << c.start << "," << c.end;
        EXPECT_EQ(w->currentFrame, c.wantCurrent) << c.start << "," << c.end;
        EXPECT_EQ(w->nextFrame, c.wantNext) << c.start << "," << c.end;
        EXPECT_EQ(w->frameFraction, 0);
    }
    delete w;
}

TEST_F(WindowState, DestructionEmptiesEverySlotAndBuffer) {
    writeModelWithFrames("m.md2", 2);
    writePcx("skin.pcx", plainPicture(8, 8));
    writePcx("water.pcx", plainPicture(8, 8));
    ModelWindow* w = new CountingWindow;
    char skin[CONFIG_PATH_SIZE] = "skin.pcx";
    ASSERT_NE(w->loadModel("m.md2", MODEL_MAIN), nullptr);
    ASSERT_NE(w->loadModel("m.md2", MODEL_ATTACH), nullptr);
    for (int slot = 1; slot <= 3; ++slot) ASSERT_EQ(w->loadTexture(skin, slot), slot);
    EXPECT_STREQ(mainModelPath, "m.md2");
    EXPECT_STREQ(backgroundPath, "skin.pcx");
    delete w;  // the sanitizer build also proves both models were released
    for (const char* buffer : {mainModelPath, attachModelPath, mainSkinPath, attachSkinPath, backgroundPath, waterPath})
        EXPECT_STREQ(buffer, "");
}

}  // namespace
}  // namespace viewertest
