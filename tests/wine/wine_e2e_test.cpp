// The Windows programs under Wine with a private X server: the viewer
// started with an ombrel.cfg, keys and a drag, the missing-configuration
// box, and glswitch with a stand-in front end. Each case runs for the 64-
// and the 32-bit build; where Wine cannot start a build's programs (or the
// build is missing) the case is skipped and says why.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>

#include "tests/support/xsession.h"
#include "assets/sample_scene.h"
#include "tests/writers/scratch_dir.h"
#include "viewer/ModelWindow.h"
#include "viewer/config.h"

namespace {

namespace fs = std::filesystem;
using e2e::Clock;
using e2e::milliseconds;
using e2e::run;

std::string shellQuoted(const std::string& s) { return "'" + s + "'"; }

std::string fileText(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Why Wine cannot start this loader's programs here, or "" when it can.
std::string whyWineCannotStart(const std::string& loader) {
    if (access(loader.c_str(), X_OK) != 0) return loader + " is not installed (Debian packages wine, wine64, wine32)";
    std::string out = run(shellQuoted(loader) + " --version 2>&1; echo \"status $?\"");
    if (out.find("wine-") != std::string::npos) return "";
    if (out.find("Exec format error") != std::string::npos)
        return "this machine's kernel runs no 32-bit programs (32-bit emulation is off)";
    return loader + " --version said: " + out;
}

class Wine : public ::testing::TestWithParam<int> {
protected:
    void SetUp() override {
        bits = GetParam();
        bin = bits == 64 ? OMBREL_WIN64_BIN_DIR : OMBREL_WIN32_BIN_DIR;
        loader = bits == 64 ? "/usr/lib/wine/wine64" : "/usr/lib/wine/wine";
        if (access((bin + "/viewer.exe").c_str(), R_OK) != 0)
            GTEST_SKIP() << "no " << bits << "-bit Windows build in " << bin << " (scripts/build windows makes it)";
        std::string why = whyWineCannotStart(loader);
        if (!why.empty()) GTEST_SKIP() << "Wine cannot start " << bits << "-bit programs: " << why;
        setenv("WINEPREFIX", OMBREL_WINE_PREFIX, 1);
        setenv("WINEDEBUG", "-all", 1);
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml=", 1);  // no installer prompts in a new prefix
        std::string error;
        ASSERT_TRUE(server.start(error)) << error;
        started = true;
    }
    void TearDown() override {
        e2e::stop(program);
        // This test's Wine session ends with its X server.
        if (started) run("wineserver -k 2>/dev/null; wineserver -w 2>/dev/null");
    }

    pid_t startWine(const std::vector<std::string>& args, const std::string& dir) {
        std::vector<std::string> all{loader};
        all.insert(all.end(), args.begin(), args.end());
        return e2e::spawn(all, dir, scratch.file("wine-stderr.txt"));
    }

    // The viewer's window: a window of class viewer.exe larger than a pixel.
    std::string viewerWindow(milliseconds wait = milliseconds(60000)) {
        for (Clock::time_point end = Clock::now() + wait; Clock::now() < end;) {
            std::string ids = run("xdotool search --onlyvisible --classname '^viewer.exe$' 2>/dev/null");
            std::istringstream list(ids);
            std::string id;
            while (list >> id) {
                std::string info = run("xwininfo -id " + id);
                if (info.find("Width: 1\n") == std::string::npos) return id;
            }
            std::this_thread::sleep_for(milliseconds(100));
        }
        return "";
    }

    std::string shot(const std::string& name, int width, int height) {
        std::string path = scratch.file(name + ".png");
        run("import -window root -crop " + std::to_string(width) + "x" + std::to_string(height) + "+0+0 +repage " +
            path);
        return path;
    }
    // Screenshots (named name.png) until one passes the check (true) or the
    // time is up (false); the path of the last one taken.
    bool waitForShot(const std::string& name, int width, int height, const std::function<bool(const std::string&)>& check,
                     std::string& path, milliseconds limit = milliseconds(20000)) {
        bool passed = false;
        for (Clock::time_point end = Clock::now() + limit; !passed && Clock::now() < end;)
            passed = check(path = shot(name, width, height));
        return passed;
    }
    // Pixels that differ by more than a few per cent in a colour.
    long differing(const std::string& a, const std::string& b) {
        return std::atol(run("compare -metric AE -fuzz 8% " + a + " " + b + " null: 2>&1").c_str());
    }
    double brightness(const std::string& picture) {
        return std::atof(run("convert " + picture + " -colorspace Gray -format '%[fx:mean]' info:").c_str());
    }
    // Keys for the window. Without a window manager, Wine gives its windows
    // the keyboard when they are clicked, as a person would do first. What
    // the keys change is awaited by the caller.
    void keys(const std::string& window, const std::string& names) {
        if (window != activated) {
            run("xdotool mousemove --window " + window + " 2 2 click 1");
            std::this_thread::sleep_for(milliseconds(300));
            activated = window;
        }
        run("xdotool key --delay 100 " + names);
    }
    std::string activated;

    int bits = 0;
    std::string bin, loader;
    bool started = false;
    e2e::XServer server;
    testdata::ScratchDir scratch;
    pid_t program = 0;
};

TEST_P(Wine, ViewerShowsTheSceneAnswersKeysAndDragAndEndsOnEscape) {
    ASSERT_TRUE(writeSampleScene(scratch.path()));
    ViewerConfig c;
    ASSERT_TRUE(readConfig(scratch.file("ombrel.cfg").c_str(), c));
    c.windowWidth = 640;
    c.windowHeight = 480;
    c.flags |= FLAG_PAUSED;  // one picture to compare
    ASSERT_TRUE(writeConfig(scratch.file("ombrel.cfg"), c));

    program = startWine({bin + "/viewer.exe"}, scratch.path());
    std::string window = viewerWindow();
    ASSERT_FALSE(window.empty()) << "the viewer's window did not appear\n" << fileText(scratch.file("wine-stderr.txt"));
    std::string info = run("xwininfo -id " + window);
    EXPECT_NE(info.find("Absolute upper-left X:  0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Absolute upper-left Y:  0\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Width: 640\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Height: 480\n"), std::string::npos) << info;
    std::string textured;
    EXPECT_TRUE(waitForShot("textured", 640, 480, [&](const std::string& p) { return brightness(p) > 0.1; }, textured))
        << "the scene is drawn";

    // Keys 1 to 4: wireframe, flat, smooth, each unlike the textured picture
    // (flat and smooth look alike unlit, as lighting starts off; flat unlike
    // wireframe); 4 gives the textured picture back.
    std::vector<std::string> modes;
    for (const char* key : {"1", "2", "3"}) {
        keys(window, key);
        std::string picture;
        EXPECT_TRUE(waitForShot(std::string("mode") + key, 640, 480, [&](const std::string& p) {
            return differing(p, textured) > 1000 && (modes.size() != 1 || differing(p, modes[0]) > 1000);
        }, picture)) << "after key " << key;
        modes.push_back(picture);
    }
    keys(window, "4");
    std::string picture;
    EXPECT_TRUE(waitForShot("mode4", 640, 480,
                            [&](const std::string& p) { return differing(p, textured) < 640 * 480 / 100; }, picture));

    // A drag with the left button turns the model.
    run("xdotool mousemove 320 240 sleep 0.2 mousedown 1 sleep 0.2 mousemove 360 250 sleep 0.2 mousemove 420 260 "
        "sleep 0.2 mouseup 1");
    EXPECT_TRUE(waitForShot("dragged", 640, 480, [&](const std::string& p) { return differing(p, textured) > 1000; },
                            picture));

    keys(window, "Escape");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0);
    program = 0;

    // The Linux viewer's picture of the same record (afterwards: it takes the
    // keyboard of the X server for itself).
    pid_t native = e2e::spawn({std::string(OMBREL_BIN_DIR) + "/viewer"}, scratch.path());
    std::string nativeWindow =
        run("timeout 30 xdotool search --sync --onlyvisible --pid " + std::to_string(native) + " | head -n 1");
    long fromLinux = 640 * 480;
    waitForShot("linux", 640, 480, [&](const std::string& p) { return (fromLinux = differing(textured, p)) < 640 * 480 / 50; },
                picture);
    run(e2e::testBinDir() + "/x11tool close " + nativeWindow);
    EXPECT_EQ(e2e::waitForExit(native, milliseconds(10000)), 0);

    std::printf("%d-bit viewer under Wine: %ld of %d pixels differ from the Linux viewer's picture\n", bits, fromLinux,
                640 * 480);
    EXPECT_LT(fromLinux, 640 * 480 / 50) << "the same scene, at the same place and scale";
}

TEST_P(Wine, WithoutConfigurationTheViewerShowsTheErrorBox) {
    program = startWine({bin + "/viewer.exe"}, scratch.path());
    std::string box;
    for (Clock::time_point end = Clock::now() + milliseconds(60000); box.empty() && Clock::now() < end;) {
        box = run("xdotool search --onlyvisible --name '^Ombrel Viewer$' 2>/dev/null | head -n 1");
        if (box.empty()) std::this_thread::sleep_for(milliseconds(100));
    }
    ASSERT_FALSE(box.empty()) << "no box titled Ombrel Viewer\n" << fileText(scratch.file("wine-stderr.txt"));
    keys(box, "Return");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
}

struct StandinRecord {
    bool started = false;
    double startedAt = 0;
    std::string directory;
};

StandinRecord readStandin(const std::string& path) {
    StandinRecord r;
    std::ifstream in(path);
    long pid;
    long long ms;
    if (!(in >> pid >> ms)) return r;
    std::getline(in >> std::ws, r.directory);
    if (!r.directory.empty() && r.directory.back() == '\r') r.directory.pop_back();
    r.startedAt = ms / 1000.0;
    r.started = true;
    return r;
}

double now() { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); }

TEST_P(Wine, GlswitchMovesTheLibrariesAsideAndStartsTheFrontEnd) {
    std::string programDir = scratch.file("program"), callerDir = scratch.file("caller");
    fs::create_directory(programDir);
    fs::create_directory(callerDir);
    fs::copy_file(bin + "/glswitch.exe", programDir + "/glswitch.exe");
    fs::copy_file(std::string(bin) + "/../tests/ombrel_standin.exe", programDir + "/ombrel.exe");
    std::ofstream(programDir + "/opengl32.dll") << "bundled gl";
    std::ofstream(programDir + "/glu32.dll") << "bundled glu";
    std::ofstream(programDir + "/ombrel.cfg") << "settings";
    // Earlier aside copies that are links out of the folder: Wine shows Unix
    // links as plain files, and the copy still never lands where they point.
    std::string outside = scratch.file("system-gl.dll"), nowhere = scratch.file("made-by-a-dangling-link.dll");
    std::ofstream(outside) << "system gl";
    fs::create_symlink(outside, programDir + "/mesagl.dll");
    fs::create_symlink(nowhere, programDir + "/mesaglu.dll");
    // Started from elsewhere: the files are looked for beside the tool.
    run("WINEPREFIX=" + std::string(OMBREL_WINE_PREFIX) + " " + shellQuoted(loader) + " cmd /c exit >/dev/null 2>&1");
    double launched = now();
    program = startWine({programDir + "/glswitch.exe"}, callerDir);
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(30000)), 0);
    program = 0;
    StandinRecord record;
    for (Clock::time_point end = Clock::now() + milliseconds(20000); !record.started && Clock::now() < end;) {
        record = readStandin(programDir + "/standin-record.txt");
        if (!record.started) std::this_thread::sleep_for(milliseconds(50));
    }
    ASSERT_TRUE(record.started) << "ombrel.exe was not started";
    EXPECT_GE(record.startedAt - launched, 2.0) << "started after the wait of 2 seconds";
    EXPECT_LT(record.startedAt - launched, 15.0);
    EXPECT_NE(record.directory.find("program"), std::string::npos) << record.directory;
    EXPECT_EQ(fileText(programDir + "/mesagl.dll"), "bundled gl");
    EXPECT_EQ(fileText(programDir + "/mesaglu.dll"), "bundled glu");
    EXPECT_FALSE(fs::exists(programDir + "/opengl32.dll"));
    EXPECT_FALSE(fs::exists(programDir + "/glu32.dll"));
    EXPECT_FALSE(fs::exists(programDir + "/ombrel.cfg"));
    EXPECT_EQ(fileText(outside), "system gl");
    EXPECT_FALSE(fs::exists(nowhere));
}

// ombrel.exe, a console program: what it prints and its exit status.
std::string ombrelSays(const std::string& loader, const std::string& bin, const std::string& dir,
                       const std::string& args) {
    return run("cd " + shellQuoted(dir) + " && " + shellQuoted(loader) + " " + shellQuoted(bin + "/ombrel.exe") + " " +
               args + " 2>&1; echo \"status $?\"");
}

// A path as the Windows programs see it: Wine's drive Z: is the root.
std::string windowsPath(const std::string& path) {
    std::string native = "Z:" + fs::weakly_canonical(path).string();
    std::replace(native.begin(), native.end(), '/', '\\');
    return native;
}

// How many run folders of ombrel.exe lie in the Wine prefix's %TEMP%.
int runFolders() {
    const std::string temp = std::string(OMBREL_WINE_PREFIX) + "/drive_c/users/" + run("id -un") + "/Temp";
    return std::atoi(run("ls " + shellQuoted(temp) + " 2>/dev/null | grep -c '^ombrel-'").c_str());
}

TEST_P(Wine, OmbrelHelpsWritesRecordsWithWindowsPathsAndRefusesArchives) {
    std::string help = ombrelSays(loader, bin, scratch.path(), "--help");
    EXPECT_NE(help.find("Usage: ombrel"), std::string::npos) << help;
    EXPECT_NE(help.find("reads no archives"), std::string::npos) << help;
    EXPECT_NE(help.find("\\ombrel\\settings"), std::string::npos) << "settings under %APPDATA%\n" << help;
    EXPECT_EQ(help.substr(help.rfind('\n') + 1), "status 0");

    const std::string corpus = OMBREL_CORPUS_DIR;
    std::string said = ombrelSays(loader, bin, scratch.path(), "--write-config rec.cfg " + corpus + "/faerie.md2");
    EXPECT_EQ(said, "status 0");
    EXPECT_EQ(fs::file_size(scratch.file("rec.cfg")), 1653u);
    ViewerConfig c;
    ASSERT_TRUE(readConfig(scratch.file("rec.cfg").c_str(), c));
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], windowsPath(corpus + "/faerie.md2").c_str());
    EXPECT_STREQ(c.paths[PATH_MAIN_SKIN], windowsPath(corpus + "/faerie.pcx").c_str());
    EXPECT_STREQ(c.paths[PATH_WATER], windowsPath(bin + "/../share/ombrel/water.pcx").c_str()) << "the drawn water";

    // What this build leaves out: one line and exit 2 (an archive whether
    // it exists or not).
    std::ofstream(scratch.file("models.pak")) << "PACK";
    const std::string model = corpus + "/faerie.md2";
    for (const std::pair<std::string, std::string>& refused :
         std::vector<std::pair<std::string, std::string>>{{"models.pak:tris.md2", "reads no archives"},
                                                          {"list models.pak", "reads no archives"},
                                                          {"info missing.zip:a.md2", "reads no archives"},
                                                          {"render " + model + " -o a.png", "draws no pictures"},
                                                          {"thumbnail --size 64 " + model + " a.png", "draws no pictures"}}) {
        said = ombrelSays(loader, bin, scratch.path(), refused.first);
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << refused.first << ": " << said;
        EXPECT_NE(said.find(refused.second), std::string::npos) << refused.first << ": " << said;
        EXPECT_EQ(said.substr(said.rfind('\n') + 1), "status 2") << refused.first;
    }
}

// Pixels of the top-left width x height of a screenshot that are not black.
long litPixels(const std::string& picture, int width, int height) {
    return std::atol(run("convert " + picture + " -crop " + std::to_string(width) + "x" + std::to_string(height) +
                         "+0+0 -threshold 2% -format '%[fx:int(mean*w*h)]' info:")
                         .c_str());
}

TEST_P(Wine, OmbrelStartsTheViewerOnAModelAndReturnsItsExitStatus) {
    const int before = runFolders();
    program = startWine({bin + "/ombrel.exe", std::string(OMBREL_CORPUS_DIR) + "/faerie.md2", "--size", "640x480"},
                        scratch.path());
    std::string window = viewerWindow();
    ASSERT_FALSE(window.empty()) << "the viewer's window did not appear\n" << fileText(scratch.file("wine-stderr.txt"));
    EXPECT_NE(run("xwininfo -id " + window).find("Width: 640\n"), std::string::npos);
    std::string picture;
    EXPECT_TRUE(waitForShot("faerie", 640, 480, [](const std::string& p) { return litPixels(p, 640, 480) > 5000; }, picture))
        << "the skinned model is drawn";
    // The record and the prepared files live in a run folder under %TEMP%.
    EXPECT_EQ(runFolders(), before + 1);
    keys(window, "Escape");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
    EXPECT_EQ(runFolders(), before) << "the run folder is gone";
}

// What a Windows user sees first: glswitch starts the real ombrel.exe with
// no arguments, which asks for a model with the Open dialogue, opens the
// chosen one in the viewer (with the water picture beside ombrel.exe), and
// cleans up after Escape.
TEST_P(Wine, GlswitchStartsOmbrelWhichAsksForTheModelWithTheOpenDialogue) {
    std::string programDir = scratch.file("program");
    fs::create_directory(programDir);
    for (const char* program : {"glswitch.exe", "ombrel.exe", "viewer.exe"})
        fs::copy_file(bin + "/" + program, programDir + "/" + program);
    fs::copy_file(bin + "/../share/ombrel/water.pcx", programDir + "/water.pcx");
    const int before = runFolders();
    program = startWine({programDir + "/glswitch.exe"}, scratch.path());
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(30000)), 0);
    program = 0;
    std::string dialogue;
    for (Clock::time_point end = Clock::now() + milliseconds(60000); dialogue.empty() && Clock::now() < end;) {
        dialogue = run("xdotool search --onlyvisible --name '^Open a model$' 2>/dev/null | head -n 1");
        if (dialogue.empty()) std::this_thread::sleep_for(milliseconds(200));
    }
    ASSERT_FALSE(dialogue.empty()) << "no Open dialogue\n" << fileText(scratch.file("wine-stderr.txt"));
    std::this_thread::sleep_for(milliseconds(1000));
    // The file name box has the keyboard once the dialogue has it. A busy
    // machine may lose the first keys of a new dialogue: then again.
    std::string window;
    for (int attempt = 0; attempt < 3 && window.empty(); ++attempt) {
        std::this_thread::sleep_for(milliseconds(1000));
        run("xdotool mousemove --window " + dialogue + " 2 2 click 1 sleep 0.5 key ctrl+a sleep 0.2 type --delay 30 " +
            shellQuoted(windowsPath(std::string(OMBREL_CORPUS_DIR) + "/faerie.md2")) + "; xdotool key Return");
        window = viewerWindow(milliseconds(20000));
    }
    ASSERT_FALSE(window.empty()) << "the chosen model did not open\n" << fileText(scratch.file("wine-stderr.txt"));
    keys(window, "Escape");
    bool cleaned = false;
    for (Clock::time_point end = Clock::now() + milliseconds(20000); !cleaned && Clock::now() < end;) {
        cleaned = runFolders() == before;
        if (!cleaned) std::this_thread::sleep_for(milliseconds(200));
    }
    EXPECT_TRUE(cleaned) << "ombrel.exe ended and removed its run folder";
}

INSTANTIATE_TEST_SUITE_P(Builds, Wine, ::testing::Values(64, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Win" + std::to_string(info.param); });

}  // namespace
