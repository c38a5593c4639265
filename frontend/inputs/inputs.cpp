#include "frontend/inputs/inputs.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "frontend/base/report.h"
#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/inputs/formats.h"
#include "frontend/system/system.h"

namespace fs = std::filesystem;

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

namespace {

// The files of a sequence, by number: the files beside the pattern (in its
// folder, or that folder of its archive) that sequenceName gives for some
// number.
std::vector<std::pair<int, FileRef>> sequenceFiles(const std::string& text, Inputs& inputs, FileRef& pattern) {
    std::string archivePath, member;
    std::vector<std::pair<int, FileRef>> found;
    int number = 0;
    if (splitArchivePath(text, archivePath, member)) {
        pattern.archive = &inputs.archive(archivePath);
        std::string name;
        bool folder = false;
        if (!normaliseStoredName(member, name, folder) || folder) throw badInput(text, "no such file in the archive");
        pattern.path = name;
        const std::string inside = lowerAscii(name.substr(0, name.size() - fileNameOf(name).size()));
        for (const std::string& stored : pattern.archive->members()) {
            const std::string file = fileNameOf(stored);
            if (lowerAscii(stored.substr(0, stored.size() - file.size())) == inside &&
                sequenceNumber(fileNameOf(name), file, number))
                found.push_back({number, FileRef{pattern.archive, stored}});
        }
    } else {
        pattern.path = absolutePath(text);
        const std::string folder = folderOf(pattern.path);
        std::error_code error;
        for (fs::directory_iterator it(pathFromText(folder), error), end; !error && it != end; it.increment(error)) {
            std::error_code kindError;
            const std::string file = it->path().filename().u8string();
            if (it->is_regular_file(kindError) && sequenceNumber(fileNameOf(pattern.path), file, number))
                found.push_back({number, FileRef{nullptr, folder + "/" + file}});
        }
        if (error) throw badInput(text, "can't read its folder (" + error.message() + ")");
    }
    return found;
}

ModelSource readSequence(const std::string& text, Inputs& inputs) {
    ModelSource source;
    source.shownName = text;
    source.sequence = true;
    source.format = &formatOf(text, nullptr, 0);
    int number = 0;
    sequenceNumber(text, "", number);  // refuses a malformed {frame} place, naming the text
    if (hasFramePlace(folderOf(text)))
        throw badInput(text, "{frame} numbers the files of a sequence, not their folders");
    if (!comesAsSequence(*source.format)) throw badInput(text, "{frame} names a sequence of .obj files, one a frame");
    std::vector<std::pair<int, FileRef>> files = sequenceFiles(text, inputs, source.file);
    if (files.empty())
        throw badInput(text, "no files of this sequence (such as " + fileNameOf(sequenceName(text, 0)) + " or " +
                                 fileNameOf(sequenceName(text, 1)) + ")");
    std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (size_t i = 1; i < files.size(); ++i)
        if (files[i].first != files[i - 1].first + 1)
            throw badInput(text, "frame " + std::to_string(files[i - 1].first + 1) + " is missing (" +
                                     fileNameOf(sequenceName(text, files[i - 1].first + 1)) + ", between " +
                                     fileNameOf(files[i - 1].second.path) + " and " + fileNameOf(files[i].second.path) +
                                     ")");
    if (files.size() > size_t(SOURCE_MAX_FRAMES))
        throw badInput(text, std::to_string(files.size()) + " files, more frames than a source may have (" +
                                 std::to_string(SOURCE_MAX_FRAMES) + ")");
    size_t total = 0;
    for (const auto& file : files) {
        InterruptGuard::checkpoint();
        source.files.push_back(inputs.read(file.second, kLargestInputFile, file.second.display()));
        total += source.files.back().size();
        if (total > SOURCE_MAX_FILE_SIZE)
            throw badInput(text, "its files together are larger than a source may be (1 GiB)");
    }
    return source;
}

}  // namespace

ModelSource readSource(const std::string& text, Inputs& inputs) {
    if (hasFramePlace(text)) return readSequence(text, inputs);
    ModelSource source;
    source.shownName = text;
    source.file = inputs.locate(text);
    source.files.push_back(inputs.read(source.file, kLargestInputFile, text));
    const std::vector<uint8_t>& bytes = source.files.front();
    source.format = &formatOf(source.file.path, bytes.data(), bytes.size());
    return source;
}

OpenedModel readModel(const std::string& text, Inputs& inputs) { return readModel(readSource(text, inputs), inputs); }

OpenedModel readModel(ModelSource source, Inputs& inputs) {
    OpenedModel opened;
    opened.shownName = source.shownName;
    opened.file = source.file;
    if (source.format->source) {
        decodeMadeModel(readSourceMesh(source, SourceReadOptions(), inputs), *source.format, opened);
        if (!opened.check.hasHeader) throw badInput(opened.shownName, opened.check.refusal);
        return opened;
    }
    opened.bytes = std::move(source.files.front());
    decodeModel(opened);
    if (!opened.check.hasHeader) throw badInput(opened.shownName, opened.check.refusal + archiveHint(opened.bytes));
    return opened;
}

OpenedModel openModel(const std::string& text, Inputs& inputs) {
    OpenedModel opened = readModel(text, inputs);
    if (!opened.check.refusal.empty()) throw badInput(text, opened.check.refusal + archiveHint(opened.bytes));
    return opened;
}

}  // namespace frontend
