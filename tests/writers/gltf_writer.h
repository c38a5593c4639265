// glTF files for tests, fuzz seeds and benchmarks, made through tinygltf in
// memory: accessors appended to one buffer, the document's nodes, meshes and
// animations filled in by the caller as tinygltf records.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/gltf.h"

namespace testdata {

class GltfWriter {
public:
    GltfWriter();

    tinygltf::Model& model() { return model_; }
    const std::vector<uint8_t>& buffer() const { return buffer_; }

    // An accessor of floats, `components` a element (1 to 4, or 16 for a matrix).
    int floats(const std::vector<float>& values, int components);
    // An accessor of integers stored as componentType (TINYGLTF_COMPONENT_TYPE_*).
    int integers(const std::vector<int64_t>& values, int components, int componentType, bool normalized = false);
    // Triangle indices as unsigned shorts.
    int indices(const std::vector<uint32_t>& values);
    // A buffer view of raw bytes (a picture's file, say); its index.
    int view(const std::vector<uint8_t>& bytes);
    // A picture in a buffer view, and a texture and material showing it
    // through texture coordinate set texCoord; the material's index.
    int material(const std::vector<uint8_t>& png, int texCoord = 0);

    // The document as a .glb.
    std::vector<uint8_t> glb();
    // As .gltf JSON, the buffer either in a data: URI (bufferUri empty) or
    // named bufferUri (its bytes are buffer()).
    std::vector<uint8_t> gltf(const std::string& bufferUri = "");

private:
    int addView(size_t offset, size_t length, size_t stride);
    tinygltf::Model model_;
    std::vector<uint8_t> buffer_;
};

// A mesh of one primitive with these positions and triangles, on a new node
// placed in the scene; the node's index.
int addMeshNode(GltfWriter& writer, const std::vector<float>& positions, const std::vector<uint32_t>& triangles);

// An animation channel moving node's path ("translation", "rotation",
// "scale", "weights") through keys at times, values a key (three times as
// many for CUBICSPLINE), added to animation (created when it does not exist).
void addChannel(GltfWriter& writer, const std::string& animation, int node, const std::string& path,
                const std::string& interpolation, const std::vector<float>& times, const std::vector<float>& values);

std::string base64(const std::vector<uint8_t>& bytes);

}  // namespace testdata
