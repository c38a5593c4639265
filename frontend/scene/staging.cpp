#include "frontend/scene/staging.h"

#include "frontend/files/files.h"
#include "frontend/inputs/pictures.h"
#include "frontend/system/system.h"
#include "viewer/config.h"

namespace frontend {

void Staging::makeFolder() {
    if (made_) return;
    std::string error;
    if (!makePrivateFolder(folder_, error)) throw badInput(folder_, "can't make the folder (" + error + ")");
    made_ = true;
}

std::string Staging::store(const std::string& name, const std::vector<uint8_t>& bytes) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    std::string error;
    removeEntry(path);  // a link left from an earlier record must not be written through
    if (!writeNewFile(path, bytes, error)) throw badInput(path, "can't write it (" + error + ")");
    return path;
}

std::string Staging::link(const std::string& name, const std::string& target) {
    makeFolder();
    std::string path = folder_ + "/" + name;
    removeEntry(path);
    std::string error;
    if (!linkOrCopy(target, path, error)) throw badInput(path, "can't make the link (" + error + ")");
    return path;
}

std::string Staging::recordPath(const std::string& path, const std::string& linkName) {
    if (nativePath(path).size() < size_t(CONFIG_PATH_SIZE)) return path;
    const std::string linked = link(linkName, path);
    if (nativePath(linked).size() >= size_t(CONFIG_PATH_SIZE))
        throw badInput(folder_, "the folder's path is too long for the record (at most 255 characters)");
    return linked;
}

std::string Staging::placeModel(const OpenedModel& model, const std::string& name) {
    if (model.file.archive) return recordPath(store(name, model.bytes), name);
    return recordPath(model.file.path, name);
}

std::string Staging::placePicture(const FileRef& file, const std::vector<uint8_t>& bytes,
                                  const std::string& shownName, const std::string& role, const std::string& purpose,
                                  Messages& messages) {
    PictureCheck check = checkPicture(bytes);
    switch (check.verdict) {
    case PictureVerdict::ViewerReads: {
        const std::string name = role + "." + check.extension;
        messages.notes.push_back(purpose + ": " + shownName);
        if (file.archive) return recordPath(store(name, bytes), name);
        // The viewer picks its reader by the name's ending.
        if (extensionOf(file.path) != check.extension) return recordPath(link(name, file.path), name);
        return recordPath(file.path, name);
    }
    case PictureVerdict::Converted: {
        const std::string path = recordPath(store(role + ".tga", check.tga), role + ".tga");
        messages.notes.push_back(purpose + ": " + shownName + ", converted from " + check.format + " to " + path);
        return path;
    }
    case PictureVerdict::Unreadable:
        break;
    }
    messages.warnings.push_back(shownName + ": can't read the " + purpose + " (" + check.error +
                                "); going on without it");
    return "";
}

}  // namespace frontend
