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

// glTF: bytes of a .glb or a .gltf. False with one line in error.
bool readGltfSource(const uint8_t* bytes, size_t size, const SourceFiles& files, const SourceReadOptions& options,
                    SourceMesh& mesh, std::string& error);

// OBJ: the frames' bytes in order (one for a single file; a sequence's in
// frame order), each with the same faces; the .mtl and its picture through
// files. False with one line in error.
bool readObjSource(const std::vector<std::vector<uint8_t>>& frames, const SourceFiles& files,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error);

// An IDP2 model, loaded: its animations as modelAnimations groups them, each
// frame keeping its own name; its skin (rgb, width x height, rows top first;
// null for none) as the one picture.
bool readMd2Source(const Model& model, const uint8_t* skinRgb, int skinWidth, int skinHeight,
                   const SourceReadOptions& options, SourceMesh& mesh, std::string& error);
