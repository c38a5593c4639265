// Start-up by need: the commands that draw nothing load none of the window
// system, GL, sound or desktop libraries (counted by the dynamic loader's
// own account, LD_DEBUG=libs), and keep working where those can't be loaded
// at all: the drawing plugin missing, or broken stand-ins first on
// LD_LIBRARY_PATH. Only the picture commands then fail, in one line.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

namespace fs = std::filesystem;

namespace {

using frontendtest::lines;
using frontendtest::Result;
using frontendtest::runProgram;

const std::string kBin = OMBREL_BIN_DIR;
const std::string kCorpus = OMBREL_CORPUS_DIR;

// The libraries of the window system, GL, sound and the desktop, as the
// loader names the files.
const std::regex kDesktopLibrary(R"(/lib(SDL2|GL|OpenGL|EGL|GLX|GLU|GLdispatch|X11|xcb|wayland|xkbcommon|decor|asound|pulse|pipewire|gio|glib|gobject|dbus|systemd|udev|drm|gbm)[-.a-z0-9_]*\.so)");

class StartUp : public ::testing::Test {
protected:
    void SetUp() override {
        model = scratch.file("models/faerie.md2");
        frontendtest::writeBytes(model, testdata::readFile(kCorpus + "/faerie.md2"));
        frontendtest::writeBytes(scratch.file("models/faerie.pcx"), testdata::readFile(kCorpus + "/faerie.pcx"));
        zip = scratch.write("pack.zip", testdata::zipArchive({{"m/faerie.md2", testdata::readFile(model)}}));
    }

    Result run(const std::string& ombrel, const std::vector<std::string>& args,
               std::vector<std::string> environment = {}) {
        environment.insert(environment.end(), {"DISPLAY", "XDG_CONFIG_HOME=" + scratch.path(),
                                               "XDG_RUNTIME_DIR=" + scratch.path()});
        return runProgram(ombrel, args, environment, scratch.path());
    }

    // Every library the loader started for the command (its "calling init" lines).
    std::vector<std::string> librariesOf(const std::vector<std::string>& args) {
        const Result result = run(kBin + "/ombrel", args, {"LD_DEBUG=libs"});
        EXPECT_EQ(result.status, 0) << args[0] << ": " << result.err.substr(result.err.size() > 2000 ? result.err.size() - 2000 : 0);
        std::vector<std::string> libraries;
        static const std::regex init(R"(calling init: (\S+))");
        for (const std::string& line : lines(result.err)) {
            std::smatch match;
            if (std::regex_search(line, match, init)) libraries.push_back(match[1]);
        }
        return libraries;
    }

    // The commands that draw nothing, each with what it prints when all is well.
    std::vector<std::vector<std::string>> drawingNothing() {
        return {{"--version"},
                {"--help"},
                {"info", model},
                {"info", "--json", zip + ":m/faerie.md2"},
                {"list", zip},
                {"export", model, "-o", scratch.file("faerie.glb")},
                {"convert", model, "-o", scratch.file("made.md2")}};
    }

    // Each command that draws nothing gives what it gives normally; each
    // picture command refuses in one line, exit 1, leaving nothing behind.
    void expectOnlyPicturesRefused(const std::string& ombrel, const std::vector<std::string>& environment,
                                   const std::string& why) {
        for (const std::vector<std::string>& args : drawingNothing()) {
            const Result normal = run(kBin + "/ombrel", args);
            const Result here = run(ombrel, args, environment);
            EXPECT_EQ(here.status, 0) << args[0] << ": " << here.err;
            EXPECT_EQ(here.out, normal.out) << args[0];
            EXPECT_EQ(here.err, "") << args[0];
        }
        const std::vector<std::vector<std::string>> pictures = {
            {"render", model, "-o", scratch.file("out/faerie.png")},
            {"thumbnail", "--size", "64", model, scratch.file("out/faerie.png")},
            {"gallery", scratch.file("models"), "-o", scratch.file("out/gallery")}};
        fs::create_directories(scratch.file("out"));
        for (const std::vector<std::string>& args : pictures) {
            const Result refused = run(ombrel, args, environment);
            EXPECT_EQ(refused.status, 1) << args[0];
            const std::vector<std::string> said = lines(refused.err);
            ASSERT_EQ(said.size(), 1u) << refused.err;
            EXPECT_EQ(said[0].rfind("ombrel: drawing is unavailable: ", 0), 0u) << said[0];
            EXPECT_NE(said[0].find(why), std::string::npos) << said[0];
            EXPECT_TRUE(fs::is_empty(scratch.file("out"))) << args[0];
        }
    }

    testdata::ScratchDir scratch;
    std::string model, zip;
};

TEST_F(StartUp, CommandsThatDrawNothingLoadNoneOfTheDesktop) {
    for (const std::vector<std::string>& args : drawingNothing()) {
        const std::vector<std::string> libraries = librariesOf(args);
        EXPECT_FALSE(libraries.empty()) << args[0] << ": LD_DEBUG said nothing";
        EXPECT_LE(libraries.size(), 12u) << args[0];
        for (const std::string& library : libraries)
            EXPECT_FALSE(std::regex_search(library, kDesktopLibrary)) << args[0] << " loads " << library;
    }
    // The same account shows them where they are used.
    std::vector<std::string> drawing = librariesOf({"render", model, "-o", scratch.file("faerie.png")});
    EXPECT_TRUE(std::any_of(drawing.begin(), drawing.end(),
                            [](const std::string& library) { return library.find("/libSDL2") != std::string::npos; }));
}

TEST_F(StartUp, BrokenDrawingLibrariesLeaveEveryOtherCommandWorking) {
    // Stand-ins that are no libraries, found before the system's.
    const std::string broken = scratch.file("broken");
    for (const char* name : {"libSDL2-2.0.so.0", "libOpenGL.so.0", "libGL.so.1", "libGLU.so.1", "libGLX.so.0",
                             "libEGL.so.1", "libGLdispatch.so.0", "libgio-2.0.so.0", "libglib-2.0.so.0",
                             "libgobject-2.0.so.0", "libX11.so.6"})
        frontendtest::writeBytes(broken + "/" + name, {'n', 'o', 't', ' ', 'E', 'L', 'F', '\n'});
    expectOnlyPicturesRefused(kBin + "/ombrel", {"LD_LIBRARY_PATH=" + broken}, broken + "/");
}

TEST_F(StartUp, WithoutTheDrawingPluginOnlyPicturesAreRefused) {
    // ombrel alone in a folder: no plugin beside it, none installed beside it.
    const std::string alone = scratch.file("alone/bin/ombrel");
    fs::create_directories(fs::path(alone).parent_path());
    fs::copy_file(kBin + "/ombrel", alone);
    expectOnlyPicturesRefused(alone, {}, "ombrel-drawing.so");
}

}  // namespace
