#include "frontend/pictures.h"

#include <stb_image.h>

#include <cstring>
#include <memory>

#include "image/image.h"
#include "image/picture_writer.h"

namespace frontend {

namespace {

// The viewer shows a picture as at most 256 x 256 texels; a picture to be
// converted may be 16 times that on each edge (4096 x 4096) and no more, so
// a few bytes of a run-length or deflated file can't make ombrel decode and
// write hundreds of megabytes.
constexpr int64_t kLargestConversion = int64_t(4096) * 4096;

bool startsWith(const std::vector<uint8_t>& bytes, const char* magic, size_t size) {
    return bytes.size() >= size && std::memcmp(bytes.data(), magic, size) == 0;
}

// An 8-bit, one-plane, run-length PCX: the only kind the viewer reads.
bool looksLikeViewerPcx(const std::vector<uint8_t>& b) {
    return b.size() >= 128 && b[0] == 10 && b[2] == 1 && b[3] == 8 && b[65] == 1;
}

// Uncompressed 24-bit true colour stored bottom row first, left to right:
// the viewer's TGA reader takes every file of this type as bottom row first,
// so a top-first one would come out upside down and goes through conversion.
bool looksLikeViewerTga(const std::vector<uint8_t>& b) {
    return b.size() >= 18 && b[1] == 0 && b[2] == 2 && b[16] == 24 && (b[17] & 0x30) == 0;
}

bool looksLikeTga(const std::vector<uint8_t>& b) {
    return b.size() >= 18 && b[1] <= 1 &&
           (b[2] == 1 || b[2] == 2 || b[2] == 3 || b[2] == 9 || b[2] == 10 || b[2] == 11);
}

std::string formatName(const std::vector<uint8_t>& b) {
    if (startsWith(b, "\x89PNG", 4)) return "PNG";
    if (startsWith(b, "\xFF\xD8\xFF", 3)) return "JPEG";
    if (startsWith(b, "BM", 2)) return "BMP";
    if (startsWith(b, "GIF8", 4)) return "GIF";
    if (startsWith(b, "8BPS", 4)) return "PSD";
    if (b.size() >= 128 && b[0] == 10) return "PCX";
    if (looksLikeTga(b)) {
        if (b[2] >= 9) return "run-length TGA";
        if (b[16] == 32) return "32-bit TGA";
        if (b[17] & 0x20) return "TGA stored top row first";
        return "TGA";
    }
    return "picture";
}

bool viewerReaderTakes(const std::string& extension, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<mxImage> image(extension == "pcx" ? readPcxImageFromBytes(bytes.data(), bytes.size())
                                                      : readTgaImageFromBytes(bytes.data(), bytes.size()));
    return image && image->width > 0 && image->height > 0;
}

}  // namespace

bool decodePicture(const std::vector<uint8_t>& bytes, int& width, int& height, std::vector<uint8_t>& rgb,
                   std::string& error) {
    if (bytes.empty() || bytes.size() > size_t(INT32_MAX)) {
        error = bytes.empty() ? "an empty file" : "too large";
        return false;
    }
    int w = 0, h = 0, channels = 0;
    const int size = int(bytes.size());
    // The size first: a header may promise a picture no memory can hold.
    if (!stbi_info_from_memory(bytes.data(), size, &w, &h, &channels)) {
        // stb's reason here is only that of the last format it tried.
        error = "can't be decoded";
        return false;
    }
    if (w <= 0 || h <= 0 || w > mxImage::kMaxEdge || h > mxImage::kMaxEdge || int64_t(w) * h > kLargestConversion) {
        error = "is " + std::to_string(w) + "x" + std::to_string(h) +
                " pixels, more than ombrel converts (16384 on an edge, 4096x4096 in all)";
        return false;
    }
    stbi_uc* pixels = stbi_load_from_memory(bytes.data(), size, &w, &h, &channels, 3);
    if (!pixels) {
        const char* reason = stbi_failure_reason();
        error = std::string("can't be decoded (") + (reason ? reason : "unknown reason") + ")";
        return false;
    }
    width = w;
    height = h;
    rgb.assign(pixels, pixels + size_t(w) * size_t(h) * 3);
    stbi_image_free(pixels);
    return true;
}

PictureCheck checkPicture(const std::vector<uint8_t>& bytes) {
    PictureCheck check;
    check.format = formatName(bytes);
    std::string viewerExtension = looksLikeViewerPcx(bytes) ? "pcx" : looksLikeViewerTga(bytes) ? "tga" : "";
    if (!viewerExtension.empty() && viewerReaderTakes(viewerExtension, bytes)) {
        check.verdict = PictureVerdict::ViewerReads;
        check.extension = viewerExtension;
        return check;
    }
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    if (!decodePicture(bytes, width, height, rgb, check.error)) {
        if (bytes.empty())
            check.error = "an empty file";
        else if (!viewerExtension.empty())
            check.error = "a damaged " + check.format + " (the viewer's reader refuses it)";
        else if (check.format == "PCX")
            check.error = "a PCX of a kind the viewer can't read (it takes 8-bit ones)";
        else if (check.format != "picture")
            check.error = "a " + check.format + " that " + check.error;
        else if (check.error.rfind("is ", 0) == 0)
            check.error = "a picture that " + check.error;
        else
            check.error = "not a picture this program can read";
        return check;
    }
    check.verdict = PictureVerdict::Converted;
    check.tga = encodeTga(width, height, rgb);  // 24-bit, bottom row first
    return check;
}

}  // namespace frontend
