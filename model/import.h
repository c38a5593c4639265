// Readers of the sources a .md2 is made from: glTF 2.0 (.glb, .gltf), Wavefront
// OBJ (one file, or a numbered sequence of frames sharing their faces) and an
// IDP2 model itself (made again with new normals, commands, scale or skin).
// Each fills a SourceMesh (model/source_mesh.h) or says in one line why it
// can't; none reads a file by itself: what lies beside the source (buffers,
// pictures, material libraries) is asked of the caller by relative name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "model/source_mesh.h"

struct Model;

// The bytes of a file beside the source, by its name relative to the
// source's folder ('/' between parts; never absolute, never with a ".."
// part: the reader refuses those names before asking). False with the
// reason in error when there is no such file or it can't be read.
using SourceFiles = std::function<bool(const std::string& name, std::vector<uint8_t>& bytes, std::string& error)>;

struct SourceReadOptions {
    double rate = 10;                     // samples a second of each glTF animation
    std::vector<std::string> animations;  // the animations to keep, by name; empty: all
};

// Bounds that keep a reader's memory and time finite whatever a file holds.
// The format itself holds at most 2^20 vertices over all frames; a source's
// vertices are not welded yet (a position with two texture coordinates or
// normals is two vertices), so the readers allow four times that.
constexpr int64_t SOURCE_MAX_VERTEX_FRAMES = int64_t(4) << 20;  // vertices x frames, every animation
constexpr int64_t SOURCE_MAX_FRAMES = 65536;                    // frames of every animation together
constexpr int64_t SOURCE_MAX_TRIANGLES = int64_t(1) << 20;
constexpr double SOURCE_MAX_RATE = 1000;  // a sample a millisecond: keys closer than that are one
constexpr size_t SOURCE_MAX_FILE_SIZE = size_t(1) << 30;  // the source and every file beside it

// glTF: bytes of a .glb or a .gltf. The default scene (else the first)
// with its static, morphed, skinned and node-animated meshes merged into
// one, in world space; each animation sampled at options.rate from its
// first key to its last (a sample within a millisecond of a key taken at
// the key; the last dropped when it repeats the first), a model without
// animations one animation "" of one frame at rest. False with one line in
// error.
bool readGltfSource(const uint8_t* bytes, size_t size, const SourceFiles& files, const SourceReadOptions& options,
                    SourceMesh& mesh, std::string& error);

// OBJ: the frames' bytes in order (one for a single file; a sequence's in
// frame order), each with the same faces and texture coordinates (only
// positions and normals move); the .mtl and its pictures through files.
// One file is one animation "" of one frame; a sequence one animation
// "frames" of a frame a file (the caller may name it after its pattern).
// False with one line in error.
bool readObjSource(const std::vector<std::vector<uint8_t>>& frames, const SourceFiles& files,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error);

// An IDP2 model, loaded: its animations as modelAnimations groups them, each
// frame keeping its own name; its skin (rgb, width x height, rows top first;
// null for none) as the one picture.
bool readMd2Source(const Model& model, const uint8_t* skinRgb, int skinWidth, int skinHeight,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error);
