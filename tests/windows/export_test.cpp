// The export in the Windows build: a small model out to .glb and .obj, the
// .glb read back by tinygltf's loader, as on Linux (where the export's own
// suite checks every frame of real models).
#include <gtest/gtest.h>

#include <cstdio>
#include <windows.h>

#include "model/export.h"
#include "model/gltf.h"
#include "model/md2_writer.h"

namespace {

TEST(WindowsExport, SmallModelOutToGlbAndObj) {
    Md2Model md2;
    md2.texCoords = {{0, 0}, {32, 0}, {0, 32}};
    md2.triangles = {{{0, 1, 2}, {0, 1, 2}}};
    for (int f = 0; f < 3; ++f)
        md2.frames.push_back(md2FrameFromPositions("wave" + std::to_string(f + 1), {{0, 0, 0}, {0, 8, 0}, {0, 0, 8.0f + f}}, 0));
    const std::vector<uint8_t> bytes = md2Bytes(md2);
    char folder[MAX_PATH], path[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, folder), 0u);
    ASSERT_NE(GetTempFileNameA(folder, "omb", 0, path), 0u);
    FILE* file = std::fopen(path, "wb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fwrite(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    Model* model = modelLoad(path);
    DeleteFileA(path);
    ASSERT_NE(model, nullptr);

    const std::vector<uint8_t> skin(2 * 2 * 3, 128);
    ExportOptions options;
    options.skin = {skin.data(), 2, 2};
    options.quantize = true;
    const ExportResult glb = exportGltf(model, options, "C:\\out\\wave.glb");
    ASSERT_TRUE(glb.ok) << glb.error;
    tinygltf::TinyGLTF loader;
    tinygltf::Model gltf;
    std::string error, warning;
    // The picture is PNG bytes; tinygltf, built without a decoder, keeps them.
    loader.SetImageLoader(
        [](tinygltf::Image*, const int, std::string*, std::string*, int, int, const unsigned char* png, int size,
           void*) { return size > 8 && png[1] == 'P' && png[2] == 'N' && png[3] == 'G'; },
        nullptr);
    ASSERT_TRUE(loader.LoadBinaryFromMemory(&gltf, &error, &warning, glb.files.at(0).bytes.data(),
                                            unsigned(glb.files.at(0).bytes.size())))
        << error;
    EXPECT_EQ(gltf.meshes.at(0).primitives.at(0).targets.size(), 3u);
    ASSERT_EQ(gltf.animations.size(), 1u);
    EXPECT_EQ(gltf.animations[0].name, "wave");

    const ExportResult obj = exportObj(model, 2, options, "C:\\out\\wave.obj");
    ASSERT_TRUE(obj.ok) << obj.error;
    ASSERT_EQ(obj.files.size(), 3u);
    EXPECT_EQ(obj.files[1].name, "C:\\out\\wave.mtl");
    EXPECT_EQ(obj.files[2].name, "C:\\out\\wave.png");
    modelFree(model);
}

}  // namespace
