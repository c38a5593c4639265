#include "frontend/inputs/archive.h"

#include <algorithm>
#include <cstring>
#include <fstream>
#include <numeric>

#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/inputs/formats.h"

namespace frontend {

namespace {

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return uint32_t(le16(p)) | uint32_t(le16(p + 2)) << 16; }
uint64_t le64(const uint8_t* p) { return uint64_t(le32(p)) | uint64_t(le32(p + 4)) << 32; }

class FileSource : public ArchiveSource {
public:
    bool open(const std::string& path) {
        file_.open(pathFromText(path), std::ios::binary);
        if (!file_) return false;
        file_.seekg(0, std::ios::end);
        const std::streamoff end = file_.tellg();
        if (end < 0) return false;
        size_ = uint64_t(end);
        return true;
    }
    uint64_t size() const override { return size_; }
    bool readAt(uint64_t offset, void* out, size_t n) const override {
        if (offset > size_ || n > size_ - offset) return false;
        file_.clear();
        file_.seekg(std::streamoff(offset));
        file_.read(static_cast<char*>(out), std::streamsize(n));
        return file_.gcount() == std::streamsize(n);
    }

private:
    mutable std::ifstream file_;
    uint64_t size_ = 0;
};

class BytesSource : public ArchiveSource {
public:
    explicit BytesSource(std::vector<uint8_t> bytes) : bytes_(std::move(bytes)) {}
    uint64_t size() const override { return bytes_.size(); }
    bool readAt(uint64_t offset, void* out, size_t n) const override {
        if (offset > bytes_.size() || n > bytes_.size() - offset) return false;
        if (n) std::memcpy(out, bytes_.data() + offset, n);
        return true;
    }

private:
    std::vector<uint8_t> bytes_;
};

// An entry as the directory stores it, before its name is looked at.
struct StoredEntry {
    std::string name;
    bool link = false;
    ArchiveEntry entry;
};

std::string outsideTheFile(const char* what, uint64_t start, uint64_t length, uint64_t fileSize) {
    return std::string(what) + " lies outside the file (" + std::to_string(length) + " bytes at byte " +
           std::to_string(start) + " of " + std::to_string(fileSize) + ")";
}

// Reads length bytes of directory at start: false with the reason when they
// are not all in the file or are more than any real directory holds.
bool readDirectory(const ArchiveSource& source, const char* what, uint64_t start, uint64_t length,
                   std::vector<uint8_t>& bytes, std::string& error) {
    if (start > source.size() || length > source.size() - start) {
        error = outsideTheFile(what, start, length, source.size());
        return false;
    }
    if (length > Archive::kLargestDirectory) {
        error = std::string(what) + " is " + std::to_string(length) + " bytes, more than ombrel reads (" +
                std::to_string(Archive::kLargestDirectory) + ")";
        return false;
    }
    bytes.resize(size_t(length));
    if (!source.readAt(start, bytes.data(), bytes.size())) {
        error = std::string("can't read ") + what;
        return false;
    }
    return true;
}

// "PACK", the directory's offset and length, then anywhere in the file the
// directory: 64-byte entries of a 56-byte name, the data's offset and size.
bool readPackDirectory(const ArchiveSource& source, std::vector<StoredEntry>& stored, std::string& error) {
    uint8_t header[12];
    if (!source.readAt(0, header, sizeof header)) {
        error = "a PACK archive cut short in its header";
        return false;
    }
    const uint64_t start = le32(header + 4), length = le32(header + 8);
    if (length % 64 != 0) {
        error = "a PACK archive whose directory is damaged (" + std::to_string(length) +
                " bytes, not a whole number of 64-byte entries)";
        return false;
    }
    std::vector<uint8_t> directory;
    if (!readDirectory(source, "a PACK archive whose directory", start, length, directory, error)) return false;
    stored.resize(directory.size() / 64);
    for (size_t i = 0; i < stored.size(); ++i) {
        const uint8_t* record = &directory[i * 64];
        const char* name = reinterpret_cast<const char*>(record);
        stored[i].name.assign(name, strnlen(name, 56));
        stored[i].entry.offset = le32(record + 56);
        stored[i].entry.storedSize = stored[i].entry.size = le32(record + 60);
    }
    return true;
}

constexpr uint32_t kZipEnd = 0x06054b50, kZip64End = 0x06064b50, kZip64Locator = 0x07064b50;
constexpr uint32_t kZipCentral = 0x02014b50;

// The zip's end record: the last "PK\5\6" within the 64 KiB comment's reach
// of the end, and the zip64 records it points to. Fills where the central
// directory lies, how many entries it holds, and how many bytes stand before
// the zip's own offsets begin (a program the archive was appended to).
bool findZipDirectory(const ArchiveSource& source, uint64_t& start, uint64_t& length, uint64_t& count,
                      uint64_t& dataStart, std::string& error) {
    const uint64_t size = source.size();
    const uint64_t tailLength = std::min<uint64_t>(size, 22 + 65535);
    std::vector<uint8_t> tail(size_t(tailLength), 0);
    if (tailLength < 22 || !source.readAt(size - tailLength, tail.data(), tail.size())) {
        error = "not a PACK or zip archive";
        return false;
    }
    size_t at = tail.size() - 22;
    while (le32(&tail[at]) != kZipEnd) {
        if (at == 0) {
            error = "not a PACK or zip archive";
            return false;
        }
        --at;
    }
    const uint64_t endPosition = size - tailLength + at;
    const uint8_t* end = &tail[at];
    count = le16(end + 10);
    length = le32(end + 12);
    start = le32(end + 16);
    uint64_t directoryEnd = endPosition;
    uint8_t locator[20], record[56];
    if (endPosition >= 20 && source.readAt(endPosition - 20, locator, sizeof locator) &&
        le32(locator) == kZip64Locator) {
        // The zip64 end record lies just before its locator, or where it says.
        const uint64_t stated = le64(locator + 8);
        uint64_t position = endPosition - 20 >= 56 ? endPosition - 20 - 56 : stated;
        if (!source.readAt(position, record, sizeof record) || le32(record) != kZip64End) position = stated;
        if (!source.readAt(position, record, sizeof record) || le32(record) != kZip64End) {
            error = "a zip archive whose zip64 end record is missing";
            return false;
        }
        count = le64(record + 32);
        length = le64(record + 40);
        start = le64(record + 48);
        dataStart = position >= stated ? position - stated : 0;
        directoryEnd = position;
    } else {
        if (start + length > endPosition) {
            error = outsideTheFile("a zip archive whose central directory", start, length, size);
            return false;
        }
        dataStart = endPosition - (start + length);
    }
    start += dataStart;
    if (start > directoryEnd || length > directoryEnd - start) {
        error = outsideTheFile("a zip archive whose central directory", start, length, size);
        return false;
    }
    return true;
}

bool readZipDirectory(const ArchiveSource& source, std::vector<StoredEntry>& stored, std::string& error) {
    uint64_t start = 0, length = 0, count = 0, dataStart = 0;
    std::vector<uint8_t> directory;
    if (!findZipDirectory(source, start, length, count, dataStart, error) ||
        !readDirectory(source, "a zip archive whose central directory", start, length, directory, error))
        return false;
    const std::string damaged = "a zip archive whose central directory is damaged";
    if (count > directory.size() / 46) {
        error = damaged + " (" + std::to_string(count) + " entries can't fit in " + std::to_string(length) + " bytes)";
        return false;
    }
    stored.resize(size_t(count));
    size_t at = 0;
    for (StoredEntry& s : stored) {
        if (directory.size() - at < 46 || le32(&directory[at]) != kZipCentral) {
            error = damaged + " (entry " + std::to_string(&s - stored.data() + 1) + ")";
            return false;
        }
        const uint8_t* r = &directory[at];
        const size_t nameLength = le16(r + 28), extraLength = le16(r + 30), commentLength = le16(r + 32);
        if (directory.size() - at - 46 < nameLength + extraLength + commentLength) {
            error = damaged + " (entry " + std::to_string(&s - stored.data() + 1) + " runs past its end)";
            return false;
        }
        ArchiveEntry& e = s.entry;
        e.versionNeeded = le16(r + 6);
        e.flags = le16(r + 8);
        e.method = le16(r + 10);
        e.modified = le32(r + 12);
        e.crc = le32(r + 16);
        e.storedSize = le32(r + 20);
        e.size = le32(r + 24);
        e.offset = le32(r + 42);
        // A Unix mode of "symbolic link" in the upper half of the attributes.
        s.link = ((le32(r + 38) >> 16) & 0170000) == 0120000;
        s.name.assign(reinterpret_cast<const char*>(r + 46), nameLength);
        // Sizes and offset too large for 32 bits are in the zip64 extra field,
        // in this order, each only where its 32-bit field is all ones.
        const uint8_t* extra = r + 46 + nameLength;
        for (size_t x = 0; x + 4 <= extraLength;) {
            const size_t fieldLength = le16(extra + x + 2);
            if (le16(extra + x) == 1) {
                const uint8_t* value = extra + x + 4;
                const uint8_t* valueEnd = value + std::min(fieldLength, extraLength - x - 4);
                for (uint64_t* field : {&e.size, &e.storedSize, &e.offset})
                    if (*field == 0xFFFFFFFFu && valueEnd - value >= 8) {
                        *field = le64(value);
                        value += 8;
                    }
            }
            x += 4 + fieldLength;
        }
        if (e.offset > UINT64_MAX - dataStart) e.offset = UINT64_MAX - dataStart;  // outside, as it should
        e.offset += dataStart;
        at += 46 + nameLength + extraLength + commentLength;
    }
    return true;
}

// The name made printable for a message, cut at 200 bytes.
std::string printableName(const std::string& name) { return escapedBytes(name, 200); }

}  // namespace

bool splitArchivePath(const std::string& text, std::string& archive, std::string& member) {
    // The first colon after which the part before it names an archive: a
    // folder may hold colons, an archive name before the member rarely does.
    for (size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', colon + 1)) {
        std::string before = text.substr(0, colon);
        if (isArchiveName(before)) {
            archive = before;
            member = text.substr(colon + 1);
            return true;
        }
    }
    return false;
}

std::unique_ptr<Archive> Archive::open(const std::string& path, std::string& error) {
    if (!archivesReadable()) {
        error = noReaderReason();
        return nullptr;
    }
    const FileKind kind = fileKind(path);
    if (kind != FileKind::Regular) {
        error = kind == FileKind::Folder ? "a folder, not an archive" : describeKind(kind);
        return nullptr;
    }
    auto source = std::make_unique<FileSource>();
    if (!source->open(path)) {
        error = "can't be read";
        return nullptr;
    }
    return openSource(std::move(source), absolutePath(path), error);
}

std::unique_ptr<Archive> Archive::openBytes(std::vector<uint8_t> bytes, const std::string& name, std::string& error) {
    if (!archivesReadable()) {
        error = noReaderReason();
        return nullptr;
    }
    return openSource(std::make_unique<BytesSource>(std::move(bytes)), name, error);
}

std::unique_ptr<Archive> Archive::openSource(std::unique_ptr<ArchiveSource> source, const std::string& path,
                                             std::string& error) {
    std::unique_ptr<Archive> archive(new Archive);
    archive->path_ = path;
    uint8_t magic[4] = {};
    std::vector<StoredEntry> stored;
    archive->format_ =
        source->readAt(0, magic, 4) && std::memcmp(magic, "PACK", 4) == 0 ? ArchiveFormat::Pack : ArchiveFormat::Zip;
    if (!(archive->format_ == ArchiveFormat::Pack ? readPackDirectory(*source, stored, error)
                                                  : readZipDirectory(*source, stored, error)))
        return nullptr;
    archive->source_ = std::move(source);

    // Each name made a path once; what can't be a member is set aside.
    std::vector<size_t> kept;
    for (size_t i = 0; i < stored.size(); ++i) {
        StoredEntry& s = stored[i];
        bool folder = false;
        std::string reason;
        if (s.name.size() > kLongestName)
            reason = "a name longer than " + std::to_string(kLongestName) + " bytes";
        else if (!normaliseStoredName(s.name, s.entry.name, folder))
            reason = "a name that leads out of the archive";
        else if (folder)
            continue;
        else if (s.link)
            reason = "a symbolic link";
        if (reason.empty())
            kept.push_back(i);
        else
            archive->leftOut_.push_back({printableName(s.name), reason});
    }
    // In name order; of two entries that come to one name, the first stored.
    std::stable_sort(kept.begin(), kept.end(),
                     [&](size_t a, size_t b) { return stored[a].entry.name < stored[b].entry.name; });
    for (size_t i : kept) {
        ArchiveEntry& entry = stored[i].entry;
        if (!archive->members_.empty() && archive->members_.back() == entry.name) {
            archive->leftOut_.push_back({printableName(stored[i].name), "a second entry named " + entry.name});
            continue;
        }
        archive->members_.push_back(entry.name);
        archive->entries_.push_back(std::move(entry));
    }
    return archive;
}

std::string Archive::find(const std::string& name) const {
    std::string wanted;
    bool folder = false;
    if (!normaliseStoredName(name, wanted, folder) || folder) return "";
    if (std::binary_search(members_.begin(), members_.end(), wanted)) return wanted;
    for (const std::string& member : members_)
        if (equalIgnoringCase(member, wanted)) return member;
    return "";
}

const ArchiveEntry* Archive::entry(const std::string& member) const {
    auto it = std::lower_bound(members_.begin(), members_.end(), member);
    if (it == members_.end() || *it != member) return nullptr;
    return &entries_[size_t(it - members_.begin())];
}

bool Archive::read(const std::string& member, size_t limit, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    const ArchiveEntry* found = entry(member);
    if (!found) {
        error = "no such file in the archive";
        return false;
    }
    if (found->size > limit) {
        error = "too large (more than " + std::to_string(limit) + " bytes)";
        return false;
    }
    // The directory's sizes are the archive's word, not a promise: read one
    // byte past them, and take only exactly what they say.
    if (!readMember(*found, limit + 1, bytes, error)) return false;
    if (bytes.size() != found->size) {
        error = "damaged in the archive (" + std::to_string(bytes.size()) + " bytes where its directory says " +
                std::to_string(found->size) + ")";
        bytes.clear();
        return false;
    }
    return true;
}

bool Archive::readStart(const std::string& member, size_t size, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    const ArchiveEntry* found = entry(member);
    if (!found) {
        error = "no such file in the archive";
        return false;
    }
    return readMember(*found, size, bytes, error);
}

}  // namespace frontend
