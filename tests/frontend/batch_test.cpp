// render and thumbnail over many models in one run: a folder and a zip of
// real models (made here) give one picture each under their names, a
// broken one among them gets its one line while the others are written;
// each model drawn after others looks exactly as drawn alone; names from an
// archive never lead outside the output folder; the progress line shows on
// a terminal only. Many processes (-j) make the same files and say the same
// as one; an interrupt ends them all, leaving only whole files; a process
// that dies costs only the model it drew.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/frontend/frontend_files.h"
#include "tests/frontend/picture_file.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

#include <map>

namespace fs = std::filesystem;

namespace {

using frontendtest::lines;
using frontendtest::Result;
using frontendtest::runProgram;

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kCorpus = OMBREL_CORPUS_DIR;

std::vector<uint8_t> corpus(const std::string& name) { return testdata::readFile(kCorpus + "/" + name); }

class Batch : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("XDG_RUNTIME_DIR", scratch.path().c_str(), 1);
        // A folder of models at two depths, with their skins and a file
        // that is no model; a zip with a folder of its own.
        put("models/faerie.md2", corpus("faerie.md2"));
        put("models/faerie.pcx", corpus("faerie.pcx"));
        put("models/people/sydney.md2", corpus("sydney.md2"));
        put("models/people/sydney.tga", corpus("sydney.tga"));
        put("models/notes.txt", {'h', 'i'});
        zip = scratch.write("pack.zip", testdata::zipArchive({{"monsters/fay.md2", corpus("faerie.md2")},
                                                              {"monsters/fay.pcx", corpus("faerie.pcx")},
                                                              {"sydney.md2", corpus("sydney.md2")}}));
    }
    void put(const std::string& name, const std::vector<uint8_t>& bytes) {
        frontendtest::writeBytes(scratch.file(name), bytes);
    }
    Result ombrel(const std::vector<std::string>& args) { return runProgram(kOmbrel, args, {"DISPLAY"}); }
    std::vector<std::string> filesUnder(const std::string& folder) {
        std::vector<std::string> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder))
            if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(folder).generic_string());
        std::sort(files.begin(), files.end());
        return files;
    }
    // Every file under folder with its bytes.
    std::map<std::string, std::vector<uint8_t>> contentsOf(const std::string& folder) {
        std::map<std::string, std::vector<uint8_t>> contents;
        for (const std::string& name : filesUnder(folder)) contents[name] = testdata::readFile(folder + "/" + name);
        return contents;
    }
    // Starts ombrel without waiting, its standard error into a file.
    pid_t start(const std::vector<std::string>& args) {
        const std::string errors = scratch.file("started.err");
        const pid_t pid = fork();
        if (pid == 0) {
            const int err = open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            dup2(err, 2);
            unsetenv("DISPLAY");
            std::vector<char*> argv = {const_cast<char*>(kOmbrel.c_str())};
            for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
            argv.push_back(nullptr);
            execv(kOmbrel.c_str(), argv.data());
            _exit(127);
        }
        return pid;
    }
    // Waits (at most a minute) until condition holds.
    template <typename Condition>
    bool waitFor(Condition condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }
    // The processes pid started that still run (Linux's list of them).
    std::vector<pid_t> childrenOf(pid_t pid) {
        std::ifstream list("/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/children");
        std::vector<pid_t> children;
        for (pid_t child; list >> child;) children.push_back(child);
        return children;
    }
    bool anyFileEndingIn(const std::string& folder, const std::string& ending) {
        if (!fs::exists(folder)) return false;
        for (const std::string& name : filesUnder(folder))
            if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0)
                return true;
        return false;
    }
    // Twelve models (faerie.md2 and sydney.md2 with their skins).
    void putMany(const std::string& folder) {
        for (int i = 0; i < 6; ++i) {
            put(folder + "/f" + std::to_string(i) + ".md2", corpus("faerie.md2"));
            put(folder + "/f" + std::to_string(i) + ".pcx", corpus("faerie.pcx"));
            put(folder + "/s" + std::to_string(i) + ".md2", corpus("sydney.md2"));
            put(folder + "/s" + std::to_string(i) + ".tga", corpus("sydney.tga"));
        }
    }

    testdata::ScratchDir scratch;
    std::string zip;
};

// Whichever process draws a model, the same files come of it, and the same
// lines in the same order: a broken model among them gets its line and the
// run exit 2 either way.
TEST_F(Batch, ManyProcessesMakeTheSameFilesAndSayTheSameAsOne) {
    put("models/more/a.md2", corpus("sydney.md2"));
    put("models/more/b.md2", {'I', 'D', 'P', '2', 8, 0, 0, 0, 1, 2, 3});
    put("models/more/c.md2", corpus("faerie.md2"));
    put("models/more/c.pcx", corpus("faerie.pcx"));
    put("models/more/d.md2", {'I', 'D', 'P', '2', 7, 0, 0, 0});
    const std::vector<std::vector<std::string>> runs = {
        {"thumbnail", "--size", "48", scratch.file("models"), zip, "-o", "OUT/{name}.png"},
        {"render", "--no-config", "--size", "64x48", scratch.file("models"), "-o", "OUT/{name}.gif"},
        {"gallery", "--size", "48x48", "--all-animations", scratch.file("models"), zip, "-o", "OUT"}};
    for (const std::vector<std::string>& run : runs) {
        std::map<std::string, Result> results;
        for (const std::string jobs : {"1", "4"}) {
            std::vector<std::string> args = run;
            for (std::string& arg : args)
                if (arg.rfind("OUT", 0) == 0) arg = scratch.file("j" + jobs) + arg.substr(3);
            args.insert(args.begin() + 1, {"-j", jobs});
            results[jobs] = ombrel(args);
        }
        EXPECT_EQ(results["1"].status, 2) << run[0] << ": " << results["1"].err;
        EXPECT_EQ(results["4"].status, 2) << run[0];
        EXPECT_EQ(results["4"].err, results["1"].err) << run[0];
        // Render also warns of a.md2, which has no skin: before b.md2's line.
        std::vector<std::string> said = lines(results["4"].err);
        if (run[0] == "render") {
            ASSERT_FALSE(said.empty());
            EXPECT_NE(said.front().find("more/a.md2: no skin found"), std::string::npos) << said.front();
            said.erase(said.begin());
        }
        ASSERT_EQ(said.size(), 3u) << results["4"].err;
        EXPECT_NE(said[0].find("more/b.md2: cut short"), std::string::npos) << said[0];
        EXPECT_NE(said[1].find("more/d.md2: cut short"), std::string::npos) << said[1];
        EXPECT_NE(said[2].find("2 of "), std::string::npos) << said[2];
        const auto one = contentsOf(scratch.file("j1")), four = contentsOf(scratch.file("j4"));
        EXPECT_GE(one.size(), 4u) << run[0];
        EXPECT_TRUE(one == four) << run[0] << ": " << one.size() << " files from one process, " << four.size()
                                 << " from four";
        fs::remove_all(scratch.file("j1"));
        fs::remove_all(scratch.file("j4"));
    }
}

// An interrupt reaches every process: each stops after the picture it is
// drawing, ombrel ends by the signal once they ended, and every file it
// leaves is whole (no half-written picture, no temporary one, no page).
TEST_F(Batch, AnInterruptEndsEveryProcessLeavingOnlyWholeFiles) {
    putMany("many");
    const std::string out = scratch.file("gallery");
    const pid_t pid = start({"gallery", "-j", "3", "--all-animations", scratch.file("many"), "-o", out});
    ASSERT_TRUE(waitFor([&] { return anyFileEndingIn(out, ".gif"); })) << "no GIF was written";
    const std::vector<pid_t> workers = childrenOf(pid);
    EXPECT_EQ(workers.size(), 3u);
    kill(pid, SIGINT);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    for (pid_t worker : workers) EXPECT_NE(kill(worker, 0), 0) << "worker " << worker << " still runs";
    EXPECT_FALSE(fs::exists(out + "/index.html"));
    for (const std::string& name : filesUnder(out)) {
        EXPECT_NE(fs::path(name).filename().string()[0], '.') << name << " is a temporary file";
        const std::vector<uint8_t> bytes = testdata::readFile(out + "/" + name);
        ASSERT_GT(bytes.size(), 12u) << name;
        if (fs::path(name).extension() == ".gif")
            EXPECT_EQ(bytes.back(), 0x3B) << name << " has no GIF trailer";
        else
            EXPECT_EQ(std::string(bytes.end() - 8, bytes.end() - 4), "IEND") << name << " has no IEND";
    }
}

// A process that dies (here killed) costs the model it was drawing: that
// model gets its line, another process draws the rest.
TEST_F(Batch, AProcessThatDiesCostsOnlyTheModelItDrew) {
    putMany("many");
    const std::string out = scratch.file("thumbs");
    const pid_t pid = start({"thumbnail", "--size", "512", "-j", "2", scratch.file("many"), "-o", out + "/{name}.png"});
    ASSERT_TRUE(waitFor([&] { return anyFileEndingIn(out, ".png"); })) << "no thumbnail was written";
    const std::vector<pid_t> workers = childrenOf(pid);
    ASSERT_FALSE(workers.empty());
    kill(workers.front(), SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    const std::vector<uint8_t> bytes = testdata::readFile(scratch.file("started.err"));
    const std::vector<std::string> said = lines(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> pictures;
    for (const std::string& name : filesUnder(out))
        if (name[0] != '.') pictures.push_back(name);
    if (WEXITSTATUS(status) == 0) {
        // It was between two models: nothing lost.
        EXPECT_EQ(pictures.size(), 12u);
        EXPECT_TRUE(said.empty()) << said.front();
        return;
    }
    EXPECT_EQ(WEXITSTATUS(status), 2);
    ASSERT_EQ(said.size(), 2u) << std::string(bytes.begin(), bytes.end());
    EXPECT_NE(said[0].find("the worker drawing it ended by Killed"), std::string::npos) << said[0];
    EXPECT_EQ(said[1], "ombrel: 1 of 12 models failed");
    // Every other model's picture; the lost one's too where the worker was
    // killed after writing it, before telling.
    EXPECT_GE(pictures.size(), 11u);
    EXPECT_LE(pictures.size(), 12u);
}

TEST_F(Batch, AFolderAndAZipGiveOnePictureEachUnderTheirNames) {
    put("models/broken.md2", {'I', 'D', 'P', '2', 8, 0, 0, 0, 1, 2, 3});
    const std::string out = scratch.file("out");
    const Result result = ombrel({"thumbnail", "--size", "64", scratch.file("models"), zip, "-o", out + "/{name}.png"});
    EXPECT_EQ(result.status, 2);
    const std::vector<std::string> errors = lines(result.err);
    ASSERT_EQ(errors.size(), 2u) << result.err;
    EXPECT_NE(errors[0].find("broken.md2"), std::string::npos) << errors[0];
    EXPECT_EQ(errors[1], "ombrel: 1 of 5 models failed");
    EXPECT_EQ(filesUnder(out),
              (std::vector<std::string>{"faerie.png", "monsters/fay.png", "people/sydney.png", "sydney.png"}));
    for (const std::string& name : filesUnder(out)) {
        const PictureFile p = loadPictureFile(out + "/" + name, 4);
        EXPECT_EQ(p.width, 64) << name;
        int opaque = 0;
        for (size_t i = 3; i < p.pixels.size(); i += 4) opaque += p.pixels[i] == 255;
        EXPECT_GT(opaque, 200) << name;
    }
    // The same models drawn by render, all well: exit 0, nothing said.
    fs::remove(scratch.file("models/broken.md2"));
    const Result rendered = ombrel({"render", "--no-config", "--size", "80x60", scratch.file("models"),
                                    zip + ":monsters/fay.md2", "-o", scratch.file("pictures/{name}.gif")});
    EXPECT_EQ(rendered.status, 0) << rendered.err;
    EXPECT_EQ(rendered.err, "");
    EXPECT_EQ(filesUnder(scratch.file("pictures")),
              (std::vector<std::string>{"faerie.gif", "monsters/fay.gif", "people/sydney.gif"}));
}

// One window serves every model, so each must be drawn exactly as it would
// be alone: no skin, brightness or shading of the model before it left over.
TEST_F(Batch, EachModelLooksAsDrawnAlone) {
    put("models/bare.md2", corpus("faerie.md2"));  // no skin of its own: a wireframe
    const std::vector<std::string> options = {"render", "--no-config", "--size", "120x90", "--brightness", "40"};
    std::vector<std::string> all = options;
    all.insert(all.end(), {scratch.file("models"), "-o", scratch.file("all/{name}.png")});
    ASSERT_EQ(ombrel(all).status, 0);
    for (const std::string name : {"bare", "faerie", "people/sydney"}) {
        std::vector<std::string> alone = options;
        alone.insert(alone.end(), {scratch.file("models/" + name + ".md2"), "-o", scratch.file("alone.png")});
        ASSERT_EQ(ombrel(alone).status, 0);
        EXPECT_EQ(testdata::readFile(scratch.file("all/" + name + ".png")), testdata::readFile(scratch.file("alone.png")))
            << name;
    }
}

TEST_F(Batch, RefusalsBeforeDrawingAndNamesThatWouldLeaveTheFolder) {
    // Many models and one file name: each would overwrite the last.
    Result result = ombrel({"render", "--no-config", scratch.file("models"), "-o", scratch.file("x.png")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("{name}"), std::string::npos) << result.err;
    EXPECT_FALSE(fs::exists(scratch.file("x.png")));
    // Two models of the same name: the second is refused, the first kept.
    put("other/faerie.md2", corpus("faerie.md2"));
    result = ombrel({"thumbnail", "--size", "32", scratch.file("models/faerie.md2"), scratch.file("other"), "-o",
                     scratch.file("same/{name}.png")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("other/faerie.md2"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(scratch.file("same/faerie.png")));
    // An archive's names are the archive's word: one climbing out is refused.
    const std::string hostile =
        scratch.write("hostile.zip", testdata::zipArchive({{"../../escaped.md2", corpus("faerie.md2")},
                                                           {"fine.md2", corpus("faerie.md2")}}));
    result = ombrel({"thumbnail", "--size", "32", hostile, "-o", scratch.file("deep/inside/{name}.png")});
    EXPECT_FALSE(fs::exists(scratch.file("escaped.png")));
    EXPECT_FALSE(fs::exists(scratch.file("deep/escaped.png")));
    EXPECT_TRUE(fs::exists(scratch.file("deep/inside/fine.png"))) << result.err;
    // A source that names no model is one line; the others go on.
    fs::create_directories(scratch.file("empty"));
    result = ombrel({"thumbnail", "--size", "32", scratch.file("empty"), scratch.file("models/faerie.md2"), "-o",
                     scratch.file("some/{name}.png")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("no .md2, .glb, .gltf or .obj models in this folder"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(scratch.file("some/faerie.png")));
    // A member that can't be told a model or not gets its line with the rest.
    const std::string odd = scratch.write(
        "odd.zip", testdata::zipArchiveOf({{"fay", corpus("faerie.md2"), 8}, {"squire", corpus("faerie.md2"), 14}}));
    result = ombrel({"thumbnail", "--size", "32", odd, "-o", scratch.file("odd/{name}.png")});
    EXPECT_EQ(result.status, 2);
    EXPECT_NE(result.err.find("odd.zip:squire: compressed by method 14 (LZMA)"), std::string::npos) << result.err;
    EXPECT_NE(result.err.find("1 of 2 models failed"), std::string::npos) << result.err;
    EXPECT_TRUE(fs::exists(scratch.file("odd/fay.png")));
    // A gallery of which nothing can be drawn leaves no folder behind.
    put("bad/broken.md2", {'I', 'D', 'P', '2', 8, 0, 0, 0, 1, 2, 3});
    result = ombrel({"gallery", scratch.file("bad"), scratch.file("empty"), "-o", scratch.file("gallery")});
    EXPECT_EQ(result.status, 2);
    EXPECT_EQ(lines(result.err).size(), 3u) << result.err;
    EXPECT_FALSE(fs::exists(scratch.file("gallery")));
}

// "[2/3] people/sydney" on a terminal (script(1) gives the run one), never
// in a log or a pipe.
TEST_F(Batch, ProgressOnATerminalOnly) {
    const std::string command = kOmbrel + " thumbnail --size 32 " + scratch.file("models") + " -o " +
                                scratch.file("out/{name}.png");
    const Result terminal = runProgram("/usr/bin/script", {"-qefc", command, "/dev/null"}, {"DISPLAY"});
    EXPECT_EQ(terminal.status, 0) << terminal.out;
    EXPECT_NE(terminal.out.find("[1/2] faerie"), std::string::npos) << terminal.out;
    EXPECT_NE(terminal.out.find("[2/2] people/sydney"), std::string::npos) << terminal.out;
    const Result piped = ombrel({"thumbnail", "--size", "32", scratch.file("models"), "-o", scratch.file("out/{name}.png")});
    EXPECT_EQ(piped.status, 0);
    EXPECT_EQ(piped.err, "");
}

}  // namespace
