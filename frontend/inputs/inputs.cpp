#include "frontend/inputs/inputs.h"

#include <cstring>

#include "frontend/files/files.h"
#include "frontend/base/report.h"

namespace frontend {

namespace {

// The hint for a file that is an archive rather than a model.
std::string archiveHint(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 4 && (std::memcmp(bytes.data(), "PACK", 4) == 0 || std::memcmp(bytes.data(), "PK\3\4", 4) == 0))
        return "; it is an archive: open a model in it as ARCHIVE:PATH (see ombrel list ARCHIVE)";
    return "";
}

}  // namespace

std::string FileRef::display() const { return archive ? nativePath(archive->path()) + ":" + path : nativePath(path); }

const Archive& Inputs::archive(const std::string& path) {
    const std::string absolute = absolutePath(path);
    for (const auto& archive : archives_)
        if (archive->path() == absolute) return *archive;
    std::string error;
    std::unique_ptr<Archive> archive = Archive::open(absolute, error);
    if (!archive) throw badInput(path, error);
    archives_.push_back(std::move(archive));
    return *archives_.back();
}

FileRef Inputs::locate(const std::string& text) {
    std::string archivePath, member;
    FileRef file;
    if (splitArchivePath(text, archivePath, member)) {
        file.archive = &archive(archivePath);
        file.path = file.archive->find(member);
        if (file.path.empty()) throw badInput(text, "no such file in the archive");
        return file;
    }
    file.path = absolutePath(text);
    const FileKind kind = fileKind(file.path);
    if (kind != FileKind::Regular) throw badInput(text, describeKind(kind));
    return file;
}

std::vector<uint8_t> Inputs::read(const FileRef& file, size_t limit, const std::string& shownName) const {
    std::vector<uint8_t> bytes;
    std::string error;
    const bool ok = file.archive ? file.archive->read(file.path, limit, bytes, error)
                                 : readFileBytes(file.path, limit, bytes, error);
    if (!ok) throw badInput(shownName, error);
    return bytes;
}

OpenedModel openModel(const std::string& text, Inputs& inputs) {
    OpenedModel opened;
    opened.shownName = text;
    opened.file = inputs.locate(text);
    opened.bytes = inputs.read(opened.file, kLargestInputFile, text);
    opened.check = modelCheck(opened.bytes.data(), opened.bytes.size());
    if (!opened.check.refusal.empty()) throw badInput(text, opened.check.refusal + archiveHint(opened.bytes));
    opened.model.reset(modelLoadFromBytes(opened.bytes.data(), opened.bytes.size()));
    if (!opened.model) throw badInput(text, "the model reader refuses it");
    const Model& model = *opened.model;
    for (int i = 0; i < model.numSkins && model.skins; ++i)
        opened.storedSkins.emplace_back(model.skins[i], strnlen(model.skins[i], MODEL_SKIN_NAME_SIZE));
    return opened;
}

}  // namespace frontend
