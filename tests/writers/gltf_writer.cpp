#include "tests/writers/gltf_writer.h"

#include <cstring>
#include <nlohmann/json.hpp>
#include <sstream>

namespace testdata {

namespace {

size_t sizeOf(int componentType) {
    switch (componentType) {
    case TINYGLTF_COMPONENT_TYPE_BYTE:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE:
        return 1;
    case TINYGLTF_COMPONENT_TYPE_SHORT:
    case TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT:
        return 2;
    default:
        return 4;
    }
}

int typeOf(int components) {
    switch (components) {
    case 1:
        return TINYGLTF_TYPE_SCALAR;
    case 2:
        return TINYGLTF_TYPE_VEC2;
    case 3:
        return TINYGLTF_TYPE_VEC3;
    case 4:
        return TINYGLTF_TYPE_VEC4;
    default:
        return TINYGLTF_TYPE_MAT4;
    }
}

}  // namespace

GltfWriter::GltfWriter() {
    model_.asset.version = "2.0";
    model_.asset.generator = "Ombrel tests";
    model_.scenes.emplace_back();
    model_.defaultScene = 0;
    model_.buffers.emplace_back();
}

int GltfWriter::addView(size_t offset, size_t length, size_t stride) {
    tinygltf::BufferView view;
    view.buffer = 0;
    view.byteOffset = offset;
    view.byteLength = length;
    view.byteStride = stride;
    model_.bufferViews.push_back(view);
    return int(model_.bufferViews.size() - 1);
}

int GltfWriter::view(const std::vector<uint8_t>& bytes) {
    while (buffer_.size() % 4) buffer_.push_back(0);
    const size_t offset = buffer_.size();
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return addView(offset, bytes.size(), 0);
}

int GltfWriter::integers(const std::vector<int64_t>& values, int components, int componentType, bool normalized) {
    const size_t size = sizeOf(componentType);
    // Each element starts on 4 bytes, as vertex attributes must.
    const size_t elementSize = size * size_t(components);
    const size_t stride = (elementSize + 3) / 4 * 4;
    std::vector<uint8_t> bytes(values.size() / size_t(components) * stride);
    for (size_t i = 0; i < values.size(); ++i) {
        const size_t at = i / size_t(components) * stride + i % size_t(components) * size;
        for (size_t b = 0; b < size; ++b) bytes[at + b] = uint8_t(uint64_t(values[i]) >> (8 * b));
    }
    const int viewIndex = view(bytes);
    if (stride != elementSize) model_.bufferViews[size_t(viewIndex)].byteStride = stride;
    tinygltf::Accessor accessor;
    accessor.bufferView = viewIndex;
    accessor.componentType = componentType;
    accessor.normalized = normalized;
    accessor.type = typeOf(components);
    accessor.count = values.size() / size_t(components);
    model_.accessors.push_back(accessor);
    return int(model_.accessors.size() - 1);
}

int GltfWriter::floats(const std::vector<float>& values, int components) {
    std::vector<uint8_t> bytes(values.size() * 4);
    if (!values.empty()) std::memcpy(bytes.data(), values.data(), bytes.size());
    tinygltf::Accessor accessor;
    accessor.bufferView = view(bytes);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_FLOAT;
    accessor.type = typeOf(components);
    accessor.count = values.size() / size_t(components);
    model_.accessors.push_back(accessor);
    return int(model_.accessors.size() - 1);
}

int GltfWriter::indices(const std::vector<uint32_t>& values) {
    std::vector<uint8_t> packed;
    for (uint32_t v : values) packed.insert(packed.end(), {uint8_t(v), uint8_t(v >> 8)});
    tinygltf::Accessor accessor;
    accessor.bufferView = view(packed);
    accessor.componentType = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;
    accessor.type = TINYGLTF_TYPE_SCALAR;
    accessor.count = values.size();
    model_.accessors.push_back(accessor);
    return int(model_.accessors.size() - 1);
}

int GltfWriter::material(const std::vector<uint8_t>& png, int texCoord) {
    tinygltf::Image image;
    image.bufferView = view(png);
    image.mimeType = "image/png";
    model_.images.push_back(image);
    tinygltf::Texture texture;
    texture.source = int(model_.images.size() - 1);
    model_.textures.push_back(texture);
    tinygltf::Material material;
    material.pbrMetallicRoughness.baseColorTexture.index = int(model_.textures.size() - 1);
    material.pbrMetallicRoughness.baseColorTexture.texCoord = texCoord;
    model_.materials.push_back(material);
    return int(model_.materials.size() - 1);
}

std::vector<uint8_t> GltfWriter::glb() {
    model_.buffers[0].data = buffer_;
    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&model_, out, false, true);
    const std::string text = out.str();
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> GltfWriter::gltf(const std::string& bufferUri) {
    model_.buffers[0].data = buffer_;
    std::ostringstream out;
    tinygltf::TinyGLTF writer;
    writer.WriteGltfSceneToStream(&model_, out, true, false);
    std::string text = out.str();
    if (!bufferUri.empty()) {
        nlohmann::json json = nlohmann::json::parse(text);
        json["buffers"][0]["uri"] = bufferUri;
        text = json.dump(1);
    }
    return std::vector<uint8_t>(text.begin(), text.end());
}

int addMeshNode(GltfWriter& writer, const std::vector<float>& positions, const std::vector<uint32_t>& triangles) {
    tinygltf::Model& model = writer.model();
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.attributes["POSITION"] = writer.floats(positions, 3);
    primitive.indices = writer.indices(triangles);
    tinygltf::Mesh mesh;
    mesh.primitives.push_back(primitive);
    model.meshes.push_back(mesh);
    tinygltf::Node node;
    node.mesh = int(model.meshes.size() - 1);
    model.nodes.push_back(node);
    const int index = int(model.nodes.size() - 1);
    model.scenes[0].nodes.push_back(index);
    return index;
}

void addChannel(GltfWriter& writer, const std::string& animation, int node, const std::string& path,
                const std::string& interpolation, const std::vector<float>& times, const std::vector<float>& values) {
    tinygltf::Model& model = writer.model();
    tinygltf::Animation* target = nullptr;
    for (tinygltf::Animation& a : model.animations)
        if (a.name == animation) target = &a;
    if (!target) {
        model.animations.emplace_back();
        target = &model.animations.back();
        target->name = animation;
    }
    tinygltf::AnimationSampler sampler;
    sampler.input = writer.floats(times, 1);
    const size_t perKey = values.size() / times.size();
    const int components = path == "weights" ? 1 : int(perKey / (interpolation == "CUBICSPLINE" ? 3 : 1));
    sampler.output = writer.floats(values, components);
    sampler.interpolation = interpolation;
    target->samplers.push_back(sampler);
    tinygltf::AnimationChannel channel;
    channel.sampler = int(target->samplers.size() - 1);
    channel.target_node = node;
    channel.target_path = path;
    target->channels.push_back(channel);
}

std::string base64(const std::vector<uint8_t>& bytes) {
    static const char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const size_t left = bytes.size() - i;  // 1, 2, or 3 and more
        const uint32_t chunk = uint32_t(bytes[i]) << 16 | uint32_t(left > 1 ? bytes[i + 1] : 0) << 8 |
                               uint32_t(left > 2 ? bytes[i + 2] : 0);
        for (size_t k = 0; k < 4; ++k) text += k <= left ? kDigits[(chunk >> (18 - 6 * k)) & 63] : '=';
    }
    return text;
}

}  // namespace testdata
