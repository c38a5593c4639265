// The reader on real files made elsewhere, checked against values this test
// decodes itself from the raw bytes.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "model/draw.h"
#include "model/model.h"
#include "tests/model/model_files.h"
#include "tests/writers/bytes.h"

namespace {

struct CorpusModel {
    const char* file;
    int32_t skinWidth, skinHeight, numVertices, numTriangles, numFrames;
    const char* firstFrameName;
};

// The sizes the corpus README lists, and the skins' sizes.
const CorpusModel kCorpus[] = {
    {"faerie.md2", 220, 193, 366, 654, 198, "stand01"},
    {"sydney.md2", 308, 193, 342, 679, 198, "stand1"},
};

void PrintTo(const CorpusModel& model, std::ostream* out) { *out << model.file; }

// Frame `frame`'s vertex k decoded straight from the file bytes, in double.
struct RawVertex {
    double x, y, z;
    int normalIndex;
};

RawVertex rawVertex(const std::vector<uint8_t>& bytes, int frame, int k) {
    const size_t frameStart = size_t(rawInt32(bytes, 56)) + size_t(frame) * size_t(rawInt32(bytes, 16));
    const size_t packed = frameStart + 40 + 4 * size_t(k);
    double scale[3], translate[3];
    for (int axis = 0; axis < 3; ++axis) {
        scale[axis] = rawFloat(bytes, frameStart + 4 * size_t(axis));
        translate[axis] = rawFloat(bytes, frameStart + 12 + 4 * size_t(axis));
    }
    const double fileX = bytes[packed] * scale[0] + translate[0];
    const double fileY = bytes[packed + 1] * scale[1] + translate[1];
    const double fileZ = bytes[packed + 2] * scale[2] + translate[2];
    // The viewer's axes: file (x, y, z) is (x, z, -y).
    return {fileX, fileZ, -fileY, bytes[packed + 3]};
}

class CorpusModelTest : public testing::TestWithParam<CorpusModel> {};

}  // namespace

TEST_P(CorpusModelTest, HeaderAndSectionsMatchTheFile) {
    const CorpusModel& expected = GetParam();
    const std::vector<uint8_t> bytes = testdata::readFile(corpusPath(expected.file));
    ASSERT_GT(bytes.size(), 68u);
    ModelPtr model = loadCorpusModel(expected.file);
    ASSERT_TRUE(model);

    EXPECT_EQ(model->magic, MODEL_MAGIC);
    EXPECT_EQ(model->skinWidth, expected.skinWidth);
    EXPECT_EQ(model->skinHeight, expected.skinHeight);
    EXPECT_EQ(model->numVertices, expected.numVertices);
    EXPECT_EQ(model->numTriangles, expected.numTriangles);
    EXPECT_EQ(model->numFrames, expected.numFrames);
    EXPECT_EQ(model->numSkins, 0);
    EXPECT_EQ(model->skins, nullptr);
    const int32_t* fields = &model->magic;
    for (int i = 0; i < 17; ++i) EXPECT_EQ(fields[i], rawInt32(bytes, size_t(4 * i))) << "header field " << i;
    EXPECT_EQ(size_t(model->offsetEnd), bytes.size());

    EXPECT_EQ(0,
              std::memcmp(model->texCoords, &bytes[size_t(model->offsetTexCoords)], size_t(model->numTexCoords) * 4));
    EXPECT_EQ(0,
              std::memcmp(model->triangles, &bytes[size_t(model->offsetTriangles)], size_t(model->numTriangles) * 12));
    ASSERT_GT(model->numCommands, 0);
    EXPECT_EQ(0, std::memcmp(model->commands, &bytes[size_t(model->offsetCommands)], size_t(model->numCommands) * 4));
    EXPECT_EQ(model->commands[model->numCommands - 1], 0);
    EXPECT_STREQ(model->frames[0].name, expected.firstFrameName);
}

TEST_P(CorpusModelTest, DecodedVerticesMatchTheRawBytes) {
    const CorpusModel& expected = GetParam();
    const std::vector<uint8_t> bytes = testdata::readFile(corpusPath(expected.file));
    const std::vector<std::vector<float>> normals = publishedNormals();
    ModelPtr model = loadCorpusModel(expected.file);
    ASSERT_TRUE(model);
    for (int frame : {0, 1, 97, 197}) {
        const size_t nameAt = size_t(model->offsetFrames) + size_t(frame) * size_t(model->frameSize) + 24;
        EXPECT_STREQ(model->frames[frame].name, reinterpret_cast<const char*>(&bytes[nameAt]));
        for (int k = 0; k < model->numVertices; ++k) {
            const RawVertex raw = rawVertex(bytes, frame, k);
            const ModelVertex& v = model->frames[frame].vertices[k];
            ASSERT_NEAR(v.x, raw.x, 1e-4) << "frame " << frame << " vertex " << k;
            ASSERT_NEAR(v.y, raw.y, 1e-4) << "frame " << frame << " vertex " << k;
            ASSERT_NEAR(v.z, raw.z, 1e-4) << "frame " << frame << " vertex " << k;
            ASSERT_LT(raw.normalIndex, 162);
            const std::vector<float>& n = normals[size_t(raw.normalIndex)];
            ASSERT_EQ(v.nx, n[0]);
            ASSERT_EQ(v.ny, n[1]);
            ASSERT_EQ(v.nz, n[2]);
        }
    }
}

TEST_P(CorpusModelTest, BoundsCoverFrameZero) {
    const CorpusModel& expected = GetParam();
    const std::vector<uint8_t> bytes = testdata::readFile(corpusPath(expected.file));
    ModelPtr model = loadCorpusModel(expected.file);
    ASSERT_TRUE(model);
    double low[3] = {1e30, 1e30, 1e30}, high[3] = {-1e30, -1e30, -1e30};
    for (int k = 0; k < expected.numVertices; ++k) {
        const RawVertex raw = rawVertex(bytes, 0, k);
        const double p[3] = {raw.x, raw.y, raw.z};
        for (int axis = 0; axis < 3; ++axis) {
            low[axis] = std::min(low[axis], p[axis]);
            high[axis] = std::max(high[axis], p[axis]);
        }
    }
    ModelBounds box;
    modelBounds(model.get(), &box);
    EXPECT_NEAR(box.minX, low[0], 1e-4);
    EXPECT_NEAR(box.maxX, high[0], 1e-4);
    EXPECT_NEAR(box.minY, low[1], 1e-4);
    EXPECT_NEAR(box.maxY, high[1], 1e-4);
    EXPECT_NEAR(box.minZ, low[2], 1e-4);
    EXPECT_NEAR(box.maxZ, high[2], 1e-4);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusModelTest, testing::ValuesIn(kCorpus),
                         [](const testing::TestParamInfo<CorpusModel>& info) {
                             return std::string(info.param.file).substr(0, std::strlen(info.param.file) - 4);
                         });

// The front end decodes models from bytes it already holds (a file read
// once, an archive member): at any alignment, reading none past the span,
// the same model as the reader of paths.
TEST_P(CorpusModelTest, BytesInMemoryGiveTheSameModelAsThePath) {
    const std::vector<uint8_t> file = testdata::readFile(corpusPath(GetParam().file));
    std::vector<uint8_t> held(file.size() + 1);
    std::copy(file.begin(), file.end(), held.begin() + 1);  // odd address, nothing after the span
    ModelPtr fromBytes(modelLoadFromBytes(held.data() + 1, file.size()));
    ModelPtr fromPath = loadCorpusModel(GetParam().file);
    ASSERT_TRUE(fromBytes);
    ASSERT_TRUE(fromPath);
    EXPECT_EQ(std::memcmp(fromBytes.get(), fromPath.get(), MODEL_HEADER_SIZE), 0);
    const size_t vertices = size_t(fromPath->numFrames) * size_t(fromPath->numVertices);
    EXPECT_EQ(std::memcmp(fromBytes->vertexBlock, fromPath->vertexBlock, vertices * sizeof(ModelVertex)), 0);
    EXPECT_EQ(std::memcmp(fromBytes->triangles, fromPath->triangles,
                          size_t(fromPath->numTriangles) * sizeof(ModelTriangle)),
              0);
    EXPECT_FALSE(ModelPtr(modelLoadFromBytes(held.data() + 1, file.size() - 1)));  // one byte short
}
