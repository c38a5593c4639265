#include "image/image.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

// Size limits. Textures end at 256 texels a side, but every picture is decoded
// whole before it is scaled down, and real skins and backgrounds come larger
// than that (screen-sized backgrounds, 2048-texel skins exported for newer
// engines). 16384 is the largest edge any current graphics card takes for a
// texture, so no picture meant for one is larger. 2^26 pixels (8192 x 8192)
// caps the memory one picture can claim at 192 MiB at 24 bits, and the caller
// makes one more (small) copy while scaling. Anything beyond is a broken or
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

// Closes the file on every way out of a reader.
struct File {
    explicit File(const char* path) : handle(path ? std::fopen(path, "rb") : nullptr) {}
    ~File() {
        if (handle) std::fclose(handle);
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Size in bytes, or -1 if it can't be told. Leaves the position at 0.
    long size() {
        if (std::fseek(handle, 0, SEEK_END) != 0) return -1;
        long end = std::ftell(handle);
        if (std::fseek(handle, 0, SEEK_SET) != 0) return -1;
        return end;
    }

    FILE* handle;
};

// Decodes the run-length stream from the file's current position until
// `left` pixels are written to `out`: a byte below 192 is one pixel, a byte c
// of 192 or more repeats the next byte c - 192 times (0 times for 192). Every
// byte past the end of the file reads as 255, a count byte there as one pixel.
// Lines are not tracked: the stream runs on from one row into the next.
void decodePcxRuns(FILE* file, uint8_t* out, size_t left) {
    uint8_t chunk[1 << 16];
    const uint8_t* next = chunk;
    const uint8_t* end = chunk;
    auto refill = [&] {
        next = chunk;
        end = chunk + std::fread(chunk, 1, sizeof chunk, file);
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

uint16_t u16At(const uint8_t* bytes, int offset) { return uint16_t(bytes[offset] | bytes[offset + 1] << 8); }

const int kPcxHeaderSize = 128;
const int kPaletteSize = 768;
const int kTgaHeaderSize = 18;
const int kTgaHeaderBytesRead = 17;  // the descriptor byte 17 is never looked at

}  // namespace

mxImage* readPcxImage(const char* path) {
    File file(path);
    if (!file.handle) return nullptr;
    uint8_t header[kPcxHeaderSize];
    if (std::fread(header, 1, sizeof header, file.handle) != sizeof header) return nullptr;
    long fileSize = file.size();
    if (fileSize < kPaletteSize) return nullptr;

    int xmin = u16At(header, 4), ymin = u16At(header, 6);
    int xmax = u16At(header, 8), ymax = u16At(header, 10);
    if (xmax < xmin || ymax < ymin) return nullptr;
    int64_t width = int64_t(xmax) - xmin + 1, height = int64_t(ymax) - ymin + 1;
    // The densest run packs 63 pixels into two bytes.
    if (!sizeAllowed(width, height) || !fileCanBack(width * height, fileSize - kPcxHeaderSize, 63, 2)) return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(int(width), int(height), 8)) return nullptr;
    if (std::fseek(file.handle, fileSize - kPaletteSize, SEEK_SET) != 0 ||
        std::fread(image->palette, 1, kPaletteSize, file.handle) != size_t(kPaletteSize))
        return nullptr;
    if (std::fseek(file.handle, kPcxHeaderSize, SEEK_SET) != 0) return nullptr;

    decodePcxRuns(file.handle, image->data, size_t(width * height));
    return image.release();
}

mxImage* readTgaImage(const char* path) {
    File file(path);
    if (!file.handle) return nullptr;
    uint8_t header[kTgaHeaderSize];
    if (std::fread(header, 1, sizeof header, file.handle) < size_t(kTgaHeaderBytesRead)) return nullptr;
    int idLength = header[0], colorMapType = header[1], imageType = header[2];
    int width = u16At(header, 12), height = u16At(header, 14), depth = header[16];
    if (colorMapType != 0 || imageType != 2 || depth != 24) return nullptr;

    long fileSize = file.size();
    if (fileSize < 0) return nullptr;
    long firstPixel = kTgaHeaderSize + idLength;
    // Raw pixels: three bytes each.
    if (!sizeAllowed(width, height) || !fileCanBack(int64_t(width) * height, fileSize - firstPixel, 1, 3))
        return nullptr;

    std::unique_ptr<mxImage> image(new (std::nothrow) mxImage);
    if (!image || !image->create(width, height, 24)) return nullptr;
    if (std::fseek(file.handle, firstPixel, SEEK_SET) != 0) return nullptr;

    // The file's first row is the picture's bottom row.
    size_t rowBytes = size_t(width) * 3;
    for (int r = 0; r < height; ++r) {
        uint8_t* row = image->data + size_t(height - 1 - r) * rowBytes;
        size_t got = std::fread(row, 1, rowBytes, file.handle);
        std::memset(row + got, 255, rowBytes - got);
        for (size_t i = 0; i < rowBytes; i += 3) {
            uint8_t blue = row[i];
            row[i] = row[i + 2];
            row[i + 2] = blue;
        }
    }
    return image.release();
}
