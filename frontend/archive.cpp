#include "frontend/archive.h"

#include <algorithm>

#include "frontend/files.h"

namespace frontend {

namespace {

std::string withForwardSlashes(std::string name) {
    std::replace(name.begin(), name.end(), '\\', '/');
    while (!name.empty() && name.front() == '/') name.erase(name.begin());
    return name;
}

}  // namespace

bool isArchiveName(const std::string& path) {
    std::string extension = extensionOf(path);
    return extension == "pak" || extension == "pk3" || extension == "zip";
}

bool splitArchivePath(const std::string& text, std::string& archive, std::string& member) {
    // The first colon after which the part before it names an archive: a
    // folder may hold colons, an archive name before the member rarely does.
    for (size_t colon = text.find(':'); colon != std::string::npos; colon = text.find(':', colon + 1)) {
        std::string before = text.substr(0, colon);
        if (isArchiveName(before)) {
            archive = before;
            member = text.substr(colon + 1);
            return true;
        }
    }
    return false;
}

std::string Archive::find(const std::string& name) const {
    std::string wanted = withForwardSlashes(name);
    if (std::binary_search(members_.begin(), members_.end(), wanted)) return wanted;
    for (const std::string& member : members_)
        if (equalIgnoringCase(member, wanted)) return member;
    return "";
}

}  // namespace frontend
