// ombrel render and ombrel thumbnail as programs, without a display: PNG
// sequences, looping GIFs read back with giflib, transparent backgrounds,
// one point of an animation named three ways, refusals that write nothing,
// and the thumbnailer in the sandbox file managers run it in.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "tests/frontend/picture_file.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kFaerie = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";

PictureFile load(const std::string& path) { return loadPictureFile(path, 4); }

int opaque(const PictureFile& p) {
    int n = 0;
    for (size_t i = 3; i < p.pixels.size(); i += 4) n += p.pixels[i] == 255;
    return n;
}

class Render : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
        unsetenv("DISPLAY");
    }
    // ombrel with these words; its exit status.
    int ombrel(const std::string& words) {
        return WEXITSTATUS(std::system((kOmbrel + " " + words + " 2>" + scratch.file("stderr.txt")).c_str()));
    }
    std::string errors() {
        std::vector<uint8_t> bytes = testdata::readFile(scratch.file("stderr.txt"));
        return std::string(bytes.begin(), bytes.end());
    }
    size_t filesIn(const std::string& folder) {
        return size_t(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
    }
    testdata::ScratchDir scratch;
};

TEST_F(Render, SequenceHasEveryKeyFrameAndTheStepsBetween) {
    fs::create_directories(scratch.file("keys"));
    fs::create_directories(scratch.file("steps"));
    ASSERT_EQ(ombrel("render --no-config --size 160x120 --animation run " + kFaerie + " -o '" +
                     scratch.file("keys/run_{frame:03}.png'")),
              0)
        << errors();
    EXPECT_EQ(filesIn(scratch.file("keys")), 6u);  // run is frames 40 to 45
    EXPECT_NE(testdata::readFile(scratch.file("keys/run_000.png")), testdata::readFile(scratch.file("keys/run_001.png")));
    ASSERT_EQ(ombrel("render --no-config --size 160x120 --animation run --steps 2 " + kFaerie + " -o " +
                     scratch.file("steps/{frame}.png")),
              0);
    EXPECT_EQ(filesIn(scratch.file("steps")), 18u);
    // Every third picture is a key frame, drawn as in the plain sequence.
    EXPECT_EQ(testdata::readFile(scratch.file("steps/3.png")), testdata::readFile(scratch.file("keys/run_001.png")));
    EXPECT_EQ(filesIn(scratch.path()), 3u);  // keys, steps, stderr.txt: no run folder left
}

TEST_F(Render, OnePointOfTheAnimationByFrameTimeOrFraction) {
    const std::string common = "render --no-config --size 160x120 --animation run " + kFaerie;
    ASSERT_EQ(ombrel(common + " --frame 42 -o " + scratch.file("frame.png")), 0) << errors();
    ASSERT_EQ(ombrel(common + " --fps 5 --time 0.4 -o " + scratch.file("time.png")), 0) << errors();
    ASSERT_EQ(ombrel(common + " --fraction 0.3333333 -o " + scratch.file("fraction.png")), 0) << errors();
    ASSERT_EQ(ombrel(common + " --frame 43 -o " + scratch.file("other.png")), 0) << errors();
    EXPECT_EQ(testdata::readFile(scratch.file("time.png")), testdata::readFile(scratch.file("frame.png")));
    EXPECT_EQ(testdata::readFile(scratch.file("fraction.png")), testdata::readFile(scratch.file("frame.png")));
    EXPECT_NE(testdata::readFile(scratch.file("other.png")), testdata::readFile(scratch.file("frame.png")));
}

TEST_F(Render, LoopingGifAtTheAnimationsSpeed) {
    const std::string gif = scratch.file("run.gif");
    ASSERT_EQ(ombrel("render --no-config --size 160x120 --animation run --fps 8 --steps 1 " + kFaerie + " -o " + gif), 0)
        << errors();
    int error = 0;
    GifFileType* file = DGifOpenFileName(gif.c_str(), &error);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(DGifSlurp(file), GIF_OK);
    EXPECT_EQ(file->SWidth, 160);
    ASSERT_EQ(file->ImageCount, 12);  // 6 key frames and one blend after each
    int total = 0;
    for (int i = 0; i < file->ImageCount; ++i) {
        GraphicsControlBlock control;
        ASSERT_EQ(DGifSavedExtensionToGCB(file, i, &control), GIF_OK);
        EXPECT_TRUE(control.DelayTime == 6 || control.DelayTime == 7) << control.DelayTime;
        total += control.DelayTime;
    }
    EXPECT_EQ(total, 75);  // 6 key frames at 8 a second, in hundredths
    const SavedImage& first = file->SavedImages[0];
    bool loops = false;
    for (int i = 0; i + 1 < first.ExtensionBlockCount; ++i) {
        const ExtensionBlock& b = first.ExtensionBlocks[i];
        const ExtensionBlock& next = first.ExtensionBlocks[i + 1];
        loops |= b.Function == APPLICATION_EXT_FUNC_CODE && b.ByteCount == 11 &&
                 std::memcmp(b.Bytes, "NETSCAPE2.0", 11) == 0 && next.ByteCount == 3 && next.Bytes[0] == 1 &&
                 next.Bytes[1] == 0 && next.Bytes[2] == 0;
    }
    EXPECT_TRUE(loops);
    DGifCloseFile(file, &error);
}

// The settings file counts for pictures as for opening, but a window size
// set once is the viewer's: pictures keep their own.
TEST_F(Render, SettingsGiveTheAnimationButNotTheWindowSize) {
    const std::string folder = scratch.file("config/ombrel");
    fs::create_directories(folder);
    testdata::writeFile(folder + "/settings", {'a', 'n', 'i', 'm', 'a', 't', 'i', 'o', 'n', '=', 'r', 'u', 'n', '\n',
                                               'f', 'p', 's', '=', '5', '\n', 's', 'i', 'z', 'e', '=', '3', '2', 'x',
                                               '2', '0', '\n'});
    setenv("XDG_CONFIG_HOME", scratch.file("config").c_str(), 1);
    const std::string gif = scratch.file("run.gif");
    ASSERT_EQ(ombrel("render " + kFaerie + " -o " + gif), 0) << errors();
    int error = 0;
    GifFileType* file = DGifOpenFileName(gif.c_str(), &error);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(DGifSlurp(file), GIF_OK);
    EXPECT_EQ(file->SWidth, 640);
    EXPECT_EQ(file->ImageCount, 6);  // run's key frames
    GraphicsControlBlock control;
    ASSERT_EQ(DGifSavedExtensionToGCB(file, 0, &control), GIF_OK);
    EXPECT_EQ(control.DelayTime, 20);  // 5 a second
    DGifCloseFile(file, &error);
    EXPECT_EQ(ombrel("render --no-config --animation nosuch " + kFaerie + " -o " + gif), 2);
    EXPECT_EQ(ombrel("render --animation nosuch --no-config " + kFaerie + " -o " + gif), 2);
    unsetenv("XDG_CONFIG_HOME");
}

TEST_F(Render, TransparentBackgroundOpaqueModel) {
    const std::string png = scratch.file("clear.png");
    ASSERT_EQ(ombrel("render --no-config --antialias 1 --transparent --background-color 1,0,0 " + kFaerie + " -o " + png), 0)
        << errors();
    PictureFile p = load(png);
    ASSERT_EQ(p.width, 640);
    EXPECT_EQ(p.pixels[3], 0);  // a corner
    EXPECT_GT(opaque(p), 15000);
    int partly = 0;
    for (size_t i = 3; i < p.pixels.size(); i += 4) partly += p.pixels[i] != 0 && p.pixels[i] != 255;
    EXPECT_EQ(partly, 0);
}

// A picture half written by a render that was killed goes when the next
// render writes that picture; one of a process that still runs stays.
TEST_F(Render, LeftoversOfKilledRendersGo) {
    const std::string stale = scratch.file(".x.png.999999999.abc123"), live = scratch.file(".x.png.1.abc123");
    testdata::writeFile(stale, {1, 2, 3});
    testdata::writeFile(live, {1, 2, 3});
    ASSERT_EQ(ombrel("render --no-config --size 64x48 " + kFaerie + " -o " + scratch.file("x.png")), 0) << errors();
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    EXPECT_TRUE(fs::exists(scratch.file("x.png")));
}

// A glTF and an OBJ source draw as the .md2 that convert makes of them: the
// same picture, pixel for pixel, its skin the source's own picture made
// 8-bit; a folder of sources draws each of them.
TEST_F(Render, SourcesDrawAsTheModelsConvertMakesOfThem) {
    const std::string at = scratch.path() + "/";
    fs::create_directories(at + "sources");
    ASSERT_EQ(ombrel("export " + kFaerie + " -o " + at + "sources/faerie.glb"), 0) << errors();
    ASSERT_EQ(ombrel("export --frame 40 " + kFaerie + " -o " + at + "sources/run.obj"), 0) << errors();
    for (const char* source : {"faerie.glb", "run.obj"}) {
        SCOPED_TRACE(source);
        const std::string made = at + source + ".md2";
        ASSERT_EQ(ombrel("convert " + at + "sources/" + source + " -o " + made), 0) << errors();
        for (const char* options :
             {"--no-config --size 160x120", "--no-config --size 160x120 --mode smooth --view back"}) {
            ASSERT_EQ(ombrel(std::string("render ") + options + " " + at + "sources/" + source + " -o " + at + "a.png"),
                      0)
                << errors();
            ASSERT_EQ(ombrel(std::string("render ") + options + " " + made + " -o " + at + "b.png"), 0) << errors();
            const PictureFile a = load(at + "a.png"), b = load(at + "b.png");
            ASSERT_FALSE(a.pixels.empty());
            EXPECT_GT(opaque(a), 0);
            EXPECT_TRUE(a.pixels == b.pixels) << options;
        }
    }
    ASSERT_EQ(ombrel("thumbnail --size 64 " + at + "sources -o '" + at + "thumbs/{name}.png'"), 0) << errors();
    EXPECT_TRUE(fs::is_regular_file(at + "thumbs/faerie.png"));
    EXPECT_TRUE(fs::is_regular_file(at + "thumbs/run.png"));
}

TEST_F(Render, RefusalsWriteNothing) {
    EXPECT_EQ(ombrel("render --no-config " + kFaerie + " -o " + scratch.file("x.jpg")), 2);
    EXPECT_NE(errors().find(".png"), std::string::npos) << errors();
    EXPECT_EQ(ombrel("render --no-config --frame 300 " + kFaerie + " -o " + scratch.file("x.png")), 2);
    EXPECT_EQ(ombrel("render --no-config --frame 2 --animation run " + kFaerie + " -o " + scratch.file("x.png")), 2);
    EXPECT_NE(errors().find("40 to 45"), std::string::npos) << errors();
    EXPECT_EQ(ombrel("render --no-config --steps 2 " + kFaerie + " -o " + scratch.file("x.png")), 2);
    EXPECT_EQ(ombrel("render --no-config --size 9000x10 " + kFaerie + " -o " + scratch.file("x.png")), 2);
    // A model with nothing to draw would give a picture of the background only.
    std::vector<uint8_t> empty = testdata::readFile(kFaerie);
    empty[24] = empty[25] = empty[26] = empty[27] = 0;  // no vertices
    const std::string model = scratch.file("empty.md2");
    testdata::writeFile(model, empty);
    EXPECT_EQ(ombrel("render --no-config " + model + " -o " + scratch.file("x.png")), 2);
    EXPECT_NE(errors().find("nothing to draw (no vertices)"), std::string::npos) << errors();
    EXPECT_EQ(ombrel("thumbnail --size 64 " + model + " " + scratch.file("x.png")), 2);
    fs::remove(model);
    EXPECT_EQ(filesIn(scratch.path()), 1u) << "only stderr.txt";
}

// The thumbnailer as a file manager runs it: in a sandbox where only the
// program's folder (read-only), the system's libraries, the model and the
// output folder exist.
class Thumbnail : public Render {
protected:
    int sandboxed(const std::string& model, const std::string& output) {
        const std::string out = scratch.file("out");
        // ombrel's folder read-only, as a file manager's sandbox shows /usr:
        // the drawing plugin is loaded from there.
        const std::string bin = OMBREL_BIN_DIR;
        return std::system(("bwrap --ro-bind /usr /usr --symlink usr/lib /lib --symlink usr/lib64 /lib64 --ro-bind " +
                            bin + " " + bin + " --ro-bind " + model + " " + model + " --bind " + out + " " +
                            out + " --unshare-all --dev /dev --proc /proc /usr/bin/env -i " + kOmbrel +
                            " thumbnail --size 128 " + model + " " + output + " 2>" + scratch.file("stderr.txt"))
                               .c_str());
    }
    void SetUp() override {
        Render::SetUp();
        fs::create_directories(scratch.file("out"));
        if (std::system("bwrap --ro-bind /usr /usr --symlink usr/lib /lib --symlink usr/lib64 /lib64 --unshare-all /usr/bin/true 2>/dev/null"))
            GTEST_SKIP() << "bubblewrap can't make a sandbox on this machine (no user namespaces?)";
    }
};

TEST_F(Thumbnail, InTheSandboxWithoutSkinShadedWithinTheSize) {
    const std::string png = scratch.file("out/faerie.png");
    ASSERT_EQ(sandboxed(kFaerie, png), 0) << errors();
    PictureFile p = load(png);
    EXPECT_EQ(p.width, 128);
    EXPECT_EQ(p.height, 128);
    EXPECT_EQ(p.pixels[3], 0);
    EXPECT_GT(opaque(p), 1000);
    // Lit: the model's white is shaded into many greys.
    std::vector<bool> greys(256);
    for (size_t i = 0; i < p.pixels.size(); i += 4)
        if (p.pixels[i + 3] == 255) greys[p.pixels[i]] = true;
    EXPECT_GT(std::count(greys.begin(), greys.end(), true), 30);
    EXPECT_EQ(filesIn(scratch.file("out")), 1u);
}

TEST_F(Thumbnail, HostileFileFailsAndLeavesNothing) {
    std::vector<uint8_t> bytes = {'I', 'D', 'P', '2', 8, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0x7F};
    bytes.resize(300, 0xEE);
    const std::string model = scratch.write("hostile.md2", bytes);
    EXPECT_NE(sandboxed(model, scratch.file("out/hostile.png")), 0);
    EXPECT_NE(errors().find("hostile.md2"), std::string::npos) << errors();
    EXPECT_EQ(filesIn(scratch.file("out")), 0u);
}

TEST_F(Thumbnail, WithItsSkinTextured) {
    const std::string png = scratch.file("out/skinned.png");
    ASSERT_EQ(ombrel("thumbnail --size 96 " + kFaerie + " " + png), 0) << errors();
    PictureFile p = load(png);
    EXPECT_EQ(p.width, 96);
    int coloured = 0;
    for (size_t i = 0; i < p.pixels.size(); i += 4)
        coloured += std::max({p.pixels[i], p.pixels[i + 1], p.pixels[i + 2]}) -
                        std::min({p.pixels[i], p.pixels[i + 1], p.pixels[i + 2]}) >
                    60;
    EXPECT_GT(coloured, 300);
}

}  // namespace
