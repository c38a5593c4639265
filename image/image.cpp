#include "image/image.h"

#include <cstring>
#include <memory>
#include <new>

#include "common/bytes.h"
#include "common/file.h"

// Size limits. Textures end at 256 texels a side, but every picture is decoded
// whole before it is scaled down, and real skins and backgrounds come larger
// than that (screen-sized backgrounds, 2048-texel skins exported for newer
// engines). 16384 is the largest edge any current graphics card takes for a
// texture, so no picture meant for one is larger. 2^26 pixels (8192 x 8192)
// caps the memory one picture can claim at 192 MiB at 24 bits (64 MiB at 8),
// and a texture load adds only the texture, at most 256 x 256 texels, since
// scaleImage reads the picture where it lies. Anything beyond is a broken or
// hostile header, and its width x height is never even multiplied in 32 bits.
static bool sizeAllowed(int64_t width, int64_t height) {
    return width >= 0 && height >= 0 && width <= mxImage::kMaxEdge && height <= mxImage::kMaxEdge &&
           width * height <= mxImage::kMaxPixels;
}

mxImage::mxImage() : width(0), height(0), bpp(0), data(nullptr), palette(nullptr) {}

mxImage::~mxImage() {
    release();
    width = height = bpp = 0;
}

void mxImage::release() {
    delete[] data;
    delete[] palette;
    data = nullptr;
    palette = nullptr;
}

bool mxImage::create(int newWidth, int newHeight, int newBpp) {
    if ((newBpp != 8 && newBpp != 24) || !sizeAllowed(newWidth, newHeight)) return false;
    release();
    size_t size = size_t(newWidth) * size_t(newHeight) * size_t(newBpp / 8);
    data = new (std::nothrow) uint8_t[size];
    if (data && newBpp == 8) {
        palette = new (std::nothrow) uint8_t[768];
        if (!palette) release();
    }
    if (!data) {
        // Keeping the old size with no buffers would invite a read through null.
        width = height = bpp = 0;
        return false;
    }
    width = newWidth;
    height = newHeight;
    bpp = newBpp;
    return true;
}

namespace {

// Both readers decode from an Input: an InputFile (the viewer's files,
// streamed) or a MemoryInput (bytes the front end already holds). The two
// have the same read, seek and size, so each format is decoded by one piece
// of code whatever the bytes come from.

// Decodes the run-length stream from the input's current position until
// `left` pixels are written to `out`: a byte below 192 is one pixel, a byte c
// of 192 or more repeats the next byte c - 192 times (0 times for 192). Every
// byte past the end of the input reads as 255, a count byte there as one
// pixel. Lines are not tracked: the stream runs on from one row into the next.
template <typename Input>
void decodePcxRuns(Input& input, uint8_t* out, size_t left) {
    uint8_t chunk[1 << 16];
    const uint8_t* next = chunk;
    const uint8_t* end = chunk;
    auto refill = [&] {
        next = chunk;
        end = chunk + input.read(chunk, sizeof chunk);
        return next < end;
    };
    while (left > 0) {
        if (next == end && !refill()) {
            std::memset(out, 255, left);
            return;
        }
        int c = *next++;
        if (c < 192) {
            *out++ = uint8_t(c);
            --left;
            continue;
        }
        size_t count = size_t(c - 192);
        int value = (next < end || refill()) ? *next++ : 255;
        if (count > left) count = left;  // a run past the last pixel is cut there
        std::memset(out, value, count);
        out += count;
        left -= count;
    }
}

// A header is believed only if the file could hold at least half of the
// picture it declares, packed as densely as the format allows
// (densePixels pixels in denseBytes bytes). A file cut short still decodes
// (its missing pixels read as 255), but a few bytes claiming a picture of
// hundreds of megabytes are refused before anything is allocated.
bool fileCanBack(int64_t pixels, int64_t availableBytes, int densePixels, int denseBytes) {
    if (availableBytes < 0) availableBytes = 0;
    return pixels * denseBytes <= 2 * availableBytes * densePixels;
}

const int kPcxHeaderSize = 128;
const int kPaletteSize = 768;
const int kTgaHeaderSize = 18;
const int kTgaHeaderBytesRead = 17;  // the descriptor byte 17 is never looked at

template <typename Input>
mxImage* readPcx(Input& file) {
    uint8_t header[kPcxHeaderSize];
    if (file.read(header, sizeof header) != sizeof header) return nullptr;
    const int64_t fileSize = file.size();
    if (fileSize < kPaletteSize) return nullptr;

    int xmin = littleEndianU16(header + 4), ymin = littleEndianU16(header + 6);
    int xmax = littleEndianU16(header + 8), ymax = littleEndianU16(header + 10);
    if (xmax < xmin || ymax < ymin) return nullptr;
    int64_t width = int64_t(xmax) - xmin + 1, height = int64_t(ymax) - ymin + 1;
    // The densest run packs 63 pixels into two bytes.
    if (!sizeAllowed(width, height) || !fileCanBack(width * height, fileSize - kPcxHeaderSize, 63, 2)) return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(int(width), int(height), 8)) return nullptr;
    if (!file.seek(fileSize - kPaletteSize) || file.read(image->palette, kPaletteSize) != size_t(kPaletteSize))
        return nullptr;
    if (!file.seek(kPcxHeaderSize)) return nullptr;

    decodePcxRuns(file, image->data, size_t(width * height));
    return image.release();
}

template <typename Input>
mxImage* readTga(Input& file) {
    uint8_t header[kTgaHeaderSize];
    if (file.read(header, sizeof header) < size_t(kTgaHeaderBytesRead)) return nullptr;
    int idLength = header[0], colorMapType = header[1], imageType = header[2];
    int width = littleEndianU16(header + 12), height = littleEndianU16(header + 14), depth = header[16];
    if (colorMapType != 0 || imageType != 2 || depth != 24) return nullptr;

    const int64_t firstPixel = kTgaHeaderSize + idLength;
    // Raw pixels: three bytes each.
    if (!sizeAllowed(width, height) || !fileCanBack(int64_t(width) * height, file.size() - firstPixel, 1, 3))
        return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(width, height, 24)) return nullptr;
    if (!file.seek(firstPixel)) return nullptr;

    // The file's first row is the picture's bottom row.
    size_t rowBytes = size_t(width) * 3;
    for (int r = 0; r < height; ++r) {
        uint8_t* row = image->data + size_t(height - 1 - r) * rowBytes;
        size_t got = file.read(row, rowBytes);
        std::memset(row + got, 255, rowBytes - got);
        for (size_t i = 0; i < rowBytes; i += 3) {
            uint8_t blue = row[i];
            row[i] = row[i + 2];
            row[i + 2] = blue;
        }
    }
    return image.release();
}

}  // namespace

mxImage* readPcxImage(const char* path) {
    InputFile file(path);
    return readPcx(file);
}

mxImage* readTgaImage(const char* path) {
    InputFile file(path);
    return readTga(file);
}

mxImage* readPcxImageFromBytes(const uint8_t* bytes, size_t size) {
    MemoryInput input(bytes, size);
    return readPcx(input);
}

mxImage* readTgaImageFromBytes(const uint8_t* bytes, size_t size) {
    MemoryInput input(bytes, size);
    return readTga(input);
}
