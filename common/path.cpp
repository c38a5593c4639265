#include "common/path.h"

#include <algorithm>
#include <system_error>

namespace fs = std::filesystem;

// std::filesystem's own conversions from and to std::string follow no one
// encoding on Windows (bytes in, UTF-8 out): the UTF-8 ones are used.
fs::path pathFromText(const std::string& text) { return fs::u8path(text); }

std::string textFromPath(const fs::path& path) { return path.generic_u8string(); }

std::string absolutePath(const std::string& path) {
    std::error_code error;
    fs::path absolute = fs::absolute(pathFromText(path), error);
    if (error) absolute = pathFromText(path);
    std::string cleaned = textFromPath(absolute.lexically_normal());
    // "a/b/" normalises to "a/b/"; a folder's trailing slash adds nothing here.
    while (cleaned.size() > std::max<size_t>(rootLength(cleaned), 1) && cleaned.back() == '/') cleaned.pop_back();
    return cleaned;
}

size_t rootLength(const std::string& path) {
    const fs::path p = pathFromText(path);
    if (p.has_root_name() || p.has_root_directory()) return textFromPath(p.root_path()).size();
    return 0;
}

std::string nativePath(const std::string& path) { return pathFromText(path).make_preferred().u8string(); }

namespace {

const char* const kSeparators = fs::path::preferred_separator == '\\' ? "/\\" : "/";

}  // namespace

std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    if (slash == std::string::npos) return ".";
    size_t root = rootLength(path);
    if (slash < root) return path.substr(0, root);
    return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
    size_t slash = path.find_last_of(kSeparators);
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string stemOf(const std::string& fileName) {
    size_t dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string extensionOf(const std::string& fileName) {
    std::string name = fileNameOf(fileName);
    size_t dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? std::string() : lowerAscii(name.substr(dot + 1));
}

std::string nameBeside(const std::string& name, const std::string& extension) {
    const size_t fileStart = name.size() - fileNameOf(name).size();
    const size_t dot = name.rfind('.');
    const size_t stemEnd = dot != std::string::npos && dot > fileStart ? dot : name.size();
    return name.substr(0, stemEnd) + "." + extension;
}

std::string relativePath(const std::string& path, const std::string& folder) {
    const std::string relative = textFromPath(pathFromText(path).lexically_relative(pathFromText(folder)));
    return relative.empty() ? fileNameOf(path) : relative;
}
