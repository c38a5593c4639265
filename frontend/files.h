// Files and paths as the front end meets them, the same on every system
// (through std::filesystem): paths people type, names that differ in letter
// case from what a model or a folder says, and files that must be read whole
// without trusting them. Inside the front end a path uses '/' between its
// parts on every system (Windows takes it too); nativePath gives the form a
// person of that system reads and the record carries. Text is UTF-8 on every
// system: on Windows the command line and the system's calls are converted
// where they are met, so a folder named "Modèles" or "模型" is reached.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace frontend {

// A path from the program's text, and back (with '/' between its parts).
std::filesystem::path pathFromText(const std::string& text);
std::string textFromPath(const std::filesystem::path& path);

// The path made absolute against the current folder and cleaned of "." and
// ".." parts, without following symbolic links (a linked file keeps the
// name the person gave).
std::string absolutePath(const std::string& path);

// How many leading characters of path name its root: 1 for "/..." (and on
// Windows 3 for "C:/..."), 0 for a relative path.
size_t rootLength(const std::string& path);

// The path with the system's own separator ('\' on Windows).
std::string nativePath(const std::string& path);

std::string folderOf(const std::string& path);         // "/a/b/c.md2" -> "/a/b"
std::string fileNameOf(const std::string& path);       // "/a/b/c.md2" -> "c.md2" (on Windows '\' ends a folder too)
std::string stemOf(const std::string& fileName);       // "c.md2" -> "c"
std::string extensionOf(const std::string& fileName);  // "c.MD2" -> "md2" (lower case, no dot)
std::string lowerAscii(std::string text);
bool equalIgnoringCase(const std::string& a, const std::string& b);

// A relative path under folder, each part matched exactly or, where that
// fails, ignoring letter case (ASCII). "" when nothing matches or the result
// is not a regular file. relative uses '/' between parts.
std::string findIgnoringCase(const std::string& folder, const std::string& relative);

// What stands at path: a regular file this user can read, or why it can't
// be read as one.
enum class FileKind { Regular, Missing, Folder, Other, Unreadable };
FileKind fileKind(const std::string& path);
// "no such file", "a folder, not a file", ... ("" for a regular file).
std::string describeKind(FileKind kind);

// Something stands at path, also a link that leads nowhere.
bool entryExists(const std::string& path);

// Makes the folders path lies in, as many as are missing. False with the
// reason in error.
bool makeFoldersFor(const std::string& path, std::string& error);

// Removes the file or link at path, if any (never what a link leads to).
void removeEntry(const std::string& path);

// Removes what killed processes left in folder: the entries named
// prefix + ID + separator + anything, where ID is a process that no longer
// runs (the run folders "ombrel-ID-...", half-written ".NAME.ID...").
void removeLeftovers(const std::string& folder, const std::string& prefix, char separator);

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
// (common/file.h). Refuses, with the reason in error, anything that is not
// a regular file and any file larger than limit bytes.
bool readFileBytes(const std::string& path, size_t limit, std::vector<uint8_t>& bytes, std::string& error);

// The installed data folder: share/ombrel beside the program's bin folder,
// the same in the build tree (build/bin, build/share/ombrel) as installed
// (/usr/bin, /usr/share/ombrel).
std::string dataFolder();

}  // namespace frontend
