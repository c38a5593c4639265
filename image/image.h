// The picture record and the two picture file readers (8-bit run-length PCX,
// uncompressed 24-bit TGA).
#pragma once

#include <cstddef>
#include <cstdint>

// A picture in memory: `height` rows, top row first, each row width * bpp / 8
// bytes with no padding. bpp 8 holds palette indices and a 768-byte RGB
// palette; bpp 24 holds R, G, B bytes and no palette.
//
// The record and its two buffers all come from operator new (the record from
// `new`, the buffers from `new[]`) and go back through `delete` / `delete[]`:
// whoever receives an mxImage from a reader destroys it with `delete`.
class mxImage {
public:
    mxImage();
    virtual ~mxImage();

    // Owning raw buffers: copying would free them twice.
    mxImage(const mxImage&) = delete;
    mxImage& operator=(const mxImage&) = delete;

    // Gives the record new, uncleared buffers for a width x height picture of
    // bpp 8 or 24 and returns true. A size beyond kMaxEdge / kMaxPixels, a
    // negative edge or another bpp is refused (false) and leaves the record as
    // it was. If an allocation fails the record is left empty (all zero/null).
    bool create(int width, int height, int bpp);

    // Largest picture any reader or caller may make; see image.cpp for why.
    static constexpr int kMaxEdge = 16384;
    static constexpr int64_t kMaxPixels = int64_t(1) << 26;

    int32_t width;
    int32_t height;
    int32_t bpp;
    uint8_t* data;
    uint8_t* palette;

private:
    void release();
};

// Decodes an 8-bit run-length PCX file held in memory: bpp 8, indices in
// data, the file's last 768 bytes as palette. Null when the bytes are not
// believable as one.
mxImage* readPcxImageFromBytes(const uint8_t* bytes, size_t size);

// Decodes an uncompressed 24-bit TGA file held in memory: bpp 24, RGB rows
// top first, no palette. Null when the bytes are not such a file.
mxImage* readTgaImageFromBytes(const uint8_t* bytes, size_t size);

// The same two readers on the file at path; null also when it is not a
// regular file that can be read.
mxImage* readPcxImage(const char* path);
mxImage* readTgaImage(const char* path);

// Resamples `picture` (8 bits through its palette, or 24 bits) into
// `texture`, a 24-bit record already made at the size wanted: each texel is
// the area-weighted mean of the pixels it covers, boxes reaching across the
// edges to the other side when enlarging, the same bytes GLU's
// gluScaleImage gives. Allocates nothing. False (texture untouched) for an
// empty picture or texture, or depths other than these.
bool scaleImage(const mxImage& picture, mxImage& texture);
