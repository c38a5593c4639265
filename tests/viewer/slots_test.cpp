// Filling and emptying the model and texture slots, checked through what
// OpenGL holds in texture objects 1 to 4.
#include <cstring>
#include <sys/stat.h>

#include "model/model.h"
#include "tests/support/not_regular_files.h"
#include "tests/viewer/viewer_fixture.h"
#include "viewer/paths.h"

namespace viewertest {
namespace {

using Slots = ViewerTest;

TEST_F(Slots, ModelReplacementDropsTheOldModelFirst) {
    writeModelWithFrames("two.md2", 2);
    writeModelWithFrames("three.md2", 3);
    ModelWindow* w = new CountingWindow;
    Model* first = w->loadModel("two.md2", MODEL_MAIN);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->numFrames, 2);
    EXPECT_STREQ(mainModelPath, "two.md2");

    Model* second = w->loadModel("three.md2", MODEL_MAIN);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], second);
    EXPECT_EQ(second->numFrames, 3);
    EXPECT_STREQ(mainModelPath, "three.md2");

    // A missing file: the old model is gone, the new path is kept.
    EXPECT_EQ(w->loadModel("missing.md2", MODEL_MAIN), nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], nullptr);
    EXPECT_STREQ(mainModelPath, "missing.md2");

    // The attachment slot has its own buffer; the main slot is untouched.
    ASSERT_NE(w->loadModel("two.md2", MODEL_ATTACH), nullptr);
    EXPECT_STREQ(attachModelPath, "two.md2");
    EXPECT_STREQ(mainModelPath, "missing.md2");

    // Null or empty empties the slot and its buffer.
    EXPECT_EQ(w->loadModel("", MODEL_ATTACH), nullptr);
    EXPECT_EQ(w->models[MODEL_ATTACH], nullptr);
    EXPECT_STREQ(attachModelPath, "");
    delete w;
}

TEST_F(Slots, ModelSlotGivenItsOwnBufferEndsEmpty) {
    writeModelWithFrames("m.md2", 2);
    ModelWindow* w = new CountingWindow;
    std::strcpy(mainModelPath, "m.md2");
    ASSERT_NE(w->loadModel(mainModelPath, MODEL_MAIN), nullptr);  // start-up: the slot was empty
    // Refilled from its own buffer: releasing the model empties that buffer first.
    EXPECT_EQ(w->loadModel(mainModelPath, MODEL_MAIN), nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], nullptr);
    EXPECT_STREQ(mainModelPath, "");
    delete w;
}

TEST_F(Slots, OutOfRangeSlotsChangeNothing) {
    writeModelWithFrames("m.md2", 2);
    writePcx("skin.pcx", plainPicture(8, 8));
    ModelWindow* w = new CountingWindow;
    EXPECT_EQ(w->loadModel("m.md2", 2), nullptr);
    EXPECT_EQ(w->loadModel("m.md2", -1), nullptr);
    char path[] = "skin.pcx";
    EXPECT_EQ(w->loadTexture(path, 0), 0);
    EXPECT_EQ(w->loadTexture(path, 5), 0);
    EXPECT_STREQ(mainModelPath, "");
    EXPECT_STREQ(attachModelPath, "");
    for (int slot = 0; slot <= 4; ++slot) EXPECT_EQ(w->textures[slot], 0);
    delete w;
}

TEST_F(Slots, OverlongPathsAreRefusedNotCut) {
    std::string longName(300, 'a');
    writeModelWithFrames("m.md2", 2);
    ModelWindow* w = new CountingWindow;
    ASSERT_NE(w->loadModel("m.md2", MODEL_MAIN), nullptr);
    EXPECT_EQ(w->loadModel((longName + ".md2").c_str(), MODEL_MAIN), nullptr);
    EXPECT_EQ(w->models[MODEL_MAIN], nullptr);
    EXPECT_STREQ(mainModelPath, "");

    writePcx("skin.pcx", plainPicture(8, 8));
    char skin[] = "skin.pcx";
    ASSERT_EQ(w->loadTexture(skin, TEXTURE_MAIN_SKIN), TEXTURE_MAIN_SKIN);
    std::string longPath = longName + ".PCX";
    std::vector<char> buffer(longPath.begin(), longPath.end());
    buffer.push_back(0);
    EXPECT_EQ(w->loadTexture(buffer.data(), TEXTURE_MAIN_SKIN), 0);
    EXPECT_EQ(w->textures[TEXTURE_MAIN_SKIN], TEXTURE_MAIN_SKIN);
    EXPECT_STREQ(mainSkinPath, "skin.pcx");
    EXPECT_EQ(std::string(buffer.data()), longPath);  // not even lower-cased
    delete w;
}

TEST_F(Slots, TexturePathRules) {
    writePcx("skin.pcx", plainPicture(8, 4));
    ASSERT_EQ(mkdir((scratch.path() + "/pics.tga").c_str(), 0755), 0);
    writeTga("pics.tga/picture.pcx", plainPicture(16, 2));  // a TGA, whatever its name ends with
    writeTga("upper.tga", plainPicture(8, 8));
    ModelWindow* w = new CountingWindow;

    // Names in capitals for a file that has none: as given they name no file,
    // lower-cased they do. The caller's string stays as it was.
    char upperPcx[] = "SKIN.PCX";
    EXPECT_EQ(w->loadTexture(upperPcx, TEXTURE_MAIN_SKIN), TEXTURE_MAIN_SKIN);
    EXPECT_STREQ(upperPcx, "SKIN.PCX");
    EXPECT_STREQ(mainSkinPath, "skin.pcx");
    EXPECT_EQ(textureSize(TEXTURE_MAIN_SKIN), std::make_pair(8, 4));

    char upperTga[] = "UPPER.TGA";
    EXPECT_EQ(w->loadTexture(upperTga, TEXTURE_ATTACH_SKIN), TEXTURE_ATTACH_SKIN);
    EXPECT_STREQ(upperTga, "UPPER.TGA");
    EXPECT_STREQ(attachSkinPath, "upper.tga");
    EXPECT_EQ(textureSize(TEXTURE_ATTACH_SKIN), std::make_pair(8, 8));

    char inTgaFolder[] = "pics.tga/picture.pcx";
    EXPECT_EQ(w->loadTexture(inTgaFolder, TEXTURE_BACKGROUND), TEXTURE_BACKGROUND);
    EXPECT_EQ(textureSize(TEXTURE_BACKGROUND), std::make_pair(16, 2));
    EXPECT_STREQ(backgroundPath, "pics.tga/picture.pcx");

    char noExtension[] = "skin";
    EXPECT_EQ(w->loadTexture(noExtension, TEXTURE_BACKGROUND), 0);
    char missing[] = "missing.pcx";
    EXPECT_EQ(w->loadTexture(missing, TEXTURE_BACKGROUND), 0);
    EXPECT_EQ(w->textures[TEXTURE_BACKGROUND], TEXTURE_BACKGROUND);  // a failed replacement keeps the old one
    EXPECT_STREQ(backgroundPath, "pics.tga/picture.pcx");

    // Emptying keeps the image in the texture object; a later load brings the number back.
    EXPECT_EQ(w->loadTexture(nullptr, TEXTURE_BACKGROUND), 0);
    EXPECT_EQ(w->textures[TEXTURE_BACKGROUND], 0);
    EXPECT_STREQ(backgroundPath, "");
    EXPECT_EQ(textureSize(TEXTURE_BACKGROUND), std::make_pair(16, 2));
    char skin[] = "skin.pcx";
    EXPECT_EQ(w->loadTexture(skin, TEXTURE_BACKGROUND), TEXTURE_BACKGROUND);
    delete w;
}

// Capitals anywhere in a path (a home folder, a skins folder, the name)
// must not lose the file or pick another one: the path is opened as given,
// and its lower-cased form is tried only where that fails.
TEST_F(Slots, PathsAreOpenedAsGivenWhateverTheirCase) {
    ASSERT_EQ(mkdir(scratch.file("Alice").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(scratch.file("Alice/Skins").c_str(), 0755), 0);
    writePcx("Alice/Skins/FAERIE.PCX", plainPicture(16, 8));
    writeTga("Alice/Skins/Sydney.Tga", plainPicture(32, 8));
    writePcx("Mixed.pcx", plainPicture(8, 4));  // two files whose names differ in case only
    writePcx("mixed.pcx", plainPicture(4, 4));
    ModelWindow* w = new CountingWindow;

    const std::string pcx = scratch.file("Alice/Skins/FAERIE.PCX"), tga = scratch.file("Alice/Skins/Sydney.Tga");
    ASSERT_EQ(w->loadTexture(pcx.c_str(), TEXTURE_MAIN_SKIN), TEXTURE_MAIN_SKIN);
    EXPECT_EQ(textureSize(TEXTURE_MAIN_SKIN), std::make_pair(16, 8));
    EXPECT_EQ(std::string(mainSkinPath), pcx);
    ASSERT_EQ(w->loadTexture(tga.c_str(), TEXTURE_ATTACH_SKIN), TEXTURE_ATTACH_SKIN);
    EXPECT_EQ(textureSize(TEXTURE_ATTACH_SKIN), std::make_pair(32, 8));
    EXPECT_EQ(std::string(attachSkinPath), tga);

    ASSERT_EQ(w->loadTexture("Mixed.pcx", TEXTURE_BACKGROUND), TEXTURE_BACKGROUND);
    EXPECT_EQ(textureSize(TEXTURE_BACKGROUND), std::make_pair(8, 4));  // not mixed.pcx
    EXPECT_STREQ(backgroundPath, "Mixed.pcx");

    // Neither as given nor lower-cased: nothing, and the slot keeps what it had.
    EXPECT_EQ(w->loadTexture(scratch.file("alice/skins/Other.PCX").c_str(), TEXTURE_BACKGROUND), 0);
    EXPECT_STREQ(backgroundPath, "Mixed.pcx");
    delete w;
}

TEST_F(Slots, TextureSizes) {
    writePcx("300x200.pcx", plainPicture(300, 200));
    writePcx("64x48.pcx", plainPicture(64, 48));
    writePcx("100x100.pcx", plainPicture(100, 100));
    writePcx("400x3.pcx", plainPicture(400, 3));
    ModelWindow* w = new CountingWindow;
    char big[] = "300x200.pcx", small[] = "64x48.pcx", square[] = "100x100.pcx", wide[] = "400x3.pcx";
    ASSERT_EQ(w->loadTexture(big, 1), 1);
    EXPECT_EQ(textureSize(1), std::make_pair(256, 256));
    ASSERT_EQ(w->loadTexture(small, 2), 2);
    EXPECT_EQ(textureSize(2), std::make_pair(64, 64));
    w->textureLimit = 64;
    ASSERT_EQ(w->loadTexture(square, 3), 3);
    EXPECT_EQ(textureSize(3), std::make_pair(64, 64));
    w->textureLimit = 512;  // above 256 acts like 256
    ASSERT_EQ(w->loadTexture(wide, 4), 4);
    EXPECT_EQ(textureSize(4), std::make_pair(256, 4));
    w->textureLimit = 100;  // not a power of two: exceeded by the rounding
    ASSERT_EQ(w->loadTexture(big, 1), 1);
    EXPECT_EQ(textureSize(1), std::make_pair(128, 128));
    delete w;
}

TEST_F(Slots, TextureLimitBelowOneGivesAOneTexelTexture) {
    writePcx("skin.pcx", plainPicture(32, 32));
    ModelWindow* w = new CountingWindow;
    char skin[] = "skin.pcx";
    for (int limit : {0, -5}) {
        w->textureLimit = limit;
        ASSERT_EQ(w->loadTexture(skin, 1), 1) << limit;
        EXPECT_EQ(textureSize(1), std::make_pair(1, 1));
        std::vector<uint8_t> texel = textureTexels(1);
        EXPECT_EQ(texel, (std::vector<uint8_t>{200, 100, 50}));
    }
    delete w;
}

TEST_F(Slots, EmptyPictureLeavesTheSlotAlone) {
    scratch.write("empty.tga", testdata::encodeTga(0, 5, {}));
    writePcx("skin.pcx", plainPicture(4, 4));
    ModelWindow* w = new CountingWindow;
    char skin[] = "skin.pcx", empty[] = "empty.tga";
    ASSERT_EQ(w->loadTexture(skin, 1), 1);
    EXPECT_EQ(w->loadTexture(empty, 1), 0);
    EXPECT_EQ(w->textures[1], 1);
    EXPECT_STREQ(mainSkinPath, "skin.pcx");
    EXPECT_EQ(textureSize(1), std::make_pair(4, 4));
    delete w;
}

// Rows of 5 pixels are 15 bytes: with OpenGL's default 4-byte row alignment
// every row after the first would start in the wrong place.
TEST_F(Slots, RowsThatAreNotAMultipleOfFourBytesArriveIntact) {
    const std::vector<std::array<uint8_t, 3>> rows = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    writePcx("rows.pcx", rowsPicture(5, rows));
    writeTga("rows.tga", rowsPicture(5, rows));
    ModelWindow* w = new CountingWindow;
    char pcx[] = "rows.pcx", tga[] = "rows.tga";
    for (char* path : {pcx, tga}) {
        ASSERT_EQ(w->loadTexture(path, 1), 1) << path;
        ASSERT_EQ(textureSize(1), std::make_pair(8, 4));
        std::vector<uint8_t> texels = textureTexels(1);
        // Texture row r holds picture row r (row 0 at the start of the image).
        for (int r = 0; r < 4; ++r)
            for (int x = 0; x < 8; ++x)
                for (int c = 0; c < 3; ++c)
                    EXPECT_EQ(texels[size_t((r * 8 + x) * 3 + c)], rows[size_t(r)][size_t(c)])
                        << path << " row " << r << " x " << x;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);  // left as it was found
    delete w;
}

TEST_F(Slots, PaletteExpansionAndUploadOfTheRealSkin) {
    // faerie.pcx is 220 wide (660-byte rows); faerie.tga holds the same pixels.
    ModelWindow* w = new CountingWindow;
    char pcx[CONFIG_PATH_SIZE], tga[CONFIG_PATH_SIZE];
    std::snprintf(pcx, sizeof pcx, "%s/faerie.pcx", OMBREL_CORPUS_DIR);
    std::snprintf(tga, sizeof tga, "%s/faerie.tga", OMBREL_CORPUS_DIR);
    ASSERT_EQ(w->loadTexture(pcx, 1), 1);
    ASSERT_EQ(w->loadTexture(tga, 2), 2);
    EXPECT_EQ(textureSize(1), std::make_pair(256, 256));
    EXPECT_EQ(textureTexels(1), textureTexels(2));
    delete w;
}

TEST_F(Slots, TextureEnvironmentAndFilters) {
    writePcx("skin.pcx", plainPicture(4, 4));
    ModelWindow* w = new CountingWindow;
    char skin[] = "skin.pcx";
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    ASSERT_EQ(w->loadTexture(skin, 3), 3);
    GLint mode = 0, minFilter = 0, magFilter = 0, bound = -1;
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &mode);
    EXPECT_EQ(mode, GL_MODULATE);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glBindTexture(GL_TEXTURE_2D, 3);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &magFilter);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_EQ(magFilter, GL_LINEAR);
    delete w;
}

// FIFOs (which would hang the open call) and endless devices behind
// model and picture names, "water.pcx" in the current folder among them:
// every slot stays as it is for a missing file, and nothing waits.
TEST_F(Slots, PathsThatAreNotRegularFilesLeaveTheirSlotsEmpty) {
    for (const char* name : {"water.pcx", "fifo.md2", "fifo.pcx", "fifo.tga"})
        ASSERT_TRUE(testsupport::makeFifo(scratch.file(name))) << name;
    for (const char* name : {"zero.md2", "zero.pcx", "zero.tga"})
        ASSERT_EQ(symlink("/dev/zero", scratch.file(name).c_str()), 0) << name;
    testsupport::EndsWithin guard(20);
    ModelWindow* w = new CountingWindow;
    EXPECT_EQ(w->textures[TEXTURE_WATER], 0);
    for (const char* model : {"fifo.md2", "zero.md2"}) {
        EXPECT_EQ(w->loadModel(model, MODEL_MAIN), nullptr) << model;
        EXPECT_EQ(w->models[MODEL_MAIN], nullptr) << model;
    }
    for (const char* picture : {"fifo.pcx", "fifo.tga", "zero.pcx", "zero.tga"}) {
        char path[CONFIG_PATH_SIZE];
        std::snprintf(path, sizeof path, "%s", picture);
        EXPECT_EQ(w->loadTexture(path, TEXTURE_MAIN_SKIN), 0) << picture;
        EXPECT_EQ(w->textures[TEXTURE_MAIN_SKIN], 0) << picture;
    }
    delete w;
}

TEST(RoundTextureEdge, Table) {
    const std::pair<int, int> cases[] = {{-3, -3},  {0, 0},     {1, 1},     {2, 2},     {3, 4},    {4, 4},   {5, 8},
                                         {8, 8},    {9, 16},    {16, 16},   {17, 32},   {32, 32},  {33, 64}, {64, 64},
                                         {65, 128}, {128, 128}, {129, 256}, {256, 256}, {400, 256}};
    for (auto [edge, expected] : cases) EXPECT_EQ(roundTextureEdge(edge), expected) << edge;
}

}  // namespace
}  // namespace viewertest
