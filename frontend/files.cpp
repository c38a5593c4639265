#include "frontend/files.h"

#include "common/file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace frontend {

std::string absolutePath(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(fs::path(path), error);
    if (error) absolute = fs::path(path);
    std::string cleaned = absolute.lexically_normal().string();
    // "a/b/" normalises to "a/b/"; a folder's trailing slash adds nothing here.
    while (cleaned.size() > 1 && cleaned.back() == '/') cleaned.pop_back();
    return cleaned;
}

std::string folderOf(const std::string& path) {
    size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stemOf(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string extensionOf(const std::string& fileName) {
    std::string name = fileNameOf(fileName);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : lowerAscii(name.substr(dot + 1));
}

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
    return text;
}

bool equalIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && lowerAscii(a) == lowerAscii(b);
}

namespace {

bool isFolder(const std::string& path) {
    struct stat s;
    return ::stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

// The entries of folder named part: exactly first, then those that differ
// only in letter case, in name order (so the choice does not depend on the
// order the folder lists them in).
std::vector<std::string> matchingEntries(const std::string& folder, const std::string& part) {
    std::vector<std::string> matches;
    const std::string prefix = folder == "/" ? "/" : folder + "/";
    struct stat s;
    if (::lstat((prefix + part).c_str(), &s) == 0) matches.push_back(prefix + part);
    std::vector<std::string> others;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::string name = it->path().filename().string();
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
    if (!isFolder(folder)) return "";
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

FileKind fileKind(const std::string& path) {
    struct stat s;
    if (::stat(path.c_str(), &s) != 0) return errno == EACCES ? FileKind::Unreadable : FileKind::Missing;
    if (S_ISDIR(s.st_mode)) return FileKind::Folder;
    if (!S_ISREG(s.st_mode)) return FileKind::Other;
    return ::access(path.c_str(), R_OK) == 0 ? FileKind::Regular : FileKind::Unreadable;
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

bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    const FileKind kind = fileKind(path);
    if (kind != FileKind::Regular) {
        error = describeKind(kind);
        return false;
    }
    FileBytes file;
    if (!readWholeFile(path.c_str(), int64_t(limit), file)) {
        struct stat s;
        bool tooLarge = ::stat(path.c_str(), &s) == 0 && uint64_t(s.st_size) > limit;
        error = tooLarge ? "too large (" + std::to_string(s.st_size) + " bytes)" : "can't be read";
        return false;
    }
    bytes.assign(file.data.get(), file.data.get() + file.size);
    return true;
}

bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = std::strerror(errno);
            ::close(fd);
            return false;
        }
        done += size_t(n);
    }
    if (::close(fd) != 0) {
        error = std::strerror(errno);
        return false;
    }
    return true;
}

int createTemporaryBeside(const std::string& path, std::string& temporary, std::string& error) {
    std::string pattern = folderOf(absolutePath(path)) + "/." + fileNameOf(path) + ".XXXXXX";
    int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0) {
        error = path + ": can't write there (" + std::strerror(errno) + ")";
        return -1;
    }
    // mkostemp makes the file for its owner alone; a picture gets the
    // permissions any new file of this user gets.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    temporary = pattern;
    return fd;
}

bool renameInto(const std::string& temporary, const std::string& path, std::string& error) {
    if (::rename(temporary.c_str(), path.c_str()) == 0) return true;
    error = path + ": can't write there (" + std::strerror(errno) + ")";
    ::unlink(temporary.c_str());
    return false;
}

bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    std::string temporary;
    int fd = createTemporaryBeside(path, temporary, error);
    if (fd < 0) return false;
    ::close(fd);
    std::string reason;
    if (!writeWholeFile(temporary, bytes, reason)) {
        error = path + ": can't write there (" + reason + ")";
        ::unlink(temporary.c_str());
        return false;
    }
    return renameInto(temporary, path, error);
}

std::string programFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    buffer[n] = 0;
    return folderOf(buffer);
}

// The install layout's folders relative to bin come from the build
// (../share/ombrel, ../libexec/ombrel by default), so any prefix works.
std::string dataFolder() {
    std::string bin = programFolder();
    if (bin.empty()) return "";
    return absolutePath(bin + "/" OMBREL_DATA_FROM_BIN);
}

std::string viewerProgram() {
    std::string bin = programFolder();
    if (bin.empty()) return "";
    std::string installed = absolutePath(bin + "/" OMBREL_PROGRAMS_FROM_BIN "/viewer");
    if (fileKind(installed) == FileKind::Regular) return installed;
    return bin + "/viewer";
}

}  // namespace frontend
