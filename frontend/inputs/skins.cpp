#include "frontend/inputs/skins.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "frontend/files/files.h"
#include "frontend/files/names.h"
#include "frontend/inputs/formats.h"
#include "frontend/system/system.h"

namespace fs = std::filesystem;

namespace frontend {

namespace {

// File name endings taken for pictures, in the order step 2 prefers them:
// the viewer's own formats first.
const std::vector<std::string>& pictureExtensions() {
    static const std::vector<std::string> extensions = {"pcx", "tga", "png", "jpg", "jpeg", "bmp", "gif"};
    return extensions;
}

bool isPictureName(const std::string& name) {
    const auto& known = pictureExtensions();
    return std::find(known.begin(), known.end(), extensionOf(name)) != known.end();
}

// A place to look: the archive (or the disk) and the folder of the model in it.
struct Place {
    const Archive* archive;
    std::string modelFolder;  // on disk absolute; in an archive relative to its root ("" for the root)
};

std::vector<Place> placesOf(const FileRef& model) {
    if (!model.archive) return {{nullptr, folderOf(model.path)}};
    size_t slash = model.path.rfind('/');
    std::string inside = slash == std::string::npos ? "" : model.path.substr(0, slash);
    return {{model.archive, inside}, {nullptr, folderOf(model.archive->path())}};
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

// The folders above folder, nearest first, its root last.
std::vector<std::string> foldersAbove(const Place& place) {
    std::vector<std::string> above;
    std::string folder = place.modelFolder;
    if (place.archive) {
        while (!folder.empty()) {
            size_t slash = folder.rfind('/');
            folder = slash == std::string::npos ? "" : folder.substr(0, slash);
            above.push_back(folder);
        }
    } else {
        // Up to the root, which is its own folder.
        for (std::string up = folderOf(folder); !folder.empty() && up != folder; up = folderOf(folder)) {
            folder = up;
            above.push_back(folder);
        }
    }
    return above;
}

FileRef findIn(const Place& place, const std::string& folder, const std::string& relative) {
    FileRef found;
    found.archive = place.archive;
    if (place.archive) {
        std::string member = textFromPath(pathFromText(join(folder, relative)).lexically_normal());
        if (member.rfind("../", 0) == 0 || member == "..") return {};
        found.path = place.archive->find(member);
    } else {
        std::string path = findIgnoringCase(folder, relative);
        if (!path.empty()) found.path = textFromPath(pathFromText(path).lexically_normal());
    }
    if (found.path.empty()) return {};
    return found;
}

// File names in the place's model folder, in name order ignoring case.
std::vector<std::string> filesBesideModel(const Place& place) {
    std::vector<std::string> names;
    if (place.archive) {
        std::string prefix = place.modelFolder.empty() ? "" : lowerAscii(place.modelFolder) + "/";
        for (const std::string& member : place.archive->members()) {
            std::string lower = lowerAscii(member);
            if (lower.compare(0, prefix.size(), prefix) == 0 && lower.find('/', prefix.size()) == std::string::npos)
                names.push_back(member.substr(prefix.size()));
        }
    } else {
        std::error_code error;
        for (fs::directory_iterator it(pathFromText(place.modelFolder), error), end; !error && it != end;
             it.increment(error))
            if (it->is_regular_file(error)) names.push_back(it->path().filename().u8string());
    }
    std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
        std::string la = lowerAscii(a), lb = lowerAscii(b);
        return la != lb ? la < lb : a < b;
    });
    return names;
}

// A stored name as a relative path, "" for one that leads nowhere. Models
// store the names their maker's disk gave ("C:\\q2\\baseq2\\players\\x.pcx",
// "/players/x.pcx "): the drive, leading slashes and trailing blanks go, and
// what is left is tried from the game's roots and beside the model. A name
// with a ".." part leads nowhere: a game reads names from its roots only,
// and following one from every folder tried would read any file on disk.
std::string cleanStoredName(std::string stored) {
    if (stored.size() >= 2 && stored[1] == ':' && std::isalpha(static_cast<unsigned char>(stored[0])))
        stored.erase(0, 2);
    stored.erase(0, stored.find_first_not_of("/\\"));
    while (!stored.empty() && stored.back() == ' ') stored.pop_back();
    std::string name;
    bool folder = false;
    if (!normaliseStoredName(stored, name, folder, ParentParts::Refused)) return "";
    return name;
}

std::string placeName(const Place& place, const std::string& folder) {
    if (!place.archive) return folder;
    return place.archive->path() + ":" + (folder.empty() ? "/" : folder);
}

class CandidateList {
public:
    void add(const FileRef& file, const std::string& why) {
        if (file.empty()) return;
        for (const SkinCandidate& known : list_)
            if (known.file == file) return;
        list_.push_back({file, why});
    }
    std::vector<SkinCandidate> take() { return std::move(list_); }

private:
    std::vector<SkinCandidate> list_;
};

void addStoredName(CandidateList& list, const std::vector<Place>& places, const std::string& stored,
                   const std::string& label) {
    std::string name = cleanStoredName(stored);
    if (name.empty()) return;
    for (const Place& place : places) {
        list.add(findIn(place, place.modelFolder, name), label + ", beside the model");
        for (const std::string& root : foldersAbove(place))
            list.add(findIn(place, root, name), label + ", from the game root " + placeName(place, root));
        list.add(findIn(place, place.modelFolder, fileNameOf(name)), label + ", by its file name beside the model");
    }
}

}  // namespace

std::vector<SkinCandidate> findSkins(const FileRef& model, const std::vector<std::string>& storedNames) {
    CandidateList list;
    const std::vector<Place> places = placesOf(model);
    for (size_t i = 0; i < storedNames.size(); ++i)
        addStoredName(list, places, storedNames[i],
                      "stored skin name " + std::to_string(i + 1) + " (" + storedNames[i] + ")");

    const std::string modelName = fileNameOf(model.path);
    const std::string stem = stemOf(modelName);
    for (const Place& place : places) {
        std::vector<std::string> beside = filesBesideModel(place);
        for (const std::string& extension : pictureExtensions())
            for (const std::string& name : beside)
                if (equalIgnoringCase(name, stem + "." + extension))
                    list.add(findIn(place, place.modelFolder, name), "the picture named like the model");
    }
    if (takesFirstPictureBeside(modelName)) {
        for (const Place& place : places)
            for (const std::string& name : filesBesideModel(place))
                if (isPictureName(name)) {
                    list.add(findIn(place, place.modelFolder, name), "the first picture in the folder of " + modelName);
                    break;
                }
    }
    return list.take();
}

FileRef resolveStoredSkin(const FileRef& model, const std::string& storedName) {
    CandidateList list;
    addStoredName(list, placesOf(model), storedName, "");
    std::vector<SkinCandidate> found = list.take();
    return found.empty() ? FileRef() : found.front().file;
}

namespace {

// A picture for the skin: usable when it decodes; otherwise a warning says
// why and the choice goes on.
bool usable(const PictureRef& picture, const std::string& purpose, Messages& messages) {
    if (picture->decoded.image) return true;
    messages.warnings.push_back(picture->shownName + ": can't read the " + purpose + " (" + picture->error +
                                "); going on without it");
    return false;
}

SkinChoice taken(PictureRef picture, const std::string& why, const std::string& purpose, Messages& messages) {
    SkinChoice choice;
    if (!usable(picture, purpose, messages)) return choice;
    messages.notes.push_back(purpose + ": " + picture->shownName + (why.empty() ? "" : " (" + why + ")"));
    choice.picture = std::move(picture);
    choice.why = why;
    return choice;
}

}  // namespace

SkinChoice chooseSkin(const OpenedModel& model, const std::string& given, int storedNumber,
                      const std::string& purpose, Inputs& inputs, Messages& messages) {
    if (!given.empty()) return taken(inputs.picture(inputs.locate(given), given), "", purpose, messages);
    if (storedNumber > 0) {
        const int count = int(model.storedSkins.size());
        if (storedNumber > count)
            throw badInput("--skin " + std::to_string(storedNumber),
                           model.shownName + " stores " +
                               (count == 0 ? std::string("no skin names")
                                           : std::to_string(count) + " skin name" + (count == 1 ? "" : "s")));
        const std::string& stored = model.storedSkins[size_t(storedNumber - 1)];
        const FileRef file = resolveStoredSkin(model.file, stored);
        if (file.empty())
            throw badInput(model.shownName, "stored skin " + std::to_string(storedNumber) + " (" + stored +
                                                ") is nowhere to be found");
        return taken(inputs.picture(file, file.display()),
                     "stored skin name " + std::to_string(storedNumber) + " (" + stored + ")", purpose, messages);
    }
    // A source's own pictures, made its skin as its .md2 would have it.
    if (model.ownSkin) return taken(model.ownSkin, "its own pictures, made one 8-bit skin", purpose, messages);
    SkinChoice choice;
    for (const SkinCandidate& candidate : findSkins(model.file, model.storedSkins)) {
        InterruptGuard::checkpoint();
        const std::string shown = candidate.file.display();
        try {
            PictureRef picture = inputs.picture(candidate.file, shown);
            if (!picture->decoded.image) {
                choice.passedOver.emplace_back(candidate.file, picture->error);
                usable(picture, purpose, messages);
                continue;
            }
            SkinChoice found = taken(std::move(picture), candidate.why, purpose, messages);
            found.passedOver = std::move(choice.passedOver);
            return found;
        } catch (const Failure& unreadable) {
            // A file that stands but can't be read is no skin: the next one may be.
            choice.passedOver.emplace_back(candidate.file, unreadable.reason());
            messages.notes.push_back(purpose + ": passed over " + shown + " (" + unreadable.reason() + ")");
        }
    }
    return choice;
}

}  // namespace frontend
