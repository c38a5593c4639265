// Finding a model's skin when none is given, in this order:
//  1. the skin names stored in the model, each tried relative to the model's
//     folder, to every folder above it as a game root, and by its file name
//     alone beside the model ('\' read as '/', letter case ignored);
//  2. a picture with the model's own base name beside it (skin.md2 ->
//     skin.pcx, skin.tga, skin.png, ...);
//  3. for a model named tris.md2 (one player model per folder), the first
//     picture in its folder.
// A model inside an archive is looked up inside the archive first (where
// the stored names are paths from the archive's root), then beside the
// archive on disk. A source made into a model (glTF, OBJ) takes the skin
// made of its own pictures before any of these.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "frontend/base/report.h"
#include "frontend/inputs/inputs.h"

namespace frontend {

struct SkinCandidate {
    FileRef file;
    std::string why;  // "stored skin name 1 (players/male/grunt.pcx), from the game root /q2/baseq2"
};

// Every existing file the rules above point at, best first, each once.
std::vector<SkinCandidate> findSkins(const FileRef& model, const std::vector<std::string>& storedNames);

// Where a stored skin name leads (step 1 for this name alone); empty if nowhere.
FileRef resolveStoredSkin(const FileRef& model, const std::string& storedName);

// The skin chosen for a model, and why.
struct SkinChoice {
    PictureRef picture;  // null: none
    std::string why;     // "stored skin name 1 (...), beside the model", ...; "" for a picture given
    // Candidates passed over on the way: each file, and why it could not be used.
    std::vector<std::pair<FileRef, std::string>> passedOver;
};

// The skin of a model: the picture given (a path or ARCHIVE:PATH), the
// stored skin name asked for by number (from 1), or else a source's own
// skin, or else the first picture discovery finds that can be read and
// decoded. purpose names the skin in
// messages ("skin"): a note says which was taken and why, a warning each
// picture that can't be decoded, a note each candidate that can't be read.
// Throws a Failure for a given picture that can't be read, a stored number
// the model does not have, or a stored name that leads nowhere.
SkinChoice chooseSkin(const OpenedModel& model, const std::string& given, int storedNumber,
                      const std::string& purpose, Inputs& inputs, Messages& messages);

}  // namespace frontend
