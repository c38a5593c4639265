// Files on disk as the front end meets them: paths people type, names that
// differ in letter case from what a model or a folder says, and files that
// must be read whole without trusting them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace frontend {

// The path made absolute against the current folder and cleaned of "." and
// ".." parts, without following symbolic links (a linked file keeps the
// name the person gave).
std::string absolutePath(const std::string& path);

std::string folderOf(const std::string& path);         // "/a/b/c.md2" -> "/a/b"
std::string fileNameOf(const std::string& path);       // "/a/b/c.md2" -> "c.md2"
std::string stemOf(const std::string& fileName);       // "c.md2" -> "c"
std::string extensionOf(const std::string& fileName);  // "c.MD2" -> "md2" (lower case, no dot)
std::string lowerAscii(std::string text);
bool equalIgnoringCase(const std::string& a, const std::string& b);

// A relative path under folder, each part matched exactly or, where that
// fails, ignoring letter case (ASCII). "" when nothing matches or the result
// is not a regular file. relative uses '/' between parts.
std::string findIgnoringCase(const std::string& folder, const std::string& relative);

// What stands at path: a regular file, or why it can't be read as one.
enum class FileKind { Regular, Missing, Folder, Other, Unreadable };
FileKind fileKind(const std::string& path);
// "no such file", "a folder, not a file", ... ("" for a regular file).
std::string describeKind(FileKind kind);

// The file's bytes, read whole through the readers' own safe reading
// (common/file.h). Refuses, with the reason in error, anything that is not
// a regular file and any file larger than limit bytes.
bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& error);

// Writes the bytes to path, replacing it. False with the reason in error.
bool writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// A new, empty file beside path (".NAME.XXXXXX" in its folder), made with
// the permissions a new file gets; its descriptor, or -1 with the reason in
// error. Finished, it goes under path's name by renameInto, so path only
// ever holds a whole file.
int createTemporaryBeside(const std::string& path, std::string& temporary, std::string& error);
// Renames temporary to path; on failure removes temporary.
bool renameInto(const std::string& temporary, const std::string& path, std::string& error);
// Writes the bytes beside path and renames them into place.
bool replaceFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error);

// The folder holding the running program ("" when it can't be found).
std::string programFolder();

// The installed data folder: share/ombrel beside the program's bin folder,
// the same in the build tree (build/bin, build/share/ombrel) as installed
// (/usr/bin, /usr/share/ombrel).
std::string dataFolder();

}  // namespace frontend
