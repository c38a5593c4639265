// Archives read through PhysFS (every build that found it).
#include "frontend/archive.h"

#include <physfs.h>

#include <algorithm>

#include "frontend/files.h"

namespace frontend {

namespace {

std::string lastPhysfsError() {
    const char* text = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    return text ? text : "unknown error";
}

// PhysFS keeps one process-wide file system; it is brought up with the
// first archive and taken down with the last, so nothing of it outlives use.
int openArchives = 0;
int mountCounter = 0;

bool acquirePhysfs() {
    if (openArchives == 0 && !PHYSFS_init(nullptr)) return false;
    ++openArchives;
    return true;
}

void releasePhysfs() {
    if (--openArchives == 0) PHYSFS_deinit();
}

struct Listing {
    std::string mountPoint;
    std::vector<std::string>* members;
};

PHYSFS_EnumerateCallbackResult listEntry(void* data, const char* folder, const char* name) {
    Listing* listing = static_cast<Listing*>(data);
    std::string full = std::string(folder) + "/" + name;
    PHYSFS_Stat stat;
    if (!PHYSFS_stat(full.c_str(), &stat)) return PHYSFS_ENUM_OK;
    if (stat.filetype == PHYSFS_FILETYPE_DIRECTORY) {
        PHYSFS_enumerate(full.c_str(), listEntry, data);
    } else if (stat.filetype == PHYSFS_FILETYPE_REGULAR) {
        listing->members->push_back(full.substr(listing->mountPoint.size() + 1));
    }
    return PHYSFS_ENUM_OK;
}

}  // namespace

bool archivesReadable() { return true; }

std::unique_ptr<Archive> Archive::open(const std::string& path, std::string& error) {
    const FileKind kind = fileKind(path);
    if (kind != FileKind::Regular) {
        error = kind == FileKind::Folder ? "a folder, not an archive" : describeKind(kind);
        return nullptr;
    }
    if (!acquirePhysfs()) {
        error = "can't start the archive reader: " + lastPhysfsError();
        return nullptr;
    }
    std::unique_ptr<Archive> archive(new Archive);
    archive->path_ = absolutePath(path);
    std::string mountPoint = "/archive" + std::to_string(++mountCounter);
    if (!PHYSFS_mount(archive->path_.c_str(), mountPoint.c_str(), 1)) {
        error = "not a PACK or zip archive (" + lastPhysfsError() + ")";
        releasePhysfs();
        return nullptr;
    }
    archive->mountPoint_ = mountPoint;
    Listing listing{mountPoint, &archive->members_};
    PHYSFS_enumerate(mountPoint.c_str(), listEntry, &listing);
    std::sort(archive->members_.begin(), archive->members_.end());
    return archive;
}

Archive::~Archive() {
    if (mountPoint_.empty()) return;
    PHYSFS_unmount(path_.c_str());
    releasePhysfs();
}

bool Archive::read(const std::string& member, size_t limit, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    std::string full = mountPoint_ + "/" + member;
    PHYSFS_File* file = PHYSFS_openRead(full.c_str());
    if (!file) {
        error = "can't read it from the archive (" + lastPhysfsError() + ")";
        return false;
    }
    // The stored length is the archive's word, not a promise: read in pieces
    // and stop past the limit, whatever the directory says.
    bool ok = true;
    uint8_t buffer[65536];
    for (;;) {
        PHYSFS_sint64 n = PHYSFS_readBytes(file, buffer, sizeof buffer);
        if (n < 0) {
            error = "damaged in the archive (" + lastPhysfsError() + ")";
            ok = false;
            break;
        }
        if (n == 0) break;
        if (bytes.size() + size_t(n) > limit) {
            error = "too large (more than " + std::to_string(limit) + " bytes)";
            ok = false;
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (size_t(n) < sizeof buffer && PHYSFS_eof(file)) break;
    }
    PHYSFS_close(file);
    if (!ok) bytes.clear();
    return ok;
}

bool Archive::startsWith(const std::string& member, const char* magic, size_t size) const {
    std::string full = mountPoint_ + "/" + member;
    PHYSFS_File* file = PHYSFS_openRead(full.c_str());
    if (!file) return false;
    std::vector<char> start(size);
    bool matches = PHYSFS_readBytes(file, start.data(), size) == PHYSFS_sint64(size) &&
                   std::equal(start.begin(), start.end(), magic);
    PHYSFS_close(file);
    return matches;
}

}  // namespace frontend
