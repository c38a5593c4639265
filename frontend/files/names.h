// Names the front end is given or makes, each rule in one place: a stored
// relative name made a plain path (archive members, skin names stored in a
// model, the names outputs are made from); the {frame} place of a numbered
// file name; the {name} place of a run over many models.
#pragma once

#include <string>

namespace frontend {

// A stored name as a path relative to its root: '\' and '/' separate parts,
// empty and "." parts go, ".." takes the part before it away. False when the
// name leaves its root (a ".." too many), is absolute (a leading separator,
// a drive letter) or holds a NUL byte; folder is set when it names a folder
// (it ends in a separator, or nothing is left). With ParentParts::Refused
// any ".." part at all is refused: a name tried from several folders must
// not climb out of the one it is tried from.
enum class ParentParts { Resolved, Refused };
bool normaliseStoredName(const std::string& stored, std::string& name, bool& folder,
                         ParentParts parents = ParentParts::Resolved);

// A name that stays under the folder it is put in, as it stands: already a
// plain relative path of files (normaliseStoredName would leave it as it is).
bool isPlainRelativeName(const std::string& name);

// Where a numbered file of a sequence goes: the pattern with its {frame}
// or {frame:0N} replaced by number (padded to N digits). "" when the
// pattern holds no such place; a Failure when it holds a malformed one.
std::string sequenceName(const std::string& pattern, int number);

// The pattern with its {frame} place taken out ("run_{frame:03}.obj" ->
// "run_.obj"); the pattern itself when it has none. A Failure when the place
// is malformed.
std::string withoutFramePlace(const std::string& pattern);

// Whether the name holds a {frame} place (well formed or not).
bool hasFramePlace(const std::string& name);

// The number a file of a sequence stands for: true when name is
// sequenceName(pattern, number) for some number from 0 ("walk_07.obj" is 7
// under "walk_{frame:02}.obj", and no number under "walk_{frame}.obj"). A
// Failure naming the pattern when its place is malformed.
bool sequenceNumber(const std::string& pattern, const std::string& name, int& number);

// What the files of a sequence share: the pattern's file name without its
// {frame} place, its ending and the separators it ends in
// ("out/run_{frame:03}.obj" -> "run"); "" when nothing is left.
std::string sequenceStem(const std::string& pattern);

// Whether the pattern has a {name} place, and the pattern with every {name}
// replaced by name.
bool hasNamePlace(const std::string& pattern);
std::string withName(const std::string& pattern, const std::string& name);

}  // namespace frontend
