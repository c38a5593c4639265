// What the front end asks of the operating system, answered once for POSIX
// (system_posix.cpp) and once for Windows (system_win32.cpp); the run of the
// viewer (run.h) and the file chooser (chooser.h) are split the same way.
// Everything else of the front end is the same code on both.
//
// Inside the front end a path uses '/' between its parts on every system
// (Windows takes it too); nativePath gives the form a person of that system
// reads and the record carries.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frontend {

// How many leading characters of path name its root: 1 for "/..." (and on
// Windows 3 for "C:/..."), 0 for a relative path.
size_t rootLength(const std::string& path);

// What this build leaves out, said under --help's description ("" when
// nothing is).
const char* leftOutHere();

// The system's words for the last call's failure (errno; GetLastError).
std::string lastErrorText();

// The path with the system's own separator ('\' on Windows).
std::string nativePath(const std::string& path);

bool isFolder(const std::string& path);

// Something stands at path, also a link that leads nowhere.
bool entryExists(const std::string& path);

// The file's size in bytes, -1 when it can't be told.
int64_t fileSize(const std::string& path);

// Makes the folder, for this user only; an existing folder is fine.
bool makePrivateFolder(const std::string& path, std::string& error);

// Removes the file or link at path, if any (never what a link leads to).
void removeEntry(const std::string& path);

// Makes path lead to target: a symbolic link on POSIX, a copy on Windows,
// where making links needs rights a person rarely has.
bool linkOrCopy(const std::string& target, const std::string& path, std::string& error);

// The person's home folder, for "~/" in settings; false when unknown.
bool homeFolder(std::string& home);

// Where the data installed with the program may lie, first choice first
// (the default water picture is looked for in each).
std::vector<std::string> dataFolders();

}  // namespace frontend
