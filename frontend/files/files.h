// Files as the front end meets them, the same on every system (through
// std::filesystem; paths as common/path.h keeps them): names that differ in
// letter case from what a model or a folder says, files that must be read
// whole without trusting them, and files written whole or not at all.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "common/path.h"

namespace frontend {

// A relative path under folder, each part matched exactly or, where that
// fails, ignoring letter case (ASCII). "" when nothing matches or the result
// is not a regular file. relative uses '/' between parts.
std::string findIgnoringCase(const std::string& folder, const std::string& relative);

// What stands at path, as the file system says (nothing is opened: a file
// that is read is asked what it is when it is opened, by readFileBytes).
enum class FileKind { Regular, Missing, Folder, Other, Unreadable };
FileKind fileKind(const std::string& path);
// "no such file", "a folder, not a file", ... ("" for a regular file).
std::string describeKind(FileKind kind);

// Makes the folders path lies in, as many as are missing. False with the
// reason in error.
bool makeFoldersFor(const std::string& path, std::string& error);

// Removes the file or link at path, if any (never what a link leads to).
void removeEntry(const std::string& path);
// Removes the folder at path with everything in it (links removed, never followed).
void removeFolder(const std::string& path);

// Writes the bytes beside path and renames them into place (system.h), so
// path only ever holds a whole file. Throws a Failure when it can't.
void replaceFile(const std::string& path, const std::vector<uint8_t>& bytes);

// Files written together: each beside its name first, then all renamed into
// place by commit. What is not committed is removed when this goes, so a
// failure or an interrupt part-way leaves none of them; a rename that fails
// in commit takes the files already moved with it.
class OutputFiles {
public:
    OutputFiles() = default;
    ~OutputFiles();
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Each throws a Failure when a file can't be written.
    void add(const std::string& path, const std::vector<uint8_t>& bytes);
    void commit();

private:
    std::vector<std::pair<std::string, std::string>> pending_;  // the temporary, the path it goes to
};

// The file's bytes, read whole through the readers' own safe reading
// (common/file.h), in one open. Refuses, with the reason in error (as
// describeKind words it, or "too large (N bytes)"), anything that is not a
// regular file and any file larger than limit bytes.
bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& error);

}  // namespace frontend
