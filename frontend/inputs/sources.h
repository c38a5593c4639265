// The models a run over many draws, found from what a person names: model
// files, OBJ sequences ('walk_{frame}.obj'), folders (every model file of
// every format inputs/formats.h knows, below at any depth), archives (every
// model inside) and ARCHIVE:PATH. Each model gets a name for the pictures
// made of it: its path inside the folder or archive named, so the pictures
// of a whole tree can be laid out as the tree is.
#pragma once

#include <string>
#include <vector>

#include "frontend/inputs/inputs.h"
#include "frontend/base/report.h"

namespace frontend {

struct FoundModel {
    std::string text;  // as openModel takes it: a path on disk, or ARCHIVE:PATH
    // The model's path inside the folder or archive it was found in, without
    // its ending ("monsters/knight"); a model file named on its own: its
    // base name; a sequence: what its files share ("walk"). Never absolute, never with an empty, "." or ".." part.
    std::string name;
    // The folder of the source it was found through (the folder named, or
    // the one holding the archive or model file named), absolute: what a
    // page made of the run names its files from.
    std::string base;
};

struct FoundModels {
    std::vector<FoundModel> models;  // in the order named; a folder's or archive's in name order; each model once
    std::vector<Failure> refused;    // a source that leads to no model it can name, and why
};

// Every model the sources name; archives are opened once, in inputs.
FoundModels findModels(const std::vector<std::string>& sources, Inputs& inputs);

}  // namespace frontend
