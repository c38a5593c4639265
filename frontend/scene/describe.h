// What a modder wants to know about a model before opening it: its counts,
// skins, animations, bounds and problems, for `ombrel info` and the gallery.
#pragma once

#include <cstdint>
#include <functional>
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

// Every file a description names, it names through one of these: as the
// person typed it (info), or from the folder of the source a run was given
// (the gallery's page, which must not show the folders of the machine that
// made it).
using FileNamer = std::function<std::string(const FileRef& file)>;

struct ModelDescription {
    std::string name;  // the model, named
    ModelCheck check;
    std::string madeFrom;  // the source's format ("glTF model") when the model was made of one
    std::vector<std::string> storedSkins;
    std::vector<std::string> storedResolved;  // one per stored name: where it leads, named; "" where nowhere
    std::string skin;                         // the skin the model is shown with, named; "" for none
    std::string skinWhy;
    std::vector<ModelAnimation> animations;
    bool hasBounds = false;
    ModelBounds bounds{};
};

// The account of a model as read (model.check says what the viewer makes of
// it), with the skin chosen for it, the very choice it is drawn with (null
// when no skin was looked for). Skins that were passed over, and stored
// names that lead nowhere, are among its problems.
ModelDescription describeModel(const OpenedModel& model, const std::string& name, const SkinChoice* skin,
                               const FileNamer& namer);

// The facts as one JSON object (what `ombrel info --json` prints).
nlohmann::json describeJson(const ModelDescription& description);

// As text for people, or as one JSON object.
void printDescription(const ModelDescription& description, bool json, std::ostream& out);

}  // namespace frontend
