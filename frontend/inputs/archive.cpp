#include "frontend/inputs/archive.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>

#include <zlib.h>

#include "common/bytes.h"
#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/inputs/formats.h"

namespace frontend {

namespace {

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
    const uint64_t start = littleEndianU32(header + 4), length = littleEndianU32(header + 8);
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
        stored[i].entry.offset = littleEndianU32(record + 56);
        stored[i].entry.storedSize = stored[i].entry.size = littleEndianU32(record + 60);
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
    while (littleEndianU32(&tail[at]) != kZipEnd) {
        if (at == 0) {
            error = "not a PACK or zip archive";
            return false;
        }
        --at;
    }
    const uint64_t endPosition = size - tailLength + at;
    const uint8_t* end = &tail[at];
    count = littleEndianU16(end + 10);
    length = littleEndianU32(end + 12);
    start = littleEndianU32(end + 16);
    uint64_t directoryEnd = endPosition;
    uint8_t locator[20], record[56];
    if (endPosition >= 20 && source.readAt(endPosition - 20, locator, sizeof locator) &&
        littleEndianU32(locator) == kZip64Locator) {
        // The zip64 end record lies just before its locator, or where it says.
        const uint64_t stated = littleEndianU64(locator + 8);
        uint64_t position = endPosition - 20 >= 56 ? endPosition - 20 - 56 : stated;
        if (!source.readAt(position, record, sizeof record) || littleEndianU32(record) != kZip64End) position = stated;
        if (!source.readAt(position, record, sizeof record) || littleEndianU32(record) != kZip64End) {
            error = "a zip archive whose zip64 end record is missing";
            return false;
        }
        count = littleEndianU64(record + 32);
        length = littleEndianU64(record + 40);
        start = littleEndianU64(record + 48);
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
        if (directory.size() - at < 46 || littleEndianU32(&directory[at]) != kZipCentral) {
            error = damaged + " (entry " + std::to_string(&s - stored.data() + 1) + ")";
            return false;
        }
        const uint8_t* r = &directory[at];
        const size_t nameLength = littleEndianU16(r + 28), extraLength = littleEndianU16(r + 30),
                     commentLength = littleEndianU16(r + 32);
        if (directory.size() - at - 46 < nameLength + extraLength + commentLength) {
            error = damaged + " (entry " + std::to_string(&s - stored.data() + 1) + " runs past its end)";
            return false;
        }
        ArchiveEntry& e = s.entry;
        e.flags = littleEndianU16(r + 8);
        e.method = littleEndianU16(r + 10);
        e.crc = littleEndianU32(r + 16);
        e.storedSize = littleEndianU32(r + 20);
        e.size = littleEndianU32(r + 24);
        e.offset = littleEndianU32(r + 42);
        e.zip64Sizes = e.storedSize == 0xFFFFFFFFu || e.size == 0xFFFFFFFFu;
        // A Unix mode of "symbolic link" in the upper half of the attributes.
        s.link = ((littleEndianU32(r + 38) >> 16) & 0170000) == 0120000;
        s.name.assign(reinterpret_cast<const char*>(r + 46), nameLength);
        // Sizes and offset too large for 32 bits are in the zip64 extra field,
        // in this order, each only where its 32-bit field is all ones: an
        // ordinary member may lie past 4 GiB of a large archive, while a
        // member of such sizes is refused when read (zip64Sizes).
        const uint8_t* extra = r + 46 + nameLength;
        for (size_t x = 0; x + 4 <= extraLength;) {
            const size_t fieldLength = littleEndianU16(extra + x + 2);
            if (littleEndianU16(extra + x) == 1) {
                const uint8_t* value = extra + x + 4;
                const uint8_t* valueEnd = value + std::min(fieldLength, extraLength - x - 4);
                for (uint64_t* field : {&e.size, &e.storedSize, &e.offset})
                    if (*field == 0xFFFFFFFFu && valueEnd - value >= 8) {
                        *field = littleEndianU64(value);
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

namespace {

constexpr uint32_t kZipLocal = 0x04034b50;
constexpr uint16_t kStored = 0, kDeflated = 8;
// Flags: encrypted, sizes and CRC in a descriptor after the data, strongly encrypted.
constexpr uint16_t kEncrypted = 0x0001, kDescriptor = 0x0008, kStrongEncryption = 0x0040;

const char kOutside[] = "damaged in the archive (its data lies outside the file)";

std::string hex(uint32_t value, int digits) {
    char text[16];
    std::snprintf(text, sizeof text, "%0*x", digits, unsigned(value));
    return text;
}

// The common names of compression methods ombrel does not read.
std::string methodName(uint16_t method) {
    static const std::pair<uint16_t, const char*> kNames[] = {
        {9, "Deflate64"}, {12, "bzip2"}, {14, "LZMA"}, {93, "zstd"}, {95, "xz"}, {98, "PPMd"}, {99, "AES encryption"}};
    for (const auto& name : kNames)
        if (name.first == method) return std::string(" (") + name.second + ")";
    return "";
}

// Why a member stored this way is not read, or "" when it can be.
std::string unreadableStorage(const ArchiveEntry& entry) {
    if (entry.flags & (kEncrypted | kStrongEncryption)) return "encrypted in the archive, which ombrel does not read";
    if (entry.method != kStored && entry.method != kDeflated)
        return "compressed by method " + std::to_string(entry.method) + methodName(entry.method) +
               " in the archive, which ombrel does not read (only stored and deflated members)";
    if (entry.zip64Sizes) return "stored with ZIP64 sizes in the archive, which ombrel does not read";
    return "";
}

// The compressed and full sizes in a local header's zip64 extra field (both
// are there when its 32-bit fields are all ones, full size first); false
// when the field is missing or short.
bool localZip64Sizes(const std::vector<uint8_t>& extra, uint64_t& storedSize, uint64_t& size) {
    for (size_t at = 0; at + 4 <= extra.size();) {
        const size_t length = littleEndianU16(&extra[at + 2]);
        if (littleEndianU16(&extra[at]) == 1 && length >= 16 && extra.size() - at - 4 >= 16) {
            size = littleEndianU64(&extra[at + 4]);
            storedSize = littleEndianU64(&extra[at + 12]);
            return true;
        }
        at += 4 + length;
    }
    return false;
}

// Inflates the raw deflate data of length bytes at start until out holds
// most bytes or the data's end mark is met, reading it piece bytes at a time.
// False with the reason when the data is damaged or ends before its end mark.
bool inflateData(const ArchiveSource& source, uint64_t start, uint64_t length, size_t most, size_t piece,
                 std::vector<uint8_t>& out, std::string& error) {
    out.clear();
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) {
        error = "can't be inflated (out of memory)";
        return false;
    }
    std::vector<uint8_t> input(size_t(std::min<uint64_t>(length, piece)));
    uint64_t taken = 0;
    bool ok = true;
    while (ok && out.size() < most) {
        if (stream.avail_in == 0 && taken < length) {
            const size_t n = size_t(std::min<uint64_t>(input.size(), length - taken));
            if (!source.readAt(start + taken, input.data(), n)) {
                error = "can't be read from the archive";
                ok = false;
                break;
            }
            taken += n;
            stream.next_in = input.data();
            stream.avail_in = uInt(n);
        }
        const size_t before = out.size();
        out.resize(std::min(most, before + (size_t(1) << 16)));
        stream.next_out = out.data() + before;
        stream.avail_out = uInt(out.size() - before);
        const int status = inflate(&stream, Z_NO_FLUSH);
        out.resize(out.size() - stream.avail_out);
        if (status == Z_STREAM_END) break;
        // No progress with every byte given: the data stops before its end mark.
        if (status == Z_BUF_ERROR && stream.avail_in == 0 && taken == length) {
            error = "damaged in the archive (its deflated data ends early)";
            ok = false;
        } else if (status != Z_OK && status != Z_BUF_ERROR) {
            error = status == Z_MEM_ERROR ? "can't be inflated (out of memory)"
                                          : std::string("damaged in the archive (its deflated data is damaged: ") +
                                                (stream.msg ? stream.msg : "unreadable") + ")";
            ok = false;
        }
    }
    inflateEnd(&stream);
    return ok;
}

}  // namespace

bool Archive::findData(const ArchiveEntry& entry, uint64_t& start, std::string& error) const {
    start = entry.offset;
    if (format_ == ArchiveFormat::Zip) {
        uint8_t local[30];
        if (!source_->readAt(entry.offset, local, sizeof local)) {
            error = kOutside;
            return false;
        }
        if (littleEndianU32(local) != kZipLocal) {
            error = "damaged in the archive (no local header where its directory says)";
            return false;
        }
        const uint16_t flags = littleEndianU16(local + 6), method = littleEndianU16(local + 8);
        const uint32_t crc = littleEndianU32(local + 14);
        uint64_t storedSize = littleEndianU32(local + 18), size = littleEndianU32(local + 22);
        const size_t nameLength = littleEndianU16(local + 26), extraLength = littleEndianU16(local + 28);
        start = entry.offset + 30 + nameLength + extraLength;
        const std::string disagrees = "damaged in the archive (its local header gives its ";
        const uint16_t kept = kEncrypted | kDescriptor | kStrongEncryption;
        if (method != entry.method) {
            error = disagrees + "method as " + std::to_string(method) + ", its directory as " +
                    std::to_string(entry.method) + ")";
            return false;
        }
        if ((flags & kept) != (entry.flags & kept)) {
            error = disagrees + "flags as 0x" + hex(flags, 4) + ", its directory as 0x" + hex(entry.flags, 4) + ")";
            return false;
        }
        // With a descriptor after the data, the local header's CRC and sizes
        // may be zeros: the directory's are the ones written once known.
        if (!(entry.flags & kDescriptor)) {
            // Sizes all ones are in the local zip64 field (written so by
            // programs that can't know the size beforehand, such as zip
            // reading a pipe), also for a member the directory gives
            // ordinary sizes.
            if (storedSize == 0xFFFFFFFFu && size == 0xFFFFFFFFu) {
                std::vector<uint8_t> extra(extraLength);
                if (!source_->readAt(entry.offset + 30 + nameLength, extra.data(), extra.size()) ||
                    !localZip64Sizes(extra, storedSize, size)) {
                    error = "damaged in the archive (its local header's ZIP64 sizes are missing)";
                    return false;
                }
            }
            if (crc != entry.crc) {
                error = disagrees + "CRC-32 as " + hex(crc, 8) + ", its directory as " + hex(entry.crc, 8) + ")";
                return false;
            }
            if (storedSize != entry.storedSize || size != entry.size) {
                error = disagrees + "sizes as " + std::to_string(storedSize) + " bytes compressed and " +
                        std::to_string(size) + " in full, its directory as " + std::to_string(entry.storedSize) +
                        " and " + std::to_string(entry.size) + ")";
                return false;
            }
        }
    }
    if (start > source_->size() || entry.storedSize > source_->size() - start) {
        error = kOutside;
        return false;
    }
    return true;
}

bool Archive::readData(const ArchiveEntry& entry, uint64_t start, size_t most, std::vector<uint8_t>& bytes,
                       std::string& error) const {
    if (entry.method == kDeflated) {
        // A small piece when only the first bytes are wanted: a block's
        // header and first codes take a few hundred bytes at most.
        const size_t piece = most <= 64 ? 1024 : size_t(1) << 16;
        return inflateData(*source_, start, entry.storedSize, most, piece, bytes, error);
    }
    bytes.resize(size_t(std::min<uint64_t>(most, entry.storedSize)));
    if (!source_->readAt(start, bytes.data(), bytes.size())) {
        error = "can't be read from the archive";
        bytes.clear();
        return false;
    }
    return true;
}

const ArchiveEntry* Archive::readableEntry(const std::string& member, std::string& error) const {
    const ArchiveEntry* found = entry(member);
    if (!found) {
        error = "no such file in the archive";
        return nullptr;
    }
    error = unreadableStorage(*found);
    return error.empty() ? found : nullptr;
}

bool Archive::read(const std::string& member, size_t limit, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    const ArchiveEntry* found = readableEntry(member, error);
    if (!found) return false;
    if (found->size > limit) {
        error = "too large (more than " + std::to_string(limit) + " bytes)";
        return false;
    }
    if (found->method == kStored && found->storedSize != found->size) {
        error = "damaged in the archive (stored as " + std::to_string(found->storedSize) +
                " bytes without compression, where its directory says " + std::to_string(found->size) + " in full)";
        return false;
    }
    uint64_t start = 0;
    if (!findData(*found, start, error)) return false;
    // The directory's size is the archive's word, not a promise: one byte
    // more is asked for, and only exactly what it says is taken.
    if (!readData(*found, start, size_t(found->size) + 1, bytes, error)) {
        bytes.clear();
        return false;
    }
    if (bytes.size() != found->size) {
        error = bytes.size() > found->size ? "damaged in the archive (more than the " + std::to_string(found->size) +
                                                 " bytes its directory says)"
                                           : "damaged in the archive (" + std::to_string(bytes.size()) +
                                                 " bytes where its directory says " + std::to_string(found->size) + ")";
        bytes.clear();
        return false;
    }
    // A PACK archive keeps no check of its members.
    if (format_ == ArchiveFormat::Zip) {
        const uint32_t crc = uint32_t(crc32_z(crc32(0, nullptr, 0), bytes.data(), bytes.size()));
        if (crc != found->crc) {
            error = "damaged in the archive (its CRC-32 is " + hex(crc, 8) + " where its directory says " +
                    hex(found->crc, 8) + ")";
            bytes.clear();
            return false;
        }
    }
    return true;
}

bool Archive::readStart(const std::string& member, size_t size, std::vector<uint8_t>& bytes, std::string& error) const {
    bytes.clear();
    const ArchiveEntry* found = readableEntry(member, error);
    if (!found) return false;
    uint64_t start = 0;
    // Only the first bytes are inflated, so the CRC-32, which covers the
    // whole member, can't be checked here: read() checks it.
    return findData(*found, start, error) &&
           readData(*found, start, size_t(std::min<uint64_t>(size, found->size)), bytes, error);
}

}  // namespace frontend
