// A loaded model carried out to other tools: glTF 2.0 (every key frame a
// morph target, every named animation an animation) and Wavefront OBJ (one
// key frame). The conversion returns each file's bytes under its name;
// writing them (beside their names, then renamed into place) is the
// caller's, so a failure leaves nothing behind.
//
// Axes and units are glTF's own for both formats: +Y up, the model's front
// towards +Z (where the viewer's default view turns it, towards the eye),
// lengths in the file's units times the scale. Triangles come from the
// triangle list (those with an index out of range skipped, as the viewer
// skips them), counter-clockwise seen from outside; texture coordinates are
// the viewer's: skin pixels divided by the header's skin size.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"

// The skin as decoded pixels: width x height R, G, B bytes, rows top first.
// No pixels (null rgb) means no skin: the material takes the model colour.
struct ExportSkin {
    const uint8_t* rgb = nullptr;
    int width = 0;
    int height = 0;
};

struct ExportOptions {
    // The exported key frames, both included (frame numbers in the file);
    // lastFrame -1 means the model's last. The glTF base shape is firstFrame;
    // animations are cut to this range and those outside it left out.
    int firstFrame = 0;
    int lastFrame = -1;
    double fps = 10;          // key frames a second in the animations
    bool interpolate = true;  // LINEAR between key frames, else STEP
    double scale = 1;         // multiplies every length
    // glTF only: positions and normals in 16- and 8-bit integers
    // (KHR_mesh_quantization, required by the file), weights in bytes.
    bool quantize = false;
    float color[3] = {1, 1, 1};  // the material's colour when there is no skin
    ExportSkin skin;
    std::string generator = "Ombrel";  // the glTF asset's generator
};

struct ExportFile {
    std::string name;  // as given, or a name beside it
    std::vector<uint8_t> bytes;
};

// ok with every file to write, or not ok with one line saying why (error)
// and no files.
struct ExportResult {
    bool ok = false;
    std::string error;
    std::vector<ExportFile> files;
};

// glTF 2.0, the kind chosen by name's extension (either case):
//  - NAME.glb: one file, the skin embedded as PNG;
//  - NAME.gltf: that JSON, NAME.bin beside it and, with a skin, NAME.png.
// Refused: another extension, a null model, one with nothing to draw (no
// frames, no vertices, no usable triangle), a frame range outside the
// model, fps or scale not positive, a skin with no size, more than
// EXPORT_MAX_FRAMES key frames or EXPORT_MAX_VERTEX_FRAMES glTF vertices
// times key frames.
ExportResult exportGltf(const Model* model, const ExportOptions& options, const std::string& name);

// OBJ of key frame `frame` (a frame number in the file; the options' range
// does not apply): objName, and the material library beside it (objName
// with .mtl) with, when there is a skin, the skin (objName with .png).
ExportResult exportObj(const Model* model, int frame, const ExportOptions& options, const std::string& objName);

// The two halves of exportObj, for sequences whose frames share one
// material: the OBJ alone, naming materialName's file name as its material
// library (which must lie beside it); and the material library
// materialName with its skin (materialName with .png).
ExportResult exportObjFrame(const Model* model, int frame, const ExportOptions& options, const std::string& objName,
                            const std::string& materialName);
ExportResult exportObjMaterial(const ExportOptions& options, const std::string& materialName);

// Bounds that keep an export's memory finite whatever a file holds, well
// past what real models have (at most 512 frames of 2048 vertices).
constexpr int EXPORT_MAX_FRAMES = 2048;
constexpr int64_t EXPORT_MAX_VERTEX_FRAMES = int64_t(8) << 20;
