// Runs copies of glswitch in temporary directories, beside a stand-in front
// end that records where and when it was started.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "tests/writers/scratch_dir.h"

namespace fs = std::filesystem;
using Env = std::vector<std::pair<std::string, std::string>>;
using Listing = std::map<std::string, std::string>;

namespace {

double now() { return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count(); }

void writeText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Every entry of a directory: file contents, "<dir>" for directories.
Listing listing(const std::string& dir) {
    Listing entries;
    for (const auto& entry : fs::directory_iterator(dir))
        entries[entry.path().filename().string()] = entry.is_directory() ? "<dir>" : readText(entry.path().string());
    return entries;
}

// Makes nested directories from path on whose path has exactly `length` characters.
std::string deepDirectory(std::string path, size_t length) {
    fs::create_directories(path);
    while (path.size() < length) {
        size_t component = std::min<size_t>(100, length - path.size() - 1);
        if (length - path.size() - 1 - component == 1) --component;  // never leave room for "/" alone
        path += "/" + std::string(component, 'd');
        fs::create_directory(path);
    }
    return path;
}

struct StandinRecord {
    bool started = false;
    pid_t pid = 0;
    double startedAt = 0;
    std::string directory;
};

struct ToolRun {
    int exitCode = -1;
    double launchedAt = 0;
    double seconds = 0;
};

class Glswitch : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(scratch.path().empty());
        base = fs::canonical(scratch.path()).string();  // what getcwd and the executable path will say
        programDir = base + "/program";
        callerDir = base + "/caller";
        recordPath = base + "/started.txt";
        fs::create_directory(programDir);
        fs::create_directory(callerDir);
    }

    void TearDown() override {
        StandinRecord record = readRecord();
        if (record.started && lingering) kill(record.pid, SIGKILL);
    }

    // Copies a build of the tool and the stand-in front end into dir.
    std::string install(const std::string& dir, const char* tool) {
        fs::copy_file(tool, dir + "/glswitch");
        fs::copy_file(FRONTEND_STANDIN, dir + "/ombrel");
        return dir + "/glswitch";
    }

    void putLibrariesAndConfig(const std::string& dir) {
        writeText(dir + "/libOpenGL.so.0", "bundled gl");
        writeText(dir + "/libGLU.so.1", "bundled glu");
        writeText(dir + "/ombrel.cfg", "settings");
    }

    ToolRun run(const std::string& tool, const std::string& cwd, const Env& env = {}) {
        ToolRun result;
        result.launchedAt = now();
        pid_t child = fork();
        if (child == 0) {
            if (chdir(cwd.c_str()) != 0) _exit(126);
            setenv("OMBREL_STANDIN_RECORD", recordPath.c_str(), 1);
            for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
            execl(tool.c_str(), "glswitch", static_cast<char*>(nullptr));
            _exit(127);
        }
        int status = 0;
        if (child > 0 && waitpid(child, &status, 0) == child && WIFEXITED(status))
            result.exitCode = WEXITSTATUS(status);
        result.seconds = now() - result.launchedAt;
        return result;
    }

    StandinRecord readRecord() {
        StandinRecord record;
        std::ifstream in(recordPath);
        if (!(in >> record.pid >> record.startedAt)) return record;
        in.ignore(1);
        std::getline(in, record.directory);
        record.started = true;
        return record;
    }

    // The stand-in is started by a detached process: give it a moment.
    StandinRecord waitForStandin(double seconds = 10) {
        double until = now() + seconds;
        StandinRecord record = readRecord();
        while (!record.started && now() < until) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            record = readRecord();
        }
        return record;
    }

    void expectNoStart() {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        EXPECT_FALSE(readRecord().started);
    }

    testdata::ScratchDir scratch;
    std::string base, programDir, callerDir, recordPath;
    bool lingering = false;
    const Env noWait = {{"GLSWITCH_TEST_WAIT_MS", "0"}};
};

TEST_F(Glswitch, MovesLibrariesAsideDeletesConfigAndStartsFrontEndFromItsOwnDirectory) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    putLibrariesAndConfig(callerDir);  // same names where it is run from: never touched
    Listing callerBefore = listing(callerDir);

    Env env = noWait;
    env.push_back({"GLSWITCH_TEST_FINAL_DIR_FILE", base + "/final-dir"});
    ToolRun result = run(tool, callerDir, env);
    EXPECT_EQ(result.exitCode, 0);

    Listing after = listing(programDir);
    EXPECT_EQ(after.count("libOpenGL.so.0"), 0u);
    EXPECT_EQ(after.count("libGLU.so.1"), 0u);
    EXPECT_EQ(after.count("ombrel.cfg"), 0u);
    EXPECT_EQ(after["libmesagl.so.0"], "bundled gl");
    EXPECT_EQ(after["libmesaglu.so.1"], "bundled glu");
    EXPECT_EQ(after.size(), 4u);  // those two, the tool and the front end

    StandinRecord record = waitForStandin();
    ASSERT_TRUE(record.started);
    EXPECT_EQ(record.directory, programDir);
    EXPECT_EQ(readText(base + "/final-dir"), callerDir);
    EXPECT_EQ(listing(callerDir), callerBefore);
}

TEST_F(Glswitch, ReplacesAnEarlierMovedCopyAndSkipsAMissingLibrary) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    writeText(programDir + "/libOpenGL.so.0", "new gl");
    writeText(programDir + "/libmesagl.so.0", "old gl");
    writeText(programDir + "/libmesaglu.so.1", "old glu");  // no libGLU.so.1 to move over it

    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    Listing after = listing(programDir);
    EXPECT_EQ(after.count("libOpenGL.so.0"), 0u);
    EXPECT_EQ(after["libmesagl.so.0"], "new gl");
    EXPECT_EQ(after["libmesaglu.so.1"], "old glu");
    EXPECT_TRUE(waitForStandin().started);
}

TEST_F(Glswitch, ShippedToolWaitsTwoSecondsThenStartsFrontEndInAnUntouchedDirectory) {
    std::string tool = install(programDir, GLSWITCH_SHIPPED);
    writeText(programDir + "/readme.txt", "unrelated");
    Listing before = listing(programDir);

    ToolRun result = run(tool, callerDir);
    EXPECT_EQ(result.exitCode, 0);
    StandinRecord record = waitForStandin();
    ASSERT_TRUE(record.started);
    EXPECT_GE(record.startedAt - result.launchedAt, 2.0);
    EXPECT_EQ(record.directory, programDir);
    EXPECT_EQ(listing(programDir), before);
}

TEST_F(Glswitch, DoesNotWaitForTheFrontEnd) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    lingering = true;
    Env env = noWait;
    env.push_back({"OMBREL_STANDIN_LINGER_MS", "8000"});
    ToolRun result = run(tool, callerDir, env);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_LT(result.seconds, 4.0);
    StandinRecord record = waitForStandin();
    ASSERT_TRUE(record.started);
    EXPECT_EQ(kill(record.pid, 0), 0) << "the front end should still be running";
}

TEST_F(Glswitch, KeepsALibraryWhoseCopyFails) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    fs::create_directory(programDir + "/libmesagl.so.0");  // the copy can't replace a directory

    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    Listing after = listing(programDir);
    EXPECT_EQ(after["libOpenGL.so.0"], "bundled gl");
    EXPECT_EQ(after["libmesagl.so.0"], "<dir>");
    EXPECT_EQ(after.count("libGLU.so.1"), 0u);
    EXPECT_EQ(after["libmesaglu.so.1"], "bundled glu");
    EXPECT_EQ(after.count("ombrel.cfg"), 0u);
    EXPECT_TRUE(waitForStandin().started);
}

// The paths must fit 256-byte buffers with their terminating zero: 255
// characters are the most.
TEST_F(Glswitch, ExecutablePathOfOneCharacterTooManyChangesNothing) {
    std::string fits = deepDirectory(base + "/a", 255 - std::string("/glswitch").size());
    std::string tool = install(fits, GLSWITCH_TESTABLE);
    ASSERT_EQ(tool.size(), 255u);
    putLibrariesAndConfig(fits);
    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    EXPECT_EQ(listing(fits).count("libmesagl.so.0"), 1u);
    ASSERT_TRUE(waitForStandin().started);
    fs::remove(recordPath);

    std::string tooLong = deepDirectory(base + "/b", 256 - std::string("/glswitch").size());
    tool = install(tooLong, GLSWITCH_SHIPPED);
    ASSERT_EQ(tool.size(), 256u);
    putLibrariesAndConfig(tooLong);
    Listing before = listing(tooLong);
    EXPECT_EQ(run(tool, callerDir).exitCode, 0);
    EXPECT_EQ(listing(tooLong), before);
    expectNoStart();
}

TEST_F(Glswitch, CurrentDirectoryOfOneCharacterTooManyChangesNothing) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    EXPECT_EQ(run(tool, deepDirectory(base + "/a", 255), noWait).exitCode, 0);
    EXPECT_EQ(listing(programDir).count("libmesagl.so.0"), 1u);
    ASSERT_TRUE(waitForStandin().started);

    fs::remove(recordPath);
    fs::remove(programDir + "/glswitch");
    tool = programDir + "/glswitch";
    fs::copy_file(GLSWITCH_SHIPPED, tool);
    putLibrariesAndConfig(programDir);
    Listing before = listing(programDir);
    EXPECT_EQ(run(tool, deepDirectory(base + "/b", 256)).exitCode, 0);
    EXPECT_EQ(listing(programDir), before);
    expectNoStart();
}

TEST_F(Glswitch, ExecutablePathWithoutSeparatorChangesNothing) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    Listing before = listing(programDir);
    Env env = noWait;
    env.push_back({"GLSWITCH_TEST_EXE_PATH", "glswitch"});
    EXPECT_EQ(run(tool, programDir, env).exitCode, 0);
    EXPECT_EQ(listing(programDir), before);
    expectNoStart();
}

TEST_F(Glswitch, UnreachableProgramDirectoryLeavesTheCallersFilesAlone) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(callerDir);
    fs::copy_file(FRONTEND_STANDIN, callerDir + "/ombrel");
    Listing before = listing(callerDir);
    Env env = noWait;
    env.push_back({"GLSWITCH_TEST_EXE_PATH", base + "/gone/glswitch"});
    EXPECT_EQ(run(tool, callerDir, env).exitCode, 0);
    EXPECT_EQ(listing(callerDir), before);
    expectNoStart();
}

// The aside names must never lead outside the program's directory: a link
// there (or anything that is not a plain file) is refused, and the library
// stays where it is.
TEST_F(Glswitch, NeverWritesThroughALinkAtTheAsideName) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    std::string outside = base + "/system-gl.so";
    writeText(outside, "system gl");
    fs::create_symlink(outside, programDir + "/libmesagl.so.0");
    std::string nowhere = base + "/made-by-a-dangling-link.so";
    fs::create_symlink(nowhere, programDir + "/libmesaglu.so.1");

    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    EXPECT_EQ(readText(outside), "system gl");
    EXPECT_TRUE(fs::is_symlink(programDir + "/libmesagl.so.0"));
    EXPECT_EQ(fs::read_symlink(programDir + "/libmesagl.so.0"), outside);
    EXPECT_FALSE(fs::exists(fs::symlink_status(nowhere)));
    EXPECT_TRUE(fs::is_symlink(programDir + "/libmesaglu.so.1"));
    EXPECT_EQ(readText(programDir + "/libOpenGL.so.0"), "bundled gl");
    EXPECT_EQ(readText(programDir + "/libGLU.so.1"), "bundled glu");
    // The other steps still run.
    EXPECT_FALSE(fs::exists(programDir + "/ombrel.cfg"));
    EXPECT_TRUE(waitForStandin().started);
}

TEST_F(Glswitch, NeitherReadsNorWritesFilesThatAreNotPlainFiles) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    writeText(programDir + "/libGLU.so.1", "bundled glu");
    // A FIFO would block an ordinary open for good.
    ASSERT_EQ(mkfifo((programDir + "/libOpenGL.so.0").c_str(), 0644), 0);
    ASSERT_EQ(mkfifo((programDir + "/libmesaglu.so.1").c_str(), 0644), 0);

    ToolRun result = run(tool, callerDir, noWait);
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_LT(result.seconds, 5.0);
    EXPECT_TRUE(fs::is_fifo(programDir + "/libOpenGL.so.0"));
    EXPECT_FALSE(fs::exists(programDir + "/libmesagl.so.0"));
    EXPECT_TRUE(fs::is_fifo(programDir + "/libmesaglu.so.1"));
    EXPECT_EQ(readText(programDir + "/libGLU.so.1"), "bundled glu");
    EXPECT_TRUE(waitForStandin().started);
}

TEST_F(Glswitch, ReplacingAnAsideCopyLeavesItsOtherNamesAlone) {
    // An aside copy hard-linked to a file elsewhere is replaced by a new
    // file; the file elsewhere keeps its contents.
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    putLibrariesAndConfig(programDir);
    std::string outside = base + "/system-gl.so";
    writeText(outside, "system gl");
    fs::create_hard_link(outside, programDir + "/libmesagl.so.0");

    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    EXPECT_EQ(readText(outside), "system gl");
    EXPECT_EQ(readText(programDir + "/libmesagl.so.0"), "bundled gl");
    EXPECT_FALSE(fs::exists(programDir + "/libOpenGL.so.0"));
    Listing after = listing(programDir);
    EXPECT_EQ(after.size(), 4u) << "no temporary file left behind";
}

// What the switch is for: a GL library beside the viewer is the one the
// viewer loads, until glswitch moves it aside. The dynamic loader's own
// account (LD_TRACE_LOADED_OBJECTS, what ldd shows) tells where each
// library the viewer needs comes from.
std::string loadedFrom(const std::string& program, const std::string& library) {
    std::string command = "LD_TRACE_LOADED_OBJECTS=1 '" + program + "' 2>&1";
    std::string out;
    if (FILE* p = popen(command.c_str(), "r")) {
        char buffer[4096];
        while (fgets(buffer, sizeof buffer, p)) out += buffer;
        pclose(p);
    }
    std::istringstream lines(out);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream fields(line);
        std::string name, arrow, path;
        if (fields >> name >> arrow >> path && name == library && arrow == "=>") return path;
    }
    return "not loaded";
}

TEST_F(Glswitch, ViewerLoadsTheLibrariesBesideItUntilTheSwitch) {
    std::string tool = install(programDir, GLSWITCH_TESTABLE);
    std::string viewer = programDir + "/viewer";
    fs::copy_file(VIEWER_PROGRAM, viewer);
    // Stand-ins with the sonames the viewer asks for.
    fs::copy_file(GL_STANDIN, programDir + "/libOpenGL.so.0");
    fs::copy_file(GLU_STANDIN, programDir + "/libGLU.so.1");
    EXPECT_EQ(loadedFrom(viewer, "libOpenGL.so.0"), programDir + "/libOpenGL.so.0");
    EXPECT_EQ(loadedFrom(viewer, "libGLU.so.1"), programDir + "/libGLU.so.1");

    EXPECT_EQ(run(tool, callerDir, noWait).exitCode, 0);
    EXPECT_TRUE(fs::exists(programDir + "/libmesagl.so.0"));
    EXPECT_TRUE(fs::exists(programDir + "/libmesaglu.so.1"));
    std::string gl = loadedFrom(viewer, "libOpenGL.so.0"), glu = loadedFrom(viewer, "libGLU.so.1");
    EXPECT_NE(gl.find("/libOpenGL.so.0"), std::string::npos) << gl;
    EXPECT_NE(glu.find("/libGLU.so.1"), std::string::npos) << glu;
    EXPECT_NE(gl.compare(0, programDir.size() + 1, programDir + "/"), 0) << "still the folder's: " << gl;
    EXPECT_NE(glu.compare(0, programDir.size() + 1, programDir + "/"), 0) << "still the folder's: " << glu;
    EXPECT_TRUE(waitForStandin().started);
}

}  // namespace
