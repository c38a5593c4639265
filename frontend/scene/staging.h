// What the viewer program must find on disk: the folder beside the record
// (the run folder, or FILE.files beside a written record) receives what the
// viewer can't read where it lies: archive members, the .md2 made of a
// source and its skin, pictures converted to its formats, short links to
// paths too long for the record. It is made on
// first use, so a record that needs none of it leaves no folder. Pictures
// drawn offscreen need none of this: the window takes what was decoded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/inputs/inputs.h"
#include "frontend/scene/prepare.h"

namespace frontend {

class Staging {
public:
    explicit Staging(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }
    // Whether the folder was made (and holds something).
    bool used() const { return made_; }

    // Fills the record's paths with where the viewer reads each model and
    // picture of view, storing here what it can't read where it lies; notes
    // in view's messages say what was converted. Throws the Failure of the
    // system (exit 1) when the folder can't be made or filled.
    void place(PreparedView& view);

    // Writes bytes to folder/name and returns that path. Throws a Failure.
    std::string store(const std::string& name, const std::vector<uint8_t>& bytes);
    // Makes folder/name lead to target (a symbolic link; a copy on Windows)
    // and returns folder/name. Throws a Failure.
    std::string link(const std::string& name, const std::string& target);

    // A path as the record holds it: at most 255 characters, else a short
    // link named linkName here leads to it. Throws a Failure when even that
    // is too long (the folder's own path is).
    std::string recordPath(const std::string& path, const std::string& linkName);

private:
    // Where the viewer reads the model: where it lies on disk, or its bytes
    // stored here as name (a member of an archive, the .md2 made of a source).
    std::string placeModel(const OpenedModel& model, const std::string& name);
    // Where the viewer reads a picture for one of its slots (role names the
    // files made for it here: "skin", "background", ...): where it lies when
    // the viewer reads it as it is, else its bytes stored or converted here.
    std::string placePicture(const Picture& picture, const std::string& role, const std::string& purpose,
                             Messages& messages);
    void makeFolder();
    std::string folder_;
    bool made_ = false;
};

}  // namespace frontend
