// What each command does with the file system, counted by strace: every
// input it uses is opened once (the open file is asked what it is; no probe
// opens it before), and a picture is drawn from memory, so a render makes
// nothing on disk but its output, written beside its name and renamed.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>

#include "tests/frontend/frontend_files.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

namespace fs = std::filesystem;

namespace {

const std::string kOmbrel = std::string(OMBREL_BIN_DIR) + "/ombrel";
const std::string kWater = fs::weakly_canonical(std::string(OMBREL_BIN_DIR) + "/../share/ombrel/water.pcx").string();

struct FileUse {
    std::map<std::string, int> opened;  // files opened for reading, and how often
    std::vector<std::string> made;      // files, folders and links made, and renames' targets
    int status = -1;
    std::string err;
};

// The command's successful opens and what it made, from strace's log. Paths
// are as the program gave them; the tests give absolute ones.
FileUse traced(const std::vector<std::string>& args, const std::string& folder) {
    const std::string log = folder + "/strace.log";
    std::vector<std::string> command = {"-f", "-qq", "-o", log, "-e",
                                        "trace=open,openat,creat,mkdir,mkdirat,symlink,symlinkat,link,linkat,rename,"
                                        "renameat,renameat2",
                                        kOmbrel};
    command.insert(command.end(), args.begin(), args.end());
    // The driver's own shader cache is not the program's doing. Leaks are
    // other tests' to find: the sanitizer's leak check can't run under strace.
    const frontendtest::Result result =
        frontendtest::runProgram("/usr/bin/strace", command,
                                 {"SDL_VIDEODRIVER=offscreen", "MESA_SHADER_CACHE_DISABLE=true", "ASAN_OPTIONS=detect_leaks=0",
                                  "XDG_CONFIG_HOME=" + folder,
                                  "XDG_RUNTIME_DIR=" + folder + "/run"},
                                 folder);
    FileUse use;
    use.status = result.status;
    use.err = result.err;
    const std::vector<uint8_t> bytes = testdata::readFile(log);
    static const std::regex opening(R"re(open(?:at)?\((?:AT_FDCWD, )?"([^"]*)", ([A-Z_|]+)[^)]*\) = \d+)re");
    static const std::regex making(R"re((mkdir|mkdirat|symlink|symlinkat|link|linkat|rename|renameat2?)\(.*"([^"]*)"[^"]*\) = 0)re");
    for (const std::string& line : frontendtest::lines(std::string(bytes.begin(), bytes.end()))) {
        std::smatch match;
        if (std::regex_search(line, match, opening)) {
            const std::string flags = match[2];
            if (flags.find("O_CREAT") != std::string::npos)
                use.made.push_back(match[1]);
            else if (flags.find("O_DIRECTORY") == std::string::npos)
                ++use.opened[match[1]];
        } else if (std::regex_search(line, match, making)) {
            use.made.push_back(match[2]);
        }
    }
    return use;
}

class FileUseTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists("/usr/bin/strace")) GTEST_SKIP() << "strace is not installed (scripts/install-deps --test)";
        folder = fs::weakly_canonical(dir.path()).string();
        for (const char* name : {"faerie.md2", "faerie.pcx"})
            frontendtest::writeBytes(folder + "/" + name, testdata::readFile(std::string(OMBREL_CORPUS_DIR) + "/" + name));
        model = folder + "/faerie.md2";
        skin = folder + "/faerie.pcx";
    }

    // Each input the command uses opened exactly once.
    void expectOpenedOnce(const FileUse& use, const std::vector<std::string>& inputs) {
        EXPECT_EQ(use.status, 0) << use.err;
        for (const std::string& input : inputs) EXPECT_EQ(use.opened.count(input) ? use.opened.at(input) : 0, 1) << input;
    }

    testdata::ScratchDir dir;
    std::string folder, model, skin;
};

TEST_F(FileUseTest, EveryInputIsOpenedOnceAndPicturesMakeNothingButTheirOutput) {
    FileUse info = traced({"info", model}, folder);
    expectOpenedOnce(info, {model, skin});
    EXPECT_TRUE(info.made.empty()) << info.made.front();

    for (const std::vector<std::string>& picture :
         {std::vector<std::string>{"render", model, "-o", folder + "/out.png"},
          std::vector<std::string>{"thumbnail", "--size", "64", model, folder + "/out.png"}}) {
        FileUse use = traced(picture, folder);
        expectOpenedOnce(use, {model, skin});
        // The water is not shown, so it is not read.
        EXPECT_EQ(use.opened.count(kWater), 0u) << picture[0];
        // The picture beside its name, then renamed into place: nothing else.
        ASSERT_EQ(use.made.size(), 2u) << picture[0];
        EXPECT_EQ(fs::path(use.made[0]).parent_path(), fs::path(folder)) << use.made[0];
        EXPECT_EQ(fs::path(use.made[1]).filename(), "out.png");
        EXPECT_FALSE(fs::exists(folder + "/run")) << "no run folder for a picture";
    }

    // The record needs nothing staged for files the viewer reads where they lie.
    FileUse record = traced({"--write-config", folder + "/model.cfg", model}, folder);
    expectOpenedOnce(record, {model, skin, kWater});
    EXPECT_EQ(record.made, std::vector<std::string>{folder + "/model.cfg"});
    EXPECT_FALSE(fs::exists(folder + "/model.cfg.files"));
}

TEST_F(FileUseTest, AModelInAnArchiveIsReadFromTheOpenArchive) {
    const std::string zip = folder + "/pack.zip";
    frontendtest::writeBytes(zip, testdata::zipArchive({{"m/faerie.md2", testdata::readFile(model)},
                                                        {"m/faerie.pcx", testdata::readFile(skin)}}));
    FileUse use = traced({"render", zip + ":m/faerie.md2", "-o", folder + "/out.png"}, folder);
    expectOpenedOnce(use, {zip});
    EXPECT_EQ(use.made.size(), 2u);
}

// A source's files (the .gltf, its buffer and picture; an OBJ sequence's
// frames, material and picture) are each opened once, by every command.
TEST_F(FileUseTest, TheFilesOfASourceAreOpenedOnce) {
    ASSERT_EQ(traced({"export", model, "-o", folder + "/f.gltf"}, folder).status, 0);
    ASSERT_EQ(traced({"export", "--frames", "0-2", model, "-o", folder + "/s_{frame}.obj"}, folder).status, 0);
    const std::vector<std::string> gltf = {folder + "/f.gltf", folder + "/f.bin", folder + "/f.png"};
    const std::vector<std::string> sequence = {folder + "/s_0.obj", folder + "/s_1.obj", folder + "/s_2.obj",
                                               folder + "/s.mtl", folder + "/s.png"};
    for (const auto& [source, inputs] : {std::pair{folder + "/f.gltf", gltf}, std::pair{folder + "/s_{frame}.obj", sequence}}) {
        SCOPED_TRACE(source);
        FileUse info = traced({"info", source}, folder);
        expectOpenedOnce(info, inputs);
        EXPECT_TRUE(info.made.empty()) << info.made.front();
        FileUse render = traced({"render", source, "-o", folder + "/out.png"}, folder);
        expectOpenedOnce(render, inputs);
        EXPECT_EQ(render.made.size(), 2u) << "the picture and its rename, nothing staged";
        FileUse convert = traced({"convert", source, "-o", folder + "/out.md2"}, folder);
        expectOpenedOnce(convert, inputs);
    }
}

}  // namespace
