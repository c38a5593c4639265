// Reading files out of game archives (PACK .pak files, zip .pk3 and .zip
// files). Member names are matched ignoring letter case and with '\' taken
// as '/', the way the game files that name them were written.
//
// Everything is read here, within fixed bounds: the archive's directory
// once, its names made plain paths; a member's bytes when asked for (a PACK
// member is a range of the file; a zip member is stored or deflated, inflated
// through zlib and checked against its local header, the directory's sizes
// and its CRC-32). What can't be read is refused with the reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace frontend {

// "ARCHIVE:PATH" with ARCHIVE an archive name: fills both parts. A plain
// path (also one holding a colon elsewhere) gives false.
bool splitArchivePath(const std::string& text, std::string& archive, std::string& member);


// The archive's bytes, read at any offset.
class ArchiveSource {
public:
    virtual ~ArchiveSource() = default;
    virtual uint64_t size() const = 0;
    // False when the n bytes at offset are not all there (or can't be read).
    virtual bool readAt(uint64_t offset, void* out, size_t n) const = 0;
};

// One member as the directory describes it.
struct ArchiveEntry {
    std::string name;         // normalised
    uint64_t offset = 0;      // PACK: the data; zip: the local header, both from the file's start
    uint64_t storedSize = 0;  // bytes in the archive (compressed, in a zip)
    uint64_t size = 0;        // bytes once read
    // In a zip, the central directory's word on how the member is stored.
    uint16_t flags = 0, method = 0;
    uint32_t crc = 0;
    bool zip64Sizes = false;  // its sizes are too large for 32 bits (the zip64 extra field holds them)
};

enum class ArchiveFormat { Pack, Zip };

// What a directory held that is not a member: its stored name (made
// printable, cut at 200 bytes) and why it is left out.
struct LeftOutEntry {
    std::string name;
    std::string reason;
};

class Archive {
public:
    // Opens the archive at path; null with the reason in error when it is
    // not a readable archive.
    static std::unique_ptr<Archive> open(const std::string& path, std::string& error);
    // The same for an archive's bytes; name stands for it in path().
    static std::unique_ptr<Archive> openBytes(std::vector<uint8_t> bytes, const std::string& name, std::string& error);
    ~Archive() = default;
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    const std::string& path() const { return path_; }

    // Every file in the archive, '/' between parts, in name order.
    const std::vector<std::string>& members() const { return members_; }

    // Directory entries that are neither files nor folders here: links,
    // names that leave the archive or are too long, names stored twice.
    const std::vector<LeftOutEntry>& leftOut() const { return leftOut_; }

    // The member stored under name (exactly, else ignoring case); "" if none.
    std::string find(const std::string& name) const;

    // The member's bytes, checked; false with the reason in error (missing,
    // larger than limit, stored in a way ombrel does not read, damaged).
    bool read(const std::string& member, size_t limit, std::vector<uint8_t>& bytes, std::string& error) const;

    // The member's first size bytes (all of it when it is shorter), for its
    // magic; false with the reason in error when they can't be read.
    bool readStart(const std::string& member, size_t size, std::vector<uint8_t>& bytes, std::string& error) const;

    // Bounds on what a directory may hold, so that reading one costs time
    // and memory in proportion to the archive and no more.
    // A member name's bytes: four times the 260-character paths of the
    // systems game archives are made on (the PACK format stops at 55).
    static constexpr size_t kLongestName = 1024;
    // A directory's bytes: room for over 500,000 members, where the largest
    // game archives hold tens of thousands.
    static constexpr uint64_t kLargestDirectory = uint64_t(64) << 20;

private:
    Archive() = default;
    static std::unique_ptr<Archive> openSource(std::unique_ptr<ArchiveSource> source, const std::string& path,
                                               std::string& error);
    const ArchiveEntry* entry(const std::string& member) const;
    // The member's entry when it is there and stored in a way we read, else
    // null with the reason in error.
    const ArchiveEntry* readableEntry(const std::string& member, std::string& error) const;
    // Where the member's data begins in the file, once what stands before it
    // agrees with the directory; false with the reason in error.
    bool findData(const ArchiveEntry& entry, uint64_t& start, std::string& error) const;
    // The member's first most bytes (fewer when it holds fewer), unchecked.
    bool readData(const ArchiveEntry& entry, uint64_t start, size_t most, std::vector<uint8_t>& bytes,
                  std::string& error) const;

    std::string path_;
    std::unique_ptr<ArchiveSource> source_;
    ArchiveFormat format_ = ArchiveFormat::Pack;
    std::vector<std::string> members_;
    std::vector<ArchiveEntry> entries_;  // in the order of members_
    std::vector<LeftOutEntry> leftOut_;
};

}  // namespace frontend
