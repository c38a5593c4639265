// Pictures for the viewer's skin, background and water slots, decoded once:
// what the viewer's own reader makes of the file when it reaches the
// viewer. It reads 8-bit run-length PCX and uncompressed 24-bit TGA stored
// bottom row first, and those reach it as they are; anything else a picture
// library can decode (PNG, JPEG, BMP, GIF, other TGA kinds...) reaches it as
// the TGA of its pixels, which its reader gives back exactly.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image.h"

namespace frontend {

struct DecodedPicture {
    std::string format;  // what the file is, for messages: "PCX", "PNG", "run-length TGA", ...
    // "pcx" or "tga" when the viewer reads the file's own bytes; "" when it
    // reaches the viewer as viewerTga of the pixels.
    std::string viewerFormat;
    std::unique_ptr<mxImage> image;  // 8-bit with its palette (PCX), else 24-bit R, G, B; rows top first
};

// Decodes a picture's bytes. The viewer's own readers are tried on them
// first, so "the viewer reads it" is the viewer's word, not a guess from the
// header. False with the reason, for people, in error.
bool decodePicture(const std::vector<uint8_t>& bytes, DecodedPicture& picture, std::string& error);

// The picture's pixels as R, G, B rows, top row first (8-bit ones through
// their palette).
std::vector<uint8_t> rgbOf(const mxImage& image);

// The file the viewer reads for a picture it can't read itself: an
// uncompressed 24-bit TGA, bottom row first.
std::vector<uint8_t> viewerTga(const mxImage& image);

// Decodes a picture with the picture library into R, G, B rows, top row
// first. False with the reason when it can't, when the picture is larger
// than the viewer accepts, or when the file can't hold the pixels its header
// declares (cut short, or compressed data that would swell past them).
bool decodeWithPictureLibrary(const std::vector<uint8_t>& bytes, int& width, int& height, std::vector<uint8_t>& rgb,
                              std::string& error);

}  // namespace frontend
