#include "frontend/inputs/sources.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "frontend/inputs/archive.h"
#include "frontend/inputs/formats.h"
#include "frontend/files/files.h"
#include "frontend/files/names.h"

namespace fs = std::filesystem;

namespace frontend {

namespace {

class Finder {
public:
    explicit Finder(Inputs& inputs) : inputs_(inputs) {}

    void source(const std::string& text) {
        std::string archivePath, member;
        // A sequence is found when it is read: its pattern names no file.
        if (hasFramePlace(text)) {
            const bool inArchive = splitArchivePath(text, archivePath, member);
            const std::string pattern = inArchive ? member : text;
            std::string name = sequenceStem(pattern);
            if (name.empty()) name = "frames";
            const std::string folder = pattern.substr(0, pattern.size() - fileNameOf(pattern).size());
            if (inArchive)
                return add(text, absolutePath(archivePath) + ":" + member, folder + name,
                           folderOf(absolutePath(archivePath)));
            return add(text, absolutePath(text), name, folderOf(absolutePath(text)));
        }
        if (splitArchivePath(text, archivePath, member)) {
            const FileRef file = inputs_.locate(text);
            add(text, file.archive->path() + ":" + file.path, withoutModelEnding(file.path),
                folderOf(file.archive->path()));
            return;
        }
        // Asked of the file system, not opened: a model is opened once, when
        // it is read.
        const FileKind kind = fileKind(text);
        if (kind == FileKind::Folder) return folder(text);
        if (kind != FileKind::Regular) throw badInput(text, describeKind(kind));
        if (isArchiveName(text)) return archive(text);
        const std::string path = absolutePath(text);
        add(text, path, stemOf(fileNameOf(path)), folderOf(path));
    }

    FoundModels found;

private:
    void add(const std::string& text, const std::string& key, const std::string& name, const std::string& base) {
        if (!isPlainRelativeName(name)) {
            found.refused.push_back(badInput(text, "its name leads outside the folder its pictures go to"));
            return;
        }
        if (seen_.insert(key).second) found.models.push_back({text, name, base});
    }

    void folder(const std::string& text) {
        std::vector<std::string> relative;
        std::error_code error;
        const fs::path root = pathFromText(text);
        // Links to folders are not followed: a link back up would never end.
        for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, error), end;
             !error && it != end; it.increment(error)) {
            std::error_code kindError;
            if (it->is_regular_file(kindError) && isModelName(it->path().filename().u8string()))
                relative.push_back(textFromPath(it->path().lexically_relative(root)));
        }
        if (error) throw badInput(text, "can't read the folder (" + error.message() + ")");
        if (relative.empty()) throw badInput(text, "no " + modelEndings() + " models in this folder");
        std::sort(relative.begin(), relative.end());
        const std::string prefix = text.back() == '/' ? text : text + "/";
        const std::string base = absolutePath(text);
        for (const std::string& path : relative)
            add(prefix + path, absolutePath(prefix + path), withoutModelEnding(path), base);
    }

    void archive(const std::string& text) {
        const Archive& archive = inputs_.archive(text);
        const size_t before = found.models.size() + found.refused.size();
        for (const std::string& member : archive.members()) {
            std::string error;
            switch (memberKind(archive, member, error)) {
            case MemberKind::Model:
                add(text + ":" + member, archive.path() + ":" + member, withoutModelEnding(member),
                    folderOf(archive.path()));
                break;
            case MemberKind::Unreadable:
                found.refused.push_back(badInput(text + ":" + member, error));
                break;
            case MemberKind::Other:
                break;
            }
        }
        if (found.models.size() + found.refused.size() == before) throw badInput(text, "no models in this archive");
    }

    Inputs& inputs_;
    std::set<std::string> seen_;
};

}  // namespace

FoundModels findModels(const std::vector<std::string>& sources, Inputs& inputs) {
    Finder finder(inputs);
    for (const std::string& source : sources) {
        try {
            finder.source(source);
        } catch (const Failure& failure) {
            finder.found.refused.push_back(failure);
        }
    }
    return finder.found;
}

}  // namespace frontend
