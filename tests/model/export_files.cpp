#include "tests/model/export_files.h"

#include <gtest/gtest.h>
#include <stb_image.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>

#include "image/image.h"
#include "tests/writers/bytes.h"

const char* const kCorpusModels[2] = {"faerie", "sydney"};

ExportOptions CorpusSubject::options() const {
    ExportOptions options;
    options.skin.rgb = skin.data();
    options.skin.width = skinWidth;
    options.skin.height = skinHeight;
    return options;
}

CorpusSubject corpusSubject(const std::string& name) {
    CorpusSubject subject;
    subject.name = name;
    subject.model = loadCorpusModel(name + ".md2");
    std::unique_ptr<mxImage> skin(readTgaImage(corpusPath(name + ".tga").c_str()));
    EXPECT_TRUE(subject.model && skin) << name;
    if (skin) {
        subject.skin.assign(skin->data, skin->data + size_t(skin->width) * size_t(skin->height) * 3);
        subject.skinWidth = skin->width;
        subject.skinHeight = skin->height;
    }
    return subject;
}

std::string writeExportFiles(const ExportResult& result) {
    for (const ExportFile& file : result.files) EXPECT_TRUE(testdata::writeFile(file.name, file.bytes)) << file.name;
    return result.files.empty() ? std::string() : result.files.front().name;
}

namespace {

bool decodePicture(tinygltf::Image* image, const int, std::string* error, std::string*, int, int,
                   const unsigned char* bytes, int size, void*) {
    int width = 0, height = 0, channels = 0;
    stbi_uc* pixels = stbi_load_from_memory(bytes, size, &width, &height, &channels, 3);
    if (!pixels) {
        *error += "the picture does not decode";
        return false;
    }
    image->image.assign(pixels, pixels + size_t(width) * size_t(height) * 3);
    image->width = width;
    image->height = height;
    image->component = 3;
    image->bits = 8;
    image->pixel_type = TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE;
    stbi_image_free(pixels);
    return true;
}

}  // namespace

bool exportAndLoad(const Model* model, const ExportOptions& options, const testdata::ScratchDir& dir,
                   const std::string& fileName, tinygltf::Model& gltf, std::string& error) {
    const ExportResult result = exportGltf(model, options, dir.file(fileName));
    if (!result.ok) {
        error = "export refused: " + result.error;
        return false;
    }
    const std::string path = writeExportFiles(result);
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(decodePicture, nullptr);
    std::string warning;
    const bool loaded = path.size() > 4 && path.substr(path.size() - 4) == ".glb"
                            ? loader.LoadBinaryFromFile(&gltf, &error, &warning, path)
                            : loader.LoadASCIIFromFile(&gltf, &error, &warning, path);
    if (loaded && !warning.empty()) error = "loader warning: " + warning;
    return loaded && warning.empty();
}

std::vector<double> accessorValues(const tinygltf::Model& gltf, int index) {
    const tinygltf::Accessor& accessor = gltf.accessors.at(size_t(index));
    const tinygltf::BufferView& view = gltf.bufferViews.at(size_t(accessor.bufferView));
    const std::vector<unsigned char>& data = gltf.buffers.at(size_t(view.buffer)).data;
    const int components = tinygltf::GetNumComponentsInType(uint32_t(accessor.type));
    const int componentSize = tinygltf::GetComponentSizeInBytes(uint32_t(accessor.componentType));
    const size_t stride = view.byteStride ? view.byteStride : size_t(components * componentSize);
    std::vector<double> values;
    for (size_t i = 0; i < accessor.count; ++i) {
        const size_t at = view.byteOffset + accessor.byteOffset + i * stride;
        for (int c = 0; c < components; ++c) {
            (void)data.at(at + size_t((c + 1) * componentSize) - 1);  // throws past the buffer's end
            const unsigned char* p = &data[at + size_t(c * componentSize)];
            double value = 0;
            switch (accessor.componentType) {
            case TINYGLTF_COMPONENT_TYPE_FLOAT: {
                float f;
                std::memcpy(&f, p, 4);
                value = f;
                break;
            }
            case TINYGLTF_COMPONENT_TYPE_BYTE:
                value = int8_t(p[0]);
                if (accessor.normalized) value = std::max(value / 127.0, -1.0);
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
                value = p[0];
                if (accessor.normalized) value /= 255.0;
                break;
            case TINYGLTF_COMPONENT_TYPE_SHORT:
                value = int16_t(uint16_t(p[0] | p[1] << 8));
                if (accessor.normalized) value = std::max(value / 32767.0, -1.0);
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
                value = uint16_t(p[0] | p[1] << 8);
                if (accessor.normalized) value /= 65535.0;
                break;
            case TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT:
                value = uint32_t(p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24);
                break;
            default:
                ADD_FAILURE() << "component type " << accessor.componentType;
            }
            values.push_back(value);
        }
    }
    return values;
}

Md2Model triangleModel(int frames, const std::string& name) {
    Md2Model model;
    model.texCoords = {{0, 0}, {32, 0}, {0, 32}};
    model.triangles = {{{0, 1, 2}, {0, 1, 2}}};
    for (int f = 0; f < frames; ++f)
        model.frames.push_back(testdata::md2FrameFromPositions(name.empty() ? "move" + std::to_string(f + 1) : name,
                                                               {{0, 0, 0}, {0, 8, 0}, {0, 0, 8.0f + f}}, 0));
    return model;
}

void turnedAsViewed(float x, float y, float z, double out[3]) {
    // glRotatef(-90, 0, 1, 0): x' = x cos a + z sin a, z' = -x sin a + z cos a.
    const double a = -M_PI / 2;
    out[0] = x * std::cos(a) + z * std::sin(a);
    out[1] = y;
    out[2] = -x * std::sin(a) + z * std::cos(a);
}
