#include "frontend/prepare.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>

#include "frontend/files.h"
#include "frontend/framing.h"
#include "frontend/pictures.h"
#include "frontend/system.h"
#include "model/animations.h"
#include "model/model.h"
#include "viewer/config.h"

namespace frontend {

namespace {

BadInput badFile(const std::string& name, const std::string& what) { return BadInput(name + ": " + what); }

// The hint for a file that is an archive rather than a model.
std::string archiveHint(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 4 && (std::memcmp(bytes.data(), "PACK", 4) == 0 || std::memcmp(bytes.data(), "PK\3\4", 4) == 0))
        return archivesReadable() ? "; it is an archive: open a model in it as ARCHIVE:PATH (see ombrel list ARCHIVE)"
                                  : "; it is an archive, which this build does not read: unpack it first";
    return "";
}

// A path as the record holds it: at most 255 characters, else a short link
// in the staging folder leads to it.
std::string recordPath(const std::string& path, const std::string& linkName, Staging& staging) {
    if (path.size() < size_t(CONFIG_PATH_SIZE)) return path;
    std::string linked = staging.link(linkName, path);
    if (linked.size() >= size_t(CONFIG_PATH_SIZE))
        throw badFile(staging.folder(), "the folder's path is too long for the record (at most 255 characters)");
    return linked;
}

// A picture for one of the viewer's texture slots. On disk a picture the
// viewer reads is used where it lies; one inside an archive is extracted;
// any other is converted into staging as role.tga. An unreadable picture
// gives a warning and no path.
std::string preparePicture(const FileRef& file, const std::string& shownName, const std::string& role,
                           const std::string& purpose, Staging& staging, PreparedView& view) {
    std::vector<uint8_t> bytes = readRef(file, shownName);
    std::string diskPath = file.path;
    if (file.archive) diskPath = staging.store(role + "-extracted", bytes);
    PictureCheck check = checkPicture(bytes, diskPath);
    std::string path;
    switch (check.verdict) {
    case PictureVerdict::ViewerReads:
        if (file.archive) {
            path = staging.store(role + "." + check.extension, bytes);
        } else if (extensionOf(diskPath) == check.extension) {
            path = recordPath(diskPath, role + "." + check.extension, staging);
        } else {
            // The viewer picks its reader by the name's ending.
            path = staging.link(role + "." + check.extension, diskPath);
        }
        view.notes.push_back(purpose + ": " + shownName);
        break;
    case PictureVerdict::Converted:
        path = staging.store(role + ".tga", check.tga);
        view.notes.push_back(purpose + ": " + shownName + ", converted from " + check.format + " to " + path);
        break;
    case PictureVerdict::Unreadable:
        view.warnings.push_back(shownName + ": can't read the " + purpose + " (" + check.error +
                                "); going on without it");
        break;
    }
    if (file.archive) std::remove(diskPath.c_str());
    return path;
}

std::string storedSkinName(const Model& model, int index) {
    const char* name = model.skins[index];
    return std::string(name, strnlen(name, MODEL_SKIN_NAME_SIZE));
}

// The skin of a model: the one given, the stored one asked for by number,
// or the first that discovery finds and that can be read.
std::string prepareSkin(const OpenedModel& model, const std::string& given, int storedNumber, const std::string& role,
                        const std::string& purpose, OpenFiles& open, Staging& staging, PreparedView& view) {
    if (!given.empty()) {
        FileRef file = locateFile(given, open);
        return preparePicture(file, given, role, purpose, staging, view);
    }
    if (storedNumber > 0) {
        int count = int(model.storedSkins.size());
        if (storedNumber > count)
            throw BadInput("--skin " + std::to_string(storedNumber) + ": " + model.shownName + " stores " +
                           (count == 0 ? std::string("no skin names")
                                       : std::to_string(count) + " skin name" + (count == 1 ? "" : "s")));
        const std::string& stored = model.storedSkins[size_t(storedNumber - 1)];
        FileRef file = resolveStoredSkin(model.file, stored);
        if (file.empty())
            throw badFile(model.shownName,
                          "stored skin " + std::to_string(storedNumber) + " (" + stored + ") is nowhere to be found");
        view.notes.push_back(purpose + ": stored skin name " + std::to_string(storedNumber) + " (" + stored + ")");
        return preparePicture(file, file.display(), role, purpose, staging, view);
    }
    for (const SkinCandidate& candidate : findSkins(model.file, model.storedSkins)) {
        std::string path = preparePicture(candidate.file, candidate.file.display(), role, purpose, staging, view);
        if (!path.empty()) {
            view.notes.back() += " (" + candidate.why + ")";
            return path;
        }
    }
    return "";
}

// The played range: the named animation, the given frames, or by default
// the first animation that moves (all frames when none does).
std::pair<int, int> playedFrames(const ViewOptions& options, const OpenedModel& opened, PreparedView& view) {
    const Model& model = *opened.model;
    const int frames = model.numFrames;
    std::vector<ModelAnimation> animations = modelAnimations(&model);
    if (!options.animation.empty()) {
        for (const ModelAnimation& a : animations)
            if (a.name == options.animation) return {a.first, a.last};
        std::string names;
        for (const ModelAnimation& a : animations) names += (names.empty() ? "" : ", ") + a.name;
        throw BadInput("--animation " + options.animation + ": " + opened.shownName + " has no animation of that name" +
                       (names.empty() ? std::string() : " (it has " + names + ")"));
    }
    if (options.frames) {
        if (options.frames->second >= frames)
            throw BadInput("--frames " + std::to_string(options.frames->first) + "-" +
                           std::to_string(options.frames->second) + ": " + opened.shownName + " has key frames 0 to " +
                           std::to_string(frames - 1));
        return *options.frames;
    }
    for (const ModelAnimation& a : animations)
        if (a.last > a.first) {
            view.notes.push_back("animation: " + a.name + " (frames " + std::to_string(a.first) + " to " +
                                 std::to_string(a.last) + ")");
            return {a.first, a.last};
        }
    return {0, std::max(frames - 1, 0)};
}

void setColour(float (&field)[3], const std::optional<Colour>& colour) {
    if (!colour) return;
    field[0] = colour->red, field[1] = colour->green, field[2] = colour->blue;
}

void setPath(ViewerConfig& record, ConfigPath which, const std::string& path) {
    std::memset(record.paths[which], 0, CONFIG_PATH_SIZE);
    const std::string native = nativePath(path);
    std::memcpy(record.paths[which], native.data(), std::min(native.size(), size_t(CONFIG_PATH_SIZE - 1)));
}

}  // namespace

void Staging::makeFolder() {
    if (used_) return;
    std::string error;
    if (!makePrivateFolder(folder_, error)) throw badFile(folder_, "can't make the folder (" + error + ")");
    used_ = true;
}

std::string Staging::store(const std::string& name, const std::vector<uint8_t>& bytes) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    std::string error;
    removeEntry(path);  // a link left from an earlier record must not be written through
    if (!writeWholeFile(path, bytes, error)) throw badFile(path, "can't write it (" + error + ")");
    return path;
}

std::string Staging::link(const std::string& name, const std::string& target) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    removeEntry(path);
    std::string error;
    if (!linkOrCopy(target, path, error)) throw badFile(path, "can't make the link (" + error + ")");
    return path;
}

OpenFiles::~OpenFiles() {
    for (Model* model : models_) modelFree(model);
}

const Archive& OpenFiles::archive(const std::string& path) {
    const std::string absolute = absolutePath(path);
    for (const auto& archive : archives_)
        if (archive->path() == absolute) return *archive;
    std::string error;
    std::unique_ptr<Archive> archive = Archive::open(absolute, error);
    if (!archive) throw badFile(path, error);
    archives_.push_back(std::move(archive));
    return *archives_.back();
}

Model* OpenFiles::keep(Model* model) {
    models_.push_back(model);
    return model;
}

FileRef locateFile(const std::string& text, OpenFiles& open) {
    std::string archivePath, member;
    FileRef file;
    if (splitArchivePath(text, archivePath, member)) {
        file.archive = &open.archive(archivePath);
        file.path = file.archive->find(member);
        if (file.path.empty()) throw badFile(text, "no such file in the archive");
        return file;
    }
    file.path = absolutePath(text);
    FileKind kind = fileKind(file.path);
    if (kind != FileKind::Regular) throw badFile(text, describeKind(kind));
    return file;
}

std::vector<uint8_t> readRef(const FileRef& file, const std::string& shownName) {
    std::vector<uint8_t> bytes;
    std::string error;
    bool ok = file.archive ? file.archive->read(file.path, kLargestInputFile, bytes, error)
                           : readFileBytes(file.path, kLargestInputFile, bytes, error);
    if (!ok) throw badFile(shownName, error);
    return bytes;
}

OpenedModel openModel(const std::string& text, OpenFiles& open, Staging& staging, const std::string& stagedName) {
    OpenedModel opened;
    opened.shownName = text;
    opened.file = locateFile(text, open);
    opened.bytes = readRef(opened.file, text);
    opened.check = modelCheck(opened.bytes.data(), opened.bytes.size());
    if (!opened.check.refusal.empty()) throw badFile(text, opened.check.refusal + archiveHint(opened.bytes));
    opened.diskPath = opened.file.archive ? staging.store(stagedName, opened.bytes) : opened.file.path;
    opened.model = modelLoad(opened.diskPath.c_str());
    if (!opened.model) throw badFile(text, "the model reader refuses it");
    open.keep(opened.model);
    for (int i = 0; i < opened.model->numSkins && opened.model->skins; ++i)
        opened.storedSkins.push_back(storedSkinName(*opened.model, i));
    return opened;
}

void showMessages(const PreparedView& view, bool verbose) {
    for (const std::string& warning : view.warnings) std::cerr << "ombrel: " << warning << "\n";
    if (verbose)
        for (const std::string& note : view.notes) std::cerr << "ombrel: " << note << "\n";
}

std::string defaultWaterPicture() {
    for (const std::string& folder : dataFolders()) {
        std::string path = folder + "/water.pcx";
        if (fileKind(path) == FileKind::Regular) return path;
    }
    return "";
}

PreparedView prepareView(const ViewOptions& options, Staging& staging) {
    if (options.model.empty()) throw BadInput("no model given");
    PreparedView view;
    OpenFiles open;
    ViewerConfig& record = view.record;

    OpenedModel main = openModel(options.model, open, staging, "model.md2");
    std::string mainSkin = prepareSkin(main, options.skin, options.skinNumber, "skin", "skin", open, staging, view);
    if (mainSkin.empty() && options.skin.empty() && options.skinNumber == 0)
        view.warnings.push_back(options.model + ": no skin found; showing the wireframe");

    setPath(record, PATH_MAIN_MODEL, recordPath(main.diskPath, "model.md2", staging));
    setPath(record, PATH_MAIN_SKIN, mainSkin);
    if (!options.attach.empty()) {
        OpenedModel attach = openModel(options.attach, open, staging, "attach.md2");
        std::string attachSkin =
            prepareSkin(attach, options.attachSkin, 0, "attach-skin", "skin of the attachment", open, staging, view);
        if (attachSkin.empty() && options.attachSkin.empty())
            view.warnings.push_back(options.attach + ": no skin found for the attachment");
        setPath(record, PATH_ATTACH_MODEL, recordPath(attach.diskPath, "attach.md2", staging));
        setPath(record, PATH_ATTACH_SKIN, attachSkin);
    } else if (!options.attachSkin.empty()) {
        throw BadInput("--attach-skin " + options.attachSkin + ": there is no --attach model to put it on");
    }
    if (!options.background.empty()) {
        FileRef file = locateFile(options.background, open);
        setPath(record, PATH_BACKGROUND,
                preparePicture(file, options.background, "background", "background", staging, view));
    }
    if (!options.water.empty()) {
        FileRef file = locateFile(options.water, open);
        setPath(record, PATH_WATER, preparePicture(file, options.water, "water-surface", "water", staging, view));
    } else {
        std::string water = defaultWaterPicture();
        if (water.empty()) view.notes.push_back("water: none (the installed water.pcx is missing)");
        setPath(record, PATH_WATER, recordPath(water, "water-surface.pcx", staging));
    }

    record.windowWidth = options.width;
    record.windowHeight = options.height;
    record.fullScreen = options.fullScreen ? 1 : 0;
    record.renderMode = options.renderMode ? *options.renderMode
                        : mainSkin.empty() ? RENDER_WIREFRAME
                                           : RENDER_TEXTURED;

    std::pair<int, int> range = playedFrames(options, main, view);
    record.startFrame = record.currentFrame = range.first;
    record.endFrame = range.second;
    record.nextFrame = range.first < range.second ? range.first + 1 : range.first;
    record.frameFraction = 0;
    record.msPerFrame = float(1000.0 / options.framesPerSecond);

    record.rotX = options.rotX;
    record.rotY = options.rotY;
    ViewPlacement placement =
        frameBox(boundsOfFrames(*main.model, range.first, range.second), options.rotX, options.rotY,
                 float(options.width) / float(options.height), options.distance ? *options.distance : 0);
    record.transX = placement.transX;
    record.transY = placement.transY;
    record.transZ = placement.transZ;

    setColour(record.backgroundColor, options.backgroundColour);
    setColour(record.modelColor, options.modelColour);
    setColour(record.wireColor, options.wireColour);
    setColour(record.lightColor, options.lightColour);
    record.brightness = float(options.brightness);

    int flags = FLAG_LIGHTING | FLAG_SPECULAR | FLAG_INTERPOLATE | FLAG_COMMANDS;
    if (options.noInterpolate) flags &= ~FLAG_INTERPOLATE;
    if (options.triangles) flags &= ~FLAG_COMMANDS;
    if (options.paused) flags |= FLAG_PAUSED;
    if (options.waterOn) flags |= FLAG_WATER;
    if (options.showBackground) flags |= FLAG_BACKGROUND;
    record.flags = flags;
    record.textureLimit = 256;
    return view;
}

}  // namespace frontend
