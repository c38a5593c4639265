// The front end's system calls on Linux and other POSIX systems.
#include "frontend/system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "frontend/files.h"
#include "frontend/options.h"

namespace frontend {

const char* leftOutHere() { return ""; }

std::string lastErrorText() { return std::strerror(errno); }

size_t rootLength(const std::string& path) { return !path.empty() && path[0] == '/' ? 1 : 0; }

std::string nativePath(const std::string& path) { return path; }

bool isFolder(const std::string& path) {
    struct stat s;
    return ::stat(path.c_str(), &s) == 0 && S_ISDIR(s.st_mode);
}

bool entryExists(const std::string& path) {
    struct stat s;
    return ::lstat(path.c_str(), &s) == 0;
}

int64_t fileSize(const std::string& path) {
    struct stat s;
    return ::stat(path.c_str(), &s) == 0 ? int64_t(s.st_size) : -1;
}

FileKind fileKind(const std::string& path) {
    struct stat s;
    if (::stat(path.c_str(), &s) != 0) return errno == EACCES ? FileKind::Unreadable : FileKind::Missing;
    if (S_ISDIR(s.st_mode)) return FileKind::Folder;
    if (!S_ISREG(s.st_mode)) return FileKind::Other;
    return ::access(path.c_str(), R_OK) == 0 ? FileKind::Regular : FileKind::Unreadable;
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

bool makePrivateFolder(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST) return true;
    error = std::strerror(errno);
    return false;
}

void removeEntry(const std::string& path) { ::unlink(path.c_str()); }

bool linkOrCopy(const std::string& target, const std::string& path, std::string& error) {
    if (::symlink(target.c_str(), path.c_str()) == 0) return true;
    error = std::strerror(errno);
    return false;
}

std::string programFolder() {
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) return "";
    buffer[n] = 0;
    return folderOf(buffer);
}

std::vector<std::string> dataFolders() { return {dataFolder()}; }

bool homeFolder(std::string& home) {
    const char* value = std::getenv("HOME");
    if (!value) return false;
    home = value;
    return true;
}

std::string settingsPath() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome && configHome[0] == '/') return std::string(configHome) + "/ombrel/settings";
    const char* home = std::getenv("HOME");
    if (!home || !home[0]) return "";
    return std::string(home) + "/.config/ombrel/settings";
}

}  // namespace frontend
