// Pictures for the viewer's skin, background and water slots. The viewer
// reads 8-bit run-length PCX and uncompressed 24-bit TGA stored bottom row
// first; those go to it as they are. Anything else a picture library can
// decode (PNG, JPEG, BMP, GIF, other TGA kinds...) is turned into the TGA the
// viewer reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace frontend {

enum class PictureVerdict {
    ViewerReads,  // extension says which of the viewer's readers takes it
    Converted,    // tga holds the picture as a 24-bit TGA
    Unreadable,   // error says why
};

struct PictureCheck {
    PictureVerdict verdict = PictureVerdict::Unreadable;
    std::string extension;     // "pcx" or "tga" for ViewerReads
    std::string format;        // what the picture was, for messages: "PNG", "run-length TGA", ...
    std::vector<uint8_t> tga;  // for Converted
    std::string error;         // for Unreadable
};

// Looks at a picture's bytes. The viewer's own readers are tried on them, so
// "the viewer reads it" is the viewer's word, not a guess from the header.
PictureCheck checkPicture(const std::vector<uint8_t>& bytes);

// The picture's pixels as R, G, B rows, top row first, as the viewer shows
// them: its own readers for its own formats, else the picture library.
// False with the same reason checkPicture gives.
bool pictureRgb(const std::vector<uint8_t>& bytes, int& width, int& height, std::vector<uint8_t>& rgb,
                std::string& error);

// Decodes a picture with the picture library into R, G, B rows, top row
// first. False with the reason when it can't, when the picture is larger
// than the viewer accepts, or when the file can't hold the pixels its header
// declares (cut short, or compressed data that would swell past them).
bool decodePicture(const std::vector<uint8_t>& bytes, int& width, int& height, std::vector<uint8_t>& rgb,
                   std::string& error);

}  // namespace frontend
