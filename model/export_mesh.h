// What the glTF and OBJ exports share: the triangles as both write them,
// the turn into glTF's axes, text fit for the files. Internal to the export.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/export.h"

// One corner of an exported triangle: the model's vertex and texture
// coordinate indices, both in range.
struct ExportCorner {
    int32_t vertex;
    int32_t texCoord;
};

// The corners of every triangle of the list whose indices are all in range,
// three a triangle, counter-clockwise seen from outside. (The viewer culls
// GL's front faces, so the file's outside faces are the clockwise ones.)
std::vector<ExportCorner> exportCorners(const Model& model);

// "" when the model has something to draw (frames, vertices and a usable
// triangle in corners), else why not.
std::string exportRefusal(const Model* model, const std::vector<ExportCorner>& corners);

// A position or normal in glTF's axes. The viewer's default view turns the
// model -90 degrees about its up axis to face the eye: file (x, y, z)
// becomes (y, z, x), +Y up and the front (the file's +x) towards +Z.
inline void exportPosition(const ModelVertex& v, double scale, float out[3]) {
    // The reader's axes are (x, z, -y) of the file's.
    out[0] = float(-v.z * scale);
    out[1] = float(v.y * scale);
    out[2] = float(v.x * scale);
}
inline void exportNormal(const ModelVertex& v, float out[3]) {
    // The normal table's own axes are the file's.
    out[0] = v.ny;
    out[1] = v.nz;
    out[2] = v.nx;
}

// "" when every position of frame (a frame the model has) times scale is a
// finite number, else why not: a broken frame scale or an overflowing scale.
std::string exportFrameRefusal(const Model& model, int frame, double scale);

// The texture coordinate the viewer sends for a skin pixel: the pixel
// divided by the header's skin size (1 for a size of 0).
float exportTexCoord(int16_t pixel, int32_t skinSize);

// The frame's name as UTF-8: its bytes up to the first zero, any byte that
// is not part of a valid UTF-8 sequence replaced by U+FFFD.
std::string exportText(const char* bytes, size_t size);
std::string exportFrameName(const ModelFrame& frame);

// A refusal: not ok, the reason, no files.
ExportResult exportFailure(const std::string& error);
