// Models makeMd2 makes, drawn by the viewer's own routines on a real
// (offscreen) GL context: the command stream draws exactly what the
// triangle list draws, corner for corner and turned the same way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>

#include "image/image.h"
#include "model/draw.h"
#include "model/import.h"
#include "model/md2_maker.h"
#include "tests/model/gl_capture.h"
#include "tests/model/model_files.h"

namespace {

// A triangle as GL got it, turned to start at its least corner: two
// triangles compare equal when they have the same corners (position,
// texture coordinate, normal) wound the same way.
using Corner = std::array<float, 8>;
using Wound = std::array<Corner, 3>;

std::vector<Wound> wound(const std::vector<FedTriangle>& triangles) {
    std::vector<Wound> out;
    for (const FedTriangle& t : triangles) {
        Wound w;
        for (size_t k = 0; k < 3; ++k) w[k] = {t[k].x, t[k].y, t[k].z, t[k].s, t[k].t, t[k].nx, t[k].ny, t[k].nz};
        while (w[0] > w[1] || w[0] > w[2]) w = {w[1], w[2], w[0]};
        out.push_back(w);
    }
    std::sort(out.begin(), out.end());
    return out;
}

class MadeModelDrawTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.ok()) << "no offscreen GL context"; }
    void TearDown() override { setDrawPath(1, 1); }

    void expectSameThroughBothPaths(const Model* m, const std::vector<int>& frames, float range) {
        for (int frame : frames) {
            SCOPED_TRACE(testing::Message() << "frame " << frame);
            const Capture list = captureTriangles([&] { drawTriangles(m, frame); }, range);
            const Capture commands = captureTriangles([&] { drawCommands(m, frame); }, range);
            ASSERT_TRUE(list.ok && commands.ok);
            EXPECT_EQ(list.triangles.size(), size_t(m->numTriangles));
            EXPECT_EQ(wound(commands.triangles), wound(list.triangles));
            const int next = frame + 1 < m->numFrames ? frame + 1 : 0;
            const Capture listHalf = captureTriangles([&] { drawTrianglesLerp(m, frame, next, 0.5f); }, range);
            const Capture commandsHalf = captureTriangles([&] { drawCommandsLerp(m, frame, next, 0.5f); }, range);
            EXPECT_EQ(wound(commandsHalf.triangles), wound(listHalf.triangles));
        }
    }

    GlContext gl;
};

}  // namespace

TEST_F(MadeModelDrawTest, CorpusModelsMadeAgainDrawTheSameThroughCommandsAndTriangles) {
    for (const char* file : {"faerie.md2", "sydney.md2"}) {
        SCOPED_TRACE(file);
        ModelPtr original = loadCorpusModel(file);
        ASSERT_TRUE(original);
        SourceMesh mesh;
        std::string error;
        ASSERT_TRUE(readMd2Source(*original, nullptr, 0, 0, {}, mesh, error)) << error;
        const Md2MakeResult made = makeMd2(mesh, {});
        ASSERT_TRUE(made.ok) << made.error;
        ModelPtr m(modelLoadFromBytes(made.model.data(), made.model.size()));
        ASSERT_TRUE(m);
        expectSameThroughBothPaths(m.get(), {0, 97, 197}, 100.0f);
    }
}

// A sheet folding over, its triangles given in a scrambled order with
// seams between its quads: no command may cross a seam or turn a triangle.
TEST_F(MadeModelDrawTest, AScrambledSheetWithSeamsDrawsTheSame) {
    constexpr int kColumns = 9, kRows = 7;
    SourceMesh mesh;
    SourceAnimation animation;
    animation.name = "fold";
    animation.frames.resize(4);
    uint32_t seed = 12345;
    auto next = [&seed] { return seed = seed * 1103515245u + 12345u; };
    std::vector<std::array<uint32_t, 3>> triangles;
    for (int j = 0; j < kRows; ++j)
        for (int i = 0; i < kColumns; ++i) {
            // Each quad has vertices of its own: where its column is even they
            // weld with its neighbours' and their coordinates match; where odd
            // its coordinates are moved a little, a seam all round it.
            auto vertex = [&](int x, int y) {
                const uint32_t index = uint32_t(mesh.vertexCount++);
                for (size_t f = 0; f < animation.frames.size(); ++f) {
                    const float bend = float(f) * 0.3f * float(x) / kColumns;
                    animation.frames[f].positions.insert(animation.frames[f].positions.end(),
                                                         {float(x) * std::cos(bend) * 5, float(y) * 5, float(x) * std::sin(bend) * 5});
                }
                mesh.texCoords.insert(mesh.texCoords.end(), {float(x) / kColumns + (i % 2 ? 0.01f : 0), float(y) / kRows});
                return index;
            };
            const uint32_t a = vertex(i, j), b = vertex(i + 1, j), c = vertex(i, j + 1), d = vertex(i + 1, j + 1);
            triangles.push_back({a, b, d});
            triangles.push_back({a, d, c});
        }
    for (size_t t = triangles.size(); t > 1; --t) std::swap(triangles[t - 1], triangles[next() % t]);
    for (const auto& t : triangles) {
        const uint32_t first = next() % 3;
        for (uint32_t k = 0; k < 3; ++k) mesh.triangles.push_back(t[(first + k) % 3]);
    }
    mesh.animations = {animation};
    SourcePicture picture;
    picture.name = "picture";
    picture.width = 90;
    picture.height = 70;
    picture.rgba.assign(90 * 70 * 4, 200);
    mesh.pictures = {picture};
    mesh.trianglePicture.assign(triangles.size(), 0);
    const Md2MakeResult made = makeMd2(mesh, {});
    ASSERT_TRUE(made.ok) << made.error;
    EXPECT_LT(made.commandWords, made.triangleListWords / 2);
    ModelPtr m(modelLoadFromBytes(made.model.data(), made.model.size()));
    ASSERT_TRUE(m);
    expectSameThroughBothPaths(m.get(), {0, 3}, 60.0f);
}
