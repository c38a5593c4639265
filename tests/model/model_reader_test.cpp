// The model reader on files built by the IDP2 writer: what it decodes, what
// it refuses, and that it leaves no file open.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "model/model.h"
#include "tests/model/model_files.h"
#include "tests/support/not_regular_files.h"
#include "tests/writers/md2_shapes.h"
#include "tests/writers/md2_writer.h"
#include "tests/writers/scratch_dir.h"

using testdata::md2Bytes;
using testdata::Md2Header;
using testdata::md2Layout;
using testdata::Md2Model;

namespace {

// One frame holding the given packed vertices, scale 1, translate 0.
Md2Model modelWithVertices(const std::vector<testdata::Md2PackedVertex>& vertices) {
    Md2Model model;
    testdata::Md2Frame frame;
    frame.name = "only";
    frame.vertices = vertices;
    model.frames.push_back(frame);
    return model;
}

ModelPtr loadWithHeader(const Md2Model& model, const std::function<void(Md2Header&)>& change) {
    Md2Header header = md2Layout(model);
    change(header);
    return loadModelBytes(md2Bytes(model, header));
}

int openDescriptors() {
    int count = 0;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return -1;
    while (readdir(dir)) ++count;
    closedir(dir);
    return count;
}

}  // namespace

TEST(ModelReader, KeepsHeaderAndSectionsAsStored) {
    Md2Model source = testdata::md2PyramidModel();
    source.version = 1234;  // any version is accepted
    const Md2Header header = md2Layout(source);
    ModelPtr model = loadModelBytes(md2Bytes(source));
    ASSERT_TRUE(model);

    const int32_t expected[] = {
        header.magic,          header.version,     header.skinWidth,       header.skinHeight,      header.frameSize,
        header.numSkins,       header.numVertices, header.numTexCoords,    header.numTriangles,    header.numCommands,
        header.numFrames,      header.offsetSkins, header.offsetTexCoords, header.offsetTriangles, header.offsetFrames,
        header.offsetCommands, header.offsetEnd,
    };
    const int32_t actual[] = {
        model->magic,          model->version,     model->skinWidth,       model->skinHeight,      model->frameSize,
        model->numSkins,       model->numVertices, model->numTexCoords,    model->numTriangles,    model->numCommands,
        model->numFrames,      model->offsetSkins, model->offsetTexCoords, model->offsetTriangles, model->offsetFrames,
        model->offsetCommands, model->offsetEnd,
    };
    for (int i = 0; i < 17; ++i) EXPECT_EQ(actual[i], expected[i]) << "header field " << i;

    ASSERT_NE(model->skins, nullptr);
    EXPECT_STREQ(model->skins[0], "models/pyramid/skin.pcx");
    for (size_t i = 0; i < source.texCoords.size(); ++i) {
        EXPECT_EQ(model->texCoords[i].s, source.texCoords[i].s);
        EXPECT_EQ(model->texCoords[i].t, source.texCoords[i].t);
    }
    for (size_t i = 0; i < source.triangles.size(); ++i) {
        for (int k = 0; k < 3; ++k) {
            EXPECT_EQ(model->triangles[i].vertexIndex[k], source.triangles[i].vertexIndex[k]);
            EXPECT_EQ(model->triangles[i].texCoordIndex[k], source.triangles[i].texCoordIndex[k]);
        }
    }
    // The command copy holds every word as stored, the terminating zero included.
    ASSERT_NE(model->commands, nullptr);
    EXPECT_EQ(0, std::memcmp(model->commands, source.commands.data(), source.commands.size() * 4));
    EXPECT_EQ(model->commands[model->numCommands - 1], 0);
    EXPECT_STREQ(model->frames[0].name, "rise01");
    EXPECT_STREQ(model->frames[1].name, "rise02");
}

TEST(ModelReader, DecodesPackedVerticesIntoViewerAxes) {
    Md2Model source = modelWithVertices({{10, 20, 30, 0}, {255, 0, 128, 161}});
    testdata::Md2Frame& frame = source.frames[0];
    frame.scale[0] = 0.5f, frame.scale[1] = 0.25f, frame.scale[2] = 2.0f;
    frame.translate[0] = -1.0f, frame.translate[1] = 3.0f, frame.translate[2] = 4.0f;
    ModelPtr model = loadModelBytes(md2Bytes(source));
    ASSERT_TRUE(model);

    const ModelVertex& v = model->frames[0].vertices[0];
    EXPECT_FLOAT_EQ(v.x, 4.0f);   // 10 * 0.5 - 1
    EXPECT_FLOAT_EQ(v.y, 64.0f);  // 30 * 2 + 4
    EXPECT_FLOAT_EQ(v.z, -8.0f);  // -(20 * 0.25 + 3)
    // Normals stay in the table's axes.
    EXPECT_FLOAT_EQ(v.nx, -0.525731f);
    EXPECT_FLOAT_EQ(v.ny, 0.0f);
    EXPECT_FLOAT_EQ(v.nz, 0.850651f);

    const ModelVertex& w = model->frames[0].vertices[1];
    EXPECT_FLOAT_EQ(w.x, 126.5f);
    EXPECT_FLOAT_EQ(w.y, 260.0f);
    EXPECT_FLOAT_EQ(w.z, -3.0f);
    EXPECT_FLOAT_EQ(w.nx, -0.688191f);
    EXPECT_FLOAT_EQ(w.ny, -0.587785f);
    EXPECT_FLOAT_EQ(w.nz, -0.425325f);
}

TEST(ModelReader, NormalTableMatchesThePublishedTable) {
    const std::vector<std::vector<float>> published = publishedNormals();
    ASSERT_EQ(published.size(), size_t(MODEL_NUM_NORMALS));
    for (int i = 0; i < MODEL_NUM_NORMALS; ++i)
        for (int c = 0; c < 3; ++c) EXPECT_EQ(modelNormals[i][c], published[size_t(i)][size_t(c)]) << i;
}

TEST(ModelReader, NormalIndexPastTheTableGetsTheUpNormal) {
    ModelPtr model = loadModelBytes(md2Bytes(modelWithVertices({{1, 1, 1, 162}, {1, 1, 1, 255}, {1, 1, 1, 161}})));
    ASSERT_TRUE(model);
    for (int k = 0; k < 2; ++k) {
        const ModelVertex& v = model->frames[0].vertices[k];
        EXPECT_EQ(v.nx, 0.0f);
        EXPECT_EQ(v.ny, 0.0f);
        EXPECT_EQ(v.nz, 1.0f);
    }
    EXPECT_FLOAT_EQ(model->frames[0].vertices[2].nx, -0.688191f);
}

TEST(ModelReader, FrameNameWithoutTerminatorIsCutTo15Characters) {
    Md2Model source = modelWithVertices({{0, 0, 0, 0}});
    source.frames[0].name = "abcdefghijklmnopqrst";  // fills all 16 bytes, no zero
    source.frames.push_back(source.frames[0]);
    source.frames[1].name = "run";
    ModelPtr model = loadModelBytes(md2Bytes(source));
    ASSERT_TRUE(model);
    EXPECT_STREQ(model->frames[0].name, "abcdefghijklmno");
    EXPECT_STREQ(model->frames[1].name, "run");
}

TEST(ModelReader, FramesLieBackToBackAtFrameSizeWhateverTheVertexCount) {
    Md2Model source = modelWithVertices({{1, 2, 3, 0}});
    source.frames.push_back(modelWithVertices({{7, 8, 9, 0}}).frames[0]);
    source.frames.push_back(modelWithVertices({{200, 100, 50, 0}}).frames[0]);
    source.framePadding = 12;  // frameSize 56, four bytes of vertex data each
    ModelPtr model = loadModelBytes(md2Bytes(source));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->frameSize, 56);
    EXPECT_EQ(model->frames[1].vertices[0].x, 7.0f);
    EXPECT_EQ(model->frames[2].vertices[0].x, 200.0f);
    EXPECT_EQ(model->frames[2].vertices[0].z, -100.0f);
}

TEST(ModelReader, ZeroOrNegativeCountsLeaveTheirArraysNull) {
    // The counts are kept as read; nothing is allocated or read for them.
    ModelPtr model = loadWithHeader(testdata::md2PyramidModel(), [](Md2Header& h) {
        h.numSkins = -1;
        h.numTexCoords = 0;
        h.numTriangles = -7;
        h.numFrames = INT_MIN;
        h.numCommands = -4;
    });
    ASSERT_TRUE(model);
    EXPECT_EQ(model->numSkins, -1);
    EXPECT_EQ(model->numTriangles, -7);
    EXPECT_EQ(model->numFrames, INT_MIN);
    EXPECT_EQ(model->numCommands, -4);
    EXPECT_EQ(model->skins, nullptr);
    EXPECT_EQ(model->texCoords, nullptr);
    EXPECT_EQ(model->triangles, nullptr);
    EXPECT_EQ(model->frames, nullptr);
    EXPECT_EQ(model->commands, nullptr);
}

TEST(ModelReader, ZeroVerticesIsLegal) {
    Md2Model source = modelWithVertices({});
    source.frames.push_back(source.frames[0]);
    ModelPtr model = loadModelBytes(md2Bytes(source));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->numVertices, 0);
    ASSERT_NE(model->frames, nullptr);
    EXPECT_EQ(model->frames[1].vertices, nullptr);
    EXPECT_STREQ(model->frames[1].name, "only");
}

TEST(ModelReader, FrameLimitsAreInclusive) {
    // 2070 vertices fill the 8320-byte frame buffer exactly; one more can't fit.
    std::vector<testdata::Md2PackedVertex> vertices(2070, {1, 2, 3, 4});
    ModelPtr full = loadModelBytes(md2Bytes(modelWithVertices(vertices)));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->frameSize, 8320);
    EXPECT_EQ(full->frames[0].vertices[2069].x, 1.0f);

    vertices.push_back({1, 2, 3, 4});
    EXPECT_FALSE(loadModelBytes(md2Bytes(modelWithVertices(vertices))));
}

TEST(ModelReader, OffsetEndAndOverlappingSectionsAreNotChecked) {
    // offsetEnd is not used, and sections may share bytes: nothing is read outside the file.
    ModelPtr model = loadWithHeader(testdata::md2PyramidModel(), [](Md2Header& h) {
        h.offsetEnd = -5;
        h.offsetTexCoords = 0;
    });
    ASSERT_TRUE(model);
    EXPECT_EQ(model->texCoords[0].s, 0x4449);  // the magic's first bytes, "ID"
}

// Each of these files promises more than it holds or breaks the frame
// limits; every one must be refused rather than half-filled.
TEST(ModelReader, RefusesFilesThatCannotBackTheirHeader) {
    const Md2Model pyramid = testdata::md2PyramidModel();
    const Md2Header good = md2Layout(pyramid);
    const int32_t fileSize = good.offsetEnd;
    struct Case {
        const char* what;
        std::function<void(Md2Header&)> change;
    };
    const Case cases[] = {
        {"wrong magic", [](Md2Header& h) { h.magic = 0x32504448; }},
        {"skins past the end", [&](Md2Header& h) { h.offsetSkins = fileSize - 63; }},
        {"texture coordinates past the end",
         [&](Md2Header& h) { h.numTexCoords = (fileSize - h.offsetTexCoords) / 4 + 1; }},
        {"triangles past the end", [&](Md2Header& h) { h.offsetTriangles = fileSize - 11; }},
        {"frames past the end", [&](Md2Header& h) { h.numFrames += 1 + (fileSize - h.offsetFrames) / h.frameSize; }},
        {"commands past the end", [](Md2Header& h) { h.numCommands += 1; }},
        {"huge command count", [](Md2Header& h) { h.numCommands = INT_MAX; }},
        {"huge triangle count", [](Md2Header& h) { h.numTriangles = INT_MAX; }},
        {"huge frame count", [](Md2Header& h) { h.numFrames = INT_MAX; }},
        {"huge skin count", [](Md2Header& h) { h.numSkins = INT_MAX; }},
        {"negative section offset", [](Md2Header& h) { h.offsetTexCoords = -4; }},
        {"offset beyond the file", [](Md2Header& h) { h.offsetCommands = INT_MAX; }},
        {"negative vertex count", [](Md2Header& h) { h.numVertices = -1; }},
        {"frame too small for its vertices", [](Md2Header& h) { h.frameSize = 40 + 4 * h.numVertices - 1; }},
        {"frame bigger than the frame buffer", [](Md2Header& h) { h.frameSize = 8321; }},
        {"negative frame size", [](Md2Header& h) { h.frameSize = -40; }},
        {"vertex count too big for any frame", [](Md2Header& h) { h.numVertices = 2071; }},
    };
    for (const Case& c : cases) {
        Md2Header header = good;
        c.change(header);
        EXPECT_FALSE(loadModelBytes(md2Bytes(pyramid, header))) << c.what;
    }
}

// 512 frames of 2048 vertices is the most a real model decodes to (24 MiB);
// a header asking for more is refused even when the file backs every frame,
// and a file of more than 16 MiB is refused unread, sparse or not.
TEST(ModelReader, DecodedSizeAndFileSizeAreBounded) {
    Md2Model largest = modelWithVertices(std::vector<testdata::Md2PackedVertex>(2048, {1, 2, 3, 4}));
    largest.frames.resize(512, largest.frames[0]);
    ModelPtr model = loadModelBytes(md2Bytes(largest));
    ASSERT_TRUE(model);
    EXPECT_EQ(int64_t(model->numFrames) * model->numVertices, MODEL_MAX_DECODED_VERTICES);
    EXPECT_EQ(model->frames[511].vertices, model->frames[0].vertices + 511 * 2048);  // one block

    Md2Model tooMany = largest;
    tooMany.frames.push_back(largest.frames[0]);
    EXPECT_FALSE(loadModelBytes(md2Bytes(tooMany)));

    // A small valid model followed by a sparse tail past the bound.
    testdata::ScratchDir dir;
    const std::string path = dir.write("sparse.md2", md2Bytes(testdata::md2PyramidModel()));
    ASSERT_TRUE(ModelPtr(modelLoad(path.c_str())));
    ASSERT_EQ(truncate(path.c_str(), off_t(MODEL_MAX_FILE_SIZE) + 1), 0);
    EXPECT_FALSE(ModelPtr(modelLoad(path.c_str())));
    ASSERT_EQ(truncate(path.c_str(), off_t(MODEL_MAX_FILE_SIZE)), 0);
    EXPECT_TRUE(ModelPtr(modelLoad(path.c_str())));
}

TEST(ModelReader, RefusesShortAndTruncatedFiles) {
    const std::vector<uint8_t> whole = md2Bytes(testdata::md2PyramidModel());
    ASSERT_TRUE(loadModelBytes(whole));
    // Shorter than the header, cut inside the frames, one word of commands missing.
    const Md2Header layout = md2Layout(testdata::md2PyramidModel());
    for (size_t size : {size_t(0), size_t(3), size_t(67), size_t(layout.offsetFrames + 50), whole.size() - 1}) {
        std::vector<uint8_t> cut(whole.begin(), whole.begin() + long(size));
        EXPECT_FALSE(loadModelBytes(cut)) << size << " bytes";
    }
    // A bare header with every count zero is a complete, empty model.
    Md2Model empty;
    ModelPtr model = loadModelBytes(md2Bytes(empty));
    ASSERT_TRUE(model);
    EXPECT_EQ(model->frames, nullptr);
}

TEST(ModelReader, RefusesWhatIsNotARegularFile) {
    EXPECT_FALSE(modelLoad(nullptr));
    EXPECT_FALSE(modelLoad((testing::TempDir() + "no-such-model.md2").c_str()));
    EXPECT_FALSE(modelLoad(testing::TempDir().c_str()));  // a folder
    EXPECT_FALSE(modelLoad("/dev/null"));
    // A FIFO would hang the open call, a device feed the reader for ever.
    testdata::ScratchDir dir;
    ASSERT_TRUE(testsupport::makeFifo(dir.file("fifo.md2")));
    ASSERT_EQ(symlink("/dev/zero", dir.file("zero.md2").c_str()), 0);
    testsupport::EndsWithin guard(10);
    EXPECT_FALSE(modelLoad(dir.file("fifo.md2").c_str()));
    EXPECT_FALSE(modelLoad(dir.file("zero.md2").c_str()));
    for (const std::string& device : testsupport::endlessDevices()) EXPECT_FALSE(modelLoad(device.c_str())) << device;
}

TEST(ModelReader, LeavesNoFileOpenOnAnyPath) {
    const int before = openDescriptors();
    const Md2Model pyramid = testdata::md2PyramidModel();
    EXPECT_TRUE(loadModelBytes(md2Bytes(pyramid)));
    EXPECT_FALSE(loadWithHeader(pyramid, [](Md2Header& h) { h.magic = 0; }));
    EXPECT_FALSE(loadWithHeader(pyramid, [](Md2Header& h) { h.numCommands += 1; }));
    std::vector<uint8_t> shortFile(20, 'x');
    EXPECT_FALSE(loadModelBytes(shortFile));
    EXPECT_FALSE(modelLoad(testing::TempDir().c_str()));
    EXPECT_EQ(openDescriptors(), before);
}

TEST(ModelReader, FreeReleasesPartlyFilledRecords) {
    // What a load that failed part-way through the frames leaves behind: the
    // frame array with some vertex arrays still null. LeakSanitizer and
    // AddressSanitizer check the release.
    modelFree(nullptr);
    Model* model = static_cast<Model*>(std::calloc(1, sizeof(Model)));
    model->numFrames = 4;
    model->numVertices = 3;
    model->frames = static_cast<ModelFrame*>(std::calloc(4, sizeof(ModelFrame)));
    model->frames[0].vertices = static_cast<ModelVertex*>(std::malloc(3 * sizeof(ModelVertex)));
    model->frames[1].vertices = static_cast<ModelVertex*>(std::malloc(3 * sizeof(ModelVertex)));
    model->texCoords = static_cast<ModelTexCoord*>(std::malloc(8));
    modelFree(model);
}
