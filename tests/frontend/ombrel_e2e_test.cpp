// ombrel with the real viewer under a private X server: a real model from
// the corpus opens skinned and framed without any option, also when its skin
// lies beside it under another letter case; Escape ends it with exit 0 and
// the run folder is gone.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/xsession.h"
#include "tests/writers/bytes.h"
#include "tests/writers/scratch_dir.h"

namespace fs = std::filesystem;

namespace {

using e2e::Clock;
using e2e::milliseconds;
using e2e::run;

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kCorpus = OMBREL_CORPUS_DIR;

struct Picture {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    int lit = 0;       // pixels that are not the black background
    int coloured = 0;  // of those, pixels with a clear hue: a skin, not a white wireframe
};

class OmbrelOnScreen : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        runFolders = scratch.file("run");
        fs::create_directories(runFolders);
        setenv("XDG_RUNTIME_DIR", runFolders.c_str(), 1);
        setenv("XDG_CONFIG_HOME", scratch.file("config").c_str(), 1);
    }
    void TearDown() override { e2e::stop(ombrel); }

    // Starts ombrel on the model; returns the viewer's window once it shows.
    std::string start(const std::vector<std::string>& args, const std::string& folder) {
        std::vector<std::string> command = {kOmbrel};
        command.insert(command.end(), args.begin(), args.end());
        ombrel = e2e::spawn(command, folder, scratch.file("stderr.txt"));
        std::string viewer;
        for (Clock::time_point end = Clock::now() + milliseconds(20000); viewer.empty() && Clock::now() < end;) {
            viewer = run("pgrep -P " + std::to_string(ombrel) + " | head -n 1");
            if (viewer.empty()) std::this_thread::sleep_for(milliseconds(20));
        }
        EXPECT_FALSE(viewer.empty()) << "ombrel started no viewer";
        std::string window = run("timeout 30 xdotool search --sync --onlyvisible --pid " + viewer + " | head -n 1");
        EXPECT_FALSE(window.empty()) << "the viewer's window did not appear";
        return window;
    }

    Picture shot() {
        const std::string path = scratch.file("shot.ppm");
        run("import -window root -crop 800x600+0+0 -depth 8 ppm:" + path);
        Picture p;
        std::ifstream in(path, std::ios::binary);
        std::string magic;
        int max = 0;
        in >> magic >> p.width >> p.height >> max;
        in.get();
        p.rgb.resize(size_t(p.width) * size_t(p.height) * 3);
        in.read(reinterpret_cast<char*>(p.rgb.data()), std::streamsize(p.rgb.size()));
        for (size_t i = 0; i + 2 < p.rgb.size(); i += 3) {
            int r = p.rgb[i], g = p.rgb[i + 1], b = p.rgb[i + 2];
            if (r + g + b > 30) ++p.lit;
            if (std::max({r, g, b}) - std::min({r, g, b}) > 60) ++p.coloured;
        }
        return p;
    }

    std::string errors() {
        std::vector<uint8_t> bytes = testdata::readFile(scratch.file("stderr.txt"));
        return std::string(bytes.begin(), bytes.end());
    }

    void expectSkinnedModelThenEscape() {
        // Framed: the model takes a good part of the 800 x 600 window, and
        // skinned: many of its pixels carry the skin's colours. Screenshots
        // until the model shows, for a while at most.
        Picture p = shot();
        for (Clock::time_point end = Clock::now() + milliseconds(10000); p.lit <= 15000 && Clock::now() < end;)
            p = shot();
        ASSERT_EQ(p.width, 800);
        EXPECT_GT(p.lit, 15000) << errors();
        EXPECT_GT(p.coloured, p.lit / 5) << errors();
        EXPECT_FALSE(fs::is_empty(runFolders));
        run("xdotool key Escape");
        EXPECT_EQ(e2e::waitForExit(ombrel, milliseconds(20000)), 0) << errors();
        ombrel = 0;
        EXPECT_TRUE(fs::is_empty(runFolders));
    }

    e2e::XServer server;
    testdata::ScratchDir scratch;
    std::string runFolders;
    pid_t ombrel = 0;
};

TEST_F(OmbrelOnScreen, CorpusModelOpensSkinnedAndEscapeEndsIt) {
    ASSERT_FALSE(start({kCorpus + "/faerie.md2"}, scratch.path()).empty());
    expectSkinnedModelThenEscape();
    EXPECT_EQ(errors().find("ombrel:"), std::string::npos) << errors();  // nothing to say: skin found, all well
}

TEST_F(OmbrelOnScreen, SkinBesideTheModelUnderAnotherLetterCase) {
    const std::string folder = scratch.file("Models");
    fs::create_directories(folder);
    fs::create_symlink(kCorpus + "/faerie.md2", folder + "/faerie.md2");
    fs::create_symlink(kCorpus + "/faerie.pcx", folder + "/Faerie.PCX");
    ASSERT_FALSE(start({"-v", "faerie.md2"}, folder).empty());
    expectSkinnedModelThenEscape();
    EXPECT_NE(errors().find("ombrel: skin: " + folder + "/Faerie.PCX (the picture named like the model)"),
              std::string::npos)
        << errors();
}

}  // namespace
