// The files a person names, as the front end reads them: a file on disk or
// a member of an archive, located, and read whole once within a size limit;
// a model checked and decoded from those same bytes. Nothing here writes a
// file: what the viewer must open goes to the run folder (staging.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frontend/inputs/archive.h"
#include "model/model.h"
#include "model/model_check.h"

namespace frontend {

// The largest file the front end reads, as a picture or as a model (a model
// file past the reader's own limit is read to be refused with the reason).
constexpr size_t kLargestInputFile = size_t(256) << 20;

// A file on disk (archive null, path absolute) or a member of an archive
// (path inside it, '/' between parts).
struct FileRef {
    const Archive* archive = nullptr;
    std::string path;

    bool empty() const { return path.empty(); }
    // "/games/pak0.pak:players/male/grunt.pcx" or the path on disk.
    std::string display() const;
    bool operator==(const FileRef& other) const { return archive == other.archive && path == other.path; }
};

// The archives opened on the way, each once however often it is named; they
// stay open as long as this lives, and so do the FileRefs into them.
class Inputs {
public:
    Inputs() = default;
    Inputs(const Inputs&) = delete;
    Inputs& operator=(const Inputs&) = delete;

    // The archive at path. Throws a Failure when it can't be read as one.
    const Archive& archive(const std::string& path);

    // A file a person named: "PATH" on disk or "ARCHIVE:PATH" inside an
    // archive. Throws a Failure when it does not exist or is not a file.
    FileRef locate(const std::string& text);

    // The file's bytes, at most limit of them. Throws a Failure naming
    // shownName when they can't be read.
    std::vector<uint8_t> read(const FileRef& file, size_t limit, const std::string& shownName) const;

private:
    std::vector<std::unique_ptr<Archive>> archives_;
};

struct ModelRelease {
    void operator()(Model* model) const { modelFree(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelRelease>;

// A model, read once: checked and decoded from the same bytes.
struct OpenedModel {
    FileRef file;
    std::string shownName;  // as the person wrote it, for messages
    std::vector<uint8_t> bytes;
    ModelCheck check;
    ModelPtr model;
    std::vector<std::string> storedSkins;  // the skin names the file stores, in order
};

// Opens the model named by text. Throws a Failure when it is missing, not a
// file, or not a model the viewer reads (saying why).
OpenedModel openModel(const std::string& text, Inputs& inputs);

}  // namespace frontend
