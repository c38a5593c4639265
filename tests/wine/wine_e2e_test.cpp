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
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <thread>

#include "tests/frontend/picture_file.h"
#include "tests/support/xsession.h"
#include "assets/sample_scene.h"
#include "tests/writers/archives.h"
#include "tests/writers/pictures.h"
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
        // No installer prompts in a new prefix, and no launchers or file
        // types of the Start-menu entries the installer test makes in this
        // machine's desktop.
        setenv("WINEDLLOVERRIDES", "mscoree,mshtml,winemenubuilder.exe=", 1);
        // Wine reads Unix file names and command lines in the locale's
        // character set: UTF-8, which the names made here are in (a bare
        // machine's shell may have no locale at all).
        setenv("LC_ALL", "C.UTF-8", 1);
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
    // The scene drawn: neither the black nor the white of a window before
    // its first picture (Wine shows either, for a moment), and settled, the
    // same in two shots running.
    std::string textured;
    const std::string previous = scratch.file("textured-before.png");
    EXPECT_TRUE(waitForShot("textured", 640, 480, [&](const std::string& p) {
        const double light = brightness(p);
        const bool settled = light > 0.1 && light < 0.9 && fs::exists(previous) && differing(p, previous) < 100;
        fs::copy_file(p, previous, fs::copy_options::overwrite_existing);
        return settled;
    }, textured)) << "the scene is drawn";

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

TEST_P(Wine, OmbrelHelpsWritesRecordsWithWindowsPathsAndRefusesBadInput) {
    std::string help = ombrelSays(loader, bin, scratch.path(), "--help");
    EXPECT_NE(help.find("Usage: ombrel"), std::string::npos) << help;
    // A build that found giflib draws pictures (OmbrelDrawsThePicturesTheLinuxBuildDraws).
    const bool drawsPictures = help.find("draws no pictures") == std::string::npos;
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

    // Bad input, and what this build leaves out: one line and exit 2.
    std::ofstream(scratch.file("models.pak")) << "PACK";
    const std::string model = corpus + "/faerie.md2";
    std::vector<std::pair<std::string, std::string>> refusals{
        {"models.pak:tris.md2", "models.pak: a PACK archive cut short in its header"},
        {"list models.pak", "models.pak: a PACK archive cut short in its header"},
        {"info missing.zip:a.md2", "missing.zip: no such file"}};
    if (!drawsPictures)
        refusals.insert(refusals.end(), {{"render " + model + " -o a.png", "draws no pictures"},
                                         {"thumbnail --size 64 " + model + " a.png", "draws no pictures"}});
    for (const std::pair<std::string, std::string>& refused : refusals) {
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

std::vector<uint8_t> fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// ombrel.exe export writes what the Linux build writes: the same .glb (the
// skin inside) and .gltf with its .bin and .png, byte for byte.
TEST_P(Wine, OmbrelExportsWhatTheLinuxBuildExports) {
    const std::string model = std::string(OMBREL_CORPUS_DIR) + "/faerie.md2";
    fs::create_directory(scratch.file("linux"));
    fs::create_directory(scratch.file("windows"));
    for (const char* out : {"faerie.glb", "faerie.gltf"}) {
        SCOPED_TRACE(out);
        const std::string options = std::string(" export --animation run --quantize ");
        EXPECT_EQ(run("cd " + shellQuoted(scratch.file("linux")) + " && " + OMBREL_BIN_DIR + "/ombrel" + options +
                      shellQuoted(model) + " -o " + out + " 2>&1; echo \"status $?\""),
                  "status 0");
        EXPECT_EQ(ombrelSays(loader, bin, scratch.file("windows"), options + shellQuoted(model) + " -o " + out),
                  "status 0");
    }
    int compared = 0;
    for (const fs::directory_entry& written : fs::directory_iterator(scratch.file("linux"))) {
        const std::string name = written.path().filename();
        SCOPED_TRACE(name);
        const std::vector<uint8_t> linux = fileBytes(written.path()), windows = fileBytes(scratch.file("windows/" + name));
        EXPECT_GT(linux.size(), 1000u);
        EXPECT_TRUE(linux == windows) << linux.size() << " bytes on Linux, " << windows.size() << " on Windows";
        ++compared;
    }
    EXPECT_EQ(compared, 4) << "faerie.glb, faerie.gltf, faerie.bin, faerie.png";
}

// ombrel.exe convert makes what the Linux build makes, byte for byte: the
// .md2 and .pcx of faerie's own glTF export (plain and quantized, its skin
// exact in 256 colours), the same with a photograph of many colours for a
// skin (the palette made by Wu's quantiser and k-means), an OBJ sequence,
// and a corpus model made again.
TEST_P(Wine, OmbrelConvertsWhatTheLinuxBuildConverts) {
    const std::string corpus = OMBREL_CORPUS_DIR;
    const std::string ombrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
    for (const char* made : {"linux", "windows"}) fs::create_directory(scratch.file(made));
    ASSERT_EQ(run(ombrel + " export " + shellQuoted(corpus + "/faerie.md2") + " -o " +
                  shellQuoted(scratch.file("faerie.glb")) + " && " + ombrel + " export --quantize " +
                  shellQuoted(corpus + "/faerie.md2") + " -o " + shellQuoted(scratch.file("quantized.glb")) +
                  " && cd " + shellQuoted(scratch.path()) + " && " + ombrel + " export --animation run " +
                  shellQuoted(corpus + "/faerie.md2") + " -o 'run_{frame}.obj'; echo \"status $?\""),
              "status 0");
    std::vector<uint8_t> photo(size_t(160) * 120 * 3);
    for (size_t i = 0; i < photo.size(); ++i) photo[i] = uint8_t((i * 2654435761u) >> 13 ^ (i / 480) * 3);
    ASSERT_TRUE(testdata::writeTga(scratch.file("photo.tga"), 160, 120, photo));
    const std::vector<std::pair<std::string, std::string>> conversions = {
        {"../faerie.glb", "faerie.md2"},
        {"--box frame ../quantized.glb", "quantized.md2"},
        {"--skin ../photo.tga --height 40 ../faerie.glb", "photo.md2"},
        {"'../run_{frame}.obj'", "run.md2"},
        {shellQuoted(corpus + "/sydney.md2"), "sydney.md2"},
    };
    for (const auto& [arguments, output] : conversions) {
        SCOPED_TRACE(arguments);
        const std::string words = " convert " + arguments + " -o " + output + " >/dev/null";
        EXPECT_EQ(
            run("cd " + shellQuoted(scratch.file("linux")) + " && " + ombrel + words + " 2>&1; echo \"status $?\""),
            "status 0");
        EXPECT_EQ(ombrelSays(loader, bin, scratch.file("windows"), words), "status 0");
    }
    int compared = 0;
    for (const fs::directory_entry& written : fs::directory_iterator(scratch.file("linux"))) {
        const std::string name = written.path().filename();
        SCOPED_TRACE(name);
        const std::vector<uint8_t> linux = fileBytes(written.path()),
                                   windows = fileBytes(scratch.file("windows/" + name));
        size_t differing = std::max(linux.size(), windows.size()) - std::min(linux.size(), windows.size());
        for (size_t i = 0; i < std::min(linux.size(), windows.size()); ++i) differing += linux[i] != windows[i];
        EXPECT_EQ(differing, 0u) << linux.size() << " bytes on Linux, " << windows.size() << " from the " << bits
                                 << "-bit build";
        ++compared;
    }
    EXPECT_EQ(compared, 10) << "five models and their skins";
}

// The value of a registry key's value (its default one when value is ""),
// as Wine's reg.exe prints it; "(missing)" when the key or value is not there.
std::string registryValue(const std::string& loader, const std::string& key, const std::string& value = "") {
    std::string out = run(shellQuoted(loader) + " reg query " + shellQuoted(key) +
                          (value.empty() ? " /ve" : " /v " + shellQuoted(value)) + " 2>/dev/null");
    size_t type = out.find("REG_SZ");
    if (type == std::string::npos) return "(missing)";
    size_t start = out.find_first_not_of(' ', type + 6), end = out.find_first_of("\r\n", start);
    return start == std::string::npos ? "" : out.substr(start, end == std::string::npos ? end : end - start);
}

bool registryKeyExists(const std::string& loader, const std::string& key) {
    return run(shellQuoted(loader) + " reg query " + shellQuoted(key) + " >/dev/null 2>&1; echo $?") == "0";
}

// Everything under a folder, as paths relative to it.
std::vector<std::string> filesUnder(const std::string& folder) {
    std::vector<std::string> found;
    if (!fs::exists(folder)) return found;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder))
        if (entry.is_regular_file()) found.push_back(fs::relative(entry.path(), folder).string());
    std::sort(found.begin(), found.end());
    return found;
}

// A folder named in letters no ANSI code page holds all of: ombrel.exe
// takes its words from the wide command line and reaches files through the
// wide calls (also by paths typed with backslashes), prints the names as
// they are (UTF-8), writes them so into the record, and the viewer opens the
// model and skin from there.
TEST_P(Wine, OmbrelAndTheViewerReachFoldersOfAnyName) {
    const std::string folder = scratch.file("modèles 模型");
    fs::create_directory(folder);
    for (const char* name : {"faerie.md2", "faerie.pcx"})
        fs::copy_file(std::string(OMBREL_CORPUS_DIR) + "/" + name, folder + "/" + name);
    const std::string model = shellQuoted(folder + "/faerie.md2");
    std::string said = ombrelSays(loader, bin, scratch.path(), "info " + model);
    EXPECT_EQ(said.rfind(folder + "/faerie.md2: IDP2 model", 0), 0u) << said;
    EXPECT_EQ(said.substr(said.rfind('\n') + 1), "status 0");
    said = ombrelSays(loader, bin, scratch.path(), "info " + shellQuoted(folder + "/lost.md2"));
    EXPECT_EQ(said, "ombrel: " + folder + "/lost.md2: no such file\r\nstatus 2");
    EXPECT_EQ(ombrelSays(loader, bin, scratch.path(), "export " + model + " -o " + shellQuoted(folder + "/f.glb")),
              "status 0");
    EXPECT_GT(fs::file_size(folder + "/f.glb"), 100000u);
    // Typed as Windows people type paths: relative, with backslashes.
    EXPECT_EQ(ombrelSays(loader, bin, scratch.path(),
                         "render --size 64x48 'modèles 模型\\faerie.md2' -o 'modèles 模型\\r.png'"),
              "status 0");
    EXPECT_TRUE(fs::is_regular_file(folder + "/r.png"));
    EXPECT_EQ(ombrelSays(loader, bin, scratch.path(), "--write-config " + shellQuoted(folder + "/rec.cfg") + " " + model),
              "status 0");
    ViewerConfig c;
    ASSERT_TRUE(readConfig((folder + "/rec.cfg").c_str(), c));
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], windowsPath(folder + "/faerie.md2").c_str());
    EXPECT_STREQ(c.paths[PATH_MAIN_SKIN], windowsPath(folder + "/faerie.pcx").c_str());

    program = startWine({bin + "/ombrel.exe", folder + "/faerie.md2", "--size", "640x480"}, scratch.path());
    std::string window = viewerWindow();
    ASSERT_FALSE(window.empty()) << "the viewer's window did not appear\n" << fileText(scratch.file("wine-stderr.txt"));
    std::string picture;
    EXPECT_TRUE(waitForShot("any-name", 640, 480, [](const std::string& p) { return litPixels(p, 640, 480) > 5000; },
                            picture))
        << "the skinned model is drawn";
    keys(window, "Escape");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
}

// Pixels of two pictures of one size (channels bytes each) that differ by
// more than 8 in a channel, and pixels of the first that are not black
// (alpha: not transparent): the tolerance of the render-equals-viewer test
// is a difference in one pixel of 200 of the model's at most.
// With colourFromAlpha, the colours of a 4-channel picture count only where
// want's alpha is at least that (a bitmap un-premultiplied has lost their
// precision where it is nearly transparent); alpha counts everywhere.
struct PictureDifference {
    int model = 0, different = 0;
};
PictureDifference compared(const PictureFile& want, const PictureFile& got, int channels, int colourFromAlpha = 0) {
    PictureDifference difference;
    if (want.pixels.size() != got.pixels.size() || want.width != got.width) {
        difference.different = want.width * want.height;
        return difference;
    }
    for (size_t i = 0; i < want.pixels.size(); i += size_t(channels)) {
        const bool drawn = channels == 4 ? want.pixels[i + 3] > 0 : want.pixels[i] + want.pixels[i + 1] + want.pixels[i + 2] > 30;
        if (drawn) ++difference.model;
        int most = 0;
        for (size_t c = 0; c < size_t(channels); ++c)
            if (c == 3 || channels == 3 || want.pixels[i + 3] >= colourFromAlpha)
                most = std::max(most, std::abs(int(want.pixels[i + c]) - got.pixels[i + c]));
        if (most > 8) ++difference.different;
    }
    return difference;
}

// ombrel.exe draws what the Linux build draws, through the Win32 toolkit's
// hidden window and WGL: a PNG as the viewer starts, one smoothed from a
// named view, a thumbnail over transparency, a looping GIF, and a gallery of
// two models; each the same picture within the render-equals-viewer test's
// tolerance.
TEST_P(Wine, OmbrelDrawsThePicturesTheLinuxBuildDraws) {
    if (ombrelSays(loader, bin, scratch.path(), "--help").find("draws no pictures") != std::string::npos)
        GTEST_SKIP() << "this Windows build draws no pictures: giflib could not be had when it was configured (its "
                        "CMake warning says why)";
    const std::string corpus = OMBREL_CORPUS_DIR;
    const std::string faerie = shellQuoted(corpus + "/faerie.md2"), sydney = shellQuoted(corpus + "/sydney.md2");
    fs::create_directory(scratch.file("linux"));
    fs::create_directory(scratch.file("windows"));
    struct Drawing {
        std::string arguments, picture;
        int channels;
    };
    const std::vector<Drawing> drawings{
        {"render --no-config --antialias 1 --size 320x240 " + faerie + " -o plain.png", "plain.png", 3},
        {"render --no-config --mode smooth --view back --antialias 4 --size 200x150 " + sydney + " -o smooth.png",
         "smooth.png", 3},
        {"thumbnail --size 128 " + faerie + " thumb.png", "thumb.png", 4},
        {"render --no-config --frames 0-3 --size 160x120 " + faerie + " -o run.gif", "run.gif", 3},
        // -j 2: two processes on Linux, one on Windows, the same files.
        {"gallery -j 2 --size 96x96 -o gallery " + faerie + " " + sydney, "gallery/pictures/sydney.png", 4},
    };
    for (const Drawing& drawing : drawings) {
        SCOPED_TRACE(drawing.arguments);
        EXPECT_EQ(run("cd " + shellQuoted(scratch.file("linux")) + " && " + OMBREL_BIN_DIR + "/ombrel " +
                      drawing.arguments + " 2>&1; echo \"status $?\""),
                  "status 0");
        EXPECT_EQ(ombrelSays(loader, bin, scratch.file("windows"), drawing.arguments), "status 0");
        const PictureFile linux = loadPictureFile(scratch.file("linux/" + drawing.picture), drawing.channels);
        const PictureFile windows = loadPictureFile(scratch.file("windows/" + drawing.picture), drawing.channels);
        ASSERT_FALSE(linux.pixels.empty());
        const PictureDifference difference = compared(linux, windows, drawing.channels);
        std::printf("%d-bit %s: %d of the model's %d pixels differ from the Linux build's\n", bits,
                    drawing.picture.c_str(), difference.different, difference.model);
        EXPECT_GT(difference.model, linux.width * linux.height / 20) << "the model, not an empty picture";
        EXPECT_LE(difference.different, difference.model / 200)
            << difference.different << " of " << difference.model << " differ";
    }
    // The GIF loops through the same pictures; the gallery holds the same files.
    EXPECT_EQ(run("identify " + shellQuoted(scratch.file("windows/run.gif")) + " | wc -l"), "4");
    EXPECT_EQ(filesUnder(scratch.file("windows/gallery")), filesUnder(scratch.file("linux/gallery")));
}

// Archives as people have them: a .pk3 of deflated members, a .pak, and a
// .zip as zip writes to a pipe (each member's CRC and sizes after its data),
// each holding a real model and its skin (found by the model's name, inside
// the archive first). ombrel.exe lists them, describes the model, writes a
// record whose skin is the archive's, draws it and exports it as the Linux
// build does, refuses a member with one byte flipped, and the viewer shows
// the model from the archive.
TEST_P(Wine, OmbrelListsOpensDrawsAndExportsModelsInsideArchives) {
    const std::string corpus = OMBREL_CORPUS_DIR;
    const std::vector<uint8_t> faerie = fileBytes(corpus + "/faerie.md2"), skin = fileBytes(corpus + "/faerie.pcx");
    std::vector<testdata::ZipMember> members{
        {"models/faerie.md2", faerie, 8}, {"models/faerie.pcx", skin, 8}, {"readme.txt", {'h', 'i'}, 8}};
    scratch.write("models.pk3", testdata::zipArchiveOf(members));
    for (testdata::ZipMember& member : members) member.descriptor = true;
    scratch.write("piped.zip", testdata::zipArchiveOf(members));
    scratch.write("pak0.pak", testdata::pakArchive({{"models/faerie.md2", faerie},
                                                    {"models/faerie.pcx", skin},
                                                    {"readme.txt", {'h', 'i'}}}));
    std::vector<uint8_t> flipped = testdata::zipArchive({{"models/faerie.md2", faerie}});
    flipped[flipped.size() / 2] ^= 0x10;  // within the model's bytes, stored as they are
    scratch.write("flipped.zip", flipped);
    const bool drawsPictures =
        ombrelSays(loader, bin, scratch.path(), "--help").find("draws no pictures") == std::string::npos;
    fs::create_directory(scratch.file("linux"));
    for (const char* archive : {"models.pk3", "pak0.pak", "piped.zip"}) {
        SCOPED_TRACE(archive);
        EXPECT_EQ(ombrelSays(loader, bin, scratch.path(), std::string("list ") + archive),
                  "models/faerie.md2\r\nstatus 0");
        std::string said = ombrelSays(loader, bin, scratch.path(), std::string("info ") + archive + ":MODELS/FAERIE.MD2");
        EXPECT_NE(said.find("frames 198"), std::string::npos) << said;
        EXPECT_EQ(said.substr(said.rfind('\n') + 1), "status 0");
        fs::remove_all(scratch.file("rec.cfg.files"));
        said = ombrelSays(loader, bin, scratch.path(), std::string("--write-config rec.cfg ") + archive +
                                                           ":models/faerie.md2");
        EXPECT_EQ(said, "status 0");
        ViewerConfig c;
        ASSERT_TRUE(readConfig(scratch.file("rec.cfg").c_str(), c));
        const std::string extracted = windowsPath(scratch.file("rec.cfg.files"));
        EXPECT_EQ(std::string(c.paths[PATH_MAIN_MODEL]).rfind(extracted, 0), 0u) << c.paths[PATH_MAIN_MODEL];
        EXPECT_EQ(std::string(c.paths[PATH_MAIN_SKIN]).rfind(extracted, 0), 0u) << "the archive's skin\n"
                                                                                 << c.paths[PATH_MAIN_SKIN];

        // Exported and drawn as the Linux build exports and draws the same member.
        const std::string member = shellQuoted(scratch.file(archive) + ":models/faerie.md2");
        std::vector<std::string> commands{"export " + member + " -o faerie.glb"};
        if (drawsPictures) commands.push_back("render --no-config --size 160x120 " + member + " -o faerie.png");
        for (const std::string& command : commands) {
            EXPECT_EQ(run("cd " + shellQuoted(scratch.file("linux")) + " && " + OMBREL_BIN_DIR + "/ombrel " + command +
                          " 2>&1; echo \"status $?\""),
                      "status 0");
            EXPECT_EQ(ombrelSays(loader, bin, scratch.path(), command), "status 0") << command;
        }
        const std::vector<uint8_t> linuxGlb = fileBytes(scratch.file("linux/faerie.glb"));
        EXPECT_GT(linuxGlb.size(), 100000u);
        EXPECT_TRUE(linuxGlb == fileBytes(scratch.file("faerie.glb"))) << "the .glb differs from the Linux build's";
        if (drawsPictures) {
            const PictureFile linux = loadPictureFile(scratch.file("linux/faerie.png"), 3);
            const PictureDifference difference = compared(linux, loadPictureFile(scratch.file("faerie.png"), 3), 3);
            EXPECT_GT(difference.model, linux.width * linux.height / 20) << "the model, not an empty picture";
            EXPECT_LE(difference.different, difference.model / 200)
                << difference.different << " of " << difference.model << " differ";
        }
    }
    std::vector<std::string> refused{"info", "export -o flipped.glb"};
    if (drawsPictures) refused.push_back("render -o flipped.png");
    for (const std::string& command : refused) {
        const std::string said = ombrelSays(loader, bin, scratch.path(), command + " flipped.zip:models/faerie.md2");
        EXPECT_EQ(said.rfind("ombrel: flipped.zip:models/faerie.md2: damaged in the archive (its CRC-32 is ", 0), 0u)
            << command << ": " << said;
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << command << ": " << said;
        EXPECT_EQ(said.substr(said.rfind('\n') + 1), "status 2") << command;
    }
    EXPECT_FALSE(fs::exists(scratch.file("flipped.png")));
    EXPECT_FALSE(fs::exists(scratch.file("flipped.glb")));

    program = startWine({bin + "/ombrel.exe", scratch.file("models.pk3") + ":models/faerie.md2", "--size", "640x480"},
                        scratch.path());
    std::string window = viewerWindow();
    ASSERT_FALSE(window.empty()) << "the viewer's window did not appear\n" << fileText(scratch.file("wine-stderr.txt"));
    // The first frames may still be black: look until the model shows.
    long lit = 0;
    for (Clock::time_point end = Clock::now() + milliseconds(10000); lit <= 5000 && Clock::now() < end;)
        lit = litPixels(shot("from-pk3", 640, 480), 640, 480);
    EXPECT_GT(lit, 5000) << "the skinned model is drawn";
    keys(window, "Escape");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
}

// The build's installer (ombrel-VERSION-winBITS-setup.exe), "" when none was made.
std::string installerBeside(const std::string& bin) {
    for (const fs::directory_entry& entry : fs::directory_iterator(bin + "/.."))
        if (entry.path().filename().string().rfind("ombrel-", 0) == 0 && entry.path().string().size() > 10 &&
            entry.path().string().compare(entry.path().string().size() - 10, 10, "-setup.exe") == 0)
            return entry.path();
    return "";
}

// The installer as a person uses it, silently: setup.exe /S puts the
// programs (stripped, no build tools) and the water picture under Program
// Files, a Start-menu entry, the .md2 type and the Apps & features entry in
// the registry; a .md2 opened the way Explorer opens it (ShellExecute, the
// association's command) shows in the viewer; Uninstall.exe /S takes all of
// that away again.
TEST_P(Wine, InstallerInstallsOpensModelsAndUninstallsEverything) {
    const std::string setup = installerBeside(bin);
    if (setup.empty()) GTEST_SKIP() << "no installer beside " << bin << " (scripts/build windows makes it)";
    const std::string drive = std::string(OMBREL_WINE_PREFIX) + "/drive_c";
    const std::string home = drive + (bits == 64 ? "/Program Files/Ombrel" : "/Program Files (x86)/Ombrel");
    const std::string menu = drive + "/ProgramData/Microsoft/Windows/Start Menu/Programs/Ombrel";
    const std::string classes = "HKLM\\Software\\Classes", entry = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Ombrel";
    ASSERT_FALSE(fs::exists(home)) << "left from an earlier run";
    const std::string md2Before = registryValue(loader, classes + "\\.md2");

    program = startWine({setup, "/S"}, scratch.path());
    ASSERT_EQ(e2e::waitForExit(program, milliseconds(60000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
    EXPECT_EQ(filesUnder(home), (std::vector<std::string>{"Uninstall.exe", "bin/glswitch.exe", "bin/ombrel-thumbnails.dll",
                                                          "bin/ombrel.exe", "bin/viewer.exe", "bin/water.pcx"}));
    EXPECT_EQ(filesUnder(menu), (std::vector<std::string>{"Ombrel.lnk", "Uninstall.lnk"}));
    const std::string objdump = bits == 64 ? "x86_64-w64-mingw32-objdump" : "i686-w64-mingw32-objdump";
    for (const char* name : {"ombrel.exe", "viewer.exe", "glswitch.exe", "ombrel-thumbnails.dll"})
        EXPECT_EQ(run(objdump + " -h " + shellQuoted(home + "/bin/" + name) + " | grep -c debug_"), "0")
            << name << " is stripped";

    const std::string ombrel = std::string(bits == 64 ? "C:\\Program Files" : "C:\\Program Files (x86)") +
                               "\\Ombrel\\bin\\ombrel.exe";
    EXPECT_EQ(registryValue(loader, classes + "\\.md2"), "Ombrel.md2");
    EXPECT_EQ(registryValue(loader, classes + "\\Ombrel.md2\\DefaultIcon"), ombrel + ",0");
    EXPECT_EQ(registryValue(loader, classes + "\\Ombrel.md2\\shell\\open\\command"), "\"" + ombrel + "\" \"%1\"");
    EXPECT_EQ(registryValue(loader, entry, "DisplayName"), "Ombrel " + std::string(OMBREL_VERSION));
    EXPECT_EQ(registryValue(loader, entry, "UninstallString"),
              "\"" + ombrel.substr(0, ombrel.size() - 15) + "\\Uninstall.exe\"");
    EXPECT_EQ(registryValue(loader, entry, "DisplayIcon"), ombrel);

    // Opened as Explorer opens a file: start looks the type up and runs its
    // command, ombrel.exe from where it was installed.
    const int before = runFolders();
    program = startWine({"start", windowsPath(std::string(OMBREL_CORPUS_DIR) + "/faerie.md2")}, scratch.path());
    std::string window = viewerWindow();
    ASSERT_FALSE(window.empty()) << "the model did not open\n" << fileText(scratch.file("wine-stderr.txt"));
    std::string command = run("ps -eo args | grep -i '[o]mbrel.exe'");
    EXPECT_NE(command.find("Program Files"), std::string::npos) << command;
    keys(window, "Escape");
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(20000)), 0);
    program = 0;
    bool cleaned = false;
    for (Clock::time_point end = Clock::now() + milliseconds(20000); !cleaned && Clock::now() < end;) {
        cleaned = runFolders() == before;
        if (!cleaned) std::this_thread::sleep_for(milliseconds(200));
    }
    EXPECT_TRUE(cleaned) << "ombrel.exe ended and removed its run folder";

    // The uninstaller runs a copy of itself from %TEMP% and returns at once:
    // wait until its work is done.
    program = startWine({home + "/Uninstall.exe", "/S"}, scratch.path());
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(30000)), 0);
    program = 0;
    for (Clock::time_point end = Clock::now() + milliseconds(60000);
         (fs::exists(home) || registryKeyExists(loader, "HKLM\\Software\\Ombrel")) && Clock::now() < end;)
        std::this_thread::sleep_for(milliseconds(300));
    EXPECT_FALSE(fs::exists(home)) << testing::PrintToString(filesUnder(home));
    EXPECT_FALSE(fs::exists(menu)) << testing::PrintToString(filesUnder(menu));
    for (const std::string& key : {classes + "\\Ombrel.md2", entry, std::string("HKLM\\Software\\Ombrel")})
        EXPECT_FALSE(registryKeyExists(loader, key)) << key;
    EXPECT_EQ(registryValue(loader, classes + "\\.md2"), md2Before) << "the type .md2 had before";
    if (md2Before == "(missing)") {
        EXPECT_FALSE(registryKeyExists(loader, classes + "\\.md2"));
    }
}

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// What Explorer shows of a .md2 file. The installer registers the thumbnail
// provider in the registry view of its width, keeping a handler .md2 had
// before; the shell's way to it (thumbnail_host: the class named under the
// type's ShellEx key, CoCreateInstance, a stream from SHCreateStreamOnFileEx,
// GetThumbnail) gives for every corpus model at 256 and 96 pixels what
// `ombrel thumbnail` draws of the model alone on Linux, within the
// render-equals-viewer tolerance; a truncated and a hostile model get an
// error code and no bitmap while the DLL stays and draws the next; an OpenGL
// without framebuffer objects gets an error code. A thumbnail costs at most
// 1.5 times ombrel.exe's, each a whole process. The uninstaller leaves the
// keys as they were.
TEST_P(Wine, ExplorerShowsTheLinuxThumbnailsAndTheUninstallerTakesTheProviderAway) {
    const std::string setup = installerBeside(bin), host = bin + "/../tests/thumbnail_host.exe";
    if (setup.empty()) GTEST_SKIP() << "no installer beside " << bin << " (scripts/build windows makes it)";
    ASSERT_EQ(access(host.c_str(), R_OK), 0) << host;
    const std::string corpus = OMBREL_CORPUS_DIR;
    // Only a width whose OpenGL draws here can be compared (Wine's 32-bit
    // half draws through the 32-bit Mesa libraries).
    const std::string drawn = ombrelSays(loader, bin, scratch.path(),
                                         "thumbnail --size 16 " + shellQuoted(corpus + "/faerie.md2") + " probe.png");
    if (drawn.find("OpenGL") != std::string::npos)
        GTEST_SKIP() << "this machine's " << bits << "-bit Wine draws no OpenGL: " << drawn;

    const std::string classes = "HKLM\\Software\\Classes";
    const std::string handler = classes + "\\.md2\\ShellEx\\{e357fccd-a995-4576-b01f-234630154e96}";
    const std::string server = classes + "\\CLSID\\" + OMBREL_THUMBNAIL_CLSID + "\\InprocServer32";
    // Another program's handler, there before: given back on removal.
    const std::string foreign = "{00000000-1111-2222-3333-444444444444}";
    const bool md2Existed = registryKeyExists(loader, classes + "\\.md2");
    ASSERT_EQ(registryValue(loader, handler), "(missing)") << "left from an earlier run";
    run(shellQuoted(loader) + " reg add " + shellQuoted(handler) + " /ve /d " + shellQuoted(foreign) + " /f >/dev/null 2>&1");
    ASSERT_EQ(registryValue(loader, handler), foreign);
    ASSERT_FALSE(registryKeyExists(loader, server)) << "left from an earlier run";

    program = startWine({setup, "/S"}, scratch.path());
    ASSERT_EQ(e2e::waitForExit(program, milliseconds(60000)), 0) << fileText(scratch.file("wine-stderr.txt"));
    program = 0;
    const std::string installed = registryValue(loader, "HKLM\\Software\\Ombrel\\Ombrel");
    EXPECT_EQ(registryValue(loader, handler), OMBREL_THUMBNAIL_CLSID);
    EXPECT_EQ(registryValue(loader, server), installed + "\\bin\\ombrel-thumbnails.dll");
    EXPECT_EQ(registryValue(loader, server, "ThreadingModel"), "Apartment");

    // The models alone (no skin beside them), and two that can't be drawn,
    // each followed by one that can.
    const std::string alone = scratch.file("alone");
    fs::create_directory(alone);
    std::vector<std::string> models;
    for (const fs::directory_entry& entry : fs::directory_iterator(corpus))
        if (entry.path().extension() == ".md2") {
            fs::copy_file(entry.path(), alone + "/" + entry.path().filename().string());
            models.push_back(entry.path().stem());
        }
    std::sort(models.begin(), models.end());
    ASSERT_GE(models.size(), 2u);
    std::vector<uint8_t> bytes = fileBytes(corpus + "/" + models[0] + ".md2");
    scratch.write("alone/truncated.md2", std::vector<uint8_t>(bytes.begin(), bytes.begin() + 2000));
    const int32_t lots = 0x7fffffff;
    std::memcpy(&bytes[40], &lots, 4);  // a frame count past what the file holds
    scratch.write("alone/hostile.md2", bytes);
    std::vector<std::string> asked{"truncated", models[0], "hostile", models[1]};
    asked.insert(asked.end(), models.begin() + 2, models.end());

    const std::string after = "; provider loaded; nothing shown; no class left; loop untouched";
    for (int size : {256, 96}) {
        SCOPED_TRACE(size);
        const std::string out = scratch.file("windows-" + std::to_string(size));
        fs::create_directory(out);
        std::string words;
        for (const std::string& name : asked) words += " " + shellQuoted(windowsPath(alone + "/" + name + ".md2"));
        const std::string said = run("cd " + shellQuoted(scratch.path()) + " && " + shellQuoted(loader) + " " +
                                     shellQuoted(host) + " " + std::to_string(size) + " " +
                                     shellQuoted(windowsPath(out)) + words + " 2>&1; echo \"status $?\"");
        std::string expected = "class " + std::string(OMBREL_THUMBNAIL_CLSID) + " in " + installed +
                               "\\bin\\ombrel-thumbnails.dll\r\n";
        const std::string drawnLine = " drawn " + std::to_string(size) + "x" + std::to_string(size) + " ARGB" + after;
        for (const std::string& name : asked)
            expected += name + ":" +
                        (name == "truncated" || name == "hostile" ? " refused 0x8007000B; no bitmap" + after : drawnLine) +
                        "\r\n";
        EXPECT_EQ(said, expected + "status 0");
        for (const std::string& name : models) {
            SCOPED_TRACE(name);
            const std::string linux = scratch.file("linux-" + name + "-" + std::to_string(size) + ".png");
            EXPECT_EQ(run(std::string(OMBREL_BIN_DIR) + "/ombrel thumbnail --size " + std::to_string(size) + " " +
                          shellQuoted(alone + "/" + name + ".md2") + " " + shellQuoted(linux) + " 2>&1; echo \"status $?\""),
                      "status 0");
            const PictureFile want = loadPictureFile(linux, 4), got = loadPictureFile(out + "/" + name + ".png", 4);
            ASSERT_FALSE(want.pixels.empty());
            const PictureDifference difference = compared(want, got, 4, 240);
            std::printf("%d-bit provider, %s at %d: %d of the model's %d pixels differ from the Linux thumbnail\n", bits,
                        name.c_str(), size, difference.different, difference.model);
            EXPECT_GT(difference.model, size * size / 20) << "the model, not an empty picture";
            EXPECT_LE(difference.different, difference.model / 200)
                << difference.different << " of " << difference.model << " differ";
        }
    }

    // An OpenGL without framebuffer objects (Windows' own 1.1 renderer):
    // an error code, no bitmap, no hang.
    const std::string model = shellQuoted(windowsPath(alone + "/" + models[0] + ".md2"));
    EXPECT_NE(run("MESA_GL_VERSION_OVERRIDE=1.5 MESA_EXTENSION_OVERRIDE=-GL_ARB_framebuffer_object timeout 60 " +
                  shellQuoted(loader) + " " + shellQuoted(host) + " 64 " + shellQuoted(windowsPath(scratch.path())) +
                  " " + model + " 2>&1")
                  .find(models[0] + ": refused 0x80070032; no bitmap" + after),
              std::string::npos);

    // One 256-pixel thumbnail: the shell's way (the program's start, the
    // DLL's load, the draw) against ombrel.exe's, each a whole process,
    // taken in turns.
    std::vector<double> provider, ombrel;
    for (int i = 0; i < 9; ++i) {
        Clock::time_point start = Clock::now();
        run(shellQuoted(loader) + " " + shellQuoted(host) + " 256 " + shellQuoted(windowsPath(scratch.path())) + " " +
            model + " >/dev/null 2>&1");
        provider.push_back(secondsSince(start));
        start = Clock::now();
        ombrelSays(loader, bin, scratch.path(), "thumbnail --size 256 " + model + " timed.png");
        ombrel.push_back(secondsSince(start));
    }
    std::printf("%d-bit: a 256-pixel thumbnail through the provider %.3f s, ombrel.exe thumbnail %.3f s (medians of 9): "
                "%.2fx\n",
                bits, median(provider), median(ombrel), median(provider) / median(ombrel));
    EXPECT_LE(median(provider), 1.5 * median(ombrel));

    program = startWine({installed + "\\Uninstall.exe", "/S"}, scratch.path());
    EXPECT_EQ(e2e::waitForExit(program, milliseconds(30000)), 0);
    program = 0;
    for (Clock::time_point end = Clock::now() + milliseconds(60000);
         registryKeyExists(loader, "HKLM\\Software\\Ombrel") && Clock::now() < end;)
        std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(registryValue(loader, handler), foreign) << "the handler .md2 had before";
    EXPECT_FALSE(registryKeyExists(loader, classes + "\\CLSID\\" + OMBREL_THUMBNAIL_CLSID));
    // The prefix as it was before the test.
    run(shellQuoted(loader) + " reg delete " + shellQuoted(md2Existed ? classes + "\\.md2\\ShellEx" : classes + "\\.md2") +
        " /f >/dev/null 2>&1");
}

INSTANTIATE_TEST_SUITE_P(Builds, Wine, ::testing::Values(64, 32),
                         [](const ::testing::TestParamInfo<int>& info) { return "Win" + std::to_string(info.param); });

}  // namespace
