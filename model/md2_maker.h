// Makes an IDP2 model (and its 8-bit PCX skin) from a SourceMesh: positions
// rounded onto one stable grid per animation, the nearest table normal of
// each vertex, vertices welded by their whole track, texture coordinates
// indexed apart, strip and fan commands checked against the triangle list,
// the skin packed and reduced to a palette; the format's limits checked
// before anything is made.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/source_mesh.h"

struct Md2MakeOptions {
    double scale = 1;   // multiplies every length (ignored when height > 0)
    double height = 0;  // > 0: scaled so the first frame is this high
    bool boxPerFrame = false;  // each frame its own tightest box, not one grid per animation
    // The skin: the source's pictures unless picture is given (R, G, B,
    // rows top first); none at all when neither has one.
    const uint8_t* pictureRgb = nullptr;
    int pictureWidth = 0, pictureHeight = 0;
    std::vector<uint8_t> palette;  // 768 bytes: map the skin onto this palette instead of making one
    bool dither = false;
    std::string skinName;  // stored in the model ("" for no stored name)
    bool strict = false;   // refuse what engines of the format's era refuse, not only warn
};

struct Md2AnimationReport {
    std::string name;
    int frames = 0;
    double largestError = 0, meanError = 0;  // position error in the source's units
    double largestErrorSteps = 0, meanErrorSteps = 0;
    double largestNormalErrorDegrees = 0;
};

struct Md2MakeResult {
    bool ok = false;
    std::string error;                  // one line, when not ok
    std::vector<uint8_t> model;         // the .md2 file
    std::vector<uint8_t> skin;          // the .pcx file, empty when the model has no skin
    std::vector<std::string> warnings;  // limits engines refuse, one line each
    std::vector<Md2AnimationReport> animations;
    int commandWords = 0, triangleListWords = 0;
};

Md2MakeResult makeMd2(const SourceMesh& mesh, const Md2MakeOptions& options);
