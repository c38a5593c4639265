// The model formats the front end reads, asked of this one place: what the
// files of each are named and how their bytes begin, which reader decodes
// them, which archive members count as models, the rules that follow from a
// model's name, and what the file chooser offers. The archives that hold
// models are told apart here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/system/system.h"

namespace frontend {

class Archive;
struct OpenedModel;

struct ModelFormat {
    std::string name;                     // for people: "IDP2 model"
    std::vector<std::string> extensions;  // lower case, without the dot: {"md2"}
    std::string magic;                    // the bytes every file starts with ("IDP2")
};

// Every model format, the one whose files open in the viewer first.
const std::vector<ModelFormat>& modelFormats();

// Named like a model of some format ("knight.MD2"): how a folder's files
// are found.
bool isModelName(const std::string& name);

// The endings of model files, for messages: ".md2" (".md2, .glb or .obj").
std::string modelEndings();

// The name without its model ending ("monsters/knight.md2" ->
// "monsters/knight"); other names as they are.
std::string withoutModelEnding(const std::string& name);

// Whether bytes start like a model of some format.
bool startsLikeModel(const uint8_t* bytes, size_t size);

// An archive's member is a model when it is named like one or starts like
// one (archives made for games name models as they please). Unreadable
// when it is not named like one and its first bytes can't be read (error
// says why).
enum class MemberKind { Model, Other, Unreadable };
MemberKind memberKind(const Archive& archive, const std::string& member, std::string& error);

// Named like an archive: .pak, .pk3, .zip (any case).
bool isArchiveName(const std::string& path);

// Whether bytes start like an archive (PACK, or a zip's first record).
bool startsLikeArchive(const uint8_t* bytes, size_t size);

// A model named tris.md2 is a game's one player model in its folder, its
// skins beside it under other names: it takes the first picture there.
bool takesFirstPictureBeside(const std::string& modelFileName);

// What the file chooser offers: each model format, then every file.
std::vector<FileFilter> chooserFilters();

// Checks and decodes a model file's bytes (model.bytes) by the format they
// start like, filling model.check (the header as read, the viewer's refusal
// if any, the problems found), model.model (null when refused) and
// model.storedSkins.
void decodeModel(OpenedModel& model);

}  // namespace frontend
