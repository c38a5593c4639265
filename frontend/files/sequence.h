// Numbered file names: the pictures of a render sequence, the key frames
// of an OBJ export. Built on every system, whether or not it draws.
#pragma once

#include <string>

namespace frontend {

// Where a numbered file of a sequence goes: the pattern with its {frame}
// or {frame:0N} replaced by number (padded to N digits). "" when the
// pattern holds no such place; a Failure when it holds a malformed one.
std::string sequenceName(const std::string& pattern, int number);

}  // namespace frontend
