// The glTF reader on files made here (tests/writers/gltf_writer.h), each
// judged against the scene worked out by hand at the sampled times.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>

#include "image/png_writer.h"
#include "model/animations.h"
#include "model/export_mesh.h"
#include "model/import.h"
#include "tests/model/export_files.h"
#include "tests/model/source_files.h"
#include "tests/writers/gltf_writer.h"

using testdata::addChannel;
using testdata::addMeshNode;
using testdata::GltfWriter;

namespace {

const double kHalf = std::sqrt(0.5);

void expectNear3(const std::vector<float>& values, size_t vertex, double x, double y, double z, double tolerance = 1e-5) {
    ASSERT_LE(vertex * 3 + 3, values.size());
    EXPECT_NEAR(values[vertex * 3], x, tolerance) << "vertex " << vertex;
    EXPECT_NEAR(values[vertex * 3 + 1], y, tolerance) << "vertex " << vertex;
    EXPECT_NEAR(values[vertex * 3 + 2], z, tolerance) << "vertex " << vertex;
}

// A triangle on the x and y axes: (0,0,0), (1,0,0), (0,1,0).
int triangleNode(GltfWriter& writer) { return addMeshNode(writer, {0, 0, 0, 1, 0, 0, 0, 1, 0}, {0, 1, 2}); }

TEST(GltfSource, NestedNodesWithScaleAndMirroring) {
    GltfWriter writer;
    const int child = triangleNode(writer);
    tinygltf::Model& model = writer.model();
    model.meshes[0].primitives[0].attributes["NORMAL"] = writer.floats({0, 0, 1, 0, 0, 1, float(kHalf), float(kHalf), 0}, 3);
    model.scenes[0].nodes.clear();
    // parent: translate (1, 2, 3), scale (2, 1, 1); child: 90 degrees about z.
    tinygltf::Node parent;
    parent.translation = {1, 2, 3};
    parent.scale = {2, 1, 1};
    parent.children = {child};
    model.nodes[size_t(child)].rotation = {0, 0, kHalf, kHalf};
    model.nodes.push_back(parent);
    model.scenes[0].nodes = {1};
    // A mirrored copy beside it: scale x by -1.
    tinygltf::Node mirror;
    mirror.mesh = 0;
    mirror.scale = {-1, 1, 1};
    model.nodes.push_back(mirror);
    model.scenes[0].nodes.push_back(2);

    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, {}, mesh, error)) << error;
    ASSERT_EQ(mesh.vertexCount, 6u);
    ASSERT_EQ(mesh.animations.size(), 1u);
    EXPECT_EQ(mesh.animations[0].name, "");
    ASSERT_EQ(mesh.animations[0].frames.size(), 1u);
    const SourceFrame& frame = mesh.animations[0].frames[0];
    // Rotated: (x, y) -> (-y, x); scaled: x * 2; moved.
    expectNear3(frame.positions, 0, 1, 2, 3);
    expectNear3(frame.positions, 1, 1, 3, 3);
    expectNear3(frame.positions, 2, -1, 2, 3);
    expectNear3(frame.positions, 3, 0, 0, 0);
    expectNear3(frame.positions, 4, -1, 0, 0);
    expectNear3(frame.positions, 5, 0, 1, 0);
    // Normals by the inverse transpose, made unit again: (1,1,0)/sqrt2 turns
    // to (-1,1,0)/sqrt2, then x / 2: (-0.5, 1, 0) / |..|.
    const double length = std::sqrt(1.25);
    expectNear3(frame.normals, 2, -0.5 / length, 1 / length, 0);
    expectNear3(frame.normals, 0, 0, 0, 1);
    expectNear3(frame.normals, 5, -kHalf, kHalf, 0);
    // The mirrored triangle is wound the other way, so it still faces out.
    ASSERT_EQ(mesh.triangles.size(), 6u);
    EXPECT_EQ(std::vector<uint32_t>(mesh.triangles.begin(), mesh.triangles.begin() + 3), (std::vector<uint32_t>{0, 1, 2}));
    EXPECT_EQ(std::vector<uint32_t>(mesh.triangles.begin() + 3, mesh.triangles.end()), (std::vector<uint32_t>{3, 5, 4}));
    EXPECT_TRUE(mesh.texCoords.empty());
}

TEST(GltfSource, MorphTargetWeightsAndTheirNames) {
    GltfWriter writer;
    const int node = triangleNode(writer);
    tinygltf::Model& model = writer.model();
    tinygltf::Primitive& primitive = model.meshes[0].primitives[0];
    // Target "up" lifts the third corner by 1 in z; "side" moves all by x + 2.
    primitive.targets.push_back({{"POSITION", writer.floats({0, 0, 0, 0, 0, 0, 0, 0, 1}, 3)}});
    primitive.targets.push_back({{"POSITION", writer.floats({2, 0, 0, 2, 0, 0, 2, 0, 0}, 3)}});
    model.meshes[0].extras = tinygltf::Value(tinygltf::Value::Object{
        {"targetNames", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(std::string("up")), tinygltf::Value(std::string("side"))})}});
    addChannel(writer, "shift", node, "weights", "LINEAR", {0, 1, 2}, {0, 0, 1, 0, 0, 1});

    SourceReadOptions options;
    options.rate = 4;
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, options, mesh, error)) << error;
    ASSERT_EQ(mesh.animations.size(), 1u);
    EXPECT_EQ(mesh.animations[0].name, "shift");
    const std::vector<SourceFrame>& frames = mesh.animations[0].frames;
    ASSERT_EQ(frames.size(), 9u);  // 0, 0.25 .. 2
    for (size_t i = 0; i < frames.size(); ++i) {
        const double t = i * 0.25;
        const double up = t <= 1 ? t : 2 - t, side = t <= 1 ? 0 : t - 1;
        expectNear3(frames[i].positions, 0, 2 * side, 0, 0);
        expectNear3(frames[i].positions, 2, 2 * side, 1, up);
        EXPECT_TRUE(frames[i].normals.empty());
    }
    // Frames showing one target whole take its name.
    EXPECT_EQ(frames[0].name, "");
    EXPECT_EQ(frames[1].name, "");
    EXPECT_EQ(frames[4].name, "up");
    EXPECT_EQ(frames[8].name, "side");
}

TEST(GltfSource, TwoBoneSkinnedBend) {
    GltfWriter writer;
    tinygltf::Model& model = writer.model();
    // Vertices up the y axis; joint 1 (at y = 1) turns 90 degrees about z.
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = writer.floats({0, 0, 0, 0.5f, 1, 0, 0, 2, 0, 1, 2, 0}, 3);
    // Vertex 1 split half and half (weights 2 and 2, normalised), its second
    // joint in the second set; vertices 2 and 3 on joint 1 alone.
    primitive.attributes["JOINTS_0"] = writer.integers({0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, 4,
                                                       TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE);
    primitive.attributes["WEIGHTS_0"] = writer.floats({1, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}, 4);
    primitive.attributes["JOINTS_1"] = writer.integers({0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4,
                                                       TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT);
    primitive.attributes["WEIGHTS_1"] = writer.floats({0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 4);
    primitive.indices = writer.indices({0, 1, 2, 1, 3, 2});
    tinygltf::Mesh skinned;
    skinned.primitives.push_back(primitive);
    model.meshes.push_back(skinned);
    tinygltf::Node meshNode, root, bone;
    meshNode.mesh = 0;
    meshNode.skin = 0;
    meshNode.translation = {100, 0, 0};  // a skinned mesh's own node does not move it
    root.children = {2};
    bone.translation = {0, 1, 0};
    model.nodes = {meshNode, root, bone};
    model.scenes[0].nodes = {0, 1};
    tinygltf::Skin skin;
    skin.joints = {1, 2};
    skin.inverseBindMatrices = writer.floats({1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1,  //
                                              1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -1, 0, 1},
                                             16);
    model.skins.push_back(skin);
    addChannel(writer, "bend", 2, "rotation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0, float(kHalf), float(kHalf)});

    SourceReadOptions options;
    options.rate = 2;
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, options, mesh, error)) << error;
    const std::vector<SourceFrame>& frames = mesh.animations.at(0).frames;
    ASSERT_EQ(frames.size(), 3u);
    // At rest, where the file put them.
    expectNear3(frames[0].positions, 1, 0.5, 1, 0);
    expectNear3(frames[0].positions, 2, 0, 2, 0);
    // Turned by 45 degrees (slerp halfway), then 90, about (0, 1, 0):
    // a point (x, 1 + y) on joint 1 goes to (x c - y s, 1 + x s + y c).
    for (size_t i = 1; i < 3; ++i) {
        const double angle = M_PI / 4 * double(i), c = std::cos(angle), s = std::sin(angle);
        expectNear3(frames[i].positions, 0, 0, 0, 0);
        expectNear3(frames[i].positions, 2, -s, 1 + c, 0);
        expectNear3(frames[i].positions, 3, c - s, 1 + s + c, 0);
        // Half on each joint: (0.5, 1) stays for joint 0 and turns for joint 1.
        expectNear3(frames[i].positions, 1, (0.5 + 0.5 * c) / 2, (1 + 1 + 0.5 * s) / 2, 0);
    }
}

TEST(GltfSource, NodeAnimationOfEveryInterpolation) {
    GltfWriter writer;
    const int moving = triangleNode(writer);
    const int still = triangleNode(writer);
    writer.model().nodes[size_t(still)].translation = {0, 0, 5};
    // LINEAR translation 0 -> (2, 0, 0) over 0..2; STEP rotation to 90
    // degrees about z at 1; CUBICSPLINE scale 1 -> 3 over 0..2, the first
    // key's out-tangent 1 a second, the rest 0.
    addChannel(writer, "move", moving, "translation", "LINEAR", {0, 2}, {0, 0, 0, 2, 0, 0});
    addChannel(writer, "move", moving, "rotation", "STEP", {0, 1}, {0, 0, 0, 1, 0, 0, float(kHalf), float(kHalf)});
    addChannel(writer, "move", moving, "scale", "CUBICSPLINE", {0, 2},
               {0, 0, 0, 1, 1, 1, 1, 1, 1,  // key 0: in-tangent, value, out-tangent
                0, 0, 0, 3, 3, 3, 0, 0, 0});
    SourceReadOptions options;
    options.rate = 2;
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, options, mesh, error)) << error;
    const std::vector<SourceFrame>& frames = mesh.animations.at(0).frames;
    ASSERT_EQ(frames.size(), 5u);
    for (size_t i = 0; i < frames.size(); ++i) {
        const double t = i * 0.5, s = t / 2;
        // Hermite: h00 p0 + h10 (interval) m0 + h01 p1 + h11 (interval) m1.
        const double scale = (2 * s * s * s - 3 * s * s + 1) * 1 + (s * s * s - 2 * s * s + s) * 2 * 1 +
                             (-2 * s * s * s + 3 * s * s) * 3;
        const bool turned = t >= 1;
        // Corner (1, 0, 0): scaled, maybe turned to (0, s, 0), moved by t in x.
        expectNear3(frames[i].positions, 1, turned ? t : t + scale, turned ? scale : 0, 0);
        expectNear3(frames[i].positions, 2, turned ? t - scale : t, turned ? 0 : scale, 0);
        // The node no channel moves keeps its rest pose.
        expectNear3(frames[i].positions, 4, 1, 0, 5);
    }
}

TEST(GltfSource, SamplesNearKeysTakeTheKeyAndLoopsDropTheirLastSample) {
    GltfWriter writer;
    const int node = triangleNode(writer);
    // Keys at 0, 0.4995 and 0.9995 (a 1 ms hair short of the samples), the
    // last back at the start.
    addChannel(writer, "loop", node, "translation", "LINEAR", {0, 0.4995f, 0.9995f}, {0, 0, 0, 4, 0, 0, 0, 0, 0});
    SourceReadOptions options;
    options.rate = 2;
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, options, mesh, error)) << error;
    const std::vector<SourceFrame>& frames = mesh.animations.at(0).frames;
    ASSERT_EQ(frames.size(), 2u);  // 0 and 0.5; the sample at 1 repeats 0
    expectNear3(frames[1].positions, 0, 4, 0, 0, 0);  // exactly the key, not past it
}

TEST(GltfSource, TwoTexturesTheirCoordinateSetsAndTransform) {
    GltfWriter writer;
    const std::vector<uint8_t> red = {255, 0, 0, 255, 255, 0, 0, 255}, blue = {0, 0, 255, 255};
    const int first = writer.material(encodePng(2, 1, 4, red.data()), 0);
    const int second = writer.material(encodePng(1, 1, 4, blue.data()), 1);
    tinygltf::Model& model = writer.model();
    // The second picture through TEXCOORD_1, scaled by a half, moved by
    // (0.5, 0) and turned a quarter.
    model.materials[size_t(second)].pbrMetallicRoughness.baseColorTexture.extensions["KHR_texture_transform"] =
        tinygltf::Value(tinygltf::Value::Object{
            {"scale", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(0.5), tinygltf::Value(0.5)})},
            {"offset", tinygltf::Value(tinygltf::Value::Array{tinygltf::Value(0.5), tinygltf::Value(0.0)})},
            {"rotation", tinygltf::Value(M_PI / 2)}});
    model.extensionsUsed.push_back("KHR_texture_transform");
    triangleNode(writer);
    triangleNode(writer);
    for (int m = 0; m < 2; ++m) {
        tinygltf::Primitive& primitive = model.meshes[size_t(m)].primitives[0];
        primitive.material = m == 0 ? first : second;
        primitive.attributes["TEXCOORD_0"] = writer.floats({0, 0, 1, 0, 0, 1}, 2);
        primitive.attributes["TEXCOORD_1"] = writer.floats({0, 0, 1, 0, 0.5f, 1}, 2);
    }
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, {}, mesh, error)) << error;
    ASSERT_EQ(mesh.pictures.size(), 2u);
    EXPECT_EQ(mesh.pictures[0].width, 2);
    EXPECT_EQ(mesh.pictures[0].rgba, red);
    EXPECT_EQ(mesh.pictures[1].rgba, blue);
    EXPECT_EQ(mesh.trianglePicture, (std::vector<int32_t>{0, 1}));
    ASSERT_EQ(mesh.texCoords.size(), 12u);
    EXPECT_EQ(std::vector<float>(mesh.texCoords.begin(), mesh.texCoords.begin() + 6), (std::vector<float>{0, 0, 1, 0, 0, 1}));
    // (u, v) -> (0.5 u, 0.5 v) -> turned (-0.5 v, 0.5 u) -> + (0.5, 0).
    const float expected[6] = {0.5f, 0, 0.5f, 0.5f, 0, 0.25f};
    for (int i = 0; i < 6; ++i) EXPECT_NEAR(mesh.texCoords[size_t(6 + i)], expected[i], 1e-6) << i;
    EXPECT_NE(std::find(mesh.dropped.begin(), mesh.dropped.end(), "other texture coordinate sets (TEXCOORD_0)"),
              mesh.dropped.end());
}

TEST(GltfSource, QuantizedSparseStripsAndFans) {
    GltfWriter writer;
    tinygltf::Model& model = writer.model();
    model.extensionsUsed.push_back("KHR_mesh_quantization");
    model.extensionsRequired.push_back("KHR_mesh_quantization");
    tinygltf::Primitive strip, fan;
    // Integer steps of a quarter unit (the node scales them), a strip of two
    // triangles; normals as normalised bytes; coordinates as normalised
    // unsigned shorts.
    strip.mode = TINYGLTF_MODE_TRIANGLE_STRIP;
    strip.attributes["POSITION"] = writer.integers({0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 4, 0}, 3, TINYGLTF_COMPONENT_TYPE_SHORT);
    strip.attributes["NORMAL"] = writer.integers({0, 0, 127, 0, 0, 127, 0, 0, -127, 0, -128, 0}, 3,
                                                  TINYGLTF_COMPONENT_TYPE_BYTE, true);
    strip.attributes["TEXCOORD_0"] = writer.integers({0, 0, 65535, 0, 0, 65535, 65535, 65535}, 2,
                                                      TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT, true);
    fan.mode = TINYGLTF_MODE_TRIANGLE_FAN;
    fan.attributes["POSITION"] = writer.floats({0, 0, 1, 1, 0, 1, 1, 1, 1, 0, 1, 1}, 3);
    // A sparse part moves vertex 2 to (2, 2, 1).
    const int indexView = writer.view({2, 0, 0, 0}), valueView = writer.view({0, 0, 0, 64, 0, 0, 0, 64, 0, 0, 128, 63});
    tinygltf::Accessor& sparse = model.accessors[size_t(fan.attributes["POSITION"])];
    sparse.sparse.isSparse = true;
    sparse.sparse.count = 1;
    sparse.sparse.indices.bufferView = indexView;
    sparse.sparse.indices.byteOffset = 0;
    sparse.sparse.indices.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
    sparse.sparse.values.bufferView = valueView;
    sparse.sparse.values.byteOffset = 0;
    tinygltf::Mesh mesh0;
    mesh0.primitives = {strip, fan};
    model.meshes.push_back(mesh0);
    tinygltf::Node node;
    node.mesh = 0;
    node.scale = {0.25, 0.25, 0.25};
    model.nodes.push_back(node);
    model.scenes[0].nodes = {0};

    SourceMesh mesh;
    std::string error;
    // The fan has no normals, so the strip's are left out too.
    ASSERT_TRUE(readGlb(writer, {}, mesh, error)) << error;
    ASSERT_EQ(mesh.vertexCount, 8u);
    const SourceFrame& frame = mesh.animations.at(0).frames.at(0);
    expectNear3(frame.positions, 1, 1, 0, 0);
    expectNear3(frame.positions, 3, 1, 1, 0);
    expectNear3(frame.positions, 6, 0.5, 0.5, 0.25);
    EXPECT_TRUE(frame.normals.empty());
    EXPECT_EQ(mesh.triangles, (std::vector<uint32_t>{0, 1, 2, 1, 3, 2, 4, 5, 6, 4, 6, 7}));
    EXPECT_FLOAT_EQ(mesh.texCoords[6], 1.0f);
    EXPECT_FLOAT_EQ(mesh.texCoords[7], 1.0f);
    // Without the fan, the strip's normals stay: bytes of 127 are 1, -128 is -1.
    writer.model().meshes[0].primitives.pop_back();
    ASSERT_TRUE(readGlb(writer, {}, mesh, error)) << error;
    expectNear3(mesh.animations[0].frames[0].normals, 2, 0, 0, -1);
    expectNear3(mesh.animations[0].frames[0].normals, 3, 0, -1, 0);
}

TEST(GltfSource, BuffersAndPicturesComeOnlyFromBesideTheSource) {
    GltfWriter writer;
    triangleNode(writer);
    const std::vector<uint8_t> pixel = {1, 2, 3, 255};
    tinygltf::Image image;
    image.uri = "skins/my%20skin.png";  // percent-encoded, as URIs are
    writer.model().images.push_back(image);
    writer.model().textures.push_back({});
    writer.model().textures[0].source = 0;
    writer.model().materials.emplace_back();
    writer.model().materials[0].pbrMetallicRoughness.baseColorTexture.index = 0;
    writer.model().meshes[0].primitives[0].material = 0;
    const std::vector<uint8_t> json = writer.gltf("mesh data.bin");
    FileMap files = {{"mesh data.bin", writer.buffer()}, {"skins/my skin.png", encodePng(1, 1, 4, pixel.data())}};
    std::vector<std::string> asked;
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGltfSource(json.data(), json.size(), sourceFiles(files, asked), {}, mesh, error)) << error;
    EXPECT_EQ(mesh.pictures.at(0).rgba, pixel);
    EXPECT_EQ(mesh.pictures[0].name, "skins/my skin.png");
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(asked, (std::vector<std::string>{"mesh data.bin", "skins/my skin.png"}));

    // A missing picture names the file and the caller's reason.
    files.erase("skins/my skin.png");
    EXPECT_FALSE(readGltfSource(json.data(), json.size(), sourceFiles(files, asked), {}, mesh, error));
    EXPECT_EQ(error, "can't read 'skins/my skin.png': no such file");

    // Names that leave the folder, or are not files, are never asked for.
    for (const char* uri : {"../mesh.bin", "a/../../mesh.bin", "%2E%2E/mesh.bin", "/etc/mesh.bin", "C:/mesh.bin",
                            "http://example.invalid/mesh.bin", "file:///mesh.bin", "data:image/webp;base64,AAAA",
                            "..\\\\mesh.bin"}) {
        std::string text(json.begin(), json.end());
        const size_t at = text.find("mesh data.bin");
        ASSERT_NE(at, std::string::npos);
        text.replace(at, std::strlen("mesh data.bin"), uri);
        asked.clear();
        EXPECT_FALSE(readGltfSource(reinterpret_cast<const uint8_t*>(text.data()), text.size(), sourceFiles(files, asked),
                                    {}, mesh, error))
            << uri;
        EXPECT_TRUE(asked.empty()) << uri;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_FALSE(error.empty()) << uri;
    }
}

TEST(GltfSource, AnimationsArePickedByName) {
    GltfWriter writer;
    const int node = triangleNode(writer);
    addChannel(writer, "walk", node, "translation", "LINEAR", {0, 1}, {0, 0, 0, 1, 0, 0});
    addChannel(writer, "", node, "translation", "STEP", {0, 1}, {0, 0, 0, 0, 1, 0});
    addChannel(writer, "run", node, "translation", "LINEAR", {0, 0.5f}, {0, 0, 0, 0, 0, 1});
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readGlb(writer, {}, mesh, error)) << error;
    ASSERT_EQ(mesh.animations.size(), 3u);
    EXPECT_EQ(mesh.animations[0].name, "walk");
    EXPECT_EQ(mesh.animations[0].frames.size(), 11u);
    EXPECT_EQ(mesh.animations[1].name, "animA");  // unnamed: a name of letters, apart from frame numbers
    EXPECT_EQ(mesh.animations[2].frames.size(), 6u);

    SourceReadOptions options;
    options.animations = {"run", "walk"};
    ASSERT_TRUE(readGlb(writer, options, mesh, error)) << error;
    ASSERT_EQ(mesh.animations.size(), 2u);
    EXPECT_EQ(mesh.animations[0].name, "walk");  // in the file's order
    EXPECT_EQ(mesh.animations[1].name, "run");
    options.animations = {"jump"};
    EXPECT_FALSE(readGlb(writer, options, mesh, error));
    EXPECT_EQ(error, "there is no animation 'jump'; the file has 'walk', '', 'run'");
}

}  // namespace

namespace {

// Every corpus model through the export and back: the same animations,
// frame names and counts, triangles, texture coordinates and positions.
void expectRoundTrip(const CorpusSubject& subject, const std::string& fileName, bool quantize) {
    const Model& model = *subject.model;
    ExportOptions options = subject.options();
    options.quantize = quantize;
    const ExportResult result = exportGltf(&model, options, fileName);
    ASSERT_TRUE(result.ok) << result.error;
    FileMap files;
    for (size_t i = 1; i < result.files.size(); ++i) files[result.files[i].name] = result.files[i].bytes;
    std::vector<std::string> asked;
    SourceMesh mesh;
    std::string error;
    const std::vector<uint8_t>& bytes = result.files[0].bytes;
    ASSERT_TRUE(readGltfSource(bytes.data(), bytes.size(), sourceFiles(files, asked), {}, mesh, error)) << error;

    // Positions as the export turns them; quantised, they are within half
    // of the export's step (the largest half extent over 16000).
    float low[3] = {HUGE_VALF, HUGE_VALF, HUGE_VALF}, high[3] = {-HUGE_VALF, -HUGE_VALF, -HUGE_VALF};
    for (int f = 0; f < model.numFrames; ++f)
        for (int v = 0; v < model.numVertices; ++v) {
            float p[3];
            exportPosition(model.frames[f].vertices[v], 1, p);
            for (int a = 0; a < 3; ++a) low[a] = std::min(low[a], p[a]), high[a] = std::max(high[a], p[a]);
        }
    double halfExtent = 0;
    for (int a = 0; a < 3; ++a) halfExtent = std::max(halfExtent, (double(high[a]) - low[a]) / 2);
    const double tolerance = (quantize ? halfExtent / 16000 / 2 : 0) + halfExtent * 4e-7;

    const std::vector<ModelAnimation> animations = modelAnimations(&model);
    ASSERT_EQ(mesh.animations.size(), animations.size());
    std::vector<std::pair<int, int>> corners;  // model vertex, texture coordinate of each triangle corner
    for (int t = 0; t < model.numTriangles; ++t)
        for (int k : {0, 2, 1})
            corners.push_back({model.triangles[t].vertexIndex[k], model.triangles[t].texCoordIndex[k]});
    ASSERT_EQ(mesh.triangles.size(), corners.size());
    double worstTexCoord = 0, worstPosition = 0;
    for (size_t c = 0; c < corners.size(); ++c) {
        const ModelTexCoord& st = model.texCoords[corners[c].second];
        const uint32_t vertex = mesh.triangles[c];
        worstTexCoord = std::max(worstTexCoord, std::fabs(double(mesh.texCoords[vertex * 2]) * model.skinWidth - st.s));
        worstTexCoord = std::max(worstTexCoord, std::fabs(double(mesh.texCoords[vertex * 2 + 1]) * model.skinHeight - st.t));
    }
    for (size_t a = 0; a < animations.size(); ++a) {
        const SourceAnimation& animation = mesh.animations[a];
        EXPECT_EQ(animation.name, animations[a].name);
        ASSERT_EQ(int(animation.frames.size()), animations[a].last - animations[a].first + 1) << animations[a].name;
        for (size_t i = 0; i < animation.frames.size(); ++i) {
            const ModelFrame& frame = model.frames[animations[a].first + int(i)];
            EXPECT_EQ(animation.frames[i].name, std::string(frame.name));
            for (size_t c = 0; c < corners.size(); ++c) {
                float expected[3];
                exportPosition(frame.vertices[corners[c].first], 1, expected);
                for (int axis = 0; axis < 3; ++axis)
                    worstPosition = std::max(worstPosition,
                                             std::fabs(double(animation.frames[i].positions[mesh.triangles[c] * 3 + size_t(axis)]) - expected[axis]));
            }
        }
    }
    EXPECT_LE(worstTexCoord, 1e-3) << fileName;
    EXPECT_LE(worstPosition, tolerance) << fileName;
    ASSERT_EQ(mesh.pictures.size(), 1u);
    EXPECT_EQ(mesh.pictures[0].width, subject.skinWidth);
    for (size_t p = 0; p < subject.skin.size() / 3; ++p)
        ASSERT_EQ(0, std::memcmp(&mesh.pictures[0].rgba[p * 4], &subject.skin[p * 3], 3)) << "pixel " << p;
}

TEST(GltfSourceRoundTrip, CorpusExportsReadBackAsTheModels) {
    for (const char* name : kCorpusModels) {
        const CorpusSubject subject = corpusSubject(name);
        ASSERT_TRUE(subject.model) << name;
        expectRoundTrip(subject, "model.glb", false);
        expectRoundTrip(subject, "model.gltf", false);
        expectRoundTrip(subject, "model.glb", true);
    }
}

// A file that must be refused in one line.
void expectRefused(const std::vector<uint8_t>& bytes, const std::string& why, const SourceReadOptions& options = {},
                   const FileMap& files = {}) {
    std::vector<std::string> asked;
    SourceMesh mesh;
    std::string error;
    EXPECT_FALSE(readGltfSource(bytes.data(), bytes.size(), sourceFiles(files, asked), options, mesh, error)) << why;
    EXPECT_FALSE(error.empty()) << why;
    EXPECT_EQ(error.find('\n'), std::string::npos) << why << ": " << error;
    EXPECT_EQ(mesh.vertexCount, 0u) << why;
}

std::vector<uint8_t> text(const std::string& json) { return std::vector<uint8_t>(json.begin(), json.end()); }

// The writer's triangle with one change.
template <typename Change>
std::vector<uint8_t> changedTriangle(Change change) {
    GltfWriter writer;
    triangleNode(writer);
    change(writer, writer.model());
    return writer.glb();
}

TEST(GltfSourceHostile, BrokenFilesAreRefusedInOneLine) {
    using W = GltfWriter;
    using M = tinygltf::Model;
    static const float nan = std::nanf(""), inf = HUGE_VALF;
    expectRefused({}, "empty");
    expectRefused(text("glTF"), "a cut header");
    expectRefused(text("{\"asset\":{\"version\":\"2.0\"},\"nodes\":5}"), "nodes not an array");
    expectRefused(text("{\"asset\":{\"version\":\"2.0\"},\"nodes\":[{\"mesh\":\"zero\"}],\"meshes\":[]}"), "a mesh index that is text");
    expectRefused(text("not JSON at all"), "not JSON");
    expectRefused(text(std::string("{\"asset\":{\"version\":\"2.0\"},\"extras\":") + std::string(100000, '[')), "deep nesting");
    expectRefused(text("{\"asset\":{\"version\":\"2.0\"},\"bufferViews\":[{\"buffer\":0,\"byteLength\":99999999999999999999}]}"),
                  "a number past any offset");
    expectRefused(changedTriangle([](W& w, M& m) {
                      m.meshes[0].primitives[0].indices = w.indices({0, 1, 3});
                  }),
                  "an index out of range");
    expectRefused(changedTriangle([](W&, M& m) { m.accessors[0].count = 4; }), "an accessor past its view");
    expectRefused(changedTriangle([](W&, M& m) { m.accessors[0].count = size_t(1) << 40; }), "a huge count");
    expectRefused(changedTriangle([](W&, M& m) {
                      m.accessors[0].bufferView = -1;
                      m.accessors[0].count = size_t(1) << 40;
                  }),
                  "a huge count without bytes");
    expectRefused(changedTriangle([](W&, M& m) { m.bufferViews[0].byteLength = 4096; }), "a view past its buffer");
    expectRefused(changedTriangle([](W&, M& m) { m.bufferViews[0].byteStride = 4; }), "a stride less than an element");
    expectRefused(changedTriangle([](W& w, M& m) {
                      m.meshes[0].primitives[0].attributes["POSITION"] = w.floats({0, 0, 0, 1, nan, 0, 0, 1, 0}, 3);
                  }),
                  "NaN");
    expectRefused(changedTriangle([](W& w, M& m) {
                      m.meshes[0].primitives[0].attributes["POSITION"] = w.floats({0, 0, 0, 1, 0, 0, 0, inf, 0}, 3);
                  }),
                  "infinite");
    expectRefused(changedTriangle([](W&, M& m) {
                      m.nodes[0].children = {1};
                      m.nodes.emplace_back();
                      m.nodes[1].children = {0};
                  }),
                  "a cycle");
    expectRefused(changedTriangle([](W&, M& m) {
                      m.nodes.resize(3);
                      m.nodes[1].children = {0};
                      m.nodes[2].children = {0};
                      m.scenes[0].nodes = {1, 2};
                  }),
                  "a node reached twice");
    expectRefused(changedTriangle([](W&, M& m) { m.scenes[0].nodes = {0, 0}; }), "a node the scene names twice");
    expectRefused(changedTriangle([](W&, M& m) { m.nodes[0].children = {7}; }), "a child the file does not have");
    expectRefused(changedTriangle([](W&, M& m) { m.nodes[0].mesh = 3; }), "a mesh the file does not have");
    expectRefused(changedTriangle([](W&, M& m) { m.meshes[0].primitives[0].mode = 9; }), "a mode glTF does not have");
    expectRefused(changedTriangle([](W&, M& m) { m.meshes[0].primitives[0].mode = TINYGLTF_MODE_LINE; }), "lines only");
    for (const char* extension : {"KHR_draco_mesh_compression", "EXT_meshopt_compression", "EXT_unknown_thing"})
        expectRefused(changedTriangle([&](W&, M& m) { m.extensionsRequired.push_back(extension); }), extension);
    expectRefused(changedTriangle([](W& w, M& m) {
                      tinygltf::Accessor& a = m.accessors[0];
                      a.sparse.isSparse = true;
                      a.sparse.count = 1;
                      a.sparse.indices.bufferView = w.view({9, 0, 0, 0});
                      a.sparse.indices.byteOffset = 0;
                      a.sparse.indices.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT;
                      a.sparse.values.bufferView = w.view(std::vector<uint8_t>(12, 0));
                      a.sparse.values.byteOffset = 0;
                  }),
                  "a sparse index past the elements");
    expectRefused(changedTriangle([](W& w, M& m) {
                      addChannel(w, "a", 0, "translation", "LINEAR", {0, 1}, {0, 0, 0, 1, 1, 1});
                      m.accessors.back().count = 1;
                  }),
                  "fewer values than keys");
    expectRefused(changedTriangle([](W& w, M&) { addChannel(w, "a", 0, "translation", "LINEAR", {1, 0}, {0, 0, 0, 1, 1, 1}); }),
                  "key times going backwards");
    expectRefused(changedTriangle([](W& w, M&) { addChannel(w, "a", 9, "translation", "LINEAR", {0}, {0, 0, 0}); }),
                  "a channel on a node the file does not have");
    expectRefused(changedTriangle([](W& w, M& m) {
                      m.meshes[0].primitives[0].attributes["JOINTS_0"] = w.integers(std::vector<int64_t>(12, 3), 4, TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE);
                      m.meshes[0].primitives[0].attributes["WEIGHTS_0"] = w.floats(std::vector<float>(12, 1), 4);
                      m.skins.emplace_back();
                      m.skins[0].joints = {0};
                      m.nodes[0].skin = 0;
                  }),
                  "a joint past the skin's");
    expectRefused(changedTriangle([](W& w, M& m) {
                      tinygltf::Image image;
                      image.bufferView = w.view({1, 2, 3, 4, 5});
                      image.mimeType = "image/png";
                      m.images.push_back(image);
                      m.textures.emplace_back();
                      m.textures[0].source = 0;
                      m.materials.emplace_back();
                      m.materials[0].pbrMetallicRoughness.baseColorTexture.index = 0;
                      m.meshes[0].primitives[0].material = 0;
                  }),
                  "a picture that does not decode");

    // Missing buffers, a rate that is no rate, more frames than a model holds.
    GltfWriter writer;
    const int node = triangleNode(writer);
    expectRefused(writer.gltf("missing.bin"), "a missing buffer");
    addChannel(writer, "long", node, "translation", "LINEAR", {0, 100000}, {0, 0, 0, 1, 0, 0});
    for (double rate : {0.0, -1.0, std::nan(""), 1e6}) {
        SourceReadOptions options;
        options.rate = rate;
        expectRefused(writer.glb(), "rate " + std::to_string(rate), options);
    }
    SourceReadOptions fast;
    fast.rate = 1000;
    expectRefused(writer.glb(), "10^8 frames", fast);
    // Vertices times frames past what a model holds: 30000 vertices in 201 frames.
    GltfWriter many;
    std::vector<float> positions;
    std::vector<uint32_t> none;
    for (int i = 0; i < 30000; ++i) positions.insert(positions.end(), {float(i), float(i % 3), 0});
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = many.floats(positions, 3);
    many.model().meshes.emplace_back();
    many.model().meshes[0].primitives.push_back(primitive);
    many.model().nodes.emplace_back();
    many.model().nodes[0].mesh = 0;
    many.model().scenes[0].nodes = {0};
    addChannel(many, "a", 0, "translation", "LINEAR", {0, 2}, {0, 0, 0, 1, 0, 0});
    SourceReadOptions hundred;
    hundred.rate = 100;
    expectRefused(many.glb(), "vertices times frames", hundred);
}

}  // namespace
