// What a modder wants to know about a model before opening it: its counts,
// skins, animations, bounds and problems, for `ombrel info` and the gallery.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <nlohmann/json_fwd.hpp>
#include <string>
#include <vector>

#include "frontend/inputs/inputs.h"
#include "frontend/inputs/skins.h"
#include "model/animations.h"
#include "model/draw.h"
#include "model/model_check.h"

namespace frontend {

struct ModelDescription {
    std::string name;
    ModelCheck check;
    std::vector<std::string> storedSkins;
    std::vector<FileRef> storedResolved;  // one per stored name, empty where it leads nowhere
    SkinCandidate skin;                   // the skin ombrel MODEL would take; empty file if none
    std::vector<ModelAnimation> animations;
    bool hasBounds = false;
    ModelBounds bounds{};
};

// The account of a model file's bytes, named name. The skins are looked for
// from where the file lies (an empty file: nowhere). Throws a Failure when
// there is nothing to describe: the bytes are not an IDP2 model at all.
ModelDescription describeBytes(const std::string& name, const std::vector<uint8_t>& bytes, const FileRef& file);

// The facts as one JSON object (what `ombrel info --json` prints).
nlohmann::json describeJson(const ModelDescription& description);

// As text for people, or as one JSON object.
void printDescription(const ModelDescription& description, bool json, std::ostream& out);

}  // namespace frontend
