#include "model/import_files.h"

#include <stb_image.h>

#include <climits>
#include <cstring>
#include <memory>

#include "image/image.h"

namespace {

bool isSchemeCharacter(char c, bool first) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    return letter || (!first && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
}

// "scheme:" at the start: a URI of its own kind (a drive letter, "C:", is one too).
bool hasScheme(const std::string& name) {
    const size_t colon = name.find(':');
    if (colon == std::string::npos || colon == 0) return false;
    for (size_t i = 0; i < colon; ++i)
        if (!isSchemeCharacter(name[i], i == 0)) return false;
    return true;
}

}  // namespace

std::string quotedName(const std::string& name) {
    std::string shown = name.size() > 60 ? name.substr(0, 57) + "..." : name;
    for (char& c : shown)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
    return "'" + shown + "'";
}

bool sourceFileName(const std::string& given, std::string& name, std::string& error) {
    if (given.empty()) {
        error = "a file name is empty";
        return false;
    }
    for (char c : given)
        if (static_cast<unsigned char>(c) < 0x20) {
            error = "the file name " + quotedName(given) + " holds control characters";
            return false;
        }
    std::string path = given;
    for (char& c : path)
        if (c == '\\') c = '/';
    if (hasScheme(path)) {
        error = quotedName(given) + " is not a file beside the source: only relative names and data: URIs are read";
        return false;
    }
    if (path[0] == '/') {
        error = "the file name " + quotedName(given) + " is absolute: only files beside the source are read";
        return false;
    }
    name.clear();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == "..") {
            error = "the file name " + quotedName(given) + " leaves the source's folder ('..')";
            return false;
        }
        if (!part.empty() && part != ".") name += (name.empty() ? "" : "/") + part;
        start = end + 1;
    }
    if (name.empty()) {
        error = "the file name " + quotedName(given) + " names no file";
        return false;
    }
    return true;
}

std::string sourceJoin(const std::string& folder, const std::string& name) {
    return folder.empty() ? name : folder + "/" + name;
}

std::string sourceFolder(const std::string& name) {
    const size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash);
}

bool fetchSourceFile(const SourceFiles& files, const std::string& given, std::vector<uint8_t>& bytes,
                     std::string& error) {
    std::string name;
    if (!sourceFileName(given, name, error)) return false;
    std::string reason;
    if (!files || !files(name, bytes, reason)) {
        error = "can't read " + quotedName(name) + (reason.empty() ? "" : ": " + reason);
        bytes.clear();
        return false;
    }
    if (bytes.size() > SOURCE_MAX_FILE_SIZE) {
        error = quotedName(name) + " is larger than a source's files may be (1 GiB)";
        bytes.clear();
        return false;
    }
    return true;
}

bool decodeSourcePicture(const uint8_t* bytes, size_t size, const std::string& name, SourcePicture& picture,
                         std::string& error) {
    picture = SourcePicture();
    picture.name = name;
    const auto tooLarge = [&](int64_t width, int64_t height) {
        if (width <= mxImage::kMaxEdge && height <= mxImage::kMaxEdge && width * height <= mxImage::kMaxPixels)
            return false;
        error = "the picture " + quotedName(name) + " is " + std::to_string(width) + " x " + std::to_string(height) +
                " pixels, larger than pictures may be";
        return true;
    };
    int width = 0, height = 0, channels = 0;
    if (bytes && size > 0 && size <= size_t(INT_MAX) &&
        stbi_info_from_memory(bytes, int(size), &width, &height, &channels) && width > 0 && height > 0) {
        if (tooLarge(width, height)) return false;
        stbi_uc* pixels = stbi_load_from_memory(bytes, int(size), &width, &height, &channels, 4);
        if (pixels) {
            picture.width = width;
            picture.height = height;
            picture.rgba.assign(pixels, pixels + size_t(width) * size_t(height) * 4);
            stbi_image_free(pixels);
            return true;
        }
    }
    // The format's own skins are often PCX, which stb_image does not read.
    std::unique_ptr<mxImage> pcx(readPcxImageFromBytes(bytes, size));
    if (pcx && pcx->bpp == 8 && pcx->palette && pcx->width > 0 && pcx->height > 0) {
        picture.width = pcx->width;
        picture.height = pcx->height;
        const size_t pixels = size_t(pcx->width) * size_t(pcx->height);
        picture.rgba.resize(pixels * 4);
        for (size_t i = 0; i < pixels; ++i) {
            const uint8_t* rgb = pcx->palette + size_t(pcx->data[i]) * 3;
            std::memcpy(&picture.rgba[i * 4], rgb, 3);
            picture.rgba[i * 4 + 3] = 255;
        }
        return true;
    }
    error = "the picture " + quotedName(name) + " is not one we read (PNG, JPEG, TGA, BMP, GIF or PCX)";
    return false;
}

void noteDropped(std::vector<std::string>& dropped, const std::string& line) {
    for (const std::string& have : dropped)
        if (have == line) return;
    dropped.push_back(line);
}
