// The ombrel program itself, beside a stand-in viewer that reports how it
// was started: bad input refused on one line with exit 2 and no viewer, the
// viewer's exit code passed back, signals passed on, the run folder gone
// afterwards, info, list, usage and the file chooser.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <thread>
#include <utility>

#include "frontend/files/files.h"
#include "model/gltf.h"
#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"
#include "tests/writers/md2_writer.h"
#include "viewer/config.h"

namespace fs = std::filesystem;

namespace {

using frontendtest::Result;

class OmbrelProgram : public ::testing::Test {
protected:
    void SetUp() override {
        root = absolutePath(dir.path());
        for (const char* sub : {"bin", "run", "config", "report", "work"}) fs::create_directories(root + "/" + sub);
        // The program's folder as the build makes it: ombrel and the plugins it loads.
        for (const char* program : {"ombrel", "ombrel-drawing.so", "ombrel-chooser.so"})
            fs::copy_file(std::string(OMBREL_BIN_DIR) + "/" + program, root + "/bin/" + program);
        fs::copy_file(VIEWER_STANDIN, root + "/bin/viewer");
        work = root + "/work";
        frontendtest::writeModel(work + "/hero.md2");
        frontendtest::writePcx(work + "/hero.pcx");
    }

    std::vector<std::string> environment(const std::string& standin = "exit:0") const {
        return {"XDG_RUNTIME_DIR=" + root + "/run",
                "XDG_CONFIG_HOME=" + root + "/config",
                "OMBREL_STANDIN_REPORT=" + root + "/report",
                "OMBREL_STANDIN=" + standin,
                "DISPLAY=:97",  // the stand-in viewer needs none, but ombrel shows nothing without one
                "WAYLAND_DISPLAY",
                "SDL_VIDEODRIVER"};
    }

    Result ombrel(const std::vector<std::string>& args, std::vector<std::string> extra = {}) const {
        std::vector<std::string> env = environment();
        env.insert(env.end(), extra.begin(), extra.end());
        return frontendtest::runProgram(root + "/bin/ombrel", args, env, work);
    }

    bool viewerStarted() const { return fs::exists(root + "/report/cwd"); }
    bool runFolderEmpty() const { return fs::is_empty(root + "/run"); }

    testdata::ScratchDir dir;
    std::string root, work;
};

TEST_F(OmbrelProgram, BadInputIsOneLineNamingTheFileExitTwoAndNoViewer) {
    fs::create_directories(work + "/models");
    frontendtest::writeBytes(work + "/notes.md2", {'h', 'e', 'l', 'l', 'o'});
    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel());
    frontendtest::writeBytes(work + "/cut.md2", std::vector<uint8_t>(model.begin(), model.begin() + 100));
    frontendtest::writeBytes(work + "/pack.md2", testdata::zipArchive({{"a.md2", model}}));
    frontendtest::writeBytes(work + "/pak0.pak", testdata::pakArchive({{"models/a.md2", model}}));
    frontendtest::writeBytes(work + "/fake.pak", {'n', 'o', 'p', 'e'});
    frontendtest::writeBytes(work + "/config/ombrel/settings", {});
    const std::string settings = root + "/config/ombrel/settings";
    const std::string badSettings = "fps = 12\ncolour = red\n";
    frontendtest::writeBytes(settings, std::vector<uint8_t>(badSettings.begin(), badSettings.end()));

    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"nowhere.md2"}, "ombrel: nowhere.md2: no such file"},
        {{"models"}, "ombrel: models: a folder, not a file"},
        {{"/dev/null"}, "ombrel: /dev/null: not a regular file"},
        {{"notes.md2"}, "ombrel: notes.md2: not an IDP2 model (it starts with \"hell\", not \"IDP2\")"},
        {{"cut.md2"}, "ombrel: cut.md2: cut short: the frames end at byte 352 but the file has 100 bytes"},
        {{"pack.md2"},
         "ombrel: pack.md2: not an IDP2 model (it starts with \"PK\\x03\\x04\", not \"IDP2\"); it is an "
         "archive: open a model in it as ARCHIVE:PATH (see ombrel list ARCHIVE)"},
        {{"pak0.pak:models/b.md2"}, "ombrel: pak0.pak:models/b.md2: no such file in the archive"},
        {{"fake.pak:a.md2"}, "ombrel: fake.pak: not a PACK or zip archive"},
        {{"--skin", "none.pcx", "hero.md2"}, "ombrel: none.pcx: no such file"},
        {{"--size", "80x", "hero.md2"}, "ombrel: --size 80x: expected WIDTHxHEIGHT in pixels, such as 800x600"},
        {{"--mode", "shiny", "hero.md2"}, "ombrel: --mode shiny: expected wireframe, flat, smooth or textured"},
        {{"--background-color", "2,0,0", "hero.md2"},
         "ombrel: --background-color 2,0,0: red, green and blue must lie between 0 and 1"},
        {{"--frames", "9-2", "hero.md2"}, "ombrel: --frames 9-2: the first frame comes after the last"},
        {{"--frames", "0-99", "hero.md2"}, "ombrel: --frames 0-99: hero.md2 has key frames 0 to 4"},
        {{"--animation", "fly", "hero.md2"},
         "ombrel: --animation fly: hero.md2 has no animation of that name (it has idle, walk)"},
        {{"--fps", "0", "hero.md2"}, "ombrel: --fps 0: expected a number from 0.01 to 1000\n"},
        {{"--fps", "nan", "hero.md2"}, "ombrel: --fps nan: expected a number from 0.01 to 1000\n"},
        {{"--brightness", "2.5", "hero.md2"}, "ombrel: --brightness 2.5: expected a whole number from -20 to 100\n"},
        {{"--skin", "0", "hero.md2"}, "ombrel: --skin 0: stored skins are counted from 1"},
        {{"--bogus", "hero.md2"}, "ombrel: --bogus: no such option; ombrel --help lists them\n"},
        {{"--szie", "800x600", "hero.md2"}, "ombrel: --szie: no such option; did you mean --size?\n"},
        {{"render", "--frame", "9", "hero.md2", "-o", "x.png"}, "ombrel: --frame 9: hero.md2 has key frames 0 to 4\n"},
        {{"render", "--tranparent", "hero.md2", "-o", "x.png"},
         "ombrel: --tranparent: no such option; did you mean --transparent?\n"},
        // An option of other commands but not of this one is not offered back.
        {{"thumbnail", "--no-config", "--size", "64", "hero.md2", "x.png"},
         "ombrel: --no-config: no such option; ombrel thumbnail --help lists them\n"},
    };
    for (const auto& c : cases) {
        Result r = ombrel(c.first, {"XDG_CONFIG_HOME=" + root + "/none"});
        EXPECT_EQ(r.status, 2) << c.second;
        std::vector<std::string> errors = frontendtest::lines(r.err);
        ASSERT_EQ(errors.size(), 1u) << r.err;
        // A whole line where the case ends in a line break, else its start.
        if (c.second.back() == '\n')
            EXPECT_EQ(r.err, c.second);
        else
            EXPECT_EQ(errors[0].substr(0, c.second.size()), c.second);
        EXPECT_FALSE(viewerStarted()) << c.second;
    }
    Result r = ombrel({"hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: " + settings + ": line 2: no option named \"colour\"\n");
    const std::string badValue = "fps = fast\n";
    frontendtest::writeBytes(settings, std::vector<uint8_t>(badValue.begin(), badValue.end()));
    r = ombrel({"hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: " + settings + ": line 1: --fps fast: expected a number from 0.01 to 1000\n");
    EXPECT_EQ(ombrel({"--no-config", "hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"}).status, 0);
    // Every line of the file is checked where it stands, and blamed by its number.
    const std::vector<std::pair<std::string, std::string>> settingsCases = {
        {"fps = 12\n\npaused = maybe\n", "line 3: paused = maybe: expected true or false"},
        {"# a comment\nsize\n", "line 2: no value for size"},
        {std::string(100000, 'x') + " = 1\n", "line 1: no option named \"" + std::string(40, 'x') + "...\""},
        {"write-config = out.cfg\n", "line 1: no option named \"write-config\""},
    };
    for (const auto& c : settingsCases) {
        frontendtest::writeBytes(settings, std::vector<uint8_t>(c.first.begin(), c.first.end()));
        r = ombrel({"hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"});
        EXPECT_EQ(r.status, 2);
        EXPECT_EQ(r.err, "ombrel: " + settings + ": " + c.second + "\n");
    }
    // Another file by --settings, and a folder where the file should be.
    frontendtest::writeBytes(work + "/mine", {'f', 'p', 's', '=', '0', '\n'});
    r = ombrel({"--settings", "mine", "hero.md2"});
    EXPECT_EQ(r.err, "ombrel: mine: line 1: --fps 0: expected a number from 0.01 to 1000\n");
    fs::remove(settings);
    fs::create_directories(settings);
    r = ombrel({"hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"});
    EXPECT_EQ(r.err, "ombrel: " + settings + ": a folder, not a file\n");
    EXPECT_EQ(ombrel({"--no-config", "hero.md2"}, {"XDG_CONFIG_HOME=" + root + "/config"}).status, 0);
    EXPECT_TRUE(runFolderEmpty());
}

// What other runs left behind or planted: a run folder of a process that
// was killed goes at the next start (one of a live process stays); a
// record's folder that is a link or another user's is not written into; a
// base folder too long for the record's paths is passed over.
TEST_F(OmbrelProgram, LeftoversPlantedFoldersAndLongBases) {
    const std::string stale = root + "/run/ombrel-999999999-abcdef", live = root + "/run/ombrel-1-abcdef";
    fs::create_directories(stale + "/inside");
    fs::create_directories(live);  // process 1 always runs
    EXPECT_EQ(ombrel({"hero.md2"}).status, 0);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(live));
    fs::remove(live);

    frontendtest::writeBytes(work + "/skin.png", frontendtest::pngBytes(4, 4, frontendtest::gradientRgb(4, 4)));
    fs::create_directories(root + "/elsewhere");
    fs::create_directory_symlink(root + "/elsewhere", work + "/linked.cfg.files");
    // Where the files can't go is the system's failure, not the input's.
    Result r = ombrel({"--write-config", "linked.cfg", "--skin", "skin.png", "hero.md2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ombrel: " + work + "/linked.cfg.files: can't make the folder (something else than a folder "
                                         "stands there)\n");
    EXPECT_TRUE(fs::is_empty(root + "/elsewhere"));
    if (geteuid() == 0) {
        fs::create_directories(work + "/theirs.cfg.files");
        ASSERT_EQ(chown((work + "/theirs.cfg.files").c_str(), 65534, 65534), 0);
        r = ombrel({"--write-config", "theirs.cfg", "--skin", "skin.png", "hero.md2"});
        EXPECT_EQ(r.status, 1);
        EXPECT_NE(r.err.find("another user's"), std::string::npos) << r.err;
        EXPECT_TRUE(fs::is_empty(work + "/theirs.cfg.files"));
    }

    const std::string longBase = root + "/" + std::string(120, 'r') + "/" + std::string(100, 'r');
    fs::create_directories(longBase);
    fs::create_directories(root + "/tmp");
    r = ombrel({"--skin", "skin.png", "hero.md2"}, {"XDG_RUNTIME_DIR=" + longBase, "TMPDIR=" + root + "/tmp"});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<uint8_t> cwd = testdata::readFile(root + "/report/cwd");
    EXPECT_EQ(std::string(cwd.begin(), cwd.end()).rfind(root + "/tmp/ombrel-", 0), 0u);
    ViewerConfig record;
    ASSERT_TRUE(readConfig((root + "/report/ombrel.cfg").c_str(), record));
    EXPECT_EQ(std::string(record.paths[PATH_MAIN_SKIN]), std::string(cwd.begin(), cwd.end()) + "/skin.tga");
}

// Each way ombrel ends reaches the one reporter: one line, the right code.
TEST_F(OmbrelProgram, FailuresOfTheSystemAreOneLineAndExitOne) {
    fs::remove(root + "/bin/viewer");
    Result r = ombrel({"hero.md2"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "ombrel: " + root + "/bin/viewer: the viewer is not there\n");
    EXPECT_TRUE(runFolderEmpty());
    fs::permissions(root + "/run", fs::perms::owner_read | fs::perms::owner_exec);
    fs::copy_file(VIEWER_STANDIN, root + "/bin/viewer");
    r = ombrel({"hero.md2"}, {"TMPDIR=" + root + "/run"});
    fs::permissions(root + "/run", fs::perms::owner_all);
    if (geteuid() != 0) {  // root writes anywhere
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
        EXPECT_NE(r.err.find("can't make the run folder"), std::string::npos) << r.err;
        EXPECT_FALSE(viewerStarted());
    }
}

TEST_F(OmbrelProgram, SkinProblemsAreOneLineAndTheModelStillOpens) {
    frontendtest::writeBytes(work + "/broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    Result r = ombrel({"--skin", "broken.png", "hero.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(
        frontendtest::lines(r.err),
        (std::vector<std::string>{"ombrel: broken.png: can't read the skin (a PNG that can't be decoded); going on "
                                  "without it"}));
    ViewerConfig record;
    ASSERT_TRUE(readConfig((root + "/report/ombrel.cfg").c_str(), record));
    EXPECT_STREQ(record.paths[PATH_MAIN_SKIN], "");
    EXPECT_EQ(record.renderMode, 0);  // textured without a skin would show a white shape

    fs::remove(work + "/hero.pcx");
    r = ombrel({"hero.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ombrel: hero.md2: no skin found; showing the wireframe\n");
}

// A skin that can't be used is passed over by every command alike: opening
// shows the next one, info names that one and says why the first was not
// taken (info once named the first candidate, read or not).
TEST_F(OmbrelProgram, SkinsThatCantBeUsedArePassedOverAlike) {
    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel({"skins/hero.pcx"}));
    std::vector<uint8_t> pak = testdata::pakArchive({{"models/hero.md2", model}, {"skins/hero.pcx", {1, 2, 3, 4}}});
    // The pak's skin member: its data a gigabyte on, where the file has none.
    pak[pak.size() - 5] = 0x40;
    frontendtest::writeBytes(work + "/game/pak0.pak", pak);
    frontendtest::writePcx(work + "/game/skins/hero.pcx");  // beside the pak, from the game root

    Result r = ombrel({"-v", "game/pak0.pak:models/hero.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("skin: passed over " + work + "/game/pak0.pak:skins/hero.pcx (damaged in the archive"),
              std::string::npos)
        << r.err;
    ViewerConfig record;
    ASSERT_TRUE(readConfig((root + "/report/ombrel.cfg").c_str(), record));
    EXPECT_STREQ(record.paths[PATH_MAIN_SKIN], (work + "/game/skins/hero.pcx").c_str());

    r = ombrel({"info", "--json", "game/pak0.pak:models/hero.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    const nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["skin"], work + "/game/skins/hero.pcx");
    ASSERT_EQ(j["problems"].size(), 1u) << j["problems"];
    EXPECT_EQ(j["problems"][0].get<std::string>().rfind("skin " + work + "/game/pak0.pak:skins/hero.pcx passed over: "
                                                        "damaged in the archive",
                                                        0),
              0u)
        << j["problems"][0];
}

// A record that can't be written takes the files made for it along.
TEST_F(OmbrelProgram, AWriteConfigThatFailsLeavesNothing) {
    frontendtest::writeBytes(work + "/skin.png", frontendtest::pngBytes(4, 4, frontendtest::gradientRgb(4, 4)));
    fs::create_symlink(root + "/nowhere/model.cfg", work + "/model.cfg");  // written through, into no folder
    Result r = ombrel({"--write-config", "model.cfg", "--skin", "skin.png", "hero.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: model.cfg: can't write the record there\n");
    EXPECT_FALSE(fs::exists(work + "/model.cfg.files"));
}

TEST_F(OmbrelProgram, TheViewerRunsInTheRunFolderAndItsExitCodeComesBack) {
    Result r = ombrel({"-v", "hero.md2"}, {"OMBREL_STANDIN=exit:7"});
    EXPECT_EQ(r.status, 7);
    EXPECT_NE(r.err.find("ombrel: skin: " + work + "/hero.pcx (the picture named like the model)"), std::string::npos)
        << r.err;
    std::vector<uint8_t> cwd = testdata::readFile(root + "/report/cwd");
    EXPECT_EQ(std::string(cwd.begin(), cwd.end()).rfind(root + "/run/ombrel-", 0), 0u);
    EXPECT_EQ(testdata::readFile(root + "/report/record-size"), (std::vector<uint8_t>{'1', '6', '5', '3'}));
    EXPECT_EQ(fs::status(std::string(cwd.begin(), cwd.end())).type(), fs::file_type::not_found);
    EXPECT_TRUE(runFolderEmpty());
}

TEST_F(OmbrelProgram, SignalsArePassedOnAndTheRunFolderGoes) {
    struct Case {
        const char* standin;
        int signal;
        int expected;  // ombrel's status: the viewer's code, or 128 + the signal it died of
    } cases[] = {{"wait", SIGTERM, 128 + SIGTERM},
                 {"wait-exit", SIGINT, 128 + SIGINT},  // the viewer closed calmly: still an interrupted command
                 {"wait-exit", SIGTERM, 128 + SIGTERM},
                 {"wait", SIGHUP, 128 + SIGHUP}};
    for (const Case& c : cases) {
        fs::remove_all(root + "/report");
        fs::create_directories(root + "/report");
        pid_t pid = fork();
        if (pid == 0) {
            for (const std::string& v : environment(c.standin)) {
                size_t eq = v.find('=');
                if (eq == std::string::npos)
                    unsetenv(v.c_str());
                else
                    setenv(v.substr(0, eq).c_str(), v.substr(eq + 1).c_str(), 1);
            }
            if (chdir(work.c_str()) != 0) _exit(126);
            execl((root + "/bin/ombrel").c_str(), "ombrel", "hero.md2", nullptr);
            _exit(127);
        }
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!fs::exists(root + "/report/waiting") && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(fs::exists(root + "/report/waiting"));
        EXPECT_FALSE(runFolderEmpty());
        kill(pid, c.signal);
        int status = 0;
        waitpid(pid, &status, 0);
        int got = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        EXPECT_EQ(got, c.expected) << c.standin;
        if (std::string(c.standin) == "wait-exit") {
            const std::string number = std::to_string(c.signal);
            EXPECT_EQ(testdata::readFile(root + "/report/signal"), std::vector<uint8_t>(number.begin(), number.end()));
        }
        EXPECT_TRUE(runFolderEmpty()) << c.standin;
    }
}

// Over SSH or in a container there is nothing to show the viewer on: one
// line saying so and where to turn, exit 1 at once, no viewer left running;
// a record can still be written, and a broken file is still named first.
#if defined(__SANITIZE_ADDRESS__)
#define OMBREL_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMBREL_SANITIZED 1
#endif
#endif
// "At once", not "never": a sanitizer build on a busy machine is slower.
#ifdef OMBREL_SANITIZED
constexpr std::chrono::seconds kPromptly(10);
#else
constexpr std::chrono::seconds kPromptly(2);
#endif

TEST_F(OmbrelProgram, WithoutADisplayItSaysSoAndStartsNothing) {
    for (const std::vector<std::string>& environment :
         {std::vector<std::string>{"DISPLAY"}, std::vector<std::string>{"SDL_VIDEODRIVER=offscreen"},
          std::vector<std::string>{"DISPLAY", "SDL_VIDEODRIVER=dummy"}}) {
        const auto start = std::chrono::steady_clock::now();
        Result r = ombrel({"hero.md2"}, environment);
        EXPECT_LT(std::chrono::steady_clock::now() - start, kPromptly);
        EXPECT_EQ(r.status, 1) << environment.back();
        ASSERT_EQ(frontendtest::lines(r.err).size(), 1u) << r.err;
        EXPECT_EQ(r.err.rfind("ombrel: no display to show the model on (", 0), 0u) << r.err;
        EXPECT_NE(r.err.find("ombrel render"), std::string::npos);
        EXPECT_FALSE(viewerStarted());
        EXPECT_TRUE(runFolderEmpty());
    }
    EXPECT_EQ(ombrel({"nowhere.md2"}, {"DISPLAY"}).err, "ombrel: nowhere.md2: no such file\n");
    EXPECT_EQ(ombrel({"--write-config", "hero.cfg", "hero.md2"}, {"DISPLAY"}).status, 0);
}

TEST_F(OmbrelProgram, UsageChooserVersionAndHelp) {
    Result r = ombrel({}, {"DISPLAY"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("Usage: ombrel [OPTIONS] MODEL\n", 0), 0u) << r.err;

    // On a desktop without a portal, zenity asks.
    fs::create_directories(root + "/fakebin");
    auto fakeZenity = [&](const std::string& body) {
        frontendtest::writeBytes(root + "/fakebin/zenity", std::vector<uint8_t>(body.begin(), body.end()));
        fs::permissions(root + "/fakebin/zenity", fs::perms::owner_all);
    };
    const std::vector<std::string> desktop = {"DISPLAY=:97", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + root + "/no-bus",
                                              "PATH=" + root + "/fakebin:/usr/bin:/bin"};
    fakeZenity("#!/bin/sh\necho " + work + "/hero.md2\n");
    r = ombrel({"--write-config", "chosen.cfg"}, desktop);
    EXPECT_EQ(r.status, 0) << r.err;
    ViewerConfig record;
    ASSERT_TRUE(readConfig((work + "/chosen.cfg").c_str(), record));
    EXPECT_STREQ(record.paths[PATH_MAIN_MODEL], (work + "/hero.md2").c_str());
    fakeZenity("#!/bin/sh\nexit 1\n");  // cancelled
    EXPECT_EQ(ombrel({}, desktop).status, 1);
    fs::remove(root + "/fakebin/zenity");
    r = ombrel({}, desktop);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("no file chooser"), std::string::npos);

    r = ombrel({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "ombrel " OMBREL_VERSION "\n");
    r = ombrel({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* option : {"--skin",
                               "--attach",
                               "--attach-skin",
                               "--background",
                               "--water",
                               "--mode",
                               "--animation",
                               "--frames",
                               "--fps",
                               "--no-interpolate",
                               "--triangles",
                               "--paused",
                               "--size",
                               "--fullscreen",
                               "--background-color",
                               "--model-color",
                               "--wire-color",
                               "--light-color",
                               "--brightness",
                               "--water-on",
                               "--show-background",
                               "--rotate",
                               "--distance",
                               "--write-config",
                               "--no-config",
                               "--verbose",
                               "Escape",
                               "[default: 800x600]",
                               "[default: 10]"})
        EXPECT_NE(r.out.find(option), std::string::npos) << option;
    EXPECT_FALSE(viewerStarted());
}

TEST_F(OmbrelProgram, TheDesktopPortalAsksFirst) {
    // A private session bus with a portal on it, and a zenity that must not be asked.
    fs::create_directories(root + "/fakebin");
    const std::string zenity = "#!/bin/sh\necho " + work + "/wrong.md2\n";
    frontendtest::writeBytes(root + "/fakebin/zenity", std::vector<uint8_t>(zenity.begin(), zenity.end()));
    fs::permissions(root + "/fakebin/zenity", fs::perms::owner_all);
    const std::string script = std::string(FAKE_PORTAL) +
                               " & portal=$!\n"
                               "for i in $(seq 400); do [ -e \"$FAKE_PORTAL_READY\" ] && break; sleep 0.05; done\n"
                               "\"$0\" --write-config portal.cfg; status=$?\n"
                               "kill $portal; wait $portal; exit $status\n";
    auto choose = [&](const std::string& file) {
        fs::remove(root + "/ready");
        return frontendtest::runProgram(
            "/usr/bin/dbus-run-session", {"--", "/bin/sh", "-c", script, root + "/bin/ombrel"},
            {"XDG_RUNTIME_DIR=" + root + "/run", "XDG_CONFIG_HOME=" + root + "/config", "DISPLAY=:97",
             "FAKE_PORTAL_FILE=" + file, "FAKE_PORTAL_READY=" + root + "/ready",
             "PATH=" + root + "/fakebin:/usr/bin:/bin"},
            work);
    };
    Result r = choose(work + "/hero.md2");
    ASSERT_EQ(r.status, 0) << r.err;
    ViewerConfig record;
    ASSERT_TRUE(readConfig((work + "/portal.cfg").c_str(), record));
    EXPECT_STREQ(record.paths[PATH_MAIN_MODEL], (work + "/hero.md2").c_str());
    EXPECT_EQ(choose("").status, 1);  // cancelled in the portal: zenity is not asked
}

TEST_F(OmbrelProgram, InfoAndList) {
    frontendtest::writeModel(work + "/skinned/knight.md2", {"skins/knight.pcx", "skins/lost.pcx"});
    frontendtest::writePcx(work + "/skinned/skins/knight.pcx");
    Result r = ombrel({"info", "--json", "skinned/knight.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_EQ(j["frames"], 5);
    EXPECT_EQ(j["vertices"], 3);
    EXPECT_EQ(j["triangles"], 1);
    EXPECT_EQ(j["skinWidth"], 64);
    EXPECT_EQ(j["skinHeight"], 64);
    EXPECT_EQ(j["skins"][0]["name"], "skins/knight.pcx");
    EXPECT_EQ(j["skins"][0]["path"], work + "/skinned/skins/knight.pcx");
    EXPECT_TRUE(j["skins"][1]["path"].is_null());
    EXPECT_EQ(j["animations"], nlohmann::json::parse(R"([{"name": "idle", "first": 0, "last": 2},
                                                         {"name": "walk", "first": 3, "last": 4}])"));
    EXPECT_EQ(j["problems"], nlohmann::json::parse(R"(["stored skin 2 (skins/lost.pcx) is nowhere to be found"])"));
    EXPECT_EQ(j["bounds"]["max"][1], 80.0);

    r = ombrel({"info", std::string(OMBREL_CORPUS_DIR) + "/faerie.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("    stand    0-39 (40 frames)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("  problems: none\n"), std::string::npos);

    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel());
    frontendtest::writeBytes(work + "/cut.md2", std::vector<uint8_t>(model.begin(), model.end() - 10));
    r = ombrel({"info", "cut.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.out.find("problem: the viewer refuses it: cut short"), std::string::npos) << r.out;
    EXPECT_EQ(frontendtest::lines(r.err).size(), 1u);
    r = ombrel({"info", "/dev/null"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");

    frontendtest::writeBytes(
        work + "/mod.pk3",
        testdata::zipArchive({{"models/b/tris.md2", model}, {"readme.txt", {'h', 'i'}}, {"models/a/Tris.MD2", model}}));
    r = ombrel({"list", "mod.pk3"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "models/a/Tris.MD2\nmodels/b/tris.md2\n");
    // Members are models by name or by their first bytes: one not named as a
    // model whose first bytes can't be read is named, not passed over.
    frontendtest::writeBytes(work + "/odd.zip", testdata::zipArchiveOf({{"models/knight", model, 8},
                                                                        {"models/squire", model, 12},
                                                                        {"readme.txt", {'h', 'i'}, 0}}));
    r = ombrel({"list", "odd.zip"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "models/knight\n");
    EXPECT_EQ(r.err, "ombrel: odd.zip:models/squire: compressed by method 12 (bzip2) in the archive, which ombrel "
                     "does not read (only stored and deflated members)\n");
    r = ombrel({"info", "--json", "mod.pk3:MODELS/B/TRIS.MD2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(nlohmann::json::parse(r.out)["frames"], 5);
    EXPECT_TRUE(runFolderEmpty());
    EXPECT_FALSE(viewerStarted());
}

// A model the reader takes but that has nothing to draw (one frame of no
// vertices and a triangle, as format test files have): not usable for
// info, opened with one line saying so (the viewer shows what it can).
TEST_F(OmbrelProgram, AModelWithNothingToDrawIsSaidSo) {
    testdata::Md2Model empty = frontendtest::sampleModel();
    empty.frames.resize(1);
    empty.frames[0].vertices.clear();
    frontendtest::writeBytes(work + "/empty.md2", testdata::md2Bytes(empty));
    Result r = ombrel({"info", "--json", "empty.md2"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "ombrel: empty.md2: nothing to draw (no vertices)\n");
    nlohmann::json j = nlohmann::json::parse(r.out);
    EXPECT_FALSE(j["usable"]);
    EXPECT_EQ(j["problems"][0], "no vertices: there is nothing to draw");
    r = ombrel({"empty.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "ombrel: empty.md2: nothing to draw (no vertices)\n");
    EXPECT_TRUE(viewerStarted());
}

// ombrel export as a person runs it: the model and the skin found in a zip
// as opening finds them, all of it or one animation, OBJ sequences, and
// nothing left behind by a refusal or a failure.
TEST_F(OmbrelProgram, ExportCarriesTheModelOutWholeOrNotAtAll) {
    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel());
    frontendtest::writeBytes(work + "/pack.zip",
                             testdata::zipArchive({{"hero/hero.md2", model},
                                                   {"hero/hero.png", frontendtest::pngBytes(
                                                                         4, 2, frontendtest::gradientRgb(4, 2))}}));
    Result r = ombrel({"export", "pack.zip:hero/hero.md2", "-o", "hero.glb"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    tinygltf::TinyGLTF loader;
    // The skin's pixels are the picture code's to check; here it is enough that one is there.
    loader.SetImageLoader([](tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char*,
                             int size, void*) { return size > 0; },
                          nullptr);
    tinygltf::Model gltf;
    std::string error, warning;
    ASSERT_TRUE(loader.LoadBinaryFromFile(&gltf, &error, &warning, work + "/hero.glb")) << error;
    ASSERT_EQ(gltf.meshes.size(), 1u);
    EXPECT_EQ(gltf.meshes[0].primitives[0].targets.size(), 5u);  // every key frame
    ASSERT_EQ(gltf.animations.size(), 2u);
    EXPECT_EQ(gltf.animations[0].name, "idle");
    EXPECT_EQ(gltf.animations[1].name, "walk");
    ASSERT_EQ(gltf.images.size(), 1u);  // the skin from the zip, inside
    EXPECT_EQ(gltf.images[0].mimeType, "image/png");

    r = ombrel({"export", "--animation", "walk", "pack.zip:hero/hero.md2", "-o", "walk.gltf"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file : {"walk.gltf", "walk.bin", "walk.png"}) EXPECT_TRUE(fs::exists(work + "/" + file)) << file;
    ASSERT_TRUE(loader.LoadASCIIFromFile(&gltf, &error, &warning, work + "/walk.gltf")) << error;
    EXPECT_EQ(gltf.meshes[0].primitives[0].targets.size(), 2u);

    r = ombrel({"export", "--animation", "idle", "--no-config", "hero.md2", "-o", "idle_{frame:02}.obj"});
    EXPECT_EQ(r.status, 2);  // export takes no settings, so no --no-config either
    r = ombrel({"export", "--animation", "idle", "hero.md2", "-o", "idle_{frame:02}.obj"});
    ASSERT_EQ(r.status, 0) << r.err;
    for (const char* file : {"idle_00.obj", "idle_01.obj", "idle_02.obj", "idle.mtl", "idle.png"})
        EXPECT_TRUE(fs::exists(work + "/" + file)) << file;
    EXPECT_FALSE(fs::exists(work + "/idle_03.obj"));

    // Refusals and failures write nothing: not half a glTF, not a temporary.
    testdata::Md2Model empty = frontendtest::sampleModel();
    for (testdata::Md2Frame& frame : empty.frames) frame.vertices.clear();
    frontendtest::writeBytes(work + "/empty.md2", testdata::md2Bytes(empty));
    fs::create_directories(work + "/out/half.bin");  // where the glTF's buffer must go
    const std::vector<std::pair<std::vector<std::string>, std::string>> refused = {
        {{"export", "hero.md2", "-o", "out/x.fbx"}, "ombrel: -o out/x.fbx: write a .glb or .gltf file (glTF 2.0) or an .obj file\n"},
        {{"export", "empty.md2", "-o", "out/e.glb"}, "ombrel: empty.md2: nothing to draw (no vertices)\n"},
        {{"export", "--quantize", "hero.md2", "-o", "out/q.obj"}, "ombrel: --quantize: only glTF files store integers\n"},
        {{"export", "--frame", "9", "hero.md2", "-o", "out/f.obj"}, "ombrel: --frame 9: hero.md2 has key frames 0 to 4\n"},
        {{"export", "hero.md2", "-o", "out/half.gltf"}, "ombrel: out/half.bin: a folder stands there\n"},
    };
    for (const auto& c : refused) {
        r = ombrel(c.first);
        EXPECT_EQ(r.err, c.second);
        EXPECT_EQ(r.status, c.second.find("a folder stands") != std::string::npos ? 1 : 2) << c.second;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(work + "/out"), fs::directory_iterator()), 1) << "only half.bin";
    EXPECT_FALSE(viewerStarted());
}

TEST_F(OmbrelProgram, ModelsAndSkinsFromArchivesAreExtractedForTheViewer) {
    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel({"players/male/grunt.png"}));
    std::vector<uint8_t> png = frontendtest::pngBytes(4, 2, frontendtest::gradientRgb(4, 2));
    frontendtest::writeBytes(work + "/pak0.pak",
                             testdata::pakArchive({{"players/male/tris.md2", model}, {"players/male/grunt.png", png}}));
    Result r = ombrel({"-v", "pak0.pak:players/male/tris.md2"});
    ASSERT_EQ(r.status, 0) << r.err;
    ViewerConfig record;
    ASSERT_TRUE(readConfig((root + "/report/ombrel.cfg").c_str(), record));
    std::vector<uint8_t> cwd = testdata::readFile(root + "/report/cwd");
    const std::string run(cwd.begin(), cwd.end());
    EXPECT_STREQ(record.paths[PATH_MAIN_MODEL], (run + "/model.md2").c_str());
    EXPECT_STREQ(record.paths[PATH_MAIN_SKIN], (run + "/skin.tga").c_str());
    EXPECT_EQ(record.renderMode, 3);
    EXPECT_NE(r.err.find("converted from PNG"), std::string::npos) << r.err;
    EXPECT_TRUE(runFolderEmpty());
}

TEST_F(OmbrelProgram, HostileArchivesAndPicturesGetOneLineNotACrash) {
    std::vector<uint8_t> model = testdata::md2Bytes(frontendtest::sampleModel());
    // A folder entry and a doubled slash once crashed every command that
    // opened the archive; a backslash name could not be reached.
    frontendtest::writeBytes(work + "/folders.pak", testdata::pakArchive({{"a/", {}}, {"models\\hero.md2", model}}));
    frontendtest::writeBytes(work + "/slashes.zip",
                             testdata::zipArchive({{"/", {}}, {"a//b.md2", model}, {"../out.md2", model}}));
    Result r = ombrel({"list", "folders.pak"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "models/hero.md2\n");
    r = ombrel({"list", "slashes.zip"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "a/b.md2\n");
    EXPECT_EQ(r.err, "ombrel: slashes.zip: 1 entry left out (../out.md2: a name that leads out of the archive)\n");
    r = ombrel({"info", "--json", "folders.pak:MODELS/HERO.MD2"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ombrel({"slashes.zip:a/b.md2"}).status, 0);
    EXPECT_TRUE(runFolderEmpty());

    // A directory, or a member's data, outside the file: named, not "(no
    // error)" or "an empty file".
    std::vector<uint8_t> pak = testdata::pakArchive({{"hero.md2", model}});
    std::vector<uint8_t> far = pak;
    far[7] = 0x40;  // the directory a gigabyte on
    frontendtest::writeBytes(work + "/far.pak", far);
    std::vector<uint8_t> outside = pak;
    outside[outside.size() - 5] = 0x40;  // the member's data a gigabyte on
    frontendtest::writeBytes(work + "/outside.pak", outside);
    // A member with one byte flipped, as a damaged download has it: no
    // longer described and drawn as good.
    std::vector<uint8_t> flipped = testdata::zipArchiveOf({{"stored.md2", model, 0}, {"deflated.md2", model, 8}});
    const std::vector<uint8_t> deflated = testdata::deflated(model);
    for (const std::vector<uint8_t>* data : {&std::as_const(model), &deflated}) {
        const auto at = std::search(flipped.begin(), flipped.end(), data->begin(), data->end());
        ASSERT_NE(at, flipped.end());
        at[long(data->size()) / 2] ^= 0x10;
    }
    frontendtest::writeBytes(work + "/flipped.zip", flipped);
    const std::vector<std::pair<std::vector<std::string>, std::string>> refusals = {
        {{"info", "flipped.zip:stored.md2"}, "ombrel: flipped.zip:stored.md2: damaged in the archive (its CRC-32 is "},
        {{"render", "flipped.zip:stored.md2", "-o", "flipped.png"},
         "ombrel: flipped.zip:stored.md2: damaged in the archive (its CRC-32 is "},
        {{"info", "flipped.zip:deflated.md2"}, "ombrel: flipped.zip:deflated.md2: damaged in the archive ("},
        {{"render", "flipped.zip:deflated.md2", "-o", "flipped.png"},
         "ombrel: flipped.zip:deflated.md2: damaged in the archive ("},
        {{"list", "far.pak"}, "ombrel: far.pak: a PACK archive whose directory lies outside the file"},
        {{"info", "outside.pak:hero.md2"},
         "ombrel: outside.pak:hero.md2: damaged in the archive (its data lies outside the file)"},
        {{"outside.pak:hero.md2"},
         "ombrel: outside.pak:hero.md2: damaged in the archive (its data lies outside the file)"},
    };
    for (const auto& c : refusals) {
        r = ombrel(c.first);
        EXPECT_EQ(r.status, 2) << c.second;
        std::vector<std::string> errors = frontendtest::lines(r.err);
        ASSERT_EQ(errors.size(), 1u) << r.err;
        EXPECT_EQ(errors[0].substr(0, c.second.size()), c.second);
    }
    EXPECT_FALSE(fs::exists(work + "/flipped.png"));

    // A 1x1 PNG whose data swells to 16 MiB, as the skin: refused on one line.
    frontendtest::writeBytes(work + "/swell.png",
                             frontendtest::pngWithPixelData(1, 1, std::vector<uint8_t>(size_t(16) << 20, 0)));
    r = ombrel({"--skin", "swell.png", "hero.md2"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err,
              "ombrel: swell.png: can't read the skin (a PNG that has pixel data that is damaged or inflates to more "
              "than the 4 bytes its 1x1 pixels need); going on without it\n");
    EXPECT_TRUE(runFolderEmpty());
}

}  // namespace
