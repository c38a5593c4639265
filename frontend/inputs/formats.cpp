#include "frontend/inputs/formats.h"

#include <algorithm>
#include <cstring>

#include "common/path.h"
#include "frontend/inputs/archive.h"
#include "frontend/inputs/inputs.h"
#include "model/model.h"

namespace frontend {

const std::vector<ModelFormat>& modelFormats() {
    static const std::vector<ModelFormat> formats = {{"IDP2 model", {"md2"}, "IDP2"}};
    return formats;
}

bool isModelName(const std::string& name) {
    const std::string extension = extensionOf(name);
    for (const ModelFormat& format : modelFormats())
        if (std::find(format.extensions.begin(), format.extensions.end(), extension) != format.extensions.end())
            return true;
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
        if (size >= format.magic.size() && std::memcmp(bytes, format.magic.data(), format.magic.size()) == 0)
            return true;
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
