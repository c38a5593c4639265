// What the viewer must find on disk: the folder beside the record (the run
// folder, or FILE.files beside a written record) receives what the viewer
// can't read where it lies: archive members, pictures converted to its
// formats, short links to paths too long for the record. It is made on first
// use, so a record that needs none of it leaves no folder.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "frontend/inputs/inputs.h"
#include "frontend/base/report.h"

namespace frontend {

class Staging {
public:
    explicit Staging(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }

    // Writes bytes to folder/name and returns that path. Throws a Failure.
    std::string store(const std::string& name, const std::vector<uint8_t>& bytes);
    // Makes folder/name lead to target (a symbolic link; a copy on Windows)
    // and returns folder/name. Throws a Failure.
    std::string link(const std::string& name, const std::string& target);

    // A path as the record holds it: at most 255 characters, else a short
    // link named linkName here leads to it. Throws a Failure when even that
    // is too long (the folder's own path is).
    std::string recordPath(const std::string& path, const std::string& linkName);

    // Where the viewer reads the model: where it lies on disk, or its bytes
    // stored here as name (a member of an archive).
    std::string placeModel(const OpenedModel& model, const std::string& name);

    // Where the viewer reads a picture for one of its slots (role names the
    // files made for it here: "skin", "background", ...): a picture the
    // viewer reads where it lies, else its bytes stored or converted here.
    // "" with a warning in messages when the picture can't be read; a note
    // says what was done (purpose names the slot for people: "skin").
    std::string placePicture(const FileRef& file, const std::vector<uint8_t>& bytes, const std::string& shownName,
                             const std::string& role, const std::string& purpose, Messages& messages);

private:
    void makeFolder();
    std::string folder_;
    bool made_ = false;
};

}  // namespace frontend
