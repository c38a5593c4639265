// What the drawing routines hand to GL, read back through GL's feedback mode
// on a real (offscreen) context.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <climits>
#include <cmath>
#include <filesystem>
#include <set>

#include "model/draw.h"
#include "tests/model/gl_capture.h"
#include "tests/model/model_files.h"
#include "tests/writers/bytes.h"
#include "tests/writers/md2_shapes.h"
#include "tests/writers/md2_writer.h"

using testdata::Md2CommandEntry;
using testdata::Md2Model;
using testdata::Md2PackedVertex;

namespace {

constexpr float kRange = 300.0f;     // every hand-built position lies inside
constexpr float kTolerance = 1e-3f;  // feedback positions come back through window coordinates

// Normal table entries that are axis vectors.
constexpr uint8_t kNormalPlusZ = 5;   // (0, 0, 1)
constexpr uint8_t kNormalPlusY = 32;  // (0, 1, 0)
constexpr uint8_t kNormalPlusX = 52;  // (1, 0, 0)

// Packed vertex i of the test models; scale 1 and translate 0 make the
// viewer position (b0, b2, -b1).
Md2PackedVertex packed(int i, uint8_t normal = kNormalPlusZ) {
    return {uint8_t(10 + 18 * i), uint8_t(5 * i), uint8_t(100 - 7 * i), normal};
}

std::array<float, 3> viewerPosition(const Md2PackedVertex& v) { return {float(v.x), float(v.z), -float(v.y)}; }

testdata::Md2Frame frameOf(const std::vector<Md2PackedVertex>& vertices) {
    testdata::Md2Frame frame;
    frame.name = "f";
    frame.vertices = vertices;
    return frame;
}

// A model of n vertices (positions from packed(i)), one texture coordinate
// per vertex, given triangles and commands; frame 1 moves every vertex by
// (+8, +16, -4) in viewer axes.
Md2Model testModel(int n, const std::vector<testdata::Md2Triangle>& triangles, const std::vector<int32_t>& commands) {
    Md2Model model;
    model.skinWidth = 128;
    model.skinHeight = 256;
    std::vector<Md2PackedVertex> first, second;
    for (int i = 0; i < n; ++i) {
        first.push_back(packed(i));
        Md2PackedVertex moved = packed(i);
        moved.x += 8;
        moved.z += 16;
        moved.y += 4;
        second.push_back(moved);
        model.texCoords.push_back({int16_t(4 * i), int16_t(8 * i)});
    }
    model.frames = {frameOf(first), frameOf(second)};
    model.triangles = triangles;
    model.commands = commands;
    return model;
}

testdata::Md2Triangle triangle(int a, int b, int c) {
    return {{int16_t(a), int16_t(b), int16_t(c)}, {int16_t(a), int16_t(b), int16_t(c)}};
}

Md2CommandEntry entry(int v) { return {0.01f * v, 0.5f + 0.01f * v, v}; }

std::vector<int32_t> strip(const std::vector<int>& vertices) {
    std::vector<int32_t> words;
    std::vector<Md2CommandEntry> entries;
    for (int v : vertices) entries.push_back(entry(v));
    testdata::appendStrip(words, entries);
    return words;
}

std::vector<int32_t> fan(const std::vector<int>& vertices) {
    std::vector<int32_t> words;
    std::vector<Md2CommandEntry> entries;
    for (int v : vertices) entries.push_back(entry(v));
    testdata::appendFan(words, entries);
    return words;
}

std::vector<int32_t> join(std::initializer_list<std::vector<int32_t>> parts) {
    std::vector<int32_t> words;
    for (const auto& part : parts) words.insert(words.end(), part.begin(), part.end());
    return words;
}

class DrawTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()) << "no offscreen GL context"; }
    // The switches are process-wide: leave them as a fresh process has them.
    void TearDown() override { setDrawPath(1, 1); }

    std::vector<FedTriangle> draw(const std::function<void()>& call, float range = kRange) {
        Capture capture = captureTriangles(call, range);
        EXPECT_TRUE(capture.ok) << "feedback failed";
        return capture.triangles;
    }

    // The vertex numbers (as in packed(i), frame 0) of every triangle drawn,
    // each triangle's numbers sorted.
    std::multiset<std::array<int, 3>> vertexSets(const std::vector<FedTriangle>& triangles, int n) {
        std::multiset<std::array<int, 3>> sets;
        for (const FedTriangle& t : triangles) {
            std::array<int, 3> set{-1, -1, -1};
            for (size_t k = 0; k < 3; ++k)
                for (int i = 0; i < n; ++i)
                    if (near(t[k], viewerPosition(packed(i)))) set[k] = i;
            std::sort(set.begin(), set.end());
            sets.insert(set);
        }
        return sets;
    }

    static bool near(const FedVertex& v, const std::array<float, 3>& p) {
        return std::fabs(v.x - p[0]) < kTolerance && std::fabs(v.y - p[1]) < kTolerance &&
               std::fabs(v.z - p[2]) < kTolerance;
    }

    GlContext gl;
};

void expectNormal(const FedVertex& v, float x, float y, float z) {
    EXPECT_NEAR(v.nx, x, 1e-6);
    EXPECT_NEAR(v.ny, y, 1e-6);
    EXPECT_NEAR(v.nz, z, 1e-6);
}

void expectPosition(const FedVertex& v, const std::array<float, 3>& p) {
    EXPECT_NEAR(v.x, p[0], kTolerance);
    EXPECT_NEAR(v.y, p[1], kTolerance);
    EXPECT_NEAR(v.z, p[2], kTolerance);
}

}  // namespace

TEST_F(DrawTest, TriangleListSendsPositionsSkinScaledTexCoordsAndMappedNormals) {
    Md2Model source = testModel(3, {triangle(0, 1, 2)}, {});
    source.frames[0].vertices[0].normalIndex = kNormalPlusY;
    source.frames[0].vertices[1].normalIndex = kNormalPlusZ;
    source.frames[0].vertices[2].normalIndex = kNormalPlusX;
    source.texCoords[0] = {32, 64};  // on the 128 x 256 skin: (0.25, 0.25)
    source.texCoords[1] = {-64, 512};
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);

    std::vector<FedTriangle> drawn = draw([&] { drawTriangles(model.get(), 0); });
    ASSERT_EQ(drawn.size(), 1u);
    for (const FedVertex& v : drawn[0]) {
        if (near(v, viewerPosition(packed(0)))) {
            EXPECT_FLOAT_EQ(v.s, 0.25f);
            EXPECT_FLOAT_EQ(v.t, 0.25f);
            expectNormal(v, 0, 0, -1);  // stored (0, 1, 0)
        } else if (near(v, viewerPosition(packed(1)))) {
            EXPECT_FLOAT_EQ(v.s, -0.5f);
            EXPECT_FLOAT_EQ(v.t, 2.0f);
            expectNormal(v, 0, 1, 0);  // stored (0, 0, 1)
        } else {
            expectPosition(v, viewerPosition(packed(2)));
            expectNormal(v, 1, 0, 0);  // stored (1, 0, 0)
        }
    }
}

TEST_F(DrawTest, CommandsDrawStripsAndFansWithTheirOwnTexCoords) {
    // Strip of 4 over vertices 0..3, fan of 4 over 4..7, strip of 5 over 8..12.
    const std::vector<int32_t> commands =
        join({strip({0, 1, 2, 3}), fan({4, 5, 6, 7}), strip({8, 9, 10, 11, 12}), {0}});
    Md2Model source = testModel(13, {}, commands);
    source.frames[0].vertices[5].normalIndex = kNormalPlusY;
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);

    const std::multiset<std::array<int, 3>> expected = {
        {0, 1, 2},  {1, 2, 3},  // strip: each new vertex with the two before it
        {4, 5, 6},  {4, 6, 7},  // fan: every triangle shares the first vertex
        {8, 9, 10}, {9, 10, 11}, {10, 11, 12},
    };
    for (auto call : {std::function<void()>([&] { drawCommands(model.get(), 0); }),
                      std::function<void()>([&] { drawCommandsLerp(model.get(), 0, 0, 0.3f); })}) {
        std::vector<FedTriangle> drawn = draw(call);
        EXPECT_EQ(vertexSets(drawn, 13), expected);
        for (const FedTriangle& t : drawn) {
            for (const FedVertex& v : t) {
                if (!near(v, viewerPosition(packed(5)))) continue;
                EXPECT_FLOAT_EQ(v.s, 0.05f);  // the entry's s and t as they stand
                EXPECT_FLOAT_EQ(v.t, 0.55f);
                expectNormal(v, 0, 0, -1);
            }
        }
    }
}

TEST_F(DrawTest, InterpolationBlendsPositionsAndNormalsWithoutClampingOrRenormalising) {
    Md2Model source = testModel(3, {triangle(0, 1, 2)}, join({strip({0, 1, 2}), {0}}));
    for (auto& v : source.frames[0].vertices) v.normalIndex = kNormalPlusX;  // sent (1, 0, 0)
    for (auto& v : source.frames[1].vertices) v.normalIndex = kNormalPlusZ;  // sent (0, 1, 0)
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);

    for (float f : {0.0f, 0.5f, 1.0f, 1.5f, -0.5f}) {
        for (bool commands : {false, true}) {
            SCOPED_TRACE(testing::Message() << "fraction " << f << (commands ? " commands" : " triangles"));
            std::vector<FedTriangle> drawn = draw([&] {
                if (commands)
                    drawCommandsLerp(model.get(), 0, 1, f);
                else
                    drawTrianglesLerp(model.get(), 0, 1, f);
            });
            ASSERT_EQ(drawn.size(), 1u);
            std::set<int> seen;
            for (const FedVertex& v : drawn[0]) {
                for (int i = 0; i < 3; ++i) {
                    std::array<float, 3> a = viewerPosition(packed(i));
                    std::array<float, 3> expected = {a[0] + f * 8, a[1] + f * 16, a[2] - f * 4};
                    if (near(v, expected)) seen.insert(i);
                }
                expectNormal(v, 1 - f, f, 0);
            }
            EXPECT_EQ(seen.size(), 3u);
        }
    }

    // Fraction 0 is frame a and fraction 1 frame b, exactly.
    EXPECT_EQ(sortedPositions(draw([&] { drawTrianglesLerp(model.get(), 0, 1, 0.0f); })),
              sortedPositions(draw([&] { drawTriangles(model.get(), 0); })));
    EXPECT_EQ(sortedPositions(draw([&] { drawCommandsLerp(model.get(), 0, 1, 1.0f); })),
              sortedPositions(draw([&] { drawCommands(model.get(), 1); })));
}

TEST_F(DrawTest, SwitchesPickTheRoutineAndSingleFrameRoutinesIgnoreFrameBAndFraction) {
    // The command stream covers other vertices than the triangle list, so
    // each of the four routines draws something different at fraction 0.5.
    Md2Model source = testModel(6, {triangle(0, 1, 2)}, join({strip({3, 4, 5}), {0}}));
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);
    const Model* m = model.get();

    const auto triangles = sortedPositions(draw([&] { drawTriangles(m, 0); }));
    const auto trianglesLerp = sortedPositions(draw([&] { drawTrianglesLerp(m, 0, 1, 0.5f); }));
    const auto commands = sortedPositions(draw([&] { drawCommands(m, 0); }));
    const auto commandsLerp = sortedPositions(draw([&] { drawCommandsLerp(m, 0, 1, 0.5f); }));
    const std::set<std::vector<TrianglePositions>> distinct = {triangles, trianglesLerp, commands, commandsLerp};
    ASSERT_EQ(distinct.size(), 4u);

    EXPECT_EQ(useCommands, 1);
    EXPECT_EQ(useInterpolation, 1);
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, 1, 0.5f); })), commandsLerp);
    setDrawPath(1, 0);
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, 1, 0.5f); })), commands);
    setDrawPath(0, 1);
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, 1, 0.5f); })), trianglesLerp);
    setDrawPath(0, 0);
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, 1, 0.5f); })), triangles);

    // b and the fraction play no part in the single-frame routines, even out of range.
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, 99, 0.7f); })), triangles);
    setDrawPath(1, 0);
    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(m, 0, -3, 2.0f); })), commands);
}

TEST_F(DrawTest, ModelWithoutCommandStreamFallsBackToItsTriangleList) {
    ModelPtr model = loadModelBytes(testdata::md2Bytes(testModel(3, {triangle(0, 1, 2)}, {})));
    ASSERT_TRUE(model);
    ASSERT_EQ(model->commands, nullptr);
    EXPECT_TRUE(draw([&] { drawCommands(model.get(), 0); }).empty());
    EXPECT_TRUE(draw([&] { drawCommandsLerp(model.get(), 0, 1, 0.5f); }).empty());

    EXPECT_EQ(sortedPositions(draw([&] { modelDrawFrame(model.get(), 0, 1, 0.5f); })),
              sortedPositions(draw([&] { drawTrianglesLerp(model.get(), 0, 1, 0.5f); })));
    setDrawPath(1, 0);
    EXPECT_EQ(draw([&] { modelDrawFrame(model.get(), 0, 1, 0.5f); }).size(), 1u);
}

TEST_F(DrawTest, TrianglesWithIndicesOutsideTheArraysAreSkipped) {
    Md2Model source = testModel(4, {}, {});
    source.triangles = {
        triangle(0, 1, 2),           {{0, 1, 4}, {0, 1, 2}},  // vertex index == numVertices
        {{0, -1, 2}, {0, 1, 2}},                              // negative vertex index
        {{0, 1, 2}, {0, 4, 2}},                               // texture coordinate index == numTexCoords
        {{0, 1, 2}, {-32768, 1, 2}}, triangle(1, 2, 3),
    };
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);
    const std::multiset<std::array<int, 3>> expected = {{0, 1, 2}, {1, 2, 3}};
    EXPECT_EQ(vertexSets(draw([&] { drawTriangles(model.get(), 0); }), 4), expected);
    EXPECT_EQ(vertexSets(draw([&] { drawTrianglesLerp(model.get(), 0, 0, 0.5f); }), 4), expected);

    // Without texture coordinates no triangle can be drawn.
    testdata::Md2Header header = testdata::md2Layout(source);
    header.numTexCoords = -1;
    ModelPtr bare = loadModelBytes(testdata::md2Bytes(source, header));
    ASSERT_TRUE(bare);
    EXPECT_TRUE(draw([&] { drawTriangles(bare.get(), 0); }).empty());
}

TEST_F(DrawTest, CommandWalkSkipsBadCommandsAndStopsAtTheEndOfItsWords) {
    struct Case {
        const char* what;
        std::vector<int32_t> commands;
        int32_t numCommands;  // -1: as many as written
        std::multiset<std::array<int, 3>> expected;
    };
    const std::vector<int32_t> first = strip({0, 1, 2});
    const std::vector<int32_t> last = fan({3, 4, 5});
    const std::vector<int32_t> badIndex = strip({1, 6, 2});
    const std::vector<int32_t> negativeIndex = fan({1, -1, 2});
    const Case cases[] = {
        {"terminated", join({first, last, {0}}), -1, {{0, 1, 2}, {3, 4, 5}}},
        {"vertex index == numVertices", join({first, badIndex, last, {0}}), -1, {{0, 1, 2}, {3, 4, 5}}},
        {"negative vertex index", join({first, negativeIndex, last, {0}}), -1, {{0, 1, 2}, {3, 4, 5}}},
        {"no terminating zero", join({first, last}), -1, {{0, 1, 2}, {3, 4, 5}}},
        {"stops at the first zero", join({first, {0}, last, {0}}), -1, {{0, 1, 2}}},
        {"count runs past the end", join({first, {7, 0, 0, 3}}), -1, {{0, 1, 2}}},
        {"most negative count", join({first, {INT_MIN}, last}), -1, {{0, 1, 2}}},
        // The header counts fewer words than the file holds: the last fan lies outside the copy.
        {"numCommands cuts a command", join({first, last, {0}}), 10 + 5, {{0, 1, 2}}},
        {"first word zero", join({{0}, first}), -1, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Md2Model source = testModel(6, {}, c.commands);
        testdata::Md2Header header = testdata::md2Layout(source);
        if (c.numCommands >= 0) header.numCommands = c.numCommands;
        ModelPtr model = loadModelBytes(testdata::md2Bytes(source, header));
        ASSERT_TRUE(model);
        EXPECT_EQ(vertexSets(draw([&] { drawCommands(model.get(), 0); }), 6), c.expected);
        EXPECT_EQ(vertexSets(draw([&] { drawCommandsLerp(model.get(), 0, 0, 0.25f); }), 6), c.expected);
    }
}

TEST_F(DrawTest, ZeroSkinSizeSendsTexCoordsInSkinPixels) {
    Md2Model source = testModel(3, {triangle(0, 1, 2)}, {});
    source.texCoords[0] = {32, 64};
    source.skinWidth = 0;
    source.skinHeight = 0;
    ModelPtr model = loadModelBytes(testdata::md2Bytes(source));
    ASSERT_TRUE(model);
    for (auto call : {std::function<void()>([&] { drawTriangles(model.get(), 0); }),
                      std::function<void()>([&] { drawTrianglesLerp(model.get(), 0, 1, 0.5f); })}) {
        std::vector<FedTriangle> drawn = draw(call);
        ASSERT_EQ(drawn.size(), 1u);
        for (const FedVertex& v : drawn[0]) {
            EXPECT_TRUE(std::isfinite(v.s) && std::isfinite(v.t));
            if (near(v, viewerPosition(packed(0)))) {
                EXPECT_EQ(v.s, 32.0f);
                EXPECT_EQ(v.t, 64.0f);
            }
        }
    }
}

TEST_F(DrawTest, FramesOutsideTheModelDrawNothing) {
    ModelPtr model =
        loadModelBytes(testdata::md2Bytes(testModel(3, {triangle(0, 1, 2)}, join({strip({0, 1, 2}), {0}}))));
    ASSERT_TRUE(model);
    const Model* m = model.get();
    for (int bad : {2, -1, INT_MAX, INT_MIN}) {
        SCOPED_TRACE(bad);
        EXPECT_TRUE(draw([&] { drawTriangles(m, bad); }).empty());
        EXPECT_TRUE(draw([&] { drawCommands(m, bad); }).empty());
        EXPECT_TRUE(draw([&] { drawTrianglesLerp(m, 0, bad, 0.5f); }).empty());
        EXPECT_TRUE(draw([&] { drawCommandsLerp(m, bad, 0, 0.5f); }).empty());
        EXPECT_TRUE(draw([&] { modelDrawFrame(m, bad, bad, 0.5f); }).empty());
    }
    EXPECT_TRUE(draw([&] { modelDrawFrame(nullptr, 0, 0, 0.5f); }).empty());
    EXPECT_TRUE(draw([&] { drawTriangles(nullptr, 0); }).empty());
}

// The triangle list and the command stream of a real model describe one
// surface: every routine emits the same set of triangle positions.
TEST_F(DrawTest, RealModelsGiveTheSameTrianglesThroughAllFourRoutines) {
    for (const char* file : {"faerie.md2", "sydney.md2"}) {
        ModelPtr model = loadCorpusModel(file);
        ASSERT_TRUE(model) << file;
        const Model* m = model.get();
        for (int frame : {0, 120}) {
            SCOPED_TRACE(testing::Message() << file << " frame " << frame);
            const auto triangles = sortedPositions(draw([&] { drawTriangles(m, frame); }, 100.0f));
            EXPECT_EQ(triangles.size(), size_t(m->numTriangles));
            EXPECT_EQ(sortedPositions(draw([&] { drawCommands(m, frame); }, 100.0f)), triangles);
            EXPECT_EQ(sortedPositions(draw([&] { drawTrianglesLerp(m, frame, frame + 1, 0.0f); }, 100.0f)), triangles);
            EXPECT_EQ(sortedPositions(draw([&] { drawCommandsLerp(m, frame, frame + 1, 0.0f); }, 100.0f)), triangles);
            // Halfway to the next frame, both interpolating routines still agree.
            EXPECT_EQ(sortedPositions(draw([&] { drawTrianglesLerp(m, frame, frame + 1, 0.5f); }, 100.0f)),
                      sortedPositions(draw([&] { drawCommandsLerp(m, frame, frame + 1, 0.5f); }, 100.0f)));
        }
    }
}

// Broken models from the writer and the fuzz seeds, through every routine
// and the dispatcher: nothing may read outside the model's arrays (run this
// under AddressSanitizer), and GL must be left without error.
TEST_F(DrawTest, MalformedModelsDrawWithinTheirArrays) {
    std::vector<std::vector<uint8_t>> files;
    for (const auto& seed :
         std::filesystem::directory_iterator(std::string(OMBREL_SOURCE_DIR) + "/tests/fuzz/seeds/model"))
        files.push_back(testdata::readFile(seed.path().string()));
    ASSERT_FALSE(files.empty());

    const std::vector<int32_t> unterminated = join({strip({0, 1, 2}), {INT_MAX, 1}});
    Md2Model broken = testModel(3, {{{0, 1, 3}, {0, 1, 2}}, {{2, 1, 0}, {9, 1, 0}}}, unterminated);
    files.push_back(testdata::md2Bytes(broken));
    broken.skinWidth = 0;
    testdata::Md2Header header = testdata::md2Layout(broken);
    header.numTexCoords = 0;
    header.numCommands = 2;
    files.push_back(testdata::md2Bytes(broken, header));

    int loaded = 0;
    for (const auto& bytes : files) {
        ModelPtr model = loadModelBytes(bytes);
        if (!model) continue;
        ++loaded;
        const Model* m = model.get();
        const int last = m->numFrames > 0 ? m->numFrames - 1 : 0;
        for (int commands = 0; commands < 2; ++commands) {
            for (int interpolation = 0; interpolation < 2; ++interpolation) {
                setDrawPath(commands, interpolation);
                modelDrawFrame(m, 0, last, 0.5f);
                modelDrawFrame(m, last, 0, 1.5f);
            }
        }
        drawTriangles(m, 0);
        drawTrianglesLerp(m, 0, last, -0.5f);
        drawCommands(m, last);
        drawCommandsLerp(m, last, 0, 0.25f);
        glFinish();
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        ModelBounds box;
        modelBounds(m, &box);
    }
    EXPECT_GE(loaded, 3);
}
