// Reading files out of game archives (PACK .pak files, zip .pk3 and .zip
// files) through PhysFS. Member names are matched ignoring letter case and
// with '\' taken as '/', the way the game files that name them were written.
// A build without PhysFS reads no archive (archive_unavailable.cpp): opening
// one fails, saying so.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace frontend {

// True when the name ends in .pak, .pk3 or .zip (any case).
bool isArchiveName(const std::string& path);

// "ARCHIVE:PATH" with ARCHIVE an archive name: fills both parts. A plain
// path (also one holding a colon elsewhere) gives false.
bool splitArchivePath(const std::string& text, std::string& archive, std::string& member);

// False in a build that reads no archive.
bool archivesReadable();

class Archive {
public:
    // Opens the archive at path; null with the reason in error when it is
    // not a readable archive.
    static std::unique_ptr<Archive> open(const std::string& path, std::string& error);
    ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const std::string& path() const { return path_; }

    // Every file in the archive, '/' between parts, in name order.
    const std::vector<std::string>& members() const { return members_; }

    // The member stored under name (exactly, else ignoring case); "" if none.
    std::string find(const std::string& name) const;

    // The member's bytes; false with the reason in error (missing, larger
    // than limit, damaged).
    bool read(const std::string& member, size_t limit, std::vector<uint8_t>& bytes, std::string& error) const;

    // True when the member's first size bytes are magic.
    bool startsWith(const std::string& member, const char* magic, size_t size) const;

private:
    Archive() = default;
    std::string path_;
    std::string mountPoint_;
    std::vector<std::string> members_;
};

}  // namespace frontend
