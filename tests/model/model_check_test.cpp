// The account of a model file: each reason the reader refuses a file, each
// problem the viewer works around, and agreement with the reader itself.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "model/model_check.h"
#include "tests/model/model_files.h"
#include "tests/writers/md2_shapes.h"
#include "tests/writers/md2_writer.h"

using testdata::md2Bytes;
using testdata::Md2Header;
using testdata::md2Layout;
using testdata::Md2Model;

namespace {

ModelCheck check(const std::vector<uint8_t>& bytes) { return modelCheck(bytes.data(), bytes.size()); }

std::vector<uint8_t> withHeader(const Md2Model& model, const std::function<void(Md2Header&)>& change) {
    Md2Header header = md2Layout(model);
    change(header);
    return md2Bytes(model, header);
}

bool mentions(const std::vector<std::string>& problems, const std::string& text) {
    for (const std::string& p : problems)
        if (p.find(text) != std::string::npos) return true;
    return false;
}

// The check must never call a file usable that the reader refuses, nor the
// other way round for what both look at.
void expectAgreesWithReader(const std::vector<uint8_t>& bytes, const std::string& what) {
    ModelCheck c = check(bytes);
    ModelPtr loaded = loadModelBytes(bytes);
    EXPECT_EQ(c.refusal.empty(), loaded != nullptr) << what << ": " << c.refusal;
}

TEST(ModelCheck, RefusalsSayWhy) {
    const Md2Model pyramid = testdata::md2PyramidModel();
    const std::vector<uint8_t> good = md2Bytes(pyramid);

    std::vector<uint8_t> zip = good;
    std::memcpy(zip.data(), "PK\3\4", 4);
    EXPECT_EQ(check(zip).refusal, "not an IDP2 model (it starts with \"PK\\x03\\x04\", not \"IDP2\")");
    EXPECT_FALSE(check(zip).hasHeader);

    EXPECT_EQ(check({}).refusal, "an empty file");
    std::vector<uint8_t> header40(good.begin(), good.begin() + 40);
    EXPECT_EQ(check(header40).refusal, "cut short: 40 bytes, less than the 68-byte header");

    std::vector<uint8_t> cut(good.begin(), good.end() - 8);  // into the command words
    EXPECT_NE(check(cut).refusal.find("cut short: the draw commands end at byte"), std::string::npos);

    auto outside = withHeader(pyramid, [](Md2Header& h) { h.offsetFrames = 1 << 20; });
    EXPECT_NE(check(outside).refusal.find("the frames lie outside the file (at byte 1048576"), std::string::npos);
    auto negative = withHeader(pyramid, [](Md2Header& h) { h.offsetTriangles = -12; });
    EXPECT_NE(check(negative).refusal.find("the triangles lie outside the file"), std::string::npos);

    auto big = withHeader(pyramid, [](Md2Header& h) { h.frameSize = 9000; });
    EXPECT_NE(check(big).refusal.find("frames of 9000 bytes, more than the 8320"), std::string::npos);
    auto small = withHeader(pyramid, [](Md2Header& h) { h.frameSize = 40; });
    EXPECT_NE(check(small).refusal.find("can't hold 5 vertices (they need 60)"), std::string::npos);
    auto noVertices = withHeader(pyramid, [](Md2Header& h) { h.numVertices = -1; });
    EXPECT_EQ(check(noVertices).refusal, "a negative vertex count (-1)");

    for (const auto& bytes : {zip, header40, cut, outside, negative, big, small, noVertices, good})
        expectAgreesWithReader(bytes, check(bytes).refusal);
    EXPECT_TRUE(check(good).refusal.empty());
    EXPECT_TRUE(check(good).problems.empty());
}

// The reader's bounds on a model's size are refusals here too.
TEST(ModelCheck, SizeBoundsAreRefusalsLikeTheReaders) {
    Md2Model tooMany;
    testdata::Md2Frame frame;
    frame.name = "f";
    frame.vertices.assign(2048, {1, 2, 3, 4});
    tooMany.frames.assign(513, frame);
    const std::vector<uint8_t> bytes = md2Bytes(tooMany);
    EXPECT_EQ(check(bytes).refusal, "513 frames of 2048 vertices, more than the 1048576 vertices a model may have");
    expectAgreesWithReader(bytes, "513 frames of 2048 vertices");

    std::vector<uint8_t> huge = md2Bytes(testdata::md2PyramidModel());
    huge.resize(size_t(MODEL_MAX_FILE_SIZE) + 1);
    EXPECT_EQ(check(huge).refusal, "a file of 16777217 bytes, more than the 16777216 a model file may have");
    expectAgreesWithReader(huge, "a file past the size bound");
}

TEST(ModelCheck, ProblemsTheViewerWorksAround) {
    Md2Model model = testdata::md2PyramidModel();
    model.triangles[0].vertexIndex[1] = 99;
    model.triangles[1].texCoordIndex[0] = -1;
    model.frames[0].vertices[2].normalIndex = 200;
    model.frames[1].name = "sixteen_letters!";  // fills the field, no zero
    model.commands.pop_back();                  // drop the end marker
    ModelCheck c = check(md2Bytes(model));
    EXPECT_TRUE(c.refusal.empty());
    EXPECT_TRUE(mentions(c.problems, "1 triangle uses vertex indices out of range"))
        << ::testing::PrintToString(c.problems);
    EXPECT_TRUE(mentions(c.problems, "1 triangle uses texture coordinate indices out of range"));
    EXPECT_TRUE(mentions(c.problems, "1 vertex has a normal index past the table"));
    EXPECT_TRUE(mentions(c.problems, "1 frame name fills all 16 bytes"));
    EXPECT_TRUE(mentions(c.problems, "the draw-command stream has no end marker"));

    Md2Model overrun = testdata::md2PyramidModel();
    overrun.commands = {5, 0, 0, 1};  // five vertices announced, one given
    EXPECT_TRUE(mentions(check(md2Bytes(overrun)).problems, "a draw command runs past the end"));
    Md2Model badCommand = testdata::md2PyramidModel();
    badCommand.commands = {3, 0, 0, 0, 0, 0, 1, 0, 0, 7, 0};  // vertex 7 of 5
    EXPECT_TRUE(mentions(check(md2Bytes(badCommand)).problems, "1 draw command uses vertex indices out of range"));

    Md2Model empty;
    ModelCheck none = check(md2Bytes(empty));
    EXPECT_TRUE(none.refusal.empty());
    EXPECT_TRUE(mentions(none.problems, "no frames"));
    EXPECT_TRUE(mentions(none.problems, "no triangles and no draw commands"));
}

TEST(ModelCheck, CorpusModelsAreClean) {
    for (const char* name : {"faerie.md2", "sydney.md2"}) {
        std::ifstream in(corpusPath(name), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ModelCheck c = check(bytes);
        EXPECT_TRUE(c.hasHeader) << name;
        EXPECT_EQ(c.refusal, "") << name;
        EXPECT_TRUE(c.problems.empty()) << name << ": " << ::testing::PrintToString(c.problems);
        EXPECT_EQ(c.header.numFrames, 198) << name;
    }
}

TEST(ModelCheck, AgreesWithTheReaderOnEverySeed) {
    const std::filesystem::path seeds = std::filesystem::path(OMBREL_SOURCE_DIR) / "tests/fuzz/seeds/model";
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(seeds)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        expectAgreesWithReader(bytes, entry.path().filename().string());
        ++count;
    }
    EXPECT_GT(count, 5);
}

}  // namespace
