// render and thumbnail over many models in one run: a folder and a zip of
// real models (made here) give one picture each under their names, a
// broken one among them gets its one line while the others are written;
// each model drawn after others looks exactly as drawn alone; names from an
// archive never lead outside the output folder; the progress line shows on
// a terminal only.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/frontend/frontend_files.h"
#include "tests/frontend/picture_file.h"
#include "tests/writers/archives.h"
#include "tests/writers/bytes.h"

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
    testdata::ScratchDir scratch;
    std::string zip;
};

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
