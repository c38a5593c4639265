// Makes an IDP2 model (and its 8-bit PCX skin) from a SourceMesh: positions
// rounded onto one stable grid per animation, the nearest table normal of
// each vertex, vertices welded by their whole track, texture coordinates
// indexed apart, strip and fan commands checked against the triangle list,
// the skin packed and reduced to a palette; the format's limits checked
// before anything is made.
//
// The source's axes (glTF's: +Y up, front towards +Z) become the file's as
// the inverse of `export`: file (x, y, z) is source (z, x, y). Its
// counter-clockwise triangles become the file's clockwise ones (the
// viewer culls GL's front faces), and a texture coordinate (u, v) in a
// picture of w x h pixels the pixel (u w, v h), rounded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/source_mesh.h"

struct Md2MakeOptions {
    double scale = 1;   // multiplies every length (ignored when height > 0)
    double height = 0;  // > 0: scaled so the first frame is this high (source +Y)
    bool boxPerFrame = false;  // each frame its own tightest box, not one grid per animation
    // The skin: the source's pictures (side by side when several) unless
    // picture is given (R, G, B, rows top first), in which every texture
    // coordinate then lies; none at all when neither has pixels.
    const uint8_t* pictureRgb = nullptr;
    int pictureWidth = 0, pictureHeight = 0;
    // 768 bytes (256 R, G, B): map the skin onto this palette, opaque pixels
    // onto entries 0..254 and fully transparent ones onto 255, instead of
    // making a palette for it. Empty: a palette is made.
    std::vector<uint8_t> palette;
    bool dither = false;   // Floyd-Steinberg error diffusion onto the palette
    std::string skinName;  // stored in the model with its skin, at most 63 bytes ("" for no stored name)
    bool strict = false;   // refuse what engines of the format's era refuse, not only warn
};

struct Md2AnimationReport {
    std::string name;
    int frames = 0;
    // How far each vertex decodes from its source position, over every
    // vertex of every frame: in the source's units, and in steps (on the
    // axis where it is largest, as a fraction of that axis's step).
    double largestError = 0, meanError = 0;
    double largestErrorSteps = 0, meanErrorSteps = 0;
    double largestNormalErrorDegrees = 0;  // between a vertex's normal and its table entry
};

struct Md2MakeResult {
    bool ok = false;
    std::string error;                  // one line, when not ok
    std::vector<uint8_t> model;         // the .md2 file
    std::vector<uint8_t> skin;          // the .pcx file, empty when the model has no skin
    std::vector<std::string> warnings;  // limits engines refuse, what the source lacks: one line each
    std::vector<Md2AnimationReport> animations;
    // The command stream's words (the ending zero included), and the words
    // the same triangles would take as one command each.
    int commandWords = 0, triangleListWords = 0;
};

// Not ok, with nothing made, when the source is inconsistent (an index out
// of range, a number that is not finite, arrays of the wrong length), a
// triangle's texture coordinates span more than one repeat of its picture,
// or the model would break the format or the reader: more than
// MODEL_FRAME_BUFFER_SIZE allows a frame (2,070 vertices), more than
// MODEL_MAX_DECODED_VERTICES in all, a file over MODEL_MAX_FILE_SIZE,
// indices or coordinates past the 16-bit fields; with strict, also past the
// limits of model/model_check.h's modelEngineLimits, which are otherwise
// warnings.
Md2MakeResult makeMd2(const SourceMesh& mesh, const Md2MakeOptions& options);
