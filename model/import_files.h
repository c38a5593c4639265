// What the glTF and OBJ readers share: the names of the files beside a
// source (checked before anything is asked of the caller), fetching them,
// decoding the pictures they name, and the list of what was left out.
// Internal to the readers.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "model/import.h"

// The name a source gives for a file beside it ('\' read as '/', "." parts
// and empty parts left out) in name, or false with why not in error: an
// empty name, an absolute one, one with a ".." part, a URI of another
// scheme (http:, file:...), control characters.
bool sourceFileName(const std::string& given, std::string& name, std::string& error);

// folder's file `name` ("" for the source's own folder): folder/name.
std::string sourceJoin(const std::string& folder, const std::string& name);
// The folder part of a relative name ("" when it has none).
std::string sourceFolder(const std::string& name);

// The file `given` names, checked and asked of files; false with one line in
// error (the name's fault, the caller's reason, or a file past
// SOURCE_MAX_FILE_SIZE).
bool fetchSourceFile(const SourceFiles& files, const std::string& given, std::vector<uint8_t>& bytes,
                     std::string& error);

// A picture's bytes (PNG, JPEG, TGA, BMP, GIF through stb_image; 8-bit PCX
// through our reader) as R, G, B, A rows top first, named for messages.
// False with one line in error when they are none of these, or larger than
// pictures may be (mxImage's bounds).
bool decodeSourcePicture(const uint8_t* bytes, size_t size, const std::string& name, SourcePicture& picture,
                         std::string& error);

// A name as messages quote it: at most 60 bytes, control bytes as '?'.
std::string quotedName(const std::string& name);

// Adds line to dropped unless it is there already.
void noteDropped(std::vector<std::string>& dropped, const std::string& line);
