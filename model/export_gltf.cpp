// The glTF 2.0 export, written through tinygltf.
//
// One buffer holds, each in a view of its own: the triangle indices; the
// base shape's positions, normals and texture coordinates; each key frame's
// position and normal displacements from the base (its morph target); each
// animation's key times and weights; in a .glb, the skin's PNG.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <nlohmann/json.hpp>
#include <sstream>
#include <unordered_map>

#include "common/path.h"
#include "image/png_writer.h"
#include "model/animations.h"
#include "model/export_mesh.h"
#include "model/gltf.h"

namespace {

const char kQuantization[] = "KHR_mesh_quantization";

// Quantised positions span at most this many steps either side of the
// centre of every exported position, so a displacement between two of them
// (twice that at most, plus rounding) still fits a 16-bit integer.
constexpr double kPositionSteps = 16000;
constexpr int kNormalSteps = 127;  // normalised signed bytes
constexpr int kUnsignedByteOne = 255;

// The nearest whole number, halves away from zero (as std::round, which
// is a library call where this is two instructions).
int roundToInt(double value) { return value >= 0 ? int(value + 0.5) : -int(-value + 0.5); }

// The glTF mesh: a vertex for each distinct pair of model vertex and
// texture coordinate, as the model indexes the two apart.
struct GltfMesh {
    std::vector<int32_t> modelVertex;  // per glTF vertex: the model vertex it takes position and normal from
    std::vector<float> texCoords;      // per glTF vertex: u, v
    std::vector<uint32_t> indices;     // three a triangle
};

GltfMesh gltfMesh(const Model& model, const std::vector<ExportCorner>& corners) {
    GltfMesh mesh;
    std::unordered_map<uint32_t, uint32_t> vertexOfPair;
    mesh.indices.reserve(corners.size());
    for (const ExportCorner& corner : corners) {
        // Both indices are int16 values at or above 0.
        const uint32_t pair = uint32_t(corner.vertex) << 16 | uint32_t(corner.texCoord);
        auto found = vertexOfPair.emplace(pair, uint32_t(mesh.modelVertex.size()));
        if (found.second) {
            const ModelTexCoord& c = model.texCoords[corner.texCoord];
            mesh.modelVertex.push_back(corner.vertex);
            mesh.texCoords.push_back(exportTexCoord(c.s, model.skinWidth));
            mesh.texCoords.push_back(exportTexCoord(c.t, model.skinHeight));
        }
        mesh.indices.push_back(found.first->second);
    }
    return mesh;
}

// The exported key frames' positions in glTF's axes, scaled: frame by
// frame, glTF vertex by vertex, x y z.
std::vector<float> framePositions(const Model& model, const GltfMesh& mesh, int first, int count, double scale) {
    std::vector<float> positions(size_t(count) * mesh.modelVertex.size() * 3);
    float* out = positions.data();
    for (int f = first; f < first + count; ++f)
        for (int32_t v : mesh.modelVertex) {
            exportPosition(model.frames[f].vertices[v], scale, out);
            out += 3;
        }
    return positions;
}

// A file name as a relative URI: every byte but the unreserved ones
// percent-encoded (spaces, '#', '%' and non-ASCII names stay readable).
std::string uriOf(const std::string& fileName) { return percentEncoded(fileName); }

// One view's bytes, little-endian on any host, written into room made for
// all of them at once (the views are large: every key frame's vertices).
class ViewBytes {
public:
    ViewBytes(uint8_t* at, uint8_t* end) : at_(at), end_(end) {}
    void u8(uint8_t v) { put(v, 1); }
    void u16(uint16_t v) { put(v, 2); }
    void i16(int16_t v) { put(uint16_t(v), 2); }
    void u32(uint32_t v) { put(v, 4); }
    void f32(float v) {
        uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        put(bits, 4);
    }
    void raw(const std::vector<uint8_t>& bytes) {
        if (size_t(end_ - at_) < bytes.size()) return;
        std::memcpy(at_, bytes.data(), bytes.size());
        at_ += bytes.size();
    }

private:
    void put(uint32_t v, int size) {
        if (end_ - at_ < size) return;
        for (int i = 0; i < size; ++i) at_[i] = uint8_t(v >> (8 * i));
        at_ += size;
    }

    uint8_t* at_;
    uint8_t* const end_;
};

// The one buffer, a view at a time, and the accessors that describe them.
class GltfBuffer {
public:
    explicit GltfBuffer(tinygltf::Model& gltf) : gltf_(gltf) {}

    std::vector<uint8_t>& data() { return data_; }

    // Room for a view of size bytes at the next 4-byte boundary (every
    // accessor's components must be aligned); valid until the next view.
    ViewBytes beginView(size_t size) {
        viewStart_ = (data_.size() + 3) / 4 * 4;
        data_.resize(viewStart_ + size);
        return ViewBytes(data_.data() + viewStart_, data_.data() + data_.size());
    }

    // The view begun last; stride 0 for tightly packed elements, target 0
    // for data that is not vertices or indices.
    int endView(int stride, int target) {
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = viewStart_;
        view.byteLength = data_.size() - viewStart_;
        view.byteStride = size_t(stride);
        view.target = target;
        gltf_.bufferViews.push_back(view);
        return int(gltf_.bufferViews.size() - 1);
    }

    int accessor(int view, int componentType, bool normalized, int type, size_t count, std::vector<double> min = {},
                 std::vector<double> max = {}) {
        tinygltf::Accessor accessor;
        accessor.bufferView = view;
        accessor.componentType = componentType;
        accessor.normalized = normalized;
        accessor.type = type;
        accessor.count = count;
        accessor.minValues = std::move(min);
        accessor.maxValues = std::move(max);
        gltf_.accessors.push_back(accessor);
        return int(gltf_.accessors.size() - 1);
    }

private:
    tinygltf::Model& gltf_;
    std::vector<uint8_t> data_;
    size_t viewStart_ = 0;
};

// Running bounds of three components, for POSITION's required min and max.
struct Bounds3 {
    std::vector<double> min = {HUGE_VAL, HUGE_VAL, HUGE_VAL};
    std::vector<double> max = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    void add(const double value[3]) {
        for (int i = 0; i < 3; ++i) {
            min[size_t(i)] = std::min(min[size_t(i)], value[i]);
            max[size_t(i)] = std::max(max[size_t(i)], value[i]);
        }
    }
};

// How positions are stored: floats as they are, or 16-bit integer steps
// from a centre, the node's scale and translation turning them back.
struct PositionCoding {
    bool quantize = false;
    double centre[3] = {0, 0, 0};
    double step = 1;

    int steps(float value, int axis) const { return roundToInt((value - centre[axis]) / step); }
};

PositionCoding positionCoding(bool quantize, const std::vector<float>& positions) {
    PositionCoding coding;
    coding.quantize = quantize;
    if (!quantize) return coding;
    double low[3] = {HUGE_VAL, HUGE_VAL, HUGE_VAL}, high[3] = {-HUGE_VAL, -HUGE_VAL, -HUGE_VAL};
    for (size_t i = 0; i < positions.size(); i += 3)
        for (int a = 0; a < 3; ++a) {
            low[a] = std::min(low[a], double(positions[i + size_t(a)]));
            high[a] = std::max(high[a], double(positions[i + size_t(a)]));
        }
    double halfExtent = 0;
    for (int a = 0; a < 3; ++a) {
        coding.centre[a] = (low[a] + high[a]) / 2;
        halfExtent = std::max(halfExtent, (high[a] - low[a]) / 2);
    }
    // One scale for all three axes, so the node leaves normals' directions alone.
    coding.step = (halfExtent > 0 ? halfExtent : 1) / kPositionSteps;
    return coding;
}

// An output stream's bytes, straight into a vector: tinygltf writes a file
// to a stream, and a .glb is mostly its buffer, which then need not be
// copied out of a string.
class VectorStreamBuffer : public std::streambuf {
public:
    explicit VectorStreamBuffer(size_t expected) { bytes_.reserve(expected); }
    std::vector<uint8_t>& bytes() { return bytes_; }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) bytes_.push_back(uint8_t(c));
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* data, std::streamsize size) override {
        const auto* bytes = reinterpret_cast<const uint8_t*>(data);
        bytes_.insert(bytes_.end(), bytes, bytes + size);
        return size;
    }

private:
    std::vector<uint8_t> bytes_;
};

std::vector<uint8_t> bytesOf(const std::string& text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    return std::vector<uint8_t>(bytes, bytes + text.size());
}

class GltfBuilder {
public:
    GltfBuilder(const Model& model, const ExportOptions& options, const GltfMesh& mesh, int first, int count)
        : model_(model), options_(options), mesh_(mesh), first_(first), count_(count), buffer_(gltf_) {}

    // The whole document, its buffer still in the builder; false (error
    // set) when the skin can't be encoded.
    bool build(bool embedSkin, const std::string& skinUri, std::string& error);

    tinygltf::Model& gltf() { return gltf_; }
    std::vector<uint8_t>& bufferData() { return buffer_.data(); }

private:
    int addIndices();
    int addTexCoords();
    // Frame first + frameOffset as the base shape (frameOffset 0) or as a
    // target (its displacements from the base).
    int addPositions(int frameOffset, bool displacement);
    int addNormals(int frameOffset, bool displacement);
    void addMesh();
    void addNode();
    void addAnimations();
    bool addMaterial(bool embedSkin, const std::string& skinUri, std::string& error);

    size_t vertexCount() const { return mesh_.modelVertex.size(); }
    const float* positionsOf(int frameOffset) const {
        return positions_.data() + size_t(frameOffset) * vertexCount() * 3;
    }
    const ModelVertex& modelVertexOf(int frameOffset, size_t vertex) const {
        return model_.frames[first_ + frameOffset].vertices[mesh_.modelVertex[vertex]];
    }

    const Model& model_;
    const ExportOptions& options_;
    const GltfMesh& mesh_;
    const int first_;
    const int count_;
    tinygltf::Model gltf_;
    GltfBuffer buffer_;
    std::vector<float> positions_;
    PositionCoding coding_;
    std::vector<int> baseNormalSteps_;       // quantised: the base's normals in byte steps
    std::vector<float> storedBaseNormals_;   // the base's normals as the file stores them
    std::vector<float> scratchNormals_;      // a frame's normals
    std::vector<int> scratchSteps_;          // and in byte steps
};

int GltfBuilder::addIndices() {
    const bool small = vertexCount() <= 0xFFFF;
    ViewBytes out = buffer_.beginView(mesh_.indices.size() * (small ? 2 : 4));
    for (uint32_t index : mesh_.indices) small ? out.u16(uint16_t(index)) : out.u32(index);
    const int view = buffer_.endView(0, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
    return buffer_.accessor(view,
                            small ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT : TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT,
                            false, TINYGLTF_TYPE_SCALAR, mesh_.indices.size());
}

int GltfBuilder::addTexCoords() {
    ViewBytes out = buffer_.beginView(mesh_.texCoords.size() * 4);
    for (float value : mesh_.texCoords) out.f32(value);
    const int view = buffer_.endView(0, TINYGLTF_TARGET_ARRAY_BUFFER);
    return buffer_.accessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, false, TINYGLTF_TYPE_VEC2, vertexCount());
}

int GltfBuilder::addPositions(int frameOffset, bool displacement) {
    const float* base = positionsOf(0);
    const float* frame = positionsOf(frameOffset);
    Bounds3 bounds;
    const int stride = coding_.quantize ? 8 : 12;
    ViewBytes out = buffer_.beginView(vertexCount() * size_t(stride));
    for (size_t i = 0; i < vertexCount() * 3; i += 3) {
        double value[3];
        for (int a = 0; a < 3; ++a) {
            const size_t k = i + size_t(a);
            if (coding_.quantize) {
                // A frame's displacement is its own steps less the base's, so
                // base plus target is the frame rounded once, not twice.
                value[a] = coding_.steps(frame[k], a) - (displacement ? coding_.steps(base[k], a) : 0);
                out.i16(int16_t(value[a]));
            } else {
                const float stored = displacement ? frame[k] - base[k] : frame[k];
                value[a] = stored;
                out.f32(stored);
            }
        }
        if (coding_.quantize) out.u16(0);  // each element starts on 4 bytes
        bounds.add(value);
    }
    const int view = buffer_.endView(coding_.quantize ? stride : 0, TINYGLTF_TARGET_ARRAY_BUFFER);
    return buffer_.accessor(view, coding_.quantize ? TINYGLTF_COMPONENT_TYPE_SHORT : TINYGLTF_COMPONENT_TYPE_FLOAT,
                            false, TINYGLTF_TYPE_VEC3, vertexCount(), bounds.min, bounds.max);
}

int GltfBuilder::addNormals(int frameOffset, bool displacement) {
    // Quantised, a normal is a byte step of 1/127 a component. A
    // displacement is stored the same way while it fits (a normal that turns
    // far can move a component by up to 2); else that target's normals are
    // floats, measured from the base as it is stored.
    const size_t components = vertexCount() * 3;
    std::vector<float>& normals = scratchNormals_;
    normals.resize(components);
    for (size_t i = 0; i < vertexCount(); ++i) exportNormal(modelVertexOf(frameOffset, i), &normals[i * 3]);
    bool bytes = options_.quantize;
    std::vector<int>& steps = scratchSteps_;
    if (bytes) {
        steps.resize(components);
        for (size_t k = 0; k < components; ++k) {
            steps[k] = roundToInt(normals[k] * kNormalSteps) - (displacement ? baseNormalSteps_[k] : 0);
            bytes = bytes && steps[k] >= -kNormalSteps && steps[k] <= kNormalSteps;
        }
    }
    ViewBytes out = buffer_.beginView(vertexCount() * (bytes ? 4 : 12));
    for (size_t k = 0; k < components; ++k) {
        if (bytes)
            out.u8(uint8_t(int8_t(steps[k])));
        else
            out.f32(displacement ? normals[k] - storedBaseNormals_[k] : normals[k]);
        if (bytes && k % 3 == 2) out.u8(0);  // each element starts on 4 bytes
    }
    const int view = buffer_.endView(bytes ? 4 : 0, TINYGLTF_TARGET_ARRAY_BUFFER);
    return buffer_.accessor(view, bytes ? TINYGLTF_COMPONENT_TYPE_BYTE : TINYGLTF_COMPONENT_TYPE_FLOAT, bytes,
                            TINYGLTF_TYPE_VEC3, vertexCount());
}

void GltfBuilder::addMesh() {
    tinygltf::Primitive primitive;
    primitive.mode = TINYGLTF_MODE_TRIANGLES;
    primitive.material = 0;
    primitive.indices = addIndices();
    primitive.attributes["POSITION"] = addPositions(0, false);
    primitive.attributes["NORMAL"] = addNormals(0, false);
    primitive.attributes["TEXCOORD_0"] = addTexCoords();
    // Every key frame a target, the first too (it moves nothing), so an
    // animation's weights are one target at a time whatever its first frame.
    tinygltf::Value::Array names;
    for (int f = 0; f < count_; ++f) {
        primitive.targets.push_back({{"POSITION", addPositions(f, true)}, {"NORMAL", addNormals(f, true)}});
        names.emplace_back(exportFrameName(model_.frames[first_ + f]));
    }
    tinygltf::Mesh mesh;
    mesh.primitives.push_back(std::move(primitive));
    // Where importers look for the targets' names.
    mesh.extras = tinygltf::Value(tinygltf::Value::Object{{"targetNames", tinygltf::Value(std::move(names))}});
    gltf_.meshes.push_back(std::move(mesh));
}

void GltfBuilder::addNode() {
    tinygltf::Node node;
    node.mesh = 0;
    if (coding_.quantize) {
        node.translation = {coding_.centre[0], coding_.centre[1], coding_.centre[2]};
        node.scale = {coding_.step, coding_.step, coding_.step};
    }
    gltf_.nodes.push_back(node);
    tinygltf::Scene scene;
    scene.nodes = {0};
    gltf_.scenes.push_back(scene);
    gltf_.defaultScene = 0;
}

void GltfBuilder::addAnimations() {
    const int last = first_ + count_ - 1;
    for (const ModelAnimation& animation : modelAnimations(&model_)) {
        const int from = std::max(animation.first, first_);
        const int to = std::min(animation.last, last);
        if (from > to) continue;
        const int keys = to - from + 1;

        ViewBytes times = buffer_.beginView(size_t(keys) * 4);
        for (int k = 0; k < keys; ++k) times.f32(float(k / options_.fps));
        int view = buffer_.endView(0, 0);
        const int input = buffer_.accessor(view, TINYGLTF_COMPONENT_TYPE_FLOAT, false, TINYGLTF_TYPE_SCALAR, size_t(keys),
                                           {0.0}, {double(float((keys - 1) / options_.fps))});

        // At key k only key frame from + k's target counts.
        ViewBytes weights = buffer_.beginView(size_t(keys) * size_t(count_) * (options_.quantize ? 1 : 4));
        for (int k = 0; k < keys; ++k)
            for (int target = 0; target < count_; ++target) {
                const bool on = target == from + k - first_;
                options_.quantize ? weights.u8(on ? kUnsignedByteOne : 0) : weights.f32(on ? 1.0f : 0.0f);
            }
        view = buffer_.endView(0, 0);
        const int output = buffer_.accessor(
            view, options_.quantize ? TINYGLTF_COMPONENT_TYPE_UNSIGNED_BYTE : TINYGLTF_COMPONENT_TYPE_FLOAT,
            options_.quantize, TINYGLTF_TYPE_SCALAR, size_t(keys) * size_t(count_));

        tinygltf::AnimationSampler sampler;
        sampler.input = input;
        sampler.output = output;
        sampler.interpolation = options_.interpolate ? "LINEAR" : "STEP";
        tinygltf::AnimationChannel channel;
        channel.sampler = 0;
        channel.target_node = 0;
        channel.target_path = "weights";
        tinygltf::Animation gltfAnimation;
        gltfAnimation.name = exportText(animation.name.data(), animation.name.size());
        gltfAnimation.samplers.push_back(sampler);
        gltfAnimation.channels.push_back(channel);
        gltf_.animations.push_back(std::move(gltfAnimation));
    }
}

bool GltfBuilder::addMaterial(bool embedSkin, const std::string& skinUri, std::string& error) {
    tinygltf::Material material;
    material.name = "skin";
    material.pbrMetallicRoughness.metallicFactor = 0;
    material.pbrMetallicRoughness.roughnessFactor = 1;
    const ExportSkin& skin = options_.skin;
    if (!skin.rgb) {
        material.pbrMetallicRoughness.baseColorFactor = {options_.color[0], options_.color[1], options_.color[2], 1};
        gltf_.materials.push_back(material);
        return true;
    }
    tinygltf::Image image;
    image.mimeType = "image/png";
    if (embedSkin) {
        const std::vector<uint8_t> png = encodePng(skin.width, skin.height, 3, skin.rgb, PngCompression::Fast);
        if (png.empty()) {
            error = "can't encode the skin as PNG";
            return false;
        }
        buffer_.beginView(png.size()).raw(png);
        image.bufferView = buffer_.endView(0, 0);
    } else {
        image.uri = skinUri;
    }
    gltf_.images.push_back(image);
    // The viewer's skin is smoothed, and repeats past its edges (GL's default).
    tinygltf::Sampler sampler;
    sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
    gltf_.samplers.push_back(sampler);
    tinygltf::Texture texture;
    texture.source = 0;
    texture.sampler = 0;
    gltf_.textures.push_back(texture);
    material.pbrMetallicRoughness.baseColorTexture.index = 0;
    gltf_.materials.push_back(material);
    return true;
}

bool GltfBuilder::build(bool embedSkin, const std::string& skinUri, std::string& error) {
    gltf_.asset.version = "2.0";
    gltf_.asset.generator = options_.generator;
    positions_ = framePositions(model_, mesh_, first_, count_, options_.scale);
    coding_ = positionCoding(options_.quantize, positions_);
    storedBaseNormals_.resize(vertexCount() * 3);
    baseNormalSteps_.resize(vertexCount() * 3);
    for (size_t i = 0; i < vertexCount(); ++i) exportNormal(modelVertexOf(0, i), &storedBaseNormals_[i * 3]);
    for (size_t k = 0; k < storedBaseNormals_.size() && options_.quantize; ++k) {
        baseNormalSteps_[k] = roundToInt(storedBaseNormals_[k] * kNormalSteps);
        storedBaseNormals_[k] = float(baseNormalSteps_[k]) / kNormalSteps;
    }
    if (options_.quantize) {
        gltf_.extensionsUsed.push_back(kQuantization);
        gltf_.extensionsRequired.push_back(kQuantization);
    }
    gltf_.buffers.emplace_back();
    // Room for what the buffer will hold, near enough: every key frame's
    // positions and normals, the base's, and the animations' weights.
    const size_t frames = size_t(count_);
    buffer_.data().reserve((frames + 1) * vertexCount() * 24 + mesh_.indices.size() * 4 + vertexCount() * 8 +
                           frames * frames * 4 + frames * 8);
    addMesh();
    addNode();
    addAnimations();
    return addMaterial(embedSkin, skinUri, error);
}

std::string gltfRefusal(const Model* model, const ExportOptions& options, const std::vector<ExportCorner>& corners,
                        int& first, int& count) {
    std::string refusal = exportRefusal(model, corners);
    if (!refusal.empty()) return refusal;
    first = options.firstFrame;
    const int last = options.lastFrame == -1 ? model->numFrames - 1 : options.lastFrame;
    if (first < 0 || last < first || last >= model->numFrames)
        return "frames " + std::to_string(first) + "-" + std::to_string(last) + " are not a range of the model's " +
               std::to_string(model->numFrames) + " key frames (numbered from 0)";
    count = last - first + 1;
    if (!(options.fps > 0) || !std::isfinite(options.fps)) return "the frame rate must be a positive number";
    if (!(options.scale > 0) || !std::isfinite(options.scale)) return "the scale must be a positive number";
    if (options.skin.rgb && (options.skin.width <= 0 || options.skin.height <= 0)) return "the skin has no size";
    if (count > EXPORT_MAX_FRAMES)
        return std::to_string(count) + " key frames are more than an export takes (" +
               std::to_string(EXPORT_MAX_FRAMES) + "): export a part of the model";
    for (int f = first; f <= last; ++f) {
        refusal = exportFrameRefusal(*model, f, options.scale);
        if (!refusal.empty()) return refusal;
    }
    return "";
}

ExportResult writeGltf(const Model* model, const ExportOptions& options, const std::string& name) {
    const std::string extension = extensionOf(name);
    if (extension != "glb" && extension != "gltf")
        return exportFailure("a glTF file is named .glb or .gltf");
    const bool binary = extension == "glb";
    const std::vector<ExportCorner> corners = model ? exportCorners(*model) : std::vector<ExportCorner>();
    int first = 0, count = 0;
    const std::string refusal = gltfRefusal(model, options, corners, first, count);
    if (!refusal.empty()) return exportFailure(refusal);

    const GltfMesh mesh = gltfMesh(*model, corners);
    if (int64_t(mesh.modelVertex.size()) * count > EXPORT_MAX_VERTEX_FRAMES)
        return exportFailure(std::to_string(mesh.modelVertex.size()) + " vertices in " + std::to_string(count) +
                             " key frames are more than an export takes: export a part of the model");

    const std::string binName = nameBeside(name, "bin");
    const std::string skinName = nameBeside(name, "png");
    GltfBuilder builder(*model, options, mesh, first, count);
    std::string error;
    if (!builder.build(binary, uriOf(fileNameOf(skinName)), error)) return exportFailure(error);

    tinygltf::TinyGLTF writer;
    ExportResult result;
    if (binary) {
        std::vector<uint8_t>& bin = builder.gltf().buffers[0].data;
        bin = std::move(builder.bufferData());
        VectorStreamBuffer glb(bin.size() + (64 << 10));  // the buffer and room for the JSON
        std::ostream out(&glb);
        if (!writer.WriteGltfSceneToStream(&builder.gltf(), out, false, true) || !out)
            return exportFailure("can't write the glTF file");
        result.files.push_back({name, std::move(glb.bytes())});
    } else {
        std::ostringstream out;
        // Written to a stream, tinygltf embeds every buffer in the JSON; this
        // one is a file beside it, so the buffer goes out empty and its entry
        // is set afterwards.
        std::vector<uint8_t> bin = std::move(builder.bufferData());
        if (!writer.WriteGltfSceneToStream(&builder.gltf(), out, true, false))
            return exportFailure("can't write the glTF file");
        nlohmann::json json = nlohmann::json::parse(out.str(), nullptr, false);
        if (json.is_discarded() || !json["buffers"].is_array() || json["buffers"].empty())
            return exportFailure("can't write the glTF file");
        json["buffers"][0]["uri"] = uriOf(fileNameOf(binName));
        json["buffers"][0]["byteLength"] = bin.size();
        result.files.push_back({name, bytesOf(json.dump(2) + "\n")});
        result.files.push_back({binName, std::move(bin)});
        if (options.skin.rgb) {
            std::vector<uint8_t> png = encodePng(options.skin.width, options.skin.height, 3, options.skin.rgb, PngCompression::Fast);
            if (png.empty()) return exportFailure("can't encode the skin as PNG");
            result.files.push_back({skinName, std::move(png)});
        }
    }
    result.ok = true;
    return result;
}

}  // namespace

ExportResult exportGltf(const Model* model, const ExportOptions& options, const std::string& name) {
    // Nothing may leave the library as an exception: tinygltf and the JSON
    // library throw when memory runs out, or on text they can't write.
    try {
        return writeGltf(model, options, name);
    } catch (const std::bad_alloc&) {
        return exportFailure("not enough memory for the export");
    } catch (const std::exception& e) {
        return exportFailure(std::string("can't write the glTF file: ") + e.what());
    }
}
