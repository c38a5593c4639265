// Members read through PhysFS (every build that has it). The directory is
// already read (archive.cpp); for each member PhysFS is shown a one-member
// archive of the same kind: the member's own bytes in the file, framed by a
// header and a directory made here that name it "m". The library decodes and
// checks what it stores (a zip member's compression, its local header), and
// never sees the archive's own names, its size or the rest of its members.
#include "frontend/inputs/archive.h"

#include <physfs.h>

#include <algorithm>
#include <cstring>

namespace frontend {

namespace {

std::string lastPhysfsError() {
    const char* text = PHYSFS_getErrorByCode(PHYSFS_getLastErrorCode());
    return text ? text : "unknown error";
}

// PhysFS keeps one process-wide file system; it is brought up with the
// first archive read and taken down with the last archive, so nothing of it
// outlives use.
int archivesReading = 0;

bool acquirePhysfs() {
    if (archivesReading == 0 && !PHYSFS_init(nullptr)) return false;
    ++archivesReading;
    return true;
}

void releasePhysfs() {
    if (--archivesReading == 0) PHYSFS_deinit();
}

void put16(std::vector<uint8_t>& out, uint32_t v) { out.insert(out.end(), {uint8_t(v), uint8_t(v >> 8)}); }
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

// The bytes PhysFS is shown: head, then window bytes of the archive from
// windowStart, then tail.
struct View {
    const ArchiveSource* source = nullptr;
    std::vector<uint8_t> head;
    uint64_t windowStart = 0, windowSize = 0;
    std::vector<uint8_t> tail;

    uint64_t size() const { return head.size() + windowSize + tail.size(); }

    bool read(uint64_t at, uint8_t* out, uint64_t n) const {
        auto copy = [&](const std::vector<uint8_t>& part) {
            if (n == 0 || at >= part.size()) {
                at -= std::min<uint64_t>(at, part.size());
                return;
            }
            const uint64_t count = std::min<uint64_t>(n, part.size() - at);
            std::memcpy(out, part.data() + at, size_t(count));
            out += count, n -= count, at = 0;
        };
        copy(head);
        if (n > 0 && at < windowSize) {
            const uint64_t count = std::min(n, windowSize - at);
            if (!source->readAt(windowStart + at, out, size_t(count))) return false;
            out += count, n -= count, at = 0;
        } else {
            at -= std::min(at, windowSize);
        }
        copy(tail);
        return n == 0;
    }
};

// A PHYSFS_Io reading a View; each duplicate keeps its own position.
struct ViewReader {
    std::shared_ptr<const View> view;
    uint64_t position = 0;
};

ViewReader& readerOf(PHYSFS_Io* io) { return *static_cast<ViewReader*>(io->opaque); }

PHYSFS_Io* newViewIo(std::shared_ptr<const View> view);

const PHYSFS_Io kViewIo = {
    0,
    nullptr,
    [](PHYSFS_Io* io, void* buffer, PHYSFS_uint64 length) -> PHYSFS_sint64 {
        ViewReader& reader = readerOf(io);
        const uint64_t count = std::min<uint64_t>(length, reader.view->size() - reader.position);
        if (!reader.view->read(reader.position, static_cast<uint8_t*>(buffer), count)) {
            PHYSFS_setErrorCode(PHYSFS_ERR_IO);
            return -1;
        }
        reader.position += count;
        return PHYSFS_sint64(count);
    },
    [](PHYSFS_Io*, const void*, PHYSFS_uint64) -> PHYSFS_sint64 {
        PHYSFS_setErrorCode(PHYSFS_ERR_READ_ONLY);
        return -1;
    },
    [](PHYSFS_Io* io, PHYSFS_uint64 offset) -> int {
        ViewReader& reader = readerOf(io);
        if (offset > reader.view->size()) {
            PHYSFS_setErrorCode(PHYSFS_ERR_PAST_EOF);
            return 0;
        }
        reader.position = offset;
        return 1;
    },
    [](PHYSFS_Io* io) -> PHYSFS_sint64 { return PHYSFS_sint64(readerOf(io).position); },
    [](PHYSFS_Io* io) -> PHYSFS_sint64 { return PHYSFS_sint64(readerOf(io).view->size()); },
    [](PHYSFS_Io* io) -> PHYSFS_Io* { return newViewIo(readerOf(io).view); },
    [](PHYSFS_Io*) -> int { return 1; },
    [](PHYSFS_Io* io) {
        delete &readerOf(io);
        delete io;
    },
};

PHYSFS_Io* newViewIo(std::shared_ptr<const View> view) {
    PHYSFS_Io* io = new PHYSFS_Io(kViewIo);
    io->opaque = new ViewReader{std::move(view), 0};
    return io;
}

const char kOutside[] = "damaged in the archive (its data lies outside the file)";
const char kTooLarge[] = "too large to read from the archive";

// PACK: a header, the member's data, a directory of one entry.
bool packView(const ArchiveSource& source, const ArchiveEntry& entry, View& view, std::string& error) {
    if (entry.offset > source.size() || entry.storedSize > source.size() - entry.offset) {
        error = kOutside;
        return false;
    }
    if (entry.storedSize > uint64_t(INT32_MAX) - 12 - 64) {
        error = kTooLarge;
        return false;
    }
    const uint32_t size = uint32_t(entry.storedSize);
    view.head = {'P', 'A', 'C', 'K'};
    put32(view.head, 12 + size);
    put32(view.head, 64);
    view.windowStart = entry.offset;
    view.windowSize = size;
    view.tail.assign(64, 0);
    view.tail[0] = 'm';
    view.tail.resize(56);
    put32(view.tail, 12);
    put32(view.tail, size);
    return true;
}

// zip: the member's local header and data as they are in the file, then a
// central directory of one entry that says what the archive's own said.
bool zipView(const ArchiveSource& source, const ArchiveEntry& entry, View& view, std::string& error) {
    uint8_t local[30];
    if (!source.readAt(entry.offset, local, sizeof local)) {
        error = kOutside;
        return false;
    }
    if (std::memcmp(local, "PK\x03\x04", 4) != 0) {
        error = "damaged in the archive (no local header where its directory says)";
        return false;
    }
    const uint64_t length =
        30 + uint64_t(local[26] | local[27] << 8) + uint64_t(local[28] | local[29] << 8) + entry.storedSize;
    if (entry.offset > source.size() || length > source.size() - entry.offset) {
        error = kOutside;
        return false;
    }
    if (length > 0xFFFFFFF0u || entry.size > 0xFFFFFFF0u) {
        error = kTooLarge;
        return false;
    }
    view.windowStart = entry.offset;
    view.windowSize = length;
    std::vector<uint8_t>& t = view.tail;
    put32(t, 0x02014b50);
    put16(t, 20);  // made by: version 2.0 on a system without links
    put16(t, entry.versionNeeded);
    put16(t, entry.flags);
    put16(t, entry.method);
    put32(t, entry.modified);
    put32(t, entry.crc);
    put32(t, uint32_t(entry.storedSize));
    put32(t, uint32_t(entry.size));
    put16(t, 1);                              // name length
    for (int i = 0; i < 4; ++i) put16(t, 0);  // extra, comment, disk, internal attributes
    put32(t, 0);                              // external attributes
    put32(t, 0);                              // local header offset
    t.push_back('m');
    const uint32_t directoryLength = uint32_t(t.size());
    put32(t, 0x06054b50);
    put16(t, 0);
    put16(t, 0);
    put16(t, 1);
    put16(t, 1);
    put32(t, directoryLength);
    put32(t, uint32_t(length));
    put16(t, 0);
    return true;
}

}  // namespace

bool archivesReadable() { return true; }

std::string Archive::noReaderReason() { return ""; }

Archive::~Archive() {
    if (readerStarted_) releasePhysfs();
}

bool Archive::readMember(const ArchiveEntry& entry, size_t limit, std::vector<uint8_t>& bytes,
                         std::string& error) const {
    bytes.clear();
    auto view = std::make_shared<View>();
    view->source = source_.get();
    if (!(format_ == ArchiveFormat::Pack ? packView(*source_, entry, *view, error)
                                         : zipView(*source_, entry, *view, error)))
        return false;
    if (!readerStarted_) {
        if (!acquirePhysfs()) {
            error = "can't start the archive reader: " + lastPhysfsError();
            return false;
        }
        readerStarted_ = true;
    }
    static const char kMountPoint[] = "/ombrel-member";
    const char* viewName = format_ == ArchiveFormat::Pack ? "member.pak" : "member.zip";
    PHYSFS_Io* io = newViewIo(view);
    if (!PHYSFS_mountIo(io, viewName, kMountPoint, 1)) {
        error = "damaged in the archive (" + lastPhysfsError() + ")";
        io->destroy(io);
        return false;
    }
    bool ok = true;
    if (PHYSFS_File* file = PHYSFS_openRead("/ombrel-member/m")) {
        uint8_t buffer[65536];
        while (ok && bytes.size() < limit) {
            const PHYSFS_sint64 n =
                PHYSFS_readBytes(file, buffer, std::min<PHYSFS_uint64>(sizeof buffer, limit - bytes.size()));
            if (n < 0) {
                error = "damaged in the archive (" + lastPhysfsError() + ")";
                ok = false;
            } else if (n == 0) {
                break;
            } else {
                bytes.insert(bytes.end(), buffer, buffer + n);
            }
        }
        PHYSFS_close(file);
    } else {
        error = "damaged in the archive (" + lastPhysfsError() + ")";
        ok = false;
    }
    PHYSFS_unmount(viewName);
    if (!ok) bytes.clear();
    return ok;
}

}  // namespace frontend
