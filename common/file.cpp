#include "common/file.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

#ifdef _WIN32
#include <io.h>
#include <windows.h>

#include "common/wide_text.h"
#else
#include <unistd.h>
#endif

namespace {

#ifdef _WIN32
// Windows has no FIFOs to wait on; devices (CON, NUL, COM1) open at once and
// are told apart by fstat as on other systems.
using FileStatus = struct _stat64;
// Paths are UTF-8: the wide call reaches every name.
int openForReading(const char* path) { return _wopen(wideText(path).c_str(), _O_RDONLY | _O_BINARY | _O_NOINHERIT); }
// Why _wopen failed: it can't open a folder at all, and says only "access
// denied" for one, so the path's attributes tell a folder apart.
FileProblem openProblem(const char* path, int error) {
    if (error == ENOENT) return FileProblem::Missing;
    const DWORD attributes = GetFileAttributesW(wideText(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) return FileProblem::Folder;
    return FileProblem::Unreadable;
}
int fileStatus(int descriptor, FileStatus* status) { return _fstat64(descriptor, status); }
long long readSome(int descriptor, void* buffer, size_t count) {
    return _read(descriptor, buffer, unsigned(count < size_t(INT_MAX) ? count : size_t(INT_MAX)));
}
bool seekTo(int descriptor, int64_t offset) { return _lseeki64(descriptor, offset, SEEK_SET) == offset; }
void closeDescriptor(int descriptor) { _close(descriptor); }
#else
// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a writer,
// for ever. It changes nothing for the regular files that are then read.
using FileStatus = struct stat;
int openForReading(const char* path) { return open(path, O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC); }
FileProblem openProblem(const char*, int error) {
    return error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG || error == ELOOP ? FileProblem::Missing
                                                                                         : FileProblem::Unreadable;
}
int fileStatus(int descriptor, FileStatus* status) { return fstat(descriptor, status); }
long long readSome(int descriptor, void* buffer, size_t count) {
    return ::read(descriptor, buffer, count < size_t(SSIZE_MAX) ? count : size_t(SSIZE_MAX));
}
bool seekTo(int descriptor, int64_t offset) { return lseek(descriptor, off_t(offset), SEEK_SET) == offset; }
void closeDescriptor(int descriptor) { close(descriptor); }
#endif

}  // namespace

InputFile::InputFile(const char* path) {
    if (!path) return;
    const int descriptor = openForReading(path);
    if (descriptor < 0) {
        problem_ = openProblem(path, errno);
        return;
    }
    FileStatus status;
    const bool known = fileStatus(descriptor, &status) == 0;
    if (!known || !S_ISREG(status.st_mode) || status.st_size < 0) {
        problem_ = known && S_ISDIR(status.st_mode) ? FileProblem::Folder : FileProblem::NotRegular;
        closeDescriptor(descriptor);
        return;
    }
    descriptor_ = descriptor;
    size_ = int64_t(status.st_size);
    problem_ = FileProblem::None;
}

InputFile::~InputFile() {
    if (descriptor_ >= 0) closeDescriptor(descriptor_);
}

size_t InputFile::read(void* buffer, size_t count) {
    if (descriptor_ < 0) return 0;
    uint8_t* next = static_cast<uint8_t*>(buffer);
    size_t done = 0;
    while (done < count) {
        const long long got = readSome(descriptor_, next + done, count - done);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        done += size_t(got);
    }
    return done;
}

bool InputFile::seek(int64_t offset) { return descriptor_ >= 0 && offset >= 0 && seekTo(descriptor_, offset); }

size_t MemoryInput::read(void* buffer, size_t count) {
    const size_t left = size_ - position_;
    if (count > left) count = left;
    if (count > 0) std::memcpy(buffer, bytes_ + position_, count);
    position_ += count;
    return count;
}

bool MemoryInput::seek(int64_t offset) {
    if (offset < 0) return false;
    position_ = uint64_t(offset) < size_ ? size_t(offset) : size_;
    return true;
}

bool readWholeFile(const char* path, int64_t maxBytes, FileBytes& out) {
    FileProblem problem;
    bool tooLarge;
    int64_t size;
    return readWholeFile(path, maxBytes, out, problem, tooLarge, size);
}

bool readWholeFile(const char* path, int64_t maxBytes, FileBytes& out, FileProblem& problem, bool& tooLarge,
                   int64_t& fileSize) {
    out = FileBytes();
    InputFile file(path);
    problem = file.problem();
    fileSize = file.size();
    tooLarge = file.isOpen() && file.size() > maxBytes;
    if (!file.isOpen() || tooLarge) return false;
    const size_t size = size_t(file.size());
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size > 0 ? size : 1]);
    if (!data || file.read(data.get(), size) != size) return false;
    out.data = std::move(data);
    out.size = size;
    return true;
}
