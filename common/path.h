// Paths and file names as the programs meet them, the same on every system
// (through std::filesystem). Inside the programs a path uses '/' between its
// parts on every system (Windows takes it too); nativePath gives the form a
// person of that system reads. Text is UTF-8 on every system: on Windows the
// command line and the system's calls are converted where they are met, so a
// folder named "Modèles" or "模型" is reached.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

#include "common/text.h"

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

// On Windows '\' ends a folder's name as '/' does; elsewhere it is a letter
// a name may hold.
std::string folderOf(const std::string& path);         // "/a/b/c.md2" -> "/a/b"
std::string fileNameOf(const std::string& path);       // "/a/b/c.md2" -> "c.md2"
std::string stemOf(const std::string& fileName);       // "c.md2" -> "c"
std::string extensionOf(const std::string& fileName);  // "c.MD2" -> "md2" (lower case, no dot)
// The name with its file name's extension (if any) replaced: "out/knight.obj"
// and "png" give "out/knight.png".
std::string nameBeside(const std::string& name, const std::string& extension);

// The path as reached from folder (both absolute), '/' between its parts:
// "skins/knight.pcx", "../skins/knight.pcx"; where no such path exists (on
// Windows, another drive) the file name alone.
std::string relativePath(const std::string& path, const std::string& folder);

