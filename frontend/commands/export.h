// `ombrel export MODEL -o OUT`: the model carried out to other tools, as
// glTF 2.0 (.glb, or .gltf with .bin and the skin beside it: every key
// frame a morph target, every named animation an animation) or OBJ (.obj
// with .mtl and the skin beside it: one key frame, or every key frame of the
// exported range with {frame} in the name). The conversion is the model
// code's (model/export.h); this finds the model and its skin as opening
// does, and writes the files whole or not at all.
#pragma once

#include <optional>
#include <string>

#include "frontend/base/options.h"

namespace CLI {
class App;
}

namespace frontend {

struct ExportRequest {
    ViewOptions view;  // the model, its skin, the exported animation or frames, fps, interpolation, colour
    std::string output;
    std::optional<int> frame;  // the OBJ's key frame
    std::string frameGivenAs;
    double scale = 1;
    bool quantize = false;
};

void addExportOptions(CLI::App& app, ExportRequest& request);

// Writes what the request asks for; 0. Throws a Failure.
int exportModel(const ExportRequest& request);

}  // namespace frontend
