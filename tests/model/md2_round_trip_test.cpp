// Every corpus model made again from itself (readMd2Source, then makeMd2)
// keeps what it was: frame names, animations, triangles, texture
// coordinates, normals and skin, with positions within half a step of the
// new grid and fewer command words than the file's own.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "image/image.h"
#include "model/animations.h"
#include "model/import.h"
#include "model/md2_maker.h"
#include "tests/model/model_files.h"

namespace {

struct CorpusSkin {
    const char* model;
    const char* skin;
};

// The skin's R, G, B pixels, rows top first.
std::vector<uint8_t> skinRgb(const mxImage& image) {
    if (image.bpp == 24) return std::vector<uint8_t>(image.data, image.data + size_t(image.width) * image.height * 3);
    std::vector<uint8_t> rgb;
    for (int i = 0; i < image.width * image.height; ++i) rgb.insert(rgb.end(), &image.palette[3 * image.data[i]], &image.palette[3 * image.data[i]] + 3);
    return rgb;
}

void PrintTo(const CorpusSkin& corpus, std::ostream* out) { *out << corpus.model; }

class RoundTrip : public testing::TestWithParam<CorpusSkin> {};

}  // namespace

TEST_P(RoundTrip, CorpusModelsComeBackAsTheyWere) {
    ModelPtr original = loadCorpusModel(GetParam().model);
    ASSERT_TRUE(original);
    const std::string skinPath = corpusPath(GetParam().skin);
    std::unique_ptr<mxImage> skin(skinPath.size() > 4 && skinPath.substr(skinPath.size() - 4) == ".pcx"
                                      ? readPcxImage(skinPath.c_str())
                                      : readTgaImage(skinPath.c_str()));
    ASSERT_TRUE(skin);
    const std::vector<uint8_t> rgb = skinRgb(*skin);
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readMd2Source(*original, rgb.data(), skin->width, skin->height, {}, mesh, error)) << error;
    const Md2MakeResult made = makeMd2(mesh, {});
    ASSERT_TRUE(made.ok) << made.error;
    EXPECT_TRUE(made.warnings.empty()) << made.warnings[0];
    ModelPtr again(modelLoadFromBytes(made.model.data(), made.model.size()));
    ASSERT_TRUE(again);

    ASSERT_EQ(again->numFrames, original->numFrames);
    for (int f = 0; f < original->numFrames; ++f) ASSERT_STREQ(again->frames[f].name, original->frames[f].name);
    const std::vector<ModelAnimation> before = modelAnimations(original.get()), after = modelAnimations(again.get());
    ASSERT_EQ(after.size(), before.size());
    for (size_t a = 0; a < before.size(); ++a) {
        EXPECT_EQ(after[a].name, before[a].name);
        EXPECT_EQ(after[a].first, before[a].first);
        EXPECT_EQ(after[a].last, before[a].last);
    }

    // Triangle by triangle (the order is kept), corner by corner.
    ASSERT_EQ(again->numTriangles, original->numTriangles);
    EXPECT_EQ(again->numVertices, original->numVertices);
    EXPECT_EQ(again->skinWidth, original->skinWidth);
    EXPECT_EQ(again->skinHeight, original->skinHeight);
    const size_t frameSize = size_t(again->frameSize);
    for (int f = 0; f < original->numFrames; ++f) {
        const size_t frame = size_t(again->offsetFrames) + size_t(f) * frameSize;
        // The viewer's axes (x, y, z) are the file's (x, z, -y).
        const float step[3] = {rawFloat(made.model, frame), rawFloat(made.model, frame + 8), rawFloat(made.model, frame + 4)};
        for (int t = 0; t < original->numTriangles; ++t)
            for (int k = 0; k < 3; ++k) {
                const ModelTriangle& a = again->triangles[t];
                const ModelTriangle& b = original->triangles[t];
                const ModelVertex& va = again->frames[f].vertices[a.vertexIndex[k]];
                const ModelVertex& vb = original->frames[f].vertices[b.vertexIndex[k]];
                const float pa[3] = {va.x, va.y, va.z}, pb[3] = {vb.x, vb.y, vb.z};
                for (int axis = 0; axis < 3; ++axis)
                    ASSERT_LE(std::fabs(pa[axis] - pb[axis]), step[axis] * (0.5 + 1e-4))
                        << "frame " << f << " triangle " << t << " corner " << k << " axis " << axis;
                ASSERT_EQ(va.nx, vb.nx);
                ASSERT_EQ(va.ny, vb.ny);
                ASSERT_EQ(va.nz, vb.nz);
                if (f > 0) continue;
                EXPECT_EQ(again->texCoords[a.texCoordIndex[k]].s, original->texCoords[b.texCoordIndex[k]].s);
                EXPECT_EQ(again->texCoords[a.texCoordIndex[k]].t, original->texCoords[b.texCoordIndex[k]].t);
            }
    }
    for (const Md2AnimationReport& report : made.animations) {
        EXPECT_LE(report.largestErrorSteps, 0.5 + 1e-4) << report.name;
        EXPECT_LT(report.largestNormalErrorDegrees, 0.1) << report.name;
    }

    // Fewer command words than the file's own, covering the same triangles.
    EXPECT_LT(made.commandWords, original->numCommands);
    std::cout << GetParam().model << ": " << made.commandWords << " command words, the file's own "
              << original->numCommands << "\n";

    // The skin's pixels, through the palette made for them.
    std::unique_ptr<mxImage> pcx(readPcxImageFromBytes(made.skin.data(), made.skin.size()));
    ASSERT_TRUE(pcx);
    ASSERT_EQ(pcx->width, skin->width);
    ASSERT_EQ(pcx->height, skin->height);
    // Both corpus skins have at most 256 colours (faerie's is 8-bit), so
    // their palettes hold them exactly.
    EXPECT_EQ(skinRgb(*pcx), rgb) << "the skin comes back exactly";
}

INSTANTIATE_TEST_SUITE_P(Corpus, RoundTrip,
                         testing::Values(CorpusSkin{"faerie.md2", "faerie.pcx"}, CorpusSkin{"sydney.md2", "sydney.tga"}),
                         [](const testing::TestParamInfo<CorpusSkin>& info) {
                             return std::string(info.param.model).substr(0, std::string(info.param.model).find('.'));
                         });

// Chosen animations only, and a model whose skin was not found keeps its
// coordinates' pixels but makes no skin.
TEST(Md2Source, AnimationsCanBeChosenAndAMissingSkinKeepsItsSize) {
    ModelPtr original = loadCorpusModel("faerie.md2");
    ASSERT_TRUE(original);
    SourceReadOptions options;
    options.animations = {"run", "pain2"};
    SourceMesh mesh;
    std::string error;
    ASSERT_TRUE(readMd2Source(*original, nullptr, 0, 0, options, mesh, error)) << error;
    ASSERT_EQ(mesh.animations.size(), 2u);
    EXPECT_EQ(mesh.animations[0].name, "run");
    EXPECT_EQ(mesh.animations[0].frames.size(), 6u);
    EXPECT_EQ(mesh.animations[1].frames[0].name, "pain201");
    ASSERT_EQ(mesh.pictures.size(), 1u);
    EXPECT_TRUE(mesh.pictures[0].rgba.empty());
    const Md2MakeResult made = makeMd2(mesh, {});
    ASSERT_TRUE(made.ok) << made.error;
    EXPECT_TRUE(made.skin.empty());
    ModelPtr again(modelLoadFromBytes(made.model.data(), made.model.size()));
    ASSERT_TRUE(again);
    EXPECT_EQ(again->numFrames, 10);
    EXPECT_EQ(again->skinWidth, 220);
    EXPECT_STREQ(again->frames[6].name, "pain201");

    options.animations = {"fly"};
    EXPECT_FALSE(readMd2Source(*original, nullptr, 0, 0, options, mesh, error));
    EXPECT_EQ(error, "the model has no animation named fly");
}
