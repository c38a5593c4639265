#include "frontend/scene/staging.h"

#include "frontend/files/files.h"
#include "frontend/inputs/pictures.h"
#include "frontend/system/system.h"
#include "viewer/config.h"

namespace frontend {

namespace {

// The record's path fields hold paths as the person's system writes them,
// each under 256 characters (recordPath made sure of that).
void setPath(ViewerConfig& record, ConfigPath which, const std::string& path) {
    setConfigPath(record, which, nativePath(path));
}

}  // namespace

void Staging::makeFolder() {
    if (made_) return;
    std::string error;
    if (!makePrivateFolder(folder_, error)) throw systemFailure(folder_, "can't make the folder (" + error + ")");
    made_ = true;
}

std::string Staging::store(const std::string& name, const std::vector<uint8_t>& bytes) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    std::string error;
    removeEntry(path);  // a link left from an earlier record must not be written through
    if (!writeNewFile(path, bytes, error)) throw systemFailure(path, "can't write it (" + error + ")");
    return path;
}

std::string Staging::link(const std::string& name, const std::string& target) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    removeEntry(path);
    std::string error;
    if (!linkOrCopy(target, path, error)) throw systemFailure(path, "can't make the link (" + error + ")");
    return path;
}

std::string Staging::recordPath(const std::string& path, const std::string& linkName) {
    if (nativePath(path).size() < size_t(CONFIG_PATH_SIZE)) return path;
    const std::string linked = link(linkName, path);
    if (nativePath(linked).size() >= size_t(CONFIG_PATH_SIZE))
        throw systemFailure(folder_, "the folder's path is too long for the record (at most 255 characters)");
    return linked;
}

std::string Staging::placeModel(const OpenedModel& model, const std::string& name) {
    // A source's .md2 exists only in memory.
    if (model.file.archive || !model.madeFrom.empty()) return recordPath(store(name, model.bytes), name);
    return recordPath(model.file.path, name);
}

std::string Staging::placePicture(const Picture& picture, const std::string& role, const std::string& purpose,
                                  Messages& messages) {
    const DecodedPicture& decoded = picture.decoded;
    if (!decoded.viewerFormat.empty()) {
        const std::string name = role + "." + decoded.viewerFormat;
        // A picture made in memory (a source's skin) has no file to read either.
        if (picture.file.archive || picture.file.empty()) return recordPath(store(name, picture.bytes), name);
        // The viewer picks its reader by the name's ending.
        if (extensionOf(picture.file.path) != decoded.viewerFormat)
            return recordPath(link(name, picture.file.path), name);
        return recordPath(picture.file.path, name);
    }
    const std::string path = recordPath(store(role + ".tga", viewerTga(*decoded.image)), role + ".tga");
    messages.notes.push_back(purpose + ": " + picture.shownName + ", converted from " + decoded.format + " to " +
                             nativePath(path));
    return path;
}

void Staging::place(PreparedView& view) {
    ViewerConfig& record = view.record;
    setPath(record, PATH_MAIN_MODEL, placeModel(view.main, "model.md2"));
    if (view.mainSkin.picture)
        setPath(record, PATH_MAIN_SKIN, placePicture(*view.mainSkin.picture, "skin", "skin", view.messages));
    if (view.attach) {
        setPath(record, PATH_ATTACH_MODEL, placeModel(*view.attach, "attach.md2"));
        if (view.attachSkin.picture)
            setPath(record, PATH_ATTACH_SKIN,
                    placePicture(*view.attachSkin.picture, "attach-skin", "skin of the attachment", view.messages));
    }
    if (view.background)
        setPath(record, PATH_BACKGROUND, placePicture(*view.background, "background", "background", view.messages));
    if (view.water)
        setPath(record, PATH_WATER, placePicture(*view.water, "water-surface", "water", view.messages));
}

}  // namespace frontend
