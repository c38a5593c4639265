// What every source reader promises of a SourceMesh it returns, checked by
// the source readers' fuzz targets: indices in range, arrays of the sizes
// the record gives, finite positions, unit normals. Aborts otherwise.
#pragma once

#include <cmath>
#include <cstdlib>

#include <string>

#include "model/source_mesh.h"

// A name no reader may ask for: empty, absolute, with a backslash, an empty or a ".." part.
inline bool leavesFolder(const std::string& name) {
    if (name.empty() || name[0] == '/' || name.find('\\') != std::string::npos) return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 || end == start) return true;
        start = end + 1;
    }
    return false;
}

inline void checkSourceMesh(const SourceMesh& mesh) {
    const size_t vertices = mesh.vertexCount;
    if (mesh.triangles.empty() || mesh.triangles.size() % 3 != 0) std::abort();
    for (uint32_t index : mesh.triangles)
        if (index >= vertices) std::abort();
    if (!mesh.texCoords.empty() && mesh.texCoords.size() != vertices * 2) std::abort();
    if (mesh.trianglePicture.size() != mesh.triangles.size() / 3) std::abort();
    for (int32_t picture : mesh.trianglePicture)
        if (picture < -1 || picture >= int32_t(mesh.pictures.size())) std::abort();
    for (const SourcePicture& picture : mesh.pictures)
        if (picture.width <= 0 || picture.height <= 0 ||
            picture.rgba.size() != size_t(picture.width) * size_t(picture.height) * 4)
            std::abort();
    if (mesh.animations.empty()) std::abort();
    for (const SourceAnimation& animation : mesh.animations) {
        if (animation.frames.empty()) std::abort();
        for (const SourceFrame& frame : animation.frames) {
            if (frame.positions.size() != vertices * 3) std::abort();
            if (!frame.normals.empty() && frame.normals.size() != vertices * 3) std::abort();
            for (float v : frame.positions)
                if (!std::isfinite(v)) std::abort();
            for (size_t i = 0; i < frame.normals.size(); i += 3) {
                const double length = std::sqrt(double(frame.normals[i]) * frame.normals[i] +
                                                 double(frame.normals[i + 1]) * frame.normals[i + 1] +
                                                 double(frame.normals[i + 2]) * frame.normals[i + 2]);
                if (!(std::fabs(length - 1) < 1e-3)) std::abort();
            }
        }
    }
}
