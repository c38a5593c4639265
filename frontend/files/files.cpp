#include "frontend/files/files.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "common/file.h"
#include "frontend/base/report.h"
#include "frontend/system/system.h"

namespace fs = std::filesystem;

namespace frontend {

bool makeFoldersFor(const std::string& path, std::string& error) {
    const std::string folder = folderOf(absolutePath(path));
    std::error_code failure;
    fs::create_directories(pathFromText(folder), failure);
    if (failure) {
        error = "can't make the folder " + nativePath(folder) + " (" + failure.message() + ")";
        return false;
    }
    return true;
}

void removeEntry(const std::string& path) {
    std::error_code ignored;
    fs::remove(pathFromText(path), ignored);
}

void removeFolder(const std::string& path) {
    std::error_code ignored;
    fs::remove_all(pathFromText(path), ignored);
}

namespace {

// Something stands at path, also a link that leads nowhere.
bool entryExists(const std::string& path) {
    std::error_code error;
    return fs::exists(fs::symlink_status(pathFromText(path), error));
}

// The entries of folder named part: exactly first, then those that differ
// only in letter case, in name order (so the choice does not depend on the
// order the folder lists them in).
std::vector<std::string> matchingEntries(const std::string& folder, const std::string& part) {
    std::vector<std::string> matches;
    const std::string prefix = folder.back() == '/' ? folder : folder + "/";
    if (entryExists(prefix + part)) matches.push_back(prefix + part);
    std::vector<std::string> others;
    std::error_code error;
    for (fs::directory_iterator it(pathFromText(folder), error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().u8string();
        if (name != part && equalIgnoringCase(name, part)) others.push_back(name);
    }
    std::sort(others.begin(), others.end());
    for (const std::string& name : others) matches.push_back(prefix + name);
    return matches;
}

std::vector<std::string> splitParts(const std::string& relative) {
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= relative.size()) {
        size_t end = relative.find('/', start);
        if (end == std::string::npos) end = relative.size();
        std::string part = relative.substr(start, end - start);
        if (!part.empty() && part != ".") parts.push_back(part);
        start = end + 1;
    }
    return parts;
}

// Follows parts[index..] from folder, trying every spelling of each part
// until one whole path leads to a regular file.
std::string findFrom(const std::string& folder, const std::vector<std::string>& parts, size_t index) {
    if (index == parts.size()) return fileKind(folder) == FileKind::Regular ? folder : std::string();
    if (parts[index] == "..") return findFrom(folderOf(folder), parts, index + 1);
    std::error_code error;
    if (!fs::is_directory(pathFromText(folder), error)) return "";
    for (const std::string& entry : matchingEntries(folder, parts[index])) {
        std::string found = findFrom(entry, parts, index + 1);
        if (!found.empty()) return found;
    }
    return "";
}

}  // namespace

std::string findIgnoringCase(const std::string& folder, const std::string& relative) {
    return findFrom(folder.empty() ? "." : folder, splitParts(relative), 0);
}

void replaceFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    OutputFiles output;
    output.add(path, bytes);
    output.commit();
}

OutputFiles::~OutputFiles() {
    for (const auto& [temporary, path] : pending_) removeEntry(temporary);
}

void OutputFiles::add(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::string temporary, error;
    if (!writeBeside(path, bytes, temporary, error)) throw systemFailure("", error);
    pending_.emplace_back(temporary, path);
}

void OutputFiles::commit() {
    // What can be known to fail is known before anything is moved.
    for (const auto& [temporary, path] : pending_)
        if (fileKind(path) == FileKind::Folder) throw systemFailure(path, "a folder stands there");
    std::vector<std::string> moved;
    for (const auto& [temporary, path] : pending_) {
        std::string error;
        if (!moveInto(temporary, path, error)) {
            // Half a set of files is no use to anyone: the moved ones go too.
            for (const std::string& done : moved) removeEntry(done);
            throw systemFailure("", error);
        }
        moved.push_back(path);
    }
    pending_.clear();
}

FileKind fileKind(const std::string& path) {
    std::error_code error;
    const fs::file_status status = fs::status(pathFromText(path), error);
    if (status.type() == fs::file_type::not_found || (error && error != std::errc::permission_denied))
        return FileKind::Missing;
    if (error) return FileKind::Unreadable;
    if (status.type() == fs::file_type::directory) return FileKind::Folder;
    if (status.type() != fs::file_type::regular) return FileKind::Other;
    return FileKind::Regular;
}

std::string describeKind(FileKind kind) {
    switch (kind) {
    case FileKind::Missing:
        return "no such file";
    case FileKind::Folder:
        return "a folder, not a file";
    case FileKind::Other:
        return "not a regular file";
    case FileKind::Unreadable:
        return "permission denied";
    case FileKind::Regular:
        break;
    }
    return "";
}

namespace {

FileKind kindOf(FileProblem problem) {
    switch (problem) {
    case FileProblem::None:
        return FileKind::Regular;
    case FileProblem::Missing:
        return FileKind::Missing;
    case FileProblem::Folder:
        return FileKind::Folder;
    case FileProblem::NotRegular:
        return FileKind::Other;
    case FileProblem::Unreadable:
        break;
    }
    return FileKind::Unreadable;
}

}  // namespace

bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    FileBytes file;
    FileProblem problem = FileProblem::None;
    bool tooLarge = false;
    int64_t size = 0;
    if (!readWholeFile(path.c_str(), int64_t(limit), file, problem, tooLarge, size)) {
        error = problem != FileProblem::None ? describeKind(kindOf(problem))
                : tooLarge                   ? "too large (" + std::to_string(size) + " bytes)"
                                             : "can't be read";
        return false;
    }
    bytes.assign(file.data.get(), file.data.get() + file.size);
    return true;
}

}  // namespace frontend
