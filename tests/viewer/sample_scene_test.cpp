// The demo's sample scene is the first thing a user sees: its models must
// load, animate, and face the way the viewer's culling expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <set>

#include "image/image.h"
#include "model/model.h"
#include "assets/sample_scene.h"
#include "tests/writers/scratch_dir.h"

namespace {

struct Loaded {
    testdata::ScratchDir dir;
    Model* model = nullptr;
    explicit Loaded(const Md2Model& source) { model = modelLoad(dir.write("m.md2", md2Bytes(source)).c_str()); }
    ~Loaded() { modelFree(model); }
};

using Triangle = std::array<int, 3>;

// A triangle in a canonical rotation that keeps its winding.
Triangle canonical(Triangle t) {
    while (t[0] != std::min({t[0], t[1], t[2]})) t = {t[1], t[2], t[0]};
    return t;
}

// The triangles a command stream makes, by OpenGL's strip and fan rules.
std::multiset<Triangle> commandTriangles(const Model& m) {
    std::multiset<Triangle> out;
    int i = 0;
    while (i < m.numCommands && m.commands[i] != 0) {
        const int count = m.commands[i] > 0 ? m.commands[i] : -m.commands[i];
        const bool fan = m.commands[i] < 0;
        std::vector<int> v;
        for (int k = 0; k < count; ++k) v.push_back(m.commands[i + 1 + 3 * k + 2]);
        for (int k = 0; k + 2 < count; ++k) {
            if (fan)
                out.insert(canonical({v[0], v[size_t(k) + 1], v[size_t(k) + 2]}));
            else if (k % 2 == 0)
                out.insert(canonical({v[size_t(k)], v[size_t(k) + 1], v[size_t(k) + 2]}));
            else
                out.insert(canonical({v[size_t(k) + 1], v[size_t(k)], v[size_t(k) + 2]}));
        }
        i += 1 + 3 * count;
    }
    return out;
}

void expectWellMade(const Md2Model& source, const char* what) {
    Loaded loaded(source);
    const Model* m = loaded.model;
    ASSERT_NE(m, nullptr) << what;
    EXPECT_EQ(m->numFrames, kSampleFrames) << what;

    std::multiset<Triangle> listed;
    for (int t = 0; t < m->numTriangles; ++t) {
        const ModelTriangle& tri = m->triangles[t];
        for (int k = 0; k < 3; ++k) {
            ASSERT_LT(tri.vertexIndex[k], m->numVertices) << what;
            ASSERT_LT(tri.texCoordIndex[k], m->numTexCoords) << what;
        }
        listed.insert(canonical({tri.vertexIndex[0], tri.vertexIndex[1], tri.vertexIndex[2]}));
    }
    EXPECT_EQ(commandTriangles(*m), listed) << what << ": the strips and the list describe one surface";

    // Wound like the format's own models: the right-hand normal of each
    // triangle points inward, against the stored outward normals, so
    // culling the front faces keeps the outside.
    for (int f = 0; f < m->numFrames; ++f) {
        const ModelVertex* v = m->frames[f].vertices;
        int inward = 0, outward = 0;
        for (int t = 0; t < m->numTriangles; ++t) {
            const ModelVertex &a = v[m->triangles[t].vertexIndex[0]], &b = v[m->triangles[t].vertexIndex[1]],
                              &c = v[m->triangles[t].vertexIndex[2]];
            const float ux = b.x - a.x, uy = b.y - a.y, uz = b.z - a.z;
            const float wx = c.x - a.x, wy = c.y - a.y, wz = c.z - a.z;
            const float nx = uy * wz - uz * wy, ny = uz * wx - ux * wz, nz = ux * wy - uy * wx;
            // Stored normals are in the table's axes; positions in the viewer's: map (x, y, z) to (x, z, -y).
            float sx = 0, sy = 0, sz = 0;
            for (const ModelVertex* p : {&a, &b, &c}) sx += p->nx, sy += p->nz, sz -= p->ny;
            // Along a thin fin's edges, and where the swaying fin bends more
            // than it is thick, the smooth normals lie across the faces; only
            // faces that clearly agree or disagree with them count, and a few
            // in the fin may disagree.
            const float d = nx * sx + ny * sy + nz * sz;
            const float lengths = std::sqrt((nx * nx + ny * ny + nz * nz) * (sx * sx + sy * sy + sz * sz));
            if (d < -0.5f * lengths) ++inward;
            if (d > 0.5f * lengths) ++outward;
        }
        EXPECT_GT(inward, 10 * outward) << what << " frame " << f;
    }
}

TEST(SampleScene, ModelsLoadAndFaceOutward) {
    expectWellMade(sampleFishModel(), "fish");
    expectWellMade(sampleBubblesModel(), "bubbles");
}

TEST(SampleScene, FishSwims) {
    Loaded loaded(sampleFishModel());
    ASSERT_NE(loaded.model, nullptr);
    // The tail moves sideways from frame to frame by a good part of a unit.
    const Model* m = loaded.model;
    float largest = 0;
    for (int k = 0; k < m->numVertices; ++k) {
        float dz = m->frames[0].vertices[k].z - m->frames[kSampleFrames / 4].vertices[k].z;
        largest = std::max(largest, std::fabs(dz));
    }
    EXPECT_GT(largest, 5.0f);
}

TEST(SampleScene, FilesAndSettings) {
    testdata::ScratchDir dir;
    ASSERT_TRUE(writeSampleScene(dir.path()));
    for (const char* name : {"fish.pcx", "background.pcx", "water.pcx"}) {
        mxImage* picture = readPcxImage(dir.file(name).c_str());
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_LE(picture->width, 256);
        delete picture;
    }
    mxImage* bubbles = readTgaImage(dir.file("bubbles.tga").c_str());
    ASSERT_NE(bubbles, nullptr);
    delete bubbles;
    const ViewerConfig c = sampleSceneConfig(dir.path());
    EXPECT_EQ(c.endFrame, kSampleFrames - 1);
    EXPECT_EQ(c.renderMode, 3);
    EXPECT_STREQ(c.paths[PATH_MAIN_MODEL], "fish.md2");
}

}  // namespace
