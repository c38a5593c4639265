// Writers of the two picture formats the viewer reads: 8-bit run-length PCX
// and uncompressed TGA (24-bit bottom row first, the viewer's kind, or the
// other kinds for tests of its reader). The encoders return the file's
// bytes, so malformed files are made by editing them (cutting the tail,
// patching a header field with putU16) or by building the PCX from a
// hand-made run stream with pcxFile.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// An 8-bit picture: width x height palette indices, rows top first, and a
// 768-byte palette of 256 R, G, B entries.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> indices;
    std::vector<uint8_t> palette;

    // R, G, B bytes per pixel, rows top first: the picture through its palette.
    std::vector<uint8_t> toRgb() const;
};

struct PcxOptions {
    uint16_t xmin = 0;  // header corners: xmax = xmin + width - 1, likewise y
    uint16_t ymin = 0;
    bool runs = true;  // false: every pixel below 192 as a single literal byte
};

// A complete 8-bit PCX: header, each line run-length encoded on its own
// (lines of exactly width bytes, runs of at most 63), the byte 12 and the palette.
std::vector<uint8_t> encodePcx(int width, int height, const std::vector<uint8_t>& indices,
                               const std::vector<uint8_t>& palette, const PcxOptions& options = {});
std::vector<uint8_t> encodePcx(const IndexedPicture& picture, const PcxOptions& options = {});

// A PCX from its parts: a header with the given corners, the data bytes
// exactly as given, the byte 12 and the palette (if not empty).
std::vector<uint8_t> pcxFile(uint16_t xmin, uint16_t ymin, uint16_t xmax, uint16_t ymax,
                             const std::vector<uint8_t>& data, const std::vector<uint8_t>& palette);

struct TgaOptions {
    uint8_t colorMapType = 0;
    uint8_t imageType = 2;     // 2 uncompressed true colour; 10 would be run-length
    uint8_t pixelDepth = 24;   // 32 writes an alpha byte of 255 after each pixel
    std::string imageId;       // the ID field after the header (at most 255 bytes)
    bool topRowFirst = false;  // store rows top first and set the origin bit
    bool footer = false;       // append the 26-byte TGA 2.0 footer
};

// The 18-byte header and the ID field: hand-made pixel bytes may follow.
std::vector<uint8_t> tgaHeader(int width, int height, const TgaOptions& options = {});

// An uncompressed TGA of width x height R, G, B pixels given top row first,
// stored as B, G, R bottom row first unless options say otherwise. Pixels
// missing from a short rgbTopFirst are written as black.
std::vector<uint8_t> encodeTga(int width, int height, const std::vector<uint8_t>& rgbTopFirst,
                               const TgaOptions& options = {});

// Overwrites a little-endian 16-bit field (for patching header fields).
void putU16(std::vector<uint8_t>& bytes, size_t offset, uint16_t value);
