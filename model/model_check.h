// An account of a model file in words, for people: why the reader refuses
// it, and what else is wrong with it that the viewer quietly works around.
// It reads the same bytes the reader does and follows the same limits
// (model/model_layout.h), so a file it calls usable is one modelLoad accepts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/model.h"

struct ModelCheck {
    // The file starts with the IDP2 magic and holds a whole header; only
    // then do the header fields below mean anything.
    bool hasHeader = false;
    Model header = {};  // the 17 header fields; every pointer null

    // Why the reader refuses the file ("" when it does not): not IDP2, cut
    // short, a section outside the file, frames beyond the reader's limits.
    std::string refusal;

    // What the viewer works around or simply can't show, one sentence each:
    // indices out of range, a draw-command stream without its end, normals
    // past the table, no frames...
    std::vector<std::string> problems;

    // Why a model the reader takes still shows nothing ("" when it has
    // something to draw): no frames, no vertices, or neither triangles nor
    // draw commands.
    std::string nothingToDraw;
};

ModelCheck modelCheck(const uint8_t* bytes, size_t size);

// What the engines of the format's era refuse though the reader takes it.
constexpr int MODEL_ENGINE_MAX_VERTICES = 2048;  // a frame
constexpr int MODEL_ENGINE_MAX_TRIANGLES = 4096;
constexpr int MODEL_ENGINE_MAX_FRAMES = 512;
constexpr int MODEL_ENGINE_MAX_SKINS = 32;
constexpr int MODEL_ENGINE_MAX_SKIN_HEIGHT = 480;

// The header's counts past those limits, one sentence each (modelCheck
// lists them among the problems).
std::vector<std::string> modelEngineLimits(const Model& header);
