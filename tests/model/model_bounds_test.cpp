// The bounding box over frame 0.
#include <gtest/gtest.h>

#include "model/draw.h"
#include "tests/model/model_files.h"
#include "tests/writers/md2_writer.h"

namespace {

void expectBox(const ModelBounds& box, float minX, float maxX, float minY, float maxY, float minZ, float maxZ) {
    EXPECT_EQ(box.minX, minX);
    EXPECT_EQ(box.maxX, maxX);
    EXPECT_EQ(box.minY, minY);
    EXPECT_EQ(box.maxY, maxY);
    EXPECT_EQ(box.minZ, minZ);
    EXPECT_EQ(box.maxZ, maxZ);
}

testdata::Md2Frame frame(const std::vector<testdata::Md2PackedVertex>& vertices) {
    testdata::Md2Frame f;
    f.vertices = vertices;
    // File y becomes -z in the viewer's axes: translate y by -3 so that a
    // packed y of 0 lands on viewer z = 3.
    f.translate[1] = -3.0f;
    return f;
}

}  // namespace

TEST(ModelBounds, SingleVertexSetsBothBoundsOfEachAxis) {
    testdata::Md2Model source;
    source.frames = {frame({{1, 0, 2, 0}})};  // viewer position (1, 2, 3)
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);
    ModelBounds box;
    modelBounds(model.get(), &box);
    expectBox(box, 1, 1, 2, 2, 3, 3);
}

TEST(ModelBounds, CoversFrameZeroOnly) {
    testdata::Md2Model source;
    source.frames = {frame({{4, 0, 9, 0}, {1, 5, 2, 0}, {7, 2, 200, 0}}),
                     frame({{255, 255, 255, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}})};
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);
    ModelBounds box;
    modelBounds(model.get(), &box);
    // Viewer z = -(y - 3) = 3 - y over packed y 0, 5, 2.
    expectBox(box, 1, 7, 2, 200, -2, 3);
}

TEST(ModelBounds, EmptyBoxWithoutVerticesOrFrames) {
    ModelBounds box;
    testdata::Md2Model noVertices;
    noVertices.frames = {frame({})};
    ModelPtr model = loadModelBytes(testdata::md2Bytes(noVertices));
    ASSERT_TRUE(model);
    modelBounds(model.get(), &box);
    expectBox(box, 999999, -999999, 999999, -999999, 999999, -999999);

    // Vertices promised, but no frame holds them.
    testdata::Md2Model noFrames;
    testdata::Md2Header header = testdata::md2Layout(noFrames);
    header.numVertices = 12;
    ModelPtr frameless = loadModelBytes(testdata::md2Bytes(noFrames, header));
    ASSERT_TRUE(frameless);
    box = ModelBounds{};
    modelBounds(frameless.get(), &box);
    expectBox(box, 999999, -999999, 999999, -999999, 999999, -999999);

    modelBounds(nullptr, &box);
    expectBox(box, 999999, -999999, 999999, -999999, 999999, -999999);
}
