// The model formats the front end reads, asked of this one place: what the
// files of each are named and how their bytes begin, which reader decodes
// them, which archive members count as models, the rules that follow from a
// model's name, and what the file chooser offers. The archives that hold
// models are told apart here too.
//
// IDP2 models (.md2) are read as they are. glTF (.glb, .gltf) and OBJ
// (.obj, or a numbered sequence typed as 'walk_{frame}.obj') are sources:
// each is read into a SourceMesh (model/import.h), made into the .md2 file
// `convert` would make of it (model/md2_maker.h), and that file decoded as
// any other, so every command draws and describes the model it would
// become. The files beside a source (buffers, pictures, material
// libraries) come only from its own folder or archive, through Inputs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "frontend/system/system.h"
#include "model/import.h"
#include "model/md2_maker.h"

namespace frontend {

class Archive;
class Inputs;
struct ModelSource;
struct OpenedModel;

struct ModelFormat {
    std::string name;                     // for people: "IDP2 model"
    std::vector<std::string> extensions;  // lower case, without the dot: {"md2"}
    std::string magic;                    // the bytes every file starts with ("IDP2"); "" where files have none
    bool source = false;                  // made into an .md2 when opened, not read as one
};

// Every model format, the one whose files open in the viewer first.
const std::vector<ModelFormat>& modelFormats();

// The format of a model file: the one its first bytes say, else the one its
// name says, else IDP2 (whose reader then says what the bytes are not).
const ModelFormat& formatOf(const std::string& name, const uint8_t* bytes, size_t size);

// Whether files of a format come as numbered sequences ('walk_{frame}.obj').
bool comesAsSequence(const ModelFormat& format);

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

// Checks and decodes an IDP2 model file's bytes (model.bytes), filling
// model.check (the header as read, the viewer's refusal if any, the
// problems found), model.model (null when refused) and model.storedSkins.
void decodeModel(OpenedModel& model);

// A source's mesh as its reader makes it, the files beside it read through
// inputs from the source's own folder or archive (each once). An OBJ
// sequence's one animation is named after its files ('walk_{frame}.obj':
// walk), which options.animations may name. Throws a Failure naming the
// source in one line when it can't be read.
SourceMesh readSourceMesh(const ModelSource& source, const SourceReadOptions& options, Inputs& inputs);

// What the maker is asked when a source is opened rather than converted:
// convert's defaults, with no skin name stored (the skin it makes has no
// file to name).
Md2MakeOptions openingMakeOptions();

// Fills model as decodeModel does from the .md2 made of mesh (model.bytes),
// with the maker's warnings among its problems and the skin made of the
// source's own pictures as model.ownSkin; a source the maker refuses has no
// header and the refusal says why.
void decodeMadeModel(const SourceMesh& mesh, const ModelFormat& format, OpenedModel& model);

}  // namespace frontend
