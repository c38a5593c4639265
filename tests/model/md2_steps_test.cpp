// The maker's steps one by one (model/md2_steps.h): the grid, welding,
// normals, strips and fans, frame names, texture pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "model/animations.h"
#include "model/md2_steps.h"
#include "model/model.h"

namespace {

// Frames of `vertices` points: vertex v of frame f at moving(f, v).
std::vector<double> framesOf(size_t frames, size_t vertices, const std::function<std::array<double, 3>(size_t, size_t)>& at) {
    std::vector<double> positions;
    for (size_t f = 0; f < frames; ++f)
        for (size_t v = 0; v < vertices; ++v) {
            const std::array<double, 3> p = at(f, v);
            positions.insert(positions.end(), p.begin(), p.end());
        }
    return positions;
}

double decoded(const PackedFrames& packed, size_t vertices, size_t f, size_t v, int axis) {
    return decodeCoordinate(packed.packed[(f * vertices + v) * 3 + size_t(axis)], packed.scale[3 * f + size_t(axis)],
                            packed.translate[3 * f + size_t(axis)]);
}

}  // namespace

// Half the vertices stand still while the others sweep about and stretch
// every frame's box differently: on one grid the still ones decode to the
// same place in every frame, and every vertex lies within half a step.
TEST(Md2Grid, StillVerticesDecodeToOnePlaceInEveryFrame) {
    constexpr size_t kFrames = 40, kVertices = 30;
    const std::vector<double> positions = framesOf(kFrames, kVertices, [](size_t f, size_t v) -> std::array<double, 3> {
        if (v < 15) return {0.37 * double(v) - 2.1, std::sin(double(v)) * 3.3, 1.7 + 0.01 * double(v)};
        const double phase = 0.31 * double(f) + double(v);
        return {4.0 * std::sin(phase) + 0.3 * double(f), 6.0 * std::cos(phase * 1.3), -3.0 + 0.1 * double(f * v % 7)};
    });
    const PackedFrames grid = packOnGrid(positions.data(), kFrames, kVertices, false);
    for (int axis = 0; axis < 3; ++axis) {
        const float step = grid.scale[size_t(axis)];
        for (size_t f = 0; f < kFrames; ++f) {
            ASSERT_EQ(grid.scale[3 * f + size_t(axis)], step) << "one step for the animation";
            for (size_t v = 0; v < kVertices; ++v) {
                const double error = std::fabs(decoded(grid, kVertices, f, v, axis) - positions[(f * kVertices + v) * 3 + size_t(axis)]);
                ASSERT_LE(error, step * (0.5 + 1e-4)) << "frame " << f << " vertex " << v << " axis " << axis;
                if (v < 15) {
                    ASSERT_NEAR(decoded(grid, kVertices, f, v, axis), decoded(grid, kVertices, 0, v, axis), step * 1e-3)
                        << "still vertex " << v << " moved in frame " << f << " on axis " << axis;
                }
            }
        }
    }

    // Boxes of their own fit each frame tighter, and the still vertices
    // wander: what the grid is for.
    const PackedFrames boxes = packOnGrid(positions.data(), kFrames, kVertices, true);
    double wander = 0;
    for (size_t f = 0; f < kFrames; ++f)
        for (int axis = 0; axis < 3; ++axis) {
            EXPECT_LE(boxes.scale[3 * f + size_t(axis)], grid.scale[size_t(axis)]);
            for (size_t v = 0; v < kVertices; ++v) {
                const double p = positions[(f * kVertices + v) * 3 + size_t(axis)];
                EXPECT_LE(std::fabs(decoded(boxes, kVertices, f, v, axis) - p), boxes.scale[3 * f + size_t(axis)] * (0.5 + 1e-4));
                if (v < 15)
                    wander = std::max(wander, std::fabs(decoded(boxes, kVertices, f, v, axis) - decoded(boxes, kVertices, 0, v, axis)));
            }
        }
    EXPECT_GT(wander, 0.05 * grid.scale[0]);
}

// A single frame's grid is its tightest box; a flat axis decodes exactly.
TEST(Md2Grid, OneFrameGetsItsTightestBoxAndFlatAxesAreExact) {
    const std::vector<double> positions = {0, 5, 2, 10, 5, 2, 2.5, 5, 2, 7.25, 5, 2};
    const PackedFrames packed = packOnGrid(positions.data(), 1, 4, false);
    EXPECT_FLOAT_EQ(packed.scale[0], 10.0f / 255);
    EXPECT_EQ(packed.translate[0], 0.0f);
    EXPECT_EQ(packed.packed[3], 255);
    for (size_t v = 0; v < 4; ++v) {
        EXPECT_EQ(decoded(packed, 4, 0, v, 1), 5.0);
        EXPECT_EQ(decoded(packed, 4, 0, v, 2), 2.0);
    }
}

// Frames too far apart for one grid to count between them exactly get a
// box each rather than a grid of numbers no double holds.
TEST(Md2Grid, FramesFarApartGetBoxesOfTheirOwn) {
    const double far = 0x1p66;  // 7e19, and 131072 past it
    const std::vector<double> positions = {0, 0, 0, 1e-3, 1, 1, far, 0, 0, far + 131072, 1, 1};
    const PackedFrames packed = packOnGrid(positions.data(), 2, 2, false);
    EXPECT_FLOAT_EQ(packed.scale[0], float(1e-3 / 255));
    EXPECT_FLOAT_EQ(packed.scale[3], float(131072.0 / 255));
    EXPECT_EQ(packed.packed[3], 255);
    EXPECT_EQ(packed.packed[9], 255);
}

// Welding follows the whole track: two vertices together in the first
// frame but apart later stay two, and -0 is 0.
TEST(Md2Weld, VerticesWeldOnlyWhenTogetherInEveryFrame) {
    const std::vector<float> first = {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, -0.0f, 0, 0, 9, 9, 9};
    const std::vector<float> second = {0, 0, 0, 0, 0, 2, 1, 1, 1, 1, 1, 1, 0, 0, 0, 9, 9, 9};
    const std::vector<uint32_t> corners = {3, 2, 1, 0, 4, 2};  // vertex 5 unused
    std::vector<uint32_t> remap;
    EXPECT_EQ(weldTracks({first.data(), second.data()}, 6, corners.data(), corners.size(), remap), 3u);
    // Numbered in the order the corners first use them.
    EXPECT_EQ(remap, (std::vector<uint32_t>{2, 1, 0, 0, 2, MD2_UNUSED_VERTEX}));
    EXPECT_EQ(weldTracks({first.data()}, 6, corners.data(), corners.size(), remap), 2u);
}

// Every direction gets the entry a search of the whole table gives, and
// every entry itself.
TEST(Md2Normals, NearestEntryIsExactlyTheWholeTablesChoice) {
    std::mt19937 random(27);
    std::normal_distribution<double> gaussian;
    auto wholeTable = [](const double n[3]) {
        int best = 0;
        double bestDot = -HUGE_VAL;
        for (int i = 0; i < MODEL_NUM_NORMALS; ++i) {
            const double dot = n[0] * modelNormals[i][0] + n[1] * modelNormals[i][1] + n[2] * modelNormals[i][2];
            if (dot > bestDot) {
                bestDot = dot;
                best = i;
            }
        }
        return best;
    };
    for (int i = 0; i < 200000; ++i) {
        double n[3] = {gaussian(random), gaussian(random), gaussian(random)};
        // Now and then on a cube edge or axis, where the lookup's cells meet.
        if (i % 5 == 1) n[0] = n[1];
        if (i % 7 == 2) n[2] = 0;
        if (i % 11 == 3) n[0] = n[1] = 0;
        ASSERT_EQ(nearestNormalIndex(n), wholeTable(n)) << n[0] << " " << n[1] << " " << n[2];
    }
    for (int e = 0; e < MODEL_NUM_NORMALS; ++e) {
        const double n[3] = {modelNormals[e][0], modelNormals[e][1], modelNormals[e][2]};
        EXPECT_EQ(nearestNormalIndex(n), e);
    }
}

// A cube's corner with one face cut in two: weighting by angle gives the
// diagonal whatever the cut; weighting faces alike would lean to that face.
TEST(Md2Normals, FaceNormalsAreWeightedByAngle) {
    // Corner 0 at the origin; faces x = 0, y = 0 (cut in two) and z = 0 seen from outside (-).
    const std::vector<double> positions = {0, 0, 0, 0, 1, 0, 0, 0, 1, 1, 0, 0, 1, 0, 1, 0.5, 0, 1};
    const std::vector<uint32_t> triangles = {0, 2, 1,   // x = 0, normal -x
                                             0, 3, 5,   // y = 0, normal -y, cut in two
                                             0, 5, 2,   //
                                             0, 1, 3};  // z = 0, normal -z
    std::vector<double> normals(18);
    angleWeightedNormals(positions.data(), 6, triangles.data(), 4, normals.data());
    const double d = -1 / std::sqrt(3.0);
    EXPECT_NEAR(normals[0], d, 1e-12);
    EXPECT_NEAR(normals[1], d, 1e-12);
    EXPECT_NEAR(normals[2], d, 1e-12);
    // Vertex 4 is on no face: no normal.
    EXPECT_EQ(normals[12], 0);
    EXPECT_EQ(normals[13], 0);
}

namespace {

// A sheet of columns x rows quads, corner (i, j) numbered j * (columns + 1) + i,
// two triangles a quad, counter-clockwise.
std::vector<uint32_t> sheetTriangles(uint32_t columns, uint32_t rows) {
    std::vector<uint32_t> triangles;
    for (uint32_t j = 0; j < rows; ++j)
        for (uint32_t i = 0; i < columns; ++i) {
            const uint32_t a = j * (columns + 1) + i, b = a + 1, c = a + columns + 1, d = c + 1;
            triangles.insert(triangles.end(), {a, b, d, a, d, c});
        }
    return triangles;
}

size_t commandWords(const std::vector<Md2Command>& commands) {
    size_t words = 1;
    for (const Md2Command& c : commands) words += 1 + 3 * c.corners.size();
    return words;
}

}  // namespace

// Strips and fans draw every triangle once, wound as listed, whatever the
// order and first corner of the triangles, and about as few in any order.
TEST(Md2Strips, CommandsCoverEveryTriangleOnceInAnyOrder) {
    const std::vector<uint32_t> sheet = sheetTriangles(12, 9);
    const size_t count = sheet.size() / 3, corners = 13 * 10;
    const std::vector<Md2Command> inOrder = makeCommands(sheet.data(), count, corners);
    EXPECT_TRUE(sameTriangles(expandCommands(inOrder), sheet));
    std::mt19937 random(5);
    for (int shuffle = 0; shuffle < 10; ++shuffle) {
        std::vector<size_t> order(count);
        for (size_t i = 0; i < count; ++i) order[i] = i;
        std::shuffle(order.begin(), order.end(), random);
        std::vector<uint32_t> shuffled;
        for (size_t t : order) {
            const size_t first = random() % 3;
            for (size_t k = 0; k < 3; ++k) shuffled.push_back(sheet[3 * t + (first + k) % 3]);
        }
        const std::vector<Md2Command> commands = makeCommands(shuffled.data(), count, corners);
        ASSERT_TRUE(sameTriangles(expandCommands(commands), shuffled)) << "shuffle " << shuffle;
        EXPECT_LE(commandWords(commands), commandWords(inOrder) * 11 / 10) << "shuffle " << shuffle;
    }
    // A sheet is long strips, far fewer words than a triangle a command.
    EXPECT_LT(commandWords(inOrder), (10 * count + 1) / 2);
}

// What is not a clean surface still comes out whole: triangles twice over,
// both windings of one triangle, three triangles on one edge.
TEST(Md2Strips, TrianglesOnOneEdgeAndRepeatsAreEachDrawnOnce) {
    const std::vector<uint32_t> triangles = {0, 1, 2, 0, 1, 2, 0, 2, 1, 1, 0, 3, 1, 0, 4, 1, 0, 5, 2, 1, 6};
    const std::vector<Md2Command> commands = makeCommands(triangles.data(), triangles.size() / 3, 7);
    EXPECT_TRUE(sameTriangles(expandCommands(commands), triangles));
    // The check itself tells windings and counts apart.
    EXPECT_FALSE(sameTriangles({0, 1, 2}, {0, 2, 1}));
    EXPECT_TRUE(sameTriangles({0, 1, 2}, {1, 2, 0}));
    EXPECT_FALSE(sameTriangles({0, 1, 2, 0, 1, 2}, {0, 1, 2, 3, 4, 5}));
}

// Thousands of triangles on one edge take no longer than the budget allows.
TEST(Md2Strips, ManyTrianglesOnOneEdgeStayCheap) {
    std::vector<uint32_t> triangles;
    for (uint32_t i = 0; i < 60000; ++i) triangles.insert(triangles.end(), {0, 1, 2 + i % 2, 1, 0, 4 + i % 3});
    const std::vector<Md2Command> commands = makeCommands(triangles.data(), triangles.size() / 3, 7);
    EXPECT_TRUE(sameTriangles(expandCommands(commands), triangles));
}

TEST(Md2FrameNames, NamesNumberTheFramesAndGiveTheAnimationsBack) {
    auto frames = [](size_t n, const std::string& name = "") { return std::vector<std::string>(n, name); };
    const std::vector<Md2NamedAnimation> animations = {
        {"stand", frames(3)},
        {"run", {"run1", "run2", "run3"}},            // the source's own names, kept
        {"run", {"run4", "run5"}},                    // own names that run on from run3: made instead
        {"a very long animation name", frames(120)},  // cut to fit its three digits, the space dropped
        {"walk2", frames(2)},                         // ends in a digit: set off
        {"stand", frames(2)},                         // a second "stand"
        {"", frames(1)},
        {"pain", {"x1", "x2", "x1"}},  // own names that repeat: made instead
    };
    const std::vector<std::string> names = md2FrameNames(animations);
    ASSERT_EQ(names.size(), 136u);
    EXPECT_EQ(names[0], "stand01");
    EXPECT_EQ(names[2], "stand03");
    EXPECT_EQ(names[3], "run1");
    EXPECT_EQ(names[6], "run_2_01");
    EXPECT_EQ(names[8], "a very long01");
    EXPECT_EQ(names[8 + 99], "a very long100");
    EXPECT_EQ(names[128], "walk2_01");
    EXPECT_EQ(names[130], "stand_2_01");
    EXPECT_EQ(names[132], "frame01");
    EXPECT_EQ(names[133], "pain01");
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(std::unique(sorted.begin(), sorted.end()), sorted.end()) << "names are unique";
    const std::vector<ModelAnimation> groups = groupAnimations(names);
    ASSERT_EQ(groups.size(), animations.size());
    int first = 0;
    for (size_t a = 0; a < animations.size(); ++a) {
        EXPECT_EQ(groups[a].first, first) << a;
        first += int(animations[a].frameNames.size());
        EXPECT_EQ(groups[a].last, first - 1) << a;
    }
    for (const std::string& name : names) EXPECT_LE(name.size(), 15u) << name;
}

// A name is never cut inside a UTF-8 sequence.
TEST(Md2FrameNames, CutsKeepWholeCharacters) {
    std::string eight;
    for (int i = 0; i < 8; ++i) eight += "\xC3\xA9";
    // Thirteen bytes of room would end inside the seventh character.
    EXPECT_EQ(md2FrameNames({{eight, {"", ""}}})[0], eight.substr(0, 12) + "01");
}

// Texture coordinates become pixels, rounded; a triangle in another
// repeat of its picture moves into it; one across a repeat's edge does not.
TEST(Md2Skin, TrianglesMoveIntoTheirPictureOrAreRefused) {
    const SkinRegion region{100, 64, 32};
    int32_t s[3], t[3];
    const double inside[3] = {0.0, 0.5, 1.0}, v[3] = {0.0, 0.26, 1.0};
    ASSERT_TRUE(trianglePixels(inside, v, region, s, t));
    EXPECT_EQ(std::vector<int32_t>(s, s + 3), (std::vector<int32_t>{100, 132, 164}));
    EXPECT_EQ(std::vector<int32_t>(t, t + 3), (std::vector<int32_t>{0, 8, 32}));  // 8.32 rounds to 8

    const double right[3] = {1.25, 1.5, 2.0}, below[3] = {-0.75, -0.5, -1.0};
    ASSERT_TRUE(trianglePixels(right, below, region, s, t));
    EXPECT_EQ(std::vector<int32_t>(s, s + 3), (std::vector<int32_t>{116, 132, 164}));
    EXPECT_EQ(std::vector<int32_t>(t, t + 3), (std::vector<int32_t>{8, 16, 0}));

    const double across[3] = {0.5, 1.5, 1.0};
    EXPECT_FALSE(trianglePixels(across, v, region, s, t));
    const double far[3] = {1e12, 1e12, 1e12};
    EXPECT_FALSE(trianglePixels(far, v, region, s, t));
    // A hair past the edge rounds onto it: still the picture itself.
    const double edge[3] = {0.5, 1.000001, 0.9};
    EXPECT_TRUE(trianglePixels(edge, v, region, s, t));
}
