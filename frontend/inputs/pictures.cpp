#include "frontend/inputs/pictures.h"

#include <stb_image.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "common/bytes.h"
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

// The start of a TGA header: a colour map type and an image type the
// picture library reads.
bool startsLikeTga(const std::vector<uint8_t>& b) {
    return b.size() >= 3 && b[1] <= 1 && (b[2] == 1 || b[2] == 2 || b[2] == 3 || b[2] == 9 || b[2] == 10 || b[2] == 11);
}

bool looksLikeTga(const std::vector<uint8_t>& b) { return b.size() >= 18 && startsLikeTga(b); }

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

// The picture as the viewer's own reader decodes it; null when it refuses.
std::unique_ptr<mxImage> viewerReading(const std::string& extension, const std::vector<uint8_t>& bytes) {
    std::unique_ptr<mxImage> image(extension == "pcx" ? readPcxImageFromBytes(bytes.data(), bytes.size())
                                                      : readTgaImageFromBytes(bytes.data(), bytes.size()));
    if (image && (image->width <= 0 || image->height <= 0)) image.reset();
    return image;
}

// "pcx" or "tga" when the header says the viewer reads the picture itself.
std::string viewerExtensionOf(const std::vector<uint8_t>& bytes) {
    return looksLikeViewerPcx(bytes) ? "pcx" : looksLikeViewerTga(bytes) ? "tga" : "";
}

// Why a picture can't be read, for people, from the picture library's reason.
std::string unreadableReason(const std::vector<uint8_t>& bytes, const std::string& format,
                             const std::string& viewerExtension, const std::string& decodeError) {
    if (bytes.empty()) return "an empty file";
    if (!viewerExtension.empty()) return "a damaged " + format + " (the viewer's reader refuses it)";
    if (format == "PCX") return "a PCX of a kind the viewer can't read (it takes 8-bit ones)";
    if (format != "picture") return "a " + format + " that " + decodeError;
    if (decodeError.rfind("is ", 0) == 0) return "a picture that " + decodeError;
    return "not a picture this program can read";
}

// The bytes a PNG's compressed data must inflate to: a filter byte and the
// samples of every row, for each of the seven interlace passes where the
// picture is interlaced.
uint64_t pngInflatedSize(uint64_t width, uint64_t height, uint64_t bitsPerPixel, bool interlaced) {
    auto rows = [&](uint64_t w, uint64_t h) { return w && h ? h * (1 + (w * bitsPerPixel + 7) / 8) : 0; };
    if (!interlaced) return rows(width, height);
    static const int x0[7] = {0, 4, 0, 2, 0, 1, 0}, y0[7] = {0, 0, 4, 0, 2, 0, 1};
    static const int dx[7] = {8, 8, 4, 4, 2, 2, 1}, dy[7] = {8, 8, 8, 4, 4, 2, 2};
    uint64_t total = 0;
    for (int pass = 0; pass < 7; ++pass)
        total += rows(width > uint64_t(x0[pass]) ? (width - x0[pass] + dx[pass] - 1) / dx[pass] : 0,
                      height > uint64_t(y0[pass]) ? (height - y0[pass] + dy[pass] - 1) / dy[pass] : 0);
    return total;
}

// The picture library inflates a PNG's pixel data without any bound, so a
// few megabytes can swell to gigabytes whatever the header says. Here the
// same inflater (stb's own, on every system) runs into a buffer of exactly
// the size the declared pixels need and stops the moment the data would
// pass it. "" when the data fits, else why not.
std::string pngDataSwells(const std::vector<uint8_t>& b, int width, int height) {
    static const int kChannels[7] = {1, 0, 3, 1, 2, 0, 4};  // by colour type
    uint64_t bitsPerPixel = 0;
    bool interlaced = false, headerless = false;  // "CgBI" PNGs store raw deflate
    std::vector<uint8_t> compressed;
    for (size_t at = 8; at + 12 <= b.size();) {
        const uint64_t length = bigEndianU32(&b[at]);
        // The library would first ask for all the memory a cut chunk claims (up to a gigabyte).
        if (length > b.size() - at - 12) return "can't be decoded (cut short: a chunk runs past the end of the file)";
        const uint8_t* type = &b[at + 4];
        const uint8_t* data = &b[at + 8];
        if (std::memcmp(type, "CgBI", 4) == 0) headerless = true;
        // The first header is the one the library decodes by (it refuses a second).
        if (std::memcmp(type, "IHDR", 4) == 0 && length >= 13 && bitsPerPixel == 0) {
            const int depth = data[8], colourType = data[9];
            if (colourType < 7 && (depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16))
                bitsPerPixel = uint64_t(depth) * uint64_t(kChannels[colourType]);
            interlaced = data[12] == 1;
        }
        if (std::memcmp(type, "IDAT", 4) == 0) compressed.insert(compressed.end(), data, data + length);
        if (std::memcmp(type, "IEND", 4) == 0) break;
        at += 12 + length;
    }
    // At most 4096 x 4096 pixels of 64 bits: 128 MiB and a byte a row.
    const uint64_t needed = pngInflatedSize(uint64_t(width), uint64_t(height), bitsPerPixel, interlaced);
    if (compressed.empty() || needed == 0 || needed > uint64_t(INT32_MAX) || compressed.size() > size_t(INT32_MAX))
        return "";  // the library refuses these itself
    std::unique_ptr<char[]> pixels(new char[needed]);
    const char* in = reinterpret_cast<const char*>(compressed.data());
    const int inflated = headerless
                             ? stbi_zlib_decode_noheader_buffer(pixels.get(), int(needed), in, int(compressed.size()))
                             : stbi_zlib_decode_buffer(pixels.get(), int(needed), in, int(compressed.size()));
    if (inflated >= 0) return "";
    return "has pixel data that is damaged or inflates to more than the " + std::to_string(needed) + " bytes its " +
           std::to_string(width) + "x" + std::to_string(height) + " pixels need";
}

// The TGA's pixels, run-length packets or plain, all inside the file.
bool tgaPixelsPresent(const std::vector<uint8_t>& b, uint64_t pixels) {
    const uint64_t pixelBytes = (b[16] + 7u) / 8u;
    uint64_t at = 18 + uint64_t(b[0]);
    if (b[1] == 1) at += uint64_t(littleEndianU16(&b[5])) * ((b[7] + 7u) / 8u);  // the colour map
    if (b[2] < 9) return at + pixels * pixelBytes <= b.size();
    for (uint64_t done = 0; done < pixels;) {
        if (at >= b.size()) return false;
        const uint8_t packet = b[at++];
        const uint64_t count = (packet & 127u) + 1u;
        at += (packet & 128u) ? pixelBytes : count * pixelBytes;
        done += count;
    }
    return at <= b.size();
}

// The library fills whatever a picture's file lacks with black and calls it
// a picture. Why this file can't hold the pixels its header declares, or "".
std::string missingPixels(const std::vector<uint8_t>& b, int width, int height) {
    const std::string format = formatName(b);
    const uint64_t w = uint64_t(width), h = uint64_t(height);
    if (format == "PNG") return pngDataSwells(b, width, height);
    // Every 8x8 block of a JPEG is coded in one bit at the least, and its
    // data ends with the end-of-picture marker the library insists on.
    if (format == "JPEG" && uint64_t(b.size()) * 8 < ((w + 7) / 8) * ((h + 7) / 8))
        return "is cut short: " + std::to_string(b.size()) + " bytes can't hold " + std::to_string(width) + "x" +
               std::to_string(height) + " pixels";
    if (format == "BMP" && b.size() >= 30) {
        // Uncompressed rows, each padded to 4 bytes (the last one's padding
        // some writers leave out).
        const uint32_t headerSize = littleEndianU32(&b[14]);
        const uint64_t bitsPerPixel = headerSize == 12 ? littleEndianU16(&b[24]) : littleEndianU16(&b[28]);
        const uint32_t compression = headerSize == 12 || b.size() < 34 ? 0 : littleEndianU32(&b[30]);
        const uint64_t rowBytes = (w * bitsPerPixel + 7) / 8, stride = (w * bitsPerPixel + 31) / 32 * 4;
        if ((compression == 0 || compression == 3) && littleEndianU32(&b[10]) + stride * (h - 1) + rowBytes > b.size())
            return "is cut short: its rows end past the file's " + std::to_string(b.size()) + " bytes";
    }
    // A TGA has no magic: the library takes what no other format claims,
    // even a header cut short of its 18 bytes.
    const bool tga = format.find("TGA") != std::string::npos || (format == "picture" && startsLikeTga(b));
    if (tga && (b.size() < 18 || !tgaPixelsPresent(b, w * h)))
        return "is cut short: its pixels end past the file's " + std::to_string(b.size()) + " bytes";
    return "";
}

}  // namespace

bool decodeWithPictureLibrary(const std::vector<uint8_t>& bytes, int& width, int& height, std::vector<uint8_t>& rgb,
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
    const std::string missing = missingPixels(bytes, w, h);
    if (!missing.empty()) {
        error = missing;
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

bool decodePicture(const std::vector<uint8_t>& bytes, DecodedPicture& picture, std::string& error) {
    picture = DecodedPicture();
    picture.format = formatName(bytes);
    const std::string viewerExtension = viewerExtensionOf(bytes);
    if (!viewerExtension.empty()) {
        picture.image = viewerReading(viewerExtension, bytes);
        if (picture.image) {
            picture.viewerFormat = viewerExtension;
            return true;
        }
    }
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    std::string decodeError;
    std::unique_ptr<mxImage> image(new mxImage);
    if (!decodeWithPictureLibrary(bytes, width, height, rgb, decodeError) || !image->create(width, height, 24)) {
        error = unreadableReason(bytes, picture.format, viewerExtension, decodeError);
        return false;
    }
    std::copy(rgb.begin(), rgb.end(), image->data);
    picture.image = std::move(image);
    return true;
}

std::vector<uint8_t> rgbOf(const mxImage& image) {
    const size_t pixels = size_t(image.width) * size_t(image.height);
    if (image.bpp == 24) return std::vector<uint8_t>(image.data, image.data + pixels * 3);
    std::vector<uint8_t> rgb(pixels * 3);
    for (size_t i = 0; i < pixels; ++i)
        for (size_t c = 0; c < 3; ++c) rgb[3 * i + c] = image.palette[3 * size_t(image.data[i]) + c];
    return rgb;
}

std::vector<uint8_t> viewerTga(const mxImage& image) { return encodeTga(image.width, image.height, rgbOf(image)); }

}  // namespace frontend
