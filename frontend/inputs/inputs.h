// The files a person names, as the front end reads them: a file on disk or
// a member of an archive, located, and read whole once within a size limit;
// a model checked and decoded from those same bytes (inputs/formats.h says
// how); a picture decoded once however many models show it. Nothing here
// writes a file: what the viewer program must open goes to its run folder
// (scene/staging.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <vector>

#include "frontend/inputs/archive.h"
#include "frontend/inputs/pictures.h"
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

struct ModelRelease {
    void operator()(Model* model) const { modelFree(model); }
};
using ModelPtr = std::unique_ptr<Model, ModelRelease>;

// A picture file, read and decoded once; or a picture made in memory (file
// empty), such as the skin made of a source's own pictures.
struct Picture {
    FileRef file;
    std::string shownName;
    std::vector<uint8_t> bytes;
    DecodedPicture decoded;  // no image when it can't be decoded: error says why
    std::string error;
};
using PictureRef = std::shared_ptr<const Picture>;

struct ModelFormat;

// A model file as read, before it is decoded.
struct ModelSource {
    FileRef file;  // the file; for a sequence its pattern ("/models/walk_{frame}.obj")
    std::string shownName;
    const ModelFormat* format = nullptr;
    std::vector<std::vector<uint8_t>> files;  // its bytes; a sequence's files' in frame order
    bool sequence = false;
};

// A model file, read once: checked and decoded from the same bytes.
struct OpenedModel {
    FileRef file;
    std::string shownName;  // as the person wrote it, for messages
    // The IDP2 file: as read, or as made of a source.
    std::vector<uint8_t> bytes;
    ModelCheck check;
    ModelPtr model;                        // null when the viewer refuses it (check.refusal says why)
    std::vector<std::string> storedSkins;  // the skin names the file stores, in order
    // For a source (glTF, OBJ): its format's name ("glTF model"), the skin
    // made of its own pictures (null for none), and what its reader left
    // out (said with --verbose). "", null and none for an IDP2 file.
    std::string madeFrom;
    PictureRef ownSkin;
    std::vector<std::string> notes;
};

// The archives opened on the way, each once however often it is named, and
// the pictures read, each once however many models show it; they stay as
// long as this lives, and so do the FileRefs into the archives.
class Inputs {
public:
    Inputs() = default;
    Inputs(const Inputs&) = delete;
    Inputs& operator=(const Inputs&) = delete;

    // The archive at path. Throws a Failure when it can't be read as one.
    const Archive& archive(const std::string& path);

    // A file a person named: "PATH" on disk or "ARCHIVE:PATH" inside an
    // archive. Throws a Failure for a member the archive does not hold; a
    // file on disk is not looked at (reading it says what is wrong).
    FileRef locate(const std::string& text);

    // The file's bytes, at most limit of them, in one open. Throws a Failure
    // naming shownName when they can't be read.
    std::vector<uint8_t> read(const FileRef& file, size_t limit, const std::string& shownName) const;

    // The picture in file, read and decoded on first use. Throws a Failure
    // when the file can't be read; a picture that can't be decoded comes
    // back with its error.
    PictureRef picture(const FileRef& file, const std::string& shownName);

    // Decoded pictures are kept for later models up to this many bytes; past
    // it the least recently used go first (those no model holds).
    static constexpr size_t kPictureMemory = size_t(256) << 20;

private:
    std::vector<std::unique_ptr<Archive>> archives_;
    std::list<std::shared_ptr<const Picture>> pictures_;  // the most recently used first
    size_t pictureBytes_ = 0;
};

// The model file named by text read, in one open: "PATH", "ARCHIVE:PATH",
// or a sequence's pattern ('walk_{frame}.obj', every file of it: the
// numbers present, in numeric order, none missing between the first and the
// last). Throws a Failure when it can't be read.
ModelSource readSource(const std::string& text, Inputs& inputs);

// The model named by text, read and decoded (a source made into the .md2
// it would become): its check says what the viewer makes of it. Throws a
// Failure when it can't be read, or is not a model of any format the front
// end reads.
OpenedModel readModel(const std::string& text, Inputs& inputs);

// The same for a source already read.
OpenedModel readModel(ModelSource source, Inputs& inputs);

// The same, also throwing when the viewer refuses the model (saying why).
OpenedModel openModel(const std::string& text, Inputs& inputs);

}  // namespace frontend
