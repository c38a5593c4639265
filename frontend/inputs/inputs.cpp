#include "frontend/inputs/inputs.h"

#include "frontend/base/report.h"
#include "frontend/files/files.h"
#include "frontend/inputs/formats.h"

namespace frontend {

namespace {

// The hint for a file that is an archive rather than a model.
std::string archiveHint(const std::vector<uint8_t>& bytes) {
    if (startsLikeArchive(bytes.data(), bytes.size()))
        return "; it is an archive: open a model in it as ARCHIVE:PATH (see ombrel list ARCHIVE)";
    return "";
}

size_t memoryOf(const Picture& picture) {
    size_t size = picture.bytes.size();
    if (const mxImage* image = picture.decoded.image.get())
        size += size_t(image->width) * size_t(image->height) * size_t(image->bpp / 8) + (image->palette ? 768 : 0);
    return size;
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

PictureRef Inputs::picture(const FileRef& file, const std::string& shownName) {
    for (auto it = pictures_.begin(); it != pictures_.end(); ++it)
        if ((*it)->file == file) {
            pictures_.splice(pictures_.begin(), pictures_, it);
            return pictures_.front();
        }
    auto picture = std::make_shared<Picture>();
    picture->file = file;
    picture->shownName = shownName;
    picture->bytes = read(file, kLargestInputFile, shownName);
    if (!decodePicture(picture->bytes, picture->decoded, picture->error)) picture->decoded.image.reset();
    pictures_.push_front(picture);
    pictureBytes_ += memoryOf(*picture);
    // What no model holds any more goes, oldest first, once past the budget.
    for (auto it = pictures_.end(); pictureBytes_ > kPictureMemory && it != pictures_.begin();) {
        --it;
        if (it->use_count() > 1) continue;
        pictureBytes_ -= memoryOf(**it);
        it = pictures_.erase(it);
    }
    return picture;
}

OpenedModel readModel(const std::string& text, Inputs& inputs) {
    OpenedModel opened;
    opened.shownName = text;
    opened.file = inputs.locate(text);
    opened.bytes = inputs.read(opened.file, kLargestInputFile, text);
    decodeModel(opened);
    if (!opened.check.hasHeader) throw badInput(text, opened.check.refusal + archiveHint(opened.bytes));
    return opened;
}

OpenedModel openModel(const std::string& text, Inputs& inputs) {
    OpenedModel opened = readModel(text, inputs);
    if (!opened.check.refusal.empty()) throw badInput(text, opened.check.refusal + archiveHint(opened.bytes));
    return opened;
}

}  // namespace frontend
