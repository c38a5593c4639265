// From a person's options to the viewer's record: the model opened and
// checked, skins found, pictures converted, archive members extracted, the
// view framed. Nothing here starts the viewer, so every command that shows a
// model (open, write the record, render) prepares it the same way.
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "frontend/archive.h"
#include "frontend/options.h"
#include "frontend/skins.h"
#include "model/model_check.h"
#include "viewer/config.h"

struct Model;

namespace frontend {

// Input the front end refuses: a missing or unreadable file, a file that is
// not a model, a malformed or impossible option value. what() is the one
// line to show, naming the file ("faerie.md2: not an IDP2 model (...)").
class BadInput : public std::runtime_error {
public:
    explicit BadInput(const std::string& line) : std::runtime_error(line) {}
};

// The folder that receives converted pictures and extracted archive
// members: the run folder, or FILE.files beside a written record. It is
// made on first use, so a record that needs no such file leaves none.
class Staging {
public:
    explicit Staging(std::string folder) : folder_(std::move(folder)) {}
    const std::string& folder() const { return folder_; }
    bool used() const { return used_; }

    // Writes bytes to folder/name and returns that path.
    std::string store(const std::string& name, const std::vector<uint8_t>& bytes);
    // Makes folder/name lead to target (a symbolic link; a copy on Windows)
    // and returns folder/name.
    std::string link(const std::string& name, const std::string& target);

private:
    void makeFolder();
    std::string folder_;
    bool used_ = false;
};

// The archives and models opened on the way; they stay open (and the
// models loaded) as long as this lives.
class OpenFiles {
public:
    OpenFiles() = default;
    ~OpenFiles();
    OpenFiles(const OpenFiles&) = delete;
    OpenFiles& operator=(const OpenFiles&) = delete;

    // The archive at path, opened once however often it is asked for.
    const Archive& archive(const std::string& path);
    Model* keep(Model* model);

private:
    std::vector<std::unique_ptr<Archive>> archives_;
    std::vector<Model*> models_;
};

// A file a person named: "PATH" on disk or "ARCHIVE:PATH" inside an archive.
// Throws BadInput when it does not exist or is not a file.
FileRef locateFile(const std::string& text, OpenFiles& open);

// A model, read whole, checked and loaded.
struct OpenedModel {
    FileRef file;
    std::string shownName;  // as the person wrote it, for messages
    std::string diskPath;   // where the viewer reads it (extracted for archive members)
    std::vector<uint8_t> bytes;
    ModelCheck check;
    Model* model = nullptr;  // owned by the OpenFiles it was opened with
    std::vector<std::string> storedSkins;
};

// Opens the model named by text. Throws BadInput when it is missing, not a
// file, or not a model the viewer reads (saying why). Members of archives
// are extracted into staging under stagedName.
OpenedModel openModel(const std::string& text, OpenFiles& open, Staging& staging, const std::string& stagedName);

// Reads the bytes of a file on disk or in an archive; BadInput on failure.
std::vector<uint8_t> readRef(const FileRef& file, const std::string& shownName);

struct PreparedView {
    ViewerConfig record;
    std::vector<std::string> warnings;  // always shown: a skin that can't be read, no skin found
    std::vector<std::string> notes;     // shown with --verbose: which file was chosen and why
};

// Everything the viewer needs for these options, as its record; files that
// must be converted or extracted go into staging. Throws BadInput.
PreparedView prepareView(const ViewOptions& options, Staging& staging);

// Shows the warnings, and the notes when verbose, on standard error.
void showMessages(const PreparedView& view, bool verbose);

// The installed default water picture ("" when it is not there).
std::string defaultWaterPicture();

}  // namespace frontend
