// The glTF and OBJ exports, read back: glTF through tinygltf's own loader,
// OBJ by a small reader here. Every key frame is checked against the
// model's decoded positions, every animation against the model's
// animations, the skin against its pixels.
#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <sstream>

#include "model/animations.h"
#include "model/draw.h"
#include "model/export.h"
#include "tests/model/export_files.h"
#include "tests/writers/md2_shapes.h"

namespace {

struct GltfKind {
    const char* extension;
    bool quantize;
};
const GltfKind kKinds[] = {{"glb", false}, {"gltf", false}, {"glb", true}};

std::string kindName(const GltfKind& kind) { return std::string(kind.quantize ? "quantized_" : "") + kind.extension; }

// The triangles of the list whose indices are all in range, in order.
std::vector<ModelTriangle> usableTriangles(const Model& model) {
    std::vector<ModelTriangle> triangles;
    for (int i = 0; i < model.numTriangles; ++i) {
        const ModelTriangle& t = model.triangles[i];
        bool ok = true;
        for (int k = 0; k < 3; ++k)
            ok = ok && t.vertexIndex[k] >= 0 && t.vertexIndex[k] < model.numVertices && t.texCoordIndex[k] >= 0 &&
                 t.texCoordIndex[k] < model.numTexCoords;
        if (ok) triangles.push_back(t);
    }
    return triangles;
}

double frameHeight(const Model& model) {
    ModelBounds bounds;
    modelBounds(&model, &bounds);
    return bounds.maxY - bounds.minY;
}

std::string frameName(const Model& model, int frame) {
    return std::string(model.frames[frame].name, strnlen(model.frames[frame].name, MODEL_FRAME_NAME_SIZE));
}

// A loaded export's one mesh, its shapes made whole: base plus each target,
// through the node's transform.
struct Shapes {
    std::vector<std::vector<double>> positions;  // per target: x y z per vertex
    std::vector<std::vector<double>> normals;
    std::vector<double> texCoords;
    std::vector<uint32_t> indices;
    double translation[3] = {0, 0, 0};
    double scale = 1;
};

Shapes shapesOf(const tinygltf::Model& gltf) {
    Shapes shapes;
    const tinygltf::Primitive& primitive = gltf.meshes.at(0).primitives.at(0);
    const tinygltf::Node& node = gltf.nodes.at(0);
    if (!node.translation.empty())
        for (int a = 0; a < 3; ++a) shapes.translation[a] = node.translation[size_t(a)];
    if (!node.scale.empty()) {
        EXPECT_EQ(node.scale[0], node.scale[1]);
        EXPECT_EQ(node.scale[0], node.scale[2]);
        shapes.scale = node.scale[0];
    }
    const std::vector<double> basePositions = accessorValues(gltf, primitive.attributes.at("POSITION"));
    const std::vector<double> baseNormals = accessorValues(gltf, primitive.attributes.at("NORMAL"));
    shapes.texCoords = accessorValues(gltf, primitive.attributes.at("TEXCOORD_0"));
    for (double index : accessorValues(gltf, primitive.indices)) shapes.indices.push_back(uint32_t(index));
    for (const auto& target : primitive.targets) {
        std::vector<double> positions = accessorValues(gltf, target.at("POSITION"));
        std::vector<double> normals = accessorValues(gltf, target.at("NORMAL"));
        EXPECT_EQ(positions.size(), basePositions.size());
        EXPECT_EQ(normals.size(), baseNormals.size());
        for (size_t i = 0; i < positions.size(); ++i) {
            positions[i] = shapes.translation[i % 3] + shapes.scale * (basePositions[i] + positions[i]);
            normals[i] += baseNormals[i];
        }
        shapes.positions.push_back(std::move(positions));
        shapes.normals.push_back(std::move(normals));
    }
    return shapes;
}

// Checks that target t of the export is key frame `frame` of the model:
// every triangle corner at the frame's position (turned as the viewer
// turns it) and normal, with the viewer's texture coordinates, and (for
// models whose normals are real) the triangles facing out counter-clockwise.
void expectFrame(const Model& model, const Shapes& shapes, size_t target, int frame, double positionTolerance,
                 double normalTolerance, bool realNormals = true) {
    const std::vector<ModelTriangle> triangles = usableTriangles(model);
    ASSERT_EQ(shapes.indices.size(), triangles.size() * 3);
    const ModelVertex* vertices = model.frames[frame].vertices;
    double worstPosition = 0, worstNormal = 0, worstTexCoord = 0;
    int facingOut = 0;
    for (size_t j = 0; j < triangles.size(); ++j) {
        double corner[3][3];
        double normalSum[3] = {0, 0, 0};
        const int order[3] = {0, 2, 1};  // the viewer's outside faces are clockwise
        for (int c = 0; c < 3; ++c) {
            const int k = order[c];
            const uint32_t index = shapes.indices[j * 3 + size_t(c)];
            const ModelVertex& v = vertices[triangles[j].vertexIndex[k]];
            double expected[3], expectedNormal[3];
            turnedAsViewed(v.x, v.y, v.z, expected);
            turnedAsViewed(v.nx, v.nz, -v.ny, expectedNormal);  // normals drawn as (nx, nz, -ny)
            for (int a = 0; a < 3; ++a) {
                corner[c][a] = shapes.positions[target].at(index * 3 + size_t(a));
                worstPosition = std::max(worstPosition, std::fabs(corner[c][a] - expected[a]));
                const double normal = shapes.normals[target].at(index * 3 + size_t(a));
                worstNormal = std::max(worstNormal, std::fabs(normal - expectedNormal[a]));
                normalSum[a] += normal;
            }
            const ModelTexCoord& st = model.texCoords[triangles[j].texCoordIndex[k]];
            const double divisorS = model.skinWidth ? model.skinWidth : 1, divisorT = model.skinHeight ? model.skinHeight : 1;
            worstTexCoord = std::max(worstTexCoord, std::fabs(shapes.texCoords.at(index * 2) - st.s / divisorS));
            worstTexCoord = std::max(worstTexCoord, std::fabs(shapes.texCoords.at(index * 2 + 1) - st.t / divisorT));
        }
        double e1[3], e2[3];
        for (int a = 0; a < 3; ++a) e1[a] = corner[1][a] - corner[0][a], e2[a] = corner[2][a] - corner[0][a];
        const double face[3] = {e1[1] * e2[2] - e1[2] * e2[1], e1[2] * e2[0] - e1[0] * e2[2],
                                e1[0] * e2[1] - e1[1] * e2[0]};
        if (face[0] * normalSum[0] + face[1] * normalSum[1] + face[2] * normalSum[2] > 0) ++facingOut;
    }
    EXPECT_LE(worstPosition, positionTolerance) << "frame " << frame;
    EXPECT_LE(worstNormal, normalTolerance) << "frame " << frame;
    EXPECT_LE(worstTexCoord, 1e-6) << "frame " << frame;
    // Counter-clockwise seen from outside: the face normal the winding
    // gives agrees with the stored normals (a few odd triangles aside).
    if (realNormals) {
        EXPECT_GE(facingOut, int(triangles.size()) * 9 / 10) << "frame " << frame;
    }
}

// Names as the export writes them: the test's names that are not UTF-8
// hold single Latin-1 bytes, each of which becomes U+FFFD.
std::string asUtf8(const std::string& name) {
    std::string text;
    for (char c : name) text += (c & 0x80) ? std::string("\xEF\xBF\xBD") : std::string(1, c);
    return text;
}

// Checks the animations against the model's own, cut to first..last.
void expectAnimations(const Model& model, const tinygltf::Model& gltf, int first, int last, double fps,
                      const std::string& interpolation) {
    const size_t targets = size_t(last - first + 1);
    size_t next = 0;
    for (const ModelAnimation& animation : modelAnimations(&model)) {
        const int from = std::max(animation.first, first), to = std::min(animation.last, last);
        if (from > to) continue;
        ASSERT_LT(next, gltf.animations.size()) << animation.name;
        const tinygltf::Animation& exported = gltf.animations[next++];
        EXPECT_EQ(exported.name, asUtf8(animation.name));
        ASSERT_EQ(exported.channels.size(), 1u);
        EXPECT_EQ(exported.channels[0].target_node, 0);
        EXPECT_EQ(exported.channels[0].target_path, "weights");
        const tinygltf::AnimationSampler& sampler = exported.samplers.at(size_t(exported.channels[0].sampler));
        EXPECT_EQ(sampler.interpolation, interpolation);
        const std::vector<double> times = accessorValues(gltf, sampler.input);
        const std::vector<double> weights = accessorValues(gltf, sampler.output);
        ASSERT_EQ(times.size(), size_t(to - from + 1)) << animation.name;
        ASSERT_EQ(weights.size(), times.size() * targets) << animation.name;
        for (size_t k = 0; k < times.size(); ++k) {
            EXPECT_NEAR(times[k], k / fps, 1e-6) << animation.name;
            for (size_t t = 0; t < targets; ++t)
                EXPECT_EQ(weights[k * targets + t], t == size_t(from - first) + k ? 1.0 : 0.0)
                    << animation.name << " key " << k << " target " << t;
        }
    }
    EXPECT_EQ(next, gltf.animations.size());
}

class CorpusGltf : public ::testing::TestWithParam<std::tuple<const char*, GltfKind>> {};

TEST_P(CorpusGltf, EveryKeyFrameAndAnimationReadsBack) {
    const CorpusSubject subject = corpusSubject(std::get<0>(GetParam()));
    const GltfKind kind = std::get<1>(GetParam());
    ASSERT_TRUE(subject.model);
    const Model& model = *subject.model;
    ExportOptions options = subject.options();
    options.quantize = kind.quantize;
    testdata::ScratchDir dir;
    tinygltf::Model gltf;
    std::string error;
    ASSERT_TRUE(exportAndLoad(&model, options, dir, subject.name + "." + kind.extension, gltf, error)) << error;

    EXPECT_EQ(gltf.asset.version, "2.0");
    const bool quantizationRequired = std::count(gltf.extensionsRequired.begin(), gltf.extensionsRequired.end(),
                                                 "KHR_mesh_quantization") == 1;
    EXPECT_EQ(quantizationRequired, kind.quantize);
    ASSERT_EQ(gltf.meshes.size(), 1u);
    ASSERT_EQ(gltf.meshes[0].primitives.size(), 1u);
    ASSERT_EQ(gltf.meshes[0].primitives[0].targets.size(), size_t(model.numFrames));
    const tinygltf::Value& names = gltf.meshes[0].extras.Get("targetNames");
    ASSERT_EQ(names.ArrayLen(), size_t(model.numFrames));
    for (int f = 0; f < model.numFrames; ++f) EXPECT_EQ(names.Get(f).Get<std::string>(), asUtf8(frameName(model, f)));

    // A glTF vertex for each distinct pair of vertex and texture coordinate.
    std::set<std::pair<int, int>> pairs;
    for (const ModelTriangle& t : usableTriangles(model))
        for (int k = 0; k < 3; ++k) pairs.insert({t.vertexIndex[k], t.texCoordIndex[k]});
    const Shapes shapes = shapesOf(gltf);
    EXPECT_EQ(shapes.texCoords.size(), pairs.size() * 2);

    const double height = frameHeight(model);
    const double positionTolerance = kind.quantize ? shapes.scale : 1e-4 * height;
    const double normalTolerance = kind.quantize ? 0.5 / 127 + 1e-6 : 1e-6;
    for (int f = 0; f < model.numFrames; ++f) expectFrame(model, shapes, size_t(f), f, positionTolerance, normalTolerance);
    if (kind.quantize) {
        EXPECT_LT(shapes.scale, 1e-3 * height);  // finer than the file's own 1/255
    }

    expectAnimations(model, gltf, 0, model.numFrames - 1, 10, "LINEAR");

    // The skin, as it was, on a material that is neither metal nor shiny.
    ASSERT_EQ(gltf.materials.size(), 1u);
    const tinygltf::PbrMetallicRoughness& pbr = gltf.materials[0].pbrMetallicRoughness;
    EXPECT_EQ(pbr.metallicFactor, 0);
    EXPECT_EQ(pbr.roughnessFactor, 1);
    ASSERT_EQ(pbr.baseColorTexture.index, 0);
    const tinygltf::Image& image = gltf.images.at(size_t(gltf.textures.at(0).source));
    EXPECT_EQ(image.width, subject.skinWidth);
    EXPECT_EQ(image.height, subject.skinHeight);
    EXPECT_TRUE(image.image == subject.skin);
}

INSTANTIATE_TEST_SUITE_P(Corpus, CorpusGltf, ::testing::Combine(::testing::ValuesIn(kCorpusModels), ::testing::ValuesIn(kKinds)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param)) + "_" + kindName(std::get<1>(info.param));
                         });

TEST(GltfExport, PartOfTheModelHoldsOnlyItsFramesAndAnimationsCutToThem) {
    const CorpusSubject subject = corpusSubject("faerie");
    ASSERT_TRUE(subject.model);
    const Model& model = *subject.model;
    // From inside the first animation into the next ones.
    ExportOptions options = subject.options();
    options.firstFrame = 30;
    options.lastFrame = 60;
    options.fps = 15;
    options.interpolate = false;
    testdata::ScratchDir dir;
    tinygltf::Model gltf;
    std::string error;
    ASSERT_TRUE(exportAndLoad(&model, options, dir, "part.glb", gltf, error)) << error;
    ASSERT_EQ(gltf.meshes.at(0).primitives.at(0).targets.size(), 31u);
    const tinygltf::Value& names = gltf.meshes[0].extras.Get("targetNames");
    EXPECT_EQ(names.Get(0).Get<std::string>(), frameName(model, 30));
    const Shapes shapes = shapesOf(gltf);
    for (int f = 30; f <= 60; ++f) expectFrame(model, shapes, size_t(f - 30), f, 1e-4 * frameHeight(model), 1e-6);
    EXPECT_GE(gltf.animations.size(), 2u);
    expectAnimations(model, gltf, 30, 60, 15, "STEP");
}

TEST(GltfExport, WithoutASkinTheMaterialTakesTheModelColour) {
    const CorpusSubject subject = corpusSubject("sydney");
    ExportOptions options;
    options.color[0] = 0.25f, options.color[1] = 0.5f, options.color[2] = 1;
    options.scale = 0.0254;  // inches to metres
    testdata::ScratchDir dir;
    const ExportResult result = exportGltf(subject.model.get(), options, dir.file("plain.gltf"));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 2u);  // no picture beside it
    EXPECT_EQ(result.files[1].name, dir.file("plain.bin"));
    tinygltf::Model gltf;
    std::string error;
    ASSERT_TRUE(exportAndLoad(subject.model.get(), options, dir, "plain.gltf", gltf, error)) << error;
    EXPECT_TRUE(gltf.images.empty());
    EXPECT_TRUE(gltf.textures.empty());
    EXPECT_EQ(gltf.materials.at(0).pbrMetallicRoughness.baseColorFactor, (std::vector<double>{0.25, 0.5, 1, 1}));
    const tinygltf::Accessor& position =
        gltf.accessors.at(size_t(gltf.meshes.at(0).primitives.at(0).attributes.at("POSITION")));
    ModelBounds bounds;
    modelBounds(subject.model.get(), &bounds);
    EXPECT_NEAR(position.maxValues.at(1) - position.minValues.at(1), (bounds.maxY - bounds.minY) * 0.0254, 1e-5);
}

TEST(GltfExport, EdgesOfWhatFilesHold) {
    testdata::ScratchDir dir;
    // No skin size: texture coordinates are the skin pixels as they stand.
    Md2Model noSkinSize = testdata::md2PyramidModel();
    noSkinSize.skinWidth = noSkinSize.skinHeight = 0;
    // Every frame of one name (and no number): one animation of them all.
    const Md2Model oneName = triangleModel(4, "pose");
    // One frame: one target, one animation of one key at time 0.
    const Md2Model oneFrame = triangleModel(1, "");
    // Names that are not UTF-8 (a Latin-1 e acute) still make valid JSON.
    Md2Model latin1 = triangleModel(2, "");
    latin1.frames[1].name = "caf\xe9";
    // The pyramid with a triangle whose vertex index is out of range.
    Md2Model badTriangle = testdata::md2PyramidModel();
    badTriangle.triangles.push_back({{0, 1, 99}, {0, 1, 2}});
    for (const Md2Model* md2 : std::vector<const Md2Model*>{&noSkinSize, &oneName, &oneFrame, &latin1, &badTriangle}) {
        SCOPED_TRACE(md2->frames[0].name);
        ModelPtr model = loadModelBytes(testdata::md2Bytes(*md2));
        ASSERT_TRUE(model);
        for (const GltfKind& kind : kKinds) {
            ExportOptions options;
            options.quantize = kind.quantize;
            tinygltf::Model gltf;
            std::string error;
            ASSERT_TRUE(exportAndLoad(model.get(), options, dir, "edge." + std::string(kind.extension), gltf, error))
                << error;
            const Shapes shapes = shapesOf(gltf);
            for (int f = 0; f < model->numFrames; ++f)  // (their normals are all one)
                expectFrame(*model, shapes, size_t(f), f, kind.quantize ? shapes.scale : 1e-5,
                            kind.quantize ? 0.5 / 127 + 1e-6 : 1e-6, false);
            expectAnimations(*model, gltf, 0, model->numFrames - 1, 10, "LINEAR");
        }
    }
    ModelPtr model = loadModelBytes(testdata::md2Bytes(latin1));
    tinygltf::Model gltf;
    std::string error;
    ASSERT_TRUE(exportAndLoad(model.get(), {}, dir, "latin1.glb", gltf, error)) << error;
    EXPECT_EQ(gltf.meshes[0].extras.Get("targetNames").Get(1).Get<std::string>(), "caf\xEF\xBF\xBD");
}

TEST(GltfExport, SiblingFilesAreNamedBesideItAndReferredToAsURIs) {
    const CorpusSubject subject = corpusSubject("faerie");
    testdata::ScratchDir dir;
    const ExportResult result = exportGltf(subject.model.get(), subject.options(), dir.file("my faerie #1.v2.GLTF"));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 3u);
    EXPECT_EQ(result.files[1].name, dir.file("my faerie #1.v2.bin"));
    EXPECT_EQ(result.files[2].name, dir.file("my faerie #1.v2.png"));
    const std::string json(result.files[0].bytes.begin(), result.files[0].bytes.end());
    EXPECT_NE(json.find("\"my%20faerie%20%231.v2.bin\""), std::string::npos);
    EXPECT_NE(json.find("\"my%20faerie%20%231.v2.png\""), std::string::npos);
    tinygltf::Model gltf;
    std::string error;
    ASSERT_TRUE(exportAndLoad(subject.model.get(), subject.options(), dir, "my faerie #1.v2.GLTF", gltf, error))
        << error;
    EXPECT_EQ(gltf.images.at(0).width, subject.skinWidth);
}

TEST(GltfExport, RefusesWhatItCanNotExportWithAReason) {
    const CorpusSubject subject = corpusSubject("faerie");
    const Model* model = subject.model.get();
    ModelPtr noTriangles = loadModelBytes(testdata::md2Bytes([] {
        Md2Model m = triangleModel(2, "");
        m.triangles = {{{0, 1, 5}, {0, 1, 2}}};  // the only triangle out of range
        return m;
    }()));
    ModelPtr brokenFrame = loadModelBytes(testdata::md2Bytes([] {
        Md2Model m = triangleModel(2, "");
        m.frames[1].scale[2] = NAN;
        return m;
    }()));
    ModelPtr tooLong = loadModelBytes(testdata::md2Bytes(triangleModel(EXPORT_MAX_FRAMES + 1, "")));
    ASSERT_TRUE(noTriangles && brokenFrame && tooLong);
    auto with = [&](auto change) {
        ExportOptions options = subject.options();
        change(options);
        return options;
    };
    struct Case {
        const Model* model;
        ExportOptions options;
        const char* name;
        const char* reason;
    } cases[] = {
        {nullptr, {}, "x.glb", "no model"},
        {model, {}, "x.obj", ".glb or .gltf"},
        {model, {}, "x", ".glb or .gltf"},
        {noTriangles.get(), {}, "x.glb", "nothing to draw"},
        {brokenFrame.get(), {}, "x.glb", "key frame 1 has a position that is not a finite number"},
        {model, with([](ExportOptions& o) { o.scale = 1e38; }), "x.glb", "not a finite number"},
        {tooLong.get(), {}, "x.glb", "more than an export takes"},
        {model, with([](ExportOptions& o) { o.lastFrame = 198; }), "x.glb", "frames 0-198 are not a range"},
        {model, with([](ExportOptions& o) { o.firstFrame = 20, o.lastFrame = 10; }), "x.glb", "not a range"},
        {model, with([](ExportOptions& o) { o.firstFrame = -1; }), "x.glb", "not a range"},
        {model, with([](ExportOptions& o) { o.fps = 0; }), "x.glb", "frame rate"},
        {model, with([](ExportOptions& o) { o.fps = NAN; }), "x.glb", "frame rate"},
        {model, with([](ExportOptions& o) { o.scale = -1; }), "x.glb", "scale"},
        {model, with([](ExportOptions& o) { o.skin.width = 0; }), "x.glb", "skin has no size"},
    };
    for (const Case& c : cases) {
        const ExportResult result = exportGltf(c.model, c.options, c.name);
        EXPECT_FALSE(result.ok) << c.reason;
        EXPECT_TRUE(result.files.empty()) << c.reason;
        EXPECT_NE(result.error.find(c.reason), std::string::npos) << result.error;
    }
    // A part of the long model is fine.
    ExportOptions part;
    part.lastFrame = EXPORT_MAX_FRAMES - 1;
    EXPECT_TRUE(exportGltf(tooLong.get(), part, "x.glb").ok);
}

// Positions take 8 bytes instead of 12, normals 4 instead of 12, except
// for the targets whose normals turn too far for bytes (most of them here).
TEST(GltfExport, QuantizedFilesAreSmaller) {
    const CorpusSubject subject = corpusSubject("faerie");
    ExportOptions options = subject.options();
    const ExportResult plain = exportGltf(subject.model.get(), options, "faerie.glb");
    options.quantize = true;
    const ExportResult quantized = exportGltf(subject.model.get(), options, "faerie.glb");
    ASSERT_TRUE(plain.ok && quantized.ok);
    const double ratio = double(quantized.files[0].bytes.size()) / double(plain.files[0].bytes.size());
    std::cout << "faerie.glb " << plain.files[0].bytes.size() << " bytes, quantized " << quantized.files[0].bytes.size()
              << " (" << ratio << ")\n";
    EXPECT_LT(ratio, 0.8);
}

// An OBJ file's lines, split into words.
std::vector<std::vector<std::string>> objLines(const std::vector<uint8_t>& bytes) {
    std::istringstream in(std::string(bytes.begin(), bytes.end()));
    std::vector<std::vector<std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream words(line);
        std::vector<std::string> split;
        for (std::string word; words >> word;) split.push_back(word);
        if (!split.empty() && split[0][0] != '#') lines.push_back(split);
    }
    return lines;
}

TEST(ObjExport, VerticesAreTheFramesPositionsAndFacesIndexThem) {
    const CorpusSubject subject = corpusSubject("faerie");
    ASSERT_TRUE(subject.model);
    const Model& model = *subject.model;
    const int frame = 57;
    testdata::ScratchDir dir;
    const ExportResult result = exportObj(&model, frame, subject.options(), dir.file("faerie57.obj"));
    ASSERT_TRUE(result.ok) << result.error;
    ASSERT_EQ(result.files.size(), 3u);
    EXPECT_EQ(result.files[1].name, dir.file("faerie57.mtl"));
    EXPECT_EQ(result.files[2].name, dir.file("faerie57.png"));

    std::vector<std::array<double, 3>> v, vn;
    std::vector<std::array<double, 2>> vt;
    std::vector<std::string> faces;
    std::string library, material;
    for (const auto& line : objLines(result.files[0].bytes)) {
        if (line[0] == "v") v.push_back({std::stod(line.at(1)), std::stod(line.at(2)), std::stod(line.at(3))});
        if (line[0] == "vn") vn.push_back({std::stod(line.at(1)), std::stod(line.at(2)), std::stod(line.at(3))});
        if (line[0] == "vt") vt.push_back({std::stod(line.at(1)), std::stod(line.at(2))});
        if (line[0] == "f") faces.insert(faces.end(), line.begin() + 1, line.end());
        if (line[0] == "mtllib") library = line.at(1);
        if (line[0] == "usemtl") material = line.at(1);
    }
    EXPECT_EQ(library, "faerie57.mtl");
    ASSERT_EQ(v.size(), size_t(model.numVertices));
    ASSERT_EQ(vn.size(), size_t(model.numVertices));
    ASSERT_EQ(vt.size(), size_t(model.numTexCoords));

    // The same frame in the glTF export is the reference: the same axes.
    tinygltf::Model gltf;
    std::string error;
    ExportOptions options = subject.options();
    options.firstFrame = options.lastFrame = frame;
    ASSERT_TRUE(exportAndLoad(&model, options, dir, "faerie57.glb", gltf, error)) << error;
    const Shapes shapes = shapesOf(gltf);
    ASSERT_EQ(faces.size(), shapes.indices.size());
    for (size_t i = 0; i < faces.size(); ++i) {
        int vi = 0, ti = 0, ni = 0;
        ASSERT_EQ(std::sscanf(faces[i].c_str(), "%d/%d/%d", &vi, &ti, &ni), 3) << faces[i];
        ASSERT_TRUE(vi >= 1 && vi <= int(v.size()) && ti >= 1 && ti <= int(vt.size()) && ni == vi) << faces[i];
        const uint32_t g = shapes.indices[i];
        for (int a = 0; a < 3; ++a) {
            EXPECT_NEAR(v[size_t(vi - 1)][size_t(a)], shapes.positions[0][g * 3 + size_t(a)], 1e-5);
            EXPECT_NEAR(vn[size_t(vi - 1)][size_t(a)], shapes.normals[0][g * 3 + size_t(a)], 1e-5);
        }
        // OBJ counts the second coordinate from the picture's bottom.
        EXPECT_NEAR(vt[size_t(ti - 1)][0], shapes.texCoords[g * 2], 1e-6);
        EXPECT_NEAR(vt[size_t(ti - 1)][1], 1 - shapes.texCoords[g * 2 + 1], 1e-6);
    }

    const auto mtl = objLines(result.files[1].bytes);
    bool named = false, mapped = false;
    for (const auto& line : mtl) {
        named = named || (line[0] == "newmtl" && line.at(1) == material);
        mapped = mapped || (line[0] == "map_Kd" && line.at(1) == "faerie57.png");
    }
    EXPECT_TRUE(named && mapped);
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(result.files[2].bytes.data(), int(result.files[2].bytes.size()), &width,
                                            &height, &channels, 3);
    ASSERT_TRUE(pixels);
    EXPECT_TRUE(std::equal(subject.skin.begin(), subject.skin.end(), pixels));
    stbi_image_free(pixels);
}

TEST(ObjExport, SequencesShareOneMaterialAndRefusalsSayWhy) {
    const CorpusSubject subject = corpusSubject("sydney");
    ExportOptions options = subject.options();
    const ExportResult frame = exportObjFrame(subject.model.get(), 3, options, "out/run_003.obj", "out/run.mtl");
    ASSERT_TRUE(frame.ok);
    ASSERT_EQ(frame.files.size(), 1u);
    const std::string text(frame.files[0].bytes.begin(), frame.files[0].bytes.end());
    EXPECT_NE(text.find("mtllib run.mtl\n"), std::string::npos);
    options.skin = {};
    options.color[0] = 0.5f;
    const ExportResult material = exportObjMaterial(options, "out/run.mtl");
    ASSERT_TRUE(material.ok);
    ASSERT_EQ(material.files.size(), 1u);  // no picture without a skin
    const std::string mtl(material.files[0].bytes.begin(), material.files[0].bytes.end());
    EXPECT_NE(mtl.find("Kd 0.500000 1.000000 1.000000"), std::string::npos) << mtl;

    EXPECT_NE(exportObj(subject.model.get(), 198, options, "x.obj").error.find("there is no key frame 198"),
              std::string::npos);
    EXPECT_NE(exportObj(subject.model.get(), -1, options, "x.obj").error.find("no key frame"), std::string::npos);
    EXPECT_NE(exportObj(nullptr, 0, options, "x.obj").error.find("no model"), std::string::npos);
    options.scale = 0;
    EXPECT_NE(exportObj(subject.model.get(), 0, options, "x.obj").error.find("scale"), std::string::npos);
}

}  // namespace
