// Opening and reading the files the viewer's readers take (models, pictures,
// the configuration record). Every reader opens, reads and closes its file
// through this, in one call of its own.
//
// Only regular files are read. A path naming a FIFO, a device (/dev/zero,
// /dev/urandom, a terminal), a folder or a socket is refused like a missing
// file: it is opened without waiting for a writer and closed again before a
// single byte is read, so no reader can hang in the open call or read
// without end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

// Why a file could not be opened for reading: the open file itself is
// asked what it is, so no second look at the path can see another file.
enum class FileProblem { None, Missing, Folder, NotRegular, Unreadable };

// An open regular file, read from its start onwards, closed when the object
// goes. isOpen() is false when the path could not be opened or is not a
// regular file (problem() says which); every read then delivers nothing.
class InputFile {
public:
    explicit InputFile(const char* path);
    ~InputFile();
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    bool isOpen() const { return descriptor_ >= 0; }
    FileProblem problem() const { return problem_; }
    // The file's size in bytes when it was opened; 0 when it is not open.
    int64_t size() const { return size_; }

    // Reads up to `count` bytes from the current position, carrying on
    // through short reads; returns how many arrived (fewer only at the end
    // of the file or on a read error).
    size_t read(void* buffer, size_t count);
    // Moves the position to `offset` bytes from the start; false if it can't.
    bool seek(int64_t offset);

private:
    int descriptor_ = -1;
    int64_t size_ = 0;
    FileProblem problem_ = FileProblem::Missing;
};

// Bytes already in memory read as an InputFile reads a file: the same
// read, seek and size, so one decoder serves files and bytes alike. The
// bytes are not copied and must outlive the object.
class MemoryInput {
public:
    MemoryInput(const uint8_t* bytes, size_t size) : bytes_(bytes), size_(bytes ? size : 0) {}

    int64_t size() const { return int64_t(size_); }
    // Copies up to `count` bytes from the current position; returns how many.
    size_t read(void* buffer, size_t count);
    // Moves the position to `offset` bytes from the start (the end at most,
    // as a file's reads past its end deliver nothing); false if negative.
    bool seek(int64_t offset);

private:
    const uint8_t* bytes_;
    size_t size_;
    size_t position_ = 0;
};

// A whole file in memory.
struct FileBytes {
    std::unique_ptr<uint8_t[]> data;  // `size` bytes, not otherwise initialised
    size_t size = 0;
};

// Reads the whole regular file at path into `out`, with one read call where
// the system allows. False, with `out` empty, when the file can't be opened,
// is not a regular file, is larger than maxBytes (then nothing is read or
// allocated), can't be given a buffer, or delivers fewer bytes than its size.
bool readWholeFile(const char* path, int64_t maxBytes, FileBytes& out);

// The same with the reason: the file's problem, or for an open file
// FileProblem::None with `tooLarge` set when it is larger than maxBytes
// (its size in `size`), else a read that fell short.
bool readWholeFile(const char* path, int64_t maxBytes, FileBytes& out, FileProblem& problem, bool& tooLarge,
                   int64_t& size);
