// makeMd2 end to end on sources built by hand: what it makes is read back
// by our own reader and checked against the source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <memory>
#include <random>

#include "image/image.h"
#include "model/export_mesh.h"
#include "model/md2_maker.h"
#include "model/model_check.h"
#include "tests/model/model_files.h"

namespace {

using Move = std::function<void(int frame, int i, int j, float p[3])>;

// A sheet of columns x rows unit quads in the source's XY plane, facing
// +Z: vertex (i, j) at (i, j, 0) with coordinate (i / columns, j / rows)
// (moved frame by frame by move), two triangles a quad, counter-clockwise.
SourceMesh sheet(int columns, int rows, int frames = 1, const Move& move = {}) {
    SourceMesh mesh;
    mesh.vertexCount = size_t((columns + 1) * (rows + 1));
    for (int j = 0; j <= rows; ++j)
        for (int i = 0; i <= columns; ++i) mesh.texCoords.insert(mesh.texCoords.end(), {float(i) / columns, float(j) / rows});
    for (int j = 0; j < rows; ++j)
        for (int i = 0; i < columns; ++i) {
            const uint32_t a = uint32_t(j * (columns + 1) + i), b = a + 1, c = a + uint32_t(columns) + 1, d = c + 1;
            mesh.triangles.insert(mesh.triangles.end(), {a, b, d, a, d, c});
        }
    SourceAnimation animation;
    animation.name = frames > 1 ? "wave" : "";
    for (int f = 0; f < frames; ++f) {
        SourceFrame frame;
        for (int j = 0; j <= rows; ++j)
            for (int i = 0; i <= columns; ++i) {
                float p[3] = {float(i), float(j), 0};
                if (move) move(f, i, j, p);
                frame.positions.insert(frame.positions.end(), p, p + 3);
            }
        animation.frames.push_back(frame);
    }
    mesh.animations.push_back(animation);
    return mesh;
}

SourcePicture picture(int width, int height, const std::function<std::array<uint8_t, 4>(int x, int y)>& pixel) {
    SourcePicture p;
    p.name = "picture";
    p.width = width;
    p.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::array<uint8_t, 4> c = pixel(x, y);
            p.rgba.insert(p.rgba.end(), c.begin(), c.end());
        }
    return p;
}

void withPicture(SourceMesh& mesh, const SourcePicture& p) {
    mesh.pictures = {p};
    mesh.trianglePicture.assign(mesh.triangles.size() / 3, 0);
}

ModelPtr loaded(const Md2MakeResult& result) {
    return ModelPtr(modelLoadFromBytes(result.model.data(), result.model.size()));
}

std::array<float, 3> sourceAxes(const ModelVertex& v) {
    std::array<float, 3> p;
    exportPosition(v, 1.0, p.data());
    return p;
}

// The file's step on each axis in frame f.
std::array<float, 3> stepOf(const std::vector<uint8_t>& bytes, int f) {
    const size_t frame = size_t(rawInt32(bytes, 56)) + size_t(f) * size_t(rawInt32(bytes, 16));
    // File axes (x, y, z) are source (z, x, y): give them in source order.
    return {rawFloat(bytes, frame + 4), rawFloat(bytes, frame + 8), rawFloat(bytes, frame)};
}

// Every triangle the command stream draws, as (vertex, s, t) corners
// turned to start at their lowest vertex; likewise for the triangle list.
using Corner = std::array<int32_t, 3>;
using Triangle = std::array<Corner, 3>;
Triangle canonical(Triangle t) {
    while (t[0] > t[1] || t[0] > t[2]) t = {t[1], t[2], t[0]};
    return t;
}
std::vector<Triangle> commandTriangles(const Model& m) {
    std::vector<Triangle> out;
    int64_t at = 0;
    while (at < m.numCommands && m.commands[at] != 0) {
        const int32_t n = m.commands[at++];
        std::vector<Corner> corners;
        for (int32_t k = 0; k < std::abs(n); ++k, at += 3) {
            float s, t;
            std::memcpy(&s, &m.commands[at], 4);
            std::memcpy(&t, &m.commands[at + 1], 4);
            corners.push_back({m.commands[at + 2], int32_t(std::lround(s * m.skinWidth)), int32_t(std::lround(t * m.skinHeight))});
        }
        for (size_t i = 0; i + 2 < corners.size(); ++i) {
            if (n < 0)
                out.push_back(canonical({corners[0], corners[i + 1], corners[i + 2]}));
            else if (i % 2 == 0)
                out.push_back(canonical({corners[i], corners[i + 1], corners[i + 2]}));
            else
                out.push_back(canonical({corners[i + 1], corners[i], corners[i + 2]}));
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}
std::vector<Triangle> listTriangles(const Model& m) {
    std::vector<Triangle> out;
    for (int32_t i = 0; i < m.numTriangles; ++i) {
        Triangle t;
        for (int k = 0; k < 3; ++k) {
            const ModelTexCoord& c = m.texCoords[m.triangles[i].texCoordIndex[k]];
            t[size_t(k)] = {m.triangles[i].vertexIndex[k], c.s, c.t};
        }
        out.push_back(canonical(t));
    }
    std::sort(out.begin(), out.end());
    return out;
}

// The made vertex nearest p in frame f.
int nearestVertex(const Model& m, int f, const float* p) {
    int best = 0;
    double bestDistance = HUGE_VAL;
    for (int v = 0; v < m.numVertices; ++v) {
        const std::array<float, 3> q = sourceAxes(m.frames[f].vertices[v]);
        const double d = std::hypot(q[0] - p[0], q[1] - p[1], q[2] - p[2]);
        if (d < bestDistance) {
            bestDistance = d;
            best = v;
        }
    }
    return best;
}

bool mentions(const std::vector<std::string>& lines, const std::string& text) {
    for (const std::string& line : lines)
        if (line.find(text) != std::string::npos) return true;
    return false;
}

}  // namespace

// A textured sheet comes back whole: its triangles wound as the file winds
// them, its coordinates in pixels, commands drawing exactly the triangle
// list, a clean check, its picture as the skin.
TEST(Md2Maker, MadeModelReadsBackAsItsSource) {
    SourceMesh mesh = sheet(6, 4);
    // 64 colours: the skin's 8 bits hold them exactly.
    withPicture(mesh, picture(60, 40, [](int x, int y) { return std::array<uint8_t, 4>{uint8_t(x % 8 * 30), uint8_t(y % 8 * 30), 77, 255}; }));
    Md2MakeOptions options;
    options.skinName = "models/sheet/skin.pcx";
    const Md2MakeResult made = makeMd2(mesh, options);
    ASSERT_TRUE(made.ok) << made.error;
    EXPECT_TRUE(made.warnings.empty()) << made.warnings[0];
    const ModelCheck check = modelCheck(made.model.data(), made.model.size());
    EXPECT_EQ(check.refusal, "");
    EXPECT_TRUE(check.problems.empty()) << check.problems[0];
    ModelPtr m = loaded(made);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->numVertices, 35);
    EXPECT_EQ(m->numTriangles, 48);
    EXPECT_EQ(m->numTexCoords, 35);
    EXPECT_EQ(m->skinWidth, 60);
    EXPECT_EQ(m->skinHeight, 40);
    ASSERT_EQ(m->numSkins, 1);
    EXPECT_STREQ(m->skins[0], "models/sheet/skin.pcx");
    for (int t = 0; t < m->numTriangles; ++t)
        for (int k = 0; k < 3; ++k) {
            // The file's corner k is the source's corner (0, 2, 1)[k].
            const uint32_t source = mesh.triangles[size_t(3 * t + (3 - k) % 3)];
            const std::array<float, 3> p = sourceAxes(m->frames[0].vertices[m->triangles[t].vertexIndex[k]]);
            for (int a = 0; a < 3; ++a) EXPECT_NEAR(p[size_t(a)], mesh.animations[0].frames[0].positions[3 * source + size_t(a)], 6.0 / 255 / 2 + 1e-5);
            const ModelTexCoord& c = m->texCoords[m->triangles[t].texCoordIndex[k]];
            EXPECT_EQ(c.s, std::lround(mesh.texCoords[2 * source] * 60));
            EXPECT_EQ(c.t, std::lround(mesh.texCoords[2 * source + 1] * 40));
        }
    EXPECT_EQ(commandTriangles(*m), listTriangles(*m));
    EXPECT_EQ(made.commandWords, m->numCommands);
    EXPECT_LT(made.commandWords, made.triangleListWords);
    EXPECT_EQ(made.triangleListWords, 481);

    std::unique_ptr<mxImage> skin(readPcxImageFromBytes(made.skin.data(), made.skin.size()));
    ASSERT_TRUE(skin);
    ASSERT_EQ(skin->width, 60);
    for (int i = 0; i < 60 * 40; ++i)
        for (int c = 0; c < 3; ++c)
            ASSERT_EQ(skin->palette[3 * skin->data[i] + c], mesh.pictures[0].rgba[size_t(4 * i + c)]) << "pixel " << i;
    EXPECT_EQ(makeMd2(mesh, options).model, made.model) << "the same bytes every time";
}

// The left half of a sheet stands still while the right half waves and
// stretches every frame's box: the still vertices decode to one place in
// every frame, and no vertex is more than half a step from its source.
TEST(Md2Maker, StillVerticesOfAnAnimationDecodeToOnePlaceInEveryFrame) {
    const SourceMesh mesh = sheet(8, 3, 24, [](int f, int i, int j, float p[3]) {
        if (i <= 4) return;
        p[2] = float(std::sin(0.4 * f + i) * (i - 4) * 1.5 + 0.02 * j);
        p[0] += float(0.1 * f * (i - 4));
    });
    for (bool boxPerFrame : {false, true}) {
        Md2MakeOptions options;
        options.boxPerFrame = boxPerFrame;
        const Md2MakeResult made = makeMd2(mesh, options);
        ASSERT_TRUE(made.ok) << made.error;
        ModelPtr m = loaded(made);
        ASSERT_TRUE(m);
        ASSERT_EQ(m->numFrames, 24);
        ASSERT_EQ(made.animations.size(), 1u);
        EXPECT_EQ(made.animations[0].frames, 24);
        EXPECT_LE(made.animations[0].largestErrorSteps, 0.5 + 1e-4);
        double wander = 0;
        for (int v = 0; v < int(mesh.vertexCount); ++v) {
            const float* first = &mesh.animations[0].frames[0].positions[3 * size_t(v)];
            const int made0 = nearestVertex(*m, 0, first);
            for (int f = 0; f < 24; ++f) {
                const float* p = &mesh.animations[0].frames[size_t(f)].positions[3 * size_t(v)];
                const int mv = nearestVertex(*m, f, p);
                const std::array<float, 3> q = sourceAxes(m->frames[f].vertices[mv]);
                const std::array<float, 3> step = stepOf(made.model, f);
                for (int a = 0; a < 3; ++a) ASSERT_LE(std::fabs(q[size_t(a)] - p[a]), step[size_t(a)] * (0.5 + 1e-4) + 1e-6);
                if (v % 9 > 4) continue;  // a vertex that moves
                ASSERT_EQ(mv, made0);
                const std::array<float, 3> at0 = sourceAxes(m->frames[0].vertices[made0]);
                for (int a = 0; a < 3; ++a) {
                    const double moved = std::fabs(q[size_t(a)] - at0[size_t(a)]);
                    wander = std::max(wander, moved / step[size_t(a)]);
                    if (!boxPerFrame) {
                        ASSERT_LE(moved, 1e-3 * step[size_t(a)]) << "still vertex " << v << " frame " << f << " axis " << a;
                    }
                }
            }
        }
        if (boxPerFrame) {
            EXPECT_GT(wander, 0.01) << "boxes of their own move the still vertices";
        }
    }
}

// Where a texture's seam runs, one place has two coordinates: one vertex,
// two texture coordinates, and no command runs across the seam. Vertices
// together in the first frame only stay apart.
TEST(Md2Maker, SeamsAreKeptAndWeldingFollowsEveryFrame) {
    SourceMesh mesh;
    constexpr int kSegments = 8;
    for (int ring = 0; ring < 2; ++ring)
        for (int s = 0; s <= kSegments; ++s) mesh.texCoords.insert(mesh.texCoords.end(), {float(s) / kSegments, float(ring)});
    mesh.vertexCount = 2 * (kSegments + 1);
    for (uint32_t s = 0; s < kSegments; ++s) {
        const uint32_t a = s, b = s + 1, c = s + kSegments + 1, d = c + 1;
        mesh.triangles.insert(mesh.triangles.end(), {a, d, b, a, c, d});
    }
    SourceAnimation animation;
    animation.name = "turn";
    for (int f = 0; f < 2; ++f) {
        SourceFrame frame;
        for (int ring = 0; ring < 2; ++ring)
            for (int s = 0; s <= kSegments; ++s) {
                const double angle = 2 * 3.14159265358979 * (s % kSegments) / kSegments;
                // In frame 1 the seam opens on the lower ring.
                const double open = (f == 1 && ring == 0 && s == kSegments) ? 0.5 : 0.0;
                frame.positions.insert(frame.positions.end(), {float(std::cos(angle) + open), float(ring), float(std::sin(angle))});
            }
        animation.frames.push_back(frame);
    }
    mesh.animations = {animation};
    withPicture(mesh, picture(64, 16, [](int x, int y) { return std::array<uint8_t, 4>{uint8_t(x), uint8_t(y), 0, 255}; }));
    const Md2MakeResult made = makeMd2(mesh, {});
    ASSERT_TRUE(made.ok) << made.error;
    ModelPtr m = loaded(made);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->numVertices, 2 * kSegments + 1);  // the upper ring's seam welded, the lower's not
    EXPECT_EQ(m->numTexCoords, 2 * (kSegments + 1));
    EXPECT_EQ(commandTriangles(*m), listTriangles(*m));
}

// Triangles a whole repeat or more away move into the picture; those
// across a repeat's edge are refused, counted, and nothing is made.
TEST(Md2Maker, TrianglesInOtherRepeatsMoveAndThoseAcrossAnEdgeAreRefused) {
    SourceMesh mesh = sheet(2, 1);
    withPicture(mesh, picture(16, 8, [](int, int) { return std::array<uint8_t, 4>{9, 9, 9, 255}; }));
    for (size_t v = 0; v < mesh.vertexCount; ++v) {
        mesh.texCoords[2 * v] += 3;      // three repeats to the right
        mesh.texCoords[2 * v + 1] -= 1;  // one up
    }
    const Md2MakeResult moved = makeMd2(mesh, {});
    ASSERT_TRUE(moved.ok) << moved.error;
    ModelPtr m = loaded(moved);
    for (int i = 0; i < m->numTexCoords; ++i) {
        EXPECT_GE(m->texCoords[i].s, 0);
        EXPECT_LE(m->texCoords[i].s, 16);
        EXPECT_GE(m->texCoords[i].t, 0);
        EXPECT_LE(m->texCoords[i].t, 8);
    }
    SourceMesh unmoved = sheet(2, 1);
    unmoved.pictures = mesh.pictures;
    unmoved.trianglePicture = mesh.trianglePicture;
    EXPECT_EQ(listTriangles(*m), listTriangles(*loaded(makeMd2(unmoved, {}))));

    // Vertex 0, a corner of two triangles, a quarter repeat over: both span an edge.
    SourceMesh across = mesh;
    across.texCoords[0] -= 0.25f;
    const Md2MakeResult refused = makeMd2(across, {});
    EXPECT_FALSE(refused.ok);
    EXPECT_EQ(refused.error, "2 triangles' texture coordinates span more than one repeat of the picture: one skin can't hold them");
    EXPECT_TRUE(refused.model.empty());
    EXPECT_TRUE(refused.skin.empty());
}

// Two pictures become one skin side by side, each triangle's coordinates
// moved with its picture; what neither covers is black.
TEST(Md2Maker, TwoPicturesArePackedSideBySide) {
    SourceMesh mesh = sheet(2, 1);
    mesh.pictures = {picture(4, 4, [](int, int) { return std::array<uint8_t, 4>{255, 0, 0, 255}; }),
                     picture(8, 2, [](int, int) { return std::array<uint8_t, 4>{0, 0, 255, 255}; })};
    mesh.trianglePicture = {0, 0, 1, 1};  // the left quad red, the right blue
    const Md2MakeResult made = makeMd2(mesh, {});
    ASSERT_TRUE(made.ok) << made.error;
    ModelPtr m = loaded(made);
    EXPECT_EQ(m->skinWidth, 12);
    EXPECT_EQ(m->skinHeight, 4);
    for (int t = 0; t < m->numTriangles; ++t) {
        // File triangles keep the source's order.
        const bool blue = t >= 2;
        for (int k = 0; k < 3; ++k) {
            const uint32_t source = mesh.triangles[size_t(3 * t + (3 - k) % 3)];
            const ModelTexCoord& c = m->texCoords[m->triangles[t].texCoordIndex[k]];
            if (blue) {
                EXPECT_EQ(c.s, 4 + std::lround(mesh.texCoords[2 * source] * 8));
                EXPECT_EQ(c.t, std::lround(mesh.texCoords[2 * source + 1] * 2));
            } else {
                EXPECT_EQ(c.s, std::lround(mesh.texCoords[2 * source] * 4));
                EXPECT_EQ(c.t, std::lround(mesh.texCoords[2 * source + 1] * 4));
            }
        }
    }
    std::unique_ptr<mxImage> skin(readPcxImageFromBytes(made.skin.data(), made.skin.size()));
    ASSERT_TRUE(skin);
    auto rgb = [&](int x, int y) {
        const uint8_t* c = &skin->palette[3 * skin->data[y * 12 + x]];
        return std::array<int, 3>{c[0], c[1], c[2]};
    };
    EXPECT_EQ(rgb(0, 0), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgb(3, 3), (std::array<int, 3>{255, 0, 0}));
    EXPECT_EQ(rgb(4, 0), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgb(11, 1), (std::array<int, 3>{0, 0, 255}));
    EXPECT_EQ(rgb(11, 2), (std::array<int, 3>{0, 0, 0}));
}

// Onto a palette given: fully transparent pixels take 255 and nothing
// opaque does, not even a pixel of entry 255's own colour.
TEST(Md2Maker, AGivenPaletteKeepsIndex255ForTransparentPixels) {
    SourceMesh mesh = sheet(1, 1);
    withPicture(mesh, picture(4, 1, [](int x, int) {
        switch (x) {
        case 0: return std::array<uint8_t, 4>{255, 0, 255, 0};    // transparent
        case 1: return std::array<uint8_t, 4>{255, 0, 255, 255};  // entry 255's colour, opaque
        case 2: return std::array<uint8_t, 4>{10, 20, 30, 128};   // half: opaque
        default: return std::array<uint8_t, 4>{200, 200, 200, 255};
        }
    }));
    Md2MakeOptions options;
    options.palette.assign(768, 0);
    for (int i = 0; i < 255; ++i) options.palette[size_t(3 * i)] = options.palette[size_t(3 * i + 1)] = options.palette[size_t(3 * i + 2)] = uint8_t(i);
    options.palette[765] = 255;
    options.palette[767] = 255;
    const Md2MakeResult made = makeMd2(mesh, options);
    ASSERT_TRUE(made.ok) << made.error;
    std::unique_ptr<mxImage> skin(readPcxImageFromBytes(made.skin.data(), made.skin.size()));
    ASSERT_TRUE(skin);
    EXPECT_EQ(std::vector<int>(skin->data, skin->data + 4), (std::vector<int>{255, 170, 20, 200}));
    EXPECT_EQ(std::vector<uint8_t>(skin->palette, skin->palette + 768), options.palette);
}

// Without texture coordinates there is no skin, said in one line, unless a
// picture is given; the header still has a size and every triangle draws.
TEST(Md2Maker, NoCoordinatesMeanNoSkinUnlessAPictureIsGiven) {
    SourceMesh mesh = sheet(2, 2);
    mesh.texCoords.clear();
    const Md2MakeResult bare = makeMd2(mesh, {});
    ASSERT_TRUE(bare.ok) << bare.error;
    EXPECT_TRUE(bare.skin.empty());
    EXPECT_EQ(bare.warnings, std::vector<std::string>{"the source has no texture coordinates: no skin"});
    ModelPtr m = loaded(bare);
    EXPECT_EQ(m->numTexCoords, 1);
    EXPECT_EQ(m->numSkins, 0);
    EXPECT_EQ(modelCheck(bare.model.data(), bare.model.size()).problems, std::vector<std::string>{});

    const std::vector<uint8_t> rgb(5 * 3 * 3, 128);
    Md2MakeOptions options;
    options.pictureRgb = rgb.data();
    options.pictureWidth = 5;
    options.pictureHeight = 3;
    options.skinName = "skin.pcx";
    const Md2MakeResult given = makeMd2(mesh, options);
    ASSERT_TRUE(given.ok) << given.error;
    EXPECT_FALSE(given.skin.empty());
    EXPECT_TRUE(mentions(given.warnings, "every vertex takes the skin's top-left pixel"));
    EXPECT_EQ(loaded(given)->numSkins, 1);
    EXPECT_EQ(loaded(given)->skinWidth, 5);
}

// Source normals are used where they are; without them the faces give
// them, and a closed shape's point outwards, each its own.
TEST(Md2Maker, NormalsComeFromTheSourceOrFromTheFaces) {
    // An octahedron: six corners on the axes, eight faces, counter-clockwise from outside.
    SourceMesh mesh;
    mesh.vertexCount = 6;
    const float corners[] = {1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1, 0, 0, 0, 1, 0, 0, -1};
    mesh.triangles = {0, 2, 4, 2, 1, 4, 1, 3, 4, 3, 0, 4, 2, 0, 5, 1, 2, 5, 3, 1, 5, 0, 3, 5};
    mesh.animations = {{"", {SourceFrame{"", std::vector<float>(corners, corners + 18), {}}}}};
    const Md2MakeResult faces = makeMd2(mesh, {});
    ASSERT_TRUE(faces.ok) << faces.error;
    ModelPtr m = loaded(faces);
    ASSERT_EQ(m->numVertices, 6);
    for (int v = 0; v < 6; ++v) {
        const ModelVertex& x = m->frames[0].vertices[v];
        // The normal (table axes, the file's) points the way the corner does (viewer axes: file (x, z, -y)).
        EXPECT_NEAR(x.nx * x.x + x.ny * -x.z + x.nz * x.y, 1.0, 1e-5) << "vertex " << v;
    }
    EXPECT_LT(faces.animations[0].largestNormalErrorDegrees, 0.01);

    mesh.animations[0].frames[0].normals.assign(18, 0);
    for (int v = 0; v < 6; ++v) mesh.animations[0].frames[0].normals[3 * size_t(v) + 1] = 1;  // all up (+Y)
    const Md2MakeResult given = makeMd2(mesh, {});
    ASSERT_TRUE(given.ok);
    ModelPtr g = loaded(given);
    for (int v = 0; v < 6; ++v) EXPECT_EQ(g->frames[0].vertices[v].nz, 1.0f) << "the table's up, the file's +z";

    // A normal that is no number is the faces' instead: corner +X's, the file's +y.
    mesh.animations[0].frames[0].normals[1] = NAN;
    const Md2MakeResult broken = makeMd2(mesh, {});
    ASSERT_TRUE(broken.ok) << broken.error;
    ModelPtr b = loaded(broken);
    int fromFaces = 0;
    for (int v = 0; v < 6; ++v) fromFaces += b->frames[0].vertices[v].ny == 1.0f;
    EXPECT_EQ(fromFaces, 1);
}

// A height fits the first frame to it (the source's +Y, the file's z).
TEST(Md2Maker, HeightScalesTheFirstFrame) {
    const SourceMesh mesh = sheet(3, 5);
    Md2MakeOptions options;
    options.height = 2;
    options.scale = 7;  // not used with a height
    const Md2MakeResult made = makeMd2(mesh, options);
    ASSERT_TRUE(made.ok) << made.error;
    ModelPtr m = loaded(made);
    float low = 1e9f, high = -1e9f;
    for (int v = 0; v < m->numVertices; ++v) {
        low = std::min(low, m->frames[0].vertices[v].y);
        high = std::max(high, m->frames[0].vertices[v].y);
    }
    EXPECT_NEAR(high - low, 2.0f, 1e-5);
    // Errors are in the source's units: a step of the scaled model is 2.5 times smaller.
    EXPECT_LE(made.animations[0].largestError, 5.0 / 255 / 2 * std::sqrt(3.0));
}

// What the format or our reader can't hold is refused in one line with
// nothing made; what engines of the format's era refuse is a warning, and
// with strict a refusal.
TEST(Md2Maker, LimitsAreRefusedOrWarned) {
    auto expectRefused = [](const SourceMesh& mesh, const Md2MakeOptions& options, const std::string& error) {
        const Md2MakeResult r = makeMd2(mesh, options);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.error, error);
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
        EXPECT_TRUE(r.model.empty() && r.skin.empty());
    };
    const Md2MakeOptions plain, strict = [] {
        Md2MakeOptions o;
        o.strict = true;
        return o;
    }();
    expectRefused(sheet(45, 45), plain, "2116 vertices a frame, more than the 2070 a frame of the format holds");

    const SourceMesh many = sheet(1024, 1);  // 2050 vertices, 2048 triangles
    const Md2MakeResult warned = makeMd2(many, plain);
    ASSERT_TRUE(warned.ok) << warned.error;
    const std::string overVertices = "2050 vertices a frame, more than the 2048 that engines of the format's era take";
    EXPECT_TRUE(mentions(warned.warnings, overVertices));
    EXPECT_EQ(modelCheck(warned.model.data(), warned.model.size()).problems, std::vector<std::string>{overVertices})
        << "info lists it too";
    expectRefused(many, strict, overVertices + " (refused as strict)");

    SourceMesh triangles = sheet(10, 10);  // 200 triangles, repeated to 4200
    const std::vector<uint32_t> once = triangles.triangles;
    for (int i = 0; i < 20; ++i) triangles.triangles.insert(triangles.triangles.end(), once.begin(), once.end());
    const Md2MakeResult repeated = makeMd2(triangles, plain);
    ASSERT_TRUE(repeated.ok) << repeated.error;
    EXPECT_TRUE(mentions(repeated.warnings, "4200 triangles, more than the 4096"));
    EXPECT_EQ(commandTriangles(*loaded(repeated)), listTriangles(*loaded(repeated)));

    const SourceMesh frames = sheet(1, 1, 513, [](int f, int, int, float p[3]) { p[2] = float(f); });
    const Md2MakeResult longer = makeMd2(frames, plain);
    ASSERT_TRUE(longer.ok) << longer.error;
    EXPECT_TRUE(mentions(longer.warnings, "513 frames, more than the 512 that engines of the format's era take"));

    const SourceMesh decoded = sheet(40, 49, 520);  // 2050 vertices x 520 frames
    expectRefused(decoded, plain, "520 frames of 2050 vertices, more than the 1048576 vertices our reader takes in all");

    SourceMesh tall = sheet(1, 1);
    withPicture(tall, picture(2, 481, [](int, int) { return std::array<uint8_t, 4>{1, 2, 3, 255}; }));
    EXPECT_EQ(makeMd2(tall, plain).warnings, std::vector<std::string>{"a skin 481 pixels high, more than the 480 that engines of the format's era take"});
    expectRefused(tall, strict, "a skin 481 pixels high, more than the 480 that engines of the format's era take (refused as strict)");

    SourceMesh wideSkin = sheet(1, 1);
    wideSkin.pictures = {picture(16384, 1, [](int, int) { return std::array<uint8_t, 4>{0, 0, 0, 255}; }),
                         picture(16384, 1, [](int, int) { return std::array<uint8_t, 4>{0, 0, 0, 255}; })};
    wideSkin.trianglePicture = {0, 1};
    expectRefused(wideSkin, plain, "a skin of 32768x1 pixels, more than the 32767 texture coordinates reach");

    // Over 32768 texture coordinates: 11,000 triangles over three places, each corner its own pixel.
    SourceMesh coordinates;
    coordinates.vertexCount = 33000;
    SourceFrame frame;
    for (uint32_t v = 0; v < 33000; ++v) {
        coordinates.triangles.push_back(v);
        frame.positions.insert(frame.positions.end(), {float(v % 3 == 1), float(v % 3 == 2), 0});
        coordinates.texCoords.insert(coordinates.texCoords.end(), {float(v % 256) / 256, float(v / 256) / 256});
    }
    coordinates.animations = {{"", {frame}}};
    withPicture(coordinates, picture(256, 256, [](int, int) { return std::array<uint8_t, 4>{0, 0, 0, 255}; }));
    expectRefused(coordinates, plain, "33000 texture coordinates, more than the 16-bit indices reach");

    // Past 16 MiB: 700,000 triangles over three vertices.
    SourceMesh big = sheet(1, 1);
    big.texCoords.clear();
    big.triangles.clear();
    for (int i = 0; i < 700000; ++i) big.triangles.insert(big.triangles.end(), {0u, 1u, 3u});
    expectRefused(big, plain, "the model would take at least 16800128 bytes, more than the 16777216 a model file may have");
}

// A source that contradicts itself is refused in one line, never read past.
TEST(Md2Maker, InconsistentSourcesAreRefusedInOneLine) {
    const SourceMesh good = sheet(2, 2);
    auto refused = [](const SourceMesh& mesh, const Md2MakeOptions& options = {}) {
        const Md2MakeResult r = makeMd2(mesh, options);
        EXPECT_FALSE(r.ok);
        EXPECT_FALSE(r.error.empty());
        EXPECT_EQ(r.error.find('\n'), std::string::npos);
        return r.error;
    };
    SourceMesh m = good;
    m.triangles[4] = 9;
    EXPECT_EQ(refused(m), "a triangle uses vertex 9 of 9");
    m = good;
    m.triangles.pop_back();
    refused(m);
    m = good;
    m.animations[0].frames[0].positions[7] = NAN;
    EXPECT_EQ(refused(m), "a position is not a finite number");
    m = good;
    m.animations[0].frames[0].positions.pop_back();
    refused(m);
    m = good;
    m.animations[0].frames[0].normals.assign(5, 0);
    refused(m);
    m = good;
    m.texCoords[3] = INFINITY;
    refused(m);
    m = good;
    m.trianglePicture = {0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(refused(m), "a triangle uses picture 0 of 0");
    m = good;
    m.animations.clear();
    refused(m);
    m = good;
    m.animations[0].frames.clear();
    refused(m);
    m = good;
    withPicture(m, picture(2, 2, [](int, int) { return std::array<uint8_t, 4>{0, 0, 0, 0}; }));
    m.pictures[0].rgba.pop_back();
    refused(m);
    m = good;
    for (float& p : m.animations[0].frames[0].positions) p = 0;  // every triangle has no area
    EXPECT_EQ(refused(m), "every triangle has two corners in one place: nothing to draw");
    Md2MakeOptions options;
    options.scale = 0;
    refused(good, options);
    options = {};
    options.palette.assign(100, 0);
    refused(good, options);
    options = {};
    options.skinName.assign(64, 'a');
    refused(good, options);
    options = {};
    options.scale = 1e38;
    EXPECT_EQ(refused(good, options), "a position lies too far out for the format's numbers once scaled");
}
