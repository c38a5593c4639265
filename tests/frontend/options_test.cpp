// From the command line to the viewer's record: every option through
// ombrel's own parsing and preparation, read back with the viewer's reader;
// the value parsers' edges; the settings file; the framing of the model.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "frontend/cli/command.h"
#include "frontend/files/files.h"
#include "frontend/scene/framing.h"
#include "frontend/base/options.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/bytes.h"
#include "viewer/config.h"

namespace {

// Runs ombrel --write-config in this process and reads the record back.
class RecordTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = absolutePath(dir.path());
        setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
        frontendtest::writeModel(root + "/hero.md2");
        frontendtest::writePcx(root + "/hero.pcx");
        // Relative paths in the options count from here, as from a shell's folder.
        char* folder = getcwd(nullptr, 0);
        previousFolder = folder;
        free(folder);
        ASSERT_EQ(chdir(root.c_str()), 0);
    }
    void TearDown() override { EXPECT_EQ(chdir(previousFolder.c_str()), 0); }

    int ombrel(std::vector<std::string> args) {
        args.insert(args.begin(), {"ombrel", "--write-config", root + "/out/ombrel.cfg"});
        std::vector<char*> argv;
        for (std::string& a : args) argv.push_back(a.data());
        std::filesystem::create_directories(root + "/out");
        return frontend::ombrelMain(int(argv.size()), argv.data());
    }

    ViewerConfig record() {
        ViewerConfig c;
        EXPECT_TRUE(readConfig((root + "/out/ombrel.cfg").c_str(), c));
        return c;
    }

    testdata::ScratchDir dir;
    std::string root, previousFolder;
};

TEST_F(RecordTest, EveryOptionReachesItsField) {
    frontendtest::writeModel(root + "/gun.md2");
    frontendtest::writePcx(root + "/gun-skin.pcx");
    frontendtest::writePcx(root + "/sky.pcx");
    frontendtest::writePcx(root + "/lake.pcx");
    frontendtest::writePcx(root + "/other.pcx");
    ASSERT_EQ(ombrel({"--skin",
                      "other.pcx",
                      "--attach",
                      "gun.md2",
                      "--attach-skin",
                      "gun-skin.pcx",
                      "--background",
                      "sky.pcx",
                      "--water",
                      "lake.pcx",
                      "--mode",
                      "smooth",
                      "--frames",
                      "1-3",
                      "--fps",
                      "20",
                      "--no-interpolate",
                      "--triangles",
                      "--paused",
                      "--size",
                      "1024x768",
                      "--fullscreen",
                      "--background-color",
                      "0.5,0.25,1",
                      "--model-color",
                      "#ff8000",
                      "--wire-color",
                      "0,1,0",
                      "--light-color",
                      "#0000FF",
                      "--brightness",
                      "30",
                      "--water-on",
                      "--show-background",
                      "--rotate",
                      "15,-40",
                      "--distance",
                      "77",
                      root + "/hero.md2"}),
              0);
    ViewerConfig c = record();
    EXPECT_EQ(c.windowWidth, 1024);
    EXPECT_EQ(c.windowHeight, 768);
    EXPECT_EQ(c.fullScreen, 1);
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], (root + "/hero.md2").c_str());
    EXPECT_STREQ(c.paths[PATH_MAIN_SKIN], (root + "/other.pcx").c_str());
    EXPECT_STREQ(c.paths[PATH_ATTACH_MODEL], (root + "/gun.md2").c_str());
    EXPECT_STREQ(c.paths[PATH_ATTACH_SKIN], (root + "/gun-skin.pcx").c_str());
    EXPECT_STREQ(c.paths[PATH_BACKGROUND], (root + "/sky.pcx").c_str());
    EXPECT_STREQ(c.paths[PATH_WATER], (root + "/lake.pcx").c_str());
    EXPECT_EQ(c.renderMode, 2);
    EXPECT_EQ(c.startFrame, 1);
    EXPECT_EQ(c.currentFrame, 1);
    EXPECT_EQ(c.nextFrame, 2);
    EXPECT_EQ(c.endFrame, 3);
    EXPECT_EQ(c.frameFraction, 0);
    EXPECT_FLOAT_EQ(c.msPerFrame, 50);
    EXPECT_EQ(c.flags, 0x02 | 0x04 | 0x20 | 0x01 | 0x40);  // no interpolation, no commands
    EXPECT_EQ(c.backgroundColor[1], 0.25f);
    EXPECT_EQ(c.modelColor[0], 1.0f);
    EXPECT_NEAR(c.modelColor[1], 128 / 255.0f, 1e-6);
    EXPECT_EQ(c.wireColor[1], 1.0f);
    EXPECT_EQ(c.lightColor[2], 1.0f);
    EXPECT_EQ(c.lightColor[0], 0.0f);
    EXPECT_EQ(c.brightness, 30.0f);
    EXPECT_EQ(c.rotX, 15.0f);
    EXPECT_EQ(c.rotY, -40.0f);
    // The distance counts from the centre of frames 1..3 (x 1..43, y 0..80,
    // z 0), turned by -40 about y and 15 about x: that centre lies 24.01 in
    // front of the origin.
    EXPECT_NEAR(c.transZ, 77 + 24.01, 0.02);
    EXPECT_EQ(c.textureLimit, 256);
}

TEST_F(RecordTest, WithoutOptionsTheModelIsShownWell) {
    ASSERT_EQ(ombrel({root + "/hero.md2"}), 0);
    ViewerConfig c = record();
    EXPECT_EQ(c.windowWidth, 800);
    EXPECT_EQ(c.windowHeight, 600);
    EXPECT_EQ(c.fullScreen, 0);
    EXPECT_STREQ(c.paths[PATH_MAIN_SKIN], (root + "/hero.pcx").c_str());  // found beside it
    EXPECT_EQ(c.renderMode, 3);                                           // textured, since a skin was found
    EXPECT_EQ(c.startFrame, 0);                                           // the first animation: idle01..idle03
    EXPECT_EQ(c.endFrame, 2);
    EXPECT_EQ(c.nextFrame, 1);
    EXPECT_FLOAT_EQ(c.msPerFrame, 100);  // 10 key frames a second
    EXPECT_EQ(c.flags, 0x1E);
    EXPECT_EQ(c.rotY, -90.0f);  // front towards the eye
    EXPECT_GT(c.transZ, 0.0f);
}

TEST_F(RecordTest, NoSkinMeansWireframeAndStoredSkinsByNumber) {
    frontendtest::writeModel(root + "/bare/bare.md2");
    ASSERT_EQ(ombrel({root + "/bare/bare.md2"}), 0);
    EXPECT_EQ(record().renderMode, 0);
    EXPECT_STREQ(record().paths[PATH_MAIN_SKIN], "");

    frontendtest::writeModel(root + "/two/two.md2", {"skins/first.pcx", "skins\\second.pcx"});
    frontendtest::writePcx(root + "/two/skins/first.pcx");
    frontendtest::writePcx(root + "/two/skins/second.pcx");
    ASSERT_EQ(ombrel({root + "/two/two.md2"}), 0);
    EXPECT_STREQ(record().paths[PATH_MAIN_SKIN], (root + "/two/skins/first.pcx").c_str());
    ASSERT_EQ(ombrel({"--skin", "2", root + "/two/two.md2"}), 0);
    EXPECT_STREQ(record().paths[PATH_MAIN_SKIN], (root + "/two/skins/second.pcx").c_str());
    EXPECT_EQ(ombrel({"--skin", "3", root + "/two/two.md2"}), 2);
}

TEST_F(RecordTest, ConvertedPicturesAndLongPathsGoBesideTheRecord) {
    const std::string deep = root + "/" + std::string(120, 'd') + "/" + std::string(120, 'e');
    frontendtest::writeModel(deep + "/long.md2");
    frontendtest::writeBytes(root + "/skin.png", frontendtest::pngBytes(4, 4, frontendtest::gradientRgb(4, 4)));
    ASSERT_EQ(ombrel({"--skin", root + "/skin.png", deep + "/long.md2"}), 0);
    ViewerConfig c = record();
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], (root + "/out/ombrel.cfg.files/model.md2").c_str());
    EXPECT_EQ(frontend::fileKind(c.paths[PATH_MAIN_MODEL]), frontend::FileKind::Regular);  // a link to the model
    EXPECT_STREQ(c.paths[PATH_MAIN_SKIN], (root + "/out/ombrel.cfg.files/skin.tga").c_str());
}

TEST_F(RecordTest, AnimationsByNameAndTheirLimits) {
    ASSERT_EQ(ombrel({"--animation", "walk", root + "/hero.md2"}), 0);
    EXPECT_EQ(record().startFrame, 3);
    EXPECT_EQ(record().endFrame, 4);
    EXPECT_EQ(ombrel({"--animation", "fly", root + "/hero.md2"}), 2);
    EXPECT_EQ(ombrel({"--frames", "0-5", root + "/hero.md2"}), 2);
}

// A named view turns the model as --rotate would, and frames it again.
TEST_F(RecordTest, NamedViewsForTheViewerToo) {
    ASSERT_EQ(ombrel({"--view", "top", root + "/hero.md2"}), 0);
    EXPECT_EQ(record().rotX, 90.0f);
    EXPECT_EQ(record().rotY, -90.0f);
    ASSERT_EQ(ombrel({"--view", "three-quarter", root + "/hero.md2"}), 0);
    EXPECT_EQ(record().rotX, frontend::kThreeQuarterRotX);
    EXPECT_EQ(ombrel({"--view", "sideways", root + "/hero.md2"}), 2);
    // The last of --view and --rotate wins.
    ASSERT_EQ(ombrel({"--view", "back", "--rotate", "5,6", root + "/hero.md2"}), 0);
    EXPECT_EQ(record().rotY, 6.0f);
}

TEST_F(RecordTest, SettingsFileGivesDefaultsTheCommandLineOverrides) {
    frontendtest::writePcx(root + "/config/ombrel/pond.pcx");
    const std::string settings = "# mine\nfps = 25\nsize = 640x480\nwater = pond.pcx\npaused\nmode = \"flat\"\n";
    frontendtest::writeBytes(root + "/config/ombrel/settings", std::vector<uint8_t>(settings.begin(), settings.end()));
    ASSERT_EQ(ombrel({"--size", "320x200", root + "/hero.md2"}), 0);
    ViewerConfig c = record();
    EXPECT_FLOAT_EQ(c.msPerFrame, 40);
    EXPECT_EQ(c.windowWidth, 320);                                                  // the command line wins
    EXPECT_STREQ(c.paths[PATH_WATER], (root + "/config/ombrel/pond.pcx").c_str());  // beside the settings
    EXPECT_EQ(c.flags & 0x20, 0x20);
    EXPECT_EQ(c.renderMode, 1);

    ASSERT_EQ(ombrel({"--no-config", root + "/hero.md2"}), 0);
    EXPECT_FLOAT_EQ(record().msPerFrame, 100);
}

TEST(ValueParsers, AcceptWholeValuesOnly) {
    std::string error;
    int w = 0, h = 0;
    EXPECT_TRUE(frontend::parseSize("1x16384", w, h, error));
    for (const char* bad : {"800", "800x", "x600", "800x600x2", "-1x5", "0x10", "16385x10", "80 x60", "1e3x10"})
        EXPECT_FALSE(frontend::parseSize(bad, w, h, error)) << bad;
    frontend::Colour colour;
    EXPECT_TRUE(frontend::parseColour("#0A0b0C", colour, error));
    EXPECT_FLOAT_EQ(colour.green, 11 / 255.0f);
    for (const char* bad : {"#abc", "#gg0000", "1,1", "1,1,1,1", "1.5,0,0", "-0.1,0,0", "a,b,c", "nan,0,0", ""})
        EXPECT_FALSE(frontend::parseColour(bad, colour, error)) << bad;
    std::pair<int, int> range;
    EXPECT_TRUE(frontend::parseFrameRange("0-0", range, error));
    for (const char* bad : {"5-2", "1", "-1-3", "1-", "a-b", "1-2-3"})
        EXPECT_FALSE(frontend::parseFrameRange(bad, range, error)) << bad;
    float x = 0, y = 0;
    EXPECT_TRUE(frontend::parseRotation("-12.5,400", x, y, error));
    EXPECT_FALSE(frontend::parseRotation("1,inf", x, y, error));
}

}  // namespace
