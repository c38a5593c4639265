#include "frontend/inputs/formats.h"

#include <algorithm>
#include <cstring>
#include <map>

#include "common/path.h"
#include "frontend/base/report.h"
#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/inputs/archive.h"
#include "frontend/inputs/inputs.h"
#include "model/model.h"

namespace frontend {

namespace {

bool startsWith(const ModelFormat& format, const uint8_t* bytes, size_t size) {
    return !format.magic.empty() && size >= format.magic.size() &&
           std::memcmp(bytes, format.magic.data(), format.magic.size()) == 0;
}

bool namedAs(const ModelFormat& format, const std::string& name) {
    const std::string extension = extensionOf(name);
    return std::find(format.extensions.begin(), format.extensions.end(), extension) != format.extensions.end();
}

const ModelFormat& idp2() { return modelFormats().front(); }
const ModelFormat& gltf() { return modelFormats()[1]; }

}  // namespace

const std::vector<ModelFormat>& modelFormats() {
    // A .gltf file is JSON and an OBJ file text: only their names tell them.
    static const std::vector<ModelFormat> formats = {
        {"IDP2 model", {"md2"}, "IDP2", false},
        {"glTF model", {"glb", "gltf"}, "glTF", true},
        {"OBJ model", {"obj"}, "", true},
    };
    return formats;
}

const ModelFormat& formatOf(const std::string& name, const uint8_t* bytes, size_t size) {
    for (const ModelFormat& format : modelFormats())
        if (startsWith(format, bytes, size)) return format;
    for (const ModelFormat& format : modelFormats())
        if (namedAs(format, name)) return format;
    return idp2();
}

bool comesAsSequence(const ModelFormat& format) { return format.name == "OBJ model"; }

bool isModelName(const std::string& name) {
    for (const ModelFormat& format : modelFormats())
        if (namedAs(format, name)) return true;
    return false;
}

std::string modelEndings() {
    std::vector<std::string> endings;
    for (const ModelFormat& format : modelFormats())
        for (const std::string& extension : format.extensions) endings.push_back("." + extension);
    std::string text;
    for (size_t i = 0; i < endings.size(); ++i)
        text += (i == 0 ? "" : i + 1 == endings.size() ? " or " : ", ") + endings[i];
    return text;
}

std::string withoutModelEnding(const std::string& name) {
    return isModelName(name) ? name.substr(0, name.size() - extensionOf(name).size() - 1) : name;
}

bool startsLikeModel(const uint8_t* bytes, size_t size) {
    for (const ModelFormat& format : modelFormats())
        if (startsWith(format, bytes, size)) return true;
    return false;
}

MemberKind memberKind(const Archive& archive, const std::string& member, std::string& error) {
    if (isModelName(member)) return MemberKind::Model;
    size_t longest = 0;
    for (const ModelFormat& format : modelFormats()) longest = std::max(longest, format.magic.size());
    std::vector<uint8_t> start;
    if (!archive.readStart(member, longest, start, error)) return MemberKind::Unreadable;
    return startsLikeModel(start.data(), start.size()) ? MemberKind::Model : MemberKind::Other;
}

bool isArchiveName(const std::string& path) {
    const std::string extension = extensionOf(path);
    return extension == "pak" || extension == "pk3" || extension == "zip";
}

bool startsLikeArchive(const uint8_t* bytes, size_t size) {
    for (const char* magic : {"PACK", "PK\3\4", "PK\5\6"})
        if (size >= 4 && std::memcmp(bytes, magic, 4) == 0) return true;
    return false;
}

bool takesFirstPictureBeside(const std::string& modelFileName) { return equalIgnoringCase(modelFileName, "tris.md2"); }

std::vector<FileFilter> chooserFilters() {
    std::vector<FileFilter> filters;
    for (const ModelFormat& format : modelFormats()) {
        FileFilter filter{format.name + "s", {}};
        for (const std::string& extension : format.extensions) filter.patterns.push_back("*." + extension);
        filters.push_back(filter);
    }
    filters.push_back({"All files", {"*"}});
    return filters;
}

namespace {

// The files beside a source, each read once through inputs: from the
// source's folder on disk (a name's letter case matched as skins are), or
// that folder of its archive. The readers ask only for plain relative names;
// anything else is refused here too.
class BesideSource {
public:
    BesideSource(const FileRef& source, Inputs& inputs) : source_(source), inputs_(inputs) {}

    bool operator()(const std::string& name, std::vector<uint8_t>& bytes, std::string& error) {
        if (!isPlainRelativeName(name)) {
            error = "only files beside the source are read";
            return false;
        }
        const auto known = read_.find(name);
        if (known != read_.end()) {
            bytes = known->second;
            return true;
        }
        FileRef file;
        file.archive = source_.archive;
        if (source_.archive) {
            const std::string folder = source_.path.substr(0, source_.path.size() - fileNameOf(source_.path).size());
            file.path = source_.archive->find(folder + name);
        } else {
            file.path = findIgnoringCase(folderOf(source_.path), name);
        }
        if (file.path.empty()) {
            error = "no such file";
            return false;
        }
        // A refusal goes back to the reader as its answer: nothing is thrown
        // through it.
        try {
            bytes = inputs_.read(file, kLargestInputFile, file.display());
        } catch (const Failure& failure) {
            error = failure.reason();
            return false;
        }
        read_[name] = bytes;
        return true;
    }

private:
    const FileRef& source_;
    Inputs& inputs_;
    std::map<std::string, std::vector<uint8_t>> read_;
};

// The animation names an OBJ reader is asked for: an OBJ sequence has one
// animation, named after its files, which may be asked for by that name.
SourceReadOptions objOptions(const ModelSource& source, const std::string& sequenceName,
                             const SourceReadOptions& options) {
    SourceReadOptions asked = options;
    asked.animations.clear();
    for (const std::string& name : options.animations)
        if (!source.sequence || name != sequenceName)
            throw badInput("--animation " + name,
                           source.shownName + (source.sequence ? " has one animation, " + sequenceName
                                                               : " is one frame, with no animations"));
    return asked;
}

}  // namespace

SourceMesh readSourceMesh(const ModelSource& source, const SourceReadOptions& options, Inputs& inputs) {
    SourceMesh mesh;
    std::string error;
    auto beside = std::make_shared<BesideSource>(source.file, inputs);
    const SourceFiles files = [beside](const std::string& name, std::vector<uint8_t>& bytes, std::string& why) {
        return (*beside)(name, bytes, why);
    };
    bool ok = false;
    if (!source.format->source) {
        error = "an " + source.format->name + " is read as it is, not as a source";
    } else if (source.format == &gltf()) {
        const std::vector<uint8_t>& bytes = source.files.front();
        ok = readGltfSource(bytes.data(), bytes.size(), files, options, mesh, error);
    } else {
        std::string name = source.sequence ? sequenceStem(source.file.path) : "";
        if (name.empty()) name = "frames";
        ok = readObjSource(source.files, files, objOptions(source, name, options), mesh, error);
        if (ok && source.sequence)
            for (SourceAnimation& animation : mesh.animations) animation.name = name;
    }
    InterruptGuard::checkpoint();
    if (!ok) throw badInput(source.shownName, error);
    return mesh;
}

Md2MakeOptions openingMakeOptions() { return Md2MakeOptions(); }

void decodeMadeModel(const SourceMesh& mesh, const ModelFormat& format, OpenedModel& opened) {
    opened.madeFrom = format.name;
    opened.notes.clear();
    for (const std::string& dropped : mesh.dropped) opened.notes.push_back("left out: " + dropped);
    Md2MakeResult made = makeMd2(mesh, openingMakeOptions());
    opened.bytes = std::move(made.model);
    opened.ownSkin.reset();
    if (!made.ok) {
        opened.check = ModelCheck();
        opened.check.refusal = made.error;
        opened.model.reset();
        opened.storedSkins.clear();
        return;
    }
    decodeModel(opened);
    // What the maker warns of that the check does not find in the file.
    for (const std::string& warning : made.warnings)
        if (std::find(opened.check.problems.begin(), opened.check.problems.end(), warning) ==
            opened.check.problems.end())
            opened.check.problems.push_back(warning);
    if (made.skin.empty()) return;
    auto skin = std::make_shared<Picture>();
    skin->shownName = opened.shownName;
    skin->bytes = std::move(made.skin);
    if (!decodePicture(skin->bytes, skin->decoded, skin->error)) {
        opened.check.problems.push_back("the skin made of its pictures does not read back (" + skin->error + ")");
        return;
    }
    opened.ownSkin = std::move(skin);
}

void decodeModel(OpenedModel& opened) {
    opened.check = modelCheck(opened.bytes.data(), opened.bytes.size());
    opened.model.reset();
    opened.storedSkins.clear();
    if (!opened.check.refusal.empty()) return;
    opened.model.reset(modelLoadFromBytes(opened.bytes.data(), opened.bytes.size()));
    if (!opened.model) {
        opened.check.refusal = "the model reader refuses it";
        return;
    }
    const Model& model = *opened.model;
    for (int i = 0; i < model.numSkins && model.skins; ++i)
        opened.storedSkins.emplace_back(model.skins[i], strnlen(model.skins[i], MODEL_SKIN_NAME_SIZE));
}

}  // namespace frontend
